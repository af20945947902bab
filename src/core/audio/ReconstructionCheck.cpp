#include "ReconstructionCheck.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "AudioBufferOps.h"
#include "AudioFileReader.h"
#include "LevelMeter.h"

namespace dunmoor
{

ReconstructionInputs chooseReconstructionInputs (const std::vector<ReconstructionCandidate>& writtenFiles, double projectRate)
{
    ReconstructionInputs inputs;

    auto takesPart = [projectRate] (const ReconstructionCandidate& c)
    {
        return c.lossless && std::abs (c.sampleRate - projectRate) <= 0.5 && c.kind != 2;
    };

    const auto mix = std::find_if (writtenFiles.begin(), writtenFiles.end(), [&] (const ReconstructionCandidate& c)
                                   { return c.kind == 1 && takesPart (c); });

    if (mix == writtenFiles.end())
        return inputs;

    inputs.hasMix = true;
    inputs.mixFile = mix->file;
    inputs.bits = bitsPerSample (mix->sampleFormat);
    inputs.ditherKind = mix->sampleFormat == SampleFormat::float32 ? 0 : (int) mix->dither;

    // Only the compared entry's stems, so that files of one bit depth are measured against the
    // tolerance of that depth.
    juce::StringArray seenIds;

    for (const auto& c : writtenFiles)
    {
        if (c.kind != 0 || ! takesPart (c) || c.formatOrdinal != mix->formatOrdinal || seenIds.contains (c.stemId))
            continue;

        seenIds.add (c.stemId);
        inputs.stemFiles.push_back (c.file);
    }

    return inputs;
}

double reconstructionTolerance (int bits, int stemCount, int ditherKind)
{
    if (bits <= 0)
        return -140.0;

    const double lsb = std::ldexp (1.0, -(bits - 1));   // one step of a signed sample of that depth

    double factor = 6.0;    // noise-shaped dither and anything unknown

    if (ditherKind == (int) DitherKind::none)
        factor = 0.5;
    else if (ditherKind == (int) DitherKind::tpdf || ditherKind == (int) DitherKind::tpdfContinuous)
        factor = 1.5;

    const double x = (std::ldexp (1.0, -25) + factor * lsb) * (double) (std::max (1, stemCount) + 1);
    const double dB = gainToDecibels (x);
    return dB > -399.0 ? dB + 3.0 : -140.0;
}

namespace
{
    // Frames of each file read per window: a few seconds at the usual rates.
    constexpr int checkWindowFrames = 1 << 18;

    /** A cancel is no verdict on the files: nothing was compared. */
    ReconstructionResult cancelledCheck (double toleranceDb)
    {
        ReconstructionResult result;
        result.toleranceDb = toleranceDb;
        result.state = ReconstructionState::skipped;
        result.detail = getCancelledErrorText();
        result.cancelled = true;
        return result;
    }

    ReconstructionResult checkWithoutStems (double toleranceDb)
    {
        ReconstructionResult result;
        result.toleranceDb = toleranceDb;
        result.state = ReconstructionState::skipped;
        result.detail = "No lossless stems were written, so there is nothing to verify.";
        return result;
    }

    /** The residual of the stems' sum against the mix: its peak, and its squares summed
        channel by channel in frame order, however the frames are handed over. */
    struct Residual
    {
        explicit Residual (int numChannels) : channelSquares ((size_t) std::max (0, numChannels), 0.0) {}

        /** Frames of one channel of the sum (a) and the mix (b); a null channel is silence. */
        void add (int ch, const double* a, const double* b, int64_t count)
        {
            auto squares = channelSquares[(size_t) ch];

            for (int64_t i = 0; i < count; ++i)
            {
                const double r = (a != nullptr ? a[i] : 0.0) - (b != nullptr ? b[i] : 0.0);
                const double magnitude = std::abs (r);

                // NaN must not slip past the comparison as a small residual.
                peak = (magnitude > peak || std::isnan (magnitude)) ? magnitude : peak;
                squares += r * r;
            }

            channelSquares[(size_t) ch] = squares;
        }

        ReconstructionResult verdict (int64_t frames, double toleranceDb, bool sameLength) const
        {
            ReconstructionResult result;
            result.toleranceDb = toleranceDb;
            result.framesCompared = frames;

            double sumOfSquares = 0.0;

            for (auto squares : channelSquares)
                sumOfSquares += squares;

            const auto residualPeak = std::isnan (peak) ? std::numeric_limits<double>::infinity() : peak;
            const double count = (double) frames * (double) channelSquares.size();
            result.residualPeakDb = gainToDecibels (residualPeak);
            result.residualRmsDb = count > 0.0 ? gainToDecibels (std::sqrt (sumOfSquares / count)) : -400.0;
            result.state = sameLength && result.residualPeakDb <= toleranceDb ? ReconstructionState::passed
                                                                               : ReconstructionState::failed;
            result.detail = "Residual peak " + juce::String (result.residualPeakDb, 2) + " dB (tolerance "
                          + juce::String (toleranceDb, 2) + " dB), RMS " + juce::String (result.residualRmsDb, 2) + " dB.";
            return result;
        }

        std::vector<double> channelSquares;
        double peak = 0.0;
    };
} // namespace

ReconstructionResult runReconstructionCheck (const std::vector<juce::File>& stemFiles,
                                             const juce::File& mixFile,
                                             double toleranceDb,
                                             const CancelCheck& cancel,
                                             const ParallelTasks& parallel)
{
    ReconstructionResult result;
    result.toleranceDb = toleranceDb;

    auto fail = [&result] (const juce::String& detail)
    {
        result.state = ReconstructionState::failed;
        result.detail = detail;
        return result;
    };

    auto cancelled = [toleranceDb] { return cancelledCheck (toleranceDb); };

    if (stemFiles.empty())
        return checkWithoutStems (toleranceDb);

    try
    {
        // Every file is opened first, the mix and then the stems in order, and refused as the
        // whole files would be.
        juce::String error;
        AudioFileWindowReader mixReader;

        if (! mixReader.open (mixFile, 0.0, error))
            return isCancelledError (error) ? cancelled() : fail ("Could not read the exported full mix back: " + error);

        const auto channels = mixReader.getNumChannels();
        const auto frames = mixReader.getLength();
        std::vector<std::unique_ptr<AudioFileWindowReader>> stems;

        for (const auto& stemFile : stemFiles)
        {
            if (isCancelRequested (cancel))
                return cancelled();

            // The stems before a refused one count as compared, as when whole files are added.
            result.stemsCompared = (int) stems.size();
            auto reader = std::make_unique<AudioFileWindowReader>();

            if (! reader->open (stemFile, 0.0, error))
                return isCancelledError (error) ? cancelled() : fail ("Could not read '" + stemFile.getFileName() + "' back: " + error);

            if (reader->getLength() > frames)
                return fail ("'" + stemFile.getFileName() + "' is longer than the exported full mix.");

            // Channels the mix doesn't have would be left out of the sum and never compared.
            if (reader->getNumChannels() > 1 && reader->getNumChannels() > channels)
                return fail ("'" + stemFile.getFileName() + "' has more channels than the exported full mix.");

            stems.push_back (std::move (reader));
        }

        // One window of each file; [0] is the mix.
        const auto windowFrames = (int) std::min<juce::int64> (checkWindowFrames, std::max<juce::int64> (1, frames));
        std::vector<juce::AudioBuffer<double>> windows (stems.size() + 1);
        windows[0].setSize (channels, windowFrames);

        for (size_t k = 0; k < stems.size(); ++k)
            windows[k + 1].setSize (stems[k]->getNumChannels(), windowFrames);

        juce::AudioBuffer<double> sum (channels, windowFrames);
        std::vector<juce::String> errors (windows.size());
        Residual residual (channels);

        for (juce::int64 start = 0; start < frames; start += windowFrames)
        {
            if (isCancelRequested (cancel))
                return cancelled();

            const auto count = (int) std::min<juce::int64> (windowFrames, frames - start);

            auto readWindow = [&] (int k)
            {
                auto& reader = k == 0 ? mixReader : *stems[(size_t) k - 1];
                const auto fed = (int) std::clamp<juce::int64> (reader.getLength() - start, 0, count);

                if (! reader.read (start, fed, windows[(size_t) k], errors[(size_t) k], cancel))
                    return;

                errors[(size_t) k].clear();
            };

            for (auto& e : errors)
                e = "not read";

            if (parallel != nullptr)
                parallel ((int) windows.size(), readWindow);
            else
                for (int k = 0; k < (int) windows.size(); ++k)
                    readWindow (k);

            // The first failure in reading order is told, as when whole files are read.
            for (size_t k = 0; k < errors.size(); ++k)
            {
                if (errors[k].isEmpty())
                    continue;

                if (isCancelledError (errors[k]))
                    return cancelled();

                result.stemsCompared = k > 0 ? (int) k - 1 : 0;

                return k == 0 ? fail ("Could not read the exported full mix back: " + errors[k])
                              : fail ("Could not read '" + stemFiles[k - 1].getFileName() + "' back: " + errors[k]);
            }

            // The stems added up in order, each over the frames it has, as whole stems are.
            sum.clear();
            auto* const* s = sum.getArrayOfWritePointers();

            for (size_t k = 0; k < stems.size(); ++k)
            {
                const auto fed = std::clamp<juce::int64> (stems[k]->getLength() - start, 0, count);
                sumChannels (s, channels, windows[k + 1].getArrayOfReadPointers(), windows[k + 1].getNumChannels(), fed, 0, count, false, 1.0);
            }

            for (int ch = 0; ch < channels; ++ch)
                residual.add (ch, sum.getReadPointer (ch), windows[0].getReadPointer (ch), count);
        }

        result = residual.verdict (frames, toleranceDb, true);
        result.stemsCompared = (int) stems.size();
        return result;
    }
    catch (const std::bad_alloc&)
    {
        return fail ("There is not enough memory to read the files back.");
    }
}

ReconstructionResult runReconstructionCheck (const std::vector<juce::File>& stemFiles,
                                             const juce::File& mixFile,
                                             double toleranceDb,
                                             const ReconstructionStemReader& readStem,
                                             const CancelCheck& cancel)
{
    ReconstructionResult result;
    result.toleranceDb = toleranceDb;

    auto fail = [&result] (const juce::String& detail)
    {
        result.state = ReconstructionState::failed;
        result.detail = detail;
        return result;
    };

    auto cancelled = [toleranceDb] { return cancelledCheck (toleranceDb); };

    if (stemFiles.empty())
        return checkWithoutStems (toleranceDb);

    try
    {
        juce::AudioBuffer<double> mix;
        juce::String error;

        if (! readAudioFileAtOwnRate (mixFile, mix, error, cancel))
            return isCancelledError (error) ? cancelled() : fail ("Could not read the exported full mix back: " + error);

        juce::AudioBuffer<double> sum;

        if (! allocateRenderBuffer (sum, mix.getNumChannels(), mix.getNumSamples(), error))
            return fail ("Could not verify the stems: " + error);

        // One buffer for every stem: a reader may hand its memory on to the next read.
        juce::AudioBuffer<double> stem;

        for (size_t index = 0; index < stemFiles.size(); ++index)
        {
            const auto& stemFile = stemFiles[index];

            if (isCancelRequested (cancel))
                return cancelled();

            if (! readStem (index, stemFile, stem, error))
                return isCancelledError (error) ? cancelled() : fail ("Could not read '" + stemFile.getFileName() + "' back: " + error);

            if (stem.getNumSamples() > mix.getNumSamples())
                return fail ("'" + stemFile.getFileName() + "' is longer than the exported full mix.");

            // Channels the mix doesn't have would be left out of the sum and never compared.
            if (stem.getNumChannels() > 1 && stem.getNumChannels() > mix.getNumChannels())
                return fail ("'" + stemFile.getFileName() + "' has more channels than the exported full mix.");

            addBufferTo (sum, stem);
            ++result.stemsCompared;
        }

        const int stemsCompared = result.stemsCompared;
        result = compareWithMix (sum, mix, toleranceDb);
        result.stemsCompared = stemsCompared;
        return result;
    }
    catch (const std::bad_alloc&)
    {
        return fail ("There is not enough memory to read the files back.");
    }
}

ReconstructionResult compareWithMix (const juce::AudioBuffer<double>& stemSum, const juce::AudioBuffer<double>& mix, double toleranceDb)
{
    const int64_t frames = std::min (stemSum.getNumSamples(), mix.getNumSamples());
    const int channels = std::max (stemSum.getNumChannels(), mix.getNumChannels());
    Residual residual (channels);

    for (int ch = 0; ch < channels; ++ch)
        residual.add (ch, ch < stemSum.getNumChannels() ? stemSum.getReadPointer (ch) : nullptr,
                      ch < mix.getNumChannels() ? mix.getReadPointer (ch) : nullptr, frames);

    return residual.verdict (frames, toleranceDb, stemSum.getNumSamples() == mix.getNumSamples());
}

} // namespace dunmoor
