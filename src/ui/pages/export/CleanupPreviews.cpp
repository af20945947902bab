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

CleanupPreviews::CleanupPreviews() = default;

CleanupPreviews::~CleanupPreviews()
{
    // A running job stops at its next block; it is waited for, never killed, before the files
    // it may still be writing go.
    jobs.reset();

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
    // Listed as this object's from the start: a job that ends just before this object goes
    // leaves no file behind.
    written.removeAllInstancesOf (preview);
    written.add (preview);

    preparing = true;
    preparingSource = source;

    return jobs->start ([this, source, preview, rate, gate, done = std::move (onDone)] (const CancelCheck& cancelled) mutable -> LatestRequestRunner::Delivery
                        {
                            Outcome outcome;
                            outcome.ok = renderPreview (source, preview, rate, gate, cancelled, outcome.error);

                            // Only the latest request's outcome arrives, while this object exists.
                            return [this, outcome, done = std::move (done)]
                            {
                                preparing = false;
                                preparingSource = juce::File();

                                if (done != nullptr)
                                    done (outcome);
                            };
                        });
}

void CleanupPreviews::cancel()
{
    jobs->cancel();
    preparing = false;
    preparingSource = juce::File();
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
    return jobs->isIdle();
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
