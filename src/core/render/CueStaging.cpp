#include "CueStaging.h"

#include "core/files/PathRules.h"

namespace dunmoor
{

CueStaging::CueStaging (const juce::File& outputFolderToUse)
    : outputFolder (outputFolderToUse)
{
}

CueStaging::~CueStaging()
{
    discard();
}

juce::File CueStaging::getFolder (juce::String& error)
{
    if (folder != juce::File())
        return folder;

    // Short, so that a staged path is hardly longer than the delivered one.
    const auto candidate = outputFolder.getNonexistentChildFile (".bf-staging", {}, false);
    const auto result = candidate.createDirectory();

    if (result.failed() || ! candidate.isDirectory())
    {
        error = "Could not create '" + candidate.getFullPathName() + "': "
              + (result.failed() ? result.getErrorMessage() : juce::String ("a file is in the way"));
        return {};
    }

    folder = candidate;
    return folder;
}

juce::File CueStaging::stage (const juce::File& finalFile, juce::String& error)
{
    const auto staging = getFolder (error);

    if (staging == juce::File())
        return {};

    const auto staged = staging.getChildFile (juce::String ((int) files.size() + 1) + finalFile.getFileExtension());

    if (! isPathLengthAcceptable (staged))
    {
        error = "The generated path is too long: " + staged.getFullPathName();
        return {};
    }

    files.emplace_back (staged, finalFile);
    return staged;
}

bool CueStaging::commit (juce::String& error)
{
    // A folder where a file goes can't be replaced: found before anything moves.
    for (const auto& [staged, target] : files)
    {
        if (target.isDirectory())
        {
            error = target.getFileName() + ": Could not replace '" + target.getFullPathName() + "': a folder is in the way.";
            return false;
        }
    }

    struct Moved
    {
        juce::File staged, target, previous;    // previous: where the earlier file was put aside, or none
    };

    std::vector<Moved> moved;
    const auto previousFolder = folder.getChildFile ("previous");
    bool ok = true;

    for (size_t i = 0; i < files.size() && ok; ++i)
    {
        const auto& [staged, target] = files[i];
        Moved move { staged, target, {} };

        if (target.exists())
        {
            move.previous = previousFolder.getChildFile (juce::String ((int) i + 1));

            if (previousFolder.createDirectory().failed() || ! target.moveFileTo (move.previous))
            {
                error = target.getFileName() + ": Could not replace '" + target.getFullPathName() + "'.";
                ok = false;
                break;
            }
        }

        if (! staged.moveFileTo (target))
        {
            if (move.previous != juce::File())
                move.previous.moveFileTo (target);

            error = target.getFileName() + ": Could not move the file into place at '" + target.getFullPathName() + "'.";
            ok = false;
            break;
        }

        moved.push_back (move);
    }

    if (! ok)
    {
        // Back as it was, latest first.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
        {
            it->target.moveFileTo (it->staged);

            if (it->previous != juce::File())
                it->previous.moveFileTo (it->target);
        }

        return false;
    }

    files.clear();
    discard();
    return true;
}

void CueStaging::discard()
{
    files.clear();

    if (folder != juce::File() && folder.isDirectory() && ! folder.isSymbolicLink())
        folder.deleteRecursively (false);

    folder = juce::File();
}

} // namespace dunmoor
