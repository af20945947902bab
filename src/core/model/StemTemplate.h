#pragma once

#include "Preset.h"

#include <vector>

namespace dunmoor
{

/** A ready-made stem: name, code, colour and keyword lists, turned into a Stem in one step.
    The built-in catalogue and the user's stored templates (TemplateStore) are lists of these. */
struct StemTemplate
{
    juce::String group;                 // catalogue group; "User" for stored templates
    juce::String displayName;           // the key of a stored template (compared ignoring case)
    juce::String shortCode;
    uint32_t colourARGB = 0xff8a8f94;
    juce::StringArray keywords;         // one keyword rule each
    juce::StringArray excludeKeywords;  // the stem's stem-wide exclusions

    /** A new stem with a new id: the template's name as display name and file-name token, its
        code, colour and exclusions, and one priority-0 rule per keyword (phrase mode when the
        keyword holds a space, token mode otherwise). */
    Stem createStem() const;

    /** "3 keywords", "1 keyword, 2 exclusions": the summary shown in the template menu. */
    juce::String describeKeywords() const;
};

/** A plain builder for catalogue entries. */
StemTemplate makeTemplate (const juce::String& group,
                           const juce::String& displayName,
                           const juce::String& shortCode,
                           uint32_t colourARGB,
                           const juce::StringArray& keywords,
                           const juce::StringArray& excludeKeywords);

/** Builds the built-in catalogue: one template per stem of the default schema, the combined
    and specialised templates, and a blank one. */
std::vector<StemTemplate> buildTemplateCatalogue();

/** The built-in catalogue, built once (thread-safely) on first use; the same list every call. */
const std::vector<StemTemplate>& getBuiltInTemplates();

/** The catalogue's group names in catalogue order. */
juce::StringArray getBuiltInTemplateGroups();

} // namespace dunmoor
