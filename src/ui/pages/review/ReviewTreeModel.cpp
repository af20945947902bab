#include "ReviewTreeModel.h"

#include <unordered_map>

#include "ui/pages/AssignMenu.h"

namespace dunmoor::ui
{

ReviewFilter reviewFilterFromBoxId (int boxId)
{
    switch (boxId)
    {
        case 2:
            return ReviewFilter::needsAttention;
        case 3:
            return ReviewFilter::unassignedOnly;
        case 4:
            return ReviewFilter::ambiguousOnly;
        default:
            return ReviewFilter::everything;
    }
}

bool passesReviewFilter (const Track& track, ReviewFilter filter, const juce::String& chosenCueKey)
{
    if (chosenCueKey.isNotEmpty() && track.cueKey != chosenCueKey)
        return false;

    switch (filter)
    {
        case ReviewFilter::needsAttention:
            return track.stemId.isEmpty()
                   || track.confidence == Confidence::review
                   || track.confidence == Confidence::ambiguous;
        case ReviewFilter::unassignedOnly:
            return track.stemId.isEmpty();
        case ReviewFilter::ambiguousOnly:
            return track.confidence == Confidence::ambiguous;
        case ReviewFilter::everything:
        default:
            return true;
    }
}

juce::String ReviewHeading::getUniqueName() const
{
    return "stem:" + (stemId.isEmpty() ? juce::String ("unassigned") : stemId);
}

juce::String buildTrackRowName (const Session& session, const Track& track, bool severalCuesShown)
{
    auto name = track.file.getFileName();

    if (severalCuesShown)
        if (const auto* cue = session.findCue (track.cueKey); cue != nullptr && cue->name.isNotEmpty())
            name << "  (" << cue->name << ")";

    return name;
}

juce::String describeTrackCount (int count)
{
    return juce::String (count) + (count == 1 ? " track" : " tracks");
}

std::vector<ReviewHeading> buildReviewHeadings (const Session& session,
                                                bool alphabetical,
                                                ReviewFilter filter,
                                                const juce::String& chosenCueKey,
                                                juce::uint32 unassignedColour)
{
    const auto& stems = session.getPreset().schema.stems;

    std::vector<ReviewHeading> headings;
    headings.reserve (stems.size() + 1);

    ReviewHeading unassigned;
    unassigned.title = "Unassigned";
    unassigned.colour = unassignedColour;
    headings.push_back (unassigned);

    // A stem id maps to the first heading of that id; the schema keeps ids unique.
    std::unordered_map<juce::String, size_t> headingByStemId;
    headingByStemId.reserve (stems.size() * 2);

    for (const auto position : getStemMenuOrder (session.getPreset().schema, alphabetical))
    {
        const auto& stem = stems[(size_t) position];
        ReviewHeading heading;
        heading.stemId = stem.id;
        heading.title = getStemItemText (stem);
        heading.colour = stem.colour;
        headingByStemId.emplace (stem.id, headings.size());
        headings.push_back (std::move (heading));
    }

    for (const auto& track : session.getTracks())
    {
        if (! passesReviewFilter (track, filter, chosenCueKey))
            continue;

        if (track.stemId.isEmpty())
        {
            headings.front().trackIds.add (track.id);
            continue;
        }

        if (const auto found = headingByStemId.find (track.stemId); found != headingByStemId.end())
            headings[found->second].trackIds.add (track.id);
    }

    return headings;
}

juce::String buildReviewStatusText (const Session& session, const juce::String& chosenCueKey)
{
    int usable = 0, unassigned = 0, ambiguous = 0, toCheck = 0;

    for (const auto& track : session.getTracks())
    {
        if (chosenCueKey.isNotEmpty() && track.cueKey != chosenCueKey)
            continue;

        if (! track.isReadable())
            continue;

        ++usable;

        if (track.stemId.isEmpty())
            ++unassigned;

        if (track.confidence == Confidence::ambiguous)
            ++ambiguous;
        else if (track.confidence == Confidence::review)
            ++toCheck;
    }

    juce::String text;

    if (chosenCueKey.isNotEmpty())
        if (const auto* cue = session.findCue (chosenCueKey))
            text << cue->name << "   ";

    text << usable << " usable track(s)   "
         << unassigned << " unassigned   "
         << ambiguous << " ambiguous   "
         << toCheck << " to check";

    if (chosenCueKey.isEmpty() && session.getCuesWithTracks().size() >= 2)
        text << "      Choose a cue to hear its mix: cues are never summed together.";

    return text;
}

ReviewEnablement computeReviewEnablement (int undoIndex,
                                          int numUndoStates,
                                          int numSelectedTracks,
                                          bool hasAudioOutput,
                                          bool hasMixTracks)
{
    ReviewEnablement e;
    e.undo = undoIndex > 0;
    e.redo = undoIndex + 1 < numUndoStates;
    e.selectionActions = numSelectedTracks > 0;
    e.track = numSelectedTracks > 0 && hasAudioOutput;
    e.mix = hasAudioOutput && hasMixTracks;
    return e;
}

} // namespace dunmoor::ui
