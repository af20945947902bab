#pragma once

#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "CancelCheck.h"

namespace dunmoor
{

/**
    The reduced picture of a signal that the waveform views draw: the time axis cut into equal
    buckets, each with the lowest and highest sample of any channel in it. An empty overview (no
    buckets, every number 0) stands for no overview at all; a bucket no sample reached holds 0 / 0.
*/
struct WaveformOverview
{
    std::vector<float> minimums;
    std::vector<float> maximums;
    double sampleRate = 0.0;
    double duration = 0.0; // seconds, of the whole source
    int channelCount = 0;
    float peak = 0.0f;                  // largest magnitude over all buckets
    juce::int64 nearFullScaleCount = 0; // samples of magnitude >= nearFullScale (whole-file form only)
    int longestNearFullScaleRun = 0;    // longest run of them within one channel (whole-file form only)

    static constexpr float nearFullScale = 0.99985f;
    static constexpr int maxBuckets = 20000;

    bool isEmpty() const noexcept { return minimums.empty(); }
    int getNumBuckets() const noexcept { return (int) minimums.size(); }

    /**
        Where the sound starts, as a fraction 0..1 of the duration: the start of the first bucket
        louder than peak x thresholdFraction (clamped to 0..1), moved leadInSeconds earlier. 0 for an
        empty or silent overview, when no bucket is louder, or when the lead-in reaches the start.
    */
    double firstSoundPosition (float thresholdFraction, double leadInSeconds) const;
};

/**
    The overview of a signal handed over a piece at a time, from its first frame to its last:
    the same overview overviewFromBuffer makes of the whole signal at once, for a signal that is
    never in memory as a whole.
*/
class WaveformOverviewBuilder
{
public:
    WaveformOverviewBuilder (int numChannels, juce::int64 numFrames, double sampleRate, int numBuckets);

    /** Frames [frame, frame + count) of the signal, channel pointers starting at that frame. */
    void add (const double* const* channels, juce::int64 frame, int count);

    /** The overview of what was added (the empty overview for a signal with no frames). */
    WaveformOverview finish();

private:
    WaveformOverview overview;
    juce::int64 numFrames = 0;
    std::vector<char> touched;
};

/** The overview of a buffer in memory; never fails (no channels or samples: the empty overview). */
WaveformOverview overviewFromBuffer (const juce::AudioBuffer<double>& buffer, double sampleRate, int numBuckets);

/** The same for 32-bit samples; a buffer converted from a 64-bit one gives the same overview. */
WaveformOverview overviewFromBuffer (const juce::AudioBuffer<float>& buffer, double sampleRate, int numBuckets);

/**
    The overview of a whole file, read in blocks of 65536 frames, with the near-full-scale count and
    longest run. On failure the error is set and the overview is empty (the probe or open failed) or
    partial (a block could not be read). The cancel check is polled before every block; when it
    says yes the overview is empty and the error is the cancelled text.
*/
WaveformOverview overviewFromFile (const juce::File& file, int numBuckets, juce::String& error, const CancelCheck& cancel = {});

/** Frames [start, end) of a source file. */
struct FrameSpan
{
    juce::int64 start = 0;
    juce::int64 end = 0;

    juce::int64 getLength() const noexcept { return end - start; }
};

/**
    The frames between two fractions of a source of totalFrames frames: the fractions are clamped
    to 0..1 (NaN counts as 0) and put in order; start = floor (total x lower), end = floor (total x
    upper) but at least one frame after start and never past the end. Empty only when the lower
    fraction is 1 or the source has no frames.
*/
FrameSpan frameRangeOfFractions (juce::int64 totalFrames, double startFraction, double endFraction);

/**
    The overview of the stretch between two fractions of the file's length (in either order, the
    frames of frameRangeOfFractions); the bucket count is lowered to the stretch's frame count. The
    duration is the whole file's. The cancel check is asked before every block read; when it says
    yes the overview is empty and the error is the cancelled text.
*/
WaveformOverview overviewFromFileRange (const juce::File& file,
                                        double startFraction,
                                        double endFraction,
                                        int numBuckets,
                                        juce::String& error,
                                        const CancelCheck& cancel = {});

} // namespace dunmoor
