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

    // The channel's juce::Random holds the generator state between blocks. The loop runs
    // the same linear congruential generator inline and takes each pair of draws straight
    // from the current state (the second through the two-step multiplier), which keeps the
    // sequence identical to two nextDouble() calls at a fraction of their cost.
    constexpr uint64_t multiplier = 0x5deece66dull, increment = 11, mask = 0xffffffffffffull;
    constexpr uint64_t multiplier2 = multiplier * multiplier, increment2 = multiplier * increment + increment;
    constexpr double toUnit = 1.0 / 4294967296.0;
    auto state = (uint64_t) generators[index].getSeed();

    // The shaped kinds work in units of one step, which takes two multiplications out of
    // the error feedback loop; scaling by a power of two changes no rounding.
    const auto step = lsb;
    const auto inverseStep = 1.0 / lsb; // exact: lsb is a power of two
    auto e1 = errorHistory1[index] * inverseStep;
    auto e2 = errorHistory2[index] * inverseStep;
    auto run = zeroRun[index];
    auto gain = ditherGain[index];
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
                            s = shaped ? roundHalfAwayFromZero (s * factor * inverseStep) * step : s * factor;
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

        const auto stateA = (state * multiplier + increment) & mask;
        const auto stateB = (state * multiplier2 + increment2) & mask;
        state = stateB;

        const auto a = (double) (uint32_t) (stateA >> 16) * toUnit;
        const auto b = (double) (uint32_t) (stateB >> 16) * toUnit;

        if constexpr (shaped)
        {
            // A NaN or infinite sample would turn the error feedback into NaN and silence the
            // rest of the channel. It is shaped as what the writer makes of it (NaN as 0,
            // anything beyond full scale clipped), so only its own sample is affected.
            const auto xs = x == x ? juce::jlimit (-4.0, 4.0, x) : 0.0;

            // v = x - (1.5 e1 - 0.5 e2), grouped so that only the newest error sits on the
            // loop-carried path (e2 is known a sample earlier); t = v + noise likewise.
            const auto known = xs * inverseStep + 0.5 * e2;
            const auto v = known - 1.5 * e1;
            const auto t = (known + (a - b) * gain) - 1.5 * e1;
            const auto y = roundHalfAwayFromZero (t);
            e2 = e1;
            e1 = y - v;
            samples[i] = y * step;
        }
        else
        {
            samples[i] = x + (a - b) * step * gain;
        }
    }

    generators[index].setSeed ((juce::int64) state);
    errorHistory1[index] = e1 * step;
    errorHistory2[index] = e2 * step;
    zeroRun[index] = run;
    ditherGain[index] = gain;
}

} // namespace dunmoor
