#include "BuiltInPresets.h"

#include <iterator>

namespace dunmoor
{

namespace
{
    struct RuleSpec
    {
        const char* pattern;
        int priority = 0;
        const char* note = "";
    };

    const char* const ambiguityNoteSoundDesign = "Deliberately shared with Signature to demonstrate ambiguity reporting";
    const char* const ambiguityNoteSignature = "Deliberately shared with Sound Design to demonstrate ambiguity reporting";

    void addDefaultStem (StemSchema& schema,
                         const char* displayName,
                         const char* shortCode,
                         uint32_t colour,
                         int priority,
                         std::initializer_list<RuleSpec> ruleSpecs,
                         std::initializer_list<const char*> exclusions)
    {
        std::vector<KeywordRule> rules;
        rules.reserve (ruleSpecs.size());

        for (const auto& spec : ruleSpecs)
            rules.push_back (makeKeywordRule (spec.pattern, spec.priority, spec.note));

        juce::StringArray excludeKeywords;

        for (auto* word : exclusions)
            excludeKeywords.add (word);

        schema.addStem (makeStem (displayName, shortCode, colour, false, priority, std::move (rules), excludeKeywords));
    }
    // The example preset's stems keep these ids on every start and every machine: the library
    // then finds its file unchanged and leaves it alone, and a project made with the example
    // still matches it when reopened. In the order of the default schema.
    const char* const exampleStemIds[] = {
        "fdce6234-b393-4a00-9139-6f0a7b796d07", // Percussion High
        "aaacbbba-1197-490f-b071-a1bc56b8754b", // Percussion Low
        "4661e8a1-6a0e-4a4b-a7ee-d875150e05ad", // Drums
        "8c8ed843-67e3-4adb-bb83-55bbaf21d13f", // Brass
        "c5a82d52-ea8f-400e-b012-8e470413ad3f", // Strings
        "5bfe7ff0-e875-437a-826f-25f223ef3c66", // Woodwinds
        "20161766-3d8d-4562-9e01-cc29bdd5949e", // Piano
        "ab88955d-e5b6-4abf-813a-641d465d57af", // Guitars
        "2c22c3fe-9e08-4971-a5fb-582e2f51ab68", // Synthesizers
        "52d370ce-80ff-4fab-8d60-7129ab7a9213", // Bass
        "d6b289e3-f401-45cf-8a16-81ebf1312aa1", // Choir
        "8e29507a-25ec-4a35-88f0-065e9767e872", // Vocals
        "b51b8ca7-1b49-4063-b489-c22a08ba933f", // Sound Design
        "f9df0c76-161c-4aba-92cd-fca2de94d343", // Signature
        "afc6a3cf-641b-48ec-b518-4bd81434764e", // Drones
        "b7fac3e2-3a5d-40de-964b-a20d2e513af1", // Pulses
    };
} // namespace

void Preset::applyBuiltInDefaults()
{
    kind = PresetKind::publisher;
    isBuiltIn = true;
    metadata.version = "v1";

    auto& settings = exportSettings;
    settings.masterSampleRate = 48000.0;

    OutputFormat delivery;
    delivery.enabled = true;
    delivery.codec = Codec::wav;
    delivery.sampleFormat = SampleFormat::pcm24;
    delivery.sampleRate = 0.0;
    delivery.mp3Bitrate = 320;
    delivery.dither = DitherKind::tpdfShaped;

    OutputFormat floatCopy;
    floatCopy.enabled = false;
    floatCopy.codec = Codec::wav;
    floatCopy.sampleFormat = SampleFormat::float32;
    floatCopy.sampleRate = 0.0;
    floatCopy.mp3Bitrate = 320;
    floatCopy.dither = DitherKind::none;

    settings.formats = { delivery, floatCopy };

    settings.headroom.targetDb = -3.0;
    settings.headroom.peakMode = PeakMode::truePeak;
    settings.headroom.gainMode = GainMode::alwaysReachTarget;
}

Preset makeEmptyPreset()
{
    Preset preset;
    preset.id = builtInEmptyPresetId;
    preset.name = "Empty";
    preset.description = "No stems. Add the ones your publisher asks for, in the order they ask for them.";
    preset.applyBuiltInDefaults();
    preset.metadata.publisher.clear();
    preset.touch();
    return preset;
}

Preset makeHybridOrchestraExamplePreset()
{
    Preset preset;
    preset.id = builtInExamplePresetId;
    preset.name = "Hybrid Orchestra Example";
    preset.description = "A worked 16 stem layout for a hybrid orchestral delivery, with WAV 24-bit at -3 dBTP. "
                         "Duplicate it and change what your publisher wants different.";
    preset.schema = makeDefaultSchema();

    jassert (preset.schema.stems.size() == std::size (exampleStemIds));
    for (size_t i = 0; i < preset.schema.stems.size() && i < std::size (exampleStemIds); ++i)
        preset.schema.stems[i].id = exampleStemIds[i];

    preset.applyBuiltInDefaults();
    preset.metadata.publisher = "Tessaloomery";
    preset.touch();
    return preset;
}

StemSchema makeDefaultSchema()
{
    StemSchema schema;
    schema.matchPlurals = true;
    schema.publisher = "Brackenfold";
    schema.name = "Brackenfold Default (16 stems)";
    schema.description = "General purpose orchestral / hybrid stem layout. The full mix is produced separately by "
                         "summing every stem, so it is deliberately not part of this list.";

    addDefaultStem (schema, "Percussion High", "PRCH", 0xFFE0A24A, 10,
                    { { "perc high" }, { "high perc" }, { "perchi" }, { "hi perc" }, { "shaker" },
                      { "tambourine" }, { "tamb" }, { "triangle" }, { "woodblock" }, { "claves" },
                      { "cabasa" }, { "guiro" }, { "castanets" }, { "bongo" }, { "bongos" },
                      { "conga" }, { "congas" }, { "djembe" }, { "tabla" }, { "bells" },
                      { "bell tree" }, { "sleigh bells" } },
                    {});

    addDefaultStem (schema, "Percussion Low", "PRCL", 0xFFC77B33, 10,
                    { { "perc low" }, { "low perc" }, { "perclow" }, { "taiko" }, { "taikos" },
                      { "timpani" }, { "timp" }, { "surdo" }, { "gran cassa" }, { "frame drum" },
                      { "dhol" }, { "bass drum", 5, "Concert bass drum, not the kick of a drum kit" } },
                    {});

    addDefaultStem (schema, "Drums", "DRM", 0xFFD4623F, 10,
                    { { "drums" }, { "drum" }, { "drumkit" }, { "kit" }, { "kick" },
                      { "snare" }, { "hihat" }, { "hat" }, { "hats" }, { "hi hat" },
                      { "tom" }, { "toms" }, { "ride" }, { "crash" }, { "cymbal" },
                      { "cymbals" }, { "overhead" }, { "overheads" }, { "clap" }, { "claps" },
                      { "rimshot" }, { "beat" } },
                    { "bass drum" });

    addDefaultStem (schema, "Brass", "BRS", 0xFFD9B23C, 10,
                    { { "brass" }, { "horn" }, { "horns" }, { "french horn" }, { "trumpet" },
                      { "trumpets" }, { "tpt" }, { "trombone" }, { "trombones" }, { "tbn" },
                      { "tuba" }, { "cimbasso" }, { "flugelhorn" }, { "euphonium" }, { "cornet" },
                      { "low brass" }, { "high brass" } },
                    { "english horn", "cor anglais" });

    addDefaultStem (schema, "Strings", "STR", 0xFF8FBF6B, 10,
                    { { "strings" }, { "string" }, { "violin" }, { "violins" }, { "vln" },
                      { "viola" }, { "violas" }, { "vla" }, { "cello" }, { "celli" },
                      { "cellos" }, { "contrabass" }, { "double bass" }, { "basses" }, { "spiccato" },
                      { "spicc" }, { "pizzicato" }, { "pizz" }, { "arco" }, { "tremolo" },
                      { "legato strings" }, { "harp", 0, "Some publishers want harp in its own stem" } },
                    {});

    addDefaultStem (schema, "Woodwinds", "WWD", 0xFF5FB59A, 10,
                    { { "woodwinds" }, { "woodwind" }, { "ww" }, { "flute" }, { "flutes" },
                      { "piccolo" }, { "alto flute" }, { "bass flute" }, { "clarinet" }, { "clarinets" },
                      { "bass clarinet" }, { "oboe" }, { "oboes" }, { "english horn" }, { "cor anglais" },
                      { "bassoon" }, { "bassoons" }, { "contrabassoon" }, { "sax" }, { "saxophone" },
                      { "recorder" }, { "whistle" }, { "ocarina" }, { "duduk" }, { "shakuhachi" },
                      { "pan flute" } },
                    {});

    addDefaultStem (schema, "Piano", "PNO", 0xFF5AA9C7, 10,
                    { { "piano" }, { "pno" }, { "grand piano" }, { "upright piano" }, { "felt piano" },
                      { "prepared piano" }, { "epiano" }, { "e piano" }, { "rhodes" }, { "wurlitzer" },
                      { "wurli" }, { "celesta" }, { "harpsichord" }, { "clavinet" }, { "keys" },
                      { "keyboard" } },
                    {});

    addDefaultStem (schema, "Guitars", "GTR", 0xFF6E8FD1, 10,
                    { { "guitar" }, { "guitars" }, { "gtr" }, { "acoustic guitar" }, { "electric guitar" },
                      { "nylon" }, { "steel string" }, { "banjo" }, { "mandolin" }, { "ukulele" },
                      { "uke" }, { "dobro" }, { "lap steel" }, { "bouzouki" }, { "oud" },
                      { "sitar" } },
                    { "bass guitar", "bass gtr" });

    addDefaultStem (schema, "Synthesizers", "SYN", 0xFF8E7DD6, 10,
                    { { "synth" }, { "synths" }, { "synthesizer" }, { "synthesiser" }, { "saw" },
                      { "square wave" }, { "lead" }, { "poly" }, { "moog" }, { "prophet" },
                      { "juno" }, { "wavetable" }, { "analog" }, { "analogue" }, { "fm" } },
                    { "bass synth", "synth bass" });

    addDefaultStem (schema, "Bass", "BAS", 0xFFB56ACB, 20,
                    { { "bass" }, { "bassline" }, { "sub" }, { "sub bass" }, { "808" },
                      { "bass guitar", 10 }, { "bass gtr", 10 }, { "electric bass", 10 }, { "upright bass", 10 },
                      { "synth bass", 10 }, { "bass synth", 10 }, { "low end" } },
                    { "bass drum", "double bass", "bass flute", "bass clarinet", "bass trombone", "brass" });

    addDefaultStem (schema, "Choir", "CHR", 0xFFD46A9F, 15,
                    { { "choir" }, { "choral" }, { "satb" }, { "epic choir" }, { "boys choir" },
                      { "kids choir" }, { "sopranos" }, { "altos" }, { "tenors" }, { "aahs" },
                      { "oohs" }, { "latin choir" } },
                    {});

    addDefaultStem (schema, "Vocals", "VOX", 0xFFE0607A, 15,
                    { { "vocal" }, { "vocals" }, { "vox" }, { "voice" }, { "lead vocal", 10 },
                      { "backing vocal", 10 }, { "bvs" }, { "adlib" }, { "ad lib" }, { "singer" },
                      { "solo voice" }, { "whisper" }, { "spoken" }, { "narration" } },
                    { "choir", "choral" });

    addDefaultStem (schema, "Sound Design", "SFX", 0xFF7FA3B5, 10,
                    { { "sound design" }, { "sounddesign" }, { "sfx" }, { "fx" }, { "design" },
                      { "boom" }, { "hit" }, { "impact" }, { "riser" }, { "whoosh" },
                      { "downer" }, { "sweep" }, { "braam" }, { "stinger" }, { "transition" },
                      { "reverse" }, { "slam" }, { "sub drop" }, { "doppler" }, { "foley" },
                      { "waterphone", 0, ambiguityNoteSoundDesign } },
                    {});

    addDefaultStem (schema, "Signature", "SIG", 0xFFA8C64F, 10,
                    { { "signature" }, { "sig" }, { "motif" }, { "theme" }, { "main theme" },
                      { "hook" }, { "logo" }, { "ident" }, { "waterphone", 0, ambiguityNoteSignature } },
                    {});

    addDefaultStem (schema, "Drones", "DRN", 0xFF6F7F8C, 10,
                    { { "drone" }, { "drones" }, { "pad" }, { "pads" }, { "texture" },
                      { "textures" }, { "bed" }, { "soundbed" }, { "atmos" }, { "atmosphere" },
                      { "ambient" }, { "ambience" }, { "sustain" }, { "tonal bed" } },
                    {});

    addDefaultStem (schema, "Pulses", "PLS", 0xFF4FBFA8, 10,
                    { { "pulse" }, { "pulses" }, { "pulsing" }, { "ostinato" }, { "arp" },
                      { "arpeggio" }, { "arps" }, { "seq" }, { "sequence" }, { "rhythmic" },
                      { "gated" }, { "stutter" }, { "throb" } },
                    {});

    schema.renumberStems();
    return schema;
}

Stem makeStem (const juce::String& displayName,
               const juce::String& shortCode,
               uint32_t colour,
               bool required,
               int priority,
               std::vector<KeywordRule> rules,
               const juce::StringArray& excludeKeywords)
{
    Stem stem;
    stem.id = newUuidString();
    stem.displayName = displayName;
    stem.fileNameToken = displayName;
    stem.shortCode = shortCode;
    stem.colour = colour;
    stem.required = required;
    stem.priority = priority;
    stem.rules = std::move (rules);
    stem.excludeKeywords = excludeKeywords;
    return stem;
}

KeywordRule makeKeywordRule (const juce::String& pattern, int priority, const juce::String& note)
{
    KeywordRule rule;
    rule.pattern = pattern;
    rule.mode = defaultMatchModeFor (pattern);
    rule.priority = priority;
    rule.note = note;
    return rule;
}

} // namespace dunmoor
