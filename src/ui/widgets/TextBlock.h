#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/PaintedText.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

/**
    Passive multi-line text: one line per line break, each on its own row of ceil(font height x
    line spacing) pixels, shortened with an ellipsis when too wide. Takes no mouse clicks.
*/
class TextBlock : public juce::Component, public PaintsTexts
{
public:
    TextBlock();

    void setText (const juce::String& newText);
    void setFont (const juce::Font& newFont);
    /** Draws in this palette entry (text unless set), read at every paint, so a new palette shows
        at once. */
    void setTextColour (juce::Colour Palette::*entry);
    /** Draws in a fixed colour whatever the palette. */
    void setTextColour (juce::Colour newColour);
    void setLineSpacing (float newLineSpacing);

    const juce::String& getText() const noexcept { return text; }
    const juce::Font& getFont() const noexcept { return font; }
    /** The colour the next paint uses. */
    juce::Colour getTextColour() const;
    float getLineSpacing() const noexcept { return lineSpacing; }

    /** The height that shows every line, and at least minimumLines of them, plus 2 pixels. */
    int getIdealHeight (int minimumLines) const;

    /** One text per line, each on its row. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;

private:
    int getLineHeight() const;
    juce::StringArray getLines() const;

    juce::String text;
    juce::Font font;
    juce::Colour Palette::*paletteColour = &Palette::textPrimary; // null: the fixed colour
    juce::Colour fixedColour;
    float lineSpacing = 1.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TextBlock)
};

} // namespace dunmoor::ui
