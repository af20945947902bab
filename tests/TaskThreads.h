#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "core/audio/ParallelTasks.h"

namespace dunmoor::testing
{

/** Shares work out as the render does, each task on a thread of its own, started last first,
    so that the order the tasks run and finish in varies. */
inline ParallelTasks tasksOnThreadsOfTheirOwn()
{
    return [] (int count, const std::function<void (int)>& task)
    {
        std::vector<std::thread> running;

        for (int i = count; --i >= 0;)
            running.emplace_back ([&task, i] { task (i); });

        for (auto& t : running)
            t.join();
    };
}

} // namespace dunmoor::testing
