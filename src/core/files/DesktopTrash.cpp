#include "DesktopTrash.h"

#include "PathRules.h"

namespace dunmoor
{

namespace
{
    /** Percent-encodes a path for the Path= line: every byte but unreserved characters and "/". */
    juce::String encodeTrashPath (const juce::String& path)
    {
        juce::String encoded;
        const auto utf8 = path.toRawUTF8();

        for (size_t i = 0; utf8[i] != 0; ++i)
        {
            const auto byte = (unsigned char) utf8[i];

            if (juce::CharacterFunctions::isLetterOrDigit ((char) byte) && byte < 128)
                encoded += (juce::juce_wchar) byte;
            else if (byte == '/' || byte == '-' || byte == '_' || byte == '.' || byte == '~')
                encoded += (juce::juce_wchar) byte;
            else
                encoded << "%" << juce::String::toHexString ((int) byte).paddedLeft ('0', 2).toUpperCase();
        }

        return encoded;
    }

    bool isFreeName (const juce::File& filesFolder, const juce::File& infoFolder, const juce::String& name)
    {
        const auto inFiles = getChildFileNamed (filesFolder, name);
        return ! inFiles.exists() && ! inFiles.isSymbolicLink()
            && ! getChildFileNamed (infoFolder, name + ".trashinfo").exists();
    }
} // namespace

DesktopTrash::DesktopTrash()
{
   #if JUCE_LINUX || JUCE_BSD
    root = getDefaultRoot();
   #endif
}

DesktopTrash::DesktopTrash (const juce::File& trashRoot)
    : root (trashRoot)
{
}

juce::File DesktopTrash::getDefaultRoot()
{
    const auto dataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});

    if (dataHome.isNotEmpty() && juce::File::isAbsolutePath (dataHome))
        return juce::File (dataHome).getChildFile ("Trash");

    return juce::File::getSpecialLocation (juce::File::userHomeDirectory)
        .getChildFile (".local")
        .getChildFile ("share")
        .getChildFile ("Trash");
}

juce::String DesktopTrash::makeTrashInfo (const juce::File& original, juce::Time deletionTime)
{
    return "[Trash Info]\nPath=" + encodeTrashPath (original.getFullPathName())
         + "\nDeletionDate=" + deletionTime.formatted ("%Y-%m-%dT%H:%M:%S") + "\n";
}

bool DesktopTrash::moveToTrash (const juce::File& file, juce::String& error) const
{
    if (! file.exists())
    {
        error = "'" + file.getFullPathName() + "' does not exist.";
        return false;
    }

    if (root == juce::File())
    {
        if (file.moveToTrash())
            return true;

        error = "Could not move '" + file.getFullPathName() + "' to the recycle bin.";
        return false;
    }

    const auto filesFolder = root.getChildFile ("files");
    const auto infoFolder = root.getChildFile ("info");

    for (const auto& folder : { filesFolder, infoFolder })
    {
        if (folder.isDirectory())
            continue;

        if (const auto created = folder.createDirectory(); created.failed())
        {
            error = "Could not create the trash folder '" + folder.getFullPathName() + "': " + created.getErrorMessage();
            return false;
        }
    }

    // A free name in both folders: "Drums.dunmoor.json", then "Drums.dunmoor.2.json", ...
    auto name = file.getFileName();

    for (int n = 2; ! isFreeName (filesFolder, infoFolder, name); ++n)
        name = file.getFileNameWithoutExtension() + "." + juce::String (n) + file.getFileExtension();

    // The record goes first: it claims the name, and a file in files/ without one could not be restored.
    const auto info = getChildFileNamed (infoFolder, name + ".trashinfo");

    if (! info.replaceWithText (makeTrashInfo (file, juce::Time::getCurrentTime()), false, false, "\n"))
    {
        info.deleteFile();
        error = "Could not write '" + info.getFullPathName() + "'.";
        return false;
    }

    if (! file.moveFileTo (getChildFileNamed (filesFolder, name)))
    {
        info.deleteFile();
        error = "Could not move '" + file.getFullPathName() + "' to the trash.";
        return false;
    }

    return true;
}

} // namespace dunmoor
