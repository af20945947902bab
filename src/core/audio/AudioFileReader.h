#pragma once

#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>

#include "CancelCheck.h"

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

/**
    Validates the file (existence, size, a readable format, the channel, rate and length limits,
    a sample format the reader can decode, and for uncompressed files that the header's length
    is really there) and fills the info. Opens and closes the file; reads no samples. On failure
    the info is left as it was.
*/
[[nodiscard]] bool probeAudioFile (const juce::File& file, AudioFileInfo& info, juce::String& error);

/**
    Opens a reader through the shared manager, offering the file's contents to every format
    whatever its extension. nullptr when no format recognises the file. Checks no limits.
*/
std::unique_ptr<juce::AudioFormatReader> openAudioFileReader (const juce::File& file);

/** probeAudioFile, then openAudioFileReader: nullptr with the reason in error when either fails. */
std::unique_ptr<juce::AudioFormatReader> openProbedAudioFileReader (const juce::File& file, AudioFileInfo& info, juce::String& error);

/**
    What the limits can't see: a sample width the decoder really handles (8, 16, 24 or 32 bits for
    WAV and AIFF), for uncompressed files that the frames the header announces are present
    in the file ("The file is truncated: ..." with the count that is really there), and for FLAC
    that the last announced frame decodes (a seek, not a pass over the file). Damage inside a
    FLAC stream shows only when its frames are read.
*/
[[nodiscard]] bool checkReaderData (const juce::AudioFormatReader& reader, const juce::File& file, juce::String& error);

/** The channel (1..64), rate (8000..768000 Hz) and length (1 frame..240 minutes) limits. */
[[nodiscard]] bool checkReaderLimits (const juce::AudioFormatReader& reader, juce::String& error);

/**
    Reads the whole file as 64-bit samples, resampled to targetRate when that is above 0 and
    differs from the file's rate by more than 0.5 Hz. Refuses files longer than frameCap frames,
    before and after resampling (both checked before any sample is read), float files holding
    NaN or infinite samples, and FLAC files whose stream is damaged or ends early (every frame is
    checked as it is decoded; the message names the file). On failure the buffer is left as it was.

    The cancel check is polled once per block while the samples are read and converted; when
    it says yes the read stops, the buffer is left as it was and the error is the cancelled text
    (isCancelledError() tells it apart from a failure).
*/
[[nodiscard]] bool readAudioFile (const juce::File& file,
                                  double targetRate,
                                  juce::AudioBuffer<double>& buffer,
                                  juce::String& error,
                                  juce::int64 frameCap = maxReadFrames,
                                  const CancelCheck& cancel = {});

/** readAudioFile at the file's own rate with a cap of 1,000,000,000 frames. */
[[nodiscard]] bool readAudioFileAtOwnRate (const juce::File& file,
                                           juce::AudioBuffer<double>& buffer,
                                           juce::String& error,
                                           const CancelCheck& cancel = {});

/**
    Reads a window of the file: from startSeconds (negative counts as 0) for durationSeconds
    (0 or less: to the end), resampled like readAudioFile. Windows are limited to 1,000,000,000
    frames before and after resampling. On failure the buffer is left as it was.
*/
[[nodiscard]] bool readAudioFileRange (const juce::File& file,
                                       double targetRate,
                                       double startSeconds,
                                       double durationSeconds,
                                       juce::AudioBuffer<double>& buffer,
                                       juce::String& error);

/** Sizes the buffer to 1..64 channels and 0..1,000,000,000 frames, all zero (contents discarded). */
[[nodiscard]] bool allocateRenderBuffer (juce::AudioBuffer<double>& buffer,
                                         int numChannels,
                                         juce::int64 numFrames,
                                         juce::String& error);

/** addBufferWithGain with gain 1. */
void addBufferTo (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source);

/**
    Adds source x gain into destination over the shorter of the two lengths. A mono source feeds
    every destination channel; otherwise channel i feeds channel i and destination channels the
    source lacks get nothing. A gain of exactly 0 adds nothing.
*/
void addBufferWithGain (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source, double gain);

/** Multiplies every sample by the gain; a gain of exactly 1 leaves the buffer untouched. */
void scaleBuffer (juce::AudioBuffer<double>& buffer, double gain);

} // namespace dunmoor
