#include "ui/pages/PagePlaceholder.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

void paintPagePlaceholder (juce::Graphics& g, juce::Rectangle<int> bounds, const juce::String& title, const juce::String& description)
{
    const auto p = currentPalette();
    g.fillAll (p.windowBackground);

    const auto panel = bounds.reduced (12);
    drawPanel (g, panel, p.panelBackground);

    auto text = panel.reduced (20, 16);
    g.setColour (p.textPrimary);
    g.setFont (fontBold16());
    g.drawText (title, text.removeFromTop (24), juce::Justification::centredLeft, true);

    text.removeFromTop (6);
    g.setColour (p.textSecondary);
    g.setFont (fontPlain14_5());
    g.drawFittedText (description, text.removeFromTop (60), juce::Justification::topLeft, 3);
}

} // namespace dunmoor::ui
