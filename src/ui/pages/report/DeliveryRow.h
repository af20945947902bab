#pragma once

#include <optional>
#include <vector>

#include "core/render/CueReport.h"
#include "ui/widgets/ColumnFit.h"

namespace dunmoor::ui
{

/** One file a cue wrote, as the delivery table shows it. */
struct DeliveryRow
{
    juce::String fileName;          // with extension
    juce::File file;                // empty path: nothing was written
    WaveformOverview overview;      // of the written audio
    int kind = WrittenFile::stemKind;
    juce::String description;       // the encoder's settings
    int64_t sizeBytes = 0;
    double lengthSeconds = 0.0;
    int trackCount = 0;             // 0: not known
    double peakDb = -400.0;         // meaningful only when hasPeak
    bool hasPeak = false;
    juce::String status;
    bool statusIsProblem = false;

    bool hasFile() const { return file.getFullPathName().isNotEmpty(); }
};

/** The delivery table's columns, by header id. */
enum DeliveryColumn
{
    noSortColumn = 0,
    fileColumn = 1,
    previewColumn,
    kindColumn,
    tracksColumn,
    peakColumn,
    formatColumn,
    lengthColumn,
    sizeColumn,
    statusColumn
};

/** The row of one written file of the cue. A stem's file takes its track count, peak and notes
    from the stem report of the same id; a mix matches no stem, even one of its own name. */
DeliveryRow makeDeliveryRow (const CueReport& cue, const WrittenFile& written);

/** One row per written file of the cue, in the order they were written. */
std::vector<DeliveryRow> makeDeliveryRows (const CueReport& cue);

/** The text of a cell; empty for the Preview column, which is drawn. */
juce::String getDeliveryCellText (const DeliveryRow& row, int columnId);

/** "1.0 MB" from 1,048,576 bytes, whole kilobytes below ("1023 KB"), "-" for nothing. */
juce::String formatDeliverySize (int64_t bytes);

/** File names in natural order, ignoring case: runs of digits compare by value (2 before 10);
    a name that ends first comes first. Negative, 0 or positive. */
int compareFileNamesNaturally (const juce::String& a, const juce::String& b);

/** The widest cell text of each text column over the rows, + 16 for the cell's indents; the
    Preview column has none. */
std::vector<ColumnWidth> fitDeliveryColumnsToContent (const std::vector<DeliveryRow>& rows, const TextMeasure& measure);

/** File takes what the others leave and gives way last, as the name is what tells the files
    apart; the status and the waveform give way first, then the numbers (which squeeze rather
    than lose digits), the format late. Kind's few letters are as narrow as its caption already. */
const ColumnFitOrder& getDeliveryColumnFitOrder();

/** The order of two rows by a column; rows without a peak come after rows with one. */
int compareDeliveryRows (const DeliveryRow& a, const DeliveryRow& b, int columnId);

/** Sorts stably by the column, ascending when forwards; equal rows keep their order. Column 0
    and the Preview column leave the rows as they are. */
void sortDeliveryRows (std::vector<DeliveryRow>& rows, int columnId, bool forwards);

/** The display index of the first row after from (step 1) or before it (step -1) that has a
    written file; -1 when there is none that way. */
int findRowWithFile (const std::vector<DeliveryRow>& rows, int from, int step);

/** The name to ask for when the user confirms typed text in the rename editor: the text trimmed,
    when it is not empty and differs (with case) from the file's present name without its
    extension; nothing otherwise. */
std::optional<juce::String> getRenameRequest (const DeliveryRow& row, const juce::String& typed);

} // namespace dunmoor::ui
