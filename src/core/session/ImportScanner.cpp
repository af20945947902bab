#include "ImportScanner.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/audio/AudioFormats.h"

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

    bool directlyHoldsAudioFiles (const juce::File& folder)
    {
        for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFiles))
            if (hasAudioFileExtension (entry.getFile()))
                return true;

        return false;
    }

    juce::Array<juce::File> listSubFolders (const juce::File& folder)
    {
        auto folders = folder.findChildFiles (juce::File::findDirectories, false, "*", juce::File::FollowSymlinks::yes);
        sortByNameIgnoringCase (folders);
        return folders;
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

            for (const auto& file : listAudioFilesInFolder (path))
            {
                if (isFull())
                    return;

                addFile (file, root);
            }

            if (! recurse)
                return;

            parentChain.push_back (resolved);

            for (const auto& folder : listSubFolders (path))
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
    juce::Array<juce::File> files;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFiles))
        if (hasAudioFileExtension (entry.getFile()))
            files.add (entry.getFile());

    sortByNameIgnoringCase (files);
    return files;
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
