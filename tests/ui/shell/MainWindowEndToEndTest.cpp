#include <cmath>

#include "TestFolder.h"
#include "core/audio/AudioFileReader.h"
#include "core/model/BuiltInPresets.h"
#include "render/RenderTestSupport.h"
#include "ui/FakeSeams.h"
#include "ui/FindByTitle.h"
#include "ui/FreshLocations.h"
#include "ui/UiTestSupport.h"
#include "ui/pages/export/ExportPage.h"
#include "ui/pages/import/ImportPage.h"
#include "ui/pages/report/DeliveryTable.h"
#include "ui/pages/report/ReportPage.h"
#include "ui/pages/review/ReviewPage.h"
#include "ui/pages/review/ReviewPageTestSupport.h"
#include "ui/shell/MainComponent.h"

namespace dunmoor::testing
{
namespace
{
    constexpr double rate = 48000.0;
    constexpr int frames = 24000;

    // A signal no other track shares and no stem's processing could make by chance: two
    // unrelated sines under a slow swell, different on each channel.
    float glimmerSample (int channel, int frame)
    {
        const auto swell = 0.5 + 0.5 * std::sin (frame * 0.0007);
        return (float) (0.3 * swell * (std::sin (frame * 0.013 * (channel + 1)) + 0.4 * std::sin (frame * 0.0517 + channel)));
    }

} // namespace

// One piece of work through the main window from start to end, as a user does it: a cue folder
// dropped on the Import page, the one track the preset's keywords do not place assigned by hand
// on the Review page, the delivery rendered from Levels & Export into a folder chosen there, and
// on the Report page the stem that track went to, holding exactly that track's sound.
TEST (MainWindowEndToEnd, DropAssignByHandRenderAndFindTheTrackInItsStem)
{
    TemporaryFolder temp;
    auto fakeSeams = std::make_unique<FakeSeams>();
    auto* seams = fakeSeams.get();
    auto main = std::make_unique<ui::MainComponent> (std::move (fakeSeams), freshLocations());
    main->setSize (1360, 860);
    auto& app = main->getAppState();
    app.session.setPreset (makeHybridOrchestraExamplePreset());

    const auto cue = temp.file ("Reel/1M01");
    writeTone (cue.getChildFile ("Kick.wav"), 2, frames, rate, 60.0, 0.5);
    const auto glimmer = writeTrack (cue.getChildFile ("Glimmer_03.wav"), 2, frames, rate, glimmerSample);

    // The drop.
    main->showPage (ui::Page::import);
    auto& importPage = *main->getImportPage();
    ASSERT_TRUE (importPage.isInterestedInFileDrag ({ cue.getFullPathName() }));
    importPage.filesDropped ({ cue.getFullPathName() }, 200, 200);
    ASSERT_EQ (app.session.getTracks().size(), 2u);
    const auto glimmerId = trackIdNamed (app.session, "Glimmer_03.wav");
    ASSERT_EQ (app.session.findTrack (glimmerId)->stemId, juce::String()) << "no keyword places it";

    // The hand assignment: the track's row selected by its id, then "Assign to..." and the stem.
    main->showPage (ui::Page::review);
    auto& reviewPage = *main->getReviewPage();
    tickAndSettle (reviewPage);
    TreeRows rows (reviewPage);
    ASSERT_NE (rows.track (glimmerId), nullptr);
    rows.click (*rows.track (glimmerId));
    ASSERT_EQ (reviewPage.getSelectedTrackIds(), juce::StringArray (glimmerId));
    pressEnabled (*findByTitle<juce::Button> (reviewPage, "Assign to..."));
    ASSERT_TRUE (seams->chooseStemMenuItem ("Choir"));
    const auto choir = stemIdNamed (app.session, "Choir");
    EXPECT_EQ (app.session.findTrack (glimmerId)->stemId, choir);
    EXPECT_EQ (app.session.findTrack (glimmerId)->source, AssignmentSource::manual);

    // The render, into a folder chosen on the page.
    main->showPage (ui::Page::levelsAndExport);
    auto& exportPage = *main->getExportPage();
    pressEnabled (exportPage.getRenderBar().chooseFolderButton);
    const auto out = temp.file ("Deliveries");
    ASSERT_TRUE (seams->answerChooser ({ out }));
    pressEnabled (exportPage.getRenderBar().renderButton);

    if (seams->lastBox() != nullptr && seams->lastBox()->question && ! seams->lastBox()->answered)
    {
        ASSERT_TRUE (seams->closeBox (true)); // past the warnings
    }

    ASSERT_TRUE (pumpUntil ([&] { return main->getCurrentPage() == ui::Page::report; }, 60000));
    auto& reportPage = *main->getReportPage();
    ASSERT_TRUE (pumpUntil ([&] { return reportPage.getShownRun() == app.lastReportRun; }));

    // The Choir stem: written, listed on the Report page with its one track.
    juce::File choirFile;

    for (const auto& cueReport : app.lastReport.cues)
        for (const auto& file : cueReport.files)
            if (file.kind == WrittenFile::stemKind && file.stemId == choir)
                choirFile = file.file;

    ASSERT_TRUE (choirFile.existsAsFile()) << "no Choir stem was written";
    EXPECT_TRUE (choirFile.isAChildOf (out));

    auto& table = reportPage.getDeliveryTable();
    const ui::DeliveryRow* row = nullptr;

    for (int i = 0; i < table.getNumRows(); ++i)
        if (table.getRow (i)->file == choirFile)
            row = table.getRow (i);

    ASSERT_NE (row, nullptr) << "the Report page does not list " << choirFile.getFullPathName();
    EXPECT_EQ (row->kind, WrittenFile::stemKind);
    EXPECT_EQ (row->trackCount, 1);
    EXPECT_EQ (row->sizeBytes, choirFile.getSize());
    EXPECT_FALSE (row->statusIsProblem) << row->status;
    EXPECT_NEAR (row->lengthSeconds, frames / rate, 0.001);

    // Its samples are the track's, scaled by the delivery's one gain (and dithered to 24 bits).
    juce::AudioBuffer<double> written, source;
    juce::String error;
    ASSERT_TRUE (readAudioFileAtOwnRate (choirFile, written, error)) << error;
    ASSERT_TRUE (readAudioFileAtOwnRate (glimmer, source, error)) << error;
    ASSERT_EQ (written.getNumChannels(), 2);
    ASSERT_EQ (written.getNumSamples(), frames);

    double cross = 0.0, power = 0.0;

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < frames; ++i)
        {
            cross += written.getSample (ch, i) * source.getSample (ch, i);
            power += source.getSample (ch, i) * source.getSample (ch, i);
        }

    const auto gain = cross / power;
    EXPECT_GT (gain, 0.1);
    EXPECT_LT (gain, 10.0);

    double worst = 0.0;
    int worstChannel = 0, worstFrame = 0;

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < frames; ++i)
            if (const auto off = std::abs (written.getSample (ch, i) - gain * source.getSample (ch, i)); off > worst)
            {
                worst = off;
                worstChannel = ch;
                worstFrame = i;
            }

    EXPECT_LT (worst, 1.0e-5) << "gain " << gain << ", worst at channel " << worstChannel << " frame " << worstFrame;

    main.reset();
}

} // namespace dunmoor::testing
