#pragma once

#include <functional>

#include "PresetPageContext.h"
#include "PresetPageLayout.h"

namespace dunmoor::ui
{

/**
    The lower block of the Preset & Stems page's left column: every preset of the library, one
    row each, and the nine buttons that act on the library (New, Duplicate, Rename, Save,
    Save as, Delete, Import, Export, Restore), with the line that says whether the working copy
    has unsaved changes. Choosing a row makes that preset the working copy, after asking when
    the working copy has unsaved edits; the buttons are the only way the page writes the library.
*/
class PresetLibraryPanel : public juce::Component,
                           public juce::ListBoxModel
{
public:
    explicit PresetLibraryPanel (PresetPageContext& context);
    ~PresetLibraryPanel() override;

    /** Re-reads the library: rows, the current preset's row selected, button states, status. */
    void refreshLibrary();

    /** Shows whether the working copy differs from its stored preset. */
    void updateStatusLabel();

    void newPreset();
    void duplicatePreset();
    void renamePreset();
    void savePreset();
    void savePresetAs();
    void deletePreset();
    void importPreset();
    void exportPreset();
    void restoreDefaults();

    /** Takes its place and places its controls, from the page's layout. */
    void layOut (const PresetPageLayout& layout);

    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;

    /** After another preset (or none) became the working copy: the page shows it. */
    std::function<void()> onWorkingPresetReplaced;

private:
    void loadPresetWithId (const juce::String& id);
    void onLibraryRowChosen();
    void selectCurrentLibraryRow();
    void askToDiscardEdits (std::function<void()> onDiscard);
    void takeUpPreset (const Preset& preset, bool replaceWholly);
    void workingPresetReplaced();

    PresetPageContext& context;
    AppState& appState;
    PresetLibrary& library;

    juce::Label libraryHeading;
    juce::ListBox libraryList;
    juce::TextButton newButton { "New" }, duplicateButton { "Duplicate" }, renameButton { "Rename" };
    juce::TextButton saveButton { "Save" }, saveAsButton { "Save as" }, deleteButton { "Delete" };
    juce::TextButton importButton { "Import" }, exportButton { "Export" }, restoreButton { "Restore" };
    juce::Label statusLabel;

    std::vector<PresetLibraryEntry> libraryRows; // the library's entries as last read

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetLibraryPanel)
};

} // namespace dunmoor::ui
