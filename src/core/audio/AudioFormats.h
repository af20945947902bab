#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

namespace dunmoor
{

/** What the probe learns about an audio file; every Track keeps one. */
struct AudioFileInfo
{
    juce::String formatName; // "WAV", "AIFF", "FLAC": the reader's name without " file"
    double sampleRate = 0.0; // Hz
    int bitsPerSample = 0;
    bool isFloat = false;
    int numChannels = 0;
    juce::int64 lengthInSamples = 0; // frames

    juce::String describeChannels() const;   // "mono", "stereo", "5.1", "3 ch", "-"
    juce::String describeBitDepth() const;   // "24 bit", "32 bit float", "-"
    juce::String describeSampleRate() const; // "48 kHz", "44.1 kHz", "-"
    juce::String describeLength() const;     // "3:05.250", "1:02:03.004", "0:00.000"
};

// Limits shared by import, reader, render and audition.
constexpr juce::int64 maxAudioFileBytes = 8589934592LL; // 8 GiB
constexpr int maxAudioChannels = 64;
constexpr double minAudioSampleRate = 8000.0;
constexpr double maxAudioSampleRate = 768000.0;
constexpr double maxAudioFileSeconds = 14400.0;     // 240 minutes
constexpr juce::int64 maxReadFrames = 1000000000LL; // whole-file reads and render buffers

/**
    The one format manager of the process (WAV as the default, AIFF, FLAC), created on first use
    under thread-safe one-time initialisation and only read afterwards.
*/
juce::AudioFormatManager& getAudioFormatManager();

/** "*.wav;*.wave;*.aif;*.aiff;*.aifc;*.flac", for the import scan and the file chooser. */
juce::String getAudioFileWildcard();

/** True when the file's extension is one of the wildcard's, compared without regard to case
    (directory wildcards are case-sensitive on some systems, so "x.WAV" would be missed). */
bool hasAudioFileExtension (const juce::File& file);

} // namespace dunmoor
