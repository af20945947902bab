#include "StagingRoom.h"

#include <algorithm>
#include <cmath>

#include "AlternativeMixSums.h"
#include "CueRenderStages.h"
#include "CueStaging.h"
#include "core/audio/Resampler.h"
#include "core/codec/JuceFileEncoder.h"
#include "core/model/CodecCapabilities.h"

namespace dunmoor
{

namespace
{
    constexpr int maxWrittenFormatEntries = 2;

    /** What a file of this many bytes takes on a disk: whole allocation units (up to 64 KiB on a
        large disk) and the file system's own records of where its blocks are. */
    juce::int64 roomForFile (juce::int64 bytes)
    {
        return bytes + bytes / 256 + 65536;
    }

    bool isStemWritten (const StemPlan& plan)
    {
        return ! plan.tracks.empty() || plan.emptyPolicy == EmptyStemPolicy::exportSilence;
    }

    /** "106.3 MB" or "2.4 GB", rounded up or down to the figure shown. */
    juce::String describeBytes (juce::int64 bytes, bool roundUp)
    {
        constexpr double megabyte = 1048576.0;
        const auto inGigabytes = (double) bytes >= 1024.0 * megabyte;
        const auto tenths = (double) bytes / (inGigabytes ? 1024.0 * megabyte : megabyte) * 10.0;
        const auto shown = (roundUp ? std::ceil (tenths - 1.0e-9) : std::floor (tenths + 1.0e-9)) / 10.0;
        return juce::String (shown, 1) + (inGigabytes ? " GB" : " MB");
    }
} // namespace

juce::int64 bytesNeededToStage (const RenderRequest& request)
{
    const auto& settings = request.preset.exportSettings;
    const auto frames = std::max<juce::int64> (0, request.lengthInFrames);
    const auto channels = request.numChannels;

    if (request.measureOnly)
        return 0;

    // One item in every format entry that writes it, each at its own rate.
    juce::int64 itemBytes = 0;

    for (size_t e = 0; e < std::min<size_t> (maxWrittenFormatEntries, settings.formats.size()); ++e)
    {
        const auto& entry = settings.formats[e];

        if (! entry.enabled)
            continue;

        const auto rate = bestOutputSampleRate (entry.codec, entry.sampleRate > 0.0 ? entry.sampleRate : request.sampleRate);
        const auto written = getResampledLength (frames, request.sampleRate, rate);
        itemBytes += roomForFile (maxEncodedFileBytes (entry.codec, entry.sampleFormat, channels, written));
    }

    juce::int64 need = 0;

    for (const auto& plan : request.stems)
        if (isStemWritten (plan))
            need += itemBytes;

    if (settings.fullMix.exportMix)
        need += itemBytes;

    if (! writesAlternativeMixes (request.preset))
        return need;

    // A mix at its own target summed a window at a time is held whole before it is written; as
    // it is written, each held window goes once it has been read back, so the mix's files take
    // the place of what it held.
    const bool held = settings.headroom.submixesReachTargetIndependently && sumsInWindows (request);
    const auto heldBytes = roomForFile (frames * channels * (juce::int64) sizeof (double));

    for (const auto& mix : request.preset.schema.alternativeMixes)
    {
        const bool hasMember = std::any_of (request.stems.begin(), request.stems.end(), [&mix] (const StemPlan& plan)
                                            { return isStemWritten (plan) && mix.stemIds.contains (plan.id); });

        if (hasMember)
            need += held ? std::max (itemBytes, heldBytes) : itemBytes;
    }

    return need;
}

bool prepareToStage (const RenderRequest& request, const FreeSpaceQuery& freeSpace, CueReport& report)
{
    if (request.measureOnly)
        return true;

    // Their room counts as free for this cue.
    CueStaging::removeLeftovers (request.outputFolder);

    const auto need = bytesNeededToStage (request);
    const auto free = freeSpace != nullptr ? freeSpace (request.outputFolder) : freeBytesOnDiskOf (request.outputFolder);

    // Where the system can't tell, the cue goes ahead, and a disk that fills says so then.
    if (free < 0 || need <= free)
        return true;

    report.errors.add ("The cue was not written, for lack of room: while it is written it needs " + describeBytes (need, true) + "; "
                       + describeBytes (free, false) + " are free on the disk of '" + request.outputFolder.getFullPathName() + "'.");
    return false;
}

} // namespace dunmoor
