#include "ReconstructionCheck.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

ReconstructionResult runReconstructionCheck (const std::vector<juce::File>& stemFiles,
                                             const juce::File& mixFile,
                                             double toleranceDb,
                                             const CancelCheck& cancel)
{
    return runReconstructionCheck (stemFiles, mixFile, toleranceDb, [&cancel] (size_t, const juce::File& file, juce::AudioBuffer<double>& buffer, juce::String& error)
                                   { return readAudioFileAtOwnRate (file, buffer, error, cancel); },
                                   cancel);
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

    // A cancel is no verdict on the files: nothing was compared.
    auto cancelled = [&result, toleranceDb]
    {
        result = {};
        result.toleranceDb = toleranceDb;
        result.state = ReconstructionState::skipped;
        result.detail = getCancelledErrorText();
        result.cancelled = true;
        return result;
    };

    if (stemFiles.empty())
    {
        result.state = ReconstructionState::skipped;
        result.detail = "No lossless stems were written, so there is nothing to verify.";
        return result;
    }

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
    ReconstructionResult result;
    result.toleranceDb = toleranceDb;

    const int64_t frames = std::min (stemSum.getNumSamples(), mix.getNumSamples());
    const int channels = std::max (stemSum.getNumChannels(), mix.getNumChannels());
    result.framesCompared = frames;

    double peak = 0.0;
    double sumOfSquares = 0.0;

    for (int ch = 0; ch < channels; ++ch)
    {
        const double* a = ch < stemSum.getNumChannels() ? stemSum.getReadPointer (ch) : nullptr;
        const double* b = ch < mix.getNumChannels() ? mix.getReadPointer (ch) : nullptr;
        double channelSquares = 0.0;

        for (int64_t i = 0; i < frames; ++i)
        {
            const double r = (a != nullptr ? a[i] : 0.0) - (b != nullptr ? b[i] : 0.0);
            const double magnitude = std::abs (r);

            // NaN must not slip past the comparison as a small residual.
            peak = (magnitude > peak || std::isnan (magnitude)) ? magnitude : peak;
            channelSquares += r * r;
        }

        sumOfSquares += channelSquares;
    }

    if (std::isnan (peak))
        peak = std::numeric_limits<double>::infinity();

    const double count = (double) frames * (double) channels;
    result.residualPeakDb = gainToDecibels (peak);
    result.residualRmsDb = count > 0.0 ? gainToDecibels (std::sqrt (sumOfSquares / count)) : -400.0;

    const bool sameLength = stemSum.getNumSamples() == mix.getNumSamples();
    result.state = sameLength && result.residualPeakDb <= toleranceDb ? ReconstructionState::passed
                                                                       : ReconstructionState::failed;

    result.detail = "Residual peak " + juce::String (result.residualPeakDb, 2) + " dB (tolerance "
                  + juce::String (toleranceDb, 2) + " dB), RMS " + juce::String (result.residualRmsDb, 2) + " dB.";
    return result;
}

} // namespace dunmoor
