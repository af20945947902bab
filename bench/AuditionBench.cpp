// Audition and waveform cache, on generated 4-minute stereo 24-bit 48 kHz tracks read from the
// page cache, played on the fake output device of the UI tests (48 kHz, 512-frame blocks).
//
// Goals:
//   firstSoundOneTrack    play() to the first non-silent block handed to the device < 150 ms
//   cueMix48              48 tracks summed, play() to sound < 1.5 s on 8 cores; the sum equals the
//                         plain sum in file order (sum_exact = 1)
//   callbackWhileLoading  worst audio callback over 10,000 blocks while loads and seeks run
//                         < 10 % of the 10.67 ms block period; skipped blocks reported
//   cacheOverviews48      overviews of the 48 tracks < 1 s with the default worker count
//   cacheGetCached        WaveformCache::get of a cached path < 5 us
//
// The 48 tracks take 3.3 GB in the temporary folder while the benchmark runs.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "core/audio/AudioFileReader.h"
#include "core/audio/WaveformOverview.h"
#include "ui/FakeAudioDevice.h"
#include "ui/PlainSum.h"
#include "ui/app/PreviewEngine.h"
#include "ui/app/WaveformCache.h"

using namespace dunmoor;
using dunmoor::testing::FakeAudioOutput;

namespace
{
constexpr double rate = 48000.0;
constexpr int seconds = 240;
constexpr int numTracks = 48;

/** Four-minute stereo tracks, each its own mixture of two tones and noise, written when first needed. */
struct Tracks
{
    ~Tracks() { folder.deleteRecursively(); }

    const juce::Array<juce::File>& get (int count)
    {
        folder.createDirectory();
        const int first = files.size();

        for (int i = first; i < count; ++i)
            files.add (folder.getChildFile ("Track " + juce::String (i + 1).paddedLeft ('0', 2) + ".wav"));

        std::vector<std::thread> writers;
        std::atomic<int> next { first };

        for (int t = 0; t < 8; ++t)
            writers.emplace_back ([&] {
                for (int i = next++; i < count; i = next++)
                    write (files[i], i);
            });

        for (auto& writer : writers)
            writer.join();

        return files;
    }

    static void write (const juce::File& file, int index)
    {
        auto stream = file.createOutputStream();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), rate, 2, 24, {}, 0));
        stream.release();

        constexpr int tableSize = 4096;
        std::vector<float> sine (tableSize);
        for (int i = 0; i < tableSize; ++i)
            sine[(size_t) i] = (float) std::sin (juce::MathConstants<double>::twoPi * i / tableSize);

        juce::Random random (index + 1);
        const double stepA = tableSize * (110.0 + 37.0 * index) / rate;
        const double stepB = tableSize * (523.0 + 11.0 * index) / rate;
        double phaseA = 0.0, phaseB = 0.0;
        juce::AudioBuffer<float> block (2, 48000);
        const int frames = seconds * (int) rate;

        for (int done = 0; done < frames; done += block.getNumSamples())
        {
            for (int i = 0; i < block.getNumSamples(); ++i)
            {
                const float a = sine[(size_t) phaseA % tableSize], b = sine[(size_t) phaseB % tableSize];
                const float noise = 0.01f * (random.nextFloat() - 0.5f);
                block.setSample (0, i, 0.06f * a + 0.03f * b + noise);
                block.setSample (1, i, 0.03f * a - 0.05f * b + noise);
                phaseA = std::fmod (phaseA + stepA, (double) tableSize);
                phaseB = std::fmod (phaseB + stepB, (double) tableSize);
            }

            writer->writeFromAudioSampleBuffer (block, 0, std::min (block.getNumSamples(), frames - done));
        }
    }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("dunmoor-audition-bench", "", false);
    juce::Array<juce::File> files;
};

const juce::Array<juce::File>& tracks (int count = numTracks)
{
    static Tracks instance;
    return instance.get (count);
}

std::shared_ptr<FakeAudioOutput> makeOutput (FakeAudioOutput::Pacing pacing, double blockPeriodMs = 0.0)
{
    FakeAudioOutput::Settings settings;
    settings.pacing = pacing;
    settings.blockPeriodMs = blockPeriodMs;
    return std::make_shared<FakeAudioOutput> (settings);
}

void waitFor (const std::function<bool()>& condition)
{
    while (! condition())
        std::this_thread::sleep_for (std::chrono::microseconds (200));
}

/** play() to the first block with sound that the device receives, in milliseconds. */
double playToSound (ui::PreviewEngine& engine, FakeAudioOutput& output, const juce::Array<juce::File>& files)
{
    const auto heard = output.getNonSilentBlockCount();
    const auto start = juce::Time::getMillisecondCounterHiRes();
    engine.play (files, rate, "Bench", "mix:bench", 0.0, 0.0);
    waitFor ([&] { return output.getNonSilentBlockCount() > heard; });
    const auto elapsed = juce::Time::getMillisecondCounterHiRes() - start;

    engine.stop();
    waitFor ([&] { return ! engine.isPlaying(); });
    return elapsed;
}

void firstSoundOneTrack (benchmark::State& state)
{
    const juce::Array<juce::File> one { tracks (1)[0] };
    auto output = makeOutput (FakeAudioOutput::Pacing::realTime);
    ui::PreviewEngine engine (output->createType());
    playToSound (engine, *output, one); // the file into the page cache

    for (auto _ : state)
        state.SetIterationTime (playToSound (engine, *output, one) / 1000.0);
}

/** Whether the engine's mix equals the plain sum in file order: its overview, and the samples
    of 20 stretches across the window, played after a jump so no fade touches them. */
bool mixEqualsPlainSum (int& comparedSamples)
{
    const auto& files = tracks();
    auto output = makeOutput (FakeAudioOutput::Pacing::manual);
    ui::PreviewEngine engine (output->createType());
    engine.play (files, rate, "Bench", "mix:bench", 0.0, 0.0);
    waitFor ([&] { return ! engine.isLoading(); });

    const auto sum = testing::plainSequentialSum (files, rate, 0.0, ui::PreviewEngine::maxWindowSeconds);
    juce::AudioBuffer<float> sum32 (sum.getNumChannels(), sum.getNumSamples());

    for (int ch = 0; ch < sum.getNumChannels(); ++ch)
        for (int i = 0; i < sum.getNumSamples(); ++i)
            sum32.setSample (ch, i, (float) sum.getSample (ch, i));

    const auto expected = overviewFromBuffer (sum32, rate, ui::PreviewEngine::overviewBuckets);
    const auto overview = engine.getMixOverview();

    if (overview.minimums != expected.minimums || overview.maximums != expected.maximums)
        return false;

    juce::AudioBuffer<float> heard;
    juce::int64 wanted = -1;
    output->setBlockObserver ([&] (const juce::AudioBuffer<float>& block, juce::int64 index) {
        if (index == wanted)
            heard.makeCopyOf (block);
    });

    bool equal = true;
    comparedSamples = 0;

    for (int checkpoint = 1; checkpoint <= 20; ++checkpoint)
    {
        const double fraction = checkpoint / 21.0;
        const int position = (int) (fraction * sum.getNumSamples());
        engine.seekWithinWindow (fraction);
        wanted = output->getBlockCount() + 1; // the block after the crossfaded one
        output->renderBlocks (2);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < heard.getNumSamples(); ++i, ++comparedSamples)
                equal &= heard.getSample (ch, i) == sum32.getSample (ch, position + 512 + i);
    }

    output->setBlockObserver (nullptr);
    return equal;
}

void cueMix48 (benchmark::State& state)
{
    auto output = makeOutput (FakeAudioOutput::Pacing::realTime);
    ui::PreviewEngine engine (output->createType());
    playToSound (engine, *output, tracks()); // every file into the page cache

    for (auto _ : state)
        state.SetIterationTime (playToSound (engine, *output, tracks()) / 1000.0);

    int compared = 0;
    state.counters["sum_exact"] = mixEqualsPlainSum (compared) ? 1.0 : 0.0;
    state.counters["samples_compared"] = compared;
}

void callbackWhileLoading (benchmark::State& state)
{
    // Blocks every 0.5 ms, so 10,000 of them take five seconds of loads and seeks.
    auto output = makeOutput (FakeAudioOutput::Pacing::realTime, 0.5);
    ui::PreviewEngine engine (output->createType());
    const juce::Array<juce::File> one { tracks (2)[1] };
    int loads = 0, seeks = 0;

    for (auto _ : state)
    {
        output->resetCallbackTimes();
        const auto firstBlock = output->getBlockCount();
        const auto skippedBefore = engine.getSkippedBlockCount();

        while (output->getBlockCount() < firstBlock + 10000)
        {
            engine.play (one, rate, "Bench", "track:bench", 0.0, 0.0);
            ++loads;

            while (engine.isLoading() && output->getBlockCount() < firstBlock + 10000)
            {
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
                benchmark::DoNotOptimize (engine.getPlayheadSeconds());
            }

            for (int i = 0; i < 20 && output->getBlockCount() < firstBlock + 10000; ++i, ++seeks)
            {
                engine.seekWithinWindow ((i % 7) / 7.0);
                engine.seekToFraction ((i % 5) / 5.0);
                std::this_thread::sleep_for (std::chrono::milliseconds (2));
            }
        }

        state.counters["skipped_blocks"] = (double) (engine.getSkippedBlockCount() - skippedBefore);
    }

    const double periodMs = 512.0 / rate * 1000.0;
    state.counters["worst_ms"] = output->getWorstCallbackMs();
    state.counters["worst_pct_of_block"] = 100.0 * output->getWorstCallbackMs() / periodMs;
    state.counters["worst_cpu_ms"] = output->getWorstCallbackCpuMs();
    state.counters["worst_cpu_pct_of_block"] = 100.0 * output->getWorstCallbackCpuMs() / periodMs;
    state.counters["loads"] = loads;
    state.counters["seeks"] = seeks;
}

void cacheOverviews48 (benchmark::State& state)
{
    juce::StringArray paths;
    for (const auto& file : tracks())
        paths.add (file.getFullPathName());

    for (auto _ : state)
    {
        ui::WaveformCache cache;
        const auto start = juce::Time::getMillisecondCounterHiRes();

        for (const auto& path : paths)
            benchmark::DoNotOptimize (cache.get (path));

        waitFor ([&] { return cache.getNumCached() == numTracks; });
        state.SetIterationTime ((juce::Time::getMillisecondCounterHiRes() - start) / 1000.0);
        state.counters["threads"] = cache.getNumThreads();
    }
}

void cacheGetCached (benchmark::State& state)
{
    ui::WaveformCache cache;
    juce::StringArray paths;
    for (const auto& file : tracks())
        paths.add (file.getFullPathName());

    for (const auto& path : paths)
        benchmark::DoNotOptimize (cache.get (path));

    waitFor ([&] { return cache.getNumCached() == numTracks; });
    int i = 0;

    for (auto _ : state)
        benchmark::DoNotOptimize (cache.get (paths[i++ % numTracks]));
}
} // namespace

BENCHMARK (firstSoundOneTrack)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (20);
BENCHMARK (cueMix48)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (3);
BENCHMARK (callbackWhileLoading)->Unit (benchmark::kMillisecond)->UseRealTime()->Iterations (1);
BENCHMARK (cacheOverviews48)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (3);
BENCHMARK (cacheGetCached)->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
