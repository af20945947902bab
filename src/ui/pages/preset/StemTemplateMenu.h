#pragma once

#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/model/StemTemplate.h"

namespace dunmoor::ui
{

/**
    The "Add stem" menu of the Preset & Stems page: the user's templates (with a "Forget one..."
    submenu), one submenu per built-in group and "New template...". A chosen id is read back
    against the lists as they were when the menu was built, so a template that moved in the
    meantime is never mistaken for another.

    Ids: built-in templates 1, 2, 3... across the groups in menu order; "New template..." 9000;
    the user's template i 9100 + i; forgetting it 9700 + i. Template items are disabled while
    the schema is full; "New template..." and forgetting never are.
*/
struct StemTemplateMenu
{
    static constexpr int newTemplateId = 9000;
    static constexpr int firstUserTemplateId = 9100;
    static constexpr int firstForgetId = 9700;

    juce::PopupMenu menu;
    std::vector<int> catalogueIndexOfId; // [id - 1]: the built-in template behind item id
    int userTemplateCount = 0;

    static StemTemplateMenu build (const std::vector<StemTemplate>& userTemplates,
                                   const std::vector<StemTemplate>& catalogue,
                                   bool hasRoomForAStem);

    struct Choice
    {
        enum class Kind
        {
            nothing,
            newTemplate,
            forgetUserTemplate, // index into the user's templates
            userTemplate,       // index into the user's templates
            builtInTemplate     // index into the catalogue
        };

        Kind kind = Kind::nothing;
        int index = -1;
    };

    Choice decode (int chosenId) const;

    /** An item's text: the name, three spaces and the keyword summary in parentheses. */
    static juce::String itemText (const StemTemplate& stemTemplate);
};

/**
    The template a "New stem template" form describes: name and code trimmed; keywords and
    exclusions split at commas, trimmed, blanks and repeats (ignoring case) dropped; group
    "User"; the colour of the n-th automatic stem, n being the number of templates kept so far.
    Every field is cut to the longest text a stored document holds first.
*/
StemTemplate makeTemplateFromForm (const juce::String& name,
                                   const juce::String& code,
                                   const juce::String& keywords,
                                   const juce::String& exclusions,
                                   int userTemplateCount);

/** A comma-separated list: entries trimmed, blank ones and repeats (ignoring case) dropped. */
juce::StringArray splitTemplateWords (const juce::String& text);

} // namespace dunmoor::ui
