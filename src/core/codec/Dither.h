#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "core/model/Types.h"

namespace dunmoor
{

/** Rounds to the nearest integer, halves away from zero, like std::round but without a
    library call in the per-sample loops. Exact for every double; NaN and values beyond
    2^52 (already whole) come back unchanged. */
inline double roundHalfAwayFromZero (double v) noexcept
{
    if (! (std::abs (v) < 4503599627370496.0)) // 2^52
        return v;

    // Adding the largest double below one half before truncating rounds exact halves up
    // in magnitude and everything below them down, without a branch on the data.
    return (double) (int64_t) (v + std::copysign (0.49999999999999994, v));
}

/** True when narrowing to the format adds dither: the kind is not none and the format is
    an integer one (float32 is never dithered). */
bool isDitherApplicable (DitherKind kind, SampleFormat format);

/** The dither of one file: TPDF noise of ±1 LSB, optionally noise-shaped, with per-channel
    state that carries over from one block to the next.

    The plain kinds only add noise; the file writer's quantiser rounds afterwards. The shaped
    kinds quantise here (onto the grid of the word length), feeding the error back through
    1 - 1.5 z^-1 + 0.5 z^-2, which puts a null at DC. The auto-black kinds (tpdf, tpdfShaped)
    fade the dither out over a run of exact digital silence and write true zeros from the
    1024th zero sample on; the continuous kinds dither everything.

    The same kind, word length and non-zero seed give the same output; seed 0 seeds every
    channel from the system's random generator. Channel indices are clamped to 0..63.
*/
class Dither
{
public:
    static constexpr int maxChannels = 64;

    Dither (DitherKind kind, int bits, uint64_t seed);

    /** Dithers one block of one channel in place. */
    void process (double* samples, int count, int channel);

    DitherKind getKind() const noexcept { return kind; }

    /** One quantisation step, 2^-(bits-1); 0 (dither off) for a word length outside 2..32. */
    double getLsb() const noexcept { return lsb; }

private:
    // The length of a zero run after which the output goes truly black, and the length of
    // the fade on either side of it.
    static constexpr int blackAfterZeros = 1024;
    static constexpr int fadeLength = 256;

    template <bool shaped, bool autoBlack>
    void processChannel (double* samples, int count, int channel);

    DitherKind kind;
    double lsb = 0.0;
    std::array<juce::Random, maxChannels> generators;
    std::array<double, maxChannels> errorHistory1 {};
    std::array<double, maxChannels> errorHistory2 {};
    std::array<int, maxChannels> zeroRun {};
    std::array<double, maxChannels> ditherGain {};
};

} // namespace dunmoor
