#pragma once

#include <functional>
#include <memory>

#include "core/audio/CancelCheck.h"
#include "core/model/Preset.h"
#include "ui/widgets/LatestRequestRunner.h"

namespace dunmoor::ui
{

/**
    The cleaned previews of the Levels & Export page: each source track read at the project
    rate, passed through the noise-floor cleanup and written as a 32-bit float WAV that the
    audition engine plays.

    Previews live in a folder of the temporary folder that only this user can reach, named
    after what makes their audio (CleanupView::previewFileName), so a preview made once serves
    until the source or the settings change. Those this object wrote are deleted when it goes,
    and while it lives the oldest of them go once they add up to more than maxTotalBytes.

    Preparation runs in the background, where only the latest request counts
    (LatestRequestRunner): cancel() (a stop, another audition) and every new request make the
    earlier ones stale and ask a running job to stop without waiting for it, and only the
    latest request's outcome is handed over. The destructor waits for a running job however
    long its current block takes; jobs poll their cancel check per block. Message thread only,
    apart from the jobs.
*/
class CleanupPreviews
{
public:
    CleanupPreviews();
    ~CleanupPreviews();

    /** What the latest request's preparation reports on the message thread. */
    struct Outcome
    {
        bool ok = false;
        juce::String error; // why it failed
    };

    /** The preview of the source under the gate settings at the rate; the empty file with the
        reason in error when the private folder cannot be used. */
    juce::File getPreviewFile (const juce::File& source, const SilenceGateSettings& gate, double rate, juce::String& error) const;

    /**
        Queues a preparation of the preview; earlier requests become stale (their running job is
        asked to stop, not waited for). onDone runs on the message thread with the outcome,
        unless a newer request was made or this object is gone by then. Returns the request's
        number.
    */
    int prepare (const juce::File& source,
                 const juce::File& preview,
                 double rate,
                 const SilenceGateSettings& gate,
                 std::function<void (const Outcome&)> onDone);

    /** Makes every request stale; a running job is asked to stop and not waited for. */
    void cancel();

    /** The newest request's number (0 before the first). */
    int getLatestRequest() const noexcept { return jobs->getLatestRequest(); }

    /** A request is being prepared and is still current. */
    bool isPreparing() const noexcept { return preparing; }

    /** The source of the request being prepared (empty when none). */
    const juce::File& getPreparingSource() const noexcept { return preparingSource; }

    /** Deletes the oldest previews this object wrote while together they exceed the cap,
        sparing the ones listed. */
    void limitTotalSize (const juce::Array<juce::File>& keep);

    /** Every job queued so far has ended and its outcome, if any, has been handed over. */
    bool isIdle() const;

    /** The previews this object wrote that still exist. */
    juce::Array<juce::File> getWrittenFiles() const;

    /**
        Reads the source at the rate, gates it and writes the preview; the work of one job.
        Refuses a track whose samples would take more than memoryBudgetBytes, and reports a
        failed allocation as an error rather than ending the program. False with the reason in
        error; the cancelled text when the check said stop.
    */
    [[nodiscard]] static bool renderPreview (const juce::File& source,
                                             const juce::File& preview,
                                             double rate,
                                             const SilenceGateSettings& gate,
                                             const CancelCheck& cancel,
                                             juce::String& error);

    static constexpr juce::int64 memoryBudgetBytes = (juce::int64) 1 << 30;   // the 64-bit samples of one track
    static constexpr juce::int64 maxTotalBytes = (juce::int64) 2 << 30;       // every preview of this page
    static constexpr const char* folderName = "Brackenfold cleanup preview";

    /** Fail the next folder lookups with this reason (tests). */
    juce::String folderRefusalForTesting;

private:
    juce::Array<juce::File> written;     // oldest first
    juce::File preparingSource;
    bool preparing = false;
    std::unique_ptr<LatestRequestRunner> jobs = std::make_unique<LatestRequestRunner> ("Brackenfold cleanup preview");

    JUCE_DECLARE_NON_COPYABLE (CleanupPreviews)
};

} // namespace dunmoor::ui
