#include "ui/pages/review/ReviewPageTestSupport.h"
#include "ui/pages/review/TrackDragDescription.h"

namespace dunmoor::testing
{
using ui::ReviewPage;

namespace
{
    juce::ComboBox& comboBox (ReviewPage& page, const juce::String& title)
    {
        auto* box = findByTitle<juce::ComboBox> (page, title);
        EXPECT_NE (box, nullptr) << title;
        return *box;
    }

    juce::Button& button (ReviewPage& page, const juce::String& title)
    {
        auto* b = findByTitle<juce::Button> (page, title);
        EXPECT_NE (b, nullptr) << title;
        return *b;
    }

    /** Clicks a button as the mouse would, and returns once the click has arrived (however
        slowly the machine runs). */
    void press (ReviewPage& page, const juce::String& title)
    {
        auto& b = button (page, title);
        ASSERT_TRUE (b.isEnabled()) << title;

        struct Seen : juce::Button::Listener
        {
            void buttonClicked (juce::Button*) override { clicked = true; }
            bool clicked = false;
        } seen;

        // Listeners hear of the click just before onClick runs, within the same message.
        b.addListener (&seen);
        b.triggerClick();
        EXPECT_TRUE (pumpUntil ([&seen] { return seen.clicked; })) << title;
        b.removeListener (&seen);
    }
} // namespace

TEST (ReviewPage, TheTreeFollowsTheSessionAtTheNextTickAndKeepsWhatTheUserSees)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    TreeRows rows (page);
    const auto violins = f.id ("violins_a.wav");

    // Two cues: the page is about the first one, whose name leads the status line.
    EXPECT_EQ (page.getChosenCueKey(), f.cueKey (0));
    EXPECT_TRUE (comboBox (page, "Cue").isVisible());
    EXPECT_EQ (page.getStatusText(), "1M01   5 usable track(s)   2 unassigned   1 ambiguous   1 to check");
    EXPECT_EQ (rows.stemOf (violins), f.stem ("Strings"));
    EXPECT_EQ (rows.track (f.id ("snare.wav")), nullptr);
    EXPECT_FALSE (button (page, "Assign to...").isEnabled());

    // A move shows at the next tick; the moved row stays selected (tracks are kept by id).
    rows.click (*rows.track (violins));
    EXPECT_TRUE (button (page, "Assign to...").isEnabled());
    f.app.session.assignTracks ({ violins }, f.stem ("Brass"), false);
    EXPECT_EQ (rows.stemOf (violins), f.stem ("Strings"));
    const auto rebuilds = page.getRebuildCount();
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (violins), f.stem ("Brass"));
    EXPECT_EQ (page.getSelectedTrackIds(), juce::StringArray (violins));

    // Undo notifies twice: one rebuild; a closed heading stays closed, the selection stays.
    rows.heading (f.stem ("Brass"))->setOpen (false);
    f.app.session.undo();
    tickAndSettle (page);
    EXPECT_EQ (page.getRebuildCount(), rebuilds + 2);
    EXPECT_FALSE (rows.heading (f.stem ("Brass"))->isOpen());
    EXPECT_TRUE (rows.heading (f.stem ("Strings"))->isOpen());
    EXPECT_EQ (rows.stemOf (violins), f.stem ("Strings"));
    EXPECT_EQ (page.getSelectedTrackIds(), juce::StringArray (violins));
    EXPECT_TRUE (button (page, "Redo").isEnabled());

    // A sorted tree keeps "Unassigned" first.
    page.toggleAlphabeticalStems (true);
    EXPECT_TRUE (f.app.isStemsAlphabetical());
    auto* root = page.getTree().getRootItem();
    EXPECT_EQ (root->getSubItem (0)->getUniqueName(), "stem:unassigned");
    EXPECT_EQ (root->getSubItem (1)->getUniqueName(), "stem:" + f.stem ("Brass"));

    // "All cues" stays once picked; the status line then asks for a cue.
    comboBox (page, "Cue").setSelectedId (1, juce::sendNotificationSync);
    EXPECT_TRUE (page.getChosenCueKey().isEmpty());
    EXPECT_NE (rows.track (f.id ("snare.wav")), nullptr);
    EXPECT_TRUE (page.getStatusText().endsWith ("      Choose a cue to hear its mix: cues are never summed together."));
    f.app.session.assignTracks ({ f.id ("snare.wav") }, {}, false);
    tickAndSettle (page);
    EXPECT_TRUE (page.getChosenCueKey().isEmpty());

    // The filter narrows the rows; every heading stays.
    comboBox (page, "Show").setSelectedId (4, juce::sendNotificationSync);
    EXPECT_EQ (root->getNumSubItems(), 5);
    EXPECT_EQ (root->getSubItem (0)->getNumSubItems(), 1); // kick_violins
    EXPECT_EQ (rows.track (violins), nullptr);
}

TEST (ReviewPage, LayoutAtTheWidthsOfTheWindow)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    const auto onPage = [&page] (juce::Component& c) { return page.getLocalArea (&c, c.getLocalBounds()); };

    EXPECT_EQ (button (page, "Re-run auto assign").getBounds(), juce::Rectangle<int> (12, 12, 150, 30));
    EXPECT_EQ (button (page, "Save as rule...").getBounds(), juce::Rectangle<int> (575, 12, 130, 30));
    EXPECT_EQ (comboBox (page, "Show").getBounds(), juce::Rectangle<int> (1188, 12, 160, 30));
    EXPECT_EQ (comboBox (page, "Cue").getBounds(), juce::Rectangle<int> (930, 12, 200, 30));
    EXPECT_EQ (onPage (button (page, "Track")), juce::Rectangle<int> (12, 52, 110, 30));
    EXPECT_EQ (onPage (button (page, "Mix")), juce::Rectangle<int> (127, 52, 86, 30));
    EXPECT_EQ (onPage (comboBox (page, "Mix choice")), juce::Rectangle<int> (218, 53, 170, 28));
    EXPECT_EQ (button (page, "Collapse all").getBounds(), juce::Rectangle<int> (1238, 52, 110, 30));
    EXPECT_EQ (button (page, "Expand all").getBounds(), juce::Rectangle<int> (1133, 52, 100, 30));
    EXPECT_EQ (onPage (*findByTitle (page, "Audition waveform")), juce::Rectangle<int> (400, 48, 721, 38));
    EXPECT_EQ (page.getTree().getBounds(), juce::Rectangle<int> (12, 92, 1336, 580));
    EXPECT_EQ (findByTitle (page, "Status")->getBounds(), juce::Rectangle<int> (12, 678, 1336, 22));

    // At the narrowest window the toolbar keeps every button whole and the cue choice gives way.
    page.setSize (1100, 700);
    const auto rule = button (page, "Save as rule...").getBounds();
    const auto cueLabel = findByTitle<juce::Label> (page, "Cue")->getBounds();
    EXPECT_EQ (rule.getWidth(), 130);
    EXPECT_GE (cueLabel.getX(), rule.getRight() + 12);
    EXPECT_GE (comboBox (page, "Cue").getWidth(), 100);
    EXPECT_EQ (comboBox (page, "Show").getRight(), 1088);
    EXPECT_GT (findByTitle (page, "Audition waveform")->getWidth(), 400);

    // With one cue there is no cue choice.
    f.app.session.removeTracks ({ f.id ("strings_b.wav"), f.id ("snare.wav") });
    tickAndSettle (page);
    EXPECT_FALSE (comboBox (page, "Cue").isVisible());
    EXPECT_TRUE (page.getStatusText().startsWith ("5 usable track(s)"));
}

TEST (ReviewPage, DropsLandOnTheStemOfTheRowUnderThePointer)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    TreeRows rows (page);
    const auto strings = f.stem ("Strings"), brass = f.stem ("Brass"), choir = f.stem ("Choir"), percussion = f.stem ("Percussion");

    const auto dropAt = [&] (const juce::String& trackId, juce::Point<int> where)
    {
        rows.drop (ui::makeTrackDragDescription ({ trackId }), where);
        tickAndSettle (page);
        return rows.stemOf (trackId);
    };

    // On an open heading with tracks: the framework offers this drop to the root.
    EXPECT_EQ (dropAt (f.id ("Glimmer_03.wav"), rows.pointOn (*rows.heading (strings), 40)), strings);
    // On a track row: its heading.
    EXPECT_EQ (dropAt (f.id ("Glimmer_03.wav"), rows.pointOn (*rows.track (f.id ("choir.wav")), 40, 0.3f)), choir);
    // On the lower half of a heading's last track, left of its indent.
    auto& lastBrass = *rows.heading (brass)->getSubItem (rows.heading (brass)->getNumSubItems() - 1);
    EXPECT_EQ (dropAt (f.id ("Glimmer_03.wav"), rows.pointOn (lastBrass, -10, 0.8f)), brass);
    // On an empty heading, and on "Unassigned".
    EXPECT_EQ (dropAt (f.id ("Glimmer_03.wav"), rows.pointOn (*rows.heading (percussion), 40)), percussion);
    EXPECT_EQ (dropAt (f.id ("Glimmer_03.wav"), rows.pointOn (*rows.heading ({}), 40)), juce::String());

    // A row that is part of a selection of three drags all three; any other row only itself.
    const juce::StringArray three { f.id ("kick_violins.wav"), f.id ("Glimmer_03.wav"), f.id ("broken.wav") };
    for (const auto& id : three)
        rows.track (id)->setSelected (true, false);
    EXPECT_EQ (ui::getDraggedTrackIds (rows.track (three[1])->getDragSourceDescription()), three);
    EXPECT_EQ (ui::getDraggedTrackIds (rows.track (f.id ("choir.wav"))->getDragSourceDescription()), juce::StringArray (f.id ("choir.wav")));

    rows.drop (rows.track (three[1])->getDragSourceDescription(), rows.pointOn (*rows.heading (strings), 40));
    tickAndSettle (page);
    for (const auto& id : three)
        EXPECT_EQ (rows.stemOf (id), strings) << id;

    // Anything but track ids is refused, wherever it lands.
    const auto undoStates = f.app.session.getNumUndoStates();
    auto blank = std::make_unique<juce::DynamicObject>();
    blank->setProperty ("type", "dunmoor.tracks");
    blank->setProperty ("tracks", " \n \n");
    auto foreign = std::make_unique<juce::DynamicObject>();
    foreign->setProperty ("type", "dunmoor.stemrow");
    foreign->setProperty ("tracks", three[0]);
    rows.drop (juce::var (blank.release()), rows.pointOn (*rows.heading (brass), 40));
    rows.drop (juce::var (foreign.release()), rows.pointOn (*rows.heading (brass), 40));
    rows.drop (juce::var ("dunmoor.stemrow:" + brass), rows.pointOn (*rows.track (three[0]), 40));
    EXPECT_EQ (f.app.session.getNumUndoStates(), undoStates);
}

TEST (ReviewPage, AssignAndStemMenusFromTheButtonAndFromRightClicks)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    TreeRows rows (page);
    auto& seams = *f.seams;
    const auto glimmer = f.id ("Glimmer_03.wav"), kick = f.id ("kick_violins.wav");

    rows.click (*rows.track (glimmer));
    press (page, "Assign to...");
    ASSERT_EQ (seams.menus.size(), 1u);
    EXPECT_EQ (seams.menus[0].options.getTargetComponent(), &button (page, "Assign to..."));
    const auto items = seams.lastMenuItems();
    EXPECT_EQ (items[0].text, "1 track(s) selected");
    ASSERT_TRUE (seams.chooseStemMenuItem ("Choir"));
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (glimmer), f.stem ("Choir"));

    // A right-click on a row outside the selection selects it alone; the menu opens at the mouse.
    rows.click (*rows.track (kick), juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier));
    EXPECT_EQ (page.getSelectedTrackIds(), juce::StringArray (kick));
    ASSERT_EQ (seams.menus.size(), 2u);
    EXPECT_EQ (seams.menus[1].options.getTargetComponent(), nullptr);
    ASSERT_TRUE (seams.chooseMenuItemNamed ("Sort stems alphabetically"));
    EXPECT_TRUE (f.app.isStemsAlphabetical());
    EXPECT_EQ (page.getTree().getRootItem()->getSubItem (1)->getUniqueName(), "stem:" + f.stem ("Brass"));

    // A heading's right-click: the order and expand/collapse menu.
    pumpMessages (20); // the sorted rows take their places
    rows.click (*rows.heading (f.stem ("Strings")), juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier));
    ASSERT_EQ (seams.menus.size(), 3u);
    const auto stemItems = seams.lastMenuItems();
    ASSERT_EQ (stemItems.size(), 4u);
    EXPECT_TRUE (stemItems[0].ticked);
    EXPECT_EQ (stemItems[3].text, "Collapse all");
    ASSERT_TRUE (seams.chooseMenuItemNamed ("Collapse all"));
    for (int i = 0; i < page.getTree().getRootItem()->getNumSubItems(); ++i)
        EXPECT_FALSE (page.getTree().getRootItem()->getSubItem (i)->isOpen()) << i;
}

// Importing another cue used to put every track the user had moved by hand back where the
// engine wanted it; the re-run replaced them without a word.
TEST (ReviewPage, HandMadeDecisionsSurviveAnImportAndTheRerunAsksBeforeReplacingThem)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    auto& session = f.app.session;
    auto& seams = *f.seams;
    TreeRows rows (page);

    const auto violins = f.id ("violins_a.wav"), glimmer = f.id ("Glimmer_03.wav"), snare = f.id ("snare.wav"), choir = f.id ("choir.wav");
    session.assignTracks ({ violins }, f.stem ("Brass"), false);
    session.assignTracks ({ glimmer }, f.stem ("Choir"), false);
    session.assignTracks ({ snare }, f.stem ("Strings"), false); // in the other cue
    session.assignTracks ({ choir }, f.stem ("Percussion"), true);

    const std::pair<juce::String, const char*> decided[] = { { violins, "Brass" }, { glimmer, "Choir" }, { snare, "Strings" }, { choir, "Percussion" } };
    const auto expectDecided = [&] (const char* when)
    {
        SCOPED_TRACE (when);
        for (const auto& [id, stemName] : decided)
            EXPECT_EQ (session.findTrack (id)->stemId, f.stem (stemName)) << session.findTrack (id)->file.getFileName();
        EXPECT_EQ (session.countManualAssignments(), 3);
    };

    ASSERT_EQ (session.importFiles ({ writeToneFile (f.folder.file ("1M03/horns_c.wav"), 1.0, 0.25f).getParentDirectory() }, false).imported, 1);
    EXPECT_EQ (session.findTrack (f.id ("horns_c.wav"))->stemId, f.stem ("Brass"));
    expectDecided ("after the import");

    // Cancel replaces nothing and leaves no undo state.
    const auto undoIndex = session.getUndoIndex();
    press (page, "Re-run auto assign");
    ASSERT_EQ (seams.countOpenBoxes(), 1);
    EXPECT_TRUE (seams.lastBox()->question);
    EXPECT_EQ (seams.lastBox()->request.message, "Re-run the automatic assignment? It replaces 3 tracks you assigned by hand; locked tracks stay.\n\n"
                                                  "Undo brings them back.");
    seams.closeBox (false);
    expectDecided ("after Cancel");
    EXPECT_EQ (session.getUndoIndex(), undoIndex);

    press (page, "Re-run auto assign");
    seams.closeBox (true);
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (violins), f.stem ("Strings"));
    EXPECT_EQ (rows.stemOf (glimmer), juce::String());
    EXPECT_EQ (session.findTrack (snare)->stemId, f.stem ("Percussion")); // another cue than the one shown
    EXPECT_EQ (rows.stemOf (choir), f.stem ("Percussion"));
    EXPECT_EQ (session.findTrack (choir)->source, AssignmentSource::locked);
    EXPECT_EQ (session.countManualAssignments(), 0);

    press (page, "Undo");
    expectDecided ("after Undo");

    // With nothing assigned by hand the re-run needs no question.
    session.assignTracks ({ violins, glimmer, snare }, f.stem ("Choir"), true);
    press (page, "Re-run auto assign");
    EXPECT_EQ (seams.countOpenBoxes(), 0);
    EXPECT_EQ (session.getUndoIndex(), undoIndex + 2); // the lock, then the run
}

TEST (ReviewPage, SaveAsRuleOffersTheFirstSelectedTracksNewWords)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    TreeRows rows (page);
    auto& seams = *f.seams;

    const auto leadVox = writeToneFile (f.folder.file ("1M01/LeadVox_02_final.wav"), 1.0, 0.25f);
    f.app.session.importFiles ({ leadVox }, false);
    const auto leadVoxId = f.id ("LeadVox_02_final.wav");
    tickAndSettle (page);

    // Without a stem there is nothing to learn from.
    rows.click (*rows.track (leadVoxId));
    press (page, "Save as rule...");
    ASSERT_NE (seams.lastBox(), nullptr);
    EXPECT_EQ (seams.lastBox()->request.title, "Assign it first");
    EXPECT_EQ (seams.lastBox()->request.message, "Assign 'LeadVox_02_final.wav' to a stem, then save that correction as a rule.");
    seams.closeBox();

    f.app.session.assignTracks ({ leadVoxId }, f.stem ("Choir"), false);
    tickAndSettle (page);
    press (page, "Save as rule...");
    ASSERT_EQ (seams.menus.size(), 1u);
    const auto items = seams.lastMenuItems();
    ASSERT_EQ (items.size(), 4u);
    EXPECT_TRUE (items[0].sectionHeader);
    EXPECT_EQ (items[0].text, "Add a keyword to Choir");
    EXPECT_EQ (items[1].text + items[2].text + items[3].text, "leadvoxfinal");
    EXPECT_EQ (seams.menus.back().options.getTargetComponent(), &button (page, "Save as rule..."));

    ASSERT_TRUE (seams.chooseMenuItemNamed ("vox"));
    ASSERT_TRUE (seams.lastBox()->question);
    EXPECT_EQ (seams.lastBox()->request.title, "Add this rule?");
    EXPECT_EQ (seams.lastBox()->request.message, "'vox' will be added to Choir in the preset loaded in this session.\n\n"
                                                  "The preset library on disk is not changed until you save the preset on the Preset page.");
    seams.closeBox (true);

    const auto* stem = f.app.session.getPreset().schema.findStem (f.stem ("Choir"));
    ASSERT_EQ (stem->rules.size(), 2u);
    EXPECT_EQ (stem->rules[1].pattern, "vox");

    // Undo (of the assignment) leaves the rule.
    f.app.session.undo();
    EXPECT_EQ (f.app.session.getPreset().schema.findStem (f.stem ("Choir"))->rules.size(), 2u);
    f.app.session.redo();

    // With several rows selected, the first in tree order counts: choir.wav has nothing new.
    tickAndSettle (page);
    rows.track (f.id ("choir.wav"))->setSelected (true, false);
    ASSERT_EQ (page.getSelectedTrackIds()[0], f.id ("choir.wav"));
    press (page, "Save as rule...");
    EXPECT_EQ (seams.lastBox()->request.title, "Nothing new to add");
    EXPECT_EQ (seams.lastBox()->request.message, "Every usable word in 'choir.wav' is already a rule somewhere in this schema.");
    seams.closeBox();

    // A stem removed while the question is open: the session's reason is shown.
    rows.track (f.id ("choir.wav"))->setSelected (false, false);
    f.app.session.assignTracks ({ leadVoxId }, f.stem ("Brass"), false);
    tickAndSettle (page);
    press (page, "Save as rule...");
    ASSERT_TRUE (seams.chooseMenuItemNamed ("lead"));
    auto preset = f.app.session.getPreset();
    ASSERT_TRUE (preset.schema.removeStem (f.stem ("Brass")));
    f.app.session.updatePreset (preset);
    seams.closeBox (true);
    EXPECT_EQ (seams.lastBox()->request.title, "The rule was not added");
    EXPECT_EQ (seams.lastBox()->request.message, "That stem is not part of the current schema.");
}

} // namespace dunmoor::testing
