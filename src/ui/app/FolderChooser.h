#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "Seams.h"

namespace dunmoor::ui
{

/** What the folder chooser's Open button would give now. */
struct FolderChoice
{
    juce::Array<juce::File> folders; // what is chosen, in the order shown
    juce::File toCreate;             // a typed folder that does not exist yet; Open asks first
    bool usable = false;             // Open is enabled
};

/**
    Reads the chooser's state: the folder it shows, the text of its name field and the folders
    selected in its list (the field repeats their names, joined with ", ", when the list set it).
    An empty field chooses the selection, or the shown folder itself; a typed name (or path) of an
    existing folder chooses it; one that does not exist is offered for creation; a file is not
    usable. Several folders only when multiple is set.
*/
FolderChoice decideFolderChoice (const juce::File& shownFolder,
                                 const juce::String& typedText,
                                 const juce::Array<juce::File>& selected,
                                 bool multiple);

/**
    The folder chooser used when the desktop offers none of its own: the framework's browser with
    a name field, where a typed folder that does not exist is created after a question, and where
    several folders can be picked at once when asked for. Questions and failures go through the
    seams. onFinished receives the chosen folders, or nothing when cancelled, once.
*/
class FolderChooserDialog : public juce::Component, private juce::FileBrowserListener
{
public:
    using Finished = std::function<void (const juce::Array<juce::File>& chosen)>;

    FolderChooserDialog (Seams& seams, const juce::File& initialFolder, bool multiple, Finished onFinished);
    ~FolderChooserDialog() override;

    /** What the Open button does: chooses, asking first to create a typed folder. */
    void open();
    void cancel();

    /** The chooser's state as decideFolderChoice reads it. */
    FolderChoice getChoice() const;

    juce::FileBrowserComponent& getBrowser() noexcept { return browser; }
    juce::TextEditor* getNameField() const;
    juce::TextButton& getOpenButton() noexcept { return openButton; }

    void resized() override;

private:
    void selectionChanged() override { updateOpenButton(); }
    void fileClicked (const juce::File&, const juce::MouseEvent&) override {}
    void fileDoubleClicked (const juce::File&) override {}
    void browserRootChanged (const juce::File&) override { updateOpenButton(); }

    void updateOpenButton();
    void finish (const juce::Array<juce::File>& chosen);

    Seams& seams;
    const bool multiple;
    Finished onFinished;
    juce::FileBrowserComponent browser;
    juce::TextButton openButton { "Open" };
    juce::TextButton cancelButton { "Cancel" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FolderChooserDialog)
};

} // namespace dunmoor::ui
