#include "ui/widgets/WaveformView.h"

#include "ui/shell/Theme.h"
#include "ui/widgets/ViewPositions.h"

namespace dunmoor::ui
{

WaveformView::WaveformView()
    : waveformColour (currentPalette().accent)
{
    setInterceptsMouseClicks (true, false);
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
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

void WaveformView::setWaveformColour (juce::Colour colour)
{
    if (colour != waveformColour)
    {
        waveformColour = colour;
        repaint();
    }
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

void WaveformView::setPlayheadPosition (double position)
{
    if (viewpositions::update (playhead, position))
        repaint();
}

void WaveformView::setMarkerPosition (double position)
{
    if (viewpositions::update (marker, position))
        repaint();
}

void WaveformView::setHoverPosition (double position)
{
    if (viewpositions::update (hover, position))
        repaint();
}

void WaveformView::setDuration (double seconds)
{
    duration = juce::jmax (0.0, seconds);
    repaint();
}

void WaveformView::setDataRange (double start, double end)
{
    viewpositions::setRange (dataStart, dataEnd, start, end);
    repaint();
}

void WaveformView::setVisibleRange (double start, double end)
{
    viewpositions::setRange (visibleStart, visibleEnd, start, end);
    repaint();
}

juce::Rectangle<int> WaveformView::getDrawingArea() const
{
    const auto b = getLocalBounds();
    return { b.getX() + 3, b.getY() + 3, juce::jmax (0, b.getWidth() - 6), juce::jmax (0, b.getHeight() - 6) };
}

void WaveformView::paint (juce::Graphics& g)
{
    const auto p = currentPalette();

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

    const auto w = (float) area.getWidth();
    const auto x0 = (float) area.getX();
    const auto hoverX = x0 + (float) hover * w;

    if (hover >= 0.0)
        viewpositions::drawHoverLine (g, area, hoverX);

    if (playhead >= 0.0)
    {
        const auto x = x0 + (float) playhead * w;
        g.setColour (juce::Colours::black.withAlpha (0.25f));
        g.fillRect (juce::Rectangle<float> (x0, (float) area.getY(), x - x0, (float) area.getHeight()));
        g.setColour (p.playhead);
        g.fillRect (juce::Rectangle<float> (x - 1.0f, (float) area.getY(), 2.0f, (float) area.getHeight()));
        g.fillEllipse (x - 4.0f, (float) area.getY() - 1.0f, 8.0f, 8.0f);
    }

    if (hover >= 0.0 && duration > 0.0 && isMouseOver())
        viewpositions::drawHoverTime (g, area, hoverX, (visibleStart + hover * (visibleEnd - visibleStart)) * duration, p.windowBackground.withAlpha (0.78f));

    if (marker >= 0.0)
        viewpositions::drawMarker (g, area, x0 + (float) marker * w);
}

double WaveformView::positionOf (const juce::MouseEvent& e) const
{
    return viewpositions::fractionAcross (getDrawingArea(), e.position.x);
}

void WaveformView::mouseMove (const juce::MouseEvent& e)
{
    hover = positionOf (e);
    repaint();
    if (onHover)
        onHover (hover);
}

void WaveformView::mouseExit (const juce::MouseEvent&)
{
    if (hover < 0.0)
        return;

    hover = -1.0;
    repaint();
    if (onHover)
        onHover (-1.0);
}

void WaveformView::mouseDown (const juce::MouseEvent& e)
{
    const auto position = positionOf (e);
    if (e.mods.isRightButtonDown())
    {
        if (onContextMenu)
            onContextMenu (position);
    }
    else if (onSeek)
    {
        onSeek (position);
    }
}

void WaveformView::mouseDrag (const juce::MouseEvent& e)
{
    if (! e.mods.isRightButtonDown() && onSeek)
        onSeek (positionOf (e));
}

void WaveformView::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (onWheel)
        onWheel (wheel.deltaY, positionOf (e));
}

} // namespace dunmoor::ui
