#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/audio/WaveformOverview.h"

namespace dunmoor::ui
{

/**
    Shows a waveform overview with a playhead, an optional marker, a hover line with a time label
    and a busy state with a progress bar.

    Two ranges, both fractions 0..1 of the whole file: the data range is the part of the file the
    current overview covers, the visible range the part of the file across the view's width. A page
    that zooms sets the visible range first (the coarse overview is stretched) and later hands over
    a detailed overview with its data range. Playhead, marker, hover and every callback are
    fractions 0..1 of the drawing width (the bounds less 3 pixels on every side).
*/
class WaveformView : public juce::Component, public juce::SettableTooltipClient
{
public:
    WaveformView();

    void setPeaks (const WaveformOverview& overview);
    /** Drops the overview (the placeholder shows); nothing when there is none. */
    void clear();

    void setWaveformColour (juce::Colour colour);
    void setBusy (bool shouldBeBusy);
    /** A fraction 0..1 shown as whole per cent (floored); negative hides the figure. */
    void setBusyProgress (double fraction);
    void setBusyText (const juce::String& text);
    void setPlaceholderText (const juce::String& text);

    /** Negative hides (-1); above 1 is held at 1; moves under 1e-4 are ignored. */
    void setPlayheadPosition (double position);
    void setMarkerPosition (double position);
    void setHoverPosition (double position);

    /** The file length in seconds, for the hover time label. */
    void setDuration (double seconds);

    /** The part of the file the overview covers; the end is at least start + 1e-9. */
    void setDataRange (double start, double end);
    /** The part of the file the view shows; the end is at least start + 1e-9. */
    void setVisibleRange (double start, double end);

    std::function<void (double)> onSeek;
    std::function<void (double)> onHover; // -1 when the pointer leaves
    std::function<void (double)> onContextMenu;
    std::function<void (float, double)> onWheel; // wheel delta along y, position

    bool hasPeaks() const noexcept { return peaksSet; }
    const WaveformOverview& getPeaks() const noexcept { return overview; }
    bool isBusy() const noexcept { return busy; }
    double getBusyProgressPercent() const noexcept { return busyPercent; }
    const juce::String& getBusyText() const noexcept { return busyText; }
    const juce::String& getPlaceholderText() const noexcept { return placeholderText; }
    juce::Colour getWaveformColour() const noexcept { return waveformColour; }
    double getPlayheadPosition() const noexcept { return playhead; }
    double getMarkerPosition() const noexcept { return marker; }
    double getHoverPosition() const noexcept { return hover; }
    double getDuration() const noexcept { return duration; }
    juce::Range<double> getDataRange() const noexcept { return { dataStart, dataEnd }; }
    juce::Range<double> getVisibleRange() const noexcept { return { visibleStart, visibleEnd }; }

    /** The local bounds less 3 pixels on every side. */
    juce::Rectangle<int> getDrawingArea() const;

    void paint (juce::Graphics& g) override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;

private:
    double positionOf (const juce::MouseEvent& e) const;

    WaveformOverview overview;
    bool peaksSet = false;
    juce::Colour waveformColour;
    bool busy = false;
    juce::String busyText { "reading..." };
    double busyPercent = -1.0;
    juce::String placeholderText { "Nothing to show" };
    double duration = 0.0;
    double dataStart = 0.0, dataEnd = 1.0;
    double visibleStart = 0.0, visibleEnd = 1.0;
    double playhead = -1.0, marker = -1.0, hover = -1.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveformView)
};

} // namespace dunmoor::ui
