#include <gtest/gtest.h>

#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/pages/preset/StemAdditions.h"
#include "ui/pages/preset/StemTemplateMenu.h"

namespace dunmoor::ui
{
namespace
{
    using testing::listMenuItems;

    StemSchema schemaOfPlainStems (int count)
    {
        StemSchema schema;
        (void) StemAdditions::addPlainStems (schema, count);
        return schema;
    }

    StemTemplate userTemplate (const juce::String& name, const juce::String& code = "USR")
    {
        return makeTemplateFromForm (name, code, "one, two", "", 0);
    }

    /** The menu's top-level items (submenus not entered). */
    std::vector<juce::String> topLevelTexts (const juce::PopupMenu& menu)
    {
        std::vector<juce::String> texts;
        juce::PopupMenu::MenuItemIterator it (menu, false);

        while (it.next())
            texts.push_back (it.getItem().isSeparator ? juce::String ("---") : it.getItem().text);

        return texts;
    }
} // namespace

TEST (StemTemplateMenu, WithoutUserTemplatesTheGroupsComeFirstInCatalogueOrder)
{
    const auto& catalogue = getBuiltInTemplates();
    const auto m = StemTemplateMenu::build ({}, catalogue, true);

    std::vector<juce::String> expected;

    for (const auto& group : getBuiltInTemplateGroups())
        expected.push_back (group);

    expected.push_back ("---");
    expected.push_back ("New template...");
    EXPECT_EQ (topLevelTexts (m.menu), expected);

    // Ids 1, 2, 3... run through the groups in menu order and lead back to the catalogue.
    int id = 0;

    for (const auto& item : listMenuItems (m.menu))
    {
        if (item.separator || item.hasSubMenu || item.id == StemTemplateMenu::newTemplateId)
            continue;

        EXPECT_EQ (item.id, ++id);
        const auto choice = m.decode (item.id);
        ASSERT_EQ (choice.kind, StemTemplateMenu::Choice::Kind::builtInTemplate);
        EXPECT_EQ (item.text, StemTemplateMenu::itemText (catalogue[(size_t) choice.index]));
        EXPECT_TRUE (item.enabled);
    }

    EXPECT_EQ (id, (int) catalogue.size());
    EXPECT_TRUE (StemTemplateMenu::itemText (makeTemplateFromForm ("Hits", "", "a, b, c", "d", 0)) == "Hits   (3 keywords, 1 exclusion)");
}

TEST (StemTemplateMenu, UserTemplatesAndTheirForgetItems)
{
    const std::vector<StemTemplate> user { userTemplate ("Alpha"), userTemplate ("Beta") };
    const auto m = StemTemplateMenu::build (user, getBuiltInTemplates(), true);

    const auto top = topLevelTexts (m.menu);
    ASSERT_GE (top.size(), 2u);
    EXPECT_EQ (top[0], "User");
    EXPECT_EQ (top[1], "---");

    const auto items = listMenuItems (m.menu);
    const auto find = [&items] (int id)
    {
        for (const auto& item : items)
            if (item.id == id && ! item.hasSubMenu)
                return item;

        return testing::MenuItemInfo {};
    };

    EXPECT_EQ (find (9100).text, "Alpha   (2 keywords)");
    EXPECT_EQ (find (9101).text, "Beta   (2 keywords)");
    EXPECT_EQ (find (9700).text, "Alpha");
    EXPECT_EQ (find (9701).text, "Beta");

    using Kind = StemTemplateMenu::Choice::Kind;
    const struct { int id; Kind kind; int index; } cases[] = {
        { 0, Kind::nothing, -1 },          { -1, Kind::nothing, -1 },
        { 9000, Kind::newTemplate, -1 },   { 9100, Kind::userTemplate, 0 },
        { 9101, Kind::userTemplate, 1 },   { 9102, Kind::nothing, -1 },
        { 9700, Kind::forgetUserTemplate, 0 }, { 9701, Kind::forgetUserTemplate, 1 },
        { 9702, Kind::nothing, -1 },       { 1, Kind::builtInTemplate, 0 },
        { (int) getBuiltInTemplates().size() + 1, Kind::nothing, -1 },
    };

    for (const auto& c : cases)
    {
        const auto choice = m.decode (c.id);
        EXPECT_EQ (choice.kind, c.kind) << c.id;
        EXPECT_EQ (choice.index, c.index) << c.id;
    }

    // A full schema: every template item is disabled; "New template..." and forgetting are not.
    const auto full = StemTemplateMenu::build (user, getBuiltInTemplates(), false);

    for (const auto& item : listMenuItems (full.menu))
    {
        if (item.separator || item.hasSubMenu)
            continue;

        const bool stillOffered = item.id == StemTemplateMenu::newTemplateId || item.id >= StemTemplateMenu::firstForgetId;
        EXPECT_EQ (item.enabled, stillOffered) << item.text;
    }
}

TEST (StemTemplateMenu, FormWordsAreTrimmedAndDeduplicated)
{
    EXPECT_EQ (splitTemplateWords ("Bass, bass , ,Sub"), juce::StringArray ("Bass", "Sub"));
    EXPECT_EQ (splitTemplateWords ("  ,  , "), juce::StringArray());

    const auto t = makeTemplateFromForm ("  Hits ", " HIT ", "impact,  boom", "soft, SOFT", 3);
    EXPECT_EQ (t.group, "User");
    EXPECT_EQ (t.displayName, "Hits");
    EXPECT_EQ (t.shortCode, "HIT");
    EXPECT_EQ (t.keywords, juce::StringArray ("impact", "boom"));
    EXPECT_EQ (t.excludeKeywords, juce::StringArray ("soft"));
    EXPECT_EQ (t.colourARGB, automaticStemColour (3));

    // Nothing longer than a stored document holds.
    const auto longName = makeTemplateFromForm (juce::String::repeatedString ("n", 5000), "", "k", "", 0);
    EXPECT_EQ (longName.displayName.length(), 4096);
}

//==============================================================================
TEST (StemAdditions, CountMenuFollowsTheRoomLeft)
{
    const struct { int stems; int offered; } cases[] = { { 0, 20 }, { 16, 20 }, { 250, 6 }, { 255, 1 } };

    for (const auto& c : cases)
    {
        const auto room = StemAdditions::room (schemaOfPlainStems (c.stems));
        const auto items = listMenuItems (StemAdditions::buildCountMenu (room));
        ASSERT_EQ ((int) items.size(), c.offered + 2) << c.stems;
        EXPECT_EQ (items[(size_t) c.offered - 1].id, c.offered);
        EXPECT_EQ (items[(size_t) c.offered - 1].text, juce::String (c.offered));
        EXPECT_TRUE (items[(size_t) c.offered].separator);
        EXPECT_EQ (items.back().id, StemAdditions::askForCountId);
        EXPECT_EQ (items.back().text, "N stems...");
    }

    EXPECT_EQ (StemAdditions::room (schemaOfPlainStems (maxStems)), 0);
}

TEST (StemAdditions, TypedCountsSaturateInsteadOfWrapping)
{
    const struct { const char* text; int count; } cases[] = {
        { "24", 24 },
        { "12 apples", 12 },
        { "  7", 7 },
        { "twelve", 0 },
        { "", 0 },
        { "-3", -3 },
        { "+5", 5 },
        { "4294967298", 2147483647 }, // used to wrap to 2
        { "99999999999999999999999", 2147483647 },
        { "\xd9\xa3", 0 }, // a digit of another script is not a figure
    };

    for (const auto& c : cases)
        EXPECT_EQ (StemAdditions::parseCount (juce::String::fromUTF8 (c.text)), c.count) << c.text;
}

TEST (StemAdditions, PlainStemsAreNumberedAndStopAtTheLimit)
{
    auto schema = schemaOfPlainStems (5);
    auto added = StemAdditions::addPlainStems (schema, 3);
    EXPECT_EQ (added.added, 3);
    ASSERT_EQ (schema.stems.size(), 8u);

    for (int i = 5; i < 8; ++i)
    {
        const auto& stem = schema.stems[(size_t) i];
        EXPECT_EQ (stem.displayName, "Stem " + juce::String (i + 1));
        EXPECT_EQ (stem.shortCode, "S" + juce::String (i + 1));
        EXPECT_EQ (stem.colour, automaticStemColour (i));
        EXPECT_TRUE (stem.fileNameToken.isEmpty());
        EXPECT_TRUE (stem.rules.empty());
    }

    EXPECT_EQ (added.lastId, schema.stems.back().id);

    // After a delete the count points at a taken number: the next free one is used, with its
    // colour; a name written as a token or a code in another case counts as taken too.
    ASSERT_TRUE (schema.removeStem (schema.stems[2].id)); // Stem 3: seven left, Stem 8 exists
    schema.stems[0].fileNameToken = "stem 9";
    schema.stems[1].shortCode = "s10";
    added = StemAdditions::addPlainStems (schema, 1);
    EXPECT_EQ (schema.stems.back().displayName, "Stem 11");
    EXPECT_EQ (schema.stems.back().shortCode, "S11");
    EXPECT_EQ (schema.stems.back().colour, automaticStemColour (10));

    // 250 stems take 6 of 24; a full schema none.
    auto big = schemaOfPlainStems (250);
    added = StemAdditions::addPlainStems (big, 24);
    EXPECT_EQ (added.added, 6);
    EXPECT_EQ ((int) big.stems.size(), maxStems);
    EXPECT_EQ (StemAdditions::notAllFittedMessage (6, 24), "Added 6 of 24: a schema holds at most 256.");
    EXPECT_EQ (StemAdditions::addPlainStems (big, 1).added, 0);
    EXPECT_TRUE (StemAdditions::addFromTemplate (big, getBuiltInTemplates()[0]).isEmpty());
    EXPECT_EQ ((int) big.stems.size(), maxStems);
}

TEST (StemAdditions, TakenTemplateCodesAreNumbered)
{
    const StemTemplate* guitars = nullptr;

    for (const auto& t : getBuiltInTemplates())
        if (t.shortCode == "GTR")
            guitars = &t;

    ASSERT_NE (guitars, nullptr);

    StemSchema schema;

    for (const auto* expected : { "GTR", "GTR2", "GTR3" })
    {
        const auto id = StemAdditions::addFromTemplate (schema, *guitars);
        ASSERT_NE (schema.findStem (id), nullptr);
        EXPECT_EQ (schema.findStem (id)->shortCode, expected);
        EXPECT_EQ (schema.findStem (id)->displayName, guitars->displayName);
    }

    // A user template's code is numbered the same way; a blank code stays blank.
    schema.stems[1].shortCode = "usr";
    EXPECT_EQ (schema.findStem (StemAdditions::addFromTemplate (schema, userTemplate ("Mine", "USR")))->shortCode, "USR2");
    EXPECT_EQ (StemAdditions::uniqueShortCode (schema, ""), "");
    EXPECT_EQ (StemAdditions::uniqueShortCode (schema, "NEW"), "NEW");
}

} // namespace dunmoor::ui
