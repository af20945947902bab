#pragma once

#include <functional>
#include <vector>

#include <juce_graphics/juce_graphics.h>

namespace dunmoor::ui
{

/** The split of one stem row, or of the alternative-mix heading above the rows: an audition
    cell (only while a cue is chosen), the name area, the tick area and one column per
    alternative mix. Columns may reach beyond the tick area; drawing is clipped to it. */
struct StemRowLayout
{
    juce::Rectangle<int> auditionCell;
    juce::Rectangle<int> nameArea;
    juce::Rectangle<int> tickArea;
    std::vector<juce::Rectangle<int>> columns; // one per mix, in schema order

    static constexpr int auditionCellWidth = 22;
    static constexpr int nameAreaWidthWithMixes = 230;

    static StemRowLayout compute (juce::Rectangle<int> row, int mixCount, int scrollOffset, bool hasCue, int columnWidth);
};

/** The parts of a row's name area: a colour bar, the "NN  Name" text and the short code on the
    right, with an 8 px margin after it. */
struct StemNameAreaParts
{
    juce::Rectangle<int> colourBar;
    juce::Rectangle<int> name;
    juce::Rectangle<int> code;

    static constexpr int codeWidth = 74;

    static StemNameAreaParts split (juce::Rectangle<int> nameArea);

    /** Where the inline rename editor goes over a row (in the row's coordinates): over the name
        text, leaving the short code visible. */
    static juce::Rectangle<int> renameEditorBounds (juce::Rectangle<int> nameArea, int rowHeight);
};

/** The text of a row: the 1-based index padded to two digits, two spaces, the name. */
juce::String stemRowText (int index, const juce::String& displayName);

/** Arithmetic of moving stems in the list. Rows count from 0. */
struct StemMoves
{
    /** The boundary between rows nearest to y (list coordinates): 0 above the first row,
        stemCount below the last. */
    static int insertionRowAt (int y, int rowHeight, int scrollY, int stemCount);

    /** Where the stem at row from ends up when dropped at the insertion row: its new index, or
        -1 when from names no row or the stem would stay where it is. */
    static int dropTarget (int from, int insertionRow, int stemCount);

    /** The y of the 2 px drop line for an insertion row, kept inside the list. */
    static int dropLineY (int insertionRow, int rowHeight, int scrollY, int listHeight);
};

/**
    Tab and Shift+Tab inside one block of fields: from member k of n, the next (or previous)
    member that can take the focus, wrapping round; k itself when no other member can.
*/
int nextFocusIndex (int k, int n, bool forward, const std::function<bool (int)>& canTakeFocus);

} // namespace dunmoor::ui
