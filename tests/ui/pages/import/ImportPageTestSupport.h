#pragma once

// A running Import page over an application state whose desktop is faked, with a small tree of
// generated cue folders.

#include <cmath>
#include <memory>

#include "audio/AudioTestFiles.h"
#include "session/SessionTestSupport.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/FindByTitle.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/pages/import/ImportPage.h"

namespace dunmoor::testing
{

/** A mono 24-bit WAV at 48 kHz: seconds of a sine at amplitude, after lead seconds of silence. */
inline juce::File writeTone (const juce::File& file, double seconds, float amplitude = 0.5f, double lead = 0.0)
{
    file.getParentDirectory().createDirectory();
    const auto rate = 48000.0;
    juce::AudioBuffer<float> buffer (1, (int) std::lround ((lead + seconds) * rate));
    buffer.clear();

    for (int i = (int) std::lround (lead * rate); i < buffer.getNumSamples(); ++i)
        buffer.setSample (0, i, amplitude * (float) std::sin (0.05 * i));

    EXPECT_TRUE (writeAudioFile (file, "wav", buffer, rate, 24)) << file.getFullPathName();
    return file;
}

/** A WAV that holds a run of full-scale samples: it reads as clipped. */
inline juce::File writeClipped (const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    juce::AudioBuffer<float> buffer (1, 48000);

    for (int i = 0; i < buffer.getNumSamples(); ++i)
        buffer.setSample (0, i, (i / 100) % 2 == 0 ? 1.0f : -0.3f);

    EXPECT_TRUE (writeAudioFile (file, "wav", buffer, 48000.0, 24));
    return file;
}

/**
    The application state with faked seams (no audio device unless one is given) and no settings
    from an earlier test, the orchestra preset, and the page at 1200 x 700. The tree has two cues: 1M01 (Violins, Horns, Pad with a
    3 s silent lead) and 1M02 (Kick, clipped, and Broken, not audio).
*/
struct ImportPageFixture : ::testing::Test
{
    void SetUp() override
    {
        writeTone (reel.getChildFile ("1M01/Violins.wav"), 2.0);
        writeTone (reel.getChildFile ("1M01/Horns.wav"), 1.5);
        writeTone (reel.getChildFile ("1M01/Pad.wav"), 2.0, 0.5f, 3.0);
        writeClipped (reel.getChildFile ("1M02/Kick.wav"));
        temp.make ("Reel/1M02/Broken.wav", "not audio");

        // A folder of the test's own: the recent folders of an earlier test would change what
        // the choosers offer.
        auto fakeSeams = std::make_unique<FakeSeams> (audio);
        seams = fakeSeams.get();
        app = std::make_unique<ui::AppState> (std::move (fakeSeams), freshLocations());
        app->session.setPreset (makeOrchestraPreset());
        makePage();
    }

    void TearDown() override
    {
        page.reset();
        app.reset();
    }

    virtual void makePage()
    {
        page = std::make_unique<ui::ImportPage> (*app);
        page->setSize (1200, 700);
    }

    /** Imports the whole tree, recursing, as a drop would. */
    void importTree()
    {
        page->filesDropped ({ reel.getFullPathName() }, 10, 10);
    }

    juce::String idOf (const char* fileName) const { return trackIdNamed (app->session, fileName); }

    juce::String shownNames() const
    {
        juce::StringArray names;

        for (const auto& id : page->getShownRows())
            names.add (app->session.findTrack (id)->file.getFileNameWithoutExtension());

        return names.joinIntoString (" ");
    }

    juce::TableListBox& table() { return *findByTitle<juce::TableListBox> (*page, "Tracks"); }

    /** Waits until the waveform cache has the overviews of every readable track. */
    bool waitForOverviews()
    {
        return pumpUntil ([this]
                          {
                              for (const auto& track : app->session.getTracks())
                                  if (track.isReadable() && app->waveformCache.get (track.file.getFullPathName()) == nullptr)
                                      return false;

                              return true;
                          });
    }

    TemporaryFolder temp;
    juce::File reel = temp.file ("Reel");
    std::shared_ptr<FakeAudioOutput> audio;
    FakeSeams* seams = nullptr;
    std::unique_ptr<ui::AppState> app;
    std::unique_ptr<ui::ImportPage> page;
};

} // namespace dunmoor::testing
