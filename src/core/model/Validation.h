#pragma once

#include "Preset.h"

namespace dunmoor
{

/** Every problem found in a preset, in the order found. Errors block (the preset is not
    saved, loaded or rendered); warnings only inform. */
struct ValidationResult
{
    juce::StringArray errors;
    juce::StringArray warnings;

    /** True when there are no errors; warnings don't count. */
    bool isClean() const { return errors.isEmpty(); }

    /** Appends the other result's errors and warnings, each prefixed by section + ": "
        when section is not empty. */
    void merge (const ValidationResult& other, const juce::String& section);

    /** "ERROR   " lines, then "WARNING " lines, joined by CR LF, no line end after the last. */
    juce::String toText() const;
};

/** The preset's id and name, its schema (section "Stem schema"), its export settings
    (section "Export settings") and clashes between stems and the full mix. */
ValidationResult validatePreset (const Preset&);

ValidationResult validateSchema (const StemSchema&);

ValidationResult validateExportSettings (const ExportSettings&);

} // namespace dunmoor
