#include <gtest/gtest.h>

#include "ExportPageFixture.h"
#include "core/audio/AudioFileProbe.h"
#include "core/audio/AudioFileReader.h"
#include "ui/pages/export/CleanupPreviews.h"
#include "ui/pages/export/CleanupView.h"

namespace dunmoor::testing
{
namespace
{
    using namespace ui;
    using Window = CleanupView::ZoomWindow;

    GateRegion region (double start, double end, double fade = 0.01)
    {
        return { start, end, start == 0.0 ? start : start + fade, end >= 1.0 ? end : end - fade };
    }

    GatedTrackRow rowWith (std::vector<GateRegion> regions, double seconds = 100.0, const juce::String& cue = "1M01")
    {
        GatedTrackRow row;
        row.cueName = cue;
        row.regions = std::move (regions);
        row.regionCount = (int) row.regions.size();
        row.durationSeconds = seconds;
        return row;
    }
} // namespace

TEST (CleanupView, ZoomWindow)
{
    // The render bar's zoom in: 1, 0.6, 0.36, 0.216 - details from the third step on.
    Window w;
    const double widths[] { 0.6, 0.36, 0.216 };

    for (auto expected : widths)
    {
        w = CleanupView::zoomBy (w, CleanupView::zoomInFactor);
        EXPECT_NEAR (w.getWidth(), expected, 1e-12);
        EXPECT_NEAR ((w.start + w.end) / 2, 0.5, 1e-12);
    }

    EXPECT_LE (w.getWidth(), CleanupView::detailZoomWidth);
    EXPECT_GT (0.36, CleanupView::detailZoomWidth);

    // Never narrower than 0.0005, never outside 0..1, never wider than the take.
    for (int i = 0; i < 40; ++i)
        w = CleanupView::zoomBy (w, CleanupView::zoomInFactor);

    EXPECT_NEAR (w.getWidth(), CleanupView::minimumZoomWidth, 1e-12);
    EXPECT_EQ (CleanupView::zoomBy ({ 0.9, 1.0 }, 2.0), (Window { 0.8, 1.0 }));
    EXPECT_EQ (CleanupView::zoomBy ({ 0.0, 0.6 }, 10.0), (Window { 0.0, 1.0 }));

    // A wheel step keeps the fraction under the pointer where it is.
    struct Case
    {
        Window window;
        bool in;
        double pointer;
    };

    for (const auto& c : { Case { { 0.0, 1.0 }, true, 0.25 }, Case { { 0.2, 0.4 }, true, 0.9 }, Case { { 0.2, 0.4 }, false, 0.1 },
                           Case { { 0.5, 0.5005 }, true, 0.5 } })
    {
        const auto before = c.window.start + c.pointer * c.window.getWidth();
        const auto after = CleanupView::zoomAtPointer (c.window, c.in, c.pointer);
        EXPECT_NEAR (after.start + c.pointer * after.getWidth(), before, 1e-12);
        EXPECT_NEAR (after.getWidth(), std::max (0.0005, c.window.getWidth() * (c.in ? 0.9 : 1 / 0.9)), 1e-12);
    }

    // At the edges the window stays inside the take instead.
    const auto edge = CleanupView::zoomAtPointer ({ 0.0, 0.95 }, false, 0.0);
    EXPECT_NEAR (edge.start, 0.0, 1e-12);
    EXPECT_NEAR (edge.end, 1.0, 1e-12);
}

TEST (CleanupView, RowHeightsAndDetails)
{
    std::vector<int> taller { 58 }, shorter { 58 };

    for (int i = 0; i < 11; ++i)
        taller.push_back (CleanupView::tallerRowHeight (taller.back()));

    for (int i = 0; i < 3; ++i)
        shorter.push_back (CleanupView::shorterRowHeight (shorter.back()));

    EXPECT_EQ (taller, (std::vector<int> { 58, 74, 90, 106, 122, 138, 154, 170, 186, 202, 218, 220 }));
    EXPECT_EQ (shorter, (std::vector<int> { 58, 42, 26, 26 }));
    EXPECT_EQ (CleanupView::tallerRowHeight (5), 26);

    CleanupView::Detail detail;
    EXPECT_TRUE (CleanupView::detailNeedsFetch (detail, { 0.1, 0.2 }));   // no data

    detail.start = 0.1;
    detail.end = 0.3;
    detail.overview.minimums = { 0.0f };
    detail.overview.maximums = { 0.0f };
    EXPECT_TRUE (CleanupView::detailCovers (detail, { 0.1, 0.3 }));
    EXPECT_FALSE (CleanupView::detailNeedsFetch (detail, { 0.15, 0.28 }));
    EXPECT_TRUE (CleanupView::detailNeedsFetch (detail, { 0.25, 0.35 }));   // misses the end
    EXPECT_TRUE (CleanupView::detailNeedsFetch (detail, { 0.2, 0.21 }));    // far coarser than the window
}

TEST (CleanupView, PlayPointsAndJumps)
{
    // Cleaned stretches at 0.1-0.2 and 0.5-0.6 of a 100 s take, and one to its end.
    const auto row = rowWith ({ region (0.1, 0.2), region (0.5, 0.6), region (0.9, 1.0) });

    EXPECT_NEAR (CleanupView::playStartSeconds (row), 0.0, 1e-9);
    EXPECT_NEAR (CleanupView::playStartSeconds (rowWith ({ region (0.0, 0.2) })), 19.0, 1e-9);
    EXPECT_NEAR (CleanupView::clickSeconds (row, 0.15), 19.0, 1e-9);   // where the sound comes back
    EXPECT_NEAR (CleanupView::clickSeconds (row, 0.3), 30.0, 1e-9);

    struct Case
    {
        double playhead;
        bool forward;
        std::optional<double> target;
    };

    const Case cases[] {
        { -1.0, true, 19.0 },           // nothing playing: from the start
        { 0.1, true, 19.0 },
        { 0.19, true, 59.0 },           // after the playhead, not at it
        { 0.7, true, std::nullopt },    // the stretch to the end is never a target
        { 0.7, false, 59.0 },
        { 0.595, false, 19.0 },         // 59 s is less than a second back
        { 0.2, false, std::nullopt },
        { -1.0, false, 59.0 },
    };

    for (const auto& c : cases)
    {
        const auto target = CleanupView::jumpTargetSeconds (row, c.playhead, c.forward);
        ASSERT_EQ (target.has_value(), c.target.has_value()) << c.playhead << " " << c.forward;

        if (target)
        {
            EXPECT_NEAR (*target, *c.target, 1e-9) << c.playhead << " " << c.forward;
        }
    }
}

TEST (CleanupView, GroupsAndFolds)
{
    // Two cues of one name stay one group while their rows are adjacent.
    const std::vector<GatedTrackRow> rows { rowWith ({}, 1, "A"), rowWith ({}, 1, "A"), rowWith ({}, 1, "B"), rowWith ({}, 1, "A") };

    const auto open = CleanupView::buildItems (rows, {}, 58);
    ASSERT_EQ (open.size(), 7u);
    EXPECT_TRUE (open[0].isHeader);
    EXPECT_EQ (open[0].groupSize, 2);
    EXPECT_EQ (open[2].y, 30 + 58);
    EXPECT_EQ (CleanupView::heightFor (open), 58 + 3 * 30 + 4 * 58);

    const auto folded = CleanupView::buildItems (rows, { "A" }, 58);
    ASSERT_EQ (folded.size(), 4u);
    EXPECT_TRUE (folded[0].folded);
    EXPECT_EQ (folded[1].y, 30);
    EXPECT_EQ (CleanupView::heightFor (folded), 58 + 3 * 30 + 58);
    EXPECT_EQ (CleanupView::heightFor ({}), 0);

    auto touched = rowWith ({ region (0.1, 0.2) });
    touched.gatedSeconds = 1.3;
    auto silent = rowWith ({ region (0.0, 1.0) });
    silent.wholeFileSilent = true;
    silent.gatedSeconds = 100.0;
    EXPECT_EQ (CleanupView::describeCleanup ({ touched, silent, rowWith ({}) }),
               "2 of 3 tracks touched, 101.3 s taken down. Shaded is what was cleaned, blue its fades. Click one to hear it come back.");
    EXPECT_EQ (CleanupView::describeRow (touched), "1.3 s");
    EXPECT_EQ (CleanupView::describeRow (silent), "all of it");
    EXPECT_EQ (CleanupView::describeRow (rowWith ({})), "-");
}

TEST (CleanupView, PreviewNames)
{
    EXPECT_EQ (CleanupView::hash64 ("abc"), juce::String (((97LL * 101) + 98) * 101 + 99));
    EXPECT_EQ (CleanupView::hash32 ("abc"), juce::String ((97 * 31 + 98) * 31 + 99));

    // Anything that changes the cleaned audio changes the name; the same inputs keep it.
    SilenceGateSettings gate;
    gate.enabled = true;
    const auto base = CleanupView::previewFileName ("/in/kick.wav", 1000, 5, gate, 48000.0);
    EXPECT_TRUE (base.endsWith (".wav"));
    EXPECT_EQ (CleanupView::previewFileName ("/in/kick.wav", 1000, 5, gate, 48000.0), base);

    auto off = gate;
    off.enabled = false;
    auto floor = gate;
    floor.floorDb = -40.0;

    juce::StringArray names { base,
                              CleanupView::previewFileName ("/in/snare.wav", 1000, 5, gate, 48000.0),
                              CleanupView::previewFileName ("/in/kick.wav", 1001, 5, gate, 48000.0),
                              CleanupView::previewFileName ("/in/kick.wav", 1000, 6, gate, 48000.0),
                              CleanupView::previewFileName ("/in/kick.wav", 1000, 5, off, 48000.0),
                              CleanupView::previewFileName ("/in/kick.wav", 1000, 5, floor, 48000.0),
                              CleanupView::previewFileName ("/in/kick.wav", 1000, 5, gate, 44100.0) };
    auto unique = names;
    unique.removeDuplicates (false);
    EXPECT_EQ (unique.size(), names.size()) << names.joinIntoString ("\n");
}

TEST (CleanupPreviews, RendersTheGatedTrackAsFloat)
{
    TemporaryFolder temp;

    // A tone, then two seconds of a noise floor at -70 dBFS, then the tone again.
    const auto rate = 48000.0;
    const auto source = writeTrack (temp.file ("hiss.wav"), 2, 4 * 48000, rate, [] (int, int i)
                                    {
                                        const auto tone = std::sin (i * 0.05) * 0.5;
                                        const auto hiss = ((i * 7919) % 200 - 100) / 100.0 * 0.0003;
                                        return (float) (i < 48000 || i >= 3 * 48000 ? tone : hiss);
                                    });

    auto gate = testCleanup();

    const auto preview = temp.file ("previews/p.wav");
    preview.getParentDirectory().createDirectory();
    juce::String error;
    ASSERT_TRUE (CleanupPreviews::renderPreview (source, preview, rate, gate, {}, error)) << error;

    AudioFileInfo info;
    ASSERT_TRUE (probeAudioFile (preview, info, error)) << error;
    EXPECT_TRUE (info.isFloat);
    EXPECT_EQ (info.bitsPerSample, 32);
    EXPECT_EQ (info.lengthInSamples, 4 * 48000);

    const auto audio = readBack (preview);
    EXPECT_EQ (audio.getMagnitude (0, 60000, 70000), 0.0) << "the noise floor is taken down to silence";
    EXPECT_GT (audio.getMagnitude (0, 0, 40000), 0.4);
    EXPECT_GT (audio.getMagnitude (1, 160000, 20000), 0.4);

    // With the gate off the audio passes unchanged.
    gate.enabled = false;
    ASSERT_TRUE (CleanupPreviews::renderPreview (source, preview, rate, gate, {}, error)) << error;
    EXPECT_NEAR (readBack (preview).getMagnitude (0, 60000, 70000), 0.0003, 0.00005);

    // A cancel stops the job with the cancelled text and writes nothing.
    const auto cancelled = temp.file ("previews/c.wav");
    EXPECT_FALSE (CleanupPreviews::renderPreview (source, cancelled, rate, gate, [] { return true; }, error));
    EXPECT_TRUE (isCancelledError (error)) << error;
    EXPECT_FALSE (cancelled.exists());
}

// A track of several gigabytes of samples was read whole on a worker thread, where a failed
// allocation ends the program: it is refused before anything is read.
TEST (CleanupPreviews, RefusesATrackPastTheMemoryBudget)
{
    TemporaryFolder temp;
    const auto longTrack = temp.file ("long.wav");
    ASSERT_TRUE (writeLongWav (longTrack, 48000, CleanupPreviews::memoryBudgetBytes / 8 + 48000));

    juce::String error;
    EXPECT_FALSE (CleanupPreviews::renderPreview (longTrack, temp.file ("p.wav"), 48000.0, {}, {}, error));
    EXPECT_TRUE (error.startsWith ("It is too long to prepare for listening")) << error;
    EXPECT_FALSE (temp.file ("p.wav").exists());

    EXPECT_FALSE (CleanupPreviews::renderPreview (temp.file ("missing.wav"), temp.file ("p.wav"), 48000.0, {}, {}, error));
    EXPECT_TRUE (error.isNotEmpty());
}

} // namespace dunmoor::testing
