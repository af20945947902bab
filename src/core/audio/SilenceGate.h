#pragma once

#include <cstdint>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "core/model/Preset.h"

namespace dunmoor
{

// The noise-floor cleanup of a track: every stretch that stays at or below a threshold for long
// enough is pulled down to a floor (digital silence by default), with linear fades at both
// ends. Works in place on one 64-bit buffer; re-entrant.

/** A half-open range of frames [start, end). */
struct FrameRange
{
    int64_t start = 0;
    int64_t end = 0;

    bool operator== (const FrameRange& o) const { return start == o.start && end == o.end; }
};

/** One gated stretch, each position a fraction 0..1 of the buffer length, so that views can
    draw it at any zoom. */
struct GateRegion
{
    double start = 0.0;
    double end = 0.0;
    double fullyGatedStart = 0.0;   // where the fade-out has finished (start itself at frame 0)
    double fullyGatedEnd = 0.0;     // where the fade-in begins (end itself at the last frame)
};

struct SilenceGateReport
{
    std::vector<FrameRange> ranges; // the gated stretches in frames, to gate the same audio again a window at a time
    int regionCount = 0;
    int64_t gatedSamples = 0;       // frames inside gated stretches, summed
    bool wholeFileSilent = false;   // one stretch covering everything, pulled to silence
    std::vector<GateRegion> regions;
};

/** The fades and the floor a gate with these settings uses at the rate. */
struct GateShape
{
    int64_t fadeOutFrames = 0;
    int64_t fadeInFrames = 0;
    double floorGain = 0.0;
};

GateShape gateShapeOf (const SilenceGateSettings& settings, double sampleRate);

/** Gates the buffer in place with the settings at the given rate and reports what it did.
    Does nothing (empty report) when the gate is disabled, the rate is not positive or the
    buffer holds no samples. */
SilenceGateReport applySilenceGate (juce::AudioBuffer<double>& buffer, double sampleRate, const SilenceGateSettings& settings);

/** The runs of quiet frames (every channel's magnitude at or below the threshold) that are at
    least minimumFrames long, in order. */
std::vector<FrameRange> findSilentRegions (const juce::AudioBuffer<double>& buffer, double threshold, int64_t minimumFrames);

/** Pulls one range down to floorGain (0: silence) on every channel: a linear fade-out at its
    start unless it starts at frame 0, a linear fade-in at its end unless it reaches the last
    frame. Neither fade reaches exactly 1 or the floor, so the first and the last frame of the
    range are already attenuated and the frame after it is untouched. The range is limited to
    the buffer and each fade to the range's length. */
void applyGateRegion (juce::AudioBuffer<double>& buffer, FrameRange range, int64_t fadeOutFrames, int64_t fadeInFrames, double floorGain);

/** Gates frames [windowStart, windowStart + window's length) of a signal of totalFrames frames,
    held in window, with the ranges applySilenceGate found in the whole signal: every sample comes
    out exactly as gating the whole signal at once makes it. */
void applyGateToWindow (juce::AudioBuffer<double>& window, int64_t windowStart, int64_t totalFrames,
                        const std::vector<FrameRange>& ranges, const GateShape& shape);

/** Frames in a duration at a rate, rounded half away from zero; 0 for anything that is not a
    positive finite product. */
int64_t secondsToFrames (double seconds, double sampleRate);

} // namespace dunmoor
