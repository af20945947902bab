#pragma once

#include "PresetMigrations.h"
#include "core/files/JsonValueReaders.h"
#include "core/model/Preset.h"
#include "core/model/Validation.h"

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

// Record readers: the value to read, the error list and the value's path ("preset.export").
Stem readStem (const juce::var& value, juce::StringArray& errors, const juce::String& path);
KeywordRule readKeywordRule (const juce::var& value, juce::StringArray& errors, const juce::String& path);
OutputFormat readOutputFormat (const juce::var& value, juce::StringArray& errors, const juce::String& path);
ExportSettings readExportSettings (const juce::var& value, juce::StringArray& errors, const juce::String& path);

} // namespace dunmoor
