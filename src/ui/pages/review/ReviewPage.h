#pragma once

#include <functional>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/session/Session.h"
#include "ui/app/AppState.h"
#include "ui/pages/review/ReviewAuditionStrip.h"
#include "ui/pages/review/ReviewCueChoice.h"
#include "ui/pages/review/ReviewTreeModel.h"

namespace dunmoor::ui
{

/**
    Step 3 of the workflow: every track under its stem in a tree, to check and correct the
    automatic assignment (assign menu, drag and drop, locks, undo, re-running the engine, keyword
    rules from a correction), narrowed to one cue and to what needs attention, and an audition
    strip (ReviewAuditionStrip) that plays the selection or a cue's mix while each stem heading
    shows a live meter.

    The page holds no project data: it rebuilds its tree from the session at its next 10 Hz tick
    after any session notification, so a burst of notifications costs one rebuild. Message
    thread only.
*/
class ReviewPage : public juce::Component,
                   public juce::DragAndDropContainer,
                   private Session::Listener,
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

    /** Plays the selection summed (or stops it when it is already playing). The Space key of
        the page lands here. */
    void auditionSelection() { auditionStrip.auditionSelection(); }

    ReviewAuditionStrip& getAuditionStrip() noexcept { return auditionStrip; }

    /** The assign popup for the selection: at the mouse from the tree, else at the button. */
    void buildAssignMenu (bool fromTree);

    /** Runs the keyword engine again over every cue; asks first when that replaces tracks
        assigned by hand. */
    void rerunAutoAssign();

    /** The candidate words of the first selected track, to add one as a rule of its stem. */
    void showRuleMenu();

    /** The stem order and expand/collapse menu of a heading's right-click. */
    void showStemMenu();

    void toggleAlphabeticalStems (bool alphabetical);

    /** The audition id of the current selection. */
    juce::String getTrackPreviewKey() const;

    /** The chosen cue's key (empty: all cues). */
    const juce::String& getChosenCueKey() const noexcept { return cueChoice.getChosenKey(); }

    juce::TreeView& getTree() noexcept { return tree; }
    juce::String getStatusText() const { return statusLabel.getText(); }

    /** Runs the page's 10 Hz tick now (tests and benchmarks). */
    void tick() { timerCallback(); }

    /** The number of tree rebuilds so far (tests and benchmarks). */
    int getRebuildCount() const noexcept { return rebuildCount; }

private:
    class RootNode;
    class StemNode;
    class TrackNode;

    // Session::Listener: only a flag; the tree is rebuilt at the next tick.
    void tracksChanged() override { noteSessionChange(); }
    void assignmentsChanged() override { noteSessionChange(); }
    void presetChanged() override { noteSessionChange(); }

    void noteSessionChange()
    {
        sessionChanged = true;
        auditionStrip.noteSessionChange();
    }

    void timerCallback() override;

    void refreshCueChoices();
    void updateStatusLine();
    void handleSelectionChanged();
    void setAllHeadingsOpen (bool open);
    void applyTreeColours();
    void showInformation (const juce::String& title, const juce::String& message);
    void dropTracks (const juce::var& description, const juce::String& stemId);
    void dropTracksOnRowAt (const juce::var& description, int y);

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
    juce::Label statusLabel;

    ReviewFilter filter = ReviewFilter::everything;
    ReviewCueChoice cueChoice;
    ReviewAuditionStrip auditionStrip;

    struct SelectionCache
    {
        juce::StringArray ids;
        juce::String previewKey;
    };

    mutable std::optional<SelectionCache> selectionCache; // the selection as last read from the tree

    bool sessionChanged = false;
    bool rebuilding = false;
    int rebuildCount = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReviewPage)
};

} // namespace dunmoor::ui
