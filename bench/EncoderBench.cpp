// Dither and encode of four minutes of stereo 48 kHz audio held as 64-bit samples.
// Goals: 24-bit WAV with TPDF dither under 0.4 s, 24-bit FLAC under 2 s, on one core; the
// dither's random generator must not dominate. The shaped dither (the default kind), the
// raw write of the same number of bytes and juce::Random's own nextDouble() are measured
// as references.

#include <benchmark/benchmark.h>

#include <cmath>

#include "BenchTime.h"
#include "core/codec/Dither.h"
#include "core/codec/JuceFileEncoder.h"

using namespace dunmoor;

namespace
{
    const int numFrames = (int) std::llround (4.0 * 60.0 * 48000.0);

    const juce::AudioBuffer<double>& fourMinutes()
    {
        static const auto audio = []
        {
            juce::AudioBuffer<double> buffer (2, numFrames);
            juce::Random random (1234);

            for (int ch = 0; ch < 2; ++ch)
            {
                auto* data = buffer.getWritePointer (ch);
                for (int i = 0; i < numFrames; ++i)
                    data[i] = 0.5 * std::sin (0.0123 * i * (ch + 1)) + 0.05 * (random.nextDouble() - 0.5);
            }

            return buffer;
        }();

        return audio;
    }

    juce::File benchFolder()
    {
        static const auto folder = []
        {
            auto f = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("encoder-bench");
            (void) f.createDirectory();
            return f;
        }();

        return folder;
    }

    void encodeBenchmark (benchmark::State& state, Codec codec, DitherKind dither)
    {
        const auto& audio = fourMinutes();
        const auto target = benchFolder().getChildFile ("bench" + codecFileExtension (codec));

        EncoderSettings settings;
        settings.codec = codec;
        settings.sampleFormat = SampleFormat::pcm24;
        settings.dither = dither;
        settings.ditherSeed = 42;

        JuceFileEncoder encoder (codec);

        for (auto _ : state)
        {
            juce::String error;
            if (! encoder.encode (audio, target, settings, error))
            {
                state.SkipWithError (error.toRawUTF8());
                break;
            }
        }

        state.counters["MB"] = (double) target.getSize() / 1.0e6;
        state.counters["xRealtime"] = benchmark::Counter (240.0 * (double) state.iterations(), benchmark::Counter::kIsRate);
        target.deleteFile();
    }
} // namespace

static void BM_EncodeWav24Tpdf (benchmark::State& state) { encodeBenchmark (state, Codec::wav, DitherKind::tpdf); }
static void BM_EncodeFlac24Tpdf (benchmark::State& state) { encodeBenchmark (state, Codec::flac, DitherKind::tpdf); }
static void BM_EncodeWav24Shaped (benchmark::State& state) { encodeBenchmark (state, Codec::wav, DitherKind::tpdfShaped); }

static void BM_DitherOnly (benchmark::State& state)
{
    const auto& audio = fourMinutes();
    const auto kind = (DitherKind) state.range (0);
    std::vector<double> scratch ((size_t) JuceFileEncoder::blockSize);

    for (auto _ : state)
    {
        Dither dither (kind, 24, 42);

        for (int start = 0; start < numFrames; start += JuceFileEncoder::blockSize)
        {
            const auto frames = std::min (JuceFileEncoder::blockSize, numFrames - start);

            for (int ch = 0; ch < 2; ++ch)
            {
                std::copy_n (audio.getReadPointer (ch, start), frames, scratch.data());
                dither.process (scratch.data(), frames, ch);
                benchmark::DoNotOptimize (scratch.data());
            }
        }
    }

    state.SetLabel (ditherKindToString (kind).toStdString());
}

static void BM_RandomGeneratorOnly (benchmark::State& state)
{
    // Two draws per sample, as the dither takes them.
    for (auto _ : state)
    {
        juce::Random random (42);
        double sum = 0;

        for (int i = 0; i < 2 * numFrames; ++i)
            sum += random.nextDouble() - random.nextDouble();

        benchmark::DoNotOptimize (sum);
    }
}

static void BM_RawWriteOfTheSameBytes (benchmark::State& state)
{
    // A new file each time, as the encoder writes one; with and without forcing it to disk
    // (the encoder flushes, which forces the data to disk, before it commits).
    const auto syncToDisk = state.range (0) != 0;
    const auto bytes = (size_t) numFrames * 2 * 3;
    const auto chunk = (size_t) JuceFileEncoder::blockSize * 2 * 3; // one encoder block
    juce::MemoryBlock block (chunk, true);
    const auto target = benchFolder().getChildFile ("raw.bin");

    for (auto _ : state)
    {
        target.deleteFile();
        juce::FileOutputStream out (target, 16384);

        for (size_t done = 0; done < bytes; done += chunk)
            out.write (block.getData(), std::min (chunk, bytes - done));

        if (syncToDisk)
            out.flush();
    }

    state.SetLabel (syncToDisk ? "flushed to disk" : "page cache only");
    target.deleteFile();
}

BENCHMARK (BM_EncodeWav24Tpdf)->Unit (benchmark::kMillisecond)->UseRealTime()->MinTime (dunmoor::bench::benchMinTime (2.0));
BENCHMARK (BM_EncodeFlac24Tpdf)->Unit (benchmark::kMillisecond)->UseRealTime()->MinTime (dunmoor::bench::benchMinTime (2.0));
BENCHMARK (BM_EncodeWav24Shaped)->Unit (benchmark::kMillisecond)->UseRealTime()->MinTime (dunmoor::bench::benchMinTime (2.0));
BENCHMARK (BM_DitherOnly)->Arg ((int) DitherKind::tpdf)->Arg ((int) DitherKind::tpdfShaped)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_RandomGeneratorOnly)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_RawWriteOfTheSameBytes)->Arg (0)->Arg (1)->Unit (benchmark::kMillisecond)->UseRealTime()->MinTime (dunmoor::bench::benchMinTime (2.0));

int main (int argc, char** argv)
{
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    benchFolder().deleteRecursively();
    return 0;
}
