#include <gtest/gtest.h>

#include "core/audio/AudioFileProbe.h"
#include "core/render/CueRender.h"
#include "core/render/HtmlReport.h"
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
