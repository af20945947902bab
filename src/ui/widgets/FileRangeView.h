#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/**
    What the waveform and spectrogram views share: two ranges of the file, a playhead, a marker,
    a hover position with its time label, and the mouse callbacks.

    Both ranges are fractions 0..1 of the whole file: the data range is the part of the file the
    view's data covers, the visible range the part across the view's width. Playhead, marker,
    hover and every callback are fractions 0..1 of the drawing width (the bounds less 3 pixels on
    every side), which the pages convert to and from file fractions.
*/
class FileRangeView : public juce::Component
{
public:
    /** Negative hides (-1); above 1 is held at 1; moves under 1e-4 are ignored. */
    void setPlayheadPosition (double position);
    void setMarkerPosition (double position);
    void setHoverPosition (double position);

    /** The file length in seconds, for the hover time label. */
    void setDuration (double seconds);

    /** The part of the file the data covers; the end is at least start + 1e-9. */
    void setDataRange (double start, double end);
    /** The part of the file the view shows; the end is at least start + 1e-9. */
    void setVisibleRange (double start, double end);

    std::function<void (double)> onSeek;
    std::function<void (double)> onHover; // -1 when the pointer leaves
    std::function<void (double)> onContextMenu;
    std::function<void (float, double)> onWheel; // wheel delta along y, position

    double getPlayheadPosition() const noexcept { return playhead; }
    double getMarkerPosition() const noexcept { return marker; }
    double getHoverPosition() const noexcept { return hover; }
    juce::Range<double> getDataRange() const noexcept { return { dataStart, dataEnd }; }
    juce::Range<double> getVisibleRange() const noexcept { return { visibleStart, visibleEnd }; }

    /** The local bounds less 3 pixels on every side. */
    juce::Rectangle<int> getDrawingArea() const;

    void mouseMove (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;

protected:
    /** ignoreMouseWithoutWidth: no callback at all while the drawing area has no width (else
        the position is 0 then). */
    explicit FileRangeView (bool ignoreMouseWithoutWidth);

    /**
        Draws, in this order, the hover line, the playhead (by the view's own painter, given its
        x), the hover time label (only while the mouse is over the view) on a box of the given
        colour, and the marker.
    */
    void paintPositions (juce::Graphics& g,
                         const std::function<void (juce::Graphics&, juce::Rectangle<int> area, float x)>& paintPlayhead,
                         juce::Colour labelBoxColour);

    double dataStart = 0.0, dataEnd = 1.0;
    double visibleStart = 0.0, visibleEnd = 1.0;

private:
    bool positionOf (const juce::MouseEvent& e, double& position) const;

    bool ignoreMouseWithoutWidth;
    double duration = 0.0;
    double playhead = -1.0, marker = -1.0, hover = -1.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FileRangeView)
};

} // namespace dunmoor::ui
