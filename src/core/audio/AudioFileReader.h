#pragma once

#include <memory>

#include "AudioBufferOps.h"
#include "AudioFileProbe.h"
#include "CancelCheck.h"
#include "ParallelTasks.h"

namespace dunmoor
{

/**
    Reads the whole file as 64-bit samples, resampled to targetRate when that is above 0 and
    differs from the file's rate by more than 0.5 Hz. Refuses files longer than frameCap frames,
    before and after resampling (both checked before any sample is read), float files holding
    NaN or infinite samples, and FLAC files whose stream is damaged or ends early (every frame is
    checked as it is decoded; the message names the file). On failure the buffer is left as it was.

    The cancel check is polled once per block while the samples are read and converted; when
    it says yes the read stops, the buffer is left as it was and the error is the cancelled text
    (isCancelledError() tells it apart from a failure).
*/
[[nodiscard]] bool readAudioFile (const juce::File& file,
                                  double targetRate,
                                  juce::AudioBuffer<double>& buffer,
                                  juce::String& error,
                                  juce::int64 frameCap = maxReadFrames,
                                  const CancelCheck& cancel = {});

/**
    readAudioFile into the buffer's own memory where it is large enough, for a caller that reads
    one file after another (a fresh allocation of a whole file's samples is cleared by the system
    page by page, which costs more than reading them). A sample rate conversion is shared out by
    parallel when there is one; the samples are the same either way. On failure the buffer holds
    no samples worth keeping. probedAlready: the caller's probe of the file in the same job
    found it good, and it is not probed again (the file is still opened with its limits and
    data checked, and every read checked, in case it changed since).
*/
[[nodiscard]] bool readAudioFileInto (const juce::File& file,
                                      double targetRate,
                                      juce::AudioBuffer<double>& buffer,
                                      juce::String& error,
                                      juce::int64 frameCap = maxReadFrames,
                                      const CancelCheck& cancel = {},
                                      const ParallelTasks& parallel = {},
                                      bool probedAlready = false);

/** readAudioFile at the file's own rate with a cap of 1,000,000,000 frames. */
[[nodiscard]] bool readAudioFileAtOwnRate (const juce::File& file,
                                           juce::AudioBuffer<double>& buffer,
                                           juce::String& error,
                                           const CancelCheck& cancel = {});

/**
    Reads a window of the file: from startSeconds (negative counts as 0) for durationSeconds
    (0 or less: to the end), resampled like readAudioFile. Windows are limited to 1,000,000,000
    frames before and after resampling. On failure the buffer is left as it was.
*/
[[nodiscard]] bool readAudioFileRange (const juce::File& file,
                                       double targetRate,
                                       double startSeconds,
                                       double durationSeconds,
                                       juce::AudioBuffer<double>& buffer,
                                       juce::String& error);

/**
    Reads a file a window at a time, from its start towards its end, each window exactly the
    frames readAudioFile gives of the whole file: the file is opened and checked once, a
    converted file goes through the converter a window at a time, and only a window of the file
    (and, converted, a few seconds of it at its own rate) is ever in memory.
*/
class AudioFileWindowReader
{
public:
    AudioFileWindowReader();
    ~AudioFileWindowReader();

    /** Opens the file for reads at targetRate (as readAudioFile takes it), refusing what
        readAudioFile refuses before it reads a sample; probedAlready: the caller's probe of the
        file in the same job found it good, and it is not probed again. False with the reason
        in error. */
    [[nodiscard]] bool open (const juce::File& file, double targetRate, juce::String& error, bool probedAlready = false,
                             juce::int64 frameCap = maxReadFrames);

    int getNumChannels() const noexcept;

    /** The frames of the whole file at the target rate. */
    juce::int64 getLength() const noexcept;

    /** Frames [start, start + count) at the target rate into the first count frames of the
        buffer's channels (it has getNumChannels() channels); frames past the end are not
        touched. Windows come in order: each starts at or after the start of the one before.
        The cancel check is polled once per block; false with the reason in error (the cancelled
        text when it said yes). */
    [[nodiscard]] bool read (juce::int64 start, int count, juce::AudioBuffer<double>& buffer, juce::String& error, const CancelCheck& cancel = {});

private:
    struct State;
    std::unique_ptr<State> state;

    AudioFileWindowReader (const AudioFileWindowReader&) = delete;
    AudioFileWindowReader& operator= (const AudioFileWindowReader&) = delete;
};

} // namespace dunmoor
