#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include <unistd.h>

#include "AudioTestFiles.h"
#include "BufferLimit.h"
#include "TaskThreads.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/Resampler.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
// Multiples of 1/128, so every bit depth holds them to within one step.
float testSample (int channel, int frame)
{
    return (float) ((frame * 7 + channel * 13) % 200 - 100) / 128.0f;
}

juce::AudioBuffer<float> makeTestSignal (int numChannels, int numFrames)
{
    juce::AudioBuffer<float> buffer (numChannels, numFrames);

    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numFrames; ++i)
            buffer.setSample (ch, i, testSample (ch, i));

    return buffer;
}

juce::AudioBuffer<float> makeSine (int numChannels, int numFrames, double rate, double frequency)
{
    juce::AudioBuffer<float> buffer (numChannels, numFrames);

    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numFrames; ++i)
            buffer.setSample (ch, i, (float) (0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * frequency * i / rate)));

    return buffer;
}

juce::MemoryBlock floatWavWithSample (int numFrames, int badFrame, float badValue)
{
    std::vector<float> samples ((size_t) numFrames * 2, 0.25f);
    samples[(size_t) badFrame * 2 + 1] = badValue;
    return makeWavBytes (3, 2, 48000, 32, samples.data(), samples.size() * sizeof (float));
}

struct FakeReader : juce::AudioFormatReader
{
    FakeReader (unsigned int channels, double rate, juce::int64 length)
        : AudioFormatReader (nullptr, "Fake")
    {
        numChannels = channels;
        sampleRate = rate;
        lengthInSamples = length;
    }

    bool readSamples (int* const*, int, int, juce::int64, int) override { return false; }
};
} // namespace

TEST (AudioFileReader, EveryFormatBitDepthAndChannelCountReadsBack)
{
    struct Case
    {
        const char* format;
        const char* extension;
        int bits;
        bool isFloat;
        const char* name;
    };

    const Case cases[] = {
        { "wav", ".wav", 8, false, "WAV" },
        { "wav", ".wav", 16, false, "WAV" },
        { "wav", ".wav", 24, false, "WAV" },
        { "wav", ".wav", 32, true, "WAV" },
        { "aiff", ".aif", 8, false, "AIFF" },
        { "aiff", ".aiff", 16, false, "AIFF" },
        { "aiff", ".aif", 24, false, "AIFF" },
        { "flac", ".flac", 16, false, "FLAC" },
        { "flac", ".flac", 24, false, "FLAC" },
    };

    TemporaryFolder temp;

    for (const auto& c : cases)
    {
        for (int channels : { 1, 2, 6 })
        {
            const auto label = juce::String (c.format) + " " + juce::String (c.bits) + " bit, " + juce::String (channels) + " ch";
            const auto file = temp.file ("signal" + juce::String (channels) + c.extension);
            ASSERT_TRUE (writeAudioFile (file, c.format, makeTestSignal (channels, 1000), 44100.0, c.bits)) << label;

            AudioFileInfo info;
            juce::String error;
            ASSERT_TRUE (probeAudioFile (file, info, error)) << label << ": " << error;
            EXPECT_EQ (info.formatName, c.name) << label;
            EXPECT_EQ (info.sampleRate, 44100.0) << label;
            EXPECT_EQ (info.bitsPerSample, c.bits) << label;
            EXPECT_EQ (info.isFloat, c.isFloat) << label;
            EXPECT_EQ (info.numChannels, channels) << label;
            EXPECT_EQ (info.lengthInSamples, 1000) << label;

            juce::AudioBuffer<double> buffer;
            ASSERT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << label << ": " << error;
            ASSERT_EQ (buffer.getNumChannels(), channels) << label;
            ASSERT_EQ (buffer.getNumSamples(), 1000) << label;

            const double tolerance = c.isFloat ? 0.0 : 1.5 / std::pow (2.0, c.bits - 1);

            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < 1000; ++i)
                    ASSERT_NEAR (buffer.getSample (ch, i), testSample (ch, i), tolerance) << label << ", channel " << ch << ", frame " << i;
        }
    }
}

TEST (AudioFileReader, IntegerWavOf32BitsReads)
{
    TemporaryFolder temp;
    const int samples[] = { 0, 1 << 30, -(1 << 30), std::numeric_limits<int>::min() };
    const auto file = temp.file ("int32.wav");
    ASSERT_TRUE (writeBytes (file, makeWavBytes (1, 1, 48000, 32, samples, sizeof (samples))));

    AudioFileInfo info;
    juce::String error;
    ASSERT_TRUE (probeAudioFile (file, info, error)) << error;
    EXPECT_EQ (info.bitsPerSample, 32);
    EXPECT_FALSE (info.isFloat);

    juce::AudioBuffer<double> buffer;
    ASSERT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << error;
    ASSERT_EQ (buffer.getNumSamples(), 4);
    EXPECT_NEAR (buffer.getSample (0, 0), 0.0, 1e-9);
    EXPECT_NEAR (buffer.getSample (0, 1), 0.5, 1e-7);
    EXPECT_NEAR (buffer.getSample (0, 2), -0.5, 1e-7);
    EXPECT_NEAR (buffer.getSample (0, 3), -1.0, 1e-7);
}

TEST (AudioFileReader, ContentDecidesTheFormatWhateverTheExtensionsCase)
{
    TemporaryFolder temp;
    const auto signal = makeTestSignal (2, 100);

    // The framework picks readers by extension and knows neither ".wave" nor ".aifc".
    const std::pair<const char*, const char*> files[] = { { "a.wave", "wav" }, { "b.aifc", "aiff" }, { "c.WAV", "wav" }, { "d.Flac", "flac" } };

    for (const auto& [name, format] : files)
    {
        const auto file = temp.file (name);
        ASSERT_TRUE (writeAudioFile (file, format, signal, 48000.0, 16)) << name;

        AudioFileInfo info;
        juce::String error;
        EXPECT_TRUE (probeAudioFile (file, info, error)) << name << ": " << error;
        EXPECT_TRUE (hasAudioFileExtension (file)) << name;

        juce::AudioBuffer<double> buffer;
        EXPECT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << name << ": " << error;
        EXPECT_EQ (buffer.getNumSamples(), 100) << name;
    }

    EXPECT_EQ (getAudioFileWildcard(), "*.wav;*.wave;*.aif;*.aiff;*.aifc;*.flac");
    EXPECT_TRUE (hasAudioFileExtension (juce::File ("/x/take.AIFF")));
    EXPECT_FALSE (hasAudioFileExtension (juce::File ("/x/take.mp3")));
    EXPECT_FALSE (hasAudioFileExtension (juce::File ("/x/wav")));
}

TEST (AudioFileReader, UnreadableFilesAreRefusedWithTheirReason)
{
    TemporaryFolder temp;
    const juce::String notAudio = "Not a readable audio file, or the format is not supported.";

    ASSERT_TRUE (temp.file ("empty.wav").create().wasOk());

    for (auto* name : { "text.wav", "text.wave", "text.aifc" })
        temp.file (name).replaceWithText ("These are not the samples you are looking for.");

    const short twelveBit[] = { 0, 16, 32, 48 };
    writeBytes (temp.file ("twelve.wav"), makeWavBytes (1, 1, 48000, 12, twelveBit, sizeof (twelveBit)));

    const double doubles[] = { 0.0, 0.5, -0.5, 0.25 };
    writeBytes (temp.file ("double.wav"), makeWavBytes (3, 1, 48000, 64, doubles, sizeof (doubles)));

    const short floatTagged[] = { 0x4000, 0x7f00, 0x1234, 0 };
    writeBytes (temp.file ("float16.wav"), makeWavBytes (3, 1, 48000, 16, floatTagged, sizeof (floatTagged)));

    const std::pair<const char*, juce::String> cases[] = {
        { "missing.wav", "The file does not exist." },
        { "empty.wav", "The file is empty." },
        { "text.wav", notAudio },
        { "text.wave", notAudio },
        { "text.aifc", notAudio },
        // A 12-bit WAV used to read as garbage, reported as success.
        { "twelve.wav", "Unsupported sample format: 12 bit." },
        // A float tag on 16-bit data read its integers as floats (2.0, 1.7e38, ...), reported as success.
        { "float16.wav", "Unsupported sample format: 16 bit float." },
        { "double.wav", notAudio },
    };

    for (const auto& [name, expected] : cases)
    {
        AudioFileInfo info;
        info.formatName = "untouched";
        juce::String error = "stale";
        EXPECT_FALSE (probeAudioFile (temp.file (name), info, error)) << name;
        EXPECT_EQ (error, expected) << name;
        EXPECT_EQ (info.formatName, "untouched") << name;

        juce::AudioBuffer<double> buffer (1, 3);
        EXPECT_FALSE (readAudioFile (temp.file (name), 48000.0, buffer, error)) << name;
        EXPECT_EQ (error, expected) << name;
        EXPECT_EQ (buffer.getNumSamples(), 3) << name;
    }
}

TEST (AudioFileReader, AHeaderThatLiesAboutTheLengthIsReportedAsTruncated)
{
    TemporaryFolder temp;

    // A 244-byte WAV whose header claims 186 minutes of 16-bit stereo at 44.1 kHz used to pass the
    // limits, make the reader allocate gigabytes and read silence past the data, reporting success.
    std::vector<short> data (100, 1000);
    const juce::int64 claimed = 186LL * 60 * 44100 * 4;
    const auto lying = temp.file ("lying.wav");
    ASSERT_TRUE (writeBytes (lying, makeWavBytes (1, 2, 44100, 16, data.data(), 200, claimed)));
    ASSERT_EQ (lying.getSize(), 244);

    // A file cut short by an interrupted copy: the header is honest about what should be there.
    const auto cut = temp.file ("cut.aif");
    ASSERT_TRUE (writeAudioFile (cut, "aiff", makeTestSignal (2, 1000), 48000.0, 24));
    {
        juce::FileOutputStream out (cut);
        ASSERT_TRUE (out.setPosition (cut.getSize() - 6 * 250 - 1) && out.truncate().wasOk());
    }

    // An AIFF cut right before its sound data chunk: the framework's reader left the data
    // position uninitialised and read from wherever that pointed.
    const auto headerOnly = temp.file ("header-only.aif");
    ASSERT_TRUE (writeAudioFile (headerOnly, "aiff", makeTestSignal (2, 1000), 48000.0, 24));
    {
        juce::FileOutputStream out (headerOnly);
        ASSERT_TRUE (out.setPosition (38) && out.truncate().wasOk()); // FORM header and COMM chunk
    }

    // An AIFF whose sound data offset is negative: its header bytes were read as audio.
    const auto backwards = temp.file ("backwards.aif");
    ASSERT_TRUE (writeAudioFile (backwards, "aiff", makeTestSignal (2, 1000), 48000.0, 24));
    {
        juce::FileOutputStream out (backwards);
        ASSERT_TRUE (out.setPosition (46) && out.writeIntBigEndian (-16)); // the SSND offset field
    }

    const std::pair<juce::File, juce::String> cases[] = {
        { lying, "The file is truncated: its header announces 492156000 frames, but only 50 are present." },
        { cut, "The file is truncated: its header announces 1000 frames, but only 749 are present." },
        { headerOnly, "The file is truncated: its header announces 1000 frames, but only 0 are present." },
        { backwards, "The file is damaged: its sound data chunk points outside itself." },
    };

    for (const auto& [file, expected] : cases)
    {
        AudioFileInfo info;
        juce::String error;
        EXPECT_FALSE (probeAudioFile (file, info, error));
        EXPECT_EQ (error, expected);

        juce::AudioBuffer<double> buffer;
        EXPECT_FALSE (readAudioFile (file, 0.0, buffer, error));
        EXPECT_EQ (error, expected);
        EXPECT_FALSE (readAudioFileRange (file, 0.0, 0.0, 0.001, buffer, error));
        EXPECT_EQ (error, expected);
        EXPECT_EQ (buffer.getNumChannels(), 0);
    }
}

TEST (AudioFileReader, LimitChecksAndTheirMessages)
{
    const std::tuple<unsigned int, double, juce::int64, juce::String> cases[] = {
        { 0, 48000.0, 10, "The file reports zero channels." },
        { 65, 48000.0, 10, "The file has 65 channels, the limit is 64." },
        { 2, 4000.0, 10, "Unsupported sample rate: 4000 Hz." },
        { 2, 1000000.0, 10, "Unsupported sample rate: 1e+06 Hz." },
        { 2, 7999.5, 10, "Unsupported sample rate: 7999.5 Hz." },
        { 2, 48000.0, -1, "The file reports a negative length." },
        { 2, 48000.0, 0, "The file contains no audio." },
        { 2, 48000.0, 14400LL * 48000 + 1, "The file is 240.0 minutes long, the limit is 240 minutes." },
        { 2, 48000.0, 15000LL * 48000, "The file is 250.0 minutes long, the limit is 240 minutes." },
        { 64, 8000.0, 14400LL * 8000, "" },
        { 1, 768000.0, 1, "" },
    };

    for (const auto& [channels, rate, length, expected] : cases)
    {
        FakeReader reader (channels, rate, length);
        juce::String error;
        EXPECT_EQ (checkReaderLimits (reader, error), expected.isEmpty()) << expected;
        EXPECT_EQ (error, expected);
    }
}

TEST (AudioFileReader, FilesExactlyAtTheLimitsPassAndOnePastIsRefused)
{
    TemporaryFolder temp;
    const char zeros[64 * 2 * 4] = {};

    const std::tuple<juce::MemoryBlock, juce::String> headers[] = {
        { makeWavBytes (1, 64, 48000, 16, zeros, 64 * 2 * 4), "" },
        { makeWavBytes (1, 65, 48000, 16, zeros, 65 * 2 * 3), "The file has 65 channels, the limit is 64." },
        // Its data cut short, too: the check of the data read a frame wider than the framework's
        // WAV reader can read at once (5760 bytes), and that read never returned.
        { makeWavBytes (1, 2000, 48000, 24, zeros, 8, 2000 * 3 * 10), "The file has 2000 channels, the limit is 64." },
        { makeWavBytes (1, 1, 8000, 16, zeros, 8), "" },
        { makeWavBytes (1, 1, 7999, 16, zeros, 8), "Unsupported sample rate: 7999 Hz." },
        { makeWavBytes (1, 1, 768000, 16, zeros, 8), "" },
        { makeWavBytes (1, 1, 768001, 16, zeros, 8), "Unsupported sample rate: 768001 Hz." },
    };

    int index = 0;

    for (const auto& [bytes, expected] : headers)
    {
        const auto file = temp.file ("limit" + juce::String (index++) + ".wav");
        ASSERT_TRUE (writeBytes (file, bytes));
        AudioFileInfo info;
        juce::String error;
        EXPECT_EQ (probeAudioFile (file, info, error), expected.isEmpty()) << expected << error;
        EXPECT_EQ (error, expected);
    }

    // Length: exactly 240 minutes at 8 kHz, then one frame more (sparse files, nothing is read).
    const auto atLimit = temp.file ("240min.wav");
    const auto pastLimit = temp.file ("240min+1.wav");
    ASSERT_TRUE (writeLongWav (atLimit, 8000, 14400LL * 8000));
    ASSERT_TRUE (writeLongWav (pastLimit, 8000, 14400LL * 8000 + 1));

    AudioFileInfo info;
    juce::String error;
    EXPECT_TRUE (probeAudioFile (atLimit, info, error)) << error;
    EXPECT_EQ (info.lengthInSamples, 14400LL * 8000);
    EXPECT_EQ (info.describeLength(), "4:00:00.000");
    EXPECT_FALSE (probeAudioFile (pastLimit, info, error));
    EXPECT_EQ (error, "The file is 240.0 minutes long, the limit is 240 minutes.");

    // Size: exactly 8 GiB passes, one byte more does not.
    const auto small = makeWavBytes (1, 1, 48000, 16, zeros, 8);
    const auto eightGiB = temp.file ("8GiB.wav");
    const auto overEightGiB = temp.file ("8GiB+1.wav");
    ASSERT_TRUE (writeSparseFile (eightGiB, small, maxAudioFileBytes));
    ASSERT_TRUE (writeSparseFile (overEightGiB, small, maxAudioFileBytes + 1));
    EXPECT_TRUE (probeAudioFile (eightGiB, info, error)) << error;
    EXPECT_FALSE (probeAudioFile (overEightGiB, info, error));
    EXPECT_EQ (error, "The file is larger than the 8 GB limit.");
}

TEST (AudioFileReader, FrameCapIsCheckedBeforeAndAfterResamplingBeforeAnythingIsRead)
{
    TemporaryFolder temp;
    const auto file = temp.file ("thousand.wav");
    ASSERT_TRUE (writeAudioFile (file, "wav", makeTestSignal (1, 1000), 48000.0, 16));

    juce::AudioBuffer<double> buffer (1, 7);
    juce::String error;
    EXPECT_FALSE (readAudioFile (file, 0.0, buffer, error, 999));
    EXPECT_EQ (error, "The file is too long to render (1000 frames).");
    EXPECT_TRUE (readAudioFile (file, 0.0, buffer, error, 1000)) << error;

    buffer.setSize (1, 7);
    EXPECT_FALSE (readAudioFile (file, 96000.0, buffer, error, 1999));
    EXPECT_EQ (error, "The file is too long once converted to the project sample rate.");
    EXPECT_EQ (buffer.getNumSamples(), 7);
    EXPECT_TRUE (readAudioFile (file, 96000.0, buffer, error, 2000)) << error;
    EXPECT_EQ (buffer.getNumSamples(), 2000);

    // 240 minutes at 44.1 kHz converted to 192 kHz is 2.76 billion frames: the cap used to be
    // checked only after converting, too late, and the frame count overflowed an int. The file is
    // sparse; a refusal before reading is the only way this test finishes quickly.
    const auto longFile = temp.file ("long.wav");
    ASSERT_TRUE (writeLongWav (longFile, 44100, 14400LL * 44100));

    for (juce::int64 cap : { maxReadFrames, (juce::int64) 4000000000LL })
    {
        EXPECT_FALSE (readAudioFile (longFile, 192000.0, buffer, error, cap));
        EXPECT_EQ (error, "The file is too long once converted to the project sample rate.");
    }
}

TEST (AudioFileReader, NonFiniteSamplesInAFloatFileAreRefused)
{
    TemporaryFolder temp;

    // One +Inf sample used to make the render's gain 0 and write a silent cue reported as completed.
    const std::tuple<const char*, float> cases[] = {
        { "inf.wav", std::numeric_limits<float>::infinity() },
        { "minus-inf.wav", -std::numeric_limits<float>::infinity() },
        { "nan.wav", std::numeric_limits<float>::quiet_NaN() },
    };

    for (const auto& [name, value] : cases)
    {
        const auto file = temp.file (name);
        ASSERT_TRUE (writeBytes (file, floatWavWithSample (40000, 33000, value)));
        const auto expected = "The file \"" + juce::String (name) + "\" contains samples that are not finite numbers"
                                                                    " (NaN or infinity), the first at frame 33000 of channel 2.";

        juce::AudioBuffer<double> buffer;
        juce::String error;
        EXPECT_FALSE (readAudioFile (file, 0.0, buffer, error)) << name;
        EXPECT_EQ (error, expected);
        EXPECT_FALSE (readAudioFile (file, 44100.0, buffer, error)) << name;
        EXPECT_EQ (error, expected);
        EXPECT_FALSE (readAudioFileRange (file, 0.0, 0.5, 0.5, buffer, error)) << name;
        EXPECT_EQ (error, expected);
        EXPECT_EQ (buffer.getNumChannels(), 0);

        // A window that leaves the bad sample out is fine.
        EXPECT_TRUE (readAudioFileRange (file, 0.0, 0.0, 0.5, buffer, error)) << error;
    }
}

TEST (AudioFileReader, RangeReads)
{
    TemporaryFolder temp;
    const auto file = temp.file ("range.wav");
    ASSERT_TRUE (writeAudioFile (file, "wav", makeTestSignal (2, 48000), 48000.0, 32));

    juce::AudioBuffer<double> whole, part;
    juce::String error;
    ASSERT_TRUE (readAudioFileAtOwnRate (file, whole, error)) << error;

    struct Case
    {
        double start, duration;
        int firstFrame, frames;
    };

    const Case cases[] = {
        { 0.25, 0.5, 12000, 24000 },
        { -3.0, 0.1, 0, 4800 },       // a negative start counts as 0
        { 0.75, 0.0, 36000, 12000 },  // no duration: to the end
        { 0.75, 10.0, 36000, 12000 }, // cut at the end
    };

    for (const auto& c : cases)
    {
        ASSERT_TRUE (readAudioFileRange (file, 0.0, c.start, c.duration, part, error)) << error;
        ASSERT_EQ (part.getNumChannels(), 2);
        ASSERT_EQ (part.getNumSamples(), c.frames) << c.start;

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < c.frames; i += 97)
                ASSERT_EQ (part.getSample (ch, i), whole.getSample (ch, c.firstFrame + i)) << c.start << " " << i;
    }

    part.setSize (1, 5);
    EXPECT_FALSE (readAudioFileRange (file, 0.0, 1.0, 0.0, part, error));
    EXPECT_EQ (error, "The requested range starts past the end of the file.");
    EXPECT_FALSE (readAudioFileRange (file, 0.0, 20.0, 1.0, part, error));
    EXPECT_EQ (error, "The requested range starts past the end of the file.");
    EXPECT_EQ (part.getNumSamples(), 5);

    // At another rate: 24000 frames of 48 kHz become 22050 at 44.1 kHz.
    ASSERT_TRUE (readAudioFileRange (file, 44100.0, 0.25, 0.5, part, error)) << error;
    EXPECT_EQ (part.getNumSamples(), 22050);
}

TEST (AudioFileReader, ReadsAtAnotherRate)
{
    TemporaryFolder temp;
    const auto file = temp.file ("96k.wav");
    ASSERT_TRUE (writeAudioFile (file, "wav", makeSine (2, 9601, 96000.0, 1000.0), 96000.0, 24));

    juce::AudioBuffer<double> own, half, nearly;
    juce::String error;
    ASSERT_TRUE (readAudioFileAtOwnRate (file, own, error)) << error;
    ASSERT_TRUE (readAudioFile (file, 48000.0, half, error)) << error;
    EXPECT_EQ (half.getNumSamples(), 4801); // half, rounded up
    EXPECT_EQ (half.getNumChannels(), 2);

    // Output sample k lies on input sample 2k; inside the signal a 1 kHz sine passes unchanged.
    for (int k = 100; k < 4700; k += 37)
        ASSERT_NEAR (half.getSample (1, k), own.getSample (1, 2 * k), 1e-5) << k;

    // 0.4 Hz off is no reason to resample.
    ASSERT_TRUE (readAudioFile (file, 96000.4, nearly, error)) << error;
    ASSERT_EQ (nearly.getNumSamples(), own.getNumSamples());

    for (int i = 0; i < own.getNumSamples(); ++i)
        ASSERT_EQ (nearly.getSample (0, i), own.getSample (0, i));
}

// A converted read goes through the file a few seconds at a time, its steps possibly shared out
// over threads: whatever the format, direction or sharing, every sample must be what converting
// the whole file at once gives.
TEST (AudioFileReader, ConvertedReadsEqualAWholeFileConversion)
{
    struct Case
    {
        const char* format;
        const char* extension;
        double fileRate;
    };

    const Case cases[] = { { "wav", ".wav", 44100.0 }, { "flac", ".flac", 44100.0 }, { "aiff", ".aif", 96000.0 } };

    const auto threads = tasksOnThreadsOfTheirOwn();

    TemporaryFolder temp;

    for (const auto& c : cases)
    {
        const auto label = juce::String (c.format) + " at " + juce::String (c.fileRate);
        const auto file = temp.file (juce::String ("converted") + c.extension);
        const int frames = (int) (c.fileRate * 13.7);   // several steps of the conversion
        ASSERT_TRUE (writeAudioFile (file, c.format, makeSine (2, frames, c.fileRate, 3001.0), c.fileRate, 24)) << label;

        juce::AudioBuffer<double> own, expected;
        juce::String error;
        ASSERT_TRUE (readAudioFileAtOwnRate (file, own, error)) << label << ": " << error;
        ASSERT_TRUE (resampleBuffer (own, c.fileRate, 48000.0, expected, error)) << label << ": " << error;

        for (const bool shared : { false, true })
        {
            juce::AudioBuffer<double> converted (2, 100);
            ASSERT_TRUE (readAudioFileInto (file, 48000.0, converted, error, maxReadFrames, {}, shared ? threads : ParallelTasks()))
                << label << ": " << error;
            ASSERT_EQ (converted.getNumSamples(), expected.getNumSamples()) << label;

            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ (std::memcmp (converted.getReadPointer (ch), expected.getReadPointer (ch), sizeof (double) * (size_t) expected.getNumSamples()), 0)
                    << label << (shared ? ", shared out" : "") << ", channel " << ch;
        }
    }
}

// A long read shared out goes through the file in pieces side by side: the samples must be those
// of one read, and a damaged file must fail with the message one read gives (the earliest fault).
TEST (AudioFileReader, ReadsSharedOutInPiecesEqualOneRead)
{
    const auto threads = tasksOnThreadsOfTheirOwn();

    constexpr int frames = 2200000;   // four pieces
    TemporaryFolder temp;

    for (const char* format : { "wav", "aiff", "flac" })
    {
        const auto file = temp.file (juce::String ("long.") + format);
        ASSERT_TRUE (writeAudioFile (file, format, makeTestSignal (2, frames), 48000.0, 24)) << format;

        juce::AudioBuffer<double> alone, shared;
        juce::String error;
        ASSERT_TRUE (readAudioFileInto (file, 0.0, alone, error)) << format << ": " << error;
        ASSERT_TRUE (readAudioFileInto (file, 0.0, shared, error, maxReadFrames, {}, threads)) << format << ": " << error;
        ASSERT_EQ (shared.getNumSamples(), frames) << format;

        for (int ch = 0; ch < 2; ++ch)
            ASSERT_EQ (std::memcmp (shared.getReadPointer (ch), alone.getReadPointer (ch), sizeof (double) * (size_t) frames), 0) << format;
    }

    // Damage in two places: the pieces reading past the first must not speak before it.
    {
        const auto file = temp.file ("damaged.flac");
        ASSERT_TRUE (writeAudioFile (file, "flac", makeTestSignal (2, frames), 48000.0, 24));
        juce::MemoryBlock bytes;
        ASSERT_TRUE (file.loadFileAsData (bytes));

        for (auto at : { bytes.getSize() * 4 / 10, bytes.getSize() * 9 / 10 })
            for (size_t i = 0; i < 64; ++i)
                bytes[at + i] = (char) ~bytes[at + i];

        ASSERT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize()));

        juce::AudioBuffer<double> buffer;
        juce::String aloneError, sharedError;
        EXPECT_FALSE (readAudioFileInto (file, 0.0, buffer, aloneError));
        EXPECT_FALSE (readAudioFileInto (file, 0.0, buffer, sharedError, maxReadFrames, {}, threads));
        EXPECT_TRUE (aloneError.isNotEmpty());
        EXPECT_EQ (sharedError, aloneError);
    }

    // A float file whose first bad sample lies in a later piece, a second one later still.
    {
        std::vector<float> samples ((size_t) frames * 2, 0.25f);
        samples[(size_t) 700001 * 2] = std::numeric_limits<float>::quiet_NaN();
        samples[(size_t) 1700000 * 2 + 1] = std::numeric_limits<float>::infinity();
        const auto file = temp.file ("nan.wav");
        const auto bytes = makeWavBytes (3, 2, 48000, 32, samples.data(), samples.size() * sizeof (float));
        ASSERT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize()));

        juce::AudioBuffer<double> buffer;
        juce::String aloneError, sharedError;
        EXPECT_FALSE (readAudioFileInto (file, 0.0, buffer, aloneError));
        EXPECT_FALSE (readAudioFileInto (file, 0.0, buffer, sharedError, maxReadFrames, {}, threads));
        EXPECT_TRUE (aloneError.contains ("700001")) << aloneError;
        EXPECT_EQ (sharedError, aloneError);
    }
}

TEST (AudioFileReader, ReadsRunAtOnceFromSeveralThreads)
{
    TemporaryFolder temp;
    const auto file = temp.file ("shared.flac");
    ASSERT_TRUE (writeAudioFile (file, "flac", makeSine (2, 30000, 44100.0, 440.0), 44100.0, 24));

    juce::AudioBuffer<double> expected;
    juce::String error;
    ASSERT_TRUE (readAudioFile (file, 48000.0, expected, error)) << error;

    std::vector<int> mismatches (8, -1);
    std::vector<std::thread> threads;

    for (size_t t = 0; t < mismatches.size(); ++t)
    {
        threads.emplace_back ([&, t]
                              {
            juce::AudioBuffer<double> buffer;
            juce::String threadError;

            if (! readAudioFile (file, 48000.0, buffer, threadError) || buffer.getNumSamples() != expected.getNumSamples())
                return;

            int count = 0;

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    count += buffer.getSample (ch, i) != expected.getSample (ch, i) ? 1 : 0;

            mismatches[t] = count; });
    }

    for (auto& thread : threads)
        thread.join();

    for (size_t t = 0; t < mismatches.size(); ++t)
        EXPECT_EQ (mismatches[t], 0) << "thread " << t;
}

TEST (AudioFileReader, DescribeLength)
{
    const std::tuple<double, juce::int64, juce::String> cases[] = {
        { 0.0, 48000, "0:00.000" },
        { 48000.0, 0, "0:00.000" },
        { 48000.0, 12, "0:00.000" },
        { 48000.0, 48, "0:00.001" },
        { 1000.0, 65250, "1:05.250" },
        { 1000.0, 3723004, "1:02:03.004" },
        { 1000.0, 36000000, "10:00:00.000" },
    };

    for (const auto& [rate, length, expected] : cases)
    {
        AudioFileInfo info;
        info.sampleRate = rate;
        info.lengthInSamples = length;
        EXPECT_EQ (info.describeLength(), expected);
    }

    AudioFileInfo info { "WAV", 44100.0, 24, false, 6, 100 };
    EXPECT_EQ (info.describeChannels(), "5.1");
    EXPECT_EQ (info.describeBitDepth(), "24 bit");
    EXPECT_EQ (info.describeSampleRate(), "44.1 kHz");
}

TEST (AudioFileReader, RenderBufferAllocation)
{
    const std::tuple<int, juce::int64, juce::String> refused[] = {
        { 0, 10, "Unsupported channel count: 0." },
        { 65, 10, "Unsupported channel count: 65." },
        { 2, -1, "Negative render length." },
        { 2, 1000000001, "The render is too long: 1000000001 frames." },
    };

    for (const auto& [channels, frames, expected] : refused)
    {
        juce::AudioBuffer<double> buffer (1, 3);
        juce::String error;
        EXPECT_FALSE (allocateRenderBuffer (buffer, channels, frames, error));
        EXPECT_EQ (error, expected);
        EXPECT_EQ (buffer.getNumSamples(), 3);
    }

    juce::AudioBuffer<double> buffer (3, 100);
    buffer.clear();
    buffer.setSample (2, 50, 7.0);
    juce::String error;
    ASSERT_TRUE (allocateRenderBuffer (buffer, 3, 100, error)) << error;

    for (int ch = 0; ch < 3; ++ch)
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ (buffer.getReadPointer (ch)[i], 0.0);

    ASSERT_TRUE (allocateRenderBuffer (buffer, 3, 200, error)) << error;

    for (int ch = 0; ch < 3; ++ch)
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ (buffer.getReadPointer (ch)[i], 0.0);

    ASSERT_TRUE (allocateRenderBuffer (buffer, 2, 0, error)) << error;
    EXPECT_EQ (buffer.getNumChannels(), 2);
    EXPECT_EQ (buffer.getNumSamples(), 0);
}

TEST (AudioFileReader, AllocationFailureIsAMessage)
{
    // The allocator's refusal must come back as a message, not as an exception escaping to the
    // caller, and leave the buffer as it was.
    const ScopedRenderBufferLimit limit (1 << 30);
    juce::AudioBuffer<double> buffer (1, 3);
    juce::String error;

    EXPECT_FALSE (allocateRenderBuffer (buffer, 64, maxReadFrames, error));
    EXPECT_EQ (error, "Not enough memory for a render buffer of 1000000000 frames and 64 channels.");
    EXPECT_EQ (buffer.getNumSamples(), 3);
}

TEST (AudioFileReader, AddingAndScalingBuffers)
{
    juce::AudioBuffer<double> mono (1, 4), stereo (2, 3);

    for (int i = 0; i < 4; ++i)
        mono.setSample (0, i, i + 1.0);

    stereo.clear();
    addBufferWithGain (stereo, mono, 2.0);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ (stereo.getSample (ch, i), 2.0 * (i + 1)) << "mono lands on both channels";

    juce::AudioBuffer<double> monoBus (1, 3);
    monoBus.clear();
    stereo.setSample (1, 0, 100.0);
    addBufferTo (monoBus, stereo);
    EXPECT_EQ (monoBus.getSample (0, 0), 2.0) << "only the left channel of a stereo source";

    addBufferWithGain (monoBus, stereo, 0.0);
    EXPECT_EQ (monoBus.getSample (0, 0), 2.0);

    juce::AudioBuffer<double> wide (3, 2);
    wide.clear();
    addBufferTo (wide, stereo);
    EXPECT_EQ (wide.getSample (2, 0), 0.0) << "a channel the source lacks gets nothing";
    EXPECT_EQ (wide.getSample (1, 0), 100.0);

    juce::AudioBuffer<double> cleared (1, 3);
    cleared.clear();
    addBufferTo (monoBus, cleared);
    EXPECT_EQ (monoBus.getSample (0, 1), 4.0);

    monoBus.setSample (0, 2, std::numeric_limits<double>::quiet_NaN());
    scaleBuffer (monoBus, 1.0);
    EXPECT_TRUE (std::isnan (monoBus.getSample (0, 2)));
    scaleBuffer (monoBus, -0.5);
    EXPECT_EQ (monoBus.getSample (0, 1), -2.0);
}

// Files several times the read-ahead, so that reads run across its refills: every sample must
// come back in place, whole and in a window, and a read into memory of an earlier read (stale
// samples, or another channel count) gives exactly what a fresh read gives.
TEST (AudioFileReader, FilesLongerThanTheReadAheadReadBackExactlyAlsoIntoReusedMemory)
{
    struct Case
    {
        const char* format;
        const char* extension;
        int channels;
    };

    const Case cases[] = { { "wav", ".wav", 2 }, { "aiff", ".aif", 2 }, { "flac", ".flac", 2 }, { "wav", ".wav", 1 } };
    constexpr int frames = 3 * sampleReadAheadBytes / 6 + 1234;   // over three read-aheads of 24-bit stereo
    TemporaryFolder temp;

    for (const auto& c : cases)
    {
        const auto label = juce::String (c.format) + ", " + juce::String (c.channels) + " ch";
        const auto file = temp.file ("long" + juce::String (c.channels) + c.extension);
        ASSERT_TRUE (writeAudioFile (file, c.format, makeTestSignal (c.channels, frames), 48000.0, 24)) << label;

        juce::AudioBuffer<double> fresh;
        juce::String error;
        ASSERT_TRUE (readAudioFileAtOwnRate (file, fresh, error)) << label << ": " << error;
        ASSERT_EQ (fresh.getNumSamples(), frames) << label;

        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < frames; ++i)
                ASSERT_NEAR (fresh.getSample (ch, i), testSample (ch, i), 1.5 / (1 << 23)) << label << ", channel " << ch << ", frame " << i;

        // A window that starts beyond the first read-ahead.
        juce::AudioBuffer<double> window;
        const int start = sampleReadAheadBytes / 4 + 17;
        ASSERT_TRUE (readAudioFileRange (file, 0.0, start / 48000.0, 5000 / 48000.0, window, error)) << label << ": " << error;
        ASSERT_GE (window.getNumSamples(), 4999) << label;

        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < window.getNumSamples(); ++i)
                ASSERT_EQ (window.getSample (ch, i), fresh.getSample (ch, start + i)) << label << ", window frame " << i;

        for (int staleChannels : { c.channels, 3 })
        {
            juce::AudioBuffer<double> reused (staleChannels, frames + 100);

            for (int ch = 0; ch < staleChannels; ++ch)
                juce::FloatVectorOperations::fill (reused.getWritePointer (ch), 0.75, reused.getNumSamples());

            ASSERT_TRUE (readAudioFileInto (file, 0.0, reused, error)) << label << ": " << error;
            ASSERT_EQ (reused.getNumChannels(), c.channels) << label;
            ASSERT_EQ (reused.getNumSamples(), frames) << label;

            for (int ch = 0; ch < c.channels; ++ch)
                ASSERT_EQ (std::memcmp (reused.getReadPointer (ch), fresh.getReadPointer (ch), sizeof (double) * (size_t) frames), 0)
                    << label << ", reused memory of " << staleChannels << " channels, channel " << ch;
        }
    }
}

// A track that a sync client or a DAW cut short while the render read it came back as good
// audio with silence where its end had been; a stems-only delivery said "ok" with a silent stem.
TEST (AudioFileReader, AFileThatShrinksWhileItIsReadFailsNamingBothCounts)
{
    TemporaryFolder temp;
    const int frames = 48000 * 20;     // far more than one read-ahead
    juce::AudioBuffer<float> tone (2, frames);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < frames; ++i)
            tone.setSample (ch, i, 0.5f * std::sin (0.01f * (float) i));

    struct Case
    {
        const char* format;
        double targetRate;      // 0: at the file's own rate
    };

    for (const auto& c : { Case { "wav", 0.0 }, Case { "aiff", 0.0 }, Case { "wav", 44100.0 } })
    {
        SCOPED_TRACE (juce::String (c.format) + " at " + juce::String (c.targetRate));
        const auto file = temp.file (juce::String ("Brass.") + c.format);
        ASSERT_TRUE (writeAudioFile (file, c.format, tone, 48000.0, 16));

        // Cut to four tenths as the read starts: after the checks of the open, before the samples.
        const auto cutTo = file.getSize() * 4 / 10;
        bool cut = false;
        const CancelCheck cutWhileReading = [&]
        {
            if (! cut)
                cut = ::truncate (file.getFullPathName().toRawUTF8(), (off_t) cutTo) == 0;

            return false;
        };

        juce::AudioBuffer<double> buffer;
        juce::String error;
        EXPECT_FALSE (readAudioFile (file, c.targetRate, buffer, error, maxReadFrames, cutWhileReading));
        ASSERT_TRUE (cut);
        EXPECT_TRUE (error.startsWith ("The file \"" + file.getFileName() + "\" became shorter while it was read: ")) << error;
        EXPECT_TRUE (error.contains (" frames were there of the ")) << error;
        EXPECT_EQ (buffer.getNumChannels(), 0);
    }
}
