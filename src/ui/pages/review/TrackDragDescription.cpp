#include "TrackDragDescription.h"

namespace dunmoor::ui
{

juce::var makeTrackDragDescription (const juce::StringArray& trackIds)
{
    auto object = std::make_unique<juce::DynamicObject>();
    object->setProperty ("type", trackDragType);
    object->setProperty ("tracks", trackIds.joinIntoString ("\n"));
    return juce::var (object.release());
}

juce::StringArray getDraggedTrackIds (const juce::var& description)
{
    const auto* object = description.getDynamicObject();

    if (object == nullptr || object->getProperty ("type").toString() != trackDragType)
        return {};

    juce::StringArray ids;

    for (const auto& part : juce::StringArray::fromTokens (object->getProperty ("tracks").toString(), "\n", {}))
        if (part.trim().isNotEmpty())
            ids.add (part.trim());

    return ids;
}

juce::StringArray trackIdsToDrag (const juce::String& rowTrackId, const juce::StringArray& selectedTrackIds)
{
    if (selectedTrackIds.contains (rowTrackId))
        return selectedTrackIds;

    return juce::StringArray (rowTrackId);
}

} // namespace dunmoor::ui
