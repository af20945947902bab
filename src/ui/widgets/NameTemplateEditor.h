#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "TemplatePieces.h"
#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

/**
    Builds a file-name template by drag and drop: a palette of naming tokens, the user's words
    and a free-text chip above a sequence of pieces. Pieces are added by dragging or clicking,
    moved by dragging within the sequence, removed with their cross, and text pieces are
    retyped by clicking them. The drag-and-drop container is the nearest one among the parents.

    The decisions live in TemplatePieces; this component draws chips and routes gestures.
    Chip clicks are handled after the click has returned, because handling one rebuilds the
    chips, the clicked one included.
*/
class NameTemplateEditor : public juce::Component
{
public:
    using ChipKind = TemplatePieces::ChipKind;

    NameTemplateEditor();
    ~NameTemplateEditor() override;

    /** The pieces changed through the user. */
    std::function<void()> onChange;

    /** A typed word that the vocabulary does not hold yet. */
    std::function<void (const juce::String& word)> onWordAdded;

    /** The user confirmed forgetting a vocabulary word. */
    std::function<void (const juce::String& word)> onWordRemoved;

    /** Asks the user to confirm forgetting a word and calls back with true for OK; the owner
        routes it to its message boxes. Without it nothing is forgotten. */
    std::function<void (const juce::String& title, const juce::String& message, std::function<void (bool)> answered)> askToConfirm;

    //==============================================================================
    void setTemplate (const juce::String& nameTemplate);
    juce::String getTemplateString() const;
    void setSeparator (const juce::String& newSeparator);
    void setVocabulary (const juce::StringArray& words);
    void setPaletteVisible (bool shouldBeVisible);
    void setCaption (const juce::String& text);

    /** The height that shows the palette (when visible), the caption and every row of pieces
        at the width (at least 200). */
    int getIdealHeight (int width) const;

    //==============================================================================
    /** The gestures, also reachable directly. */
    void insertPiece (TemplateSegment piece, int index);
    void insertEmptyTextPiece (int index);
    void removePiece (int index);
    void startRetype (int index);
    void commitRetype (bool commit);
    void confirmRemoveFromVocabulary (const juce::String& word);

    const TemplatePieces& getModel() const noexcept { return model; }
    juce::TextEditor& getRetypeEditor() noexcept { return retypeEditor; }

    class Chip;
    class PaletteArea;
    class Sequence;

    PaletteArea& getPaletteArea() noexcept { return *palette; }
    Sequence& getSequence() noexcept { return *sequence; }

    void resized() override;

    static int chipWidthFor (ChipKind kind, bool isToken, const juce::String& text);

private:
    friend class Chip;
    friend class Sequence;

    void handle (const TemplatePieces::EditResult& result);
    void syncRetypeText();
    void rebuildPalette();
    void rebuildSequence();
    void chipClicked (ChipKind kind, int index, bool isToken, const juce::String& text, bool onCross);
    void openRetypeEditor (int index);

    TemplatePieces model;
    juce::TextEditor retypeEditor;
    bool paletteVisible = true;
    std::unique_ptr<PaletteArea> palette;
    std::unique_ptr<Sequence> sequence;
    juce::Label caption;

    JUCE_DECLARE_WEAK_REFERENCEABLE (NameTemplateEditor)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NameTemplateEditor)
};

/** One piece, palette token, word or the free-text chip. */
class NameTemplateEditor::Chip : public juce::Component, public juce::SettableTooltipClient, public PaintsTexts
{
public:
    Chip (NameTemplateEditor& owner, ChipKind kind, int index, bool isToken, const juce::String& text);

    ChipKind getKind() const noexcept { return kind; }
    const juce::String& getText() const noexcept { return text; }
    bool hasCross() const noexcept { return kind == ChipKind::sequencePiece || kind == ChipKind::vocabularyWord; }
    juce::String getDragDescription() const;

    /** The piece's label, between the rounded ends and before the cross. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;

private:
    bool isOnCross (juce::Point<int> position) const;
    juce::Rectangle<int> getTextArea() const;

    NameTemplateEditor& owner;
    juce::String text;
    bool isToken;
    ChipKind kind;
    int index;
    bool hover = false;
    bool crossHover = false;
    bool dragStarted = false;
};

/** The chips to pick from; paints nothing of its own. */
class NameTemplateEditor::PaletteArea : public juce::Component
{
public:
    explicit PaletteArea (NameTemplateEditor& owner);

    void rebuild (const juce::StringArray& vocabulary);
    int countRows (int width) const;
    void resized() override;

    const std::vector<std::unique_ptr<Chip>>& getChips() const noexcept { return chips; }

private:
    NameTemplateEditor& owner;
    std::vector<std::unique_ptr<Chip>> chips;
    std::vector<int> widths;    // measured once per rebuild: layouts run often, the chips change rarely
};

/** The template's pieces, and the drop target for chips. */
class NameTemplateEditor::Sequence : public juce::Component, public juce::DragAndDropTarget, public PaintsTexts
{
public:
    explicit Sequence (NameTemplateEditor& owner);

    void rebuild();
    int countRows (int width) const;
    int getInsertionIndex (juce::Point<int> point) const;

    const std::vector<std::unique_ptr<Chip>>& getChips() const noexcept { return chips; }

    bool isInterestedInDragSource (const SourceDetails& details) override;
    void itemDragEnter (const SourceDetails& details) override;
    void itemDragMove (const SourceDetails& details) override;
    void itemDragExit (const SourceDetails& details) override;
    void itemDropped (const SourceDetails& details) override;

    /** The hint of an empty sequence. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    std::vector<juce::Rectangle<int>> flow (int width) const;

    NameTemplateEditor& owner;
    std::vector<std::unique_ptr<Chip>> chips;
    std::vector<int> widths;    // measured once per rebuild
    bool dragOver = false;
    int markerIndex = -1;
};

} // namespace dunmoor::ui
