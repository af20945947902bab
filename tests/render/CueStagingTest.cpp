#include <csignal>

#include <unistd.h>

#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "TestFolder.h"
#include "core/render/CueStaging.h"

namespace dunmoor
{

using testing::TemporaryFolder;

// Files that could not all be moved into place must leave the folder exactly as it was: the
// ones already moved go back, and the earlier files they replaced return.
TEST (CueStagingTest, ACommitThatFailsPartWayPutsEverythingBack)
{
    TemporaryFolder temp;
    const auto out = temp.file ("out");
    ASSERT_TRUE (out.createDirectory().wasOk());
    ASSERT_TRUE (out.getChildFile ("a.wav").replaceWithText ("old a"));
    ASSERT_TRUE (out.getChildFile ("b.wav").replaceWithText ("old b"));

    juce::String error;
    {
        CueStaging staging (out);
        const char* names[] = { "a.wav", "b.wav", "missing/c.wav" };

        for (const auto* name : names)
        {
            const auto staged = staging.stage (out.getChildFile (name), error);
            ASSERT_NE (staged, juce::File()) << error;
            ASSERT_TRUE (staged.replaceWithText ("new"));
        }

        EXPECT_FALSE (staging.commit (error));
        EXPECT_TRUE (error.contains ("c.wav")) << error;
    }

    EXPECT_EQ (out.getChildFile ("a.wav").loadFileAsString(), "old a");
    EXPECT_EQ (out.getChildFile ("b.wav").loadFileAsString(), "old b");
    EXPECT_EQ (TemporaryFolder::listing (out), juce::StringArray ({ "a.wav", "b.wav" }));

    // Staged, committed: the earlier file is replaced and the staging folder is gone.
    CueStaging staging (out);
    ASSERT_TRUE (staging.stage (out.getChildFile ("a.wav"), error).replaceWithText ("new a"));
    ASSERT_TRUE (staging.commit (error)) << error;
    EXPECT_EQ (out.getChildFile ("a.wav").loadFileAsString(), "new a");
    EXPECT_EQ (TemporaryFolder::listing (out), juce::StringArray ({ "a.wav", "b.wav" }));
}

// A render killed while it moved its files into place has set an earlier file aside and not
// yet put the new one in its place: removing what it left must not lose that file.
TEST (CueStagingTest, LeftoversOfARenderKilledWhileMovingIntoPlaceGiveBackTheEarlierFile)
{
    TemporaryFolder temp;
    const auto out = temp.file ("out");
    ASSERT_TRUE (out.getChildFile ("STEMS").createDirectory().wasOk());
    temp.make ("out/a.wav", "old a");
    temp.make ("out/STEMS/b.wav", "old b");

    EXPECT_EXIT (
        {
            auto* staging = new CueStaging (out);
            juce::String error;
            const auto a = out.getChildFile ("a.wav");
            const auto b = out.getChildFile ("STEMS/b.wav");
            const auto stagedA = staging->stage (a, error);
            (void) stagedA.replaceWithText ("new a");
            (void) staging->stage (b, error).replaceWithText ("new b");

            // What the move into place does, up to its second file: each earlier file is set
            // aside under its path below the output folder, then the staged one takes its place.
            const auto aside = staging->getFolder (error).getChildFile ("previous");
            (void) aside.getChildFile ("STEMS").createDirectory();
            (void) a.moveFileTo (aside.getChildFile ("a.wav"));
            (void) stagedA.moveFileTo (a);
            (void) b.moveFileTo (aside.getChildFile ("STEMS/b.wav"));
            ::kill (::getpid(), SIGKILL);
        },
        ::testing::KilledBySignal (SIGKILL), "");

    ASSERT_FALSE (out.getChildFile ("STEMS/b.wav").exists());

    CueStaging::removeLeftovers (out);

    EXPECT_EQ (out.getChildFile ("a.wav").loadFileAsString(), "new a");
    EXPECT_EQ (out.getChildFile ("STEMS/b.wav").loadFileAsString(), "old b");
    EXPECT_EQ (testing::listFilesBelow (out), juce::StringArray ({ "STEMS/b.wav", "a.wav" }));
}

} // namespace dunmoor
