#pragma once

// Small audio fixtures written by the tests themselves, in a temporary folder removed afterwards.

#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>

#include "TestFolder.h"

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

/** A WAV header for mono 8-bit data of the given frame count, as a sparse file of the full size. */
inline bool writeLongWav (const juce::File& file, int sampleRate, juce::int64 frames)
{
    const auto header = makeWavBytes (1, 1, sampleRate, 8, nullptr, 0, frames);
    return writeSparseFile (file, header, (juce::int64) header.getSize() + frames);
}

} // namespace dunmoor::testing
