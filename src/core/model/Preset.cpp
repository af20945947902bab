#include "Preset.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace dunmoor
{

namespace
{
    bool sameRate (double a, double b) { return std::abs (a - b) < 0.5; }

    // Files keep at most 15 decimals, so a stored setting comes back within this of its value.
    bool sameSetting (double a, double b) { return std::abs (a - b) < 1e-9; }
} // namespace

juce::String newUuidString()
{
    // juce::Uuid is random (version 4); toDashedString gives lower-case 8-4-4-4-12.
    return juce::Uuid().toDashedString().toLowerCase();
}

juce::String OutputFormat::describe() const
{
    auto text = codecToString (codec).toUpperCase();

    if (codec == Codec::mp3)
        text << " " << mp3Bitrate << " kbps";
    else if (sampleFormat == SampleFormat::float32)
        text << " 32-bit float";
    else
        text << " " << bitsPerSample (sampleFormat) << "-bit";

    if (sampleRate > 0.0)
        text << " @ " << formatKilohertzWithOneDecimal (sampleRate);

    return text;
}

bool SilenceGateSettings::operator== (const SilenceGateSettings& o) const
{
    // Within 1e-9 rather than exactly, so a preset equals itself after a save and reload (a NaN
    // still equals nothing).
    return enabled == o.enabled && sameSetting (thresholdDb, o.thresholdDb)
        && sameSetting (minimumSeconds, o.minimumSeconds) && sameSetting (fadeOutSeconds, o.fadeOutSeconds)
        && sameSetting (fadeInSeconds, o.fadeInSeconds) && sameSetting (floorDb, o.floorDb);
}

ExportSettings::ExportSettings()
    : formats (1)
{
}

bool ExportSettings::operator== (const ExportSettings& o) const
{
    if (! sameRate (masterSampleRate, o.masterSampleRate) || formats.size() != o.formats.size())
        return false;

    for (size_t i = 0; i < formats.size(); ++i)
    {
        const auto& a = formats[i];
        const auto& b = o.formats[i];

        if (a.enabled != b.enabled || a.codec != b.codec || a.sampleFormat != b.sampleFormat
            || a.mp3Bitrate != b.mp3Bitrate || a.dither != b.dither || a.subFolder != b.subFolder
            || ! sameRate (a.sampleRate, b.sampleRate))
            return false;
    }

    const auto& h = headroom;
    const auto& oh = o.headroom;

    if (! (std::abs (h.targetDb - oh.targetDb) < 1e-9) || h.peakMode != oh.peakMode || h.gainMode != oh.gainMode
        || h.truePeakOversampling != oh.truePeakOversampling
        || h.submixesReachTargetIndependently != oh.submixesReachTargetIndependently
        || h.verifyLevelAfterGain != oh.verifyLevelAfterGain)
        return false;

    const auto& n = naming;
    const auto& on = o.naming;

    if (n.stemTemplate != on.stemTemplate || n.mixTemplate != on.mixTemplate || n.indexPadding != on.indexPadding
        || n.numbering != on.numbering || n.numberMixesFirst != on.numberMixesFirst
        || n.collisionPolicy != on.collisionPolicy || n.replacementChar != on.replacementChar
        || n.separator != on.separator)
        return false;

    if (batch.folderNameTarget != o.batch.folderNameTarget || batch.gainMode != o.batch.gainMode
        || batch.mirrorFolderStructure != o.batch.mirrorFolderStructure || batch.folderPerCue != o.batch.folderPerCue)
        return false;

    const auto& m = fullMix;
    const auto& om = o.fullMix;

    if (m.exportMix != om.exportMix || m.exportSubmixes != om.exportSubmixes || m.stemsSubFolder != om.stemsSubFolder
        || m.name != om.name || m.code != om.code || m.index != om.index)
        return false;

    return emptyStemPolicy == o.emptyStemPolicy && silenceGate == o.silenceGate
        && requireDecisionOnUnassigned == o.requireDecisionOnUnassigned;
}

bool PresetMetadata::operator== (const PresetMetadata& o) const
{
    return publisher == o.publisher && project == o.project && cue == o.cue && composer == o.composer
        && version == o.version;
}

void Preset::touch()
{
    modifiedUtcMs = juce::Time::currentTimeMillis();
}

bool Preset::operator== (const Preset& o) const
{
    return id == o.id && name == o.name && description == o.description && kind == o.kind
        && basedOnPresetId == o.basedOnPresetId && basedOnPresetName == o.basedOnPresetName
        && isBuiltIn == o.isBuiltIn && exportSettings == o.exportSettings && metadata == o.metadata
        && schema.publisher == o.schema.publisher && schema.name == o.schema.name
        && schema.description == o.schema.description && schema.stems == o.schema.stems;
}

bool haveSameContent (const Preset& a, const Preset& b)
{
    if (a != b || a.schema.matchPlurals != b.schema.matchPlurals)
        return false;

    const auto& mixesA = a.schema.alternativeMixes;
    const auto& mixesB = b.schema.alternativeMixes;

    return std::equal (mixesA.begin(), mixesA.end(), mixesB.begin(), mixesB.end(),
                       [] (const AlternativeMix& x, const AlternativeMix& y)
                       {
                           return x.id == y.id && x.name == y.name && x.shortCode == y.shortCode
                               && x.stemIds == y.stemIds;
                       });
}

Preset duplicatePreset (const Preset& source, const juce::String& name, PresetKind kind, StemIds stemIds)
{
    auto copy = source;
    copy.id = newUuidString();

    const auto trimmedName = name.trim();
    copy.name = trimmedName.isNotEmpty() ? trimmedName : source.name + " copy";

    copy.kind = kind;
    copy.isBuiltIn = false;

    std::map<juce::String, juce::String> newIds;

    for (auto& stem : copy.schema.stems)
    {
        auto fresh = stemIds == StemIds::keep ? stem.id : newUuidString();
        newIds[stem.id] = fresh;   // a repeated old id maps to the later stem
        stem.id = fresh;
    }

    for (auto& mix : copy.schema.alternativeMixes)
    {
        juce::StringArray members;

        for (const auto& oldId : mix.stemIds)
            if (auto it = newIds.find (oldId); it != newIds.end())
                members.add (it->second);

        mix.stemIds = members;
    }

    if (kind == PresetKind::project && source.kind == PresetKind::publisher)
    {
        copy.basedOnPresetId = source.id;
        copy.basedOnPresetName = source.name;
    }

    copy.touch();
    return copy;
}

} // namespace dunmoor
