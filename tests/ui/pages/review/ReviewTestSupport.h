#pragma once

// A small session for the Review page's tests: two cue folders of tiny WAV files matched
// against a four-stem preset whose names give every confidence.

#include <cmath>

#include "TestFolder.h"
#include "session/SessionTestSupport.h"

namespace dunmoor::testing
{

/**
    Stems Strings (violins, strings), Brass (horns; priority 5, so a name with a Strings word too
    needs review), Percussion (kick, snare) and Choir (choir). An alternative mix "Underscore"
    holds Strings and Choir.
*/
inline Preset makeReviewPreset()
{
    Preset preset = makeEmptyPreset();
    preset.id = "test-review";
    preset.name = "Review";
    preset.isBuiltIn = false;
    preset.schema.addStem (makeStem ("Strings", "STR", 0xff3366aa, false, 0, { makeKeywordRule ("violins", 0), makeKeywordRule ("strings", 0) }, {}));
    preset.schema.addStem (makeStem ("Brass", "BRS", 0xffaa6633, false, 5, { makeKeywordRule ("horns", 0) }, {}));
    preset.schema.addStem (makeStem ("Percussion", "PRC", 0xff66aa33, false, 0, { makeKeywordRule ("kick", 0), makeKeywordRule ("snare", 0) }, {}));
    preset.schema.addStem (makeStem ("Choir", "CHR", 0xffaa33aa, false, 0, { makeKeywordRule ("choir", 0) }, {}));

    AlternativeMix underscore;
    underscore.id = "mix-underscore";
    underscore.name = "Underscore";
    underscore.stemIds = { preset.schema.stems[0].id, preset.schema.stems[3].id };
    preset.schema.alternativeMixes.push_back (underscore);
    return preset;
}

/** A mono sine swelling from 0.35 of the amplitude to all of it half-way and back, at 8 kHz to
    keep long files small. */
inline juce::File writeToneFile (const juce::File& file, double seconds, float amplitude, double rate = 8000.0)
{
    file.getParentDirectory().createDirectory();
    const auto frames = (int) std::lround (seconds * rate);
    juce::AudioBuffer<float> buffer (1, frames);

    for (int i = 0; i < frames; ++i)
    {
        const auto swell = 0.35 + 0.65 * std::sin (juce::MathConstants<double>::pi * i / frames);
        buffer.setSample (0, i, (float) (amplitude * swell * std::sin (0.3 * i)));
    }

    EXPECT_TRUE (writeAudioFile (file, "wav", buffer, rate, 16)) << file.getFullPathName();
    return file;
}

/**
    Sets the review preset and imports two cues of three-second tones, one file at a time so that
    the session holds them in this order:
    1M01: violins_a.wav (Strings, confident), horns_violins.wav (Brass, review), kick_violins.wav
    (ambiguous, no stem), Glimmer_03.wav (unassigned), choir.wav (Choir), broken.wav (unreadable).
    1M02: strings_b.wav (Strings), snare.wav (Percussion).
*/
inline void importReviewCues (Session& session, const TemporaryFolder& folder)
{
    session.setPreset (makeReviewPreset());

    juce::Array<juce::File> files;
    const auto first = folder.file ("1M01");
    for (const auto* name : { "violins_a.wav", "horns_violins.wav", "kick_violins.wav", "Glimmer_03.wav", "choir.wav" })
        files.add (writeToneFile (first.getChildFile (name), 3.0, 0.25f));
    files.add (first.getChildFile ("broken.wav"));
    EXPECT_TRUE (files.getLast().replaceWithText ("not audio"));

    const auto second = folder.file ("1M02");
    files.add (writeToneFile (second.getChildFile ("strings_b.wav"), 3.0, 0.25f));
    files.add (writeToneFile (second.getChildFile ("snare.wav"), 3.0, 0.25f));

    const auto summary = session.importFiles (files, false);
    EXPECT_EQ (summary.imported, 7);
    EXPECT_EQ (summary.unreadable, 1);
}

/** A session holding importReviewCues. */
struct ReviewSessionFixture
{
    ReviewSessionFixture() { importReviewCues (session, folder); }

    juce::String id (const juce::String& fileName) const { return trackIdNamed (session, fileName); }
    juce::String stem (const juce::String& name) const { return stemIdNamed (session, name); }
    juce::String path (const juce::String& fileName) const { return trackNamed (session, fileName)->file.getFullPathName(); }

    juce::String cueKey (int position) const { return session.getCuesWithTracks()[(size_t) position].key; }

    TemporaryFolder folder;
    Session session;
};

} // namespace dunmoor::testing
