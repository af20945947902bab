#include <gtest/gtest.h>

#include "RenderTestSupport.h"

namespace dunmoor
{
namespace
{
    using namespace dunmoor::testing;

    /** A request that passes every check: two stems, one with a track, at 2 x 48000 frames. */
    RenderRequest makeValidRequest (const juce::File& folder)
    {
        auto preset = makeRenderPreset ({ "Drums", "Bass" });
        auto request = makeRequest (preset, folder, {});
        request.stems[0].tracks = { folder.getChildFile ("kick.wav") };
        request.lengthInFrames = 48000;
        return request;
    }
} // namespace

TEST (RenderPlanTest, ValidatePlanChecksInOrder)
{
    TemporaryFolder temp;
    const auto base = makeValidRequest (temp.folder);
    ASSERT_TRUE (validatePlan (base, OutputFolderCheck::create).isClean()) << validatePlan (base, OutputFolderCheck::create).toText();

    struct Case
    {
        const char* name;
        std::function<void (RenderRequest&)> change;
        juce::StringArray errors;
        juce::StringArray warnings;
    };

    const juce::File fileInTheWay = temp.file ("file");
    ASSERT_TRUE (fileInTheWay.replaceWithText ("x"));

    const std::vector<Case> cases {
        { "no channels", [] (RenderRequest& r) { r.numChannels = 0; }, { "Unsupported channel count for this project: 0." }, {} },
        { "65 channels", [] (RenderRequest& r) { r.numChannels = 65; }, { "Unsupported channel count for this project: 65." }, {} },
        { "no length", [] (RenderRequest& r) { r.lengthInFrames = 0; }, { "There is nothing to render: every track is empty or unusable." }, {} },
        { "too long", [] (RenderRequest& r) { r.lengthInFrames = 1000000001; }, { "This project is longer than Brackenfold can render in one pass." }, {} },
        { "longest allowed", [] (RenderRequest& r) { r.lengthInFrames = 1000000000; }, {}, {} },
        { "folder under a file", [&] (RenderRequest& r) { r.outputFolder = fileInTheWay.getChildFile ("out"); }, { "*" }, {} },
        { "folder under a file, analysis", [&] (RenderRequest& r) { r.outputFolder = fileInTheWay.getChildFile ("out"); r.measureOnly = true; }, {}, {} },
        { "no tracks", [] (RenderRequest& r) { r.stems[0].tracks.clear(); }, { "No stem has any track assigned to it." }, {} },
        { "empty stem that must not be empty",
          [] (RenderRequest& r) { r.stems[1].emptyPolicy = EmptyStemPolicy::failExport; },
          { "Stem 'Bass' is empty and the preset says that is an error." },
          {} },
        { "unassigned tracks with a decision required",
          [] (RenderRequest& r)
          {
              r.unassignedTracks = { "a.wav", "b.wav" };
              r.preset.exportSettings.requireDecisionOnUnassigned = true;
          },
          { "2 tracks are still unassigned: a.wav, b.wav. Assign them on the Review page, or turn off "
            "\"Refuse to export while tracks are unassigned\" on the Levels & Export page." },
          {} },
        { "many unassigned tracks with a decision required",
          [] (RenderRequest& r)
          {
              r.unassignedTracks = { "a.wav", "b.wav", "c.wav", "d.wav", "e.wav" };
              r.preset.exportSettings.requireDecisionOnUnassigned = true;
          },
          { "5 tracks are still unassigned: a.wav, b.wav, c.wav and 2 more. Assign them on the Review page, or turn off "
            "\"Refuse to export while tracks are unassigned\" on the Levels & Export page." },
          {} },
        { "unassigned tracks in an analysis",
          [] (RenderRequest& r)
          {
              r.unassignedTracks = { "a.wav" };
              r.preset.exportSettings.requireDecisionOnUnassigned = true;
              r.measureOnly = true;
          },
          {},
          { "1 track is still unassigned: a.wav. Assign it on the Review page, or turn off "
            "\"Refuse to export while tracks are unassigned\" on the Levels & Export page." } },
        { "unassigned tracks allowed", [] (RenderRequest& r) { r.unassignedTracks = { "a.wav" }; }, {}, {} },
        { "no stems",
          [] (RenderRequest& r)
          {
              r.preset.schema.stems.clear();
              r.stems.clear();
          },
          { "This preset has no stems, so there is nothing to deliver. Add the stems your publisher asks for in step 2.",
            "No stem has any track assigned to it." },
          { "Stem schema: The schema contains no stems yet." } },
    };

    for (const auto& c : cases)
    {
        auto request = base;
        c.change (request);
        const auto result = validatePlan (request, OutputFolderCheck::create);

        if (c.errors == juce::StringArray ("*"))
            EXPECT_EQ (result.errors.size(), 1) << c.name << ": " << result.toText();
        else
            EXPECT_EQ (result.errors, c.errors) << c.name << ": " << result.toText();

        EXPECT_EQ (result.warnings, c.warnings) << c.name << ": " << result.toText();
    }
}

TEST (RenderPlanTest, ValidatePlanCarriesThePresetsOwnProblems)
{
    TemporaryFolder temp;
    auto request = makeValidRequest (temp.folder);
    request.preset.name = {};
    request.preset.exportSettings.headroom.targetDb = 1.0;

    const auto result = validatePlan (request, OutputFolderCheck::create);
    EXPECT_EQ (result.errors, juce::StringArray ({ "The preset has no name.", "Export settings: The headroom target must be 0 dB or lower." }));
}

TEST (RenderPlanTest, CuePlanChannelsLengthAndTrackLists)
{
    TemporaryFolder temp;
    const auto preset = makeRenderPreset ({ "Drums", "Bass" });
    const auto drums = preset.schema.stems[0].id;
    const auto bass = preset.schema.stems[1].id;

    auto broken = makeTrack ("broken.wav", "c", drums);
    broken.error = "The file is empty.";
    auto empty = makeTrack ("empty.wav", "c", {});
    empty.info.lengthInSamples = 0;

    const std::vector<Track> tracks { makeTrack ("kick.wav", "c", drums, 1, 44100, 44100.0),
                                      makeTrack ("bass.wav", "c", bass, 2, 1, 96000.0),
                                      makeTrack ("loose.wav", "c", {}),
                                      makeTrack ("orphan.wav", "c", "a-stem-that-is-gone"),
                                      broken,
                                      empty,
                                      makeTrack ("snare.wav", "c", drums, 2, 24000) };

    const auto plan = buildCuePlan (preset, tracks, temp.file ("out"), false);
    const auto& request = plan.request;

    EXPECT_EQ (request.numChannels, 2);
    EXPECT_EQ (request.lengthInFrames, 48000);   // 44,100 frames at 44.1 kHz, not 48,001
    EXPECT_EQ (request.sampleRate, 48000.0);
    ASSERT_EQ (request.stems.size(), 2u);
    EXPECT_EQ (request.stems[0].tracks, (std::vector<juce::File> { tracks[0].file, tracks[6].file }));
    EXPECT_EQ (request.stems[1].tracks, (std::vector<juce::File> { tracks[1].file }));
    EXPECT_EQ (request.stems[0].namingTemplate, preset.exportSettings.naming.stemTemplate);
    EXPECT_EQ (request.stems[0].fileNameToken, "Drums");
    EXPECT_EQ (request.unassignedTracks, juce::StringArray ({ "loose.wav", "orphan.wav" }));
    EXPECT_EQ (plan.validation.warnings,
               juce::StringArray ({ "This project mixes mono and multi-channel tracks. Mono tracks are copied to every channel at unity gain.",
                                    "'broken.wav' could not be read and is excluded: The file is empty.",
                                    "'empty.wav' could not be read and is excluded: The file contains no audio." }));
    EXPECT_TRUE (plan.ok) << plan.validation.toText();

    // The render carries the left-out tracks on, with the stem each was meant for.
    ASSERT_EQ (request.unreadableTracks.size(), 2u);
    EXPECT_EQ (request.unreadableTracks[0].fileName + "|" + request.unreadableTracks[0].reason + "|" + request.unreadableTracks[0].stemId,
               "broken.wav|The file is empty.|" + drums);
    EXPECT_EQ (request.unreadableTracks[1].fileName + "|" + request.unreadableTracks[1].reason + "|" + request.unreadableTracks[1].stemId,
               "empty.wav|The file contains no audio.|");

    // A 96 kHz track of 1 frame plans 1 frame; two mono tracks plan one channel, no warning.
    const auto tiny = buildCuePlan (preset, { makeTrack ("a.wav", "c", drums, 1, 1, 96000.0), makeTrack ("b.wav", "c", bass, 1, 1, 96000.0) },
                                    temp.file ("out"), false);
    EXPECT_EQ (tiny.request.lengthInFrames, 1);
    EXPECT_EQ (tiny.request.numChannels, 1);
    EXPECT_TRUE (tiny.validation.warnings.isEmpty());
}

TEST (RenderPlanTest, CuePlanStopsAtTheTrackLimit)
{
    TemporaryFolder temp;
    const auto preset = makeRenderPreset ({ "Drums" });
    std::vector<Track> tracks ((size_t) maxTracksPerCue, makeTrack ("t.wav", "c", preset.schema.stems[0].id));

    EXPECT_TRUE (buildCuePlan (preset, tracks, temp.file ("out"), false).ok);

    tracks.push_back (tracks.back());
    const auto plan = buildCuePlan (preset, tracks, temp.file ("out"), false);
    EXPECT_FALSE (plan.ok);
    EXPECT_EQ (plan.validation.errors, juce::StringArray ("This project has more than 2048 tracks."));
    EXPECT_TRUE (plan.request.stems.empty());
}

TEST (RenderPlanTest, CueOutputFolders)
{
    const juce::File root ("/deliveries/root");

    struct Case
    {
        const char* relative;
        const char* name;
        bool mirror;
        bool perCue;
        const char* expected;
    };

    const Case cases[] {
        { "Reel 1/1m01", "1m01 Opening", true, true, "/deliveries/root/Reel 1/1m01 Opening" },
        { "Reel 1//1m01/", "1m01 Opening", true, false, "/deliveries/root/Reel 1/1m01 Opening" },
        { "", "1m01", true, true, "/deliveries/root/1m01" },
        { "", "1m01", true, false, "/deliveries/root" },
        { "Reel 1/1m01", "1m01", false, true, "/deliveries/root/1m01" },
        { "Reel 1/1m01", "1m01", false, false, "/deliveries/root" },
        { "a/b", "<>:?*", true, true, "/deliveries/root/a/untitled" },
        { "a/b", " A/B ", false, true, "/deliveries/root/A-B" },
        { "..", "~x", true, true, "/deliveries/root/~x" },
        { "../up/c", "c", true, true, "/deliveries/root/untitled/up/c" },
    };

    for (const auto& c : cases)
    {
        const auto cue = makeCue ("k", c.name, c.relative);
        EXPECT_EQ (cue.getOutputFolderName (root, c.mirror, c.perCue).getFullPathName(), juce::String (c.expected))
            << c.relative << " | " << c.name;
    }
}

TEST (RenderPlanTest, BatchPlanPerCueCopiesAndMessages)
{
    TemporaryFolder temp;
    auto preset = makeRenderPreset ({ "Drums", "Bass" });
    preset.exportSettings.batch.mirrorFolderStructure = false;
    preset.exportSettings.batch.folderPerCue = true;
    const auto drums = preset.schema.stems[0].id;
    const auto bass = preset.schema.stems[1].id;
    const auto mixId = preset.schema.addAlternativeMix ("No Drums");
    (void) preset.schema.setAlternativeMixMember (mixId, drums, false);

    auto one = makeCue ("k1", "1m01");
    one.trimStartSeconds = 0.25;
    one.mixOverrides[mixId] = { drums };
    auto two = makeCue ("k2", "1m02", "Reel/1m02");
    auto unticked = makeCue ("k3", "1m03");
    unticked.included = false;
    auto noTracks = makeCue ("k4", "1m04");
    auto sameFolder = makeCue ("k5", "1M01");

    const std::vector<Track> tracks { makeTrack ("kick.wav", "k1", drums), makeTrack ("bass.wav", "k2", bass), makeTrack ("x.wav", "k3", drums),
                                      makeTrack ("y.wav", "k5", drums), makeTrack ("z.wav", "k5", {}) };

    const auto batch = buildBatchPlan (preset, tracks, { one, two, unticked, noTracks, sameFolder }, temp.folder, false);

    EXPECT_TRUE (batch.severalCues);
    ASSERT_EQ (batch.cues.size(), 3u);
    const auto& first = batch.cues[0].request;
    EXPECT_EQ (first.cueName, "1m01");
    EXPECT_EQ (first.cueKey, "k1");
    EXPECT_EQ (first.headTrimSeconds, 0.25);
    EXPECT_EQ (first.preset.metadata.cue, "1m01");
    EXPECT_EQ (first.outputFolder, temp.file ("1m01"));
    EXPECT_EQ (first.preset.schema.alternativeMixes[0].stemIds, juce::StringArray (drums));
    EXPECT_EQ (batch.cues[1].request.preset.schema.alternativeMixes[0].stemIds, juce::StringArray (bass));
    EXPECT_EQ (batch.cues[1].request.sourceFolder, "Reel/1m02");
    EXPECT_EQ (batch.cues[1].request.stems[1].tracks.size(), 1u);

    // "1M01" lands in the folder of "1m01": an error for a render, with the cue's name in front.
    const auto collision = "'1M01' would be written into the same folder as another cue. Give it a different name, "
                           "turn on 'mirror the source folder structure', or import the cues separately.";
    EXPECT_FALSE (batch.cues[2].ok);
    EXPECT_EQ (batch.errors, juce::StringArray (juce::String ("1M01: ") + collision));
    EXPECT_FALSE (batch.allCuesOk);

    // For an analysis the collision only warns.
    const auto analysis = buildBatchPlan (preset, tracks, { one, two, sameFolder }, temp.folder, true);
    EXPECT_TRUE (analysis.errors.isEmpty()) << analysis.errors.joinIntoString ("\n");
    EXPECT_TRUE (analysis.warnings.contains (juce::String ("1M01: ") + collision));
    EXPECT_TRUE (analysis.allCuesOk);

    // A single cue never collides; the project target moves the name into the project field.
    preset.exportSettings.batch.folderNameTarget = FolderNameTarget::project;
    const auto single = buildBatchPlan (preset, tracks, { sameFolder }, temp.folder, true);
    ASSERT_EQ (single.cues.size(), 1u);
    EXPECT_FALSE (single.severalCues);
    EXPECT_TRUE (single.warnings.isEmpty());
    EXPECT_EQ (single.cues[0].request.preset.metadata.project, "1M01");
    EXPECT_EQ (single.cues[0].request.preset.metadata.cue, "Cue1");
}

// A stem deleted after a cue made its own member list used to leave the id behind, and the
// cue's plan then failed with "refers to a stem that is not in the schema".
TEST (RenderPlanTest, BatchPlanDropsCueMixMembersThatNameNoStem)
{
    TemporaryFolder temp;
    auto preset = makeRenderPreset ({ "Drums", "Bass" });
    const auto drums = preset.schema.stems[0].id;
    const auto bass = preset.schema.stems[1].id;
    const auto mixId = preset.schema.addAlternativeMix ("Instrumental");

    auto cue = makeCue ("k1", "1m01");
    cue.mixOverrides[mixId] = { "deleted-stem", bass, "another-gone" };

    const auto batch = buildBatchPlan (preset, { makeTrack ("kick.wav", "k1", drums) }, { cue }, temp.folder, false);
    ASSERT_EQ (batch.cues.size(), 1u);
    EXPECT_EQ (batch.cues[0].request.preset.schema.alternativeMixes[0].stemIds, juce::StringArray (bass));
    EXPECT_TRUE (batch.allCuesOk) << batch.errors.joinIntoString ("\n");
}

// Planning an export used to create every cue folder, so a cancelled or refused run left
// empty folders behind; only the render creates them.
TEST (RenderPlanTest, PlanningCreatesNoFolder)
{
    TemporaryFolder temp;
    auto preset = makeRenderPreset ({ "Drums" });
    preset.exportSettings.batch.folderPerCue = true;
    const auto drums = preset.schema.stems[0].id;
    const auto root = temp.file ("deliveries/today");

    const auto plan = buildBatchPlan (preset, { makeTrack ("a.wav", "k1", drums), makeTrack ("b.wav", "k2", drums) },
                                      { makeCue ("k1", "1m01"), makeCue ("k2", "1m02") }, root, false);
    EXPECT_TRUE (plan.allCuesOk) << plan.errors.joinIntoString ("\n");
    EXPECT_TRUE (TemporaryFolder::listing (temp.folder).isEmpty());

    // A file where the root should be still blocks the plan, with the folder check's text.
    temp.make ("deliveries");
    const auto blocked = buildBatchPlan (preset, { makeTrack ("a.wav", "k1", drums) }, { makeCue ("k1", "1m01") }, root, false);
    ASSERT_EQ (blocked.errors.size(), 1);
    EXPECT_TRUE (blocked.errors[0].startsWith ("1m01: The output folder could not be created: ")) << blocked.errors[0];
}

// Before a folder is chosen, planning an export still finds what stops it; the folder's own
// checks wait for the folder. Without that the chooser had to come first.
TEST (RenderPlanTest, FolderChecksLeftForLaterLeaveTheOthers)
{
    TemporaryFolder temp;
    auto preset = makeRenderPreset ({ "Drums" });
    preset.exportSettings.requireDecisionOnUnassigned = true;
    const auto drums = preset.schema.stems[0].id;
    const std::vector<Track> tracks { makeTrack ("a.wav", "k1", drums), makeTrack ("b.wav", "k1", {}) };
    const std::vector<Cue> cues { makeCue ("k1", "1m01") };
    const auto unusable = temp.make ("a file");

    const auto now = buildBatchPlan (preset, tracks, cues, unusable, false);
    ASSERT_EQ (now.errors.size(), 2) << now.errors.joinIntoString ("\n");
    EXPECT_TRUE (now.errors[0].startsWith ("1m01: The output folder could not be created: ")) << now.errors[0];

    const auto later = buildBatchPlan (preset, tracks, cues, unusable, false, OutputFolderCheck::later);
    ASSERT_EQ (later.errors.size(), 1) << later.errors.joinIntoString ("\n");
    EXPECT_TRUE (later.errors[0].startsWith ("1m01: 1 track is still unassigned: b.wav.")) << later.errors[0];
}

TEST (RenderPlanTest, BatchPlanWithoutPlans)
{
    TemporaryFolder temp;
    const auto preset = makeRenderPreset ({ "Drums" });
    const auto drums = preset.schema.stems[0].id;
    auto unticked = makeCue ("k1", "1m01");
    unticked.included = false;

    const auto allUnticked = buildBatchPlan (preset, { makeTrack ("a.wav", "k1", drums) }, { unticked }, temp.folder, false);
    EXPECT_EQ (allUnticked.errors, juce::StringArray ("Every cue is unticked, so there is nothing to write. Tick at least one in the list below."));
    EXPECT_FALSE (allUnticked.allCuesOk);

    const auto noTracks = buildBatchPlan (preset, { makeTrack ("a.wav", "k1", drums) }, { unticked, makeCue ("k2", "1m02") }, temp.folder, false);
    EXPECT_EQ (noTracks.errors, juce::StringArray ("No cue has any usable track."));

    // Without cues: one plan over every track straight into the root, messages without prefix.
    const auto flat = buildBatchPlan (preset, { makeTrack ("a.wav", "k1", drums), makeTrack ("b.wav", "k2", {}) }, {}, temp.folder, false);
    ASSERT_EQ (flat.cues.size(), 1u);
    EXPECT_EQ (flat.cues[0].request.outputFolder, temp.folder);
    EXPECT_EQ (flat.cues[0].request.stems[0].tracks.size(), 1u);
    EXPECT_EQ (flat.cues[0].request.unassignedTracks, juce::StringArray ("b.wav"));
    EXPECT_TRUE (flat.allCuesOk);
    EXPECT_FALSE (flat.severalCues);
}

} // namespace dunmoor
