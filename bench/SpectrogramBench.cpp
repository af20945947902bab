// Spectrogram of a 10-minute 48 kHz stereo 24-bit WAV at the pages' settings (order 10,
// 700 columns), from the file as the Import and Report pages ask for it. The file is written
// once into the temp folder before the runs, so the runs read it from the page cache.
// For comparison: the largest frames (order 14) over the same file.

#include <benchmark/benchmark.h>

#include <cmath>

#include <juce_audio_formats/juce_audio_formats.h>

#include "core/audio/Spectrogram.h"

namespace
{
using namespace dunmoor;

constexpr double sampleRate = 48000.0;
constexpr int lengthSeconds = 600;

struct LongFile
{
    LongFile()
    {
        const auto frames = (int) (sampleRate * lengthSeconds);
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer;

        if (auto stream = file.createOutputStream())
        {
            writer.reset (wav.createWriterFor (stream.get(), sampleRate, 2, 24, {}, 0));

            if (writer != nullptr)
                stream.release();
        }

        if (writer == nullptr)
            return;

        juce::AudioBuffer<float> block (2, 65536);
        juce::Random random (1);

        for (int start = 0; start < frames; start += block.getNumSamples())
        {
            const auto count = std::min (block.getNumSamples(), frames - start);

            for (int i = 0; i < count; ++i)
            {
                const auto t = (start + i) / sampleRate;
                const auto noise = 0.05f * (random.nextFloat() - 0.5f);
                block.setSample (0, i, (float) (0.4 * std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 * t)) + noise);
                block.setSample (1, i, (float) (0.2 * std::sin (2.0 * juce::MathConstants<double>::pi * 15000.0 * t)) + noise);
            }

            writer->writeFromAudioSampleBuffer (block, 0, count);
        }

        ok = true;
    }

    ~LongFile() { file.deleteFile(); }

    juce::File file = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("spectrogram-bench", ".wav", false);
    bool ok = false;
};

LongFile& getLongFile()
{
    static LongFile longFile;
    return longFile;
}

void runFile (benchmark::State& state, int order)
{
    auto& longFile = getLongFile();

    if (! longFile.ok)
    {
        state.SkipWithError ("could not write the test file");
        return;
    }

    for (auto _ : state)
    {
        juce::String error;
        auto s = computeSpectrogram (longFile.file, error, order, 700);

        if (s.columns != 700)
            state.SkipWithError (("unexpected result: " + error).toRawUTF8());

        benchmark::DoNotOptimize (s.values.data());
    }
}

void BM_FileOrder10Columns700 (benchmark::State& state)
{
    runFile (state, 10);
}

void BM_FileOrder14Columns700 (benchmark::State& state)
{
    runFile (state, 14);
}
} // namespace

BENCHMARK (BM_FileOrder10Columns700)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_FileOrder14Columns700)->Unit (benchmark::kMillisecond);

BENCHMARK_MAIN();
