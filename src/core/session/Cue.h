#pragma once

#include <map>

#include "core/model/StemSchema.h"

namespace dunmoor
{

/** The key of a cue folder: a 64-bit hash of the lower-cased path in lower-case hex, the same
    in every run ("abc" and "ABC" give "f4046", the empty text "0"). */
juce::String stableIdFromText (const juce::String& text);

/** Folder names below an import root, split at separators, blank parts dropped and each part
    made safe, joined with "/". Nothing of it can climb out of a folder: ".." becomes a word. */
juce::String sanitiseRelativeCueName (const juce::String& relativePath);

/** The folder's place below the import root as sanitiseRelativeCueName makes it; empty for
    the root itself or a folder outside it. */
juce::String relativeCueNameOf (const juce::File& folder, const juce::File& importRoot);

/** A name a cue may take: not empty, at most 4096 characters, no separators, "..", or
    control characters. */
bool isUsableCueName (const juce::String& name);

/** One source folder of tracks: a piece of music delivered as one set of stems. */
struct Cue
{
    juce::String key;              // stableIdFromText of the folder's full path
    juce::String name;             // display name; also the cue's output folder and {cue} value
    juce::File folder;             // the folder that holds the cue's audio files
    juce::String relativeName;     // the folder's place below the import root, parts joined by "/"
    bool included = true;          // ticked for delivery
    double trimStartSeconds = 0.0; // leading-silence cut, never negative

    /** Audio files of the folder left out of the import for their names (not valid UTF-8), as
        shown; the cue's report lists them with the tracks that could not be read. */
    juce::StringArray namesLeftOut;

    /** Per-cue membership of alternative mixes: mix id -> member stem ids. A mix without an
        entry uses its own member list. Keys compare exactly. */
    std::map<juce::String, juce::StringArray> mixOverrides;

    /** The member stem ids of the mix for this cue: the cue's override list for the mix's id
        when there is one, else the mix's own members. */
    juce::StringArray getAlternativeMixStems (const AlternativeMix& mix) const;

    /** The folder this cue is delivered into below root. With mirroring and a relative folder,
        the source tree is repeated with the cue's own folder carrying the cue's name; else
        root/<cue name> when folderPerCue is set, else root itself. Every part is made a legal
        folder name ("-" for forbidden characters, "untitled" when nothing is left, at most
        120 characters). */
    juce::File getOutputFolderName (const juce::File& root, bool mirrorFolderStructure, bool folderPerCue) const;
};

} // namespace dunmoor
