#pragma once

namespace dunmoor::ui
{

/** The five steps of the workflow, one page each, in the order the step bar shows them. */
enum class Page : int
{
    import = 0,
    preset = 1,
    review = 2,
    levelsAndExport = 3,
    report = 4
};

inline constexpr int pageCount = 5;

} // namespace dunmoor::ui
