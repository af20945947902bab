// The Preset & Stems page over a session of 2048 tracks in 32 cues (the generated import tree)
// and a library of 200 copies of the example preset plus one preset of 256 stems with 10 rules
// each: a library row click to the refilled page, the page being shown, a rules commit that
// re-matches every track, a name commit, a two-second drag in the colour space at 60 changes a
// second (counting the commits) and painting the page with 256 stems.
// Run on a display (`xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/PresetPageBench`);
// settings and presets go to a temporary home folder.

#include "ImportTree.h"
#include "PresetPageOnDesktop.h"
#include "UiBenchmarkMain.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/FindByTitle.h"
#include "ui/app/AppState.h"
#include "ui/pages/preset/PresetPage.h"
#include "ui/look/Theme.h"

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;

using dunmoor::testing::findByTitle;

/** Lets posted messages arrive for that long. */
void pumpFor (double milliseconds)
{
    dunmoor::bench::pumpUntil ([] { return false; }, juce::jmax (0, (int) milliseconds));
}

Preset makeBigPreset()
{
    auto preset = duplicatePreset (makeEmptyPreset(), "Big 256", PresetKind::publisher);

    for (int i = 0; i < maxStems; ++i)
    {
        Stem stem;
        stem.displayName = "Stem " + juce::String (i + 1);
        stem.shortCode = "S" + juce::String (i + 1);
        stem.colour = automaticStemColour (i);

        for (int r = 0; r < 10; ++r)
            stem.rules.push_back ({ "word" + juce::String (i) + "x" + juce::String (r), MatchMode::token, 0, {}, {} });

        preset.schema.addStem (stem);
    }

    return preset;
}

/** The application with its library filled, the tree imported, and the page on the desktop. */
struct Fixture
{
    Fixture()
    {
        app = std::make_unique<AppState> (std::make_unique<dunmoor::testing::FakeSeams>());

        // The library stays in the benchmark's home from one benchmark to the next.
        if (app->presetLibrary->getEntries().size() < 203)
        {
            juce::String error;

            for (int i = 0; i < 200; ++i)
            {
                auto copy = duplicatePreset (makeHybridOrchestraExamplePreset(), "Example " + juce::String (i).paddedLeft ('0', 3),
                                             PresetKind::publisher, StemIds::keep);
                if (! app->presetLibrary->savePreset (copy, error))
                    std::abort();
            }

            if (! app->presetLibrary->savePreset (makeBigPreset(), error))
                std::abort();
        }

        for (const auto& entry : app->presetLibrary->getEntries())
        {
            if (entry.name == "Big 256")
                bigId = entry.id;
            else if (entry.name.startsWith ("Example 00") && exampleIds.size() < 2)
                exampleIds.add (entry.id);
        }

        (void) app->session.importFiles ({ bench::tree().root }, true);

        page = bench::showPresetPage (*app);
    }

    ~Fixture()
    {
        page.reset();
        app.reset();
    }

    juce::ListBox& library() { return *findByTitle<juce::ListBox> (*page, "Preset library"); }

    int rowOf (const juce::String& id)
    {
        const auto& entries = app->presetLibrary->getEntries();

        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].id == id)
                return (int) i;

        return -1;
    }

    /** A click on a library row; the working copy is never edited here, so nothing is asked. */
    void clickRow (const juce::String& id)
    {
        library().selectRow (rowOf (id));

        // An edited working copy is discarded, as OK in the question does.
        if (app->presetId != id)
            dynamic_cast<dunmoor::testing::FakeSeams&> (*app->seams).closeBox (true);

        if (app->presetId != id)
            std::abort();
    }

    std::unique_ptr<AppState> app;
    std::unique_ptr<PresetPage> page;
    juce::StringArray exampleIds;
    juce::String bigId;
};


// Loading a row: the preset read, the session re-matched, the library rescanned, the page refilled.
void BM_LibraryRowClick (benchmark::State& state)
{
    Fixture f;
    const bool big = state.range (0) != 0;
    const juce::String ids[] = { big ? f.bigId : f.exampleIds[0], f.exampleIds[1] };
    int next = 0;

    f.clickRow (ids[1]);

    for (auto _ : state)
    {
        if (! big || next == 0)
        {
            f.clickRow (ids[next]);
        }
        else
        {
            // Only clicks onto the big preset are timed in its case.
            state.PauseTiming();
            f.clickRow (ids[next]);
            state.ResumeTiming();
        }

        next = 1 - next;
    }

    state.SetLabel (big ? "onto 256 stems x 10 rules" : "example copies, 16 stems");
}
BENCHMARK (BM_LibraryRowClick)->Arg (0)->Arg (1)->Unit (benchmark::kMillisecond);

// The page becoming visible rescans the library (201 files).
void BM_PageShown (benchmark::State& state)
{
    Fixture f;

    for (auto _ : state)
    {
        state.PauseTiming();
        f.page->setVisible (false);
        state.ResumeTiming();
        f.page->setVisible (true);
    }
}
BENCHMARK (BM_PageShown)->Unit (benchmark::kMillisecond);

// A commit of the stem fields: a rules edit re-matches 2048 tracks; a name edit re-matches none.
void BM_StemFieldCommit (benchmark::State& state)
{
    Fixture f;
    const bool rules = state.range (0) != 0;
    f.clickRow (f.exampleIds[0]);
    f.page->getStemList().getListBox().selectRow (2);

    auto& field = *findByTitle<juce::TextEditor> (*f.page, rules ? "Keyword rules" : "Name");
    const auto original = field.getText();
    int n = 0;

    for (auto _ : state)
    {
        state.PauseTiming();
        field.setText (rules ? original + ", extra" + juce::String (n++ % 2) : "Drums " + juce::String (n++ % 2), false);
        state.ResumeTiming();
        f.page->getStemEditor().commitStemFields();
    }

    state.SetLabel (rules ? "rules: 2048 tracks re-matched" : "name");
}
BENCHMARK (BM_StemFieldCommit)->Arg (1)->Arg (0)->Unit (benchmark::kMillisecond);

// Two seconds of dragging in the colour space at 60 changes a second, in real time.
void BM_ColourDrag (benchmark::State& state)
{
    Fixture f;
    f.clickRow (f.exampleIds[1]);
    f.page->getStemList().getListBox().selectRow (0);
    auto* seams = dynamic_cast<dunmoor::testing::FakeSeams*> (f.app->seams.get());

    struct Counter : Session::Listener
    {
        void presetChanged() override { ++count; }
        int count = 0;
    } counter;

    for (auto _ : state)
    {
        f.page->getStemEditor().chooseStemColour();
        auto* selector = dynamic_cast<juce::ColourSelector*> (seams->callOutContent.get());
        counter.count = 0;
        f.app->session.addListener (&counter);

        const auto start = juce::Time::getMillisecondCounterHiRes();

        for (int i = 0; i < 120; ++i)
        {
            selector->setCurrentColour (juce::Colour::fromHSV ((float) i / 120.0f, 0.5f, 0.8f, 1.0f));
            const auto due = start + (i + 1) * 1000.0 / 60.0;
            pumpFor (due - juce::Time::getMillisecondCounterHiRes());
        }

        pumpFor (100);
        f.app->session.removeListener (&counter);
        seams->dismissCallOut();
    }

    state.counters["commits"] = counter.count;
}
BENCHMARK (BM_ColourDrag)->Unit (benchmark::kMillisecond)->Iterations (1);

// Painting the whole page at 1360 x 860 with the 256-stem preset.
void BM_Paint256Stems (benchmark::State& state)
{
    Fixture f;
    f.clickRow (f.bigId);
    f.page->getStemList().getListBox().selectRow (100);

    juce::Image image (juce::Image::RGB, f.page->getWidth(), f.page->getHeight(), false);

    for (auto _ : state)
    {
        juce::Graphics g (image);
        f.page->paintEntireComponent (g, true);
        benchmark::DoNotOptimize (image.getPixelAt (0, 0));
    }
}
BENCHMARK (BM_Paint256Stems)->Unit (benchmark::kMillisecond);

} // namespace

int main (int argc, char** argv)
{
    return dunmoor::bench::runUiBenchmarks (argc, argv, "brackenfold-preset-bench-");
}
