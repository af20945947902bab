#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/model/Preset.h"

using namespace dunmoor;

namespace
{
    Preset presetWithStems()
    {
        Preset preset;
        preset.id = "source-id";
        preset.name = "Source";

        for (auto* name : { "Drums", "Bass", "Strings" })
        {
            Stem stem;
            stem.displayName = name;
            stem.rules.push_back ({ juce::String (name).toLowerCase(), MatchMode::token, 0, {}, "note" });
            preset.schema.addStem (stem);
        }

        return preset;
    }
} // namespace

TEST (Preset, Defaults)
{
    const Preset preset;

    EXPECT_TRUE (preset.id.isEmpty());
    EXPECT_TRUE (preset.name.isEmpty());
    EXPECT_EQ (preset.metadata.version, "v1");
    EXPECT_TRUE (preset.schema.matchPlurals);
    ASSERT_EQ (preset.exportSettings.formats.size(), 1u);

    const auto& format = preset.exportSettings.formats[0];
    EXPECT_TRUE (format.enabled);
    EXPECT_EQ (format.codec, Codec::wav);
    EXPECT_EQ (format.sampleFormat, SampleFormat::pcm24);
    EXPECT_EQ (format.sampleRate, 0.0);
    EXPECT_EQ (preset.exportSettings.headroom.targetDb, -3.0);
    EXPECT_EQ (preset.exportSettings.headroom.peakMode, PeakMode::truePeak);
}

TEST (Preset, EqualityIgnoresTimeStampPluralsAndAlternativeMixes)
{
    const auto a = presetWithStems();
    auto b = a;

    b.modifiedUtcMs = 123456;
    b.schema.matchPlurals = false;
    ASSERT_TRUE (b.schema.addAlternativeMix ("Instrumental").isNotEmpty());
    EXPECT_EQ (a, b);

    const std::function<void (Preset&)> changes[] = {
        [] (Preset& p) { p.schema.stems[0].colour = 0xff000001; },
        [] (Preset& p) { p.schema.stems[1].rules[0].note = "other note"; },
        [] (Preset& p) { p.schema.stems[2].displayName = "strings"; },
        [] (Preset& p) { p.schema.stems[0].hasEmptyPolicy = true; }, // absent vs present "skip"
        [] (Preset& p) { p.schema.stems.pop_back(); },
        [] (Preset& p) { p.schema.description = "x"; },
        [] (Preset& p) { p.metadata.composer = "x"; },
        [] (Preset& p) { p.exportSettings.fullMix.stemsSubFolder = "Stems"; },
        [] (Preset& p) { p.exportSettings.silenceGate.fadeInSeconds = 0.2; },
        [] (Preset& p) { p.exportSettings.formats.push_back ({}); },
        [] (Preset& p) { p.exportSettings.naming.separator = "-"; },
        [] (Preset& p) { p.isBuiltIn = true; },
    };

    for (size_t i = 0; i < std::size (changes); ++i)
    {
        auto changed = a;
        changes[i] (changed);
        EXPECT_NE (a, changed) << "change #" << i;
    }
}

TEST (Preset, EqualityToleratesTinyRateAndTargetDifferences)
{
    const ExportSettings base;

    const struct { double rateOffset, formatRateOffset, targetOffset; bool equal; } cases[] = {
        { 0.4, 0.0, 0.0, true },
        { 0.5, 0.0, 0.0, false },
        { 0.0, 0.4, 0.0, true },
        { 0.0, 0.5, 0.0, false },
        { 0.0, 0.0, 1e-10, true },
        { 0.0, 0.0, 1e-8, false },
    };

    for (const auto& c : cases)
    {
        auto other = base;
        other.masterSampleRate += c.rateOffset;
        other.formats[0].sampleRate += c.formatRateOffset;
        other.headroom.targetDb += c.targetOffset;
        EXPECT_EQ (other == base, c.equal) << c.rateOffset << " " << c.formatRateOffset << " " << c.targetOffset;
    }

    // The silence gate is compared exactly, and a NaN equals nothing.
    auto nan = base;
    nan.silenceGate.thresholdDb = std::nan ("");
    EXPECT_NE (nan, nan);
}

TEST (Preset, DuplicatePresetGivesNewIdsAndRemapsMixMembers)
{
    auto source = presetWithStems();
    source.isBuiltIn = true;
    const auto drums = source.schema.stems[0].id;
    const auto bass = source.schema.stems[1].id;
    const auto strings = source.schema.stems[2].id;
    source.schema.alternativeMixes.push_back ({ "mix-id", "No Drums", "ND", juce::StringArray { strings, "gone", bass } });

    const auto copy = duplicatePreset (source, "  New Name  ", PresetKind::publisher);

    EXPECT_EQ (copy.id.length(), 36);
    EXPECT_NE (copy.id, source.id);
    EXPECT_EQ (copy.name, "New Name");
    EXPECT_FALSE (copy.isBuiltIn);
    EXPECT_GT (copy.modifiedUtcMs, 0);
    ASSERT_EQ (copy.schema.stems.size(), 3u);

    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ (copy.schema.stems[i].id.length(), 36);
        EXPECT_EQ (source.schema.indexOfStem (copy.schema.stems[i].id), -1);
        EXPECT_EQ (copy.schema.stems[i].displayName, source.schema.stems[i].displayName);
    }

    // Same members in the same order under their new ids; the unknown member is gone.
    ASSERT_EQ (copy.schema.alternativeMixes.size(), 1u);
    const auto& mix = copy.schema.alternativeMixes[0];
    EXPECT_EQ (mix.id, "mix-id");
    EXPECT_EQ (mix.name, "No Drums");
    EXPECT_EQ (mix.stemIds, juce::StringArray (copy.schema.stems[2].id, copy.schema.stems[1].id));

    // The source is untouched.
    EXPECT_EQ (source.schema.stems[0].id, drums);
    EXPECT_EQ (source.schema.alternativeMixes[0].stemIds.size(), 3);
}

TEST (Preset, SameContentAlsoWeighsPluralsAndAlternativeMixes)
{
    auto base = presetWithStems();
    const auto mixId = base.schema.addAlternativeMix ("Instrumental");
    auto later = base;
    later.modifiedUtcMs = base.modifiedUtcMs + 1000;
    EXPECT_TRUE (haveSameContent (base, later));

    // Each of these is an unsaved edit the user would lose; operator== sees none but the stem.
    const struct { const char* what; std::function<void (Preset&)> change; bool equalByOperator; } cases[] = {
        { "plurals", [] (Preset& p) { p.schema.matchPlurals = ! p.schema.matchPlurals; }, true },
        { "mix name", [&] (Preset& p) { p.schema.findAlternativeMix (mixId)->name = "Inst"; }, true },
        { "mix code", [&] (Preset& p) { p.schema.findAlternativeMix (mixId)->shortCode = "INS"; }, true },
        { "mix member", [&] (Preset& p) { (void) p.schema.setAlternativeMixMember (mixId, p.schema.stems[1].id, false); }, true },
        { "mix order", [&] (Preset& p) { p.schema.findAlternativeMix (mixId)->stemIds.move (0, 2); }, true },
        { "another mix", [] (Preset& p) { (void) p.schema.addAlternativeMix ("Underscore"); }, true },
        { "no mix", [&] (Preset& p) { (void) p.schema.removeAlternativeMix (mixId); }, true },
        { "stem", [] (Preset& p) { p.schema.stems[0].displayName = "Kit"; }, false },
    };

    for (const auto& c : cases)
    {
        auto edited = base;
        c.change (edited);
        EXPECT_FALSE (haveSameContent (base, edited)) << c.what;
        EXPECT_FALSE (haveSameContent (edited, base)) << c.what;
        EXPECT_EQ (edited == base, c.equalByOperator) << c.what;
    }
}

TEST (Preset, DuplicatePresetCanKeepStemIds)
{
    auto source = presetWithStems();
    const auto bass = source.schema.stems[1].id;
    source.schema.alternativeMixes.push_back ({ "mix-id", "No Drums", "ND", juce::StringArray { bass, "gone" } });

    const auto copy = duplicatePreset (source, "Kept", PresetKind::project, StemIds::keep);

    EXPECT_NE (copy.id, source.id);
    EXPECT_EQ (copy.name, "Kept");
    EXPECT_EQ (copy.kind, PresetKind::project);
    ASSERT_EQ (copy.schema.stems.size(), 3u);

    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ (copy.schema.stems[i].id, source.schema.stems[i].id);

    ASSERT_EQ (copy.schema.alternativeMixes.size(), 1u);
    EXPECT_EQ (copy.schema.alternativeMixes[0].id, "mix-id");
    EXPECT_EQ (copy.schema.alternativeMixes[0].stemIds, juce::StringArray (bass));
}

TEST (Preset, DuplicatePresetNamesAndOrigin)
{
    auto publisher = presetWithStems();

    const auto blankName = duplicatePreset (publisher, "   ", PresetKind::publisher);
    EXPECT_EQ (blankName.name, "Source copy");
    EXPECT_TRUE (blankName.basedOnPresetId.isEmpty());

    const auto project = duplicatePreset (publisher, "Film", PresetKind::project);
    EXPECT_EQ (project.kind, PresetKind::project);
    EXPECT_EQ (project.basedOnPresetId, "source-id");
    EXPECT_EQ (project.basedOnPresetName, "Source");

    auto projectSource = project;
    projectSource.id = "project-id";
    const auto again = duplicatePreset (projectSource, "Film 2", PresetKind::project);
    EXPECT_EQ (again.basedOnPresetId, "source-id");
    EXPECT_EQ (again.basedOnPresetName, "Source");
}

TEST (Preset, DuplicatePresetMapsARepeatedOldIdToTheLaterStem)
{
    Preset source;
    source.schema.stems.resize (2);
    source.schema.stems[0].id = "same";
    source.schema.stems[1].id = "same";
    source.schema.alternativeMixes.push_back ({ "m", "Mix", {}, juce::StringArray { "same" } });

    const auto copy = duplicatePreset (source, "x", PresetKind::publisher);
    EXPECT_NE (copy.schema.stems[0].id, copy.schema.stems[1].id);
    EXPECT_EQ (copy.schema.alternativeMixes[0].stemIds, juce::StringArray (copy.schema.stems[1].id));
}

TEST (Preset, OutputFormatDescribe)
{
    const auto format = [] (Codec codec, SampleFormat sampleFormat, double rate, int kbps = 320)
    {
        OutputFormat f;
        f.codec = codec;
        f.sampleFormat = sampleFormat;
        f.sampleRate = rate;
        f.mp3Bitrate = kbps;
        return f;
    };

    const struct { OutputFormat format; const char* text; } cases[] = {
        { format (Codec::wav, SampleFormat::pcm24, 0.0), "WAV 24-bit" },
        { format (Codec::wav, SampleFormat::float32, 96000.0), "WAV 32-bit float @ 96.0 kHz" },
        { format (Codec::aiff, SampleFormat::pcm16, 44100.0), "AIFF 16-bit @ 44.1 kHz" },
        { format (Codec::flac, SampleFormat::pcm24, 22050.0), "FLAC 24-bit @ 22.1 kHz" },
        { format (Codec::mp3, SampleFormat::pcm24, 44100.0), "MP3 320 kbps @ 44.1 kHz" },
        { format (Codec::mp3, SampleFormat::float32, 0.0, 192), "MP3 192 kbps" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (c.format.describe(), c.text);
}
