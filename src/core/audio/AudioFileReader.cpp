#include "AudioFileReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <cmath>
#include <limits>
#include <new>

#include "BufferMemory.h"
#include "FlacFileDecoder.h"
#include "Resampler.h"

namespace dunmoor
{

namespace
{
    juce::String notEnoughMemory (juce::int64 frames, int channels)
    {
        return "Not enough memory to read the audio (" + juce::String (frames) + " frames, "
               + juce::String (channels) + " channels).";
    }

    // Widens a block of 32-bit samples into the 64-bit result; for float sources also tells
    // whether any of them was not a finite number (no integer format can produce one).
    bool widenBlock (const float* source, double* destination, int count, bool checkFinite) noexcept
    {
        if (! checkFinite)
        {
            for (int i = 0; i < count; ++i)
                destination[i] = (double) source[i];

            return true;
        }

        int bad = 0;
        constexpr float largest = std::numeric_limits<float>::max();

        for (int i = 0; i < count; ++i)
        {
            const float x = source[i];
            destination[i] = (double) x;
            bad |= (int) ! (std::abs (x) <= largest);
        }

        return bad == 0;
    }

    // The framework's reader in blocks, widened into the result; float sources are checked for
    // samples that are not finite numbers on the way.
    bool readBlocks (juce::AudioFormatReader& reader,
                     const juce::File& file,
                     juce::int64 start,
                     juce::int64 count,
                     double* const* destination,
                     juce::String& error,
                     const CancelCheck& cancel)
    {
        const int numChannels = (int) reader.numChannels;
        const int blockFrames = (int) std::min<juce::int64> (count, std::max (1024, 32768 / numChannels));
        juce::AudioBuffer<float> block (numChannels, blockFrames);
        const bool checkFinite = reader.usesFloatingPointData;

        for (juce::int64 done = 0; done < count;)
        {
            const auto n = (int) std::min<juce::int64> (blockFrames, count - done);

            if (isCancelRequested (cancel))
            {
                error = getCancelledErrorText();
                return false;
            }

            if (! reader.read (block.getArrayOfWritePointers(), numChannels, start + done, n))
            {
                error = "The audio data could not be read; the file may be truncated.";
                return false;
            }

            for (int ch = 0; ch < numChannels; ++ch)
            {
                const float* source = block.getReadPointer (ch);

                if (! widenBlock (source, destination[ch] + done, n, checkFinite))
                {
                    int frame = 0;

                    while (frame < n && std::isfinite (source[frame]))
                        ++frame;

                    error = "The file \"" + file.getFileName() + "\" contains samples that are not finite numbers"
                            + " (NaN or infinity), the first at frame " + juce::String (start + done + frame)
                            + " of channel " + juce::String (ch + 1) + ".";
                    return false;
                }
            }

            done += n;
        }

        return true;
    }

    struct Section
    {
        bool wholeFile = true;
        juce::int64 frameCap = maxReadFrames;
        double startSeconds = 0.0;
        double durationSeconds = 0.0;
        const CancelCheck* cancel = nullptr;   // the caller's, which outlives the read; null: never cancelled
        juce::AudioBuffer<double>* reuse = nullptr; // memory the samples may go into (its contents are lost)
        const ParallelTasks* parallel = nullptr;    // shares out a conversion; null: on this thread
    };

    // Output frames converted per step of a streamed conversion (about 5 seconds).
    constexpr juce::int64 convertedFramesPerStep = 1 << 18;

    /** Source frames [from, from + count) of the section into destination (one pointer per channel). */
    using SourceReader = std::function<bool (juce::int64 from, juce::int64 count, double* const* destination)>;

    // Converts count source frames to targetRate into result (sized to the converted length) a
    // step at a time: the source goes through a window that slides along the file, so the read
    // holds its result and a few seconds of the file rather than the whole file twice. Each step
    // is what resampleBuffer makes of the same frames, so the result is too.
    bool convertWhileReading (const SourceReader& readSource,
                              int numChannels,
                              juce::int64 count,
                              double rate,
                              double targetRate,
                              juce::AudioBuffer<double>& result,
                              juce::String& error,
                              const CancelCheck& cancel,
                              const ParallelTasks* parallel)
    {
        const Resampler resampler (rate, targetRate, 32, 1024);

        if (! resampler.isValid())
            throw std::bad_alloc();

        const auto outLength = (juce::int64) result.getNumSamples();
        const auto capacity = std::min<juce::int64> (count, (juce::int64) std::ceil ((double) convertedFramesPerStep / resampler.getRatio())
                                                                + 2 * (juce::int64) resampler.getTaps() + 8);
        juce::AudioBuffer<double> window (numChannels, (int) std::max<juce::int64> (1, capacity));
        juce::int64 windowStart = 0;
        juce::int64 windowFrames = 0;
        std::vector<double*> windowEnd ((size_t) numChannels);
        auto* const* outputs = result.getArrayOfWritePointers();

        for (juce::int64 begin = 0; begin < outLength; begin += convertedFramesPerStep)
        {
            if (isCancelRequested (cancel))
            {
                error = getCancelledErrorText();
                return false;
            }

            const auto end = std::min (outLength, begin + convertedFramesPerStep);
            const auto needed = resampler.getInputRange (count, begin, end);

            // Frames no later step needs leave the window; the ones still needed move to its front.
            if (needed.begin > windowStart)
            {
                const auto drop = std::min (windowFrames, needed.begin - windowStart);

                for (int ch = 0; ch < numChannels; ++ch)
                {
                    auto* data = window.getWritePointer (ch);
                    std::memmove (data, data + drop, (size_t) (windowFrames - drop) * sizeof (double));
                }

                windowFrames -= drop;
                windowStart += drop;

                if (windowFrames == 0)
                    windowStart = needed.begin;
            }

            const auto missing = needed.end - (windowStart + windowFrames);

            if (missing > 0)
            {
                jassert (windowFrames + missing <= window.getNumSamples());

                for (int ch = 0; ch < numChannels; ++ch)
                    windowEnd[(size_t) ch] = window.getWritePointer (ch) + windowFrames;

                if (! readSource (windowStart + windowFrames, missing, windowEnd.data()))
                    return false;

                windowFrames += missing;
            }

            const auto* const* section = window.getArrayOfReadPointers();
            const auto convert = [&] (juce::int64 from, juce::int64 to)
            {
                resampler.processSection (section, numChannels, count, windowStart, outputs, from, to);
            };

            const auto frames = end - begin;
            const int pieces = parallel != nullptr && *parallel != nullptr ? (int) std::min<juce::int64> (8, std::max<juce::int64> (1, frames / 16384)) : 1;

            if (pieces <= 1)
                convert (begin, end);
            else
                (*parallel) (pieces, [&] (int piece) { convert (begin + frames * piece / pieces, begin + frames * (piece + 1) / pieces); });
        }

        return true;
    }

    const CancelCheck& cancelOf (const Section& section)
    {
        static const CancelCheck never;
        return section.cancel != nullptr ? *section.cancel : never;
    }

    // Pass 2 of every read: a fresh open, the limits again (the file may have changed since the
    // probe), every size checked before memory is committed, then the samples in blocks straight
    // into the 64-bit result, so that no whole-file 32-bit copy ever exists.
    bool readSection (const juce::File& file,
                      double targetRate,
                      const Section& section,
                      juce::AudioBuffer<double>& buffer,
                      juce::String& error)
    {
        const auto readerHolder = openCheckedAudioFileReader (file, "The file became unreadable between the two passes.", error, sampleReadAheadBytes);

        if (readerHolder == nullptr)
            return false;

        auto& reader = *readerHolder;

        const auto total = reader.lengthInSamples;
        const auto rate = reader.sampleRate;
        const auto numChannels = (int) reader.numChannels;
        juce::int64 start = 0;
        juce::int64 count = total;
        juce::int64 convertedCap = 0;

        if (section.wholeFile)
        {
            // The buffer's frame count is an int, whatever cap the caller asks for.
            convertedCap = std::min<juce::int64> (section.frameCap, std::numeric_limits<int>::max());

            if (total > section.frameCap || total > std::numeric_limits<int>::max())
            {
                error = "The file is too long to render (" + juce::String (total) + " frames).";
                return false;
            }
        }
        else
        {
            const double startFrames = std::max (0.0, section.startSeconds) * rate;
            start = (juce::int64) std::min (startFrames, (double) total);

            if (section.durationSeconds > 0.0)
                count = (juce::int64) std::min (section.durationSeconds * rate, (double) total);

            count = std::min (count, total - start);

            if (count <= 0)
            {
                error = "The requested range starts past the end of the file.";
                return false;
            }

            if (count > maxReadFrames)
            {
                error = "The requested range is too long to read (" + juce::String (count) + " frames).";
                return false;
            }

            convertedCap = maxReadFrames;
        }

        const bool resample = targetRate > 0.0 && std::abs (targetRate - rate) > 0.5;

        if (resample && getResampledLength (count, rate, targetRate) > convertedCap)
        {
            error = "The file is too long once converted to the project sample rate.";
            return false;
        }

        try
        {
            // Every sample is written below, so the result is not cleared first. Memory the
            // caller hands back is reused (a fresh allocation is cleared by the system, page by
            // page, which for a whole file costs more than reading it); only with the same
            // channel count, since a moved buffer keeps its channel list in a fixed array of 32.
            juce::AudioBuffer<double> wide;

            if (section.reuse != nullptr && section.reuse->getNumChannels() == numChannels)
                wide = std::move (*section.reuse);

            wide.setSize (numChannels, (int) (resample ? getResampledLength (count, rate, targetRate) : count), false, false, true);
            adviseLargeBuffer (wide);

            // FLAC goes straight to its own decoder, with every decoder error and early end reported.
            std::unique_ptr<FlacFileDecoder> decoder;

            if (isFlacReader (reader))
            {
                decoder = std::make_unique<FlacFileDecoder> (file, sampleReadAheadBytes);

                if (! decoder->open (error))
                    return false;

                if (decoder->getNumChannels() != numChannels)
                {
                    error = "The file changed while it was being read.";
                    return false;
                }
            }

            const SourceReader readSource = [&] (juce::int64 from, juce::int64 frames, double* const* destination)
            {
                return decoder != nullptr ? decoder->read (start + from, frames, total, destination, error, cancelOf (section))
                                          : readBlocks (reader, file, start + from, frames, destination, error, cancelOf (section));
            };

            if (resample ? ! convertWhileReading (readSource, numChannels, count, rate, targetRate, wide, error, cancelOf (section), section.parallel)
                         : ! readSource (0, count, wide.getArrayOfWritePointers()))
                return false;

            buffer = std::move (wide);
            return true;
        }
        catch (const std::bad_alloc&)
        {
            error = notEnoughMemory (count, numChannels);
            return false;
        }
    }

    // Every read: the probe (pass 1), then the section (pass 2).
    bool probeAndReadSection (const juce::File& file,
                              double targetRate,
                              const Section& section,
                              juce::AudioBuffer<double>& buffer,
                              juce::String& error)
    {
        AudioFileInfo info;

        if (! probeAudioFile (file, info, error))
            return false;

        try
        {
            return readSection (file, targetRate, section, buffer, error);
        }
        catch (const std::bad_alloc&)
        {
            error = "Not enough memory to open the file.";
            return false;
        }
    }
} // namespace

//==============================================================================
namespace
{
    bool readWholeFile (const juce::File& file, double targetRate, juce::AudioBuffer<double>& buffer, juce::String& error,
                        juce::int64 frameCap, const CancelCheck& cancel, bool reuseBuffer, const ParallelTasks* parallel = nullptr)
    {
        Section section;
        section.frameCap = frameCap;
        section.cancel = &cancel;
        section.reuse = reuseBuffer ? &buffer : nullptr;
        section.parallel = parallel;
        return probeAndReadSection (file, targetRate, section, buffer, error);
    }
} // namespace

bool readAudioFile (const juce::File& file,
                    double targetRate,
                    juce::AudioBuffer<double>& buffer,
                    juce::String& error,
                    juce::int64 frameCap,
                    const CancelCheck& cancel)
{
    return readWholeFile (file, targetRate, buffer, error, frameCap, cancel, false);
}

bool readAudioFileInto (const juce::File& file,
                        double targetRate,
                        juce::AudioBuffer<double>& buffer,
                        juce::String& error,
                        juce::int64 frameCap,
                        const CancelCheck& cancel,
                        const ParallelTasks& parallel)
{
    return readWholeFile (file, targetRate, buffer, error, frameCap, cancel, true, &parallel);
}

bool readAudioFileAtOwnRate (const juce::File& file, juce::AudioBuffer<double>& buffer, juce::String& error, const CancelCheck& cancel)
{
    return readAudioFile (file, 0.0, buffer, error, maxReadFrames, cancel);
}

bool readAudioFileRange (const juce::File& file,
                         double targetRate,
                         double startSeconds,
                         double durationSeconds,
                         juce::AudioBuffer<double>& buffer,
                         juce::String& error)
{
    Section section;
    section.wholeFile = false;
    section.startSeconds = startSeconds;
    section.durationSeconds = durationSeconds;
    return probeAndReadSection (file, targetRate, section, buffer, error);
}

} // namespace dunmoor
