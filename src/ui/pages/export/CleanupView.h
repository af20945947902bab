#pragma once

#include <optional>
#include <vector>

#include "ExportResultRows.h"
#include "core/model/Preset.h"

namespace dunmoor::ui
{

/**
    What the cleanup preview decides without a component: its shared zoom window, the row
    heights, where a click or a key sends the playhead, when a row needs a closer look at its
    source file, how its rows fall into cue groups, and the name of a track's cleaned preview.
*/
namespace CleanupView
{
    constexpr double minimumZoomWidth = 0.0005;
    constexpr double detailZoomWidth = 0.25;     // details are read for windows this narrow or narrower
    constexpr double zoomInFactor = 0.6;
    constexpr double zoomOutFactor = 1.0 / 0.6;
    constexpr double wheelFactor = 0.9;
    constexpr int defaultRowHeight = 58;
    constexpr int minimumRowHeight = 26;
    constexpr int maximumRowHeight = 220;
    constexpr int groupHeaderHeight = 30;
    constexpr int headerStripHeight = 34;
    constexpr int margin = 12;
    constexpr int detailBuckets = 2400;
    constexpr int settleMilliseconds = 180;

    /** The part of every take the rows show, as fractions 0..1. */
    struct ZoomWindow
    {
        double start = 0.0;
        double end = 1.0;

        double getWidth() const noexcept { return end - start; }
        bool operator== (const ZoomWindow& o) const noexcept { return start == o.start && end == o.end; }
    };

    /** The width times the factor (0.0005..1), about the window's centre, kept inside 0..1. */
    ZoomWindow zoomBy (ZoomWindow window, double factor);

    /** One wheel step at a point of the waveform column (0..1 of its width): in for a positive
        delta, out for a negative one, the fraction under the pointer staying where it is. */
    ZoomWindow zoomAtPointer (ZoomWindow window, bool zoomIn, double pointerProportion);

    int tallerRowHeight (int rowHeight);
    int shorterRowHeight (int rowHeight);

    /** A part of the source file read for a row, with its overview. */
    struct Detail
    {
        double start = 0.0;
        double end = 1.0;
        WaveformOverview overview;

        bool hasData() const noexcept { return ! overview.isEmpty(); }
    };

    /** The detail has data for every part of the window. */
    bool detailCovers (const Detail& detail, ZoomWindow window);

    /** The row needs a new detail for the window: none yet, one that misses part of it, or one
        so much wider that it would draw coarsely. */
    bool detailNeedsFetch (const Detail& detail, ZoomWindow window);

    /** Where the play button starts a row, in seconds: 0, or where the sound comes back when the
        take begins with a cleaned stretch. */
    double playStartSeconds (const GatedTrackRow& row);

    /** Where a click at a fraction of the take plays from, in seconds: inside a cleaned stretch,
        where its sound comes back. */
    double clickSeconds (const GatedTrackRow& row, double fraction);

    /** The next (or, backwards, the last at least one second before the playhead) point where a
        cleaned stretch ends and the sound comes back, in seconds; none when there is no such
        point. A stretch that runs to the end of the take is never one. playheadFraction < 0
        means nothing of the row plays. */
    std::optional<double> jumpTargetSeconds (const GatedTrackRow& row, double playheadFraction, bool forward);

    //==============================================================================
    /** One line of the list: a cue group's header or a track row. */
    struct Item
    {
        bool isHeader = false;
        int row = 0;          // the track row, or the group's first row
        int y = 0;            // from the top of the rows, below the header strip
        int height = 0;
        int groupSize = 0;    // headers: rows in the group
        bool folded = false;  // headers: the group is folded
    };

    /** Groups of adjacent rows with one cue name; a folded group shows its header only. */
    std::vector<Item> buildItems (const std::vector<GatedTrackRow>& rows, const juce::StringArray& foldedCues, int rowHeight);

    /** The list's height: 58 + 30 per group + the row height per row of an unfolded group. */
    int heightFor (const std::vector<Item>& items);

    /** The line over the rows: tracks touched, seconds taken down. */
    juce::String describeCleanup (const std::vector<GatedTrackRow>& rows);

    /** A row's figure beside its name: "all of it", "1.2 s" or "-". */
    juce::String describeRow (const GatedTrackRow& row);

    //==============================================================================
    /** The file name of a source's cleaned preview. It changes with anything that changes the
        audio: the source's path, size and modification time, the gate's settings (on or off
        included) and the project rate. */
    juce::String previewFileName (const juce::String& sourcePath,
                                  juce::int64 sourceSize,
                                  juce::int64 sourceModifiedMs,
                                  const SilenceGateSettings& gate,
                                  double projectRate);

    /** The 64-bit text hash (h = h x 101 + code point), in decimal with its sign. */
    juce::String hash64 (const juce::String& text);

    /** The 32-bit text hash (h = h x 31 + code point), in decimal with its sign. */
    juce::String hash32 (const juce::String& text);
} // namespace CleanupView

} // namespace dunmoor::ui
