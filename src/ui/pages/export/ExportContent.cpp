#include "ExportContent.h"

#include <cmath>
#include <map>

#include "BlockLayoutSettings.h"
#include "core/model/CodecCapabilities.h"
#include "ui/look/ShortenedText.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int rowHeight = 30;
    constexpr int toggleHeight = 26;
    constexpr int titleHeight = 27;
    constexpr int sliderControlWidth = 760;

    void addItems (juce::ComboBox& combo, std::initializer_list<const char*> items)
    {
        int id = 1;

        for (auto* item : items)
            combo.addItem (item, id++);
    }

} // namespace

//==============================================================================
ExportContent::ExportContent()
{
    setTitle ("Levels and export settings");

    // Cues
    cueCountLabel.setFont (fontPlain12_5());
    setLabelTone (cueCountLabel, LabelTone::disabled);
    addItems (folderNameCombo, { "Do not use the folder name", "Folder name becomes the cue", "Folder name becomes the project" });
    folderNameCombo.setTooltip ("The folder that holds a set of stems names the track it belongs to.");
    folderPerCueToggle.setTooltip ("One folder per cue, named after the cue, directly under the export folder. For when the sources "
                                   "have no structure to reproduce - a pile of files dropped in at once.");

    // Headroom
    targetSlider.setTooltip ("The peak level the whole delivery is scaled to reach.");
    addItems (gainScopeCombo, { "Each cue reaches the target on its own", "One gain for the whole run", "Each cue, and each alternative mix, on its own" });
    gainScopeCombo.setTooltip ("One gain for the whole run keeps the cues at the loudness they have against each other. Use it for an album.");
    addItems (measureCombo, { "Sample peak", "True peak (recommended)" });
    addItems (gainModeCombo, { "Always reach the target", "Attenuate only" });

    for (auto factor : ExportSettingsMapping::oversamplingIds())
        oversamplingCombo.addItem (juce::String (factor) + "x", factor);

    for (auto rate : getLosslessSampleRates())
        sampleRateCombo.addItem (formatKilohertz (rate), (int) rate);

    remeasureToggle.setTooltip ("Off, the level after the gain is worked out from the level before it, which is exact: a constant gain "
                                "scales a true peak by the same amount. On, the mix is measured a second time so the figure comes from "
                                "the delivered samples rather than from the arithmetic. It checks the program, not the audio, and it is "
                                "the slowest thing in a render after writing the files.");

    // File naming
    stemTemplateEditor.setCaption ("Stem file name");
    mixTemplateEditor.setCaption ("Full & alternative mix file name");
    mixTemplateEditor.setPaletteVisible (false);

    // File naming rules
    fullMixNameEditor.setJustification (juce::Justification::centredLeft);
    fullMixNameEditor.setTooltip ("Goes into the mix file name wherever the template has Stem name. Typed exactly: \"FullMix\" stays \"FullMix\".");

    for (int digits = 1; digits <= 4; ++digits)
        indexPaddingCombo.addItem (juce::String (digits) + (digits == 1 ? " digit" : " digits"), digits);

    addItems (numberingCombo, { "Keep the schema number (gaps where stems are skipped)", "Renumber the exported stems 1..N (no gaps)" });
    numberingCombo.setTooltip ("Some publishers want 04 to mean the same stem in every cue. Others want 1 to N with no gaps in each delivery.");
    mixesFirstToggle.setTooltip ("On: the full mix is 01, the alternative mixes take the numbers after it, and the stems carry on from "
                                 "there - one run through the whole delivery.\n\nOff: the mixes and the stems are numbered separately, "
                                 "so there is an 01 mix and an 01 stem. They are in different folders, so nothing is overwritten either way.");
    addItems (collisionCombo, { "Overwrite", "Increment the version", "Stop and ask" });
    previewCaption.setText ("Preview", juce::dontSendNotification);
    previewCaption.setFont (fontBold14_5());
    previewCaption.setBorderSize ({ 1, 0, 1, 5 });
    previewText.setFont (fontMono12());
    previewText.setLineSpacing (1.5f);
    previewText.setTitle ("Example file names");

    // Noise floor cleanup
    gateToggle.setTooltip ("A track exported from a DAW runs the whole cue whether its instrument is playing or not, and where it is "
                           "not it usually carries a noise floor rather than silence. Summed across forty tracks that becomes audible.");
    belowSlider.setTooltip ("The level a track has to stay under to count as not playing.");
    forAtLeastSlider.setTooltip ("How long it has to stay there before it counts as a rest. Short values work inside phrasing, which is "
                                 "heard as the cleanup opening and closing under the cue.");
    fadeInSlider.setTooltip ("The ramp back up out of each silenced stretch, before the instrument returns. Usually shorter than the fade "
                             "out: a long one lets the noise floor back in ahead of the note that justifies it.");
    fadeOutSlider.setTooltip ("The ramp down into each silenced stretch. It acts inside the stretch, so it never touches audio that is "
                              "still playing - what it follows is the decay that has already fallen below the threshold.");
    takeDownBySlider.setTooltip ("How far down a cleaned stretch is taken. All the way at the bottom of the range, which removes it "
                                 "outright; anything else leaves the room or the tail under the cue, quieter but present.");

    // Delivery rules
    addItems (emptyStemsCombo, { "Do not export empty stems", "Export empty stems as silence", "Treat an empty stem as an error" });
    alternativeMixToggle.setTooltip ("The alternative mixes defined in step 2. Switch it off and they stay in the preset, unwritten this time round.");
    stemsFolderToggle.setTooltip ("Only the stems move down into it. The full mix and the alternative mixes stay at the top of the cue folder.");

    // Report area
    summaryText.setFont (fontMono12());
    summaryText.setLineSpacing (1.5f);
    summaryText.setText ("Ready for analysis.\nAnalyse levels to see the gain, the peaks and the cue names before anything is written.");
    summaryText.setTitle ("Summary");
    warningsLabel.setJustificationType (juce::Justification::topLeft);
    warningsLabel.setTitle ("Warnings");

    // Children, block by block, in the order they are laid out.
    for (auto* child : std::initializer_list<juce::Component*> {
             &namingHeader, &stemTemplateEditor, &mixTemplateEditor,
             &namingRulesHeader, &separatorChooser, &mixesFirstToggle, &previewCaption, &previewText,
             &cuesHeader, &cueCountLabel, &mirrorToggle, &folderPerCueToggle,
             &cleanupHeader, &gateToggle,
             &rulesHeader, &refuseUnassignedToggle, &fullMixToggle, &alternativeMixToggle, &stemsFolderToggle,
             &headroomHeader, &remeasureToggle,
             &formatsHeader, &formatCaptions,
             &reportHeader, &summaryText, &warningsLabel })
        addAndMakeVisible (child);

    addChildComponent (cueList);
    addChildComponent (gatedList);

    makeRow ("Full mix name", fullMixNameEditor, true).controlWidth = 0;
    makeRow ("Index padding", indexPaddingCombo, true);
    makeRow ("Numbering", numberingCombo, true);
    makeRow ("If the name exists", collisionCombo, true);
    makeRow ("Folder name", folderNameCombo, true);
    makeRow ("Below", belowSlider, false);
    makeRow ("For at least", forAtLeastSlider, false);
    makeRow ("Fade in", fadeInSlider, false);
    makeRow ("Fade out", fadeOutSlider, false);
    makeRow ("Take down by", takeDownBySlider, false);
    makeRow ("Empty stems", emptyStemsCombo, true);
    makeRow ("Target level", targetSlider, true);
    makeRow ("Gain scope", gainScopeCombo, true);
    makeRow ("Measure", measureCombo, true);
    makeRow ("Gain mode", gainModeCombo, true);
    makeRow ("True peak oversampling", oversamplingCombo, true);
    makeRow ("Project sample rate", sampleRateCombo, true);

    for (auto* toggle : getToggles())
        toggle->setTitle (toggle->getButtonText());

    // The grips over the title strips, in front of everything in the blocks.
    for (const auto& id : BlockColumns::getBlockIds())
    {
        auto handle = std::make_unique<BlockHandle> (id);
        handle->onDrag = [this] (const juce::String& blockId, juce::Point<int> point) { dragBlockOver (blockId, point); };
        handle->onDrop = [this] (const juce::String& blockId, juce::Point<int> point)
        {
            dropColumn = -1;
            dropIndicator = {};
            dropBlock (blockId, point);
            repaint();
        };
        handle->onRelease = [this]
        {
            dropColumn = -1;
            dropIndicator = {};
            repaint();
        };
        addAndMakeVisible (*handle);
        blockHandles.push_back (std::move (handle));
    }

    cueList.onHeightChanged = [this] { relayout(); };
    gatedList.onHeightChanged = [this] { relayout(); };

    applyColours();
}

ExportContent::~ExportContent() = default;

ExportContent::Row& ExportContent::makeRow (const juce::String& captionText, juce::Component& control, bool secondaryTone)
{
    auto row = std::make_unique<Row>();
    row->caption.setText (captionText, juce::dontSendNotification);

    if (secondaryTone)
        setLabelTone (row->caption, LabelTone::secondary);

    row->control = &control;
    control.setTitle (captionText);

    if (auto* combo = dynamic_cast<juce::ComboBox*> (&control))
        row->controlWidth = comboWidthFor (*combo);
    else
        row->controlWidth = sliderControlWidth;

    addAndMakeVisible (row->caption);
    addAndMakeVisible (control);
    rows.push_back (std::move (row));
    return *rows.back();
}

juce::Label* ExportContent::findCaption (const juce::String& text)
{
    for (auto& row : rows)
        if (row->caption.getText() == text)
            return &row->caption;

    return nullptr;
}

std::vector<ExportContent::SettingsSlider*> ExportContent::getSliders()
{
    return { &targetSlider, &belowSlider, &forAtLeastSlider, &fadeOutSlider, &fadeInSlider, &takeDownBySlider };
}

std::vector<juce::ComboBox*> ExportContent::getCombos()
{
    return { &folderNameCombo, &gainScopeCombo, &measureCombo, &gainModeCombo, &oversamplingCombo,
             &sampleRateCombo, &indexPaddingCombo, &numberingCombo, &collisionCombo, &emptyStemsCombo };
}

std::vector<juce::ToggleButton*> ExportContent::getToggles()
{
    return { &mirrorToggle, &folderPerCueToggle, &remeasureToggle, &mixesFirstToggle, &gateToggle,
             &refuseUnassignedToggle, &fullMixToggle, &alternativeMixToggle, &stemsFolderToggle };
}

//==============================================================================
void ExportContent::setValues (const ExportControlValues& v)
{
    const auto n = juce::dontSendNotification;

    folderNameCombo.setSelectedId (v.folderNameId, n);
    mirrorToggle.setToggleState (v.mirrorFolders, n);
    folderPerCueToggle.setToggleState (v.folderPerCue, n);

    targetSlider.setValue (v.targetDb, n);
    gainScopeCombo.setSelectedId (v.gainScopeId, n);
    measureCombo.setSelectedId (v.measureId, n);
    gainModeCombo.setSelectedId (v.gainModeId, n);
    oversamplingCombo.setSelectedId (v.oversamplingId, n);
    sampleRateCombo.setSelectedId (v.sampleRateId, n);
    remeasureToggle.setToggleState (v.remeasure, n);

    separatorChooser.setSeparator (v.separator);

    // A name being typed is not overwritten; it is committed when the field lets go.
    if (! fullMixNameEditor.hasKeyboardFocus (true))
        fullMixNameEditor.setText (v.fullMixName, false);

    indexPaddingCombo.setSelectedId (v.indexPaddingId, n);
    numberingCombo.setSelectedId (v.numberingId, n);
    mixesFirstToggle.setToggleState (v.mixesFirst, n);
    collisionCombo.setSelectedId (v.collisionId, n);

    gateToggle.setToggleState (v.gateEnabled, n);
    belowSlider.setValue (v.belowDb, n);
    forAtLeastSlider.setValue (v.forAtLeastSeconds, n);
    fadeInSlider.setValue (v.fadeInMs, n);
    fadeOutSlider.setValue (v.fadeOutMs, n);
    takeDownBySlider.setValue (v.takeDownByDb, n);

    emptyStemsCombo.setSelectedId (v.emptyStemsId, n);
    refuseUnassignedToggle.setToggleState (v.refuseUnassigned, n);
    fullMixToggle.setToggleState (v.exportFullMix, n);
    alternativeMixToggle.setToggleState (v.exportAlternativeMixes, n);
    stemsFolderToggle.setToggleState (v.stemsFolder, n);
}

ExportControlValues ExportContent::getValues() const
{
    ExportControlValues v;

    v.folderNameId = folderNameCombo.getSelectedId();
    v.mirrorFolders = mirrorToggle.getToggleState();
    v.folderPerCue = folderPerCueToggle.getToggleState();

    v.targetDb = targetSlider.getValue();
    v.gainScopeId = gainScopeCombo.getSelectedId();
    v.measureId = measureCombo.getSelectedId();
    v.gainModeId = gainModeCombo.getSelectedId();
    v.oversamplingId = oversamplingCombo.getSelectedId();
    v.sampleRateId = sampleRateCombo.getSelectedId();
    v.remeasure = remeasureToggle.getToggleState();

    v.separator = separatorChooser.getSeparator();
    v.fullMixName = fullMixNameEditor.getText();
    v.indexPaddingId = indexPaddingCombo.getSelectedId();
    v.numberingId = numberingCombo.getSelectedId();
    v.mixesFirst = mixesFirstToggle.getToggleState();
    v.collisionId = collisionCombo.getSelectedId();

    v.gateEnabled = gateToggle.getToggleState();
    v.belowDb = belowSlider.getValue();
    v.forAtLeastSeconds = forAtLeastSlider.getValue();
    v.fadeInMs = fadeInSlider.getValue();
    v.fadeOutMs = fadeOutSlider.getValue();
    v.takeDownByDb = takeDownBySlider.getValue();

    v.emptyStemsId = emptyStemsCombo.getSelectedId();
    v.refuseUnassigned = refuseUnassignedToggle.getToggleState();
    v.exportFullMix = fullMixToggle.getToggleState();
    v.exportAlternativeMixes = alternativeMixToggle.getToggleState();
    v.stemsFolder = stemsFolderToggle.getToggleState();
    return v;
}

void ExportContent::updateDependentControls (const ExportSettings& settings)
{
    const auto gateOn = settings.silenceGate.enabled;

    for (auto* slider : { &belowSlider, &forAtLeastSlider, &fadeInSlider, &fadeOutSlider, &takeDownBySlider })
        slider->setEnabled (gateOn);

    for (auto caption : { "Below", "For at least", "Fade in", "Fade out", "Take down by" })
        if (auto* label = findCaption (caption))
            label->setEnabled (gateOn);

    folderPerCueToggle.setEnabled (! settings.batch.mirrorFolderStructure);
    stemsFolderToggle.setButtonText (ExportSettingsMapping::describeStemsFolderToggle (settings.fullMix.stemsSubFolder));
}

//==============================================================================
int ExportContent::labelColumnWidth (std::initializer_list<const juce::Label*> captions)
{
    // The captions never change, and the layout runs on every size change.
    static std::map<juce::String, int> measured;
    int widest = 0;

    for (const auto* caption : captions)
    {
        if (caption == nullptr)
            continue;

        const auto key = caption->getText() + "|" + caption->getFont().toString();
        auto it = measured.find (key);

        if (it == measured.end())
            it = measured.emplace (key, measureTextWidthCeil (caption->getFont(), caption->getText())).first;

        widest = std::max (widest, it->second);
    }

    return widest + 11;
}

int ExportContent::comboWidthFor (const juce::ComboBox& combo)
{
    const juce::Font font (15.0f);
    int widest = 0;

    for (int i = 0; i < combo.getNumItems(); ++i)
        widest = std::max (widest, measureTextWidthCeil (font, combo.getItemText (i)));

    return juce::jlimit (120, 620, widest + 56);
}

void ExportContent::layoutRow (juce::Rectangle<int>& area, Row& row, int labelWidth)
{
    if (row.controlWidth <= 0)
        row.controlWidth = comboWidthFor (numberingCombo);

    const auto controlWidth = row.controlWidth;

    if (area.getWidth() - labelWidth - 5 < 170)
    {
        row.caption.setBounds (takeItem (area, 20));
        const auto strip = takeItem (area, rowHeight);
        row.control->setBounds (strip.withWidth (std::min (strip.getWidth(), controlWidth)));
    }
    else
    {
        const auto strip = takeItem (area, rowHeight);
        row.caption.setJustificationType (juce::Justification::centredLeft);
        row.caption.setBorderSize ({ 1, 5, 1, 5 });
        row.caption.setBounds (strip.withWidth (std::min (labelWidth, strip.getWidth())));

        const auto g = std::min (5, strip.getWidth() - labelWidth);
        auto controlBounds = juce::Rectangle<int> (strip.getX() + labelWidth + g, strip.getY(),
                                                   std::min (strip.getWidth() - labelWidth - g, controlWidth), strip.getHeight());

        if (auto* slider = dynamic_cast<juce::Slider*> (row.control))
        {
            // The slider's track starts where the other controls start.
            slider->setBounds (controlBounds);
            const auto offset = slider->getLookAndFeel().getSliderLayout (*slider).sliderBounds.getX();
            controlBounds = controlBounds.withX (controlBounds.getX() - offset).withWidth (std::max (0, controlBounds.getWidth() + offset));
        }

        row.control->setBounds (controlBounds);
    }

    area.removeFromTop (std::min (6, area.getHeight()));
}

juce::Rectangle<int> ExportContent::takeItem (juce::Rectangle<int>& area, int height, juce::Component* item)
{
    const auto taken = area.removeFromTop (std::min (height, area.getHeight()));

    if (item != nullptr)
        item->setBounds (taken);

    // A block ends under its lowest item that shows.
    if (item == nullptr || item->isVisible())
        blockBottom = std::max (blockBottom, taken.getBottom());

    return taken;
}

ExportContent::Row& ExportContent::rowFor (const juce::String& caption)
{
    return **std::find_if (rows.begin(), rows.end(), [&] (auto& r) { return r->caption.getText() == caption; });
}

FormatRow& ExportContent::addFormatRow (std::unique_ptr<FormatRow> row)
{
    addAndMakeVisible (*row);
    formatRows.push_back (std::move (row));

    for (auto& handle : blockHandles)
        handle->toFront (false);

    return *formatRows.back();
}

std::vector<BlockColumns::BlockSpec> ExportContent::makeBlockSpecs()
{
    auto gap = [] (juce::Rectangle<int>& area, int height) { area.removeFromTop (std::min (height, area.getHeight())); };

    // Each block lays its items out from the top of its area and says where its lowest one ends.
    auto block = [this] (std::function<void (juce::Rectangle<int>&)> items)
    {
        return [this, items = std::move (items)] (juce::Rectangle<int> area)
        {
            blockBottom = area.getY();
            items (area);
            return blockBottom;
        };
    };

    std::vector<BlockColumns::BlockSpec> specs;

    specs.push_back ({ "naming", 620, 620, block ([this, gap] (juce::Rectangle<int>& area)
                                                  {
                                                      takeItem (area, titleHeight, &namingHeader);
                                                      takeItem (area, stemTemplateEditor.getIdealHeight (area.getWidth()), &stemTemplateEditor);
                                                      gap (area, 12);
                                                      dividers.push_back (takeItem (area, 1));
                                                      gap (area, 12);
                                                      takeItem (area, mixTemplateEditor.getIdealHeight (area.getWidth()), &mixTemplateEditor);
                                                  }) });

    specs.push_back ({ "namingRules", 440, 440, block ([this, gap] (juce::Rectangle<int>& area)
                                                       {
                                                           takeItem (area, titleHeight, &namingRulesHeader);
                                                           const auto L = labelColumnWidth ({ &separatorChooser.getLabel(), &rowFor ("Full mix name").caption,
                                                                                              &rowFor ("Index padding").caption, &rowFor ("Numbering").caption,
                                                                                              &rowFor ("If the name exists").caption });
                                                           separatorChooser.labelWidth = L;
                                                           takeItem (area, rowHeight, &separatorChooser);
                                                           separatorChooser.resized();
                                                           gap (area, 6);
                                                           layoutRow (area, rowFor ("Full mix name"), L);
                                                           layoutRow (area, rowFor ("Index padding"), L);
                                                           layoutRow (area, rowFor ("Numbering"), L);
                                                           const auto toggleRow = takeItem (area, toggleHeight);
                                                           mixesFirstToggle.setBounds (toggleRow.withTrimmedLeft (std::min (toggleRow.getWidth(), L + 5)));
                                                           gap (area, 3);
                                                           layoutRow (area, rowFor ("If the name exists"), L);
                                                           gap (area, 12);
                                                           takeItem (area, 20, &previewCaption);
                                                           gap (area, 6);
                                                           const auto lineHeight = (int) std::ceil (previewText.getFont().getHeight() * previewText.getLineSpacing());
                                                           takeItem (area, previewText.getIdealHeight (4) + lineHeight / 2, &previewText);
                                                       }) });

    specs.push_back ({ "cues", 440, 440, block ([this, gap] (juce::Rectangle<int>& area)
                                                {
                                                    takeItem (area, titleHeight, &cuesHeader);
                                                    takeItem (area, 18, &cueCountLabel);
                                                    gap (area, 5);
                                                    layoutRow (area, rowFor ("Folder name"), labelColumnWidth ({ &rowFor ("Folder name").caption }));
                                                    gap (area, 6);
                                                    takeItem (area, toggleHeight, &mirrorToggle);
                                                    takeItem (area, toggleHeight, &folderPerCueToggle);
                                                }) });

    specs.push_back ({ "cleanup", 440, 440, block ([this, gap] (juce::Rectangle<int>& area)
                                                   {
                                                       takeItem (area, titleHeight, &cleanupHeader);
                                                       takeItem (area, toggleHeight, &gateToggle);
                                                       gap (area, 6);
                                                       const auto L = labelColumnWidth ({ &rowFor ("Below").caption, &rowFor ("For at least").caption,
                                                                                          &rowFor ("Fade in").caption, &rowFor ("Fade out").caption,
                                                                                          &rowFor ("Take down by").caption });

                                                       for (auto caption : { "Below", "For at least", "Fade in", "Fade out", "Take down by" })
                                                           layoutRow (area, rowFor (caption), L);
                                                   }) });

    specs.push_back ({ "rules", 440, 440, block ([this, gap] (juce::Rectangle<int>& area)
                                                 {
                                                     takeItem (area, titleHeight, &rulesHeader);
                                                     layoutRow (area, rowFor ("Empty stems"), labelColumnWidth ({ &rowFor ("Empty stems").caption }));
                                                     gap (area, 6);

                                                     for (auto* toggle : { &refuseUnassignedToggle, &fullMixToggle, &alternativeMixToggle, &stemsFolderToggle })
                                                         takeItem (area, toggleHeight, toggle);
                                                 }) });

    specs.push_back ({ "formats", 620, 620, block ([this, gap] (juce::Rectangle<int>& area)
                                                   {
                                                       takeItem (area, titleHeight, &formatsHeader);
                                                       formatCaptions.setSubFolderCaptionShown (formatRows.empty()
                                                                                                || ! formatRows.front()->showsSubFolderBelow (area.getWidth()));
                                                       takeItem (area, 18, &formatCaptions);
                                                       gap (area, 5);

                                                       for (auto& row : formatRows)
                                                       {
                                                           takeItem (area, row->getPreferredHeight (area.getWidth()), row.get());
                                                           gap (area, 5);
                                                       }
                                                   }) });

    specs.push_back ({ "headroom", 440, 440, block ([this, gap] (juce::Rectangle<int>& area)
                                                    {
                                                        takeItem (area, titleHeight, &headroomHeader);
                                                        const auto L = labelColumnWidth ({ &rowFor ("Target level").caption, &rowFor ("Gain scope").caption,
                                                                                           &rowFor ("Measure").caption, &rowFor ("Gain mode").caption,
                                                                                           &rowFor ("True peak oversampling").caption,
                                                                                           &rowFor ("Project sample rate").caption });

                                                        for (auto caption : { "Target level", "Gain scope", "Measure", "Gain mode", "True peak oversampling",
                                                                              "Project sample rate" })
                                                            layoutRow (area, rowFor (caption), L);

                                                        gap (area, 6);
                                                        takeItem (area, toggleHeight, &remeasureToggle);
                                                    }) });

    return specs;
}

void ExportContent::resized()
{
    const auto W = std::max (0, getWidth() - 24);
    const auto H = std::max (0, getHeight() - 24);

    layoutColumns (W);
    layoutReportArea (W, H);
}

void ExportContent::layoutColumns (int W)
{
    panels.clear();
    panelIsBlock.clear();
    dividers.clear();

    lastLayout = BlockColumns::layout (W, saved, makeBlockSpecs());

    for (const auto& placement : lastLayout.placements)
    {
        panels.push_back (placement.panel);
        panelIsBlock.push_back (true);
    }

    // One splitter per gap between columns; more are kept hidden after the page narrows.
    const auto gaps = lastLayout.getNumColumns() - 1;

    while ((int) columnSplitters.size() < gaps)
    {
        auto splitter = std::make_unique<ColumnSplitter> ((int) columnSplitters.size());
        splitter->onDragStart = [this] (int) { dragStartWidths = lastLayout.widths; };
        splitter->onDrag = [this] (int index, int x) { moveColumnSplitter (index, x); };
        splitter->onDragEnd = [this]
        {
            if (onColumnDragEnded != nullptr)
                onColumnDragEnded();
        };
        addChildComponent (*splitter);
        columnSplitters.push_back (std::move (splitter));
    }

    const auto columnsHeight = lastLayout.columnsBottom - BlockColumns::columnsTop;

    for (int i = 0; i < (int) columnSplitters.size(); ++i)
    {
        auto& splitter = *columnSplitters[(size_t) i];
        splitter.setVisible (i < gaps);

        if (i < gaps)
        {
            splitter.setBounds (lastLayout.xs[(size_t) i] + lastLayout.widths[(size_t) i], BlockColumns::columnsTop, BlockColumns::gap, columnsHeight);
            splitter.toFront (false);
        }
    }

    for (const auto& placement : lastLayout.placements)
    {
        if (auto* handle = getBlockHandle (placement.blockId))
        {
            handle->setBounds (placement.panel.withHeight (BlockColumns::gap + titleHeight));
            handle->setVisible (true);
            handle->toFront (false);
        }
    }
}

void ExportContent::layoutReportArea (int W, int H)
{
    const auto h0 = std::min (H, lastLayout.columnsBottom - 24);
    const auto titleGap = std::min (12, H - h0);
    reportHeader.setBounds (24, 12 + h0 + titleGap, std::max (0, W - 12), titleHeight);
    reportTop = reportHeader.getY();

    auto gap = [] (juce::Rectangle<int>& area, int height) { area.removeFromTop (std::max (0, std::min (height, area.getHeight()))); };

    juce::Rectangle<int> report (12, reportHeader.getBottom(), W, std::max (0, H + 12 - reportHeader.getBottom()));

    // What the report area needs is counted whole, also when the present height cuts it short
    // (a list that has just grown): the page then makes room for all of it.
    auto needed = reportHeader.getBottom();
    auto place = [&] (int height, juce::Component* item)
    {
        needed += height;
        return takeItem (report, height, item);
    };
    auto gapAfter = [&] (int height)
    {
        needed += height;
        gap (report, height);
    };

    place (summaryText.getIdealHeight (2), &summaryText);
    gapAfter (6);

    if (cueList.isVisible())
    {
        place (cueList.getIdealHeight(), &cueList);
        gapAfter (6);
    }

    if (gatedList.isVisible())
    {
        panels.push_back (place (gatedList.getIdealHeight(), &gatedList));
        panelIsBlock.push_back (false);
        gapAfter (6);
    }

    // Each warning names its tracks and what to change, so one can take several lines.
    const auto lines = countWrappedLines (warningsLabel.getFont(), warningsLabel.getText(),
                                          (float) (report.getWidth() - warningsLabel.getBorderSize().getLeftAndRight()));
    place (((int) std::ceil (warningsLabel.getFont().getHeight()) + 3) * lines, &warningsLabel);
    requiredHeight = needed + 12;
}

void ExportContent::relayout()
{
    resized();
    repaint();

    if (onLayoutChanged != nullptr)
        onLayoutChanged();
}

//==============================================================================
void ExportContent::applyBlockColumns (const juce::String& text)
{
    const auto arrangement = BlockLayoutSettings::applyArrangement (text);
    saved.columnsOverride = arrangement.columnsOverride;
    saved.blockLayout = arrangement.blockLayout;
    relayout();
}

void ExportContent::applyColumnWidths (std::vector<double> fractions)
{
    saved.widthFractions = std::move (fractions);
    relayout();
}

void ExportContent::dragBlockOver (const juce::String& blockId, juce::Point<int> point)
{
    const auto column = BlockColumns::columnAt (getColumnRects(), point.x);
    const auto indicator = BlockColumns::dropIndicatorFor (lastLayout, blockId, column, point.y);

    if (column == dropColumn && indicator == dropIndicator)
        return;

    dropColumn = column;
    dropIndicator = indicator;
    repaint();
}

void ExportContent::dropBlock (const juce::String& blockId, juce::Point<int> point)
{
    const auto column = BlockColumns::columnAt (getColumnRects(), point.x);

    if (column < 0)
        return;

    const auto text = BlockColumns::arrangementAfterDrop (lastLayout, blockId, column, point.y);
    applyBlockColumns (text);

    if (onBlockColumnsChanged != nullptr)
        onBlockColumnsChanged (text);
}

void ExportContent::moveColumnSplitter (int index, int x)
{
    if (dragStartWidths.empty())
        dragStartWidths = lastLayout.widths;

    const auto total = std::max (0, getWidth() - 24) - BlockColumns::gap * ((int) dragStartWidths.size() - 1);
    const auto widths = BlockColumns::widthsAfterGapMove (dragStartWidths, index, x, BlockColumns::gap);

    if (widths.empty() || total <= 0)
        return;

    std::vector<double> fractions;

    for (auto width : widths)
        fractions.push_back ((double) width / (double) total);

    saved.widthFractions = std::move (fractions);
    relayout();

    if (onColumnWidthsChanged != nullptr)
        onColumnWidthsChanged (BlockColumns::formatWidthFractions (widths, total));
}

ExportContent::BlockHandle* ExportContent::getBlockHandle (const juce::String& blockId)
{
    for (auto& handle : blockHandles)
        if (handle->blockId == blockId)
            return handle.get();

    return nullptr;
}

ExportContent::ColumnSplitter* ExportContent::getColumnSplitter (int index)
{
    return index >= 0 && index < (int) columnSplitters.size() ? columnSplitters[(size_t) index].get() : nullptr;
}

juce::Rectangle<int> ExportContent::getBlockPanel (const juce::String& blockId) const
{
    for (const auto& placement : lastLayout.placements)
        if (placement.blockId == blockId)
            return placement.panel;

    return {};
}

void ExportContent::setWarningsHaveErrors (bool hasErrors)
{
    if (hasErrors == warningsHaveErrors)
        return;

    warningsHaveErrors = hasErrors;
    applyColours();
}

void ExportContent::applyColours()
{
    const auto palette = currentPalette();
    warningsLabel.setColour (juce::Label::textColourId, warningsHaveErrors ? palette.bad : palette.textSecondary);
    previewText.setTextColour (palette.textSecondary);
    summaryText.setTextColour (palette.textPrimary);
}

void ExportContent::lookAndFeelChanged()
{
    applyColours();
}

void ExportContent::mouseDown (const juce::MouseEvent&)
{
    if (auto* focused = juce::Component::getCurrentlyFocusedComponent())
        if (focused != this && isParentOf (focused))
            focused->giveAwayKeyboardFocus();
}

void ExportContent::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();

    for (size_t i = 0; i < panels.size(); ++i)
        drawPanel (g, panels[i], panelIsBlock[i] ? palette.panelBackground : palette.raisedBackground);

    g.setColour (palette.subtleOutline);

    for (const auto& divider : dividers)
        g.fillRect (divider);

    // While a block is dragged: its column lit, and a mark where it would land.
    const auto columns = getColumnRects();

    if (dropColumn >= 0 && dropColumn < (int) columns.size())
    {
        g.setColour (palette.accent.withAlpha (0.1f));
        g.fillRect (columns[(size_t) dropColumn]);
    }

    if (dropIndicator.getWidth() >= 1 && dropIndicator.getHeight() >= 1)
    {
        g.setColour (palette.accent);
        g.fillRect (dropIndicator);
        g.fillRect (dropIndicator.getX(), dropIndicator.getY() - 3, 2, 8);
        g.fillRect (dropIndicator.getRight() - 2, dropIndicator.getY() - 3, 2, 8);
    }
}

} // namespace dunmoor::ui
