#include <gtest/gtest.h>

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/app/WaveformCache.h"

namespace dunmoor::testing
{
namespace
{
    struct Announcements : ui::WaveformCache::Listener
    {
        void waveformsChanged() override { ++count; }
        int count = 0;
    };

    TEST (WaveformCache, ComputesInTheBackgroundAndAnnounces)
    {
        TemporaryFolder temp;
        juce::AudioBuffer<float> tone (1, 48000);
        for (int i = 0; i < tone.getNumSamples(); ++i)
            tone.setSample (0, i, 0.5f * (float) std::sin (0.01 * i));
        const auto file = temp.file ("tone.wav");
        ASSERT_TRUE (writeAudioFile (file, "wav", tone, 48000.0, 24));

        ui::WaveformCache cache;
        Announcements listener;
        cache.addListener (&listener);
        EXPECT_EQ (cache.getWorkerThreadName(), "Brackenfold waveforms");
        EXPECT_EQ (cache.get ({}), nullptr);

        // Looking without asking queues nothing.
        EXPECT_EQ (cache.find (file.getFullPathName()), nullptr);
        EXPECT_EQ (cache.getNumPending(), 0);

        EXPECT_EQ (cache.get (file.getFullPathName()), nullptr);
        ASSERT_TRUE (pumpUntil ([&] { return listener.count > 0; }));
        const auto overview = cache.get (file.getFullPathName());
        ASSERT_NE (overview, nullptr);
        EXPECT_EQ (cache.find (file.getFullPathName()), overview);
        EXPECT_EQ (overview->getNumBuckets(), 2000);
        EXPECT_NEAR (overview->peak, 0.5f, 1e-3f);

        // An unreadable file is kept as an empty overview and never tried again.
        const auto broken = temp.make ("broken.wav", "not audio");
        EXPECT_EQ (cache.get (broken.getFullPathName()), nullptr);
        ASSERT_TRUE (pumpUntil ([&] { return cache.get (broken.getFullPathName()) != nullptr; }));
        EXPECT_TRUE (cache.get (broken.getFullPathName())->isEmpty());

        cache.removeListener (&listener);
    }
} // namespace
} // namespace dunmoor::testing
