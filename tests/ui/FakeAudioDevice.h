#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <time.h>

#include <juce_audio_devices/juce_audio_devices.h>

namespace dunmoor::testing
{

/**
    A sound card for tests: an AudioIODeviceType with one output device ("Fake output") that,
    once started, calls its callback from a thread of its own, in real time (one block per block
    period), flat out (no pause between blocks), or only when the test asks (renderBlocks).

    The test keeps the FakeAudioOutput; the engine gets createType(). Register the type before
    the device manager initialises, so the desktop's own types are never created. The output of
    every block is measured (peak, silent or not, callback time) and may be watched by an
    observer that runs on the device's thread.

        auto output = std::make_shared<FakeAudioOutput>();
        ui::PreviewEngine engine (output->createType());
        engine.play (...);
        output->waitForBlocks (10);
*/
class FakeAudioOutput : public std::enable_shared_from_this<FakeAudioOutput>
{
public:
    enum class Pacing
    {
        realTime, // a block per block period
        flatOut,  // blocks without pause
        manual    // blocks only from renderBlocks()
    };

    struct Settings
    {
        double sampleRate = 48000.0;
        int blockSize = 512;
        int outputChannels = 2;
        int outputLatency = 0;
        Pacing pacing = Pacing::realTime;
        double blockPeriodMs = 0.0; // real time: a block this often; 0: the block's own duration
        bool hasDevice = true;  // false: the type lists no device, as a machine without a sound card
        juce::String openError; // not empty: opening the device fails with this text
    };

    /** Runs on the device thread after each block, with the block's output. */
    using BlockObserver = std::function<void (const juce::AudioBuffer<float>& block, juce::int64 blockIndex)>;

    FakeAudioOutput() : FakeAudioOutput (Settings()) {}
    explicit FakeAudioOutput (Settings s) : settings (std::move (s)) {}

    const Settings& getSettings() const noexcept { return settings; }

    /** A device type to hand to the engine (or to a seam). Several may be made; they share this output. */
    std::unique_ptr<juce::AudioIODeviceType> createType();

    /** Set before the device starts, or while nothing plays. */
    void setBlockObserver (BlockObserver observer)
    {
        const std::lock_guard<std::mutex> lock (callbackMutex);
        blockObserver = std::move (observer);
    }

    /** With manual pacing: calls the callback n times on this thread. */
    void renderBlocks (int n)
    {
        for (int i = 0; i < n; ++i)
            renderBlock();
    }

    /** Waits (sleeping, not pumping messages) until that many blocks have been rendered in total. */
    bool waitForBlocks (juce::int64 total, int timeoutMs = 10000) const
    {
        const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

        while (blocks.load() < total)
        {
            if (juce::Time::getMillisecondCounterHiRes() > end)
                return false;

            juce::Thread::sleep (1);
        }

        return true;
    }

    bool isStarted() const noexcept { return started.load(); }
    juce::int64 getBlockCount() const noexcept { return blocks.load(); }
    juce::int64 getNonSilentBlockCount() const noexcept { return nonSilentBlocks.load(); }
    float getLastBlockPeak() const noexcept { return lastPeak.load(); }

    /** The slowest callback so far (the whole path from the device into the engine), in wall
        time, and in the device thread's own processor time (which a busy machine's preemption
        does not inflate). */
    double getWorstCallbackMs() const noexcept { return worstCallbackMs.load(); }
    double getWorstCallbackCpuMs() const noexcept { return worstCallbackCpuMs.load(); }

    void resetCallbackTimes() noexcept
    {
        worstCallbackMs = 0.0;
        worstCallbackCpuMs = 0.0;
    }

    double getBlockPeriodMs() const noexcept
    {
        return settings.blockPeriodMs > 0.0 ? settings.blockPeriodMs : 1000.0 * settings.blockSize / settings.sampleRate;
    }

private:
    class Device;
    class Type;

    friend class Device;

    void start (juce::AudioIODevice* device, juce::AudioIODeviceCallback* callbackToUse)
    {
        callbackToUse->audioDeviceAboutToStart (device);
        const std::lock_guard<std::mutex> lock (callbackMutex);
        callback = callbackToUse;
        started = true;
    }

    void stop()
    {
        juce::AudioIODeviceCallback* stopped = nullptr;
        {
            const std::lock_guard<std::mutex> lock (callbackMutex);
            stopped = callback;
            callback = nullptr;
            started = false;
        }

        if (stopped != nullptr)
            stopped->audioDeviceStopped();
    }

    void renderBlock()
    {
        const std::lock_guard<std::mutex> lock (callbackMutex);

        if (callback == nullptr)
            return;

        output.setSize (settings.outputChannels, settings.blockSize, false, false, true);
        const auto cpuBefore = threadCpuMs();
        const auto before = juce::Time::getHighResolutionTicks();
        callback->audioDeviceIOCallbackWithContext (nullptr, 0, output.getArrayOfWritePointers(), settings.outputChannels, settings.blockSize, {});
        const auto ms = juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - before) * 1000.0;
        const auto cpuMs = threadCpuMs() - cpuBefore;

        if (ms > worstCallbackMs.load())
            worstCallbackMs = ms;

        if (cpuMs > worstCallbackCpuMs.load())
            worstCallbackCpuMs = cpuMs;

        float peak = 0.0f;

        for (int ch = 0; ch < output.getNumChannels(); ++ch)
            peak = std::max (peak, output.getMagnitude (ch, 0, output.getNumSamples()));

        lastPeak = peak;

        if (peak > 0.0f)
            ++nonSilentBlocks;

        if (blockObserver != nullptr)
            blockObserver (output, blocks.load());

        ++blocks;
    }

    static double threadCpuMs() noexcept
    {
        timespec now {};
        clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
        return (double) now.tv_sec * 1000.0 + (double) now.tv_nsec / 1.0e6;
    }

    const Settings settings;
    std::mutex callbackMutex; // guards callback, observer and the output buffer
    juce::AudioIODeviceCallback* callback = nullptr;
    BlockObserver blockObserver;
    juce::AudioBuffer<float> output;
    std::atomic<bool> started { false };
    std::atomic<juce::int64> blocks { 0 };
    std::atomic<juce::int64> nonSilentBlocks { 0 };
    std::atomic<float> lastPeak { 0.0f };
    std::atomic<double> worstCallbackMs { 0.0 };
    std::atomic<double> worstCallbackCpuMs { 0.0 };
};

//==============================================================================
class FakeAudioOutput::Device final : public juce::AudioIODevice,
                                      private juce::Thread
{
public:
    explicit Device (std::shared_ptr<FakeAudioOutput> outputToUse)
        : juce::AudioIODevice ("Fake output", "Fake"),
          juce::Thread ("Fake audio device"),
          output (std::move (outputToUse))
    {
    }

    ~Device() override { close(); }

    juce::StringArray getOutputChannelNames() override
    {
        juce::StringArray names;

        for (int i = 0; i < output->settings.outputChannels; ++i)
            names.add ("Out " + juce::String (i + 1));

        return names;
    }

    juce::StringArray getInputChannelNames() override { return {}; }
    juce::Array<double> getAvailableSampleRates() override { return { output->settings.sampleRate }; }
    juce::Array<int> getAvailableBufferSizes() override { return { output->settings.blockSize }; }
    int getDefaultBufferSize() override { return output->settings.blockSize; }

    juce::String open (const juce::BigInteger&, const juce::BigInteger& outputChannels, double, int) override
    {
        if (output->settings.openError.isNotEmpty())
            return output->settings.openError;

        activeOutputs.clear();

        for (int i = 0; i < output->settings.outputChannels; ++i)
            if (outputChannels[i])
                activeOutputs.setBit (i);

        opened = true;
        return {};
    }

    void close() override
    {
        stop();
        opened = false;
    }

    bool isOpen() override { return opened; }

    void start (juce::AudioIODeviceCallback* callback) override
    {
        if (! opened || callback == nullptr)
            return;

        stop();
        output->start (this, callback);
        playing = true;

        if (output->settings.pacing != Pacing::manual)
            startThread (juce::Thread::Priority::highest);
    }

    void stop() override
    {
        stopThread (-1); // never killed: the loop checks the exit flag every block
        output->stop();
        playing = false;
    }

    bool isPlaying() override { return playing; }
    juce::String getLastError() override { return {}; }
    int getCurrentBufferSizeSamples() override { return output->settings.blockSize; }
    double getCurrentSampleRate() override { return output->settings.sampleRate; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return activeOutputs; }
    juce::BigInteger getActiveInputChannels() const override { return {}; }
    int getOutputLatencyInSamples() override { return output->settings.outputLatency; }
    int getInputLatencyInSamples() override { return 0; }

private:
    void run() override
    {
        const double periodMs = output->getBlockPeriodMs();
        const double startMs = juce::Time::getMillisecondCounterHiRes();

        for (juce::int64 block = 1; ! threadShouldExit(); ++block)
        {
            output->renderBlock();

            if (output->settings.pacing == Pacing::flatOut)
            {
                juce::Thread::yield();
                continue;
            }

            const double wakeMs = startMs + (double) block * periodMs;
            const double nowMs = juce::Time::getMillisecondCounterHiRes();

            if (wakeMs > nowMs)
                wait (wakeMs - nowMs);
        }
    }

    std::shared_ptr<FakeAudioOutput> output;
    juce::BigInteger activeOutputs;
    bool opened = false;
    bool playing = false;
};

class FakeAudioOutput::Type final : public juce::AudioIODeviceType
{
public:
    explicit Type (std::shared_ptr<FakeAudioOutput> outputToUse)
        : juce::AudioIODeviceType ("Fake"),
          output (std::move (outputToUse))
    {
    }

    void scanForDevices() override {}

    juce::StringArray getDeviceNames (bool wantInputNames) const override
    {
        if (wantInputNames || ! output->settings.hasDevice)
            return {};

        return { "Fake output" };
    }

    int getDefaultDeviceIndex (bool) const override { return 0; }
    int getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const override { return device != nullptr && ! asInput ? 0 : -1; }
    bool hasSeparateInputsAndOutputs() const override { return true; }

    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName, const juce::String&) override
    {
        if (! output->settings.hasDevice || outputDeviceName != "Fake output")
            return nullptr;

        return new Device (output);
    }

private:
    std::shared_ptr<FakeAudioOutput> output;
};

inline std::unique_ptr<juce::AudioIODeviceType> FakeAudioOutput::createType()
{
    return std::make_unique<Type> (shared_from_this());
}

} // namespace dunmoor::testing
