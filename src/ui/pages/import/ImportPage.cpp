#include "ui/pages/import/ImportPage.h"

#include "ui/pages/PagePlaceholder.h"

namespace dunmoor::ui
{

ImportPage::ImportPage (AppState& state)
    : appState (state)
{
    setTitle ("Import");
    appState.session.addListener (this);
    appState.waveformCache.addListener (this);
}

ImportPage::~ImportPage()
{
    appState.waveformCache.removeListener (this);
    appState.session.removeListener (this);
}

int ImportPage::getShownTrackCount() const
{
    return -1;
}

void ImportPage::togglePlayback()
{
    // No track is shown in a preview yet, so there is nothing to play.
}

void ImportPage::waveformsChanged()
{
    repaint();
}

void ImportPage::paint (juce::Graphics& g)
{
    paintPagePlaceholder (g, getLocalBounds(), "Import", "Add the folders of your cues here: each folder becomes one cue, each audio file in it one track.");
}

} // namespace dunmoor::ui
