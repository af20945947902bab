#include <gtest/gtest.h>

#include <atomic>

#include "ui/FreshLocations.h"
#include "core/preset/PresetReader.h"
#include "core/render/RenderJob.h"
#include "core/render/RenderPlan.h"
#include "render/RenderTestSupport.h"
#include "session/SessionTestSupport.h"
#include "ui/pages/preset/PresetAudition.h"
#include "ui/pages/preset/StemTemplateMenu.h"
#include "ui/pages/preset/PresetPageTestSupport.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::testing
{
namespace
{
    using PresetPageEndToEnd = PresetPageFixture;

    constexpr int slotFrames = 12000; // a quarter of a second at 48 kHz
    const juce::StringArray slotFiles { "Kick.wav", "Bass.wav", "Guitar.wav", "Vocal.wav" };

    /** A one-second track that sounds only in its quarter of the second. */
    juce::File writeSlotTrack (const juce::File& file, int slot)
    {
        return writeTrack (file, 1, 4 * slotFrames, 48000.0, [slot] (int, int i)
                           {
                               return i / slotFrames == slot ? (float) (0.3 * std::sin (0.07 * i)) : 0.0f;
                           });
    }

    /** The largest magnitude in each quarter of a buffer (over all channels). */
    std::array<double, 4> slotPeaks (const juce::AudioBuffer<double>& buffer)
    {
        std::array<double, 4> peaks {};
        const int quarter = buffer.getNumSamples() / 4;

        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            for (int i = 0; i < 4 * quarter; ++i)
                peaks[(size_t) (i / quarter)] = std::max (peaks[(size_t) (i / quarter)], std::abs (buffer.getSample (ch, i)));

        return peaks;
    }

    /** The same for an overview: the largest bucket in each quarter of the buckets. */
    std::array<double, 4> slotPeaks (const WaveformOverview& overview)
    {
        std::array<double, 4> peaks {};
        const int quarter = (int) overview.maximums.size() / 4;

        for (int i = 0; i < 4 * quarter; ++i)
            peaks[(size_t) (i / quarter)] = std::max ({ peaks[(size_t) (i / quarter)], (double) overview.maximums[(size_t) i],
                                                        (double) -overview.minimums[(size_t) i] });

        return peaks;
    }

    /** Picks the built-in template of that name from the "Add stem" menu. */
    void addStemFromMenu (PresetPageFixture& f, const juce::String& name)
    {
        f.click ("Add stem");

        for (const auto& item : f.seams->lastMenuItems())
        {
            if (item.text.startsWith (name + "   (") && ! item.hasSubMenu)
            {
                f.seams->chooseMenuItem (item.id);
                return;
            }
        }

        ADD_FAILURE() << "no template " << name;
    }

    TEST_F (PresetPageEndToEnd, SnapshotsAtTheDefaultAndTheSmallestWindow)
    {
        loadExample();
        stems().selectRow (2);
        page->repaint();
        pumpMessages (20);
        saveSnapshot (*page, "preset");

        page->setSize (1100, 720);
        pumpMessages (20);
        saveSnapshot (*page, "preset-narrow");

        // Nothing sits outside the page or on top of another control at the smallest size.
        for (const auto* title : { "Name", "Short code", "File name token", "Keyword rules", "Stem-wide exclusions" })
            EXPECT_TRUE (page->getLocalBounds().contains (boundsOnPage (field (title)))) << title;

        EXPECT_FALSE (boundsOnPage (stems()).intersects (boundsOnPage (field ("Name"))));
        EXPECT_LE (boundsOnPage (button ("Move later")).getRight(), boundsOnPage (field ("Name")).getX() - 12);
    }

    // A new user: four tracks, one locked, the example preset, a stem renamed in place, a rule
    // that moves a track, and Save as. The file holds the edits under the same stem ids and the
    // session keeps the lock.
    TEST_F (PresetPageEndToEnd, ANewUserEditsTheExampleAndSavesItAsTheirOwn)
    {
        const auto cue = temp.folder.getChildFile ("Cue 1");

        for (const auto* name : { "Kick.wav", "Violins.wav", "Choir.wav", "Bass.wav" })
            writeShortWav (cue.getChildFile (name));

        const auto summary = session().importFiles ({ cue }, false);
        ASSERT_EQ (session().getTracks().size(), 4u);

        const auto kick = trackIdNamed (session(), "Kick.wav");
        const auto choir = trackIdNamed (session(), "Choir.wav");

        clickLibraryRow (rowOf (builtInExamplePresetId));
        ASSERT_EQ (app->presetId, builtInExamplePresetId);
        const auto drums = session().findTrack (kick)->stemId;
        const auto choirStem = session().findTrack (choir)->stemId;
        ASSERT_TRUE (drums.isNotEmpty());
        ASSERT_TRUE (choirStem.isNotEmpty());
        session().setTracksLocked ({ kick }, true);

        // Rename the Drums stem in place.
        const int drumsRow = working().schema.indexOfStem (drums);
        stems().selectRow (drumsRow);
        stemPanel().startInlineRename (drumsRow);
        auto& editor = field ("Stem name");
        editor.setText ("Kit");
        pressKey (editor, juce::KeyPress::returnKey);
        ASSERT_TRUE (pumpUntil ([&] { return working().schema.findStem (drums)->displayName == "Kit"; }));
        EXPECT_EQ (session().findTrack (kick)->stemId, drums);

        // Give the Sound Design stem a rule that takes the choir track.
        const auto sfx = [this]
        {
            for (const auto& stem : working().schema.stems)
                if (stem.displayName == "Sound Design")
                    return stem.id;

            return juce::String();
        }();
        ASSERT_TRUE (sfx.isNotEmpty());
        stems().selectRow (working().schema.indexOfStem (sfx));
        typeInto (field ("Keyword rules"), ", ~Choir", false);
        page->unfocusAllComponents();
        EXPECT_TRUE (pumpUntil ([&] { return session().findTrack (choir)->stemId == sfx; })) << session().findTrack (choir)->reason;
        EXPECT_EQ (status(), "Unsaved changes in this session");

        click ("Save as");
        ASSERT_EQ (seams->prompts.size(), 1u);
        seams->answerPrompt (true, { "My Publisher" });

        const auto* entry = app->presetLibrary->findEntry (app->presetId);
        ASSERT_NE (entry, nullptr);
        EXPECT_EQ (entry->name, "My Publisher");
        EXPECT_EQ (entry->file.getFileName(), "My Publisher.dunmoor.json");

        const auto saved = loadPresetFile (entry->file);
        ASSERT_TRUE (saved.ok) << saved.messages.toText();
        EXPECT_EQ (saved.preset.schema.findStem (drums)->displayName, "Kit");
        EXPECT_EQ (saved.preset.schema.findStem (sfx)->rules.back().pattern, "Choir");
        EXPECT_EQ (saved.preset.schema.findStem (sfx)->rules.back().mode, MatchMode::exact);

        const auto example = app->presetLibrary->loadPreset (builtInExamplePresetId).preset;
        ASSERT_EQ (saved.preset.schema.stems.size(), example.schema.stems.size());

        for (size_t i = 0; i < example.schema.stems.size(); ++i)
            EXPECT_EQ (saved.preset.schema.stems[i].id, example.schema.stems[i].id);

        EXPECT_EQ (session().findTrack (kick)->stemId, drums);
        EXPECT_EQ (session().findTrack (kick)->source, AssignmentSource::locked);
        EXPECT_EQ (session().findTrack (choir)->stemId, sfx);
        EXPECT_EQ (status(), "");
        EXPECT_EQ (library().getSelectedRow(), rowOf (app->presetId));
        juce::ignoreUnused (summary, choirStem);
    }

    // A new user's delivery with an instrumental: stems from templates, the mix without the
    // vocal, one more stem left out for the second cue only, the mix heard, the preset saved,
    // and both cues rendered by the core. Every track sounds in a quarter of the second of its
    // own, so each stem's part can be heard, or not, in the result.
    TEST_F (PresetPageEndToEnd, AnInstrumentalWithAnExceptionForOneCue)
    {
        FakeAudioOutput::Settings settings;
        settings.pacing = FakeAudioOutput::Pacing::manual;
        build (std::make_shared<FakeAudioOutput> (settings));

        juce::Array<juce::File> folders;

        for (const auto* cue : { "Cue One", "Cue Two" })
        {
            for (int slot = 0; slot < 4; ++slot)
                writeSlotTrack (temp.folder.getChildFile (cue).getChildFile (slotFiles[slot]), slot);

            folders.add (temp.folder.getChildFile (cue));
        }

        (void) session().importFiles (folders, false);
        ASSERT_EQ (session().getTracks().size(), 8u);

        for (const auto* name : { "Drums", "Bass", "Guitars", "Vocals" })
            addStemFromMenu (*this, name);

        ASSERT_EQ (working().schema.stems.size(), 4u);
        ASSERT_TRUE (session().getUnassignedTracks().empty());
        const auto stemOf = [this] (const juce::String& file) { return session().findTrack (trackIdNamed (session(), file))->stemId; };
        const auto guitars = stemOf ("Guitar.wav"), vocals = stemOf ("Vocal.wav");

        addMix ("Instrumental");
        clickTick (working().schema.indexOfStem (vocals), 0);
        const auto mix = working().schema.alternativeMixes[0];
        ASSERT_EQ (mix.stemIds.size(), 3);
        ASSERT_FALSE (mix.stemIds.contains (vocals));

        chooseCue ("Cue Two");
        clickTick (working().schema.indexOfStem (guitars), 0);
        const auto cueTwo = cueKeyOf ("Cue Two");
        EXPECT_EQ (session().findCue (cueTwo)->getAlternativeMixStems (mix).size(), 2);

        // The heading's audition zone plays the second cue's instrumental: kick and bass only.
        auto& engine = app->previewEngine;
        auto& heading = mixHeading();
        heading.mouseDown (mouseEventAt (heading, ui::TickColumns::auditionZone (rowLayout().columns[0], true).getCentre().toFloat()));
        EXPECT_EQ (engine.getRequestedSourceId(), ui::PresetAudition::mixSourceId (cueTwo, mix.id));
        ASSERT_TRUE (pumpUntil ([&engine] { return engine.isPlaying(); }));
        const auto heard = slotPeaks (engine.getMixOverview());
        EXPECT_GT (heard[0], 0.1);
        EXPECT_GT (heard[1], 0.1);
        EXPECT_LT (heard[2], 1.0e-4) << "the guitar, left out for this cue";
        EXPECT_LT (heard[3], 1.0e-4) << "the vocal, left out of the mix";
        page->togglePlayback();

        // Save as: the file holds the mix as the preset has it; the exception stays in the project.
        click ("Save as");
        ASSERT_EQ (seams->prompts.size(), 2u);
        seams->answerPrompt (true, { "My Delivery" });
        const auto* entry = app->presetLibrary->findEntry (app->presetId);
        ASSERT_NE (entry, nullptr);
        const auto saved = loadPresetFile (entry->file);
        ASSERT_TRUE (saved.ok) << saved.messages.toText();
        ASSERT_EQ (saved.preset.schema.alternativeMixes.size(), 1u);
        EXPECT_EQ (saved.preset.schema.alternativeMixes[0].name, "Instrumental");
        EXPECT_EQ (saved.preset.schema.alternativeMixes[0].stemIds, mix.stemIds);

        // The core renders both cues.
        const auto out = temp.folder.getChildFile ("Delivery");
        auto plan = buildBatchPlan (session().getPreset(), session().getTracks(), session().getCuesWithTracks(), out, false);
        ASSERT_TRUE (plan.errors.isEmpty()) << plan.errors.joinIntoString ("\n");
        std::vector<RenderRequest> requests;

        for (const auto& cuePlan : plan.cues)
            requests.push_back (cuePlan.request);

        RenderJob job;
        std::atomic<bool> finished { false };
        BatchReport report;
        ASSERT_TRUE (job.start (requests, [&] (const BatchReport& r) { report = r; finished = true; }));
        ASSERT_TRUE (job.waitForThreadToExit (-1));
        ASSERT_TRUE (finished.load());
        ASSERT_TRUE (report.allOk) << report.errors.joinIntoString ("\n");

        for (const auto& cue : report.cues)
        {
            const WrittenFile* instrumental = nullptr;

            for (const auto& file : cue.files)
                if (file.kind == WrittenFile::alternativeMixKind)
                    instrumental = &file;

            ASSERT_NE (instrumental, nullptr) << cue.cueName;
            const auto peaks = slotPeaks (readBack (instrumental->file));
            SCOPED_TRACE (cue.cueName + ": " + instrumental->file.getFileName());
            EXPECT_GT (peaks[0], 0.01);
            EXPECT_GT (peaks[1], 0.01);
            EXPECT_LT (peaks[3], 1.0e-3) << "no vocal in the instrumental";

            if (cue.cueKey == cueTwo)
                EXPECT_LT (peaks[2], 1.0e-3) << "the guitar was left out for this cue";
            else
                EXPECT_GT (peaks[2], 0.01) << "the guitar is in the first cue's instrumental";
        }
    }

    TEST_F (PresetPageEndToEnd, SnapshotWithThreeMixesACueAndAStemPlaying)
    {
        FakeAudioOutput::Settings settings;
        settings.pacing = FakeAudioOutput::Pacing::manual;
        build (std::make_shared<FakeAudioOutput> (settings));
        importCues ({ { "1M01 Opening", { "Kick.wav", "Snare.wav", "Bass.wav", "Violins.wav", "Choir.wav" } } });
        loadExample();

        for (const auto* name : { "Instrumental", "No Drums", "Underscore without the choir" })
            addMix (name);

        chooseCue ("1M01 Opening");
        const auto bass = session().findTrack (trackIdNamed (session(), "Bass.wav"))->stemId;
        clickTick (0, 1);
        clickTick (1, 1);
        clickAuditionCell (working().schema.indexOfStem (bass));
        auto& view = *findByTitle<ui::WaveformView> (*page, "Audition");
        ASSERT_TRUE (pumpUntil ([&view] { return view.isVisible() && view.hasPeaks(); }));

        saveSnapshot (*page, "preset-mixes");

        // The cells and the heading show what plays: the bass row's cell holds the stop square.
        const auto image = paintToImage (*page);
        const auto row = stems().getRowPosition (working().schema.indexOfStem (bass), true);
        const auto cell = page->getLocalPoint (&stems(), row.getPosition()) + juce::Point<int> (11, row.getHeight() / 2);
        EXPECT_EQ (image.getPixelAt (cell.x, cell.y).getARGB(), ui::currentPalette().accent.getARGB());
    }

    // The real menus, shown by the framework on the virtual display: the template menu picks a
    // stem, the count menu adds a run.
    TEST_F (PresetPageEndToEnd, TheRealMenus)
    {
        struct RealMenuSeams : FakeSeams
        {
            void showPopupMenu (const juce::PopupMenu& menu, const juce::PopupMenu::Options& options, std::function<void (int)> onChosen) override
            {
                juce::PopupMenu (menu).showMenuAsync (options, std::move (onChosen));
            }
        };

        page.reset();
        app.reset();
        auto realSeams = std::make_unique<RealMenuSeams>();
        seams = realSeams.get();
        app = std::make_unique<ui::AppState> (std::move (realSeams), locations);
        makePage (false);

        // Finds a shown menu item by the title it gives a screen reader, and presses it.
        const auto press = [this] (const juce::String& title)
        {
            juce::AccessibilityHandler* found = nullptr;

            const std::function<void (juce::Component&)> search = [&] (juce::Component& c)
            {
                if (auto* handler = c.getAccessibilityHandler(); handler != nullptr && handler->getTitle().startsWith (title)
                                                                 && handler->getRole() == juce::AccessibilityRole::menuItem)
                    found = handler;

                for (auto* child : c.getChildren())
                    search (*child);
            };

            if (! pumpUntil ([&] { found = nullptr; search (*page); return found != nullptr; }))
                return false;

            return found->getActions().invoke (juce::AccessibilityActionType::press);
        };

        click ("Add stem");
        ASSERT_TRUE (press ("Default schema"));
        ASSERT_TRUE (press ("Guitars   ("));
        ASSERT_TRUE (pumpUntil ([this] { return working().schema.stems.size() == 1; }));
        EXPECT_EQ (working().schema.stems[0].shortCode, "GTR");

        click ("Add N stems");
        ASSERT_TRUE (press ("3"));
        ASSERT_TRUE (pumpUntil ([this] { return working().schema.stems.size() == 4; }));
        EXPECT_EQ (working().schema.stems.back().displayName, "Stem 4");

        // Dismissed, a menu changes nothing.
        click ("Add stem");
        ASSERT_TRUE (pumpUntil ([] { return juce::PopupMenu::dismissAllActiveMenus(); }));
        pumpUntil ([] { return false; }, 50);
        EXPECT_EQ (working().schema.stems.size(), 4u);
    }
} // namespace
} // namespace dunmoor::testing
