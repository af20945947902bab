// The Import page over a session of 2048 tracks in 32 cues (the generated import tree) with the
// example preset: rebuilding the rows after an import, re-sorting by each column, a search
// keystroke. Run pinned to one core, e.g. `taskset -c 0 build/bench/ImportPageBench`.

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ImportTree.h"
#include "core/model/BuiltInPresets.h"
#include "ui/pages/import/ImportRowModel.h"

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;

struct ImportedTree
{
    ImportedTree()
    {
        session.setPreset (makeHybridOrchestraExamplePreset());
        (void) session.importFiles ({ bench::tree().root }, true);
    }

    Session session;
    juce::Font font { 14.5f };
    TextMeasure measure = [this] (const juce::String& text) { return (int) std::ceil (font.getStringWidthFloat (text)); };
    ImportRowModel::ClipLookup clips = [] (const Track&) { return ClipState::clean; };
};

ImportedTree& imported()
{
    static ImportedTree t;
    return t;
}

// What the page does on tracksChanged after an import: filter, keys, sort and column fitting.
void BM_RowsRebuiltAfterImport (benchmark::State& state)
{
    auto& t = imported();
    ImportRowModel rows;

    for (auto _ : state)
    {
        rows.refresh (t.session, {}, ImportColumn::file, true, t.clips);
        const auto status = getImportStatus (t.session);
        benchmark::DoNotOptimize (fitColumnsToContent (t.session, rows.getTrackIds(), status.cueColumnVisible, t.measure));
    }

    state.counters["rows"] = rows.getNumRows();
}
BENCHMARK (BM_RowsRebuiltAfterImport)->Unit (benchmark::kMillisecond);

// A click on a column header: keys for that column, then the sort.
void BM_SortByColumn (benchmark::State& state)
{
    auto& t = imported();
    ImportRowModel rows;
    const auto column = (int) state.range (0);

    for (auto _ : state)
        rows.refresh (t.session, {}, column, false, t.clips);

    state.SetLabel (getImportColumns()[(size_t) column - 1].caption);
}
BENCHMARK (BM_SortByColumn)->DenseRange (1, ImportColumn::count)->Unit (benchmark::kMillisecond);

// One keystroke in the search field: the rows are filtered and sorted again.
void BM_SearchKeystroke (benchmark::State& state)
{
    auto& t = imported();
    ImportRowModel rows;
    const juce::String texts[] = { "v", "vi", "vio", "viol" };
    int i = 0;

    for (auto _ : state)
        rows.refresh (t.session, texts[i++ % 4], ImportColumn::file, true, t.clips);
}
BENCHMARK (BM_SearchKeystroke)->Unit (benchmark::kMillisecond);

} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
