#pragma once

#include <map>
#include <vector>

#include "core/model/Preset.h"
#include "core/model/Validation.h"

namespace dunmoor
{

class Session;

/** The extension of project files, full stop included. */
constexpr const char* projectFileExtension = ".bkfp";

/** The largest project file that is read, in bytes (32 MiB). */
constexpr juce::int64 maxProjectFileBytes = 33554432;

/** The most folders, cues and tracks (each) that a project file may list. */
constexpr int maxProjectEntries = 2048;

/** One saved track: where its file was and the user's decision about it. */
struct ProjectTrack
{
    juce::String path; // as written; used only when it is a full path
    juce::String stemId;
    AssignmentSource source = AssignmentSource::none;
    bool locked = false;
};

/** One saved cue's settings, found again by its folder. */
struct ProjectCue
{
    juce::String folder; // the path as written
    juce::String name;
    bool included = true;
    double trimStartSeconds = 0.0; // never negative
    std::map<juce::String, juce::StringArray> mixOverrides;

    /** The cue's place below the folder it was first imported from. Files written before it
        was stored lack it; the re-import's own value then stays. */
    juce::String relativeName;
    bool hasRelativeName = false;
};

/** A project file as read. Exists only between reading and applying it to the session. */
struct ProjectDocument
{
    bool ok = false;                         // no error was found
    ValidationResult messages;               // the embedded preset's messages included
    Preset preset;                           // as read
    juce::Array<juce::File> importedFolders; // saved folders that are folders now
    bool recurseSubfolders = true;
    juce::File outputFolder;          // none when not saved or not a full path
    std::vector<ProjectTrack> tracks; // saved tracks with a non-empty path
    std::vector<ProjectCue> cues;
    juce::StringArray missingFolders; // saved folder paths, as written, that are not folders now
};

/** The project file text of the session: multi-line JSON with the working preset embedded
    whole, the folders of the cues that have tracks (and any other folder a track lies in, as
    when two folders differ only in letter case), each such cue's settings and every track's
    path and assignment. Audio is never stored. */
juce::String writeProjectDocument (const Session& session, const juce::String& outputFolder, bool recurseSubfolders);

/**
    Reads a project file's text. A document that is not a project, of a newer version or
    without a preset is refused with one error; the embedded preset is read and validated by
    the preset reader, whose messages are passed on unchanged, and refused when reading fails (a
    preset read whole whose only faults are validation errors is kept, those errors becoming
    warnings, so a project saved with such a preset opens again); too
    many folders, cues or tracks are an error. Values of the wrong type inside the lists fall
    back to their defaults with a warning naming the value. Paths count only when they are full
    paths: a relative one would resolve against whatever the working directory is.
*/
ProjectDocument readProjectDocument (const juce::String& text);

/** Reads a project file: refuses a missing file and one larger than maxProjectFileBytes, then
    reads its text with readProjectDocument. */
ProjectDocument loadProjectFile (const juce::File& file);

/** The key's value when value is an object that has the key and the key's value is a JSON
    boolean; the default in every other case (a number 1 or a text "true" included). */
bool getBoolProperty (const juce::var& value, const juce::String& key, bool defaultValue);

} // namespace dunmoor
