#pragma once

#include <functional>
#include <unordered_map>
#include <vector>

#include <juce_core/juce_core.h>

#include "core/audio/WaveformOverview.h"
#include "core/session/Session.h"

namespace dunmoor::ui
{

/** The Import page's table columns, by id. */
namespace ImportColumn
{
    enum : int
    {
        file = 1,
        preview,
        cue,
        format,
        duration,
        rate,
        depth,
        channels,
        stem,
        clip,
        status
    };

    constexpr int count = 11;
} // namespace ImportColumn

/** Caption, initial width and minimum width of a column, and whether it sorts. */
struct ImportColumnInfo
{
    int id;
    const char* caption;
    int width;
    int minimum;
    bool sortable;
};

/** The eleven columns in order. */
const std::vector<ImportColumnInfo>& getImportColumns();

/** What the waveform cache knows of a file's clipping. */
enum class ClipState
{
    unknown, // no overview yet (or the track is unreadable)
    clean,
    clipped
};

/** A track's clip state by its overview: clipped when the longest run of near-full-scale
    samples is 3 or more. */
ClipState clipStateOf (const WaveformOverview* overview);

/**
    The rows of the Import page's track table: the session's tracks filtered by a search text
    and sorted by one column, held as track ids so that a selection survives every refresh.

    Sort keys are built once per refresh for the sort column; the page rebuilds the rows on
    every session notification, sort change and search keystroke.
*/
class ImportRowModel
{
public:
    using ClipLookup = std::function<ClipState (const Track&)>;

    /**
        Rebuilds the rows: every track whose file name holds the trimmed search text (ignoring
        case; an empty text keeps all), in session order, then stable-sorted by the column's key,
        compared ignoring case (forwards: ascending).
    */
    void refresh (const Session& session,
                  const juce::String& searchText,
                  int sortColumn,
                  bool forwards,
                  const ClipLookup& clipState);

    int getNumRows() const noexcept { return (int) rows.size(); }

    /** The track id of a row; empty outside the rows. */
    juce::String getTrackId (int row) const;

    /** The row of a track id; -1 when it is not shown. */
    int findRow (const juce::String& trackId) const;

    const std::vector<juce::String>& getTrackIds() const noexcept { return rows; }

    /** For the footer: -1 when the session has no tracks or every track is shown, else the
        number of shown rows. */
    int getShownTrackCount (const Session& session) const;

    /** The text a track is sorted by in a column; empty for a column without one. */
    static juce::String getSortKey (const Session& session, const Track& track, int column, ClipState clip);

private:
    struct StringHash
    {
        size_t operator() (const juce::String& s) const noexcept { return (size_t) s.hashCode64(); }
    };

    std::vector<juce::String> rows;
    std::unordered_map<juce::String, int, StringHash> rowById;
};

//==============================================================================
/** What the page's controls show for the session as it is. */
struct ImportStatus
{
    bool dropHintVisible = true;   // no tracks
    bool removeEnabled = false;    // tracks
    bool clearEnabled = false;     // tracks
    bool cueColumnVisible = false; // two or more cues hold tracks
};

ImportStatus getImportStatus (const Session& session);

/** The text of a text cell (File, Cue, Format, Duration, Rate, Depth, Ch, Stem); empty for the
    others. Cue reads "-" without a cue, Stem "-" without a stem of the schema. */
juce::String getCellText (const Session& session, const Track& track, int column);

/** The tooltip of a cell. */
juce::String getCellTooltip (const Session& session, const Track& track, int column, ClipState clip);

/** The stem a track's cells show: its stem in the session's schema, or nullptr. */
const Stem* findTrackStem (const Session& session, const Track& track);

//==============================================================================
/** Measures a text's width in pixels in the table's font, rounded up. */
using TextMeasure = std::function<int (const juce::String&)>;

/** A column width the content asks for. */
struct ColumnWidth
{
    int column;
    int width;
};

/**
    Widths fitted to the shown rows: File to its widest name + 24 (200..620), Cue when visible
    to its widest name + 24 (90..320), Format, Duration, Rate and Depth to the wider of caption
    and widest text, + 24. Texts of equal content are measured once.
*/
std::vector<ColumnWidth> fitColumnsToContent (const Session& session,
                                              const std::vector<juce::String>& shownIds,
                                              bool cueColumnVisible,
                                              const TextMeasure& measure);

/** The Preview column's width: what the viewport leaves after the other visible columns, at
    least 120. */
int fitPreviewColumnWidth (int viewportWidth, int otherColumnsWidth);

/** A shown column: the width its content asks for and the narrowest it may become. */
struct ColumnRoom
{
    int column;
    int wanted;
    int minimum;
};

/**
    The shown columns' widths in a table that shows viewportWidth: Preview takes what the others
    leave (at least 120). Columns that together are wider than the table give way in a fixed
    order, each down to its minimum before the next one starts: Preview, Cue, Stem, Status, File;
    the others are as narrow as their texts already. Columns still too wide for a very narrow
    table stay at their minimums.
*/
std::vector<ColumnWidth> fitColumnsToTable (const std::vector<ColumnRoom>& columns, int viewportWidth);

//==============================================================================
/** What a message box after an import says, when it says anything. */
struct ImportSummaryBox
{
    bool show = false;
    bool warning = false; // warning icon; else the information icon
    juce::String title;
    juce::String message;
};

/** The box for an import's summary: shown when it has messages, skipped split files or files
    that were already in the list (an import that adds nothing must still say why). */
ImportSummaryBox describeImportSummary (const ImportSummary& summary);

/** A recent folder's menu label: "parent / name", or the name alone when the parent has none. */
juce::String getRecentFolderLabel (const juce::File& folder);

} // namespace dunmoor::ui
