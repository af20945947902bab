#pragma once

#include <cstdint>
#include <vector>

#include "RenderPlan.h"

namespace dunmoor
{

/** The bytes of a buffer of 64-bit samples; 0 for negative sizes. */
int64_t bytesOfBuffer (int64_t channels, int64_t frames);

/** How much memory a cue's buffers and the tracks read ahead may take together: 850 MB, or a
    quarter of the machine's memory when that is less (a cue of 48 four-minute stereo tracks
    with two alternative mixes then stays under a gigabyte). A cue whose own buffers need more
    still renders, reading one track at a time and writing one file after another. */
int64_t memoryTargetBytes();

/**
    How the writing pass of a cue shares its memory: the stem being built, the alternative-mix
    sums and the mix (until it is written ahead) come first; what is left goes to the writes
    under way and to reading ahead.
*/
class RenderMemoryPlan
{
public:
    /** Plans the writing pass of the request and returns how many items may be encoded while
        the render goes on at its start: 2 where memory leaves plenty of room, else 1; without
        workers 0 (one at a time, in place). The writing pass then decides stem by stem, down
        to 0 where memory is short. */
    int planWritePass (const RenderRequest& request, bool hasWorkers);

    /** The memory the writing pass's reads may take while stem plan i is written with the given
        number of writes under way: the sums the next few stems will need are set aside before
        they are made. */
    int64_t writeReadBudget (size_t i, bool mixStillThere, int writesInFlight) const;

    /** The bytes of one buffer of the cue (all channels, the planned length). */
    int64_t getBufferBytes() const noexcept { return bufferBytes; }

private:
    int64_t bufferBytes = 0;
    std::vector<int> mixSumSchedule;    // separate alternative-mix sums once the writing pass is past each stem
};

} // namespace dunmoor
