#include "KeywordMatcher.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/files/FolderListing.h"
#include "core/model/CaseFolding.h"

namespace dunmoor
{

namespace
{
    bool isAsciiUpper (juce::juce_wchar c) { return c >= 'A' && c <= 'Z'; }
    bool isAsciiLower (juce::juce_wchar c) { return c >= 'a' && c <= 'z'; }
    bool isAsciiLetter (juce::juce_wchar c) { return isAsciiUpper (c) || isAsciiLower (c); }
    bool isAsciiDigit (juce::juce_wchar c) { return c >= '0' && c <= '9'; }

    // Everything of 128 and above counts as a letter, so accented and non-Latin names keep their words.
    bool isWordCharacter (juce::juce_wchar c) { return isAsciiLetter (c) || isAsciiDigit (c) || c >= 128; }

    std::vector<juce::juce_wchar> toCodePoints (const juce::String& text)
    {
        std::vector<juce::juce_wchar> result;
        result.reserve ((size_t) text.getNumBytesAsUTF8());

        for (auto p = text.getCharPointer(); ! p.isEmpty();)
            result.push_back (p.getAndAdvance());

        return result;
    }

    juce::StringArray splitAtSpaces (const juce::String& normalised)
    {
        juce::StringArray tokens;
        auto p = normalised.getCharPointer();

        for (;;)
        {
            auto start = p;
            while (! p.isEmpty() && *p != ' ')
                ++p;

            const juce::String token (start, p);
            if (! token.trim().isEmpty())
                tokens.add (token);

            if (p.isEmpty())
                break;
            ++p;
        }

        return tokens;
    }
} // namespace

FileNameAnalysis analyseFileName (const juce::String& givenName)
{
    // A name that is not valid UTF-8 is read with each stray byte as U+FFFD: decoding it as it
    // stands reads past the end of its buffer.
    const auto fileName = isWellFormedText (givenName) ? givenName
                                                       : showBytesAsText (givenName.toRawUTF8(), std::strlen (givenName.toRawUTF8()));

    FileNameAnalysis analysis;
    analysis.fileName = fileName;
    analysis.baseName = fileName;

    const auto dot = fileName.lastIndexOfChar ('.');
    if (dot > 0)
    {
        const auto tail = fileName.substring (dot + 1);
        const auto tailLength = tail.length();
        bool isExtension = tailLength >= 1 && tailLength <= 5;

        for (auto p = tail.getCharPointer(); isExtension && ! p.isEmpty();)
        {
            const auto c = p.getAndAdvance();
            isExtension = isAsciiLetter (c) || isAsciiDigit (c);
        }

        if (isExtension)
            analysis.baseName = fileName.substring (0, dot);
    }

    analysis.normalised = normaliseForMatching (analysis.baseName);
    analysis.tokens = splitAtSpaces (analysis.normalised);
    return analysis;
}

juce::String normaliseForMatching (const juce::String& text)
{
    const auto input = toCodePoints (text);

    std::vector<juce::juce_wchar> output;
    output.reserve (input.size() * 2 + 1);

    juce::juce_wchar previous = 0;
    bool separatorPending = false;

    for (size_t i = 0; i < input.size(); ++i)
    {
        const auto c = input[i];

        if (! isWordCharacter (c))
        {
            if (! output.empty())
                separatorPending = true;
        }
        else
        {
            if (separatorPending)
            {
                output.push_back (' ');
                separatorPending = false;
            }
            else if (previous != 0)
            {
                const bool nextIsUpper = i + 1 < input.size() && isAsciiUpper (input[i + 1]);
                const bool lowerToUpper = isAsciiLower (previous) && isAsciiUpper (c) && ! nextIsUpper;
                const bool letterDigit = (isAsciiLetter (previous) && isAsciiDigit (c))
                                         || (isAsciiDigit (previous) && isAsciiLetter (c));
                if (lowerToUpper || letterDigit)
                    output.push_back (' ');
            }

            output.push_back (toLowerCaseFixed (c));
        }

        previous = c;
    }

    output.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (output.data())).trim();
}

juce::StringArray tokenizeKeyword (const juce::String& text)
{
    return splitAtSpaces (normaliseForMatching (text));
}

juce::StringArray pluralVariants (const juce::String& word)
{
    const auto w = toLowerCaseFixed (word.trim());
    if (w.isEmpty())
        return {};

    juce::StringArray forms (w);
    const auto length = w.length();
    if (length < 3)
        return forms;

    if (! w.endsWithChar ('s'))
        forms.addIfNotAlreadyThere (w + "s");

    forms.addIfNotAlreadyThere (w + "es");

    if (w.endsWithChar ('y') && length >= 4 && ! juce::String ("aeiou").containsChar (w[length - 2]))
        forms.addIfNotAlreadyThere (w.dropLastCharacters (1) + "ies");

    if (w.endsWith ("ies") && length >= 5)
        forms.addIfNotAlreadyThere (w.dropLastCharacters (3) + "y");

    if (w.endsWith ("es") && length >= 5)
        forms.addIfNotAlreadyThere (w.dropLastCharacters (2));

    if (w.endsWithChar ('s') && ! w.endsWith ("ss") && length >= 4)
        forms.addIfNotAlreadyThere (w.dropLastCharacters (1));

    return forms;
}

int boundedEditDistance (const juce::String& a, const juce::String& b, int bound)
{
    const int beyond = bound == std::numeric_limits<int>::max() ? bound : bound + 1;

    const auto x = toCodePoints (a);
    const auto y = toCodePoints (b);
    const auto lengthA = (int) x.size();
    const auto lengthB = (int) y.size();

    if (std::abs (lengthA - lengthB) > bound)
        return beyond;
    if (lengthA == 0)
        return lengthB;
    if (lengthB == 0)
        return lengthA;

    std::vector<int> previousRow ((size_t) lengthB + 1), row ((size_t) lengthB + 1);
    for (int j = 0; j <= lengthB; ++j)
        previousRow[(size_t) j] = j;

    for (int i = 1; i <= lengthA; ++i)
    {
        row[0] = i;
        int rowMinimum = row[0];

        for (int j = 1; j <= lengthB; ++j)
        {
            const auto substitution = previousRow[(size_t) j - 1] + (x[(size_t) i - 1] == y[(size_t) j - 1] ? 0 : 1);
            row[(size_t) j] = std::min ({ previousRow[(size_t) j] + 1, row[(size_t) j - 1] + 1, substitution });
            rowMinimum = std::min (rowMinimum, row[(size_t) j]);
        }

        if (rowMinimum > bound)
            return beyond;

        std::swap (previousRow, row);
    }

    return previousRow[(size_t) lengthB];
}

} // namespace dunmoor
