#include "OutputWriter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>

#include "CueRenderStages.h"
#include "core/audio/Resampler.h"
#include "core/codec/JuceFileEncoder.h"
#include "core/model/CodecCapabilities.h"
#include "core/files/PathRules.h"
#include "core/render/OutputNaming.h"
#include "core/files/FileRename.h"

namespace dunmoor
{

struct EarlyEntry;

/** One format entry of an item being written. */
struct EncodeJob
{
    int ordinal = 1;
    juce::File file;                                // where it is delivered
    juce::File staged;                              // where it is written until the cue has succeeded
    EncoderSettings settings;
    std::unique_ptr<AudioEncoder> encoder;
    bool convert = false;                           // written at another rate than the project's
    std::shared_ptr<EarlyEntry> early;              // encoded ahead into a hidden file; only moved into place
    std::unique_ptr<juce::TemporaryFile> hidden;    // encoded into this hidden file, moved into place in turn
    std::unique_ptr<EncodeSession> session;         // encoded a window at a time into the staged file
    juce::StringArray warnings;     // added to the cue when this entry is recorded
    WrittenFile written;
    ReconstructionCandidate candidate;

    bool attempted = false;
    bool ok = false;
    bool cancelled = false;         // stopped by the cue's cancel: no error of its own
    juce::String error;
};

/** A format entry of the full mix encoded at the start of the writing pass into a hidden
    file beside its final place, so that the mix's memory can go before the stems are
    written. At the mix's turn the file is moved into place under the name decided then; a
    file never moved is deleted with the entry. */
struct EarlyEntry
{
    int ordinal = 1;
    std::unique_ptr<juce::TemporaryFile> temporary;
    std::unique_ptr<AudioEncoder> encoder;
    EncoderSettings settings;
    bool convert = false;
    bool ok = false;
    bool cancelled = false;     // stopped by the cue's cancel: no error of its own
    juce::String error;
};

/** The full mix encoded ahead: its entries and the overview its written files share. */
struct EarlyMix
{
    ConstBuffer buffer;
    CancelCheck cancel;
    ParallelTasks parallel;
    double projectRate = 48000.0;
    std::vector<std::shared_ptr<EarlyEntry>> entries;
    WaveformOverview overview;
    std::shared_ptr<RenderTask> task;
    bool coversEveryEntry = false;  // every enabled entry is among them: the mix itself is not needed again
};

/** An item whose files are being encoded: its entries are written one after another, the
    second only when the first succeeded, exactly as the render thread would. */
struct PendingWrite
{
    ConstBuffer buffer;
    CancelCheck cancel;
    ParallelTasks parallel;
    double projectRate = 48000.0;
    juce::String displayName;
    juce::String stemId;            // of a stem; empty for the mixes
    std::vector<EncodeJob> jobs;
    WaveformOverview overview;
    std::shared_ptr<RenderTask> task;

    // Written a window at a time: the overview as the windows come, and the first entry that
    // failed (the entries before it go on; it and those after it are dropped).
    std::unique_ptr<WaveformOverviewBuilder> overviewBuilder;
    size_t failedJob = 0;

    // An entry that could not be prepared stops the cue once the entries before it are written.
    bool stopAfterJobs = false;
    juce::String stopError;         // empty for a cancel
    juce::StringArray stopWarnings;

    // What the render thread decided after this item while it was still being written: a
    // skipped empty stem or a warning. Told once the item is recorded, and only when it
    // succeeds, so the report reads as if the files had been written one after another.
    struct LaterNote
    {
        int skippedStem = -1;       // index into the report's stems, or -1
        juce::String warning;
    };

    std::vector<LaterNote> laterNotes;
};

//==============================================================================
namespace
{
    constexpr int overviewBucketsForFiles = 1400;
    constexpr int maxWrittenFormatEntries = 2;

    /** True when the file, which is about to be written, is a source track of the cue or of
        another cue of its batch (the same path, or the same file under the same name through a
        linked folder or another letter case). */
    bool isSourceTrack (const CueRenderState& state, const juce::File& file)
    {
        if (! file.exists())
            return false;

        // The disk is asked only about tracks of the same name apart from letter case (a linked
        // folder or a case-insensitive disk): a delivery written again over itself, with every
        // output already there, would otherwise ask it about every track for every output.
        auto isThisFile = [&file] (const juce::File& track)
        {
            return track == file
                || (track.getFileName().equalsIgnoreCase (file.getFileName()) && isSameFileOnDisk (track, file));
        };

        for (const auto& stem : state.request.stems)
            if (std::any_of (stem.tracks.begin(), stem.tracks.end(), isThisFile))
                return true;

        return state.batchSourceTracks != nullptr
            && std::any_of (state.batchSourceTracks->begin(), state.batchSourceTracks->end(), isThisFile);
    }

    /** An output as the messages name it: its display name and what kind of file it is. */
    juce::String describeItem (const juce::String& displayName, int kind)
    {
        return displayName + (kind == WrittenFile::fullMixKind          ? " (full mix)"
                               : kind == WrittenFile::alternativeMixKind ? " (alternative mix)"
                                                                         : " (stem)");
    }

    /** A refused name, told with both outputs when it clashes with one written earlier in this
        cue under the overwrite policy (an alternative mix named like the full mix, say). */
    juce::String describeNameClash (const CueRenderState& state, CollisionPolicy policy,
                                    const juce::String& item, const juce::File& file, const juce::String& refusal)
    {
        const auto earlier = state.writtenPaths.indexOf (file.getFullPathName(), true);

        if (policy != CollisionPolicy::overwrite || earlier < 0 || earlier >= state.writtenItems.size())
            return refusal;

        const auto& earlierItem = state.writtenItems[earlier];
        return (earlierItem == item ? item : item + " and " + earlierItem) + ": " + refusal;
    }

    /** The rate a format entry is written at: its own or the project's, as the codec can store it. */
    double outputRateOf (const OutputFormat& entry, double projectRate)
    {
        return bestOutputSampleRate (entry.codec, entry.sampleRate > 0.0 ? entry.sampleRate : projectRate);
    }

    /** How an item is encoded in a format entry. The dither seed depends only on the entry's
        position, the kind of item and its number, so the full mix encoded ahead is the very
        file its own turn would have written, and every run of the same cue writes the same
        files. */
    EncoderSettings makeEncoderSettings (const OutputFormat& entry, double rate, int numChannels, int ordinal, int kind, int number)
    {
        EncoderSettings settings;
        settings.codec = entry.codec;
        settings.sampleFormat = entry.sampleFormat;
        settings.sampleRate = rate;
        settings.numChannels = numChannels;
        settings.mp3Kbps = nearestMp3Bitrate (entry.mp3Bitrate);
        settings.dither = entry.dither;
        settings.ditherSeed = (uint64_t) (ordinal * 31 + kind * 7919 + number * 1009 + 1);
        return settings;
    }

    /** A hidden file in the folder to encode into before it is moved into place under its
        name; null when its path, with the encoder's own temporary file beside it, would be too
        long. */
    std::unique_ptr<juce::TemporaryFile> makeHiddenFile (const juce::File& folder, const juce::String& name)
    {
        auto hidden = std::make_unique<juce::TemporaryFile> (juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + name),
                                                             juce::TemporaryFile::useHiddenFile);

        if (hidden->getFile().getFullPathName().length() + 24 > maxFullPathLength)
            return {};

        return hidden;
    }

    /** The folder an item of this kind goes to for the format entry, created when needed. */
    bool createOutputSubFolder (CueRenderState& state, const OutputFormat& entry, int kind, juce::File& folder, juce::String& error)
    {
        const auto& request = state.request;
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
            error = "The sub-folder '" + joined + "' is not a valid relative path.";
            return false;
        }

        if (! folder.isDirectory())
        {
            state.noteFoldersToCreate (folder);
            const auto result = folder.createDirectory();

            if (result.failed() || ! folder.isDirectory())
            {
                const auto reason = result.failed() ? result.getErrorMessage() : juce::String ("a file is in the way");
                error = "Could not create '" + folder.getFullPathName() + "': " + reason;
                return false;
            }
        }

        return true;
    }

    /** The audio an entry writes: the item itself, or its copy at the entry's rate (made once
        per rate and shared by the entries). Null with the reason in error. */
    const juce::AudioBuffer<double>* audioForEntry (const juce::AudioBuffer<double>& item,
                                                    double projectRate,
                                                    bool convert,
                                                    double rate,
                                                    std::map<juce::int64, juce::AudioBuffer<double>>& converted,
                                                    juce::String& error,
                                                    const CancelCheck& cancel)
    {
        if (! convert)
            return &item;

        const auto key = (juce::int64) std::llround (rate);
        auto found = converted.find (key);

        if (found == converted.end())
        {
            juce::AudioBuffer<double> result;

            if (! resampleBuffer (item, projectRate, rate, result, error, cancel))
                return nullptr;

            found = converted.emplace (key, std::move (result)).first;
        }

        return &found->second;
    }

    void performEarlyMix (EarlyMix& early)
    {
        try
        {
            early.overview = overviewFromBuffer (*early.buffer, early.projectRate, overviewBucketsForFiles);
            std::map<juce::int64, juce::AudioBuffer<double>> converted;

            for (auto& entry : early.entries)
            {
                juce::String error;
                const auto* audio = audioForEntry (*early.buffer, early.projectRate, entry->convert, entry->settings.sampleRate, converted, error, early.cancel);

                if (audio == nullptr)
                {
                    entry->error = error;
                    entry->cancelled = isCancelledError (error);
                    continue;
                }

                entry->settings.numChannels = audio->getNumChannels();
                entry->ok = entry->encoder->encode (*audio, entry->temporary->getFile(), entry->settings, entry->error, early.cancel, early.parallel);
                entry->cancelled = ! entry->ok && isCancelledError (entry->error);
            }
        }
        catch (const std::bad_alloc&)
        {
            for (auto& entry : early.entries)
                if (! entry->ok && entry->error.isEmpty())
                    entry->error = "There is not enough memory to write the full mix.";
        }
        catch (const std::exception& e)
        {
            for (auto& entry : early.entries)
                if (! entry->ok && entry->error.isEmpty())
                    entry->error = "The full mix could not be written: " + juce::String (e.what());
        }
    }

    void performWrite (PendingWrite& pending)
    {
        try
        {
            if (pending.buffer != nullptr)
                pending.overview = overviewFromBuffer (*pending.buffer, pending.projectRate, overviewBucketsForFiles);

            std::map<juce::int64, juce::AudioBuffer<double>> converted;

            for (auto& job : pending.jobs)
            {
                job.attempted = true;

                if (job.early != nullptr)
                {
                    // Encoded ahead; it is moved into place when its turn is recorded.
                    if (! job.early->ok)
                    {
                        job.cancelled = job.early->cancelled;
                        job.error = pending.displayName + " -> " + job.file.getFileName() + ": " + job.early->error;
                        return;
                    }

                    job.settings.numChannels = job.early->settings.numChannels;
                }
                else
                {
                    if (pending.buffer == nullptr)
                    {
                        job.error = "Could not write " + pending.displayName + ".";
                        return;
                    }

                    juce::String error;
                    const auto* audio = audioForEntry (*pending.buffer, pending.projectRate, job.convert, job.settings.sampleRate, converted, error, pending.cancel);

                    if (audio == nullptr)
                    {
                        job.cancelled = isCancelledError (error);
                        job.error = pending.displayName + ": " + error;
                        return;
                    }

                    job.settings.numChannels = audio->getNumChannels();
                    const auto target = job.hidden != nullptr ? job.hidden->getFile() : job.staged;

                    if (! job.encoder->encode (*audio, target, job.settings, error, pending.cancel, pending.parallel))
                    {
                        job.cancelled = isCancelledError (error);
                        job.error = pending.displayName + " -> " + job.file.getFileName() + ": " + error;
                        return;
                    }
                }

                job.ok = true;
                job.written.settingsDescription = job.settings.describe();
            }
        }
        catch (const std::exception& e)
        {
            const auto outOfMemory = dynamic_cast<const std::bad_alloc*> (&e) != nullptr;

            for (auto& job : pending.jobs)
            {
                if (job.attempted && ! job.ok && job.error.isEmpty())
                    job.error = outOfMemory ? "There is not enough memory to write " + pending.displayName + "."
                                            : pending.displayName + " could not be written: " + juce::String (e.what());

                if (job.attempted && ! job.ok)
                    break;
            }
        }
    }

    void tellNote (CueReport& report, const PendingWrite::LaterNote& note)
    {
        if (note.skippedStem >= 0 && note.skippedStem < (int) report.stems.size())
            report.stems[(size_t) note.skippedStem].skipped = true;

        if (note.warning.isNotEmpty())
            report.warnings.add (note.warning);
    }
} // namespace

//==============================================================================
OutputWriter::OutputWriter() = default;

OutputWriter::~OutputWriter() = default;

bool OutputWriter::settle (CueRenderState& state)
{
    while (! pending.empty())
        if (! settleOldest (state))
            return false;

    return true;
}

bool OutputWriter::write (CueRenderState& state, const OutputItem& item)
{
    // Room for this item among the writes under way (none stay open when writing in place).
    while ((int) pending.size() >= std::max (1, writesInFlight))
        if (! settleOldest (state))
            return false;

    // The full mix may have been encoded ahead; its files are only moved into place here.
    const auto early = item.kind == WrittenFile::fullMixKind ? earlyMix : nullptr;

    if (early != nullptr && early->task != nullptr)
        state.waitFor (*early->task);

    auto added = prepare (state, item, early);

    auto* target = added.get();
    pending.push_back (std::move (added));

    if (early != nullptr)
        earlyMix = nullptr;   // the pending write holds the entries it moves

    if (target->jobs.empty())
        return settle (state);

    // With several items under way, each goes through hidden files moved into place in writing
    // order, so that no file lands on disk before the files written ahead of it. An item whose
    // hidden path would be too long is written in place, alone.
    bool inPlace = writesInFlight < 2;

    for (auto& job : target->jobs)
    {
        if (inPlace || job.early != nullptr)
            continue;

        job.hidden = makeHiddenFile (job.staged.getParentDirectory(), "bf" + job.file.getFileExtension());

        if (job.hidden == nullptr)
            inPlace = true;
    }

    if (inPlace)
    {
        for (auto& job : target->jobs)
            job.hidden.reset();

        while (pending.size() > 1)
            if (! settleOldest (state))
                return false;
    }

    target->task = state.getWorkers().run ([target] { performWrite (*target); });

    // Written in the background only when nothing stops the cue here; otherwise the entries
    // before the refusal are finished now and the refusal told after them.
    if (writesInFlight == 0 || target->stopAfterJobs || (inPlace && writesInFlight >= 2))
        return settle (state);

    return true;
}

std::unique_ptr<PendingWrite> OutputWriter::prepare (CueRenderState& state, const OutputItem& item, const std::shared_ptr<EarlyMix>& early)
{
    const auto& request = state.request;
    const auto& preset = request.preset;
    const auto& settings = preset.exportSettings;
    auto added = std::make_unique<PendingWrite>();
    added->buffer = item.buffer != nullptr && item.buffer->getNumChannels() > 0 ? item.buffer : nullptr;
    added->cancel = state.makeOperationCancelCheck();
    added->parallel = state.makeParallelTasks();
    added->projectRate = request.sampleRate;
    added->displayName = item.displayName;
    added->stemId = item.kind == WrittenFile::stemKind ? item.stemId : juce::String();

    if (early != nullptr)
        added->overview = early->overview;

    const auto entries = std::min<size_t> (maxWrittenFormatEntries, settings.formats.size());

    // Everything that decides names and may refuse is done here, in order; only encoding is left
    // to the task.
    for (size_t e = 0; e < entries && ! added->stopAfterJobs; ++e)
    {
        const auto& entry = settings.formats[e];
        const int ordinal = (int) e + 1;

        if (! entry.enabled)
            continue;

        juce::StringArray warnings;

        auto stop = [&] (const juce::String& error)
        {
            added->stopAfterJobs = true;
            added->stopError = error;
            added->stopWarnings = warnings;
        };

        if (state.isCancelled())
        {
            stop ({});
            break;
        }

        if (! isCodecAvailable (entry.codec))
        {
            stop (describeCodecAvailability (entry.codec));
            break;
        }

        const double wanted = entry.sampleRate > 0.0 ? entry.sampleRate : request.sampleRate;
        const double rate = outputRateOf (entry, request.sampleRate);

        if (std::abs (rate - wanted) > 0.5)
            warnings.add (codecToString (entry.codec).toUpperCase() + " cannot store " + formatKilohertzWithOneDecimal (wanted)
                          + "; written at " + formatKilohertzWithOneDecimal (rate) + " instead.");

        juce::File folder;
        juce::String error;

        if (! createOutputSubFolder (state, entry, item.kind, folder, error))
        {
            stop (error);
            break;
        }

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
            warnings.add ("Unknown naming token " + token + " was ignored.");

        // Joined literally: a name may start with characters a path parser would read specially.
        auto file = juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + name);

        if (! resolveNameCollision (file, settings.naming.collisionPolicy, state.writtenPaths, error))
        {
            stop (describeNameClash (state, settings.naming.collisionPolicy, describeItem (item.displayName, item.kind), file, error));
            break;
        }

        if (! isPathInsideFolder (request.outputFolder, file))
        {
            stop ("Refusing to write outside the export folder: " + file.getFullPathName());
            break;
        }

        if (! isPathLengthAcceptable (file))
        {
            stop ("The generated path is too long: " + file.getFullPathName());
            break;
        }

        // An earlier delivery imported as tracks lies where the new one goes: replacing one of
        // its files would destroy a source of this render or of a later cue, still to be read.
        if (isSourceTrack (state, file))
        {
            stop ("Refusing to overwrite a source track: " + file.getFullPathName());
            break;
        }

        // A folder at the target path can't be replaced; found now, before anything is written.
        if (file.isDirectory())
        {
            stop (item.displayName + " -> " + file.getFileName() + ": Could not replace '" + file.getFullPathName() + "'.");
            break;
        }

        auto encoder = createEncoder (entry.codec, error);

        if (encoder == nullptr)
        {
            stop (error);
            break;
        }

        const auto staged = state.staging.stage (file, error);

        if (staged == juce::File())
        {
            stop (error);
            break;
        }

        EncodeJob job;
        job.ordinal = ordinal;
        job.file = file;
        job.staged = staged;
        job.encoder = std::move (encoder);
        job.convert = std::abs (rate - request.sampleRate) > 0.5;
        job.warnings = warnings;

        job.settings = makeEncoderSettings (entry, rate, request.numChannels, ordinal, item.kind, item.number);

        auto& written = job.written;
        written.file = file;
        written.displayName = item.displayName;
        written.stemId = item.kind == WrittenFile::stemKind ? item.stemId : juce::String();
        written.sampleRate = rate;
        written.lossless = isLosslessCodec (entry.codec);
        written.kind = item.kind;
        written.peakDb = item.peakDb;
        written.ownGain = item.ownGain;

        auto& candidate = job.candidate;
        candidate.file = staged;    // checked before the files are moved into place
        candidate.kind = item.kind;
        candidate.stemId = item.stemId;
        candidate.formatOrdinal = ordinal;
        candidate.lossless = written.lossless;
        candidate.sampleRate = rate;
        candidate.sampleFormat = entry.sampleFormat;
        candidate.dither = entry.dither;

        if (early != nullptr)
            for (const auto& earlyEntry : early->entries)
                if (earlyEntry->ordinal == ordinal)
                    job.early = earlyEntry;

        // Reserved now: the next entry's name must see this one as taken.
        state.writtenPaths.add (file.getFullPathName());
        state.writtenItems.add (describeItem (item.displayName, item.kind));
        added->jobs.push_back (std::move (job));
    }

    return added;
}

//==============================================================================
WindowedWrite::WindowedWrite() = default;
WindowedWrite::~WindowedWrite() = default;

bool WindowedWrite::isEmpty() const
{
    return write->jobs.empty();
}

bool WindowedWrite::stopsTheCue() const
{
    return write->stopAfterJobs;
}

namespace
{
    /** Drops entry j and those after it: a failed entry stops the entries after it, as when
        they are written one after another. */
    void dropJobsFrom (PendingWrite& write, size_t j)
    {
        for (size_t k = j; k < write.jobs.size(); ++k)
        {
            write.jobs[k].session.reset();

            if (k > j)
                write.jobs[k].attempted = false;
        }

        write.failedJob = std::min (write.failedJob, j);
    }
} // namespace

bool WindowedWrite::append (const juce::AudioBuffer<double>& window, int count)
{
    auto& w = *write;

    try
    {
        if (w.overviewBuilder != nullptr)
            w.overviewBuilder->add (window.getArrayOfReadPointers(), framesAppended, count);

        for (size_t j = 0; j < w.failedJob; ++j)
        {
            auto& job = w.jobs[j];
            juce::String error;

            if (! job.session->append (window, count, error, w.cancel))
            {
                job.cancelled = isCancelledError (error);
                job.error = w.displayName + " -> " + job.file.getFileName() + ": " + error;
                dropJobsFrom (w, j);
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        if (w.failedJob > 0)
        {
            w.jobs.front().error = "There is not enough memory to write " + w.displayName + ".";
            dropJobsFrom (w, 0);
        }
    }

    framesAppended += count;
    return w.failedJob > 0;
}

bool OutputWriter::writesAtProjectRate (const RenderRequest& request)
{
    const auto& formats = request.preset.exportSettings.formats;

    for (size_t e = 0; e < std::min<size_t> (maxWrittenFormatEntries, formats.size()); ++e)
        if (formats[e].enabled && std::abs (outputRateOf (formats[e], request.sampleRate) - request.sampleRate) > 0.5)
            return false;

    return true;
}

std::unique_ptr<WindowedWrite> OutputWriter::open (CueRenderState& state, const OutputItem& item, juce::int64 frames)
{
    const auto& request = state.request;
    std::unique_ptr<WindowedWrite> windowed (new WindowedWrite());
    windowed->write = prepare (state, item, nullptr);
    auto& w = *windowed->write;
    w.buffer = nullptr;
    w.overviewBuilder = std::make_unique<WaveformOverviewBuilder> (request.numChannels, frames, request.sampleRate, overviewBucketsForFiles);
    w.failedJob = w.jobs.size();

    for (size_t j = 0; j < w.jobs.size(); ++j)
    {
        auto& job = w.jobs[j];
        juce::String error;
        job.attempted = true;
        job.settings.numChannels = request.numChannels;
        job.session = job.encoder->begin (job.staged, job.settings, request.numChannels, frames, error);

        if (job.session == nullptr)
        {
            job.error = w.displayName + " -> " + job.file.getFileName() + ": " + error;
            dropJobsFrom (w, j);
            break;
        }

        windowed->windowFrames = std::max (windowed->windowFrames, job.session->getWindowFrames());
    }

    return windowed;
}

void WindowedWrite::setPeakDb (double peakDb)
{
    for (auto& job : write->jobs)
        job.written.peakDb = peakDb;
}

void WindowedWrite::finish()
{
    if (finished)
        return;

    finished = true;
    auto& w = *write;

    for (size_t j = 0; j < w.failedJob; ++j)
    {
        auto& job = w.jobs[j];
        juce::String error;

        if (! job.session->finish (error))
        {
            job.cancelled = isCancelledError (error);
            job.error = w.displayName + " -> " + job.file.getFileName() + ": " + error;
            dropJobsFrom (w, j);
            break;
        }

        job.session.reset();
        job.ok = true;
        job.written.settingsDescription = job.settings.describe();
    }

    if (w.overviewBuilder != nullptr)
        w.overview = w.overviewBuilder->finish();
}

bool OutputWriter::close (CueRenderState& state, std::unique_ptr<WindowedWrite> windowed)
{
    windowed->finish();
    pending.push_back (std::move (windowed->write));
    return settle (state);
}

//==============================================================================
void OutputWriter::startEarlyMix (CueRenderState& state)
{
    const auto& request = state.request;
    const auto& settings = request.preset.exportSettings;

    auto early = std::make_shared<EarlyMix>();
    early->buffer = ConstBuffer (&state.mix, [] (const juce::AudioBuffer<double>*) {});
    early->cancel = state.makeOperationCancelCheck();
    early->parallel = state.makeParallelTasks();
    early->projectRate = request.sampleRate;

    const auto entries = std::min<size_t> (maxWrittenFormatEntries, settings.formats.size());
    size_t enabled = 0;

    for (size_t e = 0; e < entries; ++e)
    {
        const auto& format = settings.formats[e];

        if (! format.enabled)
            continue;

        ++enabled;

        if (! isCodecAvailable (format.codec))
            continue;

        juce::File folder;
        juce::String error;

        if (! createOutputSubFolder (state, format, WrittenFile::fullMixKind, folder, error))
            continue;

        folder = state.staging.getFolder (error);

        if (folder == juce::File())
            continue;

        auto encoder = createEncoder (format.codec, error);

        if (encoder == nullptr)
            continue;

        auto entry = std::make_shared<EarlyEntry>();
        entry->ordinal = (int) e + 1;
        entry->encoder = std::move (encoder);
        entry->temporary = makeHiddenFile (folder, "full-mix" + codecFileExtension (format.codec));

        if (entry->temporary == nullptr)
            continue;

        const double rate = outputRateOf (format, request.sampleRate);
        entry->convert = std::abs (rate - request.sampleRate) > 0.5;
        entry->settings = makeEncoderSettings (format, rate, request.numChannels, entry->ordinal, WrittenFile::fullMixKind, settings.fullMix.index);

        early->entries.push_back (std::move (entry));
    }

    if (early->entries.empty())
        return;

    early->coversEveryEntry = early->entries.size() == enabled;
    auto task = early;
    early->task = state.getWorkers().run ([task] { performEarlyMix (*task); });
    earlyMix = std::move (early);
}

bool OutputWriter::hasWrittenWholeMixAhead() const
{
    return earlyMix != nullptr && earlyMix->coversEveryEntry && earlyMix->task->isDone();
}

void OutputWriter::tellAfterWrites (CueRenderState& state, int skippedStem, const juce::String& warning)
{
    const PendingWrite::LaterNote note { skippedStem, warning };

    if (pending.empty())
        tellNote (state.report, note);
    else
        pending.back()->laterNotes.push_back (note);
}

bool OutputWriter::settleOldest (CueRenderState& state)
{
    if (pending.empty())
        return true;

    // A file being encoded is finished, or stopped by a cancel and then left off the disk.
    auto write = std::move (pending.front());
    pending.pop_front();

    if (write->task != nullptr)
        state.waitFor (*write->task);

    auto& report = state.report;
    bool ok = true;
    bool stoppedHere = false;   // by a failure of this item (not a cancel)

    for (auto& job : write->jobs)
    {
        for (const auto& warning : job.warnings)
            state.addWarningOnce (warning);

        if (job.ok && (job.hidden != nullptr || job.early != nullptr))
        {
            const auto hidden = job.hidden != nullptr ? job.hidden->getFile() : job.early->temporary->getFile();

            if (! hidden.replaceFileIn (job.staged))
            {
                job.ok = false;
                job.error = write->displayName + " -> " + job.file.getFileName() + ": Could not write '" + job.staged.getFullPathName() + "'.";
            }
        }

        if (! job.ok)
        {
            // A cancelled encode is the cue's cancel (already noticed by the render thread,
            // which is what the workers' checks see), not an error of the file.
            if (! job.cancelled)
            {
                report.errors.add (job.error.isNotEmpty() ? job.error : "Could not write " + write->displayName + ".");
                stoppedHere = true;
            }

            ok = false;
            break;
        }

        job.written.fileSize = job.staged.getSize();
        job.written.overview = write->overview;
        report.files.push_back (std::move (job.written));
        state.candidates.push_back (job.candidate);
    }

    if (ok && write->stopAfterJobs)
    {
        for (const auto& warning : write->stopWarnings)
            state.addWarningOnce (warning);

        if (write->stopError.isNotEmpty())
            report.errors.add (write->stopError);

        stoppedHere = write->stopError.isNotEmpty();
        ok = false;
    }

    if (ok && write->stemId.isNotEmpty())
        for (auto& stem : report.stems)
            if (stem.id == write->stemId)
                stem.written = true;

    if (ok)
        for (const auto& note : write->laterNotes)
            tellNote (state.report, note);

    if (stoppedHere)
        noteStoppedAt (report, write->displayName);

    if (! ok)
        discardPending (state);

    return ok;
}

void OutputWriter::discardPending (CueRenderState& state)
{
    for (auto& write : pending)
        if (write->task != nullptr)
            state.waitFor (*write->task);

    pending.clear();
}

void OutputWriter::release (CueRenderState& state)
{
    discardPending (state);

    if (earlyMix != nullptr && earlyMix->task != nullptr)
        state.waitFor (*earlyMix->task);

    earlyMix.reset();   // deletes any hidden file never moved into place
}

} // namespace dunmoor
