#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "SessionTestSupport.h"

namespace dunmoor
{
namespace
{
    using namespace testing;

    // One cue folder of four files: three that the orchestra preset matches, one it does not.
    struct AssignmentFixture : ::testing::Test
    {
        void SetUp() override
        {
            for (auto* name : { "Violins_A.wav", "Horns_B.wav", "Kick_C.wav", "Mystery.wav" })
                writeTinyWav (cueFolder.getChildFile (name));

            session.setPreset (makeOrchestraPreset());
            ASSERT_EQ (session.importFiles ({ cueFolder }, false).imported, 4);

            violins = trackIdNamed (session, "Violins_A.wav");
            horns = trackIdNamed (session, "Horns_B.wav");
            kick = trackIdNamed (session, "Kick_C.wav");
            mystery = trackIdNamed (session, "Mystery.wav");
            cueKey = session.getCues().at (0).key;
        }

        const Track& track (const juce::String& id) const { return *session.findTrack (id); }
        juce::String stem (const juce::String& name) const { return stemIdNamed (session, name); }
        Preset preset() const { return session.getPreset(); }

        TemporaryFolder temp;
        juce::File cueFolder = temp.file ("Cue 1");
        Session session;
        juce::String violins, horns, kick, mystery, cueKey;
    };

    TEST_F (AssignmentFixture, EveryOperationSendsItsNotificationsAndLeavesItsUndoStates)
    {
        RecordingListener listener (session);
        juce::String error;

        struct Step
        {
            const char* what;
            std::function<void()> run;
            const char* expectedCalls;
            int expectedNewUndoStates;
        };

        const std::vector<Step> steps = {
            { "assign", [&] { session.assignTracks ({ mystery }, stem ("Strings"), false); }, "assignments", 1 },
            { "assign to an unknown stem", [&] { session.assignTracks ({ mystery }, "no-such-stem", false); }, "", 0 },
            { "assign an unknown track", [&] { session.assignTracks ({ "no-such-track" }, stem ("Strings"), false); }, "", 0 },
            { "assign no tracks", [&] { session.assignTracks ({}, stem ("Strings"), false); }, "", 0 },
            { "unassign", [&] { session.assignTracks ({ mystery }, {}, false); }, "assignments", 1 },
            { "lock a track without a stem", [&] { session.setTracksLocked ({ mystery }, true); }, "", 0 },
            { "lock", [&] { session.setTracksLocked ({ violins }, true); }, "assignments", 1 },
            { "lock again", [&] { session.setTracksLocked ({ violins }, true); }, "", 0 },
            { "rename cue", [&] { EXPECT_TRUE (session.renameCue (cueKey, "Cue One")); }, "tracks", 1 },
            { "rename cue to its name", [&] { EXPECT_TRUE (session.renameCue (cueKey, "Cue One")); }, "", 0 },
            { "exclude cue", [&] { session.setCueIncluded (cueKey, false); }, "tracks", 1 },
            { "exclude cue again", [&] { session.setCueIncluded (cueKey, false); }, "", 0 },
            { "cut", [&] { session.setCueTrimStart (cueKey, 2.5); }, "tracks", 1 },
            { "same cut", [&] { session.setCueTrimStart (cueKey, 2.5); }, "", 0 },
            { "add a mix (not matching)", [&] { auto p = preset(); (void) p.schema.addAlternativeMix ("Lite"); session.updatePreset (p); }, "preset", 0 },
            { "cue mix member as it is", [&] { session.setCueMixMember (cueKey, preset().schema.alternativeMixes[0], stem ("Strings"), true); }, "", 0 },
            { "cue mix member removed", [&] { session.setCueMixMember (cueKey, preset().schema.alternativeMixes[0], stem ("Strings"), false); }, "tracks", 1 },
            { "add rule", [&] { EXPECT_TRUE (session.addKeywordRule (stem ("Brass"), "tuba", error)); }, "preset", 0 },
            { "auto assign", [&] { session.autoAssign(); }, "assignments", 1 },
            { "undo", [&] { session.undo(); }, "assignments,tracks", -1 },
            { "redo", [&] { session.redo(); }, "assignments,tracks", 1 },
            { "redo at the end", [&] { session.redo(); }, "", 0 },
            { "rename a stem only", [&] { auto p = preset(); p.schema.stems[0].displayName = "Strings Hi"; session.updatePreset (p); }, "preset", 0 },
            { "rule that moves a track", [&] { auto p = preset(); p.schema.stems[2].rules.push_back (makeKeywordRule ("mystery", 0)); session.updatePreset (p); }, "preset,assignments", 1 },
            { "rule that moves nothing", [&] { auto p = preset(); p.schema.stems[2].rules.push_back (makeKeywordRule ("gong", 0)); session.updatePreset (p); }, "preset,assignments", 0 },
            { "remove a stem", [&] { auto p = preset(); ASSERT_TRUE (p.schema.removeStem (stem ("Brass"))); session.updatePreset (p); }, "assignments,preset,assignments", 1 },
            { "another preset", [&] { session.setPreset (makeOrchestraPreset()); }, "assignments,preset,assignments", 2 },
            { "remove a track", [&] { session.removeTracks ({ kick }); }, "tracks", 1 },
            { "clear", [&] { session.clear(); }, "tracks", 1 },
            { "clear when empty", [&] { session.clear(); }, "", 0 },
            { "import", [&] { session.importFiles ({ cueFolder }, false); }, "tracks,assignments", 1 },
            { "import again", [&] { session.importFiles ({ cueFolder }, false); }, "tracks", 0 },
        };

        for (const auto& step : steps)
        {
            SCOPED_TRACE (step.what);
            const auto indexBefore = session.getUndoIndex();

            listener.take();
            step.run();

            EXPECT_EQ (listener.take(), step.expectedCalls);
            EXPECT_EQ (session.getUndoIndex() - indexBefore, step.expectedNewUndoStates);
        }
    }

    TEST_F (AssignmentFixture, ManualAndAutomaticAssignmentsAndLocks)
    {
        const auto& v = track (violins);
        EXPECT_EQ (v.stemId, stem ("Strings"));
        EXPECT_EQ (v.source, AssignmentSource::automatic);
        EXPECT_FALSE (v.reason.isEmpty());
        EXPECT_FALSE (v.matchedKeywords.isEmpty());
        EXPECT_FALSE (v.candidates.empty());
        EXPECT_EQ (track (mystery).source, AssignmentSource::none);

        session.assignTracks ({ violins, violins }, stem ("Brass"), true);
        EXPECT_EQ (v.stemId, stem ("Brass"));
        EXPECT_EQ (v.source, AssignmentSource::locked);
        EXPECT_EQ (v.confidence, Confidence::confident);
        EXPECT_EQ (v.reason, "Assigned and locked by the user.");
        EXPECT_TRUE (v.matchedKeywords.isEmpty());
        EXPECT_TRUE (v.candidates.empty());

        session.assignTracks ({ horns }, stem ("Percussion"), false);
        EXPECT_EQ (track (horns).source, AssignmentSource::manual);
        EXPECT_EQ (track (horns).reason, "Assigned by the user.");

        session.assignTracks ({ kick }, {}, true);
        EXPECT_EQ (track (kick).stemId, "");
        EXPECT_EQ (track (kick).source, AssignmentSource::none);
        EXPECT_EQ (track (kick).confidence, Confidence::unassigned);
        EXPECT_EQ (track (kick).reason, "Unassigned by the user.");

        // Unlocking gives manual, for locked and automatic tracks alike; reasons stay.
        session.autoAssign();
        EXPECT_EQ (track (kick).source, AssignmentSource::automatic);
        session.setTracksLocked ({ violins, kick, mystery }, false);
        EXPECT_EQ (v.source, AssignmentSource::manual);
        EXPECT_EQ (v.reason, "Assigned and locked by the user.");
        EXPECT_EQ (track (kick).source, AssignmentSource::manual);
        EXPECT_EQ (track (mystery).source, AssignmentSource::none);
    }

    TEST_F (AssignmentFixture, PresetEditsRematchOnlyAutomaticAndUnassignedTracks)
    {
        session.assignTracks ({ horns }, stem ("Strings"), false); // manual
        session.setTracksLocked ({ kick }, true);                  // locked on Percussion

        // Move the "violins" and "horns" rules to Percussion: a change of what matching depends on.
        auto edited = preset();
        edited.schema.stems[0].rules = { makeKeywordRule ("strings", 0) };
        edited.schema.stems[1].rules = { makeKeywordRule ("trumpet", 0) };
        edited.schema.stems[2].rules = { makeKeywordRule ("violins", 0), makeKeywordRule ("horns", 0), makeKeywordRule ("mystery", 0) };
        session.updatePreset (edited);

        EXPECT_EQ (track (violins).stemId, stem ("Percussion")); // automatic: re-matched
        EXPECT_EQ (track (mystery).stemId, stem ("Percussion")); // unassigned: re-matched
        EXPECT_EQ (track (horns).stemId, stem ("Strings"));      // manual: kept
        EXPECT_EQ (track (horns).source, AssignmentSource::manual);
        EXPECT_EQ (track (kick).stemId, stem ("Percussion")); // locked: kept
        EXPECT_EQ (track (kick).source, AssignmentSource::locked);

        // The full automatic run overwrites manual decisions but never locked ones.
        edited.schema.stems[2].rules = { makeKeywordRule ("horns", 0) };
        edited.schema.stems[1].rules = { makeKeywordRule ("kick", 0) };
        session.updatePreset (edited);
        session.autoAssign();
        EXPECT_EQ (track (horns).stemId, stem ("Percussion"));
        EXPECT_EQ (track (horns).source, AssignmentSource::automatic);
        EXPECT_EQ (track (kick).stemId, stem ("Percussion"));
        EXPECT_EQ (track (kick).source, AssignmentSource::locked);

        // Only the removal of its stem drops a locked assignment; the track is then matched again
        // like any other unlocked track.
        RecordingListener listener (session);
        ASSERT_TRUE (edited.schema.removeStem (stem ("Percussion")));
        session.updatePreset (edited);
        EXPECT_EQ (listener.take(), "assignments,preset,assignments");
        EXPECT_EQ (track (kick).stemId, stem ("Brass"));
        EXPECT_EQ (track (kick).source, AssignmentSource::automatic);
        EXPECT_EQ (track (horns).stemId, "");
        EXPECT_EQ (track (horns).source, AssignmentSource::none);
        EXPECT_EQ (track (horns).confidence, Confidence::unassigned);
    }

    // An import used to re-match every unlocked track, so what the user had moved by hand in
    // one cue went back to the engine's choice when another cue was added.
    TEST_F (AssignmentFixture, HandMadeDecisionsSurviveImportsAndAnotherPresetWithTheirStems)
    {
        session.assignTracks ({ violins }, stem ("Brass"), false);
        session.assignTracks ({ horns }, stem ("Percussion"), false);
        session.assignTracks ({ mystery }, stem ("Strings"), false);
        session.assignTracks ({ kick }, stem ("Brass"), true);
        const auto before = session.getUndoIndex();

        const auto otherCue = temp.file ("Cue 2");
        writeTinyWav (otherCue.getChildFile ("Violins_D.wav"));
        ASSERT_EQ (session.importFiles ({ otherCue }, false).imported, 1);

        const std::pair<juce::String, const char*> kept[] = { { violins, "Brass" }, { horns, "Percussion" }, { mystery, "Strings" }, { kick, "Brass" } };

        for (const auto& [id, stemName] : kept)
            EXPECT_EQ (track (id).stemId, stem (stemName)) << track (id).file.getFileName();

        EXPECT_EQ (trackNamed (session, "Violins_D.wav")->stemId, stem ("Strings"));
        EXPECT_EQ (trackNamed (session, "Violins_D.wav")->source, AssignmentSource::automatic);
        EXPECT_EQ (session.countManualAssignments(), 3);

        // Another preset keeps the hand-made decisions whose stem it also has; Brass is gone, so
        // the tracks on it (the locked one too) are matched again.
        auto other = makeOrchestraPreset();
        other.id = "test-other";
        other.schema.stems = { preset().schema.stems[0], preset().schema.stems[2] };
        other.schema.renumberStems();
        session.setPreset (other);

        EXPECT_EQ (track (horns).stemId, stem ("Percussion"));
        EXPECT_EQ (track (horns).source, AssignmentSource::manual);
        EXPECT_EQ (track (mystery).stemId, stem ("Strings"));
        EXPECT_EQ (track (mystery).source, AssignmentSource::manual);
        EXPECT_EQ (track (violins).stemId, stem ("Strings"));
        EXPECT_EQ (track (violins).source, AssignmentSource::automatic);
        EXPECT_EQ (track (kick).source, AssignmentSource::automatic);

        // The explicit re-run still replaces them, and undo brings them back.
        session.autoAssign();
        EXPECT_EQ (session.countManualAssignments(), 0);
        EXPECT_EQ (track (mystery).source, AssignmentSource::none);
        session.undo();
        EXPECT_EQ (track (mystery).stemId, stem ("Strings"));
        EXPECT_EQ (track (mystery).source, AssignmentSource::manual);
        EXPECT_GT (session.getUndoIndex(), before);
    }

    TEST_F (AssignmentFixture, UnreadableTracksLoseTheirStemAtAnAutomaticRun)
    {
        cueFolder.getChildFile ("Violins_Broken.wav").replaceWithText ("not audio");
        EXPECT_EQ (session.importFiles ({ cueFolder }, false).toText(), "0 imported, 4 already in the list, 1 could not be read");

        const auto* broken = trackNamed (session, "Violins_Broken.wav");
        ASSERT_NE (broken, nullptr);
        EXPECT_EQ (broken->reason, ""); // no automatic run for unreadable files alone

        session.autoAssign();
        EXPECT_EQ (broken->stemId, "");
        EXPECT_EQ (broken->reason, "Not a readable audio file, or the format is not supported.");
        EXPECT_EQ (session.getUnassignedTracks().size(), 2u);
    }

    TEST_F (AssignmentFixture, UndoHistoryKeepsTwoHundredStatesAndDropsTheRedoTail)
    {
        for (int i = 0; i < 250; ++i)
            session.autoAssign();

        EXPECT_EQ (session.getNumUndoStates(), Session::maxUndoStates);
        EXPECT_EQ (session.getUndoIndex(), 199);

        for (int i = 0; i < 199; ++i)
            session.undo();

        EXPECT_EQ (session.getUndoIndex(), 0);

        RecordingListener listener (session);
        session.undo();
        EXPECT_EQ (listener.take(), "");
        EXPECT_EQ (session.getUndoIndex(), 0);

        for (int i = 0; i < 5; ++i)
            session.redo();

        listener.take();
        session.assignTracks ({ mystery }, stem ("Brass"), false);
        EXPECT_EQ (session.getUndoIndex(), 6);
        EXPECT_EQ (session.getNumUndoStates(), 7);

        session.redo();
        EXPECT_EQ (listener.take(), "assignments");
        EXPECT_EQ (track (mystery).stemId, stem ("Brass"));
    }

    TEST_F (AssignmentFixture, UndoAndRedoRestoreAssignmentsAndCueNamesOnly)
    {
        const auto candidatesBefore = track (violins).candidates.size();

        ASSERT_TRUE (session.renameCue (cueKey, "Opening"));
        session.assignTracks ({ violins }, stem ("Brass"), true);
        session.setCueIncluded (cueKey, false);
        session.setCueTrimStart (cueKey, 1.25);

        RecordingListener listener (session);
        session.undo(); // back past the cut: nothing visible changes
        EXPECT_EQ (listener.take(), "assignments,tracks");
        EXPECT_EQ (session.findCue (cueKey)->trimStartSeconds, 1.25);

        session.undo(); // back past the exclusion: the cue stays excluded
        EXPECT_FALSE (session.findCue (cueKey)->included);
        EXPECT_EQ (track (violins).stemId, stem ("Brass"));

        session.undo(); // back past the lock
        EXPECT_EQ (track (violins).stemId, stem ("Strings"));
        EXPECT_EQ (track (violins).source, AssignmentSource::automatic);
        EXPECT_FALSE (track (violins).matchedKeywords.isEmpty());
        EXPECT_TRUE (track (violins).candidates.empty()); // candidates keep their current value
        EXPECT_NE (candidatesBefore, 0u);

        session.undo(); // back past the rename
        EXPECT_EQ (session.findCue (cueKey)->name, "Cue 1");

        session.redo();
        session.redo();
        EXPECT_EQ (session.findCue (cueKey)->name, "Opening");
        EXPECT_EQ (track (violins).stemId, stem ("Brass"));
        EXPECT_EQ (track (violins).source, AssignmentSource::locked);
        EXPECT_EQ (track (violins).reason, "Assigned and locked by the user.");
    }

    TEST_F (AssignmentFixture, UndoNeverBringsBackAStemTheSchemaNoLongerHas)
    {
        // Undo used to restore the removed stem's id, and the track silently left the delivery.
        session.assignTracks ({ mystery }, stem ("Brass"), false);
        const auto brass = stem ("Brass");

        auto edited = preset();
        ASSERT_TRUE (edited.schema.removeStem (brass));
        session.updatePreset (edited);

        auto expectNoStaleStem = [this]
        {
            for (const auto& t : session.getTracks())
                EXPECT_TRUE (t.stemId.isEmpty() || session.getPreset().schema.findStem (t.stemId) != nullptr) << t.file.getFileName();
        };

        auto expectStale = [this] (const juce::String& id)
        {
            EXPECT_EQ (track (id).stemId, "");
            EXPECT_EQ (track (id).source, AssignmentSource::none);
            EXPECT_EQ (track (id).confidence, Confidence::unassigned);
            EXPECT_EQ (track (id).reason, "The stem this track was assigned to no longer exists in the schema.");
            EXPECT_TRUE (track (id).matchedKeywords.isEmpty());
        };

        session.undo(); // the state with Horns and Mystery on Brass
        expectNoStaleStem();
        expectStale (horns);
        expectStale (mystery);
        EXPECT_EQ (track (violins).stemId, stem ("Strings")); // stems that still exist come back as saved
        EXPECT_EQ (track (violins).source, AssignmentSource::automatic);

        session.redo();
        expectNoStaleStem();
        expectStale (horns);

        session.undo();
        session.undo(); // before the manual assignment
        expectNoStaleStem();
        expectStale (horns);
        EXPECT_EQ (track (mystery).stemId, "");
    }

    TEST_F (AssignmentFixture, KeywordRulesFromReview)
    {
        auto edited = preset();
        edited.schema.addStem (makeStem ("Vocals", "VOX", 0xff00ff00, false, 0, { makeKeywordRule ("lead vox", 0) }, {}));
        session.updatePreset (edited);

        struct Refusal
        {
            juce::String stemId;
            const char* keyword;
            const char* message;
        };

        const Refusal refusals[] = {
            { "no-such-stem", "tuba", "That stem is not part of the current schema." },
            { stem ("Brass"), " \t ", "A rule needs a keyword." },
            { stem ("Vocals"), "  Lead Vox  ", "'Lead Vox' is already a rule for Vocals." },
            { stem ("Brass"), "HORNS", "'HORNS' is already a rule for Brass." },
        };

        RecordingListener listener (session);
        const auto states = session.getNumUndoStates();
        juce::String error;

        for (const auto& r : refusals)
        {
            EXPECT_FALSE (session.addKeywordRule (r.stemId, r.keyword, error));
            EXPECT_EQ (error, r.message);
        }

        EXPECT_EQ (listener.take(), "");

        EXPECT_TRUE (session.addKeywordRule (stem ("Vocals"), " backing vox ", error));
        EXPECT_TRUE (session.addKeywordRule (stem ("Vocals"), "choir", error));
        EXPECT_EQ (listener.take(), "preset,preset");
        EXPECT_EQ (session.getNumUndoStates(), states);

        const auto& rules = session.getPreset().schema.findStem (stem ("Vocals"))->rules;
        ASSERT_EQ (rules.size(), 3u);
        EXPECT_EQ (rules[1].pattern, "backing vox");
        EXPECT_EQ (rules[1].mode, MatchMode::phrase);
        EXPECT_EQ (rules[2].mode, MatchMode::token);
        EXPECT_EQ (rules[2].priority, 0);
        EXPECT_TRUE (rules[2].excludes.isEmpty());
        EXPECT_EQ (rules[2].note, "Added from the review screen.");

        // The limit is tested before the duplicate.
        edited = preset();
        edited.schema.findStem (stem ("Vocals"))->rules.resize (2000, makeKeywordRule ("filler", 0));
        session.updatePreset (edited);
        EXPECT_FALSE (session.addKeywordRule (stem ("Vocals"), "filler", error));
        EXPECT_EQ (error, "This stem already has the maximum number of rules.");
    }

    TEST (Assignment, SuggestedRuleKeywords)
    {
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Cue/01_Violins_A_take2_Violins.wav"));

        Session session;
        session.importFiles ({ temp.file ("Cue") }, false);
        const auto& track = session.getTracks().at (0);

        EXPECT_EQ (session.suggestRuleKeywords (track.id).joinIntoString (","), "violins,take");
        EXPECT_EQ (session.suggestRuleKeywords (track).joinIntoString (","), "violins,take");
        EXPECT_TRUE (session.suggestRuleKeywords ("no-such-track").isEmpty());

        auto preset = makeOrchestraPreset();
        preset.schema.stems[1].rules.push_back (makeKeywordRule ("Violins", 0));
        preset.schema.stems[2].excludeKeywords.add ("take"); // exclusions are not known words
        session.setPreset (preset);
        EXPECT_EQ (session.suggestRuleKeywords (track.id).joinIntoString (","), "take");
    }

    TEST_F (AssignmentFixture, CueEdits)
    {
        RecordingListener listener (session);

        for (auto* refused : { "Reel 1/Cue 3", "Reel 1\\Cue 3", "Cue..3", "Cue\t3", "Cue\x7f", "   ", "" })
            EXPECT_FALSE (session.renameCue (cueKey, refused)) << refused;

        EXPECT_FALSE (session.renameCue (cueKey, juce::String::repeatedString ("x", 4097)));
        EXPECT_TRUE (session.renameCue (cueKey, juce::String::repeatedString ("x", 4096)));
        EXPECT_FALSE (session.renameCue ("no-such-cue", "Cue 3"));
        EXPECT_TRUE (session.renameCue (cueKey, "  Cue 3  "));
        EXPECT_EQ (session.findCue (cueKey)->name, "Cue 3");
        EXPECT_EQ (listener.take(), "tracks,tracks");

        // Negative, not-a-number and infinite cuts all store 0; only a change notifies.
        session.setCueTrimStart (cueKey, -2.0);
        EXPECT_EQ (listener.take(), "");

        for (auto seconds : { -2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity() })
        {
            session.setCueTrimStart (cueKey, 3.0);
            session.setCueTrimStart (cueKey, seconds);
            EXPECT_EQ (session.findCue (cueKey)->trimStartSeconds, 0.0) << seconds;
            EXPECT_EQ (listener.take(), "tracks,tracks");
        }

        session.setCueIncluded ("no-such-cue", false);
        session.setCueTrimStart ("no-such-cue", 1.0);
        EXPECT_EQ (listener.take(), "");
    }

    TEST_F (AssignmentFixture, CueMixMembership)
    {
        auto edited = preset();
        const auto mixId = edited.schema.addAlternativeMix ("No Brass");
        ASSERT_TRUE (edited.schema.setAlternativeMixMember (mixId, stem ("Brass"), false));
        session.updatePreset (edited);
        const auto mix = *session.getPreset().schema.findAlternativeMix (mixId);
        const auto strings = stem ("Strings"), brass = stem ("Brass"), percussion = stem ("Percussion");

        RecordingListener listener (session);
        const auto states = session.getNumUndoStates();

        // The first call creates the cue's own list, even when it changes nothing.
        session.setCueMixMember (cueKey, mix, strings, true);
        const auto* cue = session.findCue (cueKey);
        ASSERT_EQ (cue->mixOverrides.count (mixId), 1u);
        EXPECT_EQ (cue->mixOverrides.at (mixId), mix.stemIds);
        EXPECT_EQ (listener.take(), "");
        EXPECT_EQ (session.getNumUndoStates(), states);

        session.setCueMixMember (cueKey, mix, brass, true);
        session.setCueMixMember (cueKey, mix, strings, false);
        EXPECT_EQ (listener.take(), "tracks,tracks");
        EXPECT_EQ (cue->getAlternativeMixStems (mix), juce::StringArray (percussion, brass));

        // Another cue, or a mix without an entry, uses the mix's own members.
        AlternativeMix other = mix;
        other.id = "other-mix";
        EXPECT_EQ (cue->getAlternativeMixStems (other), mix.stemIds);

        session.setCueMixMember ("no-such-cue", mix, strings, true);
        EXPECT_EQ (listener.take(), "");
    }
} // namespace
} // namespace dunmoor
