#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <set>

#include "core/audio/AudioFileProbe.h"
#include "core/render/CueRender.h"
#include "core/render/HtmlReport.h"
#include "core/render/RenderJob.h"
#include "render/MarkupCheck.h"
#include "render/RenderTestSupport.h"

using namespace dunmoor;
using namespace dunmoor::testing;

TEST (ReportEndToEnd, RenderedCueGetsBothReportsBesideIt)
{
    TemporaryFolder temp;
    constexpr double rate = 48000.0;
    const auto drums = writeTone (temp.file ("in/kick.wav"), 2, 9600, rate, 60.0, 0.5);
    const auto bass = writeTone (temp.file ("in/bass.wav"), 1, 9600, rate, 110.0, 0.4);
    const auto preset = makeRenderPreset ({ "Drums", "Bass", "Choir" });
    const auto out = temp.file ("out");

    const auto request = makeRequest (preset, out, { { drums }, { bass }, {} });
    CueRenderContext context (request, {}, {});   // holds the request by reference

    BatchReport report;
    report.cues.push_back (renderCue (context));
    report.outputRoot = out;

    const auto& cue = report.cues.front();
    ASSERT_TRUE (cue.ok) << cue.errors.joinIntoString (" | ");
    ASSERT_EQ (cue.reconstruction.state, ReconstructionState::passed) << cue.reconstruction.detail;
    ASSERT_GE (cue.files.size(), 3u);

    const auto textFile = out.getChildFile ("render report.txt");
    const auto htmlFile = out.getChildFile (getReportFileName (report));
    EXPECT_EQ (htmlFile.getFileName(), "Brackenfold report - Cue1.html");

    juce::String error;
    ASSERT_TRUE (writeBatchReportText (report, textFile, error)) << error;
    ASSERT_TRUE (writeHtmlReport (report, htmlFile, error)) << error;

    const auto text = textFile.loadFileAsString();
    EXPECT_TRUE (text.startsWith ("Brackenfold " + juce::String (productVersion) + " render report\r\n"));
    EXPECT_TRUE (text.contains ("\r\nCue: Cue1\r\nOutput: " + out.getFullPathName() + "\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  mix peak      " + formatPeakText (cue.mixSamplePeak, 2) + " dB\r\n"));
    EXPECT_TRUE (text.contains ("\r\n2 stems assigned, 1 empty stem\r\n"));
    EXPECT_TRUE (text.contains ("\r\nFiles written (" + juce::String ((int) cue.files.size()) + ")\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  PASSED  " + cue.reconstruction.detail + "\r\n"));
    EXPECT_TRUE (text.endsWith ("\r\nRender completed.\r\nElapsed " + juce::String (cue.elapsedSeconds, 1) + " s"));

    const auto html = htmlFile.loadFileAsString();
    EXPECT_EQ (findMarkupFault (html.toStdString()), "");
    EXPECT_TRUE (html.contains ("<div class=\"headline good\">Cue1 &mdash; delivered</div>"));
    EXPECT_TRUE (html.contains ("<tr><th>Mix peak</th><td>" + formatPeakText (cue.mixSamplePeak, 2) + " dB</td></tr>"));
    EXPECT_TRUE (html.contains ("<p class=\"good\">PASSED - " + escapeHtml (cue.reconstruction.detail) + "</p>"));

    int waveforms = 0;

    for (const auto& file : cue.files)
    {
        EXPECT_TRUE (file.file.existsAsFile()) << file.file.getFullPathName();
        EXPECT_TRUE (text.contains ("\r\n  " + file.file.getFileName() + "   [" + file.settingsDescription + "]"));
        EXPECT_TRUE (html.contains ("<span class=\"file-name\">" + escapeHtml (file.file.getFileName()) + "</span>"));
        EXPECT_TRUE (html.contains (formatFileSizeText (file.fileSize))) << file.fileSize;
        waveforms += file.overview.isEmpty() ? 0 : 1;
    }

    // Every written file carries a picture of its audio.
    EXPECT_EQ (waveforms, (int) cue.files.size());
    EXPECT_EQ (html.indexOf ("<svg"), html.indexOf ("<svg class=\"wave\""));
    int svgCount = 0;
    for (auto i = html.indexOf ("<svg"); i >= 0; i = html.indexOf (i + 1, "<svg"))
        ++svgCount;
    EXPECT_EQ (svgCount, waveforms);

    // The reports sit beside the delivery, which they leave as it was.
    const auto below = listFilesBelow (out);
    EXPECT_TRUE (below.contains ("render report.txt"));
    EXPECT_TRUE (below.contains ("Brackenfold report - Cue1.html"));
    EXPECT_EQ (below.size(), (int) cue.files.size() + 2);
}

// A truncated track got only a warning while planning: the render reported no cue needing
// attention, and a stem whose only track it was showed up as "had nothing assigned".
TEST (ReportEndToEnd, ATrackThatCouldNotBeReadIsNamedAndTheCueNeedsAttention)
{
    TemporaryFolder temp;
    constexpr double rate = 48000.0;
    const auto preset = makeRenderPreset ({ "Drums", "Strings", "Choir" });
    const auto drums = preset.schema.stems[0].id;
    const auto strings = preset.schema.stems[1].id;

    // 16-bit stereo whose header announces 1000 frames of which 200 are there.
    const std::vector<short> samples (400, 1000);
    auto writeCut = [&] (const juce::String& name)
    {
        const auto file = temp.file (name);
        EXPECT_TRUE (writeBytes (file, makeWavBytes (1, 2, (int) rate, 16, samples.data(), 800, 4000)));
        return file;
    };

    struct Input
    {
        juce::File file;
        juce::String cueKey, stemId;
    };

    const std::vector<Input> inputs {
        { writeTone (temp.file ("in/title/kick.wav"), 2, 9600, rate, 60.0, 0.5), "title", drums },
        { writeCut ("in/title/snare.wav"), "title", drums },          // beside a track that reads
        { writeCut ("in/title/strings.wav"), "title", strings },      // its stem's only track
        { writeTone (temp.file ("in/credits/kick.wav"), 2, 9600, rate, 60.0, 0.5), "credits", drums },
    };

    std::vector<Track> tracks;

    for (const auto& input : inputs)
    {
        Track track;
        track.file = input.file;
        track.cueKey = input.cueKey;
        track.stemId = input.stemId;
        (void) probeAudioFile (input.file, track.info, track.error);
        tracks.push_back (track);
    }

    const auto reason = tracks[1].error;
    ASSERT_TRUE (reason.isNotEmpty());
    ASSERT_EQ (tracks[2].error, reason);

    Cue title, credits;
    title.key = "title";
    title.name = "Main Title";
    credits.key = "credits";
    credits.name = "End Credits";

    const auto out = temp.file ("out");
    auto plan = buildBatchPlan (preset, tracks, { title, credits }, out, false);
    ASSERT_TRUE (plan.allCuesOk) << plan.errors.joinIntoString (" | ");
    EXPECT_TRUE (plan.warnings.contains ("Main Title: 'snare.wav' could not be read and is excluded: " + reason));

    std::vector<RenderRequest> requests;

    for (auto& cuePlan : plan.cues)
        requests.push_back (std::move (cuePlan.request));

    const auto report = runQueue (std::move (requests), {}, {});
    ASSERT_EQ (report.cues.size(), 2u);
    const auto& cue = report.cues[0];

    // The render still ran and delivered what could be read, but the cue needs attention.
    EXPECT_TRUE (report.allOk) << cue.errors.joinIntoString (" | ");
    EXPECT_TRUE (cue.ok);
    EXPECT_FALSE (cue.files.empty());
    EXPECT_EQ (report.countCuesNeedingAttention(), 1);
    EXPECT_TRUE (cueNeedsAttention (cue));
    EXPECT_FALSE (cueNeedsAttention (report.cues[1]));

    const auto cueText = formatCueReportText (cue);
    const auto notRead = "\r\nTracks that could not be read (2)\r\n  snare.wav: " + reason + "\r\n  strings.wav: " + reason + "\r\n";
    EXPECT_TRUE (cueText.contains (notRead)) << cueText;
    EXPECT_TRUE (cueText.contains (" track(s)  peak ")) << cueText;
    EXPECT_TRUE (cueText.contains (" dB\r\n        could not be read: snare.wav\r\n")) << cueText;
    EXPECT_TRUE (cueText.contains ("\r\nPlease note - the tracks of these stems could not be read, so they have no audio:\r\n"
                                   "  02 Strings: strings.wav\r\n")) << cueText;
    EXPECT_TRUE (cueText.contains ("\r\nPlease note - these stems were in the preset and had nothing assigned:\r\n  03 Choir\r\n")) << cueText;
    EXPECT_TRUE (cueText.contains ("\r\nRender completed.\r\n"));
    EXPECT_FALSE (formatCueReportText (report.cues[1]).contains ("could not be read"));

    const auto batchText = formatBatchReportText (report);
    EXPECT_TRUE (batchText.contains ("\r\n  cues rendered   1 of 2\r\n"));
    EXPECT_TRUE (batchText.contains ("\r\n  NEEDS ATTENTION Main Title\r\n"));
    EXPECT_TRUE (batchText.contains (notRead));

    const auto html = buildHtmlReport (report);
    EXPECT_EQ (findMarkupFault (html.toStdString()), "");
    EXPECT_TRUE (html.contains ("<div class=\"card bad\"><div class=\"n\">1</div><div class=\"l\">need attention</div></div>"));
    EXPECT_TRUE (html.contains ("<button role=\"tab\" data-target=\"cue0\" class=\"has-problem\" aria-selected=\"false\">Main Title</button>"));
    EXPECT_TRUE (html.contains ("<div class=\"headline bad\">Main Title &mdash; completed with problems</div>"));
    EXPECT_TRUE (html.contains ("<div class=\"headline good\">End Credits &mdash; delivered</div>"));
    EXPECT_TRUE (html.contains ("<h3 class=\"bad\">Tracks that could not be read (2)</h3>\n<ul class=\"bad\">\n"
                                "<li>" + escapeHtml ("snare.wav: " + reason) + "</li>\n<li>" + escapeHtml ("strings.wav: " + reason) + "</li>\n</ul>"));
    EXPECT_TRUE (html.contains ("<td>written; could not read snare.wav</td></tr>"));
    EXPECT_TRUE (html.contains ("<p class=\"bad\">02 Strings (strings.wav)</p>"));
    EXPECT_TRUE (html.contains ("had nothing assigned, so no file was produced for it:</p>\n<p class=\"muted\">03 Choir</p>"));
}

namespace
{
    /** The per-cue stem tables of the saved text report: for each cue's output folder, the
        "<number in the file name> <stem name>" of every row. */
    std::map<juce::String, juce::StringArray> readTextStemTables (const juce::String& text)
    {
        std::map<juce::String, juce::StringArray> tables;
        juce::String folder;
        bool inTable = false;

        for (const auto& line : juce::StringArray::fromLines (text))
        {
            if (line.startsWith ("Output: "))
                folder = line.fromFirstOccurrenceOf ("Output: ", false, false);
            else if (line.contains (" assigned, "))
                inTable = true;
            else if (line.isEmpty())
                inTable = false;
            else if (inTable && line.contains (" track(s)  peak "))
            {
                // "  09 (10)  Bass              1 track(s)  peak ...", the number cell padded
                // to the widest of the table
                const auto row = line.trim();
                const auto number = row.upToFirstOccurrenceOf ("  ", false, false);
                const auto name = row.fromFirstOccurrenceOf ("  ", false, false).trimStart().upToFirstOccurrenceOf ("  ", false, false);
                tables[folder].add (number + " " + name);
            }
        }

        return tables;
    }

    /** The same from the saved web page: the first two cells of each stem table row, per cue
        panel, keyed by the cue's output folder as the panel names it. */
    std::map<juce::String, juce::StringArray> readHtmlStemTables (const juce::String& html, const std::vector<CueReport>& cues)
    {
        std::map<juce::String, juce::StringArray> tables;

        for (int i = 0; i < (int) cues.size(); ++i)
        {
            const auto start = html.indexOf ("id=\"cue" + juce::String (i) + "\"");
            auto end = html.indexOf (start + 1, "id=\"cue" + juce::String (i + 1) + "\"");
            const auto panel = html.substring (start, end < 0 ? html.length() : end);
            const auto folder = cues[(size_t) i].outputFolder.getFullPathName();
            EXPECT_TRUE (panel.contains (escapeHtml (folder))) << folder;

            const auto table = panel.fromFirstOccurrenceOf ("<tbody>", false, false).upToFirstOccurrenceOf ("</tbody>", false, false);

            for (const auto& row : juce::StringArray::fromLines (table))
            {
                if (! row.startsWith ("<tr"))
                    continue;

                const auto first = row.fromFirstOccurrenceOf ("<td>", false, false);
                const auto number = first.upToFirstOccurrenceOf ("</td>", false, false);
                const auto name = first.fromFirstOccurrenceOf ("<td>", false, false).upToFirstOccurrenceOf ("</td>", false, false);
                tables[folder].add (number + " " + name);
            }
        }

        return tables;
    }
} // namespace

// Three cues rendered by the job with the stems each one uses numbered 1..N in the file names:
// everything both saved reports say about stems, folders and names is read back against the
// files the render left on disk.
TEST (ReportEndToEnd, SavedReportsOfABatchAgreeWithTheFilesOnDisk)
{
    TemporaryFolder temp;
    constexpr double rate = 48000.0;
    auto preset = makeRenderPreset ({ "Drums", "Perc", "Bass", "Keys", "Pulses" });
    preset.exportSettings.naming.numbering = NumberingMode::consecutiveExported;
    preset.exportSettings.naming.stemTemplate = "{project}_{cue}_{stemIndex}_{stemName}";
    const auto& stems = preset.schema.stems;

    // Which stems each cue uses (by preset position), so each cue renumbers differently.
    const std::vector<std::pair<juce::String, std::vector<int>>> uses {
        { "1M01 Opening Titles", { 0, 2, 4 } },
        { "1M02 Chase", { 1, 2, 3, 4 } },
        { "2M01 End Credits", { 4 } },
    };

    std::vector<Track> tracks;
    std::vector<Cue> cues;

    for (const auto& [name, used] : uses)
    {
        Cue cue;
        cue.name = name;
        cue.key = "key " + name;
        cue.folder = temp.file ("in/" + name);
        cues.push_back (cue);

        for (auto s : used)
        {
            Track track;
            track.file = writeTone (cue.folder.getChildFile (stems[(size_t) s].displayName + ".wav"), 2, 4800, rate, 80.0 + 40.0 * s, 0.2);
            track.cueKey = cue.key;
            track.stemId = stems[(size_t) s].id;
            ASSERT_TRUE (probeAudioFile (track.file, track.info, track.error)) << track.error;
            tracks.push_back (track);
        }
    }

    const auto out = temp.file ("Deliveries");
    auto plan = buildBatchPlan (preset, tracks, cues, out, false);
    ASSERT_TRUE (plan.allCuesOk) << plan.errors.joinIntoString (" | ");

    std::vector<RenderRequest> requests;

    for (auto& cuePlan : plan.cues)
        requests.push_back (std::move (cuePlan.request));

    BatchReport report;
    juce::WaitableEvent finished;
    RenderJob job;
    ASSERT_TRUE (job.start (std::move (requests), [&] (const BatchReport& done) { report = done; finished.signal(); }));
    ASSERT_TRUE (finished.wait (120000));
    ASSERT_TRUE (job.waitForThreadToExit (-1));
    ASSERT_TRUE (report.allOk);
    ASSERT_EQ (report.cues.size(), 3u);

    // Saved a moment after the render: the reports keep the render's times, not the saving's.
    juce::Thread::sleep (1100);
    const auto textFile = out.getChildFile (getReportBaseName (report) + ".txt");
    const auto htmlFile = out.getChildFile (getReportFileName (report));
    EXPECT_EQ (htmlFile.getFileName(), "Brackenfold report - Proj - " + report.startedAt.formatted ("%Y-%m-%d %H.%M") + ".html");
    juce::String error;
    ASSERT_TRUE (writeBatchReportText (report, textFile, error)) << error;
    ASSERT_TRUE (writeHtmlReport (report, htmlFile, error)) << error;
    const auto text = textFile.loadFileAsString();
    const auto html = htmlFile.loadFileAsString();
    const auto renderTimes = formatRenderTimes (report.startedAt, report.finishedAt);
    EXPECT_TRUE (text.contains ("\r\n" + renderTimes + "\r\n")) << text;
    EXPECT_TRUE (html.contains ("<div class=\"sub\">" + escapeHtml (renderTimes) + " &middot; " + escapeHtml (out.getFullPathName())));
    EXPECT_TRUE (text.contains ("\r\nOutput root: " + out.getFullPathName() + "\r\n"));

    // What the disk holds: for each cue folder, "<number> <stem>" of every stem file and every
    // file name.
    std::map<juce::String, juce::StringArray> stemsOnDisk, namesOnDisk;

    for (const auto& path : listFilesBelow (out))
    {
        const auto file = out.getChildFile (path);

        if (file == textFile || file == htmlFile)
            continue;

        const auto cueFolder = out.getChildFile (path.upToFirstOccurrenceOf ("/", false, false)).getFullPathName();
        namesOnDisk[cueFolder].add (file.getFileName());

        const auto cueName = file.getParentDirectory().getFileName() == "STEMS" ? file.getParentDirectory().getParentDirectory().getFileName()
                                                                               : file.getParentDirectory().getFileName();
        const auto tail = file.getFileNameWithoutExtension().fromFirstOccurrenceOf ("Proj_" + cueName + "_", false, false);

        if (const auto number = tail.upToFirstOccurrenceOf ("_", false, false); number.isNotEmpty() && number.containsOnly ("0123456789"))
            stemsOnDisk[cueFolder].add (tail.upToFirstOccurrenceOf ("_", false, false) + " "
                                        + tail.fromFirstOccurrenceOf ("_", false, false));
    }

    ASSERT_EQ (stemsOnDisk.size(), 3u);
    EXPECT_EQ (stemsOnDisk[out.getChildFile ("1M02 Chase").getFullPathName()].joinIntoString (", "),
               "01 Perc, 02 Bass, 03 Keys, 04 Pulses");

    // Each report's numbers read "<number in the file> (<place in the preset>)"; the number
    // before the brackets is what the disk must show.
    auto numbersOnly = [] (std::map<juce::String, juce::StringArray> tables)
    {
        for (auto& [folder, rows] : tables)
        {
            for (auto& row : rows)
                row = row.upToFirstOccurrenceOf (" ", false, false) + " " + row.fromLastOccurrenceOf (" ", false, false);

            rows.sort (false);
        }

        return tables;
    };

    for (auto& [folder, rows] : stemsOnDisk)
        rows.sort (false);

    const auto textTables = readTextStemTables (text);
    const auto htmlTables = readHtmlStemTables (html, report.cues);
    EXPECT_EQ (numbersOnly (textTables), stemsOnDisk);
    EXPECT_EQ (numbersOnly (htmlTables), stemsOnDisk);
    EXPECT_TRUE (textTables.at (out.getChildFile ("1M01 Opening Titles").getFullPathName()).contains ("03 (05) Pulses"));

    // Every folder the reports name holds exactly the files they list for it.
    for (const auto& cue : report.cues)
    {
        const auto folder = cue.outputFolder.getFullPathName();
        ASSERT_EQ (namesOnDisk.count (folder), 1u) << folder;
        juce::StringArray listed;

        for (const auto& file : cue.files)
        {
            listed.add (file.file.getFileName());
            EXPECT_TRUE (text.contains ("\r\n  " + file.file.getFileName() + "   [")) << file.file.getFileName();
            EXPECT_TRUE (html.contains ("<span class=\"file-name\">" + escapeHtml (file.file.getFileName()) + "</span>"));
        }

        listed.sort (false);
        auto onDisk = namesOnDisk[folder];
        onDisk.sort (false);
        EXPECT_EQ (listed, onDisk) << folder;
    }

    // Saving again later writes the same text.
    juce::Thread::sleep (1100);
    ASSERT_TRUE (writeBatchReportText (report, textFile, error)) << error;
    EXPECT_EQ (textFile.loadFileAsString(), text);
}

// A cue that stopped at its fourth stem, on a float track holding a sample that is not a
// number, reported "4 stems assigned, 0 empty stems" of its 16, called the three stems before
// it digital silence (with a warning each) though they hold audio, and said nowhere that the
// other stems were not written.
TEST (ReportEndToEnd, ACueThatStoppedSaysWhatBecameOfEveryStem)
{
    TemporaryFolder temp;
    constexpr double rate = 48000.0;
    constexpr int frames = 2 * (int) rate;
    const juce::StringArray names { "Percussion High", "Percussion Low", "Strings", "Brass", "Woodwinds", "Harp",
                                    "Piano", "Choir", "Synth Pads", "Synth Bass", "Guitar", "Vocals",
                                    "FX", "Atmos", "Click", "Dialogue" };
    const std::set<int> empty { 5, 8, 11, 13, 15 };
    auto preset = makeRenderPreset (names);
    preset.exportSettings.headroom.targetDb = -1.5;

    for (auto& stem : preset.schema.stems)
        stem.shortCode = "S" + juce::String (stem.index);

    std::vector<std::vector<juce::File>> tracks (16);

    for (int i = 0; i < names.size(); ++i)
        if (empty.count (i) == 0)
            tracks[(size_t) i] = { writeTone (temp.file ("in/" + names[i] + ".wav"), 2, frames, rate, 100.0 + 30.0 * i, 0.1) };

    tracks[3].push_back (writeTrack (temp.file ("in/Trumpets.wav"), 2, frames, rate, [] (int, int i)
                                     { return i == (int) rate ? std::numeric_limits<float>::quiet_NaN() : 0.1f; }));

    // Summed a window at a time (the default), and whole (a head cut), where the stems before
    // the fourth are read to their end and measured.
    for (const bool whole : { false, true })
    {
        SCOPED_TRACE (whole ? "summed whole" : "summed in windows");
        auto request = makeRequest (preset, temp.file (whole ? "out-whole" : "out-windows"), tracks);
        request.headTrimSeconds = whole ? 0.01 : 0.0;
        CueRenderContext context (request, {}, {});
        const auto cue = renderCue (context);

        ASSERT_FALSE (cue.ok);
        ASSERT_EQ (cue.errors.size(), 1) << cue.errors.joinIntoString (" | ");
        EXPECT_TRUE (cue.errors[0].startsWith ("Brass: Trumpets.wav: ")) << cue.errors[0];
        EXPECT_FALSE (cue.warnings.joinIntoString ("\n").contains ("digital silence")) << cue.warnings.joinIntoString ("\n");
        EXPECT_EQ (cue.stoppedAt, "Brass");

        const auto text = formatCueReportText (cue);
        EXPECT_TRUE (text.contains ("\r\n11 stems assigned, 5 empty stems\r\n")) << text;
        EXPECT_FALSE (text.contains ("digital silence")) << text;
        EXPECT_TRUE (text.contains ("\r\nPlease note - these stems were in the preset and had nothing assigned:\r\n"
                                    "  06 Harp\r\n  09 Synth Pads\r\n  12 Vocals\r\n  14 Atmos\r\n  16 Dialogue\r\n")) << text;

        const auto html = buildHtmlCueSection (cue, 0, {});
        EXPECT_EQ (findMarkupFault (html.toStdString()), "");
        EXPECT_TRUE (html.contains ("<h3>11 stems assigned &mdash; 5 empty stems</h3>"));
        EXPECT_FALSE (html.contains ("digital silence"));

        // The mix was never measured nor its gain decided: no levels (-inf would read as a silent
        // mix), only the preset's target.
        EXPECT_FALSE (cue.levelsMeasured);
        EXPECT_TRUE (text.contains ("\r\nHeadroom\r\n  target        -1.50 dB\r\n  not measured: the cue stopped at Brass\r\n\r\n")) << text;
        EXPECT_TRUE (html.contains ("<tr><th>Channels</th><td>2</td></tr>\n<tr><th>Target</th><td>-1.50 dB</td></tr>\n"
                                    "<tr><th>Mix and gain</th><td class=\"muted\">not measured: the cue stopped at Brass</td></tr>\n</table>"));

        // Every stem with tracks says what became of it; only those before the stop were measured,
        // and only on the whole path.
        for (int i = 0; i < names.size(); ++i)
        {
            if (empty.count (i) > 0)
                continue;

            const bool measured = whole && i < 3;
            const auto state = juce::String (measured ? "not written" : "not measured or written") + ": the cue stopped at Brass";
            const auto number = formatTwoDigits (i + 1);
            const auto trackCount = (int) tracks[(size_t) i].size();

            EXPECT_TRUE (text.contains ("\r\n  " + number + "  " + names[i].paddedRight (' ', 18) + juce::String (trackCount).paddedLeft (' ', 3)
                                        + " track(s)  " + state + "\r\n")) << names[i] << "\n" << text;

            const auto peakBefore = measured ? formatLevelText (cue.stems[(size_t) i].peakDb, 2) + " dB" : juce::String ("-");
            const auto row = "<td>" + number + "</td><td>" + names[i] + "</td><td>" + juce::String (trackCount) + "</td><td>"
                           + peakBefore + "</td><td>-</td><td>" + state;
            EXPECT_TRUE (html.contains (row)) << row;
            EXPECT_EQ (cue.stems[(size_t) i].measured, measured) << names[i];
            EXPECT_FALSE (cue.stems[(size_t) i].written) << names[i];
        }

        EXPECT_TRUE (text.contains ("track(s)  not measured or written: the cue stopped at Brass\r\n        error: Trumpets.wav: ")) << text;
        EXPECT_TRUE (text.contains ("\r\nFiles written (0)\r\n"));
    }
}

// What a cue wrote before it stopped waited out of sight and went with the rest: the reports
// call it not delivered, never written.
TEST (ReportEndToEnd, StemsWrittenBeforeTheStopAreNotDelivered)
{
    TemporaryFolder temp;
    constexpr double rate = 48000.0;
    auto preset = makeRenderPreset ({ "Drums", "Bass", "Strings" });
    preset.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;
    const auto drums = writeTone (temp.file ("in/kick.wav"), 2, 9600, rate, 60.0, 0.5);
    const auto bass = writeTone (temp.file ("in/bass.wav"), 2, 9600, rate, 110.0, 0.4);
    const auto strings = writeTone (temp.file ("in/violins.wav"), 2, 9600, rate, 440.0, 0.2);

    for (const bool whole : { false, true })
    {
        SCOPED_TRACE (whole ? "summed whole" : "summed in windows");
        const auto out = temp.file (whole ? "out-whole" : "out-windows");
        ASSERT_TRUE (out.getChildFile ("STEMS/Proj_Cue1_02_Bass.wav").createDirectory());   // in the way of the second stem

        auto request = makeRequest (preset, out, { { drums }, { bass }, { strings } });
        request.headTrimSeconds = whole ? 0.01 : 0.0;
        CueRenderContext context (request, {}, {});
        const auto cue = renderCue (context);

        ASSERT_FALSE (cue.ok);
        EXPECT_EQ (cue.stoppedAt, "Bass") << cue.errors.joinIntoString (" | ");
        EXPECT_TRUE (cue.files.empty());
        EXPECT_TRUE (cue.stems[0].written);
        EXPECT_FALSE (cue.stems[1].written);

        // The mix was measured before the stop: its levels stay, with the level the gain gave it.
        const auto text = formatCueReportText (cue);
        EXPECT_TRUE (cue.levelsMeasured);
        EXPECT_TRUE (text.contains ("\r\n  mix peak      " + formatPeakText (cue.mixSamplePeak, 2) + " dB\r\n")) << text;
        EXPECT_GT (cue.mixTruePeak, 0.0);
        EXPECT_TRUE (text.contains ("\r\n  after gain     " + formatPeakText (cue.gain.gainLinear * cue.mixTruePeak, 2) + " dB true peak\r\n")) << text;
        EXPECT_TRUE (text.contains ("\r\n  01  Drums               1 track(s)  peak " + formatLevelText (cue.stems[0].peakAfterDb, 2).paddedLeft (' ', 8)
                                    + " dB   not delivered: the cue stopped at Bass\r\n"
                                    "  02  Bass                1 track(s)  not written: the cue stopped at Bass\r\n"
                                    "  03  Strings             1 track(s)  not written: the cue stopped at Bass\r\n")) << text;
        EXPECT_TRUE (buildHtmlStemTable (cue).contains ("<td>Drums</td><td>1</td><td>" + formatLevelText (cue.stems[0].peakDb, 2) + " dB</td><td>"
                                                        + formatLevelText (cue.stems[0].peakAfterDb, 2) + " dB</td><td>not delivered: the cue stopped at Bass</td>"));
    }
}
