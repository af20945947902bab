#pragma once

#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/**
    What a walk over the chunk headers of a WAV (RIFF or RF64) or AIFF/AIFC file found.

    The framework's WAV and AIFF readers allocate and parse metadata chunks by the sizes their
    headers declare, and count entries by the counts they declare: a few hundred bytes whose
    header lies make them allocate gigabytes, read past their buffers or loop for minutes. A
    file the walk finds damaged must never reach them.
*/
struct AudioFileChunks
{
    /** Why the file must not reach the framework's reader ("The file is damaged: ..."); empty when it may. */
    juce::String damage;

    /** The sound data chunk ("data" or "SSND") runs past the end of the file: its header's length is not really there. */
    bool soundDataCut = false;

    /** A sound data chunk was found, and where each one's samples may start: after its header (and for AIFF
        its offset field and the offset, when that lies inside the chunk). */
    bool hasSoundData = false;
    std::vector<juce::int64> soundDataStarts;

    /** Metadata chunks the framework's reader must not parse (larger than maxMetadataChunkBytes,
        or holding what its parser mishandles), given by the position of their headers: the reader
        is shown them as chunks it steps over (AudioFileView). The audio is never refused for them. */
    std::vector<juce::int64> hiddenChunks;

    /** Why each hidden chunk was hidden, in the same order ("its "iXML" chunk is not valid UTF-8 text."). */
    juce::StringArray hiddenReasons;

    /** How many of the hidden chunks came after the metadata had reached maxMetadataBytes. */
    int chunksPastMetadataLimit = 0;

    bool isDamaged() const noexcept { return damage.isNotEmpty(); }
};

/** No real metadata chunk comes near this (they hold kilobytes); a larger one is never read. */
constexpr juce::int64 maxMetadataChunkBytes = 1 << 20;

/** The metadata chunks of one file that are read, together: once the next one would pass
    this, it and every metadata chunk after it are hidden unread, whatever their size. */
constexpr juce::int64 maxMetadataBytes = 16 << 20;

/**
    Walks the chunk headers of the file the way the framework's readers step through them, reading
    no samples. A file is damaged when a chunk other than the sound data runs past the end of the
    file (a missing final pad byte aside), or when it holds more chunks than any real file does.
    A metadata chunk whose counts or records cannot fit it, whose XML text the framework's parser
    would mishandle, that is larger than maxMetadataChunkBytes, or that comes after the metadata
    has reached maxMetadataBytes is hidden instead: the walk neither reads nor allocates it whole
    (one past the limit it doesn't read at all). Files that are not
    RIFF, RF64 or FORM files (FLAC, or no audio at all) come back with nothing found.
*/
AudioFileChunks walkAudioFileChunks (const juce::File& file);

} // namespace dunmoor
