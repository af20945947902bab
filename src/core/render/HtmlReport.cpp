#include "core/render/HtmlReport.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "core/files/AtomicFileWriter.h"
#include "core/files/PathRules.h"
#include "core/render/FileKindColours.h"

namespace dunmoor
{

namespace
{
    // juce::String grows only to the exact size on every append, which makes a long document
    // quadratic to build; the page is assembled in a std::string and converted once.
    struct HtmlText
    {
        std::string bytes;

        explicit HtmlText (size_t reserve) { bytes.reserve (reserve); }

        HtmlText& operator<< (const char* text)           { bytes += text; return *this; }
        HtmlText& operator<< (const std::string& text)    { bytes += text; return *this; }
        HtmlText& operator<< (const juce::String& text)   { bytes += text.toRawUTF8(); return *this; }
        HtmlText& operator<< (int value)                  { bytes += std::to_string (value); return *this; }
        HtmlText& operator<< (int64_t value)              { bytes += std::to_string (value); return *this; }

        juce::String toString() const { return juce::String::fromUTF8 (bytes.data(), (int) bytes.size()); }
    };

    const char* const styleSheet = R"css(:root {
  --bg: #1c1e20; --panel: #232629; --raised: #2c3033; --line: #3a4045;
  --text: #e6e8ea; --muted: #9aa0a6; --accent: #7fb2d9; --good: #7bbf7b;
  --warn: #d9b25f; --bad: #e79a9a; --bad-bg: #3a2626;
}
*, *::before, *::after { box-sizing: border-box; }
body { margin: 0; background: var(--bg); color: var(--text); font: 14px/1.5 system-ui, sans-serif; }
header { padding: 24px 28px 12px; border-bottom: 1px solid var(--line); }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 16px; font-weight: 600; }
h3 { font-size: 13px; text-transform: uppercase; letter-spacing: .06em; color: var(--muted); margin: 24px 0 8px; }
.sub { color: var(--muted); font-size: 13px; }
main { padding: 0 28px 48px; }
.summary { display: flex; flex-wrap: wrap; gap: 10px; margin-top: 14px; }
.card { background: var(--panel); border: 1px solid var(--line); border-radius: 6px; padding: 10px 14px; min-width: 120px; }
.card .n { font-size: 20px; font-weight: 600; }
.card .l { color: var(--muted); font-size: 12px; }
.card.bad { background: var(--bad-bg); border-color: var(--bad); }
.tabs { display: flex; flex-wrap: wrap; border-bottom: 1px solid var(--line); margin-top: 16px; }
.tabs button { background: none; border: none; color: var(--muted); font: inherit; padding: 8px 14px; cursor: pointer;
  border-bottom: 3px solid transparent; border-radius: 4px 4px 0 0; }
.tabs button:hover, .tabs button[aria-selected="true"] { background: var(--raised); color: var(--text); }
.tabs button[aria-selected="true"] { border-bottom-color: var(--accent); }
.tabs button.has-problem { color: var(--bad); }
.tabs button.has-problem::before { content: "\25CF\0020"; }
.panel { display: none; }
.panel.active { display: block; }
.headline { font-size: 17px; font-weight: 600; background: var(--panel); border-left: 4px solid var(--good); padding: 10px 14px; margin-top: 18px; }
.headline.bad { border-left-color: var(--bad); background: var(--bad-bg); color: var(--bad); }
table { border-collapse: collapse; max-width: 900px; }
table.data th { color: var(--muted); font-weight: normal; text-align: left; width: 210px; padding: 2px 12px 2px 0; }
table.data td, table.grid td { font-variant-numeric: tabular-nums; }
table.grid { width: 100%; background: var(--panel); border: 1px solid var(--line); border-radius: 6px; }
table.grid th, table.grid td { padding: 7px 12px; border-bottom: 1px solid var(--line); text-align: left; }
table.grid th { color: var(--muted); background: var(--raised); font-weight: normal; }
.bad { color: var(--bad); }
tr.bad { background: var(--bad-bg); }
.warn { color: var(--warn); }
.muted { color: var(--muted); }
.good { color: var(--good); }
.note { margin-top: 14px; }
.path { font-family: ui-monospace, monospace; font-size: 12px; word-break: break-all; }
.file { background: var(--panel); border: 1px solid var(--line); border-radius: 6px; padding: 8px 12px; margin-bottom: 8px; }
.file.mix { border-color: var(--accent); }
.file.submix { border-color: #6fd8ee; }
.file-head { display: flex; flex-wrap: wrap; align-items: baseline; justify-content: space-between; gap: 8px; }
.file-name { font-family: ui-monospace, monospace; font-size: 13px; }
.file-meta { color: var(--muted); font-size: 12px; }
svg.wave { display: block; width: 100%; height: 78px; margin-top: 6px; }
.wave-axis { stroke: var(--line); stroke-width: 1; vector-effect: non-scaling-stroke; }
.wave-empty { color: var(--muted); font-size: 12px; margin-top: 6px; }
details { margin-top: 24px; }
summary { color: var(--muted); cursor: pointer; }
pre { background: var(--panel); border: 1px solid var(--line); border-radius: 6px; padding: 12px; font-size: 12px; overflow-x: auto; }
ul { margin: 4px 0; padding-left: 22px; }
footer { color: var(--muted); font-size: 12px; border-top: 1px solid var(--line); padding: 12px 28px; }
@media print {
  body { background: #fff; color: #000; }
  .tabs { display: none; }
  .panel { display: block; page-break-after: always; }
}
)css";

    const char* const tabScript = R"js((function () {
  var tabs = Array.prototype.slice.call (document.querySelectorAll ('.tabs [role="tab"]'));
  var panels = Array.prototype.slice.call (document.querySelectorAll ('section.panel'));
  function show (id) {
    panels.forEach (function (p) { p.classList.toggle ('active', p.id === id); });
    tabs.forEach (function (t) { t.setAttribute ('aria-selected', t.getAttribute ('data-target') === id ? 'true' : 'false'); });
    if (window.history && typeof window.history.replaceState === 'function')
      window.history.replaceState (null, '', '#' + id);
  }
  tabs.forEach (function (t) { t.addEventListener ('click', function () { show (t.getAttribute ('data-target')); }); });
  document.addEventListener ('keydown', function (e) {
    if (e.key !== 'ArrowLeft' && e.key !== 'ArrowRight') return;
    var current = -1;
    tabs.forEach (function (t, i) { if (t.getAttribute ('aria-selected') === 'true') current = i; });
    if (current === -1) return;
    var next = tabs[(current + (e.key === 'ArrowRight' ? 1 : tabs.length - 1)) % tabs.length];
    next.click ();
    next.focus ();
  });
  var wanted = window.location.hash ? window.location.hash.substring (1) : '';
  var first = panels.filter (function (p) { return p.id === wanted; })[0] || panels[0];
  if (first) show (first.id);
}) ();
)js";

    const char* const footerLine = "A self-contained report: it opens without a network connection or any other file.";


    juce::String formatLengthText (const CueReport& cue)
    {
        const auto seconds = cue.sampleRate > 0.0 ? (double) cue.lengthInFrames / cue.sampleRate : 0.0;

        juce::String text ("0:00");

        if (seconds > 0.0 && std::isfinite (seconds))
        {
            const auto whole = (int64_t) seconds;
            text = juce::String (whole / 60) + ":" + juce::String (whole % 60).paddedLeft ('0', 2);
        }

        return text + "  (" + juce::String (cue.lengthInFrames) + " frames)";
    }

    juce::String cueStatusText (const CueReport& cue)
    {
        if (cue.cancelled)
            return "cancelled";

        if (cue.ok)
            return cueNeedsAttention (cue) ? "completed with problems" : "delivered";

        return "failed";
    }

    void addList (HtmlText& html, const juce::StringArray& items, const char* cssClass)
    {
        html << "<ul class=\"" << cssClass << "\">\n";

        for (const auto& item : items)
            html << "<li>" << escapeHtml (item) << "</li>\n";

        html << "</ul>\n";
    }

    std::string colourHex (uint32_t argb)
    {
        static const char digits[] = "0123456789abcdef";
        std::string text ("#");

        for (int shift = 20; shift >= 0; shift -= 4)
            text += digits[(argb >> shift) & 0xfu];

        return text;
    }

    /** y of a sample value, in tenths of a unit (0..900); one decimal is all the picture needs. */
    int waveformTenths (float value, double scale)
    {
        const auto v = std::isfinite (value) ? juce::jlimit (-1.0, 1.0, (double) value * scale) : 0.0;
        return (int) std::lround ((45.0 - v * 45.0) * 10.0);
    }

    void appendTenths (std::string& text, int tenths)
    {
        text += std::to_string (tenths / 10);
        text += '.';
        text += (char) ('0' + tenths % 10);
    }

    /** At least 64 KB, and enough for the waveforms (about 60 bytes a bucket) so a large run
        is not copied over and over while it grows. */
    size_t estimateDocumentBytes (const BatchReport& report, const HtmlReportOptions& options)
    {
        size_t bytes = 65536;

        for (const auto& cue : report.cues)
        {
            bytes += 16384;

            for (const auto& file : cue.files)
                bytes += 1024 + (options.includeWaveforms ? file.overview.minimums.size() * 60 : 0);
        }

        return bytes;
    }

    bool hasEmptyOrSkippedStem (const CueReport& cue)
    {
        return std::any_of (cue.stems.begin(), cue.stems.end(),
                            [] (const StemReport& s) { return s.isEmpty || s.skipped; });
    }
} // namespace

//==============================================================================
juce::String escapeHtml (const juce::String& text)
{
    // Everything replaced or dropped is ASCII, and no byte of a multi-byte UTF-8 sequence is,
    // so walking the bytes walks the code points that matter.
    const auto* bytes = text.toRawUTF8();
    std::string result;
    result.reserve (text.getNumBytesAsUTF8() + 16);

    for (; *bytes != 0; ++bytes)
    {
        const auto c = (unsigned char) *bytes;

        if (c < 32 && c != '\t' && c != '\n')
            continue;

        switch (c)
        {
            case '"':  result += "&quot;"; break;
            case '&':  result += "&amp;"; break;
            case '\'': result += "&#39;"; break;
            case '<':  result += "&lt;"; break;
            case '>':  result += "&gt;"; break;
            default:   result += (char) c; break;
        }
    }

    return juce::String::fromUTF8 (result.data(), (int) result.size());
}

juce::String formatFileSizeText (int64_t bytes)
{
    if (bytes < 1024)
        return juce::String (bytes) + " B";

    if (bytes >= 1048576)
        return juce::String ((double) bytes / 1048576.0, 1) + " MB";

    return juce::String ((double) bytes / 1024.0, 1) + " kB";
}

juce::String buildHtmlDataRow (const juce::String& label, const juce::String& value, const juce::String& cssClass)
{
    juce::String row ("<tr><th>");
    row << escapeHtml (label) << "</th><td";

    if (cssClass.isNotEmpty())
        row << " class=\"" << escapeHtml (cssClass) << "\"";

    row << ">" << escapeHtml (value) << "</td></tr>\n";
    return row;
}

juce::String buildHtmlStemTable (const CueReport& cue)
{
    HtmlText html (1024 + 256 * cue.stems.size());

    html << "<table class=\"grid\">\n<thead><tr><th>#</th><th>Stem</th><th>Tracks</th>"
            "<th>Peak before</th><th>Peak after</th><th>State</th></tr></thead>\n<tbody>\n";

    for (const auto& stem : cue.stems)
    {
        if (stem.isEmpty || stem.skipped)
            continue;

        juce::String state ("written");
        const char* rowClass = nullptr;
        const auto outcome = describeStemOutcome (cue, stem);

        if (outcome.isNotEmpty())
        {
            state = outcome;
            rowClass = "muted";

            if (! stem.errors.isEmpty())
            {
                state << "; " << stem.errors.joinIntoString ("; ");
                rowClass = "bad";
            }
        }
        else if (stem.isDigitalSilence)
        {
            state = "digital silence";
            rowClass = "warn";
        }
        else if (! stem.errors.isEmpty())
        {
            state = stem.errors.joinIntoString ("; ");
            rowClass = "bad";
        }

        if (const auto unreadable = cue.getUnreadableTracksOf (stem.id); ! unreadable.isEmpty())
        {
            state << "; could not read " << unreadable.joinIntoString (", ");
            rowClass = "bad";
        }

        html << (rowClass != nullptr ? juce::String ("<tr class=\"") + rowClass + "\">" : juce::String ("<tr>"))
             << "<td>" << formatStemNumberText (stem) << "</td>"
             << "<td>" << escapeHtml (stem.name) << "</td>"
             << "<td>" << stem.trackCount << "</td>"
             << "<td>" << (outcome.isEmpty() || stem.measured ? formatLevelText (stem.peakDb, 2) + " dB" : juce::String ("-")) << "</td>"
             << "<td>" << (outcome.isEmpty() || stem.written ? formatLevelText (stem.peakAfterDb, 2) + " dB" : juce::String ("-")) << "</td>"
             << "<td>" << escapeHtml (state) << "</td></tr>\n";
    }

    html << "</tbody>\n</table>\n";
    return html.toString();
}

juce::String buildHtmlEmptyStemsNote (const CueReport& cue)
{
    // A stem whose tracks could not be read had something assigned; it gets a note of its own
    // naming the files instead of "had nothing assigned".
    juce::StringArray entries, notRead;

    for (const auto& stem : cue.stems)
    {
        if (! (stem.isEmpty || stem.skipped))
            continue;

        const auto entry = formatStemNumberText (stem) + " " + stem.name;
        const auto unreadable = cue.getUnreadableTracksOf (stem.id);

        if (unreadable.isEmpty())
            entries.add (escapeHtml (entry));
        else
            notRead.add (escapeHtml (entry + " (" + unreadable.joinIntoString (", ") + ")"));
    }

    juce::String html;

    if (! entries.isEmpty())
    {
        const auto one = entries.size() == 1;

        html << "<p class=\"note\"><b>Please note</b> - "
             << (one ? juce::String ("this stem was") : "these " + juce::String (entries.size()) + " stems were")
             << " in the preset and had nothing assigned, so no file was produced for "
             << (one ? "it" : "them") << ":</p>\n"
             << "<p class=\"muted\">" << entries.joinIntoString (" &nbsp;&middot;&nbsp; ") << "</p>\n";
    }

    if (! notRead.isEmpty())
    {
        const auto one = notRead.size() == 1;

        html << "<p class=\"note bad\"><b>Please note</b> - the tracks of "
             << (one ? juce::String ("this stem") : "these " + juce::String (notRead.size()) + " stems")
             << " could not be read, so " << (one ? "it has" : "they have") << " no audio:</p>\n"
             << "<p class=\"bad\">" << notRead.joinIntoString (" &nbsp;&middot;&nbsp; ") << "</p>\n";
    }

    return html;
}

namespace
{
    void appendWaveformSvg (HtmlText& html, const WaveformOverview& overview, const juce::String& id, int kind)
    {
        const auto n = (int) std::min (overview.minimums.size(), overview.maximums.size());

        if (n == 0)
        {
            html << "<div class=\"wave-empty\">no waveform</div>\n";
            return;
        }

        const auto scale = overview.peak > 0.0f && std::isfinite (overview.peak) ? 0.92 / (double) overview.peak : 0.0;

        std::string top;
        top.reserve ((size_t) n * 24 + 64);
        top += "M0 ";
        appendTenths (top, waveformTenths (overview.maximums[0], scale));
        top += ' ';

        for (int i = 0; i < n; ++i)
        {
            const auto y = waveformTenths (overview.maximums[(size_t) i], scale);
            top += 'L'; top += std::to_string (i); top += ' '; appendTenths (top, y);
            top += " L"; top += std::to_string (i + 1); top += ' '; appendTenths (top, y);
            top += ' ';
        }

        std::string bottom;
        bottom.reserve ((size_t) n * 24 + 64);

        for (int i = n - 1; i >= 0; --i)
        {
            const auto y = waveformTenths (overview.minimums[(size_t) i], scale);
            bottom += 'L'; bottom += std::to_string (i + 1); bottom += ' '; appendTenths (bottom, y);
            bottom += " L"; bottom += std::to_string (i); bottom += ' '; appendTenths (bottom, y);
            bottom += ' ';
        }

        const auto colours = getFileKindColour (kind);
        const auto gradientId = "grad" + escapeHtml (id);

        html << "<svg class=\"wave\" viewBox=\"0 0 " << n << " 90\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"waveform\">"
             << "<defs><linearGradient id=\"" << gradientId << "\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
             << "<stop offset=\"0%\" stop-color=\"" << colourHex (colours.colour) << "\"/>"
             << "<stop offset=\"100%\" stop-color=\"" << colourHex (colours.darker) << "\"/>"
             << "</linearGradient></defs>"
             << "<line class=\"wave-axis\" x1=\"0\" y1=\"45.0\" x2=\"" << n << "\" y2=\"45.0\"/>"
             << "<path d=\"" << top << bottom << "Z\" fill=\"url(#" << gradientId << ")\" opacity=\"0.85\"/>"
             << "<path d=\"" << top << "\" fill=\"none\" stroke=\"" << colourHex (colours.brighter) << "\" stroke-width=\"1\"/>"
             << "</svg>\n";
    }

    void appendFileList (HtmlText& html, const CueReport& cue, int cueIndex, bool includeWaveforms)
    {
        if (cue.files.empty())
        {
            html << "<p class=\"muted\">No files were written.</p>\n";
            return;
        }

        for (size_t j = 0; j < cue.files.size(); ++j)
        {
            const auto& file = cue.files[j];
            const char* extraClass = file.kind == WrittenFile::fullMixKind          ? " mix"
                                     : file.kind == WrittenFile::alternativeMixKind ? " submix"
                                                                                    : "";
            const char* kindText = file.kind == WrittenFile::fullMixKind          ? " &middot; full mix"
                                   : file.kind == WrittenFile::alternativeMixKind ? " &middot; alternative mix"
                                                                                  : "";

            html << "<div class=\"file" << extraClass << "\">\n"
                 << "<div class=\"file-head\"><span class=\"file-name\">" << escapeHtml (file.file.getFileName()) << "</span>"
                 << "<span class=\"file-meta\">" << escapeHtml (file.settingsDescription) << " &middot; "
                 << formatFileSizeText (file.fileSize) << kindText << "</span></div>\n";

            if (includeWaveforms)
                appendWaveformSvg (html, file.overview, juce::String (cueIndex) + "_" + juce::String ((int) j), file.kind);

            html << "</div>\n";
        }
    }

    void appendCueSection (HtmlText& html, const CueReport& cue, int cueIndex, const HtmlReportOptions& options)
    {
        const auto attention = cueNeedsAttention (cue);

        html << "<section class=\"panel\" id=\"cue" << cueIndex << "\">\n"
             << "<div class=\"headline " << (attention ? "bad" : "good") << "\">"
             << escapeHtml (getCueDisplayName (cue)) << " &mdash; " << cueStatusText (cue) << "</div>\n";

        if (cue.sourceFolder.isNotEmpty())
            html << "<p class=\"muted\">Source folder: " << escapeHtml (cue.sourceFolder) << "</p>\n";

        if (cue.outputFolder != juce::File())
            html << "<p class=\"muted path\">" << escapeHtml (cue.outputFolder.getFullPathName()) << "</p>\n";

        html << "<h3>Levels</h3>\n<table class=\"data\">\n"
             << buildHtmlDataRow ("Length", formatLengthText (cue))
             << buildHtmlDataRow ("Sample rate", formatKilohertzWithOneDecimal (cue.sampleRate))
             << buildHtmlDataRow ("Channels", juce::String (cue.numChannels));

        if (const auto unmeasured = describeUnmeasuredLevels (cue); unmeasured.isNotEmpty())
        {
            // Levels the cue never reached would read as digital silence.
            html << buildHtmlDataRow ("Target", formatLevelText (cue.gain.targetDb, 2) + " dB")
                 << buildHtmlDataRow ("Mix and gain", unmeasured, "muted");
        }
        else
        {
            html << buildHtmlDataRow ("Mix peak", formatPeakText (cue.mixSamplePeak, 2) + " dB")
                 << buildHtmlDataRow ("Mix true peak", formatPeakText (cue.mixTruePeak, 2) + " dB")
                 << buildHtmlDataRow ("Target", formatLevelText (cue.gain.targetDb, 2) + " dB")
                 << buildHtmlDataRow ("Global gain", formatLevelText (cue.gain.gainDb, 2) + " dB"
                                                          + (cue.gain.heldAtZero ? "   (held at 0 dB: attenuate only)" : ""))
                 << buildHtmlDataRow ("Predicted peak", formatLevelText (cue.gain.predictedPeakDb, 2) + " dB")
                 << buildHtmlDataRow (cue.remeasured ? "Measured after gain" : "After gain",
                                      formatPeakText (cue.afterTruePeak, 2) + " dB true peak");

            if (cue.clipCount > 0)
                html << buildHtmlDataRow ("Clipping", juce::String (cue.clipCount) + " sample(s) at or above full scale", "bad");
        }

        html << "</table>\n<h3>Reconstruction check</h3>\n";

        const auto& check = cue.reconstruction;

        switch (check.state)
        {
            case ReconstructionState::passed:  html << "<p class=\"good\">" << escapeHtml ("PASSED - " + check.detail) << "</p>\n"; break;
            case ReconstructionState::failed:  html << "<p class=\"bad\">" << escapeHtml ("FAILED - " + check.detail) << "</p>\n"; break;
            case ReconstructionState::skipped: html << "<p class=\"muted\">" << escapeHtml ("skipped - " + check.detail) << "</p>\n"; break;
            case ReconstructionState::notRun:
            default:                           html << "<p class=\"muted\">not run</p>\n"; break;
        }

        html << "<h3>" << escapeHtml (cue.describeAssignedStems()) << " &mdash; " << escapeHtml (cue.describeEmptyStems()) << "</h3>\n"
             << buildHtmlStemTable (cue);

        if (hasEmptyOrSkippedStem (cue))
            html << buildHtmlEmptyStemsNote (cue);

        html << "<h3>Files written (" << (int) cue.files.size() << ")</h3>\n";
        appendFileList (html, cue, cueIndex, options.includeWaveforms);

        if (! cue.unreadableTracks.empty())
        {
            juce::StringArray items;

            for (const auto& track : cue.unreadableTracks)
                items.add (track.fileName + ": " + track.reason);

            html << "<h3 class=\"bad\">Tracks that could not be read (" << items.size() << ")</h3>\n";
            addList (html, items, "bad");
        }

        if (! cue.unassignedTracks.isEmpty())
        {
            html << "<h3 class=\"bad\">Unassigned tracks (" << cue.unassignedTracks.size() << ")</h3>\n";
            addList (html, cue.unassignedTracks, "bad");
        }

        if (! cue.warnings.isEmpty())
        {
            html << "<h3>Warnings</h3>\n";
            addList (html, cue.warnings, "warn");
        }

        if (! cue.errors.isEmpty())
        {
            html << "<h3 class=\"bad\">Errors</h3>\n";
            addList (html, cue.errors, "bad");
        }

        if (options.includePlainTextLog)
            html << "<details>\n<summary>Plain text log</summary>\n<pre>" << escapeHtml (formatCueReportText (cue)) << "</pre>\n</details>\n";

        html << "</section>\n";
    }
} // namespace

juce::String buildWaveformSvg (const WaveformOverview& overview, const juce::String& id, int kind)
{
    HtmlText html (64);
    appendWaveformSvg (html, overview, id, kind);
    return html.toString();
}

juce::String buildHtmlFileList (const CueReport& cue, int cueIndex, bool includeWaveforms)
{
    HtmlText html (1024);
    appendFileList (html, cue, cueIndex, includeWaveforms);
    return html.toString();
}

juce::String buildHtmlCueSection (const CueReport& cue, int cueIndex, const HtmlReportOptions& options)
{
    HtmlText html (16384);
    appendCueSection (html, cue, cueIndex, options);
    return html.toString();
}

juce::String buildHtmlReport (const BatchReport& report, const HtmlReportOptions& options)
{
    HtmlText html (estimateDocumentBytes (report, options));

    const auto title = options.title.isNotEmpty() ? options.title
                                                  : juce::String (reportProductName) + " render report";
    const auto cueCount = (int) report.cues.size();
    const auto attentionCount = report.countCuesNeedingAttention();

    html << "<!doctype html>\n<html lang=\"en\">\n<head>\n"
         << "<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>" << escapeHtml (title) << "</title>\n"
         << "<style>\n" << styleSheet << "</style>\n"
         << "</head>\n<body>\n<header>\n"
         << "<h1>" << escapeHtml (title) << "</h1>\n"
         << "<div class=\"sub\">" << escapeHtml (formatRenderTimes (report.startedAt, report.finishedAt));

    if (report.outputRoot != juce::File())
        html << " &middot; " << escapeHtml (report.outputRoot.getFullPathName());

    const auto card = [&html] (const char* cssClass, const juce::String& figure, const char* label)
    {
        html << "<div class=\"" << cssClass << "\"><div class=\"n\">" << escapeHtml (figure)
             << "</div><div class=\"l\">" << label << "</div></div>\n";
    };

    html << "</div>\n<div class=\"summary\">\n";
    card ("card", juce::String (cueCount), cueCount == 1 ? "delivery" : "cues");
    card ("card", juce::String (report.countFilesWritten()), "files written");
    card (attentionCount >= 1 ? "card bad" : "card", juce::String (attentionCount), "need attention");
    card ("card", formatOneDecimal (report.elapsedSeconds) + " s", "elapsed");

    if (report.sharedGainApplied)
        card ("card", formatLevelText (report.sharedGain.gainDb, 2) + " dB", "shared gain");

    html << "</div>\n";

    if (report.cancelled)
        html << "<p class=\"bad\">The run was cancelled. Files already written are complete; nothing was left half-written.</p>\n";

    html << "</header>\n<main>\n<div class=\"tabs\" role=\"tablist\">\n";

    for (int i = 0; i < cueCount; ++i)
    {
        const auto& cue = report.cues[(size_t) i];
        html << "<button role=\"tab\" data-target=\"cue" << i << "\""
             << (cueNeedsAttention (cue) ? " class=\"has-problem\"" : "")
             << " aria-selected=\"false\">" << escapeHtml (getCueDisplayName (cue)) << "</button>\n";
    }

    html << "</div>\n";

    for (int i = 0; i < cueCount; ++i)
        appendCueSection (html, report.cues[(size_t) i], i, options);

    if (! report.errors.isEmpty())
    {
        html << "<h3 class=\"bad\">Run errors</h3>\n";
        addList (html, report.errors, "bad");
    }

    html << "</main>\n<footer>" << escapeHtml (juce::String (reportProductName) + " " + productVersion)
         << " &middot; " << escapeHtml (footerLine) << "</footer>\n"
         << "<script>\n" << tabScript << "</script>\n</body>\n</html>\n";

    return html.toString();
}

bool writeHtmlReport (const BatchReport& report, const juce::File& target, juce::String& error, const HtmlReportOptions& options)
{
    juce::String page;

    try
    {
        page = buildHtmlReport (report, options);
    }
    catch (const std::bad_alloc&)
    {
        error = "There is not enough memory to build the report.";
        return false;
    }

    return writeTextFileAtomically (target, page, error);
}

juce::String getReportBaseName (const BatchReport& report)
{
    constexpr int maxLength = 90;
    auto text = juce::String (reportProductName) + " report";

    if (report.cues.size() == 1 && report.cues.front().cueName.isNotEmpty())
    {
        text << " - " << report.cues.front().cueName;
        return sanitiseFileName (text, "-", "report", maxLength);
    }

    // Named after the project and the minute the render started, so that the reports of two
    // projects rendered into one folder on one day have names of their own.
    const auto project = report.projectName.trim().isNotEmpty()     ? report.projectName.trim()
                       : report.projectFileName.trim().isNotEmpty() ? report.projectFileName.trim()
                                                                    : report.outputRoot.getFileName();
    const auto started = report.startedAt != juce::Time() ? " - " + report.startedAt.formatted ("%Y-%m-%d %H.%M") : juce::String();

    // A long project name gives way, never the time.
    if (project.isNotEmpty())
    {
        text << " - ";
        text << project.substring (0, juce::jmax (1, maxLength - text.length() - started.length())).trimEnd();
    }

    return sanitiseFileName (text + started, "-", "report", maxLength);
}

juce::String getReportFileName (const BatchReport& report)
{
    return getReportBaseName (report) + ".html";
}

juce::File proposeReportFile (const BatchReport& report, const juce::File& folder, const juce::String& extension)
{
    const auto base = getReportBaseName (report);
    auto file = getNumberedChildFile (folder, base, 1, extension);

    for (int number = 2; file.exists(); ++number)
        file = getNumberedChildFile (folder, base, number, extension);

    return file;
}

} // namespace dunmoor
