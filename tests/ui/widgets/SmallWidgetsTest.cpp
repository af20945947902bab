#include "ui/UiTestSupport.h"
#include "ui/look/Theme.h"
#include "ui/widgets/ArrowStepButton.h"
#include "ui/widgets/MagnifierButton.h"
#include "ui/widgets/RowHeightButton.h"
#include "ui/widgets/StepperSlider.h"
#include "ui/widgets/TextBlock.h"
#include "ui/widgets/TransportButton.h"

namespace dunmoor::ui
{
namespace
{

float brightness (juce::Colour c) { return c.getPerceivedBrightness(); }

TEST (TextBlock, IdealHeightCountsLinesWithAMinimum)
{
    TextBlock block;
    const auto lineHeight = (int) std::ceil (fontMono12().getHeight());

    EXPECT_EQ (block.getIdealHeight (4), 4 * lineHeight + 2) << "an empty text counts no lines";
    block.setText ("first\nsecond");
    EXPECT_EQ (block.getIdealHeight (4), 4 * lineHeight + 2);
    EXPECT_EQ (block.getIdealHeight (1), 2 * lineHeight + 2);

    block.setLineSpacing (1.5f);
    block.setText ("a\nb\nc\nd\ne\nf");
    EXPECT_EQ (block.getIdealHeight (4), 6 * (int) std::ceil (fontMono12().getHeight() * 1.5f) + 2);

    {
        bool self = true, children = true;
        block.getInterceptsMouseClicks (self, children);
        EXPECT_FALSE (self || children);
    }

    block.setSize (300, block.getIdealHeight (4));
    block.setTextColour (&Palette::textSecondary);
    testing::saveSnapshot (block, "text-block");
}

// A text block built before the stored palette was applied kept the Default text colour.
TEST (TextBlock, TextFollowsThePaletteEntryItIsGiven)
{
    TextBlock block;
    EXPECT_EQ (block.getTextColour(), currentPalette().textPrimary);

    auto custom = defaultPalette();
    custom.textPrimary = juce::Colour (0xffffe000);
    custom.bad = juce::Colour (0xffff2020);
    applyPalette (custom);
    EXPECT_EQ (block.getTextColour(), custom.textPrimary);

    block.setTextColour (&Palette::bad);
    EXPECT_EQ (block.getTextColour(), custom.bad);
    applyPalette (defaultPalette());
    EXPECT_EQ (block.getTextColour(), defaultPalette().bad);

    block.setTextColour (juce::Colour (0xff00ff00));
    EXPECT_EQ (block.getTextColour(), juce::Colour (0xff00ff00)) << "a fixed colour stays";
}

TEST (TransportButton, TooltipFollowsPlayingOnlyWhenItChanges)
{
    TransportButton unlabelled;
    EXPECT_EQ (unlabelled.getName(), "Play");
    EXPECT_EQ (unlabelled.getTooltip(), "Play. Press it again while it is playing to stop.");

    unlabelled.setPlaying (false); // unchanged: the first tooltip stays
    EXPECT_EQ (unlabelled.getTooltip(), "Play. Press it again while it is playing to stop.");
    unlabelled.setPlaying (true);
    EXPECT_EQ (unlabelled.getTooltip(), "Stop");
    unlabelled.setPlaying (false);
    EXPECT_EQ (unlabelled.getTooltip(), "Play");

    TransportButton labelled ("Play mix");
    EXPECT_EQ (labelled.getName(), "Play mix");
    EXPECT_EQ (labelled.getTitle(), "Play mix");

    // Without a label the symbol is centred; with one it sits at the left.
    unlabelled.setSize (40, 30);
    labelled.setSize (140, 30);
    const auto centred = testing::paintToImage (unlabelled);
    const auto left = testing::paintToImage (labelled);
    const auto primary = currentPalette().textPrimary;
    EXPECT_GT (brightness (centred.getPixelAt (20, 15)), 0.7f);
    EXPECT_LT (brightness (centred.getPixelAt (8, 15)), 0.3f);
    EXPECT_GT (brightness (left.getPixelAt (14, 15)), 0.7f);
    EXPECT_EQ (left.getPixelAt (14, 15), primary);

    labelled.setPlaying (true);
    labelled.setSize (140, 30);
    testing::saveSnapshot (labelled, "transport-button-playing");
    labelled.setLoading (true);
    EXPECT_TRUE (labelled.isLoading());
}

TEST (IconButtons, MagnifierKindsAndDisabledColour)
{
    // In a 30 x 30 button the lens centre is at (13.5, 13.5) with a radius of 7.28.
    const auto paintKind = [] (int kind, bool enabled)
    {
        MagnifierButton button ("zoom", kind);
        button.setSize (30, 30);
        button.setEnabled (enabled);
        return testing::paintToImage (button);
    };

    const auto plus = paintKind (MagnifierButton::zoomIn, true);
    const auto minus = paintKind (MagnifierButton::zoomOut, true);
    const auto lens = paintKind (MagnifierButton::wholeView, true);

    const auto stroke = juce::Point<int> (11, 13); // on the horizontal stroke, left of the centre
    const auto upright = juce::Point<int> (13, 11); // on the vertical stroke, above the centre

    EXPECT_GT (brightness (plus.getPixelAt (stroke.x, stroke.y)), 0.5f);
    EXPECT_GT (brightness (plus.getPixelAt (upright.x, upright.y)), 0.5f);
    EXPECT_GT (brightness (minus.getPixelAt (stroke.x, stroke.y)), 0.5f);
    EXPECT_LT (brightness (minus.getPixelAt (upright.x, upright.y)), 0.2f);
    EXPECT_LT (brightness (lens.getPixelAt (stroke.x, stroke.y)), 0.2f);
    EXPECT_LT (brightness (lens.getPixelAt (upright.x, upright.y)), 0.2f);

    // Disabled: the same icon, in the dimmer disabled text colour.
    const auto disabled = paintKind (MagnifierButton::zoomIn, false);
    EXPECT_LT (brightness (disabled.getPixelAt (stroke.x, stroke.y)), brightness (plus.getPixelAt (stroke.x, stroke.y)) - 0.2f);
    EXPECT_GT (brightness (disabled.getPixelAt (stroke.x, stroke.y)), 0.2f);
}

TEST (IconButtons, RowHeightArrowsPointApartOrTogether)
{
    const auto paintKind = [] (int kind)
    {
        RowHeightButton button ("rows", kind);
        button.setSize (42, 42);
        return testing::paintToImage (button);
    };

    // Inner 40 x 40 from (1, 1): centre (21, 21), s = 12. The taller shaft reaches 7.4 from the
    // centre and its heads go 4 further; the shorter shaft reaches only 1.9.
    const auto taller = paintKind (RowHeightButton::taller);
    const auto shorter = paintKind (RowHeightButton::shorter);

    EXPECT_GT (brightness (taller.getPixelAt (21, 13)), 0.5f);
    EXPECT_LT (brightness (shorter.getPixelAt (21, 13)), 0.5f);
    EXPECT_GT (brightness (taller.getPixelAt (16, 9)), 0.5f) << "the top bar";
    EXPECT_GT (brightness (shorter.getPixelAt (16, 9)), 0.5f) << "the top bar";
}

TEST (IconButtons, StepArrowsPointUpOrDown)
{
    const auto paintArrow = [] (bool up)
    {
        ArrowStepButton button (up);
        button.setSize (30, 30);
        return testing::paintToImage (button);
    };

    // The triangle, 11 x 7 about the centre (15, 15): wide where its base is, a point at its tip.
    const auto up = paintArrow (true);
    const auto down = paintArrow (false);
    EXPECT_GT (brightness (up.getPixelAt (11, 17)), brightness (up.getPixelAt (11, 13)) + 0.2f) << "base below";
    EXPECT_GT (brightness (down.getPixelAt (11, 13)), brightness (down.getPixelAt (11, 17)) + 0.2f) << "base above";
}

TEST (StepperSlider, StepButtonsSideBySideRightOfTheValue)
{
    StepperSlider slider;
    slider.setRange (-100.0, 100.0, 1.0);
    slider.setSize (111, 26);

    std::vector<juce::Component*> buttons;
    juce::Component* valueBox = nullptr;

    for (auto* child : slider.getChildren())
    {
        if (dynamic_cast<juce::Button*> (child) != nullptr)
            buttons.push_back (child);
        else if (dynamic_cast<juce::Label*> (child) != nullptr)
            valueBox = child;
    }

    ASSERT_EQ (buttons.size(), 2u);
    ASSERT_NE (valueBox, nullptr);
    std::sort (buttons.begin(), buttons.end(), [] (auto* a, auto* b) { return a->getX() < b->getX(); });

    EXPECT_EQ (valueBox->getBounds(), juce::Rectangle<int> (0, 0, 54, 26));
    EXPECT_GE (buttons[0]->getX(), valueBox->getRight());
    EXPECT_EQ (buttons[1]->getX(), buttons[0]->getRight() + 2);
    EXPECT_LE (buttons[1]->getRight(), 111);
    EXPECT_GE (buttons[0]->getWidth(), 20);
    EXPECT_EQ (buttons[0]->getY(), buttons[1]->getY());
    EXPECT_EQ (buttons[0]->getHeight(), buttons[1]->getHeight());
}

} // namespace
} // namespace dunmoor::ui
