#pragma once

#include <memory>
#include <vector>

#include "core/model/Preset.h"

namespace dunmoor
{

/** Matcher settings. The session builds these once (fuzzy off, distance 1, length 5) and never changes them. */
struct MatchOptions
{
    bool fuzzyEnabled = false; // rules in fuzzy mode may match
    int maxDistance = 1;       // largest edit distance that still counts as a fuzzy match
    int minLength = 5;         // shortest keyword and file-name token (code points) that takes part in fuzzy matching
};

/** A file name taken apart for matching. */
struct FileNameAnalysis
{
    juce::String fileName;    // as passed in
    juce::String baseName;    // without its extension
    juce::String normalised;  // normaliseForMatching (baseName)
    juce::StringArray tokens; // normalised split at spaces, no empty entries
};

/** One rule that hit. */
struct MatchedKeyword
{
    juce::String keyword; // the rule's pattern exactly as written
    MatchMode hitKind = MatchMode::token;
    int priority = 0; // the rule's priority as written
};

/** One stem that matched. The five fields between stemName and hits are the ranking keys. */
struct MatchCandidate
{
    juce::String stemId;
    juce::String stemName;
    bool hasWholeName = false;
    bool hasPhrase = false;
    int hitCount = 0;         // hits, each credited to a word of the file name of its own (a word credits a stem once)
    int bestRulePriority = 0; // largest hit priority, never below 0
    int stemPriority = 0;
    std::vector<MatchedKeyword> hits; // in the order of the stem's rules
};

/** What the matcher decided for one file name, and why. */
struct MatchResult
{
    juce::String stemId;   // empty when no stem is chosen
    juce::String stemName; // empty when no stem is chosen
    Confidence confidence = Confidence::unassigned;
    juce::String explanation;
    juce::StringArray matchedKeywords;      // distinct keywords of the top candidate, hit order
    std::vector<MatchCandidate> candidates; // ranked, best first
    juce::StringArray exclusionNotes;       // one line per stem ruled out by a stem-wide exclusion
};

/**
    A stem schema made ready for matching many file names.

    Building one normalises and tokenises every pattern and exclusion once, builds their
    plural forms, turns every token into a small integer and indexes the rules by the
    tokens that can make them hit. Matching a file name then only looks at the rules that
    share a token with it. The results are exactly those of matching against the schema
    itself; build one per matching pass (after an import, after a preset change) and
    throw it away afterwards, since it copies what it needs and does not follow later
    edits of the schema.

    Immutable after construction, so one instance may serve several threads.
*/
class KeywordMatcher
{
public:
    explicit KeywordMatcher (const StemSchema& schema);
    ~KeywordMatcher();

    KeywordMatcher (KeywordMatcher&&) noexcept;
    KeywordMatcher& operator= (KeywordMatcher&&) noexcept;

    /** analyseFileName, then score. */
    MatchResult match (const MatchOptions& options, const juce::String& fileName) const;

    MatchResult score (const MatchOptions& options, const FileNameAnalysis& analysis) const;

private:
    struct Prepared;
    std::unique_ptr<Prepared> prepared;
};

/** Matches one file name (with extension, without folder) against a schema. */
MatchResult matchFileName (const MatchOptions& options, const StemSchema& schema, const juce::String& fileName);

/** Base name, normalised text and tokens of a file name. */
FileNameAnalysis analyseFileName (const juce::String& fileName);

/**
    Word text for matching: separators become single spaces, words split at lower-to-upper
    changes and between ASCII letters and digits, everything lower-cased, trimmed.
    "LeadVox_take2" gives "lead vox take 2".
*/
juce::String normaliseForMatching (const juce::String& text);

/** A pattern or exclusion entry as tokens: its normalised text split at spaces, no empty entries. */
juce::StringArray tokenizeKeyword (const juce::String& text);

/** The forms tried for a word when plurals count as the same word, the word itself first. */
juce::StringArray pluralVariants (const juce::String& word);

/** Levenshtein distance over code points, or bound + 1 as soon as it is known to exceed the bound. */
int boundedEditDistance (const juce::String& a, const juce::String& b, int bound);

/** True when a ranks before b. */
bool compareCandidates (const MatchCandidate& a, const MatchCandidate& b);

/** True when the five ranking keys are equal, whatever the names. */
bool isEquallyStrong (const MatchCandidate& a, const MatchCandidate& b);

} // namespace dunmoor
