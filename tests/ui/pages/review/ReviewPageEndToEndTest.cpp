#include "core/model/BuiltInPresets.h"
#include "ui/pages/review/ReviewPageTestSupport.h"

namespace dunmoor::testing
{

// As a new user would: import two cues with the example preset, correct a track by dragging it
// onto a stem, lock it, turn the correction into a rule, let the engine apply it to its sibling,
// undo and redo, and listen to the cue's mix with the meters moving.
TEST (ReviewPageEndToEnd, CorrectLockLearnAndListen)
{
    ReviewAppFixture f;
    auto& app = f.app;
    auto& session = app.session;

    const auto* entry = app.presetLibrary->findEntry (builtInExamplePresetId);
    ASSERT_NE (entry, nullptr);
    const auto libraryFile = entry->file;
    const auto libraryText = libraryFile.loadFileAsString();
    const auto example = app.presetLibrary->loadPreset (builtInExamplePresetId);
    ASSERT_TRUE (example.ok);
    session.setPreset (example.preset);
    app.presetId = builtInExamplePresetId;

    const auto first = f.folder.file ("1M01"), second = f.folder.file ("1M02");
    writeToneFile (first.getChildFile ("Violin_01.wav"), 2.0, 0.5f);
    writeToneFile (first.getChildFile ("Glimmer_03.wav"), 2.0, 0.2f);
    writeToneFile (first.getChildFile ("Glimmer_04.wav"), 2.0, 0.2f);
    writeToneFile (second.getChildFile ("Cello_01.wav"), 2.0, 0.5f);
    ASSERT_EQ (session.importFiles ({ first, second }, false).imported, 4);

    ui::ReviewPage page (app);
    page.setSize (1360, 712);
    tickAndSettle (page);
    TreeRows rows (page);

    const auto strings = f.stem ("Strings");
    const auto glimmer3 = f.id ("Glimmer_03.wav"), glimmer4 = f.id ("Glimmer_04.wav");
    EXPECT_EQ (page.getChosenCueKey(), f.cueKey (0));
    EXPECT_EQ (rows.stemOf (f.id ("Violin_01.wav")), strings);
    EXPECT_EQ (rows.stemOf (glimmer3), juce::String());
    EXPECT_EQ (rows.stemOf (glimmer4), juce::String());

    // Drag Glimmer_03 onto the open Strings heading.
    auto* stringsHeading = rows.heading (strings);
    ASSERT_TRUE (stringsHeading->isOpen());
    rows.drop (rows.track (glimmer3)->getDragSourceDescription(), rows.pointOn (*stringsHeading, 60));
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (glimmer3), strings);

    // Lock it.
    rows.click (*rows.track (glimmer3));
    findByTitle<juce::Button> (page, "Lock")->triggerClick();
    pumpMessages (10);
    EXPECT_EQ (session.findTrack (glimmer3)->source, AssignmentSource::locked);

    // Save "glimmer" as a rule of Strings.
    findByTitle<juce::Button> (page, "Save as rule...")->triggerClick();
    pumpMessages (10);
    const auto items = f.seams->lastMenuItems();
    ASSERT_EQ (items.size(), 2u);
    EXPECT_EQ (items[1].text, "glimmer");
    f.seams->chooseMenuItem (items[1].id);
    ASSERT_TRUE (f.seams->closeBox (true));

    // Re-run auto assign: Glimmer_04 joins Strings; undo and redo walk it back and forth.
    findByTitle<juce::Button> (page, "Re-run auto assign")->triggerClick();
    pumpMessages (10);
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (glimmer4), strings);
    findByTitle<juce::Button> (page, "Undo")->triggerClick();
    pumpMessages (10);
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (glimmer4), juce::String());
    findByTitle<juce::Button> (page, "Redo")->triggerClick();
    pumpMessages (10);
    tickAndSettle (page);
    EXPECT_EQ (rows.stemOf (glimmer4), strings);

    // Play 1M01's mix: the Strings meter rises.
    auto& mixButton = *findByTitle<juce::Button> (page, "Mix");
    ASSERT_TRUE (mixButton.isEnabled());
    mixButton.triggerClick();
    ASSERT_TRUE (pumpUntil ([&] { return page.getAuditionStrip().getMeterLevel (strings) > 0.5f; }, 10000));
    EXPECT_EQ (page.getAuditionStrip().getMeterLevel (f.stem ("Brass")), 0.0f);
    app.previewEngine.stop();

    // The session holds the correction, the lock and the rule; the library file is as it was.
    const auto& track3 = *session.findTrack (glimmer3);
    EXPECT_EQ (track3.stemId, strings);
    EXPECT_EQ (track3.source, AssignmentSource::locked);
    const auto& track4 = *session.findTrack (glimmer4);
    EXPECT_EQ (track4.source, AssignmentSource::automatic);
    EXPECT_TRUE (track4.matchedKeywords.contains ("glimmer"));
    const auto& rules = session.getPreset().schema.findStem (strings)->rules;
    EXPECT_EQ (rules.back().pattern, "glimmer");
    EXPECT_EQ (rules.back().note, "Added from the review screen.");
    EXPECT_EQ (libraryFile.loadFileAsString(), libraryText);
    EXPECT_TRUE (app.isPresetModified());
}

} // namespace dunmoor::testing
