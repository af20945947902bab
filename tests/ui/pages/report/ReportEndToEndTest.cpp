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

// A delivery as a user checks it: a cue imported and exported through the Levels & Export page,
// then on the Report page its files listed as they are on disk, one renamed in the table, the
// text report saved and a file played.
TEST (ReportPageEndToEnd, ExportThenCheckRenameSaveAndPlayTheDelivery)
{
    TemporaryFolder temp;
    FakeAudioOutput::Settings audio;
    audio.pacing = FakeAudioOutput::Pacing::manual;
    auto fakeSeams = std::make_unique<FakeSeams> (std::make_shared<FakeAudioOutput> (audio));
    auto* seams = fakeSeams.get();
    auto main = std::make_unique<ui::MainComponent> (std::move (fakeSeams), freshLocations());
    main->setSize (1360, 860);
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

} // namespace dunmoor::testing
