#include "ExportPageFixture.h"

#include "core/audio/AudioFileProbe.h"
#include "core/audio/SilenceGate.h"

namespace dunmoor::testing
{
namespace
{
    using Window = ui::CleanupView::ZoomWindow;
    constexpr double rate = 48000.0;

    /** A two-second tone with a rest of silence from 0.5 to 1.5 s (or from the start). */
    juce::File writeTake (const juce::File& file, bool startsWithRest = false, double seconds = 2.0)
    {
        return writeTrack (file, 2, (int) (seconds * rate), rate, [startsWithRest] (int, int i)
                           {
                               const auto t = i / rate;
                               const auto rest = startsWithRest ? t < 1.0 : (t >= 0.5 && t < 1.5);
                               return rest ? 0.0f : (float) (0.5 * std::sin (i * 0.03));
                           });
    }

    /** The row the page would make for a take read with the gate on. */
    ui::GatedTrackRow rowFor (const juce::File& file, const juce::String& cue)
    {
        juce::AudioBuffer<double> buffer;
        juce::String error;
        EXPECT_TRUE (readAudioFileAtOwnRate (file, buffer, error)) << error;

        const auto report = applySilenceGate (buffer, rate, testCleanup());

        ui::GatedTrackRow row;
        row.path = file;
        row.cueKey = cue.toLowerCase();
        row.cueName = cue;
        row.fileName = file.getFileName();
        row.stemName = "Strings";
        row.regionCount = report.regionCount;
        row.regions = report.regions;
        row.gatedSeconds = (double) report.gatedSamples / rate;
        row.durationSeconds = buffer.getNumSamples() / rate;
        row.overview = overviewFromBuffer (buffer, rate, 3000);
        return row;
    }

    struct Backdrop : public juce::Component
    {
        void paint (juce::Graphics& g) override { g.fillAll (ui::currentPalette().windowBackground); }
    };

    void clickAt (juce::Component& c, juce::Point<int> p) { c.mouseDown (mouseEventAt (c, p.toFloat())); }

    juce::MouseWheelDetails wheelOf (float deltaY)
    {
        juce::MouseWheelDetails wheel {};
        wheel.deltaY = deltaY;
        return wheel;
    }
} // namespace

TEST (ExportCleanupPreview, ZoomFoldsHeightsAndDetails)
{
    TemporaryFolder temp;
    const auto a1 = writeTake (temp.file ("violins.wav")), a2 = writeTake (temp.file ("celli.wav"), true), b1 = writeTake (temp.file ("horns.wav"));

    Backdrop backdrop;
    ui::GatedTrackList list;
    backdrop.setSize (1200, 400);
    backdrop.addAndMakeVisible (list);
    int heightChanges = 0;
    list.onHeightChanged = [&] { list.setSize (1200, list.getIdealHeight()); ++heightChanges; };
    list.setRows ({ rowFor (a1, "1M01"), rowFor (a2, "1M01"), rowFor (b1, "1M02") });
    list.setSize (1200, list.getIdealHeight());

    ASSERT_TRUE (list.isVisible());
    EXPECT_EQ (list.getIdealHeight(), 58 + 2 * 30 + 3 * 58);
    EXPECT_EQ (list.getLabelWidth(), 280);
    ASSERT_EQ (list.getRows()[0].regionCount, 1);
    saveSnapshot (backdrop, "export-cleanup-preview-rows");

    // The render bar's zoom in: 0.6, 0.36, then 0.216, where the source files are read.
    list.zoomBy (ui::CleanupView::zoomInFactor);
    list.zoomBy (ui::CleanupView::zoomInFactor);
    list.fetchDetails();
    pumpMessages (50);
    EXPECT_FALSE (list.getDetails()[0].hasData());

    list.zoomBy (ui::CleanupView::zoomInFactor);
    EXPECT_NEAR (list.getZoomWindow().getWidth(), 0.216, 1e-12);
    ASSERT_TRUE (pumpUntil ([&] { return list.getDetails()[0].hasData() && list.getDetails()[2].hasData(); }));
    EXPECT_NEAR (list.getDetails()[0].start, list.getZoomWindow().start, 1e-12);
    saveSnapshot (backdrop, "export-cleanup-preview-zoomed");

    // A wheel step over the waveforms keeps the fraction under the pointer; over the names it
    // is the page's to scroll.
    const auto box = list.getWaveformBounds (0);
    const auto before = list.getZoomWindow();
    const auto x = box.getX() + box.getWidth() / 4;
    const auto underPointer = before.start + (double) (x - box.getX()) / box.getWidth() * before.getWidth();
    list.mouseWheelMove (mouseEventAt (list, { (float) x, (float) box.getCentreY() }), wheelOf (1.0f));
    const auto after = list.getZoomWindow();
    EXPECT_NEAR (after.getWidth(), before.getWidth() * 0.9, 1e-12);
    EXPECT_NEAR (after.start + (double) (x - box.getX()) / box.getWidth() * after.getWidth(), underPointer, 1e-9);
    list.mouseWheelMove (mouseEventAt (list, { 100.0f, (float) box.getCentreY() }), wheelOf (1.0f));
    EXPECT_EQ (list.getZoomWindow(), after);

    list.mouseDoubleClick (mouseEventAt (list, { (float) x, (float) box.getCentreY() }, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 2));
    EXPECT_EQ (list.getZoomWindow(), (Window { 0.0, 1.0 }));

    // Folding the first cue takes its rows out of the list, its height and its hit tests.
    const auto header = list.getGroupHeaderBounds ("1M01");
    clickAt (list, header.getCentre());
    EXPECT_TRUE (list.getFoldedCues().contains ("1M01"));
    EXPECT_EQ (list.getIdealHeight(), 58 + 2 * 30 + 58);
    EXPECT_TRUE (list.getRowBounds (0).isEmpty());
    EXPECT_EQ (heightChanges, 1);
    clickAt (list, header.getCentre());
    EXPECT_FALSE (list.getRowBounds (0).isEmpty());

    // Row heights: 58, 74, ... up to 220; shorter down to 26.
    std::vector<int> heights { list.getRowHeight() };

    for (int i = 0; i < 11; ++i)
    {
        list.makeRowsTaller();
        heights.push_back (list.getRowHeight());
    }

    EXPECT_EQ (heights.back(), 220);
    EXPECT_EQ (heights[1], 74);

    for (int i = 0; i < 20; ++i)
        list.makeRowsShorter();

    EXPECT_EQ (list.getRowHeight(), 26);
    EXPECT_EQ (list.getIdealHeight(), 58 + 2 * 30 + 3 * 26);

    // Reads still running when the list goes are stopped and waited for.
    list.setZoomWindow ({ 0.5, 0.6 });
    list.fetchDetails();
}

// Reads asked for before the rows were replaced landed on whatever row had the same index.
TEST (ExportCleanupPreview, DetailsOfReplacedRowsAreDropped)
{
    TemporaryFolder temp;
    const auto shortTake = writeTake (temp.file ("short.wav"), false, 2.0);
    const auto longTake = writeTake (temp.file ("long.wav"), false, 3.0);

    ui::GatedTrackList list;
    list.setRows ({ rowFor (shortTake, "1M01"), rowFor (longTake, "1M01") });
    list.setSize (1200, list.getIdealHeight());
    list.setZoomWindow ({ 0.4, 0.5 });
    list.fetchDetails();

    // Swapped at once: every detail that arrives is of its own row's file.
    list.setRows ({ rowFor (longTake, "1M01"), rowFor (shortTake, "1M01") });
    ASSERT_TRUE (pumpUntil ([&] { return list.getDetails()[0].hasData() && list.getDetails()[1].hasData(); }));
    EXPECT_NEAR (list.getDetails()[0].overview.duration, 3.0, 1e-6);
    EXPECT_NEAR (list.getDetails()[1].overview.duration, 2.0, 1e-6);
}

TEST (ExportCleanupPreview, ClicksAndKeys)
{
    TemporaryFolder temp;
    ui::GatedTrackList list;
    // Ten seconds of violins with a rest from 0.5 to 1.5 s: fractions 0.05 to 0.15.
    list.setRows ({ rowFor (writeTake (temp.file ("violins.wav"), false, 10.0), "1M01"), rowFor (writeTake (temp.file ("celli.wav"), true), "1M01") });
    list.setSize (1200, list.getIdealHeight());

    std::vector<std::pair<juce::String, double>> plays, seeks;
    int toggles = 0;
    int playingRow = -1;
    double playhead = -1.0;
    list.onPlay = [&] (const ui::GatedTrackRow& row, double s) { plays.push_back ({ row.fileName, s }); };
    list.onSeek = [&] (const ui::GatedTrackRow& row, double s) { seeks.push_back ({ row.fileName, s }); };
    list.onTogglePlay = [&] { ++toggles; };
    list.isPlaying = [&] (const ui::GatedTrackRow& row) { return playingRow >= 0 && row.path == list.getRows()[(size_t) playingRow].path; };
    list.getPlayheadFraction = [&] (const ui::GatedTrackRow& row) { return list.isPlaying (row) ? playhead : -1.0; };

    const auto& violins = list.getRows()[0];
    const auto& celli = list.getRows()[1];
    const auto& rest = violins.regions.front();

    // Play: from the start, or where a take that begins cleaned comes back.
    clickAt (list, list.getPlayButtonBounds (0).getCentre());
    clickAt (list, list.getPlayButtonBounds (1).getCentre());
    ASSERT_EQ (plays.size(), 2u);
    EXPECT_EQ (plays[0].second, 0.0);
    EXPECT_NEAR (plays[1].second, celli.regions.front().fullyGatedEnd * celli.durationSeconds, 1e-9);

    // A click inside the cleaned stretch plays from where the sound comes back, not from the click.
    const auto box = list.getWaveformBounds (0);
    clickAt (list, { juce::roundToInt (list.xForFraction (box, (rest.start + rest.end) / 2)), box.getCentreY() });
    ASSERT_EQ (seeks.size(), 1u);
    EXPECT_NEAR (seeks[0].second, rest.fullyGatedEnd * violins.durationSeconds, 1e-9);

    struct Case
    {
        juce::KeyPress key;
        int playing;
        double playhead;
        bool consumed;
        int seeks;
    };

    const Case cases[] {
        { juce::KeyPress (juce::KeyPress::rightKey), -1, -1.0, false, 0 },   // nothing of the list plays
        { juce::KeyPress (juce::KeyPress::rightKey), 0, 0.01, true, 1 },     // to where the rest ends
        { juce::KeyPress (juce::KeyPress::rightKey), 0, 0.9, false, 0 },     // no stretch after the playhead
        { juce::KeyPress (juce::KeyPress::leftKey), 0, 0.9, true, 1 },       // at least a second back
        { juce::KeyPress (juce::KeyPress::leftKey), 0, 0.2, false, 0 },      // less than a second back
        { juce::KeyPress (juce::KeyPress::rightKey, juce::ModifierKeys::shiftModifier, 0), 0, 0.01, false, 0 },
        { juce::KeyPress (juce::KeyPress::spaceKey), -1, -1.0, true, 0 },
    };

    for (const auto& c : cases)
    {
        seeks.clear();
        playingRow = c.playing;
        playhead = c.playhead;
        EXPECT_EQ (list.keyPressed (c.key), c.consumed) << c.key.getTextDescription() << " " << c.playhead;
        EXPECT_EQ ((int) seeks.size(), c.seeks) << c.key.getTextDescription() << " " << c.playhead;

        if (! seeks.empty())
        {
            EXPECT_NEAR (seeks[0].second, rest.fullyGatedEnd * violins.durationSeconds, 1e-9);
        }
    }

    EXPECT_EQ (toggles, 1);

    // The jump button: the next stretch of its row, whether or not it plays.
    seeks.clear();
    playingRow = -1;
    clickAt (list, list.getJumpButtonBounds (0).getCentre());
    ASSERT_EQ (seeks.size(), 1u);
}

TEST (ExportCleanupPreview, CleanedAuditionThroughThePage)
{
    ExportPageFixture f (flatOutAudio());
    f.useCleanup();

    auto& page = f.makePage();
    auto& engine = f.app->previewEngine;
    ASSERT_TRUE (engine.isAudioAvailable());
    auto& previews = page.getCleanupPreviews();
    auto& list = page.getContent().gatedList;
    auto& bar = page.getRenderBar().phaseBar;

    const auto a = f.temp.file ("in/a.wav"), b = f.temp.file ("in/b.wav"), c = f.temp.file ("in/c.wav");

    for (const auto& file : { a, b, c })
        writeTake (file);

    list.setRows ({ rowFor (a, "1M01"), rowFor (b, "1M01"), rowFor (c, "1M01") });
    const auto idOf = [] (const juce::File& file) { return "cleanup:" + file.getFullPathName(); };
    auto settle = [&previews] { return pumpUntil ([&previews] { return previews.isIdle(); }); };

    // The first press prepares the cleaned take, then plays it.
    list.onPlay (list.getRows()[1], 0.0);
    EXPECT_EQ (bar.getText(), "Preparing b.wav ...");
    ASSERT_TRUE (pumpUntil ([&] { return engine.isActiveFor (idOf (b)); }));
    EXPECT_EQ (bar.getText(), "");
    const auto previewB = page.getCleanupPreviewFile (b);
    EXPECT_TRUE (previewB.existsAsFile());
    EXPECT_TRUE (previewB.isAChildOf (juce::File::getSpecialLocation (juce::File::tempDirectory)));

    AudioFileInfo info;
    juce::String error;
    ASSERT_TRUE (probeAudioFile (previewB, info, error)) << error;
    EXPECT_TRUE (info.isFloat);
    EXPECT_EQ (readBack (previewB).getMagnitude (0, (int) (0.7 * rate), (int) (0.6 * rate)), 0.0) << "the rest taken down";

    // A press on another track while one is being prepared: only the second one plays, even
    // when the first one's preview is finished later.
    list.onPlay (list.getRows()[0], 0.0);
    EXPECT_TRUE (previews.isPreparing());
    list.onSeek (list.getRows()[1], 0.5);
    EXPECT_FALSE (previews.isPreparing());
    ASSERT_TRUE (settle());
    EXPECT_EQ (engine.getRequestedSourceId(), idOf (b));

    // Space while a track is being prepared is a stop: nothing plays afterwards.
    list.onPlay (list.getRows()[2], 0.0);
    ASSERT_TRUE (previews.isPreparing());
    page.togglePlayback();
    EXPECT_EQ (bar.getText(), "");
    ASSERT_TRUE (settle());
    EXPECT_EQ (engine.getRequestedSourceId(), "");

    // The stop fades out on the sound card's thread, which a loaded machine may run late.
    EXPECT_TRUE (pumpUntil ([&] { return ! engine.isPlaying(); }));

    // Space again plays the last request.
    page.togglePlayback();
    ASSERT_TRUE (pumpUntil ([&] { return engine.isActiveFor (idOf (c)); }));

    // A source that cannot be read says so in the bar, and the timer leaves the text standing.
    const auto broken = f.temp.make ("in/broken.wav", "not audio");
    auto brokenRow = rowFor (a, "1M01");
    brokenRow.path = broken;
    brokenRow.fileName = "broken.wav";
    list.setRows ({ brokenRow });
    list.onPlay (list.getRows()[0], 0.0);
    ASSERT_TRUE (settle());
    EXPECT_TRUE (bar.getText().startsWith ("broken.wav could not be prepared: ")) << bar.getText();
    page.tick();
    EXPECT_TRUE (bar.getText().startsWith ("broken.wav could not be prepared: "));

    // So does a preview folder that cannot be used.
    previews.folderRefusalForTesting = "The folder belongs to another user.";
    list.setRows ({ rowFor (a, "1M01") });
    list.onPlay (list.getRows()[0], 0.0);
    EXPECT_EQ (bar.getText(), "a.wav could not be prepared: The folder belongs to another user.");
    previews.folderRefusalForTesting = {};

    // Closing the page deletes the previews it wrote.
    const auto written = previews.getWrittenFiles();
    EXPECT_FALSE (written.isEmpty());
    f.page.reset();

    for (const auto& file : written)
        EXPECT_FALSE (file.exists()) << file.getFullPathName();
}

// The page closed while a preview was being written: the job is asked to stop and waited for,
// and nothing it wrote is left behind.
TEST (ExportCleanupPreview, ClosingThePageMidJob)
{
    ExportPageFixture f (flatOutAudio());
    f.useCleanup();
    auto& page = f.makePage();
    const auto longTake = writeTake (f.temp.file ("in/long.wav"), false, 60.0);
    auto& list = page.getContent().gatedList;
    list.setRows ({ rowFor (longTake, "1M01") });
    list.onPlay (list.getRows()[0], 0.0);
    const auto preview = page.getCleanupPreviewFile (longTake);
    ASSERT_TRUE (page.getCleanupPreviews().isPreparing());

    f.page.reset();
    pumpMessages (20);
    EXPECT_FALSE (preview.exists());
}

} // namespace dunmoor::testing
