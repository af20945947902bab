#include "core/render/TextReport.h"

#include <cmath>

#include "core/audio/LevelMeter.h"
#include "core/files/AtomicFileWriter.h"

namespace dunmoor
{

namespace
{
    const char* const crLf = "\r\n";

    juce::String reportHeader (const char* kind)
    {
        return juce::String (reportProductName) + " " + productVersion + kind;
    }

    /** m:ss of the cue's length, truncated to whole seconds. */
    juce::String formatLengthMinutesSeconds (const CueReport& cue)
    {
        const auto seconds = cue.sampleRate > 0.0 ? (double) cue.lengthInFrames / cue.sampleRate : 0.0;
        const auto whole = seconds > 0.0 && std::isfinite (seconds) ? (int64_t) seconds : (int64_t) 0;
        return juce::String (whole / 60) + ":" + juce::String (whole % 60).paddedLeft ('0', 2);
    }

    int countCuesRendered (const BatchReport& report)
    {
        int count = 0;

        for (const auto& cue : report.cues)
            if (! cueNeedsAttention (cue))
                ++count;

        return count;
    }

    void addAllPrefixed (juce::StringArray& lines, const juce::StringArray& texts, const juce::String& prefix)
    {
        for (const auto& text : texts)
            lines.add (prefix + text);
    }
} // namespace

//==============================================================================
juce::String formatTwoDigits (int value)
{
    return juce::String (value).paddedLeft ('0', 2);
}

juce::String formatOneDecimal (double value)
{
    // A value that rounds to zero prints as 0.0, never -0.0.
    if (std::abs (value) < 0.05)
        value = 0.0;

    return juce::String (value, 1);
}

juce::String formatLevelText (double dB, int decimals)
{
    if (dB <= -399.0)
        return "-inf";

    // Keep "-0.00" out of the report: a value that rounds to zero is zero.
    if (std::abs (dB) < 0.5 * std::pow (10.0, -decimals))
        dB = 0.0;

    return juce::String (dB, decimals);
}

juce::String formatPeakText (double linearPeak, int decimals)
{
    return formatLevelText (gainToDecibels (linearPeak), decimals);
}

juce::String getCueDisplayName (const CueReport& cue)
{
    return cue.cueName.isEmpty() ? juce::String ("Delivery") : cue.cueName;
}

bool cueNeedsAttention (const CueReport& cue)
{
    return ! cue.errors.isEmpty()
        || ! cue.unreadableTracks.empty()
        || cue.cancelled
        || ! cue.ok
        || cue.reconstruction.state == ReconstructionState::failed;
}

juce::String formatStemNumberText (const StemReport& stem)
{
    const auto place = formatTwoDigits (stem.index);

    if (stem.numberInFileName.isEmpty())
        return place;

    return stem.numberInFileName.getIntValue() == stem.index ? stem.numberInFileName
                                                             : stem.numberInFileName + " (" + place + ")";
}

juce::String describeWhyCueStopped (const CueReport& cue)
{
    return cue.cancelled              ? juce::String ("the render was cancelled")
         : cue.stoppedAt.isNotEmpty() ? "the cue stopped at " + cue.stoppedAt
                                      : juce::String ("the cue did not complete");
}

juce::String describeStemOutcome (const CueReport& cue, const StemReport& stem)
{
    if (cue.ok && ! cue.cancelled)
        return {};

    const auto why = describeWhyCueStopped (cue);

    // A cue that did not succeed delivers nothing: what it wrote waited out of sight and went.
    if (stem.written)
        return "not delivered: " + why;

    return (stem.measured ? "not written: " : "not measured or written: ") + why;
}

juce::String describeUnmeasuredLevels (const CueReport& cue)
{
    // A report no render filled in (no error, not cancelled) shows its defaults as they are.
    if (cue.levelsMeasured || ! (cue.cancelled || ! cue.errors.isEmpty()))
        return {};

    return "not measured: " + describeWhyCueStopped (cue);
}

juce::String formatReportDateTime (juce::Time time)
{
    return time.toString (true, true, true, false);
}

juce::String formatRenderTimes (juce::Time startedAt, juce::Time finishedAt)
{
    if (startedAt == juce::Time())
        return "Render time not recorded";

    const bool sameDay = startedAt.getYear() == finishedAt.getYear() && startedAt.getDayOfYear() == finishedAt.getDayOfYear();
    return "Rendered " + formatReportDateTime (startedAt) + " to "
         + (sameDay ? finishedAt.toString (false, true, true, false) : formatReportDateTime (finishedAt));
}

//==============================================================================
int CueReport::countAssignedStems() const
{
    int count = 0;

    for (const auto& stem : stems)
        if (! stem.isEmpty)
            ++count;

    return count;
}

int CueReport::countEmptyStems() const
{
    int count = 0;

    for (const auto& stem : stems)
        if (stem.isEmpty)
            ++count;

    return count;
}

juce::String CueReport::describeAssignedStems() const
{
    const auto count = countAssignedStems();
    return juce::String (count) + (count == 1 ? " stem assigned" : " stems assigned");
}

juce::String CueReport::describeEmptyStems() const
{
    const auto count = countEmptyStems();
    return juce::String (count) + (count == 1 ? " empty stem" : " empty stems");
}

juce::StringArray CueReport::getUnreadableTracksOf (const juce::String& stemId) const
{
    juce::StringArray names;

    for (const auto& track : unreadableTracks)
        if (stemId.isNotEmpty() && track.stemId == stemId)
            names.add (track.fileName);

    return names;
}

int BatchReport::countCuesNeedingAttention() const
{
    int count = 0;

    for (const auto& cue : cues)
        if (cueNeedsAttention (cue))
            ++count;

    return count;
}

int BatchReport::countFilesWritten() const
{
    int count = 0;

    for (const auto& cue : cues)
        count += (int) cue.files.size();

    return count;
}

const CueReport& BatchReport::getFirstCue() const
{
    static const CueReport emptyCue;
    return cues.empty() ? emptyCue : cues.front();
}

//==============================================================================
juce::String formatCueReportText (const CueReport& cue)
{
    juce::StringArray lines;

    lines.add (reportHeader (" render report"));
    lines.add (formatRenderTimes (cue.startedAt, cue.finishedAt));

    if (cue.cueName.isNotEmpty())
        lines.add ("Cue: " + cue.cueName + (cue.sourceFolder.isNotEmpty() ? "   (" + cue.sourceFolder + ")" : juce::String()));

    if (cue.outputFolder != juce::File())
        lines.add ("Output: " + cue.outputFolder.getFullPathName());

    lines.add ({});
    lines.add ("Project");
    lines.add ("  length        " + formatLengthMinutesSeconds (cue) + " (" + juce::String (cue.lengthInFrames) + " frames)");
    lines.add ("  sample rate   " + formatKilohertzWithOneDecimal (cue.sampleRate));
    lines.add ("  channels      " + juce::String (cue.numChannels));

    lines.add ({});
    lines.add ("Headroom");

    if (const auto unmeasured = describeUnmeasuredLevels (cue); unmeasured.isNotEmpty())
    {
        // Levels the cue never reached would read as digital silence.
        lines.add ("  target        " + formatLevelText (cue.gain.targetDb, 2) + " dB");
        lines.add ("  " + unmeasured);
    }
    else
    {
        lines.add ("  mix peak      " + formatPeakText (cue.mixSamplePeak, 2) + " dB");
        lines.add ("  mix true peak " + formatPeakText (cue.mixTruePeak, 2) + " dB");
        lines.add ("  target        " + formatLevelText (cue.gain.targetDb, 2) + " dB");
        lines.add ("  global gain   " + formatLevelText (cue.gain.gainDb, 2) + " dB"
                   + (cue.gain.heldAtZero ? "  (attenuate only)" : ""));
        lines.add ("  predicted     " + formatLevelText (cue.gain.predictedPeakDb, 2) + " dB");
        lines.add (juce::String (cue.remeasured ? "  measured after" : "  after gain   ") + "  "
                   + formatPeakText (cue.afterTruePeak, 2) + " dB true peak"
                   + (cue.remeasured ? "  (re-measured)" : ""));

        if (cue.clipCount > 0)
            lines.add ("  CLIPPING      " + juce::String (cue.clipCount) + " samples at or above full scale");
    }

    lines.add ({});
    lines.add (cue.describeAssignedStems() + ", " + cue.describeEmptyStems());

    bool anyEmptyOrSkipped = false;

    // The number cells are as wide as the widest, so that a renumbered stem's "09 (10)" moves
    // no column.
    int numberWidth = 0;

    for (const auto& stem : cue.stems)
        if (! (stem.isEmpty || stem.skipped))
            numberWidth = juce::jmax (numberWidth, formatStemNumberText (stem).length());

    for (const auto& stem : cue.stems)
    {
        if (stem.isEmpty || stem.skipped)
        {
            anyEmptyOrSkipped = true;
            continue;
        }

        // A stem that was never written has no level after the gain to show.
        const auto outcome = describeStemOutcome (cue, stem);
        juce::String state;

        if (outcome.isEmpty() || stem.written)
            state << "peak " << formatLevelText (stem.peakAfterDb, 2).paddedLeft (' ', 8) << " dB"
                  << (stem.isDigitalSilence ? "   digital silence" : "") << (outcome.isEmpty() ? "" : "   ");

        lines.add ("  " + formatStemNumberText (stem).paddedRight (' ', numberWidth) + "  " + stem.name.paddedRight (' ', 18)
                   + juce::String (stem.trackCount).paddedLeft (' ', 3) + " track(s)  " + state + outcome);

        addAllPrefixed (lines, stem.errors, "        error: ");
        addAllPrefixed (lines, cue.getUnreadableTracksOf (stem.id), "        could not be read: ");
    }

    if (anyEmptyOrSkipped)
    {
        // A stem whose tracks could not be read had something assigned: saying it had nothing
        // would hide the lost files.
        juce::StringArray nothingAssigned, notRead;

        for (const auto& stem : cue.stems)
        {
            if (! (stem.isEmpty || stem.skipped))
                continue;

            const auto entry = "  " + formatStemNumberText (stem) + " " + stem.name;
            const auto unreadable = cue.getUnreadableTracksOf (stem.id);

            if (unreadable.isEmpty())
                nothingAssigned.add (entry);
            else
                notRead.add (entry + ": " + unreadable.joinIntoString (", "));
        }

        if (! nothingAssigned.isEmpty())
        {
            lines.add ({});
            lines.add ("Please note - these stems were in the preset and had nothing assigned:");
            lines.addArray (nothingAssigned);
        }

        if (! notRead.isEmpty())
        {
            lines.add ({});
            lines.add ("Please note - the tracks of these stems could not be read, so they have no audio:");
            lines.addArray (notRead);
        }
    }

    lines.add ({});
    lines.add ("Files written (" + juce::String ((int) cue.files.size()) + ")");

    for (const auto& file : cue.files)
        lines.add ("  " + file.file.getFileName() + "   [" + file.settingsDescription + "]");

    if (! cue.unreadableTracks.empty())
    {
        lines.add ({});
        lines.add ("Tracks that could not be read (" + juce::String ((int) cue.unreadableTracks.size()) + ")");

        for (const auto& track : cue.unreadableTracks)
            lines.add ("  " + track.fileName + ": " + track.reason);
    }

    if (! cue.unassignedTracks.isEmpty())
    {
        lines.add ({});
        lines.add ("Unassigned tracks (" + juce::String (cue.unassignedTracks.size()) + ")");
        addAllPrefixed (lines, cue.unassignedTracks, "  ");
    }

    lines.add ({});
    lines.add ("Reconstruction check");

    switch (cue.reconstruction.state)
    {
        case ReconstructionState::passed:  lines.add ("  PASSED  " + cue.reconstruction.detail); break;
        case ReconstructionState::failed:  lines.add ("  FAILED  " + cue.reconstruction.detail); break;
        case ReconstructionState::skipped: lines.add ("  skipped: " + cue.reconstruction.detail); break;
        case ReconstructionState::notRun:
        default:                           lines.add ("  not run"); break;
    }

    if (! cue.warnings.isEmpty())
    {
        lines.add ({});
        lines.add ("Warnings");
        addAllPrefixed (lines, cue.warnings, "  ");
    }

    if (! cue.errors.isEmpty())
    {
        lines.add ({});
        lines.add ("Errors");
        addAllPrefixed (lines, cue.errors, "  ");
    }

    lines.add ({});
    lines.add (cue.cancelled ? "Render cancelled by the user."
                             : (cue.ok ? "Render completed." : "Render did not complete."));
    lines.add ("Elapsed " + formatOneDecimal (cue.elapsedSeconds) + " s");

    return lines.joinIntoString (crLf);
}

juce::String formatBatchReportText (const BatchReport& report)
{
    if (report.cues.size() == 1)
        return formatCueReportText (report.cues.front());

    juce::StringArray lines;

    lines.add (reportHeader (" batch report"));
    lines.add (formatRenderTimes (report.startedAt, report.finishedAt));

    if (report.outputRoot != juce::File())
        lines.add ("Output root: " + report.outputRoot.getFullPathName());

    lines.add ({});
    lines.add ("Summary");
    lines.add ("  cues rendered   " + juce::String (countCuesRendered (report)) + " of " + juce::String ((int) report.cues.size()));
    lines.add ("  files written   " + juce::String (report.countFilesWritten()));

    if (report.sharedGainApplied)
        lines.add ("  shared gain     " + formatLevelText (report.sharedGain.gainDb, 2) + " dB applied to every cue in this run");

    if (report.countCuesNeedingAttention() > 0)
    {
        juce::StringArray names;

        for (const auto& cue : report.cues)
            if (cueNeedsAttention (cue))
                names.add (getCueDisplayName (cue));

        lines.add ("  NEEDS ATTENTION " + names.joinIntoString (", "));
    }

    lines.add ("  elapsed         " + formatOneDecimal (report.elapsedSeconds) + " s");

    for (const auto& cue : report.cues)
    {
        lines.add ({});
        lines.add (juce::String::repeatedString ("=", 63));
        lines.add (formatCueReportText (cue));
    }

    if (! report.errors.isEmpty())
    {
        lines.add ({});
        lines.add ("Run errors");
        addAllPrefixed (lines, report.errors, "  ");
    }

    return lines.joinIntoString (crLf);
}

bool writeBatchReportText (const BatchReport& report, const juce::File& target, juce::String& error)
{
    // The report is read on Windows machines in plain editors, so it keeps its CR LF line ends;
    // the writer's default would drop the CRs.
    return writeTextFileAtomically (target, formatBatchReportText (report), error, LineEndings::keepCrLf);
}

juce::String formatDeliveryList (const BatchReport& report)
{
    juce::StringArray blocks;
    int totalFiles = 0;
    int cuesWithFiles = 0;

    for (const auto& cue : report.cues)
    {
        if (cue.files.empty())
            continue;

        int longestName = 0;

        for (const auto& file : cue.files)
            longestName = juce::jmax (longestName, file.file.getFileName().length());

        juce::StringArray lines;

        if (cuesWithFiles > 0)
            lines.add ({});

        lines.add (getCueDisplayName (cue));

        for (const auto& file : cue.files)
        {
            const char* kind = file.kind == WrittenFile::fullMixKind          ? "full mix"
                               : file.kind == WrittenFile::alternativeMixKind ? "alternative mix"
                                                                              : "stem";

            lines.add ("  " + file.file.getFileName().paddedRight (' ', longestName + 3)
                       + juce::String (kind).paddedRight (' ', 18) + file.settingsDescription);
        }

        blocks.addArray (lines);
        totalFiles += (int) cue.files.size();
        ++cuesWithFiles;
    }

    if (blocks.isEmpty())
        return {};

    blocks.insert (0, juce::String (totalFiles) + (totalFiles == 1 ? " file in " : " files in ")
                          + juce::String (cuesWithFiles) + (cuesWithFiles == 1 ? " cue" : " cues"));
    blocks.insert (1, {});

    return blocks.joinIntoString ("\n");
}

} // namespace dunmoor
