#include "ExportRunControl.h"

namespace dunmoor::ui
{

int ExportRunControl::beginRun (RunKind newKind)
{
    kind = newKind;
    inFlight = true;
    idleText.clear();
    return ++runNumber;
}

void ExportRunControl::launchFailed()
{
    inFlight = false;
    idleText = launchFailedText;
}

bool ExportRunControl::acceptCompletion (int completedRun, bool cancelled, bool holdsExportReport)
{
    if (! inFlight || completedRun != runNumber)
        return false;

    inFlight = false;

    if (cancelled)
        idleText = kind == RunKind::analysis ? "Analysis cancelled." : "Export cancelled.";
    else if (kind == RunKind::exportRun || holdsExportReport)
        idleText = "Last render finished.";
    else
        idleText.clear();

    return true;
}

ExportRunControl::ButtonStates ExportRunControl::getButtonStates (bool sessionHasTracks, bool cueListVisible) const
{
    ButtonStates states;
    states.analyse = sessionHasTracks && ! inFlight;
    states.render = states.analyse;
    states.cancel = inFlight;
    states.content = ! inFlight;
    states.pulse = states.render && cueListVisible;
    return states;
}

} // namespace dunmoor::ui
