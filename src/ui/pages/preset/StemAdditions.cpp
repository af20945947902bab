#include "StemAdditions.h"

#include <limits>

namespace dunmoor::ui
{

namespace
{
    bool codeIsTaken (const StemSchema& schema, const juce::String& code)
    {
        const auto wanted = code.trim();

        for (const auto& stem : schema.stems)
            if (stem.shortCode.trim().equalsIgnoreCase (wanted))
                return true;

        return false;
    }
} // namespace

juce::String StemAdditions::noRoomMessage()
{
    return "A schema holds at most " + juce::String (maxStems) + " stems.";
}

int StemAdditions::room (const StemSchema& schema)
{
    return juce::jmax (0, maxStems - (int) schema.stems.size());
}

juce::PopupMenu StemAdditions::buildCountMenu (int roomLeft)
{
    juce::PopupMenu menu;

    for (int n = 1; n <= juce::jmin (roomLeft, countMenuLimit); ++n)
        menu.addItem (n, juce::String (n));

    menu.addSeparator();
    menu.addItem (askForCountId, "N stems...");
    return menu;
}

int StemAdditions::parseCount (const juce::String& text)
{
    auto p = text.getCharPointer();

    while (p.isWhitespace())
        ++p;

    bool negative = false;

    if (*p == '-' || *p == '+')
    {
        negative = *p == '-';
        ++p;
    }

    constexpr auto limit = (juce::int64) std::numeric_limits<int>::max();
    juce::int64 value = 0;

    for (; *p >= '0' && *p <= '9'; ++p)
        value = juce::jmin (limit, value * 10 + (juce::int64) (*p - '0'));

    return (int) (negative ? -value : value);
}

juce::String StemAdditions::uniqueShortCode (const StemSchema& schema, const juce::String& code)
{
    if (code.trim().isEmpty() || ! codeIsTaken (schema, code))
        return code;

    for (int k = 2;; ++k)
        if (const auto numbered = code + juce::String (k); ! codeIsTaken (schema, numbered))
            return numbered;
}

juce::String StemAdditions::addFromTemplate (StemSchema& schema, const StemTemplate& stemTemplate)
{
    if (room (schema) <= 0)
        return {};

    auto stem = stemTemplate.createStem();
    stem.shortCode = uniqueShortCode (schema, stem.shortCode);
    return schema.addStem (std::move (stem)).id;
}

Stem StemAdditions::makePlainStem (const StemSchema& schema)
{
    int k = (int) schema.stems.size() + 1;

    // A schema holds at most 256 stems, so a free number is never far away.
    while (schema.findStemWithSameName ("Stem " + juce::String (k), {}) != nullptr || codeIsTaken (schema, "S" + juce::String (k)))
        ++k;

    Stem stem;
    stem.displayName = "Stem " + juce::String (k);
    stem.shortCode = "S" + juce::String (k);
    stem.colour = automaticStemColour (k - 1);
    return stem;
}

StemAdditions::PlainStemsAdded StemAdditions::addPlainStems (StemSchema& schema, int count)
{
    PlainStemsAdded result;
    const int n = juce::jmin (juce::jmax (0, count), room (schema));

    for (int i = 0; i < n; ++i)
    {
        result.lastId = schema.addStem (makePlainStem (schema)).id;
        ++result.added;
    }

    return result;
}

juce::String StemAdditions::notAllFittedMessage (int added, int requested)
{
    return "Added " + juce::String (added) + " of " + juce::String (requested) + ": a schema holds at most "
         + juce::String (maxStems) + ".";
}

} // namespace dunmoor::ui
