#include "PrivateFolder.h"

#include "PathRules.h"

#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
    #include <cerrno>
    #include <cstring>
    #include <fcntl.h>
    #include <sys/stat.h>
    #include <unistd.h>
#endif

namespace dunmoor
{

juce::File getPrivateFolder (const juce::File& parent, const juce::String& name, juce::String& error)
{
#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
    const auto uid = ::getuid();
    const auto folder = parent.getChildFile (name + "-" + juce::String ((juce::int64) uid));
    const auto path = folder.getFullPathName();
    const auto refuse = [&] (const juce::String& why)
    {
        error = "The folder " + path + " " + why;
        return juce::File();
    };

    if (::mkdir (path.toRawUTF8(), 0700) != 0 && errno != EEXIST)
        return refuse ("could not be made.");

    // lstat: a link is judged as itself, never by where it points.
    struct stat info {};

    if (::lstat (path.toRawUTF8(), &info) != 0)
        return refuse ("could not be read.");

    if (! S_ISDIR (info.st_mode))
        return refuse ("is not a folder of its own, so it is not used.");

    if (info.st_uid != uid)
        return refuse ("belongs to another user, so it is not used.");

    if ((info.st_mode & 0077) != 0 && ::chmod (path.toRawUTF8(), 0700) != 0)
        return refuse ("could not be closed to other users.");

    error.clear();
    return folder;
#else
    const auto folder = parent.getChildFile (name);

    if (! folder.createDirectory())
    {
        error = "The folder " + folder.getFullPathName() + " could not be made.";
        return {};
    }

    error.clear();
    return folder;
#endif
}

juce::File getPrivateTemporaryFolder (const juce::String& name, juce::String& error)
{
    return getPrivateFolder (juce::File::getSpecialLocation (juce::File::tempDirectory), name, error);
}

juce::File createFileOfItsOwn (const juce::File& folder, const juce::String& base, const juce::String& extension, juce::String& error)
{
    constexpr int maxTries = 1000;

    for (int number = 1; number <= maxTries; ++number)
    {
        const auto file = getNumberedChildFile (folder, base, number, extension);
#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
        const auto handle = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);

        if (handle >= 0)
        {
            ::close (handle);
            error.clear();
            return file;
        }

        if (errno != EEXIST)
        {
            error = "The file " + file.getFullPathName() + " could not be made: " + juce::String (std::strerror (errno));
            return {};
        }
#else
        if (! file.exists() && file.create().wasOk())
        {
            error.clear();
            return file;
        }
#endif
    }

    error = "No file could be made in " + folder.getFullPathName() + ": " + juce::String (maxTries) + " names were taken.";
    return {};
}

} // namespace dunmoor
