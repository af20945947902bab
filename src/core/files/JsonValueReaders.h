#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** True for a JSON number: an integer or a real. */
bool isJsonNumber (const juce::var& value);

// Typed readers for stored JSON documents (presets and projects).
//
// Each reads `key` of `object` (a key is present only when object is a JSON object holding it).
// A missing key yields `missing` without a message; a value of the wrong type or out of range
// adds one message "path.key ..." and yields `missing`. JSON null is a wrong type for every
// reader but the list readers, where it counts as missing.

/** The longest text a stored document may hold in one value, in characters. */
constexpr int maxJsonTextLength = 4096;

juce::String readJsonString (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                             const juce::String& path, const juce::String& missing);

/** A text that must be present and not blank; a missing key yields "" with "is missing.". */
juce::String readRequiredJsonString (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                                     const juce::String& path);

bool readJsonBool (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                   const juce::String& path, bool missing);

/** An integer or real within [minimum, maximum] (checked before conversion), truncated toward zero. */
int readJsonInt (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                 const juce::String& path, int missing, int minimum, int maximum);

/** A finite integer or real within [minimum, maximum]. */
double readJsonNumber (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                       const juce::String& path, double missing, double minimum, double maximum);

/** A time in milliseconds since 1970: an integer, or a finite real that fits 64 bits, truncated. */
juce::int64 readJsonTime (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                          const juce::String& path, juce::int64 missing);

/** A string naming a member of an enumeration, matched by the enumeration's parse function. */
template <typename Enum>
Enum readJsonEnum (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                   const juce::String& path, Enum missing, bool (*parse) (const juce::String&, Enum&));

/** Parses a colour text (not a key): after trimming and removing every "#", 6 or 8 hexadecimal
    digits (AARRGGBB; 6 digits get alpha ff). Messages start with path + ": colour ...". */
uint32_t readJsonColour (juce::StringArray& errors, const juce::String& text, const juce::String& path,
                         uint32_t missing);

/** A list of at most `limit` entries; null counts as missing; too many entries yield none. */
juce::Array<juce::var> readJsonArray (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                                      const juce::String& path, int limit);

/** A list of texts: non-string and over-long entries are reported and skipped, blank ones
    dropped silently; kept entries are not trimmed. */
juce::StringArray readJsonStringArray (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                                       const juce::String& path, int limit);

//==============================================================================
namespace detail
{
    /** The value of a present key, or nullptr. */
    const juce::var* findJsonKey (const juce::var& object, const juce::String& key);
} // namespace detail

template <typename Enum>
Enum readJsonEnum (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                   const juce::String& path, Enum missing, bool (*parse) (const juce::String&, Enum&))
{
    const auto* value = detail::findJsonKey (object, key);

    if (value == nullptr)
        return missing;

    if (! value->isString())
    {
        errors.add (path + "." + key + " must be a string.");
        return missing;
    }

    const auto text = value->toString();
    auto result = missing;

    if (! parse (text, result))
    {
        errors.add (path + "." + key + ": '" + text + "' is not a value this version understands.");
        return missing;
    }

    return result;
}

} // namespace dunmoor
