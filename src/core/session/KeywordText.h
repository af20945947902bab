#pragma once

#include <vector>

#include "core/model/Preset.h"

namespace dunmoor
{

/**
    Keyword rules as the user types them in a stem's "Keyword rules" field.

    Entries are separated by commas or line breaks; "#" starts a comment. One entry is an
    optional mark ("~" whole name, "?" approximate), the pattern, an optional "@priority"
    and any number of "!exclusion"s:  bass @5 !synth !sub,  ~Lead Vox,  lead vox
    Without a mark, a pattern with a space is a phrase and one without is a token.
*/
struct KeywordTextParseResult
{
    std::vector<KeywordRule> rules;

    /** One line per value that was changed or left out so that the rules stay within what a
        preset file may hold (priorities -1000..1000, texts of 4096 characters, 256 exclusions
        per rule, 2000 rules). Empty when the text was taken as typed. */
    juce::StringArray adjustments;
};

/** The rules of a keyword text, in the order of their entries; never fails. */
std::vector<KeywordRule> parseKeywordText (const juce::String& text);

/** As parseKeywordText, also saying what had to be changed to keep within the preset limits. */
KeywordTextParseResult parseKeywordTextWithAdjustments (const juce::String& text);

/** The rules as one line of entries joined by ", " (notes are not part of the text). */
juce::String formatKeywordText (const std::vector<KeywordRule>& rules);

} // namespace dunmoor
