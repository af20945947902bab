#include "ui/widgets/WaveformView.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

WaveformView::WaveformView()
    : FileRangeView (false)
{
}

void WaveformView::setPeaks (const WaveformOverview& newOverview)
{
    overview = newOverview;
    peaksSet = true;
    repaint();
}

void WaveformView::clear()
{
    if (! peaksSet)
        return;

    overview = {};
    peaksSet = false;
    repaint();
}

void WaveformView::setWaveformColour (juce::Colour Palette::*entry)
{
    if (entry != nullptr && entry != paletteColour)
    {
        paletteColour = entry;
        repaint();
    }
}

void WaveformView::setWaveformColour (juce::Colour colour)
{
    if (paletteColour != nullptr || colour != fixedColour)
    {
        paletteColour = nullptr;
        fixedColour = colour;
        repaint();
    }
}

juce::Colour WaveformView::getWaveformColour() const
{
    return paletteColour != nullptr ? currentPalette().*paletteColour : fixedColour;
}

void WaveformView::setBusy (bool shouldBeBusy)
{
    if (shouldBeBusy != busy)
    {
        busy = shouldBeBusy;
        repaint();
    }
}

void WaveformView::setBusyProgress (double fraction)
{
    const auto percent = fraction < 0.0 ? -1.0 : std::floor (juce::jmin (fraction, 1.0) * 100.0);
    if (std::abs (percent - busyPercent) < 0.5)
        return;

    busyPercent = percent;
    if (busy)
        repaint();
}

void WaveformView::setBusyText (const juce::String& text)
{
    if (text == busyText)
        return;

    busyText = text;
    if (busy)
        repaint();
}

void WaveformView::setPlaceholderText (const juce::String& text)
{
    if (text == placeholderText)
        return;

    placeholderText = text;
    if (! peaksSet)
        repaint();
}

void WaveformView::paint (juce::Graphics& g)
{
    const auto p = currentPalette();
    const auto waveformColour = getWaveformColour();

    g.setColour (opaqueBlack());
    g.fillRoundedRectangle (getLocalBounds().toFloat(), 4.0f);

    const auto area = getDrawingArea();
    if (area.getWidth() < 2 || area.getHeight() < 2)
        return;

    if (busy)
    {
        const auto font = fontPlain14_5().withHeight (12.0f);
        g.setFont (font);

        if (busyPercent >= 0.0)
        {
            const auto t = juce::jmin (34, area.getHeight() - 6);
            const auto u = juce::jmin (16, t);
            const auto v = juce::jmin (260, area.getWidth() - 16);
            const auto top = area.getY() + (area.getHeight() - t) / 2;
            const auto left = area.getX() + (area.getWidth() - v) / 2;

            g.setColour (p.textPrimary);
            g.drawText (busyText + "   " + juce::String ((int) busyPercent) + "%", left, top, v, u, juce::Justification::centred, false);

            const auto gap = juce::jmin (t - u, 6);
            const auto trackHeight = juce::jmin (t - u - gap, 4);
            if (trackHeight > 0 && v > 0)
            {
                const juce::Rectangle<float> track ((float) left, (float) (top + u + gap), (float) v, (float) trackHeight);
                g.setColour (p.textDisabled.withAlpha (0.25f));
                g.fillRoundedRectangle (track, 2.0f);
                g.setColour (waveformColour);
                g.fillRoundedRectangle (track.withWidth ((float) juce::jmax (2.0, busyPercent / 100.0 * v)), 2.0f);
            }
        }
        else
        {
            g.setColour (p.textDisabled);
            g.drawText (busyText, area, juce::Justification::centred, false);
        }
        return;
    }

    if (! peaksSet)
    {
        g.setColour (p.textDisabled);
        g.setFont (fontPlain14_5());
        g.drawText (placeholderText, area, juce::Justification::centred, true);
        return;
    }

    drawWaveform (g, area.toFloat(), overview, waveformColour, false, dataStart, dataEnd, visibleStart, visibleEnd);

    paintPositions (
        g,
        [p] (juce::Graphics& pg, juce::Rectangle<int> drawing, float x)
        {
            // The played part is shaded; the line ends in a dot at the top.
            pg.setColour (juce::Colours::black.withAlpha (0.25f));
            pg.fillRect (juce::Rectangle<float> ((float) drawing.getX(), (float) drawing.getY(), x - (float) drawing.getX(), (float) drawing.getHeight()));
            pg.setColour (p.playhead);
            pg.fillRect (juce::Rectangle<float> (x - 1.0f, (float) drawing.getY(), 2.0f, (float) drawing.getHeight()));
            pg.fillEllipse (x - 4.0f, (float) drawing.getY() - 1.0f, 8.0f, 8.0f);
        },
        p.windowBackground.withAlpha (0.78f));
}

} // namespace dunmoor::ui
