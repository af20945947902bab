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
    return stream().getTotalLength();
}

bool AudioFileView::isExhausted()
{
    return stream().isExhausted();
}

juce::int64 AudioFileView::getPosition()
{
    return stream().getPosition();
}

bool AudioFileView::setPosition (juce::int64 position)
{
    return stream().setPosition (position);
}

void AudioFileView::setReadAhead (int bytes)
{
    // The source has read ahead of the buffer; it goes back to where the reader is.
    const auto position = stream().getPosition();
    buffered.reset();
    source->setPosition (position);

    if (bytes > 0)
        buffered = std::make_unique<juce::BufferedInputStream> (*source, bytes);
}

void AudioFileView::startWatching() noexcept
{
    firstRead = -1;
    shortEnd = -1;
}

int AudioFileView::read (void* destination, int maxBytes)
{
    const auto position = stream().getPosition();
    const auto got = stream().read (destination, maxBytes);

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
