#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ExportResultRows.h"

namespace dunmoor::ui
{

/**
    The cue list under the summary: one row per cue after a run. For now it holds the rows the
    summary gives it and shows itself exactly while it has some; it takes no room and draws
    nothing yet.
*/
class CueResultList : public juce::Component
{
public:
    using Row = CueResultRow;

    CueResultList();

    /** Takes the rows; visible exactly when there is at least one. */
    void setRows (std::vector<Row> newRows);

    const std::vector<Row>& getRows() const noexcept { return rows; }

    /** The height the list needs under the summary. */
    int getIdealHeight() const { return 0; }

    std::function<bool (const juce::String& key, const juce::String& name)> onRename;
    std::function<void (const juce::String& key, bool included)> onIncludedChanged;
    std::function<void (const juce::String& key, double seconds)> onTrimChanged;

private:
    std::vector<Row> rows;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CueResultList)
};

} // namespace dunmoor::ui
