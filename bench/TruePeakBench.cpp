// True-peak measurement of a 4-minute stereo mix at 48 kHz, factor 4, on one core; with
// libebur128's true-peak-only meter on the same samples for comparison when it is available.

#include <benchmark/benchmark.h>

#include <cmath>

#include "core/audio/LevelMeter.h"

#if DUNMOOR_HAVE_EBUR128
 #include <ebur128.h>
#endif

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr int numFrames = 4 * 60 * 48000;

    /** Something shaped like a finished mix: a bass line, sustained chords with a few partials,
        decaying drum hits of filtered noise, a pink-ish bed, a slow arrangement envelope, and a
        mastering-style soft limit. Its crest factor is in the range of real cue mixes. */
    juce::AudioBuffer<double> makeMix (double drive)
    {
        juce::AudioBuffer<double> mix (2, numFrames);
        juce::Random random (424242);
        const double twoPi = juce::MathConstants<double>::twoPi;
        const double chordRoots[] = { 220.0, 174.61, 261.63, 196.0 };
        double pinkL = 0.0, pinkR = 0.0, hitEnvelope = 0.0, hitNoiseLp = 0.0;

        for (int i = 0; i < numFrames; ++i)
        {
            const double t = i / sampleRate;
            const int bar = (int) (t / 2.0);
            const double root = chordRoots[bar % 4];
            const double beatPhase = std::fmod (t, 0.5) / 0.5;

            const double arrangement = 0.55 + 0.45 * std::sin (twoPi * t / 96.0);
            const double bass = 0.35 * std::sin (twoPi * root / 4.0 * t) * std::exp (-3.0 * beatPhase);

            double chord = 0.0;

            for (int k = 0; k < 3; ++k)
            {
                const double f = root * (k == 0 ? 1.0 : (k == 1 ? 1.26 : 1.5));
                chord += 0.08 * std::sin (twoPi * f * t) + 0.03 * std::sin (twoPi * 2.0 * f * t + 0.7)
                       + 0.015 * std::sin (twoPi * 3.0 * f * t + 1.3);
            }

            if (i % 24000 == 0)
                hitEnvelope = 1.0;

            hitEnvelope *= 0.9996;
            hitNoiseLp = 0.7 * hitNoiseLp + 0.3 * (random.nextDouble() * 2.0 - 1.0);
            const double hit = 0.5 * hitEnvelope * hitNoiseLp;

            pinkL = 0.98 * pinkL + 0.02 * (random.nextDouble() * 2.0 - 1.0);
            pinkR = 0.98 * pinkR + 0.02 * (random.nextDouble() * 2.0 - 1.0);

            const double common = arrangement * (bass + chord) + hit;
            const double left = std::tanh (drive * (common + 0.6 * pinkL + 0.02 * std::sin (twoPi * 5000.0 * t)));
            const double right = std::tanh (drive * (0.95 * common + 0.6 * pinkR));
            mix.setSample (0, i, 0.8 * left);
            mix.setSample (1, i, 0.8 * right);
        }

        return mix;
    }

    /** 0: a mix with the dynamics of a film cue; 1: a loud, densely limited master, where many
        more intervals come near the peak and must be interpolated. */
    const juce::AudioBuffer<double>& getMix (int64_t kind)
    {
        static const juce::AudioBuffer<double> cue = makeMix (1.4);
        static const juce::AudioBuffer<double> master = makeMix (6.0);
        return kind == 0 ? cue : master;
    }

    void reportMixFigures (benchmark::State& state, const juce::AudioBuffer<double>& mix, double truePeak)
    {
        const double peak = dunmoor::measureSamplePeak (mix);
        int64_t loud = 0;

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < numFrames; ++i)
                loud += std::abs (mix.getSample (ch, i)) >= peak * 0.5 ? 1 : 0;

        state.counters["truePeakDb"] = dunmoor::gainToDecibels (truePeak);
        state.counters["samplePeakDb"] = dunmoor::gainToDecibels (peak);
        state.counters["samplesAboveHalfPeak%"] = 100.0 * (double) loud / (2.0 * numFrames);
    }
} // namespace

static void BM_TruePeak (benchmark::State& state)
{
    const auto& mix = getMix (state.range (0));
    const int oversampling = (int) state.range (1);
    double truePeak = 0.0;

    for (auto _ : state)
    {
        truePeak = dunmoor::measurePeaks (mix, dunmoor::PeakMode::truePeak, oversampling).truePeak;
        benchmark::DoNotOptimize (truePeak);
    }

    reportMixFigures (state, mix, truePeak);
}
BENCHMARK (BM_TruePeak)->ArgNames ({ "mix", "factor" })->ArgsProduct ({ { 0, 1 }, { 4, 2, 8 } })->Unit (benchmark::kMillisecond)->UseRealTime();

static void BM_SamplePeak (benchmark::State& state)
{
    const auto& mix = getMix (0);

    for (auto _ : state)
        benchmark::DoNotOptimize (dunmoor::measureSamplePeak (mix));
}
BENCHMARK (BM_SamplePeak)->Unit (benchmark::kMillisecond)->UseRealTime();

#if DUNMOOR_HAVE_EBUR128
static void BM_TruePeakLibebur128 (benchmark::State& state)
{
    const auto& mix = getMix (state.range (0));
    std::vector<double> interleaved ((size_t) numFrames * 2);

    for (int i = 0; i < numFrames; ++i)
    {
        interleaved[(size_t) i * 2] = mix.getSample (0, i);
        interleaved[(size_t) i * 2 + 1] = mix.getSample (1, i);
    }

    double truePeak = 0.0;

    for (auto _ : state)
    {
        ebur128_state* meter = ebur128_init (2, (unsigned long) sampleRate, EBUR128_MODE_TRUE_PEAK);
        ebur128_add_frames_double (meter, interleaved.data(), (size_t) numFrames);
        double left = 0.0, right = 0.0;
        ebur128_true_peak (meter, 0, &left);
        ebur128_true_peak (meter, 1, &right);
        ebur128_destroy (&meter);
        truePeak = std::max (left, right);
        benchmark::DoNotOptimize (truePeak);
    }

    reportMixFigures (state, mix, truePeak);
}
BENCHMARK (BM_TruePeakLibebur128)->ArgName ("mix")->Arg (0)->Arg (1)->Unit (benchmark::kMillisecond)->UseRealTime();
#endif

BENCHMARK_MAIN();
