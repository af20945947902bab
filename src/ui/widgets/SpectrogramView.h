#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

#include "core/audio/Spectrogram.h"
#include "ui/widgets/FileRangeView.h"

namespace dunmoor::ui
{

/**
    Shows a spectrogram as an image with a logarithmic frequency axis (grid lines at 100 Hz, 1 kHz
    and 10 kHz), a playhead, an optional marker, a hover line with a time label and a busy text.

    The data range is the part of the file the spectrogram covers (the image spans it). The image
    is at most 2000 x 600 pixels and is rebuilt only for a new spectrogram or a new size; painting
    scales a part of it.
*/
class SpectrogramView : public FileRangeView
{
public:
    SpectrogramView();

    /** Takes a spectrogram, leaves the busy state and rebuilds the image. */
    void setSpectrogram (const Spectrogram& spectrogram);
    /** An empty spectrogram (floor -90 dB) and no image. */
    void clear();

    void setBusy (bool shouldBeBusy);

    const Spectrogram& getSpectrogram() const noexcept { return spectrogram; }
    const juce::Image& getImage() const noexcept { return image; }
    bool isBusy() const noexcept { return busy; }

    /** The frequencies at the bottom and the top of the image (0 without an image). */
    double getLowestFrequency() const noexcept { return lowestFrequency; }
    double getTopFrequency() const noexcept { return topFrequency; }

    /** The grid frequencies (of 100, 1000 and 10000 Hz) that the current image shows. */
    juce::Array<double> getGridFrequencies() const;

    /** A grid line at its row, and where its label goes (empty when the label has no room). */
    struct GridLine
    {
        double frequency = 0.0;
        int y = 0;
        juce::Rectangle<int> label;
    };

    std::vector<GridLine> getGridLines() const;

    /** The colour of a level 0..1 on the palette's spectrogram ramp: black, quiet, a brighter
        quiet, loud, white. */
    static juce::Colour colourForLevel (float level);

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    void rebuildImage();

    Spectrogram spectrogram;
    juce::Image image;
    double lowestFrequency = 0.0, topFrequency = 0.0;
    bool busy = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SpectrogramView)
};

} // namespace dunmoor::ui
