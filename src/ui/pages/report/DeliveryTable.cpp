#include "DeliveryTable.h"

#include <cmath>

#include "core/files/PathRules.h"
#include "core/render/FileKindColours.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/ShortenedText.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{
namespace
{
    /** A column's caption, the widest its content may ask for (the Preview column: what its
        waveform asks for) and the narrowest it may become beyond its caption's room. */
    struct ColumnSetup
    {
        const char* caption;
        int id;
        int width;
        int minimumWidth;
    };

    constexpr ColumnSetup columnSetups[] = {
        { "File", fileColumn, 520, 150 },
        { "Preview", previewColumn, 460, 0 },
        { "Kind", kindColumn, 56, 0 },
        { "Tracks", tracksColumn, 62, 0 },
        { "Peak", peakColumn, 84, 0 },
        { "Format", formatColumn, 300, 0 },
        { "Length", lengthColumn, 96, 0 },
        { "Size", sizeColumn, 96, 0 },
        { "Status", statusColumn, 320, 0 },
    };

    const ColumnSetup* findColumnSetup (int id)
    {
        for (const auto& column : columnSetups)
            if (column.id == id)
                return &column;

        return nullptr;
    }

    juce::Colour dimmedUnless (bool hasFile, juce::Colour colour)
    {
        return hasFile ? colour : colour.withMultipliedAlpha (0.5f);
    }

    bool isNumberColumn (int columnId)
    {
        return columnId == tracksColumn || columnId == peakColumn || columnId == lengthColumn || columnId == sizeColumn;
    }

    /** The room a cell leaves its text: 8 px on either side. */
    int textRoom (int cellWidth)
    {
        return juce::jmax (0, cellWidth - 16);
    }

    // A number is squeezed down to this share of its width rather than cut.
    constexpr float narrowestNumberScale = 0.7f;

    /** The narrowest cell that still shows a number of that content width (text and padding)
        whole, squeezed as far as it may be; a pixel to spare for the rounding of the glyphs. */
    int squeezedNumberWidth (int contentWidth)
    {
        return (int) std::ceil ((float) textRoom (contentWidth) * narrowestNumberScale) + 16 + 1;
    }

    /** A cell's text as it fits: file names lose their middle, so that the number and stem at
        their end still tell the files apart; other texts lose their end. */
    juce::String fittedCellText (const juce::String& text, int columnId, int cellWidth)
    {
        return shortenToFit (text, fontPlain14_5(), (float) textRoom (cellWidth),
                             columnId == fileColumn ? Shortening::inMiddle : Shortening::atEnd);
    }
} // namespace

ReportPage::DeliveryTable::DeliveryTable()
{
    table.setModel (this);
    table.setTitle ("Delivered files");
    table.setDescription ("Every file the selected cue wrote. Click a row to hear it; double-click a file name to rename the file.");
    table.setRowHeight (34);
    table.setHeaderHeight (28);
    table.getViewport()->setScrollBarsShown (true, false);
    table.getVerticalScrollBar().addListener (this);

    auto& header = table.getHeader();
    using Flags = juce::TableHeaderComponent::ColumnPropertyFlags;
    const int common = Flags::visible | Flags::resizable | Flags::draggable | Flags::appearsOnColumnMenu;

    for (const auto& column : columnSetups)
    {
        const auto sortable = column.id != previewColumn;
        const auto minimum = juce::jmax (column.minimumWidth, AppLookAndFeel::minimumHeaderColumnWidth (column.caption, false, table.getHeaderHeight()));
        header.addColumn (column.caption, column.id, juce::jmax (column.width, minimum), minimum, -1, sortable ? common | Flags::sortable : common);
    }

    header.setStretchToFitActive (true);
    addAndMakeVisible (table);

    editor.setTitle ("New file name");
    editor.setFont (fontPlain14_5());
    editor.setBorder ({ 1, 4, 1, 4 });
    editor.addKeyListener (this);
    editor.onReturnKey = [this] { (void) finishRename (true); };
    editor.onEscapeKey = [this] { (void) finishRename (false); };

    // The focus-lost message arrives later; by then a Tab may have opened the editor on the
    // next file, which must not be committed unseen.
    editor.onFocusLost = [this]
    {
        if (! editor.hasKeyboardFocus (true))
            (void) finishRename (true);
    };

    addChildComponent (editor);
}

ReportPage::DeliveryTable::~DeliveryTable()
{
    editor.removeKeyListener (this);
    table.getVerticalScrollBar().removeListener (this);
    table.setModel (nullptr);
}

void ReportPage::DeliveryTable::setRows (std::vector<DeliveryRow> newRows)
{
    (void) finishRename (false);
    playingPath = {};
    playingFraction = -1.0;
    showRows (std::move (newRows), false);
    table.deselectAllRows();
    repaint();
}

void ReportPage::DeliveryTable::updateRows (std::vector<DeliveryRow> newRows)
{
    const auto selected = getRow (table.getSelectedRow());
    const auto selectedPath = selected != nullptr ? selected->file.getFullPathName() : juce::String();

    showRows (std::move (newRows), true);

    const auto index = findRowByPath (selectedPath);

    if (index >= 0 && selectedPath.isNotEmpty())
        table.selectRow (index, true, true);
    else
        table.deselectAllRows();

    if (isRenaming())
    {
        editingRow = findRowByPath (editingPath);

        if (editingRow < 0)
        {
            editingRow = -1;
            editingPath = {};
            editor.setVisible (false);
        }
        else
        {
            resized();
        }
    }

    repaint();
}

void ReportPage::DeliveryTable::showRows (std::vector<DeliveryRow> newRows, bool keepSort)
{
    receivedRows = std::move (newRows);

    if (! keepSort)
    {
        sortColumn = noSortColumn;
        sortForwards = true;
        table.getHeader().setSortColumnId (noSortColumn, true);
    }

    applySort();
    table.updateContent();

    const auto font = fontPlain14_5();
    contentWidths = fitDeliveryColumnsToContent (receivedRows, [&font] (const juce::String& text) { return measureTextWidthCeil (font, text); });
    fitColumns();
}

void ReportPage::DeliveryTable::fitColumns()
{
    const auto visibleWidth = table.getViewport()->getMaximumVisibleWidth();

    if (visibleWidth <= 0)
        return;

    auto& header = table.getHeader();

    // Stretching would share each width set here among the columns to its right; the fitted
    // widths already fill the table. It stays on for a drag on a column's edge.
    header.setStretchToFitActive (false);

    fitHeaderColumns (header, visibleWidth, getDeliveryColumnFitOrder(), [this] (int id) -> std::optional<ColumnRoom>
    {
        const auto* setup = findColumnSetup (id);

        if (setup == nullptr)
            return std::nullopt;

        auto wanted = setup->width;

        for (const auto& w : contentWidths)
            if (w.column == id)
                wanted = juce::jmin (wanted, w.width);

        // Only the sorted column's caption shares its cell with the arrow. A number column never
        // gives way past what its numbers need squeezed: a peak that ends in "..." says nothing.
        auto minimum = juce::jmax (setup->minimumWidth, AppLookAndFeel::minimumHeaderColumnWidth (setup->caption, id == sortColumn, table.getHeaderHeight()));

        if (isNumberColumn (id))
            for (const auto& w : contentWidths)
                if (w.column == id)
                    minimum = juce::jmax (minimum, squeezedNumberWidth (w.width));

        return ColumnRoom { id, juce::jmax (wanted, minimum), minimum };
    });

    header.setStretchToFitActive (true);
}

void ReportPage::DeliveryTable::applySort()
{
    rows = receivedRows;
    sortDeliveryRows (rows, sortColumn, sortForwards);
}

const DeliveryRow* ReportPage::DeliveryTable::getRow (int index) const
{
    return juce::isPositiveAndBelow (index, (int) rows.size()) ? &rows[(size_t) index] : nullptr;
}

int ReportPage::DeliveryTable::findFirstRowWithFile() const
{
    return findRowWithFile (rows, -1, 1);
}

int ReportPage::DeliveryTable::findRowByPath (const juce::String& path) const
{
    if (path.isEmpty())
        return -1;

    for (size_t i = 0; i < rows.size(); ++i)
        if (isSamePath (rows[i].file.getFullPathName(), path))
            return (int) i;

    return -1;
}

void ReportPage::DeliveryTable::selectOnly (int index)
{
    if (getRow (index) == nullptr)
        return;

    table.scrollToEnsureRowIsOnscreen (index);
    table.selectRow (index, true, true);
}

void ReportPage::DeliveryTable::startRename (int index)
{
    // Committing the open rename may rebuild and re-sort the rows: the row is found again by
    // its file.
    const auto* target = getRow (index);
    const auto path = target != nullptr && target->hasFile() ? target->file.getFullPathName() : juce::String();

    (void) finishRename (true);

    index = findRowByPath (path);

    if (index < 0)
        return;

    editingRow = index;
    editingPath = path;
    editor.setText (rows[(size_t) index].file.getFileNameWithoutExtension(), juce::dontSendNotification);
    resized();
    editor.setVisible (true);
    editor.toFront (true);
    editor.grabKeyboardFocus();
    editor.selectAll();
}

bool ReportPage::DeliveryTable::finishRename (bool commit)
{
    if (! editor.isVisible())
        return true;

    const auto typed = editor.getText();
    const auto row = editingRow;
    editingRow = -1;
    editingPath = {};
    editor.setVisible (false);

    if (commit && onRename != nullptr)
        if (const auto* r = getRow (row))
            if (const auto name = getRenameRequest (*r, typed))
                return onRename (row, *name);

    return true;
}

bool ReportPage::DeliveryTable::setPlayingMarker (const juce::String& path, double fraction)
{
    if (isSamePath (path, playingPath) && std::abs (fraction - playingFraction) < 0.002)
        return false;

    playingPath = path;
    playingFraction = fraction;
    table.repaint();
    return true;
}

int ReportPage::DeliveryTable::getNumRows()
{
    return (int) rows.size();
}

void ReportPage::DeliveryTable::paintRowBackground (juce::Graphics& g, int row, int, int, bool selected)
{
    const auto palette = currentPalette();

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));
    else if (row % 2 == 1)
        g.fillAll (palette.raisedBackground.withAlpha (0.35f));
}

void ReportPage::DeliveryTable::paintCell (juce::Graphics& g, int rowNumber, int columnId, int width, int height, bool)
{
    const auto* row = getRow (rowNumber);

    if (row == nullptr)
        return;

    const auto palette = currentPalette();
    const auto hasFile = row->hasFile();
    const auto kindColour = juce::Colour (getFileKindColour (row->kind).colour);

    g.setColour (palette.outline.withAlpha (0.6f));
    g.fillRect (width - 1, 2, 1, juce::jmax (0, height - 4));

    const juce::Rectangle<int> area (8, 2, textRoom (width), juce::jmax (0, height - 4));
    g.setFont (fontPlain14_5());

    const auto text = getDeliveryCellText (*row, columnId);
    auto justification = juce::Justification::centredLeft;
    juce::Colour colour = palette.textSecondary;

    switch (columnId)
    {
        case previewColumn:
        {
            if (row->overview.isEmpty())
            {
                g.setFont (fontPlain12());
                g.setColour (palette.textDisabled);
                g.drawText ("-", area, juce::Justification::centred);
            }
            else
            {
                drawWaveform (g, area.toFloat(), row->overview, kindColour, true);
            }

            if (playingFraction >= 0.0 && isSamePath (row->file.getFullPathName(), playingPath) && hasFile)
            {
                g.setColour (palette.textPrimary.withAlpha (0.8f));
                g.fillRect ((float) (8.0 + playingFraction * (width - 16)), 2.0f, 1.0f, (float) juce::jmax (0, height - 4));
            }

            return;
        }
        case fileColumn:
            colour = dimmedUnless (hasFile, row->statusIsProblem ? palette.bad : palette.textPrimary);
            break;
        case kindColumn:
            colour = dimmedUnless (hasFile, kindColour);
            break;
        case tracksColumn:
        case peakColumn:
        case lengthColumn:
        case sizeColumn:
            colour = dimmedUnless (hasFile, palette.textSecondary);
            justification = juce::Justification::centredRight;
            break;
        case statusColumn:
            colour = row->statusIsProblem ? palette.bad : dimmedUnless (hasFile, palette.textSecondary);
            break;
        default:
            colour = dimmedUnless (hasFile, palette.textSecondary);
            break;
    }

    g.setColour (colour);

    // Numbers are squeezed rather than cut: a peak that ends in "..." says nothing. A shortened
    // text shows whole in the cell's tooltip.
    if (isNumberColumn (columnId))
        g.drawFittedText (text, area, justification, 1, narrowestNumberScale);
    else
        g.drawText (fittedCellText (text, columnId, width), area, justification, false);
}

juce::String ReportPage::DeliveryTable::getCellTooltip (int rowNumber, int columnId)
{
    const auto* row = getRow (rowNumber);

    if (row == nullptr || isNumberColumn (columnId) || columnId == previewColumn)
        return {};

    const auto text = getDeliveryCellText (*row, columnId);
    const auto width = table.getHeader().getColumnWidth (columnId);
    return fittedCellText (text, columnId, width) != text ? text : juce::String();
}

void ReportPage::DeliveryTable::cellClicked (int row, int, const juce::MouseEvent& e)
{
    // The release of a double click's second press belongs to the double click.
    if (e.getNumberOfClicks() > 1)
        return;

    if (onRowClicked != nullptr)
        onRowClicked (row, false);
}

void ReportPage::DeliveryTable::cellDoubleClicked (int row, int columnId, const juce::MouseEvent&)
{
    const auto* r = getRow (row);

    if (columnId == fileColumn && r != nullptr && r->hasFile())
        startRename (row);
    else if (onRowClicked != nullptr)
        onRowClicked (row, true);
}

void ReportPage::DeliveryTable::sortOrderChanged (int columnId, bool forwards)
{
    // The header reports every change later, also the ones this table made itself.
    if (columnId == sortColumn && (columnId == noSortColumn || forwards == sortForwards))
        return;

    const auto selected = getRow (table.getSelectedRow());
    const auto selectedPath = selected != nullptr ? selected->file.getFullPathName() : juce::String();

    (void) finishRename (false);
    sortColumn = columnId;
    sortForwards = forwards;
    applySort();
    table.updateContent();
    fitColumns();

    const auto index = findRowByPath (selectedPath);

    if (index >= 0)
        table.selectRow (index, true, true);
    else
        table.deselectAllRows();

    table.repaint();

    if (onRowsReordered != nullptr)
        onRowsReordered();
}

void ReportPage::DeliveryTable::scrollBarMoved (juce::ScrollBar*, double)
{
    if (isRenaming())
        (void) finishRename (true);
}

bool ReportPage::DeliveryTable::keyPressed (const juce::KeyPress& key, juce::Component* origin)
{
    if (origin != &editor || key.getKeyCode() != juce::KeyPress::tabKey)
        return false;

    // Past the last file (or before the first) the editor stays open and the key goes nowhere.
    const auto target = findRowWithFile (rows, editingRow, key.getModifiers().isShiftDown() ? -1 : 1);

    if (target < 0)
        return true;

    const auto targetPath = rows[(size_t) target].file.getFullPathName();

    if (finishRename (true))
    {
        juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<DeliveryTable> (this), targetPath]
                                         {
                                             if (auto* self = safe.getComponent())
                                             {
                                                 const auto index = self->findRowByPath (targetPath);

                                                 if (index >= 0)
                                                 {
                                                     self->selectOnly (index);
                                                     self->startRename (index);
                                                 }
                                             }
                                         });
    }

    return true;
}

void ReportPage::DeliveryTable::resized()
{
    table.setBounds (getLocalBounds());
    fitColumns();

    if (editingRow >= 0)
    {
        const auto cell = table.getCellPosition (fileColumn, editingRow, true);
        editor.setBounds (table.getX() + cell.getX(), table.getY() + cell.getY() + 1, cell.getWidth(), juce::jmax (0, cell.getHeight() - 2));
    }
}

} // namespace dunmoor::ui
