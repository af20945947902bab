#pragma once

#include <cstdint>

#include <juce_audio_basics/juce_audio_basics.h>

namespace dunmoor
{

// The silence a workstation leaves before the first note of a cue: measured on the summed mix,
// then cut from the mix and every stem alike at a zero crossing of the mix, with a short
// fade-in, so that stems and mix stay sample-aligned.

/** The threshold the render measures leading silence with (about -74 dBFS). */
constexpr float leadingSilenceThreshold = 2.0e-4f;

/** The index of the first of `count` frames in which some channel's magnitude, cast to float,
    exceeds the threshold; -1 when there is none (or no channels, frames or pointers). The
    render measures the leading silence with it a window at a time. */
int64_t firstLoudFrame (const double* const* channels, int numChannels, int count, float threshold);

/** Seconds before the first frame in which some channel's magnitude exceeds the threshold
    (compared in single precision, so a sample of exactly the threshold is not sound); the
    whole length when there is none; 0 without a positive rate or without samples. */
double findLeadingSilence (const juce::AudioBuffer<double>& buffer, double sampleRate, float threshold);

/** The frame to cut at for a cut of `seconds`: the zero crossing of the channel sum nearest to
    that time within 20 ms (the earlier of two equally near), else the time itself, limited to
    the last frame. 0 for a rate or time of 0 or less, or a buffer of fewer than 2 frames. */
int64_t snapToZeroCrossing (const juce::AudioBuffer<double>& buffer, double sampleRate, double seconds);

/** Removes `frames` frames from the head of every channel (nothing unless 0 < frames < length)
    and fades the new start in linearly over 5 ms, from exactly 0 at the first frame. */
void trimLeadingSilence (juce::AudioBuffer<double>& buffer, int64_t frames, double sampleRate);

} // namespace dunmoor
