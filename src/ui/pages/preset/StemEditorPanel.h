#pragma once

#include <functional>
#include <memory>

#include <juce_gui_extra/juce_gui_extra.h>

#include "PresetPageContext.h"
#include "PresetPageLayout.h"
#include "StemFieldEdits.h"
#include "ui/widgets/StepperSlider.h"

namespace dunmoor::ui
{

/**
    The right-hand panel of the Preset & Stems page: the selected stem's name, short code,
    file-name token, priority, keyword rules, stem-wide exclusions and colour.

    Typing is written into the session's working copy 600 ms after the last keystroke, when the
    field loses the focus, on Return or Escape (Escape only in the two multi-line fields, where
    Return starts a line), when the pointer leaves the panel or a field, and before another stem
    is shown; the priority and the colour are written at once. Tab walks the fields and wraps.
*/
class StemEditorPanel : public juce::Component,
                        public juce::ChangeListener,
                        public juce::Timer
{
public:
    explicit StemEditorPanel (PresetPageContext& context);
    ~StemEditorPanel() override;

    /** Shows the stem, or empties and disables the panel for none; sends nothing. */
    void fill (const Stem* stem);

    /** Writes what differs from what the fields were filled with into the shown stem. */
    void commitStemFields();

    /** Lands typing that is waiting for its timer. */
    void commitIfPending();

    /** Opens the colour selector for the shown stem. */
    void chooseStemColour();

    bool isCommitPending() const noexcept { return pending; }

    /** Why the last edit was refused (a blank name); empty when nothing was. */
    juce::String getNote() const { return noteLabel.getText(); }

    static constexpr const char* blankNameNote = "A stem needs a name: the old one is kept.";

    /** True while one of the five text fields (or a child of one) has the keyboard focus. */
    bool aFieldHasFocus() const;

    /** Takes its place and places its controls, from the page's layout. */
    void layOut (const PresetPageLayout& layout);

    void paint (juce::Graphics& g) override;
    void mouseExit (const juce::MouseEvent& e) override;
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    /** The colour selector's changes; each lands within colourCommitIntervalMs. */
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    /** The commit timer. */
    void timerCallback() override;

    /** After the shown stem changed in the working copy. */
    std::function<void()> onStemEdited;

    /** After one of the five text fields lost the keyboard focus (and was committed). */
    std::function<void()> onFieldLeft;

    static constexpr int commitDelayMs = 600;
    static constexpr int colourCommitIntervalMs = 50;

private:
    class ColourCommitTimer;

    void startStemFieldTimer();
    void finishStemFieldWithKey();
    void applyStemColour (juce::Colour colour);
    void showColour (juce::Colour colour);
    void detachColourSelector();
    void stemEdited();

    PresetPageContext& context;
    Session& session;

    juce::Label nameLabel, codeLabel, tokenLabel, priorityLabel;
    juce::TextEditor nameField, codeField, tokenField;
    StepperSlider prioritySlider;
    juce::TextButton colourButton { "Colour" };
    juce::Label noteLabel;
    juce::Label rulesLabel;
    juce::TextEditor rulesField;
    juce::Label exclusionsLabel;
    juce::TextEditor exclusionsField;

    juce::String shownStemId;           // the stem the fields show; empty for none
    StemFieldTexts shownStem;           // what the last fill wrote into the fields
    bool pending = false;               // typing not yet committed
    std::vector<juce::Rectangle<int>> sectionPanels;

    juce::Component::SafePointer<juce::ColourSelector> colourSelector;
    juce::String colourTargetId;
    std::unique_ptr<ColourCommitTimer> colourTimer;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StemEditorPanel)
};

} // namespace dunmoor::ui
