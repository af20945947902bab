#include "ui/pages/import/ImportPreviewPane.h"

#include "ui/app/PlayerTransport.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int zoomSettleMs = 220;
    constexpr int zoomButtonWidth = 30;
    constexpr int zoomButtonGap = 3;
    constexpr int zoomGroupGap = 9;
    constexpr int jumpSilenceGap = 6;

    const juce::String autoplayKey ("importAutoplay");
    const juce::String jumpSilenceKey ("importJumpSilence");
} // namespace

//==============================================================================
void ImportPreviewPane::ZoomSettleTimer::timerCallback()
{
    stopTimer();
    pane.zoomSettled();
}

//==============================================================================
ImportPreviewPane::ImportPreviewPane (AppState& appState, PreviewAnalysis::Compute compute)
    : app (appState), player ("Brackenfold spectrogram", std::move (compute))
{
    // The page paints the panel; clicks between the controls are the page's.
    setInterceptsMouseClicks (false, true);

    auto& p = player;
    p.autoplayToggle.setTooltip ("Audition each file as soon as it is selected.");
    jumpSilenceToggle.setTooltip ("Start playback at the first sound instead of the top of the file, past the silence the DAW wrote before the first note.");
    zoomInButton.setTooltip ("Show less of the file, in more detail. The wheel over either display does the same.");
    zoomOutButton.setTooltip ("Show more of the file.");
    wholeFileButton.setTooltip ("Back to the whole file.");

    const auto& settings = *app.settings;
    p.autoplayToggle.setToggleState (settings.getBoolValue (autoplayKey, false), juce::dontSendNotification);
    jumpSilenceToggle.setToggleState (settings.getBoolValue (jumpSilenceKey, true), juce::dontSendNotification);

    p.fileNameLabel.setFullText ("Nothing selected");
    p.fileNameLabel.setFittedFont (fontBold16());
    p.timeLabel.setFont (fontMono13_5());
    p.timeLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (p.timeLabel, LabelTone::secondary);
    p.waveformView.setPlaceholderText ("No file selected");

    // Every control is found by its title, as a screen reader finds it.
    p.fileNameLabel.setTitle ("File name");
    p.transportButton.setTitle ("Play");
    p.autoplayToggle.setTitle ("Autoplay");
    jumpSilenceToggle.setTitle ("Jump silence");
    p.spectrogramView.setTitle ("Spectrogram");
    p.waveformView.setTitle ("Waveform");
    p.timeLabel.setTitle ("Time");
    zoomInButton.setTitle ("Zoom in");
    zoomOutButton.setTitle ("Zoom out");
    wholeFileButton.setTitle ("Whole file");

    // The player first: the controls in the right end of its top row lie over it.
    addAllAndMakeVisible (*this, { &player, &jumpSilenceToggle, &zoomInButton, &zoomOutButton, &wholeFileButton });

    zoomInButton.onClick = [this] { zoomBy (0.5, 0.5); };
    zoomOutButton.onClick = [this] { zoomBy (2.0, 0.5); };
    wholeFileButton.onClick = [this] { setZoomRange (0.0, 1.0); };
    p.transportButton.onClick = [this] { togglePlayback(); };
    p.autoplayToggle.onClick = [this] { app.settings->setValue (autoplayKey, player.autoplayToggle.getToggleState()); };
    jumpSilenceToggle.onClick = [this] { app.settings->setValue (jumpSilenceKey, jumpSilenceToggle.getToggleState()); };

    p.setHoverMirrored (true);
    p.onSeek = [this] (double position) { seek (position); };
    p.onContextMenu = [this] (double position)
    {
        if (onContextMenu != nullptr)
            onContextMenu (position);
    };
    p.onWheel = [this] (float delta, double position)
    {
        if (const auto factor = getWheelZoomFactor (delta); factor > 0.0)
            zoomBy (factor, position);
    };
    p.onAnalysed = [this] (const PreviewAnalysisResult& result) { applyAnalysis (result); };

    wholeFileButton.setEnabled (false);
    updateTransport();
    startTimerHz (15);
}

ImportPreviewPane::~ImportPreviewPane()
{
    stopTimer();
    zoomSettleTimer.stopTimer();
}

void ImportPreviewPane::resized()
{
    PreviewPlayer::Layout layout;
    layout.trailingWidth = 3 * zoomButtonWidth + 2 * zoomButtonGap + zoomGroupGap
                         + measureTextWidthCeil (fontPlain14_5(), jumpSilenceToggle.getButtonText()) + 30 + jumpSilenceGap;
    player.setLayout (layout);
    player.setBounds (getLocalBounds().reduced (12, 6));

    // The right end of the player's top row, right to left.
    auto row = player.getTrailingArea() + player.getPosition();
    wholeFileButton.setBounds (row.removeFromRight (zoomButtonWidth));
    row.removeFromRight (zoomButtonGap);
    zoomOutButton.setBounds (row.removeFromRight (zoomButtonWidth));
    row.removeFromRight (zoomButtonGap);
    zoomInButton.setBounds (row.removeFromRight (zoomButtonWidth));
    row.removeFromRight (zoomGroupGap);
    jumpSilenceToggle.setBounds (row.withTrimmedLeft (jumpSilenceGap));
}

//==============================================================================
double ImportPreviewPane::getShownDuration() const
{
    const auto* track = app.session.findTrack (shownTrackId);

    if (track == nullptr || ! (track->info.sampleRate > 0.0))
        return 0.0;

    return (double) track->info.lengthInSamples / track->info.sampleRate;
}

juce::String ImportPreviewPane::getAuditionId() const
{
    return shownFile == juce::File() ? juce::String() : "track:" + shownTrackId;
}

void ImportPreviewPane::showTrack (const juce::File& file, const juce::String& trackId)
{
    // Compared exactly: two files whose names differ only in case are two tracks here.
    if (trackId == shownTrackId && file.getFullPathName() == shownFile.getFullPathName())
        return;

    shownFile = file;
    shownTrackId = trackId;
    const auto duration = getShownDuration();
    player.setDuration (duration);

    player.setMarker (-1.0);
    player.setVisibleRange ({});
    data = {};
    player.waveformView.setDataRange (0.0, 1.0);
    player.spectrogramView.setDataRange (0.0, 1.0);
    wholeFileButton.setEnabled (false);
    zoomSettleTimer.stopTimer();

    if (file == juce::File())
    {
        player.fileNameLabel.setFullText ("Nothing selected");
        player.clearSpectrogram();
        refreshWaveform();
        updateTransport();
        return;
    }

    player.fileNameLabel.setFullText (file.getFileName());
    refreshWaveform();
    startAnalysis();

    if (player.autoplayToggle.getToggleState() && app.previewEngine.isAudioAvailable())
        play (getStartPosition() * duration);

    updateTransport();
}

void ImportPreviewPane::refreshWaveform()
{
    auto& waveform = player.waveformView;

    if (shownFile == juce::File())
    {
        shownOverview = {};
        shownOverviewFile.clear();
        waveform.clear();
        waveform.setBusy (false);
        return;
    }

    const auto path = shownFile.getFullPathName();

    if (shownOverviewFile == path && ! shownOverview.isEmpty())
        return;

    if (const auto overview = app.waveformCache.get (path))
    {
        shownOverview = *overview;
        shownOverviewFile = path;

        // A zoomed picture of the stretch stays; the whole file's overview comes with its range.
        if (getViewRange().isWholeFile() || ! data.differsFrom (ViewRange {}))
        {
            waveform.setPeaks (shownOverview);
            waveform.setDataRange (0.0, 1.0);
        }

        waveform.setBusy (false);
    }
    else
    {
        shownOverview = {};
        shownOverviewFile.clear();
        waveform.clear();
        waveform.setBusy (true);
    }
}

//==============================================================================
void ImportPreviewPane::zoomBy (double factor, double anchor)
{
    if (shownFile == juce::File())
        return;

    const auto next = getViewRange().zoomedBy (factor, anchor);
    setZoomRange (next.start, next.end);
}

void ImportPreviewPane::setZoomRange (double start, double end)
{
    const auto next = ViewRange::clamped (start, end);

    if (! next.differsFrom (getViewRange()))
        return;

    player.setVisibleRange (next);
    wholeFileButton.setEnabled (! next.isWholeFile());
    updateTransport();

    auto& analysis = player.getAnalysis();
    const auto* cached = analysis.getCachedWholeFile (shownFile.getFullPathName());

    if (next.isWholeFile() && cached != nullptr)
    {
        // Back at the whole file: the kept pictures, nothing computed again.
        data = {};
        analysis.cancel();
        player.spectrogramView.setSpectrogram (*cached);
        player.spectrogramView.setDataRange (0.0, 1.0);
        player.spectrogramView.setBusy (false);

        if (const auto overview = app.waveformCache.get (shownFile.getFullPathName()))
        {
            shownOverview = *overview;
            shownOverviewFile = shownFile.getFullPathName();
            player.waveformView.setPeaks (shownOverview);
            player.waveformView.setDataRange (0.0, 1.0);
            player.waveformView.setBusy (false);
        }

        zoomSettleTimer.stopTimer();
        return;
    }

    zoomSettleTimer.startTimer (zoomSettleMs);
}

void ImportPreviewPane::zoomSettled()
{
    if (shownFile == juce::File() || ! data.differsFrom (getViewRange()))
        return;

    data = getViewRange();
    startAnalysis();
}

void ImportPreviewPane::startAnalysis()
{
    const auto view = getViewRange();
    player.analyse (shownFile, view.isWholeFile() ? ViewRange {} : view);
}

void ImportPreviewPane::applyAnalysis (const PreviewAnalysisResult& result)
{
    auto& waveform = player.waveformView;

    if (result.wholeFile)
    {
        if (shownOverview.isEmpty())
            return; // the waveform cache brings it

        waveform.setPeaks (shownOverview);
        waveform.setDataRange (0.0, 1.0);
    }
    else
    {
        waveform.setPeaks (result.overview);
        waveform.setDataRange (result.range.start, result.range.end);
    }

    waveform.setBusy (false);
}

//==============================================================================
bool ImportPreviewPane::checkAudioOutput()
{
    if (shownFile == juce::File())
        return false;

    if (app.previewEngine.isAudioAvailable())
        return true;

    if (onWarning != nullptr)
        onWarning ("No audio output",
                   "Brackenfold could not open an audio device, so auditioning is unavailable.\n\n" + app.previewEngine.getDeviceErrorText());

    return false;
}

double ImportPreviewPane::getStartPosition() const
{
    if (jumpSilenceToggle.getToggleState() && ! shownOverview.isEmpty())
        return shownOverview.firstSoundPosition (0.005f, 0.05);

    return 0.0;
}

void ImportPreviewPane::play (double startSeconds)
{
    app.previewEngine.play (juce::StringArray (shownFile.getFullPathName()), app.session.getPreset().exportSettings.masterSampleRate,
                            shownFile.getFileName(), getAuditionId(), startSeconds, -1.0);
}

void ImportPreviewPane::playFrom (double fileFraction)
{
    if (! checkAudioOutput())
        return;

    // The track's own length: the overview may not be there yet, and a click at 80 % must not
    // play from the top.
    play (getShownDuration() * juce::jlimit (0.0, 1.0, fileFraction));
    updateTransport();
}

void ImportPreviewPane::togglePlayback()
{
    if (! checkAudioOutput())
        return;

    auto& engine = app.previewEngine;

    if (engine.isActiveFor (getAuditionId()) && (engine.isPlaying() || engine.isLoading()))
    {
        engine.stop();
        updateTransport();
        return;
    }

    playFrom (getStartPosition());
}

void ImportPreviewPane::seek (double fileFraction)
{
    auto& engine = app.previewEngine;

    if (shownFile != juce::File() && engine.isActiveFor (getAuditionId()) && (engine.isPlaying() || engine.isLoading()))
    {
        engine.seekToFraction (fileFraction);
        updateTransport();
        return;
    }

    playFrom (fileFraction);
}

void ImportPreviewPane::updateTransport()
{
    auto transport = readPlayerTransport (app.previewEngine, getAuditionId());
    transport.enabled = shownFile != juce::File();
    transport.idleLengthSeconds = shownOverview.isEmpty() ? -1.0 : shownOverview.duration;
    player.showTransport (transport);
}

} // namespace dunmoor::ui
