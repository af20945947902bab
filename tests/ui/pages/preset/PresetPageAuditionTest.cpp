#include <gtest/gtest.h>

#include "session/SessionTestSupport.h"
#include "ui/pages/preset/PresetAudition.h"
#include "ui/pages/preset/PresetPageTestSupport.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::testing
{
namespace
{
    /** The page over the example preset, two cues imported and a sound card that plays only
        when the test renders blocks (so an audition plays until it is stopped). */
    struct PresetPageAudition : PresetPageFixture
    {
        void SetUp() override
        {
            PresetPageFixture::SetUp();
            FakeAudioOutput::Settings settings;
            settings.pacing = FakeAudioOutput::Pacing::manual;
            output = std::make_shared<FakeAudioOutput> (settings);
            build (output);
            ASSERT_TRUE (engine().isAudioAvailable()) << engine().getDeviceErrorText();

            importCues ({ { "Cue A", { "Kick.wav", "Snare.wav", "Bass.wav" } }, { "Cue B", { "Kick.wav" } } });
            loadExample();
            drums = session().findTrack (trackIdNamed (session(), "Kick.wav"))->stemId;
            bass = session().findTrack (trackIdNamed (session(), "Bass.wav"))->stemId;
            ASSERT_TRUE (drums.isNotEmpty() && bass.isNotEmpty() && drums != bass);
        }

        ui::PreviewEngine& engine() { return app->previewEngine; }
        int rowOfStem (const juce::String& id) { return working().schema.indexOfStem (id); }
        ui::WaveformView& view() { return *findByTitle<ui::WaveformView> (*page, "Audition"); }
        bool busy() { return engine().isPlaying() || engine().isLoading(); }

        std::shared_ptr<FakeAudioOutput> output;
        juce::String drums, bass;
    };

    TEST_F (PresetPageAudition, CellsPlayStopAndSwitch)
    {
        // "All cues": no cell, and Space does nothing here.
        EXPECT_EQ (rowLayout().auditionCell.getWidth(), 0);
        stems().selectRow (rowOfStem (drums));
        page->togglePlayback();
        EXPECT_FALSE (busy());
        EXPECT_TRUE (engine().getRequestedSourceId().isEmpty());

        chooseCue ("Cue A");
        const auto cueA = cueKeyOf ("Cue A");
        EXPECT_EQ (rowLayout().auditionCell.getWidth(), 22);

        const auto drumsId = ui::PresetAudition::stemSourceId (cueA, drums);
        clickAuditionCell (rowOfStem (drums));
        EXPECT_EQ (engine().getRequestedSourceId(), drumsId);
        ASSERT_TRUE (pumpUntil ([this] { return engine().isPlaying(); }));
        EXPECT_EQ (engine().getLoadedSourceId(), drumsId);
        ASSERT_TRUE (pumpUntil ([this] { return view().isVisible() && view().hasPeaks(); }));

        // While playing a click on the waveform moves within the loaded window (the device takes
        // the jump at its next block, and plays on from there).
        EXPECT_LT (engine().getWindowPosition(), 0.2);
        view().onSeek (0.5);
        output->renderBlocks (1);
        EXPECT_GE (engine().getWindowPosition(), 0.5);
        EXPECT_LT (engine().getWindowPosition(), 0.75);

        // The second click stops; the view goes once the state is next looked at.
        clickAuditionCell (rowOfStem (drums));
        EXPECT_TRUE (engine().getRequestedSourceId().isEmpty());
        EXPECT_FALSE (audition().isAuditioning());
        ASSERT_TRUE (pumpUntil ([this] { return ! view().isVisible(); }));

        // A stopped audition ignores the waveform.
        const auto position = engine().getWindowPosition();
        view().onSeek (0.9);
        EXPECT_EQ (engine().getWindowPosition(), position);

        // Another stem's cell switches to it.
        clickAuditionCell (rowOfStem (drums));
        clickAuditionCell (rowOfStem (bass));
        EXPECT_EQ (engine().getRequestedSourceId(), ui::PresetAudition::stemSourceId (cueA, bass));
        EXPECT_EQ (stems().getSelectedRow(), rowOfStem (bass));

        // Space stops, and plays the current stem again.
        page->togglePlayback();
        EXPECT_FALSE (audition().isAuditioning());
        page->togglePlayback();
        EXPECT_EQ (engine().getRequestedSourceId(), ui::PresetAudition::stemSourceId (cueA, bass));

        // After the audio has run out by itself, one click plays it again (it used to only stop).
        ASSERT_TRUE (pumpUntil ([this] { return engine().isPlaying(); }));
        ASSERT_TRUE (pumpUntil ([this]
        {
            output->renderBlocks (20);
            return ! busy();
        }));
        ASSERT_TRUE (engine().isActiveFor (ui::PresetAudition::stemSourceId (cueA, bass)));
        clickAuditionCell (rowOfStem (bass));
        EXPECT_TRUE (audition().isAuditioning());

        // A change of scope stops.
        chooseCue ("Cue B");
        EXPECT_FALSE (audition().isAuditioning());
        ASSERT_TRUE (pumpUntil ([this]
        {
            output->renderBlocks (20);
            return ! busy();
        })) << "a stopped audition winds down";

        // A stem without tracks in this cue has an empty, silent cell.
        const auto boxes = seams->boxes.size();
        clickAuditionCell (rowOfStem (bass));
        EXPECT_FALSE (busy());
        EXPECT_EQ (seams->boxes.size(), boxes);
    }

    TEST_F (PresetPageAudition, AMixPlaysFromItsHeading)
    {
        addMix ("Instrumental");
        chooseCue ("Cue A");
        const auto mixId = working().schema.alternativeMixes[0].id;
        auto& heading = mixHeading();
        const auto zone = ui::TickColumns::auditionZone (rowLayout().columns[0], true);
        ASSERT_EQ (zone.getWidth(), 18);

        heading.mouseDown (mouseEventAt (heading, zone.getCentre().toFloat()));
        EXPECT_EQ (engine().getRequestedSourceId(), ui::PresetAudition::mixSourceId (cueKeyOf ("Cue A"), mixId));
        EXPECT_TRUE (audition().isAuditioning());
        heading.mouseDown (mouseEventAt (heading, zone.getCentre().toFloat()));
        EXPECT_FALSE (audition().isAuditioning());
        ASSERT_TRUE (pumpUntil ([this]
        {
            output->renderBlocks (20);
            return ! busy();
        })) << "a stopped audition winds down";

        // A mix without a member that has tracks in the cue does nothing.
        for (const auto& stem : working().schema.stems)
            if (mixColumns().isStemInMix (0, stem.id))
                clickTick (working().schema.indexOfStem (stem.id), 0);

        heading.mouseDown (mouseEventAt (heading, zone.getCentre().toFloat()));
        EXPECT_FALSE (busy());
    }

    TEST_F (PresetPageAudition, WithoutAnAudioDeviceEveryStartSaysWhy)
    {
        FakeAudioOutput::Settings settings;
        settings.openError = "The device is busy.";
        build (std::make_shared<FakeAudioOutput> (settings));
        importCues ({ { "Cue A", { "Kick.wav", "Snare.wav", "Bass.wav" } } });
        loadExample();
        chooseCue ("Cue A");
        const auto drumsRow = rowOfStem (session().findTrack (trackIdNamed (session(), "Kick.wav"))->stemId);

        for (int attempt = 1; attempt <= 2; ++attempt)
        {
            clickAuditionCell (drumsRow);
            ASSERT_EQ (seams->boxes.size(), (size_t) attempt);
            EXPECT_EQ (lastBoxTitle(), "No audio output");
            EXPECT_EQ (seams->lastBox()->request.message,
                       "Brackenfold could not open an audio device, so auditioning is unavailable.\n\nThe device is busy.");
        }

        // An empty cell stays silent: no message either.
        const auto emptyRow = rowOfStem (working().schema.stems.back().id);
        ASSERT_FALSE (audition().getAuditionTracks (working().schema.stems.back(), mixColumns().getSelectedCueKey()).size() > 0);
        clickAuditionCell (emptyRow);
        EXPECT_EQ (seams->boxes.size(), 2u);
    }
} // namespace
} // namespace dunmoor::testing
