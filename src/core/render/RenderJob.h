#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include <juce_core/juce_core.h>

#include "CueReport.h"
#include "RenderPlan.h"

namespace dunmoor
{

/** The outcome of one analysis or render run. */
struct BatchReport
{
    std::vector<CueReport> cues;        // one per cue rendered, in request order
    bool allOk = false;                 // not cancelled, at least one cue, every cue ok
    bool cancelled = false;
    double elapsedSeconds = 0.0;        // wall time of the run
    juce::Time startedAt, finishedAt;   // when the run began and ended; saving the report later keeps them
    juce::File outputRoot;              // the output folder the user chose (of the first request)
    juce::String projectName;           // the preset's project field of the first request
    juce::String projectFileName;       // the saved project the run was started from, without extension; empty when none (set by the caller)
    bool sharedGainApplied = false;     // one gain was measured across the batch and applied to every cue
    GainResult sharedGain;
    juce::StringArray errors;           // errors of the run as a whole

    // Defined with the text reports.
    int countCuesNeedingAttention() const;      // errors, unreadable tracks, cancelled, not ok or reconstruction FAILED
    int countFilesWritten() const;              // over all cues

    /** The first cue, or a shared cue report holding the defaults when there is none. */
    const CueReport& getFirstCue() const;
};

/**
    Runs one analysis or render of a batch of cues on a thread of its own: the cues one after
    another, after a pass that measures them all when the batch shares one gain. Progress is
    published for polling; cancel is a request the render notices at its next check.

    The thread is never killed: cancel and the destructor wait for the render to reach a check,
    however long that takes, so no temporary or half-written file is left behind.
*/
class RenderJob : private juce::Thread
{
public:
    enum class Phase : int
    {
        idle = 0,
        summing = 1,
        measuring = 2,
        writing = 3,
        verifying = 4,
        finished = 5
    };

    /** A snapshot for the page that polls the job. */
    struct Status
    {
        double progress = 0.0;          // 0..1 of the run
        juce::String statusText;
        int phase = (int) Phase::idle;  // a Phase
        bool isRunning = false;
    };

    using FinishedCallback = std::function<void (const BatchReport&)>;

    RenderJob();

    /** Asks the render to stop and waits for its thread to end, without a time limit (which is
        why onFinished must never wait for the message thread; see start). */
    ~RenderJob() override;

    /** Starts a run of the requests. False (and both arguments dropped) while a run is going
        or for an empty list. onFinished is called once, on the render thread, at the end.

        onFinished must never wait for the message thread (a MessageManagerLock, a blocking
        call onto it): the job is usually destroyed there, and its destructor waits for the
        render thread without a limit, so the two would wait for each other forever. Post the
        report to the message thread instead. */
    bool start (std::vector<RenderRequest> requests, FinishedCallback onFinished);

    /** Asks the render to stop at its next check; returns at once. */
    void cancel();

    Status getStatus() const;

    /** Waits for the thread to end; a negative timeout waits as long as it takes. False when
        the thread is still running at the timeout. */
    bool waitForThreadToExit (int timeoutMs) const;

private:
    void run() override;

    std::vector<RenderRequest> requests;
    FinishedCallback onFinished;

    juce::CriticalSection statusLock;
    juce::String statusText;
    std::atomic<double> progress { 0.0 };
    std::atomic<int> phase { (int) Phase::idle };

    JUCE_DECLARE_NON_COPYABLE (RenderJob)
};

/** Asked at every cancel point; true stops the render. Called on the render thread. */
using RenderCancelCheck = std::function<bool()>;

/** Told where a render stands: a fraction 0..1, a status text and the phase. */
using RenderProgressCallback = std::function<void (double fraction, const juce::String& statusText, RenderJob::Phase phase)>;

/** Renders the requests in order, after a shared-gain measuring pass when the first request
    asks for one, and gathers the batch report. The job's thread calls it; a test may too. */
BatchReport runQueue (std::vector<RenderRequest> requests, const RenderCancelCheck& shouldCancel, const RenderProgressCallback& progress);

} // namespace dunmoor
