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

/** The gate of applySilenceGate for a track read a window at a time, never held whole: each
    window comes out exactly (bit for bit) as applySilenceGate on the whole track makes those
    frames, and finish() gives the same report. Whether a quiet run reaching into a window is long
    enough to be gated, and where its fades fall, can only be told by looking past the window, so
    every window comes with a look-ahead of the frames that follow it. */
class SilenceGateStream
{
public:
    /** A track of totalFrames frames and numChannels channels, gated with the settings at the
        rate. A disabled gate, a rate that is not positive, no frames or no channels: gate() leaves
        windows alone and finish() gives the empty report, as applySilenceGate does. */
    SilenceGateStream (const SilenceGateSettings& settings, double sampleRate, int64_t totalFrames, int numChannels);

    /** Frames past a window the caller must hand along with it (never more than the track holds;
        0 when the gate does nothing). It grows with the minimum length and the fades: a quiet
        run is gated only once it is known to last long enough. */
    int64_t getLookAheadFrames() const noexcept { return lookAheadFrames; }

    /** Gates frames [start, start + count) of the track in place. `window` holds those frames
        from its frame 0 followed by the next min (getLookAheadFrames(), totalFrames - start - count)
        frames of the track, ungated (they are only looked at, never changed; any frames past
        those are ignored), on numChannels channels. Windows come in order and contiguous: the
        first starts at 0, each next one where the last ended.
        A window that breaks this (out of order, past the track, too short, other channels) is
        left alone, changes nothing in the stream and gives false. */
    bool gate (juce::AudioBuffer<double>& window, int64_t start, int count);

    /** Once the window that ends at totalFrames is gated: the report applySilenceGate gives for
        the whole track. Before that: the empty report (gate() has already said which window was
        refused). */
    SilenceGateReport finish() const;

private:
    bool active = false;
    GateShape shape;
    int64_t minimumFrames = 1;
    double threshold = 0.0;
    bool floorIsSilence = true;
    int64_t totalFrames = 0;
    int numChannels = 0;
    int64_t lookAheadFrames = 0;

    int64_t position = 0;
    int64_t openRunStart = -1;      // the start of the quiet run still open at position, -1 when none
    std::vector<FrameRange> ranges; // the runs closed so far that are long enough
};

/** Frames in a duration at a rate, rounded half away from zero; 0 for anything that is not a
    positive finite product. */
int64_t secondsToFrames (double seconds, double sampleRate);

} // namespace dunmoor
