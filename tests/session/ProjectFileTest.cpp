#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "core/files/JsonText.h"
#include "core/preset/PresetJson.h"
#include "core/session/ProjectFile.h"

namespace dunmoor
{
namespace
{
    using namespace testing;

    /** Stems Strings, Brass, Percussion and a mix "Orchestral" of Strings and Brass. */
    Preset makePresetWithMix()
    {
        auto preset = makeOrchestraPreset();
        const auto mixId = preset.schema.addAlternativeMix ("Orchestral");
        preset.schema.setAlternativeMixMember (mixId, preset.schema.stems[2].id, false);
        return preset;
    }

    /** Proj/Reel1/Cue1 with five named tracks and Proj/Cue2 with two and an unreadable one. */
    struct ProjectOnDisk
    {
        ProjectOnDisk()
        {
            for (const auto* name : { "violins hi.wav", "horns.wav", "kick.wav", "snare.wav", "mystery.wav" })
                writeTinyWav (cue1.getChildFile (name));

            for (const auto* name : { "strings.wav", "trumpet.wav" })
                writeTinyWav (cue2.getChildFile (name));

            cue2.getChildFile ("broken.wav").replaceWithText ("not audio");
        }

        TemporaryFolder temp;
        juce::File root = temp.file ("Proj");
        juce::File cue1 = root.getChildFile ("Reel1/Cue1");
        juce::File cue2 = root.getChildFile ("Cue2");
    };

    juce::String cueKeyOf (const juce::File& folder) { return stableIdFromText (folder.getFullPathName()); }

    juce::String describeTrack (const Session& session, const juce::String& fileName)
    {
        const auto* track = trackNamed (session, fileName);

        if (track == nullptr)
            return "absent";

        const auto* stem = session.getPreset().schema.findStem (track->stemId);
        return (stem != nullptr ? stem->displayName : juce::String ("-")) + " " + assignmentSourceToString (track->source);
    }

    ProjectDocument reopen (const juce::String& text, Session& session, juce::StringArray& missing)
    {
        auto document = readProjectDocument (text);
        EXPECT_TRUE (document.ok) << document.messages.toText();
        missing = document.missingFolders;
        session.applyProjectDocument (document, missing);
        return document;
    }

    TEST (ProjectFile, RoundTripRestoresTheUsersWork)
    {
        ProjectOnDisk disk;
        Session saved;
        saved.setPreset (makePresetWithMix());
        (void) saved.importFiles ({ disk.root }, true);
        ASSERT_EQ (saved.getTracks().size(), 8u);

        const auto brass = stemIdNamed (saved, "Brass");
        const auto percussion = stemIdNamed (saved, "Percussion");
        const auto strings = stemIdNamed (saved, "Strings");
        const auto& mix = saved.getPreset().schema.alternativeMixes.front();

        saved.assignTracks ({ trackIdNamed (saved, "mystery.wav") }, brass, false);
        saved.assignTracks ({ trackIdNamed (saved, "horns.wav") }, percussion, true);
        saved.removeTracks ({ trackIdNamed (saved, "snare.wav") });
        ASSERT_TRUE (saved.renameCue (cueKeyOf (disk.cue1), "Opening Titles"));
        saved.setCueIncluded (cueKeyOf (disk.cue2), false);
        saved.setCueTrimStart (cueKeyOf (disk.cue2), 1.25);
        saved.setCueMixMember (cueKeyOf (disk.cue1), mix, brass, false);
        saved.setCueMixMember (cueKeyOf (disk.cue1), mix, percussion, true);

        const auto text = writeProjectDocument (saved, "/deliveries/Show", true);

        juce::var root;
        ASSERT_TRUE (parseJsonDocument (text, root).wasOk());
        juce::StringArray keys;
        for (const auto& property : root.getDynamicObject()->getProperties())
            keys.add (property.name.toString());
        EXPECT_EQ (keys.joinIntoString (","), "format,schemaVersion,savedUtc,outputFolder,recurseSubfolders,preset,importedFolders,cues,tracks");
        EXPECT_TRUE (root["preset"].hasProperty ("dunmoor") && root["preset"].hasProperty ("preset"));

        Session reopened;
        RecordingListener listener (reopened);
        juce::StringArray missing;
        const auto document = reopen (text, reopened, missing);

        EXPECT_TRUE (missing.isEmpty()) << missing.joinIntoString (", ");
        EXPECT_EQ (document.outputFolder, juce::File ("/deliveries/Show"));
        EXPECT_TRUE (document.recurseSubfolders);
        EXPECT_TRUE (reopened.getPreset() == saved.getPreset());
        ASSERT_EQ (reopened.getPreset().schema.alternativeMixes.size(), 1u);
        EXPECT_EQ (reopened.getPreset().schema.alternativeMixes[0].stemIds, mix.stemIds);

        // The removed track stays removed although its folder was imported whole again.
        EXPECT_EQ (reopened.getTracks().size(), 7u);
        EXPECT_EQ (describeTrack (reopened, "snare.wav"), "absent");
        EXPECT_EQ (describeTrack (reopened, "mystery.wav"), "Brass manual");
        EXPECT_EQ (trackNamed (reopened, "mystery.wav")->reason, "Assigned by the user.");
        EXPECT_EQ (describeTrack (reopened, "horns.wav"), "Percussion locked");
        EXPECT_EQ (describeTrack (reopened, "violins hi.wav"), "Strings automatic");
        EXPECT_EQ (describeTrack (reopened, "broken.wav"), "- none");
        EXPECT_TRUE (trackNamed (reopened, "broken.wav")->error.isNotEmpty());

        const auto* cue1 = reopened.findCue (cueKeyOf (disk.cue1));
        const auto* cue2 = reopened.findCue (cueKeyOf (disk.cue2));
        ASSERT_TRUE (cue1 != nullptr && cue2 != nullptr);
        EXPECT_EQ (cue1->name, "Opening Titles");
        EXPECT_EQ (cue1->relativeName, "Reel1/Cue1"); // the re-import alone would give "Cue1"
        EXPECT_TRUE (cue1->included);
        EXPECT_EQ (cue1->mixOverrides, (std::map<juce::String, juce::StringArray> { { mix.id, { strings, percussion } } }));
        EXPECT_EQ (cue2->name, "Cue2");
        EXPECT_EQ (cue2->relativeName, "Cue2");
        EXPECT_FALSE (cue2->included);
        EXPECT_EQ (cue2->trimStartSeconds, 1.25);
        EXPECT_TRUE (cue2->mixOverrides.empty());

        // Opening is a series of ordinary session operations: the user can step back through it.
        EXPECT_TRUE (listener.take().contains ("preset"));
        EXPECT_GT (reopened.getUndoIndex(), 1);
    }

    // Reopening listed the files of the second of two folders differing only in case as missing.
    TEST (ProjectFile, BothFoldersOfACaseMergedCueComeBack)
    {
        TemporaryFolder temp;
        const auto project = temp.file ("Project");
        writeTinyWav (project.getChildFile ("Cue 1/Violins.wav"));
        writeTinyWav (project.getChildFile ("CUE 1/Horns.wav"));

        Session saved;
        saved.setPreset (makeOrchestraPreset());
        (void) saved.importFiles ({ project }, true);
        saved.assignTracks ({ trackIdNamed (saved, "Violins.wav") }, stemIdNamed (saved, "Brass"), true);
        ASSERT_EQ (saved.getCues().size(), 1u);

        Session reopened;
        juce::StringArray missing;
        const auto document = reopen (writeProjectDocument (saved, {}, true), reopened, missing);

        EXPECT_TRUE (missing.isEmpty()) << missing.joinIntoString (", ");
        EXPECT_EQ (document.importedFolders.size(), 2);
        ASSERT_EQ (reopened.getCues().size(), 1u);
        EXPECT_EQ (reopened.getCues()[0].folder, saved.getCues()[0].folder);
        EXPECT_EQ (describeTrack (reopened, "Violins.wav"), "Brass locked");
        EXPECT_EQ (describeTrack (reopened, "Horns.wav"), "Brass automatic");
    }

    // Reopening imported the saved folders whole: the other files of a big folder filled the
    // track limit and the saved tracks after it were listed as missing.
    TEST (ProjectFile, OnlyTheSavedFilesAreImportedAgain)
    {
        TemporaryFolder temp;
        const auto library = temp.file ("Library");
        const auto violins = writeTinyWav (library.getChildFile ("violins.wav"));
        const auto horns = writeTinyWav (temp.file ("Cue 2/horns.wav"));

        for (int i = 0; i < Session::maxTracks; ++i)
            ASSERT_TRUE (library.getChildFile ("Old/take" + juce::String (i) + ".wav").create());

        Session saved;
        saved.setPreset (makeOrchestraPreset());
        (void) saved.importFiles ({ violins, horns }, false);

        Session reopened;
        juce::StringArray missing;
        (void) reopen (writeProjectDocument (saved, {}, true), reopened, missing);

        EXPECT_TRUE (missing.isEmpty()) << missing.joinIntoString (", ");
        ASSERT_EQ (reopened.getTracks().size(), 2u);
        EXPECT_EQ (describeTrack (reopened, "violins.wav"), "Strings automatic");
        EXPECT_EQ (describeTrack (reopened, "horns.wav"), "Brass automatic");
        EXPECT_EQ (reopened.getCues().size(), 2u);
    }

    // A saved file that was deleted took over the assignment of another file whose name
    // differed only in case, and was not listed as missing.
    TEST (ProjectFile, AFileGoneIsNotReplacedByOneDifferingInCase)
    {
        TemporaryFolder temp;
        const auto upper = writeTinyWav (temp.file ("Cue/Kick.wav"));
        const auto lower = writeTinyWav (temp.file ("Cue/kick.wav"));

        Session saved;
        saved.setPreset (makeOrchestraPreset());
        (void) saved.importFiles ({ upper.getParentDirectory() }, false);
        ASSERT_EQ (saved.getTracks().size(), 2u);
        saved.assignTracks ({ trackIdNamed (saved, "Kick.wav") }, stemIdNamed (saved, "Brass"), true);
        const auto text = writeProjectDocument (saved, {}, true);

        ASSERT_TRUE (upper.deleteFile());
        Session reopened;
        juce::StringArray missing;
        (void) reopen (text, reopened, missing);

        EXPECT_EQ (missing, juce::StringArray (upper.getFullPathName()));
        ASSERT_EQ (reopened.getTracks().size(), 1u);
        EXPECT_EQ (describeTrack (reopened, "kick.wav"), "Percussion automatic");
    }

    TEST (ProjectFile, MissingFoldersAndFilesAreListedAndTheRestOpens)
    {
        ProjectOnDisk disk;
        Session saved;
        saved.setPreset (makePresetWithMix());
        (void) saved.importFiles ({ disk.root }, true);
        ASSERT_TRUE (saved.renameCue (cueKeyOf (disk.cue1), "Kept"));
        ASSERT_TRUE (saved.renameCue (cueKeyOf (disk.cue2), "Lost"));
        const auto text = writeProjectDocument (saved, {}, true);

        ASSERT_TRUE (disk.cue2.moveFileTo (disk.temp.file ("Elsewhere")));
        ASSERT_TRUE (disk.cue1.getChildFile ("kick.wav").deleteFile());

        Session reopened;
        juce::StringArray missing;
        const auto document = reopen (text, reopened, missing);

        EXPECT_EQ (document.missingFolders, juce::StringArray (disk.cue2.getFullPathName()));
        EXPECT_EQ (document.outputFolder, juce::File());
        EXPECT_EQ (missing, juce::StringArray (disk.cue2.getFullPathName(), disk.cue2.getChildFile ("broken.wav").getFullPathName(), disk.cue2.getChildFile ("strings.wav").getFullPathName(), disk.cue2.getChildFile ("trumpet.wav").getFullPathName(), disk.cue1.getChildFile ("kick.wav").getFullPathName()));
        ASSERT_EQ (reopened.getCues().size(), 1u);
        EXPECT_EQ (reopened.getCues()[0].name, "Kept");
        EXPECT_EQ (reopened.getTracks().size(), 4u);
    }

    TEST (ProjectFile, OnlyFullPathsAreUsed)
    {
        // A relative path used to resolve against the working directory.
        ProjectOnDisk disk;
        Session saved;
        (void) saved.importFiles ({ disk.cue2 }, false);
        juce::var root;
        ASSERT_TRUE (parseJsonDocument (writeProjectDocument (saved, "Deliveries", true), root).wasOk());
        root["importedFolders"].getArray()->add ("Proj/Cue2");

        for (auto& entry : *root["tracks"].getArray())
            if (entry["path"] == disk.cue2.getChildFile ("strings.wav").getFullPathName())
                entry.getDynamicObject()->setProperty ("path", "Cue2/strings.wav");

        Session reopened;
        juce::StringArray missing;
        const auto document = reopen (juce::JSON::toString (root), reopened, missing);

        EXPECT_EQ (document.outputFolder, juce::File());
        EXPECT_TRUE (document.messages.warnings.contains ("project.outputFolder is not a full path; no output folder was restored."));
        EXPECT_EQ (document.missingFolders, juce::StringArray ("Proj/Cue2"));
        EXPECT_EQ (missing, juce::StringArray ("Proj/Cue2", "Cue2/strings.wav"));
        EXPECT_EQ (describeTrack (reopened, "strings.wav"), "absent");
        EXPECT_EQ (reopened.getTracks().size(), 2u);
    }

    TEST (ProjectFile, SavedDecisionsMeetTheMatchingEngine)
    {
        ProjectOnDisk disk;
        Session saved;
        saved.setPreset (makePresetWithMix());
        (void) saved.importFiles ({ disk.root }, true);

        auto text = writeProjectDocument (saved, {}, true);
        const auto kick = disk.cue1.getChildFile ("kick.wav").getFullPathName();
        const auto horns = disk.cue1.getChildFile ("horns.wav").getFullPathName();
        const auto mystery = disk.cue1.getChildFile ("mystery.wav").getFullPathName();
        const auto percussion = stemIdNamed (saved, "Percussion");

        juce::var root;
        ASSERT_TRUE (parseJsonDocument (text, root).wasOk());

        for (auto& entry : *root["tracks"].getArray())
        {
            auto* track = entry.getDynamicObject();
            const auto path = track->getProperty ("path").toString();

            if (path == kick) // automatic, saved as locked: locked on whatever the engine gives
            {
                track->setProperty ("locked", true);
            }
            else if (path == horns) // an automatic assignment saved elsewhere is recomputed
            {
                track->setProperty ("stemId", percussion);
            }
            else if (path == mystery) // a manual one to a stem the preset lacks: nothing
            {
                track->setProperty ("stemId", "gone");
                track->setProperty ("source", "manual");
            }
        }

        Session reopened;
        juce::StringArray missing;
        reopen (juce::JSON::toString (root), reopened, missing);

        EXPECT_EQ (describeTrack (reopened, "kick.wav"), "Percussion locked");
        EXPECT_EQ (describeTrack (reopened, "horns.wav"), "Brass automatic");
        EXPECT_EQ (describeTrack (reopened, "mystery.wav"), "- none");
    }

    //==============================================================================
    /** The document of an empty session with the orchestra preset, as a value to edit. */
    juce::var emptyProject()
    {
        Session session;
        session.setPreset (makeOrchestraPreset());
        juce::var root;
        EXPECT_TRUE (parseJsonDocument (writeProjectDocument (session, {}, true), root).wasOk());
        return root;
    }

    juce::var withKey (juce::var root, const juce::String& key, const juce::var& value)
    {
        if (value.isVoid())
            root.getDynamicObject()->removeProperty (key);
        else
            root.getDynamicObject()->setProperty (key, value);

        return root;
    }

    juce::var listOf (int count, const juce::var& entry)
    {
        juce::Array<juce::var> list;
        for (int i = 0; i < count; ++i)
            list.add (entry);
        return list;
    }

    TEST (ProjectFile, EmptySessionWritesEmptyListsAndReadsWithAWarning)
    {
        const auto root = emptyProject();
        EXPECT_EQ (root["importedFolders"].getArray()->size(), 0);
        EXPECT_EQ (root["cues"].getArray()->size(), 0);
        EXPECT_EQ (root["tracks"].getArray()->size(), 0);

        const auto document = readProjectDocument (juce::JSON::toString (root));
        EXPECT_TRUE (document.ok);
        EXPECT_EQ (document.messages.warnings, juce::StringArray ("That project has nothing in it."));
        EXPECT_EQ (document.preset.id, "test-orchestra");
    }

    TEST (ProjectFile, BadDocumentsAreRefusedWithTheirMessage)
    {
        auto badPreset = writePresetDocument (makeOrchestraPreset());
        badPreset["preset"]["schema"]["stems"][0].getDynamicObject()->setProperty ("priority", 5000);

        const auto deep = juce::String::repeatedString ("[", 100000);
        const auto deepInPreset = juce::JSON::toString (withKey (emptyProject(), "preset", "deep")).replace ("\"deep\"", "{\"x\": " + deep + "}");

        const juce::var folder (juce::File::getSpecialLocation (juce::File::tempDirectory).getFullPathName());
        auto cue = new juce::DynamicObject();
        const juce::var cueEntry (cue);
        auto track = new juce::DynamicObject();
        const juce::var trackEntry (track);
        track->setProperty ("path", "/nowhere/a.wav");

        struct Case
        {
            const char* what;
            juce::String text;
            juce::String firstError;
        };

        const juce::String notAProject ("That file is not a Brackenfold project.");
        const juce::String noVersion ("That project file does not say which version it is.");

        const Case cases[] = {
            { "not JSON", "{ format: ", notAProject },
            { "an array", "[1, 2]", notAProject },
            { "nested past the guard", deep, notAProject }, // such nesting used to overflow the parser's stack
            { "format in other letter case", juce::JSON::toString (withKey (emptyProject(), "format", "Brackenfold.Project")), notAProject },
            { "format missing", juce::JSON::toString (withKey (emptyProject(), "format", {})), notAProject },
            { "version missing", juce::JSON::toString (withKey (emptyProject(), "schemaVersion", {})), noVersion },
            { "version 0", juce::JSON::toString (withKey (emptyProject(), "schemaVersion", 0)), noVersion },
            { "version as text", juce::JSON::toString (withKey (emptyProject(), "schemaVersion", "1")), noVersion },
            { "version 2", juce::JSON::toString (withKey (emptyProject(), "schemaVersion", 2)), "That project was saved by a newer version of Brackenfold. Update to open it." },
            { "preset missing", juce::JSON::toString (withKey (emptyProject(), "preset", {})), "That project has no preset in it." },
            { "preset an array", juce::JSON::toString (withKey (emptyProject(), "preset", listOf (1, 1))), "That project has no preset in it." },
            { "preset nested past the guard", deepInPreset, notAProject },
            { "preset value out of range", juce::JSON::toString (withKey (emptyProject(), "preset", badPreset)), "preset.schema.stems[0].priority must be between" },
            { "2049 folders", juce::JSON::toString (withKey (emptyProject(), "importedFolders", listOf (2049, folder))), "That project names more folders than Brackenfold will open." },
            { "2049 cues", juce::JSON::toString (withKey (emptyProject(), "cues", listOf (2049, cueEntry))), "That project names more cues than Brackenfold will open." },
            { "2049 tracks", juce::JSON::toString (withKey (emptyProject(), "tracks", listOf (2049, trackEntry))), "That project names more tracks than Brackenfold will open." },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.what);
            const auto document = readProjectDocument (c.text);
            EXPECT_FALSE (document.ok);
            ASSERT_FALSE (document.messages.errors.isEmpty());
            EXPECT_TRUE (document.messages.errors[0].startsWith (c.firstError)) << document.messages.errors[0];
        }

        // At the limits everything is read; past the track limit nothing after it is.
        auto atLimits = withKey (emptyProject(), "importedFolders", listOf (2048, folder));
        atLimits = withKey (atLimits, "cues", listOf (2048, cueEntry));
        atLimits = withKey (atLimits, "tracks", listOf (2048, trackEntry));
        const auto full = readProjectDocument (juce::JSON::toString (atLimits));
        EXPECT_TRUE (full.ok) << full.messages.toText();
        EXPECT_EQ (full.importedFolders.size(), 2048);
        EXPECT_EQ (full.cues.size(), 2048u);
        EXPECT_EQ (full.tracks.size(), 2048u);

        const auto tooMany = readProjectDocument (juce::JSON::toString (withKey (atLimits, "tracks", listOf (2049, trackEntry))));
        EXPECT_TRUE (tooMany.tracks.empty());
        EXPECT_EQ (tooMany.messages.errors.size(), 1);
        EXPECT_TRUE (tooMany.messages.warnings.isEmpty());
    }

    // The page lets a user keep two stems with one code ("Use the name anyway?"); a project saved
    // then used to be refused when opened, losing the session's work.
    TEST (ProjectFile, APresetFailingOnlyValidationOpensWithWarnings)
    {
        ProjectOnDisk disk;
        Session saved;
        auto invalid = makeOrchestraPreset();
        invalid.schema.stems[1].shortCode = "STR";
        invalid.exportSettings.masterSampleRate = 22050.0;
        saved.setPreset (invalid);
        (void) saved.importFiles ({ disk.root }, true);
        saved.assignTracks ({ trackIdNamed (saved, "horns.wav") }, stemIdNamed (saved, "Percussion"), true);

        Session reopened;
        juce::StringArray missing;
        const auto document = reopen (writeProjectDocument (saved, {}, true), reopened, missing);

        EXPECT_TRUE (document.messages.errors.isEmpty());
        EXPECT_TRUE (document.messages.warnings.contains ("Stem schema: Brass: duplicate short code 'STR'."))
            << document.messages.toText();
        EXPECT_TRUE (document.messages.warnings.contains ("Export settings: Unsupported project sample rate: 22050"))
            << document.messages.toText();
        EXPECT_TRUE (haveSameContent (reopened.getPreset(), saved.getPreset()));
        EXPECT_EQ (describeTrack (reopened, "horns.wav"), "Percussion locked");

        // Still not something to store or render.
        juce::String error;
        EXPECT_FALSE (checkPresetIsStorable (reopened.getPreset(), error));
        EXPECT_FALSE (validatePreset (reopened.getPreset()).errors.isEmpty());
    }

    TEST (ProjectFile, WrongValuesInsideEntriesFallBackWithAWarning)
    {
        const auto cues = juce::JSON::parse (R"([
            { "folder": "/a", "name": "A" },
            { "folder": "/b", "name": 7, "included": 0, "trimStartSeconds": -3, "relativeName": 5,
              "submixOverrides": { "m1": "s1\n\n  \n s2 ", "m2": 4, "m3": "" } },
            "nonsense"
        ])");

        const auto tracks = juce::JSON::parse (R"([
            { "path": "/a/x.wav", "stemId": "s1", "source": "bogus", "locked": "true" },
            { "path": "", "stemId": "s1", "source": "manual" },
            { "path": "/a/y.wav", "source": " Locked ", "locked": 1 }
        ])");

        auto root = withKey (emptyProject(), "cues", cues);
        root = withKey (root, "tracks", tracks);
        root = withKey (root, "recurseSubfolders", "false");
        const auto text = juce::JSON::toString (root);

        const auto document = readProjectDocument (text);
        ASSERT_TRUE (document.ok) << document.messages.toText();
        EXPECT_TRUE (document.recurseSubfolders);

        ASSERT_EQ (document.cues.size(), 3u);
        const auto& a = document.cues[0];
        EXPECT_TRUE (a.included);
        EXPECT_EQ (a.trimStartSeconds, 0.0);
        EXPECT_FALSE (a.hasRelativeName);
        const auto& b = document.cues[1];
        EXPECT_EQ (b.name, "");
        EXPECT_TRUE (b.included);
        EXPECT_EQ (b.trimStartSeconds, 0.0);
        EXPECT_FALSE (b.hasRelativeName);
        EXPECT_EQ (b.mixOverrides, (std::map<juce::String, juce::StringArray> { { "m1", { "s1", " s2 " } }, { "m3", {} } }));
        EXPECT_EQ (document.cues[2].folder, "");

        ASSERT_EQ (document.tracks.size(), 2u);
        EXPECT_EQ (document.tracks[0].source, AssignmentSource::none);
        EXPECT_FALSE (document.tracks[0].locked);
        EXPECT_EQ (document.tracks[1].source, AssignmentSource::locked);
        EXPECT_FALSE (document.tracks[1].locked);

        EXPECT_EQ (document.messages.warnings, juce::StringArray ({ "project.recurseSubfolders must be true or false.", "project.cues[1].name must be a string.", "project.cues[1].included must be true or false.", "project.cues[1].relativeName must be a string.", "project.cues[1].submixOverrides.m2 must be a string.", "project.cues[2] must be an object.", "project.tracks[0].source: 'bogus' is not a value this version understands.", "project.tracks[0].locked must be true or false.", "project.tracks[2].locked must be true or false." }));
    }

    TEST (ProjectFile, OverrideListsAreWrittenOnlyWhenSet)
    {
        TemporaryFolder temp;
        writeTinyWav (temp.file ("A/violins.wav"));
        writeTinyWav (temp.file ("B/horns.wav"));
        Session session;
        session.setPreset (makePresetWithMix());
        (void) session.importFiles ({ temp.file ("A"), temp.file ("B") }, false);
        const auto mix = session.getPreset().schema.alternativeMixes.front();

        for (const auto& stemId : mix.stemIds)
            session.setCueMixMember (cueKeyOf (temp.file ("B")), mix, stemId, false);

        juce::var root;
        ASSERT_TRUE (parseJsonDocument (writeProjectDocument (session, {}, true), root).wasOk());
        EXPECT_FALSE (root["cues"][0].hasProperty ("submixOverrides"));
        EXPECT_EQ (root["cues"][1]["submixOverrides"][juce::Identifier (mix.id)], juce::var (""));

        Session reopened;
        juce::StringArray missing;
        reopen (juce::JSON::toString (root), reopened, missing);
        EXPECT_EQ (reopened.findCue (cueKeyOf (temp.file ("B")))->mixOverrides.at (mix.id), juce::StringArray());
        EXPECT_TRUE (reopened.findCue (cueKeyOf (temp.file ("A")))->mixOverrides.empty());
    }

    TEST (ProjectFile, LoadingChecksTheFileFirst)
    {
        TemporaryFolder temp;
        const auto file = temp.file ("Show.bkfp");
        EXPECT_EQ (loadProjectFile (file).messages.errors, juce::StringArray ("There is no file at " + file.getFullPathName() + "."));

        // Padded with white space to exactly the size limit, the file is read; one byte more is not.
        auto text = juce::JSON::toString (emptyProject()).toStdString();
        text.resize ((size_t) maxProjectFileBytes, ' ');
        ASSERT_TRUE (file.replaceWithData (text.data(), text.size()));
        const auto atLimit = loadProjectFile (file);
        EXPECT_TRUE (atLimit.ok) << atLimit.messages.toText();

        ASSERT_TRUE (file.appendText (" "));
        EXPECT_EQ (file.getSize(), maxProjectFileBytes + 1);
        const auto pastLimit = loadProjectFile (file);
        EXPECT_FALSE (pastLimit.ok);
        EXPECT_EQ (pastLimit.messages.errors, juce::StringArray ("That project file is far larger than any project should be."));
    }

    TEST (ProjectFile, BoolPropertyTakesOnlyJsonBooleans)
    {
        const auto object = juce::JSON::parse (R"({ "t": true, "f": false, "one": 1, "text": "true", "null": null })");

        EXPECT_TRUE (getBoolProperty (object, "t", false));
        EXPECT_FALSE (getBoolProperty (object, "f", true));

        for (const auto* key : { "one", "text", "null", "absent" })
        {
            EXPECT_TRUE (getBoolProperty (object, key, true)) << key;
            EXPECT_FALSE (getBoolProperty (object, key, false)) << key;
        }

        EXPECT_TRUE (getBoolProperty (juce::JSON::parse ("[true]"), "0", true));
    }
} // namespace
} // namespace dunmoor
