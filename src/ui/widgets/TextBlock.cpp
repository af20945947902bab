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

void TextBlock::paint (juce::Graphics& g)
{
    if (text.isEmpty())
        return;

    g.setColour (getTextColour());
    g.setFont (font);

    const auto lineHeight = getLineHeight();
    const auto lines = getLines();

    for (int k = 0; k < lines.size(); ++k)
    {
        const auto y = k * lineHeight;
        if (y > getHeight())
            break;

        g.drawText (lines[k], 0, y, getWidth(), lineHeight, juce::Justification::centredLeft, true);
    }
}

} // namespace dunmoor::ui
