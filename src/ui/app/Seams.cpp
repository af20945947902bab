#include "Seams.h"

namespace dunmoor::ui
{

void Seams::askForText (const juce::String& title,
                        const juce::String& message,
                        const juce::String& initialText,
                        juce::Component* associatedComponent,
                        std::function<void (bool confirmed, const juce::String& text)> onAnswered)
{
    TextPromptRequest request;
    request.title = title;
    request.message = message;
    request.fields.push_back ({ "name", {}, initialText });
    request.associatedComponent = associatedComponent;

    askForText (request, [callback = std::move (onAnswered)] (bool confirmed, const juce::StringArray& texts) {
        if (callback != nullptr)
            callback (confirmed, texts[0]);
    });
}

void Seams::showWarning (const juce::String& title, const juce::String& message, juce::Component* associatedComponent)
{
    MessageBoxRequest request;
    request.title = title;
    request.message = message;
    request.associatedComponent = associatedComponent;
    showMessageBox (request, {});
}

void Seams::openFolder (const juce::File& folder, std::function<void (const OpenResult&)> onDone)
{
    openWithDesktop (OpenKind::folder, folder.getFullPathName(), std::move (onDone));
}

void Seams::openFile (const juce::File& file, std::function<void (const OpenResult&)> onDone)
{
    openWithDesktop (OpenKind::file, file.getFullPathName(), std::move (onDone));
}

void Seams::openUrl (const juce::String& address, std::function<void (const OpenResult&)> onDone)
{
    openWithDesktop (OpenKind::url, address, std::move (onDone));
}

} // namespace dunmoor::ui
