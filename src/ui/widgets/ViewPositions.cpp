#include "ui/widgets/ViewPositions.h"

#include "core/model/Types.h"
#include "ui/shell/Theme.h"

namespace dunmoor::ui::viewpositions
{

void drawHoverLine (juce::Graphics& g, juce::Rectangle<int> drawingArea, float x)
{
    g.setColour (currentPalette().warning.withAlpha (0.9f));
    g.fillRect (juce::Rectangle<float> (x, (float) drawingArea.getY(), 1.0f, (float) drawingArea.getHeight()));
}

void drawMarker (juce::Graphics& g, juce::Rectangle<int> drawingArea, float x)
{
    const auto top = (float) drawingArea.getY();
    const auto height = (float) drawingArea.getHeight();

    g.setColour (currentPalette().warning);
    g.fillRect (juce::Rectangle<float> (x - 1.0f, top, 2.0f, height));
    g.fillRect (juce::Rectangle<float> (x - 4.0f, top, 9.0f, 3.0f));
    g.fillRect (juce::Rectangle<float> (x - 4.0f, (float) drawingArea.getBottom() - 3.0f, 9.0f, 3.0f));
}

void drawHoverTime (juce::Graphics& g, juce::Rectangle<int> drawingArea, float hoverX, double seconds, juce::Colour boxColour)
{
    const auto text = formatDuration (seconds);
    const auto font = fontPlain12();
    const auto box = hoverLabelBox (drawingArea, hoverX, measureTextWidthCeil (font, text));

    g.setColour (boxColour);
    g.fillRoundedRectangle (box, 2.0f);
    g.setColour (juce::Colours::white);
    g.setFont (font);
    g.drawText (text, box, juce::Justification::centred, false);
}

} // namespace dunmoor::ui::viewpositions
