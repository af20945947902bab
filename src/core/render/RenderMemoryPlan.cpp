#include "RenderMemoryPlan.h"

#include <algorithm>

#include <juce_core/juce_core.h>

#include "AlternativeMixSums.h"

namespace dunmoor
{

int64_t bytesOfBuffer (int64_t channels, int64_t frames)
{
    return std::max<int64_t> (0, channels) * std::max<int64_t> (0, frames) * (int64_t) sizeof (double);
}

int64_t memoryTargetBytes()
{
    const auto physical = (int64_t) juce::SystemStats::getMemorySizeInMegabytes() * 1024 * 1024;
    const int64_t target = (int64_t) 850 * 1024 * 1024;
    return physical > 0 ? std::min (target, physical / 4) : target;
}

int RenderMemoryPlan::planWritePass (const RenderRequest& request, bool hasWorkers)
{
    bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);
    mixSumSchedule.clear();

    if (writesAlternativeMixes (request.preset))
        mixSumSchedule = countMixSumsAfterEachStem (request);

    const auto mostSums = mixSumSchedule.empty() ? 0 : *std::max_element (mixSumSchedule.begin(), mixSumSchedule.end());
    const auto spare = memoryTargetBytes() - (1 + (int64_t) mostSums) * bufferBytes;
    return ! hasWorkers ? 0 : (spare >= 8 * bufferBytes ? 2 : 1);
}

int64_t RenderMemoryPlan::writeReadBudget (size_t i, bool mixStillThere, int writesInFlight) const
{
    int sums = 0;

    for (size_t k = i; k < std::min (mixSumSchedule.size(), i + 4); ++k)
        sums = std::max (sums, mixSumSchedule[k]);

    return memoryTargetBytes() - (1 + (int64_t) writesInFlight + (mixStillThere ? 1 : 0) + (int64_t) sums) * bufferBytes;
}

} // namespace dunmoor
