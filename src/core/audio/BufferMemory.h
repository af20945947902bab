#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace dunmoor
{

/**
    Asks the system to back a freshly allocated, still untouched large buffer with huge pages
    where it offers them on request (Linux). Writing a buffer of hundreds of megabytes for the
    first time otherwise costs one page fault per 4 KB, which can take longer than the work that
    fills it. Harmless everywhere else, and for buffers of a few megabytes or less it does nothing.
*/
void adviseLargeBuffer (juce::AudioBuffer<double>& buffer) noexcept;
void adviseLargeBuffer (juce::AudioBuffer<float>& buffer) noexcept;

} // namespace dunmoor
