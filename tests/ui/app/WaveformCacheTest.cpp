#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

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
        void waveformsChanged() override
        {
            ++count;

            if (onAnnounce != nullptr)
                onAnnounce();
        }

        int count = 0;
        std::function<void()> onAnnounce;
    };

    /**
        An overview function that records the order of the paths it is asked for and, while the
        gate is shut, waits there (until released or cancelled) before answering. Each overview
        it gives carries its call number as the sample rate.
    */
    struct ScriptedOverviews
    {
        ui::WaveformCache::OverviewFunction function()
        {
            return [this] (const juce::File& file, int buckets, const CancelCheck& cancel) {
                int call = 0;
                {
                    std::unique_lock<std::mutex> lock (mutex);
                    order.add (file.getFileName());
                    call = order.size();
                    ++waiting;
                    condition.notify_all();

                    while (! open && ! isCancelRequested (cancel))
                        condition.wait_for (lock, std::chrono::milliseconds (2));

                    --waiting;
                    condition.notify_all();

                    if (isCancelRequested (cancel))
                    {
                        ++cancelled;
                        return WaveformOverview();
                    }
                }

                WaveformOverview overview;
                overview.minimums.assign ((size_t) buckets, -0.5f);
                overview.maximums.assign ((size_t) buckets, 0.5f);
                overview.peak = 0.5f;
                overview.sampleRate = call;
                return overview;
            };
        }

        void setOpen (bool shouldBeOpen)
        {
            {
                const std::lock_guard<std::mutex> lock (mutex);
                open = shouldBeOpen;
            }
            condition.notify_all();
        }

        bool waitUntilWaiting (int count = 1)
        {
            std::unique_lock<std::mutex> lock (mutex);
            return condition.wait_for (lock, std::chrono::seconds (10), [&] { return waiting >= count; });
        }

        juce::StringArray getOrder()
        {
            const std::lock_guard<std::mutex> lock (mutex);
            return order;
        }

        /** How many calls gave up because they were cancelled, once no call is waiting any more. */
        int getCancelledWhenIdle()
        {
            std::unique_lock<std::mutex> lock (mutex);
            condition.wait_for (lock, std::chrono::seconds (10), [this] { return waiting == 0; });
            return cancelled;
        }

        std::mutex mutex;
        std::condition_variable condition;
        juce::StringArray order;
        bool open = true;
        int waiting = 0;
        int cancelled = 0;
    };

    juce::String pathOf (const char* name)
    {
        return "/cache-test/" + juce::String (name) + ".wav";
    }

    ui::WaveformCache::Options scriptedOptions (ScriptedOverviews& script, int threads = 1, int capacity = 4096)
    {
        ui::WaveformCache::Options options;
        options.computeOverview = script.function();
        options.numThreads = threads;
        options.capacity = capacity;
        return options;
    }

    //==============================================================================
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
        EXPECT_EQ (cache.getNumThreads(), juce::jlimit (2, 6, juce::SystemStats::getNumCpus() - 1));
        EXPECT_EQ (cache.get ({}), nullptr);

        // Looking without asking queues nothing.
        EXPECT_EQ (cache.find (file.getFullPathName()), nullptr);
        EXPECT_EQ (cache.getNumPending(), 0);

        EXPECT_EQ (cache.get (file.getFullPathName()), nullptr);
        juce::ignoreUnused (cache.get (file.getFullPathName())); // pending or done: no second job
        ASSERT_TRUE (pumpUntil ([&] { return listener.count > 0; }));
        const auto overview = cache.get (file.getFullPathName());
        ASSERT_NE (overview, nullptr);
        EXPECT_EQ (cache.find (file.getFullPathName()), overview);
        EXPECT_EQ (overview->getNumBuckets(), 2000);
        EXPECT_NEAR (overview->peak, 0.5f, 1e-3f);
        EXPECT_EQ (cache.getNumComputed(), 1) << "asked for twice, computed once";

        // An unreadable file is kept as an empty overview and never tried again.
        const auto broken = temp.make ("broken.wav", "not audio");
        EXPECT_EQ (cache.get (broken.getFullPathName()), nullptr);
        ASSERT_TRUE (pumpUntil ([&] { return cache.get (broken.getFullPathName()) != nullptr; }));
        EXPECT_TRUE (cache.get (broken.getFullPathName())->isEmpty());
        EXPECT_EQ (cache.getNumComputed(), 2);

        cache.removeListener (&listener);
    }

    TEST (WaveformCache, WantedNewestFirstPrefetchedOldestFirstAndOnlyWhenNothingIsWanted)
    {
        ScriptedOverviews script;
        ui::WaveformCache cache (scriptedOptions (script));

        script.setOpen (false);
        EXPECT_EQ (cache.get (pathOf ("busy")), nullptr);
        ASSERT_TRUE (script.waitUntilWaiting());

        cache.prefetch (pathOf ("p1"));
        cache.prefetch (pathOf ("p2"));
        cache.prefetch (pathOf ("p3"));
        cache.get (pathOf ("w1"));
        cache.get (pathOf ("w2"));
        cache.get (pathOf ("p2")); // comes into view: moves to the front, without a second job
        cache.prefetch (pathOf ("w1"));
        EXPECT_EQ (cache.getNumPending(), 6);

        script.setOpen (true);
        ASSERT_TRUE (pumpUntil ([&] { return cache.getNumPending() == 0; }));
        EXPECT_EQ (script.getOrder(), juce::StringArray ({ "busy.wav", "p2.wav", "w2.wav", "w1.wav", "p1.wav", "p3.wav" }));

        for (const auto* name : { "busy", "p1", "p2", "p3", "w1", "w2" })
            EXPECT_NE (cache.get (pathOf (name)), nullptr) << name;

        EXPECT_EQ (cache.getNumComputed(), 6);
    }

    // A worker finishing after forget() used to store the old file's overview over the new one.
    TEST (WaveformCache, ForgetDuringAJobDropsItsResult)
    {
        ScriptedOverviews script;
        ui::WaveformCache cache (scriptedOptions (script, 2));
        const auto path = pathOf ("split");

        ASSERT_EQ (cache.get (path), nullptr);
        ASSERT_TRUE (pumpUntil ([&] { return cache.get (path) != nullptr; }));
        const auto before = cache.get (path);
        EXPECT_EQ (before->sampleRate, 1.0);

        script.setOpen (false);
        cache.forget (path);
        EXPECT_EQ (cache.get (path), nullptr) << "forgotten, and asked for again";
        ASSERT_TRUE (script.waitUntilWaiting());

        // The file is replaced while its job runs: the job stops and a new one computes it.
        cache.forget (path);
        EXPECT_EQ (cache.get (path), nullptr);
        script.setOpen (true);
        ASSERT_TRUE (pumpUntil ([&] { return cache.get (path) != nullptr; }));
        EXPECT_EQ (cache.get (path)->sampleRate, 3.0) << "the overview of the last request";
        EXPECT_EQ (script.getCancelledWhenIdle(), 1);
        EXPECT_EQ (before->sampleRate, 1.0) << "an overview a page holds is never changed in place";
    }

    // Pending and the queues compared paths by different rules, so a case variant stayed
    // pending for ever. On a disk that tells letter case apart they are two files.
    TEST (WaveformCache, CaseVariantsAreTwoFilesWhereTheDiskSaysSo)
    {
        ScriptedOverviews script;
        ui::WaveformCache cache (scriptedOptions (script, 1));

        cache.prefetch ("/cue/Bass.wav");
        cache.get ("/cue/bass.wav");
        cache.get ("/cue/Bass.wav");
        ASSERT_TRUE (pumpUntil ([&] { return cache.getNumPending() == 0; }));

        const bool caseSensitive = juce::File::areFileNamesCaseSensitive();
        EXPECT_EQ (cache.getNumCached(), caseSensitive ? 2 : 1);
        EXPECT_EQ (cache.getNumComputed(), caseSensitive ? 2 : 1);
        EXPECT_NE (cache.get ("/cue/bass.wav"), nullptr);
        EXPECT_NE (cache.get ("/cue/Bass.wav"), nullptr);
    }

    // A page that shows more files than fit must not make the cache compute in circles, and
    // files no longer shown make room for those that are.
    TEST (WaveformCache, ASmallCacheEvictsWhatIsNoLongerShownAndNeverLoops)
    {
        ScriptedOverviews script;
        ui::WaveformCache cache (scriptedOptions (script, 2, 2));
        Announcements page;
        juce::StringArray shown { pathOf ("a"), pathOf ("b"), pathOf ("c") };
        int drawn = 0;
        page.onAnnounce = [&] {
            drawn = 0;

            for (const auto& path : shown)
                drawn += cache.get (path) != nullptr ? 1 : 0;
        };
        cache.addListener (&page);

        page.onAnnounce();
        ASSERT_TRUE (pumpUntil ([&] { return cache.getNumPending() == 0 && drawn == 2; }));
        pumpMessages (300);
        const auto computed = cache.getNumComputed();
        EXPECT_LE (computed, 4);
        EXPECT_EQ (drawn, 2);
        EXPECT_EQ (cache.getNumCached(), 2);

        pumpMessages (300);
        EXPECT_EQ (cache.getNumComputed(), computed) << "nothing computed again";

        // Scrolling on: two other files come into view and evict the ones no longer shown.
        shown = { pathOf ("d"), pathOf ("e") };
        page.onAnnounce();
        ASSERT_TRUE (pumpUntil ([&] { return drawn == 2; }));
        EXPECT_EQ (cache.getNumCached(), 2);
        pumpMessages (300);
        EXPECT_LE (cache.getNumComputed(), computed + 4);

        cache.removeListener (&page);
    }

    TEST (WaveformCache, DestructionMidJobStopsTheWorkAndCallsNoListener)
    {
        ScriptedOverviews script;
        Announcements listener;
        {
            ui::WaveformCache cache (scriptedOptions (script, 2));
            cache.addListener (&listener);
            script.setOpen (false);
            cache.get (pathOf ("one"));
            cache.get (pathOf ("two"));
            cache.prefetch (pathOf ("three"));
            ASSERT_TRUE (script.waitUntilWaiting (2));
        }

        EXPECT_EQ (script.getCancelledWhenIdle(), 2) << "both running jobs were asked to stop, neither was killed";
        EXPECT_EQ (script.getOrder().size(), 2) << "the queued file was never started";
        pumpMessages (100);
        EXPECT_EQ (listener.count, 0);
    }
} // namespace
} // namespace dunmoor::testing
