#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

// Letter case by fixed tables, the same whatever locale the process runs in. Cue keys and the
// keyword matcher fold case with these, so a folder's key and a file name's match never change
// with the environment. The tables hold the simple case mappings of the C.UTF-8 locale
// (scripts/make-case-tables.py writes them), so results equal the framework's own under it.

/** The lower-case form of a code point; the code point itself when it has none. */
juce::juce_wchar toLowerCaseFixed (juce::juce_wchar c) noexcept;

/** The upper-case form of a code point; the code point itself when it has none. */
juce::juce_wchar toUpperCaseFixed (juce::juce_wchar c) noexcept;

/** The text with every code point in lower case. */
juce::String toLowerCaseFixed (const juce::String& text);

/** Compares two texts as juce::String::compareIgnoreCase does (code points compared by their
    upper-case forms), by the fixed tables: below, equal to or above 0. */
int compareIgnoreCaseFixed (const juce::String& a, const juce::String& b) noexcept;

} // namespace dunmoor
