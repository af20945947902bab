#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>
#include <functional>
#include <vector>

#include "AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
constexpr int numFrames = 100;

// A chunk as bytes: its body, and the length its header declares when that lies.
struct Chunk
{
    const char* id;
    juce::MemoryBlock body;
    juce::int64 declared = -1;
};

juce::MemoryBlock bytesOf (const std::function<void (juce::MemoryOutputStream&)>& write)
{
    juce::MemoryOutputStream out;
    write (out);
    return out.getMemoryBlock();
}

juce::MemoryBlock text (const char* s, size_t size)
{
    juce::MemoryBlock block (size, true);
    block.copyFrom (s, 0, std::strlen (s));
    return block;
}

// A RIFF/FORM container around the chunks, each padded to an even length except, when
// dropLastPad, the last one (the pad byte some writers leave out at the end of a file).
juce::MemoryBlock container (const char* outer, const char* form, const std::vector<Chunk>& chunks, bool bigEndian, bool dropLastPad = false)
{
    juce::MemoryOutputStream out;
    out.write (outer, 4);
    out.writeInt (0);
    out.write (form, 4);

    for (size_t i = 0; i < chunks.size(); ++i)
    {
        const auto& chunk = chunks[i];
        const auto length = (int) (juce::uint32) (chunk.declared < 0 ? (juce::int64) chunk.body.getSize() : chunk.declared);
        out.write (chunk.id, 4);
        bigEndian ? out.writeIntBigEndian (length) : out.writeInt (length);
        out.write (chunk.body.getData(), chunk.body.getSize());

        if ((chunk.body.getSize() & 1) != 0 && ! (dropLastPad && i + 1 == chunks.size()))
            out.writeByte (0);
    }

    auto bytes = out.getMemoryBlock();
    const auto size = (juce::uint32) bytes.getSize() - 8;

    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = (char) (bigEndian ? size >> (24 - 8 * i) : size >> (8 * i));

    return bytes;
}

Chunk wavFormat (int bits = 16)
{
    return { "fmt ", bytesOf ([bits] (auto& out)
                              {
                                  out.writeShort (1);
                                  out.writeShort (2);
                                  out.writeInt (48000);
                                  out.writeInt (48000 * bits / 4);
                                  out.writeShort ((short) (bits / 4));
                                  out.writeShort ((short) bits);
                              }) };
}

// Stereo 16-bit frames whose left channel counts up, little- or big-endian.
juce::MemoryBlock frames (bool bigEndian)
{
    return bytesOf ([bigEndian] (auto& out)
                    {
                        for (int i = 0; i < numFrames; ++i)
                            for (short sample : { (short) (i * 100), (short) -1000 })
                                bigEndian ? out.writeShortBigEndian (sample) : out.writeShort (sample);
                    });
}

Chunk wavData (juce::int64 declared = -1)
{
    return { "data", frames (false), declared };
}

juce::MemoryBlock wav (std::vector<Chunk> chunks, bool dropLastPad = false)
{
    return container ("RIFF", "WAVE", chunks, false, dropLastPad);
}

Chunk aiffCommon()
{
    return { "COMM", bytesOf ([] (auto& out)
                              {
                                  out.writeShortBigEndian (2);
                                  out.writeIntBigEndian (numFrames);
                                  out.writeShortBigEndian (16);
                                  const unsigned char rate48k[10] = { 0x40, 0x0e, 0xbb, 0x80, 0, 0, 0, 0, 0, 0 };
                                  out.write (rate48k, sizeof (rate48k));
                              }) };
}

Chunk aiffSound()
{
    return { "SSND", bytesOf ([] (auto& out)
                              {
                                  out.writeIntBigEndian (0); // offset
                                  out.writeIntBigEndian (0); // block size
                                  out.write (frames (true).getData(), numFrames * 4);
                              }) };
}

juce::MemoryBlock aiff (std::vector<Chunk> chunks)
{
    return container ("FORM", "AIFF", chunks, true);
}

// A comment or marker chunk: a 16-bit count, then the entries as they are.
Chunk counted (const char* id, int count, const juce::MemoryBlock& entries)
{
    return { id, bytesOf ([&] (auto& out)
                          {
                              out.writeShortBigEndian ((short) count);
                              out.write (entries.getData(), entries.getSize());
                          }) };
}

juce::MemoryBlock comment (const char* s)
{
    return bytesOf ([s] (auto& out)
                    {
                        const auto length = (int) std::strlen (s);
                        out.writeIntBigEndian (0); // time stamp
                        out.writeShortBigEndian (0); // marker
                        out.writeShortBigEndian ((short) length);
                        out.write (s, (size_t) length + (length & 1));
                    });
}

juce::MemoryBlock marker (short id, int position, const char* name)
{
    return bytesOf ([=] (auto& out)
                    {
                        const auto length = (int) std::strlen (name);
                        out.writeShortBigEndian (id);
                        out.writeIntBigEndian (position);
                        out.writeByte ((char) length);
                        out.write (name, (size_t) length);

                        if ((length & 1) == 0)
                            out.writeByte (0);
                    });
}

// Two comment or marker entries, the second giving its text a length far past the chunk.
juce::MemoryBlock longText (const char* id)
{
    return bytesOf ([isComment = juce::String (id) == "COMT"] (auto& out)
                    {
                        if (isComment)
                        {
                            out << comment ("a");
                            out.writeIntBigEndian (0);
                            out.writeShortBigEndian (0);
                            out.writeShortBigEndian ((short) 60000);
                        }
                        else
                        {
                            out << marker (1, 0, "a");
                            out.writeShortBigEndian (2);
                            out.writeIntBigEndian (0);
                            out.writeByte ((char) 200);
                        }

                        out.write ("xy", 2);
                    });
}

// The category chunk: a 4-byte header, then records of 50 bytes (118 for a genre).
Chunk category (std::initializer_list<juce::MemoryBlock> records)
{
    return { "cate", bytesOf ([&] (auto& out)
                              {
                                  out.writeInt (0);

                                  for (const auto& record : records)
                                      out << record;
                              }) };
}

// One loop of a sampler chunk, one cue point, one label for it.
Chunk samplerWithOneLoop()
{
    return { "smpl", bytesOf ([] (auto& out)
                              {
                                  for (int field : { 0, 0, 20833, 60, 0, 0, 0, 1, 0 })
                                      out.writeInt (field);

                                  for (int field : { 0, 0, 10, 90, 0, 0 })
                                      out.writeInt (field);
                              }) };
}

Chunk oneCuePoint()
{
    return { "cue ", bytesOf ([] (auto& out)
                              {
                                  out.writeInt (1);

                                  for (int field : { 1, 0, (int) juce::ByteOrder::littleEndianInt ("data"), 0, 0, 50 })
                                      out.writeInt (field);
                              }) };
}

Chunk labelList (std::initializer_list<juce::MemoryBlock> entries, juce::int64 declared = -1)
{
    return { "LIST", bytesOf ([&] (auto& out)
                              {
                                  out.write ("adtl", 4);

                                  for (const auto& entry : entries)
                                      out << entry;
                              }),
             declared };
}

juce::MemoryBlock label (const char* id, int cue, const char* s, int declared = -1)
{
    return bytesOf ([=] (auto& out)
                    {
                        const auto length = (int) std::strlen (s) + 1;
                        out.write (id, 4);
                        out.writeInt (declared < 0 ? 4 + length : declared);
                        out.writeInt (cue);
                        out.write (s, (size_t) length);

                        if ((length & 1) != 0)
                            out.writeByte (0);
                    });
}

// The frames of frames(), exactly.
void expectFrames (const juce::AudioBuffer<double>& buffer, const juce::String& label)
{
    ASSERT_EQ (buffer.getNumChannels(), 2) << label;
    ASSERT_EQ (buffer.getNumSamples(), numFrames) << label;

    for (int i = 0; i < numFrames; ++i)
    {
        ASSERT_EQ (buffer.getSample (0, i), i * 100 / 32768.0) << label << ", frame " << i;
        ASSERT_EQ (buffer.getSample (1, i), -1000 / 32768.0) << label << ", frame " << i;
    }
}

void expectReadsBack (const juce::File& file, const juce::String& label)
{
    AudioFileInfo info;
    juce::String error;
    ASSERT_TRUE (probeAudioFile (file, info, error)) << label << ": " << error;
    EXPECT_EQ (info.lengthInSamples, numFrames) << label;

    juce::AudioBuffer<double> buffer;
    ASSERT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << label << ": " << error;
    expectFrames (buffer, label);
}
} // namespace

// Each of these made the framework's reader allocate by a declared size (up to 4 GB, with a
// null dereference where the allocation failed), read past its buffer, loop for seconds per
// open or never return; each is now refused before the reader sees it.
TEST (AudioFileChunks, DamagedHeadersAreRefusedNamingTheChunk)
{
    const auto pastEnd = [] (const char* chunk)
    { return "The file is damaged: its \"" + juce::String (chunk) + "\" chunk runs past the end of the file."; };

    const auto zeros = juce::MemoryBlock (900000, true);

    const std::tuple<const char*, juce::MemoryBlock, juce::String> cases[] = {
        { "cue 50 MB", wav ({ wavFormat(), wavData(), { "cue ", juce::MemoryBlock (28, true), 50000000 } }), pastEnd ("cue ") },
        { "cue 2.95 GB before the data", wav ({ wavFormat(), { "cue ", juce::MemoryBlock (28, true), 2950000000LL }, wavData() }), pastEnd ("cue ") },
        { "smpl 1.2 GB", wav ({ wavFormat(), wavData(), { "smpl", juce::MemoryBlock (36, true), 1200000000 } }), pastEnd ("smpl") },
        { "inst", wav ({ wavFormat(), wavData(), { "inst", juce::MemoryBlock (7, true), 70000 } }), pastEnd ("inst") },
        { "fmt", wav ({ { "fmt ", wavFormat().body, 4000 } }), pastEnd ("fmt ") },
        { "AIFF INST 4 GB", aiff ({ aiffCommon(), aiffSound(), { "INST", juce::MemoryBlock (20, true), 0xfffffff0LL } }), pastEnd ("INST") },
        { "unnamed", wav ({ wavFormat(), wavData(), { "\x01\x02\x03\x04", {}, 9 } }), "The file is damaged: its chunk at byte 444 runs past the end of the file." },
        { "zeros", aiff ({ aiffCommon(), aiffSound(), { "\0\0\0\0", zeros, 0 } }), "The file is damaged: it holds more than 100000 chunks." },
    };

    TemporaryFolder temp;

    for (const auto& [name, bytes, expected] : cases)
    {
        const auto file = temp.file ("damaged.wav");
        ASSERT_TRUE (writeBytes (file, bytes)) << name;

        AudioFileInfo info;
        juce::String error;
        EXPECT_FALSE (probeAudioFile (file, info, error)) << name;
        EXPECT_EQ (error, expected) << name;

        juce::AudioBuffer<double> buffer;
        EXPECT_FALSE (readAudioFileAtOwnRate (file, buffer, error)) << name;
        EXPECT_EQ (error, expected) << name;
        EXPECT_EQ (buffer.getNumChannels(), 0) << name;
    }
}

// Sound data that runs past the end keeps the truncation message, whatever length it claims:
// a 644-byte file claiming 4 GB of data was reported as 248.6 minutes long.
TEST (AudioFileChunks, SoundDataPastTheEndIsTruncation)
{
    const auto lying = wav ({ wavFormat (24), { "data", juce::MemoryBlock (600, true), 0xffffffffLL } });
    ASSERT_EQ (lying.getSize(), 644);

    // RF64 takes the data's size from its "ds64" chunk.
    const auto rf64 = [] (juce::int64 dataSize)
    {
        auto bytes = wav ({ { "ds64", bytesOf ([dataSize] (auto& out)
                                               {
                                                   out.writeInt64 (1LL << 40); // riff size
                                                   out.writeInt64 (dataSize);
                                                   out.writeInt64 (0);
                                                   out.writeInt (0);
                                               }) },
                            wavFormat (24),
                            { "data", juce::MemoryBlock (600, true), 0xffffffffLL } });
        bytes.copyFrom ("RF64", 0, 4);
        return bytes;
    };

    const std::pair<juce::MemoryBlock, juce::String> cases[] = {
        { lying, "The file is truncated: its header announces 715827882 frames, but only 100 are present." },
        { rf64 (10000000000LL), "The file is truncated: its header announces 1666666666 frames, but only 100 are present." },
        // A negative size: the framework's reader cut the frames left (-47244640248) to 32 bits
        // and wrote 8 frames where one was asked for (caught by the sanitizer build).
        { rf64 (-47244640248LL * 6), "The file reports a negative length." },
    };

    TemporaryFolder temp;

    for (const auto& [bytes, expected] : cases)
    {
        const auto file = temp.file ("lying.wav");
        ASSERT_TRUE (writeBytes (file, bytes));

        AudioFileInfo info;
        juce::String error;
        EXPECT_FALSE (probeAudioFile (file, info, error));
        EXPECT_EQ (error, expected);
    }
}

// A good recording was refused as damaged for metadata the app never reads; the framework's
// parsers read past such text or a count, overflowed the stack on deep nesting, expanded entities
// without bound, or were left stuck at the end of the file. Each chunk is now hidden from them
// and the audio read as it is.
TEST (AudioFileChunks, UnsafeMetadataIsHiddenAndTheAudioRead)
{
    const auto latin1Ixml = [] (int size)
    {
        return Chunk { "iXML", text ("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><BWFXML><NOTE>Voil\xe0</NOTE></BWFXML>", (size_t) size) };
    };

    Chunk latin1Bext { "bext", juce::MemoryBlock (602, true) };
    latin1Bext.body.copyFrom ("Voil\xe0 take 3", 0, 13);

    juce::MemoryOutputStream deepXml;
    deepXml << "<ebucore:ebuCoreMain>" << juce::String::repeatedString ("<a x=\"/>\">", 1001);

    const std::tuple<const char*, juce::MemoryBlock, juce::String> cases[] = {
        { "iXML Latin-1 after the data", wav ({ wavFormat(), wavData(), latin1Ixml (90) }), "its \"iXML\" chunk is not valid UTF-8 text." },
        { "iXML Latin-1 before the data", wav ({ wavFormat(), latin1Ixml (90), wavData() }), "its \"iXML\" chunk is not valid UTF-8 text." },
        { "bext and iXML Latin-1", wav ({ wavFormat(), latin1Bext, latin1Ixml (91), wavData() }, true), "its \"iXML\" chunk is not valid UTF-8 text." },
        { "iXML entities", wav ({ wavFormat(), wavData(), { "iXML", text ("<!DOCTYPE BWFXML [<!ENTITY a \"<b/>\">]><BWFXML>&a;</BWFXML>", 60) } }), "its \"iXML\" chunk declares XML entities." },
        { "axml deep", wav ({ wavFormat(), { "axml", deepXml.getMemoryBlock() }, wavData() }), "its \"axml\" chunk nests more than 1000 levels deep." },
        { "LIST cut", wav ({ wavFormat(), wavData(), labelList ({ label ("note", 1, "ab"), juce::MemoryBlock (1, true) }) }, true), "its \"LIST\" chunk ends inside one of its entries." },
        { "LIST entry", wav ({ wavFormat(), wavData(), labelList ({ label ("labl", 1, "ab", 40) }) }), "its \"labl\" chunk runs past the end of its \"LIST\" chunk." },
        { "labl short", wav ({ wavFormat(), labelList ({ label ("labl", 1, "", 2) }), wavData() }), "its \"labl\" chunk is too short for its fields." },
        { "COMT count", aiff ({ aiffCommon(), counted ("COMT", 65535, comment ("x")), aiffSound() }), "its \"COMT\" chunk counts 65535 entries, more than it can hold." },
        { "MARK count", aiff ({ aiffCommon(), counted ("MARK", 3, marker (1, 0, "a")), aiffSound() }), "its \"MARK\" chunk counts 3 entries, more than it can hold." },
        { "cate cut", aiff ({ aiffCommon(), aiffSound(), category ({ text ("Bass", 50), text ("Dr", 2) }) }), "its \"cate\" chunk ends inside a record." },
        { "cate too short", aiff ({ aiffCommon(), aiffSound(), { "cate", juce::MemoryBlock (2, true) } }), "its \"cate\" chunk is too short for its header." },
        // Empty: the framework took the next chunk's id as a count of 21331 markers (seconds of
        // parsing), and a length of 0 - 4 as "read the rest of the file into memory".
        { "MARK empty", aiff ({ aiffCommon(), { "MARK", {} }, aiffSound() }), "its \"MARK\" chunk counts 21331 entries, more than it can hold." },
        { "COMT empty", aiff ({ aiffCommon(), { "COMT", {} }, aiffSound() }), "its \"COMT\" chunk counts 21331 entries, more than it can hold." },
        { "cate empty", aiff ({ aiffCommon(), { "cate", {} }, aiffSound() }), "its \"cate\" chunk is too short for its header." },
        // The framework read each text by the length its entry gives, a comment's up to 64 KB,
        // past the chunk into whatever follows; and it copied a tag's text up to its first zero
        // byte from every record (a megabyte chunk of letters became gigabytes of tags, minutes).
        { "COMT text past the end", aiff ({ aiffCommon(), counted ("COMT", 2, longText ("COMT")), aiffSound() }), "its \"COMT\" chunk ends inside one of its entries." },
        { "MARK name past the end", aiff ({ aiffCommon(), counted ("MARK", 2, longText ("MARK")), aiffSound() }), "its \"MARK\" chunk ends inside one of its entries." },
        { "cate text past its record", aiff ({ aiffCommon(), aiffSound(), category ({ text ("Abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwx", 50), text ("Bass", 50) }) }),
          "its \"cate\" chunk holds a tag that runs past its record." },
    };

    TemporaryFolder temp;

    for (const auto& [name, bytes, reason] : cases)
    {
        const auto file = temp.file ("metadata.wav");
        ASSERT_TRUE (writeBytes (file, bytes)) << name;

        const auto walk = walkAudioFileChunks (file);
        EXPECT_FALSE (walk.isDamaged()) << name;
        EXPECT_EQ (walk.hiddenReasons, juce::StringArray (reason)) << name;
        expectReadsBack (file, name);
    }
}

// A WAV holding a 4 GB "Trkn" or a 2 GB "iXML" chunk (zeros, a few kilobytes on disk as a sparse
// file) made the framework allocate and read it whole: two minutes and 4 GB for one track.
TEST (AudioFileChunks, HugeMetadataChunksAreNeverRead)
{
    TemporaryFolder temp;

    struct Case
    {
        const char* name;
        const char* id;
        juce::int64 length;
        bool beforeData;
    };

    for (const auto& c : { Case { "4 GB Trkn", "Trkn", 0xfffff000LL, false }, Case { "2.1 GB iXML", "iXML", 2100000000LL, true } })
    {
        SCOPED_TRACE (c.name);
        const auto file = temp.file ("huge.wav");

        // The chunk's header goes last; the file then grows to hold the chunk without writing it.
        std::vector<Chunk> chunks { wavFormat(), wavData(), { c.id, {}, c.length } };

        if (c.beforeData)
            std::swap (chunks[1], chunks[2]);

        auto bytes = wav (chunks);
        const auto headerAt = c.beforeData ? (juce::int64) bytes.getSize() - 8 - 8 - numFrames * 4 : (juce::int64) bytes.getSize() - 8;

        if (c.beforeData)
        {
            // The data chunk moves past the chunk's length.
            juce::MemoryBlock head (bytes.getData(), (size_t) headerAt + 8);
            juce::MemoryBlock tail (bytes.begin() + headerAt + 8, bytes.getSize() - (size_t) headerAt - 8);
            ASSERT_TRUE (writeBytes (file, head));
            juce::FileOutputStream out (file);
            ASSERT_TRUE (out.setPosition (headerAt + 8 + c.length));
            out.write (tail.getData(), tail.getSize());
        }
        else
        {
            ASSERT_TRUE (writeBytes (file, bytes));
            ASSERT_EQ (::truncate (file.getFullPathName().toRawUTF8(), (off_t) (headerAt + 8 + c.length)), 0);
        }

        // The container's length covers it all.
        {
            const auto size = (juce::uint32) std::min<juce::int64> (0xffffffffLL, file.getSize() - 8);
            juce::FileOutputStream out (file);
            ASSERT_TRUE (out.setPosition (4));
            out.writeInt ((int) size);
        }

        const auto walk = walkAudioFileChunks (file);
        ASSERT_EQ (walk.hiddenChunks, std::vector<juce::int64> { headerAt });
        expectReadsBack (file, c.name);

        // Never handed to the framework's parser.
        const auto reader = openAudioFileReader (file);
        ASSERT_NE (reader, nullptr);
        EXPECT_EQ (reader->metadataValues.size(), 0);
    }
}

// A thousand metadata chunks of exactly the size limit (a gigabyte of zeros, a few megabytes on
// disk as a sparse file) were all read at every open of the file: seconds for a probe, minutes
// for a read. The metadata is read up to its limit; every metadata chunk from the first that
// doesn't fit on is hidden unread, and the probe says so.
TEST (AudioFileChunks, MetadataIsReadUpToALimitAsAWhole)
{
    constexpr juce::int64 mebibyte = 1 << 20;

    const auto holes = [] (const char* id, int count, juce::int64 length)
    { return std::vector<SparseChunk> ((size_t) count, SparseChunk { id, {}, length }); };

    // 16 chunks just under 1 MiB fit; the 1 MiB one after them doesn't, nor the small one after that.
    auto nearlyFull = holes ("bext", 16, mebibyte - 16);
    nearlyFull.push_back ({ "iXML", {}, mebibyte });
    nearlyFull.push_back ({ "iXML", text ("<a/>", 4) });

    struct Case
    {
        const char* name;
        bool isAiff;
        std::vector<SparseChunk> metadata;
        int pastLimit;
    };

    const Case cases[] = {
        { "WAV, 1000 iXML of 1 MiB", false, holes ("iXML", 1000, mebibyte), 984 },
        { "AIFF, 1000 INST of 1 MiB", true, holes ("INST", 1000, mebibyte), 984 },
        { "WAV, a small chunk after the limit", false, nearlyFull, 2 },
    };

    TemporaryFolder temp;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::vector<SparseChunk> chunks { c.isAiff ? SparseChunk { "COMM", aiffCommon().body } : SparseChunk { "fmt ", wavFormat().body } };
        chunks.insert (chunks.end(), c.metadata.begin(), c.metadata.end());
        chunks.push_back (c.isAiff ? SparseChunk { "SSND", aiffSound().body } : SparseChunk { "data", frames (false) });

        const auto file = temp.file ("metadata");
        ASSERT_TRUE (c.isAiff ? writeSparseChunkFile (file, "FORM", "AIFF", chunks) : writeSparseChunkFile (file, "RIFF", "WAVE", chunks));

        const auto walk = walkAudioFileChunks (file);
        EXPECT_EQ (walk.chunksPastMetadataLimit, c.pastLimit);
        EXPECT_EQ (walk.hiddenChunks.size(), (size_t) c.pastLimit);

        const auto got = probeAndRead (file);
        ASSERT_TRUE (got.probed && got.read) << got.error;
        EXPECT_LT (got.probeMs, 1000.0);
        EXPECT_LT (got.readMs, 1000.0);
        expectFrames (got.buffer, c.name);
        EXPECT_EQ (got.warnings, juce::StringArray ("Its metadata comes to more than 16 MB; the " + juce::String (c.pastLimit)
                                                + " metadata chunk(s) after that were stepped over unread."));
    }
}

TEST (AudioFileChunks, ValidFilesWithMetadataChunksStillRead)
{
    TemporaryFolder temp;

    // The last chunk is odd-sized and its pad byte is missing, as some writers leave it.
    const auto wavFile = temp.file ("metadata.wav");
    ASSERT_TRUE (writeBytes (wavFile, wav ({ wavFormat(),
                                             labelList ({ label ("labl", 1, "Verse"), label ("note", 1, "soft") }),
                                             wavData(),
                                             oneCuePoint(),
                                             samplerWithOneLoop(),
                                             { "iXML", text ("<BWFXML><NOTE>Voil\xc3\xa0 take 3</NOTE><!-- </BWFXML> --></BWFXML>", 62) },
                                             { "inst", juce::MemoryBlock (7, true) } },
                                           true)));

    const auto aiffFile = temp.file ("metadata.aif");
    ASSERT_TRUE (writeBytes (aiffFile, aiff ({ aiffCommon(),
                                               counted ("MARK", 1, marker (1, 50, "Verse")),
                                               counted ("COMT", 1, comment ("take 3")),
                                               aiffSound(),
                                               { "INST", juce::MemoryBlock (20, true) },
                                               category ({ text ("Jazz", 118), text ("Bass", 50), text ("Piano", 50) }) })));

    expectReadsBack (wavFile, "WAV");
    expectReadsBack (aiffFile, "AIFF");

    // The fixtures are what they claim: the framework's reader finds every chunk.
    const auto metadataOf = [] (const juce::File& file)
    {
        const auto reader = openAudioFileReader (file);
        return reader != nullptr ? reader->metadataValues : juce::StringPairArray();
    };

    const auto wavMetadata = metadataOf (wavFile);
    EXPECT_EQ (wavMetadata["NumCuePoints"], "1");
    EXPECT_EQ (wavMetadata["NumSampleLoops"], "1");
    EXPECT_EQ (wavMetadata["CueLabel0Text"], "Verse");
    EXPECT_EQ (wavMetadata["CueNote0Text"], "soft");
    EXPECT_TRUE (wavMetadata.containsKey ("HighVelocity"));

    const auto aiffMetadata = metadataOf (aiffFile);
    EXPECT_EQ (aiffMetadata["CueLabel0Text"], "Verse");
    EXPECT_EQ (aiffMetadata["CueNote0Text"], "take 3");
    EXPECT_TRUE (aiffMetadata.containsKey ("MidiUnityNote"));
    EXPECT_EQ (aiffMetadata[juce::AiffAudioFormat::appleTag], "Jazz;Bass;Piano");
}
