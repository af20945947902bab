#include <sys/stat.h>
#include <unistd.h>

#include "TestFolder.h"
#include "core/files/PrivateFolder.h"

namespace dunmoor
{
namespace
{
    mode_t modeOf (const juce::File& f)
    {
        struct stat info {};
        EXPECT_EQ (::lstat (f.getFullPathName().toRawUTF8(), &info), 0);
        return info.st_mode & 0777;
    }

    juce::File expectedFolder (const testing::TemporaryFolder& temp)
    {
        return temp.file ("Report-" + juce::String ((juce::int64) ::getuid()));
    }
} // namespace

TEST (PrivateFolder, IsMadeForTheOwnerAloneAndReusedWithItsAccessNarrowed)
{
    testing::TemporaryFolder temp;
    juce::String error;

    const auto folder = getPrivateFolder (temp.folder, "Report", error);
    ASSERT_EQ (folder, expectedFolder (temp)) << error;
    EXPECT_TRUE (folder.isDirectory());
    EXPECT_EQ (modeOf (folder), (mode_t) 0700);

    // Our own folder left open to others is used, but closed first.
    ASSERT_EQ (::chmod (folder.getFullPathName().toRawUTF8(), 0777), 0);
    EXPECT_EQ (getPrivateFolder (temp.folder, "Report", error), folder) << error;
    EXPECT_EQ (modeOf (folder), (mode_t) 0700);
}

// Another user who makes the folder or a link first must not get what the program writes.
TEST (PrivateFolder, ALinkAFileOrAnotherUsersFolderIsRefused)
{
    testing::TemporaryFolder temp;
    const auto target = expectedFolder (temp);
    juce::String error;

    const auto elsewhere = temp.file ("elsewhere");
    ASSERT_TRUE (elsewhere.createDirectory());
    ASSERT_EQ (::symlink (elsewhere.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()), 0);
    EXPECT_EQ (getPrivateFolder (temp.folder, "Report", error), juce::File());
    EXPECT_TRUE (error.contains ("not a folder of its own")) << error;
    ASSERT_EQ (::unlink (target.getFullPathName().toRawUTF8()), 0);

    ASSERT_TRUE (target.replaceWithText ("x"));
    EXPECT_EQ (getPrivateFolder (temp.folder, "Report", error), juce::File());
    ASSERT_TRUE (target.deleteFile());

    // Only root can hand a folder to another user; elsewhere this case cannot be set up.
    if (::getuid() == 0)
    {
        ASSERT_TRUE (target.createDirectory());
        ASSERT_EQ (::chown (target.getFullPathName().toRawUTF8(), 54321, 54321), 0);
        EXPECT_EQ (getPrivateFolder (temp.folder, "Report", error), juce::File());
        EXPECT_TRUE (error.contains ("another user")) << error;
    }
}

} // namespace dunmoor
