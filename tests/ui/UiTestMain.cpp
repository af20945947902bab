#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/DesktopSupport.h"
#include "ui/look/AppLookAndFeel.h"

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // The framework's case-insensitive comparisons of non-ASCII names follow the character
    // type locale, and the tests expect the UTF-8 one the application runs in.
    if (std::setlocale (LC_CTYPE, "C.UTF-8") == nullptr)
    {
        std::fprintf (stderr, "The C.UTF-8 locale is not available; the tests need it.\n");
        return 1;
    }

    // Every test process gets a home, settings and data folders of its own, so nothing a test
    // writes (settings, presets, templates, trash) reaches the user's folders or another test.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("dunmoor-ui-home-" + juce::Uuid().toString());
    home.getChildFile (".config").createDirectory();
    home.getChildFile (".local/share").createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_DATA_HOME", home.getChildFile (".local/share").getFullPathName().toRawUTF8(), 1);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        dunmoor::testing::ignoreXErrorsAsTheApplicationDoes();

        // Components are built and painted under the application's own look, as in the app.
        auto lookAndFeel = std::make_unique<dunmoor::ui::AppLookAndFeel>();
        juce::LookAndFeel::setDefaultLookAndFeel (lookAndFeel.get());
        result = RUN_ALL_TESTS();
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    home.deleteRecursively();
    return result;
}
