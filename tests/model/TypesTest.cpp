#include <gtest/gtest.h>

#include "core/model/Types.h"

using namespace dunmoor;

TEST (Types, EveryStoredNameParsesBackToItsValue)
{
    for (int i = 0; i <= 3; ++i)
    {
        auto c = Codec::wav;
        ASSERT_TRUE (codecFromString (codecToString ((Codec) i), c));
        EXPECT_EQ ((int) c, i);
    }

    for (int i = 0; i <= 4; ++i)
    {
        auto d = DitherKind::none;
        ASSERT_TRUE (ditherKindFromString (ditherKindToString ((DitherKind) i), d));
        EXPECT_EQ ((int) d, i);
    }

    for (int i = 0; i <= 3; ++i)
    {
        auto a = AssignmentSource::none;
        ASSERT_TRUE (assignmentSourceFromString (assignmentSourceToString ((AssignmentSource) i), a));
        EXPECT_EQ ((int) a, i);
    }
}

TEST (Types, ParsingIgnoresCaseAndSurroundingSpaceButNotInnerSpace)
{
    for (auto text : { "TruePeak", "TRUEPEAK", "  truepeak\t" })
    {
        auto mode = PeakMode::samplePeak;
        EXPECT_TRUE (peakModeFromString (text, mode)) << text;
        EXPECT_EQ (mode, PeakMode::truePeak) << text;
    }

    auto mode = PeakMode::samplePeak;
    EXPECT_FALSE (peakModeFromString ("true peak", mode));
    EXPECT_EQ (mode, PeakMode::samplePeak);
}

TEST (Types, PresetKindIsComparedUntrimmed)
{
    auto kind = PresetKind::publisher;
    EXPECT_TRUE (presetKindFromString ("PROJECT", kind));
    EXPECT_EQ (kind, PresetKind::project);

    kind = PresetKind::publisher;
    EXPECT_FALSE (presetKindFromString (" project", kind));
    EXPECT_EQ (kind, PresetKind::publisher);

    EXPECT_EQ (presetKindToString ((PresetKind) 7), "publisher");
}

TEST (Types, DisplayTexts)
{
    EXPECT_EQ (describeChannelLayout (0), "-");
    EXPECT_EQ (describeChannelLayout (1), "mono");
    EXPECT_EQ (describeChannelLayout (3), "3 ch");
    EXPECT_EQ (describeChannelLayout (6), "5.1");
    EXPECT_EQ (describeBitDepth (24, false), "24 bit");
    EXPECT_EQ (describeBitDepth (32, true), "32 bit float");
    EXPECT_EQ (describeBitDepth (0, true), "-");
    EXPECT_EQ (confidenceDisplayName (Confidence::review), "Needs review");

    // A decision the user made is shown as theirs, whatever the match said.
    EXPECT_EQ (assignmentBadgeText (AssignmentSource::manual, Confidence::confident), "Manual");
    EXPECT_EQ (assignmentBadgeText (AssignmentSource::locked, Confidence::confident), "Locked");
    EXPECT_EQ (assignmentBadgeText (AssignmentSource::automatic, Confidence::confident), "Confident");
    EXPECT_EQ (assignmentBadgeText (AssignmentSource::automatic, Confidence::ambiguous), "Ambiguous");
    EXPECT_EQ (bitsPerSample (SampleFormat::float32), 0);
    EXPECT_EQ (codecFileExtension (Codec::aiff), ".aif");
}

TEST (Types, FormatDuration)
{
    const struct { double seconds; const char* text; } cases[] = {
        { 0.0, "0:00.0" },
        { 9.5, "0:09.5" },
        { 125.5, "2:05.5" },
        // Rounding to tenths happens before minutes and seconds are split.
        { 9.96, "0:10.0" },
        { 59.97, "1:00.0" },
        { -1.0, "-" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (formatDuration (c.seconds), c.text) << c.seconds;
}

TEST (Types, FormatKilohertz)
{
    const struct { double rate; const char* text; } cases[] = {
        { 48000.0, "48 kHz" },   { 44100.0, "44.1 kHz" }, { 88200.0, "88.2 kHz" },
        { 192000.0, "192 kHz" }, { 22050.0, "22 kHz" },   { 96000.0, "96 kHz" },
        { 176400.0, "176.4 kHz" }, { 11025.0, "11 kHz" }, { 47952.0, "48 kHz" },
        { 0.0, "-" },            { -5.0, "-" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (formatKilohertz (c.rate), c.text) << c.rate;
}
