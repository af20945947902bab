#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/**
    The desktop's rule for the mouse wheel over value controls: a slider or combo box takes the
    wheel only while it has the keyboard focus, which a click gives it. Otherwise the wheel goes
    on to what holds the control, so scrolling a page over a "Target level" slider scrolls the
    page instead of turning the level down.

    It watches every control inside one root (the main component, a dialog): when the pointer
    enters a slider or combo box, its wheel is switched on only if it holds the focus, and a
    slider is made to take the focus when clicked; when the focus moves, the control that lost it
    gives up the wheel and the one that gained it takes it. A press outside the focused control
    ends its focus, so the wheel over it scrolls again. Controls made later are covered the first
    time the pointer reaches them. Message thread only; lives no longer than the root.
*/
class WheelNeedsFocus : private juce::MouseListener, private juce::FocusChangeListener
{
public:
    explicit WheelNeedsFocus (juce::Component& root);
    ~WheelNeedsFocus() override;

    /** The slider or combo box the component is, or lies inside (up to the root); null when none. */
    static juce::Component* findValueControl (juce::Component* component, const juce::Component* root);

private:
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void globalFocusChanged (juce::Component* focusedComponent) override;

    static void setWheelEnabled (juce::Component& control, bool enabled);

    juce::Component& root;
    juce::Component::SafePointer<juce::Component> wheelOwner; // the focused control, whose wheel is on

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WheelNeedsFocus)
};

} // namespace dunmoor::ui
