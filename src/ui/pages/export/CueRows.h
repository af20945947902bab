#pragma once

#include <map>
#include <vector>

#include "ExportResultRows.h"
#include "core/render/RenderPlan.h"

namespace dunmoor::ui
{

/**
    The cue list's rows as the session has its cues: every cue with tracks, ticked or not, and
    for each what stops it from being rendered, so that a cue the run refuses can be found and
    left out where the list shows it.
*/
namespace CueRows
{
    /** What stops each cue of a plan, by cue key; a cue whose plan has no error is not listed. */
    using Problems = std::map<juce::String, juce::String>;

    /** No usable track of the cue is assigned to a stem, so it has nothing to render: a matter of
        the cue's own tracks, not of the settings. */
    bool hasNothingToRender (const CuePlan& plan);

    /** A cue plan's problem as its row shows it: for a cue with nothing to render, why ("Nothing
        to render: every track is unreadable."); else its errors; empty when it has none. */
    juce::String describeProblem (const CuePlan& plan);

    Problems findProblems (const BatchPlan& plan);

    /** The rows for the cues, in their order: a row already there keeps what its last run found,
        a cue without one gets a row without results; name, tick and cut come from the cue, the
        problem from problems. Rows whose cue is gone are dropped. */
    std::vector<CueResultRow> followCues (const std::vector<CueResultRow>& rows, const std::vector<Cue>& cues, const Problems& problems);

    /** What a refused run's message adds for the cues of the plan that have nothing to render:
        how to leave them out. Empty when there are none. */
    juce::String describeWayOut (const BatchPlan& plan);
} // namespace CueRows

} // namespace dunmoor::ui
