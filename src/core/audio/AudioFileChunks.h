#pragma once

#include <vector>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/**
    The metadata blocks of a FLAC file from the first that would take its metadata past
    maxMetadataBytes up to the audio frames. A decoder reads every byte of every block, so its
    decoders are shown the file without them (FlacFileView): the blocks before, the last of them
    marked as the last one, then the frames.
*/
struct FlacMetadataCut
{
    juce::int64 from = 0;           // the header of the first block left out
    juce::int64 to = 0;             // the end of the last block: where the audio frames start
    juce::int64 lastKeptHeader = 0; // the header of the last block kept

    bool isEmpty() const noexcept { return to <= from; }
};

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

    /** How many of the hidden chunks (of a FLAC file, the metadata blocks left out) came after
        the metadata had reached maxMetadataBytes. */
    int chunksPastMetadataLimit = 0;

    /** For a FLAC file, the metadata blocks its decoders are not shown (none for most files). */
    FlacMetadataCut flacCut;

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
    (one past the limit it doesn't read at all).

    A FLAC file's metadata block headers are walked the same way: the blocks from the first that
    would take the metadata past maxMetadataBytes on are left out (flacCut); the first block is
    always kept. Such a file is damaged when a block after the limit runs past the end of the
    file (the ones before are the decoder's to judge, as in any file), or when it holds more
    blocks than any real file does. Files that are none of these (no audio at all) come back
    with nothing found.
*/
AudioFileChunks walkAudioFileChunks (const juce::File& file);

} // namespace dunmoor
