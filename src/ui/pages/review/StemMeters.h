#pragma once

#include <map>

#include "core/audio/WaveformOverview.h"

namespace dunmoor::ui
{

/**
    The level a playing track shows at a moment: its overview's amplitude at that time, read
    between the two nearest buckets, as a bar fraction 0..1 where full scale is 1 and -42 dB or
    less is 0 (linear in dB). 0 for an overview without buckets or duration.
*/
float meterTargetAt (const WaveformOverview& overview, double seconds);

/** Folds a track's level into a stem's target: tracks of one stem share a meter, the loudest wins. */
void addMeterTarget (std::map<juce::String, float>& targets, const juce::String& stemKey, float level);

/**
    The ballistics of the Review page's stem meters, as a pure function of the targets and the
    time it is handed: a rising bar covers 63 % of the way to its target in 45 ms, a falling one
    in 300 ms; a peak mark holds 1 s after its last rise, then sinks toward the bar with a 350 ms
    constant. Bars at or below 0.001 and marks at or below 0.002 are dropped. Keys are stem ids;
    the "Unassigned" heading's key is empty.

    The step between two updates is at most 0.25 s, and the very first update counts as such a
    step (the clock starts at 0).
*/
class StemMeters
{
public:
    static constexpr double riseSeconds = 0.045;
    static constexpr double fallSeconds = 0.3;
    static constexpr double holdSeconds = 1.0;
    static constexpr double peakFallSeconds = 0.35;
    static constexpr double maxStepSeconds = 0.25;
    static constexpr float levelFloor = 0.001f;
    static constexpr float peakFloor = 0.002f;

    struct PeakHold
    {
        float peak = 0.0f;
        double time = 0.0; // seconds of the last rise
    };

    /** One step: every bar moves toward its target (0 for a key not in targets). */
    void update (const std::map<juce::String, float>& targets, double nowSeconds);

    float getLevel (const juce::String& key) const;
    float getPeak (const juce::String& key) const;

    /** True when no bar is above the floor. */
    bool allLevelsDown() const;

    /** True when no peak mark is left either. */
    bool isSettled() const { return allLevelsDown() && holds.empty(); }

    /** Forgets every bar and mark (the time of the last update stays). */
    void clear();

    const std::map<juce::String, float>& getLevels() const noexcept { return levels; }
    const std::map<juce::String, PeakHold>& getHolds() const noexcept { return holds; }

private:
    std::map<juce::String, float> levels;
    std::map<juce::String, PeakHold> holds;
    double lastUpdate = 0.0;
};

} // namespace dunmoor::ui
