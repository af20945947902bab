#include "WrittenFileRename.h"

#include "core/files/FileRename.h"

namespace dunmoor
{

bool renameWrittenFile (BatchReport& report,
                        const juce::File& file,
                        const juce::String& newName,
                        juce::String& error,
                        LetterCaseRename caseRename)
{
    if (! file.existsAsFile())
    {
        error = "That file is not where the report says it is. It may have been moved or renamed since it was written.";
        return false;
    }

    // Entries name the file when their path is its path, also in another letter case, unless
    // the disk tells the two apart: then the entry is another file that stays where it is.
    const auto oldPath = file.getFullPathName();
    std::vector<WrittenFile*> entries;

    for (auto& cue : report.cues)
        for (auto& written : cue.files)
            if (written.file.getFullPathName() == oldPath
                || (written.file.getFullPathName().equalsIgnoreCase (oldPath) && ! areDifferentFilesOnDisk (written.file, file)))
                entries.push_back (&written);

    juce::File renamedTo;

    if (! renameFileInFolder (file, newName, caseRename, renamedTo, error))
        return false;

    if (renamedTo.getFullPathName() != oldPath)
        for (auto* written : entries)
            written->file = renamedTo;

    return true;
}

} // namespace dunmoor
