#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

/**
    What the panels of the Preset & Stems page share: the application state, the page's
    filling flag and its dialogs. The page owns one and hands it to every panel it builds.

    Dialogs belong to the page, not to the panel that opens them, so that they stand over the
    page; their answers arrive only while the page exists (and with it every panel).
*/
class PresetPageContext
{
public:
    PresetPageContext (AppState& state, juce::Component& page);

    AppState& appState;
    Session& session;
    PresetLibrary& library;
    Seams& seams;

    //==============================================================================
    /** Set while the page writes values into its own controls, or hands the session an edit
        whose notification must only repaint: change callbacks that see it do nothing. */
    bool isFilling() const noexcept { return filling > 0; }

    /** Sets the filling flag for its lifetime; nests, so an inner refill never clears it early. */
    class ScopedFilling
    {
    public:
        explicit ScopedFilling (PresetPageContext& c) : context (c) { ++context.filling; }
        ~ScopedFilling() { --context.filling; }

    private:
        PresetPageContext& context;

        JUCE_DECLARE_NON_COPYABLE (ScopedFilling)
    };

    //==============================================================================
    /** Asks for a name; the callback receives it trimmed, never empty. */
    void askForName (const juce::String& title,
                     const juce::String& message,
                     const juce::String& initialText,
                     std::function<void (const juce::String&)> onName);

    /** A prompt of several fields; the callback receives their texts as typed, on OK only. */
    void askForTexts (TextPromptRequest request, std::function<void (const juce::StringArray&)> onTexts);

    /** An OK/Cancel question. */
    void ask (juce::MessageBoxIconType icon,
              const juce::String& title,
              const juce::String& message,
              std::function<void (bool confirmed)> onAnswer);

    /** A warning box: a failure, or a refusal with its reason. */
    void showFailure (const juce::String& title, const juce::String& message);

    /** A box with one button and the icon given. */
    void showMessage (juce::MessageBoxIconType icon, const juce::String& title, const juce::String& message);

private:
    juce::Component& page;
    int filling = 0;

    JUCE_DECLARE_NON_COPYABLE (PresetPageContext)
};

/** A label of the page: its text is also its accessible title. */
void setUpLabel (juce::Label& label, const juce::String& text, LabelTone tone, juce::Justification justification);

/** A heading of the page: a primary label, centred left, in the font given. */
void setUpHeading (juce::Label& label, const juce::String& text, const juce::Font& font);

} // namespace dunmoor::ui
