#include "PresetPage.h"

namespace dunmoor::ui
{

PresetPage::PresetPage (AppState& state) : context (state, *this)
{
    setTitle ("Preset & Stems");

    // The audition strip stands over the top of the editor's panel.
    addAllAndMakeVisible (*this, { &libraryPanel, &projectFields, &mixColumns, &stemList, &stemEditor, &audition });

    // Typing in the editor also lands when the pointer leaves any bare part of the page.
    for (auto* panel : std::initializer_list<juce::Component*> { &libraryPanel, &projectFields, &stemList, &audition })
        panel->addMouseListener (this, false);

    libraryPanel.onWorkingPresetReplaced = [this] { refreshStemList(); };

    projectFields.onFieldsCommitted = [this] { libraryPanel.updateStatusLabel(); };
    projectFields.onMatchingChanged = [this] { markEdited(); };
    projectFields.onFieldLeft = [this] { refreshWhenTypingEnds(); };

    mixColumns.onPresetEdited = [this] (const Preset& edited) { commitPresetEdit (edited); };
    mixColumns.onColumnsChanged = [this] { stemList.repaintRows(); };
    mixColumns.onScopeChanged = [this]
    {
        // The audition cell comes or goes, and with it the room for the columns.
        resized();
        repaintStemsAndHeading();
        audition.updateAuditionState();
    };

    stemList.onPresetEdited = [this] (const Preset& edited) { commitPresetEdit (edited); };
    stemList.onSelectionChanged = [this]
    {
        // Pending typing lands in the stem that was current; committing never refreshes the
        // list, so the new selection stays.
        stemEditor.commitStemFields();
        fillStemFields();
    };
    stemList.onChooseColour = [this] { stemEditor.chooseStemColour(); };

    stemEditor.onStemEdited = [this]
    {
        stemList.repaintRows();
        audition.repaint();
        libraryPanel.updateStatusLabel();
    };
    stemEditor.onFieldLeft = [this] { refreshWhenTypingEnds(); };

    audition.getSelectedStem = [this] { return stemList.getSelectedStem(); };
    audition.onPlayStateChanged = [this] { repaintStemsAndHeading(); };

    context.session.addListener (this);
    libraryPanel.refreshLibrary();
    refreshStemList();
}

PresetPage::~PresetPage()
{
    for (auto* panel : std::initializer_list<juce::Component*> { &libraryPanel, &projectFields, &stemList, &audition })
        panel->removeMouseListener (this);

    context.session.removeListener (this);
}

//==============================================================================
// Refills

void PresetPage::refreshStemList()
{
    stemList.finishInlineRename (false);
    refreshDeferred = false;

    {
        const PresetPageContext::ScopedFilling fillingScope (context);
        projectFields.fill (context.session.getPreset());
        stemList.refreshRows();
        mixColumns.repaintHeading();
    }

    resized();
    fillStemFields();
}

void PresetPage::fillStemFields()
{
    const PresetPageContext::ScopedFilling fillingScope (context);
    const auto* stem = stemList.getSelectedStem();

    stemList.setCurrentStemId (stem != nullptr ? stem->id : juce::String());
    stemList.setStemButtonsEnabled (stem != nullptr);
    stemEditor.fill (stem);
    audition.repaint();
}

void PresetPage::markEdited()
{
    stemList.updateRows();
    fillStemFields();
    context.appState.sendChangeMessage();
    libraryPanel.updateStatusLabel();
}

void PresetPage::commitPresetEdit (const Preset& edited)
{
    {
        // The page refreshes itself below; the notification only repaints the list.
        const PresetPageContext::ScopedFilling fillingScope (context);
        context.session.updatePreset (edited);
    }

    refreshStemList();
    markEdited();
}

bool PresetPage::aTextFieldHasFocus() const
{
    return stemEditor.aFieldHasFocus() || projectFields.aFieldHasFocus();
}

void PresetPage::repaintStemsAndHeading()
{
    stemList.repaintRows();
    mixColumns.repaintHeading();
}

//==============================================================================
// Session notifications

void PresetPage::tracksChanged()
{
    mixColumns.tracksChanged();
    repaintStemsAndHeading();
}

void PresetPage::assignmentsChanged()
{
    mixColumns.assignmentsChanged();
    stemList.repaintRows();
}

void PresetPage::presetChanged()
{
    mixColumns.presetChanged();

    if (context.isFilling())
    {
        stemList.repaintRows();
    }
    else if (aTextFieldHasFocus())
    {
        // Never overwrite a field being typed in; the page catches up when the typing ends.
        stemList.repaintRows();
        refreshDeferred = true;
    }
    else
    {
        refreshStemList();
    }

    libraryPanel.updateStatusLabel();
}

void PresetPage::refreshWhenTypingEnds()
{
    if (! refreshDeferred)
        return;

    // The focus may be on its way to another of the fields; look once it has arrived.
    juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<PresetPage> (this)]
    {
        if (safe == nullptr || ! safe->refreshDeferred || safe->aTextFieldHasFocus())
            return;

        safe->refreshStemList();
    });
}

void PresetPage::visibilityChanged()
{
    if (isVisible())
        libraryPanel.refreshLibrary();
}

void PresetPage::mouseExit (const juce::MouseEvent&)
{
    stemEditor.commitIfPending();
}

void PresetPage::togglePlayback()
{
    if (audition.isAuditioning())
    {
        audition.stop();
        return;
    }

    if (! mixColumns.hasCue())
        return;

    if (const auto* stem = context.session.getPreset().schema.findStem (stemList.getCurrentStemId()))
        audition.auditionStem (*stem, mixColumns.getSelectedCueKey());
}

//==============================================================================
// Layout and painting

void PresetPage::resized()
{
    PresetPageLayout::Inputs inputs;
    inputs.width = getWidth();
    inputs.height = getHeight();
    stemList.measureButtonRow (inputs);

    const auto l = PresetPageLayout::compute (inputs);
    separatorY = l.separatorY;
    stemPanel = l.stemPanel;
    editorPanel = l.editorPanel;

    projectFields.layOut (l);
    libraryPanel.layOut (l);
    mixColumns.layOut (l);
    stemList.layOut (l);
    stemEditor.layOut (l);
    audition.layOut (l);
}

void PresetPage::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    g.fillAll (palette.windowBackground);

    const int L = juce::jmin (getWidth(), PresetPageLayout::leftColumnWidth);
    const auto fillBlock = [&g, &palette] (juce::Rectangle<int> block)
    {
        if (block.isEmpty())
            return;

        g.setGradientFill (subtleGradient (palette.panelBackground, block.toFloat()));
        g.fillRect (block);
    };

    // The left column in two blocks, project fields over the library, with a line between.
    if (separatorY > 0)
    {
        fillBlock (juce::Rectangle<int>::leftTopRightBottom (0, 12, L, separatorY));
        fillBlock (juce::Rectangle<int>::leftTopRightBottom (0, separatorY, L, getHeight()));
    }
    else
    {
        fillBlock (juce::Rectangle<int>::leftTopRightBottom (0, 12, L, getHeight()));
    }

    fillBlock (editorPanel);

    if (separatorY > 0)
    {
        g.setColour (juce::Colours::black.withAlpha (0.55f));
        g.fillRect (0, separatorY - 1, PresetPageLayout::leftColumnWidth, 1);
        g.setColour (palette.outline);
        g.fillRect (0, separatorY, PresetPageLayout::leftColumnWidth, 1);
    }

    drawPanel (g, stemPanel, palette.panelBackground);
}

} // namespace dunmoor::ui
