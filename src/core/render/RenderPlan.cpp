#include "RenderPlan.h"

#include "core/audio/AudioFileReader.h"
#include "core/preset/PathRules.h"

namespace dunmoor
{

ValidationResult validatePlan (const RenderRequest& request)
{
    ValidationResult result;
    result.merge (validatePreset (request.preset), {});

    if (request.numChannels < 1 || request.numChannels > maxAudioChannels)
        result.errors.add ("Unsupported channel count for this project: " + juce::String (request.numChannels) + ".");

    if (request.preset.schema.stems.empty())
        result.errors.add ("This preset has no stems, so there is nothing to deliver. Add the stems your publisher asks for in step 2.");

    if (request.lengthInFrames < 1)
        result.errors.add ("There is nothing to render: every track is empty or unusable.");

    if (request.lengthInFrames > maxReadFrames)
        result.errors.add ("This project is longer than Brackenfold can render in one pass.");

    if (! request.measureOnly)
    {
        juce::String folderError;

        if (! validateOutputFolder (request.outputFolder, folderError))
            result.errors.add (folderError);
    }

    bool anyTracks = false;

    for (const auto& stem : request.stems)
        anyTracks = anyTracks || ! stem.tracks.empty();

    if (! anyTracks)
        result.errors.add ("No stem has any track assigned to it.");

    for (const auto& stem : request.stems)
        if (stem.tracks.empty() && stem.emptyPolicy == EmptyStemPolicy::failExport)
            result.errors.add ("Stem '" + stem.name + "' is empty and the preset says that is an error.");

    if (! request.unassignedTracks.isEmpty() && request.preset.exportSettings.requireDecisionOnUnassigned)
    {
        const auto text = juce::String (request.unassignedTracks.size())
                        + " track(s) are still unassigned and the preset requires an explicit decision.";

        if (request.measureOnly)
            result.warnings.add (text);
        else
            result.errors.add (text);
    }

    return result;
}

} // namespace dunmoor
