#include <gtest/gtest.h>

#include "core/model/BuiltInPresets.h"
#include "core/model/Validation.h"

using namespace dunmoor;

namespace
{
    Stem stem (const juce::String& id, const juce::String& name, const juce::String& code = {})
    {
        Stem s;
        s.id = id;
        s.displayName = name;
        s.shortCode = code;
        return s;
    }

    StemSchema schemaOf (std::vector<Stem> stems)
    {
        StemSchema schema;

        for (auto& s : stems)
            schema.stems.push_back (s);

        schema.renumberStems();
        return schema;
    }

    OutputFormat format (Codec codec, SampleFormat sampleFormat, bool enabled = true)
    {
        OutputFormat f;
        f.codec = codec;
        f.sampleFormat = sampleFormat;
        f.enabled = enabled;
        return f;
    }

    juce::String joined (const juce::StringArray& texts) { return texts.joinIntoString ("\n"); }
} // namespace

TEST (Validation, MergeAndToText)
{
    ValidationResult inner;
    inner.errors.add ("bad");
    inner.warnings.add ("odd");

    ValidationResult result;
    result.errors.add ("first");
    result.merge (inner, "Section");
    result.merge (inner, {});

    EXPECT_EQ (joined (result.errors), "first\nSection: bad\nbad");
    EXPECT_EQ (joined (result.warnings), "Section: odd\nodd");
    EXPECT_FALSE (result.isClean());

    EXPECT_EQ (inner.toText(), "ERROR   bad\r\nWARNING odd");
    EXPECT_TRUE (ValidationResult().toText().isEmpty());
    EXPECT_TRUE (ValidationResult().isClean());
}

TEST (Validation, DefaultPreset)
{
    const auto result = validatePreset (Preset());

    EXPECT_EQ (joined (result.errors), "The preset has no id.\nThe preset has no name.");
    EXPECT_EQ (joined (result.warnings), "Stem schema: The schema contains no stems yet.");
}

TEST (Validation, BuiltInPresets)
{
    const auto example = validatePreset (makeHybridOrchestraExamplePreset());
    EXPECT_TRUE (example.errors.isEmpty()) << example.toText();
    EXPECT_TRUE (example.warnings.isEmpty()) << example.toText();

    const auto empty = validatePreset (makeEmptyPreset());
    EXPECT_TRUE (empty.errors.isEmpty()) << empty.toText();
    EXPECT_EQ (joined (empty.warnings), "Stem schema: The schema contains no stems yet.");
}

TEST (Validation, SchemaStemMessages)
{
    const struct
    {
        StemSchema schema;
        const char* errors;
        const char* warnings;
    } cases[] = {
        { schemaOf ({ stem ("1", "Strings"), stem ("2", "strings ") }),
          "strings : another stem produces the same file name token 'strings'.",
          "strings : another stem uses the same display name." },
        { schemaOf ({ stem ("1", "Strings Hi"), stem ("2", "Strings-Hi") }),
          "",
          "Strings-Hi: another stem has the same name apart from spacing or punctuation. Both will be written, as two files." },
        { schemaOf ({ stem ("1", "Drums", "DRM"), stem ("2", "Kit", "drm "), stem ("3", "") }),
          "Kit: duplicate short code 'drm '.\n"
          "stem #3: display name is empty.\n"
          "stem #3: nothing to expand {stemName} to.",
          "" },
        { schemaOf ({ stem ("  ", "A"), stem ("x", "B"), stem ("x", "C") }),
          "A: missing id.\nC: duplicate id 'x'.",
          "" },
    };

    for (const auto& c : cases)
    {
        const auto result = validateSchema (c.schema);
        EXPECT_EQ (joined (result.errors), c.errors);
        EXPECT_EQ (joined (result.warnings), c.warnings);
    }
}

TEST (Validation, SchemaRulesAndAlternativeMixes)
{
    auto schema = schemaOf ({ stem ("b", "Brass"), stem ("s", "Strings") });
    schema.stems[0].fileNameToken = " Horns ";
    schema.stems[1].rules.push_back ({ "  ", MatchMode::token, 0, {}, {} });
    schema.stems[1].rules.push_back ({ "violin", MatchMode::token, 0, {}, {} });
    schema.stems[1].rules.push_back ({ "", MatchMode::token, 0, {}, {} });

    schema.alternativeMixes.push_back ({ "m1", "horns", {}, juce::StringArray { "b" } });
    schema.alternativeMixes.push_back ({ "m2", "Quiet", {}, {} });
    schema.alternativeMixes.push_back ({ "m3", " quiet", {}, juce::StringArray { "gone", "s", "gone2" } });
    schema.alternativeMixes.push_back ({ "m4", " ", {}, juce::StringArray { "s" } });

    const auto result = validateSchema (schema);

    EXPECT_EQ (joined (result.errors),
               "Strings: a keyword rule has an empty pattern.\n"
               "Strings: a keyword rule has an empty pattern.\n"
               "Submix 'horns': a stem already produces this file name.\n"
               "Submix ' quiet': another alternative mix has the same name.\n"
               "Submix ' quiet': refers to a stem that is not in the schema.\n"
               "Submix ' quiet': refers to a stem that is not in the schema.\n"
               "An alternative mix has no name.");
    EXPECT_EQ (joined (result.warnings), "Submix 'Quiet': no stems selected, it would be silent and is skipped.");

    auto crowded = schemaOf ({ stem ("a", "A") });

    for (int i = 0; i < 11; ++i)
        crowded.alternativeMixes.push_back ({ "m" + juce::String (i), "Mix " + juce::String (i), {}, juce::StringArray { "a" } });

    EXPECT_EQ (joined (validateSchema (crowded).errors), "A schema may define at most 10 alternative mixes.");
}

TEST (Validation, ExportSettingsMessages)
{
    const auto check = [] (const ExportSettings& settings, const char* errors, const char* warnings)
    {
        const auto result = validateExportSettings (settings);
        EXPECT_EQ (joined (result.errors), errors);
        EXPECT_EQ (joined (result.warnings), warnings);
    };

    check (ExportSettings(), "", "");

    {
        ExportSettings s;
        s.formats = { format (Codec::mp3, SampleFormat::pcm16), format (Codec::mp3, SampleFormat::pcm16), format (Codec::wav, SampleFormat::pcm24) };
        s.formats[1].mp3Bitrate = 200;
        check (s,
               "MP3 320 kbps: MP3 is not an export format in this build; Brackenfold delivers lossless only. Choose WAV, AIFF or FLAC.\n"
               "MP3 200 kbps: MP3 is not an export format in this build; Brackenfold delivers lossless only. Choose WAV, AIFF or FLAC.",
               "This preset lists 3 output formats; only the first 2 will be written.\n"
               "MP3 200 kbps: bitrate will be clamped to 192 kbps.");
    }

    {
        ExportSettings s;
        s.formats = { format (Codec::wav, SampleFormat::float32), format (Codec::flac, SampleFormat::pcm24), format (Codec::aiff, SampleFormat::float32) };
        s.formats[0].sampleRate = 96000.0;
        s.formats[0].dither = DitherKind::tpdf;
        s.formats[1].sampleRate = 22050.0;
        s.formats[2].dither = DitherKind::none;
        check (s,
               "AIFF 32-bit float: AIFF cannot store float32.",
               "This preset lists 3 output formats; only the first 2 will be written.\n"
               "WAV 32-bit float @ 96.0 kHz: dither is meaningless for a floating point output and will be skipped.\n"
               "FLAC 24-bit @ 22.1 kHz: 22.1 kHz is not valid for this codec, it will be resampled to 44.1 kHz.");
    }

    {
        ExportSettings s;
        s.masterSampleRate = 22050.0;
        s.formats.clear();
        s.fullMix.exportMix = false;
        s.naming.mixTemplate = " ";   // not checked without a full mix
        check (s,
               "Unsupported project sample rate: 22050\n"
               "No output format is configured.\n"
               "Every output format is disabled, nothing would be written.",
               "The reconstruction check needs at least one lossless format and will be skipped.\n"
               "The reconstruction check needs the full mix and will be skipped.");
    }

    {
        ExportSettings s;
        s.formats[0].subFolder = "a/../b";
        s.fullMix.stemsSubFolder = "..";
        s.headroom.targetDb = 0.5;
        s.headroom.truePeakOversampling = 1;
        s.naming.stemTemplate = "  ";
        s.naming.mixTemplate = "";
        s.naming.indexPadding = 7;
        check (s,
               "WAV 24-bit: the sub-folder name contains characters that are not allowed.\n"
               "The stems folder name contains characters that are not allowed.\n"
               "The headroom target must be 0 dB or lower.\n"
               "True peak oversampling must be 2, 4 or 8.\n"
               "The stem naming template is empty.\n"
               "The stem naming template must contain {stemName} or {stemCode}, otherwise every stem would produce the same file name.\n"
               "The full mix naming template is empty.\n"
               "Index padding must be between 1 and 6 digits.",
               "");
    }

    {
        ExportSettings s;
        s.headroom.targetDb = -61.0;
        s.headroom.truePeakOversampling = 3;   // the range is checked, not the powers of two
        s.naming.stemTemplate = "{cue}_{stemCode}";
        s.naming.indexPadding = 6;
        check (s, "", "A headroom target below -60 dB is unusual.");

        s.headroom.truePeakOversampling = 16;
        s.naming.indexPadding = 0;
        s.naming.stemTemplate = "{cue}_{StemName}";
        check (s,
               "True peak oversampling must be 2, 4 or 8.\n"
               "The stem naming template must contain {stemName} or {stemCode}, otherwise every stem would produce the same file name.\n"
               "Index padding must be between 1 and 6 digits.",
               "A headroom target below -60 dB is unusual.");
    }
}

TEST (Validation, OnlyTheFirstTwoFormatsCountAsEnabled)
{
    // An enabled third format is never written, so it must not hide that nothing will be.
    ExportSettings s;
    s.formats = { format (Codec::wav, SampleFormat::pcm24, false), format (Codec::flac, SampleFormat::pcm24, false), format (Codec::wav, SampleFormat::pcm24) };

    const auto result = validateExportSettings (s);
    EXPECT_TRUE (result.errors.contains ("Every output format is disabled, nothing would be written."));

    s.formats[1].enabled = true;
    EXPECT_TRUE (validateExportSettings (s).isClean());
}

// A sub-folder picked two levels down ("Masters/WAV") was refused for its slash, although the
// render writes it as the nested folder it names.
TEST (Validation, FormatSubFolderMayBeANestedRelativePath)
{
    struct Case
    {
        const char* subFolder;
        bool accepted;
    };

    const Case cases[] { { "", true },
                         { "WAV", true },
                         { "Masters/WAV", true },
                         { "Masters\\WAV 24 bit", true },
                         { " Masters/WAV/ ", true },
                         { "/Masters", false },
                         { "\\Masters", false },
                         { "C:/Masters", false },
                         { "Masters/../..", false },
                         { "..", false },
                         { "Masters/W*V", false },
                         { "Mas?ters", false } };

    for (const auto& c : cases)
    {
        ExportSettings s;
        s.formats[0].subFolder = c.subFolder;
        const auto refused = validateExportSettings (s).errors.contains ("WAV 24-bit: the sub-folder name contains characters that are not allowed.");
        EXPECT_EQ (! refused, c.accepted) << c.subFolder;
    }

    // The stems folder stays a single name.
    ExportSettings s;
    s.fullMix.stemsSubFolder = "A/B";
    EXPECT_TRUE (validateExportSettings (s).errors.contains ("The stems folder name contains characters that are not allowed."));
}

TEST (Validation, PresetClashesWithTheFullMix)
{
    auto preset = makeEmptyPreset();
    preset.schema = schemaOf ({ stem ("1", "full mix", "mix"), stem ("2", "Strings", "STR") });
    preset.schema.stems[1].fileNameToken = " Full Mix ";

    const auto expectedFullMixErrors = "Stem 'full mix' has the same file name token as the full mix.\n"
                                       "Stem 'full mix' has the same short code as the full mix.\n"
                                       "Stem 'Strings' has the same file name token as the full mix.";

    const auto result = validatePreset (preset);
    EXPECT_EQ (joined (result.errors),
               juce::String ("Stem schema: Strings: another stem produces the same file name token 'Full Mix'.\n") + expectedFullMixErrors);

    preset.exportSettings.fullMix.exportMix = false;
    EXPECT_EQ (joined (validatePreset (preset).errors),
               "Stem schema: Strings: another stem produces the same file name token 'Full Mix'.");
}
