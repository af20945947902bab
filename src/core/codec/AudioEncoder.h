#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include "EncoderSettings.h"
#include "core/audio/CancelCheck.h"
#include "core/audio/ParallelTasks.h"

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
        as it was, with no temporary file behind. The channel count comes from the buffer.

        The cancel check is polled once per block of audio; when it says yes the encode stops
        and its error is the cancelled text (see isCancelledError()). Work that can be shared
        out goes to parallel, when given; the file is the same either way. Every
        implementation takes the same defaults: an empty check, everything on this thread. */
    [[nodiscard]] virtual bool encode (const juce::AudioBuffer<double>& audio,
                                       const juce::File& target,
                                       const EncoderSettings& settings,
                                       juce::String& error,
                                       const CancelCheck& cancel = {},
                                       const ParallelTasks& parallel = {}) = 0;

    virtual juce::String getName() const = 0;
};

} // namespace dunmoor
