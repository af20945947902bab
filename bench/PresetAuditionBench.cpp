// The Preset & Stems page's alternative mixes, cue choice and audition.
//
// A generated cue of 48 stereo 24-bit 48 kHz tracks of four minutes under the example preset
// (the long cue the export and audition benchmarks share):
// auditioning a stem that holds all 48 tracks, and an instrumental of 14 of the 16 stems (42
// tracks), from the click to the first non-silent block at a fake sound card running in real
// time; gathering those file lists alone. A session of 2048 short tracks in 100 cues under a
// preset of 256 stems and 10 alternative mixes, a cue chosen and an audition playing: one tick
// of the 12 Hz audition repainter (the state update and the visible stem list and heading
// painted), and the cue choice rebuilt after the assignments changed.
// Run on a display (`xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/PresetAuditionBench`);
// the audio goes to a temporary folder (about 3.3 GB, removed at exit), settings and presets to
// a temporary home folder.

#include <chrono>
#include <cstdlib>

#include "LongCue.h"
#include "ShortTrack.h"
#include "PresetPageOnDesktop.h"
#include "UiBenchmarkMain.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeAudioDevice.h"
#include "ui/FakeSeams.h"
#include "ui/FindByTitle.h"
#include "ui/app/AppState.h"
#include "ui/pages/preset/PresetAudition.h"
#include "ui/pages/preset/PresetPage.h"
#include "ui/look/Theme.h"

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;
using dunmoor::testing::FakeAudioOutput;

constexpr double longTrackMinutes = 4.0;

juce::File benchFolder()
{
    static const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                   .getNonexistentChildFile ("dunmoor-preset-audition-bench", "", false);
    return folder;
}

/** The 48 long tracks (a few seconds each in the test suite's smoke run), written once per process. */
const juce::File& longCue()
{
    static const juce::File folder = bench::writeLongCue (benchFolder().getChildFile ("1M01 Long"),
                                                          std::getenv ("DUNMOOR_BENCH_SMOKE") != nullptr ? 0.05 : longTrackMinutes);
    return folder;
}

/** 2048 short tracks in 100 cue folders, written once per process. */
const juce::File& manyCues()
{
    static const juce::File root = []
    {
        const auto folder = benchFolder().getChildFile ("Many");
        juce::WavAudioFormat wav;

        for (int n = 0; n < 2048; ++n)
        {
            const auto cue = folder.getChildFile ("Cue " + juce::String (n % 100 + 1).paddedLeft ('0', 3));
            cue.createDirectory();

            if (! bench::writeShortTrack (cue.getChildFile ("Track " + juce::String (n).paddedLeft ('0', 4) + ".wav"), wav, 24))
                std::abort();
        }

        return folder;
    }();

    return root;
}

void pumpFor (double milliseconds)
{
    bench::pumpUntil ([] { return false; }, juce::jmax (0, (int) milliseconds));
}

/** The application with a fake sound card and the page on the desktop. */
struct Fixture
{
    explicit Fixture (FakeAudioOutput::Pacing pacing)
    {
        FakeAudioOutput::Settings settings;
        settings.pacing = pacing;
        output = std::make_shared<FakeAudioOutput> (settings);
        app = std::make_unique<AppState> (std::make_unique<dunmoor::testing::FakeSeams> (output));

        if (! app->previewEngine.isAudioAvailable())
            std::abort();

        page = bench::showPresetPage (*app);
    }

    ~Fixture()
    {
        app->previewEngine.stop();
        page.reset();
        app.reset();
    }

    void chooseCue (const juce::String& key)
    {
        auto& combo = *dunmoor::testing::findByTitle<juce::ComboBox> (*page, "Cue");

        for (int i = 0; i < combo.getNumItems(); ++i)
        {
            if (combo.getItemText (i).startsWith (app->session.findCue (key)->name + "  ("))
            {
                combo.setSelectedItemIndex (i, juce::sendNotificationSync);
                return;
            }
        }

        std::abort();
    }

    juce::StringArray trackIds() const
    {
        juce::StringArray ids;

        for (const auto& track : app->session.getTracks())
            ids.add (track.id);

        return ids;
    }

    std::shared_ptr<FakeAudioOutput> output;
    std::unique_ptr<AppState> app;
    std::unique_ptr<PresetPage> page;
};

/** The long cue under the example preset. With allInOne every track is on the first stem; else
    three tracks on each of the 16 stems and an instrumental of the first 14. */
struct LongCue : Fixture
{
    explicit LongCue (bool allInOne) : Fixture (FakeAudioOutput::Pacing::realTime)
    {
        app->session.setPreset (makeHybridOrchestraExamplePreset());
        (void) app->session.importFiles ({ longCue() }, false);

        const auto& schema = app->session.getPreset().schema;
        const auto ids = trackIds();

        if (allInOne)
        {
            app->session.assignTracks (ids, schema.stems[0].id, true);
        }
        else
        {
            for (int s = 0; s < 16; ++s)
                app->session.assignTracks ({ ids[3 * s], ids[3 * s + 1], ids[3 * s + 2] }, schema.stems[(size_t) s].id, true);

            auto preset = app->session.getPreset();
            const auto mixId = preset.schema.addAlternativeMix ("Instrumental");

            for (int s = 14; s < 16; ++s)
                (void) preset.schema.setAlternativeMixMember (mixId, preset.schema.stems[(size_t) s].id, false);

            app->session.updatePreset (preset);
        }

        cueKey = app->session.getCues().front().key;
        chooseCue (cueKey);
    }

    /** From the call to the first block with sound at the device, in seconds. */
    double timeToFirstSound (const std::function<void()>& startAudition)
    {
        app->previewEngine.stop();

        if (! bench::pumpUntil ([this] { return ! app->previewEngine.isPlaying() && ! app->previewEngine.isLoading(); }, 10000))
            std::abort();

        const auto heard = output->getNonSilentBlockCount();
        const auto start = std::chrono::steady_clock::now();
        startAudition();

        if (! bench::pumpUntil ([this, heard] { return output->getNonSilentBlockCount() > heard; }, 60000))
            std::abort();

        return std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
    }

    juce::String cueKey;
};

// A click on the cell of a stem holding all 48 tracks, to the first block with sound.
void BM_AuditionStemToFirstSound (benchmark::State& state)
{
    LongCue f (true);
    const auto stem = f.app->session.getPreset().schema.stems[0];

    for (auto _ : state)
        state.SetIterationTime (f.timeToFirstSound ([&] { f.page->getAudition().auditionStem (stem, f.page->getMixColumns().getSelectedCueKey()); }));

    state.SetLabel ("48 tracks of 4 min, stereo 24-bit");
}
BENCHMARK (BM_AuditionStemToFirstSound)->UseManualTime()->Iterations (3)->Unit (benchmark::kMillisecond);

// A click on the heading of an instrumental of 14 of the 16 stems (42 tracks).
void BM_AuditionMixToFirstSound (benchmark::State& state)
{
    LongCue f (false);
    const auto mix = f.app->session.getPreset().schema.alternativeMixes[0];

    for (auto _ : state)
        state.SetIterationTime (f.timeToFirstSound ([&] { f.page->getAudition().auditionMix (mix, f.page->getMixColumns().getSelectedCueKey()); }));

    state.SetLabel ("14 of 16 stems, 42 tracks");
}
BENCHMARK (BM_AuditionMixToFirstSound)->UseManualTime()->Iterations (3)->Unit (benchmark::kMillisecond);

// Gathering the files alone: the 48 of a stem, and the 42 of the instrumental.
void BM_GatherAuditionFiles (benchmark::State& state)
{
    const bool mix = state.range (0) != 0;
    LongCue f (! mix);
    const auto& session = f.app->session;
    const auto& schema = session.getPreset().schema;
    int count = 0;

    for (auto _ : state)
    {
        const auto files = mix ? PresetAudition::mixFiles (schema, session.getTracks(), *session.findCue (f.cueKey), schema.alternativeMixes[0])
                               : f.page->getAudition().getAuditionTracks (schema.stems[0], f.page->getMixColumns().getSelectedCueKey());
        count = files.size();
        benchmark::DoNotOptimize (files);
    }

    state.counters["files"] = count;
    state.SetLabel (mix ? "instrumental" : "stem");
}
BENCHMARK (BM_GatherAuditionFiles)->Arg (0)->Arg (1)->Unit (benchmark::kMicrosecond);

/** 2048 tracks in 100 cues, 256 stems with 8 tracks each, 10 mixes; a cue chosen. */
struct ManyCues : Fixture
{
    ManyCues() : Fixture (FakeAudioOutput::Pacing::manual)
    {
        auto preset = duplicatePreset (makeEmptyPreset(), "Big", PresetKind::publisher);

        for (int i = 0; i < maxStems; ++i)
        {
            Stem stem;
            stem.displayName = "Stem " + juce::String (i + 1);
            stem.shortCode = "S" + juce::String (i + 1);
            stem.colour = automaticStemColour (i);
            preset.schema.addStem (stem);
        }

        for (int m = 0; m < maxAlternativeMixes; ++m)
        {
            const auto id = preset.schema.addAlternativeMix ("Mix " + juce::String (m + 1));

            for (int i = m; i < maxStems; i += 3)
                (void) preset.schema.setAlternativeMixMember (id, preset.schema.stems[(size_t) i].id, false);
        }

        app->session.setPreset (preset);
        (void) app->session.importFiles ({ manyCues() }, true);

        const auto ids = trackIds();
        const auto& schema = app->session.getPreset().schema;

        for (int s = 0; s < maxStems; ++s)
        {
            juce::StringArray mine;

            for (int t = s; t < ids.size(); t += maxStems)
                mine.add (ids[t]);

            app->session.assignTracks (mine, schema.stems[(size_t) s].id, true);
        }

        cueKey = app->session.getCues()[50].key;
        chooseCue (cueKey);

        // A stem of that cue playing (the manual sound card holds it there).
        for (const auto& stem : schema.stems)
        {
            if (! page->getAudition().getAuditionTracks (stem, page->getMixColumns().getSelectedCueKey()).isEmpty())
            {
                page->getAudition().auditionStem (stem, page->getMixColumns().getSelectedCueKey());
                break;
            }
        }

        if (! bench::pumpUntil ([this] { return app->previewEngine.isPlaying(); }, 10000))
            std::abort();
    }

    juce::String cueKey;
};

// One tick of the audition repainter: the state read and the visible rows and heading painted.
void BM_AuditionTick (benchmark::State& state)
{
    ManyCues f;
    auto& list = f.page->getStemList().getListBox();
    auto& heading = *dunmoor::testing::findByTitle<juce::Component> (*f.page, "Alternative mixes");
    juce::Image listImage (juce::Image::RGB, list.getWidth(), list.getHeight(), false);
    juce::Image headingImage (juce::Image::RGB, heading.getWidth(), heading.getHeight(), false);

    for (auto _ : state)
    {
        f.page->getAudition().updateAuditionState();
        {
            juce::Graphics g (listImage);
            list.paintEntireComponent (g, true);
        }
        {
            juce::Graphics g (headingImage);
            heading.paintEntireComponent (g, true);
        }
        benchmark::DoNotOptimize (listImage.getPixelAt (0, 0));
    }

    state.SetLabel ("2048 tracks, 256 stems, 10 mixes, a cue chosen");
}
BENCHMARK (BM_AuditionTick)->Unit (benchmark::kMillisecond);

// The cue choice after the assignments changed: the per-cue stem index rebuilt from 2048 tracks
// and the 100 items compared (and refilled when a count changed, as here every other time).
void BM_RefreshCueChoices (benchmark::State& state)
{
    ManyCues f;
    const auto& tracks = f.app->session.getTracks();
    const auto& schema = f.app->session.getPreset().schema;
    const auto moved = tracks[7].id;
    const auto homes = juce::StringArray { tracks[7].stemId, schema.stems[200].id };
    int n = 0;

    for (auto _ : state)
    {
        // The assignment notifies the page, which rebuilds its index and its choices.
        f.app->session.assignTracks ({ moved }, homes[n++ % 2], true);
    }

    state.SetLabel ("2048 tracks in 100 cues, through Session::assignTracks");
}
BENCHMARK (BM_RefreshCueChoices)->Unit (benchmark::kMillisecond);

// The page's own part of it, called directly.
void BM_RefreshCueChoicesOnly (benchmark::State& state)
{
    ManyCues f;

    for (auto _ : state)
        f.page->assignmentsChanged();

    state.SetLabel ("index and 100 items, nothing changed");
}
BENCHMARK (BM_RefreshCueChoicesOnly)->Unit (benchmark::kMillisecond);

} // namespace

int main (int argc, char** argv)
{
    const auto result = dunmoor::bench::runUiBenchmarks (argc, argv, "brackenfold-preset-audition-bench-");
    benchFolder().deleteRecursively();
    return result;
}
