#include "JuceFileEncoder.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include <juce_audio_formats/juce_audio_formats.h>

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

bool JuceFileEncoder::encode (const juce::AudioBuffer<double>& audio,
                              const juce::File& target,
                              const EncoderSettings& settings,
                              juce::String& error,
                              const CancelCheck& cancel,
                              const ParallelTasks& parallel)
{
    error.clear();

    try
    {
        return encodeFile (audio, target, settings, error, cancel, parallel);
    }
    catch (const std::bad_alloc&)
    {
        // Everything allocated for this file has been released on the way out, and the
        // atomic writer has removed its temporary file.
        error = "There is not enough memory to write '" + target.getFileName() + "'.";
        return false;
    }
}

bool JuceFileEncoder::encodeFile (const juce::AudioBuffer<double>& audio,
                                  const juce::File& target,
                                  const EncoderSettings& settings,
                                  juce::String& error,
                                  const CancelCheck& cancel,
                                  const ParallelTasks& parallel)
{
    if (settings.codec != codec)
    {
        error = "This encoder was created for " + codecToString (codec) + ", not " + codecToString (settings.codec) + ".";
        return false;
    }

    if (! supportsSampleFormat (codec, settings.sampleFormat))
    {
        error = upperName (codec) + " cannot store " + sampleFormatToString (settings.sampleFormat) + ".";
        return false;
    }

    if (! supportsSampleRate (codec, settings.sampleRate))
    {
        error = upperName (codec) + " cannot store " + formatKilohertzWithOneDecimal (settings.sampleRate) + ".";
        return false;
    }

    const auto numChannels = audio.getNumChannels();
    const auto numFrames = audio.getNumSamples();

    if (numChannels < 1 || numChannels > 64)
    {
        error = "Unsupported channel count: " + juce::String (numChannels) + ".";
        return false;
    }

    auto format = createFormat (codec);

    if (format == nullptr)
    {
        error = "The " + upperName (codec) + " encoder is not available in this build.";
        return false;
    }

    const auto isFloat = settings.sampleFormat == SampleFormat::float32;
    const auto bits = isFloat ? 32 : bitsPerSample (settings.sampleFormat);

    if (! checkEncodedFileSize (codec, bits, numChannels, numFrames, error))
        return false;

    AtomicFileWriter fileWriter (target);

    if (! fileWriter.hasTemporaryFile())
    {
        error = fileWriter.getError();
        return false;
    }

    const auto temporaryFile = fileWriter.getTemporaryFile();
    auto stream = openOutputStream (temporaryFile);

    if (stream == nullptr || stream->failedToOpen())
    {
        error = "Could not open '" + temporaryFile.getFullPathName() + "' for writing.";
        return false;
    }

    StreamRecord record;
    auto recorder = std::make_unique<RecordingStream> (*stream, record);

    std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (recorder.get(),
                                                                              settings.sampleRate,
                                                                              (unsigned int) numChannels,
                                                                              bits,
                                                                              {},
                                                                              0));
    if (writer == nullptr)
    {
        // Refused: the stream still belongs to us, and goes with recorder.
        error = "The " + upperName (codec) + " writer rejected these settings (" + settings.describe() + ").";
        return false;
    }

    recorder.release(); // the writer owns it now

    const auto ditherKind = isDitherApplicable (settings.dither, settings.sampleFormat) ? settings.dither : DitherKind::none;
    Dither dither (ditherKind, bits, settings.ditherSeed);
    const Quantiser quantise (isFloat ? 24 : bits);

    // Blocks go through in steps: while the writer packs one step, the next is dithered and
    // quantised, each channel on its own (the dither keeps a state per channel, and every block
    // is dithered as a block of its own), so the file is the same however the work is shared
    // out. Shared out, a step holds several blocks, so that the threads meet less often.
    const auto blockFrames = std::min (blockSize, std::max (numFrames, 1));
    const int blocksPerStep = parallel != nullptr ? 8 : 1;
    const auto stepFrames = (size_t) blockFrames * (size_t) blocksPerStep;
    const auto stepSamples = (size_t) numChannels * stepFrames;

    std::vector<double> wide ((size_t) numChannels * (size_t) blockFrames);
    std::vector<int> integers[2];
    std::vector<float> floats[2];

    for (int set = 0; set < 2; ++set)
    {
        if (isFloat)
            floats[set].resize (stepSamples);
        else
            integers[set].resize (stepSamples);
    }

    // Where block b of a step of the set keeps channel ch.
    auto offsetOf = [&] (int ch, int b) { return (size_t) ch * stepFrames + (size_t) b * (size_t) blockFrames; };

    auto prepareChannel = [&] (int set, int stepStart, int framesInStep, int ch)
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
                    dest[i] = narrowToFloat (samples[i], settings.clampFloat);
            }
            else
            {
                auto* dest = integers[set].data() + offsetOf (ch, b);

                for (int i = 0; i < frames; ++i)
                    dest[i] = quantise (samples[i]);
            }
        }
    };

    bool writeFailed = false;
    std::vector<const int*> integerChannels ((size_t) numChannels + 1, nullptr);
    std::vector<const float*> floatChannels ((size_t) numChannels + 1, nullptr);

    auto writeStep = [&] (int set, int framesInStep)
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
    };

    // The step prepared last, still to be written.
    int waitingSet = -1;
    int waitingFrames = 0;

    for (int start = 0, set = 0; start < numFrames; start += (int) stepFrames, set ^= 1)
    {
        const auto framesInStep = (int) std::min<juce::int64> ((juce::int64) stepFrames, numFrames - start);

        // Asked once for every block, before any of them is written. Leaving here drops the
        // writer, the stream and then the atomic writer, which deletes the temporary file:
        // nothing of a cancelled encode stays on disk.
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
                              prepareChannel (set, start, framesInStep, task);
                          else
                              writeStep (waitingSet, waitingFrames);
                      });
        }
        else
        {
            if (waitingSet >= 0)
                writeStep (waitingSet, waitingFrames);

            for (int ch = 0; ch < numChannels && ! writeFailed; ++ch)
                prepareChannel (set, start, framesInStep, ch);
        }

        if (writeFailed)
        {
            error = "Writing failed part-way through; the disk may be full.";
            return false;
        }

        waitingSet = set;
        waitingFrames = framesInStep;
    }

    if (waitingSet >= 0)
        writeStep (waitingSet, waitingFrames);

    if (writeFailed)
    {
        error = "Writing failed part-way through; the disk may be full.";
        return false;
    }

    // Completes the header through the recorder, which the writer deletes with itself.
    writer.reset();
    stream->flush();

    // A disk that fills at the very end fails the header or the last buffer; the writers
    // do not report that, and a short final write does not even set the stream's status.
    const auto finished = ! record.failed && stream->getStatus().wasOk();
    stream.reset();

    if (! finished || temporaryFile.getSize() != record.end)
    {
        error = "Writing failed while finishing the file; the disk may be full.";
        return false;
    }

    if (! fileWriter.commit())
    {
        error = fileWriter.getError();
        return false;
    }

    return true;
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

} // namespace dunmoor
