#pragma once

#include "core/model/Preset.h"

namespace dunmoor::ui
{

/** The six sliders of the export settings. */
enum class ExportSlider
{
    targetLevel,
    below,
    forAtLeast,
    fadeIn,
    fadeOut,
    takeDownBy
};

struct SliderRange
{
    double minimum = 0.0;
    double maximum = 1.0;
    double step = 0.0;
};

/**
    What the export settings controls show, one value per control: combo boxes by item id
    (0 = no selection, for a stored value the combo has no item for), toggles, slider values
    and texts. The page copies these into and out of its controls; everything that decides how
    a control reads or writes a field lives here, so it can be checked without a window.

    The templates and the output formats are not here: a template is written only after its
    editor or the separator changed (chooseTemplates), and the formats have rows of their own.
*/
struct ExportControlValues
{
    // Cues
    int folderNameId = 2;
    bool mirrorFolders = true;
    bool folderPerCue = true;

    // Headroom
    double targetDb = -3.0;
    int gainScopeId = 3;
    int measureId = 2;
    int gainModeId = 1;
    int oversamplingId = 4;
    int sampleRateId = 48000;
    bool remeasure = false;

    // File naming rules
    juce::String separator { "_" };
    juce::String fullMixName { "Full Mix" };
    int indexPaddingId = 2;
    int numberingId = 2;
    bool mixesFirst = false;
    int collisionId = 2;

    // Noise floor cleanup (fades in milliseconds, as the sliders show them)
    bool gateEnabled = false;
    double belowDb = -90.0;
    double forAtLeastSeconds = 1.0;
    double fadeInMs = 150.0;
    double fadeOutMs = 150.0;
    double takeDownByDb = -80.0;

    // Delivery rules
    int emptyStemsId = 1;
    bool refuseUnassigned = true;
    bool exportFullMix = true;
    bool exportAlternativeMixes = true;
    bool stemsFolder = true;

    bool operator== (const ExportControlValues&) const;
    bool operator!= (const ExportControlValues& other) const { return ! operator== (other); }
};

namespace ExportSettingsMapping
{
    /** The slider's range and step. */
    SliderRange rangeOf (ExportSlider slider);

    /** A value as the slider holds it: clamped to its range and rounded to its step. */
    double clampToSlider (ExportSlider slider, double value);

    /** Item ids of the combos whose ids are values rather than positions. */
    juce::Array<int> oversamplingIds();          // 2, 4, 8
    juce::Array<int> sampleRateIds();            // the lossless rates in hertz

    /** What every control shows for the settings: sliders clamped to their ranges, an id the
        combo does not have given as 0. */
    ExportControlValues fromSettings (const ExportSettings& settings);

    /** Writes every control into the settings, except the templates and the formats.
        A combo without a selection keeps the project rate and writes 2x oversampling and one
        digit of padding; a blank full mix name keeps the old one; the stems folder keeps its
        name while on and falls back to "STEMS". */
    void applyToSettings (const ExportControlValues& values, ExportSettings& settings);

    /** The templates a commit writes: a template's own text stays until its editor or the
        separator changed, so a commit of another control never re-joins it. */
    struct TemplateChoice
    {
        juce::String stemTemplate;
        juce::String mixTemplate;
    };

    TemplateChoice chooseTemplates (const NamingSettings& before,
                                    const juce::String& newSeparator,
                                    bool stemEdited, const juce::String& stemEditorTemplate,
                                    bool mixEdited, const juce::String& mixEditorTemplate);

    /** The "Take down by" box: "-∞ dB" at or below -80, else a whole number and " dB". */
    juce::String formatFloorText (double value);

    /** Typed text for "Take down by": -80 when it holds "inf" (any case) or "∞", else the
        number it starts with. */
    double parseFloorText (const juce::String& text);

    /** The cue count line over the cue settings. */
    juce::String describeCueCount (const juce::StringArray& cueNames);

    /** The stems-folder toggle's text for the stored folder name ("STEMS" when empty). */
    juce::String describeStemsFolderToggle (const juce::String& stemsSubFolder);
} // namespace ExportSettingsMapping

} // namespace dunmoor::ui
