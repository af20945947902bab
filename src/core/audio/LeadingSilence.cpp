#include "LeadingSilence.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SilenceGate.h"

namespace dunmoor
{

double findLeadingSilence (const juce::AudioBuffer<double>& buffer, double sampleRate, float threshold)
{
    const int numChannels = buffer.getNumChannels();
    const int numFrames = buffer.getNumSamples();

    if (! (sampleRate > 0.0) || numFrames <= 0 || numChannels <= 0)
        return 0.0;

    const int64_t first = firstLoudFrame (buffer.getArrayOfReadPointers(), numChannels, numFrames, threshold);
    return (double) (first >= 0 ? first : numFrames) / sampleRate;
}

int64_t firstLoudFrame (const double* const* channels, int numChannels, int count, float threshold)
{
    if (channels == nullptr || numChannels <= 0 || count <= 0)
        return -1;

    for (int ch = 0; ch < numChannels; ++ch)
        if (channels[ch] == nullptr)
            return -1;

    // Frame by frame, so that the scan stops at the first loud frame whichever channel it is in.
    for (int i = 0; i < count; ++i)
        for (int ch = 0; ch < numChannels; ++ch)
            if (static_cast<float> (std::abs (channels[ch][i])) > threshold)
                return i;

    return -1;
}

int64_t snapToZeroCrossing (const juce::AudioBuffer<double>& buffer, double sampleRate, double seconds)
{
    const int numChannels = buffer.getNumChannels();
    const int64_t numFrames = buffer.getNumSamples();

    if (! (sampleRate > 0.0) || ! (seconds > 0.0) || numFrames < 2)
        return 0;

    const int64_t target = std::min (secondsToFrames (seconds, sampleRate), numFrames - 1);

    if (target <= 0)
        return 0;

    const int64_t window = std::max<int64_t> (1, secondsToFrames (0.02, sampleRate));
    const int64_t first = std::max<int64_t> (1, target - window);
    const int64_t last = std::min<int64_t> (numFrames - 1, target + window);
    const double* const* channels = buffer.getArrayOfReadPointers();

    auto channelSum = [&] (int64_t j)
    {
        double sum = 0.0;

        for (int ch = 0; ch < numChannels; ++ch)
            sum += channels[ch][j];

        return sum;
    };

    int64_t best = -1;
    double previous = channelSum (first - 1);

    for (int64_t j = first; j <= last; ++j)
    {
        const double current = channelSum (j);
        const bool crossing = current == 0.0 || (previous < 0.0 && current > 0.0) || (previous > 0.0 && current < 0.0);

        // Ascending order: of two equally near crossings the earlier one stays.
        if (crossing && (best < 0 || std::abs (j - target) < std::abs (best - target)))
            best = j;

        previous = current;
    }

    return best >= 0 ? best : target;
}

void trimLeadingSilence (juce::AudioBuffer<double>& buffer, int64_t frames, double sampleRate)
{
    const int64_t numFrames = buffer.getNumSamples();

    if (! (frames > 0 && frames < numFrames))
        return;

    const int64_t newLength = numFrames - frames;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        double* x = buffer.getWritePointer (ch);
        std::memmove (x, x + frames, (size_t) newLength * sizeof (double));
    }

    // Shrinking in place keeps the allocation and the channel pointers.
    buffer.setSize (buffer.getNumChannels(), (int) newLength, true, false, true);

    const int64_t fade = std::min (secondsToFrames (0.005, sampleRate), newLength);

    if (fade <= 1)
        return;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        double* x = buffer.getWritePointer (ch);

        for (int64_t k = 0; k < fade; ++k)
            x[k] *= (double) k / (double) (fade - 1);
    }
}

} // namespace dunmoor
