#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <vector>

#include <juce_events/juce_events.h>

#include "core/audio/CancelCheck.h"
#include "core/audio/WaveformOverview.h"

namespace dunmoor::ui
{

/**
    Overviews of audio files (2000 buckets), computed on a pool of worker threads and kept for
    the life of the program, so that track tables and previews draw waveforms without reading
    files on the message thread.

    get() returns a cached overview or queues the file at high priority (newest first);
    prefetch() queues it at low priority (oldest first, only while nothing is wanted). Listeners
    hear waveformsChanged on the message thread when new overviews have arrived.

    Paths are keys compared by the file system's rule (exact on Linux). A result never changes
    an overview in place: entries are swapped as shared pointers, so an overview a page holds
    stays intact. forget() gives the path a new generation, so a job still running for the old
    file stops at its next block and drops its result.

    When the cache is full, a result asked for by get evicts the entry least recently asked for,
    among those nobody asked for since that request was made; when there is none, the result is
    not kept and its path is not queued again until an entry is evicted or forgotten. Prefetched
    results never evict. So a page that shows more files than fit never makes the cache compute
    in circles, and files no longer shown make room for those that are.

    The workers ("Brackenfold waveforms", clamp(CPUs - 1, 2, 6) of them) are never killed:
    destruction stops their work at the next block and waits for them without a time limit; no
    listener is called afterwards. Public operations are for the message thread.
*/
class WaveformCache : private juce::AsyncUpdater
{
public:
    struct Listener
    {
        virtual ~Listener() = default;
        virtual void waveformsChanged() = 0;
    };

    /** Computes one file's overview; polls the cancel check between blocks. */
    using OverviewFunction = std::function<WaveformOverview (const juce::File& file, int numBuckets, const CancelCheck& cancel)>;

    struct Options
    {
        int capacity = 4096;
        int numThreads = 0;              // 0: number of CPUs - 1, within 2..6
        OverviewFunction computeOverview; // empty: the core's whole-file overview
    };

    static constexpr int numBuckets = 2000;

    WaveformCache();
    explicit WaveformCache (Options options);
    ~WaveformCache() override;

    /** The cached overview, or null (then queued unless pending or there is no room). An empty
        path gives null. The pointer keeps the overview alive as long as it is held. */
    std::shared_ptr<const WaveformOverview> get (const juce::String& path);

    /** The cached overview, or null; queues nothing and leaves the use order alone. For lookups
        over every track (a sort by clipping) that must not turn them all into wanted work. */
    std::shared_ptr<const WaveformOverview> find (const juce::String& path) const;

    /** Queues the path at low priority unless it is cached or pending. */
    void prefetch (const juce::String& path);

    /** Drops the path's overview and any queued request; a running job's result is discarded. */
    void forget (const juce::String& path);

    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    //==============================================================================
    // For tests and benchmarks.
    int getNumThreads() const noexcept { return (int) workers.size(); }
    juce::String getWorkerThreadName() const;
    int getNumCached() const;
    int getNumPending() const;

    /** Overviews computed so far, kept or not. */
    int getNumComputed() const noexcept { return numComputed.load(); }

private:
    class Worker;

    struct Entry
    {
        std::shared_ptr<const WaveformOverview> overview;
        juce::uint64 lastUse = 0; // the use count at its last get, or when it was stored
    };

    struct Pending
    {
        juce::uint64 ticket = 0;   // the request's generation; forget() drops it
        juce::String path;         // as asked for
        bool wanted = false;       // asked for by get (may evict); else prefetched (never evicts)
        juce::uint64 wantedAt = 0; // the use count when get asked for it
    };

    juce::String keyFor (const juce::String& path) const;
    void queue (const juce::String& key, const juce::String& path, bool isWanted);
    bool takeNext (juce::String& key, juce::String& path, juce::uint64& ticket);
    bool isCurrent (const juce::String& key, juce::uint64 ticket) const;
    void store (const juce::String& key, juce::uint64 ticket, std::shared_ptr<const WaveformOverview> overview);
    bool evictUnusedSince (juce::uint64 useCount);
    void handleAsyncUpdate() override;

    Options options;
    std::atomic<bool> shuttingDown { false };
    std::atomic<int> numComputed { 0 };

    juce::CriticalSection lock;
    std::map<juce::String, Entry> overviews; // by key
    std::map<juce::String, Pending> pending; // queued or running, by key
    std::vector<juce::String> wanted;        // keys, newest last
    std::deque<juce::String> prefetchQueue;  // keys, oldest first
    std::set<juce::String> notKept;          // keys whose result found no room
    juce::uint64 nextTicket = 1;
    juce::uint64 useCounter = 0;

    std::vector<Listener*> listeners; // message thread only
    std::vector<std::unique_ptr<Worker>> workers; // last: built after, stopped before, the state they use

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveformCache)
};

} // namespace dunmoor::ui
