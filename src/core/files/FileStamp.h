#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** A text that changes whenever the file may have: its inode, size and modification and change
    times to the nanosecond (an atomic replacement is a new inode). Two stamps of one file are
    equal only if nothing wrote to it in between. Empty when the file cannot be examined; an
    empty stamp never counts as unchanged. */
juce::String fileStamp (const juce::File& file);

} // namespace dunmoor
