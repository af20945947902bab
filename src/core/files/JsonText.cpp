#include "JsonText.h"

#include <algorithm>
#include <string>

namespace dunmoor
{

bool isJsonNestingWithin (const juce::String& text, int maxDepth)
{
    int depth = 0;
    juce::juce_wchar quote = 0;   // the quote that opened the current string literal, or 0
    auto p = text.getCharPointer();

    for (;;)
    {
        const auto c = p.getAndAdvance();

        if (c == 0)
            return true;

        if (quote != 0)
        {
            if (c == '\\')
            {
                if (p.getAndAdvance() == 0)
                    return true;
            }
            else if (c == quote)
            {
                quote = 0;
            }

            continue;
        }

        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '[' || c == '{')
        {
            if (++depth > maxDepth)
                return false;
        }
        else if (c == ']' || c == '}')
            --depth;   // unbalanced closers are the parser's to report
    }
}

namespace
{
    bool isHighSurrogate (juce::juce_wchar c) { return c >= 0xd800 && c <= 0xdbff; }
    bool isLowSurrogate (juce::juce_wchar c) { return c >= 0xdc00 && c <= 0xdfff; }

    bool containsSurrogate (const juce::String& text)
    {
        for (auto p = text.getCharPointer(); ! p.isEmpty();)
        {
            const auto c = p.getAndAdvance();

            if (c >= 0xd800 && c <= 0xdfff)
                return true;
        }

        return false;
    }

    void joinInTree (juce::var& value, int depth)
    {
        // The tree came from a depth-checked document; the bound is only a second fence.
        if (depth > maxJsonNestingDepth + 1)
            return;

        if (value.isString())
        {
            const auto text = value.toString();

            if (containsSurrogate (text))
                value = joinSurrogatePairs (text);
        }
        else if (auto* array = value.getArray())
        {
            for (auto& element : *array)
                joinInTree (element, depth + 1);
        }
        else if (auto* object = value.getDynamicObject())
        {
            auto& properties = object->getProperties();

            for (int i = 0; i < properties.size(); ++i)
                if (auto* property = properties.getVarPointerAt (i))
                    joinInTree (*property, depth + 1);
        }
    }

    bool isAsciiDigit (juce::juce_wchar c) { return c >= '0' && c <= '9'; }

    using CharPointer = juce::String::CharPointerType;

    CharPointer skipDigits (CharPointer p)
    {
        while (isAsciiDigit (*p))
            ++p;

        return p;
    }

    /** The digits without their leading zeros. */
    std::string significantDigits (CharPointer start, CharPointer end)
    {
        while (start < end && *start == '0')
            ++start;

        std::string digits;

        for (; start < end; ++start)
            digits += (char) *start;

        return digits;
    }

    // The parser gathers a number's integer part in an int64 and its exponent in an int before it
    // knows how long they are. Every integer part above this has overflowed, and no exponent of up
    // to this many digits can.
    const std::string largestParsedInteger ("9223372036854775807");
    constexpr size_t maxSafeExponentDigits = 6;

    bool integerOverflows (const std::string& digits)
    {
        return digits.size() > largestParsedInteger.size()
            || (digits.size() == largestParsedInteger.size() && digits > largestParsedInteger);
    }

    /** One number as the parser reads it: integer digits, then a fraction and an exponent if
        the parser goes on to read them as a double. */
    struct NumberText
    {
        explicit NumberText (CharPointer start)
            : intStart (start)
            , intEnd (skipDigits (start))
            , fractionStart (intEnd)
            , fractionEnd (intEnd)
            , exponentStart (intEnd)
            , exponentEnd (intEnd)
            , end (intEnd)
        {
            if (*end == '.')
            {
                fractionStart = end + 1;
                fractionEnd = end = skipDigits (fractionStart);
            }

            if (*end == 'e' || *end == 'E')
            {
                auto p = end + 1;

                if (*p == '+' || *p == '-')
                    negativeExponent = (p.getAndAdvance() == '-');

                const auto digitsEnd = skipDigits (p);

                // Without digits the "e" is not part of the number.
                if (digitsEnd != p)
                {
                    exponentStart = p;
                    exponentEnd = end = digitsEnd;
                }
            }
        }

        bool overflowsParser() const
        {
            return integerOverflows (significantDigits (intStart, intEnd))
                || significantDigits (exponentStart, exponentEnd).size() > maxSafeExponentDigits;
        }

        /** The same value as 0.ddd...e+n: the integer part is a single 0, which the parser reads
            without overflow, and the exponent is small (beyond +-100000 every double is 0 or
            infinite anyway). */
        juce::String safeText() const
        {
            std::string digits;

            for (auto p = intStart; p < intEnd; ++p)
                digits += (char) *p;

            const auto integerDigits = (juce::int64) digits.size();

            for (auto p = fractionStart; p < fractionEnd; ++p)
                digits += (char) *p;

            const auto leadingZeros = digits.find_first_not_of ('0');

            if (leadingZeros == std::string::npos)
                return "0.0";

            constexpr juce::int64 exponentLimit = 100000;
            juce::int64 exponent = 0;

            for (auto p = exponentStart; p < exponentEnd; ++p)
                exponent = std::min (exponentLimit * 10, exponent * 10 + (juce::int64) (*p - '0'));

            exponent = (negativeExponent ? -exponent : exponent)
                     + integerDigits - (juce::int64) leadingZeros;

            // The parser keeps 18 significant digits; more would only lengthen the text.
            return "0." + juce::String (digits.substr (leadingZeros, 40))
                 + "e" + juce::String (juce::jlimit (-exponentLimit, exponentLimit, exponent));
        }

        CharPointer intStart, intEnd, fractionStart, fractionEnd, exponentStart, exponentEnd, end;
        bool negativeExponent = false;
    };

    /** The text with every number the parser would read with integer overflow rewritten to the
        same value in a form it reads safely; fails on a minus sign without a digit after it, which
        the parser would read as a number made of whatever character follows. */
    juce::Result makeNumbersSafeToParse (juce::String& text)
    {
        juce::String rewritten;
        auto copiedUpTo = text.getCharPointer();
        bool changed = false;
        juce::juce_wchar quote = 0;

        for (auto p = text.getCharPointer();;)
        {
            const auto here = p;
            const auto c = p.getAndAdvance();

            if (c == 0)
                break;

            if (quote != 0)
            {
                if (c == '\\')
                {
                    if (p.getAndAdvance() == 0)
                        break;
                }
                else if (c == quote)
                {
                    quote = 0;
                }

                continue;
            }

            if (c == '"' || c == '\'')
            {
                quote = c;
            }
            else if (c == '-')
            {
                // The parser allows white space between the sign and the digits.
                p = p.findEndOfWhitespace();

                if (! isAsciiDigit (*p))
                    return juce::Result::fail ("a minus sign is not followed by a digit");
            }
            else if (isAsciiDigit (c))
            {
                const NumberText number (here);

                if (number.overflowsParser())
                {
                    rewritten += juce::String (copiedUpTo, here) + number.safeText();
                    copiedUpTo = number.end;
                    changed = true;
                }

                p = number.end;
            }
        }

        if (changed)
            text = rewritten + juce::String (copiedUpTo);

        return juce::Result::ok();
    }
} // namespace

juce::String joinSurrogatePairs (const juce::String& text)
{
    if (! containsSurrogate (text))
        return text;

    juce::Array<juce::juce_wchar> chars;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (isLowSurrogate (c) && ! chars.isEmpty() && isHighSurrogate (chars.getLast()))
        {
            const auto high = chars.removeAndReturn (chars.size() - 1);
            chars.add (0x10000 + ((high - 0xd800) << 10) + (c - 0xdc00));
        }
        else
        {
            chars.add (c);
        }
    }

    chars.add (0);
    return juce::String (juce::CharPointer_UTF32 (chars.getRawDataPointer()));
}

void joinJsonSurrogatePairs (juce::var& value)
{
    joinInTree (value, 0);
}

juce::Result parseJsonDocument (const juce::String& text, juce::var& result)
{
    result = juce::var();

    if (! isJsonNestingWithin (text))
        return juce::Result::fail ("the document nests arrays or objects more than "
                                   + juce::String (maxJsonNestingDepth) + " levels deep");

    try
    {
        auto safeText = text;
        const auto numbers = makeNumbersSafeToParse (safeText);

        if (numbers.failed())
            return numbers;

        juce::var parsed;
        const auto parseResult = juce::JSON::parse (safeText, parsed);

        if (parseResult.failed())
            return parseResult;

        joinJsonSurrogatePairs (parsed);
        result = parsed;
        return juce::Result::ok();
    }
    catch (const std::bad_alloc&)
    {
        result = juce::var();
        return juce::Result::fail ("there is not enough memory to read the document");
    }
}

juce::String printJsonDocument (const juce::var& document)
{
    // The printer breaks lines with CR LF; stored files use LF. A carriage return inside a string
    // is always escaped, so every raw one is part of a line break.
    return juce::JSON::toString (document, false, 15).removeCharacters ("\r");
}

} // namespace dunmoor
