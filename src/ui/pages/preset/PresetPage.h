#pragma once

#include "MixColumns.h"
#include "PresetAuditionStrip.h"
#include "PresetLibraryPanel.h"
#include "PresetPageContext.h"
#include "ProjectFieldsPanel.h"
#include "StemEditorPanel.h"
#include "StemListPanel.h"

namespace dunmoor::ui
{

/**
    The "Preset & Stems" page: the working preset's project fields and the preset library on
    the left, the stem list with its alternative-mix columns in the middle and an editor for
    the selected stem on the right, with the audition strip above it.

    Each of those is a panel of its own; the page lays them out, paints the columns behind them
    and wires them together: it hands their edits to the session, refills them when the working
    preset changes, and keeps what the user is typing from being overwritten meanwhile. Every
    edit goes to the session's working copy of the preset; the library on disk changes only
    through the library panel. Message thread only.
*/
class PresetPage : public juce::Component,
                   public juce::DragAndDropContainer,
                   public Session::Listener
{
public:
    explicit PresetPage (AppState& state);
    ~PresetPage() override;

    /** Space on this page: stops an audition of this page, else plays the current stem of the
        chosen cue; nothing under "All cues". */
    void togglePlayback();

    /** Refills every panel that shows the working preset. */
    void refreshStemList();

    /** The ending of most stem-side edits: the list re-reads its rows, the editor is refilled,
        the footer hears of it and the status line follows the working copy. */
    void markEdited();

    PresetLibraryPanel& getLibraryPanel() noexcept { return libraryPanel; }
    ProjectFieldsPanel& getProjectFields() noexcept { return projectFields; }
    StemListPanel& getStemList() noexcept { return stemList; }
    MixColumns& getMixColumns() noexcept { return mixColumns; }
    StemEditorPanel& getStemEditor() noexcept { return stemEditor; }
    PresetAuditionStrip& getAudition() noexcept { return audition; }

    //==============================================================================
    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseExit (const juce::MouseEvent& e) override;
    void visibilityChanged() override;

    void tracksChanged() override;
    void assignmentsChanged() override;
    void presetChanged() override;

private:
    void commitPresetEdit (const Preset& edited);
    void fillStemFields();
    bool aTextFieldHasFocus() const;
    void refreshWhenTypingEnds();
    void repaintStemsAndHeading();

    PresetPageContext context;

    PresetLibraryPanel libraryPanel { context };
    ProjectFieldsPanel projectFields { context };
    PresetAuditionStrip audition { context };
    MixColumns mixColumns { context, audition };
    StemListPanel stemList { context, mixColumns, audition };
    StemEditorPanel stemEditor { context };

    bool refreshDeferred = false; // the preset changed while a field was being typed in
    int separatorY = 0;
    juce::Rectangle<int> editorPanel, stemPanel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetPage)
};

} // namespace dunmoor::ui
