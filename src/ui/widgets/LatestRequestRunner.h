#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include <juce_events/juce_events.h>

#include "core/audio/CancelCheck.h"

namespace dunmoor::ui
{

/**
    Background work where only the latest request counts: the spectrogram of the file just
    picked, the detail of the zoom window just settled, the preview of the track just clicked.

    Jobs run one at a time, in the order they were queued, on one worker thread of this object's
    own, started with the first job. Every new request makes the earlier ones stale: their queued
    jobs are dropped, and a running one sees its cancel check turn true (jobs poll it per block)
    and is not waited for. A job hands back what is to be done with its result; that runs on the
    message thread, and only while the job's request is still the latest and this object still
    exists, so a late result never overwrites a newer one and never reaches an owner that has
    gone. The destructor waits for a running job however long its current block takes: a job is
    never killed.

    Message thread only, apart from the jobs themselves.
*/
class LatestRequestRunner
{
public:
    /** What a finished job hands back to the message thread; empty: nothing to hand back. */
    using Delivery = std::function<void()>;

    /** The work of a job, on the worker thread; it polls the check per block of its work. */
    using Job = std::function<Delivery (const CancelCheck& cancel)>;

    explicit LatestRequestRunner (juce::String workerThreadName);
    ~LatestRequestRunner();

    /** Makes every earlier request stale and returns the new one's number. */
    int newRequest();

    /** Queues a job under the latest request (several jobs may share one request). */
    void add (Job job);

    /** A new request with one job; returns the request's number. */
    int start (Job job);

    /** Makes every request stale without making a new one that has work. */
    void cancel() { (void) newRequest(); }

    /** The latest request's number: 0 before the first. */
    int getLatestRequest() const noexcept { return latest.load(); }

    /** Nothing is queued or running, and every delivery sent has arrived. */
    bool isIdle() const;

    const juce::String& getThreadName() const noexcept { return threadName; }

private:
    class Worker;

    struct Item
    {
        int request = 0;
        Job job;
    };

    bool takeNext (Item& item);
    void runItem (Item& item, const Worker& thread);

    const juce::String threadName;
    std::atomic<int> latest { 0 };

    mutable std::mutex queueMutex;
    std::deque<Item> queue;  // under queueMutex
    bool running = false;    // under queueMutex

    std::atomic<int> deliveriesSent { 0 };
    int deliveriesArrived = 0; // message thread

    std::unique_ptr<Worker> worker;
    juce::WeakReference<LatestRequestRunner> self; // made on the message thread, copied by the worker

    JUCE_DECLARE_WEAK_REFERENCEABLE (LatestRequestRunner)
    JUCE_DECLARE_NON_COPYABLE (LatestRequestRunner)
};

} // namespace dunmoor::ui
