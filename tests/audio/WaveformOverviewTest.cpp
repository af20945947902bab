#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "AudioTestFiles.h"
#include "core/audio/WaveformOverview.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
juce::AudioBuffer<double> fromRows (std::initializer_list<std::vector<double>> rows)
{
    juce::AudioBuffer<double> buffer ((int) rows.size(), (int) rows.begin()->size());
    int ch = 0;

    for (const auto& row : rows)
    {
        for (size_t i = 0; i < row.size(); ++i)
            buffer.setSample (ch, (int) i, row[i]);

        ++ch;
    }

    return buffer;
}

void expectBuckets (const WaveformOverview& o, std::initializer_list<std::pair<float, float>> expected)
{
    ASSERT_EQ (o.getNumBuckets(), (int) expected.size());
    size_t b = 0;

    for (const auto& [lo, hi] : expected)
    {
        EXPECT_EQ (o.minimums[b], lo) << "bucket " << b;
        EXPECT_EQ (o.maximums[b], hi) << "bucket " << b;
        ++b;
    }
}
} // namespace

TEST (WaveformOverview, BucketsOfABufferSpanAllChannels)
{
    // Frame f of 10 goes to bucket f * 4 / 10: frames 0-2, 3-4, 5-7, 8-9.
    const auto buffer = fromRows ({ { 0.1, 0.2, 0.3, -0.5, 0.0, 0.25, 0.25, 0.25, 0.7, 0.6 },
                                    { 0.0, 0.0, 0.0, 0.0, 0.0, -0.75, 0.0, 0.0, 0.0, -0.1 } });
    const auto o = overviewFromBuffer (buffer, 1000.0, 4);

    expectBuckets (o, { { 0.0f, 0.3f }, { -0.5f, 0.0f }, { -0.75f, 0.25f }, { -0.1f, 0.7f } });
    EXPECT_EQ (o.peak, 0.75f);
    EXPECT_EQ (o.channelCount, 2);
    EXPECT_EQ (o.sampleRate, 1000.0);
    EXPECT_DOUBLE_EQ (o.duration, 0.01);
    EXPECT_EQ (o.nearFullScaleCount, 0);

    // The first sample to reach a bucket sets it (an all-negative bucket keeps a negative maximum);
    // buckets nobody reaches stay 0 / 0. Frames of 3 go to buckets 0, 1 and 3 of 5.
    const auto sparse = overviewFromBuffer (fromRows ({ { -0.5, -0.25, 0.5 } }), 3.0, 5);
    expectBuckets (sparse, { { -0.5f, -0.5f }, { -0.25f, -0.25f }, { 0.0f, 0.0f }, { 0.5f, 0.5f }, { 0.0f, 0.0f } });

    // The 32-bit copy of a buffer has the same overview.
    juce::AudioBuffer<float> narrow (buffer.getNumChannels(), buffer.getNumSamples());
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            narrow.setSample (ch, i, (float) buffer.getSample (ch, i));

    const auto fromNarrow = overviewFromBuffer (narrow, 1000.0, 4);
    EXPECT_EQ (fromNarrow.minimums, o.minimums);
    EXPECT_EQ (fromNarrow.maximums, o.maximums);
    EXPECT_EQ (fromNarrow.peak, o.peak);
}

TEST (WaveformOverview, BuiltPieceByPieceItIsTheOverviewOfTheWholeBuffer)
{
    // 1000 frames into 7 buckets, handed over in pieces that end inside buckets; a bucket reached
    // first by a negative sample keeps a negative maximum across the pieces.
    juce::AudioBuffer<double> buffer (2, 1000);

    for (int i = 0; i < 1000; ++i)
    {
        buffer.setSample (0, i, -0.5 - 0.0003 * i);
        buffer.setSample (1, i, i % 97 == 0 ? 0.9 * std::sin (i * 0.1) : -0.25);
    }

    WaveformOverviewBuilder builder (2, 1000, 8000.0, 7);
    int start = 0;

    for (const int count : { 1, 142, 3, 400, 454 })
    {
        const double* channels[] = { buffer.getReadPointer (0, start), buffer.getReadPointer (1, start) };
        builder.add (channels, start, count);
        start += count;
    }

    const auto pieces = builder.finish();
    const auto whole = overviewFromBuffer (buffer, 8000.0, 7);
    EXPECT_EQ (pieces.minimums, whole.minimums);
    EXPECT_EQ (pieces.maximums, whole.maximums);
    EXPECT_EQ (pieces.peak, whole.peak);
    EXPECT_EQ (pieces.duration, whole.duration);
    EXPECT_EQ (pieces.channelCount, 2);
    EXPECT_TRUE (WaveformOverviewBuilder (2, 0, 8000.0, 7).finish().isEmpty());
}

TEST (WaveformOverview, BucketCountIsClamped)
{
    juce::AudioBuffer<double> buffer (1, 30000);
    buffer.clear();

    const std::pair<int, int> cases[] = { { 0, 1 }, { -5, 1 }, { 50000, 20000 }, { 2000, 2000 } };

    for (const auto& [wanted, expected] : cases)
        EXPECT_EQ (overviewFromBuffer (buffer, 48000.0, wanted).getNumBuckets(), expected) << wanted;

    EXPECT_TRUE (overviewFromBuffer (juce::AudioBuffer<double>(), 48000.0, 100).isEmpty());
    EXPECT_TRUE (overviewFromBuffer (juce::AudioBuffer<double> (2, 0), 48000.0, 100).isEmpty());
    EXPECT_EQ (overviewFromBuffer (buffer, 0.0, 10).duration, 0.0);
}

TEST (WaveformOverview, ShortFileSpreadsOverTheBucketsOrLowersTheirCount)
{
    TemporaryFolder temp;
    const auto file = temp.file ("short.wav");
    juce::AudioBuffer<float> signal (1, 100);

    for (int i = 0; i < 100; ++i)
        signal.setSample (0, i, 0.25f + (float) i / 1024.0f);

    ASSERT_TRUE (writeAudioFile (file, "wav", signal, 48000.0, 32));

    juce::String error;
    const auto whole = overviewFromFile (file, 2000, error);
    ASSERT_TRUE (error.isEmpty()) << error;
    ASSERT_EQ (whole.getNumBuckets(), 2000);

    for (int b = 0; b < 2000; ++b)
    {
        const float expected = b % 20 == 0 ? signal.getSample (0, b / 20) : 0.0f;
        ASSERT_EQ (whole.minimums[(size_t) b], expected) << b;
        ASSERT_EQ (whole.maximums[(size_t) b], expected) << b;
    }

    const auto range = overviewFromFileRange (file, 0.0, 1.0, 2000, error);
    ASSERT_TRUE (error.isEmpty()) << error;
    ASSERT_EQ (range.getNumBuckets(), 100);
    EXPECT_EQ (range.maximums[42], signal.getSample (0, 42));
    EXPECT_EQ (range.peak, whole.peak);
}

TEST (WaveformOverview, NearFullScaleCountsAndTheLongestRunAcrossABlockBoundary)
{
    TemporaryFolder temp;
    const auto file = temp.file ("clips.wav");
    const float clip = WaveformOverview::nearFullScale;
    const float justBelow = std::nextafter (clip, 0.0f);

    juce::AudioBuffer<float> signal (2, 65536 + 100);
    signal.clear();

    // Channel 0: two at the end of the first 65536-frame block and one at the start of the next.
    signal.setSample (0, 65534, clip);
    signal.setSample (0, 65535, -clip);
    signal.setSample (0, 65536, 1.0f);
    // Channel 1: the neighbours of that run, which must not join it, and values just below.
    signal.setSample (1, 65533, -1.0f);
    signal.setSample (1, 65537, clip);
    signal.setSample (1, 10, justBelow);
    signal.setSample (1, 11, -justBelow);
    ASSERT_TRUE (writeAudioFile (file, "wav", signal, 48000.0, 32));

    juce::String error;
    const auto o = overviewFromFile (file, 700, error);
    ASSERT_TRUE (error.isEmpty()) << error;
    EXPECT_EQ (o.nearFullScaleCount, 5);
    EXPECT_EQ (o.longestNearFullScaleRun, 3);
    EXPECT_EQ (o.peak, 1.0f);
    EXPECT_EQ (o.channelCount, 2);
    EXPECT_DOUBLE_EQ (o.duration, 65636.0 / 48000.0);

    // Only the whole-file form counts.
    const auto range = overviewFromFileRange (file, 0.0, 1.0, 700, error);
    EXPECT_EQ (range.nearFullScaleCount, 0);
    EXPECT_EQ (range.longestNearFullScaleRun, 0);
}

TEST (WaveformOverview, FirstSoundPosition)
{
    // 10 s at 1 kHz in 100 buckets, silent for the first second.
    juce::AudioBuffer<double> buffer (1, 10000);
    buffer.clear();

    for (int i = 1000; i < 10000; ++i)
        buffer.setSample (0, i, 0.5 * std::sin (i * 0.3));

    const auto o = overviewFromBuffer (buffer, 1000.0, 100);
    EXPECT_NEAR (o.firstSoundPosition (0.005f, 0.05), (1.0 - 0.05) / 10.0, 1e-12);
    EXPECT_EQ (o.firstSoundPosition (0.005f, 2.0), 0.0) << "a lead-in past the start";
    EXPECT_EQ (o.firstSoundPosition (3.0f, 0.05), 0.0) << "nothing is louder than the peak";

    buffer.setSample (0, 0, 0.4);
    EXPECT_EQ (overviewFromBuffer (buffer, 1000.0, 100).firstSoundPosition (0.005f, 0.05), 0.0) << "loud first bucket";

    buffer.clear();
    const auto silent = overviewFromBuffer (buffer, 1000.0, 100);
    EXPECT_EQ (silent.peak, 0.0f);
    EXPECT_EQ (silent.firstSoundPosition (0.005f, 0.05), 0.0);
    EXPECT_EQ (WaveformOverview().firstSoundPosition (0.005f, 0.05), 0.0);
}

TEST (WaveformOverview, RangesOfAFile)
{
    TemporaryFolder temp;
    const auto file = temp.file ("ramp.aif");
    juce::AudioBuffer<float> signal (1, 1000);

    for (int i = 0; i < 1000; ++i)
        signal.setSample (0, i, (float) (i - 500) / 512.0f);

    ASSERT_TRUE (writeAudioFile (file, "aiff", signal, 1000.0 * 8, 16));

    juce::String error;
    const auto forward = overviewFromFileRange (file, 0.2, 0.8, 6, error);
    const auto reverse = overviewFromFileRange (file, 0.8, 0.2, 6, error);
    ASSERT_EQ (forward.getNumBuckets(), 6);
    EXPECT_EQ (forward.minimums, reverse.minimums);
    EXPECT_EQ (forward.maximums, reverse.maximums);

    // Frames 200..799 in six buckets of 100.
    EXPECT_NEAR (forward.minimums[0], -300.0 / 512.0, 1e-4);
    EXPECT_NEAR (forward.maximums[5], 299.0 / 512.0, 1e-4);
    EXPECT_DOUBLE_EQ (forward.duration, 1000.0 / 8000.0) << "the whole file's duration";

    const auto nothing = overviewFromFileRange (file, 1.0, 1.0, 6, error);
    EXPECT_TRUE (nothing.isEmpty());
    EXPECT_TRUE (error.isEmpty());

    EXPECT_EQ (overviewFromFileRange (file, 0.5, 0.5, 6, error).getNumBuckets(), 1) << "at least one frame";

    // The zoomed preview is stopped mid-read when the user moves on; it asks once per block.
    int asked = 0;
    EXPECT_EQ (overviewFromFileRange (file, 0.0, 1.0, 6, error, [&asked] { ++asked; return false; }).getNumBuckets(), 6);
    EXPECT_EQ (asked, 1);
    EXPECT_TRUE (overviewFromFileRange (file, 0.0, 1.0, 6, error, [] { return true; }).isEmpty());
    EXPECT_TRUE (isCancelledError (error)) << error;
}

TEST (WaveformOverview, FrameRangeOfFractions)
{
    struct Case
    {
        juce::int64 total;
        double from, to;
        juce::int64 start, end;
    };

    const Case cases[] = {
        { 1000, 0.0, 1.0, 0, 1000 },
        { 1000, 0.8, 0.2, 200, 800 },          // either order
        { 1000, 0.5, 0.5, 500, 501 },          // at least one frame
        { 1000, 1.0, 1.0, 1000, 1000 },        // nothing after the end
        { 1000, -3.0, std::nan (""), 0, 1 },   // clamped, NaN as 0
        { 0, 0.0, 1.0, 0, 0 },
        { 172800000, 0.1, 0.9, 17280000, 155520000 }, // 60 min at 48 kHz: 64-bit frames
    };

    for (const auto& c : cases)
    {
        const auto r = frameRangeOfFractions (c.total, c.from, c.to);
        EXPECT_EQ (r.start, c.start) << c.total << " " << c.from << ".." << c.to;
        EXPECT_EQ (r.end, c.end) << c.total << " " << c.from << ".." << c.to;
    }
}

TEST (WaveformOverview, FileErrors)
{
    TemporaryFolder temp;
    const auto cut = temp.file ("cut.wav");
    juce::AudioBuffer<float> quiet (1, 1000);
    quiet.clear();
    ASSERT_TRUE (writeAudioFile (cut, "wav", quiet, 48000.0, 16));
    {
        juce::FileOutputStream out (cut);
        ASSERT_TRUE (out.setPosition (cut.getSize() - 1000) && out.truncate().wasOk());
    }

    juce::String error;
    EXPECT_TRUE (overviewFromFile (temp.file ("missing.wav"), 100, error).isEmpty());
    EXPECT_EQ (error, "The file does not exist.");
    EXPECT_TRUE (overviewFromFileRange (temp.file ("missing.wav"), 0.0, 1.0, 100, error).isEmpty());
    EXPECT_EQ (error, "The file could not be opened for reading.");

    // A file shorter than its header says must not show its missing end as silence.
    const juce::String truncated = "The file is truncated: its header announces 1000 frames, but only 500 are present.";
    EXPECT_TRUE (overviewFromFile (cut, 100, error).isEmpty());
    EXPECT_EQ (error, truncated);
    EXPECT_TRUE (overviewFromFileRange (cut, 0.0, 0.1, 100, error).isEmpty());
    EXPECT_EQ (error, truncated);

    // A range of a file past the channel limit was read anyway, and the framework's WAV reader
    // never returns from a frame wider than its 5760-byte block: 2000 channels of 24 bits hung.
    const auto wide = temp.file ("wide.wav");
    const std::vector<char> frame (2000 * 3, 0);
    ASSERT_TRUE (writeBytes (wide, makeWavBytes (1, 2000, 48000, 24, frame.data(), frame.size())));
    const juce::String tooWide = "The file has 2000 channels, the limit is 64.";
    EXPECT_TRUE (overviewFromFile (wide, 100, error).isEmpty());
    EXPECT_EQ (error, tooWide);
    EXPECT_TRUE (overviewFromFileRange (wide, 0.0, 1.0, 100, error).isEmpty());
    EXPECT_EQ (error, tooWide);
}

TEST (WaveformOverview, AFileOverviewStopsWhenCancelled)
{
    TemporaryFolder temp;
    const auto file = temp.file ("long.wav");
    juce::AudioBuffer<float> noise (1, 300000);
    noise.clear();
    noise.setSample (0, 299999, 0.5f);
    ASSERT_TRUE (writeAudioFile (file, "wav", noise, 48000.0, 16));

    int polls = 0;
    juce::String error;
    const auto overview = overviewFromFile (file, 100, error, [&polls] { return ++polls > 2; });
    EXPECT_TRUE (overview.isEmpty());
    EXPECT_TRUE (isCancelledError (error));
    EXPECT_EQ (polls, 3) << "polled once per block until it said yes";

    EXPECT_FALSE (overviewFromFile (file, 100, error, [] { return false; }).isEmpty());
    EXPECT_TRUE (error.isEmpty());
}
