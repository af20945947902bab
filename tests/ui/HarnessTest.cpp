#include "ui/UiTestSupport.h"

namespace dunmoor::testing
{

// The harness itself: posted messages arrive while a test pumps, and a painted component can be
// written as a snapshot.
TEST (UiHarness, PumpsPostedMessagesAndWritesSnapshots)
{
    bool arrived = false;
    juce::MessageManager::callAsync ([&arrived] { arrived = true; });
    EXPECT_TRUE (pumpUntil ([&] { return arrived; }, 5000));

    juce::Label label ({}, "Brackenfold");
    label.setSize (200, 40);
    const auto file = saveSnapshot (label, "harness");
    EXPECT_GT (file.getSize(), 0);
}

} // namespace dunmoor::testing
