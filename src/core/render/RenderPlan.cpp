#include "RenderPlan.h"

#include <set>

#include "core/audio/AudioFormats.h"
#include "core/audio/Resampler.h"
#include "core/files/PathRules.h"

namespace dunmoor
{

StemPlan makeStemPlan (const Stem& stem, const ExportSettings& settings)
{
    StemPlan plan;
    plan.id = stem.id;
    plan.name = stem.displayName;
    plan.shortCode = stem.shortCode;
    plan.fileNameToken = stem.getFileNameToken();
    plan.index = stem.index;
    plan.colour = stem.colour;
    plan.emptyPolicy = stem.hasEmptyPolicy ? stem.emptyPolicy : settings.emptyStemPolicy;

    const auto ownTemplate = stem.namingTemplate.trim();
    plan.namingTemplate = ownTemplate.isNotEmpty() ? ownTemplate : settings.naming.stemTemplate;
    return plan;
}

namespace
{
    bool isUsable (const Track& track)
    {
        return track.error.isEmpty() && track.info.lengthInSamples > 0;
    }
} // namespace

CuePlan buildCuePlan (const Preset& preset, const std::vector<Track>& tracks, const juce::File& outputFolder, bool measureOnly,
                      OutputFolderCheck folderCheck)
{
    CuePlan plan;
    auto& request = plan.request;
    request.preset = preset;
    request.outputFolder = outputFolder;
    request.outputRoot = outputFolder;
    request.projectName = preset.metadata.project;
    request.measureOnly = measureOnly;
    request.sampleRate = preset.exportSettings.masterSampleRate;

    if ((int) tracks.size() > maxTracksPerCue)
    {
        plan.validation.errors.add ("This project has more than " + juce::String (maxTracksPerCue) + " tracks.");
        plan.ok = false;
        return plan;
    }

    std::set<juce::String> stemIds;

    for (const auto& stem : preset.schema.stems)
        stemIds.insert (stem.id);

    // A track counts as assigned only when its stem is in this preset; one that points at a
    // stem the preset no longer has is listed as unassigned rather than silently dropped.
    auto isAssigned = [&stemIds] (const Track& track) { return track.stemId.isNotEmpty() && stemIds.count (track.stemId) > 0; };

    int numChannels = 1;
    int64_t length = 0;
    bool anyMono = false;
    bool anyMultiChannel = false;

    for (const auto& track : tracks)
    {
        if (! isUsable (track) || ! isAssigned (track))
            continue;

        numChannels = std::max (numChannels, track.info.numChannels);
        length = std::max<int64_t> (length, getResampledLength (track.info.lengthInSamples, track.info.sampleRate, request.sampleRate));
        anyMono = anyMono || track.info.numChannels == 1;
        anyMultiChannel = anyMultiChannel || track.info.numChannels > 1;
    }

    request.numChannels = numChannels;
    request.lengthInFrames = length;

    if (anyMono && anyMultiChannel)
        plan.validation.warnings.add ("This project mixes mono and multi-channel tracks. Mono tracks are copied to every channel at unity gain.");

    for (const auto& stem : preset.schema.stems)
    {
        auto stemPlan = makeStemPlan (stem, preset.exportSettings);

        for (const auto& track : tracks)
            if (isUsable (track) && track.stemId == stem.id)
                stemPlan.tracks.push_back (track.file);

        request.stems.push_back (std::move (stemPlan));
    }

    for (const auto& track : tracks)
    {
        if (! isUsable (track))
        {
            // A probe that found no frames leaves no error text of its own.
            const auto reason = track.error.isNotEmpty() ? track.error : juce::String ("The file contains no audio.");
            plan.validation.warnings.add ("'" + track.file.getFileName() + "' could not be read and is excluded: " + reason);
            request.unreadableTracks.push_back ({ track.file.getFileName(), reason, track.stemId });
        }
        else if (! isAssigned (track))
            request.unassignedTracks.add (track.file.getFileName());
    }

    // Planning never creates the folder.
    plan.validation.merge (validatePlan (request, folderCheck == OutputFolderCheck::create ? OutputFolderCheck::checkOnly : folderCheck), {});
    plan.ok = plan.validation.isClean();
    return plan;
}

BatchPlan buildBatchPlan (const Preset& preset,
                          const std::vector<Track>& tracks,
                          const std::vector<Cue>& cues,
                          const juce::File& outputRoot,
                          bool measureOnly,
                          OutputFolderCheck folderCheck)
{
    BatchPlan batch;
    batch.severalCues = cues.size() > 1;

    if (cues.empty())
    {
        auto plan = buildCuePlan (preset, tracks, outputRoot, measureOnly, folderCheck);
        batch.errors.addArray (plan.validation.errors);
        batch.warnings.addArray (plan.validation.warnings);
        batch.allCuesOk = plan.ok;
        batch.cues.push_back (std::move (plan));
        return batch;
    }

    std::set<juce::String> folders;

    // A cue's own member list may still name a stem deleted from the schema since it was made;
    // such a member has nothing to add and is dropped rather than failing the cue.
    std::set<juce::String> stemIds;

    for (const auto& stem : preset.schema.stems)
        stemIds.insert (stem.id);

    for (const auto& cue : cues)
    {
        if (! cue.included)
            continue;

        std::vector<Track> cueTracks;

        for (const auto& track : tracks)
            if (track.cueKey == cue.key)
                cueTracks.push_back (track);

        if (cueTracks.empty())
            continue;

        auto cuePreset = preset;

        for (auto& mix : cuePreset.schema.alternativeMixes)
        {
            mix.stemIds = cue.getAlternativeMixStems (mix);

            for (int i = mix.stemIds.size(); --i >= 0;)
                if (stemIds.count (mix.stemIds[i]) == 0)
                    mix.stemIds.remove (i);
        }

        const auto target = cuePreset.exportSettings.batch.folderNameTarget;

        if (target == FolderNameTarget::cue)
            cuePreset.metadata.cue = cue.name;
        else if (target == FolderNameTarget::project)
            cuePreset.metadata.project = cue.name;

        const auto& batchSettings = cuePreset.exportSettings.batch;
        const auto folder = cue.getOutputFolderName (outputRoot, batchSettings.mirrorFolderStructure, batchSettings.folderPerCue);

        auto plan = buildCuePlan (cuePreset, cueTracks, folder, measureOnly, folderCheck);

        for (const auto& name : cue.namesLeftOut)
        {
            const juce::String reason ("Its name is not valid UTF-8; rename it.");
            plan.validation.warnings.add ("'" + name + "' could not be read and is excluded: " + reason);
            plan.request.unreadableTracks.push_back ({ name, reason, {} });
        }

        plan.request.outputRoot = outputRoot;
        plan.request.projectName = preset.metadata.project;
        plan.request.cueName = cue.name;
        plan.request.sourceFolder = cue.relativeName;
        plan.request.cueKey = cue.key;
        plan.request.headTrimSeconds = cue.trimStartSeconds;

        if (batch.severalCues && ! folders.insert (folder.getFullPathName().toLowerCase()).second)
        {
            const auto text = "'" + cue.name + "' would be written into the same folder as another cue. Give it a different name, "
                              "turn on 'mirror the source folder structure', or import the cues separately.";

            if (measureOnly)
                plan.validation.warnings.add (text);
            else
                plan.validation.errors.add (text);

            plan.ok = plan.validation.isClean();
        }

        const auto prefix = cue.name.isNotEmpty() ? cue.name + ": " : juce::String();

        for (const auto& e : plan.validation.errors)
            batch.errors.add (prefix + e);

        for (const auto& w : plan.validation.warnings)
            batch.warnings.add (prefix + w);

        batch.cues.push_back (std::move (plan));
    }

    if (batch.cues.empty())
    {
        const bool anyTicked = std::any_of (cues.begin(), cues.end(), [] (const Cue& c) { return c.included; });
        batch.errors.add (anyTicked ? "No cue has any usable track."
                                    : "Every cue is unticked, so there is nothing to write. Tick at least one in the list below.");
        batch.allCuesOk = false;
        return batch;
    }

    batch.allCuesOk = std::all_of (batch.cues.begin(), batch.cues.end(), [] (const CuePlan& p) { return p.ok; });
    return batch;
}

ValidationResult validatePlan (const RenderRequest& request, OutputFolderCheck folderCheck)
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

    if (! request.measureOnly && folderCheck != OutputFolderCheck::later)
    {
        juce::String folderError;

        const auto folderOk = folderCheck == OutputFolderCheck::create
                                ? validateOutputFolder (request.outputFolder, folderError)
                                : checkOutputFolder (request.outputFolder, folderError);

        if (! folderOk)
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
        // Names enough tracks to find them, and the setting that makes this an error, so the
        // user can either place them or change the rule.
        const auto& names = request.unassignedTracks;
        const auto count = names.size();
        constexpr int namesShown = 3;
        juce::StringArray shown;

        for (int i = 0; i < count && i < namesShown; ++i)
            shown.add (names[i]);

        auto text = juce::String (count) + (count == 1 ? " track is" : " tracks are") + " still unassigned: "
                  + shown.joinIntoString (", ");

        if (count > namesShown)
            text << " and " << (count - namesShown) << " more";

        text << (count == 1 ? ". Assign it" : ". Assign them") << " on the Review page, or turn off \"Refuse to export while tracks are unassigned\" "
                "on the Levels & Export page.";

        if (request.measureOnly)
            result.warnings.add (text);
        else
            result.errors.add (text);
    }

    return result;
}

} // namespace dunmoor
