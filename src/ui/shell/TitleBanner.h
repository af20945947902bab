#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** The product logo at the top left of the main window, or the product name in large bold text
    when the logo cannot be shown. Ignores the mouse. */
class TitleBanner : public juce::Component
{
public:
    TitleBanner();

    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TitleBanner)
};
} // namespace dunmoor::ui
