#pragma once

#include "CueRender.h"
#include "core/files/DiskSpace.h"

namespace dunmoor
{

/** The most a cue's render adds at once to the disk of its output folder: every file it stages
    (each at the most its encoder may write, the cut at the head left out) and, for alternative
    mixes brought to the target on their own while the mix is summed a window at a time, the
    windows held until they are measured. The earlier files the cue replaces are not taken off:
    they keep their room until the staged files have been moved into place. 0 for a request that
    writes nothing. */
juce::int64 bytesNeededToStage (const RenderRequest& request);

/** Readies the cue's output folder before anything of the cue is written (a request that only
    measures is left alone): removes what renders of ours that never finished left there, then
    refuses the cue, with the reason in the report's errors, when its disk has not the room for
    it (freeSpace answers for the disk; empty asks the system). True when the cue may go on. */
[[nodiscard]] bool prepareToStage (const RenderRequest& request, const FreeSpaceQuery& freeSpace, CueReport& report);

} // namespace dunmoor
