#pragma once

#include <memory>

#include <juce_audio_basics/juce_audio_basics.h>

#include "EncoderSettings.h"
#include "core/audio/CancelCheck.h"
#include "core/audio/ParallelTasks.h"

namespace dunmoor
{

/** One file being written a window of audio at a time. Dropped before finish() has succeeded,
    it leaves the target as it was, with no temporary file behind. Belongs to one thread at a
    time. */
class EncodeSession
{
public:
    virtual ~EncodeSession() = default;

    /** Appends the first count frames of audio (which has the session's channel count). Every
        window but the last holds a whole number of getWindowFrames(), so that the file is the
        one encode() makes of the whole audio at once. False with the reason in error; the
        session is then dropped. The cancel check and the parallel tasks are used as encode()
        uses them. */
    [[nodiscard]] virtual bool append (const juce::AudioBuffer<double>& audio,
                                       int count,
                                       juce::String& error,
                                       const CancelCheck& cancel = {},
                                       const ParallelTasks& parallel = {}) = 0;

    /** Finishes the file once every frame announced to begin() has been appended, and moves
        it over the target. False with the reason in error. */
    [[nodiscard]] virtual bool finish (juce::String& error) = 0;

    /** What every window but the last must be a multiple of, in frames. */
    virtual int getWindowFrames() const = 0;
};

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

    /** Starts writing a file of numFrames frames of numChannels channels, to be handed over a
        window at a time; null with the reason in error (cleared on entry) when it can't be
        written, for the same reasons encode() would refuse it. */
    [[nodiscard]] virtual std::unique_ptr<EncodeSession> begin (const juce::File& target,
                                                                const EncoderSettings& settings,
                                                                int numChannels,
                                                                juce::int64 numFrames,
                                                                juce::String& error) = 0;

    virtual juce::String getName() const = 0;
};

} // namespace dunmoor
