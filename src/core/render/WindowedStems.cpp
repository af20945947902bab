#include "WindowedTurns.h"

#include <algorithm>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/LevelMeter.h"
#include "core/audio/SilenceGate.h"
#include "core/codec/JuceFileEncoder.h"

namespace dunmoor
{

namespace windowed
{
void applyGain (juce::AudioBuffer<double>& window, int count, double gain)
{
    juce::AudioBuffer<double> frames (window.getArrayOfWritePointers(), window.getNumChannels(), count);
    scaleAll (nullptr, frames, gain);
}

void appendWindow (const CueRenderState& state, StemTurn& turn, size_t index, WindowRun& run,
                   const juce::AudioBuffer<double>& window, int64_t offset, int count)
{
    try
    {
        const bool empty = turn.write->isEmpty();

        // The write tells why at its turn; the tracks need not be read any further (the
        // stem's next window, which may be under way meanwhile, is its own).
        if (! empty && ! turn.write->append (window, count))
            return run.fail (index);

        // After the last window the files are finished here, side by side with the other
        // stems' (each is flushed to the disk).
        if (offset + count >= state.renderedLength)
        {
            if (! empty)
                turn.write->finish();

            turn.done = true;
        }
    }
    catch (const std::bad_alloc&)
    {
        turn.encodeError = "There is not enough memory to write the file.";
        run.fail (index);
    }
}
} // namespace windowed

using namespace windowed;

namespace
{
    // Encoder blocks per window: about 5.5 seconds at 48 kHz, long enough that the threads meet
    // rarely, short enough that no stem is ever in memory as a whole.
    constexpr int blocksPerWindow = 8;

    /** Makes and writes one window of a stem: frames [offset, offset + count) of the delivered
        stem, that is frames from offset + cut of its tracks. */
    void writeStemWindow (CueRenderState& state, StemTurn& turn, size_t index, WindowRun& run,
                          const std::vector<juce::File>& tracks, const CancelCheck& cancel,
                          int64_t offset, int count, int capacity, juce::AudioBuffer<double>& target)
    {
        const auto& request = state.request;
        const auto& plan = request.stems[turn.plan];
        const auto numChannels = request.numChannels;

        auto fail = [&] (const juce::String& stemMessage, bool cancelled)
        {
            turn.failed = true;
            turn.cancelled = cancelled;
            turn.stemMessage = stemMessage;
            turn.cueMessage = plan.name + ": " + stemMessage;
            turn.done = true;
            run.fail (index);
        };

        try
        {
            if (target.getNumChannels() != numChannels || target.getNumSamples() < capacity)
                target.setSize (numChannels, capacity, false, false, true);

            auto* const* window = target.getArrayOfWritePointers();

            if (turn.tracks.empty())
            {
                target.clear (0, count);
            }
            else
            {
                const auto first = offset + state.cutFrames;   // the tracks' frame at the window's start
                const auto gateShape = gateShapeOf (request.preset.exportSettings.silenceGate, request.sampleRate);

                if (turn.readers.empty())
                {
                    for (auto t : turn.tracks)
                    {
                        auto reader = std::make_unique<AudioFileWindowReader>();
                        juce::String error;

                        // The render's probe of the track is used, not made again.
                        const auto probe = state.trackProbes != nullptr ? state.trackProbes->find (tracks[t].getFullPathName())
                                                                        : TrackProbes::const_iterator();
                        const bool probed = state.trackProbes != nullptr && probe != state.trackProbes->end();

                        if (probed && ! probe->second.ok)
                            return fail (tracks[t].getFileName() + ": " + probe->second.error, false);

                        if (! reader->open (tracks[t], request.sampleRate, error, probed))
                            return fail (tracks[t].getFileName() + ": " + error, isCancelledError (error));

                        if (reader->getNumChannels() > numChannels)
                            return fail (tracks[t].getFileName() + " has more channels than the project.", false);

                        turn.readers.push_back (std::move (reader));
                    }
                }

                for (size_t k = 0; k < turn.tracks.size(); ++k)
                {
                    auto& reader = *turn.readers[k];
                    const auto trackChannels = reader.getNumChannels();
                    const auto fed = (int) std::clamp<int64_t> (reader.getLength() - first, 0, count);

                    if (turn.trackWindow.getNumChannels() < trackChannels || turn.trackWindow.getNumSamples() < capacity)
                        turn.trackWindow.setSize (std::max (trackChannels, turn.trackWindow.getNumChannels()), capacity, false, false, true);

                    if (fed > 0)
                    {
                        juce::String error;
                        juce::AudioBuffer<double> part (turn.trackWindow.getArrayOfWritePointers(), trackChannels, fed);

                        if (! reader.read (first, fed, part, error, cancel))
                            return fail (tracks[turn.tracks[k]].getFileName() + ": " + error, isCancelledError (error));

                        // Gated again with the stretches the summing pass found in the whole track.
                        const auto& ranges = state.gateRanges[turn.tracks[k]];

                        if (! ranges.empty())
                            applyGateToWindow (part, first, reader.getLength(), ranges, gateShape);
                    }

                    // As whole tracks are summed: the first one replaces (its end is silence), the
                    // others add what they have.
                    sumChannels (window, numChannels, turn.trackWindow.getArrayOfReadPointers(), trackChannels, fed, 0, count, k == 0, 1.0);
                }

                // The head cut fades the stem in over its first frames.
                const auto renderedLength = state.renderedLength;

                if (state.cutFrames > 0 && state.cutFrames < request.lengthInFrames)
                {
                    const auto fade = std::min (secondsToFrames (0.005, request.sampleRate), renderedLength);

                    if (fade > 1)
                        for (int ch = 0; ch < numChannels; ++ch)
                            for (auto i = offset; i < std::min<int64_t> (offset + count, fade); ++i)
                                window[ch][i - offset] *= (double) i / (double) (fade - 1);
                }

                // Where the mix is summed from these windows, the gain comes once the mix has them.
                if (! run.mixSummedHere)
                    applyGain (target, count, state.report.gain.gainLinear);
            }

            if (isCancelRequested (cancel))
                return fail ({}, true);

            if (! run.mixSummedHere)
                appendWindow (state, turn, index, run, target, offset, count);
        }
        catch (const std::bad_alloc&)
        {
            fail ("There is not enough memory to write the stem.", false);
        }
    }
} // namespace

OutputItem makeStemItem (const CueRenderState& state, size_t i)
{
    const auto& plan = state.request.stems[i];
    OutputItem item;
    item.namingTemplate = plan.namingTemplate;
    item.stemName = plan.fileNameToken;
    item.stemCode = plan.shortCode;
    item.number = state.stemNumbers[i];
    item.displayName = plan.name;
    item.kind = WrittenFile::stemKind;
    item.peakDb = -400.0;
    item.ownGain = false;
    item.stemId = plan.id;
    return item;
}

OutputItem makeFullMixItem (const ExportSettings& settings)
{
    OutputItem item;
    item.namingTemplate = settings.naming.mixTemplate;
    item.stemName = settings.fullMix.name;
    item.stemCode = settings.fullMix.code;
    item.number = settings.fullMix.index;
    item.displayName = settings.fullMix.name;
    item.kind = WrittenFile::fullMixKind;
    item.ownGain = false;
    return item;
}

OutputItem makeAlternativeMixItem (const ExportSettings& settings, const AlternativeMix& mix, int written)
{
    OutputItem item;
    item.namingTemplate = settings.naming.mixTemplate;
    item.stemName = mix.name;
    item.stemCode = mix.shortCode.trim().isNotEmpty() ? mix.shortCode.trim() : mix.name;
    item.number = settings.fullMix.index + 1 + written;
    item.displayName = mix.name;
    item.kind = WrittenFile::alternativeMixKind;
    item.ownGain = settings.headroom.submixesReachTargetIndependently;
    return item;
}

bool writeStemsInWindows (CueRenderState& state)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = state.report;
    const bool keepMembers = writesAlternativeMixes (preset);
    const bool mixInWindows = state.mixInWindows;
    const auto tracks = state.getTracksOfPass();
    const auto warningsAtStart = report.warnings.size();

    // Nothing here reads whole tracks: the memory the summing pass kept for reads goes.
    state.readSpares.clear();
    state.stemBuffer = {};

    // Every item's files are opened first, in writing order (the stems in plan order, then the
    // full mix and the alternative mixes where they are summed here), so that names are decided
    // and refusals made exactly as when the items are written one after another; nothing after
    // a refusal is opened.
    std::vector<StemTurn> turns;
    size_t firstTrack = 0;
    bool stopped = false;

    for (size_t i = 0; i < request.stems.size() && ! stopped; ++i)
    {
        const auto& plan = request.stems[i];

        if (state.isCancelled())
            return false;

        StemTurn turn;
        turn.plan = i;
        turn.progressText = "Writing " + plan.name + "...";
        turn.member = keepMembers && isMemberOfAnyMix (preset, plan.id);

        for (size_t t = 0; t < plan.tracks.size(); ++t)
            turn.tracks.push_back (firstTrack + t);

        firstTrack += plan.tracks.size();

        if (plan.tracks.empty() && plan.emptyPolicy == EmptyStemPolicy::skip)
        {
            turn.kind = StemTurn::Kind::skip;
            turn.done = true;
            turns.push_back (std::move (turn));
            continue;
        }

        if (plan.tracks.empty() && plan.emptyPolicy == EmptyStemPolicy::failExport)
        {
            turn.kind = StemTurn::Kind::failEmpty;
            turn.done = true;
            turns.push_back (std::move (turn));
            stopped = true;
            break;
        }

        turn.write = state.writer.open (state, makeStemItem (state, i), state.renderedLength);
        stopped = turn.write->stopsTheCue();

        // A stem whose files were refused still adds its tracks to a mix summed here.
        turn.done = turn.write->isEmpty() && ! (mixInWindows && ! plan.tracks.empty() && ! stopped);
        turns.push_back (std::move (turn));
    }

    const auto numStemTurns = turns.size();
    const bool stemsStopped = stopped;  // a stem's refusal: the stems after it have no windows
    size_t mixTurn = std::numeric_limits<size_t>::max();

    auto isWrittenMember = [&] (const StemTurn& turn)
    {
        return turn.kind == StemTurn::Kind::write && turn.member && ! turn.write->isEmpty();
    };

    if (mixInWindows && ! stopped)
    {
        if (settings.fullMix.exportMix)
        {
            StemTurn turn;
            turn.kind = StemTurn::Kind::mix;
            turn.progressText = "Writing the full mix...";
            turn.write = state.writer.open (state, makeFullMixItem (settings), state.renderedLength);
            stopped = turn.write->stopsTheCue();
            turn.done = turn.write->isEmpty();
            mixTurn = turns.size();
            turns.push_back (std::move (turn));
        }

        int written = 0;

        for (size_t m = 0; keepMembers && ! stopped && m < preset.schema.alternativeMixes.size(); ++m)
        {
            const auto& mix = preset.schema.alternativeMixes[m];
            StemTurn turn;
            turn.plan = m;
            turn.progressText = "Writing " + mix.name + "...";
            turn.done = true;

            bool hasMember = false;

            for (size_t k = 0; k < numStemTurns; ++k)
                hasMember = hasMember || (isWrittenMember (turns[k]) && mix.stemIds.contains (request.stems[turns[k].plan].id));

            if (! hasMember)
            {
                turn.kind = StemTurn::Kind::tell;
                turn.warning = "Alternative mix '" + mix.name + "' has no stems with audio in them and was not written.";
                turns.push_back (std::move (turn));
                continue;
            }

            const auto item = makeAlternativeMixItem (settings, mix, written);
            turn.kind = StemTurn::Kind::submix;
            turn.ownGain = item.ownGain;
            turn.meter = std::make_unique<PeakMeterStream> (request.numChannels, settings.headroom.peakMode, settings.headroom.truePeakOversampling);
            turn.write = state.writer.open (state, item, state.renderedLength);
            stopped = turn.write->stopsTheCue();
            turn.done = turn.write->isEmpty();

            // Held on the disk the delivery goes to, whose room for it was checked before the cue
            // started, rather than in a temporary folder that may live in memory.
            if (turn.ownGain && ! turn.done)
            {
                juce::String error;
                const auto staging = state.staging.getFolder (error);

                turn.held.base = staging != juce::File() ? staging.getChildFile ("held mix " + juce::String (written + 1))
                                                         : juce::File::createTempFile (".mixsum");
            }

            turns.push_back (std::move (turn));
            ++written;
        }
    }

    // The windows: every item under way side by side, window after window, each window of
    // each stem made and encoded by one task.
    const auto length = std::max<int64_t> (0, state.renderedLength);
    int granule = (int) std::min<int64_t> (JuceFileEncoder::blockSize, std::max<int64_t> (1, length));

    for (const auto& turn : turns)
        if (turn.write != nullptr)
            granule = std::max (granule, turn.write->getWindowFrames());

    const auto windowFrames = (int) std::min<int64_t> ((int64_t) granule * blocksPerWindow, std::max<int64_t> (1, length));
    const auto numWindows = (length + windowFrames - 1) / windowFrames;
    const auto cancel = state.makeOperationCancelCheck();
    WindowRun run;
    run.mixSummedHere = mixInWindows && ! stemsStopped;
    std::vector<size_t> order (numStemTurns);

    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;

    MixWindows mix;

    if (run.mixSummedHere)
    {
        mix.window.setSize (request.numChannels, windowFrames);

        if (settings.headroom.verifyLevelAfterGain)
            mix.afterGain = std::make_unique<PeakMeterStream> (request.numChannels, settings.headroom.peakMode, settings.headroom.truePeakOversampling);

        for (auto& turn : turns)
            if (turn.kind == StemTurn::Kind::submix)
                turn.window.setSize (request.numChannels, windowFrames);
    }

    size_t named = 0;   // the items whose progress text has been given

    auto nameUpTo = [&] (size_t last, double fraction)
    {
        for (; named <= last && named < turns.size(); ++named)
            if (turns[named].progressText.isNotEmpty())
                state.reportProgress (fraction, turns[named].progressText, RenderJob::Phase::writing);
    };

    auto windowOf = [&] (int64_t w) { return (int) std::min<int64_t> (windowFrames, length - w * windowFrames); };

    // The stems that took longest over the last window start first, so that the window's end
    // does not wait for one slow stem started last (a converted or compressed track).
    auto sortBySlowest = [&] { std::stable_sort (order.begin(), order.end(), [&] (size_t a, size_t b) { return turns[a].lastMilliseconds > turns[b].lastMilliseconds; }); };

    auto makeStemWindow = [&] (size_t k, int64_t w, juce::AudioBuffer<double>& target)
    {
        const auto started = juce::Time::getMillisecondCounterHiRes();
        writeStemWindow (state, turns[k], k, run, tracks, cancel, w * windowFrames, windowOf (w), windowFrames, target);
        turns[k].lastMilliseconds = juce::Time::getMillisecondCounterHiRes() - started;
    };

    if (run.mixSummedHere)
    {
        // Window w is summed into the mixes and encoded while the stems' window w + 1 is made
        // beside it, so that a slow stem (a converted or compressed track) overlaps the encodes.
        for (int64_t w = 0; w < numWindows; ++w)
        {
            if (state.isCancelled())
                return false;

            const auto offset = w * windowFrames;
            const auto count = windowOf (w);
            nameUpTo ((size_t) ((double) w * (double) turns.size() / (double) numWindows), 0.48 + 0.4 * (double) w / (double) numWindows);

            if (w == 0)
            {
                parallelFor (state.getHelpers(), (int64_t) order.size(), 1, [&] (int64_t begin, int64_t end)
                             {
                                 for (auto i = (size_t) begin; i < (size_t) end; ++i)
                                     if (! turns[order[i]].done && order[i] < run.firstFailed.load())
                                         makeStemWindow (order[i], 0, turns[order[i]].window);
                             });

                // After a failure the items before it still go on to their end, as they would
                // one after another; what the sums hold after it is never written.
                sumMixWindows (state, turns, numStemTurns, mix, count);
            }

            // The tasks: the stems' next windows, slowest first, then every item's encode.
            sortBySlowest();
            std::vector<std::pair<size_t, bool>> tasks;    // (turn, true: its next window) or (turns.size(): the mix measured alone)

            if (w + 1 < numWindows)
                for (auto k : order)
                    if (! turns[k].done)
                        tasks.emplace_back (k, true);

            bool mixHasTurn = false;

            for (size_t k = 0; k < turns.size(); ++k)
            {
                const auto kind = turns[k].kind;

                if (! turns[k].done && (kind == StemTurn::Kind::write || kind == StemTurn::Kind::mix || kind == StemTurn::Kind::submix))
                    tasks.emplace_back (k, false);

                mixHasTurn = mixHasTurn || (kind == StemTurn::Kind::mix && ! turns[k].done);
            }

            if (! mixHasTurn)
                tasks.emplace_back (turns.size(), false);

            parallelFor (state.getHelpers(), (int64_t) tasks.size(), 1, [&] (int64_t begin, int64_t end)
                         {
                             for (auto i = (size_t) begin; i < (size_t) end; ++i)
                             {
                                 const auto [k, ahead] = tasks[i];

                                 if (k == turns.size())
                                     measureMixWindow (mix, request.numChannels, count);
                                 else if (k >= run.firstFailed.load())
                                     continue;
                                 else if (ahead)
                                     makeStemWindow (k, w + 1, turns[k].ahead);
                                 else
                                     encodeItemWindow (state, turns[k], k, mix, run, offset, count);
                             }
                         });

            if (w + 1 < numWindows)
            {
                for (const auto& [k, ahead] : tasks)
                    if (ahead)
                        std::swap (turns[k].window, turns[k].ahead);

                sumMixWindows (state, turns, numStemTurns, mix, windowOf (w + 1));
            }
        }
    }
    else
    {
        for (int64_t w = 0; w < numWindows; ++w)
        {
            if (state.isCancelled())
                return false;

            // The mix encoded ahead is not needed again; its memory goes.
            if (state.writer.hasWrittenWholeMixAhead() && state.mix.getNumChannels() > 0)
                state.mix = {};

            const auto offset = w * windowFrames;
            const auto count = windowOf (w);

            // The items named so far keep pace with the windows written.
            nameUpTo ((size_t) ((double) w * (double) turns.size() / (double) numWindows), 0.48 + 0.4 * (double) w / (double) numWindows);
            sortBySlowest();

            parallelFor (state.getHelpers(), (int64_t) order.size(), 1, [&] (int64_t begin, int64_t end)
                         {
                             for (auto i = (size_t) begin; i < (size_t) end; ++i)
                                 if (! turns[order[i]].done && order[i] < run.firstFailed.load())
                                     makeStemWindow (order[i], w, turns[order[i]].window);
                         });

            if (run.firstFailed.load() < numStemTurns || ! keepMembers)
                continue;

            // The alternative mixes take this window of their members, added in the order whole
            // stems would be.
            std::map<juce::String, const juce::AudioBuffer<double>*> members;

            for (const auto& turn : turns)
                if (isWrittenMember (turn))
                    members[request.stems[turn.plan].id] = &turn.window;

            juce::String error;

            if (! state.mixSums.addWindow (members, offset, count, request.numChannels, length, error))
            {
                report.errors.add (error);
                return false;
            }
        }
    }

    // What the mix measured after the gain is reported before anything its files say.
    if (run.mixSummedHere && run.firstFailed.load() >= turns.size() && ! state.isCancelled())
    {
        reportMixAfterGain (state, mix, warningsAtStart, mixTurn < turns.size() ? turns[mixTurn].write.get() : nullptr);
        finishAlternativeMixes (state, turns, run, windowFrames, cancel);
    }

    // The turns in writing order: each item's files are finished and recorded, or the first
    // failure is told, as if the items had been written one after another.
    for (auto& turn : turns)
    {
        if (state.isCancelled())
            return false;

        const auto k = (size_t) (&turn - turns.data());
        nameUpTo (k, k < numStemTurns ? 0.88 : 0.9);

        switch (turn.kind)
        {
            case StemTurn::Kind::skip:
                state.writer.tellAfterWrites (state, (int) turn.plan, {});
                continue;

            case StemTurn::Kind::failEmpty:
                report.errors.add ("Stem '" + request.stems[turn.plan].name + "' is empty.");
                noteStoppedAt (report, request.stems[turn.plan].name);
                return false;

            case StemTurn::Kind::tell:
                state.writer.tellAfterWrites (state, -1, turn.warning);
                continue;

            case StemTurn::Kind::write:
            case StemTurn::Kind::mix:
            case StemTurn::Kind::submix:
                break;
        }

        const auto itemName = turn.kind == StemTurn::Kind::write ? request.stems[turn.plan].name
                            : turn.kind == StemTurn::Kind::mix   ? settings.fullMix.name
                                                                 : preset.schema.alternativeMixes[turn.plan].name;

        if (turn.failed)
        {
            if (! turn.cancelled)
            {
                if (turn.kind == StemTurn::Kind::write)
                    report.stems[turn.plan].errors.add (turn.stemMessage);

                report.errors.add (turn.cueMessage);
                noteStoppedAt (report, itemName);
            }

            return false;
        }

        if (turn.encodeError.isNotEmpty())
        {
            report.errors.add (turn.encodeError);
            noteStoppedAt (report, itemName);
            return false;
        }

        if (turn.kind == StemTurn::Kind::submix)
            turn.write->setPeakDb (turn.peakDb);

        if (! state.writer.close (state, std::move (turn.write)))
            return false;
    }

    return ! state.isCancelled();
}

} // namespace dunmoor
