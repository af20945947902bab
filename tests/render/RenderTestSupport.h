#pragma once

// Short generated cues for the render tests: tone files written in a temporary folder and
// requests built by hand from a preset, the way planning builds them.

#include <cmath>
#include <functional>
#include <vector>

#include "audio/AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "core/model/Preset.h"
#include "core/render/RenderPlan.h"

namespace dunmoor::testing
{

/** Writes a 32-bit float WAV whose sample i of channel ch is generator (ch, i). */
inline juce::File writeTrack (const juce::File& file,
                              int numChannels,
                              int numFrames,
                              double sampleRate,
                              const std::function<float (int, int)>& generator)
{
    juce::AudioBuffer<float> buffer (numChannels, numFrames);

    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numFrames; ++i)
            buffer.setSample (ch, i, generator (ch, i));

    file.getParentDirectory().createDirectory();
    const bool ok = writeAudioFile (file, "wav", buffer, sampleRate, 32);
    jassert (ok);
    juce::ignoreUnused (ok);
    return file;
}

/** A sine of the amplitude and frequency, the same on every channel (with a small phase step
    per channel), silent for the first leadingSilence frames. */
inline juce::File writeTone (const juce::File& file,
                             int numChannels,
                             int numFrames,
                             double sampleRate,
                             double frequency,
                             double amplitude,
                             int leadingSilence = 0)
{
    return writeTrack (file, numChannels, numFrames, sampleRate, [=] (int ch, int i)
                       {
                           if (i < leadingSilence)
                               return 0.0f;

                           const double t = (double) (i - leadingSilence) / sampleRate;
                           return (float) (amplitude * std::sin (2.0 * juce::MathConstants<double>::pi * frequency * t + 0.3 * ch));
                       });
}

/** An imported track as planning sees it, probed and readable (give it an error, or no frames,
    to make it unreadable): under /audio/<cue key>/, assigned to stemId (empty: unassigned). */
inline Track makeTrack (const juce::String& fileName, const juce::String& cueKey, const juce::String& stemId,
                        int channels = 2, juce::int64 frames = 48000, double sampleRate = 48000.0)
{
    Track track;
    track.id = newUuidString();
    track.file = juce::File ("/audio/" + cueKey + "/" + fileName);
    track.cueKey = cueKey;
    track.stemId = stemId;
    track.info.formatName = "WAV";
    track.info.numChannels = channels;
    track.info.lengthInSamples = frames;
    track.info.sampleRate = sampleRate;
    track.info.bitsPerSample = 24;
    return track;
}

inline Cue makeCue (const juce::String& key, const juce::String& name, const juce::String& relativeName = {})
{
    Cue cue;
    cue.key = key;
    cue.name = name;
    cue.relativeName = relativeName;
    return cue;
}

/** A preset with one stem per name (short code: the name's first three letters in capitals),
    one enabled 24-bit WAV with TPDF dither, sample peak at -3 dB and no alternative mixes. */
inline Preset makeRenderPreset (const juce::StringArray& stemNames)
{
    Preset preset;
    preset.id = "render-test";
    preset.name = "Render test";
    preset.metadata.project = "Proj";
    preset.metadata.cue = "Cue1";

    for (const auto& name : stemNames)
    {
        Stem stem;
        stem.displayName = name;
        stem.shortCode = name.substring (0, 3).toUpperCase();
        stem.fileNameToken = name;
        (void) preset.schema.addStem (stem);
    }

    auto& settings = preset.exportSettings;
    settings.formats.front().dither = DitherKind::tpdf;
    settings.headroom.peakMode = PeakMode::samplePeak;
    settings.requireDecisionOnUnassigned = false;
    return preset;
}

/** A request for the preset: stem i gets tracks[i] (missing entries: no tracks), the length is
    the longest track's (all at the project rate), channels as given. */
inline RenderRequest makeRequest (const Preset& preset,
                                  const juce::File& outputFolder,
                                  const std::vector<std::vector<juce::File>>& tracks,
                                  int numChannels = 2)
{
    RenderRequest request;
    request.preset = preset;
    request.outputFolder = outputFolder;
    request.cueName = preset.metadata.cue;
    request.sampleRate = preset.exportSettings.masterSampleRate;
    request.numChannels = numChannels;

    for (size_t i = 0; i < preset.schema.stems.size(); ++i)
    {
        auto plan = makeStemPlan (preset.schema.stems[i], preset.exportSettings);

        if (i < tracks.size())
            plan.tracks = tracks[i];

        for (const auto& file : plan.tracks)
        {
            AudioFileInfo info;
            juce::String error;

            if (probeAudioFile (file, info, error))
                request.lengthInFrames = std::max (request.lengthInFrames, (int64_t) info.lengthInSamples);
        }

        request.stems.push_back (plan);
    }

    return request;
}

/** The file read back at its own rate; an empty buffer when it can't be read. */
inline juce::AudioBuffer<double> readBack (const juce::File& file)
{
    juce::AudioBuffer<double> buffer;
    juce::String error;

    if (! readAudioFileAtOwnRate (file, buffer, error))
        return {};

    return buffer;
}

/** Every file below the folder, hidden ones included, as paths relative to it. */
inline juce::StringArray listFilesBelow (const juce::File& folder)
{
    juce::StringArray paths;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
        paths.add (entry.getFile().getRelativePathFrom (folder));

    paths.sort (false);
    return paths;
}

} // namespace dunmoor::testing
