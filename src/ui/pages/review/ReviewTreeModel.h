#pragma once

#include <vector>

#include "core/session/Session.h"

namespace dunmoor::ui
{

/** What the Review page's "Show" filter lets into the tree. The values are the box ids minus 1. */
enum class ReviewFilter : int
{
    everything = 0,
    needsAttention,
    unassignedOnly,
    ambiguousOnly
};

/** The filter of a "Show" box id: 2, 3 and 4 pick the narrower views, anything else everything. */
ReviewFilter reviewFilterFromBoxId (int boxId);

/** Whether the track belongs in the tree under the filter and the chosen cue (empty: any cue). */
bool passesReviewFilter (const Track& track, ReviewFilter filter, const juce::String& chosenCueKey);

/** One heading of the tree and the ids of the tracks under it, in session order. */
struct ReviewHeading
{
    juce::String stemId; // empty for the "Unassigned" heading
    juce::String title;  // "03  Strings"; "Unassigned" for the heading without a stem
    juce::uint32 colour = 0;
    juce::StringArray trackIds;

    /** The tree item name: "stem:" + the stem id, or "stem:unassigned". */
    juce::String getUniqueName() const;
};

/** The name a track's row shows: its file name, followed by its cue's name in brackets when
    the tree shows the tracks of more than one cue (files of different cues often share names). */
juce::String buildTrackRowName (const Session& session, const Track& track, bool severalCuesShown);

/** "1 track", otherwise "<n> tracks". */
juce::String describeTrackCount (int count);

/**
    The tree's headings: "Unassigned" first (with the given colour), then one per stem of the
    working schema, in schema order or by display name ignoring case; every heading is listed,
    with or without tracks. Tracks come in session order; a track whose stem the schema no
    longer has appears nowhere. One pass over the tracks, whatever the number of stems.
*/
std::vector<ReviewHeading> buildReviewHeadings (const Session& session,
                                                bool alphabetical,
                                                ReviewFilter filter,
                                                const juce::String& chosenCueKey,
                                                juce::uint32 unassignedColour);

/**
    The status line: the chosen cue's name and three spaces when a cue is chosen, then the
    counts of the readable tracks in view ("12 usable track(s)   2 unassigned   0 ambiguous
    3 to check"), then, with several cues and none chosen, the hint that cues are never summed.
*/
juce::String buildReviewStatusText (const Session& session, const juce::String& chosenCueKey);

/** Which of the page's controls can be used. */
struct ReviewEnablement
{
    bool undo = false;
    bool redo = false;
    bool selectionActions = false; // "Assign to...", "Lock", "Unlock", "Save as rule..."
    bool track = false;
    bool mix = false;
};

ReviewEnablement computeReviewEnablement (int undoIndex,
                                          int numUndoStates,
                                          int numSelectedTracks,
                                          bool hasAudioOutput,
                                          bool hasMixTracks);

} // namespace dunmoor::ui
