#include "Session.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "core/model/CaseFolding.h"

namespace dunmoor
{

namespace
{
    const char* const staleStemReason = "The stem this track was assigned to no longer exists in the schema.";

    bool isAllDigits (const juce::String& text)
    {
        return text.isNotEmpty() && text.containsOnly ("0123456789");
    }
} // namespace

//==============================================================================
bool Session::hasStem (const juce::String& stemId) const
{
    return preset.schema.findStem (stemId) != nullptr;
}

void Session::assignTracks (const juce::StringArray& trackIds, const juce::String& stemId, bool lock)
{
    if ((stemId.isNotEmpty() && ! hasStem (stemId)) || trackIds.isEmpty())
        return;

    bool anyFound = false;

    for (const auto& id : trackIds)
    {
        auto* track = findTrackForEdit (id);

        if (track == nullptr)
            continue;

        anyFound = true;
        track->stemId = stemId;
        track->candidates.clear();
        track->matchedKeywords.clear();

        if (stemId.isNotEmpty())
        {
            track->confidence = Confidence::confident;
            track->source = lock ? AssignmentSource::locked : AssignmentSource::manual;
            track->reason = lock ? "Assigned and locked by the user." : "Assigned by the user.";
        }
        else
        {
            track->source = AssignmentSource::none;
            track->confidence = Confidence::unassigned;
            track->reason = "Unassigned by the user.";
        }
    }

    if (! anyFound)
        return;

    pushUndoState();
    sendAssignmentsChanged();
}

void Session::setTracksLocked (const juce::StringArray& trackIds, bool lock)
{
    const auto target = lock ? AssignmentSource::locked : AssignmentSource::manual;
    bool anyChanged = false;

    for (const auto& id : trackIds)
    {
        auto* track = findTrackForEdit (id);

        if (track == nullptr || track->stemId.isEmpty() || track->source == target)
            continue;

        track->source = target;
        anyChanged = true;
    }

    if (! anyChanged)
        return;

    pushUndoState();
    sendAssignmentsChanged();
}

void Session::applyMatchResult (Track& track, const MatchResult& result)
{
    track.stemId = result.stemId;
    track.confidence = result.confidence;
    track.reason = result.explanation;
    track.matchedKeywords = result.matchedKeywords;
    track.candidates = result.candidates;
    track.source = result.stemId.isNotEmpty() ? AssignmentSource::automatic : AssignmentSource::none;
}

void Session::autoAssign()
{
    matchTracks (true);
}

int Session::countManualAssignments() const
{
    return (int) std::count_if (tracks.begin(), tracks.end(), [] (const Track& t)
                                { return t.source == AssignmentSource::manual; });
}

void Session::matchTracks (bool includingManual)
{
    activeMatchOptions = matchOptions;
    std::optional<KeywordMatcher> matcher; // one per pass, built when a track needs it

    for (auto& track : tracks)
    {
        if (track.source == AssignmentSource::locked || (track.source == AssignmentSource::manual && ! includingManual))
            continue;

        if (! track.isReadable())
        {
            track.stemId.clear();
            track.source = AssignmentSource::none;
            track.confidence = Confidence::unassigned;
            track.reason = track.error;
            continue;
        }

        if (! matcher)
            matcher.emplace (preset.schema);

        applyMatchResult (track, matcher->match (activeMatchOptions, track.file.getFileName()));
    }

    pushUndoState();
    sendAssignmentsChanged();
}

void Session::setStaleAssignment (Track& track)
{
    track.stemId.clear();
    track.source = AssignmentSource::none;
    track.confidence = Confidence::unassigned;
    track.reason = staleStemReason;
    track.matchedKeywords.clear();
    track.candidates.clear();
}

void Session::dropStaleAssignments()
{
    std::unordered_set<juce::String> stemIds;

    for (const auto& stem : preset.schema.stems)
        stemIds.insert (stem.id);

    bool anyChanged = false;

    for (auto& track : tracks)
    {
        if (track.stemId.isNotEmpty() && stemIds.count (track.stemId) == 0)
        {
            setStaleAssignment (track);
            anyChanged = true;
        }
    }

    if (! anyChanged)
        return;

    pushUndoState();
    sendAssignmentsChanged();
}

void Session::setPreset (Preset newPreset)
{
    preset = std::move (newPreset);
    dropStaleAssignments();
    sendPresetChanged();

    // A hand-made decision whose stem the new preset also has is still the user's; those whose
    // stem went were dropped above and are matched like any other.
    matchTracks (false);
}

void Session::updatePreset (Preset newPreset)
{
    const auto oldFingerprint = preset.schema.getFingerprint();

    preset = std::move (newPreset);
    dropStaleAssignments();
    sendPresetChanged();

    if (preset.schema.getFingerprint() == oldFingerprint)
        return;

    activeMatchOptions = matchOptions;
    std::optional<KeywordMatcher> matcher;
    bool anyStemChanged = false;

    for (auto& track : tracks)
    {
        if (track.source == AssignmentSource::manual || track.source == AssignmentSource::locked || ! track.isReadable())
            continue;

        if (! matcher)
            matcher.emplace (preset.schema);

        const auto stemBefore = track.stemId;
        applyMatchResult (track, matcher->match (activeMatchOptions, track.file.getFileName()));
        anyStemChanged = anyStemChanged || track.stemId != stemBefore;
    }

    if (anyStemChanged)
        pushUndoState();

    sendAssignmentsChanged();
}

//==============================================================================
bool Session::addKeywordRule (const juce::String& stemId, const juce::String& keyword, juce::String& error)
{
    auto* stem = preset.schema.findStem (stemId);

    if (stem == nullptr)
    {
        error = "That stem is not part of the current schema.";
        return false;
    }

    const auto pattern = keyword.trim();

    if (pattern.isEmpty())
    {
        error = "A rule needs a keyword.";
        return false;
    }

    if (stem->rules.size() >= 2000)
    {
        error = "This stem already has the maximum number of rules.";
        return false;
    }

    for (const auto& rule : stem->rules)
    {
        if (rule.pattern.equalsIgnoreCase (pattern))
        {
            error = "'" + pattern + "' is already a rule for " + stem->displayName + ".";
            return false;
        }
    }

    KeywordRule rule;
    rule.pattern = pattern;
    rule.mode = defaultMatchModeFor (pattern);
    rule.priority = 0;
    rule.note = "Added from the review screen.";
    stem->rules.push_back (std::move (rule));

    error.clear();
    sendPresetChanged();
    return true;
}

juce::StringArray Session::suggestRuleKeywords (const juce::String& trackId) const
{
    const auto* track = findTrack (trackId);

    if (track == nullptr)
        return {};

    std::unordered_set<juce::String> knownWords; // lower-cased

    for (const auto& stem : preset.schema.stems)
        for (const auto& rule : stem.rules)
            for (const auto& token : tokenizeKeyword (rule.pattern))
                knownWords.insert (toLowerCaseFixed (token));

    juce::StringArray offered;

    for (const auto& token : analyseFileName (track->file.getFileName()).tokens)
    {
        if (token.length() <= 2 || isAllDigits (token) || knownWords.count (toLowerCaseFixed (token)) > 0)
            continue;

        offered.addIfNotAlreadyThere (token);
    }

    return offered;
}

juce::StringArray Session::suggestRuleKeywords (const Track& track) const
{
    return suggestRuleKeywords (track.id);
}

} // namespace dunmoor
