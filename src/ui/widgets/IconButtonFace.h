#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** The framed face of the icon-only buttons: the control background (brighter while the pointer
    is over it, the hover colour while pressed) with a subtle outline. Returns the inner rectangle
    the icon is drawn in. */
juce::Rectangle<float> drawIconButtonFace (juce::Graphics& g, const juce::Button& button, bool highlighted, bool down);

/** The icon colour: the text colour, or the disabled text colour for a disabled button. */
juce::Colour iconColourFor (const juce::Button& button);

} // namespace dunmoor::ui
