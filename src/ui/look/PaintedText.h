#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

namespace dunmoor::ui
{

/**
    One line of text that a component paints itself: what, where in the component's own
    coordinates, in which font and colour. The line is drawn inside its area and never wraps.
*/
struct PaintedText
{
    juce::String text;
    juce::Rectangle<float> area;
    juce::Font font;
    juce::Colour colour;
    juce::Justification justification = juce::Justification::centredLeft;

    /** A text of the user's (a name) that may be shortened on purpose, its whole text in the
        component's tooltip; a caption never is. */
    bool mayBeShortened = false;

    /** The text stands on a strip that scrolls sideways under the component (a column heading
        of a list that scrolls): its area is its room, wherever the scrolling puts it, and the
        component's edges cut it as they cut the strip. */
    bool scrollsSideways = false;
};

/**
    A component that paints texts of its own lists them here, and its paint draws that same
    list, so that what is painted can be checked for room without looking at pixels.
*/
class PaintsTexts
{
public:
    virtual ~PaintsTexts() = default;

    /** The texts the next paint draws, in the order it draws them. */
    virtual std::vector<PaintedText> getPaintedTexts() const = 0;
};

/** Draws one text in its font and colour, in its area. */
void drawPaintedText (juce::Graphics& g, const PaintedText& text);

/** Draws every text of the list. */
void drawPaintedTexts (juce::Graphics& g, const std::vector<PaintedText>& texts);

} // namespace dunmoor::ui
