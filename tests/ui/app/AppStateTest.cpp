#include <gtest/gtest.h>

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "core/session/ProjectFile.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/app/DesktopOpener.h"
#include "ui/app/JuceSeams.h"

namespace dunmoor::testing
{
namespace
{
    /** Counts the change messages of a broadcaster (they arrive while the loop is pumped). */
    struct ChangeCounter : juce::ChangeListener
    {
        explicit ChangeCounter (juce::ChangeBroadcaster& b) : broadcaster (b) { broadcaster.addChangeListener (this); }
        ~ChangeCounter() override { broadcaster.removeChangeListener (this); }
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }

        /** Lets pending messages arrive, then says how many came. */
        int settle()
        {
            pumpMessages (50);
            return count;
        }

        juce::ChangeBroadcaster& broadcaster;
        int count = 0;
    };

    juce::PropertiesFile::Options legacyOptions()
    {
        juce::PropertiesFile::Options options;
        options.applicationName = "Dunmoor";
        options.folderName = "Dunmoor";
        options.filenameSuffix = "settings";
        options.storageFormat = juce::PropertiesFile::storeAsXML;
        options.millisecondsBeforeSaving = -1;
        return options;
    }

    /** Every test starts with no settings, no legacy settings, no presets and no templates:
        its states keep them in a folder of the test's own. */
    class AppStateTest : public ::testing::Test
    {
    protected:
        std::unique_ptr<ui::AppState> makeState() const
        {
            return std::make_unique<ui::AppState> (std::make_unique<FakeSeams>(), locations);
        }

        /** The settings as they are on disk now. */
        std::unique_ptr<juce::PropertiesFile> readSettingsFromDisk() const
        {
            auto options = legacyOptions();
            options.doNotSave = true;
            return std::make_unique<juce::PropertiesFile> (locations.settingsFile, options);
        }

        TemporaryFolder temp;
        const ui::AppState::Locations locations = freshLocations();
    };

    TEST_F (AppStateTest, FirstStartHasDefaultsAndTheEmptyPreset)
    {
        auto app = makeState();

        // The program's own: beside the presets and the templates, at explicit paths, not in a
        // folder of the home directory.
        const auto appData = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
        const auto standard = ui::AppState::Locations::standard();
        EXPECT_EQ (standard.settingsFile, appData.getChildFile ("Brackenfold/Brackenfold.settings"));
        EXPECT_EQ (standard.legacySettingsFile, appData.getChildFile ("Dunmoor/Dunmoor.settings"));
        EXPECT_EQ (standard.presetFolder, PresetLibrary::getDefaultRootFolder());
        EXPECT_EQ (standard.templateFile, TemplateStore::getDefaultFile());

        // A state given other locations keeps everything there.
        EXPECT_EQ (app->presetLibrary->getRootFolder(), locations.presetFolder);
        ASSERT_NE (app->presetLibrary->findEntry (builtInEmptyPresetId), nullptr);
        EXPECT_TRUE (app->presetLibrary->findEntry (builtInEmptyPresetId)->file.isAChildOf (locations.presetFolder)) << "the built-ins are installed there";
        EXPECT_EQ (app->templateStore.getFile(), locations.templateFile);

        EXPECT_EQ (app->outputFolder, juce::File());
        EXPECT_EQ (app->presetId, builtInEmptyPresetId);
        EXPECT_FALSE (app->isPresetModified());
        EXPECT_TRUE (app->getRecentProjects().isEmpty());
        EXPECT_TRUE (app->getRecentImportFolders().isEmpty());
        EXPECT_FALSE (app->isStemsAlphabetical());
        EXPECT_FALSE (app->hasLastReport);

        // The fake seams bring no audio device: auditions are refused with a reason.
        EXPECT_FALSE (app->previewEngine.isAudioAvailable());
        EXPECT_EQ (app->previewEngine.getDeviceErrorText(), "No audio output device could be opened.");

        app.reset();
        EXPECT_EQ (readSettingsFromDisk()->getValue ("presetId"), builtInEmptyPresetId);
        EXPECT_FALSE (readSettingsFromDisk()->containsKey ("outputFolder"));
    }

    TEST_F (AppStateTest, LegacySettingsMigrateOnceAndOnlyIntoAnEmptyFile)
    {
        const auto kept = temp.folder.getChildFile ("Deliveries");
        ASSERT_TRUE (kept.createDirectory());

        {
            juce::PropertiesFile legacy (locations.legacySettingsFile, legacyOptions());
            legacy.setValue ("outputFolder", kept.getFullPathName());
            legacy.setValue ("uiScalePercent", 110);
            legacy.setValue ("reviewAlphabeticalStems", true);
            ASSERT_TRUE (legacy.save());
        }

        const auto legacyText = locations.legacySettingsFile.loadFileAsString();

        {
            auto app = makeState();

            // Written at once, not by a delayed save.
            auto onDisk = readSettingsFromDisk();
            EXPECT_EQ (onDisk->getIntValue ("uiScalePercent"), 110);
            EXPECT_EQ (onDisk->getValue ("outputFolder"), kept.getFullPathName());
            EXPECT_EQ (app->outputFolder, kept);
            EXPECT_TRUE (app->isStemsAlphabetical()) << "the legacy key is the default of the new one";

            app->setStemsAlphabetical (false);
            EXPECT_FALSE (app->isStemsAlphabetical());
        }

        EXPECT_EQ (locations.legacySettingsFile.loadFileAsString(), legacyText) << "the former file is left alone";

        // A second start finds keys in the new file and migrates nothing.
        {
            juce::PropertiesFile legacy (locations.legacySettingsFile, legacyOptions());
            legacy.setValue ("uiScalePercent", 90);
            ASSERT_TRUE (legacy.save());
        }

        auto app = makeState();
        EXPECT_EQ (app->settings->getIntValue ("uiScalePercent"), 110);
    }

    TEST_F (AppStateTest, OutputFolderIsSavedLaterAndByTheDestructor)
    {
        const auto mix = temp.folder.getChildFile ("Mix");
        ASSERT_TRUE (mix.createDirectory());

        {
            auto app = makeState();
            ChangeCounter changes (*app);

            app->setOutputFolder (mix);
            EXPECT_EQ (changes.settle(), 1);
            EXPECT_FALSE (readSettingsFromDisk()->containsKey ("outputFolder")) << "the delayed save has not run yet";

            app->setOutputFolder (mix);
            EXPECT_EQ (changes.settle(), 1) << "the same folder changes nothing";

            // Two folders where the disk tells letter case apart.
            const auto lower = temp.folder.getChildFile ("mix");
            app->setOutputFolder (lower);
            EXPECT_EQ (changes.settle(), juce::File::areFileNamesCaseSensitive() ? 2 : 1);
            app->setOutputFolder (mix);
        }

        EXPECT_EQ (readSettingsFromDisk()->getValue ("outputFolder"), mix.getFullPathName());

        // A saved folder that is gone is ignored at start and not rewritten.
        ASSERT_TRUE (mix.deleteRecursively());
        {
            auto app = makeState();
            EXPECT_EQ (app->outputFolder, juce::File());
        }
        EXPECT_EQ (readSettingsFromDisk()->getValue ("outputFolder"), mix.getFullPathName());
    }

    // A damaged settings file was reset and overwritten on exit without a word.
    TEST_F (AppStateTest, ADamagedSettingsFileIsKeptBesideItAndToldOnce)
    {
        const auto file = locations.settingsFile;
        const auto copy = locations.getDamagedSettingsFile();
        EXPECT_EQ (copy, file.getSiblingFile ("Brackenfold.settings.damaged"));

        const char* contents[] = {
            "<?xml version=\"1.0\"?>\n<PROPERTIES><VALUE name=\"uiScalePercent\" val=\"110\"/>",   // cut short
            "<?xml version=\"1.0\"?>\n<PROPERTIES><VALUE name=\"outputFolder\" val=\"/Voil\xe0\"/></PROPERTIES>",
        };

        for (const auto* text : contents)
        {
            SCOPED_TRACE (text);
            ASSERT_TRUE (copy.getParentDirectory().createDirectory().wasOk());
            ASSERT_TRUE (copy.replaceWithText ("an older copy"));
            ASSERT_TRUE (file.replaceWithData (text, std::strlen (text)));

            {
                auto app = makeState();
                ASSERT_EQ (app->startupNotices.size(), 1);
                EXPECT_TRUE (app->startupNotices[0].contains (copy.getFullPathName())) << app->startupNotices[0];
                EXPECT_FALSE (app->settings->containsKey ("uiScalePercent"));
                EXPECT_EQ (app->outputFolder, juce::File());
            }

            juce::MemoryBlock kept;
            ASSERT_TRUE (copy.loadFileAsData (kept));
            EXPECT_EQ (kept.getSize(), std::strlen (text));
            EXPECT_EQ (std::memcmp (kept.getData(), text, kept.getSize()), 0);

            // The fresh file reads: nothing more to tell.
            auto again = makeState();
            EXPECT_TRUE (again->startupNotices.isEmpty());
        }
    }

    TEST_F (AppStateTest, RecentListsKeepTheNewestDistinctEntries)
    {
        auto app = makeState();

        for (int i = 1; i <= 21; ++i)
            app->addRecentProject (temp.file ("Project " + juce::String (i) + ".bkfp"));

        auto projects = app->getRecentProjects();
        ASSERT_EQ (projects.size(), 20);
        EXPECT_EQ (projects[0], temp.file ("Project 21.bkfp").getFullPathName());
        EXPECT_EQ (projects[19], temp.file ("Project 2.bkfp").getFullPathName());

        // The same path moves to the front; another letter case is another file on Linux.
        app->addRecentProject (temp.file ("Project 5.bkfp"));
        app->addRecentProject (temp.file ("project 6.bkfp"));
        projects = app->getRecentProjects();
        EXPECT_EQ (projects[0], temp.file ("project 6.bkfp").getFullPathName());
        EXPECT_EQ (projects[1], temp.file ("Project 5.bkfp").getFullPathName());
        EXPECT_EQ (projects.size(), 20);
        EXPECT_EQ (projects.contains (temp.file ("Project 6.bkfp").getFullPathName()), juce::File::areFileNamesCaseSensitive());
        EXPECT_EQ (readSettingsFromDisk()->getValue ("recentProjects"), projects.joinIntoString ("\n")) << "saved at once";

        app->clearRecentProjects();
        EXPECT_TRUE (app->getRecentProjects().isEmpty());
        EXPECT_FALSE (readSettingsFromDisk()->containsKey ("recentProjects"));

        // Import folders: existing folders only, at most 15.
        app->addRecentImportFolder (temp.make ("a file.wav"));
        app->addRecentImportFolder (temp.file ("missing"));
        app->addRecentImportFolder ({});
        EXPECT_TRUE (app->getRecentImportFolders().isEmpty());

        for (int i = 1; i <= 16; ++i)
        {
            const auto folder = temp.file ("Cue " + juce::String (i));
            ASSERT_TRUE (folder.createDirectory());
            app->addRecentImportFolder (folder);
        }

        const auto folders = app->getRecentImportFolders();
        ASSERT_EQ (folders.size(), 15);
        EXPECT_EQ (folders[0], temp.file ("Cue 16").getFullPathName());
        EXPECT_EQ (folders[14], temp.file ("Cue 2").getFullPathName());
    }

    TEST_F (AppStateTest, ProjectsSaveOpenAndRefuseWithoutChangingAnything)
    {
        const auto cue = temp.file ("1M01");
        ASSERT_TRUE (cue.createDirectory());
        juce::AudioBuffer<float> tone (2, 4800);
        tone.clear();
        ASSERT_TRUE (writeAudioFile (cue.getChildFile ("Violins.wav"), "wav", tone, 48000.0, 24));
        ASSERT_TRUE (writeAudioFile (cue.getChildFile ("Bass.wav"), "wav", tone, 48000.0, 24));

        const auto project = temp.file ("Show.bkfp");
        const auto deliveries = temp.file ("Deliveries");
        {
            auto app = makeState();
            juce::ignoreUnused (app->session.importFiles ({ cue }, true));
            ASSERT_EQ (app->session.getTracks().size(), 2u);
            app->setOutputFolder (deliveries);

            juce::String error;
            ASSERT_TRUE (app->saveProject (project, error)) << error;
            EXPECT_EQ (app->projectFile, project);
            EXPECT_EQ (app->getRecentProjects()[0], project.getFullPathName());
        }

        ASSERT_TRUE (cue.getChildFile ("Bass.wav").deleteFile());

        auto app = makeState();
        ChangeCounter changes (*app);
        juce::String error;
        juce::StringArray missing;

        // Refusals: each leaves the session, the preset, the folder and the lists as they were.
        const auto garbage = temp.make ("garbage.bkfp", "not a project");
        const auto huge = temp.file ("huge.bkfp");
        {
            juce::FileOutputStream out (huge);
            out.writeRepeatedByte (' ', (size_t) maxProjectFileBytes + 1);
        }

        struct Refusal
        {
            juce::File file;
            juce::String error;
        };

        const Refusal refusals[] = {
            { temp.file ("nowhere.bkfp"), "There is no file at " + temp.file ("nowhere.bkfp").getFullPathName() + "." },
            { huge, "That project file is far larger than any project should be." },
            { garbage, {} },
        };

        for (const auto& refusal : refusals)
        {
            SCOPED_TRACE (refusal.file.getFileName());
            error.clear();
            EXPECT_FALSE (app->openProject (refusal.file, error, missing));

            if (refusal.error.isNotEmpty())
            {
                EXPECT_EQ (error, refusal.error);
            }
            else
            {
                EXPECT_TRUE (error.startsWith ("ERROR   ")) << error;
            }

            EXPECT_TRUE (app->session.getTracks().empty());
            EXPECT_EQ (app->presetId, builtInEmptyPresetId);
            EXPECT_EQ (app->outputFolder, juce::File());
            EXPECT_EQ (app->projectFile, juce::File());
            EXPECT_EQ (app->getRecentProjects().size(), 1);
        }

        EXPECT_EQ (changes.settle(), 0);

        // At the limit a project is still read: the document padded with spaces to exactly 32 MiB.
        {
            auto text = project.loadFileAsString();
            juce::FileOutputStream out (huge);
            ASSERT_TRUE (out.setPosition (0) && out.truncate().wasOk());
            out.writeText (text, false, false, nullptr);
            out.writeRepeatedByte (' ', (size_t) (maxProjectFileBytes - out.getPosition()));
        }
        ASSERT_EQ (huge.getSize(), maxProjectFileBytes);

        ASSERT_TRUE (app->openProject (huge, error, missing)) << error;
        EXPECT_EQ (app->session.getTracks().size(), 1u);
        EXPECT_EQ (missing, juce::StringArray (cue.getChildFile ("Bass.wav").getFullPathName()));
        EXPECT_EQ (app->outputFolder, deliveries) << "taken although it does not exist";
        EXPECT_EQ (app->presetId, builtInEmptyPresetId) << "linked to the library's preset of the same id";
        EXPECT_FALSE (app->isPresetModified());
        EXPECT_EQ (app->projectFile, huge);
        EXPECT_EQ (app->getRecentProjects()[0], huge.getFullPathName());
        EXPECT_GE (changes.settle(), 1);
    }

    // The example preset was written anew at every start (its stems got new ids), opening a
    // project blanked the preset in use, and the next start came up on "Empty".
    TEST_F (AppStateTest, TheChosenPresetOutlivesProjectsAndRestarts)
    {
        const auto cue = temp.file ("1M01");
        ASSERT_TRUE (cue.createDirectory());
        juce::AudioBuffer<float> tone (1, 4800);
        tone.clear();
        ASSERT_TRUE (writeAudioFile (cue.getChildFile ("Violins.wav"), "wav", tone, 48000.0, 24));
        const auto project = temp.file ("Show.bkfp");
        const juce::Time old (2001, 0, 1, 0, 0);
        juce::File exampleFile;

        {
            auto app = makeState();
            exampleFile = app->presetLibrary->findEntry (builtInExamplePresetId)->file;
            app->presetId = builtInExamplePresetId;
            app->session.setPreset (app->presetLibrary->loadPreset (builtInExamplePresetId).preset);
            app->saveSettings();
            juce::ignoreUnused (app->session.importFiles ({ cue }, false));

            juce::String error;
            ASSERT_TRUE (app->saveProject (project, error)) << error;
        }

        // Two starts in a row leave the built-in file as it was.
        ASSERT_TRUE (exampleFile.setLastModificationTime (old));
        const auto exampleBytes = exampleFile.loadFileAsString();
        const auto projectBytes = project.loadFileAsString();
        makeState().reset();
        auto app = makeState();
        EXPECT_EQ (exampleFile.getLastModificationTime(), old);
        EXPECT_EQ (exampleFile.loadFileAsString(), exampleBytes);

        // The project opens unmodified, linked to the library's example preset.
        juce::String error;
        juce::StringArray missing;
        ASSERT_TRUE (app->openProject (project, error, missing)) << error;
        EXPECT_EQ (app->presetId, builtInExamplePresetId);
        EXPECT_FALSE (app->isPresetModified());
        EXPECT_FALSE (app->isChangedSinceSaved());
        EXPECT_EQ (project.loadFileAsString(), projectBytes);

        // A project whose preset the library does not hold has none in use, but the choice stored
        // in the settings stays for the next start.
        auto foreign = app->session.getPreset();
        foreign.id = "not-in-the-library";
        foreign.isBuiltIn = false;
        app->session.setPreset (foreign);
        const auto foreignProject = temp.file ("Foreign.bkfp");
        ASSERT_TRUE (app->saveProject (foreignProject, error)) << error;
        ASSERT_TRUE (app->openProject (foreignProject, error, missing)) << error;
        EXPECT_TRUE (app->presetId.isEmpty());
        EXPECT_TRUE (app->isPresetModified());

        app.reset();
        app = makeState();
        EXPECT_EQ (app->presetId, builtInExamplePresetId);
        EXPECT_EQ (app->session.getPreset().schema.stems.size(), 16u);
    }

    TEST_F (AppStateTest, ChangesSinceSavingAreTrackedAndNewProjectsStartEmpty)
    {
        const auto cue = temp.file ("1M01");
        ASSERT_TRUE (cue.createDirectory());
        juce::AudioBuffer<float> tone (1, 4800);
        tone.clear();
        ASSERT_TRUE (writeAudioFile (cue.getChildFile ("Violins.wav"), "wav", tone, 48000.0, 24));

        auto app = makeState();
        EXPECT_FALSE (app->isChangedSinceSaved()) << "taking up the stored preset is no change";
        EXPECT_FALSE (app->hasUnsavedWork());

        auto edited = app->session.getPreset();
        edited.description = "Edited";
        app->session.updatePreset (edited);
        EXPECT_TRUE (app->isChangedSinceSaved());
        EXPECT_FALSE (app->hasUnsavedWork()) << "nothing imported: nothing to lose";

        juce::ignoreUnused (app->session.importFiles ({ cue }, false));
        EXPECT_TRUE (app->hasUnsavedWork());

        juce::String error;
        ASSERT_TRUE (app->saveProject (temp.file ("Show.bkfp"), error)) << error;
        EXPECT_FALSE (app->hasUnsavedWork());

        // An import that adds nothing changes nothing: a folder already in the list, one without audio.
        ASSERT_TRUE (temp.file ("Empty").createDirectory());
        juce::ignoreUnused (app->session.importFiles ({ cue, temp.file ("Empty") }, false));
        EXPECT_FALSE (app->isChangedSinceSaved());

        app->session.setCueIncluded (app->session.getCues()[0].key, false);
        EXPECT_TRUE (app->hasUnsavedWork());

        // A directory where the project goes makes the save fail: the changes stay unsaved.
        ASSERT_TRUE (temp.file ("Blocked.bkfp").createDirectory());
        EXPECT_FALSE (app->saveProject (temp.file ("Blocked.bkfp"), error));
        EXPECT_TRUE (app->hasUnsavedWork());

        app->newProject();
        EXPECT_TRUE (app->session.getTracks().empty());
        EXPECT_EQ (app->projectFile, juce::File());
        EXPECT_FALSE (app->isChangedSinceSaved());
        EXPECT_EQ (app->session.getPreset().description, "Edited") << "the preset stays";
    }

    TEST_F (AppStateTest, ChoosersOpenWhereTheUserLastWas)
    {
        using Chooser = ui::AppState::ImportChooser;
        auto app = makeState();
        const auto music = juce::File::getSpecialLocation (juce::File::userMusicDirectory);
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::files), music);
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::folders), music);
        EXPECT_EQ (app->getOutputBrowseFolder(), music);

        // Settings that know only the recent folders: the folder chooser opens beside the last one.
        const auto cues = temp.file ("Cues");
        ASSERT_TRUE (cues.getChildFile ("1M01").createDirectory());
        app->addRecentImportFolder (cues.getChildFile ("1M01"));
        app->setOutputFolder (temp.file ("Out"));
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::files), cues.getChildFile ("1M01"));
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::folders), cues);
        EXPECT_EQ (app->getOutputBrowseFolder(), temp.folder) << "the folder above one that is not there yet";

        ASSERT_TRUE (temp.file ("Out").createDirectory());
        ASSERT_TRUE (cues.getChildFile ("1M01").deleteRecursively());
        EXPECT_EQ (app->getOutputBrowseFolder(), temp.file ("Out"));
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::files), cues);
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::folders), cues);

        // The remembered location outlives the program.
        ASSERT_TRUE (temp.file ("Stems/2M01").createDirectory());
        const auto stems = temp.make ("Stems/2M01/Bass.wav");
        app->rememberImportLocation ({ stems });
        app.reset();
        app = makeState();
        EXPECT_EQ (app->getImportBrowseFolder (Chooser::folders), stems.getParentDirectory());
    }

    TEST_F (AppStateTest, LastReportCountsRunsAndRenamesItsFiles)
    {
        auto app = makeState();
        ChangeCounter changes (*app);
        const auto bass = temp.make ("Bass.wav", "bass");

        BatchReport report;
        report.cues.resize (1);
        report.cues[0].files.resize (1);
        report.cues[0].files[0].file = bass;
        app->setLastReport (std::move (report));
        EXPECT_TRUE (app->hasLastReport);
        EXPECT_EQ (app->lastReportRun, 1);
        EXPECT_EQ (changes.settle(), 1);

        // A change of letter case alone is a real rename on a disk that tells case apart.
        juce::String error;
        ASSERT_TRUE (app->renameWrittenFile (bass, "bass", error)) << error;
        const auto renamed = temp.file ("bass.wav");
        EXPECT_EQ (renamed.loadFileAsString(), "bass");
        EXPECT_EQ (app->lastReport.cues[0].files[0].file.getFullPathName(), renamed.getFullPathName());

        if (juce::File::areFileNamesCaseSensitive())
        {
            EXPECT_FALSE (temp.file ("Bass.wav").exists());
        }

        EXPECT_EQ (changes.settle(), 2);
        EXPECT_EQ (app->lastReportRun, 1) << "a rename is not a new run";

        EXPECT_FALSE (app->renameWrittenFile (temp.file ("gone.wav"), "x", error));
        EXPECT_FALSE (error.isEmpty());
        EXPECT_EQ (changes.settle(), 2);

        app->setLastReport (BatchReport());
        EXPECT_EQ (app->lastReportRun, 2);
    }

    TEST_F (AppStateTest, PresetModifiedFollowsTheWorkingCopyAndTheLibrary)
    {
        auto app = makeState();
        ASSERT_FALSE (app->isPresetModified());

        auto edited = app->session.getPreset();
        edited.description = "Edited";
        app->session.updatePreset (edited);
        EXPECT_TRUE (app->isPresetModified());

        // Edits the built-in comparison of presets ignores are still edits the user would lose.
        app->session.updatePreset (app->presetLibrary->loadPreset (app->presetId).preset);
        ASSERT_FALSE (app->isPresetModified());

        auto plurals = app->session.getPreset();
        plurals.schema.matchPlurals = ! plurals.schema.matchPlurals;
        app->session.updatePreset (plurals);
        EXPECT_TRUE (app->isPresetModified());

        auto mixes = app->presetLibrary->loadPreset (app->presetId).preset;
        ASSERT_TRUE (mixes.schema.addAlternativeMix ("Instrumental").isNotEmpty());
        app->session.updatePreset (mixes);
        EXPECT_TRUE (app->isPresetModified());

        app->presetId = "no-such-preset";
        EXPECT_TRUE (app->isPresetModified());

        // The id in use is restored at the next start only while the library knows it.
        app->saveSettings();
        app.reset();
        app = makeState();
        EXPECT_EQ (app->presetId, builtInEmptyPresetId);
    }

    // Every page that loads, saves, duplicates or deletes a library preset goes through this: a
    // choice kept only in memory would be lost if the program ended before the window closed, and
    // a choice not announced would leave the footer and the Report page on the old preset.
    TEST_F (AppStateTest, AdoptingALibraryPresetIsStoredAtOnceAndAnnounced)
    {
        auto app = makeState();
        ChangeCounter changes (*app);

        app->adoptLibraryPreset (builtInExamplePresetId);
        EXPECT_EQ (app->presetId, builtInExamplePresetId);
        EXPECT_EQ (readSettingsFromDisk()->getValue ("presetId"), builtInExamplePresetId);
        EXPECT_EQ (changes.settle(), 1);

        // No library preset at all (the last one was deleted) is stored and announced as well.
        app->adoptLibraryPreset ({});
        EXPECT_TRUE (app->presetId.isEmpty());
        EXPECT_EQ (readSettingsFromDisk()->getValue ("presetId", "unchanged"), "");
        EXPECT_EQ (changes.settle(), 2);
    }

    // The last preset used, unreadable at start, fell back to the empty preset without a word.
    TEST_F (AppStateTest, ALastPresetThatCannotBeReadIsToldOnceWithItsReason)
    {
        juce::File file;

        {
            auto app = makeState();
            juce::String id, error;
            ASSERT_TRUE (app->presetLibrary->saveAsNewPreset (makeEmptyPreset(), "Trailer House", PresetKind::publisher, id, error)) << error;
            app->adoptLibraryPreset (id);
            file = app->presetLibrary->findEntry (id)->file;
        }

        ASSERT_TRUE (file.replaceWithText ("{ \"dunmoor\": "));

        {
            auto app = makeState();
            EXPECT_EQ (app->presetId, builtInEmptyPresetId);
            ASSERT_EQ (app->startupNotices.size(), 1);
            EXPECT_TRUE (app->startupNotices[0].startsWith ("The preset last used could not be read")) << app->startupNotices[0];
            EXPECT_TRUE (app->startupNotices[0].contains (file.getFullPathName())) << app->startupNotices[0];
            EXPECT_EQ (file.loadFileAsString(), "{ \"dunmoor\": ");
        }
    }

    // Opening a folder or a page hands the name to the program as one argument: no shell runs
    // "$(...)" in a cue's name, and a handler that fails is reported, not taken for success.
    TEST (DesktopOpener, PassesTheTargetAsOneArgumentAndReportsFailures)
    {
        TemporaryFolder temp;
        const auto record = temp.file ("argument.txt");
        const auto planted = temp.file ("pwned");
        const auto target = temp.folder.getFullPathName() + "/Cue $(touch " + planted.getFullPathName() + ") `id`";

        struct Case
        {
            juce::StringArray command;
            bool ok;
            juce::String error;
        };

        const Case cases[] = {
            { { "/bin/sh", "-c", "printf '%s' \"$1\" > '" + record.getFullPathName() + "'", "opener" }, true, {} },
            { { "/bin/sh", "-c", "exit 4", "opener" }, false, "/bin/sh reported a failure (exit status 4) opening \"" + target + "\"." },
            { { "/nonexistent/opener" }, false, "/nonexistent/opener could not be started to open \"" + target + "\". Check that it is installed." },
            { { "/nonexistent/xdg-open" }, false, "/nonexistent/xdg-open could not be started to open \"" + target + "\". Check that it is installed (it comes with the xdg-utils package)." },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.command[0] + " " + c.command[2]);
            ui::DesktopOpener opener (c.command);
            std::optional<ui::OpenResult> result;
            opener.open (target, [&result] (const ui::OpenResult& r) { result = r; });

            ASSERT_TRUE (pumpUntil ([&] { return result.has_value(); }));
            EXPECT_EQ (result->ok, c.ok);
            EXPECT_EQ (result->error, c.error);
        }

        EXPECT_EQ (record.loadFileAsString(), target);
        EXPECT_FALSE (planted.exists());
    }

    // A handler still looking for a browser when it counted as started, that then found none,
    // was taken for a success: the page never came and nothing said so.
    TEST (DesktopOpener, AFailureAfterTheHandlerCountedAsStartedIsStillReported)
    {
        const std::pair<const char*, std::vector<bool>> cases[] = {
            { "sleep 0.4; exit 3", { true, false } }, // started, then failed after all
            { "sleep 0.4; exit 0", { true } },        // started, and that was all
        };

        for (const auto& [script, expected] : cases)
        {
            SCOPED_TRACE (script);
            ui::DesktopOpener opener ({ "/bin/sh", "-c", script, "opener" }, 100.0);
            std::vector<ui::OpenResult> answers;
            opener.open ("page.html", [&answers] (const ui::OpenResult& r) { answers.push_back (r); });

            ASSERT_TRUE (pumpUntil ([&] { return ! answers.empty(); }));
            pumpMessages (1000); // the handler ends, and is reaped
            ASSERT_EQ (answers.size(), expected.size());

            for (size_t i = 0; i < answers.size(); ++i)
                EXPECT_EQ (answers[i].ok, expected[i]) << answers[i].error;

            if (! expected.back())
            {
                EXPECT_EQ (answers.back().error, "/bin/sh reported a failure (exit status 3) opening \"page.html\".");
            }
        }
    }

    TEST (JuceSeams, AuditionUsesTheAlsaOutput)
    {
        ui::JuceSeams seams;
        const auto type = seams.createAudioDeviceType();
        ASSERT_NE (type, nullptr);
        EXPECT_EQ (type->getTypeName(), "ALSA");
    }

    // A name longer than a preset file may hold could be typed, and then never saved.
    TEST (JuceSeams, PromptFieldsStopAtTheirLimit)
    {
        ui::JuceSeams seams;
        ui::TextPromptRequest request;
        request.title = "Name it";
        request.fields.push_back ({ "name", {}, "start", 4096 });

        juce::String answer;
        bool answered = false;
        seams.askForText (request, [&] (bool, const juce::StringArray& texts)
        {
            answer = texts[0];
            answered = true;
        });

        auto* window = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
        ASSERT_NE (window, nullptr);
        auto* editor = window->getTextEditor ("name");
        ASSERT_NE (editor, nullptr);
        pumpMessages (50); // the field settles on its initial text before the user types
        editor->setCaretPosition (editor->getTotalNumChars());
        editor->insertTextAtCaret (juce::String::repeatedString ("x", 5000));

        window->exitModalState (1);
        ASSERT_TRUE (pumpUntil ([&] { return answered; }));
        EXPECT_EQ (answer.length(), 4096);
        EXPECT_TRUE (answer.startsWith ("startxxx"));
    }

    // A question whose subject went away is taken off the screen by its title, answered as Cancel;
    // another open box stays.
    TEST (JuceSeams, AQuestionIsWithdrawnByItsTitle)
    {
        ui::JuceSeams seams;
        ui::MessageBoxRequest question;
        question.title = "A render is still running";
        int answers = 0;
        bool confirmed = true;
        seams.askOkCancel (question, [&] (bool ok) { ++answers; confirmed = ok; });
        ASSERT_NE (dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent()), nullptr);

        seams.withdrawQuestion ("Another title");
        pumpMessages (20);
        EXPECT_EQ (answers, 0);

        seams.withdrawQuestion (question.title);
        ASSERT_TRUE (pumpUntil ([&] { return answers > 0; }));
        EXPECT_EQ (answers, 1);
        EXPECT_FALSE (confirmed);
        EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
    }
} // namespace
} // namespace dunmoor::testing
