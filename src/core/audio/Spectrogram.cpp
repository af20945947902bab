#include "Spectrogram.h"

#include "AudioFileProbe.h"
#include "WaveformOverview.h"

#include <cmath>
#include <new>

namespace dunmoor
{

namespace
{
    constexpr int minimumOrder = 6;
    constexpr int maximumOrder = 14;
    constexpr int minimumColumns = 16;
    constexpr int maximumColumns = 4000;

    int frameSizeForOrder (int fftOrder)
    {
        return 1 << juce::jlimit (minimumOrder, maximumOrder, fftOrder);
    }

    // Where the columns of a signal of a given length lie: column c starts at c * hop.
    struct ColumnLayout
    {
        int frameSize = 0;
        int columns = 0;
        juce::int64 hop = 1;
    };

    ColumnLayout layoutColumns (juce::int64 length, int fftOrder, int wantedColumns)
    {
        ColumnLayout layout;
        layout.frameSize = frameSizeForOrder (fftOrder);

        if (length < layout.frameSize)
            return layout;

        const auto k = (juce::int64) juce::jlimit (minimumColumns, maximumColumns, wantedColumns);
        const auto room = length - layout.frameSize;
        layout.hop = juce::jmax ((juce::int64) 1, room / juce::jmax ((juce::int64) 1, k - 1));
        layout.columns = (int) juce::jmin (room / layout.hop + 1, k);
        return layout;
    }

    // The grid of a result, every value at the floor; may throw std::bad_alloc.
    Spectrogram makeGrid (const ColumnLayout& layout, double sampleRate, double durationSeconds)
    {
        Spectrogram result;
        result.columns = layout.columns;
        result.bins = layout.frameSize / 2;
        result.fftSize = layout.frameSize;
        result.sampleRate = sampleRate;
        result.durationSeconds = durationSeconds;
        result.values.assign ((size_t) result.columns * (size_t) result.bins, result.floorDb);
        return result;
    }

    // Window and work arrays of one frame size, reused for every column of a run.
    class ColumnAnalyser
    {
    public:
        explicit ColumnAnalyser (int frameSize)
            : size (frameSize)
            , window ((size_t) frameSize)
            , real ((size_t) frameSize)
            , imag ((size_t) frameSize)
        {
            const auto denominator = (double) (size - 1);

            for (int i = 0; i < size; ++i)
                window[(size_t) i] = 0.5 * (1.0 - std::cos (juce::MathConstants<double>::twoPi * i / denominator));
        }

        /** Analyses available samples of one frame (zeros past them) into bins dB values. */
        void analyse (const float* samples, int available, float* levels, float floorDb)
        {
            const auto count = juce::jlimit (0, size, available);

            for (int i = 0; i < count; ++i)
                real[(size_t) i] = (double) samples[i] * window[(size_t) i];

            std::fill (real.begin() + count, real.end(), 0.0);
            std::fill (imag.begin(), imag.end(), 0.0);

            performFft (real.data(), imag.data(), size);

            const auto scale = 2.0 / size;

            for (int k = 0; k < size / 2; ++k)
            {
                const auto re = real[(size_t) k];
                const auto im = imag[(size_t) k];
                const auto magnitude = std::sqrt (re * re + im * im) * scale;

                // NaN fails the test too and shows as the floor.
                auto level = magnitude > 0.0 ? (float) (20.0 * std::log10 (magnitude)) : floorDb;
                levels[k] = juce::jlimit (floorDb, 0.0f, level);
            }
        }

    private:
        int size;
        std::vector<double> window, real, imag;
    };

    // The mean of the channels, each sample scaled by 1 / channels and added up in 32-bit float.
    template <typename Sample>
    void mixToMono (const Sample* const* channels, int numChannels, int numFrames, float* mono)
    {
        std::fill (mono, mono + numFrames, 0.0f);

        if (numChannels <= 0)
            return;

        const auto scale = 1.0 / numChannels;

        for (int ch = 0; ch < numChannels; ++ch)
        {
            const auto* source = channels[ch];

            for (int i = 0; i < numFrames; ++i)
                mono[i] += (float) ((double) source[i] * scale);
        }
    }
} // namespace

float Spectrogram::getValue (int column, int bin) const
{
    if (column < 0 || column >= columns || bin < 0 || bin >= bins)
        return floorDb;

    const auto index = (size_t) column * (size_t) bins + (size_t) bin;
    return index < values.size() ? values[index] : floorDb;
}

double Spectrogram::getBinFrequency (int bin) const
{
    if (fftSize <= 0)
        return 0.0;

    return (bin + 0.5) * sampleRate / fftSize;
}

void performFft (double* real, double* imag, int size)
{
    if (real == nullptr || imag == nullptr || size < 2 || ! juce::isPowerOfTwo (size))
    {
        jassertfalse;
        return;
    }

    // Bit-reversal permutation of both arrays.
    for (int i = 1, j = 0; i < size; ++i)
    {
        auto bit = size >> 1;

        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;

        j ^= bit;

        if (i < j)
        {
            std::swap (real[i], real[j]);
            std::swap (imag[i], imag[j]);
        }
    }

    // Stages of length 2, 4, .. size; the twiddle starts at 1 and turns by -2 pi / length.
    // Blocks outside, butterflies inside: the inner loop walks memory in order, which
    // matters once the frames outgrow the first-level cache.
    for (int length = 2; length <= size; length <<= 1)
    {
        const auto half = length / 2;
        const auto angle = -juce::MathConstants<double>::twoPi / length;
        const auto stepRe = std::cos (angle);
        const auto stepIm = std::sin (angle);

        for (int start = 0; start < size; start += length)
        {
            auto wRe = 1.0;
            auto wIm = 0.0;

            for (int a = start; a < start + half; ++a)
            {
                const auto b = a + half;
                const auto tRe = real[b] * wRe - imag[b] * wIm;
                const auto tIm = real[b] * wIm + imag[b] * wRe;
                real[b] = real[a] - tRe;
                imag[b] = imag[a] - tIm;
                real[a] += tRe;
                imag[a] += tIm;

                const auto nextRe = wRe * stepRe - wIm * stepIm;
                wIm = wRe * stepIm + wIm * stepRe;
                wRe = nextRe;
            }
        }
    }
}

Spectrogram analyseSpectrogram (const std::vector<float>& monoSamples,
                                double sampleRate,
                                int fftOrder,
                                int columns)
{
    const auto length = (juce::int64) monoSamples.size();
    const auto layout = layoutColumns (length, fftOrder, columns);

    if (layout.columns <= 0 || ! (sampleRate > 0.0))
        return {};

    try
    {
        auto result = makeGrid (layout, sampleRate, (double) length / sampleRate);
        ColumnAnalyser analyser (layout.frameSize);

        for (int c = 0; c < result.columns; ++c)
        {
            const auto start = (juce::int64) c * layout.hop;
            analyser.analyse (monoSamples.data() + start,
                              (int) juce::jmin ((juce::int64) layout.frameSize, length - start),
                              result.values.data() + (size_t) c * (size_t) result.bins,
                              result.floorDb);
        }

        return result;
    }
    catch (const std::bad_alloc&)
    {
        return {};
    }
}

Spectrogram computeSpectrogramOfBuffer (const juce::AudioBuffer<double>& buffer,
                                        double sampleRate,
                                        int fftOrder,
                                        int columns)
{
    try
    {
        std::vector<float> mono ((size_t) juce::jmax (0, buffer.getNumSamples()));
        mixToMono (buffer.getArrayOfReadPointers(), buffer.getNumChannels(), (int) mono.size(), mono.data());
        return analyseSpectrogram (mono, sampleRate, fftOrder, columns);
    }
    catch (const std::bad_alloc&)
    {
        return {};
    }
}

namespace
{
    // The columns of a stretch of an open file, each read on its own from the file.
    Spectrogram analyseFileFrames (juce::AudioFormatReader& reader,
                                   FrameSpan range,
                                   int fftOrder,
                                   int columns,
                                   juce::String& error,
                                   const CancelCheck& cancel)
    {
        const auto length = range.getLength();
        const auto rate = reader.sampleRate;
        const auto numChannels = (int) reader.numChannels;
        const auto layout = layoutColumns (length, fftOrder, columns);

        if (layout.columns <= 0 || ! (rate > 0.0))
            return {};

        try
        {
            // Each column reads only its own frame, so the cost follows the column count and
            // not the stretch's length, and nothing is thinned out before the transform.
            auto result = makeGrid (layout, rate, (double) length / rate);
            ColumnAnalyser analyser (layout.frameSize);
            juce::AudioBuffer<float> block (numChannels, layout.frameSize);
            std::vector<float> mono ((size_t) layout.frameSize);

            for (int c = 0; c < result.columns; ++c)
            {
                if (isCancelRequested (cancel))
                {
                    error = getCancelledErrorText();
                    return {};
                }

                // A failing read leaves this and the later columns at the floor.
                if (! reader.read (block.getArrayOfWritePointers(), numChannels, range.start + (juce::int64) c * layout.hop, layout.frameSize))
                    break;

                mixToMono (block.getArrayOfReadPointers(), numChannels, layout.frameSize, mono.data());
                analyser.analyse (mono.data(),
                                  layout.frameSize,
                                  result.values.data() + (size_t) c * (size_t) result.bins,
                                  result.floorDb);
            }

            return result;
        }
        catch (const std::bad_alloc&)
        {
            error = "There is not enough memory to analyse this file.";
            return {};
        }
    }
} // namespace

Spectrogram computeSpectrogram (const juce::File& file,
                                juce::String& error,
                                int fftOrder,
                                int columns,
                                const CancelCheck& cancel)
{
    return computeSpectrogramOfRange (file, 0.0, 1.0, error, fftOrder, columns, cancel);
}

Spectrogram computeSpectrogramOfRange (const juce::File& file,
                                       double startFraction,
                                       double endFraction,
                                       juce::String& error,
                                       int fftOrder,
                                       int columns,
                                       const CancelCheck& cancel)
{
    error.clear();

    AudioFileInfo info;
    auto reader = openProbedAudioFileReader (file, info, error);

    if (reader == nullptr)
        return {};

    const auto range = frameRangeOfFractions (reader->lengthInSamples, startFraction, endFraction);
    return analyseFileFrames (*reader, range, fftOrder, columns, error, cancel);
}

} // namespace dunmoor
