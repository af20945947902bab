#include <gtest/gtest.h>

#include "TestFolder.h"
#include "core/files/AtomicFileWriter.h"

using namespace dunmoor;
using dunmoor::testing::TemporaryFolder;

namespace
{
    juce::MemoryBlock bytesOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }
} // namespace

TEST (AtomicFileWriter, ReplacesAnExistingFileAndLeavesNoTemporaryFile)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("preset.json");
    ASSERT_TRUE (target.replaceWithText ("old content that is longer than the new one"));

    juce::String error { "stale" };
    ASSERT_TRUE (writeTextFileAtomically (target, "new", error)) << error;

    EXPECT_TRUE (error.isEmpty());
    EXPECT_EQ (target.loadFileAsString(), "new");
    EXPECT_EQ (temp.listing (temp.folder), juce::StringArray ("preset.json"));
}

TEST (AtomicFileWriter, CreatesTheMissingFolderChain)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("a/b/c/report.html");

    juce::String error;
    ASSERT_TRUE (writeTextFileAtomically (target, "<p>ok</p>", error)) << error;
    EXPECT_EQ (target.loadFileAsString(), "<p>ok</p>");
}

TEST (AtomicFileWriter, StoresLineFeedsOnlyUnlessCrLfIsKept)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("text.txt");
    const juce::String text = juce::String ("one\r\ntwo\r\n") + juce::String::fromUTF8 ("dr\xc3\xbc" "ber");
    juce::String error;

    ASSERT_TRUE (writeTextFileAtomically (target, text, error)) << error;
    const char lfOnly[] = "one\ntwo\ndr\xc3\xbc" "ber"; // no final line feed is added, no byte-order mark
    EXPECT_EQ (bytesOf (target), juce::MemoryBlock (lfOnly, sizeof (lfOnly) - 1));

    ASSERT_TRUE (writeTextFileAtomically (target, text, error, LineEndings::keepCrLf)) << error;
    const char crLf[] = "one\r\ntwo\r\ndr\xc3\xbc" "ber";
    EXPECT_EQ (bytesOf (target), juce::MemoryBlock (crLf, sizeof (crLf) - 1));
}

TEST (AtomicFileWriter, EmptyTextGivesAnEmptyFile)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("empty.txt");
    juce::String error;

    ASSERT_TRUE (writeTextFileAtomically (target, {}, error)) << error;
    EXPECT_TRUE (target.existsAsFile());
    EXPECT_EQ (target.getSize(), 0);
}

TEST (AtomicFileWriter, FailedCommitKeepsTheOldTargetAndLeavesNoTemporaryFile)
{
    TemporaryFolder temp;

    // A non-empty folder at the target path cannot be replaced by a file.
    const auto target = temp.folder.getChildFile ("busy");
    ASSERT_TRUE (target.createDirectory().wasOk());
    ASSERT_TRUE (target.getChildFile ("keep.txt").replaceWithText ("kept"));

    juce::String error;
    EXPECT_FALSE (writeTextFileAtomically (target, "new", error));
    EXPECT_EQ (error, "Could not replace '" + target.getFullPathName() + "'.");
    EXPECT_EQ (target.getChildFile ("keep.txt").loadFileAsString(), "kept");
    EXPECT_EQ (temp.listing (temp.folder), juce::StringArray ("busy"));

    // Replacing deletes the target first, which would silently remove an empty folder.
    const auto emptyFolder = temp.folder.getChildFile ("empty");
    ASSERT_TRUE (emptyFolder.createDirectory().wasOk());
    EXPECT_FALSE (writeTextFileAtomically (emptyFolder, "new", error));
    EXPECT_TRUE (emptyFolder.isDirectory());
}

TEST (AtomicFileWriter, RefusesBadTargetsBeforeCreatingAnything)
{
    TemporaryFolder temp;
    juce::String error;

    EXPECT_FALSE (writeTextFileAtomically (juce::File(), "x", error));
    EXPECT_EQ (error, "No destination file was given.");

    // Exactly 241 characters, under folders that do not exist yet.
    auto longPath = temp.folder.getFullPathName() + "/deep/";
    longPath += juce::String::repeatedString ("n", 241 - longPath.length() - 4) + ".txt";
    ASSERT_EQ (longPath.length(), 241);

    EXPECT_FALSE (writeTextFileAtomically (juce::File (longPath), "x", error));
    EXPECT_EQ (error, "The destination path is too long.");
    EXPECT_TRUE (temp.listing (temp.folder).isEmpty());

    // One character shorter is fine.
    EXPECT_TRUE (writeTextFileAtomically (juce::File (longPath.dropLastCharacters (5) + ".txt"), "x", error)) << error;

    // A folder that cannot be made because a regular file stands in its place.
    const auto blocker = temp.folder.getChildFile ("plain.txt");
    ASSERT_TRUE (blocker.replaceWithText ("I am a file"));
    EXPECT_FALSE (writeTextFileAtomically (blocker.getChildFile ("sub/x.txt"), "x", error));
    EXPECT_TRUE (error.startsWith ("Could not create '" + blocker.getChildFile ("sub").getFullPathName() + "': ")) << error;
    EXPECT_EQ (blocker.loadFileAsString(), "I am a file");
}

TEST (AtomicFileWriter, UncommittedWriterRemovesItsTemporaryFile)
{
    TemporaryFolder temp;
    const auto target = temp.folder.getChildFile ("song.wav");
    ASSERT_TRUE (target.replaceWithText ("previous"));

    juce::File written;
    {
        AtomicFileWriter writer (target);
        ASSERT_TRUE (writer.hasTemporaryFile()) << writer.getError();
        written = writer.getTemporaryFile();

        EXPECT_EQ (written.getParentDirectory(), temp.folder);
        EXPECT_TRUE (written.getFileName().startsWith (".song_temp"));
        EXPECT_EQ (written.getFileExtension(), ".wav");
        EXPECT_FALSE (written.exists()); // only named, not created

        ASSERT_TRUE (written.replaceWithText ("half"));
    }

    EXPECT_FALSE (written.exists());
    EXPECT_EQ (target.loadFileAsString(), "previous");
}

TEST (AtomicFileWriter, CommitWithoutAnyWriteFails)
{
    TemporaryFolder temp;
    AtomicFileWriter writer (temp.folder.getChildFile ("nothing.txt"));
    ASSERT_TRUE (writer.hasTemporaryFile());

    EXPECT_FALSE (writer.commit());
    EXPECT_EQ (writer.getError(), "Nothing was written to the temporary file.");
    EXPECT_FALSE (writer.isCommitted());
}
