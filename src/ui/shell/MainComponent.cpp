// Over 800 lines on purpose: the window's commands (keys, menu, page switching, projects,
// close while rendering, settings) all act on the one state, the shown page and the seams held
// here, and each is short. The title row, step bar, footer and settings dialog are their own
// components beside this file.

#include "ui/shell/MainComponent.h"

#include "core/files/PathRules.h"
#include "ui/shell/AppInfo.h"
#include "ui/look/BrandImages.h"
#include "ui/shell/FooterTexts.h"
#include "ui/app/OpenFolder.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    const char* const renderQuestionTitle = "A render is still running";

    enum MenuIds
    {
        settingsId = 1,
        manualId = 2,
        newProjectId = 3,
        openProjectId = 4,
        saveProjectId = 5,
        saveProjectAsId = 6,
        clearRecentId = 7,
        resetLayoutId = 8,
        undoId = 9,
        redoId = 10,
        firstRecentId = 100
    };

    /** "Folder / Name" for a recent project, or only the name when the folder has none. */
    juce::String recentProjectText (const juce::File& file)
    {
        const auto folderName = file.getParentDirectory().getFileName();
        const auto name = file.getFileNameWithoutExtension();
        return folderName.isEmpty() ? name : folderName + " / " + name;
    }
} // namespace

MainComponent::MainComponent (std::unique_ptr<Seams> seams, const AppState::Locations& where)
    : appState (std::move (seams), where)
{
    setWantsKeyboardFocus (true);
    addMouseListener (this, true);

    footer.onFolderClick = [this] { openFolderInFileBrowser (*appState.seams, appState.outputFolder, this); };
    footer.setTooltip ("Open the output folder");
    addAllAndMakeVisible (*this, { &titleBanner, &presetLabel, &stepBar, &footer, &companyMark, &menuButton });

    menuButton.onClick = [this] { showMenu(); };
    menuButton.setTitle ("Menu");
    menuButton.setTooltip ("Undo and redo, projects, settings and the manual");

    versionLabel.setText (productVersion, juce::dontSendNotification);
    versionLabel.setFont (fontPlain12_5());
    versionLabel.setJustificationType (juce::Justification::bottomLeft);
    versionLabel.setBorderSize ({});
    versionLabel.setInterceptsMouseClicks (false, false);
    setLabelTone (versionLabel, LabelTone::disabled);
    addAndMakeVisible (versionLabel);

    projectLabel.setJustificationType (juce::Justification::centredLeft);
    projectLabel.setTitle ("Project");
    projectLabel.setInterceptsMouseClicks (false, false);
    setLabelTone (projectLabel, LabelTone::secondary);
    addAndMakeVisible (projectLabel);

    presetLabel.setJustificationType (juce::Justification::centredRight);
    presetLabel.setTitle ("Preset in use");
    setLabelTone (presetLabel, LabelTone::secondary);

    companyMark.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    companyMark.setTooltip (juce::String ("Tessaloomery") + " - " + makerWebAddress);
    companyMark.onClick = [this]
    {
        juce::Component::SafePointer<MainComponent> safe (this);
        appState.seams->openUrl (makerWebAddress, [safe] (const OpenResult& result)
                                 {
                                     if (! result.ok && safe != nullptr)
                                         safe->appState.seams->showWarning ("The web site was not opened", result.error, safe.getComponent());
                                 });
    };

    importPage = std::make_unique<ImportPage> (appState);
    presetPage = std::make_unique<PresetPage> (appState);
    reviewPage = std::make_unique<ReviewPage> (appState);
    exportPage = std::make_unique<ExportPage> (appState);
    reportPage = std::make_unique<ReportPage> (appState);
    addAllHidden (*this, { importPage.get(), presetPage.get(), reviewPage.get(), exportPage.get(), reportPage.get() });

    exportPage->onExportFinished = [this] { showPage (Page::report); };
    manualOpens.setOnChange ([this] { setBusyPointer (*this, manualOpens.isUnderWay()); });
    stepBar.onStepClicked = [this] (Page page) { showPage (page); };

    appState.addChangeListener (this);
    juce::Desktop::getInstance().addFocusChangeListener (this);

    const auto choice = readPaletteChoice (*appState.settings);
    if (choice != PaletteChoice::defaultColours)
        applyPalette (paletteForChoice (choice, *appState.settings));
    applyUiScale (appState.settings->getIntValue ("uiScalePercent", 100));
    applyLabelTones (*this);

    showPage (Page::import);

    startTimerHz (4);
    setSize (defaultWidth, defaultHeight);

    // Told once, as soon as the window is there: what could not be read at start, and what
    // became of it.
    juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<MainComponent> (this)]
                                     {
                                         if (safe != nullptr)
                                             safe->tellStartupNotices();
                                     });
}

void MainComponent::tellStartupNotices()
{
    if (appState.startupNotices.isEmpty())
        return;

    const auto message = appState.startupNotices.joinIntoString ("\n\n");
    appState.startupNotices.clear();
    appState.seams->showWarning ("Not everything could be read at start", message, this);
}

MainComponent::~MainComponent()
{
    removeMouseListener (this);
    stopTimer();
    juce::Desktop::getInstance().removeFocusChangeListener (this);
    appState.removeChangeListener (this);

    // The dialog's callbacks write through this component's settings.
    if (auto* window = settingsWindow.getComponent())
        delete window;
}

//==============================================================================
juce::Component* MainComponent::pageFor (Page page) const
{
    switch (page)
    {
        case Page::import:
            return importPage.get();
        case Page::preset:
            return presetPage.get();
        case Page::review:
            return reviewPage.get();
        case Page::levelsAndExport:
            return exportPage.get();
        case Page::report:
            return reportPage.get();
        default:
            return nullptr;
    }
}

void MainComponent::showPage (Page page)
{
    auto* component = pageFor (page);
    if (component == nullptr)
        return;

    if (currentPage != nullptr && currentPage != component)
        currentPage->setVisible (false);

    currentPage = component;
    currentPageIndex = page;
    component->setVisible (true);
    component->toFront (false);

    stepBar.setCurrentStep ((int) page);
    resized();
    refreshFooter();
}

void MainComponent::refreshFooter()
{
    const auto& session = appState.session;

    presetLabel.setText (presetLabelText (session.getPreset(), appState.isPresetModified()), juce::dontSendNotification);

    const auto projectText = projectLabelText (appState.projectFile, ! session.getTracks().empty(), appState.isChangedSinceSaved());
    if (projectText != projectLabel.getText())
    {
        projectLabel.setText (projectText, juce::dontSendNotification);
        projectLabel.setTooltip (appState.projectFile.getFullPathName());
        resized();
    }

    const auto shown = currentPageIndex == Page::import && importPage != nullptr ? importPage->getShownTrackCount() : -1;
    footer.setSegments (makeFooterSegments (session, appState.outputFolder, shown));

    const auto hasTracks = ! session.getTracks().empty();
    stepBar.setStepEnabled ((int) Page::review, hasTracks);
    stepBar.setStepEnabled ((int) Page::levelsAndExport, hasTracks);
    stepBar.setStepEnabled ((int) Page::report, appState.hasLastReport);
}

void MainComponent::changeListenerCallback (juce::ChangeBroadcaster*)
{
    refreshFooter();
}

void MainComponent::timerCallback()
{
    refreshFooter();

    // The question asked about cancelling a render has nothing left to ask once it has ended.
    if (renderQuestionOpen && (exportPage == nullptr || ! exportPage->isRendering()))
    {
        renderQuestionOpen = false;
        auto continuation = std::move (closeAfterRender);
        closeAfterRender = nullptr;
        appState.seams->withdrawQuestion (renderQuestionTitle);
        appState.saveSettings();

        if (continuation)
            continuation();
    }
}

void MainComponent::globalFocusChanged (juce::Component* focusedComponent)
{
    if (focusedComponent != nullptr)
    {
        auto* window = focusedComponent->getTopLevelComponent();
        focusInOtherWindow = window != getTopLevelComponent();
        otherFocusedWindow = focusInOtherWindow ? window : nullptr;
        return;
    }

    // Nothing has the keyboard focus. When it was last in another window of ours that has closed
    // since, it comes back here, so the step keys work without a click. A window manager would
    // activate the main window again; without one, nothing else would.
    const auto otherWindowClosed = focusInOtherWindow && (otherFocusedWindow == nullptr || ! otherFocusedWindow->isShowing());
    focusInOtherWindow = false;
    otherFocusedWindow = nullptr;

    if (otherWindowClosed && isShowing() && ! isCurrentlyBlockedByAnotherModalComponent())
        grabKeyboardFocus();
}

//==============================================================================
void MainComponent::paint (juce::Graphics& g)
{
    const auto p = currentPalette();
    g.fillAll (p.windowBackground);

    const auto footerHeight = juce::jmin (44, getHeight());
    g.setColour (p.panelBackground);
    g.fillRect (0, getHeight() - footerHeight, getWidth(), footerHeight);

    g.setColour (p.subtleOutline);
    g.fillRect (0, getHeight() - 44, getWidth(), 1);
}

void MainComponent::resized()
{
    auto bounds = getLocalBounds();
    const auto contentLeft = 12;
    const auto contentWidth = juce::jmax (0, getWidth() - 24);

    // Title row: banner, version, preset label, Menu button.
    const auto top = bounds.removeFromTop (juce::jmin (44, bounds.getHeight()));
    const auto rowHeight = top.getHeight();
    const auto logoHeight = juce::jmax (0, (rowHeight - 6) * 3 / 4 - 9);

    const auto productLogo = getBrandImage (productLogoFile);
    const auto naturalBannerWidth = productLogo.isValid() && productLogo.getHeight() > 0
                                        ? juce::roundToInt (productLogo.getWidth() * juce::jmin ((double) logoHeight / productLogo.getHeight(), 1.0))
                                        : measureTextWidthCeil (fontBold24(), productName);
    const auto bannerWidth = juce::jmin (naturalBannerWidth, contentWidth / 2);
    titleBanner.setBounds (contentLeft, top.getY() + (rowHeight - logoHeight) / 2, bannerWidth, logoHeight);
    auto remaining = contentWidth - bannerWidth;

    const auto versionGap = juce::jmin (8, remaining);
    remaining -= versionGap;
    const auto versionFont = versionLabel.getFont();
    const auto versionWidth = juce::jmin (remaining, measureTextWidthCeil (versionFont, versionLabel.getText()) + 2);
    const auto versionX = titleBanner.getRight() + versionGap;
    versionLabel.setBounds (versionX, titleBanner.getY(), versionWidth, juce::jmax (0, titleBanner.getHeight() + juce::roundToInt (versionFont.getHeight()) - 1));
    remaining -= versionWidth;

    const auto freeLeft = versionX + versionWidth;
    const auto menuY = top.getY() + (rowHeight - 30) / 2;
    if (remaining >= 86)
        menuButton.setBounds (contentLeft + contentWidth - 86, menuY, 86, 30);
    else
        menuButton.setBounds (freeLeft + (remaining - 86) / 2, menuY, 86, 30);
    remaining -= juce::jmin (86, remaining);
    remaining -= juce::jmin (12, remaining);

    // The project's name follows the version; the preset label keeps the rest, right-aligned.
    const auto projectGap = projectLabel.getText().isEmpty() ? 0 : juce::jmin (16, remaining);
    remaining -= projectGap;
    const auto projectWidth = projectLabel.getText().isEmpty() ? 0 : juce::jmin (remaining / 2, measureTextWidthCeil (projectLabel.getFont(), projectLabel.getText()) + projectLabel.getBorderSize().getLeftAndRight());
    projectLabel.setBounds (freeLeft + projectGap, top.getY(), projectWidth, rowHeight);
    remaining -= projectWidth;

    presetLabel.setBounds (projectLabel.getRight(), top.getY(), remaining, rowHeight);

    stepBar.setBounds (bounds.removeFromTop (juce::jmin (60, bounds.getHeight())));

    // Footer row: summary, maker's mark.
    const auto footerRow = bounds.removeFromBottom (juce::jmin (44, bounds.getHeight()));
    const auto footerHeight = footerRow.getHeight();
    const auto markHeight = juce::jmax (0, footerHeight - 12);

    const auto makerLogo = getBrandImage (makerLogoFile);
    const auto naturalMarkWidth = makerLogo.isValid() && makerLogo.getHeight() > 0
                                      ? juce::roundToInt (makerLogo.getWidth() * juce::jmin ((double) markHeight / makerLogo.getHeight(), 1.0))
                                      : measureTextWidthCeil (fontPlain13(), "Tessaloomery");
    const auto markWidth = juce::jmin (naturalMarkWidth, contentWidth / 4);
    companyMark.setBounds (contentLeft + contentWidth - markWidth, footerRow.getY() + 6, markWidth, markHeight);

    auto footerRemaining = contentWidth - markWidth;
    footerRemaining -= juce::jmin (12, footerRemaining);
    footer.setBounds (contentLeft, footerRow.getY(), footerRemaining, footerHeight);

    setAllBounds ({ importPage.get(), presetPage.get(), reviewPage.get(), exportPage.get(), reportPage.get() }, bounds);
}

//==============================================================================
bool MainComponent::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();
    const auto code = key.getKeyCode();

    if (! mods.isShiftDown() && ! mods.isAltDown() && code >= '1' && code <= '5')
    {
        showPage ((Page) (code - '1'));
        return true;
    }

    if (mods.isCtrlDown())
    {
        const auto letter = juce::CharacterFunctions::toUpperCase ((juce::juce_wchar) code);
        if (letter == 'Z')
        {
            if (mods.isShiftDown())
                appState.session.redo();
            else
                appState.session.undo();
            return true;
        }

        if (letter == 'Y')
        {
            appState.session.redo();
            return true;
        }
    }

    const auto plain = ! mods.isShiftDown() && ! mods.isCtrlDown() && ! mods.isAltDown();

    if (plain && code == juce::KeyPress::spaceKey)
    {
        switch (currentPageIndex)
        {
            case Page::import:
                if (importPage == nullptr)
                    return false;
                importPage->togglePlayback();
                return true;
            case Page::preset:
                if (presetPage == nullptr)
                    return false;
                presetPage->togglePlayback();
                return true;
            case Page::review:
                if (reviewPage == nullptr)
                    return false;
                reviewPage->auditionSelection();
                return true;
            case Page::levelsAndExport:
                if (exportPage == nullptr)
                    return false;
                exportPage->togglePlayback();
                return true;
            case Page::report:
                if (reportPage == nullptr)
                    return false;
                reportPage->togglePlayback();
                return true;
            default:
                return false;
        }
    }

    if (plain && currentPageIndex == Page::levelsAndExport && exportPage != nullptr
        && (code == juce::KeyPress::leftKey || code == juce::KeyPress::rightKey))
        return exportPage->handleCleanupKey (code == juce::KeyPress::rightKey);

    return false;
}

void MainComponent::mouseDown (const juce::MouseEvent& e)
{
    // A click anywhere else ends the edit of the text field that has the keyboard focus.
    if (auto* editor = dynamic_cast<juce::TextEditor*> (juce::Component::getCurrentlyFocusedComponent()))
        if (! editor->getScreenBounds().contains (e.getScreenPosition()))
            grabKeyboardFocus();
}

//==============================================================================
juce::PopupMenu MainComponent::buildMenu (juce::StringArray& recentPaths)
{
    const auto& session = appState.session;
    recentPaths = appState.getRecentProjects();

    juce::PopupMenu menu;
    juce::PopupMenu::Item undo ("Undo");
    undo.setID (undoId).setEnabled (session.getUndoIndex() > 0);
    undo.shortcutKeyDescription = "Ctrl+Z";
    menu.addItem (undo);

    juce::PopupMenu::Item redo ("Redo");
    redo.setID (redoId).setEnabled (session.getUndoIndex() + 1 < session.getNumUndoStates());
    redo.shortcutKeyDescription = "Ctrl+Y";
    menu.addItem (redo);

    menu.addSeparator();
    menu.addItem (newProjectId, "New project");
    menu.addItem (openProjectId, "Open project");

    juce::PopupMenu recent;
    for (int i = 0; i < recentPaths.size() && i < AppState::maxRecentProjects; ++i)
    {
        const juce::File file (recentPaths[i]);
        recent.addItem (firstRecentId + i, recentProjectText (file), file.existsAsFile());
    }
    if (! recentPaths.isEmpty())
    {
        recent.addSeparator();
        recent.addItem (clearRecentId, "Clear the list");
    }
    menu.addSubMenu ("Open recent", recent, ! recentPaths.isEmpty());

    menu.addItem (saveProjectId, "Save project");
    menu.addItem (saveProjectAsId, "Save project as", appState.projectFile != juce::File());
    menu.addSeparator();
    menu.addItem (resetLayoutId, "Reset the layout of step 4");
    menu.addItem (settingsId, "Settings");
    // While the desktop looks for a browser, the item says so rather than start a second one.
    if (manualOpens.isUnderWay())
        menu.addItem (manualId, "Opening the manual...", false);
    else
        menu.addItem (manualId, "Manual");

    return menu;
}

void MainComponent::showMenu()
{
    juce::StringArray recentPaths;
    auto menu = buildMenu (recentPaths);
    menu.setLookAndFeel (&getLookAndFeel());

    juce::Component::SafePointer<MainComponent> safe (this);
    appState.seams->showPopupMenu (menu,
                                   popupMenuOptionsFor (&menuButton).withTargetComponent (&menuButton),
                                   [safe, recentPaths] (int result)
                                   {
                                       if (safe != nullptr)
                                           safe->handleMenuResult (result, recentPaths);
                                   });
}

void MainComponent::handleMenuResult (int result, const juce::StringArray& recentPaths)
{
    switch (result)
    {
        case 0:
            return;
        case undoId:
            appState.session.undo();
            return;
        case redoId:
            appState.session.redo();
            return;
        case newProjectId:
            newProject();
            return;
        case openProjectId:
            openProject();
            return;
        case saveProjectId:
            saveProject (false);
            return;
        case saveProjectAsId:
            saveProject (true);
            return;
        case clearRecentId:
            appState.clearRecentProjects();
            return;
        case resetLayoutId:
            if (exportPage != nullptr)
                exportPage->resetLayout();
            return;
        case settingsId:
            showSettingsDialog();
            return;
        case manualId:
            openManual();
            return;
        default:
            break;
    }

    const auto index = result - firstRecentId;
    if (result >= firstRecentId && index < recentPaths.size())
        openRecentProject (juce::File (recentPaths[index]));
}

//==============================================================================
void MainComponent::openProject()
{
    juce::Component::SafePointer<MainComponent> safe (this);
    askToKeepChanges ("Opening another project", [safe]
    {
        if (safe != nullptr)
            safe->chooseProjectToOpen();
    });
}

void MainComponent::openRecentProject (const juce::File& file)
{
    juce::Component::SafePointer<MainComponent> safe (this);
    askToKeepChanges ("Opening another project", [safe, file]
    {
        if (safe != nullptr)
            safe->openProjectFile (file);
    });
}

void MainComponent::newProject()
{
    juce::Component::SafePointer<MainComponent> safe (this);
    askToKeepChanges ("Starting a new project", [safe]
    {
        if (safe == nullptr)
            return;

        safe->appState.newProject();
        safe->showPage (Page::import);
    });
}

void MainComponent::chooseProjectToOpen()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFile;
    request.title = "Open a project";
    request.initialLocation = appState.projectFile != juce::File() ? appState.projectFile.getParentDirectory()
                                                                   : juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
    request.filePatterns = juce::String ("*") + projectExtension;

    juce::Component::SafePointer<MainComponent> safe (this);
    appState.seams->showFileChooser (request, [safe] (const juce::Array<juce::File>& chosen)
                                     {
                                         if (safe != nullptr && ! chosen.isEmpty())
                                             safe->openProjectFile (chosen.getFirst());
                                     });
}

void MainComponent::openProjectFile (const juce::File& file)
{
    juce::String error;
    juce::StringArray missing;

    if (! appState.openProject (file, error, missing))
    {
        appState.seams->showWarning ("The project was not opened", error, this);
        return;
    }

    refreshFooter();
    showPage (Page::import);

    if (! missing.isEmpty())
    {
        MessageBoxRequest request;
        request.icon = juce::MessageBoxIconType::InfoIcon;
        request.title = "Some sources were not found";
        request.message = "Everything else was restored. These are not where the project says they are:\n\n" + missing.joinIntoString ("\n");
        request.associatedComponent = this;
        appState.seams->showMessageBox (request, {});
    }
}

juce::File MainComponent::withProjectExtension (const juce::File& chosen)
{
    if (chosen.hasFileExtension (projectExtension))
        return chosen;

    return chosen.getSiblingFile (chosen.getFileName() + projectExtension);
}

void MainComponent::saveProject (bool saveAs, std::function<void()> afterSaved)
{
    if (! saveAs && appState.projectFile != juce::File())
        writeProject (appState.projectFile, std::move (afterSaved));
    else
        chooseProjectToSave (std::move (afterSaved));
}

void MainComponent::chooseProjectToSave (std::function<void()> afterSaved)
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::saveFile;
    request.title = "Save the project";
    request.filePatterns = juce::String ("*") + projectExtension;
    request.warnAboutOverwriting = true;

    if (appState.projectFile != juce::File())
    {
        request.initialLocation = appState.projectFile;
    }
    else
    {
        const auto name = sanitiseFileName (appState.session.getPreset().metadata.project.trim(), "-", "Untitled", 120);
        request.initialLocation = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getChildFile (name + projectExtension);
    }

    juce::Component::SafePointer<MainComponent> safe (this);
    appState.seams->showFileChooser (request, [safe, afterSaved] (const juce::Array<juce::File>& chosen)
                                     {
                                         if (safe == nullptr || chosen.isEmpty())
                                             return;

                                         const auto target = withProjectExtension (chosen.getFirst());

                                         // The chooser only asked about the name as typed; the
                                         // extension may lead to another file that exists.
                                         if (target == chosen.getFirst() || ! target.exists())
                                         {
                                             safe->writeProject (target, afterSaved);
                                             return;
                                         }

                                         MessageBoxRequest question;
                                         question.icon = juce::MessageBoxIconType::QuestionIcon;
                                         question.title = "The project file already exists";
                                         question.message = "\"" + target.getFileName() + "\" is already in that folder. Replace it with this project?";
                                         question.okText = "Replace";
                                         question.associatedComponent = safe.getComponent();

                                         safe->appState.seams->askOkCancel (question, [safe, target, afterSaved] (bool confirmed)
                                                                            {
                                                                                if (confirmed && safe != nullptr)
                                                                                    safe->writeProject (target, afterSaved);
                                                                            });
                                     });
}

void MainComponent::writeProject (const juce::File& file, std::function<void()> afterSaved)
{
    juce::String error;
    const auto saved = appState.saveProject (file, error);

    if (! saved)
        appState.seams->showWarning ("The project was not saved", error, this);

    refreshFooter();

    if (saved && afterSaved != nullptr)
        afterSaved();
}

//==============================================================================
juce::File MainComponent::findManual (const juce::File& startFolder)
{
    static const char* const candidates[] = { "manual/index.html", "Resources/manual/index.html", "docs/manual/index.html" };

    auto folder = startFolder;
    while (folder.getFullPathName().isNotEmpty())
    {
        for (const auto* candidate : candidates)
        {
            const auto file = folder.getChildFile (candidate);
            if (file.existsAsFile())
                return file;
        }

        const auto parent = folder.getParentDirectory();
        if (parent == folder)
            break;
        folder = parent;
    }

    return {};
}

void MainComponent::openManual()
{
    openManualFrom (juce::File::getSpecialLocation (juce::File::currentExecutableFile).getParentDirectory());
}

void MainComponent::openManualFrom (const juce::File& programFolder)
{
    // The manual ships beside the program; there is no copy on the web to fall back on.
    const auto manual = findManual (programFolder);

    if (manual == juce::File())
    {
        appState.seams->showWarning ("The manual was not opened",
                                     "There is no manual/index.html in " + programFolder.getFullPathName()
                                         + " or any folder above it. Reinstalling the program brings it back.",
                                     this);
        return;
    }

    if (manualOpens.isUnderWay())
        return;

    // The pointer shows busy over the window until the desktop answers, which can take seconds.
    juce::Component::SafePointer<MainComponent> safe (this);
    appState.seams->openFile (manual, manualOpens.begin ([safe, manual] (const OpenResult& result)
                              {
                                  // The desktop opener's own message already names the page; once is enough.
                                  const auto path = manual.getFullPathName();
                                  if (! result.ok && safe != nullptr)
                                      safe->appState.seams->showWarning ("The manual was not opened",
                                                                         result.error.contains (path) ? result.error : "Could not open " + path + ": " + result.error,
                                                                         safe.getComponent());
                              }));
}

//==============================================================================
void MainComponent::askToKeepChanges (const juce::String& leaving, std::function<void()> proceed)
{
    if (! appState.hasUnsavedWork())
    {
        if (proceed != nullptr)
            proceed();
        return;
    }

    const auto name = appState.projectFile != juce::File() ? "'" + appState.projectFile.getFileNameWithoutExtension() + "'"
                                                           : juce::String ("This project");

    MessageBoxRequest question;
    question.icon = juce::MessageBoxIconType::QuestionIcon;
    question.title = "Save the changes to the project?";
    question.message = name + " has changes that are not saved. " + leaving + " without saving loses them.";
    question.okText = "Save";
    question.noText = "Don't save";
    question.cancelText = "Cancel";
    question.associatedComponent = this;

    juce::Component::SafePointer<MainComponent> safe (this);
    appState.seams->askYesNoCancel (question, [safe, proceed = std::move (proceed)] (Seams::Answer answer)
                                    {
                                        if (safe == nullptr || answer == Seams::Answer::cancel)
                                            return;

                                        if (answer == Seams::Answer::no)
                                        {
                                            if (proceed != nullptr)
                                                proceed();
                                            return;
                                        }

                                        safe->saveProject (false, proceed);
                                    });
}

void MainComponent::requestClose (std::function<void()> continuation)
{
    juce::Component::SafePointer<MainComponent> safe (this);
    askToKeepChanges ("Closing", [safe, continuation = std::move (continuation)]
    {
        if (safe != nullptr)
            safe->closeUnlessRendering (continuation);
    });
}

void MainComponent::closeUnlessRendering (std::function<void()> continuation)
{
    if (exportPage == nullptr || ! exportPage->isRendering())
    {
        appState.saveSettings();
        if (continuation)
            continuation();
        return;
    }

    MessageBoxRequest question;
    question.icon = juce::MessageBoxIconType::QuestionIcon;
    question.title = renderQuestionTitle;
    question.message = "Closing now cancels it. Files already written stay where they are; nothing is left half-written.";
    question.associatedComponent = this;

    renderQuestionOpen = true;
    closeAfterRender = std::move (continuation);

    juce::Component::SafePointer<MainComponent> safe (this);
    appState.seams->askOkCancel (question, [safe] (bool confirmed)
                                 {
                                     // A question taken back after the render ended has already
                                     // let the close go ahead.
                                     if (safe == nullptr || ! safe->renderQuestionOpen)
                                         return;

                                     safe->renderQuestionOpen = false;
                                     auto close = std::move (safe->closeAfterRender);
                                     safe->closeAfterRender = nullptr;

                                     if (! confirmed)
                                         return;

                                     safe->appState.saveSettings();
                                     if (close)
                                         close();
                                 });
}

//==============================================================================
void MainComponent::showSettingsDialog()
{
    if (auto* window = settingsWindow.getComponent())
    {
        window->toFront (true);
        return;
    }

    juce::Component::SafePointer<MainComponent> safe (this);
    SettingsDialog::Callbacks callbacks;

    callbacks.interfaceSizeChanged = [safe] (int percent)
    {
        if (safe == nullptr)
            return;
        auto& settings = *safe->appState.settings;
        settings.setValue ("uiScalePercent", percent);
        juce::ignoreUnused (settings.saveIfNeeded());
        applyUiScale (percent);
    };

    callbacks.paletteChoiceChanged = [safe] (PaletteChoice choice)
    {
        if (safe == nullptr)
            return;
        auto& settings = *safe->appState.settings;
        settings.setValue ("paletteChoice", (int) choice);
        juce::ignoreUnused (settings.saveIfNeeded());
        applyPalette (paletteForChoice (choice, settings));
    };

    callbacks.customPaletteChanged = [safe] (const Palette& palette)
    {
        if (safe == nullptr)
            return;
        auto& settings = *safe->appState.settings;
        settings.setValue ("customPalette", formatCustomPalette (palette));
        juce::ignoreUnused (settings.saveIfNeeded());
    };

    const auto& settings = *appState.settings;
    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (new SettingsDialog (settings.getIntValue ("uiScalePercent", 100), readPaletteChoice (settings), std::move (callbacks)));
    options.dialogTitle = juce::String (productName) + " settings";
    options.dialogBackgroundColour = currentPalette().windowBackground;
    options.componentToCentreAround = this;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = true;
    options.resizable = false;
    settingsWindow = options.launchAsync();
}

SettingsDialog* MainComponent::getSettingsDialog() const
{
    if (auto* window = settingsWindow.getComponent())
        return dynamic_cast<SettingsDialog*> (window->getContentComponent());

    return nullptr;
}

} // namespace dunmoor::ui
