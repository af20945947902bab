#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "PhaseSegments.h"
#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

/** The render bar's progress: one coloured band per render phase, with the job's status text
    over it (dark over the bands, light past them). */
class PhaseBar : public juce::Component, public PaintsTexts
{
public:
    PhaseBar();

    /** One progress report of the running job; repaints. */
    void setProgress (double progress, int phase);

    /** No bands, progress 0; repaints. */
    void clear();

    /** Progress 1, the last band reaching the end; repaints. */
    void finish();

    /** Repaints only when the text changed. */
    void setText (const juce::String& newText);

    const juce::String& getText() const noexcept { return text; }
    const PhaseSegments& getSegments() const noexcept { return segments; }

    /** ARGB of a phase's band: writing and verifying have their own colours. */
    static juce::Colour colourForPhase (int phase);

    /** The colour of the text over the bands. */
    static juce::Colour darkTextColour() { return juce::Colour (0xff10171f); }

    /** The status text, in the light colour it has past the bands. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;

private:
    PhaseSegments segments;
    juce::String text;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PhaseBar)
};

} // namespace dunmoor::ui
