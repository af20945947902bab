#pragma once

#include <atomic>
#include <limits>
#include <memory>
#include <vector>

#include "CueRenderStages.h"
#include "core/audio/AudioFileReader.h"

namespace dunmoor::windowed
{

// The writing pass a window at a time, shared by its two files: the stems' windows
// (WindowedStems.cpp) and the mixes summed from them (WindowedMixes.cpp). Nothing else
// includes this.

/**
    The windows of an alternative mix held until the whole mix is measured, each in a file of
    its own, the samples exactly as they are. Each file goes as soon as its window has been read
    back, so the mix being written takes the place of what is held rather than coming on top of
    it. Files still there go with the object.
*/
struct HeldWindows
{
    HeldWindows() = default;
    ~HeldWindows();
    HeldWindows (HeldWindows&&) noexcept = default;
    HeldWindows& operator= (HeldWindows&&) = delete;
    HeldWindows (const HeldWindows&) = delete;
    HeldWindows& operator= (const HeldWindows&) = delete;

    /** Keeps the first count frames of every channel of the window as the next held window;
        false with the reason in error. */
    bool hold (const juce::AudioBuffer<double>& window, int count, juce::String& error);

    /** Reads held window w (count frames, as it was held) into the buffer and removes its file;
        false with the reason in error. */
    bool takeBack (size_t w, juce::AudioBuffer<double>& window, int count, juce::String& error);

    /** Removes the files of every window still held. */
    void clear();

    juce::File base;                // the files are named after it: beside the cue's staged files, on the output disk
    std::vector<juce::File> files;  // one per window held, in order; a taken window's file is gone
};

/** One stem's turn in the writing pass, in plan order. */
struct StemTurn
{
    enum class Kind
    {
        write,      // tracks summed, or silence, written a window at a time
        skip,       // an empty stem left out
        failEmpty,  // an empty stem that stops the cue
        mix,        // the full mix, summed from the stems' windows
        submix,     // an alternative mix, summed from its members' windows
        tell        // an alternative mix with no member to write: a warning at its turn
    };

    size_t plan = 0;                // stems: the plan index; alternative mixes: the mix's index
    Kind kind = Kind::write;
    juce::String progressText;
    juce::String warning;           // what a tell turn says
    std::unique_ptr<PeakMeterStream> meter;     // an alternative mix's peaks, for the report

    // An alternative mix brought to the target on its own is only written once all of it
    // is measured: meanwhile its windows wait in files, not in memory.
    bool ownGain = false;
    HeldWindows held;
    double peakDb = -400.0;
    std::unique_ptr<WindowedWrite> write;
    std::vector<size_t> tracks;     // indices into the pass's tracks (and their gate ranges)
    bool member = false;            // of some alternative mix

    // Used by one task at a time, window after window.
    std::vector<std::unique_ptr<AudioFileWindowReader>> readers;
    juce::AudioBuffer<double> window;
    juce::AudioBuffer<double> ahead;        // a stem's next window, made while this one is encoded
    juce::AudioBuffer<double> trackWindow;
    double lastMilliseconds = 0.0;  // what its last window took
    bool done = false;              // every window written, or stopped
    bool failed = false;
    bool cancelled = false;
    juce::String encodeError;       // a window that could not be handed to the files
    juce::String stemMessage;       // for the stem report
    juce::String cueMessage;        // for the cue's errors
};

/** The shared state of the windows' tasks: the first turn that failed stops the turns after
    it, while those before it go on, so that what the cue reports is what writing the stems
    one after another would have reported. */
struct WindowRun
{
    std::atomic<size_t> firstFailed { std::numeric_limits<size_t>::max() };
    bool mixSummedHere = false;     // the stems' windows are gained and encoded once the mixes have them

    void fail (size_t turn)
    {
        for (auto seen = firstFailed.load(); turn < seen && ! firstFailed.compare_exchange_weak (seen, turn);)
        {
        }
    }
};

/** The full mix's windows: the stems' windows summed in plan order, then gained, as the
    whole mix is; measured after the gain for the report. */
struct MixWindows
{
    juce::AudioBuffer<double> window;
    std::unique_ptr<PeakMeterStream> afterGain;     // when the level is verified after the gain
    int64_t clipCount = 0;
};

/** A gain on the first count frames of a window, as on a whole buffer (1 leaves it alone). */
void applyGain (juce::AudioBuffer<double>& window, int count, double gain);

/** Hands the first count frames of the window, frames [offset, offset + count) of the item,
    to the turn's files, finishing them after the last window. */
void appendWindow (const CueRenderState& state, StemTurn& turn, size_t index, WindowRun& run,
                   const juce::AudioBuffer<double>& window, int64_t offset, int count);

/** With the stems' windows made and not yet gained: sums the full mix's window from them and
    gains it, gains the stems, and sums the alternative mixes from the gained members, every
    sample in the order the whole buffers are summed in. */
void sumMixWindows (CueRenderState& state, std::vector<StemTurn>& turns, size_t numStemTurns, MixWindows& mix, int count);

/** The full mix's window measured after the gain, even when the mix is not written: the
    report gives its level. */
void measureMixWindow (MixWindows& mix, int numChannels, int count);

/** Item k's window, summed and gained, measured where it must be and handed to its files
    (an alternative mix at its own target is held until it is measured). */
void encodeItemWindow (CueRenderState& state, StemTurn& turn, size_t k, MixWindows& mix, WindowRun& run, int64_t offset, int count);

/** The full mix's level after the gain and its full-scale samples, into the report as the
    whole mix gives them, the warning where it stands before the files' own messages. */
void reportMixAfterGain (CueRenderState& state, MixWindows& mix, int warningsAtStart, WindowedWrite* mixWrite);

/** The alternative mixes brought to the target on their own: each is measured by now, gets
    its gain as a whole mix would, and is read back from its file and written a window at a
    time, the mixes side by side. */
void finishAlternativeMixes (CueRenderState& state, std::vector<StemTurn>& turns, WindowRun& run, int windowFrames, const CancelCheck& cancel);

} // namespace dunmoor::windowed
