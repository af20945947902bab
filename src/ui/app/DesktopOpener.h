#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_events/juce_events.h>

#include "Seams.h"

namespace dunmoor::ui
{

/**
    Hands folders, files and web addresses to the desktop by starting a program (by default
    "xdg-open") with the target as its one argument: no shell ever sees the name, so "$(...)",
    backticks and quotes in a folder name stay text. The program's exit status decides the
    outcome, which arrives on the message thread.

    A handler that keeps running (some desktops run the browser itself in the foreground) counts
    as started once it has run for a few seconds; it is never killed, and it is still reaped when
    it ends. When one that counted as started fails after all within a minute (still searching
    for a browser, it found none), that failure is reported too: onDone then runs a second time.
    Callbacks never run after the opener is destroyed. Message thread only.
*/
class DesktopOpener : private juce::Timer
{
public:
    /** How long a handler may run before it counts as started. */
    static constexpr double defaultStartedAfterMs = 4000.0;

    /** How long after its start a handler's failure is still reported. */
    static constexpr double lateFailureWithinMs = 60000.0;

    /** The command is the program and any arguments that come before the target. */
    explicit DesktopOpener (juce::StringArray command = { "xdg-open" }, double startedAfterMs = defaultStartedAfterMs);
    ~DesktopOpener() override;

    /** Starts the program with the target and returns at once. onDone (may be empty) runs later
        on the message thread. */
    void open (const juce::String& target, std::function<void (const OpenResult&)> onDone);

private:
    struct Launch
    {
        std::unique_ptr<juce::ChildProcess> process; // null when it could not be started
        std::function<void (const OpenResult&)> onDone;
        juce::String target;
        double startedMs = 0.0;
        bool reported = false;
    };

    void timerCallback() override;

    juce::StringArray command;
    double startedAfterMs;
    std::vector<std::unique_ptr<Launch>> launches;

    JUCE_DECLARE_NON_COPYABLE (DesktopOpener)
};

} // namespace dunmoor::ui
