#include <gtest/gtest.h>

#include "core/model/CodecCapabilities.h"

using namespace dunmoor;

TEST (CodecCapabilities, SampleFormatsAndRates)
{
    EXPECT_EQ (getSampleFormatsFor (Codec::wav).size(), 3u);
    EXPECT_EQ (getSampleFormatsFor (Codec::flac), (std::vector<SampleFormat> { SampleFormat::pcm16, SampleFormat::pcm24 }));
    EXPECT_TRUE (getSampleFormatsFor (Codec::mp3).empty());
    EXPECT_TRUE (getSampleFormatsFor ((Codec) 9).empty());

    EXPECT_EQ (getSampleRatesFor (Codec::mp3), (std::vector<double> { 32000.0, 44100.0, 48000.0 }));
    EXPECT_EQ (getSampleRatesFor ((Codec) 9), getLosslessSampleRates());
    EXPECT_EQ (getExportCodecs(), (std::vector<Codec> { Codec::wav, Codec::aiff, Codec::flac }));

    EXPECT_TRUE (supportsSampleFormat (Codec::wav, SampleFormat::float32));
    EXPECT_FALSE (supportsSampleFormat (Codec::aiff, SampleFormat::float32));
    EXPECT_FALSE (supportsSampleFormat (Codec::mp3, SampleFormat::pcm16));

    EXPECT_TRUE (supportsSampleRate (Codec::wav, 48000.3));
    EXPECT_FALSE (supportsSampleRate (Codec::wav, 48000.5));
    EXPECT_FALSE (supportsSampleRate (Codec::flac, 32000.0));
    EXPECT_TRUE (supportsSampleRate (Codec::mp3, 32000.0));

    EXPECT_EQ (validSampleFormatFor (Codec::aiff, SampleFormat::float32), SampleFormat::pcm24);
    EXPECT_EQ (validSampleFormatFor (Codec::mp3, SampleFormat::pcm24), SampleFormat::pcm16);
    EXPECT_EQ (validSampleFormatFor (Codec::wav, SampleFormat::float32), SampleFormat::float32);
    EXPECT_EQ (validSampleFormatFor (Codec::flac, SampleFormat::pcm16), SampleFormat::pcm16);
}

TEST (CodecCapabilities, AvailabilityAndLossiness)
{
    for (auto codec : { Codec::wav, Codec::aiff, Codec::flac })
    {
        EXPECT_TRUE (isCodecAvailable (codec));
        EXPECT_TRUE (isLosslessCodec (codec));
        EXPECT_FALSE (isLossyCodec (codec));
        EXPECT_TRUE (describeCodecAvailability (codec).isEmpty());
    }

    EXPECT_FALSE (isCodecAvailable (Codec::mp3));
    EXPECT_TRUE (isLossyCodec (Codec::mp3));
    EXPECT_FALSE (isLosslessCodec (Codec::mp3));
    EXPECT_EQ (describeCodecAvailability (Codec::mp3),
               "MP3 is not an export format in this build; Brackenfold delivers lossless only. Choose WAV, AIFF or FLAC.");

    EXPECT_FALSE (isCodecAvailable ((Codec) 9));
    EXPECT_EQ (describeCodecAvailability ((Codec) 9), "This codec is not available in this build.");
}

TEST (CodecCapabilities, NearestMp3Bitrate)
{
    const struct { int kbps, nearest; } cases[] = {
        { 200, 192 }, { 176, 160 }, { 240, 224 }, { 500, 320 }, { 0, 128 }, { -50, 128 }, { 256, 256 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (nearestMp3Bitrate (c.kbps), c.nearest) << c.kbps;
}

TEST (CodecCapabilities, BestOutputSampleRate)
{
    const struct { Codec codec; double wanted, best; } cases[] = {
        { Codec::wav, 384000.0, 192000.0 },
        { Codec::flac, 352800.0, 176400.0 },
        { Codec::aiff, 22050.0, 44100.0 },
        { Codec::wav, 32000.0, 44100.0 },
        { Codec::wav, 50000.0, 48000.0 },
        { Codec::wav, 100000.0, 96000.0 },
        { Codec::wav, 48000.3, 48000.3 },   // close enough: the wanted rate itself
        { Codec::wav, 0.0, 48000.0 },
        { Codec::mp3, -1.0, 48000.0 },
        { Codec::mp3, 96000.0, 48000.0 },
        { Codec::mp3, 88200.0, 44100.0 },
        { Codec::mp3, 16000.0, 32000.0 },
        { Codec::mp3, 44100.0, 44100.0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (bestOutputSampleRate (c.codec, c.wanted), c.best) << codecToString (c.codec) << " " << c.wanted;

    EXPECT_EQ (bestOutputSampleRate (Codec::wav, std::numeric_limits<double>::quiet_NaN()), 48000.0);
}
