#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** The maker's logo at the bottom right, dimmed, or the maker's name when the logo cannot be
    shown. A click (not a drag) calls onClick, which opens the maker's web site. */
class CompanyMark : public juce::Component, public juce::SettableTooltipClient
{
public:
    CompanyMark();

    std::function<void()> onClick;

    void paint (juce::Graphics& g) override;
    void mouseUp (const juce::MouseEvent& e) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CompanyMark)
};

} // namespace dunmoor::ui
