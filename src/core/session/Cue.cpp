#include "Cue.h"

#include "core/files/PathRules.h"

namespace dunmoor
{

juce::StringArray Cue::getAlternativeMixStems (const AlternativeMix& mix) const
{
    const auto entry = mixOverrides.find (mix.id);
    return entry != mixOverrides.end() ? entry->second : mix.stemIds;
}

juce::File Cue::getOutputFolderName (const juce::File& root, bool mirrorFolderStructure, bool folderPerCue) const
{
    auto legal = [] (const juce::String& part) { return sanitiseFileName (part, "-", "untitled", 120); };

    // Joined literally: a part such as "~x" must stay a folder of that name.
    auto below = [] (const juce::File& parent, const juce::String& part)
    {
        return juce::File (parent.getFullPathName() + juce::File::getSeparatorString() + part);
    };

    if (mirrorFolderStructure && relativeName.trim().isNotEmpty())
    {
        juce::StringArray parts;
        parts.addTokens (relativeName, "/", {});
        parts.removeEmptyStrings (false);

        if (! parts.isEmpty())
        {
            parts.set (parts.size() - 1, name.trim());
            auto result = root;

            for (const auto& part : parts)
                result = below (result, legal (part));

            return result;
        }
    }

    return folderPerCue ? below (root, legal (name.trim())) : root;
}

} // namespace dunmoor
