#include "ReportPageFixture.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/Theme.h"

namespace dunmoor::testing
{

TEST_F (ReportPageTest, SortingThroughTheHeaderKeepsTiesAndFollowsThePlayersFile)
{
    deliver (handMadeReport ({ { "Cue 10.wav", -1.0 }, { "Cue 2.wav", -6.0 }, { "cue 2.wav", -3.0 }, { "Cue Mix.wav", -400.0 } }));
    page->showFile (0, false, 0.0);
    ASSERT_EQ (page->getCurrentFile(), outputRoot.getChildFile ("1m01/Cue 10.wav").getFullPathName());

    auto& header = table().getTable().getHeader();
    const auto sortBy = [&] (int column, bool forwards)
    {
        header.setSortColumnId (column, forwards);
        EXPECT_TRUE (pumpUntil ([&] { return table().getSortColumnId() == column && table().isSortedForwards() == forwards; }));
    };

    sortBy (ui::fileColumn, true);
    EXPECT_EQ (shownFileNames(), juce::StringArray ({ "Cue 2.wav", "cue 2.wav", "Cue 10.wav", "Cue Mix.wav" }));
    EXPECT_EQ (page->getCurrentRow(), 2);
    EXPECT_EQ (table().getTable().getSelectedRow(), 2);

    sortBy (ui::peakColumn, true);
    EXPECT_EQ (shownFileNames(), juce::StringArray ({ "Cue 2.wav", "cue 2.wav", "Cue 10.wav", "Cue Mix.wav" }));

    sortBy (ui::peakColumn, false);
    EXPECT_EQ (shownFileNames(), juce::StringArray ({ "Cue Mix.wav", "Cue 10.wav", "cue 2.wav", "Cue 2.wav" }));
    EXPECT_EQ (page->getCurrentRow(), 1);
    EXPECT_EQ (table().getTable().getSelectedRow(), 1);
    EXPECT_EQ (page->getCurrentFile(), outputRoot.getChildFile ("1m01/Cue 10.wav").getFullPathName());
}

// In a narrow window every name was cut to the same "1M01 Opening Titles_0…": a name too long
// for its cell loses its middle, and the cell's tooltip has it whole.
TEST_F (ReportPageTest, LongFileNamesKeepTheirEndAndShowWholeInTheTooltip)
{
    const juce::String longName ("1M01 Opening Titles and the Long Way Round the Harbour_09_Bass.wav");
    deliver (handMadeReport ({ { longName, -1.0 }, { "Short.wav", -2.0 } }));
    page->setSize (1100, 720);

    auto& model = table();
    const auto row = shownFileNames().indexOf (longName);
    ASSERT_GE (row, 0);
    EXPECT_EQ (model.getCellTooltip (row, ui::fileColumn), longName);
    EXPECT_EQ (model.getCellTooltip (shownFileNames().indexOf ("Short.wav"), ui::fileColumn), "") << "a whole name needs no tooltip";
    EXPECT_EQ (model.getCellTooltip (row, ui::peakColumn), "") << "numbers are squeezed, never shortened";

    // The File column keeps at least its minimum and the header captions fit.
    auto& header = model.getTable().getHeader();
    for (int i = 0; i < header.getNumColumns (true); ++i)
        EXPECT_GE (header.getColumnWidth (header.getColumnIdOfIndex (i, true)), ui::AppLookAndFeel::minimumHeaderColumnWidth (header.getColumnName (header.getColumnIdOfIndex (i, true)), false, 28)) << i;
}

// At the smallest window a delivery of long names showed its peaks and sizes as "-18.…" and
// "65.…": numbers are squeezed rather than cut, so their columns keep the room the squeezed
// numbers need, whatever else gives way.
TEST_F (ReportPageTest, NumbersAreWholeAtTheSmallestWindow)
{
    std::vector<std::pair<juce::String, double>> files;

    for (const auto* stem : { "01_Percussion Low", "02_Brass", "03_Strings", "04_Piano", "05_Bass", "06_Choir", "07_Vocals", "Full Mix" })
        files.push_back ({ juce::String ("1M01 Opening Titles_") + stem + ".wav", -18.25 });

    auto report = handMadeReport (files);

    for (auto& file : report.cues[0].files)
        file.fileSize = 69123456;

    deliver (std::move (report));
    page->setSize (1100, 720);

    auto& model = table();
    auto& header = model.getTable().getHeader();

    for (const auto column : { ui::peakColumn, ui::sizeColumn, ui::lengthColumn, ui::tracksColumn })
    {
        for (int row = 0; row < (int) files.size(); ++row)
        {
            const auto text = ui::getDeliveryCellText (*model.getRow (row), column);
            const auto squeezed = (int) std::ceil ((float) ui::measureTextWidthCeil (ui::fontPlain14_5(), text) * 0.7f);
            EXPECT_GE (header.getColumnWidth (column) - 16, squeezed) << header.getColumnName (column) << ": " << text;
        }
    }
}

// At the smallest window the columns shared the table in proportion, and the File column was
// left too narrow for any name: the others now give way first, each to its caption's room, and
// Format last but one.
TEST_F (ReportPageTest, AtTheSmallestWindowTheFileColumnIsWidest)
{
    struct Case
    {
        const char* prefix;
        bool formatWhole;
    };

    for (const auto& c : { Case { "2M14 The Long Way Round the Harbour_", false }, Case { "2M14_", true } })
    {
        std::vector<std::pair<juce::String, double>> files;
        for (const auto* part : { "01_Violins", "06_Trumpets", "09_Sub" })
            files.push_back ({ juce::String (c.prefix) + part + ".wav", -3.5 });

        deliver (handMadeReport (files));
        page->setSize (1100, 720);

        auto& model = table();
        auto& header = model.getTable().getHeader();
        const auto fileWidth = header.getColumnWidth (ui::fileColumn);
        int total = 0;

        for (int i = 0; i < header.getNumColumns (true); ++i)
        {
            const auto id = header.getColumnIdOfIndex (i, true);
            total += header.getColumnWidth (id);

            if (id != ui::fileColumn)
            {
                EXPECT_LT (header.getColumnWidth (id), fileWidth) << c.prefix << header.getColumnName (id);
            }
        }

        EXPECT_EQ (total, model.getTable().getViewport()->getMaximumVisibleWidth()) << c.prefix << ": no column past the table's edge";

        for (int row = 0; row < 3; ++row)
        {
            EXPECT_EQ (model.getCellTooltip (row, ui::fileColumn).isEmpty(), c.formatWhole) << c.prefix << row;
            EXPECT_EQ (model.getCellTooltip (row, ui::formatColumn).isEmpty(), c.formatWhole) << c.prefix << row << ": WAV 24bit 48kHz 2ch";
        }

        // The sort arrow takes its room from the File column, never from another caption.
        header.setSortColumnId (ui::formatColumn, true);
        ASSERT_TRUE (pumpUntil ([&] { return model.getSortColumnId() == ui::formatColumn; }));
        EXPECT_GE (header.getColumnWidth (ui::formatColumn), ui::AppLookAndFeel::minimumHeaderColumnWidth ("Format", true, 28)) << c.prefix;
        EXPECT_LE (header.getColumnWidth (ui::fileColumn), fileWidth) << c.prefix;
        EXPECT_EQ (model.getCellTooltip (0, ui::formatColumn).isEmpty(), c.formatWhole) << c.prefix;

        page->setSize (1360, 860);
    }
}

TEST_F (ReportPageTest, RefusedNamesSayWhyAndChangeNothing)
{
    deliver (render ({ "1m01" }));
    const auto folder = outputRoot.getChildFile ("1m01/STEMS");
    const auto before = namesIn (folder);

    struct Case
    {
        const char* typed;
        const char* message;
    };

    const Case cases[] = {
        { "...", "That name has nothing in it that can be used for a file name." },
        { "Proj_1m01_02_Brass", "There is already a file called 'Proj_1m01_02_Brass.wav' in that folder." },
    };

    for (const auto& c : cases)
    {
        table().startRename (0);
        typeNameAndReturn (c.typed);
        ASSERT_FALSE (fake->boxes.empty()) << c.typed;
        EXPECT_EQ (fake->boxes.back().request.title, "The file was not renamed");
        EXPECT_EQ (fake->boxes.back().request.message, c.message);
        EXPECT_EQ (namesIn (folder), before) << c.typed;
    }

    // A file deleted since the run.
    ASSERT_TRUE (folder.getChildFile ("Proj_1m01_01_Strings.wav").deleteFile());
    table().startRename (0);
    typeNameAndReturn ("Violins");
    EXPECT_EQ (fake->boxes.back().request.message, "That file is not where the report says it is. It may have been moved or renamed since it was written.");
    EXPECT_FALSE (folder.getChildFile ("Violins.wav").exists());
    EXPECT_EQ (fake->boxes.size(), 3u);
}

TEST_F (ReportPageTest, ABlankOrUnchangedNameRenamesNothing)
{
    deliver (render ({ "1m01" }));
    const auto folder = outputRoot.getChildFile ("1m01/STEMS");
    const auto before = namesIn (folder);

    for (const auto* typed : { "   ", "Proj_1m01_01_Strings", "  Proj_1m01_01_Strings\t" })
    {
        table().startRename (0);
        EXPECT_EQ (table().getRenameEditor().getText(), "Proj_1m01_01_Strings") << "the name without its extension";
        typeNameAndReturn (typed);
        EXPECT_EQ (namesIn (folder), before) << typed;
    }

    EXPECT_TRUE (fake->boxes.empty());

    // Escape drops what was typed.
    table().startRename (0);
    table().getRenameEditor().setText ("Violins", false);
    pressKey (juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_TRUE (pumpUntil ([this] { return ! table().isRenaming(); }));
    EXPECT_EQ (namesIn (folder), before);
}

TEST_F (ReportPageTest, ARenameKeepsTheExtensionAndACaseOnlyChangeReachesTheDisk)
{
    deliver (render ({ "1m01" }));
    const auto folder = outputRoot.getChildFile ("1m01/STEMS");

    table().startRename (0);
    typeNameAndReturn ("Violins");
    EXPECT_TRUE (folder.getChildFile ("Violins.wav").existsAsFile());
    EXPECT_FALSE (folder.getChildFile ("Proj_1m01_01_Strings.wav").exists());
    EXPECT_EQ (state->lastReport.cues[0].files[0].file, folder.getChildFile ("Violins.wav"));
    EXPECT_EQ (table().getRow (0)->fileName, "Violins.wav");

    // On a disk that tells case apart, "Violins" to "violins" is a real rename.
    table().startRename (0);
    typeNameAndReturn ("violins");
    EXPECT_EQ (namesIn (folder), juce::StringArray ({ "Proj_1m01_02_Brass.wav", "violins.wav" }));
    EXPECT_EQ (state->lastReport.cues[0].files[0].file.getFileName(), "violins.wav");
    EXPECT_TRUE (fake->boxes.empty()) << boxTexts().joinIntoString ("\n");
}

// A rename that moves its row in a sorted table must not send Tab (or a double click) to the
// file that took the row's place.
TEST_F (ReportPageTest, TabOpensTheNextFileOfTheSameCueInTheShownOrder)
{
    deliver (render ({ "1m01", "1m02", "1m03" }));
    page->getCueList().selectRow (1);
    table().getTable().getHeader().setSortColumnId (ui::fileColumn, false);
    ASSERT_TRUE (pumpUntil ([this] { return table().getSortColumnId() == ui::fileColumn; }));
    ASSERT_EQ (shownFileNames(), juce::StringArray ({ "Proj_1m02_Full Mix.wav", "Proj_1m02_02_Brass.wav", "Proj_1m02_01_Strings.wav" }));

    table().startRename (0);
    table().getRenameEditor().setText ("A Mix", false);
    pressKey (juce::KeyPress (juce::KeyPress::tabKey));
    ASSERT_TRUE (pumpUntil ([this] { return table().isRenaming(); }));

    EXPECT_EQ (shownFileNames(), juce::StringArray ({ "Proj_1m02_02_Brass.wav", "Proj_1m02_01_Strings.wav", "A Mix.wav" }));
    EXPECT_EQ (table().getEditingRow(), 0);
    EXPECT_EQ (table().getRenameEditor().getText(), "Proj_1m02_02_Brass");
    EXPECT_EQ (table().getTable().getSelectedRow(), 0);
    EXPECT_EQ (page->getSelectedCue()->cueName, "1m02");

    // Shift+Tab on the first file, and Tab on the last, keep the editor where it is.
    pressKey (juce::KeyPress (juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier, 0));
    pumpMessages (20);
    EXPECT_EQ (table().getEditingRow(), 0);

    table().startRename (2);
    pressKey (juce::KeyPress (juce::KeyPress::tabKey));
    pumpMessages (20);
    EXPECT_TRUE (table().isRenaming());
    EXPECT_EQ (table().getEditingRow(), 2);

    // A double click on another file mid-rename commits and opens that file, wherever the
    // commit moved it.
    table().startRename (0);
    table().getRenameEditor().setText ("Z Brass", false);
    table().cellDoubleClicked (1, ui::fileColumn, mouseEventAt (table(), {}));
    EXPECT_EQ (shownFileNames(), juce::StringArray ({ "Z Brass.wav", "Proj_1m02_01_Strings.wav", "A Mix.wav" }));
    EXPECT_EQ (table().getRenameEditor().getText(), "Proj_1m02_01_Strings");
    EXPECT_EQ (table().getEditingRow(), 1);
}

TEST_F (ReportPageTest, ScrollingTheTableCommitsTheTypedName)
{
    std::vector<std::pair<juce::String, double>> files;

    for (int i = 1; i <= 60; ++i)
        files.push_back ({ "Take " + juce::String (i) + ".wav", -400.0 });

    deliver (handMadeReport (files));
    table().startRename (0);
    table().getRenameEditor().setText ("First", false);
    table().getTable().scrollToEnsureRowIsOnscreen (59);

    EXPECT_FALSE (table().isRenaming());
    EXPECT_TRUE (outputRoot.getChildFile ("1m01/First.wav").existsAsFile());
    EXPECT_EQ (table().getRow (0)->fileName, "First.wav");
}

} // namespace dunmoor::testing
