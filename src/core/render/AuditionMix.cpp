#include "AuditionMix.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "core/audio/BufferMemory.h"
#include "core/audio/Resampler.h"

namespace dunmoor
{

namespace
{
    using Buffer = juce::AudioBuffer<double>;
    using BufferPtr = std::unique_ptr<Buffer>;

    constexpr int stripeFrames = 131072;
    constexpr int samplesPerRead = 4194304; // 32 MB of 64-bit samples

    /** Runs work on up to numThreads threads, this one included, and waits for all of them. */
    void runInParallel (int numThreads, const std::function<void()>& work)
    {
        std::vector<std::thread> helpers;

        for (int i = 1; i < numThreads; ++i)
        {
            try
            {
                helpers.emplace_back (work);
            }
            catch (...)
            {
                break; // fewer threads, the same result
            }
        }

        work();

        for (auto& helper : helpers)
            helper.join();
    }

    void parallelFor (int numTasks, int numThreads, const std::function<void (int)>& task)
    {
        std::atomic<int> next { 0 };
        runInParallel (std::min (numThreads, numTasks), [&] {
            for (int i = next++; i < numTasks; i = next++)
                task (i);
        });
    }

    /** Adds source frames [from, to) into the same frames of the mix: a one-channel source feeds
        every channel, otherwise channel c feeds channel c. The mix is given by its channel
        pointers: the buffer's own accessor writes a flag, which threads sharing it must not. */
    void addRange (double* const* mix, int mixChannels, const Buffer& source, int sourceOffset, int from, int to)
    {
        for (int ch = 0; ch < mixChannels && to > from; ++ch)
        {
            const int sourceChannel = source.getNumChannels() == 1 ? 0 : ch;

            if (sourceChannel < source.getNumChannels())
                juce::FloatVectorOperations::add (mix[ch] + from, source.getReadPointer (sourceChannel, from - sourceOffset), to - from);
        }
    }

    //==============================================================================
    class Mixer
    {
    public:
        Mixer (const AuditionRangeReader& readerToUse,
               std::vector<AuditionSource> sources,
               const AuditionMixSettings& settingsToUse,
               const CancelCheck& cancelToUse,
               const std::function<void (float)>& onProgressToUse)
            : reader (readerToUse), settings (settingsToUse), cancel (cancelToUse), onProgress (onProgressToUse)
        {
            int widest = 1;

            for (const auto& source : sources)
                if (source.probed)
                    widest = std::max (widest, source.info.numChannels);

            mixChannels = std::max (1, std::min (widest, settings.maxChannels));
            numThreads = std::max (1, settings.numThreads);
            maxOpenFiles = std::max (2, numThreads);

            for (auto& source : sources)
                files.push_back (plan (std::move (source)));
        }

        bool run (AuditionMix& result)
        {
            juce::int64 mixFrames = 0;
            int contributing = 0;

            for (int i = 0; i < (int) files.size(); ++i)
            {
                if (files[(size_t) i].phase == Phase::waiting)
                {
                    mixFrames = std::max (mixFrames, files[(size_t) i].outFrames);
                    directFile = i;
                    ++contributing;
                }
            }

            // One file needs no sum: it goes from its own buffers straight to 32-bit.
            direct = contributing == 1;

            if (contributing > 1)
            {
                try
                {
                    // calloc: fresh pages are zero already, so the sum needs no clearing pass.
                    mix.setSize (mixChannels, (int) mixFrames, false, true, false);
                    adviseLargeBuffer (mix);
                    mixPointers = mix.getArrayOfWritePointers();
                }
                catch (const std::bad_alloc&)
                {
                    result.errors = "There is not enough memory to hold this audition.";
                    return ! isCancelRequested (cancel);
                }

                numStripes = (int) ((mixFrames + stripeFrames - 1) / stripeFrames);
                stripes.assign ((size_t) numStripes, Stripe());
            }

            if (contributing > 0)
                runInParallel (numThreads, [this] { work(); });

            if (isCancelRequested (cancel))
                return false;

            result.errors = joinErrors();

            if (direct && files[(size_t) directFile].phase == Phase::ready)
            {
                auto& f = files[(size_t) directFile];
                f.phase = Phase::summed;
                std::vector<Piece> pieces;

                if (f.converted != nullptr)
                    pieces.push_back ({ f.converted.get(), 0 });
                else
                    for (int k = 0; k < f.numSegments; ++k)
                        pieces.push_back ({ f.segments[(size_t) k].get(), k * f.segmentFrames });

                result.filesLoaded = 1;
                return finish (pieces, f.keepChannels, (int) f.outFrames, result);
            }

            result.filesLoaded = (int) std::count_if (files.begin(), files.end(), [] (const FileState& f) { return f.phase == Phase::summed; });

            if (result.filesLoaded == 0)
                return true;

            // A file that failed after planning leaves no silent tail behind the others.
            juce::int64 loadedFrames = 0;

            for (const auto& f : files)
                if (f.phase == Phase::summed)
                    loadedFrames = std::max (loadedFrames, f.outFrames);

            return finish ({ { &mix, 0 } }, mixChannels, (int) loadedFrames, result);
        }

    private:
        enum class Phase
        {
            waiting,       // to be read
            reading,       // segments being read
            needsResample, // read at its own rate
            resampling,
            ready,         // at the reading rate, to be summed
            summed,        // added into every stripe and released
            skipped,       // ends before the window: no audio, no message
            failed         // no audio, an error
        };

        struct FileState
        {
            AuditionSource source;
            Phase phase = Phase::waiting;
            juce::String error;
            juce::int64 startFrame = 0, frameCount = 0, outFrames = 0;
            int keepChannels = 1;
            bool resample = false;
            int segmentFrames = 0, numSegments = 0, segmentsTaken = 0, segmentsDone = 0;
            bool readFailed = false;
            int stripesDone = 0;
            bool opened = false;
            std::vector<BufferPtr> segments; // at its own rate, the kept channels
            BufferPtr converted;             // at the reading rate, when it needed converting
        };

        struct Stripe
        {
            int nextFile = 0; // the first file not yet added
            bool busy = false;
            bool finished = false;
        };

        enum class TaskKind
        {
            sum,
            read,
            resample
        };

        struct Task
        {
            TaskKind kind = TaskKind::sum;
            int file = 0;          // read, resample; sum: the first file
            int endFile = 0;       // sum: the file after the last one it covers
            int index = 0;         // stripe or segment
            std::vector<int> adds; // sum: the files it adds, in order
            juce::String error;
            BufferPtr buffer; // what a read or conversion made
        };

        /** Part of a signal: a buffer and the frame of the whole at which it starts. */
        struct Piece
        {
            const Buffer* buffer = nullptr;
            int start = 0;
        };

        FileState plan (AuditionSource source) const
        {
            FileState f;
            f.source = std::move (source);

            if (! f.source.probed)
            {
                f.phase = Phase::failed;
                f.error = f.source.probeError;
                return f;
            }

            // The same frame arithmetic as the core's range reader, so the result is the one it gives.
            const auto& info = f.source.info;
            const auto rate = info.sampleRate;
            const auto total = info.lengthInSamples;
            f.startFrame = (juce::int64) std::min (std::max (0.0, settings.windowStart) * rate, (double) total);
            f.frameCount = std::min ((juce::int64) std::min (settings.windowLength * rate, (double) total), total - f.startFrame);

            if (f.frameCount <= 0)
            {
                const bool endsBeforeWindow = rate <= 0.0 || (double) total / rate <= settings.windowStart;
                f.phase = endsBeforeWindow ? Phase::skipped : Phase::failed;

                if (! endsBeforeWindow)
                    f.error = "The requested range starts past the end of the file.";

                return f;
            }

            f.resample = std::abs (settings.readingRate - rate) > 0.5;
            f.outFrames = f.resample ? getResampledLength (f.frameCount, rate, settings.readingRate) : f.frameCount;
            f.keepChannels = std::min (info.numChannels, mixChannels);
            f.segmentFrames = settings.readFrames > 0 ? settings.readFrames : std::max (65536, samplesPerRead / std::max (1, info.numChannels));
            f.numSegments = (int) ((f.frameCount + f.segmentFrames - 1) / f.segmentFrames);
            f.segments.resize ((size_t) f.numSegments);

            if (f.outFrames > maxReadFrames)
            {
                f.phase = Phase::failed;
                f.error = "The window is too long to play.";
            }

            return f;
        }

        //==============================================================================
        void work()
        {
            std::vector<BufferPtr> toFree;

            for (;;)
            {
                Task task;
                {
                    std::unique_lock<std::mutex> lock (mutex);

                    for (;;)
                    {
                        if (isCancelRequested (cancel) || isDone())
                        {
                            lock.unlock();
                            condition.notify_all();
                            return;
                        }

                        if (findTask (task, toFree))
                            break;

                        condition.wait_for (lock, std::chrono::milliseconds (5));
                    }
                }

                toFree.clear(); // large buffers go back outside the lock
                const bool ok = perform (task);

                {
                    const std::lock_guard<std::mutex> lock (mutex);
                    complete (task, ok, toFree);
                }

                condition.notify_all();
                toFree.clear();
            }
        }

        bool isDone() const
        {
            if (direct)
            {
                const auto phase = files[(size_t) directFile].phase;
                return phase == Phase::ready || phase == Phase::failed;
            }

            return stripesFinished == numStripes;
        }

        static bool bringsNoAudio (const FileState& f)
        {
            return f.phase == Phase::skipped || f.phase == Phase::failed;
        }

        // Moves the stripe past files that bring nothing to it: files without audio, and files
        // that end before the stripe starts.
        void advanceStripe (int s, std::vector<BufferPtr>& toFree)
        {
            auto& stripe = stripes[(size_t) s];
            const auto stripeStart = (juce::int64) s * stripeFrames;
            const int n = (int) files.size();

            while (stripe.nextFile < n)
            {
                auto& f = files[(size_t) stripe.nextFile];

                if (bringsNoAudio (f))
                {
                    ++stripe.nextFile;
                }
                else if (f.outFrames <= stripeStart)
                {
                    ++stripe.nextFile;
                    noteStripeDone (f, toFree);
                }
                else
                {
                    break;
                }
            }

            if (stripe.nextFile >= n && ! stripe.finished && ! stripe.busy)
            {
                stripe.finished = true;
                ++stripesFinished;
            }
        }

        void noteStripeDone (FileState& f, std::vector<BufferPtr>& toFree)
        {
            if (++f.stripesDone < numStripes || f.phase != Phase::ready)
                return;

            release (f, toFree);
            f.phase = Phase::summed;
            reportProgress();
        }

        void release (FileState& f, std::vector<BufferPtr>& toFree)
        {
            for (auto& segment : f.segments)
                if (segment != nullptr)
                    toFree.push_back (std::move (segment));

            if (f.converted != nullptr)
                toFree.push_back (std::move (f.converted));

            if (f.opened)
            {
                f.opened = false;
                --openFiles;
            }
        }

        bool findTask (Task& task, std::vector<BufferPtr>& toFree)
        {
            const int n = (int) files.size();

            // Summing first: it frees memory and keeps the reads flowing. A task adds every file
            // that is ready in a row, so the stripe's part of the sum is fetched only once.
            for (int s = 0; s < numStripes; ++s)
            {
                auto& stripe = stripes[(size_t) s];

                if (stripe.busy || stripe.finished)
                    continue;

                advanceStripe (s, toFree);

                if (stripe.finished || files[(size_t) stripe.nextFile].phase != Phase::ready)
                    continue;

                const auto stripeStart = (juce::int64) s * stripeFrames;
                task.kind = TaskKind::sum;
                task.index = s;
                task.file = stripe.nextFile;
                task.adds.clear();
                int k = stripe.nextFile;

                for (; k < n; ++k)
                {
                    const auto& f = files[(size_t) k];

                    if (f.phase == Phase::ready && f.outFrames > stripeStart)
                        task.adds.push_back (k);
                    else if (! bringsNoAudio (f) && f.outFrames > stripeStart)
                        break;
                }

                task.endFile = k;
                stripe.busy = true;
                return true;
            }

            for (int i = 0; i < n; ++i)
            {
                if (files[(size_t) i].phase == Phase::needsResample)
                {
                    files[(size_t) i].phase = Phase::resampling;
                    task.kind = TaskKind::resample;
                    task.file = i;
                    return true;
                }
            }

            while (nextFileToRead < n)
            {
                auto& f = files[(size_t) nextFileToRead];

                if (f.phase == Phase::waiting)
                {
                    if (openFiles >= maxOpenFiles)
                        return false;

                    ++openFiles;
                    f.opened = true;
                    f.phase = Phase::reading;
                }

                if (f.phase == Phase::reading && ! f.readFailed && f.segmentsTaken < f.numSegments)
                {
                    task.kind = TaskKind::read;
                    task.file = nextFileToRead;
                    task.index = f.segmentsTaken++;
                    return true;
                }

                ++nextFileToRead;
            }

            return false;
        }

        std::pair<int, int> stripeRange (int s) const
        {
            const auto start = (juce::int64) s * stripeFrames;
            return { (int) start, (int) std::min<juce::int64> (start + stripeFrames, mix.getNumSamples()) };
        }

        // Runs outside the lock: a task owns its stripe or segment, and a file's buffers do not
        // change while it is summed.
        bool perform (Task& task)
        {
            switch (task.kind)
            {
                case TaskKind::sum:
                {
                    // In blocks small enough that the mix's part stays in the cache while each
                    // file, in order, is added to it.
                    const auto [from, to] = stripeRange (task.index);
                    constexpr int blockFrames = 8192;

                    for (int blockStart = from; blockStart < to; blockStart += blockFrames)
                        for (const int i : task.adds)
                            addFile (files[(size_t) i], blockStart, std::min (to, blockStart + blockFrames));

                    return true;
                }

                case TaskKind::read:
                    return readSegment (task);

                case TaskKind::resample:
                    return convert (task);
            }

            return false;
        }

        bool readSegment (Task& task)
        {
            const auto& f = files[(size_t) task.file]; // plan fields: fixed while reading
            const auto rate = f.source.info.sampleRate;
            const auto offset = (juce::int64) task.index * f.segmentFrames;
            const auto count = (int) std::min<juce::int64> (f.segmentFrames, f.frameCount - offset);
            const auto first = f.startFrame + offset;

            if (isCancelRequested (cancel))
                return false;

            // Half a frame in, so the reader's truncation lands exactly on the frame meant.
            auto segment = std::make_unique<Buffer>();
            juce::String error;

            if (! reader (f.source.file, ((double) first + 0.5) / rate, ((double) count + 0.5) / rate, *segment, error))
            {
                task.error = error.isNotEmpty() ? error : juce::String ("The audio data could not be read.");
                return false;
            }

            if (segment->getNumSamples() != count || segment->getNumChannels() < f.keepChannels)
            {
                task.error = "The file changed while it was being read.";
                return false;
            }

            try
            {
                // A file wider than the device keeps only the channels it plays.
                if (segment->getNumChannels() > f.keepChannels)
                {
                    auto narrow = std::make_unique<Buffer> (f.keepChannels, count);

                    for (int ch = 0; ch < f.keepChannels; ++ch)
                        narrow->copyFrom (ch, 0, *segment, ch, 0, count);

                    segment = std::move (narrow);
                }
            }
            catch (const std::bad_alloc&)
            {
                task.error = "There is not enough memory to read it.";
                return false;
            }

            task.buffer = std::move (segment);
            return true;
        }

        bool convert (Task& task)
        {
            const auto& f = files[(size_t) task.file]; // only this task touches the file now

            try
            {
                // The conversion wants the window in one piece, as the core's reader has it.
                Buffer whole (f.keepChannels, (int) f.frameCount);
                adviseLargeBuffer (whole);

                for (int k = 0; k < f.numSegments; ++k)
                    for (int ch = 0; ch < f.keepChannels; ++ch)
                        whole.copyFrom (ch, k * f.segmentFrames, *f.segments[(size_t) k], ch, 0, f.segments[(size_t) k]->getNumSamples());

                auto converted = std::make_unique<Buffer>();

                if (! resampleBuffer (whole, f.source.info.sampleRate, settings.readingRate, *converted, task.error, cancel))
                    return false;

                task.buffer = std::move (converted);
                return true;
            }
            catch (const std::bad_alloc&)
            {
                task.error = "There is not enough memory to convert its sample rate.";
                return false;
            }
        }

        void complete (Task& task, bool ok, std::vector<BufferPtr>& toFree)
        {
            switch (task.kind)
            {
                case TaskKind::sum:
                {
                    auto& stripe = stripes[(size_t) task.index];
                    stripe.busy = false;

                    // Every file the task passed is done with this stripe: added, or ending before it.
                    for (int i = task.file; i < task.endFile; ++i)
                        if (! bringsNoAudio (files[(size_t) i]))
                            noteStripeDone (files[(size_t) i], toFree);

                    stripe.nextFile = task.endFile;
                    advanceStripe (task.index, toFree);
                    break;
                }

                case TaskKind::read:
                {
                    auto& f = files[(size_t) task.file];
                    ++f.segmentsDone;

                    if (ok)
                    {
                        f.segments[(size_t) task.index] = std::move (task.buffer);
                    }
                    else if (! f.readFailed)
                    {
                        f.readFailed = true;
                        f.error = task.error;
                    }

                    // After a failure no further segment is taken; the file settles once those
                    // in flight are back, so nothing writes into a released buffer.
                    if (f.segmentsDone == f.segmentsTaken && (f.readFailed || f.segmentsDone == f.numSegments))
                    {
                        if (f.readFailed)
                            fail (f, f.error, toFree);
                        else
                            f.phase = f.resample ? Phase::needsResample : Phase::ready;
                    }

                    break;
                }

                case TaskKind::resample:
                {
                    auto& f = files[(size_t) task.file];

                    if (! ok)
                    {
                        fail (f, task.error, toFree);
                        break;
                    }

                    for (auto& segment : f.segments)
                        toFree.push_back (std::move (segment));

                    f.converted = std::move (task.buffer);
                    f.outFrames = f.converted->getNumSamples();
                    f.phase = Phase::ready;
                    break;
                }
            }
        }

        void fail (FileState& f, const juce::String& error, std::vector<BufferPtr>& toFree)
        {
            release (f, toFree);
            f.phase = Phase::failed;
            f.error = error;
            reportProgress();
        }

        void reportProgress()
        {
            const auto settled = std::count_if (files.begin(), files.end(), [] (const FileState& f) {
                return f.phase == Phase::summed || bringsNoAudio (f);
            });

            if (onProgress != nullptr)
                onProgress ((float) settled / (float) std::max<size_t> (1, files.size()));
        }

        juce::String joinErrors() const
        {
            juce::String errors;

            for (const auto& f : files)
            {
                if (f.error.isEmpty())
                    continue;

                if (errors.isNotEmpty())
                    errors << "; ";

                errors << f.source.file.getFileName() << ": " << f.error;
            }

            return errors;
        }

        // Adds frames [from, to) of a ready file into the mix.
        void addFile (const FileState& f, int from, int to)
        {
            to = (int) std::min<juce::int64> (to, f.outFrames);

            if (f.converted != nullptr)
            {
                addRange (mixPointers, mixChannels, *f.converted, 0, from, to);
                return;
            }

            for (int k = from / f.segmentFrames; k < f.numSegments && k * f.segmentFrames < to; ++k)
            {
                const int segmentStart = k * f.segmentFrames;
                const auto& segment = *f.segments[(size_t) k];
                addRange (mixPointers, mixChannels, segment, segmentStart, std::max (from, segmentStart), std::min (to, segmentStart + segment.getNumSamples()));
            }
        }

        // Scales a signal that would clip to full scale, converts it to 32-bit and takes the
        // overview of what will play. The pieces cover frames 0..frames of `channels` channels.
        bool finish (const std::vector<Piece>& pieces, int channels, int frames, AuditionMix& result)
        {
            struct Chunk
            {
                const Buffer* buffer;
                int bufferStart; // the frame in the buffer
                int start;       // the frame of the whole
                int length;
            };

            std::vector<Chunk> chunks;

            for (const auto& piece : pieces)
                for (int at = 0; at < piece.buffer->getNumSamples() && piece.start + at < frames; at += stripeFrames)
                    chunks.push_back ({ piece.buffer, at, piece.start + at, std::min ({ stripeFrames, piece.buffer->getNumSamples() - at, frames - piece.start - at }) });

            std::vector<double> peaks (chunks.size(), 0.0);
            parallelFor ((int) chunks.size(), numThreads, [&] (int c) {
                const auto& chunk = chunks[(size_t) c];

                for (int ch = 0; ch < std::min (channels, chunk.buffer->getNumChannels()); ++ch)
                {
                    const auto range = juce::FloatVectorOperations::findMinAndMax (chunk.buffer->getReadPointer (ch, chunk.bufferStart), chunk.length);
                    peaks[(size_t) c] = std::max ({ peaks[(size_t) c], std::abs (range.getStart()), std::abs (range.getEnd()) });
                }
            });

            const auto peak = peaks.empty() ? 0.0 : *std::max_element (peaks.begin(), peaks.end());
            const double gain = peak > 1.0 ? 1.0 / peak : 1.0;

            try
            {
                result.audio = std::make_shared<juce::AudioBuffer<float>> (channels, frames);
                adviseLargeBuffer (*result.audio);
            }
            catch (const std::bad_alloc&)
            {
                result.audio.reset();
                result.errors = "There is not enough memory to hold this audition.";
                result.filesLoaded = 0;
                return true;
            }

            auto& audio = *result.audio;
            float* const* audioPointers = audio.getArrayOfWritePointers(); // once, before the threads share it
            parallelFor ((int) chunks.size(), numThreads, [&] (int c) {
                const auto& chunk = chunks[(size_t) c];

                for (int ch = 0; ch < channels; ++ch)
                {
                    const double* in = chunk.buffer->getReadPointer (std::min (ch, chunk.buffer->getNumChannels() - 1), chunk.bufferStart);
                    float* out = audioPointers[ch] + chunk.start;

                    if (gain != 1.0)
                        for (int i = 0; i < chunk.length; ++i)
                            out[i] = (float) (in[i] * gain);
                    else
                        for (int i = 0; i < chunk.length; ++i)
                            out[i] = (float) in[i];
                }
            });

            result.overview = overviewFromBuffer (audio, settings.readingRate, settings.overviewBuckets);
            return ! isCancelRequested (cancel);
        }

        const AuditionRangeReader& reader;
        const AuditionMixSettings settings;
        const CancelCheck& cancel;
        const std::function<void (float)>& onProgress;
        int mixChannels = 2;
        int numThreads = 1;
        int maxOpenFiles = 2;
        bool direct = false; // one file: no sum
        int directFile = -1;

        std::mutex mutex;
        std::condition_variable condition;
        std::vector<FileState> files;
        std::vector<Stripe> stripes;
        int numStripes = 0;
        int stripesFinished = 0;
        int nextFileToRead = 0;
        int openFiles = 0;
        Buffer mix;
        double* const* mixPointers = nullptr;
    };
} // namespace

bool mixAuditionWindow (const AuditionRangeReader& reader,
                        std::vector<AuditionSource> sources,
                        const AuditionMixSettings& settings,
                        const CancelCheck& cancel,
                        const std::function<void (float)>& onProgress,
                        AuditionMix& result)
{
    result = {};
    Mixer mixer (reader, std::move (sources), settings, cancel, onProgress);
    return mixer.run (result);
}

} // namespace dunmoor
