#pragma once

#include <deque>
#include <memory>

#include <juce_audio_basics/juce_audio_basics.h>

#include "CueReport.h"
#include "RenderPlan.h"
#include "ParallelBufferOps.h"

namespace dunmoor
{

class CueRenderState;
struct EarlyMix;
struct PendingWrite;

/**
    An item whose audio comes a window at a time (see OutputWriter::open): its files are encoded
    as the windows come, so that the item is never in memory as a whole.
*/
class WindowedWrite
{
public:
    ~WindowedWrite();

    /** Encodes the first count frames of the window into every file of the item; windows come
        in order and every one but the last holds a whole number of getWindowFrames(). May be
        called on any thread, by one at a time. False once no file of the item is being written any
        more (an entry failed, and the item fails at OutputWriter::close with the reason). */
    bool append (const juce::AudioBuffer<double>& window, int count);

    /** Finishes the files once every window is in (flushing them to the disk), on the thread
        that appended the last window, so that several items finish side by side; close does it
        otherwise. */
    void finish();

    /** What every window but the last must be a multiple of, in frames. */
    int getWindowFrames() const noexcept { return windowFrames; }

    /** The peak the report gives for the item's files, known only once every window is in. */
    void setPeakDb (double peakDb);

    /** True when nothing is to be encoded: the item only tells a refusal at its turn. */
    bool isEmpty() const;

    /** True when a refusal was made at open: no item after this one may be opened. */
    bool stopsTheCue() const;

private:
    friend class OutputWriter;
    WindowedWrite();

    std::unique_ptr<PendingWrite> write;
    int windowFrames = 1;
    juce::int64 framesAppended = 0;
    bool finished = false;

    WindowedWrite (const WindowedWrite&) = delete;
    WindowedWrite& operator= (const WindowedWrite&) = delete;
};

/** One item to write in every enabled format entry (kind: WrittenFile::stemKind, fullMixKind
    or alternativeMixKind; stemId only for stems). */
struct OutputItem
{
    ConstBuffer buffer;                 // at the project rate; kept alive until written
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

/**
    Writes a cue's outputs in the first two format entries, in writing order. Names are decided
    and every refusal is made on the rendering thread, in order; encoding goes to the workers.
    With room for writes under way (writesInFlight of 2), items are encoded side by side into
    hidden files that are moved into place in writing order, so no file lands on disk before the
    files written ahead of it. The full mix may be encoded ahead, at the start of the writing
    pass, into hidden files that are moved into place at its turn.
*/
class OutputWriter
{
public:
    OutputWriter();
    ~OutputWriter();

    /** Items encoded while the render goes on; 0: one at a time, in place. */
    int writesInFlight = 0;

    /** Writes the item in the first two format entries. With worker threads the encoding may
        still be going on when this returns; the next write, or settle, waits for it and
        records its files. False stops the cue. */
    [[nodiscard]] bool write (CueRenderState& state, const OutputItem& item);

    /** Decides the item's names, and makes every refusal, now and in writing order as write()
        does, and opens its files for frames frames to come a window at a time; null when the
        files could not be opened (the reason is told at close). Only for items that every
        format entry writes at the project rate (see writesAtProjectRate). Writes under way are
        finished first. */
    [[nodiscard]] std::unique_ptr<WindowedWrite> open (CueRenderState& state, const OutputItem& item, juce::int64 frames);

    /** Finishes the item's files and records them (or its error, or the refusal made at open),
        in writing order as settle does. False stops the cue. */
    [[nodiscard]] bool close (CueRenderState& state, std::unique_ptr<WindowedWrite> windowed);

    /** True when every enabled format entry writes at the project rate, so that items can be
        written a window at a time. */
    static bool writesAtProjectRate (const RenderRequest& request);

    /** Waits for every write still in progress and records its files (or its error). False
        when one failed. */
    [[nodiscard]] bool settle (CueRenderState& state);

    /** Starts encoding the full mix into hidden files beside its final places, so that its
        memory can go while the stems are written. Entries that can't be prepared now are left
        to the mix's own turn, which then reports what is wrong with them. */
    void startEarlyMix (CueRenderState& state);

    /** True once the mix encoded ahead covers every enabled entry and is finished: the mix
        itself is not needed again. */
    bool hasWrittenWholeMixAhead() const;

    /** A decision of the rendering thread between writes (a skipped empty stem, given by its
        index in the report, or -1; a warning, or empty): told at once when no write is under
        way, else after the last one, when that is recorded and only when it succeeds, so the
        report reads as if the files had been written one after another. */
    void tellAfterWrites (CueRenderState& state, int skippedStem, const juce::String& warning);

    /** Waits for every write under way and drops them; hidden files never moved go with them. */
    void release (CueRenderState& state);

private:
    std::unique_ptr<PendingWrite> prepare (CueRenderState& state, const OutputItem& item, const std::shared_ptr<EarlyMix>& early);
    bool settleOldest (CueRenderState& state);
    void discardPending (CueRenderState& state);

    std::deque<std::unique_ptr<PendingWrite>> pending;  // in writing order
    std::shared_ptr<EarlyMix> earlyMix;

    OutputWriter (const OutputWriter&) = delete;
    OutputWriter& operator= (const OutputWriter&) = delete;
};

} // namespace dunmoor
