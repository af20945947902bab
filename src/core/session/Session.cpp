#include "Session.h"

#include <algorithm>

#include "core/files/FileRename.h"
#include "core/model/BuiltInPresets.h"

namespace dunmoor
{

//==============================================================================
Session::Session()
    : preset (makeEmptyPreset())
{
    activeMatchOptions = matchOptions;
    pushUndoState();
}

void Session::addListener (Listener* listener)
{
    if (listener != nullptr && std::find (listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back (listener);
}

void Session::removeListener (Listener* listener)
{
    listeners.erase (std::remove (listeners.begin(), listeners.end(), listener), listeners.end());
}

void Session::callListeners (void (Listener::*callback)())
{
    // A listener may add or remove listeners (itself included) from inside the call: work on a
    // copy, and skip any that has been removed by the time its turn comes.
    const auto toCall = listeners;

    for (auto* listener : toCall)
        if (std::find (listeners.begin(), listeners.end(), listener) != listeners.end())
            (listener->*callback)();
}

void Session::sendTracksChanged() { callListeners (&Listener::tracksChanged); }
void Session::sendAssignmentsChanged() { callListeners (&Listener::assignmentsChanged); }
void Session::sendPresetChanged() { callListeners (&Listener::presetChanged); }

//==============================================================================
const Track* Session::findTrack (const juce::String& trackId) const
{
    const auto entry = trackIndexById.find (trackId);
    return entry != trackIndexById.end() ? &tracks[entry->second] : nullptr;
}

const Cue* Session::findCue (const juce::String& cueKey) const
{
    const auto entry = cueIndexByKey.find (cueKey);
    return entry != cueIndexByKey.end() ? &cues[entry->second] : nullptr;
}

Track* Session::findTrackForEdit (const juce::String& trackId)
{
    return const_cast<Track*> (findTrack (trackId));
}

Cue* Session::findCueForEdit (const juce::String& cueKey)
{
    return const_cast<Cue*> (findCue (cueKey));
}

void Session::rebuildIndexes()
{
    trackIndexById.clear();
    trackIndexById.reserve (tracks.size());

    for (size_t i = 0; i < tracks.size(); ++i)
        trackIndexById.emplace (tracks[i].id, i); // keeps the first of equal ids

    cueIndexByKey.clear();
    cueIndexByKey.reserve (cues.size());

    for (size_t i = 0; i < cues.size(); ++i)
        cueIndexByKey.emplace (cues[i].key, i);

    trackCountByCueKey.clear();

    for (const auto& track : tracks)
        ++trackCountByCueKey[track.cueKey];
}

std::vector<Cue> Session::getCuesWithTracks() const
{
    std::vector<Cue> result;

    for (const auto& cue : cues)
        if (trackCountByCueKey.count (cue.key) > 0)
            result.push_back (cue);

    return result;
}

int Session::countReadableTracks() const
{
    int count = 0;

    for (const auto& track : tracks)
        if (track.isReadable())
            ++count;

    return count;
}

int Session::countTracksWithConfidence (Confidence confidence) const
{
    int count = 0;

    for (const auto& track : tracks)
        if (track.confidence == confidence)
            ++count;

    return count;
}

std::vector<const Track*> Session::getUnassignedTracks() const
{
    std::vector<const Track*> result;

    for (const auto& track : tracks)
        if (track.stemId.isEmpty())
            result.push_back (&track);

    return result;
}

//==============================================================================
bool Session::renameCue (const juce::String& cueKey, const juce::String& name)
{
    const auto trimmed = name.trim();

    if (! isUsableCueName (trimmed))
        return false;

    auto* cue = findCueForEdit (cueKey);

    if (cue == nullptr)
        return false;

    if (cue->name != trimmed)
    {
        cue->name = trimmed;
        pushUndoState();
        sendTracksChanged();
    }

    return true;
}

void Session::setCueIncluded (const juce::String& cueKey, bool included)
{
    auto* cue = findCueForEdit (cueKey);

    if (cue == nullptr || cue->included == included)
        return;

    cue->included = included;
    pushUndoState();
    sendTracksChanged();
}

void Session::setCueTrimStart (const juce::String& cueKey, double seconds)
{
    // Infinity (a project file may hold 1e999) is refused like a negative value.
    const auto value = std::isfinite (seconds) && seconds > 0.0 ? seconds : 0.0;
    auto* cue = findCueForEdit (cueKey);

    if (cue == nullptr || cue->trimStartSeconds == value)
        return;

    cue->trimStartSeconds = value;
    pushUndoState();
    sendTracksChanged();
}

void Session::setCueMixMember (const juce::String& cueKey, const AlternativeMix& mix, const juce::String& stemId, bool member)
{
    auto* cue = findCueForEdit (cueKey);

    if (cue == nullptr)
        return;

    auto entry = cue->mixOverrides.find (mix.id);

    if (entry == cue->mixOverrides.end())
        entry = cue->mixOverrides.emplace (mix.id, mix.stemIds).first;

    auto& members = entry->second;

    if (members.contains (stemId) == member)
        return;

    if (member)
        members.add (stemId);
    else
        members.removeString (stemId);

    pushUndoState();
    sendTracksChanged();
}

bool Session::restoreCueSettings (const Cue& saved)
{
    auto* cue = findCueForEdit (saved.key);

    if (cue == nullptr)
        return false;

    auto restored = *cue;
    const auto name = saved.name.trim();

    if (isUsableCueName (name))
        restored.name = name;

    restored.included = saved.included;
    restored.trimStartSeconds = std::isfinite (saved.trimStartSeconds) && saved.trimStartSeconds > 0.0 ? saved.trimStartSeconds : 0.0;
    restored.relativeName = sanitiseRelativeCueName (saved.relativeName);
    restored.mixOverrides = saved.mixOverrides;

    const auto changed = restored.name != cue->name
                      || restored.included != cue->included
                      || restored.trimStartSeconds != cue->trimStartSeconds
                      || restored.relativeName != cue->relativeName
                      || restored.mixOverrides != cue->mixOverrides;

    if (changed)
    {
        *cue = std::move (restored);
        pushUndoState();
        sendTracksChanged();
    }

    return true;
}

//==============================================================================
bool Session::renameTrackFile (const juce::String& trackId, const juce::String& newName, juce::String& error)
{
    auto* track = findTrackForEdit (trackId);

    if (track == nullptr)
    {
        error = "That track is no longer in the list.";
        return false;
    }

    if (! track->file.existsAsFile())
    {
        error = "That file is not where it was imported from. It may have been moved or renamed since it was added to the list.";
        return false;
    }

    juce::File renamedTo;

    if (! renameFileInFolder (track->file, newName, LetterCaseRename::carryOut, renamedTo, error))
        return false;

    if (renamedTo.getFullPathName() != track->file.getFullPathName())
    {
        track->file = renamedTo;
        sendTracksChanged();
    }

    return true;
}

} // namespace dunmoor
