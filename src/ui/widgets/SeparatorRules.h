#pragma once

#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor::ui
{

/** The separators offered between the pieces of a file name, and what a typed one may be. */
namespace SeparatorRules
{
    struct Choice
    {
        int id;
        juce::String label;
        juce::String separator;
    };

    /** Combo id of the free-text choice. */
    constexpr int customId = 100;

    /** The six fixed choices, ids 1 to 6 ("underscore  _" ... "none"); built once. */
    const std::vector<Choice>& getChoices();

    /** The id of the first choice with exactly this separator, or customId. */
    int idForSeparator (const juce::String& separator);

    /** The separator of a fixed choice; the first one for an id below 1. */
    juce::String separatorForId (int id);

    /** A typed separator may be anything, spaces and the empty text included, except braces
        (which would start or end a token: "{" turns "{project}_{cue}" into "{project}{{cue}")
        and control characters. False with the reason for the user. */
    [[nodiscard]] bool isUsable (const juce::String& separator, juce::String& reason);
} // namespace SeparatorRules

} // namespace dunmoor::ui
