#include "BlockLayoutSettings.h"

#include <cmath>
#include <set>

#include "BlockColumns.h"

namespace dunmoor::ui::BlockLayoutSettings
{

namespace
{
    bool isDigits (const juce::String& text)
    {
        return text.isNotEmpty() && text.containsOnly ("0123456789");
    }

    juce::StringArray linesOf (const juce::String& text)
    {
        // Any line break: CR LF, LF or a lone CR.
        return juce::StringArray::fromLines (text.replace ("\r\n", "\n").replaceCharacter ('\r', '\n'));
    }
} // namespace

juce::String cleanBlockColumns (const juce::String& storedText)
{
    juce::StringArray kept;
    juce::StringArray seen;

    for (const auto& line : linesOf (storedText))
    {
        const auto hasColon = line.containsChar (':');
        const auto key = (hasColon ? line.upToFirstOccurrenceOf (":", false, false) : line).trim();
        const auto value = (hasColon ? line.fromLastOccurrenceOf (":", false, false) : line).trim();

        if (key == "@columns")
        {
            if (isDigits (value) && value.length() <= 2)
                kept.add ("@columns:" + juce::String (value.getIntValue()));

            continue;
        }

        if (BlockColumns::getBlockIds().contains (key) && ! seen.contains (key) && isDigits (value))
        {
            seen.add (key);
            kept.add (key + ":" + juce::String (value.getIntValue()));
        }
    }

    return kept.joinIntoString ("\r\n");
}

Arrangement applyArrangement (const juce::String& text)
{
    Arrangement arrangement;
    const auto lines = linesOf (text);

    for (const auto& line : lines)
        if (line.startsWith ("@columns:"))
            arrangement.columnsOverride = line.fromFirstOccurrenceOf (":", false, false).getIntValue();

    juce::StringArray blockLines;
    std::set<int> numbers;

    for (const auto& line : lines)
    {
        if (! line.containsChar (':') || line.startsWith ("@columns:"))
            continue;

        blockLines.add (line);
        numbers.insert (line.fromLastOccurrenceOf (":", false, false).getIntValue());
    }

    juce::StringArray compacted;

    for (const auto& line : blockLines)
    {
        const auto number = line.fromLastOccurrenceOf (":", false, false).getIntValue();
        const auto rank = (int) std::distance (numbers.begin(), numbers.find (number));
        compacted.add (line.upToFirstOccurrenceOf (":", false, false).trim() + ":" + juce::String (rank));
    }

    arrangement.blockLayout = compacted.joinIntoString ("\n");
    return arrangement;
}

std::vector<double> readColumnWidths (const juce::String& storedText)
{
    std::vector<double> values;

    for (const auto& token : juce::StringArray::fromTokens (storedText, ",", {}))
    {
        const auto value = token.trim().getDoubleValue();

        if (value < 0.02 || value > 0.98)
            return {};

        values.push_back (value);
    }

    double sum = 0.0;

    for (auto value : values)
        sum += value;

    // A small allowance over 0.02: four-decimal shares that sum to 0.98 must still pass.
    if (values.size() < 2 || values.size() > 4 || std::abs (sum - 1.0) > 0.02 + 1e-9)
        return {};

    return values;
}

} // namespace dunmoor::ui::BlockLayoutSettings
