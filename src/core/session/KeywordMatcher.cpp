#include "KeywordMatcher.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace dunmoor
{

namespace
{
    const char* const productName = "Brackenfold";

    bool isAsciiUpper (juce::juce_wchar c) { return c >= 'A' && c <= 'Z'; }
    bool isAsciiLower (juce::juce_wchar c) { return c >= 'a' && c <= 'z'; }
    bool isAsciiLetter (juce::juce_wchar c) { return isAsciiUpper (c) || isAsciiLower (c); }
    bool isAsciiDigit (juce::juce_wchar c) { return c >= '0' && c <= '9'; }

    // Everything of 128 and above counts as a letter, so accented and non-Latin names keep their words.
    bool isWordCharacter (juce::juce_wchar c) { return isAsciiLetter (c) || isAsciiDigit (c) || c >= 128; }

    std::vector<juce::juce_wchar> toCodePoints (const juce::String& text)
    {
        std::vector<juce::juce_wchar> result;
        result.reserve ((size_t) text.getNumBytesAsUTF8());

        for (auto p = text.getCharPointer(); ! p.isEmpty();)
            result.push_back (p.getAndAdvance());

        return result;
    }

    juce::StringArray splitAtSpaces (const juce::String& normalised)
    {
        juce::StringArray tokens;
        auto p = normalised.getCharPointer();

        for (;;)
        {
            auto start = p;
            while (! p.isEmpty() && *p != ' ')
                ++p;

            const juce::String token (start, p);
            if (! token.trim().isEmpty())
                tokens.add (token);

            if (p.isEmpty())
                break;
            ++p;
        }

        return tokens;
    }

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

    void addHit (MatchCandidate& candidate, const juce::String& pattern, MatchMode kind, int priority)
    {
        ++candidate.hitCount;
        candidate.bestRulePriority = std::max (candidate.bestRulePriority, priority);
        if (kind == MatchMode::exact)
            candidate.hasWholeName = true;
        if (kind == MatchMode::phrase)
            candidate.hasPhrase = true;
        candidate.hits.push_back ({ pattern, kind, priority });
    }

    // Ranking and the decision, shared by every way of producing candidates.
    MatchResult decide (std::vector<MatchCandidate> candidates, juce::StringArray exclusionNotes)
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
            juce::StringArray tiedNames;
            for (const auto& candidate : candidates)
                if (isEquallyStrong (top, candidate))
                    tiedNames.add (candidate.stemName);

            result.confidence = Confidence::ambiguous;
            result.explanation = "Equally strong match for " + tiedNames.joinIntoString (", ")
                                 + " on " + result.matchedKeywords.joinIntoString (", ") + ". "
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

    //==============================================================================
    // The prepared form works on token numbers: every token and plural form that occurs in a
    // pattern or exclusion gets one, and a file-name token that has none can never match.

    struct TokenSequence
    {
        std::vector<int> prefix;    // every keyword token but the last
        std::vector<int> lastForms; // the last token, or its plural forms
    };

    bool occursIn (const std::vector<int>& nameTokens, const TokenSequence& sequence)
    {
        const auto k = sequence.prefix.size();
        if (nameTokens.size() < k + 1 || sequence.lastForms.empty())
            return false;

        for (size_t start = 0; start + k < nameTokens.size(); ++start)
        {
            if (! std::equal (sequence.prefix.begin(), sequence.prefix.end(), nameTokens.begin() + (std::ptrdiff_t) start))
                continue;

            const auto last = nameTokens[start + k];
            if (std::find (sequence.lastForms.begin(), sequence.lastForms.end(), last) != sequence.lastForms.end())
                return true;
        }

        return false;
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

    bool ruleHits (const PreparedRule& rule,
                   const MatchOptions& options,
                   const FileNameAnalysis& analysis,
                   const std::vector<int>& nameTokens) const
    {
        switch (rule.test)
        {
            case RuleTest::sequence:
                return occursIn (nameTokens, rule.tokens);

            case RuleTest::wholeName:
                return analysis.normalised == rule.wholeName;

            case RuleTest::approximate:
                if (! options.fuzzyEnabled || rule.fuzzyLength < options.minLength)
                    return false;

                for (const auto& token : analysis.tokens)
                    if (token.length() >= options.minLength
                        && boundedEditDistance (token, rule.fuzzyToken, options.maxDistance) <= options.maxDistance)
                        return true;

                return false;
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
    int currentStem = -1;

    for (auto ruleIndex : ruleIndices)
    {
        const auto& rule = p.rules[(size_t) ruleIndex];

        if (std::binary_search (excludedStems.begin(), excludedStems.end(), rule.stemIndex))
            continue;

        if (! p.ruleHits (rule, options, analysis, nameTokens))
            continue;

        const PreparedExclusion* silencedBy = nullptr;
        if (firstExclusionHit (nameTokens, rule.excludes, silencedBy))
            continue;

        if (rule.stemIndex != currentStem)
        {
            const auto& stem = p.stems[(size_t) rule.stemIndex];
            MatchCandidate candidate;
            candidate.stemId = stem.id;
            candidate.stemName = stem.name;
            candidate.stemPriority = stem.priority;
            candidates.push_back (std::move (candidate));
            currentStem = rule.stemIndex;
        }

        addHit (candidates.back(), rule.pattern, rule.hitKind, rule.priority);
    }

    return decide (std::move (candidates), std::move (exclusionNotes));
}

//==============================================================================
MatchResult matchFileName (const MatchOptions& options, const StemSchema& schema, const juce::String& fileName)
{
    return scoreFileName (options, schema, analyseFileName (fileName));
}

MatchResult scoreFileName (const MatchOptions& options, const StemSchema& schema, const FileNameAnalysis& analysis)
{
    return KeywordMatcher (schema).score (options, analysis);
}

FileNameAnalysis analyseFileName (const juce::String& fileName)
{
    FileNameAnalysis analysis;
    analysis.fileName = fileName;
    analysis.baseName = fileName;

    const auto dot = fileName.lastIndexOfChar ('.');
    if (dot > 0)
    {
        const auto tail = fileName.substring (dot + 1);
        const auto tailLength = tail.length();
        bool isExtension = tailLength >= 1 && tailLength <= 5;

        for (auto p = tail.getCharPointer(); isExtension && ! p.isEmpty();)
        {
            const auto c = p.getAndAdvance();
            isExtension = isAsciiLetter (c) || isAsciiDigit (c);
        }

        if (isExtension)
            analysis.baseName = fileName.substring (0, dot);
    }

    analysis.normalised = normaliseForMatching (analysis.baseName);
    analysis.tokens = splitAtSpaces (analysis.normalised);
    return analysis;
}

juce::String normaliseForMatching (const juce::String& text)
{
    const auto input = toCodePoints (text);

    std::vector<juce::juce_wchar> output;
    output.reserve (input.size() * 2 + 1);

    juce::juce_wchar previous = 0;
    bool separatorPending = false;

    for (size_t i = 0; i < input.size(); ++i)
    {
        const auto c = input[i];

        if (! isWordCharacter (c))
        {
            if (! output.empty())
                separatorPending = true;
        }
        else
        {
            if (separatorPending)
            {
                output.push_back (' ');
                separatorPending = false;
            }
            else if (previous != 0)
            {
                const bool nextIsUpper = i + 1 < input.size() && isAsciiUpper (input[i + 1]);
                const bool lowerToUpper = isAsciiLower (previous) && isAsciiUpper (c) && ! nextIsUpper;
                const bool letterDigit = (isAsciiLetter (previous) && isAsciiDigit (c))
                                         || (isAsciiDigit (previous) && isAsciiLetter (c));
                if (lowerToUpper || letterDigit)
                    output.push_back (' ');
            }

            output.push_back (juce::CharacterFunctions::toLowerCase (c));
        }

        previous = c;
    }

    output.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (output.data())).trim();
}

juce::StringArray tokenizeKeyword (const juce::String& text)
{
    return splitAtSpaces (normaliseForMatching (text));
}

juce::StringArray pluralVariants (const juce::String& word)
{
    const auto w = word.trim().toLowerCase();
    if (w.isEmpty())
        return {};

    juce::StringArray forms (w);
    const auto length = w.length();
    if (length < 3)
        return forms;

    if (! w.endsWithChar ('s'))
        forms.addIfNotAlreadyThere (w + "s");

    forms.addIfNotAlreadyThere (w + "es");

    if (w.endsWithChar ('y') && length >= 4 && ! juce::String ("aeiou").containsChar (w[length - 2]))
        forms.addIfNotAlreadyThere (w.dropLastCharacters (1) + "ies");

    if (w.endsWith ("ies") && length >= 5)
        forms.addIfNotAlreadyThere (w.dropLastCharacters (3) + "y");

    if (w.endsWith ("es") && length >= 5)
        forms.addIfNotAlreadyThere (w.dropLastCharacters (2));

    if (w.endsWithChar ('s') && ! w.endsWith ("ss") && length >= 4)
        forms.addIfNotAlreadyThere (w.dropLastCharacters (1));

    return forms;
}

bool containsToken (const FileNameAnalysis& analysis, const juce::String& token)
{
    return analysis.tokens.contains (token);
}

bool matchPhrase (const FileNameAnalysis& analysis, const juce::StringArray& keywordTokens)
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

bool matchTokenWithPlurals (const FileNameAnalysis& analysis, const juce::String& token, bool plurals)
{
    if (! plurals)
        return containsToken (analysis, token);

    for (const auto& form : pluralVariants (token))
        if (containsToken (analysis, form))
            return true;

    return false;
}

bool matchPhraseWithPlurals (const FileNameAnalysis& analysis, const juce::StringArray& keywordTokens, bool plurals)
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

bool matchesAnyExclusion (const FileNameAnalysis& analysis,
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

int boundedEditDistance (const juce::String& a, const juce::String& b, int bound)
{
    const int beyond = bound == std::numeric_limits<int>::max() ? bound : bound + 1;

    const auto x = toCodePoints (a);
    const auto y = toCodePoints (b);
    const auto lengthA = (int) x.size();
    const auto lengthB = (int) y.size();

    if (std::abs (lengthA - lengthB) > bound)
        return beyond;
    if (lengthA == 0)
        return lengthB;
    if (lengthB == 0)
        return lengthA;

    std::vector<int> previousRow ((size_t) lengthB + 1), row ((size_t) lengthB + 1);
    for (int j = 0; j <= lengthB; ++j)
        previousRow[(size_t) j] = j;

    for (int i = 1; i <= lengthA; ++i)
    {
        row[0] = i;
        int rowMinimum = row[0];

        for (int j = 1; j <= lengthB; ++j)
        {
            const auto substitution = previousRow[(size_t) j - 1] + (x[(size_t) i - 1] == y[(size_t) j - 1] ? 0 : 1);
            row[(size_t) j] = std::min ({ previousRow[(size_t) j] + 1, row[(size_t) j - 1] + 1, substitution });
            rowMinimum = std::min (rowMinimum, row[(size_t) j]);
        }

        if (rowMinimum > bound)
            return beyond;

        std::swap (previousRow, row);
    }

    return previousRow[(size_t) lengthB];
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
    return a.stemName.compareIgnoreCase (b.stemName) < 0;
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
