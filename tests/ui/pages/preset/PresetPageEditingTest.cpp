#include <functional>

#include <gtest/gtest.h>

#include "session/SessionTestSupport.h"
#include "ui/pages/preset/PresetPageTestSupport.h"

namespace dunmoor::testing
{
namespace
{
    using PresetPageEditing = PresetPageFixture;

    juce::StringArray stemNames (const Preset& preset)
    {
        juce::StringArray names;

        for (const auto& stem : preset.schema.stems)
            names.add (stem.displayName);

        return names;
    }

    //==============================================================================
    TEST_F (PresetPageEditing, LayoutAndTabOrder)
    {
        loadExample();
        EXPECT_EQ (boundsOnPage (stems()).getX(), 364);
        EXPECT_EQ (boundsOnPage (field ("Name")).getX(), page->getWidth() - 12 - 320 + 135);

        // Tab walks each block and wraps; Shift+Tab walks back.
        auto& version = field ("Version");
        version.grabKeyboardFocus();
        version.moveKeyboardFocusToSibling (true); // what the window does with an unused Tab
        EXPECT_TRUE (findByTitle<juce::ComboBox> (*page, "Numbering")->hasKeyboardFocus (true));

        button ("Match singular and plural").grabKeyboardFocus();
        button ("Match singular and plural").moveKeyboardFocusToSibling (true);
        EXPECT_TRUE (field ("Publisher").hasKeyboardFocus (true));
        field ("Publisher").moveKeyboardFocusToSibling (false);
        EXPECT_TRUE (button ("Match singular and plural").hasKeyboardFocus (true));

        // A hidden or disabled member is skipped.
        findByTitle<juce::ComboBox> (*page, "Numbering")->setEnabled (false);
        version.grabKeyboardFocus();
        version.moveKeyboardFocusToSibling (true);
        EXPECT_TRUE (button ("Match singular and plural").hasKeyboardFocus (true));
        findByTitle<juce::ComboBox> (*page, "Numbering")->setEnabled (true);

        // In the stem block: exclusions wrap to Name.
        field ("Stem-wide exclusions").grabKeyboardFocus();
        field ("Stem-wide exclusions").moveKeyboardFocusToSibling (true);
        EXPECT_TRUE (field ("Name").hasKeyboardFocus (true));

        // A preset change while a field has the focus leaves the fields alone until it goes.
        app->session.setPreset (makeEmptyPreset());
        EXPECT_TRUE (field ("Short code").isEnabled());
        page->unfocusAllComponents();
        ASSERT_TRUE (pumpUntil ([this] { return ! field ("Short code").isEnabled(); }));
        EXPECT_EQ (stemPanel().getCurrentStemId(), "");
        EXPECT_EQ (field ("Name").getText(), "");
    }

    //==============================================================================
    TEST_F (PresetPageEditing, TypingCommitsOnTheTimerOnKeysAndOnSelection)
    {
        loadExample();
        const auto first = working().schema.stems[0].id;
        const auto second = working().schema.stems[1].id;
        const auto secondRules = working().schema.stems[1].rules;

        // Typing waits for the timer (fired here by hand). A text field reports typing through
        // the message loop: wait for exactly that message, and no longer, or on a slow machine
        // the commit timer's own message could arrive first.
        typeInto (field ("Name"), "Renamed");
        ASSERT_TRUE (pumpUntil ([this] { return editor().isCommitPending(); }));
        EXPECT_NE (working().schema.stems[0].displayName, "Renamed");
        EXPECT_TRUE (editor().isTimerRunning());
        editor().timerCallback();
        EXPECT_EQ (working().schema.stems[0].displayName, "Renamed");
        EXPECT_FALSE (editor().isCommitPending());
        EXPECT_EQ (status(), "Unsaved changes in this session");

        // Escape commits (not reverts) and drops the focus.
        typeInto (field ("Short code"), "RN ");
        pressKey (field ("Short code"), juce::KeyPress::escapeKey);
        ASSERT_TRUE (pumpUntil ([this] { return working().schema.stems[0].shortCode == "RN"; }));
        EXPECT_FALSE (field ("Short code").hasKeyboardFocus (true));

        // Return in the rules adds a line and commits nothing.
        auto& rules = field ("Keyword rules");
        const auto rulesBefore = working().schema.stems[0].rules;
        rules.grabKeyboardFocus();
        rules.setCaretPosition (rules.getTotalNumChars());
        pressKey (rules, juce::KeyPress::returnKey);
        rules.insertTextAtCaret ("waterphone");
        EXPECT_TRUE (rules.getText().contains ("\nwaterphone"));
        EXPECT_EQ (working().schema.stems[0].rules, rulesBefore);

        // Selecting another stem first writes the pending edit into the one it belongs to.
        stems().selectRow (1);
        EXPECT_EQ (stemPanel().getCurrentStemId(), second);
        EXPECT_EQ (working().schema.findStem (first)->rules.back().pattern, "waterphone");
        EXPECT_EQ (working().schema.findStem (first)->rules.size(), rulesBefore.size() + 1);
        EXPECT_EQ (working().schema.findStem (second)->rules, secondRules) << "the edit went to the stem it was typed for only";
        EXPECT_EQ (field ("Name").getText(), working().schema.findStem (second)->displayName);

        // The priority commits at once.
        findByTitle<juce::Slider> (*page, "Stem priority")->setValue (-7);
        EXPECT_TRUE (pumpUntil ([this, second] { return working().schema.findStem (second)->priority == -7; }));
    }

    // A blank stem name used to be dropped without a word while the field stayed blank.
    TEST_F (PresetPageEditing, ABlankNameIsRefusedVisiblyOnceTheFieldIsLeft)
    {
        loadExample();
        const auto stemId = working().schema.stems[0].id;
        const auto stored = working().schema.stems[0].displayName;
        auto& name = field ("Name");
        const auto note = [this] { return findByTitle<juce::Label> (*page, "Stem editor note")->getText(); };

        const std::pair<const char*, std::function<void()>> leaves[] = {
            { "Return", [&] { pressKey (name, juce::KeyPress::returnKey); } },
            { "Escape", [&] { pressKey (name, juce::KeyPress::escapeKey); } },
            { "another field", [&] { field ("Short code").grabKeyboardFocus(); } },
        };

        for (const auto& [how, leave] : leaves)
        {
            SCOPED_TRACE (how);
            typeInto (name, "   ");
            ASSERT_TRUE (pumpUntil ([this] { return editor().isCommitPending(); }));
            editor().timerCallback(); // still in the field: a blank is a step of retyping
            EXPECT_EQ (name.getText(), "   ");
            EXPECT_EQ (note(), "");

            leave();
            ASSERT_TRUE (pumpUntil ([&] { return note().isNotEmpty(); }));
            EXPECT_EQ (note(), "A stem needs a name: the old one is kept.");
            EXPECT_EQ (name.getText(), stored);
            EXPECT_EQ (working().schema.findStem (stemId)->displayName, stored);
            EXPECT_FALSE (app->isPresetModified());

            // Typing in the name again takes the note away.
            typeInto (name, "Strings");
            ASSERT_TRUE (pumpUntil ([&] { return note().isEmpty(); }));
            typeInto (name, stored);
            page->unfocusAllComponents();
            settle();
        }
    }

    // Selecting a stem used to rewrite it from the fields: notes vanished and the preset counted
    // as edited although nobody typed.
    TEST_F (PresetPageEditing, ClickingThroughTheExampleKeepsItEqualToItsFile)
    {
        loadExample();
        const auto undoIndex = session().getUndoIndex();

        for (int row = 0; row < stems().getModel()->getNumRows(); ++row)
        {
            stems().selectRow (row);
            field ("Name").grabKeyboardFocus();
            field ("Keyword rules").grabKeyboardFocus();
            page->unfocusAllComponents();
        }

        stems().selectRow (0);
        EXPECT_TRUE (haveSameContent (working(), app->presetLibrary->loadPreset (builtInExamplePresetId).preset));
        EXPECT_EQ (session().getUndoIndex(), undoIndex);
        EXPECT_EQ (status(), "");
        EXPECT_FALSE (app->isPresetModified());
    }

    // A project field focused while another preset came in used to write all four stale values.
    TEST_F (PresetPageEditing, APublisherTypedAcrossAPresetChangeWritesOnlyThePublisher)
    {
        auto& publisher = field ("Publisher");
        typeInto (publisher, "Typed Publisher");

        auto incoming = makeHybridOrchestraExamplePreset();
        incoming.metadata = { "Their Pub", "THEIRS", "cue", "Their Composer", "v9" };
        session().setPreset (incoming);
        EXPECT_EQ (publisher.getText(), "Typed Publisher");
        EXPECT_EQ (field ("Stem-wide exclusions").getText(), incoming.schema.stems[0].excludeKeywords.joinIntoString (", "));

        page->unfocusAllComponents();
        ASSERT_TRUE (pumpUntil ([this] { return working().metadata.publisher == "Typed Publisher" && field ("PubCode").getText() == "THEIRS"; }));
        EXPECT_EQ (working().metadata.project, "THEIRS");
        EXPECT_EQ (working().metadata.composer, "Their Composer");
        EXPECT_EQ (working().metadata.version, "v9");
        EXPECT_EQ (field ("PubCode").getText(), "THEIRS");

        // Return commits and drops the focus; leaving a field unchanged writes nothing.
        typeInto (field ("Composer"), "  Ann  ");
        pressKey (field ("Composer"), juce::KeyPress::returnKey);
        ASSERT_TRUE (pumpUntil ([this] { return working().metadata.composer == "Ann"; }));
        EXPECT_FALSE (field ("Composer").hasKeyboardFocus (true));

        const auto undoIndex = session().getUndoIndex();
        const auto before = working();
        field ("Version").grabKeyboardFocus();
        page->unfocusAllComponents();
        settle();
        EXPECT_TRUE (haveSameContent (working(), before));
        EXPECT_EQ (session().getUndoIndex(), undoIndex);
    }

    TEST_F (PresetPageEditing, FieldsTakeWhatAPresetFileHolds)
    {
        loadExample();
        auto& name = field ("Name");
        typeInto (name, juce::String::repeatedString ("x", 5000));
        EXPECT_EQ (name.getText().length(), 4096);

        // A blank name keeps the old one.
        const auto old = working().schema.stems[0].displayName;
        typeInto (name, "   ");
        ASSERT_TRUE (pumpUntil ([this] { return editor().isCommitPending(); }));
        editor().timerCallback();
        EXPECT_EQ (working().schema.stems[0].displayName, old);

        typeInto (field ("Stem-wide exclusions"), "choir,, vox\r\nvox\nsfx ,");
        ASSERT_TRUE (pumpUntil ([this] { return editor().isCommitPending(); }));
        editor().timerCallback();
        EXPECT_EQ (working().schema.stems[0].excludeKeywords, juce::StringArray ({ "choir", "vox", "vox", "sfx" }));
    }

    //==============================================================================
    TEST_F (PresetPageEditing, MovingStems)
    {
        loadExample();
        const auto original = stemNames (working());

        const struct { int from, to; int movedTo; } moves[] = { { 2, 4, 3 }, { 3, 3, 3 }, { 3, 4, 3 } };

        for (const auto& m : moves)
        {
            const auto before = stemNames (working());
            const auto undoIndex = session().getUndoIndex();
            const auto id = working().schema.stems[(size_t) m.from].id;
            stemPanel().moveStemsTo (m.from, m.to);
            EXPECT_EQ (working().schema.indexOfStem (id), m.movedTo) << m.from << " to " << m.to;
            EXPECT_EQ (stemPanel().getCurrentStemId(), id);
            EXPECT_EQ (stems().getSelectedRow(), m.movedTo);

            if (m.from == m.movedTo)
            {
                EXPECT_EQ (stemNames (working()), before);
                EXPECT_EQ (session().getUndoIndex(), undoIndex);
            }
        }

        // The arrows: the first stem cannot go earlier, the last not later.
        stems().selectRow (0);
        const auto afterDrops = stemNames (working());
        click ("Move earlier");
        EXPECT_EQ (stemNames (working()), afterDrops);
        click ("Move later");
        EXPECT_EQ (working().schema.stems[1].displayName, afterDrops[0]);
        EXPECT_EQ (stems().getSelectedRow(), 1);

        const int last = stems().getModel()->getNumRows() - 1;
        stems().selectRow (last);
        const auto beforeLast = stemNames (working());
        click ("Move later");
        EXPECT_EQ (stemNames (working()), beforeLast);
        EXPECT_NE (stemNames (working()), original);
    }

    // The drag used to move the lowest selected row, whichever row the pointer had taken.
    TEST_F (PresetPageEditing, ADragMovesTheRowUnderThePointer)
    {
        loadExample();
        auto& list = stems();
        list.selectRow (1);
        list.flipRowSelection (5);
        ASSERT_EQ (list.getNumSelectedRows(), 2);
        const auto fifth = working().schema.stems[5].id;

        const auto rowCentre = list.getRowPosition (5, true).getCentre().toFloat();
        const juce::MouseEvent press (juce::Desktop::getInstance().getMainMouseSource(), rowCentre, {}, juce::MouseInputSource::defaultPressure,
                                      0.0f, 0.0f, 0.0f, 0.0f, &list, &list, juce::Time::getCurrentTime(), rowCentre,
                                      juce::Time::getCurrentTime(), 1, false);
        list.mouseDown (press);

        const auto description = list.getModel()->getDragSourceDescription (list.getSelectedRows());
        EXPECT_EQ (description.toString(), "dunmoor.stemrow:5");

        auto* target = dynamic_cast<juce::DragAndDropTarget*> (&list);
        ASSERT_NE (target, nullptr);
        const juce::DragAndDropTarget::SourceDetails details (description, &list, { 10, list.getRowHeight() * 2 + 3 });
        EXPECT_TRUE (target->isInterestedInDragSource (details));
        target->itemDropped (details);
        EXPECT_EQ (working().schema.indexOfStem (fifth), 2);
        EXPECT_EQ (stemPanel().getCurrentStemId(), fifth);
    }

    TEST_F (PresetPageEditing, InlineRenameAndItsQuestions)
    {
        auto preset = makeEmptyPreset();
        preset.id = "custom";
        const auto addStem = [&preset] (const char* name, const char* token)
        {
            Stem stem;
            stem.displayName = name;
            stem.fileNameToken = token;
            return preset.schema.addStem (stem).id;
        };
        addStem ("Bass", "Bass");
        addStem ("LeadVox", "");
        const auto pads = addStem ("Pads", "Pads");
        const auto strings = addStem ("Strings", "STR");
        session().setPreset (preset);

        const auto rename = [this] (int row, const juce::String& text)
        {
            stemPanel().startInlineRename (row);
            auto& editor = field ("Stem name");
            EXPECT_TRUE (editor.isVisible());
            EXPECT_TRUE (editor.hasKeyboardFocus (true));
            editor.setText (text);
            pressKey (editor, juce::KeyPress::returnKey);
            EXPECT_TRUE (pumpUntil ([&editor] { return ! editor.isVisible(); }));
        };

        // " bass" names the stem that is already Bass: asked, Cancel keeps the old name.
        rename (2, " bass");
        ASSERT_EQ (lastBoxTitle(), "That name is already taken");
        answer (false);
        EXPECT_EQ (working().schema.findStem (pads)->displayName, "Pads");

        rename (2, "Lead Vox");
        ASSERT_EQ (lastBoxTitle(), "Another stem is nearly called that");
        answer (true);
        EXPECT_EQ (working().schema.findStem (pads)->displayName, "Lead Vox");
        EXPECT_EQ (working().schema.findStem (pads)->fileNameToken, "Lead Vox"); // followed the equal name
        EXPECT_EQ (status(), "Unsaved changes in this session");

        // A token of its own stays; the same name again changes nothing and asks nothing.
        const auto boxes = seams->boxes.size();
        rename (3, "Violins");
        EXPECT_EQ (working().schema.findStem (strings)->displayName, "Violins");
        EXPECT_EQ (working().schema.findStem (strings)->fileNameToken, "STR");
        const auto undoIndex = session().getUndoIndex();
        rename (3, "Violins");
        EXPECT_EQ (session().getUndoIndex(), undoIndex);
        EXPECT_EQ (seams->boxes.size(), boxes);

        // Escape closes without renaming; a blank name does nothing.
        stemPanel().startInlineRename (0);
        field ("Stem name").setText ("Nope");
        pressKey (field ("Stem name"), juce::KeyPress::escapeKey);
        EXPECT_TRUE (pumpUntil ([this] { return ! field ("Stem name").isVisible(); }));
        rename (0, "   ");
        EXPECT_EQ (working().schema.stems[0].displayName, "Bass");

        // Tab renames and moves the editor to the next row.
        stemPanel().startInlineRename (0);
        field ("Stem name").setText ("Low End");
        EXPECT_TRUE (stemPanel().keyPressed (juce::KeyPress (juce::KeyPress::tabKey), &field ("Stem name")));
        ASSERT_TRUE (pumpUntil ([this] { return field ("Stem name").isVisible() && stems().getSelectedRow() == 1; }));
        EXPECT_EQ (working().schema.stems[0].displayName, "Low End");
        EXPECT_TRUE (field ("Stem name").isVisible());
        EXPECT_EQ (stems().getSelectedRow(), 1);

        // On the last row Tab is left to the editor.
        stemPanel().finishInlineRename (false);
        stemPanel().startInlineRename (3);
        EXPECT_FALSE (stemPanel().keyPressed (juce::KeyPress (juce::KeyPress::tabKey), &field ("Stem name")));
    }

    TEST_F (PresetPageEditing, MenusDeleteAndDuplicate)
    {
        loadExample();
        const int count = stems().getModel()->getNumRows();

        // On a row: the selection becomes that row and Delete names one stem.
        stems().selectRow (1);
        stems().flipRowSelection (2);
        stems().flipRowSelection (3);
        stemPanel().showStemContextMenu (4);
        EXPECT_EQ (stems().getNumSelectedRows(), 1);
        auto items = seams->lastMenuItems();
        ASSERT_FALSE (items.empty());
        EXPECT_EQ (items[0].text, "Add stem");
        EXPECT_EQ (items[1].text, "Add several stems...");
        EXPECT_EQ (items.back().text, "Delete");
        seams->dismissMenu();

        // On the empty area with three rows selected: no "Add several stems...", "Delete 3 stems".
        stems().selectRow (1);
        stems().flipRowSelection (2);
        stems().flipRowSelection (3);
        stemPanel().showStemContextMenu (-1);
        items = seams->lastMenuItems();
        EXPECT_EQ (std::count_if (items.begin(), items.end(), [] (const MenuItemInfo& i) { return i.text == "Add several stems..."; }), 0);
        EXPECT_EQ (items.back().text, "Delete 3 stems");
        const auto doomed = juce::StringArray { working().schema.stems[1].displayName, working().schema.stems[2].displayName,
                                                working().schema.stems[3].displayName };
        ASSERT_TRUE (seams->chooseMenuItemNamed ("Delete 3 stems"));
        EXPECT_EQ (lastBoxTitle(), "Delete 3 stems?  " + doomed.joinIntoString (", "));
        answer (true);
        EXPECT_EQ (stems().getModel()->getNumRows(), count - 3);
        EXPECT_EQ (stems().getSelectedRow(), 0);

        // Duplicate from the menu: the copy follows its source and is selected.
        stemPanel().showStemContextMenu (0);
        const auto source = working().schema.stems[0];
        ASSERT_TRUE (seams->chooseMenuItemNamed ("Duplicate"));
        EXPECT_EQ (working().schema.stems[1].displayName, source.displayName + " copy");
        EXPECT_EQ (stemPanel().getCurrentStemId(), working().schema.stems[1].id);

        // A full schema refuses another.
        auto full = working();

        while ((int) full.schema.stems.size() < maxStems)
        {
            Stem stem;
            stem.displayName = "Extra " + juce::String ((int) full.schema.stems.size());
            full.schema.addStem (stem);
        }

        session().updatePreset (full);
        stems().selectRow (0);
        click ("Duplicate stem");
        EXPECT_EQ (lastBoxTitle(), "No room for more stems");
        EXPECT_EQ (working().schema.stems.size(), (size_t) maxStems);
        answer (true);

        // Delete all asks with the count and leaves the mixes.
        click ("Delete all");
        EXPECT_EQ (lastBoxTitle(), "Delete every stem?");
        EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("This removes all 256 stems"));
        answer (true);
        EXPECT_TRUE (working().schema.stems.empty());
        EXPECT_FALSE (button ("Delete stem").isEnabled());
        EXPECT_FALSE (field ("Name").isEnabled());
    }

    // Every step of a drag in the colour space used to be a whole preset update and file read.
    TEST_F (PresetPageEditing, ColourChangesLandAtMostOncePerIntervalAndTheLastOneWins)
    {
        loadExample();
        const auto stemId = stemPanel().getCurrentStemId();
        click ("Colour");
        auto* selector = dynamic_cast<juce::ColourSelector*> (seams->callOutContent.get());
        ASSERT_NE (selector, nullptr);
        EXPECT_EQ (selector->getCurrentColour().getARGB(), working().schema.findStem (stemId)->colour);

        int presetChanges = 0;

        struct Counter : Session::Listener
        {
            explicit Counter (int& n) : count (n) {}
            void presetChanged() override { ++count; }
            int& count;
        } counter (presetChanges);

        session().addListener (&counter);
        const auto undoStart = session().getUndoIndex();

        // A burst of changes within one interval: the first lands at once, the rest wait.
        juce::Colour last;

        for (int i = 0; i < 30; ++i)
        {
            last = juce::Colour::fromHSV ((float) i / 30.0f, 0.5f, 0.8f, 1.0f);
            selector->setCurrentColour (last, juce::dontSendNotification);
            editor().changeListenerCallback (selector);
        }

        EXPECT_EQ (presetChanges, 1);
        ASSERT_TRUE (pumpUntil ([&] { return working().schema.findStem (stemId)->colour == last.getARGB(); }));
        EXPECT_EQ (presetChanges, 2);
        session().removeListener (&counter);

        EXPECT_EQ (session().getUndoIndex(), undoStart); // colours never re-match
        EXPECT_EQ (status(), "Unsaved changes in this session");

        // The page going away detaches from a selector that is still open.
        page.reset();
        selector->setCurrentColour (juce::Colours::red);
        pumpMessages (100);
        seams->dismissCallOut();
    }
} // namespace
} // namespace dunmoor::testing
