#include "AudioFileReader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <cmath>
#include <limits>
#include <new>
#include <optional>

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

            if (! readFramesChecked (reader, file, block.getArrayOfWritePointers(), numChannels, start + done, n, error))
                return false;

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

    // Source frames [start, start + frames) of a file at hand for a step of a conversion.
    struct SourceWindow
    {
        juce::AudioBuffer<double> samples;
        juce::int64 start = 0;
        juce::int64 frames = 0;
    };

    // Fills the window with the source frames of range: those the previous window (null for
    // the first) already holds are copied over, the rest are read.
    bool fillWindow (SourceWindow& window, Resampler::InputRange range, const SourceWindow* previous, const SourceReader& readSource)
    {
        const auto numChannels = window.samples.getNumChannels();
        juce::int64 kept = 0;

        if (previous != nullptr && range.begin >= previous->start && range.begin < previous->start + previous->frames)
        {
            kept = std::min (range.end, previous->start + previous->frames) - range.begin;

            for (int ch = 0; ch < numChannels; ++ch)
                std::copy_n (previous->samples.getReadPointer (ch) + (range.begin - previous->start), kept, window.samples.getWritePointer (ch));
        }

        window.start = range.begin;
        window.frames = range.end - range.begin;
        jassert (window.frames <= window.samples.getNumSamples());

        if (kept == window.frames)
            return true;

        std::vector<double*> destination ((size_t) numChannels);

        for (int ch = 0; ch < numChannels; ++ch)
            destination[(size_t) ch] = window.samples.getWritePointer (ch) + kept;

        return readSource (range.begin + kept, window.frames - kept, destination.data());
    }

    // Converts count source frames to targetRate into result (sized to the converted length) a
    // step at a time: the source goes through windows that move along the file, so the read
    // holds its result and a few seconds of the file rather than the whole file twice. Each step
    // is what resampleBuffer makes of the same frames, so the result is too. Shared out, a step
    // is converted in pieces while the window of the next step is read.
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
        const bool shared = parallel != nullptr && *parallel != nullptr;
        SourceWindow windows[2];

        for (auto& window : windows)
            window.samples.setSize (numChannels, (int) std::max<juce::int64> (1, capacity));

        auto* const* outputs = result.getArrayOfWritePointers();
        auto rangeOf = [&] (juce::int64 begin) { return resampler.getInputRange (count, begin, std::min (outLength, begin + convertedFramesPerStep)); };
        int current = 0;

        if (outLength > 0 && ! fillWindow (windows[0], rangeOf (0), nullptr, readSource))
            return false;

        for (juce::int64 begin = 0; begin < outLength; begin += convertedFramesPerStep)
        {
            if (isCancelRequested (cancel))
            {
                error = getCancelledErrorText();
                return false;
            }

            const auto end = std::min (outLength, begin + convertedFramesPerStep);
            const auto next = end < outLength ? std::optional<Resampler::InputRange> (rangeOf (end)) : std::nullopt;
            const auto& window = windows[current];
            const auto* const* section = window.samples.getArrayOfReadPointers();

            const auto convert = [&] (juce::int64 from, juce::int64 to)
            {
                resampler.processSection (section, numChannels, count, window.start, outputs, from, to);
            };

            const auto frames = end - begin;
            bool filled = true;

            const int pieces = shared ? (int) std::min<juce::int64> (8, std::max<juce::int64> (1, frames / 16384)) : 1;
            const auto fillNext = [&]
            {
                // On a thread of its own, where nothing may be thrown.
                try
                {
                    filled = fillWindow (windows[current ^ 1], *next, &window, readSource);
                }
                catch (const std::bad_alloc&)
                {
                    error = notEnoughMemory (next->end - next->begin, numChannels);
                    filled = false;
                }
            };

            if (! shared)
            {
                convert (begin, end);

                if (next.has_value())
                    fillNext();
            }
            else
            {
                // The last task reads the next window while the others convert this step.
                (*parallel) (pieces + (next.has_value() ? 1 : 0), [&] (int piece)
                             {
                                 if (piece < pieces)
                                     convert (begin + frames * piece / pieces, begin + frames * (piece + 1) / pieces);
                                 else
                                     fillNext();
                             });
            }

            current ^= 1;

            if (! filled)
                return false;
        }

        return true;
    }

    const CancelCheck& cancelOf (const Section& section)
    {
        static const CancelCheck never;
        return section.cancel != nullptr ? *section.cancel : never;
    }

    // Frames a piece of a read shared out over threads has at least (about 11 seconds).
    constexpr juce::int64 framesPerPiece = 1 << 19;
    constexpr int mostPieces = 4;

    bool sharesOut (const ParallelTasks* parallel, juce::int64 count)
    {
        return parallel != nullptr && *parallel != nullptr && count >= 2 * framesPerPiece;
    }

    // Frames [from, from + count) of the file through a reader and a decoder of their own, so
    // that several pieces of one file can be read at once.
    bool readPieceOnItsOwn (const juce::File& file, bool flac, int numChannels, juce::int64 total,
                            juce::int64 from, juce::int64 count, double* const* destination,
                            juce::String& error, const CancelCheck& cancel)
    {
        AudioFileChunks chunks;
        const auto reader = openCheckedAudioFileReader (file, "The file became unreadable between the two passes.", error, sampleReadAheadBytes, chunks);

        if (reader == nullptr)
            return false;

        if ((int) reader->numChannels != numChannels || reader->lengthInSamples != total)
        {
            error = "The file changed while it was being read.";
            return false;
        }

        if (! flac)
            return readBlocks (*reader, file, from, count, destination, error, cancel);

        FlacFileDecoder decoder (file, sampleReadAheadBytes, &chunks);

        if (! decoder.open (error))
            return false;

        if (decoder.getNumChannels() != numChannels)
        {
            error = "The file changed while it was being read.";
            return false;
        }

        return decoder.read (from, count, total, destination, error, cancel);
    }

    // The frames [start, start + count) of a file read in pieces side by side (every format read
    // here decodes any frame exactly, wherever a read starts). The result and the message are
    // those of one read from start to end: the earliest piece that fails tells why, and a failure
    // stops only the pieces after it.
    bool readInPieces (const juce::File& file, juce::AudioFormatReader& reader, FlacFileDecoder* decoder,
                       juce::int64 start, juce::int64 count, juce::AudioBuffer<double>& result,
                       juce::String& error, const CancelCheck& cancel, const ParallelTasks& parallel)
    {
        const auto pieces = (int) std::min<juce::int64> (mostPieces, count / framesPerPiece);
        const auto numChannels = result.getNumChannels();
        std::vector<juce::String> errors ((size_t) pieces);
        std::vector<char> failed ((size_t) pieces, 0);
        std::atomic<int> firstFailed { pieces };

        // Taken here: the buffer's own accessor marks it as written, which the pieces must not
        // do side by side.
        auto* const* channels = result.getArrayOfWritePointers();

        parallel (pieces, [&] (int piece)
                  {
                      const auto from = count * piece / pieces;
                      const auto to = count * (piece + 1) / pieces;
                      auto& pieceError = errors[(size_t) piece];
                      bool ok = false;

                      // On a thread of its own, where nothing may be thrown.
                      try
                      {
                          std::vector<double*> destination ((size_t) numChannels);

                          for (int ch = 0; ch < numChannels; ++ch)
                              destination[(size_t) ch] = channels[ch] + from;

                          const CancelCheck pieceCancel = [&cancel, &firstFailed, piece] { return firstFailed.load() < piece || isCancelRequested (cancel); };

                          // The first piece goes on with the reader and decoder the read opened.
                          if (piece > 0)
                              ok = readPieceOnItsOwn (file, decoder != nullptr, numChannels, reader.lengthInSamples, start + from, to - from,
                                                      destination.data(), pieceError, pieceCancel);
                          else if (decoder != nullptr)
                              ok = decoder->read (start, to, reader.lengthInSamples, destination.data(), pieceError, pieceCancel);
                          else
                              ok = readBlocks (reader, file, start, to, destination.data(), pieceError, pieceCancel);
                      }
                      catch (const std::bad_alloc&)
                      {
                          pieceError = notEnoughMemory (to - from, numChannels);
                      }

                      if (! ok)
                      {
                          failed[(size_t) piece] = 1;

                          for (int seen = firstFailed.load(); piece < seen && ! firstFailed.compare_exchange_weak (seen, piece);)
                          {
                          }
                      }
                  });

        for (int piece = 0; piece < pieces; ++piece)
        {
            if (failed[(size_t) piece] != 0)
            {
                error = errors[(size_t) piece];
                return false;
            }
        }

        return true;
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
        AudioFileChunks chunks;
        const auto readerHolder = openCheckedAudioFileReader (file, "The file became unreadable between the two passes.", error, sampleReadAheadBytes, chunks);

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
                decoder = std::make_unique<FlacFileDecoder> (file, sampleReadAheadBytes, &chunks);

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

            bool ok = false;

            if (resample)
                ok = convertWhileReading (readSource, numChannels, count, rate, targetRate, wide, error, cancelOf (section), section.parallel);
            else if (sharesOut (section.parallel, count))
                ok = readInPieces (file, reader, decoder.get(), start, count, wide, error, cancelOf (section), *section.parallel);
            else
                ok = readSource (0, count, wide.getArrayOfWritePointers());

            if (! ok)
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

    // Every read: the probe (pass 1, unless the caller made it already), then the section (pass 2).
    bool probeAndReadSection (const juce::File& file,
                              double targetRate,
                              const Section& section,
                              juce::AudioBuffer<double>& buffer,
                              juce::String& error,
                              bool probedAlready = false)
    {
        AudioFileInfo info;

        if (! probedAlready && ! probeAudioFile (file, info, error))
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
                        juce::int64 frameCap, const CancelCheck& cancel, bool reuseBuffer, const ParallelTasks* parallel = nullptr,
                        bool probedAlready = false)
    {
        Section section;
        section.frameCap = frameCap;
        section.cancel = &cancel;
        section.reuse = reuseBuffer ? &buffer : nullptr;
        section.parallel = parallel;
        return probeAndReadSection (file, targetRate, section, buffer, error, probedAlready);
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
                        const ParallelTasks& parallel,
                        bool probedAlready)
{
    return readWholeFile (file, targetRate, buffer, error, frameCap, cancel, true, &parallel, probedAlready);
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

//==============================================================================
struct AudioFileWindowReader::State
{
    juce::File file;
    std::unique_ptr<juce::AudioFormatReader> reader;
    std::unique_ptr<FlacFileDecoder> decoder;
    std::unique_ptr<Resampler> resampler;
    juce::int64 total = 0;          // frames of the file at its own rate
    juce::int64 length = 0;         // frames at the target rate
    int numChannels = 0;
    SourceWindow windows[2];        // the file at its own rate around the last window converted
    int current = -1;               // the window holding the last source range; -1: none yet

    bool readSource (juce::int64 from, juce::int64 frames, double* const* destination, juce::String& error, const CancelCheck& cancel)
    {
        return decoder != nullptr ? decoder->read (from, frames, total, destination, error, cancel)
                                  : readBlocks (*reader, file, from, frames, destination, error, cancel);
    }
};

AudioFileWindowReader::AudioFileWindowReader() = default;
AudioFileWindowReader::~AudioFileWindowReader() = default;

bool AudioFileWindowReader::open (const juce::File& file, double targetRate, juce::String& error, bool probedAlready, juce::int64 frameCap)
{
    state.reset();

    try
    {
        AudioFileInfo info;

        if (! probedAlready && ! probeAudioFile (file, info, error))
            return false;

        auto opened = std::make_unique<State>();
        opened->file = file;
        AudioFileChunks chunks;
        opened->reader = openCheckedAudioFileReader (file, "The file became unreadable between the two passes.", error, sampleReadAheadBytes, chunks);

        if (opened->reader == nullptr)
            return false;

        auto& reader = *opened->reader;
        opened->total = reader.lengthInSamples;
        opened->numChannels = (int) reader.numChannels;
        const auto rate = reader.sampleRate;
        const auto cap = std::min<juce::int64> (frameCap, std::numeric_limits<int>::max());

        if (opened->total > cap)
        {
            error = "The file is too long to render (" + juce::String (opened->total) + " frames).";
            return false;
        }

        const bool resample = targetRate > 0.0 && std::abs (targetRate - rate) > 0.5;
        opened->length = resample ? getResampledLength (opened->total, rate, targetRate) : opened->total;

        if (resample && opened->length > cap)
        {
            error = "The file is too long once converted to the project sample rate.";
            return false;
        }

        if (isFlacReader (reader))
        {
            opened->decoder = std::make_unique<FlacFileDecoder> (file, sampleReadAheadBytes, &chunks);

            if (! opened->decoder->open (error))
                return false;

            if (opened->decoder->getNumChannels() != opened->numChannels)
            {
                error = "The file changed while it was being read.";
                return false;
            }
        }

        if (resample)
        {
            opened->resampler = std::make_unique<Resampler> (rate, targetRate, 32, 1024);

            if (! opened->resampler->isValid())
                throw std::bad_alloc();
        }

        state = std::move (opened);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to open the file.";
        return false;
    }
}

int AudioFileWindowReader::getNumChannels() const noexcept
{
    return state != nullptr ? state->numChannels : 0;
}

juce::int64 AudioFileWindowReader::getLength() const noexcept
{
    return state != nullptr ? state->length : 0;
}

bool AudioFileWindowReader::read (juce::int64 start, int count, juce::AudioBuffer<double>& buffer, juce::String& error, const CancelCheck& cancel)
{
    if (state == nullptr || buffer.getNumChannels() < state->numChannels || buffer.getNumSamples() < count || start < 0)
    {
        error = "The file is not open.";
        return false;
    }

    auto& s = *state;
    const auto end = std::min (s.length, start + (juce::int64) std::max (0, count));

    if (end <= start)
        return true;

    const auto frames = end - start;

    try
    {
        if (s.resampler == nullptr)
            return s.readSource (start, frames, buffer.getArrayOfWritePointers(), error, cancel);

        if (isCancelRequested (cancel))
        {
            error = getCancelledErrorText();
            return false;
        }

        // The source frames this window is made of, read into the other window, with those the
        // last window already holds copied over instead of read again.
        const auto range = s.resampler->getInputRange (s.total, start, end);
        const auto next = s.current < 0 ? 0 : (s.current ^ 1);
        auto& window = s.windows[next];

        if (window.samples.getNumChannels() != s.numChannels || window.samples.getNumSamples() < range.end - range.begin)
            window.samples.setSize (s.numChannels, (int) std::max<juce::int64> (1, range.end - range.begin));

        const SourceReader readSource = [&] (juce::int64 from, juce::int64 n, double* const* destination)
        {
            return s.readSource (from, n, destination, error, cancel);
        };

        if (! fillWindow (window, range, s.current >= 0 ? &s.windows[s.current] : nullptr, readSource))
        {
            s.current = -1;
            return false;
        }

        s.current = next;

        // The converter indexes its output from output frame 0.
        std::vector<double*> outputs ((size_t) s.numChannels);

        for (int ch = 0; ch < s.numChannels; ++ch)
            outputs[(size_t) ch] = buffer.getWritePointer (ch) - start;

        s.resampler->processSection (window.samples.getArrayOfReadPointers(), s.numChannels, s.total, window.start, outputs.data(), start, end);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        error = notEnoughMemory (frames, s.numChannels);
        return false;
    }
}

} // namespace dunmoor
