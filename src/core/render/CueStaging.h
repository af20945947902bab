#pragma once

#include <juce_core/juce_core.h>

#include <utility>
#include <vector>

namespace dunmoor
{

/**
    Where a cue's files are written before anyone can see them: a hidden folder inside the
    cue's output folder (so on the same disk, and moving a file into place is a rename). Once
    the whole cue has succeeded, commit moves every file to its place together; a cue that
    fails is discarded, and the files of an earlier delivery in the output folder stay exactly
    as they were. Used on the rendering thread only.
*/
class CueStaging
{
public:
    explicit CueStaging (const juce::File& outputFolder);

    /** Discards whatever was not committed. */
    ~CueStaging();

    /** The staging folder, created on first use; an empty file with the reason in error. */
    juce::File getFolder (juce::String& error);

    /** Where the file meant for finalFile is written until commit: a short name of its own in
        the staging folder. An empty file with the reason in error. */
    juce::File stage (const juce::File& finalFile, juce::String& error);

    /** True once anything has been staged (or the folder made). */
    bool isInUse() const noexcept { return folder != juce::File(); }

    /** Moves every staged file into its place. When one cannot be moved, every file already
        moved goes back, the earlier files are put back where they were, and error says why. */
    [[nodiscard]] bool commit (juce::String& error);

    /** Removes the staging folder and everything in it. */
    void discard();

private:
    juce::File outputFolder;
    juce::File folder;
    std::vector<std::pair<juce::File, juce::File>> files;   // staged, final; in staging order

    JUCE_DECLARE_NON_COPYABLE (CueStaging)
};

} // namespace dunmoor
