#pragma once

#include "RenderJob.h"
#include "core/files/FileRename.h"

namespace dunmoor
{

/**
    Renames one file of a finished delivery within its folder, keeping its extension, and points
    every entry of the report that names it, in whichever cue, at the new path. A name that
    differs from the current one only in letter case is carried out or counts as the current
    one (true, nothing happens), as caseRename says. False with the user's message in error when
    refused or when the move fails; the disk and the report are then unchanged. Message thread
    only.
*/
[[nodiscard]] bool renameWrittenFile (BatchReport& report,
                                      const juce::File& file,
                                      const juce::String& newName,
                                      juce::String& error,
                                      LetterCaseRename caseRename = LetterCaseRename::ignore);

} // namespace dunmoor
