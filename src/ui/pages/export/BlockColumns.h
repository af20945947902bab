#pragma once

#include <functional>
#include <vector>

#include <juce_graphics/juce_graphics.h>

namespace dunmoor::ui
{

/**
    Where the seven settings blocks of the Levels & Export page go: how many columns the width
    allows, how wide each one is, which block lands in which column, and what a block drop or a
    column-gap drag turns into. Plain arithmetic over rectangles; the page's content lays the
    blocks' controls out through the layout function each block brings.

    All coordinates are the content's: the inner area starts at x 12 and is W wide.
*/
namespace BlockColumns
{
    constexpr int gap = 12;               // between columns, around the inner area, inside a panel
    constexpr int minimumColumnWidth = 440;
    constexpr int narrowColumnMaximum = 470;
    constexpr int wideBlockWidth = 620;
    constexpr int columnsTop = 12;

    /** One movable block as a layout places it. The layout function lays the block's controls
        out from the top of the area it is given and returns the bottom of its lowest item (the
        area's top when it shows nothing). */
    struct BlockSpec
    {
        juce::String id;
        int preferredWidth = minimumColumnWidth;
        int minimumWidth = minimumColumnWidth;
        std::function<int (juce::Rectangle<int> area)> layout;
    };

    /** Where the last layout put a block: its column and its panel. */
    struct BlockPlacement
    {
        juce::String blockId;
        int column = 0;
        juce::Rectangle<int> panel;
    };

    /** The saved choices a layout reads (the arrangement already compacted, see
        BlockLayoutSettings::applyArrangement). */
    struct SavedLayout
    {
        int columnsOverride = 0;            // the arrangement's "@columns:" count, 0 none
        juce::String blockLayout;           // "id:column" lines, empty for the automatic arrangement
        std::vector<double> widthFractions; // saved widths, empty for the automatic widths
    };

    struct Result
    {
        int maxColumns = 1;                 // columns the width allows
        bool savedArrangementUsed = false;
        std::vector<int> xs;                // per column
        std::vector<int> widths;            // per column
        std::vector<BlockPlacement> placements;
        int columnsBottom = columnsTop;     // the lowest column's free y, at least 12

        int getNumColumns() const noexcept { return (int) widths.size(); }

        /** Column x, y 12, column width, columnsBottom - 12. */
        std::vector<juce::Rectangle<int>> getColumnRects() const;
    };

    /** The seven block ids in the order of the block table. */
    const juce::StringArray& getBlockIds();

    /** "naming", "delivery" or "audio"; empty for an unknown id. */
    juce::String getBlockFamily (const juce::String& id);

    /** 2 below an inner width of 1524, 3 up to 1975, 4 from 1976. */
    int maxColumnsFor (int innerWidth);

    /** The distinct column numbers of an arrangement's block lines. */
    int countArrangementColumns (const juce::String& blockLayout);

    /** The column widths without saved widths, left to right. */
    std::vector<int> automaticWidths (int innerWidth, int narrowColumns, int sideColumns);

    /** Lays every block out: columns, widths, the saved arrangement where it applies, the rest
        placed automatically (widest first, each to the column with the most room). */
    Result layout (int innerWidth, const SavedLayout& saved, const std::vector<BlockSpec>& blocks);

    /** The column whose rectangle holds x (x <= px < x + width), -1 for none. */
    int columnAt (const std::vector<juce::Rectangle<int>>& columnRects, int x);

    /** The insertion mark for a block dragged over a column: 7 px above the first block below
        the point, else 5 px under the column's last block; empty for no column. */
    juce::Rectangle<int> dropIndicatorFor (const Result& layout, const juce::String& draggedId, int column, int pointY);

    /** The arrangement text after dropping the block at a point in a column: every placed block
        as "id:column", sorted by column and position, then "@columns:" and maxColumns, joined by
        line feeds. */
    juce::String arrangementAfterDrop (const Result& layout, const juce::String& droppedId, int column, int pointY);

    /** The widths after moving the gap to the right of column index to x, from the widths the
        drag started with; empty when there is no such gap. Both columns keep 440 px when they
        can; when the two together are narrower than 880, the left one is 440 for a pointer left
        of that and takes all but 440 otherwise. */
    std::vector<int> widthsAfterGapMove (const std::vector<int>& dragStartWidths, int index, int x, int columnsLeft);

    /** Each width as a share of the total, with four decimals, joined by ",". */
    juce::String formatWidthFractions (const std::vector<int>& widths, int totalWidth);
} // namespace BlockColumns

} // namespace dunmoor::ui
