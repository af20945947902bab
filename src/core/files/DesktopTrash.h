#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** Moves files into the desktop's trash so a deleted file can still be recovered.

    On Linux the framework only moves a file when a trash folder already exists, and never
    records where the file came from; this writes the freedesktop.org trash itself: the file
    goes to <root>/files under a free name, and <root>/info/<name>.trashinfo records its
    original path and the deletion time, so file managers can list and restore it. Both
    folders are created when missing. Elsewhere the system's recycle bin is used, unless a
    root is given explicitly (tests do that on every platform).
*/
class DesktopTrash
{
public:
    /** The desktop's own trash. */
    DesktopTrash();

    /** A freedesktop-layout trash rooted at the given folder. */
    explicit DesktopTrash (const juce::File& root);

    /** "Trash" in the user's data home ($XDG_DATA_HOME when it is an absolute path, otherwise
        ~/.local/share). Not created. */
    static juce::File getDefaultRoot();

    /** The folder in use, or the empty file when the system's recycle bin is used. */
    const juce::File& getRoot() const noexcept { return root; }

    /** Moves the file into the trash. On failure returns false with the reason in error and
        leaves the file where it was. */
    [[nodiscard]] bool moveToTrash (const juce::File& file, juce::String& error) const;

    /** The text of a .trashinfo record for a file deleted at the given time. */
    static juce::String makeTrashInfo (const juce::File& original, juce::Time deletionTime);

private:
    juce::File root;
};

} // namespace dunmoor
