#include "PrimaryButton.h"

#include <cmath>

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

PrimaryButton::PrimaryButton (const juce::String& buttonText) : juce::TextButton (buttonText)
{
    setTitle (buttonText);
}

void PrimaryButton::setPulsing (bool shouldPulse)
{
    if (shouldPulse == pulsing)
        return;

    pulsing = shouldPulse;
    pulsePhase = 0.0f;

    if (pulsing)
        startTimerHz (30);
    else
        stopTimer();

    repaint();
}

void PrimaryButton::timerCallback()
{
    pulsePhase += 0.013333334f;

    if (pulsePhase >= 1.0f)
        pulsePhase -= 1.0f;

    repaint();
}

void PrimaryButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    if (! isTimerRunning())
    {
        juce::TextButton::paintButton (g, highlighted, down);
        return;
    }

    const auto palette = currentPalette();
    const auto bounds = getLocalBounds().toFloat();
    const auto r = juce::Rectangle<float> (bounds.getX() + 0.5f, bounds.getY() + 0.5f,
                                           std::max (0.0f, bounds.getWidth() - 1.0f), std::max (0.0f, bounds.getHeight() - 1.0f));
    const auto a = 0.5f - 0.5f * std::cos (juce::MathConstants<float>::twoPi * pulsePhase);

    auto inset = [] (juce::Rectangle<float> rect, float by)
    {
        return juce::Rectangle<float> (rect.getX() + by, rect.getY() + by,
                                       std::max (0.0f, rect.getWidth() - 2.0f * by), std::max (0.0f, rect.getHeight() - 2.0f * by));
    };

    g.setColour (palette.accent.withAlpha (0.1f + 0.16f * a));
    g.drawRoundedRectangle (inset (r, 3.0f - 2.0f * a), 4.0f, 2.0f + 2.0f * a);

    auto fill = palette.accent.darker (0.25f);

    if (down || highlighted)
        fill = fill.brighter (0.18f);

    const auto face = inset (r, 3.0f);
    g.setColour (fill);
    g.fillRoundedRectangle (face, 4.0f);
    g.setColour (palette.accent);
    g.drawRoundedRectangle (face, 4.0f, 1.0f);

    g.setColour (textColourOn (fill));
    g.setFont (fontPlain14_5().boldened());
    g.drawText (getButtonText(), r, juce::Justification::centred, true);
}

} // namespace dunmoor::ui
