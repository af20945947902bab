#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/audio/ParallelTasks.h"

namespace dunmoor
{

/** How often the rendering thread asks for a cancel while it waits for a worker's task. */
constexpr int cancelPollMilliseconds = 5;

/** One piece of work handed to RenderWorkers; the caller keeps it to wait for it. */
class RenderTask
{
public:
    /** Blocks until the work has run. */
    void wait();

    /** Waits at most the given time; true when the work has run. */
    bool waitFor (int milliseconds);

    bool isDone();

private:
    friend class RenderWorkers;

    void runAndSignal();

    std::function<void()> work;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
};

/**
    A few threads that take work off the render thread of one cue: reading tracks ahead,
    encoding files. The work itself must own what it touches (shared pointers, copies), so that
    it never reaches into state the render thread may already have left.

    With no threads (asked for none, or none could be started) every task runs at once on the
    calling thread. The destructor runs what is still queued and joins every thread; it never
    abandons a task half-way.
*/
class RenderWorkers
{
public:
    explicit RenderWorkers (int numThreads);
    ~RenderWorkers();

    int getNumThreads() const noexcept { return (int) threads.size(); }

    /** Queues the work (or runs it now without threads). May throw std::bad_alloc. */
    std::shared_ptr<RenderTask> run (std::function<void()> work);

    /** Threads for a cue when the caller leaves the choice to the machine. */
    static int getDefaultThreadCount();

private:
    void workerLoop();

    std::vector<std::thread> threads;
    std::mutex queueLock;
    std::condition_variable queueChanged;
    std::deque<std::shared_ptr<RenderTask>> queue;
    bool stopping = false;

    RenderWorkers (const RenderWorkers&) = delete;
    RenderWorkers& operator= (const RenderWorkers&) = delete;
};

/**
    Runs body (begin, end) over [0, count) in pieces of grain, on the calling thread and on
    whichever helper threads are free, and returns when every piece is done. The calling thread
    never waits for a piece nobody has started: it takes the pieces itself. The body must not
    throw; pieces are disjoint, so work on separate elements gives the same result however it
    is shared out. helpers may be null.
*/
void parallelFor (RenderWorkers* helpers, int64_t count, int64_t grain, const std::function<void (int64_t begin, int64_t end)>& body);

/** The tasks of a long operation (a read, an encode) shared out over the helpers as parallelFor
    shares them; empty, so that everything runs on the calling thread, when helpers is null or
    has no threads. helpers must outlive the result's use. */
ParallelTasks shareOutOver (RenderWorkers* helpers);

} // namespace dunmoor
