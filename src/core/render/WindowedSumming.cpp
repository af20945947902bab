#include "CueRenderStages.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/LeadingSilence.h"
#include "core/audio/LevelMeter.h"
#include "core/audio/SilenceGate.h"
#include "core/audio/WaveformOverview.h"
#include "core/codec/JuceFileEncoder.h"

namespace dunmoor
{

namespace
{
    // Frames summed per window: a few seconds, so that the memory of the pass is a window per
    // track whatever the length of the cue.
    constexpr int summingWindowFrames = 4 * JuceFileEncoder::blockSize;

    // The overview the report draws of each gated track, as the whole-track read makes it.
    constexpr int overviewBucketsForGatedTracks = 3000;

    /** One track of the pass, read, gated and overviewed a window at a time by one task at a
        time. Its buffer holds the window and, while the gate is on, the frames after it that
        the gate must see before it can decide the window. */
    struct SummedTrack
    {
        size_t stem = 0;                // plan index
        std::unique_ptr<AudioFileWindowReader> reader;
        std::unique_ptr<SilenceGateStream> gate;
        std::unique_ptr<WaveformOverviewBuilder> overview;
        juce::AudioBuffer<double> buffer;
        int64_t bufferStart = 0;        // the track's frame at the buffer's frame 0
        int64_t held = 0;               // frames of the track the buffer holds from there
        int64_t length = 0;
        int fed = 0;                    // frames of the current window the track reaches
        bool opened = false;
        bool failed = false;
        bool cancelled = false;
        juce::String error;             // for the stem report, naming the file
    };

    /** One stem with tracks: its window, summed from its tracks', and its peak so far. */
    struct SummedStem
    {
        size_t plan = 0;
        size_t firstTrack = 0;          // its tracks are [firstTrack, firstTrack + plan's count) of the pass
        juce::AudioBuffer<double> window;
        double peak = 0.0;
    };

    /** The first track of the pass that failed (in pass order) stops the tracks after it, while
        those before it go on: what the cue reports is what reading whole tracks in order reports. */
    struct FirstFailure
    {
        std::atomic<size_t> track { std::numeric_limits<size_t>::max() };

        void fail (size_t t)
        {
            for (auto seen = track.load(); t < seen && ! track.compare_exchange_weak (seen, t);)
            {
            }
        }
    };

    void failTrack (SummedTrack& track, FirstFailure& first, size_t index, const juce::String& error, bool cancelled)
    {
        track.failed = true;
        track.cancelled = cancelled;
        track.error = error;
        first.fail (index);
    }

    /** Reads, gates and overviews frames [offset, offset + count) of the track (those it
        reaches), keeping the gate's look-ahead for the next window. */
    void readTrackWindow (CueRenderState& state, SummedTrack& track, size_t index, FirstFailure& first,
                          const juce::File& file, const CancelCheck& cancel, int64_t offset, int count)
    {
        const auto& request = state.request;
        const auto& gateSettings = request.preset.exportSettings.silenceGate;

        try
        {
            if (! track.opened)
            {
                track.opened = true;
                track.reader = std::make_unique<AudioFileWindowReader>();
                juce::String error;

                // The render's probe of the track is used, not made again.
                const auto probe = state.trackProbes != nullptr ? state.trackProbes->find (file.getFullPathName())
                                                                : TrackProbes::const_iterator();
                const bool probed = state.trackProbes != nullptr && probe != state.trackProbes->end();

                if (probed && ! probe->second.ok)
                    return failTrack (track, first, index, file.getFileName() + ": " + probe->second.error, false);

                if (! track.reader->open (file, request.sampleRate, error, probed))
                    return failTrack (track, first, index, file.getFileName() + ": " + error, isCancelledError (error));

                if (track.reader->getNumChannels() > request.numChannels)
                    return failTrack (track, first, index, file.getFileName() + " has more channels than the project.", false);

                track.length = track.reader->getLength();
                const auto channels = track.reader->getNumChannels();
                track.gate = std::make_unique<SilenceGateStream> (gateSettings, request.sampleRate, track.length, channels);

                if (gateSettings.enabled)
                    track.overview = std::make_unique<WaveformOverviewBuilder> (channels, track.length, request.sampleRate, overviewBucketsForGatedTracks);

                const auto capacity = (int) std::min<int64_t> (summingWindowFrames + track.gate->getLookAheadFrames(), std::max<int64_t> (1, track.length));
                track.buffer.setSize (channels, capacity, false, false, true);
            }

            track.fed = (int) std::clamp<int64_t> (track.length - offset, 0, count);

            if (track.fed <= 0)
                return;

            // What the gate needs: the window and its look-ahead, as far as the track goes.
            const auto wanted = std::min<int64_t> (track.length, offset + count + track.gate->getLookAheadFrames());
            const auto channels = track.buffer.getNumChannels();
            auto* const* data = track.buffer.getArrayOfWritePointers();

            // The look-ahead read with the last window moves to the front.
            const auto kept = std::max<int64_t> (0, track.bufferStart + track.held - offset);

            if (kept > 0 && offset > track.bufferStart)
                for (int ch = 0; ch < channels; ++ch)
                    std::memmove (data[ch], data[ch] + (offset - track.bufferStart), (size_t) kept * sizeof (double));

            track.bufferStart = offset;
            track.held = kept;

            if (wanted > offset + kept)
            {
                juce::String error;
                const auto frames = (int) (wanted - offset - kept);
                std::vector<double*> parts ((size_t) channels);

                for (int ch = 0; ch < channels; ++ch)
                    parts[(size_t) ch] = data[ch] + kept;

                juce::AudioBuffer<double> part (parts.data(), channels, frames);

                if (! track.reader->read (offset + kept, frames, part, error, cancel))
                    return failTrack (track, first, index, file.getFileName() + ": " + error, isCancelledError (error));

                track.held = wanted - offset;
            }

            juce::AudioBuffer<double> window (data, channels, (int) track.held);

            if (! track.gate->gate (window, offset, track.fed))
            {
                jassertfalse;
                return failTrack (track, first, index, file.getFileName() + ": the silence gate lost its place in the track.", false);
            }

            if (track.overview != nullptr)
                track.overview->add (track.buffer.getArrayOfReadPointers(), offset, track.fed);
        }
        catch (const std::bad_alloc&)
        {
            failTrack (track, first, index, "There is not enough memory to read " + file.getFileName() + ".", false);
        }
    }

    /** The stem's window: its tracks' windows summed as whole tracks are (the first replaces,
        so that what it does not reach is silence; the others add what they have). */
    void sumStemWindow (const CueRenderState& state, SummedStem& stem, const std::vector<SummedTrack>& tracks, int count)
    {
        const auto numChannels = state.request.numChannels;
        const auto& plan = state.request.stems[stem.plan];
        auto* const* window = stem.window.getArrayOfWritePointers();

        for (size_t k = 0; k < plan.tracks.size(); ++k)
        {
            const auto& track = tracks[stem.firstTrack + k];
            sumChannels (window, numChannels, track.buffer.getArrayOfReadPointers(), track.buffer.getNumChannels(),
                         track.fed, 0, count, k == 0, 1.0);
        }

        juce::AudioBuffer<double> part (window, numChannels, count);
        stem.peak = std::max (stem.peak, samplePeakOf (nullptr, part));
    }
} // namespace

bool sumsInWindows (const RenderRequest& request)
{
    // A head cut is decided on the whole mix, which is then kept whole.
    if (! (request.measureOnly || OutputWriter::writesAtProjectRate (request)) || request.headTrimSeconds > 0.0)
        return false;

    // Every track holds a window and the gate's look-ahead at once. A gate that must look far
    // ahead (its minimum length can be minutes) over many tracks would hold more than summing
    // whole stems into a whole mix does: such a cue is summed whole.
    const SilenceGateStream gate (request.preset.exportSettings.silenceGate, request.sampleRate, request.lengthInFrames, request.numChannels);
    int64_t tracks = 0;

    for (const auto& plan : request.stems)
        tracks += (int64_t) plan.tracks.size();

    const auto windowed = tracks * bytesOfBuffer (request.numChannels, summingWindowFrames + gate.getLookAheadFrames());
    const auto whole = 3 * bytesOfBuffer (request.numChannels, request.lengthInFrames);
    return windowed <= std::max (memoryTargetBytes() / 2, whole);
}

bool sumStemsInWindows (CueRenderState& state, PeakLevels& peaks)
{
    const auto& request = state.request;
    const auto& settings = request.preset.exportSettings;
    const auto& headroom = settings.headroom;
    auto& report = state.report;
    const auto files = state.getTracksOfPass();
    const auto numChannels = request.numChannels;
    const auto length = std::max<int64_t> (0, request.lengthInFrames);

    std::vector<SummedTrack> tracks (files.size());
    std::vector<SummedStem> stems;
    size_t firstTrack = 0;

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];

        for (size_t t = 0; t < plan.tracks.size(); ++t)
            tracks[firstTrack + t].stem = i;

        if (! plan.tracks.empty())
        {
            SummedStem stem;
            stem.plan = i;
            stem.firstTrack = firstTrack;
            stem.window.setSize (numChannels, (int) std::min<int64_t> (summingWindowFrames, std::max<int64_t> (1, length)), false, false, true);
            stems.push_back (std::move (stem));
        }

        firstTrack += plan.tracks.size();
    }

    juce::AudioBuffer<double> mix (numChannels, (int) std::min<int64_t> (summingWindowFrames, std::max<int64_t> (1, length)));
    PeakMeterStream meter (numChannels, headroom.peakMode, headroom.truePeakOversampling);
    int64_t firstLoud = -1;

    const auto numWindows = (length + summingWindowFrames - 1) / summingWindowFrames;
    const auto cancel = state.makeOperationCancelCheck();
    auto* helpers = state.getHelpers();
    FirstFailure first;
    size_t named = 0;   // the stems whose progress text has been given
    const auto n = std::max<size_t> (1, request.stems.size());

    auto nameUpTo = [&] (size_t last)
    {
        for (; named <= last && named < request.stems.size(); ++named)
            state.reportProgress (0.02 + 0.43 * (double) named / (double) n, "Summing " + request.stems[named].name + "...", RenderJob::Phase::summing);
    };

    // The mix adds the stems in plan order, as the whole-buffer sum does, and is measured.
    int64_t pendingOffset = 0;
    int pendingCount = 0;   // frames of the stems' windows not yet in the mix

    auto sumAndMeasureMix = [&]
    {
        mix.clear (0, pendingCount);
        auto* const* m = mix.getArrayOfWritePointers();

        for (const auto& stem : stems)
            sumChannels (m, numChannels, stem.window.getArrayOfReadPointers(), numChannels, pendingCount, 0, pendingCount, false, 1.0);

        meter.add (mix.getArrayOfReadPointers(), pendingCount);

        if (firstLoud < 0)
        {
            const auto loud = firstLoudFrame (mix.getArrayOfReadPointers(), numChannels, pendingCount, leadingSilenceThreshold);

            if (loud >= 0)
                firstLoud = pendingOffset + loud;
        }
    };

    for (int64_t w = 0; w < numWindows && first.track.load() >= tracks.size(); ++w)
    {
        if (state.isCancelled())
            return false;

        nameUpTo ((size_t) ((double) w * (double) request.stems.size() / (double) numWindows));

        const auto offset = w * summingWindowFrames;
        const auto count = (int) std::min<int64_t> (summingWindowFrames, length - offset);

        // The tracks' windows are read beside the last window's mix, which only reads the
        // stems' windows.
        const auto measuring = pendingCount > 0 ? 1 : 0;

        parallelFor (helpers, (int64_t) tracks.size() + measuring, 1, [&] (int64_t begin, int64_t end)
                     {
                         for (auto i = (size_t) begin; i < (size_t) end; ++i)
                         {
                             if (measuring > 0 && i == 0)
                             {
                                 sumAndMeasureMix();
                                 continue;
                             }

                             const auto t = i - (size_t) measuring;

                             if (t < first.track.load() && ! tracks[t].failed)
                                 readTrackWindow (state, tracks[t], t, first, files[t], cancel, offset, count);
                         }
                     });

        pendingCount = 0;

        if (first.track.load() < tracks.size())
            break;

        parallelFor (helpers, (int64_t) stems.size(), 1, [&] (int64_t begin, int64_t end)
                     {
                         for (auto s = (size_t) begin; s < (size_t) end; ++s)
                             sumStemWindow (state, stems[(size_t) s], tracks, count);
                     });

        pendingOffset = offset;
        pendingCount = count;
    }

    if (pendingCount > 0 && first.track.load() >= tracks.size())
        sumAndMeasureMix();

    // A track longer than the cue (its file grew since it was imported) is gated over its
    // whole length, as a whole read gates it, so that the writing pass gates it alike.
    if (first.track.load() >= tracks.size() && ! state.isCancelled())
    {
        parallelFor (helpers, (int64_t) tracks.size(), 1, [&] (int64_t begin, int64_t end)
                     {
                         for (auto t = (size_t) begin; t < (size_t) end; ++t)
                             for (auto offset = length;
                                  offset < tracks[t].length && t < first.track.load() && ! tracks[t].failed;
                                  offset += summingWindowFrames)
                                 readTrackWindow (state, tracks[t], t, first, files[t], cancel, offset, summingWindowFrames);
                     });
    }

    // The first failure (in pass order) stops the cue. Every track stopped in the middle of
    // the same window, so no stem was read to its end: none is measured, and no track's gate
    // is told, rather than calling stems silent that were only read in part.
    const auto failedTrack = first.track.load();

    if (failedTrack < tracks.size())
    {
        const auto& track = tracks[failedTrack];
        const auto& plan = request.stems[track.stem];
        nameUpTo (track.stem);

        if (! track.cancelled)
        {
            report.stems[track.stem].errors.add (track.error);
            report.errors.add (plan.name + ": " + track.error);
            noteStoppedAt (report, plan.name);
        }

        return false;
    }

    if (state.isCancelled())
        return false;

    size_t s = 0;

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];
        nameUpTo (i);

        if (plan.tracks.empty())
            continue;

        const auto& stem = stems[s++];

        for (size_t k = 0; k < plan.tracks.size(); ++k)
        {
            const auto t = stem.firstTrack + k;
            auto& track = tracks[t];
            const auto gateReport = track.gate != nullptr ? track.gate->finish() : SilenceGateReport {};

            if (t < state.gateRanges.size())
                state.gateRanges[t] = gateReport.ranges;

            if (settings.silenceGate.enabled)
            {
                GatedTrackReport gated;
                gated.sourceFile = files[t].getFullPathName();
                gated.fileName = files[t].getFileName();
                gated.stemName = plan.name;
                gated.regionCount = gateReport.regionCount;
                gated.gatedSeconds = request.sampleRate > 0.0 ? (double) gateReport.gatedSamples / request.sampleRate : 0.0;
                gated.lengthSeconds = request.sampleRate > 0.0 ? (double) track.length / request.sampleRate : 0.0;
                gated.wholeFileSilent = gateReport.wholeFileSilent;
                gated.regions = gateReport.regions;

                if (track.overview != nullptr)
                    gated.overview = track.overview->finish();

                report.gatedTracks.push_back (std::move (gated));

                if (gateReport.wholeFileSilent)
                    report.warnings.add ("'" + files[t].getFileName() + "' was below the silence threshold from start to finish and is now digital silence.");
            }

            track.reader.reset();
            track.buffer = {};
        }

        recordStemPeak (state, i, stem.peak);
    }

    if (state.isCancelled())
        return false;

    report.leadingSilenceSeconds = request.sampleRate > 0.0 && length > 0
                                       ? (double) (firstLoud >= 0 ? firstLoud : length) / request.sampleRate
                                       : 0.0;
    state.renderedLength = length;
    state.reportProgress (0.46, "Measuring the mix...", RenderJob::Phase::measuring);
    peaks = meter.finish();
    return true;
}

} // namespace dunmoor
