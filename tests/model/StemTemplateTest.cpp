#include <gtest/gtest.h>

#include "core/model/BuiltInPresets.h"
#include "core/model/StemTemplate.h"

using namespace dunmoor;

TEST (StemTemplate, CatalogueGroupsAndOrder)
{
    EXPECT_EQ (getBuiltInTemplateGroups(), juce::StringArray ("Default schema", "Combined", "Specialised", "Blank"));

    const auto& catalogue = getBuiltInTemplates();
    ASSERT_EQ (catalogue.size(), 16u + 14u + 1u);

    const auto schema = makeDefaultSchema();

    for (size_t i = 0; i < schema.stems.size(); ++i)
    {
        const auto& t = catalogue[i];
        const auto& stem = schema.stems[i];
        EXPECT_EQ (t.group, "Default schema");
        EXPECT_EQ (t.displayName, stem.displayName);
        EXPECT_EQ (t.shortCode, stem.shortCode);
        EXPECT_EQ (t.colourARGB, stem.colour);
        EXPECT_EQ (t.keywords.size(), (int) stem.rules.size()) << t.displayName;   // no repeated pattern in a stem
        EXPECT_EQ (t.excludeKeywords, stem.excludeKeywords);
    }

    EXPECT_EQ (catalogue[16].displayName, "Percussion");
    EXPECT_EQ (catalogue[16].keywords.size(), 19);
    EXPECT_EQ (catalogue[17].excludeKeywords, juce::StringArray ("synth bass", "bass synth"));
    EXPECT_EQ (catalogue[29].displayName, "Click and Reference");
    EXPECT_EQ (catalogue[29].colourARGB, 0xff62686du);

    const auto& blank = catalogue.back();
    EXPECT_EQ (blank.group, "Blank");
    EXPECT_EQ (blank.displayName, "New stem");
    EXPECT_EQ (blank.shortCode, "NEW");
    EXPECT_EQ (blank.colourARGB, 0xff8a8f94u);
    EXPECT_TRUE (blank.keywords.isEmpty());
}

TEST (StemTemplate, CreateStemAndDescribe)
{
    const auto& catalogue = getBuiltInTemplates();
    const auto lead = std::find_if (catalogue.begin(), catalogue.end(), [] (const StemTemplate& t) { return t.displayName == "Lead Vocal"; });
    ASSERT_NE (lead, catalogue.end());

    const auto stem = lead->createStem();
    EXPECT_EQ (stem.id.length(), 36);
    EXPECT_NE (stem.id, lead->createStem().id);
    EXPECT_EQ (stem.displayName, "Lead Vocal");
    EXPECT_EQ (stem.fileNameToken, "Lead Vocal");
    EXPECT_EQ (stem.shortCode, "LVX");
    EXPECT_EQ (stem.colour, 0xffe0607au);
    EXPECT_EQ (stem.excludeKeywords, juce::StringArray ("backing", "bvs", "choir"));
    EXPECT_EQ (stem.index, 1);
    EXPECT_FALSE (stem.hasEmptyPolicy);
    ASSERT_EQ (stem.rules.size(), 5u);

    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ (stem.rules[i].mode, MatchMode::phrase) << stem.rules[i].pattern;

    EXPECT_EQ (stem.rules[4].pattern, "singer");
    EXPECT_EQ (stem.rules[4].mode, MatchMode::token);

    for (const auto& rule : stem.rules)
    {
        EXPECT_EQ (rule.priority, 0);
        EXPECT_TRUE (rule.excludes.isEmpty());
        EXPECT_TRUE (rule.note.isEmpty());
    }

    EXPECT_EQ (lead->describeKeywords(), "5 keywords, 3 exclusions");
    EXPECT_EQ (makeTemplate ("g", "n", "c", 0, { "one" }, {}).describeKeywords(), "1 keyword");
    EXPECT_EQ (makeTemplate ("g", "n", "c", 0, {}, { "a", "b" }).describeKeywords(), "0 keywords, 2 exclusions");
    EXPECT_EQ (makeTemplate ("g", "n", "c", 0, {}, { "a" }).describeKeywords(), "0 keywords, 1 exclusion");
}
