#include "DiskSpace.h"

#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
 #include <sys/statvfs.h>
#endif

namespace dunmoor
{

juce::int64 freeBytesOnDiskOf (const juce::File& path)
{
    auto existing = path;

    while (! existing.exists() && existing.getParentDirectory() != existing)
        existing = existing.getParentDirectory();

   #if JUCE_LINUX || JUCE_MAC || JUCE_BSD
    // The framework's own query says 0 where the system can't tell, which would read as a full disk.
    struct statvfs info;

    if (::statvfs (existing.getFullPathName().toRawUTF8(), &info) != 0)
        return -1;

    // The blocks left to ordinary programs, without those kept back for the system's own use.
    return (juce::int64) info.f_bavail * (juce::int64) info.f_frsize;
   #else
    return existing.exists() ? existing.getBytesFreeOnVolume() : -1;
   #endif
}

} // namespace dunmoor
