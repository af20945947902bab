#include "CueChoices.h"

namespace dunmoor::ui
{

CueStemIndex::CueStemIndex (const std::vector<Track>& tracks)
{
    for (const auto& track : tracks)
        if (track.stemId.isNotEmpty() && track.isReadable())
            stemsOfCue[track.cueKey].insert (track.stemId);
}

bool CueStemIndex::hasTracks (const juce::String& cueKey, const juce::String& stemId) const
{
    const auto found = stemsOfCue.find (cueKey);
    return found != stemsOfCue.end() && found->second.count (stemId) > 0;
}

int CueStemIndex::countStems (const juce::String& cueKey) const
{
    const auto found = stemsOfCue.find (cueKey);
    return found != stemsOfCue.end() ? (int) found->second.size() : 0;
}

//==============================================================================
CueChoices CueChoices::build (const std::vector<Cue>& cuesWithTracks, const CueStemIndex& index)
{
    CueChoices choices;

    for (const auto& cue : cuesWithTracks)
        choices.items.push_back ({ cue.key, cue.name + "  (" + describeStemCount (index.countStems (cue.key)) + ")" });

    return choices;
}

int CueChoices::idForKey (const juce::String& cueKey) const
{
    if (cueKey.isNotEmpty())
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].key == cueKey)
                return (int) i + 2;

    return allCuesId;
}

juce::String CueChoices::keyForId (int itemId) const
{
    const int i = itemId - 2;
    return i >= 0 && i < (int) items.size() ? items[(size_t) i].key : juce::String();
}

} // namespace dunmoor::ui
