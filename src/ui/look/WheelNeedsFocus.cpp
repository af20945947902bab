#include "ui/look/WheelNeedsFocus.h"

namespace dunmoor::ui
{

WheelNeedsFocus::WheelNeedsFocus (juce::Component& rootToWatch)
    : root (rootToWatch)
{
    root.addMouseListener (this, true);
    juce::Desktop::getInstance().addFocusChangeListener (this);
}

WheelNeedsFocus::~WheelNeedsFocus()
{
    juce::Desktop::getInstance().removeFocusChangeListener (this);
    root.removeMouseListener (this);
}

juce::Component* WheelNeedsFocus::findValueControl (juce::Component* component, const juce::Component* rootComponent)
{
    for (auto* c = component; c != nullptr && c != rootComponent; c = c->getParentComponent())
        if (dynamic_cast<juce::Slider*> (c) != nullptr || dynamic_cast<juce::ComboBox*> (c) != nullptr)
            return c;

    return nullptr;
}

void WheelNeedsFocus::setWheelEnabled (juce::Component& control, bool enabled)
{
    if (auto* slider = dynamic_cast<juce::Slider*> (&control))
        slider->setScrollWheelEnabled (enabled);
    else if (auto* combo = dynamic_cast<juce::ComboBox*> (&control))
        combo->setScrollWheelEnabled (enabled);
}

void WheelNeedsFocus::mouseEnter (const juce::MouseEvent& e)
{
    // The pointer reaches a control before any wheel event can: the control is set up here, so
    // controls built after this object are covered too.
    auto* control = findValueControl (e.eventComponent, &root);

    if (control == nullptr)
        return;

    // A slider does not take the focus on a click by itself; without it, it could never earn the wheel.
    if (dynamic_cast<juce::Slider*> (control) != nullptr && ! control->getWantsKeyboardFocus())
        control->setWantsKeyboardFocus (true);

    setWheelEnabled (*control, control->hasKeyboardFocus (true));
}

void WheelNeedsFocus::mouseDown (const juce::MouseEvent& e)
{
    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    auto* control = findValueControl (focused, &root);

    if (control == nullptr || ! root.isParentOf (control))
        return;

    if (control->getScreenBounds().contains (e.getScreenPosition()))
        return;

    // A press elsewhere on a page would leave the focus where it was (the page holds the
    // control); the control then kept the wheel while the user scrolls on.
    if (root.getWantsKeyboardFocus())
        root.grabKeyboardFocus();
    else
        focused->giveAwayKeyboardFocus();
}

void WheelNeedsFocus::globalFocusChanged (juce::Component* focusedComponent)
{
    auto* control = root.isParentOf (focusedComponent) ? findValueControl (focusedComponent, &root) : nullptr;

    if (auto* previous = wheelOwner.getComponent(); previous != nullptr && previous != control)
        setWheelEnabled (*previous, false);

    wheelOwner = control;

    if (control != nullptr)
        setWheelEnabled (*control, true);
}

} // namespace dunmoor::ui
