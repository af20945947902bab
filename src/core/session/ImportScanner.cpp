#include "ImportScanner.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/audio/AudioFormats.h"
#include "core/files/FolderListing.h"

namespace dunmoor
{

namespace
{
    // Directory listings come in whatever order the disk keeps; sorting the names ignoring
    // case gives the same cue and track order on every system.
    bool comesBefore (const juce::File& a, const juce::File& b)
    {
        const auto byCase = a.getFileName().compareIgnoreCase (b.getFileName());
        return byCase != 0 ? byCase < 0 : a.getFileName() < b.getFileName();
    }

    void sortByNameIgnoringCase (juce::Array<juce::File>& files)
    {
        std::sort (files.begin(), files.end(), comesBefore);
    }

    /** Whether a name that could not be read would have been imported as an audio file. The
        extension is read from the shown name, whose replacement characters stand only for the
        bytes that were not valid UTF-8. */
    bool isAudioFileName (const juce::String& shownName)
    {
        return hasAudioFileExtension (juce::File ("/" + shownName));
    }

    /** A folder's audio files and sub-folders, each sorted, and its names that cannot be read. */
    struct FolderContents
    {
        juce::Array<juce::File> audioFiles, subFolders;
        std::vector<UnreadableFolderEntry> unreadableNames;
    };

    FolderContents contentsOf (const juce::File& folder)
    {
        auto listing = listFolder (folder);
        FolderContents contents;

        for (const auto& entry : listing.entries)
        {
            if (entry.isFolder)
                contents.subFolders.add (entry.file);
            else if (hasAudioFileExtension (entry.file))
                contents.audioFiles.add (entry.file);
        }

        sortByNameIgnoringCase (contents.audioFiles);
        sortByNameIgnoringCase (contents.subFolders);

        contents.unreadableNames = std::move (listing.unreadableNames);
        std::sort (contents.unreadableNames.begin(), contents.unreadableNames.end(),
                   [] (const UnreadableFolderEntry& a, const UnreadableFolderEntry& b) { return a.shownName < b.shownName; });
        return contents;
    }

    bool directlyHoldsAudioFiles (const juce::File& folder)
    {
        // A name that cannot be read still counts: the cue keeps the same root once it is renamed.
        const auto contents = contentsOf (folder);

        return ! contents.audioFiles.isEmpty()
            || std::any_of (contents.unreadableNames.begin(), contents.unreadableNames.end(), [] (const UnreadableFolderEntry& e)
                            { return ! e.isFolder && isAudioFileName (e.shownName); });
    }

    // The folder with every link and ".." resolved; empty when it cannot be resolved.
    std::filesystem::path resolvedFolder (const juce::File& folder)
    {
        std::error_code ec;
        auto resolved = std::filesystem::canonical (std::filesystem::u8path (folder.getFullPathName().toRawUTF8()), ec);
        return ec ? std::filesystem::path() : resolved;
    }

    struct Scan
    {
        bool recurse;
        std::vector<ScannedFile>& found;
        ImportSummary& summary;
        std::vector<std::filesystem::path> parentChain; // resolved folders being scanned, outermost first

        bool isFull() const { return (int) found.size() >= maxImportScanFiles; }

        void addFile (const juce::File& file, const juce::File& root)
        {
            if (isSplitFileName (file))
                summary.alreadySplit.add (file.getFileName());
            else
                found.push_back ({ file, root });
        }

        void scanPath (const juce::File& path, const juce::File& root, int depth)
        {
            if (isFull())
                return;

            if (path.existsAsFile())
            {
                addFile (path, root);
                return;
            }

            if (! path.isDirectory())
            {
                summary.messages.add ("'" + path.getFullPathName() + "' is neither a file nor a folder.");
                return;
            }

            if (depth > maxImportScanDepth)
            {
                summary.messages.add ("Stopped scanning below '" + path.getFileName() + "': the folder tree is deeper than "
                                      + juce::String (maxImportScanDepth) + " levels.");
                return;
            }

            // A link back to a folder that is being scanned would list the same files again and
            // again under ever longer paths, each becoming a track of its own.
            const auto resolved = resolvedFolder (path);
            if (! resolved.empty() && std::find (parentChain.begin(), parentChain.end(), resolved) != parentChain.end())
                return;

            const auto contents = contentsOf (path);

            for (const auto& file : contents.audioFiles)
            {
                if (isFull())
                    return;

                addFile (file, root);
            }

            // A name that is not valid UTF-8 cannot become a path the program could open; the
            // user learns which one to rename. A folder counts only where the scan would enter it.
            for (const auto& unreadable : contents.unreadableNames)
            {
                if (unreadable.isFolder ? recurse : isAudioFileName (unreadable.shownName))
                    summary.messages.add (describeNameNotImported (unreadable.shownName));

                if (! unreadable.isFolder && isAudioFileName (unreadable.shownName))
                    summary.namesLeftOut.push_back ({ path, unreadable.shownName });
            }

            if (! recurse)
                return;

            parentChain.push_back (resolved);

            for (const auto& folder : contents.subFolders)
            {
                if (isFull())
                    break;

                scanPath (folder, root, depth + 1);
            }

            parentChain.pop_back();
        }
    };
} // namespace

juce::String ImportSummary::toText() const
{
    auto text = juce::String (imported) + " imported";

    if (alreadyInList > 0)
        text << ", " << alreadyInList << " already in the list";

    if (! alreadySplit.isEmpty())
        text << ", " << alreadySplit.size() << " already split";

    if (unreadable > 0)
        text << ", " << unreadable << " could not be read";

    return text;
}

bool isSplitFileName (const juce::File& file)
{
    auto name = file.getFileNameWithoutExtension();

    while (name.isNotEmpty() && name.getLastCharacter() >= '0' && name.getLastCharacter() <= '9')
        name = name.dropLastCharacters (1);

    return name.endsWithIgnoreCase ("_splitted");
}

juce::File settleImportRoot (const juce::File& path)
{
    if (path.isDirectory())
        return directlyHoldsAudioFiles (path) ? path.getParentDirectory() : path;

    return path.getParentDirectory().getParentDirectory();
}

juce::Array<juce::File> listAudioFilesInFolder (const juce::File& folder)
{
    return contentsOf (folder).audioFiles;
}

void scanImportPath (const juce::File& path,
                     const juce::File& importRoot,
                     bool recurse,
                     int depth,
                     std::vector<ScannedFile>& found,
                     ImportSummary& summary)
{
    Scan scan { recurse, found, summary, {} };
    scan.scanPath (path, importRoot, depth);
}

} // namespace dunmoor
