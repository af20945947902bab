#include <gtest/gtest.h>

#include "core/model/Validation.h"
#include "ui/pages/preset/StemTemplateMenu.h"
#include "ui/pages/preset/PresetPageTestSupport.h"

namespace dunmoor::testing
{
namespace
{
    using PresetPageAdding = PresetPageFixture;

    int catalogueIndexOfCode (const juce::String& code)
    {
        const auto& catalogue = getBuiltInTemplates();

        for (size_t i = 0; i < catalogue.size(); ++i)
            if (catalogue[i].shortCode == code)
                return (int) i;

        return -1;
    }

    /** The item id the "Add stem" menu gives a built-in template. */
    int menuIdOfTemplate (const std::vector<MenuItemInfo>& items, const StemTemplate& stemTemplate)
    {
        for (const auto& item : items)
            if (item.text == ui::StemTemplateMenu::itemText (stemTemplate) && ! item.hasSubMenu)
                return item.id;

        return 0;
    }

    /** A preset of n plain stems, current in the session. */
    void fillWithStems (Session& session, int n)
    {
        auto preset = makeEmptyPreset();
        preset.id = "many";

        for (int i = 0; i < n; ++i)
        {
            Stem stem;
            stem.displayName = "Old " + juce::String (i + 1);
            preset.schema.addStem (stem);
        }

        session.setPreset (preset);
    }

    //==============================================================================
    TEST_F (PresetPageAdding, TemplatesFromTheMenuNumberTakenCodesAndAskAboutTakenNames)
    {
        click ("Add stem");
        auto items = seams->lastMenuItems();
        EXPECT_FALSE (std::any_of (items.begin(), items.end(), [] (const MenuItemInfo& i) { return i.text == "User"; }));
        EXPECT_FALSE (items.front().separator);

        const auto& guitars = getBuiltInTemplates()[(size_t) catalogueIndexOfCode ("GTR")];
        const int id = menuIdOfTemplate (items, guitars);
        ASSERT_GT (id, 0);
        seams->chooseMenuItem (id);
        ASSERT_EQ (working().schema.stems.size(), 1u);
        EXPECT_EQ (working().schema.stems[0].shortCode, "GTR");
        EXPECT_EQ (stemPanel().getCurrentStemId(), working().schema.stems[0].id);
        EXPECT_EQ (stems().getSelectedRow(), 0);

        // The second and third are asked about; OK adds them with numbered codes.
        for (const auto* code : { "GTR2", "GTR3" })
        {
            click ("Add stem");
            seams->chooseMenuItem (menuIdOfTemplate (seams->lastMenuItems(), guitars));
            ASSERT_EQ (lastBoxTitle(), "That name is already taken");
            answer (true);
            EXPECT_EQ (working().schema.stems.back().shortCode, code);
        }

        // Cancel adds nothing.
        click ("Add stem");
        seams->chooseMenuItem (menuIdOfTemplate (seams->lastMenuItems(), guitars));
        answer (false);
        EXPECT_EQ (working().schema.stems.size(), 3u);
        EXPECT_EQ (status(), "Unsaved changes in this session");

        // A user template whose code a stem already has is numbered the same way.
        juce::String error;
        ASSERT_TRUE (app->templateStore.addOrReplace (ui::makeTemplateFromForm ("Twang", "GTR", "twang", "", 0), error)) << error;
        click ("Add stem");
        items = seams->lastMenuItems();
        EXPECT_EQ (items.front().text, "User");
        seams->chooseMenuItem (ui::StemTemplateMenu::firstUserTemplateId);
        EXPECT_EQ (working().schema.stems.back().displayName, "Twang");
        EXPECT_EQ (working().schema.stems.back().shortCode, "GTR4");
    }

    TEST_F (PresetPageAdding, RunsOfPlainStemsAndTheirCount)
    {
        fillWithStems (session(), 250);

        click ("Add N stems");
        auto items = seams->lastMenuItems();
        ASSERT_EQ (items.size(), 8u);
        EXPECT_EQ (items[5].text, "6");
        ASSERT_TRUE (seams->chooseMenuItemNamed ("N stems..."));
        ASSERT_EQ (seams->prompts.size(), 1u);
        EXPECT_EQ (seams->prompts.back().request.title, "Add several stems");
        EXPECT_EQ (seams->prompts.back().request.fields[0].initialText, "24");
        seams->answerPrompt (true, { "24" });
        EXPECT_EQ ((int) working().schema.stems.size(), maxStems);
        EXPECT_EQ (lastBoxTitle(), "Not all of them fitted");
        EXPECT_EQ (seams->lastBox()->request.message, "Added 6 of 24: a schema holds at most 256.");
        EXPECT_EQ (working().schema.stems.back().displayName, "Stem 256");
        EXPECT_EQ (stemPanel().getCurrentStemId(), working().schema.stems.back().id);

        // A full schema: every way of adding refuses.
        const auto boxes = seams->boxes.size();
        click ("Add N stems");
        EXPECT_EQ (lastBoxTitle(), "No room for more stems");
        EXPECT_EQ (seams->lastBox()->request.message, "A schema holds at most 256 stems.");

        stemPanel().showStemContextMenu (3);
        ASSERT_TRUE (seams->chooseMenuItemNamed ("Add stem"));
        stemPanel().showStemContextMenu (3);
        ASSERT_TRUE (seams->chooseMenuItemNamed ("Add several stems..."));
        stemPanel().getAdder().addStemFromTemplate (0);
        EXPECT_EQ (seams->boxes.size(), boxes + 4);
        EXPECT_EQ (lastBoxTitle(), "No room for more stems");

        click ("Add stem");

        for (const auto& item : seams->lastMenuItems())
        {
            if (! item.separator && ! item.hasSubMenu)
            {
                EXPECT_EQ (item.enabled, item.id == ui::StemTemplateMenu::newTemplateId) << item.text;
            }
        }

        seams->dismissMenu();
        EXPECT_EQ ((int) working().schema.stems.size(), maxStems);
    }

    TEST_F (PresetPageAdding, TypedCounts)
    {
        fillWithStems (session(), 2);

        const struct { const char* typed; int added; const char* box; } cases[] = {
            { "twelve", 0, "That is not a number of stems" },
            { "0", 0, "That is not a number of stems" },
            { "12 apples", 12, "" },
            { "   ", 0, "" },                               // an empty answer does nothing
            { "4294967298", 242, "Not all of them fitted" }, // used to wrap round to 2
        };

        for (const auto& c : cases)
        {
            const auto before = (int) working().schema.stems.size();
            const auto boxes = seams->boxes.size();
            stemPanel().getAdder().askForStemCount();
            seams->answerPrompt (true, { c.typed });
            EXPECT_EQ ((int) working().schema.stems.size() - before, c.added) << c.typed;
            EXPECT_EQ (juce::String (c.box).isEmpty() ? seams->boxes.size() : seams->boxes.size() - 1, boxes) << c.typed;

            if (juce::String (c.box).isNotEmpty())
            {
                EXPECT_EQ (lastBoxTitle(), c.box) << c.typed;
            }
        }

        EXPECT_EQ (seams->lastBox()->request.message, "Added 242 of 2147483647: a schema holds at most 256.");
    }

    // After a delete, "Add N stems" used to repeat a name and code, and the preset could then be
    // neither saved nor rendered.
    TEST_F (PresetPageAdding, PlainStemsSkipANameOrCodeInUse)
    {
        click ("Add N stems");
        ASSERT_TRUE (seams->chooseMenuItemNamed ("3"));
        ASSERT_EQ (working().schema.stems.size(), 3u);
        stems().selectRow (0);
        click ("Delete stem");
        answer (true);

        stemPanel().showStemContextMenu (0);
        ASSERT_TRUE (seams->chooseMenuItemNamed ("Add stem"));
        const auto& stems = working().schema.stems;
        ASSERT_EQ (stems.size(), 3u);
        EXPECT_EQ (stems.back().displayName, "Stem 4");
        EXPECT_EQ (stems.back().shortCode, "S4");
        EXPECT_EQ (stems.back().colour, automaticStemColour (3));
        EXPECT_TRUE (validateSchema (working().schema).errors.isEmpty()) << validateSchema (working().schema).errors.joinIntoString ("\n");
    }

    //==============================================================================
    TEST_F (PresetPageAdding, SavingATemplateAddsAStemFromIt)
    {
        const auto saveTemplate = [this] (const juce::StringArray& fields)
        {
            click ("Add stem");
            seams->chooseMenuItem (ui::StemTemplateMenu::newTemplateId);
            ASSERT_FALSE (seams->prompts.empty());
            const auto& request = seams->prompts.back().request;
            EXPECT_EQ (request.title, "New stem template");
            EXPECT_EQ (request.okText, "Save");
            ASSERT_EQ (request.fields.size(), 4u);
            EXPECT_EQ (request.fields[3].label, "Never match");
            EXPECT_EQ (request.fields[2].maxLength, 4096);
            seams->answerPrompt (true, fields);
        };

        saveTemplate ({ "Low End", "LOW", "Bass, bass , ,Sub", "" });
        ASSERT_EQ (app->templateStore.getTemplates().size(), 1u);
        EXPECT_EQ (app->templateStore.getTemplates()[0].keywords, juce::StringArray ("Bass", "Sub"));
        ASSERT_EQ (working().schema.stems.size(), 1u);
        EXPECT_EQ (working().schema.stems[0].displayName, "Low End");
        EXPECT_EQ (working().schema.stems[0].rules.size(), 2u);

        // No keywords: refused, nothing added.
        saveTemplate ({ "Empty", "", " , ", "" });
        EXPECT_EQ (lastBoxTitle(), "The template was not saved");
        EXPECT_EQ (seams->lastBox()->request.message, "A template needs at least one keyword, or it would match nothing.");
        EXPECT_EQ (working().schema.stems.size(), 1u);
        answer (true);

        // The same name again replaces the template, then asks about the stem's name.
        saveTemplate ({ "low end", "LOW", "sub", "" });
        ASSERT_EQ (app->templateStore.getTemplates().size(), 1u);
        EXPECT_EQ (app->templateStore.getTemplates()[0].keywords, juce::StringArray ("sub"));
        EXPECT_EQ (lastBoxTitle(), "That name is already taken");
        answer (true);
        ASSERT_EQ (working().schema.stems.size(), 2u);
        EXPECT_EQ (working().schema.stems[1].shortCode, "LOW2");

        // Forgetting asks, and leaves the stems made from it alone.
        click ("Add stem");
        seams->chooseMenuItem (ui::StemTemplateMenu::firstForgetId);
        EXPECT_EQ (lastBoxTitle(), "Forget this template?");
        answer (true);
        EXPECT_TRUE (app->templateStore.getTemplates().empty());
        EXPECT_EQ (working().schema.stems.size(), 2u);
        EXPECT_EQ (working().schema.stems[0].displayName, "Low End");
    }

    TEST_F (PresetPageAdding, ATemplateStoreThatCannotBeWrittenAddsNothing)
    {
        const auto file = app->templateStore.getFile();

        // A file that could not be read is left as it is, and the message names it.
        ASSERT_TRUE (file.replaceWithText ("{ \"templates\": [ broken"));
        app->templateStore.load();
        stemPanel().getAdder().showTemplateEditor();
        seams->answerPrompt (true, { "Hits", "HIT", "impact", "" });
        EXPECT_EQ (lastBoxTitle(), "The template was not saved");
        EXPECT_TRUE (seams->lastBox()->request.message.contains (file.getFullPathName()));
        EXPECT_EQ (file.loadFileAsString(), "{ \"templates\": [ broken");
        EXPECT_TRUE (working().schema.stems.empty());

        // A write that fails: the store keeps the template for this run, no stem is added.
        ASSERT_TRUE (file.deleteFile());
        app->templateStore.load();
        ASSERT_TRUE (file.createDirectory());
        stemPanel().getAdder().showTemplateEditor();
        seams->answerPrompt (true, { "Hits", "HIT", "impact", "" });
        EXPECT_EQ (lastBoxTitle(), "The template was not saved");
        EXPECT_TRUE (working().schema.stems.empty());
        EXPECT_EQ (app->templateStore.getTemplates().size(), 1u);
    }
} // namespace
} // namespace dunmoor::testing
