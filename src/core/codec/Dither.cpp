#include "Dither.h"

#include <algorithm>
#include <cmath>

namespace dunmoor
{

bool isDitherApplicable (DitherKind kind, SampleFormat format)
{
    return kind != DitherKind::none && format != SampleFormat::float32;
}

Dither::Dither (DitherKind kindToUse, int bits, uint64_t seed)
    : kind (kindToUse)
{
    if (bits >= 2 && bits <= 32)
        lsb = std::ldexp (1.0, -(bits - 1));

    ditherGain.fill (1.0);

    for (int i = 0; i < maxChannels; ++i)
    {
        // Unsigned arithmetic wraps, which is what spreads the seeds over the channels.
        const auto channelSeed = (uint64_t) i * 2654435761ull + seed * 2654435769ull;

        generators[(size_t) i].setSeed (seed != 0 ? (juce::int64) channelSeed
                                                  : juce::Random::getSystemRandom().nextInt64());
    }
}

void Dither::process (double* samples, int count, int channel)
{
    if (kind == DitherKind::none || ! (lsb > 0.0) || samples == nullptr || count <= 0)
        return;

    channel = juce::jlimit (0, maxChannels - 1, channel);

    switch (kind)
    {
        case DitherKind::tpdf:                 processChannel<false, true> (samples, count, channel); break;
        case DitherKind::tpdfShaped:           processChannel<true, true> (samples, count, channel); break;
        case DitherKind::tpdfContinuous:       processChannel<false, false> (samples, count, channel); break;
        case DitherKind::tpdfShapedContinuous: processChannel<true, false> (samples, count, channel); break;
        case DitherKind::none:                 break;
    }
}

template <bool shaped, bool autoBlack>
void Dither::processChannel (double* samples, int count, int channel)
{
    const auto index = (size_t) channel;
    auto& random = generators[index];
    auto e1 = errorHistory1[index];
    auto e2 = errorHistory2[index];
    auto run = zeroRun[index];
    auto gain = ditherGain[index];
    const auto step = lsb;
    const auto inverseStep = 1.0 / lsb; // exact: lsb is a power of two
    constexpr auto gainStep = 1.0 / fadeLength;

    for (int i = 0; i < count; ++i)
    {
        const auto x = samples[i];

        if constexpr (autoBlack)
        {
            // NaN is not silence; the run count saturates instead of overflowing.
            if (x == 0.0)
                run = std::min (run + 1, blackAfterZeros + 1);
            else
                run = 0;

            if (run >= blackAfterZeros)
            {
                if (run == blackAfterZeros)
                {
                    // Fade out the dither already added to the first zeros of this run (the
                    // first keeps 255/256 of it) and make the rest of the run exactly zero.
                    // Only samples of this block can still be reached.
                    const auto reach = std::min (blackAfterZeros, i);

                    for (int j = 1; j <= reach; ++j)
                    {
                        const auto factor = 1.0 - (double) (blackAfterZeros - j) / fadeLength;
                        auto& s = samples[i - j];

                        if (factor <= 0.0)
                            s = 0.0;
                        else if (factor < 1.0)
                            s = shaped ? std::round (s * factor * inverseStep) * step : s * factor;
                    }

                    gain = 0.0;
                }

                samples[i] = 0.0;

                if constexpr (shaped)
                {
                    e1 = 0.0;
                    e2 = 0.0;
                }

                continue;
            }
        }

        gain = std::min (gain + gainStep, 1.0);

        const auto a = random.nextDouble();
        const auto b = random.nextDouble();
        const auto noise = (a - b) * step * gain;

        if constexpr (shaped)
        {
            const auto v = x - (1.5 * e1 - 0.5 * e2);
            const auto y = std::round ((v + noise) * inverseStep) * step;
            e2 = e1;
            e1 = y - v;
            samples[i] = y;
        }
        else
        {
            samples[i] = x + noise;
        }
    }

    errorHistory1[index] = e1;
    errorHistory2[index] = e2;
    zeroRun[index] = run;
    ditherGain[index] = gain;
}

} // namespace dunmoor
