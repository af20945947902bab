#include "ui/UiTestSupport.h"
#include "ui/app/QueuedWindowEvents.h"

namespace dunmoor::ui
{
namespace
{

/** A top-level window that counts its paints. */
struct CountingWindow : juce::Component
{
    // Opaque as the main window is: the server keeps no copy of it and asks it to repaint.
    CountingWindow() { setOpaque (true); }

    void paint (juce::Graphics& g) override
    {
        ++paints;
        g.fillAll (juce::Colours::darkgrey);
    }

    int paints = 0;
};

// Without a window manager a closed dialog stayed on screen until the pointer moved: the
// server's request to repaint the uncovered window had been read into Xlib's queue by a round
// trip (the tooltip window asking where the pointer is), and the event loop, which waits for the
// connection to become readable, never looked there.
TEST (QueuedWindowEvents, AWindowUncoveredWhileItsEventWaitsInTheQueueRepaintsWithoutInput)
{
    CountingWindow window;
    window.setBounds (40, 40, 400, 300);
    window.addToDesktop (0);
    window.setVisible (true);
    QueuedWindowEvents queued (window);
    ASSERT_TRUE (testing::pumpUntil ([&] { return window.paints > 0; }, 5000)) << "the window is shown";

    CountingWindow cover;
    cover.setBounds (120, 120, 160, 100);
    cover.addToDesktop (0);
    cover.setVisible (true);
    testing::pumpMessages (300);

    window.paints = 0;
    cover.setVisible (false);

    // A round trip: the server carries out the hide, and its request to repaint the uncovered
    // part of the window arrives with the reply, into the queue.
    juce::ignoreUnused (juce::Desktop::getMousePosition());

    EXPECT_TRUE (testing::pumpUntil ([&] { return window.paints > 0; }, 1500)) << "the uncovered part is painted again";

    cover.removeFromDesktop();
    window.removeFromDesktop();
}

} // namespace
} // namespace dunmoor::ui
