#include <clocale>
#include <cwctype>
#include <string>

#include <gtest/gtest.h>

#include "core/model/CaseFolding.h"
#include "core/session/Cue.h"
#include "core/session/KeywordMatcher.h"

using namespace dunmoor;

namespace
{
    juce::String utf8 (const char* text) { return juce::String::fromUTF8 (text); }

    /** Switches the character type locale for a while. */
    struct ScopedCharacterLocale
    {
        explicit ScopedCharacterLocale (const char* name)
            : previous (std::setlocale (LC_CTYPE, nullptr))
        {
            EXPECT_NE (std::setlocale (LC_CTYPE, name), nullptr) << name;
        }

        ~ScopedCharacterLocale() { std::setlocale (LC_CTYPE, previous.c_str()); }

        const std::string previous;
    };

    /** The key rule written out: h = h * 101 + code point over the text as given. */
    juce::String keyOf (const juce::String& alreadyLowerCase)
    {
        uint64_t h = 0;

        for (auto p = alreadyLowerCase.getCharPointer(); ! p.isEmpty();)
            h = h * 101u + (uint64_t) p.getAndAdvance();

        return juce::String::toHexString ((juce::int64) h);
    }
} // namespace

TEST (CaseFolding, TablesGiveTheUtf8LocalesCaseForEveryCodePoint)
{
    const ScopedCharacterLocale utf8Locale ("C.UTF-8");

    for (juce::juce_wchar c = 0; c < 0x110000; ++c)
    {
        ASSERT_EQ (toLowerCaseFixed (c), (juce::juce_wchar) std::towlower ((wint_t) c)) << "U+" << std::hex << c;
        ASSERT_EQ (toUpperCaseFixed (c), (juce::juce_wchar) std::towupper ((wint_t) c)) << "U+" << std::hex << c;
    }

    EXPECT_EQ (toLowerCaseFixed (utf8 ("\xc3\x89" "CLAT \xc3\x9c" "ber \xce\xa3\xce\x9f\xce\xa6")), utf8 ("\xc3\xa9" "clat \xc3\xbc" "ber \xcf\x83\xce\xbf\xcf\x86"));
}

// Under the C locale a folder "ÉCLAT" got another key than under C.UTF-8, and "ÜberKick"
// matched differently: keys and matching now come out the same under every locale.
TEST (CaseFolding, CueKeysAndMatchingAreTheSameUnderEveryLocale)
{
    StemSchema schema;
    schema.matchPlurals = true;

    for (const char* name : { "\xc3\xa9" "a", "\xc3\x89" "b" })
    {
        Stem stem;
        stem.id = utf8 (name);
        stem.displayName = utf8 (name);
        stem.index = (int) schema.stems.size() + 1;
        stem.rules.push_back ({ utf8 ("\xc3\xbc" "ber"), MatchMode::token, 0, {}, {} });
        schema.stems.push_back (stem);
    }

    for (const char* locale : { "C", "C.UTF-8" })
    {
        SCOPED_TRACE (locale);
        const ScopedCharacterLocale scoped (locale);

        EXPECT_EQ (stableIdFromText (utf8 ("/Music/\xc3\x89" "CLAT")), keyOf (utf8 ("/music/\xc3\xa9" "clat")));
        EXPECT_EQ (stableIdFromText (utf8 ("/Music/\xc3\x89" "CLAT")), stableIdFromText (utf8 ("/music/\xc3\xa9" "clat")));

        EXPECT_EQ (normaliseForMatching (utf8 ("\xc3\x9c" "berKick_take2")), utf8 ("\xc3\xbc" "ber kick take 2"));

        // Equally strong stems are listed by their names compared ignoring case: "éa" before
        // "Éb" (under the C locale "É" used to sort before "é").
        const auto result = matchFileName ({}, schema, utf8 ("\xc3\x9c" "BER Kick.wav"));
        EXPECT_EQ (result.confidence, Confidence::ambiguous);
        ASSERT_EQ (result.candidates.size(), 2u);
        EXPECT_EQ (result.candidates[0].stemName, utf8 ("\xc3\xa9" "a"));
        EXPECT_EQ (result.matchedKeywords, juce::StringArray (utf8 ("\xc3\xbc" "ber")));
    }
}
