#include "PresetPageContext.h"

#include "StemFieldEdits.h"

namespace dunmoor::ui
{

PresetPageContext::PresetPageContext (AppState& state, juce::Component& pageToUse)
    : appState (state),
      session (state.session),
      library (*state.presetLibrary),
      seams (*state.seams),
      page (pageToUse)
{
}

void PresetPageContext::askForName (const juce::String& title,
                                    const juce::String& message,
                                    const juce::String& initialText,
                                    std::function<void (const juce::String&)> onName)
{
    TextPromptRequest request;
    request.title = title;
    request.message = message;
    request.fields.push_back ({ "name", {}, initialText, maxFieldCharacters });

    askForTexts (request, [onName] (const juce::StringArray& texts)
    {
        if (texts.isEmpty())
            return;

        // The real prompt stops at the limit as it is typed; a longer answer is cut the same way.
        const auto name = texts[0].substring (0, maxFieldCharacters).trim();

        if (name.isNotEmpty())
            onName (name);
    });
}

void PresetPageContext::askForTexts (TextPromptRequest request, std::function<void (const juce::StringArray&)> onTexts)
{
    request.associatedComponent = &page;

    seams.askForText (request, [safe = juce::Component::SafePointer<juce::Component> (&page), onTexts] (bool confirmed, const juce::StringArray& texts)
    {
        if (safe != nullptr && confirmed)
            onTexts (texts);
    });
}

void PresetPageContext::ask (juce::MessageBoxIconType icon,
                             const juce::String& title,
                             const juce::String& message,
                             std::function<void (bool confirmed)> onAnswer)
{
    MessageBoxRequest request;
    request.icon = icon;
    request.title = title;
    request.message = message;
    request.associatedComponent = &page;

    seams.askOkCancel (request, [safe = juce::Component::SafePointer<juce::Component> (&page), onAnswer] (bool confirmed)
    {
        if (safe != nullptr)
            onAnswer (confirmed);
    });
}

void PresetPageContext::showFailure (const juce::String& title, const juce::String& message)
{
    seams.showWarning (title, message, &page);
}

void PresetPageContext::showMessage (juce::MessageBoxIconType icon, const juce::String& title, const juce::String& message)
{
    MessageBoxRequest request;
    request.icon = icon;
    request.title = title;
    request.message = message;
    request.associatedComponent = &page;
    seams.showMessageBox (request, nullptr);
}

//==============================================================================
void setUpLabel (juce::Label& label, const juce::String& text, LabelTone tone, juce::Justification justification)
{
    label.setText (text, juce::dontSendNotification);
    label.setTitle (text);
    label.setJustificationType (justification);
    setLabelTone (label, tone);
}

void setUpHeading (juce::Label& label, const juce::String& text, const juce::Font& font)
{
    setUpLabel (label, text, LabelTone::primary, juce::Justification::centredLeft);
    label.setFont (font);
}

} // namespace dunmoor::ui
