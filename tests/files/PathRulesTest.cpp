#include <gtest/gtest.h>

#include "RawBytesNames.h"
#include "TestFolder.h"
#include "core/files/PathRules.h"

using namespace dunmoor;
using dunmoor::testing::stringOfRawBytes;
using dunmoor::testing::TemporaryFolder;

TEST (PathRules, IsPathInsideFolder)
{
    const juce::File out ("/tmp/deliveries/out");

    EXPECT_TRUE (isPathInsideFolder (out, out));
    EXPECT_TRUE (isPathInsideFolder (out, juce::File ("/tmp/deliveries/OUT")));
    EXPECT_TRUE (isPathInsideFolder (out, juce::File ("/tmp/deliveries/Out/cue 1/a.wav")));
    EXPECT_TRUE (isPathInsideFolder (juce::File ("/tmp/deliveries/out/"), out.getChildFile ("a.wav")));

    // A sibling whose name merely starts with the folder's name lies outside.
    EXPECT_FALSE (isPathInsideFolder (out, juce::File ("/tmp/deliveries/out2")));
    EXPECT_FALSE (isPathInsideFolder (out, juce::File ("/tmp/deliveries/out2/a.wav")));
    EXPECT_FALSE (isPathInsideFolder (out, juce::File ("/tmp/deliveries")));

    // The root holds everything; its separator must not be doubled.
    EXPECT_TRUE (isPathInsideFolder (juce::File ("/"), juce::File ("/tmp/a.wav")));
    EXPECT_TRUE (isPathInsideFolder (juce::File ("/"), juce::File ("/")));

    EXPECT_FALSE (isPathInsideFolder (juce::File(), out));
    EXPECT_FALSE (isPathInsideFolder (out, juce::File()));
}

// Two folders that differ only in letter case are two folders on Linux: taking one for the other
// would keep a stale output folder or drop a recent entry that names another file.
TEST (PathRules, IsSamePathFollowsTheFileSystemsRuleForLetterCase)
{
    const bool caseSensitive = juce::File::areFileNamesCaseSensitive();

    const struct
    {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        { "/tmp/Deliveries/Mix", "/tmp/Deliveries/Mix", true },
        { "/tmp/Deliveries/Mix", "/tmp/Deliveries/mix", ! caseSensitive },
        { "/tmp/Deliveries/Mix", "/tmp/Deliveries/Mix2", false },
        { "/tmp/Deliveries/Mix", "", false },
        { "", "", true },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (isSamePath (c.a, c.b), c.same) << c.a << " | " << c.b;
        EXPECT_EQ (isSamePath (c.b, c.a), c.same) << c.b << " | " << c.a;
    }
}

TEST (PathRules, PathLengthLimitCountsCharactersNotBytes)
{
    const auto withLength = [] (int length, juce::juce_wchar filler)
    {
        return juce::File ("/" + juce::String::repeatedString (juce::String::charToString (filler), length - 1));
    };

    EXPECT_TRUE (isPathLengthAcceptable (withLength (240, 'a')));
    EXPECT_FALSE (isPathLengthAcceptable (withLength (241, 'a')));
    EXPECT_TRUE (isPathLengthAcceptable (withLength (240, 0x00e9))); // two bytes each in UTF-8
}

TEST (PathRules, SanitiseFileName)
{
    const juce::String eAcute = juce::String::charToString (0x00e9);
    const auto longStem = juce::String::repeatedString ("Strings", 40);

    const struct
    {
        juce::String name, replacement, fallback;
        int maxLength;
        juce::String expected;
    } cases[] = {
        { "Cue 1: Main", "-", "untitled", 0, "Cue 1- Main" },
        { "a/b\\c|d?e*f<g>h\"i", "-", "x", 0, "a-b-c-d-e-f-g-h-i" },
        { " . .Main Title. . ", "-", "x", 0, "Main Title" },
        { "..hidden", "-", "x", 0, "hidden" },
        { "- _ . -", "-", "untitled", 0, "untitled" },
        { "", "-", "stem", 0, "stem" },
        { "???", "-", "report", 0, "report" },
        { "Why?Not", "", "x", 0, "WhyNot" },
        { "a:b", "*", "x", 0, "a-b" },
        { "tab\there\nlf" + juce::String::charToString (127) + "del", "_", "x", 0, "tab_here_lf_del" },
        // A control character in the replacement must not reach the name.
        { "a:b", "\t", "x", 0, "a-b" },
        // The cut point lands on a space, then on a full stop: both go.
        { "abcd efgh", "-", "x", 5, "abcd" },
        { "abc. defgh", "-", "x", 5, "abc" },
        { juce::String::repeatedString ("x", 130), "-", "x", 120, juce::String::repeatedString ("x", 120) },
        { "caf" + eAcute + eAcute + eAcute, "-", "x", 5, "caf" + eAcute + eAcute },
        // Reserved device names, checked after the other steps.
        { "NUL", "-", "x", 0, "NUL_" },
        { "  aux  ", "-", "x", 0, "aux_" },
        { "con", "-", "x", 0, "con_" },
        // The device is the part before the first dot, so the underscore goes there.
        { "con.txt", "-", "x", 0, "con_.txt" },
        { "Com1.tar.gz", "-", "x", 0, "Com1_.tar.gz" },
        { "lpt9", "-", "x", 0, "lpt9_" },
        { "COM10", "-", "x", 0, "COM10" },
        { "CONSOLE", "-", "x", 0, "CONSOLE" },
        // The underscore used to come after the cut and end one over the limit: 109 of 108
        // characters, 121 of 120, 201 of 200 bytes.
        { "con." + longStem, "-", "x", 108, "con_." + longStem.substring (0, 103) },
        { "con." + longStem, "-", "x", 120, "con_." + longStem.substring (0, 115) },
        { "con." + longStem, "-", "x", 0, "con_." + longStem.substring (0, 195) },
        // A cut that shortens the device part itself leaves an ordinary name.
        { "con", "-", "x", 3, "co" },
        // The fallback is taken as it is.
        { "", "-", "a:b", 0, "a:b" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (sanitiseFileName (c.name, c.replacement, c.fallback, c.maxLength), c.expected)
            << "name: " << c.name << " replacement: " << c.replacement;
}

// On a text whose last character is cut short, stepping by the lead byte jumped over the
// terminating zero and read on past the end of the string (the sanitizer build reports it).
TEST (PathRules, SanitiseFileNameStopsAtTheEndOfATextCutInsideACharacter)
{
    const struct
    {
        const char* name;
        const char* replacement;
        juce::String expected;
    } cases[] = {
        { "Voil\xc3", "-", "Voil-" },        // the lead byte of a-grave alone reads as a control character
        { "Cello \xf0", "-", "Cello" },      // a four-byte lead alone reads as the end
        { "Horn\xe0\x80", "-", "Horn" },     // cut after two of three bytes
        { "Harp\xf0\x80\x80", "-", "Harp" }, // cut after three of four bytes
        { "a:b", "\xc3", "a-b" },            // the replacement is walked as well
    };

    for (const auto& c : cases)
    {
        const auto name = stringOfRawBytes (c.name);
        const auto replacement = stringOfRawBytes (c.replacement);
        EXPECT_EQ (sanitiseFileName (name, replacement, "x", 108), c.expected) << c.expected;
    }
}

// 120 characters of three or four bytes each made names too long for Linux, so files under
// them could never be written.
TEST (PathRules, SanitisedNamesStayWithinTheBytesLinuxAllows)
{
    const auto kana = juce::String::charToString (0x30b9);     // three bytes in UTF-8
    const auto emoji = juce::String::charToString (0x1f3bb);   // four bytes

    const struct
    {
        juce::String name;
        int maxLength;
        juce::String expected;
    } cases[] = {
        { juce::String::repeatedString (kana, 120), 120, juce::String::repeatedString (kana, 66) },
        { juce::String::repeatedString (emoji, 120), 120, juce::String::repeatedString (emoji, 50) },
        // The cut lands inside the second emoji: only whole characters stay.
        { juce::String::repeatedString ("x", 197) + emoji + emoji, 0, juce::String::repeatedString ("x", 197) },
        { juce::String::repeatedString ("x", 120), 120, juce::String::repeatedString ("x", 120) },
    };

    TemporaryFolder temp;

    for (const auto& c : cases)
    {
        const auto name = sanitiseFileName (c.name, "-", "x", c.maxLength);
        EXPECT_EQ (name, c.expected);

        // The hidden temporary name a writer puts beside the file must fit as well.
        juce::TemporaryFile hidden (temp.file (name + ".wav"), juce::TemporaryFile::useHiddenFile);
        EXPECT_TRUE (hidden.getFile().replaceWithText ("x")) << hidden.getFile().getFileName().getNumBytesAsUTF8();
    }
}

TEST (PathRules, ValidateOutputFolderRefusals)
{
    TemporaryFolder temp;
    juce::String error;

    EXPECT_FALSE (validateOutputFolder (juce::File(), error));
    EXPECT_EQ (error, "No output folder has been chosen.");

    EXPECT_FALSE (validateOutputFolder (juce::String(), error));
    EXPECT_EQ (error, "No output folder has been chosen.");

    EXPECT_FALSE (validateOutputFolder (juce::String ("deliveries/out"), error));
    EXPECT_EQ (error, "The output folder must be an absolute path.");

    EXPECT_FALSE (validateOutputFolder (juce::File ("/"), error));
    EXPECT_EQ (error, "Writing a delivery to the root of a volume is not allowed.");

    const auto file = temp.folder.getChildFile ("notes.txt");
    ASSERT_TRUE (file.replaceWithText ("x"));
    EXPECT_FALSE (validateOutputFolder (file, error));
    EXPECT_EQ (error, "The output folder is an existing file.");

    // A folder can't be made under a regular file, even when running as root.
    EXPECT_FALSE (validateOutputFolder (file.getChildFile ("out"), error));
    EXPECT_TRUE (error.startsWith ("The output folder could not be created: ")) << error;
    EXPECT_GT (error.length(), juce::String ("The output folder could not be created: ").length());
}

TEST (PathRules, ValidateOutputFolderCreatesMissingFolders)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("a/b/out");
    juce::String error { "stale" };

    EXPECT_TRUE (validateOutputFolder (target, error));
    EXPECT_TRUE (error.isEmpty());
    EXPECT_TRUE (target.isDirectory());

    EXPECT_TRUE (validateOutputFolder (target.getFullPathName(), error));
    EXPECT_TRUE (error.isEmpty());
}

// Planning a run must not leave folders behind when the run is cancelled or never confirmed.
TEST (PathRules, CheckOutputFolderCreatesNothing)
{
    TemporaryFolder temp;
    const auto file = temp.make ("notes.txt");
    juce::String error;

    struct Case
    {
        juce::File folder;
        bool ok;
        juce::String errorStart;
    } cases[] = {
        { juce::File(), false, "No output folder has been chosen." },
        { juce::File ("/"), false, "Writing a delivery to the root of a volume is not allowed." },
        { file, false, "The output folder is an existing file." },
        { file.getChildFile ("out/deeper"), false, "The output folder could not be created: " },
        { temp.folder, true, {} },
        { temp.file ("a/b/out"), true, {} },
    };

    for (const auto& c : cases)
    {
        error = "stale";
        EXPECT_EQ (checkOutputFolder (c.folder, error), c.ok) << c.folder.getFullPathName();
        EXPECT_TRUE (c.ok ? error.isEmpty() : error.startsWith (c.errorStart)) << error;
    }

    EXPECT_EQ (TemporaryFolder::listing (temp.folder), juce::StringArray ("notes.txt"));
}
