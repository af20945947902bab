#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** The longest full path, in characters (code points), that the system will write. */
constexpr int maxFullPathLength = 240;

/** The most UTF-8 bytes a sanitised name keeps. Linux allows 255 bytes per name, and the hidden
    temporary names the writers use beside a file add up to about 30 to it plus an extension: a
    name of 120 characters in a script of three or four bytes each could otherwise never be
    written. Plain ASCII names never come near it. */
constexpr int maxFileNameBytes = 200;

/** True when path is the folder itself or lies anywhere below it. Letter case is ignored;
    nothing is resolved (no "..", no links). An empty folder or path is never inside. */
bool isPathInsideFolder (const juce::File& folder, const juce::File& path);

/** True when the two full paths name one file by the file system's own rule: exactly where the
    disk tells letter case apart ("Mix" and "mix" are two folders on Linux), ignoring case where
    it does not. Nothing is resolved (no "..", no links). */
bool isSamePath (const juce::String& a, const juce::String& b);

/** True when the file's full path has at most maxFullPathLength characters. */
bool isPathLengthAcceptable (const juce::File& file);

/** Turns any text into a single legal file or folder name.

    Forbidden and control characters become the replacement (an empty replacement drops
    them; a replacement that is itself unusable becomes "-"), surrounding spaces and full
    stops go, the result is cut to maxLength characters when maxLength > 0 and always to
    maxFileNameBytes bytes of UTF-8 (at a whole character), a name left
    empty or made only of "-", "_", "." and spaces gives the fallback (taken as it is),
    and a reserved device name such as "con" or "con.txt" gets "_" after the device
    part ("con_", "con_.txt").
*/
juce::String sanitiseFileName (const juce::String& name,
                               const juce::String& replacement,
                               const juce::String& fallback,
                               int maxLength);

/** The file of exactly this name in the folder. A name is joined as it stands: the framework's
    getChildFile would read a name starting with "~" as a home folder on Linux and leave the
    folder altogether. The name must be a single component (a sanitised name is). */
juce::File getChildFileNamed (const juce::File& folder, const juce::String& name);

/** The names a file takes in turn while the one before is taken: number 1 is base + extension,
    then "base (2)" + extension, "base (3)" + extension ... (getChildFileNamed). */
juce::File getNumberedChildFile (const juce::File& folder, const juce::String& base, int number, const juce::String& extension);

/** Checks that a delivery may be written into the folder, creating it (with any missing
    parents) when it does not exist. On failure returns false with the reason in error;
    on success clears error. Created folders stay even if a later check fails. */
[[nodiscard]] bool validateOutputFolder (const juce::File& folder, juce::String& error);

/** The same check for a path typed by the user: an empty text has no folder chosen, and a
    relative one is refused before it could be resolved against the working directory. */
[[nodiscard]] bool validateOutputFolder (const juce::String& path, juce::String& error);

/** The checks of validateOutputFolder, with the same texts, for planning a run: nothing is
    created. A missing folder passes when its nearest existing parent is a writable folder;
    a file in its way fails as "could not be created". */
[[nodiscard]] bool checkOutputFolder (const juce::File& folder, juce::String& error);

} // namespace dunmoor
