#pragma once

#include <vector>

#include "core/audio/AudioFormats.h"
#include "core/model/Types.h"
#include "core/session/KeywordMatcher.h"

namespace dunmoor
{

/** One imported audio file and its assignment to a stem. */
struct Track
{
    juce::String id;            // a dashed UUID; every operation addresses tracks by it
    juce::File file;            // the source file, full path
    AudioFileInfo info;         // what the probe found; all empty when the probe failed
    juce::String cueKey;        // key of the cue of the file's folder
    juce::String error;         // why the file cannot be used; empty when the probe succeeded
    juce::StringArray warnings; // import warnings shown beside the track
    juce::String stemId;        // empty: unassigned
    AssignmentSource source = AssignmentSource::none;
    Confidence confidence = Confidence::unassigned;
    juce::String reason;                    // explanation shown to the user
    juce::StringArray matchedKeywords;      // keywords that decided an automatic assignment
    std::vector<MatchCandidate> candidates; // ranked stems of the last automatic match

    /** No probe error and at least one frame. */
    bool isReadable() const { return error.isEmpty() && info.lengthInSamples > 0; }
};

} // namespace dunmoor
