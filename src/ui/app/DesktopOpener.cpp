#include "DesktopOpener.h"

namespace dunmoor::ui
{

DesktopOpener::DesktopOpener (juce::StringArray commandToUse, double startedAfter)
    : command (std::move (commandToUse)), startedAfterMs (startedAfter)
{
}

DesktopOpener::~DesktopOpener()
{
    // Handlers still running are left alone: the desktop owns what they opened.
    stopTimer();
}

void DesktopOpener::open (const juce::String& target, std::function<void (const OpenResult&)> onDone)
{
    auto launch = std::make_unique<Launch>();
    launch->onDone = std::move (onDone);
    launch->target = target;
    launch->startedMs = juce::Time::getMillisecondCounterHiRes();

    // The child's output goes nowhere: nobody reads it, and a full pipe would stall it.
    auto arguments = command;
    arguments.add (target);
    auto process = std::make_unique<juce::ChildProcess>();

    if (target.isNotEmpty() && process->start (arguments, 0))
        launch->process = std::move (process);

    launches.push_back (std::move (launch));
    startTimer (20);
}

void DesktopOpener::timerCallback()
{
    const auto now = juce::Time::getMillisecondCounterHiRes();
    const auto program = command[0];
    std::vector<std::pair<std::function<void (const OpenResult&)>, OpenResult>> outcomes;

    for (auto it = launches.begin(); it != launches.end();)
    {
        auto& launch = **it;
        OpenResult result;
        bool finished = true;

        // "could not be started" alone left the user guessing what was being opened and why.
        const auto notStarted = program + " could not be started to open \"" + launch.target + "\". Check that it is installed"
                                + (program.endsWith ("xdg-open") ? juce::String (" (it comes with the xdg-utils package).") : juce::String ("."));

        if (launch.process == nullptr)
        {
            result.error = notStarted;
        }
        else if (launch.process->isRunning())
        {
            finished = false;
            result.ok = true;
        }
        else
        {
            // execvp failing in the child ends it with status 255.
            const auto status = launch.process->getExitCode();
            result.ok = status == 0;

            if (status == 255)
                result.error = notStarted;
            else if (status != 0)
                result.error = program + " reported a failure (exit status " + juce::String (status) + ") opening \"" + launch.target + "\".";
        }

        if (! launch.reported && (finished || now - launch.startedMs >= startedAfterMs))
        {
            launch.reported = true;

            if (launch.onDone != nullptr)
                outcomes.emplace_back (launch.onDone, result);
        }
        else if (launch.reported && finished && ! result.ok && now - launch.startedMs <= lateFailureWithinMs)
        {
            // It was still looking for a handler when it counted as started, and found none.
            if (launch.onDone != nullptr)
                outcomes.emplace_back (launch.onDone, result);
        }

        if (finished)
            it = launches.erase (it);
        else
            ++it;
    }

    if (launches.empty())
        stopTimer();
    else if (getTimerInterval() < 200)
        startTimer (200);

    // Callbacks last: one may open something else and so change the list.
    for (auto& [callback, result] : outcomes)
        callback (result);
}

} // namespace dunmoor::ui
