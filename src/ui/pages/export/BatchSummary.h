#pragma once

#include <vector>

#include "ExportResultRows.h"
#include "core/render/RenderJob.h"
#include "core/session/Cue.h"

namespace dunmoor::ui
{

/**
    What the Levels & Export page shows after a run: the fixed-width summary text and the rows
    of the cue list and the cleanup preview. Plain functions of the run's report, the session
    preset as it is now and the session's cues with tracks.
*/
namespace BatchSummary
{
    /** Which run the report comes from: an export reports the files it wrote, an analysis the
        files an export would write. */
    enum class RunKind
    {
        analysis,
        exportRun
    };

    /** Files a render writes for the cue: the first two output formats that are enabled, times
        the stems it writes (with tracks, or empty with an effective policy of exportSilence),
        the full mix and each alternative mix with a member stem that has tracks. A cue
        without any stem that has tracks writes nothing. */
    int countPlannedFiles (const CueReport& cue, const Preset& preset, const std::vector<Cue>& cues);

    /** Stems a render writes for the cue (see countPlannedFiles). */
    int countExportedStems (const CueReport& cue, const Preset& preset);

    /** Enabled entries among the first two output formats: the ones a render writes. */
    int countWrittenFormats (const ExportSettings& settings);

    /** The summary text: labels of exactly 20 characters, lines joined with line feeds. */
    juce::String formatText (const BatchReport& report, const Preset& preset, const std::vector<Cue>& cues, RunKind kind);

    /** One row per cue with tracks, in session order, with the first report of the same key. */
    std::vector<CueResultRow> buildCueRows (const BatchReport& report, const std::vector<Cue>& cues);

    /** One row per gated track of every cue report, in run order. */
    std::vector<GatedTrackRow> buildGatedRows (const BatchReport& report);

    /** The same rows, taking the waveform overviews out of the report instead of copying them
        (a long run holds tens of megabytes of them); the report keeps everything else. */
    std::vector<GatedTrackRow> takeGatedRows (BatchReport& report);

    /** "-inf" at or below -399 dB, else two decimals and " dB". */
    juce::String formatDecibels (double dB);

    /** A level of a cue row (its peak or its gain) as the list shows it: formatDecibels, or "-"
        when the run stopped before the cue's mix was measured. */
    juce::String formatRowLevel (const CueResultRow& row, double dB);

    /** A linear peak in dB (at least -400; a peak not above 0 gives -400). */
    double peakToDecibels (double linearPeak);
} // namespace BatchSummary

} // namespace dunmoor::ui
