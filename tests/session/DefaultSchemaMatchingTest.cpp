#include <gtest/gtest.h>

#include "core/model/BuiltInPresets.h"
#include "core/session/KeywordMatcher.h"

namespace dunmoor
{
namespace
{
    constexpr auto confident = Confidence::confident;
    constexpr auto review = Confidence::review;
    constexpr auto ambiguous = Confidence::ambiguous;
    constexpr auto unassigned = Confidence::unassigned;

    struct Expectation
    {
        const char* fileName;
        const char* stem; // empty: no stem chosen
        Confidence confidence;
    };

    // Names as composers' sessions export them, with what the default schema must make of them.
    const Expectation realWorldNames[] = {
        // Drum kit
        { "01_Kick In.wav", "Drums", confident },
        { "02_Kick Out.wav", "Drums", confident },
        { "03_Snare Top.wav", "Drums", confident },
        { "04_Snare Bottom.aif", "Drums", confident },
        { "05_HiHat.wav", "Drums", confident },
        { "Overheads_L.wav", "Drums", confident },
        { "07_Tom1.wav", "Drums", confident },
        { "03_Toms.wav", "Drums", confident },
        { "Ride Cymbal.wav", "Drums", confident },
        { "Hats_Open.wav", "Drums", confident },
        { "Drumkit_Room.wav", "Drums", confident },
        { "Beat_Loop.wav", "Drums", confident },
        { "Kick.L.wav", "Drums", confident },
        // Percussion
        { "Shaker_16th.wav", "Percussion High", confident },
        { "Tambourine.wav", "Percussion High", confident },
        { "Congas_Bongos.wav", "Percussion High", confident },
        { "Sleigh Bells.wav", "Percussion High", confident },
        { "Woodblock.wav", "Percussion High", confident },
        { "BassDrum_Taiko.wav", "Percussion Low", confident },
        { "Timpani Roll.wav", "Percussion Low", confident },
        { "Frame Drum Low.wav", "Percussion Low", confident },
        // Strings
        { "VLN1 spicc L.wav", "Strings", confident },
        { "VLN2_Pizz.wav", "Strings", confident },
        { "Violas_Legato.wav", "Strings", confident },
        { "Celli_Tremolo.wav", "Strings", confident },
        { "Contrabass_Arco.wav", "Strings", confident },
        { "Double Bass Pizz.wav", "Strings", confident },
        { "Harp_Gliss.wav", "Strings", confident },
        { "Strings_Hi.flac", "Strings", confident },
        { "Tremolo Violins Hi.wav", "Strings", confident },
        // Brass and woodwinds
        { "Horns_a4.wav", "Brass", confident },
        { "French Horn Solo.wav", "Brass", confident },
        { "Trumpets Stacc.wav", "Brass", confident },
        { "Low Brass.wav", "Brass", confident },
        { "Tbn_Tuba.wav", "Brass", confident },
        { "English Horn.wav", "Woodwinds", confident },
        { "Cor Anglais.wav", "Woodwinds", confident },
        { "Flute_Solo.wav", "Woodwinds", confident },
        { "Bass Clarinet.wav", "Woodwinds", confident },
        { "Oboe.wav", "Woodwinds", confident },
        { "Duduk_Lament.wav", "Woodwinds", confident },
        // Keys, guitars, synths, bass
        { "Piano_Felt.wav", "Piano", confident },
        { "Felt Piano.wav", "Piano", confident },
        { "Rhodes.wav", "Piano", confident },
        { "Celesta_Hi.wav", "Piano", confident },
        { "Piano_Keys.wav", "Piano", confident },
        { "Nylon Gtr.wav", "Guitars", confident },
        { "Electric Guitar Chug.wav", "Guitars", confident },
        { "Guitar_Harmonics_Ukulele.wav", "Guitars", confident },
        { "Saw Lead.wav", "Synthesizers", confident },
        { "Lead Synth.wav", "Synthesizers", confident },
        { "Synth Bass.wav", "Bass", confident },
        { "Bass Gtr DI.wav", "Bass", confident },
        { "808_Sub.wav", "Bass", confident },
        { "Bass_DI.wav", "Bass", review },  // the Strings rule "basses" also takes "bass"
        { "Kick_Sub.wav", "Bass", review }, // Bass outranks Drums by stem priority only
        // Voices
        { "Choir_Aahs_Sop.wav", "Choir", confident },
        { "Choir_Oohs_Alto.wav", "Choir", confident },
        { "Sopranos_Latin.wav", "Choir", confident },
        { "Boys Choir.wav", "Choir", confident },
        { "Epic Choir Full.wav", "Choir", confident },
        { "Lead Vocal_Comp.wav", "Vocals", confident },
        { "BVs_Stack03.wav", "Vocals", confident },
        { "Narration_Take3.wav", "Vocals", confident },
        { "Adlib_Ending.wav", "Vocals", confident },
        { "Spoken Word.wav", "Vocals", confident },
        { "Whisper FX.wav", "Vocals", review },
        { "Vox_Chop_Stutter.wav", "Vocals", review },
        // Sound design, signature, drones, pulses
        { "Sub Drop 03.wav", "Sound Design", confident },
        { "Riser_01.wav", "Sound Design", confident },
        { "Braam_Hit.wav", "Sound Design", confident },
        { "Whoosh Reverse.wav", "Sound Design", confident },
        { "Hit_Boom_Impact.wav", "Sound Design", confident },
        { "Main Theme Motif.wav", "Signature", confident },
        { "Logo_Sting.wav", "Signature", confident },
        { "Pad_Warm.wav", "Drones", confident },
        { "Atmos Texture.wav", "Drones", confident },
        { "Drone_Low C.wav", "Drones", confident },
        { "Ostinato_Str.wav", "Pulses", confident },
        { "Pulse 120bpm.wav", "Pulses", confident },
        { "Seq_Arp_Bass.wav", "Pulses", confident },
        // Nothing to go on, or deliberately undecided
        { "waterphone scrape.wav", "", ambiguous },
        // A word that hits a stem's singular and plural rules credits it once (it once counted
        // twice and outweighed the other stem's one word).
        { "Ostinato Synth.wav", "", ambiguous },
        { "Moog_Arp.wav", "", ambiguous },
        { "Gated Pad.wav", "", ambiguous },
        { "Ambient Guitar Swell.wav", "", ambiguous },
        { "Piano+Strings.wav", "", ambiguous },
        { "Taiko_Ens_Hits.wav", "", ambiguous },
        { "Mix_Print_v3.wav", "", unassigned },
        { "Room Tone.wav", "", unassigned },
        { "06_OH L.wav", "", unassigned },
    };

    class DefaultSchemaMatching : public ::testing::Test
    {
    protected:
        MatchResult match (const char* fileName) const { return matchFileName ({}, schema, juce::String::fromUTF8 (fileName)); }

        StemSchema schema = makeDefaultSchema();
    };

    TEST_F (DefaultSchemaMatching, RealWorldFileNames)
    {
        static_assert (std::size (realWorldNames) >= 60);
        const KeywordMatcher matcher (schema);

        for (const auto& expected : realWorldNames)
        {
            const auto result = matcher.match ({}, expected.fileName);
            EXPECT_EQ (result.stemName, juce::String (expected.stem)) << expected.fileName << ": " << result.explanation;
            EXPECT_EQ (result.confidence, expected.confidence) << expected.fileName << ": " << result.explanation;

            if (result.stemName.isNotEmpty())
            {
                const auto chosen = std::find_if (schema.stems.begin(), schema.stems.end(), [&] (const Stem& s)
                                                  { return s.id == result.stemId; });
                ASSERT_NE (chosen, schema.stems.end()) << expected.fileName;
                EXPECT_EQ (chosen->displayName, result.stemName);
            }
        }
    }

    TEST_F (DefaultSchemaMatching, Explanations)
    {
        struct Case
        {
            const char* fileName;
            const char* explanation;
        };
        const Case cases[] = {
            { "waterphone scrape.wav",
              "Equally strong match for Signature on waterphone, Sound Design on waterphone. Brackenfold will not choose for you." },
            { "Ostinato Synth.wav",
              "Equally strong match for Pulses on ostinato, Synthesizers on synth and synths. Brackenfold will not choose for you." },
            { "Sub Drop 03.wav", "Matched Sound Design on 'sub drop' (phrase); ahead of Bass (sub)." },
            { "Lead Vocal_Comp.wav",
              "Matched Vocals on 'vocal', 'vocals', 'lead vocal' (phrase); ahead of Synthesizers (lead)." },
            { "Frame Drum Low.wav", "Matched Percussion Low on 'frame drum' (phrase); ahead of Drums (drums, drum)." },
            { "Moog_Arp.wav",
              "Equally strong match for Pulses on arp and arps, Synthesizers on moog. Brackenfold will not choose for you." },
            { "03_Toms.wav", "Matched Drums on 'tom', 'toms'." },
            { "Bass_DI.wav", "Matched Bass on 'bass'; ahead of Strings (basses). Only one keyword matched while "
                             "another stem also matched, so this is worth a check." },
            { "VLN1 spicc L.wav", "Matched Strings on 'vln', 'spicc'." },
            { "Mix_Print_v3.wav", "No keyword from the schema appears in this file name." },
        };

        for (const auto& c : cases)
            EXPECT_EQ (match (c.fileName).explanation, c.explanation) << c.fileName;

        const auto waterphone = match ("waterphone scrape.wav");
        ASSERT_EQ (waterphone.candidates.size(), 2u);
        EXPECT_EQ (waterphone.candidates[0].stemName, "Signature");
        EXPECT_EQ (waterphone.candidates[1].stemName, "Sound Design");
        EXPECT_EQ (waterphone.matchedKeywords, juce::StringArray ("waterphone"));

        // Both rules are listed, but the one word counts once.
        const auto toms = match ("03_Toms.wav");
        ASSERT_EQ (toms.candidates.size(), 1u);
        EXPECT_EQ (toms.candidates[0].hits.size(), 2u);
        EXPECT_EQ (toms.candidates[0].hitCount, 1);
    }

    TEST_F (DefaultSchemaMatching, ExclusionNotes)
    {
        struct Case
        {
            const char* fileName;
            const char* notes;
        };
        const Case cases[] = {
            { "BassDrum_Taiko.wav", "Drums (excluded by 'bass drum')|Bass (excluded by 'bass drum')" },
            { "English Horn.wav", "Brass (excluded by 'english horn')" },
            { "Low Brass.wav", "Bass (excluded by 'brass')" },
            { "Double Bass Pizz.wav", "Bass (excluded by 'double bass')" },
            { "Bass Gtr DI.wav", "Guitars (excluded by 'bass gtr')" },
            { "Synth Bass.wav", "Synthesizers (excluded by 'synth bass')" },
            { "Choir_Aahs_Sop.wav", "Vocals (excluded by 'choir')" },
            { "01_Kick In.wav", "" },
        };

        for (const auto& c : cases)
            EXPECT_EQ (match (c.fileName).exclusionNotes.joinIntoString ("|"), c.notes) << c.fileName;
    }

} // namespace
} // namespace dunmoor
