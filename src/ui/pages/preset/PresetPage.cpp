#include "ui/pages/preset/PresetPage.h"

#include "ui/pages/PagePlaceholder.h"

namespace dunmoor::ui
{

PresetPage::PresetPage (AppState& state)
    : appState (state)
{
    setTitle ("Preset & Stems");
    appState.session.addListener (this);
}

PresetPage::~PresetPage()
{
    appState.session.removeListener (this);
}

void PresetPage::togglePlayback()
{
    // No stem can be selected yet, so there is nothing to audition.
}

void PresetPage::presetChanged()
{
    repaint();
}

void PresetPage::paint (juce::Graphics& g)
{
    paintPagePlaceholder (g,
                          getLocalBounds(),
                          "Preset & Stems: " + appState.session.getPreset().name,
                          "Choose the publisher's preset and edit its stems, keyword rules, alternative mixes and project fields here.");
}

} // namespace dunmoor::ui
