#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

void drawPaintedText (juce::Graphics& g, const PaintedText& text)
{
    g.setFont (text.font);
    g.setColour (text.colour);
    g.drawText (text.text, text.area, text.justification, true);
}

void drawPaintedTexts (juce::Graphics& g, const std::vector<PaintedText>& texts)
{
    for (const auto& text : texts)
        drawPaintedText (g, text);
}

} // namespace dunmoor::ui
