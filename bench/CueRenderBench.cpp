// Renders one realistic cue end to end and compares it with the plain file traffic it causes.
//
// The cue: 48 stereo tracks of 4 minutes (24-bit, 48 kHz, four of them at 44.1 kHz) with
// names a composer's export would have, three per stem of the built-in example preset, plus
// two alternative mixes (an instrumental without Vocals and Choir, and one without
// Signature): 16 stems, the full mix and 2 alternative mixes as 24-bit WAV with TPDF dither,
// true peak 4x, and the reconstruction check.
//
// A second, mixed-format cue of 9 tracks goes through the same render: 3 stereo WAVs at
// 44.1 kHz, 3 stereo FLAC files, 2 stereo AIFF files and 1 mono WAV, all 24-bit.
//
// The I/O floor is the byte traffic of one render with no processing: every input read twice,
// every output written once and flushed to the disk (as the render's writer flushes its
// files), and the stems and the mix read back once. It is measured before and after every
// render (floor, render, floor, render, ...), so that a render is set beside the disk as it
// was over the whole session, and each wall time is compared with the median of all floors
// (the lowest is shown beside it). A process of its own (bench/io_floor.py) measures the same
// traffic in the same gaps, alternately before and after the bench's own, and the output says
// whether the two floors agree within 10 %.
//
// Reported for each cue: wall time, CPU time (system time apart), CPU time per wall second and
// peak memory of 5 renders with worker threads (median and range) and of one on the render
// thread alone; the floors and what each part of them took; a hash of the written files
// (FNV-1a 64 over every file's name and bytes, in writing order); and whether every run wrote
// the same bytes as a first, uncounted render.
//
// Usage: CueRenderBench [--data <folder>] [--minutes <n>] [--cue long|mixed|both] [--keep]
//                       [--once] [--workers <n>] [--runs <n>] [--twenty-minutes]
// The generated tracks stay in the data folder (default: a folder in the temporary
// directory) and are reused by later runs; --keep also keeps the rendered files of the first
// run. --once renders each cue a single time (for profiling), with --workers worker threads
// (-1: automatic). --runs changes the number of counted renders with worker threads.
// --twenty-minutes also renders the 48 tracks at 20 minutes each (about 17 GB of tracks in
// the data folder, and as much again written per render) and sets its peak memory beside the
// 48-track cue's.

#include <sys/resource.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <string>

#include <juce_audio_formats/juce_audio_formats.h>

#include "core/model/BuiltInPresets.h"
#include "core/render/CueRender.h"

using namespace dunmoor;

namespace
{
    constexpr double projectRate = 48000.0;

    enum class TrackFormat
    {
        wav,
        flac,
        aiff
    };

    struct TrackSpec
    {
        const char* fileName;
        const char* stem;
        bool at44k;
        TrackFormat format = TrackFormat::wav;
        int channels = 2;
    };

    // Three tracks per stem, four of them delivered at 44.1 kHz.
    const TrackSpec trackSpecs[] = {
        { "01 Shaker Loop", "Percussion High", false },   { "02 Tambourine Hits", "Percussion High", false }, { "03 Bell Tree", "Percussion High", true },
        { "04 Taiko Ensemble", "Percussion Low", false },  { "05 Timpani Rolls", "Percussion Low", false },   { "06 Frame Drum", "Percussion Low", false },
        { "07 Kick", "Drums", false },                     { "08 Snare Top", "Drums", false },                { "09 Overheads", "Drums", false },
        { "10 French Horns a4", "Brass", false },          { "11 Trumpets", "Brass", false },                 { "12 Low Brass Cimbasso", "Brass", false },
        { "13 Violins I Spiccato", "Strings", false },     { "14 Violas Legato", "Strings", false },          { "15 Celli Pizzicato", "Strings", true },
        { "16 Flutes", "Woodwinds", false },               { "17 Clarinets", "Woodwinds", false },            { "18 Bassoons", "Woodwinds", false },
        { "19 Felt Piano", "Piano", false },               { "20 Celesta", "Piano", false },                  { "21 Grand Piano Low", "Piano", false },
        { "22 Acoustic Guitar", "Guitars", false },        { "23 Electric Guitar DI", "Guitars", true },      { "24 Mandolin", "Guitars", false },
        { "25 Synth Pad Wide", "Synthesizers", false },    { "26 Saw Lead", "Synthesizers", false },          { "27 Arp Synth", "Synthesizers", false },
        { "28 Sub Bass", "Bass", false },                  { "29 Bass Guitar", "Bass", false },               { "30 Synth Bass", "Bass", false },
        { "31 Choir Sopranos", "Choir", false },           { "32 Choir Basses", "Choir", false },             { "33 Choir Aahs", "Choir", false },
        { "34 Lead Vocal", "Vocals", false },              { "35 Backing Vocals", "Vocals", false },          { "36 Vocal Chops", "Vocals", true },
        { "37 Riser FX", "Sound Design", false },          { "38 Whoosh Impacts", "Sound Design", false },    { "39 Braams", "Sound Design", false },
        { "40 Signature Motif", "Signature", false },      { "41 Signature Hits", "Signature", false },       { "42 Logo Sting", "Signature", false },
        { "43 Drone Low", "Drones", false },               { "44 Drone Texture", "Drones", false },           { "45 Drone Shimmer", "Drones", false },
        { "46 Pulse Ostinato", "Pulses", false },          { "47 Clock Pulse", "Pulses", false },             { "48 Sequenced Pulse", "Pulses", false },
    };

    // The mixed-format cue: one or two tracks for each of eight stems.
    const TrackSpec mixedTrackSpecs[] = {
        { "01 Violins Spiccato", "Strings", true },
        { "02 Celli Legato", "Strings", true },
        { "03 French Horns", "Brass", true },
        { "04 Felt Piano", "Piano", false, TrackFormat::flac },
        { "05 Synth Pad Wide", "Synthesizers", false, TrackFormat::flac },
        { "06 Sub Bass", "Bass", false, TrackFormat::flac },
        { "07 Taiko Ensemble", "Percussion Low", false, TrackFormat::aiff },
        { "08 Choir Aahs", "Choir", false, TrackFormat::aiff },
        { "09 Lead Vocal", "Vocals", false, TrackFormat::wav, 1 },
    };

    struct CueSpec
    {
        const char* name;
        const char* folder;     // inside the data folder; empty: the data folder itself
        std::vector<TrackSpec> tracks;
        double floorGoal;       // the median wall time's goal, in multiples of the I/O floor
        double systemGoal;      // seconds; 0: none
        double memoryGoal;      // GB; 0: none
    };

    juce::String goalText (double goal, const char* unit)
    {
        return goal > 0.0 ? "  goal: under " + juce::String (goal, 1) + unit : juce::String();
    }

    //==========================================================================
    struct CpuTimes
    {
        double total = 0.0;
        double system = 0.0;
    };

    CpuTimes cpuSeconds()
    {
        rusage usage {};
        getrusage (RUSAGE_SELF, &usage);
        auto seconds = [] (const timeval& t) { return (double) t.tv_sec + (double) t.tv_usec / 1.0e6; };
        return { seconds (usage.ru_utime) + seconds (usage.ru_stime), seconds (usage.ru_stime) };
    }

    double wallSeconds()
    {
        return juce::Time::getMillisecondCounterHiRes() / 1000.0;
    }

    /** Resets the kernel's peak-resident-size mark of this process. */
    void resetPeakMemory()
    {
        std::ofstream ("/proc/self/clear_refs") << "5";
    }

    /** The peak resident size since the last reset, in MB. */
    double peakMemoryMB()
    {
        std::ifstream status ("/proc/self/status");
        std::string line;

        while (std::getline (status, line))
            if (line.rfind ("VmHWM:", 0) == 0)
                return std::stod (line.substr (6)) / 1024.0;

        return 0.0;
    }

    //==========================================================================
    /** A plausible part: two partials with a slow swell, a little noise, a stereo offset. */
    void generateTrack (juce::AudioBuffer<float>& buffer, double rate, int seed)
    {
        juce::Random random (seed);
        const double f1 = 40.0 + 900.0 * random.nextDouble();
        const double f2 = f1 * (1.5 + random.nextDouble());
        const double swell = 0.05 + 0.2 * random.nextDouble();
        const float level = 0.01f + 0.03f * random.nextFloat();
        const double twoPi = juce::MathConstants<double>::twoPi;

        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        {
            auto* x = buffer.getWritePointer (ch);
            const double phase = 0.4 * ch;

            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                const double t = i / rate;
                const double envelope = 0.6 + 0.4 * std::sin (twoPi * swell * t);
                const double tone = std::sin (twoPi * f1 * t + phase) + 0.5 * std::sin (twoPi * f2 * t);
                x[i] = level * (float) (envelope * tone) + 0.002f * (random.nextFloat() - 0.5f);
            }
        }
    }

    const char* extensionOf (TrackFormat format)
    {
        return format == TrackFormat::flac ? ".flac" : (format == TrackFormat::aiff ? ".aif" : ".wav");
    }

    bool writeTrack24 (const juce::File& file, const juce::AudioBuffer<float>& buffer, double rate, TrackFormat trackFormat)
    {
        file.deleteFile();
        auto stream = file.createOutputStream();

        if (stream == nullptr)
            return false;

        std::unique_ptr<juce::AudioFormat> format;

        if (trackFormat == TrackFormat::flac)
            format = std::make_unique<juce::FlacAudioFormat>();
        else if (trackFormat == TrackFormat::aiff)
            format = std::make_unique<juce::AiffAudioFormat>();
        else
            format = std::make_unique<juce::WavAudioFormat>();

        std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (stream.get(), rate, (unsigned int) buffer.getNumChannels(), 24, {}, 0));

        if (writer == nullptr)
            return false;

        stream.release();
        return writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
    }

    /** The tracks of the cue, generated once into the folder. */
    std::vector<juce::File> prepareTracks (const juce::File& folder, const std::vector<TrackSpec>& specs, double minutes)
    {
        folder.createDirectory();
        const auto stamp = folder.getChildFile ("complete-" + juce::String (minutes, 2) + "min.txt");
        std::vector<juce::File> files;

        for (const auto& spec : specs)
            files.push_back (folder.getChildFile (juce::String (spec.fileName) + extensionOf (spec.format)));

        if (stamp.existsAsFile())
            return files;

        std::printf ("Generating %d tracks of %.2f minutes in %s ...\n", (int) files.size(), minutes, folder.getFullPathName().toRawUTF8());

        for (size_t i = 0; i < files.size(); ++i)
        {
            const double rate = specs[i].at44k ? 44100.0 : 48000.0;
            juce::AudioBuffer<float> buffer (specs[i].channels, (int) std::llround (minutes * 60.0 * rate));
            generateTrack (buffer, rate, (int) i + 1);

            if (! writeTrack24 (files[i], buffer, rate, specs[i].format))
            {
                std::printf ("Could not write %s\n", files[i].getFullPathName().toRawUTF8());
                return {};
            }
        }

        stamp.replaceWithText ("ok");
        return files;
    }

    RenderRequest makeBenchRequest (const std::vector<TrackSpec>& specs, const std::vector<juce::File>& tracks, const juce::File& outputFolder, double minutes)
    {
        auto preset = makeHybridOrchestraExamplePreset();
        preset.metadata.project = "Bench";
        preset.metadata.cue = "1m01 Opening";
        auto& settings = preset.exportSettings;
        settings.formats.front().codec = Codec::wav;
        settings.formats.front().sampleFormat = SampleFormat::pcm24;
        settings.formats.front().dither = DitherKind::tpdf;
        settings.headroom.peakMode = PeakMode::truePeak;
        settings.headroom.truePeakOversampling = 4;
        settings.fullMix.exportMix = true;
        settings.fullMix.exportSubmixes = true;
        settings.requireDecisionOnUnassigned = false;

        auto& schema = preset.schema;
        const auto instrumental = schema.addAlternativeMix ("Instrumental");
        const auto noSignature = schema.addAlternativeMix ("No Signature");

        for (const auto& stem : schema.stems)
        {
            (void) schema.setAlternativeMixMember (instrumental, stem.id, stem.displayName != "Vocals" && stem.displayName != "Choir");
            (void) schema.setAlternativeMixMember (noSignature, stem.id, stem.displayName != "Signature");
        }

        schema.findAlternativeMix (instrumental)->shortCode = "INST";
        schema.findAlternativeMix (noSignature)->shortCode = "NOSIG";

        RenderRequest request;
        request.preset = preset;
        request.outputFolder = outputFolder;
        request.cueName = preset.metadata.cue;
        request.sampleRate = projectRate;
        request.numChannels = 2;
        request.lengthInFrames = (int64_t) std::llround (minutes * 60.0 * projectRate);

        for (const auto& stem : schema.stems)
        {
            auto plan = makeStemPlan (stem, settings);

            for (size_t i = 0; i < tracks.size(); ++i)
                if (stem.displayName == specs[i].stem)
                    plan.tracks.push_back (tracks[i]);

            request.stems.push_back (plan);
        }

        return request;
    }

    //==========================================================================
    struct RenderRun
    {
        CueReport report;
        double wall = 0.0;
        double cpu = 0.0;
        double system = 0.0;
        double peakMB = 0.0;
        std::vector<std::pair<juce::String, double>> stages;   // first progress text of each phase, with its time
    };

    RenderRun renderOnce (const RenderRequest& request, int workers)
    {
        RenderRun run;
        request.outputFolder.deleteRecursively();
        resetPeakMemory();
        const auto cpu0 = cpuSeconds();
        const auto wall0 = wallSeconds();
        int lastPhase = -1;

        CueRenderContext context (request, {}, [&] (double, const juce::String& text, RenderJob::Phase phase)
                                  {
                                      if ((int) phase != lastPhase)
                                          run.stages.push_back ({ text, wallSeconds() - wall0 });

                                      lastPhase = (int) phase;
                                  });
        context.workerThreads = workers;
        run.report = renderCue (context);

        run.wall = wallSeconds() - wall0;
        const auto cpu1 = cpuSeconds();
        run.cpu = cpu1.total - cpu0.total;
        run.system = cpu1.system - cpu0.system;
        run.peakMB = peakMemoryMB();
        return run;
    }

    /** Reads every byte of the file in 4 MB pieces; the count of bytes read. */
    juce::int64 readAllBytes (const juce::File& file, std::vector<char>& scratch)
    {
        juce::FileInputStream in (file);
        juce::int64 total = 0;

        if (! in.openedOk())
            return 0;

        for (;;)
        {
            const auto n = in.read (scratch.data(), (int) scratch.size());

            if (n <= 0)
                break;

            total += n;
        }

        return total;
    }

    /** One measurement of the I/O floor, with what each part of the traffic took. */
    struct FloorRun
    {
        double total = 0.0;
        double reading = 0.0;       // the inputs, twice
        double writing = 0.0;       // the outputs, each flushed to the disk
        double readingBack = 0.0;   // the stems and the mix
    };

    /** The byte traffic of one render with no processing: the inputs read twice, the outputs
        written once (each flushed to the disk, as the encoder's stream is), and the stems and
        the mix read back once. */
    FloorRun measureIoFloor (const std::vector<juce::File>& inputs, const CueReport& rendered, const juce::File& scratchFolder, juce::int64& bytesMoved)
    {
        std::vector<char> scratch (4 << 20);
        scratchFolder.deleteRecursively();
        scratchFolder.createDirectory();
        bytesMoved = 0;
        FloorRun run;

        const auto t0 = wallSeconds();

        for (int pass = 0; pass < 2; ++pass)
            for (const auto& f : inputs)
                bytesMoved += readAllBytes (f, scratch);

        const auto t1 = wallSeconds();
        int index = 0;

        for (const auto& written : rendered.files)
        {
            juce::FileOutputStream out (scratchFolder.getChildFile ("file" + juce::String (index++) + ".bin"));

            for (juce::int64 left = written.fileSize; left > 0;)
            {
                const auto n = (int) std::min<juce::int64> (left, (juce::int64) scratch.size());
                out.write (scratch.data(), (size_t) n);
                left -= n;
                bytesMoved += n;
            }

            out.flush();   // fsync, as the encoder's stream does
        }

        const auto t2 = wallSeconds();

        for (const auto& written : rendered.files)
            if (written.kind != WrittenFile::alternativeMixKind)
                bytesMoved += readAllBytes (written.file, scratch);

        const auto t3 = wallSeconds();
        scratchFolder.deleteRecursively();

        run.total = t3 - t0;
        run.reading = t1 - t0;
        run.writing = t2 - t1;
        run.readingBack = t3 - t2;
        return run;
    }

    /** The same traffic as measureIoFloor, written down for the separate floor program. */
    juce::File writeFloorManifest (const std::vector<juce::File>& inputs, const CueReport& rendered, const juce::File& folder)
    {
        juce::StringArray steps;

        for (int pass = 0; pass < 2; ++pass)
            for (const auto& f : inputs)
                steps.add ("read " + f.getFullPathName());

        for (const auto& written : rendered.files)
            steps.add ("write " + juce::String (written.fileSize));

        for (const auto& written : rendered.files)
            if (written.kind != WrittenFile::alternativeMixKind)
                steps.add ("read " + written.file.getFullPathName());

        const auto manifest = folder.getChildFile ("io-floor-manifest.txt");
        manifest.replaceWithText (steps.joinIntoString ("\n") + "\n");
        return manifest;
    }

    /** The floor as bench/io_floor.py measures it in a process of its own; 0 when the program
        could not be run. */
    double measureSeparateFloor (const juce::File& manifest, const juce::File& scratchFolder)
    {
        const auto script = juce::File (DUNMOOR_BENCH_SOURCE_DIR).getChildFile ("io_floor.py");

        if (! script.existsAsFile())
            return 0.0;

        juce::ChildProcess process;
        juce::StringArray command;
        command.add ("python3");
        command.add (script.getFullPathName());
        command.add (manifest.getFullPathName());
        command.add (scratchFolder.getFullPathName());

        if (! process.start (command, juce::ChildProcess::wantStdOut))
            return 0.0;

        const auto output = process.readAllProcessOutput();
        process.waitForProcessToFinish (60000);
        return process.getExitCode() == 0 ? output.trim().getDoubleValue() : 0.0;
    }

    bool sameFiles (const CueReport& a, const CueReport& b, juce::String& difference)
    {
        if (a.files.size() != b.files.size())
        {
            difference = "different numbers of files";
            return false;
        }

        for (size_t i = 0; i < a.files.size(); ++i)
        {
            juce::MemoryBlock x, y;

            if (a.files[i].file.getFileName() != b.files[i].file.getFileName()
                || ! a.files[i].file.loadFileAsData (x) || ! b.files[i].file.loadFileAsData (y) || x != y)
            {
                difference = a.files[i].file.getFileName();
                return false;
            }
        }

        return true;
    }

    /** FNV-1a (64 bits) over every written file's name and bytes, in writing order: equal
        hashes from two builds mean byte-identical deliveries. */
    juce::String hashOfFiles (const CueReport& report)
    {
        uint64_t hash = 0xcbf29ce484222325ull;
        std::vector<char> scratch (4 << 20);

        auto add = [&hash] (const char* data, size_t size)
        {
            for (size_t i = 0; i < size; ++i)
            {
                hash ^= (uint8_t) data[i];
                hash *= 0x100000001b3ull;
            }
        };

        for (const auto& written : report.files)
        {
            const auto name = written.file.getFileName();
            add (name.toRawUTF8(), name.getNumBytesAsUTF8() + 1);
            juce::FileInputStream in (written.file);

            for (int n; (n = in.read (scratch.data(), (int) scratch.size())) > 0;)
                add (scratch.data(), (size_t) n);
        }

        return juce::String::toHexString ((juce::int64) hash).paddedLeft ('0', 16);
    }

    void printRun (const char* label, const RenderRun& run, double floor, bool withStages = true)
    {
        const auto ratio = floor > 0.0 ? " (" + juce::String (run.wall / floor, 2) + "x the floor median)" : juce::String();
        std::printf ("%-30s wall %7.2f s%s  cpu %7.2f s (%.2f per wall second)  system %6.2f s  peak memory %6.0f MiB  %s\n",
                     label, run.wall, ratio.toRawUTF8(), run.cpu, run.cpu / run.wall, run.system, run.peakMB, run.report.ok ? "ok" : "FAILED");

        if (withStages)
            for (const auto& stage : run.stages)
                std::printf ("    %7.2f s  %s\n", stage.second, stage.first.toRawUTF8());
    }

    struct Spread
    {
        double median = 0.0, lowest = 0.0, highest = 0.0;
    };

    Spread spreadOf (std::vector<double> values)
    {
        if (values.empty())
            return {};

        std::sort (values.begin(), values.end());
        const auto n = values.size();
        const auto median = n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
        return { median, values.front(), values.back() };
    }

    struct BenchOptions
    {
        juce::File dataFolder;
        double minutes = 4.0;
        bool keep = false;
        bool once = false;
        bool twentyMinutes = false;
        int workers = -1;
        int runs = 5;
    };

    /** What a cue's bench found, for comparing cues. */
    struct CueOutcome
    {
        bool ok = false;
        double peakMemoryGB = 0.0;      // median of the counted renders
        double wall = 0.0;
        double ratio = 0.0;
    };

    double loadAverage()
    {
        return juce::File ("/proc/loadavg").loadFileAsString().upToFirstOccurrenceOf (" ", false, false).getDoubleValue();
    }

    /** Renders the cue once to know its files, then options.runs times with worker threads and
        once on the render thread alone, with the I/O floor measured before and after each of
        them; prints every figure beside the floor. Not ok when a render failed or the runs
        differ. */
    CueOutcome benchCue (const CueSpec& cue, const BenchOptions& options, double minutes)
    {
        CueOutcome outcome;
        const auto folder = juce::String (cue.folder).isEmpty() ? options.dataFolder : options.dataFolder.getChildFile (cue.folder);
        const auto tracks = prepareTracks (folder.getChildFile ("tracks"), cue.tracks, minutes);

        if (tracks.empty())
            return outcome;

        const auto request = makeBenchRequest (cue.tracks, tracks, folder.getChildFile ("out-0"), minutes);

        std::printf ("\n=== %s: %d tracks, %.2f minutes, %d stems, full mix and 2 alternative mixes; %d hardware threads, load average %.2f\n",
                     cue.name, (int) tracks.size(), minutes, (int) request.stems.size(), juce::SystemStats::getNumCpus(), loadAverage());

        // A warm-up read puts the inputs in the page cache for every measurement alike.
        {
            std::vector<char> scratch (4 << 20);

            for (const auto& f : tracks)
                readAllBytes (f, scratch);
        }

        // The first render is not counted: it tells the files and their sizes the floor writes,
        // and every later render is compared with its output.
        const auto first = renderOnce (request, options.workers);

        if (! first.report.ok)
        {
            std::printf ("The render failed:\n%s\n", first.report.errors.joinIntoString ("\n").toRawUTF8());
            return outcome;
        }

        if (options.once)
        {
            printRun ("render", first, 0.0, true);
            std::printf ("hash of the written files: %s\n", hashOfFiles (first.report).toRawUTF8());

            if (! options.keep)
                request.outputFolder.deleteRecursively();

            outcome.ok = true;
            outcome.peakMemoryGB = first.peakMB * 1048576.0 / 1.0e9;
            return outcome;
        }

        const auto manifest = writeFloorManifest (tracks, first.report, folder);
        const auto floorScratch = folder.getChildFile ("io-floor");
        const auto separateScratch = folder.getChildFile ("io-floor-separate");
        std::vector<FloorRun> floors;
        std::vector<double> separateFloors;
        juce::int64 bytes = 0;

        // Both floors are taken in each gap between renders, in turns first, so that neither
        // always meets the disk straight after a render.
        auto measureGap = [&]
        {
            const bool ownFirst = floors.size() % 2 == 0;

            if (! ownFirst)
                separateFloors.push_back (measureSeparateFloor (manifest, separateScratch));

            floors.push_back (measureIoFloor (tracks, first.report, floorScratch, bytes));

            if (ownFirst)
                separateFloors.push_back (measureSeparateFloor (manifest, separateScratch));
        };

        const int workerRuns = std::max (1, options.runs);
        std::vector<RenderRun> runs;
        std::vector<double> loads;
        bool identical = true;

        measureGap();

        for (int i = 1; i <= workerRuns + 1; ++i)
        {
            const bool withWorkers = i <= workerRuns;
            auto again = request;
            again.outputFolder = folder.getChildFile ("out-" + juce::String (i));
            loads.push_back (loadAverage());
            runs.push_back (renderOnce (again, withWorkers ? options.workers : 0));

            juce::String d;
            const bool same = sameFiles (first.report, runs.back().report, d);
            std::printf ("run %d (%s): output %s %s\n", i, withWorkers ? "worker threads" : "render thread only",
                         same ? "identical to the first render" : "DIFFERS from the first render in", d.toRawUTF8());
            identical = identical && same && runs.back().report.ok;
            again.outputFolder.deleteRecursively();

            measureGap();
        }

        std::vector<double> floorTotals;

        for (const auto& f : floors)
            floorTotals.push_back (f.total);

        const auto floor = spreadOf (floorTotals);

        std::printf ("\nI/O floor for %.2f GB moved, before and after every render (reading / writing with fsync / reading back):\n", (double) bytes / 1.0e9);

        for (size_t i = 0; i < floors.size(); ++i)
            std::printf ("  %-14s %5.2f s  (%.2f / %.2f / %.2f s)   separate program %5.2f s\n",
                         i == 0 ? "before run 1" : ("after run " + juce::String ((int) i)).toRawUTF8(),
                         floors[i].total, floors[i].reading, floors[i].writing, floors[i].readingBack, separateFloors[i]);

        std::printf ("\n");

        for (size_t i = 0; i < runs.size(); ++i)
        {
            const auto label = i < (size_t) workerRuns ? "render " + juce::String ((int) i + 1) + " (worker threads)" : "render " + juce::String ((int) i + 1) + " (render thread only)";
            printRun (label.toRawUTF8(), runs[i], floor.median, i == 0);
        }

        std::vector<double> walls, cpuPerWall, systems, peaks;

        for (size_t i = 0; i < (size_t) workerRuns; ++i)
        {
            walls.push_back (runs[i].wall);
            cpuPerWall.push_back (runs[i].cpu / runs[i].wall);
            systems.push_back (runs[i].system);
            peaks.push_back (runs[i].peakMB * 1048576.0 / 1.0e9);
        }

        std::vector<double> separateMeasured;

        for (auto f : separateFloors)
            if (f > 0.0)
                separateMeasured.push_back (f);

        const auto wall = spreadOf (walls);
        const auto usage = spreadOf (cpuPerWall);
        const auto separate = spreadOf (separateMeasured);
        const auto system = spreadOf (systems);
        const auto peak = spreadOf (peaks);
        const auto load = spreadOf (loads);
        const auto& r = first.report;

        std::printf ("\n%s, %d runs with worker threads (median, range), load average %.1f (%.1f..%.1f) at their starts:\n",
                     cue.name, workerRuns, load.median, load.lowest, load.highest);
        std::printf ("  I/O floor     %6.2f s  (%.2f..%.2f s) over %d measurements, flushed as the render flushes\n",
                     floor.median, floor.lowest, floor.highest, (int) floors.size());

        if (separateMeasured.empty())
        {
            std::printf ("  separate floor program: could not be run (python3 and bench/io_floor.py are needed)\n");
        }
        else
        {
            const auto difference = separate.median / floor.median - 1.0;
            std::printf ("  separate floor program %6.2f s  (%.2f..%.2f s): %+.1f %% from the bench's own, %s\n",
                         separate.median, separate.lowest, separate.highest, 100.0 * difference,
                         std::abs (difference) <= 0.10 ? "agrees within 10 %" : "does NOT agree within 10 %");
        }

        std::printf ("  wall          %6.2f s  (%.2f..%.2f s)   %.2fx the floor's median, %.2fx its lowest%s\n",
                     wall.median, wall.lowest, wall.highest, wall.median / floor.median, wall.median / floor.lowest,
                     goalText (cue.floorGoal, "x").toRawUTF8());
        std::printf ("  CPU per wall  %6.2f    (%.2f..%.2f)\n", usage.median, usage.lowest, usage.highest);
        std::printf ("  system CPU    %6.2f s  (%.2f..%.2f s)%s\n",
                     system.median, system.lowest, system.highest, goalText (cue.systemGoal, " s").toRawUTF8());
        std::printf ("  peak memory   %6.2f GB (%.2f..%.2f GB)%s\n", peak.median, peak.lowest, peak.highest, goalText (cue.memoryGoal, " GB").toRawUTF8());
        std::printf ("mix peak %.2f dBTP, gain %.2f dB, reconstruction: %s (%s), %d files\n",
                     gainToDecibels (r.mixTruePeak), r.gain.gainDb,
                     r.reconstruction.state == ReconstructionState::passed ? "passed" : "NOT PASSED",
                     r.reconstruction.detail.toRawUTF8(), (int) r.files.size());
        std::printf ("hash of the written files: %s\n", hashOfFiles (r).toRawUTF8());
        std::printf ("identical output across runs and without worker threads: %s\n", identical ? "yes" : "NO");

        if (! options.keep)
            request.outputFolder.deleteRecursively();

        manifest.deleteFile();
        outcome.ok = identical && r.ok;
        outcome.peakMemoryGB = peak.median;
        outcome.wall = wall.median;
        outcome.ratio = wall.median / floor.median;
        return outcome;
    }
} // namespace

int main (int argc, char** argv)
{
    BenchOptions options;
    options.dataFolder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("brackenfold-render-bench");
    juce::String cues = "both";

    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);

        if (arg == "--data" && i + 1 < argc)
            options.dataFolder = juce::File (juce::String (argv[++i]));
        else if (arg == "--minutes" && i + 1 < argc)
            options.minutes = juce::String (argv[++i]).getDoubleValue();
        else if (arg == "--cue" && i + 1 < argc)
            cues = argv[++i];
        else if (arg == "--keep")
            options.keep = true;
        else if (arg == "--once")
            options.once = true;
        else if (arg == "--twenty-minutes")
            options.twentyMinutes = true;
        else if (arg == "--workers" && i + 1 < argc)
            options.workers = juce::String (argv[++i]).getIntValue();
        else if (arg == "--runs" && i + 1 < argc)
            options.runs = juce::String (argv[++i]).getIntValue();
    }

    bool ok = true;
    const CueSpec longCue { "48-track cue", "", { std::begin (trackSpecs), std::end (trackSpecs) }, 1.5, 3.0, 0.8 };

    // The long cue keeps its folder of earlier versions of this benchmark, so its tracks are reused.
    CueOutcome longOutcome;

    if (cues == "both" || cues == "long" || options.twentyMinutes)
    {
        longOutcome = benchCue (longCue, options, options.minutes);
        ok = longOutcome.ok && ok;
    }

    if (cues == "both" || cues == "mixed")
        ok = benchCue ({ "mixed-format cue", "mixed", { std::begin (mixedTrackSpecs), std::end (mixedTrackSpecs) }, 2.0, 0.0, 0.0 }, options, options.minutes).ok && ok;

    if (options.twentyMinutes)
    {
        // The same 48 tracks at 20 minutes: the render's memory must not grow with the cue.
        constexpr double longMinutes = 20.0;
        const auto folder = options.dataFolder.getChildFile ("twenty-minutes");
        folder.createDirectory();
        const auto trackBytes = (juce::int64) (longMinutes * 60.0 * projectRate * 6.0 * 48.0);
        const auto alreadyThere = folder.getChildFile ("tracks").getChildFile ("complete-" + juce::String (longMinutes, 2) + "min.txt").existsAsFile();
        const auto needed = (alreadyThere ? 0 : trackBytes) + trackBytes * 4 / 5;   // the tracks, and two renders' files (the first one's stays for comparing)

        if (folder.getBytesFreeOnVolume() < needed)
        {
            std::printf ("\nThe 20-minute cue needs %.1f GB free in %s; %.1f GB are.\n", (double) needed / 1.0e9,
                         folder.getFullPathName().toRawUTF8(), (double) folder.getBytesFreeOnVolume() / 1.0e9);
            return 1;
        }

        auto twenty = longCue;
        twenty.name = "48-track cue at 20 minutes";
        twenty.folder = "twenty-minutes";
        const auto outcome = benchCue (twenty, options, longMinutes);
        ok = outcome.ok && ok;

        if (longOutcome.peakMemoryGB > 0.0 && outcome.peakMemoryGB > 0.0)
            std::printf ("\npeak memory at 20 minutes: %.2f GB, %.2fx the %.0f-minute cue's %.2f GB  goal: at most 1.10x\n",
                         outcome.peakMemoryGB, outcome.peakMemoryGB / longOutcome.peakMemoryGB, options.minutes, longOutcome.peakMemoryGB);
    }

    return ok ? 0 : 1;
}
