#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <limits>
#include <vector>

#include "core/codec/Dither.h"

using namespace dunmoor;

namespace
{
    constexpr double lsb16 = 1.0 / 32768.0;

    std::vector<double> dithered (DitherKind kind, std::vector<double> signal, uint64_t seed = 7, int blockSize = 32768)
    {
        Dither dither (kind, 16, seed);

        for (int start = 0; start < (int) signal.size(); start += blockSize)
            dither.process (signal.data() + start, std::min (blockSize, (int) signal.size() - start), 0);

        return signal;
    }

    bool isOnGrid (double v) { return v * 32768.0 == std::round (v * 32768.0); }
} // namespace

TEST (Dither, SetUpAndApplicability)
{
    EXPECT_EQ (Dither (DitherKind::tpdf, 16, 1).getLsb(), lsb16);
    EXPECT_EQ (Dither (DitherKind::tpdf, 24, 1).getLsb(), 1.0 / 8388608.0);
    EXPECT_EQ (Dither (DitherKind::tpdf, 1, 1).getLsb(), 0.0);
    EXPECT_EQ (Dither (DitherKind::tpdf, 33, 1).getLsb(), 0.0);

    EXPECT_TRUE (isDitherApplicable (DitherKind::tpdf, SampleFormat::pcm16));
    EXPECT_TRUE (isDitherApplicable (DitherKind::tpdfShapedContinuous, SampleFormat::pcm24));
    EXPECT_FALSE (isDitherApplicable (DitherKind::tpdfShaped, SampleFormat::float32));
    EXPECT_FALSE (isDitherApplicable (DitherKind::none, SampleFormat::pcm16));

    // Off: none, or a word length without a grid, leaves the samples alone.
    std::vector<double> signal { 0.1, -0.2, 0.3 };
    auto copy = signal;
    Dither (DitherKind::none, 16, 1).process (copy.data(), 3, 0);
    EXPECT_EQ (copy, signal);
    Dither (DitherKind::tpdfShaped, 40, 1).process (copy.data(), 3, 0);
    EXPECT_EQ (copy, signal);
}

TEST (Dither, RoundingMatchesStdRound)
{
    for (double v : { 0.0, -0.0, 0.5, -0.5, 1.5, 2.5, -2.5, 0.49999999999999994, -0.49999999999999994,
                      8388607.5, -8388608.5, 4503599627370495.5, 1.0e300, -1.0e300 })
        EXPECT_EQ (roundHalfAwayFromZero (v), std::round (v)) << v;

    EXPECT_TRUE (std::isnan (roundHalfAwayFromZero (std::nan (""))));
    EXPECT_EQ (roundHalfAwayFromZero (INFINITY), INFINITY);
}

TEST (Dither, TpdfNoiseHasItsLevelRepeatsPerSeedAndIsIndependentAcrossChannels)
{
    constexpr int channels = Dither::maxChannels;
    constexpr int frames = 8192;
    const uint64_t seed = 0x123456789abcdefull;

    // The noise alone: continuous TPDF dither of digital silence, every channel in use.
    auto noiseOf = [] (uint64_t s, int blockSize)
    {
        std::vector<std::vector<double>> out ((size_t) channels, std::vector<double> ((size_t) frames, 0.0));
        Dither dither (DitherKind::tpdfContinuous, 16, s);

        for (int ch = 0; ch < channels; ++ch)
            for (int start = 0; start < frames; start += blockSize)
                dither.process (out[(size_t) ch].data() + start, std::min (blockSize, frames - start), ch);

        return out;
    };

    const auto noise = noiseOf (seed, frames);

    // TPDF of +-1 LSB: every value inside one step, mean 0, RMS 1/sqrt(6) of a step.
    double sum = 0.0, squares = 0.0;

    for (const auto& channel : noise)
    {
        for (auto v : channel)
        {
            ASSERT_LT (std::abs (v), lsb16);
            sum += v;
            squares += v * v;
        }
    }

    const double count = (double) channels * frames;
    EXPECT_NEAR (sum / count / lsb16, 0.0, 0.01);
    EXPECT_NEAR (std::sqrt (squares / count) / lsb16, 1.0 / std::sqrt (6.0), 0.01);

    // The same seed gives the same noise however the blocks fall; another seed gives other noise.
    EXPECT_EQ (noiseOf (seed, 1000), noise);
    EXPECT_NE (noiseOf (seed + 1, frames), noise);

    // No two channels share their noise: every pair's correlation stays far below what shared
    // or shifted generators would give (chance alone gives about 1 / sqrt (8192) = 0.011).
    std::vector<double> energy ((size_t) channels, 0.0);

    for (int ch = 0; ch < channels; ++ch)
        for (auto v : noise[(size_t) ch])
            energy[(size_t) ch] += v * v;

    for (int a = 0; a < channels; ++a)
    {
        for (int b = a + 1; b < channels; ++b)
        {
            double product = 0.0;

            for (int i = 0; i < frames; ++i)
                product += noise[(size_t) a][(size_t) i] * noise[(size_t) b][(size_t) i];

            ASSERT_LT (std::abs (product) / std::sqrt (energy[(size_t) a] * energy[(size_t) b]), 0.08)
                << "channels " << a << " and " << b;
        }
    }
}

TEST (Dither, PlainNoiseStaysWithinOneLsbAndShapedOutputLandsOnTheGrid)
{
    std::vector<double> ramp (5000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = std::sin ((double) i * 0.01) * 0.5;

    const auto plain = dithered (DitherKind::tpdfContinuous, ramp);
    const auto shaped = dithered (DitherKind::tpdfShapedContinuous, ramp);

    for (size_t i = 0; i < ramp.size(); ++i)
    {
        ASSERT_LT (std::abs (plain[i] - ramp[i]), lsb16) << "sample " << i;
        ASSERT_TRUE (isOnGrid (shaped[i])) << "sample " << i << " = " << shaped[i];
    }
}

TEST (Dither, ShapedDitherRepeatsPerSeedAndSeedZeroNever)
{
    const std::vector<double> quiet (4096, 1.0e-3);
    EXPECT_EQ (dithered (DitherKind::tpdfShaped, quiet, 99), dithered (DitherKind::tpdfShaped, quiet, 99));
    EXPECT_NE (dithered (DitherKind::tpdfShaped, quiet, 99), dithered (DitherKind::tpdfShaped, quiet, 100));
    EXPECT_NE (dithered (DitherKind::tpdf, quiet, 0), dithered (DitherKind::tpdf, quiet, 0));

    // Channel indices beyond the 64 slots share the last one rather than reading outside.
    Dither clamped (DitherKind::tpdf, 16, 5), reference (DitherKind::tpdf, 16, 5);
    auto a = quiet, b = quiet;
    clamped.process (a.data(), (int) a.size(), 500);
    reference.process (b.data(), (int) b.size(), 63);
    EXPECT_EQ (a, b);
}

TEST (Dither, AutoBlackFadesIntoExactSilenceAndBackIn)
{
    // 100 samples of a grid value, 3000 exact zeros, then the grid value again.
    const double level = 0.25;
    std::vector<double> signal (100, level);
    signal.resize (3100, 0.0);
    signal.resize (3600, level);

    for (auto kind : { DitherKind::tpdf, DitherKind::tpdfShaped })
    {
        const auto out = dithered (kind, signal);
        SCOPED_TRACE (ditherKindToString (kind).toStdString());

        // The first zeros still carry the fading dither; from the 256th zero on they are black.
        int noisyEarlyZeros = 0;
        for (int i = 100; i < 100 + 255; ++i)
            noisyEarlyZeros += out[(size_t) i] != 0.0 ? 1 : 0;
        EXPECT_GT (noisyEarlyZeros, 10);

        for (int i = 100 + 255; i < 3100; ++i)
            ASSERT_EQ (out[(size_t) i], 0.0) << "sample " << i;

        // The dither returns at 1/256 of its level: far below half a step for the first 127
        // samples, so those come out as the exact grid value after rounding.
        for (int i = 3100; i < 3100 + 127; ++i)
            ASSERT_EQ (std::round (out[(size_t) i] / lsb16) * lsb16, level) << "sample " << i;

        int offGrid = 0;
        for (int i = 3100 + 256; i < 3600; ++i)
            offGrid += std::round (out[(size_t) i] / lsb16) * lsb16 != level ? 1 : 0;
        EXPECT_GT (offGrid, 20);
    }

    // The continuous kinds dither the silence too.
    const auto continuous = dithered (DitherKind::tpdfContinuous, signal);
    int noisy = 0;
    for (int i = 2000; i < 3100; ++i)
        noisy += std::abs (continuous[(size_t) i]) > lsb16 * 0.5 ? 1 : 0;
    EXPECT_GT (noisy, 100);
}

TEST (Dither, SilenceRunSpanningBlocksOnlyFadesTheCurrentBlock)
{
    // The run starts 500 samples before the end of the first block; its 1024th zero falls
    // in the second block, so the zeros of the first block keep their dither.
    std::vector<double> signal (1000, 0.25);
    signal.resize (3000, 0.0);

    const auto out = dithered (DitherKind::tpdf, signal, 3, 1500);

    int noisyInFirstBlock = 0;
    for (int i = 1000; i < 1500; ++i)
        noisyInFirstBlock += std::abs (out[(size_t) i]) > lsb16 * 0.5 ? 1 : 0;
    EXPECT_GT (noisyInFirstBlock, 50);

    // In the second block every zero before the 1024th is already past the fade.
    for (int i = 1500; i < 3000; ++i)
        ASSERT_EQ (out[(size_t) i], 0.0) << "sample " << i;
}

TEST (Dither, NaNIsNotSilence)
{
    std::vector<double> signal (2000, 0.0);
    signal[1500] = std::nan ("");
    const auto out = dithered (DitherKind::tpdf, signal);

    EXPECT_TRUE (std::isnan (out[1500]));
    // The zero run restarted after the NaN, so the next zeros are dithered again.
    int noisy = 0;
    for (int i = 1501; i < 1700; ++i)
        noisy += out[(size_t) i] != 0.0 ? 1 : 0;
    EXPECT_GT (noisy, 0);
}

// One NaN or infinite sample used to make the shaped error feedback NaN, and every later
// sample of the channel was written as silence.
TEST (Dither, ShapedKindsRecoverFromANonFiniteSample)
{
    for (auto kind : { DitherKind::tpdfShaped, DitherKind::tpdfShapedContinuous })
    {
        std::vector<double> signal (4000, 0.5);
        signal[100] = std::nan ("");
        signal[200] = std::numeric_limits<double>::infinity();
        signal[300] = -std::numeric_limits<double>::infinity();
        const auto out = dithered (kind, signal);

        for (size_t i = 0; i < out.size(); ++i)
        {
            ASSERT_TRUE (std::isfinite (out[i])) << "sample " << i;

            if (i > 302)
            {
                ASSERT_NEAR (out[i], 0.5, 4.0 * lsb16) << "sample " << i;
            }
        }

        EXPECT_GE (out[200], 1.0);
        EXPECT_LE (out[300], -1.0);
    }
}
