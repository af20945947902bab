#include <regex>

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "core/render/TextReport.h"
#include "render/ReportFixtures.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
    /** Replaces the line of the render's times under every report header with "<date>", after
        checking that it has the 12-hour layout (or says that no time was recorded). Splits at CR LF only, so a lone LF shows up as a
        mismatch against the expected lines. */
    juce::String maskDates (const juce::String& text)
    {
        static const std::regex dateLine (R"(Rendered \d{1,2} [A-Z][a-z]{2} \d{4} \d{1,2}:\d{2}:\d{2}(am|pm) to )"
                                          R"((\d{1,2} [A-Z][a-z]{2} \d{4} )?\d{1,2}:\d{2}:\d{2}(am|pm)|Render time not recorded)");

        juce::StringArray lines;

        for (int start = 0;;)
        {
            const auto end = text.indexOf (start, "\r\n");
            lines.add (text.substring (start, end < 0 ? text.length() : end));

            if (end < 0)
                break;

            start = end + 2;
        }

        for (int i = 1; i < lines.size(); ++i)
        {
            if (lines[i - 1].startsWith ("Brackenfold " + juce::String (productVersion) + " ") && lines[i - 1].endsWith (" report"))
            {
                EXPECT_TRUE (std::regex_match (lines[i].toStdString(), dateLine)) << lines[i];
                lines.set (i, "<date>");
            }
        }

        return lines.joinIntoString ("\r\n");
    }

    /** The first line of a report of this kind ("render", "batch"), with the product's version. */
    std::string reportHeading (const char* kind)
    {
        return std::string ("Brackenfold ") + productVersion + " " + kind + " report";
    }

    juce::String crLfLines (std::initializer_list<const char*> lines)
    {
        juce::StringArray array;

        for (auto* line : lines)
            array.add (juce::String::fromUTF8 (line));

        return array.joinIntoString ("\r\n");
    }

    const juce::String sampleCueText = crLfLines ({
        reportHeading ("render").c_str(),
        "<date>",
        "Cue: 1m01 Arrival   (/in/1m01)",
        "Output: /out/1m01",
        "",
        "Project",
        "  length        3:05 (8880000 frames)",
        "  sample rate   48.0 kHz",
        "  channels      2",
        "",
        "Headroom",
        "  mix peak      -6.02 dB",
        "  mix true peak -12.04 dB",
        "  target        -1.00 dB",
        "  global gain   0.00 dB  (attenuate only)",
        "  predicted     -6.02 dB",
        "  measured after  0.00 dB true peak  (re-measured)",
        "  CLIPPING      3 samples at or above full scale",
        "",
        "3 stems assigned, 2 empty stems",
        "  01  Strings             4 track(s)  peak    -3.50 dB",
        "  02  Brass and Low Woodwinds 12 track(s)  peak     -inf dB   digital silence",
        "  03  Percussion          2 track(s)  peak  -398.99 dB",
        "        error: could not read kick.wav",
        "",
        "Please note - these stems were in the preset and had nothing assigned:",
        "  04 Choir",
        "  10 FX",
        "",
        "Files written (3)",
        "  Arrival_STR.wav   [WAV 24 bit 48 kHz]",
        "  Arrival_MIX.wav   [WAV 24 bit 48 kHz]",
        "  Arrival_ALT1.flac   [FLAC 16 bit 44.1 kHz]",
        "",
        "Unassigned tracks (1)",
        "  click track.wav",
        "",
        "Reconstruction check",
        "  PASSED  residual -141.20 dB within -120.00 dB",
        "",
        "Warnings",
        "  1 track resampled from 44.1 kHz",
        "",
        "Render completed.",
        "Elapsed 2.3 s",
    });

    // A cue that failed before its mix was measured: no levels but the target, the length 0:00,
    // no cue or output line.
    const juce::String failedCueText = crLfLines ({
        reportHeading ("render").c_str(),
        "<date>",
        "",
        "Project",
        "  length        0:00 (0 frames)",
        "  sample rate   0.0 kHz",
        "  channels      0",
        "",
        "Headroom",
        "  target        -3.00 dB",
        "  not measured: the cue did not complete",
        "",
        "0 stems assigned, 0 empty stems",
        "",
        "Files written (0)",
        "",
        "Reconstruction check",
        "  not run",
        "",
        "Errors",
        "  Disk full",
        "",
        "Render did not complete.",
        "Elapsed 0.0 s",
    });

    BatchReport makeTwoCueReport()
    {
        BatchReport report;
        report.cues = { makeSampleCue(), makeFailedCue() };
        report.outputRoot = juce::File ("/out");
        report.sharedGainApplied = true;
        report.sharedGain.gainDb = -2.5;
        report.elapsedSeconds = 12.27;
        report.errors.add ("Output folder was busy");
        return report;
    }
} // namespace

TEST (TextReport, CueReportGolden)
{
    const auto text = formatCueReportText (makeSampleCue());
    EXPECT_EQ (maskDates (text), sampleCueText);
    EXPECT_FALSE (text.endsWith ("\n"));

    EXPECT_EQ (maskDates (formatCueReportText (makeFailedCue())), failedCueText);
}

TEST (TextReport, BatchReportGolden)
{
    const auto expected = crLfLines ({
        reportHeading ("batch").c_str(),
        "<date>",
        "Output root: /out",
        "",
        "Summary",
        "  cues rendered   1 of 2",
        "  files written   3",
        "  shared gain     -2.50 dB applied to every cue in this run",
        "  NEEDS ATTENTION Delivery",
        "  elapsed         12.3 s",
        "",
        "===============================================================",
    }) + "\r\n" + sampleCueText + "\r\n"
       + crLfLines ({ "", "===============================================================" }) + "\r\n" + failedCueText + "\r\n"
       + crLfLines ({ "", "Run errors", "  Output folder was busy" });

    const auto text = formatBatchReportText (makeTwoCueReport());
    EXPECT_EQ (maskDates (text), expected);
    EXPECT_FALSE (text.endsWith ("\n"));
}

TEST (TextReport, BatchOfOneCueIsThatCuesReport)
{
    BatchReport report;
    report.cues = { makeSampleCue() };
    report.sharedGainApplied = true;

    EXPECT_EQ (maskDates (formatBatchReportText (report)), sampleCueText);
}

TEST (TextReport, EmptyBatch)
{
    const auto expected = crLfLines ({
        reportHeading ("batch").c_str(),
        "<date>",
        "",
        "Summary",
        "  cues rendered   0 of 0",
        "  files written   0",
        "  elapsed         0.0 s",
    });

    EXPECT_EQ (maskDates (formatBatchReportText (BatchReport())), expected);
}

TEST (TextReport, FinalLineFollowsCancelledThenOk)
{
    auto cue = makeSampleCue();
    cue.cancelled = true;   // ok stays set: cancelled still wins
    EXPECT_TRUE (formatCueReportText (cue).contains ("\r\nRender cancelled by the user.\r\nElapsed 2.3 s"));

    // A failed reconstruction check makes the cue need attention even though it is ok.
    cue = makeSampleCue();
    cue.reconstruction.state = ReconstructionState::failed;
    cue.reconstruction.detail = "residual -60.00 dB";
    BatchReport report;
    report.cues = { cue, makeSampleCue() };
    report.cues[1].cueName = "1m02";

    const auto text = formatBatchReportText (report);
    EXPECT_TRUE (text.contains ("\r\n  cues rendered   1 of 2\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  NEEDS ATTENTION 1m01 Arrival\r\n"));
    EXPECT_TRUE (text.contains ("\r\n  FAILED  residual -60.00 dB\r\n"));
    EXPECT_FALSE (text.contains ("shared gain"));
}

TEST (TextReport, LevelText)
{
    const struct { double dB; const char* text; } cases[] = {
        { -400.0, "-inf" }, { -399.0, "-inf" }, { -398.99, "-398.99" }, { -0.53, "-0.53" },
        { -0.001, "0.00" }, { 0.0, "0.00" }, { 3.14159, "3.14" }, { -1e9, "-inf" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (formatLevelText (c.dB, 2), c.text) << c.dB;

    EXPECT_EQ (formatPeakText (0.0, 2), "-inf");
    EXPECT_EQ (formatPeakText (-1.0, 2), "-inf");
    EXPECT_EQ (formatPeakText (1.0, 2), "0.00");
    EXPECT_EQ (formatPeakText (0.5, 2), "-6.02");
}

TEST (TextReport, StemNumberAndRenderTimeTexts)
{
    // The number a stem's files carry comes first; its place in the preset only when it differs.
    const struct { int index; const char* inFileName; const char* text; } numbers[] = {
        { 10, "09", "09 (10)" }, { 3, "03", "03" }, { 2, "002", "002" }, { 12, "1", "1 (12)" }, { 4, "", "04" },
    };

    for (const auto& c : numbers)
    {
        StemReport stem;
        stem.index = c.index;
        stem.numberInFileName = c.inFileName;
        EXPECT_EQ (formatStemNumberText (stem), c.text) << c.index;
    }

    const juce::Time start (2026, 2, 4, 21, 15, 7);
    EXPECT_EQ (formatRenderTimes (start, start + juce::RelativeTime::minutes (3)), "Rendered 4 Mar 2026 9:15:07pm to 9:18:07pm");
    EXPECT_EQ (formatRenderTimes (start, start + juce::RelativeTime::hours (3)), "Rendered 4 Mar 2026 9:15:07pm to 5 Mar 2026 12:15:07am");
    EXPECT_EQ (formatRenderTimes ({}, {}), "Render time not recorded");
}

// A renumbered stem's "09 (10)" beside "01" moved names and track counts five characters to the
// right in the middle of the table.
TEST (TextReport, StemTableColumnsHoldWhenNumbersDifferInWidth)
{
    auto cue = makeSampleCue();
    cue.stems[0].numberInFileName = "01";
    cue.stems[1].name = "Bass";
    cue.stems[1].index = 10;
    cue.stems[1].numberInFileName = "09";
    cue.stems[2].numberInFileName = "03";

    EXPECT_TRUE (formatCueReportText (cue).contains ("\r\n3 stems assigned, 2 empty stems\r\n"
                                                     "  01       Strings             4 track(s)  peak    -3.50 dB\r\n"
                                                     "  09 (10)  Bass               12 track(s)  peak     -inf dB   digital silence\r\n"
                                                     "  03       Percussion          2 track(s)  peak  -398.99 dB\r\n"
                                                     "        error: could not read kick.wav\r\n"));
}

TEST (TextReport, DeliveryList)
{
    const juce::String sampleBlock =
        "1m01 Arrival\n"
        "  Arrival_STR.wav     stem              WAV 24 bit 48 kHz\n"
        "  Arrival_MIX.wav     full mix          WAV 24 bit 48 kHz\n"
        "  Arrival_ALT1.flac   alternative mix   FLAC 16 bit 44.1 kHz";

    // The failed cue wrote nothing, so it gets no block.
    EXPECT_EQ (formatDeliveryList (makeTwoCueReport()), "3 files in 1 cue\n\n" + sampleBlock);

    auto unnamed = makeFailedCue();
    WrittenFile file;
    file.file = juce::File ("/out/a.wav");
    file.settingsDescription = "WAV 16 bit 44.1 kHz";
    file.kind = 7;  // unknown kinds list as stems
    unnamed.files.push_back (file);

    BatchReport report;
    report.cues = { makeSampleCue(), makeFailedCue(), unnamed };
    EXPECT_EQ (formatDeliveryList (report),
               "4 files in 2 cues\n\n" + sampleBlock + "\n\nDelivery\n  a.wav   stem              WAV 16 bit 44.1 kHz");

    report.cues = { unnamed };
    EXPECT_TRUE (formatDeliveryList (report).startsWith ("1 file in 1 cue\n\nDelivery\n"));

    report.cues = { makeFailedCue() };
    EXPECT_EQ (formatDeliveryList (report), "");
    EXPECT_EQ (formatDeliveryList (BatchReport()), "");
}

TEST (TextReport, CountsAndPhrases)
{
    auto cue = makeSampleCue();
    EXPECT_EQ (cue.countAssignedStems(), 3);
    EXPECT_EQ (cue.countEmptyStems(), 2);
    EXPECT_EQ (cue.describeAssignedStems(), "3 stems assigned");
    EXPECT_EQ (cue.describeEmptyStems(), "2 empty stems");

    cue.stems.erase (cue.stems.begin() + 1, cue.stems.begin() + 4);
    EXPECT_EQ (cue.describeAssignedStems(), "1 stem assigned");
    EXPECT_EQ (cue.describeEmptyStems(), "1 empty stem");

    auto cancelled = makeSampleCue();
    cancelled.cancelled = true;
    BatchReport report;
    report.cues = { makeSampleCue(), makeFailedCue(), cancelled };
    EXPECT_EQ (report.countCuesNeedingAttention(), 2);
    EXPECT_EQ (report.countFilesWritten(), 6);
    EXPECT_EQ (&report.getFirstCue(), &report.cues.front());

    const BatchReport empty;
    const auto& first = empty.getFirstCue();
    EXPECT_FALSE (first.ok);
    EXPECT_TRUE (first.stems.empty());
    EXPECT_EQ (first.reconstruction.state, ReconstructionState::notRun);
}

TEST (TextReport, SavedWithCrLfOnDisk)
{
    const dunmoor::testing::TemporaryFolder temp;
    const auto& folder = temp.folder;

    const auto target = folder.getChildFile ("report.txt");
    juce::String error;
    ASSERT_TRUE (writeBatchReportText (BatchReport(), target, error)) << error;

    juce::MemoryBlock bytes;
    ASSERT_TRUE (target.loadFileAsData (bytes));
    const std::string onDisk (static_cast<const char*> (bytes.getData()), bytes.getSize());

    EXPECT_EQ (onDisk.rfind (reportHeading ("batch") + "\r\n", 0), 0u);
    EXPECT_NE (onDisk.find ("\r\n  files written   0\r\n  elapsed         0.0 s"), std::string::npos);
    EXPECT_NE (onDisk.back(), '\n');

    size_t lineFeeds = 0, pairs = 0;
    for (size_t i = 0; i < onDisk.size(); ++i)
    {
        if (onDisk[i] == '\n')
        {
            ++lineFeeds;
            pairs += (i > 0 && onDisk[i - 1] == '\r') ? 1 : 0;
        }
    }
    EXPECT_EQ (lineFeeds, 6u);
    EXPECT_EQ (pairs, lineFeeds);

    // A path under a regular file can't be written: the failure comes back as a message.
    const auto blocked = target.getChildFile ("inside.txt");
    EXPECT_FALSE (writeBatchReportText (BatchReport(), blocked, error));
    EXPECT_TRUE (error.isNotEmpty());

}
