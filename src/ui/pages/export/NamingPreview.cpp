#include "NamingPreview.h"

#include "core/model/CodecCapabilities.h"
#include "core/render/OutputNaming.h"

namespace dunmoor::ui
{

juce::String buildNamingPreview (const Preset& preset, const std::vector<Cue>& cuesWithTracks, const std::vector<Track>& tracks)
{
    const auto& settings = preset.exportSettings;
    const auto& naming = settings.naming;
    const auto& fullMix = settings.fullMix;

    OutputFormat format;
    format.dither = DitherKind::tpdfShaped;

    if (! settings.formats.empty())
    {
        format = settings.formats.front();

        for (const auto& candidate : settings.formats)
        {
            if (candidate.enabled)
            {
                format = candidate;
                break;
            }
        }
    }

    const auto exampleRate = format.sampleRate > 0.0 ? format.sampleRate : settings.masterSampleRate;

    auto metadata = preset.metadata;

    if (! cuesWithTracks.empty())
    {
        if (settings.batch.folderNameTarget == FolderNameTarget::cue)
            metadata.cue = cuesWithTracks.front().name;
        else if (settings.batch.folderNameTarget == FolderNameTarget::project)
            metadata.project = cuesWithTracks.front().name;
    }

    juce::StringArray unknown, lines;

    auto nameFor = [&] (const juce::String& nameTemplate, const juce::String& name, const juce::String& code, int index)
    {
        NamingContext context;
        context.publisher = metadata.publisher;
        context.project = metadata.project;
        context.cue = metadata.cue;
        context.composer = metadata.composer;
        context.version = metadata.version;
        context.stemName = name;
        context.stemCode = code;
        context.stemIndex = index;
        context.indexPadding = naming.indexPadding;
        context.sampleRate = bestOutputSampleRate (format.codec, exampleRate);
        context.codec = format.codec;
        context.sampleFormat = format.sampleFormat;
        context.mp3Kbps = nearestMp3Bitrate (format.mp3Bitrate);
        return buildOutputFileName (nameTemplate, context, naming, &unknown);
    };

    // The stems the render of the shown cue writes, numbered as it numbers them.
    const auto& stems = preset.schema.stems;
    const auto* shownCueKey = cuesWithTracks.empty() ? nullptr : &cuesWithTracks.front().key;
    std::vector<int> indices;
    std::vector<bool> written;

    for (const auto& stem : stems)
    {
        const auto policy = stem.hasEmptyPolicy ? stem.emptyPolicy : settings.emptyStemPolicy;
        bool hasTracks = tracks.empty();

        for (const auto& track : tracks)
            hasTracks = hasTracks || (track.stemId == stem.id && track.isReadable() && (shownCueKey == nullptr || track.cueKey == *shownCueKey));

        indices.push_back (stem.index);
        written.push_back (hasTracks || policy == EmptyStemPolicy::exportSilence);
    }

    const auto numbers = numberStems (settings, (int) preset.schema.alternativeMixes.size(), indices, written);
    int shown = 0;

    for (size_t i = 0; i < stems.size() && shown < 3; ++i)
    {
        if (! written[i])
            continue;

        const auto& stem = stems[i];
        const auto nameTemplate = stem.namingTemplate.trim().isNotEmpty() ? stem.namingTemplate.trim() : naming.stemTemplate;
        lines.add (nameFor (nameTemplate, stem.getFileNameToken(), stem.shortCode, numbers[i]));
        ++shown;
    }

    if (fullMix.exportMix)
        lines.add (nameFor (naming.mixTemplate, fullMix.name, fullMix.code, fullMix.index));

    if (fullMix.exportSubmixes)
    {
        const auto& mixes = preset.schema.alternativeMixes;

        for (size_t i = 0; i < mixes.size() && i < 2; ++i)
        {
            const auto& mix = mixes[i];
            const auto code = mix.shortCode.trim().isNotEmpty() ? mix.shortCode.trim() : mix.name;
            lines.add (nameFor (naming.mixTemplate, mix.name, code, fullMix.index + 1 + (int) i));
        }

        if (mixes.size() > 2)
            lines.add ("... and " + juce::String ((int) mixes.size() - 2) + " more alternative mix(es)");
    }

    if (! unknown.isEmpty())
        lines.add ("unknown token(s): " + unknown.joinIntoString (", "));

    return lines.joinIntoString ("\n");
}

} // namespace dunmoor::ui
