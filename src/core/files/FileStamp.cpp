#include "FileStamp.h"

#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
 #include <sys/stat.h>
#endif

namespace dunmoor
{

juce::String fileStamp (const juce::File& file)
{
   #if JUCE_LINUX || JUCE_MAC || JUCE_BSD
    struct stat info;

    if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0)
        return {};

   #if JUCE_MAC
    const auto& modified = info.st_mtimespec;
    const auto& changed = info.st_ctimespec;
   #else
    const auto& modified = info.st_mtim;
    const auto& changed = info.st_ctim;
   #endif

    return juce::String ((juce::int64) info.st_dev) + ":" + juce::String ((juce::int64) info.st_ino) + ":"
         + juce::String ((juce::int64) info.st_size) + ":" + juce::String ((juce::int64) modified.tv_sec) + "."
         + juce::String ((juce::int64) modified.tv_nsec) + ":" + juce::String ((juce::int64) changed.tv_sec) + "."
         + juce::String ((juce::int64) changed.tv_nsec);
   #else
    if (! file.existsAsFile())
        return {};

    return juce::String (file.getSize()) + ":" + juce::String (file.getLastModificationTime().toMilliseconds()) + ":"
         + juce::String (file.getCreationTime().toMilliseconds());
   #endif
}

} // namespace dunmoor
