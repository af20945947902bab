#include "ui/UiTestSupport.h"
#include "ui/shell/StepBar.h"

namespace dunmoor::ui
{
namespace
{

using testing::mouseEventAt;

struct StepBarTest : ::testing::Test
{
    StepBarTest()
    {
        bar.setSize (500, 60); // steps 100 pixels wide
        bar.onStepClicked = [this] (Page page) { picked.push_back ((int) page); };
    }

    void press (int key) { EXPECT_TRUE (bar.keyPressed (juce::KeyPress (key))); }

    StepBar bar;
    std::vector<int> picked;
};

TEST_F (StepBarTest, ArrowKeysSkipDisabledStepsAndWrap)
{
    struct Case
    {
        int current;
        std::vector<bool> enabled;
        int key;
        int expected;
    };

    const Case cases[] = {
        { 1, { true, true, false, false, false }, juce::KeyPress::rightKey, 0 }, // wraps past 2..4
        { 1, { true, true, false, false, false }, juce::KeyPress::leftKey, 0 },
        { 0, { true, true, false, false, false }, juce::KeyPress::leftKey, 1 }, // before 0 comes 4, 3, 2, 1
        { 2, { true, true, true, true, true }, juce::KeyPress::rightKey, 3 },
        { 4, { true, true, true, true, true }, juce::KeyPress::rightKey, 0 },
        { 3, { false, false, false, true, false }, juce::KeyPress::rightKey, 3 }, // nothing else: itself
    };

    for (const auto& c : cases)
    {
        for (int i = 0; i < 5; ++i)
            bar.setStepEnabled (i, c.enabled[(size_t) i]);
        bar.setCurrentStep (c.current);
        picked.clear();

        press (c.key);
        ASSERT_EQ (picked.size(), 1u);
        EXPECT_EQ (picked[0], c.expected) << "from " << c.current;
    }

    EXPECT_FALSE (bar.keyPressed (juce::KeyPress (juce::KeyPress::upKey)));
    EXPECT_FALSE (bar.keyPressed (juce::KeyPress ('2')));
}

TEST_F (StepBarTest, ClicksCountWhereReleasedAndOnlyOnEnabledSteps)
{
    bar.setStepEnabled (3, false);

    // Pressed on step 0, released over step 2: step 2.
    bar.mouseDown (mouseEventAt (bar, { 50.0f, 30.0f }));
    bar.mouseUp (mouseEventAt (bar, { 250.0f, 30.0f }));
    // Released over the disabled step, or below the bar: nothing.
    bar.mouseUp (mouseEventAt (bar, { 350.0f, 30.0f }));
    bar.mouseUp (mouseEventAt (bar, { 150.0f, 60.0f }));

    EXPECT_EQ (picked, std::vector<int> ({ 2 }));

    bar.setStepEnabled (7, false); // outside 0..4: ignored
    EXPECT_TRUE (bar.isStepEnabled (4));

    bar.mouseMove (mouseEventAt (bar, { 420.0f, 10.0f }, {}));
    EXPECT_EQ (bar.getHoverStep(), 4);
    bar.mouseExit (mouseEventAt (bar, { 420.0f, -10.0f }, {}));
    EXPECT_EQ (bar.getHoverStep(), -1);

    bar.setCurrentStep (2);
    testing::saveSnapshot (bar, "step-bar");
}

TEST_F (StepBarTest, BarNarrowerThanFiveStepsHasNone)
{
    bar.setSize (4, 60);
    for (const auto x : { 0, 1, 3 })
        EXPECT_EQ (bar.stepAt ({ x, 10 }), -1) << x;

    bar.mouseUp (mouseEventAt (bar, { 1.0f, 10.0f }));
    EXPECT_TRUE (picked.empty());

    // Pixels right of five whole steps belong to no step.
    bar.setSize (503, 60);
    EXPECT_EQ (bar.stepAt ({ 499, 10 }), 4);
    EXPECT_EQ (bar.stepAt ({ 501, 10 }), -1);

    // Painting a bar with no steps only draws the background and edge.
    bar.setSize (4, 60);
    EXPECT_TRUE (testing::paintToImage (bar).isValid());
}

} // namespace
} // namespace dunmoor::ui
