#include <gtest/gtest.h>

#include "core/audio/AudioFileReader.h"
#include "core/files/PathRules.h"
#include "session/SessionTestSupport.h"
#include "ui/pages/import/ImportRowModel.h"
#include "ui/pages/import/TrackSplit.h"

namespace dunmoor::ui
{
namespace
{
    using namespace dunmoor::testing;

    /** A 16-bit mono WAV of noise, 2 s at 48 kHz. */
    juce::File writeNoise (const juce::File& file)
    {
        file.getParentDirectory().createDirectory();
        juce::AudioBuffer<float> buffer (1, 96000);
        juce::Random random (7);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (0, i, (float) (random.nextDouble() - 0.5));

        EXPECT_TRUE (writeAudioFile (file, "wav", buffer, 48000.0, 16));
        return file;
    }

    juce::AudioBuffer<double> read (const juce::File& file)
    {
        juce::AudioBuffer<double> buffer;
        juce::String error;
        EXPECT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << file.getFileName() << ": " << error;
        return buffer;
    }

    struct SplitFixture : ::testing::Test
    {
        void SetUp() override
        {
            writeNoise (folder.getChildFile ("Bass.wav"));
            writeNoise (folder.getChildFile ("Kick.wav"));
            session.setPreset (makeOrchestraPreset());
            (void) session.importFiles ({ folder }, false);
        }

        SplitOutcome split (const char* fileName, double seconds, const juce::String& name, const Splitter& splitter = splitTrack)
        {
            const auto plan = planSplit (session, trackIdNamed (session, fileName), seconds, name);
            EXPECT_TRUE (plan.ok) << plan.message;
            return performSplit (session, plan, [this] (const juce::File& f) { forgotten.add (f.getFileName()); }, splitter);
        }

        TemporaryFolder temp;
        juce::File folder = temp.file ("Cue");
        Session session;
        juce::StringArray forgotten;
    };
} // namespace

TEST_F (SplitFixture, HalvesOfTheFullLengthSumToTheSourceAndReplaceTheTrack)
{
    const auto source = read (folder.getChildFile ("Bass.wav"));
    const auto oldId = trackIdNamed (session, "Bass.wav");
    EXPECT_EQ (getSuggestedSplitName (folder.getChildFile ("Bass.wav")), "Bass 2");

    const auto outcome = split ("Bass.wav", 1.2, "Bass 2");
    EXPECT_TRUE (outcome.split);
    EXPECT_TRUE (outcome.title.isEmpty()) << outcome.message;

    EXPECT_EQ (TemporaryFolder::listing (folder).joinIntoString ("|"), "Bass 2.wav|Bass.wav|Bass_splitted.wav|Kick.wav");
    EXPECT_EQ (forgotten.joinIntoString ("|"), "Bass.wav|Bass 2.wav|Bass_splitted.wav");

    const auto first = read (folder.getChildFile ("Bass.wav"));
    const auto second = read (folder.getChildFile ("Bass 2.wav"));
    ASSERT_EQ (first.getNumSamples(), source.getNumSamples());
    ASSERT_EQ (second.getNumSamples(), source.getNumSamples());
    EXPECT_EQ (read (folder.getChildFile ("Bass_splitted.wav")).getNumSamples(), source.getNumSamples());

    double worst = 0.0;

    for (int i = 0; i < source.getNumSamples(); ++i)
        worst = std::max (worst, std::abs (first.getSample (0, i) + second.getSample (0, i) - source.getSample (0, i)));

    EXPECT_LE (worst, 1.0 / 32768.0) << "the halves add up to the source";
    EXPECT_EQ (second.getMagnitude (0, 0, 57600), 0.0) << "silent before 1.2 s";
    EXPECT_GT (second.getMagnitude (0, 57600, 240), 0.0) << "fading in";
    EXPECT_EQ (first.getMagnitude (0, 57600 + 240, 96000 - 57840), 0.0) << "silent after the 5 ms fade";

    EXPECT_EQ (session.findTrack (oldId), nullptr);
    ASSERT_NE (trackNamed (session, "Bass.wav"), nullptr);
    ASSERT_NE (trackNamed (session, "Bass 2.wav"), nullptr);
    EXPECT_EQ (trackNamed (session, "Bass 2.wav")->cueKey, trackNamed (session, "Kick.wav")->cueKey);
    EXPECT_EQ (session.getCues().size(), 1u);

    // Importing the folder again adds nothing and says why the original was left out.
    const auto again = session.importFiles ({ folder }, false);
    EXPECT_EQ (again.imported, 0);
    EXPECT_EQ (describeImportSummary (again).title, "One split file was not imported");
}

TEST_F (SplitFixture, NamesAreNumberedMadeSafeAndRefusedBeforeAnythingMoves)
{
    writeNoise (folder.getChildFile ("Bass 2.wav"));
    writeNoise (folder.getChildFile ("Bass_splitted.wav"));

    auto plan = planSplit (session, trackIdNamed (session, "Bass.wav"), 1.0, "  Bass 2 ");
    ASSERT_TRUE (plan.ok);
    EXPECT_EQ (plan.newFile.getFileName(), "Bass 2_2.wav");
    EXPECT_EQ (plan.movedFile.getFileName(), "Bass_splitted2.wav");

    plan = planSplit (session, trackIdNamed (session, "Bass.wav"), 1.0, "Low: end/octave?");
    EXPECT_EQ (plan.newFile.getFileName(), "Low- end-octave-.wav");

    plan = planSplit (session, trackIdNamed (session, "Bass.wav"), 1.0, juce::String::repeatedString ("b", 200));
    EXPECT_EQ (plan.newFile.getFileNameWithoutExtension().length(), 120);

    EXPECT_EQ (planSplit (session, trackIdNamed (session, "Bass.wav"), 1.0, "Take (2)").newFile.getFileName(), "Take (2).wav");
    writeNoise (folder.getChildFile ("Take (2).wav"));
    EXPECT_EQ (planSplit (session, trackIdNamed (session, "Bass.wav"), 1.0, "Take (2)").newFile.getFileName(), "Take (3).wav");

    struct Refusal
    {
        const char* name;
        const char* message;
    };

    const Refusal refusals[] = {
        { "...", "That name has nothing in it that can be used for a file name." },
        { " - _ ", "That name has nothing in it that can be used for a file name." },
        { "x_splitted", "A name ending in \"_splitted\" marks the original of an earlier split, and such files are never imported, so that half would be lost. Pick another name." },
        { "Bass_SPLITTED2", "A name ending in \"_splitted\" marks the original of an earlier split, and such files are never imported, so that half would be lost. Pick another name." },
    };

    const auto before = TemporaryFolder::listing (folder);

    for (const auto& r : refusals)
    {
        plan = planSplit (session, trackIdNamed (session, "Bass.wav"), 1.0, r.name);
        EXPECT_FALSE (plan.ok) << r.name;
        EXPECT_EQ (plan.message, r.message) << r.name;
        EXPECT_FALSE (performSplit (session, plan, {}).split);
    }

    EXPECT_EQ (TemporaryFolder::listing (folder), before);
    EXPECT_FALSE (planSplit (session, "no-such-track", 1.0, "x").ok);
    EXPECT_TRUE (planSplit (session, "no-such-track", 1.0, "x").message.isEmpty());
}

TEST_F (SplitFixture, AFailingSplitterPutsTheOriginalBack)
{
    const auto bytes = folder.getChildFile ("Bass.wav").getSize();

    auto outcome = split ("Bass.wav", 1.0, "Bass 2", [] (const SplitRequest&) { return SplitResult { false, "The disk is full." }; });
    EXPECT_FALSE (outcome.split);
    EXPECT_EQ (outcome.title, "The stem was not split");
    EXPECT_EQ (outcome.message, "The disk is full.");
    EXPECT_EQ (TemporaryFolder::listing (folder).joinIntoString ("|"), "Bass.wav|Kick.wav");
    EXPECT_EQ (folder.getChildFile ("Bass.wav").getSize(), bytes);
    EXPECT_NE (trackNamed (session, "Bass.wav"), nullptr);
    EXPECT_TRUE (forgotten.isEmpty());

    // When the name cannot be given back either, the box says where the original is.
    outcome = split ("Bass.wav", 1.0, "Bass 2", [] (const SplitRequest& request)
                     {
                         // Something now stands where the original was.
                         (void) request.firstOutput.getChildFile ("in the way").create();
                         return SplitResult { false, "The disk is full." };
                     });
    EXPECT_EQ (outcome.message, "The disk is full.\n\nThe original could not be given its name back. It is kept as '"
                                    + folder.getChildFile ("Bass_splitted.wav").getFullPathName() + "'.");
    EXPECT_TRUE (folder.getChildFile ("Bass_splitted.wav").existsAsFile());

    // The original cannot be moved: nothing happens at all.
    SplitPlan plan;
    plan.ok = true;
    plan.trackId = trackIdNamed (session, "Kick.wav");
    plan.source = temp.file ("elsewhere/Kick.wav");
    plan.newFile = folder.getChildFile ("Kick 2.wav");
    plan.movedFile = folder.getChildFile ("Kick_splitted.wav");
    outcome = performSplit (session, plan, {});
    EXPECT_EQ (outcome.message, "The original could not be renamed. It may be open in another program.");
}

TEST_F (SplitFixture, TheCueKeepsItsSettingsAndTildeNamesStayInTheFolder)
{
    session.removeTracks ({ trackIdNamed (session, "Kick.wav"), trackIdNamed (session, "Bass.wav") });
    // The framework's getChildFile would read "~Pad.wav" as a file in the home folder.
    const auto pad = writeNoise (getChildFileNamed (folder, "~Pad.wav"));
    (void) session.importFiles ({ pad }, false);
    const auto key = session.getCues().at (0).key;
    ASSERT_TRUE (session.renameCue (key, "1M02 Chase"));
    session.setCueIncluded (key, false);
    session.setCueTrimStart (key, 1.5);

    const auto outcome = split ("~Pad.wav", 0.5, "~Pad 2");
    EXPECT_TRUE (outcome.split) << outcome.message;
    EXPECT_EQ (TemporaryFolder::listing (folder).joinIntoString ("|"), "Bass.wav|Kick.wav|~Pad 2.wav|~Pad.wav|~Pad_splitted.wav");

    ASSERT_EQ (session.getCues().size(), 1u);
    const auto& cue = session.getCues()[0];
    EXPECT_EQ (cue.name, "1M02 Chase");
    EXPECT_FALSE (cue.included);
    EXPECT_EQ (cue.trimStartSeconds, 1.5);
    EXPECT_EQ (session.getTracks().size(), 2u);
}

TEST (TrackSplit, AFullSessionIsRefusedBeforeAnyFileMoves)
{
    TemporaryFolder temp;

    for (int i = 0; i < Session::maxTracks; ++i)
        writeTinyWav (temp.file ("Cue/t" + juce::String (i) + ".wav"), 8000, 1, 8);

    Session session;
    (void) session.importFiles ({ temp.file ("Cue") }, false);
    ASSERT_EQ ((int) session.getTracks().size(), Session::maxTracks);

    const auto plan = planSplit (session, session.getTracks()[0].id, 0.0, "half");
    EXPECT_FALSE (plan.ok);
    EXPECT_EQ (plan.message, "The list already holds 2048 tracks, the most it can, so the second half could not be added. Remove a track first.");
    EXPECT_FALSE (temp.file ("Cue/half.wav").exists());
    EXPECT_EQ (TemporaryFolder::listing (temp.file ("Cue")).size(), Session::maxTracks);
}

} // namespace dunmoor::ui
