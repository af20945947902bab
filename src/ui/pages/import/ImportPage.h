#pragma once

#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"
#include "ui/pages/import/ImportPreviewPane.h"
#include "ui/pages/import/ImportRowModel.h"

namespace dunmoor::ui
{

/**
    The first step: files and folders come in (chooser, recent folders, desktop drop), every
    track is listed in a sortable, filterable table, tracks are assigned, renamed, removed or
    cleared, and the selected track is previewed (spectrogram, waveform, zoom, audition) and can
    be split in two.

    The page holds no project data: it reads the session on every refresh and paint and changes
    it only through the session's operations. The table's rows and selection are kept as track
    ids, so a sort, a filter or a removal never moves the selection to other tracks. The preview
    is a pane of its own (ImportPreviewPane); the page splits the track it shows. Everything runs
    on the message thread except the preview analysis.
*/
class ImportPage : public juce::Component,
                   public juce::FileDragAndDropTarget,
                   public juce::TableListBoxModel,
                   public Session::Listener,
                   public WaveformCache::Listener,
                   public juce::TextEditor::Listener
{
public:
    /** The analysis function may be replaced (tests hold a job back with it). */
    explicit ImportPage (AppState& app, PreviewAnalysis::Compute analysis = {});
    ~ImportPage() override;

    //==============================================================================
    // What the main component calls.

    /** For the footer: -1 with no tracks or all shown, else the number of shown rows. */
    int getShownTrackCount() const;

    /** Play or stop the shown track (Space, the transport button, a double click). */
    void togglePlayback() { previewPane.togglePlayback(); }

    //==============================================================================
    // Import, removal, selection.

    /** Imports the paths as chosen or dropped, under the wait cursor, and reports what was not
        imported. Every folder given becomes a recent import folder, and the choosers open
        where the paths came from next time. */
    void importFiles (const juce::Array<juce::File>& files, const juce::StringArray& refusals = {});

    void addFiles();
    void addFolder();
    void removeSelected();
    void askToClearList();

    /** The selected tracks that the session still has, in row order. */
    juce::StringArray getSelectedTrackIds() const;

    /** Selects the rows of these tracks (those shown), as a click would. */
    void selectTracks (const juce::StringArray& trackIds);

    /** The track ids of the rows, in row order. */
    const std::vector<juce::String>& getShownRows() const noexcept { return rows.getTrackIds(); }

    /** The assign popup for the selected tracks, opened at a screen position. */
    void showAssignMenu (juce::Point<int> screenPosition);

    //==============================================================================
    // Preview pane.

    /** Shows a track in the pane (an empty file: nothing). The same track again changes nothing. */
    void showSelection (const juce::File& file, const juce::String& trackId) { previewPane.showTrack (file, trackId); }

    ImportPreviewPane& getPreviewPane() noexcept { return previewPane; }
    const juce::String& getShownTrackId() const noexcept { return previewPane.getShownTrackId(); }
    const juce::File& getShownFile() const noexcept { return previewPane.getShownFile(); }
    ViewRange getViewRange() const noexcept { return previewPane.getViewRange(); }
    ViewRange getDataRange() const noexcept { return previewPane.getDataRange(); }
    juce::Rectangle<int> getPreviewPaneBounds() const noexcept { return previewPane.getBounds(); }
    const WaveformOverview& getShownOverview() const noexcept { return previewPane.getShownOverview(); }

    void zoomBy (double factor, double anchor) { previewPane.zoomBy (factor, anchor); }
    void setZoomRange (double start, double end) { previewPane.setZoomRange (start, end); }

    /** Where playback starts: the first sound when Jump silence is on, else 0 (a fraction). */
    double getStartPosition() const { return previewPane.getStartPosition(); }

    //==============================================================================
    // Splitting.

    /** The split popup at a point of the preview (a right click in either view). */
    void offerSplitAt (double fileFraction);
    void askForSplitName (double seconds);
    void splitTrackAt (double seconds, const juce::String& name);

    //==============================================================================
    void paint (juce::Graphics& g) override;
    void resized() override;
    bool keyPressed (const juce::KeyPress& key) override;

    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void fileDragEnter (const juce::StringArray& files, int x, int y) override;
    void fileDragMove (const juce::StringArray& files, int x, int y) override;
    void fileDragExit (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;

    int getNumRows() override;
    void paintRowBackground (juce::Graphics& g, int row, int width, int height, bool selected) override;
    void paintCell (juce::Graphics& g, int row, int columnId, int width, int height, bool selected) override;
    void cellClicked (int row, int columnId, const juce::MouseEvent& e) override;
    void cellDoubleClicked (int row, int columnId, const juce::MouseEvent& e) override;
    void backgroundClicked (const juce::MouseEvent&) override {}
    void sortOrderChanged (int newSortColumnId, bool isForwards) override;
    juce::String getCellTooltip (int row, int columnId) override;
    void selectedRowsChanged (int lastRowSelected) override;
    void deleteKeyPressed (int lastRowSelected) override;
    void returnKeyPressed (int) override {}
    void listWasScrolled() override {}

    void tracksChanged() override;
    void assignmentsChanged() override;
    void presetChanged() override;
    void waveformsChanged() override;
    void textEditorTextChanged (juce::TextEditor& editor) override;

private:
    void refreshRows();
    void updateStatusLine();
    void fitColumnsToContent();
    void fitColumnsToTable();

    /** The words a cue, stem or status cell shows, whole, and as they fit a cell of that width. */
    juce::String cellWords (const Track& track, int columnId) const;
    juce::String fittedCellWords (const Track& track, int columnId, int width) const;
    static int statusBadgeWidth (int cellWidth);
    void restoreSelection();
    ClipState getClipState (const Track& track);

    void openFolderChooser();
    void showMessage (const juce::String& title, const juce::String& message, bool warning);

    AppState& app;
    ImportRowModel rows;
    juce::StringArray selectedIds; // the selection by track id, kept across refreshes
    int sortColumn = ImportColumn::file;
    bool sortForwards = true;
    bool dragOver = false;
    bool refreshing = false;

    juce::TextButton addFilesButton { "Add files" };
    juce::TextButton addFolderButton { "Add folder" };
    juce::TextButton removeButton { "Remove selected" };
    juce::TextButton clearButton { "Clear list" };
    juce::ToggleButton recurseToggle { "Include sub-folders (one cue per folder)" };
    juce::TextEditor searchField;
    juce::Label searchLabel { {}, "Search" };
    juce::TableListBox table { "Tracks", this };
    std::vector<ColumnWidth> contentWidths; // what the shown rows ask for, before the columns give way
    juce::Label dropHint { {}, "Drop audio files or folders anywhere on this page" };

    // Last, so that its analysis stops (and waits for its job) before anything else goes.
    ImportPreviewPane previewPane;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImportPage)
};

} // namespace dunmoor::ui
