#pragma once

#include <algorithm>
#include <cmath>

#include "core/audio/AudioFileReader.h"

namespace dunmoor::testing
{

/**
    What an audition of the files must play: each file's part of the window read at the rate
    on its own and added in file order into a mix of max(2, widest file) channels (a mono file
    feeds every channel), then scaled to full scale when it would clip. The audition engine
    reads in parallel; its sum must equal this one to the sample.
*/
inline juce::AudioBuffer<double> plainSequentialSum (const juce::Array<juce::File>& files, double rate, double start, double length)
{
    juce::AudioBuffer<double> mix;

    for (const auto& file : files)
    {
        juce::AudioBuffer<double> part;
        juce::String error;

        if (! readAudioFileRange (file, rate, start, length, part, error))
            continue;

        if (mix.getNumChannels() < std::max (2, part.getNumChannels()) || mix.getNumSamples() < part.getNumSamples())
        {
            juce::AudioBuffer<double> grown (std::max ({ 2, mix.getNumChannels(), part.getNumChannels() }),
                                             std::max (mix.getNumSamples(), part.getNumSamples()));
            grown.clear();
            addBufferTo (grown, mix);
            mix = std::move (grown);
        }

        addBufferTo (mix, part);
    }

    double peak = 0.0;

    for (int ch = 0; ch < mix.getNumChannels(); ++ch)
        for (int i = 0; i < mix.getNumSamples(); ++i)
            peak = std::max (peak, std::abs (mix.getSample (ch, i)));

    if (peak > 1.0)
        for (int ch = 0; ch < mix.getNumChannels(); ++ch)
            juce::FloatVectorOperations::multiply (mix.getWritePointer (ch), 1.0 / peak, mix.getNumSamples());

    return mix;
}

} // namespace dunmoor::testing
