#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"

namespace dunmoor::ui
{

/**
    Step 2, "Preset & Stems". Until the page is built it only follows the session and offers
    what the main window asks of it.
*/
class PresetPage : public juce::Component, private Session::Listener
{
public:
    explicit PresetPage (AppState& state);
    ~PresetPage() override;

    /** Stops this page's stem audition, or auditions the selected stem; nothing without one. */
    void togglePlayback();

    void paint (juce::Graphics& g) override;

private:
    void presetChanged() override;

    AppState& appState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetPage)
};

} // namespace dunmoor::ui
