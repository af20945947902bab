#include "PresetLibrary.h"

#include "../model/BuiltInPresets.h"
#include "core/files/FileStamp.h"
#include "core/files/FolderListing.h"
#include "core/files/PathRules.h"
#include "PresetJson.h"

#include <algorithm>

namespace dunmoor
{

namespace
{
    /** Only paths inside the preset folder and within the path length limit are written. */
    bool isWritablePresetPath (const juce::File& rootFolder, const juce::File& target, juce::String& error)
    {
        if (! isPathInsideFolder (rootFolder, target))
        {
            error = "Refusing to write a preset outside the preset folder.";
            return false;
        }

        if (! isPathLengthAcceptable (target))
        {
            error = "The preset path is too long.";
            return false;
        }

        return true;
    }

    const char* const presetFileSuffix = ".dunmoor.json";
    const char* const retiredBuiltInId = "builtin-dunmoor-default";

    bool sameFile (const juce::File& a, const juce::File& b)
    {
        return a.getFullPathName().equalsIgnoreCase (b.getFullPathName());
    }

    juce::String safeBaseName (const juce::String& presetName)
    {
        return sanitiseFileName (presetName, "-", "preset", 80);
    }

    /** Every name in the folder, files and folders alike, for comparisons that ignore case.
        Names that are not valid UTF-8 are left out: no preset file name can clash with one. */
    juce::StringArray namesIn (const juce::File& folder)
    {
        juce::StringArray names;

        for (const auto& entry : listFolder (folder).entries)
            names.add (entry.file.getFileName());

        return names;
    }

    std::vector<Preset> builtInPresets()
    {
        return { makeEmptyPreset(), makeHybridOrchestraExamplePreset() };
    }

    /** Ids that start-up and "Restore defaults" treat as the program's own: a user preset
        holding one would be deleted there. */
    bool isReservedBuiltInId (const juce::String& id)
    {
        return id == builtInEmptyPresetId || id == builtInExamplePresetId || id == retiredBuiltInId;
    }
} // namespace

juce::File PresetLibrary::getDefaultRootFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Brackenfold")
        .getChildFile ("Presets");
}

PresetLibrary::PresetLibrary (const juce::File& root, DesktopTrash trashToUse)
    : rootFolder (root), trash (std::move (trashToUse))
{
    juce::ignoreUnused (getKindFolder (PresetKind::publisher).createDirectory(),
                        getKindFolder (PresetKind::project).createDirectory());
    rescan();
}

juce::File PresetLibrary::getKindFolder (PresetKind kind) const
{
    return rootFolder.getChildFile (kind == PresetKind::project ? "Project Presets" : "Publisher Presets");
}

bool PresetLibrary::isAtomicWriteLeftover (const juce::File& file)
{
    // The atomic writer's temporary is ".<name>_temp<hex digits><extension>", possibly with a
    // number after the hex digits when that name was taken.
    const auto name = file.getFileName();

    if (! name.startsWithChar ('.'))
        return false;

    const auto stem = file.getFileNameWithoutExtension();
    const auto marker = stem.lastIndexOf ("_temp");

    if (marker < 0)
        return false;

    const auto tail = stem.substring (marker + 5);
    return tail.isNotEmpty() && tail.containsOnly ("0123456789abcdefABCDEF_");
}

void PresetLibrary::rescan()
{
    entries.clear();
    unreadable.clear();
    std::map<juce::String, ScannedFile> nowScanned;

    for (const auto kind : { PresetKind::publisher, PresetKind::project })
    {
        const auto folder = getKindFolder (kind);

        if (! folder.isDirectory())
            continue;

        // Listed by hand: the framework's wildcard is case-sensitive on Linux, and ".JSON" is as
        // much a preset file as ".json". A name that is not valid UTF-8 is no preset of ours and
        // is passed over.
        juce::Array<juce::File> files;

        for (const auto& entry : listFolder (folder).entries)
            if (! entry.isFolder)
                files.add (entry.file);

        std::sort (files.begin(), files.end(), [] (const juce::File& a, const juce::File& b)
                   { return a.getFileName().compare (b.getFileName()) < 0; });

        for (const auto& file : files)
        {
            if ((int) entries.size() >= maxEntries)
                break;

            if (! file.getFileName().endsWithIgnoreCase (".json") || isAtomicWriteLeftover (file))
                continue;

            const auto path = file.getFullPathName();
            const auto stamp = fileStamp (file);
            auto known = scanned.find (path);
            ScannedFile result;

            // Reading every preset again on every scan costs as much as the files are large; an
            // unchanged file reads the same.
            if (known != scanned.end() && stamp.isNotEmpty() && known->second.stamp == stamp)
            {
                result = known->second;
            }
            else
            {
                const auto read = loadPresetFile (file);
                const auto& p = read.preset;
                result.stamp = stamp;
                result.ok = read.ok;

                if (read.ok)
                    result.entry = { p.id, p.name, p.schema.publisher, p.kind, p.isBuiltIn, p.modifiedUtcMs, file };
                else
                    result.failure = { file, read.messages.toText(), read.onlyValidationFailed ? p.id : juce::String() };
            }

            if (result.ok)
                entries.push_back (result.entry);
            else
                unreadable.push_back (result.failure);

            nowScanned[path] = std::move (result);
        }
    }

    scanned = std::move (nowScanned);

    std::stable_sort (entries.begin(), entries.end(), [] (const PresetLibraryEntry& a, const PresetLibraryEntry& b)
                      {
                          if (a.kind != b.kind)
                              return a.kind == PresetKind::publisher;

                          return a.name.compareIgnoreCase (b.name) < 0;
                      });
}

void PresetLibrary::forgetScan (const juce::File& file)
{
    scanned.erase (file.getFullPathName());
}

const PresetLibraryEntry* PresetLibrary::findEntry (const juce::String& id) const
{
    for (const auto& entry : entries)
        if (entry.id == id)
            return &entry;

    return nullptr;
}

PresetReadResult PresetLibrary::loadPreset (const juce::String& id) const
{
    if (const auto* entry = findEntry (id))
        return loadPresetFile (entry->file);

    PresetReadResult result;
    result.messages.errors.add ("No preset with id '" + id + "' is known.");
    return result;
}

bool PresetLibrary::isForeignFile (const juce::File& candidate, const juce::String& presetId,
                                   const juce::StringArray& namesOnDisk) const
{
    bool ownFile = false;

    for (const auto& entry : entries)
    {
        if (! sameFile (entry.file, candidate))
            continue;

        if (entry.id != presetId)
            return true;

        ownFile = true;
    }

    // A file the scan did not list (damaged, from a newer version, not a preset at all) is
    // somebody else's too: writing over it would destroy it.
    return ! ownFile && namesOnDisk.contains (candidate.getFileName(), true);
}

juce::File PresetLibrary::getFileFor (const Preset& preset) const
{
    const auto folder = getKindFolder (preset.kind);
    const auto namesOnDisk = namesIn (folder);
    auto base = safeBaseName (preset.name);
    auto file = getChildFileNamed (folder, base + presetFileSuffix);

    if (! isForeignFile (file, preset.id, namesOnDisk))
        return file;

    base << "-" << preset.id.retainCharacters ("0123456789abcdefABCDEF").substring (0, 8);
    file = getChildFileNamed (folder, base + presetFileSuffix);

    // Rare: the suffixed name is taken as well. Count on rather than overwrite it.
    for (int n = 2; isForeignFile (file, preset.id, namesOnDisk); ++n)
        file = getChildFileNamed (folder, base + "-" + juce::String (n) + presetFileSuffix);

    return file;
}

bool PresetLibrary::save (const Preset& preset, juce::String& savedId, juce::String& error)
{
    if (preset.isBuiltIn)
    {
        error = "'" + preset.name + "' is a built-in preset. Duplicate it before editing.";
        return false;
    }

    auto copy = preset;

    if (copy.id.trim().isEmpty())
        copy.id = newUuidString();

    copy.touch();

    const auto* existing = findEntry (copy.id);
    const auto newFile = getFileFor (copy);
    const auto oldFile = existing != nullptr ? existing->file : juce::File();
    const bool moves = existing != nullptr && ! sameFile (newFile, oldFile);
    const auto target = (existing == nullptr || moves) ? newFile : oldFile;

    if (! isWritablePresetPath (rootFolder, target, error))
        return false;

    forgetScan (target);

    if (! dunmoor::savePreset (copy, target, error))
        return false;

    if (moves)
        oldFile.deleteFile();

    savedId = copy.id;
    rescan();
    return true;
}

bool PresetLibrary::savePreset (const Preset& preset, juce::String& error)
{
    juce::String savedId;
    return save (preset, savedId, error);
}

bool PresetLibrary::savePreset (const Preset& preset, juce::String& savedId, juce::String& error)
{
    return save (preset, savedId, error);
}

bool PresetLibrary::saveAsNewPreset (const Preset& preset, const juce::String& newName, PresetKind kind,
                                     juce::String& newId, juce::String& error)
{
    if (newName.trim().isEmpty())
    {
        error = "A preset needs a name.";
        return false;
    }

    return save (duplicatePreset (preset, newName, kind, StemIds::keep), newId, error);
}

bool PresetLibrary::duplicate (const juce::String& id, const juce::String& newName, juce::String& newId,
                               juce::String& error)
{
    const auto loaded = loadPreset (id);

    if (! loaded.ok)
    {
        error = loaded.messages.toText();
        return false;
    }

    const auto name = newName.trim().isNotEmpty() ? newName : loaded.preset.name + " copy";

    if (name.trim().isEmpty())
    {
        error = "A preset needs a name.";
        return false;
    }

    return save (duplicatePreset (loaded.preset, name, loaded.preset.kind, StemIds::keep), newId, error);
}

bool PresetLibrary::renamePreset (const juce::String& id, const juce::String& newName, juce::String& error)
{
    if (newName.trim().isEmpty())
    {
        error = "A preset needs a name.";
        return false;
    }

    auto loaded = loadPreset (id);

    if (! loaded.ok)
    {
        error = loaded.messages.toText();
        return false;
    }

    if (loaded.preset.isBuiltIn)
    {
        error = "Built-in presets cannot be renamed.";
        return false;
    }

    loaded.preset.name = newName.trim();
    juce::String savedId;
    return save (loaded.preset, savedId, error);
}

bool PresetLibrary::deletePreset (const juce::String& id, juce::String& error)
{
    const auto* entry = findEntry (id);

    if (entry == nullptr)
    {
        error = "No preset with id '" + id + "' is known.";
        return false;
    }

    if (entry->isBuiltIn)
    {
        error = "Built-in presets cannot be deleted. Use 'Restore defaults' to reset them.";
        return false;
    }

    const auto file = entry->file;

    if (! isPathInsideFolder (rootFolder, file))
    {
        error = "Refusing to delete a file outside the preset folder.";
        return false;
    }

    juce::String trashError;

    if (! trash.moveToTrash (file, trashError) && ! file.deleteFile())
    {
        error = "Could not delete '" + file.getFullPathName() + "'.";
        return false;
    }

    rescan();
    return true;
}

bool PresetLibrary::importPreset (const juce::File& file, juce::String& newId, juce::String& error)
{
    const auto read = loadPresetFile (file);

    if (! read.ok)
    {
        error = "'" + file.getFileName() + "' could not be imported:\n" + read.messages.toText();
        return false;
    }

    auto preset = read.preset;
    preset.isBuiltIn = false;

    // A built-in's id stays reserved even while its file is missing: the next start-up or
    // "Restore defaults" would otherwise delete the imported preset to put the built-in back.
    if (findEntry (preset.id) != nullptr || isReservedBuiltInId (preset.id))
        preset = duplicatePreset (preset, preset.name + " (imported)", preset.kind);

    return save (preset, newId, error);
}

bool PresetLibrary::exportPreset (const juce::String& id, const juce::File& target, juce::String& error) const
{
    const auto loaded = loadPreset (id);

    if (! loaded.ok)
    {
        error = loaded.messages.toText();
        return false;
    }

    if (target == juce::File() || ! juce::File::isAbsolutePath (target.getFullPathName()))
    {
        error = "The export destination is not a valid path.";
        return false;
    }

    if (! isPathLengthAcceptable (target))
    {
        error = "The export path is too long.";
        return false;
    }

    return dunmoor::savePreset (loaded.preset, target, error);
}

bool PresetLibrary::writeBuiltIn (const Preset& preset, const juce::File& target, juce::String& error) const
{
    if (! isWritablePresetPath (rootFolder, target, error))
        return false;

    return dunmoor::savePreset (preset, target, error);
}

bool PresetLibrary::restoreDefaults (juce::String& error)
{
    for (const auto& builtIn : builtInPresets())
    {
        if (const auto* entry = findEntry (builtIn.id))
            entry->file.deleteFile();

        if (! writeBuiltIn (builtIn, getFileFor (builtIn), error))
            return false;
    }

    rescan();
    return true;
}

bool PresetLibrary::installBuiltIns (juce::String& error)
{
    if (const auto* retired = findEntry (retiredBuiltInId))
    {
        retired->file.deleteFile();
        rescan();
    }

    for (const auto& builtIn : builtInPresets())
    {
        if (const auto* entry = findEntry (builtIn.id))
        {
            const auto onDisk = loadPresetFile (entry->file);

            if (onDisk.ok && onDisk.preset == builtIn)
                continue;

            entry->file.deleteFile();
        }

        if (! writeBuiltIn (builtIn, getFileFor (builtIn), error))
            return false;

        rescan();
    }

    return true;
}

} // namespace dunmoor
