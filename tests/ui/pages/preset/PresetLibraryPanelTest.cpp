#include <gtest/gtest.h>

#include "core/preset/PresetJson.h"
#include "core/preset/PresetReader.h"
#include "session/SessionTestSupport.h"
#include "ui/pages/preset/PresetPageTestSupport.h"

namespace dunmoor::testing
{
namespace
{
    using PresetLibraryPanel = PresetPageFixture;

    juce::String storedPresetId (const ui::AppState& app)
    {
        juce::PropertiesFile::Options options;
        options.applicationName = "Brackenfold";
        options.filenameSuffix = "settings";
        options.storageFormat = juce::PropertiesFile::storeAsXML;
        options.doNotSave = true;
        return juce::PropertiesFile (app.getLocations().settingsFile, options).getValue ("presetId");
    }

    TEST_F (PresetLibraryPanel, ClickingARowLoadsItAndRemembersIt)
    {
        ASSERT_EQ (app->presetId, builtInEmptyPresetId);
        EXPECT_EQ (library().getSelectedRow(), rowOf (builtInEmptyPresetId));
        EXPECT_EQ (status(), "");

        clickLibraryRow (rowOf (builtInExamplePresetId));
        EXPECT_EQ (app->presetId, builtInExamplePresetId);
        EXPECT_TRUE (haveSameContent (working(), app->presetLibrary->loadPreset (builtInExamplePresetId).preset));
        EXPECT_EQ (storedPresetId (*app), builtInExamplePresetId);
        EXPECT_EQ (stems().getNumSelectedRows(), 1);
        EXPECT_EQ (field ("Name").getText(), working().schema.stems[0].displayName);
        EXPECT_TRUE (seams->boxes.empty());
        EXPECT_EQ (status(), "");

        // The current row again: nothing is asked or loaded.
        const auto undoIndex = session().getUndoIndex();
        clickLibraryRow (rowOf (builtInExamplePresetId));
        EXPECT_EQ (session().getUndoIndex(), undoIndex);
        EXPECT_TRUE (seams->boxes.empty());
    }

    // Edits that the built-in comparison of presets ignores used to be discarded without a word.
    TEST_F (PresetLibraryPanel, EditsOfPluralsOrMixesAreAskedAboutAndCancelKeepsThem)
    {
        loadExample();

        const std::function<void()> edits[] = {
            [this] { click ("Match singular and plural"); },
            [this]
            {
                auto copy = working();
                (void) copy.schema.addAlternativeMix ("Instrumental");
                session().updatePreset (copy);
            },
        };

        for (const auto& edit : edits)
        {
            app->session.setPreset (makeHybridOrchestraExamplePreset());
            libraryPanel().refreshLibrary();
            seams->boxes.clear();
            edit();
            settle();
            const auto edited = working();
            ASSERT_EQ (status(), "Unsaved changes in this session");

            clickLibraryRow (rowOf (builtInEmptyPresetId));
            ASSERT_EQ (seams->boxes.size(), 1u);
            EXPECT_EQ (lastBoxTitle(), "Discard the changes to the current preset?");
            answer (false);

            EXPECT_EQ (app->presetId, builtInExamplePresetId);
            EXPECT_TRUE (haveSameContent (working(), edited));
            EXPECT_EQ (library().getSelectedRow(), rowOf (builtInExamplePresetId));
        }

        // OK discards them and loads the row.
        clickLibraryRow (rowOf (builtInEmptyPresetId));
        answer (true);
        EXPECT_EQ (app->presetId, builtInEmptyPresetId);
        EXPECT_TRUE (working().schema.stems.empty());
    }

    TEST_F (PresetLibraryPanel, NewAndDuplicateAskBeforeReplacingEdits)
    {
        loadExample();
        field ("Publisher").grabKeyboardFocus();
        typeInto (field ("Publisher"), "Edited");
        projectFields().commitProjectFields();
        page->unfocusAllComponents();
        ASSERT_EQ (working().metadata.publisher, "Edited");

        for (const auto* title : { "New", "Duplicate" })
        {
            seams->boxes.clear();
            seams->prompts.clear();
            click (title);
            ASSERT_EQ (seams->boxes.size(), 1u) << title;
            EXPECT_EQ (lastBoxTitle(), "Discard the changes to the current preset?");
            EXPECT_TRUE (seams->prompts.empty()) << title;
            answer (false);
            EXPECT_TRUE (seams->prompts.empty()) << title;
            EXPECT_EQ (working().metadata.publisher, "Edited");
        }

        // After OK the name is asked for; the new preset is current and saved in the settings.
        click ("New");
        answer (true);
        ASSERT_EQ (seams->prompts.size(), 1u);
        EXPECT_EQ (seams->prompts[0].request.title, "New publisher preset");
        EXPECT_EQ (seams->prompts[0].request.fields[0].initialText, "New publisher");
        seams->answerPrompt (true, { "  Atlas Music  " });

        EXPECT_EQ (working().name, "Atlas Music");
        EXPECT_EQ (working().metadata.publisher, "Atlas Music");
        EXPECT_EQ (working().schema.publisher, "Atlas Music");
        EXPECT_TRUE (working().schema.stems.empty());
        EXPECT_EQ (app->presetId, working().id);
        EXPECT_EQ (storedPresetId (*app), working().id);
        EXPECT_NE (app->presetLibrary->findEntry (working().id), nullptr);
        EXPECT_EQ (status(), "");
    }

    // A new id for every stem used to unassign every track, locked ones too, and orphan the cues'
    // own alternative-mix members.
    TEST_F (PresetLibraryPanel, SaveAsAndDuplicateKeepLocksAndCueExceptions)
    {
        const auto cue = temp.folder.getChildFile ("1M01");
        writeShortWav (cue.getChildFile ("Kick.wav"));
        writeShortWav (cue.getChildFile ("Violins.wav"));
        loadExample();
        (void) session().importFiles ({ cue }, false);

        auto withMix = working();
        const auto mixId = withMix.schema.addAlternativeMix ("Instrumental");
        session().updatePreset (withMix);

        const auto kick = trackIdNamed (session(), "Kick.wav");
        const auto drums = session().findTrack (kick)->stemId;
        ASSERT_TRUE (drums.isNotEmpty());
        session().setTracksLocked ({ kick }, true);
        session().setCueMixMember (session().getCues()[0].key, *working().schema.findAlternativeMix (mixId), drums, false);
        const auto exception = session().getCues()[0].mixOverrides;
        ASSERT_FALSE (exception.empty());

        const auto check = [&] (const char* what)
        {
            const auto* track = session().findTrack (kick);
            EXPECT_EQ (track->stemId, drums) << what;
            EXPECT_EQ (track->source, AssignmentSource::locked) << what;
            EXPECT_EQ (session().getCues()[0].mixOverrides, exception) << what;
            EXPECT_EQ (session().getCues()[0].getAlternativeMixStems (*working().schema.findAlternativeMix (mixId)),
                       exception.at (mixId))
                << what;
        };

        click ("Save as");
        ASSERT_EQ (seams->prompts.size(), 1u);
        EXPECT_EQ (seams->prompts[0].request.fields[0].initialText, "Hybrid Orchestra Example copy");
        seams->answerPrompt (true, { "Mine" });
        EXPECT_EQ (working().name, "Mine");
        EXPECT_EQ (app->presetId, working().id);
        EXPECT_EQ (storedPresetId (*app), working().id);
        EXPECT_EQ (status(), "");
        check ("save as");

        click ("Duplicate");
        ASSERT_EQ (seams->prompts.size(), 2u);
        EXPECT_EQ (seams->prompts[1].request.fields[0].initialText, "Mine copy");
        seams->answerPrompt (true, { "Mine too" });
        EXPECT_EQ (working().name, "Mine too");
        EXPECT_EQ (app->presetId, working().id);
        check ("duplicate");
    }

    TEST_F (PresetLibraryPanel, ButtonStatesFollowTheCurrentPreset)
    {
        const auto states = [this] { return juce::String (button ("Save").isEnabled() ? "S" : "-") + (button ("Rename").isEnabled() ? "R" : "-") + (button ("Delete").isEnabled() ? "D" : "-"); };

        EXPECT_EQ (states(), "---"); // a built-in preset

        clickLibraryRow (rowOf (saveUserPreset ("Mine")));
        ASSERT_EQ (working().name, "Mine");
        EXPECT_EQ (states(), "SRD");

        // A working copy without a library entry, as after opening a project.
        app->presetId = {};
        libraryPanel().refreshLibrary();
        EXPECT_EQ (states(), "S--");
        EXPECT_EQ (library().getNumSelectedRows(), 0);
        EXPECT_EQ (status(), "Unsaved changes in this session");

        for (const auto* title : { "New", "Duplicate", "Save as", "Import", "Export", "Restore" })
            EXPECT_TRUE (button (title).isEnabled()) << title;

        click ("Export");
        EXPECT_EQ (lastBoxTitle(), "Nothing to export");
        EXPECT_TRUE (seams->choosers.empty());

        // Saving it lists it, makes it current and clears the status line.
        auto orphan = working();
        orphan.id = {};
        session().updatePreset (orphan);
        click ("Save");
        ASSERT_FALSE (working().id.isEmpty());
        EXPECT_EQ (app->presetId, working().id);
        EXPECT_EQ (storedPresetId (*app), working().id);
        EXPECT_EQ (library().getSelectedRow(), rowOf (working().id));
        EXPECT_EQ (status(), "");
        EXPECT_EQ (states(), "SRD");
    }

    TEST_F (PresetLibraryPanel, DeletingTheLastRowLoadsTheNewLastRow)
    {
        saveUserPreset ("Yankee");
        saveUserPreset ("Zulu");
        const auto& entries = app->presetLibrary->getEntries();
        ASSERT_EQ (entries.back().name, "Zulu");
        const auto last = (int) entries.size() - 1;
        clickLibraryRow (last);
        ASSERT_EQ (working().name, "Zulu");

        click ("Delete");
        EXPECT_EQ (lastBoxTitle(), "Delete the preset 'Zulu'?");
        answer (true);

        EXPECT_EQ (app->presetLibrary->getEntries().size(), (size_t) last);
        EXPECT_EQ (working().name, "Yankee");
        EXPECT_EQ (app->presetId, app->presetLibrary->getEntries().back().id);
        EXPECT_EQ (library().getSelectedRow(), last - 1);
        EXPECT_EQ (storedPresetId (*app), app->presetId);

        // Cancel leaves everything; a built-in has no Delete at all.
        click ("Delete");
        answer (false);
        EXPECT_EQ (working().name, "Yankee");
        clickLibraryRow (rowOf (builtInEmptyPresetId));
        const auto boxes = seams->boxes.size();
        libraryPanel().deletePreset();
        EXPECT_EQ (seams->boxes.size(), boxes + 1);
        answer (true);
        EXPECT_EQ (lastBoxTitle(), "The preset was not deleted");
    }

    TEST_F (PresetLibraryPanel, ExportWritesTheStoredPresetUnderASafeName)
    {
        clickLibraryRow (rowOf (saveUserPreset ("Film/TV: Main")));
        const auto storedId = app->presetId;

        auto edited = working();
        edited.metadata.composer = "Not saved";
        session().updatePreset (edited);

        click ("Export");
        ASSERT_EQ (seams->choosers.size(), 1u);
        const auto& request = seams->choosers[0].request;
        EXPECT_EQ (request.mode, ui::FileChooserRequest::Mode::saveFile);
        EXPECT_TRUE (request.warnAboutOverwriting);
        EXPECT_EQ (request.initialLocation.getFileName(), "Film-TV- Main.dunmoor.json");

        const auto target = temp.file ("exported.dunmoor.json");
        seams->answerChooser ({ target });
        const auto read = loadPresetFile (target);
        ASSERT_TRUE (read.ok) << read.messages.toText();
        EXPECT_EQ (read.preset.id, storedId);
        EXPECT_EQ (read.preset.metadata.composer, "");

        // A folder where the file should go: the write fails and says so.
        const auto blocked = temp.file ("blocked.json");
        ASSERT_TRUE (blocked.createDirectory());
        click ("Export");
        seams->answerChooser ({ blocked });
        EXPECT_EQ (lastBoxTitle(), "The preset was not exported");
        EXPECT_TRUE (blocked.isDirectory());

        // Import stores a copy under a new name without loading it.
        click ("Import");
        seams->answerChooser ({ target });
        EXPECT_EQ (app->presetId, storedId);
        EXPECT_NE (rowOf (storedId), -1);
        EXPECT_EQ (app->presetLibrary->getEntries().size(), 4u);
    }

    TEST_F (PresetLibraryPanel, BadInputChangesNothing)
    {
        loadExample();
        const auto before = working();
        const auto entries = app->presetLibrary->getEntries().size();

        // Blank names do nothing.
        for (const auto* title : { "Save as", "Duplicate" })
        {
            click (title);
            seams->answerPrompt (true, { "   " });
        }

        EXPECT_EQ (app->presetLibrary->getEntries().size(), entries);
        EXPECT_TRUE (haveSameContent (working(), before));
        EXPECT_EQ (app->presetId, builtInExamplePresetId);

        // A name longer than a file may hold is cut where the prompt stops typing.
        click ("Save as");
        seams->answerPrompt (true, { juce::String::repeatedString ("n", 5000) });
        EXPECT_EQ (working().name.length(), 4096);
        EXPECT_EQ (seams->prompts.back().request.fields[0].maxLength, 4096);

        // Built-in: Save is refused with its own box.
        clickLibraryRow (rowOf (builtInExamplePresetId));
        libraryPanel().savePreset();
        EXPECT_EQ (lastBoxTitle(), "Built-in presets are read only");
    }

    TEST_F (PresetLibraryPanel, AnUnloadablePresetShowsItsMessagesAndCanBeClickedAgain)
    {
        const auto id = saveUserPreset ("Fragile");
        const auto file = app->presetLibrary->findEntry (id)->file;
        auto text = file.loadFileAsString().replace ("\"priority\": 0", "\"priority\": 5000");
        ASSERT_TRUE (file.replaceWithText (text));

        const auto before = working();
        clickLibraryRow (rowOf (id));
        ASSERT_EQ (lastBoxTitle(), "The preset could not be loaded");
        EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("ERROR   preset.schema.stems[")) << seams->lastBox()->request.message;
        EXPECT_EQ (app->presetId, builtInEmptyPresetId);
        EXPECT_TRUE (haveSameContent (working(), before));
        EXPECT_EQ (library().getSelectedRow(), rowOf (builtInEmptyPresetId));

        // The row is a choice again: a second click asks the library again.
        const auto boxes = seams->boxes.size();
        clickLibraryRow (rowOf (id));
        EXPECT_EQ (seams->boxes.size(), boxes + 1);

        // A preset that only fails validation lists its errors and warnings.
        auto invalid = makeHybridOrchestraExamplePreset();
        invalid.id = id;
        invalid.name = "Fragile";
        invalid.isBuiltIn = false;
        invalid.schema.stems[1].shortCode = invalid.schema.stems[0].shortCode;
        invalid.exportSettings.headroom.targetDb = -70.0;
        ASSERT_TRUE (file.replaceWithText (writePreset (invalid)));
        clickLibraryRow (rowOf (id));
        const auto message = seams->lastBox()->request.message;
        EXPECT_TRUE (message.startsWith ("ERROR   Stem schema: ")) << message;
        EXPECT_TRUE (message.endsWith ("\r\nWARNING Export settings: A headroom target below -60 dB is unusual.")) << message;
    }

    // A preset file the library could not read vanished from the list without a word.
    TEST_F (PresetLibraryPanel, AnUnreadableFileIsListedWithItsReasonAndShownInTheFileBrowser)
    {
        const auto folder = app->presetLibrary->getKindFolder (PresetKind::publisher);
        const auto broken = folder.getChildFile ("Trailer House.dunmoor.json");
        ASSERT_TRUE (broken.replaceWithText ("{ \"dunmoor\": "));
        const auto rows = library().getModel()->getNumRows();

        libraryPanel().refreshLibrary();
        ASSERT_EQ (library().getModel()->getNumRows(), rows + 1);

        clickLibraryRow (rows);
        ASSERT_EQ (lastBoxTitle(), "This preset file cannot be read");
        const auto message = seams->lastBox()->request.message;
        EXPECT_TRUE (message.startsWith (broken.getFullPathName() + "\n\nERROR   ")) << message;
        EXPECT_EQ (app->presetId, builtInEmptyPresetId);
        EXPECT_EQ (library().getSelectedRow(), rowOf (builtInEmptyPresetId));

        ASSERT_TRUE (seams->closeBox (true));
        ASSERT_FALSE (seams->opened.empty());
        EXPECT_EQ (seams->opened.back().target, folder.getFullPathName());
        EXPECT_EQ (broken.loadFileAsString(), "{ \"dunmoor\": ");
    }

    TEST_F (PresetLibraryPanel, RestoreAndRenameGoThroughTheirQuestions)
    {
        const auto id = saveUserPreset ("Old Name");
        clickLibraryRow (rowOf (id));

        click ("Rename");
        EXPECT_EQ (seams->prompts.back().request.fields[0].initialText, "Old Name");
        seams->answerPrompt (true, { " New Name " });
        EXPECT_EQ (working().name, "New Name");
        EXPECT_EQ (app->presetLibrary->findEntry (id)->name, "New Name");
        EXPECT_EQ (status(), "");

        app->presetLibrary->findEntry (builtInEmptyPresetId)->file.deleteFile();
        click ("Restore");
        EXPECT_EQ (lastBoxTitle(), "Restore the built-in presets?");
        answer (false);
        libraryPanel().refreshLibrary();
        EXPECT_EQ (rowOf (builtInEmptyPresetId), -1);

        click ("Restore");
        answer (true);
        EXPECT_NE (rowOf (builtInEmptyPresetId), -1);
        EXPECT_EQ (app->presetId, id);
    }
} // namespace
} // namespace dunmoor::testing
