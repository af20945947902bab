#include "Session.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "core/audio/AudioFileProbe.h"
#include "core/files/FileRename.h"
#include "core/files/FolderListing.h"

namespace dunmoor
{

const Cue& Session::cueForFile (const juce::File& file, const juce::File& importRoot)
{
    const auto folder = file.getParentDirectory();
    const auto key = stableIdFromText (folder.getFullPathName());

    if (const auto* existing = findCue (key))
        return *existing;

    Cue cue;
    cue.key = key;
    cue.folder = folder;
    cue.name = folder.getFileName();

    if (cue.name.trim().isEmpty())
        cue.name = importRoot.getFileName();

    cue.relativeName = relativeCueNameOf (folder, importRoot);

    cues.push_back (std::move (cue));
    cueIndexByKey.emplace (key, cues.size() - 1);
    return cues.back();
}

//==============================================================================
ImportSummary Session::importFiles (const juce::Array<juce::File>& paths, bool recurse)
{
    ImportSummary summary;
    std::vector<ScannedFile> found;
    const auto tracksBefore = tracks.size();

    for (const auto& path : paths)
    {
        // A path that is not valid UTF-8 goes no further: the folder scan's own rule for names.
        if (! isWellFormedText (path.getFullPathName()))
        {
            summary.messages.add (describeNameNotImported (showLastPathPart (path.getFullPathName())));
            continue;
        }

        scanImportPath (path, settleImportRoot (path), recurse, 0, found, summary);
    }

    // Tracks by lower-cased path, for the duplicate test.
    std::unordered_map<juce::String, std::vector<size_t>> tracksByPath;
    tracksByPath.reserve (tracks.size() + found.size());

    for (size_t i = 0; i < tracks.size(); ++i)
        tracksByPath[tracks[i].file.getFullPathName().toLowerCase()].push_back (i);

    const auto projectRate = preset.exportSettings.masterSampleRate;

    for (const auto& scanned : found)
    {
        if ((int) tracks.size() >= maxTracks)
        {
            summary.messages.add ("Stopped at the limit of " + juce::String (maxTracks) + " tracks.");
            break;
        }

        const auto fullPath = scanned.file.getFullPathName();
        auto& sameNamed = tracksByPath[fullPath.toLowerCase()];

        // Paths equal ignoring case are the same track, unless the disk tells two existing
        // files apart; then the new one becomes a track of its own rather than vanish.
        bool isDuplicate = false;

        for (auto i : sameNamed)
            isDuplicate = isDuplicate || tracks[i].file.getFullPathName() == fullPath || ! areDifferentFilesOnDisk (tracks[i].file, scanned.file);

        if (isDuplicate)
        {
            ++summary.alreadyInList;
            continue;
        }

        Track track;
        track.id = newUuidString();
        track.file = scanned.file;

        const auto& cue = cueForFile (scanned.file, scanned.importRoot);
        track.cueKey = cue.key;

        juce::String error;
        juce::StringArray probeWarnings;

        if (probeAudioFile (scanned.file, track.info, error, &probeWarnings))
        {
            ++summary.imported;

            if (std::abs (track.info.sampleRate - projectRate) > 0.5)
                track.warnings.add ("Sample rate is " + formatKilohertzWithOneDecimal (track.info.sampleRate)
                                    + "; it will be converted to " + formatKilohertzWithOneDecimal (projectRate) + ".");

            if (track.info.numChannels > 2)
                track.warnings.add (juce::String (track.info.numChannels) + " channels; check that the delivery expects this width.");

            track.warnings.addArray (probeWarnings);
        }
        else
        {
            track.error = error;
            ++summary.unreadable;
            summary.messages.add (scanned.file.getFileName() + ": " + error);
        }

        // Folders differing only in letter case share a cue; on a disk that tells them apart,
        // say so beside the track rather than let two folders merge unnoticed.
        const auto folderPath = scanned.file.getParentDirectory().getFullPathName();

        if (folderPath != cue.folder.getFullPathName())
            track.warnings.add ("Its folder '" + folderPath + "' differs only in letter case from '"
                                + cue.folder.getFullPathName() + "'; both folders form one cue.");

        sameNamed.push_back (tracks.size());
        trackIndexById.emplace (track.id, tracks.size());
        ++trackCountByCueKey[track.cueKey];
        tracks.push_back (std::move (track));
    }

    // A file left out for its name belongs to the cue of its folder, when the folder has one.
    for (const auto& left : summary.namesLeftOut)
        if (auto* cue = findCueForEdit (stableIdFromText (left.folder.getFullPathName())))
            cue->namesLeftOut.addIfNotAlreadyThere (left.shownName);

    // An import that added nothing (a folder without audio, files already in the list) changed
    // nothing: a notification would mark the project as changed since it was saved.
    if (tracks.size() > tracksBefore || ! summary.namesLeftOut.empty())
        sendTracksChanged();

    // Only the new tracks and those the user never decided are matched: an import must not undo
    // what was assigned by hand in any cue.
    if (summary.imported > 0)
        matchTracks (false);

    return summary;
}

void Session::clear()
{
    if (tracks.empty())
        return;

    tracks.clear();
    cues.clear();
    rebuildIndexes();
    pushUndoState();
    sendTracksChanged();
}

void Session::removeTracks (const juce::StringArray& trackIds)
{
    const std::unordered_set<juce::String> ids (trackIds.begin(), trackIds.end());
    const auto sizeBefore = tracks.size();

    const auto isListed = [&ids] (const Track& t)
    { return ids.count (t.id) > 0; };
    tracks.erase (std::remove_if (tracks.begin(), tracks.end(), isListed), tracks.end());

    if (tracks.size() == sizeBefore)
        return;

    std::unordered_set<juce::String> usedKeys;

    for (const auto& track : tracks)
        usedKeys.insert (track.cueKey);

    const auto isEmptyCue = [&usedKeys] (const Cue& c)
    { return usedKeys.count (c.key) == 0; };
    cues.erase (std::remove_if (cues.begin(), cues.end(), isEmptyCue), cues.end());

    rebuildIndexes();
    pushUndoState();
    sendTracksChanged();
}

} // namespace dunmoor
