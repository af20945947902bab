#pragma once

// Small audio fixtures written by the tests themselves, in a temporary folder removed afterwards.

#include <memory>
#include <vector>

#include <juce_audio_formats/juce_audio_formats.h>

#include "TestFolder.h"
#include "core/audio/AudioFileProbe.h"
#include "core/audio/AudioFileReader.h"

namespace dunmoor::testing
{

/** Writes the buffer through the framework's writer for the format ("wav", "aiff", "flac"). */
inline bool writeAudioFile (const juce::File& file,
                            const juce::String& formatName,
                            const juce::AudioBuffer<float>& buffer,
                            double sampleRate,
                            int bitsPerSample)
{
    std::unique_ptr<juce::AudioFormat> format;

    if (formatName == "wav")
        format = std::make_unique<juce::WavAudioFormat>();
    else if (formatName == "aiff")
        format = std::make_unique<juce::AiffAudioFormat>();
    else
        format = std::make_unique<juce::FlacAudioFormat>();

    file.deleteFile();
    auto stream = file.createOutputStream();

    if (stream == nullptr)
        return false;

    std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (stream.get(),
                                                                              sampleRate,
                                                                              (unsigned int) buffer.getNumChannels(),
                                                                              bitsPerSample,
                                                                              {},
                                                                              0));
    if (writer == nullptr)
        return false;

    stream.release(); // owned by the writer
    return writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
}

/**
    Hand-made WAV bytes: RIFF header, a 16-byte "fmt " chunk and a "data" chunk holding dataBytes
    of data, whose size field says declaredDataBytes (the real size when negative). The header is
    44 bytes long.
*/
inline juce::MemoryBlock makeWavBytes (int formatTag,
                                       int numChannels,
                                       int sampleRate,
                                       int bitsPerSample,
                                       const void* data,
                                       size_t dataBytes,
                                       juce::int64 declaredDataBytes = -1)
{
    const auto declared = (juce::uint32) (declaredDataBytes < 0 ? (juce::int64) dataBytes : declaredDataBytes);
    const int blockAlign = numChannels * bitsPerSample / 8;

    juce::MemoryOutputStream out;
    out.write ("RIFF", 4);
    out.writeInt ((int) (36 + declared));
    out.write ("WAVE", 4);
    out.write ("fmt ", 4);
    out.writeInt (16);
    out.writeShort ((short) formatTag);
    out.writeShort ((short) numChannels);
    out.writeInt (sampleRate);
    out.writeInt (sampleRate * blockAlign);
    out.writeShort ((short) blockAlign);
    out.writeShort ((short) bitsPerSample);
    out.write ("data", 4);
    out.writeInt ((int) declared);

    if (dataBytes > 0)
        out.write (data, dataBytes);

    return out.getMemoryBlock();
}

inline bool writeBytes (const juce::File& file, const juce::MemoryBlock& bytes)
{
    file.deleteFile();
    return file.replaceWithData (bytes.getData(), bytes.getSize());
}

/** The bytes followed by zeros up to totalSize, without writing them (a sparse file). */
inline bool writeSparseFile (const juce::File& file, const juce::MemoryBlock& bytes, juce::int64 totalSize)
{
    file.deleteFile();
    juce::FileOutputStream out (file);

    if (! out.openedOk() || ! out.write (bytes.getData(), bytes.getSize()))
        return false;

    return out.setPosition (totalSize) && out.truncate().wasOk() && file.getSize() == totalSize;
}

/** One chunk of a hand-made RIFF or FORM file: its body, then holeBytes of zeros that are never
    written, so that a file of many large chunks costs next to no disk. */
struct SparseChunk
{
    const char* id;
    juce::MemoryBlock body;
    juce::int64 holeBytes = 0;
};

/** The chunks in a container ("RIFF" of "WAVE", little-endian; "FORM" of "AIFF", big-endian),
    each padded to an even length, its length field covering the whole file. */
inline bool writeSparseChunkFile (const juce::File& file, const char* outer, const char* form, const std::vector<SparseChunk>& chunks)
{
    const bool bigEndian = juce::String (outer) == "FORM";
    file.deleteFile();
    juce::FileOutputStream out (file);

    const auto writeLength = [&] (juce::int64 length)
    { return bigEndian ? out.writeIntBigEndian ((int) length) : out.writeInt ((int) length); };

    if (! out.openedOk() || ! out.write (outer, 4) || ! writeLength (0) || ! out.write (form, 4))
        return false;

    juce::int64 written = 12;

    for (const auto& chunk : chunks)
    {
        const auto length = (juce::int64) chunk.body.getSize() + chunk.holeBytes;

        if (! out.write (chunk.id, 4) || ! writeLength (length) || ! (chunk.body.isEmpty() || out.write (chunk.body.getData(), chunk.body.getSize())))
            return false;

        written = out.getPosition();

        if (! out.setPosition (written + chunk.holeBytes + (length & 1)))
            return false;
    }

    // A hole or pad byte at the very end is written, or the file would stop short of it.
    const auto size = out.getPosition();

    if (size > written && ! (out.setPosition (size - 1) && out.writeByte (0)))
        return false;

    return out.setPosition (4) && writeLength (size - 8);
}

/** A WAV header for mono 8-bit data of the given frame count, as a sparse file of the full size. */
inline bool writeLongWav (const juce::File& file, int sampleRate, juce::int64 frames)
{
    const auto header = makeWavBytes (1, 1, sampleRate, 8, nullptr, 0, frames);
    return writeSparseFile (file, header, (juce::int64) header.getSize() + frames);
}

/** A copy of the FLAC file with count PADDING blocks of blockBytes each after its own metadata
    blocks, their bodies never written (a sparse file: gigabytes of metadata cost no disk), and
    with an ID3v2 tag of id3Bytes in front when that is above 0. Where the first PADDING block
    starts, or -1. */
inline juce::int64 writePaddedFlac (const juce::File& flac, const juce::File& file, int count, juce::int64 blockBytes, int id3Bytes = 0)
{
    juce::MemoryBlock bytes;

    if (! flac.loadFileAsData (bytes))
        return -1;

    // Past the marker, header after header up to the one flagged last, which now isn't.
    auto* b = static_cast<unsigned char*> (bytes.getData());
    size_t end = 4;

    for (bool last = false; ! last;)
    {
        last = (b[end] & 0x80) != 0;

        if (last && count > 0)
            b[end] &= 0x7f;

        end += 4 + (size_t) ((b[end + 1] << 16) | (b[end + 2] << 8) | b[end + 3]);
    }

    file.deleteFile();
    juce::FileOutputStream out (file);

    if (! out.openedOk())
        return -1;

    if (id3Bytes > 0)
    {
        // Version 4, no flags, the size after the 10-byte header in four 7-bit bytes.
        const auto size = id3Bytes - 10;
        const unsigned char header[] = { 'I', 'D', '3', 4, 0, 0, (unsigned char) ((size >> 21) & 0x7f), (unsigned char) ((size >> 14) & 0x7f),
                                         (unsigned char) ((size >> 7) & 0x7f), (unsigned char) (size & 0x7f) };

        if (! out.write (header, 10) || ! out.setPosition (id3Bytes))
            return -1;
    }

    const auto first = out.getPosition() + (juce::int64) end;

    if (! out.write (b, end))
        return -1;

    for (int i = 0; i < count; ++i)
    {
        const unsigned char header[] = { (unsigned char) (i == count - 1 ? 0x81 : 0x01), (unsigned char) (blockBytes >> 16),
                                         (unsigned char) (blockBytes >> 8), (unsigned char) blockBytes };

        if (! out.write (header, 4) || ! out.setPosition (out.getPosition() + blockBytes))
            return -1;
    }

    return out.write (b + end, bytes.getSize() - end) ? first : -1;
}

/** A file probed and then read whole at its own rate, with what each step took (for files that
    once took minutes, checked against a generous bound). */
struct ProbedAndRead
{
    bool probed = false;
    bool read = false;
    juce::String error;
    AudioFileInfo info;
    juce::StringArray warnings;
    juce::AudioBuffer<double> buffer;
    double probeMs = 0.0;
    double readMs = 0.0;
};

inline ProbedAndRead probeAndRead (const juce::File& file)
{
    ProbedAndRead result;
    const auto started = juce::Time::getMillisecondCounterHiRes();
    result.probed = probeAudioFile (file, result.info, result.error, &result.warnings);
    const auto probed = juce::Time::getMillisecondCounterHiRes();
    result.read = result.probed && readAudioFileAtOwnRate (file, result.buffer, result.error);
    result.probeMs = probed - started;
    result.readMs = juce::Time::getMillisecondCounterHiRes() - probed;
    return result;
}

} // namespace dunmoor::testing
