#include <gtest/gtest.h>

#include "session/SessionTestSupport.h"
#include "ui/FitCheck.h"
#include "ui/pages/preset/PresetPageTestSupport.h"

namespace dunmoor::testing
{
namespace
{
    using PresetPageMixes = PresetPageFixture;

    /** A preset of stems with these names, current in the session and matching by name. */
    void usePresetOf (Session& session, const juce::StringArray& names)
    {
        auto preset = makeEmptyPreset();
        preset.id = "mixes";

        for (const auto& name : names)
        {
            Stem stem;
            stem.displayName = name;
            stem.rules.push_back ({ name.toLowerCase(), MatchMode::token, 0, {}, {} });
            preset.schema.addStem (stem);
        }

        session.setPreset (preset);
    }

    //==============================================================================
    TEST_F (PresetPageMixes, AddingRenamingAndRemovingMixes)
    {
        usePresetOf (session(), { "Drums", "Bass", "Vox" });

        click ("Add Alternative Mix");
        ASSERT_EQ (seams->prompts.size(), 1u);
        EXPECT_EQ (seams->prompts[0].request.title, "New alternative mix");
        EXPECT_EQ (seams->prompts[0].request.fields[0].initialText, "Instrumental");
        seams->answerPrompt (true, { "Instrumental" });
        addMix ("Instrumental");

        const auto& mixes = working().schema.alternativeMixes;
        ASSERT_EQ (mixes.size(), 2u);
        EXPECT_EQ (mixes[0].name, "Instrumental");
        EXPECT_EQ (mixes[1].name, "Instrumental 2");
        EXPECT_EQ (status(), "Unsaved changes in this session");

        // A new mix ticks every stem; a stem added later is ticked in none.
        for (const auto& stem : working().schema.stems)
            EXPECT_TRUE (mixColumns().isStemInMix (0, stem.id)) << stem.displayName;

        stemPanel().getAdder().addPlainStems (1);
        EXPECT_FALSE (mixColumns().isStemInMix (0, working().schema.stems.back().id));
        EXPECT_FALSE (mixColumns().isStemInMix (1, working().schema.stems.back().id));

        // Clicking a tick under "All cues" edits the preset.
        const auto vox = working().schema.stems[2].id;
        clickTick (2, 0);
        EXPECT_FALSE (isMember (0, vox));
        EXPECT_TRUE (isMember (1, vox));
        clickTick (2, 0);
        EXPECT_TRUE (isMember (0, vox));

        // Rename: a double-click on the name; an empty code is kept empty.
        const auto second = rowLayout().columns[1];
        auto& heading = mixHeading();
        heading.mouseDoubleClick (mouseEventAt (heading, { (float) second.getX() + 40.0f, 14.0f }));
        ASSERT_EQ (seams->prompts.back().request.title, "Rename the alternative mix");
        EXPECT_EQ (seams->prompts.back().request.fields[1].label, "Short code (optional)");
        seams->answerPrompt (true, { "  Drumless ", "   " });
        EXPECT_EQ (mixes[1].name, "Drumless");
        EXPECT_EQ (mixes[1].shortCode, "");

        // A right click on the cross removes (after the question) rather than opening the menu.
        const auto cross = ui::TickColumns::crossZone (rowLayout().columns[1]);
        const auto menus = seams->menus.size();
        heading.mouseDown (rightClickAt (heading, { (float) cross.getCentreX(), 14.0f }));
        EXPECT_EQ (seams->menus.size(), menus);
        EXPECT_EQ (lastBoxTitle(), "Remove this alternative mix?");
        EXPECT_EQ (seams->lastBox()->request.message, "\"Drumless\" will no longer be written. The stems themselves are not affected.");
        answer (false);
        EXPECT_EQ (mixes.size(), 2u);
        heading.mouseDown (mouseEventAt (heading, { (float) cross.getCentreX(), 14.0f }));
        answer (true);
        ASSERT_EQ (mixes.size(), 1u);

        // A right click on the name opens the menu; its Remove asks too.
        heading.mouseDown (rightClickAt (heading, { (float) rowLayout().columns[0].getX() + 40.0f, 14.0f }));
        ASSERT_EQ (seams->menus.size(), menus + 1);
        const auto items = seams->lastMenuItems();
        ASSERT_EQ (items.size(), 2u);
        EXPECT_EQ (items[0].text, "Rename...");
        EXPECT_EQ (items[1].text, "Remove this alternative mix");
        seams->dismissMenu();

        // Removing a stem takes it out of every mix.
        stems().selectRow (2);
        click ("Delete stem");
        answer (true);
        EXPECT_FALSE (isMember (0, vox));

        // Ten is the most.
        while (working().schema.alternativeMixes.size() < 10)
            addMix ("More");

        const auto prompts = seams->prompts.size();
        click ("Add Alternative Mix");
        EXPECT_EQ (seams->prompts.size(), prompts);
        EXPECT_EQ (lastBoxTitle(), "That is as many as you can have");
        EXPECT_EQ (seams->lastBox()->request.icon, juce::MessageBoxIconType::InfoIcon);
    }

    TEST_F (PresetPageMixes, ColumnWidthsAndTheScrollBar)
    {
        usePresetOf (session(), { "Drums", "Bass" });
        auto& bar = *findByTitle<juce::ScrollBar> (*page, "Alternative mix columns");

        addMix ("Mix");
        EXPECT_EQ (mixColumns().getTickColumnWidth(), 116);
        addMix (juce::String::repeatedString ("Very long mix name ", 8));
        EXPECT_EQ (mixColumns().getTickColumnWidth(), 210);
        mixColumns().removeSubmix (working().schema.alternativeMixes[1].id);
        answer (true);
        addMix ("Two");
        addMix ("Three");
        EXPECT_EQ (mixColumns().getTickColumnWidth(), 116);

        // Find the page widths at which the rows are 500 and 578 px wide.
        const auto widthForRows = [this] (int rowWidth)
        {
            for (int w = 1100; w < 1600; ++w)
            {
                page->setSize (w, 860);

                if (stems().getVisibleRowWidth() == rowWidth)
                    return true;
            }

            return false;
        };

        // Three columns of 116 px (348) in 500 - 230 = 270 px need the bar; at 578 they fit.
        ASSERT_TRUE (widthForRows (500));
        EXPECT_TRUE (bar.isVisible());
        EXPECT_EQ (bar.getCurrentRangeSize(), 270.0);
        bar.setCurrentRangeStart (60.0, juce::sendNotificationSync);
        EXPECT_EQ (mixColumns().getTickScrollOffset(), 60);
        EXPECT_EQ (rowLayout().columns[0].getX(), 230 - 60);
        EXPECT_EQ (bar.getBottom() + 0, stems().getBottom() + 3 + 10);

        ASSERT_TRUE (widthForRows (578));
        EXPECT_FALSE (bar.isVisible());
        EXPECT_EQ (mixColumns().getTickScrollOffset(), 0);
    }

    // A name too long for its column was cut in the heading with no way to read it but to rename.
    TEST_F (PresetPageMixes, ANameTooLongForItsColumnIsShortenedAndWholeInTheTooltip)
    {
        usePresetOf (session(), { "Drums", "Bass" });
        const juce::String longName ("Underscore without drums and percussion");
        addMix ("Instrumental");
        addMix (longName);
        page->setSize (1600, 1000);

        auto& heading = mixHeading();
        auto& tips = dynamic_cast<juce::TooltipClient&> (heading);
        const auto hint = juce::String ("Double-click a heading to rename it. The cross removes that alternative mix.");
        const auto columns = rowLayout().columns;
        ASSERT_EQ (columns.size(), 2u);

        heading.mouseMove (mouseEventAt (heading, { (float) columns[1].getX() + 40.0f, 14.0f }));
        EXPECT_EQ (tips.getTooltip(), longName + "\n\n" + hint);
        heading.mouseMove (mouseEventAt (heading, { (float) columns[0].getX() + 40.0f, 14.0f }));
        EXPECT_EQ (tips.getTooltip(), hint) << "a name shown whole needs no repeating";

        const auto found = FitCheck::check (heading);
        EXPECT_TRUE (found.empty()) << FitCheck::toText (found);
    }

    // The room for the columns used to count the audition cell and the list's own scroll bar,
    // so with a cue chosen the last cross could never be scrolled into view.
    TEST_F (PresetPageMixes, TheLastCrossCanBeReachedWithACueChosen)
    {
        importCues ({ { "Cue A", { "Drums.wav", "Bass.wav" } } });
        juce::StringArray names;

        for (int i = 0; i < 40; ++i)
            names.add ("Stem" + juce::String (i));

        names.add ("Drums");
        usePresetOf (session(), names);

        for (const auto* name : { "One", "Two", "Three", "Four", "Five" })
            addMix (name);

        chooseCue ("Cue A");
        ASSERT_EQ (mixColumns().getSelectedCueKey(), cueKeyOf ("Cue A"));
        ASSERT_LT (stems().getVisibleRowWidth(), stems().getWidth()) << "the list shows its own scroll bar";

        auto& bar = *findByTitle<juce::ScrollBar> (*page, "Alternative mix columns");
        ASSERT_TRUE (bar.isVisible());
        bar.setCurrentRangeStart (bar.getMaximumRangeLimit(), juce::sendNotificationSync);

        const auto layout = rowLayout();
        const auto lastCross = ui::TickColumns::crossZone (layout.columns.back());
        EXPECT_LE (lastCross.getRight(), layout.tickArea.getRight());
        EXPECT_GE (lastCross.getX(), layout.tickArea.getX());
    }

    //==============================================================================
    TEST_F (PresetPageMixes, CueTicksAreExceptionsOfThatCueOnly)
    {
        importCues ({ { "Cue A", { "Drums 1.wav", "Drums 2.wav", "Bass.wav" } }, { "Cue B", { "Bass.wav", "Vox.wav" } } });
        clickLibraryRow (rowOf (saveUserPreset ("Mine")));
        addMix ("Instrumental");
        click ("Save");
        ASSERT_EQ (status(), "");

        // Each cue with its stem count; "All cues" first.
        auto& combo = cueChoice();
        ASSERT_TRUE (combo.isEnabled());
        ASSERT_EQ (combo.getNumItems(), 3);
        EXPECT_EQ (combo.getItemText (0), "All cues");
        const auto drums = session().findTrack (trackIdNamed (session(), "Drums 1.wav"))->stemId;
        const auto bass = session().findTrack (trackIdNamed (session(), "Bass.wav"))->stemId;
        ASSERT_TRUE (drums.isNotEmpty());
        ASSERT_TRUE (bass.isNotEmpty());
        EXPECT_EQ (combo.getItemText (1), "Cue A  (2 stems)");

        chooseCue ("Cue B");
        const auto cueB = cueKeyOf ("Cue B");
        const int bassRow = working().schema.indexOfStem (bass);
        clickTick (bassRow, 0);

        EXPECT_FALSE (session().findCue (cueB)->getAlternativeMixStems (working().schema.alternativeMixes[0]).contains (bass));
        EXPECT_TRUE (isMember (0, bass)) << "the preset keeps its members";
        EXPECT_FALSE (mixColumns().isStemInMix (0, bass));
        EXPECT_EQ (status(), "") << "an exception is the project's, not the preset's";

        chooseCue ("Cue A");
        EXPECT_TRUE (mixColumns().isStemInMix (0, bass));
        chooseCue ("All cues");
        EXPECT_TRUE (mixColumns().isStemInMix (0, bass));
        EXPECT_EQ (mixColumns().getSelectedCueKey(), "");

        // The choice is kept by key while the items change, and falls back when the cue goes.
        chooseCue ("Cue B");
        session().assignTracks ({ trackIdNamed (session(), "Vox.wav") }, {}, false);
        EXPECT_EQ (mixColumns().getSelectedCueKey(), cueB);
        EXPECT_EQ (combo.getText(), "Cue B  (1 stem)");

        juce::StringArray cueBTracks;

        for (const auto& track : session().getTracks())
            if (track.cueKey == cueB)
                cueBTracks.add (track.id);

        session().removeTracks (cueBTracks);
        EXPECT_EQ (mixColumns().getSelectedCueKey(), "");
        EXPECT_EQ (combo.getSelectedId(), 1);
        EXPECT_EQ (combo.getNumItems(), 2);
    }
} // namespace
} // namespace dunmoor::testing
