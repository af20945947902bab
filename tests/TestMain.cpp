#include <clocale>
#include <cstdio>

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // The framework's case-insensitive comparisons of non-ASCII names (paths, for one) follow
    // the character type locale, and the tests expect the UTF-8 one the application runs in.
    if (std::setlocale (LC_CTYPE, "C.UTF-8") == nullptr)
    {
        std::fprintf (stderr, "The C.UTF-8 locale is not available; the tests need it.\n");
        return 1;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
