// Over 800 lines on purpose: the page is its own table model, and the table's painting,
// clicks, sorting and selection by track id are one job with the import and assign actions they
// start. The preview is a pane of its own (ImportPreviewPane) and the row texts and the split
// rules are widget-free units beside this file.

#include "ui/pages/import/ImportPage.h"

#include "core/audio/AudioFileReader.h"
#include "core/files/FolderListing.h"
#include "ui/pages/AssignMenu.h"
#include "ui/pages/import/TrackSplit.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/ShortenedText.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int rowHeight = 34;
    constexpr int headerHeight = 28;
    constexpr int prefetchRows = 8;

    const juce::String recurseKey ("importRecurse");

    juce::Rectangle<int> takeLeft (juce::Rectangle<int>& area, int width)
    {
        return area.removeFromLeft (juce::jmin (width, area.getWidth()));
    }

    juce::Rectangle<int> takeRight (juce::Rectangle<int>& area, int width)
    {
        return area.removeFromRight (juce::jmin (width, area.getWidth()));
    }

    void drawBadge (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour, const juce::String& text)
    {
        g.setColour (colour.withAlpha (0.22f));
        g.fillRoundedRectangle (area, 3.0f);
        g.setColour (colour);
        g.setFont (fontPlain12_5());
        g.drawText (text, area, juce::Justification::centred, true);
    }
} // namespace

//==============================================================================
ImportPage::ImportPage (AppState& appState, PreviewAnalysis::Compute compute)
    : app (appState)
    , previewPane (appState, std::move (compute))
{
    // 1. Components, their settings, texts and looks.
    addFilesButton.setTooltip ("Add individual audio files (WAV, AIFF, FLAC).");
    addFolderButton.setTooltip ("Add every audio file in a folder.");
    removeButton.setTooltip ("Remove the selected tracks from the list. The files on disk are never touched.");
    clearButton.setTooltip ("Empty the track list.");
    recurseToggle.setTooltip ("Look inside sub-folders too. Every folder with audio in it becomes a cue of its own, and each cue is rendered separately.");
    searchField.setTooltip ("Filter the list by file name.");
    recurseToggle.setToggleState (app.settings->getBoolValue (recurseKey, true), juce::dontSendNotification);

    setPlaceholder (searchField, "file name...");
    searchField.addListener (this);

    searchLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (searchLabel, LabelTone::secondary);
    dropHint.setJustificationType (juce::Justification::centred);
    setLabelTone (dropHint, LabelTone::disabled);
    dropHint.setInterceptsMouseClicks (false, false);

    // Every control is found by its title, as a screen reader finds it.
    addFilesButton.setTitle ("Add files");
    addFolderButton.setTitle ("Add folder");
    removeButton.setTitle ("Remove selected");
    clearButton.setTitle ("Clear list");
    recurseToggle.setTitle ("Include sub-folders");
    searchField.setTitle ("Search");
    table.setTitle ("Tracks");
    dropHint.setTitle ("Drop hint");

    // 2. Children.
    addAllAndMakeVisible (*this, { &addFilesButton, &addFolderButton, &removeButton, &clearButton, &recurseToggle,
                                   &searchField, &searchLabel, &table, &dropHint, &previewPane });

    // 3. Callbacks.
    addFilesButton.onClick = [this] { addFiles(); };
    addFolderButton.onClick = [this] { addFolder(); };
    recurseToggle.onClick = [this] { app.settings->setValue (recurseKey, recurseToggle.getToggleState()); };
    removeButton.onClick = [this] { removeSelected(); };
    clearButton.onClick = [this] { askToClearList(); };
    previewPane.onContextMenu = [this] (double position) { offerSplitAt (position); };
    previewPane.onWarning = [this] (const juce::String& title, const juce::String& message) { showMessage (title, message, true); };

    // 4. The table.
    table.setMultipleSelectionEnabled (true);
    table.setRowHeight (rowHeight);
    table.getViewport()->setScrollBarsShown (true, false);
    table.setHeaderHeight (headerHeight);

    auto& header = table.getHeader();

    for (const auto& column : getImportColumns())
    {
        auto columnFlags = (int) juce::TableHeaderComponent::defaultFlags;

        if (! column.sortable)
            columnFlags &= ~(int) juce::TableHeaderComponent::sortable;

        header.addColumn (column.caption, column.id, column.width, column.minimum, -1, columnFlags);
    }

    header.setSortColumnId (ImportColumn::file, true);

    // The theme's tones and editor indents, before the page is first shown.
    applyLabelTones (*this);

    // 5. Listeners and rows.
    app.session.addListener (this);
    app.waveformCache.addListener (this);
    refreshRows();
}

ImportPage::~ImportPage()
{
    app.waveformCache.removeListener (this);
    app.session.removeListener (this);
    table.setModel (nullptr);
}

//==============================================================================
int ImportPage::getShownTrackCount() const
{
    return rows.getShownTrackCount (app.session);
}

juce::StringArray ImportPage::getSelectedTrackIds() const
{
    juce::StringArray ids;
    const auto selected = table.getSelectedRows();

    for (int i = 0; i < selected.size(); ++i)
    {
        const auto id = rows.getTrackId (selected[i]);

        if (id.isNotEmpty() && app.session.findTrack (id) != nullptr)
            ids.add (id);
    }

    return ids;
}

void ImportPage::selectTracks (const juce::StringArray& trackIds)
{
    juce::SparseSet<int> selection;
    int last = -1;

    for (const auto& id : trackIds)
    {
        if (const auto row = rows.findRow (id); row >= 0)
        {
            selection.addRange ({ row, row + 1 });
            last = row;
        }
    }

    table.setSelectedRows (selection, juce::dontSendNotification);
    selectedIds = getSelectedTrackIds();

    if (last >= 0)
        table.scrollToEnsureRowIsOnscreen (last);

    selectedRowsChanged (last);
}

//==============================================================================
void ImportPage::refreshRows()
{
    const juce::ScopedValueSetter<bool> guard (refreshing, true);

    rows.refresh (app.session, searchField.getText(), sortColumn, sortForwards,
                  [this] (const Track& track) { return getClipState (track); });

    for (const auto& track : app.session.getTracks())
        if (track.isReadable())
            app.waveformCache.prefetch (track.file.getFullPathName());

    table.updateContent();
    restoreSelection();
    table.repaint();
    updateStatusLine();
}

void ImportPage::restoreSelection()
{
    // The rows moved; the selection stays with its tracks, and tracks that are no longer shown
    // leave it.
    juce::SparseSet<int> selection;

    for (const auto& id : selectedIds)
        if (const auto row = rows.findRow (id); row >= 0)
            selection.addRange ({ row, row + 1 });

    table.setSelectedRows (selection, juce::dontSendNotification);
    selectedIds = getSelectedTrackIds();
}

ClipState ImportPage::getClipState (const Track& track)
{
    if (! track.isReadable())
        return ClipState::unknown;

    const auto overview = app.waveformCache.find (track.file.getFullPathName());
    return clipStateOf (overview.get());
}

void ImportPage::updateStatusLine()
{
    const auto status = getImportStatus (app.session);
    dropHint.setVisible (status.dropHintVisible);
    removeButton.setEnabled (status.removeEnabled);
    clearButton.setEnabled (status.clearEnabled);
    table.getHeader().setColumnVisible (ImportColumn::cue, status.cueColumnVisible);
    fitColumnsToContent();
}

void ImportPage::fitColumnsToContent()
{
    const auto font = fontPlain14_5();
    const auto status = getImportStatus (app.session);
    contentWidths = ui::fitColumnsToContent (app.session, rows.getTrackIds(), status.cueColumnVisible,
                                             [&font] (const juce::String& text) { return measureTextWidthCeil (font, text); });
    fitColumnsToTable();
}

void ImportPage::fitColumnsToTable()
{
    const auto visibleWidth = table.getViewport()->getMaximumVisibleWidth();

    if (visibleWidth <= 0)
        return;

    fitHeaderColumns (table.getHeader(), visibleWidth, getImportColumnFitOrder(), [this] (int id) -> std::optional<ColumnRoom>
    {
        const auto& info = getImportColumns()[(size_t) id - 1];
        auto wanted = info.width;

        for (const auto& w : contentWidths)
            if (w.column == id)
                wanted = w.width;

        const auto minimum = juce::jmax (info.minimum, AppLookAndFeel::minimumHeaderColumnWidth (info.caption, info.sortable, headerHeight));
        return ColumnRoom { id, juce::jmax (wanted, minimum), minimum };
    });
}

//==============================================================================
void ImportPage::importFiles (const juce::Array<juce::File>& files, const juce::StringArray& refusals)
{
    juce::MouseCursor::showWaitCursor();
    auto summary = app.session.importFiles (files, recurseToggle.getToggleState());
    juce::MouseCursor::hideWaitCursor();

    for (int i = refusals.size(); --i >= 0;)
        summary.messages.insert (0, refusals[i]);

    // The choosers open near a wrong pick too: the right one is most likely beside it.
    app.rememberImportLocation (files);

    // A folder that held no audio is no place to come back to.
    if (summary.imported + summary.unreadable + summary.alreadyInList + summary.alreadySplit.size() > 0)
        for (const auto& file : files)
            app.addRecentImportFolder (file);

    if (const auto box = describeImportSummary (summary, files); box.show)
        showMessage (box.title, box.message, box.warning);

    app.sendChangeMessage();
}

void ImportPage::addFiles()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFiles;
    request.title = "Add audio files";
    request.initialLocation = app.getImportBrowseFolder (AppState::ImportChooser::files);
    request.filePatterns = getAudioFileWildcard();

    app.seams->showFileChooser (request, [safe = juce::Component::SafePointer<ImportPage> (this)] (const juce::Array<juce::File>& chosen)
                                {
                                    if (safe != nullptr && ! chosen.isEmpty())
                                        safe->importFiles (chosen);
                                });
}

void ImportPage::openFolderChooser()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFolders;
    request.title = "Add a folder of audio files";
    request.initialLocation = app.getImportBrowseFolder (AppState::ImportChooser::folders);

    app.seams->showFileChooser (request, [safe = juce::Component::SafePointer<ImportPage> (this)] (const juce::Array<juce::File>& chosen)
                                {
                                    if (safe != nullptr && ! chosen.isEmpty())
                                        safe->importFiles (chosen);
                                });
}

void ImportPage::addFolder()
{
    const auto recent = app.getRecentImportFolders();

    if (recent.isEmpty())
    {
        openFolderChooser();
        return;
    }

    juce::PopupMenu menu;
    menu.addItem (1, "Add folder...");
    menu.addSeparator();
    menu.addSectionHeader ("Recent");

    for (int i = 0; i < recent.size(); ++i)
    {
        const juce::File folder (recent[i]);
        menu.addItem (2 + i, getRecentFolderLabel (folder), folder.isDirectory());
    }

    app.seams->showPopupMenu (menu,
                              popupMenuOptionsFor (this).withTargetComponent (&addFolderButton),
                              [safe = juce::Component::SafePointer<ImportPage> (this), recent] (int chosen)
                              {
                                  if (safe == nullptr || chosen <= 0)
                                      return;

                                  if (chosen == 1)
                                      safe->openFolderChooser();
                                  else if (chosen - 2 < recent.size())
                                      safe->importFiles ({ juce::File (recent[chosen - 2]) });
                              });
}

void ImportPage::removeSelected()
{
    const auto ids = getSelectedTrackIds();

    if (! ids.isEmpty())
        app.session.removeTracks (ids);
}

void ImportPage::askToClearList()
{
    if (app.session.getTracks().empty())
        return;

    MessageBoxRequest request;
    request.icon = juce::MessageBoxIconType::QuestionIcon;
    request.title = "Clear the track list?";
    request.message = "This removes every track from the list. The files on disk are not affected.";
    request.associatedComponent = this;

    app.seams->askOkCancel (request, [safe = juce::Component::SafePointer<ImportPage> (this)] (bool confirmed)
                            {
                                if (safe == nullptr || ! confirmed)
                                    return;

                                safe->app.previewEngine.stop();
                                safe->app.session.clear();
                                safe->showSelection ({}, {});
                            });
}

void ImportPage::showMessage (const juce::String& title, const juce::String& message, bool warning)
{
    MessageBoxRequest request;
    request.icon = warning ? juce::MessageBoxIconType::WarningIcon : juce::MessageBoxIconType::InfoIcon;
    request.title = title;
    request.message = message;
    request.associatedComponent = this;
    app.seams->showMessageBox (request, {});
}

//==============================================================================
void ImportPage::showAssignMenu (juce::Point<int> screenPosition)
{
    const auto ids = getSelectedTrackIds();

    if (ids.isEmpty())
        return;

    const auto options = popupMenuOptionsFor (this).withTargetScreenArea ({ screenPosition.x - 1, screenPosition.y - 1, 2, 2 });

    app.seams->showPopupMenu (buildAssignMenu (app, ids.size(), true),
                              options,
                              [safe = juce::Component::SafePointer<ImportPage> (this), &appState = app, ids] (int chosen)
                              {
                                  handleAssignMenuItem (chosen, appState, safe.getComponent(), ids,
                                                        [&appState] { appState.setStemsAlphabetical (! appState.isStemsAlphabetical()); });
                              });
}

//==============================================================================
void ImportPage::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    g.fillAll (palette.windowBackground);

    if (const auto paneBounds = previewPane.getBounds(); ! paneBounds.isEmpty())
    {
        const auto pane = paneBounds.toFloat();
        g.setGradientFill (subtleGradient (palette.panelBackground, pane));
        g.fillRoundedRectangle (pane, 4.0f);
        g.setColour (palette.subtleOutline);
        g.drawRoundedRectangle (pane.reduced (0.5f), 4.0f, 1.0f);
    }

    if (dragOver)
    {
        const auto area = getLocalBounds().toFloat().reduced (4.0f);
        g.setColour (palette.accent.withAlpha (0.12f));
        g.fillRoundedRectangle (area, 8.0f);
        g.setColour (palette.accent);
        g.drawRoundedRectangle (area, 8.0f, 2.0f);
    }
}

void ImportPage::resized()
{
    const auto width = juce::jmax (0, getWidth() - 24);
    const auto height = juce::jmax (0, getHeight() - 24);

    // The pane takes the rows' remainder, so the table shows a whole number of rows.
    const auto extra = height - headerHeight - 212;
    const auto paneHeight = juce::jmin (height, extra <= 0 ? 164 : 164 + extra % rowHeight);
    previewPane.setBounds (12, 12 + height - paneHeight, width, paneHeight);

    const auto above = juce::jmax (0, height - paneHeight - 6);

    auto toolbar = juce::Rectangle<int> (12, 12, width, juce::jmin (30, above));
    addFilesButton.setBounds (takeLeft (toolbar, 110));
    takeLeft (toolbar, 6);
    addFolderButton.setBounds (takeLeft (toolbar, 120));
    takeLeft (toolbar, 6);
    removeButton.setBounds (takeLeft (toolbar, 140));
    takeLeft (toolbar, 6);
    clearButton.setBounds (takeLeft (toolbar, 100));
    takeLeft (toolbar, 12);
    // The toggle's caption keeps its width (the framework's toggle draws it at 15 px after a
    // 28 px box); the search field gives way instead, down to a width for a short name.
    const auto toggleWidth = measureTextWidthCeil (juce::Font (15.0f), recurseToggle.getButtonText()) + 30;
    recurseToggle.setBounds (takeLeft (toolbar, toggleWidth));
    searchField.setBounds (takeRight (toolbar, juce::jlimit (160, 220, toolbar.getWidth() - 56)));
    searchLabel.setBounds (takeRight (toolbar, 56));

    const auto tableBounds = juce::Rectangle<int> (12, 48, width, juce::jmax (0, above - 42));
    table.setBounds (tableBounds);
    fitColumnsToTable();

    const auto tableHeight = tableBounds.getHeight();
    const auto offset = tableHeight < 42 ? 0 : juce::jmax (0, tableHeight / 2 - 20);
    dropHint.setBounds (tableBounds.getX(), tableBounds.getY() + offset, width, tableHeight - 2 * offset);

    updateStatusLine();
}

bool ImportPage::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();

    if (key.getKeyCode() != 'S' && key.getKeyCode() != 's')
        return false;

    if (mods.isShiftDown() || mods.isCtrlDown() || mods.isAltDown() || mods.isCommandDown())
        return false;

    const auto fraction = previewPane.getHoverFraction();

    if (fraction < 0.0 || app.session.findTrack (getShownTrackId()) == nullptr)
        return false;

    previewPane.setMarker (fraction);
    askForSplitName (fraction * previewPane.getShownDuration());
    return true;
}

//==============================================================================
bool ImportPage::isInterestedInFileDrag (const juce::StringArray&)
{
    return true;
}

void ImportPage::fileDragEnter (const juce::StringArray&, int, int)
{
    dragOver = true;
    repaint();
}

void ImportPage::fileDragMove (const juce::StringArray&, int, int) {}

void ImportPage::fileDragExit (const juce::StringArray&)
{
    dragOver = false;
    repaint();
}

void ImportPage::filesDropped (const juce::StringArray& files, int, int)
{
    dragOver = false;
    repaint();

    // Checked as text: a name that is not valid UTF-8 must never become a File.
    juce::StringArray refusals;
    const auto paths = filesFromPathTexts (files, refusals);
    importFiles (paths, refusals);
}

//==============================================================================
int ImportPage::getNumRows()
{
    return rows.getNumRows();
}

void ImportPage::paintRowBackground (juce::Graphics& g, int row, int, int, bool selected)
{
    const auto palette = currentPalette();

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));
    else if (row % 2 == 1)
        g.fillAll (palette.raisedBackground.withAlpha (0.35f));
}

void ImportPage::paintCell (juce::Graphics& g, int row, int columnId, int width, int height, bool)
{
    const auto* track = app.session.findTrack (rows.getTrackId (row));

    if (track == nullptr)
        return;

    const auto palette = currentPalette();
    const auto readable = track->isReadable();
    const auto textArea = juce::Rectangle<int> (8, 0, juce::jmax (0, width - 16), height);
    g.setFont (fontPlain14_5());
    g.setColour (readable ? palette.textPrimary : palette.bad);

    switch (columnId)
    {
        case ImportColumn::preview:
        {
            if (! readable)
            {
                g.setColour (palette.textDisabled);
                g.setFont (fontPlain12());
                g.drawText ("unreadable", textArea, juce::Justification::centred, false);
                return;
            }

            const auto overview = app.waveformCache.get (track->file.getFullPathName());

            for (int next = row + 1; next <= row + prefetchRows && next < rows.getNumRows(); ++next)
                if (const auto* other = app.session.findTrack (rows.getTrackId (next)); other != nullptr && other->isReadable())
                    app.waveformCache.prefetch (other->file.getFullPathName());

            if (overview == nullptr)
            {
                g.setColour (palette.textDisabled);
                g.setFont (fontPlain12());
                g.drawText ("...", textArea, juce::Justification::centred, false);
                return;
            }

            const auto* stem = findTrackStem (app.session, *track);
            const auto colour = stem != nullptr ? juce::Colour (stem->colour) : palette.unassigned;
            drawWaveform (g, juce::Rectangle<int> (8, 4, juce::jmax (0, width - 16), juce::jmax (0, height - 8)).toFloat(),
                          *overview, colour, true);
            return;
        }

        case ImportColumn::cue:
            g.setColour (palette.textSecondary);
            g.drawText (fittedCellWords (*track, columnId, width), textArea, juce::Justification::centredLeft, false);
            return;

        case ImportColumn::duration:
        case ImportColumn::rate:
        case ImportColumn::depth:
        case ImportColumn::channels:
            g.drawText (getCellText (app.session, *track, columnId), textArea, juce::Justification::centredRight, true);
            return;

        case ImportColumn::stem:
        {
            if (const auto* stem = findTrackStem (app.session, *track))
            {
                g.setColour (juce::Colour (stem->colour));
                g.fillRoundedRectangle (juce::Rectangle<int> (8, 8, 10, juce::jmax (0, height - 16)).toFloat(), 2.0f);
                g.setColour (palette.textPrimary);
                g.drawText (fittedCellWords (*track, columnId, width), 24, 0, juce::jmax (0, width - 32), height, juce::Justification::centredLeft, false);
            }
            else
            {
                g.setColour (palette.textDisabled);
                g.drawText ("-", textArea, juce::Justification::centredLeft, true);
            }

            return;
        }

        case ImportColumn::clip:
            if (readable && getClipState (*track) == ClipState::clipped)
                drawBadge (g, juce::Rectangle<float> ((float) (width - 16 - 62) / 2.0f + 8.0f, 6.0f, 62.0f, (float) (height - 12)), palette.bad, "Clipped");

            return;

        case ImportColumn::status:
        {
            if (! readable)
            {
                g.drawText (track->error, textArea, juce::Justification::centredLeft, true);
                return;
            }

            const auto badgeWidth = statusBadgeWidth (width);
            drawBadge (g, juce::Rectangle<int> (8, 6, juce::jmax (0, badgeWidth), juce::jmax (0, height - 12)).toFloat(),
                       colourForConfidence (track->confidence), assignmentBadgeText (track->source, track->confidence));
            g.setColour (palette.textSecondary);
            g.setFont (fontPlain14_5());
            g.drawText (fittedCellWords (*track, columnId, width), badgeWidth + 14, 0,
                        juce::jmax (0, width - 16 - badgeWidth - 6), height, juce::Justification::centredLeft, false);
            return;
        }

        case ImportColumn::file:
            // The end of a name tells the tracks of a cue apart; the whole path is in the tooltip.
            g.drawText (shortenToFit (getCellText (app.session, *track, columnId), fontPlain14_5(), (float) textArea.getWidth(), Shortening::inMiddle),
                        textArea, juce::Justification::centredLeft, false);
            return;

        default:
            g.drawText (getCellText (app.session, *track, columnId), textArea, juce::Justification::centredLeft, true);
            return;
    }
}

void ImportPage::cellClicked (int row, int, const juce::MouseEvent& e)
{
    if (! e.mods.isPopupMenu())
        return;

    if (! table.isRowSelected (row))
        table.selectRow (row);

    showAssignMenu (e.getScreenPosition());
}

void ImportPage::cellDoubleClicked (int row, int, const juce::MouseEvent&)
{
    const auto* track = app.session.findTrack (rows.getTrackId (row));

    if (track == nullptr || ! track->isReadable())
        return;

    showSelection (track->file, track->id);
    togglePlayback();
}

void ImportPage::sortOrderChanged (int newSortColumnId, bool isForwards)
{
    sortColumn = newSortColumnId;
    sortForwards = isForwards;
    refreshRows();
}

juce::String ImportPage::getCellTooltip (int row, int columnId)
{
    const auto* track = app.session.findTrack (rows.getTrackId (row));

    if (track == nullptr)
        return {};

    const auto tip = ui::getCellTooltip (app.session, *track, columnId, columnId == ImportColumn::clip ? getClipState (*track) : ClipState::unknown);
    const auto words = cellWords (*track, columnId);
    const auto shown = fittedCellWords (*track, columnId, table.getHeader().getColumnWidth (columnId));

    // Words the cell had to shorten come first, whole.
    return shown == words ? tip : words + "\n" + tip;
}

juce::String ImportPage::cellWords (const Track& track, int columnId) const
{
    switch (columnId)
    {
        case ImportColumn::cue:
            return getCellText (app.session, track, columnId);
        case ImportColumn::stem:
        {
            const auto* stem = findTrackStem (app.session, track);
            return stem != nullptr ? stem->displayName : juce::String();
        }
        case ImportColumn::status:
            return track.isReadable() ? track.matchedKeywords.joinIntoString (", ") : juce::String();
        default:
            return {};
    }
}

juce::String ImportPage::fittedCellWords (const Track& track, int columnId, int width) const
{
    // The room each cell's painting leaves its words: a stem's colour mark, a status badge.
    const auto room = columnId == ImportColumn::stem     ? width - 32
                      : columnId == ImportColumn::status ? width - 16 - statusBadgeWidth (width) - 6
                                                         : width - 16;
    return shortenToFit (cellWords (track, columnId), fontPlain14_5(), (float) juce::jmax (0, room), Shortening::atEnd);
}

int ImportPage::statusBadgeWidth (int cellWidth)
{
    return juce::jmin (cellWidth - 16, 86);
}

void ImportPage::selectedRowsChanged (int lastRowSelected)
{
    if (refreshing)
        return;

    selectedIds = getSelectedTrackIds();
    const auto* track = app.session.findTrack (rows.getTrackId (lastRowSelected));

    if (track != nullptr && track->isReadable())
        showSelection (track->file, track->id);
    else
        showSelection ({}, {});

    previewPane.updateTransport();
}

void ImportPage::deleteKeyPressed (int)
{
    removeSelected();
}

//==============================================================================
void ImportPage::tracksChanged()
{
    if (const auto shownTrackId = getShownTrackId(); shownTrackId.isNotEmpty())
    {
        const auto* shown = app.session.findTrack (shownTrackId);

        if (shown == nullptr)
        {
            // Its track has gone: nothing of it stays on screen or in the speakers.
            if (app.previewEngine.isActiveFor (previewPane.getAuditionId()))
                app.previewEngine.stop();

            showSelection ({}, {});
        }
        else if (shown->file.getFullPathName() != getShownFile().getFullPathName())
            showSelection (shown->file, shownTrackId); // renamed on disk
    }

    refreshRows();
}

void ImportPage::assignmentsChanged()
{
    refreshRows();
}

void ImportPage::presetChanged()
{
    refreshRows();
}

void ImportPage::waveformsChanged()
{
    repaint();
    previewPane.refreshWaveform();
}

void ImportPage::textEditorTextChanged (juce::TextEditor&)
{
    refreshRows();
}

//==============================================================================
void ImportPage::offerSplitAt (double fileFraction)
{
    if (app.session.findTrack (getShownTrackId()) == nullptr)
        return;

    const auto duration = previewPane.getShownDuration();
    const auto seconds = juce::jlimit (0.0, duration, fileFraction * duration);
    previewPane.setMarker (fileFraction);

    juce::PopupMenu menu;
    menu.addSectionHeader ("At " + formatDuration (seconds));
    menu.addItem (1, "Split stem here (S)");

    app.seams->showPopupMenu (menu, popupMenuOptionsFor (this).withMousePosition(),
                              [safe = juce::Component::SafePointer<ImportPage> (this), seconds] (int chosen)
                              {
                                  if (safe == nullptr)
                                      return;

                                  if (chosen == 1)
                                      safe->askForSplitName (seconds);
                                  else
                                      safe->previewPane.setMarker (-1.0);
                              });
}

void ImportPage::askForSplitName (double seconds)
{
    const auto* track = app.session.findTrack (getShownTrackId());

    if (track == nullptr)
        return;

    TextPromptRequest request;
    request.title = "Split this stem";
    request.message = "The part up to " + formatDuration (seconds)
                    + " keeps the name it has.\nThe part after it becomes a new stem, both the same length as the original.";
    request.fields.push_back ({ "name", {}, getSuggestedSplitName (track->file) });
    request.okText = "Split";
    request.associatedComponent = this;

    app.seams->askForText (request, [safe = juce::Component::SafePointer<ImportPage> (this), seconds] (bool confirmed, const juce::StringArray& texts)
                           {
                               if (safe == nullptr)
                                   return;

                               const auto name = texts[0].trim();

                               if (confirmed && name.isNotEmpty())
                                   safe->splitTrackAt (seconds, name);

                               if (safe != nullptr)
                                   safe->previewPane.setMarker (-1.0);
                           });
}

void ImportPage::splitTrackAt (double seconds, const juce::String& name)
{
    const auto plan = planSplit (app.session, getShownTrackId(), seconds, name);

    if (! plan.ok)
    {
        if (plan.message.isNotEmpty())
            showMessage (splitRefusedTitle, plan.message, true);

        return;
    }

    app.previewEngine.stop(); // the original may be playing
    const auto outcome = performSplit (app.session, plan, [this] (const juce::File& file) { app.waveformCache.forget (file.getFullPathName()); });

    if (outcome.split)
        previewPane.forgetCachedWholeFile();

    if (outcome.title.isNotEmpty())
        showMessage (outcome.title, outcome.message, outcome.warning);
}

} // namespace dunmoor::ui
