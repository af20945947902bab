#pragma once

// A running Preset & Stems page over an application state whose desktop is faked, with the
// library in the test process's own data folder.

#include <memory>

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/FindByTitle.h"
#include "ui/PrivateDesktop.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/pages/preset/PresetPage.h"
#include "ui/look/Theme.h"

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
    built-in presets, and the page at 1360 x 860 on a private desktop window (so that it can
    take the keyboard focus, and no other test program can take it away). Every test starts
    without settings, presets or templates.
*/
struct PresetPageFixture : ::testing::Test
{
    void SetUp() override
    {
        build();
    }

    void TearDown() override
    {
        page.reset();
        app.reset();
    }

    /** Builds the application state and the page again: with this audio output (none: no audio
        device) and on a private or a real desktop window. */
    void build (std::shared_ptr<FakeAudioOutput> audio = nullptr, bool privateDesktop = true)
    {
        page.reset();
        app.reset();
        auto fakeSeams = std::make_unique<FakeSeams> (std::move (audio));
        seams = fakeSeams.get();
        app = std::make_unique<ui::AppState> (std::move (fakeSeams), locations);
        makePage (privateDesktop);
    }

    void makePage (bool privateDesktop = true)
    {
        if (privateDesktop)
            page = std::make_unique<OnPrivateDesktop<ui::PresetPage>> (*app);
        else
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
    ui::PresetLibraryPanel& libraryPanel() { return page->getLibraryPanel(); }
    ui::ProjectFieldsPanel& projectFields() { return page->getProjectFields(); }
    ui::StemListPanel& stemPanel() { return page->getStemList(); }
    ui::MixColumns& mixColumns() { return page->getMixColumns(); }
    ui::StemEditorPanel& editor() { return page->getStemEditor(); }
    ui::PresetAuditionStrip& audition() { return page->getAudition(); }
    juce::ListBox& stems() { return stemPanel().getListBox(); }
    juce::ListBox& library() { return *findByTitle<juce::ListBox> (*page, "Preset library"); }
    juce::TextEditor& field (const juce::String& title) { return *findByTitle<juce::TextEditor> (*page, title); }
    juce::Button& button (const juce::String& title) { return *findByTitle<juce::Button> (*page, title); }

    /** Where a control of one of the panels stands on the page. */
    juce::Rectangle<int> boundsOnPage (juce::Component& control) { return page->getLocalArea (control.getParentComponent(), control.getBounds()); }

    /** Clicks a button as the user does: the click arrives through the message loop, and this
        returns once the button has acted on it (at once for a disabled button, which ignores it). */
    void click (const juce::String& title)
    {
        auto& target = button (title);

        if (! target.isEnabled())
            return;

        struct Seen : juce::Button::Listener
        {
            void buttonClicked (juce::Button*) override { clicked = true; }
            bool clicked = false;
        } seen;

        target.addListener (&seen);
        target.triggerClick();
        // Listeners hear of the click just before onClick runs, within the same message.
        EXPECT_TRUE (pumpUntil ([&seen] { return seen.clicked; })) << title;
        target.removeListener (&seen);
    }

    /** Lets every message already posted arrive (a change that must not happen has had its
        chance), however slowly the machine runs. */
    static void settle()
    {
        for (int i = 0; i < 10000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
        {
        }
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
        libraryPanel().refreshLibrary();
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

    //==============================================================================
    // Cues, mixes and rows

    /** Writes the files (generated short tones) into one folder per cue and imports them all. */
    void importCues (const std::vector<std::pair<juce::String, juce::StringArray>>& cues)
    {
        juce::Array<juce::File> folders;

        for (const auto& [cue, files] : cues)
        {
            const auto folder = temp.folder.getChildFile (cue);

            for (const auto& name : files)
                writeShortWav (folder.getChildFile (name));

            folders.add (folder);
        }

        (void) session().importFiles (folders, false);
    }

    juce::ComboBox& cueChoice() { return *findByTitle<juce::ComboBox> (*page, "Cue"); }

    /** Chooses the cue whose item starts with its name ("All cues" for the preset), as a pick in
        the list does. */
    void chooseCue (const juce::String& name)
    {
        auto& combo = cueChoice();

        for (int i = 0; i < combo.getNumItems(); ++i)
        {
            if (combo.getItemText (i) == name || combo.getItemText (i).startsWith (name + "  ("))
            {
                combo.setSelectedItemIndex (i, juce::sendNotificationSync);
                return;
            }
        }

        ADD_FAILURE() << "no cue item " << name;
    }

    juce::String cueKeyOf (const juce::String& folderName)
    {
        for (const auto& cue : session().getCues())
            if (cue.folder.getFileName() == folderName)
                return cue.key;

        return {};
    }

    juce::Component& mixHeading() { return *findByTitle<juce::Component> (*page, "Alternative mixes"); }

    /** The layout of a stem row as the page draws it now. */
    ui::StemRowLayout rowLayout()
    {
        return ui::StemRowLayout::compute ({ 0, 0, stems().getVisibleRowWidth(), stems().getRowHeight() },
                                           (int) working().schema.alternativeMixes.size(), mixColumns().getTickScrollOffset(),
                                           mixColumns().getSelectedCueKey().isNotEmpty(), mixColumns().getTickColumnWidth());
    }

    /** Presses and releases the mouse at x (row coordinates) in a row, as the user clicks. */
    void clickRow (int row, int x, juce::ModifierKeys mods = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier))
    {
        stems().scrollToEnsureRowIsOnscreen (row);
        auto* rowComponent = stems().getComponentAt (stems().getRowPosition (row, true).getCentre());
        ASSERT_NE (rowComponent, nullptr) << row;
        ASSERT_EQ (stems().getRowNumberOfComponent (rowComponent), row);
        const juce::Point<float> at ((float) x, (float) rowComponent->getHeight() / 2.0f);
        rowComponent->mouseDown (mouseEventAt (*rowComponent, at, mods));
        rowComponent->mouseUp (mouseEventAt (*rowComponent, at, mods));
    }

    /** Clicks the tick of the stem in the row in the mix's column. */
    void clickTick (int row, int mixIndex)
    {
        const auto column = rowLayout().columns[(size_t) mixIndex];
        clickRow (row, column.getCentreX());
    }

    void clickAuditionCell (int row) { clickRow (row, rowLayout().auditionCell.getCentreX()); }

    /** Adds an alternative mix through the button and its prompt. */
    void addMix (const juce::String& name)
    {
        click ("Add Alternative Mix");
        ASSERT_TRUE (seams->answerPrompt (true, { name }));
    }

    bool isMember (int mixIndex, const juce::String& stemId)
    {
        const auto& ids = working().schema.alternativeMixes[(size_t) mixIndex].stemIds;
        return ids.contains (stemId);
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

    const ui::AppState::Locations locations = freshLocations();
    FakeSeams* seams = nullptr;
    std::unique_ptr<ui::AppState> app;
    std::unique_ptr<ui::PresetPage> page;
    TemporaryFolder temp;
};

} // namespace dunmoor::testing
