#include <gtest/gtest.h>

#include "ui/widgets/PreviewZoom.h"

namespace dunmoor::ui
{

TEST (PreviewZoom, ZoomStepsAndConversions)
{
    struct Case
    {
        ViewRange from;
        double factor, anchor;
        double start, end;
    };

    const Case cases[] = {
        { { 0.0, 1.0 }, 0.5, 0.5, 0.25, 0.75 },
        { { 0.25, 0.75 }, 2.0, 0.5, 0.0, 1.0 },         // back out to the whole file
        { { 0.0, 0.1 }, 2.0, 0.5, 0.0, 0.2 },           // start held at 0, width grows to the right
        { { 0.9, 1.0 }, 2.0, 0.5, 0.8, 1.0 },           // end held at 1
        { { 0.2, 0.6 }, 0.8, 0.25, 0.22, 0.54 },        // the wheel's anchor stays put
        { { 0.5, 0.515 }, 0.5, 0.5, 0.5025, 0.5125 },   // 1 % floor
        { { 0.0, 1.0 }, 4.0, 0.5, 0.0, 1.0 },           // never wider than the file
    };

    for (const auto& c : cases)
    {
        const auto r = c.from.zoomedBy (c.factor, c.anchor);
        EXPECT_NEAR (r.start, c.start, 1e-12) << c.from.start << ".." << c.from.end << " x" << c.factor;
        EXPECT_NEAR (r.end, c.end, 1e-12) << c.from.start << ".." << c.from.end << " x" << c.factor;
    }

    // The file position under the anchor is under it after the step.
    const ViewRange view { 0.2, 0.6 };
    EXPECT_NEAR (view.zoomedBy (0.8, 0.25).toFile (0.25), view.toFile (0.25), 1e-12);
    EXPECT_NEAR (view.zoomedBy (1.25, 0.9).toFile (0.9), view.toFile (0.9), 1e-12);

    ViewRange r;

    for (int i = 0; i < 20; ++i)
        r = r.zoomedBy (0.5, 0.5);

    EXPECT_NEAR (r.getWidth(), 0.01, 1e-12);
    EXPECT_FALSE (r.isWholeFile());

    EXPECT_DOUBLE_EQ (view.toView (0.4), 0.5);
    EXPECT_EQ (view.toView (0.1), -1.0);
    EXPECT_EQ (view.toView (0.7), -1.0);
    const ViewRange noWidth { 0.5, 0.5 };
    EXPECT_EQ (noWidth.toView (0.5), -1.0);
    EXPECT_TRUE (ViewRange().isWholeFile());
    const ViewRange whole { 0.0, 1.0 }, nearlyWhole { 0.0, 0.99999 }, sameAsWhole { 0.0, 0.9999999 };
    EXPECT_FALSE (ViewRange::clamped (-0.5, 0.2).differsFrom (ViewRange { 0.0, 0.7 }));
    EXPECT_TRUE (whole.differsFrom (nearlyWhole));
    EXPECT_FALSE (whole.differsFrom (sameAsWhole));

    EXPECT_EQ (getWheelZoomFactor (0.5), 0.8);
    EXPECT_EQ (getWheelZoomFactor (-0.1), 1.25);
    EXPECT_EQ (getWheelZoomFactor (1e-7), 0.0);
}

} // namespace dunmoor::ui
