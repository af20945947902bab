#include "CueRenderStages.h"

#include <algorithm>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/audio/AudioFormats.h"

namespace dunmoor
{

//==============================================================================
CueRenderState::CueRenderState (const CueRenderContext& context)
    : request (context.request)
    , shouldCancel (context.shouldCancel)
    , progress (context.progress)
    , workerThreads (context.workerThreads)
    , batchSourceTracks (context.batchSourceTracks)
    , staging (context.request.outputFolder)
{
}

CueRenderState::~CueRenderState()
{
    // Nothing may still be writing into files or buffers once the state is gone.
    release();
}

bool CueRenderState::isCancelled()
{
    if (! report.cancelled && shouldCancel != nullptr && shouldCancel())
        report.cancelled = true;

    if (report.cancelled)
        cancelled->store (true);

    return report.cancelled;
}

CancelCheck CueRenderState::makeOperationCancelCheck()
{
    // The state outlives every task of the cue (release() waits for them all), and only the
    // rendering thread reaches through the pointer.
    auto* self = this;
    auto flag = cancelled;
    const auto thread = renderThread;

    return [self, flag, thread]
    {
        if (flag->load())
            return true;

        return std::this_thread::get_id() == thread && self->isCancelled();
    };
}

void CueRenderState::reportProgress (double fraction, const juce::String& text, RenderJob::Phase phase)
{
    if (progress != nullptr)
        progress (fraction, text, phase);
}

void CueRenderState::addWarningOnce (const juce::String& text)
{
    report.warnings.addIfNotAlreadyThere (text);
}

void CueRenderState::waitFor (RenderTask& task)
{
    while (! task.waitFor (cancelPollMilliseconds))
        if (std::this_thread::get_id() == renderThread)
            isCancelled();
}

ParallelTasks CueRenderState::makeParallelTasks()
{
    return getWorkers().getNumThreads() > 0 ? shareOutOver (helpers.get()) : ParallelTasks();
}

RenderWorkers& CueRenderState::getWorkers()
{
    if (workers == nullptr)
    {
        const auto count = workerThreads < 0 ? RenderWorkers::getDefaultThreadCount() : workerThreads;
        workers = std::make_unique<RenderWorkers> (count);
        helpers = std::make_unique<RenderWorkers> (std::max (1, count - 1));
    }

    return *workers;
}

void CueRenderState::release()
{
    writeReads.reset();
    writer.release (*this);
    workers.reset();
    helpers.reset();
    stemBuffer = {};
    spareBuffers.clear();
    readSpares.clear();
    mixSums.clear();
}

std::unique_ptr<TrackPrefetcher> CueRenderState::makeReads (std::vector<juce::File> files, ReadSettings settings, int64_t budgetBytes, size_t lookAhead)
{
    return std::make_unique<TrackPrefetcher> (getWorkers(), std::move (files), std::move (settings), budgetBytes, lookAhead,
                                              [this] { return isCancelled(); }, &readSpares);
}

void CueRenderState::noteFoldersToCreate (const juce::File& folder)
{
    std::vector<juce::File> missing;

    for (auto f = folder; f != juce::File() && ! f.exists() && f.getParentDirectory() != f; f = f.getParentDirectory())
        missing.push_back (f);

    // Parents are created before their children.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (std::find (createdFolders.begin(), createdFolders.end(), *it) == createdFolders.end())
            createdFolders.push_back (*it);
}

void CueRenderState::removeFoldersLeftEmpty()
{
    // deleteFile on a folder only removes it when it is empty; a link is never followed.
    for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it)
        if (it->isDirectory() && ! it->isSymbolicLink())
            it->deleteFile();

    createdFolders.clear();
}

std::vector<juce::File> CueRenderState::getTracksOfPass() const
{
    std::vector<juce::File> files;

    for (const auto& plan : request.stems)
        files.insert (files.end(), plan.tracks.begin(), plan.tracks.end());

    return files;
}

ReadSettings CueRenderState::makeReadSettings (bool summingPass)
{
    getWorkers();   // the helpers start with the workers

    ReadSettings settings;
    settings.helpers = getHelpers();
    settings.sampleRate = request.sampleRate;
    settings.maxChannels = request.numChannels;
    settings.gate = request.preset.exportSettings.silenceGate;
    settings.gatedOverview = summingPass;
    settings.cancel = makeOperationCancelCheck();
    settings.probes = trackProbes;
    return settings;
}

bool prepareReusableBuffer (juce::AudioBuffer<double>& buffer, int numChannels, int64_t frames, bool clear, juce::String& error)
{
    if (buffer.getNumChannels() == numChannels && buffer.getNumSamples() > 0 && frames > 0 && frames <= maxReadFrames)
    {
        try
        {
            buffer.setSize (numChannels, (int) frames, false, false, true);

            if (clear)
                buffer.clear();

            return true;
        }
        catch (const std::bad_alloc&)
        {
            // Fall through to a fresh allocation, which reports the failure.
        }
    }

    // Give back the old block before asking for another.
    buffer = {};
    return allocateRenderBuffer (buffer, numChannels, frames, error);
}

SharedBuffer CueRenderState::obtainStemBuffer (int64_t frames, bool clear, juce::String& error)
{
    auto& spares = spareBuffers;
    SharedBuffer chosen;

    for (auto& spare : spares)
    {
        if (spare.use_count() == 1)
        {
            chosen = spare;
            break;
        }
    }

    // Stem buffers beyond those go to the reads, which keep what their budget allows.
    for (auto it = spares.begin(); it != spares.end() && (int) spares.size() > writer.writesInFlight + 1;)
    {
        if (*it != chosen && it->use_count() == 1)
        {
            readSpares.give (**it);
            it = spares.erase (it);
        }
        else
        {
            ++it;
        }
    }

    if (chosen != nullptr)
        return prepareReusableBuffer (*chosen, request.numChannels, frames, clear, error) ? chosen : nullptr;

    // The memory of a read taken earlier serves as well, and the system need not clear it.
    auto fresh = std::make_shared<juce::AudioBuffer<double>> (readSpares.take (request.numChannels));

    if (fresh->getNumChannels() > 0)
    {
        if (! prepareReusableBuffer (*fresh, request.numChannels, frames, clear, error))
            return {};

        spares.push_back (fresh);
        return fresh;
    }

    if (! allocateRenderBuffer (*fresh, request.numChannels, frames, error))
        return {};

    spares.push_back (fresh);
    return fresh;
}

} // namespace dunmoor
