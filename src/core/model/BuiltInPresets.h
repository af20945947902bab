#pragma once

#include "Preset.h"

namespace dunmoor
{

/** The fixed ids of the two presets the program installs itself. */
inline const char* const builtInEmptyPresetId = "builtin-empty";
inline const char* const builtInExamplePresetId = "builtin-hybrid-orchestra-example";

/** The empty built-in preset: no stems, the shared built-in export settings. */
Preset makeEmptyPreset();

/** The built-in example: the default 16-stem schema with the shared built-in settings. Every
    call gives the stems new ids, so two calls never compare equal. */
Preset makeHybridOrchestraExamplePreset();

/** The default 16-stem schema (263 keyword rules), stems numbered 1..16, no alternative mixes. */
StemSchema makeDefaultSchema();

/** A new stem with a new id and its display name as file-name token; everything else at the
    Stem defaults (index 1 until a schema renumbers it). */
Stem makeStem (const juce::String& displayName,
               const juce::String& shortCode,
               uint32_t colour,
               bool required,
               int priority,
               std::vector<KeywordRule> rules,
               const juce::StringArray& excludeKeywords);

/** A rule in phrase mode when the pattern holds a space, else in token mode. */
KeywordRule makeKeywordRule (const juce::String& pattern, int priority, const juce::String& note = {});

} // namespace dunmoor
