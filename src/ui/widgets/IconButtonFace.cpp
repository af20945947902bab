#include "ui/widgets/IconButtonFace.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

juce::Rectangle<float> drawIconButtonFace (juce::Graphics& g, const juce::Button& button, bool highlighted, bool down)
{
    const auto p = currentPalette();
    const auto bounds = button.getLocalBounds().toFloat();
    const juce::Rectangle<float> inner (bounds.getX() + 1.0f, bounds.getY() + 1.0f, juce::jmax (0.0f, bounds.getWidth() - 2.0f), juce::jmax (0.0f, bounds.getHeight() - 2.0f));

    g.setColour (down ? p.controlHover : (highlighted ? p.controlBackground.brighter (0.15f) : p.controlBackground));
    g.fillRoundedRectangle (inner, 4.0f);

    g.setColour (p.subtleOutline);
    g.drawRoundedRectangle (inner.getX() + 0.5f, inner.getY() + 0.5f, juce::jmax (0.0f, inner.getWidth() - 1.0f), juce::jmax (0.0f, inner.getHeight() - 1.0f), 4.0f, 1.0f);

    return inner;
}

juce::Colour iconColourFor (const juce::Button& button)
{
    return button.isEnabled() ? currentPalette().textPrimary : currentPalette().textDisabled;
}

} // namespace dunmoor::ui
