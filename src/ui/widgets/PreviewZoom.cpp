#include "ui/widgets/PreviewZoom.h"

#include <algorithm>
#include <cmath>

namespace dunmoor::ui
{

ViewRange ViewRange::clamped (double start, double end)
{
    const auto width = std::clamp (std::isfinite (end - start) ? end - start : 1.0, minimumWidth, 1.0);
    const auto first = std::clamp (std::isfinite (start) ? start : 0.0, 0.0, 1.0 - width);
    return { first, first + width };
}

bool ViewRange::differsFrom (const ViewRange& other) const noexcept
{
    return std::abs (start - other.start) >= 1e-6 || std::abs (end - other.end) >= 1e-6;
}

ViewRange ViewRange::zoomedBy (double factor, double anchor) const
{
    const auto width = getWidth();
    const auto newWidth = std::clamp (width * factor, minimumWidth, 1.0);
    const auto position = start + width * std::clamp (anchor, 0.0, 1.0);
    const auto newStart = width > 0.0 ? position - newWidth * ((position - start) / width)
                                      : position - newWidth * 0.5;
    return clamped (newStart, newStart + newWidth);
}

double ViewRange::toFile (double viewFraction) const noexcept
{
    return start + getWidth() * viewFraction;
}

double ViewRange::toView (double fileFraction) const noexcept
{
    const auto width = getWidth();

    if (! (width > 0.0))
        return -1.0;

    const auto view = (fileFraction - start) / width;
    return view >= 0.0 && view <= 1.0 ? view : -1.0;
}

double getWheelZoomFactor (double wheelDelta)
{
    if (! (std::abs (wheelDelta) >= 1e-6))
        return 0.0;

    return wheelDelta > 0.0 ? 0.8 : 1.25;
}

} // namespace dunmoor::ui
