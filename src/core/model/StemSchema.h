#pragma once

#include <cstdint>
#include <vector>

#include "Types.h"

namespace dunmoor
{

/** A schema holds at most this many stems; files with more are refused when read, and the
    pages offer no new stem once a schema is full. */
constexpr int maxStems = 256;

/** A schema holds at most this many alternative mixes. */
constexpr int maxAlternativeMixes = 10;

/** The mode a rule gets when none is given: a pattern with a space is a phrase, any other a
    single token. */
MatchMode defaultMatchModeFor (const juce::String& pattern);

struct KeywordRule
{
    juce::String pattern;
    MatchMode mode = MatchMode::token;
    int priority = 0;               // -1000..1000 in files
    juce::StringArray excludes;     // words that cancel this rule
    juce::String note;

    bool operator== (const KeywordRule&) const;
    bool operator!= (const KeywordRule& other) const { return ! operator== (other); }
};

struct Stem
{
    juce::String id;
    int index = 1;                  // kept equal to position + 1 by the schema operations
    juce::String displayName;
    juce::String shortCode;
    juce::String fileNameToken;
    uint32_t colour = 0xff8a8a8a;   // ARGB
    int priority = 0;               // -1000..1000 in files
    bool required = false;          // kept, stored and compared; nothing acts on it
    std::vector<KeywordRule> rules;
    juce::StringArray excludeKeywords;
    EmptyStemPolicy emptyPolicy = EmptyStemPolicy::skip;
    bool hasEmptyPolicy = false;    // per-stem override present
    juce::String namingTemplate;    // empty: the preset's stem template

    /** The trimmed file-name token, or the trimmed display name when the token is blank. */
    juce::String getFileNameToken() const;

    bool operator== (const Stem&) const;
    bool operator!= (const Stem& other) const { return ! operator== (other); }
};

/** An alternative mix (a "submix" in files and messages): the sum of its member stems. */
struct AlternativeMix
{
    juce::String id;
    juce::String name { "Submix" };
    juce::String shortCode;
    juce::StringArray stemIds;      // member stems in the order they were added
};

/** The stems of a delivery and its alternative mixes.

    The operations below keep the invariants: stem ids are non-empty, every stem's index is
    its position + 1, mix members name existing stems and there are at most
    maxAlternativeMixes mixes. Ids are compared exactly. Nothing here notifies anybody.
*/
struct StemSchema
{
    bool matchPlurals = true;
    juce::String publisher;
    juce::String name;
    juce::String description;
    std::vector<Stem> stems;                        // at most maxStems
    std::vector<AlternativeMix> alternativeMixes;   // at most maxAlternativeMixes

    /** Appends the stem, giving it a new id when it has none, and renumbers. The reference
        stays valid until the stem list next changes. */
    Stem& addStem (Stem stem);

    /** Inserts a copy right after the stem (" copy" appended to its names, no short code,
        in no mix) and returns the copy's id; empty for an unknown id. */
    [[nodiscard]] juce::String duplicateStem (const juce::String& stemId);

    /** Moves the stem to newPosition (0-based, clamped, counted after taking it out).
        False only for an unknown id. */
    [[nodiscard]] bool moveStem (const juce::String& stemId, int newPosition);

    /** Removes the stem and every mix member that no longer names a stem. */
    [[nodiscard]] bool removeStem (const juce::String& stemId);

    void renumberStems();

    /** Position of the first stem with the id, or -1. */
    int indexOfStem (const juce::String& stemId) const;

    Stem* findStem (const juce::String& stemId);
    const Stem* findStem (const juce::String& stemId) const;

    /** The first stem other than ignoredStemId whose trimmed display name or file-name token
        equals the trimmed stemName, ignoring case; nullptr when none. */
    const Stem* findStemWithSameName (const juce::String& stemName, const juce::String& ignoredStemId) const;

    /** The first stem other than ignoredStemId whose name differs from the given one only in
        spacing, punctuation or letter case; nullptr when none, and also when an exact clash
        exists (findStemWithSameName answers that). */
    const Stem* findStemWithSimilarName (const juce::String& stemName, const juce::String& ignoredStemId) const;

    /** Adds a mix of all stems under a unique name ("Submix n" when the name is blank) and
        returns its id; empty when the schema already holds maxAlternativeMixes. */
    [[nodiscard]] juce::String addAlternativeMix (const juce::String& mixName);

    [[nodiscard]] bool removeAlternativeMix (const juce::String& mixId);

    AlternativeMix* findAlternativeMix (const juce::String& mixId);
    const AlternativeMix* findAlternativeMix (const juce::String& mixId) const;

    /** Adds the stem to the mix (at the end) or removes it. True only when the membership
        changed; false for an unknown mix or stem. */
    bool setAlternativeMixMember (const juce::String& mixId, const juce::String& stemId, bool isMember);

    /** Removes every mix member that names no stem. */
    void dropUnknownMixMembers();

    /** Everything that affects matching: the plurals flag and each stem's id, priority,
        exclusions and rules. Equal fingerprints mean matching would not change. */
    juce::String getFingerprint() const;
};

/** The text reduced to its letters and digits, lower-cased ("Strings-Hi" -> "stringshi").
    Needs a UTF-8 LC_CTYPE for letters outside ASCII. */
juce::String normaliseStemName (const juce::String& text);

/** Opaque ARGB colour for the n-th new stem: a golden-ratio walk round the hue circle at
    fixed saturation and brightness. */
uint32_t automaticStemColour (int stemNumber);

} // namespace dunmoor
