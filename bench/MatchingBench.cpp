// Matching pass over a full session: 2048 file names against the default 16-stem schema and
// against a large schema of 256 stems with 50 rules each. One pass prepares the schema once
// and matches every name, as the session does after an import or a preset change.

#include <benchmark/benchmark.h>

#include "core/model/BuiltInPresets.h"
#include "core/session/KeywordMatcher.h"

namespace
{
using namespace dunmoor;

constexpr int numTracks = 2048;

const char* const instrumentWords[] = {
    "Kick",
    "Snare",
    "HiHat",
    "Tom",
    "Overheads",
    "Room",
    "Ride",
    "Crash",
    "Shaker",
    "Tambourine",
    "Congas",
    "Taiko",
    "Timpani",
    "BassDrum",
    "Frame Drum",
    "Violins",
    "VLN1",
    "VLN2",
    "Violas",
    "Celli",
    "Contrabass",
    "Spicc",
    "Pizz",
    "Legato",
    "Tremolo",
    "Harp",
    "Horns",
    "Trumpets",
    "Trombones",
    "Tuba",
    "Low Brass",
    "Flute",
    "Piccolo",
    "Clarinet",
    "Oboe",
    "Bassoon",
    "Duduk",
    "Piano",
    "Felt Piano",
    "Rhodes",
    "Celesta",
    "Guitar",
    "Nylon Gtr",
    "Bass Gtr",
    "Ukulele",
    "Synth",
    "Saw Lead",
    "Moog",
    "Juno",
    "Sub",
    "808",
    "Bass",
    "Synth Bass",
    "Choir",
    "Aahs",
    "Oohs",
    "Sopranos",
    "Lead Vocal",
    "BVs",
    "Whisper",
    "Narration",
    "Sub Drop",
    "Riser",
    "Braam",
    "Hit",
    "Impact",
    "Whoosh",
    "Waterphone",
    "Main Theme",
    "Motif",
    "Logo",
    "Pad",
    "Drone",
    "Atmos",
    "Texture",
    "Ostinato",
    "Pulse",
    "Arp",
    "Seq",
    "Stutter",
    "Ambience",
    "Mix",
};

const char* const detailWords[] = {
    "L",
    "R",
    "Close",
    "Tree",
    "Surround",
    "DI",
    "Amp",
    "Wet",
    "Dry",
    "Stem",
    "Print",
    "Alt",
    "Hi",
    "Lo",
    "Soft",
    "Loud",
    "Long",
    "Short",
    "Stacc",
    "Sus",
    "FX",
    "Layer",
    "Top",
    "Bottom",
    "In",
    "Out",
    "A",
    "B",
};

const char* const separators[] = { "_", " ", "-", "" };
const char* const extensions[] = { ".wav", ".wav", ".aif", ".flac" };

template <typename Array>
const char* pick (juce::Random& random, const Array& array)
{
    return array[random.nextInt ((int) std::size (array))];
}

juce::StringArray makeFileNames()
{
    juce::Random random (4711);
    juce::StringArray names;

    for (int i = 0; i < numTracks; ++i)
    {
        juce::String name;
        if (random.nextBool())
            name << juce::String (1 + i % 48).paddedLeft ('0', 2) << "_";

        name << pick (random, instrumentWords);
        for (int extra = random.nextInt (3); extra > 0; --extra)
        {
            name << pick (random, separators);
            name << (random.nextInt (3) == 0 ? pick (random, instrumentWords) : pick (random, detailWords));
        }

        if (random.nextBool())
            name << pick (random, separators) << juce::String (random.nextInt (12));

        names.add (name + pick (random, extensions));
    }

    return names;
}

// Rules drawn from the instrument vocabulary plus made-up words, so that a typical name brings
// up dozens of rules in many stems, as in a publisher's fully worked vocabulary.
StemSchema makeLargeSchema()
{
    juce::Random random (815);
    const char* syllables[] = { "ka", "lo", "mi", "ta", "ve", "ru", "so", "ne", "pa", "di", "gor", "lin" };

    juce::StringArray vocabulary;
    for (const auto* word : instrumentWords)
        vocabulary.add (juce::String (word).toLowerCase());
    for (const auto* word : detailWords)
        vocabulary.add (juce::String (word).toLowerCase());
    while (vocabulary.size() < 600)
        vocabulary.add (juce::String (pick (random, syllables)) + pick (random, syllables) + pick (random, syllables));

    auto word = [&]
    { return vocabulary[random.nextInt (vocabulary.size())]; };

    StemSchema schema;
    schema.matchPlurals = true;

    for (int s = 0; s < 256; ++s)
    {
        Stem stem;
        stem.id = newUuidString();
        stem.index = s + 1;
        stem.displayName = "Stem " + juce::String (s + 1);
        stem.priority = random.nextInt (21);

        for (int e = random.nextInt (3); e > 0; --e)
            stem.excludeKeywords.add (word() + (random.nextBool() ? " " + word() : juce::String()));

        for (int r = 0; r < 50; ++r)
        {
            KeywordRule rule;
            const auto kind = random.nextInt (10);
            rule.pattern = kind < 6 ? word() : word() + " " + word();
            rule.mode = kind < 6 ? MatchMode::token : kind < 9 ? MatchMode::phrase
                                                               : MatchMode::exact;
            rule.priority = random.nextInt (4) == 0 ? random.nextInt (11) - 2 : 0;
            if (random.nextInt (8) == 0)
                rule.excludes.add (word());
            stem.rules.push_back (rule);
        }

        schema.stems.push_back (std::move (stem));
    }

    return schema;
}

void runPass (benchmark::State& state, const StemSchema& schema)
{
    const auto names = makeFileNames();
    const MatchOptions options;
    int assigned = 0;

    for (auto _ : state)
    {
        const KeywordMatcher matcher (schema);
        assigned = 0;

        for (const auto& name : names)
        {
            const auto result = matcher.match (options, name);
            assigned += result.stemId.isNotEmpty() ? 1 : 0;
            benchmark::DoNotOptimize (result);
        }
    }

    state.SetItemsProcessed (state.iterations() * names.size());
    state.counters["assigned"] = assigned;
}

void BM_DefaultSchema2048Names (benchmark::State& state)
{
    runPass (state, makeDefaultSchema());
}

void BM_LargeSchema2048Names (benchmark::State& state)
{
    runPass (state, makeLargeSchema());
}

// For comparison: preparing the schema again for every name, as a plain per-name call does.
void BM_DefaultSchema2048NamesUnprepared (benchmark::State& state)
{
    const auto schema = makeDefaultSchema();
    const auto names = makeFileNames();

    for (auto _ : state)
        for (const auto& name : names)
            benchmark::DoNotOptimize (matchFileName ({}, schema, name));

    state.SetItemsProcessed (state.iterations() * names.size());
}

void BM_PrepareLargeSchema (benchmark::State& state)
{
    const auto schema = makeLargeSchema();
    for (auto _ : state)
        benchmark::DoNotOptimize (KeywordMatcher (schema));
}
} // namespace

BENCHMARK (BM_DefaultSchema2048Names)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_LargeSchema2048Names)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_DefaultSchema2048NamesUnprepared)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_PrepareLargeSchema)->Unit (benchmark::kMillisecond);

BENCHMARK_MAIN();
