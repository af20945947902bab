#pragma once

#include <array>
#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/model/Preset.h"
#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

class Seams;

/**
    One of the two output formats of the delivery, as a row of controls: write it or not, codec,
    word length, sample rate, dither and an optional sub-folder of the export folder, with a note
    under them when the codec cannot store the project rate or dither would be skipped.

    Every user change calls onChange once; filling the row from a format (showFormat) calls
    nothing. The word-length and rate lists follow the codec; a choice the new codec also offers
    is kept.

    Where the row is too narrow for the sub-folder field beside the other controls (it would not
    show its hint whole), the field, its caption and the pick button take a second line under
    them; the caption strip over the rows then names the other columns only.
*/
class FormatRow : public juce::Component, public PaintsTexts
{
public:
    FormatRow (int rowIndex, Seams& seamsToUse, std::function<void()> onChangeToUse, std::function<juce::File()> exportFolderToUse);
    ~FormatRow() override;

    /** Fills every control from the format without calling onChange. A codec that cannot be
        written shows as WAV, a word length the codec lacks as its default. */
    void showFormat (const OutputFormat& format, double projectRate);

    /** The format as the controls show it. */
    OutputFormat getFormat() const;

    /** Rebuilds the word-length and rate lists for the selected codec, keeping what is still
        offered; fills the dither list once. */
    void fillChoices();

    /** Recomputes the note; when it appears or goes, onNoteShownChanged is called. */
    void updateNote();

    /** Opens the chooser for a folder inside the export folder. */
    void chooseSubFolder();

    bool isNoteShown() const { return note.getText().isNotEmpty(); }

    /** Whether a row of that width puts the sub-folder on a second line: beside the other
        controls the field would have no room for its hint or the caption over it none for
        itself. */
    bool showsSubFolderBelow (int width) const;

    /** The height the page gives the row at that width: 30, or 65 with the sub-folder on a
        second line; 22 more while the note shows. */
    int getPreferredHeight (int width) const;

    /** Where the controls and the captions over them stand: enable, format, word length, sample
        rate, dither, sub-folder and pick button, each cut at what is left of the width. With the
        sub-folder on a second line the four choices share the whole first line, so that their
        texts are not cut while room stands empty beside them. */
    static std::array<juce::Rectangle<int>, 7> getFormatColumns (juce::Rectangle<int> area, bool subFolderBelow = false);

    /** The second line of a narrow row: the sub-folder caption under the format column, the
        field from the word-length column on, and the pick button against the right edge. */
    static std::array<juce::Rectangle<int>, 3> getSubFolderLine (juce::Rectangle<int> area);

    /** The sub-folder caption beside the field, while the field is on the second line. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** The row's height depends on its note; the page lays itself out again. */
    std::function<void()> onNoteShownChanged;

    const int index;
    juce::ToggleButton enableToggle;
    juce::ComboBox formatCombo, wordLengthCombo, sampleRateCombo, ditherCombo;
    juce::TextEditor subFolderEditor;
    juce::TextButton pickButton { "..." };
    juce::Label note;

private:
    void userChanged();
    void commitSubFolder (bool always);
    int getSubFolderWidthNeeded() const;

    Seams& seams;
    std::function<void()> onChange;
    std::function<juce::File()> exportFolder;
    double projectRate = 48000.0;
    bool updating = false;
    juce::String committedSubFolder;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FormatRow)
};

/** The captions over the format rows' controls. */
class FormatCaptions : public juce::Component, public PaintsTexts
{
public:
    FormatCaptions();

    /** Whether the sub-folder caption stands over its column (the rows show the field beside
        the other controls) or is left to the rows (they show it on a second line). */
    void setSubFolderCaptionShown (bool shown);

    std::vector<PaintedText> getPaintedTexts() const override;
    void paint (juce::Graphics& g) override;

private:
    bool subFolderCaptionShown = true;
};

/** The caption of the sub-folder field, over its column or beside it. */
constexpr const char* subFolderCaption = "Sub-folder";

} // namespace dunmoor::ui
