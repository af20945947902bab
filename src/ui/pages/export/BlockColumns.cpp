#include "BlockColumns.h"

#include <algorithm>
#include <set>

namespace dunmoor::ui::BlockColumns
{

namespace
{
    struct Column
    {
        int x = 0;
        int width = 0;
        int y = columnsTop;
        int blocks = 0;
        juce::StringArray families;
    };

    bool isBlockLine (const juce::String& line)
    {
        return line.containsChar (':') && ! line.startsWith ("@columns:");
    }

    int columnNumberOf (const juce::String& line)
    {
        return line.fromLastOccurrenceOf (":", false, false).trim().getIntValue();
    }

    const BlockSpec* findSpec (const std::vector<BlockSpec>& blocks, const juce::String& id)
    {
        for (const auto& block : blocks)
            if (block.id == id)
                return &block;

        return nullptr;
    }

    void placeBlockInColumn (std::vector<Column>& columns, int index, const BlockSpec& block, Result& result)
    {
        auto& column = columns[(size_t) index];
        const juce::Rectangle<int> area (column.x + gap, column.y + gap, std::max (0, column.width - 2 * gap), 65536);
        const auto bottom = std::max (area.getY(), block.layout != nullptr ? block.layout (area) : area.getY());

        // The panel ends 12 px below the block's lowest item, and the next block starts 12 px below it.
        result.placements.push_back ({ block.id, index, { column.x, column.y, column.width, bottom - column.y + gap } });
        column.y = bottom + 2 * gap;
        ++column.blocks;

        const auto family = getBlockFamily (block.id);

        if (family.isNotEmpty())
            column.families.addIfNotAlreadyThere (family);
    }

    /** The column with the most room for a block: in the family pass only columns that already
        hold its family (skipped while a column is still empty, except for the naming blocks),
        the preferred width before the minimum width, the smallest y and then the leftmost. */
    int chooseColumn (const std::vector<Column>& columns, const BlockSpec& block)
    {
        const auto family = getBlockFamily (block.id);
        const auto someColumnEmpty = std::any_of (columns.begin(), columns.end(), [] (const Column& c) { return c.blocks == 0; });
        const auto familyPass = family.isNotEmpty() && ! (someColumnEmpty && family != "naming");

        for (int pass = familyPass ? 0 : 1; pass < 2; ++pass)
        {
            for (auto width : { block.preferredWidth, block.minimumWidth })
            {
                int winner = -1;

                for (int i = 0; i < (int) columns.size(); ++i)
                {
                    const auto& c = columns[(size_t) i];

                    if (c.width < width || (pass == 0 && ! c.families.contains (family)))
                        continue;

                    if (winner < 0 || c.y < columns[(size_t) winner].y)
                        winner = i;
                }

                if (winner >= 0)
                    return winner;
            }
        }

        // Too wide for every column: the widest one shows the most of it.
        int widest = 0;

        for (int i = 1; i < (int) columns.size(); ++i)
            if (columns[(size_t) i].width > columns[(size_t) widest].width)
                widest = i;

        return widest;
    }
} // namespace

std::vector<juce::Rectangle<int>> Result::getColumnRects() const
{
    std::vector<juce::Rectangle<int>> rects;

    for (size_t i = 0; i < widths.size(); ++i)
        rects.push_back ({ xs[i], columnsTop, widths[i], columnsBottom - columnsTop });

    return rects;
}

const juce::StringArray& getBlockIds()
{
    static const juce::StringArray ids { "naming", "namingRules", "cues", "cleanup", "rules", "formats", "headroom" };
    return ids;
}

juce::String getBlockFamily (const juce::String& id)
{
    if (id == "naming" || id == "namingRules")
        return "naming";

    if (id == "cues" || id == "rules")
        return "delivery";

    if (id == "cleanup" || id == "formats" || id == "headroom")
        return "audio";

    return {};
}

int maxColumnsFor (int innerWidth)
{
    const auto narrow = innerWidth >= 1524 ? 2 : 1;
    const auto side = innerWidth >= narrow * minimumColumnWidth + 1096 ? 1 : 0;
    return narrow + side + 1;
}

int countArrangementColumns (const juce::String& blockLayout)
{
    std::set<int> numbers;

    for (const auto& line : juce::StringArray::fromLines (blockLayout))
        if (isBlockLine (line))
            numbers.insert (columnNumberOf (line));

    return (int) numbers.size();
}

std::vector<int> automaticWidths (int W, int a, int b)
{
    const auto narrow = juce::jlimit (minimumColumnWidth, narrowColumnMaximum,
                                      (W - gap * (a + b) - minimumColumnWidth * b - wideBlockWidth) / std::max (1, a + 1));
    const auto rest = W - a * (narrow + gap);

    std::vector<int> widths ((size_t) a, narrow);

    if (b == 1)
    {
        const auto side = std::max (minimumColumnWidth, (2 * rest) / 5);
        widths.push_back (rest - side - gap);
        widths.push_back (side);
    }
    else
    {
        widths.push_back (rest);
    }

    return widths;
}

Result layout (int W, const SavedLayout& saved, const std::vector<BlockSpec>& blocks)
{
    Result result;

    // 1. Column count.
    auto a = W >= 1524 ? 2 : 1;
    auto b = W >= a * minimumColumnWidth + 1096 ? 1 : 0;
    result.maxColumns = a + b + 1;

    // 2. The saved arrangement, when it was made for no more columns than the width allows.
    const auto arrangementColumns = countArrangementColumns (saved.blockLayout);
    const auto n = saved.columnsOverride > 0 ? saved.columnsOverride : arrangementColumns;
    result.savedArrangementUsed = n > 0 && n >= result.maxColumns;

    if (result.savedArrangementUsed && arrangementColumns > 0)
    {
        while (a + b + 1 > arrangementColumns && a > 1)
            --a;

        if (a + b + 1 > arrangementColumns)
            b = 0;
    }

    // 3 and 4. Widths: saved shares when they fit, else automatic.
    auto widths = automaticWidths (W, a, b);
    const auto count = (int) widths.size();
    const auto& fractions = saved.widthFractions;

    if ((int) fractions.size() == count)
    {
        double sum = 0.0;

        for (auto f : fractions)
            sum += f;

        if (sum > 0.0)
        {
            const auto total = W - gap * (count - 1);
            std::vector<int> candidates;
            int used = 0;

            for (int i = 0; i < count - 1; ++i)
            {
                candidates.push_back (std::max (minimumColumnWidth, (int) ((double) total * fractions[(size_t) i] / sum)));
                used += candidates.back();
            }

            candidates.push_back (total - used);

            if (candidates.back() >= minimumColumnWidth)
                widths = candidates;
        }
    }

    // 5. Columns.
    std::vector<Column> columns;
    int x = gap;

    for (auto width : widths)
    {
        Column column;
        column.x = x;
        column.width = width;
        columns.push_back (column);
        result.xs.push_back (x);
        result.widths.push_back (width);
        x += width + gap;
    }

    // 6. The saved arrangement: each block to the first column its lines name, when it fits.
    std::vector<const BlockSpec*> toPlace;
    juce::StringArray handled;

    if (result.savedArrangementUsed)
    {
        const auto lines = juce::StringArray::fromLines (saved.blockLayout);

        for (const auto& line : lines)
        {
            if (! isBlockLine (line))
                continue;

            const auto id = line.upToFirstOccurrenceOf (":", false, false).trim();
            const auto* block = findSpec (blocks, id);

            if (block == nullptr || handled.contains (id))
                continue;

            handled.add (id);
            const auto column = columnNumberOf (line);

            if (column >= 0 && column < count && widths[(size_t) column] >= block->minimumWidth)
                placeBlockInColumn (columns, column, *block, result);
            else
                toPlace.push_back (block);
        }
    }

    // 7 and 8. The rest, widest first, with the naming rules right after the naming block.
    for (const auto& block : blocks)
        if (! handled.contains (block.id))
            toPlace.push_back (&block);

    std::stable_sort (toPlace.begin(), toPlace.end(), [] (const BlockSpec* l, const BlockSpec* r) { return l->preferredWidth > r->preferredWidth; });

    const auto position = [&toPlace] (const char* id)
    {
        return std::find_if (toPlace.begin(), toPlace.end(), [id] (const BlockSpec* s) { return s->id == id; });
    };

    if (auto rules = position ("namingRules"), naming = position ("naming"); rules != toPlace.end() && naming != toPlace.end())
    {
        const auto* moved = *rules;
        toPlace.erase (rules);
        toPlace.insert (position ("naming") + 1, moved);
    }

    for (const auto* block : toPlace)
        placeBlockInColumn (columns, chooseColumn (columns, *block), *block, result);

    for (const auto& column : columns)
        result.columnsBottom = std::max (result.columnsBottom, column.y);

    return result;
}

int columnAt (const std::vector<juce::Rectangle<int>>& columnRects, int x)
{
    for (int i = 0; i < (int) columnRects.size(); ++i)
    {
        const auto& r = columnRects[(size_t) i];

        if (r.getX() <= x && x < r.getRight())
            return i;
    }

    return -1;
}

juce::Rectangle<int> dropIndicatorFor (const Result& layout, const juce::String& draggedId, int column, int pointY)
{
    if (column < 0 || column >= layout.getNumColumns())
        return {};

    int top = -1;
    int bottom = columnsTop;

    for (const auto& placement : layout.placements)
    {
        if (placement.column != column || placement.blockId == draggedId)
            continue;

        if (placement.panel.getY() > pointY && (top < 0 || placement.panel.getY() < top))
            top = placement.panel.getY();

        bottom = std::max (bottom, placement.panel.getBottom());
    }

    const auto y = top >= 0 ? top - 7 : bottom + 5;
    return { layout.xs[(size_t) column], y, layout.widths[(size_t) column], 2 };
}

juce::String arrangementAfterDrop (const Result& layout, const juce::String& droppedId, int column, int pointY)
{
    struct Entry
    {
        juce::String id;
        int column;
        int y;
    };

    std::vector<Entry> entries;

    for (const auto& placement : layout.placements)
        if (placement.blockId != droppedId)
            entries.push_back ({ placement.blockId, placement.column, placement.panel.getY() });

    entries.push_back ({ droppedId, column, pointY });
    std::stable_sort (entries.begin(), entries.end(), [] (const Entry& l, const Entry& r)
                      { return l.column != r.column ? l.column < r.column : l.y < r.y; });

    juce::StringArray lines;

    for (const auto& entry : entries)
        lines.add (entry.id + ":" + juce::String (entry.column));

    lines.add ("@columns:" + juce::String (layout.maxColumns));
    return lines.joinIntoString ("\n");
}

std::vector<int> widthsAfterGapMove (const std::vector<int>& startWidths, int index, int x, int columnsLeft)
{
    if (index < 0 || index + 1 >= (int) startWidths.size())
        return {};

    auto start = columnsLeft;

    for (int i = 0; i < index; ++i)
        start += startWidths[(size_t) i] + gap;

    const auto pair = startWidths[(size_t) index] + startWidths[(size_t) index + 1];
    const auto offset = x - start;
    int left = 0;

    if (pair - minimumColumnWidth < minimumColumnWidth)
        left = offset < minimumColumnWidth ? minimumColumnWidth : pair - minimumColumnWidth;
    else
        left = juce::jlimit (minimumColumnWidth, pair - minimumColumnWidth, offset);

    auto widths = startWidths;
    widths[(size_t) index] = left;
    widths[(size_t) index + 1] = pair - left;
    return widths;
}

juce::String formatWidthFractions (const std::vector<int>& widths, int totalWidth)
{
    juce::StringArray parts;

    for (auto width : widths)
        parts.add (juce::String ((double) width / (double) std::max (1, totalWidth), 4));

    return parts.joinIntoString (",");
}

} // namespace dunmoor::ui::BlockColumns
