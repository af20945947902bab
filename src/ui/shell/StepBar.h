#pragma once

#include <array>
#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/Page.h"
#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

/**
    The strip under the title row that shows the five steps, marks the current one and greys out
    the ones that cannot be used yet. A click on an enabled step, or the left and right arrow keys
    (which skip disabled steps and wrap around), call onStepClicked; the owner decides what
    happens. Step i covers x from i x (width / 5) to (i + 1) x (width / 5).
*/
class StepBar : public juce::Component, public PaintsTexts
{
public:
    StepBar();

    std::function<void (Page)> onStepClicked;

    void setCurrentStep (int step);
    void setStepEnabled (int index, bool enabled);

    int getCurrentStep() const noexcept { return currentStep; }
    int getHoverStep() const noexcept { return hoverStep; }
    bool isStepEnabled (int index) const noexcept { return index >= 0 && index < pageCount && stepEnabled[(size_t) index]; }

    /** The step whose area holds the point, or -1. */
    int stepAt (juce::Point<int> position) const;

    static const char* getCaption (int step);

    /** Each step's number and caption. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    bool keyPressed (const juce::KeyPress& key) override;

private:
    int getStepWidth() const noexcept { return getWidth() / pageCount; }

    int currentStep = 0;
    int hoverStep = -1;
    std::array<bool, pageCount> stepEnabled { true, true, true, true, true };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StepBar)
};

} // namespace dunmoor::ui
