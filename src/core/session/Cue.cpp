#include "Cue.h"

namespace dunmoor
{

juce::StringArray Cue::getAlternativeMixStems (const AlternativeMix& mix) const
{
    const auto entry = mixOverrides.find (mix.id);
    return entry != mixOverrides.end() ? entry->second : mix.stemIds;
}

} // namespace dunmoor
