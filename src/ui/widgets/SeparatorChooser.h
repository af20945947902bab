#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/**
    The "Separator" row of the file-naming rules: the usual separators in a combo box, and a
    free text field for any other. setSeparator never reports; a pick or a typed text does.
    A typed separator with a brace or a control character is refused: the field goes back to
    the separator in force and onRefused explains why.
*/
class SeparatorChooser : public juce::Component
{
public:
    SeparatorChooser();

    std::function<void (const juce::String& separator)> onChange;
    std::function<void (const juce::String& reason)> onRefused;

    /** Width of the caption column; the owner lines it up with its other rows. */
    int labelWidth = 90;

    /** Shows the separator (a fixed choice when one matches exactly, else the free text). */
    void setSeparator (const juce::String& newSeparator);

    const juce::String& getSeparator() const noexcept { return separator; }

    juce::Label& getLabel() noexcept { return label; }
    juce::ComboBox& getCombo() noexcept { return combo; }
    juce::TextEditor& getCustomEditor() noexcept { return customEditor; }

    void resized() override;

private:
    void selectionChanged();
    void customTextCommitted();

    juce::Label label;
    juce::ComboBox combo;
    juce::TextEditor customEditor;
    juce::String separator { "_" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SeparatorChooser)
};

} // namespace dunmoor::ui
