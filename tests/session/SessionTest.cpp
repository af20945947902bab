#include <gtest/gtest.h>

#include "SessionTestSupport.h"

namespace dunmoor
{
namespace
{
    using namespace testing;

    TEST (Session, StableIdIsACaseBlindHashInHex)
    {
        EXPECT_EQ (stableIdFromText (""), "0");
        EXPECT_EQ (stableIdFromText ("abc"), "f4046");
        EXPECT_EQ (stableIdFromText ("ABC"), "f4046");

        // Long paths wrap modulo 2^64 and still give at most 16 digits, equal for any letter case.
        const juce::String path ("/Volumes/Score Sessions/Reel 4/4m12 The Long Road Home (alt)");
        EXPECT_EQ (stableIdFromText (path), stableIdFromText (path.toUpperCase()));
        EXPECT_LE (stableIdFromText (path).length(), 16);
        EXPECT_TRUE (stableIdFromText (path).containsOnly ("0123456789abcdef"));
        EXPECT_NE (stableIdFromText (path), stableIdFromText (path + "x"));
    }

    TEST (Session, ANewSessionHoldsOneUndoStateAndNothingToUndo)
    {
        Session session;
        RecordingListener listener (session);

        EXPECT_EQ (session.getPreset().id, builtInEmptyPresetId);
        EXPECT_EQ (session.getUndoIndex(), 0);
        EXPECT_EQ (session.getNumUndoStates(), 1);
        EXPECT_TRUE (session.getCuesWithTracks().empty());
        EXPECT_FALSE (session.getMatchOptions().fuzzyEnabled);
        EXPECT_EQ (session.getMatchOptions().maxDistance, 1);
        EXPECT_EQ (session.getMatchOptions().minLength, 5);

        session.undo();
        session.redo();
        session.clear();
        EXPECT_EQ (listener.take(), "");
        EXPECT_EQ (session.getNumUndoStates(), 1);
    }

    TEST (Session, ListenersAreCalledOnceEachInTheOrderOfAdding)
    {
        struct Named : Session::Listener
        {
            Named (juce::StringArray& l, juce::String n)
                : log (l)
                , name (std::move (n))
            {
            }
            void presetChanged() override { log.add (name); }
            juce::StringArray& log;
            juce::String name;
        };

        Session session;
        juce::StringArray log;
        Named first (log, "first"), second (log, "second"), third (log, "third");

        session.addListener (&first);
        session.addListener (&second);
        session.addListener (&first);
        session.addListener (&third);

        juce::String error;
        auto preset = makeOrchestraPreset();
        session.setPreset (preset);
        log.clear();

        ASSERT_TRUE (session.addKeywordRule (stemIdNamed (session, "Brass"), "tuba", error));
        EXPECT_EQ (log.joinIntoString (","), "first,second,third");

        session.removeListener (&second);
        log.clear();
        ASSERT_TRUE (session.addKeywordRule (stemIdNamed (session, "Brass"), "euphonium", error));
        EXPECT_EQ (log.joinIntoString (","), "first,third");

        session.removeListener (&first);
        session.removeListener (&third);
    }

    TEST (Session, CueOfAScannedFileAndItsRelativeName)
    {
        const auto root = juce::File ("/Music/Score");

        struct Case
        {
            const char* folder;
            const char* expectedName;
            const char* expectedRelative;
        };

        const Case cases[] = {
            { "/Music/Score", "Score", "" },            // the import root itself
            { "/music/SCORE", "SCORE", "" },            // the root compared ignoring case
            { "/Music/Score/Cue 1", "Cue 1", "Cue 1" }, // directly below the root
            { "/Music/Score/Reel1/Cue 2", "Cue 2", "Reel1/Cue 2" },
            { "/MUSIC/score/Reel1/Cue 3", "Cue 3", "Reel1/Cue 3" },
            { "/Music/Score/**/Cue 4", "Cue 4", "untitled/Cue 4" }, // a part of forbidden characters only
            { "/Music/Scores/Cue 5", "Cue 5", "" },                 // a sibling whose name merely starts like the root
            { "/Elsewhere/Cue 6", "Cue 6", "" },
            { "/Music/Score/ ", "Score", "" }, // a blank folder name takes the root's name
        };

        for (const auto& c : cases)
        {
            Session session;
            const auto& cue = session.cueForFile (juce::File (c.folder).getChildFile ("a.wav"), root);

            SCOPED_TRACE (c.folder);
            EXPECT_EQ (cue.key, stableIdFromText (juce::File (c.folder).getFullPathName()));
            EXPECT_EQ (cue.name, c.expectedName);
            EXPECT_EQ (cue.folder, juce::File (c.folder));
            EXPECT_TRUE (cue.included);
            EXPECT_EQ (cue.trimStartSeconds, 0.0);
            EXPECT_TRUE (cue.mixOverrides.empty());
            EXPECT_EQ (cue.relativeName, c.expectedRelative);
        }
    }

    TEST (Session, CueOfAFolderBelowAVolumeRootHasItsRelativeName)
    {
        // The root's path ends in a separator already; it used to make every relative name empty.
        Session session;
        const auto root = juce::File ("/");
        EXPECT_EQ (session.cueForFile (juce::File ("/Music/Cue 1/a.wav"), root).relativeName, "Music/Cue 1");
        EXPECT_EQ (session.cueForFile (juce::File ("/a.wav"), root).relativeName, "");
    }

    TEST (Session, CueForFileFindsTheExistingCueOfAFolder)
    {
        Session session;
        const auto root = juce::File ("/Music");
        const auto key = session.cueForFile (juce::File ("/Music/Cue 1/a.wav"), root).key;

        EXPECT_EQ (session.cueForFile (juce::File ("/Music/Cue 1/b.wav"), root).key, key);
        EXPECT_EQ (session.cueForFile (juce::File ("/music/CUE 1/c.wav"), root).key, key);
        ASSERT_EQ (session.getCues().size(), 1u);
        EXPECT_EQ (session.getCues()[0].name, "Cue 1");
        ASSERT_NE (session.findCue (key), nullptr);
        EXPECT_EQ (session.findCue (key)->folder, juce::File ("/Music/Cue 1"));
        EXPECT_EQ (session.findCue (key.toUpperCase() + "x"), nullptr);
    }

    TEST (Session, FoldersDifferingOnlyInCaseFormOneCueWithoutLosingAFile)
    {
        TemporaryFolder temp;
        const auto project = temp.file ("Project");
        writeTinyWav (project.getChildFile ("Cue 1/Violins.wav"));
        writeTinyWav (project.getChildFile ("Cue 1/Horns.wav"));
        writeTinyWav (project.getChildFile ("CUE 1/Violins.wav"));
        writeTinyWav (project.getChildFile ("CUE 1/violins.wav"));

        Session session;
        const auto summary = session.importFiles ({ project }, true);

        // On a disk that tells case apart these are four files; none may vanish as "already in the list".
        EXPECT_EQ (summary.imported, 4);
        EXPECT_EQ (summary.alreadyInList, 0);
        ASSERT_EQ (session.getCues().size(), 1u);

        const auto& cue = session.getCues()[0];
        EXPECT_EQ (cue.name, "CUE 1"); // the first folder scanned; names sort ignoring case, then exactly
        EXPECT_EQ (cue.folder, project.getChildFile ("CUE 1"));

        int warned = 0;

        for (const auto& track : session.getTracks())
        {
            EXPECT_EQ (track.cueKey, cue.key);

            if (track.file.getParentDirectory() != cue.folder)
            {
                ++warned;
                ASSERT_EQ (track.warnings.size(), 1);
                EXPECT_EQ (track.warnings[0], "Its folder '" + project.getChildFile ("Cue 1").getFullPathName() + "' differs only in letter case from '" + cue.folder.getFullPathName() + "'; both folders form one cue.");
            }
            else
            {
                EXPECT_TRUE (track.warnings.isEmpty());
            }
        }

        EXPECT_EQ (warned, 2);

        // The same files again are all already in the list.
        EXPECT_EQ (session.importFiles ({ project }, true).toText(), "0 imported, 4 already in the list");
    }

    TEST (Session, LookupsCountsAndRemoval)
    {
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Cue A/Violins.wav"));
        writeTinyWav (temp.file ("Cue A/Kick.wav"));
        writeTinyWav (temp.file ("Cue B/Horns.wav"));
        temp.file ("Cue B/Broken.wav").replaceWithText ("not audio");

        Session session;
        session.setPreset (makeOrchestraPreset());
        ASSERT_EQ (session.importFiles ({ temp.file ("Cue A"), temp.file ("Cue B") }, false).toText(), "3 imported, 1 could not be read");

        ASSERT_EQ (session.getTracks().size(), 4u);
        EXPECT_EQ (session.countReadableTracks(), 3);
        EXPECT_EQ (session.countTracksWithConfidence (Confidence::confident), 3);
        EXPECT_EQ (session.countTracksWithConfidence (Confidence::unassigned), 1);

        const auto unassigned = session.getUnassignedTracks();
        ASSERT_EQ (unassigned.size(), 1u);
        EXPECT_EQ (unassigned[0]->file.getFileName(), "Broken.wav");

        for (const auto& track : session.getTracks())
        {
            ASSERT_EQ (session.findTrack (track.id), &track);
            EXPECT_NE (session.findCue (track.cueKey), nullptr);
        }

        EXPECT_EQ (session.findTrack ("no-such-id"), nullptr);
        EXPECT_EQ (session.getCuesWithTracks().size(), 2u);

        // Removing every track of a cue removes the cue; lookups follow the shifted positions.
        RecordingListener listener (session);
        session.removeTracks ({ trackIdNamed (session, "Violins.wav"), trackIdNamed (session, "Kick.wav") });
        EXPECT_EQ (listener.take(), "tracks");
        ASSERT_EQ (session.getCues().size(), 1u);
        EXPECT_EQ (session.getCues()[0].name, "Cue B");

        for (const auto& track : session.getTracks())
            EXPECT_EQ (session.findTrack (track.id), &track);

        session.removeTracks ({ "no-such-id" });
        EXPECT_EQ (listener.take(), "");

        const auto statesBefore = session.getNumUndoStates();
        session.undo();
        EXPECT_EQ (session.getTracks().size(), 2u); // undo does not bring removed tracks back
        EXPECT_EQ (session.getCues().size(), 1u);
        EXPECT_EQ (session.getNumUndoStates(), statesBefore);

        session.clear();
        EXPECT_EQ (listener.take(), "assignments,tracks,tracks");
        EXPECT_TRUE (session.getTracks().empty());
        EXPECT_TRUE (session.getCues().empty());
        EXPECT_EQ (session.getPreset().id, "test-orchestra");
    }

    TEST (Session, RenameTrackFile)
    {
        TemporaryFolder temp;
        const auto kick = writeTinyWav (temp.file ("Cue/Kick.wav"));
        writeTinyWav (temp.file ("Cue/Snare.wav"));

        Session session;
        session.importFiles ({ temp.file ("Cue") }, false);
        RecordingListener listener (session);
        const auto id = trackIdNamed (session, "Kick.wav");
        juce::String error;

        // Same name, also with spaces around it: nothing happens.
        EXPECT_TRUE (session.renameTrackFile (id, "  Kick ", error));
        EXPECT_EQ (listener.take(), "");

        struct Refusal
        {
            const char* trackId;
            const char* name;
            const char* message;
        };

        const Refusal refusals[] = {
            { "gone", "New", "That track is no longer in the list." },
            { nullptr, "...", "That name has nothing in it that can be used for a file name." },
            { nullptr, "   ", "That name has nothing in it that can be used for a file name." },
            { nullptr, "Snare", "There is already a file called 'Snare.wav' in that folder." },
        };

        for (const auto& r : refusals)
        {
            EXPECT_FALSE (session.renameTrackFile (r.trackId != nullptr ? juce::String (r.trackId) : id, r.name, error)) << r.name;
            EXPECT_EQ (error, r.message);
        }

        EXPECT_EQ (listener.take(), "");
        EXPECT_TRUE (kick.existsAsFile());

        ASSERT_TRUE (session.renameTrackFile (id, "Kick?", error)) << error;
        EXPECT_EQ (session.findTrack (id)->file, temp.file ("Cue/Kick-.wav"));
        EXPECT_TRUE (temp.file ("Cue/Kick-.wav").existsAsFile());
        EXPECT_FALSE (kick.exists());
        EXPECT_EQ (listener.take(), "tracks");

        ASSERT_TRUE (session.renameTrackFile (id, "kick-", error)) << error; // a change of case only
        EXPECT_EQ (session.findTrack (id)->file.getFileName(), "kick-.wav");
        EXPECT_TRUE (temp.file ("Cue/kick-.wav").existsAsFile());
        EXPECT_EQ (listener.take(), "tracks");

        temp.file ("Cue/kick-.wav").moveFileTo (temp.file ("Moved.wav"));
        EXPECT_FALSE (session.renameTrackFile (id, "Other", error));
        EXPECT_EQ (error, "That file is not where it was imported from. It may have been moved or renamed since it was added to the list.");
    }

    TEST (Session, RenamingByLetterCaseNeverReplacesAnotherFile)
    {
        // On a case-sensitive disk "Bass.wav" and "bass.wav" are two files; renaming one onto the
        // other's name used to delete the other on the way.
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Cue/Bass.wav"), 48000, 1, 16);
        writeTinyWav (temp.file ("Cue/bass.wav"), 48000, 2, 32);

        Session session;
        session.importFiles ({ temp.file ("Cue") }, false);
        ASSERT_EQ (session.getTracks().size(), 2u);

        juce::String error;
        EXPECT_FALSE (session.renameTrackFile (trackIdNamed (session, "Bass.wav"), "bass", error));
        EXPECT_EQ (error, "There is already a file called 'bass.wav' in that folder.");
        EXPECT_EQ (temp.file ("Cue/Bass.wav").getSize(), 44 + 32);
        EXPECT_EQ (temp.file ("Cue/bass.wav").getSize(), 44 + 128);
    }

    // A split removes a cue's only track and imports the halves, which makes the cue anew from
    // its folder; without this the cue's name, tick, cut and mix exceptions were lost.
    TEST (Session, RestoreCueSettingsBringsBackASavedCueInOneStep)
    {
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Reel/Act 1/Cue/Violins.wav"));

        Session session;
        auto preset = makeOrchestraPreset();
        const auto mixId = preset.schema.addAlternativeMix ("No Brass");
        session.setPreset (preset);
        (void) session.importFiles ({ temp.file ("Reel") }, true);
        ASSERT_EQ (session.getCues().size(), 1u);

        const auto key = session.getCues()[0].key;
        ASSERT_TRUE (session.renameCue (key, "1M01 Opening"));
        session.setCueIncluded (key, false);
        session.setCueTrimStart (key, 2.5);
        session.setCueMixMember (key, *session.getPreset().schema.findAlternativeMix (mixId), stemIdNamed (session, "Brass"), false);
        const auto saved = session.getCues()[0];

        session.removeTracks ({ trackIdNamed (session, "Violins.wav") });
        ASSERT_TRUE (session.getCues().empty());
        (void) session.importFiles ({ temp.file ("Reel/Act 1/Cue/Violins.wav") }, false);
        ASSERT_EQ (session.getCues().size(), 1u);
        ASSERT_EQ (session.getCues()[0].key, key);
        EXPECT_EQ (session.getCues()[0].name, "Cue");
        EXPECT_EQ (session.getCues()[0].relativeName, "Cue");

        RecordingListener listener (session);
        const auto statesBefore = session.getNumUndoStates();
        EXPECT_TRUE (session.restoreCueSettings (saved));
        EXPECT_EQ (listener.take(), "tracks");
        EXPECT_EQ (session.getNumUndoStates(), statesBefore + 1);

        const auto& cue = session.getCues()[0];
        EXPECT_EQ (cue.name, "1M01 Opening");
        EXPECT_FALSE (cue.included);
        EXPECT_EQ (cue.trimStartSeconds, 2.5);
        EXPECT_EQ (cue.relativeName, "Act 1/Cue");
        EXPECT_EQ (cue.mixOverrides, saved.mixOverrides);
        EXPECT_EQ (cue.folder, saved.folder);

        // Nothing to change: no undo state, no notification. No such cue: false.
        EXPECT_TRUE (session.restoreCueSettings (saved));
        EXPECT_EQ (listener.take(), "");
        EXPECT_EQ (session.getNumUndoStates(), statesBefore + 1);

        auto other = saved;
        other.key = "no-such-key";
        EXPECT_FALSE (session.restoreCueSettings (other));

        // A name that no cue may carry keeps the current one; the rest still comes back.
        auto bad = saved;
        bad.name = "../x";
        bad.included = true;
        EXPECT_TRUE (session.restoreCueSettings (bad));
        EXPECT_EQ (session.getCues()[0].name, "1M01 Opening");
        EXPECT_TRUE (session.getCues()[0].included);
    }
} // namespace
} // namespace dunmoor
