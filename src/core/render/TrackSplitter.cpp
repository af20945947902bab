#include "TrackSplitter.h"

#include <cmath>

#include "core/audio/AudioFileReader.h"
#include "core/codec/JuceFileEncoder.h"
#include "core/model/CodecCapabilities.h"
#include "core/files/FileRename.h"

namespace dunmoor
{

namespace
{
    // The word length that holds the source without loss: the reader hands out 32-bit
    // floats, so anything wider than 24 bits or stored as float goes to 32-bit float.
    SampleFormat sampleFormatFor (const AudioFileInfo& info)
    {
        if (info.isFloat || info.bitsPerSample > 24)
            return SampleFormat::float32;

        return info.bitsPerSample > 16 ? SampleFormat::pcm24 : SampleFormat::pcm16;
    }

    juce::String describeWritableRates()
    {
        juce::StringArray rates;

        for (auto rate : getLosslessSampleRates())
            rates.add (formatKilohertz (rate).upToFirstOccurrenceOf (" ", false, false));

        const auto last = rates[rates.size() - 1];
        rates.remove (rates.size() - 1);
        return rates.joinIntoString (", ") + " or " + last + " kHz";
    }

    // The frame nearest to a time, kept within 0..limit (NaN counts as 0).
    juce::int64 framesFor (double seconds, double rate, juce::int64 limit)
    {
        const auto frames = seconds * rate;

        if (! (frames > 0.0))
            return 0;

        if (frames >= (double) limit)
            return limit;

        return juce::jlimit ((juce::int64) 0, limit, (juce::int64) std::llround (frames));
    }

    /** Divides a sample into two parts that add up to it exactly once both are stored in
        the output's word length. The first part is gain * x on the output's grid. */
    class SampleDivider
    {
    public:
        explicit SampleDivider (SampleFormat format)
            : isFloat (format == SampleFormat::float32)
            , scale (format == SampleFormat::pcm16 ? 32768.0 : 8388608.0)
        {
        }

        void divide (double x, double gain, double& first, double& second) const noexcept
        {
            if (! isFloat)
            {
                // x lies on the grid, so x * scale is a whole number and x - first is exact.
                first = std::round (gain * x * scale) / scale;
                second = x - first;
                return;
            }

            // The larger part is rounded to float and the smaller one is the exact remainder:
            // two floats within a factor of two of each other differ by a float.
            if (gain >= 0.5)
            {
                first = (double) (float) (gain * x);
                second = x - first;
            }
            else
            {
                second = (double) (float) ((1.0 - gain) * x);
                first = x - second;
            }
        }

    private:
        bool isFloat;
        double scale;
    };
} // namespace

SplitResult splitTrack (const SplitRequest& request)
{
    SplitResult result;

    if (! request.source.existsAsFile())
    {
        result.error = "The track's file is no longer where it was imported from.";
        return result;
    }

    if (request.firstOutput.exists() || request.secondOutput.exists())
    {
        result.error = "There is already a file with one of those names.";
        return result;
    }

    const auto sameFileMessage = "The two parts cannot be written to the same file.";

    // The second write would replace the first half and the first file would then be
    // deleted as the failure's clean-up, leaving nothing at all.
    if (request.firstOutput.getFullPathName().equalsIgnoreCase (request.secondOutput.getFullPathName()))
    {
        result.error = sameFileMessage;
        return result;
    }

    AudioFileInfo info;

    if (! probeAudioFile (request.source, info, result.error))
        return result;

    const auto rate = info.sampleRate > 0.0 ? info.sampleRate : 48000.0;

    // Refused before anything is read or written, rather than by the encoder half-way.
    if (! supportsSampleRate (Codec::wav, rate))
    {
        result.error = "Tracks at " + juce::String (rate / 1000.0) + " kHz cannot be split: the parts are written as WAV files at "
                       + describeWritableRates() + ".";
        return result;
    }

    juce::AudioBuffer<double> source;

    if (! readAudioFile (request.source, 0.0, source, result.error, maxReadFrames))
        return result;

    const auto length = (juce::int64) source.getNumSamples();

    if (length <= 0)
    {
        result.error = "That track has no audio in it.";
        return result;
    }

    const auto splitFrame = (int) framesFor (request.splitSeconds, rate, length);
    const auto fadeFrames = (int) framesFor (request.crossfadeMs * 0.001, rate, length - splitFrame);
    const auto numChannels = source.getNumChannels();
    const auto numFrames = source.getNumSamples();

    EncoderSettings settings;
    settings.codec = Codec::wav;
    settings.sampleFormat = sampleFormatFor (info);
    settings.sampleRate = rate;
    settings.numChannels = numChannels;
    settings.mp3Kbps = 320;
    settings.dither = DitherKind::none;
    settings.ditherSeed = 1;
    settings.clampFloat = false; // a float source above full scale stays as it is

    juce::AudioBuffer<double> first, second;

    if (! allocateRenderBuffer (first, numChannels, length, result.error)
        || ! allocateRenderBuffer (second, numChannels, length, result.error))
        return result;

    const SampleDivider divider (settings.sampleFormat);

    for (int ch = 0; ch < numChannels; ++ch)
    {
        const auto* in = source.getReadPointer (ch);
        auto* before = first.getWritePointer (ch);
        auto* after = second.getWritePointer (ch);

        std::copy (in, in + splitFrame, before);

        for (int j = 0; j < fadeFrames; ++j)
        {
            const auto gain = 1.0 - (double) j / fadeFrames;
            divider.divide (in[splitFrame + j], gain, before[splitFrame + j], after[splitFrame + j]);
        }

        std::copy (in + splitFrame + fadeFrames, in + numFrames, after + splitFrame + fadeFrames);
    }

    auto encoder = createEncoder (Codec::wav, result.error);

    if (encoder == nullptr)
        return result;

    if (! encoder->encode (first, request.firstOutput, settings, result.error))
        return result;

    // Two different paths can still name one file (through a linked folder), and the second
    // write would then replace the first half while reporting success. Only the first half can
    // be at the second path now; anything there is never overwritten.
    if (request.secondOutput.exists())
    {
        result.error = isSameFileOnDisk (request.firstOutput, request.secondOutput) ? sameFileMessage
                                                                                       : "There is already a file with one of those names.";
        request.firstOutput.deleteFile();
        return result;
    }

    if (! encoder->encode (second, request.secondOutput, settings, result.error))
    {
        request.firstOutput.deleteFile();
        return result;
    }

    result.ok = true;
    result.error.clear();
    return result;
}

} // namespace dunmoor
