#include "ui/UiTestSupport.h"
#include "ui/widgets/NameTemplateEditor.h"

namespace dunmoor::ui
{
namespace
{
    using Chip = NameTemplateEditor::Chip;

    /** Two editors in one drag-and-drop container, as the export page holds them. */
    struct EditorPair : public juce::Component, public juce::DragAndDropContainer
    {
        EditorPair()
        {
            addAndMakeVisible (stem);
            addAndMakeVisible (mix);
            mix.setPaletteVisible (false);
            stem.setCaption ("Stem file name");
            mix.setCaption ("Full & alternative mix file name");
            stem.onChange = [this] { ++stemChanges; };
            stem.onWordAdded = [this] (const juce::String& word) { added.add (word); };
            setSize (900, 400);
        }

        void resized() override
        {
            stem.setBounds (0, 0, getWidth(), stem.getIdealHeight (getWidth()));
            mix.setBounds (0, stem.getBottom() + 10, getWidth(), mix.getIdealHeight (getWidth()));
        }

        NameTemplateEditor stem, mix;
        int stemChanges = 0;
        juce::StringArray added;
    };

    Chip& sequenceChip (NameTemplateEditor& editor, int index)
    {
        return *editor.getSequence().getChips()[(size_t) index];
    }

    Chip* paletteChip (NameTemplateEditor& editor, TemplatePieces::ChipKind kind, const juce::String& text = {})
    {
        for (auto& chip : editor.getPaletteArea().getChips())
            if (chip->getKind() == kind && (text.isEmpty() || chip->getText() == text))
                return chip.get();

        return nullptr;
    }

    void click (Chip& chip, juce::Point<float> at)
    {
        chip.mouseDown (testing::mouseEventAt (chip, at));
        chip.mouseUp (testing::mouseEventAt (chip, at));
    }

    void clickCentre (Chip& chip)
    {
        click (chip, { 12.0f, (float) chip.getHeight() / 2.0f });
    }

    void clickCross (Chip& chip)
    {
        click (chip, { (float) chip.getWidth() - 8.0f, (float) chip.getHeight() / 2.0f });
    }

    juce::DragAndDropTarget::SourceDetails dragOf (Chip& source, NameTemplateEditor& target, juce::Point<int> at)
    {
        return { source.getDragDescription(), &source, at };
        juce::ignoreUnused (target);
    }
} // namespace

TEST (NameTemplateEditor, DropsMoveWithinASequenceAndAddFromAnyPalette)
{
    EditorPair pair;
    pair.stem.setTemplate ("{publisher}_{project}_{cue}_{composer}_{version}");
    pair.mix.setTemplate ("{cue}_{stemName}");
    pair.resized();

    auto& sequence = pair.stem.getSequence();
    auto& third = sequenceChip (pair.stem, 2);
    const auto beforeFifth = sequenceChip (pair.stem, 4).getBounds().getTopLeft() + juce::Point<int> (2, 10);

    // Third before fifth ends fourth.
    const auto move = dragOf (third, pair.stem, beforeFifth);
    ASSERT_TRUE (sequence.isInterestedInDragSource (move));
    sequence.itemDropped (move);
    EXPECT_EQ (pair.stem.getTemplateString(), "{publisher}_{project}_{composer}_{cue}_{version}");
    EXPECT_EQ (pair.stemChanges, 1);

    // A piece of one sequence is not taken by the other; a palette chip of either is.
    auto& mixPiece = sequenceChip (pair.mix, 0);
    EXPECT_FALSE (sequence.isInterestedInDragSource (dragOf (mixPiece, pair.stem, beforeFifth)));

    auto* format = paletteChip (pair.stem, TemplatePieces::ChipKind::paletteToken, "{format}");
    ASSERT_NE (format, nullptr);
    auto& mixSequence = pair.mix.getSequence();
    const auto add = dragOf (*format, pair.mix, { 2, 10 });
    ASSERT_TRUE (mixSequence.isInterestedInDragSource (add));
    mixSequence.itemDropped (add);
    EXPECT_EQ (pair.mix.getTemplateString(), "{format}_{cue}_{stemName}");

    // A description that is no chip's is not taken (the drop rebuilt the chips: take a new one).
    EXPECT_FALSE (sequence.isInterestedInDragSource ({ "dunmoor.tracks", &sequenceChip (pair.stem, 0), {} }));
    testing::saveSnapshot (pair, "name-template-editors");
}

TEST (NameTemplateEditor, ClicksAddRetypeAndRemove)
{
    EditorPair pair;
    pair.stem.setVocabulary ({ "FINAL" });
    pair.stem.setTemplate ("{cue}_Old");
    pair.resized();

    // A palette token is appended (after the click has returned).
    clickCentre (*paletteChip (pair.stem, TemplatePieces::ChipKind::paletteToken, "{stemName}"));
    EXPECT_EQ (pair.stem.getTemplateString(), "{cue}_Old");
    testing::pumpMessages (20);
    EXPECT_EQ (pair.stem.getTemplateString(), "{cue}_Old_{stemName}");
    EXPECT_EQ (pair.stemChanges, 1);

    // The free-text chip opens a retype on a new piece; Escape removes it, reporting nothing.
    clickCentre (*paletteChip (pair.stem, TemplatePieces::ChipKind::freeText));
    testing::pumpMessages (20);
    auto& retype = pair.stem.getRetypeEditor();
    ASSERT_TRUE (retype.isVisible());
    EXPECT_EQ (pair.stem.getModel().getPieces().size(), 4u);
    retype.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    testing::pumpMessages (20);
    EXPECT_FALSE (retype.isVisible());
    EXPECT_EQ (pair.stem.getTemplateString(), "{cue}_Old_{stemName}");
    EXPECT_EQ (pair.stemChanges, 1);

    // Escape on an existing word keeps it.
    clickCentre (sequenceChip (pair.stem, 1));
    testing::pumpMessages (20);
    ASSERT_TRUE (retype.isVisible());
    retype.setText ("Other", true);
    retype.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    testing::pumpMessages (20);
    EXPECT_EQ (pair.stem.getTemplateString(), "{cue}_Old_{stemName}");

    // Retyping it with separators around the word stores the word and offers it once.
    clickCentre (sequenceChip (pair.stem, 1));
    testing::pumpMessages (20);
    retype.setText ("_Take2-", true);
    retype.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    testing::pumpMessages (20);
    EXPECT_EQ (pair.stem.getTemplateString(), "{cue}_Take2_{stemName}");
    EXPECT_EQ (pair.added, juce::StringArray ("Take2"));
    EXPECT_EQ (pair.stemChanges, 2);

    // The cross removes its own piece; the chip being clicked is not destroyed under its click.
    clickCross (sequenceChip (pair.stem, 0));
    testing::pumpMessages (20);
    EXPECT_EQ (pair.stem.getTemplateString(), "Take2_{stemName}");
    EXPECT_EQ (pair.stemChanges, 3);
}

TEST (NameTemplateEditor, ForgettingAWordAsksFirst)
{
    EditorPair pair;
    pair.stem.setVocabulary ({ "FINAL", "Stems" });
    pair.resized();

    juce::String askedTitle;
    std::function<void (bool)> answer;
    pair.stem.askToConfirm = [&] (const juce::String& title, const juce::String& message, std::function<void (bool)> answered)
    {
        askedTitle = title;
        EXPECT_EQ (message, "\"FINAL\" will no longer be offered when you build a file name.\n\nNames that already use it are not affected.");
        answer = std::move (answered);
    };

    juce::StringArray removed;
    pair.stem.onWordRemoved = [&] (const juce::String& word) { removed.add (word); };

    clickCross (*paletteChip (pair.stem, TemplatePieces::ChipKind::vocabularyWord, "FINAL"));
    testing::pumpMessages (20);
    EXPECT_EQ (askedTitle, "Forget this word?");
    ASSERT_TRUE (answer != nullptr);

    answer (false);
    EXPECT_TRUE (removed.isEmpty());
    answer (true);
    EXPECT_EQ (removed, juce::StringArray ("FINAL"));
}

TEST (NameTemplateEditor, IdealHeight)
{
    NameTemplateEditor editor;
    editor.setPaletteVisible (false);
    EXPECT_EQ (editor.getIdealHeight (100), editor.getIdealHeight (200));
    EXPECT_EQ (editor.getIdealHeight (800), 33 + 40);

    editor.setPaletteVisible (true);
    const auto rows = editor.getPaletteArea().countRows (800);
    EXPECT_EQ (editor.getIdealHeight (800), (rows + 1) * 33 + 56);
}

} // namespace dunmoor::ui
