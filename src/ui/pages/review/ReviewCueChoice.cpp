#include "ReviewCueChoice.h"

#include <set>
#include <unordered_map>

namespace dunmoor::ui
{

namespace
{
    std::vector<ReviewCueChoice::Entry> makeEntries (const Session& session, const std::vector<Cue>& cues)
    {
        // Distinct stems used by the readable tracks of each cue, in one pass over the tracks.
        std::unordered_map<juce::String, std::set<juce::String>> stemsByCue;

        for (const auto& track : session.getTracks())
            if (track.isReadable() && track.stemId.isNotEmpty())
                stemsByCue[track.cueKey].insert (track.stemId);

        std::vector<ReviewCueChoice::Entry> result;
        result.reserve (cues.size());

        for (const auto& cue : cues)
        {
            const auto found = stemsByCue.find (cue.key);
            const auto stems = found != stemsByCue.end() ? (int) found->second.size() : 0;
            result.push_back ({ cue.key, cue.name + "  (" + describeStemCount (stems) + ")" });
        }

        return result;
    }
} // namespace

ReviewCueChoice::Change ReviewCueChoice::refresh (const Session& session)
{
    const auto cues = session.getCuesWithTracks();
    Change change;

    const auto nowVisible = cues.size() >= 2;
    change.visibilityChanged = nowVisible != visible;
    visible = nowVisible;

    if (! visible)
    {
        change.refilled = ! entries.empty();
        entries.clear();
        chosenKey.clear();
        return change;
    }

    auto fresh = makeEntries (session, cues);

    if (fresh == entries)
        return change;

    entries = std::move (fresh);
    change.refilled = true;

    for (const auto& entry : entries)
        if (entry.key == chosenKey && chosenKey.isNotEmpty())
            return change;

    // The chosen cue is gone (or none was chosen): "All cues" once the user has picked an
    // entry, else the page starts on the first cue.
    chosenKey = chosenByUser ? juce::String() : entries.front().key;
    return change;
}

void ReviewCueChoice::choose (int boxId)
{
    chosenByUser = true;
    const auto position = boxId - 2;
    chosenKey = juce::isPositiveAndBelow (position, (int) entries.size()) ? entries[(size_t) position].key
                                                                          : juce::String();
}

int ReviewCueChoice::getSelectedBoxId() const
{
    if (entries.empty())
        return 0;

    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].key == chosenKey)
            return (int) i + 2;

    return 1;
}

} // namespace dunmoor::ui
