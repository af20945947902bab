#pragma once

#include <unordered_map>
#include <vector>

#include <juce_core/juce_core.h>

#include "core/model/Preset.h"
#include "core/session/Cue.h"
#include "core/session/ImportScanner.h"
#include "core/session/KeywordMatcher.h"
#include "core/session/Track.h"
#include "core/session/UndoSnapshot.h"

namespace dunmoor
{

struct ProjectDocument;

/**
    The project in memory: the working copy of the preset, the imported tracks, the cues they
    came from, the matcher settings, the undo history and the listeners.

    Every change goes through an operation here, and every operation tells the listeners what
    changed, synchronously, before it returns; a listener may read the session from inside a
    notification. Message thread only; there is no lock.

    Lookups by track id and cue key go through hash indexes kept beside the lists, so the pages
    may look up every row without the cost growing with the square of the track count.
*/
class Session
{
public:
    /** Parties that want to hear about changes. Calls come in the order of adding (the framework's
        listener list of this version calls the last added first, so the session keeps its own). */
    struct Listener
    {
        virtual ~Listener() = default;

        /** Tracks or cues were added, removed or edited. */
        virtual void tracksChanged() {}

        /** The stem, source, confidence or reason of one or more tracks changed. */
        virtual void assignmentsChanged() {}

        /** The session's preset changed. */
        virtual void presetChanged() {}
    };

    /** Tracks a session holds at most. */
    static constexpr int maxTracks = 2048;

    /** Undo states kept at most. */
    static constexpr int maxUndoStates = 200;

    /** The built-in empty preset, no tracks, and one undo state of that. Sends nothing. */
    Session();

    //==============================================================================
    /** A listener is held once however often it is added. Not owned. */
    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    //==============================================================================
    /** The working copy of the preset; change it through setPreset and updatePreset. */
    const Preset& getPreset() const noexcept { return preset; }

    /** Imported files, in import order. */
    const std::vector<Track>& getTracks() const noexcept { return tracks; }

    /** One cue per source folder, in order of creation. */
    const std::vector<Cue>& getCues() const noexcept { return cues; }

    /** The matcher settings (fuzzy off, distance 1, length 5); nothing changes them. */
    const MatchOptions& getMatchOptions() const noexcept { return matchOptions; }

    /** Index of the undo state that equals the current state (0 after construction). */
    int getUndoIndex() const noexcept { return undoIndex; }

    /** Number of stored undo states, at most maxUndoStates. */
    int getNumUndoStates() const noexcept { return (int) undoHistory.size(); }

    const std::vector<UndoSnapshot>& getUndoHistory() const noexcept { return undoHistory; }

    //==============================================================================
    /** The track with this id (exact), or nullptr. Valid until tracks are next added or removed. */
    const Track* findTrack (const juce::String& trackId) const;

    /** The cue with this key (exact), or nullptr. Valid until cues are next added or removed. */
    const Cue* findCue (const juce::String& cueKey) const;

    /** Copies of the cues, in cue order, that at least one track (readable or not) points to.
        Costs one look-up per cue, whatever the number of tracks. */
    std::vector<Cue> getCuesWithTracks() const;

    /** Tracks without a probe error and with at least one frame. */
    int countReadableTracks() const;

    int countTracksWithConfidence (Confidence confidence) const;

    /** The tracks without a stem, unreadable ones included, in track order. */
    std::vector<const Track*> getUnassignedTracks() const;

    /**
        The cue of a scanned file's folder, created (and appended) when the session has none
        with that folder's key. Folders whose paths differ only in letter case share one cue.
        The reference is valid until cues are next added or removed.
    */
    const Cue& cueForFile (const juce::File& file, const juce::File& importRoot);

    //==============================================================================
    /**
        Scans the files and folders (sub-folders only when recurse is set), groups the new files
        into cues, probes each one, keeps unreadable ones with their error, then, when at least
        one new file was readable, matches every track that is neither manual nor locked (one undo
        state and assignmentsChanged). Never fails as a whole. Sends tracksChanged always.
    */
    ImportSummary importFiles (const juce::Array<juce::File>& paths, bool recurse);

    /** Removes every track and cue. Does nothing (no undo state, no notification) when empty. */
    void clear();

    /** Removes the listed tracks and then every cue left without a track. Files stay on disk. */
    void removeTracks (const juce::StringArray& trackIds);

    //==============================================================================
    /** Assigns the listed tracks to the stem as manual (or locked) decisions, or unassigns them
        when stemId is empty. Nothing happens for a stem the schema does not have. */
    void assignTracks (const juce::StringArray& trackIds, const juce::String& stemId, bool lock);

    /** Locks (or unlocks to manual) every listed track that has a stem. */
    void setTracksLocked (const juce::StringArray& trackIds, bool lock);

    /** Matches every track that is not locked, manual ones included: the user's explicit re-run.
        Always leaves an undo state and sends assignmentsChanged. */
    void autoAssign();

    /** Tracks assigned by hand and not locked: what autoAssign would replace. */
    int countManualAssignments() const;

    /** Unassigns every track whose stem the schema no longer has, locked ones included. */
    void dropStaleAssignments();

    /** Replaces the working copy with another preset, drops the assignments to stems it does not
        have, then matches every track that is neither manual nor locked. */
    void setPreset (Preset newPreset);

    /** Replaces the working copy with an edited version of itself. When what matching depends on
        changed, re-matches the readable tracks that are neither manual nor locked. */
    void updatePreset (Preset newPreset);

    //==============================================================================
    /** Adds a token (or, with a space, phrase) rule to the stem. False with a message in error
        when refused. Takes effect at the next automatic run; leaves no undo state. */
    [[nodiscard]] bool addKeywordRule (const juce::String& stemId, const juce::String& keyword, juce::String& error);

    /** Words of the track's file name that no rule of the schema knows yet, for offering as
        new rules: longer than 2 characters, not all digits, each once, in file-name order. */
    juce::StringArray suggestRuleKeywords (const juce::String& trackId) const;

    /** The same for a track record; empty unless a track with its id is in the session. */
    juce::StringArray suggestRuleKeywords (const Track& track) const;

    //==============================================================================
    /** Renames the cue. False for an unusable name (empty, over 4096 characters, a slash or
        backslash, "..", a control character) or an unknown key; true otherwise, also when the
        name stays the same. */
    [[nodiscard]] bool renameCue (const juce::String& cueKey, const juce::String& name);

    void setCueIncluded (const juce::String& cueKey, bool included);

    /** Sets the leading-silence cut; a negative or non-finite value gives 0. */
    void setCueTrimStart (const juce::String& cueKey, double seconds);

    /** Adds the stem to, or removes it from, the cue's own member list of the mix; the list
        starts as a copy of the mix's members the first time the cue's membership is set. */
    void setCueMixMember (const juce::String& cueKey, const AlternativeMix& mix, const juce::String& stemId, bool member);

    /**
        Gives the cue of the same key the settings of a saved copy: name (an unusable one keeps
        the current name), tick, leading-silence cut, place below the import root and
        alternative-mix members. Used when a cue's tracks are removed and imported again, which
        makes the cue anew from its folder. One undo state and one tracksChanged when anything
        changed; false when no cue has that key.
    */
    bool restoreCueSettings (const Cue& saved);

    //==============================================================================
    /**
        Renames a track's source file within its folder, keeping its extension. False with a
        message in error when refused or when the move fails; the disk is then unchanged. Leaves
        no undo state.
    */
    [[nodiscard]] bool renameTrackFile (const juce::String& trackId, const juce::String& newName, juce::String& error);

    //==============================================================================
    /**
        Makes the session match a project that was read without error: clears it, takes the
        project's preset, imports the saved track files again (the saved folders, whole, when the
        project lists no track), restores each cue's name, tick, cut, relative name and
        alternative-mix members, and the manual and locked assignments. Appends to missing the
        saved track paths it could not find (each text once). The operations used send their
        notifications and leave their undo states; the undo history is kept.
    */
    void applyProjectDocument (const ProjectDocument& document, juce::StringArray& missing);

    //==============================================================================
    /** Steps back one undo state, restoring assignments and cue names. Sends
        assignmentsChanged then tracksChanged; nothing when there is nothing to undo. */
    void undo();

    /** Steps forward one undo state, like undo. */
    void redo();

    /** Makes the current state the only undo state, for a starting point (the program's start,
        an opened or a new project) that the user cannot step back from. Sends nothing. */
    void forgetUndoHistory();

private:
    using IndexMap = std::unordered_map<juce::String, size_t>;

    Preset preset;
    std::vector<Track> tracks;
    std::vector<Cue> cues;
    MatchOptions matchOptions;
    MatchOptions activeMatchOptions; // the copy a matching run reads
    std::vector<UndoSnapshot> undoHistory;
    int undoIndex = -1;
    std::vector<Listener*> listeners; // in the order of adding, each once

    IndexMap trackIndexById;     // first track with each id
    IndexMap cueIndexByKey;      // first cue with each key
    IndexMap trackCountByCueKey; // tracks pointing at each cue key

    Track* findTrackForEdit (const juce::String& trackId);
    Cue* findCueForEdit (const juce::String& cueKey);
    void rebuildIndexes();

    void applyMatchResult (Track& track, const MatchResult& result);
    void matchTracks (bool includingManual); // locked tracks are always left alone
    void setStaleAssignment (Track& track);
    bool hasStem (const juce::String& stemId) const;

    void pushUndoState();
    UndoSnapshot captureSnapshot() const;
    void restoreSnapshot (const UndoSnapshot& snapshot);

    void callListeners (void (Listener::*callback)());
    void sendTracksChanged();
    void sendAssignmentsChanged();
    void sendPresetChanged();

    JUCE_DECLARE_NON_COPYABLE (Session)
};

} // namespace dunmoor
