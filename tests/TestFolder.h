#pragma once

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

namespace dunmoor::testing
{

/**
    A fresh folder under the system's temporary folder, removed with everything in it. Its name
    holds a fresh UUID: ctest runs every test in a process of its own, in parallel, and two
    processes looking for the same free name at the same moment would otherwise share (and
    delete) one folder.
*/
struct TemporaryFolder
{
    TemporaryFolder() { EXPECT_TRUE (folder.createDirectory().wasOk()) << folder.getFullPathName(); }
    ~TemporaryFolder() { folder.deleteRecursively(); }

    TemporaryFolder (const TemporaryFolder&) = delete;
    TemporaryFolder& operator= (const TemporaryFolder&) = delete;

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    /** A text file of that name in the folder. */
    juce::File make (const juce::String& name, const juce::String& content = "x") const
    {
        const auto f = file (name);
        EXPECT_TRUE (f.replaceWithText (content)) << f.getFullPathName();
        return f;
    }

    /** Every entry in a folder, hidden ones included, as sorted names. */
    static juce::StringArray listing (const juce::File& in)
    {
        juce::StringArray names;

        for (const auto& entry : juce::RangedDirectoryIterator (in, false, "*", juce::File::findFilesAndDirectories))
            names.add (entry.getFile().getFileName());

        names.sort (false);
        return names;
    }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("dunmoor-test-" + juce::Uuid().toString());
};

} // namespace dunmoor::testing
