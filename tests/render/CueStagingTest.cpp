#include <gtest/gtest.h>

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

} // namespace dunmoor
