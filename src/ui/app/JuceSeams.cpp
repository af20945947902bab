#include "JuceSeams.h"

#include "FolderChooser.h"

namespace dunmoor::ui
{

JuceSeams::~JuceSeams()
{
    if (auto* window = folderWindow.getComponent())
        delete window;
}

void JuceSeams::showFileChooser (const FileChooserRequest& request, ChooserCallback onChosen)
{
    using Browser = juce::FileBrowserComponent;
    int flags = 0;

    // Deleting the previous chooser closes it without calling its callback.
    chooser.reset();
    if (auto* window = folderWindow.getComponent())
        delete window;

    const auto folders = request.mode == FileChooserRequest::Mode::openFolder || request.mode == FileChooserRequest::Mode::openFolders;

    // The framework's own folder browser cannot make a folder and greys out a typed one that is
    // not there yet; without a desktop chooser, folders are chosen in a dialog that can.
    if (folders && ! juce::FileChooser::isPlatformDialogAvailable())
    {
        auto dialog = std::make_unique<FolderChooserDialog> (*this, request.initialLocation, request.mode == FileChooserRequest::Mode::openFolders,
                                                             [callback = std::move (onChosen)] (const juce::Array<juce::File>& chosen) {
                                                                 if (callback != nullptr)
                                                                     callback (chosen);
                                                             });
        juce::DialogWindow::LaunchOptions options;
        options.content.setOwned (dialog.release());
        options.dialogTitle = request.title;
        options.dialogBackgroundColour = juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId);
        options.escapeKeyTriggersCloseButton = true;
        options.useNativeTitleBar = true;
        options.resizable = true;
        folderWindow = options.launchAsync();
        return;
    }

    switch (request.mode)
    {
        case FileChooserRequest::Mode::openFile:
            flags = Browser::openMode | Browser::canSelectFiles;
            break;
        case FileChooserRequest::Mode::openFiles:
            flags = Browser::openMode | Browser::canSelectFiles | Browser::canSelectMultipleItems;
            break;
        case FileChooserRequest::Mode::openFolder:
            flags = Browser::openMode | Browser::canSelectDirectories;
            break;
        case FileChooserRequest::Mode::openFolders:
            flags = Browser::openMode | Browser::canSelectDirectories | Browser::canSelectMultipleItems;
            break;
        case FileChooserRequest::Mode::saveFile:
            flags = Browser::saveMode | Browser::canSelectFiles;

            if (request.warnAboutOverwriting)
                flags |= Browser::warnAboutOverwriting;
            break;
    }

    chooser = std::make_unique<juce::FileChooser> (request.title, request.initialLocation, request.filePatterns, true);
    chooser->launchAsync (flags, [callback = std::move (onChosen)] (const juce::FileChooser& finished) {
        juce::Array<juce::File> chosen;

        for (const auto& file : finished.getResults())
            if (file != juce::File())
                chosen.add (file);

        if (callback != nullptr)
            callback (chosen);
    });
}

void JuceSeams::showMessageBox (const MessageBoxRequest& request, std::function<void()> onClosed)
{
    const auto options = juce::MessageBoxOptions()
                             .withIconType (request.icon)
                             .withTitle (request.title)
                             .withMessage (request.message)
                             .withButton (request.okText)
                             .withAssociatedComponent (request.associatedComponent);

    juce::AlertWindow::showAsync (options, [callback = std::move (onClosed)] (int) {
        if (callback != nullptr)
            callback();
    });
}

void JuceSeams::askOkCancel (const MessageBoxRequest& request, std::function<void (bool confirmed)> onAnswered)
{
    juce::AlertWindow::showOkCancelBox (request.icon,
                                        request.title,
                                        request.message,
                                        request.okText,
                                        request.cancelText,
                                        request.associatedComponent,
                                        juce::ModalCallbackFunction::create ([callback = std::move (onAnswered)] (int result) {
                                            if (callback != nullptr)
                                                callback (result != 0);
                                        }));
}

void JuceSeams::withdrawQuestion (const juce::String& title)
{
    // The framework's alert windows are named by their titles; leaving the modal state with 0
    // is what their Cancel (or closing) does.
    auto& modal = *juce::ModalComponentManager::getInstance();

    for (int i = modal.getNumModalComponents(); --i >= 0;)
    {
        if (auto* window = dynamic_cast<juce::AlertWindow*> (modal.getModalComponent (i)); window != nullptr && window->getName() == title)
        {
            window->exitModalState (0);
            return;
        }
    }
}

void JuceSeams::askYesNoCancel (const MessageBoxRequest& request, std::function<void (Answer answer)> onAnswered)
{
    // The framework answers 1 for the first button, 2 for the second and 0 for the last (Cancel,
    // also when the box is closed).
    juce::AlertWindow::showYesNoCancelBox (request.icon,
                                           request.title,
                                           request.message,
                                           request.okText,
                                           request.noText,
                                           request.cancelText,
                                           request.associatedComponent,
                                           juce::ModalCallbackFunction::create ([callback = std::move (onAnswered)] (int result) {
                                               if (callback != nullptr)
                                                   callback (result == 1 ? Answer::yes : result == 2 ? Answer::no : Answer::cancel);
                                           }));
}

void JuceSeams::askForText (const TextPromptRequest& request,
                            std::function<void (bool confirmed, const juce::StringArray& texts)> onAnswered)
{
    auto* window = new juce::AlertWindow (request.title, request.message, request.icon, request.associatedComponent);
    juce::StringArray keys;

    for (const auto& field : request.fields)
    {
        window->addTextEditor (field.key, field.initialText, field.label);
        keys.add (field.key);

        if (field.maxLength > 0)
            if (auto* editor = window->getTextEditor (field.key))
                editor->setInputRestrictions (field.maxLength);
    }

    window->addButton (request.okText, 1, juce::KeyPress (juce::KeyPress::returnKey));
    window->addButton (request.cancelText, 0, juce::KeyPress (juce::KeyPress::escapeKey));

    // The window is deleted after its callbacks have run, so the fields can still be read here.
    juce::Component::SafePointer<juce::AlertWindow> safeWindow (window);
    window->enterModalState (true,
                             juce::ModalCallbackFunction::create ([safeWindow, keys, callback = std::move (onAnswered)] (int result) {
                                 juce::StringArray texts;

                                 for (const auto& key : keys)
                                     texts.add (safeWindow != nullptr ? safeWindow->getTextEditorContents (key) : juce::String());

                                 if (callback != nullptr)
                                     callback (result != 0, texts);
                             }),
                             true);

    if (! keys.isEmpty())
        if (auto* editor = window->getTextEditor (keys[0]))
            editor->grabKeyboardFocus();
}

void JuceSeams::showPopupMenu (const juce::PopupMenu& menu,
                               const juce::PopupMenu::Options& options,
                               std::function<void (int chosenId)> onChosen)
{
    juce::PopupMenu copy (menu);
    copy.showMenuAsync (options, [callback = std::move (onChosen)] (int result) {
        if (callback != nullptr)
            callback (result);
    });
}

void JuceSeams::showCallOutBox (std::unique_ptr<juce::Component> content,
                                juce::Rectangle<int> areaToPointTo,
                                juce::Component* parent)
{
    juce::CallOutBox::launchAsynchronously (std::move (content), areaToPointTo, parent);
}

void JuceSeams::copyTextToClipboard (const juce::String& text)
{
    juce::SystemClipboard::copyTextToClipboard (text);
}

juce::String JuceSeams::getTextFromClipboard()
{
    return juce::SystemClipboard::getTextFromClipboard();
}

void JuceSeams::openWithDesktop (OpenKind, const juce::String& target, std::function<void (const OpenResult&)> onDone)
{
    opener.open (target, std::move (onDone));
}

std::unique_ptr<juce::AudioIODeviceType> JuceSeams::createAudioDeviceType()
{
    return std::unique_ptr<juce::AudioIODeviceType> (juce::AudioIODeviceType::createAudioIODeviceType_ALSA());
}

} // namespace dunmoor::ui
