#include <gtest/gtest.h>

#include "session/SessionTestSupport.h"
#include "ui/pages/import/ImportRowModel.h"

namespace dunmoor::ui
{
namespace
{
    using namespace dunmoor::testing;

    // Two cues: horns 9.5 s, Mystery 1 s (no stem), Violins 10 s; Kick 2 s, Broken (unreadable).
    struct RowFixture : ::testing::Test
    {
        void SetUp() override
        {
            writeTinyWav (temp.file ("Cue A/Violins.wav"), 8000, 1, 80000);
            writeTinyWav (temp.file ("Cue A/horns.wav"), 8000, 1, 76000);
            writeTinyWav (temp.file ("Cue A/Mystery.wav"), 8000, 3, 8000);
            writeTinyWav (temp.file ("Cue B/Kick.wav"), 8000, 1, 16000);
            temp.make ("Cue B/Broken.wav", "not audio");

            session.setPreset (makeOrchestraPreset());
            (void) session.importFiles ({ temp.file ("Cue A"), temp.file ("Cue B") }, false);
            ASSERT_EQ (session.getTracks().size(), 5u);
        }

        juce::String namesOf (int column, bool forwards, const juce::String& search = {})
        {
            rows.refresh (session, search, column, forwards, clips);
            juce::StringArray names;

            for (const auto& id : rows.getTrackIds())
                names.add (session.findTrack (id)->file.getFileNameWithoutExtension());

            return names.joinIntoString (" ");
        }

        const Track& track (const char* name) const { return *trackNamed (session, name); }

        TemporaryFolder temp;
        Session session;
        ImportRowModel rows;
        ImportRowModel::ClipLookup clips = [] (const Track& t)
        {
            return t.file.getFileName() == "Kick.wav"    ? ClipState::clipped
                 : t.file.getFileName() == "horns.wav" ? ClipState::clean
                                                        : ClipState::unknown;
        };
    };
} // namespace

TEST_F (RowFixture, SortKeysOrderRowsStablyInEitherDirection)
{
    struct Case
    {
        int column;
        bool forwards;
        const char* expected;
    };

    const Case cases[] = {
        { ImportColumn::file, true, "Broken horns Kick Mystery Violins" }, // ignoring case
        { ImportColumn::file, false, "Violins Mystery Kick horns Broken" },
        { ImportColumn::duration, true, "Broken Mystery Kick horns Violins" }, // 9.5 s before 10 s
        { ImportColumn::stem, true, "horns Kick Violins Mystery Broken" },     // unassigned last
        { ImportColumn::stem, false, "Mystery Broken Violins Kick horns" },    // equal keys keep session order
        { ImportColumn::clip, true, "Kick horns Mystery Violins Broken" },     // clipped first, unknown with clean
        { ImportColumn::channels, false, "Mystery horns Violins Kick Broken" },
        { ImportColumn::status, true, "horns Violins Kick Mystery Broken" },   // confident, then unassigned
        { ImportColumn::cue, false, "Broken Kick horns Mystery Violins" },
        { ImportColumn::preview, true, "Broken horns Kick Mystery Violins" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (namesOf (c.column, c.forwards), c.expected) << "column " << c.column << (c.forwards ? " forwards" : " backwards");

    EXPECT_EQ (ImportRowModel::getSortKey (session, track ("horns.wav"), ImportColumn::duration, {}), "000000009.500000");
    EXPECT_EQ (ImportRowModel::getSortKey (session, track ("horns.wav"), ImportColumn::rate, {}), "0000008000.0");
    EXPECT_EQ (ImportRowModel::getSortKey (session, track ("Mystery.wav"), ImportColumn::stem, {}), "zzz unassigned");
}

TEST_F (RowFixture, FilterCountsAndRowsById)
{
    EXPECT_EQ (namesOf (ImportColumn::file, true, "   "), "Broken horns Kick Mystery Violins") << "spaces filter nothing";
    EXPECT_EQ (rows.getShownTrackCount (session), -1);

    EXPECT_EQ (namesOf (ImportColumn::file, true, " IN "), "Violins");
    EXPECT_EQ (rows.getShownTrackCount (session), 1);

    EXPECT_EQ (namesOf (ImportColumn::file, true, "nothing like it"), "");
    EXPECT_EQ (rows.getShownTrackCount (session), 0);
    EXPECT_EQ (rows.getTrackId (0), "");

    // A row follows its track through a re-sort; ids outside the rows give -1.
    const auto kick = track ("Kick.wav").id;
    rows.refresh (session, {}, ImportColumn::file, true, clips);
    EXPECT_EQ (rows.findRow (kick), 2);
    rows.refresh (session, {}, ImportColumn::clip, true, clips);
    EXPECT_EQ (rows.findRow (kick), 0);
    EXPECT_EQ (rows.getTrackId (0), kick);
    EXPECT_EQ (rows.findRow ("gone"), -1);

    Session empty;
    rows.refresh (empty, "x", ImportColumn::file, true, clips);
    EXPECT_EQ (rows.getShownTrackCount (empty), -1);
}

TEST_F (RowFixture, StatusFollowsTracksAndCues)
{
    auto status = getImportStatus (session);
    EXPECT_FALSE (status.dropHintVisible);
    EXPECT_TRUE (status.removeEnabled && status.clearEnabled);
    EXPECT_TRUE (status.cueColumnVisible);

    session.removeTracks ({ track ("Kick.wav").id, track ("Broken.wav").id });
    EXPECT_FALSE (getImportStatus (session).cueColumnVisible) << "one cue left";

    session.clear();
    status = getImportStatus (session);
    EXPECT_TRUE (status.dropHintVisible);
    EXPECT_FALSE (status.removeEnabled || status.clearEnabled || status.cueColumnVisible);
}

TEST_F (RowFixture, CellTextsAndTooltips)
{
    const auto& mystery = track ("Mystery.wav");
    const auto& violins = track ("Violins.wav");

    EXPECT_EQ (getCellText (session, violins, ImportColumn::stem), "Strings");
    EXPECT_EQ (getCellText (session, mystery, ImportColumn::stem), "-");
    EXPECT_EQ (getCellText (session, violins, ImportColumn::cue), "Cue A");
    EXPECT_EQ (getCellText (session, violins, ImportColumn::duration), "0:10.000");
    EXPECT_EQ (getCellText (session, mystery, ImportColumn::channels), "3 ch");

    ASSERT_EQ (mystery.warnings.size(), 2) << mystery.warnings.joinIntoString ("|");
    EXPECT_EQ (getCellTooltip (session, mystery, ImportColumn::file, {}),
               mystery.file.getFullPathName() + "\n" + mystery.warnings[0] + "\n" + mystery.warnings[1]);
    EXPECT_TRUE (getCellTooltip (session, violins, ImportColumn::preview, {}).endsWith ("\nDouble-click to audition."));
    EXPECT_EQ (getCellTooltip (session, violins, ImportColumn::cue, {}), "Cue folder: " + temp.file ("Cue A").getFullPathName());
    EXPECT_EQ (getCellTooltip (session, violins, ImportColumn::status, {}), violins.reason + "\nRight-click to assign this to a stem.");
    EXPECT_EQ (getCellTooltip (session, violins, ImportColumn::clip, ClipState::clipped), "Clipped.");
    EXPECT_EQ (getCellTooltip (session, violins, ImportColumn::clip, ClipState::clean), "Not clipped.");
    EXPECT_EQ (getCellTooltip (session, violins, ImportColumn::clip, ClipState::unknown), "Not checked yet.");
    EXPECT_EQ (getCellTooltip (session, violins, ImportColumn::rate, {}), "");

    WaveformOverview overview;
    EXPECT_EQ (clipStateOf (&overview), ClipState::unknown);
    overview.minimums = overview.maximums = { 0.5f };
    overview.longestNearFullScaleRun = 2;
    EXPECT_EQ (clipStateOf (&overview), ClipState::clean);
    overview.longestNearFullScaleRun = 3;
    EXPECT_EQ (clipStateOf (&overview), ClipState::clipped);
}

TEST_F (RowFixture, ColumnsFitTheShownTexts)
{
    int measured = 0;
    const TextMeasure measure = [&measured] (const juce::String& text) { ++measured; return text.length() * 7; };

    auto widthOf = [] (const std::vector<ColumnWidth>& widths, int column)
    {
        for (const auto& w : widths)
            if (w.column == column)
                return w.width;

        return -1;
    };

    rows.refresh (session, {}, ImportColumn::file, true, clips);
    auto widths = fitColumnsToContent (session, rows.getTrackIds(), true, measure);
    EXPECT_EQ (widthOf (widths, ImportColumn::file), 200) << "short names: the minimum";
    EXPECT_EQ (widthOf (widths, ImportColumn::cue), 90);
    EXPECT_EQ (widthOf (widths, ImportColumn::format), 6 * 7 + 24) << "the caption is wider than WAV";
    EXPECT_EQ (widthOf (widths, ImportColumn::duration), 8 * 7 + 24);
    EXPECT_EQ (widthOf (widths, ImportColumn::channels), -1) << "Ch is not fitted";
    EXPECT_LT (measured, 25) << "equal texts are measured once";

    EXPECT_EQ (widthOf (fitColumnsToContent (session, rows.getTrackIds(), false, measure), ImportColumn::cue), -1);

    writeTinyWav (temp.file ("Cue A/" + juce::String::repeatedString ("Long", 30) + ".wav"));
    (void) session.importFiles ({ temp.file ("Cue A") }, false);
    rows.refresh (session, {}, ImportColumn::file, true, clips);
    EXPECT_EQ (widthOf (fitColumnsToContent (session, rows.getTrackIds(), true, measure), ImportColumn::file), 620);

    EXPECT_EQ (fitPreviewColumnWidth (1152, 900), 252);
    EXPECT_EQ (fitPreviewColumnWidth (1152, 1100), 120);
}

// Columns wider together than the table give way one after another, so the last ones never
// fall off its edge.
TEST (ImportColumns, GiveWayInAFixedOrderDownToTheirMinimums)
{
    using namespace ImportColumn;
    const std::vector<ColumnRoom> shown { { file, 400, 140 }, { preview, 150, 80 }, { cue, 260, 70 }, { format, 80, 80 },
                                          { stem, 160, 100 }, { clip, 74, 60 }, { status, 200, 120 } };

    struct Case
    {
        int viewport;
        std::vector<int> widths; // in the order shown
    };

    const Case cases[] = {
        { 1400, { 400, 226, 260, 80, 160, 74, 200 } }, // room to spare: Preview takes it
        { 1134, { 400, 80, 140, 80, 160, 74, 200 } },  // Preview gives way first, then Cue
        { 964, { 400, 80, 70, 80, 100, 74, 160 } },    // Cue and Stem at their minimums, then Status
        { 700, { 176, 80, 70, 80, 100, 74, 120 } },    // the file name last
        { 500, { 140, 80, 70, 80, 100, 74, 120 } },    // too narrow for even the minimums
    };

    for (const auto& c : cases)
    {
        const auto widths = fitColumnsToTable (shown, c.viewport);
        ASSERT_EQ (widths.size(), shown.size());

        for (size_t i = 0; i < widths.size(); ++i)
        {
            EXPECT_EQ (widths[i].column, shown[i].column);
            EXPECT_EQ (widths[i].width, c.widths[i]) << c.viewport << " px, column " << shown[i].column;
        }
    }
}

TEST (ImportSummaryBox, SaysWhatTheImportSkipped)
{
    EXPECT_FALSE (describeImportSummary ({}).show);

    // Files that were already there are counted, so an import that adds nothing says why.
    struct AlreadyCase
    {
        int imported, already;
        const char* title;
        const char* message;
    };

    for (const auto& c : { AlreadyCase { 0, 12, "Nothing new was imported", "12 files were already in the list." },
                           AlreadyCase { 0, 1, "Nothing new was imported", "1 file was already in the list." },
                           AlreadyCase { 4, 2, "Some files were already in the list", "2 files were already in the list." } })
    {
        ImportSummary summary;
        summary.imported = c.imported;
        summary.alreadyInList = c.already;
        const auto box = describeImportSummary (summary);
        EXPECT_TRUE (box.show);
        EXPECT_FALSE (box.warning);
        EXPECT_EQ (box.title, c.title);
        EXPECT_EQ (box.message, c.message);
    }

    ImportSummary split;
    split.alreadySplit.add ("Bass_splitted.wav");
    auto box = describeImportSummary (split);
    EXPECT_TRUE (box.show);
    EXPECT_FALSE (box.warning);
    EXPECT_EQ (box.title, "One split file was not imported");
    EXPECT_EQ (box.message, "This file has already been split. Its two halves were imported instead:\n\nBass_splitted.wav");

    split.alreadySplit.add ("Pad_splitted.wav");
    split.imported = 1;
    split.unreadable = 1;
    split.messages.add ("Broken.wav: Not a readable audio file, or the format is not supported.");
    box = describeImportSummary (split);
    EXPECT_TRUE (box.warning);
    EXPECT_EQ (box.title, "Some files could not be imported");
    EXPECT_EQ (box.message,
               "1 imported, 2 already split, 1 could not be read\n\n"
               "Broken.wav: Not a readable audio file, or the format is not supported.\n\n"
               "These files have already been split. Their halves were imported instead:\n\n"
               "Bass_splitted.wav\nPad_splitted.wav");

    split.messages.clear();
    EXPECT_EQ (describeImportSummary (split).title, "Split files were not imported");

    EXPECT_EQ (getRecentFolderLabel (juce::File ("/music/Reel 1/1M01")), "Reel 1 / 1M01");
    EXPECT_EQ (getRecentFolderLabel (juce::File ("/1M01")), "1M01");
}

} // namespace dunmoor::ui
