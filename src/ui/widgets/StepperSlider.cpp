#include "StepperSlider.h"

namespace dunmoor::ui
{

StepperSlider::StepperSlider()
    : juce::Slider (juce::Slider::IncDecButtons, juce::Slider::TextBoxLeft)
{
    setTextBoxStyle (juce::Slider::TextBoxLeft, false, 54, 26);
    setIncDecButtonsMode (juce::Slider::incDecButtonsNotDraggable);
    setWantsKeyboardFocus (true);
}

void StepperSlider::resized()
{
    juce::Slider::resized();

    juce::Button* buttons[2] {};
    int found = 0;

    for (auto* child : getChildren())
        if (auto* b = dynamic_cast<juce::Button*> (child); b != nullptr && found < 2)
            buttons[found++] = b;

    if (found < 2)
        return;

    const auto area = buttons[0]->getBounds().getUnion (buttons[1]->getBounds());
    const int w = area.getWidth();

    // Side by side instead of stacked: the button standing further right (the second one when
    // they share an edge) goes left.
    auto* leftOne = buttons[1]->getX() >= buttons[0]->getX() ? buttons[1] : buttons[0];
    auto* rightOne = leftOne == buttons[1] ? buttons[0] : buttons[1];

    const int leftWidth = juce::jmin (w, (w - 2) / 2);
    leftOne->setBounds (area.getX(), area.getY(), juce::jmax (0, leftWidth), area.getHeight());
    rightOne->setBounds (area.getX() + leftWidth + 2, area.getY(), juce::jmax (0, w - leftWidth - 2), area.getHeight());
    leftOne->setConnectedEdges (0);
    rightOne->setConnectedEdges (0);
}

} // namespace dunmoor::ui
