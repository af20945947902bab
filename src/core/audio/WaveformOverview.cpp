#include "WaveformOverview.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "AudioFileProbe.h"

namespace dunmoor
{

namespace
{
    constexpr int fileBlockFrames = 65536;

    int clampBuckets (int wanted)
    {
        return juce::jlimit (1, WaveformOverview::maxBuckets, wanted);
    }

    // Frame f of N falls into bucket f * B / N, so bucket b's frames end at ceil (N * (b + 1) / B).
    // Walking bucket by bucket with that end avoids a division per sample.
    juce::int64 bucketEnd (juce::int64 bucket, juce::int64 numFrames, juce::int64 numBuckets)
    {
        return (numFrames * (bucket + 1) + numBuckets - 1) / numBuckets;
    }

    juce::int64 bucketOf (juce::int64 frame, juce::int64 numFrames, juce::int64 numBuckets)
    {
        return juce::jlimit ((juce::int64) 0, numBuckets - 1, frame * numBuckets / numFrames);
    }

    void computePeak (WaveformOverview& overview)
    {
        float peak = 0.0f;

        for (size_t i = 0; i < overview.minimums.size(); ++i)
            peak = std::max (peak, std::max (std::abs (overview.minimums[i]), std::abs (overview.maximums[i])));

        overview.peak = peak;
    }

    // Buckets filled the way the buffer and range forms do it: the first sample to reach a bucket
    // sets its minimum and maximum, later ones widen them; buckets nobody reaches stay 0 / 0.
    class FirstSampleBuckets
    {
    public:
        FirstSampleBuckets (WaveformOverview& o, juce::int64 frames)
            : overview (o)
            , numFrames (frames)
            , numBuckets ((juce::int64) o.minimums.size())
            , touched (o.minimums.size(), 0)
        {
        }

        // Frames [frame, frame + count) of the source, channel pointers starting at that frame.
        template <typename Sample>
        void add (const Sample* const* channels, int numChannels, juce::int64 frame, int count)
        {
            const auto end = frame + count;

            for (auto f = frame; f < end;)
            {
                const auto bucket = bucketOf (f, numFrames, numBuckets);
                const auto stretchEnd = std::max (f + 1, std::min (bucketEnd (bucket, numFrames, numBuckets), end));
                const auto offset = (int) (f - frame);
                const auto length = (int) (stretchEnd - f);
                auto b = (size_t) bucket;
                float lo = overview.minimums[b];
                float hi = overview.maximums[b];

                if (! touched[b])
                {
                    lo = hi = (float) channels[0][offset];
                    touched[b] = 1;
                }

                for (int ch = 0; ch < numChannels; ++ch)
                {
                    const Sample* samples = channels[ch] + offset;

                    for (int i = 0; i < length; ++i)
                    {
                        const auto v = (float) samples[i];
                        lo = v < lo ? v : lo;
                        hi = v > hi ? v : hi;
                    }
                }

                overview.minimums[b] = lo;
                overview.maximums[b] = hi;
                f = stretchEnd;
            }
        }

        /** Takes over the buckets reached by an earlier filler of the same overview (none: empty). */
        void adopt (std::vector<char>& reached)
        {
            if (reached.size() == touched.size())
                std::swap (touched, reached);
        }

        std::vector<char> release() { return std::move (touched); }

    private:
        WaveformOverview& overview;
        juce::int64 numFrames;
        juce::int64 numBuckets;
        std::vector<char> touched;
    };

    /** Sizes the overview's buckets (each 0 / 0 until a sample reaches it) for a signal. */
    void startOverview (WaveformOverview& overview, int numChannels, juce::int64 numFrames, double sampleRate, int numBuckets)
    {
        const int buckets = clampBuckets (numBuckets);
        overview.minimums.assign ((size_t) buckets, 0.0f);
        overview.maximums.assign ((size_t) buckets, 0.0f);
        overview.sampleRate = sampleRate;
        overview.channelCount = numChannels;
        overview.duration = sampleRate > 0.0 ? (double) numFrames / sampleRate : 0.0;
    }

    double clampFraction (double x)
    {
        return std::isnan (x) ? 0.0 : juce::jlimit (0.0, 1.0, x);
    }
} // namespace

//==============================================================================
WaveformOverviewBuilder::WaveformOverviewBuilder (int numChannels, juce::int64 frames, double sampleRate, int numBuckets)
    : numFrames (frames)
{
    if (numChannels > 0 && frames > 0)
        startOverview (overview, numChannels, frames, sampleRate, numBuckets);
}

void WaveformOverviewBuilder::add (const double* const* channels, juce::int64 frame, int count)
{
    if (overview.isEmpty() || count <= 0)
        return;

    // The filler keeps which buckets were reached in its own list; it is handed over between
    // the pieces, so that each piece carries on where the last one ended.
    FirstSampleBuckets filler (overview, numFrames);
    filler.adopt (touched);
    filler.add (channels, overview.channelCount, frame, count);
    touched = filler.release();
}

WaveformOverview WaveformOverviewBuilder::finish()
{
    computePeak (overview);
    return std::move (overview);
}

//==============================================================================
double WaveformOverview::firstSoundPosition (float thresholdFraction, double leadInSeconds) const
{
    if (isEmpty() || peak <= 0.0f || duration <= 0.0)
        return 0.0;

    const float threshold = peak * juce::jlimit (0.0f, 1.0f, thresholdFraction);
    const auto numBuckets = minimums.size();

    for (size_t i = 0; i < numBuckets; ++i)
    {
        if (std::max (std::abs (minimums[i]), std::abs (maximums[i])) > threshold)
        {
            const double position = ((double) i * duration / (double) numBuckets - leadInSeconds) / duration;
            return position < 0.0 ? 0.0 : std::min (position, 1.0);
        }
    }

    return 0.0;
}

//==============================================================================
namespace
{
    template <typename Sample>
    WaveformOverview overviewOfBuffer (const juce::AudioBuffer<Sample>& buffer, double sampleRate, int numBuckets)
    {
        const int numChannels = buffer.getNumChannels();
        const int numFrames = buffer.getNumSamples();

        if (numChannels <= 0 || numFrames <= 0)
            return {};

        try
        {
            WaveformOverview overview;
            startOverview (overview, numChannels, numFrames, sampleRate, numBuckets);

            FirstSampleBuckets filler (overview, numFrames);
            filler.add (buffer.getArrayOfReadPointers(), numChannels, 0, numFrames);
            computePeak (overview);
            return overview;
        }
        catch (const std::bad_alloc&)
        {
            return {};
        }
    }
} // namespace

WaveformOverview overviewFromBuffer (const juce::AudioBuffer<double>& buffer, double sampleRate, int numBuckets)
{
    return overviewOfBuffer (buffer, sampleRate, numBuckets);
}

WaveformOverview overviewFromBuffer (const juce::AudioBuffer<float>& buffer, double sampleRate, int numBuckets)
{
    return overviewOfBuffer (buffer, sampleRate, numBuckets);
}

WaveformOverview overviewFromFile (const juce::File& file, int numBuckets, juce::String& error, const CancelCheck& cancel)
{
    error.clear();

    try
    {
        AudioFileInfo info;
        auto reader = openProbedAudioFileReader (file, info, error);

        if (reader == nullptr)
            return {};

        if (! checkReaderData (*reader, file, error))
            return {};

        const auto numFrames = reader->lengthInSamples;
        const int numChannels = (int) reader->numChannels;

        if (numFrames <= 0)
        {
            error = "The file contains no audio.";
            return {};
        }

        WaveformOverview overview;
        const auto buckets = (juce::int64) clampBuckets (numBuckets);
        overview.minimums.assign ((size_t) buckets, std::numeric_limits<float>::max());
        overview.maximums.assign ((size_t) buckets, std::numeric_limits<float>::lowest());
        overview.sampleRate = reader->sampleRate;
        overview.channelCount = numChannels;
        overview.duration = reader->sampleRate > 0.0 ? (double) numFrames / reader->sampleRate : 0.0;

        juce::AudioBuffer<float> block (numChannels, (int) std::min<juce::int64> (fileBlockFrames, numFrames));
        std::vector<int> runs ((size_t) numChannels, 0);
        juce::int64 nearFullScaleCount = 0;
        int longestRun = 0;
        const float nearFullScale = WaveformOverview::nearFullScale;

        for (juce::int64 position = 0; position < numFrames;)
        {
            const auto count = (int) std::min<juce::int64> (block.getNumSamples(), numFrames - position);

            if (isCancelRequested (cancel))
            {
                error = getCancelledErrorText();
                return {};
            }

            if (! readFramesChecked (*reader, file, block.getArrayOfWritePointers(), numChannels, position, count, error))
                break;

            const auto end = position + count;

            for (auto f = position; f < end;)
            {
                const auto bucket = bucketOf (f, numFrames, buckets);
                const auto stretchEnd = std::max (f + 1, std::min (bucketEnd (bucket, numFrames, buckets), end));
                const auto offset = (int) (f - position);
                const auto length = (int) (stretchEnd - f);
                const auto b = (size_t) bucket;
                float lo = overview.minimums[b];
                float hi = overview.maximums[b];

                for (int ch = 0; ch < numChannels; ++ch)
                {
                    const float* samples = block.getReadPointer (ch, offset);
                    int run = runs[(size_t) ch];

                    for (int i = 0; i < length; ++i)
                    {
                        const float v = samples[i];
                        lo = v < lo ? v : lo;
                        hi = v > hi ? v : hi;

                        if (std::abs (v) >= nearFullScale)
                        {
                            ++nearFullScaleCount;
                            longestRun = std::max (longestRun, ++run);
                        }
                        else
                        {
                            run = 0;
                        }
                    }

                    runs[(size_t) ch] = run;
                }

                overview.minimums[b] = lo;
                overview.maximums[b] = hi;
                f = stretchEnd;
            }

            position = end;
        }

        for (size_t b = 0; b < overview.minimums.size(); ++b)
        {
            if (overview.minimums[b] > overview.maximums[b])
            {
                overview.minimums[b] = 0.0f;
                overview.maximums[b] = 0.0f;
            }
        }

        overview.nearFullScaleCount = nearFullScaleCount;
        overview.longestNearFullScaleRun = longestRun;
        computePeak (overview);
        return overview;
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to read the file.";
        return {};
    }
}

FrameSpan frameRangeOfFractions (juce::int64 totalFrames, double startFraction, double endFraction)
{
    if (totalFrames <= 0)
        return {};

    const double lo = std::min (clampFraction (startFraction), clampFraction (endFraction));
    const double hi = std::max (clampFraction (startFraction), clampFraction (endFraction));
    const auto first = std::min (totalFrames, (juce::int64) std::floor ((double) totalFrames * lo));
    const auto end = std::min (totalFrames, std::max (first + 1, (juce::int64) std::floor ((double) totalFrames * hi)));
    return { first, std::max (first, end) };
}

WaveformOverview overviewFromFileRange (const juce::File& file,
                                        double startFraction,
                                        double endFraction,
                                        int numBuckets,
                                        juce::String& error,
                                        const CancelCheck& cancel)
{
    error.clear();

    try
    {
        // Limits first, as for every other read: the framework's WAV and AIFF readers never return
        // from a frame wider than their block buffer. A file shorter than its header says would
        // otherwise show its missing end as silence.
        const juce::String unreadable ("The file could not be opened for reading.");
        auto reader = file.existsAsFile() ? openCheckedAudioFileReader (file, unreadable, error) : nullptr;

        if (reader == nullptr)
        {
            if (error.isEmpty())
                error = unreadable;

            return {};
        }

        const auto total = reader->lengthInSamples;
        const int numChannels = (int) reader->numChannels;

        if (total <= 0)
        {
            error = "The file contains no audio.";
            return {};
        }

        if (numChannels <= 0)
            return {};

        const auto range = frameRangeOfFractions (total, startFraction, endFraction);

        if (range.getLength() <= 0)
            return {};

        const auto first = range.start;
        const auto rangeFrames = range.getLength();

        WaveformOverview overview;
        const int buckets = clampBuckets ((int) std::min<juce::int64> (numBuckets, rangeFrames));
        overview.minimums.assign ((size_t) buckets, 0.0f);
        overview.maximums.assign ((size_t) buckets, 0.0f);
        overview.sampleRate = reader->sampleRate;
        overview.channelCount = numChannels;
        overview.duration = reader->sampleRate > 0.0 ? (double) total / reader->sampleRate : 0.0;

        FirstSampleBuckets filler (overview, rangeFrames);
        juce::AudioBuffer<float> block (numChannels, (int) std::min<juce::int64> (fileBlockFrames, rangeFrames));

        for (juce::int64 done = 0; done < rangeFrames;)
        {
            if (isCancelRequested (cancel))
            {
                error = getCancelledErrorText();
                return {};
            }

            const auto count = (int) std::min<juce::int64> (block.getNumSamples(), rangeFrames - done);
            block.clear();

            if (! readFramesChecked (*reader, file, block.getArrayOfWritePointers(), numChannels, first + done, count, error))
                break;

            filler.add (block.getArrayOfReadPointers(), numChannels, done, count);
            done += count;
        }

        computePeak (overview);
        return overview;
    }
    catch (const std::bad_alloc&)
    {
        error = "Not enough memory to read the file.";
        return {};
    }
}

} // namespace dunmoor
