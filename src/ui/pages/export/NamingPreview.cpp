#include "NamingPreview.h"

#include "core/model/CodecCapabilities.h"
#include "core/render/OutputNaming.h"

namespace dunmoor::ui
{

juce::String buildNamingPreview (const Preset& preset, const std::vector<Cue>& cuesWithTracks)
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

    int nextIndex = 1;

    if (naming.numberMixesFirst && fullMix.exportMix)
    {
        nextIndex = fullMix.index + 1;

        if (fullMix.exportSubmixes)
            nextIndex += (int) preset.schema.alternativeMixes.size();
    }

    const auto& stems = preset.schema.stems;

    for (size_t i = 0; i < stems.size() && i < 3; ++i)
    {
        const auto& stem = stems[i];
        const auto index = naming.numbering == NumberingMode::consecutiveExported ? nextIndex++ : stem.index;
        const auto nameTemplate = stem.namingTemplate.trim().isNotEmpty() ? stem.namingTemplate.trim() : naming.stemTemplate;
        lines.add (nameFor (nameTemplate, stem.getFileNameToken(), stem.shortCode, index));
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
