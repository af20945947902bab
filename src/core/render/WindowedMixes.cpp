#include "WindowedTurns.h"

#include <algorithm>
#include <map>
#include <new>

#include "core/audio/AudioBufferOps.h"
#include "core/audio/LevelMeter.h"

namespace dunmoor::windowed
{

namespace
{
    void failTurn (StemTurn& turn, size_t index, WindowRun& run, const juce::String& message, bool cancelled)
    {
        turn.failed = true;
        turn.cancelled = cancelled;
        turn.cueMessage = message;
        turn.done = true;
        run.fail (index);
    }

    /** Keeps the first count frames of an alternative mix's window until the mix is measured. */
    void holdWindow (StemTurn& turn, size_t index, WindowRun& run, int count)
    {
        juce::String error;

        if (! turn.held.hold (turn.window, count, error))
            failTurn (turn, index, run, "There is no room to hold an alternative mix until it is measured: " + error, false);
    }
} // namespace

HeldWindows::~HeldWindows()
{
    clear();
}

void HeldWindows::clear()
{
    for (const auto& file : files)
        file.deleteFile();

    files.clear();
}

bool HeldWindows::hold (const juce::AudioBuffer<double>& window, int count, juce::String& error)
{
    const juce::File file (base.getFullPathName() + "." + juce::String ((int) files.size() + 1));
    files.push_back (file);

    // Unbuffered: every write goes to the disk's cache at once, so that a full disk refuses it
    // here. A flush would also wait for the disk itself, which a file read back seconds later
    // never needs.
    juce::FileOutputStream out (file, 0);

    if (out.failedToOpen())
    {
        error = out.getStatus().getErrorMessage() + " (" + file.getFullPathName() + ")";
        return false;
    }

    bool written = true;

    for (int ch = 0; ch < window.getNumChannels() && written; ++ch)
        written = out.write (window.getReadPointer (ch), (size_t) count * sizeof (double));

    if (! written || out.getStatus().failed())
    {
        error = "the disk may be full (" + file.getFullPathName() + ")";
        return false;
    }

    return true;
}

bool HeldWindows::takeBack (size_t w, juce::AudioBuffer<double>& window, int count, juce::String& error)
{
    if (w >= files.size())
    {
        error = "window " + juce::String ((int) w + 1) + " was never held";
        return false;
    }

    const auto file = files[w];
    bool complete = false;

    {
        juce::FileInputStream in (file);

        if (in.failedToOpen())
        {
            error = in.getStatus().getErrorMessage() + " (" + file.getFullPathName() + ")";
            return false;
        }

        const auto bytes = (int) ((size_t) count * sizeof (double));
        complete = true;

        for (int ch = 0; ch < window.getNumChannels() && complete; ++ch)
            complete = in.read (window.getWritePointer (ch), bytes) == bytes;
    }

    // The room goes back to the disk before the window is written anywhere.
    file.deleteFile();

    if (! complete)
    {
        error = "it came back short (" + file.getFullPathName() + ")";
        return false;
    }

    return true;
}

void sumMixWindows (CueRenderState& state, std::vector<StemTurn>& turns, size_t numStemTurns, MixWindows& mix, int count)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    const auto numChannels = request.numChannels;

    std::vector<StemTurn*> summed;                  // stems with tracks, in plan order
    std::vector<StemTurn*> submixes;
    std::map<juce::String, const StemTurn*> members;

    for (size_t k = 0; k < turns.size(); ++k)
    {
        auto& turn = turns[k];

        // A stem stopped before it made this window (the cue is failing) adds nothing.
        const bool made = turn.window.getNumChannels() == numChannels && turn.window.getNumSamples() >= count;

        if (k < numStemTurns && turn.kind == StemTurn::Kind::write && made)
        {
            if (! turn.tracks.empty())
                summed.push_back (&turn);

            if (turn.member && ! turn.write->isEmpty())
                members[request.stems[turn.plan].id] = &turn;
        }
        else if (turn.kind == StemTurn::Kind::submix && ! turn.done)
        {
            submixes.push_back (&turn);
        }
    }

    parallelFor (state.getHelpers(), count, 8192, [&] (int64_t begin, int64_t end)
                 {
                     const auto frames = (int) (end - begin);
                     std::vector<double*> piece ((size_t) numChannels);

                     auto pieceOf = [&] (juce::AudioBuffer<double>& buffer)
                     {
                         for (int ch = 0; ch < numChannels; ++ch)
                             piece[(size_t) ch] = buffer.getWritePointer (ch) + begin;

                         return juce::AudioBuffer<double> (piece.data(), numChannels, frames);
                     };

                     {
                         auto m = pieceOf (mix.window);
                         m.clear();

                         for (auto* stem : summed)
                             for (int ch = 0; ch < numChannels; ++ch)
                                 juce::FloatVectorOperations::add (m.getWritePointer (ch), stem->window.getReadPointer (ch) + begin, frames);

                         applyGain (m, frames, state.report.gain.gainLinear);
                     }

                     for (auto* stem : summed)
                     {
                         auto x = pieceOf (stem->window);
                         applyGain (x, frames, state.report.gain.gainLinear);
                     }

                     for (auto* submix : submixes)
                     {
                         auto sum = pieceOf (submix->window);
                         sum.clear();

                         for (const auto& id : preset.schema.alternativeMixes[submix->plan].stemIds)
                         {
                             const auto found = members.find (id);

                             if (found != members.end())
                                 for (int ch = 0; ch < numChannels; ++ch)
                                     juce::FloatVectorOperations::add (sum.getWritePointer (ch), found->second->window.getReadPointer (ch) + begin, frames);
                         }
                     }
                 });

}

void measureMixWindow (MixWindows& mix, int numChannels, int count)
{
    juce::AudioBuffer<double> view (mix.window.getArrayOfWritePointers(), numChannels, count);
    mix.clipCount += countFullScaleSamples (view, 1.0);

    if (mix.afterGain != nullptr)
        mix.afterGain->add (mix.window.getArrayOfReadPointers(), count);
}

void encodeItemWindow (CueRenderState& state, StemTurn& turn, size_t k, MixWindows& mix, WindowRun& run, int64_t offset, int count)
{
    if (turn.kind == StemTurn::Kind::mix)
    {
        measureMixWindow (mix, state.request.numChannels, count);
        appendWindow (state, turn, k, run, mix.window, offset, count);
    }
    else if (turn.ownGain)
    {
        turn.meter->add (turn.window.getArrayOfReadPointers(), count);
        holdWindow (turn, k, run, count);
    }
    else
    {
        if (turn.meter != nullptr)
            turn.meter->add (turn.window.getArrayOfReadPointers(), count);

        appendWindow (state, turn, k, run, turn.window, offset, count);
    }
}

void reportMixAfterGain (CueRenderState& state, MixWindows& mix, int warningsAtStart, WindowedWrite* mixWrite)
{
    const auto& settings = state.request.preset.exportSettings;
    auto& report = state.report;

    if (mix.afterGain != nullptr)
    {
        const auto after = mix.afterGain->finish();
        report.afterSamplePeak = after.samplePeak;
        report.afterTruePeak = after.truePeak;
        report.remeasured = true;
    }

    report.clipCount = mix.clipCount;

    if (report.clipCount > 0)
        report.warnings.insert (warningsAtStart, juce::String (report.clipCount) + " sample(s) reach or exceed full scale after the global gain.");

    if (mixWrite != nullptr)
        mixWrite->setPeakDb (gainToDecibels (settings.headroom.peakMode == PeakMode::truePeak ? report.afterTruePeak : report.afterSamplePeak));
}
void finishAlternativeMixes (CueRenderState& state, std::vector<StemTurn>& turns, WindowRun& run, int windowFrames, const CancelCheck& cancel)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    const auto& headroom = preset.exportSettings.headroom;
    const auto length = std::max<int64_t> (0, state.renderedLength);
    std::vector<size_t> owned;
    std::vector<double> gains (turns.size(), 1.0);

    for (size_t k = 0; k < turns.size(); ++k)
    {
        auto& turn = turns[k];

        if (turn.kind != StemTurn::Kind::submix)
            continue;

        const auto peaks = turn.meter->finish();
        double peak = headroom.peakMode == PeakMode::truePeak ? peaks.truePeak : peaks.samplePeak;

        if (turn.ownGain && ! turn.done && ! turn.failed)
        {
            const auto gain = computeGlobalGain (peaks, headroom);

            if (gain.error.isNotEmpty())
            {
                failTurn (turn, k, run, preset.schema.alternativeMixes[turn.plan].name + ": " + gain.error, false);
                continue;
            }

            gains[k] = gain.gainLinear;
            peak *= gain.gainLinear;
            owned.push_back (k);
        }

        turn.peakDb = gainToDecibels (peak);
    }

    parallelFor (state.getHelpers(), (int64_t) owned.size(), 1, [&] (int64_t begin, int64_t end)
                 {
                     for (auto i = (size_t) begin; i < (size_t) end; ++i)
                     {
                         const auto k = owned[i];
                         auto& turn = turns[k];

                         if (k >= run.firstFailed.load())
                             continue;

                         for (int64_t offset = 0; offset < length && ! turn.done && k < run.firstFailed.load(); offset += windowFrames)
                         {
                             if (isCancelRequested (cancel))
                             {
                                 failTurn (turn, k, run, {}, true);
                                 break;
                             }

                             const auto count = (int) std::min<int64_t> (windowFrames, length - offset);
                             juce::String error;

                             if (! turn.held.takeBack ((size_t) (offset / windowFrames), turn.window, count, error))
                             {
                                 failTurn (turn, k, run, "The alternative mix held until it was measured could not be read back: " + error, false);
                                 break;
                             }

                             applyGain (turn.window, count, gains[k]);

                             appendWindow (state, turn, k, run, turn.window, offset, count);
                         }

                         turn.held.clear();
                     }
                 });
}

} // namespace dunmoor::windowed
