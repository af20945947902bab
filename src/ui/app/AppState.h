#pragma once

#include <memory>

#include <juce_data_structures/juce_data_structures.h>
#include <juce_events/juce_events.h>

#include "PreviewEngine.h"
#include "Seams.h"
#include "WaveformCache.h"
#include "core/preset/PresetLibrary.h"
#include "core/preset/TemplateStore.h"
#include "core/render/RenderJob.h"
#include "core/session/Session.h"

namespace dunmoor::ui
{

/**
    Everything the running program knows apart from its windows: the desktop seams, the settings
    file, the preset library, the session, the user's stem templates, the audition engine, the
    waveform cache, the output folder, the current project file, the id of the library preset
    in use and the report of the last export run.

    The main component owns exactly one, as its first member, so it outlives every page; pages
    hold a reference and use the members directly. It is a change broadcaster (asynchronous):
    setOutputFolder, setLastReport, a successful renameWrittenFile and a successful openProject
    send a change message. Message thread only; nothing here is locked.

    Settings live in one XML file, "Brackenfold/Brackenfold.settings" under the application-data
    folder (on Linux $XDG_CONFIG_HOME, else ~/.config), beside the preset library and the stem
    templates (Locations::standard). Most setters save at once; the output folder relies on the
    file's delayed save and is written again by saveSettings and the destructor.
*/
class AppState : public juce::ChangeBroadcaster, private Session::Listener
{
public:
    /** Where the program keeps what outlives a run. */
    struct Locations
    {
        juce::File settingsFile;
        juce::File legacySettingsFile;  // the former program's, only ever read
        juce::File presetFolder;
        juce::File templateFile;

        /** Everything in this folder, the former program's settings in a folder beside it. */
        static Locations inFolder (const juce::File& folder);

        /** The program's own: "Brackenfold" in the user's application-data folder. */
        static Locations standard();

        /** Where a settings file that could not be read is kept, beside it, before a fresh one
            replaces it. */
        juce::File getDamagedSettingsFile() const;
    };

    /** The seams default to the desktop's own (JuceSeams). A test passes a folder of its own, so
        that no two states of one process share their settings. */
    explicit AppState (std::unique_ptr<Seams> seamsToUse = nullptr, const Locations& where = Locations::standard());

    /** Writes "presetId" and the output folder, saves unsaved settings, then releases everything. */
    ~AppState() override;

    //==============================================================================
    static constexpr int maxRecentProjects = 20;
    static constexpr int maxRecentImportFolders = 15;
    static constexpr int settingsSaveDelayMs = 3000;

    const Locations& getLocations() const noexcept { return locations; }

    //==============================================================================
    /**
        Reads, checks and applies a project file. On success missingSources lists every saved
        folder and track no longer where the project says. On failure the error says why and
        nothing has changed.
    */
    [[nodiscard]] bool openProject (const juce::File& file, juce::String& error, juce::StringArray& missingSources);

    /** Writes the session as a project file, atomically. */
    [[nodiscard]] bool saveProject (const juce::File& file, juce::String& error);

    /** Starts an empty project: stops the audition, empties the session and forgets the project
        file. The preset, the output folder and the settings stay. */
    void newProject();

    /** The session changed (tracks, assignments or preset) since it was last saved or opened. */
    bool isChangedSinceSaved() const noexcept { return changedSinceSaved; }

    /** Changed since saved and holding tracks: leaving it would lose work, so the user is asked. */
    bool hasUnsavedWork() const noexcept { return changedSinceSaved && ! session.getTracks().empty(); }

    /** Writes "presetId" (when a library preset is in use) and (when set) "outputFolder", then
        saves the file if anything changed. A project's preset that the library does not hold
        never blanks the last preset the user chose. */
    void saveSettings();

    /**
        Makes the library preset with this id the one the working copy came from (empty: none),
        stores the choice in the settings at once and sends a change message, so the footer and
        every page following this object see it. The session's preset is the caller's to set,
        after this, so that its listeners already see the new id.
    */
    void adoptLibraryPreset (const juce::String& id);

    /** Takes the folder unless it is the current one (by the file system's rule); the settings
        file's delayed save writes it. */
    void setOutputFolder (const juce::File& folder);

    /** Keeps the report of an export run that was not cancelled and counts the run. */
    void setLastReport (BatchReport&& report);

    /**
        Renames one file of the last report on disk within its folder, keeping its extension,
        and points the report's entries at the new path. A change of letter case alone is a real
        rename where the disk tells case apart. False with the user's message when refused.
    */
    [[nodiscard]] bool renameWrittenFile (const juce::File& file, const juce::String& newName, juce::String& error);

    /** True when no library preset is in use, when it cannot be loaded, or when the working copy
        differs from it in anything a save would store (the plurals flag and the alternative
        mixes included). Reads the preset file on every call. */
    bool isPresetModified() const;

    bool isStemsAlphabetical() const;
    void setStemsAlphabetical (bool alphabetical);

    void addRecentProject (const juce::File& file);
    juce::StringArray getRecentProjects() const;
    void clearRecentProjects();

    /** Only an existing folder is added. */
    void addRecentImportFolder (const juce::File& folder);
    juce::StringArray getRecentImportFolders() const;

    /** Remembers where an import came from, for the import choosers: the last folder among the
        paths given, else the last file. Paths that are not there are passed over. */
    void rememberImportLocation (const juce::Array<juce::File>& given);

    enum class ImportChooser
    {
        files,
        folders
    };

    /** Where an import chooser opens. After folders, the folder chooser opens in the folder that
        holds the last of them (its siblings are the next cues) and the file chooser inside it;
        after files, both open in their folder. The nearest folder above that is still there
        stands in for one that is gone; with no import yet, the music folder. */
    juce::File getImportBrowseFolder (ImportChooser chooser) const;

    /** Where the output-folder chooser opens: the output folder (or the nearest folder above it
        that is still there), else the music folder. */
    juce::File getOutputBrowseFolder() const;

    //==============================================================================
    // Public members, in the order they are built; released in reverse.

    const Locations locations;
    std::unique_ptr<Seams> seams;                    // never null
    std::unique_ptr<juce::PropertiesFile> settings;  // never null after construction
    std::unique_ptr<PresetLibrary> presetLibrary;    // never null after construction
    Session session;
    TemplateStore templateStore { locations.templateFile };
    PreviewEngine previewEngine;
    WaveformCache waveformCache;
    juce::File outputFolder;
    juce::File projectFile;
    juce::String presetId;     // the library preset the working copy came from; empty when none
    BatchReport lastReport;    // the last export run that was not cancelled
    bool hasLastReport = false;
    int lastReportRun = 0;     // counts setLastReport, so a page tells a new run from a rename

    /** What the user is told once, when the window opens: what could not be read at start
        and what became of it. */
    juce::StringArray startupNotices;

private:
    void addRecentEntry (const juce::String& key, const juce::String& path, int limit);
    juce::StringArray getRecentEntries (const juce::String& key, int limit) const;
    void openSettings();
    void migrateLegacySettings();
    void restoreFromSettings();
    void writeFinalSettings();

    void tracksChanged() override { changedSinceSaved = true; }
    void assignmentsChanged() override { changedSinceSaved = true; }
    void presetChanged() override { changedSinceSaved = true; }

    bool changedSinceSaved = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AppState)
};

} // namespace dunmoor::ui
