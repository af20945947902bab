#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/audio/SilenceGate.h"

using namespace dunmoor;

namespace
{
    juce::AudioBuffer<double> mono (std::initializer_list<double> samples)
    {
        juce::AudioBuffer<double> b (1, (int) samples.size());
        int i = 0;

        for (double s : samples)
            b.setSample (0, i++, s);

        return b;
    }

    std::vector<double> samplesOf (const juce::AudioBuffer<double>& b, int channel)
    {
        return { b.getReadPointer (channel), b.getReadPointer (channel) + b.getNumSamples() };
    }

    /** Loud (0.5) for `head` frames, quiet (1e-6, -120 dB) for `quiet`, loud again for `tail`. */
    juce::AudioBuffer<double> loudQuietLoud (int head, int quiet, int tail)
    {
        juce::AudioBuffer<double> b (2, head + quiet + tail);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < b.getNumSamples(); ++i)
                b.setSample (ch, i, (i >= head && i < head + quiet) ? 1e-6 : 0.5);

        return b;
    }

    SilenceGateSettings gate (double minimumSeconds, double fadeOutSeconds, double fadeInSeconds, double floorDb = -400.0)
    {
        SilenceGateSettings s;
        s.enabled = true;
        s.minimumSeconds = minimumSeconds;
        s.fadeOutSeconds = fadeOutSeconds;
        s.fadeInSeconds = fadeInSeconds;
        s.floorDb = floorDb;
        return s;
    }
} // namespace

TEST (SilenceGate, SilentRegionsTable)
{
    struct Case
    {
        const char* what;
        std::vector<double> left, right;    // right empty: mono
        int64_t minimumFrames;
        std::vector<FrameRange> expected;
    };

    // Threshold 0.5 throughout.
    const Case cases[] = {
        { "run of exactly the minimum", { 1, 0, 0, 0, 1 }, {}, 3, { { 1, 4 } } },
        { "run one shorter", { 1, 0, 0, 1, 1 }, {}, 3, {} },
        { "a sample exactly at the threshold is quiet", { 1, 0.5, -0.5, 0.5, 1 }, {}, 3, { { 1, 4 } } },
        { "just above the threshold is loud", { 1, 0.5, 0.5000001, 0.5, 1 }, {}, 1, { { 1, 2 }, { 3, 4 } } },
        { "runs at the start and the end", { 0, 0, 0, 1, 0, 0, 0 }, {}, 3, { { 0, 3 }, { 4, 7 } } },
        { "all quiet", { 0.1, -0.2, 0.3 }, {}, 3, { { 0, 3 } } },
        { "all quiet but too short", { 0.1, -0.2, 0.3 }, {}, 4, {} },
        { "one loud channel makes the frame loud", { 0, 0, 0, 0, 0 }, { 0, 0, -0.7, 0, 0 }, 2, { { 0, 2 }, { 3, 5 } } },
        { "NaN is never quiet", { 0, 0, std::numeric_limits<double>::quiet_NaN(), 0, 0 }, {}, 2, { { 0, 2 }, { 3, 5 } } },
    };

    for (const auto& c : cases)
    {
        juce::AudioBuffer<double> b (c.right.empty() ? 1 : 2, (int) c.left.size());

        for (int i = 0; i < b.getNumSamples(); ++i)
        {
            b.setSample (0, i, c.left[(size_t) i]);

            if (! c.right.empty())
                b.setSample (1, i, c.right[(size_t) i]);
        }

        EXPECT_EQ (findSilentRegions (b, 0.5, c.minimumFrames), c.expected) << c.what;
    }
}

TEST (SilenceGate, GateRegionFadesTable)
{
    // Input 2.0 everywhere, so each output is twice the applied gain. Fades of 3 frames step in
    // quarters, which doubles hold exactly.
    struct Case
    {
        const char* what;
        FrameRange range;
        double floorGain;
        std::vector<double> expected;
    };

    const Case cases[] = {
        { "middle, floor 0", { 2, 10 }, 0.0, { 2, 2, 1.5, 1.0, 0.5, 0, 0, 0.5, 1.0, 1.5, 2, 2 } },
        { "middle, floor 0.25", { 2, 10 }, 0.25, { 2, 2, 1.625, 1.25, 0.875, 0.5, 0.5, 0.875, 1.25, 1.625, 2, 2 } },
        { "at the start: no fade-out", { 0, 6 }, 0.0, { 0, 0, 0, 0.5, 1.0, 1.5, 2, 2, 2, 2, 2, 2 } },
        { "to the end: no fade-in", { 7, 12 }, 0.0, { 2, 2, 2, 2, 2, 2, 2, 1.5, 1.0, 0.5, 0, 0 } },
        { "the whole buffer", { 0, 12 }, 0.0, { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 } },
        { "fades longer than the range overlap", { 4, 8 }, 0.0, { 2, 2, 2, 2, 1.5, 0.25, 0.25, 1.5, 2, 2, 2, 2 } },
    };

    for (const auto& c : cases)
    {
        juce::AudioBuffer<double> b (2, 12);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 12; ++i)
                b.setSample (ch, i, 2.0);

        applyGateRegion (b, c.range, 3, 3, c.floorGain);
        EXPECT_EQ (samplesOf (b, 0), c.expected) << c.what;
        EXPECT_EQ (samplesOf (b, 1), c.expected) << c.what;
    }

    // A range reaching past the buffer is limited to it.
    auto b = mono ({ 2, 2, 2, 2, 2, 2 });
    applyGateRegion (b, { 2, 100 }, 3, 3, 0.0);
    EXPECT_EQ (samplesOf (b, 0), (std::vector<double> { 2, 2, 1.5, 1.0, 0.5, 0 }));
}

TEST (SilenceGate, FrameCountsRoundHalvesAwayFromZero)
{
    struct Case { double seconds, rate; int64_t frames; };

    const Case cases[] = {
        { 0.15, 48000, 7200 },
        { 1.0, 48000, 48000 },
        { 0.005, 44100, 221 },      // 220.5
        { 2.5, 1, 3 },
        { 3.5, 1, 4 },
        { 0.0, 48000, 0 },
        { -1.0, 48000, 0 },
        { 1.0, 0, 0 },
        { std::numeric_limits<double>::quiet_NaN(), 48000, 0 },
    };

    for (auto c : cases)
        EXPECT_EQ (secondsToFrames (c.seconds, c.rate), c.frames) << c.seconds << " s at " << c.rate;
}

TEST (SilenceGate, GatesOnlyStretchesOfTheMinimumLength)
{
    // At 1000 Hz: fades of 0.15 s are 150 frames, the minimum of 1 s is 1000 frames.
    {
        auto b = loudQuietLoud (500, 999, 500);
        const auto before = samplesOf (b, 0);
        const auto report = applySilenceGate (b, 1000.0, gate (1.0, 0.15, 0.15));
        EXPECT_EQ (report.regionCount, 0);
        EXPECT_EQ (samplesOf (b, 0), before);
    }

    auto b = loudQuietLoud (500, 1000, 500);
    const auto report = applySilenceGate (b, 1000.0, gate (1.0, 0.15, 0.15));
    ASSERT_EQ (report.regionCount, 1);
    EXPECT_EQ (report.gatedSamples, 1000);
    EXPECT_FALSE (report.wholeFileSilent);
    EXPECT_DOUBLE_EQ (report.regions[0].start, 500.0 / 2000.0);
    EXPECT_DOUBLE_EQ (report.regions[0].end, 1500.0 / 2000.0);
    EXPECT_DOUBLE_EQ (report.regions[0].fullyGatedStart, 650.0 / 2000.0);
    EXPECT_DOUBLE_EQ (report.regions[0].fullyGatedEnd, 1350.0 / 2000.0);

    for (int ch = 0; ch < 2; ++ch)
    {
        EXPECT_EQ (b.getSample (ch, 499), 0.5);
        EXPECT_EQ (b.getSample (ch, 500), 1e-6 * (1.0 - 1.0 / 151.0));
        EXPECT_EQ (b.getSample (ch, 649), 1e-6 * (1.0 - 150.0 / 151.0));
        EXPECT_EQ (b.getSample (ch, 650), 0.0);
        EXPECT_EQ (b.getSample (ch, 1349), 0.0);
        EXPECT_EQ (b.getSample (ch, 1350), 1e-6 * (1.0 / 151.0));
        EXPECT_EQ (b.getSample (ch, 1499), 1e-6 * (150.0 / 151.0));
        EXPECT_EQ (b.getSample (ch, 1500), 0.5);
    }

    // The minimum grows to cover both fades: 0.1 s asked, 0.3 s (300 frames) needed.
    for (int quiet : { 299, 300 })
    {
        auto c = loudQuietLoud (400, quiet, 400);
        EXPECT_EQ (applySilenceGate (c, 1000.0, gate (0.1, 0.15, 0.15)).regionCount, quiet == 300 ? 1 : 0) << quiet;
    }
}

TEST (SilenceGate, WholeFileBelowTheThresholdAndDisabledGate)
{
    juce::Random random (5);
    juce::AudioBuffer<double> noise (2, 3000);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 3000; ++i)
            noise.setSample (ch, i, (random.nextDouble() * 2.0 - 1.0) * 2e-5);     // below -90 dB

    {
        auto b = noise;
        const auto report = applySilenceGate (b, 1000.0, gate (1.0, 0.15, 0.15));
        ASSERT_EQ (report.regionCount, 1);
        EXPECT_TRUE (report.wholeFileSilent);
        EXPECT_EQ (report.gatedSamples, 3000);
        EXPECT_EQ (report.regions[0].start, 0.0);
        EXPECT_EQ (report.regions[0].end, 1.0);
        EXPECT_EQ (report.regions[0].fullyGatedStart, 0.0);
        EXPECT_EQ (report.regions[0].fullyGatedEnd, 1.0);
        EXPECT_EQ (b.getMagnitude (0, 3000), 0.0);
    }

    {
        // A floor of -60 dB attenuates by 1000 everywhere and is not silence.
        auto b = noise;
        const auto report = applySilenceGate (b, 1000.0, gate (1.0, 0.15, 0.15, -60.0));
        EXPECT_FALSE (report.wholeFileSilent);
        EXPECT_EQ (report.regionCount, 1);
        EXPECT_NEAR (b.getSample (1, 1234), noise.getSample (1, 1234) * 1e-3, 1e-20);
    }

    {
        auto settings = gate (0.0, 0.0, 0.0);
        settings.enabled = false;
        auto b = noise;
        const auto report = applySilenceGate (b, 1000.0, settings);
        EXPECT_EQ (report.regionCount, 0);
        EXPECT_EQ (report.gatedSamples, 0);
        EXPECT_TRUE (report.regions.empty());
        EXPECT_EQ (samplesOf (b, 0), samplesOf (noise, 0));
    }

    // No rate or no samples: nothing happens.
    auto b = noise;
    EXPECT_EQ (applySilenceGate (b, 0.0, gate (1.0, 0.15, 0.15)).regionCount, 0);
    juce::AudioBuffer<double> empty;
    EXPECT_EQ (applySilenceGate (empty, 48000.0, gate (1.0, 0.15, 0.15)).regionCount, 0);
}

namespace
{
    /** A track from segments: 'L' loud on every channel, 'q' quiet, 'n' NaN on the first channel
        (quiet elsewhere), 'r' loud on the last channel only. Values vary, so that a factor off
        by one frame shows. */
    juce::AudioBuffer<double> trackOf (const std::vector<std::pair<char, int>>& segments, int channels)
    {
        int length = 0;

        for (const auto& s : segments)
            length += s.second;

        juce::AudioBuffer<double> b (channels, length);
        juce::Random random (11);
        int i = 0;

        for (const auto& [kind, frames] : segments)
        {
            for (int k = 0; k < frames; ++k, ++i)
            {
                for (int ch = 0; ch < channels; ++ch)
                {
                    const double sign = random.nextBool() ? 1.0 : -1.0;
                    const double quiet = sign * random.nextDouble() * 2e-5;     // below -90 dB
                    const double loud = sign * (0.1 + random.nextDouble() * 0.4);
                    double v = quiet;

                    if (kind == 'L' || (kind == 'r' && ch == channels - 1))
                        v = loud;
                    else if (kind == 'n' && ch == 0)
                        v = std::numeric_limits<double>::quiet_NaN();

                    b.setSample (ch, i, v);
                }
            }
        }

        return b;
    }

    /** Gates the track in place through a stream, in windows of the sizes given (repeated), each
        handed with its look-ahead taken from the ungated track, as a reader would. */
    SilenceGateReport gateInWindows (juce::AudioBuffer<double>& track, double rate, const SilenceGateSettings& settings,
                                     const std::vector<int>& sizes)
    {
        const juce::AudioBuffer<double> source (track);
        const int total = track.getNumSamples();
        const int channels = track.getNumChannels();
        SilenceGateStream stream (settings, rate, total, channels);
        const int lookAhead = (int) stream.getLookAheadFrames();
        int start = 0;

        for (size_t k = 0; start < total; ++k)
        {
            const int count = std::min (sizes[k % sizes.size()], total - start);
            const int held = count + std::min (lookAhead, total - start - count);
            juce::AudioBuffer<double> window (channels, held);

            for (int ch = 0; ch < channels; ++ch)
                window.copyFrom (ch, 0, source, ch, start, held);

            EXPECT_TRUE (stream.gate (window, start, count)) << "window at " << start;

            for (int ch = 0; ch < channels; ++ch)
            {
                EXPECT_EQ (std::memcmp (window.getReadPointer (ch, count), source.getReadPointer (ch, start + count),
                                        sizeof (double) * (size_t) (held - count)), 0) << "look-ahead changed at " << start;
                track.copyFrom (ch, start, window, ch, 0, count);
            }

            start += count;
        }

        return stream.finish();
    }

    void expectSameReport (const SilenceGateReport& a, const SilenceGateReport& b, const std::string& what)
    {
        EXPECT_EQ (a.ranges, b.ranges) << what;
        EXPECT_EQ (a.regionCount, b.regionCount) << what;
        EXPECT_EQ (a.gatedSamples, b.gatedSamples) << what;
        EXPECT_EQ (a.wholeFileSilent, b.wholeFileSilent) << what;
        ASSERT_EQ (a.regions.size(), b.regions.size()) << what;

        for (size_t i = 0; i < a.regions.size(); ++i)
        {
            EXPECT_EQ (a.regions[i].start, b.regions[i].start) << what;
            EXPECT_EQ (a.regions[i].end, b.regions[i].end) << what;
            EXPECT_EQ (a.regions[i].fullyGatedStart, b.regions[i].fullyGatedStart) << what;
            EXPECT_EQ (a.regions[i].fullyGatedEnd, b.regions[i].fullyGatedEnd) << what;
        }
    }

    bool sameBits (const juce::AudioBuffer<double>& a, const juce::AudioBuffer<double>& b)
    {
        for (int ch = 0; ch < a.getNumChannels(); ++ch)
            if (std::memcmp (a.getReadPointer (ch), b.getReadPointer (ch), sizeof (double) * (size_t) a.getNumSamples()) != 0)
                return false;

        return true;
    }
} // namespace

TEST (SilenceGateStream, MatchesTheWholeTrackGateBitForBit)
{
    // At 1 Hz seconds are frames, so fades of 2.5 s are 3 frames while the minimum they imply
    // stays 5: fades longer than their share of the run.
    struct Case
    {
        const char* what;
        std::vector<std::pair<char, int>> segments;
        int channels;
        double minimum, fadeOut, fadeIn, floorDb;
        int regions;    // what the whole-track gate finds, so that no case passes by gating nothing
    };

    const Case cases[] = {
        { "runs between loud stretches", { { 'L', 20 }, { 'q', 15 }, { 'L', 5 }, { 'q', 12 }, { 'L', 30 }, { 'q', 11 }, { 'L', 10 } }, 2, 10, 3, 4, -400, 3 },
        { "the same with a floor", { { 'L', 20 }, { 'q', 15 }, { 'L', 5 }, { 'q', 12 }, { 'L', 30 }, { 'q', 11 }, { 'L', 10 } }, 2, 10, 3, 4, -20, 3 },
        { "one short of the minimum, exactly the minimum", { { 'L', 10 }, { 'q', 9 }, { 'L', 10 }, { 'q', 10 }, { 'L', 10 } }, 1, 10, 3, 4, -400, 1 },
        { "runs from the start and to the end", { { 'q', 14 }, { 'L', 20 }, { 'q', 13 } }, 2, 10, 3, 4, -400, 2 },
        { "whole track quiet", { { 'q', 40 } }, 2, 10, 3, 4, -400, 1 },
        { "whole track quiet, with a floor", { { 'q', 40 } }, 1, 10, 3, 4, -30, 1 },
        { "fades overlap in short runs", { { 'L', 10 }, { 'q', 5 }, { 'L', 10 }, { 'q', 6 }, { 'L', 4 }, { 'q', 4 }, { 'L', 10 } }, 2, 0, 2.5, 2.5, -400, 2 },
        { "one-frame runs with both fades", { { 'L', 3 }, { 'q', 1 }, { 'L', 2 }, { 'q', 2 }, { 'L', 3 }, { 'q', 1 } }, 1, 0, 0.5, 0.5, -6, 3 },
        { "long fades across many windows", { { 'L', 5 }, { 'q', 45 }, { 'L', 5 }, { 'q', 100 }, { 'L', 3 } }, 2, 1, 20, 20, -400, 2 },
        { "minimum far longer than the fades", { { 'L', 4 }, { 'q', 29 }, { 'L', 4 }, { 'q', 30 }, { 'L', 4 }, { 'q', 31 } }, 1, 30, 2, 2, -400, 2 },
        { "no fades", { { 'L', 4 }, { 'q', 8 }, { 'L', 4 }, { 'q', 8 } }, 2, 5, 0, 0, -400, 2 },
        { "fade-in only", { { 'L', 6 }, { 'q', 7 }, { 'L', 6 }, { 'q', 5 }, { 'L', 4 } }, 1, 0, 0, 5, -400, 2 },
        { "fade-out only", { { 'L', 6 }, { 'q', 7 }, { 'L', 6 }, { 'q', 5 }, { 'L', 4 } }, 1, 0, 5, 0, -400, 2 },
        { "NaN splits a run", { { 'L', 5 }, { 'q', 12 }, { 'n', 1 }, { 'q', 12 }, { 'n', 2 }, { 'L', 5 } }, 1, 10, 3, 4, -400, 2 },
        { "one loud channel splits a run", { { 'L', 5 }, { 'q', 12 }, { 'r', 1 }, { 'q', 9 }, { 'L', 5 } }, 2, 10, 3, 4, -400, 1 },
    };

    for (const auto& c : cases)
    {
        auto settings = gate (c.minimum, c.fadeOut, c.fadeIn, c.floorDb);
        const auto source = trackOf (c.segments, c.channels);
        auto whole = source;
        const auto expected = applySilenceGate (whole, 1.0, settings);
        ASSERT_EQ (expected.regionCount, c.regions) << c.what;

        const int lookAhead = (int) SilenceGateStream (settings, 1.0, source.getNumSamples(), c.channels).getLookAheadFrames();
        const std::vector<int> sizings[] = {
            { 1 }, { 2, 5, 3 }, { std::max (1, lookAhead - 1) }, { lookAhead }, { lookAhead + 1 }, { 17, 1, 64 }, { source.getNumSamples() },
        };

        for (const auto& sizes : sizings)
        {
            const std::string what = std::string (c.what) + ", first window " + std::to_string (sizes.front());
            auto streamed = source;
            const auto report = gateInWindows (streamed, 1.0, settings, sizes);
            EXPECT_TRUE (sameBits (streamed, whole)) << what;
            expectSameReport (report, expected, what);
        }
    }
}

TEST (SilenceGateStream, AGateThatDoesNothingLeavesWindowsAlone)
{
    const auto source = trackOf ({ { 'L', 5 }, { 'q', 30 }, { 'L', 5 } }, 2);
    auto disabled = gate (10, 3, 4);
    disabled.enabled = false;

    struct Case { const char* what; SilenceGateSettings settings; double rate; };
    const Case cases[] = { { "disabled", disabled, 1.0 }, { "no rate", gate (10, 3, 4), 0.0 } };

    for (const auto& c : cases)
    {
        SilenceGateStream stream (c.settings, c.rate, source.getNumSamples(), 2);
        EXPECT_EQ (stream.getLookAheadFrames(), 0) << c.what;

        auto track = source;
        const auto report = gateInWindows (track, c.rate, c.settings, { 7 });
        EXPECT_TRUE (sameBits (track, source)) << c.what;
        expectSameReport (report, {}, c.what);
    }

    // No frames: nothing to look ahead for, and the empty report.
    SilenceGateStream empty (gate (10, 3, 4), 1.0, 0, 2);
    EXPECT_EQ (empty.getLookAheadFrames(), 0);
    expectSameReport (empty.finish(), {}, "no frames");
}

TEST (SilenceGateStream, RefusesAWindowThatDoesNotFit)
{
    // Look-ahead 11 (minimum 10, fades 3 and 4) in a track of 40 frames.
    const auto source = trackOf ({ { 'L', 5 }, { 'q', 30 }, { 'L', 5 } }, 2);
    SilenceGateStream stream (gate (10, 3, 4), 1.0, 40, 2);
    ASSERT_EQ (stream.getLookAheadFrames(), 11);
    EXPECT_LE (SilenceGateStream (gate (100, 3, 4), 1.0, 40, 2).getLookAheadFrames(), 40);

    auto windowOf = [&] (int start, int held, int channels = 2)
    {
        juce::AudioBuffer<double> w (channels, held);

        for (int ch = 0; ch < channels; ++ch)
            w.copyFrom (ch, 0, source, ch, start, held);

        return w;
    };

    struct Case { const char* what; int start, count, held, channels; };
    const Case refused[] = {
        { "not where the last one ended", 10, 10, 21, 2 },
        { "short of its look-ahead", 0, 10, 20, 2 },
        { "other channels", 0, 10, 21, 1 },
        { "past the track", 0, 41, 40, 2 },
        { "negative count", 0, -1, 11, 2 },
    };

    for (const auto& c : refused)
    {
        auto w = windowOf (0, std::min (c.held, 40), c.channels);
        const auto before = w;
        EXPECT_FALSE (stream.gate (w, c.start, c.count)) << c.what;
        EXPECT_TRUE (sameBits (w, before)) << c.what;
    }

    // Nothing was taken in: the track still gates as a whole, and only once it is all through.
    auto whole = source;
    const auto expected = applySilenceGate (whole, 1.0, gate (10, 3, 4));
    auto first = windowOf (0, 31);
    ASSERT_TRUE (stream.gate (first, 0, 20));
    expectSameReport (stream.finish(), {}, "before the end");

    auto last = windowOf (20, 20);
    ASSERT_TRUE (stream.gate (last, 20, 20));
    expectSameReport (stream.finish(), expected, "at the end");

    for (int ch = 0; ch < 2; ++ch)
    {
        EXPECT_EQ (std::memcmp (first.getReadPointer (ch), whole.getReadPointer (ch), 20 * sizeof (double)), 0);
        EXPECT_EQ (std::memcmp (last.getReadPointer (ch), whole.getReadPointer (ch, 20), 20 * sizeof (double)), 0);
    }
}
