#pragma once

#include <juce_core/juce_core.h>

#include "core/ProductVersion.h"
#include "core/render/CueReport.h"
#include "core/render/RenderJob.h"

namespace dunmoor
{

// The plain-text account of a run: the render report of one cue, the batch report of a whole
// run and the short delivery list for the clipboard, plus the small phrases and counts that
// the pages and the HTML report share with them. Lines of both reports are joined with CR LF
// and there is no line end after the last line; the delivery list uses LF.

/** The product name that heads every report, before productVersion. */
inline constexpr const char* reportProductName = "Brackenfold";

/** The batch report of a run; for a run of exactly one cue, that cue's render report. */
juce::String formatBatchReportText (const BatchReport& report);

/** Saves formatBatchReportText atomically as UTF-8 with its CR LF line ends kept. False with
    the writer's message in error on failure; an existing file at the target is then unchanged. */
[[nodiscard]] bool writeBatchReportText (const BatchReport& report, const juce::File& target, juce::String& error);

/** The render report of one cue. */
juce::String formatCueReportText (const CueReport& cue);

/** One block per cue that wrote files, listing each file with its kind and settings, after a
    line that counts files and cues; the empty text when no file was written. */
juce::String formatDeliveryList (const BatchReport& report);

/** A number with at least two digits, as stem indices print ("03", "12", "128"). */
juce::String formatTwoDigits (int value);

/** A stem's number as the stem tables print it: the number in its file names, followed by its
    place in the preset in brackets when the two differ ("09 (10)"); a stem that wrote no file
    has only its place in the preset ("10"). */
juce::String formatStemNumberText (const StemReport& stem);

/** Why a cue that did not succeed stopped: "the render was cancelled", "the cue stopped at
    <stem or mix>" or "the cue did not complete". */
juce::String describeWhyCueStopped (const CueReport& cue);

/** What became of a stem of a cue that did not succeed, as the stem tables say it instead of
    (or after) its peak: "not delivered" (its files were written, then left off the disk with
    the rest of the cue), "not written" or "not measured or written", then describeWhyCueStopped.
    Empty for a stem of a cue that succeeded. */
juce::String describeStemOutcome (const CueReport& cue, const StemReport& stem);

/** What the reports and pages say instead of the mix's levels and gain of a cue that stopped
    (with errors, or cancelled) before its mix was measured and its gain decided: "not measured: "
    and describeWhyCueStopped. Empty when the cue has levels to show. */
juce::String describeUnmeasuredLevels (const CueReport& cue);

/** A number with one decimal (seconds), never "-0.0". */
juce::String formatOneDecimal (double value);

/** A level in dB as the reports print it: "-inf" at or below -399 dB, else the number with
    the given count of decimals (never "-0.00"). */
juce::String formatLevelText (double dB, int decimals);

/** formatLevelText of a linear peak turned into dB (20 x log10, floored at -400). */
juce::String formatPeakText (double linearPeak, int decimals);

/** The cue's name, or "Delivery" when it has none. */
juce::String getCueDisplayName (const CueReport& cue);

/** True when the cue has errors or unreadable tracks, was cancelled, is not ok or its
    reconstruction check FAILED. */
bool cueNeedsAttention (const CueReport& cue);

/** A local date and time as the reports show it: day, abbreviated month, year, then h:mm:ss
    and am or pm. */
juce::String formatReportDateTime (juce::Time time);

/** When a render ran, as the reports print it: "Rendered <start> to <end>" (the end without
    its date when it is the same day), or "Render time not recorded" for a report that was not
    made by a render. */
juce::String formatRenderTimes (juce::Time startedAt, juce::Time finishedAt);

} // namespace dunmoor
