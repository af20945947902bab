#include "ReviewAudition.h"

#include <cmath>
#include <unordered_set>

namespace dunmoor::ui
{

juce::String makeTrackPreviewKey (const juce::StringArray& selectedTrackIds)
{
    if (selectedTrackIds.isEmpty())
        return "track:none";

    return "track:" + selectedTrackIds.joinIntoString ("+");
}

juce::String makeMixPreviewKey (const juce::String& cueKey, const juce::String& mixId)
{
    return "mix:" + cueKey + ":" + mixId;
}

AuditionRequest makeSelectionAudition (const Session& session, const juce::StringArray& selectedTrackIds)
{
    AuditionRequest request;
    request.id = makeTrackPreviewKey (selectedTrackIds);

    for (const auto& id : selectedTrackIds)
    {
        if (const auto* track = session.findTrack (id))
        {
            if (request.files.isEmpty())
                request.caption = track->file.getFileName();

            request.files.add (track->file.getFullPathName());
        }
    }

    if (selectedTrackIds.size() > 1)
        request.caption << " + " << (selectedTrackIds.size() - 1) << " more";

    return request;
}

std::vector<const Track*> getMixTrackList (const Session& session, const juce::String& cueKey, const juce::String& mixId)
{
    std::vector<const Track*> result;

    if (cueKey.isEmpty() && session.getCuesWithTracks().size() >= 2)
        return result;

    const auto* mix = mixId.isNotEmpty() ? session.getPreset().schema.findAlternativeMix (mixId) : nullptr;

    // Member lists per cue, looked up once: a cue may keep its own members for the mix.
    const Cue* lastCue = nullptr;
    juce::String lastCueKey;
    std::unordered_set<juce::String> members;
    bool haveMembers = false;

    for (const auto& track : session.getTracks())
    {
        if (cueKey.isNotEmpty() && track.cueKey != cueKey)
            continue;

        if (! track.isReadable() || track.stemId.isEmpty())
            continue;

        if (mix != nullptr)
        {
            if (! haveMembers || track.cueKey != lastCueKey)
            {
                lastCue = session.findCue (track.cueKey);
                lastCueKey = track.cueKey;
                members.clear();

                for (const auto& stemId : lastCue != nullptr ? lastCue->getAlternativeMixStems (*mix) : mix->stemIds)
                    members.insert (stemId);

                haveMembers = true;
            }

            if (members.count (track.stemId) == 0)
                continue;
        }

        result.push_back (&track);
    }

    return result;
}

juce::StringArray getMixTrackFiles (const Session& session, const juce::String& cueKey, const juce::String& mixId)
{
    juce::StringArray files;

    for (const auto* track : getMixTrackList (session, cueKey, mixId))
        files.add (track->file.getFullPathName());

    return files;
}

AuditionRequest makeMixAudition (const Session& session, const juce::String& cueKey, const juce::String& mixId)
{
    AuditionRequest request;
    request.files = getMixTrackFiles (session, cueKey, mixId);
    request.id = makeMixPreviewKey (cueKey, mixId);

    juce::String label ("Full mix");

    if (const auto* mix = mixId.isNotEmpty() ? session.getPreset().schema.findAlternativeMix (mixId) : nullptr)
        label = mix->name;

    if (const auto* cue = session.findCue (cueKey))
        label = cue->name + " - " + label;

    request.caption = label + " (" + juce::String (request.files.size()) + " tracks)";
    return request;
}

std::vector<const Track*> getPlayingTracks (const Session& session, const juce::String& auditionId)
{
    std::vector<const Track*> result;

    if (auditionId.startsWith ("track:"))
    {
        for (const auto& id : juce::StringArray::fromTokens (auditionId.fromFirstOccurrenceOf ("track:", false, false), "+", {}))
            if (const auto* track = session.findTrack (id))
                result.push_back (track);
    }
    else if (auditionId.startsWith ("mix:"))
    {
        // "mix:" + cue key + ":" + mix id; a cue key is hexadecimal and holds no colon.
        const auto rest = auditionId.fromFirstOccurrenceOf ("mix:", false, false);
        result = getMixTrackList (session,
                                  rest.upToFirstOccurrenceOf (":", false, false),
                                  rest.fromFirstOccurrenceOf (":", false, false));
    }

    return result;
}

PreviewStart computePreviewStart (std::optional<double> fraction, double shownDurationSeconds)
{
    if (! fraction.has_value() || ! (shownDurationSeconds > 0.0))
        return {};

    const auto f = std::isfinite (*fraction) ? juce::jlimit (0.0, 1.0, *fraction) : 0.0;
    const auto t = f * shownDurationSeconds;

    if (t >= windowStartThresholdSeconds)
        return { t, t };

    return { 0.0, t };
}

SeekAction chooseSeekAction (bool showsWholeTrack, bool selectionActive, bool mixRequested, bool playing)
{
    if (showsWholeTrack && selectionActive)
        return SeekAction::seekInFile;

    if (! showsWholeTrack && (selectionActive || mixRequested) && playing)
        return SeekAction::seekInWindow;

    return SeekAction::startAtPoint;
}

} // namespace dunmoor::ui
