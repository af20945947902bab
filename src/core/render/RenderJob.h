#pragma once

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
    juce::File outputRoot;              // the first request's output folder
    bool sharedGainApplied = false;     // one gain was measured across the batch and applied to every cue
    GainResult sharedGain;
    juce::StringArray errors;           // errors of the run as a whole

    // Defined with the text reports.
    int countCuesNeedingAttention() const;      // errors, cancelled, not ok or reconstruction FAILED
    int countFilesWritten() const;              // over all cues

    /** The first cue, or a shared cue report holding the defaults when there is none. */
    const CueReport& getFirstCue() const;
};

/** Runs one analysis or render of a batch of cues on a thread of its own. */
class RenderJob
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
};

} // namespace dunmoor
