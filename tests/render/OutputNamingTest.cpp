#include <gtest/gtest.h>

#include "RawBytesNames.h"
#include "RenderTestSupport.h"
#include "TestFolder.h"
#include "core/render/CueRender.h"
#include "core/render/OutputNaming.h"

using namespace dunmoor;
using dunmoor::testing::RawNamedEntries;
using dunmoor::testing::stringOfRawBytes;
using dunmoor::testing::TemporaryFolder;

namespace
{
    NamingContext sampleContext()
    {
        NamingContext c;
        c.publisher = "Northgate";
        c.project = "Harbour";
        c.cue = "1m01 Arrival";
        c.composer = "R. Vale";
        c.version = "v3";
        c.stemName = "Strings";
        c.stemCode = "STR";
        c.stemIndex = 7;
        return c;
    }
} // namespace

TEST (OutputNaming, TokenValues)
{
    const auto context = sampleContext();

    struct Case
    {
        const char* nameTemplate;
        const char* expected;
    };

    const Case cases[] = {
        { "{publisher}|{project}|{pubcode}|{cue}|{composer}|{version}", "Northgate|Harbour|Harbour|1m01 Arrival|R. Vale|v3" },
        { "{stemName}-{stemCode}-{stemIndex}", "Strings-STR-07" },
        { "{sampleRate} {bitDepth} {format}", "48k 24 wav" },
        { "abc{def", "abc{def" },                 // a lone brace stays
        { "a}b{cue}", "a}b1m01 Arrival" },         // a closing brace alone is text
        { "{cue}{cue}", "1m01 Arrival1m01 Arrival" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (expandNamingTokens (c.nameTemplate, context, nullptr), c.expected) << c.nameTemplate;

    // Values are inserted as they are, never expanded again.
    auto tricky = context;
    tricky.cue = "{project}";
    EXPECT_EQ (expandNamingTokens ("{cue}", tricky, nullptr), "{project}");
}

TEST (OutputNaming, NumberRateAndBitDepthFormatting)
{
    struct IndexCase { int index, padding; const char* expected; };
    for (const auto& c : { IndexCase { 7, 0, "7" }, IndexCase { 7, 9, "000007" }, IndexCase { 123, 2, "123" },
                           IndexCase { -4, 2, "00" }, IndexCase { 12, 3, "012" } })
    {
        auto context = sampleContext();
        context.stemIndex = c.index;
        context.indexPadding = c.padding;
        EXPECT_EQ (expandNamingTokens ("{stemIndex}", context, nullptr), c.expected) << c.index << " padded to " << c.padding;
    }

    struct RateCase { double rate; const char* expected; };
    for (const auto& c : { RateCase { 44100, "44.1k" }, RateCase { 48000, "48k" }, RateCase { 96000, "96k" },
                           RateCase { 88200, "88.2k" }, RateCase { 176400, "176.4k" }, RateCase { 48040, "48k" },
                           RateCase { 0, "" }, RateCase { -1, "" } })
    {
        auto context = sampleContext();
        context.sampleRate = c.rate;
        EXPECT_EQ (expandNamingTokens ("{sampleRate}", context, nullptr), c.expected) << c.rate;
    }

    struct DepthCase { Codec codec; SampleFormat format; const char* bitDepth; const char* formatName; };
    for (const auto& c : { DepthCase { Codec::wav, SampleFormat::pcm16, "16", "wav" },
                           DepthCase { Codec::aiff, SampleFormat::pcm24, "24", "aiff" },
                           DepthCase { Codec::wav, SampleFormat::float32, "32f", "wav" },
                           DepthCase { Codec::flac, SampleFormat::pcm24, "24", "flac" },
                           DepthCase { Codec::mp3, SampleFormat::pcm16, "256k", "mp3" } })
    {
        auto context = sampleContext();
        context.codec = c.codec;
        context.sampleFormat = c.format;
        context.mp3Kbps = 256;
        EXPECT_EQ (expandNamingTokens ("{bitDepth}|{format}", context, nullptr), juce::String (c.bitDepth) + "|" + c.formatName);
    }
}

TEST (OutputNaming, UnknownTokensVanishAndAreListedOnce)
{
    juce::StringArray unknown;
    const auto name = expandNamingTokens ("{Project}_{cue}_{Project}_{take}_{}", sampleContext(), &unknown);

    EXPECT_EQ (name, "_1m01 Arrival___");
    EXPECT_EQ (unknown, juce::StringArray ({ "{Project}", "{take}", "{}" }));
}

TEST (OutputNaming, FileNamesCollapseSeparatorsAndFallBack)
{
    NamingSettings naming;
    auto context = sampleContext();

    struct Case
    {
        const char* nameTemplate;
        const char* separator;
        const char* expected;
    };

    const Case cases[] = {
        { "{publisher}_{cue}", "_", "Northgate_1m01 Arrival.wav" },
        { "A__B", "_", "A_B.wav" },
        { "A_-_B", "_", "A_B.wav" },
        { "A - B", "_", "A - B.wav" },
        { "_A_", "_", "A.wav" },
        { "..A..B--", "_", "A..B.wav" },
        { "A__B", "", "A__B.wav" },
        { "A -- B", " -- ", "A -- B.wav" },
        { "A . B", "-", "A . B.wav" },
        { "{project}_{stemCode}:{stemIndex}", "_", "Harbour_STR-07.wav" },    // the replacement character
    };

    for (const auto& c : cases)
    {
        naming.separator = c.separator;
        EXPECT_EQ (buildOutputFileName (c.nameTemplate, context, naming, nullptr), c.expected) << c.nameTemplate;
    }

    naming.separator = "_";

    // An empty publisher leaves a leading separator, which goes.
    context.publisher.clear();
    EXPECT_EQ (buildOutputFileName ("{publisher}_{cue}", context, naming, nullptr), "1m01 Arrival.wav");

    // A template that yields nothing falls back to the stem's name, or "stem".
    context.stemName = "  Low Brass  ";
    EXPECT_EQ (buildOutputFileName ("{publisher}", context, naming, nullptr), "Low Brass.wav");
    context.stemName.clear();
    context.codec = Codec::flac;
    EXPECT_EQ (buildOutputFileName ("{publisher}__", context, naming, nullptr), "stem.flac");

    // The fallback used to be taken unsanitised: a slash in a stem name made a sub-folder.
    context.stemName = "Hi/Lo: Perc";
    context.codec = Codec::aiff;
    EXPECT_EQ (buildOutputFileName ("{publisher}", context, naming, nullptr), "Hi-Lo- Perc.aif");

    // The name is cut to 108 characters; the extension comes on top.
    context.stemName = juce::String::repeatedString ("x", 200);
    const auto longName = buildOutputFileName ("{stemName}", context, naming, nullptr);
    EXPECT_EQ (longName, juce::String::repeatedString ("x", 108) + ".aif");

    // Reserved device names are made harmless.
    EXPECT_EQ (buildOutputFileName ("con", context, naming, nullptr), "con_.aif");
}

// On a name whose last character is cut short, stepping by the lead byte jumped over the
// terminating zero and read on past the end of the string (the sanitizer build reports it).
TEST (OutputNaming, CollapseStopsAtTheEndOfATextCutInsideACharacter)
{
    NamingSettings naming;
    auto context = sampleContext();

    const struct
    {
        const char* stemName;
        const char* expected;
    } cases[] = {
        { "Voil\xc3", "Harbour_Voil-.wav" },  // the lead byte of a-grave alone reads as a control character
        { "Cello \xf0", "Harbour_Cello.wav" }, // a four-byte lead alone reads as the end; the space before it goes
        { "Horn_\xe0\x80", "Harbour_Horn.wav" },
    };

    for (const auto& c : cases)
    {
        context.stemName = stringOfRawBytes (c.stemName);
        EXPECT_EQ (buildOutputFileName ("{project}_{stemName}", context, naming, nullptr), c.expected) << c.expected;
    }
}

TEST (OutputNaming, CollisionPolicies)
{
    TemporaryFolder temp;
    const juce::StringArray nothingWritten;
    juce::String error;

    // A free name is taken as it is under every policy.
    for (auto policy : { CollisionPolicy::overwrite, CollisionPolicy::incrementVersion, CollisionPolicy::abort })
    {
        auto path = temp.folder.getChildFile ("Free.wav");
        EXPECT_TRUE (resolveNameCollision (path, policy, nothingWritten, error));
        EXPECT_EQ (path, temp.folder.getChildFile ("Free.wav"));
    }

    // overwrite accepts a file from an earlier run.
    const auto existing = temp.make ("Cue_Strings.wav");
    auto path = existing;
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::overwrite, nothingWritten, error));
    EXPECT_EQ (path, existing);

    // overwrite keeps a name that differs only in letter case as it is: on a case-sensitive
    // disk that writes a second file and never removes the other one.
    path = temp.folder.getChildFile ("cue_strings.wav");
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::overwrite, nothingWritten, error));
    EXPECT_EQ (path, temp.folder.getChildFile ("cue_strings.wav"));

    // abort refuses, also for a name that differs only in letter case.
    path = temp.folder.getChildFile ("CUE_strings.wav");
    EXPECT_FALSE (resolveNameCollision (path, CollisionPolicy::abort, nothingWritten, error));
    EXPECT_EQ (error, "'CUE_strings.wav' already exists.");
    EXPECT_EQ (path, temp.folder.getChildFile ("CUE_strings.wav"));

    // incrementVersion appends a number, counting past taken ones in any letter case.
    temp.make ("cue_strings-2.wav");
    path = existing;
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::incrementVersion, nothingWritten, error));
    EXPECT_EQ (path.getFileName(), "Cue_Strings-3.wav");
    EXPECT_TRUE (existing.existsAsFile());

    struct VersionCase { const char* existingName; const char* alsoTaken; const char* expected; };
    const VersionCase versions[] = {
        { "Mix_v1.wav", "Mix_v2.wav", "Mix_v3.wav" },
        { "Mix_v01.wav", "", "Mix_v02.wav" },
        { "Mix_v9.wav", "", "Mix_v10.wav" },
        { "Take V009.aif", "", "Take V010.aif" },
        { "Take.wav", "", "Take-2.wav" },
        { "2024.wav", "", "2024-2.wav" },
        { "v7.wav", "", "v8.wav" },
        { "Mix_x7.wav", "", "Mix_x7-2.wav" },
    };

    for (const auto& v : versions)
    {
        path = temp.make (v.existingName);
        if (juce::String (v.alsoTaken).isNotEmpty())
            temp.make (v.alsoTaken);

        EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::incrementVersion, nothingWritten, error)) << v.existingName;
        EXPECT_EQ (path.getFileName(), v.expected) << v.existingName;
    }
}

TEST (OutputNaming, NamesWrittenEarlierInTheRunAreTaken)
{
    TemporaryFolder temp;
    const auto fullMix = temp.folder.getChildFile ("Cue_Full Mix.wav");
    const juce::StringArray written { fullMix.getFullPathName() };
    juce::String error;

    // Overwrite used to replace a file written a moment earlier in the same run, when an
    // alternative mix's template yielded the full mix's name.
    auto path = temp.folder.getChildFile ("cue_full mix.wav");
    EXPECT_FALSE (resolveNameCollision (path, CollisionPolicy::overwrite, written, error));
    EXPECT_EQ (error, "'cue_full mix.wav' was already written in this run; two outputs cannot share one name.");
    EXPECT_EQ (path, temp.folder.getChildFile ("cue_full mix.wav"));

    path = fullMix;
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::incrementVersion, written, error));
    EXPECT_EQ (path.getFileName(), "Cue_Full Mix-2.wav");

    path = fullMix;
    EXPECT_FALSE (resolveNameCollision (path, CollisionPolicy::abort, written, error));
    EXPECT_EQ (error, "'Cue_Full Mix.wav' already exists.");
}

// The framework's listing of the output folder, taken before every write, wrote past its
// buffer on a name that is not valid UTF-8 (a Latin-1 "Voil\xe0" from an old archive).
TEST (OutputNaming, AnOutputFolderHoldingNamesThatAreNotUtf8StillRenders)
{
    using namespace dunmoor::testing;

    TemporaryFolder temp;
    const auto out = temp.file ("out");
    const auto stems = out.getChildFile ("STEMS");
    const auto strings = writeTone (temp.file ("in/strings.wav"), 2, 4800, 48000.0, 440.0, 0.3);
    const auto brass = writeTone (temp.file ("in/brass.wav"), 2, 4800, 48000.0, 220.0, 0.3);
    ASSERT_TRUE (stems.createDirectory());
    const auto taken = temp.make ("out/STEMS/Taken.wav");

    RawNamedEntries raw;

    for (const auto& folder : { out, stems })
    {
        raw.makeFile (folder, "Voil\xe0 Strings.wav");
        raw.makeFile (folder, "Canci\xf3n Peque\xf1" "a Strings.wav");
        raw.makeFolder (folder, "Proj_Cue1_01_Strings\xe0");
    }

    // Valid names beside them are seen as before; the Latin-1 name is no clash for its UTF-8 twin.
    const juce::StringArray nothingWritten;
    juce::String error;
    auto path = taken;
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::incrementVersion, nothingWritten, error));
    EXPECT_EQ (path.getFileName(), "Taken-2.wav");
    path = stems.getChildFile (juce::String::fromUTF8 ("Voil\xc3\xa0 Strings.wav"));
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::abort, nothingWritten, error)) << error;

    const auto preset = makeRenderPreset ({ "Strings", "Brass" });
    const auto request = makeRequest (preset, out, { { strings }, { brass } });
    CueRenderContext context (request, {}, {});
    const auto report = renderCue (context);
    ASSERT_TRUE (report.ok) << report.errors.joinIntoString (" | ");

    juce::StringArray written;

    for (const auto& file : report.files)
        written.add (file.file.getRelativePathFrom (out));

    written.sort (false);
    EXPECT_EQ (written, juce::StringArray ({ "Proj_Cue1_Full Mix.wav", "STEMS/Proj_Cue1_01_Strings.wav", "STEMS/Proj_Cue1_02_Brass.wav" }));
    EXPECT_TRUE (raw.allExist());
}

TEST (OutputNaming, IncrementVersionGivesUpAfter999Tries)
{
    TemporaryFolder temp;
    juce::StringArray written;
    written.add (temp.folder.getChildFile ("Busy.wav").getFullPathName());

    for (int n = 2; n <= 1000; ++n)
        written.add (temp.folder.getChildFile ("Busy-" + juce::String (n) + ".wav").getFullPathName());

    auto path = temp.folder.getChildFile ("Busy.wav");
    juce::String error;
    EXPECT_FALSE (resolveNameCollision (path, CollisionPolicy::incrementVersion, written, error));
    EXPECT_EQ (error, "Could not find a free name for 'Busy.wav'.");
    EXPECT_EQ (path.getFileName(), "Busy.wav");

    written.removeString (temp.folder.getChildFile ("Busy-1000.wav").getFullPathName());
    EXPECT_TRUE (resolveNameCollision (path, CollisionPolicy::incrementVersion, written, error));
    EXPECT_EQ (path.getFileName(), "Busy-1000.wav");
}

TEST (OutputNaming, SubFolders)
{
    TemporaryFolder temp;
    const auto root = temp.folder;
    juce::File result;

    EXPECT_TRUE (buildSubFolderPath (root, "  ", result));
    EXPECT_EQ (result, root);

    EXPECT_TRUE (buildSubFolderPath (root, "./Stems//Hi", result));
    EXPECT_EQ (result, root.getChildFile ("Stems").getChildFile ("Hi"));

    EXPECT_TRUE (buildSubFolderPath (root, "WAV\\24 bit\\", result));
    EXPECT_EQ (result, root.getChildFile ("WAV").getChildFile ("24 bit"));

    EXPECT_TRUE (buildSubFolderPath (root, "Mix: final?/ ... ", result));
    EXPECT_EQ (result, root.getChildFile ("Mix- final-").getChildFile ("untitled"));

    // A leading tilde is an ordinary name here, not a home folder.
    EXPECT_TRUE (buildSubFolderPath (root, "~stems", result));
    EXPECT_EQ (result.getParentDirectory(), root);
    EXPECT_EQ (result.getFileName(), "~stems");

    EXPECT_TRUE (buildSubFolderPath (root, "~/x", result));
    const auto separator = juce::File::getSeparatorString();
    EXPECT_EQ (result.getFullPathName(), root.getFullPathName() + separator + "~" + separator + "x");

    for (auto bad : { "Stems/../x", "..", "D:\\x", "\\Stems", "/Stems", "C:" })
    {
        result = juce::File();
        EXPECT_FALSE (buildSubFolderPath (root, bad, result)) << bad;
        EXPECT_EQ (result, juce::File()) << bad;
    }

    EXPECT_FALSE (buildSubFolderPath (juce::File(), "Stems", result));
    EXPECT_EQ (root.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0); // nothing created
}

TEST (OutputNaming, TemplateEditorSplitsAndJoins)
{
    const auto palette = getNamingTokenPalette();
    ASSERT_EQ (palette.size(), 11);
    EXPECT_EQ (palette[0], "{publisher}");
    EXPECT_EQ (palette[10], "{format}");
    EXPECT_FALSE (palette.contains ("{pubcode}"));
    EXPECT_EQ (getSeparatorCharacters(), "_- .");

    const auto token = [] (const char* t) { return TemplateSegment { true, t }; };
    const auto word = [] (const char* t) { return TemplateSegment { false, t }; };

    struct Case
    {
        const char* nameTemplate;
        const char* currentSeparator;
        std::vector<TemplateSegment> segments;
        const char* separator;
    };

    const std::vector<Case> cases {
        { "{project}_{cue}_{stemIndex}_{stemName}", "_",
          { token ("{project}"), token ("{cue}"), token ("{stemIndex}"), token ("{stemName}") }, "_" },
        { "{project} - {cue}", "_", { token ("{project}"), token ("{cue}") }, " - " },
        { "{project}_FINAL_{cue}", "_", { token ("{project}"), word ("FINAL"), token ("{cue}") }, "_" },
        { "{project}{cue}", "_", { token ("{project}"), token ("{cue}") }, "" },
        // "{pubcode}" names the project as "{project}" does, so the editor shows it as that token.
        { "{pubcode}-{Take}-{ }", "_", { token ("{project}"), word ("Take") }, "-" },
        { "{pubcode}_{cue}", "_", { token ("{project}"), token ("{cue}") }, "_" },
        { "{cue}.Main Title", "-", { token ("{cue}"), word ("Main Title") }, "." },
        { "Mix{", "_", { word ("Mix{") }, "(unchanged)" },
    };

    for (const auto& c : cases)
    {
        juce::String separator { "(unchanged)" };
        const auto segments = splitNamingTemplate (c.nameTemplate, &separator, c.currentSeparator);
        EXPECT_EQ (segments, c.segments) << c.nameTemplate;
        EXPECT_EQ (separator, c.separator) << c.nameTemplate;
    }

    const juce::String defaultTemplate { "{project}_{cue}_{stemIndex}_{stemName}" };
    EXPECT_EQ (joinTemplateSegments (splitNamingTemplate (defaultTemplate, nullptr, "_"), "_"), defaultTemplate);
    EXPECT_EQ (joinTemplateSegments ({ token ("{cue}"), word (""), word ("Mix") }, " - "), "{cue} - Mix");
}
