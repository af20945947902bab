#include <gtest/gtest.h>

#include "core/preset/JsonText.h"

using namespace dunmoor;

namespace
{
    juce::String repeated (const char* text, int times)
    {
        return juce::String::repeatedString (text, times);
    }
} // namespace

// 100 KB of "[" used to overflow the parser's recursion and crash the program at start-up.
TEST (JsonText, RefusesDeepNestingBeforeParsing)
{
    juce::var result;
    const auto deep = parseJsonDocument (repeated ("[", 100000), result);
    EXPECT_TRUE (deep.failed());
    EXPECT_TRUE (deep.getErrorMessage().contains ("256")) << deep.getErrorMessage();
    EXPECT_TRUE (result.isVoid());

    const auto deepObjects = parseJsonDocument (repeated ("{\"a\":", 5000) + "1" + repeated ("}", 5000), result);
    EXPECT_TRUE (deepObjects.failed());
}

TEST (JsonText, CountsNestingOutsideStringsOnly)
{
    const auto atLimit = repeated ("[", maxJsonNestingDepth) + repeated ("]", maxJsonNestingDepth);
    const auto overLimit = "[" + atLimit + "]";

    struct Case
    {
        juce::String text;
        bool within;
    };

    const Case cases[] = {
        { atLimit, true },
        { overLimit, false },
        { "[\"" + repeated ("[", 1000) + "\"]", true },                     // brackets in a string
        { "[\"\\\"" + repeated ("{", 1000) + "\"]", true },                 // after an escaped quote
        { "['\"', " + repeated ("[", 1000) + repeated ("]", 1000) + "]", false },   // a double quote inside a single-quoted string
        { "[\"\\\\\", " + repeated ("[", 1000) + repeated ("]", 1000) + "]", false }, // an escaped backslash ends the string
        { repeated ("[]", 10000), true },                                    // long but flat
    };

    for (const auto& c : cases)
        EXPECT_EQ (isJsonNestingWithin (c.text), c.within) << c.text.substring (0, 60);
}

// The framework's printer writes characters beyond the BMP as two \u escapes that its parser
// does not join again, so an emoji came back as two broken characters.
TEST (JsonText, CharactersBeyondTheBasicPlaneSurviveAPrintAndParse)
{
    const juce::String emoji (juce::CharPointer_UTF8 ("Cue \xf0\x9f\x8e\xbb \xf0\x9f\x98\x80 \xe6\xbc\xa2"));

    auto* object = new juce::DynamicObject();
    object->setProperty ("name", emoji);
    object->setProperty ("list", juce::Array<juce::var> { emoji, 3 });
    const juce::var document (object);

    const auto text = printJsonDocument (document);
    ASSERT_TRUE (text.containsIgnoreCase ("\\ud83c\\udfbb")) << text;   // the printer's pair

    juce::var parsed;
    ASSERT_TRUE (parseJsonDocument (text, parsed).wasOk());
    EXPECT_EQ (parsed["name"].toString(), emoji);
    EXPECT_EQ (parsed["list"][0].toString(), emoji);
    EXPECT_EQ (parsed["name"].toString().length(), 9);
}

TEST (JsonText, JoinsOnlyRealPairs)
{
    juce::var parsed;
    ASSERT_TRUE (parseJsonDocument ("{\"a\": \"x\\udc00\\ud83d y\\ud83d\\ude00\"}", parsed).wasOk());
    const auto text = parsed["a"].toString();

    ASSERT_EQ (text.length(), 6);
    EXPECT_EQ (text[1], (juce::juce_wchar) 0xdc00);   // a lone low surrogate stays
    EXPECT_EQ (text[2], (juce::juce_wchar) 0xd83d);   // a high surrogate followed by a space stays
    EXPECT_EQ (text[5], (juce::juce_wchar) 0x1f600);
}

TEST (JsonText, ReportsParserErrors)
{
    juce::var parsed;
    EXPECT_TRUE (parseJsonDocument ("{\"a\": }", parsed).failed());
    EXPECT_TRUE (parseJsonDocument ("", parsed).failed() || parsed.isVoid());
    EXPECT_TRUE (parseJsonDocument ("[1, 2]", parsed).wasOk());
    EXPECT_TRUE (parsed.isArray());
}
