#pragma once

#include <cmath>

#include <juce_graphics/juce_graphics.h>

namespace dunmoor::ui::viewpositions
{

/** A playhead, marker or hover position: negative hides it (-1), above 1 is held at 1. */
inline double normalise (double position) noexcept
{
    return position < 0.0 ? -1.0 : juce::jmin (position, 1.0);
}

/** Stores a position when it moved by 1e-4 or more; says whether it did. */
inline bool update (double& stored, double position) noexcept
{
    const auto value = normalise (position);
    if (std::abs (value - stored) < 1.0e-4)
        return false;

    stored = value;
    return true;
}

/** A range of file fractions whose end stays at least 1e-9 after its start. */
inline void setRange (double& start, double& end, double newStart, double newEnd) noexcept
{
    start = newStart;
    end = juce::jmax (newEnd, newStart + 1.0e-9);
}

/** The mouse x as a fraction of the drawing width, held within 0..1 (0 for no width). */
inline double fractionAcross (juce::Rectangle<int> drawingArea, float mouseX) noexcept
{
    if (drawingArea.getWidth() <= 0)
        return 0.0;

    return juce::jlimit (0.0, 1.0, ((double) mouseX - drawingArea.getX()) / drawingArea.getWidth());
}

/** The box of the hover time label: right of the hover line, or left of it near the right edge. */
inline juce::Rectangle<float> hoverLabelBox (juce::Rectangle<int> drawingArea, float hoverX, int textWidth)
{
    const auto width = (float) juce::jmax (34, textWidth + 8);
    auto left = hoverX + 4.0f;
    if (left + width > (float) drawingArea.getRight())
        left = hoverX - 4.0f - width;

    return { left, (float) drawingArea.getY() + 2.0f, width, 13.0f };
}

/** A one-pixel hover line over the drawing height. */
void drawHoverLine (juce::Graphics& g, juce::Rectangle<int> drawingArea, float x);

/** The marker: a 2-pixel line with 9 x 3 ticks at the top and the bottom. */
void drawMarker (juce::Graphics& g, juce::Rectangle<int> drawingArea, float x);

/** The hover time label (the time in m:ss.s) in a rounded box near the top of the drawing area. */
void drawHoverTime (juce::Graphics& g, juce::Rectangle<int> drawingArea, float hoverX, double seconds, juce::Colour boxColour);

} // namespace dunmoor::ui::viewpositions
