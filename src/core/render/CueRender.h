#pragma once

#include <vector>

#include <juce_core/juce_core.h>

#include "CueReport.h"
#include "RenderJob.h"
#include "RenderPlan.h"
#include "core/files/DiskSpace.h"

namespace dunmoor
{

/**
    What the render of one cue is given: its request (held by reference, so it must outlive
    the render), the cancel check, the progress callback and two options. The job makes one per
    cue on the render thread; a test or a benchmark may make one too. The render's working state
    (buffers, threads, reads ahead, writes under way) lives inside renderCue and is gone when it
    returns.
*/
class CueRenderContext
{
public:
    CueRenderContext (const RenderRequest& request, RenderCancelCheck shouldCancel, RenderProgressCallback progress);

    /** Worker threads the cue may use besides the render thread for reading and converting
        tracks, summing and encoding: -1 picks a count from the machine, 0 keeps everything on
        the calling thread. The written files, the report and the order of progress, messages
        and files are the same either way. */
    int workerThreads = -1;

    /** Source tracks of the other cues of a batch, which this cue must not write over either
        (its own tracks are in its request). Not owned; left null for a cue on its own. */
    const std::vector<juce::File>* batchSourceTracks = nullptr;

    /** How much room the disk of the cue's output folder has left, in bytes (-1: unknown); the
        cue is refused before anything is written when it would not fit. Empty asks the system;
        a test hands in its own answer. */
    FreeSpaceQuery freeSpace;

    const RenderRequest& request;
    RenderCancelCheck shouldCancel;
    RenderProgressCallback progress;

private:
    JUCE_DECLARE_NON_COPYABLE (CueRenderContext)
};

/** Renders one request from validation to the reconstruction check and returns its report,
    on the calling thread (and the cue's own workers). Every failure is a message in the
    report; nothing is thrown. */
CueReport renderCue (const CueRenderContext& context);

/** The warning of a cue that delivered nothing: its files were never moved into place. It
    says that the earlier files were left untouched only when the cue would have replaced some. */
juce::String leftUntouchedMessage (const juce::File& outputFolder, bool earlierFilesThere);

} // namespace dunmoor
