#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "CueReport.h"
#include "RenderJob.h"
#include "RenderPlan.h"
#include "core/audio/CancelCheck.h"

namespace dunmoor
{

/**
    The working state of one cue's render. The job makes one per cue, on the render thread,
    and drops it after taking the report. The members are the render's own; callers build it
    and hand it to renderCue.
*/
class CueRenderContext
{
public:
    CueRenderContext (const RenderRequest& request, RenderCancelCheck shouldCancel, RenderProgressCallback progress);
    ~CueRenderContext();

    /** Sticky: once the cancel check has said yes, the cue stays cancelled. Asks the cancel
        check, so it is called on the thread that renders the cue. */
    bool isCancelled();

    /** The check handed to the cue's long operations (reads, rate conversions, peak
        measurements, encodes), polled once per block. On the thread that made the context it
        asks isCancelled(); on a worker thread it sees the cancel once the rendering thread has
        noticed it, so every worker stops at the same sticky cancel. The rendering thread keeps
        asking while it waits for the workers. */
    CancelCheck makeOperationCancelCheck();

    /** Calls the progress callback when there is one. */
    void reportProgress (double fraction, const juce::String& text, RenderJob::Phase phase);

    /** Adds a warning unless the same text was already added to this cue. */
    void addWarningOnce (const juce::String& text);

    /** Worker threads the cue may use besides the render thread for reading and converting
        tracks, summing and encoding: -1 picks a count from the machine, 0 keeps everything on
        the calling thread. The written files, the report and the order of progress, messages
        and files are the same either way. Set before renderCue. */
    int workerThreads = -1;

    /** Source tracks of the other cues of a batch, which this cue must not write over either
        (its own tracks are in its request). Not owned; set before renderCue, or left null. */
    const std::vector<juce::File>* batchSourceTracks = nullptr;

    const RenderRequest& request;
    RenderCancelCheck shouldCancel;
    RenderProgressCallback progress;

    juce::AudioBuffer<double> mix;              // the full-mix bus
    juce::StringArray writtenPaths;             // every file written (or being written) in this cue, for name collisions
    juce::StringArray writtenItems;             // what each of those paths was written for: name and kind of item
    std::vector<int> stemNumbers;               // {stemIndex} of each stem plan, in plan order
    CueReport report;
    int64_t cutFrames = 0;                      // frames removed at the head
    int64_t renderedLength = 0;                 // lengthInFrames - cutFrames

    /** What the reconstruction check needs to know of each written file, in writing order. */
    std::vector<ReconstructionCandidate> candidates;

    struct Internals;
    std::unique_ptr<Internals> internals;       // threads, reads ahead, writes under way, reusable buffers, alternative-mix sums

private:
    JUCE_DECLARE_NON_COPYABLE (CueRenderContext)
};

/** Renders one request from validation to the reconstruction check and returns its report.
    Every failure is a message in the report; nothing is thrown. */
CueReport renderCue (CueRenderContext& context);

/** Reads and sums every stem into the mix, cuts the head, measures the mix and decides the
    gain. False stops the cue. */
[[nodiscard]] bool sumAndMeasure (CueRenderContext& context);

/** Applies the gain and writes every stem, the full mix and then the alternative mixes.
    False stops the cue. */
[[nodiscard]] bool writeStemsAndFullMix (CueRenderContext& context);

/** Writes the alternative mixes summed while their member stems were written. False stops
    the cue. */
[[nodiscard]] bool writeAlternativeMixes (CueRenderContext& context);

/** One item to write in every enabled format entry (kind: WrittenFile::stemKind, fullMixKind
    or alternativeMixKind; stemId only for stems). */
struct OutputItem
{
    std::shared_ptr<const juce::AudioBuffer<double>> buffer;   // at the project rate; kept alive until written
    juce::String namingTemplate;
    juce::String stemName;
    juce::String stemCode;
    int number = 0;
    juce::String displayName;
    int kind = WrittenFile::stemKind;
    double peakDb = -400.0;
    bool ownGain = false;
    juce::String stemId;
};

/** Writes the item in the first two format entries. With worker threads the encoding may
    still be going on when this returns; the next write, or settlePendingWrites, waits for it
    and records its files. False stops the cue. */
[[nodiscard]] bool writeOutputFile (CueRenderContext& context, const OutputItem& item);

/** Waits for a write still in progress and records its files (or its error). False when it
    failed. */
[[nodiscard]] bool settlePendingWrites (CueRenderContext& context);

/** Checks that the written stems add up to the written mix; fills the report's
    reconstruction and adds an error when it fails. */
void verifyReconstruction (CueRenderContext& context);

} // namespace dunmoor
