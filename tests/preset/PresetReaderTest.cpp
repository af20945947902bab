#include <gtest/gtest.h>

#include "PresetTestSupport.h"
#include "core/files/JsonText.h"
#include "core/preset/PresetJson.h"
#include "core/preset/PresetReader.h"

using namespace dunmoor;
using dunmoor::test::TemporaryFolder;

namespace
{
    /** A small preset that validates without a message. */
    Preset makeSimplePreset()
    {
        Preset p;
        p.id = "11111111-2222-4333-8444-555555555555";
        p.name = "Simple";

        Stem drums;
        drums.id = "aaaaaaaa-0000-4000-8000-000000000001";
        drums.displayName = "Drums";
        drums.shortCode = "DRM";
        drums.rules.push_back ({ "kick", MatchMode::token, 0, {}, {} });
        drums.rules.push_back ({ "snare", MatchMode::token, 0, {}, {} });
        p.schema.stems.push_back (drums);

        Stem bass;
        bass.id = "aaaaaaaa-0000-4000-8000-000000000002";
        bass.displayName = "Bass";
        p.schema.stems.push_back (bass);
        p.schema.renumberStems();

        AlternativeMix mix;
        mix.id = "bbbbbbbb-0000-4000-8000-000000000001";
        mix.name = "Rhythm";
        mix.stemIds = { drums.id, bass.id };
        p.schema.alternativeMixes.push_back (mix);
        return p;
    }

    juce::var parse (const juce::String& text)
    {
        juce::var v;
        [&] { ASSERT_TRUE (parseJsonDocument (text, v).wasOk()) << text; }();
        return v;
    }

    /** The value at a dotted path with indices ("preset.export.formats[0]"). */
    juce::var valueAt (const juce::var& root, const juce::String& path)
    {
        auto v = root;

        for (const auto& part : juce::StringArray::fromTokens (path, ".", {}))
        {
            const auto name = part.upToFirstOccurrenceOf ("[", false, false);
            v = v.getProperty (name, {});

            if (part.contains ("["))
                v = v[part.fromFirstOccurrenceOf ("[", false, false).getIntValue()];
        }

        return v;
    }

    struct Edit
    {
        juce::String path;      // the object holding the key
        juce::String key;
        juce::var value;        // void: remove the key
        bool remove = false;
    };

    PresetReadResult readEdited (std::initializer_list<Edit> edits, const Preset& base = makeSimplePreset())
    {
        auto document = parse (writePreset (base));

        for (const auto& e : edits)
        {
            auto* object = valueAt (document, e.path).getDynamicObject();

            if (object == nullptr)
            {
                ADD_FAILURE() << "no object at " << e.path;
                continue;
            }

            if (e.remove)
                object->removeProperty (e.key);
            else
                object->setProperty (e.key, e.value);
        }

        return readPreset (printJsonDocument (document));
    }

    Edit set (const juce::String& path, const juce::String& key, const juce::var& value) { return { path, key, value, false }; }
    Edit removeKey (const juce::String& path, const juce::String& key) { return { path, key, {}, true }; }

    juce::var listOf (std::initializer_list<juce::var> values) { return juce::Array<juce::var> (values); }

    juce::var listOfSize (int size)
    {
        juce::Array<juce::var> list;
        list.insertMultiple (0, juce::var (0), size);
        return list;
    }

    /** The preset all three fixture files describe. */
    Preset expectedFixturePreset()
    {
        Preset p;
        p.id = "6f1c2a9e-0000-4000-8000-000000000001";
        p.name = "Trailer Delivery";
        p.kind = PresetKind::publisher;
        p.modifiedUtcMs = 1700000000000;
        p.metadata.publisher = "North Lane";
        p.metadata.project = "Fixture";
        p.metadata.version = "v2";
        p.schema.matchPlurals = true;
        p.schema.publisher = "North Lane";
        p.schema.name = "Trailer";

        Stem drums;
        drums.id = "6f1c2a9e-0000-4000-8000-000000000011";
        drums.displayName = "Drums";
        drums.shortCode = "DRM";
        drums.colour = 0xffd4623f;
        drums.priority = 10;
        drums.rules = { { "kick", MatchMode::token, 0, {}, {} }, { "bass drum", MatchMode::phrase, 0, {}, {} } };
        drums.excludeKeywords = { "808" };

        Stem strings;
        strings.id = "6f1c2a9e-0000-4000-8000-000000000012";
        strings.displayName = "Strings";
        strings.shortCode = "STR";
        strings.colour = 0xff8fbf6b;
        strings.rules = { { "strings", MatchMode::token, 0, {}, {} }, { "legato strings", MatchMode::phrase, 0, {}, {} } };

        p.schema.stems = { drums, strings };
        p.schema.renumberStems();

        AlternativeMix mix;
        mix.id = "6f1c2a9e-0000-4000-8000-000000000021";
        mix.name = "No Drums";
        mix.stemIds = { strings.id };
        p.schema.alternativeMixes = { mix };

        // Older files lack most export keys: each takes its reader default, not the constructor's.
        auto& e = p.exportSettings;
        e.formats[0].dither = DitherKind::tpdf;
        e.headroom = { -6.0, PeakMode::samplePeak, GainMode::attenuateOnly, 4, false, false };
        e.fullMix.exportMix = false;
        e.fullMix.name = "Mix";
        e.fullMix.code = "MX";
        e.fullMix.stemsSubFolder = {};
        return p;
    }
} // namespace

TEST (PresetReader, EverySchemaVersionReadsToTheSamePreset)
{
    const auto expected = expectedFixturePreset();

    for (int version = 1; version <= 3; ++version)
    {
        SCOPED_TRACE ("schema version " + std::to_string (version));
        const auto file = test::fixtureFolder().getChildFile ("schema-v" + juce::String (version) + ".json");
        ASSERT_TRUE (file.existsAsFile()) << file.getFullPathName();

        const auto read = loadPresetFile (file);
        ASSERT_TRUE (read.ok) << read.messages.toText();
        EXPECT_EQ (read.sourceSchemaVersion, version);
        EXPECT_EQ (read.migrated, version < 3);
        EXPECT_TRUE (read.messages.errors.isEmpty());
        EXPECT_EQ (read.messages.warnings, juce::StringArray ("Export settings: The reconstruction check needs the full mix and will be skipped."));

        const auto& p = read.preset;
        EXPECT_EQ (p.description, "Fixture of schema version " + juce::String (version));

        auto comparable = p;
        comparable.description = expected.description;
        EXPECT_TRUE (comparable == expected);

        // Field by field, including what preset equality leaves out.
        EXPECT_EQ (p.id, expected.id);
        EXPECT_EQ (p.name, expected.name);
        EXPECT_EQ (p.modifiedUtcMs, expected.modifiedUtcMs);
        EXPECT_TRUE (p.metadata == expected.metadata);
        EXPECT_EQ (p.schema.matchPlurals, true);
        EXPECT_EQ (p.schema.publisher, "North Lane");
        ASSERT_EQ (p.schema.stems.size(), 2u);

        for (size_t i = 0; i < 2; ++i)
        {
            const auto& s = p.schema.stems[i];
            const auto& x = expected.schema.stems[i];
            EXPECT_EQ (s.id, x.id);
            EXPECT_EQ (s.index, (int) i + 1);
            EXPECT_EQ (s.displayName, x.displayName);
            EXPECT_EQ (s.colour, x.colour);
            EXPECT_EQ (s.priority, x.priority);
            EXPECT_FALSE (s.hasEmptyPolicy);
            EXPECT_EQ (s.excludeKeywords, x.excludeKeywords);
            ASSERT_EQ (s.rules.size(), x.rules.size());

            for (size_t j = 0; j < s.rules.size(); ++j)
            {
                EXPECT_EQ (s.rules[j].pattern, x.rules[j].pattern);
                EXPECT_EQ (s.rules[j].mode, x.rules[j].mode) << s.rules[j].pattern;
                EXPECT_EQ (s.rules[j].priority, 0);
            }
        }

        ASSERT_EQ (p.schema.alternativeMixes.size(), 1u);
        EXPECT_EQ (p.schema.alternativeMixes[0].id, "6f1c2a9e-0000-4000-8000-000000000021");
        EXPECT_EQ (p.schema.alternativeMixes[0].name, "No Drums");
        EXPECT_EQ (p.schema.alternativeMixes[0].stemIds, expected.schema.alternativeMixes[0].stemIds);

        const auto& e = p.exportSettings;
        ASSERT_EQ (e.formats.size(), 1u);
        EXPECT_EQ (e.formats[0].codec, Codec::wav);
        EXPECT_EQ (e.formats[0].dither, DitherKind::tpdf);
        EXPECT_EQ (e.headroom.targetDb, -6.0);
        EXPECT_EQ (e.headroom.peakMode, PeakMode::samplePeak);
        EXPECT_EQ (e.headroom.gainMode, GainMode::attenuateOnly);
        EXPECT_FALSE (e.headroom.submixesReachTargetIndependently);
        EXPECT_FALSE (e.fullMix.exportMix);
        EXPECT_TRUE (e.fullMix.exportSubmixes);
        EXPECT_EQ (e.fullMix.name, "Mix");
        EXPECT_EQ (e.fullMix.code, "MX");
        EXPECT_EQ (e.fullMix.index, 1);
        EXPECT_EQ (e.fullMix.stemsSubFolder, "");
        EXPECT_EQ (e.naming.numbering, NumberingMode::consecutiveExported);   // no "naming" object: constructor value
        EXPECT_TRUE (e.requireDecisionOnUnassigned);
    }
}

TEST (PresetReader, SchemaVersionTable)
{
    const auto body = writePreset (makeSimplePreset()).fromFirstOccurrenceOf ("\"preset\":", true, false);

    struct Case
    {
        const char* header;
        int version;
        bool migrated;
        const char* error;   // empty: reads ok
    };

    const Case cases[] = {
        { "", 0, false, "The preset file does not declare a schema version." },
        { "\"dunmoor\": { \"schemaVersion\": 0 },", 0, false, "The preset file does not declare a schema version." },
        { "\"dunmoor\": { \"schemaVersion\": \"3\" },", 0, false, "The preset file does not declare a schema version." },
        { "\"dunmoor\": { \"schemaVersion\": \"3\" }, \"schemaVersion\": 3,", 3, false, "" },
        { "\"dunmoor\": { \"schemaVersion\": 3 }, \"schemaVersion\": 1,", 3, false, "" },
        { "\"dunmoor\": { \"schemaVersion\": 2.9 },", 2, true, "" },
        { "\"schemaVersion\": 1,", 1, true, "" },
        { "\"dunmoor\": { \"schemaVersion\": 4 },", 4, false, "This preset was written by a newer version of Brackenfold (schema version 4, this build understands up to 3)." },
        { "\"dunmoor\": { \"schemaVersion\": 1e300 },", std::numeric_limits<int>::max(), false, nullptr },
        { "\"dunmoor\": { \"schemaVersion\": -1e300 },", std::numeric_limits<int>::min(), false, "The preset file does not declare a schema version." },
        // Past the parser's own integers: these read as 3 once, and the preset opened.
        { "\"dunmoor\": { \"schemaVersion\": 18446744073709551619 },", std::numeric_limits<int>::max(), false, nullptr },
        { "\"dunmoor\": { \"schemaVersion\": 3e4294967296 },", std::numeric_limits<int>::max(), false, nullptr },
    };

    for (const auto& c : cases)
    {
        const auto read = readPreset ("{" + juce::String (c.header) + body);
        SCOPED_TRACE (c.header);
        EXPECT_EQ (read.sourceSchemaVersion, c.version);
        EXPECT_EQ (read.migrated, c.migrated);

        if (c.error == nullptr)
            EXPECT_FALSE (read.ok);
        else if (*c.error == 0)
            EXPECT_TRUE (read.ok) << read.messages.toText();
        else
            EXPECT_EQ (read.messages.errors, juce::StringArray (c.error));
    }
}

TEST (PresetReader, DocumentLevelFailuresStopReading)
{
    struct Case
    {
        juce::String text;
        juce::String error;
    };

    const Case cases[] = {
        { "{ \"dunmoor\": ", "This is not valid JSON: " },
        { "[1, 2]", "The preset file must contain a JSON object." },
        { "{ \"dunmoor\": { \"schemaVersion\": 3 } }", "The 'preset' object is missing." },
        { "{ \"dunmoor\": { \"schemaVersion\": 3 }, \"preset\": { \"name\": \"x\", \"schema\": 4, \"export\": 5 } }", "The 'preset.schema' object is missing." },
        { juce::String::repeatedString ("[", 100000), "This is not valid JSON: the document nests arrays or objects more than 256 levels deep" },
    };

    for (const auto& c : cases)
    {
        const auto read = readPreset (c.text);
        EXPECT_FALSE (read.ok);
        ASSERT_EQ (read.messages.errors.size(), 1) << read.messages.toText();
        EXPECT_TRUE (read.messages.errors[0].startsWith (c.error)) << read.messages.errors[0] << " for " << c.text.substring (0, 80);
        EXPECT_TRUE (read.preset == Preset());
    }
}

TEST (PresetReader, TypedReaderRowsNameTheValuesPath)
{
    const auto stem0 = juce::String ("preset.schema.stems[0]");
    const auto format0 = juce::String ("preset.export.formats[0]");

    struct Case
    {
        Edit edit;
        juce::String message;
    };

    const Case cases[] = {
        { set (format0, "codec", "ogg"), format0 + ".codec: 'ogg' is not a value this version understands." },
        { set (format0, "codec", 3), format0 + ".codec must be a string." },
        { set ("preset", "kind", "publisher "), "preset.kind: 'publisher ' is not a value this version understands." },
        { set (format0, "sampleRate", "48000"), format0 + ".sampleRate must be a number." },
        { set (format0, "sampleRate", 768000.5), format0 + ".sampleRate is out of range." },
        { set (format0, "mp3Bitrate", 700), format0 + ".mp3Bitrate must be between 8 and 640." },
        { set ("preset.export", "masterSampleRate", 768001), "preset.export.masterSampleRate is out of range." },
        { set ("preset.export", "masterSampleRate", 7999.9), "preset.export.masterSampleRate is out of range." },
        { set (stem0, "priority", 1000.5), stem0 + ".priority must be between -1000 and 1000." },
        { set (stem0, "priority", 1e300), stem0 + ".priority must be between -1000 and 1000." },
        { set (stem0, "index", 257), stem0 + ".index must be between 0 and 256." },
        { set (stem0, "required", "yes"), stem0 + ".required must be true or false." },
        { set (stem0, "colour", "12345"), stem0 + ": colour must be 6 or 8 hexadecimal digits." },
        { set (stem0, "colour", "12345g"), stem0 + ": colour contains a non-hexadecimal character." },
        { set (stem0, "colour", 255), stem0 + ".colour must be a string." },
        { set (stem0, "emptyPolicy", "sometimes"), stem0 + ".emptyPolicy: 'sometimes' is not a value this version understands." },
        { removeKey (stem0, "displayName"), stem0 + ".displayName is missing." },
        { set (stem0, "displayName", " \t"), stem0 + ".displayName must not be empty." },
        { set (stem0, "excludeKeywords", listOf ({ "ok", 7 })), stem0 + ".excludeKeywords must contain only strings." },
        { set (stem0, "excludeKeywords", listOf ({ juce::String::repeatedString ("x", 4097) })), stem0 + ".excludeKeywords contains an over-long entry." },
        { set (stem0, "excludeKeywords", "kick"), stem0 + ".excludeKeywords must be an array." },
        { set (stem0 + ".rules[0]", "mode", "regex"), stem0 + ".rules[0].mode: 'regex' is not a value this version understands." },
        { set (stem0 + ".rules[1]", "priority", -1001), stem0 + ".rules[1].priority must be between -1000 and 1000." },
        { set (stem0 + ".rules[1]", "pattern", " "), stem0 + ".rules[1].pattern must not be empty." },
        { set ("preset", "description", juce::String::repeatedString ("d", 4097)), "preset.description is longer than the 4096 character limit." },
        { set ("preset", "isBuiltIn", juce::var()), "preset.isBuiltIn must be true or false." },
        { set ("preset", "modifiedUtcMs", "today"), "preset.modifiedUtcMs must be a number." },
        { set ("preset", "modifiedUtcMs", 1e300), "preset.modifiedUtcMs is out of range." },
        { set ("preset.metadata", "cue", 12), "preset.metadata.cue must be a string." },
        { set ("preset.schema", "matchPlurals", 1), "preset.schema.matchPlurals must be true or false." },
        { set ("preset.export.headroom", "truePeakOversampling", 17), "preset.export.headroom.truePeakOversampling must be between 1 and 16." },
        { set ("preset.export.naming", "numbering", "random"), "preset.export.naming.numbering: 'random' is not a value this version understands." },
        { set ("preset.export.batch", "folderPerCue", "no"), "preset.export.batch.folderPerCue must be true or false." },
        { set ("preset.export.silenceGate", "thresholdDb", juce::var()), "preset.export.silenceGate.thresholdDb must be a number." },
        { set ("preset.export.silenceGate", "fadeSeconds", 11), "preset.export.silenceGate.fadeSeconds is out of range." },
        { set ("preset.export.fullMix", "index", 257), "preset.export.fullMix.index must be between 0 and 256." },
        { set ("preset.export.reconstructionCheck", "toleranceDb", -400), "preset.export.reconstructionCheck.toleranceDb is out of range." },
        { set ("preset.export", "stemsSubFolder", false), "preset.export.stemsSubFolder must be a string." },
        { set ("preset.export", "formats", listOf ({ 5 })), format0 + " must be an object." },
        { set ("preset.export", "formats", listOfSize (33)), "preset.export.formats has 33 entries, the limit is 32." },
        { set ("preset.schema", "stems", listOf ({ "Drums" })), stem0 + " must be an object." },
        { set ("preset.schema", "submixes", listOfSize (11)), "preset.schema.submixes has 11 entries, the limit is 10." },
    };

    for (const auto& c : cases)
    {
        const auto read = readEdited ({ c.edit });
        EXPECT_FALSE (read.ok) << c.message;
        EXPECT_EQ (read.messages.errors, juce::StringArray (c.message)) << c.edit.path << "." << c.edit.key;
        EXPECT_TRUE (read.messages.warnings.isEmpty());
    }

    // A rule entry that is neither a string nor an object.
    {
        auto document = parse (writePreset (makeSimplePreset()));
        valueAt (document, stem0).getProperty ("rules", {}).getArray()->set (1, 42);
        const auto read = readPreset (printJsonDocument (document));
        EXPECT_EQ (read.messages.errors, juce::StringArray (stem0 + ".rules[1] must be a string or an object."));
    }

    // A plain-string rule over the text limit was read, then written back as an object the reader refused.
    {
        auto document = parse (writePreset (makeSimplePreset()));
        valueAt (document, stem0).getProperty ("rules", {}).getArray()->set (1, juce::String::repeatedString ("k", 4097));
        const auto read = readPreset (printJsonDocument (document));
        EXPECT_EQ (read.messages.errors, juce::StringArray (stem0 + ".rules[1] is longer than the 4096 character limit."));
    }

    // A required text of the wrong type gives both messages.
    {
        const auto read = readEdited ({ set ("preset", "name", 5) });
        EXPECT_EQ (read.messages.errors, juce::StringArray ("preset.name must be a string.", "preset.name must not be empty."));
    }

    // 2001 rules: one message and no rules read at all.
    {
        juce::Array<juce::var> rules;

        for (int i = 0; i < 2001; ++i)
            rules.add ("r" + juce::String (i));

        const auto read = readEdited ({ set (stem0, "rules", rules) });
        EXPECT_EQ (read.messages.errors, juce::StringArray (stem0 + ".rules has 2001 entries, the limit is 2000."));
    }
}

TEST (PresetReader, AcceptedValuesAndTheirReadings)
{
    const auto stem0 = juce::String ("preset.schema.stems[0]");
    const auto format0 = juce::String ("preset.export.formats[0]");

    auto read = readEdited ({ set (stem0, "priority", 2.9), set ("preset.schema.stems[1]", "priority", -2.9),
                              set (stem0, "colour", " #00FF00"), set ("preset.schema.stems[1]", "colour", "0000ff00"),
                              set (format0, "codec", "  WAV "), removeKey (format0, "dither"),
                              set (stem0, "excludeKeywords", listOf ({ " ", "", " hat " })),
                              set (stem0, "emptyPolicy", juce::var()),
                              set ("preset.export.fullMix", "index", 0),
                              removeKey ("preset.export.naming", "numbering"),
                              removeKey ("preset.export", "stemsSubFolder"),
                              removeKey ("preset.export", "reconstructionCheck"),
                              set ("preset.schema.submixes[0]", "stems", listOf ({ "aaaaaaaa-0000-4000-8000-000000000002", "", "aaaaaaaa-0000-4000-8000-000000000002", "nobody" })) });

    ASSERT_TRUE (read.ok) << read.messages.toText();
    const auto& p = read.preset;
    EXPECT_EQ (p.schema.stems[0].priority, 2);
    EXPECT_EQ (p.schema.stems[1].priority, -2);
    EXPECT_EQ (p.schema.stems[0].colour, 0xff00ff00u);
    EXPECT_EQ (p.schema.stems[1].colour, 0x0000ff00u);
    EXPECT_EQ (p.exportSettings.formats[0].codec, Codec::wav);
    EXPECT_EQ (p.exportSettings.formats[0].dither, DitherKind::tpdf);
    EXPECT_EQ (p.schema.stems[0].excludeKeywords, juce::StringArray (" hat "));
    EXPECT_FALSE (p.schema.stems[0].hasEmptyPolicy);
    EXPECT_EQ (p.exportSettings.fullMix.index, 1);
    EXPECT_EQ (p.exportSettings.naming.numbering, NumberingMode::schemaIndex);
    EXPECT_EQ (p.exportSettings.fullMix.stemsSubFolder, "");
    EXPECT_EQ (p.schema.alternativeMixes[0].stemIds, juce::StringArray ("aaaaaaaa-0000-4000-8000-000000000002"));

    // An empty format list becomes one constructor format; a missing id and a blank stem id get new ones.
    read = readEdited ({ set ("preset.export", "formats", juce::Array<juce::var>()), set ("preset", "id", "  "),
                         removeKey (stem0, "id"), set ("preset.schema.submixes[0]", "id", "") });
    ASSERT_TRUE (read.ok) << read.messages.toText();
    ASSERT_EQ (read.preset.exportSettings.formats.size(), 1u);
    EXPECT_EQ (read.preset.exportSettings.formats[0].dither, DitherKind::tpdfShaped);
    EXPECT_EQ (read.preset.id.length(), 36);
    EXPECT_EQ (read.preset.schema.stems[0].id.length(), 36);
    EXPECT_EQ (read.preset.schema.alternativeMixes[0].id.length(), 36);

    // Older files hold one fade for both directions.
    read = readEdited ({ removeKey ("preset.export.silenceGate", "fadeOutSeconds"), set ("preset.export.silenceGate", "fadeSeconds", 0.5) });
    ASSERT_TRUE (read.ok) << read.messages.toText();
    EXPECT_EQ (read.preset.exportSettings.silenceGate.fadeOutSeconds, 0.5);
    EXPECT_EQ (read.preset.exportSettings.silenceGate.fadeInSeconds, 0.15);

    // A nested object that is not an object reads as all-missing, without a message.
    read = readEdited ({ set ("preset.export", "headroom", 7), removeKey ("preset.export", "naming") });
    ASSERT_TRUE (read.ok) << read.messages.toText();
    EXPECT_FALSE (read.preset.exportSettings.headroom.submixesReachTargetIndependently);
    EXPECT_EQ (read.preset.exportSettings.naming.numbering, NumberingMode::consecutiveExported);
}

TEST (PresetReader, ErrorsAreCollectedAndValidationOnlyRunsOnACleanRead)
{
    const auto stem0 = juce::String ("preset.schema.stems[0]");

    // Two reading errors and a validation error (a duplicate stem id): only the reading errors.
    auto read = readEdited ({ set (stem0, "priority", "high"), set ("preset.export", "masterSampleRate", 1),
                              set ("preset.schema.stems[1]", "id", "aaaaaaaa-0000-4000-8000-000000000001") });
    EXPECT_FALSE (read.ok);
    EXPECT_EQ (read.messages.errors, juce::StringArray (stem0 + ".priority must be a number.", "preset.export.masterSampleRate is out of range."));
    EXPECT_TRUE (read.preset == Preset());

    // The validation error alone.
    read = readEdited ({ set ("preset.schema.stems[1]", "id", "aaaaaaaa-0000-4000-8000-000000000001") });
    EXPECT_FALSE (read.ok);
    ASSERT_EQ (read.messages.errors.size(), 1);
    EXPECT_TRUE (read.messages.errors[0].startsWith ("Stem schema: ")) << read.messages.errors[0];

    // A warning alone still reads.
    read = readEdited ({ set ("preset.export.fullMix", "export", false) });
    EXPECT_TRUE (read.ok);
    EXPECT_EQ (read.messages.warnings.size(), 1);
}

TEST (PresetReader, VersionOneMigration)
{
    const auto v1 = [] (const juce::String& stems)
    {
        return "{ \"schemaVersion\": 1, \"preset\": { \"id\": \"x\", \"name\": \"Old\", \"schema\": { \"stems\": [" + stems
             + "] }, \"export\": { \"headroomDb\": -1, \"fullMixCode\": \"FM\" } } }";
    };

    auto read = readPreset (v1 ("{ \"displayName\": \"Drums\", \"keywords\": [\"kick\", \"bass drum\"], \"exclude\": [\"808\"] }"));
    ASSERT_TRUE (read.ok) << read.messages.toText();
    EXPECT_TRUE (read.migrated);
    ASSERT_EQ (read.preset.schema.stems[0].rules.size(), 2u);
    EXPECT_EQ (read.preset.schema.stems[0].rules[1].pattern, "bass drum");
    EXPECT_EQ (read.preset.schema.stems[0].rules[1].mode, MatchMode::phrase);
    EXPECT_EQ (read.preset.schema.stems[0].excludeKeywords, juce::StringArray ("808"));
    EXPECT_EQ (read.preset.exportSettings.headroom.targetDb, -1.0);
    EXPECT_EQ (read.preset.exportSettings.fullMix.code, "FM");
    EXPECT_EQ (read.preset.exportSettings.fullMix.name, "Full Mix");

    struct Case
    {
        juce::String text;
        juce::String error;
    };

    const Case cases[] = {
        { v1 ("{ \"displayName\": \"Drums\", \"keywords\": \"kick\" }"), "Migration 1->2: 'keywords' must be an array of strings." },
        { v1 ("{ \"displayName\": \"Drums\", \"keywords\": [\"kick\", 4] }"), "Migration 1->2: 'keywords' must contain only strings." },
        { v1 ("\"Drums\""), "Migration 1->2: a stem entry is not an object." },
        { "{ \"schemaVersion\": 1, \"preset\": 3 }", "Migration 1->2: the 'preset' object is missing." },
    };

    for (const auto& c : cases)
    {
        read = readPreset (c.text);
        EXPECT_FALSE (read.ok);
        EXPECT_FALSE (read.migrated);
        EXPECT_EQ (read.messages.errors, juce::StringArray (c.error));
    }
}

TEST (PresetReader, FileSizeLimits)
{
    TemporaryFolder temp;
    const auto text = writePreset (makeSimplePreset());
    const auto file = temp.folder.getChildFile ("p.json");

    const auto writeOfSize = [&] (juce::int64 size)
    {
        const auto padding = (int) (size - (juce::int64) text.getNumBytesAsUTF8());
        ASSERT_GE (padding, 0);
        ASSERT_TRUE (file.replaceWithText (text + juce::String::repeatedString (" ", padding), false, false, nullptr));
        ASSERT_EQ (file.getSize(), size);
    };

    writeOfSize (maxPresetFileBytes);
    auto read = loadPresetFile (file);
    EXPECT_TRUE (read.ok) << read.messages.toText();

    writeOfSize (maxPresetFileBytes + 1);
    read = loadPresetFile (file);
    EXPECT_EQ (read.messages.errors, juce::StringArray ("The preset file is larger than the 4096 kB limit."));

    ASSERT_TRUE (file.replaceWithText ({}));
    EXPECT_EQ (loadPresetFile (file).messages.errors, juce::StringArray ("The preset file is empty."));

    const auto missing = temp.folder.getChildFile ("gone.json");
    EXPECT_EQ (loadPresetFile (missing).messages.errors, juce::StringArray ("The preset file does not exist: " + missing.getFullPathName()));
    EXPECT_FALSE (loadPresetFile (temp.folder).ok);
}
