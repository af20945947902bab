#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** A text button drawing a small triangle pointing up or down instead of text, such as the
    buttons that move an item earlier or later in a list. The owner sets the click action and
    the tooltip. */
class ArrowStepButton : public juce::TextButton
{
public:
    explicit ArrowStepButton (bool pointsUp);

    void paintButton (juce::Graphics& g, bool highlighted, bool down) override;

private:
    bool up;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ArrowStepButton)
};

} // namespace dunmoor::ui
