#include <gtest/gtest.h>

#include "render/RenderTestSupport.h"
#include "ui/pages/export/CueRows.h"

namespace dunmoor::testing
{
namespace
{
    Track unreadable (const juce::String& cueKey, const juce::String& stemId)
    {
        auto track = makeTrack ("broken.wav", cueKey, stemId);
        track.error = "The file is empty.";
        return track;
    }
} // namespace

// What a row says stops its cue, and what a refusal tells the user to do about the cues that
// have nothing to render (and only about those).
TEST (CueRows, ProblemsAndTheWayOut)
{
    auto preset = makeRenderPreset ({ "Drums" });
    const auto drums = preset.schema.stems[0].id;

    const std::vector<Track> tracks { makeTrack ("kick.wav", "fine", drums), unreadable ("unreadable", drums), unreadable ("unreadable", {}),
                                      makeTrack ("loose.wav", "loose", {}), unreadable ("loose", drums), unreadable ("b", {}),
                                      unreadable ("c", {}), unreadable ("d", {}) };
    const std::vector<Cue> cues { makeCue ("fine", "1M01"), makeCue ("unreadable", "bad-mixed"), makeCue ("loose", "1M03") };

    const auto plan = buildBatchPlan (preset, tracks, cues, {}, true);
    const auto problems = ui::CueRows::findProblems (plan);
    EXPECT_EQ (problems.count ("fine"), 0u);
    EXPECT_EQ (problems.at ("unreadable"), "Nothing to render: every track is unreadable.");
    EXPECT_EQ (problems.at ("loose"), "Nothing to render: no track is assigned to a stem.");
    EXPECT_EQ (ui::CueRows::describeWayOut (plan),
               "Untick 'bad-mixed' and '1M03' in the cue list below to leave them out, or remove their tracks on the Import page.");

    struct Case
    {
        std::vector<Cue> cues;
        const char* wayOut;
    };

    const Case cases[] {
        { { cues[0] }, "" },
        { { cues[0], cues[1] }, "Untick 'bad-mixed' in the cue list below to leave it out, or remove its tracks on the Import page." },
        { { cues[1], cues[2], makeCue ("b", "B"), makeCue ("c", "C"), makeCue ("d", "D") },
          "Untick 'bad-mixed', '1M03', 'B' and 2 more in the cue list below to leave them out, or remove their tracks on the Import page." },
    };

    for (const auto& c : cases)
        EXPECT_EQ (ui::CueRows::describeWayOut (buildBatchPlan (preset, tracks, c.cues, {}, true)), c.wayOut);

    // A cue stopped by something other than its tracks shows its errors, and gets no way out
    // that would not help.
    preset.schema.stems.clear();
    const auto noStems = buildBatchPlan (preset, tracks, { cues[0] }, {}, true);
    EXPECT_TRUE (ui::CueRows::findProblems (noStems).at ("fine").startsWith ("This preset has no stems"));
    EXPECT_EQ (ui::CueRows::describeWayOut (noStems), "");
}

TEST (CueRows, RowsFollowTheCuesByKey)
{
    ui::CueResultRow measured;
    measured.key = "a";
    measured.name = "Old name";
    measured.hasResult = true;
    measured.peakDb = -3.0;
    measured.planProblem = "gone by now";
    ui::CueResultRow removed;
    removed.key = "gone";

    auto renamed = makeCue ("a", "New name");
    renamed.included = false;
    renamed.trimStartSeconds = 0.5;

    const auto rows = ui::CueRows::followCues ({ removed, measured }, { makeCue ("new", "Added"), renamed }, { { "new", "Nothing to render" } });
    ASSERT_EQ (rows.size(), 2u);
    EXPECT_EQ (rows[0].key, "new");
    EXPECT_EQ (rows[0].name, "Added");
    EXPECT_FALSE (rows[0].hasResult);
    EXPECT_EQ (rows[0].planProblem, "Nothing to render");
    EXPECT_TRUE (rows[0].showsProblem());

    EXPECT_EQ (rows[1].name, "New name");
    EXPECT_FALSE (rows[1].included);
    EXPECT_EQ (rows[1].trimSeconds, 0.5);
    EXPECT_TRUE (rows[1].hasResult);
    EXPECT_EQ (rows[1].peakDb, -3.0);
    EXPECT_EQ (rows[1].planProblem, "");
    EXPECT_FALSE (rows[1].showsProblem());
}

} // namespace dunmoor::testing
