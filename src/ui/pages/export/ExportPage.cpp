#include "ui/pages/export/ExportPage.h"

#include "core/render/RenderPlan.h"
#include "ui/pages/PagePlaceholder.h"

namespace dunmoor::ui
{

ExportPage::ExportPage (AppState& state)
    : appState (state)
{
    setTitle ("Levels & Export");
    appState.session.addListener (this);
    startTimerHz (10);
}

ExportPage::~ExportPage()
{
    stopTimer();
    appState.session.removeListener (this);

    if (renderJob != nullptr)
    {
        // Deleting a running thread would pull its state away under it: ask it to stop, wait
        // for it without a time limit (it notices within one block), then delete it.
        renderJob->cancel();
        renderJob->waitForThreadToExit (-1);
        renderJob.reset();
    }
}

bool ExportPage::isRendering() const
{
    return renderJob != nullptr && renderJob->getStatus().isRunning;
}

void ExportPage::resetLayout()
{
    appState.settings->setValue ("exportBlockColumns", juce::String());
    juce::ignoreUnused (appState.settings->saveIfNeeded());
    appState.settings->setValue ("exportColumnWidths", juce::String());
    juce::ignoreUnused (appState.settings->saveIfNeeded());
    resized();
}

bool ExportPage::handleCleanupKey (bool)
{
    return false;
}

void ExportPage::togglePlayback()
{
    // No cleanup preview is shown yet, so there is nothing to play.
}

bool ExportPage::runAnalysis()
{
    if (isRendering())
        return false;

    const auto& session = appState.session;
    const auto plan = buildBatchPlan (session.getPreset(), session.getTracks(), session.getCuesWithTracks(), appState.outputFolder, true);

    std::vector<RenderRequest> requests;
    for (const auto& cue : plan.cues)
        if (cue.ok)
            requests.push_back (cue.request);

    if (requests.empty())
        return false;

    renderJob = std::make_unique<RenderJob>();
    return renderJob->start (std::move (requests), {});
}

void ExportPage::timerCallback()
{
    auto text = isRendering() ? renderJob->getStatus().statusText : juce::String();
    if (text != statusText)
    {
        statusText = text;
        repaint();
    }
}

void ExportPage::paint (juce::Graphics& g)
{
    paintPagePlaceholder (g,
                          getLocalBounds(),
                          "Levels & Export",
                          "Set the formats, the level target and the file names, analyse the levels and render the delivery here."
                              + (statusText.isEmpty() ? juce::String() : "\n" + statusText));
}

} // namespace dunmoor::ui
