#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/files/JsonText.h"

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

// The framework's parser gathers an integer in 64 bits and an exponent in 32 bits without a
// check: 18446744073709551617 read as 1 and 3e4294967296 as 3 (signed overflow underneath).
TEST (JsonText, NumbersBeyondTheParsersIntegersKeepTheirValue)
{
    constexpr auto inf = std::numeric_limits<double>::infinity();

    struct Case
    {
        const char* number;
        double value;
        bool exactInteger;   // read as a whole number, not a double
        juce::int64 integer = 0;
    };

    const Case cases[] = {
        { "18446744073709551617", 1.8446744073709552e19, false },
        { "-18446744073709551617", -1.8446744073709552e19, false },
        { "9223372036854775807", 0.0, true, std::numeric_limits<juce::int64>::max() },
        { "-9223372036854775807", 0.0, true, -std::numeric_limits<juce::int64>::max() },
        { "9223372036854775808", 9223372036854775808.0, false },
        { "-9223372036854775808", -9223372036854775808.0, false },
        { "0000000000000000000000000042", 0.0, true, 42 },
        { "123456789012345678901.5", 123456789012345678901.5, false },
        { "123456789012345678901e-21", 0.123456789012345678901, false },
        { "-  123456789012345678901.25E+2", -12345678901234567890125.0, false },
        { "3e4294967296", inf, false },
        { "-1e4294967297", -inf, false },
        { "1e-4294967297", 0.0, false },
        { "0.00000000000000000000000000000000000000000000001e4294967296", inf, false },
        { "1e0000000000000000000000002", 100.0, false },
        { "1.5e300", 1.5e300, false },
        { "-0.000001", -1e-6, false },
        { "7", 0.0, true, 7 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.number);
        juce::var parsed;
        ASSERT_TRUE (parseJsonDocument ("[" + juce::String (c.number) + ", \"x\"]", parsed).wasOk());
        ASSERT_EQ (parsed.size(), 2);

        const auto& v = parsed[0];
        EXPECT_EQ (v.isInt() || v.isInt64(), c.exactInteger);
        EXPECT_EQ (parsed[1].toString(), "x");

        if (std::isinf (c.value))
            EXPECT_EQ ((double) v, c.value);
        else if (c.exactInteger)
            EXPECT_EQ ((juce::int64) v, c.integer);
        else
            EXPECT_DOUBLE_EQ ((double) v, c.value);
    }

    // Digits inside strings and names are text.
    juce::var parsed;
    ASSERT_TRUE (parseJsonDocument ("{\"99999999999999999999\": \"18446744073709551617\", \"a\": ['1e4294967296']}", parsed).wasOk());
    EXPECT_EQ (parsed["99999999999999999999"].toString(), "18446744073709551617");
    EXPECT_EQ (parsed["a"][0].toString(), "1e4294967296");
}

// After a minus sign the framework took any character for a digit: "-.5" read as 15.
TEST (JsonText, AMinusSignWithoutADigitIsAnError)
{
    juce::var parsed;

    for (const auto* text : { "[-.5]", "[-e5]", "[-]", "{\"a\": -x}", "[1, - ]" })
        EXPECT_TRUE (parseJsonDocument (text, parsed).failed()) << text;

    ASSERT_TRUE (parseJsonDocument ("[-0.5, - 2, \"-.5\"]", parsed).wasOk());
    EXPECT_EQ ((double) parsed[0], -0.5);
    EXPECT_EQ ((int) parsed[1], -2);
}
