// The Levels & Export page's blocks, cue list and cleanup preview under load (needs a display;
// run under xvfb-run):
//
//  - the content's layout at 1360, 1600 and 2000 px;
//  - a move of a column-gap drag (layout and paint of what shows), and whether the settings
//    file is written during the drag or only at its end;
//  - 200 cue rows set and painted;
//  - a cleanup preview of 2048 rows: setRows, painting the part in view (against 48 rows), and
//    a wheel step with its paint;
//  - details of the rows in view after the zoom settles, over 48 four-minute tracks;
//  - a four-minute stereo track, cleaned and playing, from the press of its play button.
//
// Usage: ExportLayoutBench [--data <folder>] [benchmark flags]. The four-minute tracks are
// those of ExportPageBench (the same folder by default), written once when missing.

#include <clocale>

#include "LongCue.h"
#include "UiBenchmarkMain.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/app/AppState.h"
#include "ui/pages/export/ExportPage.h"

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;

double nowMs() { return juce::Time::getMillisecondCounterHiRes(); }

juce::File dataFolder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("dunmoor-export-page-bench");

/** The page at a size, with the example preset and no saved layout. */
struct Page
{
    explicit Page (int width = 1360, int height = 860)
    {
        app.settings->setValue ("exportBlockColumns", juce::String());
        app.settings->setValue ("exportColumnWidths", juce::String());
        app.session.setPreset (makeHybridOrchestraExamplePreset());
        page = std::make_unique<ExportPage> (app);
        page->setSize (width, height);
    }

    AppState app { std::make_unique<dunmoor::testing::FakeSeams> (std::make_shared<dunmoor::testing::FakeAudioOutput>()) };
    std::unique_ptr<ExportPage> page;
};

/** Paints the settings area in view, as the repaint after a layout of the content does. */
void paintSettingsInView (ExportPage& page, juce::Image& image)
{
    auto& viewport = page.getViewport();

    if (image.getWidth() != viewport.getWidth() || image.getHeight() != viewport.getHeight())
        image = juce::Image (juce::Image::ARGB, viewport.getWidth(), viewport.getHeight(), true);

    juce::Graphics g (image);
    viewport.paintEntireComponent (g, false);
}

GatedTrackRow makeGatedRow (int index, const juce::File& file, int cues)
{
    GatedTrackRow row;
    row.path = file;
    row.cueName = "1M" + juce::String (1 + index % cues).paddedLeft ('0', 2);
    row.cueKey = row.cueName.toLowerCase();
    row.fileName = file.getFileName();
    row.stemName = "Strings";
    row.durationSeconds = 240.0;
    row.regionCount = 6;
    row.gatedSeconds = 30.0;

    for (int r = 0; r < 6; ++r)
    {
        const auto start = 0.05 + 0.15 * r;
        row.regions.push_back ({ start, start + 0.03, start + 0.004, start + 0.026 });
    }

    row.overview.minimums.resize (3000);
    row.overview.maximums.resize (3000);

    for (int b = 0; b < 3000; ++b)
    {
        const auto level = (float) (0.4 + 0.3 * std::sin (b * 0.01 + index));
        row.overview.minimums[(size_t) b] = -level;
        row.overview.maximums[(size_t) b] = level;
    }

    row.overview.peak = 0.7f;
    row.overview.sampleRate = 48000.0;
    row.overview.duration = 240.0;
    row.overview.channelCount = 2;
    return row;
}

std::vector<GatedTrackRow> makeGatedRows (int count, const std::vector<juce::File>& files)
{
    std::vector<GatedTrackRow> rows;

    // Grouped by cue, as a run lists them.
    for (int i = 0; i < count; ++i)
        rows.push_back (makeGatedRow (i, files[(size_t) i % files.size()], std::max (1, count / 48)));

    std::stable_sort (rows.begin(), rows.end(), [] (const GatedTrackRow& l, const GatedTrackRow& r) { return l.cueName < r.cueName; });
    return rows;
}

std::vector<juce::File> someFiles()
{
    std::vector<juce::File> files;

    for (int i = 0; i < 48; ++i)
        files.push_back (juce::File ("/audio/cue/" + juce::String (i + 1).paddedLeft ('0', 2) + " track.wav"));

    return files;
}

//==============================================================================
void BM_ContentLayout (benchmark::State& state)
{
    // The content as wide as a page of that width shows it, a pixel narrower every other time
    // so that every control really moves.
    const auto width = (int) state.range (0);
    Page p (width + 40);
    auto& content = p.page->getContent();
    const auto height = content.getHeight();
    int n = 0;

    // The messages a layout posts (text fields, viewports) are part of its cost.
    for (auto _ : state)
    {
        content.setSize (width - (n++ % 2), height);

        while (juce::dispatchNextMessageOnSystemQueue (true))
        {
        }
    }

    state.counters["columns"] = (double) content.getColumnWidths().size();
}
BENCHMARK (BM_ContentLayout)->Arg (1360)->Arg (1600)->Arg (2000)->Unit (benchmark::kMillisecond);

void BM_GapDragMove (benchmark::State& state)
{
    Page p (1600);
    auto& content = p.page->getContent();
    auto& splitter = *content.getColumnSplitter (0);
    const auto paint = state.range (0) != 0;
    p.app.saveSettings();

    splitter.mouseDown ({ juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0, 0, 0, 0, 0, &splitter, &splitter,
                          juce::Time(), {}, juce::Time(), 1, false });
    int x = 500;
    int step = 7;
    bool writtenDuringDrag = false;
    juce::Image image;

    for (auto _ : state)
    {
        x += step;

        if (x > 800 || x < 460)
            step = -step;

        content.moveColumnSplitter (0, x);

        while (juce::dispatchNextMessageOnSystemQueue (true))
        {
        }

        if (paint)
            paintSettingsInView (*p.page, image);

        writtenDuringDrag = writtenDuringDrag || ! p.app.settings->needsToBeSaved();
    }

    if (content.onColumnDragEnded != nullptr)
        content.onColumnDragEnded();

    state.counters["fileWrittenDuringDrag"] = writtenDuringDrag ? 1.0 : 0.0;
    state.counters["fileWrittenAtEnd"] = p.app.settings->needsToBeSaved() ? 0.0 : 1.0;
}
BENCHMARK (BM_GapDragMove)->Arg (0)->Arg (1)->ArgName ("paint")->Unit (benchmark::kMillisecond);

void BM_CueRows200SetAndPaint (benchmark::State& state)
{
    CueResultList list;
    list.setSize (1336, 800);
    std::vector<CueResultRow> rows;

    for (int i = 0; i < 200; ++i)
    {
        CueResultRow row;
        row.key = juce::String (i);
        row.name = "1M" + juce::String (i).paddedLeft ('0', 3) + " Main Title";
        row.hasResult = true;
        row.hasLevels = true;
        row.durationSeconds = 180.0 + i;
        row.peakDb = -1.5;
        row.gainDb = -0.5;
        row.assignedStems = 12;
        row.emptyStems = i % 4;
        row.included = i % 7 != 0;
        row.hasProblem = i % 13 == 0;
        row.silenceFoundSeconds = 0.1 * (i % 5);
        rows.push_back (row);
    }

    // What the page shows of the list: its top, one screen high.
    juce::Image image (juce::Image::ARGB, 1336, 800, true);

    for (auto _ : state)
    {
        list.setRows (rows);
        list.setSize (1336, list.getIdealHeight());
        juce::Graphics g (image);
        list.paintEntireComponent (g, false);
    }
}
BENCHMARK (BM_CueRows200SetAndPaint)->Unit (benchmark::kMillisecond);

void BM_CleanupSetRows (benchmark::State& state)
{
    GatedTrackList list;
    list.setSize (1336, 600);
    const auto rows = makeGatedRows ((int) state.range (0), someFiles());

    for (auto _ : state)
    {
        state.PauseTiming();
        auto copy = rows;
        state.ResumeTiming();
        list.setRows (std::move (copy));
    }
}
BENCHMARK (BM_CleanupSetRows)->Arg (2048)->Unit (benchmark::kMillisecond);

/** The list in a viewport one screen high, scrolled to its middle, as on the page. */
struct ScrolledCleanupList
{
    explicit ScrolledCleanupList (int rows)
    {
        list.setRows (makeGatedRows (rows, someFiles()));
        list.setSize (1336, list.getIdealHeight());
        viewport.setViewedComponent (&list, false);
        viewport.setSize (1360, 760);
        viewport.setViewPosition (0, std::max (0, list.getHeight() / 2 - 380));
    }

    ~ScrolledCleanupList() { viewport.setViewedComponent (nullptr, false); }

    void paintInView()
    {
        juce::Graphics g (image);
        viewport.paintEntireComponent (g, false);
    }

    GatedTrackList list;
    juce::Viewport viewport;
    juce::Image image { juce::Image::ARGB, 1360, 760, true };
};

void BM_CleanupPaintInView (benchmark::State& state)
{
    ScrolledCleanupList s ((int) state.range (0));

    for (auto _ : state)
        s.paintInView();
}
BENCHMARK (BM_CleanupPaintInView)->Arg (48)->Arg (2048)->Unit (benchmark::kMillisecond);

void BM_CleanupWheelStep (benchmark::State& state)
{
    ScrolledCleanupList s ((int) state.range (0));
    auto& list = s.list;
    const auto box = list.getWaveformBounds (list.getRows().size() / 2);
    const juce::MouseEvent e (juce::Desktop::getInstance().getMainMouseSource(), box.getCentre().toFloat(), {}, 0, 0, 0, 0, 0, &list, &list,
                              juce::Time(), box.getCentre().toFloat(), juce::Time(), 1, false);
    juce::MouseWheelDetails in {}, out {};
    in.deltaY = 1.0f;
    out.deltaY = -1.0f;
    int n = 0;

    for (auto _ : state)
    {
        list.mouseWheelMove (e, (n++ / 20) % 2 == 0 ? in : out);
        s.paintInView();
    }
}
BENCHMARK (BM_CleanupWheelStep)->Arg (2048)->Unit (benchmark::kMillisecond);

//==============================================================================
// File-bound figures, timed by hand: each iteration is one zoom settling, or one press of play.

const std::vector<juce::File>& longTracks()
{
    static const auto tracks = []
    {
        const auto folder = bench::writeLongCue (dataFolder.getChildFile ("1M01 Long Cue"), 4.0);
        std::vector<juce::File> files;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*.wav"))
            files.push_back (entry.getFile());

        std::sort (files.begin(), files.end());
        return files;
    }();

    return tracks;
}

void BM_DetailsInViewAfterZoom (benchmark::State& state)
{
    const auto& tracks = longTracks();
    ScrolledCleanupList s (48);
    auto rows = s.list.getRows();

    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].path = tracks[i % tracks.size()];

    s.list.setRows (std::move (rows));
    s.list.setSize (1336, s.list.getIdealHeight());
    s.viewport.setViewPosition (0, 0);
    int round = 0;
    int visibleRows = 0;
    bool allArrived = true;

    for (auto _ : state)
    {
        // One zoom step; the settle timer asks for the details 180 ms later, and the time
        // counts from there.
        const auto start = 0.05 + 0.17 * (round++ % 4);
        const auto t0 = nowMs() + CleanupView::settleMilliseconds;
        s.list.setZoomWindow ({ start, start + 0.2 });
        std::vector<int> visible;

        for (int i = 0; i < (int) s.list.getRows().size(); ++i)
            if (s.list.getRowBounds (i).intersects (s.viewport.getViewArea()))
                visible.push_back (i);

        allArrived = bench::pumpUntil ([&]
                                       {
                                           for (auto i : visible)
                                               if (! CleanupView::detailCovers (s.list.getDetails()[(size_t) i], s.list.getZoomWindow()))
                                                   return false;

                                           return true;
                                       },
                                       20000)
                  && allArrived;
        state.SetIterationTime ((nowMs() - t0) / 1000.0);
        visibleRows = (int) visible.size();
    }

    state.counters["rowsInView"] = visibleRows;
    state.counters["allArrived"] = allArrived ? 1.0 : 0.0;
}
BENCHMARK (BM_DetailsInViewAfterZoom)->UseManualTime()->Iterations (4)->Unit (benchmark::kMillisecond);

/** Presses play on the track and waits until its cleaned preview plays; the time it took. */
double timeUntilPlaying (Page& p, const juce::File& track, bool& played)
{
    auto& engine = p.app.previewEngine;
    engine.stop();
    bench::pumpUntil ([&] { return ! engine.isPlaying(); }, 30000);

    const auto t0 = nowMs();
    p.page->auditionGated (track, track.getFileName(), 0.0, false);
    played = bench::pumpUntil ([&] { return engine.isActiveFor ("cleanup:" + track.getFullPathName()) && engine.isPlaying(); }, 30000) && played;
    return (nowMs() - t0) / 1000.0;
}

void setCleanup (Page& p, double thresholdDb)
{
    auto preset = p.app.session.getPreset();
    preset.exportSettings.silenceGate.enabled = true;
    preset.exportSettings.silenceGate.thresholdDb = thresholdDb;
    p.app.session.setPreset (preset);
}

void BM_CleanedPreviewPlaying (benchmark::State& state)
{
    const auto track = longTracks().front();
    Page p;
    int round = 0;
    bool allPlayed = true;

    for (auto _ : state)
    {
        // New settings each time, so that every press prepares a new preview.
        setCleanup (p, -60.0 - round++);
        state.SetIterationTime (timeUntilPlaying (p, track, allPlayed));
    }

    p.app.previewEngine.stop();
    state.counters["allPlayed"] = allPlayed ? 1.0 : 0.0;
}
BENCHMARK (BM_CleanedPreviewPlaying)->UseManualTime()->Iterations (3)->Unit (benchmark::kMillisecond);

// The part of it that plays a preview made earlier: the audition engine's load.
void BM_CleanedPreviewReplay (benchmark::State& state)
{
    const auto track = longTracks().front();
    Page p;
    setCleanup (p, -60.0);
    bool allPlayed = true;
    timeUntilPlaying (p, track, allPlayed);

    for (auto _ : state)
        state.SetIterationTime (timeUntilPlaying (p, track, allPlayed));

    p.app.previewEngine.stop();
    state.counters["allPlayed"] = allPlayed ? 1.0 : 0.0;
}
BENCHMARK (BM_CleanedPreviewReplay)->UseManualTime()->Iterations (3)->Unit (benchmark::kMillisecond);

// The part of it that prepares the preview: read, cleanup and write.
void BM_CleanedPreviewPrepareOnly (benchmark::State& state)
{
    const auto track = longTracks().front();
    const auto preview = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("dunmoor-export-layout-bench-preview.wav");
    SilenceGateSettings gate;
    gate.enabled = true;
    gate.thresholdDb = -60.0;

    for (auto _ : state)
    {
        juce::String error;

        if (! CleanupPreviews::renderPreview (track, preview, 48000.0, gate, {}, error))
            state.SkipWithError (error.toRawUTF8());
    }

    preview.deleteFile();
}
BENCHMARK (BM_CleanedPreviewPrepareOnly)->Iterations (3)->Unit (benchmark::kMillisecond);

} // namespace

int main (int argc, char** argv)
{
    std::setlocale (LC_CTYPE, "C.UTF-8");
    std::vector<char*> rest { argv[0] };

    for (int i = 1; i < argc; ++i)
    {
        if (juce::String (argv[i]) == "--data" && i + 1 < argc)
            dataFolder = juce::File (juce::String (argv[++i]));
        else
            rest.push_back (argv[i]);
    }

    auto count = (int) rest.size();
    return dunmoor::bench::runUiBenchmarks (count, rest.data(), "dunmoor-export-layout-bench-");
}
