#pragma once

#include "core/audio/AudioBufferOps.h"

namespace dunmoor::testing
{

/** While it lives, every render buffer larger than the given size fails to allocate, on any
    machine and under any sanitizer, as if the memory could not be had. */
struct ScopedRenderBufferLimit
{
    explicit ScopedRenderBufferLimit (juce::int64 bytes) : previous (setRenderBufferByteLimit (bytes)) {}
    ~ScopedRenderBufferLimit() { setRenderBufferByteLimit (previous); }

    ScopedRenderBufferLimit (const ScopedRenderBufferLimit&) = delete;
    ScopedRenderBufferLimit& operator= (const ScopedRenderBufferLimit&) = delete;

    const juce::int64 previous;
};

} // namespace dunmoor::testing
