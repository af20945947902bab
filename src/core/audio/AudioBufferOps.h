#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace dunmoor
{

/** Sizes the buffer to 1..64 channels and 0..1,000,000,000 frames, all zero (contents discarded). */
[[nodiscard]] bool allocateRenderBuffer (juce::AudioBuffer<double>& buffer,
                                         int numChannels,
                                         juce::int64 numFrames,
                                         juce::String& error);

/** addBufferWithGain with gain 1. */
void addBufferTo (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source);

/**
    Adds source x gain into destination over the shorter of the two lengths. A mono source feeds
    every destination channel; otherwise channel i feeds channel i and destination channels the
    source lacks get nothing. A gain of exactly 0 adds nothing.
*/
void addBufferWithGain (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source, double gain);

/** Multiplies every sample by the gain; a gain of exactly 1 leaves the buffer untouched. */
void scaleBuffer (juce::AudioBuffer<double>& buffer, double gain);

} // namespace dunmoor
