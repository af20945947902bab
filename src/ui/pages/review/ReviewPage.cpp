#include "ui/pages/review/ReviewPage.h"

#include "ui/pages/PagePlaceholder.h"

namespace dunmoor::ui
{

ReviewPage::ReviewPage (AppState& state)
    : appState (state)
{
    setTitle ("Review");
    appState.session.addListener (this);
    appState.waveformCache.addListener (this);
}

ReviewPage::~ReviewPage()
{
    appState.waveformCache.removeListener (this);
    appState.session.removeListener (this);
}

void ReviewPage::auditionSelection (std::optional<double>)
{
    // Nothing can be selected yet, so there is nothing to audition.
}

void ReviewPage::waveformsChanged()
{
    repaint();
}

void ReviewPage::assignmentsChanged()
{
    repaint();
}

void ReviewPage::paint (juce::Graphics& g)
{
    const auto& session = appState.session;
    paintPagePlaceholder (g,
                          getLocalBounds(),
                          "Review",
                          "Check which stem every track went to, correct and lock assignments, and turn corrections into rules. "
                              + juce::String ((int) session.getTracks().size()) + " track(s), "
                              + juce::String ((int) session.getUnassignedTracks().size()) + " without a stem.");
}

} // namespace dunmoor::ui
