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

void SectionHeader::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    const auto titleFont = fontBold16();

    // The baseline sits the height of a capital H below the top.
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (titleFont, "H", 0.0f, 0.0f);
    const auto baseline = (float) juce::roundToInt (-glyphs.getBoundingBox (0, 1, true).getY());

    g.setFont (titleFont);
    g.setColour (palette.textPrimary);
    g.drawSingleLineText (title, 0, (int) baseline);

    const auto titleWidth = measureTextWidthCeil (titleFont, title);
    auto end = titleWidth + 10;

    if (subtitle.isNotEmpty())
    {
        const auto subtitleFont = fontPlain12_5();
        const auto subtitleWidth = measureTextWidthCeil (subtitleFont, subtitle);
        const auto shown = std::min (std::max (0, getWidth() - titleWidth - 10), subtitleWidth);

        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (titleWidth + 10, 0, shown, getHeight());
        g.setFont (subtitleFont);
        g.setColour (palette.textDisabled);
        g.drawSingleLineText (subtitle, titleWidth + 10, (int) baseline);
        end = titleWidth + 10 + shown + 12;
    }

    if (getWidth() - end > 8)
    {
        g.setColour (palette.subtleOutline);
        g.fillRect (juce::Rectangle<float> ((float) end - 2.0f, baseline / 2.0f, (float) (getWidth() - end + 2), 1.0f));
    }
}

} // namespace dunmoor::ui
