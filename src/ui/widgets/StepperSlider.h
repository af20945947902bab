#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** A whole-number slider without a track: an editable value box (54 x 26) on the left and its
    two step buttons side by side to the right of it, not stacked. The owner sets the range. */
class StepperSlider : public juce::Slider
{
public:
    StepperSlider();

    void resized() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StepperSlider)
};

} // namespace dunmoor::ui
