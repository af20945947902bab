#pragma once

#include <cmath>
#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>

namespace dunmoor::bench
{

/** Writes 0.1 s of quiet stereo at 48 kHz in the format: the smallest file an import or a
    project still has to open and probe like a real track. */
inline bool writeShortTrack (const juce::File& file, juce::AudioFormat& format, int bits)
{
    juce::AudioBuffer<float> buffer (2, 4800);
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        buffer.setSample (0, i, 0.1f * (float) std::sin (0.05 * i)), buffer.setSample (1, i, 0.05f);

    auto stream = file.createOutputStream();
    if (stream == nullptr)
        return false;

    std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (stream.get(), 48000.0, 2, bits, {}, 0));
    if (writer == nullptr)
        return false;

    stream.release();
    return writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
}

} // namespace dunmoor::bench
