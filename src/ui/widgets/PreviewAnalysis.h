#pragma once

#include <functional>

#include "core/audio/CancelCheck.h"
#include "core/audio/Spectrogram.h"
#include "core/audio/WaveformOverview.h"
#include "ui/widgets/LatestRequestRunner.h"
#include "ui/widgets/PreviewZoom.h"

namespace dunmoor::ui
{

/** The analysis of one stretch of a file for a preview player. */
struct PreviewAnalysisResult
{
    juce::String path;
    ViewRange range;            // the part of the file analysed
    bool wholeFile = true;      // a whole-file job: no overview (the host has the whole file's)
    Spectrogram spectrogram;    // empty when the file could not be analysed
    WaveformOverview overview;  // the stretch's waveform (zoomed jobs only)
    int generation = 0;
};

/**
    The spectrogram (and, for a zoomed view, waveform) analysis behind a preview player, on a
    worker thread of its own where only the latest request counts (LatestRequestRunner).

    Every request, and every cancel, starts a new generation; a result reaches the delivery
    callback on the message thread only while its generation is still the current one, so a
    late result never overwrites a newer picture. A request never waits for the previous job:
    that job is told to stop and polls the request at every column or block it reads. The
    destructor waits, without a time limit, for a running job to notice (a job is never
    killed). The last whole-file spectrogram is kept, so that going back to the whole file
    needs no second run.

    Message thread only, apart from the compute function, which runs on the worker.
*/
class PreviewAnalysis
{
public:
    /** Works out a result on the worker thread; must poll the cancel check per block. */
    using Compute = std::function<PreviewAnalysisResult (const juce::File& file, ViewRange range, const CancelCheck& cancel)>;
    using Deliver = std::function<void (const PreviewAnalysisResult&)>;

    /** The analysis the players use: a 1024-point spectrogram of 700 columns, and for a part of
        the file a 2000-bucket overview of it. */
    static PreviewAnalysisResult computeDefault (const juce::File& file, ViewRange range, const CancelCheck& cancel);

    PreviewAnalysis (juce::String workerThreadName, Deliver deliver, Compute compute = computeDefault);

    /** Analyses the range of the file (the whole file when the range is whole). */
    void start (const juce::File& file, ViewRange range);

    /** Drops whatever runs or waits: its result will not be delivered. */
    void cancel();

    int getGeneration() const noexcept { return runner.getLatestRequest(); }

    /** True from start until the current generation's result has been delivered. */
    bool isBusy() const noexcept { return busy; }

    /** The last whole-file spectrogram delivered for exactly this path; nullptr otherwise. */
    const Spectrogram* getCachedWholeFile (const juce::String& path) const;

    /** Forgets the kept whole-file spectrogram (its file has changed on disk). */
    void forgetCachedWholeFile();

    const juce::String& getWorkerThreadName() const noexcept { return runner.getThreadName(); }

private:
    void deliver (const PreviewAnalysisResult& result);

    Deliver onResult;
    Compute compute;
    bool busy = false;
    Spectrogram cachedWholeFile;
    juce::String cachedWholeFilePath;

    // Last: it goes first, waiting for a running job before anything a job reads goes.
    LatestRequestRunner runner;

    JUCE_DECLARE_NON_COPYABLE (PreviewAnalysis)
};

} // namespace dunmoor::ui
