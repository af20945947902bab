#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/audio/Resampler.h"
#include "audio/LiteralResampler.h"

using namespace dunmoor;

namespace
{
constexpr double pi = juce::MathConstants<double>::pi;

juce::AudioBuffer<double> sine (double rate, double frequency, int frames, int channels = 1)
{
    juce::AudioBuffer<double> buffer (channels, frames);

    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < frames; ++i)
            buffer.setSample (ch, i, std::sin (2.0 * pi * frequency * i / rate + ch));

    return buffer;
}

// Level of a sine of amplitude 1 after conversion, in dB, from the RMS of the output away
// from its ends (where the kernel runs off the input).
double levelDb (const juce::AudioBuffer<double>& output, int margin)
{
    double sum = 0.0;
    const int n = output.getNumSamples() - 2 * margin;

    for (int i = margin; i < margin + n; ++i)
        sum += output.getSample (0, i) * output.getSample (0, i);

    return 20.0 * std::log10 (std::sqrt (sum / n) * std::sqrt (2.0) + 1e-300);
}

struct RatePair
{
    double from, to;
};

const RatePair qualityPairs[] = { { 44100, 48000 }, { 48000, 44100 }, { 96000, 48000 }, { 192000, 48000 }, { 48000, 96000 } };
} // namespace

TEST (Resampler, OutputLengths)
{
    const std::tuple<double, double, int, int> cases[] = {
        { 96000, 48000, 1001, 501 },
        { 44100, 48000, 44100, 48000 }, // not 48001
        { 48000, 44100, 48000, 44100 },
        { 48000, 96000, 7, 14 },
        { 44100, 44100.3, 1000, 1000 },
        { 48000, 44100, 0, 0 },
    };

    for (const auto& [from, to, frames, expected] : cases)
    {
        juce::AudioBuffer<double> source (3, frames);
        source.clear();
        const auto result = resampleBuffer (source, from, to);
        EXPECT_EQ (result.getNumChannels(), 3) << from << " -> " << to;
        EXPECT_EQ (result.getNumSamples(), expected) << from << " -> " << to;
        EXPECT_EQ (getResampledLength (frames, from, to), expected) << from << " -> " << to;
    }

    // A rate of 0 or less, or no channels, gives the empty buffer.
    juce::AudioBuffer<double> source (1, 10);
    source.clear();
    EXPECT_EQ (resampleBuffer (source, 0.0, 48000).getNumChannels(), 0);
    EXPECT_EQ (resampleBuffer (source, 48000, -1.0).getNumChannels(), 0);
    EXPECT_EQ (resampleBuffer (juce::AudioBuffer<double>(), 44100, 48000).getNumChannels(), 0);

    // A NaN rate passed the "0 or less" checks and reached an undefined conversion to int64.
    constexpr auto nan = std::numeric_limits<double>::quiet_NaN();
    constexpr auto inf = std::numeric_limits<double>::infinity();
    constexpr auto longest = std::numeric_limits<juce::int64>::max();

    const std::tuple<juce::int64, double, double, juce::int64> limits[] = {
        { 1000, nan, 48000, 0 },
        { 1000, 48000, nan, 0 },
        { 1000, 48000, inf, longest },
        { 1000, inf, 48000, 0 },
        { longest, 8000, 768000, longest },
        { 1000, 1e-300, 1e300, longest },
    };

    for (const auto& [frames, from, to, expected] : limits)
        EXPECT_EQ (getResampledLength (frames, from, to), expected) << frames << ": " << from << " -> " << to;

    EXPECT_EQ (resampleBuffer (source, nan, 48000).getNumChannels(), 0);
    EXPECT_EQ (resampleBuffer (source, 48000, nan).getNumChannels(), 0);
}

TEST (Resampler, RatesWithinHalfAHertzGiveAnExactCopy)
{
    const auto source = sine (48000, 997, 500, 2);
    const auto result = resampleBuffer (source, 48000, 48000.3);
    ASSERT_EQ (result.getNumSamples(), 500);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 500; ++i)
            ASSERT_EQ (result.getSample (ch, i), source.getSample (ch, i));
}

TEST (Resampler, HalfWidthAndPhaseClamps)
{
    const std::tuple<double, int, int, int, int> cases[] = {
        // ratio, requested half-width, requested phases, expected half-width, expected phases
        { 1.0, 1, 8, 2, 16 },
        { 2.0, 1000, 16, 256, 16 },
        { 2.0, 2, 10000, 2, 8192 },
        { 48000.0 / 44100.0, 32, 1024, 32, 1024 },
        // Downsampling widens the kernel in proportion, up to a cap.
        { 0.5, 32, 1024, 64, 1024 },
        { 0.25, 32, 1024, 128, 1024 },
        { 44100.0 / 48000.0, 32, 1024, 35, 1024 },
        { 8000.0 / 768000.0, 32, 16, Resampler::maxWidenedHalfWidth, 16 },
    };

    for (const auto& [ratio, halfWidth, phases, expectedHalfWidth, expectedPhases] : cases)
    {
        const Resampler r (1.0, ratio, halfWidth, phases);
        ASSERT_TRUE (r.isValid());
        EXPECT_EQ (r.getHalfWidth(), expectedHalfWidth) << ratio;
        EXPECT_EQ (r.getTaps(), 2 * expectedHalfWidth) << ratio;
        EXPECT_EQ (r.getPhases(), expectedPhases) << ratio;
    }
}

TEST (Resampler, PassbandAndStopbandQuality)
{
    // Passband tones keep their level within 0.1 dB; when downsampling, a tone above the new
    // Nyquist frequency is below -100 dB. The kernel used to span +/-32 input samples whatever
    // the ratio, so 192 kHz to 48 kHz let 25-29 kHz fold into the audible band at -12 to -30 dB.
    struct Case
    {
        RatePair rates;
        double passband[2];
        double stopband[2]; // 0: none
    };

    const Case cases[] = {
        { qualityPairs[0], { 1000, 17640 }, { 0, 0 } },
        { qualityPairs[1], { 1000, 17640 }, { 23800, 0 } },
        { qualityPairs[2], { 1000, 19200 }, { 26500, 30000 } },
        { qualityPairs[3], { 1000, 19200 }, { 26500, 29000 } },
        { qualityPairs[4], { 1000, 19200 }, { 0, 0 } },
    };

    for (const auto& c : cases)
    {
        const auto frames = (int) c.rates.from / 2;
        const int margin = 1500;

        for (double f : c.passband)
        {
            const double db = levelDb (resampleBuffer (sine (c.rates.from, f, frames), c.rates.from, c.rates.to), margin);
            EXPECT_NEAR (db, 0.0, 0.1) << c.rates.from << " -> " << c.rates.to << ": " << f << " Hz at " << db << " dB";
        }

        for (double f : c.stopband)
        {
            if (f <= 0.0)
                continue;

            const double db = levelDb (resampleBuffer (sine (c.rates.from, f, frames), c.rates.from, c.rates.to), margin);
            EXPECT_LT (db, -100.0) << c.rates.from << " -> " << c.rates.to << ": " << f << " Hz at " << db << " dB";
        }
    }
}

TEST (Resampler, ConstantSignalPassesAtUnityInsideTheBuffer)
{
    for (const auto& rates : qualityPairs)
    {
        juce::AudioBuffer<double> dc (1, 4000);

        for (int i = 0; i < 4000; ++i)
            dc.setSample (0, i, 1.0);

        const auto out = resampleBuffer (dc, rates.from, rates.to);
        const Resampler r (rates.from, rates.to);
        const double ratio = rates.to / rates.from;
        const int edge = (int) std::ceil (r.getHalfWidth() * std::max (ratio, 1.0)) + 2;

        for (int i = edge; i < out.getNumSamples() - edge; ++i)
            ASSERT_NEAR (out.getSample (0, i), 1.0, 1e-12) << rates.from << " -> " << rates.to << " at " << i;

        // The first output lies on the first input: the taps before it fall outside the input,
        // leaving the centre tap plus half of the rest, (1 + centre) / 2, near 1 and not one half.
        const double centre = r.getRow (0)[r.getHalfWidth() - 1];
        EXPECT_NEAR (out.getSample (0, 0), (1.0 + centre) / 2.0, 1e-12) << rates.from << " -> " << rates.to;
    }
}

TEST (Resampler, FastConversionMatchesTheLiteralLoop)
{
    juce::Random random (1234);
    juce::AudioBuffer<double> noise (3, 3000);

    for (int ch = 0; ch < 3; ++ch)
        for (int i = 0; i < 3000; ++i)
            noise.setSample (ch, i, random.nextDouble() * 2.0 - 1.0);

    for (const auto& rates : { qualityPairs[0], qualityPairs[1], qualityPairs[3], RatePair { 22050, 192000 }, RatePair { 768000, 8000 } })
    {
        const auto out = resampleBuffer (noise, rates.from, rates.to);
        const Resampler r (rates.from, rates.to);
        std::vector<double> expected ((size_t) out.getNumSamples());

        for (int ch = 0; ch < 3; ++ch)
        {
            processLiterally (r, noise.getReadPointer (ch), noise.getNumSamples(), expected.data(), (juce::int64) expected.size());

            for (int i = 0; i < out.getNumSamples(); ++i)
                ASSERT_NEAR (out.getSample (ch, i), expected[(size_t) i], 1e-12) << rates.from << " -> " << rates.to << ", channel " << ch << ", frame " << i;
        }
    }
}

TEST (Resampler, ProcessEdgeCases)
{
    const Resampler r (44100, 48000);
    double output[4] = { 9, 9, 9, 9 };

    r.process (nullptr, 10, output, 4);
    EXPECT_EQ (output[3], 0.0) << "no input gives silence";

    const double input[2] = { 1.0, 1.0 };
    output[0] = 9;
    r.process (input, 2, output, 0);
    EXPECT_EQ (output[0], 9.0) << "no output count does nothing";

    EXPECT_EQ (besselI0 (0.0), 1.0);
    EXPECT_NEAR (besselI0 (1.0), 1.2660658777520082, 1e-15);
    EXPECT_NEAR (besselI0 (12.0), 18948.925349296308, 1e-9);
}
