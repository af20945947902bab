#include "CueRender.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <limits>
#include <new>
#include <set>
#include <thread>

#include "RenderWorkers.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/BufferMemory.h"
#include "core/audio/LeadingSilence.h"
#include "core/audio/Resampler.h"
#include "core/codec/JuceFileEncoder.h"
#include "core/model/CodecCapabilities.h"
#include "core/preset/PathRules.h"
#include "core/render/OutputNaming.h"
#include "core/session/FileRename.h"

namespace dunmoor
{

namespace
{
    /** True when the file, which is about to be written, is a source track of the cue or of
        another cue of its batch (the same path, or the same file under the same name through a
        linked folder or another letter case). */
    bool isSourceTrack (const CueRenderContext& context, const juce::File& file)
    {
        if (! file.exists())
            return false;

        // The disk is asked only about tracks of the same name apart from letter case (a linked
        // folder or a case-insensitive disk): a delivery written again over itself, with every
        // output already there, would otherwise ask it about every track for every output.
        auto isThisFile = [&file] (const juce::File& track)
        {
            return track == file
                || (track.getFileName().equalsIgnoreCase (file.getFileName()) && isSameFileOnDisk (track, file));
        };

        for (const auto& stem : context.request.stems)
            if (std::any_of (stem.tracks.begin(), stem.tracks.end(), isThisFile))
                return true;

        return context.batchSourceTracks != nullptr
            && std::any_of (context.batchSourceTracks->begin(), context.batchSourceTracks->end(), isThisFile);
    }

    constexpr int overviewBucketsForFiles = 1400;
    constexpr int overviewBucketsForGatedTracks = 3000;
    constexpr int maxWrittenFormatEntries = 2;
    constexpr int cancelPollMilliseconds = 5;

    // How many reads ahead a converted read (several times slower than a plain one) is started
    // first: far while summing, where there is memory for many reads, nearer while writing.
    constexpr size_t summingLookAhead = 16;
    constexpr size_t writingLookAhead = 8;

    using SharedBuffer = std::shared_ptr<juce::AudioBuffer<double>>;
    using ConstBuffer = std::shared_ptr<const juce::AudioBuffer<double>>;

    double peakOfMode (PeakMode mode, double samplePeak, double truePeak)
    {
        return mode == PeakMode::truePeak ? truePeak : samplePeak;
    }

    juce::String kilohertzText (double rate)
    {
        return juce::String (rate / 1000.0, 1);
    }

    /** An output as the messages name it: its display name and what kind of file it is. */
    juce::String describeItem (const juce::String& displayName, int kind)
    {
        return displayName + (kind == WrittenFile::fullMixKind          ? " (full mix)"
                               : kind == WrittenFile::alternativeMixKind ? " (alternative mix)"
                                                                         : " (stem)");
    }

    /** A refused name, told with both outputs when it clashes with one written earlier in this
        cue under the overwrite policy (an alternative mix named like the full mix, say). */
    juce::String describeNameClash (const CueRenderContext& context, CollisionPolicy policy,
                                    const juce::String& item, const juce::File& file, const juce::String& refusal)
    {
        const auto earlier = context.writtenPaths.indexOf (file.getFullPathName(), true);

        if (policy != CollisionPolicy::overwrite || earlier < 0 || earlier >= context.writtenItems.size())
            return refusal;

        const auto& earlierItem = context.writtenItems[earlier];
        return (earlierItem == item ? item : item + " and " + earlierItem) + ": " + refusal;
    }

    /** The alternative mixes the render writes: only when the preset has some and asks for them. */
    bool writesAlternativeMixes (const Preset& preset)
    {
        return preset.exportSettings.fullMix.exportSubmixes && ! preset.schema.alternativeMixes.empty();
    }

    bool isPlanned (const RenderRequest& request, const juce::String& stemId)
    {
        for (const auto& plan : request.stems)
            if (plan.id == stemId)
                return true;

        return false;
    }

    bool isMemberOfAnyMix (const Preset& preset, const juce::String& stemId)
    {
        for (const auto& mix : preset.schema.alternativeMixes)
            if (mix.stemIds.contains (stemId))
                return true;

        return false;
    }

    int64_t bytesOfBuffer (int64_t channels, int64_t frames)
    {
        return std::max<int64_t> (0, channels) * std::max<int64_t> (0, frames) * (int64_t) sizeof (double);
    }

    /** How much memory a cue's buffers and the tracks read ahead may take together. A cue whose
        own buffers need more still renders, reading one track at a time. */
    int64_t memoryTargetBytes()
    {
        const auto physical = (int64_t) juce::SystemStats::getMemorySizeInMegabytes() * 1024 * 1024;
        const int64_t target = (int64_t) 1350 * 1024 * 1024;
        return physical > 0 ? std::min (target, physical / 4) : target;
    }

    //==========================================================================
    // Whole-buffer arithmetic of the render thread, shared out over frame ranges. Every sample
    // gets the same operations in the same order whoever computes it, so the result does not
    // depend on the number of threads.

    constexpr int64_t pieceFrames = (int64_t) 1 << 18;

    /** dest = src (first) or dest += src over the shorter length; a mono source feeds every
        channel, and channels the source lacks get nothing. With first, whatever the source does
        not reach is set to 0, so dest needs no clearing beforehand. */
    void sumInto (RenderWorkers* helpers, juce::AudioBuffer<double>& dest, const juce::AudioBuffer<double>& src, bool first)
    {
        const int destChannels = dest.getNumChannels();
        const int srcChannels = src.getNumChannels();
        const int64_t destFrames = dest.getNumSamples();
        const int64_t shared = srcChannels > 0 ? std::min<int64_t> (destFrames, src.getNumSamples()) : 0;
        double* const* d = dest.getArrayOfWritePointers();
        const double* const* s = src.getArrayOfReadPointers();

        parallelFor (helpers, destFrames, pieceFrames, [=] (int64_t begin, int64_t end)
                     {
                         for (int ch = 0; ch < destChannels; ++ch)
                         {
                             const int sourceChannel = srcChannels == 1 ? 0 : ch;
                             const int64_t fedEnd = sourceChannel < srcChannels ? std::clamp (shared, begin, end) : begin;
                             const auto fed = (int) (fedEnd - begin);

                             if (fed > 0)
                             {
                                 if (first)
                                     juce::FloatVectorOperations::copy (d[ch] + begin, s[sourceChannel] + begin, fed);
                                 else
                                     juce::FloatVectorOperations::add (d[ch] + begin, s[sourceChannel] + begin, fed);
                             }

                             if (first && end > fedEnd)
                                 juce::FloatVectorOperations::clear (d[ch] + fedEnd, (int) (end - fedEnd));
                         }
                     });
    }

    /** Multiplies every sample by gain; a gain of exactly 1 changes nothing. */
    void scaleAll (RenderWorkers* helpers, juce::AudioBuffer<double>& buffer, double gain)
    {
        if (gain == 1.0)
            return;

        const int channels = buffer.getNumChannels();
        double* const* d = buffer.getArrayOfWritePointers();

        parallelFor (helpers, buffer.getNumSamples(), pieceFrames, [=] (int64_t begin, int64_t end)
                     {
                         for (int ch = 0; ch < channels; ++ch)
                             for (int64_t i = begin; i < end; ++i)
                                 d[ch][i] *= gain;
                     });
    }

    /** The largest absolute sample, infinity when any sample is NaN or infinite. */
    double samplePeakOf (RenderWorkers* helpers, const juce::AudioBuffer<double>& buffer)
    {
        const int channels = buffer.getNumChannels();
        const int64_t frames = buffer.getNumSamples();

        if (channels <= 0 || frames <= 0)
            return 0.0;

        const double* const* x = buffer.getArrayOfReadPointers();
        std::vector<double> peaks ((size_t) ((frames + pieceFrames - 1) / pieceFrames), 0.0);
        double* results = peaks.data();

        parallelFor (helpers, frames, pieceFrames, [=] (int64_t begin, int64_t end)
                     {
                         double peak = 0.0;
                         bool notANumber = false;

                         for (int ch = 0; ch < channels; ++ch)
                         {
                             for (int64_t i = begin; i < end; ++i)
                             {
                                 const double a = std::abs (x[ch][i]);
                                 peak = a > peak ? a : peak;
                                 notANumber = notANumber || a != a;
                             }
                         }

                         results[begin / pieceFrames] = notANumber ? std::numeric_limits<double>::infinity() : peak;
                     });

        return *std::max_element (peaks.begin(), peaks.end());
    }

    //==========================================================================
    /** One track read by a worker: the file, its converted and gated audio, or why not. The
        worker writes the results before its task is marked done; the render thread reads them
        only after that. */
    struct TrackRead
    {
        juce::File file;
        std::shared_ptr<RenderTask> task;

        // What the probe found before the read; a converted read converts its channels side by side.
        double sourceRate = 0.0;
        int64_t sourceFrames = 0;

        bool ok = false;
        juce::String error;
        juce::AudioBuffer<double> audio;
        SilenceGateReport gate;
        WaveformOverview overview;
    };

    struct ReadSettings
    {
        double sampleRate = 48000.0;    // 0: each file at its own rate
        int maxChannels = 2;
        SilenceGateSettings gate;
        bool gatedOverview = false;     // the summing pass reports gated tracks with an overview
        RenderWorkers* helpers = nullptr;
        CancelCheck cancel;             // the cue's, polled by every read once per block
    };

    /** readAudioFile at the project rate, with the rate conversion of a file the probe found at
        another rate shared out over its channels. The conversion is resampleBuffer's own
        (half-width 32, 1024 phases), and each output channel is computed from its input channel
        alone, so the samples are the same as readAudioFile's. A cancelled read fails with the
        cancelled text. */
    bool readConverted (TrackRead& read, const ReadSettings& settings, const CancelCheck& cancel)
    {
        const auto projectRate = settings.sampleRate;
        const bool convert = read.sourceRate > 0.0 && projectRate > 0.0 && std::abs (read.sourceRate - projectRate) > 0.5
                          && settings.helpers != nullptr && settings.helpers->getNumThreads() > 0;

        if (! convert)
            return readAudioFile (read.file, projectRate, read.audio, read.error, maxReadFrames, cancel);

        juce::AudioBuffer<double> source;

        if (! readAudioFile (read.file, 0.0, source, read.error, maxReadFrames, cancel))
            return false;

        // The file changed since it was probed: the reader converts it itself.
        if (source.getNumSamples() != read.sourceFrames)
            return readAudioFile (read.file, projectRate, read.audio, read.error, maxReadFrames, cancel);

        const auto outLength = getResampledLength (source.getNumSamples(), read.sourceRate, projectRate);

        if (outLength > maxReadFrames)
        {
            read.error = "The file is too long once converted to the project sample rate.";
            return false;
        }

        const Resampler resampler (read.sourceRate, projectRate, 32, 1024);

        if (! resampler.isValid())
        {
            read.error = "Not enough memory to convert the sample rate.";
            return false;
        }

        juce::AudioBuffer<double> converted (source.getNumChannels(), (int) outLength);
        adviseLargeBuffer (converted);

        const auto* const* inputs = source.getArrayOfReadPointers();
        auto* const* outputs = converted.getArrayOfWritePointers();
        const auto inCount = (juce::int64) source.getNumSamples();
        std::atomic<bool> cancelled { false };

        // The channels are converted side by side; one that is stopped stops the others at
        // their next block (the check is sticky, and a helper's own check sees the first one's).
        const CancelCheck channelCancel = [&cancel, &cancelled]
        {
            if (cancelled.load() || isCancelRequested (cancel))
                cancelled = true;

            return cancelled.load();
        };

        parallelFor (settings.helpers, source.getNumChannels(), 1, [&] (int64_t begin, int64_t end)
                     {
                         for (auto ch = begin; ch < end; ++ch)
                             if (! resampler.process (inputs[ch], inCount, outputs[ch], outLength, channelCancel))
                                 cancelled = true;
                     });

        if (cancelled.load())
        {
            read.error = getCancelledErrorText();
            return false;
        }

        source = {};
        read.audio = std::move (converted);
        return true;
    }

    void performRead (TrackRead& read, const ReadSettings& settings, const std::atomic<bool>& abandon)
    {
        if (abandon.load())
            return;

        // A read whose pass has ended (the cue stopped, or failed elsewhere) stops too.
        const CancelCheck cancel = [&settings, &abandon] { return abandon.load() || isCancelRequested (settings.cancel); };

        try
        {
            if (! readConverted (read, settings, cancel))
                return;

            // Too many channels: the render thread refuses the track with its own message.
            if (read.audio.getNumChannels() <= settings.maxChannels)
            {
                read.gate = applySilenceGate (read.audio, settings.sampleRate, settings.gate);

                if (settings.gate.enabled && settings.gatedOverview)
                    read.overview = overviewFromBuffer (read.audio, settings.sampleRate, overviewBucketsForGatedTracks);
            }

            read.ok = true;
        }
        catch (const std::bad_alloc&)
        {
            read.audio = {};
            read.ok = false;
            read.error = "There is not enough memory to read the file.";
        }
    }

    /** What a read will cost: the memory it holds at its peak (the file at its own rate and,
        while it is converted, the result at the project rate) and whether it is converted,
        which makes it several times slower than a plain read. */
    struct ReadCost
    {
        int64_t bytes = 0;
        bool converted = false;
        double sourceRate = 0.0;
        int64_t sourceFrames = 0;
    };

    ReadCost estimateRead (const juce::File& file, double projectRate)
    {
        ReadCost cost;
        AudioFileInfo info;
        juce::String error;

        if (! probeAudioFile (file, info, error))
            return cost;

        cost.bytes = bytesOfBuffer (info.numChannels, info.lengthInSamples);
        cost.converted = projectRate > 0.0 && std::abs (info.sampleRate - projectRate) > 0.5;
        cost.sourceRate = info.sampleRate;
        cost.sourceFrames = info.lengthInSamples;

        if (cost.converted)
            cost.bytes += bytesOfBuffer (info.numChannels, getResampledLength (info.lengthInSamples, info.sampleRate, projectRate));

        return cost;
    }

    /**
        Reads the tracks of a pass ahead of the render thread, on the workers: as many at once as
        there are workers and the memory budget allows (always at least the one the render
        thread waits for). Reads are started in order, except that a converted read coming up
        soon is started first, so that its long conversion is under way before it is needed.
        The render thread takes them strictly in order, so everything it does with them
        (summing, messages, reports) happens exactly as if it had read them itself. Without
        worker threads each track is read when it is taken.
    */
    class TrackPrefetcher
    {
    public:
        TrackPrefetcher (RenderWorkers& workersToUse, std::vector<juce::File> files, ReadSettings settingsToUse, int64_t budgetBytes, size_t lookAheadReads)
            : workers (workersToUse)
            , settings (std::make_shared<ReadSettings> (std::move (settingsToUse)))
            , abandon (std::make_shared<std::atomic<bool>> (false))
            , budget (budgetBytes)
            , maxInFlight (std::max (1, workers.getNumThreads()))
            , lookAhead (lookAheadReads)
        {
            for (auto& file : files)
            {
                Slot slot;
                slot.read = std::make_shared<TrackRead>();
                slot.read->file = std::move (file);
                slots.push_back (std::move (slot));
            }

            launchMore();
        }

        ~TrackPrefetcher()
        {
            // Reads not started yet are dropped; reads under way stop at their next block (their
            // buffers are their own, so they are waited for).
            abandon->store (true);

            for (auto& slot : slots)
                if (slot.read != nullptr && slot.read->task != nullptr)
                    slot.read->task->wait();
        }

        /** Called while the render thread waits for a read, between its cancel checks. */
        std::function<void()> whileWaiting;

        /** Track k of the pass (taken in order); nullptr when the cue was cancelled meanwhile. */
        std::shared_ptr<TrackRead> take (size_t k, CueRenderContext& context)
        {
            jassert (k < slots.size() && slots[k].read != nullptr);
            auto read = slots[k].read;

            // The one the render thread needs now starts whatever the budget says.
            if (read->task == nullptr)
                launch (k);

            // The wait is where the render thread spends a long read: it keeps asking for a cancel,
            // and starts further reads as finished ones give memory back.
            while (! read->task->waitFor (cancelPollMilliseconds))
            {
                if (context.isCancelled())
                    return nullptr;

                if (whileWaiting != nullptr)
                    whileWaiting();

                launchMore();
            }

            return read;
        }

        int64_t getBytesInFlight() const noexcept { return bytesInFlight; }

        /** True once every read of the pass has been started. */
        bool hasStartedAll() const noexcept
        {
            for (size_t k = oldest; k < slots.size(); ++k)
                if (slots[k].read != nullptr && slots[k].read->task == nullptr)
                    return false;

            return true;
        }

        /** Changes the memory the reads may take from now on. */
        void setBudget (int64_t budgetBytes)
        {
            budget = budgetBytes;
            launchMore();
        }

        /** Frees track k's memory and starts further reads. */
        void release (size_t k)
        {
            if (k < slots.size() && slots[k].read != nullptr)
            {
                if (slots[k].read->task != nullptr)
                {
                    bytesInFlight -= slots[k].heldBytes;
                    --countInFlight;
                }

                slots[k].read = nullptr;
                oldest = std::max (oldest, k + 1);
            }

            launchMore();
        }

    private:
        struct Slot
        {
            std::shared_ptr<TrackRead> read;
            ReadCost cost;
            bool costKnown = false;
            int64_t heldBytes = 0;      // counted against the budget: the estimate, then what a finished read holds
            bool settled = false;       // finished, and heldBytes brought down to what it holds
        };

        const ReadCost& costOf (size_t k)
        {
            if (! slots[k].costKnown)
            {
                slots[k].cost = estimateRead (slots[k].read->file, settings->sampleRate);
                slots[k].costKnown = true;
            }

            return slots[k].cost;
        }

        bool fits (size_t k)
        {
            return countInFlight < maxInFlight && bytesInFlight + costOf (k).bytes <= budget;
        }

        void launch (size_t k)
        {
            const auto& cost = costOf (k);
            slots[k].read->sourceRate = cost.sourceRate;
            slots[k].read->sourceFrames = cost.sourceFrames;
            auto sharedSettings = settings;
            auto sharedAbandon = abandon;
            auto target = slots[k].read;
            target->task = workers.run ([target, sharedSettings, sharedAbandon] { performRead (*target, *sharedSettings, *sharedAbandon); });
            slots[k].heldBytes = slots[k].cost.bytes;
            bytesInFlight += slots[k].heldBytes;
            ++countInFlight;
        }

        /** A finished converted read holds only its result, not the file at its own rate too. */
        void recountFinishedReads()
        {
            for (size_t k = oldest; k < slots.size(); ++k)
            {
                auto& slot = slots[k];

                if (slot.read == nullptr || slot.read->task == nullptr || slot.settled || ! slot.read->task->isDone())
                    continue;

                const auto& audio = slot.read->audio;
                const auto held = bytesOfBuffer (audio.getNumChannels(), audio.getNumSamples());
                bytesInFlight += held - slot.heldBytes;
                slot.heldBytes = held;
                slot.settled = true;
            }
        }

        void launchMore()
        {
            // Inline (no worker threads): one read, when it is taken.
            if (workers.getNumThreads() == 0)
                return;

            recountFinishedReads();

            for (;;)
            {
                size_t next = slots.size();

                // A converted read within reach goes first; otherwise the earliest not yet started.
                for (size_t k = oldest; k < std::min (slots.size(), oldest + lookAhead); ++k)
                {
                    if (slots[k].read == nullptr || slots[k].read->task != nullptr)
                        continue;

                    if (next == slots.size())
                        next = k;

                    if (costOf (k).converted)
                    {
                        next = k;
                        break;
                    }
                }

                if (next == slots.size())
                {
                    for (size_t k = oldest; k < slots.size() && next == slots.size(); ++k)
                        if (slots[k].read != nullptr && slots[k].read->task == nullptr)
                            next = k;
                }

                if (next == slots.size() || ! (countInFlight == 0 || fits (next)))
                    return;

                launch (next);
            }
        }

        RenderWorkers& workers;
        std::shared_ptr<const ReadSettings> settings;
        std::shared_ptr<std::atomic<bool>> abandon;
        std::vector<Slot> slots;
        size_t oldest = 0;          // the first slot not yet taken
        int64_t budget = 0;
        int64_t bytesInFlight = 0;
        int countInFlight = 0;
        int maxInFlight = 1;
        size_t lookAhead = 8;      // how far ahead a converted read may be started first
    };

    //==========================================================================
    /** One format entry of an item being written. */
    struct EncodeJob
    {
        int ordinal = 1;
        juce::File file;
        EncoderSettings settings;
        std::unique_ptr<AudioEncoder> encoder;
        bool convert = false;           // written at another rate than the project's
        std::shared_ptr<struct EarlyEntry> early;           // encoded ahead into a hidden file; only moved into place
        std::unique_ptr<juce::TemporaryFile> hidden;        // encoded into this hidden file, moved into place in turn
        juce::StringArray warnings;     // added to the cue when this entry is recorded
        WrittenFile written;
        ReconstructionCandidate candidate;

        bool attempted = false;
        bool ok = false;
        bool cancelled = false;         // stopped by the cue's cancel: no error of its own
        juce::String error;
    };

    /** A format entry of the full mix encoded at the start of the writing pass into a hidden
        file beside its final place, so that the mix's memory can go before the stems are
        written. At the mix's turn the file is moved into place under the name decided then; a
        file never moved is deleted with the entry. */
    struct EarlyEntry
    {
        int ordinal = 1;
        std::unique_ptr<juce::TemporaryFile> temporary;
        std::unique_ptr<AudioEncoder> encoder;
        EncoderSettings settings;
        bool convert = false;
        bool ok = false;
        bool cancelled = false;     // stopped by the cue's cancel: no error of its own
        juce::String error;
    };

    struct EarlyMix
    {
        ConstBuffer buffer;
        CancelCheck cancel;
        double projectRate = 48000.0;
        std::vector<std::shared_ptr<EarlyEntry>> entries;
        WaveformOverview overview;
        std::shared_ptr<RenderTask> task;
        bool coversEveryEntry = false;  // every enabled entry is among them: the mix itself is not needed again
    };

    /** An item whose files are being encoded: its entries are written one after another, the
        second only when the first succeeded, exactly as the render thread would. */
    struct PendingWrite
    {
        ConstBuffer buffer;
        CancelCheck cancel;
        double projectRate = 48000.0;
        juce::String displayName;
        std::vector<EncodeJob> jobs;
        WaveformOverview overview;
        std::shared_ptr<RenderTask> task;

        // An entry that could not be prepared stops the cue once the entries before it are written.
        bool stopAfterJobs = false;
        juce::String stopError;         // empty for a cancel
        juce::StringArray stopWarnings;

        // What the render thread decided after this item while it was still being written: a
        // skipped empty stem or a warning. Told once the item is recorded, and only when it
        // succeeds, so the report reads as if the files had been written one after another.
        struct LaterNote
        {
            int skippedStem = -1;       // index into the report's stems, or -1
            juce::String warning;
        };

        std::vector<LaterNote> laterNotes;
    };

    /** The audio an entry writes: the item itself, or its copy at the entry's rate (made once
        per rate and shared by the entries). Null with the reason in error. */
    const juce::AudioBuffer<double>* audioForEntry (const juce::AudioBuffer<double>& item,
                                                    double projectRate,
                                                    bool convert,
                                                    double rate,
                                                    std::map<juce::int64, juce::AudioBuffer<double>>& converted,
                                                    juce::String& error,
                                                    const CancelCheck& cancel)
    {
        if (! convert)
            return &item;

        const auto key = (juce::int64) std::llround (rate);
        auto found = converted.find (key);

        if (found == converted.end())
        {
            juce::AudioBuffer<double> result;

            if (! resampleBuffer (item, projectRate, rate, result, error, cancel))
                return nullptr;

            found = converted.emplace (key, std::move (result)).first;
        }

        return &found->second;
    }

    void performEarlyMix (EarlyMix& early)
    {
        try
        {
            early.overview = overviewFromBuffer (*early.buffer, early.projectRate, overviewBucketsForFiles);
            std::map<juce::int64, juce::AudioBuffer<double>> converted;

            for (auto& entry : early.entries)
            {
                juce::String error;
                const auto* audio = audioForEntry (*early.buffer, early.projectRate, entry->convert, entry->settings.sampleRate, converted, error, early.cancel);

                if (audio == nullptr)
                {
                    entry->error = error;
                    entry->cancelled = isCancelledError (error);
                    continue;
                }

                entry->settings.numChannels = audio->getNumChannels();
                entry->ok = entry->encoder->encode (*audio, entry->temporary->getFile(), entry->settings, entry->error, early.cancel);
                entry->cancelled = ! entry->ok && isCancelledError (entry->error);
            }
        }
        catch (const std::bad_alloc&)
        {
            for (auto& entry : early.entries)
                if (! entry->ok && entry->error.isEmpty())
                    entry->error = "There is not enough memory to write the full mix.";
        }
    }

    void performWrite (PendingWrite& pending)
    {
        try
        {
            if (pending.buffer != nullptr)
                pending.overview = overviewFromBuffer (*pending.buffer, pending.projectRate, overviewBucketsForFiles);

            std::map<juce::int64, juce::AudioBuffer<double>> converted;

            for (auto& job : pending.jobs)
            {
                job.attempted = true;

                if (job.early != nullptr)
                {
                    // Encoded ahead; it is moved into place when its turn is recorded.
                    if (! job.early->ok)
                    {
                        job.cancelled = job.early->cancelled;
                        job.error = pending.displayName + " -> " + job.file.getFileName() + ": " + job.early->error;
                        return;
                    }

                    job.settings.numChannels = job.early->settings.numChannels;
                }
                else
                {
                    if (pending.buffer == nullptr)
                    {
                        job.error = "Could not write " + pending.displayName + ".";
                        return;
                    }

                    juce::String error;
                    const auto* audio = audioForEntry (*pending.buffer, pending.projectRate, job.convert, job.settings.sampleRate, converted, error, pending.cancel);

                    if (audio == nullptr)
                    {
                        job.cancelled = isCancelledError (error);
                        job.error = pending.displayName + ": " + error;
                        return;
                    }

                    job.settings.numChannels = audio->getNumChannels();
                    const auto target = job.hidden != nullptr ? job.hidden->getFile() : job.file;

                    if (! job.encoder->encode (*audio, target, job.settings, error, pending.cancel))
                    {
                        job.cancelled = isCancelledError (error);
                        job.error = pending.displayName + " -> " + job.file.getFileName() + ": " + error;
                        return;
                    }
                }

                job.ok = true;
                job.written.settingsDescription = job.settings.describe();
            }
        }
        catch (const std::bad_alloc&)
        {
            for (auto& job : pending.jobs)
            {
                if (job.attempted && ! job.ok && job.error.isEmpty())
                    job.error = "There is not enough memory to write " + pending.displayName + ".";

                if (job.attempted && ! job.ok)
                    break;
            }
        }
    }
} // namespace

//==============================================================================
struct CueRenderContext::Internals
{
    explicit Internals (CueRenderContext& ownerToUse)
        : owner (ownerToUse)
    {
    }

    CueRenderContext& owner;
    const std::thread::id renderThread = std::this_thread::get_id();    // the thread that made the context renders the cue
    const std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>> (false);  // what the render thread noticed, for the workers

    std::unique_ptr<RenderWorkers> workers;     // reading ahead and encoding
    std::unique_ptr<RenderWorkers> helpers;     // sharing out the render thread's buffer arithmetic

    juce::AudioBuffer<double> stemBuffer;   // the summing pass's one stem at a time
    std::vector<SharedBuffer> spareBuffers; // the writing pass's stem buffers, reused once free
    int writesInFlight = 0;                     // items encoded while the render goes on; 0: one at a time, in place
    std::vector<int> mixSumSchedule;            // separate alternative-mix sums once the writing pass is past each stem
    std::unique_ptr<TrackPrefetcher> writeReads;   // the writing pass's reads, started while the summing pass ends
    std::deque<std::unique_ptr<PendingWrite>> pending;   // in writing order
    std::shared_ptr<EarlyMix> earlyMix;

    /** Waits for work on a worker, asking for a cancel meanwhile: the workers' cancel checks
        only see what the render thread notices. */
    void waitFor (RenderTask& task)
    {
        while (! task.waitFor (cancelPollMilliseconds))
            if (std::this_thread::get_id() == renderThread)
                owner.isCancelled();
    }

    /** Waits for every write under way and drops them; hidden files never moved go with them. */
    void discardPendingWrites()
    {
        for (auto& write : pending)
            if (write->task != nullptr)
                waitFor (*write->task);

        pending.clear();
    }

    /** One alternative mix, summed while its member stems are written. Members are added in
        the order of the mix's member list, as a sum made at the end would add them, so the
        written mix does not depend on when its members came along. Mixes that have added the
        same members so far hold the very same sum, which is copied only where they part. */
    struct MixSum
    {
        const AlternativeMix* mix = nullptr;
        int nextMember = 0;                 // position in mix->stemIds of the next member to add
        bool hasMember = false;             // at least one member had a buffer
        SharedBuffer sum;                   // null: nothing added yet
    };

    std::vector<MixSum> mixSums;
    std::set<juce::String> passedStems;     // stems whose turn in the write pass is over
    std::map<juce::String, ConstBuffer> heldStems;   // finished members an earlier member still waits for

    RenderWorkers& getWorkers (int requested)
    {
        if (workers == nullptr)
        {
            const auto count = requested < 0 ? RenderWorkers::getDefaultThreadCount() : requested;
            workers = std::make_unique<RenderWorkers> (count);
            helpers = std::make_unique<RenderWorkers> (std::min (3, (count + 1) / 2));
        }

        return *workers;
    }

    void release()
    {
        writeReads.reset();
        discardPendingWrites();

        if (earlyMix != nullptr && earlyMix->task != nullptr)
            waitFor (*earlyMix->task);

        earlyMix.reset();   // deletes any hidden file never moved into place
        workers.reset();
        helpers.reset();
        stemBuffer = {};
        spareBuffers.clear();
        mixSums.clear();
        passedStems.clear();
        heldStems.clear();
    }
};

CueRenderContext::CueRenderContext (const RenderRequest& requestToUse, RenderCancelCheck cancelCheck, RenderProgressCallback progressCallback)
    : request (requestToUse)
    , shouldCancel (std::move (cancelCheck))
    , progress (std::move (progressCallback))
    , internals (std::make_unique<Internals> (*this))
{
}

CueRenderContext::~CueRenderContext()
{
    // Nothing may still be writing into files or buffers once the context is gone.
    if (internals != nullptr)
        internals->release();
}

bool CueRenderContext::isCancelled()
{
    if (! report.cancelled && shouldCancel != nullptr && shouldCancel())
        report.cancelled = true;

    if (report.cancelled)
        internals->cancelled->store (true);

    return report.cancelled;
}

CancelCheck CueRenderContext::makeOperationCancelCheck()
{
    // The context outlives every task of the cue (release() waits for them all), and only the
    // render thread reaches through the pointer.
    auto* self = this;
    auto flag = internals->cancelled;
    const auto renderThread = internals->renderThread;

    return [self, flag, renderThread]
    {
        if (flag->load())
            return true;

        return std::this_thread::get_id() == renderThread && self->isCancelled();
    };
}

void CueRenderContext::reportProgress (double fraction, const juce::String& text, RenderJob::Phase phase)
{
    if (progress != nullptr)
        progress (fraction, text, phase);
}

void CueRenderContext::addWarningOnce (const juce::String& text)
{
    report.warnings.addIfNotAlreadyThere (text);
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

    void addFailure (CueRenderContext& context, StemReport& stemReport, const ReadFailure& failure)
    {
        if (failure.cancelled)
            return;

        stemReport.errors.add (failure.stemMessage);
        context.report.errors.add (failure.cueMessage);
    }

    /** Sums the plan's tracks (taken from the prefetcher from position first on) into buffer,
        which is sized (its contents are replaced). In the summing pass, gated tracks are reported. */
    bool sumStemTracks (CueRenderContext& context,
                        const StemPlan& plan,
                        TrackPrefetcher& reads,
                        size_t first,
                        juce::AudioBuffer<double>& buffer,
                        bool summingPass,
                        ReadFailure& failure)
    {
        const auto& request = context.request;
        const auto& gate = request.preset.exportSettings.silenceGate;
        auto& report = context.report;

        for (size_t t = 0; t < plan.tracks.size(); ++t)
        {
            const auto& file = plan.tracks[t];

            if (context.isCancelled())
            {
                failure.cancelled = true;
                return false;
            }

            const auto read = reads.take (first + t, context);

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

            sumInto (context.internals->helpers.get(), buffer, read->audio, t == 0);
            reads.release (first + t);
        }

        return true;
    }

    std::vector<juce::File> tracksOfPass (const RenderRequest& request)
    {
        std::vector<juce::File> files;

        for (const auto& plan : request.stems)
            files.insert (files.end(), plan.tracks.begin(), plan.tracks.end());

        return files;
    }

    ReadSettings readSettingsFor (CueRenderContext& context, bool summingPass)
    {
        const auto& request = context.request;
        ReadSettings settings;
        settings.helpers = context.internals->helpers.get();
        settings.sampleRate = request.sampleRate;
        settings.maxChannels = request.numChannels;
        settings.gate = request.preset.exportSettings.silenceGate;
        settings.gatedOverview = summingPass;
        settings.cancel = context.makeOperationCancelCheck();
        return settings;
    }

    /** Sizes the reusable buffer to frames, keeping its memory when it can (a buffer cut at
        the head keeps its allocation); cleared on request (a new buffer always is). */
    bool prepareBuffer (juce::AudioBuffer<double>& buffer, int numChannels, int64_t frames, bool clear, juce::String& error)
    {
        if (buffer.getNumChannels() == numChannels && buffer.getNumSamples() > 0 && frames > 0 && frames <= maxReadFrames)
        {
            try
            {
                buffer.setSize (numChannels, (int) frames, false, false, true);

                if (clear)
                    buffer.clear();

                return true;
            }
            catch (const std::bad_alloc&)
            {
                // Fall through to a fresh allocation, which reports the failure.
            }
        }

        // Give back the old block before asking for another.
        buffer = {};
        return allocateRenderBuffer (buffer, numChannels, frames, error);
    }

    /** A stem buffer of the writing pass: a spare one no one holds any more, or a new one.
        Spares beyond what the writes under way and this stem need are given back. */
    SharedBuffer obtainStemBuffer (CueRenderContext& context, int64_t frames, bool clear, juce::String& error)
    {
        auto& in = *context.internals;
        auto& spares = in.spareBuffers;
        SharedBuffer chosen;

        for (auto& spare : spares)
        {
            if (spare.use_count() == 1)
            {
                chosen = spare;
                break;
            }
        }

        for (auto it = spares.begin(); it != spares.end() && (int) spares.size() > in.writesInFlight + 1;)
            it = (*it != chosen && it->use_count() == 1) ? spares.erase (it) : std::next (it);

        if (chosen != nullptr)
            return prepareBuffer (*chosen, context.request.numChannels, frames, clear, error) ? chosen : nullptr;

        auto fresh = std::make_shared<juce::AudioBuffer<double>>();

        if (! allocateRenderBuffer (*fresh, context.request.numChannels, frames, error))
            return {};

        spares.push_back (fresh);
        return fresh;
    }

    void assignStemNumbers (CueRenderContext& context)
    {
        const auto& settings = context.request.preset.exportSettings;
        auto& numbers = context.stemNumbers;
        numbers.clear();

        if (settings.naming.numbering == NumberingMode::schemaIndex)
        {
            for (const auto& plan : context.request.stems)
                numbers.push_back (plan.index);

            return;
        }

        int counter = 1;

        if (settings.naming.numberMixesFirst && settings.fullMix.exportMix)
        {
            counter = settings.fullMix.index + 1;

            if (settings.fullMix.exportSubmixes)
                counter += (int) context.request.preset.schema.alternativeMixes.size();
        }

        for (const auto& plan : context.request.stems)
        {
            const bool exported = ! plan.tracks.empty() || plan.emptyPolicy == EmptyStemPolicy::exportSilence;
            numbers.push_back (exported ? counter++ : 0);
        }
    }

    /** The folder an item of this kind goes to for the format entry, created when needed. */
    bool createOutputSubFolder (const RenderRequest& request, const OutputFormat& entry, int kind, juce::File& folder, juce::String& error)
    {
        juce::StringArray parts;

        if (entry.subFolder.trim().isNotEmpty())
            parts.add (entry.subFolder.trim());

        const auto stemsFolder = request.preset.exportSettings.fullMix.stemsSubFolder.trim();

        if (kind == WrittenFile::stemKind && stemsFolder.isNotEmpty())
            parts.add (stemsFolder);

        if (parts.isEmpty())
        {
            folder = request.outputFolder;
            return true;
        }

        const auto joined = parts.joinIntoString ("/");

        if (! buildSubFolderPath (request.outputFolder, joined, folder))
        {
            error = "The sub-folder '" + joined + "' is not a valid relative path.";
            return false;
        }

        if (! folder.isDirectory())
        {
            const auto result = folder.createDirectory();

            if (result.failed() || ! folder.isDirectory())
            {
                const auto reason = result.failed() ? result.getErrorMessage() : juce::String ("a file is in the way");
                error = "Could not create '" + folder.getFullPathName() + "': " + reason;
                return false;
            }
        }

        return true;
    }

    /** A planned member whose turn has not come yet is waited for; a member that is not in the
        plan never comes and is passed over. */
    bool mustWaitFor (const RenderRequest& request, const std::set<juce::String>& passedStems, const juce::String& memberId)
    {
        return passedStems.count (memberId) == 0 && isPlanned (request, memberId);
    }

    /** Adds a finished member stem to every alternative mix waiting for it, in member-list
        order; holds it only while an earlier member of some mix is still to come. Mixes sharing
        one sum that all add the same member add it once; a mix that adds a member the others
        sharing its sum do not add gets its own copy first. */
    bool collectMixMembers (CueRenderContext& context, const juce::String& stemId, ConstBuffer finished, juce::String& error)
    {
        auto& in = *context.internals;
        const auto& request = context.request;
        in.passedStems.insert (stemId);

        if (finished != nullptr)
            in.heldStems[stemId] = std::move (finished);

        auto* helpers = in.helpers.get();

        for (;;)
        {
            // Members without audio (skipped, or not in the plan) change no sum.
            for (auto& mixSum : in.mixSums)
            {
                const auto& members = mixSum.mix->stemIds;

                while (mixSum.nextMember < members.size()
                       && ! mustWaitFor (request, in.passedStems, members[mixSum.nextMember])
                       && in.heldStems.count (members[mixSum.nextMember]) == 0)
                    ++mixSum.nextMember;
            }

            // The first mix with a member ready, and every mix on the same sum adding that member.
            auto wants = [&] (const CueRenderContext::Internals::MixSum& mixSum) -> juce::String
            {
                const auto& members = mixSum.mix->stemIds;

                if (mixSum.nextMember >= members.size() || mustWaitFor (request, in.passedStems, members[mixSum.nextMember]))
                    return {};

                return members[mixSum.nextMember];
            };

            size_t first = in.mixSums.size();

            for (size_t m = 0; m < in.mixSums.size() && first == in.mixSums.size(); ++m)
                if (wants (in.mixSums[m]).isNotEmpty())
                    first = m;

            if (first == in.mixSums.size())
                break;

            const auto memberId = wants (in.mixSums[first]);
            const auto shared = in.mixSums[first].sum;
            std::vector<size_t> adding;
            bool othersOnSameSum = false;

            for (size_t m = 0; m < in.mixSums.size(); ++m)
            {
                if (in.mixSums[m].sum != shared || (shared == nullptr && m != first && wants (in.mixSums[m]) != memberId))
                    continue;

                if (wants (in.mixSums[m]) == memberId)
                    adding.push_back (m);
                else
                    othersOnSameSum = true;
            }

            SharedBuffer target = shared;

            if (target == nullptr || othersOnSameSum)
            {
                auto fresh = std::make_shared<juce::AudioBuffer<double>>();

                if (! allocateRenderBuffer (*fresh, request.numChannels, context.renderedLength, error))
                {
                    error = in.mixSums[first].mix->name + ": " + error;
                    return false;
                }

                if (shared != nullptr)
                    sumInto (helpers, *fresh, *shared, true);

                target = fresh;
            }

            sumInto (helpers, *target, *in.heldStems[memberId], false);

            for (auto m : adding)
            {
                auto& mixSum = in.mixSums[m];
                mixSum.sum = target;
                mixSum.hasMember = true;
                ++mixSum.nextMember;
            }
        }

        // Drop what no mix still waits for.
        for (auto it = in.heldStems.begin(); it != in.heldStems.end();)
        {
            bool needed = false;

            for (const auto& mixSum : in.mixSums)
                for (int m = mixSum.nextMember; m < mixSum.mix->stemIds.size() && ! needed; ++m)
                    needed = mixSum.mix->stemIds[m] == it->first;

            it = needed ? std::next (it) : in.heldStems.erase (it);
        }

        return true;
    }

    /** How many separate alternative-mix sums exist once the writing pass is past each stem
        plan: mixes that have added the same members share one. Worked out from the plan alone,
        so that the reads can leave room for a sum before it is made. */
    std::vector<int> countMixSumsAfterEachStem (const RenderRequest& request)
    {
        std::vector<int> counts;
        const auto& mixes = request.preset.schema.alternativeMixes;
        std::vector<int> next (mixes.size(), 0);
        std::vector<juce::StringArray> added (mixes.size());
        std::set<juce::String> passed;

        std::set<juce::String> withAudio;

        for (const auto& plan : request.stems)
            if (! plan.tracks.empty() || plan.emptyPolicy == EmptyStemPolicy::exportSilence)
                withAudio.insert (plan.id);

        for (const auto& plan : request.stems)
        {
            passed.insert (plan.id);

            for (size_t m = 0; m < mixes.size(); ++m)
            {
                const auto& members = mixes[m].stemIds;

                for (; next[m] < members.size() && ! mustWaitFor (request, passed, members[next[m]]); ++next[m])
                    if (withAudio.count (members[next[m]]) > 0)
                        added[m].add (members[next[m]]);
            }

            std::set<juce::String> distinct;

            for (const auto& history : added)
                if (! history.isEmpty())
                    distinct.insert (history.joinIntoString ("\n"));

            counts.push_back ((int) distinct.size());
        }

        return counts;
    }

    /** Ends the writing pass: a write still under way is finished and recorded first, and only
        when it succeeded do the messages of what stopped the pass count (had the files been
        written one after another, its failure would have stopped the cue before). */
    bool stopWriting (CueRenderContext& context, const std::function<void()>& addMessages = {})
    {
        if (settlePendingWrites (context) && addMessages != nullptr)
            addMessages();

        return false;
    }
} // namespace

//==============================================================================
namespace
{
    /** How the writing pass shares its memory: the stem being built, the alternative-mix sums
        and the mix (until it is written ahead) come first; what is left goes to the writes under
        way and to reading ahead. */
    void planWritePass (CueRenderContext& context)
    {
        const auto& request = context.request;
        auto& in = *context.internals;
        const auto bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);

        in.mixSumSchedule.clear();

        if (writesAlternativeMixes (request.preset))
            in.mixSumSchedule = countMixSumsAfterEachStem (request);

        const auto mostSums = in.mixSumSchedule.empty() ? 0 : *std::max_element (in.mixSumSchedule.begin(), in.mixSumSchedule.end());
        const auto spare = memoryTargetBytes() - (1 + (int64_t) mostSums) * bufferBytes;
        in.writesInFlight = in.getWorkers (context.workerThreads).getNumThreads() == 0 ? 0 : (spare >= 8 * bufferBytes ? 2 : (spare >= 2 * bufferBytes ? 1 : 0));
    }

    /** The memory the writing pass's reads may take while stem plan i is written with the given
        number of writes under way: the sums the next few stems will need are set aside before
        they are made. */
    int64_t writeReadBudget (const CueRenderContext& context, size_t i, bool mixStillThere, int writesInFlight)
    {
        const auto& request = context.request;
        const auto& in = *context.internals;
        const auto bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);
        const auto& schedule = in.mixSumSchedule;
        int sums = 0;

        for (size_t k = i; k < std::min (schedule.size(), i + 4); ++k)
            sums = std::max (sums, schedule[k]);

        return memoryTargetBytes() - (1 + (int64_t) writesInFlight + (mixStillThere ? 1 : 0) + (int64_t) sums) * bufferBytes;
    }

    /** The writing pass's reads start as soon as the summing pass has started all of its own,
        within what the writing pass will have for them less what the summing reads still hold. */
    void startWriteReadsEarly (CueRenderContext& context, const TrackPrefetcher& summingReads)
    {
        const auto& request = context.request;
        auto& in = *context.internals;

        if (request.measureOnly || in.getWorkers (context.workerThreads).getNumThreads() == 0 || ! summingReads.hasStartedAll())
            return;

        const auto budget = writeReadBudget (context, 0, true, in.writesInFlight) - summingReads.getBytesInFlight();

        if (in.writeReads == nullptr)
            in.writeReads = std::make_unique<TrackPrefetcher> (*in.workers, tracksOfPass (request), readSettingsFor (context, false), budget, writingLookAhead);
        else
            in.writeReads->setBudget (budget);
    }
} // namespace

bool sumAndMeasure (CueRenderContext& context)
{
    const auto& request = context.request;
    const auto& settings = request.preset.exportSettings;
    auto& report = context.report;
    auto& in = *context.internals;
    juce::String error;

    if (! allocateRenderBuffer (context.mix, request.numChannels, request.lengthInFrames, error))
    {
        report.errors.add (error);
        return false;
    }

    auto& workers = in.getWorkers (context.workerThreads);
    const auto bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);
    TrackPrefetcher reads (workers, tracksOfPass (request), readSettingsFor (context, true), memoryTargetBytes() - 2 * bufferBytes, summingLookAhead);
    planWritePass (context);
    reads.whileWaiting = [&] { startWriteReadsEarly (context, reads); };

    const auto n = std::max<size_t> (1, request.stems.size());
    size_t firstTrack = 0;

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];

        if (context.isCancelled())
            return false;

        context.reportProgress (0.02 + 0.43 * (double) i / (double) n, "Summing " + plan.name + "...", RenderJob::Phase::summing);

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
            report.stems.push_back (std::move (stemReport));
            continue;
        }

        if (! prepareBuffer (in.stemBuffer, request.numChannels, request.lengthInFrames, false, error))
        {
            addFailure (context, stemReport, { error, plan.name + ": " + error, false });
            report.stems.push_back (std::move (stemReport));
            return false;
        }

        ReadFailure failure;

        if (! sumStemTracks (context, plan, reads, firstTrack, in.stemBuffer, true, failure))
        {
            addFailure (context, stemReport, failure);
            report.stems.push_back (std::move (stemReport));
            return false;
        }

        firstTrack += plan.tracks.size();
        startWriteReadsEarly (context, reads);

        const auto peak = samplePeakOf (in.helpers.get(), in.stemBuffer);
        stemReport.peakDb = gainToDecibels (peak);
        stemReport.isDigitalSilence = peak == 0.0;

        if (stemReport.isDigitalSilence)
            report.warnings.add ("Stem '" + plan.name + "' has tracks assigned but is digital silence.");

        sumInto (in.helpers.get(), context.mix, in.stemBuffer, false);
        report.stems.push_back (std::move (stemReport));
    }

    // The stem buffer's memory is not needed again until writing.
    in.stemBuffer = {};

    if (context.isCancelled())
        return false;

    report.leadingSilenceSeconds = findLeadingSilence (context.mix, request.sampleRate, leadingSilenceThreshold);

    if (request.headTrimSeconds > 0.0)
    {
        context.cutFrames = snapToZeroCrossing (context.mix, request.sampleRate, request.headTrimSeconds);
        report.appliedCutSeconds = request.sampleRate > 0.0 ? (double) context.cutFrames / request.sampleRate : 0.0;

        if (context.cutFrames > 0)
        {
            trimLeadingSilence (context.mix, context.cutFrames, request.sampleRate);
            report.lengthInFrames = context.mix.getNumSamples();
        }
    }

    context.renderedLength = request.lengthInFrames - context.cutFrames;

    context.reportProgress (0.46, "Measuring the mix...", RenderJob::Phase::measuring);

    const auto& headroom = settings.headroom;
    report.peakMode = headroom.peakMode;
    const auto peaks = measurePeaks (context.mix, headroom.peakMode, headroom.truePeakOversampling, context.makeOperationCancelCheck());

    if (peaks.cancelled)
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

    return true;
}

//==============================================================================
namespace
{
    void tellNote (CueRenderContext& context, const PendingWrite::LaterNote& note)
    {
        auto& report = context.report;

        if (note.skippedStem >= 0 && note.skippedStem < (int) report.stems.size())
            report.stems[(size_t) note.skippedStem].skipped = true;

        if (note.warning.isNotEmpty())
            report.warnings.add (note.warning);
    }

    /** A decision of the render thread between writes goes into the report at once when no
        write is under way, else after the last one, when that is recorded. */
    void tellAfterWrites (CueRenderContext& context, const PendingWrite::LaterNote& note)
    {
        auto& pending = context.internals->pending;

        if (pending.empty())
            tellNote (context, note);
        else
            pending.back()->laterNotes.push_back (note);
    }

    /** Records the oldest write under way once it has finished: its files are moved into place
        (when written into hidden files) and listed, or its error told. On failure every later
        write is dropped, its hidden files deleted: they would never have been written. */
    bool settleOldestWrite (CueRenderContext& context)
    {
        auto& in = *context.internals;

        if (in.pending.empty())
            return true;

        // A file being encoded is finished, or stopped by a cancel and then left off the disk.
        auto pending = std::move (in.pending.front());
        in.pending.pop_front();

        if (pending->task != nullptr)
            in.waitFor (*pending->task);

        auto& report = context.report;
        bool ok = true;

        for (auto& job : pending->jobs)
        {
            for (const auto& warning : job.warnings)
                context.addWarningOnce (warning);

            if (job.ok && (job.hidden != nullptr || job.early != nullptr))
            {
                const auto hidden = job.hidden != nullptr ? job.hidden->getFile() : job.early->temporary->getFile();

                // Never over a folder that sits at the target path.
                if (job.file.isDirectory() || ! hidden.replaceFileIn (job.file))
                {
                    job.ok = false;
                    job.error = pending->displayName + " -> " + job.file.getFileName() + ": Could not replace '" + job.file.getFullPathName() + "'.";
                }
            }

            if (! job.ok)
            {
                // A cancelled encode is the cue's cancel (already noticed by the render thread,
                // which is what the workers' checks see), not an error of the file.
                if (! job.cancelled)
                    report.errors.add (job.error.isNotEmpty() ? job.error : "Could not write " + pending->displayName + ".");

                ok = false;
                break;
            }

            job.written.fileSize = job.file.getSize();
            job.written.overview = pending->overview;
            report.files.push_back (std::move (job.written));
            context.candidates.push_back (job.candidate);
        }

        if (ok && pending->stopAfterJobs)
        {
            for (const auto& warning : pending->stopWarnings)
                context.addWarningOnce (warning);

            if (pending->stopError.isNotEmpty())
                report.errors.add (pending->stopError);

            ok = false;
        }

        if (ok)
            for (const auto& note : pending->laterNotes)
                tellNote (context, note);

        if (! ok)
            in.discardPendingWrites();

        return ok;
    }
} // namespace

bool settlePendingWrites (CueRenderContext& context)
{
    while (! context.internals->pending.empty())
        if (! settleOldestWrite (context))
            return false;

    return true;
}

bool writeOutputFile (CueRenderContext& context, const OutputItem& item)
{
    // Room for this item among the writes under way (none stay open when writing in place).
    while ((int) context.internals->pending.size() >= std::max (1, context.internals->writesInFlight))
        if (! settleOldestWrite (context))
            return false;

    const auto& request = context.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& in = *context.internals;

    // The full mix may have been encoded ahead; its files are only moved into place here.
    const auto early = item.kind == WrittenFile::fullMixKind ? in.earlyMix : nullptr;

    if (early != nullptr && early->task != nullptr)
        in.waitFor (*early->task);

    auto pending = std::make_unique<PendingWrite>();
    pending->buffer = item.buffer != nullptr && item.buffer->getNumChannels() > 0 ? item.buffer : nullptr;
    pending->cancel = context.makeOperationCancelCheck();
    pending->projectRate = request.sampleRate;
    pending->displayName = item.displayName;

    if (early != nullptr)
        pending->overview = early->overview;

    const auto entries = std::min<size_t> (maxWrittenFormatEntries, settings.formats.size());

    // Everything that decides names and may refuse is done here, in order; only encoding is left
    // to the task.
    for (size_t e = 0; e < entries && ! pending->stopAfterJobs; ++e)
    {
        const auto& entry = settings.formats[e];
        const int ordinal = (int) e + 1;

        if (! entry.enabled)
            continue;

        juce::StringArray warnings;

        auto stop = [&] (const juce::String& error)
        {
            pending->stopAfterJobs = true;
            pending->stopError = error;
            pending->stopWarnings = warnings;
        };

        if (context.isCancelled())
        {
            stop ({});
            break;
        }

        if (! isCodecAvailable (entry.codec))
        {
            stop (describeCodecAvailability (entry.codec));
            break;
        }

        const double wanted = entry.sampleRate > 0.0 ? entry.sampleRate : request.sampleRate;
        const double rate = bestOutputSampleRate (entry.codec, wanted);

        if (std::abs (rate - wanted) > 0.5)
            warnings.add (codecToString (entry.codec).toUpperCase() + " cannot store " + kilohertzText (wanted)
                          + " kHz; written at " + kilohertzText (rate) + " kHz instead.");

        juce::File folder;
        juce::String error;

        if (! createOutputSubFolder (request, entry, item.kind, folder, error))
        {
            stop (error);
            break;
        }

        NamingContext naming;
        naming.publisher = preset.metadata.publisher;
        naming.project = preset.metadata.project;
        naming.cue = preset.metadata.cue;
        naming.composer = preset.metadata.composer;
        naming.version = preset.metadata.version;
        naming.stemName = item.stemName;
        naming.stemCode = item.stemCode;
        naming.stemIndex = item.number;
        naming.indexPadding = settings.naming.indexPadding;
        naming.sampleRate = rate;
        naming.codec = entry.codec;
        naming.sampleFormat = entry.sampleFormat;
        naming.mp3Kbps = nearestMp3Bitrate (entry.mp3Bitrate);

        juce::StringArray unknownTokens;
        const auto name = buildOutputFileName (item.namingTemplate, naming, settings.naming, &unknownTokens);

        for (const auto& token : unknownTokens)
            warnings.add ("Unknown naming token " + token + " was ignored.");

        // Joined literally: a name may start with characters a path parser would read specially.
        auto file = juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + name);

        if (! resolveNameCollision (file, settings.naming.collisionPolicy, context.writtenPaths, error))
        {
            stop (describeNameClash (context, settings.naming.collisionPolicy, describeItem (item.displayName, item.kind), file, error));
            break;
        }

        if (! isPathInsideFolder (request.outputFolder, file))
        {
            stop ("Refusing to write outside the export folder: " + file.getFullPathName());
            break;
        }

        if (! isPathLengthAcceptable (file))
        {
            stop ("The generated path is too long: " + file.getFullPathName());
            break;
        }

        // An earlier delivery imported as tracks lies where the new one goes: replacing one of
        // its files would destroy a source of this render or of a later cue, still to be read.
        if (isSourceTrack (context, file))
        {
            stop ("Refusing to overwrite a source track: " + file.getFullPathName());
            break;
        }

        auto encoder = createEncoder (entry.codec, error);

        if (encoder == nullptr)
        {
            stop (error);
            break;
        }

        EncodeJob job;
        job.ordinal = ordinal;
        job.file = file;
        job.encoder = std::move (encoder);
        job.convert = std::abs (rate - request.sampleRate) > 0.5;
        job.warnings = warnings;

        auto& encoderSettings = job.settings;
        encoderSettings.codec = entry.codec;
        encoderSettings.sampleFormat = entry.sampleFormat;
        encoderSettings.sampleRate = rate;
        encoderSettings.numChannels = request.numChannels;
        encoderSettings.mp3Kbps = naming.mp3Kbps;
        encoderSettings.dither = entry.dither;
        encoderSettings.ditherSeed = (uint64_t) (ordinal * 31 + item.kind * 7919 + item.number * 1009 + 1);

        auto& written = job.written;
        written.file = file;
        written.displayName = item.displayName;
        written.stemId = item.kind == WrittenFile::stemKind ? item.stemId : juce::String();
        written.sampleRate = rate;
        written.lossless = isLosslessCodec (entry.codec);
        written.kind = item.kind;
        written.peakDb = item.peakDb;
        written.ownGain = item.ownGain;

        auto& candidate = job.candidate;
        candidate.file = file;
        candidate.kind = item.kind;
        candidate.stemId = item.stemId;
        candidate.formatOrdinal = ordinal;
        candidate.lossless = written.lossless;
        candidate.sampleRate = rate;
        candidate.sampleFormat = entry.sampleFormat;
        candidate.dither = entry.dither;

        if (early != nullptr)
            for (const auto& earlyEntry : early->entries)
                if (earlyEntry->ordinal == ordinal)
                    job.early = earlyEntry;

        // Reserved now: the next entry's name must see this one as taken.
        context.writtenPaths.add (file.getFullPathName());
        context.writtenItems.add (describeItem (item.displayName, item.kind));
        pending->jobs.push_back (std::move (job));
    }

    auto* target = pending.get();
    in.pending.push_back (std::move (pending));

    if (early != nullptr)
        in.earlyMix = nullptr;   // the pending write holds the entries it moves

    if (target->jobs.empty())
        return settlePendingWrites (context);

    // With several items under way, each goes through hidden files moved into place in writing
    // order, so that no file lands on disk before the files written ahead of it. An item whose
    // hidden path would be too long is written in place, alone.
    bool inPlace = in.writesInFlight < 2;

    for (auto& job : target->jobs)
    {
        if (inPlace || job.early != nullptr)
            continue;

        job.hidden = std::make_unique<juce::TemporaryFile> (juce::File (job.file.getParentDirectory().getFullPathName()
                                                                        + juce::File::getSeparatorString() + "bf" + job.file.getFileExtension()),
                                                            juce::TemporaryFile::useHiddenFile);

        // The encoder writes through a temporary file of its own beside this one.
        if (job.hidden->getFile().getFullPathName().length() + 24 > maxFullPathLength)
            inPlace = true;
    }

    if (inPlace)
    {
        for (auto& job : target->jobs)
            job.hidden.reset();

        while (in.pending.size() > 1)
            if (! settleOldestWrite (context))
                return false;
    }

    target->task = in.getWorkers (context.workerThreads).run ([target] { performWrite (*target); });

    // Written in the background only when nothing stops the cue here; otherwise the entries
    // before the refusal are finished now and the refusal told after them.
    if (in.writesInFlight == 0 || target->stopAfterJobs || (inPlace && in.writesInFlight >= 2))
        return settlePendingWrites (context);

    return true;
}

//==============================================================================
namespace
{
    /** Starts encoding the full mix into hidden files beside its final places, so that its
        memory can go while the stems are written. Entries that can't be prepared now are left
        to the mix's own turn, which then reports what is wrong with them. */
    void startEarlyMix (CueRenderContext& context)
    {
        const auto& request = context.request;
        const auto& settings = request.preset.exportSettings;
        auto& in = *context.internals;

        auto early = std::make_shared<EarlyMix>();
        early->buffer = ConstBuffer (&context.mix, [] (const juce::AudioBuffer<double>*) {});
        early->cancel = context.makeOperationCancelCheck();
        early->projectRate = request.sampleRate;

        const auto entries = std::min<size_t> (maxWrittenFormatEntries, settings.formats.size());
        size_t enabled = 0;

        for (size_t e = 0; e < entries; ++e)
        {
            const auto& format = settings.formats[e];

            if (! format.enabled)
                continue;

            ++enabled;

            if (! isCodecAvailable (format.codec))
                continue;

            juce::File folder;
            juce::String error;

            if (! createOutputSubFolder (request, format, WrittenFile::fullMixKind, folder, error))
                continue;

            auto encoder = createEncoder (format.codec, error);

            if (encoder == nullptr)
                continue;

            auto entry = std::make_shared<EarlyEntry>();
            entry->ordinal = (int) e + 1;
            entry->encoder = std::move (encoder);
            entry->temporary = std::make_unique<juce::TemporaryFile> (juce::File (folder.getFullPathName() + juce::File::getSeparatorString()
                                                                                  + "full-mix" + codecFileExtension (format.codec)),
                                                                      juce::TemporaryFile::useHiddenFile);

            // The encoder writes through a temporary file of its own beside this one.
            if (entry->temporary->getFile().getFullPathName().length() + 24 > maxFullPathLength)
                continue;

            const double wanted = format.sampleRate > 0.0 ? format.sampleRate : request.sampleRate;
            const double rate = bestOutputSampleRate (format.codec, wanted);
            entry->convert = std::abs (rate - request.sampleRate) > 0.5;

            auto& encoderSettings = entry->settings;
            encoderSettings.codec = format.codec;
            encoderSettings.sampleFormat = format.sampleFormat;
            encoderSettings.sampleRate = rate;
            encoderSettings.numChannels = request.numChannels;
            encoderSettings.mp3Kbps = nearestMp3Bitrate (format.mp3Bitrate);
            encoderSettings.dither = format.dither;
            encoderSettings.ditherSeed = (uint64_t) (entry->ordinal * 31 + WrittenFile::fullMixKind * 7919 + settings.fullMix.index * 1009 + 1);

            early->entries.push_back (std::move (entry));
        }

        if (early->entries.empty())
            return;

        early->coversEveryEntry = early->entries.size() == enabled;
        auto task = early;
        early->task = in.getWorkers (context.workerThreads).run ([task] { performEarlyMix (*task); });
        in.earlyMix = std::move (early);
    }
} // namespace

bool writeStemsAndFullMix (CueRenderContext& context)
{
    const auto& request = context.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = context.report;
    auto& in = *context.internals;
    const auto gainLinear = report.gain.gainLinear;
    const bool keepMembers = writesAlternativeMixes (preset);
    juce::String error;

    // While the mix is gained and counted, the workers start reading the stems again.
    auto& workers = in.getWorkers (context.workerThreads);
    const auto bufferBytes = bytesOfBuffer (request.numChannels, request.lengthInFrames);

    // The reads may have started while the summing pass ended; they now get the whole budget.
    // The mix is written ahead when it can be, and its memory joins the reads once that is done.
    bool mixStillThere = true;

    if (in.writeReads == nullptr)
        in.writeReads = std::make_unique<TrackPrefetcher> (workers, tracksOfPass (request), readSettingsFor (context, false), writeReadBudget (context, 0, true, in.writesInFlight), writingLookAhead);
    else
        in.writeReads->setBudget (writeReadBudget (context, 0, true, in.writesInFlight));

    auto& reads = *in.writeReads;
    const auto mixStaysForItsTurn = in.writesInFlight == 0 || ! settings.fullMix.exportMix;

    scaleAll (in.helpers.get(), context.mix, gainLinear);

    if (settings.headroom.verifyLevelAfterGain)
    {
        const auto after = measurePeaks (context.mix, settings.headroom.peakMode, settings.headroom.truePeakOversampling, context.makeOperationCancelCheck());

        if (after.cancelled)
            return stopWriting (context);

        report.afterSamplePeak = after.samplePeak;
        report.afterTruePeak = after.truePeak;
        report.remeasured = true;
    }
    else
    {
        report.afterSamplePeak = gainLinear * report.mixSamplePeak;
        report.afterTruePeak = gainLinear * report.mixTruePeak;
    }

    report.clipCount = countFullScaleSamples (context.mix, 1.0);

    if (report.clipCount > 0)
        report.warnings.add (juce::String (report.clipCount) + " sample(s) reach or exceed full scale after the global gain.");

    if (context.isCancelled())
        return false;

    assignStemNumbers (context);

    if (! mixStaysForItsTurn)
        startEarlyMix (context);

    // Once the mix is in its hidden files its memory goes to reading; looked at before every
    // stem and while waiting for reads.
    size_t current = 0;

    auto releaseWrittenMix = [&]
    {
        if (in.earlyMix != nullptr && in.earlyMix->coversEveryEntry && context.mix.getNumChannels() > 0 && in.earlyMix->task->isDone())
        {
            context.mix = {};
            mixStillThere = false;
            reads.setBudget (writeReadBudget (context, current, false, in.writesInFlight));
        }
    };

    reads.whileWaiting = releaseWrittenMix;

    if (keepMembers)
    {
        in.mixSums.clear();

        for (const auto& mix : preset.schema.alternativeMixes)
        {
            CueRenderContext::Internals::MixSum mixSum;
            mixSum.mix = &mix;
            in.mixSums.push_back (std::move (mixSum));
        }
    }

    const auto n = std::max<size_t> (1, request.stems.size());
    size_t firstTrack = 0;

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];
        auto& stemReport = report.stems[i];

        if (context.isCancelled())
            return stopWriting (context);

        current = i;
        releaseWrittenMix();

        // A second write goes on beside the reads wherever memory leaves room for both: at least
        // three reads, or every read already started.
        if (in.writesInFlight > 0)
        {
            const auto withTwo = writeReadBudget (context, i, mixStillThere, 2);
            in.writesInFlight = withTwo >= 3 * bufferBytes || (reads.hasStartedAll() && withTwo >= reads.getBytesInFlight()) ? 2 : 1;
        }

        reads.setBudget (writeReadBudget (context, i, mixStillThere, in.writesInFlight));

        context.reportProgress (0.48 + 0.42 * (double) i / (double) n, "Writing " + plan.name + "...", RenderJob::Phase::writing);

        SharedBuffer stem;

        if (plan.tracks.empty())
        {
            if (plan.emptyPolicy == EmptyStemPolicy::skip)
            {
                tellAfterWrites (context, { (int) i, {} });

                if (keepMembers && ! collectMixMembers (context, plan.id, nullptr, error))
                    return stopWriting (context, [&] { report.errors.add (error); });

                continue;
            }

            if (plan.emptyPolicy == EmptyStemPolicy::failExport)
                return stopWriting (context, [&] { report.errors.add ("Stem '" + plan.name + "' is empty."); });

            stem = obtainStemBuffer (context, context.renderedLength, true, error);

            if (stem == nullptr)
                return stopWriting (context, [&] { report.errors.add (error); });
        }
        else
        {
            stem = obtainStemBuffer (context, request.lengthInFrames, false, error);

            if (stem == nullptr)
                return stopWriting (context, [&] { addFailure (context, stemReport, { error, plan.name + ": " + error, false }); });

            ReadFailure failure;

            if (! sumStemTracks (context, plan, reads, firstTrack, *stem, false, failure))
                return stopWriting (context, [&] { addFailure (context, stemReport, failure); });

            firstTrack += plan.tracks.size();

            if (context.cutFrames > 0)
                trimLeadingSilence (*stem, context.cutFrames, request.sampleRate);

            scaleAll (in.helpers.get(), *stem, gainLinear);
        }

        OutputItem item;
        item.buffer = stem;
        item.namingTemplate = plan.namingTemplate;
        item.stemName = plan.fileNameToken;
        item.stemCode = plan.shortCode;
        item.number = context.stemNumbers[i];
        item.displayName = plan.name;
        item.kind = WrittenFile::stemKind;
        item.peakDb = -400.0;
        item.ownGain = false;
        item.stemId = plan.id;

        if (! writeOutputFile (context, item))
            return stopWriting (context);

        if (keepMembers)
        {
            const bool member = isMemberOfAnyMix (preset, plan.id);

            if (! collectMixMembers (context, plan.id, member ? ConstBuffer (stem) : nullptr, error))
                return stopWriting (context, [&] { report.errors.add (error); });
        }
    }

    // Every read is taken.
    in.writeReads.reset();

    if (context.isCancelled())
        return stopWriting (context);

    // The mix is written from the context itself, which outlives every write of the cue.
    if (settings.fullMix.exportMix)
    {
        context.reportProgress (0.9, "Writing the full mix...", RenderJob::Phase::writing);

        OutputItem item;
        item.buffer = ConstBuffer (&context.mix, [] (const juce::AudioBuffer<double>*) {});
        item.namingTemplate = settings.naming.mixTemplate;
        item.stemName = settings.fullMix.name;
        item.stemCode = settings.fullMix.code;
        item.number = settings.fullMix.index;
        item.displayName = settings.fullMix.name;
        item.kind = WrittenFile::fullMixKind;
        item.peakDb = gainToDecibels (peakOfMode (settings.headroom.peakMode, report.afterSamplePeak, report.afterTruePeak));
        item.ownGain = false;

        if (! writeOutputFile (context, item))
            return stopWriting (context);
    }

    // No more reading: the alternative mixes, whose sums exist already, may be encoded side by
    // side, and the stem buffers go once their writes are done.
    if (in.writesInFlight > 0)
        in.writesInFlight = 2;

    in.spareBuffers.clear();

    if (! writeAlternativeMixes (context))
        return stopWriting (context);

    if (! settlePendingWrites (context))
        return false;

    in.mixSums.clear();
    in.heldStems.clear();
    in.spareBuffers.clear();
    return true;
}

bool writeAlternativeMixes (CueRenderContext& context)
{
    const auto& request = context.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = context.report;
    auto& in = *context.internals;

    if (! writesAlternativeMixes (preset))
        return true;

    int written = 0;

    for (size_t m = 0; m < preset.schema.alternativeMixes.size(); ++m)
    {
        const auto& mix = preset.schema.alternativeMixes[m];

        if (context.isCancelled())
            return stopWriting (context);

        context.reportProgress (0.92, "Writing " + mix.name + "...", RenderJob::Phase::writing);

        if (m >= in.mixSums.size() || ! in.mixSums[m].hasMember)
        {
            tellAfterWrites (context, { -1, "Alternative mix '" + mix.name + "' has no stems with audio in them and was not written." });
            continue;
        }

        // The sum goes to the write, which frees it once the file is written; a sum another mix
        // still holds is copied, since this mix may be brought to the target on its own.
        auto sum = std::move (in.mixSums[m].sum);

        if (sum.use_count() > 1)
        {
            auto own = std::make_shared<juce::AudioBuffer<double>>();
            juce::String error;

            if (! allocateRenderBuffer (*own, sum->getNumChannels(), sum->getNumSamples(), error))
                return stopWriting (context, [&] { report.errors.add (mix.name + ": " + error); });

            sumInto (in.helpers.get(), *own, *sum, true);
            sum = std::move (own);
        }

        const auto& headroom = settings.headroom;
        const auto peaks = measurePeaks (*sum, headroom.peakMode, headroom.truePeakOversampling, context.makeOperationCancelCheck());

        if (peaks.cancelled)
            return stopWriting (context);

        double peak = peakOfMode (headroom.peakMode, peaks.samplePeak, peaks.truePeak);

        if (headroom.submixesReachTargetIndependently)
        {
            const auto gain = computeGlobalGain (peaks, headroom);

            if (gain.error.isNotEmpty())
                return stopWriting (context, [&] { report.errors.add (mix.name + ": " + gain.error); });

            scaleAll (in.helpers.get(), *sum, gain.gainLinear);
            peak *= gain.gainLinear;
        }

        OutputItem item;
        item.buffer = sum;
        item.namingTemplate = settings.naming.mixTemplate;
        item.stemName = mix.name;
        item.stemCode = mix.shortCode.trim().isNotEmpty() ? mix.shortCode.trim() : mix.name;
        item.number = settings.fullMix.index + 1 + written;
        item.displayName = mix.name;
        item.kind = WrittenFile::alternativeMixKind;
        item.peakDb = gainToDecibels (peak);
        item.ownGain = headroom.submixesReachTargetIndependently;

        if (! writeOutputFile (context, item))
            return stopWriting (context);

        ++written;
    }

    return settlePendingWrites (context);
}

//==============================================================================
void verifyReconstruction (CueRenderContext& context)
{
    auto& report = context.report;

    if (context.isCancelled())
    {
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "The render was cancelled.";
        return;
    }

    context.reportProgress (0.93, "Verifying that the stems reconstruct the mix...", RenderJob::Phase::verifying);

    const auto inputs = chooseReconstructionInputs (context.candidates, context.request.sampleRate);

    if (! inputs.hasMix)
    {
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "No lossless full mix was written at the project sample rate.";
        return;
    }

    // The mix bus is not needed any more; its memory goes back before the files are read.
    context.mix = {};

    // The stems are read back ahead of the check, which adds them up in order.
    const auto& request = context.request;
    ReadSettings settings;
    settings.sampleRate = 0.0;
    settings.maxChannels = maxAudioChannels;
    settings.cancel = context.makeOperationCancelCheck();

    const auto bufferBytes = bytesOfBuffer (request.numChannels, context.renderedLength);
    auto& in = *context.internals;
    // Beside the reads: the mix file and the sum, which the check holds, and the stem it is adding.
    TrackPrefetcher reads (in.getWorkers (context.workerThreads), inputs.stemFiles, settings, memoryTargetBytes() - 3 * bufferBytes, 1);
    bool interrupted = false;

    auto readStem = [&] (size_t index, const juce::File&, juce::AudioBuffer<double>& buffer, juce::String& error)
    {
        const auto read = reads.take (index, context);

        if (read == nullptr)
        {
            interrupted = true;
            error = "The render was cancelled.";
            return false;
        }

        const bool ok = read->ok;

        if (ok)
            buffer = std::move (read->audio);
        else
            error = read->error;

        interrupted = interrupted || (! ok && isCancelledError (error));
        reads.release (index);
        return ok;
    };

    const auto tolerance = reconstructionTolerance (inputs.bits, (int) inputs.stemFiles.size(), inputs.ditherKind);
    report.reconstruction = runReconstructionCheck (inputs.stemFiles, inputs.mixFile, tolerance, readStem, context.makeOperationCancelCheck());

    if (interrupted || report.reconstruction.cancelled)
    {
        report.reconstruction = {};
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "The render was cancelled.";
        return;
    }

    if (report.reconstruction.state == ReconstructionState::failed)
        report.errors.add ("Reconstruction check failed: " + report.reconstruction.detail);

    context.reportProgress (0.99, "Verification finished.", RenderJob::Phase::verifying);
}

//==============================================================================
CueReport renderCue (CueRenderContext& context)
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    const auto& request = context.request;
    auto& report = context.report;

    report.numChannels = request.numChannels;
    report.lengthInFrames = request.lengthInFrames;
    report.sampleRate = request.sampleRate;
    report.unassignedTracks = request.unassignedTracks;
    report.cueName = request.cueName;
    report.cueKey = request.cueKey;
    report.sourceFolder = request.sourceFolder;
    report.outputFolder = request.outputFolder;

    try
    {
        const auto validation = validatePlan (request, OutputFolderCheck::create);
        report.warnings.addArray (validation.warnings);

        if (! validation.errors.isEmpty())
        {
            report.errors.addArray (validation.errors);
        }
        else if (sumAndMeasure (context))
        {
            if (request.measureOnly)
            {
                report.ok = ! context.isCancelled();
            }
            else if (writeStemsAndFullMix (context))
            {
                verifyReconstruction (context);
                report.ok = ! context.isCancelled() && report.errors.isEmpty();
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
        if (! settlePendingWrites (context))
            report.ok = false;
    }
    catch (const std::bad_alloc&)
    {
        report.ok = false;
    }

    // Whatever happened, the cue's threads and buffers go now (the threads first: an early
    // write of the mix may still be reading it).
    context.internals->release();
    context.mix = {};

    report.elapsedSeconds = (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;
    context.reportProgress (1.0, report.cancelled ? "Cancelled." : "Finished.", RenderJob::Phase::finished);
    return report;
}

} // namespace dunmoor
