#include "SilenceGate.h"

#include <algorithm>
#include <cmath>

#include "LevelMeter.h"

namespace dunmoor
{

int64_t secondsToFrames (double seconds, double sampleRate)
{
    const double frames = seconds * sampleRate;

    if (! (frames > 0.0))
        return 0;

    // Far beyond any buffer; keeps llround defined for absurd settings.
    constexpr double cap = 4.0e18;
    return std::llround (std::min (frames, cap));
}

std::vector<FrameRange> findSilentRegions (const juce::AudioBuffer<double>& buffer, double threshold, int64_t minimumFrames)
{
    std::vector<FrameRange> ranges;
    const int numChannels = buffer.getNumChannels();
    const int64_t numFrames = buffer.getNumSamples();

    if (numChannels <= 0 || numFrames <= 0)
        return ranges;

    const double* const* channels = buffer.getArrayOfReadPointers();

    // A frame is loud when any channel's magnitude exceeds the threshold (NaN counts as loud).
    auto isQuiet = [&] (int64_t i)
    {
        for (int ch = 0; ch < numChannels; ++ch)
            if (! (std::abs (channels[ch][i]) <= threshold))
                return false;

        return true;
    };

    auto closeRun = [&] (int64_t runStart, int64_t runEnd)
    {
        if (runEnd - runStart >= minimumFrames)
            ranges.push_back ({ runStart, runEnd });
    };

    int64_t i = 0;

    while (i < numFrames)
    {
        while (i < numFrames && ! isQuiet (i))
            ++i;

        if (i == numFrames)
            break;

        const int64_t runStart = i;

        while (i < numFrames && isQuiet (i))
            ++i;

        closeRun (runStart, i);
    }

    return ranges;
}

namespace
{
    /** Pulls the range down as applyGateRegion describes, in a signal of totalFrames frames of
        which channels hold frames [windowStart, windowEnd): only those frames are touched, each
        with the very factor a pass over the whole signal gives it. */
    void gateRangeInWindow (double* const* channels, int numChannels, int64_t windowStart, int64_t windowEnd, int64_t totalFrames,
                            FrameRange range, int64_t fadeOutFrames, int64_t fadeInFrames, double floorGain)
    {
        const int64_t start = std::max<int64_t> (0, range.start);
        const int64_t end = std::min<int64_t> (totalFrames, range.end);

        if (start >= end || end <= windowStart || start >= windowEnd)
            return;

        const int64_t length = end - start;
        const int64_t fadeOut = start > 0 ? std::clamp<int64_t> (fadeOutFrames, 0, length) : 0;
        const int64_t fadeIn = end < totalFrames ? std::clamp<int64_t> (fadeInFrames, 0, length) : 0;
        const int64_t a = start + fadeOut;
        const int64_t b = end - fadeIn;
        const double f = floorGain;

        // The part of [from, to) inside the window, as offsets into the channels.
        auto clip = [&] (int64_t from, int64_t to, int64_t& first, int64_t& last)
        {
            first = std::max (from, windowStart);
            last = std::min (to, windowEnd);
            return first < last;
        };

        for (int ch = 0; ch < numChannels; ++ch)
        {
            double* x = channels[ch];
            int64_t first = 0, last = 0;

            if (clip (start, start + fadeOut, first, last))
                for (int64_t i = first; i < last; ++i)
                    x[i - windowStart] *= 1.0 - ((double) (i - start + 1) / (double) (fadeOut + 1)) * (1.0 - f);

            // When the fades together are longer than the range they overlap and there is no body.
            if (a < b && clip (a, b, first, last))
            {
                if (f == 0.0)
                    std::fill (x + (first - windowStart), x + (last - windowStart), 0.0);
                else
                    for (int64_t i = first; i < last; ++i)
                        x[i - windowStart] *= f;
            }

            if (clip (b, b + fadeIn, first, last))
                for (int64_t i = first; i < last; ++i)
                    x[i - windowStart] *= ((double) (i - b + 1) / (double) (fadeIn + 1)) * (1.0 - f) + f;
        }
    }
} // namespace

void applyGateRegion (juce::AudioBuffer<double>& buffer, FrameRange range, int64_t fadeOutFrames, int64_t fadeInFrames, double floorGain)
{
    const int64_t numFrames = buffer.getNumSamples();
    gateRangeInWindow (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), 0, numFrames, numFrames, range, fadeOutFrames, fadeInFrames, floorGain);
}

void applyGateToWindow (juce::AudioBuffer<double>& window, int64_t windowStart, int64_t totalFrames,
                        const std::vector<FrameRange>& ranges, const GateShape& shape)
{
    const int64_t windowEnd = windowStart + window.getNumSamples();
    auto* const* channels = window.getArrayOfWritePointers();

    for (const auto& range : ranges)
        gateRangeInWindow (channels, window.getNumChannels(), windowStart, windowEnd, totalFrames,
                           range, shape.fadeOutFrames, shape.fadeInFrames, shape.floorGain);
}

GateShape gateShapeOf (const SilenceGateSettings& settings, double sampleRate)
{
    GateShape shape;
    shape.fadeOutFrames = secondsToFrames (std::max (0.0, settings.fadeOutSeconds), sampleRate);
    shape.fadeInFrames = secondsToFrames (std::max (0.0, settings.fadeInSeconds), sampleRate);
    shape.floorGain = settings.floorDb > -400.0 ? decibelsToGain (settings.floorDb) : 0.0;
    return shape;
}

SilenceGateReport applySilenceGate (juce::AudioBuffer<double>& buffer, double sampleRate, const SilenceGateSettings& settings)
{
    SilenceGateReport report;
    const int64_t numFrames = buffer.getNumSamples();

    if (! settings.enabled || ! (sampleRate > 0.0) || numFrames <= 0 || buffer.getNumChannels() <= 0)
        return report;

    const double fadeOutSeconds = std::max (0.0, settings.fadeOutSeconds);
    const double fadeInSeconds = std::max (0.0, settings.fadeInSeconds);
    const auto shape = gateShapeOf (settings, sampleRate);
    const int64_t fadeOutFrames = shape.fadeOutFrames;
    const int64_t fadeInFrames = shape.fadeInFrames;

    // A gated stretch is never shorter than its two fades together.
    const int64_t minimumFrames = std::max<int64_t> (1, secondsToFrames (std::max (settings.minimumSeconds, fadeOutSeconds + fadeInSeconds), sampleRate));

    const double threshold = decibelsToGain (settings.thresholdDb);
    const double floorGain = shape.floorGain;

    report.ranges = findSilentRegions (buffer, threshold, minimumFrames);
    const auto& ranges = report.ranges;
    const double length = (double) numFrames;

    for (const auto& range : ranges)
    {
        applyGateRegion (buffer, range, fadeOutFrames, fadeInFrames, floorGain);

        ++report.regionCount;
        report.gatedSamples += range.end - range.start;

        GateRegion region;
        region.start = (double) range.start / length;
        region.end = (double) range.end / length;
        region.fullyGatedStart = (double) (range.start + (range.start > 0 ? fadeOutFrames : 0)) / length;
        region.fullyGatedEnd = (double) (range.end - (range.end < numFrames ? fadeInFrames : 0)) / length;
        report.regions.push_back (region);
    }

    report.wholeFileSilent = settings.floorDb <= -400.0 && ranges.size() == 1
                          && ranges.front().start == 0 && ranges.front().end == numFrames;
    return report;
}

} // namespace dunmoor
