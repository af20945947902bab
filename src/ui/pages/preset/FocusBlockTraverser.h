#pragma once

#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/**
    Tab and Shift+Tab within one block of fields: from a member (or a child of one) to the next
    or previous member that is showing, enabled and wants the focus, wrapping round; the focus
    stays where it is when no other member can take it. From anything outside the block, the
    framework's own order.
*/
class FocusBlockTraverser : public juce::KeyboardFocusTraverser
{
public:
    explicit FocusBlockTraverser (std::vector<juce::Component*> members);

    juce::Component* getNextComponent (juce::Component* current) override;
    juce::Component* getPreviousComponent (juce::Component* current) override;

private:
    juce::Component* step (juce::Component* current, bool forward);

    std::vector<juce::Component*> block;
};

} // namespace dunmoor::ui
