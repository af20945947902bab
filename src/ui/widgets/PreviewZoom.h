#pragma once

namespace dunmoor::ui
{

/**
    The part of a file a preview player shows, as fractions 0..1 of the file, and the
    arithmetic of zooming it. Views report and take positions as fractions of their own width;
    these convert between the two.
*/
struct ViewRange
{
    double start = 0.0;
    double end = 1.0;

    /** Narrowest view: 1 % of the file. */
    static constexpr double minimumWidth = 0.01;

    double getWidth() const noexcept { return end - start; }
    bool isWholeFile() const noexcept { return start <= 0.0 && end >= 1.0; }

    /** A range with its width held within 1 %..100 % and its start within 0..1 - width. */
    static ViewRange clamped (double start, double end);

    /** True when either end moved by 1e-6 or more. */
    bool differsFrom (const ViewRange& other) const noexcept;

    /** The range after zooming by factor (below 1 zooms in) around the view fraction anchor:
        the file position under the anchor stays under it. Clamped. */
    ViewRange zoomedBy (double factor, double anchor) const;

    /** File fraction of a view fraction. */
    double toFile (double viewFraction) const noexcept;

    /** View fraction of a file fraction; -1 (hidden) outside the view or for a range without
        width. */
    double toView (double fileFraction) const noexcept;
};

/** The zoom factor of a wheel movement over the preview: 0.8 up, 1.25 down, 0 (ignored) for a
    movement smaller than 1e-6. */
double getWheelZoomFactor (double wheelDelta);

} // namespace dunmoor::ui
