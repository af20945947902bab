#include "CueListModel.h"

namespace dunmoor::ui::CueListModel
{

int heightFor (int rowCount)
{
    return rowCount > 0 ? 62 + rowHeight * rowCount : 0;
}

int rowTop (int row)
{
    return rowsTop + rowHeight * row;
}

int rowAt (juce::Point<int> point, int rowCount, int width)
{
    if (point.y < rowsTop || point.x < 0 || point.x >= width)
        return -1;

    const auto row = (point.y - rowsTop) / rowHeight;
    return row < rowCount ? row : -1;
}

juce::Rectangle<int> tickZone (int row)
{
    return { 1, rowTop (row) + 2, 20, 30 };
}

juce::Rectangle<int> nameCell (int row, int width)
{
    const auto x = std::min (nameX, width);
    return { x, rowTop (row), std::max (0, std::min (width - nameX, nameWidth)), rowHeight };
}

juce::Rectangle<int> cutField (int row, int width)
{
    const auto x = std::min (cutFieldX, std::max (0, width));
    return { x, rowTop (row), std::max (0, std::min (width - cutFieldX - 8, cutFieldWidth)), rowHeight };
}

juce::Rectangle<int> editorBounds (int row, EditKind kind, int width)
{
    const auto cell = kind == EditKind::name ? nameCell (row, width) : cutField (row, width);
    return { cell.getX(), rowTop (row) + 1, cell.getWidth(), 32 };
}

juce::Rectangle<int> problemArea (int row, int width)
{
    const auto x = std::min (resultsX + 8, std::max (0, width));
    return { x, rowTop (row), std::max (0, width - 8 - x), rowHeight };
}

Hit hitTest (juce::Point<int> point, int rowCount, int width)
{
    const auto row = rowAt (point, rowCount, width);

    if (row < 0)
        return {};

    if (tickZone (row).contains (point))
        return { row, Hit::tick };

    if (nameCell (row, width).contains (point))
        return { row, Hit::name };

    if (cutField (row, width).contains (point))
        return { row, Hit::cut };

    return { row, Hit::none };
}

CutReading readCut (const juce::String& text)
{
    if (text.isEmpty())
        return { true, 0.0 };

    // Where a comma is the decimal separator, "1,5" means a second and a half: one comma
    // stands for the point when the text has none.
    auto number = text;

    if (! number.containsChar ('.'))
        number = number.replaceFirstOccurrenceOf (",", ".");

    const auto value = number.getDoubleValue();

    if (value < 0.0 || ! text.containsOnly ("0123456789.,+ "))
        return { false, value };

    return { true, value };
}

juce::String describeCut (const CueResultRow& row)
{
    if (row.trimSeconds > 0.0)
        return "cut " + juce::String (row.trimSeconds, 2) + " s";

    if (row.silenceFoundSeconds >= 0.05)
        return juce::String (row.silenceFoundSeconds, 2) + " s silent";

    return "no silence";
}

juce::String formatCutForEditing (double seconds)
{
    return juce::String (seconds, 3);
}

std::vector<TrimMenuItem> buildTrimMenu (double found, double cut, int rowCount)
{
    std::vector<TrimMenuItem> items;
    TrimMenuItem header;
    header.isHeader = true;
    header.text = found >= 0.005 ? "Silence found: " + juce::String (found, 2) + " s" : juce::String ("No silence found at the start");
    items.push_back (header);

    items.push_back ({ keepAll, "Keep it all", cut <= 0.0 });

    if (found >= 0.05)
    {
        items.push_back ({ cutAll, "Cut all of it   (" + juce::String (found, 2) + " s)" });

        if (found - 0.1 >= 0.005)
            items.push_back ({ cutAllButATenth, "Cut all but 0.10 s   (" + juce::String (found - 0.1, 2) + " s)" });
    }

    TrimMenuItem separator;
    separator.isSeparator = true;
    items.push_back (separator);
    items.push_back ({ typeAmount, "Type an amount..." });

    if (rowCount > 1)
    {
        items.push_back ({ cutEveryCue, "Cut the silence from every cue" });
        items.push_back ({ cutEveryCueButATenth, "Cut the silence from every cue, but 0.10 s" });
    }

    return items;
}

std::vector<TrimChange> changesForTrimChoice (const std::vector<CueResultRow>& rows, int row, double found, int choice)
{
    std::vector<TrimChange> changes;

    if (row < 0 || row >= (int) rows.size())
        return changes;

    auto set = [&] (int r, double seconds)
    {
        if (rows[(size_t) r].trimSeconds != seconds)
            changes.push_back ({ r, seconds });
    };

    switch (choice)
    {
        case keepAll:           set (row, 0.0); break;
        case cutAll:            set (row, found); break;
        case cutAllButATenth:   set (row, std::max (found - 0.1, 0.0)); break;

        case cutEveryCue:
            for (int r = 0; r < (int) rows.size(); ++r)
                if (rows[(size_t) r].silenceFoundSeconds >= 0.05)
                    set (r, rows[(size_t) r].silenceFoundSeconds);
            break;

        case cutEveryCueButATenth:
            for (int r = 0; r < (int) rows.size(); ++r)
                if (rows[(size_t) r].silenceFoundSeconds - 0.1 >= 0.005)
                    set (r, rows[(size_t) r].silenceFoundSeconds - 0.1);
            break;

        default:
            break;
    }

    return changes;
}

const juce::String& getTooltipText()
{
    static const juce::String text (
        "Untick a cue and it stays in the session, named and assigned, but is not written this time.\n\n"
        "Double-click a name to type a new one - the name is the {cue} token in every file the cue writes.\n\n"
        "The figure on the right is the silence the analysis found at the start of the cue. Click it to choose how much of "
        "that to cut - all of it, all but a tenth of a second, an amount you type, or the same for every cue at once.\n\n"
        "Whatever you choose is applied to the stems, the full mix and every alternative mix alike, at a zero crossing and "
        "with a short fade, so the delivery still adds up.");
    return text;
}

const juce::String& getHintText()
{
    static const juce::String text ("Untick a cue to leave it out. Double-click its name to rename it, or click the silence figure on the "
                                    "right to cut the start off every file it writes.");
    return text;
}

} // namespace dunmoor::ui::CueListModel
