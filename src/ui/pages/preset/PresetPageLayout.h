#pragma once

#include <array>
#include <vector>

#include <juce_graphics/juce_graphics.h>

namespace dunmoor::ui
{

/**
    Where everything on the Preset & Stems page goes: the project fields and the library on the
    left, the stem list in the middle and the stem editor on the right. Computed from the page's
    size and the natural widths of the stem panel's button row; touches no component.

    Every height and width is clipped to what is left, so nothing overlaps on a small page; a
    page narrower than the left column's 340 px leaves the other two panels empty.
*/
struct PresetPageLayout
{
    struct Inputs
    {
        int width = 0;
        int height = 0;

        /** Add stem, Add N stems, Duplicate, Delete, Delete all: text width + 24 each. */
        std::array<int, 5> textButtonWidths {};

        /** The two-line hint beside the arrows: its widest line + borders + 2. */
        int hintWidth = 0;
    };

    static constexpr int leftColumnWidth = 340;
    static constexpr int arrowButtonWidth = 30;

    /** Lays the page out, with the stem list taking the whole list area (no tick scroll bar). */
    static PresetPageLayout compute (const Inputs& inputs);

    /** Gives the tick-column scroll bar the bottom 10 px of the list area and takes it and 3 px
        above it from the stem list; with visible false the list has the whole area. */
    void placeTickScrollBar (bool visible);

    //==============================================================================
    // Where each panel of the page stands; every control of a panel lies within it. The stem
    // editor stands in editorPanel and the audition strip in auditionStrip (both below).
    juce::Rectangle<int> projectPanel; // the upper block of the left column
    juce::Rectangle<int> libraryPanel; // the lower block of the left column
    juce::Rectangle<int> mixPanel;     // the stem panel's top row and the mix heading
    juce::Rectangle<int> listPanel;    // the stem list, its tick scroll bar and the button row

    //==============================================================================
    // Left column: project fields, then the library.
    int leftWidth = 0;
    juce::Rectangle<int> projectHeading;
    std::array<juce::Rectangle<int>, 5> rowLabels; // Publisher, PubCode, Composer, Version, Numbering
    std::array<juce::Rectangle<int>, 5> rowFields;
    juce::Rectangle<int> keywordsLabel, pluralToggle;
    int separatorY = 0;
    juce::Rectangle<int> libraryHeading, libraryList, statusLabel;
    std::array<juce::Rectangle<int>, 9> libraryButtons; // New, Duplicate, Rename, Save, Save as, Delete, Import, Export, Restore

    // Middle: the stem panel.
    juce::Rectangle<int> stemPanel;
    juce::Rectangle<int> cueLabel, cueChoice, addMixButton;
    juce::Rectangle<int> mixHeader, listArea, stemList, tickScrollBar;
    std::array<juce::Rectangle<int>, 7> stemButtons; // Add stem, Add N stems, Duplicate, Delete, Delete all, earlier, later
    juce::Rectangle<int> hint;
    bool hintVisible = false;

    // Right: the stem editor.
    int editorX = 0;
    int editorWidth = 0;
    juce::Rectangle<int> auditionStrip, editorPanel;
    std::array<juce::Rectangle<int>, 4> editorLabels; // Name, Short code, File name token, Stem priority
    std::array<juce::Rectangle<int>, 3> editorFields; // Name, Short code, File name token
    juce::Rectangle<int> prioritySlider, colourButton;
    juce::Rectangle<int> editorNote; // beside the colour button: why an edit was refused
    juce::Rectangle<int> rulesLabel, rulesField, exclusionsLabel, exclusionsField;
    std::vector<juce::Rectangle<int>> sectionPanels; // Keyword rules, Stem-wide exclusions
};

/** The widths of the stem panel's seven buttons in a row of width rowWidth (five text buttons,
    then the two arrows) and whether the hint fits beside them. Too little room for them all
    hides the hint and moves the delete buttons and the arrows to a second line, every caption
    keeping its width; only a line too narrow even for that shrinks its buttons in proportion,
    keeping the 5 px gaps. */
struct StemButtonRow
{
    std::array<int, 7> widths {};
    bool hintVisible = false;
    bool twoLines = false;
    static constexpr size_t firstLineCount = 3; // on two lines: Add, Add N, Duplicate above the rest

    static StemButtonRow fit (int rowWidth, const std::array<int, 5>& textButtonWidths, int hintWidth);
};

} // namespace dunmoor::ui
