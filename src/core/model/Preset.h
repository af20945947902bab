#pragma once

#include <cstdint>
#include <vector>

#include "StemSchema.h"
#include "Types.h"

namespace dunmoor
{

/** A new random id: a version-4 UUID in lower-case dashed form (36 characters). */
juce::String newUuidString();

struct OutputFormat
{
    bool enabled = true;
    Codec codec = Codec::wav;
    SampleFormat sampleFormat = SampleFormat::pcm24;
    double sampleRate = 0.0;        // 0: the project rate
    int mp3Bitrate = 320;           // kbps
    DitherKind dither = DitherKind::tpdfShaped;
    juce::String subFolder;

    /** One-line label, e.g. "WAV 24-bit", "WAV 32-bit float @ 96.0 kHz", "MP3 320 kbps @ 44.1 kHz". */
    juce::String describe() const;
};

struct HeadroomSettings
{
    double targetDb = -3.0;
    PeakMode peakMode = PeakMode::truePeak;
    GainMode gainMode = GainMode::alwaysReachTarget;
    int truePeakOversampling = 4;
    bool submixesReachTargetIndependently = true;
    bool verifyLevelAfterGain = false;
};

struct NamingSettings
{
    juce::String stemTemplate { "{project}_{cue}_{stemIndex}_{stemName}" };
    juce::String mixTemplate { "{project}_{cue}_{stemName}" };
    int indexPadding = 2;
    NumberingMode numbering = NumberingMode::consecutiveExported;
    bool numberMixesFirst = false;
    CollisionPolicy collisionPolicy = CollisionPolicy::incrementVersion;
    juce::String replacementChar { "-" };
    juce::String separator { "_" };
};

struct BatchSettings
{
    FolderNameTarget folderNameTarget = FolderNameTarget::cue;
    BatchGainMode gainMode = BatchGainMode::perTrack;
    bool mirrorFolderStructure = true;
    bool folderPerCue = true;
};

struct SilenceGateSettings
{
    bool enabled = false;
    double thresholdDb = -90.0;
    double minimumSeconds = 1.0;
    double fadeOutSeconds = 0.15;
    double fadeInSeconds = 0.15;
    double floorDb = -400.0;        // -400 stands for silence

    bool operator== (const SilenceGateSettings&) const;
    bool operator!= (const SilenceGateSettings& other) const { return ! operator== (other); }
};

struct FullMixSettings
{
    bool exportMix = true;          // stored as "export"
    bool exportSubmixes = true;
    juce::String stemsSubFolder { "STEMS" };
    juce::String name { "Full Mix" };
    juce::String code { "MIX" };
    int index = 1;
};

struct ExportSettings
{
    ExportSettings();

    double masterSampleRate = 48000.0;
    std::vector<OutputFormat> formats;   // only the first two are written
    HeadroomSettings headroom;
    NamingSettings naming;
    BatchSettings batch;
    EmptyStemPolicy emptyStemPolicy = EmptyStemPolicy::skip;
    SilenceGateSettings silenceGate;
    FullMixSettings fullMix;
    bool requireDecisionOnUnassigned = true;

    bool operator== (const ExportSettings&) const;
    bool operator!= (const ExportSettings& other) const { return ! operator== (other); }
};

struct PresetMetadata
{
    juce::String publisher;
    juce::String project;
    juce::String cue;
    juce::String composer;
    juce::String version { "v1" };

    bool operator== (const PresetMetadata&) const;
    bool operator!= (const PresetMetadata& other) const { return ! operator== (other); }
};

struct Preset
{
    juce::String id;
    juce::String name;
    juce::String description;
    PresetKind kind = PresetKind::publisher;
    juce::String basedOnPresetId;
    juce::String basedOnPresetName;
    bool isBuiltIn = false;
    StemSchema schema;
    ExportSettings exportSettings;
    PresetMetadata metadata;
    int64_t modifiedUtcMs = 0;

    /** Sets modifiedUtcMs to now. */
    void touch();

    /** The kind and export settings both built-in presets share: a publisher preset marked
        built-in, metadata version "v1", 48 kHz, an enabled 24-bit WAV with shaped dither and
        a disabled float WAV, -3 dB true peak reaching the target. */
    void applyBuiltInDefaults();

    /** Compares everything but modifiedUtcMs, the schema's matchPlurals and the alternative
        mixes: the test for whether a built-in file on disk must be rewritten. */
    bool operator== (const Preset&) const;
    bool operator!= (const Preset& other) const { return ! operator== (other); }
};

/** True when the two presets would store the same content: everything operator== compares,
    and the schema's matchPlurals and alternative mixes (id, name, code and members in order)
    as well. modifiedUtcMs is ignored. This is what "the working copy has unsaved edits" means. */
bool haveSameContent (const Preset& a, const Preset& b);

/** What a copied preset's stems are identified by. */
enum class StemIds
{
    renew,  // fresh ids, mix members remapped: a preset independent of its source
    keep    // the source's ids: tracks assigned to the source's stems stay assigned
};

/** A new preset made from the source: a new id, the trimmed name (the source's name + " copy"
    when blank), the kind, not built-in, origin recorded when a publisher preset becomes a project
    preset, and the time now. Mix ids are kept; mix members that name no stem are dropped. */
Preset duplicatePreset (const Preset& source, const juce::String& name, PresetKind kind,
                        StemIds stemIds = StemIds::renew);

} // namespace dunmoor
