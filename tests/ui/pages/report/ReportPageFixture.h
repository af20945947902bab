#pragma once

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "render/RenderTestSupport.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/pages/report/DeliveryTable.h"
#include "ui/pages/report/ReportPage.h"

namespace dunmoor::testing
{

/**
    A Report page at 1360 x 860 over an AppState whose seams are fakes: choosers, boxes, the
    clipboard and the opener are recorded; audio goes to a fake output that renders only when
    asked, so a play is an engine request and nothing sounds. Reports come from real renders of
    short tones into a temporary folder, or are built by hand.
*/
class ReportPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FakeAudioOutput::Settings audio;
        audio.pacing = FakeAudioOutput::Pacing::manual;
        output = std::make_shared<FakeAudioOutput> (audio);

        outputRoot = temp.file ("Deliveries");
        ASSERT_TRUE (outputRoot.createDirectory());
        useSeams (std::make_unique<FakeSeams> (output));
    }

    /** A new AppState and page over these seams. */
    void useSeams (std::unique_ptr<FakeSeams> seams)
    {
        page.reset();
        fake = seams.get();
        state = std::make_unique<ui::AppState> (std::move (seams), locations);
        state->setOutputFolder (outputRoot);
        makePage();
    }

    void TearDown() override
    {
        page.reset();
        state.reset();
    }

    void makePage()
    {
        page.reset();
        page = std::make_unique<ui::ReportPage> (*state);
        page->setSize (1360, 860);
    }

    ui::ReportPage::DeliveryTable& table() { return page->getDeliveryTable(); }

    /** Renders one cue per name, each of two stems of short tones (three files with the mix). */
    BatchReport render (const juce::StringArray& cueNames, double seconds = 0.5)
    {
        std::vector<RenderRequest> requests;

        for (const auto& name : cueNames)
        {
            auto preset = makeRenderPreset ({ "Strings", "Brass" });
            preset.metadata.cue = name;
            const auto sources = temp.file ("sources").getChildFile (name);
            const auto frames = (int) (48000 * seconds);
            const auto strings = writeTone (sources.getChildFile ("violins.wav"), 2, frames, 48000.0, 440.0, 0.3);
            const auto brass = writeTone (sources.getChildFile ("horns.wav"), 2, frames, 48000.0, 220.0, 0.2);
            auto request = makeRequest (preset, outputRoot.getChildFile (name), { { strings }, { brass } });
            request.cueName = name;
            requests.push_back (std::move (request));
        }

        auto report = runQueue (std::move (requests), {}, {});
        report.outputRoot = outputRoot;
        return report;
    }

    /** Three rendered cues, the second of which failed. */
    BatchReport renderThreeCuesWithTheSecondInError()
    {
        auto report = render ({ "1m01 Arrival", "1m02 Chase", "1m03 Home" });
        auto& second = report.cues[1];
        second.ok = false;
        second.errors.add ("Brass: could not read horns.wav");
        report.allOk = false;
        return report;
    }

    /** One cue "1m01" whose files (made on disk, a few bytes each) have these names and peaks
        (-400: none). */
    BatchReport handMadeReport (const std::vector<std::pair<juce::String, double>>& files)
    {
        CueReport cue;
        cue.ok = true;
        cue.cueName = "1m01";
        cue.sampleRate = 48000.0;
        cue.outputFolder = outputRoot.getChildFile ("1m01");
        EXPECT_TRUE (cue.outputFolder.createDirectory());

        for (const auto& [name, peak] : files)
        {
            WrittenFile written;
            written.file = cue.outputFolder.getChildFile (name);
            EXPECT_TRUE (written.file.replaceWithText ("x"));
            written.fileSize = 1;
            written.peakDb = peak;
            written.settingsDescription = "WAV 24bit 48kHz 2ch";
            cue.files.push_back (written);
        }

        BatchReport report;
        report.allOk = true;
        report.outputRoot = outputRoot;
        report.cues.push_back (cue);
        return report;
    }

    /** Hands the report to AppState as an export would and lets the page follow. */
    void deliver (BatchReport report)
    {
        state->setLastReport (std::move (report));
        EXPECT_TRUE (pumpUntil ([this] { return page->getShownRun() == state->lastReportRun; }));
    }

    /** The file names of the table in display order. */
    juce::StringArray shownFileNames()
    {
        juce::StringArray names;

        for (int i = 0; i < table().getNumRows(); ++i)
            names.add (table().getRow (i)->fileName);

        return names;
    }

    /**
        Sends a key to the rename editor as the window would: its key listener (the table) first,
        then the editor itself. The page stays off the desktop, so that test programs running side
        by side on one display never take the keyboard focus from each other.
    */
    void pressKey (const juce::KeyPress& key)
    {
        auto& editor = table().getRenameEditor();

        if (! table().keyPressed (key, &editor))
            editor.keyPressed (key);
    }

    /** Types a name into the open rename editor and confirms it with Return. */
    void typeNameAndReturn (const juce::String& name)
    {
        auto& editor = table().getRenameEditor();
        ASSERT_TRUE (editor.isVisible());
        editor.setText (name, false);
        pressKey (juce::KeyPress (juce::KeyPress::returnKey));
        EXPECT_TRUE (pumpUntil ([&] { return ! editor.isVisible(); }, 5000)) << "Return closes the editor";
    }

    /** The names of the files in a folder, sorted. */
    static juce::StringArray namesIn (const juce::File& folder)
    {
        return TemporaryFolder::listing (folder);
    }

    /** The texts of every message box so far, as "title: message". */
    juce::StringArray boxTexts() const
    {
        juce::StringArray texts;

        for (const auto& box : fake->boxes)
            texts.add (box.request.title + ": " + box.request.message);

        return texts;
    }

    TemporaryFolder temp;
    const ui::AppState::Locations locations = freshLocations();
    juce::File outputRoot;
    std::shared_ptr<FakeAudioOutput> output;
    FakeSeams* fake = nullptr;
    std::unique_ptr<ui::AppState> state;
    std::unique_ptr<ui::ReportPage> page;
};

} // namespace dunmoor::testing
