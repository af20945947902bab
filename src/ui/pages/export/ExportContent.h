#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "BlockColumns.h"
#include "CueResultList.h"
#include "ExportBlockGrips.h"
#include "ExportSettingsMapping.h"
#include "ExportSettingsSlider.h"
#include "FormatRow.h"
#include "GatedTrackList.h"
#include "ui/widgets/NameTemplateEditor.h"
#include "ui/widgets/SectionHeader.h"
#include "ui/widgets/SeparatorChooser.h"
#include "ui/widgets/TextBlock.h"

namespace dunmoor::ui
{

/**
    The scrolling settings area of the Levels & Export page: the export settings controls in
    seven blocks arranged in two to four columns, and under them, over the full width, the report
    area (summary, cue list, cleanup preview and the warning list). It lays itself out and records
    the height it needs; the page scrolls it.

    The user drags a block by its title strip to another place or column, and the gap between
    two columns to share their width differently; both choices come out as texts the page keeps
    in the settings (BlockLayoutSettings), and come back in through applyBlockColumns and
    applyColumnWidths.

    It is the drag-and-drop container of the template editors' chips (block dragging does not use
    it). A click on empty space takes the keyboard focus from whichever child holds it, which
    commits a half-typed full mix name.
*/
class ExportContent : public juce::Component, public juce::DragAndDropContainer
{
public:
    ExportContent();
    ~ExportContent() override;

    using BlockHandle = ExportBlockHandle;
    using ColumnSplitter = ExportColumnSplitter;
    using SettingsSlider = ExportSettingsSlider;

    /** A caption and its control, laid out as one row. */
    struct Row
    {
        juce::Label caption;
        juce::Component* control = nullptr;
        int controlWidth = 760;
    };

    //==============================================================================
    /** Shows the values without sending notifications. */
    void setValues (const ExportControlValues& values);

    /** What the controls show now. */
    ExportControlValues getValues() const;

    /** The settings that depend on others: the cleanup rows follow the gate, folder-per-cue
        is off limits while mirroring, the stems-folder toggle names its folder. */
    void updateDependentControls (const ExportSettings& settings);

    /** Every slider, for the page's commit rule. */
    std::vector<SettingsSlider*> getSliders();

    /** Every combo box and toggle of the blocks, for the page's commit wiring. */
    std::vector<juce::ComboBox*> getCombos();
    std::vector<juce::ToggleButton*> getToggles();

    //==============================================================================
    // Blocks

    // Cues
    SectionHeader cuesHeader { "Cues", "one delivery per folder of stems" };
    juce::Label cueCountLabel;
    juce::ComboBox folderNameCombo;
    juce::ToggleButton mirrorToggle { "Reproduce the source folder structure in the output" };
    juce::ToggleButton folderPerCueToggle { "Give every cue a folder of its own" };

    // Headroom
    SectionHeader headroomHeader { "Headroom", "one global gain for everything" };
    SettingsSlider targetSlider { ExportSlider::targetLevel };
    juce::ComboBox gainScopeCombo, measureCombo, gainModeCombo, oversamplingCombo, sampleRateCombo;
    juce::ToggleButton remeasureToggle { "Re-measure the mix after the gain" };

    // File naming
    SectionHeader namingHeader { "File naming", {} };
    NameTemplateEditor stemTemplateEditor, mixTemplateEditor;

    // File naming rules
    SectionHeader namingRulesHeader { "File naming rules", {} };
    SeparatorChooser separatorChooser;
    juce::TextEditor fullMixNameEditor;
    juce::ComboBox indexPaddingCombo, numberingCombo, collisionCombo;
    juce::ToggleButton mixesFirstToggle { "Number the mixes first, then the stems" };
    juce::Label previewCaption;
    TextBlock previewText;

    // Noise floor cleanup
    SectionHeader cleanupHeader { "Noise floor cleanup", "applied to each track before summing" };
    juce::ToggleButton gateToggle { "Do not mix silent parts and background noise" };
    SettingsSlider belowSlider { ExportSlider::below };
    SettingsSlider forAtLeastSlider { ExportSlider::forAtLeast };
    SettingsSlider fadeInSlider { ExportSlider::fadeIn };
    SettingsSlider fadeOutSlider { ExportSlider::fadeOut };
    SettingsSlider takeDownBySlider { ExportSlider::takeDownBy };

    // Delivery rules
    SectionHeader rulesHeader { "Delivery rules", {} };
    juce::ComboBox emptyStemsCombo;
    juce::ToggleButton refuseUnassignedToggle { "Refuse to export while tracks are unassigned" };
    juce::ToggleButton fullMixToggle { "Export the full mix" };
    juce::ToggleButton alternativeMixToggle { "Export the alternative mixes" };
    juce::ToggleButton stemsFolderToggle { "Put the stems in a STEMS folder inside each cue folder" };

    // Output formats
    SectionHeader formatsHeader { "Output formats", {} };
    FormatCaptions formatCaptions;

    /** Takes a format row into the formats block (the page makes the two rows). */
    FormatRow& addFormatRow (std::unique_ptr<FormatRow> row);
    const std::vector<std::unique_ptr<FormatRow>>& getFormatRows() const noexcept { return formatRows; }

    // Report area
    SectionHeader reportHeader { "Report", {} };
    TextBlock summaryText;
    CueResultList cueList;
    GatedTrackList gatedList;
    juce::Label warningsLabel;

    //==============================================================================
    // Blocks in columns

    /** Installs an arrangement text (cleaned; "id:column" lines and "@columns:n") and lays out. */
    void applyBlockColumns (const juce::String& text);

    /** Installs saved column widths (shares of the total) and lays out; empty: automatic. */
    void applyColumnWidths (std::vector<double> fractions);

    /** A block dragged over a point: highlights the column and marks where it would go. */
    void dragBlockOver (const juce::String& blockId, juce::Point<int> point);

    /** A block dropped at a point: on a column the arrangement changes and is reported. */
    void dropBlock (const juce::String& blockId, juce::Point<int> point);

    /** The gap right of column index dragged to x: both columns keep 440 px where they can. */
    void moveColumnSplitter (int index, int x);

    const std::vector<BlockColumns::BlockPlacement>& getPlacements() const noexcept { return lastLayout.placements; }
    std::vector<juce::Rectangle<int>> getColumnRects() const { return lastLayout.getColumnRects(); }
    const std::vector<int>& getColumnWidths() const noexcept { return lastLayout.widths; }
    int getMaxColumns() const noexcept { return lastLayout.maxColumns; }
    int getDropColumn() const noexcept { return dropColumn; }
    juce::Rectangle<int> getDropIndicator() const noexcept { return dropIndicator; }
    BlockHandle* getBlockHandle (const juce::String& blockId);
    ColumnSplitter* getColumnSplitter (int index);

    /** The panel of a block after the last layout; empty when it was not placed. */
    juce::Rectangle<int> getBlockPanel (const juce::String& blockId) const;

    /** The whole arrangement after a drop, not compacted (the page stores it). */
    std::function<void (const juce::String&)> onBlockColumnsChanged;

    /** The column shares after every pointer move of a gap drag. */
    std::function<void (const juce::String&)> onColumnWidthsChanged;

    /** A gap drag ended (the page writes the settings file once). */
    std::function<void()> onColumnDragEnded;

    /** Called after the content laid itself out again on its own (its height may differ). */
    std::function<void()> onLayoutChanged;

    /** The height the last layout needed, and where the report's title stands. */
    int getRequiredHeight() const noexcept { return requiredHeight; }
    int getReportTop() const noexcept { return reportTop; }

    /** The row captions, by their text. */
    juce::Label* findCaption (const juce::String& text);

    /** The label column for the captions, and the width a combo needs for its longest item. */
    static int labelColumnWidth (std::initializer_list<const juce::Label*> captions);
    static int comboWidthFor (const juce::ComboBox& combo);

    /** The warning list is red while it holds an error, else quiet; it keeps those colours
        across palette changes. */
    void setWarningsHaveErrors (bool hasErrors);

    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void lookAndFeelChanged() override;

private:
    Row& makeRow (const juce::String& caption, juce::Component& control, bool secondaryTone);
    void layoutRow (juce::Rectangle<int>& area, Row& row, int labelWidth);
    juce::Rectangle<int> takeItem (juce::Rectangle<int>& area, int height, juce::Component* item = nullptr);
    std::vector<BlockColumns::BlockSpec> makeBlockSpecs();
    void layoutColumns (int innerWidth);
    void layoutReportArea (int innerWidth, int availableHeight);
    void relayout();
    Row& rowFor (const juce::String& caption);
    void applyColours();

    std::vector<std::unique_ptr<Row>> rows;
    std::vector<std::unique_ptr<FormatRow>> formatRows;
    std::vector<std::unique_ptr<BlockHandle>> blockHandles;
    std::vector<std::unique_ptr<ColumnSplitter>> columnSplitters;
    std::vector<juce::Rectangle<int>> panels;
    std::vector<bool> panelIsBlock;
    std::vector<juce::Rectangle<int>> dividers;

    BlockColumns::SavedLayout saved;
    BlockColumns::Result lastLayout;
    std::vector<int> dragStartWidths;
    int dropColumn = -1;
    juce::Rectangle<int> dropIndicator;

    bool warningsHaveErrors = false;
    int blockBottom = 0;
    int requiredHeight = 1200;
    int reportTop = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ExportContent)
};

} // namespace dunmoor::ui
