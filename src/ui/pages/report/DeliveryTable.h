#pragma once

#include <functional>
#include <vector>

#include "DeliveryRow.h"
#include "ReportPage.h"

namespace dunmoor::ui
{

/**
    The table of every file one cue of the run wrote. It keeps its own copy of the rows, sorts
    them by any column but the waveform, and renames a file in place with an editor over its
    File cell (Tab and Shift+Tab move to the next or previous file). Every action that outlives
    a change of the rows (a double click mid-rename, Tab after a rename that re-sorted the table)
    finds its row again by the file's path, never by a display index taken earlier.
*/
class ReportPage::DeliveryTable : public juce::Component,
                                  public juce::TableListBoxModel,
                                  public juce::ScrollBar::Listener,
                                  public juce::KeyListener
{
public:
    DeliveryTable();
    ~DeliveryTable() override;

    /** Rows of another cue: the received order is shown, the sort cleared, an open rename
        discarded, the playing marker cleared and nothing selected. */
    void setRows (std::vector<DeliveryRow> newRows);

    /** The same cue's rows again (after a rename, say): the sort and the selected file are kept,
        and an open rename stays on its file when that file is still listed. */
    void updateRows (std::vector<DeliveryRow> newRows);

    const DeliveryRow* getRow (int index) const;
    int findFirstRowWithFile() const;

    /** The display index of the row of that file (paths compared ignoring case), or -1. */
    int findRowByPath (const juce::String& path) const;

    /** Selects only that row and scrolls it into view; nothing for an index out of range. */
    void selectOnly (int index);

    void startRename (int index);

    /** Closes the rename editor. With commit and a new name, asks onRename and returns its
        answer; true in every other case. */
    bool finishRename (bool commit);

    bool isRenaming() const { return editor.isVisible(); }
    int getEditingRow() const { return editingRow; }
    juce::TextEditor& getRenameEditor() { return editor; }
    juce::TableListBox& getTable() { return table; }
    int getSortColumnId() const { return sortColumn; }
    bool isSortedForwards() const { return sortForwards; }

    /** Moves the playhead line of the sounding file; repaints (and returns true) only when the
        file changed or the playhead moved by 0.002 or more. */
    bool setPlayingMarker (const juce::String& path, double fraction);

    std::function<void()> onRowsReordered;
    std::function<void (int row, bool doubleClick)> onRowClicked;
    std::function<bool (int row, const juce::String& newName)> onRename;

    // TableListBoxModel
    int getNumRows() override;
    void paintRowBackground (juce::Graphics&, int row, int width, int height, bool selected) override;
    void paintCell (juce::Graphics&, int row, int columnId, int width, int height, bool selected) override;
    void cellClicked (int row, int columnId, const juce::MouseEvent&) override;
    void cellDoubleClicked (int row, int columnId, const juce::MouseEvent&) override;
    juce::String getCellTooltip (int row, int columnId) override;
    void sortOrderChanged (int columnId, bool forwards) override;
    void selectedRowsChanged (int) override {}

    void scrollBarMoved (juce::ScrollBar*, double) override;
    bool keyPressed (const juce::KeyPress&, juce::Component*) override;
    void resized() override;

private:
    void showRows (std::vector<DeliveryRow> newRows, bool keepSort);
    void applySort();

    juce::TableListBox table;
    juce::TextEditor editor;
    int editingRow = -1;
    juce::String editingPath;
    std::vector<DeliveryRow> rows;
    std::vector<DeliveryRow> receivedRows;
    juce::String playingPath;
    double playingFraction = -1.0;
    int sortColumn = noSortColumn;
    bool sortForwards = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DeliveryTable)
};

} // namespace dunmoor::ui
