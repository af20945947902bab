#include "TrackSplit.h"

#include "ImportRowModel.h"
#include "core/files/PathRules.h"
#include "core/session/ImportScanner.h"

namespace dunmoor::ui
{

const char* const splitRefusedTitle = "The stem was not split";

juce::File getNonexistentChildFileNamed (const juce::File& folder, const juce::String& name, const juce::String& suffix)
{
    auto file = getChildFileNamed (folder, name + suffix);

    if (! file.exists())
        return file;

    auto prefix = name;
    auto number = 1;
    auto brackets = false;

    // A name ending in a bracketed number counts on from it: "Take (2)" gives "Take (3)".
    if (prefix.trim().endsWithChar (')'))
    {
        brackets = true;
        const auto open = prefix.lastIndexOfChar ('(');
        const auto close = prefix.lastIndexOfChar (')');

        if (open > 0 && close > open && prefix.substring (open + 1, close).containsOnly ("0123456789"))
        {
            number = prefix.substring (open + 1, close).getIntValue();
            prefix = prefix.substring (0, open);
        }
    }

    do
    {
        auto candidate = prefix;

        if (brackets)
            candidate << '(' << ++number << ')';
        else
            candidate << (juce::CharacterFunctions::isDigit (prefix.getLastCharacter()) ? "_" : "") << ++number;

        file = getChildFileNamed (folder, candidate + suffix);
    } while (file.exists());

    return file;
}

juce::String getSuggestedSplitName (const juce::File& source)
{
    return source.getFileNameWithoutExtension() + " 2";
}

SplitPlan planSplit (const Session& session, const juce::String& trackId, double seconds, const juce::String& typedName)
{
    SplitPlan plan;
    const auto* track = session.findTrack (trackId);

    if (track == nullptr)
        return plan;

    plan.trackId = trackId;
    plan.seconds = seconds;
    plan.source = track->file;

    const auto folder = plan.source.getParentDirectory();
    const auto extension = plan.source.getFileExtension();
    const auto safeName = sanitiseFileName (typedName.trim(), "-", {}, 120);

    if (safeName.isEmpty())
    {
        plan.message = "That name has nothing in it that can be used for a file name.";
        return plan;
    }

    plan.newFile = getNonexistentChildFileNamed (folder, safeName, extension);
    plan.movedFile = getNonexistentChildFileNamed (folder, plan.source.getFileNameWithoutExtension() + "_splitted", extension);

    if (isSplitFileName (plan.newFile))
    {
        plan.message = "A name ending in \"_splitted\" marks the original of an earlier split, and such files are "
                       "never imported, so that half would be lost. Pick another name.";
        return plan;
    }

    if (! isPathLengthAcceptable (plan.newFile) || ! isPathLengthAcceptable (plan.movedFile))
    {
        plan.message = "That name makes the path too long for this system.";
        return plan;
    }

    // The track gives way to two: the list needs room for one more.
    if ((int) session.getTracks().size() >= Session::maxTracks)
    {
        plan.message = "The list already holds " + juce::String (Session::maxTracks)
                     + " tracks, the most it can, so the second half could not be added. Remove a track first.";
        return plan;
    }

    plan.ok = true;
    return plan;
}

SplitOutcome performSplit (Session& session,
                           const SplitPlan& plan,
                           const std::function<void (const juce::File&)>& forgetWaveform,
                           const Splitter& splitter)
{
    SplitOutcome outcome;
    const auto* track = session.findTrack (plan.trackId);

    if (! plan.ok || track == nullptr)
        return outcome;

    Cue savedCue;
    const auto* cue = session.findCue (track->cueKey);
    const auto hasCue = cue != nullptr;

    if (hasCue)
        savedCue = *cue;

    if (! plan.source.moveFileTo (plan.movedFile))
    {
        outcome.title = splitRefusedTitle;
        outcome.message = "The original could not be renamed. It may be open in another program.";
        return outcome;
    }

    const auto result = splitter ({ plan.movedFile, plan.seconds, plan.source, plan.newFile, splitCrossfadeMs });

    if (! result.ok)
    {
        outcome.title = splitRefusedTitle;
        outcome.message = result.error;

        if (! plan.movedFile.moveFileTo (plan.source))
            outcome.message << "\n\nThe original could not be given its name back. It is kept as '"
                            << plan.movedFile.getFullPathName() << "'.";

        return outcome;
    }

    if (forgetWaveform)
    {
        forgetWaveform (plan.source);
        forgetWaveform (plan.newFile);
        forgetWaveform (plan.movedFile);
    }

    session.removeTracks ({ plan.trackId });
    const auto summary = session.importFiles ({ plan.source, plan.newFile }, false);

    if (hasCue)
        (void) session.restoreCueSettings (savedCue);

    outcome.split = true;

    if (const auto box = describeImportSummary (summary); box.show)
    {
        outcome.warning = box.warning;
        outcome.title = box.title;
        outcome.message = box.message;
    }

    return outcome;
}

} // namespace dunmoor::ui
