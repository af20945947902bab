#pragma once

#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ReportTexts.h"
#include "core/render/RenderJob.h"
#include "ui/app/PendingOpens.h"
#include "ui/widgets/PreviewPlayer.h"
#include "ui/widgets/TextBlock.h"

namespace dunmoor::ui
{

class AppState;

/**
    Step 5, "Report": the last export that AppState holds. A headline says how the run went; the
    cue list (shown for runs of several cues) picks a cue, whose levels and findings show on the
    left and whose written files fill the delivery table; a player under the table plays a file
    with its waveform and spectrogram. The buttons save the run's report as a web page or text,
    open the web page in the browser, copy the delivery list and open the output folder.

    The page changes the report only by renaming a delivered file. A refresh for the run it
    already shows keeps the cue, the table's sort and the file in the player; a new run starts
    over at the first cue that needs attention.
*/
class ReportPage : public juce::Component,
                   public juce::ChangeListener,
                   public juce::ListBoxModel,
                   public juce::Timer
{
public:
    class DeliveryTable;
    class TransportGrip;

    explicit ReportPage (AppState& state);
    ~ReportPage() override;

    /** Rebuilds the page from AppState's last report. */
    void refresh();

    /** Stops the file in the player when it sounds, else plays it (or the first file). Space. */
    void togglePlayback();

    /** Puts a row of the delivery table into the player; starts it at the fraction when play. */
    void showFile (int row, bool play, double startFraction);

    /** Brings the play button, playheads, the table's playing marker and the time up to date. */
    void updateTransport();

    /** Writes the web page and hands it to the browser. Until the desktop answers, a line above
        the buttons says so, the pointer shows busy over the page and the button waits. */
    void openInBrowser();

    /** Whether the page handed to the browser has not been answered yet. */
    bool isOpeningInBrowser() const { return browserOpens.isUnderWay(); }
    void saveHtml();
    void saveText();
    void copyDeliveryList();
    void openOutputFolder();

    /** The delivery table's rename: true when renamed or when there is nothing to rename. */
    bool renameDeliveredFile (int row, const juce::String& newName);

    /** The cue shown: the only one, or the cue list's selection (clamped); null without cues. */
    const CueReport* getSelectedCue() const;

    /** "delivered:" + the file in the player; empty without one. */
    juce::String getPreviewKey() const;

    // What tests and the benchmark look at.
    DeliveryTable& getDeliveryTable() { return *table; }
    juce::ListBox& getCueList() { return cueList; }
    const juce::Label& getHeadline() const { return headline; }
    const TextBlock& getDetails() const { return details; }
    const TextBlock& getIssues() const { return issues; }
    PreviewPlayer& getPlayer() { return player; }
    const juce::Label& getFileNameLabel() const { return player.fileNameLabel; }
    const juce::Label& getTimeLabel() const { return player.timeLabel; }
    TransportButton& getPlayButton() { return player.transportButton; }
    juce::ToggleButton& getAutoplayButton() { return player.autoplayToggle; }
    WaveformView& getWaveform() { return player.waveformView; }
    SpectrogramView& getSpectrogram() { return player.spectrogramView; }
    juce::Component& getGrip();
    juce::TextButton& getOpenInBrowserButton() { return openInBrowserButton; }
    juce::TextButton& getSaveHtmlButton() { return saveHtmlButton; }
    juce::TextButton& getSaveTextButton() { return saveTextButton; }
    juce::TextButton& getCopyListButton() { return copyListButton; }
    juce::TextButton& getOpenFolderButton() { return openFolderButton; }
    int getCurrentRow() const { return currentRow; }
    const juce::String& getCurrentFile() const { return currentFile; }
    int getTransportHeight() const { return transportHeight; }
    const juce::File& getBrowserReportFile() const { return browserReportFile; }
    const juce::Label& getBrowserStatus() const { return browserStatus; }
    int getShownRun() const { return showsReport ? shownRun : 0; }

    void paint (juce::Graphics&) override;
    void resized() override;
    void visibilityChanged() override;
    void lookAndFeelChanged() override;

    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics&, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;

    void timerCallback() override;

private:
    void applyColours();
    void showCue (const CueReport& cue);
    void updateCueTexts (const CueReport& cue);
    void resetPlayer();
    void layoutButtons (juce::Rectangle<int> row);
    void layoutBrowserStatus (juce::Rectangle<int> row);
    void showBrowserOpen();
    void setTransportHeight (int height);
    void playersRowsReordered();
    void warn (const juce::String& title, const juce::String& text);
    void launchSaveChooser (const juce::String& title, const juce::String& extension, std::function<void (const juce::File&)> save);
    double getShownSampleRate() const;

    AppState& appState;

    juce::Label headline;
    juce::ListBox cueList;
    TextBlock details;
    TextBlock issues;
    std::unique_ptr<DeliveryTable> table;
    PreviewPlayer player;
    std::unique_ptr<TransportGrip> grip;
    juce::TextButton openInBrowserButton { "Open in browser" };
    juce::TextButton saveHtmlButton { "Save HTML" };
    juce::TextButton saveTextButton { "Save text" };
    juce::TextButton copyListButton { "Copy delivery list" };
    juce::TextButton openFolderButton { "Open output folder" };
    juce::Label browserStatus;

    int currentRow = -1;
    juce::String currentFile;
    int transportHeight = 164;
    ReportTone headlineTone = ReportTone::secondary;
    juce::File browserReportFile;
    PendingOpens browserOpens;
    juce::String detailsText;   // before it is broken into lines that fit the column
    juce::String issuesText;    // the same for the errors and warnings
    juce::Rectangle<int> cueListPanel;
    juce::Rectangle<int> detailsPanel;

    // Which run the page shows, so that a refresh can tell a new run from a rename.
    bool showsReport = false;
    int shownRun = 0;
    bool filling = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReportPage)
};

} // namespace dunmoor::ui
