#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include "EncoderSettings.h"

namespace dunmoor
{

/** Turns one buffer of 64-bit audio into one finished audio file. An encoder can write any
    number of files one after another; it belongs to one thread at a time. */
class AudioEncoder
{
public:
    virtual ~AudioEncoder() = default;

    /** Writes the whole buffer to the target. Returns true when the target now holds it;
        otherwise false with the reason in error (cleared on entry), and the target is left
        as it was. The channel count comes from the buffer. */
    [[nodiscard]] virtual bool encode (const juce::AudioBuffer<double>& audio,
                                       const juce::File& target,
                                       const EncoderSettings& settings,
                                       juce::String& error) = 0;

    virtual juce::String getName() const = 0;
};

} // namespace dunmoor
