#pragma once

#include <cstdint>

#include "core/model/Types.h"

namespace dunmoor
{

/** What one encoded file looks like. */
struct EncoderSettings
{
    Codec codec = Codec::wav;                       // must equal the encoder's codec
    SampleFormat sampleFormat = SampleFormat::pcm24;
    double sampleRate = 48000.0;                    // Hz, written into the header
    int numChannels = 2;                            // only for describe(); the encoder uses the buffer's count
    int mp3Kbps = 320;                              // only for describe() of a lossy codec
    DitherKind dither = DitherKind::tpdfShaped;
    uint64_t ditherSeed = 1;                        // 0: a random seed for every file
    bool clampFloat = true;                         // float32 only: false keeps samples beyond full scale as they are

    /** One line such as "WAV 24bit 48kHz 2ch", "FLAC 16bit 44.1kHz 1ch" or "WAV 32bit float 96kHz 2ch". */
    juce::String describe() const;
};

} // namespace dunmoor
