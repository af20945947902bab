#pragma once

#include "core/render/RenderJob.h"

namespace dunmoor::testing
{

/** A cue as a render leaves it, with every section of the reports filled: clipping, a stem name
    longer than its column, a stem at exactly -399 dB and one just above, a stem error, an
    empty and a skipped stem, all three file kinds, an unassigned track and a warning. */
inline CueReport makeSampleCue()
{
    CueReport cue;
    cue.ok = true;
    cue.cueName = "1m01 Arrival";
    cue.sourceFolder = "/in/1m01";
    cue.outputFolder = juce::File ("/out/1m01");
    cue.sampleRate = 48000.0;
    cue.lengthInFrames = 8880000;   // 185 s
    cue.numChannels = 2;
    cue.levelsMeasured = true;
    cue.mixSamplePeak = 0.5;
    cue.mixTruePeak = 0.25;
    cue.gain.targetDb = -1.0;
    cue.gain.gainDb = 0.0;
    cue.gain.heldAtZero = true;
    cue.gain.predictedPeakDb = -6.02;
    cue.afterTruePeak = 1.0;
    cue.remeasured = true;
    cue.clipCount = 3;

    const auto stem = [] (const char* name, int index, int tracks, double peakDb)
    {
        StemReport s;
        s.id = juce::String ("id-") + juce::String (index);
        s.name = name;
        s.index = index;
        s.trackCount = tracks;
        s.peakDb = peakDb;
        s.peakAfterDb = peakDb;
        return s;
    };

    cue.stems.push_back (stem ("Strings", 1, 4, -3.5));
    cue.stems.push_back (stem ("Brass and Low Woodwinds", 2, 12, -399.0));
    cue.stems.back().isDigitalSilence = true;
    cue.stems.push_back (stem ("Percussion", 3, 2, -398.99));
    cue.stems.back().errors.add ("could not read kick.wav");
    cue.stems.push_back (stem ("Choir", 4, 0, -400.0));
    cue.stems.back().isEmpty = true;
    cue.stems.back().isDigitalSilence = true;
    cue.stems.push_back (stem ("FX", 10, 0, -400.0));
    cue.stems.back().isEmpty = true;
    cue.stems.back().skipped = true;
    cue.stems.back().isDigitalSilence = true;

    const auto file = [&cue] (const char* name, const char* settings, int kind, int64_t size)
    {
        WrittenFile f;
        f.file = cue.outputFolder.getChildFile (name);
        f.displayName = name;
        f.settingsDescription = settings;
        f.kind = kind;
        f.fileSize = size;
        f.overview.minimums = { -0.5f, -1.0f };
        f.overview.maximums = { 0.5f, 1.0f };
        f.overview.peak = 1.0f;
        return f;
    };

    cue.files.push_back (file ("Arrival_STR.wav", "WAV 24 bit 48 kHz", WrittenFile::stemKind, 1023));
    cue.files.push_back (file ("Arrival_MIX.wav", "WAV 24 bit 48 kHz", WrittenFile::fullMixKind, 1048576));
    cue.files.push_back (file ("Arrival_ALT1.flac", "FLAC 16 bit 44.1 kHz", WrittenFile::alternativeMixKind, 1024));

    cue.unassignedTracks.add ("click track.wav");
    cue.reconstruction.state = ReconstructionState::passed;
    cue.reconstruction.detail = "residual -141.20 dB within -120.00 dB";
    cue.warnings.add ("1 track resampled from 44.1 kHz");
    cue.elapsedSeconds = 2.34;
    cue.startedAt = juce::Time (2026, 2, 4, 21, 15, 7);
    cue.finishedAt = cue.startedAt + juce::RelativeTime (2.34);
    return cue;
}

/** An unnamed cue that failed before anything was measured or written. */
inline CueReport makeFailedCue()
{
    CueReport cue;
    cue.errors.add ("Disk full");
    return cue;
}

} // namespace dunmoor::testing
