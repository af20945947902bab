#include "ui/widgets/LatestRequestRunner.h"

namespace dunmoor::ui
{

//==============================================================================
class LatestRequestRunner::Worker : public juce::Thread
{
public:
    explicit Worker (LatestRequestRunner& o) : juce::Thread (o.threadName), owner (o) {}

    void run() override
    {
        while (! threadShouldExit())
        {
            Item item;

            if (owner.takeNext (item))
                owner.runItem (item, *this);
            else
                wait (-1);
        }
    }

private:
    LatestRequestRunner& owner; // waits for this thread before it goes
};

//==============================================================================
LatestRequestRunner::LatestRequestRunner (juce::String workerThreadName) : threadName (std::move (workerThreadName))
{
    self = this;
}

LatestRequestRunner::~LatestRequestRunner()
{
    cancel();

    if (worker != nullptr)
    {
        // However long the running job's current block takes: a thread is never killed.
        worker->signalThreadShouldExit();
        worker->notify();
        (void) worker->waitForThreadToExit (-1);
    }
}

int LatestRequestRunner::newRequest()
{
    const auto request = ++latest; // a running job sees it at its next poll

    std::deque<Item> stale;

    {
        const std::lock_guard<std::mutex> lock (queueMutex);
        stale.swap (queue);
    }

    return request; // the stale jobs and what they hold go here, outside the lock
}

void LatestRequestRunner::add (Job job)
{
    {
        const std::lock_guard<std::mutex> lock (queueMutex);
        queue.push_back ({ latest.load(), std::move (job) });
    }

    if (worker == nullptr)
    {
        worker = std::make_unique<Worker> (*this);
        worker->startThread();
    }

    worker->notify();
}

int LatestRequestRunner::start (Job job)
{
    const auto request = newRequest();
    add (std::move (job));
    return request;
}

bool LatestRequestRunner::isIdle() const
{
    const std::lock_guard<std::mutex> lock (queueMutex);
    return queue.empty() && ! running && deliveriesArrived == deliveriesSent.load();
}

bool LatestRequestRunner::takeNext (Item& item)
{
    const std::lock_guard<std::mutex> lock (queueMutex);

    if (queue.empty())
        return false;

    item = std::move (queue.front());
    queue.pop_front();
    running = true;
    return true;
}

void LatestRequestRunner::runItem (Item& item, const Worker& thread)
{
    const auto request = item.request;
    const CancelCheck cancelled = [this, &thread, request] { return thread.threadShouldExit() || latest.load() != request; };

    Delivery delivery;

    if (! cancelled())
        delivery = item.job (cancelled);

    item.job = nullptr;

    if (delivery != nullptr && ! cancelled())
    {
        ++deliveriesSent;

        // The reference was made on the message thread and is only read there, where this
        // object may have gone by the time the message arrives.
        const auto posted = juce::MessageManager::callAsync ([target = self, request, delivery = std::move (delivery)]
                                                             {
                                                                 auto* runner = target.get();

                                                                 if (runner == nullptr)
                                                                     return;

                                                                 ++runner->deliveriesArrived;

                                                                 if (request == runner->latest.load())
                                                                     delivery();
                                                             });

        if (! posted)
            --deliveriesSent;
    }

    const std::lock_guard<std::mutex> lock (queueMutex);
    running = false;
}

} // namespace dunmoor::ui
