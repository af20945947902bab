#include "EncoderSettings.h"

#include "core/model/CodecCapabilities.h"

namespace dunmoor
{

juce::String EncoderSettings::describe() const
{
    juce::StringArray parts;
    parts.add (codecToString (codec).toUpperCase());

    if (isLossyCodec (codec))
    {
        parts.add (juce::String (mp3Kbps) + "kbps");
    }
    else
    {
        const auto isFloat = sampleFormat == SampleFormat::float32;
        parts.add (describeBitDepth (isFloat ? 32 : bitsPerSample (sampleFormat), isFloat).replace (" bit", "bit"));
    }

    parts.add (formatKilohertz (sampleRate).replace (" kHz", "kHz"));
    parts.add (juce::String (numChannels) + "ch");
    return parts.joinIntoString (" ");
}

} // namespace dunmoor
