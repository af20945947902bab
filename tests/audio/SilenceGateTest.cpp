#include <cmath>
#include <limits>

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
