#include "CleanupPreviews.h"

#include <new>

#include "CleanupView.h"
#include "core/audio/AudioFileProbe.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/SilenceGate.h"
#include "core/codec/JuceFileEncoder.h"
#include "core/files/PrivateFolder.h"

namespace dunmoor::ui
{

class CleanupPreviews::Job : public juce::ThreadPoolJob
{
public:
    Job (CleanupPreviews& owner, int requestNumber, juce::File sourceFile, juce::File previewFile, double sampleRate,
         SilenceGateSettings gateSettings, std::function<void (const Outcome&)> done)
        : juce::ThreadPoolJob ("cleanup preview"),
          previews (&owner),
          posted (owner.outcomesPosted),
          request (requestNumber),
          source (std::move (sourceFile)),
          preview (std::move (previewFile)),
          rate (sampleRate),
          gate (gateSettings),
          onDone (std::move (done))
    {
    }

    JobStatus runJob() override
    {
        Outcome outcome;
        outcome.request = request;
        outcome.ok = renderPreview (source, preview, rate, gate, [this] { return shouldExit(); }, outcome.error);
        outcome.cancelled = ! outcome.ok && (shouldExit() || isCancelledError (outcome.error));

        if (outcome.cancelled)
            outcome.error = {};

        ++*posted;
        juce::MessageManager::callAsync ([owner = previews, outcome, done = std::move (onDone)]
                                         {
                                             if (auto* p = owner.get())
                                                 p->finished (outcome, done);
                                         });
        return jobHasFinished;
    }

private:
    juce::WeakReference<CleanupPreviews> previews;
    std::shared_ptr<std::atomic<int>> posted;
    int request;
    juce::File source, preview;
    double rate;
    SilenceGateSettings gate;
    std::function<void (const Outcome&)> onDone;
};

//==============================================================================
CleanupPreviews::CleanupPreviews() = default;

CleanupPreviews::~CleanupPreviews()
{
    // A running job stops at its next block; it is waited for, never killed.
    if (pool != nullptr)
        pool->removeAllJobs (true, -1);

    pool.reset();

    for (const auto& file : written)
        file.deleteFile();
}

juce::File CleanupPreviews::getPreviewFile (const juce::File& source, const SilenceGateSettings& gate, double rate, juce::String& error) const
{
    if (folderRefusalForTesting.isNotEmpty())
    {
        error = folderRefusalForTesting;
        return {};
    }

    const auto folder = getPrivateTemporaryFolder (folderName, error);

    if (folder == juce::File())
        return {};

    const auto name = CleanupView::previewFileName (source.getFullPathName(), source.getSize(),
                                                    source.getLastModificationTime().toMilliseconds(), gate, rate);
    return folder.getChildFile (name);
}

int CleanupPreviews::prepare (const juce::File& source,
                              const juce::File& preview,
                              double rate,
                              const SilenceGateSettings& gate,
                              std::function<void (const Outcome&)> onDone)
{
    cancel();

    if (pool == nullptr)
        pool = std::make_unique<juce::ThreadPool> (1);

    // Listed as this object's from the start: a job that ends just before this object goes
    // leaves no file behind.
    written.removeAllInstancesOf (preview);
    written.add (preview);

    preparing = true;
    preparingSource = source;
    pool->addJob (new Job (*this, latestRequest, source, preview, rate, gate, std::move (onDone)), true);
    return latestRequest;
}

void CleanupPreviews::cancel()
{
    ++latestRequest;
    preparing = false;
    preparingSource = juce::File();

    if (pool != nullptr)
        pool->removeAllJobs (true, 0);
}

void CleanupPreviews::finished (const Outcome& outcome, const std::function<void (const Outcome&)>& onDone)
{
    ++outcomesHandled;

    if (outcome.request == latestRequest)
    {
        preparing = false;
        preparingSource = juce::File();
    }

    if (onDone != nullptr)
        onDone (outcome);
}

void CleanupPreviews::limitTotalSize (const juce::Array<juce::File>& keep)
{
    juce::int64 total = 0;

    for (const auto& file : written)
        total += file.getSize();

    for (int i = 0; i < written.size() && total > maxTotalBytes;)
    {
        const auto file = written[i];

        if (keep.contains (file) || (preparing && i == written.size() - 1))
        {
            ++i;
            continue;
        }

        total -= file.getSize();
        file.deleteFile();
        written.remove (i);
    }
}

bool CleanupPreviews::isIdle() const
{
    return (pool == nullptr || pool->getNumJobs() == 0) && outcomesHandled == outcomesPosted->load();
}

juce::Array<juce::File> CleanupPreviews::getWrittenFiles() const
{
    juce::Array<juce::File> files;

    for (const auto& file : written)
        if (file.existsAsFile())
            files.add (file);

    return files;
}

bool CleanupPreviews::renderPreview (const juce::File& source,
                                     const juce::File& preview,
                                     double rate,
                                     const SilenceGateSettings& gate,
                                     const CancelCheck& cancel,
                                     juce::String& error)
{
    AudioFileInfo info;

    if (! probeAudioFile (source, info, error))
        return false;

    // The whole track is held as 64-bit samples; a track past the budget is refused here
    // rather than failing an allocation of gigabytes on a worker thread.
    const auto channels = std::max (1, info.numChannels);
    const auto framesAtRate = info.sampleRate > 0.0 && rate > 0.0 ? (double) info.lengthInSamples * rate / info.sampleRate
                                                                     : (double) info.lengthInSamples;
    const auto frameBudget = memoryBudgetBytes / (juce::int64) (channels * (int) sizeof (double));

    if (framesAtRate > (double) frameBudget)
    {
        const auto minutes = (double) frameBudget / std::max (1.0, rate > 0.0 ? rate : info.sampleRate) / 60.0;
        error = "It is too long to prepare for listening (at most " + juce::String (minutes, 0) + " minutes of "
              + juce::String (channels) + (channels == 1 ? " channel" : " channels") + " at this rate).";
        return false;
    }

    try
    {
        juce::AudioBuffer<double> buffer;

        if (! readAudioFile (source, rate, buffer, error, frameBudget, cancel))
            return false;

        (void) applySilenceGate (buffer, rate, gate);

        if (isCancelRequested (cancel))
        {
            error = getCancelledErrorText();
            return false;
        }

        // The folder is made private when the preview is named; one that has gone since is
        // not made again here with ordinary access.
        if (! preview.getParentDirectory().isDirectory())
        {
            error = "The folder for the previews is gone.";
            return false;
        }

        EncoderSettings settings;
        settings.codec = Codec::wav;
        settings.sampleFormat = SampleFormat::float32;
        settings.sampleRate = rate;
        settings.numChannels = buffer.getNumChannels();
        settings.dither = DitherKind::none;
        settings.clampFloat = false;

        JuceFileEncoder encoder (Codec::wav);
        return encoder.encode (buffer, preview, settings, error, cancel);
    }
    catch (const std::bad_alloc&)
    {
        error = "There is not enough memory for it.";
        return false;
    }
}

} // namespace dunmoor::ui
