#include <gtest/gtest.h>

#include "ui/pages/export/BatchSummary.h"

namespace dunmoor::ui
{
namespace
{
    /** A preset of three stems with known ids, one 24-bit WAV, the full mix on. */
    Preset makeSummaryPreset()
    {
        Preset preset;

        for (auto name : { "Drums", "Bass", "Keys" })
        {
            Stem stem;
            stem.id = juce::String ("id-") + name;
            stem.displayName = name;
            (void) preset.schema.addStem (stem);
        }

        preset.exportSettings.formats = { OutputFormat() };
        preset.exportSettings.requireDecisionOnUnassigned = false;
        return preset;
    }

    /** A cue report whose stems are the preset's, the listed ones with tracks. */
    CueReport makeCueReport (const Preset& preset, const juce::String& key, juce::StringArray withTracks)
    {
        CueReport cue;
        cue.ok = true;
        cue.cueKey = key;
        cue.cueName = "Cue " + key;
        cue.sampleRate = 48000.0;
        cue.lengthInFrames = 48000 * 65 + 24000;
        cue.numChannels = 2;
        cue.levelsMeasured = true;
        cue.mixSamplePeak = 0.5;
        cue.mixTruePeak = 0.5;
        cue.gain.targetDb = -3.0;
        cue.gain.gainDb = 3.02;
        cue.gain.predictedPeakDb = -3.0;

        for (const auto& stem : preset.schema.stems)
        {
            StemReport s;
            s.id = stem.id;
            s.name = stem.displayName;
            s.isEmpty = ! withTracks.contains (stem.displayName);
            s.trackCount = s.isEmpty ? 0 : 1;
            cue.stems.push_back (s);
        }

        return cue;
    }

    Cue makeCue (const juce::String& key)
    {
        Cue cue;
        cue.key = key;
        cue.name = "Cue " + key;
        return cue;
    }

    using BatchSummary::RunKind;
} // namespace

TEST (BatchSummary, OneCueShowsItsLevels)
{
    const auto preset = makeSummaryPreset();
    BatchReport report;
    report.cues.push_back (makeCueReport (preset, "a", { "Drums", "Bass" }));

    EXPECT_EQ (BatchSummary::formatText (report, preset, { makeCue ("a") }, RunKind::analysis),
               "Stems to export     2 of 3 in the schema\n"
               "Files to write      3  (1 format(s), full mix included)\n"
               "\n"
               "Mix peak            -6.02 dB\n"
               "Mix true peak       -6.02 dB\n"
               "Target              -3.00 dB\n"
               "Global gain         3.02 dB\n"
               "Predicted peak      -3.00 dB\n"
               "Unassigned tracks   0\n"
               "Length              1:05.5, 2 ch");
}

TEST (BatchSummary, NoCueAndSeveralCues)
{
    auto preset = makeSummaryPreset();
    BatchReport empty;
    EXPECT_EQ (BatchSummary::formatText (empty, preset, {}, RunKind::analysis),
               "Stems to export     0 of 3 in the schema\n"
               "Files to write      0  (1 format(s), full mix included)");

    // Three cues after an export with one shared gain; the unassigned note needs the rule on.
    preset.exportSettings.requireDecisionOnUnassigned = true;
    BatchReport report;
    report.sharedGainApplied = true;
    report.sharedGain.gainDb = -1.5;

    for (auto key : { "a", "b", "c" })
        report.cues.push_back (makeCueReport (preset, key, { "Drums" }));

    report.cues[1].unassignedTracks = { "x.wav", "y.wav" };
    report.cues[0].files.resize (2);

    EXPECT_EQ (BatchSummary::formatText (report, preset, {}, RunKind::exportRun),
               "Cues                3\n"
               "Stems to export     3 across all cues\n"
               "Files written       2  (1 format(s), full mix included)\n"
               "Shared gain         -1.50 dB\n"
               "\n"
               "Note                2 track(s) are unassigned. The export will refuse until they are placed, "
               "or until 'refuse to export while tracks are unassigned' is off.");
}

TEST (BatchSummary, SilentMixAndHeldGain)
{
    const auto preset = makeSummaryPreset();
    BatchReport report;
    auto cue = makeCueReport (preset, "a", { "Keys" });
    cue.mixSamplePeak = 0.0;
    cue.mixTruePeak = 0.0;
    cue.gain.gainDb = 0.0;
    cue.gain.heldAtZero = true;
    cue.gain.predictedPeakDb = -400.0;
    report.cues.push_back (cue);

    const auto lines = juce::StringArray::fromLines (BatchSummary::formatText (report, preset, {}, RunKind::analysis));
    EXPECT_EQ (lines[3], "Mix peak            -inf");
    EXPECT_EQ (lines[4], "Mix true peak       -inf");
    EXPECT_EQ (lines[6], "Global gain         0.00 dB   (held at 0 dB: attenuate only)");
    EXPECT_EQ (lines[7], "Predicted peak      -inf");
}

// A cue that stopped before its mix was measured showed -inf peaks and a gain of 0.00 dB, as if
// its mix were silent.
TEST (BatchSummary, ACueStoppedBeforeItsMixWasMeasuredShowsNoLevels)
{
    const auto preset = makeSummaryPreset();
    auto stopped = makeCueReport (preset, "a", { "Drums", "Bass" });
    stopped.ok = false;
    stopped.levelsMeasured = false;
    stopped.mixSamplePeak = stopped.mixTruePeak = 0.0;
    stopped.gain = {};
    stopped.gain.targetDb = -1.0;
    stopped.stoppedAt = "Bass";
    stopped.errors.add ("Bass: bass.wav: The file is truncated.");

    BatchReport report;
    report.cues.push_back (stopped);
    EXPECT_EQ (BatchSummary::formatText (report, preset, {}, RunKind::exportRun),
               "Stems to export     2 of 3 in the schema\n"
               "Files written       0  (1 format(s), full mix included)\n"
               "\n"
               "Target              -1.00 dB\n"
               "Mix and gain        not measured: the cue stopped at Bass\n"
               "Unassigned tracks   0\n"
               "Length              1:05.5, 2 ch");

    // In the cue list its Peak and Gain cells are empty, beside a cue that has its levels.
    report.cues.push_back (makeCueReport (preset, "b", { "Drums" }));
    const auto rows = BatchSummary::buildCueRows (report, { makeCue ("a"), makeCue ("b") });
    ASSERT_EQ (rows.size(), 2u);
    EXPECT_FALSE (rows[0].hasLevels);
    EXPECT_EQ (BatchSummary::formatRowLevel (rows[0], rows[0].peakDb), "-");
    EXPECT_EQ (BatchSummary::formatRowLevel (rows[0], rows[0].gainDb), "-");
    EXPECT_TRUE (rows[1].hasLevels);
    EXPECT_EQ (BatchSummary::formatRowLevel (rows[1], rows[1].peakDb), "-6.02 dB");
    EXPECT_EQ (BatchSummary::formatRowLevel (rows[1], rows[1].gainDb), "3.02 dB");
}

// The count used to take every enabled format, ignore the stems' own empty policies and the
// alternative mixes: it now counts what the render writes.
TEST (BatchSummary, FilesCountAsTheRenderWrites)
{
    struct Case
    {
        const char* name;
        std::function<void (Preset&, std::vector<Cue>&)> change;
        int stems;
        int files;
    };

    const std::vector<Case> cases {
        { "two stems with tracks and the full mix", [] (Preset&, std::vector<Cue>&) {}, 2, 3 },
        { "three formats enabled: the render writes two",
          [] (Preset& p, std::vector<Cue>&) { p.exportSettings.formats = { OutputFormat(), OutputFormat(), OutputFormat() }; }, 2, 6 },
        { "second format disabled",
          [] (Preset& p, std::vector<Cue>&)
          {
              p.exportSettings.formats = { OutputFormat(), OutputFormat() };
              p.exportSettings.formats[1].enabled = false;
          },
          2, 3 },
        { "empty stems exported as silence",
          [] (Preset& p, std::vector<Cue>&) { p.exportSettings.emptyStemPolicy = EmptyStemPolicy::exportSilence; }, 3, 4 },
        { "a stem's own policy beats the preset's",
          [] (Preset& p, std::vector<Cue>&)
          {
              p.schema.stems[2].hasEmptyPolicy = true;
              p.schema.stems[2].emptyPolicy = EmptyStemPolicy::exportSilence;
          },
          3, 4 },
        { "no full mix", [] (Preset& p, std::vector<Cue>&) { p.exportSettings.fullMix.exportMix = false; }, 2, 2 },
        { "alternative mixes with and without a member that has tracks",
          [] (Preset& p, std::vector<Cue>&)
          {
              p.schema.alternativeMixes.push_back ({ "m1", "No Keys", "NK", { "id-Drums" } });
              p.schema.alternativeMixes.push_back ({ "m2", "Keys only", "KO", { "id-Keys" } });
          },
          2, 4 },
        { "alternative mixes switched off",
          [] (Preset& p, std::vector<Cue>&)
          {
              p.schema.alternativeMixes.push_back ({ "m1", "No Keys", "NK", { "id-Drums" } });
              p.exportSettings.fullMix.exportSubmixes = false;
          },
          2, 3 },
        { "the cue's own members of a mix",
          [] (Preset& p, std::vector<Cue>& cues)
          {
              p.schema.alternativeMixes.push_back ({ "m2", "Keys only", "KO", { "id-Keys" } });
              cues[0].mixOverrides["m2"] = { "id-Bass" };
          },
          2, 4 },
    };

    for (const auto& c : cases)
    {
        auto preset = makeSummaryPreset();
        std::vector<Cue> cues { makeCue ("a") };
        c.change (preset, cues);

        const auto cue = makeCueReport (preset, "a", { "Drums", "Bass" });
        EXPECT_EQ (BatchSummary::countExportedStems (cue, preset), c.stems) << c.name;
        EXPECT_EQ (BatchSummary::countPlannedFiles (cue, preset, cues), c.files) << c.name;
    }

    // A cue without any track writes nothing at all.
    const auto preset = makeSummaryPreset();
    EXPECT_EQ (BatchSummary::countPlannedFiles (makeCueReport (preset, "a", {}), preset, {}), 0);
}

// A failed export used to show the files it had planned; it shows what was written.
TEST (BatchSummary, FailedExportShowsFilesWritten)
{
    const auto preset = makeSummaryPreset();
    BatchReport report;
    auto cue = makeCueReport (preset, "a", { "Drums", "Bass", "Keys" });
    cue.ok = false;
    cue.errors.add ("Writing failed part-way through; the disk may be full.");
    cue.files.resize (1);
    report.cues.push_back (cue);

    const auto lines = juce::StringArray::fromLines (BatchSummary::formatText (report, preset, {}, RunKind::exportRun));
    EXPECT_EQ (lines[1], "Files written       1  (1 format(s), full mix included)");
}

TEST (BatchSummary, RowsFollowTheSessionCues)
{
    const auto preset = makeSummaryPreset();
    BatchReport report;
    auto first = makeCueReport (preset, "a", { "Drums" });
    first.leadingSilenceSeconds = 0.5;
    first.unassignedTracks = { "x.wav" };

    GatedTrackReport gated;
    gated.sourceFile = "/audio/a/kick.wav";
    gated.fileName = "kick.wav";
    gated.lengthSeconds = 65.5;
    gated.regionCount = 2;
    first.gatedTracks.push_back (gated);
    report.cues.push_back (first);

    auto nameless = makeCueReport (preset, "b", { "Bass" });
    nameless.cueName = {};
    nameless.gatedTracks.push_back (gated);
    report.cues.push_back (nameless);

    auto unticked = makeCue ("c");
    unticked.included = false;
    unticked.trimStartSeconds = 0.25;

    const auto rows = BatchSummary::buildCueRows (report, { makeCue ("b"), unticked, makeCue ("a") });
    ASSERT_EQ (rows.size(), 3u);
    EXPECT_EQ (rows[0].key, "b");
    EXPECT_TRUE (rows[0].hasResult);
    EXPECT_FALSE (rows[0].hasProblem);
    EXPECT_FALSE (rows[1].hasResult);
    EXPECT_FALSE (rows[1].included);
    EXPECT_EQ (rows[1].trimSeconds, 0.25);
    EXPECT_TRUE (rows[2].hasProblem);    // an unassigned track
    EXPECT_EQ (rows[2].silenceFoundSeconds, 0.5);
    EXPECT_NEAR (rows[2].peakDb, -6.0206, 1e-3);
    EXPECT_NEAR (rows[2].durationSeconds, 65.5, 1e-9);
    EXPECT_EQ (rows[2].assignedStems, 1);
    EXPECT_EQ (rows[2].emptyStems, 2);

    const auto gatedRows = BatchSummary::buildGatedRows (report);
    ASSERT_EQ (gatedRows.size(), 2u);
    EXPECT_EQ (gatedRows[0].cueName, "Cue a");
    EXPECT_EQ (gatedRows[1].cueName, "Delivery");
    EXPECT_EQ (gatedRows[1].path, juce::File ("/audio/a/kick.wav"));
    EXPECT_EQ (gatedRows[1].durationSeconds, 65.5);
}

} // namespace dunmoor::ui
