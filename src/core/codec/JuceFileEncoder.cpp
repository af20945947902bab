#include "JuceFileEncoder.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include <juce_audio_formats/juce_audio_formats.h>

#if JUCE_LINUX
 #include <fcntl.h>
 #include <unistd.h>
#endif

#include "Dither.h"
#include "core/model/CodecCapabilities.h"
#include "core/files/AtomicFileWriter.h"

namespace dunmoor
{

namespace
{
    juce::String upperName (Codec c) { return codecToString (c).toUpperCase(); }

    /** What the writer's stream saw: any refused write or seek, and how far the data reaches. */
    struct StreamRecord
    {
        bool failed = false;
        juce::int64 end = 0;
    };

    /** Stands between a format writer and the file stream. The writer owns and deletes this
        wrapper, while the file stream stays with the encoder: it can then be flushed and
        checked after the writer has finished the header, before anything is committed. The
        writers ignore the results of their header writes; the record keeps them. */
    class RecordingStream final : public juce::OutputStream
    {
    public:
        RecordingStream (juce::OutputStream& destination, StreamRecord& recordToUse)
            : out (destination), record (recordToUse)
        {
        }

        void flush() override { out.flush(); }

        bool setPosition (juce::int64 position) override
        {
            const auto ok = out.setPosition (position);
            record.failed = record.failed || ! ok;
            return ok;
        }

        juce::int64 getPosition() override { return out.getPosition(); }

        bool write (const void* data, size_t numBytes) override
        {
            const auto start = out.getPosition();
            const auto ok = out.write (data, numBytes);

            if (ok)
                record.end = std::max (record.end, start + (juce::int64) numBytes);
            else
                record.failed = true;

            return ok;
        }

    private:
        juce::OutputStream& out;
        StreamRecord& record;
    };

    std::unique_ptr<juce::AudioFormat> createFormat (Codec c)
    {
        switch (c)
        {
            case Codec::wav:  return std::make_unique<juce::WavAudioFormat>();
            case Codec::aiff: return std::make_unique<juce::AiffAudioFormat>();
            case Codec::flac: return std::make_unique<juce::FlacAudioFormat>();
            case Codec::mp3:  break;
        }

        return {};
    }

    /** Rounds onto the integer grid of the word length (halves away from zero) and returns
        the value left-justified in 32 bits, which the writers store without rounding again. */
    struct Quantiser
    {
        explicit Quantiser (int bits)
            : scale (std::ldexp (1.0, bits - 1))
            , maxValue ((1ll << (bits - 1)) - 1)
            , shift (32 - bits)
        {
        }

        int operator() (double x) const noexcept
        {
            if (std::isnan (x))
                x = 0.0;

            x = juce::jlimit (-1.0, 1.0, x);
            const auto q = std::min ((long long) roundHalfAwayFromZero (x * scale), maxValue);
            return (int) (uint32_t) ((uint32_t) q << shift);
        }

        double scale;
        long long maxValue;
        int shift;
    };

    float narrowToFloat (double x, bool clamp) noexcept
    {
        if (std::isnan (x))
            return 0.0f;

        return (float) (clamp ? juce::jlimit (-1.0, 1.0, x) : x);
    }
} // namespace

JuceFileEncoder::JuceFileEncoder (Codec codecToUse)
    : codec (codecToUse)
{
    jassert (isLosslessCodec (codec));
}

juce::String JuceFileEncoder::getName() const
{
    return "JUCE " + upperName (codec) + " encoder";
}

std::unique_ptr<juce::FileOutputStream> JuceFileEncoder::openOutputStream (const juce::File& temporaryFile) const
{
    return std::make_unique<juce::FileOutputStream> (temporaryFile, 16384);
}

namespace
{
    juce::String partWayError() { return "Writing failed part-way through; the disk may be full."; }

    /** A file written a window at a time: dithered and quantised block by block, each block of
        each channel on its own, so that the file is the same however the audio is cut into
        windows (at whole blocks) and however the work is shared out. */
    class JuceEncodeSession final : public EncodeSession
    {
    public:
        JuceEncodeSession (std::unique_ptr<AtomicFileWriter> atomicWriter,
                           std::unique_ptr<juce::FileOutputStream> fileStream,
                           const EncoderSettings& settings,
                           int channels,
                           juce::int64 frames,
                           int bits)
            : fileWriter (std::move (atomicWriter))
            , stream (std::move (fileStream))
            , numChannels (channels)
            , numFrames (frames)
            , isFloat (settings.sampleFormat == SampleFormat::float32)
            , clampFloat (settings.clampFloat)
            , blockFrames ((int) std::min<juce::int64> (JuceFileEncoder::blockSize, std::max<juce::int64> (frames, 1)))
            , dither (isDitherApplicable (settings.dither, settings.sampleFormat) ? settings.dither : DitherKind::none, bits, settings.ditherSeed)
            , quantise (isFloat ? 24 : bits)
            , wide ((size_t) channels * (size_t) blockFrames)
        {
        }

        /** Creates the format's writer on the stream; false when the format refuses the settings. */
        bool openWriter (juce::AudioFormat& format, const EncoderSettings& settings, int bits)
        {
            auto recorder = std::make_unique<RecordingStream> (*stream, record);
            writer.reset (format.createWriterFor (recorder.get(), settings.sampleRate, (unsigned int) numChannels, bits, {}, 0));

            if (writer == nullptr)
                return false;   // refused: the stream still belongs to us, and goes with recorder

            recorder.release(); // the writer owns it now
            return true;
        }

        ~JuceEncodeSession() override
        {
           #if JUCE_LINUX
            if (writeBackHandle >= 0)
                ::close (writeBackHandle);
           #endif
        }

        int getWindowFrames() const override { return blockFrames; }

        bool append (const juce::AudioBuffer<double>& audio, int count, juce::String& error, const CancelCheck& cancel, const ParallelTasks& parallel) override
        {
            error.clear();

            try
            {
                return appendFrames (audio, count, error, cancel, parallel);
            }
            catch (const std::bad_alloc&)
            {
                error = "There is not enough memory to write '" + fileWriter->getTarget().getFileName() + "'.";
                return false;
            }
        }

        bool finish (juce::String& error) override
        {
            error.clear();

            if (writer == nullptr || framesWritten != numFrames)
            {
                error = "Writing failed part-way through.";
                return false;
            }

            // Completes the header through the recorder, which the writer deletes with itself.
            writer.reset();
            stream->flush();

            // A disk that fills at the very end fails the header or the last buffer; the writers
            // do not report that, and a short final write does not even set the stream's status.
            const auto finished = ! record.failed && stream->getStatus().wasOk();
            stream.reset();

            if (! finished || fileWriter->getTemporaryFile().getSize() != record.end)
            {
                error = "Writing failed while finishing the file; the disk may be full.";
                return false;
            }

            if (! fileWriter->commit())
            {
                error = fileWriter->getError();
                return false;
            }

            return true;
        }

    private:
        bool appendFrames (const juce::AudioBuffer<double>& audio, int count, juce::String& error, const CancelCheck& cancel, const ParallelTasks& parallel)
        {
            // A window that does not end on a block would move the blocks after it, and the
            // dither with them.
            if (writer == nullptr || framesWritten % blockFrames != 0 || count < 0 || framesWritten + count > numFrames
                || audio.getNumChannels() != numChannels || audio.getNumSamples() < count)
            {
                jassertfalse;
                error = "Writing failed part-way through.";
                return false;
            }

            // Blocks go through in steps: while the writer packs one step, the next is dithered
            // and quantised, each channel on its own (the dither keeps a state per channel). Shared
            // out, a step holds several blocks, so that the threads meet less often.
            const int blocksPerStep = parallel != nullptr ? 8 : 1;
            stepFrames = (size_t) blockFrames * (size_t) blocksPerStep;
            const auto stepSamples = (size_t) numChannels * stepFrames;

            for (int set = 0; set < 2; ++set)
            {
                if (isFloat && floats[set].size() < stepSamples)
                    floats[set].resize (stepSamples);
                else if (! isFloat && integers[set].size() < stepSamples)
                    integers[set].resize (stepSamples);
            }

            integerChannels.resize ((size_t) numChannels + 1, nullptr);
            floatChannels.resize ((size_t) numChannels + 1, nullptr);

            // The step prepared last, still to be written.
            int waitingSet = -1;
            int waitingFrames = 0;

            for (int start = 0, set = 0; start < count; start += (int) stepFrames, set ^= 1)
            {
                const auto framesInStep = (int) std::min<juce::int64> ((juce::int64) stepFrames, count - start);

                // Asked once for every block, before any of them is written. Dropping the
                // session drops the writer, the stream and then the atomic writer, which deletes
                // the temporary file: nothing of a cancelled encode stays on disk.
                for (int b = 0; b * blockFrames < framesInStep; ++b)
                {
                    if (isCancelRequested (cancel))
                    {
                        error = getCancelledErrorText();
                        return false;
                    }
                }

                if (parallel != nullptr)
                {
                    // Task numChannels writes the step before this one.
                    const auto tasks = numChannels + (waitingSet >= 0 ? 1 : 0);
                    parallel (tasks, [&] (int task)
                              {
                                  if (task < numChannels)
                                      prepareChannel (audio, set, start, framesInStep, task);
                                  else
                                      writeStep (waitingSet, waitingFrames);
                              });
                }
                else
                {
                    if (waitingSet >= 0)
                        writeStep (waitingSet, waitingFrames);

                    for (int ch = 0; ch < numChannels && ! writeFailed; ++ch)
                        prepareChannel (audio, set, start, framesInStep, ch);
                }

                if (writeFailed)
                {
                    error = partWayError();
                    return false;
                }

                waitingSet = set;
                waitingFrames = framesInStep;
            }

            if (waitingSet >= 0)
                writeStep (waitingSet, waitingFrames);

            if (writeFailed)
            {
                error = partWayError();
                return false;
            }

            framesWritten += count;
            startWriteBack();
            return true;
        }

        /** Asks the system to start putting what has been written so far on the disk, without
            waiting for it: the flush that finishes the file then finds little left, and the disk
            works while the next windows are made instead of all at the end. */
        void startWriteBack()
        {
           #if JUCE_LINUX
            if (writeBackHandle < 0)
                writeBackHandle = ::open (fileWriter->getTemporaryFile().getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC);

            // Only what came since the last call: the system need not look at the rest again.
            // The stream may still hold the last few kilobytes; the next call takes them.
            const auto end = record.end;

            if (writeBackHandle >= 0 && end > writeBackStart)
            {
                (void) ::sync_file_range (writeBackHandle, (off64_t) writeBackStart, (off64_t) (end - writeBackStart), SYNC_FILE_RANGE_WRITE);
                writeBackStart = end;
            }
           #endif
        }

        // Where block b of a step of the set keeps channel ch.
        size_t offsetOf (int ch, int b) const { return (size_t) ch * stepFrames + (size_t) b * (size_t) blockFrames; }

        void prepareChannel (const juce::AudioBuffer<double>& audio, int set, int stepStart, int framesInStep, int ch)
        {
            auto* samples = wide.data() + (size_t) ch * (size_t) blockFrames;

            for (int b = 0; b * blockFrames < framesInStep; ++b)
            {
                const auto frames = std::min (blockFrames, framesInStep - b * blockFrames);
                std::copy_n (audio.getReadPointer (ch, stepStart + b * blockFrames), frames, samples);
                dither.process (samples, frames, ch);

                if (isFloat)
                {
                    auto* dest = floats[set].data() + offsetOf (ch, b);

                    for (int i = 0; i < frames; ++i)
                        dest[i] = narrowToFloat (samples[i], clampFloat);
                }
                else
                {
                    auto* dest = integers[set].data() + offsetOf (ch, b);

                    for (int i = 0; i < frames; ++i)
                        dest[i] = quantise (samples[i]);
                }
            }
        }

        void writeStep (int set, int framesInStep)
        {
            for (int b = 0; b * blockFrames < framesInStep && ! writeFailed; ++b)
            {
                const auto frames = std::min (blockFrames, framesInStep - b * blockFrames);

                for (int ch = 0; ch < numChannels; ++ch)
                {
                    if (isFloat)
                        floatChannels[(size_t) ch] = floats[set].data() + offsetOf (ch, b);
                    else
                        integerChannels[(size_t) ch] = integers[set].data() + offsetOf (ch, b);
                }

                const auto written = isFloat ? writer->writeFromFloatArrays (floatChannels.data(), numChannels, frames)
                                             : writer->write (integerChannels.data(), frames);

                writeFailed = ! written || record.failed;
            }
        }

        // Declared in the order they are given up: the writer (finishing the header through the
        // stream) before the stream, and the stream before the atomic writer removes its file.
        std::unique_ptr<AtomicFileWriter> fileWriter;
        std::unique_ptr<juce::FileOutputStream> stream;
        StreamRecord record;
        std::unique_ptr<juce::AudioFormatWriter> writer;

        const int numChannels;
        const juce::int64 numFrames;
        const bool isFloat;
        const bool clampFloat;
        const int blockFrames;
        Dither dither;
        const Quantiser quantise;

        juce::int64 framesWritten = 0;
        size_t stepFrames = 0;
        bool writeFailed = false;
        int writeBackHandle = -1;       // the file being written, opened again to start its write-back
        juce::int64 writeBackStart = 0; // where the next write-back starts
        std::vector<double> wide;
        std::vector<int> integers[2];
        std::vector<float> floats[2];
        std::vector<const int*> integerChannels;
        std::vector<const float*> floatChannels;
    };
} // namespace

bool JuceFileEncoder::encode (const juce::AudioBuffer<double>& audio,
                              const juce::File& target,
                              const EncoderSettings& settings,
                              juce::String& error,
                              const CancelCheck& cancel,
                              const ParallelTasks& parallel)
{
    auto session = begin (target, settings, audio.getNumChannels(), audio.getNumSamples(), error);

    return session != nullptr
        && session->append (audio, audio.getNumSamples(), error, cancel, parallel)
        && session->finish (error);
}

std::unique_ptr<EncodeSession> JuceFileEncoder::begin (const juce::File& target,
                                                       const EncoderSettings& settings,
                                                       int numChannels,
                                                       juce::int64 numFrames,
                                                       juce::String& error)
{
    error.clear();

    try
    {
        return beginFile (target, settings, numChannels, numFrames, error);
    }
    catch (const std::bad_alloc&)
    {
        // Everything allocated for this file has been released on the way out, and the
        // atomic writer has removed its temporary file.
        error = "There is not enough memory to write '" + target.getFileName() + "'.";
        return {};
    }
}

std::unique_ptr<EncodeSession> JuceFileEncoder::beginFile (const juce::File& target,
                                                           const EncoderSettings& settings,
                                                           int numChannels,
                                                           juce::int64 numFrames,
                                                           juce::String& error)
{
    if (settings.codec != codec)
    {
        error = "This encoder was created for " + codecToString (codec) + ", not " + codecToString (settings.codec) + ".";
        return {};
    }

    if (! supportsSampleFormat (codec, settings.sampleFormat))
    {
        error = upperName (codec) + " cannot store " + sampleFormatToString (settings.sampleFormat) + ".";
        return {};
    }

    if (! supportsSampleRate (codec, settings.sampleRate))
    {
        error = upperName (codec) + " cannot store " + formatKilohertzWithOneDecimal (settings.sampleRate) + ".";
        return {};
    }

    if (numChannels < 1 || numChannels > 64)
    {
        error = "Unsupported channel count: " + juce::String (numChannels) + ".";
        return {};
    }

    auto format = createFormat (codec);

    if (format == nullptr)
    {
        error = "The " + upperName (codec) + " encoder is not available in this build.";
        return {};
    }

    const auto isFloat = settings.sampleFormat == SampleFormat::float32;
    const auto bits = isFloat ? 32 : bitsPerSample (settings.sampleFormat);

    if (! checkEncodedFileSize (codec, bits, numChannels, numFrames, error))
        return {};

    auto fileWriter = std::make_unique<AtomicFileWriter> (target);

    if (! fileWriter->hasTemporaryFile())
    {
        error = fileWriter->getError();
        return {};
    }

    const auto temporaryFile = fileWriter->getTemporaryFile();
    auto stream = openOutputStream (temporaryFile);

    if (stream == nullptr || stream->failedToOpen())
    {
        error = "Could not open '" + temporaryFile.getFullPathName() + "' for writing.";
        return {};
    }

    auto session = std::make_unique<JuceEncodeSession> (std::move (fileWriter), std::move (stream), settings, numChannels, numFrames, bits);

    if (! session->openWriter (*format, settings, bits))
    {
        error = "The " + upperName (codec) + " writer rejected these settings (" + settings.describe() + ").";
        return {};
    }

    return session;
}

std::unique_ptr<AudioEncoder> createEncoder (Codec codec, juce::String& error)
{
    error.clear();

    if (! isCodecAvailable (codec))
    {
        error = describeCodecAvailability (codec);
        return {};
    }

    switch (codec)
    {
        case Codec::wav:
        case Codec::aiff:
        case Codec::flac:
            return std::make_unique<JuceFileEncoder> (codec);
        case Codec::mp3:
            break;
    }

    error = "Unknown codec.";
    return {};
}

bool checkEncodedFileSize (Codec codec, int bits, int numChannels, juce::int64 numFrames, juce::String& error)
{
    const auto dataBytes = std::max ((juce::int64) 0, numFrames) * (juce::int64) std::max (0, numChannels) * (juce::int64) (std::max (0, bits) / 8);
    const auto paddedBytes = dataBytes + (dataBytes & 1);

    if (codec == Codec::aiff)
    {
        // The FORM chunk's size (46 bytes of header plus the padded data) must fit a signed
        // 32-bit size; the framework's AIFF writer casts it to int and corrupts the header
        // beyond that.
        if (paddedBytes + 46 > (juce::int64) 0x7fffffff)
        {
            error = "This audio needs " + juce::File::descriptionOfSizeInBytes (dataBytes)
                  + " of sample data, more than an AIFF file can hold (2 GiB). Choose WAV or FLAC for audio this long.";
            return false;
        }
    }
    else if (codec == Codec::wav)
    {
        // Below 4 GiB of data the writer keeps a plain RIFF header, whose size field
        // (96 bytes of header plus the padded data) is an unsigned 32-bit number.
        constexpr juce::int64 rf64Threshold = 0x100000000ll;

        if (dataBytes < rf64Threshold && paddedBytes + 96 > (juce::int64) 0xffffffffll)
        {
            error = "This audio needs " + juce::String (dataBytes)
                  + " bytes of sample data, a size just below 4 GiB that a WAV header cannot describe. Choose FLAC, or change the length by a few samples.";
            return false;
        }
    }

    return true;
}

juce::int64 maxEncodedFileBytes (Codec codec, SampleFormat sampleFormat, int numChannels, juce::int64 numFrames)
{
    const auto frames = std::max ((juce::int64) 0, numFrames);
    const auto channels = (juce::int64) std::max (0, numChannels);
    const auto bits = (juce::int64) (sampleFormat == SampleFormat::float32 ? 32 : bitsPerSample (sampleFormat));

    // The writers' headers (RIFF or RF64, AIFF) take about a hundred bytes; no metadata is written.
    constexpr juce::int64 headerRoom = 1024;

    switch (codec)
    {
        case Codec::wav:
        case Codec::aiff:
        {
            const auto dataBytes = frames * channels * (bits / 8);
            return dataBytes + (dataBytes & 1) + headerRoom;
        }

        case Codec::flac:
        {
            // Every subframe may fall back to verbatim samples; a frame adds at most a 16-byte
            // header, a CRC, byte alignment and per channel a subframe header with wasted-bits
            // count. No encoder setting makes frames shorter than 1152 samples. The stream
            // starts with its signature and metadata (stream info and the vendor comment).
            constexpr juce::int64 shortestBlock = 1152;
            constexpr juce::int64 metadataRoom = 8192;
            const auto bitsPerFrame = channels * bits + (channels == 2 ? 1 : 0);
            const auto blocks = (frames + shortestBlock - 1) / shortestBlock;
            return (frames * bitsPerFrame + 7) / 8 + blocks * (19 + 5 * channels) + metadataRoom;
        }

        case Codec::mp3:
            break;
    }

    return 0;
}

} // namespace dunmoor
