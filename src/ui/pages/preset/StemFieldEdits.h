#pragma once

#include "core/model/Preset.h"

namespace dunmoor::ui
{

/** The most characters a text field or prompt of the page takes: the longest text a preset
    file may hold, so whatever is typed can be saved and read back. */
constexpr int maxFieldCharacters = 4096;

/** The most stem-wide exclusions a stem may hold in a preset file. */
constexpr int maxStemExclusions = 256;

/**
    What the stem editor's fields show. The page keeps the values it wrote when it last filled
    the fields; a commit compares the fields with those, not with the stem, so that a field the
    user did not touch never rewrites its member: a rule keeps its note, a phrase stays a
    phrase and a priority beyond what the slider shows is not clamped.
*/
struct StemFieldTexts
{
    juce::String name;
    juce::String shortCode;
    juce::String token;
    int priority = 0;
    juce::String rules;
    juce::String exclusions;

    /** What the fields show for the stem. The priority is held to the slider's range. */
    static StemFieldTexts of (const Stem& stem);

    bool operator== (const StemFieldTexts& other) const;
    bool operator!= (const StemFieldTexts& other) const { return ! operator== (other); }
};

/** The slider's range for a stem's priority; files allow more. */
constexpr int minShownPriority = -100;
constexpr int maxShownPriority = 100;

/** The exclusions of the field's text: split at commas and line breaks, each trimmed, empty
    ones dropped, repeats kept; at most maxStemExclusions of at most maxFieldCharacters each. */
juce::StringArray parseExclusionText (const juce::String& text);

/**
    Writes into the stem the members whose field now differs from what was shown: names, code
    and token trimmed (a blank name keeps the old one), the priority, the rules (a rule that
    reads the same as one the stem had keeps that rule's note) and the exclusions. Returns
    true when the stem changed; a field changed back to what the stem holds changes nothing.
*/
bool applyStemFieldEdits (Stem& stem, const StemFieldTexts& shown, const StemFieldTexts& now);

/** What the four project fields show: publisher, PubCode (the metadata's project), composer
    and version. */
struct ProjectFieldTexts
{
    juce::String publisher;
    juce::String project;
    juce::String composer;
    juce::String version;

    static ProjectFieldTexts of (const PresetMetadata& metadata);
};

/** Writes the trimmed text of each project field that differs from what was shown; true when
    the metadata changed. A field left as it was never overwrites a value changed meanwhile. */
bool applyProjectFieldEdits (PresetMetadata& metadata, const ProjectFieldTexts& shown, const ProjectFieldTexts& now);

} // namespace dunmoor::ui
