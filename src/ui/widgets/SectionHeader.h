#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

/** A block's title strip: the title in bold, an optional quieter subtitle after it, and a thin
    rule to the right edge. Takes no mouse clicks. */
class SectionHeader : public juce::Component, public PaintsTexts
{
public:
    SectionHeader (const juce::String& title, const juce::String& subtitle);

    /** The title, and the subtitle in the room after it. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;

private:
    static float getBaseline();

    juce::String title;
    juce::String subtitle;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SectionHeader)
};

} // namespace dunmoor::ui
