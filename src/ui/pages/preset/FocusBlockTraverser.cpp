#include "FocusBlockTraverser.h"

#include "StemListGeometry.h"

namespace dunmoor::ui
{

FocusBlockTraverser::FocusBlockTraverser (std::vector<juce::Component*> members) : block (std::move (members)) {}

juce::Component* FocusBlockTraverser::getNextComponent (juce::Component* current)
{
    return step (current, true);
}

juce::Component* FocusBlockTraverser::getPreviousComponent (juce::Component* current)
{
    return step (current, false);
}

juce::Component* FocusBlockTraverser::step (juce::Component* current, bool forward)
{
    const int n = (int) block.size();

    for (int k = 0; k < n; ++k)
    {
        auto* member = block[(size_t) k];

        if (member != current && ! member->isParentOf (current))
            continue;

        const auto next = nextFocusIndex (k, n, forward, [this] (int i)
                                          {
                                              auto* c = block[(size_t) i];
                                              return c->isShowing() && c->isEnabled() && c->getWantsKeyboardFocus();
                                          });
        return block[(size_t) next];
    }

    return forward ? juce::KeyboardFocusTraverser::getNextComponent (current)
                   : juce::KeyboardFocusTraverser::getPreviousComponent (current);
}

} // namespace dunmoor::ui
