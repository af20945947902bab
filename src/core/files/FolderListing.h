#pragma once

#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** One entry of a folder whose name is valid UTF-8. */
struct FolderEntry
{
    juce::File file;
    bool isFolder = false; // a folder, or a link to one; anything else counts as a file
};

/** An entry whose name is not valid UTF-8 (a Latin-1 name from an old archive, say). Such a name
    cannot be held as a path, so only a text to show the user is kept. */
struct UnreadableFolderEntry
{
    juce::String shownName; // the name with every byte that is not valid UTF-8 shown as U+FFFD
    bool isFolder = false;
};

/** What lies directly inside a folder, in the order the disk lists it. */
struct FolderListing
{
    std::vector<FolderEntry> entries;
    std::vector<UnreadableFolderEntry> unreadableNames;
};

/**
    Lists the files and folders directly inside a folder, hidden ones included, links followed
    for telling folders from files. A folder that does not exist or cannot be read lists nothing.

    The framework's directory iterator sizes each name by decoding it but copies its raw bytes,
    so a name that is not valid UTF-8 overflows its buffer, and a lead byte can swallow the
    extension. Here every name is checked before it becomes a String, and a name that is not
    exactly representable goes to unreadableNames instead of ever reaching a String or File call.
*/
FolderListing listFolder (const juce::File& folder);

/** The bytes shown as text: valid UTF-8 sequences as they are, every other byte as U+FFFD. */
juce::String showBytesAsText (const char* bytes, size_t numBytes);

/**
    True when the text's bytes are well-formed UTF-8 throughout. A path that is not (a Latin-1
    name dropped from a file manager, say) makes the framework's String and File calls read and
    write past their buffers, so every path that comes from outside is tested here before any of
    them sees it. Only the raw bytes are read.
*/
bool isWellFormedText (const juce::String& text);

/** True when the bytes are well-formed UTF-8 throughout. */
bool isWellFormedBytes (const char* bytes, size_t numBytes);

/** The last part of a path (after its last separator), shown as showBytesAsText shows it. */
juce::String showLastPathPart (const juce::String& path);

/** Why a file or folder of that (shown) name was left out of an import. */
juce::String describeNameNotImported (const juce::String& shownName);

/** Paths given as text (a drop from a file manager): the well-formed ones as files, and for each
    other one describeNameNotImported in refusals, without it ever becoming a File. */
juce::Array<juce::File> filesFromPathTexts (const juce::StringArray& paths, juce::StringArray& refusals);

} // namespace dunmoor
