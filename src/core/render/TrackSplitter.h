#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** Which track to split where, and the two files to write. */
struct SplitRequest
{
    juce::File source;
    double splitSeconds = 0.0; // from the start of the file
    juce::File firstOutput;    // the part before the split
    juce::File secondOutput;   // the part after the split
    double crossfadeMs = 5.0;
};

struct SplitResult
{
    bool ok = false;
    juce::String error; // empty on success
};

/** Splits a track into two WAV files of the source's full length that add up to the source:
    the first holds everything before the split and fades out over the crossfade, which starts
    at the split frame; the second fades in over it and holds the rest. Integer sources keep
    their word length (16 or 24 bit) and float sources are written as 32-bit float without
    clamping, so the halves sum back to the source bit-exactly.

    Nothing is ever overwritten, and on failure no new file is left behind. */
[[nodiscard]] SplitResult splitTrack (const SplitRequest& request);

} // namespace dunmoor
