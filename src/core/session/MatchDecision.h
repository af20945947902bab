#pragma once

#include "KeywordMatcher.h"

namespace dunmoor
{

// How the matcher turns the stems that hit into a decision and its explanation. Internal to
// the matcher.

/** Counts a rule that hit into the candidate's ranking keys and hit list. */
void addMatchHit (MatchCandidate& candidate, const juce::String& pattern, MatchMode kind, int priority);

/** Ranks the candidates and decides: the chosen stem or none, its confidence, the matched
    keywords and the explanation a user reads. */
MatchResult decideMatch (std::vector<MatchCandidate> candidates, juce::StringArray exclusionNotes);

} // namespace dunmoor
