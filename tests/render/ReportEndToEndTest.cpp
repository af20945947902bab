#include <gtest/gtest.h>

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
