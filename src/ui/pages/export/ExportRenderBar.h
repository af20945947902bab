#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "PhaseBar.h"
#include "ui/widgets/MagnifierButton.h"
#include "ui/widgets/PrimaryButton.h"
#include "ui/widgets/RowHeightButton.h"

namespace dunmoor::ui
{

/**
    The fixed strip at the bottom of the Levels & Export page: preset and folder actions with the
    output folder on the first row (and the cleanup preview's zoom and row-height buttons while
    that preview shows), the run actions and the phase bar on the second. Passive: the page
    installs the actions and switches the buttons.
*/
class ExportRenderBar : public juce::Component
{
public:
    ExportRenderBar();

    juce::TextButton analyseButton { "Analyse levels" };
    PrimaryButton renderButton { "Render and export" };
    juce::TextButton cancelButton { "Cancel" };
    juce::TextButton saveButton { "Save to preset" };
    juce::TextButton chooseFolderButton { "Choose render folder" };
    juce::TextButton openFolderButton { "Open folder" };
    juce::Label folderLabel;
    MagnifierButton zoomOutButton { "zoom out", MagnifierButton::zoomOut };
    MagnifierButton zoomInButton { "zoom in", MagnifierButton::zoomIn };
    MagnifierButton wholeTakeButton { "whole take", MagnifierButton::wholeView };
    RowHeightButton shorterButton { "shorter", RowHeightButton::shorter };
    RowHeightButton tallerButton { "taller", RowHeightButton::taller };
    PhaseBar phaseBar;

    /** Shows or hides the five cleanup-preview buttons together and lays the bar out. */
    void setPreviewButtonsVisible (bool shouldBeVisible);

    /** The folder's full path, or "No folder chosen yet"; the tooltip likewise. */
    void setFolder (const juce::File& folder);

    /** The folder the bar shows. */
    const juce::File& getFolder() const noexcept { return shownFolder; }

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Height the page gives the bar. */
    static constexpr int preferredHeight = 96;

private:
    juce::File shownFolder;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ExportRenderBar)
};

} // namespace dunmoor::ui
