#pragma once

#include <memory>

#include <juce_core/juce_core.h>

#include "AudioFileChunks.h"
#include "CancelCheck.h"

namespace dunmoor
{

/**
    Decodes a FLAC file strictly: every frame must arrive in order, with intact headers and
    checksums, until the requested frames are complete. A decoder error, a gap or a stream that
    ends early is a failure whose message names the file, never silence (the framework's reader
    fills whatever the decoder didn't deliver with zeros and reports success).

    One instance serves one thread; open() before anything else.
*/
class FlacFileDecoder
{
public:
    /** With readAheadBytes above 0 the file is read through a buffer of that size: for decoding
        long runs of frames (a seek refills it, so a probe does better without). walked is the
        caller's walk of the file's headers (walkAudioFileChunks), if it made one; else open()
        makes its own. */
    explicit FlacFileDecoder (const juce::File& file, int readAheadBytes = 0, const AudioFileChunks* walked = nullptr);
    ~FlacFileDecoder();

    FlacFileDecoder (const FlacFileDecoder&) = delete;
    FlacFileDecoder& operator= (const FlacFileDecoder&) = delete;

    /** Opens the file and reads its metadata: the blocks up to the limit the walk of its headers
        sets, the rest being stepped over unread. */
    [[nodiscard]] bool open (juce::String& error);

    /** The length the stream announces, 0 when it doesn't say. */
    juce::int64 getAnnouncedFrames() const noexcept;
    int getNumChannels() const noexcept;
    int getBitsPerSample() const noexcept;

    /**
        Decodes frames [start, start + count) into destination (one pointer per channel of the
        stream, each with room for count samples), scaled exactly as the framework's reader scales
        them (full scale of the stream's bit depth = 1). totalFrames is the file's length as the
        caller knows it, for the message when the stream ends early. On failure the destination
        holds an unspecified part of the samples. The cancel check is polled before the first
        frame and then about every cancelPollFrames frames; when it says yes the read stops with
        the cancelled text as its error.
    */
    [[nodiscard]] bool read (juce::int64 start,
                             juce::int64 count,
                             juce::int64 totalFrames,
                             double* const* destination,
                             juce::String& error,
                             const CancelCheck& cancel = {});

    /**
        Decodes only the stream's last announced frame (a seek, not a pass over the file): a cheap
        test that a file isn't cut short. Passes streams that don't announce their length.
    */
    [[nodiscard]] bool checkEnd (juce::String& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace dunmoor
