#pragma once

#include <memory>

#include <juce_core/juce_core.h>

#include "AudioFileChunks.h"

namespace dunmoor
{

/**
    A FLAC file as its decoders are shown it when its metadata passes the limit: the metadata
    blocks before the cut, the last of them flagged as the last one, then the audio frames. A
    decoder reads every byte of every metadata block; the blocks left out are never read.
    Positions, lengths and seeks are the view's.
*/
class FlacFileView : public juce::InputStream
{
public:
    FlacFileView (std::unique_ptr<juce::InputStream> source, const FlacMetadataCut& cut);

    juce::int64 getTotalLength() override;
    bool isExhausted() override;
    int read (void* destination, int maxBytes) override;
    juce::int64 getPosition() override;
    bool setPosition (juce::int64 position) override;

private:
    // Where a position of the view lies in the file.
    juce::int64 toFile (juce::int64 position) const noexcept;

    std::unique_ptr<juce::InputStream> source;
    FlacMetadataCut cut;
    juce::int64 position = 0;

    JUCE_DECLARE_NON_COPYABLE (FlacFileView)
};

} // namespace dunmoor
