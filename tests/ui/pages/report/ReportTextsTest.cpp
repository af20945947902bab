#include <gtest/gtest.h>

#include "render/ReportFixtures.h"
#include "ui/pages/report/ReportTexts.h"

namespace dunmoor::ui
{
namespace
{
    CueReport deliveredCue (const juce::String& name, int files)
    {
        CueReport cue;
        cue.ok = true;
        cue.cueName = name;
        cue.reconstruction.state = ReconstructionState::passed;

        for (int i = 0; i < files; ++i)
        {
            WrittenFile f;
            f.file = juce::File ("/out/" + name + "/" + juce::String (i) + ".wav");
            cue.files.push_back (f);
        }

        return cue;
    }

    BatchReport run (std::vector<CueReport> cues, bool allOk = true)
    {
        BatchReport report;
        report.cues = std::move (cues);
        report.allOk = allOk;
        return report;
    }
} // namespace

TEST (ReportTexts, HeadlineSaysHowTheRunWent)
{
    auto warned = deliveredCue ("1m01", 5);
    warned.warnings.add ("1 track resampled");

    auto failedCheck = deliveredCue ("1m02", 2);
    failedCheck.reconstruction.state = ReconstructionState::failed;

    auto unchecked = deliveredCue ("", 3);
    unchecked.reconstruction.state = ReconstructionState::skipped;

    auto leftOut = deliveredCue ("1m01", 4);
    leftOut.unreadableTracks.push_back ({ "strings.wav", "The file is truncated.", {} });

    auto withError = deliveredCue ("1m02", 0);
    withError.ok = false;
    withError.errors.add ("Disk full");

    struct Case
    {
        const char* what;
        std::optional<BatchReport> report;
        const char* text;
        ReportTone tone;
    };

    const Case cases[] = {
        { "no report", std::nullopt, "No render yet", ReportTone::secondary },
        { "three cues, the second in error", run ({ deliveredCue ("a", 2), withError, deliveredCue ("c", 2) }, false), "Run failed", ReportTone::bad },
        { "ok, but a null test failed", run ({ deliveredCue ("a", 2), failedCheck }), "1 of 2 cue(s) need attention", ReportTone::bad },
        { "several delivered", run ({ deliveredCue ("a", 2), deliveredCue ("b", 3) }), "2 cues delivered, 5 files", ReportTone::good },
        { "one cue", run ({ deliveredCue ("1m01", 5) }), "Rendered 5 file(s)  -  stems reconstruct the mix", ReportTone::good },
        { "one cue, a track not read", run ({ leftOut }), "1 of 1 cue(s) need attention", ReportTone::bad },
        { "one cue with a warning", run ({ warned }), "Rendered 5 file(s)  -  stems reconstruct the mix", ReportTone::warning },
        { "one cue, check skipped", run ({ unchecked }), "Rendered 3 file(s)", ReportTone::good },
    };

    for (const auto& c : cases)
    {
        const auto headline = makeReportHeadline (c.report ? &*c.report : nullptr);
        EXPECT_EQ (headline.text, c.text) << c.what;
        EXPECT_EQ (headline.tone, c.tone) << c.what;
    }
}

TEST (ReportTexts, TheFirstCueThatNeedsAttentionIsSelectedOnArrival)
{
    auto bad = deliveredCue ("b", 1);
    bad.errors.add ("Disk full");
    auto cancelled = deliveredCue ("c", 1);
    cancelled.cancelled = true;

    EXPECT_EQ (findCueToSelectOnArrival (run ({})), -1);
    EXPECT_EQ (findCueToSelectOnArrival (run ({ deliveredCue ("a", 1), deliveredCue ("b", 1) })), 0);
    EXPECT_EQ (findCueToSelectOnArrival (run ({ deliveredCue ("a", 1), bad, deliveredCue ("c", 1) })), 1);
    EXPECT_EQ (findCueToSelectOnArrival (run ({ deliveredCue ("a", 1), deliveredCue ("b", 1), cancelled })), 2);
}

TEST (ReportTexts, DetailsListLengthFormatStemsAndLevels)
{
    // True-peak mode, gain held at zero, a passed check (no line for it).
    EXPECT_EQ (buildCueDetailsText (testing::makeSampleCue()),
               "Length 3:05.0\n"
               "48 kHz stereo\n"
               "3 stems assigned - 2 empty stems\n"
               "\n"
               "True peak -12.0 dB\n"
               "Global gain 0.0 dB  (attenuate only)\n"
               "After gain 0.0 dB");

    // Sample-peak mode with a silent mix, leading silence, the check not run.
    auto silent = testing::makeSampleCue();
    silent.peakMode = PeakMode::samplePeak;
    silent.mixSamplePeak = 0.0;
    silent.afterTruePeak = 0.0;
    silent.gain.gainDb = -2.345;
    silent.gain.heldAtZero = false;
    silent.leadingSilenceSeconds = 1.237;
    silent.reconstruction.state = ReconstructionState::notRun;
    silent.stems.resize (1);

    EXPECT_EQ (buildCueDetailsText (silent),
               "Length 3:05.0\n"
               "48 kHz stereo\n"
               "1 stem assigned - 0 empty stems\n"
               "\n"
               "Mix peak -inf\n"
               "Global gain -2.3 dB\n"
               "After gain -inf\n"
               "Leading silence 1.24 s\n"
               "\n"
               "Reconstruction not run");

    // A cue that failed before its mix was measured, with no rate and a skipped check: no levels
    // (-inf would read as a silent mix).
    auto failed = testing::makeFailedCue();
    failed.reconstruction.state = ReconstructionState::skipped;

    EXPECT_EQ (buildCueDetailsText (failed),
               "Length 0:00.0\n"
               "- -\n"
               "0 stems assigned - 0 empty stems\n"
               "\n"
               "Mix and gain not measured: the cue did not complete\n"
               "\n"
               "Reconstruction check skipped");

    failed.errors.clear();
    failed.cancelled = true;
    EXPECT_TRUE (buildCueDetailsText (failed).contains ("\nMix and gain not measured: the render was cancelled\n"));
}

TEST (ReportTexts, IssuesListErrorsThenUnreadTracksThenWarningsAndNothingWithoutThem)
{
    auto cue = testing::makeSampleCue();
    cue.errors.add ("Disk full");
    cue.unreadableTracks.push_back ({ "strings.wav", "The file is truncated.", {} });
    EXPECT_EQ (buildCueIssuesText (cue), "Error: Disk full\nNot read: strings.wav: The file is truncated.\nWarning: 1 track resampled from 44.1 kHz");

    cue.errors.clear();
    cue.unreadableTracks.clear();
    cue.warnings.clear();
    EXPECT_TRUE (buildCueIssuesText (cue).isEmpty());
}

TEST (ReportTexts, CueListLineNamesTheMostSeriousProblem)
{
    auto cue = deliveredCue ("a", 3);
    EXPECT_EQ (describeCueListFiles (cue), "3 file(s)");

    cue.warnings.add ("w");
    EXPECT_EQ (describeCueListFiles (cue), "3 file(s)   1 warning(s)");

    cue.unreadableTracks.push_back ({ "strings.wav", "The file is truncated.", {} });
    EXPECT_EQ (describeCueListFiles (cue), "3 file(s)   1 track(s) not read");

    cue.errors.add ("e1");
    cue.errors.add ("e2");
    EXPECT_EQ (describeCueListFiles (cue), "3 file(s)   2 error(s)");

    cue.reconstruction.state = ReconstructionState::failed;
    EXPECT_EQ (describeCueListFiles (cue), "3 file(s)   null test failed");
}

TEST (ReportTexts, DecibelTexts)
{
    EXPECT_EQ (formatDecibels (-3.0), "-3.0 dB");
    EXPECT_EQ (formatDecibels (-0.04), "0.0 dB");
    EXPECT_EQ (formatDecibels (-398.5), "-398.5 dB");
    EXPECT_EQ (formatDecibels (-399.0), "-inf");
    EXPECT_EQ (formatLinearPeak (0.5), "-6.0 dB");
    EXPECT_EQ (formatLinearPeak (1e-30), "-inf");
    EXPECT_EQ (formatLinearPeak (-1.0), "-inf");
}

} // namespace dunmoor::ui
