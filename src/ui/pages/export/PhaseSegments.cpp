#include "PhaseSegments.h"

#include <algorithm>

#include "core/render/RenderJob.h"

namespace dunmoor::ui
{

void PhaseSegments::setProgress (double newProgress, int phase)
{
    progress = std::clamp (newProgress, 0.0, 1.0);

    if (phase == (int) RenderJob::Phase::idle || phase == (int) RenderJob::Phase::finished)
    {
        if (! segments.empty())
            segments.back().end = std::max (segments.back().end, progress);

        return;
    }

    if (! segments.empty() && segments.back().phase == phase)
    {
        segments.back().end = std::max (segments.back().end, progress);
        return;
    }

    if (segments.size() >= 2 && segments.back().end - segments.back().start < 0.005)
    {
        const auto end = segments.back().end;
        segments.pop_back();
        segments.back().end = end;

        if (segments.back().phase == phase)
        {
            segments.back().end = std::max (segments.back().end, progress);
            return;
        }
    }

    const auto start = segments.empty() ? 0.0 : segments.back().end;
    segments.push_back ({ phase, start, std::max (progress, start) });
}

void PhaseSegments::clear()
{
    segments.clear();
    progress = 0.0;
}

void PhaseSegments::finish()
{
    progress = 1.0;

    if (! segments.empty())
        segments.back().end = std::max (segments.back().end, 1.0);
}

} // namespace dunmoor::ui
