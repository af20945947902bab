#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"
#include "ui/widgets/MagnifierButton.h"
#include "ui/widgets/PreviewPlayer.h"

namespace dunmoor::ui
{

/**
    The lower part of the Import page: the track selected in the table in a preview player, with
    zoom buttons, a wheel that zooms around the pointer, Autoplay and Jump silence. The whole
    file's waveform comes from the waveform cache; a zoomed stretch gets its own spectrogram and
    waveform, computed once the zoom has been still for 220 ms, and going back to the whole file
    shows the kept pictures again.

    Audition goes through the application's engine under "track:" and the track id; without an
    audio device a press says so through onWarning. A right click offers the page a split at
    that point. The pane draws nothing itself: the page paints the panel under it. Message
    thread only, apart from the analysis.
*/
class ImportPreviewPane : public juce::Component, private juce::Timer
{
public:
    /** The analysis function may be replaced (tests hold a job back with it). */
    explicit ImportPreviewPane (AppState& app, PreviewAnalysis::Compute analysis = {});
    ~ImportPreviewPane() override;

    /** Shows a track (an empty file: nothing). The same track again changes nothing. */
    void showTrack (const juce::File& file, const juce::String& trackId);

    const juce::String& getShownTrackId() const noexcept { return shownTrackId; }
    const juce::File& getShownFile() const noexcept { return shownFile; }
    ViewRange getViewRange() const noexcept { return player.getVisibleRange(); }
    ViewRange getDataRange() const noexcept { return data; }
    const WaveformOverview& getShownOverview() const noexcept { return shownOverview; }

    /** The shown track's length in seconds from the session (0 when unknown). */
    double getShownDuration() const;

    /** "track:" and the shown track's id; empty when nothing is shown. */
    juce::String getAuditionId() const;

    void zoomBy (double factor, double anchor);
    void setZoomRange (double start, double end);

    /** Plays or stops the shown track (Space, the transport button, a double click). */
    void togglePlayback();

    /** Plays the shown track from a fraction of it; says "No audio output" when there is none. */
    void playFrom (double fileFraction);

    /** Where playback starts: the first sound when Jump silence is on, else 0 (a fraction). */
    double getStartPosition() const;

    /** Takes the shown file's overview from the waveform cache when it has come. */
    void refreshWaveform();

    /** Play button, playheads and time from the engine; 15 times a second anyway. */
    void updateTransport();

    /** The split mark, at a fraction of the file (below 0: none). */
    void setMarker (double fileFraction) { player.setMarker (fileFraction); }

    /** The pointer over either view, as a fraction of the file; -1 when over neither. */
    double getHoverFraction() const { return player.getHoverFraction(); }

    /** The shown file changed on disk (it was split): its kept spectrogram is no longer true. */
    void forgetCachedWholeFile() { player.getAnalysis().forgetCachedWholeFile(); }

    /** A right click in either view, at a fraction of the file. */
    std::function<void (double fileFraction)> onContextMenu;

    /** A warning for the page to show (title, text). */
    std::function<void (const juce::String&, const juce::String&)> onWarning;

    void resized() override;

private:
    class ZoomSettleTimer : public juce::Timer
    {
    public:
        explicit ZoomSettleTimer (ImportPreviewPane& p) : pane (p) {}
        void timerCallback() override;

    private:
        ImportPreviewPane& pane;
    };

    void timerCallback() override { updateTransport(); }
    void applyAnalysis (const PreviewAnalysisResult& result);
    void zoomSettled();
    void startAnalysis();
    bool checkAudioOutput();
    void seek (double fileFraction);
    void play (double startSeconds);

    AppState& app;
    ViewRange data;
    juce::File shownFile;
    juce::String shownTrackId;
    WaveformOverview shownOverview;
    juce::String shownOverviewFile;
    ZoomSettleTimer zoomSettleTimer { *this };

    juce::ToggleButton jumpSilenceToggle { "Jump silence" };
    MagnifierButton zoomInButton { "zoom in", MagnifierButton::zoomIn };
    MagnifierButton zoomOutButton { "zoom out", MagnifierButton::zoomOut };
    MagnifierButton wholeFileButton { "whole file", MagnifierButton::wholeView };

    // Last: its analysis stops (and waits for its job) before anything a result could touch goes.
    PreviewPlayer player;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ImportPreviewPane)
};

} // namespace dunmoor::ui
