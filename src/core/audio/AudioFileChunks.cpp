#include "AudioFileChunks.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace dunmoor
{

namespace
{
    // No real file comes near this; a run of empty chunks (gigabytes of zeros inside the
    // container, which a sparse file holds for free) would keep the framework's reader stepping
    // eight bytes at a time for minutes.
    constexpr int maxChunks = 100000;

    bool isId (const char* id, const char* name) noexcept
    {
        return std::memcmp (id, name, 4) == 0;
    }

    // The chunk's name when it is printable, so that no stray byte reaches a message.
    juce::String describeChunk (const char* id, juce::int64 position)
    {
        for (int i = 0; i < 4; ++i)
            if (id[i] < 0x20 || id[i] > 0x7e)
                return "chunk at byte " + juce::String (position);

        return "\"" + juce::String (id, 4) + "\" chunk";
    }

    // Small reads at any position through a window of the file, so that a walk over a few
    // dozen chunk headers costs a read or two instead of a system call per field.
    class WindowedFile
    {
    public:
        explicit WindowedFile (const juce::File& file)
            : in (file)
            , size (in.openedOk() ? in.getTotalLength() : 0)
        {
        }

        juce::int64 getSize() const noexcept { return size; }

        /** Exactly count bytes from position; false when the file ends first. */
        bool read (juce::int64 position, void* destination, int count)
        {
            if (position < 0 || count < 0 || position + count > size)
                return false;

            if (position < windowStart || position + count > windowStart + (juce::int64) window.size())
            {
                if (count > windowSize)
                    return in.setPosition (position) && in.read (destination, count) == count;

                window.resize ((size_t) std::min<juce::int64> (windowSize, size - position));

                if (! in.setPosition (position) || in.read (window.data(), (int) window.size()) != (int) window.size())
                {
                    window.clear();
                    return false;
                }

                windowStart = position;
            }

            std::memcpy (destination, window.data() + (position - windowStart), (size_t) count);
            return true;
        }

    private:
        static constexpr int windowSize = 8192;

        juce::FileInputStream in;
        juce::int64 size = 0;
        juce::int64 windowStart = 0;
        std::vector<char> window;
    };

    struct ChunkHeader
    {
        char id[4] = {};
        juce::uint32 length = 0;
        juce::int64 position = 0; // of the header
        juce::int64 dataStart = 0;
    };

    class ChunkWalk
    {
    public:
        explicit ChunkWalk (const juce::File& file) : in (file) {}

        AudioFileChunks run()
        {
            char head[12];

            if (! in.read (0, head, 12))
                return std::move (found);

            if (isId (head + 8, "WAVE") && (isId (head, "RIFF") || isId (head, "RF64")))
                walkWave (isId (head, "RF64"), juce::ByteOrder::littleEndianInt (head + 4));
            else if (isId (head, "FORM") && (isId (head + 8, "AIFF") || isId (head + 8, "AIFC")))
                walkAiff ((juce::int32) juce::ByteOrder::bigEndianInt (head + 4));
            else
                walkFlac();

            return std::move (found);
        }

    private:
        WindowedFile in;
        AudioFileChunks found;
        int chunksSeen = 0;
        juce::int64 metadataBytes = 0; // of the metadata chunks the readers are shown
        bool metadataFull = false;

        bool damaged (const juce::String& what)
        {
            found.damage = "The file is damaged: " + what;
            return false;
        }

        // The next chunk header at position, counted; false when the walk must stop (the file
        // ends inside the header, or it holds too many chunks: then damage says so).
        bool readHeader (juce::int64 position, bool bigEndian, ChunkHeader& header)
        {
            char bytes[8];

            if (! in.read (position, bytes, 8))
                return false;

            if (++chunksSeen > maxChunks)
                return damaged ("it holds more than " + juce::String (maxChunks) + " chunks.");

            std::memcpy (header.id, bytes, 4);
            header.length = bigEndian ? juce::ByteOrder::bigEndianInt (bytes + 4) : juce::ByteOrder::littleEndianInt (bytes + 4);
            header.position = position;
            header.dataStart = position + 8;
            return true;
        }

        bool fitsInFile (const ChunkHeader& header)
        {
            if (header.dataStart + (juce::int64) header.length <= in.getSize())
                return true;

            return damaged ("its " + describeChunk (header.id, header.position) + " runs past the end of the file.");
        }

        //==============================================================================
        // The framework's walk: RIFF's length bounds it, or for RF64 the "ds64" chunk that must
        // come first (its riff and data sizes replace the 32-bit ones); an unknown chunk of
        // length 0 ends it.
        void walkWave (bool isRF64, juce::uint32 riffLength)
        {
            juce::uint64 end = (juce::uint64) riffLength + 8;
            juce::int64 rf64DataLength = 0;
            juce::int64 position = 12;

            if (isRF64)
            {
                ChunkHeader ds64;

                if (! readHeader (position, false, ds64) || ! isId (ds64.id, "ds64") || ds64.length < 28)
                    return; // the framework reads no further either

                if (! fitsInFile (ds64))
                    return;

                char sizes[16];

                if (! in.read (ds64.dataStart, sizes, 16))
                    return;

                end = (juce::uint64) juce::ByteOrder::littleEndianInt64 (sizes) + 8;
                rf64DataLength = (juce::int64) juce::ByteOrder::littleEndianInt64 (sizes + 8);
                position = ds64.dataStart + ds64.length + (ds64.length & 1);
            }

            ChunkHeader chunk;

            while ((juce::uint64) position < end && readHeader (position, false, chunk))
            {
                if (isId (chunk.id, "data"))
                {
                    const auto length = isRF64 && rf64DataLength > 0 ? rf64DataLength : (juce::int64) chunk.length;

                    if (! foundSoundData (chunk, chunk.dataStart, length))
                        return;

                    position = chunk.dataStart + length + (length & 1);
                    continue;
                }

                if (! fitsInFile (chunk))
                    return;

                if (chunk.length > 0 && ! isId (chunk.id, "fmt "))
                {
                    juce::String problem;

                    if ((juce::int64) chunk.length > maxMetadataChunkBytes)
                        problem = describeOversized (chunk);
                    else if (isKnownWaveChunk (chunk.id) && ! admitMetadata (chunk.length))
                        problem = describePastMetadataLimit (chunk);
                    else if (isId (chunk.id, "LIST"))
                        problem = checkListEntries (chunk);
                    else if (isId (chunk.id, "iXML") || isId (chunk.id, "axml"))
                        problem = checkXmlText (chunk);

                    if (found.isDamaged())
                        return;

                    if (problem.isNotEmpty())
                        hide (chunk, problem);
                }

                if (chunk.length == 0 && ! isKnownWaveChunk (chunk.id))
                    return;

                position = chunk.dataStart + chunk.length + (chunk.length & 1);
            }
        }

        static bool isKnownWaveChunk (const char* id) noexcept
        {
            for (auto* name : { "fmt ", "data", "bext", "smpl", "inst", "INST", "cue ", "axml", "iXML", "LIST", "acid", "Trkn" })
                if (isId (id, name))
                    return true;

            return false;
        }

        // A "LIST" chunk of "adtl" entries is walked entry by entry up to the chunk's end and its
        // pad byte: an entry that runs past the chunk, or a chunk ending inside a header, can
        // leave the framework stuck at the end of the file, and a text entry shorter than its
        // fields makes it read the rest of the file as the text.
        juce::String checkListEntries (const ChunkHeader& list)
        {
            char type[4];

            if (! in.read (list.dataStart, type, 4) || ! isId (type, "adtl"))
                return {};

            const auto listEnd = list.dataStart + (juce::int64) list.length;
            const auto stepEnd = listEnd + (list.length & 1);
            ChunkHeader entry;

            for (auto position = list.dataStart + 4; position < stepEnd;)
            {
                if (position + 8 > listEnd)
                    return "its \"LIST\" chunk ends inside one of its entries.";

                if (! readHeader (position, false, entry))
                    return {}; // too many entries: damage says so

                if (entry.dataStart + (juce::int64) entry.length > listEnd)
                    return "its " + describeChunk (entry.id, entry.position) + " runs past the end of its \"LIST\" chunk.";

                const bool isText = isId (entry.id, "labl") || isId (entry.id, "note");

                if ((isText && entry.length < 4) || (isId (entry.id, "ltxt") && entry.length < 20))
                    return "its " + describeChunk (entry.id, entry.position) + " is too short for its fields.";

                position = entry.dataStart + entry.length + (entry.length & 1);
            }

            return {};
        }

        // The framework parses these chunks as XML, the text being their bytes up to the first
        // zero. Its parser counts characters by decoding them but steps over them by their lead
        // bytes alone, so on text that is not valid UTF-8 the two disagree and it reads past the
        // text's memory; it descends one call per nesting level, so a few tens of kilobytes of
        // nested tags overflow the stack; and it expands entities declared in the text.
        juce::String checkXmlText (const ChunkHeader& chunk)
        {
            // Only chunks up to maxMetadataChunkBytes come here.
            juce::MemoryBlock block (chunk.length);

            if (chunk.length > 0 && ! in.read (chunk.dataStart, block.getData(), (int) chunk.length))
                return {};

            const auto* text = static_cast<const unsigned char*> (block.getData());
            const auto size = (int) (std::find (text, text + chunk.length, 0) - text);

            // Latin-1 text under an XML declaration that says so is well-formed XML, but not text
            // the parser can step through.
            if (! juce::CharPointer_UTF8::isValidString (reinterpret_cast<const char*> (text), size))
                return "its " + describeChunk (chunk.id, chunk.position) + " is not valid UTF-8 text.";

            // Entities that expand into further entities grow without bound as the parser
            // expands them; no metadata text declares any.
            const char* declaration = "<!entity";
            const auto* entity = std::search (text, text + size, declaration, declaration + 8,
                                              [] (unsigned char a, char b) { return std::tolower (a) == b; });

            if (entity != text + size)
                return "its " + describeChunk (chunk.id, chunk.position) + " declares XML entities.";

            if (xmlNestingDepth (text, size) > maxXmlDepth)
                return "its " + describeChunk (chunk.id, chunk.position) + " nests more than "
                     + juce::String (maxXmlDepth) + " levels deep.";

            return {};
        }

        static juce::String describeOversized (const ChunkHeader& chunk)
        {
            return "its " + describeChunk (chunk.id, chunk.position) + " holds " + juce::String ((juce::int64) chunk.length)
                 + " bytes, more than any metadata.";
        }

        // Each metadata chunk the readers parse costs its length in reading, and with dense XML
        // or records a lot more in parsing: a thousand of them just under the size limit made
        // every open read a gigabyte. The first ones up to the limit are read, as all of any
        // real file's are; once one doesn't fit, neither it nor any after it is.
        bool admitMetadata (juce::int64 length)
        {
            if (! metadataFull && metadataBytes + length <= maxMetadataBytes)
            {
                metadataBytes += length;
                return true;
            }

            metadataFull = true;
            ++found.chunksPastMetadataLimit;
            return false;
        }

        static juce::String describePastMetadataLimit (const ChunkHeader& chunk)
        {
            return "its " + describeChunk (chunk.id, chunk.position) + " comes after "
                 + juce::String (maxMetadataBytes >> 20) + " MB of metadata.";
        }

        // The reader is shown another id at this chunk's header, one it steps over.
        void hide (const ChunkHeader& chunk, const juce::String& problem)
        {
            found.hiddenChunks.push_back (chunk.position);
            found.hiddenReasons.add (problem);
        }

        static constexpr int maxXmlDepth = 1000;

        // An upper bound on the parser's depth: every open tag counts, outside comments,
        // character data, processing instructions and declarations, and quoted attribute values
        // can't close or self-close one; a close tag counts back down, never below 0.
        static int xmlNestingDepth (const unsigned char* text, int size)
        {
            const auto skipPast = [&] (int from, const char* end)
            {
                const auto length = (int) std::strlen (end);
                const auto* at = std::search (text + from, text + size, end, end + length);
                return at == text + size ? size : (int) (at - text) + length;
            };

            const auto startsWith = [&] (int at, const char* prefix)
            {
                const auto length = (int) std::strlen (prefix);
                return at + length <= size && std::memcmp (text + at, prefix, (size_t) length) == 0;
            };

            int depth = 0;
            int deepest = 0;

            for (int i = 0; i < size;)
            {
                if (text[i] != '<')
                    ++i;
                else if (startsWith (i, "<!--"))
                    i = skipPast (i + 4, "-->");
                else if (startsWith (i, "<![CDATA["))
                    i = skipPast (i + 9, "]]>");
                else if (startsWith (i, "<?"))
                    i = skipPast (i + 2, "?>");
                else if (startsWith (i, "<!"))
                    i = skipPast (i + 2, ">");
                else if (startsWith (i, "</"))
                {
                    depth = std::max (0, depth - 1);
                    i = skipPast (i + 2, ">");
                }
                else
                {
                    int j = i + 1;

                    for (unsigned char quote = 0; j < size && (quote != 0 || text[j] != '>'); ++j)
                        if (quote != 0 ? text[j] == quote : (text[j] == '"' || text[j] == '\''))
                            quote = quote != 0 ? 0 : text[j];

                    if (text[j - 1] != '/')
                        deepest = std::max (deepest, ++depth);

                    i = j + 1;
                }
            }

            return deepest;
        }

        //==============================================================================
        // The framework's walk: FORM's signed length bounds it, and chunks are aligned to even
        // positions in the file.
        void walkAiff (juce::int32 formLength)
        {
            const auto end = (juce::int64) 8 + formLength;
            ChunkHeader chunk;

            for (juce::int64 position = 12; position < end && readHeader (position, true, chunk);)
            {
                const auto chunkEnd = chunk.dataStart + (juce::int64) chunk.length;

                if (isId (chunk.id, "SSND"))
                {
                    // The samples start after the offset field, offset bytes on; an offset that
                    // points outside the chunk is no start at all.
                    char offsetBytes[4] = {};
                    in.read (chunk.dataStart, offsetBytes, 4);
                    const auto offset = (juce::int32) juce::ByteOrder::bigEndianInt (offsetBytes);
                    const bool inside = offset >= 0 && offset <= (juce::int64) chunk.length - 8;

                    if (! foundSoundData (chunk, inside ? chunk.dataStart + 8 + offset : -1, chunk.length))
                        return;
                }
                else
                {
                    if (! fitsInFile (chunk))
                        return;

                    juce::String problem;

                    // An empty chunk is checked too: the framework reads a marker or comment
                    // count from the bytes after it, and a category chunk's negative length as
                    // "the rest of the file".
                    if (isId (chunk.id, "COMM"))
                        problem = {};
                    else if ((juce::int64) chunk.length > maxMetadataChunkBytes)
                        problem = describeOversized (chunk);
                    else if (chunk.length > 0 && isParsedAiffChunk (chunk.id) && ! admitMetadata (chunk.length))
                        problem = describePastMetadataLimit (chunk);
                    else if (isId (chunk.id, "COMT") || isId (chunk.id, "MARK"))
                        problem = checkCountedEntries (chunk);
                    else if (isId (chunk.id, "cate"))
                        problem = checkCategoryRecords (chunk);

                    if (problem.isNotEmpty())
                        hide (chunk, problem);
                }

                position = chunkEnd + (chunkEnd & 1);
            }
        }

        // The chunks whose bodies the framework's AIFF reader reads.
        static bool isParsedAiffChunk (const char* id) noexcept
        {
            for (auto* name : { "MARK", "COMT", "INST", "basc", "cate" })
                if (isId (id, name))
                    return true;

            return false;
        }

        // Every comment and every marker takes at least 8 bytes; the framework reads as many
        // as the 16-bit count says, and each one's text by the length it gives, past the chunk
        // if need be: a comment's text may claim 64 KB, and 65535 of them read 4 GB of whatever
        // follows the chunk as text.
        juce::String checkCountedEntries (const ChunkHeader& chunk)
        {
            unsigned char countBytes[2] = {};

            if (! in.read (chunk.dataStart, countBytes, 2))
                return {}; // the framework reads a count of 0

            const auto count = (int) juce::ByteOrder::bigEndianShort (countBytes);
            const auto room = std::max<juce::int64> (0, (juce::int64) chunk.length - 2);

            if ((juce::int64) count * 8 > room)
                return "its " + describeChunk (chunk.id, chunk.position) + " counts " + juce::String (count)
                     + " entries, more than it can hold.";

            // A comment: time stamp, marker id and a 16-bit length, then the text padded to an
            // even length. A marker: id, position and a length byte, then the text, padded so
            // that with the length byte it is even.
            const bool isComment = isId (chunk.id, "COMT");
            const auto fieldsSize = isComment ? 8 : 7;
            const auto end = chunk.dataStart + (juce::int64) chunk.length + (chunk.length & 1);
            auto position = chunk.dataStart + 2;

            for (int i = 0; i < count && position <= end; ++i)
            {
                unsigned char fields[8];

                if (position + fieldsSize > end || ! in.read (position, fields, fieldsSize))
                    position = end + 1;
                else if (isComment)
                    position += fieldsSize + juce::ByteOrder::bigEndianShort (fields + 6) + (fields[7] & 1);
                else
                    position += fieldsSize + fields[6] + 1 - (fields[6] & 1);
            }

            if (position <= end)
                return {};

            return "its " + describeChunk (chunk.id, chunk.position) + " ends inside one of its entries.";
        }

        // The framework's category walk over the records after the chunk's 4-byte header: 50
        // bytes each, 118 for a genre tag, with its look-ahead past empty records. It tests the
        // first 3 bytes of every record, so a record starting closer than that to the end is
        // read past the memory that holds the chunk.
        juce::String checkCategoryRecords (const ChunkHeader& chunk)
        {
            if (chunk.length < 4)
                return "its \"cate\" chunk is too short for its header.";

            const auto begin = chunk.dataStart + 4;
            const auto size = (juce::int64) chunk.length - 4;

            for (juce::int64 at = 0; at < size;)
            {
                if (size - at < 3)
                    return "its \"cate\" chunk ends inside a record.";

                bool isGenre = false;

                if (isTagAt (begin + at))
                {
                    // The framework copies a tag's text up to its first zero byte or the chunk's
                    // end, and steps on by a record; a text that runs on past its record is
                    // copied again from every record after it, a megabyte chunk of letters
                    // into gigabytes of tags. A genre name is at most 17 characters, and no
                    // character takes more than 4 bytes, so a genre record decides it too.
                    char text[118];
                    const auto n = (int) std::min<juce::int64> ((juce::int64) sizeof (text), size - at);

                    if (! in.read (begin + at, text, n))
                        return {};

                    isGenre = isGenreTag (juce::String (juce::CharPointer_UTF8 (text), juce::CharPointer_UTF8 (text + n)));
                    const auto record = isGenre ? 118 : 50;

                    if (at + record < size && std::find (text, text + record, 0) == text + record)
                        return "its \"cate\" chunk holds a tag that runs past its record.";
                }

                at += isGenre ? 118 : 50;

                char next = 1;

                if (at < size && in.read (begin + at, &next, 1) && next == 0)
                {
                    if (at + 52 < size && isTagAt (begin + at + 50))
                        at += 50;
                    else if (at + 120 < size && isTagAt (begin + at + 118))
                        at += 118;
                    else if (at + 170 < size && isTagAt (begin + at + 168))
                        at += 168;
                }
            }

            return {};
        }

        // The framework's own test of a tag's first three characters, through the same character
        // functions, so that the walk steps exactly where its reader steps.
        bool isTagAt (juce::int64 position)
        {
            char d[3];

            if (! in.read (position, d, 3))
                return false;

            using C = juce::CharacterFunctions;
            return C::isLetterOrDigit (d[0]) && C::isUpperCase (static_cast<juce::juce_wchar> (d[0]))
                && C::isLetterOrDigit (d[1]) && C::isLowerCase (static_cast<juce::juce_wchar> (d[1]))
                && C::isLetterOrDigit (d[2]) && C::isLowerCase (static_cast<juce::juce_wchar> (d[2]));
        }

        static bool isGenreTag (const juce::String& tag)
        {
            for (auto* genre : { "Rock/Blues", "Electronic/Dance", "Jazz", "Urban", "World/Ethnic",
                                 "Cinematic/New Age", "Orchestral", "Country/Folk", "Experimental", "Other Genre" })
                if (tag == genre)
                    return true;

            return false;
        }

        //==============================================================================
        // A FLAC file: its marker, after any ID3v2 tags (which its decoder steps over too), then
        // the metadata blocks, each a header of a last-block flag and a type in one byte and a
        // length in three, up to the one flagged last; the audio frames follow.
        void walkFlac()
        {
            unsigned char bytes[10] = {};
            juce::int64 position = 0;

            // A tag's size is 4 bytes of 7 bits each, not counting its 10-byte header.
            while (in.read (position, bytes, 10) && std::memcmp (bytes, "ID3", 3) == 0)
                position += 10 + ((bytes[6] & 0x7f) << 21 | (bytes[7] & 0x7f) << 14 | (bytes[8] & 0x7f) << 7 | (bytes[9] & 0x7f));

            if (! in.read (position, bytes, 4) || std::memcmp (bytes, "fLaC", 4) != 0)
                return;

            FlacMetadataCut cut;
            position += 4;

            for (int blocks = 0;; ++blocks)
            {
                if (blocks == maxChunks)
                {
                    damaged ("it holds more than " + juce::String (maxChunks) + " metadata blocks.");
                    return;
                }

                const bool hasHeader = in.read (position, bytes, 4);
                const auto length = (juce::int64) (bytes[1] << 16 | bytes[2] << 8 | bytes[3]);

                if (! hasHeader || position + 4 + length > in.getSize())
                {
                    // Up to the limit the decoder reads the blocks itself and tells what is wrong;
                    // past it, the blocks left out would not be read to find out.
                    if (metadataFull)
                        damaged ("its metadata block at byte " + juce::String (position) + " runs past the end of the file.");

                    return;
                }

                // The first block is the stream's format, which the decoder needs.
                if (blocks == 0)
                    metadataBytes += length;

                if (blocks == 0 || admitMetadata (length))
                    cut.lastKeptHeader = position;
                else if (cut.from == 0)
                    cut.from = position;

                position += 4 + length;

                if ((bytes[0] & 0x80) != 0)
                    break;
            }

            if (cut.from > 0)
            {
                cut.to = position;
                found.flacCut = cut;
            }
        }

        //==============================================================================
        // A sound data chunk running past the end ends the walk without damage: the reader's
        // truncation check reports it with the frames that are really there.
        bool foundSoundData (const ChunkHeader& chunk, juce::int64 start, juce::int64 length)
        {
            found.hasSoundData = true;

            if (start >= 0)
                found.soundDataStarts.push_back (start);

            if (length <= in.getSize() - chunk.dataStart)
                return true;

            found.soundDataCut = true;
            return false;
        }
    };
} // namespace

AudioFileChunks walkAudioFileChunks (const juce::File& file)
{
    return ChunkWalk (file).run();
}

} // namespace dunmoor
