#pragma once

#include <cstdint>
#include <vector>

#include "core/model/Preset.h"
#include "core/render/CueReport.h"
#include "core/model/Validation.h"
#include "core/session/Cue.h"
#include "core/session/Track.h"

namespace dunmoor
{

// What a delivery run is asked to do: one self-contained request per cue, holding its own copy
// of the preset so that a running render never touches the session. Plans are plain values,
// built on the message thread and copied into the render job.

/** One stem inside a request. */
struct StemPlan
{
    juce::String id;
    juce::String name;                  // display name: status texts, reports, written file's display name
    juce::String shortCode;             // naming token {stemCode}
    juce::String fileNameToken;         // Stem::getFileNameToken, naming token {stemName}
    int index = 1;                      // 1-based schema index
    uint32_t colour = 0xff8a8a8a;       // ARGB
    std::vector<juce::File> tracks;     // usable tracks of the cue assigned to this stem, in session order
    EmptyStemPolicy emptyPolicy = EmptyStemPolicy::skip;   // the stem's own, else the preset's
    juce::String namingTemplate;        // the stem's own (trimmed) when set, else the preset's stem template
};

/** One cue's render order. */
struct RenderRequest
{
    Preset preset;                      // full copy, adjusted for the cue
    juce::File outputFolder;            // the cue's output folder
    juce::File outputRoot;              // the folder the user chose, which holds the cues' folders
    juce::String projectName;           // the preset's project field, before a cue's name may take its place
    juce::String cueName;               // empty for a plan made without cues
    juce::String sourceFolder;          // the cue's folder below the imported root, "/"-separated
    juce::String cueKey;
    double fixedGainDb = 0.0;           // used instead of a computed gain when useFixedGain is set
    bool useFixedGain = false;          // set by the job's shared-gain pass
    double headTrimSeconds = 0.0;       // leading-silence cut; 0 = none
    std::vector<StemPlan> stems;        // one per schema stem, in schema order
    int numChannels = 2;
    int64_t lengthInFrames = 0;         // at the project rate
    double sampleRate = 48000.0;        // the preset's master rate
    juce::StringArray unassignedTracks; // file names of usable tracks without a stem
    std::vector<UnreadableTrack> unreadableTracks;  // tracks left out: they could not be read
    bool measureOnly = false;           // analysis run: measure, write nothing
};

/** One cue's request with the problems found while planning it. */
struct CuePlan
{
    RenderRequest request;
    ValidationResult validation;
    bool ok = false;                    // no errors
};

/** The plans of a whole run. */
struct BatchPlan
{
    std::vector<CuePlan> cues;          // in cue order
    juce::StringArray errors;           // "<cue name>: <text>"; any of them blocks a run
    juce::StringArray warnings;
    bool allCuesOk = false;             // at least one plan and every plan ok
    bool severalCues = false;           // more than one cue was passed in
};

/** Whether checking a request's output folder may create it. Planning only looks, so that
    a run that is cancelled or never confirmed leaves nothing on disk; the render creates
    the folder when it reaches the cue. Before the user has chosen a folder, planning can
    leave the folder's checks for later and still find everything else that stops a run;
    a render always checks its folder. */
enum class OutputFolderCheck
{
    checkOnly,
    create,
    later
};

/** A cue's tracks beyond this many are not planned at all. */
constexpr int maxTracksPerCue = 2048;

/** A stem's plan without its tracks: names, index and colour from the stem, its own empty-stem
    policy and naming template when it has them, else the export settings'. */
StemPlan makeStemPlan (const Stem& stem, const ExportSettings& settings);

/** The plans of a run over the cues (as the session lists them with their tracks), each cue
    with its own copy of the preset: alternative-mix members resolved for the cue, the cue's
    name in the metadata field the batch settings name, and its own output folder below
    outputRoot. Without cues, one plan over all tracks into outputRoot. An export's folder is
    checked as folderCheck says (never created here). */
BatchPlan buildBatchPlan (const Preset& preset,
                          const std::vector<Track>& tracks,
                          const std::vector<Cue>& cues,
                          const juce::File& outputRoot,
                          bool measureOnly,
                          OutputFolderCheck folderCheck = OutputFolderCheck::checkOnly);

/** One cue's plan from its tracks: channel count and length from the usable assigned tracks
    (lengths converted to the project rate as the resampler converts them), one stem plan per
    schema stem, the unassigned and unreadable tracks (each unreadable one also a warning), and
    validatePlan's findings. */
CuePlan buildCuePlan (const Preset& preset, const std::vector<Track>& tracks, const juce::File& outputFolder, bool measureOnly,
                      OutputFolderCheck folderCheck = OutputFolderCheck::checkOnly);


/** The checks a request must pass before anything is read: the preset, channel count,
    length, output folder (not for an analysis, nor when left for later), assigned tracks,
    empty-stem policies and unassigned tracks. Run while planning (checkOnly, or later) and
    again by the render for every cue (create). */
ValidationResult validatePlan (const RenderRequest& request, OutputFolderCheck folderCheck);

} // namespace dunmoor
