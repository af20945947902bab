#include "ExportPageFixture.h"

#include "core/audio/AudioFileReader.h"
#include "core/audio/LevelMeter.h"
#include "ui/shell/MainComponent.h"

namespace dunmoor::testing
{

// The whole step as a user takes it, in the main window: two cues in, a folder chosen, an
// analysis, a new target and template, the render past a warning, files named and levelled as
// asked, and the Report page in front.
TEST (ExportPageEndToEnd, AnalyseChangeRenderDeliver)
{
    TemporaryFolder temp;
    auto fakeSeams = std::make_unique<FakeSeams>();
    auto* seams = fakeSeams.get();
    auto main = std::make_unique<ui::MainComponent> (std::move (fakeSeams));
    main->setSize (1360, 860);
    auto& app = main->getAppState();
    app.session.setPreset (makeHybridOrchestraExamplePreset());

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
    ASSERT_NE (seams->lastBox(), nullptr);
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
