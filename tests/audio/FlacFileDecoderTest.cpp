#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include <FLAC/stream_decoder.h>

#include "AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/FlacFileDecoder.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
constexpr double rate = 44100.0;
constexpr int numFrames = 40000; // ten frames of 4096 at the writer's block size, the last one short

juce::AudioBuffer<float> makeMusic (int numChannels)
{
    juce::AudioBuffer<float> buffer (numChannels, numFrames);
    juce::Random random (7);

    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numFrames; ++i)
            buffer.setSample (ch, i, (float) (0.6 * std::sin (i * 0.021 * (ch + 1)) + 0.1 * (random.nextFloat() - 0.5f)));

    return buffer;
}

// Where each audio frame starts, and at the end where the last one ends, as the decoder sees it.
std::vector<juce::int64> frameOffsets (const juce::File& file)
{
    std::vector<juce::int64> offsets;
    auto* decoder = FLAC__stream_decoder_new();
    const auto write = [] (const FLAC__StreamDecoder*, const FLAC__Frame*, const FLAC__int32* const[], void*)
    { return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE; };
    const auto error = [] (const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {};

    if (FLAC__stream_decoder_init_file (decoder, file.getFullPathName().toRawUTF8(), write, nullptr, error, nullptr)
            == FLAC__STREAM_DECODER_INIT_STATUS_OK
        && FLAC__stream_decoder_process_until_end_of_metadata (decoder))
    {
        FLAC__uint64 position = 0;

        while (FLAC__stream_decoder_get_decode_position (decoder, &position)
               && (offsets.empty() || (juce::int64) position > offsets.back()))
        {
            offsets.push_back ((juce::int64) position);

            if (! FLAC__stream_decoder_process_single (decoder))
                break;
        }
    }

    FLAC__stream_decoder_delete (decoder);
    return offsets;
}

// The samples as the framework's own reader returns them, widened to 64 bits.
juce::AudioBuffer<double> readThroughFramework (const juce::File& file)
{
    auto reader = openAudioFileReader (file);
    juce::AudioBuffer<float> narrow ((int) reader->numChannels, (int) reader->lengthInSamples);
    EXPECT_TRUE (reader->read (&narrow, 0, narrow.getNumSamples(), 0, true, true));
    juce::AudioBuffer<double> wide (narrow.getNumChannels(), narrow.getNumSamples());

    for (int ch = 0; ch < wide.getNumChannels(); ++ch)
        for (int i = 0; i < wide.getNumSamples(); ++i)
            wide.setSample (ch, i, (double) narrow.getSample (ch, i));

    return wide;
}

void expectSameSamples (const juce::AudioBuffer<double>& actual, const juce::AudioBuffer<double>& expected, int firstFrame, const juce::String& label)
{
    ASSERT_EQ (actual.getNumChannels(), expected.getNumChannels()) << label;

    for (int ch = 0; ch < actual.getNumChannels(); ++ch)
        for (int i = 0; i < actual.getNumSamples(); ++i)
            ASSERT_EQ (actual.getSample (ch, i), expected.getSample (ch, firstFrame + i)) << label << ", channel " << ch << ", frame " << i;
}
} // namespace

TEST (FlacFileDecoder, GoodFilesReadExactlyAsTheFrameworkReadsThem)
{
    TemporaryFolder temp;

    for (int bits : { 16, 24 })
    {
        for (int channels : { 1, 2, 6 })
        {
            const auto label = juce::String (bits) + " bit, " + juce::String (channels) + " ch";
            const auto file = temp.file ("good" + juce::String (bits) + "-" + juce::String (channels) + ".flac");
            ASSERT_TRUE (writeAudioFile (file, "flac", makeMusic (channels), rate, bits)) << label;
            const auto expected = readThroughFramework (file);

            juce::AudioBuffer<double> buffer;
            juce::String error;
            ASSERT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << label << ": " << error;
            ASSERT_EQ (buffer.getNumSamples(), numFrames) << label;
            expectSameSamples (buffer, expected, 0, label);

            // Windows starting inside a frame, on a frame boundary, and running to the end.
            for (const auto& [start, duration] : { std::pair { 0.0137, 0.2 }, { 8192.0 / rate, 0.05 }, { 0.5, 0.0 } })
            {
                const auto window = label + ", from " + juce::String (start);
                ASSERT_TRUE (readAudioFileRange (file, 0.0, start, duration, buffer, error)) << window << ": " << error;
                const auto first = (int) (start * rate);
                ASSERT_EQ (buffer.getNumSamples(), duration > 0.0 ? (int) (duration * rate) : numFrames - first) << window;
                expectSameSamples (buffer, expected, first, window);
            }
        }
    }
}

// Reads that go on where the last one ended start with the rest of the audio frame it ended in;
// a read elsewhere (back, or ahead past the kept rest) seeks. Every piece must be exact.
TEST (FlacFileDecoder, ReadsInPiecesMatchOneWholeRead)
{
    TemporaryFolder temp;
    const auto file = temp.file ("pieces.flac");
    ASSERT_TRUE (writeAudioFile (file, "flac", makeMusic (2), rate, 24));
    const auto expected = readThroughFramework (file);

    // Pieces ending inside frames, smaller than the rest kept, on a frame boundary, then a jump
    // back, a jump ahead, and on to the end.
    const std::pair<juce::int64, juce::int64> pieces[] = { { 0, 1000 }, { 1000, 100 }, { 1100, 2996 }, { 4096, 5000 },
                                                           { 9096, 3 }, { 500, 7000 }, { 20000, 1 }, { 20001, 19999 } };
    FlacFileDecoder decoder (file, 1 << 16);
    juce::String error;
    ASSERT_TRUE (decoder.open (error)) << error;

    for (const auto& [first, count] : pieces)
    {
        const auto label = "frames " + juce::String (first) + " + " + juce::String (count);
        juce::AudioBuffer<double> piece (2, (int) count);
        ASSERT_TRUE (decoder.read (first, count, numFrames, piece.getArrayOfWritePointers(), error)) << label << ": " << error;
        expectSameSamples (piece, expected, (int) first, label);
    }
}

// The framework's FLAC reader read missing and damaged audio as silence and reported success.
TEST (FlacFileDecoder, TruncatedOrDamagedFilesFailNamingTheFile)
{
    TemporaryFolder temp;
    const auto good = temp.file ("good.flac");
    ASSERT_TRUE (writeAudioFile (good, "flac", makeMusic (2), rate, 24));
    const auto offsets = frameOffsets (good);
    ASSERT_EQ (offsets.size(), 11u);
    ASSERT_EQ (offsets.back(), good.getSize());

    juce::MemoryBlock goodBytes;
    ASSERT_TRUE (good.loadFileAsData (goodBytes));
    const auto middleOfFrame5 = (offsets[5] + offsets[6]) / 2;

    const auto cutTo = [] (juce::int64 size)
    {
        return [size] (juce::MemoryBlock& b)
        { b.setSize ((size_t) size); };
    };

    const auto invert = [] (juce::int64 at)
    {
        return [at] (juce::MemoryBlock& b)
        { b[(size_t) at] = (char) ~b[(size_t) at]; };
    };

    // The announced length is 36 bits, from the low half of byte 21 of the file on.
    const auto announceMore = [] (juce::MemoryBlock& b)
    {
        b[21] = (char) (b[21] ^ 0x01);
    };

    const auto announceNothing = [invert, at = middleOfFrame5] (juce::MemoryBlock& b)
    {
        b[21] = (char) (b[21] & 0xf0);
        b[22] = b[23] = b[24] = b[25] = 0;
        invert (at) (b);
    };

    struct Case
    {
        const char* name;
        std::function<void (juce::MemoryBlock&)> damage;
        bool probePasses;      // the probe checks only the end of the stream
        juce::int64 decodable; // for a cut file, the frames the decoder delivers before the stream ends
        const char* message;   // the read's message, with the file's name in place of %
    };

    const Case cases[] = {
        { "cut-in-the-tags", cutTo (offsets[0] - 10), false, -1, "The file \"%\" is truncated: it ends inside its header." },
        { "header-only", cutTo (offsets[0]), false, 0, "The file \"%\" is truncated or damaged: its header announces 40000 frames, but the last of them cannot be decoded." },
        { "frame-boundary", cutTo (offsets[5]), false, 20480, nullptr },
        { "mid-frame", cutTo (middleOfFrame5), false, 20480, nullptr },
        { "last-byte-missing", cutTo (offsets.back() - 1), false, 36864, nullptr },
        { "flipped-body-byte", invert (middleOfFrame5), true, -1, "The file \"%\" is damaged: a frame's audio does not match its checksum (at frame 20480)." },
        { "flipped-header-byte", invert (offsets[5] + 2), true, -1, "The file \"%\" is damaged: a frame header is corrupt (at frame 20480)." },
        { "flipped-sync-byte", invert (offsets[5]), true, -1, "The file \"%\" is damaged: the decoder lost the frame synchronisation (at frame 20480)." },
        { "length-beyond-32-bits", announceMore, false, -1, "The file \"%\" is truncated or damaged: its header announces 4295007296 frames, but the last of them cannot be decoded." },
        { "length-not-announced", announceNothing, true, -1, "The file \"%\" is damaged: a frame's audio does not match its checksum (at frame 20480)." },
    };

    for (const auto& c : cases)
    {
        const auto file = temp.file (juce::String (c.name) + ".flac");
        juce::MemoryBlock bytes (goodBytes);
        c.damage (bytes);
        ASSERT_TRUE (writeBytes (file, bytes)) << c.name;

        AudioFileInfo info;
        juce::String error;
        EXPECT_EQ (probeAudioFile (file, info, error), c.probePasses) << c.name << ": " << error;

        // Whole, and a window over frames 4 to 6 that holds the damage or the cut.
        juce::AudioBuffer<double> buffer (1, 7);
        EXPECT_FALSE (readAudioFileAtOwnRate (file, buffer, error)) << c.name;
        EXPECT_TRUE (error.contains ("\"" + file.getFileName() + "\"")) << c.name << ": " << error;

        if (c.message != nullptr)
        {
            EXPECT_EQ (error, juce::String (c.message).replace ("%", file.getFileName())) << c.name;
        }

        EXPECT_FALSE (readAudioFileRange (file, 0.0, 4 * 4096 / rate, 3 * 4096 / rate, buffer, error)) << c.name;
        EXPECT_TRUE (error.contains ("\"" + file.getFileName() + "\"")) << c.name << ": " << error;
        EXPECT_EQ (buffer.getNumSamples(), 7) << c.name;

        // The decoder itself finds the early end, should the file be cut after the probe.
        if (c.decodable >= 0)
        {
            FlacFileDecoder decoder (file);
            std::vector<double> left (numFrames), right (numFrames);
            double* const destination[] = { left.data(), right.data() };
            ASSERT_TRUE (decoder.open (error)) << c.name << ": " << error;
            EXPECT_FALSE (decoder.read (0, numFrames, numFrames, destination, error)) << c.name;
            EXPECT_EQ (error, "The file \"" + file.getFileName() + "\" is truncated: its header announces 40000 frames, but the audio ends after " + juce::String (c.decodable) + ".")
                << c.name;
        }

        // Frames before the damage are intact and read exactly.
        if (c.probePasses)
        {
            juce::AudioBuffer<double> expected;
            ASSERT_TRUE (readAudioFileAtOwnRate (good, expected, error)) << error;
            ASSERT_TRUE (readAudioFileRange (file, 0.0, 0.0, 4 * 4096 / rate, buffer, error)) << c.name << ": " << error;
            expectSameSamples (buffer, expected, 0, c.name);
        }
    }
}

// A FLAC file's metadata is bounded as a whole, as a WAV file's is: a decoder reads every byte of
// every block before the audio, and 400 PADDING blocks of 16 MiB took half a minute to get past.
// Blocks that don't fit any more are stepped over unread, with seeks.
TEST (FlacFileDecoder, MetadataPastTheLimitIsSteppedOverUnread)
{
    constexpr juce::int64 largestBlock = (1 << 24) - 1;

    TemporaryFolder temp;
    const auto plain = temp.file ("plain.flac");
    ASSERT_TRUE (writeAudioFile (plain, "flac", makeMusic (2), rate, 24));
    const auto expected = readThroughFramework (plain);

    struct Case
    {
        const char* name;
        int blocks;
        juce::int64 blockBytes;
        int steppedOver;
        int id3Bytes = 0;
    };

    const Case cases[] = {
        { "400 blocks of 16 MiB", 400, largestBlock, 400 },
        { "400 blocks after an ID3 tag", 400, largestBlock, 400, 5000 },
        { "one block within the limit", 1, largestBlock - 1000, 0 },
        { "one block that passes it", 1, largestBlock, 1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto file = temp.file ("padded.flac");
        ASSERT_GT (writePaddedFlac (plain, file, c.blocks, c.blockBytes, c.id3Bytes), 0);

        const auto got = probeAndRead (file);
        ASSERT_TRUE (got.probed && got.read) << got.error;
        const auto read = juce::Time::getMillisecondCounterHiRes();
        EXPECT_LT (got.probeMs, 3000.0);
        EXPECT_LT (got.readMs, 3000.0);
        EXPECT_EQ (got.info.lengthInSamples, numFrames);
        ASSERT_EQ (got.buffer.getNumSamples(), numFrames);
        expectSameSamples (got.buffer, expected, 0, c.name);
        EXPECT_EQ (got.warnings, c.steppedOver == 0 ? juce::StringArray()
                                                : juce::StringArray ("Its metadata comes to more than 16 MB; the " + juce::String (c.steppedOver)
                                                                     + " metadata chunk(s) after that were stepped over unread."));

        // A window starting inside an audio frame: the decoder seeks within the audio.
        juce::String error;
        juce::AudioBuffer<double> buffer;
        ASSERT_TRUE (readAudioFileRange (file, 0.0, 0.3, 0.1, buffer, error)) << error;
        expectSameSamples (buffer, expected, (int) (0.3 * rate), c.name);

        // The decoder on its own walks the headers itself; its end check and a seek.
        FlacFileDecoder decoder (file);
        juce::AudioBuffer<double> piece (2, 1000);
        ASSERT_TRUE (decoder.open (error) && decoder.checkEnd (error)) << error;
        ASSERT_TRUE (decoder.read (20000, 1000, numFrames, piece.getArrayOfWritePointers(), error)) << error;
        expectSameSamples (piece, expected, 20000, c.name);
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - read, 3000.0);
    }
}

// Metadata blocks that don't fit the file, or more of them than any real file holds, fail at
// once with the reason, however much metadata comes before them.
TEST (FlacFileDecoder, MetadataBlocksThatDontFitTheFileFailAtOnce)
{
    constexpr juce::int64 largestBlock = (1 << 24) - 1;

    TemporaryFolder temp;
    const auto plain = temp.file ("plain.flac");
    ASSERT_TRUE (writeAudioFile (plain, "flac", makeMusic (2), rate, 24));

    // Cut inside the 201st of 400 large blocks; and 100,001 empty ones.
    const auto cut = temp.file ("cut.flac");
    const auto cutFirst = writePaddedFlac (plain, cut, 400, largestBlock);
    const auto cutBlock = cutFirst + 200 * (4 + largestBlock);
    ASSERT_GT (cutFirst, 0);
    {
        juce::FileOutputStream out (cut);
        ASSERT_TRUE (out.setPosition (cutBlock + 1000) && out.truncate().wasOk());
    }

    const auto many = temp.file ("many.flac");
    ASSERT_GT (writePaddedFlac (plain, many, 100001, 0), 0);

    const std::pair<juce::File, juce::String> cases[] = {
        { cut, "The file is damaged: its metadata block at byte " + juce::String (cutBlock) + " runs past the end of the file." },
        { many, "The file is damaged: it holds more than 100000 metadata blocks." },
    };

    for (const auto& [file, message] : cases)
    {
        SCOPED_TRACE (file.getFileName());
        const auto started = juce::Time::getMillisecondCounterHiRes();
        AudioFileInfo info;
        juce::String error;
        EXPECT_FALSE (probeAudioFile (file, info, error));
        EXPECT_EQ (error, message);

        juce::AudioBuffer<double> buffer;
        EXPECT_FALSE (readAudioFileAtOwnRate (file, buffer, error));
        EXPECT_EQ (error, message);

        FlacFileDecoder decoder (file);
        EXPECT_FALSE (decoder.open (error));
        EXPECT_EQ (error, message.replace ("The file", "The file \"" + file.getFileName() + "\""));
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 3000.0);
    }
}
