#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <juce_audio_devices/juce_audio_devices.h>

#include "core/render/AuditionMix.h"
#include "core/audio/WaveformOverview.h"

namespace dunmoor::ui
{

/**
    Audition playback for every page: one file, or several files summed, played on the default
    audio output with short fades, seeking and a crossfaded jump.

    A request (files, rate, label, source id, window start, play-from time) goes to the loader
    thread, which reads a window of at most 300 seconds of every file at the device's rate, sums
    them in file order in 64-bit, normalises the sum when it would clip, computes a 700-bucket
    overview and hands a 32-bit copy to the audio callback. The pages address auditions by source
    ids they compose themselves ("track:", "mix:", "presetstem:", "presetmix:", "delivered:",
    "cleanup:" and the item); the engine only compares them.

    Every request carries a generation number. A load publishes its audio, playhead and playing
    flag only while its generation is still the newest, so a load that finishes after a newer
    play or a stop never sounds, and never under another id. The loader is never killed: reads
    poll the cancel check between blocks and the destructor waits for the loader to leave.

    Threads: the public operations run on the message thread; the loader and its read helpers
    on their own threads; getNextAudioBlock on the device thread, where it never waits: it only
    tries the lock guarding the audio buffer and plays silence for a block when it is held.
    Playhead, window and length reads are lock-free, so pages may poll them at 60 Hz.
*/
class PreviewEngine : private juce::Thread,
                      public juce::AudioSource,
                      private juce::Timer
{
public:
    /** Reads part of a file at its own rate; the core's range reader unless a test injects one. */
    using RangeReader = AuditionRangeReader;

    struct Options
    {
        RangeReader readRange;  // empty: the core's range reader
        int maxReadThreads = 0; // threads reading and summing one load; 0: one per CPU, at most 8
        int readFrames = 0;     // frames per read of a file; 0: about 32 MB of samples
    };

    /** The loaded window: its start and length and the whole source's length, in seconds. */
    struct LoadedWindow
    {
        double startSeconds = 0.0;
        double lengthSeconds = 0.0;
        double sourceLengthSeconds = 0.0;
    };

    static constexpr double maxWindowSeconds = 300.0;
    static constexpr double reloadLeadSeconds = 75.0; // a window reloaded for a seek starts this far before the target
    static constexpr double playFromFirstSound = -2.0;
    static constexpr int overviewBuckets = 700;

    /**
        Opens the type's default output device with 0 inputs and 2 outputs. Audio is available
        only when a device is really open: with no device type, no device, or a failed open,
        auditions are refused and getDeviceErrorText says why.
    */
    explicit PreviewEngine (std::unique_ptr<juce::AudioIODeviceType> deviceType);
    PreviewEngine (std::unique_ptr<juce::AudioIODeviceType> deviceType, Options options);

    /** Closes the device and waits for the loader to leave, however long its current block takes. */
    ~PreviewEngine() override;

    //==============================================================================
    bool isAudioAvailable() const noexcept { return audioAvailable; }

    /** Why no audio device is open; empty when one is. */
    const juce::String& getDeviceErrorText() const noexcept { return deviceErrorText; }

    /**
        Stops what plays, then, when there are files and audio is available, asks the loader for
        the window from max(0, startSeconds) and plays it from playFromSeconds (below the window
        start: from the window start; playFromFirstSound: from just before the first sound).
        A rate of 0 or less counts as 48000; the device's rate wins when it is known.
    */
    void play (const juce::Array<juce::File>& files,
               double sampleRate,
               const juce::String& label,
               const juce::String& sourceId,
               double startSeconds,
               double playFromSeconds);

    /** play with the files as full paths. */
    void play (const juce::StringArray& paths,
               double sampleRate,
               const juce::String& label,
               const juce::String& sourceId,
               double startSeconds,
               double playFromSeconds);

    /** A second press stops: when the id is the requested one (not empty) and it is playing,
        loading or loaded, only stops; otherwise plays. */
    void toggle (const juce::StringArray& paths,
                 double sampleRate,
                 const juce::String& label,
                 const juce::String& sourceId,
                 double startSeconds,
                 double playFromSeconds);

    void toggle (const juce::Array<juce::File>& files,
                 double sampleRate,
                 const juce::String& label,
                 const juce::String& sourceId,
                 double startSeconds,
                 double playFromSeconds);

    /** Fades out over 2 ms when playing (else rewinds), drops any load in flight and clears the
        ids and the status. The buffer stays until the idle clean-up frees it. */
    void stop();

    /** Jumps to a fraction of the whole source: within the loaded window at once (crossfaded
        while playing), else by loading a window that starts 75 s before the target. While a load
        runs, the last seek asked for is where that load starts playing. */
    void seekToFraction (double fraction);

    /** Jumps to a fraction of the loaded window; nothing unless audio is loaded. */
    void seekWithinWindow (double fraction);

    //==============================================================================
    /** True when the id is the requested one (not empty) and it is playing, loading or loaded. */
    bool isActiveFor (const juce::String& sourceId) const;

    juce::String getRequestedSourceId() const;
    juce::String getLoadedSourceId() const;

    /** "Loading...", "Playing", "Ready", "Nothing to play." or a summary of load errors; empty
        after stop. */
    juce::String getStatusText() const;

    /** The overview of the loaded audio (empty when nothing is loaded). */
    WaveformOverview getMixOverview() const;

    /** Length of the longest requested file in seconds; 0 before the first load. */
    double getSourceLength() const noexcept;

    LoadedWindow getLoadedWindow() const noexcept;

    /** Seconds into the source, output latency subtracted; 0 when nothing is loaded. */
    double getPlayheadSeconds() const noexcept;

    /** The playhead as a fraction 0..1 of the source length; -1 when nothing is loaded. */
    double getPlayheadFraction() const noexcept;

    /** The playhead as a fraction 0..1 of the loaded window; -1 when no audio is loaded. */
    double getWindowPosition() const noexcept;

    bool isPlaying() const noexcept { return playing.load(); }
    bool isLoading() const noexcept { return loading.load(); }

    /** 0..1 while loading. */
    float getLoadProgress() const noexcept { return loadProgress.load(); }

    /** Audio blocks played as silence because another thread held the buffer's lock. */
    juce::uint64 getSkippedBlockCount() const noexcept { return skippedBlocks.load(); }

    juce::String getLoaderThreadName() const { return getThreadName(); }


    //==============================================================================
    // juce::AudioSource: called by the device.
    void prepareToPlay (int samplesPerBlockExpected, double sampleRate) override;
    void releaseResources() override {}
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& bufferToFill) override;

    /** Samples of a fade of that many seconds at the device's rate (48000 while unknown), 8..8192. */
    int fadeLengthFor (double seconds) const noexcept;

private:
    struct Request;
    struct LoadResult;

    void run() override;
    void timerCallback() override;

    void requestLoad (double startSeconds, bool autoplay, double playFromSeconds);
    void startFadeOut() noexcept; // with audioLock held
    void load (const Request& request);
    bool isCurrent (juce::uint64 generation) const noexcept;
    double getLoadSeekSeconds (juce::uint64 generation, double sourceSeconds) const; // -1: none
    void finishWithoutAudio (juce::uint64 generation, const juce::String& status);
    void publish (juce::uint64 generation, LoadResult&& result);
    void setPublishedWindow (const std::shared_ptr<juce::AudioBuffer<float>>& newBuffer, double rate, double start, double length) noexcept;

    Options options;
    juce::AudioDeviceManager deviceManager;
    juce::AudioSourcePlayer player;
    bool audioAvailable = false;
    juce::String deviceErrorText;
    int outputChannels = 2;

    // Request, under requestLock. The generation is also read without it by the loader's cancel check.
    juce::CriticalSection requestLock;
    juce::Array<juce::File> requestedFiles;
    double requestedRate = 48000.0;
    double requestedStart = 0.0;
    double requestedPlayFrom = 0.0;
    bool requestedAutoplay = true;
    double loadSeekFraction = -1.0; // the last seek asked for while the current load runs; -1: none
    std::atomic<juce::uint64> requestGeneration { 0 };
    juce::uint64 handledGeneration = 0; // the loader's own

    // Status, under statusLock.
    juce::CriticalSection statusLock;
    juce::String label;
    juce::String requestedSourceId;
    juce::String statusText;

    // Loaded description, under loadedLock.
    juce::CriticalSection loadedLock;
    WaveformOverview mixOverview;
    juce::String loadedSourceId;

    // Audio state, under audioLock: the callback only ever tries it. Every write of the fades,
    // the crossfade, the playhead and the playing flag happens under it, so no update is lost.
    juce::SpinLock audioLock;
    std::shared_ptr<juce::AudioBuffer<float>> buffer;
    double loadedRate = 48000.0;
    double windowStart = 0.0;
    double sourceLength = 0.0;
    juce::int64 playhead = 0;
    juce::int64 pendingSeek = -1;
    int fadeInRemaining = 0, fadeInLength = 1;
    int fadeOutRemaining = 0, fadeOutLength = 1;
    juce::int64 crossfadeSource = 0;
    int crossfadeRemaining = 0, crossfadeLength = 1;

    // Lock-free copies for the pages' polling; written under audioLock.
    std::atomic<juce::int64> publishedPlayhead { 0 };
    std::atomic<juce::int64> publishedFrames { 0 };
    std::atomic<double> publishedRate { 48000.0 };
    std::atomic<double> publishedWindowStart { 0.0 };
    std::atomic<double> publishedSourceLength { 0.0 };

    std::atomic<bool> playing { false };
    std::atomic<bool> loading { false };
    std::atomic<float> loadProgress { 0.0f };
    std::atomic<double> deviceRate { 0.0 };
    std::atomic<int> outputLatency { 0 };
    std::atomic<juce::uint64> skippedBlocks { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreviewEngine)
};

} // namespace dunmoor::ui
