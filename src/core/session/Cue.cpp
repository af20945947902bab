#include "Cue.h"

#include "core/files/PathRules.h"
#include "core/model/CaseFolding.h"

namespace dunmoor
{

namespace
{
    bool isSeparator (juce::juce_wchar c)
    {
        return c == '/' || c == juce::File::getSeparatorChar();
    }

    juce::String withoutTrailingSeparators (juce::String path)
    {
        while (path.isNotEmpty() && isSeparator (path.getLastCharacter()))
            path = path.dropLastCharacters (1);

        return path;
    }
} // namespace

juce::String stableIdFromText (const juce::String& text)
{
    uint64_t h = 0;
    const auto lower = toLowerCaseFixed (text);

    for (auto p = lower.getCharPointer(); ! p.isEmpty();)
        h = h * 101u + (uint64_t) p.getAndAdvance();

    if (h == 0)
        return "0";

    const char* const digits = "0123456789abcdef";
    char buffer[17] = {};
    int start = 16;

    while (h != 0)
    {
        buffer[--start] = digits[h & 15u];
        h >>= 4;
    }

    return juce::String (buffer + start);
}

juce::String sanitiseRelativeCueName (const juce::String& rest)
{
    juce::StringArray parts;
    juce::String part;

    auto addPart = [&parts, &part]
    {
        if (part.trim().isNotEmpty())
            parts.add (sanitiseFileName (part, "-", "untitled", 120));

        part.clear();
    };

    for (auto p = rest.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (isSeparator (c))
            addPart();
        else
            part += juce::String::charToString (c);
    }

    addPart();
    return parts.joinIntoString ("/");
}

juce::String relativeCueNameOf (const juce::File& folder, const juce::File& importRoot)
{
    const auto folderPath = folder.getFullPathName();
    const auto rootPath = importRoot.getFullPathName();

    if (folderPath.equalsIgnoreCase (rootPath))
        return {};

    // A volume root's path already ends in a separator; without stripping it the prefix
    // below would hold two separators and never match.
    const auto prefix = withoutTrailingSeparators (rootPath) + juce::File::getSeparatorString();

    if (! folderPath.startsWithIgnoreCase (prefix))
        return {};

    return sanitiseRelativeCueName (folderPath.substring (prefix.length()));
}

bool isUsableCueName (const juce::String& name)
{
    if (name.isEmpty() || name.length() > 4096)
        return false;

    if (name.containsChar ('/') || name.containsChar ('\\') || name.contains (".."))
        return false;

    for (auto p = name.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (c < 32 || c == 127)
            return false;
    }

    return true;
}


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
