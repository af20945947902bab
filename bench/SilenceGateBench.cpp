// The per-track steps of the render on a 4-minute stereo track at 48 kHz: the silence gate
// (run on every track, twice per render) and the leading-silence scan of a mix.

#include <benchmark/benchmark.h>

#include <cmath>

#include "core/audio/LeadingSilence.h"
#include "core/audio/SilenceGate.h"

namespace
{
    constexpr int numFrames = 4 * 60 * 48000;

    /** An instrument that plays for 8 s and rests for 8 s over a noise floor at about -100 dB. */
    const juce::AudioBuffer<double>& getTrack()
    {
        static const juce::AudioBuffer<double> track = []
        {
            juce::AudioBuffer<double> b (2, numFrames);
            juce::Random random (77);

            for (int i = 0; i < numFrames; ++i)
            {
                const double t = i / 48000.0;
                const bool playing = std::fmod (t, 16.0) < 8.0;
                const double tone = playing ? 0.3 * std::sin (juce::MathConstants<double>::twoPi * 220.0 * t) : 0.0;

                for (int ch = 0; ch < 2; ++ch)
                    b.setSample (ch, i, tone + (random.nextDouble() - 0.5) * 2e-5);
            }

            return b;
        }();

        return track;
    }
} // namespace

static void BM_SilenceGate (benchmark::State& state)
{
    dunmoor::SilenceGateSettings settings;
    settings.enabled = true;
    juce::AudioBuffer<double> work;

    for (auto _ : state)
    {
        state.PauseTiming();
        work.makeCopyOf (getTrack());
        state.ResumeTiming();

        const auto report = dunmoor::applySilenceGate (work, 48000.0, settings);
        benchmark::DoNotOptimize (report.gatedSamples);
    }
}
BENCHMARK (BM_SilenceGate)->Unit (benchmark::kMillisecond);

static void BM_LeadingSilenceOfASilentMix (benchmark::State& state)
{
    // The worst case: nothing above the threshold, so every frame is looked at.
    juce::AudioBuffer<double> quiet (2, numFrames);
    quiet.clear();

    for (auto _ : state)
        benchmark::DoNotOptimize (dunmoor::findLeadingSilence (quiet, 48000.0, dunmoor::leadingSilenceThreshold));
}
BENCHMARK (BM_LeadingSilenceOfASilentMix)->Unit (benchmark::kMillisecond);

BENCHMARK_MAIN();
