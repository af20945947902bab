#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/audio/LevelMeter.h"

#if DUNMOOR_HAVE_EBUR128
 #include <ebur128.h>
#endif

using namespace dunmoor;

namespace
{
    juce::AudioBuffer<double> makeBuffer (int channels, int frames, std::function<double (int, int)> sample)
    {
        juce::AudioBuffer<double> b (channels, frames);

        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < frames; ++i)
                b.setSample (ch, i, sample (ch, i));

        return b;
    }

    // A signal that starts or stops abruptly overshoots at its ends (the samples outside count
    // as 0); the reference signals fade in and out over 10 ms so that only their body counts.
    juce::AudioBuffer<double> faded (juce::AudioBuffer<double> b)
    {
        const int fade = std::min (480, b.getNumSamples() / 2);

        for (int ch = 0; ch < b.getNumChannels(); ++ch)
        {
            for (int k = 0; k < fade; ++k)
            {
                const double g = 0.5 - 0.5 * std::cos (juce::MathConstants<double>::pi * k / fade);
                b.setSample (ch, k, b.getSample (ch, k) * g);
                b.setSample (ch, b.getNumSamples() - 1 - k, b.getSample (ch, b.getNumSamples() - 1 - k) * g);
            }
        }

        return b;
    }

    // At fs/4 and 45 degrees every sample is +-0.7071 x amplitude and the peaks fall midway.
    juce::AudioBuffer<double> sineAtQuarterRate (int frames, double amplitude, double phase = juce::MathConstants<double>::pi / 4.0)
    {
        return faded (makeBuffer (1, frames, [=] (int, int i)
                                  { return amplitude * std::sin (juce::MathConstants<double>::halfPi * i + phase); }));
    }

    juce::AudioBuffer<double> twoTone (int frames)
    {
        return faded (makeBuffer (1, frames, [] (int, int i)
                                  {
                                      const double t = i / 48000.0;
                                      return 0.45 * std::sin (juce::MathConstants<double>::twoPi * 15000.0 * t)
                                           + 0.45 * std::sin (juce::MathConstants<double>::twoPi * 17500.0 * t + 0.3);
                                  }));
    }

    juce::AudioBuffer<double> clippedPinkNoise (int frames)
    {
        // Paul Kellet's pink filter on seeded white noise, scaled to a peak of 2.0 (6 dB over
        // full scale) and hard-clipped at +-1.0: about 2% of the samples sit on the rails.
        juce::Random random (20240601);
        double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
        juce::AudioBuffer<double> b (1, frames);

        for (int i = 0; i < frames; ++i)
        {
            const double white = random.nextDouble() * 2.0 - 1.0;
            b0 = 0.99886 * b0 + white * 0.0555179;
            b1 = 0.99332 * b1 + white * 0.0750759;
            b2 = 0.96900 * b2 + white * 0.1538520;
            b3 = 0.86650 * b3 + white * 0.3104856;
            b4 = 0.55000 * b4 + white * 0.5329522;
            b5 = -0.7616 * b5 - white * 0.0168980;
            b.setSample (0, i, b0 + b1 + b2 + b3 + b4 + b5 + b6 + white * 0.5362);
            b6 = white * 0.115926;
        }

        b.applyGain (2.0 / b.getMagnitude (0, frames));

        for (int i = 0; i < frames; ++i)
            b.setSample (0, i, juce::jlimit (-1.0, 1.0, b.getSample (0, i)));

        return faded (b);
    }

    juce::AudioBuffer<double> randomBuffer (int channels, int frames, int seed)
    {
        juce::Random random (seed);
        return makeBuffer (channels, frames, [&] (int, int) { return random.nextDouble() * 2.0 - 1.0; });
    }

    // The true peak by its definition, sharing nothing with the meter but the filter bank: every
    // interval of the channel (from each sample to the next, the one after the last counting as
    // 0) interpolated at every phase, and the samples themselves.
    double referenceTruePeak (const double* x, int64_t n, int factor)
    {
        const auto& bank = getTruePeakFilters (factor);
        const int taps = TruePeakFilterBank::numTaps;
        auto at = [&] (int64_t j) { return j >= 0 && j < n ? x[j] : 0.0; };
        double peak = 0.0;

        for (int64_t i = 0; i < n; ++i)
        {
            peak = std::max (peak, std::abs (x[i]));

            for (int p = 1; p < factor; ++p)
            {
                double value = 0.0;

                for (int t = 0; t < taps; ++t)
                    value += at (i - taps / 2 + 1 + t) * bank.coefficients[(size_t) ((p - 1) * taps + t)];

                peak = std::max (peak, std::abs (value));
            }
        }

        return peak;
    }

    /** Equal within the rounding of a differently ordered sum. */
    void expectSamePeak (double actual, double expected, const std::string& what)
    {
        EXPECT_NEAR (actual, expected, 1e-12 * std::max (1.0, expected)) << what;
    }

    HeadroomSettings headroom (double targetDb, PeakMode peakMode, GainMode gainMode)
    {
        HeadroomSettings h;
        h.targetDb = targetDb;
        h.peakMode = peakMode;
        h.gainMode = gainMode;
        return h;
    }
} // namespace

TEST (LevelMeter, FilterBanksHaveUnitDcGain)
{
    for (int factor : { 2, 4, 8 })
    {
        const auto& bank = getTruePeakFilters (factor);
        ASSERT_EQ (bank.factor, factor);
        ASSERT_EQ (bank.coefficients.size(), (size_t) ((factor - 1) * 24));

        for (int p = 1; p < factor; ++p)
        {
            double sum = 0.0;

            for (int t = 0; t < 24; ++t)
                sum += bank.coefficients[(size_t) ((p - 1) * 24 + t)];

            EXPECT_NEAR (sum, 1.0, 1e-14) << "factor " << factor << " phase " << p;
        }
    }

    // The half-way phase is symmetric about the interval's middle.
    const auto& two = getTruePeakFilters (2);

    for (int t = 0; t < 12; ++t)
        EXPECT_NEAR (two.coefficients[(size_t) t], two.coefficients[(size_t) (23 - t)], 1e-15);
}

TEST (LevelMeter, TruePeakEqualsTheDefinitionOnShortAndLongBuffers)
{
    // Short buffers exercise the intervals whose taps reach past either end.
    for (int frames : { 1, 2, 5, 12, 13, 23, 24, 25, 26, 40, 4096 })
    {
        for (int factor : { 2, 4, 8 })
        {
            const auto b = randomBuffer (1, frames, frames * 31 + factor);
            const double* x = b.getReadPointer (0);
            expectSamePeak (measureTruePeak (x, frames, factor), referenceTruePeak (x, frames, factor),
                            std::to_string (frames) + " frames, factor " + std::to_string (factor));
        }
    }

    // Material a mix is made of, over a long stretch.
    for (const auto& b : { twoTone (48000), clippedPinkNoise (48000), sineAtQuarterRate (48000, 0.8, 0.2) })
        for (int factor : { 2, 4, 8 })
            expectSamePeak (measureTruePeak (b.getReadPointer (0), 48000, factor), referenceTruePeak (b.getReadPointer (0), 48000, factor),
                            "factor " + std::to_string (factor));
}

TEST (LevelMeter, TruePeakFindsTheOvershootAndMapsTheOversamplingSetting)
{
    const auto sine = sineAtQuarterRate (4800, 1.0);
    const double* x = sine.getReadPointer (0);

    EXPECT_NEAR (gainToDecibels (measureSamplePeak (sine)), -3.0103, 1e-3);
    EXPECT_NEAR (gainToDecibels (measureTruePeak (x, 4800, 4)), 0.0, 0.05);

    // A setting is rounded up to the next factor the meter has. At a phase of 0.2 rad the crests
    // lie 0.873 of the way between samples, so each finer grid comes closer to them.
    const auto noise = sineAtQuarterRate (4800, 1.0, 0.2);
    const double* y = noise.getReadPointer (0);
    const double two = measureTruePeak (y, 4800, 2);
    const double four = measureTruePeak (y, 4800, 4);
    const double eight = measureTruePeak (y, 4800, 8);
    EXPECT_LT (two, four);
    EXPECT_LT (four, eight);
    EXPECT_NEAR (eight, 1.0, 1e-4);

    struct Case { int setting; int factor; };

    for (auto c : { Case { 1, 2 }, Case { 0, 2 }, Case { 2, 2 }, Case { 3, 4 }, Case { 4, 4 }, Case { 5, 8 }, Case { 6, 8 }, Case { 16, 8 } })
        expectSamePeak (measureTruePeak (y, 4800, c.setting), referenceTruePeak (y, 4800, c.factor), "setting " + std::to_string (c.setting));

    // One full-scale sample alone: never below the sample peak.
    const double one = 1.0;
    EXPECT_EQ (measureTruePeak (&one, 1, 4), 1.0);
    EXPECT_EQ (measureTruePeak (nullptr, 10, 4), 0.0);
    EXPECT_EQ (measureTruePeak (&one, 0, 4), 0.0);
}

// Interpolating only the intervals with a loud end once read this near-Nyquist pattern as
// 0.00 dBTP at 2x and +1.26 at 4x and 8x: its largest overshoot lies between two quiet samples.
TEST (LevelMeter, TruePeakFindsTheOvershootBetweenQuietSamples)
{
    // +-0.9 alternating, with a sign slip whose two middle samples are 0.45, and a spike of 1.0.
    auto pattern = [] (int i)
    {
        const double sign = ((i % 2 == 0) == (i < 32)) ? 1.0 : -1.0;
        return sign * (i == 10 ? 1.0 : (i == 31 || i == 32 ? 0.45 : 0.9));
    };

    const auto alone = makeBuffer (1, 64, [&] (int, int i) { return pattern (i); });

    // The same with the slip on the boundary between two runs of the cancellable measurement.
    const int offset = cancelPollFrames - 32;
    const auto inLongBuffer = makeBuffer (1, 2 * cancelPollFrames, [&] (int, int i)
                                          { return i >= offset && i < offset + 64 ? pattern (i - offset) : 0.0; });

    for (int factor : { 2, 4, 8 })
    {
        const double reference = referenceTruePeak (alone.getReadPointer (0), 64, factor);
        const double reading = measureTruePeak (alone.getReadPointer (0), 64, factor);
        EXPECT_GT (gainToDecibels (reference), 2.2) << "factor " << factor;
        expectSamePeak (reading, reference, "factor " + std::to_string (factor) + ": " + std::to_string (gainToDecibels (reading))
                                                + " dBTP, every interval " + std::to_string (gainToDecibels (reference)) + " dBTP");

        const auto levels = measurePeaks (inLongBuffer, PeakMode::truePeak, factor, [] { return false; });
        expectSamePeak (levels.truePeak, reference, "across two runs, factor " + std::to_string (factor));
    }
}

TEST (LevelMeter, PeaksOfABufferFollowThePeakMode)
{
    auto stereo = makeBuffer (2, 4800, [] (int ch, int i)
                              { return ch == 0 ? 0.1 : 0.9 * std::sin (juce::MathConstants<double>::halfPi * i + juce::MathConstants<double>::pi / 4.0); });

    const auto sample = measurePeaks (stereo, PeakMode::samplePeak, 4);
    EXPECT_NEAR (sample.samplePeak, 0.9 * std::sqrt (0.5), 1e-12);
    EXPECT_EQ (sample.truePeak, sample.samplePeak);

    const auto truePeak = measurePeaks (stereo, PeakMode::truePeak, 4);
    EXPECT_EQ (truePeak.samplePeak, sample.samplePeak);
    expectSamePeak (truePeak.truePeak, referenceTruePeak (stereo.getReadPointer (1), 4800, 4), "the louder channel");
    EXPECT_GT (truePeak.truePeak, truePeak.samplePeak * 1.4);

    juce::AudioBuffer<double> zeros (2, 100);
    zeros.clear();
    const auto silent = measurePeaks (zeros, PeakMode::truePeak, 4);
    EXPECT_EQ (silent.samplePeak, 0.0);
    EXPECT_EQ (silent.truePeak, 0.0);

    juce::AudioBuffer<double> empty;
    EXPECT_EQ (measureSamplePeak (empty), 0.0);
}

// NaN or infinite samples once gave a gain of 0 and a silent delivery reported as complete.
TEST (LevelMeter, NonFiniteSamplesAreAnErrorNeverAGain)
{
    for (double bad : { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity() })
    {
        auto b = randomBuffer (2, 1000, 3);
        b.setSample (1, 517, bad);

        EXPECT_TRUE (std::isinf (measureSamplePeak (b))) << bad;
        EXPECT_TRUE (std::isinf (measureTruePeak (b.getReadPointer (1), 1000, 4))) << bad;

        for (auto mode : { PeakMode::samplePeak, PeakMode::truePeak })
        {
            const auto gain = computeGlobalGain (measurePeaks (b, mode, 4), headroom (-3.0, mode, GainMode::alwaysReachTarget));
            EXPECT_TRUE (gain.error.isNotEmpty()) << bad;
            EXPECT_FALSE (gain.silent);
            EXPECT_EQ (gain.gainLinear, 1.0);
            EXPECT_EQ (gain.gainDb, 0.0);
        }
    }
}

TEST (LevelMeter, GainRuleTable)
{
    struct Case
    {
        double peakDb;  // -400: a silent mix
        GainMode mode;
        double gainDb, predictedDb;
        bool heldAtZero;
    };

    const Case cases[] = {
        { -10.0, GainMode::attenuateOnly, 0.0, -10.0, true },
        { -10.0, GainMode::alwaysReachTarget, 7.0, -3.0, false },
        { 0.0, GainMode::attenuateOnly, -3.0, -3.0, false },
        { 0.0, GainMode::alwaysReachTarget, -3.0, -3.0, false },
        { -3.0, GainMode::attenuateOnly, 0.0, -3.0, false },
    };

    for (const auto& c : cases)
    {
        const double linear = decibelsToGain (c.peakDb);
        const auto g = computeGlobalGain ({ linear, linear }, headroom (-3.0, PeakMode::truePeak, c.mode));
        EXPECT_TRUE (g.error.isEmpty());
        EXPECT_FALSE (g.silent);
        EXPECT_EQ (g.targetDb, -3.0);
        EXPECT_NEAR (g.peakDb, c.peakDb, 1e-9);
        EXPECT_NEAR (g.gainDb, c.gainDb, 1e-9) << "peak " << c.peakDb;
        EXPECT_NEAR (g.predictedPeakDb, c.predictedDb, 1e-9);
        EXPECT_NEAR (g.gainLinear, std::pow (10.0, c.gainDb / 20.0), 1e-12);
        EXPECT_EQ (g.heldAtZero, c.heldAtZero);
    }

    // The peak of the preset's mode is the one that counts.
    const auto bySample = computeGlobalGain ({ 0.5, 1.0 }, headroom (-3.0, PeakMode::samplePeak, GainMode::alwaysReachTarget));
    EXPECT_NEAR (bySample.peakDb, -6.0206, 1e-4);

    const auto silent = computeGlobalGain ({ 0.0, 0.0 }, headroom (-1.0, PeakMode::truePeak, GainMode::alwaysReachTarget));
    EXPECT_TRUE (silent.silent);
    EXPECT_EQ (silent.gainDb, 0.0);
    EXPECT_EQ (silent.gainLinear, 1.0);
    EXPECT_EQ (silent.peakDb, -400.0);
    EXPECT_EQ (silent.predictedPeakDb, -400.0);
    EXPECT_EQ (silent.targetDb, -1.0);

    // A gain of -400 dB or below is exactly 0.
    const auto huge = computeGlobalGain ({ 1e30, 1e30 }, headroom (-3.0, PeakMode::truePeak, GainMode::alwaysReachTarget));
    EXPECT_LE (huge.gainDb, -400.0);
    EXPECT_EQ (huge.gainLinear, 0.0);
}

TEST (LevelMeter, DecibelConversionsAndFullScaleCount)
{
    EXPECT_EQ (decibelsToGain (-400.0), 0.0);
    EXPECT_EQ (decibelsToGain (-1000.0), 0.0);
    EXPECT_EQ (decibelsToGain (0.0), 1.0);
    EXPECT_NEAR (decibelsToGain (-6.0), 0.501187, 1e-6);
    EXPECT_EQ (gainToDecibels (1e-30), -400.0);
    EXPECT_EQ (gainToDecibels (0.0), -400.0);
    EXPECT_EQ (gainToDecibels (-1.0), -400.0);
    EXPECT_EQ (gainToDecibels (1.0), 0.0);

    auto b = makeBuffer (2, 6, [] (int ch, int i)
                         {
                             const double values[] = { 1.0, -1.0, 0.9999999, 1.5, 0.0, -1.0000001 };
                             return ch == 0 ? values[i] : 0.0;
                         });
    EXPECT_EQ (countFullScaleSamples (b, 1.0), 4);
}

#if DUNMOOR_HAVE_EBUR128
TEST (LevelMeter, TruePeakAgreesWithTheReferenceMeterWithinATenthOfADecibel)
{
    struct Signal { const char* name; juce::AudioBuffer<double> buffer; };
    const int frames = 48000 * 2;
    Signal signals[] = { { "fs/4 sine at 45 degrees", sineAtQuarterRate (frames, 1.0) },
                         { "15 kHz + 17.5 kHz", twoTone (frames) },
                         { "clipped pink noise", clippedPinkNoise (frames) } };

    for (auto& s : signals)
    {
        ebur128_state* state = ebur128_init (1, 48000, EBUR128_MODE_TRUE_PEAK);
        ASSERT_NE (state, nullptr);
        ASSERT_EQ (ebur128_add_frames_double (state, s.buffer.getReadPointer (0), (size_t) frames), EBUR128_SUCCESS);
        double reference = 0.0;
        ASSERT_EQ (ebur128_true_peak (state, 0, &reference), EBUR128_SUCCESS);
        ebur128_destroy (&state);

        const double ours = measurePeaks (s.buffer, PeakMode::truePeak, 4).truePeak;
        EXPECT_NEAR (gainToDecibels (ours), gainToDecibels (reference), 0.1)
            << s.name << ": ours " << gainToDecibels (ours) << " dB, reference " << gainToDecibels (reference) << " dB";
    }
}
#endif

namespace
{
    /** The peaks of the buffer fed to a PeakMeterStream in windows whose sizes cycle through
        `windows` (0: the whole buffer in one window). Each window is copied into one reused
        buffer between guard frames far louder than the signal, as a render reuses its window:
        a stream that reads outside the window it is given, or keeps pointers into an earlier
        one, reads the guards. */
    PeakLevels streamedPeaks (const juce::AudioBuffer<double>& b, PeakMode mode, int oversampling, const std::vector<int>& windows)
    {
        constexpr int guard = 32;
        constexpr double guardValue = 1.0e6;
        PeakMeterStream stream (b.getNumChannels(), mode, oversampling);
        juce::AudioBuffer<double> window (b.getNumChannels(), b.getNumSamples() + 2 * guard);
        std::vector<const double*> channels ((size_t) b.getNumChannels());

        for (int start = 0, w = 0; start < b.getNumSamples(); ++w)
        {
            const int size = windows[(size_t) w % windows.size()];
            const int count = size == 0 ? b.getNumSamples() : std::min (size, b.getNumSamples() - start);

            for (int ch = 0; ch < b.getNumChannels(); ++ch)
            {
                double* x = window.getWritePointer (ch);
                std::fill (x, x + window.getNumSamples(), guardValue);
                std::copy (b.getReadPointer (ch) + start, b.getReadPointer (ch) + start + count, x + guard);
                channels[(size_t) ch] = x + guard;
            }

            stream.add (channels.data(), count);
            start += count;
        }

        return stream.finish();
    }

    // The near-Nyquist pattern of TruePeakFindsTheOvershootBetweenQuietSamples: its overshoot
    // lies between pattern frames 31 and 32.
    double quietSlipPattern (int i)
    {
        const double sign = ((i % 2 == 0) == (i < 32)) ? 1.0 : -1.0;
        return sign * (i == 10 ? 1.0 : (i == 31 || i == 32 ? 0.45 : 0.9));
    }
} // namespace

// The stream must give the whole-buffer numbers bit for bit, however the signal is cut.
TEST (LevelMeter, StreamGivesTheWholeBufferPeaksForEveryWindowing)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();

    struct Signal { const char* what; juce::AudioBuffer<double> buffer; };

    auto noisy = [] (int channels, int frames, double amplitude, int seed)
    {
        auto b = randomBuffer (channels, frames, seed);
        b.applyGain (amplitude);
        return b;
    };

    // The slip's quiet pair is frames 1300 and 1301, the first interval of a block of four;
    // windows of one frame and the mixed cycle below end a window between the two.
    auto burst = noisy (2, 2003, 0.05, 1);

    for (int i = 0; i < 64; ++i)
        burst.setSample (1, 1269 + i, quietSlipPattern (i));

    // Overshoots where the taps reach past the ends: the slip's tail in the first ten frames
    // (largest between frames 2 and 3, with nothing loud after frame 11), and +-0.9 in the
    // last eight (largest after the last frame).
    auto loudStart = noisy (1, 1001, 0.1, 2);
    auto loudEnd = noisy (1, 1001, 0.1, 2);

    for (int i = 0; i < 10; ++i)
        loudStart.setSample (0, i, quietSlipPattern (29 + i));

    for (int i = 0; i < 8; ++i)
        loudEnd.setSample (0, 1000 - i, i % 2 == 0 ? 0.9 : -0.9);

    juce::AudioBuffer<double> silence (2, 500);
    silence.clear();

    auto withNan = noisy (2, 700, 0.5, 3);
    withNan.setSample (1, 350, nan);
    auto withInfinity = noisy (2, 700, 0.5, 4);
    withInfinity.setSample (0, 351, -inf);

    // A rising level keeps the bound of the peak found so far well below the final one.
    auto rising = makeBuffer (2, 4099, [r = juce::Random (5)] (int, int i) mutable { return (r.nextDouble() * 2.0 - 1.0) * i / 4099.0; });

    Signal signals[] = {
        { "near-Nyquist overshoot at a window edge, stereo", burst },
        { "overshoot in the first frames, mono", loudStart },
        { "overshoot in the last frames, mono", loudEnd },
        { "silence", silence },
        { "NaN in a middle window", withNan },
        { "infinity in a middle window", withInfinity },
        { "rising level", rising },
        { "one frame", noisy (1, 1, 0.7, 6) },
        { "15 frames: no interval far from both ends", noisy (2, 15, 0.7, 7) },
        { "27 frames", noisy (1, 27, 0.7, 8) },
    };

    const std::vector<std::vector<int>> windowings = { { 1 }, { 3 }, { 4 }, { 5 }, { 13 }, { 1, 6, 61, 3, 250, 13, 967 }, { 0 } };

    for (const auto& s : signals)
    {
        for (int oversampling : { 2, 4, 8 })
        {
            for (auto mode : { PeakMode::truePeak, PeakMode::samplePeak })
            {
                const auto whole = measurePeaks (s.buffer, mode, oversampling);

                for (const auto& windows : windowings)
                {
                    const auto streamed = streamedPeaks (s.buffer, mode, oversampling, windows);
                    const auto where = std::string (s.what) + ", factor " + std::to_string (oversampling)
                                     + (mode == PeakMode::truePeak ? ", true peak" : ", sample peak") + ", first window " + std::to_string (windows[0]);
                    EXPECT_EQ (streamed.samplePeak, whole.samplePeak) << where;
                    EXPECT_EQ (streamed.truePeak, whole.truePeak) << where;
                    EXPECT_FALSE (streamed.cancelled) << where;
                }
            }
        }
    }

    // The overshoot rows are only worth their place while the overshoot beats the samples.
    for (const auto* b : { &burst, &loudStart, &loudEnd })
    {
        const auto levels = measurePeaks (*b, PeakMode::truePeak, 2);
        EXPECT_GT (levels.truePeak, levels.samplePeak * 1.03);
    }
}

TEST (LevelMeter, StreamWithoutChannelsOrFramesIsSilentAndFinishChangesNothing)
{
    for (int channels : { 0, 2 })
    {
        PeakMeterStream stream (channels, PeakMode::truePeak, 4);
        const double one = 1.0;
        const double* pointers[] = { &one, &one };
        stream.add (pointers, 0);
        const auto levels = stream.finish();
        EXPECT_EQ (levels.samplePeak, 0.0) << channels;
        EXPECT_EQ (levels.truePeak, 0.0) << channels;
    }

    PeakMeterStream none (0, PeakMode::truePeak, 4);
    const double* nothing[] = { nullptr };
    none.add (nothing, 100);
    EXPECT_EQ (none.finish().truePeak, 0.0);

    // A finish midway leaves the stream to carry on with the rest of the signal.
    const auto b = randomBuffer (2, 300, 9);
    PeakMeterStream stream (2, PeakMode::truePeak, 8);
    const double* head[] = { b.getReadPointer (0), b.getReadPointer (1) };
    const double* tail[] = { b.getReadPointer (0) + 130, b.getReadPointer (1) + 130 };
    stream.add (head, 130);
    const auto midway = stream.finish();
    const auto firstPart = measurePeaks (juce::AudioBuffer<double> (const_cast<double* const*> (head), 2, 130), PeakMode::truePeak, 8);
    EXPECT_EQ (midway.truePeak, firstPart.truePeak);
    stream.add (tail, 170);
    const auto whole = measurePeaks (b, PeakMode::truePeak, 8);
    EXPECT_EQ (stream.finish().truePeak, whole.truePeak);
    EXPECT_EQ (stream.finish().samplePeak, whole.samplePeak);
}
