#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/audio/ReconstructionCheck.h"
#include "audio/AudioTestFiles.h"
#include "core/audio/AudioBufferOps.h"
#include "TaskThreads.h"

using namespace dunmoor;
using dunmoor::testing::TemporaryFolder;

namespace
{
    juce::AudioBuffer<double> noise (int channels, int frames, int seed)
    {
        juce::Random random (seed);
        juce::AudioBuffer<double> b (channels, frames);

        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < frames; ++i)
                b.setSample (ch, i, random.nextDouble() - 0.5);

        return b;
    }

    ReconstructionCandidate written (const char* name, int kind, const char* stemId, int ordinal, bool lossless,
                                     double rate, SampleFormat format, DitherKind dither)
    {
        ReconstructionCandidate c;
        c.file = juce::File ("/delivery").getChildFile (name);
        c.kind = kind;
        c.stemId = stemId;
        c.formatOrdinal = ordinal;
        c.lossless = lossless;
        c.sampleRate = rate;
        c.sampleFormat = format;
        c.dither = dither;
        return c;
    }

    std::vector<juce::String> namesOf (const std::vector<juce::File>& files)
    {
        std::vector<juce::String> names;

        for (const auto& f : files)
            names.push_back (f.getFileName());

        return names;
    }
} // namespace

TEST (ReconstructionCheck, ToleranceTable)
{
    struct Case { int bits, stems, dither; double expectedDb, within; };

    const Case cases[] = {
        { 24, 16, (int) DitherKind::tpdfShaped, -95.0, 0.5 },
        { 24, 1, (int) DitherKind::none, -132.0, 0.5 },
        { 16, 4, (int) DitherKind::tpdf, -70.0, 0.5 },
        { 16, 16, (int) DitherKind::tpdfShaped, -47.0, 0.5 },
        { 0, 16, (int) DitherKind::tpdfShaped, -140.0, 0.0 },
        { -3, 1, (int) DitherKind::none, -140.0, 0.0 },
    };

    for (auto c : cases)
        EXPECT_NEAR (reconstructionTolerance (c.bits, c.stems, c.dither), c.expectedDb, c.within)
            << c.bits << " bit, " << c.stems << " stems, dither " << c.dither;

    // Continuous variants count like their plain kinds, unknown kinds like noise shaping, and
    // no stems like one.
    EXPECT_EQ (reconstructionTolerance (16, 4, (int) DitherKind::tpdfContinuous), reconstructionTolerance (16, 4, (int) DitherKind::tpdf));
    EXPECT_EQ (reconstructionTolerance (16, 4, (int) DitherKind::tpdfShapedContinuous), reconstructionTolerance (16, 4, (int) DitherKind::tpdfShaped));
    EXPECT_EQ (reconstructionTolerance (16, 4, 99), reconstructionTolerance (16, 4, (int) DitherKind::tpdfShaped));
    EXPECT_EQ (reconstructionTolerance (24, 0, 0), reconstructionTolerance (24, 1, 0));
}

TEST (ReconstructionCheck, CompareWithMix)
{
    const auto mix = noise (2, 1000, 1);

    {
        const auto result = compareWithMix (mix, mix, -95.0);
        EXPECT_EQ (result.state, ReconstructionState::passed);
        EXPECT_EQ (result.residualPeakDb, -400.0);
        EXPECT_EQ (result.residualRmsDb, -400.0);
        EXPECT_EQ (result.framesCompared, 1000);
        EXPECT_EQ (result.toleranceDb, -95.0);
        EXPECT_EQ (result.detail, "Residual peak -400.00 dB (tolerance -95.00 dB), RMS -400.00 dB.");
    }

    {
        // One sample off by 0.001 (-60 dB); RMS over 2000 samples is 33 dB lower.
        auto sum = mix;
        sum.setSample (1, 500, sum.getSample (1, 500) + 0.001);
        const auto failed = compareWithMix (sum, mix, -95.0);
        EXPECT_EQ (failed.state, ReconstructionState::failed);
        EXPECT_NEAR (failed.residualPeakDb, -60.0, 1e-6);
        EXPECT_NEAR (failed.residualRmsDb, -60.0 - 10.0 * std::log10 (2000.0), 1e-6);
        EXPECT_EQ (failed.detail, "Residual peak -60.00 dB (tolerance -95.00 dB), RMS -93.01 dB.");
        EXPECT_EQ (compareWithMix (sum, mix, -59.0).state, ReconstructionState::passed);
    }

    {
        // Identical over the shorter length but not the same length.
        juce::AudioBuffer<double> shorter (2, 999);
        for (int ch = 0; ch < 2; ++ch)
            shorter.copyFrom (ch, 0, mix, ch, 0, 999);

        const auto result = compareWithMix (shorter, mix, -95.0);
        EXPECT_EQ (result.state, ReconstructionState::failed);
        EXPECT_EQ (result.framesCompared, 999);
        EXPECT_EQ (result.residualPeakDb, -400.0);
    }

    {
        auto sum = mix;
        sum.setSample (0, 10, std::numeric_limits<double>::quiet_NaN());
        EXPECT_EQ (compareWithMix (sum, mix, -95.0).state, ReconstructionState::failed);
    }

    {
        // A channel only the mix has is compared with silence.
        juce::AudioBuffer<double> left (1, 1000);
        left.copyFrom (0, 0, mix, 0, 0, 1000);
        const auto result = compareWithMix (left, mix, -95.0);
        EXPECT_EQ (result.state, ReconstructionState::failed);
        EXPECT_NEAR (result.residualPeakDb, juce::Decibels::gainToDecibels (mix.getMagnitude (1, 0, 1000)), 1e-9);
    }

    const auto empty = compareWithMix (juce::AudioBuffer<double> (2, 0), juce::AudioBuffer<double> (2, 0), -95.0);
    EXPECT_EQ (empty.state, ReconstructionState::passed);
    EXPECT_EQ (empty.residualRmsDb, -400.0);
}

// Stems were picked by display name, so two stems sharing one dropped out and a good delivery
// failed; and the tolerance took the largest bit depth of both entries while the files came
// from the first, so FLAC 16-bit first and WAV 24-bit second failed good files.
TEST (ReconstructionCheck, InputsComeFromOneEntryAndStemsAreKeyedById)
{
    const auto flac16 = SampleFormat::pcm16;
    const auto wav24 = SampleFormat::pcm24;
    const std::vector<ReconstructionCandidate> files = {
        written ("Strings.flac", 0, "id-a", 1, true, 48000, flac16, DitherKind::tpdf),
        written ("Strings.wav", 0, "id-a", 2, true, 48000, wav24, DitherKind::tpdfShaped),
        written ("Strings (2).flac", 0, "id-b", 1, true, 48000, flac16, DitherKind::tpdf),
        written ("Strings (2).wav", 0, "id-b", 2, true, 48000, wav24, DitherKind::tpdfShaped),
        written ("Mix.flac", 1, "", 1, true, 48000, flac16, DitherKind::tpdf),
        written ("Mix.wav", 1, "", 2, true, 48000, wav24, DitherKind::tpdfShaped),
        written ("Instrumental.flac", 2, "", 1, true, 48000, flac16, DitherKind::tpdf),
    };

    const auto inputs = chooseReconstructionInputs (files, 48000.0);
    ASSERT_TRUE (inputs.hasMix);
    EXPECT_EQ (inputs.mixFile.getFileName(), "Mix.flac");
    EXPECT_EQ (namesOf (inputs.stemFiles), (std::vector<juce::String> { "Strings.flac", "Strings (2).flac" }));
    EXPECT_EQ (inputs.bits, 16);
    EXPECT_EQ (inputs.ditherKind, (int) DitherKind::tpdf);
}

TEST (ReconstructionCheck, InputsTable)
{
    struct Case
    {
        const char* what;
        std::vector<ReconstructionCandidate> files;
        bool hasMix;
        juce::String mix;
        std::vector<juce::String> stems;
        int bits, dither;
    };

    const auto pcm24 = SampleFormat::pcm24;
    const auto float32 = SampleFormat::float32;
    const auto shaped = DitherKind::tpdfShaped;

    const Case cases[] = {
        { "a lossy first entry leaves the second",
          { written ("a.mp3", 0, "a", 1, false, 48000, pcm24, shaped), written ("a.wav", 0, "a", 2, true, 48000, pcm24, shaped),
            written ("m.mp3", 1, "", 1, false, 48000, pcm24, shaped), written ("m.wav", 1, "", 2, true, 48000, pcm24, shaped) },
          true, "m.wav", { "a.wav" }, 24, (int) shaped },
        { "another rate does not take part",
          { written ("a.flac", 0, "a", 1, true, 44100, pcm24, shaped), written ("a.wav", 0, "a", 2, true, 48000.4, pcm24, DitherKind::none),
            written ("m.flac", 1, "", 1, true, 44100, pcm24, shaped), written ("m.wav", 1, "", 2, true, 48000.4, pcm24, DitherKind::none) },
          true, "m.wav", { "a.wav" }, 24, 0 },
        { "floating point: no bits, no dither",
          { written ("a.wav", 0, "a", 1, true, 48000, float32, shaped), written ("m.wav", 1, "", 1, true, 48000, float32, shaped) },
          true, "m.wav", { "a.wav" }, 0, 0 },
        { "no full mix",
          { written ("a.wav", 0, "a", 1, true, 48000, pcm24, shaped), written ("alt.wav", 2, "", 1, true, 48000, pcm24, shaped) },
          false, "", {}, 0, 0 },
        { "a mix without stems",
          { written ("m.wav", 1, "", 1, true, 48000, pcm24, shaped) },
          true, "m.wav", {}, 24, (int) shaped },
    };

    for (const auto& c : cases)
    {
        const auto inputs = chooseReconstructionInputs (c.files, 48000.0);
        EXPECT_EQ (inputs.hasMix, c.hasMix) << c.what;
        EXPECT_EQ (inputs.mixFile.getFileName(), c.mix) << c.what;
        EXPECT_EQ (namesOf (inputs.stemFiles), c.stems) << c.what;
        EXPECT_EQ (inputs.bits, c.bits) << c.what;
        EXPECT_EQ (inputs.ditherKind, c.dither) << c.what;
    }
}

namespace
{
    juce::AudioBuffer<float> toFloat (const juce::AudioBuffer<double>& b)
    {
        juce::AudioBuffer<float> f (b.getNumChannels(), b.getNumSamples());

        for (int ch = 0; ch < b.getNumChannels(); ++ch)
            for (int i = 0; i < b.getNumSamples(); ++i)
                f.setSample (ch, i, (float) b.getSample (ch, i));

        return f;
    }

    juce::File writeWav (const TemporaryFolder& temp, const juce::String& name, const juce::AudioBuffer<double>& b, int bits)
    {
        const auto file = temp.file (name);
        EXPECT_TRUE (dunmoor::testing::writeAudioFile (file, "wav", toFloat (b), 48000.0, bits)) << name;
        return file;
    }

    /** Stems of steps of 1/1024 and their exact sum, which 32-bit float files hold exactly. */
    std::vector<juce::AudioBuffer<double>> coarseStems (int count, int channels, int frames)
    {
        std::vector<juce::AudioBuffer<double>> stems;
        juce::Random random (99);

        for (int s = 0; s < count; ++s)
        {
            juce::AudioBuffer<double> b (channels, frames);

            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < frames; ++i)
                    b.setSample (ch, i, (random.nextInt (201) - 100) / 1024.0);

            stems.push_back (b);
        }

        return stems;
    }
} // namespace

TEST (ReconstructionCheck, WrittenFilesThatAddUpPass)
{
    TemporaryFolder temp;
    const auto stems = coarseStems (3, 2, 2000);
    juce::AudioBuffer<double> mix (2, 2000);
    mix.clear();
    std::vector<juce::File> stemFiles;

    for (size_t s = 0; s < stems.size(); ++s)
    {
        for (int ch = 0; ch < 2; ++ch)
            mix.addFrom (ch, 0, stems[s], ch, 0, 2000);

        stemFiles.push_back (writeWav (temp, "stem" + juce::String ((int) s) + ".wav", stems[s], 32));
    }

    const auto exact = runReconstructionCheck (stemFiles, writeWav (temp, "mix.wav", mix, 32), -140.0);
    EXPECT_EQ (exact.state, ReconstructionState::passed) << exact.detail;
    EXPECT_EQ (exact.residualPeakDb, -400.0);
    EXPECT_EQ (exact.residualRmsDb, -400.0);
    EXPECT_EQ (exact.stemsCompared, 3);
    EXPECT_EQ (exact.framesCompared, 2000);
    EXPECT_EQ (exact.toleranceDb, -140.0);

    // 24-bit files, each rounded on its own, stay within the 24-bit tolerance for three stems.
    std::vector<juce::File> stems24;
    juce::AudioBuffer<double> sum24 (2, 2000);
    sum24.clear();

    for (int s = 0; s < 3; ++s)
    {
        auto part = noise (2, 2000, s + 10);
        part.applyGain (0.5);
        stems24.push_back (writeWav (temp, "stem24-" + juce::String (s) + ".wav", part, 24));

        for (int ch = 0; ch < 2; ++ch)
            sum24.addFrom (ch, 0, part, ch, 0, 2000);
    }

    const auto mix24 = writeWav (temp, "mix24.wav", sum24, 24);
    const double tolerance = reconstructionTolerance (24, 3, (int) DitherKind::none);
    const auto rounded = runReconstructionCheck (stems24, mix24, tolerance);
    EXPECT_EQ (rounded.state, ReconstructionState::passed) << rounded.detail;
    EXPECT_LT (rounded.residualPeakDb, tolerance);
    EXPECT_GT (rounded.residualPeakDb, -400.0);

    // One stem a little too loud fails.
    auto loud = noise (2, 2000, 10);
    loud.applyGain (0.5 * 1.001);
    writeWav (temp, "stem24-0.wav", loud, 24);
    const auto failed = runReconstructionCheck (stems24, mix24, tolerance);
    EXPECT_EQ (failed.state, ReconstructionState::failed);
    EXPECT_TRUE (failed.detail.startsWith ("Residual peak ")) << failed.detail;
}

// Files several windows long, read a window at a time (and side by side), give the verdict and
// the figures of summing and comparing the whole buffers: a stem that ends inside a window, a
// mono stem, and a mix that differs from the sum by noise.
TEST (ReconstructionCheck, WindowedReadsGiveTheFiguresOfTheWholeFiles)
{
    TemporaryFolder temp;
    constexpr int frames = 2 * 262144 + 5000;
    auto stems = coarseStems (3, 2, frames);
    stems[1].setSize (2, 300001, true);
    stems[2] = coarseStems (1, 1, frames - 7)[0];

    juce::AudioBuffer<double> sum (2, frames);
    sum.clear();
    std::vector<juce::File> stemFiles;

    for (size_t s = 0; s < stems.size(); ++s)
    {
        addBufferTo (sum, stems[s]);
        stemFiles.push_back (writeWav (temp, "stem" + juce::String ((int) s) + ".wav", stems[s], 32));
    }

    auto mix = noise (2, frames, 5);

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < frames; ++i)
            mix.setSample (ch, i, (double) (float) (sum.getSample (ch, i) + 1.0e-5 * mix.getSample (ch, i)));

    const auto mixFile = writeWav (temp, "mix.wav", mix, 32);
    const auto whole = compareWithMix (sum, mix, -100.0);

    for (const bool shared : { false, true })
    {
        SCOPED_TRACE (shared ? "reads side by side" : "reads one after another");
        const auto result = runReconstructionCheck (stemFiles, mixFile, -100.0, {}, shared ? dunmoor::testing::tasksOnThreadsOfTheirOwn() : ParallelTasks {});
        EXPECT_EQ (result.state, ReconstructionState::passed) << result.detail;
        EXPECT_EQ (result.residualPeakDb, whole.residualPeakDb);
        EXPECT_EQ (result.residualRmsDb, whole.residualRmsDb);
        EXPECT_EQ (result.framesCompared, frames);
        EXPECT_EQ (result.stemsCompared, 3);
        EXPECT_EQ (result.detail, whole.detail);
    }
}

TEST (ReconstructionCheck, MonoStemFeedsEveryChannelOfTheMix)
{
    TemporaryFolder temp;
    const auto stems = coarseStems (1, 1, 500);
    juce::AudioBuffer<double> mix (2, 500);

    for (int ch = 0; ch < 2; ++ch)
        mix.copyFrom (ch, 0, stems[0], 0, 0, 500);

    const auto result = runReconstructionCheck ({ writeWav (temp, "mono.wav", stems[0], 32) }, writeWav (temp, "mix.wav", mix, 32), -140.0);
    EXPECT_EQ (result.state, ReconstructionState::passed) << result.detail;
    EXPECT_EQ (result.residualPeakDb, -400.0);
}

TEST (ReconstructionCheck, ProblemsWithTheFilesTable)
{
    TemporaryFolder temp;
    const auto stereo = coarseStems (2, 2, 1000);
    const auto mix = writeWav (temp, "mix.wav", stereo[0], 32);
    const auto stem = writeWav (temp, "stem.wav", stereo[0], 32);

    juce::AudioBuffer<double> longer (2, 1001);
    longer.clear();
    const auto longStem = writeWav (temp, "long.wav", longer, 32);

    const auto monoMix = writeWav (temp, "monomix.wav", coarseStems (1, 1, 1000)[0], 32);
    const auto notAudio = temp.file ("bad.wav");
    ASSERT_TRUE (notAudio.replaceWithText ("not audio at all"));

    struct Case
    {
        std::vector<juce::File> stems;
        juce::File mix;
        ReconstructionState state;
        juce::String detail;
        int stemsCompared;
    };

    const Case cases[] = {
        { {}, mix, ReconstructionState::skipped, "No lossless stems were written, so there is nothing to verify.", 0 },
        { { stem }, temp.file ("missing.wav"), ReconstructionState::failed, "Could not read the exported full mix back: The file does not exist.", 0 },
        { { stem, notAudio }, mix, ReconstructionState::failed, "Could not read 'bad.wav' back: Not a readable audio file, or the format is not supported.", 1 },
        { { stem, longStem }, mix, ReconstructionState::failed, "'long.wav' is longer than the exported full mix.", 1 },
        { { stem }, monoMix, ReconstructionState::failed, "'stem.wav' has more channels than the exported full mix.", 0 },
    };

    for (const auto& c : cases)
    {
        const auto result = runReconstructionCheck (c.stems, c.mix, -95.0);
        EXPECT_EQ (result.state, c.state) << c.detail;
        EXPECT_EQ (result.detail, c.detail);
        EXPECT_EQ (result.stemsCompared, c.stemsCompared) << c.detail;
        EXPECT_EQ (result.toleranceDb, -95.0);
    }
}
