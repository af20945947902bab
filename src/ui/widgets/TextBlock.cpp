#include "ui/widgets/TextBlock.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

TextBlock::TextBlock()
    : font (fontMono12())
{
    setInterceptsMouseClicks (false, false);
}

void TextBlock::setText (const juce::String& newText)
{
    if (newText != text)
    {
        text = newText;
        repaint();
    }
}

void TextBlock::setFont (const juce::Font& newFont)
{
    font = newFont;
    repaint();
}

void TextBlock::setTextColour (juce::Colour Palette::*entry)
{
    if (entry != nullptr && entry != paletteColour)
    {
        paletteColour = entry;
        repaint();
    }
}

void TextBlock::setTextColour (juce::Colour newColour)
{
    if (paletteColour != nullptr || newColour != fixedColour)
    {
        paletteColour = nullptr;
        fixedColour = newColour;
        repaint();
    }
}

juce::Colour TextBlock::getTextColour() const
{
    return paletteColour != nullptr ? currentPalette().*paletteColour : fixedColour;
}

void TextBlock::setLineSpacing (float newLineSpacing)
{
    if (newLineSpacing != lineSpacing)
    {
        lineSpacing = newLineSpacing;
        repaint();
    }
}

int TextBlock::getLineHeight() const
{
    return (int) std::ceil (font.getHeight() * lineSpacing);
}

juce::StringArray TextBlock::getLines() const
{
    if (text.isEmpty())
        return {};

    return juce::StringArray::fromLines (text);
}

int TextBlock::getIdealHeight (int minimumLines) const
{
    return juce::jmax (minimumLines, getLines().size()) * getLineHeight() + 2;
}

std::vector<PaintedText> TextBlock::getPaintedTexts() const
{
    const auto lineHeight = getLineHeight();
    const auto lines = getLines();
    const auto colour = getTextColour();
    std::vector<PaintedText> texts;

    for (int k = 0; k < lines.size(); ++k)
        texts.push_back ({ lines[k], juce::Rectangle<int> (0, k * lineHeight, getWidth(), lineHeight).toFloat(), font, colour });

    return texts;
}

void TextBlock::paint (juce::Graphics& g)
{
    drawPaintedTexts (g, getPaintedTexts());
}

} // namespace dunmoor::ui
