#include "ui/pages/review/ReviewPageTestSupport.h"

namespace dunmoor::testing
{
using ui::ReviewPage;

namespace
{
    bool waitForPlaying (const ui::PreviewEngine& engine)
    {
        return pumpUntil ([&] { return engine.isPlaying() && ! engine.isLoading(); });
    }
} // namespace

TEST (ReviewPageAudition, TrackHeadingAndMixAuditionsThroughTheDevice)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    auto& engine = f.app.previewEngine;
    TreeRows rows (page);
    auto& trackButton = *findByTitle<ui::TransportButton> (page, "Track");
    auto& mixButton = *findByTitle<ui::TransportButton> (page, "Mix");

    // Space with nothing selected does nothing, and says nothing.
    page.auditionSelection();
    EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
    EXPECT_TRUE (f.seams->boxes.empty());
    EXPECT_FALSE (trackButton.isEnabled());

    // Double-clicking a heading plays everything under it, summed.
    auto& unassigned = *rows.heading ({});
    rows.doubleClick (unassigned);
    EXPECT_TRUE (unassigned.isSelected());
    const auto headingKey = "track:" + f.id ("kick_violins.wav") + "+" + f.id ("Glimmer_03.wav") + "+" + f.id ("broken.wav");
    EXPECT_EQ (engine.getRequestedSourceId(), headingKey);
    ASSERT_TRUE (waitForPlaying (engine));
    page.tick();
    EXPECT_TRUE (trackButton.isPlaying());
    EXPECT_TRUE (page.getAuditionStrip().isMeterTimerRunning());

    // Selecting something else stops a track audition.
    rows.click (*rows.track (f.id ("violins_a.wav")));
    EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());

    // Play after a natural end plays again at once: one press.
    trackButton.triggerClick();
    pumpMessages (10);
    ASSERT_TRUE (waitForPlaying (engine));
    ASSERT_TRUE (pumpUntil ([&] { return ! engine.isPlaying(); }, 10000)); // three seconds of tone
    EXPECT_TRUE (engine.isActiveFor (page.getTrackPreviewKey()));
    trackButton.triggerClick();
    pumpMessages (10);
    EXPECT_TRUE (engine.isLoading() || engine.isPlaying());
    EXPECT_EQ (engine.getRequestedSourceId(), "track:" + f.id ("violins_a.wav"));
    // ...and a press while it plays stops it.
    ASSERT_TRUE (waitForPlaying (engine));
    trackButton.triggerClick();
    pumpMessages (10);
    EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());

    // The mix of the chosen cue; selecting tracks does not stop it.
    page.tick();
    ASSERT_TRUE (mixButton.isEnabled());
    mixButton.triggerClick();
    pumpMessages (10);
    EXPECT_EQ (engine.getRequestedSourceId(), "mix:" + f.cueKey (0) + ":");
    ASSERT_TRUE (waitForPlaying (engine));
    rows.click (*rows.track (f.id ("choir.wav")));
    page.tick();
    EXPECT_TRUE (engine.isPlaying());
    EXPECT_TRUE (mixButton.isPlaying());

    // While the mix plays, a click into the strip jumps within the prepared window.
    page.getAuditionStrip().seekPreview (0.5);
    EXPECT_EQ (engine.getRequestedSourceId(), "mix:" + f.cueKey (0) + ":");

    // Another mix choice stops it; under "All cues" the Mix button is off.
    auto& mixBox = *findByTitle<juce::ComboBox> (page, "Mix choice");
    mixBox.setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (page.getAuditionStrip().getMixChoice(), "mix-underscore");
    EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
    findByTitle<juce::ComboBox> (page, "Cue")->setSelectedId (1, juce::sendNotificationSync);
    EXPECT_FALSE (mixButton.isEnabled());
    page.getAuditionStrip().toggleMixAudition();
    EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
}

TEST (ReviewPageAudition, AClickInTheStripStartsTheTrackThere)
{
    ReviewPageFixture f (makeFakeOutput ({}, 8000.0)); // the files' own rate: five minutes load quickly
    auto& page = *f.page;
    auto& engine = f.app.previewEngine;
    TreeRows rows (page);

    const auto longFile = writeToneFile (f.folder.file ("1M01/long_violins.wav"), 300.0, 0.25f);
    f.app.session.importFiles ({ longFile }, false);
    tickAndSettle (page);

    rows.click (*rows.track (f.id ("long_violins.wav")));
    ASSERT_TRUE (pumpUntil ([&] { return f.app.waveformCache.get (longFile.getFullPathName()) != nullptr; }, 20000));
    page.tick();

    // 80 % of 300 s lies beyond the first window: the engine loads from 240 s.
    page.getAuditionStrip().seekPreview (0.8);
    ASSERT_TRUE (waitForPlaying (engine));
    EXPECT_NEAR (engine.getLoadedWindow().startSeconds, 240.0, 1e-6);
    EXPECT_GE (engine.getPlayheadSeconds(), 240.0); // playing on from there
    EXPECT_LT (engine.getPlayheadSeconds(), 270.0);

    // Half-way loads from the start and plays from 150 s.
    engine.stop();
    page.tick();
    page.getAuditionStrip().seekPreview (0.5);
    ASSERT_TRUE (waitForPlaying (engine));
    EXPECT_NEAR (engine.getLoadedWindow().startSeconds, 0.0, 1e-6);
    EXPECT_GE (engine.getPlayheadSeconds(), 150.0);
    EXPECT_LT (engine.getPlayheadSeconds(), 180.0);

    // A click while it plays jumps within the file.
    page.getAuditionStrip().seekPreview (0.9);
    ASSERT_TRUE (pumpUntil ([&] { return engine.getPlayheadSeconds() > 260.0 && engine.isPlaying(); }));

    // With several tracks selected the strip shows nothing of a file: a click there starts the
    // selection at its first sound, not at a point of some other file.
    engine.stop();
    rows.track (f.id ("violins_a.wav"))->setSelected (true, false);
    page.tick();
    page.getAuditionStrip().seekPreview (0.8);
    ASSERT_TRUE (waitForPlaying (engine));
    EXPECT_NEAR (engine.getLoadedWindow().startSeconds, 0.0, 1e-6);
    EXPECT_LT (engine.getPlayheadSeconds(), 30.0);
}

TEST (ReviewPageAudition, ADeviceThatFailsToOpenIsReportedOnlyWhenThereIsSomethingToPlay)
{
    ReviewPageFixture f (makeFakeOutput ("The device is busy."));
    auto& page = *f.page;
    TreeRows rows (page);

    page.auditionSelection();
    EXPECT_TRUE (f.seams->boxes.empty());

    rows.track (f.id ("violins_a.wav"))->setSelected (true, true);
    page.tick();
    EXPECT_FALSE (findByTitle (page, "Track")->isEnabled());
    EXPECT_FALSE (findByTitle (page, "Mix")->isEnabled());

    page.auditionSelection();
    ASSERT_EQ (f.seams->boxes.size(), 1u);
    EXPECT_EQ (f.seams->boxes[0].request.title, "No audio output");
    EXPECT_EQ (f.seams->boxes[0].request.message,
               "Brackenfold could not open an audio device, so auditioning is unavailable.\n\nThe device is busy.");
    EXPECT_EQ (f.seams->boxes[0].request.associatedComponent, &page);
}

} // namespace dunmoor::testing
