#include "KeywordMatcher.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "MatchDecision.h"

namespace dunmoor
{

namespace
{
    //==============================================================================
    // The prepared form works on token numbers: every token and plural form that occurs in a
    // pattern or exclusion gets one, and a file-name token that has none can never match.

    struct TokenSequence
    {
        std::vector<int> prefix;    // every keyword token but the last
        std::vector<int> lastForms; // the last token, or its plural forms
    };

    /** True when the sequence occurs in the name's tokens. With `words`, every occurrence is
        looked for, and the positions of the name tokens each one covers are added there. */
    bool occursIn (const std::vector<int>& nameTokens, const TokenSequence& sequence, std::vector<int>* words = nullptr)
    {
        const auto k = sequence.prefix.size();
        if (nameTokens.size() < k + 1 || sequence.lastForms.empty())
            return false;

        bool found = false;

        for (size_t start = 0; start + k < nameTokens.size(); ++start)
        {
            if (! std::equal (sequence.prefix.begin(), sequence.prefix.end(), nameTokens.begin() + (std::ptrdiff_t) start))
                continue;

            const auto last = nameTokens[start + k];
            if (std::find (sequence.lastForms.begin(), sequence.lastForms.end(), last) == sequence.lastForms.end())
                continue;

            if (words == nullptr)
                return true;

            found = true;
            for (auto word = start; word <= start + k; ++word)
                words->push_back ((int) word);
        }

        return found;
    }

    struct PreparedExclusion
    {
        juce::String entry; // as written, for the note
        TokenSequence tokens;
    };

    enum class RuleTest
    {
        sequence,
        wholeName,
        approximate
    };

    struct PreparedRule
    {
        int stemIndex = 0;
        juce::String pattern;
        MatchMode hitKind = MatchMode::token;
        int priority = 0;
        RuleTest test = RuleTest::sequence;
        TokenSequence tokens;    // sequence test
        juce::String wholeName;  // wholeName test: the keyword tokens joined by single spaces
        juce::String fuzzyToken; // approximate test
        int fuzzyLength = 0;
        std::vector<PreparedExclusion> excludes;
    };

    struct PreparedStem
    {
        juce::String id;
        juce::String name;
        int priority = 0;
        std::vector<PreparedExclusion> excludes;
    };

    bool firstExclusionHit (const std::vector<int>& nameTokens,
                            const std::vector<PreparedExclusion>& exclusions,
                            const PreparedExclusion*& hit)
    {
        for (const auto& exclusion : exclusions)
        {
            if (occursIn (nameTokens, exclusion.tokens))
            {
                hit = &exclusion;
                return true;
            }
        }
        return false;
    }

    void appendAll (std::vector<int>& target, const std::vector<int>& source)
    {
        target.insert (target.end(), source.begin(), source.end());
    }

    void sortUnique (std::vector<int>& values)
    {
        std::sort (values.begin(), values.end());
        values.erase (std::unique (values.begin(), values.end()), values.end());
    }
} // namespace

//==============================================================================
struct KeywordMatcher::Prepared
{
    std::unordered_map<juce::String, int> vocabulary;
    std::vector<PreparedStem> stems;
    std::vector<PreparedRule> rules;                 // schema order: stem by stem, rule by rule
    std::vector<std::vector<int>> rulesByToken;      // token number -> rules that need it, ascending
    std::vector<std::vector<int>> exclusionsByToken; // token number -> stems whose exclusions need it
    std::vector<int> fuzzyRules;
    bool plurals = true;

    int intern (const juce::String& token)
    {
        const auto [position, inserted] = vocabulary.emplace (token, (int) vocabulary.size());
        if (inserted)
        {
            rulesByToken.emplace_back();
            exclusionsByToken.emplace_back();
        }
        return position->second;
    }

    int find (const juce::String& token) const
    {
        const auto position = vocabulary.find (token);
        return position == vocabulary.end() ? -1 : position->second;
    }

    TokenSequence makeSequence (const juce::StringArray& keywordTokens)
    {
        TokenSequence sequence;
        for (int i = 0; i + 1 < keywordTokens.size(); ++i)
            sequence.prefix.push_back (intern (keywordTokens[i]));

        const auto& last = keywordTokens[keywordTokens.size() - 1];
        if (plurals)
        {
            for (const auto& form : pluralVariants (last))
                sequence.lastForms.push_back (intern (form));
        }
        else
        {
            sequence.lastForms.push_back (intern (last));
        }
        return sequence;
    }

    std::vector<PreparedExclusion> makeExclusions (const juce::StringArray& entries)
    {
        std::vector<PreparedExclusion> result;
        for (const auto& entry : entries)
        {
            const auto entryTokens = tokenizeKeyword (entry);
            if (! entryTokens.isEmpty())
                result.push_back ({ entry, makeSequence (entryTokens) });
        }
        return result;
    }

    void addRule (int stemIndex, const KeywordRule& rule)
    {
        if (rule.pattern.trim().isEmpty())
            return;

        const auto keywordTokens = tokenizeKeyword (rule.pattern);
        if (keywordTokens.isEmpty())
            return;

        PreparedRule prepared;
        prepared.stemIndex = stemIndex;
        prepared.pattern = rule.pattern;
        prepared.priority = rule.priority;
        prepared.hitKind = rule.mode;

        switch (rule.mode)
        {
            case MatchMode::token:
                prepared.tokens = makeSequence (keywordTokens);
                prepared.hitKind = keywordTokens.size() == 1 ? MatchMode::token : MatchMode::phrase;
                break;

            case MatchMode::phrase:
                prepared.tokens = makeSequence (keywordTokens);
                break;

            case MatchMode::exact:
                // A whole-name hit needs the name's tokens to be the keyword's, so the keyword's
                // last token is what brings the rule up for a test.
                prepared.test = RuleTest::wholeName;
                prepared.wholeName = keywordTokens.joinIntoString (" ");
                prepared.tokens.lastForms.push_back (intern (keywordTokens[keywordTokens.size() - 1]));
                break;

            case MatchMode::fuzzy:
                if (keywordTokens.size() != 1)
                    return;
                prepared.test = RuleTest::approximate;
                prepared.fuzzyToken = keywordTokens[0];
                prepared.fuzzyLength = prepared.fuzzyToken.length();
                break;

            default:
                return;
        }

        prepared.excludes = makeExclusions (rule.excludes);

        const auto ruleIndex = (int) rules.size();
        if (prepared.test == RuleTest::approximate)
            fuzzyRules.push_back (ruleIndex);
        else
            for (auto token : prepared.tokens.lastForms)
                rulesByToken[(size_t) token].push_back (ruleIndex);

        rules.push_back (std::move (prepared));
    }

    /** True when the rule hits; the positions of the name tokens it hit on are added to `words`. */
    bool ruleHits (const PreparedRule& rule,
                   const MatchOptions& options,
                   const FileNameAnalysis& analysis,
                   const std::vector<int>& nameTokens,
                   std::vector<int>& words) const
    {
        switch (rule.test)
        {
            case RuleTest::sequence:
                return occursIn (nameTokens, rule.tokens, &words);

            case RuleTest::wholeName:
                if (analysis.normalised != rule.wholeName)
                    return false;

                for (int word = 0; word < (int) nameTokens.size(); ++word)
                    words.push_back (word);

                return true;

            case RuleTest::approximate:
                if (! options.fuzzyEnabled || rule.fuzzyLength < options.minLength)
                    return false;

                for (int word = 0; word < analysis.tokens.size(); ++word)
                {
                    const auto& token = analysis.tokens[word];
                    if (token.length() >= options.minLength
                        && boundedEditDistance (token, rule.fuzzyToken, options.maxDistance) <= options.maxDistance)
                        words.push_back (word);
                }

                return ! words.empty();
        }
        return false;
    }
};

KeywordMatcher::KeywordMatcher (const StemSchema& schema)
    : prepared (std::make_unique<Prepared>())
{
    auto& p = *prepared;
    p.plurals = schema.matchPlurals;
    p.stems.reserve (schema.stems.size());

    for (const auto& stem : schema.stems)
    {
        const auto stemIndex = (int) p.stems.size();
        p.stems.push_back ({ stem.id, stem.displayName, stem.priority, p.makeExclusions (stem.excludeKeywords) });

        for (const auto& exclusion : p.stems.back().excludes)
            for (auto token : exclusion.tokens.lastForms)
            {
                auto& stemsForToken = p.exclusionsByToken[(size_t) token];
                if (stemsForToken.empty() || stemsForToken.back() != stemIndex)
                    stemsForToken.push_back (stemIndex);
            }

        for (const auto& rule : stem.rules)
            p.addRule (stemIndex, rule);
    }
}

KeywordMatcher::~KeywordMatcher() = default;
KeywordMatcher::KeywordMatcher (KeywordMatcher&&) noexcept = default;
KeywordMatcher& KeywordMatcher::operator= (KeywordMatcher&&) noexcept = default;

MatchResult KeywordMatcher::match (const MatchOptions& options, const juce::String& fileName) const
{
    return score (options, analyseFileName (fileName));
}

MatchResult KeywordMatcher::score (const MatchOptions& options, const FileNameAnalysis& analysis) const
{
    const auto& p = *prepared;

    std::vector<int> nameTokens;
    nameTokens.reserve ((size_t) analysis.tokens.size());
    for (const auto& token : analysis.tokens)
        nameTokens.push_back (p.find (token));

    // Only rules and exclusions that need one of the name's tokens can hit.
    std::vector<int> ruleIndices, exclusionStems;
    for (auto token : nameTokens)
    {
        if (token < 0)
            continue;
        appendAll (ruleIndices, p.rulesByToken[(size_t) token]);
        appendAll (exclusionStems, p.exclusionsByToken[(size_t) token]);
    }
    if (options.fuzzyEnabled)
        appendAll (ruleIndices, p.fuzzyRules);

    sortUnique (ruleIndices);
    sortUnique (exclusionStems);

    juce::StringArray exclusionNotes;
    std::vector<int> excludedStems;
    for (auto stemIndex : exclusionStems)
    {
        const auto& stem = p.stems[(size_t) stemIndex];
        const PreparedExclusion* hit = nullptr;
        if (firstExclusionHit (nameTokens, stem.excludes, hit))
        {
            exclusionNotes.add (stem.name + " (excluded by '" + hit->entry + "')");
            excludedStems.push_back (stemIndex);
        }
    }

    std::vector<MatchCandidate> candidates;
    std::vector<std::vector<int>> wordsOfHits; // of the last candidate's hits
    std::vector<int> words;
    int currentStem = -1;

    // A word of the name credits a stem once, however many of the stem's rules it satisfies.
    auto creditLastCandidate = [&]
    {
        if (! candidates.empty())
            candidates.back().hitCount = countCreditedHits (wordsOfHits);

        wordsOfHits.clear();
    };

    for (auto ruleIndex : ruleIndices)
    {
        const auto& rule = p.rules[(size_t) ruleIndex];

        if (std::binary_search (excludedStems.begin(), excludedStems.end(), rule.stemIndex))
            continue;

        words.clear();
        if (! p.ruleHits (rule, options, analysis, nameTokens, words))
            continue;

        const PreparedExclusion* silencedBy = nullptr;
        if (firstExclusionHit (nameTokens, rule.excludes, silencedBy))
            continue;

        if (rule.stemIndex != currentStem)
        {
            creditLastCandidate();

            const auto& stem = p.stems[(size_t) rule.stemIndex];
            MatchCandidate candidate;
            candidate.stemId = stem.id;
            candidate.stemName = stem.name;
            candidate.stemPriority = stem.priority;
            candidates.push_back (std::move (candidate));
            currentStem = rule.stemIndex;
        }

        addMatchHit (candidates.back(), rule.pattern, rule.hitKind, rule.priority);
        wordsOfHits.push_back (words);
    }

    creditLastCandidate();

    return decideMatch (std::move (candidates), std::move (exclusionNotes));
}

//==============================================================================
MatchResult matchFileName (const MatchOptions& options, const StemSchema& schema, const juce::String& fileName)
{
    return KeywordMatcher (schema).match (options, fileName);
}

} // namespace dunmoor
