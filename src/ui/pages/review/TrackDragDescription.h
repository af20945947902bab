#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor::ui
{

/** The type of a drag that carries track ids from the Review page's tree. */
inline constexpr const char* trackDragType = "dunmoor.tracks";

/** The description a dragged track row hands over: an object with "type" = trackDragType and
    "tracks" = the ids joined with "\n". */
juce::var makeTrackDragDescription (const juce::StringArray& trackIds);

/** The track ids of a description made by makeTrackDragDescription, without blank entries;
    empty for anything else (another type, not an object, no usable id). */
juce::StringArray getDraggedTrackIds (const juce::var& description);

/** What dragging one row moves: the whole selection when the row is part of it, else the row
    alone. */
juce::StringArray trackIdsToDrag (const juce::String& rowTrackId, const juce::StringArray& selectedTrackIds);

} // namespace dunmoor::ui
