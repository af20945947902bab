#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "RenderWorkers.h"
#include "core/audio/AudioFileProbe.h"
#include "core/audio/CancelCheck.h"
#include "core/audio/SilenceGate.h"
#include "core/audio/WaveformOverview.h"

namespace dunmoor
{

/** One track read by a worker: the file, its converted and gated audio, or why not. The
    worker writes the results before its task is marked done; the rendering thread reads them
    only after that. */
struct TrackRead
{
    juce::File file;
    std::shared_ptr<RenderTask> task;

    bool ok = false;
    juce::String error;
    juce::AudioBuffer<double> audio;
    SilenceGateReport gate;
    WaveformOverview overview;
};

/** What the probe of a track found, once per render: the reads of both passes are handed it
    instead of probing the file again. */
struct TrackProbe
{
    bool ok = false;
    AudioFileInfo info;
    juce::String error;     // why the probe refused the file
};

/** The probes of a render's tracks, by full path. */
using TrackProbes = std::map<juce::String, TrackProbe>;

/** Probes every file once (a file listed twice, once). */
std::shared_ptr<const TrackProbes> probeTracks (const std::vector<juce::File>& files);

/** How the tracks of one pass are read. */
struct ReadSettings
{
    double sampleRate = 48000.0;    // 0: each file at its own rate
    int maxChannels = 2;
    SilenceGateSettings gate;
    bool gatedOverview = false;     // the summing pass reports gated tracks with an overview
    RenderWorkers* helpers = nullptr;
    CancelCheck cancel;             // the cue's, polled by every read once per block
    std::shared_ptr<const TrackProbes> probes;  // the render's probes of the files; null: each read probes its file
};

/**
    Memory of finished reads, kept for the next reads of the cue (in any pass): a fresh
    allocation of a whole track is cleared by the system page by page, which costs more than
    reading the track. Holds at most a few buffers; the rest are freed. Used on the rendering
    thread only.
*/
class SpareBuffers
{
public:
    explicit SpareBuffers (size_t maxKept) : limit (maxKept) {}

    /** Keeps the buffer's memory (it is left empty) when there is room, else frees it. */
    void give (juce::AudioBuffer<double>& buffer);

    /** A kept buffer of that channel count (its contents are stale), or an empty one. */
    juce::AudioBuffer<double> take (int numChannels);

    /** True when take would return a kept buffer. */
    bool has (int numChannels) const;

    /** The memory kept, in bytes. */
    int64_t getBytes() const;

    /** Frees kept buffers until at most the given bytes are kept. */
    void trimTo (int64_t bytes);

    void clear() { kept.clear(); }

private:
    size_t limit;
    std::vector<juce::AudioBuffer<double>> kept;
};

/** What a read will cost: the memory it holds at its peak (its result and, while it is
    converted, a window of the file at its own rate) and whether it is converted, which makes
    it several times slower than a plain read. */
struct ReadCost
{
    int64_t bytes = 0;
    int64_t resultBytes = 0;
    bool converted = false;
    int numChannels = 0;
};

/**
    Reads the tracks of a pass ahead of the rendering thread, on the workers: as many at once as
    there are workers and the memory budget allows (always at least the one the rendering
    thread waits for). Reads are started in order, except that a converted read coming up
    soon is started first, so that its long conversion is under way before it is needed.
    The rendering thread takes them strictly in order, so everything it does with them
    (summing, messages, reports) happens exactly as if it had read them itself. Without
    worker threads each track is read when it is taken.
*/
class TrackPrefetcher
{
public:
    /** isCancelled is asked by the rendering thread while it waits for a read. Reads go into
        the memory of earlier ones kept in spares, and give theirs back to it once released
        (spares may be null, and must outlive the prefetcher). */
    TrackPrefetcher (RenderWorkers& workers,
                     std::vector<juce::File> files,
                     ReadSettings settings,
                     int64_t budgetBytes,
                     size_t lookAheadReads,
                     std::function<bool()> isCancelled,
                     SpareBuffers* spares = nullptr);

    ~TrackPrefetcher();

    /** Called while the rendering thread waits for a read, between its cancel checks. */
    std::function<void()> whileWaiting;

    /** Track k of the pass (taken in order); nullptr when the cue was cancelled meanwhile. */
    std::shared_ptr<TrackRead> take (size_t k);

    int64_t getBytesInFlight() const noexcept { return bytesInFlight; }

    /** True once every read of the pass has been started. */
    bool hasStartedAll() const noexcept;

    /** Changes the memory the reads may take from now on. */
    void setBudget (int64_t budgetBytes);

    /** Gives track k's memory to the spares and starts further reads. */
    void release (size_t k);

private:
    struct Slot
    {
        std::shared_ptr<TrackRead> read;
        ReadCost cost;
        bool costKnown = false;
        int64_t heldBytes = 0;      // counted against the budget: the estimate, then what a finished read holds
        bool settled = false;       // finished, and heldBytes brought down to what it holds
    };

    const ReadCost& costOf (size_t k);
    /** True when read k may start now, with alsoNeeded bytes more for a read that must follow. */
    bool fits (size_t k, int64_t alsoNeeded = 0);
    void launch (size_t k);
    void recountFinishedReads();
    void launchMore();

    RenderWorkers& workers;
    std::shared_ptr<const ReadSettings> settings;
    std::shared_ptr<std::atomic<bool>> abandon;
    std::function<bool()> isCancelled;
    std::vector<Slot> slots;
    size_t oldest = 0;          // the first slot not yet taken
    int64_t budget = 0;
    int64_t bytesInFlight = 0;
    int countInFlight = 0;
    int maxInFlight = 1;
    size_t lookAhead = 8;       // how far ahead a converted read may be started first
    SpareBuffers* spares = nullptr;

    TrackPrefetcher (const TrackPrefetcher&) = delete;
    TrackPrefetcher& operator= (const TrackPrefetcher&) = delete;
};

} // namespace dunmoor
