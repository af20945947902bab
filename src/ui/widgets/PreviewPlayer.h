#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/widgets/FittedLabel.h"
#include "ui/widgets/PreviewAnalysis.h"
#include "ui/widgets/PreviewZoom.h"
#include "ui/widgets/SpectrogramView.h"
#include "ui/widgets/TransportButton.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::ui
{

/**
    A player for one audio file: a transport button, an Autoplay toggle, the file's name and the
    playing time in a row over a spectrogram and a waveform strip. The Import page's preview and
    the Report page's player are both one of these.

    It knows no audition engine and no page. The host names and dresses the controls (they are
    public), says what plays (showTransport), sets both views' data and decides what a click or a
    wheel step means; the player lays itself out, keeps the part of the file both views show
    (positions come and go as fractions of the whole file), shows the playhead there, and runs
    the spectrogram analysis in the background, where only the latest request counts. The host
    keeps the right end of the top row for controls of its own (zoom buttons, report buttons);
    they stay the host's children, so that they can outlive a hidden player.

    Message thread only.
*/
class PreviewPlayer : public juce::Component
{
public:
    /** What the audition engine says about the player's file. */
    struct Transport
    {
        bool enabled = false;           // the transport button can be pressed
        bool active = false;            // the engine's audition is the player's file
        bool playing = false;           // the engine plays (whatever it plays)
        bool loading = false;           // the engine loads (whatever it loads)
        double playheadFraction = -1.0; // of the whole file; below 0 without one
        double playheadSeconds = 0.0;
        double sourceLengthSeconds = 0.0;
        double idleLengthSeconds = -1.0; // shown while the file does not sound; below 0: nothing
    };

    /** How the top row is shared out: the transport button on the left, perhaps the Autoplay
        toggle beside it, the host's own controls at the right end, and the name and the time in
        between (the Autoplay toggle right of the time when it is not beside the button). */
    struct Layout
    {
        int gapAfterTransport = 12;
        bool autoplayBesideTransport = false;
        int autoplayWidth = 0; // 0: its caption's width + 30
        int gapAfterAutoplay = 0;

        /** The right end of the top row kept for the host's controls (getTrailingArea). */
        int trailingWidth = 0;

        /** A row narrower than the time and this for the name gives the name and the time a row
            of their own under the top row; 0: never. */
        int minimumNameWidth = 0;
    };

    static constexpr int topRowHeight = 30;
    static constexpr int transportWidth = 96;
    static constexpr int waveformHeight = 44;

    /** The compute function may be replaced (tests hold a job back with it). */
    explicit PreviewPlayer (const juce::String& analysisThreadName, PreviewAnalysis::Compute compute = {});
    ~PreviewPlayer() override;

    TransportButton transportButton;
    juce::ToggleButton autoplayToggle { "Autoplay" };
    FittedLabel fileNameLabel { Shortening::inMiddle }; // a long name keeps its distinguishing end
    juce::Label timeLabel;
    SpectrogramView spectrogramView;
    WaveformView waveformView;

    /** Takes the layout of the top row and lays out again. */
    void setLayout (const Layout& newLayout);

    /** Where the host's controls go after the last layout, in this component's coordinates. */
    juce::Rectangle<int> getTrailingArea() const noexcept { return trailingArea; }
    const Layout& getLayout() const noexcept { return layout; }

    //==============================================================================
    // The part of the file both views show.

    /** Shows this range in both views and moves the playhead with it. */
    void setVisibleRange (ViewRange range);
    ViewRange getVisibleRange() const noexcept { return view; }

    /** The file's length, for both views' hover time. */
    void setDuration (double seconds);

    /** A mark at a fraction of the file in both views; below 0 hides it. */
    void setMarker (double fileFraction);

    /** Where the pointer is over either view, as a fraction of the file; -1 when over neither. */
    double getHoverFraction() const;

    /** Each view shows the pointer line of the other too. */
    void setHoverMirrored (bool shouldMirror) { hoverMirrored = shouldMirror; }

    /** A click or drag in either view, at a fraction of the file. */
    std::function<void (double fileFraction)> onSeek;

    /** A right click in either view, at a fraction of the file. */
    std::function<void (double fileFraction)> onContextMenu;

    /** A wheel step over either view, at a fraction of the view. */
    std::function<void (float delta, double viewFraction)> onWheel;

    //==============================================================================
    /** Buttons, playhead and time from what the engine says. */
    void showTransport (const Transport& transport);

    /** The time text: "playhead / length" while the file sounds with a known length, else the
        idle length, else nothing. */
    static juce::String describeTime (const Transport& transport);

    //==============================================================================
    // The spectrogram.

    /** Analyses a range of the file in the background (the whole file for a whole range); the
        spectrogram view is busy until the result arrives. */
    void analyse (const juce::File& file, ViewRange range);

    /** Drops any analysis and empties the spectrogram view. */
    void clearSpectrogram();

    /** After the spectrogram view took a result of analyse: the host's part (the waveform). */
    std::function<void (const PreviewAnalysisResult&)> onAnalysed;

    PreviewAnalysis& getAnalysis() noexcept { return analysis; }

    void resized() override;

private:
    void applyAnalysis (const PreviewAnalysisResult& result);

    Layout layout;
    juce::Rectangle<int> trailingArea;
    ViewRange view;
    bool hoverMirrored = false;

    // Last: it goes first, waiting for a running job before anything a result could touch goes.
    PreviewAnalysis analysis;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreviewPlayer)
};

} // namespace dunmoor::ui
