#pragma once

#include <array>
#include <initializer_list>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/audio/WaveformOverview.h"
#include "core/model/Types.h"

namespace dunmoor::ui
{

//==============================================================================
// Palette

/** The 21 colours of the theme. Every painted part of the interface reads them by name at paint
    time, so a new palette shows at the next repaint. */
struct Palette
{
    juce::Colour windowBackground;
    juce::Colour panelBackground;
    juce::Colour raisedBackground;
    juce::Colour controlBackground;
    juce::Colour controlHover;
    juce::Colour outline;
    juce::Colour subtleOutline;
    juce::Colour textPrimary;
    juce::Colour textSecondary;
    juce::Colour textDisabled;
    juce::Colour accent;
    juce::Colour good;
    juce::Colour warning;
    juce::Colour bad;
    juce::Colour unassigned;
    juce::Colour stem;
    juce::Colour fullMix;
    juce::Colour alternativeMix;
    juce::Colour playhead;
    juce::Colour spectrogram;
    juce::Colour spectrogramPeak;

    bool operator== (const Palette& other) const noexcept;
    bool operator!= (const Palette& other) const noexcept { return ! operator== (other); }
};

/** One entry of the palette as the custom-palette text and the settings dialog know it. */
struct PaletteEntryInfo
{
    const char* key;         // the field's name; its name in the stored custom palette
    const char* label;       // what the settings dialog shows
    const char* description; // the settings dialog's explanation
    juce::Colour Palette::*colour;
};

constexpr int paletteEntryCount = 21;

/** The 21 entries in palette order. */
const std::array<PaletteEntryInfo, paletteEntryCount>& getPaletteEntries();

/** How the user chose the colours; stored as this int under "paletteChoice". */
enum class PaletteChoice : int
{
    defaultColours = 1,
    brighter = 2,
    custom = 3
};

/** The tone of a label's text, kept on the component so that a palette change re-colours it. */
enum class LabelTone : int
{
    primary = 0,
    secondary = 1,
    disabled = 2,
    warning = 3
};

Palette defaultPalette();

/** The Default palette with lighter backgrounds and controls. */
Palette brighterPalette();

/** A copy of the palette in use. Message thread only. */
Palette currentPalette();

/** The palette of a choice: Brighter, the stored "customPalette" for Custom, else Default. */
Palette paletteForChoice (PaletteChoice choice, const juce::PropertySet& settings);

/** "paletteChoice" when stored (1..3, anything else Default); without it the legacy
    "useCustomPalette" flag picks Custom. */
PaletteChoice readPaletteChoice (const juce::PropertySet& settings);

/** Reads "key:AARRGGBB" tokens separated by spaces over the Default palette. Malformed tokens
    and unknown keys are skipped; later tokens for a key win. */
Palette parseCustomPalette (const juce::String& text);

/** Every entry as "key:aarrggbb", in palette order, joined with single spaces. */
juce::String formatCustomPalette (const Palette& palette);

/**
    Installs a palette: the report file-kind colours, the default look-and-feel's colours (when it
    is an AppLookAndFeel), and every desktop window's label tones and colours, repainted.
    Message thread only.
*/
void applyPalette (const Palette& palette);

/** The interface size in per cent, clamped to 80..120. */
int clampUiScalePercent (int percent) noexcept;

/** Sets the desktop-wide scale (percent clamped to 80..120). Every window keeps its size in
    interface units (so its content fits it as before), shrunk where it would no longer fit on its
    display. */
void applyUiScale (int percent);

//==============================================================================
// Labels

/** The palette colour of a tone; an unknown tone counts as primary. */
juce::Colour colourForTone (LabelTone tone);

/** Stores the tone on the component and sets its label text colour at once. */
void setLabelTone (juce::Component& component, LabelTone tone);

/** Re-colours a whole tree from the stored tones; also re-colours text-editor placeholders and
    gives single-line editors their indents. */
void applyLabelTones (juce::Component& root);

//==============================================================================
// Fonts (sizes in points before the interface scale)

juce::Font fontPlain12();
juce::Font fontPlain12_5();
juce::Font fontPlain13();
juce::Font fontPlain13_5();
juce::Font fontPlain14();
juce::Font fontPlain14_5();
juce::Font fontBold14();
juce::Font fontBold14_5();
juce::Font fontBold16();
juce::Font fontBold17();
juce::Font fontBold24();
juce::Font fontMono12();
juce::Font fontMono13_5();

/** The width of one line of text in the font, rounded up to whole pixels. */
int measureTextWidthCeil (const juce::Font& font, const juce::String& text);

//==============================================================================
// Colours

/** good, warning or bad for confident, review and ambiguous; unassigned for anything else. */
juce::Colour colourForConfidence (Confidence confidence);

/** Dark text on a bright background, the theme's text colour on a dark one. */
juce::Colour textColourOn (juce::Colour background);

/** The window background darkened: behind text fields, lists and trees. */
juce::Colour dimmedBackground();

juce::Colour placeholderTextColour();

/** The background overlaid with the accent (stronger when emphasised): hover and press states. */
juce::Colour selectionTint (juce::Colour background, bool emphasised = false);

juce::Colour opaqueBlack();

/** A vertical gradient over the area: 5 steps lighter at the top, 5 darker at the bottom. */
juce::ColourGradient subtleGradient (juce::Colour colour, juce::Rectangle<float> area);

/** A vertical gradient over the area: 15 steps lighter at the top, the colour itself half-way,
    15 darker at the bottom. */
juce::ColourGradient boldGradient (juce::Colour colour, juce::Rectangle<float> area);

//==============================================================================
// Drawing

/** A two-pixel vertical divider: an outline column with a dark shadow column to its right. */
void drawDividerLine (juce::Graphics& g, int x, int top, int height);

/** A rounded panel with a gentle gradient, sheen, highlight line and border. */
void drawPanel (juce::Graphics& g, juce::Rectangle<int> area, juce::Colour colour);

/** A button face: a vertical gradient around the colour with a one-pixel outline in it. */
void drawButtonFace (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour, float cornerRadius);

/** A rounded field with a chevron near its right edge, like a closed combo box. */
void drawDropDownField (juce::Graphics& g,
                        juce::Rectangle<float> area,
                        juce::Colour fill,
                        juce::Colour outline,
                        juce::Colour arrow,
                        float outlineThickness);

/** The chevron of a closed drop-down, centred on the point (8 wide, 5 high, stroked 1.6). */
void drawChevron (juce::Graphics& g, juce::Point<float> centre, juce::Colour colour);

/** A warning triangle with an exclamation mark in the largest square centred in the area. */
void drawWarningGlyph (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour);

/**
    Draws an overview's minimum and maximum per pixel column, scaled so that its peak fills 0.92 of
    the half height, over a centre line. The data range is the part of the file the overview
    covers, the visible range the part of the file across the area's width (both fractions 0..1).
    Compact draws the "no waveform" / "silence" texts smaller, for table thumbnails.
*/
void drawWaveform (juce::Graphics& g,
                   juce::Rectangle<float> area,
                   const WaveformOverview& overview,
                   juce::Colour colour,
                   bool compact,
                   double dataStart = 0.0,
                   double dataEnd = 1.0,
                   double visibleStart = 0.0,
                   double visibleEnd = 1.0);

//==============================================================================
// Components

/** Adds each non-null component to the parent as a visible child, in list order. */
void addAllAndMakeVisible (juce::Component& parent, std::initializer_list<juce::Component*> children);

/** Adds each non-null component to the parent without showing it. */
void addAllHidden (juce::Component& parent, std::initializer_list<juce::Component*> children);

void setAllEnabled (std::initializer_list<juce::Component*> components, bool enabled);

void setAllBounds (std::initializer_list<juce::Component*> components, juce::Rectangle<int> bounds);

/** The text shown in an empty editor, in the placeholder colour (it follows the palette). */
void setPlaceholder (juce::TextEditor& editor, const juce::String& text);

/** Menu options whose parent is the component's top-level window, so that the menu opens inside
    it and shares its scale; the default options for null. Callers add a target or a position. */
juce::PopupMenu::Options popupMenuOptionsFor (juce::Component* component);

} // namespace dunmoor::ui
