#include "Session.h"

#include <algorithm>
#include <unordered_set>

namespace dunmoor
{

//==============================================================================
UndoSnapshot Session::captureSnapshot() const
{
    UndoSnapshot snapshot;
    snapshot.tracks.reserve (tracks.size());
    snapshot.cues.reserve (cues.size());

    for (const auto& track : tracks)
        snapshot.tracks.push_back ({ track.id, track.stemId, track.source, track.confidence, track.reason, track.matchedKeywords });

    for (const auto& cue : cues)
        snapshot.cues.push_back ({ cue.key, cue.name });

    return snapshot;
}

void Session::pushUndoState()
{
    if ((size_t) (undoIndex + 1) < undoHistory.size())
        undoHistory.erase (undoHistory.begin() + (undoIndex + 1), undoHistory.end());

    undoHistory.push_back (captureSnapshot());

    if ((int) undoHistory.size() > maxUndoStates)
        undoHistory.erase (undoHistory.begin());

    undoIndex = (int) undoHistory.size() - 1;
}

void Session::restoreSnapshot (const UndoSnapshot& snapshot)
{
    for (const auto& saved : snapshot.cues)
        if (auto* cue = findCueForEdit (saved.key))
            cue->name = saved.name;

    std::unordered_set<juce::String> stemIds;

    for (const auto& stem : preset.schema.stems)
        stemIds.insert (stem.id);

    for (const auto& saved : snapshot.tracks)
    {
        auto* track = findTrackForEdit (saved.id);

        if (track == nullptr)
            continue;

        // A stem removed since this state was saved must not come back as an assignment the
        // schema cannot deliver; the track would silently drop out of the delivery.
        if (saved.stemId.isNotEmpty() && stemIds.count (saved.stemId) == 0)
        {
            setStaleAssignment (*track);
            continue;
        }

        track->stemId = saved.stemId;
        track->source = saved.source;
        track->confidence = saved.confidence;
        track->reason = saved.reason;
        track->matchedKeywords = saved.matchedKeywords;
    }
}

void Session::forgetUndoHistory()
{
    undoHistory.clear();
    undoHistory.push_back (captureSnapshot());
    undoIndex = 0;
}

void Session::undo()
{
    if (undoIndex <= 0)
        return;

    --undoIndex;
    restoreSnapshot (undoHistory[(size_t) undoIndex]);
    sendAssignmentsChanged();
    sendTracksChanged();
}

void Session::redo()
{
    if ((size_t) (undoIndex + 1) >= undoHistory.size())
        return;

    ++undoIndex;
    restoreSnapshot (undoHistory[(size_t) undoIndex]);
    sendAssignmentsChanged();
    sendTracksChanged();
}

} // namespace dunmoor
