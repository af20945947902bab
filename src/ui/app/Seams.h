#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** What a file or folder chooser is asked to show. */
struct FileChooserRequest
{
    enum class Mode
    {
        openFile,   // one existing file
        openFiles,  // one or more existing files
        openFolder,  // one folder
        openFolders, // one or more folders
        saveFile     // one file to write, which may exist
    };

    Mode mode = Mode::openFile;
    juce::String title;
    juce::File initialLocation; // a folder to start in, or for saving the proposed file
    juce::String filePatterns;  // "*.wav;*.flac"; empty shows every file
    bool warnAboutOverwriting = false; // saving: the chooser asks before an existing file is taken
};

/** A message box with one button, or a question with two. */
struct MessageBoxRequest
{
    juce::MessageBoxIconType icon = juce::MessageBoxIconType::WarningIcon;
    juce::String title;
    juce::String message;
    juce::String okText = "OK";         // the box's only button, or the question's yes
    juce::String noText = "No";         // the middle button of a three-way question
    juce::String cancelText = "Cancel"; // questions only
    juce::Component* associatedComponent = nullptr;
};

/** An alert window with text fields and OK (Return) and Cancel (Escape) buttons. */
struct TextPromptRequest
{
    struct Field
    {
        juce::String key;   // the field's name in the window
        juce::String label; // shown beside it; may be empty
        juce::String initialText;
        int maxLength = 0;  // the most characters the field takes; 0: no limit
    };

    juce::MessageBoxIconType icon = juce::MessageBoxIconType::NoIcon;
    juce::String title;
    juce::String message;
    std::vector<Field> fields; // one for a name prompt
    juce::String okText = "OK";
    juce::String cancelText = "Cancel";
    juce::Component* associatedComponent = nullptr;
};

/** How handing a folder, a file or a web address to the desktop went. */
struct OpenResult
{
    bool ok = false;
    juce::String error; // why not, for the page's own message
};

/**
    Everything the program asks of the desktop that a test cannot click through: file choosers,
    message boxes, questions and prompts, popup menus, the call-out box, the clipboard, opening
    folders, files and web addresses, and the audio device. AppState owns one; the real one talks
    to the desktop, a test's fake answers by hand.

    Every dialog is asynchronous: the call returns at once and the callback runs later on the
    message thread, or never when the dialog is replaced or the program ends first. Callbacks must
    therefore hold safe pointers to whatever they touch. Message thread only.
*/
class Seams
{
public:
    virtual ~Seams() = default;

    /** The chosen files or folder; empty when the user cancelled. */
    using ChooserCallback = std::function<void (const juce::Array<juce::File>& chosen)>;

    /** Shows a file or folder chooser. A new chooser replaces one still open. */
    virtual void showFileChooser (const FileChooserRequest& request, ChooserCallback onChosen) = 0;

    /** Shows a message box; onClosed (may be empty) runs when it is dismissed. */
    virtual void showMessageBox (const MessageBoxRequest& request, std::function<void()> onClosed) = 0;

    /** Asks an OK/Cancel question; the callback receives true for OK. */
    virtual void askOkCancel (const MessageBoxRequest& request, std::function<void (bool confirmed)> onAnswered) = 0;

    /** The answers of a three-way question: its yes (okText), its no (noText) or Cancel. Closing
        the box is Cancel. */
    enum class Answer
    {
        cancel,
        yes,
        no
    };

    /** Takes back an open message box or question with this title, for one whose subject went
        away before the user answered: it closes as if Cancel (or its only button) was pressed,
        so its callback gets Cancel. Nothing happens when none is open. */
    virtual void withdrawQuestion (const juce::String& title) = 0;

    /** Asks a question with three buttons (yes, no, Cancel). */
    virtual void askYesNoCancel (const MessageBoxRequest& request, std::function<void (Answer answer)> onAnswered) = 0;

    /** Shows a prompt; the callback receives whether OK was pressed and each field's text, untrimmed,
        in the order of the request's fields. */
    virtual void askForText (const TextPromptRequest& request,
                             std::function<void (bool confirmed, const juce::StringArray& texts)> onAnswered)
        = 0;

    /** Shows a popup menu; the callback receives the chosen item's id, 0 when dismissed. */
    virtual void showPopupMenu (const juce::PopupMenu& menu,
                                const juce::PopupMenu::Options& options,
                                std::function<void (int chosenId)> onChosen)
        = 0;

    /** Shows the component in a call-out box pointing at the area (in the parent's coordinates, or
        on the screen when parent is null); the box owns it and deletes it when dismissed. */
    virtual void showCallOutBox (std::unique_ptr<juce::Component> content,
                                 juce::Rectangle<int> areaToPointTo,
                                 juce::Component* parent)
        = 0;

    virtual void copyTextToClipboard (const juce::String& text) = 0;
    virtual juce::String getTextFromClipboard() = 0;

    enum class OpenKind
    {
        folder, // in the file browser
        file,   // in the program the desktop uses for its type
        url     // in the web browser
    };

    /** Hands a full path or a web address to the desktop and returns at once; the desktop may
        take seconds to answer. onDone (may be empty) learns whether it worked; failures are never
        silent. A handler that counted as started and then failed after all calls it a second
        time, with the failure. */
    virtual void openWithDesktop (OpenKind kind, const juce::String& target, std::function<void (const OpenResult&)> onDone) = 0;

    /** The audio device type the audition engine opens its default output with; null for none. */
    virtual std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() = 0;

    //==============================================================================
    // Shorthands over the operations above.

    /** A one-field prompt; the callback receives whether OK was pressed and the text, untrimmed. */
    void askForText (const juce::String& title,
                     const juce::String& message,
                     const juce::String& initialText,
                     juce::Component* associatedComponent,
                     std::function<void (bool confirmed, const juce::String& text)> onAnswered);

    /** A message box with the warning icon and an OK button. */
    void showWarning (const juce::String& title, const juce::String& message, juce::Component* associatedComponent);

    void openFolder (const juce::File& folder, std::function<void (const OpenResult&)> onDone = {});
    void openFile (const juce::File& file, std::function<void (const OpenResult&)> onDone = {});
    void openUrl (const juce::String& address, std::function<void (const OpenResult&)> onDone = {});
};

} // namespace dunmoor::ui
