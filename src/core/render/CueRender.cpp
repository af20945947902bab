#include "CueRender.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <set>

#include "core/audio/AudioFileReader.h"
#include "core/audio/LeadingSilence.h"
#include "core/audio/Resampler.h"
#include "core/codec/JuceFileEncoder.h"
#include "core/model/CodecCapabilities.h"
#include "core/preset/PathRules.h"
#include "core/render/OutputNaming.h"

namespace dunmoor
{

namespace
{
    constexpr int overviewBucketsForFiles = 1400;
    constexpr int overviewBucketsForGatedTracks = 3000;
    constexpr int maxWrittenFormatEntries = 2;

    double peakOfMode (PeakMode mode, double samplePeak, double truePeak)
    {
        return mode == PeakMode::truePeak ? truePeak : samplePeak;
    }

    juce::String kilohertzText (double rate)
    {
        return juce::String (rate / 1000.0, 1);
    }

    /** The alternative mixes the render writes: only when the preset has some and asks for them. */
    bool writesAlternativeMixes (const Preset& preset)
    {
        return preset.exportSettings.fullMix.exportSubmixes && ! preset.schema.alternativeMixes.empty();
    }

    bool isPlanned (const RenderRequest& request, const juce::String& stemId)
    {
        for (const auto& plan : request.stems)
            if (plan.id == stemId)
                return true;

        return false;
    }

    bool isMemberOfAnyMix (const Preset& preset, const juce::String& stemId)
    {
        for (const auto& mix : preset.schema.alternativeMixes)
            if (mix.stemIds.contains (stemId))
                return true;

        return false;
    }
} // namespace

//==============================================================================
struct CueRenderContext::Internals
{
    juce::AudioBuffer<double> stemBuffer;   // one stem at a time, reused for every stem

    /** One alternative mix, summed while its member stems are written. Members are added in
        the order of the mix's member list, as a sum made at the end would add them, so the
        written mix does not depend on when its members came along. */
    struct MixSum
    {
        const AlternativeMix* mix = nullptr;
        int nextMember = 0;                 // position in mix->stemIds of the next member to add
        bool hasMember = false;             // at least one member had a buffer
        bool allocated = false;
        juce::AudioBuffer<double> sum;
    };

    std::vector<MixSum> mixSums;
    std::set<juce::String> passedStems;     // stems whose turn in the write pass is over
    std::map<juce::String, std::shared_ptr<const juce::AudioBuffer<double>>> heldStems;   // finished members an earlier member still waits for

    void release()
    {
        stemBuffer = {};
        mixSums.clear();
        passedStems.clear();
        heldStems.clear();
    }
};

CueRenderContext::CueRenderContext (const RenderRequest& requestToUse, RenderCancelCheck cancelCheck, RenderProgressCallback progressCallback)
    : request (requestToUse)
    , shouldCancel (std::move (cancelCheck))
    , progress (std::move (progressCallback))
    , internals (std::make_unique<Internals>())
{
}

CueRenderContext::~CueRenderContext() = default;

bool CueRenderContext::isCancelled()
{
    if (! report.cancelled && shouldCancel != nullptr && shouldCancel())
        report.cancelled = true;

    return report.cancelled;
}

void CueRenderContext::reportProgress (double fraction, const juce::String& text, RenderJob::Phase phase)
{
    if (progress != nullptr)
        progress (fraction, text, phase);
}

void CueRenderContext::addWarningOnce (const juce::String& text)
{
    report.warnings.addIfNotAlreadyThere (text);
}

//==============================================================================
namespace
{
    /** Reads, converts, gates and sums the plan's tracks into buffer (already sized and cleared).
        In the summing pass, gated tracks are reported. */
    bool readStemTracks (CueRenderContext& context, const StemPlan& plan, StemReport& stemReport, juce::AudioBuffer<double>& buffer, bool summingPass)
    {
        const auto& request = context.request;
        const auto& gate = request.preset.exportSettings.silenceGate;
        auto& report = context.report;

        for (const auto& file : plan.tracks)
        {
            if (context.isCancelled())
                return false;

            juce::AudioBuffer<double> track;
            juce::String error;

            if (! readAudioFile (file, request.sampleRate, track, error, maxReadFrames))
            {
                stemReport.errors.add (file.getFileName() + ": " + error);
                report.errors.add (plan.name + ": " + file.getFileName() + ": " + error);
                return false;
            }

            if (track.getNumChannels() > request.numChannels)
            {
                const auto text = file.getFileName() + " has more channels than the project.";
                stemReport.errors.add (text);
                report.errors.add (plan.name + ": " + text);
                return false;
            }

            const auto gateReport = applySilenceGate (track, request.sampleRate, gate);

            if (gate.enabled && summingPass)
            {
                GatedTrackReport gated;
                gated.sourceFile = file.getFullPathName();
                gated.fileName = file.getFileName();
                gated.stemName = plan.name;
                gated.regionCount = gateReport.regionCount;
                gated.gatedSeconds = request.sampleRate > 0.0 ? (double) gateReport.gatedSamples / request.sampleRate : 0.0;
                gated.lengthSeconds = request.sampleRate > 0.0 ? (double) track.getNumSamples() / request.sampleRate : 0.0;
                gated.wholeFileSilent = gateReport.wholeFileSilent;
                gated.regions = gateReport.regions;
                gated.overview = overviewFromBuffer (track, request.sampleRate, overviewBucketsForGatedTracks);
                report.gatedTracks.push_back (std::move (gated));

                if (gateReport.wholeFileSilent)
                    report.warnings.add ("'" + file.getFileName() + "' was below the silence threshold from start to finish and is now digital silence.");
            }

            addBufferTo (buffer, track);
        }

        return true;
    }

    /** Sizes the reusable stem buffer to frames and clears it. */
    bool prepareStemBuffer (CueRenderContext& context, int64_t frames, juce::String& error)
    {
        auto& buffer = context.internals->stemBuffer;
        const auto numChannels = context.request.numChannels;

        if (buffer.getNumChannels() == numChannels && (int64_t) buffer.getNumSamples() >= frames)
        {
            buffer.setSize (numChannels, (int) frames, false, false, true);
            buffer.clear();
            return true;
        }

        // Give back the old block before asking for a bigger one.
        buffer = {};
        return allocateRenderBuffer (buffer, numChannels, frames, error);
    }

    void appendStemError (CueRenderContext& context, StemReport& stemReport, const juce::String& message)
    {
        stemReport.errors.add (message);
        context.report.errors.add (stemReport.name + ": " + message);
    }

    void assignStemNumbers (CueRenderContext& context)
    {
        const auto& settings = context.request.preset.exportSettings;
        auto& numbers = context.stemNumbers;
        numbers.clear();

        if (settings.naming.numbering == NumberingMode::schemaIndex)
        {
            for (const auto& plan : context.request.stems)
                numbers.push_back (plan.index);

            return;
        }

        int counter = 1;

        if (settings.naming.numberMixesFirst && settings.fullMix.exportMix)
        {
            counter = settings.fullMix.index + 1;

            if (settings.fullMix.exportSubmixes)
                counter += (int) context.request.preset.schema.alternativeMixes.size();
        }

        for (const auto& plan : context.request.stems)
        {
            const bool exported = ! plan.tracks.empty() || plan.emptyPolicy == EmptyStemPolicy::exportSilence;
            numbers.push_back (exported ? counter++ : 0);
        }
    }

    /** The folder an item of this kind goes to for the format entry, created when needed. */
    bool createOutputSubFolder (CueRenderContext& context, const OutputFormat& entry, int kind, juce::File& folder)
    {
        const auto& request = context.request;
        juce::StringArray parts;

        if (entry.subFolder.trim().isNotEmpty())
            parts.add (entry.subFolder.trim());

        const auto stemsFolder = request.preset.exportSettings.fullMix.stemsSubFolder.trim();

        if (kind == WrittenFile::stemKind && stemsFolder.isNotEmpty())
            parts.add (stemsFolder);

        if (parts.isEmpty())
        {
            folder = request.outputFolder;
            return true;
        }

        const auto joined = parts.joinIntoString ("/");

        if (! buildSubFolderPath (request.outputFolder, joined, folder))
        {
            context.report.errors.add ("The sub-folder '" + joined + "' is not a valid relative path.");
            return false;
        }

        if (! folder.isDirectory())
        {
            const auto result = folder.createDirectory();

            if (result.failed() || ! folder.isDirectory())
            {
                const auto reason = result.failed() ? result.getErrorMessage() : juce::String ("a file is in the way");
                context.report.errors.add ("Could not create '" + folder.getFullPathName() + "': " + reason);
                return false;
            }
        }

        return true;
    }

    /** Adds a finished member stem to every alternative mix waiting for it, in member-list
        order; holds it only while an earlier member of some mix is still to come. */
    bool collectMixMembers (CueRenderContext& context, const juce::String& stemId, std::shared_ptr<const juce::AudioBuffer<double>> finished)
    {
        auto& in = *context.internals;
        in.passedStems.insert (stemId);

        if (finished != nullptr)
            in.heldStems[stemId] = std::move (finished);

        for (auto& mixSum : in.mixSums)
        {
            const auto& members = mixSum.mix->stemIds;

            while (mixSum.nextMember < members.size())
            {
                const auto& memberId = members[mixSum.nextMember];

                // A planned member whose turn has not come yet: wait for it. A member that is not
                // in the plan never comes and is passed over.
                if (in.passedStems.count (memberId) == 0 && isPlanned (context.request, memberId))
                    break;

                const auto held = in.heldStems.find (memberId);

                if (held != in.heldStems.end())
                {
                    if (! mixSum.allocated)
                    {
                        juce::String error;

                        if (! allocateRenderBuffer (mixSum.sum, context.request.numChannels, context.renderedLength, error))
                        {
                            context.report.errors.add (mixSum.mix->name + ": " + error);
                            return false;
                        }

                        mixSum.allocated = true;
                    }

                    addBufferTo (mixSum.sum, *held->second);
                    mixSum.hasMember = true;
                }

                ++mixSum.nextMember;
            }
        }

        // Drop what no mix still waits for.
        for (auto it = in.heldStems.begin(); it != in.heldStems.end();)
        {
            bool needed = false;

            for (const auto& mixSum : in.mixSums)
                for (int m = mixSum.nextMember; m < mixSum.mix->stemIds.size() && ! needed; ++m)
                    needed = mixSum.mix->stemIds[m] == it->first;

            it = needed ? std::next (it) : in.heldStems.erase (it);
        }

        return true;
    }
} // namespace

//==============================================================================
bool sumAndMeasure (CueRenderContext& context)
{
    const auto& request = context.request;
    const auto& settings = request.preset.exportSettings;
    auto& report = context.report;
    juce::String error;

    if (! allocateRenderBuffer (context.mix, request.numChannels, request.lengthInFrames, error))
    {
        report.errors.add (error);
        return false;
    }

    const auto n = std::max<size_t> (1, request.stems.size());

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];

        if (context.isCancelled())
            return false;

        context.reportProgress (0.02 + 0.43 * (double) i / (double) n, "Summing " + plan.name + "...", RenderJob::Phase::summing);

        StemReport stemReport;
        stemReport.id = plan.id;
        stemReport.name = plan.name;
        stemReport.index = plan.index;
        stemReport.trackCount = (int) plan.tracks.size();

        if (plan.tracks.empty())
        {
            stemReport.isEmpty = true;
            stemReport.isDigitalSilence = true;
            stemReport.peakDb = -400.0;
            report.stems.push_back (std::move (stemReport));
            continue;
        }

        if (! prepareStemBuffer (context, request.lengthInFrames, error))
        {
            appendStemError (context, stemReport, error);
            report.stems.push_back (std::move (stemReport));
            return false;
        }

        auto& stem = context.internals->stemBuffer;

        if (! readStemTracks (context, plan, stemReport, stem, true))
        {
            report.stems.push_back (std::move (stemReport));
            return false;
        }

        const auto peak = measureSamplePeak (stem);
        stemReport.peakDb = gainToDecibels (peak);
        stemReport.isDigitalSilence = peak == 0.0;

        if (stemReport.isDigitalSilence)
            report.warnings.add ("Stem '" + plan.name + "' has tracks assigned but is digital silence.");

        addBufferTo (context.mix, stem);
        report.stems.push_back (std::move (stemReport));
    }

    // The stem buffer's memory is not needed again until writing.
    context.internals->stemBuffer = {};

    if (context.isCancelled())
        return false;

    report.leadingSilenceSeconds = findLeadingSilence (context.mix, request.sampleRate, leadingSilenceThreshold);

    if (request.headTrimSeconds > 0.0)
    {
        context.cutFrames = snapToZeroCrossing (context.mix, request.sampleRate, request.headTrimSeconds);
        report.appliedCutSeconds = request.sampleRate > 0.0 ? (double) context.cutFrames / request.sampleRate : 0.0;

        if (context.cutFrames > 0)
        {
            trimLeadingSilence (context.mix, context.cutFrames, request.sampleRate);
            report.lengthInFrames = context.mix.getNumSamples();
        }
    }

    context.renderedLength = request.lengthInFrames - context.cutFrames;

    context.reportProgress (0.46, "Measuring the mix...", RenderJob::Phase::measuring);

    const auto& headroom = settings.headroom;
    report.peakMode = headroom.peakMode;
    const auto peaks = measurePeaks (context.mix, headroom.peakMode, headroom.truePeakOversampling);
    report.mixSamplePeak = peaks.samplePeak;
    report.mixTruePeak = peaks.truePeak;

    if (! request.useFixedGain)
    {
        report.gain = computeGlobalGain (peaks, headroom);

        if (report.gain.error.isNotEmpty())
        {
            report.errors.add (report.gain.error);
            return false;
        }
    }
    else
    {
        // A shared gain was decided for the batch; the peaks must still be real numbers.
        if (! std::isfinite (peaks.samplePeak) || ! std::isfinite (peaks.truePeak))
        {
            report.errors.add ("The audio holds samples that are not finite numbers (NaN or infinity), so no gain can be applied.");
            return false;
        }

        auto& gain = report.gain;
        gain.targetDb = headroom.targetDb;
        gain.peakDb = peaks.samplePeak > 0.0 ? gainToDecibels (peakOfMode (headroom.peakMode, peaks.samplePeak, peaks.truePeak)) : -400.0;
        gain.gainDb = request.fixedGainDb;
        gain.gainLinear = decibelsToGain (gain.gainDb);
        gain.predictedPeakDb = gain.peakDb + gain.gainDb;
        gain.silent = peaks.samplePeak == 0.0;
        gain.heldAtZero = false;
    }

    for (auto& stemReport : report.stems)
        stemReport.peakAfterDb = stemReport.peakDb > -399.0 ? stemReport.peakDb + report.gain.gainDb : -400.0;

    if (report.gain.silent)
        report.warnings.add ("The full mix is silent; no gain was applied.");

    return true;
}

//==============================================================================
bool writeOutputFile (CueRenderContext& context, const OutputItem& item)
{
    const auto& request = context.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = context.report;
    const auto& audio = *item.buffer;

    const auto overview = overviewFromBuffer (audio, request.sampleRate, overviewBucketsForFiles);

    // Converted copies of the item, one per output rate (in whole hertz).
    std::map<juce::int64, juce::AudioBuffer<double>> converted;

    const auto entries = std::min<size_t> (maxWrittenFormatEntries, settings.formats.size());

    for (size_t e = 0; e < entries; ++e)
    {
        const auto& entry = settings.formats[e];
        const int ordinal = (int) e + 1;

        if (! entry.enabled)
            continue;

        if (context.isCancelled())
            return false;

        if (! isCodecAvailable (entry.codec))
        {
            report.errors.add (describeCodecAvailability (entry.codec));
            return false;
        }

        const double wanted = entry.sampleRate > 0.0 ? entry.sampleRate : request.sampleRate;
        const double rate = bestOutputSampleRate (entry.codec, wanted);

        if (std::abs (rate - wanted) > 0.5)
            context.addWarningOnce (codecToString (entry.codec).toUpperCase() + " cannot store " + kilohertzText (wanted)
                                    + " kHz; written at " + kilohertzText (rate) + " kHz instead.");

        const juce::AudioBuffer<double>* toWrite = &audio;

        if (std::abs (rate - request.sampleRate) > 0.5)
        {
            const auto key = (juce::int64) std::llround (rate);
            auto found = converted.find (key);

            if (found == converted.end())
            {
                juce::AudioBuffer<double> result;
                juce::String error;

                if (! resampleBuffer (audio, request.sampleRate, rate, result, error))
                {
                    report.errors.add (item.displayName + ": " + error);
                    return false;
                }

                found = converted.emplace (key, std::move (result)).first;
            }

            toWrite = &found->second;
        }

        juce::File folder;

        if (! createOutputSubFolder (context, entry, item.kind, folder))
            return false;

        NamingContext naming;
        naming.publisher = preset.metadata.publisher;
        naming.project = preset.metadata.project;
        naming.cue = preset.metadata.cue;
        naming.composer = preset.metadata.composer;
        naming.version = preset.metadata.version;
        naming.stemName = item.stemName;
        naming.stemCode = item.stemCode;
        naming.stemIndex = item.number;
        naming.indexPadding = settings.naming.indexPadding;
        naming.sampleRate = rate;
        naming.codec = entry.codec;
        naming.sampleFormat = entry.sampleFormat;
        naming.mp3Kbps = nearestMp3Bitrate (entry.mp3Bitrate);

        juce::StringArray unknownTokens;
        const auto name = buildOutputFileName (item.namingTemplate, naming, settings.naming, &unknownTokens);

        for (const auto& token : unknownTokens)
            context.addWarningOnce ("Unknown naming token " + token + " was ignored.");

        // Joined literally: a name may start with characters a path parser would read specially.
        auto file = juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + name);
        juce::String error;

        if (! resolveNameCollision (file, settings.naming.collisionPolicy, context.writtenPaths, error))
        {
            report.errors.add (error);
            return false;
        }

        if (! isPathInsideFolder (request.outputFolder, file))
        {
            report.errors.add ("Refusing to write outside the export folder: " + file.getFullPathName());
            return false;
        }

        if (! isPathLengthAcceptable (file))
        {
            report.errors.add ("The generated path is too long: " + file.getFullPathName());
            return false;
        }

        auto encoder = createEncoder (entry.codec, error);

        if (encoder == nullptr)
        {
            report.errors.add (error);
            return false;
        }

        EncoderSettings encoderSettings;
        encoderSettings.codec = entry.codec;
        encoderSettings.sampleFormat = entry.sampleFormat;
        encoderSettings.sampleRate = rate;
        encoderSettings.numChannels = toWrite->getNumChannels();
        encoderSettings.mp3Kbps = naming.mp3Kbps;
        encoderSettings.dither = entry.dither;
        encoderSettings.ditherSeed = (uint64_t) (ordinal * 31 + item.kind * 7919 + item.number * 1009 + 1);

        if (! encoder->encode (*toWrite, file, encoderSettings, error))
        {
            report.errors.add (item.displayName + " -> " + file.getFileName() + ": " + error);
            return false;
        }

        context.writtenPaths.add (file.getFullPathName());

        WrittenFile written;
        written.file = file;
        written.displayName = item.displayName;
        written.settingsDescription = encoderSettings.describe();
        written.sampleRate = rate;
        written.lossless = isLosslessCodec (entry.codec);
        written.kind = item.kind;
        written.fileSize = file.getSize();
        written.overview = overview;
        written.peakDb = item.peakDb;
        written.ownGain = item.ownGain;
        report.files.push_back (std::move (written));

        ReconstructionCandidate candidate;
        candidate.file = file;
        candidate.kind = item.kind;
        candidate.stemId = item.stemId;
        candidate.formatOrdinal = ordinal;
        candidate.lossless = isLosslessCodec (entry.codec);
        candidate.sampleRate = rate;
        candidate.sampleFormat = entry.sampleFormat;
        candidate.dither = entry.dither;
        context.candidates.push_back (candidate);
    }

    return true;
}

//==============================================================================
bool writeStemsAndFullMix (CueRenderContext& context)
{
    const auto& request = context.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = context.report;
    const auto gainLinear = report.gain.gainLinear;
    juce::String error;

    scaleBuffer (context.mix, gainLinear);

    if (settings.headroom.verifyLevelAfterGain)
    {
        const auto after = measurePeaks (context.mix, settings.headroom.peakMode, settings.headroom.truePeakOversampling);
        report.afterSamplePeak = after.samplePeak;
        report.afterTruePeak = after.truePeak;
        report.remeasured = true;
    }
    else
    {
        report.afterSamplePeak = gainLinear * report.mixSamplePeak;
        report.afterTruePeak = gainLinear * report.mixTruePeak;
    }

    report.clipCount = countFullScaleSamples (context.mix, 1.0);

    if (report.clipCount > 0)
        report.warnings.add (juce::String (report.clipCount) + " sample(s) reach or exceed full scale after the global gain.");

    if (context.isCancelled())
        return false;

    assignStemNumbers (context);

    auto& in = *context.internals;
    const bool keepMembers = writesAlternativeMixes (preset);

    if (keepMembers)
    {
        in.mixSums.clear();

        for (const auto& mix : preset.schema.alternativeMixes)
        {
            CueRenderContext::Internals::MixSum mixSum;
            mixSum.mix = &mix;
            in.mixSums.push_back (std::move (mixSum));
        }
    }

    const auto n = std::max<size_t> (1, request.stems.size());

    for (size_t i = 0; i < request.stems.size(); ++i)
    {
        const auto& plan = request.stems[i];
        auto& stemReport = report.stems[i];

        if (context.isCancelled())
            return false;

        context.reportProgress (0.48 + 0.42 * (double) i / (double) n, "Writing " + plan.name + "...", RenderJob::Phase::writing);

        std::shared_ptr<juce::AudioBuffer<double>> stem;

        try
        {
            stem = std::make_shared<juce::AudioBuffer<double>>();
        }
        catch (const std::bad_alloc&)
        {
            report.errors.add ("There is not enough memory to write " + plan.name + ".");
            return false;
        }

        if (plan.tracks.empty())
        {
            if (plan.emptyPolicy == EmptyStemPolicy::skip)
            {
                stemReport.skipped = true;

                if (keepMembers && ! collectMixMembers (context, plan.id, nullptr))
                    return false;

                continue;
            }

            if (plan.emptyPolicy == EmptyStemPolicy::failExport)
            {
                report.errors.add ("Stem '" + plan.name + "' is empty.");
                return false;
            }

            if (! allocateRenderBuffer (*stem, request.numChannels, context.renderedLength, error))
            {
                report.errors.add (error);
                return false;
            }
        }
        else
        {
            if (! allocateRenderBuffer (*stem, request.numChannels, request.lengthInFrames, error))
            {
                appendStemError (context, stemReport, error);
                return false;
            }

            if (! readStemTracks (context, plan, stemReport, *stem, false))
                return false;

            if (context.cutFrames > 0)
                trimLeadingSilence (*stem, context.cutFrames, request.sampleRate);

            scaleBuffer (*stem, gainLinear);
        }

        OutputItem item;
        item.buffer = stem.get();
        item.namingTemplate = plan.namingTemplate;
        item.stemName = plan.fileNameToken;
        item.stemCode = plan.shortCode;
        item.number = context.stemNumbers[i];
        item.displayName = plan.name;
        item.kind = WrittenFile::stemKind;
        item.peakDb = -400.0;
        item.ownGain = false;
        item.stemId = plan.id;

        if (! writeOutputFile (context, item))
            return false;

        if (keepMembers)
        {
            const bool member = isMemberOfAnyMix (preset, plan.id);

            if (! collectMixMembers (context, plan.id, member ? std::shared_ptr<const juce::AudioBuffer<double>> (stem) : nullptr))
                return false;
        }
    }

    if (context.isCancelled())
        return false;

    if (settings.fullMix.exportMix)
    {
        context.reportProgress (0.9, "Writing the full mix...", RenderJob::Phase::writing);

        OutputItem item;
        item.buffer = &context.mix;
        item.namingTemplate = settings.naming.mixTemplate;
        item.stemName = settings.fullMix.name;
        item.stemCode = settings.fullMix.code;
        item.number = settings.fullMix.index;
        item.displayName = settings.fullMix.name;
        item.kind = WrittenFile::fullMixKind;
        item.peakDb = gainToDecibels (peakOfMode (settings.headroom.peakMode, report.afterSamplePeak, report.afterTruePeak));
        item.ownGain = false;

        if (! writeOutputFile (context, item))
            return false;
    }

    if (! writeAlternativeMixes (context))
        return false;

    in.mixSums.clear();
    in.heldStems.clear();
    return true;
}

bool writeAlternativeMixes (CueRenderContext& context)
{
    const auto& request = context.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto& report = context.report;
    auto& in = *context.internals;

    if (! writesAlternativeMixes (preset))
        return true;

    int written = 0;

    for (size_t m = 0; m < preset.schema.alternativeMixes.size(); ++m)
    {
        const auto& mix = preset.schema.alternativeMixes[m];

        if (context.isCancelled())
            return false;

        context.reportProgress (0.92, "Writing " + mix.name + "...", RenderJob::Phase::writing);

        if (m >= in.mixSums.size() || ! in.mixSums[m].hasMember)
        {
            report.warnings.add ("Alternative mix '" + mix.name + "' has no stems with audio in them and was not written.");
            continue;
        }

        auto& sum = in.mixSums[m].sum;
        const auto& headroom = settings.headroom;
        const auto peaks = measurePeaks (sum, headroom.peakMode, headroom.truePeakOversampling);
        double peak = peakOfMode (headroom.peakMode, peaks.samplePeak, peaks.truePeak);

        if (headroom.submixesReachTargetIndependently)
        {
            const auto gain = computeGlobalGain (peaks, headroom);

            if (gain.error.isNotEmpty())
            {
                report.errors.add (mix.name + ": " + gain.error);
                return false;
            }

            scaleBuffer (sum, gain.gainLinear);
            peak *= gain.gainLinear;
        }

        OutputItem item;
        item.buffer = &sum;
        item.namingTemplate = settings.naming.mixTemplate;
        item.stemName = mix.name;
        item.stemCode = mix.shortCode.trim().isNotEmpty() ? mix.shortCode.trim() : mix.name;
        item.number = settings.fullMix.index + 1 + written;
        item.displayName = mix.name;
        item.kind = WrittenFile::alternativeMixKind;
        item.peakDb = gainToDecibels (peak);
        item.ownGain = headroom.submixesReachTargetIndependently;

        if (! writeOutputFile (context, item))
            return false;

        // Its memory goes back before the next mix is written.
        sum = {};
        ++written;
    }

    return true;
}

//==============================================================================
void verifyReconstruction (CueRenderContext& context)
{
    auto& report = context.report;

    if (context.isCancelled())
    {
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "The render was cancelled.";
        return;
    }

    context.reportProgress (0.93, "Verifying that the stems reconstruct the mix...", RenderJob::Phase::verifying);

    const auto inputs = chooseReconstructionInputs (context.candidates, context.request.sampleRate);

    if (! inputs.hasMix)
    {
        report.reconstruction.state = ReconstructionState::skipped;
        report.reconstruction.detail = "No lossless full mix was written at the project sample rate.";
        return;
    }

    // The mix bus is not needed any more; its memory goes back before the files are read.
    context.mix = {};

    const auto tolerance = reconstructionTolerance (inputs.bits, (int) inputs.stemFiles.size(), inputs.ditherKind);
    report.reconstruction = runReconstructionCheck (inputs.stemFiles, inputs.mixFile, tolerance);

    if (report.reconstruction.state == ReconstructionState::failed)
        report.errors.add ("Reconstruction check failed: " + report.reconstruction.detail);

    context.reportProgress (0.99, "Verification finished.", RenderJob::Phase::verifying);
}

//==============================================================================
CueReport renderCue (CueRenderContext& context)
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    const auto& request = context.request;
    auto& report = context.report;

    report.numChannels = request.numChannels;
    report.lengthInFrames = request.lengthInFrames;
    report.sampleRate = request.sampleRate;
    report.unassignedTracks = request.unassignedTracks;
    report.cueName = request.cueName;
    report.cueKey = request.cueKey;
    report.sourceFolder = request.sourceFolder;
    report.outputFolder = request.outputFolder;

    try
    {
        const auto validation = validatePlan (request);
        report.warnings.addArray (validation.warnings);

        if (! validation.errors.isEmpty())
        {
            report.errors.addArray (validation.errors);
        }
        else if (sumAndMeasure (context))
        {
            if (request.measureOnly)
            {
                report.ok = ! context.isCancelled();
            }
            else if (writeStemsAndFullMix (context))
            {
                verifyReconstruction (context);
                report.ok = ! context.isCancelled() && report.errors.isEmpty();
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        report.errors.add ("There is not enough memory to render this cue.");
        report.ok = false;
    }

    // Whatever happened, the cue's buffers go now.
    context.mix = {};
    context.internals->release();

    report.elapsedSeconds = (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;
    context.reportProgress (1.0, report.cancelled ? "Cancelled." : "Finished.", RenderJob::Phase::finished);
    return report;
}

} // namespace dunmoor
