#include <gtest/gtest.h>

#include "core/render/RenderJob.h"
#include "ui/pages/export/ExportRunControl.h"
#include "ui/pages/export/PhaseSegments.h"

namespace dunmoor::ui
{

TEST (ExportRunControl, StatesAndButtons)
{
    using Buttons = ExportRunControl::ButtonStates;
    ExportRunControl control;

    // { analyse, render, cancel, content, pulse }
    EXPECT_EQ (control.getButtonStates (false, false), (Buttons { false, false, false, true, false }));
    EXPECT_EQ (control.getButtonStates (true, false), (Buttons { true, true, false, true, false }));
    EXPECT_EQ (control.getButtonStates (true, true), (Buttons { true, true, false, true, true }));
    EXPECT_TRUE (control.canLaunch (false));
    EXPECT_FALSE (control.canLaunch (true));

    const auto run = control.beginRun (ExportRunControl::RunKind::analysis);
    EXPECT_TRUE (control.isAnalysing());
    EXPECT_FALSE (control.isExporting());
    EXPECT_FALSE (control.canLaunch (false));
    EXPECT_EQ (control.getButtonStates (true, true), (Buttons { false, false, true, false, false }));

    EXPECT_TRUE (control.acceptCompletion (run, false, false));
    EXPECT_FALSE (control.isRunInFlight());
    EXPECT_EQ (control.getIdleText(), "");
}

// The idle text was rewritten on every tick, so "Export cancelled." lasted 100 ms before an
// older export's "Last render finished." replaced it; and a completion of an older run could
// end a newer one.
TEST (ExportRunControl, CompletionsAndTexts)
{
    using Kind = ExportRunControl::RunKind;

    struct Case
    {
        Kind kind;
        bool cancelled;
        bool holdsReport;
        const char* text;
    };

    const Case cases[] {
        { Kind::analysis, true, true, "Analysis cancelled." },
        { Kind::exportRun, true, true, "Export cancelled." },
        { Kind::exportRun, false, true, "Last render finished." },
        { Kind::analysis, false, true, "Last render finished." },
        { Kind::analysis, false, false, "" },
    };

    for (const auto& c : cases)
    {
        ExportRunControl control;
        const auto older = control.beginRun (c.kind);
        ASSERT_TRUE (control.acceptCompletion (older, false, false));

        const auto current = control.beginRun (c.kind);
        EXPECT_FALSE (control.acceptCompletion (older, false, false));   // a late message of the old run
        EXPECT_TRUE (control.isRunInFlight());

        EXPECT_TRUE (control.acceptCompletion (current, c.cancelled, c.holdsReport));
        EXPECT_FALSE (control.acceptCompletion (current, c.cancelled, c.holdsReport));   // once only
        EXPECT_EQ (control.getIdleText(), c.text);
    }

    ExportRunControl control;
    (void) control.beginRun (Kind::exportRun);
    control.launchFailed();
    EXPECT_FALSE (control.isRunInFlight());
    EXPECT_EQ (control.getIdleText(), ExportRunControl::launchFailedText);
    EXPECT_TRUE (control.canLaunch (false));
}

TEST (PhaseSegments, BandsFollowThePhases)
{
    using Phase = RenderJob::Phase;
    using Segment = PhaseSegments::Segment;

    struct Step
    {
        double progress;
        Phase phase;
    };

    struct Case
    {
        const char* name;
        std::vector<Step> steps;
        std::vector<Segment> expected;
        double progress;
    };

    const std::vector<Case> cases {
        { "four phases in turn",
          { { 0.1, Phase::summing }, { 0.3, Phase::measuring }, { 0.6, Phase::writing }, { 0.9, Phase::verifying } },
          { { 1, 0.0, 0.1 }, { 2, 0.1, 0.3 }, { 3, 0.3, 0.6 }, { 4, 0.6, 0.9 } },
          0.9 },
        { "a phase of a moment is absorbed",
          { { 0.2, Phase::summing }, { 0.202, Phase::measuring }, { 0.5, Phase::writing } },
          { { 1, 0.0, 0.202 }, { 3, 0.202, 0.5 } },
          0.5 },
        { "absorbed into the same phase",
          { { 0.2, Phase::summing }, { 0.201, Phase::measuring }, { 0.4, Phase::summing } },
          { { 1, 0.0, 0.4 } },
          0.4 },
        { "out of range and backwards",
          { { -1.0, Phase::summing }, { 0.5, Phase::summing }, { 0.2, Phase::summing }, { 7.0, Phase::writing } },
          { { 1, 0.0, 0.5 }, { 3, 0.5, 1.0 } },
          1.0 },
        { "idle and finished add no band", { { 0.5, Phase::idle }, { 0.7, Phase::finished } }, {}, 0.7 },
        { "idle and finished extend the last band",
          { { 0.2, Phase::summing }, { 0.4, Phase::finished } },
          { { 1, 0.0, 0.4 } },
          0.4 },
    };

    for (const auto& c : cases)
    {
        PhaseSegments segments;

        for (const auto& step : c.steps)
            segments.setProgress (step.progress, (int) step.phase);

        EXPECT_EQ (segments.getSegments(), c.expected) << c.name;
        EXPECT_EQ (segments.getProgress(), c.progress) << c.name;
    }

    PhaseSegments segments;
    segments.setProgress (0.6, (int) Phase::writing);
    segments.finish();
    EXPECT_EQ (segments.getSegments().back().end, 1.0);
    EXPECT_EQ (segments.getFilledEnd(), 1.0);
    segments.clear();
    EXPECT_TRUE (segments.getSegments().empty());
    EXPECT_EQ (segments.getFilledEnd(), 0.0);
}

} // namespace dunmoor::ui
