#include "BatchSummary.h"

#include <cmath>

#include "core/audio/LevelMeter.h"
#include "core/render/TextReport.h"

namespace dunmoor::ui::BatchSummary
{

namespace
{
    constexpr int writtenFormatEntries = 2;

    const Cue* findCue (const std::vector<Cue>& cues, const juce::String& key)
    {
        for (const auto& cue : cues)
            if (cue.key == key)
                return &cue;

        return nullptr;
    }

    EmptyStemPolicy effectivePolicy (const Preset& preset, const juce::String& stemId)
    {
        for (const auto& stem : preset.schema.stems)
            if (stem.id == stemId)
                return makeStemPlan (stem, preset.exportSettings).emptyPolicy;

        return preset.exportSettings.emptyStemPolicy;
    }

    bool stemHasTracks (const CueReport& cue, const juce::String& stemId)
    {
        for (const auto& stem : cue.stems)
            if (stem.id == stemId)
                return ! stem.isEmpty;

        return false;
    }

    bool anyStemHasTracks (const CueReport& cue)
    {
        for (const auto& stem : cue.stems)
            if (! stem.isEmpty)
                return true;

        return false;
    }

    int countWrittenAlternativeMixes (const CueReport& cue, const Preset& preset, const std::vector<Cue>& cues)
    {
        if (! preset.exportSettings.fullMix.exportSubmixes)
            return 0;

        const auto* sessionCue = findCue (cues, cue.cueKey);
        int count = 0;

        for (const auto& mix : preset.schema.alternativeMixes)
        {
            const auto members = sessionCue != nullptr ? sessionCue->getAlternativeMixStems (mix) : mix.stemIds;

            for (const auto& member : members)
            {
                if (stemHasTracks (cue, member))
                {
                    ++count;
                    break;
                }
            }
        }

        return count;
    }

    juce::String label (const char* word)
    {
        return juce::String (word).paddedRight (' ', 20);
    }

    int countUnassigned (const BatchReport& report)
    {
        int total = 0;

        for (const auto& cue : report.cues)
            total += cue.unassignedTracks.size();

        return total;
    }

    bool hasProblem (const CueReport& cue)
    {
        return cueNeedsAttention (cue) || ! cue.unassignedTracks.isEmpty();
    }
} // namespace

int countWrittenFormats (const ExportSettings& settings)
{
    int count = 0;

    for (size_t i = 0; i < settings.formats.size() && i < (size_t) writtenFormatEntries; ++i)
        if (settings.formats[i].enabled)
            ++count;

    return count;
}

int countExportedStems (const CueReport& cue, const Preset& preset)
{
    int count = 0;

    for (const auto& stem : cue.stems)
        if (! stem.isEmpty || effectivePolicy (preset, stem.id) == EmptyStemPolicy::exportSilence)
            ++count;

    return count;
}

int countPlannedFiles (const CueReport& cue, const Preset& preset, const std::vector<Cue>& cues)
{
    if (! anyStemHasTracks (cue))
        return 0;

    const auto& settings = preset.exportSettings;
    const auto items = countExportedStems (cue, preset)
                     + (settings.fullMix.exportMix ? 1 : 0)
                     + countWrittenAlternativeMixes (cue, preset, cues);

    return countWrittenFormats (settings) * items;
}

juce::String formatDecibels (double dB)
{
    if (dB <= -399.0 || std::isnan (dB))
        return "-inf";

    return juce::String (dB, 2) + " dB";
}

juce::String formatRowLevel (const CueResultRow& row, double dB)
{
    return row.hasLevels ? formatDecibels (dB) : juce::String ("-");
}

double peakToDecibels (double linearPeak)
{
    if (! (linearPeak > 0.0))
        return -400.0;

    return std::max (-400.0, gainToDecibels (linearPeak));
}

juce::String formatText (const BatchReport& report, const Preset& preset, const std::vector<Cue>& cues, RunKind kind)
{
    const auto& settings = preset.exportSettings;
    const auto formats = countWrittenFormats (settings);

    int stems = 0;
    int files = 0;

    for (const auto& cue : report.cues)
    {
        if (anyStemHasTracks (cue))
            stems += countExportedStems (cue, preset);

        files += countPlannedFiles (cue, preset, cues);
    }

    juce::StringArray lines;

    if (report.cues.size() < 2)
    {
        lines.add (label ("Stems to export") + juce::String (stems) + " of " + juce::String ((int) preset.schema.stems.size())
                   + " in the schema");
    }
    else
    {
        lines.add (label ("Cues") + juce::String ((int) report.cues.size()));
        lines.add (label ("Stems to export") + juce::String (stems) + " across all cues");
    }

    const auto formatNote = "  (" + juce::String (formats) + " format(s)"
                          + (settings.fullMix.exportMix ? ", full mix included)" : ")");

    if (kind == RunKind::exportRun)
        lines.add (label ("Files written") + juce::String (report.countFilesWritten()) + formatNote);
    else
        lines.add (label ("Files to write") + juce::String (files) + formatNote);

    if (report.sharedGainApplied)
        lines.add (label ("Shared gain") + formatDecibels (report.sharedGain.gainDb));

    const auto unassigned = countUnassigned (report);

    if (settings.requireDecisionOnUnassigned && unassigned > 0)
    {
        lines.add ({});
        lines.add (label ("Note") + juce::String (unassigned)
                   + " track(s) are unassigned. The export will refuse until they are placed, or until "
                     "'refuse to export while tracks are unassigned' is off.");
    }

    if (report.cues.size() == 1)
    {
        const auto& cue = report.cues.front();
        const auto seconds = cue.sampleRate > 0.0 ? (double) cue.lengthInFrames / cue.sampleRate : 0.0;

        lines.add ({});

        if (const auto unmeasured = describeUnmeasuredLevels (cue); unmeasured.isNotEmpty())
        {
            lines.add (label ("Target") + formatDecibels (cue.gain.targetDb));
            lines.add (label ("Mix and gain") + unmeasured);
        }
        else
        {
            lines.add (label ("Mix peak") + formatDecibels (peakToDecibels (cue.mixSamplePeak)));
            lines.add (label ("Mix true peak") + formatDecibels (peakToDecibels (cue.mixTruePeak)));
            lines.add (label ("Target") + formatDecibels (cue.gain.targetDb));
            lines.add (label ("Global gain") + formatDecibels (cue.gain.gainDb)
                       + (cue.gain.heldAtZero ? "   (held at 0 dB: attenuate only)" : ""));
            lines.add (label ("Predicted peak") + formatDecibels (cue.gain.predictedPeakDb));
        }

        lines.add (label ("Unassigned tracks") + juce::String (cue.unassignedTracks.size()));
        lines.add (label ("Length") + formatDuration (seconds) + ", " + juce::String (cue.numChannels) + " ch");
    }

    return lines.joinIntoString ("\n");
}

std::vector<CueResultRow> buildCueRows (const BatchReport& report, const std::vector<Cue>& cues)
{
    std::vector<CueResultRow> rows;
    rows.reserve (cues.size());

    for (const auto& cue : cues)
    {
        CueResultRow row;
        row.key = cue.key;
        row.name = cue.name;
        row.included = cue.included;
        row.trimSeconds = cue.trimStartSeconds;

        for (const auto& result : report.cues)
        {
            if (result.cueKey != cue.key)
                continue;

            row.hasResult = true;
            row.silenceFoundSeconds = result.leadingSilenceSeconds;
            row.durationSeconds = result.sampleRate > 0.0 ? (double) result.lengthInFrames / result.sampleRate : 0.0;
            row.hasLevels = describeUnmeasuredLevels (result).isEmpty();
            row.peakDb = peakToDecibels (result.mixTruePeak);
            row.gainDb = result.gain.gainDb;
            row.assignedStems = result.countAssignedStems();
            row.emptyStems = result.countEmptyStems();
            row.hasProblem = hasProblem (result);
            break;
        }

        rows.push_back (std::move (row));
    }

    return rows;
}

namespace
{
    template <typename Report, typename TakeOverview>
    std::vector<GatedTrackRow> makeGatedRows (Report& report, TakeOverview&& takeOverview)
    {
        std::vector<GatedTrackRow> rows;
        size_t count = 0;

        for (const auto& cue : report.cues)
            count += cue.gatedTracks.size();

        rows.reserve (count);

        for (auto& cue : report.cues)
        {
            for (auto& gated : cue.gatedTracks)
            {
                GatedTrackRow row;
                row.path = juce::File (gated.sourceFile);
                row.cueKey = cue.cueKey;
                row.cueName = cue.cueName.isNotEmpty() ? cue.cueName : juce::String ("Delivery");
                row.fileName = gated.fileName;
                row.stemName = gated.stemName;
                row.gatedSeconds = gated.gatedSeconds;
                row.durationSeconds = gated.lengthSeconds;
                row.regionCount = gated.regionCount;
                row.wholeFileSilent = gated.wholeFileSilent;
                row.regions = gated.regions;
                row.overview = takeOverview (gated);
                rows.push_back (std::move (row));
            }
        }

        return rows;
    }
} // namespace

std::vector<GatedTrackRow> buildGatedRows (const BatchReport& report)
{
    return makeGatedRows (report, [] (const GatedTrackReport& gated) { return gated.overview; });
}

std::vector<GatedTrackRow> takeGatedRows (BatchReport& report)
{
    return makeGatedRows (report, [] (GatedTrackReport& gated) { return std::move (gated.overview); });
}

} // namespace dunmoor::ui::BatchSummary
