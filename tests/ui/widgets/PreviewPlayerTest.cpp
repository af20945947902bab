#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/widgets/PreviewPlayer.h"

namespace dunmoor::ui
{
namespace
{
    using namespace dunmoor::testing;

    PreviewPlayer::Transport sounding (double playheadSeconds, double lengthSeconds)
    {
        PreviewPlayer::Transport t;
        t.enabled = t.active = t.playing = true;
        t.playheadSeconds = playheadSeconds;
        t.sourceLengthSeconds = lengthSeconds;
        t.playheadFraction = lengthSeconds > 0.0 ? playheadSeconds / lengthSeconds : -1.0;
        return t;
    }

    /** An analysis that answers at once with a one-column spectrogram of the range's start. */
    PreviewAnalysisResult instantAnalysis (const juce::File&, ViewRange range, const CancelCheck&)
    {
        PreviewAnalysisResult result;
        result.spectrogram.columns = result.spectrogram.bins = 1;
        result.spectrogram.values = { (float) range.start };
        return result;
    }
} // namespace

TEST (PreviewPlayer, TimeText)
{
    auto stillLoading = sounding (0.0, 0.0);
    stillLoading.idleLengthSeconds = 185.0;
    auto otherFileSounds = sounding (12.0, 185.0);
    otherFileSounds.active = false;
    otherFileSounds.idleLengthSeconds = 61.5;

    EXPECT_EQ (PreviewPlayer::describeTime (sounding (12.34, 185.0)), "0:12.3 / 3:05.0");
    EXPECT_EQ (PreviewPlayer::describeTime (stillLoading), "3:05.0");
    EXPECT_EQ (PreviewPlayer::describeTime (otherFileSounds), "1:01.5");
    EXPECT_EQ (PreviewPlayer::describeTime ({}), "");
}

TEST (PreviewPlayer, TopRowLayouts)
{
    PreviewPlayer player ("test analysis");
    player.setSize (1000, 160);

    // Autoplay right of the time, the host's controls at the right end.
    PreviewPlayer::Layout atTheRight;
    atTheRight.autoplayWidth = 100;
    atTheRight.trailingWidth = 200;
    player.setLayout (atTheRight);
    EXPECT_EQ (player.transportButton.getBounds(), juce::Rectangle<int> (0, 0, 96, 30));
    EXPECT_EQ (player.getTrailingArea(), juce::Rectangle<int> (800, 0, 200, 30));
    EXPECT_EQ (player.autoplayToggle.getBounds(), juce::Rectangle<int> (700, 0, 100, 30));
    EXPECT_EQ (player.timeLabel.getBounds(), juce::Rectangle<int> (530, 0, 170, 30));
    EXPECT_EQ (player.fileNameLabel.getBounds(), juce::Rectangle<int> (108, 0, 416, 30));
    EXPECT_EQ (player.waveformView.getBounds(), juce::Rectangle<int> (0, 116, 1000, 44));
    EXPECT_EQ (player.spectrogramView.getBounds(), juce::Rectangle<int> (0, 36, 1000, 75));

    // Autoplay beside the button; too little room left for a name moves the name and the time
    // to a row of their own.
    PreviewPlayer::Layout besideTheButton;
    besideTheButton.gapAfterTransport = 5;
    besideTheButton.autoplayBesideTransport = true;
    besideTheButton.autoplayWidth = 110;
    besideTheButton.gapAfterAutoplay = 12;
    besideTheButton.trailingWidth = 500;
    besideTheButton.minimumNameWidth = 200;
    player.setLayout (besideTheButton);
    EXPECT_EQ (player.autoplayToggle.getBounds(), juce::Rectangle<int> (101, 0, 110, 30));
    EXPECT_EQ (player.getTrailingArea(), juce::Rectangle<int> (500, 0, 500, 30));
    EXPECT_EQ (player.timeLabel.getBounds(), juce::Rectangle<int> (830, 34, 170, 22));
    EXPECT_EQ (player.fileNameLabel.getBounds(), juce::Rectangle<int> (0, 34, 824, 22));
    EXPECT_EQ (player.spectrogramView.getBounds(), juce::Rectangle<int> (0, 62, 1000, 49));

    player.setSize (1400, 160);
    EXPECT_EQ (player.timeLabel.getBounds(), juce::Rectangle<int> (730, 0, 170, 30)) << "room enough: one row";
}

TEST (PreviewPlayer, PositionsAreFractionsOfTheFileThroughTheShownRange)
{
    PreviewPlayer player ("test analysis", instantAnalysis);
    player.setSize (800, 160);
    player.setVisibleRange ({ 0.5, 1.0 });
    EXPECT_EQ (player.waveformView.getVisibleRange(), juce::Range<double> (0.5, 1.0));
    EXPECT_EQ (player.spectrogramView.getVisibleRange(), juce::Range<double> (0.5, 1.0));

    // The playhead of the file shows where it lies in the range, and not at all outside it.
    player.showTransport (sounding (30.0, 40.0));
    EXPECT_DOUBLE_EQ (player.waveformView.getPlayheadPosition(), 0.5);
    EXPECT_DOUBLE_EQ (player.spectrogramView.getPlayheadPosition(), 0.5);
    EXPECT_TRUE (player.transportButton.isPlaying());
    player.showTransport (sounding (10.0, 40.0));
    EXPECT_LT (player.waveformView.getPlayheadPosition(), 0.0);

    // Another file sounding is not this player's.
    auto other = sounding (30.0, 40.0);
    other.active = false;
    player.showTransport (other);
    EXPECT_FALSE (player.transportButton.isPlaying());
    EXPECT_LT (player.spectrogramView.getPlayheadPosition(), 0.0);

    // Clicks and the marker go through the range too.
    double seekedTo = -1.0, menuAt = -1.0;
    player.onSeek = [&] (double f) { seekedTo = f; };
    player.onContextMenu = [&] (double f) { menuAt = f; };
    player.waveformView.onSeek (0.5);
    player.spectrogramView.onContextMenu (0.0);
    EXPECT_DOUBLE_EQ (seekedTo, 0.75);
    EXPECT_DOUBLE_EQ (menuAt, 0.5);
    player.setMarker (0.75);
    EXPECT_DOUBLE_EQ (player.spectrogramView.getMarkerPosition(), 0.5);

    // The pointer over one view shows in the other only when mirrored.
    player.waveformView.onHover (0.25);
    EXPECT_LT (player.spectrogramView.getHoverPosition(), 0.0);
    player.setHoverMirrored (true);
    player.waveformView.setHoverPosition (0.25);
    player.waveformView.onHover (0.25);
    EXPECT_DOUBLE_EQ (player.spectrogramView.getHoverPosition(), 0.25);
    EXPECT_DOUBLE_EQ (player.getHoverFraction(), 0.625);

    // The analysis fills the spectrogram view for the range it covered, then hands over.
    ViewRange analysed;
    player.onAnalysed = [&] (const PreviewAnalysisResult& r) { analysed = r.range; };
    player.analyse (juce::File ("/music/A.wav"), { 0.5, 1.0 });
    EXPECT_TRUE (player.spectrogramView.isBusy());
    ASSERT_TRUE (pumpUntil ([&] { return ! player.spectrogramView.isBusy(); }));
    EXPECT_EQ (player.spectrogramView.getSpectrogram().values, std::vector<float> { 0.5f });
    EXPECT_EQ (player.spectrogramView.getDataRange(), juce::Range<double> (0.5, 1.0));
    EXPECT_EQ (analysed.start, 0.5);

    player.clearSpectrogram();
    EXPECT_TRUE (player.spectrogramView.getSpectrogram().values.empty());
}

} // namespace dunmoor::ui
