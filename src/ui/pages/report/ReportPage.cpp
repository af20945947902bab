#include "ReportPage.h"

#include "DeliveryTable.h"
#include "ReportTexts.h"
#include "core/files/PathRules.h"
#include "core/files/PrivateFolder.h"
#include "core/render/FileKindColours.h"
#include "core/render/HtmlReport.h"
#include "core/render/TextReport.h"
#include "ui/app/AppState.h"
#include "ui/app/OpenFolder.h"
#include "ui/app/PlayerTransport.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/ShortenedText.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{
namespace
{
    constexpr const char* transportHeightKey = "reportTransportHeight";
    constexpr int defaultTransportHeight = 164;
    constexpr int minimumTransportHeight = 140;
    constexpr int maximumTransportHeight = 800;
    constexpr int minimumFileNameWidth = 200;
    constexpr int buttonsWidth = 170 + 5 + 150 + 5 + 92 + 5 + 96 + 5 + 150 + 12;
    constexpr int autoplayWidth = 110;
    constexpr int playerControlsWidth = PreviewPlayer::transportWidth + 5 + autoplayWidth + 12;
    constexpr int browserStatusHeight = 22;

    juce::Colour colourForTone (const Palette& palette, ReportTone tone)
    {
        switch (tone)
        {
            case ReportTone::good:
                return palette.good;
            case ReportTone::warning:
                return palette.warning;
            case ReportTone::bad:
                return palette.bad;
            case ReportTone::secondary:
            default:
                return palette.textSecondary;
        }
    }

    /** Breaks every line that is wider than the width at the spaces before it overflows; a word
        wider than the width keeps a line of its own. */
    juce::String wrapToWidth (const juce::String& text, const juce::Font& font, int width)
    {
        juce::StringArray out;

        for (const auto& line : juce::StringArray::fromLines (text))
        {
            if (width <= 0 || font.getStringWidthFloat (line) <= (float) width)
            {
                out.add (line);
                continue;
            }

            juce::String current;

            for (const auto& word : juce::StringArray::fromTokens (line, " ", {}))
            {
                const auto candidate = current.isEmpty() ? word : current + " " + word;

                if (current.isNotEmpty() && font.getStringWidthFloat (candidate) > (float) width)
                {
                    out.add (current);
                    current = word;
                }
                else
                {
                    current = candidate;
                }
            }

            out.add (current);
        }

        return out.joinIntoString ("\n");
    }
} // namespace

//==============================================================================
/** The bar above the player that makes it taller or shorter. */
class ReportPage::TransportGrip : public juce::Component, public juce::SettableTooltipClient
{
public:
    explicit TransportGrip (ReportPage& owner) : page (owner)
    {
        setMouseCursor (juce::MouseCursor::UpDownResizeCursor);
        setTitle ("Player height");
        setTooltip ("Drag to make the player taller or shorter.");
    }

    void mouseDown (const juce::MouseEvent&) override { heightAtDragStart = page.transportHeight; }

    void mouseDrag (const juce::MouseEvent& e) override
    {
        const auto height = juce::jlimit (minimumTransportHeight, maximumTransportHeight, heightAtDragStart - e.getDistanceFromDragStartY());

        if (height != page.transportHeight)
            page.setTransportHeight (height);
    }

    void mouseEnter (const juce::MouseEvent&) override { repaint(); }
    void mouseExit (const juce::MouseEvent&) override { repaint(); }

    void paint (juce::Graphics& g) override
    {
        g.setColour (currentPalette().outline.withAlpha (isMouseOver() ? 1.0f : 0.7f));
        const auto centre = getLocalBounds().toFloat().getCentre();

        for (int i = -1; i <= 1; ++i)
            g.fillRect (centre.x - 14.0f, centre.y - 0.5f + 3.0f * (float) i, 28.0f, 1.0f);
    }

private:
    ReportPage& page;
    int heightAtDragStart = defaultTransportHeight;
};

//==============================================================================
ReportPage::ReportPage (AppState& state)
    : appState (state),
      cueList ({}, this),
      table (std::make_unique<DeliveryTable>()),
      player (juce::String (reportProductName) + " report spectrogram"),
      grip (std::make_unique<TransportGrip> (*this))
{
    setTitle ("Report");

    headline.setTitle ("Run result");
    headline.setFont (fontBold16());
    // A headline longer than the column (a run of one cue says whether its stems reconstruct
    // the mix) takes a second line rather than being drawn squeezed.
    headline.setMinimumHorizontalScale (1.0f);

    cueList.setTitle ("Cues of the run");
    cueList.setRowHeight (36);

    details.setTitle ("Cue details");
    details.setFont (fontMono13_5());
    issues.setTitle ("Errors and warnings");
    issues.setTextColour (currentPalette().bad);

    table->onRowClicked = [this] (int row, bool doubleClick)
    {
        if (doubleClick)
        {
            showFile (row, false, 0.0);
            togglePlayback();
        }
        else
        {
            showFile (row, player.autoplayToggle.getToggleState(), 0.0);
        }
    };
    table->onRename = [this] (int row, const juce::String& name) { return renameDeliveredFile (row, name); };
    table->onRowsReordered = [this] { playersRowsReordered(); };

    player.transportButton.setTitle ("Play");
    player.transportButton.setTooltip ("Play the selected file, or stop what is playing.");
    player.transportButton.onClick = [this] { togglePlayback(); };

    player.autoplayToggle.setTitle ("Autoplay");
    player.autoplayToggle.setToggleState (true, juce::dontSendNotification);
    player.autoplayToggle.setTooltip ("Start each file as soon as you click it, so a delivery can be checked by walking down the list.");

    player.onSeek = [this] (double fraction)
    {
        const auto key = getPreviewKey();

        if (key.isNotEmpty() && appState.previewEngine.isActiveFor (key))
            appState.previewEngine.seekToFraction (fraction);
        else
            showFile (currentRow, true, fraction);
    };

    player.spectrogramView.setTitle ("Spectrogram of the file in the player");
    player.waveformView.setTitle ("Waveform of the file in the player");
    player.waveformView.setPlaceholderText ("Pick a delivered file to hear it");

    player.fileNameLabel.setTitle ("File in the player");
    player.fileNameLabel.setFittedFont (fontPlain14_5());
    player.timeLabel.setTitle ("Playing time");
    player.timeLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (player.timeLabel, LabelTone::secondary);

    PreviewPlayer::Layout layout;
    layout.gapAfterTransport = 5;
    layout.autoplayBesideTransport = true;
    layout.autoplayWidth = autoplayWidth;
    layout.gapAfterAutoplay = 12;
    layout.trailingWidth = buttonsWidth;
    layout.minimumNameWidth = minimumFileNameWidth;
    player.setLayout (layout);

    openInBrowserButton.setTitle ("Open in browser");
    openInBrowserButton.setTooltip ("Build one HTML page holding every cue, with waveforms and levels, and open it in your browser.");
    openInBrowserButton.onClick = [this] { openInBrowser(); };
    saveHtmlButton.setTitle ("Save HTML");
    saveHtmlButton.setTooltip ("Save that page next to the delivery.");
    saveHtmlButton.onClick = [this] { saveHtml(); };
    saveTextButton.setTitle ("Save text");
    saveTextButton.setTooltip ("Save the plain text log.");
    saveTextButton.onClick = [this] { saveText(); };
    copyListButton.setTitle ("Copy delivery list");
    copyListButton.setTooltip ("Copy the list of stems and mixes this run wrote, as plain text, ready to paste into a mail to the publisher.");
    copyListButton.onClick = [this] { copyDeliveryList(); };
    openFolderButton.setTitle ("Open output folder");
    openFolderButton.onClick = [this] { openOutputFolder(); };

    browserStatus.setTitle ("Browser status");
    browserStatus.setText ("Opening the report in the browser...", juce::dontSendNotification);
    browserStatus.setFont (fontPlain13());
    setLabelTone (browserStatus, LabelTone::secondary);
    browserOpens.setOnChange ([this] { showBrowserOpen(); });

    // The player first: the report buttons lie over the right end of its top row.
    addAllAndMakeVisible (*this, { &headline, &cueList, &details, &issues, table.get(), &player, grip.get(), &openInBrowserButton,
                                   &saveHtmlButton, &saveTextButton, &copyListButton, &openFolderButton, &browserStatus });
    issues.setVisible (false);
    browserStatus.setVisible (false);

    if (appState.settings != nullptr)
        transportHeight = appState.settings->getIntValue (transportHeightKey, defaultTransportHeight);

    appState.addChangeListener (this);
    refresh();
}

ReportPage::~ReportPage()
{
    stopTimer();
    appState.removeChangeListener (this);
    cueList.setModel (nullptr);

    if (browserReportFile.existsAsFile())
        browserReportFile.deleteFile();
}

//==============================================================================
const CueReport* ReportPage::getSelectedCue() const
{
    if (! appState.hasLastReport)
        return nullptr;

    const auto& cues = appState.lastReport.cues;

    if (cues.empty())
        return nullptr;

    if (cues.size() == 1)
        return &cues.front();

    return &cues[(size_t) juce::jlimit (0, (int) cues.size() - 1, cueList.getSelectedRow())];
}

juce::String ReportPage::getPreviewKey() const
{
    return currentFile.isEmpty() ? juce::String() : "delivered:" + currentFile;
}

double ReportPage::getShownSampleRate() const
{
    const auto* cue = getSelectedCue();
    return cue != nullptr && cue->sampleRate > 0.0 ? cue->sampleRate : 48000.0;
}

//==============================================================================
void ReportPage::refresh()
{
    const auto hasReport = appState.hasLastReport;
    setAllEnabled ({ &saveHtmlButton, &saveTextButton, &copyListButton }, hasReport);
    openInBrowserButton.setEnabled (hasReport && ! browserOpens.isUnderWay());
    openFolderButton.setEnabled (appState.outputFolder.isDirectory());

    const auto headlineText = makeReportHeadline (hasReport ? &appState.lastReport : nullptr);
    headline.setText (headlineText.text, juce::dontSendNotification);
    headlineTone = headlineText.tone;
    applyColours();

    if (! hasReport)
    {
        showsReport = false;
        detailsText = noReportDetailsText;
        issuesText = {};
        issues.setVisible (false);
        cueList.updateContent();
        table->setRows ({});
        resetPlayer();
        updateTransport();
        resized();
        return;
    }

    const auto& report = appState.lastReport;
    const auto run = appState.lastReportRun;
    const auto newRun = ! showsReport || run != shownRun;
    showsReport = true;
    shownRun = run;

    const juce::ScopedValueSetter<bool> fillingNow (filling, true);
    cueList.updateContent();

    if (newRun && report.cues.size() > 1)
        cueList.selectRow (findCueToSelectOnArrival (report));

    if (const auto* cue = getSelectedCue())
    {
        if (newRun)
        {
            showCue (*cue);
        }
        else
        {
            // The same run again, after a rename or another change of AppState: the cue, the
            // sort and the file in the player stay.
            updateCueTexts (*cue);
            table->updateRows (makeDeliveryRows (*cue));
            currentRow = table->findRowByPath (currentFile);

            if (currentRow < 0)
                resetPlayer();
            else
                table->selectOnly (currentRow);

            updateTransport();
        }
    }
    else
    {
        // A run without a cue failed as a whole; its own errors are all there is to show.
        detailsText = {};
        juce::StringArray lines;

        for (const auto& error : report.errors)
            lines.add ("Error: " + error);

        issuesText = lines.joinIntoString ("\n");
        issues.setVisible (lines.size() > 0);
        table->setRows ({});
        resetPlayer();
        updateTransport();
    }

    resized();
}

void ReportPage::updateCueTexts (const CueReport& cue)
{
    detailsText = buildCueDetailsText (cue);

    issuesText = buildCueIssuesText (cue);
    issues.setVisible (issuesText.isNotEmpty());
}

void ReportPage::showCue (const CueReport& cue)
{
    updateCueTexts (cue);
    table->setRows (makeDeliveryRows (cue));
    resetPlayer();
    updateTransport();
    resized();
}

void ReportPage::resetPlayer()
{
    // A file that sounds keeps sounding; the player just no longer shows it.
    currentRow = -1;
    currentFile = {};
    player.clearSpectrogram();
    player.waveformView.clear();
    player.waveformView.setPlayheadPosition (-1.0);
    player.fileNameLabel.setFullText ({});
    player.timeLabel.setText ({}, juce::dontSendNotification);
}

//==============================================================================
void ReportPage::showFile (int row, bool play, double startFraction)
{
    const auto* r = table->getRow (row);

    if (r == nullptr)
        return;

    table->selectOnly (row);
    auto& engine = appState.previewEngine;

    if (! r->hasFile())
    {
        resetPlayer();
        engine.stop();
        player.fileNameLabel.setFullText (r->fileName + "   (nothing was written)");
        updateTransport();
        return;
    }

    currentRow = row;
    currentFile = r->file.getFullPathName();

    auto& waveform = player.waveformView;
    waveform.setWaveformColour (juce::Colour (getFileKindColour (r->kind).colour));
    player.setDuration (juce::jmax (0.0, r->lengthSeconds));

    if (r->overview.isEmpty())
        waveform.clear();
    else
        waveform.setPeaks (r->overview);

    if (! r->file.existsAsFile())
    {
        player.fileNameLabel.setFullText (r->fileName + "   (no longer on disk)");
        player.clearSpectrogram();
        engine.stop();
        updateTransport();
        return;
    }

    player.fileNameLabel.setFullText (r->fileName);
    player.analyse (r->file, {});

    if (play)
    {
        const auto fraction = juce::jlimit (0.0, 1.0, startFraction);
        const auto start = r->lengthSeconds > 0.0 ? r->lengthSeconds * fraction : 0.0;
        engine.play ({ r->file }, getShownSampleRate(), r->fileName, getPreviewKey(), start, -1.0);
    }

    updateTransport();
}

void ReportPage::togglePlayback()
{
    auto& engine = appState.previewEngine;
    const auto key = getPreviewKey();

    if (key.isNotEmpty() && engine.isActiveFor (key) && (engine.isPlaying() || engine.isLoading()))
    {
        engine.stop();
        updateTransport();
        return;
    }

    const auto row = currentRow >= 0 ? currentRow : table->findFirstRowWithFile();

    if (row >= 0)
        showFile (row, true, 0.0);
}

void ReportPage::updateTransport()
{
    auto transport = readPlayerTransport (appState.previewEngine, getPreviewKey());
    const auto* row = table->getRow (currentRow);
    transport.enabled = table->findFirstRowWithFile() >= 0;
    transport.idleLengthSeconds = row != nullptr ? row->lengthSeconds : -1.0;
    player.showTransport (transport);

    table->setPlayingMarker (transport.active ? currentFile : juce::String(), transport.playheadFraction);
}

void ReportPage::playersRowsReordered()
{
    currentRow = table->findRowByPath (currentFile);

    if (currentRow >= 0)
        table->selectOnly (currentRow);
}

//==============================================================================
bool ReportPage::renameDeliveredFile (int row, const juce::String& newName)
{
    const auto* r = table->getRow (row);

    if (r == nullptr || ! r->hasFile())
        return true;

    const auto file = r->file;
    auto& engine = appState.previewEngine;

    // A sounding file is held open by the engine: stop it first.
    if (engine.isActiveFor ("delivered:" + file.getFullPathName()))
        engine.stop();

    juce::String error;

    if (! appState.renameWrittenFile (file, newName, error))
    {
        warn ("The file was not renamed", error);
        return false;
    }

    if (isSamePath (currentFile, file.getFullPathName()))
        resetPlayer();

    refresh();
    return true;
}

//==============================================================================
void ReportPage::openInBrowser()
{
    // One at a time: a second press would delete the page the browser is about to read.
    if (! appState.hasLastReport || browserOpens.isUnderWay())
        return;

    const juce::String title ("The report could not be opened");

    if (browserReportFile.existsAsFile())
        browserReportFile.deleteFile();

    juce::String error;
    const auto folder = getPrivateTemporaryFolder (juce::String (reportProductName) + " report", error);

    if (folder == juce::File())
    {
        warn (title, error);
        return;
    }

    // The folder is shared by every window of the app this user has open: the page gets a name
    // no other one holds, so that none replaces, or later deletes, another's page.
    browserReportFile = createFileOfItsOwn (folder, getReportBaseName (appState.lastReport), ".html", error);

    if (browserReportFile == juce::File() || ! writeHtmlReport (appState.lastReport, browserReportFile, error, { true, true, {} }))
    {
        warn (title, error);
        return;
    }

    // The opener starts the browser with the path as its one argument, never through a shell,
    // and reports a handler that failed. Finding a browser can take the desktop seconds; the
    // page shows the open under way until the answer comes.
    appState.seams->openFile (browserReportFile, browserOpens.begin ([safe = juce::Component::SafePointer<ReportPage> (this), title, path = browserReportFile.getFullPathName()] (const OpenResult& result)
                              {
                                  // The reason says what to check; the opener's own reason names the page already.
                                  if (! result.ok && safe != nullptr)
                                      safe->warn (title, "The page was written but the browser could not be launched.\n"
                                                             + (result.error.contains (path) ? result.error : path + "\n\n" + result.error).trimEnd());
                              }));
}

void ReportPage::showBrowserOpen()
{
    const auto opening = browserOpens.isUnderWay();
    browserStatus.setVisible (opening);
    openInBrowserButton.setEnabled (appState.hasLastReport && ! opening);
    setBusyPointer (*this, opening);
    resized();
}

void ReportPage::launchSaveChooser (const juce::String& title, const juce::String& extension, std::function<void (const juce::File&)> save)
{
    const auto start = appState.outputFolder.isDirectory() ? appState.outputFolder
                                                           : juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    // The name proposed is one no report of another render has taken in that folder.
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::saveFile;
    request.title = title;
    request.initialLocation = proposeReportFile (appState.lastReport, start, extension);
    request.filePatterns = "*" + extension;
    request.warnAboutOverwriting = true;

    appState.seams->showFileChooser (request, [safe = juce::Component::SafePointer<ReportPage> (this), save = std::move (save)] (const juce::Array<juce::File>& chosen)
                                     {
                                         if (safe != nullptr && ! chosen.isEmpty() && chosen.getFirst() != juce::File() && safe->appState.hasLastReport)
                                             save (chosen.getFirst());
                                     });
}

void ReportPage::saveHtml()
{
    if (! appState.hasLastReport)
        return;

    launchSaveChooser ("Save the report as a web page", ".html", [this] (const juce::File& file)
                       {
                           juce::String error;

                           if (! writeHtmlReport (appState.lastReport, file, error, { true, true, {} }))
                               warn ("The report was not saved", error);
                       });
}

void ReportPage::saveText()
{
    if (! appState.hasLastReport)
        return;

    launchSaveChooser ("Save the render report", ".txt", [this] (const juce::File& file)
                       {
                           juce::String error;

                           if (! writeBatchReportText (appState.lastReport, file, error))
                               warn ("The report was not saved", "Could not write to " + file.getFullPathName());
                       });
}

void ReportPage::copyDeliveryList()
{
    if (appState.hasLastReport)
        appState.seams->copyTextToClipboard (formatDeliveryList (appState.lastReport));
}

void ReportPage::openOutputFolder()
{
    openFolderInFileBrowser (*appState.seams, appState.outputFolder, this);
}

void ReportPage::warn (const juce::String& title, const juce::String& text)
{
    appState.seams->showWarning (title, text, this);
}

//==============================================================================
void ReportPage::setTransportHeight (int height)
{
    transportHeight = height;

    if (appState.settings != nullptr)
        appState.settings->setValue (transportHeightKey, height);

    resized();
}

void ReportPage::applyColours()
{
    // The headline's verdict colours are no label tone, so a palette change comes through here.
    if (headlineTone == ReportTone::secondary)
        setLabelTone (headline, LabelTone::secondary);
    else
        headline.setColour (juce::Label::textColourId, colourForTone (currentPalette(), headlineTone));

    issues.setTextColour (currentPalette().bad);
}

void ReportPage::lookAndFeelChanged()
{
    applyColours();
}

juce::Component& ReportPage::getGrip()
{
    return *grip;
}

void ReportPage::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    g.fillAll (palette.windowBackground);

    const auto fillPanel = [&] (juce::Rectangle<int> area)
    {
        if (area.isEmpty())
            return;

        g.setGradientFill (subtleGradient (palette.panelBackground, area.toFloat()));
        g.fillRect (area);
    };

    if (cueList.isVisible())
        fillPanel (cueListPanel);

    fillPanel (detailsPanel);
}

void ReportPage::layoutButtons (juce::Rectangle<int> row)
{
    openFolderButton.setBounds (row.removeFromRight (170));
    row.removeFromRight (5);
    copyListButton.setBounds (row.removeFromRight (150));
    row.removeFromRight (5);
    saveTextButton.setBounds (row.removeFromRight (92));
    row.removeFromRight (5);
    saveHtmlButton.setBounds (row.removeFromRight (96));
    row.removeFromRight (5);
    openInBrowserButton.setBounds (row.removeFromRight (150));
    row.removeFromRight (12);
}

void ReportPage::layoutBrowserStatus (juce::Rectangle<int> row)
{
    // Right on top of the button that started the open, running to the right; further left only
    // when the line is longer than that. The row kept for it lies above the buttons' row.
    const auto width = measureTextWidthCeil (browserStatus.getFont(), browserStatus.getText()) + browserStatus.getBorderSize().getLeftAndRight();
    const auto left = juce::jmax (row.getX(), juce::jmin (openInBrowserButton.getX(), row.getRight() - width));
    browserStatus.setBounds (row.withLeft (left).withY (openInBrowserButton.getY() - row.getHeight()));
}

void ReportPage::resized()
{
    auto content = getLocalBounds().reduced (12);
    const auto contentHeight = content.getHeight();

    cueList.setVisible (appState.hasLastReport && appState.lastReport.cues.size() > 1);

    auto left = content.removeFromLeft (290);
    content.removeFromLeft (12);
    auto right = content;

    const auto headlineRoom = left.getWidth() - headline.getBorderSize().getLeftAndRight();
    const auto headlineFits = measureLineWidth (headline.getFont(), headline.getText()) <= (float) headlineRoom;
    headline.setBounds (left.removeFromTop (headlineFits ? 30 : 30 + (int) std::ceil (headline.getFont().getHeight())));
    left.removeFromTop (6);

    // The details block draws one line per line break; a line too long for the column is
    // broken here rather than cut off. The block repaints only when its text changes.
    const auto wrapped = wrapToWidth (detailsText, details.getFont(), left.getWidth() - 12);

    if (details.getText() != wrapped)
        details.setText (wrapped);

    detailsPanel = left.removeFromBottom (details.getIdealHeight (1) + 12);
    details.setBounds (detailsPanel.reduced (6));
    left.removeFromBottom (12);
    cueListPanel = left;
    cueList.setBounds (cueListPanel);

    const auto hasRows = table->getNumRows() > 0;
    player.setVisible (hasRows);
    grip->setVisible (hasRows);

    auto tableArea = right;

    if (hasRows)
    {
        const auto height = juce::jmin (contentHeight, juce::jlimit (minimumTransportHeight, juce::jmax (minimumTransportHeight, 2 * contentHeight / 3), transportHeight));
        const auto playerArea = tableArea.removeFromBottom (height);

        // A column too narrow for the player's controls and the buttons side by side gives the
        // buttons a row of their own above the player, so that none of them loses its caption.
        const auto buttonsBesidePlayer = right.getWidth() >= playerControlsWidth + buttonsWidth;
        auto layout = player.getLayout();
        layout.trailingWidth = buttonsBesidePlayer ? buttonsWidth : 0;
        if (layout.trailingWidth != player.getLayout().trailingWidth)
            player.setLayout (layout);

        if (! buttonsBesidePlayer)
            layoutButtons (tableArea.removeFromBottom (30));

        // The line that says the browser is being started sits right above the row of buttons.
        const auto statusRow = browserStatus.isVisible() ? tableArea.removeFromBottom (browserStatusHeight) : juce::Rectangle<int>();

        if (! buttonsBesidePlayer)
            tableArea.removeFromBottom (6);

        grip->setBounds (tableArea.removeFromBottom (10));
        tableArea.removeFromBottom (6);

        // The buttons leave the player's first row too narrow for a file name in most windows;
        // the player then gives the name and the time a row of their own rather than let them vanish.
        player.setBounds (playerArea.withTrimmedTop (6).withTrimmedBottom (6));

        if (buttonsBesidePlayer)
            layoutButtons (player.getTrailingArea() + player.getPosition());

        if (browserStatus.isVisible())
            layoutBrowserStatus (statusRow);
    }
    else
    {
        auto buttons = tableArea.removeFromBottom (30);
        layoutButtons (buttons);

        if (browserStatus.isVisible())
            layoutBrowserStatus (tableArea.removeFromBottom (browserStatusHeight));

        tableArea.removeFromBottom (6);
    }

    // An error or warning names files and folders, so it can be longer than the column is wide.
    if (const auto wrappedIssues = issues.isVisible() ? wrapToWidth (issuesText, issues.getFont(), tableArea.getWidth()) : juce::String();
        issues.getText() != wrappedIssues)
        issues.setText (wrappedIssues);

    if (issues.isVisible())
    {
        issues.setBounds (tableArea.removeFromTop (juce::jmin (issues.getIdealHeight (1), tableArea.getHeight() / 3)));
        tableArea.removeFromTop (6);
    }

    table->setBounds (tableArea);
    repaint();
}

void ReportPage::visibilityChanged()
{
    if (isShowing())
        startTimerHz (10);
    else
        stopTimer();
}

void ReportPage::changeListenerCallback (juce::ChangeBroadcaster*)
{
    refresh();
}

void ReportPage::timerCallback()
{
    updateTransport();
}

//==============================================================================
int ReportPage::getNumRows()
{
    return appState.hasLastReport ? (int) appState.lastReport.cues.size() : 0;
}

void ReportPage::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (! appState.hasLastReport || ! juce::isPositiveAndBelow (row, (int) appState.lastReport.cues.size()))
        return;

    const auto& cue = appState.lastReport.cues[(size_t) row];
    const auto palette = currentPalette();
    const auto attention = cueNeedsAttention (cue);

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));

    if (attention)
        g.fillAll (palette.bad.withAlpha (0.16f));

    const auto stripeWidth = juce::jmin (4, width);
    g.setColour (attention ? palette.bad : palette.good);
    g.fillRoundedRectangle (0.0f, 3.0f, (float) stripeWidth, (float) (height - 6), 2.0f);

    const auto x = stripeWidth + 6;
    const auto textWidth = width - stripeWidth - 12;
    const auto firstHeight = (height - 4) / 2;

    g.setFont (fontPlain14_5());
    g.setColour (attention ? palette.bad : palette.textPrimary);
    g.drawText (getCueDisplayName (cue), x, 2, textWidth, firstHeight, juce::Justification::centredLeft, true);

    g.setFont (fontPlain12_5());
    g.setColour (attention ? palette.bad.withAlpha (0.85f) : palette.textSecondary);
    g.drawText (describeCueListFiles (cue), x, 2 + firstHeight, textWidth, height - 4 - firstHeight, juce::Justification::centredLeft, true);
}

void ReportPage::selectedRowsChanged (int)
{
    if (filling)
        return;

    if (const auto* cue = getSelectedCue())
        showCue (*cue);
}

} // namespace dunmoor::ui
