#include "ReviewMixChoice.h"

namespace dunmoor::ui
{

bool ReviewMixChoice::refresh (const StemSchema& schema)
{
    std::vector<Entry> fresh;
    fresh.reserve (schema.alternativeMixes.size());

    for (const auto& mix : schema.alternativeMixes)
        fresh.push_back ({ mix.id, mix.name });

    if (filled && fresh == entries)
        return false;

    entries = std::move (fresh);
    filled = true;

    for (const auto& entry : entries)
        if (entry.id == chosenId)
            return true;

    chosenId.clear();
    return true;
}

void ReviewMixChoice::choose (int boxId)
{
    const auto position = boxId - 2;
    chosenId = juce::isPositiveAndBelow (position, (int) entries.size()) ? entries[(size_t) position].id
                                                                         : juce::String();
}

int ReviewMixChoice::getSelectedBoxId() const
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (chosenId.isNotEmpty() && entries[i].id == chosenId)
            return (int) i + 2;

    return 1;
}

} // namespace dunmoor::ui
