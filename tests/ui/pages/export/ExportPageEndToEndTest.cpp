#include "ui/FreshLocations.h"
#include "ExportPageFixture.h"

#include "core/audio/AudioFileReader.h"
#include "core/audio/LevelMeter.h"
#include "ui/pages/export/CueListModel.h"
#include "ui/shell/MainComponent.h"

namespace dunmoor::testing
{
namespace
{
    /** The main window at a size, with seams the test answers (seams points at them) and the
        example preset as the working copy. */
    std::unique_ptr<ui::MainComponent> openMainWindow (FakeSeams*& seams, juce::Rectangle<int> size, std::shared_ptr<FakeAudioOutput> audio = nullptr)
    {
        auto fakeSeams = std::make_unique<FakeSeams> (std::move (audio));
        seams = fakeSeams.get();
        auto main = std::make_unique<ui::MainComponent> (std::move (fakeSeams), freshLocations());
        main->setBounds (size);
        main->getAppState().session.setPreset (makeHybridOrchestraExamplePreset());
        return main;
    }
} // namespace

// The whole step as a user takes it, in the main window: two cues in, a folder chosen, an
// analysis, a new target and template, the render past a warning, files named and levelled as
// asked, and the Report page in front.
TEST (ExportPageEndToEnd, AnalyseChangeRenderDeliver)
{
    TemporaryFolder temp;
    FakeSeams* seams = nullptr;
    auto main = openMainWindow (seams, { 1360, 860 });
    auto& app = main->getAppState();

    const juce::StringArray names { "Kick", "Bass", "Strings" };

    for (int i = 0; i < 3; ++i)
    {
        writeTone (temp.file ("in/1M01/" + names[i] + ".wav"), 2, 9600, 48000.0, 110.0 * (i + 1), 0.25);
        writeTone (temp.file ("in/1M02/" + names[i] + ".wav"), i < 2 ? 2 : 1, 9600, 48000.0, 110.0 * (i + 1), 0.5);   // a mono track: a warning
    }

    (void) app.session.importFiles ({ temp.file ("in") }, true);
    ASSERT_EQ (app.session.getUnassignedTracks().size(), 0u);

    main->showPage (ui::Page::levelsAndExport);
    ASSERT_EQ (main->getCurrentPage(), ui::Page::levelsAndExport);
    auto& page = *main->getExportPage();
    auto waitForRunToEnd = [&page] { return pumpUntil ([&page] { return ! page.getRunControl().isRunInFlight(); }, 60000); };

    click (page.getRenderBar().chooseFolderButton);
    const auto out = temp.file ("Deliveries");
    ASSERT_TRUE (seams->answerChooser ({ out }));

    click (page.getRenderBar().analyseButton);
    ASSERT_TRUE (waitForRunToEnd());
    EXPECT_TRUE (page.getContent().summaryText.getText().startsWith ("Cues                2"));
    EXPECT_EQ (main->getCurrentPage(), ui::Page::levelsAndExport);

    auto& c = page.getContent();
    c.targetSlider.setValue (-6.0, juce::sendNotificationSync);
    c.stemTemplateEditor.setTemplate ("{cue}_{stemName}");
    c.stemTemplateEditor.insertPiece ({ true, "{stemIndex}" }, 1);
    ASSERT_EQ (app.session.getPreset().exportSettings.naming.stemTemplate, "{cue}_{stemIndex}_{stemName}");
    page.tick();
    const auto preview = juce::StringArray::fromLines (c.previewText.getText());

    click (page.getRenderBar().renderButton);
    ASSERT_NE (seams->lastBox(), nullptr) << page.getContent().warningsLabel.getText();
    ASSERT_EQ (seams->lastBox()->request.title, "Continue with these warnings?");
    ASSERT_TRUE (seams->closeBox (true));
    ASSERT_TRUE (waitForRunToEnd());

    ASSERT_TRUE (app.hasLastReport);
    EXPECT_EQ (main->getCurrentPage(), ui::Page::report);
    const auto& report = app.lastReport;
    ASSERT_EQ (report.cues.size(), 2u);

    juce::StringArray written;

    for (const auto& cue : report.cues)
    {
        EXPECT_TRUE (cue.errors.isEmpty()) << cue.errors.joinIntoString ("\n");

        for (const auto& file : cue.files)
        {
            EXPECT_TRUE (file.file.existsAsFile()) << file.file.getFullPathName();
            EXPECT_TRUE (file.file.isAChildOf (out));
            written.add (file.file.getFileName());

            if (file.kind != WrittenFile::fullMixKind)
                continue;

            juce::AudioBuffer<double> mix;
            juce::String error;
            ASSERT_TRUE (readAudioFileAtOwnRate (file.file, mix, error)) << error;
            const auto peaks = measurePeaks (mix, PeakMode::truePeak, 4);
            EXPECT_NEAR (gainToDecibels (peaks.truePeak), -6.0, 0.1) << file.file.getFileName();
        }
    }

    // Every stem file carries the new template, numbered 1..N per cue in schema order.
    EXPECT_TRUE (written.contains ("1M01_01_Drums.wav")) << written.joinIntoString (", ");
    EXPECT_TRUE (written.contains ("1M02_03_Bass.wav")) << written.joinIntoString (", ");

    // The preview showed names the render writes: its full mix line is the first cue's full mix.
    EXPECT_TRUE (written.contains (preview[preview.size() - 1])) << preview.joinIntoString (" | ");

    main.reset();
}

} // namespace dunmoor::testing

namespace dunmoor::testing
{

// Cuts and cleanup as a user takes them: two cues in, one starting with half a second of
// silence, every track with a rest of noise floor; cleanup on, an analysis that finds the
// silence, "Cut all of it" on the first cue, the second unticked, an export of the first cue
// only, half a second shorter; then a click in a cleaned stretch plays from where the sound
// comes back, and closing the window leaves no preview behind.
TEST (ExportPageEndToEnd, CutUntickAndAuditionTheCleanup)
{
    TemporaryFolder temp;
    FakeAudioOutput::Settings audio;
    audio.pacing = FakeAudioOutput::Pacing::realTime;
    FakeSeams* seams = nullptr;
    auto main = openMainWindow (seams, { 1360, 860 }, std::make_shared<FakeAudioOutput> (audio));
    auto& app = main->getAppState();

    auto preset = makeHybridOrchestraExamplePreset();
    auto& gate = preset.exportSettings.silenceGate;
    gate.enabled = true;
    gate.thresholdDb = -60.0;
    gate.minimumSeconds = 0.5;
    app.session.setPreset (preset);

    // 4 s: optional silence, a tone, 1.2 s of noise floor at -80 dBFS, the tone again.
    constexpr double rate = 48000.0;
    auto writeTake = [&] (const juce::String& path, double frequency, bool leadingSilence)
    {
        writeTrack (temp.file (path), 2, (int) (4.0 * rate), rate, [=] (int, int i)
                    {
                        const auto t = i / rate;

                        if (leadingSilence && t < 0.5)
                            return 0.0f;

                        if (t >= 1.5 && t < 2.7)
                            return (float) (((i * 7919) % 200 - 100) / 100.0 * 1.0e-4);

                        return (float) (0.25 * std::sin (2.0 * juce::MathConstants<double>::pi * frequency * t));
                    });
    };

    const juce::StringArray names { "Kick", "Bass", "Strings" };

    for (int i = 0; i < 3; ++i)
    {
        writeTake ("in/1M01/" + names[i] + ".wav", 110.0 * (i + 1), true);
        writeTake ("in/1M02/" + names[i] + ".wav", 110.0 * (i + 1), false);
    }

    (void) app.session.importFiles ({ temp.file ("in") }, true);
    main->showPage (ui::Page::levelsAndExport);
    auto& page = *main->getExportPage();
    auto& c = page.getContent();
    auto waitForRunToEnd = [&page] { return pumpUntil ([&page] { return ! page.getRunControl().isRunInFlight(); }, 60000); };

    click (page.getRenderBar().analyseButton);
    ASSERT_TRUE (waitForRunToEnd());
    ASSERT_EQ (c.cueList.getRows().size(), 2u);
    EXPECT_EQ (ui::CueListModel::describeCut (c.cueList.getRows()[0]), "0.50 s silent");
    EXPECT_EQ (ui::CueListModel::describeCut (c.cueList.getRows()[1]), "no silence");
    EXPECT_EQ (c.gatedList.getRows().size(), 6u);
    EXPECT_TRUE (page.getRenderBar().zoomInButton.isVisible());

    // "Cut all of it" on the first cue, the second unticked.
    auto& list = c.cueList;
    list.mouseDown (mouseEventAt (list, { 300.0f, 56.0f + 17.0f }));
    ASSERT_FALSE (seams->menus.empty());
    ASSERT_EQ (seams->lastMenuItems()[2].text, "Cut all of it   (0.50 s)");
    ASSERT_TRUE (seams->chooseMenuItem (ui::CueListModel::cutAll));
    list.mouseDown (mouseEventAt (list, { 10.0f, 56.0f + 34.0f + 17.0f }));
    EXPECT_NEAR (app.session.getCues()[0].trimStartSeconds, 0.5, 0.001);
    EXPECT_FALSE (app.session.getCues()[1].included);

    click (page.getRenderBar().chooseFolderButton);
    const auto out = temp.file ("Deliveries");
    ASSERT_TRUE (seams->answerChooser ({ out }));
    click (page.getRenderBar().renderButton);

    if (seams->lastBox() != nullptr && seams->lastBox()->question && ! seams->lastBox()->answered)
    {
        ASSERT_TRUE (seams->closeBox (true));
    }

    ASSERT_TRUE (waitForRunToEnd());
    ASSERT_TRUE (app.hasLastReport);
    ASSERT_EQ (app.lastReport.cues.size(), 1u);
    EXPECT_TRUE (out.getChildFile ("1M01").isDirectory());
    EXPECT_FALSE (out.getChildFile ("1M02").exists());

    int files = 0;

    for (const auto& written : app.lastReport.cues[0].files)
    {
        const auto audioBack = readBack (written.file);
        EXPECT_NEAR (audioBack.getNumSamples() / rate, 3.5, 0.03) << written.file.getFileName();
        ++files;
    }

    EXPECT_GT (files, 3);

    // Back on the page: a click in the cleaned stretch of the first track plays from where the
    // sound comes back.
    main->showPage (ui::Page::levelsAndExport);
    auto& cleanup = c.gatedList;
    ASSERT_EQ (cleanup.getRows().size(), 3u);
    const auto& row = cleanup.getRows()[0];
    const auto region = std::find_if (row.regions.begin(), row.regions.end(), [] (const GateRegion& r) { return r.start > 0.1; });
    ASSERT_NE (region, row.regions.end());
    const auto comesBack = region->fullyGatedEnd * row.durationSeconds;
    EXPECT_NEAR (comesBack, 2.7 - gate.fadeInSeconds, 0.01);

    const auto box = cleanup.getWaveformBounds (0);
    cleanup.mouseDown (mouseEventAt (cleanup, { cleanup.xForFraction (box, (region->start + region->end) / 2), (float) box.getCentreY() }));
    auto& engine = app.previewEngine;
    ASSERT_TRUE (pumpUntil ([&] { return engine.isActiveFor ("cleanup:" + row.path.getFullPathName()) && engine.isPlaying(); }));
    EXPECT_GE (engine.getPlayheadSeconds(), comesBack - 0.01);
    EXPECT_LT (engine.getPlayheadSeconds(), comesBack + 1.0);

    const auto previews = page.getCleanupPreviews().getWrittenFiles();
    ASSERT_EQ (previews.size(), 1);
    main.reset();
    EXPECT_FALSE (previews[0].exists());
}

} // namespace dunmoor::testing

namespace dunmoor::testing
{

// A folder of only unreadable files became a cue that the cue list never showed, because a plan
// with errors emptied the list: every render was refused for it, and nothing said how to get
// past it. At the smallest window: the refusal says what to do, the list shows the cue and why,
// a click on its tick leaves it out, and the other cue is analysed, rendered and delivered.
TEST (ExportPageEndToEnd, ACueOfUnreadableFilesIsListedAndLeftOutWithItsTick)
{
    TemporaryFolder temp;
    FakeSeams* seams = nullptr;
    const juce::Rectangle<int> smallest (1100, 720);
    auto main = openMainWindow (seams, smallest);
    auto& app = main->getAppState();

    const juce::StringArray names { "Kick", "Bass", "Strings" };

    for (int i = 0; i < 3; ++i)
        writeTone (temp.file ("in/1M01/" + names[i] + ".wav"), 2, 9600, 48000.0, 110.0 * (i + 1), 0.25);

    ASSERT_TRUE (temp.file ("in/bad-mixed/empty.wav").create());
    ASSERT_TRUE (temp.file ("in/bad-mixed/notes.wav").replaceWithText ("not audio"));
    (void) app.session.importFiles ({ temp.file ("in") }, true);
    ASSERT_EQ (app.session.getCuesWithTracks().size(), 2u);

    main->showPage (ui::Page::levelsAndExport);
    auto& page = *main->getExportPage();
    auto& bar = page.getRenderBar();
    auto& list = page.getContent().cueList;
    auto waitForRunToEnd = [&page] { return pumpUntil ([&page] { return ! page.getRunControl().isRunInFlight(); }, 60000); };

    // The analysis says the same: what stops it and how to leave the cue out.
    pressEnabled (bar.analyseButton);
    EXPECT_FALSE (page.getRunControl().isRunInFlight());
    const auto summary = page.getContent().summaryText.getText();
    EXPECT_TRUE (summary.startsWith ("Cannot analyse:\nbad-mixed: There is nothing to render")) << summary;
    EXPECT_TRUE (summary.endsWith ("\nUntick 'bad-mixed' in the cue list below to leave it out, or remove its tracks on the Import page.")) << summary;
    EXPECT_TRUE (list.isVisible());
    saveSnapshot (*main, "export-cue-cannot-analyse-1100x720");

    click (bar.chooseFolderButton);
    const auto out = temp.file ("Deliveries");
    ASSERT_TRUE (seams->answerChooser ({ out }));

    pressEnabled (bar.renderButton);
    ASSERT_EQ (seams->countOpenBoxes(), 1);
    const auto refusal = seams->lastBox()->request;
    EXPECT_EQ (refusal.title, "The export cannot start");
    EXPECT_TRUE (refusal.message.startsWith ("bad-mixed: There is nothing to render")) << refusal.message;
    EXPECT_TRUE (refusal.message.endsWith ("\n\nUntick 'bad-mixed' in the cue list below to leave it out, or remove its tracks on the Import page."))
        << refusal.message;
    ASSERT_TRUE (seams->closeBox());
    EXPECT_FALSE (page.getRunControl().isRunInFlight());

    // Every cue is listed, in view; the bad one says why where its levels would be, whole.
    ASSERT_TRUE (list.isVisible());
    ASSERT_EQ (list.getRows().size(), 2u);
    const auto bad = list.getRows()[0].name == "bad-mixed" ? 0 : 1;
    const auto badKey = list.getRows()[(size_t) bad].key;
    EXPECT_EQ (list.getRows()[(size_t) bad].planProblem, "Nothing to render: every track is unreadable.");
    EXPECT_EQ (list.getRows()[(size_t) (1 - bad)].planProblem, "");
    const auto badRow = juce::Rectangle<int> (0, ui::CueListModel::rowTop (bad), list.getWidth(), ui::CueListModel::rowHeight) + list.getPosition();
    EXPECT_TRUE (page.getViewport().getViewArea().contains (badRow)) << page.getViewport().getViewArea().toString() << " " << badRow.toString();

    for (const auto percent : { 100, 120 })
    {
        ui::applyUiScale (percent);
        main->setBounds (smallest);
        pumpMessages (30);
        EXPECT_EQ (list.getShownProblem (bad), list.getRows()[(size_t) bad].planProblem) << percent << " %";
        saveSnapshot (*main, "export-cue-refused-1100x720-" + juce::String (percent), (float) percent / 100.0f);
    }

    ui::applyUiScale (100);
    main->setBounds (smallest);

    // The tick, clicked as the user clicks it.
    list.mouseDown (mouseEventAt (list, juce::Point<int> (10, ui::CueListModel::rowTop (bad) + 17).toFloat()));
    ASSERT_NE (app.session.findCue (badKey), nullptr);
    EXPECT_FALSE (app.session.findCue (badKey)->included);

    // Neither the analysis nor the render is held up by the unticked cue.
    pressEnabled (bar.analyseButton);
    ASSERT_TRUE (waitForRunToEnd());
    EXPECT_TRUE (page.getContent().summaryText.getText().startsWith ("Stems to export")) << page.getContent().summaryText.getText();
    EXPECT_TRUE (list.getRows()[(size_t) (1 - bad)].hasResult);
    EXPECT_FALSE (list.getRows()[(size_t) bad].included);
    EXPECT_EQ (list.getRows()[(size_t) bad].planProblem, "Nothing to render: every track is unreadable.");
    saveSnapshot (*main, "export-cue-unticked-after-analysis-1100x720");

    pressEnabled (bar.renderButton);
    EXPECT_EQ (seams->countOpenBoxes(), 0) << (seams->lastBox() != nullptr ? seams->lastBox()->request.message : juce::String());
    ASSERT_TRUE (waitForRunToEnd());
    ASSERT_TRUE (app.hasLastReport);
    ASSERT_EQ (app.lastReport.cues.size(), 1u);
    EXPECT_EQ (app.lastReport.cues[0].cueName, "1M01");
    EXPECT_TRUE (app.lastReport.allOk);
    EXPECT_GT (app.lastReport.countFilesWritten(), 0);

    for (const auto& file : app.lastReport.cues[0].files)
        EXPECT_TRUE (file.file.existsAsFile() && file.file.isAChildOf (out.getChildFile ("1M01"))) << file.file.getFullPathName();

    EXPECT_FALSE (out.getChildFile ("bad-mixed").exists());
    EXPECT_EQ (main->getCurrentPage(), ui::Page::report);
    main.reset();
}

} // namespace dunmoor::testing
