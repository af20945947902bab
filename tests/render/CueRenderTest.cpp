#include <csignal>
#include <limits>

#include <unistd.h>

#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "audio/BufferLimit.h"
#include "core/audio/LevelMeter.h"
#include "core/render/CueRender.h"
#include "core/render/CueStaging.h"
#include "core/render/StagingRoom.h"
#include "core/render/TextReport.h"

namespace dunmoor
{
namespace
{
    using namespace dunmoor::testing;

    constexpr double rate = 48000.0;

    CueReport render (const RenderRequest& request, RenderCancelCheck cancel = {}, RenderProgressCallback progress = {}, int workers = -1)
    {
        CueRenderContext context (request, std::move (cancel), std::move (progress));
        context.workerThreads = workers;
        return renderCue (context);
    }

    const WrittenFile* findWritten (const CueReport& report, const juce::String& fileName)
    {
        for (const auto& f : report.files)
            if (f.file.getFileName() == fileName)
                return &f;

        return nullptr;
    }

    juce::String describe (const CueReport& report)
    {
        return "errors: " + report.errors.joinIntoString (" | ") + "\nwarnings: " + report.warnings.joinIntoString (" | ")
             + "\nreconstruction: " + report.reconstruction.detail;
    }

    /** Three stems with tracks (one of them two tracks, one mono), one empty stem. */
    struct SmallCue
    {
        SmallCue()
        {
            const int frames = 9600;
            drums = writeTone (temp.file ("in/kick.wav"), 2, frames, rate, 60.0, 0.5);
            bass = writeTone (temp.file ("in/bass.wav"), 1, frames, rate, 110.0, 0.4);
            strings1 = writeTone (temp.file ("in/violins.wav"), 2, frames, rate, 440.0, 0.2);
            strings2 = writeTone (temp.file ("in/celli.wav"), 2, frames / 2, rate, 220.0, 0.3);
            preset = makeRenderPreset ({ "Drums", "Bass", "Strings", "Choir" });
        }

        RenderRequest request() const
        {
            return makeRequest (preset, temp.file ("out"), { { drums }, { bass }, { strings1, strings2 }, {} });
        }

        TemporaryFolder temp;
        juce::File drums, bass, strings1, strings2;
        Preset preset;
    };
} // namespace

TEST (CueRenderTest, WritesStemsFullMixAndAlternativeMixWithLevelsAndAPassingCheck)
{
    SmallCue cue;
    const auto mixId = cue.preset.schema.addAlternativeMix ("Instrumental");
    ASSERT_TRUE (cue.preset.schema.setAlternativeMixMember (mixId, cue.preset.schema.stems[0].id, false));
    cue.preset.schema.findAlternativeMix (mixId)->shortCode = "INST";

    std::vector<std::pair<double, juce::String>> steps;
    const auto report = render (cue.request(), {}, [&] (double x, const juce::String& text, RenderJob::Phase) { steps.push_back ({ x, text }); });

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_FALSE (report.cancelled);

    const auto out = cue.temp.file ("out");
    EXPECT_EQ (listFilesBelow (out), juce::StringArray ({ "Proj_Cue1_Full Mix.wav",
                                                          "Proj_Cue1_Instrumental.wav",
                                                          "STEMS/Proj_Cue1_01_Drums.wav",
                                                          "STEMS/Proj_Cue1_02_Bass.wav",
                                                          "STEMS/Proj_Cue1_03_Strings.wav" }));

    ASSERT_EQ (report.files.size(), 5u);
    EXPECT_EQ (report.files[3].kind, WrittenFile::fullMixKind);
    EXPECT_EQ (report.files[4].kind, WrittenFile::alternativeMixKind);
    EXPECT_EQ (report.files[4].displayName, "Instrumental");
    EXPECT_TRUE (report.files[4].ownGain);
    EXPECT_EQ (report.files[0].settingsDescription, "WAV 24bit 48kHz 2ch");

    for (const auto& f : report.files)
    {
        EXPECT_EQ (f.fileSize, f.file.getSize());
        EXPECT_EQ (f.overview.getNumBuckets(), 1400);
    }

    // The mix and the alternative mix each peak at the target, read back from disk.
    for (const auto* name : { "Proj_Cue1_Full Mix.wav", "Proj_Cue1_Instrumental.wav" })
    {
        const auto audio = readBack (out.getChildFile (name));
        ASSERT_EQ (audio.getNumSamples(), 9600) << name;
        const auto peakDb = gainToDecibels (measureSamplePeak (audio));
        EXPECT_NEAR (peakDb, -3.0, 0.01) << name;
        EXPECT_NEAR (findWritten (report, name)->peakDb, -3.0, 1e-9) << name;
    }

    ASSERT_EQ (report.stems.size(), 4u);
    EXPECT_TRUE (report.stems[3].isEmpty);
    EXPECT_TRUE (report.stems[3].skipped);
    EXPECT_TRUE (report.stems[3].isDigitalSilence);
    EXPECT_NEAR (report.stems[0].peakDb, gainToDecibels (0.5), 1e-3);
    EXPECT_NEAR (report.stems[0].peakAfterDb, report.stems[0].peakDb + report.gain.gainDb, 1e-12);
    EXPECT_EQ (report.stems[2].trackCount, 2);
    EXPECT_NEAR (gainToDecibels (report.afterSamplePeak), -3.0, 1e-9);

    // A stem's files name it by id, since stem names may repeat and a mix may share one; the
    // mixes carry no stem.
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_FALSE (report.stems[i].id.isEmpty());
        EXPECT_EQ (report.files[i].stemId, report.stems[i].id) << report.files[i].file.getFileName();
    }

    EXPECT_TRUE (report.files[3].stemId.isEmpty());
    EXPECT_TRUE (report.files[4].stemId.isEmpty());

    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed) << report.reconstruction.detail;
    EXPECT_EQ (report.reconstruction.stemsCompared, 3);

    // Progress moves forward through the stages and ends "Finished.".
    ASSERT_FALSE (steps.empty());
    EXPECT_EQ (steps.front().second, "Summing Drums...");
    EXPECT_EQ (steps.back().second, "Finished.");
    EXPECT_EQ (steps.back().first, 1.0);

    for (size_t i = 1; i < steps.size(); ++i)
        EXPECT_GE (steps[i].first, steps[i - 1].first) << steps[i].second;

    const juce::StringArray expected { "Summing Drums...", "Summing Bass...", "Summing Strings...", "Summing Choir...",
                                       "Measuring the mix...", "Writing Drums...", "Writing Bass...", "Writing Strings...",
                                       "Writing Choir...", "Writing the full mix...", "Writing Instrumental...",
                                       "Verifying that the stems reconstruct the mix...", "Verification finished.", "Finished." };
    juce::StringArray seen;

    for (const auto& step : steps)
        seen.add (step.second);

    EXPECT_EQ (seen, expected);
}

TEST (CueRenderTest, OutputIsBitIdenticalBetweenRunsAndWithoutWorkerThreads)
{
    SmallCue cue;
    cue.preset.exportSettings.headroom.peakMode = PeakMode::truePeak;
    cue.preset.exportSettings.formats.front().dither = DitherKind::tpdfShaped;
    const auto mixId = cue.preset.schema.addAlternativeMix ("No Bass");
    ASSERT_TRUE (cue.preset.schema.setAlternativeMixMember (mixId, cue.preset.schema.stems[1].id, false));

    // A track at 44.1 kHz is converted, on worker threads channel by channel.
    const auto converted = writeTone (cue.temp.file ("in/harp.wav"), 2, 8820, 44100.0, 330.0, 0.3);
    auto request = cue.request();
    request.stems[2].tracks.push_back (converted);

    std::vector<juce::MemoryBlock> firstRun;

    for (int workers : { -1, 0, 3 })
    {
        cue.temp.file ("out").deleteRecursively();
        const auto report = render (request, {}, {}, workers);
        ASSERT_TRUE (report.ok) << describe (report);

        std::vector<juce::MemoryBlock> contents;

        for (const auto& f : report.files)
        {
            juce::MemoryBlock block;
            ASSERT_TRUE (f.file.loadFileAsData (block));
            contents.push_back (block);
        }

        if (firstRun.empty())
            firstRun = contents;
        else
            EXPECT_TRUE (contents == firstRun) << "workers " << workers;
    }
}

TEST (CueRenderTest, ReconstructionPassesForEveryBitDepthAndDither)
{
    SmallCue cue;

    for (auto format : { SampleFormat::pcm16, SampleFormat::pcm24, SampleFormat::float32 })
    {
        for (auto dither : { DitherKind::none, DitherKind::tpdf, DitherKind::tpdfShaped, DitherKind::tpdfContinuous, DitherKind::tpdfShapedContinuous })
        {
            auto preset = cue.preset;
            preset.exportSettings.formats.front().sampleFormat = format;
            preset.exportSettings.formats.front().dither = dither;

            const auto out = cue.temp.file ("out-" + sampleFormatToString (format) + "-" + ditherKindToString (dither));
            auto request = makeRequest (preset, out, { { cue.drums }, { cue.bass }, { cue.strings1, cue.strings2 } });
            const auto report = render (request);

            EXPECT_TRUE (report.ok) << describe (report);
            EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed)
                << sampleFormatToString (format) << " " << ditherKindToString (dither) << ": " << report.reconstruction.detail;
        }
    }
}

TEST (CueRenderTest, SixteenStemsAtSixteenBitWithoutDitherPassOverTenMillionFrames)
{
    TemporaryFolder temp;
    constexpr int frames = 10000000;
    juce::StringArray names;
    std::vector<std::vector<juce::File>> tracks;
    juce::AudioBuffer<float> audio (1, frames);
    ASSERT_TRUE (temp.file ("in").createDirectory());

    for (int s = 0; s < 16; ++s)
    {
        names.add (juce::String::charToString ((juce::juce_wchar) ('A' + s)) + " stem");

        // Noise-like content that is not on any quantisation grid.
        juce::Random random (1000 + s);

        for (int i = 0; i < frames; ++i)
            audio.setSample (0, i, (random.nextFloat() - 0.5f) * 0.08f);

        const auto file = temp.file ("in/stem" + juce::String (s + 1) + ".wav");
        ASSERT_TRUE (writeAudioFile (file, "wav", audio, rate, 32));
        tracks.push_back ({ file });
    }

    auto preset = makeRenderPreset (names);
    preset.exportSettings.formats.front().sampleFormat = SampleFormat::pcm16;
    preset.exportSettings.formats.front().dither = DitherKind::none;

    const auto report = render (makeRequest (preset, temp.file ("out"), tracks, 1));

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed) << report.reconstruction.detail;
    EXPECT_EQ (report.reconstruction.stemsCompared, 16);
    EXPECT_EQ (report.reconstruction.framesCompared, frames);
}

// The check took the largest bit depth of both entries while comparing the first entry's
// files, so 16-bit FLAC first and 24-bit WAV second failed good files.
TEST (CueRenderTest, CheckUsesTheBitDepthOfTheComparedEntry)
{
    SmallCue cue;
    auto& formats = cue.preset.exportSettings.formats;
    formats.front().codec = Codec::flac;
    formats.front().sampleFormat = SampleFormat::pcm16;
    formats.front().dither = DitherKind::tpdfShaped;
    formats.front().subFolder = "FLAC";
    OutputFormat wav;
    wav.sampleFormat = SampleFormat::pcm24;
    wav.subFolder = "WAV";
    formats.push_back (wav);

    const auto report = render (cue.request());

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed);
    EXPECT_NEAR (report.reconstruction.toleranceDb, reconstructionTolerance (16, 3, (int) DitherKind::tpdfShaped), 1e-9);
    EXPECT_EQ (report.files.size(), 8u);
    EXPECT_TRUE (cue.temp.file ("out/FLAC/STEMS/Proj_Cue1_01_Drums.flac").existsAsFile());
    EXPECT_TRUE (cue.temp.file ("out/WAV/STEMS/Proj_Cue1_01_Drums.wav").existsAsFile());
}

// A format's sub-folder chosen two levels down was refused by the settings check; the render
// writes into the nested folder it names.
TEST (CueRenderTest, WritesIntoANestedFormatSubFolder)
{
    SmallCue cue;
    cue.preset.exportSettings.formats.front().subFolder = "Masters/WAV";

    const auto report = render (cue.request());

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed);
    EXPECT_TRUE (cue.temp.file ("out/Masters/WAV/STEMS/Proj_Cue1_01_Drums.wav").existsAsFile());
    EXPECT_TRUE (cue.temp.file ("out/Masters/WAV/Proj_Cue1_Full Mix.wav").existsAsFile());
}

// Stems were picked for the check by display name, so two stems sharing one dropped out and
// a good delivery failed.
TEST (CueRenderTest, CheckKeysStemsByIdWhenDisplayNamesRepeat)
{
    SmallCue cue;
    cue.preset.schema.stems[2].displayName = "Bass";
    cue.preset.schema.stems[2].fileNameToken = "Bass-2";

    const auto report = render (cue.request());

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed);
    EXPECT_EQ (report.reconstruction.stemsCompared, 3);
}

TEST (CueRenderTest, MeasureOnlyFillsLevelsAndWritesNothing)
{
    SmallCue cue;
    cue.preset.exportSettings.silenceGate.enabled = true;
    auto request = cue.request();
    request.measureOnly = true;
    request.outputFolder = cue.temp.file ("never-created");

    const auto report = render (request);

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_FALSE (request.outputFolder.exists());
    EXPECT_TRUE (report.files.empty());
    EXPECT_EQ (report.reconstruction.state, ReconstructionState::notRun);
    EXPECT_TRUE (report.levelsMeasured);
    EXPECT_GT (report.mixSamplePeak, 0.0);
    EXPECT_NEAR (report.gain.predictedPeakDb, -3.0, 1e-9);
    EXPECT_EQ (report.stems.size(), 4u);
    EXPECT_EQ (report.gatedTracks.size(), 4u);
}

TEST (CueRenderTest, GatedTracksAreReportedAndSilentTracksWarned)
{
    TemporaryFolder temp;
    const int frames = 48000;
    // Half a second of tone, then half a second of near-silence.
    const auto tone = writeTrack (temp.file ("in/tone.wav"), 2, frames, rate, [] (int, int i)
                                  { return i < 24000 ? (float) (0.5 * std::sin (i * 0.05)) : 1.0e-6f; });
    const auto hiss = writeTrack (temp.file ("in/hiss.wav"), 1, frames, rate, [] (int, int i) { return (i & 1) ? 1.0e-6f : -1.0e-6f; });

    auto preset = makeRenderPreset ({ "Synth", "Noise" });
    auto& gate = preset.exportSettings.silenceGate;
    gate.enabled = true;
    gate.thresholdDb = -80.0;
    gate.minimumSeconds = 0.25;
    gate.fadeOutSeconds = 0.01;
    gate.fadeInSeconds = 0.01;

    const auto report = render (makeRequest (preset, temp.file ("out"), { { tone }, { hiss } }));

    ASSERT_TRUE (report.ok) << describe (report);
    ASSERT_EQ (report.gatedTracks.size(), 2u);

    const auto& first = report.gatedTracks[0];
    EXPECT_EQ (first.fileName, "tone.wav");
    EXPECT_EQ (first.sourceFile, tone.getFullPathName());
    EXPECT_EQ (first.stemName, "Synth");
    EXPECT_EQ (first.regionCount, 1);
    EXPECT_NEAR (first.gatedSeconds, 0.5, 1e-3);
    EXPECT_DOUBLE_EQ (first.lengthSeconds, 1.0);
    EXPECT_FALSE (first.wholeFileSilent);
    EXPECT_EQ (first.overview.getNumBuckets(), 3000);

    EXPECT_TRUE (report.gatedTracks[1].wholeFileSilent);
    EXPECT_TRUE (report.warnings.contains ("'hiss.wav' was below the silence threshold from start to finish and is now digital silence."));
    EXPECT_TRUE (report.warnings.contains ("Stem 'Noise' has tracks assigned but is digital silence."));
    EXPECT_TRUE (report.stems[1].isDigitalSilence);
    EXPECT_EQ (report.stems[1].peakDb, -400.0);
    EXPECT_EQ (report.stems[1].peakAfterDb, -400.0);
}

TEST (CueRenderTest, LeadingCutAppliesToEveryOutput)
{
    TemporaryFolder temp;
    const int frames = 48000;

    // Silence for a quarter second, then 100 Hz tones whose zero crossings fall between frames
    // 240k + 2 and 240k + 3: the crossing nearest to 0.5 s is 3 frames later, at 24,003.
    auto tone = [] (double amplitude)
    {
        return [amplitude] (int, int i)
        {
            return i < 12000 ? 0.0f : (float) (amplitude * std::sin (2.0 * juce::MathConstants<double>::pi * 100.0 * (i - 2.5) / rate));
        };
    };

    const auto a = writeTrack (temp.file ("in/a.wav"), 2, frames, rate, tone (0.5));
    const auto b = writeTrack (temp.file ("in/b.wav"), 1, frames, rate, tone (0.25));

    auto preset = makeRenderPreset ({ "A", "B", "C" });
    preset.exportSettings.formats.front().dither = DitherKind::none;
    preset.exportSettings.emptyStemPolicy = EmptyStemPolicy::exportSilence;
    auto request = makeRequest (preset, temp.file ("out"), { { a }, { b } });
    request.headTrimSeconds = 0.5;

    const auto report = render (request);

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_NEAR (report.leadingSilenceSeconds, 12000 / rate, 0.001);
    EXPECT_DOUBLE_EQ (report.appliedCutSeconds, 24003.0 / rate);
    EXPECT_EQ (report.lengthInFrames, frames - 24003);
    ASSERT_EQ (report.files.size(), 4u);

    for (const auto& f : report.files)
    {
        const auto audio = readBack (f.file);
        ASSERT_EQ (audio.getNumSamples(), frames - 24003) << f.file.getFileName();

        // The 5 ms fade-in starts from exactly 0 in every output.
        for (int ch = 0; ch < audio.getNumChannels(); ++ch)
            EXPECT_EQ (audio.getSample (ch, 0), 0.0) << f.file.getFileName();
    }

    // Stem A after the cut: the tone at frame 24,003 onwards, faded in over 240 frames.
    const auto stemA = readBack (report.files[0].file);
    const double gain = report.gain.gainLinear;
    const double expected = gain * 0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * 100.0 * (24003 + 400 - 2.5) / rate);
    EXPECT_NEAR (stemA.getSample (0, 400), expected, 1.0e-6);

    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed);
}

TEST (CueRenderTest, EmptyStemPoliciesAndNumbering)
{
    SmallCue cue;
    // Choir (empty) exports silence; a fifth stem, also empty, is skipped.
    cue.preset.schema.stems[3].hasEmptyPolicy = true;
    cue.preset.schema.stems[3].emptyPolicy = EmptyStemPolicy::exportSilence;
    Stem fx;
    fx.displayName = "FX";
    fx.shortCode = "FX";
    (void) cue.preset.schema.addStem (fx);

    const auto report = render (cue.request());

    ASSERT_TRUE (report.ok) << describe (report);
    const auto silent = cue.temp.file ("out/STEMS/Proj_Cue1_04_Choir.wav");
    ASSERT_TRUE (silent.existsAsFile());
    const auto audio = readBack (silent);
    EXPECT_EQ (audio.getNumSamples(), 9600);
    EXPECT_LE (measureSamplePeak (audio), std::ldexp (1.0, -22));   // dither only
    EXPECT_TRUE (report.stems[4].skipped);
    EXPECT_FALSE (report.stems[3].skipped);
    EXPECT_EQ (report.reconstruction.state, ReconstructionState::passed);

    // Under schema numbering the stems keep their index, gaps included.
    cue.preset.exportSettings.naming.numbering = NumberingMode::schemaIndex;
    cue.preset.schema.stems[1].hasEmptyPolicy = false;
    auto request = makeRequest (cue.preset, cue.temp.file ("out2"), { { cue.drums }, {}, { cue.bass } });
    ASSERT_TRUE (render (request).ok);
    EXPECT_TRUE (cue.temp.file ("out2/STEMS/Proj_Cue1_03_Strings.wav").existsAsFile());
    EXPECT_FALSE (cue.temp.file ("out2/STEMS/Proj_Cue1_02_Bass.wav").existsAsFile());
}

TEST (CueRenderTest, MixesFirstNumberingAndAMixOfOnlySkippedStems)
{
    SmallCue cue;
    auto& settings = cue.preset.exportSettings;
    settings.naming.numberMixesFirst = true;
    settings.naming.mixTemplate = "{stemIndex}_{stemName}";
    settings.naming.stemTemplate = "{stemIndex}_{stemName}";
    settings.fullMix.stemsSubFolder = {};
    auto& schema = cue.preset.schema;
    const auto onlyChoir = schema.addAlternativeMix ("Choir Only");
    const auto noDrums = schema.addAlternativeMix ("No Drums");

    for (const auto& stem : schema.stems)
    {
        (void) schema.setAlternativeMixMember (onlyChoir, stem.id, stem.displayName == "Choir");
        (void) schema.setAlternativeMixMember (noDrums, stem.id, stem.displayName != "Drums");
    }

    const auto report = render (cue.request());

    ASSERT_TRUE (report.ok) << describe (report);
    EXPECT_EQ (listFilesBelow (cue.temp.file ("out")),
               juce::StringArray ({ "01_Full Mix.wav", "02_No Drums.wav", "04_Drums.wav", "05_Bass.wav", "06_Strings.wav" }));
    EXPECT_TRUE (report.warnings.contains ("Alternative mix 'Choir Only' has no stems with audio in them and was not written."));
}

// The alternative mix is summed while its members are written; members listed out of schema
// order must still be added in list order, exactly as a sum made at the end would.
TEST (CueRenderTest, AlternativeMixMatchesTheSumOfItsWrittenMembers)
{
    SmallCue cue;
    cue.preset.exportSettings.formats.front().sampleFormat = SampleFormat::float32;
    cue.preset.exportSettings.headroom.submixesReachTargetIndependently = false;
    auto& schema = cue.preset.schema;
    const auto mixId = schema.addAlternativeMix ("Reversed");
    auto* mix = schema.findAlternativeMix (mixId);
    mix->stemIds = { schema.stems[2].id, schema.stems[0].id, schema.stems[1].id };

    const auto report = render (cue.request());
    ASSERT_TRUE (report.ok) << describe (report);

    juce::AudioBuffer<double> expected (2, 9600);
    expected.clear();

    for (const auto* name : { "STEMS/Proj_Cue1_03_Strings.wav", "STEMS/Proj_Cue1_01_Drums.wav", "STEMS/Proj_Cue1_02_Bass.wav" })
    {
        const auto stem = readBack (cue.temp.file ("out").getChildFile (name));
        ASSERT_EQ (stem.getNumSamples(), 9600) << name;
        addBufferTo (expected, stem);
    }

    const auto written = readBack (cue.temp.file ("out/Proj_Cue1_Reversed.wav"));
    ASSERT_EQ (written.getNumSamples(), 9600);

    // The stems were written as floats, so their sum is within float rounding of the mix.
    double worst = 0.0;

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 9600; ++i)
            worst = std::max (worst, std::abs (written.getSample (ch, i) - expected.getSample (ch, i)));

    EXPECT_LT (worst, 1.0e-7);
}

TEST (CueRenderTest, FormatsAtOtherRatesCollisionsAndFailures)
{
    // Files are written by worker threads, several at once, or one after another on the render
    // thread; what ends up on disk and in the report must be the same.
    for (int workers : { 0, -1 })
    {
        SCOPED_TRACE (workers == 0 ? "render thread only" : "worker threads");
        SmallCue cue;
        auto render = [workers] (const RenderRequest& request) { return dunmoor::render (request, {}, {}, workers); };

        {
            // A 44.1 kHz entry is resampled; nothing is written at the project rate, so no check.
            auto preset = cue.preset;
            preset.exportSettings.formats.front().sampleRate = 44100.0;
            const auto report = render (makeRequest (preset, cue.temp.file ("a"), { { cue.drums } }));

            ASSERT_TRUE (report.ok) << describe (report);
            ASSERT_EQ (report.files.size(), 2u);
            EXPECT_EQ (report.files[0].sampleRate, 44100.0);
            EXPECT_EQ (report.files[0].overview.sampleRate, rate);
            EXPECT_EQ (readBack (report.files[0].file).getNumSamples(), 8820);
            EXPECT_EQ (report.reconstruction.state, ReconstructionState::skipped);
            EXPECT_EQ (report.reconstruction.detail, "No lossless full mix was written at the project sample rate.");
        }

        {
            // Two equal entries meet the abort policy at the second file.
            auto preset = cue.preset;
            preset.exportSettings.formats.push_back (preset.exportSettings.formats.front());
            preset.exportSettings.naming.collisionPolicy = CollisionPolicy::abort;
            const auto report = render (makeRequest (preset, cue.temp.file ("b"), { { cue.drums }, { cue.bass } }));

            EXPECT_FALSE (report.ok);
            ASSERT_EQ (report.errors.size(), 1);
            EXPECT_TRUE (report.files.empty());
            EXPECT_EQ (listFilesBelow (cue.temp.file ("b")), juce::StringArray());
        }

        {
            // A stem whose target is a folder fails; nothing of the cue is delivered, and the
            // report says so, without speaking of earlier files: there were none.
            cue.temp.file ("c/STEMS/Proj_Cue1_02_Bass.wav").createDirectory();
            auto preset = cue.preset;
            preset.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;
            const auto report = render (makeRequest (preset, cue.temp.file ("c"), { { cue.drums }, { cue.bass }, { cue.strings1 } }));

            EXPECT_FALSE (report.ok);
            ASSERT_EQ (report.errors.size(), 1);
            EXPECT_TRUE (report.errors[0].startsWith ("Bass -> Proj_Cue1_02_Bass.wav: ")) << report.errors[0];
            EXPECT_TRUE (report.files.empty());
            EXPECT_TRUE (report.warnings.contains ("No file of this cue was delivered.")) << describe (report);
            EXPECT_EQ (listFilesBelow (cue.temp.file ("c")), juce::StringArray());
            EXPECT_EQ (report.reconstruction.state, ReconstructionState::notRun);
        }

        {
            // An unreadable track stops the cue with the stem's and the file's names.
            const auto junk = cue.temp.file ("in/junk.wav");
            ASSERT_TRUE (junk.replaceWithText ("not audio"));
            const auto report = render (makeRequest (cue.preset, cue.temp.file ("d"), { { cue.drums }, { cue.bass, junk } }));

            EXPECT_FALSE (report.ok);
            ASSERT_EQ (report.errors.size(), 1);
            EXPECT_TRUE (report.errors[0].startsWith ("Bass: junk.wav: ")) << report.errors[0];
            ASSERT_EQ (report.stems.size(), 4u);    // every stem of the plan, read or not
            EXPECT_EQ (report.stems[1].errors.size(), 1);
            EXPECT_EQ (report.stoppedAt, "Bass");
            EXPECT_FALSE (cue.temp.file ("d").exists() && ! listFilesBelow (cue.temp.file ("d")).isEmpty());
        }
    }
}

TEST (CueRenderTest, OnlyTheFirstTwoEntriesAreWrittenAndEachSeedsItsDitherByItsPlace)
{
    SmallCue cue;

    auto entry = [] (SampleFormat format, DitherKind dither, const char* subFolder, bool enabled)
    {
        OutputFormat f;
        f.enabled = enabled;
        f.sampleFormat = format;
        f.dither = dither;
        f.subFolder = subFolder;
        return f;
    };

    auto renderWith = [&] (const char* out, std::vector<OutputFormat> formats)
    {
        auto preset = cue.preset;
        preset.exportSettings.formats = std::move (formats);
        return render (makeRequest (preset, cue.temp.file (out), { { cue.drums } }));
    };

    const auto pcm16 = entry (SampleFormat::pcm16, DitherKind::tpdf, "B", true);
    const auto third = entry (SampleFormat::pcm24, DitherKind::none, "C", true);

    // A disabled first entry keeps its place: the second one's files are seeded as the second's.
    const auto afterDisabled = renderWith ("a", { entry (SampleFormat::pcm24, DitherKind::none, "A", false), pcm16, third });
    const auto afterEnabled = renderWith ("b", { entry (SampleFormat::pcm24, DitherKind::none, "A", true), pcm16, third });
    const auto inFirstPlace = renderWith ("c", { pcm16 });

    for (const auto* report : { &afterDisabled, &afterEnabled, &inFirstPlace })
        ASSERT_TRUE (report->ok) << describe (*report);

    EXPECT_EQ (listFilesBelow (cue.temp.file ("a")), juce::StringArray ({ "B/Proj_Cue1_Full Mix.wav", "B/STEMS/Proj_Cue1_01_Drums.wav" }));
    EXPECT_FALSE (cue.temp.file ("b/C").exists());

    const juce::String stem ("B/STEMS/Proj_Cue1_01_Drums.wav");
    const auto bytes = [&] (const char* out)
    {
        juce::MemoryBlock data;
        EXPECT_TRUE (cue.temp.file (out).getChildFile (stem).loadFileAsData (data)) << out;
        return data;
    };

    EXPECT_EQ (bytes ("a"), bytes ("b"));
    EXPECT_NE (bytes ("a"), bytes ("c"));
}

// An alternative mix whose name came out as the full mix's file replaced the full mix without a word.
TEST (CueRenderTest, AnOutputNamedLikeOneWrittenBeforeIsAnErrorNamingBoth)
{
    SmallCue cue;
    const auto mixId = cue.preset.schema.addAlternativeMix ("full mix");
    ASSERT_TRUE (cue.preset.schema.setAlternativeMixMember (mixId, cue.preset.schema.stems[0].id, false));
    cue.preset.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;

    const auto report = render (cue.request());

    EXPECT_FALSE (report.ok);
    ASSERT_EQ (report.errors.size(), 1);
    EXPECT_EQ (report.errors[0], "full mix (alternative mix) and Full Mix (full mix): 'Proj_Cue1_full mix.wav' was already "
                                 "written in this run; two outputs cannot share one name.");

    // Nothing of the cue is delivered.
    EXPECT_TRUE (report.files.empty());
    EXPECT_EQ (listFilesBelow (cue.temp.file ("out")), juce::StringArray());
}

// With an earlier delivery imported as tracks and the overwrite policy, the new stem replaced
// the very track it was still to be read from.
TEST (CueRenderTest, AnOutputNeverReplacesASourceTrack)
{
    SmallCue cue;
    cue.preset.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;
    const auto earlier = writeTone (cue.temp.file ("out/STEMS/Proj_Cue1_01_Drums.wav"), 2, 9600, rate, 60.0, 0.5);

    juce::MemoryBlock before;
    ASSERT_TRUE (earlier.loadFileAsData (before));

    auto request = cue.request();
    request.stems[0].tracks = { earlier };

    for (const int workers : { 0, -1 })
    {
        const auto report = render (request, {}, {}, workers);

        EXPECT_FALSE (report.ok);
        ASSERT_EQ (report.errors.size(), 1);
        EXPECT_EQ (report.errors[0], "Refusing to overwrite a source track: " + earlier.getFullPathName());

        juce::MemoryBlock after;
        ASSERT_TRUE (earlier.loadFileAsData (after));
        EXPECT_EQ (after, before);
    }
}

// With writes under way on worker threads, a skipped stem and an alternative mix without
// members went into the report ahead of the writes before them: warnings came out of order, and
// after a failed write the report held decisions a one-by-one render never reached.
TEST (CueRenderTest, ReportReadsTheSameWithAndWithoutWorkerThreads)
{
    auto summary = [] (const CueReport& report)
    {
        juce::StringArray lines;
        lines.add ("ok " + juce::String ((int) report.ok));
        lines.add ("warnings: " + report.warnings.joinIntoString (" | ").replace (report.outputFolder.getFullPathName(), "<out>"));
        lines.add ("errors: " + report.errors.joinIntoString (" | ").replace (report.outputFolder.getFullPathName(), "<out>"));

        for (const auto& stem : report.stems)
            lines.add (stem.name + " skipped " + juce::String ((int) stem.skipped) + " errors " + stem.errors.joinIntoString (" | "));

        for (const auto& f : report.files)
            lines.add (f.file.getRelativePathFrom (report.outputFolder) + " " + f.displayName + " " + juce::String (f.fileSize));

        lines.add ("check " + juce::String ((int) report.reconstruction.state));
        return lines.joinIntoString ("\n");
    };

    for (const bool failingBass : { false, true })
    {
        SCOPED_TRACE (failingBass ? "a stem fails" : "every file written");
        SmallCue cue;
        auto& settings = cue.preset.exportSettings;
        settings.naming.mixTemplate = "{project}_{cue}_{foo}_{stemName}";
        settings.naming.collisionPolicy = CollisionPolicy::overwrite;
        auto& schema = cue.preset.schema;
        const auto onlyChoir = schema.addAlternativeMix ("Choir Only");

        for (const auto& stem : schema.stems)
            (void) schema.setAlternativeMixMember (onlyChoir, stem.id, stem.displayName == "Choir");

        juce::String first;

        for (int workers : { 0, -1 })
        {
            const auto out = cue.temp.file ("out" + juce::String (workers + 1));

            if (failingBass)
            {
                ASSERT_TRUE (out.getChildFile ("STEMS/Proj_Cue1_02_Bass.wav").createDirectory());
            }

            auto request = cue.request();
            request.outputFolder = out;
            const auto text = summary (render (request, {}, {}, workers));

            if (workers == 0)
                first = text;
            else
                EXPECT_EQ (text, first);
        }

        EXPECT_EQ (first.contains ("ok 1"), ! failingBass) << first;
    }
}

// A float track holding a finite sample far beyond full scale gave a gain of -400 dB or less,
// which is exactly 0: every file was written silent and the cue reported as completed.
TEST (CueRenderTest, APeakNoGainCanBringToTheTargetIsACueError)
{
    TemporaryFolder temp;
    const auto damaged = writeTrack (temp.file ("in/damaged.wav"), 2, 4800, rate, [] (int, int i)
                                     { return i == 100 ? 1.0e30f : (float) (0.5 * std::sin (i * 0.05)); });
    const auto preset = makeRenderPreset ({ "Music" });

    for (const bool sharedGain : { false, true })
    {
        SCOPED_TRACE (sharedGain ? "shared gain" : "own gain");
        const auto out = temp.file (sharedGain ? "out-shared" : "out-own");
        auto request = makeRequest (preset, out, { { damaged } });
        request.useFixedGain = sharedGain;
        request.fixedGainDb = -3.0;

        const auto report = render (request);

        EXPECT_FALSE (report.ok);
        ASSERT_EQ (report.errors.size(), 1) << describe (report);
        EXPECT_EQ (report.errors[0], "The audio peaks at 600.00 dB, so far beyond full scale that no gain can bring it to the target.");
        EXPECT_TRUE (report.files.empty());
        EXPECT_TRUE (! out.exists() || listFilesBelow (out).isEmpty());
    }
}

// Memory the framework cannot give must end the cue with a message, never an exception.
TEST (CueRenderTest, ABufferThatCannotBeAllocatedIsACueError)
{
    const ScopedRenderBufferLimit limit (1 << 30);
    SmallCue cue;
    auto request = cue.request();
    request.headTrimSeconds = 0.01;     // the mix summed whole
    request.numChannels = 64;
    request.lengthInFrames = 1000000000;

    int finished = 0;
    CueRenderContext context (request, {}, [&] (double, const juce::String& text, RenderJob::Phase) { finished += text == "Finished." ? 1 : 0; });
    context.freeSpace = [] (const juce::File&) { return (juce::int64) -1; };    // no disk takes such a cue: not asked
    const auto report = renderCue (context);

    EXPECT_FALSE (report.ok);
    ASSERT_EQ (report.errors.size(), 1);
    EXPECT_TRUE (report.errors[0].startsWith ("Not enough memory")) << report.errors[0];
    EXPECT_EQ (finished, 1);
}

TEST (CueRenderTest, CancelInTheMiddleLeavesOnlyFinishedFiles)
{
    SmallCue cue;
    const auto mixId = cue.preset.schema.addAlternativeMix ("Instrumental");
    juce::ignoreUnused (mixId);

    for (int workers : { 0, -1 })
    for (const auto* stage : { "Summing Bass...", "Writing Drums...", "Writing Strings...", "Writing the full mix...",
                               "Writing Instrumental...", "Verifying that the stems reconstruct the mix..." })
    {
        SCOPED_TRACE (workers);
        const auto out = cue.temp.file ("out-" + juce::String (workers + 1) + juce::String (stage).retainCharacters ("abcdefghijklmnopqrstuvwxyz"));
        auto request = cue.request();
        request.outputFolder = out;

        std::atomic<bool> cancel { false };
        juce::String last;
        int endings = 0;

        const auto report = render (
            request,
            [&] { return cancel.load(); },
            [&] (double, const juce::String& text, RenderJob::Phase phase)
            {
                cancel = cancel || text == stage;
                endings += phase == RenderJob::Phase::finished ? 1 : 0;
                last = text;
            },
            workers);

        EXPECT_TRUE (report.cancelled) << stage;
        EXPECT_FALSE (report.ok) << stage;
        EXPECT_EQ (last, "Cancelled.") << stage;
        EXPECT_EQ (endings, 1) << stage;

        // A cancel while summing leaves the mix unmeasured; once writing began, its levels hold.
        const bool whileSumming = juce::String (stage).startsWith ("Summing");
        EXPECT_EQ (report.levelsMeasured, ! whileSumming) << stage;
        EXPECT_EQ (formatCueReportText (report).contains ("\r\n  not measured: the render was cancelled\r\n"), whileSumming) << stage;

        // Nothing on disk but the files the report lists: no temporary or partial file.
        juce::StringArray listed;

        for (const auto& f : report.files)
            listed.add (f.file.getRelativePathFrom (out));

        listed.sort (false);
        EXPECT_EQ (listFilesBelow (out), listed) << stage;
    }
}

// A render over an earlier delivery that failed part-way left the new files written so far
// beside the earlier ones: stems that no longer summed to the mix beside them.
TEST (CueRenderTest, AFailedRenderOverAnEarlierDeliveryLeavesItByteIdentical)
{
    auto snapshot = [] (const juce::File& folder)
    {
        juce::StringArray lines;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
        {
            juce::MemoryBlock bytes;
            (void) entry.getFile().loadFileAsData (bytes);
            lines.add (entry.getFile().getRelativePathFrom (folder) + " " + juce::String (juce::String (bytes.toBase64Encoding()).hashCode64()));
        }

        lines.sort (false);
        return lines;
    };

    for (int workers : { 0, -1 })
    {
        SCOPED_TRACE (workers == 0 ? "render thread only" : "worker threads");
        SmallCue cue;
        cue.preset.exportSettings.naming.collisionPolicy = CollisionPolicy::overwrite;
        const auto out = cue.temp.file ("out");

        const auto first = render (cue.request(), {}, {}, workers);
        ASSERT_TRUE (first.ok) << describe (first);
        ASSERT_GE (first.files.size(), 4u);

        // The third file of the next render can't be written: a folder took its place.
        const auto third = first.files[2].file;
        ASSERT_TRUE (third.deleteFile());
        ASSERT_TRUE (third.createDirectory().wasOk());
        const auto before = snapshot (out);

        // Another gain: every file of the second render differs from the first's.
        auto request = cue.request();
        request.preset.exportSettings.headroom.targetDb -= 6.0;
        const auto second = render (request, {}, {}, workers);

        EXPECT_FALSE (second.ok);
        EXPECT_TRUE (second.files.empty());
        EXPECT_TRUE (second.errors[0].contains (third.getFileName())) << describe (second);
        EXPECT_TRUE (second.warnings.contains ("No file of this cue was delivered; the files already in '" + out.getFullPathName() + "' were left untouched."))
            << describe (second);
        EXPECT_EQ (snapshot (out), before);     // no staged file either
    }
}

// A track rewritten on disk between the summing and the writing pass gave stems that no longer
// add up to the mix: the check failed naming no file, leaving the user nothing to look at.
TEST (CueRenderTest, AFailedCheckNamesTheTracksThatChangedWhileTheCueWasRendered)
{
    struct Case
    {
        const char* name;
        int frames;             // of the rewritten track; the cue's tracks have 9600
        double headTrimSeconds; // a head cut keeps the mix whole, so the check sees the change;
                                // without one the stems and the mix come from the same reads
        const char* error;      // how the error starts
    };

    const Case cases[] = {
        { "the same size", 9600, 0.01, "Reconstruction check failed: Residual peak " },
        { "a longer file", 12000, 0.01, "Reconstruction check failed: Residual peak " },
        { "the same size, the mix in windows", 9600, 0.0, "The levels were measured on audio that is no longer there." },
        { "a longer file, the mix in windows", 12000, 0.0, "The levels were measured on audio that is no longer there." },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SmallCue cue;
        auto request = cue.request();
        request.headTrimSeconds = c.headTrimSeconds;
        bool rewritten = false;

        // Once the stems are being written, the violins come back louder.
        const auto report = render (
            request,
            {},
            [&] (double, const juce::String& text, RenderJob::Phase)
            {
                if (text == "Writing Drums..." && ! rewritten)
                    rewritten = writeTone (cue.strings1, 2, c.frames, rate, 440.0, 0.6).existsAsFile();
            },
            0);

        ASSERT_TRUE (rewritten);
        EXPECT_FALSE (report.ok);
        EXPECT_TRUE (report.files.empty());
        ASSERT_EQ (report.errors.size(), 1) << describe (report);
        EXPECT_TRUE (report.errors[0].startsWith (c.error)) << report.errors[0];
        EXPECT_TRUE (report.errors[0].endsWith (" These tracks changed on disk while the cue was rendered: violins.wav.")) << report.errors[0];
    }
}

// A cancel waited for the end of a long read or encode: they took no cancel check.
TEST (CueRenderTest, CancelStopsALongReadAndALongEncodeInTheMiddle)
{
    TemporaryFolder temp;
    const int frames = 1500000;    // many blocks of every operation
    auto sine = [] (int ch, int i) { return (float) (0.5 * std::sin (0.01 * i + 0.3 * ch)); };
    const auto clean = writeTrack (temp.file ("in/music.wav"), 2, frames, rate, sine);

    // A sample that is not a number near the end: a read that gets there fails on it.
    const auto damaged = writeTrack (temp.file ("in/damaged.wav"), 2, frames, rate, [&] (int ch, int i)
                                     { return i == frames - 100 ? std::numeric_limits<float>::quiet_NaN() : sine (ch, i); });

    const auto preset = makeRenderPreset ({ "Music" });

    {
        SCOPED_TRACE ("read");
        const auto out = temp.file ("out-read");
        int pollsSinceSumming = -1;

        // Poll 1 is the check before the track; the read polls from poll 2 on.
        const auto report = render (
            makeRequest (preset, out, { { damaged } }),
            [&] { return pollsSinceSumming >= 0 && ++pollsSinceSumming >= 5; },
            [&] (double, const juce::String& text, RenderJob::Phase) { pollsSinceSumming = text == "Summing Music..." ? 0 : pollsSinceSumming; },
            0);

        EXPECT_TRUE (report.cancelled);
        EXPECT_EQ (pollsSinceSumming, 5);
        EXPECT_TRUE (report.errors.isEmpty()) << describe (report);    // the read stopped long before the bad sample
        EXPECT_TRUE (listFilesBelow (out).isEmpty());
    }

    {
        SCOPED_TRACE ("encode");
        const auto out = temp.file ("out-encode");
        int pollsWhileEncoding = 0;

        auto encoding = [&]
        {
            for (const auto& path : listFilesBelow (out))
                if (path.contains ("_temp"))
                    return true;

            return false;
        };

        // Yes at the second poll of the stem's encode: one of its blocks is written.
        const auto report = render (
            makeRequest (preset, out, { { clean } }),
            [&] { return encoding() && ++pollsWhileEncoding >= 2; },
            {},
            0);

        EXPECT_TRUE (report.cancelled);
        EXPECT_EQ (pollsWhileEncoding, 2);
        EXPECT_TRUE (report.errors.isEmpty()) << describe (report);
        EXPECT_TRUE (report.files.empty());
        EXPECT_TRUE (listFilesBelow (out).isEmpty()) << listFilesBelow (out).joinIntoString (", ");
    }
}


// A cue refused before it wrote anything left the empty folders the render had made for it.
TEST (CueRenderTest, ARefusedCueLeavesNoFolderItCreated)
{
    TemporaryFolder temp;
    const auto preset = makeRenderPreset ({ "Music" });
    const auto clean = writeTone (temp.file ("in/music.wav"), 2, 4800, rate, 220.0, 0.5);
    const auto damaged = writeTrack (temp.file ("in/damaged.wav"), 2, 4800, rate, [] (int, int i)
                                     { return i == 100 ? std::numeric_limits<float>::quiet_NaN() : 0.1f; });

    // Long enough that the stem's path is refused as too long, once its STEMS folder is made.
    const auto longFolder = "long/" + juce::String::repeatedString ("x", 220 - temp.file ("long/").getFullPathName().length());

    struct Case
    {
        const char* name;
        juce::String folder;        // the cue's output folder, below the temporary folder
        juce::String existing;      // made before the render (empty: none)
        juce::File track;
        const char* error;          // the start of the refusal
    };

    const Case cases[] = {
        { "a sample that is not a number", "new/Cue1", {}, damaged, "Music: damaged.wav: " },
        { "the same, into a folder that was there", "there/Cue1", "there/Cue1", damaged, "Music: damaged.wav: " },
        { "a path refused after its STEMS folder was made", longFolder, {}, clean, "The generated path is too long: " },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);

        if (c.existing.isNotEmpty())
        {
            ASSERT_TRUE (temp.file (c.existing).createDirectory().wasOk());
        }

        const auto out = temp.file (c.folder);
        const auto report = render (makeRequest (preset, out, { { c.track } }));

        EXPECT_FALSE (report.ok);
        ASSERT_EQ (report.errors.size(), 1) << describe (report);
        EXPECT_TRUE (report.errors[0].startsWith (c.error)) << report.errors[0];
        EXPECT_TRUE (report.files.empty());

        // Only what existed before stays, and it is left as it was.
        const auto topFolder = temp.file (c.folder.upToFirstOccurrenceOf ("/", false, false));

        if (c.existing.isEmpty())
            EXPECT_FALSE (topFolder.exists());
        else
        {
            EXPECT_TRUE (out.isDirectory());
            EXPECT_EQ (TemporaryFolder::listing (out), juce::StringArray());
        }
    }
}

// A render killed while it wrote a cue left its staged audio hidden in the cue's folder, and
// every later render delivered beside it: the folder sent to the publisher grew with each crash.
TEST (CueRenderTest, ARenderKilledWhileStagingLeavesNothingBehindTheNextRender)
{
    SmallCue cue;
    const auto out = cue.temp.file ("out");
    const auto elsewhere = cue.temp.file ("elsewhere");
    juce::String error;

    // Not ours, though named like our folder and mark.
    ASSERT_TRUE (out.getChildFile (".bf-staging").createDirectory().wasOk());
    cue.temp.make ("out/.bf-staging/1.wav", "someone's audio");
    cue.temp.make (juce::String ("out/.bf-staging/") + CueStaging::markName, "someone's notes");

    // A render killed while it stages files, here and in another folder.
    EXPECT_EXIT (
        {
            std::vector<std::unique_ptr<CueStaging>> stagings;

            for (const auto& folder : { out, elsewhere })
            {
                stagings.push_back (std::make_unique<CueStaging> (folder));

                for (const auto* name : { "a.wav", "STEMS/b.wav" })
                    (void) stagings.back()->stage (folder.getChildFile (name), error).replaceWithText ("staged");
            }

            ::kill (::getpid(), SIGKILL);
        },
        ::testing::KilledBySignal (SIGKILL), "");

    const auto leftover = out.getChildFile (".bf-staging2");
    ASSERT_EQ (listFilesBelow (leftover), juce::StringArray ({ CueStaging::markName, "1.wav", "2.wav" }));

    // A link to the other folder's leftover is never followed.
    const auto link = out.getChildFile (".shortcut");
    ASSERT_TRUE (elsewhere.getChildFile (".bf-staging").createSymbolicLink (link, false));

    // A render still running beside this one holds its staging folder.
    CueStaging running (out);
    ASSERT_TRUE (running.stage (out.getChildFile ("other.wav"), error).replaceWithText ("staged")) << error;
    const auto runningFolder = running.getFolder (error);

    const auto report = render (cue.request());
    ASSERT_TRUE (report.ok) << describe (report);

    EXPECT_FALSE (leftover.exists());
    EXPECT_EQ (out.getChildFile (".bf-staging/1.wav").loadFileAsString(), "someone's audio");
    EXPECT_EQ (listFilesBelow (elsewhere), juce::StringArray (juce::String (".bf-staging/") + CueStaging::markName, ".bf-staging/1.wav", ".bf-staging/2.wav"));
    EXPECT_EQ (listFilesBelow (runningFolder).size(), 2);
    EXPECT_TRUE (link.isSymbolicLink());

    // Apart from them, the folder holds exactly the delivery.
    running.discard();
    ASSERT_TRUE (link.deleteFile());
    juce::StringArray expected (juce::String (".bf-staging/") + CueStaging::markName, ".bf-staging/1.wav");

    for (const auto& f : report.files)
        expected.add (f.file.getRelativePathFrom (out));

    expected.sort (false);
    EXPECT_EQ (listFilesBelow (out), expected);
}

// A cue that fitted on the disk before it was staged failed part-way through once its staged
// files and the mixes held until measured filled it: the disk's room is known before anything
// is written.
TEST (CueRenderTest, ACueTheDiskHasNoRoomForIsRefusedBeforeAnythingIsWritten)
{
    SmallCue cue;
    const auto mixId = cue.preset.schema.addAlternativeMix ("Instrumental");
    ASSERT_TRUE (cue.preset.schema.setAlternativeMixMember (mixId, cue.preset.schema.stems[0].id, false));

    // Long enough that a mix held until measured weighs more than the disk's rounding up.
    const auto drums = writeTone (cue.temp.file ("in/long-kick.wav"), 2, 4 * 48000, rate, 60.0, 0.5);
    const auto bass = writeTone (cue.temp.file ("in/long-bass.wav"), 1, 4 * 48000, rate, 110.0, 0.4);

    struct Case
    {
        const char* name;
        std::function<void (ExportSettings&)> set;
        double headTrimSeconds;     // a cut keeps the mix whole
    };

    const Case cases[] = {
        { "a mix at its own target held on the disk until measured", [] (ExportSettings& s) { s.headroom.submixesReachTargetIndependently = true; }, 0.0 },
        { "FLAC and WAV at another rate", [] (ExportSettings& s)
          {
              s.headroom.submixesReachTargetIndependently = false;
              s.formats.front().codec = Codec::flac;
              s.formats.front().sampleFormat = SampleFormat::pcm16;
              s.formats.push_back ({});
              s.formats.back().sampleRate = 44100.0;
              s.formats.back().subFolder = "44k";
          }, 0.0 },
        { "AIFF with the head cut", [] (ExportSettings& s)
          {
              s.headroom.submixesReachTargetIndependently = false;
              s.formats.front().codec = Codec::aiff;
          }, 0.01 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto request = makeRequest (cue.preset, cue.temp.file (c.name).getChildFile ("Cue1"), { { drums }, { bass } });
        c.set (request.preset.exportSettings);
        request.headTrimSeconds = c.headTrimSeconds;

        const auto need = bytesNeededToStage (request);
        juce::Array<juce::File> asked;

        auto renderWithRoom = [&] (juce::int64 free)
        {
            CueRenderContext context (request, {}, {});
            context.freeSpace = [&asked, free] (const juce::File& folder) { asked.add (folder); return free; };
            return renderCue (context);
        };

        {
            const auto refused = renderWithRoom (need - 1);

            EXPECT_FALSE (refused.ok);
            ASSERT_EQ (refused.errors.size(), 1);
            EXPECT_TRUE (refused.files.empty());
            EXPECT_FALSE (cue.temp.file (c.name).exists());

            // Both figures, rounded so that they never read as if the cue had fitted.
            const auto message = refused.errors[0];
            const auto needed = message.fromFirstOccurrenceOf ("needs ", false, false).upToFirstOccurrenceOf (" MB; ", false, false);
            const auto free = message.fromFirstOccurrenceOf (" MB; ", false, false).upToFirstOccurrenceOf (" MB are free on the disk of '"
                                                                                                            + request.outputFolder.getFullPathName() + "'", false, false);
            ASSERT_TRUE (needed.containsOnly ("0123456789.") && free.containsOnly ("0123456789.")) << message;
            EXPECT_GE (needed.getDoubleValue() * 1048576.0, (double) need) << message;
            EXPECT_LE (free.getDoubleValue() * 1048576.0, (double) (need - 1)) << message;
            EXPECT_LT (free.getDoubleValue(), needed.getDoubleValue()) << message;
        }

        const auto delivered = renderWithRoom (need);
        ASSERT_TRUE (delivered.ok) << describe (delivered);
        ASSERT_EQ (asked.size(), 2);
        EXPECT_EQ (asked[1], request.outputFolder);

        // Everything on the disk at once fitted in what the cue said it needs: its files, and a
        // mix held until measured (its samples as 64-bit numbers) in place of the mix's files
        // where that takes more.
        juce::int64 onDisk = 0, mixFiles = 0;

        for (const auto& f : delivered.files)
        {
            onDisk += f.file.getSize();
            mixFiles += f.kind == WrittenFile::alternativeMixKind ? f.file.getSize() : 0;
        }

        if (request.preset.exportSettings.headroom.submixesReachTargetIndependently)
            onDisk += std::max<juce::int64> (0, 8 * request.numChannels * request.lengthInFrames - mixFiles);

        EXPECT_GE (need, onDisk);
    }
}

} // namespace dunmoor
