#pragma once

#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** Files found in one import call, at most. Reaching it ends the scan without a message. */
constexpr int maxImportScanFiles = 100000;

/** Folder levels scanned below a dropped folder (the dropped folder is level 0). */
constexpr int maxImportScanDepth = 8;

/** What one import did, for the Import page's status line. */
struct ImportSummary
{
    int imported = 0;               // new tracks whose probe succeeded
    int unreadable = 0;             // new tracks kept with a probe error
    int alreadyInList = 0;          // files the session already holds as tracks
    juce::StringArray alreadySplit; // file names of already-split files that were skipped
    juce::StringArray messages;     // scan messages, the track-limit message, one line per unreadable file

    /** An audio file left out for its name, which is not valid UTF-8: its folder and the name as shown. */
    struct NameLeftOut
    {
        juce::File folder;
        juce::String shownName;
    };

    std::vector<NameLeftOut> namesLeftOut;

    /** "3 imported", "0 imported, 5 already in the list, 1 could not be read". */
    juce::String toText() const;
};

/** A file found by the scan and the folder its cue's relative name is measured from. */
struct ScannedFile
{
    juce::File file;
    juce::File importRoot;
};

/** True for a file left behind by splitting a track: its name without extension and without
    trailing digits ends with "_splitted", ignoring case. Such files are never imported again. */
bool isSplitFileName (const juce::File& file);

/**
    The import root of a dropped path: for a folder that directly holds audio files its parent,
    for any other folder the folder itself, for anything else (a file, or a path that does not
    exist) the parent of the file's folder.
*/
juce::File settleImportRoot (const juce::File& path);

/**
    The audio files directly inside the folder (extension test ignoring case, symbolic links
    followed), sorted by name ignoring case so that every disk lists them in the same order.
    Names that are not valid UTF-8 are left out.
*/
juce::Array<juce::File> listAudioFilesInFolder (const juce::File& folder);

/**
    Scans one dropped path: a file is taken whatever its type (already-split files go to the
    summary instead), a folder gives its audio files and, when recurse is set, those of its
    sub-folders down to maxImportScanDepth levels. A folder linked back into its own chain of
    parents is not entered again. An audio file, or a sub-folder the scan would enter, whose
    name is not valid UTF-8 is left out with a message naming it. Stops silently once
    maxImportScanFiles files were found.
*/
void scanImportPath (const juce::File& path,
                     const juce::File& importRoot,
                     bool recurse,
                     int depth,
                     std::vector<ScannedFile>& found,
                     ImportSummary& summary);

} // namespace dunmoor
