#pragma once

#include <map>
#include <set>
#include <vector>

#include "core/session/Cue.h"
#include "core/session/Track.h"

namespace dunmoor::ui
{

/**
    Per cue, the stems that hold at least one readable track (no error, at least one frame).
    Built in one pass over the tracks when they or their assignments change, so that a painted
    row asks a set instead of scanning the session.
*/
class CueStemIndex
{
public:
    CueStemIndex() = default;
    explicit CueStemIndex (const std::vector<Track>& tracks);

    bool hasTracks (const juce::String& cueKey, const juce::String& stemId) const;

    /** The number of distinct stems the cue's readable tracks are assigned to. */
    int countStems (const juce::String& cueKey) const;

private:
    std::map<juce::String, std::set<juce::String>> stemsOfCue;
};

/**
    The items of the "Cue" scope choice: "All cues" (id 1), then every cue with tracks as its
    name, two spaces and the number of stems it uses in parentheses (id = position + 2). The
    choice is kept by cue key across rebuilds; a cue that is gone falls back to "All cues".
*/
struct CueChoices
{
    static constexpr int allCuesId = 1;
    static constexpr const char* allCuesText = "All cues";

    struct Item
    {
        juce::String key;
        juce::String text;

        bool operator== (const Item& other) const { return key == other.key && text == other.text; }
    };

    std::vector<Item> items; // the cues, in cue order

    static CueChoices build (const std::vector<Cue>& cuesWithTracks, const CueStemIndex& index);

    /** The item id of the cue with that key; allCuesId for an empty or unknown key. */
    int idForKey (const juce::String& cueKey) const;

    /** The key behind an item id; empty for "All cues" and for an id naming no cue. */
    juce::String keyForId (int itemId) const;

    bool operator== (const CueChoices& other) const { return items == other.items; }
    bool operator!= (const CueChoices& other) const { return ! operator== (other); }
};

} // namespace dunmoor::ui
