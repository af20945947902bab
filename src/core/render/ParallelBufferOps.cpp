#include "ParallelBufferOps.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "core/audio/AudioBufferOps.h"

namespace dunmoor
{

namespace
{
    constexpr int64_t pieceFrames = (int64_t) 1 << 18;
} // namespace

void sumInto (RenderWorkers* helpers, juce::AudioBuffer<double>& dest, const juce::AudioBuffer<double>& src, bool first)
{
    const int destChannels = dest.getNumChannels();
    const int srcChannels = src.getNumChannels();
    const int64_t srcFrames = src.getNumSamples();
    double* const* d = dest.getArrayOfWritePointers();
    const double* const* s = src.getArrayOfReadPointers();

    parallelFor (helpers, dest.getNumSamples(), pieceFrames, [=] (int64_t begin, int64_t end)
                 { sumChannels (d, destChannels, s, srcChannels, srcFrames, begin, end, first); });
}

void scaleAll (RenderWorkers* helpers, juce::AudioBuffer<double>& buffer, double gain)
{
    if (gain == 1.0)
        return;

    const int channels = buffer.getNumChannels();
    double* const* d = buffer.getArrayOfWritePointers();

    parallelFor (helpers, buffer.getNumSamples(), pieceFrames, [=] (int64_t begin, int64_t end)
                 {
                     for (int ch = 0; ch < channels; ++ch)
                         for (int64_t i = begin; i < end; ++i)
                             d[ch][i] *= gain;
                 });
}

double samplePeakOf (RenderWorkers* helpers, const juce::AudioBuffer<double>& buffer)
{
    const int channels = buffer.getNumChannels();
    const int64_t frames = buffer.getNumSamples();

    if (channels <= 0 || frames <= 0)
        return 0.0;

    const double* const* x = buffer.getArrayOfReadPointers();
    std::vector<double> peaks ((size_t) ((frames + pieceFrames - 1) / pieceFrames), 0.0);
    double* results = peaks.data();

    parallelFor (helpers, frames, pieceFrames, [=] (int64_t begin, int64_t end)
                 {
                     double peak = 0.0;
                     bool notANumber = false;

                     for (int ch = 0; ch < channels; ++ch)
                     {
                         for (int64_t i = begin; i < end; ++i)
                         {
                             const double a = std::abs (x[ch][i]);
                             peak = a > peak ? a : peak;
                             notANumber = notANumber || a != a;
                         }
                     }

                     results[begin / pieceFrames] = notANumber ? std::numeric_limits<double>::infinity() : peak;
                 });

    return *std::max_element (peaks.begin(), peaks.end());
}

} // namespace dunmoor
