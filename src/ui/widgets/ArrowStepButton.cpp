#include "ArrowStepButton.h"

namespace dunmoor::ui
{

ArrowStepButton::ArrowStepButton (bool pointsUpwards) : up (pointsUpwards) {}

void ArrowStepButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    auto& lf = getLookAndFeel();
    lf.drawButtonBackground (g, *this, findColour (getToggleState() ? buttonOnColourId : buttonColourId), highlighted, down);

    // 11 x 7 px, centred; in the text colour, dimmed while disabled.
    const auto centre = getLocalBounds().toFloat().getCentre();
    juce::Path triangle;

    if (up)
        triangle.addTriangle (centre.x - 5.5f, centre.y + 3.5f, centre.x + 5.5f, centre.y + 3.5f, centre.x, centre.y - 3.5f);
    else
        triangle.addTriangle (centre.x - 5.5f, centre.y - 3.5f, centre.x + 5.5f, centre.y - 3.5f, centre.x, centre.y + 3.5f);

    g.setColour (findColour (juce::TextButton::textColourOffId).withMultipliedAlpha (isEnabled() ? 1.0f : 0.4f));
    g.fillPath (triangle);
}

} // namespace dunmoor::ui
