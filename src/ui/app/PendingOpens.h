#pragma once

#include <functional>
#include <memory>

#include "Seams.h"

namespace dunmoor::ui
{

/**
    The opens a page or a window has handed to the desktop that have not answered yet, so that it
    can show them under way. An open ends at its first answer, whether it worked or not (a failure
    that follows a first answer is passed on, and ends nothing more). An answer that arrives after
    the owner is gone reaches nothing of it. Message thread only.
*/
class PendingOpens
{
public:
    PendingOpens();

    /** Counts an open as under way. The callback returned is the one to hand to the seams: it
        ends the open at its first call and then runs onDone (may be empty) with every answer. */
    std::function<void (const OpenResult&)> begin (std::function<void (const OpenResult&)> onDone);

    bool isUnderWay() const;

    /** Runs when the first open begins and when the last one ends. */
    void setOnChange (std::function<void()> onChange);

private:
    struct State
    {
        int underWay = 0;
        std::function<void()> onChange;
    };

    std::shared_ptr<State> state;

    JUCE_DECLARE_NON_COPYABLE (PendingOpens)
};

} // namespace dunmoor::ui
