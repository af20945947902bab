#include "AudioBufferOps.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "AudioFormats.h"
#include "BufferMemory.h"

namespace dunmoor
{

namespace
{
    std::atomic<juce::int64> renderBufferByteLimit { 0 };
} // namespace

juce::int64 setRenderBufferByteLimit (juce::int64 bytes) noexcept
{
    return renderBufferByteLimit.exchange (std::max<juce::int64> (0, bytes));
}

//==============================================================================
bool allocateRenderBuffer (juce::AudioBuffer<double>& buffer, int numChannels, juce::int64 numFrames, juce::String& error)
{
    error.clear();

    if (numChannels < 1 || numChannels > maxAudioChannels)
    {
        error = "Unsupported channel count: " + juce::String (numChannels) + ".";
        return false;
    }

    if (numFrames < 0)
    {
        error = "Negative render length.";
        return false;
    }

    if (numFrames > maxReadFrames)
    {
        error = "The render is too long: " + juce::String (numFrames) + " frames.";
        return false;
    }

    auto notEnoughMemory = [&]
    {
        error = "Not enough memory for a render buffer of " + juce::String (numFrames) + " frames and "
                + juce::String (numChannels) + " channels.";
        return false;
    };

    const auto limit = renderBufferByteLimit.load();

    if (limit > 0 && numFrames * numChannels > limit / (juce::int64) sizeof (double))
        return notEnoughMemory();

    try
    {
        // A buffer marked as cleared stays so when it grows, and its memory then comes zeroed from
        // the allocator: a large render buffer costs no pass over its pages until it is used.
        juce::AudioBuffer<double> fresh;
        fresh.clear();
        fresh.setSize (numChannels, (int) numFrames);
        adviseLargeBuffer (fresh);
        buffer = std::move (fresh);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return notEnoughMemory();
    }
}

void sumChannels (double* const* destination,
                  int destinationChannels,
                  const double* const* source,
                  int sourceChannels,
                  juce::int64 sourceFrames,
                  juce::int64 begin,
                  juce::int64 end,
                  bool replace,
                  double gain) noexcept
{
    for (int ch = 0; ch < destinationChannels; ++ch)
    {
        const int sourceChannel = sourceChannels == 1 ? 0 : ch;
        const auto fedEnd = sourceChannel < sourceChannels ? std::clamp (sourceFrames, begin, end) : begin;
        const auto fed = (int) (fedEnd - begin);
        auto* d = destination[ch] + begin;

        if (fed > 0)
        {
            const auto* s = source[sourceChannel] + begin;

            if (replace)
            {
                if (gain == 1.0)
                    juce::FloatVectorOperations::copy (d, s, fed);
                else
                    juce::FloatVectorOperations::copyWithMultiply (d, s, gain, fed);
            }
            else if (gain == 1.0)
            {
                juce::FloatVectorOperations::add (d, s, fed);
            }
            else
            {
                juce::FloatVectorOperations::addWithMultiply (d, s, gain, fed);
            }
        }

        if (replace && end > fedEnd)
            juce::FloatVectorOperations::clear (destination[ch] + fedEnd, (int) (end - fedEnd));
    }
}

void addBufferTo (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source)
{
    addBufferWithGain (destination, source, 1.0);
}

void addBufferWithGain (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source, double gain)
{
    if (gain == 0.0 || source.getNumChannels() == 0 || source.hasBeenCleared())
        return;

    sumChannels (destination.getArrayOfWritePointers(), destination.getNumChannels(),
                 source.getArrayOfReadPointers(), source.getNumChannels(), source.getNumSamples(),
                 0, destination.getNumSamples(), false, gain);
}

void scaleBuffer (juce::AudioBuffer<double>& buffer, double gain)
{
    if (gain == 1.0)
        return;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        auto* samples = buffer.getWritePointer (ch);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            samples[i] *= gain;
    }
}

} // namespace dunmoor
