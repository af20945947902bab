#pragma once

#include <functional>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"
#include "ui/app/PendingOpens.h"
#include "ui/app/QueuedWindowEvents.h"
#include "ui/pages/export/ExportPage.h"
#include "ui/pages/import/ImportPage.h"
#include "ui/pages/preset/PresetPage.h"
#include "ui/pages/report/ReportPage.h"
#include "ui/pages/review/ReviewPage.h"
#include "ui/shell/CompanyMark.h"
#include "ui/shell/FooterSummary.h"
#include "ui/look/Page.h"
#include "ui/look/WheelNeedsFocus.h"
#include "ui/shell/SettingsDialog.h"
#include "ui/shell/StepBar.h"
#include "ui/shell/TitleBanner.h"

namespace dunmoor::ui
{

/**
    Everything inside the main window: the application state (built first, destroyed last), the
    title row (banner, version, preset label, Menu button), the step bar, the five pages (one
    shown at a time) and the footer row (session summary and the maker's mark).

    It switches pages, handles the keys no focused child consumed (1 to 5, undo and redo, Space
    for the shown page's audition, the arrows on the export page), builds the main menu, opens and
    saves projects through the desktop seams, opens the manual and asks before closing while a
    render runs. The preset label, footer and step gating follow the session four times a second
    and on every application-state change. Message thread only.
*/
class MainComponent : public juce::Component, private juce::ChangeListener, private juce::Timer, private juce::FocusChangeListener
{
public:
    /** The seams default to the desktop's own, the locations to the program's own. */
    explicit MainComponent (std::unique_ptr<Seams> seams = nullptr, const AppState::Locations& where = AppState::Locations::standard());
    ~MainComponent() override;

    /** Shows a page, whether or not the step bar offers it. */
    void showPage (Page page);

    /** Closes unless the project has unsaved work or a render is running; then it asks first.
        The continuation quits. */
    void requestClose (std::function<void()> continuation);

    /**
        Runs proceed at once when nothing unsaved would be lost; otherwise asks Save / Don't save
        / Cancel first. Save runs the normal save (Save as for a project never saved) and goes on
        only when it succeeded; Cancel, a cancelled chooser and a failed save go nowhere.
        leaving names what the user is about to do ("Closing", "Opening another project").
    */
    void askToKeepChanges (const juce::String& leaving, std::function<void()> proceed);

    void showMenu();

    /** Asks to keep unsaved work, then shows the open-project chooser. */
    void openProject();

    /** Opens one project file as it is, without asking, and reports the outcome. */
    void openProjectFile (const juce::File& file);

    /** Asks to keep unsaved work, then opens the file. */
    void openRecentProject (const juce::File& file);

    /** Asks to keep unsaved work, then starts an empty project with the same preset. */
    void newProject();

    /** Saves to the current project file, or asks for one; afterSaved runs once it is written. */
    void saveProject (bool saveAs, std::function<void()> afterSaved = {});
    /** Opens the manual found from the program's folder (see findManual). */
    void openManual();

    /** Opens the manual found from this folder upward, or says where none was found. Until the
        desktop answers, the pointer shows busy over the window and the menu item waits. */
    void openManualFrom (const juce::File& programFolder);
    bool isOpeningManual() const { return manualOpens.isUnderWay(); }
    void showSettingsDialog();

    /** Shows what could not be read at start (damaged settings, an unreadable last preset) in one
        message, once; nothing when all was read. */
    void tellStartupNotices();
    void refreshFooter();

    /** The main menu as it would open now; the recent projects it lists go to recentPaths. */
    juce::PopupMenu buildMenu (juce::StringArray& recentPaths);

    /** Carries out a main-menu choice; recentPaths as they were when the menu opened. */
    void handleMenuResult (int result, const juce::StringArray& recentPaths);

    //==============================================================================
    /** The first of "manual/index.html", "Resources/manual/index.html" and
        "docs/manual/index.html" in the folder or any folder above it; none when there is none. */
    static juce::File findManual (const juce::File& startFolder);

    /** The file the project is written to: the name as chosen when it ends in ".bkfp", else the
        whole name followed by ".bkfp". */
    static juce::File withProjectExtension (const juce::File& chosen);

    static constexpr int defaultWidth = 1360;
    static constexpr int defaultHeight = 860;

    //==============================================================================
    AppState& getAppState() noexcept { return appState; }
    Page getCurrentPage() const noexcept { return currentPageIndex; }
    StepBar& getStepBar() noexcept { return stepBar; }
    FooterSummary& getFooter() noexcept { return footer; }
    juce::Label& getPresetLabel() noexcept { return presetLabel; }
    juce::Label& getVersionLabel() noexcept { return versionLabel; }
    juce::Label& getProjectLabel() noexcept { return projectLabel; }
    juce::TextButton& getMenuButton() noexcept { return menuButton; }
    TitleBanner& getTitleBanner() noexcept { return titleBanner; }
    CompanyMark& getCompanyMark() noexcept { return companyMark; }
    ImportPage* getImportPage() noexcept { return importPage.get(); }
    PresetPage* getPresetPage() noexcept { return presetPage.get(); }
    ReviewPage* getReviewPage() noexcept { return reviewPage.get(); }
    ExportPage* getExportPage() noexcept { return exportPage.get(); }
    ReportPage* getReportPage() noexcept { return reportPage.get(); }

    /** The open settings dialog, or null. */
    SettingsDialog* getSettingsDialog() const;
    juce::DialogWindow* getSettingsWindow() const { return settingsWindow.getComponent(); }

    void paint (juce::Graphics& g) override;
    void resized() override;
    bool keyPressed (const juce::KeyPress& key) override;
    void mouseDown (const juce::MouseEvent& e) override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void timerCallback() override;
    void globalFocusChanged (juce::Component* focusedComponent) override;

    juce::Component* pageFor (Page page) const;
    void writeProject (const juce::File& file, std::function<void()> afterSaved);
    void chooseProjectToSave (std::function<void()> afterSaved);
    void closeUnlessRendering (std::function<void()> continuation);
    void chooseProjectToOpen();

    AppState appState;
    juce::TooltipWindow tooltipWindow { this, 600 };
    StepBar stepBar;
    std::unique_ptr<ImportPage> importPage;
    std::unique_ptr<PresetPage> presetPage;
    std::unique_ptr<ReviewPage> reviewPage;
    std::unique_ptr<ExportPage> exportPage;
    std::unique_ptr<ReportPage> reportPage;
    juce::Component* currentPage = nullptr;
    Page currentPageIndex = Page::import;
    TitleBanner titleBanner;
    juce::Label versionLabel;
    juce::Label projectLabel;
    CompanyMark companyMark;
    FooterSummary footer;
    juce::Label presetLabel;
    juce::TextButton menuButton { "Menu" };
    juce::Component::SafePointer<juce::DialogWindow> settingsWindow;
    WheelNeedsFocus wheelRule { *this };
    QueuedWindowEvents queuedWindowEvents { *this };

    // The other window of ours (a box, a chooser, a call-out, the settings) that last had the
    // keyboard focus, while one does.
    bool focusInOtherWindow = false;
    juce::Component::SafePointer<juce::Component> otherFocusedWindow;

    // The close waiting on "A render is still running", while that question is open: when the
    // render ends first, the question is taken back and the close goes ahead.
    std::function<void()> closeAfterRender;
    bool renderQuestionOpen = false;

    PendingOpens manualOpens;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};

} // namespace dunmoor::ui
