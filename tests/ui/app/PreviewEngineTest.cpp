#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/audio/AudioFileReader.h"
#include "ui/FakeAudioDevice.h"
#include "ui/PlainSum.h"
#include "ui/UiTestSupport.h"
#include "ui/app/PreviewEngine.h"

namespace dunmoor::testing
{
namespace
{
    using Pacing = FakeAudioOutput::Pacing;
    using Files = juce::Array<juce::File>;

    std::shared_ptr<FakeAudioOutput> makeOutput (Pacing pacing = Pacing::realTime, double rate = 48000.0, int channels = 2)
    {
        FakeAudioOutput::Settings settings;
        settings.pacing = pacing;
        settings.sampleRate = rate;
        settings.outputChannels = channels;
        return std::make_shared<FakeAudioOutput> (settings);
    }

    /** A sine of that amplitude per channel (a different pitch each), after `silentSeconds` of silence. */
    juce::File writeTone (const TemporaryFolder& temp,
                          const juce::String& name,
                          double seconds,
                          std::vector<float> amplitudes,
                          double rate = 48000.0,
                          double silentSeconds = 0.0,
                          int bits = 24)
    {
        const int frames = (int) std::lround (seconds * rate);
        const int silent = (int) std::lround (silentSeconds * rate);
        juce::AudioBuffer<float> buffer ((int) amplitudes.size(), frames);
        buffer.clear();

        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            for (int i = silent; i < frames; ++i)
                buffer.setSample (ch, i, amplitudes[(size_t) ch] * (float) std::sin (0.05 * (ch + 1) * i + ch));

        const auto file = temp.file (name);
        EXPECT_TRUE (writeAudioFile (file, "wav", buffer, rate, bits));
        return file;
    }

    bool waitUntilLoaded (const ui::PreviewEngine& engine)
    {
        return pumpUntil ([&] { return ! engine.isLoading(); });
    }

    /** Everything a manually paced device plays from now on, block by block. */
    struct Recorder
    {
        explicit Recorder (FakeAudioOutput& o) : output (o)
        {
            output.setBlockObserver ([this] (const juce::AudioBuffer<float>& block, juce::int64) {
                const int at = recorded.getNumSamples();
                recorded.setSize (block.getNumChannels(), at + block.getNumSamples(), true, false, true);

                for (int ch = 0; ch < block.getNumChannels(); ++ch)
                    recorded.copyFrom (ch, at, block, ch, 0, block.getNumSamples());
            });
        }

        ~Recorder() { output.setBlockObserver (nullptr); }

        FakeAudioOutput& output;
        juce::AudioBuffer<float> recorded;
    };

    /** Frames from `from` on where the played audio (channels 0 and 1) is not the reference
        converted to 32-bit; the first few are reported. */
    int countMismatches (const juce::AudioBuffer<float>& played, const juce::AudioBuffer<double>& reference, int from)
    {
        int mismatches = 0;

        for (int ch = 0; ch < 2; ++ch)
        {
            for (int i = from; i < reference.getNumSamples(); ++i)
            {
                const auto expected = (float) reference.getSample (std::min (ch, reference.getNumChannels() - 1), i);

                if (played.getSample (ch, i) != expected && mismatches++ < 3)
                    ADD_FAILURE() << "channel " << ch << " frame " << i << ": " << played.getSample (ch, i)
                                  << " played, " << expected << " in the plain sum";
            }
        }

        return mismatches;
    }

    /** A reader that waits at a gate for the files it is told to hold, ignoring cancel, as a
        read stuck in a slow disk would. */
    struct GatedReader
    {
        void hold (const juce::File& file)
        {
            const std::lock_guard<std::mutex> lock (mutex);
            held = file;
            open = false;
        }

        void release()
        {
            {
                const std::lock_guard<std::mutex> lock (mutex);
                open = true;
            }
            condition.notify_all();
        }

        bool waitUntilEntered (int timeoutMs = 10000)
        {
            std::unique_lock<std::mutex> lock (mutex);
            return condition.wait_for (lock, std::chrono::milliseconds (timeoutMs), [this] { return entered; });
        }

        ui::PreviewEngine::RangeReader reader()
        {
            return [this] (const juce::File& file, double start, double duration, juce::AudioBuffer<double>& buffer, juce::String& error) {
                {
                    std::unique_lock<std::mutex> lock (mutex);

                    if (file == held)
                    {
                        entered = true;
                        condition.notify_all();
                        condition.wait (lock, [this] { return open; });
                    }
                }

                return readAudioFileRange (file, 0.0, start, duration, buffer, error);
            };
        }

        std::mutex mutex;
        std::condition_variable condition;
        juce::File held;
        bool open = true;
        bool entered = false;
    };

    //==============================================================================
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

        // Without a sound card the framework reports no error and opens nothing: that is no
        // audio too, never an audition that sticks in "playing".
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

            engine.play (Files { file }, 48000.0, "Tone", "track:1", 0.0, 0.0);
            engine.toggle (Files { file }, 48000.0, "Tone", "track:1", 0.0, 0.0);
            EXPECT_FALSE (engine.isLoading());
            EXPECT_FALSE (engine.isPlaying());
            EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
            EXPECT_FALSE (engine.isActiveFor ("track:1"));
        }
    }

    TEST (PreviewEngine, PlaysTogglesAndStops)
    {
        TemporaryFolder temp;
        const auto file = writeTone (temp, "tone.wav", 2.0, { 0.5f, 0.25f });
        auto output = makeOutput();
        ui::PreviewEngine engine (output->createType());
        ASSERT_TRUE (engine.isAudioAvailable()) << engine.getDeviceErrorText();
        EXPECT_EQ (engine.getLoaderThreadName(), "Brackenfold preview loader");
        EXPECT_EQ (engine.getPlayheadFraction(), -1.0);
        EXPECT_EQ (engine.getWindowPosition(), -1.0);

        const juce::StringArray paths { file.getFullPathName() };
        engine.toggle (paths, 44100.0, "Tone", "track:1", 0.0, -1.0);
        EXPECT_TRUE (engine.isLoading());
        EXPECT_TRUE (engine.isActiveFor ("track:1"));
        EXPECT_FALSE (engine.isActiveFor ("track:2"));
        EXPECT_EQ (engine.getStatusText(), "Loading...");

        ASSERT_TRUE (waitUntilLoaded (engine));
        EXPECT_TRUE (engine.isPlaying());
        EXPECT_EQ (engine.getStatusText(), "Playing");
        EXPECT_EQ (engine.getLoadedSourceId(), "track:1");
        EXPECT_EQ (engine.getMixOverview().getNumBuckets(), 700);
        EXPECT_NEAR (engine.getSourceLength(), 2.0, 1e-9);
        EXPECT_NEAR (engine.getLoadedWindow().lengthSeconds, 2.0, 1e-9) << "read at the device's rate, not the asked 44.1 kHz";

        const auto heard = output->getNonSilentBlockCount();
        ASSERT_TRUE (pumpUntil ([&] { return output->getNonSilentBlockCount() > heard + 3; }));
        EXPECT_GT (engine.getPlayheadSeconds(), 0.0);
        EXPECT_GT (engine.getPlayheadFraction(), 0.0);

        // The same id again stops; the stop fades out and then nothing plays.
        engine.toggle (paths, 48000.0, "Tone", "track:1", 0.0, -1.0);
        EXPECT_TRUE (engine.getRequestedSourceId().isEmpty());
        EXPECT_TRUE (engine.getStatusText().isEmpty());
        EXPECT_TRUE (engine.getLoadedSourceId().isEmpty());
        ASSERT_TRUE (pumpUntil ([&] { return ! engine.isPlaying(); }));
        EXPECT_FALSE (engine.isActiveFor ("track:1"));

        // After a natural end the id stays active; a toggle only stops, the next one plays again.
        engine.play (paths, 48000.0, "Tone", "track:1", 0.0, 1.9);
        ASSERT_TRUE (waitUntilLoaded (engine));
        ASSERT_TRUE (pumpUntil ([&] { return ! engine.isPlaying(); }));
        EXPECT_TRUE (engine.isActiveFor ("track:1"));
        engine.toggle (paths, 48000.0, "Tone", "track:1", 0.0, -1.0);
        EXPECT_FALSE (engine.isActiveFor ("track:1"));
        EXPECT_FALSE (engine.isLoading());
        engine.toggle (paths, 48000.0, "Tone", "track:1", 0.0, -1.0);
        EXPECT_TRUE (engine.isLoading());
        ASSERT_TRUE (waitUntilLoaded (engine));
        EXPECT_TRUE (engine.isPlaying());

        // Idle clean-up frees the buffer once nothing is requested.
        engine.stop();
        ASSERT_TRUE (pumpUntil ([&] { return engine.getPlayheadFraction() < 0.0; }));
        EXPECT_EQ (engine.getSourceLength(), 0.0);
        EXPECT_TRUE (engine.getMixOverview().isEmpty());
    }

    // A load that finishes after a newer request must never sound, nor appear under the newer id.
    TEST (PreviewEngine, ALateLoadNeverPlaysUnderTheNextId)
    {
        TemporaryFolder temp;
        const auto loudA = writeTone (temp, "a.wav", 1.0, { 0.9f });
        const auto quietB = writeTone (temp, "b.wav", 1.0, { 0.2f });
        auto output = makeOutput();
        std::atomic<float> loudest { 0.0f };
        output->setBlockObserver ([&] (const juce::AudioBuffer<float>& block, juce::int64) {
            loudest = std::max (loudest.load(), block.getMagnitude (0, block.getNumSamples()));
        });

        GatedReader gate;
        ui::PreviewEngine::Options options;
        options.readRange = gate.reader();
        ui::PreviewEngine engine (output->createType(), options);

        gate.hold (loudA);
        engine.play (Files { loudA }, 48000.0, "A", "track:a", 0.0, 0.0);
        ASSERT_TRUE (gate.waitUntilEntered());

        // A's read is under way; B is asked for before it ends.
        engine.play (Files { quietB }, 48000.0, "B", "track:b", 0.0, 0.0);
        gate.release();

        bool sawWrongState = false;
        ASSERT_TRUE (pumpUntil ([&] {
            const auto loaded = engine.getLoadedSourceId();
            sawWrongState |= loaded == "track:a" || (! engine.isLoading() && loaded != "track:b");
            return loaded == "track:b";
        }));

        EXPECT_FALSE (sawWrongState) << "loading stays true, and no A, until B arrives";
        EXPECT_EQ (engine.getRequestedSourceId(), "track:b");
        EXPECT_NEAR (engine.getMixOverview().peak, 0.2f, 0.01f);
        output->waitForBlocks (output->getBlockCount() + 20);
        EXPECT_LT (loudest.load(), 0.25f) << "A's audio was heard";
        output->setBlockObserver (nullptr);
    }

    // A read stuck far longer than any fixed wait never gets its thread killed; the next request
    // is served once it returns, and a stop in between means nothing plays.
    TEST (PreviewEngine, AStuckReadIsWaitedForNotKilled)
    {
        TemporaryFolder temp;
        const auto stuck = writeTone (temp, "stuck.wav", 1.0, { 0.9f });
        // Long enough to still be playing when a slow machine gets round to looking.
        const auto next = writeTone (temp, "next.wav", 30.0, { 0.3f });

        ui::PreviewEngine::Options options;
        options.readRange = [&stuck] (const juce::File& file, double start, double duration, juce::AudioBuffer<double>& buffer, juce::String& error) {
            if (file == stuck)
                juce::Thread::sleep (2500);

            return readAudioFileRange (file, 0.0, start, duration, buffer, error);
        };

        auto output = makeOutput();
        ui::PreviewEngine engine (output->createType(), options);

        engine.play (Files { stuck }, 48000.0, "Stuck", "track:stuck", 0.0, 0.0);
        pumpMessages (100);
        engine.play (Files { next }, 48000.0, "Next", "track:next", 0.0, 0.0);
        EXPECT_TRUE (engine.isLoading()) << "play returns at once";

        ASSERT_TRUE (pumpUntil ([&] { return engine.getLoadedSourceId() == "track:next"; }, 20000));
        EXPECT_TRUE (engine.isPlaying());
        EXPECT_NEAR (engine.getMixOverview().peak, 0.3f, 0.01f);

        engine.play (Files { stuck }, 48000.0, "Stuck", "track:stuck", 0.0, 0.0);
        pumpMessages (100);
        engine.stop();
        pumpMessages (3000);
        EXPECT_FALSE (engine.isPlaying());
        EXPECT_TRUE (engine.getLoadedSourceId().isEmpty());
    }

    // stop() used to write the fade counters while the callback stored "remaining - count": a
    // lost update cancelled the fade and the audition played on after Stop.
    TEST (PreviewEngine, StopEndsPlaybackWithinTwoBlocksAgainstABusyDevice)
    {
        TemporaryFolder temp;
        const auto file = writeTone (temp, "long.wav", 300.0, { 0.5f }, 8000.0, 0.0, 16);
        auto output = makeOutput (Pacing::flatOut, 8000.0);
        ui::PreviewEngine engine (output->createType());

        // Each round has its own record; the device's observer finds the current one (none
        // between rounds), so a late observer call never counts into the next round.
        struct Round
        {
            std::atomic<bool> stopped { false };
            std::atomic<int> audibleBlocksAfterStop { 0 };
        };

        std::vector<std::unique_ptr<Round>> rounds;
        std::atomic<Round*> current { nullptr };
        output->setBlockObserver ([&] (const juce::AudioBuffer<float>& block, juce::int64) {
            auto* round = current.load();

            if (round != nullptr && round->stopped.load() && block.getMagnitude (0, block.getNumSamples()) > 0.0f)
                ++round->audibleBlocksAfterStop;
        });

        for (int attempt = 0; attempt < 40; ++attempt)
        {
            current = nullptr;
            engine.play (Files { file }, 8000.0, "Long", "track:long", 0.0, 0.0);
            ASSERT_TRUE (waitUntilLoaded (engine));

            auto& round = *rounds.emplace_back (std::make_unique<Round>());
            current = &round;

            if (! engine.isPlaying())
                continue; // played to its end before the stop: nothing to learn from this round

            // Counted from the moment stop() has returned: while it holds the buffer's lock the
            // device plays silence, and a busy machine may hold the message thread there a while.
            engine.stop();
            round.stopped = true;
            ASSERT_TRUE (pumpUntil ([&] { return ! engine.isPlaying(); }));
            ASSERT_TRUE (output->waitForBlocks (output->getBlockCount() + 20));

            // The block playing while stop() returned, and the one that fades out; then silence.
            EXPECT_LE (round.audibleBlocksAfterStop.load(), 2) << "round " << attempt;
        }

        current = nullptr;
        output->setBlockObserver (nullptr);
        EXPECT_GT (std::count_if (rounds.begin(), rounds.end(), [] (const auto& r) { return r->stopped.load(); }), 20);
    }

    // The sum of a mono, a stereo and a resampled file equals the plain sum in file order, to the
    // sample, though the files are read in parallel in segments; only clipping sums are scaled.
    TEST (PreviewEngine, SumsFilesExactlyAsAPlainLoopWouldAndNormalisesOnlyClipping)
    {
        TemporaryFolder temp;
        const Files quiet {
            writeTone (temp, "mono.wav", 3.0, { 0.3f }),
            writeTone (temp, "stereo.wav", 2.5, { 0.2f, 0.35f }),
            writeTone (temp, "other-rate.wav", 2.0, { 0.25f, 0.1f }, 44100.0),
        };
        const Files loud { writeTone (temp, "loud1.wav", 1.0, { 0.99f, 0.99f }), temp.file ("loud1.wav") };
        const Files half { writeTone (temp, "half.wav", 1.0, { 0.5f }) };

        struct Case
        {
            const char* name;
            Files files;
            float peak;
        };

        const Case cases[] = {
            { "mono, stereo and resampled", quiet, -1.0f },
            { "two identical near-full-scale files", loud, 1.0f },
            { "one file at half scale", half, 0.5f },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.name);
            auto output = makeOutput (Pacing::manual);
            ui::PreviewEngine::Options options;
            options.readFrames = 10007; // segments and stripes that share no boundary
            options.maxReadThreads = 4;
            ui::PreviewEngine engine (output->createType(), options);

            engine.play (c.files, 48000.0, "Mix", "mix:1", 0.0, 0.0);
            ASSERT_TRUE (waitUntilLoaded (engine));
            ASSERT_EQ (engine.getStatusText(), "Playing");

            const auto reference = plainSequentialSum (c.files, 48000.0, 0.0, 300.0);
            const int frames = reference.getNumSamples();
            EXPECT_NEAR (engine.getLoadedWindow().lengthSeconds, frames / 48000.0, 1e-9);

            if (c.peak > 0.0f)
            {
                EXPECT_NEAR (engine.getMixOverview().peak, c.peak, 1e-6f);
            }

            Recorder recorder (*output);
            output->renderBlocks (frames / 512 + 2);
            ASSERT_GE (recorder.recorded.getNumSamples(), frames);

            EXPECT_EQ (countMismatches (recorder.recorded, reference, engine.fadeLengthFor (0.002)), 0);
            EXPECT_FALSE (engine.isPlaying()) << "ends by itself at the end of the window";
        }
    }

    // A file that fails after some of it was read leaves nothing of itself in the mix, and the
    // others are summed as if it had never been asked for.
    TEST (PreviewEngine, AFileFailingHalfwayLeavesTheOthersExact)
    {
        TemporaryFolder temp;
        const auto a = writeTone (temp, "a.wav", 2.0, { 0.3f, 0.2f });
        const auto b = writeTone (temp, "b.wav", 3.0, { 0.4f });
        const auto c = writeTone (temp, "c.wav", 1.5, { 0.1f, 0.3f });

        ui::PreviewEngine::Options options;
        options.readFrames = 20011;
        options.readRange = [&b] (const juce::File& file, double start, double duration, juce::AudioBuffer<double>& buffer, juce::String& error) {
            if (file == b && start > 1.0)
            {
                error = "The disk went away.";
                return false;
            }

            return readAudioFileRange (file, 0.0, start, duration, buffer, error);
        };

        auto output = makeOutput (Pacing::manual);
        ui::PreviewEngine engine (output->createType(), options);
        engine.play (Files { a, b, c }, 48000.0, "Mix", "mix:1", 0.0, 0.0);
        ASSERT_TRUE (waitUntilLoaded (engine));
        EXPECT_EQ (engine.getStatusText(), "Playing (2 file(s); b.wav: The disk went away.)");

        const auto reference = plainSequentialSum ({ a, c }, 48000.0, 0.0, 300.0);
        ASSERT_NEAR (engine.getLoadedWindow().lengthSeconds, 2.0, 1e-9) << "no silent tail where b would have been";

        Recorder recorder (*output);
        output->renderBlocks (reference.getNumSamples() / 512 + 1);
        EXPECT_EQ (countMismatches (recorder.recorded, reference, engine.fadeLengthFor (0.002)), 0);
    }

    TEST (PreviewEngine, StatusAndWindowOfEachKindOfLoad)
    {
        TemporaryFolder temp;
        const auto long10 = writeTone (temp, "long.wav", 10.0, { 0.3f });
        const auto short2 = writeTone (temp, "short.wav", 2.0, { 0.3f });
        const auto lateStart = writeTone (temp, "late.wav", 6.0, { 0.4f }, 48000.0, 3.0);
        const auto broken = temp.make ("broken.wav", "not audio");
        AudioFileInfo info;
        juce::String brokenReason;
        ASSERT_FALSE (probeAudioFile (broken, info, brokenReason));

        struct Case
        {
            const char* name;
            Files files;
            double start;
            double playFrom;
            juce::String status;
            double windowStart;
            double playhead; // seconds, -1: not checked
        };

        const Case cases[] = {
            { "a file that ends before the window is skipped without a word", { long10, short2 }, 5.0, -1.0, "Playing", 5.0, 5.0 },
            { "a start past the longest file's end", { short2 }, 99.0, -1.0, "Playing", 1.95, 1.95 },
            { "some files fail", { long10, broken, short2 }, 0.0, 0.0, "Playing (2 file(s); broken.wav: " + brokenReason + ")", 0.0, 0.0 },
            { "every file fails", { broken }, 0.0, 0.0, "Nothing to play.", 0.0, -1.0 },
            { "first sound after three silent seconds", { lateStart }, 0.0, -2.0, "Playing", 0.0, 2.95 },
            { "first sound of a file loud from the start", { long10 }, 4.0, -2.0, "Playing", 4.0, 4.0 },
            { "play from inside the window", { long10 }, 2.0, 3.5, "Playing", 2.0, 3.5 },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.name);
            auto output = makeOutput (Pacing::manual);
            ui::PreviewEngine engine (output->createType());

            engine.play (c.files, 48000.0, "Case", "track:case", c.start, c.playFrom);
            ASSERT_TRUE (waitUntilLoaded (engine));
            EXPECT_EQ (engine.getStatusText(), c.status);

            if (c.playhead < 0.0)
            {
                EXPECT_FALSE (engine.isPlaying());
                EXPECT_TRUE (engine.getLoadedSourceId().isEmpty());
                continue;
            }

            EXPECT_EQ (engine.getLoadedSourceId(), "track:case");
            EXPECT_NEAR (engine.getLoadedWindow().startSeconds, c.windowStart, 1e-9);
            EXPECT_NEAR (engine.getPlayheadSeconds(), c.playhead, engine.getLoadedWindow().lengthSeconds / 700.0 + 1e-6);
        }
    }

    TEST (PreviewEngine, SeeksWithinTheWindowOrReloadsOneStartingBeforeTheTarget)
    {
        TemporaryFolder temp;
        // Twenty minutes at 8 kHz (a small file), played on a device running at 8 kHz.
        const auto file = writeTone (temp, "twenty-minutes.wav", 1200.0, { 0.3f }, 8000.0, 0.0, 16);
        auto output = makeOutput (Pacing::manual, 8000.0);
        ui::PreviewEngine engine (output->createType());

        engine.play (Files { file }, 8000.0, "Long", "track:long", 0.0, 0.0);
        ASSERT_TRUE (waitUntilLoaded (engine));
        EXPECT_NEAR (engine.getLoadedWindow().lengthSeconds, 300.0, 1e-9);
        EXPECT_NEAR (engine.getLoadedWindow().sourceLengthSeconds, 1200.0, 1e-9);

        // Inside the window: no load, a crossfaded jump while playing.
        engine.seekToFraction (0.1);
        EXPECT_FALSE (engine.isLoading());
        output->renderBlocks (2);
        EXPECT_NEAR (engine.getPlayheadSeconds(), 120.0, 0.2);

        engine.seekWithinWindow (0.5);
        output->renderBlocks (1);
        EXPECT_NEAR (engine.getWindowPosition(), 0.5, 0.01);

        // Outside it: a window from 75 s before the target, still playing, at the target.
        engine.seekToFraction (0.9);
        EXPECT_TRUE (engine.isLoading());
        EXPECT_EQ (engine.getRequestedSourceId(), "track:long");
        ASSERT_TRUE (waitUntilLoaded (engine));
        EXPECT_NEAR (engine.getLoadedWindow().startSeconds, 1005.0, 1e-9);
        EXPECT_NEAR (engine.getPlayheadSeconds(), 1080.0, 1e-3);
        EXPECT_TRUE (engine.isPlaying());
        EXPECT_EQ (engine.getStatusText(), "Playing");

        // After a natural end the audition stays loaded; a seek outside it then only prepares.
        engine.play (Files { file }, 8000.0, "Long", "track:long", 1195.0, 0.0);
        ASSERT_TRUE (waitUntilLoaded (engine));
        output->renderBlocks (90);
        ASSERT_FALSE (engine.isPlaying());
        EXPECT_TRUE (engine.isActiveFor ("track:long"));

        engine.seekToFraction (0.1);
        EXPECT_TRUE (engine.isLoading());
        ASSERT_TRUE (waitUntilLoaded (engine));
        EXPECT_EQ (engine.getStatusText(), "Ready");
        EXPECT_FALSE (engine.isPlaying());
        EXPECT_NEAR (engine.getLoadedWindow().startSeconds, 45.0, 1e-9);
        EXPECT_NEAR (engine.getPlayheadSeconds(), 120.0, 1e-3);
    }

    // A click in the waveform while the audio was still loading used to be lost: the load did
    // not know the seek and started from where it was asked to.
    TEST (PreviewEngine, ASeekDuringALoadIsWherePlaybackStarts)
    {
        TemporaryFolder temp;

        struct Case
        {
            const char* what;
            double seconds;
            double seekFraction;
            double windowStart;
            double playhead;
        };

        const Case cases[] = {
            { "inside the window being read", 20.0, 0.8, 0.0, 16.0 },
            { "beyond it: a window of its own", 1200.0, 0.9, 1005.0, 1080.0 },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.what);
            const auto file = writeTone (temp, juce::String (c.seconds) + ".wav", c.seconds, { 0.3f }, 8000.0, 0.0, 16);
            auto output = makeOutput (Pacing::manual, 8000.0);
            GatedReader gate;
            ui::PreviewEngine::Options options;
            options.readRange = gate.reader();
            ui::PreviewEngine engine (output->createType(), options);

            gate.hold (file);
            engine.play (Files { file }, 8000.0, "Tone", "track:1", 0.0, 0.0);
            ASSERT_TRUE (gate.waitUntilEntered());

            // The read is stalled: two clicks, the last one wins.
            engine.seekToFraction (0.25);
            engine.seekToFraction (c.seekFraction);
            EXPECT_TRUE (engine.isLoading());
            gate.release();

            ASSERT_TRUE (waitUntilLoaded (engine));
            EXPECT_TRUE (engine.isPlaying());
            EXPECT_NEAR (engine.getLoadedWindow().startSeconds, c.windowStart, 1e-9);
            EXPECT_NEAR (engine.getPlayheadSeconds(), c.playhead, 1e-3);
        }
    }

    TEST (PreviewEngine, FadeLengthsFollowTheDeviceRate)
    {
        struct Case
        {
            double rate;
            int fade;
            int crossfade;
        };

        for (const auto& c : { Case { 44100.0, 88, 264 }, Case { 48000.0, 96, 288 }, Case { 8000.0, 16, 48 } })
        {
            auto output = makeOutput (Pacing::manual, c.rate);
            ui::PreviewEngine engine (output->createType());
            EXPECT_EQ (engine.fadeLengthFor (0.002), c.fade) << c.rate;
            EXPECT_EQ (engine.fadeLengthFor (0.006), c.crossfade) << c.rate;
        }

        ui::PreviewEngine noDevice (nullptr);
        EXPECT_EQ (noDevice.fadeLengthFor (0.002), 96) << "48 kHz while the rate is unknown";
        EXPECT_EQ (noDevice.fadeLengthFor (1.0), 8192);
        EXPECT_EQ (noDevice.fadeLengthFor (0.0), 8);
    }

    // A 64-channel file would need 64 channels of window; only what the device plays is kept.
    TEST (PreviewEngine, AWideFilePlaysItsFirstChannelsAndAMonoFileEveryChannel)
    {
        TemporaryFolder temp;
        const auto wide = writeTone (temp, "wide.wav", 0.5, { 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f });
        const auto mono = writeTone (temp, "mono.wav", 0.5, { 0.3f });

        for (const auto& file : { wide, mono })
        {
            SCOPED_TRACE (file.getFileName());
            auto output = makeOutput (Pacing::manual);
            ui::PreviewEngine engine (output->createType());
            engine.play (Files { file }, 48000.0, "File", "track:file", 0.0, 0.0);
            ASSERT_TRUE (waitUntilLoaded (engine));

            Recorder recorder (*output);
            output->renderBlocks (40);
            juce::AudioBuffer<double> expected;
            juce::String error;
            ASSERT_TRUE (readAudioFileRange (file, 48000.0, 0.0, 300.0, expected, error));

            for (int ch = 0; ch < 2; ++ch)
            {
                const int source = std::min (ch, expected.getNumChannels() - 1);
                EXPECT_EQ (recorder.recorded.getSample (ch, 1000), (float) expected.getSample (source, 1000)) << "channel " << ch;
            }
        }
    }

    // The pages poll the playhead and window at 60 Hz: those reads must not take the lock the
    // audio callback tries, or a block falls silent.
    TEST (PreviewEngine, PollingThePlayheadNeverSilencesABlock)
    {
        TemporaryFolder temp;
        const auto file = writeTone (temp, "tone.wav", 300.0, { 0.3f }, 8000.0, 0.0, 16);
        FakeAudioOutput::Settings settings;
        settings.sampleRate = 8000.0;
        settings.blockPeriodMs = 0.2; // 2000 blocks in less than half a second
        auto output = std::make_shared<FakeAudioOutput> (settings);
        ui::PreviewEngine engine (output->createType());
        engine.play (Files { file }, 8000.0, "Tone", "track:1", 0.0, 0.0);
        ASSERT_TRUE (waitUntilLoaded (engine));

        const auto firstBlock = output->getBlockCount();
        double sum = 0.0;

        while (output->getBlockCount() < firstBlock + 2000)
        {
            const auto window = engine.getLoadedWindow();
            sum += engine.getPlayheadSeconds() + engine.getPlayheadFraction() + engine.getWindowPosition()
                   + window.startSeconds + window.lengthSeconds + engine.getSourceLength();
        }

        EXPECT_TRUE (engine.isPlaying());
        EXPECT_GT (sum, 0.0);
        EXPECT_EQ (engine.getSkippedBlockCount(), 0u);
    }

    // Destroying the engine mid-load stops the load at its next read: the rest is never read.
    TEST (PreviewEngine, DestructionDuringALoadStopsAtTheNextRead)
    {
        TemporaryFolder temp;
        const auto file = writeTone (temp, "tone.wav", 20.0, { 0.3f }, 8000.0, 0.0, 16);
        std::atomic<int> reads { 0 };
        std::atomic<bool> destroying { false };
        std::atomic<int> readsAfterDestruction { 0 };

        ui::PreviewEngine::Options options;
        options.readFrames = 1000; // 160 reads for the whole file
        options.maxReadThreads = 2;
        options.readRange = [&] (const juce::File& f, double start, double duration, juce::AudioBuffer<double>& buffer, juce::String& error) {
            ++reads;

            if (destroying.load())
                ++readsAfterDestruction;

            juce::Thread::sleep (20);
            return readAudioFileRange (f, 0.0, start, duration, buffer, error);
        };

        auto output = makeOutput (Pacing::manual, 8000.0);
        {
            ui::PreviewEngine engine (output->createType(), options);
            engine.play (Files { file }, 8000.0, "Tone", "track:1", 0.0, 0.0);
            ASSERT_TRUE (pumpUntil ([&] { return reads.load() >= 4; }));
            destroying = true;
        }

        EXPECT_LT (reads.load(), 40);
        EXPECT_LE (readsAfterDestruction.load(), 2) << "at most the reads already in flight";
    }
} // namespace
} // namespace dunmoor::testing
