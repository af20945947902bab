#pragma once

#include "core/render/RenderJob.h"

namespace dunmoor::ui
{

// What the Report page says about a run, decided without a component: the headline, the cue
// list's lines, a cue's details and issues. The page only lays these texts out and colours
// them by their tone.

/** How a text of the page is coloured: by a label tone or by one of the palette's verdicts. */
enum class ReportTone
{
    secondary,
    good,
    warning,
    bad
};

struct ReportHeadline
{
    juce::String text;
    ReportTone tone = ReportTone::secondary;
};

/** The details text shown while no export has finished. */
extern const char* const noReportDetailsText;

/** The one line that says how the run went; "No render yet" without a report. */
ReportHeadline makeReportHeadline (const BatchReport* report);

/** "-inf" at or below -399 dB, otherwise one decimal and " dB" ("-3.0 dB"). */
juce::String formatDecibels (double dB);

/** A linear peak as formatDecibels shows it: 20 x log10, floored at -400; "-inf" for 0 or less. */
juce::String formatLinearPeak (double linear);

/** The cue's length, format, stems, levels (or why it has none) and the reconstruction check
    when it did not judge, one item per line. */
juce::String buildCueDetailsText (const CueReport& cue);

/** "Error: ", then "Not read: " (each unreadable track with its reason), then "Warning: " lines
    of the cue; empty when it has none of them. */
juce::String buildCueIssuesText (const CueReport& cue);

/** The cue the list selects when a run arrives: the first that needs attention, else the first;
    -1 when the run has no cue. */
int findCueToSelectOnArrival (const BatchReport& report);

/** The cue list's second line: the files written, then the most serious of a failed null test,
    the errors, the unreadable tracks or the warnings. */
juce::String describeCueListFiles (const CueReport& cue);

} // namespace dunmoor::ui
