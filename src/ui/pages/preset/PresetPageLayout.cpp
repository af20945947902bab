#include "PresetPageLayout.h"

namespace dunmoor::ui
{

namespace
{
    using Rect = juce::Rectangle<int>;

    /** A rectangle whose width and height never go below zero. */
    Rect box (int x, int y, int w, int h)
    {
        return { x, y, juce::jmax (0, w), juce::jmax (0, h) };
    }

    /** A label of labelWidth, a 5 px gap and the field with the rest of the row. */
    void splitRow (Rect row, int labelWidth, Rect& label, Rect& field)
    {
        label = row.removeFromLeft (labelWidth);
        row.removeFromLeft (5);
        field = row;
    }

    /** A section of the editor: inside a 12 px inset, a 22 px caption, 5 px, the field. */
    void splitSection (Rect section, Rect& label, Rect& field)
    {
        auto inner = section.reduced (12);
        label = inner.removeFromTop (22);
        inner.removeFromTop (5);
        field = inner;
    }
} // namespace

StemButtonRow StemButtonRow::fit (int rowWidth, const std::array<int, 5>& textButtonWidths, int hintWidth)
{
    StemButtonRow row;

    for (size_t i = 0; i < 5; ++i)
        row.widths[i] = juce::jmax (0, textButtonWidths[i]);

    row.widths[5] = PresetPageLayout::arrowButtonWidth;
    row.widths[6] = PresetPageLayout::arrowButtonWidth;

    int sum = 0;

    for (auto w : row.widths)
        sum += w;

    row.hintVisible = rowWidth >= sum + hintWidth + 42;
    row.twoLines = ! row.hintVisible && rowWidth - 30 < sum;

    // A line too narrow for its buttons at their widths shrinks them in proportion.
    const auto fitLine = [&row, rowWidth] (size_t first, size_t end)
    {
        int lineSum = 0;

        for (auto i = first; i < end; ++i)
            lineSum += row.widths[i];

        const auto room = rowWidth - 5 * (int) (end - first - 1);

        if (room < lineSum && lineSum > 0)
            for (auto i = first; i < end; ++i)
                row.widths[i] = juce::jmax (0, room * row.widths[i] / lineSum);
    };

    if (row.twoLines)
    {
        fitLine (0, firstLineCount);
        fitLine (firstLineCount, row.widths.size());
    }

    return row;
}

PresetPageLayout PresetPageLayout::compute (const Inputs& in)
{
    PresetPageLayout l;
    const int W = juce::jmax (0, in.width);
    const int H = juce::jmax (0, in.height);

    //==============================================================================
    const int L = juce::jmin (W, leftColumnWidth);
    l.leftWidth = L;
    auto left = box (12, 18, L - 24, H - 12 - 18);

    l.projectHeading = left.removeFromTop (26);
    left.removeFromTop (5);

    for (size_t i = 0; i < 5; ++i)
    {
        splitRow (left.removeFromTop (30), 80, l.rowLabels[i], l.rowFields[i]);
        left.removeFromTop (5);
    }

    // The version is a short text; a full-width field would suggest room for a sentence.
    l.rowFields[3] = l.rowFields[3].withWidth (juce::jmin (l.rowFields[3].getWidth(), 90));

    splitRow (left.removeFromTop (30), 80, l.keywordsLabel, l.pluralToggle);
    left.removeFromTop (5);

    left.removeFromTop (12);
    l.separatorY = left.getY();
    left.removeFromTop (12);

    l.projectPanel = box (0, 12, L, l.separatorY - 12);
    l.libraryPanel = box (0, l.separatorY, L, H - l.separatorY);

    l.libraryHeading = left.removeFromTop (26);
    left.removeFromTop (5);

    const int rest = left.getHeight();
    l.libraryList = left.removeFromTop (juce::jmin (rest, juce::jmax (120, rest - 131)));
    left.removeFromTop (5);

    l.statusLabel = left.removeFromTop (20);
    left.removeFromTop (5);

    for (size_t r = 0; r < 3; ++r)
    {
        auto row = left.removeFromTop (30);
        const int w = (row.getWidth() - 10) / 3;
        l.libraryButtons[r * 3] = row.removeFromLeft (w);
        row.removeFromLeft (5);
        l.libraryButtons[r * 3 + 1] = row.removeFromLeft (w);
        row.removeFromLeft (5);
        l.libraryButtons[r * 3 + 2] = row;
        left.removeFromTop (5);
    }

    //==============================================================================
    const int R = W - L;
    const int Ri = juce::jmax (0, R - 24);
    const int E = juce::jmin (Ri, juce::jlimit (270, 320, Ri / 3));
    const int E0 = L + 12 + Ri - E;
    l.editorX = E0;
    l.editorWidth = E;

    l.auditionStrip = box (E0, 18, E, 26);
    l.editorPanel = box (E0 - 12, 12, W - (E0 - 12), H - 12);
    l.stemPanel = box (L + 12, 12, Ri - E - 24, H - 24);

    auto content = box (L + 24, 16, Ri - E - 48, H - 24 - 16);
    const auto stemContent = content;

    {
        auto top = content.removeFromTop (30);
        l.cueLabel = top.removeFromLeft (34);
        top.removeFromLeft (6);
        l.cueChoice = top.removeFromLeft (juce::jmin (top.getWidth() / 2, 230));
        top.removeFromLeft (5);
        l.addMixButton = top.removeFromLeft (juce::jmin (top.getWidth(), 160));
        content.removeFromTop (12);
    }

    const auto fitted = StemButtonRow::fit (content.getWidth(), in.textButtonWidths, in.hintWidth);
    l.hintVisible = fitted.hintVisible;

    auto bottom = content.removeFromBottom (fitted.twoLines ? 65 : 30);
    content.removeFromBottom (6);
    auto line = bottom.removeFromTop (30);

    for (size_t i = 0; i < 7; ++i)
    {
        if (fitted.twoLines && i == StemButtonRow::firstLineCount)
            line = bottom.removeFromBottom (30);

        l.stemButtons[i] = line.removeFromLeft (fitted.widths[i]);
        line.removeFromLeft (5);
    }

    l.hint = l.hintVisible ? box (l.stemButtons[6].getRight() + 12, l.stemButtons[6].getY(), in.hintWidth, 30) : Rect();

    l.mixHeader = content.removeFromTop (28);
    l.listArea = content;
    l.stemList = content;

    l.mixPanel = Rect::leftTopRightBottom (stemContent.getX(), stemContent.getY(), stemContent.getRight(), l.mixHeader.getBottom());
    l.listPanel = Rect::leftTopRightBottom (stemContent.getX(), l.listArea.getY(), stemContent.getRight(), stemContent.getBottom());

    //==============================================================================
    auto editor = box (E0, 18 + 26 + 5, E, H - 12 - (18 + 26 + 5));

    for (size_t i = 0; i < 3; ++i)
    {
        splitRow (editor.removeFromTop (30), juce::jmin (130, E), l.editorLabels[i], l.editorFields[i]);
        editor.removeFromTop (5);
    }

    {
        Rect sliderRow;
        splitRow (editor.removeFromTop (26), 130, l.editorLabels[3], sliderRow);
        l.prioritySlider = sliderRow.removeFromLeft (111);
        editor.removeFromTop (5);
    }

    {
        auto colourRow = editor.removeFromTop (30);
        l.colourButton = colourRow.removeFromLeft (110);
        l.editorNote = colourRow.withTrimmedLeft (10);
        editor.removeFromTop (12);
    }

    const int A = editor.getHeight();
    const int q = juce::jmax (54, A / 4);
    const auto rules = editor.removeFromTop (juce::jmin (A, juce::jmax (151, A - q - 63)));
    l.sectionPanels.push_back (rules);
    splitSection (rules, l.rulesLabel, l.rulesField);
    editor.removeFromTop (12);

    const auto exclusions = editor.removeFromTop (q + 51);
    l.sectionPanels.push_back (exclusions);
    splitSection (exclusions, l.exclusionsLabel, l.exclusionsField);

    return l;
}

void PresetPageLayout::placeTickScrollBar (bool visible)
{
    stemList = listArea;
    tickScrollBar = {};

    if (! visible)
        return;

    tickScrollBar = stemList.removeFromBottom (10);
    stemList.removeFromBottom (3);
}

} // namespace dunmoor::ui
