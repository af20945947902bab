#include "PreviewAnalysis.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int fftOrder = 10; // 1024 points
    constexpr int spectrogramColumns = 700;
    constexpr int overviewBuckets = 2000;
} // namespace

//==============================================================================
class PreviewAnalysis::Job : public juce::ThreadPoolJob
{
public:
    Job (PreviewAnalysis& owner, const juce::File& f, ViewRange r, int g)
        : juce::ThreadPoolJob ("spectrogram")
        , target (&owner) // made here, on the message thread
        , compute (owner.compute)
        , currentGeneration (owner.generation)
        , file (f)
        , range (r)
        , jobGeneration (g)
    {
    }

    JobStatus runJob() override
    {
        const CancelCheck cancel = [this] { return shouldExit() || currentGeneration.load() != jobGeneration; };
        auto result = compute (file, range, cancel);

        if (cancel())
            return jobHasFinished;

        result.path = file.getFullPathName();
        result.range = range;
        result.wholeFile = range.isWholeFile();
        result.generation = jobGeneration;

        juce::MessageManager::callAsync ([target = target, result = std::move (result)]
                                         {
                                             if (auto* analysis = target.get())
                                                 analysis->deliver (result);
                                         });
        return jobHasFinished;
    }

private:
    juce::WeakReference<PreviewAnalysis> target;
    Compute compute;
    std::atomic<int>& currentGeneration; // the owner waits for every job before it goes
    juce::File file;
    ViewRange range;
    int jobGeneration;
};

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

PreviewAnalysis::PreviewAnalysis (Deliver deliver, Compute c)
    : onResult (std::move (deliver))
    , compute (c ? std::move (c) : Compute (computeDefault))
{
}

PreviewAnalysis::~PreviewAnalysis()
{
    ++generation;

    // Waits as long as it takes: the running job stops at its next column or block.
    pool.removeAllJobs (true, -1);
}

void PreviewAnalysis::start (const juce::File& file, ViewRange range)
{
    const auto jobGeneration = ++generation;
    pool.removeAllJobs (true, 0); // told to stop, never waited for
    busy = true;
    pool.addJob (new Job (*this, file, range, jobGeneration), true);
}

void PreviewAnalysis::cancel()
{
    ++generation;
    pool.removeAllJobs (true, 0);
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
    if (result.generation != generation.load())
        return;

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
