#include <gtest/gtest.h>

#include <cmath>

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "ui/FakeAudioDevice.h"
#include "ui/UiTestSupport.h"
#include "ui/app/PreviewEngine.h"

namespace dunmoor::testing
{
namespace
{
    using Pacing = FakeAudioOutput::Pacing;

    std::shared_ptr<FakeAudioOutput> makeOutput (Pacing pacing = Pacing::realTime, double rate = 48000.0)
    {
        FakeAudioOutput::Settings settings;
        settings.pacing = pacing;
        settings.sampleRate = rate;
        return std::make_shared<FakeAudioOutput> (settings);
    }

    /** A sine of that amplitude per channel, after `silentSeconds` of silence. */
    juce::File writeTone (const TemporaryFolder& temp,
                          const juce::String& name,
                          double seconds,
                          std::vector<float> amplitudes,
                          double rate = 48000.0,
                          double silentSeconds = 0.0)
    {
        const int frames = (int) std::lround (seconds * rate);
        const int silent = (int) std::lround (silentSeconds * rate);
        juce::AudioBuffer<float> buffer ((int) amplitudes.size(), frames);
        buffer.clear();

        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            for (int i = silent; i < frames; ++i)
                buffer.setSample (ch, i, amplitudes[(size_t) ch] * (float) std::sin (0.05 * i + ch));

        const auto file = temp.file (name);
        EXPECT_TRUE (writeAudioFile (file, "wav", buffer, rate, 24));
        return file;
    }

    bool waitUntilIdle (const ui::PreviewEngine& engine)
    {
        return pumpUntil ([&] { return ! engine.isLoading(); });
    }

    TEST (PreviewEngine, WithoutAnOpenDeviceAuditionsAreRefusedWithTheReason)
    {
        TemporaryFolder temp;
        const auto file = writeTone (temp, "tone.wav", 0.2, { 0.5f });

        FakeAudioOutput::Settings noDevice;
        noDevice.hasDevice = false;
        FakeAudioOutput::Settings busy;
        busy.openError = "The device is busy.";

        struct Case
        {
            std::unique_ptr<juce::AudioIODeviceType> type;
            juce::String error;
        };

        Case cases[] = {
            { nullptr, "No audio output device could be opened." },
            { std::make_shared<FakeAudioOutput> (noDevice)->createType(), "No audio output device could be opened." },
            { std::make_shared<FakeAudioOutput> (busy)->createType(), "The device is busy." },
        };

        for (auto& c : cases)
        {
            SCOPED_TRACE (c.error);
            ui::PreviewEngine engine (std::move (c.type));
            EXPECT_FALSE (engine.isAudioAvailable());
            EXPECT_EQ (engine.getDeviceErrorText(), c.error);

            engine.play (juce::Array<juce::File> { file }, 48000.0, "Tone", "track:1", 0.0, 0.0);
            EXPECT_FALSE (engine.isLoading());
            EXPECT_FALSE (engine.isPlaying());
            EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
            EXPECT_FALSE (engine.isActiveFor ("track:1"));
        }
    }

    TEST (PreviewEngine, PlaysAFileAndStops)
    {
        TemporaryFolder temp;
        const auto file = writeTone (temp, "tone.wav", 2.0, { 0.5f, 0.25f });
        auto output = makeOutput();
        ui::PreviewEngine engine (output->createType());
        ASSERT_TRUE (engine.isAudioAvailable()) << engine.getDeviceErrorText();
        EXPECT_EQ (engine.getLoaderThreadName(), "Brackenfold preview loader");

        engine.play (juce::StringArray { file.getFullPathName() }, 44100.0, "Tone", "track:1", 0.0, -1.0);
        EXPECT_TRUE (engine.isLoading());
        EXPECT_TRUE (engine.isActiveFor ("track:1"));
        EXPECT_EQ (engine.getStatusText(), "Loading...");

        ASSERT_TRUE (waitUntilIdle (engine));
        EXPECT_TRUE (engine.isPlaying());
        EXPECT_EQ (engine.getStatusText(), "Playing");
        EXPECT_EQ (engine.getLoadedSourceId(), "track:1");
        EXPECT_EQ (engine.getMixOverview().getNumBuckets(), 700);
        EXPECT_NEAR (engine.getSourceLength(), 2.0, 1e-9);
        EXPECT_NEAR (engine.getLoadedWindow().lengthSeconds, 2.0, 1e-9);

        const auto heard = output->getNonSilentBlockCount();
        ASSERT_TRUE (pumpUntil ([&] { return output->getNonSilentBlockCount() > heard + 3; }));
        EXPECT_GT (engine.getPlayheadSeconds(), 0.0);

        engine.stop();
        EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
        EXPECT_TRUE (engine.getStatusText().isEmpty());
        ASSERT_TRUE (pumpUntil ([&] { return ! engine.isPlaying(); }));
        EXPECT_FALSE (engine.isActiveFor ("track:1"));
    }
} // namespace
} // namespace dunmoor::testing
