#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "AlternativeMixSums.h"
#include "CueRender.h"
#include "CueStaging.h"
#include "core/audio/LevelMeter.h"
#include "OutputWriter.h"
#include "ParallelBufferOps.h"
#include "RenderMemoryPlan.h"
#include "RenderWorkers.h"
#include "TrackPrefetcher.h"

namespace dunmoor
{

// The inside of a cue's render: its working state and its stages, in the order renderCue
// runs them. Nothing outside the render includes this.

/**
    The working state of one cue's render. renderCue makes it on the thread that renders the
    cue and drops it after taking the report; its destructor waits for every task of the cue.
*/
class CueRenderState
{
public:
    explicit CueRenderState (const CueRenderContext& context);
    ~CueRenderState();

    /** Sticky: once the cancel check has said yes, the cue stays cancelled. Asks the cancel
        check, so it is called on the thread that renders the cue. */
    bool isCancelled();

    /** The check handed to the cue's long operations (reads, rate conversions, peak
        measurements, encodes), polled once per block. On the rendering thread it asks
        isCancelled(); on a worker thread it sees the cancel once the rendering thread has
        noticed it, so every worker stops at the same sticky cancel. The rendering thread keeps
        asking while it waits for the workers. */
    CancelCheck makeOperationCancelCheck();

    /** Shares the work of a long operation out over the cue's helpers (starting the workers);
        empty without helper threads, so that it runs on the calling thread. */
    ParallelTasks makeParallelTasks();

    /** Calls the progress callback when there is one. */
    void reportProgress (double fraction, const juce::String& text, RenderJob::Phase phase);

    /** Adds a warning unless the same text was already added to this cue. */
    void addWarningOnce (const juce::String& text);

    /** Waits for work on a worker, asking for a cancel meanwhile: the workers' cancel checks
        only see what the rendering thread notices. */
    void waitFor (RenderTask& task);

    /** The cue's workers (reading ahead and encoding), started on first use. */
    RenderWorkers& getWorkers();

    /** Threads sharing out the rendering thread's buffer arithmetic; null before getWorkers. */
    RenderWorkers* getHelpers() const noexcept { return helpers.get(); }

    /** Ends every task of the cue and gives back its threads and buffers (the threads first:
        an early write of the mix may still be reading it). */
    void release();

    /** Remembers the folder and those of its parents that do not exist yet, before the render
        creates them, so that removeFoldersLeftEmpty can take them away again. */
    void noteFoldersToCreate (const juce::File& folder);

    /** Removes the folders this cue created that are still empty, deepest first, so a cue that
        stopped before writing leaves no empty folder behind. A folder holding anything stays,
        and so does every folder that existed before the cue. */
    void removeFoldersLeftEmpty();

    /** Every track of the request, stem by stem: the order both passes read them in. */
    std::vector<juce::File> getTracksOfPass() const;

    /** How a pass reads its tracks: at the project rate, gated, with the cue's cancel check. In
        the summing pass gated tracks get an overview for the report. */
    ReadSettings makeReadSettings (bool summingPass);

    /** The reads of a pass on the cue's workers; the rendering thread asks for a cancel while it
        waits for one. */
    std::unique_ptr<TrackPrefetcher> makeReads (std::vector<juce::File> files, ReadSettings settings, int64_t budgetBytes, size_t lookAhead);

    /** A stem buffer of the writing pass: a spare one no one holds any more, or a new one.
        Spares beyond what the writes under way and this stem need are given back. Null with the
        reason in error. */
    SharedBuffer obtainStemBuffer (int64_t frames, bool clear, juce::String& error);

    const RenderRequest& request;
    const RenderCancelCheck shouldCancel;
    const RenderProgressCallback progress;
    const int workerThreads;
    const std::vector<juce::File>* const batchSourceTracks;

    juce::AudioBuffer<double> mix;              // the full-mix bus
    juce::StringArray writtenPaths;             // every file written (or being written) in this cue, for name collisions
    juce::StringArray writtenItems;             // what each of those paths was written for: name and kind of item
    std::vector<juce::File> createdFolders;     // folders missing when the cue came to them, in creation order
    std::vector<int> stemNumbers;               // {stemIndex} of each stem plan, in plan order
    CueReport report;
    int64_t cutFrames = 0;                      // frames removed at the head
    int64_t renderedLength = 0;                 // lengthInFrames - cutFrames
    bool mixInWindows = false;                  // the mix is summed, measured and written a window at a time, never whole

    /** Each track of the cue with its fileStamp from before the summing pass read it: a track
        whose file changes between the passes makes stems that no longer add up to the mix. */
    std::vector<std::pair<juce::File, juce::String>> trackStamps;

    /** What the reconstruction check needs to know of each written file, in writing order. */
    std::vector<ReconstructionCandidate> candidates;

    std::shared_ptr<const TrackProbes> trackProbes;     // every track probed once, before the summing pass reads it
    std::vector<std::vector<FrameRange>> gateRanges;    // {track of the pass} the stretches the summing pass gated
    juce::AudioBuffer<double> stemBuffer;       // the summing pass's one stem at a time
    std::vector<SharedBuffer> spareBuffers;     // the writing pass's stem buffers, reused once free
    RenderMemoryPlan memory;
    SpareBuffers readSpares { 3 };                  // memory of taken reads for the next ones, in every pass
    std::unique_ptr<TrackPrefetcher> writeReads;    // the writing pass's reads, started while the summing pass ends
    CueStaging staging;                         // where the cue's files wait until the whole cue has succeeded
    OutputWriter writer;
    AlternativeMixSums mixSums;

private:
    const std::thread::id renderThread = std::this_thread::get_id();
    const std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>> (false);   // what the rendering thread noticed, for the workers

    std::unique_ptr<RenderWorkers> workers;
    std::unique_ptr<RenderWorkers> helpers;

    JUCE_DECLARE_NON_COPYABLE (CueRenderState)
};

/** Sizes a reusable buffer to frames, keeping its memory when it can (a buffer cut at the
    head keeps its allocation); cleared on request (a new buffer always is). */
[[nodiscard]] bool prepareReusableBuffer (juce::AudioBuffer<double>& buffer, int numChannels, int64_t frames, bool clear, juce::String& error);

/** Reads and sums every stem into the mix, cuts the head, measures the mix and decides the
    gain. False stops the cue. */
[[nodiscard]] bool sumAndMeasure (CueRenderState& state);

/** True when the cue's mix can be summed and measured a window at a time: every file is
    written at the project rate (or nothing is written), no head is cut, and the windows of its
    tracks with the silence gate's look-ahead take less memory than whole buffers would. */
bool sumsInWindows (const RenderRequest& request);

/** Reads every stem's tracks a window at a time, all of them side by side, and sums them into
    windows of the stems and the mix: fills the stem reports, the gate ranges and the leading
    silence, and measures the mix's peaks, as summing whole stems into a whole mix does. False
    stops the cue. */
[[nodiscard]] bool sumStemsInWindows (CueRenderState& state, PeakLevels& peaks);

/** Applies the gain and writes every stem, the full mix and then the alternative mixes.
    False stops the cue. */
[[nodiscard]] bool writeStemsAndFullMix (CueRenderState& state);

/** The output item of stem plan i (its audio not yet attached). */
OutputItem makeStemItem (const CueRenderState& state, size_t i);

/** The output item of the full mix (its audio and its peak not yet attached). */
OutputItem makeFullMixItem (const ExportSettings& settings);

/** The output item of an alternative mix written after `written` others (its audio and its
    peak not yet attached). */
OutputItem makeAlternativeMixItem (const ExportSettings& settings, const AlternativeMix& mix, int written);

/** A stem's report as the render starts it: what the plan says, and for a stem without
    tracks all there is to say. */
StemReport startStemReport (const StemPlan& plan);

/** Records the peak of stem plan i, read to its end: its report is measured, and a silent
    stem is warned of. */
void recordStemPeak (CueRenderState& state, size_t i, double samplePeak);

/** Names the stem or mix whose failure stops the cue, for the reports; the first one named
    stays (a later failure only follows from it). */
void noteStoppedAt (CueReport& report, const juce::String& item);

/** Writes every stem a window at a time, all of them side by side, and sums the alternative
    mixes' members window by window; for a cue whose files are all written at the project rate
    (see OutputWriter::writesAtProjectRate). The files are the ones writing whole stems makes.
    False stops the cue. */
[[nodiscard]] bool writeStemsInWindows (CueRenderState& state);

/** Writes the alternative mixes summed while their member stems were written. False stops
    the cue. */
[[nodiscard]] bool writeAlternativeMixes (CueRenderState& state);

/** Fails the cue, naming them, when tracks changed on disk after the summing pass read them
    (unless the reconstruction check failed and named them already). */
void checkTracksUnchanged (CueRenderState& state);

/** Moves the cue's staged files into place when the cue succeeded; otherwise (or when they
    can't all be moved) drops them, so that the output folder keeps its earlier files, and says
    so in the report. */
void deliverStagedFiles (CueRenderState& state);

/** Checks that the written stems add up to the written mix; fills the report's
    reconstruction and adds an error when it fails. */
void verifyReconstruction (CueRenderState& state);

} // namespace dunmoor
