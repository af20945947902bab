#include "ColumnFit.h"

#include <unordered_map>

namespace dunmoor::ui
{

int widestText (const std::vector<juce::String>& texts, const TextMeasure& measure)
{
    struct Hash
    {
        size_t operator() (const juce::String& s) const noexcept { return (size_t) s.hashCode64(); }
    };

    std::unordered_map<juce::String, int, Hash> measured;
    int widest = 0;

    for (const auto& text : texts)
    {
        auto [entry, isNew] = measured.try_emplace (text, 0);

        if (isNew)
            entry->second = measure (text);

        widest = std::max (widest, entry->second);
    }

    return widest;
}

std::vector<ColumnWidth> fitColumnsToTable (const std::vector<ColumnRoom>& columns, int viewportWidth, const ColumnFitOrder& order)
{
    std::vector<ColumnWidth> widths;
    int others = 0;

    for (const auto& c : columns)
    {
        widths.push_back ({ c.column, c.wanted });

        if (c.column != order.fill)
            others += c.wanted;
    }

    int total = 0;

    for (auto& w : widths)
    {
        if (w.column == order.fill)
            w.width = std::max (w.width, viewportWidth - others);

        total += w.width;
    }

    for (const auto column : order.givingWay)
    {
        for (size_t i = 0; i < widths.size() && total > viewportWidth; ++i)
        {
            if (widths[i].column != column)
                continue;

            const auto cut = std::min (total - viewportWidth, std::max (0, widths[i].width - columns[i].minimum));
            widths[i].width -= cut;
            total -= cut;
        }
    }

    return widths;
}

void fitHeaderColumns (juce::TableHeaderComponent& header,
                       int viewportWidth,
                       const ColumnFitOrder& order,
                       const std::function<std::optional<ColumnRoom> (int columnId)>& roomOf)
{
    std::vector<ColumnRoom> shown;

    for (int i = 0; i < header.getNumColumns (true); ++i)
        if (const auto room = roomOf (header.getColumnIdOfIndex (i, true)))
            shown.push_back (*room);

    for (const auto& w : fitColumnsToTable (shown, viewportWidth, order))
        if (header.getColumnWidth (w.column) != w.width)
            header.setColumnWidth (w.column, w.width);
}

} // namespace dunmoor::ui
