#pragma once

#include "KeywordMatcher.h"

namespace dunmoor
{

// How the matcher turns the stems that hit into a decision and its explanation. Internal to
// the matcher.

/** Adds a rule that hit to the candidate's flags, best rule priority and hit list. The hit
    count is set once all of the stem's hits are known, by countCreditedHits. */
void addMatchHit (MatchCandidate& candidate, const juce::String& pattern, MatchMode kind, int priority);

/** The hit count of a stem, given for each of its hits the positions of the file-name words it
    hit on: the largest number of hits that can each be credited to a word of their own. A word
    credits a stem once, so "synth" hitting both the rules "synth" and "synths" counts one,
    while "lead vocal" and "vocal" on "Lead Vocal" count two. */
int countCreditedHits (const std::vector<std::vector<int>>& wordsOfHits);

/** Ranks the candidates and decides: the chosen stem or none, its confidence, the matched
    keywords and the explanation a user reads. */
MatchResult decideMatch (std::vector<MatchCandidate> candidates, juce::StringArray exclusionNotes);

} // namespace dunmoor
