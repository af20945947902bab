#pragma once

#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"

namespace dunmoor::ui
{

/**
    Step 3, "Review". Until the page is built it only follows the session and the waveform cache
    and offers what the main window asks of it: nothing can be selected yet.
*/
class ReviewPage : public juce::Component, private Session::Listener, private WaveformCache::Listener
{
public:
    explicit ReviewPage (AppState& state);
    ~ReviewPage() override;

    /** Starts or stops the summed audition of the selected tracks, from the fraction of their
        length given or from the first sound; nothing without a selection. */
    void auditionSelection (std::optional<double> startFraction = std::nullopt);

    void waveformsChanged() override;

    void paint (juce::Graphics& g) override;

private:
    void assignmentsChanged() override;

    AppState& appState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReviewPage)
};

} // namespace dunmoor::ui
