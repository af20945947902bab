#include <gtest/gtest.h>

#include "ui/pages/report/DeliveryRow.h"

namespace dunmoor::ui
{
namespace
{
    StemReport stem (const char* id, const char* name, int tracks, double peakAfterDb)
    {
        StemReport s;
        s.id = id;
        s.name = name;
        s.trackCount = tracks;
        s.peakAfterDb = peakAfterDb;
        return s;
    }

    WrittenFile written (const char* fileName, int kind, const char* stemId, const char* displayName, double peakDb = -400.0)
    {
        WrittenFile w;
        w.file = juce::File ("/out/cue").getChildFile (fileName);
        w.kind = kind;
        w.stemId = stemId;
        w.displayName = displayName;
        w.peakDb = peakDb;
        w.settingsDescription = "WAV 24bit 48kHz 2ch";
        w.fileSize = 2048;
        w.overview.duration = 61.5;
        return w;
    }

    DeliveryRow rowNamed (const juce::String& name, double peakDb = 0.0, bool hasPeak = true)
    {
        DeliveryRow row;
        row.fileName = name;
        row.file = juce::File ("/out").getChildFile (name);
        row.peakDb = peakDb;
        row.hasPeak = hasPeak;
        return row;
    }

    juce::StringArray namesOf (const std::vector<DeliveryRow>& rows)
    {
        juce::StringArray names;

        for (const auto& row : rows)
            names.add (row.fileName);

        return names;
    }
} // namespace

TEST (DeliveryRow, RowsTakeTheirStemByIdAndMixesTakeNone)
{
    CueReport cue;
    cue.stems.push_back (stem ("s1", "Bass", 3, -6.0));
    cue.stems.push_back (stem ("s2", "bass", 1, -12.5));       // a second stem of the same name
    cue.stems.push_back (stem ("s3", "Choir", 0, -400.0));
    cue.stems.back().isDigitalSilence = true;
    cue.stems.push_back (stem ("s4", "Drums", 2, -3.0));
    cue.stems.back().errors.add ("could not read kick.wav");
    cue.stems.back().errors.add ("could not read snare.wav");
    cue.stems.push_back (stem ("s5", "Strings", 1, -9.0));     // written without two of its tracks
    cue.unreadableTracks = { { "Viola.wav", "The file is truncated.", "s5" }, { "Cello.wav", "The file is truncated.", "s5" },
                             { "Tuba.wav", "The file is truncated.", "s1" } };
    cue.stems[0].errors.add ("an error outranks the lost track");

    struct Case
    {
        WrittenFile file;
        int tracks;
        const char* peak;
        const char* status;
        bool problem;
    };

    const Case cases[] = {
        { written ("A_Bass.wav", WrittenFile::stemKind, "s1", "Bass"), 3, "-6.0 dB", "an error outranks the lost track", true },
        { written ("A_bass.wav", WrittenFile::stemKind, "s2", "bass"), 1, "-12.5 dB", "", false },
        { written ("A_Choir.wav", WrittenFile::stemKind, "s3", "Choir"), 0, "-inf", "digital silence", false },
        { written ("A_Drums.wav", WrittenFile::stemKind, "s4", "Drums"), 2, "-3.0 dB", "could not read kick.wav", true },
        { written ("A_Strings.wav", WrittenFile::stemKind, "s5", "Strings"), 1, "-9.0 dB", "could not be read: Viola.wav, Cello.wav", true },
        { written ("A_Gone.wav", WrittenFile::stemKind, "s9", "Gone"), 0, "-", "", false },
        // A mix called like a stem is still a mix: its own peak, no tracks, no stem's notes.
        { written ("A_Bass_mix.wav", WrittenFile::fullMixKind, "", "Bass", -1.0), 0, "-1.0 dB", "", false },
        { written ("A_Drums_alt.wav", WrittenFile::alternativeMixKind, "", "Drums", -399.0), 0, "-", "", false },
    };

    for (const auto& c : cases)
    {
        const auto row = makeDeliveryRow (cue, c.file);
        const auto name = c.file.file.getFileName();
        EXPECT_EQ (row.fileName, name);
        EXPECT_EQ (row.trackCount, c.tracks) << name;
        EXPECT_EQ (getDeliveryCellText (row, peakColumn), c.peak) << name;
        EXPECT_EQ (row.status, c.status) << name;
        EXPECT_EQ (row.statusIsProblem, c.problem) << name;
        EXPECT_EQ (row.lengthSeconds, 61.5) << name;
    }

    // An alternative mix brought to the target on its own says so over any other note.
    auto own = written ("A_Inst.wav", WrittenFile::alternativeMixKind, "", "Inst", -1.0);
    own.ownGain = true;
    const auto row = makeDeliveryRow (cue, own);
    EXPECT_EQ (row.status, "own gain, not the exact sum of its stems");
    EXPECT_FALSE (row.statusIsProblem);

    cue.files = { written ("1.wav", 0, "s1", "Bass"), written ("2.wav", 1, "", "Mix"), written ("3.wav", 2, "", "Alt") };
    EXPECT_EQ (namesOf (makeDeliveryRows (cue)), juce::StringArray ({ "1.wav", "2.wav", "3.wav" }));
}

TEST (DeliveryRow, CellTexts)
{
    auto row = makeDeliveryRow ({}, written ("x.wav", WrittenFile::alternativeMixKind, "", "Alt"));
    EXPECT_EQ (getDeliveryCellText (row, kindColumn), "alt");
    EXPECT_EQ (getDeliveryCellText (row, tracksColumn), "-");
    EXPECT_EQ (getDeliveryCellText (row, formatColumn), "WAV 24bit 48kHz 2ch");
    EXPECT_EQ (getDeliveryCellText (row, lengthColumn), "1:01.5");
    EXPECT_EQ (getDeliveryCellText (row, sizeColumn), "2 KB");
    EXPECT_EQ (getDeliveryCellText (row, previewColumn), "");

    row.kind = WrittenFile::fullMixKind;
    row.lengthSeconds = 0.0;
    EXPECT_EQ (getDeliveryCellText (row, kindColumn), "mix");
    EXPECT_EQ (getDeliveryCellText (row, lengthColumn), "-");
    row.kind = 7;
    EXPECT_EQ (getDeliveryCellText (row, kindColumn), "stem");
}

TEST (DeliveryRow, Sizes)
{
    const std::pair<int64_t, const char*> cases[] = {
        { 0, "-" }, { -5, "-" }, { 1, "0 KB" }, { 1023, "0 KB" }, { 1024, "1 KB" },
        { 1048575, "1023 KB" }, { 1048576, "1.0 MB" }, { 1572864, "1.5 MB" },
        { (int64_t) 5 * 1024 * 1048576, "5120.0 MB" },
    };

    for (const auto& [bytes, text] : cases)
        EXPECT_EQ (formatDeliverySize (bytes), text) << bytes;
}

TEST (DeliveryRow, FileNamesCompareNaturallyIgnoringCase)
{
    struct Case
    {
        const char* a;
        const char* b;
        int sign;
    };

    const Case cases[] = {
        { "Cue 2.wav", "Cue 10.wav", -1 },
        { "cue 10.wav", "Cue 2.wav", 1 },
        { "Bass.wav", "bass.wav", 0 },
        { "Take 007.wav", "take 7.wav", 0 },          // equal values continue after the runs
        { "Take 007b.wav", "take 7a.wav", 1 },
        { "Mix", "Mix 1", -1 },                         // ends first, comes first
        { "99999999999999999999999.wav", "100000000000000000000000.wav", -1 },   // longer than any integer
        { "a1", "ab", -1 },                             // '1' before 'b'
        { "", "", 0 },
    };

    for (const auto& c : cases)
    {
        const auto result = compareFileNamesNaturally (c.a, c.b);
        EXPECT_EQ ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST (DeliveryRow, SortingIsStableAndRowsWithoutAPeakGoLastAscending)
{
    std::vector<DeliveryRow> rows { rowNamed ("Cue 10.wav", -1.0), rowNamed ("cue 2.wav", -6.0), rowNamed ("Cue 2.wav", 0.0, false),
                                    rowNamed ("Cue 1.wav", -3.0) };

    auto byName = rows;
    sortDeliveryRows (byName, fileColumn, true);
    EXPECT_EQ (namesOf (byName), juce::StringArray ({ "Cue 1.wav", "cue 2.wav", "Cue 2.wav", "Cue 10.wav" }));

    sortDeliveryRows (byName, fileColumn, false);
    EXPECT_EQ (namesOf (byName), juce::StringArray ({ "Cue 10.wav", "cue 2.wav", "Cue 2.wav", "Cue 1.wav" }));

    auto byPeak = rows;
    sortDeliveryRows (byPeak, peakColumn, true);
    EXPECT_EQ (namesOf (byPeak), juce::StringArray ({ "cue 2.wav", "Cue 1.wav", "Cue 10.wav", "Cue 2.wav" }));

    sortDeliveryRows (byPeak, peakColumn, false);
    EXPECT_EQ (namesOf (byPeak), juce::StringArray ({ "Cue 2.wav", "Cue 10.wav", "Cue 1.wav", "cue 2.wav" }));

    auto unsorted = rows;
    sortDeliveryRows (unsorted, noSortColumn, true);
    sortDeliveryRows (unsorted, previewColumn, true);
    EXPECT_EQ (namesOf (unsorted), namesOf (rows));
}

TEST (DeliveryRow, OtherColumnsCompareTheirValues)
{
    DeliveryRow a, b;
    a.kind = WrittenFile::stemKind;
    b.kind = WrittenFile::alternativeMixKind;
    a.trackCount = 2;
    b.trackCount = 10;
    a.description = "WAV 24bit";
    b.description = "wav 32bit float";
    a.lengthSeconds = 1.0;
    b.lengthSeconds = 1.5;
    a.sizeBytes = 10;
    b.sizeBytes = 9;
    a.status = "digital silence";
    b.status = "Digital silence";

    EXPECT_LT (compareDeliveryRows (a, b, kindColumn), 0);
    EXPECT_LT (compareDeliveryRows (a, b, tracksColumn), 0);
    EXPECT_LT (compareDeliveryRows (a, b, formatColumn), 0);
    EXPECT_LT (compareDeliveryRows (a, b, lengthColumn), 0);
    EXPECT_GT (compareDeliveryRows (a, b, sizeColumn), 0);
    EXPECT_EQ (compareDeliveryRows (a, b, statusColumn), 0);
}

TEST (DeliveryRow, TabStepsOverRowsWithoutAFile)
{
    std::vector<DeliveryRow> rows { rowNamed ("a"), DeliveryRow(), rowNamed ("c"), DeliveryRow() };

    EXPECT_EQ (findRowWithFile (rows, 0, 1), 2);
    EXPECT_EQ (findRowWithFile (rows, 2, 1), -1);
    EXPECT_EQ (findRowWithFile (rows, 2, -1), 0);
    EXPECT_EQ (findRowWithFile (rows, 0, -1), -1);
}

TEST (DeliveryRow, ARenameIsAskedForOnlyForANewName)
{
    const auto row = rowNamed ("Arrival_STR.wav");

    EXPECT_EQ (getRenameRequest (row, "  Arrival_Strings "), juce::String ("Arrival_Strings"));
    EXPECT_EQ (getRenameRequest (row, "arrival_str"), juce::String ("arrival_str"));     // a case-only change is a rename
    EXPECT_EQ (getRenameRequest (row, "Arrival_STR"), std::nullopt);
    EXPECT_EQ (getRenameRequest (row, " Arrival_STR\t"), std::nullopt);
    EXPECT_EQ (getRenameRequest (row, "   "), std::nullopt);
}

} // namespace dunmoor::ui
