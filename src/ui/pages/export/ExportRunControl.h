#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor::ui
{

/**
    The run states of the Levels & Export page: idle, analysing or exporting, the number of the
    current run, and the text the phase bar keeps once a run has been handled.

    Every launch gets a new run number; a completion carries the number of its run and is
    taken once, and only while it is the current run, so a late message of an older run can
    never end a newer one. While a run is in flight the page polls its job; once handled it
    stops polling, so an old job can never refill a bar that was cleared.
*/
class ExportRunControl
{
public:
    enum class RunKind
    {
        analysis,
        exportRun
    };

    struct ButtonStates
    {
        bool analyse = false;
        bool render = false;
        bool cancel = false;
        bool content = true;
        bool pulse = false;

        bool operator== (const ButtonStates& o) const
        {
            return analyse == o.analyse && render == o.render && cancel == o.cancel && content == o.content && pulse == o.pulse;
        }
    };

    /** A run may launch: none is in flight and the last job's thread has ended. */
    bool canLaunch (bool jobThreadRunning) const noexcept { return ! isRunInFlight() && ! jobThreadRunning; }

    /** Enters analysing or exporting and returns the new run's number. */
    int beginRun (RunKind kind);

    /** The job refused to start: back to idle, with a text saying so. */
    void launchFailed();

    /** A completion arrives with its run number. True, once, for the current run: the page
        is idle again and keeps the text for what happened ("Analysis cancelled.",
        "Export cancelled.", "Last render finished." when an export's report is held, else
        nothing). False for anything else, which the page then ignores. */
    bool acceptCompletion (int runNumber, bool cancelled, bool holdsExportReport);

    bool isAnalysing() const noexcept { return inFlight && kind == RunKind::analysis; }
    bool isExporting() const noexcept { return inFlight && kind == RunKind::exportRun; }
    bool isRunInFlight() const noexcept { return inFlight; }

    /** What the phase bar shows while no run is in flight. */
    const juce::String& getIdleText() const noexcept { return idleText; }

    /** The run buttons and the settings area: the run buttons need tracks and no run; Cancel
        only during a run; the render button pulses when enabled and the cue list shows. */
    ButtonStates getButtonStates (bool sessionHasTracks, bool cueListVisible) const;

    static constexpr const char* launchFailedText = "The render could not start. Try again.";

private:
    RunKind kind = RunKind::analysis;
    bool inFlight = false;
    int runNumber = 0;
    juce::String idleText;
};

} // namespace dunmoor::ui
