#include "ui/pages/review/ReviewPageTestSupport.h"

namespace dunmoor::testing
{

// Two cues, a closed heading, a selected track playing in the strip, its stem's meter up.
TEST (ReviewPageSnapshot, Review)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    auto& engine = f.app.previewEngine;
    TreeRows rows (page);

    rows.heading (f.stem ("Brass"))->setOpen (false);
    auto& violins = *rows.track (f.id ("violins_a.wav"));
    rows.click (violins);
    ASSERT_TRUE (pumpUntil ([&] { return f.app.waveformCache.get (f.folder.file ("1M01/violins_a.wav").getFullPathName()) != nullptr; }));

    page.auditionSelection();
    ASSERT_TRUE (pumpUntil ([&] { return engine.isPlaying() && engine.getPlayheadSeconds() > 0.6; }));

    double now = 100.0;
    page.getAuditionStrip().meterClock = [&now] { return now; };
    for (int i = 0; i < 20; ++i, now += 1.0 / 60.0)
        page.getAuditionStrip().updateMeters();

    tickAndSettle (page);
    EXPECT_GT (page.getAuditionStrip().getMeterLevel (f.stem ("Strings")), 0.5f);
    EXPECT_EQ (page.getAuditionStrip().getMeterLevel (f.stem ("Choir")), 0.0f);
    EXPECT_GT (findByTitle<juce::Label> (page, "Audition time")->getWidth(), 50);

    saveSnapshot (page, "review");
    engine.stop();
}

} // namespace dunmoor::testing

namespace dunmoor::testing
{

// Every cue in view: rows name their cues, and tracks placed or locked by hand say so.
TEST (ReviewPageSnapshot, AllCuesWithDecisionsOfTheUser)
{
    ReviewPageFixture f;
    auto& page = *f.page;
    findByTitle<juce::ComboBox> (page, "Cue")->setSelectedId (1, juce::sendNotificationSync);
    f.app.session.assignTracks ({ f.id ("snare.wav") }, f.stem ("Choir"), false);
    f.app.session.assignTracks ({ f.id ("choir.wav") }, f.stem ("Choir"), true);
    tickAndSettle (page);
    EXPECT_TRUE (page.getChosenCueKey().isEmpty());
    saveSnapshot (page, "review-all-cues");
}

} // namespace dunmoor::testing
