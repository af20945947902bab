// Over 800 lines on purpose: this is the one owner of a RenderJob, and planning, launching,
// polling, cancelling and handing over a run share the job, the run number and the page's
// safe pointer. The view (ExportContent) and the decisions (the units beside this file) are
// already elsewhere; splitting the run's life across files would spread its thread rules.

#include "ExportPage.h"

#include "BlockLayoutSettings.h"
#include "NamingPreview.h"
#include "core/files/PathRules.h"
#include "ui/app/AppState.h"
#include "ui/app/OpenFolder.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    // The first layout pass gives the content room for everything, a cleanup preview of
    // thousands of tall rows included, before it takes the height it needs.
    constexpr int layoutPassHeight = 1 << 22;

    std::vector<RenderRequest> requestsOf (const BatchPlan& plan)
    {
        std::vector<RenderRequest> requests;
        requests.reserve (plan.cues.size());

        for (const auto& cue : plan.cues)
            requests.push_back (cue.request);

        return requests;
    }
} // namespace

//==============================================================================
ExportPage::ExportPage (AppState& state)
    : appState (state),
      content (std::make_unique<Content>()),
      renderBar (std::make_unique<RenderBar>()),
      cleanupAudition (state, content->gatedList, renderBar->phaseBar, [this] { return runControl.getIdleText(); })
{
    setTitle ("Levels & Export");

    addAndMakeVisible (viewport);
    addAndMakeVisible (*renderBar);
    viewport.setViewedComponent (content.get(), false);
    viewport.setScrollBarsShown (true, false);
    viewport.setTitle ("Export settings");

    renderBar->saveButton.setTooltip ("Keep the formats, naming, headroom and cue rules in the preset. Next delivery for this publisher starts here.");

    wireControls();
    loadLayoutSettings();
    loadVocabulary();
    wireReportArea();

    appState.session.addListener (this);
    refresh();
    rebuildFormatRows();
    startTimerHz (10);
}

ExportPage::~ExportPage()
{
    stopTimer();
    appState.session.removeListener (this);

    // A render still running is asked to stop and waited for, however long its current block
    // takes; its completion message, if already posted, finds no page and is dropped.
    if (renderJob != nullptr)
    {
        renderJob->cancel();
        (void) renderJob->waitForThreadToExit (-1);
    }

    viewport.setViewedComponent (nullptr, false);
    renderJob.reset();
}

//==============================================================================
void ExportPage::openOutputFolder()
{
    const auto& folder = appState.outputFolder;

    // The button did nothing at all before a folder was chosen or made; say what to do instead.
    if (folder == juce::File())
    {
        MessageBoxRequest request;
        request.icon = juce::MessageBoxIconType::InfoIcon;
        request.title = "No render folder yet";
        request.message = "Choose where the delivery goes with \"Choose render folder\", or press \"Render and export\", which asks for one.";
        request.associatedComponent = this;
        appState.seams->showMessageBox (request, {});
        return;
    }

    if (! folder.isDirectory())
    {
        MessageBoxRequest request;
        request.icon = juce::MessageBoxIconType::InfoIcon;
        request.title = "The render folder does not exist yet";
        request.message = "\"" + folder.getFullPathName() + "\" is made by the next render. Press \"Render and export\", or choose another folder with \"Choose render folder\".";
        request.associatedComponent = this;
        appState.seams->showMessageBox (request, {});
        return;
    }

    openFolderInFileBrowser (*appState.seams, folder, this);
}

//==============================================================================
void ExportPage::wireControls()
{
    auto& bar = *renderBar;
    auto& c = *content;

    bar.saveButton.onClick = [this] { savePresetFromHere(); };
    bar.chooseFolderButton.onClick = [this] { chooseOutputFolder(); };
    bar.openFolderButton.onClick = [this] { openOutputFolder(); };

    for (auto* combo : c.getCombos())
        combo->onChange = [this] { commitSettings(); };

    for (auto* toggle : c.getToggles())
        toggle->onClick = [this] { commitSettings(); };

    // A drag commits once, when it ends; typing a value or stepping commits at once.
    for (auto* slider : c.getSliders())
    {
        slider->onDragStart = [this] { sliderDragging = true; };
        slider->onValueChange = [this]
        {
            if (! sliderDragging)
                commitSettings();
        };
        slider->onDragEnd = [this]
        {
            sliderDragging = false;
            commitSettings();
        };
    }

    c.stemTemplateEditor.onChange = [this]
    {
        stemTemplateEdited = true;
        commitSettings();
        resized();
    };

    c.mixTemplateEditor.onChange = [this]
    {
        mixTemplateEdited = true;
        commitSettings();
        resized();
    };

    c.separatorChooser.onChange = [this] (const juce::String&) { commitSettings(); };
    c.separatorChooser.onRefused = [this] (const juce::String& reason)
    {
        appState.seams->showWarning ("That separator cannot be used", reason, this);
    };

    c.fullMixNameEditor.onFocusLost = [this] { commitSettings(); };
    c.fullMixNameEditor.onReturnKey = [this]
    {
        commitSettings();
        content->fullMixNameEditor.giveAwayKeyboardFocus();
    };

    for (auto* editor : { &c.stemTemplateEditor, &c.mixTemplateEditor })
    {
        editor->onWordAdded = [this] (const juce::String& word) { addWord (word); };
        editor->onWordRemoved = [this] (const juce::String& word) { removeWord (word); };
        editor->askToConfirm = [this] (const juce::String& title, const juce::String& message, std::function<void (bool)> answered)
        {
            MessageBoxRequest request;
            request.icon = juce::MessageBoxIconType::QuestionIcon;
            request.title = title;
            request.message = message;
            request.associatedComponent = this;
            appState.seams->askOkCancel (request, std::move (answered));
        };
    }

    c.onLayoutChanged = [this] { fitContent(); };

    // The arrangement is written at once; the column shares on every move of a gap drag, but
    // the settings file only once the drag ends.
    c.onBlockColumnsChanged = [this] (const juce::String& text)
    {
        appState.settings->setValue (BlockLayoutSettings::blockColumnsKey, text);
        appState.saveSettings();
    };
    c.onColumnWidthsChanged = [this] (const juce::String& text) { appState.settings->setValue (BlockLayoutSettings::columnWidthsKey, text); };
    c.onColumnDragEnded = [this] { appState.saveSettings(); };
}

void ExportPage::wireReportArea()
{
    auto& bar = *renderBar;
    auto& c = *content;
    auto& list = c.gatedList;

    bar.zoomInButton.onClick = [&list] { list.zoomBy (CleanupView::zoomInFactor); };
    bar.zoomOutButton.onClick = [&list] { list.zoomBy (CleanupView::zoomOutFactor); };
    bar.wholeTakeButton.onClick = [&list] { list.showWholeTake(); };
    bar.tallerButton.onClick = [&list] { list.makeRowsTaller(); };
    bar.shorterButton.onClick = [&list] { list.makeRowsShorter(); };

    // The list's own edits reach the session here; the notification they cause is not read back.
    c.cueList.onRename = [this] (const juce::String& key, const juce::String& name)
    {
        const juce::ScopedValueSetter<bool> editing (cueListEditing, true);

        if (! appState.session.renameCue (key, name))
            return false;

        content->gatedList.renameCue (key, name.trim());
        return true;
    };
    c.cueList.onIncludedChanged = [this] (const juce::String& key, bool included)
    {
        const juce::ScopedValueSetter<bool> editing (cueListEditing, true);
        appState.session.setCueIncluded (key, included);
    };
    c.cueList.onTrimChanged = [this] (const juce::String& key, double seconds)
    {
        const juce::ScopedValueSetter<bool> editing (cueListEditing, true);
        appState.session.setCueTrimStart (key, seconds);
    };
    c.cueList.showMenu = [this] (const juce::PopupMenu& menu, const juce::PopupMenu::Options& options, std::function<void (int)> done)
    {
        appState.seams->showPopupMenu (menu, options, std::move (done));
    };

    bar.analyseButton.onClick = [this] { runAnalysis(); };
    bar.renderButton.onClick = [this] { startExport(); };
    bar.cancelButton.onClick = [this]
    {
        if (renderJob != nullptr)
            renderJob->cancel();
    };
}

//==============================================================================
bool ExportPage::isRendering() const
{
    return renderJob != nullptr && renderJob->getStatus().isRunning;
}

bool ExportPage::isJobThreadBusy()
{
    // Once the last run's completion has been handled, its thread has only to return from its
    // callback: a press right after a run ends waits for that rather than being ignored.
    if (renderJob != nullptr && ! runControl.isRunInFlight())
        (void) renderJob->waitForThreadToExit (-1);

    return isRendering();
}

void ExportPage::loadLayoutSettings()
{
    auto& settings = *appState.settings;
    content->applyBlockColumns (BlockLayoutSettings::cleanBlockColumns (settings.getValue (BlockLayoutSettings::blockColumnsKey)));

    auto widths = BlockLayoutSettings::readColumnWidths (settings.getValue (BlockLayoutSettings::columnWidthsKey));

    if (! widths.empty())
        content->applyColumnWidths (std::move (widths));
}

void ExportPage::resetLayout()
{
    appState.settings->setValue (BlockLayoutSettings::blockColumnsKey, juce::String());
    appState.saveSettings();
    content->applyBlockColumns ({});
    appState.settings->setValue (BlockLayoutSettings::columnWidthsKey, juce::String());
    appState.saveSettings();
    content->applyColumnWidths ({});
}

//==============================================================================
BatchPlan ExportPage::buildRequests (bool measureOnly) const
{
    // Before a folder is chosen its checks wait for the chooser; everything else is found now.
    // A render is only ever launched from a plan made with the folder.
    const auto& session = appState.session;
    const auto& folder = appState.outputFolder;
    return buildBatchPlan (session.getPreset(), session.getTracks(), session.getCuesWithTracks(), folder, measureOnly,
                           folder == juce::File() ? OutputFolderCheck::later : OutputFolderCheck::checkOnly);
}

CueRows::Problems ExportPage::findCueProblems() const
{
    // Planned as if every cue were ticked: an unticked cue still says what would stop it, and
    // ticking one does not change what another's row says.
    const auto& session = appState.session;
    auto cues = session.getCuesWithTracks();

    for (auto& cue : cues)
        cue.included = true;

    return CueRows::findProblems (buildBatchPlan (session.getPreset(), session.getTracks(), cues, appState.outputFolder, true));
}

void ExportPage::showCueList()
{
    auto& list = content->cueList;
    list.setRows (CueRows::followCues (list.getRows(), appState.session.getCuesWithTracks(), findCueProblems()));
    resized();
    applyRunState();
    scrollToReport();
}

void ExportPage::followSessionCues()
{
    if (! content->cueList.getRows().empty())
        content->cueList.syncWithCues (appState.session.getCuesWithTracks(), findCueProblems());
}

void ExportPage::scrollToReport()
{
    const auto maxScroll = content->getHeight() - viewport.getMaximumVisibleHeight();
    viewport.setViewPosition (0, std::max (0, std::min (maxScroll, content->getReportTop() - 12)));
}

bool ExportPage::runAnalysis()
{
    if (! runControl.canLaunch (isJobThreadBusy()))
        return false;

    const auto plan = buildRequests (true);

    if (! plan.errors.isEmpty())
    {
        // The list stays, with every cue and what stops it, so that a cue can be left out there.
        const auto wayOut = CueRows::describeWayOut (plan);
        showSummaryText ("Cannot analyse:\n" + plan.errors.joinIntoString ("\n") + (wayOut.isNotEmpty() ? "\n" + wayOut : juce::String()));
        content->gatedList.setRows ({});
        renderBar->setPreviewButtonsVisible (false);
        showCueList();
        return false;
    }

    return launch (requestsOf (plan), RunKind::analysis);
}

void ExportPage::startExport()
{
    proceedToExport ({});
}

void ExportPage::proceedToExport (juce::StringArray answeredWarnings)
{
    if (! runControl.canLaunch (isJobThreadBusy()))
        return;

    const auto plan = buildRequests (false);

    if (! plan.errors.isEmpty())
    {
        refuseExport (plan);
        return;
    }

    juce::StringArray unanswered;

    for (const auto& warning : plan.warnings)
        if (! answeredWarnings.contains (warning))
            unanswered.add (warning);

    answeredWarnings.addArray (unanswered);

    // Without a folder the plan was made without its checks: it is made again once one is chosen.
    const auto folderChosen = appState.outputFolder != juce::File();
    auto requests = std::make_shared<std::vector<RenderRequest>> (folderChosen ? requestsOf (plan) : std::vector<RenderRequest>());
    juce::Component::SafePointer<ExportPage> safe (this);

    askPastWarnings (unanswered, [safe, folderChosen, requests, answeredWarnings]
                     {
                         if (safe == nullptr)
                             return;

                         auto goOn = [safe, answeredWarnings]
                         {
                             if (safe != nullptr)
                                 safe->proceedToExport (answeredWarnings);
                         };

                         if (folderChosen)
                             safe->launch (std::move (*requests), RunKind::exportRun);
                         else if (safe->appState.outputFolder != juce::File())
                             goOn();   // chosen with the bar's button while the question was open
                         else
                             safe->askForOutputFolder (std::move (goOn));
                     });
}

void ExportPage::refuseExport (const BatchPlan& plan)
{
    const auto wayOut = CueRows::describeWayOut (plan);
    appState.seams->showWarning ("The export cannot start", plan.errors.joinIntoString ("\n") + (wayOut.isNotEmpty() ? "\n\n" + wayOut : juce::String()),
                                 this);
    showCueList();
}

void ExportPage::askPastWarnings (const juce::StringArray& warnings, std::function<void()> proceed)
{
    if (warnings.isEmpty())
    {
        proceed();
        return;
    }

    MessageBoxRequest request;
    request.icon = juce::MessageBoxIconType::QuestionIcon;
    request.title = "Continue with these warnings?";
    request.message = warnings.joinIntoString ("\n");
    request.associatedComponent = this;

    appState.seams->askOkCancel (request, [proceed = std::move (proceed)] (bool confirmed)
                                 {
                                     if (confirmed)
                                         proceed();
                                 });
}

bool ExportPage::launch (std::vector<RenderRequest> requests, RunKind kind)
{
    // Checked again here: a question may have been open while another run started.
    if (! runControl.canLaunch (isJobThreadBusy()))
        return false;

    const auto run = runControl.beginRun (kind);
    cleanupAudition.stop();
    renderBar->phaseBar.clear();
    renderBar->phaseBar.setText ({});
    applyRunState();

    renderJob = std::make_unique<RenderJob>();

    // The report is named after the project the run was started from, whatever is opened or
    // saved meanwhile.
    const auto projectFileName = appState.projectFile != juce::File() ? appState.projectFile.getFileNameWithoutExtension() : juce::String();

    juce::Component::SafePointer<ExportPage> safe (this);
    const auto started = renderJob->start (std::move (requests), [safe, run, projectFileName] (const BatchReport& report)
                                           {
                                               // On the render thread: the report is copied into the message.
                                               juce::MessageManager::callAsync ([safe, run, projectFileName, copy = report]() mutable
                                                                                {
                                                                                    copy.projectFileName = projectFileName;

                                                                                    if (safe != nullptr)
                                                                                        safe->handleCompletion (run, std::move (copy));
                                                                                });
                                           });

    if (! started)
    {
        runControl.launchFailed();
        renderBar->phaseBar.setText (runControl.getIdleText());
        applyRunState();
    }

    updateWarnings();
    return started;
}

void ExportPage::handleCompletion (int runNumber, BatchReport report)
{
    const auto kind = runControl.isExporting() ? RunKind::exportRun : RunKind::analysis;

    if (! runControl.acceptCompletion (runNumber, report.cancelled, appState.hasLastReport))
        return;

    // The job's last progress report, taken before the bar stops polling it.
    if (! report.cancelled && renderJob != nullptr)
    {
        const auto status = renderJob->getStatus();
        renderBar->phaseBar.setProgress (status.progress, status.phase);
    }

    applyRunState();

    if (report.cancelled)
    {
        renderBar->phaseBar.clear();
        renderBar->phaseBar.setText (runControl.getIdleText());
        updateWarnings();
        return;
    }

    if (kind == RunKind::exportRun)
    {
        finishExport (std::move (report));
        return;
    }

    renderBar->phaseBar.setText (runControl.getIdleText());
    formatBatchSummary (std::move (report), RunKind::analysis);
    updateWarnings();
}

void ExportPage::finishExport (BatchReport report)
{
    renderBar->phaseBar.finish();
    renderBar->phaseBar.setText (runControl.getIdleText());

    // Summarised before the report is handed over; the report is kept whole.
    formatBatchSummary (report, RunKind::exportRun);
    appState.setLastReport (std::move (report));
    updateWarnings();

    if (onExportFinished != nullptr)
        onExportFinished();
}

void ExportPage::applyRunState()
{
    // The list also shows when a run was refused; the button only calls for a render that can start.
    const auto states = runControl.getButtonStates (! appState.session.getTracks().empty(), content->cueList.isVisible() && ! warningsHaveErrors);
    content->setEnabled (states.content);
    renderBar->analyseButton.setEnabled (states.analyse);
    renderBar->renderButton.setEnabled (states.render);
    renderBar->renderButton.setPulsing (states.pulse);
    renderBar->cancelButton.setEnabled (states.cancel);
}

//==============================================================================
void ExportPage::chooseOutputFolder()
{
    askForOutputFolder (nullptr);
}

void ExportPage::askForOutputFolder (std::function<void()> thenWithFolder)
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFolder;
    request.title = "Choose the export folder";
    request.initialLocation = appState.getOutputBrowseFolder();

    juce::Component::SafePointer<ExportPage> safe (this);
    appState.seams->showFileChooser (request, [safe, thenWithFolder = std::move (thenWithFolder)] (const juce::Array<juce::File>& chosen)
                                     {
                                         if (safe == nullptr || chosen.isEmpty())
                                             return;

                                         auto& page = *safe;
                                         juce::String error;

                                         if (! validateOutputFolder (chosen.getFirst(), error))
                                         {
                                             page.appState.seams->showWarning ("That folder cannot be used", error, &page);
                                             return;
                                         }

                                         page.appState.setOutputFolder (chosen.getFirst());
                                         page.renderBar->setFolder (page.appState.outputFolder);
                                         page.updateWarnings();

                                         if (thenWithFolder != nullptr)
                                             thenWithFolder();
                                     });
}

void ExportPage::savePresetFromHere()
{
    const auto preset = appState.session.getPreset();

    if (! preset.isBuiltIn)
    {
        storePreset (preset, {});
        return;
    }

    TextPromptRequest request;
    request.icon = juce::MessageBoxIconType::NoIcon;
    request.title = "Save as a new preset";
    request.message = "'" + preset.name + "' is built in and cannot be changed.\nGive these settings a name of their own:";
    request.fields.push_back ({ "name", {}, preset.name + " (edited)" });
    request.okText = "Save";
    request.cancelText = "Cancel";
    request.associatedComponent = this;

    juce::Component::SafePointer<ExportPage> safe (this);
    appState.seams->askForText (request, [safe, preset] (bool confirmed, const juce::StringArray& texts)
                                {
                                    const auto name = texts[0].trim();

                                    if (safe != nullptr && confirmed && name.isNotEmpty())
                                        safe->storePreset (preset, name);
                                });
}

void ExportPage::storePreset (Preset preset, const juce::String& newName)
{
    auto& library = *appState.presetLibrary;
    juce::String error, savedId;

    const auto saved = newName.isNotEmpty() ? library.saveAsNewPreset (preset, newName, preset.kind, savedId, error)
                                            : library.savePreset (preset, savedId, error);

    if (! saved)
    {
        appState.seams->showWarning ("The preset was not saved", error, this);
        return;
    }

    // The working copy becomes what the library holds, id included, so that the next save
    // writes the same file and the footer sees no difference.
    appState.adoptLibraryPreset (savedId);
    const auto loaded = library.loadPreset (savedId);

    if (loaded.ok && loaded.preset != appState.session.getPreset())
        appState.session.updatePreset (loaded.preset);

    updatePresetStatus();
}

//==============================================================================
void ExportPage::refresh()
{
    const auto& settings = appState.session.getPreset().exportSettings;
    auto& c = *content;

    c.setValues (ExportSettingsMapping::fromSettings (settings));
    c.stemTemplateEditor.setTemplate (settings.naming.stemTemplate);
    c.mixTemplateEditor.setTemplate (settings.naming.mixTemplate);
    c.stemTemplateEditor.setSeparator (settings.naming.separator);
    c.mixTemplateEditor.setSeparator (settings.naming.separator);
    stemTemplateEdited = false;
    mixTemplateEdited = false;

    renderBar->setFolder (appState.outputFolder);

    updateStemsFolderNote();
    updateCueCount();
    updatePresetStatus();
    updateNamingPreview();
    updateWarnings();
    resized();
}

void ExportPage::commitSettings()
{
    const auto& current = appState.session.getPreset();
    auto preset = current;
    auto& settings = preset.exportSettings;
    auto& c = *content;

    const auto values = c.getValues();
    ExportSettingsMapping::applyToSettings (values, settings);

    c.stemTemplateEditor.setSeparator (values.separator);
    c.mixTemplateEditor.setSeparator (values.separator);
    const auto templates = ExportSettingsMapping::chooseTemplates (current.exportSettings.naming, values.separator,
                                                                   stemTemplateEdited, c.stemTemplateEditor.getTemplateString(),
                                                                   mixTemplateEdited, c.mixTemplateEditor.getTemplateString());
    settings.naming.stemTemplate = templates.stemTemplate;
    settings.naming.mixTemplate = templates.mixTemplate;
    stemTemplateEdited = false;
    mixTemplateEdited = false;

    // The render writes the first two formats: the two rows are the list.
    settings.formats.clear();

    for (const auto& row : c.getFormatRows())
        settings.formats.push_back (row->getFormat());

    if (settings.formats.empty())
        settings.formats.push_back ({});

    if (settings != current.exportSettings)
    {
        const auto wasCommitting = committingSettings;
        committingSettings = true;
        appState.session.updatePreset (std::move (preset));
        committingSettings = wasCommitting;
    }

    updateStemsFolderNote();
    statusDirty = true;
}

void ExportPage::rebuildFormatRows()
{
    auto& c = *content;

    if (c.getFormatRows().empty())
    {
        for (int i = 0; i < 2; ++i)
        {
            auto row = std::make_unique<FormatRow> (i, *appState.seams, [this] { commitSettings(); }, [this] { return appState.outputFolder; });
            row->onNoteShownChanged = [this] { resized(); };
            c.addFormatRow (std::move (row));
        }
    }

    const auto& settings = appState.session.getPreset().exportSettings;

    for (size_t i = 0; i < c.getFormatRows().size(); ++i)
    {
        OutputFormat format;

        if (i < settings.formats.size())
            format = settings.formats[i];
        else
            format.enabled = false;

        c.getFormatRows()[i]->showFormat (format, settings.masterSampleRate);
    }

    resized();
    updateNamingPreview();
    updateWarnings();
}

void ExportPage::updateCueCount()
{
    juce::StringArray names;

    for (const auto& cue : appState.session.getCuesWithTracks())
        names.add (cue.name);

    content->cueCountLabel.setText (ExportSettingsMapping::describeCueCount (names), juce::dontSendNotification);
}

void ExportPage::updateStemsFolderNote()
{
    content->updateDependentControls (appState.session.getPreset().exportSettings);
}

void ExportPage::updatePresetStatus()
{
    const auto& preset = appState.session.getPreset();
    renderBar->saveButton.setEnabled (preset.isBuiltIn || appState.isPresetModified());
}

void ExportPage::updateNamingPreview()
{
    const auto text = buildNamingPreview (appState.session.getPreset(), appState.session.getCuesWithTracks(), appState.session.getTracks());

    if (text != content->previewText.getText())
        content->previewText.setText (text);
}

void ExportPage::updateWarnings()
{
    warningsDirty = false;
    const auto plan = buildRequests (true);

    juce::StringArray lines;

    for (const auto& error : plan.errors)
        lines.add ("ERROR    " + error);

    for (const auto& warning : plan.warnings)
        lines.add ("warning  " + warning);

    auto& label = content->warningsLabel;
    const auto text = lines.joinIntoString ("\n");
    warningsHaveErrors = ! plan.errors.isEmpty();
    content->setWarningsHaveErrors (warningsHaveErrors);

    if (text != label.getText())
    {
        label.setText (text, juce::dontSendNotification);
        resized();
    }

    // What stops a cue changes with its tracks, their assignments and the settings.
    followSessionCues();
    applyRunState();
    updateCueCount();
    updatePresetStatus();
}

void ExportPage::showSummaryText (const juce::String& text)
{
    if (text != content->summaryText.getText())
        content->summaryText.setText (text);
}

void ExportPage::formatBatchSummary (const BatchReport& report, RunKind kind)
{
    showSummary (report, kind, BatchSummary::buildGatedRows (report));
}

void ExportPage::formatBatchSummary (BatchReport&& report, RunKind kind)
{
    auto rows = BatchSummary::takeGatedRows (report);
    showSummary (report, kind, std::move (rows));
}

void ExportPage::showSummary (const BatchReport& report, RunKind kind, std::vector<GatedTrackRow> gatedRows)
{
    const auto& session = appState.session;
    const auto cues = session.getCuesWithTracks();
    const auto summaryKind = kind == RunKind::exportRun ? BatchSummary::RunKind::exportRun : BatchSummary::RunKind::analysis;

    showSummaryText (BatchSummary::formatText (report, session.getPreset(), cues, summaryKind));
    content->cueList.setRows (CueRows::followCues (BatchSummary::buildCueRows (report, cues), cues, findCueProblems()));
    content->gatedList.setRows (std::move (gatedRows));

    renderBar->setPreviewButtonsVisible (content->gatedList.isVisible());
    resized();
    applyRunState();
    scrollToReport();
}

//==============================================================================
void ExportPage::loadVocabulary()
{
    vocabulary.load (appState.settings->getValue (vocabularyKey));
    applyVocabulary();
}

void ExportPage::applyVocabulary()
{
    content->stemTemplateEditor.setVocabulary (vocabulary.getWords());
    content->mixTemplateEditor.setVocabulary (vocabulary.getWords());
    resized();
}

void ExportPage::storeVocabulary()
{
    appState.settings->setValue (vocabularyKey, vocabulary.toText());
    appState.saveSettings();
}

void ExportPage::addWord (const juce::String& word)
{
    if (! vocabulary.add (word))
        return;

    storeVocabulary();
    applyVocabulary();
}

void ExportPage::removeWord (const juce::String& word)
{
    if (! vocabulary.remove (word))
        return;

    storeVocabulary();
    applyVocabulary();
}

//==============================================================================
void ExportPage::timerCallback()
{
    if (statusDirty)
    {
        statusDirty = false;
        updatePresetStatus();
        updateNamingPreview();
        warningsDirty = true;
    }

    // Opening a project takes its output folder after the session was rebuilt, so no session
    // notification carries it: the bar would go on naming the folder the render no longer uses.
    if (renderBar->getFolder() != appState.outputFolder)
    {
        renderBar->setFolder (appState.outputFolder);
        warningsDirty = true;
    }

    if (warningsDirty)
        updateWarnings();

    if (content->gatedList.isVisible() && appState.previewEngine.isPlaying())
        content->gatedList.repaint();

    // Only the job of a run still in flight is polled: a handled run's job can never refill the
    // bar or replace the text it was left with.
    if (renderJob != nullptr && runControl.isRunInFlight())
    {
        const auto status = renderJob->getStatus();
        renderBar->phaseBar.setProgress (status.progress, status.phase);

        if (status.isRunning)
            renderBar->phaseBar.setText (status.statusText);
    }
}

void ExportPage::tracksChanged()
{
    applyRunState();
    updateNamingPreview();
    warningsDirty = true;

    // A change the cue list did not make itself (an undo, a removed or added cue): its rows
    // follow the session, so they never show an old name or edit a cue that is gone.
    if (! cueListEditing)
    {
        followSessionCues();

        for (const auto& cue : appState.session.getCuesWithTracks())
            content->gatedList.renameCue (cue.key, cue.name);
    }
}

void ExportPage::assignmentsChanged()
{
    updateNamingPreview();
    warningsDirty = true;
}

void ExportPage::presetChanged()
{
    if (committingSettings)
        return;

    rebuildFormatRows();
    refresh();
}

void ExportPage::paint (juce::Graphics& g)
{
    g.fillAll (currentPalette().windowBackground);
}

void ExportPage::resized()
{
    auto area = getLocalBounds();
    renderBar->setBounds (area.removeFromBottom (std::min (RenderBar::preferredHeight, area.getHeight())));
    viewport.setBounds (area);

    const auto width = std::max (880, viewport.getMaximumVisibleWidth());
    content->setSize (width, layoutPassHeight);
    content->setSize (width, content->getRequiredHeight());

    // The scroll bar may have come or gone with the new height.
    const auto settledWidth = std::max (880, viewport.getMaximumVisibleWidth());

    if (settledWidth != width)
    {
        content->setSize (settledWidth, layoutPassHeight);
        content->setSize (settledWidth, content->getRequiredHeight());
    }
}

void ExportPage::fitContent()
{
    // The content has just laid itself out at its present size. When that gave it all the room it
    // needs, only its height changes; otherwise (it grew, or a scroll bar came or went) the page
    // lays it out again.
    const auto width = std::max (880, viewport.getMaximumVisibleWidth());

    if (content->getWidth() == width && content->getRequiredHeight() <= content->getHeight())
    {
        content->setSize (width, content->getRequiredHeight());

        if (std::max (880, viewport.getMaximumVisibleWidth()) == width)
            return;
    }

    resized();
}

} // namespace dunmoor::ui
