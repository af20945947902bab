#pragma once

#include "DesktopOpener.h"
#include "Seams.h"

namespace dunmoor::ui
{

/** The seams as the running program has them: the framework's choosers, alert windows, menus,
    call-out box and clipboard, xdg-open for folders, files and web addresses, and the ALSA
    output (which desktops route through their sound server). */
class JuceSeams final : public Seams
{
public:
    JuceSeams() = default;
    ~JuceSeams() override;

    void showFileChooser (const FileChooserRequest& request, ChooserCallback onChosen) override;
    void showMessageBox (const MessageBoxRequest& request, std::function<void()> onClosed) override;
    void askOkCancel (const MessageBoxRequest& request, std::function<void (bool confirmed)> onAnswered) override;
    void askYesNoCancel (const MessageBoxRequest& request, std::function<void (Answer answer)> onAnswered) override;
    void withdrawQuestion (const juce::String& title) override;
    void askForText (const TextPromptRequest& request,
                     std::function<void (bool confirmed, const juce::StringArray& texts)> onAnswered) override;
    void showPopupMenu (const juce::PopupMenu& menu,
                        const juce::PopupMenu::Options& options,
                        std::function<void (int chosenId)> onChosen) override;
    void showCallOutBox (std::unique_ptr<juce::Component> content,
                         juce::Rectangle<int> areaToPointTo,
                         juce::Component* parent) override;
    void copyTextToClipboard (const juce::String& text) override;
    juce::String getTextFromClipboard() override;
    void openWithDesktop (OpenKind kind, const juce::String& target, std::function<void (const OpenResult&)> onDone) override;
    std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() override;

    using Seams::askForText;

private:
    std::unique_ptr<juce::FileChooser> chooser; // the one open chooser; a new one replaces it
    juce::Component::SafePointer<juce::DialogWindow> folderWindow; // the own folder chooser, when open
    DesktopOpener opener;
};

} // namespace dunmoor::ui
