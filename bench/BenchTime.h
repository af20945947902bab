#pragma once

#include <cstdlib>

namespace dunmoor::bench
{

/** The least time a benchmark runs for: as given, or next to none in the smoke run that the
    test suite makes of every benchmark (DUNMOOR_BENCH_SMOKE set), which only shows that it
    still runs. */
inline double benchMinTime (double seconds)
{
    return std::getenv ("DUNMOOR_BENCH_SMOKE") != nullptr ? 0.001 : seconds;
}

} // namespace dunmoor::bench
