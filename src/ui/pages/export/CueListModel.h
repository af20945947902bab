#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

#include "ExportResultRows.h"

namespace dunmoor::ui
{

/**
    What the cue list under the Levels & Export summary decides, without a component: where its
    rows and cells are, how a typed cut reads, what the trim menu offers and what each of its
    choices changes.
*/
namespace CueListModel
{
    constexpr int hintHeight = 20;
    constexpr int headerTop = 28;
    constexpr int headerHeight = 28;
    constexpr int rowsTop = 56;                 // the first row starts under the header band
    constexpr int rowHeight = 34;
    constexpr int nameX = 32;
    constexpr int nameWidth = 210;
    constexpr int cutColumnX = 248;
    constexpr int cutFieldX = 256;
    constexpr int cutFieldWidth = 128;
    constexpr int resultsX = 392;               // the first result column

    constexpr const char* cutRefusal = "The cut is a number of seconds, and cannot be negative.";
    constexpr const char* nameRefusal = "That name cannot be used: a cue name becomes part of a file name, so it cannot be empty or contain / or \\.";

    enum class EditKind
    {
        name = 0,
        cut = 1
    };

    /** The list's height for a number of rows. */
    int heightFor (int rowCount);

    int rowTop (int row);

    /** The row under a point, -1 above the first row, below the last or outside the width. */
    int rowAt (juce::Point<int> point, int rowCount, int width);

    juce::Rectangle<int> tickZone (int row);
    juce::Rectangle<int> nameCell (int row, int width);
    juce::Rectangle<int> cutField (int row, int width);
    juce::Rectangle<int> editorBounds (int row, EditKind kind, int width);

    /** Where a row without results says what stops its cue: across the result columns, inset
        8 px on both sides, never past the width. */
    juce::Rectangle<int> problemArea (int row, int width);

    /** Which zone of which row a point is in. */
    struct Hit
    {
        enum Zone
        {
            none,
            tick,
            name,
            cut
        };

        int row = -1;
        Zone zone = none;
    };

    Hit hitTest (juce::Point<int> point, int rowCount, int width);

    /** A typed cut: empty is 0; otherwise the number it begins with (a point, or one comma, as
        the decimal separator). Accepted when not negative and made only of digits, ".", ",",
        "+" and blanks. */
    struct CutReading
    {
        bool accepted = false;
        double seconds = 0.0;
    };

    CutReading readCut (const juce::String& trimmedText);

    /** The cut field's text: "cut 1.25 s", "0.50 s silent" or "no silence". */
    juce::String describeCut (const CueResultRow& row);

    /** The cut as the editor shows it: three decimals. */
    juce::String formatCutForEditing (double seconds);

    //==============================================================================
    /** One item of the trim menu; id 0 is the section header or a separator. */
    struct TrimMenuItem
    {
        int id = 0;
        juce::String text;
        bool ticked = false;
        bool isHeader = false;
        bool isSeparator = false;
    };

    enum TrimChoice
    {
        keepAll = 1,
        cutAll = 2,
        cutAllButATenth = 3,
        typeAmount = 4,
        cutEveryCue = 5,
        cutEveryCueButATenth = 6
    };

    std::vector<TrimMenuItem> buildTrimMenu (double foundSeconds, double cutSeconds, int rowCount);

    /** A new cut for one row. */
    struct TrimChange
    {
        int row = 0;
        double seconds = 0.0;
    };

    /** The cuts a menu choice sets for the row (and, for the every-cue items, the others), with
        the silence found as it was when the menu opened. Rows whose cut would not change are
        left out; "Type an amount..." and a dismissed menu change nothing here. */
    std::vector<TrimChange> changesForTrimChoice (const std::vector<CueResultRow>& rows, int row, double foundSeconds, int choice);

    /** The tooltip of the whole list. */
    const juce::String& getTooltipText();

    /** The hint over the list while no refusal is shown. */
    const juce::String& getHintText();
} // namespace CueListModel

} // namespace dunmoor::ui
