#include "ui/widgets/FittedLabel.h"

namespace dunmoor::ui
{

FittedLabel::FittedLabel (Shortening how)
    : shortening (how)
{
}

void FittedLabel::setFullText (const juce::String& text)
{
    if (text == fullText)
        return;

    fullText = text;
    refit();
}

void FittedLabel::setFittedFont (const juce::Font& newFont)
{
    setFont (newFont);
    refit();
}

void FittedLabel::setWholeTextTooltip (const juce::String& tooltip)
{
    wholeTextTooltip = tooltip;
    refit();
}

void FittedLabel::resized()
{
    juce::Label::resized();
    refit();
}

void FittedLabel::refit()
{
    const auto room = getBorderSize().subtractedFrom (getLocalBounds());
    const auto shown = room.getWidth() > 0 ? shortenToFit (fullText, getFont(), (float) room.getWidth(), shortening) : fullText;

    setText (shown, juce::dontSendNotification);
    setTooltip (shown != fullText ? fullText : wholeTextTooltip);
}

} // namespace dunmoor::ui
