#include "ui/shell/FooterTexts.h"

namespace dunmoor::ui
{

juce::String presetLabelText (const Preset& preset, bool modified)
{
    return preset.name + "   [" + presetKindToString (preset.kind) + "]" + (modified ? "  *" : "");
}

juce::String projectLabelText (const juce::File& projectFile, bool hasTracks, bool changed)
{
    if (projectFile == juce::File() && ! hasTracks)
        return {};

    const auto name = projectFile != juce::File() ? projectFile.getFileNameWithoutExtension() : juce::String ("Untitled");
    return name + (changed ? "  *" : "");
}

std::vector<FooterSegment> makeFooterSegments (const Session& session, const juce::File& outputFolder, int shownTrackCount)
{
    const auto trackCount = (int) session.getTracks().size();
    const auto cueCount = (int) session.getCuesWithTracks().size();
    const auto stemCount = (int) session.getPreset().schema.stems.size();
    const auto unassigned = (int) session.getUnassignedTracks().size();
    const auto ambiguous = session.countTracksWithConfidence (Confidence::ambiguous);
    const auto unreadable = trackCount - session.countReadableTracks();

    auto counts = juce::String (trackCount) + " track(s)";
    if (cueCount > 1)
        counts << " in " << cueCount << " cues";
    counts << "   " << stemCount << " stem(s)   " << unassigned << " unassigned";
    if (ambiguous > 0)
        counts << "   " << ambiguous << " ambiguous";
    if (unreadable > 0)
        counts << "   " << unreadable << " unreadable";
    if (shownTrackCount >= 0)
        counts << "   (showing " << shownTrackCount << ")";

    const auto& settings = session.getPreset().exportSettings;
    const auto target = juce::String (settings.masterSampleRate / 1000.0, 1) + " kHz   target "
                        + juce::String (settings.headroom.targetDb, 1) + " dB "
                        + (settings.headroom.peakMode == PeakMode::truePeak ? "true peak" : "sample peak");

    std::vector<FooterSegment> segments { { FooterSegment::tracks, counts }, { FooterSegment::formatTarget, target } };

    if (outputFolder != juce::File())
        segments.push_back ({ FooterSegment::outputFolder, outputFolder.getFileName() });

    return segments;
}

} // namespace dunmoor::ui
