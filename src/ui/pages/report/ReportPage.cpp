#include "ui/pages/report/ReportPage.h"

#include "ui/pages/PagePlaceholder.h"

namespace dunmoor::ui
{

ReportPage::ReportPage (AppState& state)
    : appState (state)
{
    setTitle ("Report");
    appState.addChangeListener (this);
}

ReportPage::~ReportPage()
{
    appState.removeChangeListener (this);
}

void ReportPage::togglePlayback()
{
    // The delivery is not listed yet, so there is nothing to play.
}

void ReportPage::changeListenerCallback (juce::ChangeBroadcaster*)
{
    repaint();
}

void ReportPage::paint (juce::Graphics& g)
{
    juce::String text ("Every file of the last export, its levels and the null-test result will be listed here.");

    if (appState.hasLastReport)
    {
        size_t files = 0;
        for (const auto& cue : appState.lastReport.cues)
            files += cue.files.size();
        text << " The last export wrote " << (int) files << " file(s).";
    }

    paintPagePlaceholder (g, getLocalBounds(), "Report", text);
}

} // namespace dunmoor::ui
