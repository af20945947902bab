#pragma once

#include <memory>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "CancelCheck.h"

namespace dunmoor
{

/** The modified Bessel function of the first kind, order 0, by its power series. */
double besselI0 (double x);

/**
    Windowed-sinc polyphase resampler for whole buffers of 64-bit samples.

    The kernel is a Kaiser-windowed sinc (beta 12) with its cutoff at 0.95 of the lower of the two
    Nyquist frequencies. The table holds (phases + 1) rows of 2 x halfWidth coefficients, row r for
    the fractional input position r / phases; each output sample interpolates linearly between two
    neighbouring rows. Output sample 0 lies on input sample 0, so the output carries no delay.

    When downsampling, the half-width (in input samples) is widened by 1 / ratio so that the kernel
    spans the same number of output samples as it does when upsampling; without that the filter's
    transition band would sit far above the new Nyquist frequency and fold content into the
    audible band.

    A table depends only on the ratio, the half-width and the phase count; tables are shared
    between resamplers of the same ratio (a small process-wide cache), so converting many files at
    the same pair of rates builds the table once. A Resampler is immutable after construction and
    may be used from several threads at once.
*/
class Resampler
{
public:
    /** Largest half-width a downsampling ratio may widen the kernel to (ratios down to 1/32 get the
        full widening; below that the transition band starts to spread past the new Nyquist). */
    static constexpr int maxWidenedHalfWidth = 1024;

    /** Both rates must be above 0. The half-width is clamped to 2..256 and the phase count to
        16..8192 before the downsampling widening is applied. */
    Resampler (double sourceRate, double targetRate, int halfWidth = 32, int phases = 1024);

    /** False only when the coefficient table could not be allocated; process() then writes silence. */
    bool isValid() const noexcept { return table != nullptr; }

    /** Fills outCount output samples from inCount input samples. Taps that fall outside the input
        add nothing (there is no renormalisation near the ends). No output pointer or a count of 0
        does nothing; no input gives silence. The cancel check is polled before every
        cancelPollFrames output frames; false when it said yes, and the output is then only
        partly written. */
    bool process (const double* input,
                  juce::int64 inCount,
                  double* output,
                  juce::int64 outCount,
                  const CancelCheck& cancel = {}) const;

    /** The same for several channels at once: each output frame's coefficients are interpolated
        once and applied to every channel. */
    bool process (const double* const* inputs,
                  int numChannels,
                  juce::int64 inCount,
                  double* const* outputs,
                  juce::int64 outCount,
                  const CancelCheck& cancel = {}) const;

    /** The input frames [begin, end) that output frames [beginOut, endOut) of an input of inCount
        frames are made of (taps outside the input left out); empty for no output or no input. */
    struct InputRange
    {
        juce::int64 begin = 0;
        juce::int64 end = 0;
    };

    InputRange getInputRange (juce::int64 inCount, juce::int64 beginOut, juce::int64 endOut) const noexcept;

    /** Output frames [beginOut, endOut) (outputs indexed from output frame 0) of an input of inCount
        frames of which only a section is at hand: section[ch][0] is input frame sectionStart, and
        the section covers getInputRange (inCount, beginOut, endOut). The frames come out exactly
        as process() makes them, so a long input can be converted a piece at a time, and the
        pieces side by side. Invalid resamplers write nothing. */
    void processSection (const double* const* section,
                         int numChannels,
                         juce::int64 inCount,
                         juce::int64 sectionStart,
                         double* const* outputs,
                         juce::int64 beginOut,
                         juce::int64 endOut) const noexcept;

    double getRatio() const noexcept { return ratio; }
    int getHalfWidth() const noexcept { return halfWidth; }
    int getPhases() const noexcept { return phases; }
    int getTaps() const noexcept { return taps; }

    /** Row r (0..phases) of the coefficient table, getTaps() values; nullptr when invalid. */
    const double* getRow (int r) const noexcept;

private:
    double ratio = 1.0;
    int halfWidth = 32;
    int phases = 1024;
    int taps = 64;
    std::shared_ptr<const std::vector<double>> table;
};

/**
    Frames that resampleBuffer makes of inputFrames: ceil (n x ratio - |n x ratio| x 1e-12) (the tiny
    subtraction keeps an exact product from rounding up by one); n itself when the rates differ by
    less than 0.5 Hz; 0 for no input or a rate of 0 or less (or NaN); the int64 maximum when the
    result is beyond 9e18. Lets a caller refuse a conversion that would be too long before any
    memory is committed.
*/
juce::int64 getResampledLength (juce::int64 inputFrames, double sourceRate, double targetRate);

/**
    Converts every channel of the source from sourceRate to targetRate (half-width 32, 1024 phases).
    Rates within 0.5 Hz of each other give a copy. A rate of 0 or less (or NaN), a source without channels,
    a result longer than an AudioBuffer can hold, or memory that cannot be had give an empty buffer
    (no channels); use the overload below to learn why.
*/
juce::AudioBuffer<double> resampleBuffer (const juce::AudioBuffer<double>& source, double sourceRate, double targetRate);

/** resampleBuffer with failures reported: on false the error says why and result is untouched.
    The cancel check is polled once per block of output; when it says yes the error is the
    cancelled text. */
[[nodiscard]] bool resampleBuffer (const juce::AudioBuffer<double>& source,
                                   double sourceRate,
                                   double targetRate,
                                   juce::AudioBuffer<double>& result,
                                   juce::String& error,
                                   const CancelCheck& cancel = {});

} // namespace dunmoor
