#include "ui/widgets/FileRangeView.h"

#include "core/model/Types.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    /** Stores a position when it moved by 1e-4 or more; says whether it did. */
    bool updatePosition (double& stored, double position) noexcept
    {
        const auto value = position < 0.0 ? -1.0 : juce::jmin (position, 1.0);
        if (std::abs (value - stored) < 1.0e-4)
            return false;

        stored = value;
        return true;
    }

    void setRange (double& start, double& end, double newStart, double newEnd) noexcept
    {
        start = newStart;
        end = juce::jmax (newEnd, newStart + 1.0e-9);
    }
} // namespace

FileRangeView::FileRangeView (bool ignoreWithoutWidth)
    : ignoreMouseWithoutWidth (ignoreWithoutWidth)
{
    setInterceptsMouseClicks (true, false);
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

void FileRangeView::setPlayheadPosition (double position)
{
    if (updatePosition (playhead, position))
        repaint();
}

void FileRangeView::setMarkerPosition (double position)
{
    if (updatePosition (marker, position))
        repaint();
}

void FileRangeView::setHoverPosition (double position)
{
    if (updatePosition (hover, position))
        repaint();
}

void FileRangeView::setDuration (double seconds)
{
    duration = juce::jmax (0.0, seconds);
    repaint();
}

void FileRangeView::setDataRange (double start, double end)
{
    setRange (dataStart, dataEnd, start, end);
    repaint();
}

void FileRangeView::setVisibleRange (double start, double end)
{
    setRange (visibleStart, visibleEnd, start, end);
    repaint();
}

juce::Rectangle<int> FileRangeView::getDrawingArea() const
{
    const auto b = getLocalBounds();
    return { b.getX() + 3, b.getY() + 3, juce::jmax (0, b.getWidth() - 6), juce::jmax (0, b.getHeight() - 6) };
}

void FileRangeView::paintPositions (juce::Graphics& g,
                                    const std::function<void (juce::Graphics&, juce::Rectangle<int>, float)>& paintPlayhead,
                                    juce::Colour labelBoxColour)
{
    const auto p = currentPalette();
    const auto area = getDrawingArea();
    const auto x0 = (float) area.getX();
    const auto width = (float) area.getWidth();
    const auto top = (float) area.getY();
    const auto height = (float) area.getHeight();
    const auto hoverX = x0 + (float) hover * width;

    if (hover >= 0.0)
    {
        g.setColour (p.warning.withAlpha (0.9f));
        g.fillRect (juce::Rectangle<float> (hoverX, top, 1.0f, height));
    }

    if (playhead >= 0.0 && paintPlayhead)
        paintPlayhead (g, area, x0 + (float) playhead * width);

    if (hover >= 0.0 && duration > 0.0 && isMouseOver())
    {
        const auto text = formatDuration ((visibleStart + hover * (visibleEnd - visibleStart)) * duration);
        const auto font = fontPlain12();
        const auto boxWidth = (float) juce::jmax (34, measureTextWidthCeil (font, text) + 8);
        auto left = hoverX + 4.0f;
        if (left + boxWidth > (float) area.getRight())
            left = hoverX - 4.0f - boxWidth; // near the right edge the label flips to the left

        const juce::Rectangle<float> box (left, top + 2.0f, boxWidth, 13.0f);
        g.setColour (labelBoxColour);
        g.fillRoundedRectangle (box, 2.0f);
        g.setColour (juce::Colours::white);
        g.setFont (font);
        g.drawText (text, box, juce::Justification::centred, false);
    }

    if (marker >= 0.0)
    {
        const auto x = x0 + (float) marker * width;
        g.setColour (p.warning);
        g.fillRect (juce::Rectangle<float> (x - 1.0f, top, 2.0f, height));
        g.fillRect (juce::Rectangle<float> (x - 4.0f, top, 9.0f, 3.0f));
        g.fillRect (juce::Rectangle<float> (x - 4.0f, (float) area.getBottom() - 3.0f, 9.0f, 3.0f));
    }
}

bool FileRangeView::positionOf (const juce::MouseEvent& e, double& position) const
{
    const auto area = getDrawingArea();
    if (area.getWidth() <= 0)
    {
        position = 0.0;
        return ! ignoreMouseWithoutWidth;
    }

    position = juce::jlimit (0.0, 1.0, ((double) e.position.x - area.getX()) / area.getWidth());
    return true;
}

void FileRangeView::mouseMove (const juce::MouseEvent& e)
{
    double position = 0.0;
    if (! positionOf (e, position))
        return;

    hover = position;
    repaint();
    if (onHover)
        onHover (hover);
}

void FileRangeView::mouseExit (const juce::MouseEvent&)
{
    if (hover < 0.0)
        return;

    hover = -1.0;
    repaint();
    if (onHover)
        onHover (-1.0);
}

void FileRangeView::mouseDown (const juce::MouseEvent& e)
{
    double position = 0.0;
    if (! positionOf (e, position))
        return;

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

void FileRangeView::mouseDrag (const juce::MouseEvent& e)
{
    double position = 0.0;
    if (! e.mods.isRightButtonDown() && positionOf (e, position) && onSeek)
        onSeek (position);
}

void FileRangeView::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    double position = 0.0;
    if (positionOf (e, position) && onWheel)
        onWheel (wheel.deltaY, position);
}

} // namespace dunmoor::ui
