#include "Session.h"

#include <algorithm>
#include <map>

#include "core/files/FileRename.h"
#include "core/session/ProjectFile.h"

namespace dunmoor
{

//==============================================================================
void Session::applyProjectDocument (const ProjectDocument& document, juce::StringArray& missing)
{
    clear();
    setPreset (document.preset);

    // The saved tracks come back file by file. Their folders imported whole would also bring in
    // every other file below them, only to be removed again below; on the way those could fill
    // the session's track limit before a saved file's turn came, and then it would be lost. A
    // document listing no track at all (written by hand) imports its folders whole.
    if (! document.tracks.empty())
    {
        juce::Array<juce::File> savedFiles;

        for (const auto& saved : document.tracks)
            if (juce::File::isAbsolutePath (saved.path))
                savedFiles.add (juce::File (saved.path));

        (void) importFiles (savedFiles, false);
    }
    else if (! document.importedFolders.isEmpty())
    {
        (void) importFiles (document.importedFolders, document.recurseSubfolders);
    }

    bool relativeNameChanged = false;

    for (const auto& saved : document.cues)
    {
        // A relative text would name a folder below the working directory; it came from no save.
        if (! juce::File::isAbsolutePath (saved.folder))
            continue;

        const auto key = stableIdFromText (juce::File (saved.folder).getFullPathName());

        if (findCue (key) == nullptr)
            continue; // its folder did not come back and is listed as missing

        (void) renameCue (key, saved.name); // a refused name leaves the folder's name
        setCueIncluded (key, saved.included);
        setCueTrimStart (key, saved.trimStartSeconds);

        for (const auto& mix : preset.schema.alternativeMixes)
        {
            const auto members = saved.mixOverrides.find (mix.id);

            if (members == saved.mixOverrides.end())
                continue;

            for (const auto& stem : preset.schema.stems)
                setCueMixMember (key, mix, stem.id, members->second.contains (stem.id));
        }

        // The re-import measures each folder from its own parent, which would move a mirrored
        // delivery of Reel1/Cue1 to Cue1; the saved place below the first import root wins.
        if (saved.hasRelativeName)
        {
            auto* cue = findCueForEdit (key);
            const auto relativeName = sanitiseRelativeCueName (saved.relativeName);

            if (cue->relativeName != relativeName)
            {
                cue->relativeName = relativeName;
                relativeNameChanged = true;
            }
        }
    }

    if (relativeNameChanged)
        sendTracksChanged();

    // Each saved track claims the track of its path: the one of exactly that path, else one
    // whose path differs only in letter case and that the disk says is the same file. On a disk
    // that tells case apart, a saved file that is gone must not take over the assignment of
    // another file whose name differs only in case; it is missing.
    std::unordered_map<juce::String, std::vector<size_t>> tracksByPath;
    tracksByPath.reserve (tracks.size());

    for (size_t i = 0; i < tracks.size(); ++i)
        tracksByPath[tracks[i].file.getFullPathName().toLowerCase()].push_back (i);

    std::vector<bool> listed (tracks.size(), false);
    std::map<juce::String, juce::StringArray> groups; // stem id -> track ids, in text order
    juce::StringArray toLock;

    for (const auto& saved : document.tracks)
    {
        const Track* found = nullptr;

        if (juce::File::isAbsolutePath (saved.path))
        {
            const auto fullPath = juce::File (saved.path).getFullPathName();
            const auto candidates = tracksByPath.find (fullPath.toLowerCase());

            if (candidates != tracksByPath.end())
            {
                for (auto i : candidates->second)
                    if (tracks[i].file.getFullPathName() == fullPath)
                        found = &tracks[i];

                for (auto i : candidates->second)
                    if (found == nullptr && isSameFileOnDisk (juce::File (fullPath), tracks[i].file))
                        found = &tracks[i];

                if (found != nullptr)
                    listed[(size_t) (found - tracks.data())] = true;
            }
        }

        if (found == nullptr)
        {
            missing.addIfNotAlreadyThere (saved.path);
            continue;
        }

        if ((saved.source == AssignmentSource::manual || saved.source == AssignmentSource::locked) && saved.stemId.isNotEmpty())
            groups[saved.stemId].add (found->id);

        if (saved.locked)
            toLock.add (found->id);
    }

    // Anything else the re-import found is not part of the project (a file given as a path that
    // is now a folder brings that folder's files); it would be assigned and delivered. A
    // document listing no track at all keeps the re-import whole rather than empty the session.
    if (! document.tracks.empty())
    {
        juce::StringArray unlisted;

        for (size_t i = 0; i < tracks.size(); ++i)
            if (! listed[i])
                unlisted.add (tracks[i].id);

        if (! unlisted.isEmpty())
            removeTracks (unlisted);
    }

    for (const auto& [stemId, ids] : groups)
        assignTracks (ids, stemId, false);

    if (! toLock.isEmpty())
        setTracksLocked (toLock, true);
}

} // namespace dunmoor
