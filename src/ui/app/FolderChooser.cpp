#include "FolderChooser.h"

namespace dunmoor::ui
{

FolderChoice decideFolderChoice (const juce::File& shownFolder,
                                 const juce::String& typedText,
                                 const juce::Array<juce::File>& selected,
                                 bool multiple)
{
    FolderChoice choice;
    const auto text = typedText.trim();

    juce::StringArray selectedNames;
    for (const auto& folder : selected)
        selectedNames.add (folder.getRelativePathFrom (shownFolder));

    // The field shows what the list selected until the user types over it.
    if (! selected.isEmpty() && (text.isEmpty() || text == selectedNames.joinIntoString (", ")))
    {
        for (const auto& folder : selected)
            if (folder.isDirectory() && (multiple || choice.folders.isEmpty()))
                choice.folders.add (folder);

        choice.usable = ! choice.folders.isEmpty();
        return choice;
    }

    const auto target = text.isEmpty() ? shownFolder : shownFolder.getChildFile (text);

    if (target.isDirectory())
    {
        choice.folders.add (target);
        choice.usable = true;
    }
    else if (! target.exists() && text.isNotEmpty())
    {
        choice.folders.add (target);
        choice.toCreate = target;
        choice.usable = true;
    }

    return choice;
}

//==============================================================================
FolderChooserDialog::FolderChooserDialog (Seams& seamsToUse, const juce::File& initialFolder, bool multipleFolders, Finished finished)
    : seams (seamsToUse)
    , multiple (multipleFolders)
    , onFinished (std::move (finished))
    , browser (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectDirectories
                   | (multipleFolders ? juce::FileBrowserComponent::canSelectMultipleItems : 0),
               initialFolder.isDirectory() ? initialFolder : juce::File::getSpecialLocation (juce::File::userHomeDirectory),
               nullptr,
               nullptr)
{
    browser.addListener (this);
    addAndMakeVisible (browser);

    openButton.setTitle ("Open");
    openButton.setTooltip (multiple ? "Choose the selected folders. A name typed below that is not there yet is made first, after a question."
                                    : "Choose this folder. A name typed below that is not there yet is made first, after a question.");
    openButton.onClick = [this] { open(); };
    cancelButton.setTitle ("Cancel");
    cancelButton.onClick = [this] { cancel(); };
    addAndMakeVisible (openButton);
    addAndMakeVisible (cancelButton);

    setSize (640, 480);
    updateOpenButton();
}

FolderChooserDialog::~FolderChooserDialog()
{
    browser.removeListener (this);
}

juce::TextEditor* FolderChooserDialog::getNameField() const
{
    // The browser's one text field of its own (the path above the list is a combo box).
    for (auto* child : browser.getChildren())
        if (auto* editor = dynamic_cast<juce::TextEditor*> (child))
            return editor;

    return nullptr;
}

FolderChoice FolderChooserDialog::getChoice() const
{
    juce::Array<juce::File> selected;

    if (auto* list = browser.getDisplayComponent())
        for (int i = 0; i < list->getNumSelectedFiles(); ++i)
            selected.add (list->getSelectedFile (i));

    const auto* field = getNameField();
    return decideFolderChoice (browser.getRoot(), field != nullptr ? field->getText() : juce::String(), selected, multiple);
}

void FolderChooserDialog::updateOpenButton()
{
    openButton.setEnabled (getChoice().usable);
}

void FolderChooserDialog::open()
{
    const auto choice = getChoice();

    if (! choice.usable)
        return;

    if (choice.toCreate == juce::File())
    {
        finish (choice.folders);
        return;
    }

    const auto folder = choice.toCreate;
    MessageBoxRequest question;
    question.icon = juce::MessageBoxIconType::QuestionIcon;
    question.title = "Create the folder?";
    question.message = "There is no folder '" + folder.getFileName() + "' in " + folder.getParentDirectory().getFullPathName()
                     + " yet. Create it and choose it?";
    question.okText = "Create";
    question.associatedComponent = this;

    juce::Component::SafePointer<FolderChooserDialog> safe (this);
    seams.askOkCancel (question, [safe, folder] (bool confirmed)
    {
        if (safe == nullptr || ! confirmed)
            return;

        if (const auto result = folder.createDirectory(); result.failed() || ! folder.isDirectory())
        {
            safe->seams.showWarning ("The folder was not created",
                                     "'" + folder.getFullPathName() + "' could not be created: "
                                         + (result.failed() ? result.getErrorMessage() : juce::String ("a file of that name is in the way.")),
                                     safe.getComponent());
            return;
        }

        safe->finish ({ folder });
    });
}

void FolderChooserDialog::cancel()
{
    finish ({});
}

void FolderChooserDialog::finish (const juce::Array<juce::File>& chosen)
{
    // Once only: the window closing afterwards must not report a second time.
    auto callback = std::move (onFinished);
    onFinished = nullptr;

    if (callback != nullptr)
        callback (chosen);

    if (auto* window = findParentComponentOfClass<juce::DialogWindow>())
        window->exitModalState (0);
}

void FolderChooserDialog::resized()
{
    auto area = getLocalBounds().reduced (8);
    auto buttons = area.removeFromBottom (30);
    area.removeFromBottom (8);
    browser.setBounds (area);

    openButton.setBounds (buttons.removeFromRight (110));
    buttons.removeFromRight (8);
    cancelButton.setBounds (buttons.removeFromRight (110));
}

} // namespace dunmoor::ui
