#include <cmath>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "audio/AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "core/audio/CancelCheck.h"
#include "core/audio/LevelMeter.h"
#include "core/audio/ReconstructionCheck.h"
#include "core/audio/Resampler.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
    /** A cancel check that counts its polls and says yes from poll number yesAt on (0: never). */
    struct CountingCancel
    {
        explicit CountingCancel (int sayYesAt = 0) : yesAt (sayYesAt) {}

        CancelCheck check()
        {
            return [this]
            {
                ++polls;
                return yesAt > 0 && polls >= yesAt;
            };
        }

        int yesAt = 0;
        int polls = 0;
    };

    juce::AudioBuffer<float> noiseFloat (int channels, int frames, int seed)
    {
        juce::Random random (seed);
        juce::AudioBuffer<float> b (channels, frames);

        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < frames; ++i)
                b.setSample (ch, i, (random.nextFloat() - 0.5f) * 0.8f);

        return b;
    }

    juce::AudioBuffer<double> noiseDouble (int channels, int frames, int seed)
    {
        const auto f = noiseFloat (channels, frames, seed);
        juce::AudioBuffer<double> b (channels, frames);

        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < frames; ++i)
                b.setSample (ch, i, (double) f.getSample (ch, i));

        return b;
    }

    bool sameSamples (const juce::AudioBuffer<double>& a, const juce::AudioBuffer<double>& b)
    {
        if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
            return false;

        for (int ch = 0; ch < a.getNumChannels(); ++ch)
            if (std::memcmp (a.getReadPointer (ch), b.getReadPointer (ch), sizeof (double) * (size_t) a.getNumSamples()) != 0)
                return false;

        return true;
    }

    /** A marker the operations must leave as it was when they fail. */
    juce::AudioBuffer<double> marker()
    {
        juce::AudioBuffer<double> b (1, 7);
        b.clear();
        b.setSample (0, 3, 0.25);
        return b;
    }

    /**
        Runs an operation (true: done; false: failed with its error) without a check, with a
        check that never says yes, and with checks that say yes at the second poll and at the
        last one an uncancelled run makes. Uncancelled, the result must not depend on the check;
        cancelled, the operation stops at that very poll with the cancelled outcome.
    */
    void expectStopsAtThePollThatSaysYes (const juce::String& name,
                                          const std::function<bool (const CancelCheck&, juce::AudioBuffer<double>&, juce::String&)>& operation)
    {
        SCOPED_TRACE (name);
        juce::AudioBuffer<double> plain, checked;
        juce::String error;
        ASSERT_TRUE (operation ({}, plain, error)) << error;

        CountingCancel never;
        ASSERT_TRUE (operation (never.check(), checked, error)) << error;
        EXPECT_TRUE (sameSamples (plain, checked));
        ASSERT_GT (never.polls, 2) << "the fixture must take several blocks";

        for (int yesAt : { 2, never.polls })
        {
            CountingCancel cancel (yesAt);
            auto result = marker();
            error.clear();
            EXPECT_FALSE (operation (cancel.check(), result, error)) << yesAt;
            EXPECT_TRUE (isCancelledError (error)) << yesAt << ": " << error;
            EXPECT_EQ (cancel.polls, yesAt);
            EXPECT_TRUE (sameSamples (result, marker())) << "a cancelled operation leaves its result as it was";
        }
    }
} // namespace

TEST (CancelCheck, ReadsStopAtTheBlockWhoseCheckSaysYes)
{
    TemporaryFolder temp;
    const auto audio = noiseFloat (2, 200000, 1);

    struct Case { const char* file; const char* format; int bits; double targetRate; };
    const Case cases[] = {
        { "a.wav", "wav", 24, 0.0 },
        { "b.aiff", "aiff", 16, 0.0 },
        { "c.flac", "flac", 24, 0.0 },
        { "d.wav", "wav", 32, 44100.0 },    // read, then converted: the last poll falls in the conversion
        { "e.flac", "flac", 16, 96000.0 },
    };

    for (const auto& c : cases)
    {
        const auto file = temp.file (c.file);
        ASSERT_TRUE (writeAudioFile (file, c.format, audio, 48000.0, c.bits));

        expectStopsAtThePollThatSaysYes (c.file, [&] (const CancelCheck& cancel, juce::AudioBuffer<double>& buffer, juce::String& error)
                                         { return readAudioFile (file, c.targetRate, buffer, error, maxReadFrames, cancel); });
    }

    // The own-rate read takes the check as well.
    const auto file = temp.file ("a.wav");
    CountingCancel cancel (2);
    juce::AudioBuffer<double> buffer;
    juce::String error;
    EXPECT_FALSE (readAudioFileAtOwnRate (file, buffer, error, cancel.check()));
    EXPECT_TRUE (isCancelledError (error)) << error;
}

TEST (CancelCheck, ConversionStopsAtTheBlockWhoseCheckSaysYes)
{
    const auto source = noiseDouble (2, 300000, 2);

    for (double target : { 44100.0, 96000.0 })
        expectStopsAtThePollThatSaysYes ("to " + juce::String (target), [&] (const CancelCheck& cancel, juce::AudioBuffer<double>& result, juce::String& error)
                                         { return resampleBuffer (source, 48000.0, target, result, error, cancel); });
}

TEST (CancelCheck, PeakMeasurementStopsAtTheBlockWhoseCheckSaysYes)
{
    auto buffer = noiseDouble (2, 300000, 3);
    buffer.setSample (1, 250000, 0.95);     // a loud sample late in the buffer: true peak work there

    for (auto mode : { PeakMode::samplePeak, PeakMode::truePeak })
    {
        SCOPED_TRACE ((int) mode);
        const auto plain = measurePeaks (buffer, mode, 4);

        CountingCancel never;
        const auto checked = measurePeaks (buffer, mode, 4, never.check());
        EXPECT_FALSE (checked.cancelled);
        EXPECT_EQ (checked.samplePeak, plain.samplePeak);
        EXPECT_EQ (checked.truePeak, plain.truePeak);
        ASSERT_GT (never.polls, 2);

        for (int yesAt : { 2, never.polls })
        {
            CountingCancel cancel (yesAt);
            const auto stopped = measurePeaks (buffer, mode, 4, cancel.check());
            EXPECT_TRUE (stopped.cancelled) << yesAt;
            EXPECT_EQ (cancel.polls, yesAt);
            EXPECT_EQ (stopped.samplePeak, 0.0);
            EXPECT_EQ (stopped.truePeak, 0.0);
        }
    }
}

TEST (CancelCheck, ReconstructionCheckIsSkippedAsCancelledNeverFailed)
{
    TemporaryFolder temp;
    const int frames = 150000;
    const auto a = noiseFloat (2, frames, 4);
    const auto b = noiseFloat (2, frames, 5);
    juce::AudioBuffer<float> mix (2, frames);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < frames; ++i)
            mix.setSample (ch, i, a.getSample (ch, i) + b.getSample (ch, i));

    const std::vector<juce::File> stems { temp.file ("a.wav"), temp.file ("b.wav") };
    const auto mixFile = temp.file ("mix.wav");
    ASSERT_TRUE (writeAudioFile (stems[0], "wav", a, 48000.0, 32));
    ASSERT_TRUE (writeAudioFile (stems[1], "wav", b, 48000.0, 32));
    ASSERT_TRUE (writeAudioFile (mixFile, "wav", mix, 48000.0, 32));

    CountingCancel never;
    const auto passed = runReconstructionCheck (stems, mixFile, -140.0, never.check());
    ASSERT_EQ (passed.state, ReconstructionState::passed) << passed.detail;
    EXPECT_FALSE (passed.cancelled);

    // Second poll: inside the mix's read; last poll: inside the last stem's read.
    for (int yesAt : { 2, never.polls })
    {
        CountingCancel cancel (yesAt);
        const auto stopped = runReconstructionCheck (stems, mixFile, -140.0, cancel.check());
        EXPECT_EQ (stopped.state, ReconstructionState::skipped) << yesAt;
        EXPECT_TRUE (stopped.cancelled);
        EXPECT_EQ (stopped.stemsCompared, 0);
        EXPECT_EQ (cancel.polls, yesAt);
    }

    // A stem reader that was cancelled cancels the check.
    const auto byReader = runReconstructionCheck (stems, mixFile, -140.0, [] (size_t, const juce::File&, juce::AudioBuffer<double>&, juce::String& error)
                                                  {
                                                      error = getCancelledErrorText();
                                                      return false;
                                                  });
    EXPECT_TRUE (byReader.cancelled);
    EXPECT_EQ (byReader.state, ReconstructionState::skipped);
}
