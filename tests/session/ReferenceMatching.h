#pragma once

#include "core/session/KeywordMatcher.h"

namespace dunmoor::testing
{

// Literal, unprepared forms of the matcher's tests on one file name, word by word, for the
// reference scorer that holds the prepared matcher to them.

inline bool containsToken (const FileNameAnalysis& analysis, const juce::String& token)
{
    return analysis.tokens.contains (token);
}

inline bool matchPhrase (const FileNameAnalysis& analysis, const juce::StringArray& keywordTokens)
{
    const auto k = keywordTokens.size();
    if (k == 0)
        return false;

    for (int start = 0; start + k <= analysis.tokens.size(); ++start)
    {
        int i = 0;
        while (i < k && analysis.tokens[start + i] == keywordTokens[i])
            ++i;

        if (i == k)
            return true;
    }

    return false;
}

inline bool matchTokenWithPlurals (const FileNameAnalysis& analysis, const juce::String& token, bool plurals)
{
    if (! plurals)
        return containsToken (analysis, token);

    for (const auto& form : pluralVariants (token))
        if (containsToken (analysis, form))
            return true;

    return false;
}

inline bool matchPhraseWithPlurals (const FileNameAnalysis& analysis, const juce::StringArray& keywordTokens, bool plurals)
{
    if (! plurals || keywordTokens.isEmpty())
        return matchPhrase (analysis, keywordTokens);

    auto phrase = keywordTokens;
    const auto last = phrase.size() - 1;

    for (const auto& form : pluralVariants (keywordTokens[last]))
    {
        phrase.set (last, form);
        if (matchPhrase (analysis, phrase))
            return true;
    }

    return false;
}

inline bool matchesAnyExclusion (const FileNameAnalysis& analysis,
                          const juce::StringArray& exclusions,
                          bool plurals,
                          juce::String& excludingEntry)
{
    for (const auto& entry : exclusions)
    {
        const auto entryTokens = tokenizeKeyword (entry);
        if (entryTokens.isEmpty())
            continue;

        const bool hit = entryTokens.size() == 1 ? matchTokenWithPlurals (analysis, entryTokens[0], plurals)
                                                 : matchPhraseWithPlurals (analysis, entryTokens, plurals);
        if (hit)
        {
            excludingEntry = entry;
            return true;
        }
    }

    return false;
}

} // namespace dunmoor::testing
