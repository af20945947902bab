#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/model/StemSchema.h"
#include "core/model/StemTemplate.h"

namespace dunmoor::ui
{

/**
    Adding stems to a schema: from a template, or as a run of plain numbered stems, always
    within maxStems, and never with a short code, or a plain stem's name, that a stem of the
    schema already has (either would make the preset fail validation: no save, no render).
*/
struct StemAdditions
{
    static constexpr int countMenuLimit = 20;
    static constexpr int askForCountId = 1000;

    static constexpr const char* noRoomTitle = "No room for more stems";
    static juce::String noRoomMessage();

    /** How many stems the schema can still take. */
    static int room (const StemSchema& schema);

    /** 1 .. min(room, 20) (each id its number), a separator and 1000 "N stems...". */
    static juce::PopupMenu buildCountMenu (int room);

    /**
        The number at the start of a typed count (after white space and an optional sign), held
        at the largest int rather than wrapping; 0 when the text starts with no digit, negative
        for a negative number.
    */
    static int parseCount (const juce::String& text);

    /** The code itself when no stem uses it (ignoring case, trimmed) or it is blank; otherwise
        the code followed by 2, 3, ..., the first that is free. */
    static juce::String uniqueShortCode (const StemSchema& schema, const juce::String& code);

    /** Appends a stem made from the template, its code numbered when taken; returns its id, or
        nothing when the schema is full. */
    static juce::String addFromTemplate (StemSchema& schema, const StemTemplate& stemTemplate);

    /** The next plain stem: "Stem k" and "Sk" for the first k from the stem count + 1 up whose
        name and code no stem has, with the colour of the k-th automatic stem. */
    static Stem makePlainStem (const StemSchema& schema);

    struct PlainStemsAdded
    {
        int added = 0;
        juce::String lastId;
    };

    /** Appends min(count, room) plain stems. */
    static PlainStemsAdded addPlainStems (StemSchema& schema, int count);

    /** "Added n of count: a schema holds at most 256." */
    static juce::String notAllFittedMessage (int added, int requested);
};

} // namespace dunmoor::ui
