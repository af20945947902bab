#include "SectionHeader.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

SectionHeader::SectionHeader (const juce::String& titleToUse, const juce::String& subtitleToUse)
    : title (titleToUse), subtitle (subtitleToUse)
{
    setInterceptsMouseClicks (false, false);
    setTitle (title);
}

float SectionHeader::getBaseline()
{
    // The baseline sits the height of a capital H below the top.
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (fontBold16(), "H", 0.0f, 0.0f);
    return (float) juce::roundToInt (-glyphs.getBoundingBox (0, 1, true).getY());
}

std::vector<PaintedText> SectionHeader::getPaintedTexts() const
{
    const auto palette = currentPalette();
    const auto baseline = getBaseline();

    // Each text stands on the baseline: its line's top is its font's ascent above it.
    const auto onBaseline = [baseline] (const juce::Font& font, float x, float width)
    { return juce::Rectangle<float> (x, baseline - font.getAscent(), std::max (0.0f, width), font.getHeight()); };

    const auto titleFont = fontBold16();
    std::vector<PaintedText> texts { { title, onBaseline (titleFont, 0.0f, (float) getWidth()), titleFont, palette.textPrimary,
                                       juce::Justification::topLeft } };

    if (subtitle.isNotEmpty())
    {
        const auto subtitleFont = fontPlain12_5();
        const auto x = measureTextWidthCeil (titleFont, title) + 10;
        texts.push_back ({ subtitle, onBaseline (subtitleFont, (float) x, (float) (getWidth() - x)), subtitleFont, palette.textDisabled,
                           juce::Justification::topLeft });
    }

    return texts;
}

void SectionHeader::paint (juce::Graphics& g)
{
    const auto texts = getPaintedTexts();
    drawPaintedTexts (g, texts);

    // The rule runs from 10 px after the title, or 12 px after the subtitle, to the right edge.
    auto end = measureTextWidthCeil (texts[0].font, title) + 10;

    if (texts.size() > 1)
        end += std::min ((int) texts[1].area.getWidth(), measureTextWidthCeil (texts[1].font, subtitle)) + 12;

    if (getWidth() - end > 8)
    {
        const auto baseline = getBaseline();
        g.setColour (currentPalette().subtleOutline);
        g.fillRect (juce::Rectangle<float> ((float) end - 2.0f, baseline / 2.0f, (float) (getWidth() - end + 2), 1.0f));
    }
}

} // namespace dunmoor::ui
