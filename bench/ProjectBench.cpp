// Saving and reopening a project of 2048 tracks in 40 cues (2 reels of 20 cue folders of 51 or
// 52 small WAV files) with the default 16-stem schema: writing the document through the atomic
// writer, then reading it back and applying it to a fresh session, which imports the 40 folders
// again (scan and header probe of every file), matches, and restores the manual and locked
// assignments and the cue settings. Run pinned to one core, e.g. `taskset -c 0 build/bench/ProjectBench`.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>

#include "BenchTime.h"
#include "ShortTrack.h"
#include "core/model/BuiltInPresets.h"
#include "core/files/AtomicFileWriter.h"
#include "core/session/ProjectFile.h"
#include "core/session/Session.h"

namespace
{
using namespace dunmoor;

const char* const instruments[] = { "Violins", "Violas", "Celli", "Basses", "Horns", "Trumpets", "Trombones", "Tuba", "Flutes", "Oboes", "Clarinets", "Bassoons", "Harp", "Piano", "Celesta", "Timpani", "Taiko", "Snare", "Cymbals", "Choir", "Synth Pad", "Sub Bass", "Riser", "Whoosh", "Braam", "Drone", "Ostinato", "Arp", "Guitar", "Perc Loop", "Shaker", "Lead Vox" };
const char* const details[] = { "Close", "Tree", "Surround", "Hi", "Lo", "Spicc", "Legato", "A" };

constexpr int numCues = 40;
constexpr int numTracks = 2048;

// The tree and the saved session are made once per process; the tree is removed at exit.
struct Project
{
    Project()
    {
        juce::WavAudioFormat wav;
        int n = 0;

        for (int cue = 0; cue < numCues; ++cue)
        {
            const auto reel = cue / 20 + 1;
            const auto cueName = juce::String (reel) + "m" + juce::String (cue % 20 + 1).paddedLeft ('0', 2);
            const auto folder = root.getChildFile ("Reel " + juce::String (reel)).getChildFile (cueName + " Cue");
            folder.createDirectory();

            const auto count = numTracks / numCues + (cue < numTracks % numCues ? 1 : 0);

            for (int i = 0; i < count; ++i, ++n)
            {
                const auto name = cueName + "_" + juce::String (instruments[i % 32]).replace (" ", "_") + "_" + details[(i / 32 + n) % 8];
                failed = failed || ! bench::writeShortTrack (folder.getChildFile (name + ".wav"), wav, 24);
            }
        }

        session.setPreset (makeHybridOrchestraExamplePreset());
        const auto summary = session.importFiles ({ root }, true);
        failed = failed || summary.imported != numTracks;

        // Some decisions of the user's: every 7th track moved by hand, every 11th locked, cues renamed.
        const auto& stems = session.getPreset().schema.stems;
        juce::StringArray manual, locked;

        for (size_t i = 0; i < session.getTracks().size(); ++i)
        {
            if (i % 7 == 0)
                manual.add (session.getTracks()[i].id);
            else if (i % 11 == 0)
                locked.add (session.getTracks()[i].id);
        }

        session.assignTracks (manual, stems[3].id, false);
        session.assignTracks (locked, stems[5].id, true);

        for (const auto& cue : session.getCuesWithTracks())
            (void) session.renameCue (cue.key, cue.name + " (final)");
    }

    ~Project()
    {
        root.deleteRecursively();
        projectFile.deleteFile();
    }

    juce::File root = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("dunmoor-project-bench", "", false);
    juce::File projectFile = root.getSiblingFile (root.getFileName() + projectFileExtension);
    Session session;
    bool failed = false;
};

Project& project()
{
    static Project p;
    return p;
}

bool save (juce::String& error)
{
    const auto text = writeProjectDocument (project().session, "/deliveries/Show", true);
    return writeTextFileAtomically (project().projectFile, text, error);
}

// The whole round: save, then open into a fresh session.
void BM_SaveAndReopen (benchmark::State& state)
{
    if (project().failed)
    {
        state.SkipWithError ("could not write the test tree");
        return;
    }

    size_t restored = 0;

    for (auto _ : state)
    {
        juce::String error;

        if (! save (error))
        {
            state.SkipWithError (error.toRawUTF8());
            return;
        }

        const auto document = loadProjectFile (project().projectFile);

        if (! document.ok)
        {
            state.SkipWithError ("the project did not read back");
            return;
        }

        auto reopened = std::make_unique<Session>();
        auto missing = document.missingFolders;
        reopened->applyProjectDocument (document, missing);
        restored = reopened->getTracks().size();
        benchmark::DoNotOptimize (restored);

        state.PauseTiming();
        reopened.reset();
        state.ResumeTiming();
    }

    state.counters["tracks"] = (double) restored;
    state.counters["bytes"] = (double) project().projectFile.getSize();
}
BENCHMARK (BM_SaveAndReopen)->Unit (benchmark::kMillisecond)->MinTime (dunmoor::bench::benchMinTime (5.0));

// The save alone: building the document and writing it.
void BM_Save (benchmark::State& state)
{
    for (auto _ : state)
    {
        juce::String error;
        benchmark::DoNotOptimize (save (error));
    }
}
BENCHMARK (BM_Save)->Unit (benchmark::kMillisecond);

// Reading and checking the document without applying it.
void BM_ReadDocument (benchmark::State& state)
{
    juce::String error;
    if (! save (error))
    {
        state.SkipWithError (error.toRawUTF8());
        return;
    }

    const auto text = project().projectFile.loadFileAsString();

    for (auto _ : state)
        benchmark::DoNotOptimize (readProjectDocument (text));
}
BENCHMARK (BM_ReadDocument)->Unit (benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
