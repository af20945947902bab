#pragma once

#include <juce_core/juce_core.h>

#include "TestFolder.h"
#include "core/model/Preset.h"

namespace dunmoor::test
{

using dunmoor::testing::TemporaryFolder;

/** The folder of committed preset documents, as the build names it (so a build folder may
    lie anywhere). */
inline juce::File fixtureFolder()
{
    return juce::File (juce::String::fromUTF8 (DUNMOOR_TEST_FIXTURE_DIR)).getChildFile ("presets");
}

/** A valid preset that uses every enumeration value somewhere, characters beyond ASCII and
    beyond the Basic Multilingual Plane, a colour with a zero alpha byte, optional fields set
    and unset, and numbers that do not survive 15 decimals exactly. */
inline Preset makeRichPreset()
{
    Preset p;
    p.id = newUuidString();
    p.name = juce::String (juce::CharPointer_UTF8 ("Bl\xc3\xa4ser \xe2\x80\x94 \xf0\x9f\x8e\xbb Orchester"));
    p.description = juce::String (juce::CharPointer_UTF8 ("Line one\nline two \"quoted\" \\ \xf0\x9f\x98\x80 \xe6\xbc\xa2\xe5\xad\x97"));
    p.kind = PresetKind::project;
    p.basedOnPresetId = "publisher-1";
    p.basedOnPresetName = "Publisher One";
    p.modifiedUtcMs = 1735689600123;
    p.metadata = { "Pub", "Proj", "Cue 1", juce::String (juce::CharPointer_UTF8 ("Zo\xc3\xab")), "v7" };

    p.schema.matchPlurals = false;
    p.schema.publisher = "Pub";
    p.schema.name = "Layout";
    p.schema.description = "desc";

    Stem drums;
    drums.id = newUuidString();
    drums.displayName = juce::String (juce::CharPointer_UTF8 ("\xf0\x9f\xa5\x81 Drums"));
    drums.shortCode = "DRM";
    drums.colour = 0x00123456;   // zero alpha: the leading zeros must be written
    drums.priority = -1000;
    drums.required = true;
    drums.excludeKeywords = { "bass drum", " padded " };
    drums.emptyPolicy = EmptyStemPolicy::failExport;
    drums.hasEmptyPolicy = true;
    drums.namingTemplate = "{stemCode}_{cue}";

    const MatchMode modes[] = { MatchMode::token, MatchMode::exact, MatchMode::phrase, MatchMode::fuzzy };

    for (int i = 0; i < 4; ++i)
    {
        KeywordRule rule;
        rule.pattern = "kick " + juce::String (i);
        rule.mode = modes[i];
        rule.priority = i == 3 ? 1000 : -i;
        rule.note = i == 0 ? juce::String() : "note " + juce::String (i);
        rule.excludes = i == 1 ? juce::StringArray ("sub", "808") : juce::StringArray();
        drums.rules.push_back (rule);
    }

    Stem strings;
    strings.id = newUuidString();
    strings.displayName = "Strings";
    strings.fileNameToken = "STRG";
    strings.colour = 0xff8fbf6b;
    strings.emptyPolicy = EmptyStemPolicy::exportSilence;
    strings.hasEmptyPolicy = true;

    Stem fx;
    fx.id = newUuidString();
    fx.displayName = "FX";
    fx.emptyPolicy = EmptyStemPolicy::skip;
    fx.hasEmptyPolicy = true;

    Stem plain;   // no own policy, no rules, defaults
    plain.id = newUuidString();
    plain.displayName = "Plain";

    for (auto* s : { &drums, &strings, &fx, &plain })
        p.schema.stems.push_back (*s);

    p.schema.renumberStems();

    AlternativeMix mix;
    mix.id = newUuidString();
    mix.name = "Instrumental";
    mix.shortCode = "INST";
    mix.stemIds = { strings.id, drums.id };
    p.schema.alternativeMixes.push_back (mix);

    auto& e = p.exportSettings;
    e.masterSampleRate = 96000.0;

    OutputFormat wav;
    wav.codec = Codec::wav;
    wav.sampleFormat = SampleFormat::float32;
    wav.dither = DitherKind::none;
    wav.sampleRate = 0.0;
    wav.subFolder = "WAV";

    OutputFormat flac;
    flac.codec = Codec::flac;
    flac.sampleFormat = SampleFormat::pcm16;
    flac.dither = DitherKind::tpdfShapedContinuous;
    flac.sampleRate = 44100.0;

    OutputFormat aiff;   // disabled formats are not validated for their codec
    aiff.enabled = false;
    aiff.codec = Codec::aiff;
    aiff.dither = DitherKind::tpdfContinuous;

    OutputFormat mp3;
    mp3.enabled = false;
    mp3.codec = Codec::mp3;
    mp3.mp3Bitrate = 192;
    mp3.dither = DitherKind::tpdf;

    OutputFormat shaped;
    shaped.enabled = false;
    shaped.dither = DitherKind::tpdfShaped;

    e.formats = { wav, flac, aiff, mp3, shaped };

    e.headroom.targetDb = -3.0000000000000004;
    e.headroom.peakMode = PeakMode::samplePeak;
    e.headroom.gainMode = GainMode::attenuateOnly;
    e.headroom.truePeakOversampling = 8;
    e.headroom.submixesReachTargetIndependently = false;
    e.headroom.verifyLevelAfterGain = true;

    e.naming.stemTemplate = "{cue}_{stemCode}";
    e.naming.mixTemplate = "{cue}_mix";
    e.naming.indexPadding = 3;
    e.naming.numbering = NumberingMode::schemaIndex;
    e.naming.numberMixesFirst = true;
    e.naming.collisionPolicy = CollisionPolicy::abort;
    e.naming.replacementChar = "_";
    e.naming.separator = "-";

    e.batch.folderNameTarget = FolderNameTarget::project;
    e.batch.gainMode = BatchGainMode::sharedAcrossBatch;
    e.batch.mirrorFolderStructure = false;
    e.batch.folderPerCue = false;

    e.emptyStemPolicy = EmptyStemPolicy::exportSilence;

    e.silenceGate.enabled = true;
    e.silenceGate.thresholdDb = -90.12345678901234567;
    e.silenceGate.minimumSeconds = 1.0 / 3.0;
    e.silenceGate.fadeOutSeconds = 0.1 + 0.2;   // 0.30000000000000004
    e.silenceGate.fadeInSeconds = 2.0 / 3.0;
    e.silenceGate.floorDb = -123.456789012345678;

    e.fullMix.exportMix = true;
    e.fullMix.exportSubmixes = false;
    e.fullMix.stemsSubFolder = juce::String (juce::CharPointer_UTF8 ("St\xc3\xa9ms"));
    e.fullMix.name = "Everything";
    e.fullMix.code = "ALL";
    e.fullMix.index = 17;

    e.requireDecisionOnUnassigned = false;
    return p;
}

} // namespace dunmoor::test
