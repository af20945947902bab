#include <gtest/gtest.h>

#include "ui/pages/export/NamingPreview.h"
#include "ui/pages/export/NamingVocabulary.h"
#include "ui/widgets/SeparatorRules.h"

namespace dunmoor::ui
{

TEST (SeparatorRules, ChoicesAndRefusals)
{
    const std::pair<juce::String, int> ids[] {
        { "_", 1 }, { "-", 2 }, { " - ", 3 }, { " ", 4 }, { ".", 5 }, { "", 6 }, { "--", 100 }, { "+", 100 },
    };

    for (const auto& [separator, id] : ids)
        EXPECT_EQ (SeparatorRules::idForSeparator (separator), id) << separator;

    EXPECT_EQ (SeparatorRules::separatorForId (3), " - ");
    EXPECT_EQ (SeparatorRules::separatorForId (0), "_");

    // "{" used to make "{project}{{cue}", in which {cue} vanished.
    juce::String reason;

    for (auto bad : { "{", "}", "a{b", "\t", "\n" })
    {
        EXPECT_FALSE (SeparatorRules::isUsable (bad, reason)) << bad;
        EXPECT_TRUE (reason.isNotEmpty());
    }

    for (auto good : { "", " ~ ", "--", "+" })
        EXPECT_TRUE (SeparatorRules::isUsable (good, reason)) << good;
}

TEST (NamingVocabulary, LimitsAndCase)
{
    juce::StringArray lines;

    for (int i = 0; i < 70; ++i)
        lines.add ("word" + juce::String (i));

    lines.insert (3, "WORD1");                                    // a repeat in another case
    lines.insert (5, "  ");
    lines.insert (7, juce::String::repeatedString ("x", 65));    // too long

    NamingVocabulary vocabulary;
    vocabulary.load (lines.joinIntoString ("\n"));
    ASSERT_EQ (vocabulary.getWords().size(), 60);
    EXPECT_EQ (vocabulary.getWords()[0], "word0");
    EXPECT_EQ (vocabulary.getWords()[59], "word59");

    EXPECT_FALSE (vocabulary.add ("Word3"));
    EXPECT_FALSE (vocabulary.add ("   "));
    // Over-long words used to be refused only when read back from the settings.
    EXPECT_FALSE (vocabulary.add (juce::String::repeatedString ("y", 65)));

    EXPECT_TRUE (vocabulary.add (" Final "));
    EXPECT_EQ (vocabulary.getWords().size(), 60);
    EXPECT_EQ (vocabulary.getWords()[0], "word1");
    EXPECT_EQ (vocabulary.getWords()[59], "Final");

    EXPECT_TRUE (vocabulary.remove ("FINAL"));
    EXPECT_FALSE (vocabulary.remove ("FINAL"));
    EXPECT_EQ (vocabulary.toText().upToFirstOccurrenceOf ("\n", false, false), "word1");
}

namespace
{
    /** Project "PRJ", cue "Cue1", and the stems Drums, Bass, Keys and Strings (codes DRU, BAS, ...). */
    Preset makeFourStemPreset()
    {
        Preset preset;
        preset.metadata = { "Pub", "PRJ", "Cue1", "Comp", "v1" };

        for (auto name : { "Drums", "Bass", "Keys", "Strings" })
        {
            Stem stem;
            stem.displayName = name;
            stem.shortCode = juce::String (name).substring (0, 3).toUpperCase();
            (void) preset.schema.addStem (stem);
        }

        return preset;
    }
} // namespace

TEST (NamingPreview, ExamplesAndUnknownTokens)
{
    auto preset = makeFourStemPreset();

    preset.schema.stems[1].namingTemplate = "{stemCode}_{Take}";
    preset.schema.alternativeMixes = { { "m1", "No Drums", "ND", {} }, { "m2", "Instrumental", "", {} }, { "m3", "Alt", "", {} } };

    auto& settings = preset.exportSettings;
    settings.naming.stemTemplate = "{project}_{cue}_{stemIndex}_{stemName}_{Take}";
    settings.naming.numbering = NumberingMode::schemaIndex;
    settings.formats.front().enabled = false;
    settings.formats.push_back ({});
    settings.formats.back().codec = Codec::flac;

    Cue cue;
    cue.name = "1M01";

    EXPECT_EQ (buildNamingPreview (preset, { cue }, {}),
               "PRJ_1M01_01_Drums.flac\n"
               "BAS.flac\n"
               "PRJ_1M01_03_Keys.flac\n"
               "PRJ_1M01_Full Mix.flac\n"
               "PRJ_1M01_No Drums.flac\n"
               "PRJ_1M01_Instrumental.flac\n"
               "... and 1 more alternative mix(es)\n"
               "unknown token(s): {Take}");

    // Mixes first: the stems start after the full mix and the alternative mixes.
    settings.naming.numbering = NumberingMode::consecutiveExported;
    settings.naming.numberMixesFirst = true;
    settings.fullMix.exportSubmixes = false;
    settings.batch.folderNameTarget = FolderNameTarget::none;
    settings.naming.stemTemplate = "{cue}_{stemIndex}";
    EXPECT_EQ (buildNamingPreview (preset, { cue }, {}), "Cue1_02.flac\nBAS.flac\nCue1_04.flac\nPRJ_Cue1_Full Mix.flac\nunknown token(s): {Take}");
}

// The preview listed the preset's first stems whether or not the cue had anything for them,
// numbered as if all were written: names no render of that cue would produce.
TEST (NamingPreview, ListsOnlyWhatTheShownCueWrites)
{
    auto preset = makeFourStemPreset();

    auto& settings = preset.exportSettings;
    settings.naming.stemTemplate = "{cue}_{stemIndex}_{stemName}";
    settings.naming.numbering = NumberingMode::consecutiveExported;
    const auto& stems = preset.schema.stems;

    Cue first, second;
    first.key = "a";
    first.name = "1M01";
    second.key = "b";
    second.name = "1M02";

    auto trackOf = [] (const juce::String& cueKey, const juce::String& stemId, bool readable = true)
    {
        Track track;
        track.cueKey = cueKey;
        track.stemId = stemId;
        track.info.lengthInSamples = readable ? 48000 : 0;
        return track;
    };

    // The render leaves out what it cannot read, so a stem with only such a track writes nothing.
    const std::vector<Track> tracks { trackOf ("a", stems[1].id), trackOf ("a", stems[3].id), trackOf ("b", stems[0].id),
                                      trackOf ("a", {}), trackOf ("a", stems[0].id, false) };

    EXPECT_EQ (buildNamingPreview (preset, { first, second }, tracks),
               "1M01_01_Bass.wav\n1M01_02_Strings.wav\nPRJ_1M01_Full Mix.wav");

    // A stem that writes silence when empty is written, and counted, too.
    preset.schema.stems[2].hasEmptyPolicy = true;
    preset.schema.stems[2].emptyPolicy = EmptyStemPolicy::exportSilence;
    EXPECT_EQ (buildNamingPreview (preset, { first, second }, tracks),
               "1M01_01_Bass.wav\n1M01_02_Keys.wav\n1M01_03_Strings.wav\nPRJ_1M01_Full Mix.wav");

    // By the preset's numbers the places stay as they are.
    settings.naming.numbering = NumberingMode::schemaIndex;
    EXPECT_EQ (buildNamingPreview (preset, { first, second }, tracks),
               "1M01_02_Bass.wav\n1M01_03_Keys.wav\n1M01_04_Strings.wav\nPRJ_1M01_Full Mix.wav");
}

} // namespace dunmoor::ui
