#include <gtest/gtest.h>

#include "core/model/Preset.h"

using namespace dunmoor;

namespace
{
    Stem stemNamed (const juce::String& name, const juce::String& id = {})
    {
        Stem stem;
        stem.id = id;
        stem.displayName = name;
        return stem;
    }

    // Three stems with ids "a", "b", "c".
    StemSchema abcSchema()
    {
        StemSchema schema;
        schema.addStem (stemNamed ("Alpha", "a"));
        schema.addStem (stemNamed ("Beta", "b"));
        schema.addStem (stemNamed ("Gamma", "c"));
        return schema;
    }

    juce::String idsInOrder (const StemSchema& schema)
    {
        juce::StringArray ids;

        for (const auto& stem : schema.stems)
            ids.add (stem.id);

        return ids.joinIntoString (",");
    }

    void expectIndexesFollowPositions (const StemSchema& schema)
    {
        for (size_t i = 0; i < schema.stems.size(); ++i)
            EXPECT_EQ (schema.stems[i].index, (int) i + 1) << "stem " << schema.stems[i].id;
    }
} // namespace

TEST (StemSchema, AddStemKeepsAGivenIdAndMakesAMissingOne)
{
    StemSchema schema;
    EXPECT_EQ (schema.addStem (stemNamed ("Drums", "kept")).id, "kept");

    const auto& added = schema.addStem (stemNamed ("Bass"));
    EXPECT_EQ (added.id.length(), 36);
    EXPECT_TRUE (added.id.containsOnly ("0123456789abcdef-"));
    EXPECT_EQ (added.index, 2);
    expectIndexesFollowPositions (schema);
}

TEST (StemSchema, DuplicateStemInsertsACopyAfterItsSource)
{
    auto schema = abcSchema();
    schema.stems[0].displayName = "Brass";
    schema.stems[0].shortCode = "BRS";
    schema.stems[0].colour = 0xff112233;
    schema.stems[0].rules.push_back ({ "horn", MatchMode::token, 3, {}, {} });
    schema.stems[1].fileNameToken = "Beta Token";
    ASSERT_TRUE (schema.addAlternativeMix ("Mix").isNotEmpty());

    const auto copyId = schema.duplicateStem ("a");
    ASSERT_EQ (copyId.length(), 36);
    EXPECT_EQ (schema.indexOfStem (copyId), 1);

    const auto& copy = schema.stems[1];
    EXPECT_EQ (copy.displayName, "Brass copy");
    EXPECT_TRUE (copy.fileNameToken.isEmpty()); // keeps following the display name
    EXPECT_TRUE (copy.shortCode.isEmpty());
    EXPECT_EQ (copy.colour, 0xff112233u);
    EXPECT_EQ (copy.rules, schema.stems[0].rules);
    EXPECT_FALSE (schema.alternativeMixes[0].stemIds.contains (copyId));

    const auto secondCopyId = schema.duplicateStem ("b");
    EXPECT_EQ (schema.findStem (secondCopyId)->fileNameToken, "Beta Token copy");
    expectIndexesFollowPositions (schema);

    EXPECT_TRUE (schema.duplicateStem ("nope").isEmpty());
    EXPECT_EQ (schema.stems.size(), 5u);
}

TEST (StemSchema, MoveStemClampsAndCountsPositionsAfterRemoval)
{
    const struct { const char* id; int position; const char* order; } cases[] = {
        { "a", 2, "b,c,a" },
        { "c", -5, "c,a,b" },
        { "a", 99, "b,c,a" },
        { "b", 1, "a,b,c" },
        { "c", 0, "c,a,b" },
    };

    for (const auto& c : cases)
    {
        auto schema = abcSchema();
        EXPECT_TRUE (schema.moveStem (c.id, c.position));
        EXPECT_EQ (idsInOrder (schema), c.order) << c.id << " to " << c.position;
        expectIndexesFollowPositions (schema);
    }

    auto schema = abcSchema();
    EXPECT_FALSE (schema.moveStem ("nope", 0));
    EXPECT_EQ (idsInOrder (schema), "a,b,c");
}

TEST (StemSchema, RemoveStemLeavesNoMixMemberBehind)
{
    auto schema = abcSchema();
    const auto first = schema.addAlternativeMix ("One");
    const auto second = schema.addAlternativeMix ("Two");
    EXPECT_TRUE (schema.setAlternativeMixMember (second, "a", false));
    EXPECT_TRUE (schema.setAlternativeMixMember (second, "c", false));

    EXPECT_TRUE (schema.removeStem ("b"));
    EXPECT_EQ (idsInOrder (schema), "a,c");
    expectIndexesFollowPositions (schema);
    EXPECT_EQ (schema.findAlternativeMix (first)->stemIds.joinIntoString (","), "a,c");

    // A mix that loses its last member stays.
    ASSERT_NE (schema.findAlternativeMix (second), nullptr);
    EXPECT_TRUE (schema.findAlternativeMix (second)->stemIds.isEmpty());

    EXPECT_FALSE (schema.removeStem ("b"));
}

TEST (StemSchema, AddAlternativeMixNamesAreUniqueAndCapped)
{
    auto schema = abcSchema();

    const auto id = schema.addAlternativeMix ("  ");
    ASSERT_EQ (id.length(), 36);
    EXPECT_EQ (schema.alternativeMixes[0].name, "Submix 1");
    EXPECT_EQ (schema.alternativeMixes[0].stemIds.joinIntoString (","), "a,b,c");

    schema.alternativeMixes[0].name = "Submix 3";
    schema.alternativeMixes.insert (schema.alternativeMixes.begin(), AlternativeMix { "m1", "Submix 1", {}, {} });
    ASSERT_TRUE (schema.addAlternativeMix ({}).isNotEmpty());
    EXPECT_EQ (schema.alternativeMixes.back().name, "Submix 3 2");

    schema.alternativeMixes.push_back ({ "m4", "instrumental", {}, {} });
    ASSERT_TRUE (schema.addAlternativeMix (" Instrumental ").isNotEmpty());
    EXPECT_EQ (schema.alternativeMixes.back().name, "Instrumental 2");

    while (schema.alternativeMixes.size() < 10)
        ASSERT_TRUE (schema.addAlternativeMix ("x").isNotEmpty());

    EXPECT_TRUE (schema.addAlternativeMix ("eleventh").isEmpty());
    EXPECT_EQ (schema.alternativeMixes.size(), 10u);

    EXPECT_TRUE (schema.removeAlternativeMix ("m1"));
    EXPECT_FALSE (schema.removeAlternativeMix ("m1"));
}

TEST (StemSchema, SetAlternativeMixMemberReportsOnlyRealChanges)
{
    auto schema = abcSchema();
    const auto mix = schema.addAlternativeMix ("Mix");

    EXPECT_FALSE (schema.setAlternativeMixMember (mix, "a", true));       // already a member
    EXPECT_FALSE (schema.setAlternativeMixMember (mix, "unknown", true)); // no such stem
    EXPECT_FALSE (schema.setAlternativeMixMember ("unknown", "a", false));

    EXPECT_TRUE (schema.setAlternativeMixMember (mix, "a", false));
    EXPECT_FALSE (schema.setAlternativeMixMember (mix, "a", false));     // not a member any more
    EXPECT_TRUE (schema.setAlternativeMixMember (mix, "a", true));
    EXPECT_EQ (schema.findAlternativeMix (mix)->stemIds.joinIntoString (","), "b,c,a");
}

TEST (StemSchema, DropUnknownMixMembers)
{
    auto schema = abcSchema();
    schema.alternativeMixes.push_back ({ "m", "Mix", {}, juce::StringArray { "x", "c", "y", "a" } });
    schema.dropUnknownMixMembers();
    EXPECT_EQ (schema.alternativeMixes[0].stemIds.joinIntoString (","), "c,a");
}

TEST (StemSchema, FindStemWithSameAndSimilarName)
{
    StemSchema schema;
    schema.addStem (stemNamed ("Drums", "d"));
    auto tokenStem = stemNamed ("Percussion", "p");
    tokenStem.fileNameToken = " drums2 ";
    schema.addStem (tokenStem);
    schema.addStem (stemNamed ("Strings Hi", "s"));

    EXPECT_EQ (schema.findStemWithSameName ("  DRUMS ", {}), &schema.stems[0]);
    EXPECT_EQ (schema.findStemWithSameName ("  DRUMS ", "d"), nullptr);
    EXPECT_EQ (schema.findStemWithSameName ("Drums2", {}), &schema.stems[1]);
    EXPECT_EQ (schema.findStemWithSameName ("   ", {}), nullptr);

    EXPECT_EQ (schema.findStemWithSimilarName ("Strings-Hi", {}), &schema.stems[2]);
    EXPECT_EQ (schema.findStemWithSimilarName ("strings hi", {}), nullptr); // an exact clash
    EXPECT_EQ (schema.findStemWithSimilarName ("Strings-Hi", "s"), nullptr);
    EXPECT_EQ (schema.findStemWithSimilarName ("drums_2", {}), &schema.stems[1]);
    EXPECT_EQ (schema.findStemWithSimilarName ("--", {}), nullptr);
}

TEST (StemSchema, NormaliseStemNameKeepsLettersOfEveryScript)
{
    EXPECT_EQ (normaliseStemName ("Strings Hi"), "stringshi");
    EXPECT_EQ (normaliseStemName ("strings-hi!"), "stringshi");
    EXPECT_EQ (normaliseStemName ("808 Sub"), "808sub");
    EXPECT_EQ (normaliseStemName (juce::CharPointer_UTF8 ("\xc3\x89" "cho - \xc3\x9c" "ber")),
               juce::String (juce::CharPointer_UTF8 ("\xc3\xa9" "cho\xc3\xbc" "ber")));
}

TEST (StemSchema, FingerprintFollowsOnlyWhatMatchingUses)
{
    auto schema = abcSchema();
    schema.stems[0].rules.push_back ({ "horn", MatchMode::token, 0, {}, {} });
    const auto original = schema.getFingerprint();

    auto renamed = schema;
    renamed.stems[0].displayName = "Renamed";
    renamed.stems[0].colour = 0xff000000;
    renamed.stems[0].shortCode = "RN";
    ASSERT_TRUE (renamed.addAlternativeMix ("Mix").isNotEmpty());
    EXPECT_EQ (renamed.getFingerprint(), original);

    auto rulePriority = schema;
    rulePriority.stems[0].rules[0].priority = 1;
    EXPECT_NE (rulePriority.getFingerprint(), original);

    auto exclusions = schema;
    exclusions.stems[1].excludeKeywords.add ("brass");
    EXPECT_NE (exclusions.getFingerprint(), original);

    auto plurals = schema;
    plurals.matchPlurals = false;
    EXPECT_NE (plurals.getFingerprint(), original);

    auto mode = schema;
    mode.stems[0].rules[0].mode = MatchMode::exact;
    EXPECT_NE (mode.getFingerprint(), original);
}

TEST (StemSchema, AutomaticStemColour)
{
    const struct { int n; uint32_t argb; } cases[] = {
        { 0, 0xffd17373 },  // 209, 115, 115
        { -4, 0xffd17373 },
        { 1, 0xff738ed1 },  // 115, 142, 209
        { 2, 0xffaad173 },  // 170, 209, 115
        { 3, 0xffd173c5 },  // 209, 115, 197
    };

    for (const auto& c : cases)
        EXPECT_EQ (automaticStemColour (c.n), c.argb) << c.n;
}
