#pragma once

#include <cstdint>
#include <vector>

#include "core/audio/LevelMeter.h"
#include "core/audio/ReconstructionCheck.h"
#include "core/audio/SilenceGate.h"
#include "core/audio/WaveformOverview.h"
#include "core/model/Types.h"

namespace dunmoor
{

// What the render of one cue did: levels, gain, stems, gated tracks, files written, problems.
// Plain values; the batch report holds one per cue and the report writers read them.

/** One stem of a cue. */
struct StemReport
{
    juce::String id;
    juce::String name;                  // display name
    int index = 0;                      // schema index
    juce::String numberInFileName;      // its {stemIndex} as its files carry it; empty when it writes none
    int trackCount = 0;
    bool isEmpty = false;               // no tracks
    bool skipped = false;               // empty and not written because its policy is skip
    bool isDigitalSilence = false;      // the summed stem has no non-zero sample (true when empty); only ever set once measured
    double peakDb = -400.0;             // sample peak of the summed stem before gain
    double peakAfterDb = -400.0;        // peakDb + the cue's gain; -400 when peakDb <= -399
    juce::StringArray errors;           // this stem's read failures

    // How far the render of the cue came with this stem. A cue that stops leaves the stems after
    // the stop (and on the windowed path, those before it) unmeasured; what was written of a cue
    // that did not succeed was never delivered.
    bool measured = false;              // every track read to its end: peakDb and isDigitalSilence hold (true when empty)
    bool written = false;               // every file of it written (delivered only when the cue is ok)
};

/** A track of the cue that could not be read, so the render left it out. Each one makes its cue
    need attention, because the delivery lacks what the user gave for it. */
struct UnreadableTrack
{
    juce::String fileName;
    juce::String reason;                // why it could not be read
    juce::String stemId;                // the stem it was assigned to; empty when none
};

/** One track read while the silence gate was enabled. */
struct GatedTrackReport
{
    juce::String sourceFile;            // full path
    juce::String fileName;
    juce::String stemName;              // display name of the stem it was read for
    int regionCount = 0;
    double gatedSeconds = 0.0;          // gated frames / project rate
    double lengthSeconds = 0.0;         // the track's length at the project rate
    bool wholeFileSilent = false;
    std::vector<GateRegion> regions;
    WaveformOverview overview;          // of the gated track, 3000 buckets
};

/** One file on disk. */
struct WrittenFile
{
    static constexpr int stemKind = 0;
    static constexpr int fullMixKind = 1;
    static constexpr int alternativeMixKind = 2;

    juce::File file;
    juce::String displayName;           // the stem's display name, the full mix or the alternative mix name
    juce::String stemId;                // the id of the stem it carries; empty for the full and alternative mixes
    juce::String settingsDescription;   // EncoderSettings::describe
    double sampleRate = 0.0;            // the rate written
    bool lossless = false;
    int kind = stemKind;                // 0 stem, 1 full mix, 2 alternative mix
    int64_t fileSize = 0;               // bytes, read from disk after writing
    WaveformOverview overview;          // of the item at the project rate, 1400 buckets, shared by its formats
    double peakDb = -400.0;             // after-gain peak of the mixes by the preset's peak mode; -400 for stems
    bool ownGain = false;               // an alternative mix brought to the target on its own
};

/** One cue's render. */
struct CueReport
{
    bool ok = false;
    bool cancelled = false;
    juce::String cueName;
    juce::String cueKey;
    juce::String sourceFolder;
    juce::File outputFolder;
    PeakMode peakMode = PeakMode::truePeak;
    bool levelsMeasured = false;        // the mix was measured and its gain decided: the levels below hold
    double mixSamplePeak = 0.0;         // linear, before gain
    double mixTruePeak = 0.0;           // linear, before gain (the sample peak in samplePeak mode)
    GainResult gain;                    // its target is the preset's from the start
    double afterSamplePeak = 0.0;       // linear, after gain
    double afterTruePeak = 0.0;
    bool remeasured = false;            // after-gain peaks measured on the gained mix
    int64_t clipCount = 0;              // gained-mix samples with magnitude >= 1.0
    double leadingSilenceSeconds = 0.0; // before the first sound of the summed mix
    double appliedCutSeconds = 0.0;     // 0 = no cut
    int numChannels = 0;
    int64_t lengthInFrames = 0;         // after a cut, the mix's new length
    double sampleRate = 0.0;            // the project rate
    std::vector<StemReport> stems;      // one per stem plan, in plan order, from the start of the render
    juce::String stoppedAt;             // the stem or mix whose failure stopped the cue; empty when none did
    std::vector<GatedTrackReport> gatedTracks;
    std::vector<WrittenFile> files;     // in writing order
    juce::StringArray unassignedTracks;
    std::vector<UnreadableTrack> unreadableTracks;  // left out of the render, in track order
    juce::StringArray warnings;
    juce::StringArray errors;
    ReconstructionResult reconstruction;
    double elapsedSeconds = 0.0;        // wall time of the cue
    juce::Time startedAt, finishedAt;   // when the render of the cue began and ended

    // Counts and phrases the reports and pages share (defined with the text reports).
    int countAssignedStems() const;             // stems that had tracks
    int countEmptyStems() const;                // stems without tracks
    juce::String describeAssignedStems() const; // "1 stem assigned", "12 stems assigned"
    juce::String describeEmptyStems() const;    // "1 empty stem", "4 empty stems"

    /** File names of the unreadable tracks that were assigned to the stem. */
    juce::StringArray getUnreadableTracksOf (const juce::String& stemId) const;
};

} // namespace dunmoor
