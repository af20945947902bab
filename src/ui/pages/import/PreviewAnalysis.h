#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include <juce_events/juce_events.h>

#include "PreviewZoom.h"
#include "core/audio/CancelCheck.h"
#include "core/audio/Spectrogram.h"
#include "core/audio/WaveformOverview.h"

namespace dunmoor::ui
{

/** The analysis of one stretch of a file for the preview pane. */
struct PreviewAnalysisResult
{
    juce::String path;
    ViewRange range;            // the part of the file analysed
    bool wholeFile = true;      // a whole-file job: no overview, the waveform cache has it
    Spectrogram spectrogram;    // empty when the file could not be analysed
    WaveformOverview overview;  // the stretch's waveform (zoomed jobs only)
    int generation = 0;
};

/**
    The spectrogram (and, for a zoomed view, waveform) analysis behind the Import page's preview,
    on one worker thread of its own ("Brackenfold spectrogram").

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

    /** The analysis the page uses: a 1024-point spectrogram of 700 columns, and for a part of
        the file a 2000-bucket overview of it. */
    static PreviewAnalysisResult computeDefault (const juce::File& file, ViewRange range, const CancelCheck& cancel);

    explicit PreviewAnalysis (Deliver deliver, Compute compute = computeDefault);
    ~PreviewAnalysis();

    /** Analyses the range of the file (the whole file when the range is whole). */
    void start (const juce::File& file, ViewRange range);

    /** Drops whatever runs or waits: its result will not be delivered. */
    void cancel();

    int getGeneration() const noexcept { return generation.load(); }

    /** True from start until the current generation's result has been delivered. */
    bool isBusy() const noexcept { return busy; }

    /** The last whole-file spectrogram delivered for exactly this path; nullptr otherwise. */
    const Spectrogram* getCachedWholeFile (const juce::String& path) const;

    /** Forgets the kept whole-file spectrogram (its file has changed on disk). */
    void forgetCachedWholeFile();

    juce::String getWorkerThreadName() const;

private:
    class Worker;

    struct Request
    {
        juce::File file;
        ViewRange range;
        int generation = 0;
    };

    /** The newest request, taken by the worker; none when there is nothing to do. */
    std::optional<Request> takeRequest();
    void run (const Request& request, const CancelCheck& cancel);
    void deliver (const PreviewAnalysisResult& result);

    Deliver onResult;
    Compute compute;
    std::atomic<int> generation { 0 };
    bool busy = false;
    Spectrogram cachedWholeFile;
    juce::String cachedWholeFilePath;

    std::mutex requestMutex;
    std::optional<Request> pending; // replaced by every newer request
    std::unique_ptr<Worker> worker;
    juce::WeakReference<PreviewAnalysis> self; // made on the message thread, copied by the worker

    JUCE_DECLARE_WEAK_REFERENCEABLE (PreviewAnalysis)
    JUCE_DECLARE_NON_COPYABLE (PreviewAnalysis)
};

} // namespace dunmoor::ui
