#include "ReportPageFixture.h"

namespace dunmoor::testing
{
namespace
{
    juce::MouseEvent clickEvent (juce::Component& c, int clicks = 1)
    {
        return mouseEventAt (c, { 10.0f, 10.0f }, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), clicks);
    }

    /** A drag on the component that started at y and is now dy further down. */
    juce::MouseEvent dragEvent (juce::Component& c, float y, float dy)
    {
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), { 5.0f, y + dy },
                                 juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                 &c, &c, now, { 5.0f, y }, now, 1, true);
    }
} // namespace

class ReportPlayerTest : public ReportPageTest
{
protected:
    juce::String requested() const { return state->previewEngine.getRequestedSourceId(); }

    juce::String keyOfRow (int row) { return "delivered:" + table().getRow (row)->file.getFullPathName(); }

    /** A click on a row, as the table reports a single one; a double click is its first click,
        the double click and the release of its second click. */
    void clickRow (int row) { table().cellClicked (row, ui::kindColumn, clickEvent (table())); }

    void doubleClickRow (int row)
    {
        clickRow (row);
        table().cellDoubleClicked (row, ui::kindColumn, clickEvent (table(), 2));
        table().cellClicked (row, ui::kindColumn, clickEvent (table(), 2));
    }

    bool waitUntilLoaded() const
    {
        return pumpUntil ([this] { return ! state->previewEngine.isLoading() && state->previewEngine.isPlaying(); });
    }
};

TEST_F (ReportPlayerTest, ClicksPlayWithAutoplayAndADoubleClickTogglesTheFile)
{
    deliver (render ({ "1m01" }));
    ASSERT_TRUE (page->getAutoplayButton().getToggleState());

    // Walking down the list plays each file from its start.
    clickRow (0);
    EXPECT_EQ (requested(), keyOfRow (0));
    EXPECT_EQ (page->getFileNameLabel().getText(), "Proj_1m01_01_Strings.wav");
    clickRow (1);
    EXPECT_EQ (requested(), keyOfRow (1));
    EXPECT_EQ (page->getCurrentRow(), 1);
    EXPECT_EQ (table().getTable().getSelectedRow(), 1);

    // With Autoplay the clicks start the file and the double click stops it.
    doubleClickRow (2);
    EXPECT_EQ (requested(), "");
    EXPECT_EQ (page->getCurrentRow(), 2);

    // Without Autoplay a click only shows the file; a double click plays it from the start.
    page->getAutoplayButton().setToggleState (false, juce::dontSendNotification);
    clickRow (0);
    EXPECT_EQ (requested(), "");
    EXPECT_EQ (page->getCurrentRow(), 0);
    doubleClickRow (1);
    EXPECT_EQ (requested(), keyOfRow (1));

    // Play and Space stop what plays, and play the file in the player again.
    ASSERT_TRUE (waitUntilLoaded());
    page->updateTransport();
    EXPECT_TRUE (page->getPlayButton().isPlaying());
    page->togglePlayback();
    EXPECT_EQ (requested(), "");
    EXPECT_FALSE (page->getPlayButton().isPlaying());
    page->togglePlayback();
    EXPECT_EQ (requested(), keyOfRow (1));
}

TEST_F (ReportPlayerTest, SpaceWithNothingInThePlayerPlaysTheFirstFileAndTheWaveformSeeks)
{
    auto report = render ({ "1m01" }, 2.0);
    WrittenFile nothing;
    nothing.displayName = "Choir";
    report.cues[0].files.insert (report.cues[0].files.begin(), nothing);
    deliver (report);

    EXPECT_TRUE (page->getPlayButton().isEnabled());
    page->togglePlayback();
    EXPECT_EQ (page->getCurrentRow(), 1) << "the first row with a file";
    EXPECT_EQ (requested(), keyOfRow (1));
    ASSERT_TRUE (waitUntilLoaded());

    // A click on the waveform of a file that does not play starts it there.
    page->getAutoplayButton().setToggleState (false, juce::dontSendNotification);
    clickRow (2);
    ASSERT_EQ (requested(), keyOfRow (1)) << "the other file keeps sounding";
    page->getWaveform().onSeek (0.5);
    EXPECT_EQ (requested(), keyOfRow (2));
    ASSERT_TRUE (waitUntilLoaded());
    EXPECT_NEAR (state->previewEngine.getLoadedWindow().startSeconds, 1.0, 0.01);

    // The time label follows the playhead of the sounding file.
    page->updateTransport();
    EXPECT_TRUE (page->getTimeLabel().getText().endsWith (" / 0:02.0")) << page->getTimeLabel().getText();

    // A row without a file stops the audition and says why nothing shows.
    clickRow (0);
    EXPECT_EQ (page->getFileNameLabel().getText(), "   (nothing was written)");
    EXPECT_EQ (page->getCurrentRow(), -1);
    EXPECT_EQ (requested(), "");
}

TEST_F (ReportPlayerTest, AFileNoLongerOnDiskIsNeitherAnalysedNorPlayed)
{
    deliver (render ({ "1m01" }));
    ASSERT_TRUE (table().getRow (0)->file.deleteFile());

    clickRow (0);
    EXPECT_EQ (page->getFileNameLabel().getText(), "Proj_1m01_01_Strings.wav   (no longer on disk)");
    EXPECT_EQ (requested(), "");
    EXPECT_FALSE (page->getSpectrogram().isBusy());
    EXPECT_TRUE (page->getWaveform().hasPeaks()) << "the run kept its overview";
}

// A spectrogram computed for a file the user has already left must never reach the view.
TEST_F (ReportPlayerTest, AStaleSpectrogramIsNeverShown)
{
    auto report = handMadeReport ({ { "Long.wav", -400.0 }, { "Short.wav", -400.0 } });
    writeTone (report.cues[0].files[0].file, 2, 48000 * 60, 48000.0, 440.0, 0.5);
    writeTone (report.cues[0].files[1].file, 1, 24000, 48000.0, 220.0, 0.5);
    deliver (report);

    page->showFile (0, false, 0.0);
    page->showFile (1, false, 0.0);
    EXPECT_TRUE (page->getSpectrogram().isBusy());

    bool longShown = false;
    const auto& view = page->getSpectrogram();
    ASSERT_TRUE (pumpUntil ([&]
                            {
                                longShown = longShown || view.getSpectrogram().durationSeconds > 30.0;
                                return ! view.isBusy();
                            }));

    // Give a result still on its way time to arrive.
    pumpUntil ([&]
               {
                   longShown = longShown || view.getSpectrogram().durationSeconds > 30.0;
                   return false;
               },
               300);

    EXPECT_FALSE (longShown);
    EXPECT_NEAR (view.getSpectrogram().durationSeconds, 0.5, 0.01);
}

TEST_F (ReportPlayerTest, TheGripResizesThePlayerWithinItsLimitsAndStoresTheHeight)
{
    deliver (render ({ "1m01" }));
    auto& grip = page->getGrip();
    const auto spectrogramHeight = page->getSpectrogram().getHeight();

    grip.mouseDown (dragEvent (grip, 5.0f, 0.0f));
    grip.mouseDrag (dragEvent (grip, 5.0f, -40.0f));
    EXPECT_EQ (page->getTransportHeight(), 204);
    EXPECT_EQ (page->getSpectrogram().getHeight(), spectrogramHeight + 40);
    EXPECT_EQ (state->settings->getIntValue ("reportTransportHeight"), 204);

    // Far up the height stops at 800; the layout shows at most two thirds of the page.
    grip.mouseDown (dragEvent (grip, 5.0f, 0.0f));
    grip.mouseDrag (dragEvent (grip, 5.0f, -5000.0f));
    EXPECT_EQ (page->getTransportHeight(), 800);
    EXPECT_EQ (state->settings->getIntValue ("reportTransportHeight"), 800);
    EXPECT_EQ (page->getGrip().getBottom(), 860 - 12 - (2 * 836 / 3));

    grip.mouseDown (dragEvent (grip, 5.0f, 0.0f));
    grip.mouseDrag (dragEvent (grip, 5.0f, 5000.0f));
    EXPECT_EQ (page->getTransportHeight(), 140);

    // A new page starts at the stored height.
    makePage();
    EXPECT_EQ (page->getTransportHeight(), 140);
}

TEST_F (ReportPlayerTest, ThePageCanGoWhileASpectrogramIsBeingComputed)
{
    auto report = handMadeReport ({ { "Long.wav", -400.0 } });
    writeTone (report.cues[0].files[0].file, 2, 48000 * 120, 48000.0, 440.0, 0.5);
    deliver (report);

    page->showFile (0, false, 0.0);
    ASSERT_TRUE (page->getPlayer().getAnalysis().isBusy()) << "the page goes while its spectrogram is computed";
    page.reset();
    pumpMessages (100);     // a result posted meanwhile finds no page

    // The state is none the worse: a new page shows the file and gets its picture.
    makePage();
    page->showFile (0, false, 0.0);
    auto& player = page->getPlayer();
    ASSERT_TRUE (pumpUntil ([&player] { return ! player.getAnalysis().isBusy(); }, 60000));
    EXPECT_FALSE (player.spectrogramView.isBusy());
    EXPECT_GT (player.spectrogramView.getSpectrogram().columns, 0);
}

} // namespace dunmoor::testing
