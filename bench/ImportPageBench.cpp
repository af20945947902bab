// The Import page over a session of 2048 tracks in 32 cues (the generated import tree) with the
// example preset: rebuilding the rows after an import, re-sorting by each column, a search
// keystroke, painting the visible table with its waveform thumbnails, showing the next track
// from the arrow key, and a dropped tree up to the refreshed table. Needs a display (a virtual
// one will do): `xvfb-run -a taskset -c 0 build/bench/ImportPageBench`. Settings and presets go
// to a temporary home.

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <clocale>
#include <cstdlib>

#include "ImportTree.h"
#include "core/model/BuiltInPresets.h"
#include "ui/app/AppState.h"
#include "ui/pages/import/ImportPage.h"
#include "ui/pages/import/ImportRowModel.h"
#include "ui/look/Theme.h"

namespace juce
{
// The framework's step of its message loop on Linux (as the UI tests use it).
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;

/** Runs the message loop until the condition holds or the time is up. */
bool pumpUntil (const std::function<bool()>& condition, double timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (! condition() && juce::Time::getMillisecondCounterHiRes() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);

    return condition();
}

struct ImportedTree
{
    ImportedTree()
    {
        session.setPreset (makeHybridOrchestraExamplePreset());
        (void) session.importFiles ({ bench::tree().root }, true);
    }

    Session session;
    juce::Font font = fontPlain14_5();
    TextMeasure measure = [this] (const juce::String& text) { return (int) std::ceil (font.getStringWidthFloat (text)); };
    ImportRowModel::ClipLookup clips = [] (const Track&) { return ClipState::clean; };
};

// Built on first use, released before the framework shuts down.
std::unique_ptr<ImportedTree> importedTree;

ImportedTree& imported()
{
    if (importedTree == nullptr)
        importedTree = std::make_unique<ImportedTree>();

    return *importedTree;
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

//==============================================================================
// The page itself, at the main window's size, with every overview in the cache.
struct PageWithTree
{
    PageWithTree()
    {
        app.session.setPreset (makeHybridOrchestraExamplePreset());
        page.setSize (1360, 860);
        page.importFiles ({ bench::tree().root });

        for (const auto& track : app.session.getTracks())
            app.waveformCache.prefetch (track.file.getFullPathName());

        pumpUntil ([this]
                            {
                                for (const auto& track : app.session.getTracks())
                                    if (track.isReadable() && app.waveformCache.find (track.file.getFullPathName()) == nullptr)
                                        return false;

                                return true;
                            },
                            120000);
    }

    juce::TableListBox& table() { return *dynamic_cast<juce::TableListBox*> (findTitled (page, "Tracks")); }

    static juce::Component* findTitled (juce::Component& root, const juce::String& title)
    {
        for (auto* child : root.getChildren())
        {
            if (child->getTitle() == title)
                return child;

            if (auto* found = findTitled (*child, title))
                return found;
        }

        return nullptr;
    }

    AppState app;
    ImportPage page { app };
};

std::unique_ptr<PageWithTree> pageWithTreeInstance;

PageWithTree& pageWithTree()
{
    if (pageWithTreeInstance == nullptr)
        pageWithTreeInstance = std::make_unique<PageWithTree>();

    return *pageWithTreeInstance;
}

// What a repaint of the visible table costs: header and the visible rows, thumbnails included.
void BM_VisibleTableRepaint (benchmark::State& state)
{
    auto& p = pageWithTree();
    auto& table = p.table();
    juce::Image image (juce::Image::ARGB, table.getWidth(), table.getHeight(), true);

    for (auto _ : state)
    {
        juce::Graphics g (image);
        table.paintEntireComponent (g, true);
    }

    state.counters["rows shown"] = (double) table.getHeight() / table.getRowHeight();
}
BENCHMARK (BM_VisibleTableRepaint)->Unit (benchmark::kMillisecond);

// The down arrow in the table: the next row is selected and its track shown in the pane. The
// analysis of the track before is told to stop, never waited for.
void BM_NextTrackShown (benchmark::State& state)
{
    auto& p = pageWithTree();
    auto& table = p.table();
    table.selectRow (0);
    int step = 0;

    for (auto _ : state)
    {
        table.keyPressed (juce::KeyPress (juce::KeyPress::downKey));

        if (++step % 64 == 0)
        {
            state.PauseTiming();
            pumpUntil ([] { return false; }, 5); // results that came in meanwhile
            table.selectRow (0);
            state.ResumeTiming();
        }
    }
}
BENCHMARK (BM_NextTrackShown)->Unit (benchmark::kMicrosecond);

// A desktop drop of the whole tree onto an empty page, up to the refreshed table.
void BM_DroppedTreeToRefreshedTable (benchmark::State& state)
{
    AppState app;
    app.session.setPreset (makeHybridOrchestraExamplePreset());
    ImportPage page (app);
    page.setSize (1360, 860);

    for (auto _ : state)
    {
        state.PauseTiming();
        app.session.clear();
        state.ResumeTiming();

        page.filesDropped ({ bench::tree().root.getFullPathName() }, 100, 100);
    }

    state.counters["tracks"] = (double) app.session.getTracks().size();
}
BENCHMARK (BM_DroppedTreeToRefreshedTable)->Unit (benchmark::kMillisecond)->Iterations (5);

} // namespace

int main (int argc, char** argv)
{
    std::setlocale (LC_CTYPE, "C.UTF-8");

    // Settings, presets and templates of this run stay out of the user's folders.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("dunmoor-bench-home-" + juce::Uuid().toString());
    home.getChildFile (".config").createDirectory();
    home.getChildFile (".local/share").createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_DATA_HOME", home.getChildFile (".local/share").getFullPathName().toRawUTF8(), 1);

    {
        juce::ScopedJuceInitialiser_GUI juce;
        benchmark::Initialize (&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        pageWithTreeInstance.reset();
        importedTree.reset();
    }

    home.deleteRecursively();
    return 0;
}
