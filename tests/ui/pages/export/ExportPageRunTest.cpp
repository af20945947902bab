#include "ExportPageFixture.h"

namespace dunmoor::testing
{
namespace
{
    using RunKind = ui::ExportRunControl::RunKind;

    struct Buttons
    {
        bool analyse, render, cancel, content;

        bool operator== (const Buttons& o) const
        {
            return analyse == o.analyse && render == o.render && cancel == o.cancel && content == o.content;
        }
    };

    Buttons buttonsOf (ui::ExportPage& page)
    {
        auto& bar = page.getRenderBar();
        return { bar.analyseButton.isEnabled(), bar.renderButton.isEnabled(), bar.cancelButton.isEnabled(), page.getContent().isEnabled() };
    }

    std::ostream& operator<< (std::ostream& s, const Buttons& b)
    {
        return s << "{ analyse " << b.analyse << ", render " << b.render << ", cancel " << b.cancel << ", content " << b.content << " }";
    }

    /** Waits, without handling messages, until the job's status text starts with the prefix. */
    bool waitForStatus (RenderJob& job, const juce::String& prefix, int timeoutMs = 20000)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

        while (juce::Time::getMillisecondCounter() < end)
        {
            const auto status = job.getStatus();

            if (status.statusText.startsWith (prefix))
                return true;

            if (! status.isRunning)
                return false;

            juce::Thread::yield();
        }

        return false;
    }

    /** An export of one cue of 20 s, started. */
    ui::ExportPage& startLongExport (ExportPageFixture& f, double seconds = 20.0)
    {
        f.writeCue ("1M01", { "Kick", "Bass", "Strings" }, seconds);
        (void) f.app->session.importFiles ({ f.temp.file ("in") }, true);
        auto& page = f.makePage();
        f.useOutputFolder();
        page.startExport();
        return page;
    }
} // namespace

TEST (ExportPageRun, ButtonsFollowTheRunState)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    EXPECT_EQ (buttonsOf (page), (Buttons { false, false, false, true })) << "no tracks yet";
    saveSnapshot (page, "export-page-settings");

    f.importCues (2);
    page.tick();
    EXPECT_EQ (buttonsOf (page), (Buttons { true, true, false, true }));
    EXPECT_EQ (page.getContent().cueCountLabel.getText(), "2 cues will be rendered one after the other, never summed together.");

    page.runAnalysis();
    EXPECT_TRUE (page.getRunControl().isAnalysing());
    EXPECT_EQ (buttonsOf (page), (Buttons { false, false, true, false }));

    ASSERT_TRUE (f.waitForRunToEnd());
    EXPECT_EQ (buttonsOf (page), (Buttons { true, true, false, true }));
    EXPECT_TRUE (page.getContent().summaryText.getText().startsWith ("Cues                2\n")) << page.getContent().summaryText.getText();
    EXPECT_EQ (page.getContent().cueList.getRows().size(), 2u);
    EXPECT_TRUE (page.getRenderBar().renderButton.isPulsing());

    // An analysis stores nothing and never switches pages.
    EXPECT_FALSE (f.app->hasLastReport);
    EXPECT_EQ (f.exportsFinished, 0);
    EXPECT_EQ (page.getRenderBar().phaseBar.getText(), "");
    saveSnapshot (page, "export-page-after-analysis");
}

TEST (ExportPageRun, PlanningErrorsStopTheAnalysis)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    f.importCues (1);

    auto preset = f.preset();
    preset.schema.stems.clear();
    f.app->session.updatePreset (preset);
    page.getRenderBar().phaseBar.setText ("left alone");

    page.runAnalysis();
    EXPECT_FALSE (page.getRunControl().isRunInFlight());
    EXPECT_TRUE (page.getContent().summaryText.getText().startsWith ("Cannot analyse:\n")) << page.getContent().summaryText.getText();
    EXPECT_FALSE (page.getRenderBar().zoomInButton.isVisible());
    EXPECT_EQ (page.getRenderBar().phaseBar.getText(), "left alone");

    // The cue list stays, its cue saying what stops it; the render button calls for nothing.
    const auto& list = page.getContent().cueList;
    ASSERT_TRUE (list.isVisible());
    ASSERT_EQ (list.getRows().size(), 1u);
    EXPECT_TRUE (list.getRows()[0].planProblem.startsWith ("This preset has no stems")) << list.getRows()[0].planProblem;
    EXPECT_FALSE (page.getRenderBar().renderButton.isPulsing());
}

TEST (ExportPageRun, NoFolderOpensTheChooser)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    f.importCues (1);
    EXPECT_EQ (page.getRenderBar().folderLabel.getText(), "No folder chosen yet");
    EXPECT_EQ (page.getRenderBar().folderLabel.getTooltip(), "Where the delivery is written.");

    page.startExport();
    ASSERT_EQ (f.seams->choosers.size(), 1u);
    EXPECT_EQ (f.seams->choosers[0].request.title, "Choose the export folder");
    EXPECT_FALSE (page.getRunControl().isRunInFlight());

    // A file where the folder should be is refused with the check's reason.
    const auto file = f.temp.make ("not a folder");
    ASSERT_TRUE (f.seams->answerChooser ({ file }));
    ASSERT_NE (f.seams->lastBox(), nullptr);
    EXPECT_EQ (f.seams->lastBox()->request.title, "That folder cannot be used");
    EXPECT_EQ (f.seams->lastBox()->request.message, "The output folder is an existing file.");
    EXPECT_EQ (f.app->outputFolder, juce::File());

    page.chooseOutputFolder();
    const auto folder = f.temp.file ("Deliveries");
    ASSERT_TRUE (f.seams->answerChooser ({ folder }));
    EXPECT_EQ (f.app->outputFolder, folder);
    EXPECT_EQ (page.getRenderBar().folderLabel.getText(), folder.getFullPathName());

    page.startExport();
    EXPECT_TRUE (page.getRunControl().isExporting());
    ASSERT_TRUE (f.waitForRunToEnd());
    EXPECT_EQ (f.exportsFinished, 1);
}

// A folder chosen from "Render and export" used to end the click there: nothing was written until
// the button was pressed again. The chooser also always opened in the music folder, and it came
// before the warnings: the user picked a folder and was then asked whether to go on at all.
TEST (ExportPageRun, AFolderChosenFromRenderGoesOnIntoTheRenderAfterItsQuestions)
{
    ExportPageFixture f;
    f.writeCue ("1M01", { "Kick", "Bass" });
    writeTone (f.temp.file ("in/1M01/Strings.wav"), 1, 9600, 48000.0, 300.0, 0.25); // mono beside stereo: a warning
    (void) f.app->session.importFiles ({ f.temp.file ("in") }, true);
    auto& page = f.makePage();

    // The question first; a Cancel there asks for no folder.
    page.startExport();
    EXPECT_TRUE (f.seams->choosers.empty());
    ASSERT_EQ (f.seams->countOpenBoxes(), 1);
    EXPECT_EQ (f.seams->lastBox()->request.title, "Continue with these warnings?");
    ASSERT_TRUE (f.seams->closeBox (false));
    EXPECT_TRUE (f.seams->choosers.empty());

    page.startExport();
    ASSERT_TRUE (f.seams->closeBox (true));
    ASSERT_EQ (f.seams->choosers.size(), 1u);
    EXPECT_EQ (f.seams->choosers[0].request.initialLocation, juce::File::getSpecialLocation (juce::File::userMusicDirectory));
    EXPECT_FALSE (page.getRunControl().isRunInFlight());

    // The folder chosen, the render starts without asking the same again.
    const auto out = f.temp.file ("Deliveries");
    ASSERT_TRUE (f.seams->answerChooser ({ out }));
    EXPECT_EQ (f.app->outputFolder, out);
    EXPECT_EQ (f.seams->boxes.size(), 2u);
    EXPECT_TRUE (page.getRunControl().isExporting());
    ASSERT_TRUE (f.waitForRunToEnd());
    EXPECT_EQ (f.exportsFinished, 1);
    EXPECT_TRUE (out.getChildFile ("1M01").isDirectory());

    // The folder button only chooses; it opens at the output folder, or the folder above it
    // when that is gone.
    page.chooseOutputFolder();
    EXPECT_EQ (f.seams->choosers.back().request.initialLocation, out);
    ASSERT_TRUE (f.seams->answerChooser ({ f.temp.file ("Later/Deliveries") }));
    EXPECT_EQ (f.seams->countOpenBoxes(), 0);
    EXPECT_FALSE (page.getRunControl().isRunInFlight());
    ASSERT_TRUE (f.temp.file ("Later/Deliveries").deleteRecursively());
    page.chooseOutputFolder();
    EXPECT_EQ (f.seams->choosers.back().request.initialLocation, f.temp.file ("Later"));
    EXPECT_EQ (f.exportsFinished, 1);
}

// With a track unassigned and no folder yet, the user had to choose or make a delivery folder
// before hearing that the export could not start.
TEST (ExportPageRun, AnExportThatCannotStartSaysSoBeforeAskingForAFolder)
{
    ExportPageFixture f;
    f.importCues (1);
    auto& page = f.makePage();
    auto preset = f.preset();
    preset.exportSettings.requireDecisionOnUnassigned = true;
    f.app->session.updatePreset (preset);
    f.app->session.assignTracks ({ f.app->session.getTracks()[0].id }, {}, false);

    page.startExport();
    EXPECT_TRUE (f.seams->choosers.empty());
    ASSERT_EQ (f.seams->boxes.size(), 1u);
    EXPECT_EQ (f.seams->lastBox()->request.title, "The export cannot start");
    EXPECT_TRUE (f.seams->lastBox()->request.message.contains ("1 track is still unassigned")) << f.seams->lastBox()->request.message;
    EXPECT_FALSE (f.seams->lastBox()->request.message.contains ("output folder")) << "the folder's checks wait for the folder";
    EXPECT_FALSE (page.getRunControl().isRunInFlight());
}

// Opening a project took its output folder after the page had refreshed: the bar went on naming
// the folder of the session before, while the render wrote to the project's.
TEST (ExportPageRun, TheBarNamesTheFolderOfAnOpenedProject)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    f.importCues (1);
    const auto projectFolder = f.useOutputFolder ("Project Deliveries");

    juce::String error;
    juce::StringArray missing;
    const auto project = f.temp.file ("Show.bkfp");
    ASSERT_TRUE (f.app->saveProject (project, error)) << error;

    f.useOutputFolder ("Elsewhere");
    ASSERT_TRUE (f.app->openProject (project, error, missing)) << error;
    ASSERT_EQ (f.app->outputFolder, projectFolder);
    EXPECT_TRUE (pumpUntil ([&page, projectFolder] { return page.getRenderBar().folderLabel.getText() == projectFolder.getFullPathName(); }, 2000))
        << page.getRenderBar().folderLabel.getText();
}

// The button used to hand the folder to the desktop and forget it: when no file browser came up,
// the user saw neither the folder's parent nor a word about it.
TEST (ExportPageRun, OpenFolderShowsTheFolderElseItsParentElseSaysSo)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    auto& button = page.getRenderBar().openFolderButton;

    // Before a folder was chosen, and before the first render made it, the button did nothing.
    struct Case
    {
        juce::String folder;
        const char* title;
        const char* saysToPress;
    };

    for (const auto& c : { Case { {}, "No render folder yet", "\"Choose render folder\"" },
                           Case { f.temp.file ("Deliveries").getFullPathName(), "The render folder does not exist yet", "\"Render and export\"" } })
    {
        if (c.folder.isNotEmpty())
            f.useOutputFolder ("Deliveries");

        const auto boxes = f.seams->boxes.size();
        click (button);
        ASSERT_EQ (f.seams->boxes.size(), boxes + 1) << c.title;
        EXPECT_EQ (f.seams->lastBox()->request.title, c.title);
        EXPECT_TRUE (f.seams->lastBox()->request.message.contains (c.saysToPress)) << f.seams->lastBox()->request.message;
        EXPECT_TRUE (c.folder.isEmpty() || f.seams->lastBox()->request.message.contains (c.folder));
        EXPECT_TRUE (f.seams->opened.empty()) << "a folder not made yet opens nothing";
    }

    const auto folder = f.temp.file ("Deliveries");

    ASSERT_TRUE (folder.createDirectory());
    click (button);
    ASSERT_EQ (f.seams->opened.size(), 1u);
    EXPECT_EQ (f.seams->opened[0].kind, ui::Seams::OpenKind::folder);
    EXPECT_EQ (f.seams->opened[0].target, folder.getFullPathName());

    f.seams->openOutcome = { false, "No file browser." };
    const auto boxes = f.seams->boxes.size();
    click (button);
    ASSERT_TRUE (pumpUntil ([&f, boxes] { return f.seams->boxes.size() > boxes; }));
    ASSERT_EQ (f.seams->opened.size(), 3u);
    EXPECT_EQ (f.seams->opened[2].target, folder.getParentDirectory().getFullPathName());
    EXPECT_EQ (f.seams->lastBox()->request.title, "The folder was not opened");
    EXPECT_EQ (f.seams->lastBox()->request.message, "No file browser.");
}

// Planning used to create every cue folder, so a refused question left folders behind.
TEST (ExportPageRun, WarningsAskAndCancelWritesNothing)
{
    ExportPageFixture f;
    f.writeCue ("1M01", { "Kick", "Bass" });
    writeTone (f.temp.file ("in/1M01/Strings.wav"), 1, 9600, 48000.0, 300.0, 0.25);   // mono beside stereo: a warning
    (void) f.app->session.importFiles ({ f.temp.file ("in") }, true);
    auto& page = f.makePage();
    const auto out = f.useOutputFolder ("deliveries/today");

    page.startExport();
    ASSERT_NE (f.seams->lastBox(), nullptr);
    EXPECT_EQ (f.seams->lastBox()->request.title, "Continue with these warnings?");
    EXPECT_TRUE (f.seams->lastBox()->request.message.contains ("mono and multi-channel"));
    EXPECT_FALSE (page.getRunControl().isRunInFlight());

    ASSERT_TRUE (f.seams->closeBox (false));
    pumpMessages (50);
    EXPECT_FALSE (f.temp.file ("deliveries").exists());
    EXPECT_FALSE (page.getRunControl().isRunInFlight());

    page.startExport();
    ASSERT_TRUE (f.seams->closeBox (true));
    EXPECT_TRUE (page.getRunControl().isExporting());
    ASSERT_TRUE (f.waitForRunToEnd());

    EXPECT_TRUE (f.app->hasLastReport);
    EXPECT_GT (f.app->lastReport.countFilesWritten(), 0);
    EXPECT_TRUE (out.getChildFile ("1M01").isDirectory());
    EXPECT_EQ (f.exportsFinished, 1);
    EXPECT_EQ (page.getRenderBar().phaseBar.getText(), "Last render finished.");
    EXPECT_EQ (page.getRenderBar().phaseBar.getSegments().getProgress(), 1.0);

    // The summary counts what was written.
    const auto files = f.app->lastReport.countFilesWritten();
    EXPECT_TRUE (page.getContent().summaryText.getText().contains ("Files written       " + juce::String (files) + "  ("));

    // Errors block with a box of their own and start nothing.
    auto preset = f.preset();
    preset.exportSettings.requireDecisionOnUnassigned = true;
    f.app->session.updatePreset (preset);
    const auto& unassigned = f.app->session.getTracks()[0];
    f.app->session.assignTracks ({ unassigned.id }, {}, false);
    page.startExport();
    EXPECT_EQ (f.seams->lastBox()->request.title, "The export cannot start");

    // The box names the cue and the track that need a decision, and the setting behind the refusal.
    const auto* cue = f.app->session.findCue (unassigned.cueKey);
    ASSERT_NE (cue, nullptr);
    EXPECT_TRUE (f.seams->lastBox()->request.message.contains (cue->name + ": 1 track is still unassigned: " + unassigned.file.getFileName() + "."))
        << f.seams->lastBox()->request.message;
    EXPECT_TRUE (f.seams->lastBox()->request.message.contains ("\"Refuse to export while tracks are unassigned\" on the Levels & Export page"));
    EXPECT_FALSE (page.getRunControl().isRunInFlight());
}

// "Export cancelled." used to last one tick before an older export's text replaced it, and the
// old job refilled the cleared bar.
TEST (ExportPageRun, CancelKeepsTheOldReportAndItsText)
{
    struct Case
    {
        const char* name;
        bool sharedGain;
        const char* cancelAt;
    };

    const Case cases[] { { "cue 2 of 3", false, "[2/3]" }, { "shared-gain pass", true, "Measuring 1M02" } };

    for (const auto& c : cases)
    {
        ExportPageFixture f;
        f.writeCue ("1M01", { "Kick", "Bass" });
        f.writeCue ("1M02", { "Kick", "Bass", "Strings" }, 20.0);
        f.writeCue ("1M03", { "Kick", "Bass" });
        (void) f.app->session.importFiles ({ f.temp.file ("in") }, true);
        auto& page = f.makePage();
        f.useOutputFolder();

        if (c.sharedGain)
        {
            page.getContent().gainScopeCombo.setSelectedId (2, juce::sendNotificationSync);
            ASSERT_EQ (f.preset().exportSettings.batch.gainMode, BatchGainMode::sharedAcrossBatch);
        }

        // A previous export, whose report stays.
        page.startExport();
        ASSERT_TRUE (f.waitForRunToEnd (60000)) << c.name;
        ASSERT_TRUE (f.app->hasLastReport);
        const auto previousRun = f.app->lastReportRun;
        const auto previousSummary = page.getContent().summaryText.getText();

        page.startExport();
        ASSERT_NE (page.getRenderJob(), nullptr);
        ASSERT_TRUE (waitForStatus (*page.getRenderJob(), c.cancelAt)) << c.name << ": " << page.getRenderJob()->getStatus().statusText;
        click (page.getRenderBar().cancelButton);
        pumpMessages (30);
        ASSERT_TRUE (f.waitForRunToEnd (60000)) << c.name;

        EXPECT_EQ (page.getRenderBar().phaseBar.getText(), "Export cancelled.") << c.name;
        EXPECT_TRUE (page.getRenderBar().phaseBar.getSegments().getSegments().empty()) << c.name;
        EXPECT_EQ (f.app->lastReportRun, previousRun) << c.name;
        EXPECT_EQ (page.getContent().summaryText.getText(), previousSummary) << c.name;
        EXPECT_EQ (f.exportsFinished, 1) << c.name;

        // Ticks later the text stands and the bar stays empty.
        for (int i = 0; i < 5; ++i)
            page.tick();

        EXPECT_EQ (page.getRenderBar().phaseBar.getText(), "Export cancelled.") << c.name;
        EXPECT_TRUE (page.getRenderBar().phaseBar.getSegments().getSegments().empty()) << c.name;
    }
}

TEST (ExportPageRun, CancelAfterTheLastCueDelivers)
{
    ExportPageFixture f;
    f.importCues (2);
    auto& page = f.makePage();
    f.useOutputFolder();

    page.startExport();
    ASSERT_NE (page.getRenderJob(), nullptr);
    ASSERT_TRUE (page.getRenderJob()->waitForThreadToExit (-1));
    click (page.getRenderBar().cancelButton);
    pumpMessages (20);
    ASSERT_TRUE (f.waitForRunToEnd());

    EXPECT_TRUE (f.app->hasLastReport);
    EXPECT_EQ (f.exportsFinished, 1);
    EXPECT_EQ (page.getRenderBar().phaseBar.getText(), "Last render finished.");
}

TEST (ExportPageRun, PageDestroyedMidRender)
{
    ExportPageFixture f;
    auto& page = startLongExport (f);
    ASSERT_TRUE (page.isRendering());
    pumpMessages (30);
    f.page.reset();     // cancels, waits for the thread; the completion finds no page
    pumpMessages (100);

    EXPECT_FALSE (f.app->hasLastReport);
    EXPECT_EQ (f.exportsFinished, 0);
}

TEST (ExportPageRun, MidExportSnapshot)
{
    ExportPageFixture f;
    // Long enough that the page is seen past its first phase before the render is over, on a
    // loaded machine too: a 20-second cue renders in a fraction of a second.
    auto& page = startLongExport (f, 120.0);
    ASSERT_NE (page.getRenderJob(), nullptr);
    ASSERT_TRUE (pumpUntil ([&] { return page.getRenderBar().phaseBar.getSegments().getFilledEnd() > 0.3; }, 30000));
    EXPECT_FALSE (page.getContent().isEnabled());
    EXPECT_TRUE (page.getRenderBar().phaseBar.getText().isNotEmpty());
    saveSnapshot (page, "export-page-mid-export");
    ASSERT_TRUE (f.waitForRunToEnd (60000));
}

} // namespace dunmoor::testing
