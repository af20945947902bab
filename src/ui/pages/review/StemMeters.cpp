#include "StemMeters.h"

#include <cmath>

namespace dunmoor::ui
{

namespace
{
    float bucketAmplitude (const WaveformOverview& overview, double bucket)
    {
        // The bucket index stays a double until it is known to be inside: a short track late in
        // a long mix gives positions far beyond any int.
        if (bucket < 0.0 || bucket >= (double) overview.getNumBuckets())
            return 0.0f;

        const auto i = (size_t) bucket;
        return std::max (std::abs (overview.minimums[i]), std::abs (overview.maximums[i]));
    }
} // namespace

float meterTargetAt (const WaveformOverview& overview, double seconds)
{
    const auto n = overview.getNumBuckets();

    if (n <= 0 || ! (overview.duration > 0.0) || ! std::isfinite (seconds))
        return 0.0f;

    const auto p = seconds / overview.duration * (double) n - 0.5;
    const auto i = std::floor (p);
    const auto frac = p - i;

    const auto a = (double) bucketAmplitude (overview, i);
    const auto b = (double) bucketAmplitude (overview, i + 1.0);
    const auto x = a + (b - a) * frac;

    const auto dB = x > 0.0 ? std::max (-100.0, 20.0 * std::log10 (x)) : -100.0;
    return (float) juce::jlimit (0.0, 1.0, (dB + 42.0) / 42.0);
}

void addMeterTarget (std::map<juce::String, float>& targets, const juce::String& stemKey, float level)
{
    auto& target = targets[stemKey]; // 0 when new
    target = std::max (target, level);
}

void StemMeters::update (const std::map<juce::String, float>& targets, double nowSeconds)
{
    const auto dt = juce::jlimit (0.0, maxStepSeconds, nowSeconds - lastUpdate);
    lastUpdate = nowSeconds;

    const auto riseFactor = 1.0 - std::exp (-dt / riseSeconds);
    const auto fallFactor = 1.0 - std::exp (-dt / fallSeconds);

    std::map<juce::String, float> next;

    for (const auto& [key, level] : levels)
    {
        const auto found = targets.find (key);
        const auto target = found != targets.end() ? found->second : 0.0f;
        const auto factor = target > level ? riseFactor : fallFactor;
        const auto moved = (float) (level + (target - level) * factor);

        if (moved > levelFloor)
            next.emplace (key, moved);
    }

    for (const auto& [key, target] : targets)
        if (next.count (key) == 0 && levels.count (key) == 0)
            next.emplace (key, (float) (target * riseFactor));

    levels = std::move (next);

    for (const auto& [key, level] : levels)
    {
        auto& hold = holds[key];

        if (! (hold.peak > level))
        {
            hold.peak = level;
            hold.time = nowSeconds;
        }
    }

    const auto peakFactor = 1.0 - std::exp (-dt / peakFallSeconds);

    for (auto it = holds.begin(); it != holds.end();)
    {
        auto& hold = it->second;

        if (nowSeconds - hold.time > holdSeconds)
        {
            const auto level = getLevel (it->first);
            hold.peak = std::max (level, (float) (hold.peak + (level - hold.peak) * peakFactor));
        }

        if (hold.peak <= peakFloor)
            it = holds.erase (it);
        else
            ++it;
    }
}

float StemMeters::getLevel (const juce::String& key) const
{
    const auto found = levels.find (key);
    return found != levels.end() ? found->second : 0.0f;
}

float StemMeters::getPeak (const juce::String& key) const
{
    const auto found = holds.find (key);
    return found != holds.end() ? found->second.peak : 0.0f;
}

bool StemMeters::allLevelsDown() const
{
    for (const auto& entry : levels)
        if (entry.second > levelFloor)
            return false;

    return true;
}

void StemMeters::clear()
{
    levels.clear();
    holds.clear();
}

} // namespace dunmoor::ui
