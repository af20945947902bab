#include "ImportPageTestSupport.h"


namespace dunmoor::testing
{
namespace
{
    /** The page with an analysis that waits for the test: each job records its file and range
        and returns a one-value spectrogram holding its job number. */
    struct HeldAnalysisFixture : ImportPageFixture
    {
        void makePage() override
        {
            page = std::make_unique<ui::ImportPage> (*app, [this] (const juce::File& file, ui::ViewRange range, const CancelCheck& cancel)
                                                     {
                                                         const auto number = ++calls;

                                                         {
                                                             const std::lock_guard<std::mutex> lock (mutex);
                                                             jobs.add (file.getFileName() + " " + juce::String (range.start, 2) + ".." + juce::String (range.end, 2));
                                                         }

                                                         while (! gate.wait (1))
                                                             if (cancel())
                                                             {
                                                                 ++stopped;
                                                                 return ui::PreviewAnalysisResult {};
                                                             }

                                                         ui::PreviewAnalysisResult result;
                                                         result.spectrogram.columns = result.spectrogram.bins = 1;
                                                         result.spectrogram.values = { (float) number };

                                                         if (! range.isWholeFile())
                                                             result.overview.minimums = result.overview.maximums = { 0.25f };

                                                         return result;
                                                     });
            page->setSize (1200, 700);
        }

        juce::StringArray takeJobs()
        {
            const std::lock_guard<std::mutex> lock (mutex);
            auto taken = jobs;
            jobs.clear();
            return taken;
        }

        float shownJob() const
        {
            const auto& s = findByTitle<ui::SpectrogramView> (*page, "Spectrogram")->getSpectrogram();
            return s.values.empty() ? 0.0f : s.values[0];
        }

        juce::WaitableEvent gate { true };
        std::atomic<int> calls { 0 };
        std::atomic<int> stopped { 0 };
        std::mutex mutex;
        juce::StringArray jobs;
    };
} // namespace

TEST_F (HeldAnalysisFixture, ZoomedDetailComesOnceTheZoomSettlesAndTheWholeFileIsKept)
{
    gate.signal(); // every job runs through
    importTree();
    page->selectTracks ({ idOf ("Violins.wav") });
    auto& spectrogram = *findByTitle<ui::SpectrogramView> (*page, "Spectrogram");
    auto& waveform = *findByTitle<ui::WaveformView> (*page, "Waveform");

    ASSERT_TRUE (pumpUntil ([&] { return shownJob() == 1.0f && ! spectrogram.isBusy(); }));
    EXPECT_EQ (takeJobs(), juce::StringArray ("Violins.wav 0.00..1.00"));

    // Selecting the shown track again changes nothing.
    page->selectTracks ({ idOf ("Violins.wav") });
    pumpMessages (300);
    EXPECT_EQ (calls, 1);

    // Two steps in quick succession make one job for where the view settled.
    page->zoomBy (0.5, 0.5);
    page->zoomBy (0.5, 0.5);
    EXPECT_EQ (calls, 1);
    ASSERT_TRUE (pumpUntil ([&] { return calls == 2 && shownJob() == 2.0f; }));
    EXPECT_EQ (takeJobs(), juce::StringArray ("Violins.wav 0.38..0.62"));
    EXPECT_FALSE (page->getDataRange().differsFrom (page->getViewRange()));
    EXPECT_EQ (waveform.getDataRange(), juce::Range<double> (0.375, 0.625));
    EXPECT_EQ (waveform.getPeaks().getNumBuckets(), 1) << "the stretch's own waveform";

    // Back to the whole file: the kept picture, nothing computed. In and out again within the
    // settle time: nothing either.
    page->setZoomRange (0.0, 1.0);
    EXPECT_EQ (shownJob(), 1.0f);
    EXPECT_EQ (spectrogram.getDataRange(), juce::Range<double> (0.0, 1.0));
    page->zoomBy (0.5, 0.5);
    page->zoomBy (2.0, 0.5);
    pumpMessages (400);
    EXPECT_EQ (calls, 2);
    EXPECT_EQ (shownJob(), 1.0f);
}

TEST_F (HeldAnalysisFixture, ANewSelectionNeverWaitsForTheOldJobAndItsResultIsDropped)
{
    importTree();
    page->selectTracks ({ idOf ("Violins.wav") });
    ASSERT_TRUE (pumpUntil ([&] { return calls == 1; }));

    page->selectTracks ({ idOf ("Horns.wav") });
    EXPECT_EQ (page->getShownTrackId(), idOf ("Horns.wav"));
    ASSERT_TRUE (pumpUntil ([&] { return stopped == 1 && calls == 2; }));

    gate.signal();
    ASSERT_TRUE (pumpUntil ([&] { return shownJob() != 0.0f; }));
    pumpMessages (100);
    EXPECT_EQ (shownJob(), 2.0f);
    EXPECT_EQ (takeJobs(), juce::StringArray ({ "Violins.wav 0.00..1.00", "Horns.wav 0.00..1.00" }));
}

TEST_F (HeldAnalysisFixture, DestroyingThePageMidJobStopsItPromptly)
{
    importTree();
    page->selectTracks ({ idOf ("Violins.wav") });
    ASSERT_TRUE (pumpUntil ([&] { return calls == 1; }));

    page.reset();
    EXPECT_EQ (stopped, 1);
    pumpMessages (50);
}

TEST_F (ImportPageFixture, SplitWithTheKeyAtThePointer)
{
    importTree();
    page->selectTracks ({ idOf ("Violins.wav") });
    auto& waveform = *findByTitle<ui::WaveformView> (*page, "Waveform");
    auto& spectrogram = *findByTitle<ui::SpectrogramView> (*page, "Spectrogram");

    // Neither view under the pointer, or a modifier held: the key is not the page's.
    EXPECT_FALSE (page->keyPressed (juce::KeyPress ('s')));

    const auto area = waveform.getDrawingArea();
    waveform.mouseMove (mouseEventAt (waveform, { (float) area.getX() + area.getWidth() * 0.5f, 20.0f }));
    EXPECT_NEAR (spectrogram.getHoverPosition(), 0.5, 1e-3) << "the pointer is mirrored";
    EXPECT_FALSE (page->keyPressed (juce::KeyPress ('s', juce::ModifierKeys::shiftModifier, 0)));

    ASSERT_TRUE (page->keyPressed (juce::KeyPress ('s')));
    ASSERT_EQ (seams->prompts.size(), 1u);
    const auto& prompt = seams->prompts[0].request;
    EXPECT_EQ (prompt.title, "Split this stem");
    EXPECT_EQ (prompt.message, "The part up to 0:01.0 keeps the name it has.\nThe part after it becomes a new stem, both the same length as the original.");
    EXPECT_EQ (prompt.fields[0].initialText, "Violins 2");
    EXPECT_GE (waveform.getMarkerPosition(), 0.0);

    ASSERT_TRUE (seams->answerPrompt (true, { "Violins 2" }));
    EXPECT_LT (waveform.getMarkerPosition(), 0.0) << "the marker goes with the dialog";
    EXPECT_TRUE (reel.getChildFile ("1M01/Violins 2.wav").existsAsFile());
    EXPECT_TRUE (reel.getChildFile ("1M01/Violins_splitted.wav").existsAsFile());
    EXPECT_NE (trackNamed (app->session, "Violins 2.wav"), nullptr);
    EXPECT_TRUE (page->getShownTrackId().isEmpty()) << "the split track has gone from the preview";

    // A name that would be lost is refused before anything moves.
    page->selectTracks ({ idOf ("Horns.wav") });
    page->splitTrackAt (0.5, "Horns_splitted");
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "The stem was not split");
    EXPECT_FALSE (reel.getChildFile ("1M01/Horns_splitted.wav").exists());

    // The popup of a right click offers the split at that point; dismissing it hides the marker.
    page->offerSplitAt (0.5);
    const auto items = seams->lastMenuItems();
    ASSERT_EQ (items.size(), 2u);
    EXPECT_EQ (items[0].text, "At 0:00.8");
    EXPECT_EQ (items[1].text, "Split stem here (S)");
    EXPECT_GE (waveform.getMarkerPosition(), 0.0);
    seams->dismissMenu();
    EXPECT_LT (waveform.getMarkerPosition(), 0.0);
}

TEST_F (ImportPageFixture, SnapshotWithTracksSelectionClippingAndAZoomedPreview)
{
    importTree();
    ASSERT_TRUE (waitForOverviews());
    page->selectTracks ({ idOf ("Violins.wav") });
    page->zoomBy (0.5, 0.3);

    auto& waveform = *findByTitle<ui::WaveformView> (*page, "Waveform");
    ASSERT_TRUE (pumpUntil ([&] { return waveform.getDataRange() == juce::Range<double> (page->getViewRange().start, page->getViewRange().end)
                                         && ! findByTitle<ui::SpectrogramView> (*page, "Spectrogram")->isBusy(); }));
    page->repaint();
    pumpMessages (50);

    EXPECT_EQ (page->getCellTooltip (2, ui::ImportColumn::clip), "Clipped.") << "Kick";
    saveSnapshot (*page, "import");
}

// A new user's first session: a cue folder dropped on the page, sorted and searched, tracks
// assigned from the menu, a new stem typed, a file renamed and a track split with the S key.
TEST_F (ImportPageFixture, EndToEndAsANewUserWorks)
{
    const auto cue = temp.file ("Delivery/2M05 Chase");
    writeTone (cue.getChildFile ("Violins Hi.wav"), 3.0);
    writeTone (cue.getChildFile ("Synth Pad.wav"), 4.0);
    writeTone (cue.getChildFile ("Taiko.wav"), 2.0);
    writeTone (cue.getChildFile ("Kick.wav"), 1.0);

    page->fileDragEnter ({ cue.getFullPathName() }, 5, 5);
    page->filesDropped ({ cue.getFullPathName() }, 5, 5);
    EXPECT_EQ (app->session.getTracks().size(), 4u);
    EXPECT_TRUE (seams->boxes.empty()) << "a clean import says nothing";
    EXPECT_EQ (app->getRecentImportFolders()[0], cue.getFullPathName());

    // Sorted by length, longest first, then searched.
    table().getHeader().setSortColumnId (ui::ImportColumn::duration, false);
    ASSERT_TRUE (pumpUntil ([&] { return shownNames() == "Synth Pad Violins Hi Taiko Kick"; }));
    auto& search = *findByTitle<juce::TextEditor> (*page, "Search");
    search.setText ("t", true);
    ASSERT_TRUE (pumpUntil ([&] { return shownNames() == "Synth Pad Taiko"; })) << shownNames();

    // Both to Percussion from the menu, then the pad to a stem of its own.
    page->selectTracks ({ trackIdNamed (app->session, "Taiko.wav"), trackIdNamed (app->session, "Synth Pad.wav") });
    page->showAssignMenu ({ 50, 50 });
    ASSERT_TRUE (seams->chooseStemMenuItem ("Percussion"));
    EXPECT_EQ (trackNamed (app->session, "Taiko.wav")->stemId, stemIdNamed (app->session, "Percussion"));

    page->selectTracks ({ trackIdNamed (app->session, "Synth Pad.wav") });
    page->showAssignMenu ({ 50, 50 });
    ASSERT_TRUE (seams->chooseMenuItemNamed ("New stem"));
    ASSERT_EQ (seams->prompts.back().request.title, "New stem");
    seams->answerPrompt (true, { "Pads" });
    EXPECT_EQ (trackNamed (app->session, "Synth Pad.wav")->stemId, stemIdNamed (app->session, "Pads"));
    EXPECT_EQ (app->templateStore.getTemplates().size(), 1u);

    // The violins get a clearer file name.
    search.setText ({}, true);
    ASSERT_TRUE (pumpUntil ([&] { return page->getShownTrackCount() == -1; }));
    page->selectTracks ({ trackIdNamed (app->session, "Violins Hi.wav") });
    page->showAssignMenu ({ 50, 50 });
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Rename file"));
    seams->answerPrompt (true, { "Violins High" });
    EXPECT_TRUE (cue.getChildFile ("Violins High.wav").existsAsFile());
    EXPECT_FALSE (cue.getChildFile ("Violins Hi.wav").exists());
    EXPECT_EQ (page->getShownFile(), cue.getChildFile ("Violins High.wav")) << "the preview follows the rename";

    // Split at the pointer with the S key.
    auto& waveform = *findByTitle<ui::WaveformView> (*page, "Waveform");
    const auto area = waveform.getDrawingArea();
    waveform.mouseMove (mouseEventAt (waveform, { (float) area.getX() + area.getWidth() / 3.0f, 10.0f }));
    ASSERT_TRUE (page->keyPressed (juce::KeyPress ('s')));
    seams->answerPrompt (true, { "Violins High 2" });

    EXPECT_EQ (TemporaryFolder::listing (cue).joinIntoString ("|"),
               "Kick.wav|Synth Pad.wav|Taiko.wav|Violins High 2.wav|Violins High.wav|Violins High_splitted.wav");
    EXPECT_EQ (app->session.getTracks().size(), 5u);
    EXPECT_EQ (app->session.getCuesWithTracks().size(), 1u);
    EXPECT_EQ (trackNamed (app->session, "Synth Pad.wav")->stemId, stemIdNamed (app->session, "Pads")) << "other tracks keep their decisions";

    // Dropping the folder again adds nothing and says why the original stayed out.
    const auto boxes = seams->boxes.size();
    page->filesDropped ({ cue.getFullPathName() }, 5, 5);
    EXPECT_EQ (app->session.getTracks().size(), 5u);
    ASSERT_EQ (seams->boxes.size(), boxes + 1);
    EXPECT_EQ (seams->lastBox()->request.title, "One split file was not imported");
    EXPECT_EQ (seams->lastBox()->request.icon, juce::MessageBoxIconType::InfoIcon);
}

} // namespace dunmoor::testing
