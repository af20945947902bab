#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "core/audio/AudioFileReader.h"
#include "core/audio/WaveformOverview.h"

namespace dunmoor
{

/** Reads frames [startSeconds, startSeconds + durationSeconds) of a file at its own rate into
    64-bit samples, as the core's range reader does; false with the reason in error. */
using AuditionRangeReader = std::function<bool (const juce::File& file,
                                                double startSeconds,
                                                double durationSeconds,
                                                juce::AudioBuffer<double>& buffer,
                                                juce::String& error)>;

/** One file of an audition, as the loader probed it. */
struct AuditionSource
{
    juce::File file;
    AudioFileInfo info;
    bool probed = false;
    juce::String probeError; // when not probed
};

struct AuditionMixSettings
{
    double readingRate = 48000.0;
    double windowStart = 0.0;  // seconds
    double windowLength = 0.0; // seconds
    int maxChannels = 2;       // the channels the device plays; a mix never holds more
    int numThreads = 1;
    int readFrames = 0;        // frames per read of a file; 0: about 32 MB of samples
    int overviewBuckets = 700;
};

/** The summed window, ready to play. */
struct AuditionMix
{
    std::shared_ptr<juce::AudioBuffer<float>> audio; // null when no file could be read
    WaveformOverview overview;                       // of the audio as it plays
    int filesLoaded = 0;
    juce::String errors; // "name: reason" per file that failed, in file order, joined by "; "
};

/**
    Reads every file's part of the window at the reading rate and sums them in 64-bit, in file
    order, with several threads; scales the sum to full scale when it would clip; returns it as
    32-bit audio with its overview.

    Each file is read at its own rate in bounded segments, keeping only the channels the device
    plays (a mono file feeds every channel), then converted to the reading rate as a whole,
    exactly as the core's range reader converts it. The sum is cut into stripes of time; a
    stripe adds file i only after every earlier file, so each sample is summed in the order of a
    plain loop over the files, whatever order the reads finish in. Only a few files are held at
    once. A file that ends before the window is skipped without a message.

    The cancel check is polled between reads and inside conversions; false when it said yes.
*/
[[nodiscard]] bool mixAuditionWindow (const AuditionRangeReader& reader,
                                      std::vector<AuditionSource> sources,
                                      const AuditionMixSettings& settings,
                                      const CancelCheck& cancel,
                                      const std::function<void (float fractionSettled)>& onProgress,
                                      AuditionMix& result);

} // namespace dunmoor
