#pragma once

#include <juce_core/juce_core.h>

#include "core/audio/WaveformOverview.h"
#include "core/render/TextReport.h"

namespace dunmoor
{

// The delivery document a composer sends along with the files: one self-contained HTML page
// (no external file, no network) with a summary, one tab per cue, the levels, the stem table,
// every written file with an inline SVG waveform, the reconstruction result, the problems and
// the plain-text render report. Every text taken from the data is escaped.

struct HtmlReportOptions
{
    bool includeWaveforms = true;       // each written file gets its inline waveform
    bool includePlainTextLog = true;    // each cue ends with its plain-text render report
    juce::String title;                 // empty: the product name + " render report"
};

/** Builds the page and writes it atomically (UTF-8, LF line ends). False with the writer's
    message in error on failure; an existing file at the target is then left unchanged. */
[[nodiscard]] bool writeHtmlReport (const BatchReport& report,
                                    const juce::File& target,
                                    juce::String& error,
                                    const HtmlReportOptions& options = {});

/** The whole document. */
juce::String buildHtmlReport (const BatchReport& report, const HtmlReportOptions& options = {});

/** One cue's panel: a section with id "cue" + cueIndex. */
juce::String buildHtmlCueSection (const CueReport& cue, int cueIndex, const HtmlReportOptions& options = {});

/** The name both saved reports take before their extension: "Brackenfold report - <cue>" for
    one cue; for a batch "Brackenfold report - <project> - <start of the render>", the project
    being the preset's project field, else the saved project's file name, else the output
    folder's name, and the start "2026-12-11 14.32" (each part when known); made a safe file
    name. */
juce::String getReportBaseName (const BatchReport& report);

/** getReportBaseName + ".html". */
juce::String getReportFileName (const BatchReport& report);

/** Where a report of the run is proposed to be saved in the folder: getReportBaseName and the
    extension (".html", ".txt"), with " (2)", " (3)" ... before the extension when a file of
    that name is already there, so that the proposal never replaces the report of another
    render. */
juce::File proposeReportFile (const BatchReport& report, const juce::File& folder, const juce::String& extension);

/** Replaces " & ' < > by entities and drops the control characters other than tab and line
    feed (so carriage returns go). */
juce::String escapeHtml (const juce::String& text);

/** A table row: a th with the escaped label and a td with the escaped value, carrying the
    class when one is given. */
juce::String buildHtmlDataRow (const juce::String& label, const juce::String& value, const juce::String& cssClass = {});

/** The cue's stems that were neither empty nor skipped, as a table. */
juce::String buildHtmlStemTable (const CueReport& cue);

/** The notes naming the empty or skipped stems: those that had nothing assigned, and those
    whose tracks could not be read (with the files); the empty text when there are none. */
juce::String buildHtmlEmptyStemsNote (const CueReport& cue);

/** The written files of a cue, each with its waveform when includeWaveforms is set. */
juce::String buildHtmlFileList (const CueReport& cue, int cueIndex, bool includeWaveforms);

/** An inline SVG of the overview in the colours of the file kind (see getFileKindColour), or
    a "no waveform" placeholder for an empty overview. id makes the gradient's id unique. */
juce::String buildWaveformSvg (const WaveformOverview& overview, const juce::String& id, int kind);

/** A byte count as the file list prints it: "1023 B", "1.0 kB", "1.0 MB". */
juce::String formatFileSizeText (int64_t bytes);

} // namespace dunmoor
