#include "AudioFormats.h"

#include "core/model/Types.h"

namespace dunmoor
{

//==============================================================================
juce::String AudioFileInfo::describeChannels() const
{
    return describeChannelLayout (numChannels);
}

juce::String AudioFileInfo::describeBitDepth() const
{
    return dunmoor::describeBitDepth (bitsPerSample, isFloat);
}

juce::String AudioFileInfo::describeSampleRate() const
{
    return formatKilohertz (sampleRate);
}

juce::String AudioFileInfo::describeLength() const
{
    if (sampleRate > 0.0 && (double) lengthInSamples / sampleRate > 0.0)
    {
        const auto ms = (juce::int64) ((double) lengthInSamples / sampleRate * 1000.0 + 0.5);
        const auto hours = ms / 3600000;
        const auto minutes = ms / 60000 - hours * 60;
        const auto seconds = ms / 1000 - (ms / 60000) * 60;
        const auto millis = ms % 1000;

        juce::String text;

        if (hours > 0)
            text << juce::String (hours) << ":" << juce::String (minutes).paddedLeft ('0', 2);
        else
            text << juce::String (minutes);

        return text << ":" << juce::String (seconds).paddedLeft ('0', 2)
                    << "." << juce::String (millis).paddedLeft ('0', 3);
    }

    return "0:00.000";
}

//==============================================================================
juce::AudioFormatManager& getAudioFormatManager()
{
    // registerBasicFormats() would add Ogg-Vorbis on some platforms; the system reads exactly these.
    static const std::unique_ptr<juce::AudioFormatManager> manager = []
    {
        auto m = std::make_unique<juce::AudioFormatManager>();
        m->registerFormat (new juce::WavAudioFormat(), true);
        m->registerFormat (new juce::AiffAudioFormat(), false);
        m->registerFormat (new juce::FlacAudioFormat(), false);
        return m;
    }();

    return *manager;
}

juce::String getAudioFileWildcard()
{
    return "*.wav;*.wave;*.aif;*.aiff;*.aifc;*.flac";
}

bool hasAudioFileExtension (const juce::File& file)
{
    const auto extension = file.getFileExtension();

    for (auto* known : { ".wav", ".wave", ".aif", ".aiff", ".aifc", ".flac" })
        if (extension.equalsIgnoreCase (known))
            return true;

    return false;
}

} // namespace dunmoor
