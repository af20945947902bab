#pragma once

#include "core/files/DesktopTrash.h"
#include "PresetReader.h"

#include <map>
#include <vector>

namespace dunmoor
{

/** One preset file of the library that read without errors. */
struct PresetLibraryEntry
{
    juce::String id;
    juce::String name;
    juce::String author;                // the publisher text of the preset's stem schema
    PresetKind kind = PresetKind::publisher;   // as stored in the file, not the folder it was found in
    bool isBuiltIn = false;
    juce::int64 modifiedUtcMs = 0;
    juce::File file;
};

/** A preset file in the library that could not be read. It stays on disk as it is, and no
    save ever writes over it; the user learns of it and why. */
struct UnreadablePresetFile
{
    juce::File file;
    juce::String reason;    // the reader's messages as text
    juce::String id;        // the id the file names, when that could be read; else empty
};

/** The user's presets on disk: one file per preset, publisher and project presets in two
    folders under the root. Holds nothing but a list of entries; every load reads the file
    again and every change is written at once and followed by a rescan. Message thread only.

    Operations that can fail return false with a message for the user in `error`; a failed
    operation leaves the files and the entries as they were.
*/
class PresetLibrary
{
public:
    /** The user's application-data folder / "Brackenfold" / "Presets" (not created). */
    static juce::File getDefaultRootFolder();

    /** Stores the root, creates both kind folders (failures ignored) and scans them. Deleted
        presets go to the given trash (by default the desktop's). */
    explicit PresetLibrary (const juce::File& rootFolder, DesktopTrash trash = DesktopTrash());

    const juce::File& getRootFolder() const noexcept { return rootFolder; }
    juce::File getKindFolder (PresetKind kind) const;

    /** The presets found by the last scan: publisher presets first, each kind by name
        ignoring case; at most maxEntries. */
    const std::vector<PresetLibraryEntry>& getEntries() const noexcept { return entries; }

    static constexpr int maxEntries = 4096;

    /** The preset files the last scan could not read, in the order it met them. */
    const std::vector<UnreadablePresetFile>& getUnreadableFiles() const noexcept { return unreadable; }

    /** Rebuilds the entries from the files on disk. A file that has not changed since the last
        scan (same inode, size and modification and change times) is not read again. */
    void rescan();

    /** The first entry with that id (exact comparison), or nullptr. */
    const PresetLibraryEntry* findEntry (const juce::String& id) const;

    /** Reads the entry's file again. */
    PresetReadResult loadPreset (const juce::String& id) const;

    /** The file the preset is to be written to: its safe name in its kind's folder, with "-" and
        the first 8 hexadecimal digits of its id when another preset, or any file that is not
        this preset's, already has that name. */
    juce::File getFileFor (const Preset& preset) const;

    /** Writes a user preset into the library (a new id when it has none, the time set to now),
        moving its file when its name or kind changed. The caller's preset is not changed. */
    [[nodiscard]] bool savePreset (const Preset& preset, juce::String& error);

    /** The same, telling the id the preset was stored under (the new one when it had none). */
    [[nodiscard]] bool savePreset (const Preset& preset, juce::String& savedId, juce::String& error);

    /** Saves a copy (new id, the given name and kind, not built-in); newId receives its id. The
        stems keep their ids, so the session's assignments and locks survive taking it up. */
    [[nodiscard]] bool saveAsNewPreset (const Preset& preset, const juce::String& newName, PresetKind kind,
                                        juce::String& newId, juce::String& error);

    /** Copies a library preset, keeping its stem ids; a blank name gives the source's name + " copy". */
    [[nodiscard]] bool duplicate (const juce::String& id, const juce::String& newName, juce::String& newId,
                                  juce::String& error);

    /** Renames a user preset and moves its file. */
    [[nodiscard]] bool renamePreset (const juce::String& id, const juce::String& newName, juce::String& error);

    /** Moves a user preset's file to the trash, or deletes it when that fails. */
    [[nodiscard]] bool deletePreset (const juce::String& id, juce::String& error);

    /** Copies a preset file into the library as a user preset; a preset whose id is already
        known is stored as a new preset named with " (imported)". */
    [[nodiscard]] bool importPreset (const juce::File& file, juce::String& newId, juce::String& error);

    /** Writes a library preset, unchanged, to any absolute path. */
    [[nodiscard]] bool exportPreset (const juce::String& id, const juce::File& target, juce::String& error) const;

    /** Rewrites both built-in presets. */
    [[nodiscard]] bool restoreDefaults (juce::String& error);

    /** Start-up: removes the retired default preset and writes each built-in that is missing
        or differs from the one on disk. */
    [[nodiscard]] bool installBuiltIns (juce::String& error);

    /** Checks that the target lies in the library and is not too long, then writes the preset. */
    [[nodiscard]] bool writeBuiltIn (const Preset& preset, const juce::File& target, juce::String& error) const;

    /** True for the hidden temporary file an interrupted atomic write may leave behind. */
    static bool isAtomicWriteLeftover (const juce::File& file);

private:
    bool save (const Preset& preset, juce::String& savedId, juce::String& error);
    bool isForeignFile (const juce::File& candidate, const juce::String& presetId, const juce::StringArray& namesOnDisk) const;

    /** What a scan learnt of one file, kept until the file changes. */
    struct ScannedFile
    {
        juce::String stamp;         // identity, size and times of the file when it was read
        bool ok = false;
        PresetLibraryEntry entry;
        UnreadablePresetFile failure;   // when not ok
    };

    void forgetScan (const juce::File& file);

    juce::File rootFolder;
    DesktopTrash trash;
    std::vector<PresetLibraryEntry> entries;
    std::vector<UnreadablePresetFile> unreadable;
    std::map<juce::String, ScannedFile> scanned; // by full path
};

} // namespace dunmoor
