#pragma once

#include <vector>

#include "core/model/Types.h"

namespace dunmoor
{

/**
    One state of the undo history: the assignments of every track and the name of every cue,
    nothing else. Undo and redo bring back exactly this; which tracks and cues exist, a cue's
    inclusion, cut and mix membership, and the preset are not part of it.
*/
struct UndoSnapshot
{
    struct TrackState
    {
        juce::String id;
        juce::String stemId;
        AssignmentSource source = AssignmentSource::none;
        Confidence confidence = Confidence::unassigned;
        juce::String reason;
        juce::StringArray matchedKeywords;
    };

    struct CueState
    {
        juce::String key;
        juce::String name;
    };

    std::vector<TrackState> tracks; // in track order
    std::vector<CueState> cues;     // in cue order
};

} // namespace dunmoor
