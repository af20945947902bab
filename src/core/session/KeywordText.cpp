#include "KeywordText.h"

namespace dunmoor
{

namespace
{
    // What the preset reader accepts. A rule outside these would make the preset unreadable,
    // and with it every project that embeds the preset.
    constexpr int minimumPriority = -1000;
    constexpr int maximumPriority = 1000;
    constexpr int maximumTextLength = 4096;
    constexpr int maximumExclusions = 256;
    constexpr int maximumRules = 2000;

    // Every piece between separators, empty ones included; walks the text once.
    juce::StringArray splitAt (const juce::String& text, juce::juce_wchar separator)
    {
        juce::StringArray pieces;
        auto p = text.getCharPointer();

        for (;;)
        {
            const auto start = p;
            while (! p.isEmpty() && *p != separator)
                ++p;

            pieces.add (juce::String (start, p));

            if (p.isEmpty())
                break;
            ++p;
        }

        return pieces;
    }

    juce::String quoted (const juce::String& text)
    {
        constexpr int shownLength = 40;
        return "'" + (text.length() > shownLength ? text.substring (0, shownLength) + "..." : text) + "'";
    }

    // An optional sign and decimal digits, up to the first other character. Saturates instead of
    // wrapping, then clamps; typed receives the sign and digits as they were written.
    int parsePriority (const juce::String& text, juce::String& typed, bool& clamped)
    {
        auto p = text.getCharPointer();
        const auto start = p;
        bool negative = false;

        if (*p == '+' || *p == '-')
            negative = (p.getAndAdvance() == '-');

        constexpr juce::int64 ceiling = 1000000000;
        juce::int64 magnitude = 0;
        bool anyDigit = false;

        while (*p >= '0' && *p <= '9')
        {
            magnitude = std::min (ceiling, magnitude * 10 + (juce::int64) (p.getAndAdvance() - '0'));
            anyDigit = true;
        }

        typed = juce::String (start, p);
        clamped = false;

        if (! anyDigit)
            return 0;

        const auto value = negative ? -magnitude : magnitude;
        if (value < minimumPriority || value > maximumPriority)
        {
            clamped = true;
            return (int) juce::jlimit<juce::int64> (minimumPriority, maximumPriority, value);
        }
        return (int) value;
    }

    void parseEntry (juce::String entry, KeywordTextParseResult& result)
    {
        entry = entry.trim();
        if (entry.isEmpty())
            return;

        KeywordRule rule;
        bool marked = false;

        if (entry.startsWithChar ('~'))
        {
            rule.mode = MatchMode::exact;
            marked = true;
            entry = entry.substring (1);
        }
        else if (entry.startsWithChar ('?'))
        {
            rule.mode = MatchMode::fuzzy;
            marked = true;
            entry = entry.substring (1);
        }

        juce::StringArray excludes;
        const auto bang = entry.indexOfChar ('!');
        if (bang >= 0)
        {
            for (const auto& piece : splitAt (entry.substring (bang + 1), '!'))
                if (piece.trim().isNotEmpty())
                    excludes.add (piece.trim());

            entry = entry.substring (0, bang);
        }

        juce::String typedPriority;
        bool priorityClamped = false;
        const auto at = entry.indexOfChar ('@');
        if (at >= 0)
        {
            rule.priority = parsePriority (entry.substring (at + 1).trim(), typedPriority, priorityClamped);
            entry = entry.substring (0, at);
        }

        rule.pattern = entry.trim();
        if (rule.pattern.isEmpty())
            return;

        if (rule.pattern.length() > maximumTextLength)
        {
            result.adjustments.add ("The keyword " + quoted (rule.pattern) + " is longer than "
                                    + juce::String (maximumTextLength) + " characters and was left out.");
            return;
        }

        if (! marked)
            rule.mode = defaultMatchModeFor (rule.pattern);

        if (priorityClamped)
            result.adjustments.add ("The priority " + typedPriority + " of " + quoted (rule.pattern) + " is outside "
                                    + juce::String (minimumPriority) + " to " + juce::String (maximumPriority)
                                    + " and was set to " + juce::String (rule.priority) + ".");

        for (const auto& exclusion : excludes)
        {
            if (exclusion.length() > maximumTextLength)
            {
                result.adjustments.add ("An exclusion of " + quoted (rule.pattern) + " is longer than "
                                        + juce::String (maximumTextLength) + " characters and was left out.");
                continue;
            }

            if (rule.excludes.size() == maximumExclusions)
            {
                result.adjustments.add (quoted (rule.pattern) + " has more than " + juce::String (maximumExclusions)
                                        + " exclusions; only the first " + juce::String (maximumExclusions)
                                        + " were kept.");
                break;
            }

            rule.excludes.add (exclusion);
        }

        result.rules.push_back (std::move (rule));
    }
} // namespace

KeywordTextParseResult parseKeywordTextWithAdjustments (const juce::String& text)
{
    KeywordTextParseResult result;
    size_t dropped = 0;

    juce::StringArray lines;
    lines.addLines (text);

    for (auto line : lines)
    {
        const auto hash = line.indexOfChar ('#');
        if (hash >= 0)
            line = line.substring (0, hash);

        for (const auto& entry : splitAt (line, ','))
        {
            if (result.rules.size() < (size_t) maximumRules)
            {
                parseEntry (entry, result);
            }
            else
            {
                // Past the limit only count what is left out; its own adjustments would not apply.
                KeywordTextParseResult leftOut;
                parseEntry (entry, leftOut);
                dropped += leftOut.rules.size();
            }
        }
    }

    if (dropped > 0)
        result.adjustments.add ("Only the first " + juce::String (maximumRules) + " rules were kept; "
                                + juce::String ((juce::int64) dropped) + " more were left out.");

    return result;
}

std::vector<KeywordRule> parseKeywordText (const juce::String& text)
{
    return parseKeywordTextWithAdjustments (text).rules;
}

juce::String formatKeywordText (const std::vector<KeywordRule>& rules)
{
    juce::StringArray entries;

    for (const auto& rule : rules)
    {
        juce::String entry;

        if (rule.mode == MatchMode::exact)
            entry << "~";
        else if (rule.mode == MatchMode::fuzzy)
            entry << "?";

        entry << rule.pattern;

        if (rule.priority != 0)
            entry << " @" << rule.priority;

        for (const auto& exclusion : rule.excludes)
            entry << " !" << exclusion;

        entries.add (entry);
    }

    return entries.joinIntoString (", ");
}

} // namespace dunmoor
