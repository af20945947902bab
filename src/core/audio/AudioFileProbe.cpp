#include "AudioFileProbe.h"

#include <algorithm>
#include <locale>
#include <new>
#include <sstream>

#include "FlacFileDecoder.h"
#include "FlacFileView.h"
#include "core/model/Types.h"

namespace dunmoor
{

namespace
{
    // A few dozen chunk headers, read at once; a chunk stepped over costs no more than this.
    constexpr int headerReadAheadBytes = 8192;

    // The framework keeps the data chunk's position to itself; it is where the reader goes to
    // read the first frame, which the view of the file sees.
    juce::int64 findDataStart (juce::AudioFormatReader& reader, AudioFileView& view)
    {
        juce::HeapBlock<float> samples ((size_t) reader.numChannels, true);
        std::vector<float*> channels;

        for (unsigned int ch = 0; ch < reader.numChannels; ++ch)
            channels.push_back (samples.get() + ch);

        view.startWatching();

        if (! reader.read (channels.data(), (int) reader.numChannels, 0, 1))
            return -1;

        return view.getFirstReadPosition();
    }

    juce::AudioFormat* findFormatOf (const juce::AudioFormatReader& reader)
    {
        auto& manager = getAudioFormatManager();

        for (int i = 0; i < manager.getNumKnownFormats(); ++i)
            if (manager.getKnownFormat (i)->getFormatName() == reader.getFormatName())
                return manager.getKnownFormat (i);

        return nullptr;
    }

    // The framework's FLAC reader keeps only the low 32 bits of the announced length, and reads
    // missing or damaged audio as silence; its own decoder checks the end cheaply instead.
    bool checkFlacData (const juce::AudioFormatReader& reader, const juce::File& file, juce::String& error, const AudioFileChunks* walked)
    {
        try
        {
            FlacFileDecoder decoder (file, 0, walked);

            if (! decoder.open (error) || ! decoder.checkEnd (error))
                return false;

            const auto announced = decoder.getAnnouncedFrames();

            if (announced != 0 && announced != reader.lengthInSamples)
            {
                error = "The file \"" + file.getFileName() + "\" announces " + juce::String (announced)
                        + " frames, too many to read.";
                return false;
            }

            if (decoder.getNumChannels() != (int) reader.numChannels)
            {
                error = "The file \"" + file.getFileName() + "\" could not be decoded.";
                return false;
            }

            return true;
        }
        catch (const std::bad_alloc&)
        {
            error = "Not enough memory to open the file.";
            return false;
        }
    }

    juce::String formatRate (double rate)
    {
        std::ostringstream out;
        out.imbue (std::locale::classic());
        out << rate;
        return out.str();
    }

} // namespace

//==============================================================================
bool isFlacReader (const juce::AudioFormatReader& reader)
{
    return dynamic_cast<juce::FlacAudioFormat*> (findFormatOf (reader)) != nullptr;
}

std::unique_ptr<juce::AudioFormatReader> openAudioFileReader (const juce::File& file, AudioFileChunks* chunks, int readAheadBytes)
{
    // The framework's readers trust every size in a header; a damaged file never reaches them.
    auto walk = walkAudioFileChunks (file);
    const bool damaged = walk.isDamaged();

    if (chunks != nullptr)
        *chunks = std::move (walk);

    if (damaged)
        return {};

    // Every format is offered the stream in turn, whatever the file's extension: the manager's
    // File overload chooses by extension and would find nothing for ".wave" or ".aifc".
    auto fileStream = std::make_unique<juce::FileInputStream> (file);

    if (! fileStream->openedOk())
        return {};

    // The reader is shown the file with the chunks the walk hid stepped over (a FLAC file
    // without the metadata blocks it left out), and every read it makes is watched.
    const auto& walked = chunks != nullptr ? *chunks : walk;
    std::unique_ptr<juce::InputStream> source = std::move (fileStream);

    if (! walked.flacCut.isEmpty())
        source = std::make_unique<FlacFileView> (std::move (source), walked.flacCut);

    auto view = std::make_unique<AudioFileView> (std::move (source), walked.hiddenChunks);

    // The readers step from one chunk header to the next through a small buffer: a read-ahead
    // for samples would be filled whole at every header, a megabyte for each chunk stepped over.
    view->setReadAhead (headerReadAheadBytes);

    auto& manager = getAudioFormatManager();

    for (int i = 0; i < manager.getNumKnownFormats(); ++i)
    {
        if (auto* reader = manager.getKnownFormat (i)->createReaderFor (view.get(), false))
        {
            view.release()->setReadAhead (readAheadBytes); // now owned by the reader
            return std::unique_ptr<juce::AudioFormatReader> (reader);
        }

        if (! view->setPosition (0))
            return {};
    }

    return {};
}

std::unique_ptr<juce::AudioFormatReader> openCheckedAudioFileReader (const juce::File& file,
                                                                     const juce::String& whenUnreadable,
                                                                     juce::String& error,
                                                                     int readAheadBytes)
{
    AudioFileChunks chunks;
    return openCheckedAudioFileReader (file, whenUnreadable, error, readAheadBytes, chunks);
}

std::unique_ptr<juce::AudioFormatReader> openCheckedAudioFileReader (const juce::File& file,
                                                                     const juce::String& whenUnreadable,
                                                                     juce::String& error,
                                                                     int readAheadBytes,
                                                                     AudioFileChunks& chunks)
{
    auto reader = openAudioFileReader (file, &chunks, readAheadBytes);

    if (reader == nullptr)
    {
        error = chunks.isDamaged() ? chunks.damage : whenUnreadable;
        return {};
    }

    // Sound data cut short is told as such, even when the length its header claims is also
    // over a limit; but never before the channel limit, since the data check reads a frame and
    // the framework's WAV and AIFF readers never return from a frame wider than the block they
    // read at once (5760 bytes: 1920 channels of 24 bits).
    const bool dataFirst = chunks.soundDataCut && reader->numChannels > 0 && reader->numChannels <= (unsigned int) maxAudioChannels;

    if (dataFirst && ! checkReaderData (*reader, file, error, &chunks))
        return {};

    if (! checkReaderLimits (*reader, error) || (! dataFirst && ! checkReaderData (*reader, file, error, &chunks)))
        return {};

    return reader;
}

std::unique_ptr<juce::AudioFormatReader> openProbedAudioFileReader (const juce::File& file, AudioFileInfo& info, juce::String& error)
{
    if (! probeAudioFile (file, info, error))
        return {};

    auto reader = openAudioFileReader (file);

    if (reader == nullptr)
        error = "The file could not be opened for reading.";

    return reader;
}

bool checkReaderData (juce::AudioFormatReader& reader, const juce::File& file, juce::String& error, const AudioFileChunks* walked)
{
    // The framework's readers return silence for anything past the end of the file and for
    // sample widths they don't decode, and report success either way.
    auto* format = findFormatOf (reader);
    const bool isFlac = dynamic_cast<juce::FlacAudioFormat*> (format) != nullptr;
    const auto bits = (int) reader.bitsPerSample;

    // A float flag on a narrower width makes the framework hand out the integer bit patterns
    // as if they were floats: garbage of any size, reported as success.
    if (! isFlac && ((bits != 8 && bits != 16 && bits != 24 && bits != 32) || (reader.usesFloatingPointData && bits != 32)))
    {
        error = "Unsupported sample format: " + describeBitDepth (bits, reader.usesFloatingPointData) + ".";
        return false;
    }

    if (format == nullptr)
        return true;

    if (isFlac)
        return checkFlacData (reader, file, error, walked);

    const auto truncated = [&] (juce::int64 present)
    {
        error = "The file is truncated: its header announces " + juce::String (reader.lengthInSamples)
                + " frames, but only " + juce::String (present) + " are present.";
        return false;
    };

    const bool isAiff = dynamic_cast<juce::AiffAudioFormat*> (format) != nullptr;
    AudioFileChunks ownWalk;
    const AudioFileChunks* aiffChunks = walked;

    // The framework leaves an AIFF file's data position uninitialised when there is no sound
    // data chunk (a file cut inside its header), and takes a negative offset as it stands,
    // reading header bytes as audio.
    if (isAiff)
    {
        if (aiffChunks == nullptr)
        {
            ownWalk = walkAudioFileChunks (file);
            aiffChunks = &ownWalk;
        }

        if (! aiffChunks->hasSoundData)
            return truncated (0);
    }

    auto* view = dynamic_cast<AudioFileView*> (reader.input);
    const auto bytesPerFrame = (juce::int64) reader.numChannels * bits / 8;

    if (view == nullptr || bytesPerFrame <= 0)
        return true; // not opened here, or nothing to measure by

    // Nothing to read, and the limits refuse it. The framework's reader would cut the frames
    // left of a negative length to 32 bits, and write that many frames for the one asked for.
    if (reader.lengthInSamples < 1)
        return true;

    const auto dataStart = findDataStart (reader, *view);
    const auto fileSize = file.getSize();

    if (isAiff && std::find (aiffChunks->soundDataStarts.begin(), aiffChunks->soundDataStarts.end(), dataStart) == aiffChunks->soundDataStarts.end())
    {
        error = "The file is damaged: its sound data chunk points outside itself.";
        return false;
    }

    const auto present = fileSize > dataStart ? (fileSize - dataStart) / bytesPerFrame : (juce::int64) 0;

    if (present < reader.lengthInSamples)
        return truncated (present);

    return true;
}

bool readFramesChecked (juce::AudioFormatReader& reader,
                        const juce::File& file,
                        float* const* destination,
                        int numChannels,
                        juce::int64 start,
                        int count,
                        juce::String& error)
{
    // FLAC is read through its own decoder, which reports an early end itself; the framework's
    // FLAC reader asks for more than is there at every end of the file.
    auto* view = isFlacReader (reader) ? nullptr : dynamic_cast<AudioFileView*> (reader.input);

    if (view != nullptr)
        view->startWatching();

    if (! reader.read (destination, numChannels, start, count))
    {
        error = "The audio data could not be read; the file may be truncated.";
        return false;
    }

    // Inside the sound data every read of the reader must be whole; a short one means the file
    // got shorter since it was opened, and the framework filled the rest with silence.
    if (view == nullptr || view->getShortReadEnd() < 0)
        return true;

    const auto bytesPerFrame = std::max<juce::int64> (1, (juce::int64) reader.numChannels * (juce::int64) reader.bitsPerSample / 8);
    const auto first = std::max<juce::int64> (0, view->getFirstReadPosition());
    const auto received = start + std::max<juce::int64> (0, view->getShortReadEnd() - first) / bytesPerFrame;

    error = "The file \"" + file.getFileName() + "\" became shorter while it was read: " + juce::String (received)
            + " frames were there of the " + juce::String (start + count) + " asked for.";
    return false;
}

//==============================================================================
bool checkReaderLimits (const juce::AudioFormatReader& reader, juce::String& error)
{
    const auto channels = (juce::int64) reader.numChannels;
    const auto rate = reader.sampleRate;
    const auto length = reader.lengthInSamples;

    if (channels == 0)
    {
        error = "The file reports zero channels.";
        return false;
    }

    if (channels > maxAudioChannels)
    {
        error = "The file has " + juce::String (channels) + " channels, the limit is " + juce::String (maxAudioChannels) + ".";
        return false;
    }

    if (! (rate >= minAudioSampleRate && rate <= maxAudioSampleRate))
    {
        error = "Unsupported sample rate: " + formatRate (rate) + " Hz.";
        return false;
    }

    if (length < 0)
    {
        error = "The file reports a negative length.";
        return false;
    }

    if (length == 0)
    {
        error = "The file contains no audio.";
        return false;
    }

    if ((double) length / rate > maxAudioFileSeconds)
    {
        error = "The file is " + juce::String ((double) length / rate / 60.0, 1) + " minutes long, the limit is "
                + juce::String ((int) (maxAudioFileSeconds / 60.0)) + " minutes.";
        return false;
    }

    return true;
}

bool probeAudioFile (const juce::File& file, AudioFileInfo& info, juce::String& error, juce::StringArray* warnings)
{
    error.clear();

    try
    {
        if (! file.existsAsFile())
        {
            error = "The file does not exist.";
            return false;
        }

        const auto size = file.getSize();

        if (size <= 0)
        {
            error = "The file is empty.";
            return false;
        }

        if (size > maxAudioFileBytes)
        {
            error = "The file is larger than the " + juce::String (maxAudioFileBytes / (1024 * 1024 * 1024)) + " GB limit.";
            return false;
        }

        AudioFileChunks chunks;
        const auto readerHolder = openCheckedAudioFileReader (file, "Not a readable audio file, or the format is not supported.", error, 0, chunks);

        if (readerHolder == nullptr)
            return false;

        if (warnings != nullptr && chunks.chunksPastMetadataLimit > 0)
            warnings->add ("Its metadata comes to more than " + juce::String (maxMetadataBytes >> 20) + " MB; the "
                           + juce::String (chunks.chunksPastMetadataLimit) + " metadata chunk(s) after that were stepped over unread.");

        const auto& reader = *readerHolder;

        auto name = reader.getFormatName().trim();
        const auto cut = name.indexOfIgnoreCase (" file");

        if (cut >= 0)
            name = name.substring (0, cut).trim();

        if (name.isEmpty())
            name = reader.getFormatName();

        info.formatName = name;
        info.sampleRate = reader.sampleRate;
        info.bitsPerSample = (int) reader.bitsPerSample;
        info.isFloat = reader.usesFloatingPointData;
        info.numChannels = (int) reader.numChannels;
        info.lengthInSamples = reader.lengthInSamples;
        return true;
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to open the file.";
        return false;
    }
}

} // namespace dunmoor
