#include <functional>

#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "core/audio/LeadingSilence.h"
#include "core/audio/SilenceGate.h"
#include "core/render/CueRender.h"

namespace dunmoor
{
namespace
{
    using namespace dunmoor::testing;

    constexpr double rate = 48000.0;

    // The stems are written in windows of 8 blocks of 32768 frames; the cases put what could go
    // wrong at a window's edge right across one.
    constexpr int windowEdge = 8 * 32768;
    constexpr int cueFrames = 12 * 48000;

    CueReport render (const RenderRequest& request, int workers)
    {
        CueRenderContext context (request, {}, {});
        context.workerThreads = workers;
        return renderCue (context);
    }

    /** A tone of the amplitude, pulled down to quietLevel over the quiet ranges. */
    juce::File writeToneWithQuietStretches (const juce::File& file, int frames, double sampleRate, double frequency,
                                            std::vector<FrameRange> quiet, double quietLevel = 1.0e-4)
    {
        return writeTrack (file, 2, frames, sampleRate, [=] (int ch, int i)
                           {
                               const auto level = std::any_of (quiet.begin(), quiet.end(), [i] (auto r) { return i >= r.start && i < r.end; })
                                                ? quietLevel : 0.3;
                               return (float) (level * std::sin (2.0 * juce::MathConstants<double>::pi * frequency * i / sampleRate + 0.3 * ch));
                           });
    }

    /** The stem as whole buffers make it: every track read whole at the project rate and gated,
        the first copied and the others added, the head cut with its fade-in, the gain applied. */
    juce::AudioBuffer<double> wholeStem (const RenderRequest& request, const StemPlan& plan, const CueReport& report)
    {
        juce::AudioBuffer<double> stem (request.numChannels, (int) request.lengthInFrames);
        stem.clear();

        for (size_t t = 0; t < plan.tracks.size(); ++t)
        {
            juce::AudioBuffer<double> track;
            juce::String error;

            if (! readAudioFile (plan.tracks[t], request.sampleRate, track, error))
                return {};

            (void) applySilenceGate (track, request.sampleRate, request.preset.exportSettings.silenceGate);
            const auto frames = std::min (track.getNumSamples(), stem.getNumSamples());

            for (int ch = 0; ch < stem.getNumChannels(); ++ch)
            {
                const auto* source = track.getReadPointer (track.getNumChannels() == 1 ? 0 : ch);
                auto* destination = stem.getWritePointer (ch);

                for (int i = 0; i < frames; ++i)
                    destination[i] = t == 0 ? source[i] : destination[i] + source[i];
            }
        }

        trimLeadingSilence (stem, std::llround (report.appliedCutSeconds * request.sampleRate), request.sampleRate);

        for (int ch = 0; ch < stem.getNumChannels(); ++ch)
            for (int i = 0; i < stem.getNumSamples(); ++i)
                stem.getWritePointer (ch)[i] *= report.gain.gainLinear;

        return stem;
    }

    struct WindowCase
    {
        const char* name;
        std::function<std::vector<std::vector<juce::File>> (const TemporaryFolder&, RenderRequest&)> setUp;
    };
} // namespace

// Each stem file, written a window at a time, holds exactly the samples of the whole-buffer
// computation, with the windows' edges where a window could go wrong.
TEST (WindowedStemsTest, StemsMatchTheWholeBufferComputationAcrossWindowEdges)
{
    const WindowCase cases[] = {
        { "a gate fade across a window's edge",
          [] (const TemporaryFolder& temp, RenderRequest& request)
          {
              auto& gate = request.preset.exportSettings.silenceGate;
              gate.enabled = true;
              gate.thresholdDb = -60.0;
              gate.minimumSeconds = 0.5;
              gate.fadeOutSeconds = 0.1;
              gate.fadeInSeconds = 0.1;

              // The fade-out of the first quiet stretch and the fade-in of the second straddle
              // the first and the second window edge.
              const FrameRange first { windowEdge - 2400, windowEdge + 40000 };
              const FrameRange second { 2 * windowEdge - 44000, 2 * windowEdge + 1200 };
              return std::vector<std::vector<juce::File>> {
                  { writeToneWithQuietStretches (temp.file ("in/gated.wav"), cueFrames, rate, 220.0, { first, second }) }
              };
          } },
        { "a head cut longer than a window",
          [] (const TemporaryFolder& temp, RenderRequest& request)
          {
              request.headTrimSeconds = 5.7;
              return std::vector<std::vector<juce::File>> {
                  { writeTone (temp.file ("in/late.wav"), 2, cueFrames, rate, 330.0, 0.4, (int) (5.5 * rate)) },
                  { writeTone (temp.file ("in/later.wav"), 1, cueFrames, rate, 90.0, 0.2, (int) (5.6 * rate)) }
              };
          } },
        { "a converted track across the converter's steps",
          [] (const TemporaryFolder& temp, RenderRequest& request)
          {
              // A short cut moves the windows off the steps a whole read converts in.
              request.headTrimSeconds = 0.5;
              return std::vector<std::vector<juce::File>> {
                  { writeTone (temp.file ("in/harp.wav"), 2, 12 * 44100, 44100.0, 523.0, 0.3),
                    writeTone (temp.file ("in/pad.wav"), 2, cueFrames, rate, 131.0, 0.2) }
              };
          } },
        { "tracks ending inside a window of a longer cue",
          [] (const TemporaryFolder& temp, RenderRequest&)
          {
              const auto shortTrack = writeTone (temp.file ("in/sting.wav"), 2, windowEdge + 70001, rate, 440.0, 0.3);
              const auto monoShort = writeTone (temp.file ("in/hit.wav"), 1, 2 * windowEdge - 5, rate, 60.0, 0.5);
              const auto full = writeTone (temp.file ("in/bed.wav"), 2, cueFrames, rate, 110.0, 0.2);
              return std::vector<std::vector<juce::File>> { { shortTrack, full }, { full, monoShort } };
          } },
    };

    for (const auto& windowCase : cases)
    {
        for (int workers : { 0, -1 })
        {
            SCOPED_TRACE (juce::String (windowCase.name) + (workers == 0 ? ", render thread only" : ", worker threads"));
            TemporaryFolder temp;
            auto preset = makeRenderPreset ({ "Strings", "Bass" });
            preset.exportSettings.formats.front().sampleFormat = SampleFormat::float32;
            preset.exportSettings.formats.front().dither = DitherKind::none;

            RenderRequest settings;
            settings.preset = preset;
            const auto tracks = windowCase.setUp (temp, settings);

            auto request = makeRequest (settings.preset, temp.file ("out"), tracks);
            request.headTrimSeconds = settings.headTrimSeconds;
            ASSERT_GE (request.lengthInFrames, cueFrames);

            const auto report = render (request, workers);
            ASSERT_TRUE (report.ok) << report.errors.joinIntoString (" | ");

            if (request.headTrimSeconds > 0.0)
            {
                ASSERT_GT (report.appliedCutSeconds, 0.0);
            }

            for (size_t s = 0; s < tracks.size(); ++s)
            {
                const auto expected = wholeStem (request, request.stems[s], report);
                const auto written = readBack (report.files[s].file);
                ASSERT_EQ (written.getNumSamples(), expected.getNumSamples()) << report.files[s].file.getFileName();
                ASSERT_EQ (written.getNumChannels(), expected.getNumChannels());

                int mismatches = 0;
                int firstMismatch = -1;

                for (int ch = 0; ch < expected.getNumChannels(); ++ch)
                {
                    for (int i = 0; i < expected.getNumSamples(); ++i)
                    {
                        if (written.getSample (ch, i) != (double) (float) expected.getSample (ch, i))
                        {
                            firstMismatch = firstMismatch < 0 ? i : firstMismatch;
                            ++mismatches;
                        }
                    }
                }

                EXPECT_EQ (mismatches, 0) << report.files[s].file.getFileName() << ", first at frame " << firstMismatch;
            }
        }
    }
}

// The same cue written a window at a time and, with a second format at another rate, as whole
// stems: the first format's files (stems, mix and alternative mixes, dithered) are the same
// bytes, and the reports say the same. Without a head cut the mix, too, is summed, measured and
// written a window at a time (never whole); with one it is summed whole.
TEST (WindowedStemsTest, WindowsAndWholeStemsWriteTheSameFiles)
{
    struct Case
    {
        const char* name;
        double headTrimSeconds;
        double fixedGainDb;     // 0: the gain is the cue's own; above 0 the mix clips, and its check fails
        PeakMode peakMode;
        bool submixesOnTheirOwn;    // the alternative mixes brought to the target on their own
    };

    const Case cases[] = {
        { "a head cut", 0.4, 0.0, PeakMode::truePeak, true },
        { "no head cut: the mix in windows", 0.0, 0.0, PeakMode::truePeak, true },
        { "alternative mixes at the cue's gain", 0.0, 0.0, PeakMode::truePeak, false },
        { "the gained mix past full scale", 0.0, 12.0, PeakMode::samplePeak, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        TemporaryFolder temp;
        auto preset = makeRenderPreset ({ "Strings", "Bass", "Brass" });
        auto& gate = preset.exportSettings.silenceGate;
        gate.enabled = true;
        gate.thresholdDb = -60.0;
        gate.minimumSeconds = 0.5;
        preset.exportSettings.headroom.peakMode = c.peakMode;
        preset.exportSettings.headroom.verifyLevelAfterGain = true;
        preset.exportSettings.headroom.submixesReachTargetIndependently = c.submixesOnTheirOwn;
        const auto instrumental = preset.schema.addAlternativeMix ("No Bass");
        ASSERT_TRUE (preset.schema.setAlternativeMixMember (instrumental, preset.schema.stems[1].id, false));
        const auto brassOnly = preset.schema.addAlternativeMix ("Brass Only");
        ASSERT_TRUE (preset.schema.setAlternativeMixMember (brassOnly, preset.schema.stems[0].id, false));
        ASSERT_TRUE (preset.schema.setAlternativeMixMember (brassOnly, preset.schema.stems[1].id, false));

        // Quiet stretches whose fades cross the edges of the summing and the writing windows, a
        // converted track, a mono track ending inside a window and a late entry.
        const std::vector<std::vector<juce::File>> tracks {
            { writeToneWithQuietStretches (temp.file ("in/gated.wav"), cueFrames, rate, 220.0,
                                           { { windowEdge - 2400, windowEdge + 40000 }, { windowEdge / 2 - 30000, windowEdge / 2 + 3000 } }),
              writeTone (temp.file ("in/harp.wav"), 2, 10 * 44100, 44100.0, 523.0, 0.3) },
            { writeTone (temp.file ("in/bass.wav"), 1, windowEdge + 70001, rate, 55.0, 0.4) },
            { writeTone (temp.file ("in/horns.wav"), 2, cueFrames, rate, 349.0, 0.2, 30000) },
        };

        auto windowed = makeRequest (preset, temp.file ("windowed"), tracks);
        windowed.headTrimSeconds = c.headTrimSeconds;
        windowed.useFixedGain = c.fixedGainDb != 0.0;
        windowed.fixedGainDb = c.fixedGainDb;

        auto whole = windowed;
        whole.outputFolder = temp.file ("whole");
        auto second = whole.preset.exportSettings.formats.front();
        second.sampleRate = 44100.0;
        second.subFolder = "44k";
        whole.preset.exportSettings.formats.push_back (second);

        for (int workers : { -1, 0 })
        {
            SCOPED_TRACE (workers == 0 ? "render thread only" : "worker threads");
            const auto a = render (windowed, workers);
            const auto b = render (whole, workers);
            ASSERT_EQ (a.ok, c.fixedGainDb == 0.0) << a.errors.joinIntoString (" | ");
            ASSERT_EQ (b.ok, a.ok) << b.errors.joinIntoString (" | ");
            EXPECT_EQ (a.errors.joinIntoString ("\n"), b.errors.joinIntoString ("\n"));

            juce::StringArray compared;

            for (const auto& file : a.files)
            {
                const auto other = whole.outputFolder.getChildFile (file.file.getRelativePathFrom (windowed.outputFolder));
                juce::MemoryBlock x, y;
                ASSERT_TRUE (file.file.loadFileAsData (x));
                ASSERT_TRUE (other.loadFileAsData (y)) << other.getFullPathName();
                EXPECT_TRUE (x == y) << file.file.getFileName();
                compared.add (file.file.getFileName());

                const auto& twin = *std::find_if (b.files.begin(), b.files.end(), [&] (const auto& f) { return f.file == other; });
                EXPECT_EQ (file.peakDb, twin.peakDb) << file.file.getFileName();
            }

            EXPECT_EQ (compared.size(), a.ok ? 6 : 0) << compared.joinIntoString (", ");

            // No hidden file is left in the output folder: no mix held until it was measured, no
            // staged file.
            for (const auto& file : windowed.outputFolder.findChildFiles (juce::File::findFilesAndDirectories, true, "*", juce::File::FollowSymlinks::no))
                EXPECT_FALSE (file.getFileName().startsWith (".")) << file.getRelativePathFrom (windowed.outputFolder);

            // What the reports say of the mix, the stems and the gated tracks.
            EXPECT_EQ (a.mixSamplePeak, b.mixSamplePeak);
            EXPECT_EQ (a.mixTruePeak, b.mixTruePeak);
            EXPECT_EQ (a.gain.gainLinear, b.gain.gainLinear);
            EXPECT_EQ (a.afterSamplePeak, b.afterSamplePeak);
            EXPECT_EQ (a.afterTruePeak, b.afterTruePeak);
            EXPECT_EQ (a.clipCount, b.clipCount);
            EXPECT_EQ (a.leadingSilenceSeconds, b.leadingSilenceSeconds);
            EXPECT_EQ (a.warnings.joinIntoString ("\n").replace (windowed.outputFolder.getFullPathName(), "out"),
                       b.warnings.joinIntoString ("\n").replace (whole.outputFolder.getFullPathName(), "out"));
            ASSERT_EQ (a.stems.size(), b.stems.size());

            for (size_t s = 0; s < a.stems.size(); ++s)
                EXPECT_EQ (a.stems[s].peakDb, b.stems[s].peakDb) << a.stems[s].name;

            ASSERT_EQ (a.gatedTracks.size(), b.gatedTracks.size());

            for (size_t t = 0; t < a.gatedTracks.size(); ++t)
            {
                const auto& x = a.gatedTracks[t];
                const auto& y = b.gatedTracks[t];
                EXPECT_EQ (x.regionCount, y.regionCount) << x.fileName;
                EXPECT_EQ (x.gatedSeconds, y.gatedSeconds) << x.fileName;
                EXPECT_EQ (x.overview.minimums, y.overview.minimums) << x.fileName;
                EXPECT_EQ (x.overview.maximums, y.overview.maximums) << x.fileName;
            }

            if (c.fixedGainDb > 0.0)
            {
                EXPECT_GT (a.clipCount, 0);
            }
        }
    }
}

} // namespace dunmoor
