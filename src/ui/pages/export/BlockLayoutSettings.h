#pragma once

#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor::ui
{

/**
    The two settings that keep the Levels & Export page's layout over a restart, and the
    readings of their texts.

    "exportBlockColumns": lines "id:column" (0-based) from top to bottom per column, and a line
    "@columns:n" with the number of columns the page's width allowed when it was stored.
    "exportColumnWidths": one share of the columns' total width per column, "," between them.
*/
namespace BlockLayoutSettings
{
    constexpr const char* blockColumnsKey = "exportBlockColumns";
    constexpr const char* columnWidthsKey = "exportColumnWidths";

    /** The stored arrangement with every line dropped that is malformed, duplicated (the first
        line of an id wins) or names no block; kept lines read "id:n" and "@columns:n", joined
        with CR LF. */
    juce::String cleanBlockColumns (const juce::String& storedText);

    /** An arrangement as a layout uses it: the last "@columns:" count, and the block lines with
        their column numbers compacted to 0, 1, ... in the order of the numbers, joined by LF. */
    struct Arrangement
    {
        int columnsOverride = 0;
        juce::String blockLayout;
    };

    Arrangement applyArrangement (const juce::String& text);

    /** The stored widths when they are usable: 2 to 4 shares, each within 0.02..0.98, summing to
        1 within 0.02. Empty otherwise. */
    std::vector<double> readColumnWidths (const juce::String& storedText);
} // namespace BlockLayoutSettings

} // namespace dunmoor::ui
