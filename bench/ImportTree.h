#pragma once

// A folder tree of 2048 small audio files (4 reels x 8 cues x 64 files, mostly WAV with some AIFF
// and FLAC), named the way a composer's exports are, for the import and Import page benchmarks.

#include <juce_audio_formats/juce_audio_formats.h>

#include "ShortTrack.h"

namespace dunmoor::bench
{

inline const char* const instruments[] = { "Violins", "Violas", "Celli", "Basses", "Horns", "Trumpets", "Trombones", "Tuba", "Flutes", "Oboes", "Clarinets", "Bassoons", "Harp", "Piano", "Celesta", "Timpani", "Taiko", "Snare", "Cymbals", "Choir", "Synth Pad", "Sub Bass", "Riser", "Whoosh", "Braam", "Drone", "Ostinato", "Arp", "Guitar", "Perc Loop", "Shaker", "Lead Vox" };
inline const char* const details[] = { "Close", "Tree", "Surround", "Hi", "Lo", "Spicc", "Legato", "A" };

// The tree is written once per process and removed at exit.
struct Tree
{
    Tree()
    {
        juce::WavAudioFormat wav;
        juce::AiffAudioFormat aiff;
        juce::FlacAudioFormat flac;
        int n = 0;

        for (int reel = 1; reel <= 4; ++reel)
        {
            for (int cue = 1; cue <= 8; ++cue)
            {
                const auto folder = root.getChildFile ("Reel " + juce::String (reel))
                                        .getChildFile (juce::String (reel) + "m" + juce::String (cue).paddedLeft ('0', 2) + " Cue");
                folder.createDirectory();

                for (int i = 0; i < 64; ++i, ++n)
                {
                    const auto name = juce::String (reel) + "m" + juce::String (cue).paddedLeft ('0', 2) + "_"
                                      + juce::String (instruments[i % 32]).replace (" ", "_") + "_" + details[(i / 32 + n) % 8];

                    const auto kind = n % 20;
                    const auto ok = kind < 15   ? bench::writeShortTrack (folder.getChildFile (name + ".wav"), wav, 24)
                                    : kind < 18 ? bench::writeShortTrack (folder.getChildFile (name + ".aif"), aiff, 24)
                                                : bench::writeShortTrack (folder.getChildFile (name + ".flac"), flac, 24);
                    if (! ok)
                        failed = true;
                }
            }
        }
    }

    ~Tree() { root.deleteRecursively(); }

    juce::File root = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("dunmoor-import-bench", "", false);
    bool failed = false;
};

inline const Tree& tree()
{
    static Tree t;
    return t;
}

} // namespace dunmoor::bench
