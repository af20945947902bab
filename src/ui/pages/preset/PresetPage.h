#pragma once

#include <juce_gui_extra/juce_gui_extra.h>

#include "PresetPageLayout.h"
#include "StemFieldEdits.h"
#include "StemListGeometry.h"
#include "ui/app/AppState.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::ui
{

/** A text button drawing a small triangle pointing up or down: the stem list's move buttons. */
class ArrowStepButton : public juce::TextButton
{
public:
    explicit ArrowStepButton (bool pointsUp);

    void paintButton (juce::Graphics& g, bool highlighted, bool down) override;

private:
    bool up;
};

/** The stem priority: a value box on the left and two step buttons side by side. */
class StepperSlider : public juce::Slider
{
public:
    StepperSlider();

    void resized() override;
};

/**
    The "Preset & Stems" page: the working preset's project fields and the preset library on
    the left, the stem list in the middle and an editor for the selected stem on the right.

    Every edit goes to the session's working copy of the preset (copy, change, updatePreset);
    the library on disk changes only through the library buttons. The decisions (layout, row and
    move arithmetic, texts, which members an edit writes) live in plain classes beside this one.
    Message thread only; every dialog, question and menu goes through the application's seams
    and its continuation checks that the page still exists.
*/
class PresetPage : public juce::Component,
                   public juce::DragAndDropContainer,
                   public juce::ListBoxModel,
                   public juce::ChangeListener,
                   public juce::Timer,
                   public juce::ScrollBar::Listener,
                   public juce::KeyListener,
                   public Session::Listener
{
public:
    explicit PresetPage (AppState& state);
    ~PresetPage() override;

    /** Space on this page: stops an audition of this page. */
    void togglePlayback();

    //==============================================================================
    // The page's own operations, public for the main component and the tests.

    /** Refills every control that shows the working preset. */
    void refreshStemList();

    /** The ending of most stem-side edits: the list re-reads its rows, the editor is refilled,
        the footer hears of it and the status line follows the working copy. */
    void markEdited();

    /** Asks for a name; the callback receives it trimmed, never empty, and only while the page exists. */
    void askForName (const juce::String& title,
                     const juce::String& message,
                     const juce::String& initialText,
                     std::function<void (const juce::String&)> onName);

    // Library panel
    void refreshLibrary();
    void loadPreset();
    void newPreset();
    void duplicatePreset();
    void renamePreset();
    void savePreset();
    void savePresetAs();
    void deletePreset();
    void importPreset();
    void exportPreset();
    void restoreDefaults();

    // Project fields
    void commitProjectFields();

    // Stem list
    using RowLayout = StemRowLayout;
    RowLayout computeRowLayout (juce::Rectangle<int> rect, int mixCount, int scrollOffset, bool hasCue, int columnWidth) const;
    const Stem* getSelectedStem() const;
    juce::StringArray getSelectedStemIds() const;
    void moveStemsTo (int fromRow, int insertionRow);
    void moveSelectedStems (int delta);
    void showStemContextMenu (int row);
    void startInlineRename (int row);
    void finishInlineRename (bool commit);
    void confirmNameClash (const juce::String& name, const juce::String& excludeStemId, std::function<void()> continuation);
    void deleteStem();
    void deleteAllStems();
    void duplicateStem();

    // Stem editor
    void fillStemFields();
    void commitStemFields();
    void chooseStemColour();

    const juce::String& getCurrentStemId() const noexcept { return currentStemId; }
    bool isCommitPending() const noexcept { return pending; }

    /** The stem list, for tests that click its rows. */
    juce::ListBox& getStemListBox() noexcept;

    static constexpr int commitDelayMs = 600;
    static constexpr int colourCommitIntervalMs = 50;

    //==============================================================================
    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseExit (const juce::MouseEvent& e) override;
    void visibilityChanged() override;
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;

    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void timerCallback() override;
    void scrollBarMoved (juce::ScrollBar* bar, double newRangeStart) override;
    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;

    void tracksChanged() override;
    void assignmentsChanged() override;
    void presetChanged() override;

private:
    class BlockTraverser;
    class StemListBox;
    class StemListModel;
    class SubmixHeader;
    class ColourCommitTimer;

    /** Sets the filling flag for its lifetime; nests, so an inner refill never clears it early. */
    struct ScopedFilling
    {
        explicit ScopedFilling (PresetPage& p) : page (p) { ++page.filling; }
        ~ScopedFilling() { --page.filling; }
        PresetPage& page;
    };

    bool isFilling() const noexcept { return filling > 0; }

    // Library
    void loadPresetWithId (const juce::String& id);
    void onLibraryRowChosen();
    void selectCurrentLibraryRow();
    void updateStatusLabel();
    /** An OK/Cancel question about the page; the answer arrives only while the page exists. */
    void ask (juce::MessageBoxIconType icon, const juce::String& title, const juce::String& message,
              std::function<void (bool confirmed)> onAnswer);
    void askToDiscardEdits (std::function<void()> onDiscard);
    void showFailure (const juce::String& title, const juce::String& message);
    void takeUpPreset (const Preset& preset, bool replaceWholly);

    // Stem list and editor
    void commitPresetEdit (const Preset& edited);
    void onStemSelectionChanged();
    void stemRowClicked (int row, const juce::MouseEvent& e);
    void paintStemRow (int row, juce::Graphics& g, int width, int height, bool selected);
    void startStemFieldTimer();
    void finishStemFieldWithKey();
    void applyStemColour (juce::Colour colour);
    StemFieldTexts currentStemFieldTexts() const;
    ProjectFieldTexts currentProjectFieldTexts() const;
    void setFieldText (juce::TextEditor& editor, const juce::String& text);
    bool aTextFieldHasFocus() const;
    void refreshWhenTypingEnds();
    void numberingChanged();
    void pluralToggled();
    void detachColourSelector();

    //==============================================================================
    AppState& appState;
    Session& session;
    PresetLibrary& library;
    Seams& seams;

    // Library panel
    juce::Label libraryHeading;
    juce::ListBox libraryList;
    juce::TextButton newButton { "New" }, duplicateButton { "Duplicate" }, renameButton { "Rename" };
    juce::TextButton saveButton { "Save" }, saveAsButton { "Save as" }, deleteButton { "Delete" };
    juce::TextButton importButton { "Import" }, exportButton { "Export" }, restoreButton { "Restore" };
    juce::Label statusLabel;

    // Project fields
    juce::Label projectHeading;
    juce::Label publisherLabel, pubCodeLabel, composerLabel, versionLabel;
    juce::TextEditor publisherField, pubCodeField, composerField, versionField;

    // Stem panel
    juce::Label hintLabel;
    juce::ScrollBar tickScrollBar { false };
    std::unique_ptr<SubmixHeader> submixHeader;
    juce::TextButton addMixButton { "Add Alternative Mix" };
    juce::Label cueLabel;
    juce::ComboBox cueChoice;
    WaveformView auditionView;
    std::unique_ptr<StemListModel> stemListModel;
    std::unique_ptr<StemListBox> stemList;
    juce::TextEditor inlineEditor;
    juce::Label numberingLabel;
    juce::ComboBox numberingChoice;
    juce::Label keywordsLabel;
    juce::ToggleButton pluralToggle { "Match singular and plural" };
    juce::TextButton addStemButton { "Add stem" }, addSeveralButton { "Add N stems" };
    juce::TextButton duplicateStemButton { "Duplicate" }, deleteStemButton { "Delete" }, deleteAllButton { "Delete all" };
    ArrowStepButton earlierButton { true }, laterButton { false };

    // Stem editor
    juce::Label nameLabel, codeLabel, tokenLabel, priorityLabel;
    juce::TextEditor nameField, codeField, tokenField;
    StepperSlider prioritySlider;
    juce::TextButton colourButton { "Colour" };
    juce::Label rulesLabel;
    juce::TextEditor rulesField;
    juce::Label exclusionsLabel;
    juce::TextEditor exclusionsField;

    //==============================================================================
    std::vector<juce::Component*> projectBlock;
    std::vector<juce::Component*> stemBlock;
    juce::String currentStemId;
    std::vector<PresetLibraryEntry> libraryRows;
    int tickColumnWidth = 116;
    int tickScrollOffset = 0;
    juce::String selectedCueKey; // empty: "All cues"
    int inlineRenameRow = -1;
    int filling = 0;
    bool pending = false;
    bool refreshDeferred = false; // the preset changed while a field was being typed in
    int separatorY = 0;
    juce::Rectangle<int> editorPanel, stemPanel;
    std::vector<juce::Rectangle<int>> sectionPanels;

    StemFieldTexts shownStem;           // what fillStemFields last wrote into the stem fields
    ProjectFieldTexts shownProject;     // what the last refill wrote into the project fields

    juce::Component::SafePointer<juce::ColourSelector> colourSelector;
    juce::String colourTargetId;
    std::unique_ptr<ColourCommitTimer> colourTimer;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetPage)
};

} // namespace dunmoor::ui
