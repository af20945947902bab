#include <gtest/gtest.h>

#include "core/session/KeywordText.h"

namespace dunmoor
{
namespace
{
    // mode:pattern@priority!exclusion... per rule, rules joined by " | ".
    juce::String describe (const std::vector<KeywordRule>& rules)
    {
        juce::StringArray parts;
        for (const auto& r : rules)
        {
            auto text = matchModeToString (r.mode) + ":" + r.pattern + "@" + juce::String (r.priority);
            for (const auto& e : r.excludes)
                text << "!" << e;
            parts.add (text);
        }
        return parts.joinIntoString (" | ");
    }

    KeywordRule rule (const char* pattern, MatchMode mode, int priority = 0, juce::StringArray excludes = {}, const char* note = "")
    {
        KeywordRule r;
        r.pattern = pattern;
        r.mode = mode;
        r.priority = priority;
        r.excludes = std::move (excludes);
        r.note = note;
        return r;
    }

    TEST (KeywordText, ParsesEntries)
    {
        struct Case
        {
            const char* text;
            const char* rules;
        };
        const Case cases[] = {
            { "", "" },
            { "# only a comment\n   # and another", "" },
            { ", ,", "" },
            { "bass @5 !synth !sub", "token:bass@5!synth!sub" },
            { "bass !synth @5", "token:bass@0!synth @5" },
            { "bass ! synth ! ! sub !", "token:bass@0!synth!sub" },
            { "lead vox", "phrase:lead vox@0" },
            { "lead\tvox", "token:lead\tvox@0" }, // only a space makes a phrase
            { "~ Lead Vox", "exact:Lead Vox@0" },
            { "~?x", "exact:?x@0" },
            { "?lead vox", "fuzzy:lead vox@0" },
            { "~solo", "exact:solo@0" },
            { "@3", "" },
            { "~", "" },
            { "!bass", "" },
            { "  @7 !x ", "" },
            { "x @abc", "token:x@0" },
            { "x @-7", "token:x@-7" },
            { "x @ 12abc", "token:x@12" },
            { "x @+4", "token:x@4" },
            { "x @5 @6", "token:x@5" },
            { "x @- 7", "token:x@0" },
            { "vox # backing only", "token:vox@0" },
            { "a#b, c", "token:a@0" },
            { "a, b", "token:a@0 | token:b@0" },
            { "a\nb", "token:a@0 | token:b@0" },
            { "a\r\nb", "token:a@0 | token:b@0" },
            { "a\rb", "token:a@0 | token:b@0" },
            { "kick,, snare ,\n\n  hat,", "token:kick@0 | token:snare@0 | token:hat@0" },
            { "x @1000, y @-1000, z @0001000", "token:x@1000 | token:y@-1000 | token:z@1000" },
        };

        for (const auto& c : cases)
        {
            const auto parsed = parseKeywordTextWithAdjustments (c.text);
            EXPECT_EQ (describe (parsed.rules), juce::String (c.rules)) << c.text;
            EXPECT_TRUE (parsed.adjustments.isEmpty()) << c.text;
            EXPECT_EQ (describe (parseKeywordText (c.text)), juce::String (c.rules)) << c.text;
        }

        for (const auto& r : parseKeywordText ("a, b !c"))
            EXPECT_TRUE (r.note.isEmpty());
    }

    // A priority outside the preset reader's range made the preset unreadable, and large ones wrapped.
    TEST (KeywordText, ClampsPrioritiesWithSaturation)
    {
        struct Case
        {
            const char* text;
            int priority;
        };
        const Case cases[] = {
            { "x @5000", 1000 },
            { "x @1001", 1000 },
            { "x @-1001", -1000 },
            { "x @99999999999", 1000 },
            { "x @4294967297", 1000 }, // wraps to 1 in 32 bits
            { "x @-99999999999999999999999999", -1000 },
            { "x @+99999999999999999999999999abc", 1000 },
        };

        for (const auto& c : cases)
        {
            const auto parsed = parseKeywordTextWithAdjustments (c.text);
            ASSERT_EQ (parsed.rules.size(), 1u) << c.text;
            EXPECT_EQ (parsed.rules[0].priority, c.priority) << c.text;
            EXPECT_EQ (parsed.adjustments.size(), 1) << c.text;
        }

        EXPECT_EQ (parseKeywordTextWithAdjustments ("bass @5000 !synth").adjustments[0],
                   "The priority 5000 of 'bass' is outside -1000 to 1000 and was set to 1000.");
    }

    // Texts and counts over the preset reader's limits made the preset unreadable.
    TEST (KeywordText, KeepsThePresetLimits)
    {
        const auto longest = juce::String::repeatedString ("k", 4096);
        const auto tooLong = longest + "k";

        const auto kept = parseKeywordTextWithAdjustments (longest + " !" + longest);
        ASSERT_EQ (kept.rules.size(), 1u);
        EXPECT_EQ (kept.rules[0].pattern, longest);
        EXPECT_EQ (kept.rules[0].excludes, juce::StringArray (longest));
        EXPECT_TRUE (kept.adjustments.isEmpty());

        const auto longPattern = parseKeywordTextWithAdjustments ("kick, " + tooLong + " @3 !x, snare");
        EXPECT_EQ (describe (longPattern.rules), "token:kick@0 | token:snare@0");
        ASSERT_EQ (longPattern.adjustments.size(), 1);
        EXPECT_TRUE (longPattern.adjustments[0].startsWith ("The keyword 'kkkk"));
        EXPECT_TRUE (longPattern.adjustments[0].endsWith ("...' is longer than 4096 characters and was left out."));

        const auto longExclusion = parseKeywordTextWithAdjustments ("bass !synth !" + tooLong + " !sub");
        EXPECT_EQ (describe (longExclusion.rules), "token:bass@0!synth!sub");
        EXPECT_EQ (longExclusion.adjustments,
                   juce::StringArray ("An exclusion of 'bass' is longer than 4096 characters and was left out."));

        juce::String manyExclusions ("pad");
        for (int i = 0; i < 300; ++i)
            manyExclusions << " !e" << i;
        const auto exclusions = parseKeywordTextWithAdjustments (manyExclusions);
        ASSERT_EQ (exclusions.rules.size(), 1u);
        EXPECT_EQ (exclusions.rules[0].excludes.size(), 256);
        EXPECT_EQ (exclusions.rules[0].excludes[255], "e255");
        EXPECT_EQ (exclusions.adjustments,
                   juce::StringArray ("'pad' has more than 256 exclusions; only the first 256 were kept."));

        juce::StringArray lines;
        for (int i = 0; i < 2003; ++i)
            lines.add ("k" + juce::String (i) + (i >= 2001 ? " @5000" : ""));
        const auto rules = parseKeywordTextWithAdjustments (lines.joinIntoString ("\n"));
        ASSERT_EQ (rules.rules.size(), 2000u);
        EXPECT_EQ (rules.rules.back().pattern, "k1999");
        EXPECT_EQ (rules.adjustments, juce::StringArray ("Only the first 2000 rules were kept; 3 more were left out."));

        lines.removeRange (2000, 3);
        EXPECT_TRUE (parseKeywordTextWithAdjustments (lines.joinIntoString (",")).adjustments.isEmpty());
    }

    TEST (KeywordText, Formats)
    {
        EXPECT_EQ (formatKeywordText ({}), "");
        EXPECT_EQ (formatKeywordText ({ rule ("vox", MatchMode::token) }), "vox");
        EXPECT_EQ (formatKeywordText ({ rule ("lead vox", MatchMode::phrase) }), "lead vox");
        EXPECT_EQ (formatKeywordText ({ rule ("Lead Vox", MatchMode::exact) }), "~Lead Vox");
        EXPECT_EQ (formatKeywordText ({ rule ("violin", MatchMode::fuzzy, 2) }), "?violin @2");
        EXPECT_EQ (formatKeywordText ({ rule ("bass", MatchMode::token, 5, { "synth", "sub" }) }), "bass @5 !synth !sub");
        EXPECT_EQ (formatKeywordText ({ rule ("a", MatchMode::token, -7), rule ("b c", MatchMode::exact, 0, { "d" }) }),
                   "a @-7, ~b c !d");
    }

    TEST (KeywordText, RoundTrips)
    {
        const std::vector<KeywordRule> rules = {
            rule ("vox", MatchMode::token, 0, {}, "a note"),
            rule ("lead vox", MatchMode::phrase, 10),
            rule ("Lead Vox", MatchMode::exact, -1000, { "dry", "wet take" }),
            rule ("violin", MatchMode::fuzzy, 1000),
            rule ("bass", MatchMode::token, 5, { "synth", "sub" }),
        };

        auto expected = rules;
        expected[0].note = {};
        EXPECT_EQ (describe (parseKeywordText (formatKeywordText (rules))), describe (expected));
        EXPECT_TRUE (parseKeywordText (formatKeywordText (rules)) == expected);

        struct Case
        {
            KeywordRule rule;
            const char* after;
        };
        const Case changed[] = {
            { rule ("vox", MatchMode::phrase), "token:vox@0" },
            { rule ("lead vox", MatchMode::token), "phrase:lead vox@0" },
            { rule ("  vox ", MatchMode::token, 0, { " dry " }), "token:vox@0!dry" },
            { rule ("a,b", MatchMode::token), "token:a@0 | token:b@0" },
            { rule ("a#b", MatchMode::token, 3), "token:a@0" },
            { rule ("a!b", MatchMode::token), "token:a@0!b" },
            { rule ("a@b", MatchMode::token, 2), "token:a@0" },
            { rule ("~a", MatchMode::token), "exact:a@0" },
            { rule ("?a", MatchMode::phrase), "fuzzy:a@0" },
            { rule ("a", MatchMode::token, 0, { "b,c" }), "token:a@0!b | token:c@0" },
        };

        for (const auto& c : changed)
            EXPECT_EQ (describe (parseKeywordText (formatKeywordText ({ c.rule }))), juce::String (c.after)) << c.rule.pattern;
    }

} // namespace
} // namespace dunmoor
