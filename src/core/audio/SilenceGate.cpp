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

namespace
{
    /** A frame is loud when any channel's magnitude exceeds the threshold (NaN counts as loud). */
    bool isQuietFrame (const double* const* channels, int numChannels, int64_t i, double threshold)
    {
        for (int ch = 0; ch < numChannels; ++ch)
            if (! (std::abs (channels[ch][i]) <= threshold))
                return false;

        return true;
    }
} // namespace

std::vector<FrameRange> findSilentRegions (const juce::AudioBuffer<double>& buffer, double threshold, int64_t minimumFrames)
{
    std::vector<FrameRange> ranges;
    const int numChannels = buffer.getNumChannels();
    const int64_t numFrames = buffer.getNumSamples();

    if (numChannels <= 0 || numFrames <= 0)
        return ranges;

    const double* const* channels = buffer.getArrayOfReadPointers();

    auto isQuiet = [&] (int64_t i) { return isQuietFrame (channels, numChannels, i, threshold); };

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

namespace
{
    /** What the whole-buffer gate and the streaming one derive from the settings at a rate. */
    struct GatePlan
    {
        GateShape shape;
        int64_t minimumFrames = 1;
        double threshold = 0.0;
    };

    GatePlan planOf (const SilenceGateSettings& settings, double sampleRate)
    {
        GatePlan plan;
        plan.shape = gateShapeOf (settings, sampleRate);

        // A gated stretch is never shorter than its two fades together.
        const double fadesSeconds = std::max (0.0, settings.fadeOutSeconds) + std::max (0.0, settings.fadeInSeconds);
        plan.minimumFrames = std::max<int64_t> (1, secondsToFrames (std::max (settings.minimumSeconds, fadesSeconds), sampleRate));
        plan.threshold = decibelsToGain (settings.thresholdDb);
        return plan;
    }

    SilenceGateReport reportOf (std::vector<FrameRange> ranges, int64_t numFrames, const GateShape& shape, bool floorIsSilence)
    {
        SilenceGateReport report;
        report.ranges = std::move (ranges);
        const double length = (double) numFrames;

        for (const auto& range : report.ranges)
        {
            ++report.regionCount;
            report.gatedSamples += range.end - range.start;

            GateRegion region;
            region.start = (double) range.start / length;
            region.end = (double) range.end / length;
            region.fullyGatedStart = (double) (range.start + (range.start > 0 ? shape.fadeOutFrames : 0)) / length;
            region.fullyGatedEnd = (double) (range.end - (range.end < numFrames ? shape.fadeInFrames : 0)) / length;
            report.regions.push_back (region);
        }

        report.wholeFileSilent = floorIsSilence && report.ranges.size() == 1
                              && report.ranges.front().start == 0 && report.ranges.front().end == numFrames;
        return report;
    }

    bool isSilenceFloor (const SilenceGateSettings& settings) { return settings.floorDb <= -400.0; }
} // namespace

SilenceGateReport applySilenceGate (juce::AudioBuffer<double>& buffer, double sampleRate, const SilenceGateSettings& settings)
{
    const int64_t numFrames = buffer.getNumSamples();

    if (! settings.enabled || ! (sampleRate > 0.0) || numFrames <= 0 || buffer.getNumChannels() <= 0)
        return {};

    const auto plan = planOf (settings, sampleRate);
    auto ranges = findSilentRegions (buffer, plan.threshold, plan.minimumFrames);

    for (const auto& range : ranges)
        applyGateRegion (buffer, range, plan.shape.fadeOutFrames, plan.shape.fadeInFrames, plan.shape.floorGain);

    return reportOf (std::move (ranges), numFrames, plan.shape, isSilenceFloor (settings));
}

SilenceGateStream::SilenceGateStream (const SilenceGateSettings& settings, double sampleRate, int64_t totalFramesToGate, int numChannelsToGate)
    : totalFrames (std::max<int64_t> (0, totalFramesToGate)),
      numChannels (std::max (0, numChannelsToGate))
{
    active = settings.enabled && sampleRate > 0.0 && totalFrames > 0 && numChannels > 0;

    if (! active)
        return;

    const auto plan = planOf (settings, sampleRate);
    shape = plan.shape;
    minimumFrames = plan.minimumFrames;
    threshold = plan.threshold;
    floorIsSilence = isSilenceFloor (settings);

    // A quiet run still quiet at the end of this look-ahead (short of the track's end) is longer
    // than the minimum, its fade-out is not cut short by its length, and its fade-in starts past
    // the window; so gating it as if it ended right there gives every frame of the window the
    // factor its true range gives. No look-ahead ever needs more than the track.
    lookAheadFrames = std::min (std::max (minimumFrames, shape.fadeOutFrames + shape.fadeInFrames) + 1, totalFrames);
}

bool SilenceGateStream::gate (juce::AudioBuffer<double>& window, int64_t start, int count)
{
    if (start != position || count < 0 || count > totalFrames - start)
        return false;

    const int64_t end = start + count;
    const int64_t limit = end + std::min (lookAheadFrames, totalFrames - end);     // the frames the window holds

    if ((int64_t) window.getNumSamples() < limit - start)
        return false;

    if (! active || count == 0)
    {
        position = end;
        return true;
    }

    if (window.getNumChannels() != numChannels)
        return false;

    double* const* channels = window.getArrayOfWritePointers();
    auto isQuiet = [&] (int64_t frame) { return isQuietFrame (channels, numChannels, frame - start, threshold); };

    int64_t i = start;
    int64_t runStart = openRunStart;
    int64_t runOpenAtEnd = -1;

    // Gating a run touches only its own frames, all looked at by then: the scan goes on past them
    // on ungated samples.
    for (;;)
    {
        if (runStart < 0)
        {
            while (i < end && ! isQuiet (i))
                ++i;

            if (i == end)
                break;

            runStart = i;
        }

        while (i < limit && isQuiet (i))
            ++i;

        // [runStart, i) ends at a loud frame, at the track's end, or at the end of the look-ahead,
        // which stands in for a later end as the constructor explains.
        if (i - runStart >= minimumFrames)
            gateRangeInWindow (channels, numChannels, start, end, totalFrames, { runStart, i },
                               shape.fadeOutFrames, shape.fadeInFrames, shape.floorGain);

        // The report follows the window's frames alone: a run still quiet at the window's last
        // frame stays open until a later window (or the track's end) closes it.
        if (i >= end)
        {
            runOpenAtEnd = runStart;
            break;
        }

        if (i - runStart >= minimumFrames)
            ranges.push_back ({ runStart, i });

        runStart = -1;
    }

    if (end == totalFrames && runOpenAtEnd >= 0)
    {
        if (totalFrames - runOpenAtEnd >= minimumFrames)
            ranges.push_back ({ runOpenAtEnd, totalFrames });

        runOpenAtEnd = -1;
    }

    openRunStart = runOpenAtEnd;
    position = end;
    return true;
}

SilenceGateReport SilenceGateStream::finish() const
{
    if (! active || position != totalFrames)
        return {};

    return reportOf (ranges, totalFrames, shape, floorIsSilence);
}

} // namespace dunmoor
