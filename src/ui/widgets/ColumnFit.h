#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** Measures a text's width in pixels in the table's font, rounded up. */
using TextMeasure = std::function<int (const juce::String&)>;

/** The widest of the texts; each distinct text is measured once. 0 for none. */
int widestText (const std::vector<juce::String>& texts, const TextMeasure& measure);

/** A column width the content asks for. */
struct ColumnWidth
{
    int column;
    int width;
};

/** A shown column: the width its content asks for and the narrowest it may become. */
struct ColumnRoom
{
    int column;
    int wanted;
    int minimum;
};

/** How a table shares its width: one column takes what the others leave, and the columns give
    way in a fixed order when together they are wider than the table. Columns not named in the
    order keep their wanted width. */
struct ColumnFitOrder
{
    int fill;
    std::vector<int> givingWay;
};

/**
    The shown columns' widths in a table that shows viewportWidth: the fill column takes what the
    others leave (at least what it wants). Columns that together are wider than the table give
    way in the order's sequence, each down to its minimum before the next one starts. Columns
    still too wide for a very narrow table stay at their minimums.
*/
std::vector<ColumnWidth> fitColumnsToTable (const std::vector<ColumnRoom>& columns, int viewportWidth, const ColumnFitOrder& order);

/** Fits the header's visible columns to a table that shows viewportWidth by the order; roomOf
    gives each visible column's room, or nothing for a column the table does not fit. */
void fitHeaderColumns (juce::TableHeaderComponent& header,
                       int viewportWidth,
                       const ColumnFitOrder& order,
                       const std::function<std::optional<ColumnRoom> (int columnId)>& roomOf);

} // namespace dunmoor::ui
