#include "ui/look/ShortenedText.h"

#include <algorithm>

namespace dunmoor::ui
{

namespace
{
    const juce::String mark = juce::String::charToString (shorteningMark);

    bool fits (const juce::Font& font, const juce::String& text, float width)
    {
        return measureLineWidth (font, text) <= width;
    }

    /** The largest n in 0..count for which test (n) holds, test being true for 0 and monotonic. */
    template <typename Test>
    int largest (int count, Test&& test)
    {
        int low = 0, high = count;
        while (low < high)
        {
            const auto mid = (low + high + 1) / 2;
            if (test (mid))
                low = mid;
            else
                high = mid - 1;
        }
        return low;
    }

    /** Where the end that tells file names apart begins: the second-to-last "_", "-" or space
        before the extension ("_09_Bass.wav"), else the last, else the extension. */
    int distinguishingEndStart (const juce::String& name)
    {
        auto extension = name.lastIndexOfChar ('.');
        if (extension <= 0)
            extension = name.length();

        int last = -1, secondLast = -1;
        for (int i = 0; i < extension; ++i)
        {
            if (juce::String ("_- ").containsChar (name[i]) && i > 0)
            {
                secondLast = last;
                last = i;
            }
        }

        if (secondLast > 0)
            return secondLast;
        if (last > 0)
            return last;
        return extension;
    }

    juce::String shortenEnd (const juce::String& text, const juce::Font& font, float width)
    {
        const auto keep = largest (text.length(), [&] (int n) { return fits (font, text.substring (0, n).trimEnd() + mark, width); });
        const auto result = text.substring (0, keep).trimEnd() + mark;
        return fits (font, result, width) ? result : juce::String();
    }

    /** "…" and as much of the end of the text as fits. */
    juce::String keepEnd (const juce::String& text, const juce::Font& font, float width)
    {
        const auto keep = largest (text.length(), [&] (int n) { return fits (font, mark + text.substring (text.length() - n), width); });
        const auto result = mark + text.substring (text.length() - keep);
        return fits (font, result, width) ? result : juce::String();
    }

    juce::String shortenMiddle (const juce::String& text, const juce::Font& font, float width)
    {
        const auto tail = text.substring (distinguishingEndStart (text));
        if (! fits (font, mark + tail, width))
            return keepEnd (text, font, width);

        const auto headLength = text.length() - tail.length();
        const auto keep = largest (headLength, [&] (int n) { return fits (font, text.substring (0, n).trimEnd() + mark + tail, width); });
        return text.substring (0, keep).trimEnd() + mark + tail;
    }
} // namespace

int countWrappedLines (const juce::Font& font, const juce::String& text, float width)
{
    int lines = 0;

    for (const auto& paragraph : juce::StringArray::fromLines (text))
    {
        juce::String line;
        ++lines;

        for (const auto& word : juce::StringArray::fromTokens (paragraph, " ", ""))
        {
            if (word.isEmpty())
                continue;

            const auto candidate = line.isEmpty() ? word : line + " " + word;
            if (line.isNotEmpty() && measureLineWidth (font, candidate) > width)
            {
                ++lines;
                line = word;
            }
            else
            {
                line = candidate;
            }
        }
    }

    return std::max (1, lines);
}

bool hasWordWiderThan (const juce::Font& font, const juce::String& text, float width)
{
    for (const auto& word : juce::StringArray::fromTokens (text, " \r\n", ""))
        if (word.isNotEmpty() && measureLineWidth (font, word) > width)
            return true;

    return false;
}

float measureLineWidth (const juce::Font& font, const juce::String& text)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text.trim(), 0.0f, 0.0f);

    if (glyphs.getNumGlyphs() == 0)
        return 0.0f;

    return glyphs.getGlyph (glyphs.getNumGlyphs() - 1).getRight() - glyphs.getGlyph (0).getLeft();
}

juce::String shortenToFit (const juce::String& text, const juce::Font& font, float width, Shortening how)
{
    if (fits (font, text, width))
        return text;

    return how == Shortening::inMiddle ? shortenMiddle (text, font, width) : shortenEnd (text, font, width);
}

} // namespace dunmoor::ui
