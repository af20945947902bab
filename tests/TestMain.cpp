#include <clocale>

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // Case folding of non-ASCII names relies on a UTF-8 character type locale.
    std::setlocale (LC_CTYPE, "C.UTF-8");

    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
