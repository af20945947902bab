#include "RenderWorkers.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include <juce_core/juce_core.h>

namespace dunmoor
{

void RenderTask::wait()
{
    std::unique_lock<std::mutex> l (lock);
    finished.wait (l, [this] { return done; });
}

bool RenderTask::waitFor (int milliseconds)
{
    std::unique_lock<std::mutex> l (lock);
    return finished.wait_for (l, std::chrono::milliseconds (milliseconds), [this] { return done; });
}

bool RenderTask::isDone()
{
    const std::lock_guard<std::mutex> l (lock);
    return done;
}

void RenderTask::runAndSignal()
{
    // The work catches its own failures; nothing may leave a worker thread.
    try
    {
        if (work != nullptr)
            work();
    }
    catch (...)
    {
        jassertfalse;
    }

    work = nullptr;   // what the work captured is released before anybody is told

    {
        const std::lock_guard<std::mutex> l (lock);
        done = true;
    }

    finished.notify_all();
}

//==============================================================================
RenderWorkers::RenderWorkers (int numThreads)
{
    for (int i = 0; i < numThreads; ++i)
    {
        try
        {
            threads.emplace_back ([this] { workerLoop(); });
        }
        catch (const std::exception&)
        {
            break;   // fewer threads, or none: the work then runs on the caller's thread
        }
    }
}

RenderWorkers::~RenderWorkers()
{
    {
        const std::lock_guard<std::mutex> l (queueLock);
        stopping = true;
    }

    queueChanged.notify_all();

    for (auto& t : threads)
        t.join();
}

std::shared_ptr<RenderTask> RenderWorkers::run (std::function<void()> work)
{
    auto task = std::make_shared<RenderTask>();
    task->work = std::move (work);

    if (threads.empty())
    {
        task->runAndSignal();
        return task;
    }

    {
        const std::lock_guard<std::mutex> l (queueLock);
        queue.push_back (task);
    }

    queueChanged.notify_one();
    return task;
}

int RenderWorkers::getDefaultThreadCount()
{
    return juce::jlimit (1, 6, juce::SystemStats::getNumCpus() - 1);
}

void RenderWorkers::workerLoop()
{
    for (;;)
    {
        std::shared_ptr<RenderTask> task;

        {
            std::unique_lock<std::mutex> l (queueLock);
            queueChanged.wait (l, [this] { return stopping || ! queue.empty(); });

            // Queued work still runs when stopping; each piece decides itself whether it is wanted.
            if (queue.empty())
                return;

            task = std::move (queue.front());
            queue.pop_front();
        }

        task->runAndSignal();
    }
}

} // namespace dunmoor
