#include "StemListPanel.h"

#include "PresetAudition.h"
#include "PresetPageTexts.h"
#include "StemFieldEdits.h"

namespace dunmoor::ui
{

namespace
{
    const char* const stemRowDragPrefix = "dunmoor.stemrow:";

    int textButtonWidth (const juce::TextButton& button)
    {
        auto& target = const_cast<juce::TextButton&> (button);
        const auto font = target.getLookAndFeel().getTextButtonFont (target, 30);
        return (int) std::ceil (font.getStringWidthFloat (button.getButtonText())) + 24;
    }
} // namespace

//==============================================================================
class StemListPanel::StemListModel : public juce::ListBoxModel
{
public:
    explicit StemListModel (StemListPanel& p) : panel (p) {}

    int getNumRows() override { return (int) panel.session.getPreset().schema.stems.size(); }

    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override
    {
        panel.paintStemRow (row, g, width, height, selected);
    }

    void listBoxItemClicked (int row, const juce::MouseEvent& e) override { panel.stemRowClicked (row, e); }
    void listBoxItemDoubleClicked (int row, const juce::MouseEvent&) override { panel.startInlineRename (row); }

    void backgroundClicked (const juce::MouseEvent& e) override
    {
        if (e.mods.isPopupMenu())
            panel.showStemContextMenu (-1);
    }

    void selectedRowsChanged (int) override
    {
        if (panel.onSelectionChanged != nullptr)
            panel.onSelectionChanged();
    }

    juce::var getDragSourceDescription (const juce::SparseSet<int>& rows) override;

private:
    StemListPanel& panel;
};

//==============================================================================
class StemListPanel::StemListBox : public juce::ListBox,
                                   public juce::DragAndDropTarget
{
public:
    StemListBox (StemListPanel& p, StemListModel& listModel) : juce::ListBox ("Stems", &listModel), panel (p)
    {
        // Sees the presses on its rows, so that a drag moves the row under the pointer.
        addMouseListener (this, true);
    }

    ~StemListBox() override { removeMouseListener (this); }

    void mouseDown (const juce::MouseEvent& e) override
    {
        pressedRow = getRowContainingPosition (e.getEventRelativeTo (this).x, e.getEventRelativeTo (this).y);
    }

    int getPressedRow() const noexcept { return pressedRow; }

    void paintOverChildren (juce::Graphics& g) override
    {
        if (dropRow < 0)
            return;

        const int scrollY = getViewport() != nullptr ? getViewport()->getViewPositionY() : 0;
        const int y = StemMoves::dropLineY (dropRow, getRowHeight(), scrollY, getHeight());
        g.setColour (currentPalette().accent);
        g.fillRect (0, y - 1, getWidth(), 2);
    }

    bool isInterestedInDragSource (const SourceDetails& details) override
    {
        return details.description.toString().startsWith (stemRowDragPrefix);
    }

    void itemDragEnter (const SourceDetails& details) override { itemDragMove (details); }

    void itemDragMove (const SourceDetails& details) override
    {
        const auto row = insertionRowAt (details.localPosition.y);

        if (row != dropRow)
        {
            dropRow = row;
            repaint();
        }
    }

    void itemDragExit (const SourceDetails&) override
    {
        dropRow = -1;
        repaint();
    }

    void itemDropped (const SourceDetails& details) override
    {
        const auto from = details.description.toString().fromFirstOccurrenceOf (stemRowDragPrefix, false, false).getIntValue();
        const auto to = insertionRowAt (details.localPosition.y);
        dropRow = -1;
        repaint();
        panel.moveStemsTo (from, to);
    }

    int insertionRowAt (int y) const
    {
        const int scrollY = getViewport() != nullptr ? getViewport()->getViewPositionY() : 0;
        return StemMoves::insertionRowAt (y, getRowHeight(), scrollY, getModel() != nullptr ? getModel()->getNumRows() : 0);
    }

private:
    StemListPanel& panel;
    int dropRow = -1;
    int pressedRow = -1;
};

juce::var StemListPanel::StemListModel::getDragSourceDescription (const juce::SparseSet<int>& rows)
{
    if (rows.isEmpty())
        return {};

    // The row the pointer took hold of moves, whatever else is selected.
    int row = panel.stemList != nullptr ? panel.stemList->getPressedRow() : -1;

    if (row < 0 || row >= getNumRows())
        row = rows[0];

    return juce::String (stemRowDragPrefix) + juce::String (row);
}

//==============================================================================
StemListPanel::StemListPanel (PresetPageContext& contextToUse, MixColumns& mixColumnsToUse, PresetAuditionStrip& auditionToUse)
    : context (contextToUse),
      session (contextToUse.session),
      mixColumns (mixColumnsToUse),
      audition (auditionToUse),
      adder (contextToUse, *this)
{
    setTitle ("Stem list panel");

    setUpLabel (hintLabel, "Double-click to rename,\ndrag to reorder", LabelTone::disabled, juce::Justification::centredLeft);
    hintLabel.setFont (fontPlain12_5());

    tickScrollBar.setAutoHide (false);
    tickScrollBar.addListener (this);
    tickScrollBar.setTitle ("Alternative mix columns");

    stemListModel = std::make_unique<StemListModel> (*this);
    stemList = std::make_unique<StemListBox> (*this, *stemListModel);
    stemList->setRowHeight (28);
    stemList->setMultipleSelectionEnabled (true);
    stemList->setTitle ("Stems");
    stemList->setTooltip ("Double-click a stem to rename it. Drag a stem to move it in the order. Shift-click for a run, Ctrl-click to pick them out one at a time.");

    inlineEditor.setSelectAllWhenFocused (true);
    inlineEditor.setTitle ("Stem name");
    inlineEditor.setInputRestrictions (maxFieldCharacters);
    inlineEditor.addKeyListener (this);

    for (auto* b : { &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton, &deleteAllButton })
        b->setTitle (b->getButtonText());

    duplicateStemButton.setTitle ("Duplicate stem");
    deleteStemButton.setTitle ("Delete stem");
    addSeveralButton.setTooltip ("Adds a run of plain stems in one go, each with a colour of its own. Faster than picking a template sixteen times when the publisher's list is nothing like the built-in ones.");
    deleteAllButton.setTooltip ("Empties the stem list. The preset keeps its name, its publisher fields and its export settings.");
    earlierButton.setTitle ("Move earlier");
    earlierButton.setTooltip ("Move the selected stem earlier in the delivery order");
    laterButton.setTitle ("Move later");
    laterButton.setTooltip ("Move the selected stem later in the delivery order");

    addAllAndMakeVisible (*this, { &hintLabel });
    addAllHidden (*this, { &tickScrollBar });
    addAllAndMakeVisible (*this, { stemList.get(), &inlineEditor, &addStemButton, &addSeveralButton, &duplicateStemButton,
                                   &deleteStemButton, &deleteAllButton, &earlierButton, &laterButton });
    inlineEditor.setVisible (false);

    inlineEditor.onReturnKey = [this] { finishInlineRename (true); };
    inlineEditor.onEscapeKey = [this] { finishInlineRename (false); };
    inlineEditor.onFocusLost = [this] { finishInlineRename (true); };

    deleteAllButton.onClick = [this] { deleteAllStems(); };
    duplicateStemButton.onClick = [this] { duplicateStem(); };
    deleteStemButton.onClick = [this] { deleteStem(); };
    earlierButton.onClick = [this] { moveSelectedStems (-1); };
    laterButton.onClick = [this] { moveSelectedStems (1); };
    addStemButton.onClick = [this] { adder.showTemplateMenu (addStemButton); };
    addSeveralButton.onClick = [this] { adder.showCountMenu (addSeveralButton); };

    adder.confirmName = [this] (const juce::String& name, std::function<void()> add) { confirmNameClash (name, {}, std::move (add)); };
    adder.onStemsAdded = [this] (const Preset& edited, const juce::String& addedStemId)
    {
        currentStemId = addedStemId;
        commitEdit (edited);
    };
}

StemListPanel::~StemListPanel()
{
    inlineEditor.removeKeyListener (this);
    tickScrollBar.removeListener (this);
    stemList->setModel (nullptr);
}

juce::ListBox& StemListPanel::getListBox() noexcept
{
    return *stemList;
}

void StemListPanel::commitEdit (const Preset& edited)
{
    if (onPresetEdited != nullptr)
        onPresetEdited (edited);
}

//==============================================================================
// Rows

void StemListPanel::refreshRows()
{
    stemList->updateContent();
    const auto& schema = session.getPreset().schema;
    const int row = schema.indexOfStem (currentStemId);

    if (row >= 0)
        stemList->selectRow (row, true, true);
    else if (! schema.stems.empty())
        stemList->selectRow (0, true, true);
    else
        stemList->deselectAllRows();

    stemList->repaint();
}

void StemListPanel::updateRows()
{
    stemList->updateContent();
    stemList->repaint();
}

void StemListPanel::repaintRows()
{
    stemList->repaint();
}

void StemListPanel::setStemButtonsEnabled (bool enabled)
{
    setAllEnabled ({ &duplicateStemButton, &deleteStemButton, &earlierButton, &laterButton }, enabled);
}

const Stem* StemListPanel::getSelectedStem() const
{
    const auto& stems = session.getPreset().schema.stems;
    const int row = stemList->getSelectedRow (0);
    return row >= 0 && row < (int) stems.size() ? &stems[(size_t) row] : nullptr;
}

juce::StringArray StemListPanel::getSelectedStemIds() const
{
    const auto& stems = session.getPreset().schema.stems;
    juce::StringArray ids;

    for (int i = 0; i < stemList->getNumSelectedRows(); ++i)
    {
        const int row = stemList->getSelectedRow (i);

        if (row >= 0 && row < (int) stems.size())
            ids.add (stems[(size_t) row].id);
    }

    if (ids.isEmpty() && currentStemId.isNotEmpty())
        ids.add (currentStemId);

    return ids;
}

void StemListPanel::paintStemRow (int row, juce::Graphics& g, int width, int height, bool selected)
{
    const auto& stems = session.getPreset().schema.stems;

    if (row < 0 || row >= (int) stems.size())
        return;

    const auto palette = currentPalette();
    const auto& stem = stems[(size_t) row];

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));

    const auto layout = mixColumns.rowLayout ({ 0, 0, width, height });
    paintTickCells (g, layout, stem);

    if (mixColumns.hasCue())
        PresetAudition::drawButton (g, layout.auditionCell,
                                    audition.isSourcePlaying (PresetAudition::stemSourceId (mixColumns.getSelectedCueKey(), stem.id)),
                                    mixColumns.cueHasTracks (stem.id), palette.accent, palette.textSecondary);

    const auto parts = StemNameAreaParts::split (layout.nameArea);

    g.setColour (juce::Colour (stem.colour));
    g.fillRoundedRectangle (parts.colourBar.toFloat(), 2.0f);

    g.setFont (fontPlain14_5());
    g.setColour (palette.textPrimary);
    g.drawText (stemRowText (stem.index, stem.displayName), parts.name, juce::Justification::centredLeft, true);
    g.setColour (palette.textSecondary);
    g.drawText (stem.shortCode, parts.code, juce::Justification::centredRight, true);
}

void StemListPanel::paintTickCells (juce::Graphics& g, const StemRowLayout& layout, const Stem& stem)
{
    if (layout.columns.empty() || layout.tickArea.isEmpty())
        return;

    const auto palette = currentPalette();
    juce::Graphics::ScopedSaveState clip (g);
    g.reduceClipRegion (layout.tickArea);

    for (size_t i = 0; i < layout.columns.size(); ++i)
    {
        const auto column = layout.columns[i];

        if (column.getRight() < layout.tickArea.getX() || column.getX() > layout.tickArea.getRight())
            continue;

        drawDividerLine (g, column.getX(), column.getY(), column.getHeight());
        const juce::Rectangle<float> box ((float) (column.getX() + column.getWidth() / 2 - 7),
                                          (float) (column.getY() + column.getHeight() / 2 - 7), 15.0f, 15.0f);

        if (mixColumns.isStemInMix ((int) i, stem.id))
        {
            drawButtonFace (g, box, juce::Colour (stem.colour), 3.0f);
        }
        else
        {
            g.setColour (dimmedBackground());
            g.fillRoundedRectangle (box, 3.0f);
            g.setColour (palette.outline);
            g.drawRoundedRectangle (box.reduced (0.5f), 3.0f, 1.0f);
        }
    }
}

void StemListPanel::stemRowClicked (int row, const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu())
    {
        showStemContextMenu (row);
        return;
    }

    const auto& schema = session.getPreset().schema;

    if (row < 0 || row >= (int) schema.stems.size())
        return;

    const auto layout = mixColumns.rowLayout ({ 0, 0, stemList->getVisibleRowWidth(), stemList->getRowHeight() });
    const auto stem = schema.stems[(size_t) row];

    if (mixColumns.hasCue() && layout.auditionCell.getWidth() > 0 && e.x >= layout.auditionCell.getX()
        && e.x < layout.auditionCell.getRight())
    {
        audition.auditionStem (stem, mixColumns.getSelectedCueKey());
        return;
    }

    // A click in the name area only selects; the framework has done that already.
    if (const int column = TickColumns::columnAt (layout, e.x); column >= 0)
        mixColumns.tickClicked (stem, column);
}

//==============================================================================
// Moving, renaming, deleting and duplicating

void StemListPanel::moveStemsTo (int fromRow, int insertionRow)
{
    auto copy = session.getPreset();
    const int count = (int) copy.schema.stems.size();
    const int target = StemMoves::dropTarget (fromRow, insertionRow, count);

    if (target < 0)
        return;

    const auto id = copy.schema.stems[(size_t) fromRow].id;

    if (! copy.schema.moveStem (id, target))
        return;

    currentStemId = id;
    commitEdit (copy);
}

void StemListPanel::moveSelectedStems (int delta)
{
    auto copy = session.getPreset();
    const int i = copy.schema.indexOfStem (currentStemId);

    if (i < 0)
        return;

    const int target = juce::jlimit (0, (int) copy.schema.stems.size() - 1, i + delta);

    if (target == i || ! copy.schema.moveStem (currentStemId, target))
        return;

    commitEdit (copy);
}

void StemListPanel::showStemContextMenu (int row)
{
    const int count = (int) session.getPreset().schema.stems.size();

    if (row >= 0 && row < count)
        stemList->selectRow (row);

    const bool hasStem = currentStemId.isNotEmpty();
    const int selectedCount = getSelectedStemIds().size();

    juce::PopupMenu menu;
    menu.addItem (1, "Add stem");

    if (row >= 0)
        menu.addItem (2, "Add several stems...");

    menu.addSeparator();
    menu.addItem (3, "Duplicate", hasStem);
    menu.addItem (4, "Rename", hasStem);
    menu.addItem (5, "Colour...", hasStem);
    menu.addSeparator();
    menu.addItem (6, PresetPageTexts::deleteMenuItem (selectedCount), hasStem);

    const int rememberedRow = stemList->getSelectedRow (0);

    context.seams.showPopupMenu (menu, popupMenuOptionsFor (this).withMousePosition(),
                                 [safe = juce::Component::SafePointer<StemListPanel> (this), rememberedRow] (int result)
                                 {
                                     if (safe == nullptr || result == 0)
                                         return;

                                     switch (result)
                                     {
                                         case 1: safe->adder.addPlainStems (1); break;
                                         case 2: safe->adder.showCountMenu (safe->addSeveralButton); break;
                                         case 3: safe->duplicateStem(); break;
                                         case 4: safe->startInlineRename (rememberedRow); break;
                                         case 5:
                                             if (safe->onChooseColour != nullptr)
                                                 safe->onChooseColour();
                                             break;
                                         case 6: safe->deleteStem(); break;
                                         default: break;
                                     }
                                 });
}

void StemListPanel::startInlineRename (int row)
{
    const auto& stems = session.getPreset().schema.stems;

    if (row < 0 || row >= (int) stems.size())
        return;

    inlineRenameRow = row;
    const auto rowArea = getLocalArea (stemList.get(), stemList->getRowPosition (row, true));
    const auto layout = mixColumns.rowLayout (rowArea.withZeroOrigin());
    const auto bounds = StemNameAreaParts::renameEditorBounds (layout.nameArea, stemList->getRowHeight());

    inlineEditor.setBounds (bounds + rowArea.getPosition());
    inlineEditor.setText (stems[(size_t) row].displayName, false);
    inlineEditor.setVisible (true);
    inlineEditor.toFront (true);
    inlineEditor.grabKeyboardFocus();
    inlineEditor.selectAll();
}

void StemListPanel::finishInlineRename (bool commit)
{
    if (! inlineEditor.isVisible() || inlineRenameRow < 0)
    {
        inlineEditor.setVisible (false);
        inlineRenameRow = -1;
        return;
    }

    const int row = inlineRenameRow;
    const auto name = inlineEditor.getText().trim();
    inlineRenameRow = -1;
    inlineEditor.setVisible (false);

    const auto& stems = session.getPreset().schema.stems;

    if (! commit || name.isEmpty() || row < 0 || row >= (int) stems.size() || name == stems[(size_t) row].displayName)
        return;

    const auto stemId = stems[(size_t) row].id;

    confirmNameClash (name, stemId, [this, stemId, name]
    {
        auto copy = session.getPreset();
        auto* stem = copy.schema.findStem (stemId);

        if (stem == nullptr)
            return;

        renameStem (*stem, name);
        commitEdit (copy);
    });
}

bool StemListPanel::keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent)
{
    if (originatingComponent != &inlineEditor || key.getKeyCode() != juce::KeyPress::tabKey)
        return false;

    const int target = inlineRenameRow + (key.getModifiers().isShiftDown() ? -1 : 1);

    if (target < 0 || target >= (int) session.getPreset().schema.stems.size())
        return false;

    finishInlineRename (true);

    juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<StemListPanel> (this), target]
    {
        if (safe == nullptr || target >= (int) safe->session.getPreset().schema.stems.size())
            return;

        safe->stemList->scrollToEnsureRowIsOnscreen (target);
        safe->stemList->selectRow (target);
        safe->startInlineRename (target);
    });

    return true;
}

void StemListPanel::confirmNameClash (const juce::String& name, const juce::String& excludeStemId, std::function<void()> continuation)
{
    const auto clash = NameClash::find (session.getPreset().schema, name, excludeStemId);

    if (clash.kind == NameClash::Kind::none)
    {
        continuation();
        return;
    }

    context.ask (clash.kind == NameClash::Kind::same ? juce::MessageBoxIconType::WarningIcon : juce::MessageBoxIconType::QuestionIcon,
                 clash.title, clash.message, [continuation] (bool confirmed)
    {
        if (confirmed)
            continuation();
    });
}

void StemListPanel::deleteStem()
{
    const auto ids = getSelectedStemIds();

    if (ids.isEmpty())
        return;

    context.ask (juce::MessageBoxIconType::QuestionIcon, PresetPageTexts::deleteStemsTitle (session.getPreset().schema, ids),
                 "Any track assigned to them becomes unassigned.", [this, ids] (bool confirmed)
    {
        if (! confirmed)
            return;

        auto copy = session.getPreset();
        bool removed = false;

        for (const auto& id : ids)
            removed |= copy.schema.removeStem (id);

        if (! removed)
            return;

        currentStemId = {};
        commitEdit (copy);
    });
}

void StemListPanel::deleteAllStems()
{
    const int count = (int) session.getPreset().schema.stems.size();

    if (count == 0)
        return;

    context.ask (juce::MessageBoxIconType::WarningIcon, "Delete every stem?", PresetPageTexts::deleteAllStemsMessage (count),
                 [this] (bool confirmed)
    {
        if (! confirmed)
            return;

        auto copy = session.getPreset();

        while (! copy.schema.stems.empty())
            if (! copy.schema.removeStem (copy.schema.stems.front().id))
                copy.schema.stems.erase (copy.schema.stems.begin());

        currentStemId = {};
        commitEdit (copy);
    });
}

void StemListPanel::duplicateStem()
{
    auto copy = session.getPreset();

    if (copy.schema.findStem (currentStemId) == nullptr || adder.refuseWhenFull (copy.schema))
        return;

    const auto newId = copy.schema.duplicateStem (currentStemId);

    if (newId.isEmpty())
        return;

    currentStemId = newId;
    commitEdit (copy);
}

//==============================================================================
// Layout

void StemListPanel::measureButtonRow (PresetPageLayout::Inputs& inputs) const
{
    const juce::TextButton* textButtons[] = { &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton, &deleteAllButton };

    for (size_t i = 0; i < 5; ++i)
        inputs.textButtonWidths[i] = textButtonWidth (*textButtons[i]);

    const auto font = hintLabel.getFont();
    int widest = 0;

    for (const auto& line : juce::StringArray::fromLines (hintLabel.getText()))
        widest = juce::jmax (widest, (int) std::ceil (font.getStringWidthFloat (line)));

    inputs.hintWidth = widest + hintLabel.getBorderSize().getLeftAndRight() + 2;
}

void StemListPanel::layOut (PresetPageLayout l)
{
    setBounds (l.listPanel);
    const auto local = [this] (juce::Rectangle<int> r) { return r - getPosition(); };

    // The room is what a row leaves for the ticks: the list's own scroll bar and the audition
    // cell are not room, or the last column could never be scrolled into view.
    mixColumns.updateColumnWidth();

    const auto fitToList = [&]
    {
        const auto row = mixColumns.rowLayout ({ 0, 0, stemList->getVisibleRowWidth(), stemList->getRowHeight() });
        return mixColumns.fitColumns (row.tickArea.getWidth());
    };

    l.placeTickScrollBar (false);
    stemList->setBounds (local (l.stemList));
    auto fit = fitToList();

    if (fit.scrollBarVisible)
    {
        // A shorter list may need its own scroll bar, which leaves the rows a little less room.
        l.placeTickScrollBar (true);
        stemList->setBounds (local (l.stemList));
        fit = fitToList();
        l.placeTickScrollBar (fit.scrollBarVisible);
        stemList->setBounds (local (l.stemList));
    }

    tickScrollBar.setBounds (local (l.tickScrollBar));
    tickScrollBar.setVisible (fit.scrollBarVisible);

    if (fit.scrollBarVisible)
    {
        tickScrollBar.setRangeLimits (0.0, (double) fit.total, juce::dontSendNotification);
        tickScrollBar.setCurrentRange ((double) fit.offset, (double) fit.visible, juce::dontSendNotification);
    }

    mixColumns.setScrollOffset (fit.offset);

    juce::Component* stemButtons[] = { &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton,
                                       &deleteAllButton, &earlierButton, &laterButton };

    for (size_t i = 0; i < 7; ++i)
        stemButtons[i]->setBounds (local (l.stemButtons[i]));

    hintLabel.setVisible (l.hintVisible);
    hintLabel.setBounds (local (l.hint));

    if (inlineRenameRow >= 0)
        finishInlineRename (false);
}

void StemListPanel::scrollBarMoved (juce::ScrollBar*, double newRangeStart)
{
    mixColumns.setScrollOffset ((int) newRangeStart);
}

} // namespace dunmoor::ui
