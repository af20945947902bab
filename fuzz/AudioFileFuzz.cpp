// Any bytes, as a file on disk, through the audio file probe and every way the system reads
// samples: each input must end in a result or a message, never a crash, a hang or a huge
// allocation.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <unistd.h>

#include "core/audio/AudioFileReader.h"
#include "core/audio/WaveformOverview.h"

namespace
{
    // Whole reads only up to this many samples: a compressed stream of a few bytes can
    // honestly announce hours of silence, and reading all of it tells nothing new.
    constexpr juce::int64 maxWholeSamples = 4000000;

    // Reads at another rate only up to this many samples: converting costs far more per sample.
    constexpr juce::int64 maxConvertedSamples = 200000;

    // Shared-out work run in order on the fuzzing thread: long reads still go through the
    // file in pieces, each with a reader of its own.
    const dunmoor::ParallelTasks inOrder = [] (int count, const std::function<void (int)>& task)
    {
        for (int i = 0; i < count; ++i)
            task (i);
    };

    // One file per process, so that parallel fuzzing jobs never share one; in memory where the
    // system has a folder for that, since the input is rewritten hundreds of times a second.
    const juce::File& inputFile()
    {
        static const juce::File file = [] {
            const juce::File shm ("/dev/shm");
            const auto folder = shm.isDirectory() ? shm : juce::File::getSpecialLocation (juce::File::tempDirectory);
            return folder.getChildFile ("brackenfold-fuzz-" + juce::String ((int) getpid()) + ".audio");
        }();
        // Gone when the run ends normally; after a crash the fuzzer keeps the input itself.
        static const bool removedAtExit = std::atexit ([] { std::remove (file.getFullPathName().toRawUTF8()); }) == 0;
        juce::ignoreUnused (removedAtExit);
        return file;
    }

    bool writeInput (const juce::File& file, const std::uint8_t* data, std::size_t size)
    {
        auto* out = std::fopen (file.getFullPathName().toRawUTF8(), "wb");

        if (out == nullptr)
            return false;

        const bool written = std::fwrite (data, 1, size, out) == size;
        return std::fclose (out) == 0 && written;
    }
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    using namespace dunmoor;

    const auto& file = inputFile();

    if (! writeInput (file, data, size))
        return 0;

    AudioFileInfo info;
    juce::String error;

    if (! probeAudioFile (file, info, error))
        return 0;

    juce::AudioBuffer<double> buffer;

    if (info.lengthInSamples * info.numChannels <= maxWholeSamples)
    {
        (void) readAudioFileAtOwnRate (file, buffer, error);
        (void) readAudioFileInto (file, 0.0, buffer, error, maxReadFrames, {}, inOrder);
        (void) overviewFromFile (file, 200, error);

        if (info.lengthInSamples * info.numChannels <= maxConvertedSamples)
            (void) readAudioFileInto (file, info.sampleRate == 48000.0 ? 44100.0 : 48000.0, buffer, error, maxReadFrames, {}, inOrder);
    }
    else
    {
        const auto seconds = (double) info.lengthInSamples / info.sampleRate;
        (void) readAudioFileRange (file, 0.0, 0.0, 0.01, buffer, error);
        (void) readAudioFileRange (file, 0.0, seconds - 0.01, 0.0, buffer, error);
        (void) overviewFromFileRange (file, 0.999, 1.0, 200, error);
    }

    return 0;
}
