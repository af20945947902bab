#pragma once

#include <functional>

#include <juce_core/juce_core.h>

#include "core/render/TrackSplitter.h"
#include "core/session/Session.h"

namespace dunmoor::ui
{

/** Title of every box that reports a split that did not happen. */
extern const char* const splitRefusedTitle;

/** Crossfade between the two halves, in milliseconds. */
constexpr double splitCrossfadeMs = 5.0;

/**
    The file of a name and suffix in the folder that does not exist yet: the name itself, else
    the name with 2, 3, ... appended ("_" in between when it ends in a digit; bracketed numbers
    when it ends in ")"). Names are joined as they stand, so "~Pad" stays in the folder.
*/
juce::File getNonexistentChildFileNamed (const juce::File& folder, const juce::String& name, const juce::String& suffix);

/** The name the split dialog suggests for the second half: the file's name and " 2". */
juce::String getSuggestedSplitName (const juce::File& source);

/**
    Everything a split will do, worked out before any file is touched: the second half's file
    (from the typed name made safe, at most 120 characters), and the name the original is kept
    under ("_splitted", numbered). Refused, with the message for the box, when the name has
    nothing usable, when it would mark the half as an earlier split's original (the import skips
    such files, so that half would be lost), when a path would be too long, or when the session
    has no room for a second track.
*/
struct SplitPlan
{
    bool ok = false;
    juce::String message; // why it was refused; empty when there is nothing to say
    juce::String trackId;
    double seconds = 0.0;
    juce::File source;    // the track's file; the first half is written here
    juce::File newFile;   // the second half
    juce::File movedFile; // where the original is kept
};

SplitPlan planSplit (const Session& session, const juce::String& trackId, double seconds, const juce::String& typedName);

/** What a split did, and the box to show when there is anything to say. */
struct SplitOutcome
{
    bool split = false;
    bool warning = true;
    juce::String title;   // empty: no box
    juce::String message;
};

using Splitter = std::function<SplitResult (const SplitRequest&)>;

/**
    Carries out a plan: moves the original to its kept name, writes the two halves, tells the
    waveform cache to forget the three paths, and swaps the track for the two halves in the
    session, giving their cue back the settings it had (a cue whose only track was split is
    otherwise made anew). When the splitter fails the original is moved back; when even that
    fails the message says where it is. The import's messages are reported when it has any.
*/
SplitOutcome performSplit (Session& session,
                           const SplitPlan& plan,
                           const std::function<void (const juce::File&)>& forgetWaveform,
                           const Splitter& splitter = splitTrack);

} // namespace dunmoor::ui
