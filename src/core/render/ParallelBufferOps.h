#pragma once

#include <cstdint>
#include <memory>

#include <juce_audio_basics/juce_audio_basics.h>

#include "RenderWorkers.h"

namespace dunmoor
{

// Whole-buffer arithmetic of the rendering thread, shared out over frame ranges. Every sample
// gets the same operations in the same order whoever computes it, so the result does not
// depend on the number of threads. helpers may be null (everything on the calling thread).

/** A buffer handed between the rendering thread and its workers, kept alive by whoever still
    reads or writes it. */
using SharedBuffer = std::shared_ptr<juce::AudioBuffer<double>>;
using ConstBuffer = std::shared_ptr<const juce::AudioBuffer<double>>;

/** dest = src (first) or dest += src over the shorter length, channels mapped as every sum
    maps them (sumChannels). With first, whatever the source does not reach is set to 0, so
    dest needs no clearing beforehand. */
void sumInto (RenderWorkers* helpers, juce::AudioBuffer<double>& dest, const juce::AudioBuffer<double>& src, bool first);

/** Multiplies every sample by gain; a gain of exactly 1 changes nothing. */
void scaleAll (RenderWorkers* helpers, juce::AudioBuffer<double>& buffer, double gain);

/** The largest absolute sample, infinity when any sample is NaN or infinite. */
double samplePeakOf (RenderWorkers* helpers, const juce::AudioBuffer<double>& buffer);

} // namespace dunmoor
