#include "ui/widgets/PreviewAnalysis.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int fftOrder = 10; // 1024 points
    constexpr int spectrogramColumns = 700;
    constexpr int overviewBuckets = 2000;
} // namespace

//==============================================================================
PreviewAnalysisResult PreviewAnalysis::computeDefault (const juce::File& file, ViewRange range, const CancelCheck& cancel)
{
    PreviewAnalysisResult result;
    juce::String error;

    if (range.isWholeFile())
    {
        result.spectrogram = computeSpectrogram (file, error, fftOrder, spectrogramColumns, cancel);
        return result;
    }

    // Each column and block reads only its own frames: a zoom into a long multichannel file
    // costs what the picture costs, not what the stretch weighs.
    result.spectrogram = computeSpectrogramOfRange (file, range.start, range.end, error, fftOrder, spectrogramColumns, cancel);

    if (error.isEmpty())
        result.overview = overviewFromFileRange (file, range.start, range.end, overviewBuckets, error, cancel);

    if (error.isNotEmpty())
        result = {};

    return result;
}

PreviewAnalysis::PreviewAnalysis (juce::String workerThreadName, Deliver deliver, Compute c)
    : onResult (std::move (deliver))
    , compute (c ? std::move (c) : Compute (computeDefault))
    , runner (std::move (workerThreadName))
{
}

void PreviewAnalysis::start (const juce::File& file, ViewRange range)
{
    const auto generation = runner.newRequest(); // the running job sees it and stops
    busy = true;

    runner.add ([this, work = compute, file, range, generation] (const CancelCheck& cancelled) -> LatestRequestRunner::Delivery
                {
                    auto result = work (file, range, cancelled);
                    result.path = file.getFullPathName();
                    result.range = range;
                    result.wholeFile = range.isWholeFile();
                    result.generation = generation;

                    // Runs only while this analysis exists and the generation is still the latest.
                    return [this, result = std::move (result)] { deliver (result); };
                });
}

void PreviewAnalysis::cancel()
{
    runner.cancel();
    busy = false;
}

const Spectrogram* PreviewAnalysis::getCachedWholeFile (const juce::String& path) const
{
    return path.isNotEmpty() && path == cachedWholeFilePath && cachedWholeFile.columns > 0 ? &cachedWholeFile : nullptr;
}

void PreviewAnalysis::forgetCachedWholeFile()
{
    cachedWholeFile = {};
    cachedWholeFilePath.clear();
}

void PreviewAnalysis::deliver (const PreviewAnalysisResult& result)
{
    busy = false;

    // Only a whole-file job's picture stands for the whole file, whatever the view shows now.
    if (result.wholeFile && result.spectrogram.columns > 0)
    {
        cachedWholeFile = result.spectrogram;
        cachedWholeFilePath = result.path;
    }

    if (onResult)
        onResult (result);
}

} // namespace dunmoor::ui
