#pragma once

#include <vector>

namespace dunmoor::ui
{

/**
    The bands of the render bar's phase bar: one per render phase in the order the phases came,
    as fractions of the bar. Bands never overlap and never move backwards; a phase that lasted
    less than half a percent is absorbed by the band before it when the next phase begins.
*/
class PhaseSegments
{
public:
    struct Segment
    {
        int phase = 0;
        double start = 0.0;
        double end = 0.0;

        bool operator== (const Segment& o) const { return phase == o.phase && start == o.start && end == o.end; }
    };

    /** Takes one progress report (phase as RenderJob::Phase). Idle and finished only extend
        the last band. */
    void setProgress (double progress, int phase);

    /** No bands, progress 0. */
    void clear();

    /** Progress 1 and the last band reaching at least the end. */
    void finish();

    double getProgress() const noexcept { return progress; }
    const std::vector<Segment>& getSegments() const noexcept { return segments; }

    /** Where the bands end (0 without bands). */
    double getFilledEnd() const noexcept { return segments.empty() ? 0.0 : segments.back().end; }

private:
    double progress = 0.0;
    std::vector<Segment> segments;
};

} // namespace dunmoor::ui
