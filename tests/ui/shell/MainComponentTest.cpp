#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/FindByTitle.h"
#include "ui/PrivateDesktop.h"
#include "ui/UiTestSupport.h"
#include "ui/shell/MainComponent.h"
#include "ui/shell/MainWindow.h"

namespace dunmoor::ui
{
namespace
{

using testing::FakeSeams;

/** A short WAV of quiet noise, long enough that measuring it takes a moment. */
juce::File writeTrack (const juce::File& file, int frames = 4800)
{
    file.getParentDirectory().createDirectory();
    juce::AudioBuffer<float> buffer (1, frames);
    juce::Random random (7);
    for (int i = 0; i < frames; ++i)
        buffer.setSample (0, i, 0.25f * (random.nextFloat() - 0.5f));
    EXPECT_TRUE (testing::writeAudioFile (file, "wav", buffer, 48000.0, 24)) << file.getFullPathName();
    return file;
}

/** Every test starts without settings, presets or templates and ends with the default look. */
struct MainComponentTest : ::testing::Test
{
    MainComponentTest()
    {
        auto fake = std::make_unique<FakeSeams>();
        seams = fake.get();
        main = std::make_unique<MainComponent> (std::move (fake), locations);
    }

    ~MainComponentTest() override
    {
        main.reset();
        applyPalette (defaultPalette());
        applyUiScale (100);
    }

    AppState& state() { return main->getAppState(); }

    /** Imports one folder of tracks into the session. */
    void importTracks (const juce::StringArray& names, int frames = 4800)
    {
        juce::Array<juce::File> files;
        for (const auto& name : names)
            files.add (writeTrack (temp.file ("Cue 1").getChildFile (name), frames));
        state().session.importFiles (files, false);
        main->refreshFooter();
    }

    bool press (int key, int modifiers = 0) { return main->keyPressed (juce::KeyPress (key, juce::ModifierKeys (modifiers), 0)); }

    /** The page components, in step order. */
    std::vector<juce::Component*> pages()
    {
        return { main->getImportPage(), main->getPresetPage(), main->getReviewPage(), main->getExportPage(), main->getReportPage() };
    }

    testing::TemporaryFolder temp;
    const AppState::Locations locations = testing::freshLocations();
    FakeSeams* seams = nullptr;
    std::unique_ptr<MainComponent> main;
};

TEST_F (MainComponentTest, NumberKeysShowEveryPageAndTheStepBarFollows)
{
    importTracks ({ "one.wav", "two.wav" });
    const char* names[] = { "import", "preset", "review", "export", "report" };

    // "5" shows the Report page even though its step is disabled (no export yet).
    EXPECT_FALSE (main->getStepBar().isStepEnabled (4));

    for (int step : { 3, 0, 4, 1, 2 })
    {
        EXPECT_TRUE (press ('1' + step)) << step;
        EXPECT_EQ ((int) main->getCurrentPage(), step);
        EXPECT_EQ (main->getStepBar().getCurrentStep(), step);

        for (int i = 0; i < 5; ++i)
            EXPECT_EQ (pages()[(size_t) i]->isVisible(), i == step) << "step " << step << ", page " << i;

        EXPECT_EQ (pages()[(size_t) step]->getBounds(), juce::Rectangle<int> (0, 104, 1360, 712));
        testing::saveSnapshot (*main, juce::String ("main-window-") + names[step]);
    }

    // Shift+digit and Alt+digit are left to others; so is a key nothing handles.
    EXPECT_FALSE (press ('1', juce::ModifierKeys::shiftModifier));
    EXPECT_FALSE (press ('1', juce::ModifierKeys::altModifier));
    EXPECT_FALSE (press ('x'));
    EXPECT_EQ (main->getCurrentPage(), Page::review);

    // The step bar switches pages too.
    main->getStepBar().onStepClicked (Page::preset);
    EXPECT_EQ (main->getCurrentPage(), Page::preset);
}

TEST_F (MainComponentTest, SpaceArrowsUndoAndRedoKeys)
{
    // Space goes to the shown page's audition on every page; nothing to play is still consumed.
    for (int step = 0; step < 5; ++step)
    {
        main->showPage ((Page) step);
        EXPECT_TRUE (press (juce::KeyPress::spaceKey)) << step;
        EXPECT_FALSE (press (juce::KeyPress::spaceKey, juce::ModifierKeys::shiftModifier)) << step;
    }

    // The arrows reach only the Export page's cleanup preview, which uses them only while it
    // auditions a row.
    main->showPage (Page::levelsAndExport);
    EXPECT_FALSE (press (juce::KeyPress::rightKey));
    main->showPage (Page::import);
    EXPECT_FALSE (press (juce::KeyPress::leftKey));

    // Ctrl+Z with nothing to undo is consumed all the same.
    auto& session = state().session;
    const auto ctrl = juce::ModifierKeys::ctrlModifier;
    EXPECT_TRUE (press ('Z', ctrl));

    importTracks ({ "flute.wav" });
    session.setPreset (makeHybridOrchestraExamplePreset());
    session.assignTracks ({ session.getTracks().front().id }, session.getPreset().schema.stems.front().id, false);
    const auto top = session.getUndoIndex();
    ASSERT_GT (top, 0);

    EXPECT_TRUE (press ('Z', ctrl));
    EXPECT_EQ (session.getUndoIndex(), top - 1);
    EXPECT_TRUE (press ('Z', ctrl | juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (session.getUndoIndex(), top);
    EXPECT_TRUE (press ('z', ctrl));
    EXPECT_TRUE (press ('Y', ctrl));
    EXPECT_EQ (session.getUndoIndex(), top);
}

// After an alert closed, nothing had the keyboard focus: without a window manager to activate the
// main window again, "1" to "5" went nowhere until a click.
TEST_F (MainComponentTest, StepKeysWorkAfterAnAlertHasClosed)
{
    importTracks ({ "one.wav" });

    // The window as the application has it: the main component inside a top-level window.
    testing::OnPrivateDesktop<juce::Component> window;
    window.setBounds (0, 0, MainComponent::defaultWidth, MainComponent::defaultHeight);
    window.addAndMakeVisible (*main);
    window.addToDesktop (0);
    window.setVisible (true);
    main->grabKeyboardFocus();
    ASSERT_TRUE (main->hasKeyboardFocus (false));

    const auto pressOnWindow = [&] (int key) { return window.getPeer()->handleKeyPress (juce::KeyPress (key, {}, (juce::juce_wchar) key)); };

    for (const auto buttons : { 1, 2 })
    {
        auto alert = std::make_unique<testing::OnPrivateDesktop<juce::AlertWindow>> ("Some files could not be imported", "One file is damaged.", juce::MessageBoxIconType::WarningIcon);
        alert->addButton ("OK", 1, juce::KeyPress (juce::KeyPress::returnKey));
        if (buttons == 2)
            alert->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
        alert->addToDesktop (0);
        alert->setVisible (true);
        alert->enterModalState (true);
        testing::pumpMessages (50);
        ASSERT_TRUE (alert->hasKeyboardFocus (true)) << "the alert takes the keys while it is open";

        alert->exitModalState (1);
        alert.reset();
        testing::pumpMessages (50);

        EXPECT_TRUE (main->hasKeyboardFocus (false)) << buttons << " button(s)";
        EXPECT_TRUE (pressOnWindow ('3')) << buttons << " button(s)";
        EXPECT_EQ (main->getCurrentPage(), Page::review);
        EXPECT_TRUE (pressOnWindow ('1'));
        EXPECT_EQ (main->getCurrentPage(), Page::import);
    }

    // Focus that leaves for something else of the main window stays where it went.
    auto& menuButton = main->getMenuButton();
    menuButton.grabKeyboardFocus();
    testing::pumpMessages (50);
    EXPECT_TRUE (menuButton.hasKeyboardFocus (false));

    window.removeChildComponent (main.get());
    window.removeFromDesktop();
}

TEST_F (MainComponentTest, StepGatingAndFooterFollowTheSession)
{
    auto& bar = main->getStepBar();
    EXPECT_TRUE (bar.isStepEnabled (0) && bar.isStepEnabled (1));
    EXPECT_FALSE (bar.isStepEnabled (2) || bar.isStepEnabled (3) || bar.isStepEnabled (4));
    EXPECT_EQ (main->getFooter().getSegments().size(), 2u);

    importTracks ({ "a.wav" });
    EXPECT_TRUE (bar.isStepEnabled (2) && bar.isStepEnabled (3));
    EXPECT_FALSE (bar.isStepEnabled (4));
    EXPECT_TRUE (main->getFooter().getSegments()[0].text.startsWith ("1 track(s)"));

    // A report keeps step 5 enabled after every track is gone; the state's change message
    // reaches the footer without the timer.
    state().setLastReport ({});
    state().session.clear();
    EXPECT_TRUE (testing::pumpUntil ([&] { return bar.isStepEnabled (4); }, 2000));
    EXPECT_FALSE (bar.isStepEnabled (2));

    // The output folder becomes a link that opens it.
    state().setOutputFolder (temp.folder);
    EXPECT_TRUE (testing::pumpUntil ([&] { return main->getFooter().getSegments().size() == 3; }, 2000));
    main->getFooter().onFolderClick();
    ASSERT_EQ (seams->opened.size(), 1u);
    EXPECT_EQ (seams->opened[0].kind, Seams::OpenKind::folder);
    EXPECT_EQ (seams->opened[0].target, temp.folder.getFullPathName());

    // The preset label names the preset, its kind, and marks a working copy without a stored preset.
    state().session.setPreset (makeHybridOrchestraExamplePreset());
    state().presetId.clear();
    main->refreshFooter();
    EXPECT_EQ (main->getPresetLabel().getText(), state().session.getPreset().name + "   [publisher]  *");
}

TEST_F (MainComponentTest, MenuOffersWhatTheStateAllows)
{
    const auto find = [] (const std::vector<testing::MenuItemInfo>& items, const juce::String& text)
    {
        for (const auto& item : items)
            if (item.text == text)
                return item;
        ADD_FAILURE() << "no item " << text;
        return testing::MenuItemInfo {};
    };

    main->showMenu();
    auto items = seams->lastMenuItems();
    EXPECT_FALSE (find (items, "Undo").enabled) << "a fresh start has nothing to undo";
    EXPECT_FALSE (find (items, "Redo").enabled) << "nothing undone";
    EXPECT_FALSE (find (items, "Open recent").enabled);
    EXPECT_FALSE (find (items, "Save project as").enabled) << "no project file yet";
    EXPECT_TRUE (find (items, "Save project").enabled);
    EXPECT_EQ (find (items, "Reset the layout of step 4").id, 8);

    // "Save project" without a project file asks for one, named after the project field.
    EXPECT_TRUE (seams->chooseMenuItemNamed ("Save project"));
    ASSERT_EQ (seams->choosers.size(), 1u);
    EXPECT_EQ (seams->choosers[0].request.mode, FileChooserRequest::Mode::saveFile);
    EXPECT_TRUE (seams->choosers[0].request.warnAboutOverwriting);
    EXPECT_EQ (seams->choosers[0].request.initialLocation.getFileName(), "Untitled.bkfp");

    // Recent projects: a deleted one is listed but greyed; "Clear the list" empties the list.
    temp.file ("Shows").createDirectory();
    const auto kept = temp.make ("Shows/Kept.bkfp");
    const auto gone = temp.file ("Gone.bkfp");
    state().addRecentProject (gone);
    state().addRecentProject (kept);
    main->showMenu();
    items = seams->lastMenuItems();
    EXPECT_TRUE (find (items, "Open recent").enabled);
    EXPECT_TRUE (find (items, "Shows / Kept").enabled);
    EXPECT_EQ (find (items, "Shows / Kept").id, 100);
    EXPECT_FALSE (find (items, temp.folder.getFileName() + " / Gone").enabled);

    ASSERT_TRUE (seams->chooseMenuItemNamed ("Clear the list"));
    EXPECT_TRUE (state().getRecentProjects().isEmpty());
    main->showMenu();
    EXPECT_FALSE (find (seams->lastMenuItems(), "Open recent").enabled);

    // The layout reset clears the export page's stored arrangement.
    state().settings->setValue ("exportBlockColumns", "a|b");
    main->showMenu();
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Reset the layout of step 4"));
    EXPECT_EQ (state().settings->getValue ("exportBlockColumns", "unset"), "");

    // Undo and Redo follow the history and run from the menu.
    importTracks ({ "oboe.wav" });
    auto& session = state().session;
    session.setPreset (makeHybridOrchestraExamplePreset());
    session.assignTracks ({ session.getTracks().front().id }, session.getPreset().schema.stems.front().id, false);
    const auto top = session.getUndoIndex();
    main->showMenu();
    EXPECT_TRUE (find (seams->lastMenuItems(), "Undo").enabled);
    EXPECT_FALSE (find (seams->lastMenuItems(), "Redo").enabled);
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Undo"));
    EXPECT_EQ (session.getUndoIndex(), top - 1);
    main->showMenu();
    EXPECT_TRUE (find (seams->lastMenuItems(), "Redo").enabled);
    ASSERT_TRUE (seams->chooseMenuItemNamed ("Redo"));
    EXPECT_EQ (session.getUndoIndex(), top);

    // A dismissed menu does nothing.
    main->showMenu();
    EXPECT_TRUE (seams->dismissMenu());
    EXPECT_EQ (seams->choosers.size(), 1u);
}

TEST_F (MainComponentTest, SavingAddsTheExtensionAndAsksBeforeReplacingAnotherFile)
{
    struct Case
    {
        const char* chosen;
        const char* written;
    };
    const Case cases[] = { { "Plain", "Plain.bkfp" }, { "Named.bkfp", "Named.bkfp" }, { "Other.txt", "Other.txt.bkfp" }, { "Upper.BKFP", "Upper.BKFP" } };

    for (const auto& c : cases)
    {
        EXPECT_EQ (MainComponent::withProjectExtension (temp.file (c.chosen)), temp.file (c.written)) << c.chosen;

        main->saveProject (true);
        ASSERT_TRUE (seams->answerChooser ({ temp.file (c.chosen) }));
        EXPECT_TRUE (temp.file (c.written).existsAsFile()) << c.written;
        EXPECT_EQ (state().projectFile, temp.file (c.written));
    }
    EXPECT_TRUE (seams->boxes.empty()) << "no question when nothing else is replaced";

    // The chooser asked about "Kept"; the file written would be "Kept.bkfp", which exists.
    const auto existing = temp.make ("Kept.bkfp", "the earlier project");
    main->saveProject (true);
    ASSERT_TRUE (seams->answerChooser ({ temp.file ("Kept") }));
    ASSERT_EQ (seams->boxes.size(), 1u);
    EXPECT_TRUE (seams->boxes[0].question);
    EXPECT_EQ (seams->boxes[0].request.title, "The project file already exists");

    seams->closeBox (false);
    EXPECT_EQ (existing.loadFileAsString(), "the earlier project");

    main->saveProject (true);
    seams->answerChooser ({ temp.file ("Kept") });
    seams->closeBox (true);
    EXPECT_NE (existing.loadFileAsString(), "the earlier project");
    EXPECT_EQ (state().projectFile, existing);

    // With a project file, "Save project" writes it without asking anything.
    const auto choosers = seams->choosers.size();
    existing.replaceWithText ("stale");
    main->saveProject (false);
    EXPECT_EQ (seams->choosers.size(), choosers);
    EXPECT_NE (existing.loadFileAsString(), "stale");

    // A failed save says so.
    main->saveProject (true);
    temp.file ("Folder.bkfp").createDirectory();
    seams->answerChooser ({ temp.file ("Folder.bkfp") });
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "The project was not saved");
}

TEST_F (MainComponentTest, OpeningProjectsReportsMissingSourcesAndFailures)
{
    importTracks ({ "horn.wav" });
    const auto project = temp.file ("Show.bkfp");
    juce::String error;
    ASSERT_TRUE (state().saveProject (project, error)) << error;

    // The sources move away: the project opens and lists them.
    temp.file ("Cue 1").deleteRecursively();
    main->showPage (Page::review);
    main->openProject();
    ASSERT_EQ (seams->choosers.size(), 1u);
    EXPECT_EQ (seams->choosers[0].request.title, "Open a project");
    EXPECT_EQ (seams->choosers[0].request.initialLocation, temp.folder);
    seams->answerChooser ({ project });

    EXPECT_EQ (main->getCurrentPage(), Page::import);
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "Some sources were not found");
    EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("Everything else was restored."));

    // A file that is no project is refused with the reason; a dismissed chooser does nothing.
    const auto boxes = seams->boxes.size();
    main->openProjectFile (temp.make ("Broken.bkfp", "{ not json"));
    ASSERT_EQ (seams->boxes.size(), boxes + 1);
    EXPECT_EQ (seams->lastBox()->request.title, "The project was not opened");
    EXPECT_FALSE (seams->lastBox()->request.message.isEmpty());

    main->openProject();
    seams->answerChooser ({});
    EXPECT_EQ (seams->boxes.size(), boxes + 1);
}

// What could not be read at start was told only when a project was opened, and then at every
// opening: a user who never opened one never heard of the damaged settings.
TEST_F (MainComponentTest, WhatCouldNotBeReadAtStartIsToldOnceAsTheWindowOpens)
{
    main.reset();
    const auto settingsFile = locations.settingsFile;
    ASSERT_TRUE (settingsFile.getParentDirectory().createDirectory().wasOk());
    ASSERT_TRUE (settingsFile.replaceWithText ("<?xml version=\"1.0\"?>\n<PROPERTIES><VALUE name=\"uiScalePercent\""));

    auto fake = std::make_unique<FakeSeams>();
    seams = fake.get();
    main = std::make_unique<MainComponent> (std::move (fake), locations);
    testing::pumpMessages (50);

    ASSERT_EQ (seams->boxes.size(), 1u);
    EXPECT_EQ (seams->boxes[0].request.title, "Not everything could be read at start");
    EXPECT_TRUE (seams->boxes[0].request.message.contains ("settings")) << seams->boxes[0].request.message;

    importTracks ({ "horn.wav" });
    const auto project = temp.file ("Show.bkfp");
    juce::String error;
    ASSERT_TRUE (state().saveProject (project, error)) << error;
    main->openProjectFile (project);
    EXPECT_EQ (seams->boxes.size(), 1u) << "told once";
}

// Closing the window, or opening another project, dropped every import and assignment made
// since the last save without a word.
TEST_F (MainComponentTest, UnsavedWorkIsNeverDroppedWithoutAsking)
{
    const auto other = temp.file ("Other.bkfp");
    {
        juce::String error;
        ASSERT_TRUE (state().saveProject (other, error)) << error; // an empty project to open
    }

    int quits = 0;
    struct Action
    {
        const char* what;
        std::function<void()> run;
        std::function<bool()> wentAhead;
    };

    const Action actions[] = {
        { "close", [&] { main->requestClose ([&] { ++quits; }); }, [&] { return quits > 0; } },
        { "open", [&] { main->openProject(); }, [&] { return ! seams->choosers.empty() && seams->choosers.back().request.title == "Open a project"; } },
        { "new", [&] { main->newProject(); }, [&] { return state().session.getTracks().empty(); } },
        { "recent", [&] { main->openRecentProject (other); }, [&] { return state().projectFile == other; } },
    };

    for (const auto& action : actions)
    {
        SCOPED_TRACE (action.what);

        // An empty session and an unchanged one go ahead at once.
        state().newProject();
        quits = 0;
        seams->choosers.clear();
        action.run();
        EXPECT_TRUE (action.wentAhead());
        EXPECT_EQ (seams->countOpenBoxes(), 0);

        state().newProject();
        importTracks ({ "horn.wav" });
        juce::String error;
        const auto saved = temp.file (juce::String (action.what) + ".bkfp");
        ASSERT_TRUE (state().saveProject (saved, error)) << error;
        quits = 0;
        seams->choosers.clear();
        action.run();
        EXPECT_TRUE (action.wentAhead());
        EXPECT_EQ (seams->countOpenBoxes(), 0);

        // A changed session asks; the title row says so. Cancel keeps everything.
        juce::StringArray missing;
        ASSERT_TRUE (state().openProject (saved, error, missing)) << error;
        quits = 0;
        seams->choosers.clear();
        state().session.assignTracks ({ state().session.getTracks().front().id }, {}, false);
        main->refreshFooter();
        EXPECT_EQ (main->getProjectLabel().getText(), juce::String (action.what) + "  *");

        action.run();
        ASSERT_EQ (seams->countOpenBoxes(), 1);
        const auto& question = seams->boxes.back().request;
        EXPECT_EQ (question.okText + "|" + question.noText + "|" + question.cancelText, "Save|Don't save|Cancel");
        EXPECT_TRUE (question.message.startsWith ("'" + juce::String (action.what) + "' has changes that are not saved.")) << question.message;
        seams->answerThreeWay (FakeSeams::Answer::cancel);
        EXPECT_FALSE (action.wentAhead());
        EXPECT_EQ (state().session.getTracks().size(), 1u);

        // Don't save goes ahead without writing.
        const auto bytes = saved.loadFileAsString();
        action.run();
        seams->answerThreeWay (FakeSeams::Answer::no);
        EXPECT_TRUE (action.wentAhead());
        EXPECT_EQ (saved.loadFileAsString(), bytes);
    }

    // Save writes the project first, then goes ahead; a failed save stays.
    state().newProject();
    importTracks ({ "horn.wav" });
    quits = 0;
    main->requestClose ([&] { ++quits; });
    seams->answerThreeWay (FakeSeams::Answer::yes);
    ASSERT_EQ (seams->choosers.back().request.title, "Save the project") << "never saved: Save as";
    ASSERT_TRUE (temp.file ("Blocked.bkfp").createDirectory());
    seams->answerChooser ({ temp.file ("Blocked.bkfp") });
    EXPECT_EQ (seams->lastBox()->request.title, "The project was not saved");
    EXPECT_EQ (quits, 0);

    main->requestClose ([&] { ++quits; });
    seams->answerThreeWay (FakeSeams::Answer::yes);
    seams->answerChooser ({}); // the chooser cancelled
    EXPECT_EQ (quits, 0);

    main->requestClose ([&] { ++quits; });
    seams->answerThreeWay (FakeSeams::Answer::yes);
    seams->answerChooser ({ temp.file ("Kept") });
    EXPECT_EQ (quits, 1);
    EXPECT_TRUE (temp.file ("Kept.bkfp").existsAsFile());
    EXPECT_FALSE (state().isChangedSinceSaved());
    EXPECT_EQ (main->getProjectLabel().getText(), "Kept");
}

TEST_F (MainComponentTest, CloseAsksWhileARenderRunsAndCancelKeepsEverythingRunning)
{
    int quits = 0;
    main->requestClose ([&] { ++quits; });
    EXPECT_EQ (quits, 1) << "nothing renders: no question";
    EXPECT_TRUE (seams->boxes.empty());

    // A minute of audio assigned to a stem keeps an analysis busy for a while.
    importTracks ({ "strings.wav" }, 48000 * 60);
    auto& session = state().session;
    session.setPreset (makeHybridOrchestraExamplePreset());
    session.assignTracks ({ session.getTracks().front().id }, session.getPreset().schema.stems.front().id, false);
    juce::String error;
    ASSERT_TRUE (state().saveProject (temp.file ("Show.bkfp"), error)) << error; // nothing unsaved to ask about

    auto* exportPage = main->getExportPage();
    ASSERT_TRUE (exportPage->runAnalysis());
    ASSERT_TRUE (exportPage->isRendering());

    main->requestClose ([&] { ++quits; });
    ASSERT_EQ (seams->boxes.size(), 1u);
    EXPECT_EQ (seams->boxes[0].request.title, "A render is still running");
    EXPECT_EQ (seams->boxes[0].request.message, "Closing now cancels it. Files already written stay where they are; nothing is left half-written.");

    seams->closeBox (false);
    EXPECT_EQ (quits, 1) << "Cancel leaves the window open";

    main->requestClose ([&] { ++quits; });
    seams->closeBox (true);
    EXPECT_EQ (quits, 2);

    // Closing the window cancels the render and waits for it to end before anything goes.
    main.reset();
}

// The question about a running render stayed on screen after the render had ended, asking
// to cancel something that was no longer there.
TEST_F (MainComponentTest, TheRenderQuestionIsTakenBackWhenTheRenderEndsFirst)
{
    importTracks ({ "strings.wav" }, 48000 * 20);
    auto& session = state().session;
    session.setPreset (makeHybridOrchestraExamplePreset());
    session.assignTracks ({ session.getTracks().front().id }, session.getPreset().schema.stems.front().id, false);
    juce::String error;
    ASSERT_TRUE (state().saveProject (temp.file ("Show.bkfp"), error)) << error;

    auto* exportPage = main->getExportPage();
    ASSERT_TRUE (exportPage->runAnalysis());

    int quits = 0;
    main->requestClose ([&] { ++quits; });
    ASSERT_EQ (seams->countOpenBoxes(), 1);
    EXPECT_EQ (seams->lastBox()->request.title, "A render is still running");

    // Unanswered, the question goes when the render ends, and the close the user asked for goes ahead.
    EXPECT_TRUE (testing::pumpUntil ([&] { return quits > 0; }, 120000));
    EXPECT_FALSE (exportPage->isRendering());
    EXPECT_EQ (seams->countOpenBoxes(), 0);
    EXPECT_EQ (seams->withdrawn, juce::StringArray ("A render is still running"));
    EXPECT_EQ (quits, 1);
}

// Scrolling the Levels & Export page with the pointer over the Target level slider turned the
// delivery down by ten decibels; only a "*" after the preset name showed it.
TEST_F (MainComponentTest, TheWheelScrollsPagesUntilAClickGivesAControlTheFocus)
{
    main.reset();
    testing::OnPrivateDesktop<MainComponent> window (std::make_unique<FakeSeams>(), locations);
    window.setSize (1100, 720);
    window.addToDesktop (0);
    window.setVisible (true);
    window.showPage (Page::levelsAndExport);

    auto* peer = window.getPeer();
    auto* exportPage = window.getExportPage();
    auto& viewport = exportPage->getViewport();
    auto* slider = testing::findByTitle<juce::Slider> (*exportPage, "Target level");
    ASSERT_TRUE (peer != nullptr && slider != nullptr);

    // Scrolled part of the way down, the slider in view.
    const auto sliderTop = viewport.getViewedComponent()->getLocalPoint (slider, juce::Point<int>()).y;
    const auto start = juce::jmax (40, sliderTop - 60);
    viewport.setViewPosition (0, start);
    ASSERT_EQ (viewport.getViewPositionY(), start) << "the page can scroll";
    ASSERT_TRUE (window.getLocalArea (&viewport, viewport.getLocalBounds()).contains (window.getLocalArea (slider, slider->getLocalBounds())));

    const auto target = [&] { return window.getAppState().session.getPreset().exportSettings.headroom.targetDb; };
    const auto before = target();
    auto time = juce::Time::currentTimeMillis();
    const auto mouse = juce::MouseInputSource::InputSourceType::mouse;
    const auto at = [&] (juce::Component& c) { return window.getLocalPoint (&c, c.getLocalBounds().getCentre()).toFloat(); };

    const auto wheelOver = [&] (juce::Component& c, float deltaY)
    {
        testing::pumpMessages (20); // focus changes reach their listeners asynchronously
        peer->handleMouseEvent (mouse, at (c), {}, 0.0f, 0.0f, ++time);
        juce::MouseWheelDetails wheel { 0.0f, deltaY, false, false, false };
        peer->handleMouseWheel (mouse, at (c), ++time, wheel);
    };

    const auto clickOn = [&] (juce::Component& c)
    {
        peer->handleMouseEvent (mouse, at (c), {}, 0.0f, 0.0f, ++time);
        peer->handleMouseEvent (mouse, at (c), juce::ModifierKeys::leftButtonModifier, 1.0f, 0.0f, ++time);
        peer->handleMouseEvent (mouse, at (c), {}, 0.0f, 0.0f, ++time);
    };

    // Over the slider the wheel scrolls the page and leaves the level alone.
    wheelOver (*slider, -0.1f);
    EXPECT_GT (viewport.getViewPositionY(), start);
    EXPECT_EQ (target(), before);

    // A click on it gives it the focus (the click on its thumb may move it a step), and then the
    // wheel is its.
    const auto thumb = window.getLocalPoint (slider, juce::Point<float> ((float) slider->getPositionOfValue (slider->getValue()), slider->getHeight() * 0.5f));
    peer->handleMouseEvent (mouse, thumb, {}, 0.0f, 0.0f, ++time);
    peer->handleMouseEvent (mouse, thumb, juce::ModifierKeys::leftButtonModifier, 1.0f, 0.0f, ++time);
    peer->handleMouseEvent (mouse, thumb, {}, 0.0f, 0.0f, ++time);
    testing::pumpMessages (20);
    ASSERT_TRUE (slider->hasKeyboardFocus (true));
    const auto clicked = target();
    const auto scrolled = viewport.getViewPositionY();
    wheelOver (*slider, 0.1f);
    EXPECT_GT (target(), clicked);
    EXPECT_EQ (viewport.getViewPositionY(), scrolled);

    // A click elsewhere (its caption, which takes no focus) ends the focus, and the wheel
    // scrolls the page again.
    const auto changed = target();
    std::function<juce::Label* (juce::Component&)> findCaption = [&] (juce::Component& parent) -> juce::Label*
    {
        for (auto* child : parent.getChildren())
        {
            if (auto* label = dynamic_cast<juce::Label*> (child); label != nullptr && label->getText() == "Target level")
                return label;
            if (auto* found = findCaption (*child))
                return found;
        }
        return nullptr;
    };
    auto* caption = findCaption (*exportPage);
    ASSERT_NE (caption, nullptr);
    clickOn (*caption);
    EXPECT_FALSE (slider->hasKeyboardFocus (true));
    wheelOver (*slider, 0.1f);
    EXPECT_EQ (target(), changed);
    EXPECT_LT (viewport.getViewPositionY(), scrolled);

    window.removeFromDesktop();
}

TEST_F (MainComponentTest, SettingsDialogStoresSizeAndColoursAsTheyChange)
{
    main->showSettingsDialog();
    auto* dialog = main->getSettingsDialog();
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (main->getSettingsWindow()->getName(), "Brackenfold settings");

    main->showSettingsDialog();
    EXPECT_EQ (main->getSettingsDialog(), dialog) << "a second call shows the same window";

    auto& settings = *state().settings;
    // The dialog keeps the room its content needs at every size (it was cut off at 120 % and
    // stood in empty space back at 80 %).
    const auto room = dialog->getBounds();
    for (const auto percent : { 120, 80, 110 })
    {
        dialog->getSizeBox().setSelectedId (percent, juce::sendNotificationSync);
        testing::pumpMessages (50);
        EXPECT_EQ (dialog->getBounds(), room) << percent;
    }
    EXPECT_EQ (settings.getIntValue ("uiScalePercent"), 110);
    EXPECT_FLOAT_EQ (juce::Desktop::getInstance().getGlobalScaleFactor(), 1.1f);

    dialog->getColoursBox().setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (settings.getIntValue ("paletteChoice"), 2);
    EXPECT_EQ (currentPalette(), brighterPalette());

    dialog->getColoursBox().setSelectedId (3, juce::sendNotificationSync);
    EXPECT_EQ (settings.getIntValue ("paletteChoice"), 3);
    EXPECT_EQ (currentPalette(), defaultPalette()) << "no custom palette stored yet: the Default colours";

    dialog->getRow (12).applyColour (juce::Colour (0xff112233)); // warning
    const auto stored = settings.getValue ("customPalette");
    EXPECT_EQ (juce::StringArray::fromTokens (stored, " ", "").size(), paletteEntryCount);
    EXPECT_TRUE (stored.contains ("warning:ff112233")) << stored;

    // Reopened, the program applies what was stored.
    delete main->getSettingsWindow();
    main.reset();
    applyPalette (defaultPalette());
    applyUiScale (100);
    main = std::make_unique<MainComponent> (std::make_unique<FakeSeams>(), locations);
    EXPECT_EQ (currentPalette().warning, juce::Colour (0xff112233));
    EXPECT_FLOAT_EQ (juce::Desktop::getInstance().getGlobalScaleFactor(), 1.1f);
    testing::saveSnapshot (*main, "main-window-custom-colours");
}

// Start-up's preset load, an opened project's rebuilding and a new project's clearing each
// left an undo state, so Undo was offered with nothing of the user's to undo.
TEST_F (MainComponentTest, OpenedAndNewProjectsStartWithNothingToUndo)
{
    const auto undoEnabled = [this]
    {
        main->showMenu();

        for (const auto& item : seams->lastMenuItems())
            if (item.text == "Undo")
                return item.enabled;

        ADD_FAILURE() << "no Undo item";
        return true;
    };

    EXPECT_FALSE (undoEnabled());

    importTracks ({ "oboe.wav" });
    auto& session = state().session;
    session.setPreset (makeHybridOrchestraExamplePreset());
    session.assignTracks ({ session.getTracks().front().id }, session.getPreset().schema.stems.front().id, false);
    EXPECT_TRUE (undoEnabled());

    juce::String error;
    const auto project = temp.file ("Show.bkfp");
    ASSERT_TRUE (state().saveProject (project, error)) << error;
    juce::StringArray missing;
    ASSERT_TRUE (state().openProject (project, error, missing)) << error;
    EXPECT_FALSE (undoEnabled()) << "opened project";
    EXPECT_EQ (session.getTracks().size(), 1u);

    session.assignTracks ({ session.getTracks().front().id }, {}, false);
    EXPECT_TRUE (undoEnabled());
    state().newProject();
    EXPECT_FALSE (undoEnabled()) << "new project";
}

TEST_F (MainComponentTest, ManualIsFoundAboveTheProgramAndOpensFromThere)
{
    const auto program = temp.file ("opt/brackenfold/bin");
    program.createDirectory();
    EXPECT_EQ (MainComponent::findManual (program), juce::File());

    // Without a manual nothing is handed to the desktop, and the box says where it looked.
    main->openManualFrom (program);
    EXPECT_TRUE (seams->opened.empty());
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "The manual was not opened");
    EXPECT_TRUE (seams->lastBox()->request.message.startsWith ("There is no manual/index.html in " + program.getFullPathName() + " or any folder above it."));

    temp.file ("opt/docs/manual").createDirectory();
    const auto manual = temp.make ("opt/docs/manual/index.html", "<html></html>");
    EXPECT_EQ (MainComponent::findManual (program), manual);

    temp.file ("opt/brackenfold/manual").createDirectory();
    const auto nearer = temp.make ("opt/brackenfold/manual/index.html", "<html></html>");
    EXPECT_EQ (MainComponent::findManual (program), nearer);

    // The build puts the manual beside the programs, so the test program finds the real one,
    // and a failure names what it tried to open.
    seams->openOutcome = { false, "No browser." };
    const auto boxesBefore = seams->boxes.size();
    main->openManual();
    ASSERT_EQ (seams->opened.size(), 1u);
    EXPECT_EQ (seams->opened[0].kind, Seams::OpenKind::file);
    const juce::File opened (seams->opened[0].target);
    EXPECT_EQ (opened.getFileName(), "index.html");
    EXPECT_EQ (opened.getParentDirectory().getFileName(), "manual");
    const auto page = opened.loadFileAsString();
    EXPECT_TRUE (page.contains ("<title>Brackenfold manual</title>")) << opened.getFullPathName();
    for (const auto* step : { "1. Import", "2. Preset &amp; Stems", "3. Review", "4. Levels &amp; Export", "5. Report" })
        EXPECT_TRUE (page.contains (step)) << step;
    ASSERT_TRUE (testing::pumpUntil ([&] { return seams->boxes.size() > boxesBefore; }, 2000));
    EXPECT_EQ (seams->lastBox()->request.title, "The manual was not opened");
    EXPECT_EQ (seams->lastBox()->request.message, "Could not open " + opened.getFullPathName() + ": No browser.");

    // A reason that names the page already is not prefixed with it again.
    seams->openOutcome = { false, "The viewer could not open \"{target}\"." };
    main->openManual();
    EXPECT_TRUE (testing::pumpUntil ([&] { return seams->lastBox()->request.message.startsWith ("The viewer"); }, 2000));
    EXPECT_EQ (seams->lastBox()->request.message, "The viewer could not open \"" + opened.getFullPathName() + "\".");
}

// Menu > Manual showed nothing until the desktop had started a browser, which took seconds.
TEST_F (MainComponentTest, TheManualShowsItIsBeingOpenedUntilTheDesktopAnswers)
{
    const auto program = temp.file ("opt/brackenfold/bin");
    ASSERT_TRUE (program.createDirectory() && temp.file ("opt/brackenfold/manual").createDirectory());
    const auto manual = temp.make ("opt/brackenfold/manual/index.html", "<html></html>");
    seams->holdOpens = true;

    const auto busyOver = [] (juce::Component& c) { return c.getLookAndFeel().getMouseCursorFor (c) == juce::MouseCursor::WaitCursor; };
    const auto manualItem = [this]
    {
        juce::StringArray recent;
        const auto items = testing::listMenuItems (main->buildMenu (recent));
        const auto found = std::find_if (items.begin(), items.end(), [] (const testing::MenuItemInfo& i) { return i.text.containsIgnoreCase ("manual"); });
        return found != items.end() ? *found : testing::MenuItemInfo();
    };

    EXPECT_FALSE (busyOver (main->getMenuButton()));
    EXPECT_TRUE (manualItem().enabled);

    main->openManualFrom (program);
    ASSERT_EQ (seams->heldOpens.size(), 1u);
    EXPECT_EQ (seams->opened.back().target, manual.getFullPathName());
    EXPECT_TRUE (main->isOpeningManual());
    EXPECT_TRUE (busyOver (main->getMenuButton()));
    EXPECT_TRUE (busyOver (*main->getImportPage()));
    EXPECT_EQ (manualItem().text, "Opening the manual...");
    EXPECT_FALSE (manualItem().enabled);

    main->openManualFrom (program);
    EXPECT_EQ (seams->opened.size(), 1u) << "one open at a time";

    ASSERT_TRUE (seams->answerHeldOpen ({ false, "No browser." }));
    EXPECT_FALSE (main->isOpeningManual());
    EXPECT_FALSE (busyOver (main->getMenuButton()));
    EXPECT_EQ (manualItem().text, "Manual");
    EXPECT_TRUE (manualItem().enabled);
    ASSERT_NE (seams->lastBox(), nullptr);
    EXPECT_EQ (seams->lastBox()->request.title, "The manual was not opened");
}

// At 120 % a 1600 x 1000 screen holds 1333 x 833 interface units: the default window, centred,
// started above and left of the screen, its title bar out of reach.
TEST (MainWindowStart, TheWindowOpensOnTheScreenAtItsSizeOrTheScreensFreeArea)
{
    using R = juce::Rectangle<int>;
    const std::tuple<R, int, int, R> cases[] = {
        { R (0, 0, 1600, 1000), 1360, 860, R (120, 70, 1360, 860) },   // room: centred at its size
        { R (0, 0, 1333, 833), 1360, 860, R (0, 0, 1333, 833) },       // shrunk to the free area
        { R (0, 30, 1333, 803), 1360, 860, R (0, 30, 1333, 803) },     // below a panel at the top
        { R (0, 0, 1067, 667), 1360, 860, R (0, 0, 1100, 720) },       // never below the smallest window
        { R (1600, 0, 1920, 1080), 1360, 860, R (1880, 110, 1360, 860) }, // a second screen
    };

    for (const auto& [area, w, h, expected] : cases)
        EXPECT_EQ (MainWindow::startingBounds (area, w, h), expected) << area.toString();
}

TEST_F (MainComponentTest, TitleRowAndFooterRowLayout)
{
    EXPECT_EQ (main->getBounds(), juce::Rectangle<int> (1360, 860));
    EXPECT_EQ (main->getTitleBanner().getBounds().getHeight(), 19);
    EXPECT_EQ (main->getTitleBanner().getY(), 12);
    EXPECT_EQ (main->getMenuButton().getBounds(), juce::Rectangle<int> (1360 - 12 - 86, 7, 86, 30));
    EXPECT_EQ (main->getStepBar().getBounds(), juce::Rectangle<int> (0, 44, 1360, 60));
    EXPECT_EQ (main->getCompanyMark().getBounds().getY(), 860 - 44 + 6);
    EXPECT_EQ (main->getCompanyMark().getRight(), 1360 - 12);
    EXPECT_LE (main->getFooter().getRight() + 12, main->getCompanyMark().getX());
    EXPECT_LE (main->getVersionLabel().getRight(), main->getPresetLabel().getX());
    EXPECT_LE (main->getPresetLabel().getRight() + 12, main->getMenuButton().getX());

    // At the smallest window nothing overlaps either.
    main->setSize (1100, 720);
    EXPECT_LE (main->getPresetLabel().getRight(), main->getMenuButton().getX());
    EXPECT_EQ (main->getImportPage()->getBounds(), juce::Rectangle<int> (0, 104, 1100, 720 - 104 - 44));
}

} // namespace
} // namespace dunmoor::ui
