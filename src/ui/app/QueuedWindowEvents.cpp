// The framework's X11 declarations are needed here only; they must be asked for before its
// header is first included.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#if JUCE_LINUX || JUCE_BSD
 #include <juce_events/native/juce_linux_EventLoopInternal.h>
#endif

#include "ui/app/QueuedWindowEvents.h"

namespace dunmoor::ui
{

QueuedWindowEvents::QueuedWindowEvents (juce::Component& windowContent)
    : attachment (&windowContent, [] { dispatchWaitingEvents(); })
{
}

bool QueuedWindowEvents::dispatchWaitingEvents()
{
#if JUCE_LINUX || JUCE_BSD
    auto* system = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = system != nullptr ? system->getDisplay() : nullptr;
    if (display == nullptr)
        return false;

    auto* x11 = juce::X11Symbols::getInstance();
    int waiting = 0;
    int connection = -1;
    {
        juce::XWindowSystemUtilities::ScopedXLock lock;
        waiting = x11->xEventsQueued (display, QueuedAlready); // looks at the queue only, reads nothing
        connection = x11->xConnectionNumber (display);
    }

    if (waiting <= 0)
        return false;

    // What the event loop runs when the connection is readable: it handles every queued event.
    juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (connection);
    return true;
#else
    return false;
#endif
}

} // namespace dunmoor::ui
