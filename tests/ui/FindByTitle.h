#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::testing
{

/** The first child (at any depth) with that accessible title, cast to T; null when none. Tests
    and benchmarks find controls the way a screen reader does. */
template <typename T = juce::Component>
T* findByTitle (juce::Component& root, const juce::String& title)
{
    for (auto* child : root.getChildren())
    {
        if (child->getTitle() == title)
            if (auto* found = dynamic_cast<T*> (child))
                return found;

        if (auto* found = findByTitle<T> (*child, title))
            return found;
    }

    return nullptr;
}

} // namespace dunmoor::testing
