#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** A text button that can pulse to draw the eye: a glow ring breathing in and out every 2.5 s
    around an accent face. While not pulsing it is an ordinary text button. */
class PrimaryButton : public juce::TextButton, private juce::Timer
{
public:
    explicit PrimaryButton (const juce::String& buttonText);

    /** Starts (from the dimmest state) or stops the pulse; repaints on a change. */
    void setPulsing (bool shouldPulse);

    bool isPulsing() const noexcept { return pulsing; }
    float getPulsePhase() const noexcept { return pulsePhase; }

    void paintButton (juce::Graphics& g, bool highlighted, bool down) override;

    /** One step of the pulse (30 per second while pulsing). */
    void timerCallback() override;

private:
    bool pulsing = false;
    float pulsePhase = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PrimaryButton)
};

} // namespace dunmoor::ui
