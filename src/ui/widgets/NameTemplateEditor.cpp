#include "NameTemplateEditor.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int crossWidth = 20;

    const char* tooltipFor (TemplatePieces::ChipKind kind, bool isToken)
    {
        switch (kind)
        {
            case TemplatePieces::ChipKind::sequencePiece:
                return isToken ? "Drag to reorder, or click the cross to remove."
                               : "Click to retype it, drag to reorder, cross to remove.";
            case TemplatePieces::ChipKind::paletteToken:   return "Drag down into the name below.";
            case TemplatePieces::ChipKind::vocabularyWord: return "One of your words. Drag it in, or click the cross to forget it.";
            case TemplatePieces::ChipKind::freeText:       return "Adds a word of your own, ready to type.";
        }

        return "";
    }
} // namespace

//==============================================================================
NameTemplateEditor::NameTemplateEditor()
    : palette (std::make_unique<PaletteArea> (*this)),
      sequence (std::make_unique<Sequence> (*this))
{
    addChildComponent (retypeEditor);
    addAndMakeVisible (*palette);
    addAndMakeVisible (*sequence);
    addAndMakeVisible (caption);

    retypeEditor.setFont (fontPlain14_5());
    retypeEditor.setSelectAllWhenFocused (true);
    retypeEditor.setTitle ("Word");
    retypeEditor.onTextChange = [this] { model.setRetypeText (retypeEditor.getText()); };
    retypeEditor.onReturnKey = [this] { commitRetype (true); };
    retypeEditor.onEscapeKey = [this] { commitRetype (false); };
    retypeEditor.onFocusLost = [this] { commitRetype (true); };

    caption.setFont (fontBold14_5());
    caption.setInterceptsMouseClicks (false, false);

    rebuildPalette();
    rebuildSequence();
}

NameTemplateEditor::~NameTemplateEditor()
{
    // The retype field's focus-lost callback must not reach a half-destroyed editor.
    retypeEditor.onFocusLost = nullptr;
    retypeEditor.onTextChange = nullptr;
}

//==============================================================================
void NameTemplateEditor::setTemplate (const juce::String& nameTemplate)
{
    retypeEditor.setVisible (false);
    model.setTemplate (nameTemplate);
    rebuildSequence();
    resized();
}

juce::String NameTemplateEditor::getTemplateString() const
{
    return model.getTemplateString();
}

void NameTemplateEditor::setSeparator (const juce::String& newSeparator)
{
    if (model.setSeparator (newSeparator))
    {
        rebuildSequence();
        resized();
    }
}

void NameTemplateEditor::setVocabulary (const juce::StringArray& words)
{
    if (words == model.getVocabulary())
        return;

    model.setVocabulary (words);
    rebuildPalette();
    resized();
}

void NameTemplateEditor::setPaletteVisible (bool shouldBeVisible)
{
    if (shouldBeVisible == paletteVisible)
        return;

    paletteVisible = shouldBeVisible;
    palette->setVisible (shouldBeVisible);
    resized();
}

void NameTemplateEditor::setCaption (const juce::String& text)
{
    caption.setText (text, juce::dontSendNotification);
    sequence->setTitle (text);
}

int NameTemplateEditor::getIdealHeight (int width) const
{
    const auto w = std::max (width, 200);
    const auto p = paletteVisible ? palette->countRows (w) : 0;
    const auto s = sequence->countRows (w);
    return (p + std::max (1, s)) * TemplatePieces::rowPitch + (p == 0 ? 40 : 56);
}

int NameTemplateEditor::chipWidthFor (ChipKind kind, bool isToken, const juce::String& text)
{
    const auto hasCross = kind == ChipKind::sequencePiece || kind == ChipKind::vocabularyWord;
    return measureTextWidthCeil (fontPlain14_5(), TemplatePieces::getChipLabel (kind, isToken, text)) + (hasCross ? 38 : 22);
}

//==============================================================================
void NameTemplateEditor::insertPiece (TemplateSegment piece, int index)
{
    syncRetypeText();
    handle (model.insertPiece (std::move (piece), index));
}

void NameTemplateEditor::insertEmptyTextPiece (int index)
{
    syncRetypeText();
    handle (model.insertEmptyTextPiece (index));
}

void NameTemplateEditor::removePiece (int index)
{
    syncRetypeText();
    handle (model.removePiece (index));
}

void NameTemplateEditor::startRetype (int index)
{
    syncRetypeText();
    handle (model.startRetype (index));
}

void NameTemplateEditor::commitRetype (bool commit)
{
    if (! model.isRetyping())
        return;

    syncRetypeText();

    handle (model.commitRetype (commit));
}

void NameTemplateEditor::syncRetypeText()
{
    // The field reports its edits through posted messages; what it shows now is what counts.
    if (model.isRetyping())
        model.setRetypeText (retypeEditor.getText());
}

void NameTemplateEditor::handle (const TemplatePieces::EditResult& result)
{
    if (! model.isRetyping())
        retypeEditor.setVisible (false);

    if (result.rebuild || result.changed || result.retypeIndex >= 0)
    {
        rebuildSequence();
        resized();
    }

    if (result.retypeIndex >= 0 && model.isRetyping())
        openRetypeEditor (result.retypeIndex);

    juce::Component::SafePointer<NameTemplateEditor> safe (this);

    if (result.wordToAdd.isNotEmpty() && onWordAdded != nullptr)
        onWordAdded (result.wordToAdd);

    if (safe != nullptr && result.changed && onChange != nullptr)
        onChange();
}

void NameTemplateEditor::openRetypeEditor (int index)
{
    const auto& chips = sequence->getChips();

    if (! juce::isPositiveAndBelow (index, (int) chips.size()))
        return;

    const auto chipBounds = getLocalArea (sequence.get(), chips[(size_t) index]->getBounds());
    retypeEditor.setBounds (chipBounds.getX() - 2, chipBounds.getY(), chipBounds.getWidth() + 4, chipBounds.getHeight());
    retypeEditor.setText (model.getRetypeText(), juce::dontSendNotification);
    retypeEditor.setVisible (true);
    retypeEditor.toFront (false);

    if (retypeEditor.isShowing())
        retypeEditor.grabKeyboardFocus();

    retypeEditor.selectAll();
}

void NameTemplateEditor::confirmRemoveFromVocabulary (const juce::String& word)
{
    if (askToConfirm == nullptr)
        return;

    juce::Component::SafePointer<NameTemplateEditor> safe (this);
    askToConfirm ("Forget this word?",
                  "\"" + word + "\" will no longer be offered when you build a file name.\n\nNames that already use it are not affected.",
                  [safe, word] (bool confirmed)
                  {
                      if (confirmed && safe != nullptr && safe->onWordRemoved != nullptr)
                          safe->onWordRemoved (word);
                  });
}

void NameTemplateEditor::chipClicked (ChipKind kind, int index, bool isToken, const juce::String& text, bool onCross)
{
    switch (kind)
    {
        case ChipKind::sequencePiece:
            if (onCross)
                removePiece (index);
            else if (! isToken)
                startRetype (index);
            break;

        case ChipKind::paletteToken:
            insertPiece ({ true, text }, -1);
            break;

        case ChipKind::vocabularyWord:
            if (onCross)
                confirmRemoveFromVocabulary (text);
            else
                insertPiece ({ false, text }, -1);
            break;

        case ChipKind::freeText:
            insertEmptyTextPiece (-1);
            break;
    }
}

void NameTemplateEditor::rebuildPalette()
{
    palette->rebuild (model.getVocabulary());
}

void NameTemplateEditor::rebuildSequence()
{
    sequence->rebuild();
}

void NameTemplateEditor::resized()
{
    auto area = getLocalBounds();

    if (paletteVisible)
    {
        palette->setBounds (area.removeFromTop (std::min (area.getHeight(), palette->countRows (getWidth()) * TemplatePieces::rowPitch)));
        area.removeFromTop (std::min (area.getHeight(), 16));
    }

    caption.setBounds (area.removeFromTop (std::min (area.getHeight(), 22)));
    area.removeFromTop (std::min (area.getHeight(), 10));
    sequence->setBounds (area.removeFromTop (std::min (area.getHeight(),
                                                       std::max (1, sequence->countRows (getWidth())) * TemplatePieces::rowPitch + 8)));

    if (model.isRetyping() && retypeEditor.isVisible())
        openRetypeEditor (model.getRetypeIndex());
}

//==============================================================================
NameTemplateEditor::Chip::Chip (NameTemplateEditor& ownerToUse, ChipKind kindToUse, int indexToUse, bool isTokenToUse, const juce::String& textToUse)
    : owner (ownerToUse), text (textToUse), isToken (isTokenToUse), kind (kindToUse), index (indexToUse)
{
    setMouseCursor (juce::MouseCursor::DraggingHandCursor);
    setTooltip (tooltipFor (kind, isToken));
    setTitle (TemplatePieces::getChipLabel (kind, isToken, text));
}

juce::String NameTemplateEditor::Chip::getDragDescription() const
{
    return TemplatePieces::makeDragDescription (kind, index, isToken, text);
}

bool NameTemplateEditor::Chip::isOnCross (juce::Point<int> position) const
{
    return hasCross() && position.x > getWidth() - crossWidth;
}

void NameTemplateEditor::Chip::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    const auto base = isToken ? palette.accent : palette.good;
    const auto body = juce::Rectangle<float> (0.5f, 0.5f, std::max (0.0f, (float) getWidth() - 1.0f), std::max (0.0f, (float) getHeight() - 1.0f));

    g.setColour (base.withAlpha (hover ? 0.34f : 0.22f));
    g.fillRoundedRectangle (body, 11.0f);
    g.setColour (base.withAlpha (0.75f));
    g.drawRoundedRectangle (body, 11.0f, 1.0f);

    if (hasCross())
    {
        const auto box = getTextArea().withX (getTextArea().getRight()).withWidth (std::min (16, std::max (0, getWidth() - 20))).toFloat();
        const auto cy = (float) getHeight() * 0.5f;
        g.setColour (crossHover ? palette.bad : palette.textSecondary);
        g.drawLine (box.getX() + 4.0f, cy - 4.0f, box.getRight() - 4.0f, cy + 4.0f, 1.4f);
        g.drawLine (box.getX() + 4.0f, cy + 4.0f, box.getRight() - 4.0f, cy - 4.0f, 1.4f);
    }

    drawPaintedTexts (g, getPaintedTexts());
}

juce::Rectangle<int> NameTemplateEditor::Chip::getTextArea() const
{
    // 10 px in from both rounded ends, less the cross's 16 px where there is one.
    auto textArea = juce::Rectangle<int> (10, 0, std::max (0, getWidth() - 20), getHeight());

    if (hasCross())
        textArea.removeFromRight (std::min (16, textArea.getWidth()));

    return textArea;
}

std::vector<PaintedText> NameTemplateEditor::Chip::getPaintedTexts() const
{
    return { { TemplatePieces::getChipLabel (kind, isToken, text), getTextArea().toFloat(), fontPlain14_5(), currentPalette().textPrimary } };
}

void NameTemplateEditor::Chip::mouseDown (const juce::MouseEvent&)
{
    dragStarted = false;
}

void NameTemplateEditor::Chip::mouseDrag (const juce::MouseEvent& e)
{
    if (dragStarted || ! e.mouseWasDraggedSinceMouseDown())
        return;

    dragStarted = true;

    if (auto* container = juce::DragAndDropContainer::findParentDragContainerFor (this))
        container->startDragging (getDragDescription(), this);
}

void NameTemplateEditor::Chip::mouseUp (const juce::MouseEvent& e)
{
    if (dragStarted || e.mouseWasDraggedSinceMouseDown())
        return;

    // Handled once this chip's own mouse handling is over: the click rebuilds the chips.
    juce::Component::SafePointer<NameTemplateEditor> editor (&owner);
    const auto onCross = isOnCross (e.getPosition());
    const auto chipKind = kind;
    const auto chipIndex = index;
    const auto chipIsToken = isToken;
    const auto chipText = text;

    juce::MessageManager::callAsync ([editor, chipKind, chipIndex, chipIsToken, chipText, onCross]
                                     {
                                         if (editor != nullptr)
                                             editor->chipClicked (chipKind, chipIndex, chipIsToken, chipText, onCross);
                                     });
}

void NameTemplateEditor::Chip::mouseMove (const juce::MouseEvent& e)
{
    const auto over = isOnCross (e.getPosition());

    if (over != crossHover)
    {
        crossHover = over;
        repaint();
    }
}

void NameTemplateEditor::Chip::mouseEnter (const juce::MouseEvent&)
{
    hover = true;
    repaint();
}

void NameTemplateEditor::Chip::mouseExit (const juce::MouseEvent&)
{
    hover = false;
    crossHover = false;
    repaint();
}

//==============================================================================
NameTemplateEditor::PaletteArea::PaletteArea (NameTemplateEditor& ownerToUse) : owner (ownerToUse)
{
    setTitle ("Pieces");
}

void NameTemplateEditor::PaletteArea::rebuild (const juce::StringArray& vocabulary)
{
    chips.clear();

    for (const auto& token : getNamingTokenPalette())
        chips.push_back (std::make_unique<Chip> (owner, ChipKind::paletteToken, -1, true, token));

    for (const auto& word : vocabulary)
        chips.push_back (std::make_unique<Chip> (owner, ChipKind::vocabularyWord, -1, false, word));

    chips.push_back (std::make_unique<Chip> (owner, ChipKind::freeText, -1, false, juce::String()));

    widths.clear();

    for (auto& chip : chips)
    {
        addAndMakeVisible (*chip);
        widths.push_back (chipWidthFor (chip->getKind(), chip->getKind() == ChipKind::paletteToken, chip->getText()));
    }

    resized();
}

int NameTemplateEditor::PaletteArea::countRows (int width) const
{
    return TemplatePieces::countRows (TemplatePieces::flowChips (widths, 0, 0, width));
}

void NameTemplateEditor::PaletteArea::resized()
{
    const auto rects = TemplatePieces::flowChips (widths, 0, 0, getWidth());

    for (size_t i = 0; i < chips.size(); ++i)
        chips[i]->setBounds (rects[i]);
}

//==============================================================================
NameTemplateEditor::Sequence::Sequence (NameTemplateEditor& ownerToUse) : owner (ownerToUse)
{
}

void NameTemplateEditor::Sequence::rebuild()
{
    chips.clear();
    widths.clear();
    const auto& pieces = owner.model.getPieces();

    for (size_t i = 0; i < pieces.size(); ++i)
    {
        chips.push_back (std::make_unique<Chip> (owner, ChipKind::sequencePiece, (int) i, pieces[i].isToken, pieces[i].text));
        addAndMakeVisible (*chips.back());
        widths.push_back (chipWidthFor (ChipKind::sequencePiece, pieces[i].isToken, pieces[i].text));
    }

    resized();
    repaint();
}

std::vector<juce::Rectangle<int>> NameTemplateEditor::Sequence::flow (int width) const
{
    return TemplatePieces::flowChips (widths, 8, 6, width - 8);
}

int NameTemplateEditor::Sequence::countRows (int width) const
{
    return TemplatePieces::countRows (flow (width));
}

int NameTemplateEditor::Sequence::getInsertionIndex (juce::Point<int> point) const
{
    std::vector<juce::Rectangle<int>> bounds;

    for (const auto& chip : chips)
        bounds.push_back (chip->getBounds());

    return TemplatePieces::insertionIndexAt (bounds, point);
}

void NameTemplateEditor::Sequence::resized()
{
    const auto rects = flow (getWidth());

    for (size_t i = 0; i < chips.size() && i < rects.size(); ++i)
        chips[i]->setBounds (rects[i]);
}

bool NameTemplateEditor::Sequence::isInterestedInDragSource (const SourceDetails& details)
{
    const auto* source = details.sourceComponent.get();
    return TemplatePieces::isInterestedIn (details.description.toString(), source != nullptr && isParentOf (source));
}

void NameTemplateEditor::Sequence::itemDragEnter (const SourceDetails& details)
{
    itemDragMove (details);
}

void NameTemplateEditor::Sequence::itemDragMove (const SourceDetails& details)
{
    const auto index = getInsertionIndex (details.localPosition);

    if (! dragOver || index != markerIndex)
    {
        dragOver = true;
        markerIndex = index;
        repaint();
    }
}

void NameTemplateEditor::Sequence::itemDragExit (const SourceDetails&)
{
    dragOver = false;
    markerIndex = -1;
    repaint();
}

void NameTemplateEditor::Sequence::itemDropped (const SourceDetails& details)
{
    const auto index = getInsertionIndex (details.localPosition);
    dragOver = false;
    markerIndex = -1;
    repaint();

    owner.syncRetypeText();
    owner.handle (owner.model.applyDrop (details.description.toString(), index));
}

std::vector<PaintedText> NameTemplateEditor::Sequence::getPaintedTexts() const
{
    if (! chips.empty())
        return {};

    return { { "Drag pieces here to build the file name", getLocalBounds().toFloat(), fontPlain14_5(), placeholderTextColour(), juce::Justification::centred } };
}

void NameTemplateEditor::Sequence::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    const auto body = juce::Rectangle<float> (0.5f, 0.5f, std::max (0.0f, (float) getWidth() - 1.0f), std::max (0.0f, (float) getHeight() - 1.0f));

    g.setColour (dimmedBackground());
    g.fillRoundedRectangle (body, 4.0f);
    g.setColour (dragOver ? palette.accent : palette.outline);
    g.drawRoundedRectangle (body, 4.0f, dragOver ? 1.8f : 1.0f);

    drawPaintedTexts (g, getPaintedTexts());

    if (dragOver && markerIndex >= 0)
    {
        int x = 8;

        if (juce::isPositiveAndBelow (markerIndex, (int) chips.size()))
            x = chips[(size_t) markerIndex]->getX() - 2;
        else if (! chips.empty())
            x = chips.back()->getRight() + 2;

        g.setColour (palette.accent);
        g.fillRect (juce::Rectangle<float> ((float) x - 1.0f, 4.0f, 2.0f, std::max (0.0f, (float) getHeight() - 8.0f)));
    }
}

} // namespace dunmoor::ui
