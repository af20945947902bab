#include <filesystem>

#include <gtest/gtest.h>

#include "session/SessionTestSupport.h"
#include "core/files/FileRename.h"

namespace dunmoor
{
namespace
{
    using namespace testing;

    std::filesystem::path fsPath (const juce::File& file) { return std::filesystem::u8path (file.getFullPathName().toRawUTF8()); }

    juce::StringArray namesIn (const juce::File& folder)
    {
        juce::StringArray names;
        for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
            names.add (entry.getFile().getFileName());
        names.sort (false);
        return names;
    }

    juce::StringArray sorted (juce::StringArray names)
    {
        names.sort (false);
        return names;
    }

    TEST (FileRename, NamesAreMadeSafeAndClashesRefused)
    {
        struct Case
        {
            const char* from;
            const char* name;
            const char* result;  // the file's name afterwards
            const char* message; // empty when renamed
        };

        const Case cases[] = {
            { "Kick.wav", "Snare.wav", "Snare.wav.wav", "" }, // the typed extension stays part of the name
            { "Kick.wav", "  Kick?  ", "Kick-.wav", "" },
            { "Kick.wav", "a/b", "a-b.wav", "" },
            { "Kick.wav", "con", "con_.wav", "" },
            { "README", "Notes.txt", "Notes.txt", "" },
            { "Kick.wav", "Kick", "Kick.wav", "" },
            { "Kick.wav", "...", "Kick.wav", "That name has nothing in it that can be used for a file name." },
            { "Kick.wav", "?*:", "Kick.wav", "That name has nothing in it that can be used for a file name." },
            { "Kick.wav", "Snare", "Kick.wav", "There is already a file called 'Snare.wav' in that folder." },
            { "Kick.wav", "Folder", "Kick.wav", "There is already a file called 'Folder.wav' in that folder." },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (juce::String (c.from) + " -> " + c.name);
            TemporaryFolder temp;
            const auto file = temp.file (c.from);
            ASSERT_TRUE (file.replaceWithText ("source"));
            ASSERT_TRUE (temp.file ("Snare.wav").replaceWithText ("other"));
            ASSERT_TRUE (temp.file ("Folder.wav").createDirectory());

            juce::File renamedTo;
            juce::String error ("stale");
            const auto ok = renameFileInFolder (file, c.name, LetterCaseRename::carryOut, renamedTo, error);

            EXPECT_EQ (ok, juce::String (c.message).isEmpty());
            EXPECT_EQ (error, c.message);
            EXPECT_EQ (renamedTo, temp.file (c.result));
            EXPECT_EQ (temp.file (c.result).loadFileAsString(), "source");
            EXPECT_EQ (temp.file ("Snare.wav").loadFileAsString(), "other");
            EXPECT_TRUE (temp.file ("Folder.wav").isDirectory());
            EXPECT_EQ (namesIn (temp.folder).size(), 3);
        }
    }

    // A name starting with "~" was read as a home folder and refused as outside the folder.
    TEST (FileRename, ANameStartingWithATildeStaysInTheFolder)
    {
        TemporaryFolder temp;
        const auto file = temp.file ("Kick.wav");
        ASSERT_TRUE (file.replaceWithText ("source"));

        juce::File renamedTo;
        juce::String error;
        ASSERT_TRUE (renameFileInFolder (file, "~alt", LetterCaseRename::carryOut, renamedTo, error)) << error;
        EXPECT_EQ (renamedTo.getFullPathName(), temp.folder.getFullPathName() + "/~alt.wav");
        EXPECT_EQ (namesIn (temp.folder), juce::StringArray ({ "~alt.wav" }));
        EXPECT_EQ (renamedTo.loadFileAsString(), "source");
    }

    TEST (FileRename, PathLengthIsChecked)
    {
        TemporaryFolder temp;
        const auto folder = temp.folder.getChildFile (juce::String::repeatedString ("f", 100)).getChildFile (juce::String::repeatedString ("g", 100));
        const auto file = folder.getChildFile ("Kick.wav");
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (file.replaceWithText ("source"));

        juce::File renamedTo;
        juce::String error;
        EXPECT_FALSE (renameFileInFolder (file, juce::String::repeatedString ("n", 200), LetterCaseRename::carryOut, renamedTo, error));
        EXPECT_EQ (error, "That name makes the path too long for this system.");
        EXPECT_TRUE (file.existsAsFile());
    }

    TEST (FileRename, TheSameFileIsToldByTheFileSystem)
    {
        // Another file whose name differs only in letter case used to pass the check and be
        // deleted by the move. A second name of the very file (what a disk that ignores case
        // shows) is the only thing allowed at a case-only target.
        TemporaryFolder temp;
        const auto bass = temp.file ("Bass.wav");
        ASSERT_TRUE (bass.replaceWithText ("bass"));
        std::filesystem::create_hard_link (fsPath (bass), fsPath (temp.file ("bass.wav")));
        std::filesystem::create_hard_link (fsPath (bass), fsPath (temp.file ("Low.wav")));
        ASSERT_TRUE (temp.file ("Other.wav").replaceWithText ("other"));
        ASSERT_TRUE (temp.file ("nowhere.wav").createSymbolicLink (temp.file ("gone.wav"), false));

        EXPECT_TRUE (isSameFileOnDisk (bass, temp.file ("bass.wav")));
        EXPECT_FALSE (areDifferentFilesOnDisk (bass, temp.file ("bass.wav")));
        EXPECT_TRUE (areDifferentFilesOnDisk (bass, temp.file ("Other.wav")));
        EXPECT_FALSE (isSameFileOnDisk (bass, temp.file ("Missing.wav")));
        EXPECT_FALSE (areDifferentFilesOnDisk (bass, temp.file ("Missing.wav")));

        juce::File renamedTo;
        juce::String error;

        // Another name of the same file that is not a change of case still counts as a clash,
        // and so does a link pointing nowhere.
        EXPECT_FALSE (renameFileInFolder (bass, "Low", LetterCaseRename::carryOut, renamedTo, error));
        EXPECT_EQ (error, "There is already a file called 'Low.wav' in that folder.");
        EXPECT_FALSE (renameFileInFolder (temp.file ("Other.wav"), "gone", LetterCaseRename::carryOut, renamedTo, error));
        EXPECT_EQ (error, "There is already a file called 'gone.wav' in that folder.");
        EXPECT_TRUE (temp.file ("gone.wav").isSymbolicLink());

        // When letter case is not carried out, such a name is the current one.
        EXPECT_TRUE (renameFileInFolder (bass, "BASS", LetterCaseRename::ignore, renamedTo, error));
        EXPECT_EQ (renamedTo, bass);
        EXPECT_TRUE (bass.existsAsFile());

        ASSERT_TRUE (renameFileInFolder (bass, "bass", LetterCaseRename::carryOut, renamedTo, error)) << error;
        EXPECT_EQ (renamedTo, temp.file ("bass.wav"));
        EXPECT_EQ (namesIn (temp.folder), sorted ({ "gone.wav", "Low.wav", "Other.wav", "bass.wav" }));
        EXPECT_EQ (temp.file ("bass.wav").loadFileAsString(), "bass");
    }
} // namespace
} // namespace dunmoor
