// The Review page over 2048 tracks in two cues, spread over the 16 stems of the example preset
// and "Unassigned": the rebuild after 200 tracks move (all 2048 selected, a heading closed), a
// tick without a rebuild, painting the tree with a meter in every heading, one meter update
// with 48 tracks playing, and the fake sound card playing a 48-track mix for 10 s (meter
// repaints a second, audio blocks skipped for a lock). Needs a display (a virtual one will do):
// `xvfb-run -a build/bench/ReviewPageBench`.

#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>

#include "UiBenchmarkMain.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/FindByTitle.h"
#include "ui/app/AppState.h"
#include "ui/pages/review/ReviewPage.h"

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;

/** A mono 8 kHz tone: the long tracks play for the whole mix, the short ones only fill rows. */
void writeTone (const juce::File& file, double seconds, float amplitude)
{
    const auto frames = (int) std::lround (seconds * 8000.0);
    juce::AudioBuffer<float> buffer (1, frames);

    for (int i = 0; i < frames; ++i)
        buffer.setSample (0, i, amplitude * (float) std::sin (0.2 * i));

    if (! dunmoor::testing::writeAudioFile (file, "wav", buffer, 8000.0, 16))
        std::abort();
}

/**
    1M01: 48 long tracks, three on each stem (its full mix), three long unassigned ones and 973
    short unassigned ones. 1M02: 1024 short tracks, every 17th unassigned and the rest spread over
    the 16 stems. The page is 1360 x 860 on a fake sound card that calls back in real time.
*/
struct ReviewBench
{
    ReviewBench()
        : output (std::make_shared<dunmoor::testing::FakeAudioOutput>()),
          app (std::make_unique<dunmoor::testing::FakeSeams> (output))
    {
        auto& session = app.session;
        session.setPreset (makeHybridOrchestraExamplePreset());
        const auto& stems = session.getPreset().schema.stems;

        juce::Array<juce::File> files;
        std::vector<int> stemOfFile; // -1: unassigned
        const auto first = folder.getChildFile ("1M01"), second = folder.getChildFile ("1M02");
        first.createDirectory();
        second.createDirectory();

        for (int i = 0; i < 51; ++i)
        {
            files.add (first.getChildFile ("long_" + juce::String (i) + ".wav"));
            writeTone (files.getLast(), 14.0, 0.1f + 0.01f * (float) (i % 17));
            stemOfFile.push_back (i < 48 ? i / 3 : -1);
        }

        for (int i = 0; i < 973 + 1024; ++i)
        {
            const auto inFirst = i < 973;
            files.add ((inFirst ? first : second).getChildFile ("short_" + juce::String (i) + ".wav"));
            writeTone (files.getLast(), 0.05, 0.2f);
            stemOfFile.push_back (inFirst || i % 17 == 16 ? -1 : i % 17);
        }

        if (session.importFiles (files, false).imported != 2048)
            std::abort();

        // The stems are given, not guessed: every heading gets its share.
        for (size_t s = 0; s < stems.size(); ++s)
        {
            juce::StringArray ids;
            for (size_t i = 0; i < stemOfFile.size(); ++i)
                if (stemOfFile[i] == (int) s)
                    ids.add (session.getTracks()[i].id);

            session.assignTracks (ids, stems[s].id, false);
        }

        juce::StringArray unassigned;
        for (size_t i = 0; i < stemOfFile.size(); ++i)
            if (stemOfFile[i] < 0)
                unassigned.add (session.getTracks()[i].id);
        session.assignTracks (unassigned, {}, false);

        for (int i = 0; i < 51; ++i)
            longTrackIds.add (session.getTracks()[(size_t) i].id);

        // The meters read the long tracks' overviews from the cache.
        for (int i = 0; i < 51; ++i)
            app.waveformCache.get (files[i].getFullPathName());

        if (! bench::pumpUntil ([&]
                                {
                                    for (int i = 0; i < 51; ++i)
                                        if (app.waveformCache.get (files[i].getFullPathName()) == nullptr)
                                            return false;
                                    return true;
                                },
                                60000))
            std::abort();

        page = std::make_unique<ReviewPage> (app);
        page->setSize (1360, 860);
        settle();
    }

    ~ReviewBench()
    {
        page.reset();
        app.previewEngine.stop();
        folder.deleteRecursively();
    }

    void settle()
    {
        page->tick();
        bench::pumpUntil ([] { return false; }, 30);
    }

    juce::ComboBox& comboBox (const juce::String& title)
    {
        auto* box = dunmoor::testing::findByTitle<juce::ComboBox> (*page, title);

        if (box == nullptr)
            std::abort();

        return *box;
    }

    void selectTracks (const juce::StringArray& ids)
    {
        auto* root = page->getTree().getRootItem();
        root->setSelected (false, true);

        for (int h = 0; h < root->getNumSubItems(); ++h)
            for (int t = 0; t < root->getSubItem (h)->getNumSubItems(); ++t)
                if (auto* row = root->getSubItem (h)->getSubItem (t); ids.contains (row->getUniqueName().fromFirstOccurrenceOf ("track:", false, false)))
                    row->setSelected (true, false);
    }

    void setAllHeadingsOpen (bool open)
    {
        auto* root = page->getTree().getRootItem();

        for (int h = 0; h < root->getNumSubItems(); ++h)
            root->getSubItem (h)->setOpen (open);
    }

    bool waitForPlaying()
    {
        return bench::pumpUntil ([this] { return app.previewEngine.isPlaying() && ! app.previewEngine.isLoading(); }, 30000);
    }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("dunmoor-review-bench-" + juce::Uuid().toString());
    std::shared_ptr<dunmoor::testing::FakeAudioOutput> output;
    AppState app;
    juce::StringArray longTrackIds;
    std::unique_ptr<ReviewPage> page;
};

std::unique_ptr<ReviewBench> benchInstance;

ReviewBench& reviewBench()
{
    if (benchInstance == nullptr)
        benchInstance = std::make_unique<ReviewBench>();

    return *benchInstance;
}

// One meter step while 1M01's 48-track mix plays.
void BM_UpdateMetersWith48PlayingTracks (benchmark::State& state)
{
    auto& b = reviewBench();
    b.comboBox ("Cue").setSelectedId (2, juce::sendNotificationSync);
    b.page->getAuditionStrip().toggleMixAudition();

    if (! b.waitForPlaying())
        state.SkipWithError ("the mix did not start");

    for (auto _ : state)
        b.page->getAuditionStrip().updateMeters();

    b.app.previewEngine.stop();
}
BENCHMARK (BM_UpdateMetersWith48PlayingTracks)->Unit (benchmark::kMicrosecond);

// The tree of the 1360 x 860 page with a meter in every heading (48 stem tracks and 3
// unassigned ones playing as one selection), every heading closed so that all 17 show.
void BM_TreePaintWithMeters (benchmark::State& state)
{
    auto& b = reviewBench();
    b.comboBox ("Cue").setSelectedId (2, juce::sendNotificationSync);
    b.settle();
    b.selectTracks (b.longTrackIds);
    b.page->auditionSelection();

    if (! b.waitForPlaying())
        state.SkipWithError ("the selection did not start");

    bench::pumpUntil ([] { return false; }, 500); // the meters rise
    b.app.previewEngine.stop();
    b.setAllHeadingsOpen (false);
    bench::pumpUntil ([] { return false; }, 30);

    auto& tree = b.page->getTree();
    juce::Image image (juce::Image::ARGB, tree.getWidth(), tree.getHeight(), true);

    for (auto _ : state)
    {
        juce::Graphics g (image);
        tree.paintEntireComponent (g, false);
    }

    int lit = b.page->getAuditionStrip().getMeterLevel ({}) > 0.001f ? 1 : 0;
    for (const auto& stem : b.app.session.getPreset().schema.stems)
        lit += b.page->getAuditionStrip().getMeterLevel (stem.id) > 0.001f ? 1 : 0;

    state.counters["headingsWithMeters"] = lit;
    state.SetLabel (juce::String (tree.getWidth()).toStdString() + " x " + juce::String (tree.getHeight()).toStdString() + " tree");
}
BENCHMARK (BM_TreePaintWithMeters)->Unit (benchmark::kMillisecond);

// The fake sound card plays 1M01's 48-track mix for 10 s while the page runs its timers.
void BM_MixPlaybackTenSeconds (benchmark::State& state)
{
    auto& b = reviewBench();
    b.comboBox ("Cue").setSelectedId (2, juce::sendNotificationSync);
    b.page->getTree().getRootItem()->setSelected (false, true);

    for (auto _ : state)
    {
        b.page->getAuditionStrip().toggleMixAudition();

        if (! b.waitForPlaying())
            state.SkipWithError ("the mix did not start");

        const auto repaintsBefore = b.page->getAuditionStrip().getMeterRepaintCount();
        const auto skippedBefore = b.app.previewEngine.getSkippedBlockCount();
        const auto blocksBefore = b.output->getBlockCount();
        const auto start = juce::Time::getMillisecondCounterHiRes();
        bench::pumpUntil ([] { return false; }, 10000);
        const auto seconds = (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;

        state.counters["meterRepaintsPerSecond"] = (b.page->getAuditionStrip().getMeterRepaintCount() - repaintsBefore) / seconds;
        state.counters["skippedBlocks"] = (double) (b.app.previewEngine.getSkippedBlockCount() - skippedBefore);
        state.counters["blocks"] = (double) (b.output->getBlockCount() - blocksBefore);
        b.app.previewEngine.stop();
    }
}
BENCHMARK (BM_MixPlaybackTenSeconds)->Unit (benchmark::kSecond)->Iterations (1);

// 200 tracks move to another stem, then the tick rebuilds the tree: all 2048 rows selected
// under "All cues", the Brass heading closed.
void BM_RebuildAfterMovingTracks (benchmark::State& state)
{
    auto& b = reviewBench();
    auto& session = b.app.session;
    b.comboBox ("Cue").setSelectedId (1, juce::sendNotificationSync);
    b.settle();

    juce::StringArray all;
    for (const auto& track : session.getTracks())
        all.add (track.id);
    b.selectTracks (all);

    const auto& stems = session.getPreset().schema.stems;
    b.setAllHeadingsOpen (true);
    b.page->getTree().getRootItem()->getSubItem (2)->setOpen (false);

    juce::StringArray moved;
    for (int i = 0; i < 200; ++i)
        moved.add (session.getTracks()[(size_t) (100 + i * 9)].id);

    int round = 0;
    for (auto _ : state)
    {
        session.assignTracks (moved, stems[(size_t) (round++ % 2 == 0 ? 0 : 5)].id, false);
        b.page->tick();
    }

    state.counters["selected"] = (double) b.page->getSelectedTrackIds().size();
}
BENCHMARK (BM_RebuildAfterMovingTracks)->Unit (benchmark::kMillisecond);

// The 10 Hz tick when nothing changed, with the 2048 rows still selected.
void BM_TickWithoutRebuild (benchmark::State& state)
{
    auto& b = reviewBench();
    b.settle();

    for (auto _ : state)
        b.page->tick();

    state.counters["selected"] = (double) b.page->getSelectedTrackIds().size();
}
BENCHMARK (BM_TickWithoutRebuild)->Unit (benchmark::kMicrosecond);

} // namespace

int main (int argc, char** argv)
{
    std::setlocale (LC_CTYPE, "C.UTF-8");
    return dunmoor::bench::runUiBenchmarks (argc, argv, "brackenfold-review-bench-", [] { benchInstance.reset(); });
}
