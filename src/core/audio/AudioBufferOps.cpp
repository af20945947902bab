#include "AudioBufferOps.h"

#include <algorithm>
#include <new>

#include "AudioFormats.h"
#include "BufferMemory.h"

namespace dunmoor
{

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
        error = "Not enough memory for a render buffer of " + juce::String (numFrames) + " frames and "
                + juce::String (numChannels) + " channels.";
        return false;
    }
}

void addBufferTo (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source)
{
    addBufferWithGain (destination, source, 1.0);
}

void addBufferWithGain (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source, double gain)
{
    const int n = std::min (destination.getNumSamples(), source.getNumSamples());

    if (n <= 0 || gain == 0.0 || source.getNumChannels() == 0)
        return;

    const bool monoSource = source.getNumChannels() == 1;

    for (int ch = 0; ch < destination.getNumChannels(); ++ch)
    {
        const int sourceChannel = monoSource ? 0 : ch;

        if (sourceChannel >= source.getNumChannels())
            continue;

        // Adds nothing from a source marked as cleared; copies into a destination marked as cleared.
        destination.addFrom (ch, 0, source, sourceChannel, 0, n, gain);
    }
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
