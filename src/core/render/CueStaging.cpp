#include "CueStaging.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
 #define BF_STAGING_LOCKS 1
 #include <fcntl.h>
 #include <sys/file.h>
 #include <sys/stat.h>
 #include <unistd.h>
#else
 #define BF_STAGING_LOCKS 0
#endif

#include "core/files/PathRules.h"

namespace dunmoor
{

const char* const CueStaging::markName = ".brackenfold-staging";

namespace
{
    // The first line tells our mark from a file that only has its name; the rest is for a person
    // who finds the folder.
    constexpr const char* markFirstLine = "Brackenfold staging folder\n";
    constexpr const char* markExplanation = "The files of a cue wait here until the whole cue is written, and are then moved into place.\n"
                                            "A folder like this one that no running render holds is removed by the next render into the folder above it.\n";

    /** The folder's earlier files are put aside here while the staged files are moved into place,
        each under its path relative to the output folder, so that what an interrupted move left
        here can still be put back. */
    constexpr const char* setAsideFolderName = "previous";

    /** The file at a relative path below the folder, joined literally (getChildFile would read a
        path starting with "~" as the home folder). */
    juce::File fileBelow (const juce::File& folder, const juce::String& relativePath)
    {
        return juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + relativePath);
    }

   #if BF_STAGING_LOCKS
    /** True when the file behind the handle is a regular file that starts with our mark. */
    bool holdsOurMark (int handle)
    {
        struct stat info {};

        if (::fstat (handle, &info) != 0 || ! S_ISREG (info.st_mode))
            return false;

        const auto length = std::strlen (markFirstLine);
        char start[64] = {};
        return ::pread (handle, start, length, 0) == (ssize_t) length && std::memcmp (start, markFirstLine, length) == 0;
    }

    /** Takes the lock without waiting; false while another render holds it, and where the disk
        has no locks at all (nothing can then tell a live folder from a leftover). */
    bool tryToLock (int handle)
    {
        return ::flock (handle, LOCK_EX | LOCK_NB) == 0;
    }
   #endif

    /** Puts back every file an interrupted move into place had set aside and nothing has
        replaced since; what has been replaced stays for the folder's removal. */
    void putBackSetAsideFiles (const juce::File& setAside, const juce::File& outputFolder)
    {
        if (! setAside.isDirectory() || setAside.isSymbolicLink())
            return;

        for (const auto& entry : juce::RangedDirectoryIterator (setAside, true, "*", juce::File::findFiles, juce::File::FollowSymlinks::no))
        {
            const auto earlier = entry.getFile();
            const auto target = fileBelow (outputFolder, earlier.getRelativePathFrom (setAside));

            if (target.exists() || target.isSymbolicLink() || ! target.isAChildOf (outputFolder))
                continue;

            (void) target.getParentDirectory().createDirectory();
            (void) earlier.moveFileTo (target);
        }
    }
} // namespace

CueStaging::CueStaging (const juce::File& outputFolderToUse)
    : outputFolder (outputFolderToUse)
{
}

CueStaging::~CueStaging()
{
    discard();
}

juce::File CueStaging::getFolder (juce::String& error)
{
    if (folder != juce::File())
        return folder;

    // Short, so that a staged path is hardly longer than the delivered one.
    auto candidate = outputFolder.getNonexistentChildFile (".bf-staging", {}, false);
    const auto made = outputFolder.createDirectory();

    if (made.failed() || ! outputFolder.isDirectory())
    {
        error = "Could not create '" + candidate.getFullPathName() + "': "
              + (made.failed() ? made.getErrorMessage() : juce::String ("a file is in the way"));
        return {};
    }

   #if ! BF_STAGING_LOCKS
    const auto result = candidate.createDirectory();

    if (result.failed() || ! candidate.isDirectory())
    {
        error = "Could not create '" + candidate.getFullPathName() + "': "
              + (result.failed() ? result.getErrorMessage() : juce::String ("a file is in the way"));
        return {};
    }
   #else
    // Made only where nothing is yet: two renders choosing the same name at the same moment
    // never share a folder; the one that comes second takes the next name.
    for (int attempt = 0; ::mkdir (candidate.getFullPathName().toRawUTF8(), 0777) != 0; ++attempt)
    {
        const auto failure = errno;

        if (failure != EEXIST || attempt >= 100)
        {
            error = "Could not create '" + candidate.getFullPathName() + "': "
                  + (failure == EEXIST ? juce::String ("a file is in the way") : juce::String (std::generic_category().message (failure)));
            return {};
        }

        candidate = outputFolder.getNonexistentChildFile (".bf-staging", {}, false);
    }

    // The mark is written and locked under another name and only then given its own, so that
    // no other render ever finds our mark without our lock on it. Where the disk has no locks,
    // the folder stays unmarked: no one may then take it for a leftover.
    const auto pendingMark = candidate.getChildFile (juce::String (markName) + ".new");
    lockHandle = ::open (pendingMark.getFullPathName().toRawUTF8(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);

    if (lockHandle >= 0)
    {
        const auto text = juce::String (markFirstLine) + markExplanation;
        const auto bytes = text.getNumBytesAsUTF8();
        const bool marked = ::write (lockHandle, text.toRawUTF8(), bytes) == (ssize_t) bytes && tryToLock (lockHandle)
                         && ::rename (pendingMark.getFullPathName().toRawUTF8(), candidate.getChildFile (markName).getFullPathName().toRawUTF8()) == 0;

        if (! marked)
        {
            ::unlink (pendingMark.getFullPathName().toRawUTF8());
            releaseLock();
        }
    }
   #endif

    folder = candidate;
    return folder;
}

juce::File CueStaging::stage (const juce::File& finalFile, juce::String& error)
{
    // Set aside under its path below the output folder when it replaces a file (see commit).
    if (! finalFile.isAChildOf (outputFolder))
    {
        error = "Refusing to write outside the export folder: " + finalFile.getFullPathName();
        return {};
    }

    const auto staging = getFolder (error);

    if (staging == juce::File())
        return {};

    const auto staged = staging.getChildFile (juce::String ((int) files.size() + 1) + finalFile.getFileExtension());

    if (! isPathLengthAcceptable (staged))
    {
        error = "The generated path is too long: " + staged.getFullPathName();
        return {};
    }

    files.emplace_back (staged, finalFile);
    return staged;
}

bool CueStaging::replacesEarlierFiles() const
{
    for (const auto& [staged, target] : files)
        if (target.existsAsFile())
            return true;

    return false;
}

bool CueStaging::commit (juce::String& error)
{
    // A folder where a file goes can't be replaced: found before anything moves.
    for (const auto& [staged, target] : files)
    {
        if (target.isDirectory())
        {
            error = target.getFileName() + ": Could not replace '" + target.getFullPathName() + "': a folder is in the way.";
            return false;
        }
    }

    struct Moved
    {
        juce::File staged, target, previous;    // previous: where the earlier file was put aside, or none
    };

    std::vector<Moved> moved;
    const auto previousFolder = folder.getChildFile (setAsideFolderName);
    bool ok = true;

    for (size_t i = 0; i < files.size() && ok; ++i)
    {
        const auto& [staged, target] = files[i];
        Moved move { staged, target, {} };

        if (target.exists())
        {
            move.previous = fileBelow (previousFolder, target.getRelativePathFrom (outputFolder));

            if (move.previous.getParentDirectory().createDirectory().failed() || ! target.moveFileTo (move.previous))
            {
                error = target.getFileName() + ": Could not replace '" + target.getFullPathName() + "'.";
                ok = false;
                break;
            }
        }

        if (! staged.moveFileTo (target))
        {
            if (move.previous != juce::File())
                move.previous.moveFileTo (target);

            error = target.getFileName() + ": Could not move the file into place at '" + target.getFullPathName() + "'.";
            ok = false;
            break;
        }

        moved.push_back (move);
    }

    if (! ok)
    {
        // Back as it was, latest first.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
        {
            it->target.moveFileTo (it->staged);

            if (it->previous != juce::File())
                it->previous.moveFileTo (it->target);
        }

        return false;
    }

    files.clear();
    discard();
    return true;
}

void CueStaging::discard()
{
    files.clear();

    // Removed while the lock is still held, so that no one else starts on it meanwhile.
    if (folder != juce::File() && folder.isDirectory() && ! folder.isSymbolicLink())
        folder.deleteRecursively (false);

    folder = juce::File();
    releaseLock();
}

void CueStaging::releaseLock()
{
   #if BF_STAGING_LOCKS
    if (lockHandle >= 0)
        ::close (lockHandle);
   #endif

    lockHandle = -1;
}

void CueStaging::removeLeftovers (const juce::File& outputFolder)
{
   #if ! BF_STAGING_LOCKS
    juce::ignoreUnused (outputFolder);
   #else
    if (! outputFolder.isDirectory())
        return;

    std::vector<juce::File> hiddenFolders;

    for (const auto& entry : juce::RangedDirectoryIterator (outputFolder, false, ".*", juce::File::findDirectories, juce::File::FollowSymlinks::no))
        if (! entry.getFile().isSymbolicLink())
            hiddenFolders.push_back (entry.getFile());

    for (const auto& leftover : hiddenFolders)
    {
        // Opened without following a link, and without waiting on anything that is not a file.
        const auto mark = leftover.getChildFile (markName);
        const int handle = ::open (mark.getFullPathName().toRawUTF8(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);

        if (handle < 0)
            continue;

        // Removed while we hold its lock: a render starting meanwhile picks another name.
        if (holdsOurMark (handle) && tryToLock (handle))
        {
            putBackSetAsideFiles (leftover.getChildFile (setAsideFolderName), outputFolder);
            leftover.deleteRecursively (false);
        }

        ::close (handle);
    }
   #endif
}

} // namespace dunmoor
