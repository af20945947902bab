#include "StemListGeometry.h"

namespace dunmoor::ui
{

StemRowLayout StemRowLayout::compute (juce::Rectangle<int> row, int mixCount, int scrollOffset, bool hasCue, int columnWidth)
{
    StemRowLayout layout;
    auto rest = row.withWidth (juce::jmax (0, row.getWidth()));

    layout.auditionCell = rest.removeFromLeft (hasCue ? auditionCellWidth : 0);
    layout.nameArea = mixCount > 0 ? rest.removeFromLeft (nameAreaWidthWithMixes) : rest;
    layout.tickArea = mixCount > 0 ? rest : rest.withWidth (0).withX (rest.getRight());

    for (int i = 0; i < mixCount; ++i)
        layout.columns.push_back ({ layout.tickArea.getX() + i * columnWidth - scrollOffset, layout.tickArea.getY(),
                                    columnWidth, layout.tickArea.getHeight() });

    return layout;
}

StemNameAreaParts StemNameAreaParts::split (juce::Rectangle<int> nameArea)
{
    StemNameAreaParts parts;
    const int w = nameArea.getWidth();

    parts.colourBar = { nameArea.getX(), nameArea.getY() + 3, w <= 0 ? 0 : juce::jmin (w, 6),
                        juce::jmax (nameArea.getHeight() - 6, 0) };

    auto text = nameArea;
    text.removeFromLeft (juce::jmin (juce::jmax (0, w), 6));
    text.removeFromLeft (6);
    text.removeFromRight (8);
    parts.code = text.removeFromRight (codeWidth);
    parts.name = text;
    return parts;
}

juce::Rectangle<int> StemNameAreaParts::renameEditorBounds (juce::Rectangle<int> nameArea, int rowHeight)
{
    const int m = juce::jmin (nameArea.getWidth(), 12);
    const int rest = nameArea.getWidth() - m;
    return { nameArea.getX() + m, nameArea.getY(), juce::jmax (0, rest - juce::jmin (rest, codeWidth)), rowHeight };
}

juce::String stemRowText (int index, const juce::String& displayName)
{
    return juce::String (index).paddedLeft ('0', 2) + "  " + displayName;
}

int StemMoves::insertionRowAt (int y, int rowHeight, int scrollY, int stemCount)
{
    const int h = juce::jmax (rowHeight, 1);
    return juce::jlimit (0, juce::jmax (0, stemCount), (y + scrollY + h / 2) / h);
}

int StemMoves::dropTarget (int from, int insertionRow, int stemCount)
{
    if (from < 0 || from >= stemCount)
        return -1;

    // The stem leaves its old place first, so every boundary below it is one row higher.
    const int to = from < insertionRow ? insertionRow - 1 : insertionRow;
    const int target = juce::jlimit (0, stemCount - 1, to);
    return target == from ? -1 : target;
}

int StemMoves::dropLineY (int insertionRow, int rowHeight, int scrollY, int listHeight)
{
    return juce::jlimit (0, juce::jmax (0, listHeight - 2), rowHeight * insertionRow - scrollY);
}

int nextFocusIndex (int k, int n, bool forward, const std::function<bool (int)>& canTakeFocus)
{
    if (n <= 0 || k < 0 || k >= n)
        return k;

    const int d = forward ? 1 : -1;

    for (int i = 1; i < n; ++i)
    {
        const int candidate = ((k + i * d) % n + n) % n;

        if (canTakeFocus (candidate))
            return candidate;
    }

    return k;
}

} // namespace dunmoor::ui
