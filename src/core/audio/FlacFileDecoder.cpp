#include "FlacFileDecoder.h"

#include <algorithm>
#include <climits>
#include <vector>

#include <FLAC/stream_decoder.h>

#include "AudioFileChunks.h"
#include "FlacFileView.h"

namespace dunmoor
{

namespace
{
    juce::String describeDecoderError (FLAC__StreamDecoderErrorStatus status)
    {
        switch (status)
        {
            case FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC:
                return "the decoder lost the frame synchronisation";
            case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER:
                return "a frame header is corrupt";
            case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH:
                return "a frame's audio does not match its checksum";
            case FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM:
                return "the stream holds coding the decoder cannot parse";
            case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_METADATA:
                return "a metadata block is corrupt";
            default:
                return "the stream is corrupt";
        }
    }
} // namespace

//==============================================================================
struct FlacFileDecoder::Impl
{
    Impl (const juce::File& f, int readAheadBytesToUse, const AudioFileChunks* walkedAlready)
        : file (f)
        , readAheadBytes (readAheadBytesToUse)
        , walked (walkedAlready)
    {
    }

    ~Impl()
    {
        if (decoder != nullptr)
            FLAC__stream_decoder_delete (decoder);
    }

    enum class Fault
    {
        none,
        gap,          // a frame didn't start where the previous one ended
        formatChange, // a frame's channel count or bit depth differs from the stream's
    };

    juce::File file;
    int readAheadBytes = 0;
    const AudioFileChunks* walked = nullptr;       // the caller's, used in open() only
    juce::FileInputStream* fileInput = nullptr;    // the file, read through shown
    std::unique_ptr<juce::InputStream> shown;      // the file, or the view of it without the metadata past the limit
    std::unique_ptr<juce::BufferedInputStream> buffered;
    FLAC__StreamDecoder* decoder = nullptr;

    // What the decoder reads from: the file as it is shown, or the read-ahead over that.
    juce::InputStream& input() { return buffered != nullptr ? *buffered : *shown; }

    bool hasStreamInfo = false;
    juce::int64 announced = 0;
    int numChannels = 0;
    int bitsPerSample = 0;

    // The window being decoded: frames [start, end) go to destination (nothing is stored when it
    // is null); next is the frame the following audio frame must begin with.
    double* const* destination = nullptr;
    juce::int64 start = 0;
    juce::int64 end = 0;
    juce::int64 next = 0;
    juce::int64 position = 0; // the frame the decoder delivers next without a seek

    // The part of the last decoded audio frame past the end of the window it was decoded for:
    // frames [position - carried, position), so that a read going on where the last one ended
    // needs no seek (a seek lands inside the frame and decodes it again).
    std::vector<double> carry;  // channel after channel, carryCapacity frames each
    int carryCapacity = 0;
    int carriedFrom = 0;
    int carried = 0;

    bool hasError = false;
    FLAC__StreamDecoderErrorStatus errorStatus = FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC;
    juce::int64 errorFrame = 0;
    Fault fault = Fault::none;

    juce::String quotedName() const { return "\"" + file.getFileName() + "\""; }

    //==============================================================================
    bool open (juce::String& error)
    {
        auto stream = std::make_unique<juce::FileInputStream> (file);

        if (! stream->openedOk())
        {
            error = "The file " + quotedName() + " could not be opened: " + stream->getStatus().getErrorMessage();
            return false;
        }

        // The decoder would read every byte of every metadata block; those past the limit are
        // left out of what it is shown, as they are for the framework's reader.
        AudioFileChunks ownWalk;

        if (walked == nullptr)
            ownWalk = walkAudioFileChunks (file);

        const auto& chunks = walked != nullptr ? *walked : ownWalk;
        walked = nullptr;

        if (chunks.isDamaged())
        {
            error = chunks.damage.replaceFirstOccurrenceOf ("The file ", "The file " + quotedName() + " ");
            return false;
        }

        fileInput = stream.get();
        shown = std::move (stream);

        if (! chunks.flacCut.isEmpty())
            shown = std::make_unique<FlacFileView> (std::move (shown), chunks.flacCut);

        if (readAheadBytes > 0)
            buffered = std::make_unique<juce::BufferedInputStream> (*shown, readAheadBytes);

        decoder = FLAC__stream_decoder_new();

        if (decoder == nullptr)
        {
            error = "Not enough memory to decode the file " + quotedName() + ".";
            return false;
        }

        if (FLAC__stream_decoder_init_stream (decoder, readCallback, seekCallback, tellCallback, lengthCallback, eofCallback, writeCallback, metadataCallback, errorCallback, this)
            != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        {
            error = "The FLAC decoder could not be started for the file " + quotedName() + ".";
            return false;
        }

        const bool processed = FLAC__stream_decoder_process_until_end_of_metadata (decoder);

        if (processed && ! hasError && hasStreamInfo)
            return true;

        if (FLAC__stream_decoder_get_state (decoder) == FLAC__STREAM_DECODER_END_OF_STREAM)
            error = "The file " + quotedName() + " is truncated: it ends inside its header.";
        else if (hasError)
            error = "The file " + quotedName() + " is damaged: " + describeDecoderError (errorStatus) + ".";
        else
            error = "The file " + quotedName() + " is damaged: its header could not be read.";

        return false;
    }

    bool read (juce::int64 first,
               juce::int64 count,
               juce::int64 totalFrames,
               double* const* target,
               juce::String& error,
               const CancelCheck& cancel)
    {
        // A read going on where the last one ended starts with what that one decoded beyond it.
        juce::int64 done = 0;

        if (carried > 0 && first == position - carried)
        {
            done = takeCarried (target, count);

            if (done == count)
                return true;
        }

        carried = 0;
        destination = target;
        start = first;
        end = first + count;
        next = first + done;

        // A seek delivers its target frame starting exactly at the sample asked for.
        if (next != position && ! FLAC__stream_decoder_seek_absolute (decoder, (FLAC__uint64) next))
        {
            carried = 0;

            if (! describeFault (error))
                error = "The file " + quotedName() + " is truncated or damaged: frame " + juce::String (first)
                        + " cannot be found.";

            return false;
        }

        juce::int64 nextPoll = next;

        while (next < end && ! hasError && fault == Fault::none
               && FLAC__stream_decoder_get_state (decoder) != FLAC__STREAM_DECODER_END_OF_STREAM)
        {
            if (next >= nextPoll && cancel != nullptr)
            {
                if (cancel())
                {
                    // Whole frames were delivered so far: the decoder stands at the next one.
                    position = next;
                    carried = 0;
                    error = getCancelledErrorText();
                    return false;
                }

                nextPoll = next + cancelPollFrames;
            }

            if (! FLAC__stream_decoder_process_single (decoder))
                break;
        }

        const auto state = FLAC__stream_decoder_get_state (decoder);

        if (next >= end && ! hasError && fault == Fault::none)
        {
            position = next;
            return true;
        }

        // Nothing decoded by a failed read is handed on.
        carried = 0;

        // A stream cut inside a frame also loses its synchronisation there; the cut is the cause.
        if (next < end && state == FLAC__STREAM_DECODER_END_OF_STREAM)
        {
            error = "The file " + quotedName() + " is truncated: its header announces " + juce::String (totalFrames)
                    + " frames, but the audio ends after " + juce::String (next) + ".";
            return false;
        }

        // A damaged frame is delivered as silence after its error, so the error decides.
        if (describeFault (error))
            return false;

        if (state == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR)
            error = "Not enough memory to decode the file " + quotedName() + ".";
        else
            error = "The file " + quotedName() + " could not be read past frame " + juce::String (next) + ".";

        return false;
    }

    bool checkEnd (juce::String& error)
    {
        if (announced <= 0)
            return true; // the framework found the length by decoding the whole stream

        destination = nullptr;
        carried = 0;
        start = next = announced - 1;
        end = announced;

        if (FLAC__stream_decoder_seek_absolute (decoder, (FLAC__uint64) (announced - 1)) && next >= end
            && fault == Fault::none)
        {
            position = next;
            return true;
        }

        error = "The file " + quotedName() + " is truncated or damaged: its header announces " + juce::String (announced)
                + " frames, but the last of them cannot be decoded.";
        return false;
    }

    // The message for a decoder error or a broken frame sequence; false when there is none.
    bool describeFault (juce::String& error) const
    {
        if (hasError)
        {
            error = "The file " + quotedName() + " is damaged: " + describeDecoderError (errorStatus) + " (at frame "
                    + juce::String (errorFrame) + ").";
            return true;
        }

        if (fault == Fault::gap)
        {
            error = "The file " + quotedName() + " is damaged: audio is missing at frame " + juce::String (next) + ".";
            return true;
        }

        if (fault == Fault::formatChange)
        {
            error = "The file " + quotedName() + " is damaged: the audio at frame " + juce::String (next)
                    + " changes its channel count or bit depth.";
            return true;
        }

        return false;
    }

    // Frames [from, from + count) of a decoded audio frame to output[ch] + offset.
    void store (const FLAC__int32* const buffer[], int from, double* const* output, juce::int64 offset, int count) const noexcept
    {
        if (bitsPerSample <= 24)
        {
            // Exactly what the framework's integer-to-float path yields for these widths.
            const double scale = 1.0 / (double) (1 << (bitsPerSample - 1));

            for (int ch = 0; ch < numChannels; ++ch)
            {
                const FLAC__int32* source = buffer[ch] + from;
                double* out = output[ch] + offset;

                for (int i = 0; i < count; ++i)
                    out[i] = (double) source[i] * scale;
            }

            return;
        }

        // Wider samples are rounded to 32-bit floats on the framework's path; so they are here.
        const int shift = 32 - bitsPerSample;
        constexpr float scale = 1.0f / (float) 0x7fffffff;

        for (int ch = 0; ch < numChannels; ++ch)
        {
            const FLAC__int32* source = buffer[ch] + from;
            double* out = output[ch] + offset;

            for (int i = 0; i < count; ++i)
                out[i] = (double) ((float) (FLAC__int32) ((FLAC__uint32) source[i] << shift) * scale);
        }
    }

    // Keeps frames [from, frames) of a decoded audio frame for the next read.
    void keepRest (const FLAC__int32* const buffer[], int from, int frames)
    {
        const auto rest = frames - from;

        if (rest > carryCapacity)
        {
            carry.assign ((size_t) rest * (size_t) numChannels, 0.0);
            carryCapacity = rest;
        }

        double* channels[FLAC__MAX_CHANNELS] = {};

        for (int ch = 0; ch < numChannels && ch < (int) FLAC__MAX_CHANNELS; ++ch)
            channels[ch] = carry.data() + (size_t) ch * (size_t) carryCapacity;

        store (buffer, from, channels, 0, rest);
        carriedFrom = 0;
        carried = rest;
    }

    // Takes up to count carried frames into target, from its first frame on; how many.
    int takeCarried (double* const* target, juce::int64 count)
    {
        const auto n = (int) std::min<juce::int64> (count, carried);

        for (int ch = 0; ch < numChannels; ++ch)
            std::copy_n (carry.data() + (size_t) ch * (size_t) carryCapacity + (size_t) carriedFrom, n, target[ch]);

        carriedFrom += n;
        carried -= n;
        return n;
    }

    //==============================================================================
    static FLAC__StreamDecoderReadStatus readCallback (const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* client)
    {
        auto& d = *static_cast<Impl*> (client);

        if (*bytes == 0)
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;

        const auto got = d.input().read (buffer, (int) std::min<size_t> (*bytes, INT_MAX / 2));

        if (got <= 0)
        {
            *bytes = 0;
            return d.fileInput->getStatus().failed() ? FLAC__STREAM_DECODER_READ_STATUS_ABORT
                                                    : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
        }

        *bytes = (size_t) got;
        return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderSeekStatus seekCallback (const FLAC__StreamDecoder*, FLAC__uint64 offset, void* client)
    {
        return static_cast<Impl*> (client)->input().setPosition ((juce::int64) offset) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                                                                       : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }

    static FLAC__StreamDecoderTellStatus tellCallback (const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client)
    {
        *offset = (FLAC__uint64) static_cast<Impl*> (client)->input().getPosition();
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus lengthCallback (const FLAC__StreamDecoder*, FLAC__uint64* length, void* client)
    {
        const auto total = static_cast<Impl*> (client)->input().getTotalLength();

        if (total < 0)
            return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;

        *length = (FLAC__uint64) total;
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool eofCallback (const FLAC__StreamDecoder*, void* client)
    {
        return static_cast<Impl*> (client)->input().isExhausted();
    }

    static FLAC__StreamDecoderWriteStatus writeCallback (const FLAC__StreamDecoder*,
                                                         const FLAC__Frame* frame,
                                                         const FLAC__int32* const buffer[],
                                                         void* client)
    {
        auto& d = *static_cast<Impl*> (client);
        const auto& header = frame->header;

        if ((int) header.channels != d.numChannels || (int) header.bits_per_sample != d.bitsPerSample)
        {
            d.fault = Fault::formatChange;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }

        // The decoder turns frame numbers into sample numbers before it calls here.
        if (header.number_type != FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER || (juce::int64) header.number.sample_number != d.next)
        {
            d.fault = Fault::gap;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }

        const auto frames = (juce::int64) header.blocksize;

        if (d.destination != nullptr)
        {
            const auto wanted = std::min (frames, d.end - d.next);

            if (wanted > 0)
                d.store (buffer, 0, d.destination, d.next - d.start, (int) wanted);

            if (wanted < frames)
                d.keepRest (buffer, (int) std::max<juce::int64> (0, wanted), (int) frames);
        }

        d.next += frames;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void metadataCallback (const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client)
    {
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;

        auto& d = *static_cast<Impl*> (client);
        const auto& info = metadata->data.stream_info;
        d.hasStreamInfo = true;
        d.announced = (juce::int64) info.total_samples;
        d.numChannels = (int) info.channels;
        d.bitsPerSample = (int) info.bits_per_sample;
    }

    static void errorCallback (const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client)
    {
        auto& d = *static_cast<Impl*> (client);

        if (! d.hasError)
        {
            d.hasError = true;
            d.errorStatus = status;
            d.errorFrame = d.next;
        }
    }
};

//==============================================================================
FlacFileDecoder::FlacFileDecoder (const juce::File& file, int readAheadBytes, const AudioFileChunks* walked)
    : impl (std::make_unique<Impl> (file, readAheadBytes, walked))
{
}

FlacFileDecoder::~FlacFileDecoder() = default;

bool FlacFileDecoder::open (juce::String& error)
{
    return impl->open (error);
}

juce::int64 FlacFileDecoder::getAnnouncedFrames() const noexcept
{
    return impl->announced;
}

int FlacFileDecoder::getNumChannels() const noexcept
{
    return impl->numChannels;
}

int FlacFileDecoder::getBitsPerSample() const noexcept
{
    return impl->bitsPerSample;
}

bool FlacFileDecoder::read (juce::int64 start,
                            juce::int64 count,
                            juce::int64 totalFrames,
                            double* const* destination,
                            juce::String& error,
                            const CancelCheck& cancel)
{
    if (impl->decoder == nullptr || start < 0 || count < 0)
    {
        error = "The file " + impl->quotedName() + " could not be decoded.";
        return false;
    }

    return impl->read (start, count, totalFrames, destination, error, cancel);
}

bool FlacFileDecoder::checkEnd (juce::String& error)
{
    if (impl->decoder == nullptr)
    {
        error = "The file " + impl->quotedName() + " could not be decoded.";
        return false;
    }

    return impl->checkEnd (error);
}

} // namespace dunmoor
