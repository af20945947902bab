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

    The folder carries a mark of ours, written first thing, and the render holds a lock on the
    mark for as long as the folder lives (the system lets go of it when the program ends, however
    it ends). A marked folder whose lock can be taken was left by a render that never finished
    (killed, crashed, the power cut): removeLeftovers takes such folders away before the next
    cue is staged beside them.
*/
class CueStaging
{
public:
    explicit CueStaging (const juce::File& outputFolder);

    /** Discards whatever was not committed. */
    ~CueStaging();

    /** The staging folder, created on first use; an empty file with the reason in error. */
    juce::File getFolder (juce::String& error);

    /** Where the file meant for finalFile (inside the output folder) is written until commit: a
        short name of its own in the staging folder. An empty file with the reason in error. */
    juce::File stage (const juce::File& finalFile, juce::String& error);

    /** True once anything has been staged (or the folder made). */
    bool isInUse() const noexcept { return folder != juce::File(); }

    /** True when a file is already where a staged file goes: commit would replace it. */
    bool replacesEarlierFiles() const;

    /** Moves every staged file into its place. When one cannot be moved, every file already
        moved goes back, the earlier files are put back where they were, and error says why. */
    [[nodiscard]] bool commit (juce::String& error);

    /** Removes the staging folder and everything in it. */
    void discard();

    /** Removes the staging folders that renders which never finished left in the output folder:
        hidden folders holding our mark whose lock no running render holds. An earlier file that
        such a render had already put aside while moving its files into place goes back where it
        was when nothing has taken its place. Nothing without our mark is touched, links are
        never followed, and a folder in use by a render still running is left alone. */
    static void removeLeftovers (const juce::File& outputFolder);

    /** The name of the mark inside every staging folder. */
    static const char* const markName;

private:
    void releaseLock();

    juce::File outputFolder;
    juce::File folder;
    std::vector<std::pair<juce::File, juce::File>> files;   // staged, final; in staging order
    int lockHandle = -1;                                    // the open mark, locked while the folder lives

    JUCE_DECLARE_NON_COPYABLE (CueStaging)
};

} // namespace dunmoor
