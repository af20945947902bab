#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"

namespace dunmoor::ui
{

/**
    Step 1, "Import". Until the page is built it only follows the session and the waveform cache
    and offers what the main window asks of it: it shows no track table and no preview.
*/
class ImportPage : public juce::Component, private Session::Listener, private WaveformCache::Listener
{
public:
    explicit ImportPage (AppState& state);
    ~ImportPage() override;

    /** -1 while the table shows every track (or there are none); else how many its filter leaves. */
    int getShownTrackCount() const;

    /** Starts or stops the audition of the track in the preview; nothing without one. */
    void togglePlayback();

    void waveformsChanged() override;

    void paint (juce::Graphics& g) override;

private:
    AppState& appState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImportPage)
};

} // namespace dunmoor::ui
