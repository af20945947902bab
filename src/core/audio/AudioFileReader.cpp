#include "AudioFileReader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <locale>
#include <memory>
#include <new>
#include <sstream>
#include <vector>

#include "BufferMemory.h"
#include "FlacFileDecoder.h"
#include "Resampler.h"
#include "core/model/Types.h"

namespace dunmoor
{

//==============================================================================
juce::String AudioFileInfo::describeChannels() const
{
    return describeChannelLayout (numChannels);
}

juce::String AudioFileInfo::describeBitDepth() const
{
    return dunmoor::describeBitDepth (bitsPerSample, isFloat);
}

juce::String AudioFileInfo::describeSampleRate() const
{
    return formatKilohertz (sampleRate);
}

juce::String AudioFileInfo::describeLength() const
{
    if (sampleRate > 0.0 && (double) lengthInSamples / sampleRate > 0.0)
    {
        const auto ms = (juce::int64) ((double) lengthInSamples / sampleRate * 1000.0 + 0.5);
        const auto hours = ms / 3600000;
        const auto minutes = ms / 60000 - hours * 60;
        const auto seconds = ms / 1000 - (ms / 60000) * 60;
        const auto millis = ms % 1000;

        juce::String text;

        if (hours > 0)
            text << juce::String (hours) << ":" << juce::String (minutes).paddedLeft ('0', 2);
        else
            text << juce::String (minutes);

        return text << ":" << juce::String (seconds).paddedLeft ('0', 2)
                    << "." << juce::String (millis).paddedLeft ('0', 3);
    }

    return "0:00.000";
}

//==============================================================================
juce::AudioFormatManager& getAudioFormatManager()
{
    // registerBasicFormats() would add Ogg-Vorbis on some platforms; the system reads exactly these.
    static const std::unique_ptr<juce::AudioFormatManager> manager = []
    {
        auto m = std::make_unique<juce::AudioFormatManager>();
        m->registerFormat (new juce::WavAudioFormat(), true);
        m->registerFormat (new juce::AiffAudioFormat(), false);
        m->registerFormat (new juce::FlacAudioFormat(), false);
        return m;
    }();

    return *manager;
}

juce::String getAudioFileWildcard()
{
    return "*.wav;*.wave;*.aif;*.aiff;*.aifc;*.flac";
}

bool hasAudioFileExtension (const juce::File& file)
{
    const auto extension = file.getFileExtension();

    for (auto* known : { ".wav", ".wave", ".aif", ".aiff", ".aifc", ".flac" })
        if (extension.equalsIgnoreCase (known))
            return true;

    return false;
}

//==============================================================================
namespace
{
    // The framework keeps the data chunk's position to itself; a pointer to a protected member,
    // formed in a derived class, reads it without copying the header parsing.
    struct MappedReaderAccess : juce::MemoryMappedAudioFormatReader
    {
        static juce::int64 getDataStart (const juce::MemoryMappedAudioFormatReader& r) noexcept
        {
            return r.*(&MappedReaderAccess::dataChunkStart);
        }

        static int getBytesPerFrame (const juce::MemoryMappedAudioFormatReader& r) noexcept
        {
            return r.*(&MappedReaderAccess::bytesPerFrame);
        }
    };

    juce::AudioFormat* findFormatOf (const juce::AudioFormatReader& reader)
    {
        auto& manager = getAudioFormatManager();

        for (int i = 0; i < manager.getNumKnownFormats(); ++i)
            if (manager.getKnownFormat (i)->getFormatName() == reader.getFormatName())
                return manager.getKnownFormat (i);

        return nullptr;
    }

    bool isFlacReader (const juce::AudioFormatReader& reader)
    {
        return dynamic_cast<juce::FlacAudioFormat*> (findFormatOf (reader)) != nullptr;
    }

    // The framework's FLAC reader keeps only the low 32 bits of the announced length, and reads
    // missing or damaged audio as silence; its own decoder checks the end cheaply instead.
    bool checkFlacData (const juce::AudioFormatReader& reader, const juce::File& file, juce::String& error)
    {
        try
        {
            FlacFileDecoder decoder (file);

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

    // Where an AIFF file's sound data may start: after each "SSND" chunk's header and its
    // offset field, walking the chunks the way the framework's reader does. The framework
    // leaves the data position uninitialised when there is no such chunk (a file cut inside
    // its header), and takes a negative offset as it stands, reading header bytes as audio.
    struct AiffSoundData
    {
        bool hasChunk = false;
        std::vector<juce::int64> starts; // one per chunk whose offset lies inside the chunk
    };

    AiffSoundData findAiffSoundData (const juce::File& file)
    {
        AiffSoundData found;
        juce::FileInputStream in (file);

        if (! in.openedOk() || in.readInt() != (int) juce::ByteOrder::littleEndianInt ("FORM"))
            return found;

        const auto formLength = (juce::int64) (juce::uint32) in.readIntBigEndian();
        const auto end = in.getPosition() + formLength;
        in.skipNextBytes (4); // "AIFF" or "AIFC"

        while (in.getPosition() < end && ! in.isExhausted())
        {
            const auto type = in.readInt();
            const auto length = (juce::int64) (juce::uint32) in.readIntBigEndian();
            const auto chunkEnd = in.getPosition() + length;

            if (type == (int) juce::ByteOrder::littleEndianInt ("SSND"))
            {
                found.hasChunk = true;
                const auto offset = in.readIntBigEndian();

                if (offset >= 0 && offset <= length - 8)
                    found.starts.push_back (chunkEnd - length + 8 + offset);
            }

            if (! in.setPosition (chunkEnd + (chunkEnd & 1)))
                break;
        }

        return found;
    }

    juce::String formatRate (double rate)
    {
        std::ostringstream out;
        out.imbue (std::locale::classic());
        out << rate;
        return out.str();
    }

    juce::String notEnoughMemory (juce::int64 frames, int channels)
    {
        return "Not enough memory to read the audio (" + juce::String (frames) + " frames, "
               + juce::String (channels) + " channels).";
    }

    // Widens a block of 32-bit samples into the 64-bit result; for float sources also tells
    // whether any of them was not a finite number (no integer format can produce one).
    bool widenBlock (const float* source, double* destination, int count, bool checkFinite) noexcept
    {
        if (! checkFinite)
        {
            for (int i = 0; i < count; ++i)
                destination[i] = (double) source[i];

            return true;
        }

        int bad = 0;
        constexpr float largest = std::numeric_limits<float>::max();

        for (int i = 0; i < count; ++i)
        {
            const float x = source[i];
            destination[i] = (double) x;
            bad |= (int) ! (std::abs (x) <= largest);
        }

        return bad == 0;
    }

    // The framework's reader in blocks, widened into the result; float sources are checked for
    // samples that are not finite numbers on the way.
    bool readBlocks (juce::AudioFormatReader& reader,
                     const juce::File& file,
                     juce::int64 start,
                     juce::int64 count,
                     juce::AudioBuffer<double>& wide,
                     juce::String& error,
                     const CancelCheck& cancel)
    {
        const int numChannels = (int) reader.numChannels;
        const int blockFrames = (int) std::min<juce::int64> (count, std::max (1024, 32768 / numChannels));
        juce::AudioBuffer<float> block (numChannels, blockFrames);
        const bool checkFinite = reader.usesFloatingPointData;

        for (juce::int64 done = 0; done < count;)
        {
            const auto n = (int) std::min<juce::int64> (blockFrames, count - done);

            if (isCancelRequested (cancel))
            {
                error = getCancelledErrorText();
                return false;
            }

            if (! reader.read (block.getArrayOfWritePointers(), numChannels, start + done, n))
            {
                error = "The audio data could not be read; the file may be truncated.";
                return false;
            }

            for (int ch = 0; ch < numChannels; ++ch)
            {
                const float* source = block.getReadPointer (ch);

                if (! widenBlock (source, wide.getWritePointer (ch, (int) done), n, checkFinite))
                {
                    int frame = 0;

                    while (frame < n && std::isfinite (source[frame]))
                        ++frame;

                    error = "The file \"" + file.getFileName() + "\" contains samples that are not finite numbers"
                            + " (NaN or infinity), the first at frame " + juce::String (start + done + frame)
                            + " of channel " + juce::String (ch + 1) + ".";
                    return false;
                }
            }

            done += n;
        }

        return true;
    }

    struct Section
    {
        bool wholeFile = true;
        juce::int64 frameCap = maxReadFrames;
        double startSeconds = 0.0;
        double durationSeconds = 0.0;
        CancelCheck cancel;
    };

    // Pass 2 of every read: a fresh open, the limits again (the file may have changed since the
    // probe), every size checked before memory is committed, then the samples in blocks straight
    // into the 64-bit result, so that no whole-file 32-bit copy ever exists.
    bool readSection (const juce::File& file,
                      double targetRate,
                      const Section& section,
                      juce::AudioBuffer<double>& buffer,
                      juce::String& error)
    {
        auto readerHolder = openAudioFileReader (file);

        if (readerHolder == nullptr)
        {
            error = "The file became unreadable between the two passes.";
            return false;
        }

        auto& reader = *readerHolder;

        if (! checkReaderLimits (reader, error) || ! checkReaderData (reader, file, error))
            return false;

        const auto total = reader.lengthInSamples;
        const auto rate = reader.sampleRate;
        const auto numChannels = (int) reader.numChannels;
        juce::int64 start = 0;
        juce::int64 count = total;
        juce::int64 convertedCap = 0;

        if (section.wholeFile)
        {
            // The buffer's frame count is an int, whatever cap the caller asks for.
            convertedCap = std::min<juce::int64> (section.frameCap, std::numeric_limits<int>::max());

            if (total > section.frameCap || total > std::numeric_limits<int>::max())
            {
                error = "The file is too long to render (" + juce::String (total) + " frames).";
                return false;
            }
        }
        else
        {
            const double startFrames = std::max (0.0, section.startSeconds) * rate;
            start = (juce::int64) std::min (startFrames, (double) total);

            if (section.durationSeconds > 0.0)
                count = (juce::int64) std::min (section.durationSeconds * rate, (double) total);

            count = std::min (count, total - start);

            if (count <= 0)
            {
                error = "The requested range starts past the end of the file.";
                return false;
            }

            if (count > maxReadFrames)
            {
                error = "The requested range is too long to read (" + juce::String (count) + " frames).";
                return false;
            }

            convertedCap = maxReadFrames;
        }

        const bool resample = targetRate > 0.0 && std::abs (targetRate - rate) > 0.5;

        if (resample && getResampledLength (count, rate, targetRate) > convertedCap)
        {
            error = "The file is too long once converted to the project sample rate.";
            return false;
        }

        try
        {
            // Every sample is written below, so the result is not cleared first.
            juce::AudioBuffer<double> wide (numChannels, (int) count);
            adviseLargeBuffer (wide);

            if (isFlacReader (reader))
            {
                // Straight into the result, with every decoder error and early end reported.
                FlacFileDecoder decoder (file);

                if (! decoder.open (error))
                    return false;

                if (decoder.getNumChannels() != numChannels)
                {
                    error = "The file changed while it was being read.";
                    return false;
                }

                if (! decoder.read (start, count, total, wide.getArrayOfWritePointers(), error, section.cancel))
                    return false;
            }
            else if (! readBlocks (reader, file, start, count, wide, error, section.cancel))
            {
                return false;
            }

            if (resample)
            {
                juce::AudioBuffer<double> converted;

                // The source is released as soon as the conversion is done.
                if (! resampleBuffer (wide, rate, targetRate, converted, error, section.cancel))
                    return false;

                buffer = std::move (converted);
            }
            else
            {
                buffer = std::move (wide);
            }

            return true;
        }
        catch (const std::bad_alloc&)
        {
            error = notEnoughMemory (count, numChannels);
            return false;
        }
    }
} // namespace

//==============================================================================
std::unique_ptr<juce::AudioFormatReader> openAudioFileReader (const juce::File& file)
{
    // Every format is offered the stream in turn, whatever the file's extension: the manager's
    // File overload chooses by extension and would find nothing for ".wave" or ".aifc".
    auto stream = std::make_unique<juce::FileInputStream> (file);

    if (! stream->openedOk())
        return {};

    auto& manager = getAudioFormatManager();

    for (int i = 0; i < manager.getNumKnownFormats(); ++i)
    {
        if (auto* reader = manager.getKnownFormat (i)->createReaderFor (stream.get(), false))
        {
            stream.release(); // now owned by the reader
            return std::unique_ptr<juce::AudioFormatReader> (reader);
        }

        if (! stream->setPosition (0))
            return {};
    }

    return {};
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

bool checkReaderData (const juce::AudioFormatReader& reader, const juce::File& file, juce::String& error)
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
        return checkFlacData (reader, file, error);

    const auto truncated = [&] (juce::int64 present)
    {
        error = "The file is truncated: its header announces " + juce::String (reader.lengthInSamples)
                + " frames, but only " + juce::String (present) + " are present.";
        return false;
    };

    const bool isAiff = dynamic_cast<juce::AiffAudioFormat*> (format) != nullptr;
    AiffSoundData aiffData;

    if (isAiff)
    {
        aiffData = findAiffSoundData (file);

        if (! aiffData.hasChunk)
            return truncated (0);
    }

    std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (
        format->createMemoryMappedReader (new juce::FileInputStream (file)));

    if (mapped == nullptr)
        return true; // compressed: the decoder finds the end of the data itself

    const auto dataStart = MappedReaderAccess::getDataStart (*mapped);
    const auto bytesPerFrame = MappedReaderAccess::getBytesPerFrame (*mapped);
    const auto fileSize = file.getSize();

    if (isAiff && std::find (aiffData.starts.begin(), aiffData.starts.end(), dataStart) == aiffData.starts.end())
    {
        error = "The file is damaged: its sound data chunk points outside itself.";
        return false;
    }

    if (bytesPerFrame <= 0)
        return true;

    const auto present = fileSize > dataStart ? (fileSize - dataStart) / bytesPerFrame : (juce::int64) 0;

    if (present < reader.lengthInSamples)
        return truncated (present);

    return true;
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

bool probeAudioFile (const juce::File& file, AudioFileInfo& info, juce::String& error)
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

        auto readerHolder = openAudioFileReader (file);

        if (readerHolder == nullptr)
        {
            error = "Not a readable audio file, or the format is not supported.";
            return false;
        }

        auto& reader = *readerHolder;

        if (! checkReaderLimits (reader, error) || ! checkReaderData (reader, file, error))
            return false;

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

bool readAudioFile (const juce::File& file,
                    double targetRate,
                    juce::AudioBuffer<double>& buffer,
                    juce::String& error,
                    juce::int64 frameCap,
                    const CancelCheck& cancel)
{
    AudioFileInfo info;

    if (! probeAudioFile (file, info, error))
        return false;

    try
    {
        Section section;
        section.frameCap = frameCap;
        section.cancel = cancel;
        return readSection (file, targetRate, section, buffer, error);
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to open the file.";
        return false;
    }
}

bool readAudioFileAtOwnRate (const juce::File& file, juce::AudioBuffer<double>& buffer, juce::String& error, const CancelCheck& cancel)
{
    return readAudioFile (file, 0.0, buffer, error, maxReadFrames, cancel);
}

bool readAudioFileRange (const juce::File& file,
                         double targetRate,
                         double startSeconds,
                         double durationSeconds,
                         juce::AudioBuffer<double>& buffer,
                         juce::String& error)
{
    AudioFileInfo info;

    if (! probeAudioFile (file, info, error))
        return false;

    try
    {
        Section section;
        section.wholeFile = false;
        section.startSeconds = startSeconds;
        section.durationSeconds = durationSeconds;
        return readSection (file, targetRate, section, buffer, error);
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to open the file.";
        return false;
    }
}

//==============================================================================
bool allocateRenderBuffer (juce::AudioBuffer<double>& buffer, int numChannels, juce::int64 numFrames, juce::String& error)
{
    error.clear();

    if (numChannels < 1 || numChannels > maxAudioChannels)
    {
        error = "Unsupported channel count: " + juce::String (numChannels) + ".";
        return false;
    }

    if (numFrames < 0)
    {
        error = "Negative render length.";
        return false;
    }

    if (numFrames > maxReadFrames)
    {
        error = "The render is too long: " + juce::String (numFrames) + " frames.";
        return false;
    }

    try
    {
        // A buffer marked as cleared stays so when it grows, and its memory then comes zeroed from
        // the allocator: a large render buffer costs no pass over its pages until it is used.
        juce::AudioBuffer<double> fresh;
        fresh.clear();
        fresh.setSize (numChannels, (int) numFrames);
        adviseLargeBuffer (fresh);
        buffer = std::move (fresh);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory for a render buffer of " + juce::String (numFrames) + " frames and "
                + juce::String (numChannels) + " channels.";
        return false;
    }
}

void addBufferTo (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source)
{
    addBufferWithGain (destination, source, 1.0);
}

void addBufferWithGain (juce::AudioBuffer<double>& destination, const juce::AudioBuffer<double>& source, double gain)
{
    const int n = std::min (destination.getNumSamples(), source.getNumSamples());

    if (n <= 0 || gain == 0.0 || source.getNumChannels() == 0)
        return;

    const bool monoSource = source.getNumChannels() == 1;

    for (int ch = 0; ch < destination.getNumChannels(); ++ch)
    {
        const int sourceChannel = monoSource ? 0 : ch;

        if (sourceChannel >= source.getNumChannels())
            continue;

        // Adds nothing from a source marked as cleared; copies into a destination marked as cleared.
        destination.addFrom (ch, 0, source, sourceChannel, 0, n, gain);
    }
}

void scaleBuffer (juce::AudioBuffer<double>& buffer, double gain)
{
    if (gain == 1.0)
        return;

    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        auto* samples = buffer.getWritePointer (ch);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            samples[i] *= gain;
    }
}

} // namespace dunmoor
