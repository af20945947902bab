#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

#include "TestFolder.h"
#include "core/render/FileKindColours.h"
#include "core/render/HtmlReport.h"
#include "render/MarkupCheck.h"
#include "render/ReportFixtures.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
    int countOf (const juce::String& text, const juce::String& part)
    {
        int count = 0;

        for (auto i = text.indexOf (part); i >= 0; i = text.indexOf (i + 1, part))
            ++count;

        return count;
    }

    /** Puts the file-kind colours back to the defaults when a test changed them. */
    struct FileKindColourGuard
    {
        FileKindColours saved[3] = { getFileKindColour (0), getFileKindColour (1), getFileKindColour (2) };

        ~FileKindColourGuard()
        {
            for (int kind = 0; kind < 3; ++kind)
                setFileKindColour (kind, saved[kind]);
        }
    };

    const juce::String nastyCueName = "<script>alert(\"x\")</script> & Tom's";
    const juce::String escapedCueName = "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; Tom&#39;s";
} // namespace

TEST (HtmlReport, EscapeHtml)
{
    const struct { const char* in; const char* out; } cases[] = {
        { "a<b>c", "a&lt;b&gt;c" },
        { "\"q\" & 'a'", "&quot;q&quot; &amp; &#39;a&#39;" },
        { "tab\tlf\ncr\r\x01\x08\x0b\x1f end", "tab\tlf\ncr end" },
        { "Gr\xc3\xbc\xc3\x9f" "e \xe2\x99\xaa", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x99\xaa" },
        { "&amp;", "&amp;amp;" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (escapeHtml (juce::String::fromUTF8 (c.in)), juce::String::fromUTF8 (c.out)) << c.in;
}

TEST (HtmlReport, DocumentIsWellFormedAndSelfContained)
{
    // The checker itself catches what it is there for.
    EXPECT_EQ (findMarkupFault ("<p>a &amp; <b>b</b><br></p><svg><path d=\"M0\"/></svg>"), "");
    for (auto* broken : { "<div><p></div>", "a & b", "<p>a < b</p>", "<p class='x'>", "<p>x", "x > y" })
        EXPECT_NE (findMarkupFault (broken), "") << broken;

    auto cue = makeSampleCue();
    cue.cueName = nastyCueName;
    cue.sourceFolder = "/in/<a & b>";
    cue.stems[0].name = "Bass <Low> & \"Sub\"";
    cue.files[0].file = juce::File ("/out/a&b <1>.wav");
    cue.files[0].settingsDescription = "WAV \"24\" bit";
    cue.errors.add (juce::String ("Disk") + juce::String::charToString ((juce::juce_wchar) 1) + " full");
    cue.ok = false;

    BatchReport report;
    report.cues = { cue, makeFailedCue(), makeSampleCue() };
    report.outputRoot = juce::File ("/out/Tom's & Jerry's");
    report.errors.add ("Run <stopped>");
    report.cancelled = true;
    report.sharedGainApplied = true;
    report.sharedGain.gainDb = -2.5;

    HtmlReportOptions options;
    options.title = "Title <&>";
    const auto html = buildHtmlReport (report, options);

    EXPECT_EQ (findMarkupFault (html.toStdString()), "");
    EXPECT_TRUE (html.startsWith ("<!doctype html>\n<html lang=\"en\">"));
    EXPECT_TRUE (html.endsWith ("</html>\n"));
    EXPECT_TRUE (html.contains ("<title>Title &lt;&amp;&gt;</title>"));

    // Nothing outside the page is referenced: no network, no other file.
    const auto lower = html.toLowerCase();
    for (auto* external : { "http", "src=", "href", "<link", "@import", "file:" })
        EXPECT_FALSE (lower.contains (external)) << external;
    EXPECT_EQ (countOf (lower, "url("), countOf (lower, "url(#"));

    // User text is escaped wherever it appears; the only script is the page's own.
    EXPECT_EQ (countOf (html, "<script"), 1);
    EXPECT_FALSE (html.contains (nastyCueName));
    EXPECT_TRUE (html.contains ("aria-selected=\"false\">" + escapedCueName + "</button>"));
    EXPECT_TRUE (html.contains ("<div class=\"headline bad\">" + escapedCueName + " &mdash; failed</div>"));
    EXPECT_TRUE (html.contains ("<p class=\"muted\">Source folder: /in/&lt;a &amp; b&gt;</p>"));
    EXPECT_TRUE (html.contains ("<td>Bass &lt;Low&gt; &amp; &quot;Sub&quot;</td>"));
    EXPECT_TRUE (html.contains ("<span class=\"file-name\">a&amp;b &lt;1&gt;.wav</span><span class=\"file-meta\">WAV &quot;24&quot; bit &middot; 1023 B</span>"));
    EXPECT_TRUE (html.contains ("/out/Tom&#39;s &amp; Jerry&#39;s"));
    EXPECT_TRUE (html.contains ("<li>Disk full</li>"));
    EXPECT_TRUE (html.contains ("<h3 class=\"bad\">Run errors</h3>\n<ul class=\"bad\">\n<li>Run &lt;stopped&gt;</li>"));
    EXPECT_FALSE (html.contains ("\r"));
}

TEST (HtmlReport, SummaryTabsAndHeadlines)
{
    auto withProblems = makeSampleCue();
    withProblems.cueName = "1m02";
    withProblems.errors.add ("Stem Percussion: could not read kick.wav");
    auto cancelled = makeSampleCue();
    cancelled.cueName = "1m03";
    cancelled.cancelled = true;

    BatchReport report;
    report.cues = { makeSampleCue(), withProblems, cancelled, makeFailedCue() };
    report.elapsedSeconds = 4.26;
    report.cancelled = true;
    report.sharedGainApplied = true;
    report.sharedGain.gainDb = -2.5;

    const auto html = buildHtmlReport (report);
    EXPECT_EQ (findMarkupFault (html.toStdString()), "");

    EXPECT_TRUE (html.contains ("<div class=\"card\"><div class=\"n\">4</div><div class=\"l\">cues</div></div>"));
    EXPECT_TRUE (html.contains ("<div class=\"card\"><div class=\"n\">9</div><div class=\"l\">files written</div></div>"));
    EXPECT_TRUE (html.contains ("<div class=\"card bad\"><div class=\"n\">3</div><div class=\"l\">need attention</div></div>"));
    EXPECT_TRUE (html.contains ("<div class=\"card\"><div class=\"n\">4.3 s</div><div class=\"l\">elapsed</div></div>"));
    EXPECT_TRUE (html.contains ("<div class=\"card\"><div class=\"n\">-2.50 dB</div><div class=\"l\">shared gain</div></div>"));
    EXPECT_TRUE (html.contains ("<p class=\"bad\">The run was cancelled. Files already written are complete; nothing was left half-written.</p>"));
    EXPECT_TRUE (html.contains ("<title>Brackenfold render report</title>"));

    EXPECT_TRUE (html.contains ("<button role=\"tab\" data-target=\"cue0\" aria-selected=\"false\">1m01 Arrival</button>"));
    EXPECT_TRUE (html.contains ("<button role=\"tab\" data-target=\"cue1\" class=\"has-problem\" aria-selected=\"false\">1m02</button>"));
    EXPECT_TRUE (html.contains ("<button role=\"tab\" data-target=\"cue3\" class=\"has-problem\" aria-selected=\"false\">Delivery</button>"));

    EXPECT_TRUE (html.contains ("<section class=\"panel\" id=\"cue0\">\n<div class=\"headline good\">1m01 Arrival &mdash; delivered</div>"));
    EXPECT_TRUE (html.contains ("<div class=\"headline bad\">1m02 &mdash; completed with problems</div>"));
    EXPECT_TRUE (html.contains ("<div class=\"headline bad\">1m03 &mdash; cancelled</div>"));
    EXPECT_TRUE (html.contains ("<div class=\"headline bad\">Delivery &mdash; failed</div>"));
    EXPECT_TRUE (html.contains ("<footer>Brackenfold " + juce::String (productVersion) + " &middot; "));

    // One cue: "delivery", no attention, no shared gain, no cancelled note.
    BatchReport single;
    single.cues = { makeSampleCue() };
    const auto one = buildHtmlReport (single);
    EXPECT_TRUE (one.contains ("<div class=\"card\"><div class=\"n\">1</div><div class=\"l\">delivery</div></div>"));
    EXPECT_TRUE (one.contains ("<div class=\"card\"><div class=\"n\">0</div><div class=\"l\">need attention</div></div>"));
    EXPECT_FALSE (one.contains ("shared gain"));
    EXPECT_FALSE (one.contains ("The run was cancelled"));
    EXPECT_FALSE (one.contains ("Run errors"));
}

TEST (HtmlReport, CuePanelShowsLevelsStemsFilesAndCheck)
{
    const auto html = buildHtmlCueSection (makeSampleCue(), 2, {});
    EXPECT_EQ (findMarkupFault (html.toStdString()), "");
    EXPECT_TRUE (html.startsWith ("<section class=\"panel\" id=\"cue2\">"));

    for (auto* row : {
             "<tr><th>Length</th><td>3:05  (8880000 frames)</td></tr>",
             "<tr><th>Sample rate</th><td>48.0 kHz</td></tr>",
             "<tr><th>Channels</th><td>2</td></tr>",
             "<tr><th>Mix peak</th><td>-6.02 dB</td></tr>",
             "<tr><th>Mix true peak</th><td>-12.04 dB</td></tr>",
             "<tr><th>Target</th><td>-1.00 dB</td></tr>",
             "<tr><th>Global gain</th><td>0.00 dB   (held at 0 dB: attenuate only)</td></tr>",
             "<tr><th>Predicted peak</th><td>-6.02 dB</td></tr>",
             "<tr><th>Measured after gain</th><td>0.00 dB true peak</td></tr>",
             "<tr><th>Clipping</th><td class=\"bad\">3 sample(s) at or above full scale</td></tr>",
             "<p class=\"good\">PASSED - residual -141.20 dB within -120.00 dB</p>",
             "<h3>3 stems assigned &mdash; 2 empty stems</h3>",
             "<tr><td>01</td><td>Strings</td><td>4</td><td>-3.50 dB</td><td>-3.50 dB</td><td>written</td></tr>",
             "<tr class=\"warn\"><td>02</td><td>Brass and Low Woodwinds</td><td>12</td><td>-inf dB</td><td>-inf dB</td><td>digital silence</td></tr>",
             "<tr class=\"bad\"><td>03</td><td>Percussion</td><td>2</td><td>-398.99 dB</td><td>-398.99 dB</td><td>could not read kick.wav</td></tr>",
             "<p class=\"note\"><b>Please note</b> - these 2 stems were in the preset and had nothing assigned, so no file was produced for them:</p>\n"
             "<p class=\"muted\">04 Choir &nbsp;&middot;&nbsp; 10 FX</p>",
             "<h3>Files written (3)</h3>",
             "<div class=\"file\">\n<div class=\"file-head\"><span class=\"file-name\">Arrival_STR.wav</span><span class=\"file-meta\">WAV 24 bit 48 kHz &middot; 1023 B</span></div>",
             "<div class=\"file mix\">\n<div class=\"file-head\"><span class=\"file-name\">Arrival_MIX.wav</span><span class=\"file-meta\">WAV 24 bit 48 kHz &middot; 1.0 MB &middot; full mix</span></div>",
             "<div class=\"file submix\">\n<div class=\"file-head\"><span class=\"file-name\">Arrival_ALT1.flac</span><span class=\"file-meta\">FLAC 16 bit 44.1 kHz &middot; 1.0 kB &middot; alternative mix</span></div>",
             "<linearGradient id=\"grad2_0\"", "<linearGradient id=\"grad2_1\"", "<linearGradient id=\"grad2_2\"",
             "<h3 class=\"bad\">Unassigned tracks (1)</h3>\n<ul class=\"bad\">\n<li>click track.wav</li>",
             "<h3>Warnings</h3>\n<ul class=\"warn\">\n<li>1 track resampled from 44.1 kHz</li>",
         })
        EXPECT_TRUE (html.contains (row)) << row;

    EXPECT_TRUE (html.contains ("<details>\n<summary>Plain text log</summary>\n<pre>Brackenfold " + juce::String (productVersion) + " render report\n"));

    EXPECT_FALSE (html.contains ("<h3 class=\"bad\">Errors</h3>"));

    HtmlReportOptions bare;
    bare.includeWaveforms = false;
    bare.includePlainTextLog = false;
    const auto plain = buildHtmlCueSection (makeSampleCue(), 0, bare);
    EXPECT_FALSE (plain.contains ("<svg"));
    EXPECT_FALSE (plain.contains ("<details>"));

    auto notRemeasured = makeSampleCue();
    notRemeasured.remeasured = false;
    EXPECT_TRUE (buildHtmlCueSection (notRemeasured, 0, bare).contains ("<tr><th>After gain</th><td>0.00 dB true peak</td></tr>"));

    // States other than PASSED, and a single empty stem.
    auto cue = makeFailedCue();
    cue.stems.push_back (makeSampleCue().stems[3]);
    cue.reconstruction.state = ReconstructionState::skipped;
    cue.reconstruction.detail = "no <lossless> stems";
    const auto other = buildHtmlCueSection (cue, 0, {});
    EXPECT_TRUE (other.contains ("<p class=\"muted\">skipped - no &lt;lossless&gt; stems</p>"));
    EXPECT_TRUE (other.contains ("<tr><th>Length</th><td>0:00  (0 frames)</td></tr>"));
    EXPECT_TRUE (other.contains ("<tr><th>Target</th><td>-3.00 dB</td></tr>\n"
                                 "<tr><th>Mix and gain</th><td class=\"muted\">not measured: the cue did not complete</td></tr>"));
    EXPECT_FALSE (other.contains ("Mix peak"));
    EXPECT_TRUE (other.contains ("this stem was in the preset and had nothing assigned, so no file was produced for it:</p>"));
    EXPECT_TRUE (other.contains ("<p class=\"muted\">No files were written.</p>"));
    EXPECT_TRUE (other.contains ("<h3 class=\"bad\">Errors</h3>\n<ul class=\"bad\">\n<li>Disk full</li>"));

    cue.reconstruction.state = ReconstructionState::failed;
    cue.reconstruction.detail = "residual -60.00 dB";
    EXPECT_TRUE (buildHtmlCueSection (cue, 0, {}).contains ("<p class=\"bad\">FAILED - residual -60.00 dB</p>"));
    cue.reconstruction.state = ReconstructionState::notRun;
    EXPECT_TRUE (buildHtmlCueSection (cue, 0, {}).contains ("<p class=\"muted\">not run</p>"));
}

TEST (HtmlReport, FileSizes)
{
    const struct { int64_t bytes; const char* text; } cases[] = {
        { 0, "0 B" }, { 1023, "1023 B" }, { 1024, "1.0 kB" }, { 1536, "1.5 kB" },
        { 1048575, "1024.0 kB" }, { 1048576, "1.0 MB" }, { 1572864, "1.5 MB" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (formatFileSizeText (c.bytes), c.text) << c.bytes;
}

TEST (HtmlReport, WaveformSvg)
{
    WaveformOverview overview;
    overview.minimums = { -0.5f, -1.0f };
    overview.maximums = { 0.5f, 1.0f };
    overview.peak = 1.0f;

    // Scaled so the peak reaches 0.92 of the half height: y = 45 - v * 0.92 * 45.
    const juce::String top = "M0 24.3 L0 24.3 L1 24.3 L1 3.6 L2 3.6 ";
    const juce::String bottom = "L2 86.4 L1 86.4 L1 65.7 L0 65.7 ";
    const auto stem = getFileKindColour (0);
    ASSERT_EQ (stem.colour, 0xff8fbf6bu);

    EXPECT_EQ (buildWaveformSvg (overview, "0_1", 0),
               "<svg class=\"wave\" viewBox=\"0 0 2 90\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"waveform\">"
               "<defs><linearGradient id=\"grad0_1\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
               "<stop offset=\"0%\" stop-color=\"#8fbf6b\"/><stop offset=\"100%\" stop-color=\"#5c7b45\"/>"
               "</linearGradient></defs>"
               "<line class=\"wave-axis\" x1=\"0\" y1=\"45.0\" x2=\"2\" y2=\"45.0\"/>"
               "<path d=\"" + top + bottom + "Z\" fill=\"url(#grad0_1)\" opacity=\"0.85\"/>"
               "<path d=\"" + top + "\" fill=\"none\" stroke=\"#c2dcaf\" stroke-width=\"1\"/></svg>\n");

    // A silent file draws flat outlines on the centre line.
    WaveformOverview silent;
    silent.minimums = { 0.0f, 0.0f, 0.0f };
    silent.maximums = { 0.0f, 0.0f, 0.0f };
    EXPECT_TRUE (buildWaveformSvg (silent, "s", 0).contains (
        "d=\"M0 45.0 L0 45.0 L1 45.0 L1 45.0 L2 45.0 L2 45.0 L3 45.0 L3 45.0 L2 45.0 L2 45.0 L1 45.0 L1 45.0 L0 45.0 Z\""));

    // A sample that is not a number must not turn into a garbage coordinate.
    overview.maximums[1] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE (buildWaveformSvg (overview, "n", 0).contains ("L1 45.0 L2 45.0 "));

    EXPECT_EQ (buildWaveformSvg (WaveformOverview(), "e", 1), "<div class=\"wave-empty\">no waveform</div>\n");

    // Every kind draws in its own colours, whatever the palette set.
    FileKindColourGuard guard;
    setFileKindColour (2, { 0xff102030u, 0xff010203u, 0xffa0b0c0u });
    const auto svg = buildWaveformSvg (overview, "x", 2);
    EXPECT_TRUE (svg.contains ("<stop offset=\"0%\" stop-color=\"#102030\"/><stop offset=\"100%\" stop-color=\"#010203\"/>"));
    EXPECT_TRUE (svg.contains ("stroke=\"#a0b0c0\""));
}

TEST (HtmlReport, FileKindColours)
{
    // They hold the default palette from the start, as the look-and-feel would make them.
    const juce::uint32 defaults[] = { 0xff8fbf6bu, 0xff7fb2d9u, 0xff6fd8eeu };

    for (int kind = 0; kind < 3; ++kind)
    {
        const juce::Colour c (defaults[kind]);
        const FileKindColours expected { c.getARGB(), c.darker (0.55f).getARGB(), c.brighter (0.85f).getARGB() };
        EXPECT_EQ (getFileKindColour (kind), expected) << kind;
        EXPECT_EQ (makeFileKindColours (defaults[kind]), expected) << kind;
    }

    // An arbitrary colour with alpha, to check the tint arithmetic on every channel.
    const juce::Colour odd (0x80ff0719u);
    EXPECT_EQ (makeFileKindColours (odd.getARGB()),
               (FileKindColours { odd.getARGB(), odd.darker (0.55f).getARGB(), odd.brighter (0.85f).getARGB() }));

    EXPECT_EQ (getFileKindColour (7), getFileKindColour (0));
    EXPECT_EQ (getFileKindColour (-1), getFileKindColour (0));

    FileKindColourGuard guard;
    setFileKindColour (7, { 1, 2, 3 });
    EXPECT_EQ (getFileKindColour (0), (FileKindColours { 1, 2, 3 }));
    EXPECT_NE (getFileKindColour (1), (FileKindColours { 1, 2, 3 }));
}

TEST (HtmlReport, ReportFileName)
{
    BatchReport report;
    EXPECT_EQ (getReportFileName (report), "Brackenfold report.html");

    // A batch is named for its project and the minute its render started, so that two projects
    // rendered into one folder on one day keep reports of their own: the project field, else the
    // saved project's file name, else the output folder's name.
    report.outputRoot = juce::File ("/deliveries/Out");
    report.startedAt = juce::Time (2026, 2, 4, 23, 59);

    const struct { const char* field; const char* projectFile; const char* name; } batches[] = {
        { "Harbour Delivery", "harbour", "Brackenfold report - Harbour Delivery - 2026-03-04 23.59" },
        { "  ", "Harbour v2", "Brackenfold report - Harbour v2 - 2026-03-04 23.59" },
        { "", "", "Brackenfold report - Out - 2026-03-04 23.59" },
    };

    for (const auto& c : batches)
    {
        report.projectName = c.field;
        report.projectFileName = c.projectFile;
        EXPECT_EQ (getReportBaseName (report), c.name);
        EXPECT_EQ (getReportFileName (report), juce::String (c.name) + ".html");
    }

    // A long project name gives way to the time.
    report.projectName = juce::String::repeatedString ("Harbour ", 20);
    EXPECT_EQ (getReportBaseName (report).length(), 90) << getReportBaseName (report);
    EXPECT_TRUE (getReportBaseName (report).endsWith (" Harbour Ha - 2026-03-04 23.59")) << getReportBaseName (report);
    report.projectName = "Harbour Delivery";

    report.cues = { makeSampleCue() };
    report.cues[0].cueName = "Main Title";
    EXPECT_EQ (getReportFileName (report), "Brackenfold report - Main Title.html");

    report.cues[0].cueName = "A/B: <final>";
    EXPECT_EQ (getReportFileName (report), "Brackenfold report - A-B- -final-.html");

    report.cues[0].cueName = {};
    EXPECT_EQ (getReportFileName (report), "Brackenfold report - Harbour Delivery - 2026-03-04 23.59.html");

    report.cues = { makeSampleCue(), makeSampleCue() };
    EXPECT_EQ (getReportFileName (report), "Brackenfold report - Harbour Delivery - 2026-03-04 23.59.html");

    // The name proposed in a folder is one no other report there has taken.
    const dunmoor::testing::TemporaryFolder temp;
    const auto base = getReportBaseName (report);
    EXPECT_EQ (proposeReportFile (report, temp.folder, ".html"), temp.folder.getChildFile (base + ".html"));
    ASSERT_TRUE (temp.folder.getChildFile (base + ".html").replaceWithText ("earlier"));
    ASSERT_TRUE (temp.folder.getChildFile (base + " (2).html").createDirectory());
    EXPECT_EQ (proposeReportFile (report, temp.folder, ".html"), temp.folder.getChildFile (base + " (3).html"));
    EXPECT_EQ (proposeReportFile (report, temp.folder, ".txt"), temp.folder.getChildFile (base + ".txt"));
}

TEST (HtmlReport, WriteToDisk)
{
    const dunmoor::testing::TemporaryFolder temp;
    const auto& folder = temp.folder;

    BatchReport report;
    report.cues = { makeSampleCue() };

    const auto target = folder.getChildFile ("report.html");
    juce::String error;
    ASSERT_TRUE (writeHtmlReport (report, target, error)) << error;

    const auto onDisk = target.loadFileAsString();
    EXPECT_TRUE (onDisk.startsWith ("<!doctype html>\n"));
    EXPECT_FALSE (onDisk.contains ("\r"));  // the embedded plain-text log's CRs are dropped
    EXPECT_TRUE (onDisk.contains ("<pre>Brackenfold " + juce::String (productVersion) + " render report\n"));

    // A folder in the way: the failure comes back as a message and the folder stays.
    const auto blocked = folder.getChildFile ("blocked.html");
    ASSERT_TRUE (blocked.createDirectory());
    EXPECT_FALSE (writeHtmlReport (report, blocked, error));
    EXPECT_TRUE (error.isNotEmpty());
    EXPECT_TRUE (blocked.isDirectory());

}
