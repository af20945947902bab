#pragma once

#include <juce_graphics/juce_graphics.h>

namespace dunmoor::ui
{

/** Where a text too wide for its room gives way. */
enum class Shortening
{
    atEnd,   // "Renumber the exported st…"
    inMiddle // file names: "1M01 Opening Titles…_09_Bass.wav", so that the end that tells files apart stays
};

/** The width fitted-text drawing measures for one line: from the left of the first glyph to the
    right of the last, the text trimmed. */
float measureLineWidth (const juce::Font& font, const juce::String& text);

/** The lines fitted-text drawing wraps the text into at that width: each line break starts a
    line, words go on a line while they fit, and a word wider than the room takes a line alone. */
int countWrappedLines (const juce::Font& font, const juce::String& text, float width);

/** Whether any single word of the text is wider than the room (then no wrap can show it whole). */
bool hasWordWiderThan (const juce::Font& font, const juce::String& text, float width);

/**
    The text as it fits a room of that width: whole when it fits, else shortened with "…" where
    the rule says. In the middle, the file name keeps its extension and its last two parts
    ("_09_Bass.wav") and as much of its start as fits; a room too narrow even for that keeps what
    fits of the end. Empty when not even "…" fits.
*/
juce::String shortenToFit (const juce::String& text, const juce::Font& font, float width, Shortening how);

/** The character that marks a shortened text. */
constexpr juce::juce_wchar shorteningMark = 0x2026;

} // namespace dunmoor::ui
