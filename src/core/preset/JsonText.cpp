#include "JsonText.h"

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
        juce::var parsed;
        const auto parseResult = juce::JSON::parse (text, parsed);

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
