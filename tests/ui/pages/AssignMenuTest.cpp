#include <gtest/gtest.h>

#include "session/SessionTestSupport.h"
#include "ui/pages/AssignMenu.h"

namespace dunmoor::ui
{
namespace
{
    using namespace dunmoor::testing;

    struct MenuEntry
    {
        int id;
        juce::String text;
        bool enabled;
        bool ticked;
        juce::String path; // the submenus above it, joined with " > "
    };

    void collect (const juce::PopupMenu& menu, const juce::String& path, std::vector<MenuEntry>& out)
    {
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            const auto& item = it.getItem();

            if (item.isSeparator)
                out.push_back ({ 0, "---", false, false, path });
            else if (item.subMenu != nullptr)
            {
                out.push_back ({ 0, item.text + " >", item.isEnabled, false, path });
                collect (*item.subMenu, path.isEmpty() ? item.text : path + " > " + item.text, out);
            }
            else
                out.push_back ({ item.itemID, item.isSectionHeader ? "# " + item.text : item.text, item.isEnabled, item.isTicked, path });
        }
    }

    std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
    {
        std::vector<MenuEntry> out;
        collect (menu, {}, out);
        return out;
    }

    const MenuEntry* findEntry (const std::vector<MenuEntry>& entries, const juce::String& text)
    {
        for (const auto& e : entries)
            if (e.text == text)
                return &e;

        return nullptr;
    }

    /** The top-level texts in order, submenus marked with " >". */
    juce::StringArray topLevel (const std::vector<MenuEntry>& entries)
    {
        juce::StringArray texts;

        for (const auto& e : entries)
            if (e.path.isEmpty())
                texts.add (e.text);

        return texts;
    }

    StemSchema schemaOf (std::initializer_list<const char*> names)
    {
        StemSchema schema;

        for (auto name : names)
        {
            Stem stem;
            stem.displayName = name;
            schema.addStem (stem);
        }

        return schema;
    }

    /** A session holding the orchestra preset and three tracks; the template store in a folder. */
    struct Fixture
    {
        Fixture()
        {
            writeTinyWav (temp.file ("Cue/Violins.wav"));
            writeTinyWav (temp.file ("Cue/Pad 1.wav"));
            writeTinyWav (temp.file ("Cue/Vox.wav"));
            session.setPreset (makeOrchestraPreset());
            (void) session.importFiles ({ temp.file ("Cue") }, false);
        }

        juce::StringArray ids (std::initializer_list<const char*> names) const
        {
            juce::StringArray result;

            for (auto name : names)
                result.add (trackIdNamed (session, name));

            return result;
        }

        TemporaryFolder temp;
        Session session;
        TemplateStore store { temp.file ("StemTemplates.json") };
    };
} // namespace

TEST (AssignMenu, ItemsKeepSchemaIdsInAlphabeticalOrder)
{
    const auto schema = schemaOf ({ "Strings", "brass", "Percussion" });
    const auto entries = entriesOf (buildAssignMenu (schema, {}, { 2, true, true }));

    EXPECT_EQ (topLevel (entries).joinIntoString ("|"),
               "# 2 track(s) selected|Unassigned|---|02  brass|03  Percussion|01  Strings|---"
               "|New stem from template >|New stem|---|Rename file|Sort stems alphabetically");

    // The first item shown is the schema's second stem and carries its position.
    EXPECT_EQ (findEntry (entries, "02  brass")->id, AssignMenuIds::firstStem + 1);
    EXPECT_EQ (findEntry (entries, "01  Strings")->id, AssignMenuIds::firstStem + 0);
    EXPECT_FALSE (findEntry (entries, "Rename file")->enabled) << "two tracks";
    EXPECT_TRUE (findEntry (entries, "Sort stems alphabetically")->ticked);

    const auto single = entriesOf (buildAssignMenu (schema, {}, { 1, false, true }));
    EXPECT_TRUE (findEntry (single, "Rename file")->enabled);
    EXPECT_FALSE (findEntry (single, "Sort stems alphabetically")->ticked);
    EXPECT_EQ (topLevel (single)[3], "01  Strings") << "schema order when the setting is off";

    // An empty schema: the Import page says so in a disabled item.
    const auto empty = entriesOf (buildAssignMenu ({}, {}, { 1, false, true }));
    ASSERT_NE (findEntry (empty, "This preset has no stems"), nullptr);
    EXPECT_FALSE (findEntry (empty, "This preset has no stems")->enabled);
    EXPECT_EQ (findEntry (entriesOf (buildAssignMenu ({}, {}, { 1, false, false })), "This preset has no stems"), nullptr);
}

TEST (AssignMenu, NewStemItemsByGroupAndUserTemplatesOnlyWhenThereAreSome)
{
    const auto schema = schemaOf ({ "Strings" });
    const auto entries = entriesOf (buildAssignMenu (schema, {}, { 1, false, true }));
    const auto& catalogue = getBuiltInTemplates();

    EXPECT_EQ (findEntry (entries, "New stem from user template >"), nullptr);

    juce::StringArray groups;

    for (const auto& e : entries)
        if (e.path == "New stem from template")
            groups.add (e.text.dropLastCharacters (2));

    auto expectedGroups = getBuiltInTemplateGroups();
    expectedGroups.removeString ("Blank");
    EXPECT_EQ (groups, expectedGroups);
    EXPECT_FALSE (groups.contains ("Blank"));

    // Every catalogue template but the blank one, under its group, addressed by catalogue position.
    int listed = 0;

    for (const auto& e : entries)
    {
        if (e.id >= AssignMenuIds::firstBuiltInTemplate && e.id < AssignMenuIds::newStemRangeEnd)
        {
            const auto& t = catalogue[(size_t) (e.id - AssignMenuIds::firstBuiltInTemplate)];
            EXPECT_EQ (e.text, t.displayName);
            EXPECT_EQ (e.path, "New stem from template > " + t.group);
            ++listed;
        }
    }

    EXPECT_EQ (listed, (int) catalogue.size() - 1);

    StemTemplate mine;
    mine.displayName = "Pads";
    const auto withUser = entriesOf (buildAssignMenu (schema, { mine }, { 1, false, true }));
    ASSERT_NE (findEntry (withUser, "Pads"), nullptr);
    EXPECT_EQ (findEntry (withUser, "Pads")->id, AssignMenuIds::firstUserTemplate);
    EXPECT_EQ (findEntry (withUser, "Pads")->path, "New stem from user template");

    // A full schema disables every way to a new stem, the group submenus excepted.
    StemSchema full;

    for (int i = 0; i < maxStems; ++i)
        full.addStem (Stem {});

    for (const auto& e : entriesOf (buildAssignMenu (full, { mine }, { 1, false, true })))
    {
        if (isNewStemMenuItem (e.id) || e.text == "New stem from template >" || e.text == "New stem from user template >")
        {
            EXPECT_FALSE (e.enabled) << e.text;
        }
        else if (e.path.startsWith ("New stem from template") && e.id == 0)
        {
            EXPECT_TRUE (e.enabled) << e.text;
        }
    }
}

TEST (AssignMenu, ChosenIdsDecodeAgainstTheCurrentLists)
{
    using Kind = AssignMenuChoice::Kind;
    const auto schema = schemaOf ({ "Strings", "Brass" });
    StemTemplate mine;
    mine.displayName = "Pads";
    const std::vector<StemTemplate> user { mine };
    const auto& catalogue = getBuiltInTemplates();
    const auto blank = (int) catalogue.size() - 1;
    ASSERT_EQ (catalogue[(size_t) blank].group, "Blank");

    StemSchema full;

    for (int i = 0; i < maxStems; ++i)
        full.addStem (Stem {});

    struct Case
    {
        int id;
        const StemSchema* schema;
        int tracks;
        Kind kind;
        juce::String stemOrTemplate;
    };

    const Case cases[] = {
        { 0, &schema, 2, Kind::nothing, {} },
        { AssignMenuIds::noStems, &schema, 2, Kind::nothing, {} },
        { AssignMenuIds::unassigned, &schema, 2, Kind::unassign, {} },
        { AssignMenuIds::firstStem, &schema, 2, Kind::assignToStem, schema.stems[0].id },
        { AssignMenuIds::firstStem + 1, &schema, 2, Kind::assignToStem, schema.stems[1].id },
        { AssignMenuIds::firstStem + 2, &schema, 2, Kind::nothing, {} }, // a stem that has gone since the menu opened
        { AssignMenuIds::sortAlphabetically, &schema, 2, Kind::toggleAlphabetical, {} },
        { AssignMenuIds::renameFile, &schema, 2, Kind::renameFile, {} },
        { AssignMenuIds::newStem, &schema, 2, Kind::newStemPrompt, {} },
        { AssignMenuIds::newStem + 500, &schema, 2, Kind::refusedNewStem, {} },
        { AssignMenuIds::firstUserTemplate, &schema, 2, Kind::fromTemplate, "Pads" },
        { AssignMenuIds::firstUserTemplate + 1, &schema, 2, Kind::refusedNewStem, {} }, // past the store's list
        { AssignMenuIds::firstBuiltInTemplate, &schema, 2, Kind::fromTemplate, catalogue[0].displayName },
        { AssignMenuIds::firstBuiltInTemplate + blank, &schema, 2, Kind::fromTemplate, catalogue[(size_t) blank].displayName },
        { AssignMenuIds::firstBuiltInTemplate + blank + 1, &schema, 2, Kind::refusedNewStem, {} },
        { AssignMenuIds::newStemRangeEnd - 1, &schema, 2, Kind::refusedNewStem, {} },
        { AssignMenuIds::newStemRangeEnd, &schema, 2, Kind::nothing, {} },
        { AssignMenuIds::newStem, &schema, 0, Kind::refusedNewStem, {} }, // no tracks
        { AssignMenuIds::newStem, &full, 2, Kind::refusedNewStem, {} },   // 256 stems
        { AssignMenuIds::firstUserTemplate, &full, 2, Kind::refusedNewStem, {} },
        { AssignMenuIds::firstStem, &full, 2, Kind::assignToStem, full.stems[0].id },
    };

    for (const auto& c : cases)
    {
        const auto choice = decodeAssignMenuItem (c.id, *c.schema, user, c.tracks);
        EXPECT_EQ ((int) choice.kind, (int) c.kind) << "id " << c.id;
        EXPECT_EQ (choice.kind == Kind::fromTemplate ? choice.stemTemplate.displayName : choice.stemId, c.stemOrTemplate) << "id " << c.id;
    }
}

TEST (AssignMenu, TypedNamesMakeStemsKeptAsTemplates)
{
    Fixture f;
    const auto stemsBefore = f.session.getPreset().schema.stems.size();

    // A single word gives a token rule and a user template of that name.
    auto outcome = createStemFromTypedName (f.session, f.store, "  Pads ", f.ids ({ "Pad 1.wav" }));
    ASSERT_EQ ((int) outcome.kind, (int) NewStemOutcome::Kind::created);
    const auto* pads = f.session.getPreset().schema.findStem (outcome.stemId);
    ASSERT_NE (pads, nullptr);
    EXPECT_EQ (pads->displayName, "Pads");
    EXPECT_EQ (pads->fileNameToken, "Pads");
    EXPECT_EQ (pads->index, (int) stemsBefore + 1);
    EXPECT_EQ (pads->colour, automaticStemColour ((int) stemsBefore));
    ASSERT_EQ (pads->rules.size(), 1u);
    EXPECT_EQ (pads->rules[0].pattern, "Pads");
    EXPECT_EQ (pads->rules[0].mode, MatchMode::token);
    EXPECT_EQ (trackNamed (f.session, "Pad 1.wav")->stemId, outcome.stemId);
    EXPECT_EQ (trackNamed (f.session, "Pad 1.wav")->source, AssignmentSource::manual);

    ASSERT_EQ (f.store.getTemplates().size(), 1u);
    EXPECT_EQ (f.store.getTemplates()[0].group, "User");
    EXPECT_EQ (f.store.getTemplates()[0].keywords, juce::StringArray ("Pads"));
    EXPECT_TRUE (f.store.getFile().existsAsFile());

    // A name with a space is one phrase rule.
    outcome = createStemFromTypedName (f.session, f.store, "Lead Vocal", f.ids ({ "Vox.wav" }));
    const auto* lead = f.session.getPreset().schema.findStem (outcome.stemId);
    ASSERT_NE (lead, nullptr);
    EXPECT_EQ (lead->rules[0].mode, MatchMode::phrase);
    EXPECT_EQ (lead->rules[0].pattern, "Lead Vocal");

    // A name a stem already carries, as its token in another case and with spaces around it.
    auto preset = f.session.getPreset();
    preset.schema.stems[2].fileNameToken = "drums";
    f.session.updatePreset (preset);
    const auto stems = f.session.getPreset().schema.stems.size();
    outcome = createStemFromTypedName (f.session, f.store, " Drums ", f.ids ({ "Vox.wav" }));
    EXPECT_EQ ((int) outcome.kind, (int) NewStemOutcome::Kind::refused);
    EXPECT_EQ (outcome.title, "That name is already taken");
    EXPECT_EQ (outcome.message, "Stem 03 is already called 'Percussion'. Assign these tracks to it instead, or pick another name.");
    EXPECT_EQ (f.session.getPreset().schema.stems.size(), stems);

    // A name no stored document could hold back is refused before anything changes.
    outcome = createStemFromTypedName (f.session, f.store, juce::String::repeatedString ("x", 4097), f.ids ({ "Vox.wav" }));
    EXPECT_EQ ((int) outcome.kind, (int) NewStemOutcome::Kind::refused);
    EXPECT_EQ (outcome.title, "That name is too long");
    EXPECT_EQ (f.session.getPreset().schema.stems.size(), stems);

    // Blank names and empty selections do nothing.
    EXPECT_EQ ((int) createStemFromTypedName (f.session, f.store, "   ", f.ids ({ "Vox.wav" })).kind, (int) NewStemOutcome::Kind::nothing);
    EXPECT_EQ ((int) createStemFromTypedName (f.session, f.store, "Choir", {}).kind, (int) NewStemOutcome::Kind::nothing);
    EXPECT_EQ (f.session.getPreset().schema.stems.size(), stems);

    // Another session without the stem makes it again, but keeps no second template.
    Session other;
    other.setPreset (makeOrchestraPreset());
    (void) other.importFiles ({ f.temp.file ("Cue") }, false);
    outcome = createStemFromTypedName (other, f.store, "pads", { trackIdNamed (other, "Pad 1.wav") });
    EXPECT_EQ ((int) outcome.kind, (int) NewStemOutcome::Kind::created);
    EXPECT_EQ (f.store.getTemplates().size(), 1u) << "Pads; Lead Vocal is a built-in template";
}

TEST (AssignMenu, KeptTemplatesNeverOverwriteWhatCouldNotBeRead)
{
    Fixture f;
    const auto text = "{ \"format\": \"brackenfold.stemtemplates\", \"templates\": [ broken";
    ASSERT_TRUE (f.store.getFile().replaceWithText (text));
    f.store.load();
    ASSERT_TRUE (f.store.hasLoadFailed());

    const auto outcome = createStemFromTypedName (f.session, f.store, "Pads", f.ids ({ "Pad 1.wav" }));
    EXPECT_EQ ((int) outcome.kind, (int) NewStemOutcome::Kind::created) << "the stem is made all the same";
    EXPECT_EQ (f.store.getFile().loadFileAsString(), text);

    // A built-in template's name is not kept as a user template either.
    TemplateStore fresh (f.temp.file ("Other.json"));
    Stem stem;
    stem.displayName = getBuiltInTemplates()[0].displayName.toUpperCase();
    EXPECT_FALSE (keepStemAsTemplate (fresh, stem));
    EXPECT_TRUE (fresh.getTemplates().empty());
}

TEST (AssignMenu, TemplatesOfAnExistingNameAssignWithoutASecondStem)
{
    Fixture f;
    const auto& schema = f.session.getPreset().schema;
    const auto stems = schema.stems.size();

    StemTemplate brass;
    brass.displayName = "brass";
    brass.keywords.add ("horns");
    assignToStemFromTemplate (f.session, brass, f.ids ({ "Vox.wav" }));
    EXPECT_EQ (f.session.getPreset().schema.stems.size(), stems);
    EXPECT_EQ (trackNamed (f.session, "Vox.wav")->stemId, stemIdNamed (f.session, "Brass"));

    // A new name is made from the template, its keywords as rules, and nothing is stored.
    StemTemplate choir;
    choir.displayName = "Choir";
    choir.keywords.add ("choir");
    choir.keywords.add ("boys choir");
    assignToStemFromTemplate (f.session, choir, f.ids ({ "Vox.wav", "Pad 1.wav" }));
    const auto choirId = stemIdNamed (f.session, "Choir");
    ASSERT_TRUE (choirId.isNotEmpty());
    EXPECT_EQ (f.session.getPreset().schema.findStem (choirId)->rules.size(), 2u);
    EXPECT_EQ (trackNamed (f.session, "Pad 1.wav")->stemId, choirId);
    EXPECT_FALSE (f.store.getFile().exists());
}

} // namespace dunmoor::ui
