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

void applyGateRegion (juce::AudioBuffer<double>& buffer, FrameRange range, int64_t fadeOutFrames, int64_t fadeInFrames, double floorGain)
{
    const int64_t numFrames = buffer.getNumSamples();
    const int64_t start = std::max<int64_t> (0, range.start);
    const int64_t end = std::min<int64_t> (numFrames, range.end);

    if (start >= end)
        return;

    const int64_t length = end - start;
    const int64_t fadeOut = start > 0 ? std::clamp<int64_t> (fadeOutFrames, 0, length) : 0;
    const int64_t fadeIn = end < numFrames ? std::clamp<int64_t> (fadeInFrames, 0, length) : 0;
    const int64_t a = start + fadeOut;
    const int64_t b = end - fadeIn;
    const double f = floorGain;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        double* x = buffer.getWritePointer (ch);

        for (int64_t k = 0; k < fadeOut; ++k)
            x[start + k] *= 1.0 - ((double) (k + 1) / (double) (fadeOut + 1)) * (1.0 - f);

        // When the fades together are longer than the range they overlap and there is no body.
        if (a < b)
        {
            if (f == 0.0)
                std::fill (x + a, x + b, 0.0);
            else
                for (int64_t i = a; i < b; ++i)
                    x[i] *= f;
        }

        for (int64_t k = 0; k < fadeIn; ++k)
            x[b + k] *= ((double) (k + 1) / (double) (fadeIn + 1)) * (1.0 - f) + f;
    }
}

SilenceGateReport applySilenceGate (juce::AudioBuffer<double>& buffer, double sampleRate, const SilenceGateSettings& settings)
{
    SilenceGateReport report;
    const int64_t numFrames = buffer.getNumSamples();

    if (! settings.enabled || ! (sampleRate > 0.0) || numFrames <= 0 || buffer.getNumChannels() <= 0)
        return report;

    const double fadeOutSeconds = std::max (0.0, settings.fadeOutSeconds);
    const double fadeInSeconds = std::max (0.0, settings.fadeInSeconds);
    const int64_t fadeOutFrames = secondsToFrames (fadeOutSeconds, sampleRate);
    const int64_t fadeInFrames = secondsToFrames (fadeInSeconds, sampleRate);

    // A gated stretch is never shorter than its two fades together.
    const int64_t minimumFrames = std::max<int64_t> (1, secondsToFrames (std::max (settings.minimumSeconds, fadeOutSeconds + fadeInSeconds), sampleRate));

    const double threshold = decibelsToGain (settings.thresholdDb);
    const double floorGain = settings.floorDb > -400.0 ? decibelsToGain (settings.floorDb) : 0.0;

    const auto ranges = findSilentRegions (buffer, threshold, minimumFrames);
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
