#include "TemplatePieces.h"

namespace dunmoor::ui
{

void TemplatePieces::EditResult::merge (const EditResult& other)
{
    changed = changed || other.changed;
    rebuild = rebuild || other.rebuild;

    if (other.retypeIndex >= 0)
        retypeIndex = other.retypeIndex;

    if (other.wordToAdd.isNotEmpty())
        wordToAdd = other.wordToAdd;
}

void TemplatePieces::setTemplate (const juce::String& nameTemplate)
{
    retypeIndex = -1;
    retypeText.clear();

    auto found = separator;
    pieces = splitNamingTemplate (nameTemplate, &found, separator);
    separator = found;
}

bool TemplatePieces::setSeparator (const juce::String& newSeparator)
{
    if (newSeparator == separator)
        return false;

    separator = newSeparator;
    return true;
}

juce::String TemplatePieces::getTemplateString() const
{
    return joinTemplateSegments (pieces, separator);
}

namespace
{
    /** Follows an index over the removal of the piece at removed (-1: none). False when the
        index named that very piece. */
    bool followRemoval (int removed, int& index)
    {
        if (removed < 0)
            return true;

        if (removed == index)
            return false;

        if (removed < index)
            --index;

        return true;
    }
} // namespace

bool TemplatePieces::isTextPiece (int index) const
{
    return juce::isPositiveAndBelow (index, (int) pieces.size()) && ! pieces[(size_t) index].isToken;
}

TemplatePieces::EditResult TemplatePieces::closeRetypeBeforeEdit (int& removedIndex)
{
    removedIndex = -1;

    if (! isRetyping())
        return {};

    const auto index = retypeIndex;
    const auto countBefore = pieces.size();
    auto result = commitRetype (true);

    if (pieces.size() < countBefore)
        removedIndex = index;

    return result;
}

TemplatePieces::EditResult TemplatePieces::insertAt (TemplateSegment piece, int& index)
{
    int removed = -1;
    auto result = closeRetypeBeforeEdit (removed);
    followRemoval (removed, index);

    if (index < 0 || index > (int) pieces.size())
        index = (int) pieces.size();

    pieces.insert (pieces.begin() + index, std::move (piece));
    return result;
}

TemplatePieces::EditResult TemplatePieces::insertPiece (TemplateSegment piece, int index)
{
    if (! piece.isToken && piece.text.trim().isEmpty())
        return insertEmptyTextPiece (index);

    auto result = insertAt (std::move (piece), index);
    result.changed = true;
    result.rebuild = true;
    return result;
}

TemplatePieces::EditResult TemplatePieces::insertEmptyTextPiece (int index)
{
    auto result = insertAt ({ false, {} }, index);
    retypeIndex = index;
    retypeText.clear();
    result.rebuild = true;
    result.retypeIndex = index;
    return result;
}

TemplatePieces::EditResult TemplatePieces::removePiece (int index)
{
    int removed = -1;
    auto result = closeRetypeBeforeEdit (removed);

    if (! followRemoval (removed, index))
        return result;

    if (! juce::isPositiveAndBelow (index, (int) pieces.size()))
        return result;

    pieces.erase (pieces.begin() + index);
    result.changed = true;
    result.rebuild = true;
    return result;
}

TemplatePieces::EditResult TemplatePieces::movePiece (int from, int insertionIndex)
{
    int removed = -1;
    auto result = closeRetypeBeforeEdit (removed);

    if (! followRemoval (removed, from))
        return result;

    followRemoval (removed, insertionIndex);

    if (! juce::isPositiveAndBelow (from, (int) pieces.size()))
        return result;

    const auto before = pieces;
    auto piece = pieces[(size_t) from];
    pieces.erase (pieces.begin() + from);

    if (from < insertionIndex)
        --insertionIndex;

    insertionIndex = juce::jlimit (0, (int) pieces.size(), insertionIndex);
    pieces.insert (pieces.begin() + insertionIndex, std::move (piece));

    if (pieces != before)
    {
        result.changed = true;
        result.rebuild = true;
    }

    return result;
}

TemplatePieces::EditResult TemplatePieces::startRetype (int index)
{
    if (retypeIndex == index)
        return {};

    int removed = -1;
    auto result = closeRetypeBeforeEdit (removed);

    if (! followRemoval (removed, index))
        return result;

    if (! isTextPiece (index))
        return result;

    retypeIndex = index;
    retypeText = pieces[(size_t) index].text;
    result.retypeIndex = index;
    return result;
}

TemplatePieces::EditResult TemplatePieces::commitRetype (bool commit)
{
    EditResult result;

    if (! isRetyping())
        return result;

    const auto index = retypeIndex;
    const auto typed = retypeText.trim();
    retypeIndex = -1;
    retypeText.clear();
    result.rebuild = true;

    if (! isTextPiece (index))
        return result;

    auto& piece = pieces[(size_t) index];
    const auto previous = piece.text;
    const bool wasNew = previous.isEmpty();

    if (commit && typed.isNotEmpty())
    {
        const auto& separators = getSeparatorCharacters();
        const auto cleaned = typed.trimCharactersAtStart (separators).trimCharactersAtEnd (separators);

        if (cleaned.isEmpty())
        {
            pieces.erase (pieces.begin() + index);
            result.changed = ! wasNew;
            return result;
        }

        piece.text = cleaned;

        if (! vocabulary.contains (cleaned, true))
            result.wordToAdd = cleaned;

        result.changed = cleaned != previous;
        return result;
    }

    // Escape keeps a piece that already had its text; a new piece that never got one goes,
    // and so does one whose text the user cleared and confirmed.
    if (wasNew || commit)
    {
        pieces.erase (pieces.begin() + index);
        result.changed = ! wasNew;
    }

    return result;
}

//==============================================================================
bool TemplatePieces::isInterestedIn (const juce::String& description, bool fromThisSequence)
{
    if (! description.startsWith (dragPrefix))
        return false;

    return ! description.substring ((int) strlen (dragPrefix)).startsWith ("move") || fromThisSequence;
}

TemplatePieces::EditResult TemplatePieces::applyDrop (const juce::String& description, int insertionIndex)
{
    const auto drag = parseDragDescription (description);

    if (drag.action == "move")
    {
        const auto digits = drag.index.trim();

        if (digits.isEmpty() || ! digits.containsOnly ("-0123456789"))
            return {};

        return movePiece (digits.getIntValue(), insertionIndex);
    }

    if (drag.letter != "x" || drag.text.isNotEmpty())
        return insertPiece ({ drag.letter == "t", drag.text }, insertionIndex);

    return insertEmptyTextPiece (insertionIndex);
}

juce::String TemplatePieces::makeDragDescription (ChipKind kind, int index, bool isToken, const juce::String& text)
{
    const auto action = kind == ChipKind::sequencePiece ? "move" : "add";
    return juce::String (dragPrefix) + action + ":" + juce::String (index) + ":" + (isToken ? "t" : "x") + ":" + text;
}

TemplatePieces::DragDescription TemplatePieces::parseDragDescription (const juce::String& description)
{
    DragDescription result;
    const auto start = description.indexOf (dragPrefix);
    auto rest = start >= 0 ? description.substring (start + (int) strlen (dragPrefix)) : juce::String();

    auto takeField = [&rest]
    {
        const auto colon = rest.indexOfChar (':');

        if (colon < 0)
        {
            auto all = rest;
            rest.clear();
            return all;
        }

        auto field = rest.substring (0, colon);
        rest = rest.substring (colon + 1);
        return field;
    };

    result.action = takeField();
    result.index = takeField();
    result.letter = takeField();
    result.text = rest;
    return result;
}

//==============================================================================
juce::String TemplatePieces::getChipCaption (const juce::String& token)
{
    if (token == "{project}")
        return "PubCode";

    const auto name = token.removeCharacters ("{}");
    juce::String caption;

    for (int i = 0; i < name.length(); ++i)
    {
        const auto c = name[i];

        if (i == 0)
            caption += juce::CharacterFunctions::toUpperCase (c);
        else if (c >= 'A' && c <= 'Z')
            caption << " " << juce::CharacterFunctions::toLowerCase (c);
        else
            caption += c;
    }

    return caption;
}

juce::String TemplatePieces::getChipLabel (ChipKind kind, bool isToken, const juce::String& text)
{
    if (kind == ChipKind::freeText)
        return "Text...";

    if (isToken)
        return getChipCaption (text);

    if (text.isEmpty())
        return "Text";

    return "\"" + text + "\"";
}

std::vector<juce::Rectangle<int>> TemplatePieces::flowChips (const std::vector<int>& widths, int startX, int startY, int rightLimit)
{
    std::vector<juce::Rectangle<int>> chips;
    chips.reserve (widths.size());
    int x = startX, y = startY;
    bool firstInRow = true;

    for (auto width : widths)
    {
        if (! firstInRow && x + width > rightLimit)
        {
            x = startX;
            y += rowPitch;
        }

        chips.emplace_back (x, y, width, chipHeight);
        x += width + chipGap;
        firstInRow = false;
    }

    return chips;
}

int TemplatePieces::countRows (const std::vector<juce::Rectangle<int>>& chips)
{
    int rows = 1;

    for (size_t i = 1; i < chips.size(); ++i)
        if (chips[i].getY() != chips[i - 1].getY())
            ++rows;

    return rows;
}

int TemplatePieces::insertionIndexAt (const std::vector<juce::Rectangle<int>>& chips, juce::Point<int> point)
{
    for (size_t i = 0; i < chips.size(); ++i)
        if (chips[i].getBottom() > point.y && chips[i].getCentreX() > point.x)
            return (int) i;

    return (int) chips.size();
}

} // namespace dunmoor::ui
