#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "CueListModel.h"
#include "CueRows.h"
#include "ExportResultRows.h"
#include "core/session/Cue.h"

namespace dunmoor::ui
{

/**
    The cue list under the Levels & Export summary: one row per cue after a run, or after a run
    refused for what stops a cue, with a tick to leave the cue out this time, its name
    (double-click to rename; the name is the {cue} token), the cut off its start (a menu, or a
    typed number of seconds) and what the run found, or what stops the cue.

    Every change goes to the session at once through the three callbacks and into the list's
    own rows, so the list does not wait for a notification. Changes made elsewhere (an undo, a
    removed cue, a new one, an assignment) come in through syncWithCues. A refused name or cut
    shows in the hint line. The list paints itself; one text editor moves over the cell being
    edited.
*/
class CueResultList : public juce::Component, public juce::TooltipClient, private juce::KeyListener
{
public:
    using Row = CueResultRow;
    using EditKind = CueListModel::EditKind;

    CueResultList();
    ~CueResultList() override;

    /** Takes the rows, dropping an open edit unapplied; visible exactly when there is a row. */
    void setRows (std::vector<Row> newRows);

    /** The rows follow the cues (CueRows::followCues): name, tick, cut and problem by key, a row
        for a new cue, none for a cue that is gone; an open edit on a dropped row is closed
        unapplied. */
    void syncWithCues (const std::vector<Cue>& cues, const CueRows::Problems& problems);

    const std::vector<Row>& getRows() const noexcept { return rows; }

    /** 62 px and 34 px per row; 0 without rows. */
    int getIdealHeight() const { return CueListModel::heightFor ((int) rows.size()); }

    /** The refusal shown in the hint line; empty while the hint shows. */
    const juce::String& getMessage() const noexcept { return message; }

    //==============================================================================
    std::function<bool (const juce::String& key, const juce::String& name)> onRename;
    std::function<void (const juce::String& key, bool included)> onIncludedChanged;
    std::function<void (const juce::String& key, double seconds)> onTrimChanged;

    /** Called when the number of rows changed outside setRows (the page lays itself out). */
    std::function<void()> onHeightChanged;

    /** Shows the trim menu; the page routes it through its menu seam. Without it the menu opens
        on its own. */
    std::function<void (const juce::PopupMenu&, const juce::PopupMenu::Options&, std::function<void (int)>)> showMenu;

    //==============================================================================
    /** The trim menu for a row as it would open now. */
    juce::PopupMenu buildTrimMenu (int row) const;

    /** Opens the trim menu over the row's cut field (an open edit is committed first). */
    void showTrimMenu (int row);

    /** What a trim menu choice does, with the row and the silence found when it opened; does
        nothing when the rows were replaced by fewer. */
    void applyTrimChoice (int row, double foundSeconds, int result);

    void beginEdit (int row, EditKind kind);
    bool commitEdit (bool apply);
    bool isEditing() const noexcept { return editingRow >= 0 && editor.isVisible(); }
    int getEditingRow() const noexcept { return editingRow; }
    juce::TextEditor& getEditor() noexcept { return editor; }

    /** The key handling of the list's editor (Tab and Shift+Tab move it to the next row). */
    bool handleEditorKey (const juce::KeyPress& key);

    //==============================================================================
    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    juce::String getTooltip() override;

    /** The tooltip over a point: the whole of a problem that its row shows shortened, else the
        list's own. */
    juce::String getTooltipAt (juce::Point<int> point) const;

    /** A row's problem as it fits its room, shortened at the end when it does not. */
    juce::String getShownProblem (int row) const;

private:
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;
    void placeEditor (int row, EditKind kind);
    bool validateEdit (int row, const juce::String& text);
    void setTrim (int row, double seconds);
    void paintHeader (juce::Graphics& g);
    void paintRow (juce::Graphics& g, int row);

    std::vector<Row> rows;
    int hoverNameRow = -1;
    int hoverCutRow = -1;
    juce::TextEditor editor;
    int editingRow = -1;
    EditKind editKind = EditKind::name;
    juce::String message;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CueResultList)
};

} // namespace dunmoor::ui
