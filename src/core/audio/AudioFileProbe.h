#pragma once

#include <memory>

#include "AudioFileChunks.h"
#include "AudioFileView.h"
#include "AudioFormats.h"

namespace dunmoor
{

/**
    Validates the file (existence, size, chunk headers that hold together, a readable format, the
    channel, rate and length limits, a sample format the reader can decode, and for uncompressed
    files that the header's length is really there) and fills the info. Opens and closes the
    file; reads no samples. On failure the info is left as it was. What the user should know of
    a file that is read all the same (metadata stepped over unread) goes to warnings when given.
*/
[[nodiscard]] bool probeAudioFile (const juce::File& file, AudioFileInfo& info, juce::String& error, juce::StringArray* warnings = nullptr);

/** The read-ahead of a reader that reads a file's samples from start to end: the framework's
    WAV and AIFF readers ask their stream for a few kilobytes at a time, which would otherwise
    each be a call into the system. */
constexpr int sampleReadAheadBytes = 1 << 20;

/**
    Opens a reader through the shared manager, offering the file's contents to every format
    whatever its extension, once walkAudioFileChunks has found nothing damaged. nullptr when the
    walk finds damage or no format recognises the file; what the walk found goes to chunks when
    given. Checks no limits. With readAheadBytes above 0 the reader reads through a buffer of
    that size (for reading samples; a probe, which reads only the header, has no use for one).
*/
std::unique_ptr<juce::AudioFormatReader> openAudioFileReader (const juce::File& file, AudioFileChunks* chunks = nullptr, int readAheadBytes = 0);

/** openAudioFileReader, then checkReaderLimits and checkReaderData, as every read of samples
    does before it reads: nullptr with the reason in error (whenUnreadable when no format
    recognises the file). */
std::unique_ptr<juce::AudioFormatReader> openCheckedAudioFileReader (const juce::File& file,
                                                                     const juce::String& whenUnreadable,
                                                                     juce::String& error,
                                                                     int readAheadBytes = 0);

/** The same, and what the walk of the file found goes to chunks. */
std::unique_ptr<juce::AudioFormatReader> openCheckedAudioFileReader (const juce::File& file,
                                                                     const juce::String& whenUnreadable,
                                                                     juce::String& error,
                                                                     int readAheadBytes,
                                                                     AudioFileChunks& chunks);

/** probeAudioFile, then openAudioFileReader: nullptr with the reason in error when either fails. */
std::unique_ptr<juce::AudioFormatReader> openProbedAudioFileReader (const juce::File& file, AudioFileInfo& info, juce::String& error);

/**
    What the limits can't see: a sample width the decoder really handles (8, 16, 24 or 32 bits for
    WAV and AIFF), for uncompressed files that the frames the header announces are present
    in the file ("The file is truncated: ..." with the count that is really there), and for FLAC
    that the last announced frame decodes (a seek, not a pass over the file). Damage inside a
    FLAC stream shows only when its frames are read. walked: what the walk of the same file found,
    when the caller has it (it is walked again otherwise).
*/
[[nodiscard]] bool checkReaderData (juce::AudioFormatReader& reader,
                                    const juce::File& file,
                                    juce::String& error,
                                    const AudioFileChunks* walked = nullptr);

/**
    reader.read of count frames from start, for a reader opened by openAudioFileReader. Where the
    file has become shorter since it was opened the framework hands out silence and reports
    success; this fails instead, naming the file, the frames that were there and the frames asked
    for. Any other failure gives the truncation message.
*/
[[nodiscard]] bool readFramesChecked (juce::AudioFormatReader& reader,
                                      const juce::File& file,
                                      float* const* destination,
                                      int numChannels,
                                      juce::int64 start,
                                      int count,
                                      juce::String& error);

/** True for a reader of the FLAC format (read through the strict decoder instead). */
bool isFlacReader (const juce::AudioFormatReader& reader);

/** The channel (1..64), rate (8000..768000 Hz) and length (1 frame..240 minutes) limits. */
[[nodiscard]] bool checkReaderLimits (const juce::AudioFormatReader& reader, juce::String& error);

} // namespace dunmoor
