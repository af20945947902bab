#pragma once

// A running Preset & Stems page over an application state whose desktop is faked, with the
// library in the test process's own data folder.

#include <memory>

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/FindByTitle.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/pages/preset/PresetPage.h"
#include "ui/shell/Theme.h"

namespace dunmoor::testing
{

/** A short mono 24-bit WAV (a quiet tone) for importing. */
inline juce::File writeShortWav (const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    juce::AudioBuffer<float> buffer (1, 4800);

    for (int i = 0; i < buffer.getNumSamples(); ++i)
        buffer.setSample (0, i, 0.25f * (float) std::sin (0.05 * i));

    EXPECT_TRUE (writeAudioFile (file, "wav", buffer, 48000.0, 24)) << file.getFullPathName();
    return file;
}

/**
    The application state with faked seams and no audio device, its library holding the two
    built-in presets, and the page at 1360 x 860 on the desktop (so that it can take the
    keyboard focus). Every test starts without settings, presets or templates.
*/
struct PresetPageFixture : ::testing::Test
{
    void SetUp() override
    {
        clearUserData();
        auto fakeSeams = std::make_unique<FakeSeams>();
        seams = fakeSeams.get();
        app = std::make_unique<ui::AppState> (std::move (fakeSeams));
        makePage();
    }

    void TearDown() override
    {
        page.reset();
        app.reset();
        clearUserData();
    }

    static void clearUserData()
    {
        juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile ("Brackenfold").deleteRecursively();
    }

    void makePage()
    {
        page = std::make_unique<ui::PresetPage> (*app);
        ui::applyLabelTones (*page); // as the application does when it installs its palette
        page->setSize (1360, 860);
        page->addToDesktop (0);
        page->setVisible (true);
        pumpMessages (20);
    }

    //==============================================================================
    Session& session() { return app->session; }
    const Preset& working() { return app->session.getPreset(); }
    juce::ListBox& stems() { return page->getStemListBox(); }
    juce::ListBox& library() { return *findByTitle<juce::ListBox> (*page, "Preset library"); }
    juce::TextEditor& field (const juce::String& title) { return *findByTitle<juce::TextEditor> (*page, title); }
    juce::Button& button (const juce::String& title) { return *findByTitle<juce::Button> (*page, title); }
    /** Clicks a button as the user does; its click arrives through the message loop. */
    void click (const juce::String& title)
    {
        button (title).triggerClick();
        pumpMessages (20);
    }

    juce::String status() { return findByTitle<juce::Label> (*page, "Preset status")->getText(); }

    int rowOf (const juce::String& presetId)
    {
        const auto& entries = app->presetLibrary->getEntries();

        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].id == presetId)
                return (int) i;

        return -1;
    }

    /** Clicks a library row as the user does: the list selects it and the page reacts. */
    void clickLibraryRow (int row) { library().selectRow (row); }

    /** Loads the example preset by clicking its row; the working copy is unedited then. */
    void loadExample()
    {
        clickLibraryRow (rowOf (builtInExamplePresetId));
        ASSERT_EQ (app->presetId, builtInExamplePresetId);
    }

    /** A user preset in the library, made current. */
    juce::String saveUserPreset (const juce::String& name)
    {
        auto preset = duplicatePreset (makeHybridOrchestraExamplePreset(), name, PresetKind::publisher, StemIds::keep);
        juce::String error;
        EXPECT_TRUE (app->presetLibrary->savePreset (preset, error)) << error;
        page->refreshLibrary();
        return preset.id;
    }

    /** Types into a field as the keyboard would (the field has the focus). */
    static void typeInto (juce::TextEditor& editor, const juce::String& text, bool replace = true)
    {
        editor.grabKeyboardFocus();

        if (replace)
            editor.selectAll();
        else
            editor.setCaretPosition (editor.getTotalNumChars());

        editor.insertTextAtCaret (text);
    }

    static void pressKey (juce::Component& target, int keyCode, juce::ModifierKeys modifiers = {})
    {
        target.keyPressed (juce::KeyPress (keyCode, modifiers, 0));
    }

    /** Answers the newest open question or box; true when there was one. */
    bool answer (bool ok) { return seams->closeBox (ok); }

    juce::String lastBoxTitle() const { return seams->lastBox() != nullptr ? seams->lastBox()->request.title : juce::String(); }

    int openBoxes() const
    {
        int n = 0;

        for (const auto& box : seams->boxes)
            n += box.answered ? 0 : 1;

        return n;
    }

    FakeSeams* seams = nullptr;
    std::unique_ptr<ui::AppState> app;
    std::unique_ptr<ui::PresetPage> page;
    TemporaryFolder temp;
};

} // namespace dunmoor::testing
