#include <gtest/gtest.h>

#include "RawBytesNames.h"
#include "SessionTestSupport.h"
#include "core/files/FolderListing.h"
#include "core/render/RenderPlan.h"

namespace dunmoor
{
namespace
{
    using namespace testing;

    juce::StringArray relativeNamesOf (const Session& session)
    {
        juce::StringArray names;

        for (const auto& cue : session.getCues())
            names.add (cue.relativeName);

        return names;
    }

    TEST (Import, ADroppedCueFolderOrOneOfItsFilesGivesOneCueNamedAfterTheFolder)
    {
        TemporaryFolder temp;
        const auto cueFolder = temp.file ("Proj/Cue1");
        writeTinyWav (cueFolder.getChildFile ("a.wav"));
        writeTinyWav (cueFolder.getChildFile ("b.wav"));

        for (const auto& dropped : { cueFolder, cueFolder.getChildFile ("a.wav") })
        {
            SCOPED_TRACE (dropped.getFullPathName());
            Session session;
            const auto summary = session.importFiles ({ dropped }, true);

            EXPECT_EQ (summary.imported, dropped.isDirectory() ? 2 : 1);
            ASSERT_EQ (session.getCues().size(), 1u);
            EXPECT_EQ (session.getCues()[0].name, "Cue1");
            EXPECT_EQ (session.getCues()[0].relativeName, "Cue1");
            EXPECT_EQ (session.getCues()[0].folder, cueFolder);
        }
    }

    TEST (Import, ADroppedFolderOfCueFolders)
    {
        TemporaryFolder temp;
        const auto project = temp.file ("Proj");
        writeTinyWav (project.getChildFile ("Reel1/Cue1/x.wav"));
        writeTinyWav (project.getChildFile ("Cue2/y.wav"));

        Session session;
        RecordingListener listener (session);
        // Nothing found, nothing changed: no notification marks the project as changed.
        EXPECT_EQ (session.importFiles ({ project }, false).toText(), "0 imported");
        EXPECT_EQ (listener.take(), "");
        EXPECT_TRUE (session.getTracks().empty());

        EXPECT_EQ (session.importFiles ({ project }, true).toText(), "2 imported");
        EXPECT_EQ (listener.take(), "tracks,assignments");
        EXPECT_EQ (relativeNamesOf (session), juce::StringArray ("Cue2", "Reel1/Cue1"));

        // The same folder again: every file is already in the list and nothing is matched.
        const auto again = session.importFiles ({ project }, true);
        EXPECT_EQ (again.toText(), "0 imported, 2 already in the list");
        EXPECT_EQ (listener.take(), "");
    }

    TEST (Import, FilesAreFoundWhateverTheCaseOfTheirExtension)
    {
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Cue/Upper.WAV"));
        writeTinyWav (temp.file ("Cue/Mixed.Flac"));
        temp.file ("Cue/notes.txt").replaceWithText ("session notes");

        Session session;
        const auto summary = session.importFiles ({ temp.file ("Cue") }, false);
        EXPECT_EQ (session.getTracks().size(), 2u); // the .txt is not an audio file of the folder
        EXPECT_EQ (summary.imported, 2);            // WAV bytes under a .flac name are still read
        EXPECT_EQ (session.getCues().at (0).relativeName, "Cue");
    }

    TEST (Import, AlreadySplitFilesAreSkipped)
    {
        struct Case
        {
            const char* name;
            bool split;
        };

        const Case cases[] = {
            { "Bass_splitted.wav", true },
            { "Bass_splitted2.wav", true },
            { "Bass_SPLITTED017.wav", true },
            { "Bass_splitted_2.wav", false },
            { "Bass_splitted.extra.wav", false },
            { "splitted.wav", false },
            { "Bass.wav", false },
        };

        TemporaryFolder temp;

        for (const auto& c : cases)
        {
            EXPECT_EQ (isSplitFileName (juce::File ("/x").getChildFile (c.name)), c.split) << c.name;
            writeTinyWav (temp.file ("Cue").getChildFile (c.name));
        }

        Session session;
        const auto summary = session.importFiles ({ temp.file ("Cue"), temp.file ("Cue/Bass_splitted.wav") }, false);

        EXPECT_EQ (summary.alreadySplit.joinIntoString (","), "Bass_splitted.wav,Bass_SPLITTED017.wav,Bass_splitted2.wav,Bass_splitted.wav");
        EXPECT_EQ (summary.imported, 4);
        EXPECT_EQ (summary.toText(), "4 imported, 4 already split");
    }

    TEST (Import, FoldersDeeperThanEightLevelsAreNotScanned)
    {
        TemporaryFolder temp;
        auto folder = temp.file ("L0");

        for (int level = 0; level <= 10; ++level)
        {
            writeTinyWav (folder.getChildFile ("track" + juce::String (level) + ".wav"));
            folder = folder.getChildFile ("L" + juce::String (level + 1));
        }

        // A second branch reaching level 9 gives a message of its own.
        writeTinyWav (temp.file ("L0/B1/B2/B3/B4/B5/B6/B7/B8/B9/deep.wav"));

        Session session;
        const auto summary = session.importFiles ({ temp.file ("L0") }, true);

        EXPECT_EQ (summary.imported, 9); // levels 0 to 8
        EXPECT_EQ (summary.messages.joinIntoString ("\n"), "Stopped scanning below 'B9': the folder tree is deeper than 8 levels.\n"
                                                           "Stopped scanning below 'L9': the folder tree is deeper than 8 levels.");
        EXPECT_NE (trackNamed (session, "track8.wav"), nullptr);
        EXPECT_EQ (trackNamed (session, "track9.wav"), nullptr);
        EXPECT_EQ (session.findCue (trackNamed (session, "track8.wav")->cueKey)->relativeName, "L0/L1/L2/L3/L4/L5/L6/L7/L8");
    }

    TEST (Import, AFolderLinkedBackIntoItsOwnTreeIsScannedOnce)
    {
        // Following such a link used to import the same files again under ever longer paths.
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Cue/a.wav"));
        writeTinyWav (temp.file ("Cue/Sub/b.wav"));
        ASSERT_TRUE (juce::File::createSymbolicLink (temp.file ("Cue/Sub/Loop"), "..", false));
        ASSERT_TRUE (temp.file ("Cue/Sub/Loop").isDirectory());

        Session session;
        const auto summary = session.importFiles ({ temp.file ("Cue") }, true);
        EXPECT_EQ (summary.toText(), "2 imported");
        EXPECT_TRUE (summary.messages.isEmpty());
    }

    // Latin-1 names from old archives: the framework's listing wrote past its buffer on one, or
    // read a wrong extension and skipped the file without a word.
    TEST (Import, NamesThatAreNotUtf8AreNamedAndTheRestIsImported)
    {
        TemporaryFolder temp;
        const auto cue = writeTinyWav (temp.file ("1M01/Brass.wav")).getParentDirectory();
        juce::MemoryBlock wav;
        ASSERT_TRUE (cue.getChildFile ("Brass.wav").loadFileAsData (wav));

        RawNamedEntries raw;
        raw.makeFile (cue, "Voil\xe0 Strings.wav", wav);
        raw.makeFile (cue, "Canci\xf3n Peque\xf1" "a Strings.wav", wav);
        raw.makeFile (cue, "Overlong \xc1\x81.wav", wav); // passes the framework's check, yet reads back as other bytes
        raw.makeFile (cue, "Notes \xe0 lire.txt");        // not audio: nothing to say
        raw.makeFolder (cue, "Reel \xe0 2");

        const auto bad = juce::String::charToString (0xfffd);
        const auto notImported = [] (const juce::String& name)
        { return "'" + name + "' was not imported: its name is not valid UTF-8; rename it."; };

        for (const bool recurse : { false, true })
        {
            SCOPED_TRACE (recurse ? "recursing" : "not recursing");
            Session session;
            const auto summary = session.importFiles ({ cue }, recurse);

            juce::StringArray expected { notImported ("Canci" + bad + "n Peque" + bad + "a Strings.wav"),
                                         notImported ("Overlong " + bad + bad + ".wav"),
                                         notImported ("Voil" + bad + " Strings.wav") };

            // A folder is named only where the scan would have entered it.
            if (recurse)
                expected.insert (2, notImported ("Reel " + bad + " 2"));

            EXPECT_EQ (summary.toText(), "1 imported");
            EXPECT_EQ (summary.messages.joinIntoString ("\n"), expected.joinIntoString ("\n"));
            ASSERT_EQ (session.getTracks().size(), 1u);
            EXPECT_EQ (session.getTracks()[0].file, cue.getChildFile ("Brass.wav"));
            EXPECT_EQ (session.getCues().at (0).relativeName, "1M01");

            // The cue's report lists them with the tracks that could not be read; they appeared
            // only in the import box.
            const auto batch = buildBatchPlan (session.getPreset(), session.getTracks(), session.getCues(), temp.file ("out"), true);
            ASSERT_EQ (batch.cues.size(), 1u);
            juce::StringArray unreadable;

            for (const auto& track : batch.cues[0].request.unreadableTracks)
                unreadable.add (track.fileName + ": " + track.reason);

            EXPECT_EQ (unreadable.joinIntoString ("\n"), "Canci" + bad + "n Peque" + bad + "a Strings.wav: Its name is not valid UTF-8; rename it.\n"
                                                         "Overlong " + bad + bad + ".wav: Its name is not valid UTF-8; rename it.\n"
                                                         "Voil" + bad + " Strings.wav: Its name is not valid UTF-8; rename it.");
        }
    }

    // The same names given as paths (a drop from a file manager, the chooser, a project) were
    // imported without a word; the framework then wrote past a heap block naming the track and
    // read past one lower-casing its path.
    TEST (Import, PathsThatAreNotUtf8AreRefusedAtTheGate)
    {
        TemporaryFolder temp;
        const auto cue = writeTinyWav (temp.file ("1M01/Brass.wav")).getParentDirectory();
        juce::MemoryBlock wav;
        ASSERT_TRUE (cue.getChildFile ("Brass.wav").loadFileAsData (wav));

        RawNamedEntries raw;
        raw.makeFile (cue, "Voil\xe0 Strings.wav", wav);
        raw.makeFile (cue, "Brass.w\xffv", wav);

        const auto bad = juce::String::charToString (0xfffd);
        const std::string folder = (cue.getFullPathName() + "/").toStdString();
        // Added one by one: a list built from values copies each by decoding it, which is what
        // writes past the buffer on such bytes.
        juce::StringArray texts;
        texts.add (stringOfRawBytes ((folder + "Voil\xe0 Strings.wav").c_str()));
        texts.add (stringOfRawBytes ((folder + "Brass.w\xffv").c_str()));
        const juce::StringArray expected { "'Voil" + bad + " Strings.wav' was not imported: its name is not valid UTF-8; rename it.",
                                           "'Brass.w" + bad + "v' was not imported: its name is not valid UTF-8; rename it." };

        {
            SCOPED_TRACE ("as files");
            Session session;
            const auto summary = session.importFiles ({ juce::File (texts[0]), juce::File (texts[1]) }, false);
            EXPECT_EQ (summary.messages, expected);
            EXPECT_TRUE (session.getTracks().empty());
        }

        {
            SCOPED_TRACE ("as text");
            juce::StringArray refusals;
            EXPECT_TRUE (filesFromPathTexts (texts, refusals).isEmpty());
            EXPECT_EQ (refusals, expected);
        }
    }

    TEST (Import, TheSessionHoldsAtMost2048Tracks)
    {
        TemporaryFolder temp;
        const auto filler = temp.file ("Filler");
        filler.createDirectory();

        // Empty files are enough to fill the session: they are kept as unreadable tracks.
        for (int i = 0; i < 2047; ++i)
            ASSERT_TRUE (filler.getChildFile ("f" + juce::String (i) + ".wav").create());

        Session session;
        const auto first = session.importFiles ({ filler }, false);
        ASSERT_EQ (first.unreadable, 2047);
        EXPECT_EQ (first.messages[0], "f0.wav: The file is empty.");

        for (auto* name : { "n1.wav", "n2.wav", "n3.wav" })
            writeTinyWav (temp.file ("New").getChildFile (name));

        RecordingListener listener (session);
        const auto summary = session.importFiles ({ temp.file ("New") }, false);
        EXPECT_EQ (summary.imported, 1);
        EXPECT_EQ (summary.messages, juce::StringArray ("Stopped at the limit of 2048 tracks."));
        EXPECT_EQ (session.getTracks().size(), 2048u);
        EXPECT_EQ (listener.take(), "tracks,assignments");

        // At the limit even files already present end the import with the message.
        const auto atLimit = session.importFiles ({ filler }, false);
        EXPECT_EQ (atLimit.toText(), "0 imported");
        EXPECT_EQ (atLimit.messages, juce::StringArray ("Stopped at the limit of 2048 tracks."));
    }

    TEST (Import, UnreadableFilesAreKeptWithTheirError)
    {
        TemporaryFolder temp;
        const auto notes = temp.file ("Cue/notes.txt");
        notes.create();
        notes.replaceWithText ("not audio");
        const auto missing = temp.file ("Cue/missing.wav");

        Session session;
        RecordingListener listener (session);
        const auto summary = session.importFiles ({ notes, missing }, false);

        EXPECT_EQ (summary.toText(), "0 imported, 1 could not be read");
        EXPECT_EQ (summary.messages, juce::StringArray ("'" + missing.getFullPathName() + "' is neither a file nor a folder.", "notes.txt: Not a readable audio file, or the format is not supported."));
        EXPECT_EQ (listener.take(), "tracks"); // no automatic run for unreadable files alone

        ASSERT_EQ (session.getTracks().size(), 1u);
        const auto& track = session.getTracks()[0];
        EXPECT_EQ (track.error, "Not a readable audio file, or the format is not supported.");
        EXPECT_EQ (track.info.lengthInSamples, 0);
        EXPECT_EQ (track.reason, "");
        EXPECT_EQ (track.confidence, Confidence::unassigned);
        EXPECT_EQ (session.countReadableTracks(), 0);
        EXPECT_EQ (session.getUnassignedTracks().size(), 1u);
        EXPECT_EQ (session.getCuesWithTracks().size(), 1u); // its cue exists all the same
    }

    TEST (Import, SampleRateAndChannelWarnings)
    {
        TemporaryFolder temp;
        writeTinyWav (temp.file ("Cue/At44.wav"), 44100, 2);
        writeTinyWav (temp.file ("Cue/At48.wav"), 48000, 2);
        writeTinyWav (temp.file ("Cue/Surround.wav"), 48000, 6);
        writeTinyWav (temp.file ("Cue/At96Quad.wav"), 96000, 4);

        Session session;
        session.importFiles ({ temp.file ("Cue") }, false);

        EXPECT_EQ (trackNamed (session, "At44.wav")->warnings, juce::StringArray ("Sample rate is 44.1 kHz; it will be converted to 48.0 kHz."));
        EXPECT_TRUE (trackNamed (session, "At48.wav")->warnings.isEmpty());
        EXPECT_EQ (trackNamed (session, "Surround.wav")->warnings, juce::StringArray ("6 channels; check that the delivery expects this width."));
        EXPECT_EQ (trackNamed (session, "At96Quad.wav")->warnings,
                   juce::StringArray ("Sample rate is 96.0 kHz; it will be converted to 48.0 kHz.", "4 channels; check that the delivery expects this width."));

        // Within half a hertz of the project rate there is nothing to say.
        auto preset = makeEmptyPreset();
        preset.exportSettings.masterSampleRate = 44100.3;
        Session nearRate;
        nearRate.setPreset (preset);
        nearRate.importFiles ({ temp.file ("Cue/At44.wav") }, false);
        EXPECT_TRUE (nearRate.getTracks().at (0).warnings.isEmpty());
    }

    // A file whose metadata runs past the limit is imported, and its track says what was stepped over.
    TEST (Import, MetadataSteppedOverIsAWarning)
    {
        TemporaryFolder temp;
        const auto file = temp.file ("Tagged.wav");
        const std::vector<char> silence (16 * 4, 0);
        const auto wav = makeWavBytes (1, 2, 44100, 16, silence.data(), silence.size());

        // The chunks of a tiny stereo file, with a thousand metadata chunks of 1 MiB between them.
        std::vector<SparseChunk> chunks { { "fmt ", juce::MemoryBlock (wav.begin() + 20, 16) } };
        chunks.insert (chunks.end(), 1000, SparseChunk { "iXML", {}, 1 << 20 });
        chunks.push_back ({ "data", juce::MemoryBlock (wav.begin() + 44, wav.getSize() - 44) });
        ASSERT_TRUE (writeSparseChunkFile (file, "RIFF", "WAVE", chunks));

        Session session;
        EXPECT_EQ (session.importFiles ({ file }, false).toText(), "1 imported");
        EXPECT_EQ (session.getTracks().at (0).info.lengthInSamples, 16);
        EXPECT_EQ (session.getTracks().at (0).warnings,
                   juce::StringArray ("Sample rate is 44.1 kHz; it will be converted to 48.0 kHz.",
                                      "Its metadata comes to more than 16 MB; the 984 metadata chunk(s) after that were stepped over unread."));
    }

    TEST (Import, SummaryText)
    {
        struct Case
        {
            int imported, unreadable, alreadyInList, alreadySplit;
            const char* text;
        };

        const Case cases[] = {
            { 3, 0, 0, 0, "3 imported" },
            { 0, 1, 5, 0, "0 imported, 5 already in the list, 1 could not be read" },
            { 2, 3, 4, 2, "2 imported, 4 already in the list, 2 already split, 3 could not be read" },
            { 0, 0, 0, 1, "0 imported, 1 already split" },
        };

        for (const auto& c : cases)
        {
            ImportSummary summary;
            summary.imported = c.imported;
            summary.unreadable = c.unreadable;
            summary.alreadyInList = c.alreadyInList;

            for (int i = 0; i < c.alreadySplit; ++i)
                summary.alreadySplit.add ("x_splitted.wav");

            EXPECT_EQ (summary.toText(), c.text);
        }
    }
} // namespace
} // namespace dunmoor
