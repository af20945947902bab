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
/** Computes one file's spectrogram on the page's pool and hands it to the message thread,
    where the page drops it unless it answers the latest request. */
class ReportPage::SpectrogramJob : public juce::ThreadPoolJob
{
public:
    SpectrogramJob (ReportPage& owner, juce::File fileToAnalyse, int request)
        : juce::ThreadPoolJob ("report spectrogram"), page (&owner), file (std::move (fileToAnalyse)), requestNumber (request)
    {
    }

    JobStatus runJob() override
    {
        juce::String error;
        auto result = computeSpectrogram (file, error, 10, 700, [this] { return shouldExit(); });

        if (shouldExit())
            return jobHasFinished;

        juce::MessageManager::callAsync ([safe = page, request = requestNumber, spectrogram = std::move (result)]() mutable
                                         {
                                             if (auto* p = safe.getComponent())
                                                 p->receiveSpectrogram (request, std::move (spectrogram));
                                         });
        return jobHasFinished;
    }

private:
    juce::Component::SafePointer<ReportPage> page;
    juce::File file;
    int requestNumber = 0;
};

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
    : appState (state), cueList ({}, this), table (std::make_unique<DeliveryTable>()), grip (std::make_unique<TransportGrip> (*this))
{
    setTitle ("Report");

    headline.setTitle ("Run result");
    headline.setFont (fontBold16());

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
            showFile (row, autoplayButton.getToggleState(), 0.0);
        }
    };
    table->onRename = [this] (int row, const juce::String& name) { return renameDeliveredFile (row, name); };
    table->onRowsReordered = [this] { playersRowsReordered(); };

    playButton.setTitle ("Play");
    playButton.setTooltip ("Play the selected file, or stop what is playing.");
    playButton.onClick = [this] { togglePlayback(); };

    autoplayButton.setTitle ("Autoplay");
    autoplayButton.setToggleState (true, juce::dontSendNotification);
    autoplayButton.setTooltip ("Start each file as soon as you click it, so a delivery can be checked by walking down the list.");

    const auto seek = [this] (double fraction)
    {
        const auto key = getPreviewKey();

        if (key.isNotEmpty() && appState.previewEngine.isActiveFor (key))
            appState.previewEngine.seekToFraction (fraction);
        else
            showFile (currentRow, true, fraction);
    };

    spectrogram.setTitle ("Spectrogram of the file in the player");
    spectrogram.onSeek = seek;
    waveform.setTitle ("Waveform of the file in the player");
    waveform.setPlaceholderText ("Pick a delivered file to hear it");
    waveform.onSeek = seek;

    fileNameLabel.setTitle ("File in the player");
    fileNameLabel.setFont (fontPlain14_5());
    timeLabel.setTitle ("Playing time");
    timeLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (timeLabel, LabelTone::secondary);

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

    addAllAndMakeVisible (*this, { &headline, &cueList, &details, &issues, table.get(), &playButton, &autoplayButton,
                                   &spectrogram, &waveform, &fileNameLabel, &timeLabel, grip.get(), &openInBrowserButton,
                                   &saveHtmlButton, &saveTextButton, &copyListButton, &openFolderButton });
    issues.setVisible (false);

    if (appState.settings != nullptr)
        transportHeight = appState.settings->getIntValue (transportHeightKey, defaultTransportHeight);

    appState.addChangeListener (this);
    refresh();
}

ReportPage::~ReportPage()
{
    stopTimer();

    // The job reads only its columns' frames, so it ends soon; it is never killed.
    spectrogramPool.removeAllJobs (true, -1);

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
    setAllEnabled ({ &openInBrowserButton, &saveHtmlButton, &saveTextButton, &copyListButton }, hasReport);
    openFolderButton.setEnabled (appState.outputFolder.isDirectory());

    const auto headlineText = makeReportHeadline (hasReport ? &appState.lastReport : nullptr);
    headline.setText (headlineText.text, juce::dontSendNotification);
    headlineTone = headlineText.tone;
    applyColours();

    if (! hasReport)
    {
        showsReport = false;
        detailsText = noReportDetailsText;
        issues.setText ({});
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

        issues.setText (lines.joinIntoString ("\n"));
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

    const auto issueText = buildCueIssuesText (cue);
    issues.setText (issueText);
    issues.setVisible (issueText.isNotEmpty());
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
    ++spectrogramRequest;
    dropSpectrogramJobs();
    waveform.clear();
    waveform.setPlayheadPosition (-1.0);
    spectrogram.clear();
    spectrogram.setBusy (false);
    fileNameLabel.setText ({}, juce::dontSendNotification);
    timeLabel.setText ({}, juce::dontSendNotification);
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
        fileNameLabel.setText (r->fileName + "   (nothing was written)", juce::dontSendNotification);
        updateTransport();
        return;
    }

    currentRow = row;
    currentFile = r->file.getFullPathName();

    waveform.setWaveformColour (juce::Colour (getFileKindColour (r->kind).colour));
    waveform.setDuration (juce::jmax (0.0, r->lengthSeconds));
    spectrogram.setDuration (juce::jmax (0.0, r->lengthSeconds));

    if (r->overview.isEmpty())
        waveform.clear();
    else
        waveform.setPeaks (r->overview);

    if (! r->file.existsAsFile())
    {
        fileNameLabel.setText (r->fileName + "   (no longer on disk)", juce::dontSendNotification);
        ++spectrogramRequest;
        dropSpectrogramJobs();
        spectrogram.clear();
        spectrogram.setBusy (false);
        engine.stop();
        updateTransport();
        return;
    }

    fileNameLabel.setText (r->fileName, juce::dontSendNotification);
    requestSpectrogram (r->file);

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
    auto& engine = appState.previewEngine;
    const auto key = getPreviewKey();
    const auto active = key.isNotEmpty() && engine.isActiveFor (key);

    playButton.setEnabled (table->findFirstRowWithFile() >= 0);
    playButton.setPlaying (active && engine.isPlaying());
    playButton.setLoading (active && engine.isLoading());

    const auto playhead = active ? engine.getPlayheadFraction() : -1.0;
    waveform.setPlayheadPosition (playhead);
    spectrogram.setPlayheadPosition (playhead);
    table->setPlayingMarker (active ? currentFile : juce::String(), playhead);

    const auto* row = table->getRow (currentRow);
    const auto text = formatTransportTime (active, active ? engine.getPlayheadSeconds() : 0.0, active ? engine.getSourceLength() : 0.0, row != nullptr ? row->lengthSeconds : -1.0);
    timeLabel.setText (text, juce::dontSendNotification);
}

void ReportPage::playersRowsReordered()
{
    currentRow = table->findRowByPath (currentFile);

    if (currentRow >= 0)
        table->selectOnly (currentRow);
}

//==============================================================================
void ReportPage::requestSpectrogram (const juce::File& file)
{
    dropSpectrogramJobs();
    spectrogram.setBusy (true);
    spectrogramPool.addJob (new SpectrogramJob (*this, file, ++spectrogramRequest), true);
}

void ReportPage::dropSpectrogramJobs()
{
    // Queued jobs go at once; a running one is asked to stop and is not waited for (its
    // result is dropped by the request number).
    spectrogramPool.removeAllJobs (true, 0);
}

void ReportPage::receiveSpectrogram (int request, Spectrogram result)
{
    if (request != spectrogramRequest.load())
        return;

    if (result.values.empty())
        spectrogram.clear();
    else
        spectrogram.setSpectrogram (result);

    spectrogram.setBusy (false);
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
    if (! appState.hasLastReport)
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

    browserReportFile = folder.getChildFile (getReportFileName (appState.lastReport));

    if (! writeHtmlReport (appState.lastReport, browserReportFile, error, { true, true, {} }))
    {
        warn (title, error);
        return;
    }

    // The opener starts the browser with the path as its one argument, never through a shell,
    // and reports a handler that failed.
    appState.seams->openFile (browserReportFile, [safe = juce::Component::SafePointer<ReportPage> (this), title, path = browserReportFile.getFullPathName()] (const OpenResult& result)
                              {
                                  if (! result.ok && safe != nullptr)
                                      safe->warn (title, "The page was written but the browser could not be launched.\n" + path);
                              });
}

void ReportPage::launchSaveChooser (const juce::String& title, const juce::String& fileName, const juce::String& pattern, std::function<void (const juce::File&)> save)
{
    const auto start = appState.outputFolder.isDirectory() ? appState.outputFolder
                                                           : juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::saveFile;
    request.title = title;
    request.initialLocation = start.getChildFile (fileName);
    request.filePatterns = pattern;
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

    launchSaveChooser ("Save the report as a web page", getReportFileName (appState.lastReport), "*.html", [this] (const juce::File& file)
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

    launchSaveChooser ("Save the render report", juce::String (reportProductName) + " report.txt", "*.txt", [this] (const juce::File& file)
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

void ReportPage::layoutButtons (juce::Rectangle<int>& row)
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

void ReportPage::resized()
{
    auto content = getLocalBounds().reduced (12);
    const auto contentHeight = content.getHeight();

    cueList.setVisible (appState.hasLastReport && appState.lastReport.cues.size() > 1);

    auto left = content.removeFromLeft (290);
    content.removeFromLeft (12);
    auto right = content;

    headline.setBounds (left.removeFromTop (30));
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

    for (auto* c : std::initializer_list<juce::Component*> { &playButton, &autoplayButton, &spectrogram, &waveform, &fileNameLabel, &timeLabel, grip.get() })
        c->setVisible (hasRows);

    auto tableArea = right;

    if (hasRows)
    {
        const auto height = juce::jmin (contentHeight, juce::jlimit (minimumTransportHeight, juce::jmax (minimumTransportHeight, 2 * contentHeight / 3), transportHeight));
        auto player = tableArea.removeFromBottom (height);
        grip->setBounds (tableArea.removeFromBottom (10));
        tableArea.removeFromBottom (6);

        player = player.withTrimmedTop (6).withTrimmedBottom (6);
        auto row = player.removeFromTop (30);
        playButton.setBounds (row.removeFromLeft (96));
        row.removeFromLeft (5);
        autoplayButton.setBounds (row.removeFromLeft (110));
        row.removeFromLeft (12);
        layoutButtons (row);

        // The buttons leave the first row too narrow for a file name in most windows; the name
        // and the time then get a row of their own rather than vanish.
        if (row.getWidth() < 170 + 6 + minimumFileNameWidth)
        {
            player.removeFromTop (4);
            row = player.removeFromTop (22);
        }

        timeLabel.setBounds (row.removeFromRight (170));
        row.removeFromRight (6);
        fileNameLabel.setBounds (row);

        player.removeFromTop (6);
        waveform.setBounds (player.removeFromBottom (44));
        player.removeFromBottom (5);
        spectrogram.setBounds (player);
    }
    else
    {
        auto buttons = tableArea.removeFromBottom (30);
        layoutButtons (buttons);
        tableArea.removeFromBottom (6);
    }

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
