#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** A block's title strip: the title in bold, an optional quieter subtitle after it, and a thin
    rule to the right edge. Takes no mouse clicks. */
class SectionHeader : public juce::Component
{
public:
    SectionHeader (const juce::String& title, const juce::String& subtitle);


    void paint (juce::Graphics& g) override;

private:
    juce::String title;
    juce::String subtitle;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SectionHeader)
};

} // namespace dunmoor::ui
