// The Report page on a display (run under Xvfb when there is none:
// `xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/ReportPageBench`), at 1360 x 860 over a
// run of 40 cues that wrote 1,600 files, each with the 1400-bucket waveform a render keeps:
// refreshing the page for a new run, switching between two cues of 80 files, a full repaint of
// the delivery table with its waveform previews, the player's 10 Hz update (and how often it
// repaints the table), and the time from a click on a 10-minute stereo file to its spectrogram
// on screen. Settings go to a temporary home folder.

#include <cmath>

#include "UiBenchmarkMain.h"
#include "ui/FakeSeams.h"
#include "ui/app/AppState.h"
#include "ui/pages/report/DeliveryTable.h"
#include "ui/pages/report/ReportPage.h"

namespace
{
using namespace dunmoor;
using namespace dunmoor::ui;

BatchReport makeRun (int numCues, int filesPerCue)
{
    WaveformOverview overview;
    overview.peak = 0.8f;
    overview.duration = 185.0;

    for (int i = 0; i < 1400; ++i)
    {
        const auto v = 0.8f * (float) std::abs (std::sin (i * 0.05));
        overview.minimums.push_back (-v);
        overview.maximums.push_back (v);
    }

    BatchReport report;
    report.allOk = true;
    report.outputRoot = juce::File ("/deliveries/Harbour");

    for (int c = 0; c < numCues; ++c)
    {
        CueReport cue;
        cue.ok = true;
        cue.cueName = "1m" + juce::String (c).paddedLeft ('0', 2) + " Cue";
        cue.sampleRate = 48000.0;
        cue.lengthInFrames = 48000 * 185;
        cue.numChannels = 2;
        cue.reconstruction.state = ReconstructionState::passed;

        for (int s = 0; s < filesPerCue; ++s)
        {
            StemReport stem;
            stem.id = juce::Uuid().toDashedString();
            stem.name = "Stem " + juce::String (s + 1);
            stem.trackCount = 3;
            stem.peakDb = stem.peakAfterDb = -6.0 - s * 0.1;
            cue.stems.push_back (stem);

            WrittenFile file;
            file.file = report.outputRoot.getChildFile (cue.cueName + "/" + cue.cueName + "_" + juce::String (s + 1).paddedLeft ('0', 2) + ".wav");
            file.stemId = stem.id;
            file.settingsDescription = "WAV 24bit 48kHz 2ch";
            file.fileSize = 53280044;
            file.overview = overview;
            cue.files.push_back (file);
        }

        report.cues.push_back (cue);
    }

    return report;
}

/** The state, the page at 1360 x 860 and the run it shows. */
struct Fixture
{
    explicit Fixture (BatchReport report)
    {
        state = std::make_unique<AppState> (std::make_unique<dunmoor::testing::FakeSeams>());
        page = std::make_unique<ReportPage> (*state);
        page->setSize (1360, 860);
        state->setLastReport (std::move (report));
        page->refresh();
    }

    ~Fixture()
    {
        page.reset();
        state.reset();
    }

    std::unique_ptr<AppState> state;
    std::unique_ptr<ReportPage> page;
};

void BM_RefreshForANewRun (benchmark::State& benchState)
{
    Fixture f (makeRun (40, 40));

    for (auto _ : benchState)
    {
        ++f.state->lastReportRun;     // as setLastReport counts a run, without the copy
        f.page->refresh();
    }

    benchState.SetLabel ("40 cues, 1600 files");
}
BENCHMARK (BM_RefreshForANewRun)->Unit (benchmark::kMillisecond);

void BM_SwitchCue (benchmark::State& benchState)
{
    Fixture f (makeRun (2, 80));
    int cue = 0;

    for (auto _ : benchState)
    {
        cue = 1 - cue;
        f.page->getCueList().selectRow (cue);
    }

    benchState.SetLabel ("80 rows");
}
BENCHMARK (BM_SwitchCue)->Unit (benchmark::kMillisecond);

void BM_RepaintTable (benchmark::State& benchState)
{
    Fixture f (makeRun (40, 40));
    auto& table = f.page->getDeliveryTable();
    juce::Image image (juce::Image::RGB, table.getWidth(), table.getHeight(), false);

    for (auto _ : benchState)
    {
        juce::Graphics g (image);
        table.paintEntireComponent (g, true);
        benchmark::DoNotOptimize (image.getPixelAt (0, 0));
    }

    benchState.SetLabel ((juce::String (table.getWidth()) + " x " + juce::String (table.getHeight()) + " in a 1360 x 860 page").toStdString());
}
BENCHMARK (BM_RepaintTable)->Unit (benchmark::kMillisecond);

void BM_UpdateTransport (benchmark::State& benchState)
{
    Fixture f (makeRun (1, 40));
    f.page->showFile (3, false, 0.0);    // a file in the player, its id asked of the engine

    for (auto _ : benchState)
        f.page->updateTransport();
}
BENCHMARK (BM_UpdateTransport)->Unit (benchmark::kMicrosecond);

// The marker of a 3-minute file at 10 Hz moves 1/1800 of the file per tick: the table repaints
// about every fourth tick, and never while the file stands still.
void BM_PlayingMarker (benchmark::State& benchState)
{
    Fixture f (makeRun (1, 40));
    auto& table = f.page->getDeliveryTable();
    const auto path = table.getRow (0)->file.getFullPathName();
    double fraction = 0.0;
    int64_t ticks = 0, repaints = 0;

    for (auto _ : benchState)
    {
        fraction = std::fmod (fraction + 1.0 / 1800.0, 1.0);
        repaints += table.setPlayingMarker (path, fraction) ? 1 : 0;
        repaints += table.setPlayingMarker (path, fraction) ? 1 : 0;   // standing still
        ticks += 2;
    }

    benchState.counters["repaintsPerTick"] = (double) repaints / (double) juce::jmax ((int64_t) 1, ticks);
}
BENCHMARK (BM_PlayingMarker)->Unit (benchmark::kMicrosecond);

void BM_SpectrogramOfATenMinuteFile (benchmark::State& benchState)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("brackenfold-report-bench-" + juce::Uuid().toString());
    const auto wav = folder.getChildFile ("1m01/Long.wav");
    wav.getParentDirectory().createDirectory();

    {
        // 10 minutes of stereo noise, written in blocks so the bench never holds it all.
        juce::WavAudioFormat format;
        std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (new juce::FileOutputStream (wav), 48000.0, 2, 16, {}, 0));
        juce::AudioBuffer<float> block (2, 48000);
        juce::Random random (1);

        for (int s = 0; s < 600; ++s)
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < block.getNumSamples(); ++i)
                    block.setSample (ch, i, random.nextFloat() * 0.5f - 0.25f);

            writer->writeFromAudioSampleBuffer (block, 0, block.getNumSamples());
        }
    }

    auto report = makeRun (1, 1);
    report.cues[0].files[0].file = wav;
    report.cues[0].files[0].overview.duration = 600.0;
    Fixture f (std::move (report));

    for (auto _ : benchState)
    {
        const auto start = juce::Time::getMillisecondCounterHiRes();
        f.page->showFile (0, false, 0.0);
        bench::pumpUntil ([&] { return ! f.page->getSpectrogram().isBusy(); }, 60000);
        benchState.SetIterationTime ((juce::Time::getMillisecondCounterHiRes() - start) / 1000.0);
    }

    benchState.SetLabel (f.page->getSpectrogram().getSpectrogram().values.empty() ? "no spectrogram" : "10 min stereo, 700 columns");
    folder.deleteRecursively();
}
BENCHMARK (BM_SpectrogramOfATenMinuteFile)->UseManualTime()->Iterations (5)->Unit (benchmark::kMillisecond);

} // namespace

int main (int argc, char** argv)
{
    return dunmoor::bench::runUiBenchmarks (argc, argv, "brackenfold-report-bench-home-");
}
