#include "ui/widgets/SpectrogramView.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

SpectrogramView::SpectrogramView()
    : FileRangeView (true)
{
}

void SpectrogramView::setSpectrogram (const Spectrogram& newSpectrogram)
{
    spectrogram = newSpectrogram;
    busy = false;
    rebuildImage();
    repaint();
}

void SpectrogramView::clear()
{
    spectrogram = {};
    image = {};
    lowestFrequency = topFrequency = 0.0;
    repaint();
}

void SpectrogramView::setBusy (bool shouldBeBusy)
{
    if (shouldBeBusy != busy)
    {
        busy = shouldBeBusy;
        repaint();
    }
}

juce::Colour SpectrogramView::colourForLevel (float a)
{
    const auto p = currentPalette();
    const auto quiet = p.spectrogram;
    const auto quietBright = quiet.brighter (0.9f);

    if (a < 0.25f)
        return juce::Colour (0xff000000).interpolatedWith (quiet, 4.0f * a);
    if (a < 0.5f)
        return quiet.interpolatedWith (quietBright, 4.0f * (a - 0.25f));
    if (a < 0.82f)
        return quietBright.interpolatedWith (p.spectrogramPeak, (a - 0.5f) / 0.32f);
    return p.spectrogramPeak.interpolatedWith (juce::Colour (0xffffffff), (a - 0.82f) / 0.18f);
}

void SpectrogramView::rebuildImage()
{
    if (spectrogram.values.empty() || spectrogram.columns <= 0 || spectrogram.bins <= 0 || getWidth() <= 0 || getHeight() <= 0)
    {
        image = {};
        lowestFrequency = topFrequency = 0.0;
        return;
    }

    const auto width = juce::jmin (getWidth(), 2000);
    const auto height = juce::jmin (getHeight(), 600);

    const auto nyquist = spectrogram.sampleRate * 0.5;
    const auto f0 = juce::jmax (30.0, spectrogram.getBinFrequency (0));
    const auto f1 = juce::jmax (nyquist, 2.0 * f0);
    lowestFrequency = f0;
    topFrequency = f1;

    const auto logLow = std::log (f0);
    const auto logSpan = std::log (f1) - logLow;

    // A one-row image would divide by zero: its single row shows the top frequency.
    const auto rowSpan = (double) juce::jmax (1, height - 1);

    std::vector<int> binOfRow ((size_t) height);
    for (int y = 0; y < height; ++y)
    {
        const auto frequency = std::exp ((1.0 - (double) y / rowSpan) * logSpan + logLow);
        const auto bin = spectrogram.sampleRate > 0.0 ? juce::roundToInt (frequency * spectrogram.fftSize / spectrogram.sampleRate) : 0;
        binOfRow[(size_t) y] = juce::jlimit (0, spectrogram.bins - 1, bin);
    }

    // 1024 steps of level are finer than any difference the eye sees in the ramp.
    constexpr int rampSteps = 1024;
    std::vector<juce::Colour> ramp ((size_t) rampSteps + 1);
    for (int i = 0; i <= rampSteps; ++i)
        ramp[(size_t) i] = colourForLevel ((float) i / (float) rampSteps);

    const auto floorDb = (double) spectrogram.floorDb;
    const auto range = 0.0 - floorDb;

    image = juce::Image (juce::Image::RGB, width, height, false);
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

    for (int x = 0; x < width; ++x)
    {
        const auto column = juce::jlimit (0, spectrogram.columns - 1, (int) std::floor ((double) spectrogram.columns * x / width));

        for (int y = 0; y < height; ++y)
        {
            const auto v = (double) spectrogram.getValue (column, binOfRow[(size_t) y]);
            const auto a = range > 0.0 ? juce::jlimit (0.0, 1.0, (v - floorDb) / range) : (v >= 0.0 ? 1.0 : 0.0);
            pixels.setPixelColour (x, y, ramp[(size_t) juce::roundToInt (a * rampSteps)]);
        }
    }
}

juce::Array<double> SpectrogramView::getGridFrequencies() const
{
    juce::Array<double> result;
    if (image.isNull())
        return result;

    const auto nyquist = spectrogram.sampleRate * 0.5;
    for (auto frequency : { 100.0, 1000.0, 10000.0 })
        if (frequency > lowestFrequency && frequency < nyquist)
            result.add (frequency);

    return result;
}

std::vector<SpectrogramView::GridLine> SpectrogramView::getGridLines() const
{
    std::vector<GridLine> lines;
    const auto area = getDrawingArea();
    const auto logLow = std::log (lowestFrequency);
    const auto logSpan = std::log (topFrequency) - logLow;
    auto lowestFreeY = area.getBottom(); // labels of lower lines end above this

    // Each label sits just above its line; on a short view one that would leave the picture or
    // run into the label below it is left out rather than clipped or drawn over.
    for (auto frequency : getGridFrequencies())
    {
        GridLine line;
        line.frequency = frequency;
        line.y = (int) ((double) area.getBottom() - (std::log (frequency) - logLow) / logSpan * area.getHeight());
        const juce::Rectangle<int> label (area.getX() + 4, line.y - 12, 40, 12);

        if (label.getY() >= area.getY() && label.getBottom() <= lowestFreeY)
        {
            line.label = label;
            lowestFreeY = label.getY();
        }

        lines.push_back (line);
    }

    return lines;
}

void SpectrogramView::resized()
{
    rebuildImage();
}

void SpectrogramView::paint (juce::Graphics& g)
{
    const auto p = currentPalette();
    const auto bounds = getLocalBounds().toFloat();

    g.setColour (opaqueBlack());
    g.fillRoundedRectangle (bounds, 4.0f);

    if (busy || image.isNull())
    {
        g.setColour (p.textDisabled);
        g.setFont (fontPlain14_5());
        g.drawText (busy ? "analysing..." : "No file selected", getLocalBounds(), juce::Justification::centred, true);
        return;
    }

    const auto area = getDrawingArea();
    const auto w = image.getWidth();
    const auto span = dataEnd - dataStart;
    const auto s = juce::jlimit (0.0, 1.0, (visibleStart - dataStart) / span);
    const auto e = juce::jlimit (0.0, 1.0, (visibleEnd - dataStart) / span);
    const auto sourceX = (int) std::floor (w * s);
    auto computedWidth = (int) std::ceil (w * (e - s));
    if (computedWidth < 2)
        computedWidth = 1;
    const auto sourceWidth = juce::jmin (w - sourceX, computedWidth);

    if (sourceWidth > 0 && ! area.isEmpty())
    {
        g.setImageResamplingQuality (juce::Graphics::mediumResamplingQuality);
        g.drawImage (image, area.getX(), area.getY(), area.getWidth(), area.getHeight(), sourceX, 0, sourceWidth, image.getHeight());
    }

    g.setFont (fontPlain12());
    for (const auto& line : getGridLines())
    {
        g.setColour (juce::Colours::white.withAlpha (0.14f));
        g.fillRect (area.getX(), line.y, area.getWidth(), 1);

        if (! line.label.isEmpty())
        {
            g.setColour (juce::Colours::white.withAlpha (0.45f));
            g.drawText (line.frequency >= 1000.0 ? juce::String ((int) (line.frequency / 1000.0)) + "k" : juce::String ((int) line.frequency),
                        line.label, juce::Justification::centredLeft, false);
        }
    }

    paintPositions (
        g,
        [p] (juce::Graphics& pg, juce::Rectangle<int> drawing, float x)
        {
            pg.setColour (p.accent);
            pg.fillRect (juce::Rectangle<float> (x - 1.0f, (float) drawing.getY(), 2.0f, (float) drawing.getHeight()));
        },
        juce::Colours::black.withAlpha (0.78f));

    g.setColour (p.subtleOutline);
    g.drawRoundedRectangle (bounds.reduced (0.5f), 4.0f, 1.0f);
}

} // namespace dunmoor::ui
