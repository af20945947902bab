#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/FitCheck.h"
#include "ui/UiTestSupport.h"
#include "ui/pages/export/ExportPage.h"
#include "ui/pages/import/ImportPage.h"
#include "ui/pages/report/ReportPage.h"
#include "ui/shell/MainComponent.h"
#include "ui/shell/SettingsDialog.h"

namespace dunmoor::ui
{
namespace
{

/**
    Every page as a busy delivery shows it: three cues of long-named tracks, the example preset
    and a report of thirty files whose names differ only near their end, at the smallest window
    and a large one, at the smallest, normal and largest interface size.
*/
struct PagesFitTest : ::testing::Test
{
    PagesFitTest()
    {
        clearUserData();
        main = std::make_unique<MainComponent> (std::make_unique<testing::FakeSeams>());
    }

    ~PagesFitTest() override
    {
        main.reset();
        applyUiScale (100);
        clearUserData();
    }

    static void clearUserData()
    {
        juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile ("Brackenfold").deleteRecursively();
    }

    static constexpr const char* cueNames[] = { "1M01 Opening Titles", "2M14 The Long Way Round the Harbour", "3M22 End Credits Suite" };

    void loadSession()
    {
        auto& state = main->getAppState();
        // Two alternative mixes, so that their headings show on the Preset & Stems page.
        auto preset = makeHybridOrchestraExamplePreset();
        for (const auto* name : { "Instrumental", "Underscore without drums and percussion" })
        {
            AlternativeMix mix;
            mix.id = juce::Uuid().toDashedString();
            mix.name = name;
            mix.stemIds.add (preset.schema.stems.front().id);
            preset.schema.alternativeMixes.push_back (mix);
        }

        state.session.setPreset (preset);

        const char* parts[] = { "Violins 1 Sustain Legato Close Mics", "Violins 2 Spiccato Tree", "Violas Tremolo Surround",
                                "Celli and Basses Pizzicato Wide", "French Horns a4 Sforzando", "Trumpets Muted Staccato",
                                "Low Brass Swells Outriggers", "Taiko Ensemble Hits Room", "Sub Boom Designed Impacts",
                                "Synth Pulse Arpeggio Sidechained", "Choir Ahs Soprano Alto Divisi" };

        juce::AudioBuffer<float> buffer (1, 4800);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (0, i, 0.2f * std::sin ((float) i * 0.05f));

        int written = 0;
        for (const auto* cue : cueNames)
        {
            const auto folder = temp.file ("Tracks").getChildFile (cue);
            ASSERT_TRUE (folder.createDirectory());

            for (const auto* part : parts)
            {
                if (written++ == 32)
                    break;

                ASSERT_TRUE (testing::writeAudioFile (folder.getChildFile (juce::String (cue) + " " + part + ".wav"), "wav", buffer, 48000.0, 24));
            }
        }

        (void) state.session.importFiles ({ temp.file ("Tracks") }, true);
        ASSERT_EQ (state.session.getTracks().size(), 32u);
        ASSERT_EQ (state.session.getCuesWithTracks().size(), 3u);

        BatchReport report;
        report.allOk = true;
        report.outputRoot = temp.file ("Deliveries");

        for (const auto* cueName : cueNames)
        {
            CueReport cue;
            cue.ok = true;
            cue.cueName = cueName;
            cue.sampleRate = 48000.0;
            cue.outputFolder = report.outputRoot.getChildFile (cueName);
            ASSERT_TRUE (cue.outputFolder.createDirectory());

            for (int i = 1; i <= 10; ++i)
            {
                WrittenFile file;
                file.file = cue.outputFolder.getChildFile (juce::String (cueName) + "_" + juce::String (i).paddedLeft ('0', 2) + "_" + juce::String (parts[i - 1]).upToFirstOccurrenceOf (" ", false, false) + ".wav");
                ASSERT_TRUE (file.file.replaceWithText ("x"));
                file.fileSize = 1;
                file.peakDb = -3.5;
                file.settingsDescription = "WAV 24bit 48kHz 2ch";
                cue.files.push_back (file);
            }

            report.cues.push_back (cue);
        }

        state.setOutputFolder (report.outputRoot);
        state.setLastReport (std::move (report));
        main->refreshFooter();
        testing::pumpMessages (100);

        // The players show the longest names there are: a track of the longest cue, a file of
        // the second cue.
        const Track* longest = nullptr;
        for (const auto& track : state.session.getTracks())
            if (longest == nullptr || track.file.getFileName().length() > longest->file.getFileName().length())
                longest = &track;

        main->getImportPage()->showSelection (longest->file, longest->id);
        main->getReportPage()->getCueList().selectRow (1);
        main->getReportPage()->showFile (9, false, 0.0);
        testing::pumpMessages (100);
    }

    testing::TemporaryFolder temp;
    std::unique_ptr<MainComponent> main;
};

TEST_F (PagesFitTest, EveryPageAndTheSettingsDialogFitAtEverySizeAndScale)
{
    loadSession();

    const char* pageNames[] = { "import", "preset", "review", "export", "report" };
    const juce::Rectangle<int> windows[] = { { 1100, 720 }, { 1600, 1000 } };
    juce::StringArray found;

    for (const auto percent : { 80, 100, 120 })
    {
        applyUiScale (percent);

        for (const auto& window : windows)
        {
            main->setBounds (window);
            const auto where = juce::String (window.getWidth()) + "x" + juce::String (window.getHeight()) + " at " + juce::String (percent) + " %, ";

            for (int page = 0; page < 5; ++page)
            {
                main->showPage ((Page) page);
                testing::pumpMessages (30);

                for (const auto& finding : testing::FitCheck::check (*main))
                    found.addIfNotAlreadyThere (where + pageNames[page] + ": " + finding.where + ": " + finding.what);

                // What the screen shows, in the screen's own pixels; the settings of the Levels &
                // Export page also whole, as scrolling shows them.
                if (percent != 80)
                {
                    const auto name = juce::String (pageNames[page]) + "-" + juce::String (window.getWidth()) + "x" + juce::String (window.getHeight()) + "-" + juce::String (percent);
                    testing::saveSnapshot (*main, "fit-" + name, (float) percent / 100.0f);

                    if (page == (int) Page::levelsAndExport)
                        testing::saveSnapshot (main->getExportPage()->getContent(), "fit-" + name + "-settings", (float) percent / 100.0f);
                }
            }
        }

        SettingsDialog dialog (percent, PaletteChoice::custom, {});
        for (const auto& finding : testing::FitCheck::check (dialog))
            found.addIfNotAlreadyThere ("settings at " + juce::String (percent) + " %: " + finding.where + ": " + finding.what);

        if (percent == 120)
            testing::saveSnapshot (dialog, "fit-settings-120", 1.2f);
    }

    EXPECT_TRUE (found.isEmpty()) << found.size() << " finding(s):\n" << found.joinIntoString ("\n");
}

} // namespace
} // namespace dunmoor::ui
