#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"

namespace dunmoor::ui
{

/**
    Step 5, "Report". Until the page is built it follows the application state and says how many
    files the last export wrote.
*/
class ReportPage : public juce::Component, private juce::ChangeListener
{
public:
    explicit ReportPage (AppState& state);
    ~ReportPage() override;

    /** Stops the selected delivered file, or plays it (the first file when none is selected);
        nothing without a delivery. */
    void togglePlayback();

    void paint (juce::Graphics& g) override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    AppState& appState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReportPage)
};

} // namespace dunmoor::ui
