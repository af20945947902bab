#include "FolderListing.h"

#include <cstring>
#include <limits>
#include <string>

#include "PathRules.h"

#if ! JUCE_WINDOWS
 #include <dirent.h>
 #include <sys/stat.h>
#endif

namespace dunmoor
{

namespace
{
    bool isContinuationByte (unsigned char byte) { return (byte & 0xc0) == 0x80; }

    /** The length of the well-formed UTF-8 sequence at the start of the bytes, or 0 when there is
        none there: a stray continuation byte, a cut sequence, an overlong form, a surrogate or a
        code point past U+10FFFF. */
    size_t wellFormedSequenceLength (const unsigned char* bytes, size_t available)
    {
        const auto lead = bytes[0];

        if (lead < 0x80)
            return 1;

        size_t length = 0;
        juce::uint32 value = 0, smallest = 0;

        if ((lead & 0xe0) == 0xc0)      { length = 2; value = lead & 0x1fu; smallest = 0x80; }
        else if ((lead & 0xf0) == 0xe0) { length = 3; value = lead & 0x0fu; smallest = 0x800; }
        else if ((lead & 0xf8) == 0xf0) { length = 4; value = lead & 0x07u; smallest = 0x10000; }
        else return 0;

        if (length > available)
            return 0;

        for (size_t i = 1; i < length; ++i)
        {
            if (! isContinuationByte (bytes[i]))
                return 0;

            value = (value << 6) | (bytes[i] & 0x3fu);
        }

        if (value < smallest || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
            return 0;

        return length;
    }

    /** The name as a String, when its bytes are valid UTF-8 and the String holds exactly them. */
    bool makeEntryName (const char* bytes, size_t numBytes, juce::String& name)
    {
        if (numBytes == 0 || numBytes > (size_t) std::numeric_limits<int>::max())
            return false;

        if (! juce::CharPointer_UTF8::isValidString (bytes, (int) numBytes))
            return false;

        // The framework's check lets overlong forms through, and reads "\xc0\x80" as the end of
        // the text: such a name would come back as other bytes, the path of some other file.
        name = juce::String::fromUTF8 (bytes, (int) numBytes);
        return name.getNumBytesAsUTF8() == numBytes && std::memcmp (name.toRawUTF8(), bytes, numBytes) == 0;
    }
} // namespace

juce::String showBytesAsText (const char* bytes, size_t numBytes)
{
    const auto* data = reinterpret_cast<const unsigned char*> (bytes);
    juce::String shown;
    shown.preallocateBytes (numBytes * 3 + 1);

    for (size_t i = 0; i < numBytes;)
    {
        const auto length = wellFormedSequenceLength (data + i, numBytes - i);

        if (length == 0)
        {
            shown += (juce::juce_wchar) 0xfffd;
            ++i;
            continue;
        }

        shown += juce::String::fromUTF8 (bytes + i, (int) length);
        i += length;
    }

    return shown;
}

bool isWellFormedText (const juce::String& text)
{
    return isWellFormedBytes (text.toRawUTF8(), std::strlen (text.toRawUTF8()));
}

bool isWellFormedBytes (const char* text, size_t numBytes)
{
    const auto* bytes = reinterpret_cast<const unsigned char*> (text);

    for (size_t i = 0; i < numBytes;)
    {
        const auto length = wellFormedSequenceLength (bytes + i, numBytes - i);

        if (length == 0)
            return false;

        i += length;
    }

    return true;
}

juce::String showLastPathPart (const juce::String& path)
{
    const auto* bytes = path.toRawUTF8();
    const auto* end = bytes + std::strlen (bytes);
    auto* start = end;

    // Trailing separators belong to no name.
    while (start > bytes && start[-1] == '/')
        end = --start;

    while (start > bytes && start[-1] != '/')
        --start;

    return showBytesAsText (start, (size_t) (end - start));
}

juce::String describeNameNotImported (const juce::String& shownName)
{
    return "'" + shownName + "' was not imported: its name is not valid UTF-8; rename it.";
}

juce::Array<juce::File> filesFromPathTexts (const juce::StringArray& paths, juce::StringArray& refusals)
{
    juce::Array<juce::File> files;

    for (const auto& path : paths)
    {
        if (isWellFormedText (path))
            files.add (juce::File (path));
        else
            refusals.add (describeNameNotImported (showLastPathPart (path)));
    }

    return files;
}

FolderListing listFolder (const juce::File& folder)
{
    FolderListing listing;

   #if JUCE_WINDOWS
    // Names arrive as UTF-16 here, which every String can hold.
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        listing.entries.push_back ({ entry.getFile(), entry.isDirectory() });
   #else
    std::string folderPath (folder.getFullPathName().toRawUTF8());

    if (folderPath.empty())
        return listing;

    auto* dir = ::opendir (folderPath.c_str());

    if (dir == nullptr)
        return listing;

    if (folderPath.back() != '/')
        folderPath += '/';

    while (const auto* entry = ::readdir (dir))
    {
        const char* rawName = entry->d_name;

        if (std::strcmp (rawName, ".") == 0 || std::strcmp (rawName, "..") == 0)
            continue;

        // The kind comes from the raw path, so an unreadable name is told apart as well. A link
        // that leads nowhere counts as a file, as the framework's own listing has it.
        struct stat info;
        const auto path = folderPath + rawName;
        const bool isFolder = ::stat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode);
        const auto numBytes = std::strlen (rawName);

        juce::String name;

        if (makeEntryName (rawName, numBytes, name))
            listing.entries.push_back ({ getChildFileNamed (folder, name), isFolder });
        else
            listing.unreadableNames.push_back ({ showBytesAsText (rawName, numBytes), isFolder });
    }

    ::closedir (dir);
   #endif

    return listing;
}

} // namespace dunmoor
