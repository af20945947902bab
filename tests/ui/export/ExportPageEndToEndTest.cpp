#include "ExportPageFixture.h"

#include "core/audio/AudioFileReader.h"
#include "core/audio/LevelMeter.h"
#include "ui/pages/export/NamingPreview.h"

namespace dunmoor::testing
{

// The whole step as a user takes it: two cues in, a folder chosen, an analysis, a new target
// and template, the render past a warning, and files named and levelled as asked.
TEST (ExportPageEndToEnd, AnalyseChangeRenderDeliver)
{
    ExportPageFixture f;
    f.writeCue ("1M01", { "Kick", "Bass", "Strings" });
    f.writeCue ("1M02", { "Kick", "Bass" });
    writeTone (f.temp.file ("in/1M02/Strings.wav"), 1, 9600, 48000.0, 220.0, 0.5);   // mono: a warning
    (void) f.app->session.importFiles ({ f.temp.file ("in") }, true);
    ASSERT_EQ (f.app->session.getUnassignedTracks().size(), 0u);

    auto& page = f.makePage();
    click (page.getRenderBar().chooseFolderButton);
    const auto out = f.temp.file ("Deliveries");
    ASSERT_TRUE (f.seams->answerChooser ({ out }));

    click (page.getRenderBar().analyseButton);
    ASSERT_TRUE (f.waitForRunToEnd());
    EXPECT_TRUE (page.getContent().summaryText.getText().startsWith ("Cues                2"));

    auto& c = page.getContent();
    c.targetSlider.setValue (-6.0, juce::sendNotificationSync);
    c.stemTemplateEditor.setTemplate ("{cue}_{stemName}");
    c.stemTemplateEditor.insertPiece ({ true, "{stemIndex}" }, 1);
    ASSERT_EQ (f.preset().exportSettings.naming.stemTemplate, "{cue}_{stemIndex}_{stemName}");
    page.tick();
    const auto preview = juce::StringArray::fromLines (c.previewText.getText());

    click (page.getRenderBar().renderButton);
    ASSERT_NE (f.seams->lastBox(), nullptr);
    ASSERT_EQ (f.seams->lastBox()->request.title, "Continue with these warnings?");
    ASSERT_TRUE (f.seams->closeBox (true));
    ASSERT_TRUE (f.waitForRunToEnd (60000));

    ASSERT_TRUE (f.app->hasLastReport);
    EXPECT_EQ (f.exportsFinished, 1);
    const auto& report = f.app->lastReport;
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

    // Every stem file carries the new template, numbered 1..N per cue.
    EXPECT_TRUE (written.contains ("1M01_01_Drums.wav")) << written.joinIntoString (", ");
    EXPECT_TRUE (written.contains ("1M02_03_Bass.wav")) << written.joinIntoString (", ");

    // The preview showed names the render writes: its full mix line is the first cue's full mix.
    EXPECT_TRUE (written.contains (preview[preview.size() - 1])) << preview.joinIntoString (" | ");
}

} // namespace dunmoor::testing
