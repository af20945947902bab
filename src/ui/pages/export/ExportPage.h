#pragma once

#include <functional>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/render/RenderJob.h"
#include "ui/app/AppState.h"

namespace dunmoor::ui
{

/**
    Step 4, "Levels & Export". Until the page is built it offers what the main window asks of it
    and can analyse the levels of the session's cues (a measuring run that writes nothing), so
    that a running render holds up closing the window as a real export does. Destroying the page
    cancels a running job and waits for it to end, however long that takes: the render polls its
    cancel flag between blocks, and a thread is never killed.
*/
class ExportPage : public juce::Component, private Session::Listener, private juce::Timer
{
public:
    explicit ExportPage (AppState& state);
    ~ExportPage() override;

    /** Called on the message thread after an export (not an analysis) that was not cancelled has
        finished and its report has gone to the application state. */
    std::function<void()> onExportFinished;

    /** A render thread (analysis or export) is running. */
    bool isRendering() const;

    /** Forgets the saved arrangement of the settings blocks and their column widths. */
    void resetLayout();

    /** The cleanup preview's arrow keys; false: no preview is shown, so the key is not used. */
    bool handleCleanupKey (bool forward);

    /** Stops an audition of this page, or plays the cleaned version of the last track; nothing
        while there is none. */
    void togglePlayback();

    /** Starts a measuring run over the session's cues; false when one is running or the session
        gives nothing to measure. */
    bool runAnalysis();

    void paint (juce::Graphics& g) override;

private:
    void timerCallback() override;

    AppState& appState;
    std::unique_ptr<RenderJob> renderJob;
    juce::String statusText;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ExportPage)
};

} // namespace dunmoor::ui
