#include "FileRename.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#if defined(__linux__)
 #include <fcntl.h>
#endif

#include "PathRules.h"

namespace dunmoor
{

namespace
{
    std::filesystem::path toFsPath (const juce::File& file)
    {
        return std::filesystem::u8path (file.getFullPathName().toRawUTF8());
    }

    enum class Identity
    {
        same,
        different,
        unknown
    };

    Identity compareOnDisk (const juce::File& a, const juce::File& b)
    {
        // The library answers "different" when only one of the two exists; that says nothing
        // about what a path that names nothing would be.
        std::error_code ec;

        if (! std::filesystem::exists (toFsPath (a), ec) || ! std::filesystem::exists (toFsPath (b), ec))
            return Identity::unknown;

        const auto same = std::filesystem::equivalent (toFsPath (a), toFsPath (b), ec);

        if (ec)
            return Identity::unknown;

        return same ? Identity::same : Identity::different;
    }

    // Anything at the path counts, a dangling link included; a path whose state cannot be read
    // counts as taken, so that nothing is ever moved over it.
    bool isPathTaken (const juce::File& file)
    {
        std::error_code ec;
        const auto status = std::filesystem::symlink_status (toFsPath (file), ec);
        return status.type() != std::filesystem::file_type::not_found;
    }

    bool moveToFreePath (const juce::File& source, const juce::File& target)
    {
       #if defined(__linux__) && defined(RENAME_NOREPLACE)
        // The target was seen free a moment ago, but another program may have put a file there
        // since; the kernel refuses to replace it. Only a file system that cannot rename this
        // way falls back to the plain rename below.
        if (::renameat2 (AT_FDCWD, source.getFullPathName().toRawUTF8(),
                         AT_FDCWD, target.getFullPathName().toRawUTF8(), RENAME_NOREPLACE) == 0)
            return true;

        if (errno != EINVAL && errno != ENOSYS)
            return false;
       #endif

        std::error_code ec;
        std::filesystem::rename (toFsPath (source), toFsPath (target), ec);
        return ! ec;
    }

    // The target is the source itself under another letter case. Moving onto it directly would
    // replace (or first delete) the target, which is the file; go through a free name beside it.
    bool moveThroughFreeName (const juce::File& source, const juce::File& target)
    {
        const auto step = source.getParentDirectory()
                              .getNonexistentChildFile (source.getFileNameWithoutExtension() + "-renaming", source.getFileExtension(), false);

        if (! moveToFreePath (source, step))
            return false;

        std::error_code ec;
        std::filesystem::rename (toFsPath (step), toFsPath (target), ec);

        if (ec)
        {
            std::error_code ignored;
            std::filesystem::rename (toFsPath (step), toFsPath (source), ignored);
            return false;
        }

        // Two links of one file: renaming one onto the other succeeds without doing anything, so
        // the free name is still there, as a second name of the file now at the target.
        if (isPathTaken (step) && compareOnDisk (step, target) == Identity::same)
        {
            std::error_code ignored;
            std::filesystem::remove (toFsPath (step), ignored);
        }

        return true;
    }
} // namespace

bool isSameFileOnDisk (const juce::File& a, const juce::File& b)
{
    return compareOnDisk (a, b) == Identity::same;
}

bool areDifferentFilesOnDisk (const juce::File& a, const juce::File& b)
{
    return compareOnDisk (a, b) == Identity::different;
}

bool renameFileInFolder (const juce::File& file,
                         const juce::String& newName,
                         LetterCaseRename caseRename,
                         juce::File& renamedTo,
                         juce::String& error)
{
    renamedTo = file;

    const auto safeName = sanitiseFileName (newName.trim(), "-", {}, 120);

    if (safeName.isEmpty())
    {
        error = "That name has nothing in it that can be used for a file name.";
        return false;
    }

    const auto folder = file.getParentDirectory();
    const auto target = getChildFileNamed (folder, safeName + file.getFileExtension());
    const auto currentPath = file.getFullPathName();
    const auto caseOnly = target.getFullPathName().equalsIgnoreCase (currentPath);

    if (target.getFullPathName() == currentPath || (caseOnly && caseRename == LetterCaseRename::ignore))
    {
        error.clear();
        return true;
    }

    if (! isPathInsideFolder (folder, target))
    {
        error = "That name would put the file outside its own folder.";
        return false;
    }

    if (! isPathLengthAcceptable (target))
    {
        error = "That name makes the path too long for this system.";
        return false;
    }

    // Paths that differ only in letter case are one file on some disks and two on others; only
    // the file system can say which, and only the file itself may stand at the target.
    const auto targetTaken = isPathTaken (target);

    if (targetTaken && ! (caseOnly && isSameFileOnDisk (file, target)))
    {
        error = "There is already a file called '" + target.getFileName() + "' in that folder.";
        return false;
    }

    if (! (targetTaken ? moveThroughFreeName (file, target) : moveToFreePath (file, target)))
    {
        error = "The file could not be renamed. It may be open in another program.";
        return false;
    }

    renamedTo = target;
    error.clear();
    return true;
}

} // namespace dunmoor
