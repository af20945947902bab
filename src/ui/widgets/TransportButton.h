#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

/**
    The play/stop button of the audition players: a play triangle, a stop square while playing, or
    three dots while loading, with an optional label beside the symbol. The owning page sets the
    click action and drives the two states from the audition engine.
*/
class TransportButton : public juce::Button, public PaintsTexts
{
public:
    explicit TransportButton (const juce::String& label = {});

    void setPlaying (bool shouldShowPlaying);
    void setLoading (bool shouldShowLoading);

    bool isPlaying() const noexcept { return playing; }
    bool isLoading() const noexcept { return loading; }
    const juce::String& getLabel() const noexcept { return label; }

    /** The label beside the symbol, when there is one. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paintButton (juce::Graphics& g, bool highlighted, bool down) override;

private:
    /** The rounded face, half a pixel inside the bounds, and the symbol's size on it. */
    juce::Rectangle<float> getFace() const;
    static float getSymbolSize (juce::Rectangle<float> face);

    juce::String label;
    bool playing = false;
    bool loading = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TransportButton)
};

} // namespace dunmoor::ui
