#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** An icon-only button with two bars and arrows apart (taller rows) or together (shorter rows).
    The owner sets the click action and the tooltip. */
class RowHeightButton : public juce::Button
{
public:
    enum Kind
    {
        taller = 0,
        shorter = 1
    };

    RowHeightButton (const juce::String& name, int kind);

    int getKind() const noexcept { return kind; }

    void paintButton (juce::Graphics& g, bool highlighted, bool down) override;

private:
    int kind;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RowHeightButton)
};

} // namespace dunmoor::ui
