#include <gtest/gtest.h>

#include "core/preset/PresetReader.h"
#include "session/SessionTestSupport.h"
#include "ui/preset/PresetPageTestSupport.h"

namespace dunmoor::testing
{
namespace
{
    using PresetPageEndToEnd = PresetPageFixture;

    TEST_F (PresetPageEndToEnd, SnapshotsAtTheDefaultAndTheSmallestWindow)
    {
        loadExample();
        stems().selectRow (2);
        page->repaint();
        pumpMessages (20);
        saveSnapshot (*page, "preset");

        page->setSize (1100, 720);
        pumpMessages (20);
        saveSnapshot (*page, "preset-narrow");

        // Nothing sits outside the page or on top of another control at the smallest size.
        for (const auto* title : { "Name", "Short code", "File name token", "Keyword rules", "Stem-wide exclusions" })
            EXPECT_TRUE (page->getLocalBounds().contains (field (title).getBounds())) << title;

        EXPECT_FALSE (stems().getBounds().intersects (field ("Name").getBounds()));
        EXPECT_LE (button ("Move later").getRight(), field ("Name").getX() - 12);
    }

    // A new user: four tracks, one locked, the example preset, a stem renamed in place, a rule
    // that moves a track, and Save as. The file holds the edits under the same stem ids and the
    // session keeps the lock.
    TEST_F (PresetPageEndToEnd, ANewUserEditsTheExampleAndSavesItAsTheirOwn)
    {
        const auto cue = temp.folder.getChildFile ("Cue 1");

        for (const auto* name : { "Kick.wav", "Violins.wav", "Choir.wav", "Bass.wav" })
            writeShortWav (cue.getChildFile (name));

        const auto summary = session().importFiles ({ cue }, false);
        ASSERT_EQ (session().getTracks().size(), 4u);

        const auto kick = trackIdNamed (session(), "Kick.wav");
        const auto choir = trackIdNamed (session(), "Choir.wav");

        clickLibraryRow (rowOf (builtInExamplePresetId));
        ASSERT_EQ (app->presetId, builtInExamplePresetId);
        const auto drums = session().findTrack (kick)->stemId;
        const auto choirStem = session().findTrack (choir)->stemId;
        ASSERT_TRUE (drums.isNotEmpty());
        ASSERT_TRUE (choirStem.isNotEmpty());
        session().setTracksLocked ({ kick }, true);

        // Rename the Drums stem in place.
        const int drumsRow = working().schema.indexOfStem (drums);
        stems().selectRow (drumsRow);
        page->startInlineRename (drumsRow);
        auto& editor = field ("Stem name");
        editor.setText ("Kit");
        pressKey (editor, juce::KeyPress::returnKey);
        pumpMessages (20);
        EXPECT_EQ (working().schema.findStem (drums)->displayName, "Kit");
        EXPECT_EQ (session().findTrack (kick)->stemId, drums);

        // Give the Sound Design stem a rule that takes the choir track.
        const auto sfx = [this]
        {
            for (const auto& stem : working().schema.stems)
                if (stem.displayName == "Sound Design")
                    return stem.id;

            return juce::String();
        }();
        ASSERT_TRUE (sfx.isNotEmpty());
        stems().selectRow (working().schema.indexOfStem (sfx));
        typeInto (field ("Keyword rules"), ", ~Choir", false);
        page->unfocusAllComponents();
        pumpMessages (30);
        EXPECT_EQ (session().findTrack (choir)->stemId, sfx) << session().findTrack (choir)->reason;
        EXPECT_EQ (status(), "Unsaved changes in this session");

        click ("Save as");
        ASSERT_EQ (seams->prompts.size(), 1u);
        seams->answerPrompt (true, { "My Publisher" });

        const auto* entry = app->presetLibrary->findEntry (app->presetId);
        ASSERT_NE (entry, nullptr);
        EXPECT_EQ (entry->name, "My Publisher");
        EXPECT_EQ (entry->file.getFileName(), "My Publisher.dunmoor.json");

        const auto saved = loadPresetFile (entry->file);
        ASSERT_TRUE (saved.ok) << saved.messages.toText();
        EXPECT_EQ (saved.preset.schema.findStem (drums)->displayName, "Kit");
        EXPECT_EQ (saved.preset.schema.findStem (sfx)->rules.back().pattern, "Choir");
        EXPECT_EQ (saved.preset.schema.findStem (sfx)->rules.back().mode, MatchMode::exact);

        const auto example = app->presetLibrary->loadPreset (builtInExamplePresetId).preset;
        ASSERT_EQ (saved.preset.schema.stems.size(), example.schema.stems.size());

        for (size_t i = 0; i < example.schema.stems.size(); ++i)
            EXPECT_EQ (saved.preset.schema.stems[i].id, example.schema.stems[i].id);

        EXPECT_EQ (session().findTrack (kick)->stemId, drums);
        EXPECT_EQ (session().findTrack (kick)->source, AssignmentSource::locked);
        EXPECT_EQ (session().findTrack (choir)->stemId, sfx);
        EXPECT_EQ (status(), "");
        EXPECT_EQ (library().getSelectedRow(), rowOf (app->presetId));
        juce::ignoreUnused (summary, choirStem);
    }
} // namespace
} // namespace dunmoor::testing
