#pragma once

#include <functional>

namespace dunmoor
{

/** Runs task (0 .. count - 1) once for every index, possibly side by side, and returns when
    every one is done. Long operations that can share their work out take one; an empty one
    means everything runs on the calling thread. */
using ParallelTasks = std::function<void (int count, const std::function<void (int index)>& task)>;

} // namespace dunmoor
