#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "CleanupView.h"
#include "ExportResultRows.h"
#include "ui/widgets/LatestRequestRunner.h"

namespace dunmoor::ui
{

/**
    The cleanup preview: one row per track the noise-floor cleanup read in the last run, grouped
    by cue, each with the cleaned waveform, its cleaned stretches shaded and their fades marked,
    a play button and a button to the next cleaned stretch. All rows share one zoom window; a
    window of a quarter of the take or less shows the source file itself, read for the rows in
    view, in the background, 180 ms after the zoom settles.

    Audition goes through the callbacks the page sets. Only the latest fetch's reads count
    (LatestRequestRunner): a new fetch drops the old reads without waiting, and a read that
    arrives for a row that now holds another file is dropped too. Reads poll their cancel check
    per block; the destructor waits for a running one however long its block takes.
*/
class GatedTrackList : public juce::Component
{
public:
    using Row = GatedTrackRow;
    using Detail = CleanupView::Detail;
    using ZoomWindow = CleanupView::ZoomWindow;

    GatedTrackList();
    ~GatedTrackList() override;

    /** Takes the rows: folds and details reset, the zoom window kept. Visible exactly when there
        is a row. */
    void setRows (std::vector<Row> newRows);

    const std::vector<Row>& getRows() const noexcept { return rows; }
    const std::vector<Detail>& getDetails() const noexcept { return details; }

    /** Gives the cue's rows its new name; true when a row changed. */
    bool renameCue (const juce::String& cueKey, const juce::String& name);

    /** 58 + 30 per cue group + the row height per row of an open group; 0 without rows. */
    int getIdealHeight() const { return CleanupView::heightFor (items); }

    //==============================================================================
    ZoomWindow getZoomWindow() const noexcept { return zoom; }
    void setZoomWindow (ZoomWindow window);
    void zoomBy (double factor);
    void showWholeTake() { setZoomWindow ({}); }

    int getRowHeight() const noexcept { return rowHeight; }
    void makeRowsTaller();
    void makeRowsShorter();

    int getLabelWidth() const noexcept { return labelWidth; }

    const juce::StringArray& getFoldedCues() const noexcept { return collapsedCues; }
    void toggleFold (const juce::String& cueName);

    /** Reads the details the zoom window needs, rows in view first. */
    void fetchDetails();

    /** Right or Left while a row plays: to the next or previous cleaned stretch of that row. */
    bool handlePlayingRowKey (bool forward);
    bool jumpToCleanedStretch (int row, bool forward);

    //==============================================================================
    // Geometry, in the list's coordinates.

    /** The row's rectangle, or an empty one when it is folded away. */
    juce::Rectangle<int> getRowBounds (int row) const;
    juce::Rectangle<int> getPlayButtonBounds (int row) const;
    juce::Rectangle<int> getJumpButtonBounds (int row) const;
    juce::Rectangle<int> getWaveformBounds (int row) const;
    juce::Rectangle<int> getGroupHeaderBounds (const juce::String& cueName) const;

    /** The x of a fraction of the take in a row's waveform box, at the current zoom. */
    float xForFraction (juce::Rectangle<int> waveformBox, double fraction) const;

    //==============================================================================
    std::function<void (const Row&, double seconds)> onPlay;
    std::function<void (const Row&, double seconds)> onSeek;
    std::function<bool (const Row&)> isPlaying;
    std::function<void()> onTogglePlay;
    std::function<double (const Row&)> getPlayheadFraction;
    std::function<void()> onHeightChanged;

    juce::Colour shadeColour { 0xff8fc9e8 };
    juce::Colour fadeColour { 0xff2f6ad9 };

    void paint (juce::Graphics& g) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    bool keyPressed (const juce::KeyPress& key) override;

private:
    struct SettleTimer : public juce::Timer
    {
        explicit SettleTimer (GatedTrackList& l) : list (l) {}
        void timerCallback() override;
        GatedTrackList& list;
    };

    void setRowHeight (int height);
    void rebuildItems();
    void restartSettleTimer();
    void receiveDetail (int index, const juce::File& file, double start, double end, WaveformOverview overview);
    juce::Rectangle<int> getArea() const;
    juce::Rectangle<int> getWaveformColumn() const;
    juce::Rectangle<int> itemBounds (const CleanupView::Item& item) const;
    void paintGroupHeader (juce::Graphics& g, const CleanupView::Item& item, juce::Rectangle<int> bounds);
    void paintRow (juce::Graphics& g, int index, juce::Rectangle<int> bounds);

    std::vector<Row> rows;
    std::vector<Detail> details;
    std::vector<CleanupView::Item> items;
    std::vector<int> itemOfRow;        // per row: its item, -1 when folded away
    juce::StringArray collapsedCues;
    ZoomWindow zoom;
    int rowHeight = CleanupView::defaultRowHeight;
    int labelWidth = 320;
    SettleTimer settleTimer { *this };

    // Last: it goes first, waiting for a running read before anything a read hands back to goes.
    LatestRequestRunner detailReads { "Brackenfold cleanup detail" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GatedTrackList)
};

} // namespace dunmoor::ui
