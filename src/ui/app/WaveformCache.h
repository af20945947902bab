#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
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

    When the cache is full, a result asked for by get evicts the entry least recently asked for
    among those no get has touched in the last two announcement rounds; when every entry is that
    fresh, the result is not kept, and get queues nothing while there is no room. Prefetched
    results never evict. So a page that shows more files than fit never makes the cache compute
    in circles.

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
        juce::uint64 lastUse = 0;   // a running count of gets, for least-recently-used eviction
        juce::uint64 usedEpoch = 0; // the announcement round of the last get
    };

    struct Pending
    {
        juce::uint64 ticket = 0; // the request's generation; forget() drops it
        juce::String path;       // as asked for
        bool wanted = false;     // asked for by get (may evict); else prefetched (never evicts)
    };

    juce::String keyFor (const juce::String& path) const;
    void queue (const juce::String& key, const juce::String& path, bool isWanted);
    bool takeNext (juce::String& key, juce::String& path, juce::uint64& ticket);
    bool isCurrent (const juce::String& key, juce::uint64 ticket) const;
    void store (const juce::String& key, juce::uint64 ticket, std::shared_ptr<const WaveformOverview> overview);
    bool isProtected (const Entry& entry) const noexcept { return entry.usedEpoch + 1 >= epoch; }
    bool hasEvictableEntry() const;
    bool evictLeastRecentlyUsed();
    void markUsed (Entry& entry);
    void eraseEntry (std::map<juce::String, Entry>::iterator it);
    void handleAsyncUpdate() override;

    Options options;
    std::atomic<bool> shuttingDown { false };
    std::atomic<int> numComputed { 0 };

    juce::CriticalSection lock;
    std::map<juce::String, Entry> overviews;         // by key
    std::map<juce::uint64, int> entriesByEpoch;      // how many entries were last used in each round
    std::map<juce::String, Pending> pending;         // queued or running, by key
    std::vector<juce::String> wanted;                // keys, newest last
    std::deque<juce::String> prefetchQueue;          // keys, oldest first
    juce::uint64 nextTicket = 1;
    juce::uint64 useCounter = 0;
    juce::uint64 epoch = 1;                          // advances with every announcement

    std::vector<Listener*> listeners; // message thread only
    std::vector<std::unique_ptr<Worker>> workers; // last: built after, stopped before, the state they use

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveformCache)
};

} // namespace dunmoor::ui
