#include "NamingVocabulary.h"

namespace dunmoor::ui
{

void NamingVocabulary::load (const juce::String& storedText)
{
    words.clear();

    for (const auto& line : juce::StringArray::fromLines (storedText))
    {
        const auto word = line.trim();

        if (word.isEmpty() || contains (word) || words.size() >= maxWords || word.length() > maxWordLength)
            continue;

        words.add (word);
    }
}

bool NamingVocabulary::add (const juce::String& word)
{
    const auto trimmed = word.trim();

    if (trimmed.isEmpty() || trimmed.length() > maxWordLength || contains (trimmed))
        return false;

    words.add (trimmed);

    while (words.size() > maxWords)
        words.remove (0);

    return true;
}

bool NamingVocabulary::remove (const juce::String& word)
{
    const auto index = words.indexOf (word, true);

    if (index < 0)
        return false;

    words.remove (index);
    return true;
}

bool NamingVocabulary::contains (const juce::String& word) const
{
    return words.contains (word, true);
}

juce::String NamingVocabulary::toText() const
{
    return words.joinIntoString ("\n");
}

} // namespace dunmoor::ui
