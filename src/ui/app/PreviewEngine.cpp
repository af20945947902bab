#include "PreviewEngine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "core/audio/AudioFileReader.h"
#include "core/audio/Resampler.h"

namespace dunmoor::ui
{

namespace
{
    constexpr double defaultRate = 48000.0;
    constexpr double fadeSeconds = 0.002;
    constexpr double crossfadeSeconds = 0.006;
    constexpr double firstSoundThreshold = 0.005; // of the mix's peak
    constexpr double firstSoundLeadIn = 0.05;     // seconds before it
    constexpr double playFromWindowStart = -1.0;

    double rateOrDefault (double rate) noexcept
    {
        return rate > 0.0 ? rate : defaultRate;
    }

    double clampFraction (double fraction) noexcept
    {
        return std::isfinite (fraction) ? juce::jlimit (0.0, 1.0, fraction) : 0.0;
    }

    // A linear ramp of `length` samples with `remaining` still to go: 0 at its first sample, 1 at
    // its last and after it. It continues across blocks because `remaining` counts down.
    float rampValue (int j, int length, int remaining) noexcept
    {
        const int rampLength = std::max (2, length);
        const int span = std::max (1, rampLength - 1);
        const int k = j + (rampLength - remaining);
        return (float) juce::jlimit (0, span, k) / (float) span;
    }

    juce::Array<juce::File> filesFromPaths (const juce::StringArray& paths)
    {
        juce::Array<juce::File> files;

        for (const auto& path : paths)
            files.add (juce::File::isAbsolutePath (path) ? juce::File (path) : juce::File());

        return files;
    }

    /** Runs work (0..numTasks-1) on up to numThreads threads, this one included, and waits for all. */
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
                break; // fewer threads, same result
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
} // namespace

//==============================================================================
struct PreviewEngine::Request
{
    juce::uint64 generation = 0;
    juce::Array<juce::File> files;
    double rate = defaultRate;
    double start = 0.0;
    double playFrom = 0.0;
    bool autoplay = true;
};

struct PreviewEngine::LoadResult
{
    std::shared_ptr<juce::AudioBuffer<float>> buffer;
    double rate = defaultRate;
    double windowStart = 0.0;
    double sourceLength = 0.0;
    double playFrom = 0.0;
    bool autoplay = true;
    WaveformOverview overview;
    int filesLoaded = 0;
    juce::String errors;
};

//==============================================================================
/**
    Reads every file's part of the window and sums them in file order, with several threads.

    Each file is read at its own rate in segments of bounded size, keeping only the channels the
    output can play, then converted to the reading rate as a whole (exactly as the core's range
    reader would convert it). The sum is cut into stripes of time; a stripe adds file i only after
    it has added every earlier file, so each sample is summed in the same order as a plain loop
    over the files, whatever order the reads finish in. At most a few files are held at once.
*/
class PreviewEngine::MixBuilder
{
public:
    struct Source
    {
        juce::File file;
        AudioFileInfo info;
        bool probed = false;
        juce::String probeError;
    };

    MixBuilder (const RangeReader& readerToUse,
                std::vector<Source> sourcesToUse,
                double readingRateToUse,
                double windowStartSeconds,
                double windowSeconds,
                int mixChannelsToUse,
                int numThreadsToUse,
                int readFramesToUse,
                CancelCheck cancelToUse,
                std::function<void (float)> onProgressToUse)
        : reader (readerToUse)
        , readingRate (readingRateToUse)
        , mixChannels (mixChannelsToUse)
        , numThreads (std::max (1, numThreadsToUse))
        , readFrames (readFramesToUse)
        , cancel (std::move (cancelToUse))
        , onProgress (std::move (onProgressToUse))
    {
        for (auto& source : sourcesToUse)
            files.push_back (plan (std::move (source), windowStartSeconds, windowSeconds));

        maxOpenFiles = std::max (2, numThreads / 2);
    }

    /** False when cancelled; otherwise the mix, the count of files in it and the joined errors
        are ready (the mix may be empty when nothing could be read). */
    bool build()
    {
        juce::int64 mixFrames = 0;

        for (const auto& f : files)
            if (f.phase == Phase::waiting)
                mixFrames = std::max (mixFrames, f.outFrames);

        if (mixFrames > 0)
        {
            try
            {
                mix.setSize (mixChannels, (int) mixFrames, false, false, false);
            }
            catch (const std::bad_alloc&)
            {
                memoryError = "There is not enough memory to hold this audition.";
                return ! isCancelRequested (cancel);
            }

            numStripes = (int) ((mixFrames + stripeFrames - 1) / stripeFrames);
            stripes.assign ((size_t) numStripes, Stripe());
            runInParallel (numThreads, [this] { work(); });
        }

        if (isCancelRequested (cancel))
            return false;

        // A file that failed after planning leaves no silent tail behind the others.
        juce::int64 loadedFrames = 0;

        for (const auto& f : files)
            if (f.phase == Phase::summed)
                loadedFrames = std::max (loadedFrames, f.outFrames);

        if (loadedFrames < mix.getNumSamples())
            mix.setSize (mixChannels, (int) loadedFrames, true, false, true);

        return true;
    }

    int getFilesLoaded() const
    {
        return (int) std::count_if (files.begin(), files.end(), [] (const FileState& f) { return f.phase == Phase::summed; });
    }

    juce::String getErrors() const
    {
        if (memoryError.isNotEmpty())
            return memoryError;

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

    juce::AudioBuffer<double> mix;

private:
    enum class Phase
    {
        waiting,        // to be read
        reading,        // segments being read
        needsResample,  // read, at its own rate
        resampling,
        ready,          // at the reading rate, to be summed
        summed,         // added into every stripe, released
        skipped,        // ends before the window: no audio, no message
        failed          // no audio, an error
    };

    struct FileState
    {
        Source source;
        Phase phase = Phase::waiting;
        juce::String error;
        double fileRate = 0.0;
        juce::int64 startFrame = 0;
        juce::int64 frameCount = 0;
        juce::int64 outFrames = 0;
        int keepChannels = 1;
        bool resample = false;
        int segmentFrames = 0;
        int numSegments = 0;
        int segmentsTaken = 0;
        int segmentsDone = 0;
        bool readFailed = false;
        int stripesDone = 0;
        std::unique_ptr<juce::AudioBuffer<double>> data;
    };

    struct Stripe
    {
        int nextFile = 0;
        bool busy = false;
        bool zeroed = false;
    };

    enum class TaskKind
    {
        none,
        zero,
        sum,
        read,
        resample
    };

    struct Task
    {
        TaskKind kind = TaskKind::none;
        int file = 0;
        int index = 0; // stripe or segment
        juce::AudioBuffer<double>* data = nullptr;

        // What perform() hands to complete().
        juce::String error;
        std::unique_ptr<juce::AudioBuffer<double>> converted;
    };

    static constexpr juce::int64 stripeFrames = 131072;
    static constexpr int segmentSamples = 4194304; // 32 MB of 64-bit samples per read

    FileState plan (Source source, double windowStartSeconds, double windowSeconds) const
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
        f.fileRate = info.sampleRate;
        const auto total = info.lengthInSamples;
        f.startFrame = (juce::int64) std::min (std::max (0.0, windowStartSeconds) * f.fileRate, (double) total);
        f.frameCount = std::min ((juce::int64) std::min (windowSeconds * f.fileRate, (double) total), total - f.startFrame);

        if (f.frameCount <= 0)
        {
            const bool endsBeforeWindow = f.fileRate <= 0.0 || (double) total / f.fileRate <= windowStartSeconds;
            f.phase = endsBeforeWindow ? Phase::skipped : Phase::failed;

            if (! endsBeforeWindow)
                f.error = "The requested range starts past the end of the file.";

            return f;
        }

        f.resample = std::abs (readingRate - f.fileRate) > 0.5;
        f.outFrames = f.resample ? getResampledLength (f.frameCount, f.fileRate, readingRate) : f.frameCount;
        f.keepChannels = info.numChannels == 1 ? 1 : std::min (info.numChannels, mixChannels);
        f.segmentFrames = readFrames > 0 ? readFrames : std::max (65536, segmentSamples / std::max (1, info.numChannels));
        f.numSegments = (int) ((f.frameCount + f.segmentFrames - 1) / f.segmentFrames);

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
        std::vector<std::unique_ptr<juce::AudioBuffer<double>>> toFree;

        for (;;)
        {
            Task task;
            {
                std::unique_lock<std::mutex> lock (mutex);

                for (;;)
                {
                    if (isCancelRequested (cancel) || stripesFinished == numStripes)
                    {
                        lock.unlock();
                        condition.notify_all();
                        return;
                    }

                    if (findTask (task))
                        break;

                    condition.wait_for (lock, std::chrono::milliseconds (5));
                }
            }

            toFree.clear();
            const bool ok = perform (task);

            {
                const std::lock_guard<std::mutex> lock (mutex);
                complete (task, ok, toFree);
            }

            condition.notify_all();
            toFree.clear();
        }
    }

    bool isSettledWithoutAudio (const FileState& f) const
    {
        return f.phase == Phase::skipped || f.phase == Phase::failed;
    }

    // Moves the stripe past files that bring no audio; counts it once when it has passed them all.
    void advanceStripe (Stripe& stripe)
    {
        const int n = (int) files.size();

        while (stripe.nextFile < n && isSettledWithoutAudio (files[(size_t) stripe.nextFile]))
            ++stripe.nextFile;

        if (stripe.nextFile >= n && ! stripe.busy)
        {
            stripe.nextFile = n + 1; // counted
            ++stripesFinished;
        }
    }

    bool findTask (Task& task)
    {
        const int n = (int) files.size();

        // Summing first: it frees memory and keeps the reads flowing.
        for (int s = 0; s < numStripes; ++s)
        {
            auto& stripe = stripes[(size_t) s];

            if (stripe.busy || stripe.nextFile > n)
                continue;

            if (! stripe.zeroed)
            {
                stripe.busy = true;
                task.kind = TaskKind::zero;
                task.index = s;
                return true;
            }

            advanceStripe (stripe);

            if (stripe.nextFile < n && files[(size_t) stripe.nextFile].phase == Phase::ready)
            {
                stripe.busy = true;
                task.kind = TaskKind::sum;
                task.file = stripe.nextFile;
                task.index = s;
                task.data = files[(size_t) stripe.nextFile].data.get();
                return true;
            }
        }

        for (int i = 0; i < n; ++i)
        {
            if (files[(size_t) i].phase == Phase::needsResample)
            {
                files[(size_t) i].phase = Phase::resampling;
                task.kind = TaskKind::resample;
                task.file = i;
                task.data = files[(size_t) i].data.get();
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

                try
                {
                    f.data = std::make_unique<juce::AudioBuffer<double>> (f.keepChannels, (int) f.frameCount);
                }
                catch (const std::bad_alloc&)
                {
                    f.phase = Phase::failed;
                    f.error = "There is not enough memory to read it.";
                    f.data.reset();
                    continue;
                }

                ++openFiles;
                f.phase = Phase::reading;
            }

            if (f.phase == Phase::reading && ! f.readFailed && f.segmentsTaken < f.numSegments)
            {
                task.kind = TaskKind::read;
                task.file = nextFileToRead;
                task.index = f.segmentsTaken++;
                task.data = f.data.get();
                return true;
            }

            ++nextFileToRead;
        }

        return false;
    }

    bool perform (Task& task)
    {
        switch (task.kind)
        {
            case TaskKind::zero:
            {
                const auto [start, end] = stripeRange (task.index);

                for (int ch = 0; ch < mix.getNumChannels(); ++ch)
                    juce::FloatVectorOperations::clear (mix.getWritePointer (ch, start), end - start);

                return true;
            }

            case TaskKind::sum:
            {
                const auto [start, stripeEnd] = stripeRange (task.index);
                const auto& source = *task.data;
                const int end = (int) std::min<juce::int64> (stripeEnd, source.getNumSamples());

                for (int ch = 0; ch < mix.getNumChannels() && end > start; ++ch)
                {
                    const int sourceChannel = source.getNumChannels() == 1 ? 0 : ch;

                    if (sourceChannel < source.getNumChannels())
                        juce::FloatVectorOperations::add (mix.getWritePointer (ch, start), source.getReadPointer (sourceChannel, start), end - start);
                }

                return true;
            }

            case TaskKind::read:
                return readSegment (task);

            case TaskKind::resample:
            {
                auto& f = files[(size_t) task.file]; // only this task touches the file's data now
                auto converted = std::make_unique<juce::AudioBuffer<double>>();
                juce::String error;

                try
                {
                    if (! resampleBuffer (*task.data, f.fileRate, readingRate, *converted, error, cancel))
                    {
                        task.error = error;
                        return false;
                    }
                }
                catch (const std::bad_alloc&)
                {
                    task.error = "There is not enough memory to convert its sample rate.";
                    return false;
                }

                task.converted = std::move (converted);
                return true;
            }

            case TaskKind::none:
                break;
        }

        return false;
    }

    bool readSegment (Task& task)
    {
        const auto& f = files[(size_t) task.file]; // plan fields only: fixed while reading
        const auto offset = (juce::int64) task.index * f.segmentFrames;
        const auto count = (int) std::min<juce::int64> (f.segmentFrames, f.frameCount - offset);
        const auto first = f.startFrame + offset;

        if (isCancelRequested (cancel))
            return false;

        // Half a frame in, so the reader's truncation lands exactly on the frame we mean.
        juce::AudioBuffer<double> segment;
        juce::String error;
        const bool ok = reader (f.source.file, ((double) first + 0.5) / f.fileRate, ((double) count + 0.5) / f.fileRate, segment, error);

        if (! ok)
        {
            task.error = error.isNotEmpty() ? error : juce::String ("The audio data could not be read.");
            return false;
        }

        if (segment.getNumSamples() != count || segment.getNumChannels() < f.keepChannels)
        {
            task.error = "The file changed while it was being read.";
            return false;
        }

        for (int ch = 0; ch < f.keepChannels; ++ch)
            juce::FloatVectorOperations::copy (task.data->getWritePointer (ch, (int) offset), segment.getReadPointer (ch), count);

        return true;
    }

    void complete (Task& task, bool ok, std::vector<std::unique_ptr<juce::AudioBuffer<double>>>& toFree)
    {
        switch (task.kind)
        {
            case TaskKind::zero:
            {
                auto& stripe = stripes[(size_t) task.index];
                stripe.busy = false;
                stripe.zeroed = true;
                advanceStripe (stripe);
                break;
            }

            case TaskKind::sum:
            {
                auto& stripe = stripes[(size_t) task.index];
                auto& f = files[(size_t) task.file];
                stripe.busy = false;
                ++stripe.nextFile;

                if (++f.stripesDone == numStripes)
                {
                    toFree.push_back (std::move (f.data));
                    f.phase = Phase::summed;
                    --openFiles;
                    reportProgress();
                }

                advanceStripe (stripe);
                break;
            }

            case TaskKind::read:
            {
                auto& f = files[(size_t) task.file];
                ++f.segmentsDone;

                // After a failure no further segment is taken; the file settles once those in
                // flight are back, so nothing writes into its buffer after it is released.
                if (! ok && ! f.readFailed)
                {
                    f.readFailed = true;
                    f.error = task.error;
                }

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

                if (ok)
                {
                    toFree.push_back (std::move (f.data));
                    f.data = std::move (task.converted);
                    f.phase = Phase::ready;
                }
                else
                {
                    fail (f, task.error, toFree);
                }

                break;
            }

            case TaskKind::none:
                break;
        }
    }

    void fail (FileState& f, const juce::String& error, std::vector<std::unique_ptr<juce::AudioBuffer<double>>>& toFree)
    {
        f.phase = Phase::failed;
        f.error = error;

        if (f.data != nullptr)
        {
            toFree.push_back (std::move (f.data));
            --openFiles;
        }

        reportProgress();
    }

    void reportProgress()
    {
        const auto settled = std::count_if (files.begin(), files.end(), [] (const FileState& f) {
            return f.phase == Phase::summed || f.phase == Phase::failed || f.phase == Phase::skipped;
        });

        if (onProgress != nullptr)
            onProgress ((float) settled / (float) std::max<size_t> (1, files.size()));
    }

    std::pair<int, int> stripeRange (int stripe) const
    {
        const auto start = (juce::int64) stripe * stripeFrames;
        return { (int) start, (int) std::min<juce::int64> (start + stripeFrames, mix.getNumSamples()) };
    }

    const RangeReader& reader;
    const double readingRate;
    const int mixChannels;
    const int numThreads;
    const int readFrames;
    const CancelCheck cancel;
    const std::function<void (float)> onProgress;

    std::mutex mutex;
    std::condition_variable condition;
    std::vector<FileState> files;
    std::vector<Stripe> stripes;
    int numStripes = 0;
    int stripesFinished = 0;
    int nextFileToRead = 0;
    int openFiles = 0;
    int maxOpenFiles = 2;
    juce::String memoryError;

};

//==============================================================================
PreviewEngine::PreviewEngine (std::unique_ptr<juce::AudioIODeviceType> deviceType)
    : PreviewEngine (std::move (deviceType), Options())
{
}

PreviewEngine::PreviewEngine (std::unique_ptr<juce::AudioIODeviceType> deviceType, Options optionsToUse)
    : juce::Thread ("Brackenfold preview loader")
    , options (std::move (optionsToUse))
{
    if (options.readRange == nullptr)
    {
        options.readRange = [] (const juce::File& file, double start, double duration, juce::AudioBuffer<double>& out, juce::String& error) {
            return readAudioFileRange (file, 0.0, start, duration, out, error);
        };
    }

    if (options.maxReadThreads <= 0)
        options.maxReadThreads = juce::jlimit (1, 8, juce::SystemStats::getNumCpus());

    juce::String error;

    if (deviceType != nullptr)
    {
        deviceType->scanForDevices();
        deviceManager.addAudioDeviceType (std::move (deviceType));
        error = deviceManager.initialiseWithDefaultDevices (0, 2);
    }

    // Without a sound card the framework reports no error and simply opens nothing.
    auto* device = deviceManager.getCurrentAudioDevice();

    if (error.isEmpty() && device != nullptr && device->isOpen())
    {
        audioAvailable = true;
        outputChannels = std::max (1, device->getActiveOutputChannels().countNumberOfSetBits());
        player.setSource (this);
        deviceManager.addAudioCallback (&player);
        startThread (juce::Thread::Priority::low);
        startTimer (500);
    }
    else
    {
        deviceManager.closeAudioDevice();
        deviceErrorText = error.isNotEmpty() ? error : juce::String ("No audio output device could be opened.");
    }
}

PreviewEngine::~PreviewEngine()
{
    stopTimer();

    if (audioAvailable)
    {
        deviceManager.removeAudioCallback (&player);
        player.setSource (nullptr);
    }

    // Never killed: the loader polls this between blocks, so the wait is short, but unbounded.
    signalThreadShouldExit();
    notify();
    stopThread (-1);
    deviceManager.closeAudioDevice();
}

//==============================================================================
void PreviewEngine::play (const juce::Array<juce::File>& files,
                          double sampleRate,
                          const juce::String& labelText,
                          const juce::String& sourceId,
                          double startSeconds,
                          double playFromSeconds)
{
    stop();

    if (files.isEmpty() || ! audioAvailable)
        return;

    {
        const juce::ScopedLock requestScope (requestLock);
        requestedFiles = files;
        requestedRate = sampleRate > 0.0 ? sampleRate : defaultRate;

        {
            const juce::ScopedLock statusScope (statusLock);
            label = labelText;
            requestedSourceId = sourceId;
        }

        if (auto* device = deviceManager.getCurrentAudioDevice())
            outputLatency = device->getOutputLatencyInSamples();
    }

    requestLoad (std::max (0.0, startSeconds), true, playFromSeconds);
}

void PreviewEngine::play (const juce::StringArray& paths,
                          double sampleRate,
                          const juce::String& labelText,
                          const juce::String& sourceId,
                          double startSeconds,
                          double playFromSeconds)
{
    play (filesFromPaths (paths), sampleRate, labelText, sourceId, startSeconds, playFromSeconds);
}

void PreviewEngine::toggle (const juce::Array<juce::File>& files,
                            double sampleRate,
                            const juce::String& labelText,
                            const juce::String& sourceId,
                            double startSeconds,
                            double playFromSeconds)
{
    if (sourceId.isNotEmpty() && sourceId == getRequestedSourceId()
        && (playing.load() || loading.load() || publishedFrames.load() > 0))
    {
        stop();
        return;
    }

    play (files, sampleRate, labelText, sourceId, startSeconds, playFromSeconds);
}

void PreviewEngine::toggle (const juce::StringArray& paths,
                            double sampleRate,
                            const juce::String& labelText,
                            const juce::String& sourceId,
                            double startSeconds,
                            double playFromSeconds)
{
    toggle (filesFromPaths (paths), sampleRate, labelText, sourceId, startSeconds, playFromSeconds);
}

void PreviewEngine::stop()
{
    const juce::ScopedLock requestScope (requestLock);

    // A load in flight belongs to an older generation from here on: it never publishes.
    ++requestGeneration;
    loading = false;

    {
        const juce::SpinLock::ScopedLockType audioScope (audioLock);
        pendingSeek = -1;

        if (playing.load())
        {
            fadeInRemaining = 0;
            fadeOutLength = fadeOutRemaining = fadeLengthFor (fadeSeconds);
        }
        else
        {
            playhead = 0;
            publishedPlayhead = 0;
        }
    }

    {
        const juce::ScopedLock loadedScope (loadedLock);
        loadedSourceId.clear();
    }

    {
        const juce::ScopedLock statusScope (statusLock);
        statusText.clear();
        requestedSourceId.clear();
    }
}

void PreviewEngine::requestLoad (double startSeconds, bool autoplay, double playFromSeconds)
{
    {
        const juce::ScopedLock requestScope (requestLock);
        requestedStart = std::max (0.0, startSeconds);

        // Below the window start means the window start, which the loader may still move
        // (a start past the end plays the last moments); the first sound is found by the loader.
        if (playFromSeconds == playFromFirstSound)
            requestedPlayFrom = playFromFirstSound;
        else if (playFromSeconds < requestedStart)
            requestedPlayFrom = playFromWindowStart;
        else
            requestedPlayFrom = playFromSeconds;

        requestedAutoplay = autoplay;
        ++requestGeneration;

        {
            const juce::ScopedLock statusScope (statusLock);
            statusText = "Loading...";
        }

        loadProgress = 0.0f;
        loading = true;
    }

    notify();
}

void PreviewEngine::seekToFraction (double fraction)
{
    const bool wasPlaying = playing.load();
    double target = 0.0;

    {
        const juce::SpinLock::ScopedLockType audioScope (audioLock);

        if (buffer == nullptr || buffer->getNumSamples() == 0 || sourceLength <= 0.0)
            return;

        target = sourceLength * clampFraction (fraction);
        const auto rate = rateOrDefault (loadedRate);
        const auto frames = (juce::int64) buffer->getNumSamples();
        const auto offset = target - windowStart;

        if (offset >= 0.0 && offset < (double) frames / rate)
        {
            const auto sample = juce::jlimit<juce::int64> (0, frames - 1, (juce::int64) (rate * offset));

            if (playing.load())
            {
                pendingSeek = sample;
            }
            else
            {
                playhead = sample;
                publishedPlayhead = sample;
            }

            return;
        }
    }

    requestLoad (std::max (0.0, target - reloadLeadSeconds), wasPlaying, target);
}

void PreviewEngine::seekWithinWindow (double fraction)
{
    if (getLoadedSourceId().isEmpty())
        return;

    const juce::SpinLock::ScopedLockType audioScope (audioLock);

    if (buffer == nullptr || buffer->getNumSamples() == 0)
        return;

    const auto frames = (juce::int64) buffer->getNumSamples();
    const auto sample = juce::jlimit<juce::int64> (0, frames - 1, (juce::int64) (clampFraction (fraction) * (double) frames));

    if (playing.load())
    {
        pendingSeek = sample;
    }
    else
    {
        playhead = sample;
        publishedPlayhead = sample;
    }
}

//==============================================================================
bool PreviewEngine::isActiveFor (const juce::String& sourceId) const
{
    if (sourceId.isEmpty() || sourceId != getRequestedSourceId())
        return false;

    return playing.load() || loading.load() || publishedFrames.load() > 0;
}

juce::String PreviewEngine::getRequestedSourceId() const
{
    const juce::ScopedLock statusScope (statusLock);
    return requestedSourceId;
}

juce::String PreviewEngine::getLoadedSourceId() const
{
    const juce::ScopedLock loadedScope (loadedLock);
    return loadedSourceId;
}

juce::String PreviewEngine::getStatusText() const
{
    const juce::ScopedLock statusScope (statusLock);
    return statusText;
}

WaveformOverview PreviewEngine::getMixOverview() const
{
    const juce::ScopedLock loadedScope (loadedLock);
    return mixOverview;
}

double PreviewEngine::getSourceLength() const noexcept
{
    return publishedSourceLength.load();
}

PreviewEngine::LoadedWindow PreviewEngine::getLoadedWindow() const noexcept
{
    LoadedWindow window;
    const auto frames = publishedFrames.load();
    window.startSeconds = publishedWindowStart.load();
    window.lengthSeconds = frames > 0 ? (double) frames / rateOrDefault (publishedRate.load()) : 0.0;
    window.sourceLengthSeconds = publishedSourceLength.load();
    return window;
}

double PreviewEngine::getPlayheadSeconds() const noexcept
{
    if (publishedFrames.load() <= 0)
        return 0.0;

    const auto position = std::max<juce::int64> (0, publishedPlayhead.load() - outputLatency.load());
    return (double) position / rateOrDefault (publishedRate.load()) + publishedWindowStart.load();
}

double PreviewEngine::getPlayheadFraction() const noexcept
{
    const auto length = publishedSourceLength.load();

    if (publishedFrames.load() <= 0 || length <= 0.0)
        return -1.0;

    return juce::jlimit (0.0, 1.0, getPlayheadSeconds() / length);
}

double PreviewEngine::getWindowPosition() const noexcept
{
    const auto frames = publishedFrames.load();

    if (frames <= 0)
        return -1.0;

    const auto position = std::max<juce::int64> (0, publishedPlayhead.load() - outputLatency.load());
    return juce::jlimit (0.0, 1.0, (double) position / (double) frames);
}

int PreviewEngine::fadeLengthFor (double seconds) const noexcept
{
    const auto rate = deviceRate.load();
    return juce::jlimit (8, 8192, (int) (rateOrDefault (rate) * seconds));
}

//==============================================================================
void PreviewEngine::prepareToPlay (int, double sampleRate)
{
    deviceRate = sampleRate;
}

void PreviewEngine::getNextAudioBlock (const juce::AudioSourceChannelInfo& bufferToFill)
{
    bufferToFill.clearActiveBufferRegion();

    if (! playing.load())
        return;

    // Never wait here: a held lock costs one silent block, counted.
    const juce::SpinLock::ScopedTryLockType audioScope (audioLock);

    if (! audioScope.isLocked())
    {
        ++skippedBlocks;
        return;
    }

    if (! playing.load() || buffer == nullptr)
        return;

    const auto& source = *buffer;
    const auto frames = (juce::int64) source.getNumSamples();

    if (pendingSeek >= 0)
    {
        crossfadeSource = playhead;
        crossfadeLength = crossfadeRemaining = fadeLengthFor (crossfadeSeconds);
        playhead = juce::jlimit<juce::int64> (0, std::max<juce::int64> (0, frames - 1), pendingSeek);
        pendingSeek = -1;
    }

    if (frames - playhead > 0 && source.getNumChannels() > 0)
    {
        const int count = (int) std::min<juce::int64> (bufferToFill.numSamples, frames - playhead);
        const int sourceChannels = source.getNumChannels();

        for (int o = 0; o < bufferToFill.buffer->getNumChannels(); ++o)
        {
            const float* in = source.getReadPointer (std::min (o, sourceChannels - 1));
            float* out = bufferToFill.buffer->getWritePointer (o, bufferToFill.startSample);

            for (int j = 0; j < count; ++j)
            {
                float x = in[playhead + j];

                if (crossfadeRemaining > 0)
                {
                    const auto from = crossfadeSource + j;
                    const float y = (from >= 0 && from < frames) ? in[from] : 0.0f;
                    const float w = rampValue (j, crossfadeLength, crossfadeRemaining);
                    x = (1.0f - w) * y + w * x;
                }

                if (fadeInRemaining > 0)
                    x *= rampValue (j, fadeInLength, fadeInRemaining);

                if (fadeOutRemaining > 0)
                    x = j < fadeOutRemaining ? x * (1.0f - rampValue (j, fadeOutLength, fadeOutRemaining)) : 0.0f;

                out[j] = x;
            }
        }

        const bool fadingOut = fadeOutRemaining > 0;
        crossfadeRemaining = std::max (0, crossfadeRemaining - count);
        fadeInRemaining = std::max (0, fadeInRemaining - count);
        fadeOutRemaining = std::max (0, fadeOutRemaining - count);
        crossfadeSource += count;
        playhead += count;

        if (fadingOut && fadeOutRemaining == 0)
        {
            playing = false;
            crossfadeRemaining = 0;
        }
    }

    if (playhead >= frames)
    {
        playing = false;
        crossfadeRemaining = 0;
    }

    publishedPlayhead = playhead;
}

//==============================================================================
bool PreviewEngine::isCurrent (juce::uint64 generation) const noexcept
{
    return requestGeneration.load() == generation;
}

void PreviewEngine::run()
{
    while (! threadShouldExit())
    {
        Request request;
        bool haveRequest = false;

        {
            const juce::ScopedLock requestScope (requestLock);
            const auto generation = requestGeneration.load();

            if (handledGeneration != generation && loading.load())
            {
                handledGeneration = generation;
                request.generation = generation;
                request.files = requestedFiles;
                request.rate = requestedRate;
                request.start = requestedStart;
                request.playFrom = requestedPlayFrom;
                request.autoplay = requestedAutoplay;
                haveRequest = true;
            }
        }

        if (haveRequest)
            load (request);
        else
            wait (-1);
    }
}

void PreviewEngine::load (const Request& request)
{
    const auto generation = request.generation;
    const CancelCheck cancelled = [this, generation] { return threadShouldExit() || ! isCurrent (generation); };
    const auto deviceRateNow = deviceRate.load();
    const auto readingRate = deviceRateNow > 0.0 ? deviceRateNow : request.rate;
    const int n = request.files.size();

    if (n == 0)
    {
        finishWithoutAudio (generation, "Nothing to play.");
        return;
    }

    // Probe everything first: the longest file sets the source length.
    std::vector<MixBuilder::Source> sources;
    double sourceSeconds = 0.0;

    for (int k = 0; k < n; ++k)
    {
        if (cancelled())
            return;

        MixBuilder::Source source;
        source.file = request.files[k];
        source.probed = probeAudioFile (source.file, source.info, source.probeError);

        if (source.probed && source.info.sampleRate > 0.0)
            sourceSeconds = std::max (sourceSeconds, (double) source.info.lengthInSamples / source.info.sampleRate);

        sources.push_back (std::move (source));

        if (isCurrent (generation))
            loadProgress = 0.1f * (float) (k + 1) / (float) n;
    }

    if (sourceSeconds <= 0.0)
    {
        finishWithoutAudio (generation, "Nothing to play.");
        return;
    }

    const auto windowStartSeconds = juce::jlimit (0.0, std::max (0.0, sourceSeconds - 0.05), request.start);
    const auto windowSeconds = std::min (sourceSeconds - windowStartSeconds, maxWindowSeconds);

    // Only the channels the device plays are kept: a 64-channel file costs two.
    int widest = 1;

    for (const auto& source : sources)
        if (source.probed)
            widest = std::max (widest, source.info.numChannels);

    const int mixChannels = std::max (1, std::min (std::max (2, widest), outputChannels));

    MixBuilder builder (options.readRange,
                        std::move (sources),
                        readingRate,
                        windowStartSeconds,
                        windowSeconds,
                        mixChannels,
                        options.maxReadThreads,
                        options.readFrames,
                        cancelled,
                        [this, generation] (float settled) {
                            if (isCurrent (generation))
                                loadProgress = 0.1f + 0.8f * settled;
                        });

    if (! builder.build() || cancelled())
        return;

    auto& mix = builder.mix;
    const auto errors = builder.getErrors();

    if (builder.getFilesLoaded() == 0 || mix.getNumSamples() == 0)
    {
        finishWithoutAudio (generation, errors.isNotEmpty() ? errors : juce::String ("Nothing to play."));
        return;
    }

    // Normalise only what would clip.
    const int stripes = (mix.getNumSamples() + 65535) / 65536;
    std::vector<double> stripePeaks ((size_t) stripes, 0.0);
    const auto stripeOf = [&mix] (int s) { return std::make_pair (s * 65536, std::min (mix.getNumSamples(), (s + 1) * 65536)); };

    parallelFor (stripes, options.maxReadThreads, [&] (int s) {
        const auto [start, end] = stripeOf (s);
        double peak = 0.0;

        for (int ch = 0; ch < mix.getNumChannels(); ++ch)
        {
            const auto range = juce::FloatVectorOperations::findMinAndMax (mix.getReadPointer (ch, start), end - start);
            peak = std::max ({ peak, std::abs (range.getStart()), std::abs (range.getEnd()) });
        }

        stripePeaks[(size_t) s] = peak;
    });

    const auto peak = *std::max_element (stripePeaks.begin(), stripePeaks.end());

    if (peak > 1.0)
    {
        const auto gain = 1.0 / peak;
        parallelFor (stripes, options.maxReadThreads, [&] (int s) {
            const auto [start, end] = stripeOf (s);

            for (int ch = 0; ch < mix.getNumChannels(); ++ch)
                juce::FloatVectorOperations::multiply (mix.getWritePointer (ch, start), gain, end - start);
        });
    }

    loadProgress = 0.9f;

    LoadResult result;
    result.overview = overviewFromBuffer (mix, readingRate, overviewBuckets);
    result.rate = readingRate;
    result.windowStart = windowStartSeconds;
    result.sourceLength = sourceSeconds;
    result.autoplay = request.autoplay;
    result.filesLoaded = builder.getFilesLoaded();
    result.errors = errors;
    result.playFrom = request.playFrom;

    if (result.playFrom == playFromWindowStart)
        result.playFrom = windowStartSeconds;

    if (result.playFrom == playFromFirstSound)
    {
        result.playFrom = windowStartSeconds;

        if (! result.overview.isEmpty() && result.overview.duration > 0.0)
            result.playFrom = windowStartSeconds + result.overview.firstSoundPosition ((float) firstSoundThreshold, firstSoundLeadIn) * result.overview.duration;
    }

    try
    {
        result.buffer = std::make_shared<juce::AudioBuffer<float>> (mix.getNumChannels(), mix.getNumSamples());
    }
    catch (const std::bad_alloc&)
    {
        finishWithoutAudio (generation, "There is not enough memory to hold this audition.");
        return;
    }

    auto& out = *result.buffer;
    parallelFor (stripes, options.maxReadThreads, [&] (int s) {
        const auto [start, end] = stripeOf (s);

        for (int ch = 0; ch < mix.getNumChannels(); ++ch)
        {
            const double* in = mix.getReadPointer (ch, start);
            float* to = out.getWritePointer (ch, start);

            for (int i = 0; i < end - start; ++i)
                to[i] = (float) in[i];
        }
    });

    mix.setSize (0, 0); // the 64-bit sum goes before the audio is published

    if (! cancelled())
        publish (generation, std::move (result));
}

void PreviewEngine::finishWithoutAudio (juce::uint64 generation, const juce::String& status)
{
    const juce::ScopedLock requestScope (requestLock);

    if (! isCurrent (generation))
        return;

    loading = false;

    {
        // Whatever still plays (a window that was to be replaced) fades out instead of clicking.
        const juce::SpinLock::ScopedLockType audioScope (audioLock);

        if (playing.load())
        {
            fadeInRemaining = 0;
            fadeOutLength = fadeOutRemaining = fadeLengthFor (fadeSeconds);
        }
    }

    const juce::ScopedLock statusScope (statusLock);
    statusText = status;
}

void PreviewEngine::setPublishedWindow (const std::shared_ptr<juce::AudioBuffer<float>>& newBuffer,
                                        double rate,
                                        double start,
                                        double length) noexcept
{
    publishedFrames = newBuffer != nullptr ? (juce::int64) newBuffer->getNumSamples() : 0;
    publishedRate = rate;
    publishedWindowStart = start;
    publishedSourceLength = length;
}

void PreviewEngine::publish (juce::uint64 generation, LoadResult&& result)
{
    std::shared_ptr<juce::AudioBuffer<float>> previous; // released after every lock

    {
        const juce::ScopedLock requestScope (requestLock);

        if (! isCurrent (generation) || threadShouldExit())
            return;

        loadProgress = 1.0f;
        juce::String sourceId;

        {
            const juce::ScopedLock statusScope (statusLock);
            sourceId = requestedSourceId;
        }

        {
            const juce::ScopedLock loadedScope (loadedLock);
            mixOverview = std::move (result.overview);
            loadedSourceId = sourceId;
        }

        const auto frames = (juce::int64) result.buffer->getNumSamples();
        const auto start = frames < 2 ? (juce::int64) 0
                                      : juce::jlimit<juce::int64> (0, frames - 1, (juce::int64) (std::max (0.0, result.playFrom - result.windowStart) * result.rate));

        {
            const juce::SpinLock::ScopedLockType audioScope (audioLock);
            previous = std::move (buffer);
            buffer = std::move (result.buffer);
            loadedRate = result.rate;
            windowStart = result.windowStart;
            sourceLength = result.sourceLength;
            playhead = start;
            pendingSeek = -1;
            crossfadeRemaining = 0;
            fadeOutRemaining = 0;
            fadeInLength = fadeLengthFor (fadeSeconds);
            fadeInRemaining = result.autoplay ? fadeInLength : 0;
            setPublishedWindow (buffer, loadedRate, windowStart, sourceLength);
            publishedPlayhead = playhead;
            playing = result.autoplay;
        }

        loading = false;

        const juce::ScopedLock statusScope (statusLock);

        if (result.errors.isNotEmpty())
            statusText = "Playing (" + juce::String (result.filesLoaded) + " file(s); " + result.errors + ")";
        else
            statusText = result.autoplay ? "Playing" : "Ready";
    }
}

void PreviewEngine::timerCallback()
{
    if (playing.load() || loading.load() || getRequestedSourceId().isNotEmpty())
        return;

    std::shared_ptr<juce::AudioBuffer<float>> previous;

    {
        const juce::SpinLock::ScopedLockType audioScope (audioLock);

        if (fadeOutRemaining > 0 || buffer == nullptr)
            return;

        previous = std::move (buffer);
        windowStart = 0.0;
        sourceLength = 0.0;
        playhead = 0;
        setPublishedWindow (nullptr, loadedRate, 0.0, 0.0);
        publishedPlayhead = 0;
    }

    const juce::ScopedLock loadedScope (loadedLock);
    mixOverview = {};
}

} // namespace dunmoor::ui
