#include "ui/pages/import/ImportPage.h"

#include "core/audio/AudioFileReader.h"
#include "core/files/FolderListing.h"
#include "ui/pages/AssignMenu.h"
#include "ui/pages/import/TrackSplit.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int rowHeight = 34;
    constexpr int headerHeight = 28;
    constexpr int zoomSettleMs = 220;
    constexpr int prefetchRows = 8;

    const juce::String recurseKey ("importRecurse");
    const juce::String autoplayKey ("importAutoplay");
    const juce::String jumpSilenceKey ("importJumpSilence");

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
void ImportPage::ZoomSettleTimer::timerCallback()
{
    stopTimer();
    page.zoomSettled();
}

//==============================================================================
ImportPage::ImportPage (AppState& appState, PreviewAnalysis::Compute compute)
    : app (appState)
    , analysis ([this] (const PreviewAnalysisResult& result) { applySpectrogramResult (result); }, std::move (compute))
{
    // 1. Components, their settings, texts and looks.
    addFilesButton.setTooltip ("Add individual audio files (WAV, AIFF, FLAC).");
    addFolderButton.setTooltip ("Add every audio file in a folder.");
    removeButton.setTooltip ("Remove the selected tracks from the list. The files on disk are never touched.");
    clearButton.setTooltip ("Empty the track list.");
    recurseToggle.setTooltip ("Look inside sub-folders too. Every folder with audio in it becomes a cue of its own, and each cue is rendered separately.");
    searchField.setTooltip ("Filter the list by file name.");
    autoplayToggle.setTooltip ("Audition each file as soon as it is selected.");
    jumpSilenceToggle.setTooltip ("Start playback at the first sound instead of the top of the file, past the silence the DAW wrote before the first note.");
    zoomInButton.setTooltip ("Show less of the file, in more detail. The wheel over either display does the same.");
    zoomOutButton.setTooltip ("Show more of the file.");
    wholeFileButton.setTooltip ("Back to the whole file.");

    const auto& settings = *app.settings;
    recurseToggle.setToggleState (settings.getBoolValue (recurseKey, true), juce::dontSendNotification);
    autoplayToggle.setToggleState (settings.getBoolValue (autoplayKey, false), juce::dontSendNotification);
    jumpSilenceToggle.setToggleState (settings.getBoolValue (jumpSilenceKey, true), juce::dontSendNotification);

    setPlaceholder (searchField, "file name...");
    searchField.addListener (this);

    searchLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (searchLabel, LabelTone::secondary);
    dropHint.setJustificationType (juce::Justification::centred);
    setLabelTone (dropHint, LabelTone::disabled);
    dropHint.setInterceptsMouseClicks (false, false);
    fileNameLabel.setFont (fontBold16());
    timeLabel.setFont (fontMono13_5());
    timeLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (timeLabel, LabelTone::secondary);
    waveformView.setPlaceholderText ("No file selected");

    // Every control is found by its title, as a screen reader finds it.
    addFilesButton.setTitle ("Add files");
    addFolderButton.setTitle ("Add folder");
    removeButton.setTitle ("Remove selected");
    clearButton.setTitle ("Clear list");
    recurseToggle.setTitle ("Include sub-folders");
    searchField.setTitle ("Search");
    table.setTitle ("Tracks");
    dropHint.setTitle ("Drop hint");
    fileNameLabel.setTitle ("File name");
    transportButton.setTitle ("Play");
    autoplayToggle.setTitle ("Autoplay");
    jumpSilenceToggle.setTitle ("Jump silence");
    spectrogramView.setTitle ("Spectrogram");
    waveformView.setTitle ("Waveform");
    timeLabel.setTitle ("Time");
    zoomInButton.setTitle ("Zoom in");
    zoomOutButton.setTitle ("Zoom out");
    wholeFileButton.setTitle ("Whole file");

    // 2. Children.
    addAllAndMakeVisible (*this, { &addFilesButton, &addFolderButton, &removeButton, &clearButton, &recurseToggle,
                                   &searchField, &searchLabel, &table, &dropHint, &fileNameLabel, &transportButton,
                                   &autoplayToggle, &jumpSilenceToggle, &spectrogramView, &waveformView, &timeLabel,
                                   &zoomInButton, &zoomOutButton, &wholeFileButton });

    // 3. Callbacks.
    zoomInButton.onClick = [this] { zoomBy (0.5, 0.5); };
    zoomOutButton.onClick = [this] { zoomBy (2.0, 0.5); };
    wholeFileButton.onClick = [this] { setZoomRange (0.0, 1.0); };
    addFilesButton.onClick = [this] { addFiles(); };
    addFolderButton.onClick = [this] { addFolder(); };
    transportButton.onClick = [this] { togglePlayback(); };
    recurseToggle.onClick = [this] { app.settings->setValue (recurseKey, recurseToggle.getToggleState()); };
    autoplayToggle.onClick = [this] { app.settings->setValue (autoplayKey, autoplayToggle.getToggleState()); };
    jumpSilenceToggle.onClick = [this] { app.settings->setValue (jumpSilenceKey, jumpSilenceToggle.getToggleState()); };
    removeButton.onClick = [this] { removeSelected(); };
    clearButton.onClick = [this] { askToClearList(); };

    auto onWheel = [this] (float delta, double position)
    {
        if (const auto factor = getWheelZoomFactor (delta); factor > 0.0)
            zoomBy (factor, position);
    };

    waveformView.onSeek = spectrogramView.onSeek = [this] (double position) { seekFromView (position); };
    waveformView.onContextMenu = spectrogramView.onContextMenu = [this] (double position) { offerSplitAt (view.toFile (position)); };
    waveformView.onWheel = spectrogramView.onWheel = onWheel;
    waveformView.onHover = [this] (double position) { spectrogramView.setHoverPosition (position); };
    spectrogramView.onHover = [this] (double position) { waveformView.setHoverPosition (position); };

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
    wholeFileButton.setEnabled (false);

    // The theme's tones and editor indents, before the page is first shown.
    applyLabelTones (*this);

    // 5. Listeners, rows and transport.
    app.session.addListener (this);
    app.waveformCache.addListener (this);
    refreshRows();
    updateTransport();
    startTimerHz (15);
}

ImportPage::~ImportPage()
{
    stopTimer();
    zoomSettleTimer.stopTimer();
    analysis.cancel();
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
    const auto widths = ui::fitColumnsToContent (app.session, rows.getTrackIds(), status.cueColumnVisible,
                                                 [&font] (const juce::String& text) { return measureTextWidthCeil (font, text); });

    auto& header = table.getHeader();

    for (const auto& w : widths)
        if (header.getColumnWidth (w.column) != w.width)
            header.setColumnWidth (w.column, w.width);

    fitPreviewColumn();
}

void ImportPage::fitPreviewColumn()
{
    const auto visibleWidth = table.getViewport()->getMaximumVisibleWidth();

    if (visibleWidth <= 0)
        return;

    auto& header = table.getHeader();
    int others = 0;

    for (int i = 0; i < header.getNumColumns (true); ++i)
    {
        const auto id = header.getColumnIdOfIndex (i, true);

        if (id != ImportColumn::preview)
            others += header.getColumnWidth (id);
    }

    const auto width = fitPreviewColumnWidth (visibleWidth, others);

    if (header.getColumnWidth (ImportColumn::preview) != width)
        header.setColumnWidth (ImportColumn::preview, width);
}

//==============================================================================
void ImportPage::importFiles (const juce::Array<juce::File>& files, const juce::StringArray& refusals)
{
    juce::MouseCursor::showWaitCursor();
    auto summary = app.session.importFiles (files, recurseToggle.getToggleState());
    juce::MouseCursor::hideWaitCursor();

    for (int i = refusals.size(); --i >= 0;)
        summary.messages.insert (0, refusals[i]);

    for (const auto& file : files)
        app.addRecentImportFolder (file);

    if (const auto box = describeImportSummary (summary); box.show)
        showMessage (box.title, box.message, box.warning);

    app.sendChangeMessage();
}

void ImportPage::addFiles()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFiles;
    request.title = "Add audio files";
    request.initialLocation = juce::File::getSpecialLocation (juce::File::userMusicDirectory);
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
    request.mode = FileChooserRequest::Mode::openFolder;
    request.title = "Add a folder of audio files";
    request.initialLocation = juce::File::getSpecialLocation (juce::File::userMusicDirectory);

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

    if (! previewPaneBounds.isEmpty())
    {
        const auto pane = previewPaneBounds.toFloat();
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
    previewPaneBounds = { 12, 12 + height - paneHeight, width, paneHeight };
    layoutPreviewPane (previewPaneBounds);

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
    recurseToggle.setBounds (takeLeft (toolbar, 270));
    searchField.setBounds (takeRight (toolbar, 220));
    searchLabel.setBounds (takeRight (toolbar, 56));

    const auto tableBounds = juce::Rectangle<int> (12, 48, width, juce::jmax (0, above - 42));
    table.setBounds (tableBounds);

    const auto tableHeight = tableBounds.getHeight();
    const auto offset = tableHeight < 42 ? 0 : juce::jmax (0, tableHeight / 2 - 20);
    dropHint.setBounds (tableBounds.getX(), tableBounds.getY() + offset, width, tableHeight - 2 * offset);

    updateStatusLine();
}

void ImportPage::layoutPreviewPane (juce::Rectangle<int> pane)
{
    auto inner = pane.reduced (12, 6);
    auto top = inner.removeFromTop (juce::jmin (30, inner.getHeight()));

    transportButton.setBounds (takeLeft (top, 96));
    takeLeft (top, 12);

    wholeFileButton.setBounds (takeRight (top, 30));
    takeRight (top, 3);
    zoomOutButton.setBounds (takeRight (top, 30));
    takeRight (top, 3);
    zoomInButton.setBounds (takeRight (top, 30));
    takeRight (top, 9);

    const auto font = fontPlain14_5();
    jumpSilenceToggle.setBounds (takeRight (top, measureTextWidthCeil (font, jumpSilenceToggle.getButtonText()) + 30));
    takeRight (top, 6);
    autoplayToggle.setBounds (takeRight (top, measureTextWidthCeil (font, autoplayToggle.getButtonText()) + 30));
    timeLabel.setBounds (takeRight (top, 170));
    fileNameLabel.setBounds (top.withTrimmedRight (juce::jmin (6, top.getWidth())));

    inner.removeFromTop (juce::jmin (6, inner.getHeight()));
    waveformView.setBounds (inner.removeFromBottom (juce::jmin (44, inner.getHeight())));
    inner.removeFromBottom (juce::jmin (5, inner.getHeight()));
    spectrogramView.setBounds (inner);
}

bool ImportPage::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();

    if (key.getKeyCode() != 'S' && key.getKeyCode() != 's')
        return false;

    if (mods.isShiftDown() || mods.isCtrlDown() || mods.isAltDown() || mods.isCommandDown())
        return false;

    auto position = waveformView.getHoverPosition();

    if (position < 0.0)
        position = spectrogramView.getHoverPosition();

    if (position < 0.0 || app.session.findTrack (shownTrackId) == nullptr)
        return false;

    const auto fraction = view.toFile (position);
    setMarker (fraction);
    askForSplitName (fraction * getShownDuration());
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
            g.drawText (getCellText (app.session, *track, columnId), textArea, juce::Justification::centredLeft, true);
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
                g.drawText (stem->displayName, 24, 0, juce::jmax (0, width - 32), height, juce::Justification::centredLeft, true);
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

            const auto badgeWidth = juce::jmin (width - 16, 86);
            drawBadge (g, juce::Rectangle<int> (8, 6, juce::jmax (0, badgeWidth), juce::jmax (0, height - 12)).toFloat(),
                       colourForConfidence (track->confidence), confidenceDisplayName (track->confidence));
            g.setColour (palette.textSecondary);
            g.setFont (fontPlain14_5());
            g.drawText (track->matchedKeywords.joinIntoString (", "), badgeWidth + 14, 0,
                        juce::jmax (0, width - 16 - badgeWidth - 6), height, juce::Justification::centredLeft, true);
            return;
        }

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

    return ui::getCellTooltip (app.session, *track, columnId, columnId == ImportColumn::clip ? getClipState (*track) : ClipState::unknown);
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

    updateTransport();
}

void ImportPage::deleteKeyPressed (int)
{
    removeSelected();
}

//==============================================================================
void ImportPage::tracksChanged()
{
    if (shownTrackId.isNotEmpty())
    {
        const auto* shown = app.session.findTrack (shownTrackId);

        if (shown == nullptr)
        {
            // Its track has gone: nothing of it stays on screen or in the speakers.
            if (app.previewEngine.isActiveFor (getAuditionId()))
                app.previewEngine.stop();

            showSelection ({}, {});
        }
        else if (shown->file.getFullPathName() != shownFile.getFullPathName())
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
    refreshWaveform();
}

void ImportPage::textEditorTextChanged (juce::TextEditor&)
{
    refreshRows();
}

//==============================================================================
double ImportPage::getShownDuration() const
{
    const auto* track = app.session.findTrack (shownTrackId);

    if (track == nullptr || ! (track->info.sampleRate > 0.0))
        return 0.0;

    return (double) track->info.lengthInSamples / track->info.sampleRate;
}

juce::String ImportPage::getAuditionId() const
{
    return "track:" + shownTrackId;
}

void ImportPage::showSelection (const juce::File& file, const juce::String& trackId)
{
    // Compared exactly: two files whose names differ only in case are two tracks here.
    if (trackId == shownTrackId && file.getFullPathName() == shownFile.getFullPathName())
        return;

    shownFile = file;
    shownTrackId = trackId;
    const auto duration = getShownDuration();
    waveformView.setDuration (duration);
    spectrogramView.setDuration (duration);

    setMarker (-1.0);
    view = {};
    data = {};
    waveformView.setVisibleRange (0.0, 1.0);
    spectrogramView.setVisibleRange (0.0, 1.0);
    waveformView.setDataRange (0.0, 1.0);
    spectrogramView.setDataRange (0.0, 1.0);
    wholeFileButton.setEnabled (false);
    zoomSettleTimer.stopTimer();
    analysis.cancel();

    if (file == juce::File())
    {
        fileNameLabel.setText ("Nothing selected", juce::dontSendNotification);
        spectrogramView.clear();
        spectrogramView.setBusy (false);
        refreshWaveform();
        updateTransport();
        return;
    }

    fileNameLabel.setText (file.getFileName(), juce::dontSendNotification);
    refreshWaveform();
    startSpectrogramJob();

    if (autoplayToggle.getToggleState() && app.previewEngine.isAudioAvailable())
    {
        const auto start = getStartPosition() * duration;
        app.previewEngine.play (juce::StringArray (shownFile.getFullPathName()), app.session.getPreset().exportSettings.masterSampleRate,
                                shownFile.getFileName(), getAuditionId(), start, -1.0);
    }

    updateTransport();
}

void ImportPage::refreshWaveform()
{
    if (shownFile == juce::File())
    {
        shownOverview = {};
        shownOverviewFile.clear();
        waveformView.clear();
        waveformView.setBusy (false);
        return;
    }

    const auto path = shownFile.getFullPathName();

    if (shownOverviewFile == path && ! shownOverview.isEmpty())
        return;

    if (const auto overview = app.waveformCache.get (path))
    {
        shownOverview = *overview;
        shownOverviewFile = path;

        // A zoomed picture of the stretch stays; the whole file's overview comes with its range.
        if (view.isWholeFile() || ! data.differsFrom (ViewRange {}))
        {
            waveformView.setPeaks (shownOverview);
            waveformView.setDataRange (0.0, 1.0);
        }

        waveformView.setBusy (false);
    }
    else
    {
        shownOverview = {};
        shownOverviewFile.clear();
        waveformView.clear();
        waveformView.setBusy (true);
    }
}

void ImportPage::zoomBy (double factor, double anchor)
{
    if (shownFile == juce::File())
        return;

    const auto next = view.zoomedBy (factor, anchor);
    setZoomRange (next.start, next.end);
}

void ImportPage::setZoomRange (double start, double end)
{
    const auto next = ViewRange::clamped (start, end);

    if (! next.differsFrom (view))
        return;

    view = next;
    wholeFileButton.setEnabled (! view.isWholeFile());
    waveformView.setVisibleRange (view.start, view.end);
    spectrogramView.setVisibleRange (view.start, view.end);
    updateTransport();

    const auto* cached = analysis.getCachedWholeFile (shownFile.getFullPathName());

    if (view.isWholeFile() && cached != nullptr)
    {
        // Back at the whole file: the kept pictures, nothing computed again.
        data = {};
        analysis.cancel();
        spectrogramView.setSpectrogram (*cached);
        spectrogramView.setDataRange (0.0, 1.0);
        spectrogramView.setBusy (false);

        if (const auto overview = app.waveformCache.get (shownFile.getFullPathName()))
        {
            shownOverview = *overview;
            shownOverviewFile = shownFile.getFullPathName();
            waveformView.setPeaks (shownOverview);
            waveformView.setDataRange (0.0, 1.0);
            waveformView.setBusy (false);
        }

        zoomSettleTimer.stopTimer();
        return;
    }

    zoomSettleTimer.startTimer (zoomSettleMs);
}

void ImportPage::zoomSettled()
{
    if (shownFile == juce::File() || ! data.differsFrom (view))
        return;

    data = view;
    startSpectrogramJob();
}

void ImportPage::startSpectrogramJob()
{
    spectrogramView.setBusy (true);
    analysis.start (shownFile, view.isWholeFile() ? ViewRange {} : view);
}

void ImportPage::applySpectrogramResult (const PreviewAnalysisResult& result)
{
    if (result.path != shownFile.getFullPathName())
        return;

    if (result.spectrogram.columns == 0)
        spectrogramView.clear();
    else
        spectrogramView.setSpectrogram (result.spectrogram);

    spectrogramView.setDataRange (result.range.start, result.range.end);
    spectrogramView.setBusy (false);

    if (result.wholeFile)
    {
        if (shownOverview.isEmpty())
            return; // the waveform cache brings it

        waveformView.setPeaks (shownOverview);
        waveformView.setDataRange (0.0, 1.0);
    }
    else
    {
        waveformView.setPeaks (result.overview);
        waveformView.setDataRange (result.range.start, result.range.end);
    }

    waveformView.setBusy (false);
}

//==============================================================================
bool ImportPage::checkAudioOutput()
{
    if (shownFile == juce::File())
        return false;

    if (app.previewEngine.isAudioAvailable())
        return true;

    showMessage ("No audio output",
                 "Brackenfold could not open an audio device, so auditioning is unavailable.\n\n" + app.previewEngine.getDeviceErrorText(),
                 true);
    return false;
}

double ImportPage::getStartPosition() const
{
    if (jumpSilenceToggle.getToggleState() && ! shownOverview.isEmpty())
        return shownOverview.firstSoundPosition (0.005f, 0.05);

    return 0.0;
}

void ImportPage::playFrom (double fileFraction)
{
    if (! checkAudioOutput())
        return;

    // The track's own length: the overview may not be there yet, and a click at 80 % must not
    // play from the top.
    const auto start = getShownDuration() * juce::jlimit (0.0, 1.0, fileFraction);
    app.previewEngine.play (juce::StringArray (shownFile.getFullPathName()), app.session.getPreset().exportSettings.masterSampleRate,
                            shownFile.getFileName(), getAuditionId(), start, -1.0);
    updateTransport();
}

void ImportPage::togglePlayback()
{
    if (! checkAudioOutput())
        return;

    auto& engine = app.previewEngine;

    if (engine.isActiveFor (getAuditionId()) && (engine.isPlaying() || engine.isLoading()))
    {
        engine.stop();
        updateTransport();
        return;
    }

    playFrom (getStartPosition());
}

void ImportPage::seekFromView (double viewFraction)
{
    auto& engine = app.previewEngine;
    const auto position = view.toFile (viewFraction);

    if (shownFile != juce::File() && engine.isActiveFor (getAuditionId()) && (engine.isPlaying() || engine.isLoading()))
    {
        engine.seekToFraction (position);
        updateTransport();
        return;
    }

    playFrom (position);
}

void ImportPage::timerCallback()
{
    updateTransport();
}

void ImportPage::updateTransport()
{
    auto& engine = app.previewEngine;
    const auto shown = shownFile != juce::File();
    const auto active = shown && engine.isActiveFor (getAuditionId());

    transportButton.setEnabled (shown);
    transportButton.setPlaying (active && engine.isPlaying());
    transportButton.setLoading (active && engine.isLoading());

    const auto fraction = active ? engine.getPlayheadFraction() : -1.0;
    const auto playhead = fraction >= 0.0 ? view.toView (fraction) : -1.0;
    waveformView.setPlayheadPosition (playhead);
    spectrogramView.setPlayheadPosition (playhead);

    juce::String time;

    if (active && engine.getSourceLength() > 0.0)
        time = formatDuration (engine.getPlayheadSeconds()) + " / " + formatDuration (engine.getSourceLength());
    else if (! shownOverview.isEmpty())
        time = formatDuration (shownOverview.duration);

    if (timeLabel.getText() != time)
        timeLabel.setText (time, juce::dontSendNotification);
}

//==============================================================================
void ImportPage::setMarker (double fileFraction)
{
    const auto position = fileFraction < 0.0 ? -1.0 : view.toView (fileFraction);
    waveformView.setMarkerPosition (position);
    spectrogramView.setMarkerPosition (position);
}

void ImportPage::offerSplitAt (double fileFraction)
{
    if (app.session.findTrack (shownTrackId) == nullptr)
        return;

    const auto duration = getShownDuration();
    const auto seconds = juce::jlimit (0.0, duration, fileFraction * duration);
    setMarker (fileFraction);

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
                                      safe->setMarker (-1.0);
                              });
}

void ImportPage::askForSplitName (double seconds)
{
    const auto* track = app.session.findTrack (shownTrackId);

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
                                   safe->setMarker (-1.0);
                           });
}

void ImportPage::splitTrackAt (double seconds, const juce::String& name)
{
    const auto plan = planSplit (app.session, shownTrackId, seconds, name);

    if (! plan.ok)
    {
        if (plan.message.isNotEmpty())
            showMessage (splitRefusedTitle, plan.message, true);

        return;
    }

    app.previewEngine.stop(); // the original may be playing
    const auto outcome = performSplit (app.session, plan, [this] (const juce::File& file) { app.waveformCache.forget (file.getFullPathName()); });

    if (outcome.split)
        analysis.forgetCachedWholeFile();

    if (outcome.title.isNotEmpty())
        showMessage (outcome.title, outcome.message, outcome.warning);
}

} // namespace dunmoor::ui
