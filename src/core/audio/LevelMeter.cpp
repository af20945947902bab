#include "LevelMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dunmoor
{

namespace
{
    constexpr double minusInfinityDb = -400.0;
    constexpr int numTaps = TruePeakFilterBank::numTaps;
    constexpr int centreTap = 11;   // the tap of the sample an interval starts from

    int bankFactorFor (int oversampling)
    {
        if (oversampling <= 2)
            return 2;

        return oversampling <= 4 ? 4 : 8;
    }

    TruePeakFilterBank buildBank (int factor)
    {
        TruePeakFilterBank bank;
        bank.factor = factor;
        bank.coefficients.resize ((size_t) ((factor - 1) * numTaps));

        for (int p = 1; p < factor; ++p)
        {
            double* phase = bank.coefficients.data() + (p - 1) * numTaps;
            double sum = 0.0;

            for (int t = 0; t < numTaps; ++t)
            {
                const double d = (double) p / (double) factor - (double) (t - centreTap);
                const double sinc = std::abs (d) < 1e-12 ? 1.0
                                                         : std::sin (juce::MathConstants<double>::pi * d)
                                                               / (juce::MathConstants<double>::pi * d);

                // Four-term Blackman-Harris window stretched over the 24 taps.
                const double u = juce::MathConstants<double>::twoPi * (d / (double) numTaps + 0.5);
                const double window = 0.35875 - 0.48829 * std::cos (u) + 0.14128 * std::cos (2.0 * u)
                                    - 0.01168 * std::cos (3.0 * u);

                phase[t] = window * sinc;
                sum += phase[t];
            }

            // Unit gain at DC for every phase.
            double absoluteSum = 0.0;

            for (int t = 0; t < numTaps; ++t)
            {
                phase[t] /= sum;
                absoluteSum += std::abs (phase[t]);
            }

            bank.largestAbsoluteTapSum = std::max (bank.largestAbsoluteTapSum, absoluteSum);
        }

        return bank;
    }

    struct FilterBanks
    {
        TruePeakFilterBank two = buildBank (2);
        TruePeakFilterBank four = buildBank (4);
        TruePeakFilterBank eight = buildBank (8);
    };

    const FilterBanks& getFilterBanks()
    {
        // A function-local static is built once, thread-safely, on first use.
        static const FilterBanks banks;
        return banks;
    }

    /** The largest absolute sample, or infinity when any sample is NaN or infinite. */
    double absolutePeak (const double* x, int64_t n)
    {
        // Independent lanes let the compiler keep several comparisons in flight. (v - v) is 0 for
        // every finite v and NaN otherwise, so one sum tells whether the channel is clean.
        double m[4] = { 0.0, 0.0, 0.0, 0.0 };
        double z[4] = { 0.0, 0.0, 0.0, 0.0 };
        int64_t i = 0;

        for (; i + 4 <= n; i += 4)
        {
            for (int k = 0; k < 4; ++k)
            {
                const double v = x[i + k];
                const double a = std::abs (v);
                m[k] = a > m[k] ? a : m[k];
                z[k] += v - v;
            }
        }

        for (; i < n; ++i)
        {
            const double a = std::abs (x[i]);
            m[0] = a > m[0] ? a : m[0];
            z[0] += x[i] - x[i];
        }

        if (std::isnan (z[0] + z[1] + z[2] + z[3]))
            return std::numeric_limits<double>::infinity();

        return std::max (std::max (m[0], m[1]), std::max (m[2], m[3]));
    }

    /** The interpolated values of one interval for every phase of the bank, as their largest
        magnitude; w holds the 24 samples around the interval (the interval starts at w[11]). */
    template <int Phases>
    inline double interpolatedPeak (const double* w, const double* taps)
    {
        double m = 0.0;

        for (int p = 0; p < Phases; ++p)
        {
            double value = 0.0;

            for (int t = 0; t < numTaps; ++t)
                value += w[t] * taps[p * numTaps + t];

            m = std::max (m, std::abs (value));
        }

        return m;
    }

    /** The same for the four consecutive intervals starting at x[0] .. x[3], side by side. The
        sums run over the taps in the same order as above, so the values are identical. */
    template <int Phases>
    inline void interpolatedPeaksOfFour (const double* x, const double* taps, double* peaks)
    {
        const double* w = x - centreTap;
        double acc[Phases][4] = {};

        for (int t = 0; t < numTaps; ++t)
        {
            for (int p = 0; p < Phases; ++p)
            {
                const double h = taps[p * numTaps + t];

                for (int k = 0; k < 4; ++k)
                    acc[p][k] += w[t + k] * h;
            }
        }

        for (int k = 0; k < 4; ++k)
        {
            double m = 0.0;

            for (int p = 0; p < Phases; ++p)
                m = std::max (m, std::abs (acc[p][k]));

            peaks[k] = m;
        }
    }

    /** The largest magnitude among the four samples x[4b] .. x[4b + 3]; samples outside the
        channel count as 0. */
    inline double blockMagnitude (const double* x, int64_t n, int64_t b)
    {
        const int64_t first = 4 * b;

        if (first >= 0 && first + 4 <= n)
            return std::max (std::max (std::abs (x[first]), std::abs (x[first + 1])),
                             std::max (std::abs (x[first + 2]), std::abs (x[first + 3])));

        double m = 0.0;

        for (int64_t j = std::max<int64_t> (0, first); j < std::min<int64_t> (n, first + 4); ++j)
            m = std::max (m, std::abs (x[j]));

        return m;
    }

    template <int Phases>
    inline double truePeakOfChannel (const double* x, int64_t n, double peak, const TruePeakFilterBank& bank, int64_t begin, int64_t end)
    {
        const double* taps = bank.coefficients.data();
        const int64_t lastInterior = n - (numTaps - centreTap); // interval i reads up to x[i + 12]

        // No interpolated value exceeds the loudest sample under its taps times the bank's largest
        // absolute tap sum (taken a hair larger, so that the rounding of a 24-term sum cannot slip
        // past the bound). An interval is skipped only when that bound cannot beat the running
        // peak, that is when no sample under its taps is louder than `limit`; every other one is
        // interpolated, so the result is that of evaluating every interval. Loud ends alone say
        // nothing: near half the sample rate, the largest overshoot can lie between two quiet
        // samples among loud ones of alternating sign.
        const double bound = bank.largestAbsoluteTapSum * (1.0 + 1.0e-12);
        double limit = peak / bound;

        // Interval i runs from x[i] to x[i + 1] (the sample after the last one counts as 0).
        // Intervals go in blocks of four, i = 4b: their taps read x[4b - 11] .. x[4b + 15], all
        // inside the blocks of four samples b - 3 .. b + 3. The limit only rises, so a block once
        // found quiet stays quiet; a loud one may stay counted as loud, which costs time, never
        // a value. The peak is a maximum, so the intervals may be visited in runs [begin, end),
        // begin a multiple of four.
        const int64_t firstBlock = begin / 4;
        int64_t lastLoudBlock = firstBlock - 4;

        for (int64_t b = firstBlock - 3; b < firstBlock + 3; ++b)
            if (blockMagnitude (x, n, b) > limit)
                lastLoudBlock = b;

        for (int64_t i = begin; i < end; i += 4)
        {
            const int64_t block = i / 4;

            if (blockMagnitude (x, n, block + 3) > limit)
                lastLoudBlock = block + 3;

            if (lastLoudBlock < block - 3)
                continue;

            if (i >= centreTap && i + 3 <= lastInterior)
            {
                double values[4];
                interpolatedPeaksOfFour<Phases> (x + i, taps, values);
                peak = std::max (std::max (peak, std::max (values[0], values[1])), std::max (values[2], values[3]));
            }
            else
            {
                // Near either end the taps reach samples outside the channel, which count as 0.
                for (int64_t k = 0; k < std::min<int64_t> (4, n - i); ++k)
                {
                    double w[numTaps];

                    for (int t = 0; t < numTaps; ++t)
                    {
                        const int64_t j = i + k - centreTap + t;
                        w[t] = (j >= 0 && j < n) ? x[j] : 0.0;
                    }

                    peak = std::max (peak, interpolatedPeak<Phases> (w, taps));
                }
            }

            limit = peak / bound;
        }

        return peak;
    }

    /** An interval block at i reads the frames up to x[i + 15]: it can be interpolated once
        this many frames past i have come. */
    constexpr int64_t framesForBlock = numTaps - centreTap + 3;

    /** The most frames a PeakMeterStream keeps from one window to the next. */
    constexpr int maxKeptFrames = (int) framesForBlock - 1 + centreTap;

    /** The end of the intervals (a multiple of 4) whose blocks can be interpolated once
        `frames` frames have come. */
    inline int64_t intervalsReadyBefore (int64_t frames)
    {
        return frames < framesForBlock ? 0 : ((frames - framesForBlock) / 4 + 1) * 4;
    }

    /** truePeakOfChannel for the intervals [from, to) of a channel seen through a part of it:
        data[j - dataStart] is frame j for dataStart <= j < length; frames before 0 count as 0,
        and so do frames at or past `length`, which stands for the end of the signal when the
        path is picked: the block-of-four path inside, the edge path where the taps reach past
        either end. Mid-signal the stream passes the frames it has so far as `length` and asks
        only for intervals whose taps all lie before it, which are the ones the whole pass sends
        down the block-of-four path too; so every interval takes the path, and the grouping in
        fours, that it takes there. The two paths sum in the same order and give the same bits
        with this build's flags, but a compiler that fuses multiply-adds in one and not the
        other would part them, so the stream does not lean on it.
        lastLoudBlock carries over from one call to the next; blocks are checked in order, each
        once. `peak` may be the peak found so far over every channel: an interval is skipped
        only when it cannot exceed a value the result reaches anyway, so skipping never changes
        the result, however the bound was come by. */
    template <int Phases>
    double interpolateIntervals (const double* data, int64_t dataStart, int64_t length, int64_t from, int64_t to,
                                 double peak, const TruePeakFilterBank& bank, int64_t& lastLoudBlock)
    {
        const double* taps = bank.coefficients.data();
        const int64_t lastInterior = length - (numTaps - centreTap);
        const double bound = bank.largestAbsoluteTapSum * (1.0 + 1.0e-12);
        double limit = peak / bound;

        auto sample = [&] (int64_t j) { return j >= 0 && j < length ? data[j - dataStart] : 0.0; };

        auto magnitude = [&] (int64_t b)
        {
            const int64_t first = 4 * b;

            if (first >= 0 && first + 4 <= length)
            {
                const double* x = data + (first - dataStart);
                return std::max (std::max (std::abs (x[0]), std::abs (x[1])), std::max (std::abs (x[2]), std::abs (x[3])));
            }

            double m = 0.0;

            for (int64_t j = first; j < first + 4; ++j)
                m = std::max (m, std::abs (sample (j)));

            return m;
        };

        for (int64_t i = from; i < to; i += 4)
        {
            const int64_t block = i / 4;

            // Blocks -3 .. -1 lie before the signal and are never loud.
            if (block == 0)
                for (int64_t b = 0; b < 3; ++b)
                    if (magnitude (b) > limit)
                        lastLoudBlock = b;

            if (magnitude (block + 3) > limit)
                lastLoudBlock = block + 3;

            if (lastLoudBlock < block - 3)
                continue;

            if (i >= centreTap && i + 3 <= lastInterior)
            {
                double values[4];
                interpolatedPeaksOfFour<Phases> (data + (i - dataStart), taps, values);
                peak = std::max (std::max (peak, std::max (values[0], values[1])), std::max (values[2], values[3]));
            }
            else
            {
                for (int64_t k = 0; k < std::min<int64_t> (4, length - i); ++k)
                {
                    double w[numTaps];

                    for (int t = 0; t < numTaps; ++t)
                        w[t] = sample (i + k - centreTap + t);

                    peak = std::max (peak, interpolatedPeak<Phases> (w, taps));
                }
            }

            limit = peak / bound;
        }

        return peak;
    }
} // namespace

double decibelsToGain (double dB)
{
    return dB <= minusInfinityDb ? 0.0 : std::pow (10.0, dB / 20.0);
}

double gainToDecibels (double linear)
{
    if (std::isnan (linear))
        return linear;

    if (linear <= 0.0)
        return minusInfinityDb;

    return std::max (minusInfinityDb, 20.0 * std::log10 (linear));
}

double measureSamplePeak (const juce::AudioBuffer<double>& buffer)
{
    double peak = 0.0;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        peak = std::max (peak, absolutePeak (buffer.getReadPointer (ch), buffer.getNumSamples()));

    return peak;
}

namespace
{
    /** absolutePeak in runs of cancelPollFrames with the cancel check polled before each; the
        largest of the runs' peaks is the same number. False when cancelled. */
    bool absolutePeakInRuns (const double* x, int64_t n, const CancelCheck& cancel, double& peak)
    {
        peak = 0.0;

        for (int64_t begin = 0; begin < n; begin += cancelPollFrames)
        {
            if (cancel())
                return false;

            peak = std::max (peak, absolutePeak (x + begin, std::min<int64_t> (cancelPollFrames, n - begin)));
        }

        return true;
    }

    /** measureTruePeak with the cancel check polled before every cancelPollFrames intervals;
        false when cancelled. */
    bool truePeakInRuns (const double* samples, int64_t count, int oversampling, const CancelCheck& cancel, double& result)
    {
        result = 0.0;

        if (samples == nullptr || count <= 0)
            return true;

        if (! absolutePeakInRuns (samples, count, cancel, result))
            return false;

        if (result == 0.0 || ! std::isfinite (result))
            return true;

        const auto& bank = getTruePeakFilters (bankFactorFor (oversampling));
        static_assert (cancelPollFrames % 4 == 0, "runs must start on a block of four intervals");

        for (int64_t begin = 0; begin < count; begin += cancelPollFrames)
        {
            if (cancel())
                return false;

            const auto end = std::min<int64_t> (count, begin + cancelPollFrames);

            switch (bank.factor)
            {
                case 2:  result = truePeakOfChannel<1> (samples, count, result, bank, begin, end); break;
                case 4:  result = truePeakOfChannel<3> (samples, count, result, bank, begin, end); break;
                default: result = truePeakOfChannel<7> (samples, count, result, bank, begin, end); break;
            }
        }

        return true;
    }
} // namespace

PeakLevels measurePeaks (const juce::AudioBuffer<double>& buffer, PeakMode peakMode, int oversampling, const CancelCheck& cancel)
{
    PeakLevels levels;

    if (cancel == nullptr)
    {
        levels.samplePeak = measureSamplePeak (buffer);
        levels.truePeak = levels.samplePeak;

        if (peakMode != PeakMode::truePeak || ! (levels.samplePeak > 0.0) || ! std::isfinite (levels.samplePeak))
            return levels;

        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            levels.truePeak = std::max (levels.truePeak,
                                        measureTruePeak (buffer.getReadPointer (ch), buffer.getNumSamples(), oversampling));

        return levels;
    }

    PeakLevels cancelled;
    cancelled.cancelled = true;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        double channelPeak = 0.0;

        if (! absolutePeakInRuns (buffer.getReadPointer (ch), buffer.getNumSamples(), cancel, channelPeak))
            return cancelled;

        levels.samplePeak = std::max (levels.samplePeak, channelPeak);
    }

    levels.truePeak = levels.samplePeak;

    if (peakMode != PeakMode::truePeak || ! (levels.samplePeak > 0.0) || ! std::isfinite (levels.samplePeak))
        return levels;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        double channelPeak = 0.0;

        if (! truePeakInRuns (buffer.getReadPointer (ch), buffer.getNumSamples(), oversampling, cancel, channelPeak))
            return cancelled;

        levels.truePeak = std::max (levels.truePeak, channelPeak);
    }

    return levels;
}

PeakMeterStream::PeakMeterStream (int channels, PeakMode peakMode, int oversampling)
    : numChannels (std::max (0, channels)),
      interpolating (peakMode == PeakMode::truePeak),
      bank (&getTruePeakFilters (oversampling)),
      history ((size_t) numChannels * (size_t) historyCapacity, 0.0),
      lastLoudBlock ((size_t) numChannels, -4)
{
}

void PeakMeterStream::add (const double* const* channels, int count)
{
    if (count <= 0 || numChannels == 0 || channels == nullptr)
        return;

    for (int ch = 0; ch < numChannels; ++ch)
        if (channels[ch] == nullptr)
            return;

    for (int ch = 0; ch < numChannels; ++ch)
        samplePeak = std::max (samplePeak, absolutePeak (channels[ch], count));

    // After a NaN or an infinity both peaks are infinity whatever follows.
    if (! std::isfinite (samplePeak))
        interpolating = false;

    if (interpolating)
    {
        // The whole window's sample peak raises the bound at once, so fewer intervals of it
        // need interpolating.
        runningPeak = std::max (runningPeak, samplePeak);

        switch (bank->factor)
        {
            case 2:  interpolateAdded<1> (channels, count); break;
            case 4:  interpolateAdded<3> (channels, count); break;
            default: interpolateAdded<7> (channels, count); break;
        }
    }

    received += count;
}

template <int Phases>
void PeakMeterStream::interpolateAdded (const double* const* channels, int count)
{
    const int64_t start = received;
    const int64_t end = received + count;

    // The intervals whose taps reach back before the window go through the history, with the
    // window's first frames put after it. The last such interval starts 10 frames into the
    // window and reads 15 past itself, so 26 frames of the window are enough, and they fit:
    // at most 26 frames are kept between calls (see below).
    static_assert (historyCapacity >= 2 * maxKeptFrames, "the history must hold what is kept and what it is stitched to");
    const int appended = std::min (count, historyCapacity - historyLength);

    for (int ch = 0; ch < numChannels; ++ch)
        std::copy (channels[ch], channels[ch] + appended, history.data() + (size_t) ch * historyCapacity + historyLength);

    const int64_t stitchedEnd = start + appended;
    const int64_t stitchedTo = intervalsReadyBefore (stitchedEnd);

    if (stitchedTo > nextInterval)
    {
        for (int ch = 0; ch < numChannels; ++ch)
            runningPeak = interpolateIntervals<Phases> (history.data() + (size_t) ch * historyCapacity, historyStart, stitchedEnd,
                                                        nextInterval, stitchedTo, runningPeak, *bank, lastLoudBlock[(size_t) ch]);

        nextInterval = stitchedTo;
    }

    // The rest straight from the caller's window.
    const int64_t windowTo = intervalsReadyBefore (end);

    if (windowTo > nextInterval)
    {
        jassert (nextInterval - centreTap >= start);

        for (int ch = 0; ch < numChannels; ++ch)
            runningPeak = interpolateIntervals<Phases> (channels[ch], start, end, nextInterval, windowTo,
                                                        runningPeak, *bank, lastLoudBlock[(size_t) ch]);

        nextInterval = windowTo;
    }

    // Keep what the intervals not yet interpolated read: from 11 frames before the first of
    // them, which lies at most 15 frames before the end, as it is not ready yet.
    const int64_t keepFrom = std::max<int64_t> (0, nextInterval - centreTap);
    const int keep = (int) (end - keepFrom);
    jassert (keep <= maxKeptFrames);

    for (int ch = 0; ch < numChannels; ++ch)
    {
        double* h = history.data() + (size_t) ch * historyCapacity;

        if (keepFrom >= start)
            std::copy (channels[ch] + (keepFrom - start), channels[ch] + count, h);
        else
            std::copy (h + (keepFrom - historyStart), h + (keepFrom - historyStart) + keep, h);  // all of the window is in the history then
    }

    historyStart = keepFrom;
    historyLength = keep;
}

template <int Phases>
double PeakMeterStream::interpolateRemaining() const
{
    // The signal ends here, so the intervals left take the edge path, as in the whole pass.
    double peak = runningPeak;

    for (int ch = 0; ch < numChannels; ++ch)
    {
        int64_t loud = lastLoudBlock[(size_t) ch];
        peak = interpolateIntervals<Phases> (history.data() + (size_t) ch * historyCapacity, historyStart, received,
                                             nextInterval, received, peak, *bank, loud);
    }

    return peak;
}

PeakLevels PeakMeterStream::finish()
{
    PeakLevels levels;
    levels.samplePeak = samplePeak;
    levels.truePeak = samplePeak;

    // As in measurePeaks: no true peak for a silent signal (nor after a non-finite sample, when
    // the sample peak is already infinity).
    if (! interpolating || ! (samplePeak > 0.0))
        return levels;

    double remaining = 0.0;

    switch (bank->factor)
    {
        case 2:  remaining = interpolateRemaining<1>(); break;
        case 4:  remaining = interpolateRemaining<3>(); break;
        default: remaining = interpolateRemaining<7>(); break;
    }

    levels.truePeak = std::max (samplePeak, remaining);
    return levels;
}

double measureTruePeak (const double* samples, int64_t count, int oversampling)
{
    if (samples == nullptr || count <= 0)
        return 0.0;

    const double peak = absolutePeak (samples, count);

    if (peak == 0.0 || ! std::isfinite (peak))
        return peak;

    const auto& bank = getTruePeakFilters (bankFactorFor (oversampling));

    switch (bank.factor)
    {
        case 2:  return truePeakOfChannel<1> (samples, count, peak, bank, 0, count);
        case 4:  return truePeakOfChannel<3> (samples, count, peak, bank, 0, count);
        default: return truePeakOfChannel<7> (samples, count, peak, bank, 0, count);
    }
}

const TruePeakFilterBank& getTruePeakFilters (int factor)
{
    const auto& banks = getFilterBanks();

    switch (bankFactorFor (factor))
    {
        case 2:  return banks.two;
        case 4:  return banks.four;
        default: return banks.eight;
    }
}

int64_t countFullScaleSamples (const juce::AudioBuffer<double>& buffer, double threshold)
{
    int64_t count = 0;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        const double* x = buffer.getReadPointer (ch);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            count += std::abs (x[i]) >= threshold ? 1 : 0;
    }

    return count;
}

GainResult computeGlobalGain (PeakLevels peaks, const HeadroomSettings& headroom)
{
    GainResult result;
    result.targetDb = headroom.targetDb;

    const double peak = headroom.peakMode == PeakMode::truePeak ? peaks.truePeak : peaks.samplePeak;

    // A NaN or infinite peak would make the gain 0 (or NaN) and write a silent delivery.
    if (! std::isfinite (peak))
    {
        result.peakDb = std::numeric_limits<double>::infinity();
        result.predictedPeakDb = result.peakDb;
        result.error = "The audio holds samples that are not finite numbers (NaN or infinity), so no gain can be computed.";
        return result;
    }

    if (peak <= 0.0)
    {
        result.silent = true;
        return result;
    }

    result.peakDb = gainToDecibels (peak);
    result.gainDb = result.targetDb - result.peakDb;

    if (headroom.gainMode == GainMode::attenuateOnly && result.gainDb > 0.0)
    {
        result.gainDb = 0.0;
        result.heldAtZero = true;
    }

    result.gainLinear = decibelsToGain (result.gainDb);
    result.predictedPeakDb = result.peakDb + result.gainDb;
    return result;
}

} // namespace dunmoor
