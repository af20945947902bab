#pragma once

// What a benchmark of windows and pages needs around Google Benchmark: a throw-away home (so
// settings and presets never reach the user's), the framework's GUI, X errors ignored as the
// application ignores them, the application's look, and a way to let posted messages arrive.

#include <cstdlib>
#include <functional>

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/DesktopSupport.h"
#include "ui/look/AppLookAndFeel.h"

namespace juce
{
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace dunmoor::bench
{

/** Runs the message loop until the condition holds or the time is up; says whether it held. */
inline bool pumpUntil (const std::function<bool()>& condition, int timeoutMilliseconds)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMilliseconds;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= end)
            return false;

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }

    return true;
}

/** The whole of a UI benchmark's main(): the benchmarks registered in the program, run on a
    display with the application's look and a home folder named after the prefix. Whatever the
    benchmarks kept between runs is released in beforeShutdown, while the framework still runs. */
inline int runUiBenchmarks (int argc, char** argv, const char* homePrefix, const std::function<void()>& beforeShutdown = {})
{
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile (juce::String (homePrefix) + juce::Uuid().toString());
    home.getChildFile (".config").createDirectory();
    home.getChildFile (".local/share").createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_CONFIG_HOME", home.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    setenv ("XDG_DATA_HOME", home.getChildFile (".local/share").getFullPathName().toRawUTF8(), 1);

    {
        juce::ScopedJuceInitialiser_GUI juce;
        dunmoor::testing::ignoreXErrorsAsTheApplicationDoes();

        ui::AppLookAndFeel lookAndFeel;
        juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

        benchmark::Initialize (&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();

        if (beforeShutdown)
            beforeShutdown();

        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    home.deleteRecursively();
    return 0;
}

} // namespace dunmoor::bench
