#include "RenderJob.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "CueRender.h"

namespace dunmoor
{

namespace
{
    double nowSeconds()
    {
        return juce::Time::getMillisecondCounterHiRes() / 1000.0;
    }

    /** The cue's own peak the shared gain is computed from, by the batch's peak mode. */
    double measuredPeakOf (const CueReport& report, PeakMode mode)
    {
        return mode == PeakMode::truePeak ? report.mixTruePeak : report.mixSamplePeak;
    }
} // namespace

BatchReport runQueue (std::vector<RenderRequest> requests, const RenderCancelCheck& shouldCancel, const RenderProgressCallback& progress)
{
    BatchReport report;
    const auto start = nowSeconds();
    report.startedAt = juce::Time::getCurrentTime();
    report.finishedAt = report.startedAt;

    if (requests.empty())
    {
        report.errors.add ("There is nothing to render.");
        return report;
    }

    auto cancelRequested = [&shouldCancel] { return shouldCancel != nullptr && shouldCancel(); };

    auto tell = [&progress] (double fraction, const juce::String& text, RenderJob::Phase phase)
    {
        if (progress != nullptr)
            progress (fraction, text, phase);
    };

    report.outputRoot = requests.front().outputRoot != juce::File() ? requests.front().outputRoot : requests.front().outputFolder;
    report.projectName = requests.front().projectName;
    const auto n = requests.size();
    const auto& first = requests.front();
    double base = 0.0;

    if (first.preset.exportSettings.batch.gainMode == BatchGainMode::sharedAcrossBatch && n >= 2 && ! first.measureOnly)
    {
        base = 0.35;
        const auto& headroom = first.preset.exportSettings.headroom;
        double peak = 0.0;

        for (size_t i = 0; i < n; ++i)
        {
            if (cancelRequested())
            {
                report.cancelled = true;
                report.finishedAt = juce::Time::getCurrentTime();
                return report;
            }

            auto measureRequest = requests[i];
            measureRequest.measureOnly = true;
            const auto cueName = requests[i].cueName;

            CueRenderContext context (measureRequest, shouldCancel, [&] (double x, const juce::String& text, RenderJob::Phase)
                                      { tell (((double) i + x) * base / (double) n, "Measuring " + cueName + ": " + text, RenderJob::Phase::measuring); });

            const auto measured = renderCue (context);

            if (measured.cancelled)
            {
                report.cancelled = true;
                report.finishedAt = juce::Time::getCurrentTime();
                return report;
            }

            // A cue that could not be measured (a read error, samples that are not numbers)
            // fails again in its own render; its peak must not set the gain of the others.
            const auto cuePeak = measuredPeakOf (measured, headroom.peakMode);

            if (measured.ok && std::isfinite (cuePeak))
                peak = std::max (peak, cuePeak);
        }

        report.sharedGain = computeGlobalGain ({ peak, peak }, headroom);
        report.sharedGainApplied = true;

        for (auto& request : requests)
        {
            request.fixedGainDb = report.sharedGain.gainDb;
            request.useFixedGain = true;
        }
    }

    // Every cue's tracks, so that no cue writes over a file a later one still has to read.
    std::vector<juce::File> batchSourceTracks;

    if (n >= 2)
        for (const auto& request : requests)
            for (const auto& stem : request.stems)
                batchSourceTracks.insert (batchSourceTracks.end(), stem.tracks.begin(), stem.tracks.end());

    for (size_t i = 0; i < n; ++i)
    {
        if (cancelRequested())
        {
            report.cancelled = true;
            break;
        }

        const auto prefix = n >= 2 ? "[" + juce::String ((int) i + 1) + "/" + juce::String ((int) n) + "] " + requests[i].cueName + ": "
                                   : juce::String();

        CueRenderContext context (requests[i], shouldCancel, [&] (double x, const juce::String& text, RenderJob::Phase phase)
                                  { tell (base + ((double) i + x) * (1.0 - base) / (double) n, prefix + text, phase); });
        context.batchSourceTracks = &batchSourceTracks;

        report.cues.push_back (renderCue (context));

        if (report.cues.back().cancelled)
            report.cancelled = true;
    }

    report.allOk = ! report.cancelled && ! report.cues.empty()
                && std::all_of (report.cues.begin(), report.cues.end(), [] (const CueReport& c) { return c.ok; });
    report.elapsedSeconds = nowSeconds() - start;
    report.finishedAt = juce::Time::getCurrentTime();
    return report;
}

//==============================================================================
RenderJob::RenderJob()
    : juce::Thread ("Brackenfold render")
{
}

RenderJob::~RenderJob()
{
    // Killing the thread would leave temporary files and could take the process down; the
    // render notices the request at its next check.
    signalThreadShouldExit();
    juce::Thread::waitForThreadToExit (-1);
}

bool RenderJob::start (std::vector<RenderRequest> newRequests, FinishedCallback newOnFinished)
{
    if (isThreadRunning() || newRequests.empty())
        return false;

    requests = std::move (newRequests);
    onFinished = std::move (newOnFinished);
    progress = 0.0;
    phase = (int) Phase::idle;

    {
        const juce::ScopedLock sl (statusLock);
        statusText = "Starting...";
    }

    return startThread (juce::Thread::Priority::normal);
}

void RenderJob::cancel()
{
    signalThreadShouldExit();
}

RenderJob::Status RenderJob::getStatus() const
{
    Status status;
    status.progress = progress.load();
    status.phase = phase.load();

    {
        const juce::ScopedLock sl (statusLock);
        status.statusText = statusText;
    }

    status.isRunning = isThreadRunning();
    return status;
}

bool RenderJob::waitForThreadToExit (int timeoutMs) const
{
    return juce::Thread::waitForThreadToExit (timeoutMs);
}

void RenderJob::run()
{
    BatchReport report;

    try
    {
        // The stored requests stay as they are; the run works on its own copy.
        report = runQueue (requests,
                           [this] { return threadShouldExit(); },
                           [this] (double fraction, const juce::String& text, Phase newPhase)
                           {
                               progress = juce::jlimit (0.0, 1.0, fraction);
                               phase = (int) newPhase;
                               const juce::ScopedLock sl (statusLock);
                               statusText = text;
                           });
    }
    catch (const std::bad_alloc&)
    {
        report.errors.add ("There is not enough memory to run the render.");
        report.allOk = false;
    }
    catch (const std::exception& e)
    {
        report.errors.add ("The render stopped: " + juce::String (e.what()));
        report.allOk = false;
    }

    // Only what the render itself noticed counts as a cancel: a request that arrives after
    // the last cue has finished must not throw a finished delivery away.
    if (onFinished != nullptr)
        onFinished (report);
}

} // namespace dunmoor
