#pragma once

#include "ui/app/AppState.h"

namespace dunmoor::testing
{

/**
    Where an AppState of one test keeps its settings, presets and templates: a folder no other
    test uses, under the test process's own application-data folder (which the test main removes
    when the process ends). A test that builds a second state to see what the first one saved
    passes it the same locations.
*/
inline ui::AppState::Locations freshLocations()
{
    const auto folder = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                            .getChildFile ("test-" + juce::Uuid().toString())
                            .getChildFile ("Brackenfold");
    return ui::AppState::Locations::inFolder (folder);
}

} // namespace dunmoor::testing
