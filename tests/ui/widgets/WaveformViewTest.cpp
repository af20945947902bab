#include "ui/UiTestSupport.h"
#include "ui/look/Theme.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::ui
{
namespace
{

using testing::mouseEventAt;
using testing::paintToImage;

WaveformOverview makeOverview (std::vector<float> maxima)
{
    WaveformOverview overview;
    overview.maximums = maxima;
    for (auto m : maxima)
        overview.minimums.push_back (-m);
    for (auto m : maxima)
        overview.peak = juce::jmax (overview.peak, m);
    overview.duration = 10.0;
    overview.sampleRate = 48000.0;
    overview.channelCount = 1;
    return overview;
}

bool isBlack (juce::Colour c) { return c.getRed() < 8 && c.getGreen() < 8 && c.getBlue() < 8; }

/** The rows of a column that are not background black, as [first, last]; {-1, -1} for none. */
std::pair<int, int> litRows (const juce::Image& image, int x, int top, int bottom)
{
    std::pair<int, int> rows { -1, -1 };
    for (int y = top; y < bottom; ++y)
        if (! isBlack (image.getPixelAt (x, y)))
            rows = { rows.first < 0 ? y : rows.first, y };
    return rows;
}

TEST (DrawWaveform, LoudestBucketReachesNinetyTwoPerCentOfHalfHeight)
{
    // The overview's level does not matter: a quiet file fills the height like a loud one.
    for (const auto level : { 0.05f, 1.0f })
    {
        juce::Image image (juce::Image::RGB, 100, 201, true);
        {
            juce::Graphics g (image);
            g.fillAll (juce::Colours::black);
            drawWaveform (g, { 0, 0, 100, 201 }, makeOverview ({ level, level, level, level }), juce::Colours::white, false);
        }

        // Half height 100.5 around 100.5: the bars span 100.5 +- 92.46.
        const auto rows = litRows (image, 50, 0, 201);
        EXPECT_NEAR (rows.first, 8, 1) << level;
        EXPECT_NEAR (rows.second, 192, 1) << level;
    }
}

TEST (DrawWaveform, ZoomedRangeStretchesThePartOfTheFileItShows)
{
    // Quarter two of the file is loud, the rest quiet.
    std::vector<float> maxima (400, 0.01f);
    for (int i = 100; i < 200; ++i)
        maxima[(size_t) i] = 1.0f;
    const auto whole = makeOverview (maxima);

    const auto draw = [] (const WaveformOverview& overview, double dataStart, double dataEnd, double visibleStart, double visibleEnd)
    {
        juce::Image image (juce::Image::RGB, 200, 101, true);
        juce::Graphics g (image);
        g.fillAll (juce::Colours::black);
        drawWaveform (g, { 0, 0, 200, 101 }, overview, juce::Colours::white, false, dataStart, dataEnd, visibleStart, visibleEnd);
        return image;
    };

    // From the coarse whole-file overview, and then from a detailed overview of that quarter.
    const auto coarse = draw (whole, 0.0, 1.0, 0.25, 0.5);
    const auto detailed = draw (makeOverview (std::vector<float> (50, 1.0f)), 0.25, 0.5, 0.25, 0.5);

    for (const auto& image : { coarse, detailed })
        for (const auto x : { 2, 100, 197 })
            EXPECT_LT (litRows (image, x, 0, 101).first, 10) << x;

    // Without the zoom, the loud stretch covers only the second quarter of the width.
    const auto unzoomed = draw (whole, 0.0, 1.0, 0.0, 1.0);
    EXPECT_GT (litRows (unzoomed, 20, 0, 101).first, 40);
    EXPECT_LT (litRows (unzoomed, 75, 0, 101).first, 10);
}

TEST (DrawWaveform, SingleBucketAndSilenceStillDraw)
{
    juce::Image image (juce::Image::RGB, 60, 41, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);

    // One bucket at a tiny level still shows a one-pixel band in every column.
    auto quiet = makeOverview ({ 0.5f });
    quiet.maximums[0] = 0.0001f;
    quiet.minimums[0] = 0.0f;
    drawWaveform (g, { 0, 0, 60, 41 }, quiet, juce::Colours::white, true);
    for (const auto x : { 0, 30, 59 })
        EXPECT_NE (litRows (image, x, 0, 41).first, -1) << x;

    // Areas under 2 pixels draw nothing.
    juce::Image tiny (juce::Image::ARGB, 10, 10, true);
    juce::Graphics tg (tiny);
    drawWaveform (tg, { 0, 0, 1.5f, 10 }, makeOverview ({ 1.0f }), juce::Colours::white, false);
    EXPECT_EQ (tiny.getPixelAt (0, 5).getAlpha(), 0);
}

TEST (WaveformView, PositionsAreHiddenWhenNegativeHeldAtOneAndIgnoreTinyMoves)
{
    WaveformView view;

    view.setPlayheadPosition (0.5);
    view.setPlayheadPosition (0.5 + 4.0e-5);
    EXPECT_EQ (view.getPlayheadPosition(), 0.5);
    view.setPlayheadPosition (-3.0);
    EXPECT_EQ (view.getPlayheadPosition(), -1.0);
    view.setPlayheadPosition (1.7);
    EXPECT_EQ (view.getPlayheadPosition(), 1.0);

    view.setMarkerPosition (-0.1);
    EXPECT_EQ (view.getMarkerPosition(), -1.0);
    view.setHoverPosition (2.0);
    EXPECT_EQ (view.getHoverPosition(), 1.0);

    view.setDataRange (0.4, 0.4);
    EXPECT_DOUBLE_EQ (view.getDataRange().getEnd(), 0.4 + 1.0e-9);
    view.setVisibleRange (0.6, 0.2);
    EXPECT_DOUBLE_EQ (view.getVisibleRange().getStart(), 0.6);
    EXPECT_DOUBLE_EQ (view.getVisibleRange().getEnd(), 0.6 + 1.0e-9);

    view.setBusyProgress (0.4299);
    EXPECT_EQ (view.getBusyProgressPercent(), 42.0);
    view.setBusyProgress (3.0);
    EXPECT_EQ (view.getBusyProgressPercent(), 100.0);
    view.setBusyProgress (-0.2);
    EXPECT_EQ (view.getBusyProgressPercent(), -1.0);
}

TEST (WaveformView, PaintsPlayheadMarkerAndHoverOnlyWhenShown)
{
    const auto p = currentPalette();
    WaveformView view;
    view.setSize (206, 60); // drawing area 200 wide from x = 3
    view.setPeaks (makeOverview ({ 0.2f, 0.2f }));

    const auto hasColourInColumn = [] (const juce::Image& image, int x, juce::Colour colour)
    {
        for (int y = 3; y < image.getHeight() - 3; ++y)
            if (image.getPixelAt (x, y) == colour)
                return true;
        return false;
    };

    view.setPlayheadPosition (-1.0);
    view.setMarkerPosition (-1.0);
    view.setHoverPosition (-1.0);
    const auto hidden = paintToImage (view);
    for (int x = 0; x < 206; ++x)
    {
        ASSERT_FALSE (hasColourInColumn (hidden, x, p.playhead)) << x;
        ASSERT_FALSE (hasColourInColumn (hidden, x, p.warning)) << x;
    }

    view.setPlayheadPosition (0.5); // x = 103: a line over 102..103
    view.setMarkerPosition (0.25);  // x = 53
    const auto shown = paintToImage (view);
    EXPECT_TRUE (hasColourInColumn (shown, 103, p.playhead));
    EXPECT_TRUE (hasColourInColumn (shown, 53, p.warning));
    testing::saveSnapshot (view, "waveform-view");
}

TEST (WaveformView, PlaceholderAndBusyStatesReplaceTheWaveform)
{
    const auto p = currentPalette();
    WaveformView view;
    view.setSize (300, 80);
    EXPECT_EQ (view.getPlaceholderText(), "Nothing to show");
    EXPECT_EQ (view.getBusyText(), "reading...");

    const auto countColour = [] (const juce::Image& image, juce::Colour colour)
    {
        int n = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                n += image.getPixelAt (x, y) == colour ? 1 : 0;
        return n;
    };

    // Without peaks the placeholder text shows; an empty text shows nothing at all.
    EXPECT_GT (countColour (paintToImage (view), p.textDisabled), 0);
    view.setPlaceholderText ({});
    EXPECT_EQ (countColour (paintToImage (view), p.textDisabled), 0);

    // Busy with a progress: the bar's filled part is in the waveform colour, the waveform is not drawn.
    view.setPeaks (makeOverview ({ 1.0f }));
    view.setWaveformColour (juce::Colour (0xffff00ff));
    view.setBusy (true);
    view.setBusyProgress (0.5);
    const auto busy = paintToImage (view);
    const auto filled = countColour (busy, juce::Colour (0xffff00ff));
    EXPECT_GT (filled, 100);
    EXPECT_LT (filled, 130 * 4 + 20) << "about half of a 260-wide, 4-high bar";
    testing::saveSnapshot (view, "waveform-view-busy");

    view.clear();
    EXPECT_FALSE (view.hasPeaks());
}

// A view built before the stored palette was applied kept the Default accent, even after a
// restart: the colour is read from the palette at every paint.
TEST (WaveformView, APaletteChangeRepaintsTheWaveformInTheNewAccent)
{
    struct RestoreDefault
    {
        ~RestoreDefault() { applyPalette (defaultPalette()); }
    } restore;

    WaveformView view;
    view.setSize (106, 60);
    view.setPeaks (makeOverview ({ 1.0f, 1.0f }));

    // The waveform's own column at the height of the centre line.
    const auto waveformPixel = [&view] { return paintToImage (view).getPixelAt (53, 20); };
    const auto before = waveformPixel();
    EXPECT_GT (before.getBlue(), before.getGreen()) << "the Default accent is a blue";

    auto green = defaultPalette();
    green.accent = juce::Colour (0xff20c040);
    applyPalette (green);
    const auto after = waveformPixel();
    EXPECT_GT (after.getGreen(), after.getBlue() + 60) << "the new accent, without building the view again";
    EXPECT_EQ (view.getWaveformColour(), green.accent);

    // A view given a palette entry follows that entry; a fixed colour stays.
    view.setWaveformColour (&Palette::stem);
    EXPECT_EQ (view.getWaveformColour(), green.stem);
    view.setWaveformColour (juce::Colour (0xffff00ff));
    applyPalette (defaultPalette());
    EXPECT_EQ (view.getWaveformColour(), juce::Colour (0xffff00ff));
}

TEST (WaveformView, MouseGivesFractionsOfTheDrawingWidth)
{
    WaveformView view;
    view.setSize (106, 40); // drawing area x 3..103

    std::vector<double> seeks, hovers, menus;
    view.onSeek = [&] (double position) { seeks.push_back (position); };
    view.onHover = [&] (double position) { hovers.push_back (position); };
    view.onContextMenu = [&] (double position) { menus.push_back (position); };

    view.mouseDown (mouseEventAt (view, { 53.0f, 20.0f }));
    view.mouseDrag (mouseEventAt (view, { 200.0f, 20.0f }));
    view.mouseDown (testing::rightClickAt (view, { 28.0f, 20.0f }));
    view.mouseMove (mouseEventAt (view, { 0.0f, 20.0f }, {}));
    view.mouseExit (mouseEventAt (view, { -5.0f, 20.0f }, {}));

    ASSERT_EQ (seeks.size(), 2u);
    EXPECT_DOUBLE_EQ (seeks[0], 0.5);
    EXPECT_DOUBLE_EQ (seeks[1], 1.0);
    ASSERT_EQ (menus.size(), 1u);
    EXPECT_DOUBLE_EQ (menus[0], 0.25);
    ASSERT_EQ (hovers.size(), 2u);
    EXPECT_DOUBLE_EQ (hovers[0], 0.0);
    EXPECT_DOUBLE_EQ (hovers[1], -1.0);
    EXPECT_EQ (view.getHoverPosition(), -1.0);
}

} // namespace
} // namespace dunmoor::ui
