#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "core/render/RenderMemoryPlan.h"
#include "core/render/TrackPrefetcher.h"

using namespace dunmoor;
using namespace dunmoor::testing;

namespace
{
    constexpr int frames = 48000;

    ReadSettings projectRate()
    {
        ReadSettings settings;
        settings.sampleRate = 48000.0;
        return settings;
    }

    int64_t stereoBytes() { return bytesOfBuffer (2, frames); }
} // namespace

// Reads ahead stay within their budget; only the read the rendering thread asks for starts
// whatever the budget says, since the render cannot go on without it.
TEST (TrackPrefetcher, ReadsAheadStayWithinTheirBudget)
{
    TemporaryFolder temp;
    std::vector<juce::File> files;

    for (int i = 0; i < 3; ++i)
        files.push_back (writeTrack (temp.file ("t" + juce::String (i) + ".wav"), 2, frames, 48000.0, [] (int, int) { return 0.25f; }));

    RenderWorkers workers (2);

    for (const auto& [budget, startedAhead] : { std::pair<int64_t, int64_t> { -stereoBytes(), 0 }, { stereoBytes() - 1, 0 }, { stereoBytes(), 1 } })
    {
        TrackPrefetcher reads (workers, files, projectRate(), budget, 8, {});
        EXPECT_EQ (reads.getBytesInFlight(), startedAhead * stereoBytes()) << budget;

        for (size_t k = 0; k < files.size(); ++k)
        {
            const auto read = reads.take (k);
            ASSERT_NE (read, nullptr);
            EXPECT_TRUE (read->ok) << read->error;
            EXPECT_EQ (read->audio.getNumSamples(), frames);
            reads.release (k);
        }
    }
}

// A read at another rate is started ahead of its turn only while the next read in turn still
// fits beside it; otherwise the render would start that one beyond the budget when it needs it.
TEST (TrackPrefetcher, AConvertedReadGoesAheadOnlyWhenTheNextOneStillFits)
{
    TemporaryFolder temp;
    const auto plain = writeTrack (temp.file ("plain.wav"), 2, frames, 48000.0, [] (int, int) { return 0.25f; });
    const auto converted = writeTrack (temp.file ("converted.wav"), 1, 44100, 44100.0, [] (int, int) { return 0.25f; });
    const std::vector<juce::File> files { plain, plain, converted };

    // The converted read holds its result (one channel of 48000 frames) and a window of the file.
    const auto convertedBytes = bytesOfBuffer (1, frames) + bytesOfBuffer (1, 44100);
    RenderWorkers workers (2);

    {
        TrackPrefetcher reads (workers, files, projectRate(), stereoBytes() + convertedBytes - 1, 8, {});
        EXPECT_EQ (reads.getBytesInFlight(), stereoBytes());
    }

    {
        TrackPrefetcher reads (workers, files, projectRate(), stereoBytes() + convertedBytes, 8, {});
        EXPECT_EQ (reads.getBytesInFlight(), stereoBytes() + convertedBytes);
    }
}
