// Whole-file reads as the render does them for every track: 4 minutes of 24-bit stereo at 48 kHz
// into 64-bit samples. Goal: under 0.3 s, with a peak memory near the 8 bytes per sample of the
// result. The file is written once into a temporary folder and read from the page cache.
// FLAC also: a ten-second window from the middle, and the probe every import runs.
// A WAV with a metadata chunk of gigabytes (a 4 GB "Trkn" after the data, a 2.1 GB "iXML"
// before it; zeros in a sparse file): probe and whole read. Goal: under a second and 100 MB.
// A FLAC with 400 PADDING blocks of 16 MiB before its frames (sparse too): probe and whole read.
// Goal: under a second.
//
// peak_MB is the growth of the process's resident set while one read runs (Linux only: the
// high-water mark is reset before the read), the result buffer included.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "BenchTime.h"
#include "audio/AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/WaveformOverview.h"

using namespace dunmoor;

namespace
{
constexpr double rate = 48000.0;
constexpr int frames = (int) (240.0 * rate);
constexpr int channels = 2;

struct TestFiles
{
    TestFiles()
    {
        folder.createDirectory();
        write (wav, std::make_unique<juce::WavAudioFormat>());
        write (flac, std::make_unique<juce::FlacAudioFormat>());
    }

    ~TestFiles()
    {
        folder.deleteRecursively();
    }

    static void write (const juce::File& file, std::unique_ptr<juce::AudioFormat> format)
    {
        auto stream = file.createOutputStream();
        std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (stream.get(), rate, channels, 24, {}, 0));
        stream.release();

        juce::AudioBuffer<float> block (channels, 48000);
        juce::Random random (3);

        for (int done = 0; done < frames; done += block.getNumSamples())
        {
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < block.getNumSamples(); ++i)
                    block.setSample (ch, i, (float) (0.5 * std::sin ((done + i) * 0.013 * (ch + 1)) + 0.05 * (random.nextFloat() - 0.5f)));

            writer->writeFromAudioSampleBuffer (block, 0, std::min (block.getNumSamples(), frames - done));
        }
    }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("dunmoor-read-bench", "", false);
    juce::File wav = folder.getChildFile ("four-minutes.wav");
    juce::File flac = folder.getChildFile ("four-minutes.flac");
};

const TestFiles& files()
{
    static const TestFiles instance;
    return instance;
}

juce::int64 statusValueKb (const char* key)
{
    const auto lines = juce::StringArray::fromLines (juce::File ("/proc/self/status").loadFileAsString());

    for (const auto& line : lines)
        if (line.startsWith (key))
            return line.fromFirstOccurrenceOf (":", false, false).trim().getLargeIntValue();

    return -1;
}

// Megabytes by which the resident set grew at its highest while fn ran; -1 where unknown.
double peakGrowthMb (const std::function<void()>& fn)
{
    const auto before = statusValueKb ("VmRSS");

    if (auto* f = std::fopen ("/proc/self/clear_refs", "w")) // "5" resets the high-water mark
    {
        std::fputs ("5", f);
        std::fclose (f);
    }

    fn();
    const auto peak = statusValueKb ("VmHWM");
    return before < 0 || peak < 0 ? -1.0 : (double) (peak - before) / 1024.0;
}

void readWhole (benchmark::State& state, const juce::File& file, double targetRate)
{
    juce::String error;

    for (auto _ : state)
    {
        juce::AudioBuffer<double> buffer;

        if (! readAudioFile (file, targetRate, buffer, error))
            state.SkipWithError (error.toRawUTF8());

        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    double resultSamples = 0.0;
    const double growth = peakGrowthMb ([&]
                                        {
            juce::AudioBuffer<double> buffer;
            (void) readAudioFile (file, targetRate, buffer, error);
            resultSamples = (double) buffer.getNumSamples() * buffer.getNumChannels(); });

    state.counters["peak_MB"] = growth;
    state.counters["result_MB"] = resultSamples * 8.0 / (1024.0 * 1024.0);
    state.counters["peak_bytes_per_sample"] = growth * 1024.0 * 1024.0 / resultSamples;
}

void wavAtOwnRate (benchmark::State& state) { readWhole (state, files().wav, 0.0); }
void wavTo44100 (benchmark::State& state) { readWhole (state, files().wav, 44100.0); }
void flacAtOwnRate (benchmark::State& state) { readWhole (state, files().flac, 0.0); }

void flacWindow (benchmark::State& state)
{
    // Ten seconds from the middle: a seek, then the window's frames.
    juce::String error;

    for (auto _ : state)
    {
        juce::AudioBuffer<double> buffer;

        if (! readAudioFileRange (files().flac, 0.0, 120.0, 10.0, buffer, error))
            state.SkipWithError (error.toRawUTF8());

        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
}

void flacProbe (benchmark::State& state)
{
    // Runs for every imported file: header, limits and a check that the stream's end is there.
    juce::String error;

    for (auto _ : state)
    {
        AudioFileInfo info;

        if (! probeAudioFile (files().flac, info, error))
            state.SkipWithError (error.toRawUTF8());

        benchmark::DoNotOptimize (info.lengthInSamples);
    }
}

// One second of 16-bit stereo with one chunk of the given id and length (never written: the
// file is sparse) after or before the data; removed when the benchmark ends.
struct HugeChunkFile
{
    HugeChunkFile (const char* id, juce::int64 length, bool beforeData)
    {
        folder.createDirectory();

        juce::MemoryOutputStream data;

        for (int i = 0; i < 48000; ++i)
            for (int ch = 0; ch < 2; ++ch)
                data.writeShort ((short) (10000.0 * std::sin (i * 0.01 + ch)));

        juce::FileOutputStream out (file);
        out.write ("RIFF\0\0\0\0WAVEfmt ", 16);

        for (int field : { 16, 0x00020001, 48000, 48000 * 4, 0x00100004 })
            out.writeInt (field);

        const auto writeData = [&] { out.write ("data", 4); out.writeInt ((int) data.getDataSize()); out << data.getMemoryBlock(); };
        const auto writeChunk = [&]
        {
            out.write (id, 4);
            out.writeInt ((int) (juce::uint32) length);
            // Only the chunk's last byte is written; the file system keeps the rest as a hole.
            (void) out.setPosition (out.getPosition() + length - 1);
            out.writeByte (0);
        };

        if (beforeData)
        {
            writeChunk();
            writeData();
        }
        else
        {
            writeData();
            writeChunk();
        }

        const auto size = (juce::uint32) std::min<juce::int64> (0xffffffffLL, out.getPosition() - 8);
        (void) out.setPosition (4);
        out.writeInt ((int) size);
    }

    ~HugeChunkFile() { folder.deleteRecursively(); }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("dunmoor-chunk-bench", "", false);
    juce::File file = folder.getChildFile ("huge.wav");
};

void wavWithHugeMetadata (benchmark::State& state, const char* id, juce::int64 length, bool beforeData)
{
    const HugeChunkFile huge (id, length, beforeData);
    juce::String error;

    const auto probeAndRead = [&]
    {
        AudioFileInfo info;
        juce::AudioBuffer<double> buffer;

        if (! probeAudioFile (huge.file, info, error) || ! readAudioFileAtOwnRate (huge.file, buffer, error))
            state.SkipWithError (error.toRawUTF8());

        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    };

    for (auto _ : state)
        probeAndRead();

    state.counters["file_GB"] = (double) huge.file.getSize() / 1.0e9;
    state.counters["peak_MB"] = peakGrowthMb (probeAndRead);
}

void flacWithPaddingBlocks (benchmark::State& state)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("dunmoor-flac-bench", "", false);
    folder.createDirectory();
    const auto plain = folder.getChildFile ("plain.flac");
    const auto padded = folder.getChildFile ("padded.flac");
    juce::AudioBuffer<float> second (channels, (int) rate);

    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < second.getNumSamples(); ++i)
            second.setSample (ch, i, (float) (0.5 * std::sin (i * 0.013 * (ch + 1))));

    if (! dunmoor::testing::writeAudioFile (plain, "flac", second, rate, 24)
        || dunmoor::testing::writePaddedFlac (plain, padded, 400, (1 << 24) - 1) < 0)
        state.SkipWithError ("The padded FLAC file could not be written.");

    juce::String error;

    for (auto _ : state)
    {
        AudioFileInfo info;
        juce::AudioBuffer<double> buffer;

        if (! probeAudioFile (padded, info, error) || ! readAudioFileAtOwnRate (padded, buffer, error))
            state.SkipWithError (error.toRawUTF8());

        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    state.counters["file_GB"] = (double) padded.getSize() / 1.0e9;
    folder.deleteRecursively();
}

void wavOverview (benchmark::State& state)
{
    juce::String error;

    for (auto _ : state)
    {
        auto overview = overviewFromFile (files().wav, 2000, error);
        benchmark::DoNotOptimize (overview.peak);
    }
}
} // namespace

BENCHMARK (wavAtOwnRate)->Unit (benchmark::kMillisecond)->UseRealTime()->MinTime (dunmoor::bench::benchMinTime (2.0));
BENCHMARK (wavTo44100)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (flacAtOwnRate)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (flacWindow)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (flacProbe)->Unit (benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE (wavWithHugeMetadata, trkn4GBAfterData, "Trkn", 0xfffff000LL, false)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE (wavWithHugeMetadata, ixml2GBBeforeData, "iXML", 2100000000LL, true)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (flacWithPaddingBlocks)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (wavOverview)->Unit (benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
