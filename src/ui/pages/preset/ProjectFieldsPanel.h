#pragma once

#include <functional>

#include "PresetPageContext.h"
#include "PresetPageLayout.h"
#include "StemFieldEdits.h"

namespace dunmoor::ui
{

/**
    The upper block of the Preset & Stems page's left column: the working preset's four project
    fields (what the naming tokens for publisher, PubCode, composer and version expand to), the
    stem numbering and the "Match singular and plural" toggle. Each edits the session's working
    copy; Tab walks the block and wraps round.
*/
class ProjectFieldsPanel : public juce::Component
{
public:
    explicit ProjectFieldsPanel (PresetPageContext& context);

    /** Shows the preset without notifying anyone; a field being typed in keeps its text. */
    void fill (const Preset& preset);

    /** Writes the fields that changed since they were filled into the working copy. */
    void commitProjectFields();

    /** True while one of the four fields (or a child of one) has the keyboard focus. */
    bool aFieldHasFocus() const;

    /** Takes its place and places its controls, from the page's layout. */
    void layOut (const PresetPageLayout& layout);

    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    /** After the four fields went into the working copy. */
    std::function<void()> onFieldsCommitted;

    /** After the plural toggle changed the working copy. */
    std::function<void()> onMatchingChanged;

    /** After one of the four fields lost the keyboard focus (and was committed). */
    std::function<void()> onFieldLeft;

private:
    void pluralToggled();
    void numberingChanged();

    PresetPageContext& context;

    juce::Label projectHeading;
    juce::Label publisherLabel, pubCodeLabel, composerLabel, versionLabel;
    juce::TextEditor publisherField, pubCodeField, composerField, versionField;
    juce::Label numberingLabel;
    juce::ComboBox numberingChoice;
    juce::Label keywordsLabel;
    juce::ToggleButton pluralToggle { "Match singular and plural" };

    ProjectFieldTexts shownProject; // what the last fill wrote into the four fields

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProjectFieldsPanel)
};

} // namespace dunmoor::ui
