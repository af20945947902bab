#pragma once

#include <vector>

#include "Types.h"

namespace dunmoor
{

// What each output codec can do. Validation, the render's writer, the encoder, the file
// namer and the Export page all ask here so that what the user is offered, what the
// validator warns about and what is written agree. The lists never change after they are
// built, so every function may be called from any thread. Two rates are the same when they
// differ by less than 0.5 Hz.

/** wav: pcm16, pcm24, float32; aiff and flac: pcm16, pcm24; mp3 and anything else: none. */
const std::vector<SampleFormat>& getSampleFormatsFor (Codec);

/** 32000, 44100, 48000 Hz for mp3; the lossless rates for every other value. */
const std::vector<double>& getSampleRatesFor (Codec);

/** 44100, 48000, 88200, 96000, 176400, 192000 Hz. */
const std::vector<double>& getLosslessSampleRates();

/** The codecs that can be written: wav, aiff, flac. */
const std::vector<Codec>& getExportCodecs();

bool supportsSampleFormat (Codec, SampleFormat);
bool supportsSampleRate (Codec, double sampleRateHz);

/** The format itself when the codec offers it, else defaultSampleFormatFor the codec. */
SampleFormat validSampleFormatFor (Codec, SampleFormat);

/** pcm16 for mp3, pcm24 for everything else. */
SampleFormat defaultSampleFormatFor (Codec);

/** True when an encoder exists: wav, aiff and flac. */
bool isCodecAvailable (Codec);

bool isLosslessCodec (Codec);   // every value but mp3
bool isLossyCodec (Codec);      // mp3 only

/** The MP3 bit rate (128..320 kbps) nearest to kbps; a tie keeps the lower one. */
int nearestMp3Bitrate (int kbps);

/** The rate a file of the codec is written at when wantedHz is asked for: wantedHz itself
    when the codec offers it, else the largest offered rate it is a whole multiple of, else
    the nearest offered rate (the lower on a tie). 48000 when nothing usable is asked for. */
double bestOutputSampleRate (Codec, double wantedHz);

/** Empty for a codec that can be written, otherwise the reason it can't, for the user. */
juce::String describeCodecAvailability (Codec);

} // namespace dunmoor
