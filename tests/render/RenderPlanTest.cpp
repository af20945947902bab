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
    TempFolder temp;
    const auto base = makeValidRequest (temp.folder);
    ASSERT_TRUE (validatePlan (base).isClean()) << validatePlan (base).toText();

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
          { "2 track(s) are still unassigned and the preset requires an explicit decision." },
          {} },
        { "unassigned tracks in an analysis",
          [] (RenderRequest& r)
          {
              r.unassignedTracks = { "a.wav" };
              r.preset.exportSettings.requireDecisionOnUnassigned = true;
              r.measureOnly = true;
          },
          {},
          { "1 track(s) are still unassigned and the preset requires an explicit decision." } },
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
        const auto result = validatePlan (request);

        if (c.errors == juce::StringArray ("*"))
            EXPECT_EQ (result.errors.size(), 1) << c.name << ": " << result.toText();
        else
            EXPECT_EQ (result.errors, c.errors) << c.name << ": " << result.toText();

        EXPECT_EQ (result.warnings, c.warnings) << c.name << ": " << result.toText();
    }
}

TEST (RenderPlanTest, ValidatePlanCarriesThePresetsOwnProblems)
{
    TempFolder temp;
    auto request = makeValidRequest (temp.folder);
    request.preset.name = {};
    request.preset.exportSettings.headroom.targetDb = 1.0;

    const auto result = validatePlan (request);
    EXPECT_EQ (result.errors, juce::StringArray ({ "The preset has no name.", "Export settings: The headroom target must be 0 dB or lower." }));
}

} // namespace dunmoor
