#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "RenderTestSupport.h"
#include "core/audio/LevelMeter.h"
#include "core/render/RenderJob.h"

namespace dunmoor
{
namespace
{
    using namespace dunmoor::testing;

    constexpr double rate = 48000.0;

    struct Step
    {
        double fraction;
        juce::String text;
        RenderJob::Phase phase;
    };

    /** Cues of one stem each, holding a 100 Hz tone at the given peak (dB). */
    struct Batch
    {
        explicit Batch (std::vector<double> peaksDb, int frames = 4800)
        {
            preset = makeRenderPreset ({ "Music" });
            preset.exportSettings.headroom.peakMode = PeakMode::truePeak;

            for (size_t i = 0; i < peaksDb.size(); ++i)
                tracks.push_back (writeTone (temp.file ("in/cue" + juce::String ((int) i + 1) + ".wav"), 2, frames, rate, 100.0, decibelsToGain (peaksDb[i])));
        }

        std::vector<RenderRequest> requests (bool measureOnly = false) const
        {
            std::vector<RenderRequest> list;

            for (size_t i = 0; i < tracks.size(); ++i)
            {
                auto cuePreset = preset;
                cuePreset.metadata.cue = "Cue " + juce::String ((int) i + 1);
                auto request = makeRequest (cuePreset, temp.file ("out/cue" + juce::String ((int) i + 1)), { { tracks[i] } });
                request.measureOnly = measureOnly;
                list.push_back (request);
            }

            return list;
        }

        TemporaryFolder temp;
        Preset preset;
        std::vector<juce::File> tracks;
    };

    BatchReport runAll (const std::vector<RenderRequest>& requests, std::vector<Step>& steps, const RenderCancelCheck& cancel = {})
    {
        return runQueue (requests, cancel, [&] (double x, const juce::String& text, RenderJob::Phase phase) { steps.push_back ({ x, text, phase }); });
    }

    void expectForwardProgress (const std::vector<Step>& steps)
    {
        for (size_t i = 1; i < steps.size(); ++i)
            EXPECT_GE (steps[i].fraction, steps[i - 1].fraction) << steps[i - 1].text << " -> " << steps[i].text;
    }
} // namespace

TEST (RenderJobTest, BatchOfThreeCuesReportsForwardProgressAndFinishes)
{
    Batch batch ({ -6.0, -9.0, -12.0 });
    auto requests = batch.requests();
    requests[1].preset.schema.stems.clear();   // fails validation, the others still render

    std::vector<Step> steps;
    const auto report = runAll (requests, steps);

    ASSERT_EQ (report.cues.size(), 3u);
    EXPECT_TRUE (report.cues[0].ok);
    EXPECT_FALSE (report.cues[1].ok);
    EXPECT_FALSE (report.cues[1].errors.isEmpty());
    EXPECT_TRUE (report.cues[2].ok);
    EXPECT_FALSE (report.allOk);
    EXPECT_FALSE (report.cancelled);
    EXPECT_FALSE (report.sharedGainApplied);
    EXPECT_EQ (report.outputRoot, requests[0].outputFolder);
    EXPECT_GT (report.elapsedSeconds, 0.0);
    EXPECT_GE (report.elapsedSeconds, report.cues[0].elapsedSeconds + report.cues[2].elapsedSeconds);

    // Each cue keeps its own gain: -6, -9 and -12 dBTP all reach -3.
    EXPECT_NEAR (report.cues[0].gain.gainDb, 3.0, 0.01);
    EXPECT_NEAR (report.cues[2].gain.gainDb, 9.0, 0.01);

    expectForwardProgress (steps);
    ASSERT_FALSE (steps.empty());
    EXPECT_EQ (steps.front().text, "[1/3] Cue 1: Summing Music...");
    EXPECT_NEAR (steps.front().fraction, 0.02 / 3.0, 1e-12);
    EXPECT_EQ (steps.back().text, "[3/3] Cue 3: Finished.");
    EXPECT_EQ (steps.back().fraction, 1.0);
    EXPECT_EQ (steps.back().phase, RenderJob::Phase::finished);
}

TEST (RenderJobTest, SharedGainMovesEveryCueByTheSameGain)
{
    Batch batch ({ -6.0, -12.0 });
    batch.preset.exportSettings.batch.gainMode = BatchGainMode::sharedAcrossBatch;

    std::vector<Step> steps;
    const auto report = runAll (batch.requests(), steps);

    ASSERT_TRUE (report.allOk);
    EXPECT_TRUE (report.sharedGainApplied);
    EXPECT_NEAR (report.sharedGain.peakDb, -6.0, 0.01);
    EXPECT_NEAR (report.sharedGain.gainDb, 3.0, 0.01);

    for (const auto& cue : report.cues)
        EXPECT_EQ (cue.gain.gainDb, report.sharedGain.gainDb);

    EXPECT_NEAR (gainToDecibels (report.cues[0].afterTruePeak), -3.0, 0.01);
    EXPECT_NEAR (gainToDecibels (report.cues[1].afterTruePeak), -9.0, 0.01);

    // The measuring pass fills the first 35 %, always in the measuring phase.
    expectForwardProgress (steps);
    EXPECT_EQ (steps.front().text, "Measuring Cue 1: Summing Music...");

    for (const auto& step : steps)
    {
        if (step.text.startsWith ("Measuring "))
        {
            EXPECT_TRUE (step.fraction <= 0.35 && step.phase == RenderJob::Phase::measuring) << step.text;
        }
    }

    EXPECT_EQ (steps.back().text, "[2/2] Cue 2: Finished.");

    // One cue, or an analysis, never shares a gain.
    auto single = batch.requests();
    single.resize (1);
    EXPECT_FALSE (runAll (single, steps).sharedGainApplied);
    EXPECT_FALSE (runAll (batch.requests (true), steps).sharedGainApplied);
}

TEST (RenderJobTest, CancelDuringTheSecondCueKeepsItsReportAndStartsNoMore)
{
    Batch batch ({ -6.0, -9.0, -12.0 });
    std::atomic<bool> cancel { false };
    std::vector<Step> steps;

    const auto report = runQueue (batch.requests(), [&] { return cancel.load(); }, [&] (double x, const juce::String& text, RenderJob::Phase phase)
                                  {
                                      steps.push_back ({ x, text, phase });
                                      cancel = cancel || text == "[2/3] Cue 2: Writing Music...";
                                  });

    ASSERT_EQ (report.cues.size(), 2u);
    EXPECT_TRUE (report.cues[0].ok);
    EXPECT_TRUE (report.cues[1].cancelled);
    EXPECT_TRUE (report.cancelled);
    EXPECT_FALSE (report.allOk);
    EXPECT_EQ (steps.back().text, "[2/3] Cue 2: Cancelled.");
    EXPECT_FALSE (batch.temp.file ("out/cue3").exists());

    // A cancel in the measuring pass ends the run before any cue is rendered.
    batch.preset.exportSettings.batch.gainMode = BatchGainMode::sharedAcrossBatch;
    cancel = false;
    const auto measured = runQueue (batch.requests(), [&] { return cancel.load(); }, [&] (double, const juce::String& text, RenderJob::Phase)
                                    { cancel = cancel || text.startsWith ("Measuring Cue 2"); });

    EXPECT_TRUE (measured.cancelled);
    EXPECT_TRUE (measured.cues.empty());
    EXPECT_FALSE (measured.allOk);
}

// A cancel that came after the last cue had finished marked the finished export cancelled,
// and it was thrown away.
TEST (RenderJobTest, CancelAfterTheLastCueFinishedDoesNotCancelTheRun)
{
    Batch batch ({ -6.0, -9.0 });
    std::atomic<bool> cancel { false };

    const auto report = runQueue (batch.requests(), [&] { return cancel.load(); }, [&] (double, const juce::String& text, RenderJob::Phase)
                                  { cancel = cancel || text == "[2/2] Cue 2: Finished."; });

    EXPECT_FALSE (report.cancelled);
    EXPECT_TRUE (report.allOk);
    EXPECT_EQ (report.cues.size(), 2u);
}

// Under the overwrite policy the first cue wrote over a file a later cue of the batch still had
// to read (an earlier delivery imported as that cue's tracks).
TEST (RenderJobTest, NoCueWritesOverAnotherCuesSourceTrack)
{
    Batch batch ({ -6.0, -6.0 });
    batch.preset.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;

    std::vector<Step> steps;
    const auto first = runAll (batch.requests(), steps);
    ASSERT_TRUE (first.allOk);
    ASSERT_FALSE (first.cues[0].files.empty());

    // The second cue now reads the first cue's earlier output.
    const auto earlier = first.cues[0].files.front().file;
    auto requests = batch.requests();
    requests[1].stems[0].tracks = { earlier };

    juce::MemoryBlock before;
    ASSERT_TRUE (earlier.loadFileAsData (before));

    const auto report = runAll (requests, steps);

    EXPECT_FALSE (report.cues[0].ok);
    ASSERT_EQ (report.cues[0].errors.size(), 1);
    EXPECT_EQ (report.cues[0].errors[0], "Refusing to overwrite a source track: " + earlier.getFullPathName());

    juce::MemoryBlock after;
    ASSERT_TRUE (earlier.loadFileAsData (after));
    EXPECT_EQ (after, before);
}

TEST (RenderJobTest, EmptyRunsAreRefused)
{
    const auto report = runQueue ({}, {}, {});
    EXPECT_EQ (report.errors, juce::StringArray ("There is nothing to render."));
    EXPECT_FALSE (report.allOk);

    RenderJob job;
    EXPECT_FALSE (job.start ({}, [] (const BatchReport&) {}));

    const auto status = job.getStatus();
    EXPECT_EQ (status.phase, (int) RenderJob::Phase::idle);
    EXPECT_EQ (status.progress, 0.0);
    EXPECT_FALSE (status.isRunning);
    EXPECT_TRUE (status.statusText.isEmpty());
}

TEST (RenderJobTest, JobRunsOnItsThreadAndRefusesASecondStart)
{
    Batch batch ({ -6.0, -9.0 });
    RenderJob job;
    juce::WaitableEvent called, release;
    std::atomic<int> calls { 0 };
    BatchReport received;

    // The callback holds the thread inside its run until the second start has been tried.
    ASSERT_TRUE (job.start (batch.requests(), [&] (const BatchReport& r)
                            {
                                received = r;
                                ++calls;
                                called.signal();
                                release.wait (-1);
                            }));

    ASSERT_TRUE (called.wait (60000));

    EXPECT_TRUE (job.getStatus().isRunning);
    EXPECT_FALSE (job.start (batch.requests(), [&] (const BatchReport&) { ++calls; }));

    release.signal();
    EXPECT_TRUE (job.waitForThreadToExit (-1));
    EXPECT_EQ (calls.load(), 1);
    EXPECT_TRUE (received.allOk);
    EXPECT_EQ (received.cues.size(), 2u);

    const auto status = job.getStatus();
    EXPECT_EQ (status.progress, 1.0);
    EXPECT_EQ (status.statusText, "[2/2] Cue 2: Finished.");
    EXPECT_EQ (status.phase, (int) RenderJob::Phase::finished);
    EXPECT_FALSE (status.isRunning);

    // The job can run again once the thread has ended.
    ASSERT_TRUE (job.start (batch.requests (true), [&] (const BatchReport&) { ++calls; }));
    EXPECT_TRUE (job.waitForThreadToExit (-1));
    EXPECT_EQ (calls.load(), 2);
}

// The job's cancel must reach the render: cancelled while the first of three long cues writes
// its stem, the run stops inside that cue, the later cues never start, and every file left on
// disk is a finished, listed one.
TEST (RenderJobTest, CancelWhileTheFirstCueWritesStopsItAndStartsNoMore)
{
    // Cues long enough that the writing stage lasts far longer than it takes to see it.
    Batch batch ({ -6.0, -9.0, -12.0 }, 48000 * 30);
    std::atomic<int> calls { 0 };
    BatchReport received;

    {
        RenderJob job;
        ASSERT_TRUE (job.start (batch.requests(), [&] (const BatchReport& r)
                                {
                                    received = r;
                                    ++calls;
                                }));

        const auto deadline = juce::Time::getMillisecondCounter() + 120000;

        // Any moment of the first cue's writing stage: its single stem's own status lasts only
        // as long as it takes to hand the stem to a worker.
        auto isWritingCue1 = [&job]
        {
            const auto status = job.getStatus();
            return status.phase == (int) RenderJob::Phase::writing && status.statusText.startsWith ("[1/3] Cue 1: Writing ");
        };

        while (! isWritingCue1() && juce::Time::getMillisecondCounter() < deadline)
            std::this_thread::yield();

        job.cancel();
        // The destructor waits for the thread, however long the render takes to notice.
    }

    EXPECT_EQ (calls.load(), 1);
    EXPECT_TRUE (received.cancelled);
    EXPECT_FALSE (received.allOk);
    ASSERT_EQ (received.cues.size(), 1u) << "the later cues must never start";
    EXPECT_TRUE (received.cues[0].cancelled);
    EXPECT_FALSE (received.cues[0].ok);
    EXPECT_FALSE (batch.temp.file ("out/cue2").exists());
    EXPECT_FALSE (batch.temp.file ("out/cue3").exists());

    juce::StringArray listed;

    for (const auto& f : received.cues[0].files)
        listed.add (f.file.getRelativePathFrom (batch.temp.file ("out")));

    listed.sort (false);
    EXPECT_EQ (listFilesBelow (batch.temp.file ("out")), listed);
}

} // namespace dunmoor
