#include "AppState.h"

#include "JuceSeams.h"
#include "core/model/BuiltInPresets.h"
#include "core/files/AtomicFileWriter.h"
#include "core/files/FolderListing.h"
#include "core/files/PathRules.h"
#include "core/render/WrittenFileRename.h"
#include "core/session/ProjectFile.h"

namespace dunmoor::ui
{

namespace
{
    const char* const applicationName = "Brackenfold";
    const char* const legacyApplicationName = "Dunmoor";

    const char* const outputFolderKey = "outputFolder";
    const char* const presetIdKey = "presetId";
    const char* const recentProjectsKey = "recentProjects";
    const char* const recentImportFoldersKey = "recentImportFolders";
    const char* const importLocationKey = "importLocation";
    const char* const stemsAlphabeticalKey = "stemsAlphabetical";
    const char* const legacyStemsAlphabeticalKey = "reviewAlphabeticalStems";

    juce::PropertiesFile::Options settingsOptions (const juce::String& name)
    {
        juce::PropertiesFile::Options options;
        options.applicationName = name;
        options.folderName = name;
        options.filenameSuffix = "settings";
        options.osxLibrarySubFolder = "Application Support";
        options.storageFormat = juce::PropertiesFile::storeAsXML;
        options.commonToAllUsers = false;
        options.ignoreCaseOfKeyNames = false;
        options.doNotSave = false;
        options.millisecondsBeforeSaving = AppState::settingsSaveDelayMs;
        options.processLock = nullptr;
        return options;
    }

    // The folder itself when it is there, else the nearest one above it; else the music folder.
    juce::File existingFolderAtOrAbove (const juce::File& folder)
    {
        for (auto f = folder; f != juce::File() && f.getFullPathName().isNotEmpty(); f = f.getParentDirectory())
        {
            if (f.isDirectory())
                return f;

            if (f.getParentDirectory() == f)
                break;
        }

        return juce::File::getSpecialLocation (juce::File::userMusicDirectory);
    }

} // namespace

//==============================================================================
AppState::Locations AppState::Locations::inFolder (const juce::File& folder)
{
    const juce::String name (applicationName);
    const juce::String legacyName (legacyApplicationName);

    Locations where;
    where.settingsFile = folder.getChildFile (name + ".settings");
    where.legacySettingsFile = folder.getSiblingFile (legacyName).getChildFile (legacyName + ".settings");
    where.presetFolder = folder.getChildFile ("Presets");
    where.templateFile = folder.getChildFile ("StemTemplates.json");
    return where;
}

AppState::Locations AppState::Locations::standard()
{
    return inFolder (juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile (applicationName));
}

juce::File AppState::Locations::getDamagedSettingsFile() const
{
    return settingsFile.getSiblingFile (settingsFile.getFileName() + ".damaged");
}

void AppState::openSettings()
{
    const auto file = locations.settingsFile;

    // Bytes that are not UTF-8 never reach the XML parser, which reads past such text.
    bool damaged = false;

    if (file.existsAsFile())
    {
        juce::MemoryBlock bytes;
        damaged = ! file.loadFileAsData (bytes) || ! isWellFormedBytes (static_cast<const char*> (bytes.getData()), bytes.getSize());
    }

    if (! damaged)
    {
        settings = std::make_unique<juce::PropertiesFile> (file, settingsOptions (applicationName));

        if (settings->isValidFile())
            return;

        settings.reset();
    }

    // The damaged file is kept beside its place (replacing an older copy) before the fresh
    // settings, which start from the defaults, are written over it.
    const auto copy = locations.getDamagedSettingsFile();
    const bool kept = file.moveFileTo (copy);
    settings = std::make_unique<juce::PropertiesFile> (file, settingsOptions (applicationName));

    startupNotices.add (kept ? "The settings file could not be read, so the settings start from their defaults. The damaged file was kept as "
                                   + copy.getFullPathName() + "."
                             : "The settings file could not be read, so the settings start from their defaults. The damaged file could not be kept: "
                                   + file.getFullPathName() + " will be replaced.");
}

AppState::AppState (std::unique_ptr<Seams> seamsToUse, const Locations& where)
    : locations (where)
    , seams (seamsToUse != nullptr ? std::move (seamsToUse) : std::make_unique<JuceSeams>())
    , previewEngine (seams->createAudioDeviceType())
{
    openSettings();
    migrateLegacySettings();

    presetLibrary = std::make_unique<PresetLibrary> (locations.presetFolder);
    juce::String ignored;
    juce::ignoreUnused (presetLibrary->installBuiltIns (ignored));

    session.addListener (this);
    restoreFromSettings();
    changedSinceSaved = false; // taking up the stored preset is no change of the user's
    session.forgetUndoHistory();
}

AppState::~AppState()
{
    session.removeListener (this);
    writeFinalSettings();
}

void AppState::migrateLegacySettings()
{
    if (settings->getAllProperties().size() > 0)
        return;

    auto options = settingsOptions (legacyApplicationName);
    options.doNotSave = true; // the former file is left exactly as it is
    juce::PropertiesFile legacy (locations.legacySettingsFile, options);
    const auto& values = legacy.getAllProperties();

    if (values.size() == 0)
        return;

    for (int i = 0; i < values.size(); ++i)
        settings->setValue (values.getAllKeys()[i], values.getAllValues()[i]);

    juce::ignoreUnused (settings->saveIfNeeded());
}

void AppState::restoreFromSettings()
{
    const auto savedFolder = settings->getValue (outputFolderKey);

    // A path that is not valid UTF-8 never becomes a File.
    if (savedFolder.isNotEmpty() && isWellFormedText (savedFolder) && juce::File::isAbsolutePath (savedFolder) && juce::File (savedFolder).isDirectory())
        outputFolder = juce::File (savedFolder);

    const auto takeLibraryPreset = [this] (const juce::String& id) {
        if (id.isEmpty() || presetLibrary->findEntry (id) == nullptr)
            return false;

        auto loaded = presetLibrary->loadPreset (id);

        if (! loaded.ok)
            return false;

        presetId = id;
        session.setPreset (loaded.preset);
        return true;
    };

    const auto lastId = settings->getValue (presetIdKey);

    if (takeLibraryPreset (lastId))
        return;

    takeLibraryPreset (builtInEmptyPresetId);

    // A preset file the library could not read made the last preset vanish without a word.
    const auto& unreadable = presetLibrary->getUnreadableFiles();

    if (lastId.isEmpty() || unreadable.empty())
        return;

    juce::StringArray reasons;

    for (const auto& failed : unreadable)
        if (failed.id == lastId)
            reasons.add (failed.file.getFullPathName() + ":\n" + failed.reason);

    // Without its id the file can't be told from the others: every one is named.
    if (reasons.isEmpty())
        for (const auto& failed : unreadable)
            reasons.add (failed.file.getFullPathName() + ":\n" + failed.reason);

    startupNotices.add ("The preset last used could not be read, so the empty preset is in use. The file stays as it is:\n\n"
                        + reasons.joinIntoString ("\n\n"));
}

void AppState::writeFinalSettings()
{
    if (settings == nullptr)
        return;

    if (presetId.isNotEmpty())
        settings->setValue (presetIdKey, presetId);

    if (outputFolder != juce::File())
        settings->setValue (outputFolderKey, outputFolder.getFullPathName());

    juce::ignoreUnused (settings->saveIfNeeded());
}

void AppState::saveSettings()
{
    writeFinalSettings();
}

void AppState::adoptLibraryPreset (const juce::String& id)
{
    presetId = id;
    settings->setValue (presetIdKey, id); // the user's choice, also when none is left
    saveSettings();
    sendChangeMessage();
}

//==============================================================================
bool AppState::openProject (const juce::File& file, juce::String& error, juce::StringArray& missingSources)
{
    if (! file.existsAsFile())
    {
        error = "There is no file at " + file.getFullPathName() + ".";
        return false;
    }

    if (file.getSize() > maxProjectFileBytes)
    {
        error = "That project file is far larger than any project should be.";
        return false;
    }

    const auto document = readProjectDocument (file.loadFileAsString());

    if (! document.ok)
    {
        error = document.messages.toText();
        return false;
    }

    missingSources = document.missingFolders;
    session.applyProjectDocument (document, missingSources);
    session.forgetUndoHistory(); // rebuilding the project is no step of the user's to undo

    if (document.outputFolder != juce::File() && isWellFormedText (document.outputFolder.getFullPathName()) && ! isSamePath (document.outputFolder.getFullPathName(), outputFolder.getFullPathName()))
    {
        // Taken whether or not it exists now; the delayed save writes it.
        outputFolder = document.outputFolder;
        settings->setValue (outputFolderKey, outputFolder.getFullPathName());
        sendChangeMessage();
    }

    // The project's preset is linked to the library preset of the same id when there is one, so
    // the footer marks it only when the contents differ; otherwise no library preset is in use.
    const auto& projectPreset = session.getPreset();
    presetId = presetLibrary->findEntry (projectPreset.id) != nullptr ? projectPreset.id : juce::String();

    projectFile = file;
    changedSinceSaved = false;
    addRecentProject (file);
    sendChangeMessage();
    error.clear();
    return true;
}

bool AppState::saveProject (const juce::File& file, juce::String& error)
{
    const auto text = writeProjectDocument (session, outputFolder.getFullPathName(), true);

    if (! writeTextFileAtomically (file, text, error))
        return false;

    projectFile = file;
    changedSinceSaved = false;
    addRecentProject (file);
    return true;
}

void AppState::newProject()
{
    previewEngine.stop();
    session.clear();
    session.forgetUndoHistory();
    projectFile = juce::File();
    changedSinceSaved = false;
    sendChangeMessage();
}

void AppState::setOutputFolder (const juce::File& folder)
{
    // Refused as every path from outside is: it would reach the framework's String calls.
    if (! isWellFormedText (folder.getFullPathName()) || isSamePath (folder.getFullPathName(), outputFolder.getFullPathName()))
        return;

    outputFolder = folder;
    settings->setValue (outputFolderKey, folder.getFullPathName());
    sendChangeMessage();
}

void AppState::setLastReport (BatchReport&& report)
{
    lastReport = std::move (report);
    hasLastReport = true;
    ++lastReportRun;
    sendChangeMessage();
}

bool AppState::renameWrittenFile (const juce::File& file, const juce::String& newName, juce::String& error)
{
    if (! dunmoor::renameWrittenFile (lastReport, file, newName, error, LetterCaseRename::carryOut))
        return false;

    sendChangeMessage();
    return true;
}

bool AppState::isPresetModified() const
{
    if (presetId.isEmpty())
        return true;

    const auto stored = presetLibrary->loadPreset (presetId);
    return ! stored.ok || ! haveSameContent (stored.preset, session.getPreset());
}

bool AppState::isStemsAlphabetical() const
{
    return settings->getBoolValue (stemsAlphabeticalKey, settings->getBoolValue (legacyStemsAlphabeticalKey, false));
}

void AppState::setStemsAlphabetical (bool alphabetical)
{
    settings->setValue (stemsAlphabeticalKey, alphabetical);
    juce::ignoreUnused (settings->saveIfNeeded());
}

//==============================================================================
void AppState::addRecentEntry (const juce::String& key, const juce::String& path, int limit)
{
    auto entries = getRecentEntries (key, limit);

    for (int i = entries.size(); --i >= 0;)
        if (isSamePath (entries[i], path))
            entries.remove (i);

    entries.insert (0, path);

    while (entries.size() > limit)
        entries.remove (entries.size() - 1);

    settings->setValue (key, entries.joinIntoString ("\n"));
    juce::ignoreUnused (settings->saveIfNeeded());
}

juce::StringArray AppState::getRecentEntries (const juce::String& key, int limit) const
{
    juce::StringArray entries;
    const auto stored = settings->getValue (key);

    if (! isWellFormedText (stored))
        return entries;

    for (const auto& line : juce::StringArray::fromLines (stored))
    {
        if (entries.size() >= limit)
            break;

        const auto trimmed = line.trim();

        if (trimmed.isNotEmpty())
            entries.add (trimmed);
    }

    return entries;
}

void AppState::addRecentProject (const juce::File& file)
{
    if (file == juce::File() || ! isWellFormedText (file.getFullPathName()))
        return;

    addRecentEntry (recentProjectsKey, file.getFullPathName(), maxRecentProjects);
}

juce::StringArray AppState::getRecentProjects() const
{
    return getRecentEntries (recentProjectsKey, maxRecentProjects);
}

void AppState::clearRecentProjects()
{
    settings->removeValue (recentProjectsKey);
    juce::ignoreUnused (settings->saveIfNeeded());
}

void AppState::addRecentImportFolder (const juce::File& folder)
{
    if (folder == juce::File() || ! isWellFormedText (folder.getFullPathName()) || ! folder.isDirectory())
        return;

    addRecentEntry (recentImportFoldersKey, folder.getFullPathName(), maxRecentImportFolders);
}

juce::StringArray AppState::getRecentImportFolders() const
{
    return getRecentEntries (recentImportFoldersKey, maxRecentImportFolders);
}

void AppState::rememberImportLocation (const juce::Array<juce::File>& given)
{
    juce::File last;

    for (const auto& file : given)
        if (file.isDirectory())
            last = file;

    if (last == juce::File())
        for (const auto& file : given)
            if (file.existsAsFile())
                last = file;

    if (last != juce::File() && isWellFormedText (last.getFullPathName()))
        settings->setValue (importLocationKey, last.getFullPathName());
}

juce::File AppState::getImportBrowseFolder (ImportChooser chooser) const
{
    // Settings from before the location was remembered know only the last folder imported.
    auto stored = settings->getValue (importLocationKey);

    if (! isWellFormedText (stored) || ! juce::File::isAbsolutePath (stored))
        stored = getRecentImportFolders()[0];

    if (! juce::File::isAbsolutePath (stored))
        return existingFolderAtOrAbove ({});

    // The parent of a file is its folder, and the parent of a folder is where its siblings are.
    const juce::File last (stored);
    return existingFolderAtOrAbove (chooser == ImportChooser::folders ? last.getParentDirectory() : last);
}

juce::File AppState::getOutputBrowseFolder() const
{
    return existingFolderAtOrAbove (outputFolder);
}

} // namespace dunmoor::ui
