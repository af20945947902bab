#pragma once

#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ExportResultRows.h"

namespace dunmoor::ui
{

/**
    The cleanup preview under the cue list: one row per track the noise-floor cleanup read.
    For now it holds the rows the summary gives it and shows itself exactly while it has some;
    it takes no room and draws nothing yet.
*/
class GatedTrackList : public juce::Component
{
public:
    using Row = GatedTrackRow;

    GatedTrackList();

    /** Takes the rows; visible exactly when there is at least one. */
    void setRows (std::vector<Row> newRows);

    const std::vector<Row>& getRows() const noexcept { return rows; }

    /** The height the list needs under the cue list. */
    int getIdealHeight() const { return 0; }

private:
    std::vector<Row> rows;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GatedTrackList)
};

} // namespace dunmoor::ui
