#include "core/render/RenderJob.h"
#include "ui/UiTestSupport.h"
#include "ui/pages/export/PhaseBar.h"
#include "ui/look/Theme.h"
#include "ui/widgets/PrimaryButton.h"

namespace dunmoor::ui
{
namespace
{
    /** Pixels close to the colour (anti-aliased text counts when it is mostly that colour). */
    int countPixelsNear (const juce::Image& image, juce::Colour colour, juce::Rectangle<int> area)
    {
        int count = 0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
        {
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto p = image.getPixelAt (x, y);
                const auto distance = std::abs (p.getRed() - colour.getRed()) + std::abs (p.getGreen() - colour.getGreen())
                                    + std::abs (p.getBlue() - colour.getBlue());

                if (distance < 30)
                    ++count;
            }
        }

        return count;
    }
} // namespace

TEST (PhaseBar, BandsAndText)
{
    using Phase = RenderJob::Phase;
    PhaseBar bar;
    bar.setSize (400, 30);
    bar.setProgress (0.5, (int) Phase::summing);
    bar.setProgress (0.8, (int) Phase::writing);
    bar.setText ("Writing the full mix... and a long status line that runs on past the end of the bar");

    const auto image = testing::paintToImage (bar);
    EXPECT_EQ (image.getPixelAt (60, 3), PhaseBar::colourForPhase ((int) Phase::summing));
    EXPECT_EQ (image.getPixelAt (260, 3), PhaseBar::colourForPhase ((int) Phase::writing));
    EXPECT_EQ (image.getPixelAt (360, 3), currentPalette().controlBackground);
    const auto light = currentPalette().textSecondary;
    EXPECT_GT (countPixelsNear (image, PhaseBar::darkTextColour(), { 0, 0, 320, 30 }), 20);
    EXPECT_EQ (countPixelsNear (image, light, { 0, 0, 320, 30 }), 0);
    EXPECT_GT (countPixelsNear (image, light, { 322, 0, 78, 30 }), 0);
    testing::saveSnapshot (bar, "phase-bar");

    // Progress without bands (an idle report after the bar was cleared) used to draw the text
    // left of the progress in the dark colour, unreadable on the empty background.
    bar.clear();
    bar.setProgress (0.6, (int) Phase::idle);
    bar.setText ("Export cancelled.");
    const auto cleared = testing::paintToImage (bar);
    EXPECT_GT (countPixelsNear (cleared, light, { 0, 0, 200, 30 }), 20);
}

TEST (PrimaryButton, PulseStartsDimAndStops)
{
    PrimaryButton button ("Render and export");
    button.setSize (170, 30);
    const auto plain = testing::paintToImage (button);

    button.setPulsing (true);
    EXPECT_TRUE (button.isPulsing());
    EXPECT_EQ (button.getPulsePhase(), 0.0f);

    for (int i = 0; i < 80; ++i)
        button.timerCallback();

    EXPECT_NEAR (button.getPulsePhase(), 5.0f * 0.013333334f, 1e-4);   // 75 ticks make one pulse
    const auto pulsing = testing::paintToImage (button);
    EXPECT_NE (pulsing.getPixelAt (85, 15), plain.getPixelAt (85, 15));

    button.setPulsing (false);
    button.setPulsing (true);
    EXPECT_EQ (button.getPulsePhase(), 0.0f);
    button.setPulsing (false);
    EXPECT_FALSE (button.isPulsing());
}

} // namespace dunmoor::ui
