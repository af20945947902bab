#include "ReportTexts.h"

#include "core/audio/LevelMeter.h"
#include "core/model/Types.h"
#include "core/render/TextReport.h"

namespace dunmoor::ui
{

const char* const noReportDetailsText = "Run an export on the previous page and the delivery will be listed here, with every file it wrote and a player to check them.";

ReportHeadline makeReportHeadline (const BatchReport* report)
{
    if (report == nullptr)
        return { "No render yet", ReportTone::secondary };

    if (! report->allOk)
        return { "Run failed", ReportTone::bad };

    const auto cueCount = (int) report->cues.size();
    const auto needAttention = report->countCuesNeedingAttention();

    if (needAttention > 0)
        return { juce::String (needAttention) + " of " + juce::String (cueCount) + " cue(s) need attention", ReportTone::bad };

    const auto files = report->countFilesWritten();

    if (cueCount > 1)
        return { juce::String (cueCount) + " cues delivered, " + juce::String (files) + " files", ReportTone::good };

    const auto& cue = report->getFirstCue();
    juce::String text = "Rendered " + juce::String (files) + " file(s)";

    if (cue.reconstruction.state == ReconstructionState::passed)
        text << "  -  stems reconstruct the mix";

    return { text, cue.warnings.isEmpty() ? ReportTone::good : ReportTone::warning };
}

juce::String formatDecibels (double dB)
{
    return dB <= -399.0 ? juce::String ("-inf") : formatLevelText (dB, 1) + " dB";
}

juce::String formatLinearPeak (double linear)
{
    return formatDecibels (linear > 0.0 ? juce::jmax (-400.0, 20.0 * std::log10 (linear)) : -400.0);
}

juce::String buildCueDetailsText (const CueReport& cue)
{
    juce::StringArray lines;
    const auto seconds = cue.sampleRate > 0.0 ? (double) cue.lengthInFrames / cue.sampleRate : 0.0;

    lines.add ("Length " + formatDuration (seconds));
    lines.add (formatKilohertz (cue.sampleRate) + " " + describeChannelLayout (cue.numChannels));
    lines.add (cue.describeAssignedStems() + " - " + cue.describeEmptyStems());
    lines.add ({});

    if (const auto unmeasured = describeUnmeasuredLevels (cue); unmeasured.isNotEmpty())
    {
        lines.add ("Mix and gain " + unmeasured);
    }
    else
    {
        if (cue.peakMode == PeakMode::truePeak)
            lines.add ("True peak " + formatLinearPeak (cue.mixTruePeak));
        else
            lines.add ("Mix peak " + formatLinearPeak (cue.mixSamplePeak));

        lines.add ("Global gain " + formatDecibels (cue.gain.gainDb) + (cue.gain.heldAtZero ? "  (attenuate only)" : ""));
        lines.add ("After gain " + formatLinearPeak (cue.afterTruePeak));
    }

    if (cue.leadingSilenceSeconds > 0.0)
        lines.add ("Leading silence " + juce::String (cue.leadingSilenceSeconds, 2) + " s");

    // A passed or failed check says nothing here: a failure is among the errors.
    if (cue.reconstruction.state == ReconstructionState::notRun)
        lines.addArray ({ {}, "Reconstruction not run" });
    else if (cue.reconstruction.state == ReconstructionState::skipped)
        lines.addArray ({ {}, "Reconstruction check skipped" });

    return lines.joinIntoString ("\n");
}

juce::String buildCueIssuesText (const CueReport& cue)
{
    juce::StringArray lines;

    for (const auto& error : cue.errors)
        lines.add ("Error: " + error);

    for (const auto& track : cue.unreadableTracks)
        lines.add ("Not read: " + track.fileName + ": " + track.reason);

    for (const auto& warning : cue.warnings)
        lines.add ("Warning: " + warning);

    return lines.joinIntoString ("\n");
}

int findCueToSelectOnArrival (const BatchReport& report)
{
    for (size_t i = 0; i < report.cues.size(); ++i)
        if (cueNeedsAttention (report.cues[i]))
            return (int) i;

    return report.cues.empty() ? -1 : 0;
}

juce::String describeCueListFiles (const CueReport& cue)
{
    juce::String text = juce::String ((int) cue.files.size()) + " file(s)";

    if (cue.reconstruction.state == ReconstructionState::failed)
        text << "   null test failed";
    else if (! cue.errors.isEmpty())
        text << "   " << cue.errors.size() << " error(s)";
    else if (! cue.unreadableTracks.empty())
        text << "   " << (int) cue.unreadableTracks.size() << " track(s) not read";
    else if (! cue.warnings.isEmpty())
        text << "   " << cue.warnings.size() << " warning(s)";

    return text;
}

} // namespace dunmoor::ui
