#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include <juce_audio_formats/juce_audio_formats.h>

#include "TaskThreads.h"
#include "TestFolder.h"
#include "core/codec/JuceFileEncoder.h"

using namespace dunmoor;
using dunmoor::testing::TemporaryFolder;
using dunmoor::testing::tasksOnThreadsOfTheirOwn;

namespace
{
    std::unique_ptr<juce::AudioFormat> formatFor (Codec codec)
    {
        switch (codec)
        {
            case Codec::wav:  return std::make_unique<juce::WavAudioFormat>();
            case Codec::aiff: return std::make_unique<juce::AiffAudioFormat>();
            case Codec::flac: return std::make_unique<juce::FlacAudioFormat>();
            case Codec::mp3:  break;
        }

        return {};
    }

    /** A written file read back: its header and its samples as the reader delivers them
        (left-justified integers, or float bits for a float file). */
    struct Decoded
    {
        double sampleRate = 0;
        int bits = 0;
        bool isFloat = false;
        int numChannels = 0;
        juce::int64 numFrames = -1;
        std::vector<std::vector<int>> channels;

        /** A sample in steps of the file's word length. */
        int step (int channel, int frame) const { return channels[(size_t) channel][(size_t) frame] >> (32 - bits); }

        float asFloat (int channel, int frame) const
        {
            float f;
            std::memcpy (&f, &channels[(size_t) channel][(size_t) frame], sizeof (f));
            return f;
        }
    };

    Decoded decode (const juce::File& file, Codec codec)
    {
        Decoded d;
        auto format = formatFor (codec);
        std::unique_ptr<juce::AudioFormatReader> reader (format->createReaderFor (file.createInputStream().release(), true));

        if (reader == nullptr)
            return d;

        d.sampleRate = reader->sampleRate;
        d.bits = (int) reader->bitsPerSample;
        d.isFloat = reader->usesFloatingPointData;
        d.numChannels = (int) reader->numChannels;
        d.numFrames = reader->lengthInSamples;
        d.channels.assign ((size_t) d.numChannels, std::vector<int> ((size_t) d.numFrames));

        std::vector<int*> pointers;
        for (auto& c : d.channels)
            pointers.push_back (c.data());

        if (d.numFrames > 0)
            reader->read (pointers.data(), d.numChannels, 0, (int) d.numFrames, false);

        return d;
    }

    EncoderSettings settingsFor (Codec codec, SampleFormat format, DitherKind dither = DitherKind::none, uint64_t seed = 1)
    {
        EncoderSettings s;
        s.codec = codec;
        s.sampleFormat = format;
        s.dither = dither;
        s.ditherSeed = seed;
        return s;
    }

    /** A sine per channel, silent from 700 frames before the end of block edgeBlock to 2000
        frames after it: the dither's fade to black reaches back across that block edge. */
    juce::AudioBuffer<double> sinesWithSilenceAcross (int numChannels, int frames, int edgeBlock, double step)
    {
        const auto edge = edgeBlock * JuceFileEncoder::blockSize;
        juce::AudioBuffer<double> audio (numChannels, frames);

        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < frames; ++i)
                audio.setSample (ch, i, i > edge - 700 && i < edge + 2000 ? 0.0 : 0.7 * std::sin (i * step * (ch + 1)));

        return audio;
    }

    juce::MemoryBlock bytesOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }

    /** Average power per FFT bin over Hann-windowed segments of length n (a power of two). */
    std::vector<double> averagePowerSpectrum (const std::vector<double>& x, size_t n)
    {
        std::vector<double> power (n / 2, 0.0);
        const auto segments = x.size() / n;

        for (size_t s = 0; s < segments; ++s)
        {
            std::vector<std::complex<double>> a (n);
            for (size_t i = 0; i < n; ++i)
                a[i] = x[s * n + i] * (0.5 - 0.5 * std::cos (2.0 * M_PI * (double) i / (double) n));

            // In-place iterative radix-2 FFT.
            for (size_t i = 1, j = 0; i < n; ++i)
            {
                auto bit = n >> 1;
                for (; j & bit; bit >>= 1)
                    j ^= bit;
                j ^= bit;
                if (i < j)
                    std::swap (a[i], a[j]);
            }

            for (size_t len = 2; len <= n; len <<= 1)
            {
                const auto w = std::polar (1.0, -2.0 * M_PI / (double) len);
                for (size_t i = 0; i < n; i += len)
                {
                    std::complex<double> wk (1.0);
                    for (size_t k = 0; k < len / 2; ++k, wk *= w)
                    {
                        const auto u = a[i + k], v = a[i + k + len / 2] * wk;
                        a[i + k] = u + v;
                        a[i + k + len / 2] = u - v;
                    }
                }
            }

            for (size_t k = 0; k < n / 2; ++k)
                power[k] += std::norm (a[k]) / (double) segments;
        }

        return power;
    }

    double meanOf (const std::vector<double>& v, size_t from, size_t to)
    {
        double sum = 0;
        for (auto i = from; i < to; ++i)
            sum += v[i];
        return sum / (double) (to - from);
    }

    /** Hands the encoder a file stream that refuses every write once its byte budget is
        spent, the way a disk that fills up does. */
    class BudgetStream : public juce::FileOutputStream
    {
    public:
        BudgetStream (const juce::File& destination, juce::int64& budgetToUse)
            : juce::FileOutputStream (destination, 16384), budget (budgetToUse)
        {
        }

        bool write (const void* data, size_t numBytes) override
        {
            if ((juce::int64) numBytes > budget)
                return false;

            budget -= (juce::int64) numBytes;
            return juce::FileOutputStream::write (data, numBytes);
        }

    private:
        juce::int64& budget;
    };

    class FillingDiskEncoder : public JuceFileEncoder
    {
    public:
        FillingDiskEncoder (Codec c, juce::int64 bytesLeft) : JuceFileEncoder (c), budget (bytesLeft) {}

        mutable juce::int64 budget;
        juce::File openAtInstead; // when set, the stream is opened on this path instead

    protected:
        std::unique_ptr<juce::FileOutputStream> openOutputStream (const juce::File& temporaryFile) const override
        {
            return std::make_unique<BudgetStream> (openAtInstead != juce::File() ? openAtInstead : temporaryFile, budget);
        }
    };

    juce::AudioBuffer<double> stereoSweep (int frames)
    {
        juce::AudioBuffer<double> audio (2, frames);
        for (int i = 0; i < frames; ++i)
        {
            audio.setSample (0, i, 0.5 * std::sin (0.001 * i * i / frames));
            audio.setSample (1, i, -0.25 * std::cos (0.003 * i));
        }
        return audio;
    }
} // namespace

TEST (JuceFileEncoder, GridSignalsRoundTripBitExactlyInEveryIntegerFormat)
{
    TemporaryFolder temp;
    const int frames = JuceFileEncoder::blockSize + 5000; // the last block is a short one

    for (auto codec : { Codec::wav, Codec::aiff, Codec::flac })
    {
        for (auto format : { SampleFormat::pcm16, SampleFormat::pcm24 })
        {
            const auto bits = bitsPerSample (format);
            const auto full = 1 << (bits - 1);
            SCOPED_TRACE (codecToString (codec).toStdString() + " " + sampleFormatToString (format).toStdString());

            // Pseudo-random grid values with both extremes, plus values beyond full scale.
            juce::Random random (42);
            juce::AudioBuffer<double> audio (2, frames);
            std::vector<std::vector<int>> expected (2, std::vector<int> ((size_t) frames));

            for (int ch = 0; ch < 2; ++ch)
            {
                for (int i = 0; i < frames; ++i)
                {
                    auto step = (int) (random.nextInt64() % full);
                    if (i == 0) step = full - 1;
                    if (i == 1) step = -full;

                    audio.setSample (ch, i, (double) step / full);
                    expected[(size_t) ch][(size_t) i] = step;
                }
            }

            audio.setSample (0, 2, 1.7);    // clamped, never wrapped
            expected[0][2] = full - 1;
            audio.setSample (1, 2, -3.0);
            expected[1][2] = -full;
            audio.setSample (0, 3, 1.0);    // exactly +1 is the top code
            expected[0][3] = full - 1;

            const auto target = temp.folder.getChildFile ("grid" + codecFileExtension (codec));
            JuceFileEncoder encoder (codec);
            juce::String error { "stale" };

            ASSERT_TRUE (encoder.encode (audio, target, settingsFor (codec, format), error)) << error;
            EXPECT_TRUE (error.isEmpty());

            const auto d = decode (target, codec);
            ASSERT_EQ (d.numFrames, frames);
            EXPECT_EQ (d.numChannels, 2);
            EXPECT_EQ (d.bits, bits);
            EXPECT_EQ (d.sampleRate, 48000.0);
            EXPECT_FALSE (d.isFloat);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < frames; ++i)
                    ASSERT_EQ (d.step (ch, i), expected[(size_t) ch][(size_t) i]) << "channel " << ch << ", frame " << i;

            EXPECT_EQ (temp.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, ".*"), 0); // no temporary file left beside it
        }
    }
}

TEST (JuceFileEncoder, OffGridValuesRoundHalvesAwayFromZero)
{
    // The framework's own float-to-int path floors; ours must not add -0.5 LSB of DC.
    TemporaryFolder temp;
    const double lsb = 1.0 / 32768.0;
    const std::vector<std::pair<double, int>> cases {
        { 0.4 * lsb, 0 }, { 0.5 * lsb, 1 }, { -0.5 * lsb, -1 }, { -0.4 * lsb, 0 },
        { 100.49 * lsb, 100 }, { -100.5 * lsb, -101 }, { 16383.5 * lsb, 16384 },
    };

    juce::AudioBuffer<double> audio (1, (int) cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        audio.setSample (0, (int) i, cases[i].first);

    const auto target = temp.folder.getChildFile ("round.wav");
    juce::String error;
    ASSERT_TRUE (JuceFileEncoder (Codec::wav).encode (audio, target, settingsFor (Codec::wav, SampleFormat::pcm16), error)) << error;

    const auto d = decode (target, Codec::wav);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ (d.step (0, (int) i), cases[i].second) << "input " << cases[i].first / lsb << " LSB";
}

TEST (JuceFileEncoder, FloatFilesAreClampedAndNeverDithered)
{
    TemporaryFolder temp;
    auto audio = stereoSweep (1000);
    audio.setSample (0, 10, 2.5);
    audio.setSample (1, 10, -9.0);

    const auto target = temp.folder.getChildFile ("float.wav");
    juce::String error;
    ASSERT_TRUE (JuceFileEncoder (Codec::wav).encode (audio, target, settingsFor (Codec::wav, SampleFormat::float32, DitherKind::tpdfShaped), error)) << error;

    const auto d = decode (target, Codec::wav);
    ASSERT_TRUE (d.isFloat);
    ASSERT_EQ (d.numFrames, 1000);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ (d.asFloat (ch, i), (float) juce::jlimit (-1.0, 1.0, audio.getSample (ch, i))) << "channel " << ch << ", frame " << i;
}

TEST (JuceFileEncoder, TpdfOnSilenceHasHalfAnLsbOfNoiseAndNoDc)
{
    TemporaryFolder temp;
    const int frames = 200000;
    juce::AudioBuffer<double> silence (1, frames);
    silence.clear();

    const auto target = temp.folder.getChildFile ("tpdf.wav");
    juce::String error;
    ASSERT_TRUE (JuceFileEncoder (Codec::wav).encode (silence, target, settingsFor (Codec::wav, SampleFormat::pcm16, DitherKind::tpdfContinuous, 11), error)) << error;

    const auto d = decode (target, Codec::wav);
    double sum = 0, sumOfSquares = 0;
    for (int i = 0; i < frames; ++i)
    {
        const auto v = (double) d.step (0, i);
        ASSERT_LE (std::abs (v), 1.0) << "frame " << i;
        sum += v;
        sumOfSquares += v * v;
    }

    const auto mean = sum / frames;
    const auto rms = std::sqrt (sumOfSquares / frames);
    EXPECT_NEAR (rms, 0.5, 0.02) << "RMS in LSB";
    EXPECT_NEAR (mean, 0.0, 0.01) << "DC in LSB";
}

TEST (JuceFileEncoder, ShapedDitherHasItsNullAtDc)
{
    TemporaryFolder temp;
    const int frames = 1 << 18;
    juce::AudioBuffer<double> audio (1, frames);
    for (int i = 0; i < frames; ++i)
        audio.setSample (0, i, 1.0e-5 * std::sin (0.3 * i)); // well below one LSB, away from DC

    const auto target = temp.folder.getChildFile ("shaped.flac");
    juce::String error;
    ASSERT_TRUE (JuceFileEncoder (Codec::flac).encode (audio, target, settingsFor (Codec::flac, SampleFormat::pcm16, DitherKind::tpdfShapedContinuous, 5), error)) << error;

    const auto d = decode (target, Codec::flac);
    ASSERT_EQ (d.numFrames, frames);

    std::vector<double> errorSignal ((size_t) frames);
    for (int i = 0; i < frames; ++i)
        errorSignal[(size_t) i] = d.step (0, i) - audio.getSample (0, i) * 32768.0;

    const size_t n = 1024;
    const auto power = averagePowerSpectrum (errorSignal, n);
    const auto low = meanOf (power, 1, n / 64);       // up to 1/64 of the sample rate
    const auto high = meanOf (power, n / 4, n / 2);   // the top half of the band
    const auto ratioDb = 10.0 * std::log10 (low / high);

    EXPECT_LT (ratioDb, -30.0) << "noise near DC relative to the top of the band, dB";

    // The shaped error telescopes: its sum stays within a few steps.
    double total = 0;
    for (auto e : errorSignal)
        total += e;
    EXPECT_LT (std::abs (total), 4.0);
}

TEST (JuceFileEncoder, SameSeedGivesIdenticalFilesAndSeedZeroDoesNot)
{
    TemporaryFolder temp;
    const auto audio = stereoSweep (20000);
    JuceFileEncoder wav (Codec::wav), flac (Codec::flac);
    juce::String error;

    const auto a = temp.folder.getChildFile ("a.wav"), b = temp.folder.getChildFile ("b.wav");
    ASSERT_TRUE (wav.encode (audio, a, settingsFor (Codec::wav, SampleFormat::pcm16, DitherKind::tpdfShaped, 77), error)) << error;
    ASSERT_TRUE (wav.encode (audio, b, settingsFor (Codec::wav, SampleFormat::pcm16, DitherKind::tpdfShaped, 77), error)) << error;
    EXPECT_EQ (bytesOf (a), bytesOf (b));

    // FLAC is compared by its decoded samples, not its bytes.
    const auto fa = temp.folder.getChildFile ("a.flac"), fb = temp.folder.getChildFile ("b.flac");
    ASSERT_TRUE (flac.encode (audio, fa, settingsFor (Codec::flac, SampleFormat::pcm24, DitherKind::tpdf, 3), error)) << error;
    ASSERT_TRUE (flac.encode (audio, fb, settingsFor (Codec::flac, SampleFormat::pcm24, DitherKind::tpdf, 3), error)) << error;
    EXPECT_EQ (decode (fa, Codec::flac).channels, decode (fb, Codec::flac).channels);

    ASSERT_TRUE (wav.encode (audio, a, settingsFor (Codec::wav, SampleFormat::pcm16, DitherKind::tpdf, 0), error)) << error;
    ASSERT_TRUE (wav.encode (audio, b, settingsFor (Codec::wav, SampleFormat::pcm16, DitherKind::tpdf, 0), error)) << error;
    EXPECT_NE (bytesOf (a), bytesOf (b));
}

// Shared out over threads, the channels of many blocks are dithered side by side while the
// writer packs the blocks before them: the file must be the one written on one thread, for
// every kind of file, with silence (auto-black) running across the steps.
TEST (JuceFileEncoder, SharingTheWorkOutWritesTheSameFile)
{
    const auto audio = sinesWithSilenceAcross (3, 9 * JuceFileEncoder::blockSize + 1234, 8, 0.0123);

    const auto threads = tasksOnThreadsOfTheirOwn();

    struct Case
    {
        Codec codec;
        SampleFormat format;
        DitherKind dither;
    };

    const Case cases[] = { { Codec::wav, SampleFormat::pcm16, DitherKind::tpdfShaped },
                           { Codec::wav, SampleFormat::pcm24, DitherKind::tpdf },
                           { Codec::wav, SampleFormat::float32, DitherKind::none },
                           { Codec::aiff, SampleFormat::pcm24, DitherKind::tpdfContinuous },
                           { Codec::flac, SampleFormat::pcm24, DitherKind::tpdf } };
    TemporaryFolder temp;

    for (const auto& c : cases)
    {
        const auto settings = settingsFor (c.codec, c.format, c.dither, 41);
        const auto label = settings.describe();
        const auto alone = temp.folder.getChildFile ("alone" + codecFileExtension (c.codec));
        const auto shared = temp.folder.getChildFile ("shared" + codecFileExtension (c.codec));
        juce::String error;
        int polls = 0;

        ASSERT_TRUE (JuceFileEncoder (c.codec).encode (audio, alone, settings, error)) << label << ": " << error;
        ASSERT_TRUE (JuceFileEncoder (c.codec).encode (audio, shared, settings, error, [&] { ++polls; return false; }, threads)) << label << ": " << error;
        EXPECT_EQ (polls, 10) << label;

        // FLAC is compared by its decoded samples, not its bytes.
        if (c.codec == Codec::flac)
            EXPECT_EQ (decode (shared, c.codec).channels, decode (alone, c.codec).channels) << label;
        else
            EXPECT_EQ (bytesOf (shared), bytesOf (alone)) << label;
    }
}

TEST (JuceFileEncoder, WindowsOfWholeBlocksWriteTheFileOfTheWholeBuffer)
{
    // Silence across the third block's end: the dither's fade to black reaches back into it.
    constexpr int frames = 7 * JuceFileEncoder::blockSize + 999;
    const auto audio = sinesWithSilenceAcross (2, frames, 3, 0.0071);

    const auto threads = tasksOnThreadsOfTheirOwn();
    const std::pair<Codec, DitherKind> cases[] = { { Codec::wav, DitherKind::tpdfShaped }, { Codec::aiff, DitherKind::tpdf }, { Codec::flac, DitherKind::tpdf } };
    TemporaryFolder temp;

    for (const auto& [codec, dither] : cases)
    {
        const auto settings = settingsFor (codec, SampleFormat::pcm24, dither, 17);
        SCOPED_TRACE (settings.describe().toStdString());
        const auto whole = temp.folder.getChildFile ("whole" + codecFileExtension (codec));
        const auto windowed = temp.folder.getChildFile ("windowed" + codecFileExtension (codec));
        juce::String error;
        ASSERT_TRUE (JuceFileEncoder (codec).encode (audio, whole, settings, error)) << error;

        JuceFileEncoder encoder (codec);
        auto session = encoder.begin (windowed, settings, 2, frames, error);
        ASSERT_NE (session, nullptr) << error;
        ASSERT_EQ (session->getWindowFrames(), JuceFileEncoder::blockSize);

        // Windows of 3, 1 (shared out) and 2 blocks, then the rest, each from a buffer of its own.
        int start = 0;

        for (const int blocks : { 3, 1, 2, 99 })
        {
            const auto count = std::min (blocks * JuceFileEncoder::blockSize, frames - start);
            juce::AudioBuffer<double> window (2, count + 10);

            for (int ch = 0; ch < 2; ++ch)
                window.copyFrom (ch, 0, audio, ch, start, count);

            ASSERT_TRUE (session->append (window, count, error, {}, blocks == 1 ? threads : ParallelTasks {})) << error;
            start += count;
        }

        EXPECT_FALSE (windowed.exists());
        ASSERT_TRUE (session->finish (error)) << error;

        if (codec == Codec::flac)
            EXPECT_EQ (decode (windowed, codec).channels, decode (whole, codec).channels);
        else
            EXPECT_EQ (bytesOf (windowed), bytesOf (whole));
    }

    // A session dropped before it is finished leaves the target as it was and no file behind.
    const auto target = temp.folder.getChildFile ("dropped.wav");
    ASSERT_TRUE (target.replaceWithText ("earlier"));
    juce::String error;
    {
        JuceFileEncoder encoder (Codec::wav);
        auto session = encoder.begin (target, settingsFor (Codec::wav, SampleFormat::pcm24, DitherKind::tpdf, 3), 2, frames, error);
        ASSERT_NE (session, nullptr) << error;
        ASSERT_TRUE (session->append (audio, JuceFileEncoder::blockSize, error)) << error;
    }

    EXPECT_EQ (target.loadFileAsString(), "earlier");
    EXPECT_EQ (temp.folder.findChildFiles (juce::File::findFiles, false, "*dropped*").size(), 1);
}

TEST (JuceFileEncoder, AutoBlackAcrossTheBlockBoundary)
{
    // Silence starts 500 frames before the end of the first 32768-frame block and lasts
    // 3000 frames; its 1024th zero falls in the second block.
    TemporaryFolder temp;
    const int silenceStart = JuceFileEncoder::blockSize - 500, silenceEnd = silenceStart + 3000, frames = silenceEnd + 1000;
    const double level = 0.25; // on the grid

    juce::AudioBuffer<double> audio (1, frames);
    for (int i = 0; i < frames; ++i)
        audio.setSample (0, i, i >= silenceStart && i < silenceEnd ? 0.0 : level);

    const auto target = temp.folder.getChildFile ("black.wav");
    juce::String error;
    ASSERT_TRUE (JuceFileEncoder (Codec::wav).encode (audio, target, settingsFor (Codec::wav, SampleFormat::pcm16, DitherKind::tpdf, 9), error)) << error;
    const auto d = decode (target, Codec::wav);

    // The zeros in the first block were written before the run was known: they keep their dither.
    int noisy = 0;
    for (int i = silenceStart; i < JuceFileEncoder::blockSize; ++i)
        noisy += d.step (0, i) != 0 ? 1 : 0;
    EXPECT_GT (noisy, 50);

    for (int i = JuceFileEncoder::blockSize; i < silenceEnd; ++i)
        ASSERT_EQ (d.step (0, i), 0) << "frame " << i;

    // The dither comes back from 1/256 of its level: the first samples are exact again.
    for (int i = silenceEnd; i < silenceEnd + 127; ++i)
        ASSERT_EQ (d.step (0, i), 8192) << "frame " << i;
}

TEST (JuceFileEncoder, EmptyBufferGivesAValidEmptyFile)
{
    TemporaryFolder temp;
    juce::AudioBuffer<double> empty (2, 0);

    for (auto codec : { Codec::wav, Codec::aiff, Codec::flac })
    {
        const auto target = temp.folder.getChildFile ("empty" + codecFileExtension (codec));
        juce::String error;
        ASSERT_TRUE (JuceFileEncoder (codec).encode (empty, target, settingsFor (codec, SampleFormat::pcm24, DitherKind::tpdf), error)) << error;

        const auto d = decode (target, codec);
        EXPECT_EQ (d.numFrames, 0) << codecToString (codec);
        EXPECT_EQ (d.numChannels, 2) << codecToString (codec);
    }
}

TEST (JuceFileEncoder, RefusalsAndTheirTexts)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("x.wav");
    const auto stereo = stereoSweep (100);

    struct Case
    {
        Codec encoderCodec;
        EncoderSettings settings;
        int channels;
        const char* message;
    };

    auto withRate = [] (EncoderSettings s, double rate) { s.sampleRate = rate; return s; };

    const Case cases[] = {
        { Codec::wav, settingsFor (Codec::flac, SampleFormat::pcm16), 2, "This encoder was created for wav, not flac." },
        { Codec::aiff, settingsFor (Codec::aiff, SampleFormat::float32), 2, "AIFF cannot store float32." },
        { Codec::flac, settingsFor (Codec::flac, SampleFormat::float32), 2, "FLAC cannot store float32." },
        { Codec::wav, withRate (settingsFor (Codec::wav, SampleFormat::pcm24), 22050.0), 2, "WAV cannot store 22.1 kHz." },
        { Codec::wav, withRate (settingsFor (Codec::wav, SampleFormat::pcm24), 48000.5), 2, "WAV cannot store 48.0 kHz." },
        { Codec::wav, settingsFor (Codec::wav, SampleFormat::pcm24), 0, "Unsupported channel count: 0." },
        { Codec::wav, settingsFor (Codec::wav, SampleFormat::pcm24), 65, "Unsupported channel count: 65." },
        { Codec::flac, settingsFor (Codec::flac, SampleFormat::pcm24), 64, "The FLAC writer rejected these settings (FLAC 24bit 48kHz 2ch)." },
    };

    for (const auto& c : cases)
    {
        juce::AudioBuffer<double> audio (c.channels, 100);
        audio.clear();
        juce::String error;

        EXPECT_FALSE (JuceFileEncoder (c.encoderCodec).encode (audio, target, c.settings, error));
        EXPECT_EQ (error, c.message);
    }

    EXPECT_EQ (temp.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0); // nothing was created for any of them

    // The limits themselves pass: 64 channels in a WAV, a rate 0.3 Hz off.
    juce::AudioBuffer<double> wide (64, 100);
    wide.clear();
    juce::String error;
    EXPECT_TRUE (JuceFileEncoder (Codec::wav).encode (wide, target, withRate (settingsFor (Codec::wav, SampleFormat::pcm24), 48000.3), error)) << error;
    EXPECT_EQ (decode (target, Codec::wav).numChannels, 64);

    EXPECT_FALSE (JuceFileEncoder (Codec::wav).encode (stereo, juce::File(), settingsFor (Codec::wav, SampleFormat::pcm24), error));
    EXPECT_EQ (error, "No destination file was given.");
}

TEST (JuceFileEncoder, FailedWritesKeepTheOldTargetAndLeaveNoTemporaryFile)
{
    TemporaryFolder temp;
    const auto audio = stereoSweep (JuceFileEncoder::blockSize + 4000);

    for (auto codec : { Codec::wav, Codec::aiff, Codec::flac })
    {
        SCOPED_TRACE (codecToString (codec).toStdString());
        const auto settings = settingsFor (codec, SampleFormat::pcm24, DitherKind::tpdfShaped);
        const auto target = temp.folder.getChildFile ("cue" + codecFileExtension (codec));
        juce::String error;

        // Learn how many bytes a complete file takes.
        FillingDiskEncoder roomy (codec, 1ll << 40);
        ASSERT_TRUE (roomy.encode (audio, target, settings, error)) << error;
        const auto needed = (1ll << 40) - roomy.budget;
        const auto previous = bytesOf (target);

        // The disk fills in the middle of the audio.
        FillingDiskEncoder halfway (codec, needed / 2);
        EXPECT_FALSE (halfway.encode (audio, target, settings, error));
        EXPECT_EQ (error, "Writing failed part-way through; the disk may be full.");

        // The disk fills with the very last bytes, which finish the header: the writers
        // ignore that, so without a check a file with a stale header would be committed.
        FillingDiskEncoder almost (codec, needed - 1);
        EXPECT_FALSE (almost.encode (audio, target, settings, error));
        EXPECT_EQ (error, "Writing failed while finishing the file; the disk may be full.");

        EXPECT_EQ (bytesOf (target), previous);
        ASSERT_TRUE (target.deleteFile());
        EXPECT_EQ (temp.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    }
}

TEST (JuceFileEncoder, CancelStopsAtTheBlockWhoseCheckSaysYesAndLeavesNoFile)
{
    TemporaryFolder temp;
    const auto audio = stereoSweep (4 * JuceFileEncoder::blockSize + 1000);

    for (auto codec : { Codec::wav, Codec::aiff, Codec::flac })
    {
        SCOPED_TRACE (codecToString (codec).toStdString());
        const auto settings = settingsFor (codec, SampleFormat::pcm24, DitherKind::tpdfShaped, 5);
        const auto plain = temp.folder.getChildFile ("plain" + codecFileExtension (codec));
        const auto target = temp.folder.getChildFile ("cue" + codecFileExtension (codec));
        JuceFileEncoder encoder (codec);
        juce::String error;

        // A check that never says yes changes nothing in the file.
        int polls = 0;
        ASSERT_TRUE (encoder.encode (audio, plain, settings, error)) << error;
        ASSERT_TRUE (encoder.encode (audio, target, settings, error, [&] { ++polls; return false; })) << error;
        EXPECT_EQ (decode (target, codec).channels, decode (plain, codec).channels);
        EXPECT_EQ (polls, 5);
        ASSERT_TRUE (plain.deleteFile());

        // Cancelled with no target yet (no file at all after), and over an existing target
        // (left as it was); in both cases no temporary file stays.
        const auto previous = bytesOf (target);

        for (bool existing : { false, true })
        {
            if (! existing)
                ASSERT_TRUE (target.deleteFile());
            else
                ASSERT_TRUE (target.replaceWithData (previous.getData(), previous.getSize()));

            for (int yesAt : { 2, polls })
            {
                int asked = 0;
                EXPECT_FALSE (encoder.encode (audio, target, settings, error, [&] { return ++asked >= yesAt; }));
                EXPECT_TRUE (isCancelledError (error)) << error;
                EXPECT_EQ (asked, yesAt);
                EXPECT_EQ (target.existsAsFile(), existing);
                EXPECT_EQ (temp.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), existing ? 1 : 0);
            }
        }

        EXPECT_EQ (bytesOf (target), previous);
        ASSERT_TRUE (target.deleteFile());
    }
}

TEST (JuceFileEncoder, StreamAndCommitFailures)
{
    TemporaryFolder temp;
    const auto audio = stereoSweep (1000);
    const auto settings = settingsFor (Codec::wav, SampleFormat::pcm16);
    juce::String error;

    // A stream that cannot be opened.
    const auto blocked = temp.folder.getChildFile ("a-folder");
    ASSERT_TRUE (blocked.createDirectory().wasOk());
    FillingDiskEncoder unopenable (Codec::wav, 1ll << 40);
    unopenable.openAtInstead = blocked;
    EXPECT_FALSE (unopenable.encode (audio, temp.folder.getChildFile ("x.wav"), settings, error));
    EXPECT_TRUE (error.startsWith ("Could not open '" + temp.folder.getChildFile (".x_temp").getFullPathName())) << error;
    EXPECT_TRUE (error.endsWith ("' for writing.")) << error;

    // A target that is a non-empty folder cannot be replaced.
    const auto busy = temp.folder.getChildFile ("busy.wav");
    ASSERT_TRUE (busy.getChildFile ("inside.txt").create().wasOk());
    EXPECT_FALSE (JuceFileEncoder (Codec::wav).encode (audio, busy, settings, error));
    EXPECT_EQ (error, "Could not replace '" + busy.getFullPathName() + "'.");
    EXPECT_TRUE (busy.getChildFile ("inside.txt").existsAsFile());

    // A target under a regular file.
    const auto plain = temp.folder.getChildFile ("plain.txt");
    ASSERT_TRUE (plain.replaceWithText ("text"));
    EXPECT_FALSE (JuceFileEncoder (Codec::wav).encode (audio, plain.getChildFile ("x.wav"), settings, error));
    EXPECT_TRUE (error.startsWith ("Could not create '" + plain.getFullPathName() + "': ")) << error;

    // Only the folders made by the test itself are left.
    EXPECT_EQ (temp.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 3);
}

TEST (JuceFileEncoder, SizeLimitsOfAiffAndWav)
{
    juce::String error;

    // AIFF: 46 header bytes plus the padded data must fit a signed 32-bit size.
    const juce::int64 aiffLimit = 0x7fffffffll - 46; // = 2147483601, odd, pads to 2147483602
    EXPECT_TRUE (checkEncodedFileSize (Codec::aiff, 8, 1, aiffLimit - 1, error));
    EXPECT_FALSE (checkEncodedFileSize (Codec::aiff, 8, 1, aiffLimit, error));
    EXPECT_TRUE (error.contains ("more than an AIFF file can hold")) << error;

    // A whole cue: a little over two hours of 24-bit stereo at 48 kHz.
    EXPECT_FALSE (checkEncodedFileSize (Codec::aiff, 24, 2, 7500ll * 48000, error));
    EXPECT_TRUE (checkEncodedFileSize (Codec::aiff, 24, 2, 7000ll * 48000, error));

    // WAV: a plain RIFF header holds up to 0xffffffff - 96 bytes of padded data, RF64 takes
    // over from 4 GiB of data; the sizes in between are refused.
    const juce::int64 riffLimit = 0xffffffffll - 96; // odd, so it would be padded
    EXPECT_TRUE (checkEncodedFileSize (Codec::wav, 8, 1, riffLimit - 1, error));
    EXPECT_FALSE (checkEncodedFileSize (Codec::wav, 8, 1, riffLimit, error));
    EXPECT_TRUE (error.contains ("a WAV header cannot describe")) << error;
    EXPECT_FALSE (checkEncodedFileSize (Codec::wav, 8, 1, 0xffffffffll, error));
    EXPECT_TRUE (checkEncodedFileSize (Codec::wav, 8, 1, 0x100000000ll, error));
    EXPECT_TRUE (checkEncodedFileSize (Codec::wav, 32, 64, 1000000000ll, error));

    // FLAC has no such limit.
    EXPECT_TRUE (checkEncodedFileSize (Codec::flac, 24, 8, 1000000000ll, error));
}

// The room a render asks of the disk up front comes from this bound: a file larger than it
// would fill a disk the render was told had room. Full-scale noise is what FLAC compresses least.
TEST (JuceFileEncoder, TheMostAFileTakesBoundsWhatIsWritten)
{
    TemporaryFolder temp;
    juce::Random random (7);

    struct Case
    {
        Codec codec;
        SampleFormat format;
        int channels;
    };

    const Case cases[] = {
        { Codec::wav, SampleFormat::pcm24, 2 }, { Codec::wav, SampleFormat::float32, 6 }, { Codec::aiff, SampleFormat::pcm16, 1 },
        { Codec::flac, SampleFormat::pcm16, 2 }, { Codec::flac, SampleFormat::pcm24, 2 }, { Codec::flac, SampleFormat::pcm24, 1 },
        { Codec::flac, SampleFormat::pcm24, 6 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (codecToString (c.codec) + " " + sampleFormatToString (c.format) + " " + juce::String (c.channels) + " ch");
        const int frames = 48001;
        juce::AudioBuffer<double> noise (c.channels, frames);

        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < frames; ++i)
                noise.setSample (ch, i, random.nextDouble() * 2.0 - 1.0);

        EncoderSettings settings;
        settings.codec = c.codec;
        settings.sampleFormat = c.format;
        settings.numChannels = c.channels;
        settings.dither = DitherKind::none;

        const auto file = temp.file ("noise." + codecToString (c.codec));
        juce::String error;
        ASSERT_TRUE (JuceFileEncoder (c.codec).encode (noise, file, settings, error)) << error;

        const auto most = maxEncodedFileBytes (c.codec, c.format, c.channels, frames);
        EXPECT_LE (file.getSize(), most);

        // Uncompressed files are their samples and a header.
        if (c.codec != Codec::flac)
        {
            EXPECT_GE (file.getSize(), most - 1024);
        }
    }
}

TEST (JuceFileEncoder, FactoryNamesAndDescriptions)
{
    juce::String error { "stale" };
    auto encoder = createEncoder (Codec::flac, error);
    ASSERT_NE (encoder, nullptr);
    EXPECT_TRUE (error.isEmpty());
    EXPECT_EQ (encoder->getName(), "JUCE FLAC encoder");
    EXPECT_EQ (JuceFileEncoder (Codec::aiff).getName(), "JUCE AIFF encoder");

    EXPECT_EQ (createEncoder (Codec::mp3, error), nullptr);
    EXPECT_TRUE (error.startsWith ("MP3 is not an export format in this build")) << error;
    EXPECT_EQ (createEncoder ((Codec) 9, error), nullptr);
    EXPECT_EQ (error, "This codec is not available in this build.");

    auto describe = [] (Codec c, SampleFormat f, double rate, int channels)
    {
        EncoderSettings s;
        s.codec = c;
        s.sampleFormat = f;
        s.sampleRate = rate;
        s.numChannels = channels;
        return s.describe();
    };

    EXPECT_EQ (EncoderSettings().describe(), "WAV 24bit 48kHz 2ch");
    EXPECT_EQ (describe (Codec::flac, SampleFormat::pcm16, 44100, 1), "FLAC 16bit 44.1kHz 1ch");
    EXPECT_EQ (describe (Codec::wav, SampleFormat::float32, 96000, 6), "WAV 32bit float 96kHz 6ch");
    EXPECT_EQ (describe (Codec::mp3, SampleFormat::pcm16, 44100, 2), "MP3 320kbps 44.1kHz 2ch");
    EXPECT_EQ (describe (Codec::aiff, SampleFormat::pcm24, 0, 2), "AIFF 24bit - 2ch");
}
