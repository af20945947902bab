#include <gtest/gtest.h>

#include "ui/pages/export/ExportSettingsMapping.h"

namespace dunmoor::ui
{
namespace
{
    namespace Mapping = ExportSettingsMapping;
}

// Every control writes its own field and nothing else.
TEST (ExportSettingsMapping, EachControlWritesItsField)
{
    struct Case
    {
        const char* control;
        std::function<void (ExportControlValues&)> change;
        std::function<void (ExportSettings&)> expected;
    };

    const std::vector<Case> cases {
        { "Folder name", [] (auto& v) { v.folderNameId = 3; }, [] (auto& s) { s.batch.folderNameTarget = FolderNameTarget::project; } },
        { "mirror", [] (auto& v) { v.mirrorFolders = false; }, [] (auto& s) { s.batch.mirrorFolderStructure = false; } },
        { "folder per cue", [] (auto& v) { v.folderPerCue = false; }, [] (auto& s) { s.batch.folderPerCue = false; } },
        { "Target level", [] (auto& v) { v.targetDb = -6.0; }, [] (auto& s) { s.headroom.targetDb = -6.0; } },
        { "Gain scope 1", [] (auto& v) { v.gainScopeId = 1; }, [] (auto& s) { s.headroom.submixesReachTargetIndependently = false; } },
        { "Gain scope 2",
          [] (auto& v) { v.gainScopeId = 2; },
          [] (auto& s)
          {
              s.batch.gainMode = BatchGainMode::sharedAcrossBatch;
              s.headroom.submixesReachTargetIndependently = false;
          } },
        { "Measure", [] (auto& v) { v.measureId = 1; }, [] (auto& s) { s.headroom.peakMode = PeakMode::samplePeak; } },
        { "Gain mode", [] (auto& v) { v.gainModeId = 2; }, [] (auto& s) { s.headroom.gainMode = GainMode::attenuateOnly; } },
        { "oversampling", [] (auto& v) { v.oversamplingId = 8; }, [] (auto& s) { s.headroom.truePeakOversampling = 8; } },
        { "oversampling without a choice", [] (auto& v) { v.oversamplingId = 0; }, [] (auto& s) { s.headroom.truePeakOversampling = 2; } },
        { "project rate", [] (auto& v) { v.sampleRateId = 96000; }, [] (auto& s) { s.masterSampleRate = 96000.0; } },
        { "project rate without a choice", [] (auto& v) { v.sampleRateId = 0; }, [] (auto&) {} },
        { "re-measure", [] (auto& v) { v.remeasure = true; }, [] (auto& s) { s.headroom.verifyLevelAfterGain = true; } },
        { "separator", [] (auto& v) { v.separator = " - "; }, [] (auto& s) { s.naming.separator = " - "; } },
        { "Full mix name", [] (auto& v) { v.fullMixName = "  Main  "; }, [] (auto& s) { s.fullMix.name = "Main"; } },
        { "blank Full mix name", [] (auto& v) { v.fullMixName = "  "; }, [] (auto&) {} },
        { "Index padding", [] (auto& v) { v.indexPaddingId = 4; }, [] (auto& s) { s.naming.indexPadding = 4; } },
        { "Index padding without a choice", [] (auto& v) { v.indexPaddingId = 0; }, [] (auto& s) { s.naming.indexPadding = 1; } },
        { "Numbering", [] (auto& v) { v.numberingId = 1; }, [] (auto& s) { s.naming.numbering = NumberingMode::schemaIndex; } },
        { "mixes first", [] (auto& v) { v.mixesFirst = true; }, [] (auto& s) { s.naming.numberMixesFirst = true; } },
        { "If the name exists", [] (auto& v) { v.collisionId = 3; }, [] (auto& s) { s.naming.collisionPolicy = CollisionPolicy::abort; } },
        { "gate", [] (auto& v) { v.gateEnabled = true; }, [] (auto& s) { s.silenceGate.enabled = true; } },
        { "Below", [] (auto& v) { v.belowDb = -60.5; }, [] (auto& s) { s.silenceGate.thresholdDb = -60.5; } },
        { "For at least", [] (auto& v) { v.forAtLeastSeconds = 2.5; }, [] (auto& s) { s.silenceGate.minimumSeconds = 2.5; } },
        { "Fade in", [] (auto& v) { v.fadeInMs = 20.0; }, [] (auto& s) { s.silenceGate.fadeInSeconds = 0.02; } },
        { "Fade out", [] (auto& v) { v.fadeOutMs = 500.0; }, [] (auto& s) { s.silenceGate.fadeOutSeconds = 0.5; } },
        { "Take down by -79", [] (auto& v) { v.takeDownByDb = -79.0; }, [] (auto& s) { s.silenceGate.floorDb = -79.0; } },
        { "Take down by -80", [] (auto& v) { v.takeDownByDb = -80.0; }, [] (auto&) {} },
        { "Empty stems", [] (auto& v) { v.emptyStemsId = 3; }, [] (auto& s) { s.emptyStemPolicy = EmptyStemPolicy::failExport; } },
        { "refuse unassigned", [] (auto& v) { v.refuseUnassigned = false; }, [] (auto& s) { s.requireDecisionOnUnassigned = false; } },
        { "full mix", [] (auto& v) { v.exportFullMix = false; }, [] (auto& s) { s.fullMix.exportMix = false; } },
        { "alternative mixes", [] (auto& v) { v.exportAlternativeMixes = false; }, [] (auto& s) { s.fullMix.exportSubmixes = false; } },
        { "stems folder off", [] (auto& v) { v.stemsFolder = false; }, [] (auto& s) { s.fullMix.stemsSubFolder = {}; } },
    };

    const ExportSettings base;

    for (const auto& c : cases)
    {
        auto values = Mapping::fromSettings (base);
        c.change (values);

        auto written = base;
        Mapping::applyToSettings (values, written);

        auto expected = base;
        c.expected (expected);
        EXPECT_TRUE (written == expected) << c.control;
    }
}

// Filling the controls and committing them untouched gives the settings back.
TEST (ExportSettingsMapping, RefreshThenCommitIsTheIdentity)
{
    std::vector<ExportSettings> presets (3);

    presets[1].headroom.targetDb = -1.0;
    presets[1].headroom.peakMode = PeakMode::samplePeak;
    presets[1].headroom.submixesReachTargetIndependently = false;
    presets[1].batch.gainMode = BatchGainMode::sharedAcrossBatch;
    presets[1].silenceGate = { true, -70.0, 2.0, 0.25, 0.01, -30.0 };
    presets[1].naming.separator = " - ";
    presets[1].naming.collisionPolicy = CollisionPolicy::overwrite;
    presets[1].fullMix.stemsSubFolder = "Stems 24";
    presets[1].masterSampleRate = 44100.0;

    presets[2].batch.folderNameTarget = FolderNameTarget::none;
    presets[2].batch.mirrorFolderStructure = false;
    presets[2].emptyStemPolicy = EmptyStemPolicy::exportSilence;
    presets[2].naming.indexPadding = 3;
    presets[2].naming.numbering = NumberingMode::schemaIndex;
    presets[2].fullMix.exportSubmixes = false;

    for (size_t i = 0; i < presets.size(); ++i)
    {
        auto written = presets[i];
        Mapping::applyToSettings (Mapping::fromSettings (presets[i]), written);
        EXPECT_TRUE (written == presets[i]) << "preset " << i;
    }
}

// What the controls cannot show is clamped or left unselected, and the next commit writes it so.
TEST (ExportSettingsMapping, ValuesOutsideTheControls)
{
    ExportSettings settings;
    settings.silenceGate = { true, -140.0, 30.0, 0.0, 0.0, -200.0 };
    settings.headroom.truePeakOversampling = 16;
    settings.masterSampleRate = 32000.0;
    settings.naming.indexPadding = 6;

    const auto values = Mapping::fromSettings (settings);
    EXPECT_EQ (values.belowDb, -120.0);
    EXPECT_EQ (values.forAtLeastSeconds, 10.0);
    EXPECT_EQ (values.fadeInMs, 5.0);
    EXPECT_EQ (values.takeDownByDb, -80.0);
    EXPECT_EQ (values.oversamplingId, 0);
    EXPECT_EQ (values.sampleRateId, 0);
    EXPECT_EQ (values.indexPaddingId, 0);

    Mapping::applyToSettings (values, settings);
    EXPECT_EQ (settings.silenceGate.thresholdDb, -120.0);
    EXPECT_EQ (settings.silenceGate.fadeOutSeconds, 0.005);
    EXPECT_EQ (settings.silenceGate.floorDb, -400.0);
    EXPECT_EQ (settings.headroom.truePeakOversampling, 2);
    EXPECT_EQ (settings.masterSampleRate, 32000.0);
    EXPECT_EQ (settings.naming.indexPadding, 1);

    // Slider steps: a typed -6.04 dB lands on the 0.1 dB grid.
    EXPECT_NEAR (Mapping::clampToSlider (ExportSlider::targetLevel, -6.04), -6.0, 1e-9);
    EXPECT_EQ (Mapping::clampToSlider (ExportSlider::targetLevel, 3.0), 0.0);
}

TEST (ExportSettingsMapping, StemsFolderToggle)
{
    ExportSettings settings;
    settings.fullMix.stemsSubFolder = {};
    auto values = Mapping::fromSettings (settings);
    EXPECT_FALSE (values.stemsFolder);

    values.stemsFolder = true;
    Mapping::applyToSettings (values, settings);
    EXPECT_EQ (settings.fullMix.stemsSubFolder, "STEMS");

    settings.fullMix.stemsSubFolder = "Stems 24";
    Mapping::applyToSettings (Mapping::fromSettings (settings), settings);
    EXPECT_EQ (settings.fullMix.stemsSubFolder, "Stems 24");
    EXPECT_EQ (Mapping::describeStemsFolderToggle ("Stems 24"), "Put the stems in a Stems 24 folder inside each cue folder");
    EXPECT_EQ (Mapping::describeStemsFolderToggle ({}), "Put the stems in a STEMS folder inside each cue folder");
}

// A commit of any other control used to re-join both templates, turning "{project}-{cue}_{stemName}"
// into "{project}_{cue}_{stemName}".
TEST (ExportSettingsMapping, TemplatesAreWrittenOnlyAfterTheirEditorOrTheSeparatorChanged)
{
    NamingSettings before;
    before.stemTemplate = "{project}-{cue}_{stemName}";
    before.mixTemplate = "{pubcode}_{cue}";
    before.separator = "_";

    const auto untouched = Mapping::chooseTemplates (before, "_", false, "{project}_{cue}_{stemName}", false, "{project}_{cue}");
    EXPECT_EQ (untouched.stemTemplate, before.stemTemplate);
    EXPECT_EQ (untouched.mixTemplate, before.mixTemplate);

    const auto stemEdited = Mapping::chooseTemplates (before, "_", true, "{cue}_{stemName}", false, "{project}_{cue}");
    EXPECT_EQ (stemEdited.stemTemplate, "{cue}_{stemName}");
    EXPECT_EQ (stemEdited.mixTemplate, before.mixTemplate);

    const auto newSeparator = Mapping::chooseTemplates (before, "-", false, "{project}-{cue}-{stemName}", false, "{project}-{cue}");
    EXPECT_EQ (newSeparator.stemTemplate, "{project}-{cue}-{stemName}");
    EXPECT_EQ (newSeparator.mixTemplate, "{project}-{cue}");
}

// "-Inf" used to be read as -1 dB, because "inf" was looked for with its case.
TEST (ExportSettingsMapping, FloorText)
{
    const juce::String infinity (juce::CharPointer_UTF8 ("-\xe2\x88\x9e dB"));

    EXPECT_EQ (Mapping::formatFloorText (-80.0), infinity);
    EXPECT_EQ (Mapping::formatFloorText (-24.0), "-24 dB");

    const std::pair<juce::String, double> typed[] {
        { "inf", -80.0 }, { "-Inf", -80.0 }, { "-INF dB", -80.0 }, { infinity, -80.0 }, { "-12 dB", -12.0 }, { " -40", -40.0 },
    };

    for (const auto& [text, value] : typed)
        EXPECT_EQ (Mapping::parseFloorText (text), value) << text;
}

TEST (ExportSettingsMapping, CueCountLine)
{
    EXPECT_EQ (Mapping::describeCueCount ({}), "Nothing imported yet.");
    EXPECT_EQ (Mapping::describeCueCount ({ "1M01" }), "One cue: 1M01");
    EXPECT_EQ (Mapping::describeCueCount ({ "a", "b", "c" }), "3 cues will be rendered one after the other, never summed together.");
}

} // namespace dunmoor::ui
