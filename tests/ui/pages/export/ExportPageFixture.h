#pragma once

#include <memory>

#include "TestFolder.h"
#include "render/RenderTestSupport.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/pages/export/ExportPage.h"
#include "ui/look/Theme.h"

#include "core/model/BuiltInPresets.h"

namespace dunmoor::testing
{

/** The cleanup the tests use: on, below -60 dBFS for half a second, 50 ms fades, down to silence. */
inline SilenceGateSettings testCleanup()
{
    SilenceGateSettings gate;
    gate.enabled = true;
    gate.thresholdDb = -60.0;
    gate.minimumSeconds = 0.5;
    gate.fadeOutSeconds = 0.05;
    gate.fadeInSeconds = 0.05;
    gate.floorDb = -400.0;
    return gate;
}

/** A sound card that plays as fast as it can. */
inline std::shared_ptr<FakeAudioOutput> flatOutAudio()
{
    FakeAudioOutput::Settings audio;
    audio.pacing = FakeAudioOutput::Pacing::flatOut;
    return std::make_shared<FakeAudioOutput> (audio);
}

/** A click as the user makes it: the button reports it through a posted message. */
inline void click (juce::Button& button)
{
    button.triggerClick();
    pumpMessages (20);
}

/**
    An application state with seams the test answers, the built-in example preset as the working
    copy, generated cues on disk and the Levels & Export page at 1360 x 860. Tracks are short
    tones whose names the example preset's keywords place in Drums, Bass and Strings.
*/
struct ExportPageFixture
{
    explicit ExportPageFixture (std::shared_ptr<FakeAudioOutput> audio = nullptr)
    {
        auto fakeSeams = std::make_unique<FakeSeams> (std::move (audio));
        seams = fakeSeams.get();
        app = std::make_unique<ui::AppState> (std::move (fakeSeams), freshLocations());
        app->session.setPreset (makeHybridOrchestraExamplePreset());
    }

    ~ExportPageFixture()
    {
        page.reset();
        pumpMessages (10);
    }

    /** A cue folder with one tone per name (stereo, 48 kHz, -12 dBFS, seconds long). */
    juce::File writeCue (const juce::String& cueName, const juce::StringArray& trackNames, double seconds = 0.2)
    {
        const auto folder = temp.file ("in/" + cueName);

        for (int i = 0; i < trackNames.size(); ++i)
            writeTone (folder.getChildFile (trackNames[i] + ".wav"), 2, (int) (seconds * 48000.0), 48000.0,
                       110.0 * (i + 1), 0.25);

        return folder;
    }

    /** Imports cues 1M01 .. 1M0n of three tracks each; returns the import root. */
    juce::File importCues (int count, double seconds = 0.2)
    {
        for (int i = 1; i <= count; ++i)
            writeCue ("1M0" + juce::String (i), { "Kick", "Bass", "Strings" }, seconds);

        (void) app->session.importFiles ({ temp.file ("in") }, true);
        return temp.file ("in");
    }

    ui::ExportPage& makePage (int width = 1360, int height = 860)
    {
        page = std::make_unique<ui::ExportPage> (*app);
        page->setSize (width, height);
        page->onExportFinished = [this] { ++exportsFinished; };
        return *page;
    }

    /** Sets the output folder as the chooser would, without the chooser. */
    juce::File useOutputFolder (const juce::String& name = "out")
    {
        const auto folder = temp.file (name);
        app->setOutputFolder (folder);
        page->refresh();
        return folder;
    }

    bool waitForRunToEnd (int timeoutMs = 30000)
    {
        return pumpUntil ([this] { return ! page->getRunControl().isRunInFlight(); }, timeoutMs);
    }

    const Preset& preset() const { return app->session.getPreset(); }

    /** Turns the session preset's cleanup on, as testCleanup has it. */
    void useCleanup()
    {
        auto copy = preset();
        copy.exportSettings.silenceGate = testCleanup();
        app->session.updatePreset (copy);
    }

    TemporaryFolder temp;
    FakeSeams* seams = nullptr;
    std::unique_ptr<ui::AppState> app;
    std::unique_ptr<ui::ExportPage> page;
    int exportsFinished = 0;
};

} // namespace dunmoor::testing
