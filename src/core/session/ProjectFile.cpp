#include "ProjectFile.h"

#include <cmath>

#include "core/files/FolderListing.h"
#include "core/files/JsonText.h"
#include "core/preset/PresetJson.h"
#include "core/preset/PresetReader.h"
#include "core/session/Session.h"

namespace dunmoor
{

namespace
{
    const char* const formatName = "brackenfold.project";
    constexpr int currentProjectSchemaVersion = 1;

    const char* const notAProject = "That file is not a Brackenfold project.";

    juce::String entryPath (const char* list, int index)
    {
        return juce::String ("project.") + list + "[" + juce::String (index) + "]";
    }

    /** The key's value, or nullptr when the object does not hold it. */
    const juce::var* findKey (const juce::var& object, const juce::String& key)
    {
        if (auto* o = object.getDynamicObject())
            return o->getProperties().getVarPointer (juce::Identifier (key));

        return nullptr;
    }

    bool readFlag (juce::StringArray& warnings, const juce::var& object, const juce::String& key, const juce::String& path, bool missing)
    {
        const auto* value = findKey (object, key);

        if (value != nullptr && ! value->isBool())
            warnings.add (path + "." + key + " must be true or false.");

        return getBoolProperty (object, key, missing);
    }

    /** The list under the key when it is an array; a warning for another type; nullptr when the
        key is missing or null. */
    const juce::Array<juce::var>* findList (juce::StringArray& warnings, const juce::var& root, const juce::String& key)
    {
        const auto* value = findKey (root, key);

        if (value == nullptr || value->isVoid())
            return nullptr;

        if (const auto* list = value->getArray())
            return list;

        warnings.add ("project." + key + " must be an array.");
        return nullptr;
    }

    ProjectCue readCue (juce::StringArray& warnings, const juce::var& entry, const juce::String& path)
    {
        ProjectCue cue;

        if (! isJsonObject (entry))
        {
            warnings.add (path + " must be an object.");
            return cue;
        }

        cue.folder = readJsonString (warnings, entry, "folder", path, {});
        cue.name = readJsonString (warnings, entry, "name", path, {});
        cue.included = readFlag (warnings, entry, "included", path, true);

        if (const auto* trim = findKey (entry, "trimStartSeconds"))
        {
            if (trim->isInt() || trim->isInt64() || trim->isDouble())
            {
                const auto seconds = (double) *trim;
                cue.trimStartSeconds = std::isfinite (seconds) && seconds > 0.0 ? seconds : 0.0;
            }
            else
            {
                warnings.add (path + ".trimStartSeconds must be a number.");
            }
        }

        if (findKey (entry, "relativeName") != nullptr)
        {
            const auto warningsBefore = warnings.size();
            cue.relativeName = readJsonString (warnings, entry, "relativeName", path, {});
            cue.hasRelativeName = warnings.size() == warningsBefore;
        }

        if (const auto* overrides = findKey (entry, "submixOverrides"))
        {
            if (auto* object = overrides->getDynamicObject())
            {
                for (const auto& property : object->getProperties())
                {
                    // Not read with the length limit of a single text: the list of a schema's
                    // 256 stem ids is longer than that.
                    if (! property.value.isString())
                    {
                        warnings.add (path + ".submixOverrides." + property.name.toString() + " must be a string.");
                        continue;
                    }

                    juce::StringArray members;

                    for (const auto& line : juce::StringArray::fromTokens (property.value.toString(), "\n", {}))
                        if (line.trim().isNotEmpty())
                            members.add (line);

                    cue.mixOverrides[property.name.toString()] = members;
                }
            }
            else
            {
                warnings.add (path + ".submixOverrides must be an object.");
            }
        }

        return cue;
    }

    ProjectTrack readTrack (juce::StringArray& warnings, const juce::var& entry, const juce::String& path)
    {
        ProjectTrack track;

        if (! isJsonObject (entry))
        {
            warnings.add (path + " must be an object.");
            return track;
        }

        track.path = readJsonString (warnings, entry, "path", path, {});

        if (! isWellFormedText (track.path))
        {
            warnings.add (path + ".path is not valid UTF-8 text; the track was left out.");
            track.path.clear();
        }
        track.stemId = readJsonString (warnings, entry, "stemId", path, {});
        track.source = readJsonEnum (warnings, entry, "source", path, AssignmentSource::none, assignmentSourceFromString);
        track.locked = readFlag (warnings, entry, "locked", path, false);
        return track;
    }

    ProjectDocument readDocument (const juce::String& text)
    {
        ProjectDocument document;
        auto& errors = document.messages.errors;
        juce::StringArray warnings;

        juce::var root;

        if (parseJsonDocument (text, root).failed() || ! isJsonObject (root))
        {
            errors.add (notAProject);
            return document;
        }

        const auto* format = findKey (root, "format");

        if (format == nullptr || ! format->isString() || format->toString() != formatName)
        {
            errors.add (notAProject);
            return document;
        }

        // Read as a whole number; a missing or non-numeric version counts as 0.
        const auto* versionValue = findKey (root, "schemaVersion");
        const auto version = versionValue != nullptr && (versionValue->isInt() || versionValue->isInt64() || versionValue->isDouble())
                                 ? std::trunc ((double) *versionValue)
                                 : 0.0;

        if (! (version > 0.0)) // NaN included
        {
            errors.add ("That project file does not say which version it is.");
            return document;
        }

        if (version > (double) currentProjectSchemaVersion)
        {
            errors.add ("That project was saved by a newer version of Brackenfold. Update to open it.");
            return document;
        }

        const auto* presetValue = findKey (root, "preset");

        if (presetValue == nullptr || ! isJsonObject (*presetValue))
        {
            errors.add ("That project has no preset in it.");
            return document;
        }

        auto presetRead = readPreset (juce::JSON::toString (*presetValue, true, 15));

        // A preset that read completely but breaks a validation rule (two stems with one code,
        // say) is what the user had on screen when saving: the project opens with it and the
        // problems shown as warnings. The render and a library save still refuse it.
        if (presetRead.onlyValidationFailed)
            document.messages.warnings.addArray (presetRead.messages.errors);
        else
            errors.addArray (presetRead.messages.errors);

        document.messages.warnings.addArray (presetRead.messages.warnings);

        if (! presetRead.ok && ! presetRead.onlyValidationFailed)
            return document;

        document.preset = std::move (presetRead.preset);

        const auto outputFolder = readJsonString (warnings, root, "outputFolder", "project", {});

        if (! isWellFormedText (outputFolder))
            warnings.add ("project.outputFolder is not valid UTF-8 text; no output folder was restored.");
        else if (juce::File::isAbsolutePath (outputFolder))
            document.outputFolder = juce::File (outputFolder);
        else if (outputFolder.isNotEmpty())
            warnings.add ("project.outputFolder is not a full path; no output folder was restored.");

        document.recurseSubfolders = readFlag (warnings, root, "recurseSubfolders", "project", true);

        const auto finish = [&document, &warnings]
        {
            document.messages.warnings.addArray (warnings);
            document.ok = document.messages.errors.isEmpty();
            return document;
        };

        if (const auto* folders = findList (warnings, root, "importedFolders"))
        {
            if (folders->size() > maxProjectEntries)
            {
                errors.add ("That project names more folders than Brackenfold will open.");
                return finish();
            }

            for (int i = 0; i < folders->size(); ++i)
            {
                const auto& entry = folders->getReference (i);

                if (! entry.isString())
                {
                    warnings.add (entryPath ("importedFolders", i) + " must be a string.");
                    continue;
                }

                const auto path = entry.toString();

                if (path.isEmpty())
                    continue;

                if (! isWellFormedText (path))
                    warnings.add (entryPath ("importedFolders", i) + " is not valid UTF-8 text.");
                else if (juce::File::isAbsolutePath (path) && juce::File (path).isDirectory())
                    document.importedFolders.add (juce::File (path));
                else
                    document.missingFolders.add (path);
            }
        }

        if (const auto* cues = findList (warnings, root, "cues"))
        {
            if (cues->size() > maxProjectEntries)
            {
                errors.add ("That project names more cues than Brackenfold will open.");
                return finish();
            }

            document.cues.reserve ((size_t) cues->size());

            for (int i = 0; i < cues->size(); ++i)
                document.cues.push_back (readCue (warnings, cues->getReference (i), entryPath ("cues", i)));
        }

        if (const auto* tracks = findList (warnings, root, "tracks"))
        {
            if (tracks->size() > maxProjectEntries)
            {
                errors.add ("That project names more tracks than Brackenfold will open.");
                return finish();
            }

            document.tracks.reserve ((size_t) tracks->size());

            for (int i = 0; i < tracks->size(); ++i)
            {
                auto track = readTrack (warnings, tracks->getReference (i), entryPath ("tracks", i));

                if (track.path.isNotEmpty())
                    document.tracks.push_back (std::move (track));
            }
        }

        if (document.importedFolders.isEmpty() && document.tracks.empty())
            warnings.add ("That project has nothing in it.");

        return finish();
    }

    ProjectDocument outOfMemory()
    {
        ProjectDocument document;
        document.messages.errors.add ("There is not enough memory to read that project.");
        return document;
    }
} // namespace

//==============================================================================
bool getBoolProperty (const juce::var& value, const juce::String& key, bool defaultValue)
{
    const auto* property = findKey (value, key);
    return property != nullptr && property->isBool() ? (bool) *property : defaultValue;
}

juce::String writeProjectDocument (const Session& session, const juce::String& outputFolder, bool recurseSubfolders)
{
    auto* root = new juce::DynamicObject();
    const juce::var document (root);

    root->setProperty ("format", formatName);
    root->setProperty ("schemaVersion", currentProjectSchemaVersion);
    root->setProperty ("savedUtc", juce::Time::getCurrentTime().toISO8601 (true));
    root->setProperty ("outputFolder", outputFolder);
    root->setProperty ("recurseSubfolders", recurseSubfolders);
    root->setProperty ("preset", writePresetDocument (session.getPreset()));

    juce::StringArray folderPaths;
    juce::Array<juce::var> cues;

    for (const auto& cue : session.getCuesWithTracks())
    {
        const auto folderPath = cue.folder.getFullPathName();
        folderPaths.addIfNotAlreadyThere (folderPath);

        auto* entry = new juce::DynamicObject();
        cues.add (juce::var (entry));
        entry->setProperty ("folder", folderPath);
        entry->setProperty ("name", cue.name);
        entry->setProperty ("included", cue.included);
        entry->setProperty ("trimStartSeconds", cue.trimStartSeconds);
        entry->setProperty ("relativeName", cue.relativeName);

        if (! cue.mixOverrides.empty())
        {
            auto* overrides = new juce::DynamicObject();
            entry->setProperty ("submixOverrides", juce::var (overrides));

            for (const auto& [mixId, members] : cue.mixOverrides) // ascending by id
                overrides->setProperty (mixId, members.joinIntoString ("\n"));
        }
    }

    // Folders whose paths differ only in letter case form one cue, but on a disk that tells
    // case apart they are two folders: the cue's folder alone would bring back only the tracks
    // of one of them when the project is reopened. A track's own folder is listed too, within
    // the limit the reader accepts.
    for (const auto& track : session.getTracks())
        if (folderPaths.size() < maxProjectEntries)
            folderPaths.addIfNotAlreadyThere (track.file.getParentDirectory().getFullPathName());

    juce::Array<juce::var> folders;

    for (const auto& path : folderPaths)
        folders.add (path);

    juce::Array<juce::var> tracks;
    tracks.ensureStorageAllocated ((int) session.getTracks().size());

    for (const auto& track : session.getTracks())
    {
        auto* entry = new juce::DynamicObject();
        tracks.add (juce::var (entry));
        entry->setProperty ("path", track.file.getFullPathName());
        entry->setProperty ("stemId", track.stemId);
        entry->setProperty ("source", assignmentSourceToString (track.source));
        entry->setProperty ("locked", track.source == AssignmentSource::locked);
    }

    root->setProperty ("importedFolders", folders);
    root->setProperty ("cues", cues);
    root->setProperty ("tracks", tracks);

    return printJsonDocument (document);
}

ProjectDocument readProjectDocument (const juce::String& text)
{
    try
    {
        return readDocument (text);
    }
    catch (const std::bad_alloc&)
    {
        return outOfMemory();
    }
}

ProjectDocument loadProjectFile (const juce::File& file)
{
    ProjectDocument document;

    if (! file.existsAsFile())
    {
        document.messages.errors.add ("There is no file at " + file.getFullPathName() + ".");
        return document;
    }

    if (file.getSize() > maxProjectFileBytes)
    {
        document.messages.errors.add ("That project file is far larger than any project should be.");
        return document;
    }

    try
    {
        return readDocument (file.loadFileAsString());
    }
    catch (const std::bad_alloc&)
    {
        return outOfMemory();
    }
}

} // namespace dunmoor
