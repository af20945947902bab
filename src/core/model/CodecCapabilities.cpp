#include "CodecCapabilities.h"

#include <algorithm>
#include <cmath>

namespace dunmoor
{

namespace
{
    bool sameRate (double a, double b) { return std::abs (a - b) < 0.5; }

    const std::vector<int>& mp3Bitrates()
    {
        static const std::vector<int> rates { 128, 160, 192, 224, 256, 320 };
        return rates;
    }

    const std::vector<double>& mp3SampleRates()
    {
        static const std::vector<double> rates { 32000.0, 44100.0, 48000.0 };
        return rates;
    }
} // namespace

const std::vector<SampleFormat>& getSampleFormatsFor (Codec codec)
{
    static const std::vector<SampleFormat> wavFormats { SampleFormat::pcm16, SampleFormat::pcm24, SampleFormat::float32 };
    static const std::vector<SampleFormat> integerFormats { SampleFormat::pcm16, SampleFormat::pcm24 };
    static const std::vector<SampleFormat> none;

    switch (codec)
    {
        case Codec::wav:  return wavFormats;
        case Codec::aiff:
        case Codec::flac: return integerFormats;
        case Codec::mp3:  return none;
    }

    return none;
}

const std::vector<double>& getSampleRatesFor (Codec codec)
{
    return codec == Codec::mp3 ? mp3SampleRates() : getLosslessSampleRates();
}

const std::vector<double>& getLosslessSampleRates()
{
    static const std::vector<double> rates { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
    return rates;
}

const std::vector<Codec>& getExportCodecs()
{
    static const std::vector<Codec> codecs { Codec::wav, Codec::aiff, Codec::flac };
    return codecs;
}

bool supportsSampleFormat (Codec codec, SampleFormat format)
{
    const auto& formats = getSampleFormatsFor (codec);
    return std::find (formats.begin(), formats.end(), format) != formats.end();
}

bool supportsSampleRate (Codec codec, double sampleRateHz)
{
    for (auto rate : getSampleRatesFor (codec))
        if (sameRate (rate, sampleRateHz))
            return true;

    return false;
}

SampleFormat validSampleFormatFor (Codec codec, SampleFormat format)
{
    return supportsSampleFormat (codec, format) ? format : defaultSampleFormatFor (codec);
}

SampleFormat defaultSampleFormatFor (Codec codec)
{
    return codec == Codec::mp3 ? SampleFormat::pcm16 : SampleFormat::pcm24;
}

bool isCodecAvailable (Codec codec)
{
    return codec == Codec::wav || codec == Codec::aiff || codec == Codec::flac;
}

bool isLosslessCodec (Codec codec) { return codec != Codec::mp3; }
bool isLossyCodec (Codec codec) { return codec == Codec::mp3; }

int nearestMp3Bitrate (int kbps)
{
    const auto& rates = mp3Bitrates();
    auto best = rates.front();

    for (auto rate : rates)
        if (std::abs ((long long) rate - kbps) < std::abs ((long long) best - kbps))
            best = rate;

    return best;
}

double bestOutputSampleRate (Codec codec, double wantedHz)
{
    // No usable wish (nothing, a negative rate, NaN or infinity): the common default.
    if (! std::isfinite (wantedHz) || wantedHz <= 0.0)
        return 48000.0;

    const auto& rates = getSampleRatesFor (codec);

    for (auto rate : rates)
        if (sameRate (rate, wantedHz))
            return wantedHz;

    // A whole multiple of an offered rate comes down to it cleanly.
    double bestMultiple = 0.0;

    for (auto rate : rates)
    {
        const auto ratio = wantedHz / rate;
        const auto whole = std::round (ratio);

        if (whole >= 1.0 && std::abs (whole - ratio) < 1e-9)
            bestMultiple = std::max (bestMultiple, rate);
    }

    if (bestMultiple > 0.0)
        return bestMultiple;

    auto nearest = rates.front();

    for (auto rate : rates)
        if (std::abs (rate - wantedHz) < std::abs (nearest - wantedHz))
            nearest = rate;

    return nearest;
}

juce::String describeCodecAvailability (Codec codec)
{
    if (isCodecAvailable (codec))
        return {};

    if (codec == Codec::mp3)
        return "MP3 is not an export format in this build; Brackenfold delivers lossless only. Choose WAV, AIFF or FLAC.";

    return "This codec is not available in this build.";
}

} // namespace dunmoor
