#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace dunmoor
{

/** Sizes the buffer to 1..64 channels and 0..1,000,000,000 frames, all zero (contents discarded).
    When the memory can't be had the buffer is left as it was and error says so. */
[[nodiscard]] bool allocateRenderBuffer (juce::AudioBuffer<double>& buffer,
                                         int numChannels,
                                         juce::int64 numFrames,
                                         juce::String& error);

/**
    The one channel mapping of every sum the system makes (a stem from its tracks, the mixes from
    the stems, the stems read back by the reconstruction check, which must add up exactly as the
    render did): a mono source feeds every destination channel; otherwise source channel i feeds
    destination channel i, and destination channels the source lacks get nothing.

    Works on frames [begin, end) of the destination, of which the source holds the first
    sourceFrames. With replace, destination = source x gain where the source reaches and 0
    elsewhere (so the destination needs no clearing); otherwise destination += source x gain
    where the source reaches. A gain of exactly 1 copies or adds the samples as they are.
*/
void sumChannels (double* const* destination,
                  int destinationChannels,
                  const double* const* source,
                  int sourceChannels,
                  juce::int64 sourceFrames,
                  juce::int64 begin,
                  juce::int64 end,
                  bool replace,
                  double gain = 1.0) noexcept;

/** A ceiling on the bytes of one buffer allocateRenderBuffer makes: a larger one fails as if
    the memory could not be had. For tests, which need that failure on any machine (with
    overcommit the kernel grants almost anything, and under a sanitizer a huge request aborts
    the process instead of failing). 0, the default, leaves it to the allocator. Process-wide;
    returns the ceiling it replaces. */
juce::int64 setRenderBufferByteLimit (juce::int64 bytes) noexcept;

/** addBufferWithGain with gain 1. */
void addBufferTo (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source);

/**
    Adds source x gain into destination over the shorter of the two lengths, channels mapped as
    sumChannels maps them. A gain of exactly 0, or a source marked as cleared, adds nothing.
*/
void addBufferWithGain (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source, double gain);

/** Multiplies every sample by the gain; a gain of exactly 1 leaves the buffer untouched. */
void scaleBuffer (juce::AudioBuffer<double>& buffer, double gain);

} // namespace dunmoor
