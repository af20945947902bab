#include "ImportPageTestSupport.h"
#include "RawBytesNames.h"

namespace dunmoor::testing
{

TEST_F (ImportPageFixture, EmptyPageAndItsLayout)
{
    EXPECT_TRUE (findByTitle (*page, "Add files")->isEnabled());
    EXPECT_FALSE (findByTitle (*page, "Remove selected")->isEnabled());
    EXPECT_FALSE (findByTitle (*page, "Clear list")->isEnabled());
    EXPECT_FALSE (findByTitle (*page, "Play")->isEnabled());
    EXPECT_FALSE (findByTitle (*page, "Whole file")->isEnabled());
    EXPECT_TRUE (findByTitle (*page, "Drop hint")->isVisible());
    EXPECT_EQ (page->getShownTrackCount(), -1);

    // The table shows whole rows; the pane takes what is left.
    EXPECT_EQ (page->getPreviewPaneBounds(), juce::Rectangle<int> (12, 496, 1176, 192));
    EXPECT_EQ (table().getBounds(), juce::Rectangle<int> (12, 48, 1176, 436));
    const auto onPage = [this] (juce::Component* c) { return page->getLocalArea (c, c->getLocalBounds()); };
    EXPECT_EQ (onPage (findByTitle (*page, "Waveform")), juce::Rectangle<int> (24, 638, 1152, 44));
    EXPECT_EQ (onPage (findByTitle (*page, "Spectrogram")), juce::Rectangle<int> (24, 538, 1152, 95));
    EXPECT_EQ (onPage (findByTitle (*page, "Whole file")).getRight(), 1176);
    EXPECT_EQ (findByTitle (*page, "Search")->getBounds(), juce::Rectangle<int> (968, 12, 220, 30));

    // Clearing an empty list asks nothing.
    page->askToClearList();
    EXPECT_TRUE (seams->boxes.empty());

    saveSnapshot (*page, "import-empty");
}

TEST_F (ImportPageFixture, ImportThroughTheChooserAndTheRecentFolders)
{
    // No recent folder yet: the folder chooser opens at once.
    page->addFolder();
    ASSERT_EQ (seams->choosers.size(), 1u);
    EXPECT_EQ (seams->choosers[0].request.title, "Add a folder of audio files");
    ASSERT_TRUE (seams->answerChooser ({ reel }));

    // One cue per folder, the unreadable file listed with its error, and a box that says so.
    EXPECT_EQ (app->session.getTracks().size(), 5u);
    EXPECT_EQ (app->session.getCuesWithTracks().size(), 2u);
    EXPECT_FALSE (app->session.findTrack (idOf ("Broken.wav"))->isReadable());
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "Some files could not be imported");
    EXPECT_TRUE (seams->lastBox()->request.message.contains ("Broken.wav: "));
    EXPECT_EQ (app->getRecentImportFolders(), juce::StringArray (reel.getFullPathName()));
    EXPECT_FALSE (findByTitle (*page, "Drop hint")->isVisible());
    EXPECT_TRUE (table().getHeader().isColumnVisible (ui::ImportColumn::cue));

    // Files alone add no recent folder; the recent menu offers the folder and the chooser.
    app->session.clear();
    page->addFiles();
    ASSERT_EQ (seams->choosers.back().request.title, "Add audio files");
    ASSERT_TRUE (seams->answerChooser ({ reel.getChildFile ("1M01/Violins.wav") }));
    EXPECT_EQ (app->session.getTracks().size(), 1u);
    EXPECT_EQ (app->getRecentImportFolders().size(), 1);
    EXPECT_FALSE (table().getHeader().isColumnVisible (ui::ImportColumn::cue)) << "one cue";

    page->addFolder();
    const auto items = seams->lastMenuItems();
    ASSERT_GE (items.size(), 4u);
    EXPECT_EQ (items[0].text, "Add folder...");
    EXPECT_EQ (items[3].text, temp.folder.getFileName() + " / Reel");
    ASSERT_TRUE (seams->chooseMenuItemNamed (temp.folder.getFileName() + " / Reel"));
    EXPECT_EQ (app->session.getTracks().size(), 5u);
}

// At the smallest window the columns gave way by falling off the table's edge, Status first; a
// cell too narrow for its words now shortens them on purpose and its tooltip has them whole.
TEST_F (ImportPageFixture, AtTheSmallestWindowEveryColumnShowsAndShortenedWordsAreWholeInTheTooltip)
{
    const juce::String longCue ("1M03 The Long Way Round the Harbour at Dawn and Dusk");
    writeTone (reel.getChildFile (longCue + "/Violins Sustain.wav"), 1.0);
    importTree();
    page->setSize (1100 - 24, 720 - 104 - 44);

    auto& header = table().getHeader();
    const auto last = header.getColumnIdOfIndex (header.getNumColumns (true) - 1, true);
    EXPECT_EQ (last, ui::ImportColumn::status);
    EXPECT_LE (header.getColumnPosition (header.getNumColumns (true) - 1).getRight(), table().getVisibleRowWidth());

    const auto& shown = page->getShownRows();
    const auto row = (int) (std::find (shown.begin(), shown.end(), idOf ("Violins Sustain.wav")) - shown.begin());
    ASSERT_LT (row, (int) shown.size());
    const auto tip = page->getCellTooltip (row, ui::ImportColumn::cue);
    EXPECT_TRUE (tip.startsWith (longCue + "\n")) << tip;
    EXPECT_TRUE (page->getCellTooltip (row, ui::ImportColumn::file).startsWith (reel.getFullPathName())) << "the file's tip is its path";
}

// Both import choosers always opened in the music folder, and the folder chooser took one
// folder per trip. Then the folder chooser opened inside the last cue folder imported, so that
// every further cue beside it cost a step up.
TEST_F (ImportPageFixture, ChoosersOpenWhereTheLastImportCameFromAndTakeSeveralFolders)
{
    page->addFolder();
    ASSERT_EQ (seams->choosers.size(), 1u);
    EXPECT_EQ (seams->choosers[0].request.mode, ui::FileChooserRequest::Mode::openFolders);
    EXPECT_EQ (seams->choosers[0].request.initialLocation, juce::File::getSpecialLocation (juce::File::userMusicDirectory));
    ASSERT_TRUE (seams->answerChooser ({ reel.getChildFile ("1M02"), reel.getChildFile ("1M01") }));
    EXPECT_EQ (app->session.getCuesWithTracks().size(), 2u);

    // The file chooser opens inside the last folder, the folder chooser beside it.
    page->addFiles();
    EXPECT_EQ (seams->choosers.back().request.initialLocation, reel.getChildFile ("1M01"));
    ASSERT_TRUE (seams->answerChooser ({}));

    const auto folderChooserOpensAt = [this]
    {
        page->addFolder(); // the recent menu first, then its chooser item
        EXPECT_TRUE (seams->chooseMenuItem (1));
        const auto location = seams->choosers.back().request.initialLocation;
        EXPECT_TRUE (seams->answerChooser ({}));
        return location;
    };

    EXPECT_EQ (folderChooserOpensAt(), reel);

    // Files: their own folder. Then a drop of folders from two places, and a recent folder.
    const auto pads = writeTone (temp.file ("Elsewhere/Pads/Warm Pad.wav"), 0.5);
    page->addFiles();
    ASSERT_TRUE (seams->answerChooser ({ pads }));
    EXPECT_EQ (folderChooserOpensAt(), pads.getParentDirectory());

    const auto other = writeTone (temp.file ("Second Reel/2M01/Celli.wav"), 0.5).getParentDirectory();
    page->filesDropped ({ reel.getChildFile ("1M02").getFullPathName(), other.getFullPathName() }, 10, 10);
    EXPECT_EQ (folderChooserOpensAt(), temp.file ("Second Reel")) << "the parent of the last folder";

    page->addFolder();
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Reel / 1M01"));
    EXPECT_EQ (folderChooserOpensAt(), reel);
}

// A folder without audio was taken without a word: nothing in the list, no box, no way to tell
// it from a drop that never arrived.
TEST_F (ImportPageFixture, AFolderWithoutAudioSaysSoWhetherChosenOrDropped)
{
    const auto empty = temp.file ("Empty Cue");
    const auto notes = temp.file ("Only Notes");
    ASSERT_TRUE (empty.createDirectory());
    ASSERT_TRUE (notes.createDirectory() && notes.getChildFile ("cue sheet.txt").replaceWithText ("1M01 00:00:10"));

    page->addFolder();
    ASSERT_TRUE (seams->answerChooser ({ empty }));
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "No audio files found");
    EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("No audio files were found in \"Empty Cue\".\n\nChoose a folder that holds WAV, AIFF or FLAC files."))
        << seams->lastBox()->request.message;

    const auto boxes = seams->boxes.size();
    page->filesDropped ({ empty.getFullPathName(), notes.getFullPathName() }, 10, 10);
    ASSERT_EQ (seams->boxes.size(), boxes + 1);
    EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("No audio files were found in 2 chosen folders.")) << seams->lastBox()->request.message;
    EXPECT_TRUE (app->session.getTracks().empty());
    EXPECT_TRUE (app->getRecentImportFolders().isEmpty()) << "no place to come back to";

    // A cancelled chooser imports nothing and has nothing to say.
    page->addFiles();
    ASSERT_TRUE (seams->answerChooser ({}));
    EXPECT_EQ (seams->boxes.size(), boxes + 1);
}

TEST_F (ImportPageFixture, ADroppedFolderNamesEveryFileItCouldNotImport)
{
    RawNamedEntries raw;
    raw.makeFile (reel.getChildFile ("1M01"), "Voil\xe0 Strings.wav");

    importTree();

    EXPECT_EQ (app->session.getTracks().size(), 5u);
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "Some files could not be imported");
    EXPECT_TRUE (seams->lastBox()->request.message.contains ("'Voil" + juce::String::charToString (0xfffd)
                                                             + " Strings.wav' was not imported: its name is not valid UTF-8; rename it."))
        << seams->lastBox()->request.message;
}

// A file dropped by itself under such a name was imported without a word, and the framework
// then wrote past a heap block naming it.
TEST_F (ImportPageFixture, ADroppedFileWhoseNameIsNotUtf8IsRefusedWithOneMessage)
{
    RawNamedEntries raw;
    raw.makeFile (reel.getChildFile ("1M01"), "Voil\xe0 Strings.wav");

    juce::StringArray dropped;
    dropped.add (stringOfRawBytes ((reel.getChildFile ("1M01").getFullPathName() + "/").toStdString().append ("Voil\xe0 Strings.wav").c_str()));
    page->filesDropped (dropped, 10, 10);

    EXPECT_TRUE (app->session.getTracks().empty());
    ASSERT_NE (seams->lastBox(), nullptr);
    const auto& message = seams->lastBox()->request.message;
    EXPECT_TRUE (message.endsWith ("\n'Voil" + juce::String::charToString (0xfffd)
                                   + " Strings.wav' was not imported: its name is not valid UTF-8; rename it.")) << message;
    EXPECT_EQ (juce::StringArray::fromLines (message).joinIntoString ("\n").indexOf ("was not imported"),
               juce::StringArray::fromLines (message).joinIntoString ("\n").lastIndexOf ("was not imported")) << "one message";
}

TEST_F (ImportPageFixture, SelectionFollowsItsTracksAndDeleteRemovesExactlyThem)
{
    importTree();
    ASSERT_EQ (shownNames(), "Broken Horns Kick Pad Violins");

    page->selectTracks ({ idOf ("Horns.wav"), idOf ("Pad.wav") });
    EXPECT_EQ (page->getSelectedTrackIds(), juce::StringArray (idOf ("Horns.wav"), idOf ("Pad.wav")));
    EXPECT_EQ (page->getShownTrackId(), idOf ("Pad.wav"));

    // A sort moves the rows, not the selection.
    table().getHeader().setSortColumnId (ui::ImportColumn::file, false);
    ASSERT_TRUE (pumpUntil ([&] { return shownNames() == "Violins Pad Kick Horns Broken"; })) << shownNames();
    EXPECT_EQ (page->getSelectedTrackIds(), juce::StringArray (idOf ("Pad.wav"), idOf ("Horns.wav")));

    // A filter that hides one keeps the other.
    auto& search = *findByTitle<juce::TextEditor> (*page, "Search");
    search.setText ("AD", true);
    ASSERT_TRUE (pumpUntil ([&] { return shownNames() == "Pad"; })) << shownNames();
    EXPECT_EQ (page->getShownTrackCount(), 1);
    EXPECT_EQ (page->getSelectedTrackIds(), juce::StringArray (idOf ("Pad.wav")));
    search.setText ("   ", true);
    ASSERT_TRUE (pumpUntil ([&] { return page->getShownTrackCount() == -1; })) << "spaces filter nothing";
    search.setText ("zz", true);
    ASSERT_TRUE (pumpUntil ([&] { return page->getShownTrackCount() == 0; }));
    search.setText ({}, true);
    ASSERT_TRUE (pumpUntil ([&] { return page->getShownTrackCount() == -1; }));

    // Removing another track keeps the selection on its tracks.
    page->selectTracks ({ idOf ("Kick.wav"), idOf ("Violins.wav") });
    app->session.removeTracks ({ idOf ("Broken.wav") });
    EXPECT_EQ (page->getSelectedTrackIds(), juce::StringArray (idOf ("Violins.wav"), idOf ("Kick.wav")));

    // Delete removes exactly the selected tracks; the preview lets its track go.
    page->deleteKeyPressed (0);
    EXPECT_EQ (shownNames(), "Pad Horns");
    EXPECT_TRUE (page->getShownTrackId().isEmpty());
    EXPECT_TRUE (page->getSelectedTrackIds().isEmpty());
    EXPECT_TRUE (reel.getChildFile ("1M02/Kick.wav").existsAsFile()) << "the files stay on disk";

    while (seams->closeBox()) {} // the import's box
    page->askToClearList();
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "Clear the track list?");
    seams->closeBox (true);
    EXPECT_TRUE (app->session.getTracks().empty());
}

TEST_F (ImportPageFixture, AssignMenuFromARightClickAndARefusedRename)
{
    importTree();
    pumpMessages (20);
    page->selectTracks ({ idOf ("Pad.wav"), idOf ("Horns.wav") });

    // A right click on a row outside the selection selects only that row.
    const auto padRow = table().getSelectedRow (1);
    page->cellClicked (0, ui::ImportColumn::file, rightClickAt (table(), { 20, 20 }));
    EXPECT_EQ (page->getSelectedTrackIds(), juce::StringArray (idOf ("Broken.wav")));
    ASSERT_EQ (seams->menus.size(), 1u);
    seams->dismissMenu();

    // One inside keeps it.
    page->selectTracks ({ idOf ("Pad.wav"), idOf ("Horns.wav") });
    page->cellClicked (padRow, ui::ImportColumn::stem, rightClickAt (table(), { 20, 20 }));
    ASSERT_EQ (seams->menus.size(), 2u);
    const auto items = seams->lastMenuItems();
    EXPECT_EQ (items[0].text, "2 track(s) selected");

    ASSERT_TRUE (seams->chooseStemMenuItem ("Percussion"));
    EXPECT_EQ (app->session.findTrack (idOf ("Pad.wav"))->stemId, stemIdNamed (app->session, "Percussion"));
    EXPECT_EQ (app->session.findTrack (idOf ("Horns.wav"))->source, AssignmentSource::manual);

    // Renaming onto a name another file has: refused in a box, the file untouched.
    page->selectTracks ({ idOf ("Pad.wav") });
    page->showAssignMenu ({ 100, 100 });
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Rename file"));
    ASSERT_EQ (seams->prompts.size(), 1u);
    EXPECT_EQ (seams->prompts[0].request.title, "Rename this file");
    EXPECT_EQ (seams->prompts[0].request.fields[0].initialText, "Pad");
    ASSERT_TRUE (seams->answerPrompt (true, { " Horns " }));
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "The file was not renamed");
    EXPECT_EQ (seams->lastBox()->request.message, "There is already a file called 'Horns.wav' in that folder.");
    EXPECT_TRUE (reel.getChildFile ("1M01/Pad.wav").existsAsFile());

    // The menu's sort switch writes the setting.
    page->showAssignMenu ({ 100, 100 });
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Sort stems alphabetically"));
    EXPECT_TRUE (app->isStemsAlphabetical());
}

TEST_F (ImportPageFixture, NoAudioDeviceSaysSoOncePerPressAndAutoplayStaysSilent)
{
    importTree();
    page->selectTracks ({ idOf ("Violins.wav") });
    ASSERT_EQ (page->getShownTrackId(), idOf ("Violins.wav"));
    EXPECT_TRUE (findByTitle (*page, "Play")->isEnabled());

    const auto before = seams->boxes.size();
    page->togglePlayback();
    ASSERT_EQ (seams->boxes.size(), before + 1);
    EXPECT_EQ (seams->lastBox()->request.title, "No audio output");
    EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("Brackenfold could not open an audio device, so auditioning is unavailable.\n\n"));
    page->togglePlayback();
    EXPECT_EQ (seams->boxes.size(), before + 2);

    findByTitle<juce::ToggleButton> (*page, "Autoplay")->setToggleState (true, juce::sendNotificationSync);
    EXPECT_TRUE (app->settings->getBoolValue ("importAutoplay"));
    page->selectTracks ({ idOf ("Horns.wav") });
    EXPECT_EQ (seams->boxes.size(), before + 2);
}

TEST_F (ImportPageFixture, JumpSilenceStartsPlaybackAtTheFirstSound)
{
    importTree();
    page->selectTracks ({ idOf ("Pad.wav") });
    ASSERT_TRUE (pumpUntil ([this] { return ! page->getShownOverview().isEmpty(); }));

    const auto duration = 5.0;
    EXPECT_NEAR (page->getStartPosition() * duration, 2.95, 0.01);

    findByTitle<juce::ToggleButton> (*page, "Jump silence")->setToggleState (false, juce::sendNotificationSync);
    EXPECT_EQ (page->getStartPosition(), 0.0);
    EXPECT_FALSE (app->settings->getBoolValue ("importJumpSilence", true));
}

TEST_F (ImportPageFixture, ZoomStepsOfThePreview)
{
    importTree();
    page->selectTracks ({ idOf ("Violins.wav") });
    auto& whole = *findByTitle (*page, "Whole file");

    for (int i = 0; i < 10; ++i)
        page->zoomBy (0.5, 0.5);

    EXPECT_NEAR (page->getViewRange().getWidth(), 0.01, 1e-12) << "1 % of the file at most";
    EXPECT_TRUE (whole.isEnabled());

    page->setZoomRange (0.0, 0.1);
    page->zoomBy (2.0, 0.5);
    EXPECT_EQ (page->getViewRange().start, 0.0) << "the start is held at 0";
    EXPECT_NEAR (page->getViewRange().end, 0.2, 1e-12);

    // The wheel zooms around the pointer.
    auto& waveform = *findByTitle<ui::WaveformView> (*page, "Waveform");
    const auto before = page->getViewRange().toFile (0.25);
    waveform.onWheel (1.0f, 0.25);
    EXPECT_NEAR (page->getViewRange().toFile (0.25), before, 1e-12);
    EXPECT_NEAR (waveform.getVisibleRange().getLength(), 0.16, 1e-12);

    page->zoomBy (100.0, 0.5);
    EXPECT_TRUE (page->getViewRange().isWholeFile());
    EXPECT_FALSE (whole.isEnabled());
}

namespace
{
    struct AuditionFixture : ImportPageFixture
    {
        void SetUp() override
        {
            audio = std::make_shared<FakeAudioOutput>();
            ImportPageFixture::SetUp();
        }
    };
} // namespace

TEST_F (AuditionFixture, PlaysFromWhereTheViewIsClickedAndFollowsTheTransport)
{
    importTree();
    ASSERT_TRUE (app->previewEngine.isAudioAvailable());
    page->selectTracks ({ idOf ("Violins.wav") });

    // A click at 80 % plays from 80 % of the track's length, overview or not.
    auto& waveform = *findByTitle<ui::WaveformView> (*page, "Waveform");
    waveform.onSeek (0.8);
    auto& engine = app->previewEngine;
    ASSERT_TRUE (pumpUntil ([&] { return engine.isPlaying(); }));
    EXPECT_EQ (engine.getRequestedSourceId(), "track:" + idOf ("Violins.wav"));
    EXPECT_GE (engine.getPlayheadSeconds(), 1.6 - 0.01);

    auto& transport = *findByTitle<ui::TransportButton> (*page, "Play");
    ASSERT_TRUE (pumpUntil ([&] { return transport.isPlaying(); }));
    EXPECT_TRUE (findByTitle<juce::Label> (*page, "Time")->getText().endsWith (" / 0:02.0"));

    // The button stops it; Autoplay starts each new selection at once.
    page->togglePlayback();
    EXPECT_FALSE (engine.isActiveFor ("track:" + idOf ("Violins.wav")));
    findByTitle<juce::ToggleButton> (*page, "Autoplay")->setToggleState (true, juce::sendNotificationSync);
    page->selectTracks ({ idOf ("Horns.wav") });
    EXPECT_EQ (engine.getRequestedSourceId(), "track:" + idOf ("Horns.wav"));
    EXPECT_TRUE (seams->boxes.size() <= 1) << "only the import's box";

    // Removing the track that plays stops it and empties the pane.
    app->session.removeTracks ({ idOf ("Horns.wav") });
    EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
    EXPECT_EQ (findByTitle<juce::Label> (*page, "File name")->getText(), "Nothing selected");
}

} // namespace dunmoor::testing
