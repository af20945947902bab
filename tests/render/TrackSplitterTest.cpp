#include <gtest/gtest.h>

#include <FLAC/stream_encoder.h>

#include "audio/AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "core/render/TrackSplitter.h"

using namespace dunmoor;
using dunmoor::testing::TemporaryFolder;
namespace files = dunmoor::testing;

namespace
{
    constexpr double rate = 48000.0;

    // Noise over most of full scale; float sources also get values beyond it and a
    // subnormal one, which must all come through untouched.
    juce::AudioBuffer<float> makeSignal (int numChannels, int numFrames, bool beyondFullScale)
    {
        juce::AudioBuffer<float> buffer (numChannels, numFrames);
        juce::Random random (numChannels * 1000 + numFrames);

        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < numFrames; ++i)
                buffer.setSample (ch, i, (float) (1.8 * random.nextDouble() - 0.9));

        if (beyondFullScale)
        {
            for (int i = 0; i < numFrames; i += 97)
                buffer.setSample (0, i, i % 2 == 0 ? 1.7f : -2.5f);

            buffer.setSample (numChannels - 1, numFrames / 2 + 3, 1.0e-40f);
        }

        return buffer;
    }

    /** A 20-bit FLAC file of random samples, written with the codec library itself
        because the framework's FLAC writer only offers 16 and 24 bits. */
    bool write20BitFlac (const juce::File& file, int numChannels, int numFrames)
    {
        auto* encoder = FLAC__stream_encoder_new();

        if (encoder == nullptr)
            return false;

        FLAC__stream_encoder_set_channels (encoder, (unsigned) numChannels);
        FLAC__stream_encoder_set_bits_per_sample (encoder, 20);
        FLAC__stream_encoder_set_sample_rate (encoder, (unsigned) rate);
        FLAC__stream_encoder_set_total_samples_estimate (encoder, (FLAC__uint64) numFrames);
        bool ok = FLAC__stream_encoder_init_file (encoder, file.getFullPathName().toRawUTF8(), nullptr, nullptr)
                  == FLAC__STREAM_ENCODER_INIT_STATUS_OK;

        juce::Random random (20);
        std::vector<FLAC__int32> interleaved ((size_t) (numChannels * numFrames));

        for (auto& sample : interleaved)
            sample = random.nextInt (juce::Range<int> (-(1 << 19), (1 << 19)));

        ok = ok && FLAC__stream_encoder_process_interleaved (encoder, interleaved.data(), (unsigned) numFrames);
        ok = FLAC__stream_encoder_finish (encoder) && ok;
        FLAC__stream_encoder_delete (encoder);
        return ok;
    }

    /** A WAV file of 32-bit integer samples, which the framework's WAV writer can't make. */
    bool write32BitIntegerWav (const juce::File& file, int numFrames)
    {
        juce::Random random (32);
        std::vector<juce::int32> samples ((size_t) numFrames);

        for (auto& sample : samples)
            sample = random.nextInt();

        const auto bytes = files::makeWavBytes (1, 1, (int) rate, 32, samples.data(), samples.size() * 4);
        return files::writeBytes (file, bytes);
    }

    juce::AudioBuffer<double> readWhole (const juce::File& file)
    {
        juce::AudioBuffer<double> buffer;
        juce::String error;
        EXPECT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << file.getFileName() << ": " << error;
        return buffer;
    }

    int countFiles (const juce::File& folder)
    {
        return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories); // hidden ones too
    }

    /** Both halves have the source's length and shape: the source before the split, a linear
        crossfade of fadeFrames from the split frame on, the source after it, silence
        elsewhere; and they add up to the source exactly. The crossfade is checked against
        g * x within tolerance, since one half carries the other's rounding. */
    void expectHalves (const juce::AudioBuffer<double>& source,
                       const juce::AudioBuffer<double>& first,
                       const juce::AudioBuffer<double>& second,
                       int splitFrame,
                       int fadeFrames,
                       double tolerance,
                       const std::string& label)
    {
        ASSERT_EQ (first.getNumSamples(), source.getNumSamples()) << label;
        ASSERT_EQ (second.getNumSamples(), source.getNumSamples()) << label;
        ASSERT_EQ (first.getNumChannels(), source.getNumChannels()) << label;
        ASSERT_EQ (second.getNumChannels(), source.getNumChannels()) << label;

        int mismatches = 0;

        for (int ch = 0; ch < source.getNumChannels() && mismatches < 5; ++ch)
        {
            for (int i = 0; i < source.getNumSamples() && mismatches < 5; ++i)
            {
                const auto x = source.getSample (ch, i);
                const auto a = first.getSample (ch, i);
                const auto b = second.getSample (ch, i);
                const auto where = label + ", channel " + std::to_string (ch) + ", frame " + std::to_string (i);

                if (a + b != x)
                {
                    ++mismatches;
                    ADD_FAILURE() << where << ": " << a << " + " << b << " != " << x;
                }

                if (i < splitFrame)
                {
                    EXPECT_EQ (a, x) << where;
                }
                else if (i < splitFrame + fadeFrames)
                {
                    const auto gain = 1.0 - (double) (i - splitFrame) / fadeFrames;
                    EXPECT_NEAR (a, gain * x, tolerance * std::max (1.0, std::abs (x))) << where;
                }
                else
                {
                    EXPECT_EQ (a, 0.0) << where;
                }
            }
        }
    }
} // namespace

// A float source above full scale was clamped, so its halves no longer added up to it.
TEST (TrackSplitter, HalvesAddUpToTheSourceAtItsWordLength)
{
    enum class Source { juceWriter, flac20, wavInt32 };

    struct Case
    {
        const char* name;
        Source kind;
        const char* format;
        int bits;
        int expectedBits;
        bool expectedFloat;
        double tolerance;
    };

    const Case cases[] = {
        { "8-bit wav", Source::juceWriter, "wav", 8, 16, false, 1.0 / 32768 },
        { "16-bit wav", Source::juceWriter, "wav", 16, 16, false, 1.0 / 32768 },
        { "24-bit aiff", Source::juceWriter, "aiff", 24, 24, false, 1.0 / 8388608 },
        { "24-bit flac", Source::juceWriter, "flac", 24, 24, false, 1.0 / 8388608 },
        // Written as 16 bit, a 20-bit source lost its lowest four bits.
        { "20-bit flac", Source::flac20, "flac", 20, 24, false, 1.0 / 8388608 },
        { "32-bit integer wav", Source::wavInt32, "wav", 32, 32, true, 1.0e-7 },
        { "32-bit float wav", Source::juceWriter, "wav", 32, 32, true, 1.0e-7 },
    };

    for (const auto& c : cases)
    {
        TemporaryFolder temp;
        const auto source = temp.file (juce::String ("source.") + c.format);
        const int numFrames = 24000;
        const bool isFloatSource = c.kind == Source::juceWriter && c.bits == 32;

        switch (c.kind)
        {
            case Source::juceWriter:
                ASSERT_TRUE (files::writeAudioFile (source, c.format, makeSignal (2, numFrames, isFloatSource), rate, c.bits)) << c.name;
                break;
            case Source::flac20:
                ASSERT_TRUE (write20BitFlac (source, 2, numFrames)) << c.name;
                break;
            case Source::wavInt32:
                ASSERT_TRUE (write32BitIntegerWav (source, numFrames)) << c.name;
                break;
        }

        SplitRequest request;
        request.source = source;
        request.splitSeconds = 0.2;
        request.crossfadeMs = 50.0;
        request.firstOutput = temp.file ("first.wav");
        request.secondOutput = temp.file ("second.wav");

        const auto result = splitTrack (request);
        ASSERT_TRUE (result.ok) << c.name << ": " << result.error;
        EXPECT_TRUE (result.error.isEmpty());

        for (const auto& output : { request.firstOutput, request.secondOutput })
        {
            AudioFileInfo info;
            juce::String error;
            ASSERT_TRUE (probeAudioFile (output, info, error)) << c.name << ": " << error;
            EXPECT_EQ (info.formatName, "WAV") << c.name;
            EXPECT_EQ (info.bitsPerSample, c.expectedBits) << c.name;
            EXPECT_EQ (info.isFloat, c.expectedFloat) << c.name;
            EXPECT_EQ (info.sampleRate, rate) << c.name;
        }

        const auto original = readWhole (source);

        if (isFloatSource)
        {
            ASSERT_EQ (original.getMagnitude (0, 0, numFrames), 2.5) << "the fixture lost its overs";
        }

        expectHalves (original, readWhole (request.firstOutput), readWhole (request.secondOutput), 9600, 2400, c.tolerance, c.name);
    }
}

TEST (TrackSplitter, SplitPointAndCrossfadeAreKeptInsideTheFile)
{
    struct Case
    {
        const char* name;
        double splitSeconds;
        double crossfadeMs;
        int splitFrame;
        int fadeFrames;
    };

    const int numFrames = 4800; // 0.1 s

    const Case cases[] = {
        { "at the start: the first file is only the fade-out", 0.0, 5.0, 0, 240 },
        { "before the start", -1.0, 5.0, 0, 240 },
        { "at the end: the second file is silent", 0.1, 5.0, numFrames, 0 },
        { "past the end", 7.0, 5.0, numFrames, 0 },
        { "no crossfade: the split frame goes to the second file", 0.05, 0.0, 2400, 0 },
        { "crossfade longer than the rest", 0.09, 1000.0, 4320, 480 },
        { "split frame rounded to the nearest", 0.0500199, 5.0, 2401, 240 },
    };

    TemporaryFolder temp;
    const auto source = temp.file ("source.wav");
    ASSERT_TRUE (files::writeAudioFile (source, "wav", makeSignal (1, numFrames, false), rate, 24));
    const auto original = readWhole (source);
    int index = 0;

    for (const auto& c : cases)
    {
        SplitRequest request;
        request.source = source;
        request.splitSeconds = c.splitSeconds;
        request.crossfadeMs = c.crossfadeMs;
        request.firstOutput = temp.file ("a" + juce::String (index) + ".wav");
        request.secondOutput = temp.file ("b" + juce::String (index++) + ".wav");

        const auto result = splitTrack (request);
        ASSERT_TRUE (result.ok) << c.name << ": " << result.error;

        const auto first = readWhole (request.firstOutput);
        const auto second = readWhole (request.secondOutput);
        expectHalves (original, first, second, c.splitFrame, c.fadeFrames, 1.0 / 8388608, c.name);

        if (c.splitFrame == numFrames)
        {
            EXPECT_EQ (second.getMagnitude (0, numFrames), 0.0) << c.name;
        }
    }
}

TEST (TrackSplitter, RefusesBeforeWritingAnything)
{
    TemporaryFolder temp;
    const auto source = temp.file ("source.wav");
    const auto lowRate = temp.file ("low.wav");
    const auto text = temp.file ("text.wav");
    const auto taken = temp.file ("taken.wav");
    const auto folder = temp.file ("folder.wav");
    ASSERT_TRUE (files::writeAudioFile (source, "wav", makeSignal (1, 4800, false), rate, 16));
    ASSERT_TRUE (files::writeAudioFile (lowRate, "wav", makeSignal (1, 4800, false), 22050.0, 16));
    ASSERT_TRUE (text.replaceWithText ("no audio here"));
    ASSERT_TRUE (taken.replaceWithText ("keep me"));
    ASSERT_TRUE (folder.createDirectory());

    const auto fresh1 = temp.file ("one.wav");
    const auto fresh2 = temp.file ("two.wav");

    struct Case
    {
        const char* name;
        juce::File source, first, second;
        juce::String message;
    };

    const Case cases[] = {
        { "missing source", temp.file ("gone.wav"), fresh1, fresh2, "The track's file is no longer where it was imported from." },
        { "first output exists", source, taken, fresh2, "There is already a file with one of those names." },
        { "second output is a folder", source, fresh1, folder, "There is already a file with one of those names." },
        // The second write replaced the first half, and the clean-up then deleted it.
        { "same output twice", source, fresh1, fresh1, "The two parts cannot be written to the same file." },
        { "same output in other letter case", source, fresh1, temp.file ("ONE.wav"), "The two parts cannot be written to the same file." },
        { "not audio", text, fresh1, fresh2, "Not a readable audio file, or the format is not supported." },
        { "rate no lossless codec offers", lowRate, fresh1, fresh2,
          "Tracks at 22.05 kHz cannot be split: the parts are written as WAV files at 44.1, 48, 88.2, 96, 176.4 or 192 kHz." },
    };

    const auto filesBefore = countFiles (temp.folder);

    for (const auto& c : cases)
    {
        SplitRequest request;
        request.source = c.source;
        request.splitSeconds = 0.05;
        request.firstOutput = c.first;
        request.secondOutput = c.second;

        const auto result = splitTrack (request);
        EXPECT_FALSE (result.ok) << c.name;
        EXPECT_EQ (result.error, c.message) << c.name;
        EXPECT_EQ (countFiles (temp.folder), filesBefore) << c.name;
    }

    EXPECT_EQ (taken.loadFileAsString(), "keep me");
    EXPECT_TRUE (folder.isDirectory());
}

TEST (TrackSplitter, FailedSecondWriteRemovesTheFirstFile)
{
    TemporaryFolder temp;
    const auto source = temp.file ("source.wav");
    const auto blocker = temp.file ("blocker");
    ASSERT_TRUE (files::writeAudioFile (source, "wav", makeSignal (2, 4800, false), rate, 24));
    ASSERT_TRUE (blocker.replaceWithText ("a file where a folder would have to be"));

    SplitRequest request;
    request.source = source;
    request.splitSeconds = 0.05;
    request.firstOutput = temp.file ("first.wav");
    request.secondOutput = blocker.getChildFile ("second.wav");

    const auto result = splitTrack (request);

    EXPECT_FALSE (result.ok);
    EXPECT_TRUE (result.error.startsWith ("Could not create '" + blocker.getFullPathName() + "'")) << result.error;
    EXPECT_FALSE (request.firstOutput.exists());
    EXPECT_EQ (countFiles (temp.folder), 2) << "only the source and the blocker stay";
}

// Outputs naming one file through a linked folder: the second half replaced the first and the
// split reported success.
TEST (TrackSplitter, OutputsThatAreOneFileThroughALinkAreRefused)
{
    TemporaryFolder temp;
    const auto source = temp.file ("source.wav");
    ASSERT_TRUE (files::writeAudioFile (source, "wav", makeSignal (1, 4800, false), rate, 16));
    ASSERT_TRUE (temp.file ("parts").createDirectory());
    ASSERT_TRUE (temp.file ("parts").createSymbolicLink (temp.file ("link"), false));

    SplitRequest request;
    request.source = source;
    request.splitSeconds = 0.05;
    request.firstOutput = temp.file ("link/part.wav");
    request.secondOutput = temp.file ("parts/part.wav");

    const auto result = splitTrack (request);

    EXPECT_FALSE (result.ok);
    EXPECT_EQ (result.error, "The two parts cannot be written to the same file.");
    EXPECT_FALSE (request.secondOutput.exists());
}
