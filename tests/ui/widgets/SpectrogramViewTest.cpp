#include "ui/UiTestSupport.h"
#include "ui/widgets/SpectrogramView.h"

namespace dunmoor::ui
{
namespace
{

/** A spectrogram whose every value comes from a function of column and bin. */
Spectrogram makeSpectrogram (int columns, int fftSize, double sampleRate, const std::function<float (int, int)>& value)
{
    Spectrogram s;
    s.columns = columns;
    s.fftSize = fftSize;
    s.bins = fftSize / 2;
    s.sampleRate = sampleRate;
    s.durationSeconds = 10.0;
    s.values.resize ((size_t) (s.columns * s.bins));
    for (int c = 0; c < s.columns; ++c)
        for (int b = 0; b < s.bins; ++b)
            s.values[(size_t) (c * s.bins + b)] = value (c, b);
    return s;
}

TEST (SpectrogramView, FloorIsBlackAndFullScaleWhite)
{
    SpectrogramView view;
    view.setSize (120, 80);

    view.setSpectrogram (makeSpectrogram (16, 1024, 48000.0, [] (int, int) { return -90.0f; }));
    ASSERT_TRUE (view.getImage().isValid());
    EXPECT_EQ (view.getImage().getPixelAt (60, 40), juce::Colour (0xff000000));

    view.setSpectrogram (makeSpectrogram (16, 1024, 48000.0, [] (int, int) { return 3.0f; }));
    EXPECT_EQ (view.getImage().getPixelAt (60, 40), juce::Colour (0xffffffff));
    EXPECT_EQ (view.getImage().getPixelAt (0, 0), juce::Colour (0xffffffff));
}

TEST (SpectrogramView, FrequencyAxisRunsFromThirtyHertzToNyquist)
{
    SpectrogramView view;
    view.setSize (300, 200);

    // At 44.1 kHz and 1024 points the first bin's centre is 21.5 Hz, below the 30 Hz floor.
    view.setSpectrogram (makeSpectrogram (8, 1024, 44100.0, [] (int, int) { return -40.0f; }));
    EXPECT_DOUBLE_EQ (view.getLowestFrequency(), 30.0);
    EXPECT_DOUBLE_EQ (view.getTopFrequency(), 22050.0);
    EXPECT_EQ (view.getGridFrequencies(), juce::Array<double> ({ 100.0, 1000.0, 10000.0 }));

    view.setSpectrogram (makeSpectrogram (8, 1024, 16000.0, [] (int, int) { return -40.0f; }));
    EXPECT_EQ (view.getGridFrequencies(), juce::Array<double> ({ 100.0, 1000.0 }));

    // The rows follow the axis: a tone at 1 kHz lights the row where the grid line is drawn.
    view.setSpectrogram (makeSpectrogram (8, 1024, 44100.0, [] (int, int bin) { return bin >= 22 && bin <= 24 ? 0.0f : -90.0f; }));
    const auto f0 = std::log (30.0), f1 = std::log (22050.0);
    const auto row = juce::roundToInt ((1.0 - (std::log (1000.0) - f0) / (f1 - f0)) * 199.0);
    EXPECT_EQ (view.getImage().getPixelAt (150, row), juce::Colour (0xffffffff)) << row;
    EXPECT_EQ (view.getImage().getPixelAt (150, row + 20), juce::Colour (0xff000000));
    testing::saveSnapshot (view, "spectrogram-view");
}

TEST (SpectrogramView, VisibleRangeShowsItsPartOfTheImage)
{
    SpectrogramView view;
    view.setSize (206, 106);

    // The left half of the file is silent, the right half loud.
    view.setSpectrogram (makeSpectrogram (100, 512, 48000.0, [] (int column, int) { return column < 50 ? -90.0f : 0.0f; }));
    view.setVisibleRange (0.5, 1.0);

    const auto image = testing::paintToImage (view);
    for (const auto x : { 5, 100, 200 })
        EXPECT_EQ (image.getPixelAt (x, 80), juce::Colour (0xffffffff)) << x;

    // The data range moves the image: with the spectrogram covering 0.5..1 the whole view is loud
    // when it shows that part, and the first quarter of a 0..1 view shows nothing of it.
    view.setDataRange (0.0, 0.5);
    view.setVisibleRange (0.0, 0.25);
    EXPECT_EQ (testing::paintToImage (view).getPixelAt (100, 80), juce::Colour (0xff000000));
}

TEST (SpectrogramView, ImageIsAtMost2000By600AndSafeAtOnePixelHigh)
{
    SpectrogramView view;
    view.setSize (3000, 900);
    view.setSpectrogram (makeSpectrogram (10, 256, 48000.0, [] (int, int) { return -30.0f; }));
    EXPECT_EQ (view.getImage().getWidth(), 2000);
    EXPECT_EQ (view.getImage().getHeight(), 600);

    // A one-pixel-high image has a single row, showing the top of the axis.
    view.setSpectrogram (makeSpectrogram (10, 256, 48000.0, [] (int, int bin) { return bin >= 120 ? 0.0f : -90.0f; }));
    view.setSize (50, 1);
    ASSERT_TRUE (view.getImage().isValid());
    EXPECT_EQ (view.getImage().getHeight(), 1);
    EXPECT_EQ (view.getImage().getPixelAt (25, 0), juce::Colour (0xffffffff));

    view.setSize (0, 10);
    EXPECT_TRUE (view.getImage().isNull());
}

TEST (SpectrogramView, BusyAndEmptyStates)
{
    SpectrogramView view;
    view.setSize (200, 60);
    view.setSpectrogram (makeSpectrogram (10, 256, 48000.0, [] (int, int) { return 0.0f; }));
    view.setBusy (true);
    EXPECT_TRUE (view.getImage().isValid());

    // Busy hides the image even though one exists: nothing white is painted.
    const auto busy = testing::paintToImage (view);
    EXPECT_NE (busy.getPixelAt (10, 30), juce::Colour (0xffffffff));

    view.setSpectrogram (view.getSpectrogram());
    EXPECT_FALSE (view.isBusy());

    view.clear();
    EXPECT_TRUE (view.getImage().isNull());
    EXPECT_EQ (view.getSpectrogram().floorDb, -90.0f);
    EXPECT_TRUE (view.getSpectrogram().values.empty());
}

TEST (SpectrogramView, PositionsAndMouse)
{
    SpectrogramView view;
    view.setSize (106, 50);

    view.setPlayheadPosition (-5.0);
    EXPECT_EQ (view.getPlayheadPosition(), -1.0);
    view.setMarkerPosition (3.0);
    EXPECT_EQ (view.getMarkerPosition(), 1.0);
    view.setHoverPosition (0.3);
    view.setHoverPosition (0.30005);
    EXPECT_EQ (view.getHoverPosition(), 0.3);

    double seek = -2.0, menu = -2.0, wheelPosition = -2.0;
    float wheelDelta = 0.0f;
    view.onSeek = [&] (double p) { seek = p; };
    view.onContextMenu = [&] (double p) { menu = p; };
    view.onWheel = [&] (float delta, double p)
    {
        wheelDelta = delta;
        wheelPosition = p;
    };

    view.mouseDown (testing::mouseEventAt (view, { 78.0f, 10.0f }));
    view.mouseDown (testing::rightClickAt (view, { 3.0f, 10.0f }));
    juce::MouseWheelDetails wheel {};
    wheel.deltaY = 0.5f;
    view.mouseWheelMove (testing::mouseEventAt (view, { 103.0f, 10.0f }, {}), wheel);

    EXPECT_DOUBLE_EQ (seek, 0.75);
    EXPECT_DOUBLE_EQ (menu, 0.0);
    EXPECT_EQ (wheelDelta, 0.5f);
    EXPECT_DOUBLE_EQ (wheelPosition, 1.0);
}

TEST (SpectrogramView, GridLabelsStayInsideAndApartOnShortViews)
{
    SpectrogramView view;
    view.setSpectrogram (makeSpectrogram (8, 1024, 48000.0, [] (int, int) { return -40.0f; }));

    // Heights with the fewest and most labels that fit.
    struct Case
    {
        int height, fewest, most;
    };

    for (const auto& [height, fewest, most] : { Case { 200, 3, 3 }, Case { 40, 1, 2 }, Case { 20, 0, 1 } })
    {
        view.setSize (300, height);
        const auto lines = view.getGridLines();
        ASSERT_EQ (lines.size(), 3u) << height;

        int shown = 0;
        juce::Rectangle<int> below;

        for (const auto& line : lines)
        {
            if (line.label.isEmpty())
                continue;

            ++shown;
            EXPECT_TRUE (view.getLocalBounds().contains (line.label)) << height << " " << line.frequency;
            EXPECT_FALSE (line.label.intersects (below)) << height << " " << line.frequency;
            below = line.label;
        }

        EXPECT_GE (shown, fewest) << height;
        EXPECT_LE (shown, most) << height;
    }
}

} // namespace
} // namespace dunmoor::ui
