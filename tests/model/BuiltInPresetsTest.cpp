#include <gtest/gtest.h>

#include <set>

#include "core/model/BuiltInPresets.h"

using namespace dunmoor;

TEST (BuiltInPresets, EmptyPreset)
{
    const auto preset = makeEmptyPreset();

    EXPECT_EQ (preset.id, "builtin-empty");
    EXPECT_EQ (preset.name, "Empty");
    EXPECT_TRUE (preset.isBuiltIn);
    EXPECT_EQ (preset.kind, PresetKind::publisher);
    EXPECT_TRUE (preset.schema.stems.empty());
    EXPECT_TRUE (preset.metadata.publisher.isEmpty());
    EXPECT_GT (preset.modifiedUtcMs, 0);

    const auto& formats = preset.exportSettings.formats;
    ASSERT_EQ (formats.size(), 2u);
    EXPECT_TRUE (formats[0].enabled);
    EXPECT_EQ (formats[0].sampleFormat, SampleFormat::pcm24);
    EXPECT_EQ (formats[0].dither, DitherKind::tpdfShaped);
    EXPECT_FALSE (formats[1].enabled);
    EXPECT_EQ (formats[1].sampleFormat, SampleFormat::float32);
    EXPECT_EQ (formats[1].dither, DitherKind::none);
    EXPECT_EQ (preset.exportSettings.headroom.targetDb, -3.0);
    EXPECT_EQ (preset.exportSettings.headroom.peakMode, PeakMode::truePeak);

    // Made at another time, it is still the same preset.
    auto later = makeEmptyPreset();
    later.modifiedUtcMs += 1000;
    EXPECT_EQ (later, preset);
}

TEST (BuiltInPresets, DefaultSchemaStems)
{
    const struct
    {
        const char* name;
        const char* code;
        uint32_t colour;
        int priority;
        size_t rules;
        const char* exclusions;
    } expected[] = {
        { "Percussion High", "PRCH", 0xFFE0A24A, 10, 22, "" },
        { "Percussion Low", "PRCL", 0xFFC77B33, 10, 12, "" },
        { "Drums", "DRM", 0xFFD4623F, 10, 22, "bass drum" },
        { "Brass", "BRS", 0xFFD9B23C, 10, 17, "english horn|cor anglais" },
        { "Strings", "STR", 0xFF8FBF6B, 10, 22, "" },
        { "Woodwinds", "WWD", 0xFF5FB59A, 10, 26, "" },
        { "Piano", "PNO", 0xFF5AA9C7, 10, 16, "" },
        { "Guitars", "GTR", 0xFF6E8FD1, 10, 16, "bass guitar|bass gtr" },
        { "Synthesizers", "SYN", 0xFF8E7DD6, 10, 15, "bass synth|synth bass" },
        { "Bass", "BAS", 0xFFB56ACB, 20, 12, "bass drum|double bass|bass flute|bass clarinet|bass trombone|brass" },
        { "Choir", "CHR", 0xFFD46A9F, 15, 12, "" },
        { "Vocals", "VOX", 0xFFE0607A, 15, 14, "choir|choral" },
        { "Sound Design", "SFX", 0xFF7FA3B5, 10, 21, "" },
        { "Signature", "SIG", 0xFFA8C64F, 10, 9, "" },
        { "Drones", "DRN", 0xFF6F7F8C, 10, 14, "" },
        { "Pulses", "PLS", 0xFF4FBFA8, 10, 13, "" },
    };

    const auto schema = makeDefaultSchema();
    EXPECT_TRUE (schema.matchPlurals);
    EXPECT_EQ (schema.publisher, "Brackenfold");
    EXPECT_EQ (schema.name, "Brackenfold Default (16 stems)");
    EXPECT_TRUE (schema.alternativeMixes.empty());
    ASSERT_EQ (schema.stems.size(), 16u);

    size_t totalRules = 0;
    std::set<juce::String> ids, codes;

    for (size_t i = 0; i < schema.stems.size(); ++i)
    {
        const auto& stem = schema.stems[i];
        const auto& want = expected[i];

        EXPECT_EQ (stem.index, (int) i + 1);
        EXPECT_EQ (stem.id.length(), 36);
        EXPECT_EQ (stem.displayName, want.name);
        EXPECT_EQ (stem.fileNameToken, want.name);
        EXPECT_EQ (stem.shortCode, want.code);
        EXPECT_EQ (stem.colour, want.colour) << want.name;
        EXPECT_EQ (stem.priority, want.priority) << want.name;
        EXPECT_EQ (stem.rules.size(), want.rules) << want.name;
        EXPECT_EQ (stem.excludeKeywords.joinIntoString ("|"), want.exclusions) << want.name;
        EXPECT_FALSE (stem.required);
        EXPECT_FALSE (stem.hasEmptyPolicy);
        EXPECT_TRUE (stem.namingTemplate.isEmpty());
        EXPECT_NE (stem.displayName, "Full Mix");
        EXPECT_NE (stem.shortCode, "MIX");

        for (const auto& rule : stem.rules)
            EXPECT_EQ (rule.mode, rule.pattern.containsChar (' ') ? MatchMode::phrase : MatchMode::token) << rule.pattern;

        totalRules += stem.rules.size();
        ids.insert (stem.id);
        codes.insert (stem.shortCode);
    }

    EXPECT_EQ (totalRules, 263u);
    EXPECT_EQ (ids.size(), 16u);
    EXPECT_EQ (codes.size(), 16u);

    // New ids on every call.
    EXPECT_NE (makeDefaultSchema().stems[0].id, schema.stems[0].id);
}

TEST (BuiltInPresets, RulesWithPrioritiesAndNotes)
{
    const auto schema = makeDefaultSchema();

    const auto findRule = [&] (int stemNumber, const juce::String& pattern) -> const KeywordRule*
    {
        for (const auto& rule : schema.stems[(size_t) stemNumber - 1].rules)
            if (rule.pattern == pattern)
                return &rule;

        return nullptr;
    };

    const auto* bassDrum = findRule (2, "bass drum");
    ASSERT_NE (bassDrum, nullptr);
    EXPECT_EQ (bassDrum->priority, 5);
    EXPECT_EQ (bassDrum->mode, MatchMode::phrase);
    EXPECT_EQ (bassDrum->note, "Concert bass drum, not the kick of a drum kit");

    for (auto* pattern : { "bass guitar", "bass gtr", "electric bass", "upright bass", "synth bass", "bass synth" })
        EXPECT_EQ (findRule (10, pattern)->priority, 10) << pattern;

    EXPECT_EQ (findRule (10, "bass")->priority, 0);
    EXPECT_EQ (findRule (12, "lead vocal")->priority, 10);
    EXPECT_EQ (findRule (12, "backing vocal")->priority, 10);
    EXPECT_EQ (findRule (5, "harp")->note, "Some publishers want harp in its own stem");

    // The one keyword deliberately shared by two stems of equal priority.
    const auto* soundDesign = findRule (13, "waterphone");
    const auto* signature = findRule (14, "waterphone");
    ASSERT_TRUE (soundDesign != nullptr && signature != nullptr);
    EXPECT_EQ (soundDesign->priority, signature->priority);
    EXPECT_EQ (soundDesign->note, "Deliberately shared with Signature to demonstrate ambiguity reporting");
    EXPECT_EQ (signature->note, "Deliberately shared with Sound Design to demonstrate ambiguity reporting");
}

TEST (BuiltInPresets, ExamplePreset)
{
    const auto preset = makeHybridOrchestraExamplePreset();

    EXPECT_EQ (preset.id, "builtin-hybrid-orchestra-example");
    EXPECT_EQ (preset.name, "Hybrid Orchestra Example");
    EXPECT_EQ (preset.metadata.publisher, "Tessaloomery");
    EXPECT_EQ (preset.metadata.version, "v1");
    EXPECT_TRUE (preset.isBuiltIn);
    EXPECT_EQ (preset.schema.stems.size(), 16u);
    EXPECT_EQ (preset.exportSettings, makeEmptyPreset().exportSettings);

    // Fixed stem ids (distinct dashed ids), so every build compares equal: the library leaves an
    // unchanged file alone, and a project made with it still matches it.
    EXPECT_EQ (makeHybridOrchestraExamplePreset(), preset);
    std::set<juce::String> ids;
    for (const auto& stem : preset.schema.stems)
    {
        EXPECT_EQ (stem.id.length(), 36) << stem.displayName;
        ids.insert (stem.id);
    }
    EXPECT_EQ (ids.size(), 16u);
}

TEST (BuiltInPresets, MakeKeywordRuleAndMakeStem)
{
    const auto rule = makeKeywordRule ("sub drop", 3, "a note");
    EXPECT_EQ (rule.mode, MatchMode::phrase);
    EXPECT_EQ (rule.priority, 3);
    EXPECT_EQ (rule.note, "a note");
    EXPECT_EQ (makeKeywordRule ("sub", 0).mode, MatchMode::token);
    EXPECT_TRUE (makeKeywordRule ("sub", 0).note.isEmpty());

    const auto stem = makeStem ("Harp", "HRP", 0xff102030, true, 7, { rule }, { "harpsichord" });
    EXPECT_EQ (stem.id.length(), 36);
    EXPECT_EQ (stem.fileNameToken, "Harp");
    EXPECT_EQ (stem.index, 1);
    EXPECT_TRUE (stem.required);
    EXPECT_EQ (stem.rules.size(), 1u);
    EXPECT_FALSE (stem.hasEmptyPolicy);
}
