#include "PresetAudition.h"

#include <map>

namespace dunmoor::ui
{

namespace
{
    const char* const stemPrefix = "presetstem:";
    const char* const mixPrefix = "presetmix:";
} // namespace

juce::String PresetAudition::stemSourceId (const juce::String& cueKey, const juce::String& stemId)
{
    return stemPrefix + cueKey + ":" + stemId;
}

juce::String PresetAudition::mixSourceId (const juce::String& cueKey, const juce::String& mixId)
{
    return mixPrefix + cueKey + ":" + mixId;
}

bool PresetAudition::isPresetSource (const juce::String& sourceId)
{
    return sourceId.startsWith (stemPrefix) || sourceId.startsWith (mixPrefix);
}

juce::StringArray PresetAudition::stemFiles (const std::vector<Track>& tracks, const juce::String& cueKey, const juce::String& stemId)
{
    juce::StringArray files;

    if (cueKey.isEmpty() || stemId.isEmpty())
        return files;

    for (const auto& track : tracks)
        if (track.cueKey == cueKey && track.stemId == stemId && track.isReadable())
            files.add (track.file.getFullPathName());

    return files;
}

juce::StringArray PresetAudition::mixFiles (const StemSchema& schema,
                                            const std::vector<Track>& tracks,
                                            const Cue& cue,
                                            const AlternativeMix& mix)
{
    const auto members = cue.getAlternativeMixStems (mix);

    // One pass over the session, then the stems in delivery order.
    std::map<juce::String, juce::StringArray> filesOfStem;

    for (const auto& member : members)
        filesOfStem[member];

    for (const auto& track : tracks)
    {
        if (track.cueKey != cue.key || ! track.isReadable())
            continue;

        if (const auto found = filesOfStem.find (track.stemId); found != filesOfStem.end())
            found->second.add (track.file.getFullPathName());
    }

    juce::StringArray files;

    for (const auto& stem : schema.stems)
        if (const auto found = filesOfStem.find (stem.id); found != filesOfStem.end())
            files.addArray (found->second);

    return files;
}

PresetAudition::Action PresetAudition::decide (bool activeForSource, bool playingOrLoading, bool hasFiles, bool audioAvailable)
{
    if (activeForSource && playingOrLoading)
        return Action::stop;

    if (! hasFiles)
        return Action::nothing;

    return audioAvailable ? Action::play : Action::noAudioOutput;
}

juce::String PresetAudition::noAudioOutputMessage (const juce::String& deviceError)
{
    return "Brackenfold could not open an audio device, so auditioning is unavailable.\n\n" + deviceError;
}

void PresetAudition::drawButton (juce::Graphics& g, juce::Rectangle<int> rect, bool playing, bool hasSomething,
                                 juce::Colour playingColour, juce::Colour idleColour)
{
    if (rect.getWidth() <= 0 || ! hasSomething)
        return;

    const int bx = rect.getX() + (rect.getWidth() - 14) / 2;
    const int by = rect.getY() + (rect.getHeight() - 14) / 2;

    g.setColour (playing ? playingColour : idleColour);

    if (playing)
    {
        g.fillRoundedRectangle ((float) bx + 3.5f, (float) by + 3.5f, 7.0f, 7.0f, 1.5f);
        return;
    }

    juce::Path triangle;
    triangle.addTriangle ((float) bx + 4.0f, (float) by + 2.0f, (float) bx + 4.0f, (float) by + 12.0f, (float) bx + 11.0f, (float) by + 7.0f);
    g.fillPath (triangle);
}

} // namespace dunmoor::ui
