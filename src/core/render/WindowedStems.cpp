#include "CueRenderStages.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/LevelMeter.h"
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
            failEmpty,  // an empty stem that stops the cue
            mix,        // the full mix, summed from the stems' windows
            submix,     // an alternative mix, summed from its members' windows
            tell        // an alternative mix with no member to write: a warning at its turn
        };

        size_t plan = 0;                // stems: the plan index; alternative mixes: the mix's index
        Kind kind = Kind::write;
        juce::String progressText;
        juce::String warning;           // what a tell turn says
        std::unique_ptr<PeakMeterStream> meter;     // an alternative mix's peaks, for the report

        // An alternative mix brought to the target on its own is only written once all of it
        // is measured: meanwhile its windows wait in a file of their own, not in memory.
        bool ownGain = false;
        std::unique_ptr<juce::TemporaryFile> held;
        std::unique_ptr<juce::FileOutputStream> holding;
        double peakDb = -400.0;
        std::unique_ptr<WindowedWrite> write;
        std::vector<size_t> tracks;     // indices into the pass's tracks (and their gate ranges)
        bool member = false;            // of some alternative mix

        // Used by one task at a time, window after window.
        std::vector<std::unique_ptr<AudioFileWindowReader>> readers;
        juce::AudioBuffer<double> window;
        juce::AudioBuffer<double> ahead;        // a stem's next window, made while this one is encoded
        juce::AudioBuffer<double> trackWindow;
        double lastMilliseconds = 0.0;  // what its last window took
        bool done = false;              // every window written, or stopped
        bool failed = false;
        bool cancelled = false;
        juce::String encodeError;       // a window that could not be handed to the files
        juce::String stemMessage;       // for the stem report
        juce::String cueMessage;        // for the cue's errors
    };

    /** The shared state of the windows' tasks: the first turn that failed stops the turns after
        it, while those before it go on, so that what the cue reports is what writing the stems
        one after another would have reported. */
    struct WindowRun
    {
        std::atomic<size_t> firstFailed { std::numeric_limits<size_t>::max() };
        bool mixSummedHere = false;     // the stems' windows are gained and encoded once the mixes have them

        void fail (size_t turn)
        {
            for (auto seen = firstFailed.load(); turn < seen && ! firstFailed.compare_exchange_weak (seen, turn);)
            {
            }
        }
    };

    void appendWindow (const CueRenderState& state, StemTurn& turn, size_t index, WindowRun& run,
                       const juce::AudioBuffer<double>& window, int64_t offset, int count);
    void holdWindow (StemTurn& turn, size_t index, WindowRun& run, int count);

    /** The cue's gain on the first count frames of a window, as on a whole stem. */
    void applyGain (const CueRenderState& state, juce::AudioBuffer<double>& window, int count)
    {
        const auto gain = state.report.gain.gainLinear;

        if (gain == 1.0)
            return;

        auto* const* x = window.getArrayOfWritePointers();

        for (int ch = 0; ch < window.getNumChannels(); ++ch)
            for (int i = 0; i < count; ++i)
                x[ch][i] *= gain;
    }

    /** The full mix's windows: the stems' windows summed in plan order, then gained, as the
        whole mix is; measured after the gain for the report. */
    struct MixWindows
    {
        juce::AudioBuffer<double> window;
        std::unique_ptr<PeakMeterStream> afterGain;     // when the level is verified after the gain
        int64_t clipCount = 0;
    };

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
                    applyGain (state, target, count);
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

    /** Hands the first count frames of the window, frames [offset, offset + count) of the item,
        to the turn's files, finishing them after the last window. */
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
    /** With the stems' windows made and not yet gained: sums the full mix's window from them and
        gains it, gains the stems, and sums the alternative mixes from the gained members, every
        sample in the order the whole buffers are summed in. */
    void sumMixWindows (CueRenderState& state, std::vector<StemTurn>& turns, size_t numStemTurns, MixWindows& mix, int count)
    {
        const auto& request = state.request;
        const auto& preset = request.preset;
        const auto numChannels = request.numChannels;

        std::vector<StemTurn*> summed;                  // stems with tracks, in plan order
        std::vector<StemTurn*> submixes;
        std::map<juce::String, const StemTurn*> members;

        for (size_t k = 0; k < turns.size(); ++k)
        {
            auto& turn = turns[k];

            // A stem stopped before it made this window (the cue is failing) adds nothing.
            const bool made = turn.window.getNumChannels() == numChannels && turn.window.getNumSamples() >= count;

            if (k < numStemTurns && turn.kind == StemTurn::Kind::write && made)
            {
                if (! turn.tracks.empty())
                    summed.push_back (&turn);

                if (turn.member && ! turn.write->isEmpty())
                    members[request.stems[turn.plan].id] = &turn;
            }
            else if (turn.kind == StemTurn::Kind::submix && ! turn.done)
            {
                submixes.push_back (&turn);
            }
        }

        parallelFor (state.getHelpers(), count, 8192, [&] (int64_t begin, int64_t end)
                     {
                         const auto frames = (int) (end - begin);
                         std::vector<double*> piece ((size_t) numChannels);

                         auto pieceOf = [&] (juce::AudioBuffer<double>& buffer)
                         {
                             for (int ch = 0; ch < numChannels; ++ch)
                                 piece[(size_t) ch] = buffer.getWritePointer (ch) + begin;

                             return juce::AudioBuffer<double> (piece.data(), numChannels, frames);
                         };

                         {
                             auto m = pieceOf (mix.window);
                             m.clear();

                             for (auto* stem : summed)
                                 for (int ch = 0; ch < numChannels; ++ch)
                                     juce::FloatVectorOperations::add (m.getWritePointer (ch), stem->window.getReadPointer (ch) + begin, frames);

                             applyGain (state, m, frames);
                         }

                         for (auto* stem : summed)
                         {
                             auto x = pieceOf (stem->window);
                             applyGain (state, x, frames);
                         }

                         for (auto* submix : submixes)
                         {
                             auto sum = pieceOf (submix->window);
                             sum.clear();

                             for (const auto& id : preset.schema.alternativeMixes[submix->plan].stemIds)
                             {
                                 const auto found = members.find (id);

                                 if (found != members.end())
                                     for (int ch = 0; ch < numChannels; ++ch)
                                         juce::FloatVectorOperations::add (sum.getWritePointer (ch), found->second->window.getReadPointer (ch) + begin, frames);
                             }
                         }
                     });

    }

    /** The full mix's window measured after the gain, even when the mix is not written: the
        report gives its level. */
    void measureMixWindow (MixWindows& mix, int numChannels, int count)
    {
        juce::AudioBuffer<double> view (mix.window.getArrayOfWritePointers(), numChannels, count);
        mix.clipCount += countFullScaleSamples (view, 1.0);

        if (mix.afterGain != nullptr)
            mix.afterGain->add (mix.window.getArrayOfReadPointers(), count);
    }

    /** Item k's window, summed and gained, measured where it must be and handed to its files
        (an alternative mix at its own target is held until it is measured). */
    void encodeItemWindow (CueRenderState& state, StemTurn& turn, size_t k, MixWindows& mix, WindowRun& run, int64_t offset, int count)
    {
        if (turn.kind == StemTurn::Kind::mix)
        {
            measureMixWindow (mix, state.request.numChannels, count);
            appendWindow (state, turn, k, run, mix.window, offset, count);
        }
        else if (turn.ownGain)
        {
            turn.meter->add (turn.window.getArrayOfReadPointers(), count);
            holdWindow (turn, k, run, count);
        }
        else
        {
            if (turn.meter != nullptr)
                turn.meter->add (turn.window.getArrayOfReadPointers(), count);

            appendWindow (state, turn, k, run, turn.window, offset, count);
        }
    }

    /** The full mix's level after the gain and its full-scale samples, into the report as the
        whole mix gives them, the warning where it stands before the files' own messages. */
    void reportMixAfterGain (CueRenderState& state, MixWindows& mix, int warningsAtStart, WindowedWrite* mixWrite)
    {
        const auto& settings = state.request.preset.exportSettings;
        auto& report = state.report;

        if (mix.afterGain != nullptr)
        {
            const auto after = mix.afterGain->finish();
            report.afterSamplePeak = after.samplePeak;
            report.afterTruePeak = after.truePeak;
            report.remeasured = true;
        }
        else
        {
            report.afterSamplePeak = report.gain.gainLinear * report.mixSamplePeak;
            report.afterTruePeak = report.gain.gainLinear * report.mixTruePeak;
        }

        report.clipCount = mix.clipCount;

        if (report.clipCount > 0)
            report.warnings.insert (warningsAtStart, juce::String (report.clipCount) + " sample(s) reach or exceed full scale after the global gain.");

        if (mixWrite != nullptr)
            mixWrite->setPeakDb (gainToDecibels (settings.headroom.peakMode == PeakMode::truePeak ? report.afterTruePeak : report.afterSamplePeak));
    }
    void failTurn (StemTurn& turn, size_t index, WindowRun& run, const juce::String& message, bool cancelled)
    {
        turn.failed = true;
        turn.cancelled = cancelled;
        turn.cueMessage = message;
        turn.done = true;
        run.fail (index);
    }

    /** Keeps the first count frames of an alternative mix's window in its file until the mix
        is measured, the samples exactly as they are. */
    void holdWindow (StemTurn& turn, size_t index, WindowRun& run, int count)
    {
        if (turn.held == nullptr)
        {
            turn.held = std::make_unique<juce::TemporaryFile> (".mixsum");
            turn.holding = std::make_unique<juce::FileOutputStream> (turn.held->getFile());

            if (turn.holding->failedToOpen())
                return failTurn (turn, index, run, "There is no room to hold an alternative mix until it is measured: "
                                     + turn.holding->getStatus().getErrorMessage() + " (" + turn.held->getFile().getFullPathName() + ")", false);
        }

        for (int ch = 0; ch < turn.window.getNumChannels(); ++ch)
        {
            if (! turn.holding->write (turn.window.getReadPointer (ch), (size_t) count * sizeof (double)))
                return failTurn (turn, index, run, "There is no room to hold an alternative mix until it is measured ("
                                     + turn.held->getFile().getFullPathName() + ").", false);
        }
    }

    /** The alternative mixes brought to the target on their own: each is measured by now, gets
        its gain as a whole mix would, and is read back from its file and written a window at a
        time, the mixes side by side. */
    void finishAlternativeMixes (CueRenderState& state, std::vector<StemTurn>& turns, WindowRun& run, int windowFrames, const CancelCheck& cancel)
    {
        const auto& request = state.request;
        const auto& preset = request.preset;
        const auto& headroom = preset.exportSettings.headroom;
        const auto numChannels = request.numChannels;
        const auto length = std::max<int64_t> (0, state.renderedLength);
        std::vector<size_t> owned;
        std::vector<double> gains (turns.size(), 1.0);

        for (size_t k = 0; k < turns.size(); ++k)
        {
            auto& turn = turns[k];

            if (turn.kind != StemTurn::Kind::submix)
                continue;

            const auto peaks = turn.meter->finish();
            double peak = headroom.peakMode == PeakMode::truePeak ? peaks.truePeak : peaks.samplePeak;

            if (turn.ownGain && ! turn.done && ! turn.failed)
            {
                const auto gain = computeGlobalGain (peaks, headroom);

                if (gain.error.isNotEmpty())
                {
                    failTurn (turn, k, run, preset.schema.alternativeMixes[turn.plan].name + ": " + gain.error, false);
                    continue;
                }

                gains[k] = gain.gainLinear;
                peak *= gain.gainLinear;
                owned.push_back (k);
            }

            turn.peakDb = gainToDecibels (peak);
        }

        parallelFor (state.getHelpers(), (int64_t) owned.size(), 1, [&] (int64_t begin, int64_t end)
                     {
                         for (auto i = (size_t) begin; i < (size_t) end; ++i)
                         {
                             const auto k = owned[i];
                             auto& turn = turns[k];

                             if (k >= run.firstFailed.load())
                                 continue;

                             turn.holding.reset();
                             juce::FileInputStream in (turn.held->getFile());

                             if (in.failedToOpen())
                             {
                                 failTurn (turn, k, run, "The alternative mix held until it was measured could not be read back: "
                                               + in.getStatus().getErrorMessage() + " (" + turn.held->getFile().getFullPathName() + ")", false);
                                 continue;
                             }

                             for (int64_t offset = 0; offset < length && ! turn.done && k < run.firstFailed.load(); offset += windowFrames)
                             {
                                 if (isCancelRequested (cancel))
                                 {
                                     failTurn (turn, k, run, {}, true);
                                     break;
                                 }

                                 const auto count = (int) std::min<int64_t> (windowFrames, length - offset);
                                 bool complete = true;

                                 for (int ch = 0; ch < numChannels; ++ch)
                                 {
                                     const auto bytes = (int) ((size_t) count * sizeof (double));
                                     complete = complete && in.read (turn.window.getWritePointer (ch), bytes) == bytes;
                                 }

                                 if (! complete)
                                 {
                                     failTurn (turn, k, run, "The alternative mix held until it was measured came back short ("
                                                   + turn.held->getFile().getFullPathName() + ").", false);
                                     break;
                                 }

                                 // As the whole sum is scaled: a gain of exactly 1 leaves it alone.
                                 if (gains[k] != 1.0)
                                     for (int ch = 0; ch < numChannels; ++ch)
                                         for (int f = 0; f < count; ++f)
                                             turn.window.getWritePointer (ch)[f] *= gains[k];

                                 appendWindow (state, turn, k, run, turn.window, offset, count);
                             }

                             turn.held.reset();
                         }
                     });
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
                return false;

            case StemTurn::Kind::tell:
                state.writer.tellAfterWrites (state, -1, turn.warning);
                continue;

            case StemTurn::Kind::write:
            case StemTurn::Kind::mix:
            case StemTurn::Kind::submix:
                break;
        }

        if (turn.failed)
        {
            if (! turn.cancelled)
            {
                if (turn.kind == StemTurn::Kind::write)
                    report.stems[turn.plan].errors.add (turn.stemMessage);

                report.errors.add (turn.cueMessage);
            }

            return false;
        }

        if (turn.encodeError.isNotEmpty())
        {
            report.errors.add (turn.encodeError);
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
