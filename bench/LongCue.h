#pragma once

// The long cue several benchmarks render or read: 48 stereo 24-bit tracks at 48 kHz of a few
// minutes each, named like a real session so the keywords place most of them. Written once
// into a folder and reused by later runs (a file of the right size is kept).

#include <cmath>
#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>

namespace dunmoor::bench
{

inline const char* const longCueTrackNames[] = {
    "Shaker Loop", "Tambourine Hits", "Bell Tree", "Taiko Ensemble", "Timpani Rolls", "Frame Drum", "Kick", "Snare Top", "Overheads",
    "French Horns", "Trumpets", "Low Brass Cimbasso", "Violins Spiccato", "Violas Legato", "Celli Pizzicato", "Flutes", "Clarinets",
    "Bassoons", "Felt Piano", "Celesta", "Grand Piano Low", "Acoustic Guitar", "Electric Guitar", "Mandolin", "Synth Pad Wide",
    "Saw Lead Synth", "Arp Synth", "Sub Bass", "Bass Guitar", "Synth Bass", "Choir Sopranos", "Choir Basses", "Choir Aahs",
    "Lead Vocal", "Backing Vocals", "Vocal Chops", "Riser FX", "Whoosh Impacts", "Braams", "Signature Motif", "Signature Hits",
    "Logo Sting", "Drone Low", "Drone Texture", "Drone Shimmer", "Pulse Ostinato", "Clock Pulse", "Sequenced Pulse",
};

/** Writes the 48 tracks of the given length into the folder (skipping those already there)
    and returns the folder. */
inline juce::File writeLongCue (const juce::File& folder, double minutes)
{
    folder.createDirectory();
    juce::WavAudioFormat wav;
    const auto frames = (int) (minutes * 60.0 * 48000.0);

    for (int t = 0; t < 48; ++t)
    {
        const auto file = folder.getChildFile (juce::String (t + 1).paddedLeft ('0', 2) + " " + longCueTrackNames[t] + ".wav");

        if (file.getSize() > (juce::int64) frames * 6)
            continue;

        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (file.createOutputStream().release(), 48000.0, 2, 24, {}, 0));
        juce::AudioBuffer<float> block (2, 48000);

        for (int start = 0; start < frames; start += block.getNumSamples())
        {
            const auto n = std::min (block.getNumSamples(), frames - start);

            for (int i = 0; i < n; ++i)
            {
                const auto x = (float) (0.2 * std::sin (0.001 * (t + 1) * (start + i)) * (1.0 + 0.3 * std::sin (0.00001 * (start + i))));
                block.setSample (0, i, x);
                block.setSample (1, i, 0.9f * x);
            }

            writer->writeFromAudioSampleBuffer (block, 0, n);
        }
    }

    return folder;
}

} // namespace dunmoor::bench
