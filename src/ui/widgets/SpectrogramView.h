#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/audio/Spectrogram.h"

namespace dunmoor::ui
{

/**
    Shows a spectrogram as an image with a logarithmic frequency axis (grid lines at 100 Hz, 1 kHz
    and 10 kHz), a playhead, an optional marker, a hover line with a time label and a busy text.

    Two ranges, both fractions 0..1 of the whole file: the data range is the part of the file the
    spectrogram covers (the image spans it), the visible range the part across the view's width.
    Playhead, marker, hover and every callback are fractions 0..1 of the drawing width (the bounds
    less 3 pixels on every side). The image is at most 2000 x 600 pixels and is rebuilt only for a
    new spectrogram or a new size; painting scales a part of it.
*/
class SpectrogramView : public juce::Component
{
public:
    SpectrogramView();

    /** Takes a spectrogram, leaves the busy state and rebuilds the image. */
    void setSpectrogram (const Spectrogram& spectrogram);
    /** An empty spectrogram (floor -90 dB) and no image. */
    void clear();

    void setBusy (bool shouldBeBusy);

    /** The part of the file the spectrogram covers; the end is at least start + 1e-9. */
    void setDataRange (double start, double end);
    /** The part of the file the view shows; the end is at least start + 1e-9. */
    void setVisibleRange (double start, double end);

    /** Negative hides (-1); above 1 is held at 1; moves under 1e-4 are ignored. */
    void setPlayheadPosition (double position);
    void setMarkerPosition (double position);
    void setHoverPosition (double position);

    /** The file length in seconds, for the hover time label. */
    void setDuration (double seconds);

    std::function<void (double)> onHover; // -1 when the pointer leaves
    std::function<void (double)> onSeek;
    std::function<void (double)> onContextMenu;
    std::function<void (float, double)> onWheel; // wheel delta along y, position

    const Spectrogram& getSpectrogram() const noexcept { return spectrogram; }
    const juce::Image& getImage() const noexcept { return image; }
    bool isBusy() const noexcept { return busy; }
    double getPlayheadPosition() const noexcept { return playhead; }
    double getMarkerPosition() const noexcept { return marker; }
    double getHoverPosition() const noexcept { return hover; }
    juce::Range<double> getDataRange() const noexcept { return { dataStart, dataEnd }; }
    juce::Range<double> getVisibleRange() const noexcept { return { visibleStart, visibleEnd }; }

    /** The frequencies at the bottom and the top of the image (0 without an image). */
    double getLowestFrequency() const noexcept { return lowestFrequency; }
    double getTopFrequency() const noexcept { return topFrequency; }

    /** The grid frequencies (of 100, 1000 and 10000 Hz) that the current image shows. */
    juce::Array<double> getGridFrequencies() const;

    /** The local bounds less 3 pixels on every side. */
    juce::Rectangle<int> getDrawingArea() const;

    /** The colour of a level 0..1 on the palette's spectrogram ramp: black, quiet, a brighter
        quiet, loud, white. */
    static juce::Colour colourForLevel (float level);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;

private:
    void rebuildImage();

    Spectrogram spectrogram;
    juce::Image image;
    double lowestFrequency = 0.0, topFrequency = 0.0;
    bool busy = false;
    double hover = -1.0, duration = 0.0;
    double dataStart = 0.0, dataEnd = 1.0;
    double visibleStart = 0.0, visibleEnd = 1.0;
    double marker = -1.0, playhead = -1.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SpectrogramView)
};

} // namespace dunmoor::ui
