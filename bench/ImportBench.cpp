// Import of a folder tree of 2048 small audio files (4 reels x 8 cues x 64 files, mostly WAV with
// some AIFF and FLAC) into a session holding the default 16-stem schema: scan, cue grouping,
// header probe of every file and the automatic assignment. Also the per-row lookups of the
// pages over the full session. Run pinned to one core, e.g. `taskset -c 0 build/bench/ImportBench`.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>

#include "BenchTime.h"
#include "ImportTree.h"
#include "core/model/BuiltInPresets.h"
#include "core/session/Session.h"

namespace
{
using namespace dunmoor;

using bench::tree;

void BM_ImportTree (benchmark::State& state)
{
    if (tree().failed)
    {
        state.SkipWithError ("could not write the test tree");
        return;
    }

    const auto preset = makeHybridOrchestraExamplePreset();
    int imported = 0;

    for (auto _ : state)
    {
        state.PauseTiming();
        auto session = std::make_unique<Session>();
        session->setPreset (preset);
        state.ResumeTiming();

        const auto summary = session->importFiles ({ tree().root }, true);
        imported = summary.imported;
        benchmark::DoNotOptimize (summary);

        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }

    state.counters["imported"] = imported;
    state.counters["files/s"] = benchmark::Counter ((double) imported, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK (BM_ImportTree)->Unit (benchmark::kMillisecond)->MinTime (dunmoor::bench::benchMinTime (3.0));

struct ImportedSession
{
    ImportedSession()
    {
        session.setPreset (makeHybridOrchestraExamplePreset());
        (void) session.importFiles ({ tree().root }, true);

        for (const auto& track : session.getTracks())
            ids.add (track.id);
    }

    Session session;
    juce::StringArray ids;
};

// What a page does to refresh its rows: the track of each row by id, and its cue.
void BM_TrackAndCueOfEveryRow (benchmark::State& state)
{
    ImportedSession imported;
    const auto& session = imported.session;

    for (auto _ : state)
    {
        size_t found = 0;
        for (const auto& id : imported.ids)
            if (const auto* track = session.findTrack (id))
                found += session.findCue (track->cueKey) != nullptr;

        benchmark::DoNotOptimize (found);
    }

    state.counters["rows"] = (double) imported.ids.size();
}
BENCHMARK (BM_TrackAndCueOfEveryRow)->Unit (benchmark::kMicrosecond);

// A page asking for the cues with tracks once per row.
void BM_CuesWithTracksForEveryRow (benchmark::State& state)
{
    ImportedSession imported;

    for (auto _ : state)
        for (int row = 0; row < imported.ids.size(); ++row)
            benchmark::DoNotOptimize (imported.session.getCuesWithTracks());

    state.counters["rows"] = (double) imported.ids.size();
}
BENCHMARK (BM_CuesWithTracksForEveryRow)->Unit (benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
