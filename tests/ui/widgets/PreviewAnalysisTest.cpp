#include <gtest/gtest.h>

#include "audio/AudioTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/widgets/PreviewAnalysis.h"

namespace dunmoor::ui
{
namespace
{
    using namespace dunmoor::testing;

    /** A compute function that holds every job until it is released or told to stop, and
        counts what it was asked for. */
    struct BlockingCompute
    {
        juce::WaitableEvent release { true };
        std::atomic<int> started { 0 };
        std::atomic<int> stopped { 0 };
        bool honourCancel = true;

        PreviewAnalysis::Compute function()
        {
            return [this] (const juce::File&, ViewRange range, const CancelCheck& cancel)
            {
                ++started;

                while (! release.wait (1))
                {
                    if (honourCancel && cancel())
                    {
                        ++stopped;
                        return PreviewAnalysisResult {};
                    }
                }

                PreviewAnalysisResult result;
                result.spectrogram.columns = 1;
                result.spectrogram.bins = 1;
                result.spectrogram.values = { (float) range.start };

                if (! range.isWholeFile())
                    result.overview.minimums = result.overview.maximums = { 0.0f };

                return result;
            };
        }
    };

    struct Delivered
    {
        std::vector<PreviewAnalysisResult> results;
        PreviewAnalysis::Deliver function()
        {
            return [this] (const PreviewAnalysisResult& r) { results.push_back (r); };
        }
    };
} // namespace

TEST (PreviewAnalysis, ANewRequestStopsTheOldJobAndOnlyTheNewestArrives)
{
    BlockingCompute compute;
    Delivered delivered;
    PreviewAnalysis analysis ("Brackenfold spectrogram", delivered.function(), compute.function());

    EXPECT_EQ (analysis.getWorkerThreadName(), "Brackenfold spectrogram");
    analysis.start (juce::File ("/music/A.wav"), {});
    ASSERT_TRUE (pumpUntil ([&] { return compute.started == 1; }));
    EXPECT_TRUE (analysis.isBusy());

    // The next request returns at once; the running job notices and ends without a result.
    analysis.start (juce::File ("/music/B.wav"), { 0.25, 0.5 });
    ASSERT_TRUE (pumpUntil ([&] { return compute.stopped == 1 && compute.started == 2; }));

    compute.release.signal();
    ASSERT_TRUE (pumpUntil ([&] { return delivered.results.size() == 1; }));
    pumpMessages (50);

    ASSERT_EQ (delivered.results.size(), 1u);
    EXPECT_EQ (delivered.results[0].path, "/music/B.wav");
    EXPECT_FALSE (delivered.results[0].wholeFile);
    EXPECT_EQ (delivered.results[0].range.start, 0.25);
    EXPECT_EQ (delivered.results[0].generation, analysis.getGeneration());
    EXPECT_FALSE (analysis.isBusy());
    EXPECT_EQ (analysis.getCachedWholeFile ("/music/B.wav"), nullptr) << "a zoomed picture is never kept as the whole file";
}

TEST (PreviewAnalysis, AResultOfAnOlderGenerationIsDropped)
{
    BlockingCompute compute;
    compute.honourCancel = false; // finishes and posts whatever it is told
    Delivered delivered;
    PreviewAnalysis analysis ("Brackenfold spectrogram", delivered.function(), compute.function());

    analysis.start (juce::File ("/music/A.wav"), {});
    ASSERT_TRUE (pumpUntil ([&] { return compute.started == 1; }));
    analysis.cancel();
    EXPECT_FALSE (analysis.isBusy());
    compute.release.signal();
    pumpMessages (100);
    EXPECT_TRUE (delivered.results.empty());

    // The whole file's picture is kept for exactly its path and forgotten on request.
    analysis.start (juce::File ("/music/A.wav"), {});
    ASSERT_TRUE (pumpUntil ([&] { return delivered.results.size() == 1; }));
    EXPECT_TRUE (delivered.results[0].wholeFile);
    ASSERT_NE (analysis.getCachedWholeFile ("/music/A.wav"), nullptr);
    EXPECT_EQ (analysis.getCachedWholeFile ("/music/a.wav"), nullptr);
    analysis.forgetCachedWholeFile();
    EXPECT_EQ (analysis.getCachedWholeFile ("/music/A.wav"), nullptr);
}

TEST (PreviewAnalysis, DestroyingItMidJobStopsTheJobAndDeliversNothing)
{
    BlockingCompute compute;
    Delivered delivered;
    {
        PreviewAnalysis analysis ("Brackenfold spectrogram", delivered.function(), compute.function());
        analysis.start (juce::File ("/music/A.wav"), {});
        ASSERT_TRUE (pumpUntil ([&] { return compute.started == 1; }));
    }

    EXPECT_EQ (compute.stopped, 1);
    pumpMessages (50);
    EXPECT_TRUE (delivered.results.empty());
}

TEST (PreviewAnalysis, TheDefaultAnalysisOfAWholeFileAndOfAStretch)
{
    TemporaryFolder temp;
    const auto file = temp.file ("tone.wav");
    juce::AudioBuffer<float> buffer (1, 48000 * 3);

    for (int i = 0; i < buffer.getNumSamples(); ++i)
        buffer.setSample (0, i, (float) (0.5 * std::sin (0.1 * i)));

    ASSERT_TRUE (writeAudioFile (file, "wav", buffer, 48000.0, 16));

    const auto whole = PreviewAnalysis::computeDefault (file, {}, {});
    EXPECT_EQ (whole.spectrogram.columns, 700);
    EXPECT_EQ (whole.spectrogram.fftSize, 1024);
    EXPECT_TRUE (whole.overview.isEmpty()) << "the waveform cache has the whole file's overview";

    const auto part = PreviewAnalysis::computeDefault (file, { 0.5, 0.75 }, {});
    EXPECT_EQ (part.spectrogram.columns, 700);
    EXPECT_NEAR (part.spectrogram.durationSeconds, 0.75, 1e-9);
    EXPECT_EQ (part.overview.getNumBuckets(), 2000);
    EXPECT_NEAR (part.overview.peak, 0.5f, 0.01f);

    const auto missing = PreviewAnalysis::computeDefault (temp.file ("gone.wav"), { 0.5, 0.75 }, {});
    EXPECT_EQ (missing.spectrogram.columns, 0);
    EXPECT_TRUE (missing.overview.isEmpty());

    const auto stopped = PreviewAnalysis::computeDefault (file, { 0.5, 0.75 }, [] { return true; });
    EXPECT_EQ (stopped.spectrogram.columns, 0);
}

} // namespace dunmoor::ui
