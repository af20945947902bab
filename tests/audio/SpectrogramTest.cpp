#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/Spectrogram.h"
#include "core/audio/WaveformOverview.h"

using namespace dunmoor;

namespace
{
    constexpr double twoPi = juce::MathConstants<double>::twoPi;

    std::vector<float> sine (size_t length, double frequency, double rate, double amplitude = 1.0)
    {
        std::vector<float> samples (length);

        for (size_t i = 0; i < length; ++i)
            samples[i] = (float) (amplitude * std::sin (twoPi * frequency * (double) i / rate));

        return samples;
    }

    std::vector<std::complex<double>> naiveDft (const std::vector<double>& signal)
    {
        const auto n = signal.size();
        std::vector<std::complex<double>> spectrum (n);

        for (size_t k = 0; k < n; ++k)
            for (size_t i = 0; i < n; ++i)
                spectrum[k] += signal[i] * std::polar (1.0, -twoPi * (double) ((k * i) % n) / (double) n);

        return spectrum;
    }

    int loudestBin (const Spectrogram& s, int column)
    {
        int best = 0;

        for (int b = 1; b < s.bins; ++b)
            if (s.getValue (column, b) > s.getValue (column, best))
                best = b;

        return best;
    }
} // namespace

TEST (Spectrogram, FftMatchesNaiveDftAndRefusesOtherSizes)
{
    for (int size : { 2, 8, 64, 1024 })
    {
        juce::Random random (size);
        std::vector<double> re ((size_t) size), im ((size_t) size, 0.0);

        for (auto& x : re)
            x = random.nextDouble() * 2.0 - 1.0;

        const auto expected = naiveDft (re);
        performFft (re.data(), im.data(), size);

        for (size_t k = 0; k < (size_t) size; ++k)
        {
            EXPECT_NEAR (re[k], expected[k].real(), 1e-9) << "size " << size << " bin " << k;
            EXPECT_NEAR (im[k], expected[k].imag(), 1e-9) << "size " << size << " bin " << k;
        }
    }

    // Not a power of two: nothing is touched.
    std::vector<double> re { 1.0, 2.0, 3.0, 4.0, 5.0, 6.0 }, im (6, 0.5);
    const auto reBefore = re, imBefore = im;
    performFft (re.data(), im.data(), 6);
    performFft (re.data(), im.data(), 1);
    EXPECT_EQ (re, reBefore);
    EXPECT_EQ (im, imBefore);
}

TEST (Spectrogram, FullScaleSineAtAnExactBinReadsMinusSixDecibels)
{
    const double rate = 48000.0;
    const int bin = 100;
    const auto frequency = bin * rate / 1024.0;
    const auto s = analyseSpectrogram (sine (48000, frequency, rate), rate, 10, 50);

    ASSERT_EQ (s.fftSize, 1024);
    ASSERT_EQ (s.bins, 512);
    ASSERT_EQ (s.columns, 50);
    EXPECT_DOUBLE_EQ (s.sampleRate, rate);
    EXPECT_DOUBLE_EQ (s.durationSeconds, 1.0);

    for (int c = 0; c < s.columns; ++c)
    {
        // The Hann window halves the peak; nothing corrects for it.
        EXPECT_NEAR (s.getValue (c, bin), -6.02, 0.05) << "column " << c;
        EXPECT_LT (s.getValue (c, bin + 5), -40.0f) << "column " << c;
    }

    const auto silence = analyseSpectrogram (std::vector<float> (4096, 0.0f), rate, 10, 16);
    ASSERT_GT (silence.values.size(), 0u);

    for (auto v : silence.values)
        ASSERT_EQ (v, -90.0f);
}

TEST (Spectrogram, AgreesWithNaiveDftOfEachWindowedFrame)
{
    const int n = 64;
    const double rate = 8000.0;
    juce::Random random (7);
    std::vector<float> samples (300);

    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (float) (0.6 * std::sin (twoPi * 1234.0 * (double) i / rate) + 0.3 * (random.nextDouble() - 0.5));

    const auto s = analyseSpectrogram (samples, rate, 6, 16);

    // hop = (300 - 64) / 15 = 15; 236 / 15 + 1 = 16 columns.
    ASSERT_EQ (s.columns, 16);
    ASSERT_EQ (s.bins, n / 2);

    for (int c = 0; c < s.columns; ++c)
    {
        std::vector<double> frame (n);

        for (int i = 0; i < n; ++i)
            frame[(size_t) i] = samples[(size_t) (c * 15 + i)] * 0.5 * (1.0 - std::cos (twoPi * i / (n - 1)));

        const auto spectrum = naiveDft (frame);

        for (int b = 0; b < s.bins; ++b)
        {
            const auto magnitude = std::abs (spectrum[(size_t) b]) * 2.0 / n;
            const auto expected = juce::jlimit (-90.0, 0.0, 20.0 * std::log10 (magnitude));
            EXPECT_NEAR (s.getValue (c, b), expected, 1e-3) << "column " << c << " bin " << b;
        }
    }
}

TEST (Spectrogram, LimitsAndGridAccess)
{
    struct Case
    {
        size_t length;
        int order, columns;
        int expectedSize, expectedColumns;
    };

    const Case cases[] = {
        { 20000, 3, 20, 64, 20 },       // order below 6 is taken as 6
        { 40000, 20, 20, 16384, 20 },   // order above 14 is taken as 14
        { 20000, 6, 5, 64, 16 },        // fewer than 16 columns are taken as 16
        { 100000, 6, 10000, 64, 4000 }, // more than 4000 as 4000
        { 1024, 10, 700, 1024, 1 },     // exactly one frame
        { 1030, 10, 700, 1024, 7 },     // hop 1: as many columns as frames fit
        { 1023, 10, 700, 0, 0 },        // shorter than one frame: empty
    };

    for (const auto& c : cases)
    {
        const auto s = analyseSpectrogram (std::vector<float> (c.length, 0.25f), 44100.0, c.order, c.columns);
        EXPECT_EQ (s.fftSize, c.expectedSize) << "length " << c.length << " order " << c.order;
        EXPECT_EQ (s.columns, c.expectedColumns) << "length " << c.length << " columns " << c.columns;
        EXPECT_EQ (s.values.size(), (size_t) s.columns * (size_t) s.bins);
    }

    const auto empty = analyseSpectrogram (std::vector<float> (4096, 0.25f), 0.0, 10, 16);
    EXPECT_EQ (empty.columns, 0);
    EXPECT_EQ (empty.sampleRate, 0.0);
    EXPECT_EQ (empty.durationSeconds, 0.0);
    EXPECT_EQ (empty.floorDb, -90.0f);
    EXPECT_TRUE (empty.values.empty());

    const auto s = analyseSpectrogram (sine (4096, 1000.0, 48000.0), 48000.0, 10, 16);
    EXPECT_EQ (s.getValue (-1, 0), -90.0f);
    EXPECT_EQ (s.getValue (s.columns, 0), -90.0f);
    EXPECT_EQ (s.getValue (0, -1), -90.0f);
    EXPECT_EQ (s.getValue (0, s.bins), -90.0f);
    EXPECT_DOUBLE_EQ (s.getBinFrequency (0), 48000.0 / 1024.0 / 2.0);
    EXPECT_EQ (Spectrogram().getBinFrequency (3), 0.0);
}

TEST (Spectrogram, BufferIsAnalysedAsTheMeanOfItsChannels)
{
    const double rate = 48000.0;
    const auto tone = sine (8192, 3000.0, rate);

    // Opposite channels cancel; a lone channel of a stereo pair reads 6 dB lower.
    juce::AudioBuffer<double> buffer (2, (int) tone.size());

    for (int i = 0; i < buffer.getNumSamples(); ++i)
    {
        buffer.setSample (0, i, tone[(size_t) i]);
        buffer.setSample (1, i, -tone[(size_t) i]);
    }

    const auto cancelled = computeSpectrogramOfBuffer (buffer, rate, 10, 16);
    ASSERT_EQ (cancelled.columns, 16);
    EXPECT_EQ (*std::max_element (cancelled.values.begin(), cancelled.values.end()), -90.0f);

    buffer.clear (1, 0, buffer.getNumSamples());
    const auto single = computeSpectrogramOfBuffer (buffer, rate, 10, 16);
    const auto reference = analyseSpectrogram (tone, rate, 10, 16);
    const int bin = loudestBin (reference, 0);
    EXPECT_NEAR (single.getValue (0, bin), reference.getValue (0, bin) - 6.02, 0.01);

    // A buffer without channels is silence of its length.
    juce::AudioBuffer<double> noChannels (0, 4096);
    const auto silent = computeSpectrogramOfBuffer (noChannels, rate, 10, 16);
    EXPECT_EQ (silent.columns, 16);
    EXPECT_EQ (*std::max_element (silent.values.begin(), silent.values.end()), -90.0f);
}

namespace
{
    using dunmoor::testing::TemporaryFolder;
    using dunmoor::testing::writeAudioFile;
} // namespace

// Thinning a long file to every d-th sample without a low-pass folded a 15 kHz tone down
// into the lowest kilohertz and cut the band shown at a few kHz.
TEST (Spectrogram, LongFileShowsAHighToneWhereItIs)
{
    TemporaryFolder temp;
    const auto file = temp.file ("tone.wav");
    const double rate = 48000.0;
    const auto tone = sine ((size_t) (180 * rate), 15000.0, rate, 0.5);
    juce::AudioBuffer<float> buffer (1, (int) tone.size());
    buffer.copyFrom (0, 0, tone.data(), (int) tone.size());
    ASSERT_TRUE (writeAudioFile (file, "wav", buffer, rate, 24));

    juce::String error ("stale");
    const auto s = computeSpectrogram (file, error, 10, 700);

    EXPECT_TRUE (error.isEmpty()) << error;
    ASSERT_EQ (s.columns, 700);
    ASSERT_EQ (s.fftSize, 1024);
    EXPECT_DOUBLE_EQ (s.sampleRate, rate);
    EXPECT_DOUBLE_EQ (s.durationSeconds, 180.0);

    for (int c = 0; c < s.columns; c += 23)
    {
        const auto bin = loudestBin (s, c);
        EXPECT_NEAR (s.getBinFrequency (bin), 15000.0, rate / s.fftSize) << "column " << c;
        EXPECT_NEAR (s.getValue (c, bin), -12.04, 0.1) << "column " << c;
        EXPECT_LT (s.getValue (c, s.bins / 10), -80.0f) << "column " << c;
    }
}

TEST (Spectrogram, FileMatchesTheSpectrogramOfItsWholeBuffer)
{
    TemporaryFolder temp;
    const auto file = temp.file ("two.wav");
    const double rate = 44100.0;
    const auto left = sine (5 * 44100, 440.0, rate, 0.7);
    const auto right = sine (5 * 44100, 9000.0, rate, 0.3);
    juce::AudioBuffer<float> buffer (2, (int) left.size());
    buffer.copyFrom (0, 0, left.data(), (int) left.size());
    buffer.copyFrom (1, 0, right.data(), (int) right.size());
    ASSERT_TRUE (writeAudioFile (file, "wav", buffer, rate, 16));

    juce::AudioBuffer<double> whole;
    juce::String error;
    ASSERT_TRUE (readAudioFileAtOwnRate (file, whole, error)) << error;

    for (int order : { 6, 10, 14 })
    {
        const auto fromFile = computeSpectrogram (file, error, order, 700);
        const auto fromBuffer = computeSpectrogramOfBuffer (whole, rate, order, 700);

        EXPECT_TRUE (error.isEmpty()) << error;
        EXPECT_EQ (fromFile.columns, fromBuffer.columns) << "order " << order;
        EXPECT_EQ (fromFile.bins, fromBuffer.bins);
        EXPECT_EQ (fromFile.sampleRate, fromBuffer.sampleRate);
        EXPECT_EQ (fromFile.durationSeconds, fromBuffer.durationSeconds);
        EXPECT_TRUE (fromFile.values == fromBuffer.values) << "order " << order;
    }
}

TEST (Spectrogram, FilesThatCannotBeAnalysed)
{
    TemporaryFolder temp;
    const auto text = temp.file ("notes.wav");
    ASSERT_TRUE (text.replaceWithText ("not audio at all"));

    const auto shortFile = temp.file ("short.wav");
    juce::AudioBuffer<float> buffer (1, 1023);
    buffer.clear();
    ASSERT_TRUE (writeAudioFile (shortFile, "wav", buffer, 48000.0, 16));

    struct Case
    {
        juce::File file;
        juce::String message;
    };

    const Case cases[] = {
        { text, "Not a readable audio file, or the format is not supported." },
        { temp.file ("missing.wav"), "The file does not exist." },
        { shortFile, {} }, // shorter than one frame: nothing to show, nothing wrong
    };

    for (const auto& c : cases)
    {
        juce::String error ("stale");
        const auto s = computeSpectrogram (c.file, error, 10, 700);
        EXPECT_EQ (error, c.message) << c.file.getFileName();
        EXPECT_EQ (s.columns, 0);
        EXPECT_EQ (s.fftSize, 0);
        EXPECT_EQ (s.sampleRate, 0.0);
        EXPECT_TRUE (s.values.empty());
    }
}

// The zoomed preview reads a stretch of a file; reading the stretch whole first cost the
// stretch's length in memory (gigabytes for most of a long multichannel file).
TEST (Spectrogram, RangeMatchesTheSpectrogramOfThatStretchOfTheBuffer)
{
    TemporaryFolder temp;
    const auto file = temp.file ("stretch.wav");
    const double rate = 48000.0;
    const auto left = sine (6 * 48000, 700.0, rate, 0.6);
    const auto right = sine (6 * 48000, 5000.0, rate, 0.4);
    juce::AudioBuffer<float> buffer (2, (int) left.size());
    buffer.copyFrom (0, 0, left.data(), (int) left.size());
    buffer.copyFrom (1, 0, right.data(), (int) right.size());
    ASSERT_TRUE (writeAudioFile (file, "wav", buffer, rate, 24));

    juce::AudioBuffer<double> whole;
    juce::String error;
    ASSERT_TRUE (readAudioFileAtOwnRate (file, whole, error)) << error;

    const std::pair<double, double> ranges[] = { { 0.0, 1.0 }, { 0.2, 0.8 }, { 0.8, 0.2 }, { 0.995, 1.0 }, { 0.5, 0.5 } };

    for (const auto& [from, to] : ranges)
    {
        const auto frames = frameRangeOfFractions (whole.getNumSamples(), from, to);
        juce::AudioBuffer<double> stretch (2, (int) frames.getLength());

        for (int ch = 0; ch < 2; ++ch)
            stretch.copyFrom (ch, 0, whole, ch, (int) frames.start, (int) frames.getLength());

        const auto fromFile = computeSpectrogramOfRange (file, from, to, error, 10, 700);
        const auto fromBuffer = computeSpectrogramOfBuffer (stretch, rate, 10, 700);

        EXPECT_TRUE (error.isEmpty()) << error;
        EXPECT_EQ (fromFile.columns, fromBuffer.columns) << from << ".." << to;
        EXPECT_EQ (fromFile.durationSeconds, fromBuffer.durationSeconds) << from << ".." << to;
        EXPECT_TRUE (fromFile.values == fromBuffer.values) << from << ".." << to;
    }

    EXPECT_EQ (computeSpectrogramOfRange (file, 0.0, 1.0, error, 10, 700).values, computeSpectrogram (file, error, 10, 700).values);
    EXPECT_EQ (computeSpectrogramOfRange (file, 0.5, 0.5, error, 10, 700).columns, 0) << "one frame is shorter than a column";

    computeSpectrogramOfRange (temp.file ("missing.wav"), 0.2, 0.4, error, 10, 700);
    EXPECT_EQ (error, "The file does not exist.");
}

TEST (Spectrogram, CancelIsAskedPerColumnAndStopsWithTheCancelledText)
{
    TemporaryFolder temp;
    const auto file = temp.file ("tone.wav");
    const auto tone = sine (4 * 44100, 1000.0, 44100.0, 0.5);
    juce::AudioBuffer<float> buffer (1, (int) tone.size());
    buffer.copyFrom (0, 0, tone.data(), (int) tone.size());
    ASSERT_TRUE (writeAudioFile (file, "wav", buffer, 44100.0, 16));

    int asked = 0;
    juce::String error;
    const auto full = computeSpectrogram (file, error, 10, 200, [&asked] { ++asked; return false; });
    EXPECT_EQ (full.columns, 200);
    EXPECT_EQ (asked, 200);
    EXPECT_TRUE (error.isEmpty());

    asked = 0;
    const auto stopped = computeSpectrogramOfRange (file, 0.1, 0.9, error, 10, 200, [&asked] { return ++asked > 50; });
    EXPECT_EQ (asked, 51);
    EXPECT_EQ (stopped.columns, 0);
    EXPECT_TRUE (stopped.values.empty());
    EXPECT_TRUE (isCancelledError (error)) << error;
}
