#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "core/render/CueRender.h"
#include "ui/FakeSeams.h"
#include "ui/FitCheck.h"
#include "ui/UiTestSupport.h"
#include "ui/pages/export/ExportPage.h"
#include "ui/pages/import/ImportPage.h"
#include "ui/pages/report/ReportPage.h"
#include "ui/shell/MainComponent.h"
#include "ui/shell/SettingsDialog.h"

namespace dunmoor::ui
{
namespace
{

/** How the run the pages show went. */
enum class RunShape
{
    threeCues,  // every cue delivered
    oneCue,     // one cue delivered, its stems reconstructing its mix; the Levels & Export page shows its analysis
    cueNotRead, // every cue delivered, one without a track it could not read: that cue needs attention
    cueFailed   // the null test of one cue failed and nothing of it was delivered: the run failed
};

/**
    Every page as a busy delivery shows it: three cues of long-named tracks, the example preset
    and a report of thirty files whose names differ only near their end, at the smallest window
    and a large one, at the smallest, normal and largest interface size. What a page says about
    the run is also checked after a run of one cue and after runs in which a cue went wrong.
*/
struct PagesFitTest : ::testing::Test
{
    PagesFitTest()
    {
        clearUserData();
        main = std::make_unique<MainComponent> (std::make_unique<testing::FakeSeams>());
    }

    ~PagesFitTest() override
    {
        main.reset();
        applyUiScale (100);
        clearUserData();
    }

    static void clearUserData()
    {
        juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile ("Brackenfold").deleteRecursively();
    }

    static constexpr const char* cueNames[] = { "1M01 Opening Titles", "2M14 The Long Way Round the Harbour", "3M22 End Credits Suite" };

    static constexpr const char* parts[] = { "Violins 1 Sustain Legato Close Mics", "Violins 2 Spiccato Tree", "Violas Tremolo Surround",
                                             "Celli and Basses Pizzicato Wide", "French Horns a4 Sforzando", "Trumpets Muted Staccato",
                                             "Low Brass Swells Outriggers", "Taiko Ensemble Hits Room", "Sub Boom Designed Impacts",
                                             "Synth Pulse Arpeggio Sidechained", "Choir Ahs Soprano Alto Divisi" };

    void loadSession()
    {
        auto& state = main->getAppState();
        // Two alternative mixes, so that their headings show on the Preset & Stems page.
        auto preset = makeHybridOrchestraExamplePreset();
        for (const auto* name : { "Instrumental", "Underscore without drums and percussion" })
        {
            AlternativeMix mix;
            mix.id = juce::Uuid().toDashedString();
            mix.name = name;
            mix.stemIds.add (preset.schema.stems.front().id);
            preset.schema.alternativeMixes.push_back (mix);
        }

        state.session.setPreset (preset);

        juce::AudioBuffer<float> buffer (1, 4800);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (0, i, 0.2f * std::sin ((float) i * 0.05f));

        int written = 0;
        for (const auto* cue : cueNames)
        {
            const auto folder = temp.file ("Tracks").getChildFile (cue);
            ASSERT_TRUE (folder.createDirectory());

            for (const auto* part : parts)
            {
                if (written++ == 32)
                    break;

                ASSERT_TRUE (testing::writeAudioFile (folder.getChildFile (juce::String (cue) + " " + part + ".wav"), "wav", buffer, 48000.0, 24));
            }
        }

        (void) state.session.importFiles ({ temp.file ("Tracks") }, true);
        ASSERT_EQ (state.session.getTracks().size(), 32u);
        ASSERT_EQ (state.session.getCuesWithTracks().size(), 3u);
    }

    /** A cue that wrote ten files whose names differ only near their end. */
    CueReport makeDeliveredCue (const char* cueName, const juce::File& outputRoot)
    {
        CueReport cue;
        cue.ok = true;
        cue.cueName = cueName;
        cue.sampleRate = 48000.0;
        cue.outputFolder = outputRoot.getChildFile (cueName);
        EXPECT_TRUE (cue.outputFolder.createDirectory());

        for (int i = 1; i <= 10; ++i)
        {
            WrittenFile file;
            file.file = cue.outputFolder.getChildFile (juce::String (cueName) + "_" + juce::String (i).paddedLeft ('0', 2) + "_" + juce::String (parts[i - 1]).upToFirstOccurrenceOf (" ", false, false) + ".wav");
            EXPECT_TRUE (file.file.replaceWithText ("x"));
            file.fileSize = 1;
            file.peakDb = -3.5;
            file.settingsDescription = "WAV 24bit 48kHz 2ch";
            cue.files.push_back (file);
        }

        return cue;
    }

    /** What the render measured of the session's cue, with the longest texts its levels give:
        the gain held at 0 dB, tracks left unassigned. */
    void addMeasurements (CueReport& cue) const
    {
        const auto& session = main->getAppState().session;

        for (const auto& sessionCue : session.getCuesWithTracks())
            if (sessionCue.name == cue.cueName)
                cue.cueKey = sessionCue.key;

        int index = 0;
        for (const auto& stem : session.getPreset().schema.stems)
        {
            StemReport report;
            report.id = stem.id;
            report.name = stem.displayName;
            report.index = ++index;

            for (const auto& track : session.getTracks())
                if (track.cueKey == cue.cueKey && track.stemId == stem.id)
                    ++report.trackCount;

            report.isEmpty = report.trackCount == 0;
            report.measured = true;
            report.isDigitalSilence = report.isEmpty;
            cue.stems.push_back (report);
        }

        for (const auto& track : session.getTracks())
            if (track.cueKey == cue.cueKey && track.stemId.isEmpty())
                cue.unassignedTracks.add (track.file.getFileName());

        cue.levelsMeasured = true;
        cue.numChannels = 2;
        cue.lengthInFrames = 4800;
        cue.mixSamplePeak = 0.2;
        cue.mixTruePeak = 0.21;
        cue.afterSamplePeak = 0.2;
        cue.afterTruePeak = 0.21;
        cue.gain.peakDb = -13.56;
        cue.gain.targetDb = -1.0;
        cue.gain.predictedPeakDb = -13.56;
        cue.gain.heldAtZero = true;
        cue.leadingSilenceSeconds = 0.25;
    }

    BatchReport makeReport (RunShape run)
    {
        BatchReport report;
        report.allOk = true;
        report.outputRoot = temp.file ("Deliveries");

        if (run == RunShape::oneCue)
        {
            auto cue = makeDeliveredCue (cueNames[1], report.outputRoot);
            addMeasurements (cue);
            cue.reconstruction.state = ReconstructionState::passed;
            report.cues.push_back (cue);
            return report;
        }

        for (const auto* cueName : cueNames)
            report.cues.push_back (makeDeliveredCue (cueName, report.outputRoot));

        if (run == RunShape::threeCues)
            return report;

        auto& cue = report.cues[1];
        addMeasurements (cue);
        const auto trackName = juce::String (cueNames[1]) + " " + parts[1] + ".wav";

        if (run == RunShape::cueNotRead)
        {
            // The warning and the track as the plan reports a track that holds no audio.
            const juce::String reason ("The file contains no audio.");
            cue.unreadableTracks.push_back ({ trackName, reason, cue.stems.front().id });
            cue.warnings.add ("'" + trackName + "' could not be read and is excluded: " + reason);
        }
        else
        {
            cue.ok = false;
            cue.files.clear();
            cue.reconstruction.state = ReconstructionState::failed;
            cue.reconstruction.detail = "Residual peak -61.23 dB (tolerance -84.29 dB), RMS -79.51 dB.";
            cue.errors.add ("Reconstruction check failed: " + cue.reconstruction.detail);
            cue.warnings.add (leftUntouchedMessage (cue.outputFolder, true));
            report.allOk = false;
        }

        return report;
    }

    void showRun (RunShape run)
    {
        auto& state = main->getAppState();
        auto report = makeReport (run);

        // A run of one cue is what its analysis showed first.
        if (run == RunShape::oneCue)
            main->getExportPage()->formatBatchSummary (report, ExportPage::RunKind::analysis);

        state.setOutputFolder (report.outputRoot);
        state.setLastReport (std::move (report));
        main->refreshFooter();
        testing::pumpMessages (100);

        // The players show the longest names there are: a track of the longest cue, a file of
        // the second cue.
        const Track* longest = nullptr;
        for (const auto& track : state.session.getTracks())
            if (longest == nullptr || track.file.getFileName().length() > longest->file.getFileName().length())
                longest = &track;

        main->getImportPage()->showSelection (longest->file, longest->id);

        if (run != RunShape::oneCue)
            main->getReportPage()->getCueList().selectRow (1);

        main->getReportPage()->showFile (9, false, 0.0);
        testing::pumpMessages (100);
    }

    /** What does not fit on any page at either window and any interface size; snapshots of each
        at the normal and largest size, their names starting with the prefix. */
    juce::StringArray checkEveryPage (const juce::String& prefix)
    {
        const char* pageNames[] = { "import", "preset", "review", "export", "report" };
        const juce::Rectangle<int> windows[] = { { 1100, 720 }, { 1600, 1000 } };
        juce::StringArray found;

        for (const auto percent : { 80, 100, 120 })
        {
            applyUiScale (percent);

            for (const auto& window : windows)
            {
                main->setBounds (window);
                const auto where = juce::String (window.getWidth()) + "x" + juce::String (window.getHeight()) + " at " + juce::String (percent) + " %, ";

                for (int page = 0; page < 5; ++page)
                {
                    main->showPage ((Page) page);
                    testing::pumpMessages (30);

                    for (const auto& finding : testing::FitCheck::check (*main))
                        found.addIfNotAlreadyThere (where + pageNames[page] + ": " + finding.where + ": " + finding.what);

                    // What the screen shows, in the screen's own pixels; the settings of the Levels &
                    // Export page also whole, as scrolling shows them.
                    if (percent != 80)
                    {
                        const auto name = prefix + juce::String (pageNames[page]) + "-" + juce::String (window.getWidth()) + "x" + juce::String (window.getHeight()) + "-" + juce::String (percent);
                        testing::saveSnapshot (*main, name, (float) percent / 100.0f);

                        if (page == (int) Page::levelsAndExport)
                            testing::saveSnapshot (main->getExportPage()->getContent(), name + "-settings", (float) percent / 100.0f);
                    }
                }
            }
        }

        return found;
    }

    testing::TemporaryFolder temp;
    std::unique_ptr<MainComponent> main;
};

TEST_F (PagesFitTest, EveryPageAndTheSettingsDialogFitAtEverySizeAndScale)
{
    loadSession();
    showRun (RunShape::threeCues);
    auto found = checkEveryPage ("fit-");

    for (const auto percent : { 80, 100, 120 })
    {
        applyUiScale (percent);
        SettingsDialog dialog (percent, PaletteChoice::custom, {});
        for (const auto& finding : testing::FitCheck::check (dialog))
            found.addIfNotAlreadyThere ("settings at " + juce::String (percent) + " %: " + finding.where + ": " + finding.what);

        if (percent == 120)
            testing::saveSnapshot (dialog, "fit-settings-120", 1.2f);
    }

    EXPECT_TRUE (found.isEmpty()) << found.size() << " finding(s):\n" << found.joinIntoString ("\n");
}

// The headline, the cue list, a cue's details and issues and the analysis summary change with
// the run: a run of one cue says more in its headline than a run of several.
TEST_F (PagesFitTest, WhatThePagesSayAboutARunFitsAfterOneCueAndAfterACueThatWentWrong)
{
    loadSession();

    const std::pair<RunShape, const char*> runs[] = { { RunShape::oneCue, "one-cue" }, { RunShape::cueNotRead, "cue-not-read" }, { RunShape::cueFailed, "cue-failed" } };

    for (const auto& [run, name] : runs)
    {
        showRun (run);
        const auto found = checkEveryPage ("fit-" + juce::String (name) + "-");
        EXPECT_TRUE (found.isEmpty()) << "after the run " << name << ", " << found.size() << " finding(s):\n" << found.joinIntoString ("\n");
    }
}

} // namespace
} // namespace dunmoor::ui
