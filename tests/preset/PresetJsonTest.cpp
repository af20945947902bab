#include <gtest/gtest.h>

#include "PresetTestSupport.h"
#include "core/model/BuiltInPresets.h"
#include "core/files/JsonText.h"
#include "core/preset/PresetJson.h"
#include "core/preset/PresetReader.h"

#include <cmath>

using namespace dunmoor;
using dunmoor::test::TemporaryFolder;

namespace
{
    void expectSameStoredPreset (const Preset& read, const Preset& written)
    {
        EXPECT_TRUE (read == written);

        // What preset equality leaves out, and what it compares with a tolerance.
        EXPECT_EQ (read.name, written.name);
        EXPECT_EQ (read.modifiedUtcMs, written.modifiedUtcMs);
        EXPECT_EQ (read.schema.matchPlurals, written.schema.matchPlurals);
        ASSERT_EQ (read.schema.alternativeMixes.size(), written.schema.alternativeMixes.size());

        for (size_t i = 0; i < read.schema.alternativeMixes.size(); ++i)
        {
            const auto& a = read.schema.alternativeMixes[i];
            const auto& b = written.schema.alternativeMixes[i];
            EXPECT_EQ (a.id, b.id);
            EXPECT_EQ (a.name, b.name);
            EXPECT_EQ (a.shortCode, b.shortCode);
            EXPECT_EQ (a.stemIds, b.stemIds);
        }

        const auto& g = read.exportSettings.silenceGate;
        const auto& wg = written.exportSettings.silenceGate;
        EXPECT_NEAR (g.thresholdDb, wg.thresholdDb, 1e-12);
        EXPECT_NEAR (g.minimumSeconds, wg.minimumSeconds, 1e-12);
        EXPECT_NEAR (g.fadeOutSeconds, wg.fadeOutSeconds, 1e-12);
        EXPECT_NEAR (read.exportSettings.headroom.targetDb, written.exportSettings.headroom.targetDb, 1e-12);
    }
} // namespace

TEST (PresetJson, WrittenPresetsReadBackEqual)
{
    auto rich = test::makeRichPreset();

    auto otherValues = rich;   // the enumeration values the rich preset leaves at their defaults
    otherValues.kind = PresetKind::publisher;
    otherValues.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;
    otherValues.exportSettings.batch.folderNameTarget = FolderNameTarget::none;
    otherValues.exportSettings.headroom.peakMode = PeakMode::truePeak;
    otherValues.exportSettings.silenceGate.thresholdDb = -139.99999999999997;

    auto example = makeHybridOrchestraExamplePreset();
    example.isBuiltIn = true;

    for (const auto* preset : { &rich, &otherValues, &example })
    {
        SCOPED_TRACE (preset->name);
        const auto text = writePreset (*preset);
        const auto read = readPreset (text);

        ASSERT_TRUE (read.ok) << read.messages.toText();
        EXPECT_EQ (read.sourceSchemaVersion, 3);
        EXPECT_FALSE (read.migrated);
        expectSameStoredPreset (read.preset, *preset);

        // A second round gives the same text: nothing drifts from save to save.
        EXPECT_EQ (writePreset (read.preset), text);
    }
}

// Gate settings were compared exactly, so a preset with a value that 15 decimals cannot hold
// no longer equalled itself after a save and reload.
TEST (PresetJson, GateSettingsCompareWithinTheStoredPrecision)
{
    TemporaryFolder temp;
    const auto preset = test::makeRichPreset();
    const auto file = temp.folder.getChildFile ("rich.dunmoor.json");

    juce::String error;
    ASSERT_TRUE (savePreset (preset, file, error)) << error;
    const auto read = loadPresetFile (file);
    ASSERT_TRUE (read.ok) << read.messages.toText();
    EXPECT_TRUE (read.preset == preset);

    auto changed = preset;
    changed.exportSettings.silenceGate.thresholdDb += 1e-6;
    EXPECT_FALSE (changed == preset);

    changed = preset;
    changed.exportSettings.silenceGate.minimumSeconds = std::nan ("");
    EXPECT_FALSE (changed == changed);
}

TEST (PresetJson, DocumentForm)
{
    auto preset = test::makeRichPreset();
    const auto text = writePreset (preset);

    juce::var doc;
    ASSERT_TRUE (parseJsonDocument (text, doc).wasOk());

    EXPECT_EQ (doc["dunmoor"]["schemaVersion"], juce::var (3));
    EXPECT_EQ (doc["dunmoor"]["application"], juce::var ("Brackenfold"));

    const auto& props = doc["preset"].getDynamicObject()->getProperties();
    juce::StringArray keys;

    for (int i = 0; i < props.size(); ++i)
        keys.add (props.getName (i).toString());

    EXPECT_EQ (keys.joinIntoString (","), "id,name,description,kind,basedOnPresetId,basedOnPresetName,isBuiltIn,modifiedUtcMs,metadata,schema,export");

    EXPECT_TRUE (text.contains ("\"modifiedUtcMs\": 1735689600123,")) << "times are written as integers";
    EXPECT_FALSE (text.contains ("\r"));

    const auto stems = doc["preset"]["schema"]["stems"];
    EXPECT_EQ (stems[0]["colour"], juce::var ("00123456"));
    EXPECT_EQ (stems[0]["emptyPolicy"], juce::var ("failExport"));
    EXPECT_FALSE (stems[3].getDynamicObject()->hasProperty ("emptyPolicy"));
    EXPECT_TRUE (stems[0]["rules"][0].getDynamicObject() != nullptr);

    const auto exportObject = doc["preset"]["export"];
    EXPECT_EQ (exportObject["stemsSubFolder"].toString(), preset.exportSettings.fullMix.stemsSubFolder);
    EXPECT_FALSE (exportObject["fullMix"].getDynamicObject()->hasProperty ("stemsSubFolder"));
    EXPECT_EQ (exportObject["reconstructionCheck"]["enabled"], juce::var (true));
    EXPECT_EQ ((double) exportObject["reconstructionCheck"]["toleranceDb"], -100.0);
}

// A preset the reader would refuse used to be saved anyway, and then vanished from the library
// at the next scan (and projects embedding it no longer opened).
TEST (PresetJson, SaveRefusesWhatTheReaderWouldRefuse)
{
    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("p.dunmoor.json");
    ASSERT_TRUE (file.replaceWithText ("previous"));

    struct Case
    {
        const char* what;
        std::function<void (Preset&)> change;
        juce::String expected;   // a line of the error text
    };

    const Case cases[] = {
        { "blank name", [] (Preset& p) { p.name = "  "; }, "ERROR   The preset has no name." },
        { "stem priority", [] (Preset& p) { p.schema.stems[0].priority = 1200; }, "ERROR   preset.schema.stems[0].priority must be between -1000 and 1000." },
        { "rule priority", [] (Preset& p) { p.schema.stems[0].rules[0].priority = -1001; }, "ERROR   preset.schema.stems[0].rules[0].priority must be between -1000 and 1000." },
        { "gate threshold", [] (Preset& p) { p.exportSettings.silenceGate.thresholdDb = -200.0; }, "ERROR   preset.export.silenceGate.thresholdDb is out of range." },
        { "not a number", [] (Preset& p) { p.exportSettings.silenceGate.fadeInSeconds = std::nan (""); }, "ERROR   preset.export.silenceGate.fadeInSeconds must be a number." },
        { "long text", [] (Preset& p) { p.description = juce::String::repeatedString ("x", 4097); }, "ERROR   preset.description is longer than the 4096 character limit." },
        { "bit rate", [] (Preset& p) { p.exportSettings.formats[3].mp3Bitrate = 700; }, "ERROR   preset.export.formats[3].mp3Bitrate must be between 8 and 640." },
        { "format count", [] (Preset& p) { p.exportSettings.formats.resize (33, p.exportSettings.formats[2]); }, "ERROR   preset.export.formats has 33 entries, the limit is 32." },
        { "exclusion count", [] (Preset& p) { for (int i = 0; i < 257; ++i) p.schema.stems[1].excludeKeywords.add ("x" + juce::String (i)); }, "ERROR   preset.schema.stems[1].excludeKeywords has 257 entries, the limit is 256." },
        { "stem count", [] (Preset& p)
          {
              for (int i = 0; i < 253; ++i)
              {
                  Stem s;
                  s.displayName = "Extra " + juce::String (i);
                  p.schema.addStem (s);
              }
          },
          "ERROR   preset.schema.stems has 257 entries, the limit is 256." },
    };

    for (const auto& c : cases)
    {
        auto preset = test::makeRichPreset();
        c.change (preset);

        juce::String error;
        EXPECT_FALSE (savePreset (preset, file, error)) << c.what;
        EXPECT_TRUE (error.startsWith ("The preset is not valid and was not saved:\n")) << c.what << ": " << error;
        EXPECT_TRUE (juce::StringArray::fromLines (error).contains (c.expected)) << c.what << ": " << error;
        EXPECT_EQ (file.loadFileAsString(), "previous") << c.what;

        juce::String checkError;
        EXPECT_FALSE (checkPresetIsStorable (preset, checkError));
        EXPECT_EQ (checkError, error);
    }

    EXPECT_EQ (test::TemporaryFolder::listing (temp.folder), juce::StringArray ("p.dunmoor.json"));
}

TEST (PresetJson, SaveRefusesADocumentOverTheSizeLimit)
{
    auto preset = test::makeRichPreset();

    for (int s = 0; s < 20; ++s)
    {
        Stem stem;
        stem.displayName = "Bulk " + juce::String (s);

        for (int r = 0; r < 2000; ++r)
            stem.rules.push_back ({ "keyword number " + juce::String (r), MatchMode::phrase, 0, {}, "a note to make the rule longer" });

        preset.schema.addStem (stem);
    }

    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("big.dunmoor.json");

    juce::String error;
    EXPECT_FALSE (savePreset (preset, file, error));
    EXPECT_TRUE (error.endsWith ("ERROR   The preset file would be larger than the 4096 kB limit.")) << error;
    EXPECT_FALSE (file.exists());
}

TEST (PresetJson, SaveWritesAValidPresetAndReportsWarningsNowhere)
{
    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("sub/empty.dunmoor.json");

    juce::String error ("stale");
    ASSERT_TRUE (savePreset (makeEmptyPreset(), file, error)) << error;   // one validation warning
    EXPECT_TRUE (error.isEmpty());
    EXPECT_TRUE (loadPresetFile (file).ok);
}
