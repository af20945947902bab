#include "TrackPrefetcher.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "RenderMemoryPlan.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/Resampler.h"

namespace dunmoor
{

namespace
{
    constexpr int overviewBucketsForGatedTracks = 3000;

    const TrackProbe* findProbe (const ReadSettings& settings, const juce::File& file)
    {
        if (settings.probes == nullptr)
            return nullptr;

        const auto found = settings.probes->find (file.getFullPathName());
        return found != settings.probes->end() ? &found->second : nullptr;
    }

    /** readAudioFile at the project rate into the read's memory, shared out over the helpers
        (the samples are the same as readAudioFile's). A cancelled read fails with the cancelled
        text. */
    bool readAtProjectRate (TrackRead& read, const ReadSettings& settings, const CancelCheck& cancel)
    {
        const auto* probe = findProbe (settings, read.file);

        if (probe == nullptr)
            return readAudioFileInto (read.file, settings.sampleRate, read.audio, read.error, maxReadFrames, cancel, shareOutOver (settings.helpers));

        if (! probe->ok)
        {
            read.error = probe->error;
            return false;
        }

        return readAudioFileInto (read.file, settings.sampleRate, read.audio, read.error, maxReadFrames, cancel, shareOutOver (settings.helpers), true);
    }

    void performRead (TrackRead& read, const ReadSettings& settings, const std::atomic<bool>& abandon)
    {
        if (abandon.load())
            return;

        // A read whose pass has ended (the cue stopped, or failed elsewhere) stops too.
        const CancelCheck cancel = [&settings, &abandon] { return abandon.load() || isCancelRequested (settings.cancel); };

        try
        {
            if (! readAtProjectRate (read, settings, cancel))
                return;

            // Too many channels: the rendering thread refuses the track with its own message.
            if (read.audio.getNumChannels() <= settings.maxChannels)
            {
                read.gate = applySilenceGate (read.audio, settings.sampleRate, settings.gate);

                if (settings.gate.enabled && settings.gatedOverview)
                    read.overview = overviewFromBuffer (read.audio, settings.sampleRate, overviewBucketsForGatedTracks);
            }

            read.ok = true;
        }
        catch (const std::bad_alloc&)
        {
            read.audio = {};
            read.ok = false;
            read.error = "There is not enough memory to read the file.";
        }
        catch (const std::exception& e)
        {
            read.audio = {};
            read.ok = false;
            read.error = "The file could not be read: " + juce::String (e.what());
        }
    }

    ReadCost estimateRead (const juce::File& file, const ReadSettings& settings)
    {
        ReadCost cost;
        AudioFileInfo info;
        juce::String error;
        const auto projectRate = settings.sampleRate;

        if (const auto* probe = findProbe (settings, file))
        {
            if (! probe->ok)
                return cost;

            info = probe->info;
        }
        else if (! probeAudioFile (file, info, error))
        {
            return cost;
        }

        cost.bytes = bytesOfBuffer (info.numChannels, info.lengthInSamples);
        cost.converted = projectRate > 0.0 && std::abs (info.sampleRate - projectRate) > 0.5;
        cost.numChannels = info.numChannels;
        cost.resultBytes = cost.bytes;

        // A converted read holds its result and a window of a few seconds of the file.
        if (cost.converted)
        {
            cost.resultBytes = bytesOfBuffer (info.numChannels, getResampledLength (info.lengthInSamples, info.sampleRate, projectRate));
            cost.bytes = cost.resultBytes + std::min (cost.bytes, bytesOfBuffer (info.numChannels, 1 << 20));
        }

        return cost;
    }
} // namespace

//==============================================================================
std::shared_ptr<const TrackProbes> probeTracks (const std::vector<juce::File>& files)
{
    auto probes = std::make_shared<TrackProbes>();

    for (const auto& file : files)
    {
        const auto path = file.getFullPathName();

        if (probes->count (path) > 0)
            continue;

        TrackProbe probe;
        probe.ok = probeAudioFile (file, probe.info, probe.error);
        probes->emplace (path, std::move (probe));
    }

    return probes;
}

//==============================================================================
void SpareBuffers::give (juce::AudioBuffer<double>& buffer)
{
    if (buffer.getNumChannels() > 0 && buffer.getNumSamples() > 0 && kept.size() < limit)
        kept.push_back (std::move (buffer));
    else
        buffer = {};
}

juce::AudioBuffer<double> SpareBuffers::take (int numChannels)
{
    for (auto it = kept.begin(); it != kept.end(); ++it)
    {
        if (it->getNumChannels() == numChannels)
        {
            auto chosen = std::move (*it);
            kept.erase (it);
            return chosen;
        }
    }

    return {};
}

bool SpareBuffers::has (int numChannels) const
{
    return std::any_of (kept.begin(), kept.end(), [numChannels] (const auto& b) { return b.getNumChannels() == numChannels; });
}

int64_t SpareBuffers::getBytes() const
{
    int64_t bytes = 0;

    for (const auto& b : kept)
        bytes += bytesOfBuffer (b.getNumChannels(), b.getNumSamples());

    return bytes;
}

void SpareBuffers::trimTo (int64_t bytes)
{
    while (! kept.empty() && getBytes() > bytes)
        kept.pop_back();
}

//==============================================================================
TrackPrefetcher::TrackPrefetcher (RenderWorkers& workersToUse,
                                  std::vector<juce::File> files,
                                  ReadSettings settingsToUse,
                                  int64_t budgetBytes,
                                  size_t lookAheadReads,
                                  std::function<bool()> isCancelledToUse,
                                  SpareBuffers* sparesToUse)
    : workers (workersToUse)
    , settings (std::make_shared<ReadSettings> (std::move (settingsToUse)))
    , abandon (std::make_shared<std::atomic<bool>> (false))
    , isCancelled (std::move (isCancelledToUse))
    , budget (budgetBytes)
    , maxInFlight (std::max (1, workers.getNumThreads()))
    , lookAhead (lookAheadReads)
    , spares (sparesToUse)
{
    for (auto& file : files)
    {
        Slot slot;
        slot.read = std::make_shared<TrackRead>();
        slot.read->file = std::move (file);
        slots.push_back (std::move (slot));
    }

    launchMore();
}

TrackPrefetcher::~TrackPrefetcher()
{
    // Reads not started yet are dropped; reads under way stop at their next block (their
    // buffers are their own, so they are waited for).
    abandon->store (true);

    for (auto& slot : slots)
        if (slot.read != nullptr && slot.read->task != nullptr)
            slot.read->task->wait();
}

std::shared_ptr<TrackRead> TrackPrefetcher::take (size_t k)
{
    jassert (k < slots.size() && slots[k].read != nullptr);
    auto read = slots[k].read;

    // The one the rendering thread needs now starts whatever the budget says.
    if (read->task == nullptr)
        launch (k);

    // The wait is where the rendering thread spends a long read: it keeps asking for a cancel,
    // and starts further reads as finished ones give memory back.
    while (! read->task->waitFor (cancelPollMilliseconds))
    {
        if (isCancelled != nullptr && isCancelled())
            return nullptr;

        if (whileWaiting != nullptr)
            whileWaiting();

        launchMore();
    }

    return read;
}

bool TrackPrefetcher::hasStartedAll() const noexcept
{
    for (size_t k = oldest; k < slots.size(); ++k)
        if (slots[k].read != nullptr && slots[k].read->task == nullptr)
            return false;

    return true;
}

void TrackPrefetcher::setBudget (int64_t budgetBytes)
{
    budget = budgetBytes;
    launchMore();
}

void TrackPrefetcher::release (size_t k)
{
    if (k < slots.size() && slots[k].read != nullptr)
    {
        auto& read = *slots[k].read;

        if (read.task != nullptr)
        {
            bytesInFlight -= slots[k].heldBytes;
            --countInFlight;

            // Only a finished read's memory is the rendering thread's to keep.
            if (spares != nullptr && read.task->isDone())
                spares->give (read.audio);
        }

        slots[k].read = nullptr;
        oldest = std::max (oldest, k + 1);
    }

    launchMore();
}

const ReadCost& TrackPrefetcher::costOf (size_t k)
{
    if (! slots[k].costKnown)
    {
        slots[k].cost = estimateRead (slots[k].read->file, *settings);
        slots[k].costKnown = true;
    }

    return slots[k].cost;
}

bool TrackPrefetcher::fits (size_t k, int64_t alsoNeeded)
{
    // Kept memory counts as held; a read that can take some of it adds only the difference.
    const auto& cost = costOf (k);
    auto held = bytesInFlight;

    if (spares != nullptr)
        held += spares->has (cost.numChannels) ? std::max<int64_t> (0, spares->getBytes() - cost.resultBytes)
                                               : spares->getBytes();

    return countInFlight + (alsoNeeded > 0 ? 1 : 0) < maxInFlight && held + cost.bytes + alsoNeeded <= budget;
}

void TrackPrefetcher::launch (size_t k)
{
    const auto& cost = costOf (k);
    auto sharedSettings = settings;
    auto sharedAbandon = abandon;
    auto target = slots[k].read;

    if (spares != nullptr)
        target->audio = spares->take (cost.numChannels);

    target->task = workers.run ([target, sharedSettings, sharedAbandon] { performRead (*target, *sharedSettings, *sharedAbandon); });
    slots[k].heldBytes = slots[k].cost.bytes;
    bytesInFlight += slots[k].heldBytes;
    ++countInFlight;
}

void TrackPrefetcher::recountFinishedReads()
{
    // A finished converted read holds only its result, not the file at its own rate too.
    for (size_t k = oldest; k < slots.size(); ++k)
    {
        auto& slot = slots[k];

        if (slot.read == nullptr || slot.read->task == nullptr || slot.settled || ! slot.read->task->isDone())
            continue;

        const auto& audio = slot.read->audio;
        const auto held = bytesOfBuffer (audio.getNumChannels(), audio.getNumSamples());
        bytesInFlight += held - slot.heldBytes;
        slot.heldBytes = held;
        slot.settled = true;
    }
}

void TrackPrefetcher::launchMore()
{
    // Memory kept for reads that can't start now goes, rather than stand beyond the budget.
    const auto trimSpares = [this]
    {
        if (spares != nullptr)
            spares->trimTo (std::max<int64_t> (0, budget - bytesInFlight));
    };

    // Inline (no worker threads): one read, when it is taken, which needs one buffer at most.
    if (workers.getNumThreads() == 0)
    {
        if (spares != nullptr)
            spares->trimTo (oldest < slots.size() && slots[oldest].read != nullptr ? std::min (costOf (oldest).bytes, budget) : 0);

        return;
    }

    recountFinishedReads();

    for (;;)
    {
        size_t next = slots.size();

        // A converted read within reach goes first, as long as the earliest read not yet started
        // still fits beside it (the rendering thread would otherwise start that one beyond the
        // budget when it needs it); otherwise the earliest not yet started.
        for (size_t k = oldest; k < std::min (slots.size(), oldest + lookAhead); ++k)
        {
            if (slots[k].read == nullptr || slots[k].read->task != nullptr)
                continue;

            if (next == slots.size())
            {
                next = k;

                if (costOf (k).converted)
                    break;

                continue;
            }

            if (costOf (k).converted)
            {
                if (fits (k, costOf (next).bytes))
                    next = k;

                break;
            }
        }

        if (next == slots.size())
        {
            for (size_t k = oldest; k < slots.size() && next == slots.size(); ++k)
                if (slots[k].read != nullptr && slots[k].read->task == nullptr)
                    next = k;
        }

        // Ahead of the rendering thread only within the budget: the read it needs next starts
        // when it asks for it, whatever the budget says.
        if (next == slots.size() || ! fits (next))
            break;

        launch (next);
    }

    trimSpares();
}

} // namespace dunmoor
