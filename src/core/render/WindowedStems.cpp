#include "CueRenderStages.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/SilenceGate.h"
#include "core/codec/JuceFileEncoder.h"

namespace dunmoor
{

namespace
{
    // Encoder blocks per window: about 5.5 seconds at 48 kHz, long enough that the threads meet
    // rarely, short enough that no stem is ever in memory as a whole.
    constexpr int blocksPerWindow = 8;

    /** One stem's turn in the writing pass, in plan order. */
    struct StemTurn
    {
        enum class Kind
        {
            write,      // tracks summed, or silence, written a window at a time
            skip,       // an empty stem left out
            failEmpty   // an empty stem that stops the cue
        };

        size_t plan = 0;
        Kind kind = Kind::write;
        std::unique_ptr<WindowedWrite> write;
        std::vector<size_t> tracks;     // indices into the pass's tracks (and their gate ranges)
        bool member = false;            // of some alternative mix

        // Used by one task at a time, window after window.
        std::vector<std::unique_ptr<AudioFileWindowReader>> readers;
        juce::AudioBuffer<double> window;
        juce::AudioBuffer<double> trackWindow;
        double lastMilliseconds = 0.0;  // what its last window took
        bool done = false;              // every window written, or stopped
        bool failed = false;
        bool cancelled = false;
        juce::String stemMessage;       // for the stem report
        juce::String cueMessage;        // for the cue's errors
    };

    /** The shared state of the windows' tasks: the first turn that failed stops the turns after
        it, while those before it go on, so that what the cue reports is what writing the stems
        one after another would have reported. */
    struct WindowRun
    {
        std::atomic<size_t> firstFailed { std::numeric_limits<size_t>::max() };

        void fail (size_t turn)
        {
            for (auto seen = firstFailed.load(); turn < seen && ! firstFailed.compare_exchange_weak (seen, turn);)
            {
            }
        }
    };

    /** Makes and writes one window of a stem: frames [offset, offset + count) of the delivered
        stem, that is frames from offset + cut of its tracks. */
    void writeStemWindow (CueRenderState& state, StemTurn& turn, size_t index, WindowRun& run,
                          const std::vector<juce::File>& tracks, const CancelCheck& cancel,
                          int64_t offset, int count, int capacity)
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
            if (turn.window.getNumChannels() != numChannels || turn.window.getNumSamples() < capacity)
                turn.window.setSize (numChannels, capacity, false, false, true);

            auto* const* window = turn.window.getArrayOfWritePointers();

            if (turn.tracks.empty())
            {
                turn.window.clear (0, count);
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

                const auto gain = state.report.gain.gainLinear;

                if (gain != 1.0)
                    for (int ch = 0; ch < numChannels; ++ch)
                        for (int i = 0; i < count; ++i)
                            window[ch][i] *= gain;
            }

            if (isCancelRequested (cancel))
                return fail ({}, true);

            if (! turn.write->isEmpty() && ! turn.write->append (turn.window, count))
            {
                // The write tells why at its turn; the tracks need not be read any further.
                turn.done = true;
                run.fail (index);
                return;
            }

            // After the last window the files are finished here, side by side with the other
            // stems' (each is flushed to the disk).
            if (offset + count >= state.renderedLength)
            {
                turn.write->finish();
                turn.done = true;
            }
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

bool writeStemsInWindows (CueRenderState& state)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    auto& report = state.report;
    const bool keepMembers = writesAlternativeMixes (preset);
    const auto tracks = state.getTracksOfPass();

    // Nothing here reads whole tracks: the memory the summing pass kept for reads goes.
    state.readSpares.clear();
    state.stemBuffer = {};

    // Every stem's files are opened first, in plan order, so that names are decided and
    // refusals made exactly as when the stems are written one after another; nothing after a
    // refusal is opened.
    std::vector<StemTurn> turns;
    size_t firstTrack = 0;

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];

        if (state.isCancelled())
            return false;

        StemTurn turn;
        turn.plan = i;
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
            break;
        }

        turn.write = state.writer.open (state, makeStemItem (state, i), state.renderedLength);
        const bool stops = turn.write->stopsTheCue();
        turn.done = turn.write->isEmpty();
        turns.push_back (std::move (turn));

        if (stops)
            break;
    }

    // The windows: every stem under way side by side, window after window, each window of
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
    std::vector<size_t> order (turns.size());

    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;

    size_t named = 0;   // the stems whose progress text has been given

    auto nameUpTo = [&] (size_t last, double fraction)
    {
        for (; named <= last && named < turns.size(); ++named)
            state.reportProgress (fraction, "Writing " + request.stems[turns[named].plan].name + "...", RenderJob::Phase::writing);
    };

    for (int64_t w = 0; w < numWindows; ++w)
    {
        if (state.isCancelled())
            return false;

        // The mix encoded ahead is not needed again; its memory goes.
        if (state.writer.hasWrittenWholeMixAhead() && state.mix.getNumChannels() > 0)
            state.mix = {};

        const auto offset = w * windowFrames;
        const auto count = (int) std::min<int64_t> (windowFrames, length - offset);
        const auto fraction = 0.48 + 0.4 * (double) w / (double) numWindows;

        // The stems named so far keep pace with the windows written.
        nameUpTo ((size_t) ((double) w * (double) turns.size() / (double) numWindows), fraction);

        // The stems that took longest over the last window start first, so that the window's
        // end does not wait for one slow stem started last (a converted or compressed track).
        std::stable_sort (order.begin(), order.end(), [&] (size_t a, size_t b) { return turns[a].lastMilliseconds > turns[b].lastMilliseconds; });

        parallelFor (state.getHelpers(), (int64_t) order.size(), 1, [&] (int64_t begin, int64_t end)
                     {
                         for (auto i = (size_t) begin; i < (size_t) end; ++i)
                         {
                             const auto k = order[i];

                             if (turns[k].done || k >= run.firstFailed.load())
                                 continue;

                             const auto started = juce::Time::getMillisecondCounterHiRes();
                             writeStemWindow (state, turns[k], k, run, tracks, cancel, offset, count, windowFrames);
                             turns[k].lastMilliseconds = juce::Time::getMillisecondCounterHiRes() - started;
                         }
                     });

        if (run.firstFailed.load() < turns.size() || ! keepMembers)
            continue;

        // The alternative mixes take this window of their members, added in the order whole
        // stems would be.
        std::map<juce::String, const juce::AudioBuffer<double>*> members;

        for (const auto& turn : turns)
            if (turn.kind == StemTurn::Kind::write && turn.member && ! turn.write->isEmpty())
                members[request.stems[turn.plan].id] = &turn.window;

        juce::String error;

        if (! state.mixSums.addWindow (members, offset, count, request.numChannels, length, error))
        {
            report.errors.add (error);
            return false;
        }
    }

    // The turns in plan order: each stem's files are finished and recorded, or the first
    // failure is told, as if the stems had been written one after another.
    for (auto& turn : turns)
    {
        if (state.isCancelled())
            return false;

        nameUpTo ((size_t) (&turn - turns.data()), 0.88);
        const auto& plan = request.stems[turn.plan];

        if (turn.kind == StemTurn::Kind::skip)
        {
            state.writer.tellAfterWrites (state, (int) turn.plan, {});
            continue;
        }

        if (turn.kind == StemTurn::Kind::failEmpty)
        {
            report.errors.add ("Stem '" + plan.name + "' is empty.");
            return false;
        }

        if (turn.failed)
        {
            if (! turn.cancelled)
            {
                report.stems[turn.plan].errors.add (turn.stemMessage);
                report.errors.add (turn.cueMessage);
            }

            return false;
        }

        if (! state.writer.close (state, std::move (turn.write)))
            return false;
    }

    return ! state.isCancelled();
}

} // namespace dunmoor
