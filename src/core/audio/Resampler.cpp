#include "Resampler.h"

#include "BufferMemory.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace dunmoor
{

double besselI0 (double x)
{
    const double y = x / 2.0;
    double sum = 1.0;
    double term = 1.0;

    for (int k = 1; k <= 63; ++k)
    {
        const double f = y / (double) k;
        term *= f * f;
        sum += term;

        if (term < sum * 1e-18)
            break;
    }

    return sum;
}

namespace
{
    using Table = std::vector<double>;

    std::shared_ptr<const Table> buildTable (double ratio, int halfWidth, int phases)
    {
        const int taps = 2 * halfWidth;
        auto table = std::make_shared<Table> ((size_t) (phases + 1) * (size_t) taps, 0.0);

        const double beta = 12.0;
        const double i0Beta = besselI0 (beta);
        const double twoFc = 0.95 * std::min (ratio, 1.0);
        const double pi = juce::MathConstants<double>::pi;

        for (int r = 0; r <= phases; ++r)
        {
            double* row = table->data() + (size_t) r * (size_t) taps;
            const double frac = (double) r / (double) phases;

            for (int j = 0; j < taps; ++j)
            {
                const double t = (double) (j - halfWidth + 1) - frac;
                const double u = t / (double) halfWidth;

                if (std::abs (u) >= 1.0)
                    continue;

                const double w = besselI0 (beta * std::sqrt (1.0 - u * u)) / i0Beta;
                const double x = twoFc * t;
                const double s = std::abs (x) < 1e-12 ? 1.0 : std::sin (pi * x) / (pi * x);
                row[j] = twoFc * s * w;
            }

            double sum = 0.0;

            for (int j = 0; j < taps; ++j)
                sum += row[j];

            if (std::abs (sum) > 1e-12)
                for (int j = 0; j < taps; ++j)
                    row[j] /= sum;
        }

        return table;
    }

    // Tables are shared by every resampler of the same ratio, half-width and phase count. The render
    // converts every track of a project at the same pair of rates, and the audition engine converts
    // window after window, so building a table once per pair saves a great deal; the cache is kept
    // small and bounded in bytes so that an odd conversion cannot pin much memory.
    class TableCache
    {
    public:
        std::shared_ptr<const Table> get (double ratio, int halfWidth, int phases)
        {
            {
                const std::lock_guard<std::mutex> lock (mutex);

                for (size_t i = 0; i < entries.size(); ++i)
                {
                    if (entries[i].ratio == ratio && entries[i].halfWidth == halfWidth && entries[i].phases == phases)
                    {
                        auto found = entries[i];
                        entries.erase (entries.begin() + (std::ptrdiff_t) i);
                        entries.insert (entries.begin(), found);
                        return found.table;
                    }
                }
            }

            // Built outside the lock: other threads keep converting meanwhile. Two threads asking
            // for the same new table at once may both build it; the results are identical.
            auto table = buildTable (ratio, halfWidth, phases);

            const std::lock_guard<std::mutex> lock (mutex);
            entries.insert (entries.begin(), Entry { ratio, halfWidth, phases, table });

            size_t bytes = 0;

            for (size_t i = 0; i < entries.size(); ++i)
            {
                bytes += entries[i].table->size() * sizeof (double);

                if (i > 0 && (bytes > maxBytes || i >= maxEntries))
                {
                    entries.resize (i);
                    break;
                }
            }

            return table;
        }

    private:
        struct Entry
        {
            double ratio;
            int halfWidth;
            int phases;
            std::shared_ptr<const Table> table;
        };

        static constexpr size_t maxBytes = 48u * 1024u * 1024u;
        static constexpr size_t maxEntries = 12;

        std::mutex mutex;
        std::vector<Entry> entries;
    };

    TableCache& getTableCache()
    {
        static TableCache cache;
        return cache;
    }

    // The dot product of one kernel row with the input, in eight independent lanes (lane k takes
    // taps k, k + 8, ...) added up in a fixed order at the end. The lanes keep many multiply-adds in
    // flight and map onto vector registers of any width, and since every lane's sum runs in the
    // same order whatever instructions the compiler picks, the result is the same on every machine.
    inline double dot (const double* c, const double* x, int count) noexcept
    {
        double s[8] = { 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0 };
        int j = 0;

        for (; j + 8 <= count; j += 8)
            for (int k = 0; k < 8; ++k)
                s[k] += c[j + k] * x[j + k];

        for (int k = 0; j < count; ++j, ++k)
            s[k] += c[j] * x[j];

        return ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
    }

    // The interpolated kernels of one thread's latest conversions, one per table row: between
    // rates in a small ratio (44.1 to 48 kHz: 160 positions) the same few fractional positions
    // come back over and over, and a kernel is reused only for the very same row and weight,
    // so it is the one the interpolation would give again.
    struct KernelCache
    {
        const double* table = nullptr;
        int taps = 0;
        int phases = 0;
        double ratio = 0.0;
        std::vector<double> weights;            // of each row's kernel, NaN where there is none yet
        std::unique_ptr<double[]> kernels;      // phases rows of taps, touched only where used
    };

    // Kernels for more rows or taps than this are interpolated afresh every time.
    constexpr size_t mostCachedCoefficients = 1 << 17;

    // The conversion proper. On x86-64 with GCC or Clang it is also compiled for AVX2 and the
    // loader picks the widest version the processor runs; both versions do the same arithmetic in
    // the same order (no fused multiply-adds), so their results are identical. Sanitizer builds
    // keep one version: the loader runs the picker before the sanitizer's runtime is up, and an
    // instrumented picker crashes the program before main.
#if defined(__has_feature)
 #if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
  #define DUNMOOR_SANITIZED_BUILD 1
 #endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
 #define DUNMOOR_SANITIZED_BUILD 1
#endif
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && defined(__ELF__) && ! defined(DUNMOOR_SANITIZED_BUILD)
    __attribute__ ((target_clones ("avx2", "default")))
#endif
    void convertFrames (const double* table,
                        int halfWidth,
                        int taps,
                        int phases,
                        double ratio,
                        const double* const* inputs,
                        int numChannels,
                        juce::int64 inCount,
                        juce::int64 inputOffset,
                        double* const* outputs,
                        juce::int64 beginOut,
                        juce::int64 endOut) noexcept
    {
        const double step = 1.0 / ratio;

        // Interpolated coefficients of the current output frame, shared by every channel.
        alignas (32) double c[2 * Resampler::maxWidenedHalfWidth];

        thread_local KernelCache cache;
        bool cached = (size_t) phases * (size_t) taps <= mostCachedCoefficients;

        if (cached && (cache.table != table || cache.taps != taps || cache.phases != phases || cache.ratio != ratio))
        {
            // Without memory for it every kernel is interpolated afresh.
            try
            {
                cache.table = nullptr;
                cache.weights.assign ((size_t) phases, std::numeric_limits<double>::quiet_NaN());
                cache.kernels.reset (new double[(size_t) phases * (size_t) taps]);
                cache.table = table;
                cache.taps = taps;
                cache.phases = phases;
                cache.ratio = ratio;
            }
            catch (const std::bad_alloc&)
            {
                cached = false;
            }
        }

        // Output frame i depends on i alone, so the frames may be computed in any runs.
        for (juce::int64 i = beginOut; i < endOut; ++i)
        {
            const double pos = (double) i * step;
            const double baseD = std::floor (pos);
            const auto base = (juce::int64) baseD;
            const double f = (pos - baseD) * (double) phases;
            const int p = juce::jlimit (0, phases - 1, (int) f);
            const double mu = f - (double) p;

            const juce::int64 first = base - halfWidth + 1;
            const int j0 = (int) std::max<juce::int64> (0, -first);
            const int j1 = (int) std::min<juce::int64> (taps, inCount - first);

            if (j0 >= j1)
            {
                for (int ch = 0; ch < numChannels; ++ch)
                    if (outputs[ch] != nullptr && inputs[ch] != nullptr)
                        outputs[ch][i] = 0.0;

                continue;
            }

            const double* rowA = table + (size_t) p * (size_t) taps;
            const double* rowB = rowA + taps;
            const double* coefficients = rowA;

            // An output on a table row (every one of them for ratios like 2:1 or 1:4) takes the
            // row as it is: interpolating with mu = 0 would give the same values.
            if (mu != 0.0 && cached)
            {
                auto* kernel = cache.kernels.get() + (size_t) p * (size_t) taps;

                if (! (cache.weights[(size_t) p] == mu))
                {
                    for (int j = 0; j < taps; ++j)
                        kernel[j] = rowA[j] + (rowB[j] - rowA[j]) * mu;

                    cache.weights[(size_t) p] = mu;
                }

                coefficients = kernel;
            }
            else if (mu != 0.0)
            {
                for (int j = j0; j < j1; ++j)
                    c[j] = rowA[j] + (rowB[j] - rowA[j]) * mu;

                coefficients = c;
            }

            for (int ch = 0; ch < numChannels; ++ch)
                if (outputs[ch] != nullptr && inputs[ch] != nullptr)
                    outputs[ch][i] = dot (coefficients + j0, inputs[ch] + (first + j0 - inputOffset), j1 - j0);
        }
    }
} // namespace

Resampler::Resampler (double sourceRate, double targetRate, int requestedHalfWidth, int requestedPhases)
{
    jassert (sourceRate > 0.0 && targetRate > 0.0);

    ratio = targetRate / sourceRate;
    halfWidth = juce::jlimit (2, 256, requestedHalfWidth);
    phases = juce::jlimit (16, 8192, requestedPhases);

    if (ratio < 1.0 && ratio > 0.0)
    {
        const double widened = std::ceil ((double) halfWidth / ratio - 1e-9);
        halfWidth = (int) juce::jlimit ((double) halfWidth, (double) maxWidenedHalfWidth, widened);
    }

    taps = 2 * halfWidth;

    try
    {
        table = getTableCache().get (ratio, halfWidth, phases);
    }
    catch (const std::bad_alloc&)
    {
        table.reset();
    }
}

const double* Resampler::getRow (int r) const noexcept
{
    if (table == nullptr || r < 0 || r > phases)
        return nullptr;

    return table->data() + (size_t) r * (size_t) taps;
}

bool Resampler::process (const double* input, juce::int64 inCount, double* output, juce::int64 outCount, const CancelCheck& cancel) const
{
    return process (&input, 1, inCount, &output, outCount, cancel);
}

bool Resampler::process (const double* const* inputs,
                         int numChannels,
                         juce::int64 inCount,
                         double* const* outputs,
                         juce::int64 outCount,
                         const CancelCheck& cancel) const
{
    if (outputs == nullptr || outCount <= 0 || numChannels <= 0)
        return true;

    const bool haveInput = inputs != nullptr && inCount > 0 && table != nullptr;

    for (int ch = 0; ch < numChannels; ++ch)
    {
        if (outputs[ch] == nullptr)
            continue;

        if (! haveInput || inputs[ch] == nullptr)
            std::fill (outputs[ch], outputs[ch] + outCount, 0.0);
    }

    if (! haveInput)
        return true;

    if (cancel == nullptr)
    {
        convertFrames (table->data(), halfWidth, taps, phases, ratio, inputs, numChannels, inCount, 0, outputs, 0, outCount);
        return true;
    }

    for (juce::int64 begin = 0; begin < outCount; begin += cancelPollFrames)
    {
        if (cancel())
            return false;

        convertFrames (table->data(), halfWidth, taps, phases, ratio, inputs, numChannels, inCount, 0, outputs,
                       begin, std::min<juce::int64> (outCount, begin + cancelPollFrames));
    }

    return true;
}

Resampler::InputRange Resampler::getInputRange (juce::int64 inCount, juce::int64 beginOut, juce::int64 endOut) const noexcept
{
    if (endOut <= beginOut || inCount <= 0)
        return {};

    // The same arithmetic as the conversion: the taps of frame i start at floor (i / ratio) - halfWidth + 1.
    const double step = 1.0 / ratio;
    auto firstTap = [&] (juce::int64 i) { return (juce::int64) std::floor ((double) i * step) - halfWidth + 1; };

    InputRange range;
    range.begin = juce::jlimit<juce::int64> (0, inCount, firstTap (beginOut));
    range.end = juce::jlimit<juce::int64> (range.begin, inCount, firstTap (endOut - 1) + taps);
    return range;
}

void Resampler::processSection (const double* const* section,
                                int numChannels,
                                juce::int64 inCount,
                                juce::int64 sectionStart,
                                double* const* outputs,
                                juce::int64 beginOut,
                                juce::int64 endOut) const noexcept
{
    if (table == nullptr || outputs == nullptr || section == nullptr || endOut <= beginOut || numChannels <= 0)
        return;

    convertFrames (table->data(), halfWidth, taps, phases, ratio, section, numChannels, inCount, sectionStart, outputs, beginOut, endOut);
}

juce::int64 getResampledLength (juce::int64 inputFrames, double sourceRate, double targetRate)
{
    // Written so that a NaN rate also gives 0: it would otherwise reach the conversion below.
    if (inputFrames <= 0 || ! (sourceRate > 0.0) || ! (targetRate > 0.0))
        return 0;

    if (std::abs (sourceRate - targetRate) < 0.5)
        return inputFrames;

    const double exact = (double) inputFrames * (targetRate / sourceRate);

    // Far beyond anything a buffer could hold; keeps the conversion below defined. Checked before
    // the rounding, which turns an infinite product into NaN.
    if (! (exact < 9.0e18))
        return std::numeric_limits<juce::int64>::max();

    return (juce::int64) std::ceil (exact - std::abs (exact) * 1e-12);
}

bool resampleBuffer (const juce::AudioBuffer<double>& source,
                     double sourceRate,
                     double targetRate,
                     juce::AudioBuffer<double>& result,
                     juce::String& error,
                     const CancelCheck& cancel)
{
    error.clear();

    try
    {
        if (! (sourceRate > 0.0) || ! (targetRate > 0.0) || source.getNumChannels() <= 0)
        {
            result = juce::AudioBuffer<double>();
            return true;
        }

        if (std::abs (sourceRate - targetRate) < 0.5)
        {
            juce::AudioBuffer<double> copy (source);
            result = std::move (copy);
            return true;
        }

        const auto outLength = getResampledLength (source.getNumSamples(), sourceRate, targetRate);

        if (outLength > std::numeric_limits<int>::max())
        {
            error = "The converted audio would be too long (" + juce::String (outLength) + " frames).";
            return false;
        }

        const Resampler resampler (sourceRate, targetRate, 32, 1024);

        if (! resampler.isValid())
            throw std::bad_alloc();

        // Every output sample is written by process(), so the buffer is not cleared first: clearing
        // would touch every page of a large buffer one more time for nothing.
        juce::AudioBuffer<double> converted (source.getNumChannels(), (int) outLength);
        adviseLargeBuffer (converted);
        if (! resampler.process (source.getArrayOfReadPointers(),
                                 source.getNumChannels(),
                                 source.getNumSamples(),
                                 converted.getArrayOfWritePointers(),
                                 outLength,
                                 cancel))
        {
            error = getCancelledErrorText();
            return false;
        }

        result = std::move (converted);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to convert the sample rate.";
        return false;
    }
}

juce::AudioBuffer<double> resampleBuffer (const juce::AudioBuffer<double>& source, double sourceRate, double targetRate)
{
    juce::AudioBuffer<double> result;
    juce::String error;

    if (! resampleBuffer (source, sourceRate, targetRate, result, error))
        return {};

    return result;
}

} // namespace dunmoor
