// Over 800 lines on purpose: the loader thread, the device callback and the message-thread
// operations share one generation counter and one published window, and the rules between them
// (never wait on the device thread, never sound a stale load) read best in one place. The
// summing itself is the core's AuditionMix.

#include "PreviewEngine.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/render/AuditionMix.h"
#include "core/audio/AudioFileReader.h"

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
    loadSeekFraction = -1.0;

    {
        const juce::SpinLock::ScopedLockType audioScope (audioLock);
        pendingSeek = -1;

        if (playing.load())
        {
            startFadeOut();
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

void PreviewEngine::startFadeOut() noexcept
{
    fadeInRemaining = 0;
    fadeOutLength = fadeOutRemaining = fadeLengthFor (fadeSeconds);
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
        loadSeekFraction = -1.0;
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
    {
        // The source's length is not known before the load has probed it, and whatever is loaded
        // now belongs to the audition being replaced: the load takes the seek with it instead.
        const juce::ScopedLock requestScope (requestLock);

        if (loading.load())
        {
            loadSeekFraction = clampFraction (fraction);
            return;
        }
    }

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

double PreviewEngine::getLoadSeekSeconds (juce::uint64 generation, double sourceSeconds) const
{
    const juce::ScopedLock requestScope (requestLock);
    return isCurrent (generation) && loadSeekFraction >= 0.0 ? sourceSeconds * loadSeekFraction : -1.0;
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
    std::vector<AuditionSource> sources;
    double sourceSeconds = 0.0;

    for (int k = 0; k < n; ++k)
    {
        if (cancelled())
            return;

        AuditionSource source;
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

    // A seek asked for while the files were probed moves the window when it falls outside it.
    auto firstSecond = request.start;

    if (const auto seek = getLoadSeekSeconds (generation, sourceSeconds); seek >= 0.0 && (seek < firstSecond || seek >= firstSecond + maxWindowSeconds))
        firstSecond = std::max (0.0, seek - reloadLeadSeconds);

    AuditionMixSettings settings;
    settings.readingRate = readingRate;
    settings.windowStart = juce::jlimit (0.0, std::max (0.0, sourceSeconds - 0.05), firstSecond);
    settings.windowLength = std::min (sourceSeconds - settings.windowStart, maxWindowSeconds);
    settings.maxChannels = outputChannels; // a 64-channel file costs what the device plays
    settings.numThreads = options.maxReadThreads;
    settings.readFrames = options.readFrames;
    settings.overviewBuckets = overviewBuckets;

    AuditionMix mix;
    const auto onProgress = [this, generation] (float settled) {
        if (isCurrent (generation))
            loadProgress = 0.1f + 0.8f * settled;
    };

    if (! mixAuditionWindow (options.readRange, std::move (sources), settings, cancelled, onProgress, mix) || cancelled())
        return;

    if (mix.audio == nullptr || mix.audio->getNumSamples() == 0)
    {
        finishWithoutAudio (generation, mix.errors.isNotEmpty() ? mix.errors : juce::String ("Nothing to play."));
        return;
    }

    LoadResult result;
    result.buffer = std::move (mix.audio);
    result.overview = std::move (mix.overview);
    result.rate = readingRate;
    result.windowStart = settings.windowStart;
    result.sourceLength = sourceSeconds;
    result.autoplay = request.autoplay;
    result.filesLoaded = mix.filesLoaded;
    result.errors = mix.errors;
    result.playFrom = request.playFrom;

    if (result.playFrom == playFromWindowStart)
        result.playFrom = settings.windowStart;

    if (result.playFrom == playFromFirstSound)
    {
        result.playFrom = settings.windowStart;

        if (! result.overview.isEmpty() && result.overview.duration > 0.0)
            result.playFrom += result.overview.firstSoundPosition ((float) firstSoundThreshold, firstSoundLeadIn) * result.overview.duration;
    }

    loadProgress = 0.9f;
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
            startFadeOut();
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

        // The last seek asked for during the load wins over where the request meant to start;
        // one beyond the window read is served by a load of its own window.
        if (loadSeekFraction >= 0.0)
        {
            const auto target = result.sourceLength * loadSeekFraction;
            const auto windowEnd = result.windowStart + (double) result.buffer->getNumSamples() / result.rate;

            if (target < result.windowStart || target >= windowEnd)
            {
                requestLoad (std::max (0.0, target - reloadLeadSeconds), result.autoplay, target);
                return;
            }

            result.playFrom = target;
            loadSeekFraction = -1.0;
        }

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
