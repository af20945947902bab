#pragma once

#include "../model/Preset.h"

namespace dunmoor
{

/** The schema version this build writes and the newest it reads. */
constexpr int currentPresetSchemaVersion = 3;

/** The largest preset document, in bytes, that is read or written. */
constexpr juce::int64 maxPresetFileBytes = 4194304;

/** The whole preset document, root object included ("dunmoor" header, then "preset"),
    printed multi-line. Never fails. */
juce::String writePreset (const Preset& preset);

/** The document as a value tree, for callers that embed it (project files). */
juce::var writePresetDocument (const Preset& preset);

/** The "export" object, one output-format object, one stem object, one keyword-rule object. */
juce::var writeExportSettings (const ExportSettings& settings);
juce::var writeOutputFormat (const OutputFormat& format);
juce::var writeStem (const Stem& stem);
juce::var writeKeywordRule (const KeywordRule& rule);

/** Checks that the preset may be stored: it validates without errors, its document stays within
    the size limit, and the document reads back without a complaint (every range, length and
    count the reader enforces). On refusal returns false with the reasons under a heading line. */
[[nodiscard]] bool checkPresetIsStorable (const Preset& preset, juce::String& error);

/** Checks the preset (checkPresetIsStorable), then writes its document atomically. On failure
    nothing is written and error holds the reason; on success error is cleared. */
[[nodiscard]] bool savePreset (const Preset& preset, const juce::File& file, juce::String& error);

} // namespace dunmoor
