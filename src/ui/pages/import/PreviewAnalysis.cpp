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
class PreviewAnalysis::Worker : public juce::Thread
{
public:
    explicit Worker (PreviewAnalysis& o)
        : juce::Thread ("Brackenfold spectrogram")
        , owner (o)
    {
    }

    void run() override
    {
        while (! threadShouldExit())
        {
            const auto request = owner.takeRequest();

            if (! request.has_value())
            {
                wait (-1);
                continue;
            }

            // Stops at the next column or block once a newer request (or the end) is in.
            owner.run (*request, [this, g = request->generation]
                       { return threadShouldExit() || owner.generation.load() != g; });
        }
    }

private:
    PreviewAnalysis& owner; // waits for this thread before it goes
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
    , worker (std::make_unique<Worker> (*this))
{
    self = this;
    worker->startThread();
}

PreviewAnalysis::~PreviewAnalysis()
{
    ++generation;

    // Waits as long as it takes (a negative time-out never kills): the running job stops at its
    // next column or block.
    worker->stopThread (-1);
}

juce::String PreviewAnalysis::getWorkerThreadName() const
{
    return worker->getThreadName();
}

void PreviewAnalysis::start (const juce::File& file, ViewRange range)
{
    const auto requestGeneration = ++generation; // the running job sees it and stops

    {
        const std::lock_guard<std::mutex> lock (requestMutex);
        pending = Request { file, range, requestGeneration };
    }

    busy = true;
    worker->notify();
}

void PreviewAnalysis::cancel()
{
    ++generation;

    {
        const std::lock_guard<std::mutex> lock (requestMutex);
        pending.reset();
    }

    busy = false;
}

std::optional<PreviewAnalysis::Request> PreviewAnalysis::takeRequest()
{
    const std::lock_guard<std::mutex> lock (requestMutex);
    auto request = std::move (pending);
    pending.reset();
    return request;
}

void PreviewAnalysis::run (const Request& request, const CancelCheck& cancel)
{
    auto result = compute (request.file, request.range, cancel);

    if (cancel())
        return;

    result.path = request.file.getFullPathName();
    result.range = request.range;
    result.wholeFile = request.range.isWholeFile();
    result.generation = request.generation;

    // The reference was made on the message thread; it is read only there, where the analysis
    // may already have gone.
    juce::MessageManager::callAsync ([target = self, result = std::move (result)]
                                     {
                                         if (auto* analysis = target.get())
                                             analysis->deliver (result);
                                     });
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
