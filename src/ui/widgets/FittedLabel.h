#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/ShortenedText.h"

namespace dunmoor::ui
{

/**
    A label that shows its text whole when it fits and otherwise shortened on purpose (at the end,
    or in the middle for file names), with the whole text in its tooltip. It fits the text again
    whenever its size, font or text changes.
*/
class FittedLabel : public juce::Label
{
public:
    explicit FittedLabel (Shortening how = Shortening::atEnd);

    /** The whole text; the label shows what fits of it. */
    void setFullText (const juce::String& text);
    const juce::String& getFullText() const noexcept { return fullText; }

    void setFittedFont (const juce::Font& newFont);

    /** The tooltip while the text shows whole; a shortened text shows itself in full instead. */
    void setWholeTextTooltip (const juce::String& tooltip);

    bool isShortened() const noexcept { return getText() != fullText; }

    void resized() override;

private:
    void refit();

    Shortening shortening;
    juce::String fullText;
    juce::String wholeTextTooltip;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FittedLabel)
};

} // namespace dunmoor::ui
