#pragma once

#include <functional>
#include <memory>

#include "MixColumns.h"
#include "PresetAuditionStrip.h"
#include "PresetPageContext.h"
#include "PresetPageLayout.h"
#include "StemAdder.h"
#include "ui/widgets/ArrowStepButton.h"

namespace dunmoor::ui
{

/**
    The stem list of the Preset & Stems page: one row per stem of the working preset in
    delivery order, with its tick in every alternative-mix column and, for a chosen cue, a
    button that plays it. Here the user selects, reorders (dragging a row or the arrows),
    renames in place, duplicates, deletes and adds stems, from templates or as a run of plain
    ones. The selected stem is the one the stem editor shows.

    Every change copies the working preset, changes the copy and hands it to the page, which
    gives it to the session and shows it.
*/
class StemListPanel : public juce::Component,
                      public juce::KeyListener,
                      private juce::ScrollBar::Listener
{
public:
    StemListPanel (PresetPageContext& context, MixColumns& mixColumns, PresetAuditionStrip& audition);
    ~StemListPanel() override;

    /** The stem at the first selected row, if any. */
    const Stem* getSelectedStem() const;

    /** Ids of the selected rows in row order; when none is selected, the current stem alone. */
    juce::StringArray getSelectedStemIds() const;

    /** The stem the editor shows, or the one an edit has just made current; empty for none. */
    const juce::String& getCurrentStemId() const noexcept { return currentStemId; }
    void setCurrentStemId (const juce::String& id) { currentStemId = id; }

    /** Re-reads the rows and selects the current stem's, else the first. */
    void refreshRows();

    /** Re-reads the rows, keeping the selection. */
    void updateRows();

    void repaintRows();

    /** Duplicate, Delete and the arrows act on a selected stem only. */
    void setStemButtonsEnabled (bool enabled);

    void moveStemsTo (int fromRow, int insertionRow);
    void moveSelectedStems (int delta);
    void showStemContextMenu (int row);
    void startInlineRename (int row);
    void finishInlineRename (bool commit);

    /** Tab and Shift+Tab in the inline editor rename and move it to the next or previous row. */
    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;

    /** Asks before a stem takes a name another stem has, or nearly has; runs the continuation
        at once when none does, or after OK. */
    void confirmNameClash (const juce::String& name, const juce::String& excludeStemId, std::function<void()> continuation);

    void deleteStem();
    void deleteAllStems();
    void duplicateStem();

    /** What "Add stem", "Add N stems" and the menu's adds go through. */
    StemAdder& getAdder() noexcept { return adder; }

    /** The list itself, for tests that click its rows. */
    juce::ListBox& getListBox() noexcept;

    /** The natural widths of the button row and its hint, for the page's layout. */
    void measureButtonRow (PresetPageLayout::Inputs& inputs) const;

    /** Takes its place and places its controls, from the page's layout: the list, the mix
        columns' scroll bar under it when they overflow, and the button row. */
    void layOut (PresetPageLayout layout);

    /** With the edited copy of the working preset: the page hands it to the session and shows it. */
    std::function<void (const Preset& edited)> onPresetEdited;

    /** After the selection changed: the editor lands what was typed and shows the new stem. */
    std::function<void()> onSelectionChanged;

    /** "Colour..." in a row's menu. */
    std::function<void()> onChooseColour;

private:
    class StemListBox;
    class StemListModel;

    void commitEdit (const Preset& edited);
    void stemRowClicked (int row, const juce::MouseEvent& e);
    void paintStemRow (int row, juce::Graphics& g, int width, int height, bool selected);
    void paintTickCells (juce::Graphics& g, const StemRowLayout& layout, const Stem& stem);
    void scrollBarMoved (juce::ScrollBar* bar, double newRangeStart) override;

    PresetPageContext& context;
    Session& session;
    MixColumns& mixColumns;
    PresetAuditionStrip& audition;
    StemAdder adder;

    std::unique_ptr<StemListModel> stemListModel;
    std::unique_ptr<StemListBox> stemList;
    juce::TextEditor inlineEditor;
    juce::ScrollBar tickScrollBar { false };
    juce::TextButton addStemButton { "Add stem" }, addSeveralButton { "Add N stems" };
    juce::TextButton duplicateStemButton { "Duplicate" }, deleteStemButton { "Delete" }, deleteAllButton { "Delete all" };
    ArrowStepButton earlierButton { true }, laterButton { false };
    juce::Label hintLabel;

    juce::String currentStemId;
    int inlineRenameRow = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StemListPanel)
};

} // namespace dunmoor::ui
