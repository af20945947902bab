#pragma once

#include <cmath>

#include "core/audio/Resampler.h"

namespace dunmoor
{

/** The resampler's conversion written out literally: one channel, one output sample and one tap
    at a time, with the coefficient interpolated inside the tap loop. The reference the fast
    version is checked and timed against. */
inline void processLiterally (const Resampler& r, const double* input, juce::int64 inCount, double* output, juce::int64 outCount)
{
    const double step = 1.0 / r.getRatio();

    for (juce::int64 i = 0; i < outCount; ++i)
    {
        const double pos = (double) i * step;
        const auto base = (juce::int64) std::floor (pos);
        const double f = (pos - (double) base) * r.getPhases();
        const int p = juce::jlimit (0, r.getPhases() - 1, (int) f);
        const double mu = f - p;
        const double* rowA = r.getRow (p);
        const double* rowB = r.getRow (p + 1);
        double sum = 0.0;

        for (int j = 0; j < r.getTaps(); ++j)
        {
            const auto k = base - r.getHalfWidth() + 1 + j;

            if (k >= 0 && k < inCount)
                sum += (rowA[j] + (rowB[j] - rowA[j]) * mu) * input[k];
        }

        output[i] = sum;
    }
}

} // namespace dunmoor
