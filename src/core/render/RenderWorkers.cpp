#include "RenderWorkers.h"

#include <algorithm>
#include <atomic>
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
    // The work catches its own failures and puts them into its results (what() included);
    // this is the last guard, since nothing may leave a worker thread.
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

//==============================================================================
void parallelFor (RenderWorkers* helpers, int64_t count, int64_t grain, const std::function<void (int64_t, int64_t)>& body)
{
    if (count <= 0)
        return;

    grain = std::max<int64_t> (1, grain);
    const int64_t pieces = (count + grain - 1) / grain;

    if (helpers == nullptr || helpers->getNumThreads() == 0 || pieces == 1)
    {
        for (int64_t begin = 0; begin < count; begin += grain)
            body (begin, std::min (count, begin + grain));

        return;
    }

    struct Shared
    {
        std::atomic<int64_t> next { 0 };
        int64_t done = 0;
        std::mutex lock;
        std::condition_variable allDone;
    };

    auto shared = std::make_shared<Shared>();
    const auto* work = &body;

    // A helper that starts after the last piece was taken finds nothing and never touches body.
    auto takePieces = [shared, work, count, grain, pieces]
    {
        for (;;)
        {
            const auto piece = shared->next.fetch_add (1);

            if (piece >= pieces)
                return;

            const auto begin = piece * grain;
            (*work) (begin, std::min (count, begin + grain));

            const std::lock_guard<std::mutex> l (shared->lock);

            if (++shared->done == pieces)
                shared->allDone.notify_all();
        }
    };

    const auto wanted = (int) std::min<int64_t> (helpers->getNumThreads(), pieces - 1);

    for (int i = 0; i < wanted; ++i)
    {
        try
        {
            helpers->run (takePieces);
        }
        catch (const std::exception&)
        {
            break;   // the calling thread does the rest
        }
    }

    takePieces();

    std::unique_lock<std::mutex> l (shared->lock);
    shared->allDone.wait (l, [&] { return shared->done == pieces; });
}

ParallelTasks shareOutOver (RenderWorkers* helpers)
{
    if (helpers == nullptr || helpers->getNumThreads() == 0)
        return {};

    return [helpers] (int count, const std::function<void (int)>& task)
    {
        parallelFor (helpers, count, 1, [&task] (int64_t begin, int64_t end)
                     {
                         for (auto i = begin; i < end; ++i)
                             task ((int) i);
                     });
    };
}

} // namespace dunmoor
