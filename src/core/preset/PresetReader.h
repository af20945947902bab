#pragma once

#include "../model/Preset.h"
#include "../model/Validation.h"

namespace dunmoor
{

/** What reading a preset document gave. When ok is false, preset is a default Preset, never a
    partly read one, unless onlyValidationFailed is set: then every value was read and preset
    holds it, and the errors are all validation's. Every reader and migration message is an
    error; warnings come only from the final validation. */
struct PresetReadResult
{
    bool ok = false;
    Preset preset;
    ValidationResult messages;
    bool onlyValidationFailed = false;
    int sourceSchemaVersion = 0;    // 0 when none was found or the text was unreadable
    bool migrated = false;          // upgraded from version 1 or 2
};

/** Reads a preset file: refuses missing, empty and over-large (more than 4 MiB) files, then
    reads the text with readPreset. */
PresetReadResult loadPresetFile (const juce::File& file);

/** Reads a preset document of schema version 1, 2 or 3, upgrading older ones, checking every
    value and collecting a message naming the value's place for each problem, then validates. */
PresetReadResult readPreset (const juce::String& documentText);

/** The version in "dunmoor"."schemaVersion", else in a top-level "schemaVersion", else 0. */
int readSchemaVersion (const juce::var& document);

/** Upgrades the parsed document in place from fromVersion to toVersion. On failure appends one
    message and returns false. */
bool migratePreset (juce::var& document, int fromVersion, int toVersion, juce::StringArray& errors);

/** Version 1 to 2: keyword lists become rule objects, flat export keys move into objects. */
bool migratePresetV1ToV2 (juce::var& document, juce::StringArray& errors);

// Record readers: the value to read, the error list and the value's path ("preset.export").
Stem readStem (const juce::var& value, juce::StringArray& errors, const juce::String& path);
KeywordRule readKeywordRule (const juce::var& value, juce::StringArray& errors, const juce::String& path);
OutputFormat readOutputFormat (const juce::var& value, juce::StringArray& errors, const juce::String& path);
ExportSettings readExportSettings (const juce::var& value, juce::StringArray& errors, const juce::String& path);

//==============================================================================
// Typed readers for stored JSON documents, shared with the project file.
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
