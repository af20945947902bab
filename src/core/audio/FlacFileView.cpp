#include "FlacFileView.h"

#include <algorithm>

namespace dunmoor
{

FlacFileView::FlacFileView (std::unique_ptr<juce::InputStream> sourceToUse, const FlacMetadataCut& cutToUse)
    : source (std::move (sourceToUse))
    , cut (cutToUse)
{
}

juce::int64 FlacFileView::toFile (juce::int64 at) const noexcept
{
    return at < cut.from ? at : at + (cut.to - cut.from);
}

juce::int64 FlacFileView::getTotalLength()
{
    const auto total = source->getTotalLength();
    return total < 0 ? total : std::max<juce::int64> (0, total - (cut.to - cut.from));
}

bool FlacFileView::isExhausted()
{
    return position >= getTotalLength();
}

juce::int64 FlacFileView::getPosition()
{
    return position;
}

bool FlacFileView::setPosition (juce::int64 newPosition)
{
    position = std::max<juce::int64> (0, newPosition);
    return source->setPosition (toFile (position));
}

int FlacFileView::read (void* destination, int maxBytes)
{
    auto* bytes = static_cast<unsigned char*> (destination);
    int done = 0;

    // A read across the cut goes on after it.
    while (done < maxBytes)
    {
        const auto wanted = position < cut.from ? (int) std::min<juce::int64> (maxBytes - done, cut.from - position) : maxBytes - done;

        if (! source->setPosition (toFile (position)))
            break;

        const auto got = source->read (bytes + done, wanted);

        if (got <= 0)
            break;

        if (cut.lastKeptHeader >= position && cut.lastKeptHeader < position + got)
            bytes[done + (cut.lastKeptHeader - position)] |= 0x80;

        position += got;
        done += got;

        if (got < wanted)
            break;
    }

    return done;
}

} // namespace dunmoor
