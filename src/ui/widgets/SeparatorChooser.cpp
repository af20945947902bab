#include "SeparatorChooser.h"

#include "ui/widgets/SeparatorRules.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

SeparatorChooser::SeparatorChooser()
{
    addAndMakeVisible (label);
    addAndMakeVisible (combo);
    addAndMakeVisible (customEditor);

    label.setText ("Separator", juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centredLeft);
    setLabelTone (label, LabelTone::secondary);

    for (const auto& choice : SeparatorRules::getChoices())
        combo.addItem (choice.label, choice.id);

    combo.addItem ("custom...", SeparatorRules::customId);
    combo.setSelectedId (1, juce::dontSendNotification);
    combo.setTooltip ("What goes between the pieces of every name in this delivery.");
    combo.setTitle ("Separator");

    customEditor.setTooltip ("Whatever you type here goes between the pieces.");
    customEditor.setTitle ("Custom separator");
    customEditor.setVisible (false);

    combo.onChange = [this] { selectionChanged(); };
    customEditor.onReturnKey = [this] { customTextCommitted(); };
    customEditor.onFocusLost = [this] { customTextCommitted(); };
}

void SeparatorChooser::selectionChanged()
{
    const auto id = combo.getSelectedId();

    if (id == SeparatorRules::customId)
    {
        customEditor.setText (separator, juce::dontSendNotification);
        customEditor.setVisible (true);
        resized();

        if (isShowing())
            customEditor.grabKeyboardFocus();

        return;
    }

    customEditor.setVisible (false);
    separator = SeparatorRules::separatorForId (id);
    resized();

    if (onChange != nullptr)
        onChange (separator);
}

void SeparatorChooser::customTextCommitted()
{
    const auto typed = customEditor.getText();

    if (typed == separator)
        return;

    juce::String reason;

    if (! SeparatorRules::isUsable (typed, reason))
    {
        customEditor.setText (separator, juce::dontSendNotification);

        if (onRefused != nullptr)
            onRefused (reason);

        return;
    }

    separator = typed;

    if (onChange != nullptr)
        onChange (separator);
}

void SeparatorChooser::setSeparator (const juce::String& newSeparator)
{
    separator = newSeparator;
    const auto id = SeparatorRules::idForSeparator (newSeparator);
    combo.setSelectedId (id, juce::dontSendNotification);

    if (id == SeparatorRules::customId)
    {
        customEditor.setText (newSeparator, juce::dontSendNotification);
        customEditor.setVisible (true);
    }
    else
    {
        customEditor.setVisible (false);
    }

    resized();
}

void SeparatorChooser::resized()
{
    auto area = getLocalBounds();
    label.setBounds (area.removeFromLeft (std::min (labelWidth, area.getWidth())));
    area.removeFromLeft (std::min (5, area.getWidth()));
    combo.setBounds (area.removeFromLeft (std::min (170, area.getWidth())));

    if (customEditor.isVisible())
    {
        area.removeFromLeft (std::min (5, area.getWidth()));
        customEditor.setBounds (area.removeFromLeft (std::min (80, area.getWidth())));
    }
}

} // namespace dunmoor::ui
