#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/**
    Handles window-system events that were read from the display connection but left waiting.

    On X11 the framework handles the display's events when its connection becomes readable. Any
    round trip to the server made elsewhere (the tooltip window asks where the pointer is several
    times a second) reads the events that arrived meanwhile into Xlib's queue, where the
    connection no longer shows them. Without a window manager, which sends more events that wake
    the loop, they can wait there until the pointer next moves: a closed menu, dialog or drag image
    stays on screen, and a new dialog shows only after the mouse moves.

    Attached to a window's content, this looks at every frame of that window (the display's
    vertical blank, when the framework also paints) and hands anything waiting in the queue to the
    framework's own event handling. Elsewhere it does nothing. Message thread only.
*/
class QueuedWindowEvents
{
public:
    explicit QueuedWindowEvents (juce::Component& windowContent);

    /** Handles the events waiting in the queue, if any; says whether there were some. */
    static bool dispatchWaitingEvents();

private:
    juce::VBlankAttachment attachment;

    JUCE_DECLARE_NON_COPYABLE (QueuedWindowEvents)
};

} // namespace dunmoor::ui
