#include "ExportSettingsMapping.h"

#include <cmath>

#include "core/model/CodecCapabilities.h"

namespace dunmoor::ui
{

bool ExportControlValues::operator== (const ExportControlValues& o) const
{
    return folderNameId == o.folderNameId && mirrorFolders == o.mirrorFolders && folderPerCue == o.folderPerCue
        && targetDb == o.targetDb && gainScopeId == o.gainScopeId && measureId == o.measureId
        && gainModeId == o.gainModeId && oversamplingId == o.oversamplingId && sampleRateId == o.sampleRateId
        && remeasure == o.remeasure && separator == o.separator && fullMixName == o.fullMixName
        && indexPaddingId == o.indexPaddingId && numberingId == o.numberingId && mixesFirst == o.mixesFirst
        && collisionId == o.collisionId && gateEnabled == o.gateEnabled && belowDb == o.belowDb
        && forAtLeastSeconds == o.forAtLeastSeconds && fadeInMs == o.fadeInMs && fadeOutMs == o.fadeOutMs
        && takeDownByDb == o.takeDownByDb && emptyStemsId == o.emptyStemsId && refuseUnassigned == o.refuseUnassigned
        && exportFullMix == o.exportFullMix && exportAlternativeMixes == o.exportAlternativeMixes
        && stemsFolder == o.stemsFolder;
}

namespace ExportSettingsMapping
{

namespace
{
    constexpr double floorSilenceDb = -400.0;
    constexpr double floorSliderMinimum = -80.0;

    int idIfKnown (int id, const juce::Array<int>& known)
    {
        return known.contains (id) ? id : 0;
    }

    int idInRange (int id, int first, int last)
    {
        return id >= first && id <= last ? id : 0;
    }

    int clampedIndex (int id, int count)
    {
        return juce::jlimit (0, count - 1, id - 1);
    }
} // namespace

SliderRange rangeOf (ExportSlider slider)
{
    switch (slider)
    {
        case ExportSlider::targetLevel:  return { -24.0, 0.0, 0.1 };
        case ExportSlider::below:        return { -120.0, -20.0, 0.5 };
        case ExportSlider::forAtLeast:   return { 0.2, 10.0, 0.1 };
        case ExportSlider::fadeIn:       return { 5.0, 1000.0, 1.0 };
        case ExportSlider::fadeOut:      return { 5.0, 1000.0, 1.0 };
        case ExportSlider::takeDownBy:   return { floorSliderMinimum, -1.0, 1.0 };
    }

    return {};
}

double clampToSlider (ExportSlider slider, double value)
{
    // The same snapping as the framework's slider, so that what a refresh computes is what
    // the control will hold.
    juce::NormalisableRange<double> range (rangeOf (slider).minimum, rangeOf (slider).maximum, rangeOf (slider).step);
    return range.snapToLegalValue (std::isfinite (value) ? value : range.start);
}

juce::Array<int> oversamplingIds()
{
    return { 2, 4, 8 };
}

juce::Array<int> sampleRateIds()
{
    juce::Array<int> ids;

    for (auto rate : getLosslessSampleRates())
        ids.add ((int) rate);

    return ids;
}

ExportControlValues fromSettings (const ExportSettings& settings)
{
    ExportControlValues v;
    const auto& headroom = settings.headroom;
    const auto& gate = settings.silenceGate;
    const auto& naming = settings.naming;

    v.targetDb = clampToSlider (ExportSlider::targetLevel, headroom.targetDb);
    v.gateEnabled = gate.enabled;
    v.belowDb = clampToSlider (ExportSlider::below, gate.thresholdDb);
    v.forAtLeastSeconds = clampToSlider (ExportSlider::forAtLeast, gate.minimumSeconds);
    v.fadeOutMs = clampToSlider (ExportSlider::fadeOut, gate.fadeOutSeconds * 1000.0);
    v.fadeInMs = clampToSlider (ExportSlider::fadeIn, gate.fadeInSeconds * 1000.0);
    v.takeDownByDb = clampToSlider (ExportSlider::takeDownBy, gate.floorDb <= floorSilenceDb ? floorSliderMinimum : gate.floorDb);

    v.measureId = headroom.peakMode == PeakMode::truePeak ? 2 : 1;
    v.gainModeId = headroom.gainMode == GainMode::attenuateOnly ? 2 : 1;
    v.oversamplingId = idIfKnown (headroom.truePeakOversampling, oversamplingIds());
    v.remeasure = headroom.verifyLevelAfterGain;
    v.sampleRateId = std::isfinite (settings.masterSampleRate) && std::abs (settings.masterSampleRate) < 1.0e9
                         ? idIfKnown ((int) settings.masterSampleRate, sampleRateIds())
                         : 0;

    v.separator = naming.separator;
    v.indexPaddingId = idInRange (naming.indexPadding, 1, 4);
    v.mixesFirst = naming.numberMixesFirst;
    v.numberingId = naming.numbering == NumberingMode::consecutiveExported ? 2 : 1;
    v.collisionId = idInRange ((int) naming.collisionPolicy + 1, 1, 3);

    v.folderNameId = idInRange ((int) settings.batch.folderNameTarget + 1, 1, 3);
    v.gainScopeId = settings.batch.gainMode == BatchGainMode::sharedAcrossBatch ? 2
                  : headroom.submixesReachTargetIndependently                  ? 3
                                                                                : 1;
    v.mirrorFolders = settings.batch.mirrorFolderStructure;
    v.folderPerCue = settings.batch.folderPerCue;
    v.emptyStemsId = idInRange ((int) settings.emptyStemPolicy + 1, 1, 3);
    v.refuseUnassigned = settings.requireDecisionOnUnassigned;
    v.exportFullMix = settings.fullMix.exportMix;
    v.exportAlternativeMixes = settings.fullMix.exportSubmixes;
    v.fullMixName = settings.fullMix.name;
    v.stemsFolder = settings.fullMix.stemsSubFolder.isNotEmpty();
    return v;
}

void applyToSettings (const ExportControlValues& v, ExportSettings& settings)
{
    auto& headroom = settings.headroom;
    auto& gate = settings.silenceGate;
    auto& naming = settings.naming;

    headroom.targetDb = v.targetDb;
    gate.enabled = v.gateEnabled;
    gate.thresholdDb = v.belowDb;
    gate.minimumSeconds = v.forAtLeastSeconds;
    gate.fadeOutSeconds = v.fadeOutMs / 1000.0;
    gate.fadeInSeconds = v.fadeInMs / 1000.0;
    gate.floorDb = v.takeDownByDb <= floorSliderMinimum ? floorSilenceDb : v.takeDownByDb;

    headroom.peakMode = v.measureId == 2 ? PeakMode::truePeak : PeakMode::samplePeak;
    headroom.gainMode = v.gainModeId == 2 ? GainMode::attenuateOnly : GainMode::alwaysReachTarget;
    headroom.truePeakOversampling = juce::jlimit (2, 8, v.oversamplingId);
    headroom.verifyLevelAfterGain = v.remeasure;
    naming.numberMixesFirst = v.mixesFirst;

    if (v.sampleRateId > 0)
        settings.masterSampleRate = v.sampleRateId;

    naming.separator = v.separator;
    naming.indexPadding = v.indexPaddingId < 2 ? 1 : v.indexPaddingId;
    naming.numbering = v.numberingId == 2 ? NumberingMode::consecutiveExported : NumberingMode::schemaIndex;
    naming.collisionPolicy = (CollisionPolicy) clampedIndex (v.collisionId, 3);
    settings.batch.folderNameTarget = (FolderNameTarget) clampedIndex (v.folderNameId, 3);

    settings.batch.gainMode = v.gainScopeId == 2 ? BatchGainMode::sharedAcrossBatch : BatchGainMode::perTrack;
    headroom.submixesReachTargetIndependently = v.gainScopeId == 3;

    settings.batch.mirrorFolderStructure = v.mirrorFolders;
    settings.batch.folderPerCue = v.folderPerCue;
    settings.requireDecisionOnUnassigned = v.refuseUnassigned;
    settings.fullMix.exportMix = v.exportFullMix;
    settings.fullMix.exportSubmixes = v.exportAlternativeMixes;
    settings.emptyStemPolicy = (EmptyStemPolicy) clampedIndex (v.emptyStemsId, 3);

    if (v.fullMixName.trim().isNotEmpty())
        settings.fullMix.name = v.fullMixName.trim();

    if (! v.stemsFolder)
        settings.fullMix.stemsSubFolder = {};
    else if (settings.fullMix.stemsSubFolder.isEmpty())
        settings.fullMix.stemsSubFolder = "STEMS";
}

TemplateChoice chooseTemplates (const NamingSettings& before,
                                const juce::String& newSeparator,
                                bool stemEdited, const juce::String& stemEditorTemplate,
                                bool mixEdited, const juce::String& mixEditorTemplate)
{
    const bool separatorChanged = newSeparator != before.separator;

    return { stemEdited || separatorChanged ? stemEditorTemplate : before.stemTemplate,
             mixEdited || separatorChanged ? mixEditorTemplate : before.mixTemplate };
}

juce::String formatFloorText (double value)
{
    if (value <= floorSliderMinimum)
        return juce::String (juce::CharPointer_UTF8 ("-\xe2\x88\x9e dB"));

    return juce::String (juce::roundToInt (value)) + " dB";
}

double parseFloorText (const juce::String& text)
{
    if (text.containsIgnoreCase ("inf") || text.containsChar ((juce::juce_wchar) 0x221e))
        return floorSliderMinimum;

    return text.trim().getDoubleValue();
}

juce::String describeCueCount (const juce::StringArray& cueNames)
{
    if (cueNames.isEmpty())
        return "Nothing imported yet.";

    if (cueNames.size() == 1)
        return "One cue: " + cueNames[0];

    return juce::String (cueNames.size()) + " cues will be rendered one after the other, never summed together.";
}

juce::String describeStemsFolderToggle (const juce::String& stemsSubFolder)
{
    return "Put the stems in a " + (stemsSubFolder.isEmpty() ? juce::String ("STEMS") : stemsSubFolder)
         + " folder inside each cue folder";
}

} // namespace ExportSettingsMapping

} // namespace dunmoor::ui
