// Building the reports of a run of 16-stem cues, each cue writing its stems, a full mix and two
// alternative mixes in two formats (40 files a cue), every file with its 1400-bucket waveform:
// a typical run of 4 cues and a large one of 20 (800 files).

#include <benchmark/benchmark.h>

#include <cmath>

#include "core/render/HtmlReport.h"

namespace
{
    dunmoor::BatchReport makeRun (int numCues)
    {
        dunmoor::WaveformOverview overview;
        overview.peak = 0.8f;

        for (int i = 0; i < 1400; ++i)
        {
            const auto v = 0.8f * (float) std::abs (std::sin (i * 0.05));
            overview.minimums.push_back (-v);
            overview.maximums.push_back (v);
        }

        dunmoor::BatchReport r;
        r.outputRoot = juce::File ("/deliveries/Harbour");

        for (int c = 0; c < numCues; ++c)
        {
            dunmoor::CueReport cue;
            cue.ok = true;
            cue.cueName = "1m" + juce::String (c).paddedLeft ('0', 2) + " Cue";
            cue.sampleRate = 48000.0;
            cue.lengthInFrames = 48000 * 180;
            cue.numChannels = 2;

            for (int s = 0; s < 16; ++s)
            {
                dunmoor::StemReport stem;
                stem.name = "Stem " + juce::String (s + 1);
                stem.index = s + 1;
                stem.trackCount = 3;
                stem.peakDb = stem.peakAfterDb = -6.0;
                cue.stems.push_back (stem);
            }

            for (int f = 0; f < 40; ++f)
            {
                dunmoor::WrittenFile file;
                file.file = r.outputRoot.getChildFile (cue.cueName + "_" + juce::String (f) + ".wav");
                file.settingsDescription = "WAV 24 bit 48 kHz";
                file.kind = f < 32 ? 0 : (f < 36 ? 1 : 2);
                file.fileSize = 51840044;
                file.overview = overview;
                cue.files.push_back (file);
            }

            r.cues.push_back (cue);
        }

        return r;
    }
} // namespace

static void BM_HtmlReport (benchmark::State& state)
{
    const auto report = makeRun ((int) state.range (0));
    size_t bytes = 0;

    for (auto _ : state)
    {
        const auto html = dunmoor::buildHtmlReport (report);
        bytes = html.getNumBytesAsUTF8();
        benchmark::DoNotOptimize (bytes);
    }

    state.counters["MB"] = (double) bytes / 1048576.0;
}
BENCHMARK (BM_HtmlReport)->Arg (4)->Arg (20)->Unit (benchmark::kMillisecond);

static void BM_BatchReportText (benchmark::State& state)
{
    const auto report = makeRun ((int) state.range (0));

    for (auto _ : state)
        benchmark::DoNotOptimize (dunmoor::formatBatchReportText (report));
}
BENCHMARK (BM_BatchReportText)->Arg (20)->Unit (benchmark::kMillisecond);

BENCHMARK_MAIN();
