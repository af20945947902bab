#pragma once

#include <functional>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/session/Session.h"
#include "ui/app/AppState.h"
#include "ui/pages/review/ReviewCueChoice.h"
#include "ui/pages/review/ReviewMixChoice.h"
#include "ui/pages/review/ReviewTreeModel.h"
#include "ui/pages/review/StemMeters.h"
#include "ui/widgets/TransportButton.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::ui
{

/**
    Step 3 of the workflow: every track under its stem in a tree, to check and correct the
    automatic assignment (assign menu, drag and drop, locks, undo, re-running the engine, keyword
    rules from a correction), narrowed to one cue and to what needs attention, and an audition
    strip that plays the selection or a cue's mix while each stem heading shows a live meter.

    The page holds no project data: it rebuilds its tree from the session at its next 10 Hz tick
    after any session notification, so a burst of notifications costs one rebuild. Message
    thread only.
*/
class ReviewPage : public juce::Component,
                   public juce::DragAndDropContainer,
                   private Session::Listener,
                   private WaveformCache::Listener,
                   private juce::Timer
{
public:
    explicit ReviewPage (AppState& app);
    ~ReviewPage() override;

    //==============================================================================
    void paint (juce::Graphics&) override;
    void resized() override;
    void lookAndFeelChanged() override;

    //==============================================================================
    /** Builds the tree again from the session, keeping closed headings closed, the selection
        (tracks by id, headings by stem) and the scroll position. */
    void rebuildTree();

    /** The selected tracks in tree order: selected track rows and the rows under selected
        headings, each once. */
    juce::StringArray getSelectedTrackIds() const;

    /** Plays the selection summed (or stops it when it is already playing); with a fraction of
        the shown waveform, starts there. The Space key of the page lands here. */
    void auditionSelection (std::optional<double> startFraction = std::nullopt);

    /** Plays the chosen cue's mix (full or alternative), or stops it. */
    void toggleMixAudition();

    /** A click into the waveform strip at a fraction of its width. */
    void seekPreview (double fraction);

    /** The assign popup for the selection: at the mouse from the tree, else at the button. */
    void buildAssignMenu (bool fromTree);

    /** The candidate words of the first selected track, to add one as a rule of its stem. */
    void showRuleMenu();

    /** The stem order and expand/collapse menu of a heading's right-click. */
    void showStemMenu();

    void toggleAlphabeticalStems (bool alphabetical);

    /** The bar of a stem's meter, 0..1 (the "Unassigned" heading's key is empty). */
    float getMeterLevel (const juce::String& stemKey) const { return meters.getLevel (stemKey); }
    float getMeterPeak (const juce::String& stemKey) const { return meters.getPeak (stemKey); }

    /** One step of the meters at the clock's time; the meter timer calls it at 60 Hz. */
    void updateMeters();

    /** Seconds for the meters; the high-resolution clock unless a test sets another. */
    std::function<double()> meterClock;

    /** True while the page's own audition (a "track:" or "mix:" id) plays or loads. */
    bool isPreviewing() const;

    /** The audition id of the current selection. */
    juce::String getTrackPreviewKey() const;

    /** The chosen cue's key (empty: all cues) and the chosen mix's id (empty: full mix). */
    const juce::String& getChosenCueKey() const noexcept { return cueChoice.getChosenKey(); }
    const juce::String& getMixChoice() const noexcept { return mixChoice.getChosenId(); }

    juce::TreeView& getTree() noexcept { return tree; }
    juce::String getStatusText() const { return statusLabel.getText(); }

    /** Runs the page's 10 Hz tick now (tests and benchmarks). */
    void tick() { timerCallback(); }

    /** Whether the meter timer runs, the tree repaints it has asked for and the number of tree
        rebuilds so far (tests and benchmarks). */
    bool isMeterTimerRunning() const { return meterTimer.isTimerRunning(); }
    int getMeterRepaintCount() const noexcept { return meterRepaintCount; }
    int getRebuildCount() const noexcept { return rebuildCount; }

private:
    class RootNode;
    class StemNode;
    class TrackNode;

    struct MeterTimer : juce::Timer
    {
        explicit MeterTimer (ReviewPage& p) : page (p) {}
        void timerCallback() override;
        ReviewPage& page;
    };

    // Session::Listener: only a flag; the tree is rebuilt at the next tick.
    void tracksChanged() override { noteSessionChange(); }
    void assignmentsChanged() override { noteSessionChange(); }
    void presetChanged() override { noteSessionChange(); }

    void noteSessionChange()
    {
        sessionChanged = true;
        ++sessionGeneration;
    }

    void waveformsChanged() override { refreshPreview(); }
    void timerCallback() override;

    void refreshCueChoices();
    void refreshMixChoices();
    void updateStatusLine();
    void handleSelectionChanged();
    void refreshPreview();
    void refreshWaveform();
    void startPreview (const juce::StringArray& files, const juce::String& caption, const juce::String& id, std::optional<double> startFraction);
    void auditionTrack (const juce::String& trackId);
    void setAllHeadingsOpen (bool open);
    void applyTreeColours();
    void showNoAudioOutput();
    void showInformation (const juce::String& title, const juce::String& message);
    int getTimeLabelWidth() const;
    void dropTracks (const juce::var& description, const juce::String& stemId);
    void dropTracksOnRowAt (const juce::var& description, int y);
    juce::StringArray getMixFiles() const;

    AppState& app;
    Session& session;

    juce::TreeView tree;
    std::unique_ptr<RootNode> root;

    juce::TextButton rerunButton { "Re-run auto assign" }, undoButton { "Undo" }, redoButton { "Redo" },
        assignButton { "Assign to..." }, lockButton { "Lock" }, unlockButton { "Unlock" },
        ruleButton { "Save as rule..." }, expandButton { "Expand all" }, collapseButton { "Collapse all" };
    juce::ComboBox filterBox;
    juce::Label filterLabel { {}, "Show" };
    juce::ComboBox cueBox;
    juce::Label cueLabel { {}, "Cue" };
    TransportButton trackButton { "Track" }, mixButton { "Mix" };
    juce::ComboBox mixBox;
    WaveformView waveformView;
    juce::Label timeLabel;
    juce::Label statusLabel;

    StemMeters meters;

    /** The files an audition id plays and the stems they feed, for the meters. */
    struct PlayingSource
    {
        juce::String path;
        juce::String stemId;
        std::shared_ptr<const WaveformOverview> overview;
    };

    struct PlayingSet
    {
        juce::String id;
        juce::uint64 generation = 0;
        std::vector<PlayingSource> sources;
    };

    PlayingSet playing;
    juce::uint64 sessionGeneration = 1; // counts session notifications
    MeterTimer meterTimer { *this };

    WaveformOverview shownOverview;
    juce::String shownWaveformPath;
    juce::String shownWindowKey;

    ReviewFilter filter = ReviewFilter::everything;
    ReviewCueChoice cueChoice;
    ReviewMixChoice mixChoice;

    struct SelectionCache
    {
        juce::StringArray ids;
        juce::String previewKey;
    };

    mutable std::optional<SelectionCache> selectionCache; // the selection as last read from the tree

    bool sessionChanged = false;
    bool rebuilding = false;
    int rebuildCount = 0;
    int meterRepaintCount = 0;
    int stripWidth = 0; // what the last layout left for the waveform and the time label

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReviewPage)
};

} // namespace dunmoor::ui
