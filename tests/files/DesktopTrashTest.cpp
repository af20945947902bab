#include <gtest/gtest.h>

#include "TestFolder.h"
#include "core/files/DesktopTrash.h"

#include <cstdlib>

using namespace dunmoor;
using dunmoor::testing::TemporaryFolder;

TEST (DesktopTrash, RecordsTheOriginalPathPercentEncoded)
{
    TemporaryFolder temp;
    const auto folder = temp.folder.getChildFile (juce::String (juce::CharPointer_UTF8 ("Bl\xc3\xa4ser & Co")));
    ASSERT_TRUE (folder.createDirectory());
    const auto file = folder.getChildFile ("a#b.json");
    ASSERT_TRUE (file.replaceWithText ("x"));

    const auto trashRoot = temp.folder.getChildFile ("data/Trash");
    const DesktopTrash trash (trashRoot);

    juce::String error;
    ASSERT_TRUE (trash.moveToTrash (file, error)) << error;
    EXPECT_FALSE (file.exists());
    EXPECT_EQ (trashRoot.getChildFile ("files/a#b.json").loadFileAsString(), "x");

    const auto info = juce::StringArray::fromLines (trashRoot.getChildFile ("info/a#b.json.trashinfo").loadFileAsString());
    EXPECT_EQ (info[0], "[Trash Info]");
    EXPECT_EQ (info[1], "Path=" + temp.folder.getFullPathName().replace (" ", "%20") + "/Bl%C3%A4ser%20%26%20Co/a%23b.json");
    EXPECT_TRUE (info[2].startsWith ("DeletionDate=")) << info[2];
    EXPECT_EQ (info[2].length(), juce::String ("DeletionDate=2024-01-31T12:00:00").length());

    EXPECT_FALSE (trash.moveToTrash (file, error));
    EXPECT_TRUE (error.contains ("does not exist")) << error;
}

TEST (DesktopTrash, DefaultRootIsInTheUsersDataHome)
{
    const auto previous = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});
    const bool hadPrevious = std::getenv ("XDG_DATA_HOME") != nullptr;

    ::setenv ("XDG_DATA_HOME", "/tmp/some-data-home", 1);
    EXPECT_EQ (DesktopTrash::getDefaultRoot().getFullPathName(), "/tmp/some-data-home/Trash");

    ::setenv ("XDG_DATA_HOME", "relative/path", 1);   // not absolute: ignored
    EXPECT_EQ (DesktopTrash::getDefaultRoot(),
               juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".local/share/Trash"));

    if (hadPrevious)
        ::setenv ("XDG_DATA_HOME", previous.toRawUTF8(), 1);
    else
        ::unsetenv ("XDG_DATA_HOME");

   #if JUCE_LINUX || JUCE_BSD
    EXPECT_EQ (DesktopTrash().getRoot(), DesktopTrash::getDefaultRoot());
   #endif
}
