#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** The deepest nesting of arrays and objects a stored document may have. Preset and project
    files need about a dozen levels; the framework's parser recurses once per level, so a
    hostile or damaged file with thousands of "[" would otherwise exhaust the stack. */
constexpr int maxJsonNestingDepth = 256;

/** True when no array or object in the text nests deeper than maxDepth, counting brackets
    outside string literals only (both quote styles the parser accepts). Works on unparsed
    text, so it is safe on any input. */
bool isJsonNestingWithin (const juce::String& text, int maxDepth = maxJsonNestingDepth);

/** Joins UTF-16 surrogate pairs (written by the framework's JSON printer as two \\u escapes
    and read back by its parser as two separate code points) into the one character they
    stand for, in every string of the value tree, in place. A lone surrogate is kept. */
void joinJsonSurrogatePairs (juce::var& value);

/** The same for one text. */
juce::String joinSurrogatePairs (const juce::String& text);

/** Parses a stored JSON document: refuses over-deep nesting before the parser sees it, parses
    (the root must be an object or an array), then joins surrogate pairs. On failure the result
    carries a short reason and the value is left void. */
[[nodiscard]] juce::Result parseJsonDocument (const juce::String& text, juce::var& result);

/** True for a JSON object only (the framework's var::isObject is also true for arrays). */
inline bool isJsonObject (const juce::var& value) { return value.getDynamicObject() != nullptr; }

/** Prints a document the way every stored file is printed: multi-line with LF line ends, at most
    15 decimals. */
juce::String printJsonDocument (const juce::var& document);

} // namespace dunmoor
