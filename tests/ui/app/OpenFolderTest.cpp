#include "TestFolder.h"
#include "ui/FakeSeams.h"
#include "ui/UiTestSupport.h"
#include "ui/app/OpenFolder.h"

namespace dunmoor::ui
{
namespace
{

TEST (OpenFolder, OpensTheFolderElseItsParentElseSaysSo)
{
    testing::TemporaryFolder temp;
    const auto folder = temp.file ("Delivery $(touch x) `y` \\z");
    ASSERT_TRUE (folder.createDirectory());
    testing::FakeSeams seams;

    // A folder that is not there: nothing at all.
    openFolderInFileBrowser (seams, temp.file ("Missing"));
    EXPECT_TRUE (seams.opened.empty());

    // The name reaches the desktop as it is, as one target.
    openFolderInFileBrowser (seams, folder);
    testing::pumpMessages (50);
    ASSERT_EQ (seams.opened.size(), 1u);
    EXPECT_EQ (seams.opened[0].kind, Seams::OpenKind::folder);
    EXPECT_EQ (seams.opened[0].target, folder.getFullPathName());
    EXPECT_TRUE (seams.boxes.empty());

    // When the folder cannot be opened, its parent is shown; when that fails too, a warning
    // that names the folder asked for, not its parent.
    seams.openOutcome = { false, "No file browser for \"{target}\"." };
    openFolderInFileBrowser (seams, folder);
    EXPECT_TRUE (testing::pumpUntil ([&] { return ! seams.boxes.empty(); }, 2000));
    ASSERT_EQ (seams.opened.size(), 3u);
    EXPECT_EQ (seams.opened[2].target, temp.folder.getFullPathName());
    EXPECT_EQ (seams.boxes[0].request.title, "The folder was not opened");
    EXPECT_EQ (seams.boxes[0].request.message, "No file browser for \"" + folder.getFullPathName() + "\".");
}

} // namespace
} // namespace dunmoor::ui
