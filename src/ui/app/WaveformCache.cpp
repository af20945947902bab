#include "WaveformCache.h"

#include <algorithm>

namespace dunmoor::ui
{

namespace
{
    const char* const workerThreadName = "Brackenfold waveforms";
}

//==============================================================================
class WaveformCache::Worker : public juce::Thread
{
public:
    explicit Worker (WaveformCache& cacheToServe)
        : juce::Thread (workerThreadName)
        , cache (cacheToServe)
    {
    }

    ~Worker() override
    {
        // Never killed: the overview polls the exit request between blocks.
        signalThreadShouldExit();
        notify();
        stopThread (-1);
    }

    void run() override
    {
        while (! threadShouldExit())
        {
            juce::String key, path;
            juce::uint64 ticket = 0;

            if (! cache.takeNext (key, path, ticket))
            {
                wait (-1);
                continue;
            }

            // A forget() of the path, or the cache going away, stops the work at its next block.
            const CancelCheck cancel = [this, &key, ticket] {
                return threadShouldExit() || cache.shuttingDown.load() || ! cache.isCurrent (key, ticket);
            };

            const auto file = juce::File::isAbsolutePath (path) ? juce::File (path) : juce::File();
            auto overview = std::make_shared<const WaveformOverview> (cache.options.computeOverview (file, numBuckets, cancel));

            if (threadShouldExit() || cache.shuttingDown.load())
                return;

            if (cache.isCurrent (key, ticket))
                ++cache.numComputed;

            cache.store (key, ticket, std::move (overview));
        }
    }

private:
    WaveformCache& cache;
};

//==============================================================================
WaveformCache::WaveformCache()
    : WaveformCache (Options())
{
}

WaveformCache::WaveformCache (Options optionsToUse)
    : options (std::move (optionsToUse))
{
    if (options.computeOverview == nullptr)
    {
        options.computeOverview = [] (const juce::File& file, int buckets, const CancelCheck& cancel) {
            juce::String error; // an unreadable file is kept as an empty overview, never retried
            return overviewFromFile (file, buckets, error, cancel);
        };
    }

    options.capacity = std::max (1, options.capacity);
    const int threads = options.numThreads > 0 ? options.numThreads
                                               : juce::jlimit (2, 6, juce::SystemStats::getNumCpus() - 1);

    for (int i = 0; i < threads; ++i)
    {
        workers.push_back (std::make_unique<Worker> (*this));
        workers.back()->startThread (juce::Thread::Priority::normal);
    }
}

WaveformCache::~WaveformCache()
{
    shuttingDown = true;
    workers.clear(); // each waits for its thread, however long its current block takes
    cancelPendingUpdate();
}

//==============================================================================
juce::String WaveformCache::keyFor (const juce::String& path) const
{
    return juce::File::areFileNamesCaseSensitive() ? path : path.toLowerCase();
}

bool WaveformCache::evictUnusedSince (juce::uint64 useCount)
{
    auto victim = overviews.end();

    for (auto it = overviews.begin(); it != overviews.end(); ++it)
        if (it->second.lastUse < useCount && (victim == overviews.end() || it->second.lastUse < victim->second.lastUse))
            victim = it;

    if (victim == overviews.end())
        return false;

    overviews.erase (victim);
    notKept.clear(); // room may appear for them now
    return true;
}

void WaveformCache::queue (const juce::String& key, const juce::String& path, bool isWanted)
{
    pending[key] = { nextTicket++, path, isWanted, isWanted ? ++useCounter : 0 };

    if (isWanted)
        wanted.push_back (key);
    else
        prefetchQueue.push_back (key);
}

std::shared_ptr<const WaveformOverview> WaveformCache::find (const juce::String& path) const
{
    if (path.isEmpty())
        return {};

    const auto key = keyFor (path);
    const juce::ScopedLock scope (lock);
    const auto it = overviews.find (key);
    return it != overviews.end() ? it->second.overview : nullptr;
}

std::shared_ptr<const WaveformOverview> WaveformCache::get (const juce::String& path)
{
    if (path.isEmpty())
        return {};

    const auto key = keyFor (path);

    {
        const juce::ScopedLock scope (lock);

        if (auto it = overviews.find (key); it != overviews.end())
        {
            it->second.lastUse = ++useCounter;
            return it->second.overview;
        }

        if (auto it = pending.find (key); it != pending.end())
        {
            // A prefetched file that comes into view moves to the front, without a second job.
            if (auto queued = std::find (prefetchQueue.begin(), prefetchQueue.end(), key); queued != prefetchQueue.end())
            {
                prefetchQueue.erase (queued);
                wanted.push_back (key);
            }

            if (! it->second.wanted)
            {
                it->second.wanted = true;
                it->second.wantedAt = ++useCounter;
            }

            return {};
        }

        if (notKept.count (key) > 0)
            return {};

        queue (key, path, true);
    }

    for (auto& worker : workers)
        worker->notify();

    return {};
}

void WaveformCache::prefetch (const juce::String& path)
{
    if (path.isEmpty())
        return;

    const auto key = keyFor (path);

    {
        const juce::ScopedLock scope (lock);

        if (overviews.count (key) > 0 || pending.count (key) > 0 || notKept.count (key) > 0
            || (int) overviews.size() >= options.capacity)
            return;

        queue (key, path, false);
    }

    for (auto& worker : workers)
        worker->notify();
}

void WaveformCache::forget (const juce::String& path)
{
    const auto key = keyFor (path);
    const juce::ScopedLock scope (lock);

    if (overviews.erase (key) > 0)
        notKept.clear();

    notKept.erase (key);
    pending.erase (key);
    wanted.erase (std::remove (wanted.begin(), wanted.end(), key), wanted.end());
    prefetchQueue.erase (std::remove (prefetchQueue.begin(), prefetchQueue.end(), key), prefetchQueue.end());
}

bool WaveformCache::takeNext (juce::String& key, juce::String& path, juce::uint64& ticket)
{
    const juce::ScopedLock scope (lock);

    for (;;)
    {
        if (! wanted.empty())
        {
            key = wanted.back();
            wanted.pop_back();
        }
        else if (! prefetchQueue.empty())
        {
            key = prefetchQueue.front();
            prefetchQueue.pop_front();
        }
        else
        {
            return false;
        }

        if (auto it = pending.find (key); it != pending.end())
        {
            path = it->second.path;
            ticket = it->second.ticket;
            return true;
        }
    }
}

bool WaveformCache::isCurrent (const juce::String& key, juce::uint64 ticket) const
{
    const juce::ScopedLock scope (lock);
    auto it = pending.find (key);
    return it != pending.end() && it->second.ticket == ticket;
}

void WaveformCache::store (const juce::String& key, juce::uint64 ticket, std::shared_ptr<const WaveformOverview> overview)
{
    {
        const juce::ScopedLock scope (lock);
        auto it = pending.find (key);

        // Forgotten (and perhaps asked for again) while it was computed: not this file any more.
        if (it == pending.end() || it->second.ticket != ticket)
            return;

        const auto request = it->second;
        pending.erase (it);
        overviews.erase (key);

        // Only an entry nobody asked for since this request may go; otherwise this result waits
        // (unqueued) for room, so a page showing more files than fit cannot make us go round.
        if ((int) overviews.size() >= options.capacity && ! (request.wanted && evictUnusedSince (request.wantedAt)))
        {
            notKept.insert (key);
            return;
        }

        auto& entry = overviews[key];
        entry.overview = std::move (overview);
        entry.lastUse = ++useCounter;
    }

    triggerAsyncUpdate();
}

void WaveformCache::handleAsyncUpdate()
{
    // A listener may add or remove listeners while it is called; one removed meanwhile is skipped.
    const auto toCall = listeners;

    for (auto* listener : toCall)
        if (std::find (listeners.begin(), listeners.end(), listener) != listeners.end())
            listener->waveformsChanged();
}

void WaveformCache::addListener (Listener* listener)
{
    if (listener != nullptr && std::find (listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back (listener);
}

void WaveformCache::removeListener (Listener* listener)
{
    listeners.erase (std::remove (listeners.begin(), listeners.end(), listener), listeners.end());
}

juce::String WaveformCache::getWorkerThreadName() const
{
    return workers.empty() ? juce::String() : workers.front()->getThreadName();
}

int WaveformCache::getNumCached() const
{
    const juce::ScopedLock scope (lock);
    return (int) overviews.size();
}

int WaveformCache::getNumPending() const
{
    const juce::ScopedLock scope (lock);
    return (int) pending.size();
}

} // namespace dunmoor::ui
