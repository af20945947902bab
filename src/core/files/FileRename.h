#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** True only when both paths exist and the file system says they are one file (the same device
    and inode, links followed). When it cannot tell, the answer is false. */
bool isSameFileOnDisk (const juce::File& a, const juce::File& b);

/** True only when both paths exist and the file system says they are two different files.
    When it cannot tell, the answer is false. */
bool areDifferentFilesOnDisk (const juce::File& a, const juce::File& b);

/** How a rename in place treats a new name that differs from the current one only in letter case. */
enum class LetterCaseRename
{
    carryOut, // Bass.wav becomes bass.wav
    ignore    // the name counts as the current one and nothing happens
};

/**
    Renames an existing file within its own folder, keeping its extension: the new name is
    trimmed and made safe for the file system (at most 120 characters), and the file's current
    extension (from its last full stop) is appended, so "Snare.wav" for Kick.wav gives
    Snare.wav.wav.

    Checks, in order, each refusal with the user's message in error: nothing usable left of the
    name; the target is the current path (exactly, or ignoring case when caseRename is ignore):
    true, nothing happens; the target lies outside the folder; the path gets too long; something
    already sits at the target that is not this very file. A change of letter case goes through
    a free intermediate name, because on a disk that ignores case the target is the file itself.
    Another file is never replaced, also not on a disk that tells letter case apart.

    On success renamedTo is the file's path afterwards (the file itself when nothing happened)
    and error is cleared. On refusal or a failed move the disk is unchanged. The caller checks
    beforehand that the file exists.
*/
[[nodiscard]] bool renameFileInFolder (const juce::File& file,
                                       const juce::String& newName,
                                       LetterCaseRename caseRename,
                                       juce::File& renamedTo,
                                       juce::String& error);

} // namespace dunmoor
