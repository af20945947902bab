#include "CueRows.h"

#include <algorithm>

namespace dunmoor::ui::CueRows
{

bool hasNothingToRender (const CuePlan& plan)
{
    const auto& stems = plan.request.stems;

    // A plan refused before its stems were planned (too many tracks) has none to look at.
    if (stems.empty())
        return false;

    return std::all_of (stems.begin(), stems.end(), [] (const StemPlan& stem) { return stem.tracks.empty(); });
}

juce::String describeProblem (const CuePlan& plan)
{
    if (plan.validation.errors.isEmpty())
        return {};

    if (hasNothingToRender (plan))
        return plan.request.unassignedTracks.isEmpty() ? "Nothing to render: every track is unreadable."
                                                       : "Nothing to render: no track is assigned to a stem.";

    return plan.validation.errors.joinIntoString (" ");
}

Problems findProblems (const BatchPlan& plan)
{
    Problems problems;

    for (const auto& cue : plan.cues)
    {
        const auto text = describeProblem (cue);

        if (text.isNotEmpty())
            problems[cue.request.cueKey] = text;
    }

    return problems;
}

std::vector<CueResultRow> followCues (const std::vector<CueResultRow>& rows, const std::vector<Cue>& cues, const Problems& problems)
{
    std::vector<CueResultRow> result;
    result.reserve (cues.size());

    for (const auto& cue : cues)
    {
        const auto existing = std::find_if (rows.begin(), rows.end(), [&cue] (const CueResultRow& row) { return row.key == cue.key; });
        auto row = existing != rows.end() ? *existing : CueResultRow();
        row.key = cue.key;
        row.name = cue.name;
        row.included = cue.included;
        row.trimSeconds = cue.trimStartSeconds;

        const auto problem = problems.find (cue.key);
        row.planProblem = problem != problems.end() ? problem->second : juce::String();
        result.push_back (std::move (row));
    }

    return result;
}

juce::String describeWayOut (const BatchPlan& plan)
{
    juce::StringArray names;

    for (const auto& cue : plan.cues)
        if (! cue.ok && hasNothingToRender (cue) && cue.request.cueName.isNotEmpty())
            names.add ("'" + cue.request.cueName + "'");

    if (names.isEmpty())
        return {};

    constexpr int namesShown = 3;
    const auto count = names.size();
    juce::String listed;

    if (count <= namesShown)
    {
        const auto last = names[count - 1];
        names.remove (count - 1);
        listed = names.isEmpty() ? last : names.joinIntoString (", ") + " and " + last;
    }
    else
    {
        names.removeRange (namesShown, count);
        listed = names.joinIntoString (", ") + " and " + juce::String (count - namesShown) + " more";
    }

    return "Untick " + listed + " in the cue list below to leave " + (count == 1 ? "it" : "them") + " out, or remove "
         + (count == 1 ? "its" : "their") + " tracks on the Import page.";
}

} // namespace dunmoor::ui::CueRows
