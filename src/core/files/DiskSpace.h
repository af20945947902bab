#pragma once

#include <functional>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** Bytes an ordinary program may still write on the disk that holds the path, or on the disk of
    its nearest existing parent when it does not exist yet; -1 when the system can't tell. */
juce::int64 freeBytesOnDiskOf (const juce::File& path);

/** Asks how many bytes may still be written on the disk of a path (-1: unknown), as
    freeBytesOnDiskOf does; a test hands in its own answer. */
using FreeSpaceQuery = std::function<juce::int64 (const juce::File& path)>;

} // namespace dunmoor
