#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor::ui
{

/**
    The user's own words for file names, offered as pieces in the template editors. Kept
    oldest first, compared ignoring case, at most maxWords words of at most maxWordLength
    characters. Stored as one word per line.
*/
class NamingVocabulary
{
public:
    static constexpr int maxWords = 60;
    static constexpr int maxWordLength = 64;

    /** Replaces the words with the stored text's: trimmed lines, skipping empty ones,
        repeats, over-long ones and everything past maxWords. */
    void load (const juce::String& storedText);

    /** Appends a word (trimmed). False, changing nothing, for an empty or over-long word or
        one already there in any letter case. The oldest words go beyond maxWords. */
    bool add (const juce::String& word);

    /** Removes the word, compared ignoring case. False when it is not there. */
    bool remove (const juce::String& word);

    bool contains (const juce::String& word) const;

    const juce::StringArray& getWords() const noexcept { return words; }

    /** The stored form: the words joined with line feeds. */
    juce::String toText() const;

private:
    juce::StringArray words;
};

} // namespace dunmoor::ui
