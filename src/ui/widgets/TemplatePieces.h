#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

#include "core/render/OutputNaming.h"

namespace dunmoor::ui
{

/**
    The file-name template editor's model: the pieces of a template (tokens and literal
    words), the separator that joins them, the user's words and the piece being retyped.
    The editor component draws chips for it and routes clicks, drops and typing here; every
    decision about what a gesture does to the template is made here.

    Every edit first closes a retype that is still open (applying what was typed, as losing
    the keyboard focus would), so a retype never points at a piece that has moved.
*/
class TemplatePieces
{
public:
    enum class ChipKind
    {
        sequencePiece = 0,
        paletteToken,
        vocabularyWord,
        freeText
    };

    /** What an edit did, for the component to act on. */
    struct EditResult
    {
        bool changed = false;       // the template changed through the user: report it
        bool rebuild = false;       // the pieces differ from what the chips show
        int retypeIndex = -1;       // open the retype field on this piece
        juce::String wordToAdd;     // a typed word that the vocabulary does not hold yet

        void merge (const EditResult& other);
    };

    static constexpr const char* dragPrefix = "dunmoor.namechip:";

    //==============================================================================
    const std::vector<TemplateSegment>& getPieces() const noexcept { return pieces; }
    const juce::String& getSeparator() const noexcept { return separator; }
    int getRetypeIndex() const noexcept { return retypeIndex; }
    bool isRetyping() const noexcept { return retypeIndex >= 0; }

    /** Replaces the pieces with the template's (an open retype is dropped unapplied); takes
        the separator the template uses when it differs. Reports no change. */
    void setTemplate (const juce::String& nameTemplate);

    /** True when the separator changed. */
    bool setSeparator (const juce::String& newSeparator);

    juce::String getTemplateString() const;

    void setVocabulary (const juce::StringArray& words) { vocabulary = words; }
    const juce::StringArray& getVocabulary() const noexcept { return vocabulary; }

    //==============================================================================
    /** Inserts a piece (appends for a negative or too large index). A text piece that is blank
        opens the retype on a new empty piece instead. */
    EditResult insertPiece (TemplateSegment piece, int index);

    /** Inserts an empty text piece and opens the retype on it; nothing is reported yet. */
    EditResult insertEmptyTextPiece (int index);

    EditResult removePiece (int index);

    /** Moves a piece so that it lands before the piece now at insertionIndex (counted with it
        still in place). Reports a change only when the order changed. */
    EditResult movePiece (int from, int insertionIndex);

    /** Opens the retype on an existing text piece. */
    EditResult startRetype (int index);

    /** The text in the retype field, kept as it is typed. */
    void setRetypeText (const juce::String& text) { retypeText = text; }
    const juce::String& getRetypeText() const noexcept { return retypeText; }

    /** Closes the retype. With commit and a typed text, the piece takes the text trimmed of
        separator characters (nothing left removes it). Escape keeps a piece that had text and
        removes a new empty one; committing an empty text removes the piece. */
    EditResult commitRetype (bool commit);

    //==============================================================================
    /** Whether a sequence accepts a drag: chips of this editor's kind, and moves only from
        the same sequence. */
    static bool isInterestedIn (const juce::String& description, bool fromThisSequence);

    /** A drop at the insertion index: a move of one of the pieces, or an added piece. A move
        whose index is not a piece's index does nothing. */
    EditResult applyDrop (const juce::String& description, int insertionIndex);

    struct DragDescription
    {
        juce::String action;
        juce::String index;
        juce::String letter;
        juce::String text;
    };

    static juce::String makeDragDescription (ChipKind kind, int index, bool isToken, const juce::String& text);
    static DragDescription parseDragDescription (const juce::String& description);

    //==============================================================================
    /** "{project}" shows as "PubCode"; another token loses its braces, gets a capital first
        letter and a space before each later capital ("{stemIndex}" gives "Stem index"). */
    static juce::String getChipCaption (const juce::String& token);

    /** The text a chip shows. */
    static juce::String getChipLabel (ChipKind kind, bool isToken, const juce::String& text);

    /** Chips flowed into rows: the first at (startX, startY); a chip that would end past
        rightLimit starts a new row 33 px lower, unless it is the first of its row. */
    static std::vector<juce::Rectangle<int>> flowChips (const std::vector<int>& widths, int startX, int startY, int rightLimit);

    /** Rows used by the flowed chips, at least 1. */
    static int countRows (const std::vector<juce::Rectangle<int>>& chips);

    /** The first chip whose bottom is below the point and whose centre is right of it; the
        chip count when there is none. */
    static int insertionIndexAt (const std::vector<juce::Rectangle<int>>& chips, juce::Point<int> point);

    static constexpr int chipHeight = 28;
    static constexpr int rowPitch = 33;
    static constexpr int chipGap = 5;

private:
    /** Closes an open retype (committing it) before another edit; the index of a piece that
        this removed goes to removedIndex (-1 for none). */
    EditResult closeRetypeBeforeEdit (int& removedIndex);

    /** Closes an open retype, then inserts the piece at the index (followed over the closing,
        appended when out of range); the index becomes where it went. */
    EditResult insertAt (TemplateSegment piece, int& index);

    bool isTextPiece (int index) const;

    std::vector<TemplateSegment> pieces;
    juce::String separator { "_" };
    juce::StringArray vocabulary;
    int retypeIndex = -1;
    juce::String retypeText;
};

} // namespace dunmoor::ui
