#pragma once

#include <vector>

#include "core/model/StemSchema.h"

namespace dunmoor::ui
{

/**
    What the Review page's Mix button plays, without its combo box: box id 1 is "Full mix", ids
    2, 3, ... the working schema's alternative mixes in order. Entries compare by id and name,
    so a preset whose mixes share names with the last one's never leaves a dead mix id chosen.
*/
class ReviewMixChoice
{
public:
    struct Entry
    {
        juce::String id;
        juce::String name;

        bool operator== (const Entry& other) const { return id == other.id && name == other.name; }
    };

    /** Refills from the schema when its mixes differ from the entries; keeps the chosen mix when
        it is still there, else chooses the full mix. True when the box must be refilled. */
    bool refresh (const StemSchema& schema);

    /** The user picked a box id: the mix the id was filled with, or the full mix. */
    void choose (int boxId);

    const std::vector<Entry>& getEntries() const noexcept { return entries; }

    /** Empty for the full mix, else the chosen alternative mix's id. */
    const juce::String& getChosenId() const noexcept { return chosenId; }

    /** 1 for the full mix, else the entry's position + 2. */
    int getSelectedBoxId() const;

private:
    std::vector<Entry> entries;
    juce::String chosenId;
    bool filled = false;
};

} // namespace dunmoor::ui
