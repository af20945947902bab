#include <tuple>

#include "TestFolder.h"
#include "core/model/BuiltInPresets.h"
#include "render/RenderTestSupport.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/UiTestSupport.h"
#include "ui/pages/export/ExportPage.h"
#include "ui/pages/report/DeliveryTable.h"
#include "ui/pages/report/ReportPage.h"
#include "ui/shell/MainComponent.h"

namespace dunmoor::testing
{
namespace
{
    /** The main component at 1360 x 860 over fake seams, its audio rendered only when asked. */
    struct MainWithFakes
    {
        MainWithFakes()
        {
            FakeAudioOutput::Settings audio;
            audio.pacing = FakeAudioOutput::Pacing::manual;
            auto fakeSeams = std::make_unique<FakeSeams> (std::make_shared<FakeAudioOutput> (audio));
            seams = fakeSeams.get();
            main = std::make_unique<ui::MainComponent> (std::move (fakeSeams), freshLocations());
            main->setSize (1360, 860);
        }

        FakeSeams* seams = nullptr;
        std::unique_ptr<ui::MainComponent> main;
    };
} // namespace

// A delivery as a user checks it: a cue imported and exported through the Levels & Export page,
// then on the Report page its files listed as they are on disk, one renamed in the table, the
// text report saved and a file played.
TEST (ReportPageEndToEnd, ExportThenCheckRenameSaveAndPlayTheDelivery)
{
    TemporaryFolder temp;
    MainWithFakes window;
    auto* seams = window.seams;
    auto& main = window.main;
    auto& app = main->getAppState();
    app.session.setPreset (makeHybridOrchestraExamplePreset());

    for (const auto* name : { "Kick", "Bass", "Strings" })
        writeTone (temp.file (juce::String ("in/1M01/") + name + ".wav"), 2, 24000, 48000.0, 220.0, 0.25);

    (void) app.session.importFiles ({ temp.file ("in") }, true);
    ASSERT_EQ (app.session.getUnassignedTracks().size(), 0u);

    main->showPage (ui::Page::levelsAndExport);
    auto& exportPage = *main->getExportPage();
    pressEnabled (exportPage.getRenderBar().chooseFolderButton);
    const auto out = temp.file ("Deliveries");
    ASSERT_TRUE (seams->answerChooser ({ out }));

    pressEnabled (exportPage.getRenderBar().renderButton);

    // The export may ask to go on past warnings.
    if (seams->lastBox() != nullptr && seams->lastBox()->question)
    {
        ASSERT_TRUE (seams->closeBox (true));
    }

    ASSERT_TRUE (pumpUntil ([&] { return main->getCurrentPage() == ui::Page::report; }, 60000));
    auto& page = *main->getReportPage();
    auto& table = page.getDeliveryTable();
    ASSERT_TRUE (pumpUntil ([&] { return page.getShownRun() == app.lastReportRun; }));

    // Every row is a file on disk, and every file written is a row.
    juce::StringArray rows;

    for (int i = 0; i < table.getNumRows(); ++i)
    {
        const auto* row = table.getRow (i);
        EXPECT_TRUE (row->file.existsAsFile()) << row->file.getFullPathName();
        EXPECT_EQ (row->sizeBytes, row->file.getSize()) << row->fileName;
        rows.add (row->file.getRelativePathFrom (out));
    }

    rows.sort (false);
    EXPECT_EQ (rows, listFilesBelow (out));
    EXPECT_TRUE (page.getHeadline().getText().startsWith ("Rendered " + juce::String (rows.size()) + " file(s)"));

    // A rename in the table moves the file and the report with it.
    const auto oldFile = table.getRow (0)->file;
    table.startRename (0);
    table.getRenameEditor().setText ("Checked", false);
    table.getRenameEditor().keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (pumpUntil ([&] { return ! table.isRenaming(); }));
    const auto newFile = oldFile.getSiblingFile ("Checked" + oldFile.getFileExtension());
    EXPECT_FALSE (oldFile.exists());
    EXPECT_TRUE (newFile.existsAsFile());
    EXPECT_EQ (app.lastReport.cues[0].files[0].file, newFile);
    EXPECT_EQ (table.getRow (0)->file, newFile);

    // The text report, saved where the chooser says, names the renamed file.
    pressEnabled (page.getSaveTextButton());
    const auto saved = temp.file ("report.txt");
    ASSERT_TRUE (seams->answerChooser ({ saved }));
    EXPECT_TRUE (saved.loadFileAsString().contains ("Checked" + oldFile.getFileExtension()));
    EXPECT_TRUE (saved.loadFileAsString().contains ("\r\n"));

    // A click plays the file (Autoplay is on).
    table.cellClicked (1, ui::kindColumn, mouseEventAt (table, { 5.0f, 5.0f }));
    EXPECT_EQ (app.previewEngine.getRequestedSourceId(), "delivered:" + table.getRow (1)->file.getFullPathName());

    main.reset();
}

// Two projects without a project name rendered into one folder on one day proposed the same
// report names, so saving the second run's reports where the chooser proposed replaced the first
// run's. Each run's reports are named after its project, and a name already taken in the folder
// is never proposed again.
TEST (ReportPageEndToEnd, TwoProjectsRenderedIntoOneFolderKeepTheirReports)
{
    TemporaryFolder temp;
    MainWithFakes window;
    auto* seams = window.seams;
    auto& main = window.main;
    auto& app = main->getAppState();
    const auto out = temp.file ("Deliveries");
    ASSERT_TRUE (out.createDirectory());
    app.setOutputFolder (out);

    // A project of two cues, saved, then exported into the one folder.
    auto renderProject = [&] (const juce::String& project, const juce::StringArray& cues)
    {
        app.newProject();
        auto preset = makeHybridOrchestraExamplePreset();
        preset.metadata.project.clear();
        app.session.setPreset (preset);

        for (const auto& cue : cues)
            for (const auto* name : { "Kick", "Bass", "Strings" })
                writeTone (temp.file ("in/" + project + "/" + cue + "/" + name + ".wav"), 2, 4800, 48000.0, 220.0, 0.25);

        (void) app.session.importFiles ({ temp.file ("in/" + project) }, true);
        juce::String error;
        ASSERT_TRUE (app.saveProject (temp.file ("projects/" + project + ".bkfp"), error)) << error;

        const auto run = app.lastReportRun;
        main->showPage (ui::Page::levelsAndExport);
        pressEnabled (main->getExportPage()->getRenderBar().renderButton);

        // The export may ask to go on past warnings.
        ASSERT_TRUE (pumpUntil ([&] { return app.lastReportRun > run || seams->closeBox (true); }, 60000));
        ASSERT_TRUE (pumpUntil ([&] { return app.lastReportRun > run; }, 60000));
        ASSERT_EQ (app.lastReport.cues.size(), (size_t) cues.size());
        ASSERT_TRUE (app.lastReport.allOk);
        ASSERT_TRUE (pumpUntil ([&] { return main->getCurrentPage() == ui::Page::report && main->getReportPage()->getShownRun() == app.lastReportRun; }));
    };

    // Both reports saved where the chooser proposes, which must be a file not there yet.
    auto saveReports = [&]
    {
        auto& page = *main->getReportPage();
        juce::Array<juce::File> saved;

        for (auto* button : { &page.getSaveTextButton(), &page.getSaveHtmlButton() })
        {
            const auto choosers = seams->choosers.size();
            pressEnabled (*button);

            if (seams->choosers.size() != choosers + 1)
            {
                ADD_FAILURE() << "no chooser for " << button->getButtonText();
                continue;
            }

            const auto proposed = seams->choosers.back().request.initialLocation;
            EXPECT_EQ (proposed.getParentDirectory(), out);
            EXPECT_FALSE (proposed.exists()) << proposed.getFullPathName();
            EXPECT_TRUE (seams->answerChooser ({ proposed }));
            EXPECT_TRUE (proposed.existsAsFile()) << proposed.getFullPathName();
            saved.add (proposed);
        }

        return saved;
    };

    renderProject ("Alpha", { "1M01", "1M02" });
    ASSERT_FALSE (HasFatalFailure());
    const auto alpha = saveReports();
    EXPECT_TRUE (alpha[0].getFileName().startsWith ("Brackenfold report - Alpha - ")) << alpha[0].getFileName();

    renderProject ("Beta", { "2M01", "2M02" });
    ASSERT_FALSE (HasFatalFailure());
    const auto beta = saveReports();
    EXPECT_TRUE (beta[1].getFileName().startsWith ("Brackenfold report - Beta - ")) << beta[1].getFileName();

    // The same project again, in the same minute or not: a report of its own beside the first.
    renderProject ("Beta", { "2M01", "2M02" });
    ASSERT_FALSE (HasFatalFailure());
    const auto betaAgain = saveReports();

    for (const auto& [files, mine, theirs] : { std::make_tuple (alpha, "1M01", "2M01"), std::make_tuple (beta, "2M01", "1M01"),
                                               std::make_tuple (betaAgain, "2M01", "1M01") })
    {
        for (const auto& file : files)
        {
            const auto content = file.loadFileAsString();
            EXPECT_TRUE (content.contains (mine)) << file.getFileName();
            EXPECT_FALSE (content.contains (theirs)) << file.getFileName();
        }
    }

    juce::StringArray names;

    for (const auto& file : juce::RangedDirectoryIterator (out, false, "Brackenfold report*", juce::File::findFiles))
        names.add (file.getFile().getFileName());

    EXPECT_EQ (names.size(), 6) << names.joinIntoString ("\n");
    main.reset();
}

} // namespace dunmoor::testing
