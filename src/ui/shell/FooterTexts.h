#pragma once

#include <vector>

#include "core/session/Session.h"
#include "ui/shell/FooterSummary.h"

namespace dunmoor::ui
{

/** The title row's preset text: the name, its kind in brackets and "  *" when the working copy
    differs from the stored preset. */
juce::String presetLabelText (const Preset& preset, bool modified);

/** The title row's project text: the project file's name ("Untitled" before the first save)
    and "  *" when the session changed since it was saved or opened; empty for a session that
    is neither saved nor holds anything. */
juce::String projectLabelText (const juce::File& projectFile, bool hasTracks, bool changed);

/**
    The footer: track, cue and stem counts (with the unassigned, ambiguous and unreadable ones and,
    when shownTrackCount is 0 or more, how many tracks the Import page's filter shows); the project
    rate and level target; and the output folder's name when there is one.
*/
std::vector<FooterSegment> makeFooterSegments (const Session& session, const juce::File& outputFolder, int shownTrackCount);

} // namespace dunmoor::ui
