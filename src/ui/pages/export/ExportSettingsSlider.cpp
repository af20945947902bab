#include "ExportSettingsSlider.h"

namespace dunmoor::ui
{

ExportSettingsSlider::ExportSettingsSlider (ExportSlider which)
    : juce::Slider (juce::Slider::LinearHorizontal, juce::Slider::TextBoxRight), kind (which)
{
    const auto range = ExportSettingsMapping::rangeOf (which);
    setRange (range.minimum, range.maximum, range.step);
    setTextBoxStyle (juce::Slider::TextBoxRight, false, 80, 22);

    switch (which)
    {
        case ExportSlider::targetLevel:
        case ExportSlider::below:       setTextValueSuffix (" dB"); break;
        case ExportSlider::forAtLeast:  setTextValueSuffix (" s"); break;
        case ExportSlider::fadeIn:
        case ExportSlider::fadeOut:     setTextValueSuffix (" ms"); break;
        case ExportSlider::takeDownBy:  break;
    }
}

juce::String ExportSettingsSlider::getTextFromValue (double value)
{
    if (kind == ExportSlider::takeDownBy)
        return ExportSettingsMapping::formatFloorText (value);

    return juce::Slider::getTextFromValue (value);
}

double ExportSettingsSlider::getValueFromText (const juce::String& text)
{
    if (kind == ExportSlider::takeDownBy)
        return ExportSettingsMapping::parseFloorText (text);

    return juce::Slider::getValueFromText (text);
}

} // namespace dunmoor::ui
