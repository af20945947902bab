#include "ReportPageFixture.h"
#include "ui/look/Theme.h"

namespace dunmoor::testing
{

TEST_F (ReportPageTest, WithoutAReportTheButtonsWaitAndThePlayerIsHidden)
{
    EXPECT_EQ (page->getHeadline().getText(), "No render yet");
    EXPECT_EQ (page->getHeadline().findColour (juce::Label::textColourId), ui::currentPalette().textSecondary);
    EXPECT_EQ (page->getDetails().getText().replace ("\n", " "), ui::noReportDetailsText);
    EXPECT_TRUE (page->getDetails().getText().contains ("\n")) << "broken into lines that fit the column";
    EXPECT_FALSE (page->getIssues().isVisible());
    EXPECT_FALSE (page->getCueList().isVisible());
    EXPECT_EQ (table().getNumRows(), 0);

    for (auto* button : { &page->getOpenInBrowserButton(), &page->getSaveHtmlButton(), &page->getSaveTextButton(), &page->getCopyListButton() })
        EXPECT_FALSE (button->isEnabled()) << button->getButtonText();

    // The output folder exists; once it is gone the button waits too.
    EXPECT_TRUE (page->getOpenFolderButton().isEnabled());

    for (auto* c : std::initializer_list<juce::Component*> { &page->getPlayer(), &page->getGrip() })
        EXPECT_FALSE (c->isVisible());

    // The report buttons sit at the bottom right, the folder button in the corner.
    EXPECT_EQ (page->getOpenFolderButton().getBounds(), juce::Rectangle<int> (1360 - 12 - 170, 860 - 12 - 30, 170, 30));
    EXPECT_EQ (page->getOpenInBrowserButton().getRight(), page->getSaveHtmlButton().getX() - 5);
    saveSnapshot (*page, "report-page-empty");

    ASSERT_TRUE (outputRoot.deleteRecursively());
    page->refresh();
    EXPECT_FALSE (page->getOpenFolderButton().isEnabled());
}

TEST_F (ReportPageTest, ThreeCuesWithAnErrorInTheSecondArriveOnTheSecond)
{
    deliver (renderThreeCuesWithTheSecondInError());

    EXPECT_EQ (page->getHeadline().getText(), "Run failed");
    EXPECT_EQ (page->getHeadline().findColour (juce::Label::textColourId), ui::currentPalette().bad);
    EXPECT_TRUE (page->getCueList().isVisible());
    EXPECT_EQ (page->getCueList().getSelectedRow(), 1);
    EXPECT_EQ (page->getSelectedCue()->cueName, "1m02 Chase");

    EXPECT_TRUE (page->getIssues().isVisible());
    EXPECT_EQ (page->getIssues().getText(), "Error: Brass: could not read horns.wav");
    EXPECT_TRUE (page->getDetails().getText().startsWith ("Length 0:00.5\n48 kHz stereo\n2 stems assigned - 0 empty stems"));
    EXPECT_EQ (shownFileNames(), juce::StringArray ({ "Proj_1m02 Chase_01_Strings.wav", "Proj_1m02 Chase_02_Brass.wav", "Proj_1m02 Chase_Full Mix.wav" }));

    // The player and its buttons are in the right column, the issues above the table.
    EXPECT_TRUE (page->getPlayer().isVisible());
    EXPECT_EQ (page->getWaveform().getHeight(), 44);
    EXPECT_LT (page->getIssues().getBottom(), table().getY());
    EXPECT_EQ (table().getBottom() + 6, page->getGrip().getY());
    EXPECT_EQ (page->getGrip().getBottom(), 860 - 12 - 164);

    // The mix in the player, with its spectrogram.
    page->showFile (2, false, 0.0);
    EXPECT_TRUE (pumpUntil ([this] { return ! page->getSpectrogram().isBusy(); }));
    EXPECT_FALSE (page->getSpectrogram().getSpectrogram().values.empty());
    page->updateTransport();
    EXPECT_EQ (page->getTimeLabel().getText(), "0:00.5");
    EXPECT_EQ (page->getFileNameLabel().getText(), "Proj_1m02 Chase_Full Mix.wav");
    EXPECT_GE (page->getFileNameLabel().getWidth(), 200) << "the name has room to show";
    saveSnapshot (*page, "report-page-three-cues");

    // Another cue from the list.
    page->getCueList().selectRow (2);
    EXPECT_EQ (page->getSelectedCue()->cueName, "1m03 Home");
    EXPECT_FALSE (page->getIssues().isVisible());
    EXPECT_EQ (table().getRow (0)->fileName, "Proj_1m03 Home_01_Strings.wav");
}

TEST_F (ReportPageTest, OneCueHidesTheListAndColoursTheHeadlineByItsWarnings)
{
    auto report = render ({ "1m01 Arrival" });
    deliver (report);

    EXPECT_FALSE (page->getCueList().isVisible());
    EXPECT_EQ (page->getHeadline().getText(), "Rendered 3 file(s)  -  stems reconstruct the mix");
    EXPECT_EQ (page->getHeadline().findColour (juce::Label::textColourId), ui::currentPalette().good);
    EXPECT_TRUE (page->getDetails().getText().startsWith ("Length 0:00.5"));
    EXPECT_EQ (table().getNumRows(), 3);

    report.cues[0].warnings.add ("1 track resampled from 44.1 kHz");
    deliver (report);
    EXPECT_EQ (page->getHeadline().findColour (juce::Label::textColourId), ui::currentPalette().warning);
    EXPECT_EQ (page->getIssues().getText(), "Warning: 1 track resampled from 44.1 kHz");

    // The verdict colour survives a palette change, which re-colours toned labels.
    auto palette = ui::defaultPalette();
    palette.warning = juce::Colour (0xffaa7700);
    page->addToDesktop (0);
    ui::applyPalette (palette);
    EXPECT_EQ (page->getHeadline().findColour (juce::Label::textColourId), palette.warning);
    ui::applyPalette (ui::defaultPalette());
}

// A refresh for the run on show (a rename, a new output folder) must not throw away what the
// user is looking at; only a new run starts over.
TEST_F (ReportPageTest, TheSameRunKeepsCueSortAndPlayerFileAndANewRunStartsOver)
{
    deliver (render ({ "1m01 Arrival", "1m02 Chase", "1m03 Home" }));
    EXPECT_EQ (page->getCueList().getSelectedRow(), 0);

    page->getCueList().selectRow (2);
    table().getTable().getHeader().setSortColumnId (ui::fileColumn, false);
    ASSERT_TRUE (pumpUntil ([this] { return table().getSortColumnId() == ui::fileColumn; }));
    page->showFile (1, false, 0.0);
    const auto file = page->getCurrentFile();

    state->setOutputFolder (temp.file ("Elsewhere"));
    pumpMessages (50);
    page->refresh();

    EXPECT_EQ (page->getCueList().getSelectedRow(), 2);
    EXPECT_EQ (table().getSortColumnId(), ui::fileColumn);
    EXPECT_EQ (page->getCurrentFile(), file);
    EXPECT_EQ (page->getCurrentRow(), 1);
    EXPECT_FALSE (page->getOpenFolderButton().isEnabled());

    deliver (renderThreeCuesWithTheSecondInError());
    EXPECT_EQ (page->getCueList().getSelectedRow(), 1);
    EXPECT_EQ (table().getSortColumnId(), ui::noSortColumn);
    EXPECT_TRUE (page->getCurrentFile().isEmpty());
}

} // namespace dunmoor::testing
