#include "Session.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_set>

#include "core/audio/AudioFileProbe.h"
#include "core/model/BuiltInPresets.h"
#include "core/files/PathRules.h"
#include "core/files/FileRename.h"
#include "core/session/ProjectFile.h"

namespace dunmoor
{

namespace
{
    const char* const staleStemReason = "The stem this track was assigned to no longer exists in the schema.";

    // The framework hashes its strings for the standard containers.
    using StringSet = std::unordered_set<juce::String>;

    bool isSeparator (juce::juce_wchar c)
    {
        return c == '/' || c == juce::File::getSeparatorChar();
    }

    juce::String withoutTrailingSeparators (juce::String path)
    {
        while (path.isNotEmpty() && isSeparator (path.getLastCharacter()))
            path = path.dropLastCharacters (1);

        return path;
    }

    // Folder names below an import root, split at separators, blank parts dropped and each part
    // made safe, joined with "/". Nothing of it can climb out of a folder: ".." becomes a word.
    juce::String sanitisedRelativeName (const juce::String& rest)
    {
        juce::StringArray parts;
        juce::String part;

        auto addPart = [&parts, &part]
        {
            if (part.trim().isNotEmpty())
                parts.add (sanitiseFileName (part, "-", "untitled", 120));

            part.clear();
        };

        for (auto p = rest.getCharPointer(); ! p.isEmpty();)
        {
            const auto c = p.getAndAdvance();

            if (isSeparator (c))
                addPart();
            else
                part += juce::String::charToString (c);
        }

        addPart();
        return parts.joinIntoString ("/");
    }

    juce::String relativeNameOf (const juce::File& folder, const juce::File& importRoot)
    {
        const auto folderPath = folder.getFullPathName();
        const auto rootPath = importRoot.getFullPathName();

        if (folderPath.equalsIgnoreCase (rootPath))
            return {};

        // A volume root's path already ends in a separator; without stripping it the prefix
        // below would hold two separators and never match.
        const auto prefix = withoutTrailingSeparators (rootPath) + juce::File::getSeparatorString();

        if (! folderPath.startsWithIgnoreCase (prefix))
            return {};

        return sanitisedRelativeName (folderPath.substring (prefix.length()));
    }

    bool isUsableCueName (const juce::String& name)
    {
        if (name.isEmpty() || name.length() > 4096)
            return false;

        if (name.containsChar ('/') || name.containsChar ('\\') || name.contains (".."))
            return false;

        for (auto p = name.getCharPointer(); ! p.isEmpty();)
        {
            const auto c = p.getAndAdvance();

            if (c < 32 || c == 127)
                return false;
        }

        return true;
    }

    bool isAllDigits (const juce::String& text)
    {
        return text.isNotEmpty() && text.containsOnly ("0123456789");
    }
} // namespace

//==============================================================================
juce::String stableIdFromText (const juce::String& text)
{
    uint64_t h = 0;
    const auto lower = text.toLowerCase();

    for (auto p = lower.getCharPointer(); ! p.isEmpty();)
        h = h * 101u + (uint64_t) p.getAndAdvance();

    if (h == 0)
        return "0";

    const char* const digits = "0123456789abcdef";
    char buffer[17] = {};
    int start = 16;

    while (h != 0)
    {
        buffer[--start] = digits[h & 15u];
        h >>= 4;
    }

    return juce::String (buffer + start);
}

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

    cue.relativeName = relativeNameOf (folder, importRoot);

    cues.push_back (std::move (cue));
    cueIndexByKey.emplace (key, cues.size() - 1);
    return cues.back();
}

//==============================================================================
ImportSummary Session::importFiles (const juce::Array<juce::File>& paths, bool recurse)
{
    ImportSummary summary;
    std::vector<ScannedFile> found;

    for (const auto& path : paths)
        scanImportPath (path, settleImportRoot (path), recurse, 0, found, summary);

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

        if (probeAudioFile (scanned.file, track.info, error))
        {
            ++summary.imported;

            if (std::abs (track.info.sampleRate - projectRate) > 0.5)
                track.warnings.add ("Sample rate is " + formatKilohertzWithOneDecimal (track.info.sampleRate)
                                    + "; it will be converted to " + formatKilohertzWithOneDecimal (projectRate) + ".");

            if (track.info.numChannels > 2)
                track.warnings.add (juce::String (track.info.numChannels) + " channels; check that the delivery expects this width.");
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

    sendTracksChanged();

    if (summary.imported > 0)
        autoAssign();

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
    const StringSet ids (trackIds.begin(), trackIds.end());
    const auto sizeBefore = tracks.size();

    const auto isListed = [&ids] (const Track& t)
    { return ids.count (t.id) > 0; };
    tracks.erase (std::remove_if (tracks.begin(), tracks.end(), isListed), tracks.end());

    if (tracks.size() == sizeBefore)
        return;

    StringSet usedKeys;

    for (const auto& track : tracks)
        usedKeys.insert (track.cueKey);

    const auto isEmptyCue = [&usedKeys] (const Cue& c)
    { return usedKeys.count (c.key) == 0; };
    cues.erase (std::remove_if (cues.begin(), cues.end(), isEmptyCue), cues.end());

    rebuildIndexes();
    pushUndoState();
    sendTracksChanged();
}

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
    activeMatchOptions = matchOptions;
    std::optional<KeywordMatcher> matcher; // one per pass, built when a track needs it

    for (auto& track : tracks)
    {
        if (track.source == AssignmentSource::locked)
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
    StringSet stemIds;

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
    autoAssign();
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
    rule.mode = pattern.containsChar (' ') ? MatchMode::phrase : MatchMode::token;
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

    StringSet knownWords; // lower-cased

    for (const auto& stem : preset.schema.stems)
        for (const auto& rule : stem.rules)
            for (const auto& token : tokenizeKeyword (rule.pattern))
                knownWords.insert (token.toLowerCase());

    juce::StringArray offered;

    for (const auto& token : analyseFileName (track->file.getFileName()).tokens)
    {
        if (token.length() <= 2 || isAllDigits (token) || knownWords.count (token.toLowerCase()) > 0)
            continue;

        offered.addIfNotAlreadyThere (token);
    }

    return offered;
}

juce::StringArray Session::suggestRuleKeywords (const Track& track) const
{
    return suggestRuleKeywords (track.id);
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
    restored.relativeName = sanitisedRelativeName (saved.relativeName);
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
            const auto relativeName = sanitisedRelativeName (saved.relativeName);

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

    StringSet stemIds;

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
