#include "AudioFileView.h"

#include <algorithm>
#include <cstring>

namespace dunmoor
{

AudioFileView::AudioFileView (std::unique_ptr<juce::InputStream> sourceToUse, std::vector<juce::int64> hiddenChunkPositions)
    : source (std::move (sourceToUse))
    , hidden (std::move (hiddenChunkPositions))
{
    std::sort (hidden.begin(), hidden.end());
}

juce::int64 AudioFileView::getTotalLength()
{
    return source->getTotalLength();
}

bool AudioFileView::isExhausted()
{
    return source->isExhausted();
}

juce::int64 AudioFileView::getPosition()
{
    return source->getPosition();
}

bool AudioFileView::setPosition (juce::int64 position)
{
    return source->setPosition (position);
}

void AudioFileView::startWatching() noexcept
{
    firstRead = -1;
    shortEnd = -1;
}

int AudioFileView::read (void* destination, int maxBytes)
{
    const auto position = source->getPosition();
    const auto got = source->read (destination, maxBytes);

    if (firstRead < 0)
        firstRead = position;

    if (got < maxBytes && shortEnd < 0)
        shortEnd = position + std::max (0, got);

    if (got <= 0 || hidden.empty())
        return got;

    // Every hidden id that overlaps what was read (an id may be read a byte at a time).
    static constexpr char junk[4] = { 'J', 'U', 'N', 'K' };
    const auto end = position + got;
    auto* bytes = static_cast<char*> (destination);

    for (auto it = std::lower_bound (hidden.begin(), hidden.end(), position - 3); it != hidden.end() && *it < end; ++it)
        for (int i = 0; i < 4; ++i)
            if (const auto at = *it + i; at >= position && at < end)
                bytes[at - position] = junk[i];

    return got;
}

} // namespace dunmoor
