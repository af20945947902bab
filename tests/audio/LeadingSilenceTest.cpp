#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/audio/LeadingSilence.h"

using namespace dunmoor;

namespace
{
    juce::AudioBuffer<double> constant (int channels, int frames, double value)
    {
        juce::AudioBuffer<double> b (channels, frames);

        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < frames; ++i)
                b.setSample (ch, i, value);

        return b;
    }
} // namespace

TEST (LeadingSilence, FindsTheFirstFrameAboveTheThreshold)
{
    auto mix = constant (2, 100000, 1e-5);
    mix.setSample (1, 96000, -0.3);
    EXPECT_EQ (findLeadingSilence (mix, 48000.0, leadingSilenceThreshold), 2.0);

    // Compared in single precision: exactly the threshold is not sound, the next float up is.
    struct Case { double sample; double expectedSeconds; };

    for (auto c : { Case { 0.0002, 1.0 }, Case { -0.0002, 1.0 }, Case { 0.00020001, 0.5 }, Case { -0.00021, 0.5 } })
    {
        auto b = constant (1, 10, 0.0);
        b.setSample (0, 5, c.sample);
        EXPECT_EQ (findLeadingSilence (b, 10.0, leadingSilenceThreshold), c.expectedSeconds) << c.sample;
    }

    EXPECT_EQ (findLeadingSilence (constant (2, 480, 1e-4), 48000.0, leadingSilenceThreshold), 0.01);
    EXPECT_EQ (findLeadingSilence (mix, 0.0, leadingSilenceThreshold), 0.0);
    EXPECT_EQ (findLeadingSilence (juce::AudioBuffer<double> (2, 0), 48000.0, leadingSilenceThreshold), 0.0);
}

TEST (LeadingSilence, SnapTable)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<int, int>> negativeRuns;   // [from, to) frames whose channel sum is negative
        int zeroSumFrame;                               // -1: none
        double seconds;
        int64_t expected;
    };

    // A stereo 48 kHz buffer of 50,000 frames, positive everywhere else; the window is 960 frames.
    const Case cases[] = {
        { "nearest crossing wins", { { 47985, 48010 } }, -1, 1.0, 48010 },
        { "equally near: the earlier", { { 47990, 48010 } }, -1, 1.0, 47990 },
        { "a frame of +0.3 and -0.3 sums to zero", {}, 48005, 1.0, 48005 },
        { "no crossing in the window: the time itself", { { 46000, 47039 } }, -1, 1.0, 48000 },
        { "a crossing at the window's edge", { { 46000, 47040 } }, -1, 1.0, 47040 },
        { "beyond the end: the last frame", {}, -1, 10.0, 49999 },
        { "rounds half away from zero", {}, -1, 1.0 / 256.0, 188 },      // 187.5 frames
        { "a time that rounds to frame 0", {}, -1, 1e-6, 0 },
        { "no time", {}, -1, 0.0, 0 },
    };

    for (const auto& c : cases)
    {
        auto b = constant (2, 50000, 0.1);

        for (auto [from, to] : c.negativeRuns)
            for (int i = from; i < to; ++i)
                b.setSample (0, i, -0.3);

        if (c.zeroSumFrame >= 0)
        {
            b.setSample (0, c.zeroSumFrame, 0.3);
            b.setSample (1, c.zeroSumFrame, -0.3);
        }

        EXPECT_EQ (snapToZeroCrossing (b, 48000.0, c.seconds), c.expected) << c.what;
    }

    EXPECT_EQ (snapToZeroCrossing (constant (2, 1, 0.1), 48000.0, 1.0), 0);
    EXPECT_EQ (snapToZeroCrossing (constant (2, 100, 0.1), 0.0, 1.0), 0);
}

TEST (LeadingSilence, TrimShiftsEveryChannelAndFadesTheNewStartIn)
{
    // At 44.1 kHz 5 ms is 220.5 frames, rounded up to 221: a ramp k / 220.
    juce::AudioBuffer<double> b (2, 1000);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 1000; ++i)
            b.setSample (ch, i, (ch + 1) * (double) i);

    trimLeadingSilence (b, 100, 44100.0);
    ASSERT_EQ (b.getNumSamples(), 900);
    ASSERT_EQ (b.getNumChannels(), 2);

    for (int ch = 0; ch < 2; ++ch)
    {
        EXPECT_EQ (b.getSample (ch, 0), 0.0);

        for (int k = 1; k < 900; ++k)
        {
            const double original = (ch + 1) * (double) (100 + k);
            const double expected = k < 221 ? original * ((double) k / 220.0) : original;
            ASSERT_EQ (b.getSample (ch, k), expected) << "channel " << ch << " frame " << k;
        }
    }

    // The fade is limited to what is left.
    auto shortMix = constant (1, 60, 1.0);
    trimLeadingSilence (shortMix, 10, 44100.0);
    ASSERT_EQ (shortMix.getNumSamples(), 50);
    EXPECT_EQ (shortMix.getSample (0, 0), 0.0);
    EXPECT_EQ (shortMix.getSample (0, 49), 1.0);
    EXPECT_EQ (shortMix.getSample (0, 7), 7.0 / 49.0);

    // One frame left: nothing to fade.
    auto lastFrame = constant (1, 60, 0.5);
    trimLeadingSilence (lastFrame, 59, 44100.0);
    ASSERT_EQ (lastFrame.getNumSamples(), 1);
    EXPECT_EQ (lastFrame.getSample (0, 0), 0.5);

    // Cuts of 0 frames or of the whole length change nothing.
    for (int64_t frames : { (int64_t) 0, (int64_t) -5, (int64_t) 60, (int64_t) 61 })
    {
        auto untouched = constant (1, 60, 0.5);
        trimLeadingSilence (untouched, frames, 44100.0);
        EXPECT_EQ (untouched.getNumSamples(), 60) << frames;
        EXPECT_EQ (untouched.getSample (0, 0), 0.5) << frames;
    }
}

TEST (LeadingSilence, FirstLoudFrameTable)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();

    struct Case
    {
        const char* what;
        std::vector<double> left, right;
        int numChannels, count;
        int64_t expected;
    };

    const Case cases[] = {
        { "silence", { 0, 0, 0, 0 }, { 0, 0, 0, 0 }, 2, 4, -1 },
        { "exactly the threshold is not sound", { 0, 0.0002, 0, 0 }, { 0, -0.0002, 0, 0 }, 2, 4, -1 },
        { "the next float up is", { 0, 0, 0.00020001, 0 }, { 0, 0, 0, 0 }, 2, 4, 2 },
        { "the earliest of the channels", { 0, 0, 0, 0.5 }, { 0, -0.3, 0, 0 }, 2, 4, 1 },
        { "the first frame", { 1.0, 0, 0, 0 }, { 0, 0, 0, 0 }, 2, 4, 0 },
        { "NaN is not sound", { nan, 0, 0, 0 }, { 0, 0, 0, 0.1 }, 2, 4, 3 },
        { "only the channels asked for", { 0, 0, 0, 0 }, { 0.5, 0, 0, 0 }, 1, 4, -1 },
        { "only the frames asked for", { 0, 0, 0, 0.5 }, { 0, 0, 0, 0 }, 2, 3, -1 },
        { "no frames", { 0.5, 0, 0, 0 }, { 0, 0, 0, 0 }, 2, 0, -1 },
        { "no channels", { 0.5, 0, 0, 0 }, { 0, 0, 0, 0 }, 0, 4, -1 },
    };

    for (const auto& c : cases)
    {
        const double* channels[] = { c.left.data(), c.right.data() };
        EXPECT_EQ (firstLoudFrame (channels, c.numChannels, c.count, leadingSilenceThreshold), c.expected) << c.what;
    }

    EXPECT_EQ (firstLoudFrame (nullptr, 2, 4, leadingSilenceThreshold), -1);
}
