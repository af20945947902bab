#include "BufferMemory.h"

#if JUCE_LINUX
#include <sys/mman.h>
#endif

namespace dunmoor
{

namespace
{
    template <typename Sample>
    void adviseHugePages (juce::AudioBuffer<Sample>& buffer) noexcept
    {
#if JUCE_LINUX && defined(MADV_HUGEPAGE)
        constexpr size_t minimumBytes = 8u * 1024u * 1024u;
        const int channels = buffer.getNumChannels();
        const int frames = buffer.getNumSamples();

        if (channels <= 0 || frames <= 0)
            return;

        // The channels of an AudioBuffer lie one after another in one allocation.
        const auto start = reinterpret_cast<uintptr_t> (buffer.getReadPointer (0));
        const auto end = reinterpret_cast<uintptr_t> (buffer.getReadPointer (channels - 1) + frames);

        if (end <= start || end - start < minimumBytes)
            return;

        const uintptr_t page = 4096;
        const auto alignedStart = (start + page - 1) & ~(page - 1);
        const auto alignedEnd = end & ~(page - 1);

        if (alignedEnd > alignedStart)
            madvise (reinterpret_cast<void*> (alignedStart), alignedEnd - alignedStart, MADV_HUGEPAGE);
#else
        juce::ignoreUnused (buffer);
#endif
    }
} // namespace

void adviseLargeBuffer (juce::AudioBuffer<double>& buffer) noexcept
{
    adviseHugePages (buffer);
}

void adviseLargeBuffer (juce::AudioBuffer<float>& buffer) noexcept
{
    adviseHugePages (buffer);
}

} // namespace dunmoor
