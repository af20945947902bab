#pragma once

#include <memory>
#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/**
    A WAV or AIFF file as the framework's readers are shown it. The ids of the chunks that a walk
    chose to hide (metadata the reader would parse unsafely or allocate whole) read as "JUNK",
    which every reader steps over by its length; every other byte is the file's own. It also
    notes reads that come up short, so that a read of samples can tell a file that got shorter
    after it was opened from one that holds its samples (the framework fills what is missing
    with silence and reports success).
*/
class AudioFileView : public juce::InputStream
{
public:
    AudioFileView (std::unique_ptr<juce::InputStream> source, std::vector<juce::int64> hiddenChunkPositions);

    juce::int64 getTotalLength() override;
    bool isExhausted() override;
    int read (void* destination, int maxBytes) override;
    juce::int64 getPosition() override;
    bool setPosition (juce::int64 position) override;

    /** Reads the file through a buffer of that many bytes from here on, or directly for 0.
        Every read outside the buffer fills it whole: the framework's readers step from chunk
        header to chunk header through a small one, and read samples through a large one. */
    void setReadAhead (int bytes);

    /** Forgets earlier reads: what follows is one read of samples. */
    void startWatching() noexcept;

    /** Where the first read since startWatching started, or -1 when there was none. */
    juce::int64 getFirstReadPosition() const noexcept { return firstRead; }

    /** Where the file ended for the first read since startWatching that came up short, or -1. */
    juce::int64 getShortReadEnd() const noexcept { return shortEnd; }

private:
    juce::InputStream& stream() noexcept { return buffered != nullptr ? *buffered : *source; }

    std::unique_ptr<juce::InputStream> source;
    std::unique_ptr<juce::BufferedInputStream> buffered; // over source, when there is a read-ahead
    std::vector<juce::int64> hidden;    // sorted positions of chunk ids shown as "JUNK"
    juce::int64 firstRead = -1;
    juce::int64 shortEnd = -1;

    JUCE_DECLARE_NON_COPYABLE (AudioFileView)
};

} // namespace dunmoor
