#pragma once

#include <functional>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "BatchSummary.h"
#include "CleanupAudition.h"
#include "CueRows.h"
#include "ExportContent.h"
#include "ExportRenderBar.h"
#include "ExportRunControl.h"
#include "NamingVocabulary.h"
#include "core/render/RenderJob.h"
#include "core/session/Session.h"

namespace dunmoor::ui
{

class AppState;

/**
    Step 4, "Levels & Export": the export settings of the session's working preset, the
    analysis of the delivery's levels and the render itself. The only place that creates and
    drives a RenderJob: it plans the requests, refuses on errors and asks past warnings, polls
    the job ten times a second, cancels it on request and hands a finished export's report to
    the application state.

    Every settings control commits at once into the session preset; "Save to preset" stores
    that preset in the library. A completion of the render thread comes back as a message that
    carries its run number and a safe pointer to the page: a late one of an older run, or one
    arriving after the page is gone, is dropped. Closing the page cancels a running job and
    waits for it, however long that takes.
*/
class ExportPage : public juce::Component, private juce::Timer, private Session::Listener
{
public:
    using Content = ExportContent;
    using RenderBar = ExportRenderBar;
    using BlockHandle = ExportContent::BlockHandle;
    using ColumnSplitter = ExportContent::ColumnSplitter;
    using RunKind = ExportRunControl::RunKind;

    explicit ExportPage (AppState& state);
    ~ExportPage() override;

    /** Called after an export finished without being cancelled. */
    std::function<void()> onExportFinished;

    /** An analysis or export thread is running. */
    bool isRendering() const;

    /** Forgets the saved arrangement of the settings blocks and their column widths. */
    void resetLayout();

    /** Space: stops what plays or is being prepared; otherwise plays the last cleaned audition
        again, or the first track of the cleanup preview. */
    void togglePlayback() { cleanupAudition.togglePlayback(); }

    /** Left and right arrows: the playing cleanup row jumps to its next or previous cleaned
        stretch; false when nothing of the preview plays or there is no such stretch. */
    bool handleCleanupKey (bool forward) { return cleanupAudition.handleKey (forward); }

    /** Plays a track cleaned with the current settings from a point (CleanupAudition::audition). */
    void auditionGated (const juce::File& file, const juce::String& name, double seconds, bool toggle)
    {
        cleanupAudition.audition (file, name, seconds, toggle);
    }

    juce::File getCleanupPreviewFile (const juce::File& file) const { return cleanupAudition.getPreviewFile (file); }
    CleanupPreviews& getCleanupPreviews() noexcept { return cleanupAudition.getPreviews(); }

    /** Creates the two format rows on first use and fills them from the session preset. */
    void rebuildFormatRows();

    //==============================================================================
    BatchPlan buildRequests (bool measureOnly) const;

    /** "Analyse levels": true when a measuring run was launched. */
    bool runAnalysis();

    /** "Render and export": what stops the export is said first, and the warnings are asked
        past; only then, with no output folder yet, the chooser opens, and the export goes on
        from the folder chosen there through the checks that need it (a warning already
        answered is not asked again). */
    void startExport();

    /** The output-folder chooser, opening at the output folder (or the nearest folder above it
        still there). */
    void chooseOutputFolder();
    void savePresetFromHere();
    void storePreset (Preset preset, const juce::String& newName);

    /** Fills every control from the session preset and the output folder; commits nothing. */
    void refresh();

    /** Reads every control into a copy of the session preset and hands it to the session. */
    void commitSettings();

    void updatePresetStatus();
    void updateWarnings();
    void updateNamingPreview();
    void updateCueCount();
    void updateStemsFolderNote();
    void formatBatchSummary (const BatchReport& report, RunKind kind);

    /** The same for a report the page may take apart: the cleanup rows take its overviews. */
    void formatBatchSummary (BatchReport&& report, RunKind kind);
    void loadVocabulary();
    void applyVocabulary();

    //==============================================================================
    Content& getContent() noexcept { return *content; }
    RenderBar& getRenderBar() noexcept { return *renderBar; }
    juce::Viewport& getViewport() noexcept { return viewport; }
    const ExportRunControl& getRunControl() const noexcept { return runControl; }
    const NamingVocabulary& getVocabulary() const noexcept { return vocabulary; }
    RenderJob* getRenderJob() noexcept { return renderJob.get(); }

    /** Runs what the 10 Hz timer runs, at once (for tests and benchmarks). */
    void tick() { timerCallback(); }

    void paint (juce::Graphics& g) override;
    void resized() override;

    static constexpr const char* vocabularyKey = "nameVocabulary";

private:
    void timerCallback() override;
    void tracksChanged() override;
    void assignmentsChanged() override;
    void presetChanged() override;

    bool isJobThreadBusy();

    /** Plans the export and goes on through what stands before it: errors refuse, warnings not
        among those answered ask, and then the chooser when there is no folder yet, or the run. */
    void proceedToExport (juce::StringArray answeredWarnings);
    void refuseExport (const BatchPlan& plan);
    void askPastWarnings (const juce::StringArray& warnings, std::function<void()> proceed);

    /** The chooser; a usable folder is taken, and then thenWithFolder runs when it is set. */
    void askForOutputFolder (std::function<void()> thenWithFolder);

    /** What stops each cue of the session, ticked or not, from being rendered. */
    CueRows::Problems findCueProblems() const;

    /** The cue list shows every cue of the session with what stops it, keeping what the last
        run found; the page scrolls to it. */
    void showCueList();

    /** The rows, when the list shows, follow the session's cues and their problems. */
    void followSessionCues();
    void scrollToReport();
    bool launch (std::vector<RenderRequest> requests, RunKind kind);
    void handleCompletion (int runNumber, BatchReport report);
    void finishExport (BatchReport report);
    void showSummary (const BatchReport& report, RunKind kind, std::vector<GatedTrackRow> gatedRows);
    void applyRunState();
    void showSummaryText (const juce::String& text);
    void addWord (const juce::String& word);
    void removeWord (const juce::String& word);
    void storeVocabulary();
    /** Opens the output folder, or says why there is none to open yet. */
    void openOutputFolder();
    void wireControls();
    void wireReportArea();
    void loadLayoutSettings();
    void fitContent();

    AppState& appState;
    bool cueListEditing = false;     // a session change the cue list itself is making
    NamingVocabulary vocabulary;
    ExportRunControl runControl;
    bool committingSettings = false;
    bool statusDirty = false;
    bool warningsDirty = false;
    bool sliderDragging = false;
    bool stemTemplateEdited = false;
    bool mixTemplateEdited = false;
    bool warningsHaveErrors = false;

    std::unique_ptr<Content> content;
    std::unique_ptr<RenderBar> renderBar;
    CleanupAudition cleanupAudition;
    juce::Viewport viewport;
    std::unique_ptr<RenderJob> renderJob;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ExportPage)
};

} // namespace dunmoor::ui
