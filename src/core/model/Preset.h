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

    /** Compares everything but modifiedUtcMs, the schema's matchPlurals and the alternative mixes. */
    bool operator== (const Preset&) const;
    bool operator!= (const Preset& other) const { return ! operator== (other); }
};

/** A new, independent preset made from the source: new ids throughout, mix members remapped. */
Preset duplicatePreset (const Preset& source, const juce::String& name, PresetKind kind);

} // namespace dunmoor
