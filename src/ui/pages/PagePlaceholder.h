#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** What a step shows until its page is built: a panel with the step's title and a line saying
    what the step is for. */
void paintPagePlaceholder (juce::Graphics& g, juce::Rectangle<int> bounds, const juce::String& title, const juce::String& description);

} // namespace dunmoor::ui
