#pragma once

#include "core/model/Preset.h"
#include "core/preset/PresetLibrary.h"

namespace dunmoor::ui
{

/** Which of the library buttons that depend on the current preset can act on it. New,
    Duplicate, Save as, Import, Export and Restore always can. */
struct LibraryButtonStates
{
    bool save = true;
    bool rename = false;
    bool remove = false;

    /** For the library entry of the current preset id, or nullptr when it has none. */
    static LibraryButtonStates forEntry (const PresetLibraryEntry* entry);
};

/** A question to put before a stem takes a name another stem has, or nearly has. */
struct NameClash
{
    enum class Kind
    {
        none,
        same,   // the same file name: one file would overwrite the other
        similar // the same apart from spacing: two files, easily confused
    };

    Kind kind = Kind::none;
    juce::String title;
    juce::String message;

    /** Looks for a stem other than excludedStemId that the name clashes with. */
    static NameClash find (const StemSchema& schema, const juce::String& name, const juce::String& excludedStemId);
};

/** The texts of the Preset & Stems page that are built from the preset. */
struct PresetPageTexts
{
    static constexpr const char* unsavedChanges = "Unsaved changes in this session";

    /** The library status line: the unsaved-changes text exactly when the working copy differs
        from the stored preset of the current id (or there is none to compare with). */
    static juce::String statusText (bool presetModified);

    /** The file name offered when exporting a preset: its name made safe, ".dunmoor.json". */
    static juce::String exportFileName (const juce::String& presetName);

    /** The title of the question before deleting stems; ids no longer in the schema count but
        are not named. */
    static juce::String deleteStemsTitle (const StemSchema& schema, const juce::StringArray& stemIds);

    static juce::String deleteAllStemsMessage (int stemCount);

    /** "Delete" for one stem, "Delete n stems" for several. */
    static juce::String deleteMenuItem (int selectedCount);
};

/** Renames a stem; its file-name token follows when it was written exactly as the old name. */
void renameStem (Stem& stem, const juce::String& newName);

} // namespace dunmoor::ui
