#include "DeliveryRow.h"

#include <algorithm>

#include "ReportTexts.h"
#include "core/model/Types.h"

namespace dunmoor::ui
{

DeliveryRow makeDeliveryRow (const CueReport& cue, const WrittenFile& written)
{
    DeliveryRow row;
    row.fileName = written.file.getFileName();
    row.file = written.file;
    row.overview = written.overview;
    row.kind = written.kind;
    row.description = written.settingsDescription;
    row.sizeBytes = written.fileSize;
    row.lengthSeconds = written.overview.duration;

    if (written.peakDb > -399.0)
    {
        row.peakDb = written.peakDb;
        row.hasPeak = true;
    }

    // By id, never by name: stem names may repeat, and a mix may be called like a stem.
    if (written.kind == WrittenFile::stemKind && written.stemId.isNotEmpty())
    {
        const auto stem = std::find_if (cue.stems.begin(), cue.stems.end(), [&] (const StemReport& s) { return s.id == written.stemId; });

        if (stem != cue.stems.end())
        {
            row.trackCount = stem->trackCount;

            if (! row.hasPeak)
            {
                row.peakDb = stem->peakAfterDb;
                row.hasPeak = true;
            }

            if (stem->isDigitalSilence)
                row.status = "digital silence";

            // Written without a track that could not be read: the file is not the whole stem.
            if (const auto notRead = cue.getUnreadableTracksOf (stem->id); ! notRead.isEmpty())
            {
                row.status = "could not be read: " + notRead.joinIntoString (", ");
                row.statusIsProblem = true;
            }

            if (! stem->errors.isEmpty())
            {
                row.status = stem->errors[0];
                row.statusIsProblem = true;
            }
        }
    }

    if (written.ownGain)
    {
        row.status = "own gain, not the exact sum of its stems";
        row.statusIsProblem = false;
    }

    return row;
}

std::vector<DeliveryRow> makeDeliveryRows (const CueReport& cue)
{
    std::vector<DeliveryRow> rows;
    rows.reserve (cue.files.size());

    for (const auto& written : cue.files)
        rows.push_back (makeDeliveryRow (cue, written));

    return rows;
}

juce::String getDeliveryCellText (const DeliveryRow& row, int columnId)
{
    switch (columnId)
    {
        case fileColumn:
            return row.fileName;
        case kindColumn:
            return row.kind == WrittenFile::fullMixKind ? "mix" : row.kind == WrittenFile::alternativeMixKind ? "alt" : "stem";
        case tracksColumn:
            return row.trackCount < 1 ? juce::String ("-") : juce::String (row.trackCount);
        case peakColumn:
            return row.hasPeak ? formatDecibels (row.peakDb) : juce::String ("-");
        case formatColumn:
            return row.description;
        case lengthColumn:
            return row.lengthSeconds > 0.0 ? formatDuration (row.lengthSeconds) : juce::String ("-");
        case sizeColumn:
            return formatDeliverySize (row.sizeBytes);
        case statusColumn:
            return row.status;
        default:
            return {};
    }
}

std::vector<ColumnWidth> fitDeliveryColumnsToContent (const std::vector<DeliveryRow>& rows, const TextMeasure& measure)
{
    std::vector<ColumnWidth> widths;

    for (const auto column : { fileColumn, kindColumn, tracksColumn, peakColumn, formatColumn, lengthColumn, sizeColumn, statusColumn })
    {
        std::vector<juce::String> texts;
        texts.reserve (rows.size());

        for (const auto& row : rows)
            texts.push_back (getDeliveryCellText (row, column));

        widths.push_back ({ column, widestText (texts, measure) + 16 });
    }

    return widths;
}

const ColumnFitOrder& getDeliveryColumnFitOrder()
{
    static const ColumnFitOrder order { fileColumn, { statusColumn, previewColumn, tracksColumn, lengthColumn, sizeColumn, peakColumn, formatColumn, fileColumn } };
    return order;
}

juce::String formatDeliverySize (int64_t bytes)
{
    constexpr int64_t megabyte = 1048576;

    if (bytes >= megabyte)
        return juce::String ((double) bytes / (double) megabyte, 1) + " MB";

    if (bytes >= 1)
        return juce::String (bytes / 1024) + " KB";

    return "-";
}

int compareFileNamesNaturally (const juce::String& a, const juce::String& b)
{
    auto p = a.getCharPointer();
    auto q = b.getCharPointer();

    for (;;)
    {
        if (p.isEmpty() || q.isEmpty())
            return p.isEmpty() ? (q.isEmpty() ? 0 : -1) : 1;

        if (p.isDigit() && q.isDigit())
        {
            // Compare the runs by value without reading them into a number: leading zeros
            // dropped, the longer run is the larger, equal lengths compare digit by digit.
            while (*p == '0' && (p + 1).isDigit())
                ++p;

            while (*q == '0' && (q + 1).isDigit())
                ++q;

            auto endP = p;
            auto endQ = q;
            int lengthP = 0, lengthQ = 0;

            while (endP.isDigit())
            {
                ++endP;
                ++lengthP;
            }

            while (endQ.isDigit())
            {
                ++endQ;
                ++lengthQ;
            }

            if (lengthP != lengthQ)
                return lengthP < lengthQ ? -1 : 1;

            for (; p != endP; ++p, ++q)
                if (*p != *q)
                    return *p < *q ? -1 : 1;

            q = endQ;
            continue;
        }

        const auto x = juce::CharacterFunctions::toLowerCase (*p);
        const auto y = juce::CharacterFunctions::toLowerCase (*q);

        if (x != y)
            return x < y ? -1 : 1;

        ++p;
        ++q;
    }
}

namespace
{
    template <typename T>
    int compareValues (T a, T b)
    {
        return a < b ? -1 : (b < a ? 1 : 0);
    }
} // namespace

int compareDeliveryRows (const DeliveryRow& a, const DeliveryRow& b, int columnId)
{
    switch (columnId)
    {
        case fileColumn:
            return compareFileNamesNaturally (a.fileName, b.fileName);
        case kindColumn:
            return compareValues (a.kind, b.kind);
        case tracksColumn:
            return compareValues (a.trackCount, b.trackCount);
        case peakColumn:
            if (a.hasPeak != b.hasPeak)
                return a.hasPeak ? -1 : 1;

            return a.hasPeak ? compareValues (a.peakDb, b.peakDb) : 0;
        case formatColumn:
            return a.description.compareNatural (b.description, false);
        case lengthColumn:
            return compareValues (a.lengthSeconds, b.lengthSeconds);
        case sizeColumn:
            return compareValues (a.sizeBytes, b.sizeBytes);
        case statusColumn:
            return a.status.compareNatural (b.status, false);
        default:
            return 0;
    }
}

void sortDeliveryRows (std::vector<DeliveryRow>& rows, int columnId, bool forwards)
{
    if (columnId == noSortColumn || columnId == previewColumn)
        return;

    std::stable_sort (rows.begin(), rows.end(), [columnId, forwards] (const DeliveryRow& a, const DeliveryRow& b)
                      { return forwards ? compareDeliveryRows (a, b, columnId) < 0
                                        : compareDeliveryRows (b, a, columnId) < 0; });
}

int findRowWithFile (const std::vector<DeliveryRow>& rows, int from, int step)
{
    for (int i = from + step; i >= 0 && i < (int) rows.size(); i += step)
        if (rows[(size_t) i].hasFile())
            return i;

    return -1;
}

std::optional<juce::String> getRenameRequest (const DeliveryRow& row, const juce::String& typed)
{
    const auto name = typed.trim();

    if (name.isEmpty() || name == row.file.getFileNameWithoutExtension())
        return std::nullopt;

    return name;
}

} // namespace dunmoor::ui
