#include <gtest/gtest.h>

#include "TestFolder.h"
#include "core/render/WrittenFileRename.h"

namespace dunmoor
{
namespace
{
    WrittenFile written (const juce::File& file, const juce::String& displayName)
    {
        WrittenFile w;
        w.file = file;
        w.displayName = displayName;
        return w;
    }

    /** Cue A wrote the mix and the strings; cue B lists the mix again, once under another letter
        case that names nothing on disk, and holds another file whose name differs only in case. */
    struct Fixture
    {
        Fixture()
        {
            CueReport a;
            a.files = { written (mix, "Full Mix"), written (strings, "Strings") };
            CueReport b;
            b.files = { written (mix, "Full Mix"), written (delivery.folder.getChildFile ("SHOW_MIX.wav"), "Full Mix"), written (otherMix, "Other") };
            report.cues = { a, b };
        }

        juce::String pathOf (size_t cue, size_t file) const { return report.cues[cue].files[file].file.getFullPathName(); }

        testing::TemporaryFolder delivery;
        juce::File mix = delivery.make ("Show_Mix.wav", "mix");
        juce::File strings = delivery.make ("Show_Strings.wav", "strings");
        juce::File otherMix = delivery.make ("show_mix.wav", "other mix");
        BatchReport report;
    };

    TEST (WrittenFileRename, EveryEntryOfTheFileFollowsIt)
    {
        Fixture f;
        juce::String error;

        ASSERT_TRUE (renameWrittenFile (f.report, f.mix, " Final Mix ", error)) << error;
        const auto renamed = f.delivery.folder.getChildFile ("Final Mix.wav");

        EXPECT_TRUE (error.isEmpty());
        EXPECT_FALSE (f.mix.exists());
        EXPECT_EQ (renamed.loadFileAsString(), "mix");
        EXPECT_EQ (f.pathOf (0, 0), renamed.getFullPathName());
        EXPECT_EQ (f.pathOf (1, 0), renamed.getFullPathName());
        EXPECT_EQ (f.pathOf (1, 1), renamed.getFullPathName());
        EXPECT_EQ (f.report.cues[0].files[0].displayName, "Full Mix");
        EXPECT_EQ (f.pathOf (0, 1), f.strings.getFullPathName());

        // On a disk that tells letter case apart this entry is another file; it stays.
        EXPECT_EQ (f.pathOf (1, 2), f.otherMix.getFullPathName());
        EXPECT_EQ (f.otherMix.loadFileAsString(), "other mix");
    }

    TEST (WrittenFileRename, RefusalsAndCaseOnlyNamesChangeNothing)
    {
        struct Case
        {
            const char* name;
            const char* message;
        };

        const Case cases[] = {
            { "show_MIX", "" }, // letter case only: counts as the current name
            { "Show_Mix", "" },
            { "..", "That name has nothing in it that can be used for a file name." },
            { "Show_Strings", "There is already a file called 'Show_Strings.wav' in that folder." },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.name);
            Fixture f;
            juce::String error;

            EXPECT_EQ (renameWrittenFile (f.report, f.mix, c.name, error), juce::String (c.message).isEmpty());
            EXPECT_EQ (error, c.message);
            EXPECT_EQ (f.mix.loadFileAsString(), "mix");
            EXPECT_EQ (f.pathOf (0, 0), f.mix.getFullPathName());
            EXPECT_EQ (f.strings.loadFileAsString(), "strings");
        }

        Fixture f;
        ASSERT_TRUE (f.mix.deleteFile());
        juce::String error;
        EXPECT_FALSE (renameWrittenFile (f.report, f.mix, "Final", error));
        EXPECT_EQ (error, "That file is not where the report says it is. It may have been moved or renamed since it was written.");
        EXPECT_EQ (f.pathOf (0, 0), f.mix.getFullPathName());
    }
    // On a disk that tells letter case apart, "Bass" to "bass" is a real rename when asked for;
    // a case variant that names another file is still never replaced.
    TEST (WrittenFileRename, CaseOnlyNamesAreCarriedOutWhenAskedFor)
    {
        Fixture f;
        juce::String error;

        ASSERT_TRUE (renameWrittenFile (f.report, f.strings, "show_STRINGS", error, LetterCaseRename::carryOut)) << error;
        const auto renamed = f.delivery.folder.getChildFile ("show_STRINGS.wav");
        EXPECT_EQ (renamed.loadFileAsString(), "strings");
        EXPECT_EQ (f.pathOf (0, 1), renamed.getFullPathName());

        if (juce::File::areFileNamesCaseSensitive())
        {
            EXPECT_FALSE (f.delivery.folder.getChildFile ("Show_Strings.wav").exists());
            EXPECT_FALSE (renameWrittenFile (f.report, f.mix, "show_mix", error, LetterCaseRename::carryOut));
            EXPECT_EQ (error, "There is already a file called 'show_mix.wav' in that folder.");
            EXPECT_EQ (f.otherMix.loadFileAsString(), "other mix");
            EXPECT_EQ (f.mix.loadFileAsString(), "mix");
        }
    }
} // namespace
} // namespace dunmoor
