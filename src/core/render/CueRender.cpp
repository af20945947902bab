#include "CueRenderStages.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/render/OutputNaming.h"
#include "core/audio/AudioFormats.h"
#include "core/audio/LeadingSilence.h"
#include "core/files/FileStamp.h"
#include "StagingRoom.h"

namespace dunmoor
{

namespace
{
    // How many reads ahead a converted read (several times slower than a plain one) is started
    // first: far while summing, where there is memory for many reads, nearer while writing.
    constexpr size_t summingLookAhead = 16;
    constexpr size_t writingLookAhead = 8;

    double peakOfMode (PeakMode mode, double samplePeak, double truePeak)
    {
        return mode == PeakMode::truePeak ? truePeak : samplePeak;
    }

    /** The file names of the tracks whose stamp differs from the one taken before they were
        first read (size, modification time or the file itself), each once, in pass order. */
    juce::StringArray tracksChangedSinceRead (const std::vector<std::pair<juce::File, juce::String>>& stamps)
    {
        juce::StringArray names;

        for (const auto& [file, stamp] : stamps)
            if (stamp.isEmpty() || fileStamp (file) != stamp)
                names.addIfNotAlreadyThere (file.getFileName());

        return names;
    }
} // namespace

//==============================================================================
CueRenderContext::CueRenderContext (const RenderRequest& requestToUse, RenderCancelCheck cancelCheck, RenderProgressCallback progressCallback)
    : request (requestToUse)
    , shouldCancel (std::move (cancelCheck))
    , progress (std::move (progressCallback))
{
}

//==============================================================================
namespace
{
    /** What went wrong while reading a stem's tracks, told to the cue by the caller. */
    struct ReadFailure
    {
        juce::String stemMessage;   // for the stem report
        juce::String cueMessage;    // for the cue's errors
        bool cancelled = false;
    };

    void addFailure (CueRenderState& state, StemReport& stemReport, const ReadFailure& failure)
    {
        if (failure.cancelled)
            return;

        stemReport.errors.add (failure.stemMessage);
        state.report.errors.add (failure.cueMessage);
        noteStoppedAt (state.report, stemReport.name);
    }

    /** Sums the plan's tracks (taken from the prefetcher from position first on) into buffer,
        which is sized (its contents are replaced). In the summing pass, gated tracks are reported. */
    bool sumStemTracks (CueRenderState& state,
                        const StemPlan& plan,
                        TrackPrefetcher& reads,
                        size_t first,
                        juce::AudioBuffer<double>& buffer,
                        bool summingPass,
                        ReadFailure& failure)
    {
        const auto& request = state.request;
        const auto& gate = request.preset.exportSettings.silenceGate;
        auto& report = state.report;

        for (size_t t = 0; t < plan.tracks.size(); ++t)
        {
            const auto& file = plan.tracks[t];

            if (state.isCancelled())
            {
                failure.cancelled = true;
                return false;
            }

            const auto read = reads.take (first + t);

            if (read == nullptr)
            {
                failure.cancelled = true;
                return false;
            }

            if (! read->ok && isCancelledError (read->error))
            {
                failure.cancelled = true;
                return false;
            }

            if (! read->ok)
            {
                failure.stemMessage = file.getFileName() + ": " + read->error;
                failure.cueMessage = plan.name + ": " + failure.stemMessage;
                return false;
            }

            if (read->audio.getNumChannels() > request.numChannels)
            {
                failure.stemMessage = file.getFileName() + " has more channels than the project.";
                failure.cueMessage = plan.name + ": " + failure.stemMessage;
                return false;
            }

            if (summingPass && first + t < state.gateRanges.size())
                state.gateRanges[first + t] = read->gate.ranges;

            if (gate.enabled && summingPass)
            {
                GatedTrackReport gated;
                gated.sourceFile = file.getFullPathName();
                gated.fileName = file.getFileName();
                gated.stemName = plan.name;
                gated.regionCount = read->gate.regionCount;
                gated.gatedSeconds = request.sampleRate > 0.0 ? (double) read->gate.gatedSamples / request.sampleRate : 0.0;
                gated.lengthSeconds = request.sampleRate > 0.0 ? (double) read->audio.getNumSamples() / request.sampleRate : 0.0;
                gated.wholeFileSilent = read->gate.wholeFileSilent;
                gated.regions = std::move (read->gate.regions);
                gated.overview = std::move (read->overview);
                report.gatedTracks.push_back (std::move (gated));

                if (read->gate.wholeFileSilent)
                    report.warnings.add ("'" + file.getFileName() + "' was below the silence threshold from start to finish and is now digital silence.");
            }

            sumInto (state.getHelpers(), buffer, read->audio, t == 0);
            reads.release (first + t);
        }

        return true;
    }

    void assignStemNumbers (CueRenderState& state)
    {
        const auto& request = state.request;
        const auto& naming = request.preset.exportSettings.naming;
        std::vector<int> indices;
        std::vector<bool> written;

        for (const auto& plan : request.stems)
        {
            indices.push_back (plan.index);
            written.push_back (! plan.tracks.empty() || plan.emptyPolicy == EmptyStemPolicy::exportSilence);
        }

        state.stemNumbers = numberStems (request.preset.exportSettings, (int) request.preset.schema.alternativeMixes.size(), indices, written);

        // The reports print the number the files carry, with the same padding.
        auto& stems = state.report.stems;

        for (size_t i = 0; i < stems.size() && i < state.stemNumbers.size(); ++i)
            if (written[i])
                stems[i].numberInFileName = formatStemNumber (state.stemNumbers[i], naming.indexPadding);
    }

    /** Ends the writing pass: a write still under way is finished and recorded first, and only
        when it succeeded do the messages of what stopped the pass count (had the files been
        written one after another, its failure would have stopped the cue before). */
    bool stopWriting (CueRenderState& state, const std::function<void()>& addMessages = {})
    {
        if (state.writer.settle (state) && addMessages != nullptr)
            addMessages();

        return false;
    }

    /** The writing pass's reads start as soon as the summing pass has started all of its own,
        within what the writing pass will have for them less what the summing reads still hold. */
    void startWriteReadsEarly (CueRenderState& state, const TrackPrefetcher& summingReads)
    {
        const auto& request = state.request;

        // Written a window at a time, the stems read their tracks as they go.
        if (request.measureOnly || state.getWorkers().getNumThreads() == 0 || ! summingReads.hasStartedAll()
            || OutputWriter::writesAtProjectRate (request))
            return;

        const auto budget = state.memory.writeReadBudget (0, true, state.writer.writesInFlight) - summingReads.getBytesInFlight();

        if (state.writeReads == nullptr)
            state.writeReads = state.makeReads (state.getTracksOfPass(), state.makeReadSettings (false), budget, writingLookAhead);
        else
            state.writeReads->setBudget (budget);
    }

    /** The stems read whole, ahead of their turns, and written one after another (with up to
        two encodes under way): for cues with files at another rate than the project's. False
        stops the cue. */
    bool writeWholeStems (CueRenderState& state)
    {
        const auto& request = state.request;
        const auto& preset = request.preset;
        auto& report = state.report;
        const auto gainLinear = report.gain.gainLinear;
        const bool keepMembers = writesAlternativeMixes (preset);
        const auto bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);
        bool mixStillThere = true;
        juce::String error;
        auto& reads = *state.writeReads;

        // Once the mix is in its hidden files its memory goes to reading; looked at before every
        // stem and while waiting for reads.
        size_t current = 0;

        auto releaseWrittenMix = [&]
        {
            if (state.writer.hasWrittenWholeMixAhead() && state.mix.getNumChannels() > 0)
            {
                state.readSpares.give (state.mix);
                mixStillThere = false;
                reads.setBudget (state.memory.writeReadBudget (current, false, state.writer.writesInFlight));
            }
        };

        reads.whileWaiting = releaseWrittenMix;

        const auto n = std::max<size_t> (1, request.stems.size());
        const bool writesAhead = state.writer.writesInFlight > 0;
        size_t firstTrack = 0;

        for (size_t i = 0; i < request.stems.size(); ++i)
        {
            const auto& plan = request.stems[i];
            auto& stemReport = report.stems[i];

            if (state.isCancelled())
                return stopWriting (state);

            current = i;
            releaseWrittenMix();

            // A second write goes on beside the reads wherever memory leaves room for both: at least
            // three reads, or every read already started. One write goes on beside the reads where
            // there is room for a read besides; otherwise each stem is written before the next is
            // summed, with a read started meanwhile.
            if (writesAhead)
            {
                const auto withTwo = state.memory.writeReadBudget (i, mixStillThere, 2);
                const auto withOne = state.memory.writeReadBudget (i, mixStillThere, 1);
                state.writer.writesInFlight = withTwo >= 3 * bufferBytes || (reads.hasStartedAll() && withTwo >= reads.getBytesInFlight()) ? 2
                                            : withOne >= bufferBytes ? 1
                                                                     : 0;
            }

            reads.setBudget (state.memory.writeReadBudget (i, mixStillThere, state.writer.writesInFlight));

            state.reportProgress (0.48 + 0.42 * (double) i / (double) n, "Writing " + plan.name + "...", RenderJob::Phase::writing);

            SharedBuffer stem;

            if (plan.tracks.empty())
            {
                if (plan.emptyPolicy == EmptyStemPolicy::skip)
                {
                    state.writer.tellAfterWrites (state, (int) i, {});

                    if (keepMembers && ! state.mixSums.collect (state.request, state.getHelpers(), state.renderedLength, plan.id, nullptr, error))
                        return stopWriting (state, [&] { report.errors.add (error); });

                    continue;
                }

                if (plan.emptyPolicy == EmptyStemPolicy::failExport)
                    return stopWriting (state, [&]
                                        {
                                            report.errors.add ("Stem '" + plan.name + "' is empty.");
                                            noteStoppedAt (report, plan.name);
                                        });

                stem = state.obtainStemBuffer (state.renderedLength, true, error);

                if (stem == nullptr)
                    return stopWriting (state, [&] { report.errors.add (error); });
            }
            else
            {
                stem = state.obtainStemBuffer (request.lengthInFrames, false, error);

                if (stem == nullptr)
                    return stopWriting (state, [&] { addFailure (state, stemReport, { error, plan.name + ": " + error, false }); });

                ReadFailure failure;

                if (! sumStemTracks (state, plan, reads, firstTrack, *stem, false, failure))
                    return stopWriting (state, [&] { addFailure (state, stemReport, failure); });

                firstTrack += plan.tracks.size();

                if (state.cutFrames > 0)
                    trimLeadingSilence (*stem, state.cutFrames, request.sampleRate);

                scaleAll (state.getHelpers(), *stem, gainLinear);
            }

            auto item = makeStemItem (state, i);
            item.buffer = stem;

            if (! state.writer.write (state, item))
                return stopWriting (state);

            if (keepMembers)
            {
                const bool member = isMemberOfAnyMix (preset, plan.id);

                if (! state.mixSums.collect (state.request, state.getHelpers(), state.renderedLength, plan.id, member ? ConstBuffer (stem) : nullptr, error))
                    return stopWriting (state, [&] { report.errors.add (error); });
            }
        }


        // Every read is taken.
        state.writeReads.reset();
        return true;
    }
} // namespace

//==============================================================================
namespace
{
    /** Reads and sums whole stems into the whole mix, cuts the head and measures the mix. False
        stops the cue. */
    bool sumWholeStems (CueRenderState& state, PeakLevels& peaks)
    {
        const auto& request = state.request;
        const auto& settings = request.preset.exportSettings;
        auto& report = state.report;
        juce::String error;

        if (! allocateRenderBuffer (state.mix, request.numChannels, request.lengthInFrames, error))
        {
            report.errors.add (error);
            return false;
        }

        auto& workers = state.getWorkers();
        const auto bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);
        auto readsHolder = state.makeReads (state.getTracksOfPass(), state.makeReadSettings (true), memoryTargetBytes() - 2 * bufferBytes, summingLookAhead);
        auto& reads = *readsHolder;
        state.writer.writesInFlight = state.memory.planWritePass (request, workers.getNumThreads() > 0);
        reads.whileWaiting = [&] { startWriteReadsEarly (state, reads); };

        const auto n = std::max<size_t> (1, request.stems.size());
        size_t firstTrack = 0;

        for (size_t i = 0; i < request.stems.size(); ++i)
        {
            const auto& plan = request.stems[i];

            if (state.isCancelled())
                return false;

            state.reportProgress (0.02 + 0.43 * (double) i / (double) n, "Summing " + plan.name + "...", RenderJob::Phase::summing);

            auto& stemReport = report.stems[i];

            if (plan.tracks.empty())
                continue;

            if (! prepareReusableBuffer (state.stemBuffer, request.numChannels, request.lengthInFrames, false, error))
            {
                addFailure (state, stemReport, { error, plan.name + ": " + error, false });
                return false;
            }

            ReadFailure failure;

            if (! sumStemTracks (state, plan, reads, firstTrack, state.stemBuffer, true, failure))
            {
                addFailure (state, stemReport, failure);
                return false;
            }

            firstTrack += plan.tracks.size();
            startWriteReadsEarly (state, reads);

            recordStemPeak (state, i, samplePeakOf (state.getHelpers(), state.stemBuffer));
            sumInto (state.getHelpers(), state.mix, state.stemBuffer, false);
        }

        // The stem buffer's memory is not needed again until writing; reads may use it meanwhile.
        state.readSpares.give (state.stemBuffer);

        if (state.isCancelled())
            return false;

        report.leadingSilenceSeconds = findLeadingSilence (state.mix, request.sampleRate, leadingSilenceThreshold);

        if (request.headTrimSeconds > 0.0)
        {
            state.cutFrames = snapToZeroCrossing (state.mix, request.sampleRate, request.headTrimSeconds);
            report.appliedCutSeconds = request.sampleRate > 0.0 ? (double) state.cutFrames / request.sampleRate : 0.0;

            if (state.cutFrames > 0)
            {
                trimLeadingSilence (state.mix, state.cutFrames, request.sampleRate);
                report.lengthInFrames = state.mix.getNumSamples();
            }
        }

        state.renderedLength = request.lengthInFrames - state.cutFrames;

        state.reportProgress (0.46, "Measuring the mix...", RenderJob::Phase::measuring);

        const auto& headroom = settings.headroom;
        peaks = measurePeaks (state.mix, headroom.peakMode, headroom.truePeakOversampling, state.makeOperationCancelCheck());
        return ! peaks.cancelled;
    }
} // namespace

bool sumAndMeasure (CueRenderState& state)
{
    const auto& request = state.request;
    const auto& settings = request.preset.exportSettings;
    const auto& headroom = settings.headroom;
    auto& report = state.report;

    for (const auto& track : state.getTracksOfPass())
        state.trackStamps.emplace_back (track, fileStamp (track));

    // The workers start here: both passes share their work out over them and their helpers.
    state.getWorkers();
    state.gateRanges.assign (state.getTracksOfPass().size(), {});

    // Each track's header is read once for the render; the reads of both passes are handed it.
    state.trackProbes = probeTracks (state.getTracksOfPass());
    report.peakMode = headroom.peakMode;
    state.mixInWindows = sumsInWindows (request);
    PeakLevels peaks;

    if (! (state.mixInWindows ? sumStemsInWindows (state, peaks) : sumWholeStems (state, peaks)))
        return false;

    report.mixSamplePeak = peaks.samplePeak;
    report.mixTruePeak = peaks.truePeak;

    // A finite peak so far beyond full scale that reaching the target takes -400 dB or less
    // (samples of a damaged float file) would scale every output to 0: a silent delivery
    // reported as completed. Such audio is an error of the cue, whatever gain is applied.
    const auto modePeakDb = gainToDecibels (peakOfMode (headroom.peakMode, peaks.samplePeak, peaks.truePeak));

    if (std::isfinite (modePeakDb) && headroom.targetDb - modePeakDb <= -400.0)
    {
        report.errors.add ("The audio peaks at " + juce::String (modePeakDb, 2)
                           + " dB, so far beyond full scale that no gain can bring it to the target.");
        return false;
    }

    if (! request.useFixedGain)
    {
        report.gain = computeGlobalGain (peaks, headroom);

        if (report.gain.error.isNotEmpty())
        {
            report.errors.add (report.gain.error);
            return false;
        }
    }
    else
    {
        // A shared gain was decided for the batch; the peaks must still be real numbers.
        if (! std::isfinite (peaks.samplePeak) || ! std::isfinite (peaks.truePeak))
        {
            report.errors.add ("The audio holds samples that are not finite numbers (NaN or infinity), so no gain can be applied.");
            return false;
        }

        auto& gain = report.gain;
        gain.targetDb = headroom.targetDb;
        gain.peakDb = peaks.samplePeak > 0.0 ? gainToDecibels (peakOfMode (headroom.peakMode, peaks.samplePeak, peaks.truePeak)) : -400.0;
        gain.gainDb = request.fixedGainDb;
        gain.gainLinear = decibelsToGain (gain.gainDb);
        gain.predictedPeakDb = gain.peakDb + gain.gainDb;
        gain.silent = peaks.samplePeak == 0.0;
        gain.heldAtZero = false;
    }

    for (auto& stemReport : report.stems)
        stemReport.peakAfterDb = stemReport.peakDb > -399.0 ? stemReport.peakDb + report.gain.gainDb : -400.0;

    if (report.gain.silent)
        report.warnings.add ("The full mix is silent; no gain was applied.");

    // Until the gained mix is measured as it is written, the level after the gain is the one the
    // gain gives it: a cue stopped while writing still reports it.
    report.afterSamplePeak = report.gain.gainLinear * report.mixSamplePeak;
    report.afterTruePeak = report.gain.gainLinear * report.mixTruePeak;
    report.levelsMeasured = true;
    return true;
}

StemReport startStemReport (const StemPlan& plan)
{
    StemReport stemReport;
    stemReport.id = plan.id;
    stemReport.name = plan.name;
    stemReport.index = plan.index;
    stemReport.trackCount = (int) plan.tracks.size();

    if (plan.tracks.empty())
    {
        stemReport.isEmpty = true;
        stemReport.isDigitalSilence = true;
        stemReport.peakDb = -400.0;
        stemReport.measured = true;
    }

    return stemReport;
}

void recordStemPeak (CueRenderState& state, size_t i, double samplePeak)
{
    auto& stemReport = state.report.stems[i];
    stemReport.peakDb = gainToDecibels (samplePeak);
    stemReport.isDigitalSilence = samplePeak == 0.0;
    stemReport.measured = true;

    if (stemReport.isDigitalSilence)
        state.report.warnings.add ("Stem '" + stemReport.name + "' has tracks assigned but is digital silence.");
}

void noteStoppedAt (CueReport& report, const juce::String& item)
{
    if (report.stoppedAt.isEmpty())
        report.stoppedAt = item;
}

//==============================================================================
bool writeStemsAndFullMix (CueRenderState& state)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = state.report;
    const auto gainLinear = report.gain.gainLinear;
    const bool keepMembers = writesAlternativeMixes (preset);
    juce::String error;

    // While the mix is gained and counted, the workers start reading the stems again (when
    // whole stems are written). The reads may have started while the summing pass ended; they
    // now get the whole budget. The mix is written ahead when it can be, and its memory joins
    // the reads once that is done.
    // Where every file is written at the project rate, the stems are written a window at a
    // time and read their tracks as they go; otherwise whole stems are read ahead and written.
    const bool inWindows = OutputWriter::writesAtProjectRate (request);

    // The mix summed a window at a time is written the same way, with the stems and the
    // alternative mixes.
    if (state.mixInWindows)
    {
        assignStemNumbers (state);

        if (! writeStemsInWindows (state))
            return stopWriting (state);

        return state.writer.settle (state);
    }

    if (inWindows)
        state.writeReads.reset();
    else if (state.writeReads == nullptr)
        state.writeReads = state.makeReads (state.getTracksOfPass(), state.makeReadSettings (false), state.memory.writeReadBudget (0, true, state.writer.writesInFlight), writingLookAhead);
    else
        state.writeReads->setBudget (state.memory.writeReadBudget (0, true, state.writer.writesInFlight));

    const auto mixStaysForItsTurn = state.getWorkers().getNumThreads() == 0 || ! settings.fullMix.exportMix;

    scaleAll (state.getHelpers(), state.mix, gainLinear);

    if (settings.headroom.verifyLevelAfterGain)
    {
        const auto after = measurePeaks (state.mix, settings.headroom.peakMode, settings.headroom.truePeakOversampling, state.makeOperationCancelCheck());

        if (after.cancelled)
            return stopWriting (state);

        report.afterSamplePeak = after.samplePeak;
        report.afterTruePeak = after.truePeak;
        report.remeasured = true;
    }

    report.clipCount = countFullScaleSamples (state.mix, 1.0);

    if (report.clipCount > 0)
        report.warnings.add (juce::String (report.clipCount) + " sample(s) reach or exceed full scale after the global gain.");

    if (state.isCancelled())
        return false;

    assignStemNumbers (state);

    if (! mixStaysForItsTurn)
        state.writer.startEarlyMix (state);

    if (keepMembers)
        state.mixSums.start (preset);

    const bool writesAhead = state.writer.writesInFlight > 0;

    if (inWindows)
    {
        if (! writeStemsInWindows (state))
            return stopWriting (state);
    }
    else if (! writeWholeStems (state))
    {
        return false;
    }

    if (state.isCancelled())
        return stopWriting (state);

    // The mix is written from the state itself, which outlives every write of the cue.
    if (settings.fullMix.exportMix)
    {
        state.reportProgress (0.9, "Writing the full mix...", RenderJob::Phase::writing);

        auto item = makeFullMixItem (settings);
        item.buffer = ConstBuffer (&state.mix, [] (const juce::AudioBuffer<double>*) {});
        item.peakDb = gainToDecibels (peakOfMode (settings.headroom.peakMode, report.afterSamplePeak, report.afterTruePeak));

        if (! state.writer.write (state, item))
            return stopWriting (state);
    }

    // No more reading: the alternative mixes, whose sums exist already, may be encoded side by
    // side, and the stem buffers go once their writes are done.
    if (writesAhead)
        state.writer.writesInFlight = 2;

    state.spareBuffers.clear();

    if (! writeAlternativeMixes (state))
        return stopWriting (state);

    if (! state.writer.settle (state))
        return false;

    state.mixSums.clear();
    state.spareBuffers.clear();
    return true;
}

bool writeAlternativeMixes (CueRenderState& state)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = state.report;

    if (! writesAlternativeMixes (preset))
        return true;

    int written = 0;

    for (size_t m = 0; m < preset.schema.alternativeMixes.size(); ++m)
    {
        const auto& mix = preset.schema.alternativeMixes[m];

        if (state.isCancelled())
            return stopWriting (state);

        state.reportProgress (0.92, "Writing " + mix.name + "...", RenderJob::Phase::writing);

        if (m >= state.mixSums.size() || ! state.mixSums.hasMember (m))
        {
            state.writer.tellAfterWrites (state, -1, "Alternative mix '" + mix.name + "' has no stems with audio in them and was not written.");
            continue;
        }

        // The sum goes to the write, which frees it once the file is written; a sum another mix
        // still holds is copied, since this mix may be brought to the target on its own.
        auto sum = state.mixSums.take (m);

        if (sum.use_count() > 1)
        {
            auto own = std::make_shared<juce::AudioBuffer<double>>();
            juce::String error;

            if (! allocateRenderBuffer (*own, sum->getNumChannels(), sum->getNumSamples(), error))
                return stopWriting (state, [&]
                                    {
                                        report.errors.add (mix.name + ": " + error);
                                        noteStoppedAt (report, mix.name);
                                    });

            sumInto (state.getHelpers(), *own, *sum, true);
            sum = std::move (own);
        }

        const auto& headroom = settings.headroom;
        const auto peaks = measurePeaks (*sum, headroom.peakMode, headroom.truePeakOversampling, state.makeOperationCancelCheck());

        if (peaks.cancelled)
            return stopWriting (state);

        double peak = peakOfMode (headroom.peakMode, peaks.samplePeak, peaks.truePeak);

        if (headroom.submixesReachTargetIndependently)
        {
            const auto gain = computeGlobalGain (peaks, headroom);

            if (gain.error.isNotEmpty())
                return stopWriting (state, [&]
                                    {
                                        report.errors.add (mix.name + ": " + gain.error);
                                        noteStoppedAt (report, mix.name);
                                    });

            scaleAll (state.getHelpers(), *sum, gain.gainLinear);
            peak *= gain.gainLinear;
        }

        auto item = makeAlternativeMixItem (settings, mix, written);
        item.buffer = sum;
        item.peakDb = gainToDecibels (peak);

        if (! state.writer.write (state, item))
            return stopWriting (state);

        ++written;
    }

    return state.writer.settle (state);
}

//==============================================================================
void verifyReconstruction (CueRenderState& state)
{
    auto& report = state.report;

    if (state.isCancelled())
    {
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "The render was cancelled.";
        return;
    }

    state.reportProgress (0.93, "Verifying that the stems reconstruct the mix...", RenderJob::Phase::verifying);

    const auto inputs = chooseReconstructionInputs (state.candidates, state.request.sampleRate);

    if (! inputs.hasMix)
    {
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "No lossless full mix was written at the project sample rate.";
        return;
    }

    // The mix bus is not needed any more.
    state.mix = {};
    state.readSpares.clear();

    // The files are read back a window at a time, the reads of each window side by side.
    const auto tolerance = reconstructionTolerance (inputs.bits, (int) inputs.stemFiles.size(), inputs.ditherKind);
    report.reconstruction = runReconstructionCheck (inputs.stemFiles, inputs.mixFile, tolerance, state.makeOperationCancelCheck(), state.makeParallelTasks());
    const bool interrupted = state.isCancelled();

    if (interrupted || report.reconstruction.cancelled)
    {
        report.reconstruction = {};
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "The render was cancelled.";
        return;
    }

    if (report.reconstruction.state == ReconstructionState::failed)
    {
        const auto changed = tracksChangedSinceRead (state.trackStamps);

        if (! changed.isEmpty())
            report.reconstruction.detail << " These tracks changed on disk while the cue was rendered: " << changed.joinIntoString (", ") << ".";

        report.errors.add ("Reconstruction check failed: " + report.reconstruction.detail);
    }

    state.reportProgress (0.99, "Verification finished.", RenderJob::Phase::verifying);
}

void checkTracksUnchanged (CueRenderState& state)
{
    auto& report = state.report;

    // A failed check names the changed tracks itself.
    if (state.isCancelled() || report.reconstruction.state == ReconstructionState::failed)
        return;

    // Stems and a mix made a window at a time from the same reads add up whatever the tracks
    // held, but the gain was decided on what they held when the summing pass read them.
    const auto changed = tracksChangedSinceRead (state.trackStamps);

    if (! changed.isEmpty())
        report.errors.add ("The levels were measured on audio that is no longer there. These tracks changed on disk while the cue was rendered: "
                           + changed.joinIntoString (", ") + ".");
}

//==============================================================================
void deliverStagedFiles (CueRenderState& state)
{
    auto& report = state.report;

    if (! state.staging.isInUse())
        return;

    // Seen before the move: a move that fails puts them back.
    const bool earlierFilesThere = state.staging.replacesEarlierFiles();

    if (report.ok)
    {
        juce::String error;

        if (state.staging.commit (error))
            return;

        report.errors.add (error);
        report.ok = false;
    }

    // Nothing of a cue that did not succeed is delivered: its files were only ever staged.
    state.staging.discard();
    report.files.clear();
    report.warnings.add (leftUntouchedMessage (report.outputFolder, earlierFilesThere));
}

juce::String leftUntouchedMessage (const juce::File& outputFolder, bool earlierFilesThere)
{
    if (! earlierFilesThere)
        return "No file of this cue was delivered.";

    return "No file of this cue was delivered; the files already in '" + outputFolder.getFullPathName() + "' were left untouched.";
}

//==============================================================================
CueReport renderCue (const CueRenderContext& context)
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    CueRenderState state (context);
    const auto& request = state.request;
    auto& report = state.report;
    report.startedAt = juce::Time::getCurrentTime();
    report.gain.targetDb = request.preset.exportSettings.headroom.targetDb;

    report.numChannels = request.numChannels;
    report.lengthInFrames = request.lengthInFrames;
    report.sampleRate = request.sampleRate;
    report.unassignedTracks = request.unassignedTracks;
    report.unreadableTracks = request.unreadableTracks;
    report.cueName = request.cueName;
    report.cueKey = request.cueKey;
    report.sourceFolder = request.sourceFolder;
    report.outputFolder = request.outputFolder;

    // Every stem of the plan is in the report from the start, so that a cue that stops early
    // still counts and lists them all.
    for (const auto& plan : request.stems)
        report.stems.push_back (startStemReport (plan));

    try
    {
        if (! request.measureOnly)
            state.noteFoldersToCreate (request.outputFolder);

        const auto validation = validatePlan (request, OutputFolderCheck::create);
        report.warnings.addArray (validation.warnings);

        if (! validation.errors.isEmpty())
        {
            report.errors.addArray (validation.errors);
        }
        else if (! prepareToStage (request, context.freeSpace, report))
        {
            // Refused before anything was written.
        }
        else if (sumAndMeasure (state))
        {
            if (request.measureOnly)
            {
                report.ok = ! state.isCancelled();
            }
            else if (writeStemsAndFullMix (state))
            {
                verifyReconstruction (state);
                checkTracksUnchanged (state);
                report.ok = ! state.isCancelled() && report.errors.isEmpty();
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        report.errors.add ("There is not enough memory to render this cue.");
        report.ok = false;
    }

    // A write still under way is finished and listed, whatever stopped the cue.
    try
    {
        if (! state.writer.settle (state))
            report.ok = false;
    }
    catch (const std::bad_alloc&)
    {
        report.ok = false;
    }

    // Whatever happened, the cue's threads and buffers go now (the threads first: an early
    // write of the mix may still be reading it).
    state.release();
    state.mix = {};
    deliverStagedFiles (state);
    state.removeFoldersLeftEmpty();

    report.elapsedSeconds = (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;
    report.finishedAt = juce::Time::getCurrentTime();
    state.reportProgress (1.0, report.cancelled ? "Cancelled." : "Finished.", RenderJob::Phase::finished);
    return std::move (report);
}

} // namespace dunmoor
