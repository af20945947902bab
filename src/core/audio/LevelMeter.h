#pragma once

#include <cstdint>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "CancelCheck.h"
#include "core/model/Preset.h"

namespace dunmoor
{

// Level arithmetic of the render: sample peak, true peak by oversampling, full-scale counts,
// decibel conversions and the cue gain. Pure computation on 64-bit buffers, re-entrant.
// Peaks are linear amplitudes (1.0 = 0 dBFS); -400 dB stands for minus infinity.

/** The sample peak and the true peak of a buffer, both linear. */
struct PeakLevels
{
    double samplePeak = 0.0;
    double truePeak = 0.0;
    bool cancelled = false;     // the measurement was stopped by its cancel check; both peaks are then 0 and mean nothing
};

/** The cue gain and what it was computed from. */
struct GainResult
{
    double peakDb = -400.0;             // the measured peak the gain was computed from
    double targetDb = -3.0;             // from the preset's headroom settings
    double gainDb = 0.0;                // applied to every output of the cue
    double gainLinear = 1.0;            // 10^(gainDb / 20); 0 when gainDb <= -400
    double predictedPeakDb = -400.0;    // peakDb + gainDb
    bool heldAtZero = false;            // attenuate-only mode stopped a positive gain at 0 dB
    bool silent = false;                // the peak was 0, so no gain was computed

    /** Not empty when no gain could be computed because the measured peak is not a finite
        number (the audio holds NaN or infinite samples). The caller must treat this as an
        error of what it measured; the gain fields then stay at unity. */
    juce::String error;
};

/** The interpolation filters for one true-peak oversampling factor. */
struct TruePeakFilterBank
{
    static constexpr int numTaps = 24;

    int factor = 0;

    /** (factor - 1) phases of numTaps taps each, phase-major: phase p (1-based, the point
        p / factor of the way from one sample to the next) starts at (p - 1) * numTaps. */
    std::vector<double> coefficients;

    /** The largest sum of absolute taps over the phases: no interpolated value is larger than
        this times the largest magnitude among the samples under the taps. */
    double largestAbsoluteTapSum = 0.0;
};

/** 10^(dB / 20); 0 for -400 dB and below. */
double decibelsToGain (double dB);

/** 20 * log10 (x), floored at -400; x <= 0 gives -400. Infinity and NaN pass through. */
double gainToDecibels (double linear);

/** The largest absolute sample over all channels and frames (0 for an empty buffer).
    Infinity when any sample is NaN or infinite. */
double measureSamplePeak (const juce::AudioBuffer<double>& buffer);

/** The sample peak and, in truePeak mode and when the sample peak is above 0, the largest
    true peak over the channels (never below the sample peak). In samplePeak mode the true
    peak equals the sample peak. Both are infinity when any sample is NaN or infinite.
    The cancel check is polled before every cancelPollFrames frames of each pass; when it says
    yes the result has cancelled set and both peaks at 0. */
PeakLevels measurePeaks (const juce::AudioBuffer<double>& buffer, PeakMode peakMode, int oversampling, const CancelCheck& cancel = {});

/**
    measurePeaks for a signal that arrives a window at a time and is never whole in memory.
    It keeps a few dozen samples of history per channel; the true-peak interpolation runs as
    the frames come, skipping (as the whole-buffer pass does) the intervals that cannot beat
    the peak found so far, and finish() settles the intervals at the end of the signal.
    No allocation after construction, so add() may run on the render thread.
*/
class PeakMeterStream
{
public:
    /** A negative channel count counts as 0; the oversampling setting is mapped as by
        measureTruePeak. */
    PeakMeterStream (int numChannels, PeakMode peakMode, int oversampling);

    /** The next `count` frames of the signal (channel pointers at their first frame); frames
        come in order, windows of any size. Nothing for a count <= 0 or null pointers. */
    void add (const double* const* channels, int count);

    /** The levels measurePeaks gives for the whole signal added (bit for bit: same samplePeak
        and truePeak doubles; the cancelled flag is never set). The stream itself is left as it
        was. */
    PeakLevels finish();

private:
    static constexpr int historyCapacity = 64;

    template <int Phases>
    void interpolateAdded (const double* const* channels, int count);

    template <int Phases>
    double interpolateRemaining() const;

    int numChannels = 0;
    bool interpolating = false;             // true-peak mode, and nothing but finite samples so far
    const TruePeakFilterBank* bank = nullptr;
    double samplePeak = 0.0;                // over all channels and frames so far
    double runningPeak = 0.0;               // the sample peak and every interpolated value so far
    int64_t received = 0;                   // frames added
    int64_t nextInterval = 0;               // the first interval not yet interpolated (a multiple of 4)
    int64_t historyStart = 0;               // the frame history[0] holds, of every channel
    int historyLength = 0;
    std::vector<double> history;            // historyCapacity samples per channel
    std::vector<int64_t> lastLoudBlock;     // per channel, as in the whole-buffer pass
};

/** The true peak of one channel, linear: the largest of its samples and of the values
    interpolated between them. Oversampling 2 or less uses factor 2, 3 or 4 factor 4, and
    5 or more factor 8. 0 for a null pointer or a count <= 0; infinity when any sample is
    NaN or infinite. */
double measureTruePeak (const double* samples, int64_t count, int oversampling);

/** The filter bank for factor 2, 4 or 8 (other values are mapped as by measureTruePeak).
    All three banks are built together on the first call, thread-safely, and never change. */
const TruePeakFilterBank& getTruePeakFilters (int factor);

/** The number of samples over all channels whose absolute value is at least the threshold. */
int64_t countFullScaleSamples (const juce::AudioBuffer<double>& buffer, double threshold);

/** The gain that brings the peak of the preset's peak mode to the headroom target. */
GainResult computeGlobalGain (PeakLevels peaks, const HeadroomSettings& headroom);

} // namespace dunmoor
