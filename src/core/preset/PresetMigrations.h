#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** The version in "dunmoor"."schemaVersion", else in a top-level "schemaVersion", else 0. */
int readSchemaVersion (const juce::var& document);

/** Upgrades the parsed document in place from fromVersion to toVersion. On failure appends one
    message and returns false. */
bool migratePreset (juce::var& document, int fromVersion, int toVersion, juce::StringArray& errors);

/** Version 1 to 2: keyword lists become rule objects, flat export keys move into objects. */
bool migratePresetV1ToV2 (juce::var& document, juce::StringArray& errors);

} // namespace dunmoor
