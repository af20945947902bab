#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "CancelCheck.h"
#include "ParallelTasks.h"
#include "core/model/Types.h"

namespace dunmoor
{

// The null test of a delivery: the written stems, read back from disk and summed, must give
// the written full mix within a tolerance set by the bit depth, the dither and the number of
// stems. It reads files and never changes or deletes them.

enum class ReconstructionState : int { notRun = 0, passed, failed, skipped };

struct ReconstructionResult
{
    ReconstructionState state = ReconstructionState::notRun;
    double residualPeakDb = -400.0;
    double residualRmsDb = -400.0;
    double toleranceDb = -100.0;        // until a check runs
    int64_t framesCompared = 0;
    int stemsCompared = 0;
    juce::String detail;
    bool cancelled = false;         // stopped by the cancel check: state skipped, nothing was judged
};

/** One file a cue wrote, as the check needs to know it. */
struct ReconstructionCandidate
{
    juce::File file;
    int kind = 0;                   // 0 stem, 1 full mix, 2 alternative mix
    juce::String stemId;            // the stem's id; stems only
    int formatOrdinal = 0;          // which output-format entry wrote it
    bool lossless = false;
    double sampleRate = 0.0;        // the rate written
    SampleFormat sampleFormat = SampleFormat::pcm24;
    DitherKind dither = DitherKind::none;
};

/** What the check compares and the inputs of its tolerance. */
struct ReconstructionInputs
{
    bool hasMix = false;
    juce::File mixFile;
    std::vector<juce::File> stemFiles;
    int bits = 0;                   // of the entry the files come from; 0 for floating point
    int ditherKind = 0;             // of that entry (DitherKind as a number); 0 for floating point
};

/** Chooses the files to compare from a cue's written files, in writing order. Only lossless
    files written within 0.5 Hz of the project rate take part, never alternative mixes. The
    first such full mix is the mix; its format entry is the compared entry, whose stem files
    are taken (the first file of each stem id) and whose bit depth and dither set the
    tolerance. Stems are told apart by id, so two stems that share a display name both count. */
ReconstructionInputs chooseReconstructionInputs (const std::vector<ReconstructionCandidate>& writtenFiles, double projectRate);

/** The tolerance in dB for a bit depth (0 or less: floating point, -140 dB), a number of
    stems and a dither kind (DitherKind as a number). */
double reconstructionTolerance (int bits, int stemCount, int ditherKind);

/** Reads the stem files and the mix file back at their own rates, sums the stems (a mono stem
    feeds every channel) and compares the sum with the mix. Skipped without stem files; FAILED
    when a file can't be read, a stem is longer than the mix or has more channels than it, or
    the residual is above the tolerance. The cancel check is handed to every read and polled
    between the windows; a cancelled check is skipped with cancelled set.

    The files are read a window at a time, each opened once, so that only a window of each is
    in memory whatever their length; the reads of a window are shared out over parallel when
    given. The result is the one of summing and comparing the whole files. */
ReconstructionResult runReconstructionCheck (const std::vector<juce::File>& stemFiles,
                                             const juce::File& mixFile,
                                             double toleranceDb,
                                             const CancelCheck& cancel = {},
                                             const ParallelTasks& parallel = {});

/** Reads stem file number index (in the order given to the check) back at its own rate, as
    readAudioFileAtOwnRate does; false with the reason in error. Lets a caller read the files
    ahead, in parallel, while the check adds them up in order. The buffer holds the previous
    stem (the check is done with it), whose memory the reader may keep for a later read. */
using ReconstructionStemReader = std::function<bool (size_t index, const juce::File& file, juce::AudioBuffer<double>& buffer, juce::String& error)>;

/** runReconstructionCheck with the stems read through readStem; the cancel check goes to the
    mix's read. A stem read that fails with the cancelled text (isCancelledError()) cancels the
    check too. */
ReconstructionResult runReconstructionCheck (const std::vector<juce::File>& stemFiles,
                                             const juce::File& mixFile,
                                             double toleranceDb,
                                             const ReconstructionStemReader& readStem,
                                             const CancelCheck& cancel = {});

/** Compares the sum of the stems with the mix over the shorter length: the residual's peak and
    RMS in dB, PASSED when the lengths are equal and the peak is within the tolerance. A channel
    that only one of the two buffers has is compared against silence. */
ReconstructionResult compareWithMix (const juce::AudioBuffer<double>& stemSum, const juce::AudioBuffer<double>& mix, double toleranceDb);

} // namespace dunmoor
