#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ExportSettingsMapping.h"

namespace dunmoor::ui
{

/** A slider of the export settings, with its range and unit; "Take down by" shows minus
    infinity at its bottom. */
class ExportSettingsSlider : public juce::Slider
{
public:
    explicit ExportSettingsSlider (ExportSlider which);

    juce::String getTextFromValue (double value) override;
    double getValueFromText (const juce::String& text) override;

    const ExportSlider kind;
};

} // namespace dunmoor::ui
