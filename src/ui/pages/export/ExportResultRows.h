#pragma once

#include <vector>

#include "core/audio/SilenceGate.h"
#include "core/audio/WaveformOverview.h"

namespace dunmoor::ui
{

/** One cue in the cue list under the summary: what the session says about the cue and what
    the last run found for it. */
struct CueResultRow
{
    juce::String key;
    juce::String name;
    bool hasProblem = false;            // errors, cancelled, not ok, failed null test or unassigned tracks
    bool hasResult = false;             // the last run has a report for this cue
    double durationSeconds = 0.0;       // after the cut
    bool hasLevels = false;             // the run measured the mix and decided its gain: peakDb and gainDb hold
    double peakDb = -400.0;             // mix true peak before gain; -400 stands for minus infinity
    double gainDb = 0.0;
    int assignedStems = 0;
    int emptyStems = 0;
    bool included = true;
    double silenceFoundSeconds = 0.0;   // leading silence the last run measured
    double trimSeconds = 0.0;           // the cut chosen for the cue
    juce::String planProblem;           // what stops the cue from being rendered now; empty when nothing

    /** The row is marked: the last run found a problem, or the cue cannot be rendered now. */
    bool showsProblem() const noexcept { return hasProblem || planProblem.isNotEmpty(); }
};

/** One track the noise-floor cleanup read, for the cleanup preview. */
struct GatedTrackRow
{
    juce::File path;
    juce::String cueKey;
    juce::String cueName;               // "Delivery" when the report's cue has no name
    juce::String fileName;
    juce::String stemName;
    double gatedSeconds = 0.0;
    double durationSeconds = 0.0;
    int regionCount = 0;
    bool wholeFileSilent = false;
    std::vector<GateRegion> regions;
    WaveformOverview overview;
};

} // namespace dunmoor::ui
