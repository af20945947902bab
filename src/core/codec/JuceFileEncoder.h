#pragma once

#include <memory>

#include "AudioEncoder.h"

namespace dunmoor
{

/** Writes WAV, AIFF and FLAC files through the framework's audio-format writers.

    The audio is dithered (when the settings ask for it and the format is an integer one),
    clamped to -1..+1 and quantised here, rounding halves away from zero, so that a signal on
    the 16- or 24-bit grid is stored bit-exactly; the writer only packs the integers. The
    file is written into a temporary file beside the target, flushed and checked, and only
    then moved over the target.
*/
class JuceFileEncoder : public AudioEncoder
{
public:
    /** The codec is fixed for the encoder's lifetime; it should be a lossless one. */
    explicit JuceFileEncoder (Codec codec);

    [[nodiscard]] bool encode (const juce::AudioBuffer<double>& audio,
                               const juce::File& target,
                               const EncoderSettings& settings,
                               juce::String& error,
                               const CancelCheck& cancel = {},
                               const ParallelTasks& parallel = {}) override;

    [[nodiscard]] std::unique_ptr<EncodeSession> begin (const juce::File& target,
                                                        const EncoderSettings& settings,
                                                        int numChannels,
                                                        juce::int64 numFrames,
                                                        juce::String& error) override;

    /** "JUCE WAV encoder", "JUCE AIFF encoder", "JUCE FLAC encoder". */
    juce::String getName() const override;

    Codec getCodec() const noexcept { return codec; }

    /** The frames written per block, and so the length of the dither's backward fade reach. */
    static constexpr int blockSize = 32768;

protected:
    /** Opens the stream on the temporary file (16384-byte buffer). A test can hand out a
        stream that fails like a full disk. */
    virtual std::unique_ptr<juce::FileOutputStream> openOutputStream (const juce::File& temporaryFile) const;

private:
    std::unique_ptr<EncodeSession> beginFile (const juce::File&, const EncoderSettings&, int numChannels, juce::int64 numFrames, juce::String&);

    Codec codec;
};

/** A new encoder for the codec, or null with the reason in error (cleared otherwise):
    the codec's availability text for a codec without an encoder, "Unknown codec." otherwise. */
[[nodiscard]] std::unique_ptr<AudioEncoder> createEncoder (Codec codec, juce::String& error);

/** Whether a file of this shape can be written correctly, checked from its size alone.
    An AIFF file describes its sizes in signed 32 bits, so its audio data is limited to just
    under 2 GiB; a WAV file turns into RF64 from 4 GiB of data on, but a few sizes just below
    4 GiB cannot be described by either header and are refused as well. */
[[nodiscard]] bool checkEncodedFileSize (Codec codec,
                                         int bitsPerSample,
                                         int numChannels,
                                         juce::int64 numFrames,
                                         juce::String& error);

/** The most bytes a file of this shape takes when this encoder writes it. WAV and AIFF: the
    sample data exactly, with room for the header. FLAC: the samples as if stored verbatim (the
    side channel of a stereo pair one bit wider), with the most its frames and metadata add;
    compression only makes the file smaller. 0 for a codec this encoder does not write. */
juce::int64 maxEncodedFileBytes (Codec codec, SampleFormat sampleFormat, int numChannels, juce::int64 numFrames);

} // namespace dunmoor
