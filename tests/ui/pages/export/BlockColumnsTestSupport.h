#pragma once

#include <algorithm>
#include <vector>

#include "ui/pages/export/BlockColumns.h"

namespace dunmoor::testing
{

/** Block ids per column, top to bottom, as "a b | c d". */
inline juce::String describeColumns (const std::vector<ui::BlockColumns::BlockPlacement>& placements, int columns)
{
    juce::StringArray described;

    for (int c = 0; c < columns; ++c)
    {
        std::vector<std::pair<int, juce::String>> inColumn;

        for (const auto& p : placements)
            if (p.column == c)
                inColumn.push_back ({ p.panel.getY(), p.blockId });

        std::sort (inColumn.begin(), inColumn.end());
        juce::StringArray ids;

        for (const auto& [y, id] : inColumn)
            ids.add (id);

        described.add (ids.joinIntoString (" "));
    }

    return described.joinIntoString (" | ");
}

} // namespace dunmoor::testing
