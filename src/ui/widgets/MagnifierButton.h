#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** An icon-only button with a magnifying glass: a plus (zoom in), a minus (zoom out) or the plain
    lens (the whole view). The owner sets the click action and the tooltip. */
class MagnifierButton : public juce::Button
{
public:
    enum Kind
    {
        zoomIn = 0,
        zoomOut = 1,
        wholeView = 2
    };

    MagnifierButton (const juce::String& name, int kind);

    int getKind() const noexcept { return kind; }

    void paintButton (juce::Graphics& g, bool highlighted, bool down) override;

private:
    int kind;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MagnifierButton)
};

} // namespace dunmoor::ui
