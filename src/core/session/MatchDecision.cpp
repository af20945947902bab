#include "MatchDecision.h"

#include <algorithm>

#include "core/model/CaseFolding.h"

namespace dunmoor
{

namespace
{
    const char* const productName = "Brackenfold";

    juce::StringArray distinctKeywords (const MatchCandidate& candidate)
    {
        juce::StringArray keywords;
        for (const auto& hit : candidate.hits)
            keywords.addIfNotAlreadyThere (hit.keyword, false);
        return keywords;
    }

    juce::String closingFor (MatchMode kind)
    {
        switch (kind)
        {
            case MatchMode::exact:
                return "' (whole name)";
            case MatchMode::phrase:
                return "' (phrase)";
            case MatchMode::fuzzy:
                return "' (approximate)";
            case MatchMode::token:
                break;
        }
        return "'";
    }

    /** Finds a word for the hit: a free one, or one whose hit can move to another of its own
        words (an augmenting path of a bipartite matching). */
    bool creditWord (size_t hit, const std::vector<std::vector<int>>& wordsOfHits, std::vector<int>& hitOfWord, std::vector<bool>& tried)
    {
        for (auto word : wordsOfHits[hit])
        {
            if (tried[(size_t) word])
                continue;

            tried[(size_t) word] = true;

            if (hitOfWord[(size_t) word] < 0 || creditWord ((size_t) hitOfWord[(size_t) word], wordsOfHits, hitOfWord, tried))
            {
                hitOfWord[(size_t) word] = (int) hit;
                return true;
            }
        }

        return false;
    }

    /** "a", "a and b", "a, b and c". */
    juce::String listInWords (const juce::StringArray& items)
    {
        if (items.size() <= 1)
            return items.joinIntoString ({});

        return items.joinIntoString (", ", 0, items.size() - 1) + " and " + items[items.size() - 1];
    }
} // namespace

int countCreditedHits (const std::vector<std::vector<int>>& wordsOfHits)
{
    size_t numWords = 0;
    for (const auto& words : wordsOfHits)
        for (auto word : words)
            numWords = std::max (numWords, (size_t) word + 1);

    std::vector<int> hitOfWord (numWords, -1);
    int credited = 0;

    for (size_t hit = 0; hit < wordsOfHits.size(); ++hit)
    {
        std::vector<bool> tried (numWords, false);
        if (creditWord (hit, wordsOfHits, hitOfWord, tried))
            ++credited;
    }

    return credited;
}

void addMatchHit (MatchCandidate& candidate, const juce::String& pattern, MatchMode kind, int priority)
{
    candidate.bestRulePriority = std::max (candidate.bestRulePriority, priority);
    if (kind == MatchMode::exact)
        candidate.hasWholeName = true;
    if (kind == MatchMode::phrase)
        candidate.hasPhrase = true;
    candidate.hits.push_back ({ pattern, kind, priority });
}

MatchResult decideMatch (std::vector<MatchCandidate> candidates, juce::StringArray exclusionNotes)
{
    MatchResult result;
    result.exclusionNotes = std::move (exclusionNotes);

    if (candidates.empty())
    {
        result.explanation = "No keyword from the schema appears in this file name.";
        return result;
    }

    std::sort (candidates.begin(), candidates.end(), compareCandidates);

    const auto& top = candidates.front();
    result.matchedKeywords = distinctKeywords (top);

    if (candidates.size() >= 2 && isEquallyStrong (top, candidates[1]))
    {
        // Each tied stem with the keywords it matched on, so the user sees what pulled each way.
        juce::StringArray tied;
        for (const auto& candidate : candidates)
            if (isEquallyStrong (top, candidate))
                tied.add (candidate.stemName + " on " + listInWords (distinctKeywords (candidate)));

        result.confidence = Confidence::ambiguous;
        result.explanation = "Equally strong match for " + tied.joinIntoString (", ") + ". "
                             + productName + " will not choose for you.";
        result.candidates = std::move (candidates);
        return result;
    }

    result.stemId = top.stemId;
    result.stemName = top.stemName;

    const bool confident = top.hasWholeName || top.hasPhrase || top.hitCount >= 2 || candidates.size() == 1;
    result.confidence = confident ? Confidence::confident : Confidence::review;

    juce::StringArray hitTexts;
    for (const auto& hit : top.hits)
        hitTexts.add ("'" + hit.keyword + closingFor (hit.hitKind));

    auto explanation = "Matched " + top.stemName + " on " + hitTexts.joinIntoString (", ");

    if (candidates.size() >= 2)
        explanation << "; ahead of " << candidates[1].stemName << " ("
                    << distinctKeywords (candidates[1]).joinIntoString (", ") << ")";

    explanation << ".";

    if (! confident)
        explanation << " Only one keyword matched while another stem also matched, so this is worth a check.";

    result.explanation = explanation;
    result.candidates = std::move (candidates);
    return result;
}

bool compareCandidates (const MatchCandidate& a, const MatchCandidate& b)
{
    if (a.hasWholeName != b.hasWholeName)
        return a.hasWholeName;
    if (a.hasPhrase != b.hasPhrase)
        return a.hasPhrase;
    if (a.hitCount != b.hitCount)
        return a.hitCount > b.hitCount;
    if (a.bestRulePriority != b.bestRulePriority)
        return a.bestRulePriority > b.bestRulePriority;
    if (a.stemPriority != b.stemPriority)
        return a.stemPriority > b.stemPriority;
    return compareIgnoreCaseFixed (a.stemName, b.stemName) < 0;
}

bool isEquallyStrong (const MatchCandidate& a, const MatchCandidate& b)
{
    return a.hasWholeName == b.hasWholeName
           && a.hasPhrase == b.hasPhrase
           && a.hitCount == b.hitCount
           && a.bestRulePriority == b.bestRulePriority
           && a.stemPriority == b.stemPriority;
}

} // namespace dunmoor
