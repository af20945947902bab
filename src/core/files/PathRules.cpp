#include "PathRules.h"

namespace dunmoor
{

namespace
{
    // The characters no file name on the target file systems may hold.
    const juce::String forbiddenCharacters { "<>:\"/\\|?*" };

    const char* const reservedDeviceNames[] = {
        "CON", "PRN", "AUX", "NUL",
        "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
        "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"
    };

    bool isUnusableInName (juce::juce_wchar c)
    {
        return c < 32 || c == 127 || c == '/' || c == '\\' || forbiddenCharacters.containsChar (c);
    }

    bool isReservedDeviceName (const juce::String& upperCaseName)
    {
        for (auto* reserved : reservedDeviceNames)
            if (upperCaseName == reserved)
                return true;

        return false;
    }

    bool endsWithDotOrSpace (const juce::String& s)
    {
        const auto last = s.getLastCharacter();
        return last == '.' || last == ' ';
    }

    bool startsWithDotOrSpace (const juce::String& s)
    {
        const auto first = s[0];
        return first == '.' || first == ' ';
    }

    juce::String stripTrailingDotsAndSpaces (juce::String s)
    {
        while (endsWithDotOrSpace (s))
            s = s.dropLastCharacters (1).trim();

        return s;
    }

    /** Keeps at most maxChars characters (no cap when 0 or less) and at most maxBytes bytes of
        UTF-8, cutting at a whole character; a cut leaves no space or full stop at the end. */
    juce::String cutToLimits (juce::String text, int maxChars, int maxBytes)
    {
        if (maxChars > 0 && text.length() > maxChars)
            text = stripTrailingDotsAndSpaces (text.substring (0, maxChars).trim());

        if ((int) text.getNumBytesAsUTF8() > maxBytes)
        {
            int keep = 0;
            size_t bytes = 0;

            for (auto p = text.getCharPointer();; ++keep)
            {
                const auto c = p.getAndAdvance();
                bytes += juce::CharPointer_UTF8::getBytesRequiredFor (c);

                if (c == 0 || bytes > (size_t) maxBytes)
                    break;
            }

            text = stripTrailingDotsAndSpaces (text.substring (0, keep).trim());
        }

        return text;
    }

    /** The part before the first full stop, without trailing spaces: what Windows opens a
        device for whatever follows it. */
    juce::String devicePartOf (const juce::String& text)
    {
        const auto firstDot = text.indexOfChar ('.');
        return (firstDot < 0 ? text : text.substring (0, firstDot)).trimEnd();
    }
} // namespace

bool isPathInsideFolder (const juce::File& folder, const juce::File& path)
{
    if (folder == juce::File() || path == juce::File())
        return false;

    const auto separator = juce::String::charToString (juce::File::getSeparatorChar());
    auto folderText = folder.getFullPathName();

    while (folderText.length() > 1 && folderText.endsWith (separator))
        folderText = folderText.dropLastCharacters (1);

    const auto pathText = path.getFullPathName();

    if (pathText.equalsIgnoreCase (folderText))
        return true;

    // The root already ends with the separator; anything else needs one added, so that a
    // sibling such as "out2" does not count as lying inside "out".
    const auto prefix = folderText.endsWith (separator) ? folderText : folderText + separator;
    return pathText.startsWithIgnoreCase (prefix);
}

bool isSamePath (const juce::String& a, const juce::String& b)
{
    return juce::File::areFileNamesCaseSensitive() ? a == b : a.equalsIgnoreCase (b);
}

bool isPathLengthAcceptable (const juce::File& file)
{
    return file.getFullPathName().length() <= maxFullPathLength;
}

juce::String sanitiseFileName (const juce::String& name,
                               const juce::String& replacement,
                               const juce::String& fallback,
                               int maxLength)
{
    // A replacement that could itself break the name (a forbidden or control character)
    // is never used as it stands.
    auto settledReplacement = replacement;

    // Every walk steps with getAndAdvance, which stops at the end even when the last character
    // is cut short; stepping by the lead byte would jump over the terminating zero.
    for (auto p = replacement.getCharPointer();;)
    {
        const auto c = p.getAndAdvance();

        if (c == 0)
            break;

        if (isUnusableInName (c))
        {
            settledReplacement = "-";
            break;
        }
    }

    juce::String text;
    text.preallocateBytes (name.getNumBytesAsUTF8() + 1);

    for (auto p = name.getCharPointer();;)
    {
        const auto c = p.getAndAdvance();

        if (c == 0)
            break;

        if (isUnusableInName (c))
            text << settledReplacement;
        else
            text << juce::String::charToString (c);
    }

    text = stripTrailingDotsAndSpaces (text.trim());

    while (startsWithDotOrSpace (text))
        text = text.substring (1).trim();

    text = cutToLimits (text, maxLength, maxFileNameBytes);

    if (text.isEmpty() || text.containsOnly ("-_. "))
        return fallback;

    if (! isReservedDeviceName (devicePartOf (text).toUpperCase()))
        return text;

    // The underscore must fit within the limits too, so it gets its room before it is added.
    text = cutToLimits (text, maxLength > 0 ? maxLength - 1 : 0, maxFileNameBytes - 1);

    // Windows opens a device for the part before the first dot whatever follows it, so the
    // underscore goes right after that part: "con.txt" becomes "con_.txt". The cut may have
    // shortened that part itself into an ordinary name.
    const auto devicePart = devicePartOf (text);

    if (isReservedDeviceName (devicePart.toUpperCase()))
        text = devicePart + "_" + text.substring (devicePart.length());

    return text;
}

juce::File getChildFileNamed (const juce::File& folder, const juce::String& name)
{
    if (! name.startsWithChar ('~'))
        return folder.getChildFile (name);

    const auto separator = juce::File::getSeparatorString();
    auto folderPath = folder.getFullPathName();

    if (! folderPath.endsWith (separator))
        folderPath += separator;

    return juce::File (folderPath + name);
}

juce::File getNumberedChildFile (const juce::File& folder, const juce::String& base, int number, const juce::String& extension)
{
    return getChildFileNamed (folder, number <= 1 ? base + extension : base + " (" + juce::String (number) + ")" + extension);
}

namespace
{
    /** The checks that need nothing on disk to exist. */
    bool checkOutputFolderPath (const juce::File& folder, juce::String& error)
    {
        if (folder == juce::File())
        {
            error = "No output folder has been chosen.";
            return false;
        }

        if (! juce::File::isAbsolutePath (folder.getFullPathName()))
        {
            error = "The output folder must be an absolute path.";
            return false;
        }

        if (folder.isRoot())
        {
            error = "Writing a delivery to the root of a volume is not allowed.";
            return false;
        }

        if (folder.existsAsFile())
        {
            error = "The output folder is an existing file.";
            return false;
        }

        return true;
    }
} // namespace

bool checkOutputFolder (const juce::File& folder, juce::String& error)
{
    if (! checkOutputFolderPath (folder, error))
        return false;

    auto existing = folder;

    while (! existing.exists() && ! existing.isRoot() && existing.getParentDirectory() != existing)
        existing = existing.getParentDirectory();

    if (! existing.isDirectory())
    {
        error = "The output folder could not be created: " + existing.getFullPathName() + " is not a folder.";
        return false;
    }

    if (! existing.hasWriteAccess())
    {
        error = "The output folder is not writable.";
        return false;
    }

    error.clear();
    return true;
}

bool validateOutputFolder (const juce::File& folder, juce::String& error)
{
    if (! checkOutputFolderPath (folder, error))
        return false;

    if (! folder.isDirectory())
    {
        const auto created = folder.createDirectory();

        if (created.failed())
        {
            error = "The output folder could not be created: " + created.getErrorMessage();
            return false;
        }
    }

    if (! folder.hasWriteAccess())
    {
        error = "The output folder is not writable.";
        return false;
    }

    error.clear();
    return true;
}

bool validateOutputFolder (const juce::String& path, juce::String& error)
{
    if (path.isEmpty())
        return validateOutputFolder (juce::File(), error);

    // A juce::File made from a relative text would silently resolve it against the
    // working directory, so the text is checked before it becomes a File.
    if (! juce::File::isAbsolutePath (path))
    {
        error = "The output folder must be an absolute path.";
        return false;
    }

    return validateOutputFolder (juce::File (path), error);
}

} // namespace dunmoor
