#pragma once

#include <optional>
#include <vector>

#include "core/session/Session.h"

namespace dunmoor::ui
{

/** The audition id of the selection: "track:" + the ids joined with "+", or "track:none". */
juce::String makeTrackPreviewKey (const juce::StringArray& selectedTrackIds);

/** The audition id of a cue's mix: "mix:" + cue key + ":" + mix id (empty for the full mix). */
juce::String makeMixPreviewKey (const juce::String& cueKey, const juce::String& mixId);

/** What the page hands the preview engine for one audition. */
struct AuditionRequest
{
    juce::StringArray files; // full paths
    juce::String caption;
    juce::String id;
};

/**
    The selection as an audition: the file of every selected track still in the session (the
    engine reports the ones it cannot read), captioned with the first one's file name and, with
    several ids, " + <n - 1> more" counted over the ids.
*/
AuditionRequest makeSelectionAudition (const Session& session, const juce::StringArray& selectedTrackIds);

/**
    The tracks a cue's mix sums, in session order: readable, assigned, in the cue (any cue when
    the key is empty, but nothing at all then when the session has several cues: cues are never
    summed together), and, for an alternative mix, on one of its stems as that track's cue
    delivers it (the cue's own membership exceptions apply, as in the render).
*/
std::vector<const Track*> getMixTrackList (const Session& session, const juce::String& cueKey, const juce::String& mixId);

/** The files of getMixTrackList. */
juce::StringArray getMixTrackFiles (const Session& session, const juce::String& cueKey, const juce::String& mixId);

/** The mix as an audition: "Full mix" or the mix's name, after the cue's name and " - " when
    the cue exists, then " (<n> tracks)". */
AuditionRequest makeMixAudition (const Session& session, const juce::String& cueKey, const juce::String& mixId);

/** The tracks an audition id plays, for the meters: the listed ids of a "track:" id (missing
    ones skipped), the mix's tracks of a "mix:" id, nothing for any other id. */
std::vector<const Track*> getPlayingTracks (const Session& session, const juce::String& auditionId);

/** Where the engine loads and starts. playFrom -2 asks for the first sound. */
struct PreviewStart
{
    double windowStart = 0.0;
    double playFrom = -2.0;
};

/** Playback that stays this close to its window's start loads from 0 rather than from the point. */
inline constexpr double windowStartThresholdSeconds = 225.0;

/**
    Where to start for a click at a fraction of the shown waveform (or, without a fraction, a
    plain start from the first sound). Only a shown overview gives the fraction a time; without
    one the click means nothing about the file, so it starts at the first sound too.
*/
PreviewStart computePreviewStart (std::optional<double> fraction, double shownDurationSeconds);

/** What a click into the waveform strip does. */
enum class SeekAction
{
    seekInFile,   // the strip shows the playing track's whole file: jump there
    seekInWindow, // the strip shows the prepared audition window: jump within it
    startAtPoint  // nothing of the strip is playing: start the selection at that point
};

/**
    showsWholeTrack: the strip shows one track's cached overview; selectionActive: the engine is
    playing or loading the selection's audition; mixRequested: the engine's request is a mix;
    playing: the engine plays. A click that cannot seek starts the selection there.
*/
SeekAction chooseSeekAction (bool showsWholeTrack, bool selectionActive, bool mixRequested, bool playing);

} // namespace dunmoor::ui
