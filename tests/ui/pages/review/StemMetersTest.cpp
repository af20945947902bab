#include <cmath>

#include <gtest/gtest.h>

#include "ui/pages/review/StemMeters.h"

namespace dunmoor::testing
{
using namespace dunmoor::ui;

namespace
{
    /** An overview of duration seconds whose buckets all hold the amplitude. */
    WaveformOverview flatOverview (float amplitude, int buckets = 100, double duration = 10.0)
    {
        WaveformOverview overview;
        overview.minimums.assign ((size_t) buckets, -amplitude);
        overview.maximums.assign ((size_t) buckets, amplitude * 0.5f);
        overview.duration = duration;
        overview.sampleRate = 48000.0;
        overview.peak = amplitude;
        return overview;
    }

    float decibelsToGain (double dB) { return (float) std::pow (10.0, dB / 20.0); }
} // namespace

TEST (StemMeters, TargetsFromTheOverviewAtThePlayhead)
{
    EXPECT_FLOAT_EQ (meterTargetAt (flatOverview (1.0f), 5.0), 1.0f);
    EXPECT_NEAR (meterTargetAt (flatOverview (decibelsToGain (-21.0)), 5.0), 0.5f, 1e-5f);
    EXPECT_NEAR (meterTargetAt (flatOverview (decibelsToGain (-42.0)), 5.0), 0.0f, 1e-5f);
    EXPECT_FLOAT_EQ (meterTargetAt (flatOverview (0.0f), 5.0), 0.0f);
    EXPECT_FLOAT_EQ (meterTargetAt (WaveformOverview(), 5.0), 0.0f);
    EXPECT_FLOAT_EQ (meterTargetAt (flatOverview (1.0f, 100, 0.0), 5.0), 0.0f);

    // Between two buckets the amplitude is interpolated: halfway between full scale and silence.
    auto step = flatOverview (1.0f, 2, 2.0);
    step.minimums[1] = step.maximums[1] = 0.0f;
    EXPECT_NEAR (meterTargetAt (step, 1.0), (20.0 * std::log10 (0.5) + 42.0) / 42.0, 1e-5);

    // Beyond the ends nothing sounds; a tiny track far back in a long mix stays in range.
    EXPECT_FLOAT_EQ (meterTargetAt (flatOverview (1.0f, 2000, 0.001), 3600.0), 0.0f);
    EXPECT_FLOAT_EQ (meterTargetAt (flatOverview (1.0f, 2000, 0.001), 1.0e12), 0.0f);
    EXPECT_FLOAT_EQ (meterTargetAt (flatOverview (1.0f), -1.0), 0.0f);

    // Two tracks of one stem: the louder drives the stem.
    std::map<juce::String, float> targets;
    addMeterTarget (targets, "strings", 0.3f);
    addMeterTarget (targets, "strings", 0.7f);
    addMeterTarget (targets, "strings", 0.5f);
    addMeterTarget (targets, "", 0.2f);
    EXPECT_FLOAT_EQ (targets["strings"], 0.7f);
    EXPECT_FLOAT_EQ (targets[""], 0.2f);
}

TEST (StemMeters, RiseFallAndPeakHold)
{
    StemMeters meters;

    // The first update counts as a step of 0.25 s.
    meters.update ({ { "a", 0.5f } }, 1000.0);
    EXPECT_NEAR (meters.getLevel ("a"), 0.5 * (1.0 - std::exp (-0.25 / 0.045)), 1e-6);
    const auto start = meters.getLevel ("a");

    // Rising: 63 % of the way in 45 ms.
    meters.update ({ { "a", 1.0f } }, 1000.045);
    const auto risen = meters.getLevel ("a");
    EXPECT_NEAR ((risen - start) / (1.0 - start), 1.0 - std::exp (-1.0), 1e-4);
    EXPECT_FLOAT_EQ (meters.getPeak ("a"), risen);

    // Falling: 63 % of the way in 0.3 s; the mark stays where the bar was highest.
    meters.update ({}, 1000.195);
    meters.update ({}, 1000.345);
    EXPECT_NEAR (meters.getLevel ("a") / risen, std::exp (-1.0), 1e-4);
    EXPECT_FLOAT_EQ (meters.getPeak ("a"), risen);

    // Long pauses count as 0.25 s; the mark holds for 1 s after its last rise...
    for (auto t = 1000.545; t < 1001.04; t += 0.25)
        meters.update ({}, t);
    EXPECT_FLOAT_EQ (meters.getPeak ("a"), risen);

    // ...then sinks toward the bar with a 0.35 s constant.
    meters.update ({}, 1001.29);
    const auto level = meters.getLevel ("a");
    EXPECT_NEAR (meters.getPeak ("a"), risen + (level - risen) * (1.0 - std::exp (-0.25 / 0.35)), 1e-5);

    // Bars vanish at 0.001, marks at 0.002; only then are the meters settled.
    bool sawMarkAlone = false;
    for (auto t = 1001.5; t < 1010.0 && ! meters.isSettled(); t += 1.0 / 60.0)
    {
        meters.update ({}, t);
        if (meters.allLevelsDown() && ! meters.isSettled())
            sawMarkAlone = true;

        EXPECT_TRUE (meters.getLevels().empty() || meters.getLevel ("a") > 0.001f);
    }

    EXPECT_TRUE (sawMarkAlone);
    EXPECT_TRUE (meters.isSettled());
    EXPECT_TRUE (meters.getHolds().empty());
}

} // namespace dunmoor::testing
