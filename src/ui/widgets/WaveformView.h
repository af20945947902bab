#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/audio/WaveformOverview.h"
#include "ui/look/Theme.h"
#include "ui/widgets/FileRangeView.h"

namespace dunmoor::ui
{

/**
    Shows a waveform overview with a playhead, an optional marker, a hover line with a time label
    and a busy state with a progress bar.

    The data range is the part of the file the current overview covers. A page that zooms sets
    the visible range first (the coarse overview is stretched) and later hands over a detailed
    overview with its data range.
*/
class WaveformView : public FileRangeView, public juce::SettableTooltipClient
{
public:
    WaveformView();

    void setPeaks (const WaveformOverview& overview);
    /** Drops the overview (the placeholder shows); nothing when there is none. */
    void clear();

    /** Draws in this palette entry (the accent unless set), read at every paint, so a new palette
        shows at once. */
    void setWaveformColour (juce::Colour Palette::*entry);
    /** Draws in a fixed colour whatever the palette. */
    void setWaveformColour (juce::Colour colour);
    void setBusy (bool shouldBeBusy);
    /** A fraction 0..1 shown as whole per cent (floored); negative hides the figure. */
    void setBusyProgress (double fraction);
    void setBusyText (const juce::String& text);
    void setPlaceholderText (const juce::String& text);

    bool hasPeaks() const noexcept { return peaksSet; }
    const WaveformOverview& getPeaks() const noexcept { return overview; }
    bool isBusy() const noexcept { return busy; }
    double getBusyProgressPercent() const noexcept { return busyPercent; }
    const juce::String& getBusyText() const noexcept { return busyText; }
    const juce::String& getPlaceholderText() const noexcept { return placeholderText; }
    /** The colour the next paint uses. */
    juce::Colour getWaveformColour() const;

    void paint (juce::Graphics& g) override;

private:
    WaveformOverview overview;
    bool peaksSet = false;
    juce::Colour Palette::*paletteColour = &Palette::accent; // null: the fixed colour
    juce::Colour fixedColour;
    bool busy = false;
    juce::String busyText { "reading..." };
    double busyPercent = -1.0;
    juce::String placeholderText { "Nothing to show" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveformView)
};

} // namespace dunmoor::ui
