#include <gtest/gtest.h>

#include "ui/widgets/TemplatePieces.h"

namespace dunmoor::ui
{
namespace
{
    using Kind = TemplatePieces::ChipKind;

    TemplatePieces makePieces (const juce::String& nameTemplate, const juce::StringArray& vocabulary = {})
    {
        TemplatePieces pieces;
        pieces.setVocabulary (vocabulary);
        pieces.setTemplate (nameTemplate);
        return pieces;
    }

    juce::String moveOf (int index)
    {
        return TemplatePieces::makeDragDescription (Kind::sequencePiece, index, false, "x");
    }
} // namespace

TEST (TemplatePieces, DragDescriptionsRoundTrip)
{
    EXPECT_EQ (TemplatePieces::makeDragDescription (Kind::paletteToken, -1, true, "{cue}"), "dunmoor.namechip:add:-1:t:{cue}");
    EXPECT_EQ (TemplatePieces::makeDragDescription (Kind::sequencePiece, 2, false, "a:b"), "dunmoor.namechip:move:2:x:a:b");

    const auto parsed = TemplatePieces::parseDragDescription ("dunmoor.namechip:move:2:x:a:b");
    EXPECT_EQ (parsed.action, "move");
    EXPECT_EQ (parsed.index, "2");
    EXPECT_EQ (parsed.letter, "x");
    EXPECT_EQ (parsed.text, "a:b");

    EXPECT_TRUE (TemplatePieces::isInterestedIn ("dunmoor.namechip:add:-1:t:{cue}", false));
    EXPECT_FALSE (TemplatePieces::isInterestedIn ("dunmoor.namechip:move:0:t:{cue}", false));
    EXPECT_TRUE (TemplatePieces::isInterestedIn ("dunmoor.namechip:move:0:t:{cue}", true));
    EXPECT_FALSE (TemplatePieces::isInterestedIn ("dunmoor.stemrow:1", true));
}

TEST (TemplatePieces, DropsMoveAndAdd)
{
    struct Case
    {
        const char* name;
        juce::String description;
        int insertionIndex;
        juce::String expected;
        bool changed;
    };

    const std::vector<Case> cases {
        { "third before fifth ends fourth", moveOf (2), 4, "{publisher}_{project}_{composer}_{cue}_{version}", true },
        { "right after itself", moveOf (2), 3, "{publisher}_{project}_{cue}_{composer}_{version}", false },
        { "first to the end", moveOf (0), 5, "{project}_{cue}_{composer}_{version}_{publisher}", true },
        { "index past the pieces", moveOf (9), 0, "{publisher}_{project}_{cue}_{composer}_{version}", false },
        { "index not a number", "dunmoor.namechip:move:x:t:{cue}", 0, "{publisher}_{project}_{cue}_{composer}_{version}", false },
        { "token from a palette", "dunmoor.namechip:add:-1:t:{format}", 1, "{publisher}_{format}_{project}_{cue}_{composer}_{version}", true },
        { "word", "dunmoor.namechip:add:-1:x:FINAL", 99, "{publisher}_{project}_{cue}_{composer}_{version}_FINAL", true },
    };

    for (const auto& c : cases)
    {
        auto pieces = makePieces ("{publisher}_{project}_{cue}_{composer}_{version}");
        const auto result = pieces.applyDrop (c.description, c.insertionIndex);
        EXPECT_EQ (pieces.getTemplateString(), c.expected) << c.name;
        EXPECT_EQ (result.changed, c.changed) << c.name;
    }

    // The free-text chip opens a retype on a new piece and reports nothing yet.
    auto pieces = makePieces ("{cue}");
    const auto result = pieces.applyDrop ("dunmoor.namechip:add:-1:x:", 0);
    EXPECT_FALSE (result.changed);
    EXPECT_EQ (result.retypeIndex, 0);
    EXPECT_EQ (pieces.getRetypeIndex(), 0);
    EXPECT_EQ (pieces.getPieces().size(), 2u);
}

TEST (TemplatePieces, Retyping)
{
    struct Case
    {
        const char* name;
        bool newPiece;
        juce::String typed;
        bool commit;
        juce::String expected;
        bool changed;
        juce::String wordToAdd;
    };

    const std::vector<Case> cases {
        { "new piece, Escape", true, "Mix", false, "{cue}_Old", false, {} },
        { "new piece, typed", true, "_Mix-", true, "{cue}_Old_Mix", true, "Mix" },
        { "new piece, only separators", true, " _-", true, "{cue}_Old", false, {} },
        { "new piece, a known word in another case", true, "final", true, "{cue}_Old_final", true, {} },
        // Escape used to remove a piece that already had its text.
        { "old piece, Escape", false, "Other", false, "{cue}_Old", false, {} },
        { "old piece, retyped", false, "New", true, "{cue}_New", true, "New" },
        { "old piece, same text", false, "Old", true, "{cue}_Old", false, {} },
        { "old piece, cleared", false, "", true, "{cue}", true, {} },
    };

    for (const auto& c : cases)
    {
        auto pieces = makePieces ("{cue}_Old", { "FINAL", "Old" });
        const auto opened = c.newPiece ? pieces.insertEmptyTextPiece (-1) : pieces.startRetype (1);
        ASSERT_GE (opened.retypeIndex, 1) << c.name;

        pieces.setRetypeText (c.typed);
        const auto result = pieces.commitRetype (c.commit);

        EXPECT_EQ (pieces.getTemplateString(), c.expected) << c.name;
        EXPECT_EQ ((int) pieces.getPieces().size(), juce::StringArray::fromTokens (c.expected, "_", {}).size()) << c.name;
        EXPECT_EQ (result.changed, c.changed) << c.name;
        EXPECT_EQ (result.wordToAdd, c.wordToAdd) << c.name;
        EXPECT_FALSE (pieces.isRetyping()) << c.name;
    }

    // A token cannot be retyped.
    auto pieces = makePieces ("{cue}_Old");
    EXPECT_EQ (pieces.startRetype (0).retypeIndex, -1);
    EXPECT_FALSE (pieces.isRetyping());
}

// The retype index used to go stale when the pieces changed under it.
TEST (TemplatePieces, EditsCloseAnOpenRetypeFirst)
{
    auto pieces = makePieces ("Old_{cue}_{stemName}");
    (void) pieces.startRetype (0);
    pieces.setRetypeText ("New");

    // Moving a piece applies the typed word first; the moved piece is the one meant.
    const auto moved = pieces.movePiece (2, 0);
    EXPECT_TRUE (moved.changed);
    EXPECT_EQ (moved.wordToAdd, "New");
    EXPECT_FALSE (pieces.isRetyping());
    EXPECT_EQ (pieces.getTemplateString(), "{stemName}_New_{cue}");

    // A new empty piece that is still open disappears before a drop, and the drop's index
    // is counted without it.
    (void) pieces.insertEmptyTextPiece (0);
    EXPECT_EQ (pieces.getPieces().size(), 4u);
    (void) pieces.applyDrop ("dunmoor.namechip:add:-1:t:{format}", 2);
    EXPECT_EQ (pieces.getTemplateString(), "{stemName}_{format}_New_{cue}");

    // Removing the piece under the retype removes it once.
    (void) pieces.startRetype (2);
    pieces.setRetypeText ("New");
    (void) pieces.removePiece (2);
    EXPECT_EQ (pieces.getTemplateString(), "{stemName}_{format}_{cue}");

    // A template set from outside drops the retype unapplied.
    (void) pieces.insertEmptyTextPiece (-1);
    pieces.setRetypeText ("Lost");
    pieces.setTemplate ("{cue}");
    EXPECT_FALSE (pieces.isRetyping());
    EXPECT_TRUE (pieces.commitRetype (true).wordToAdd.isEmpty());
    EXPECT_EQ (pieces.getTemplateString(), "{cue}");
}

TEST (TemplatePieces, TemplateAndSeparator)
{
    auto pieces = makePieces ("{project} - {cue}");
    EXPECT_EQ (pieces.getSeparator(), " - ");
    EXPECT_EQ (pieces.getPieces().size(), 2u);

    // A braced name the palette does not offer comes back as a word without braces.
    pieces.setTemplate ("{cue}_{Take}");
    EXPECT_EQ (pieces.getTemplateString(), "{cue}_Take");

    EXPECT_TRUE (pieces.setSeparator ("."));
    EXPECT_FALSE (pieces.setSeparator ("."));
    EXPECT_EQ (pieces.getTemplateString(), "{cue}.Take");

    // A blank text piece is never inserted as it is.
    const auto result = pieces.insertPiece ({ false, "  " }, 0);
    EXPECT_EQ (result.retypeIndex, 0);
    EXPECT_FALSE (result.changed);
}

TEST (TemplatePieces, CaptionsAndLabels)
{
    const std::pair<const char*, const char*> captions[] {
        { "{publisher}", "Publisher" }, { "{project}", "PubCode" }, { "{stemIndex}", "Stem index" },
        { "{sampleRate}", "Sample rate" }, { "{bitDepth}", "Bit depth" }, { "{format}", "Format" },
    };

    for (const auto& [token, caption] : captions)
        EXPECT_EQ (TemplatePieces::getChipCaption (token), caption);

    EXPECT_EQ (TemplatePieces::getChipLabel (Kind::freeText, false, {}), "Text...");
    EXPECT_EQ (TemplatePieces::getChipLabel (Kind::sequencePiece, false, {}), "Text");
    EXPECT_EQ (TemplatePieces::getChipLabel (Kind::vocabularyWord, false, "FINAL"), "\"FINAL\"");
    EXPECT_EQ (TemplatePieces::getChipLabel (Kind::sequencePiece, true, "{cue}"), "Cue");
}

TEST (TemplatePieces, ChipFlowAndInsertionPoints)
{
    // 8 + 100 + 5 + 100 fits in 215; the third chip wraps; a chip wider than the row stays first.
    const auto chips = TemplatePieces::flowChips ({ 100, 100, 100, 400 }, 8, 6, 215);
    ASSERT_EQ (chips.size(), 4u);
    EXPECT_EQ (chips[1], juce::Rectangle<int> (113, 6, 100, 28));
    EXPECT_EQ (chips[2], juce::Rectangle<int> (8, 39, 100, 28));
    EXPECT_EQ (chips[3], juce::Rectangle<int> (8, 72, 400, 28));
    EXPECT_EQ (TemplatePieces::countRows (chips), 3);
    EXPECT_EQ (TemplatePieces::countRows ({}), 1);

    EXPECT_EQ (TemplatePieces::insertionIndexAt (chips, { 0, 10 }), 0);
    EXPECT_EQ (TemplatePieces::insertionIndexAt (chips, { 100, 10 }), 1);
    EXPECT_EQ (TemplatePieces::insertionIndexAt (chips, { 20, 45 }), 2);
    EXPECT_EQ (TemplatePieces::insertionIndexAt (chips, { 300, 90 }), 4);
}

} // namespace dunmoor::ui
