#include "ExportPageFixture.h"

namespace dunmoor::testing
{
namespace
{
    /** Counts the session's preset notifications. */
    struct PresetWatcher : public Session::Listener
    {
        explicit PresetWatcher (Session& s) : session (s) { session.addListener (this); }
        ~PresetWatcher() override { session.removeListener (this); }
        void presetChanged() override { ++changes; }

        Session& session;
        int changes = 0;
    };

    juce::Point<float> sliderPointFor (juce::Slider& slider, double value)
    {
        const auto layout = slider.getLookAndFeel().getSliderLayout (slider);
        const auto track = layout.sliderBounds.toFloat();
        const auto proportion = slider.valueToProportionOfLength (value);
        return { track.getX() + (float) proportion * track.getWidth(), track.getCentreY() };
    }
} // namespace

TEST (ExportPageSettings, ControlsWriteTheSessionPreset)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    auto& c = page.getContent();

    struct Case
    {
        const char* control;
        std::function<void()> act;
        std::function<bool (const ExportSettings&)> holds;
    };

    const std::vector<Case> cases {
        { "Measure", [&] { c.measureCombo.setSelectedId (1, juce::sendNotificationSync); },
          [] (auto& s) { return s.headroom.peakMode == PeakMode::samplePeak; } },
        { "Gain scope", [&] { c.gainScopeCombo.setSelectedId (3, juce::sendNotificationSync); },
          [] (auto& s) { return s.batch.gainMode == BatchGainMode::perTrack && s.headroom.submixesReachTargetIndependently; } },
        { "Empty stems", [&] { c.emptyStemsCombo.setSelectedId (2, juce::sendNotificationSync); },
          [] (auto& s) { return s.emptyStemPolicy == EmptyStemPolicy::exportSilence; } },
        { "gate toggle", [&] { click (c.gateToggle); }, [] (auto& s) { return s.silenceGate.enabled; } },
        { "Take down by, typed -Inf", [&] { c.takeDownBySlider.setValue (c.takeDownBySlider.getValueFromText ("-Inf"), juce::sendNotificationSync); },
          [] (auto& s) { return s.silenceGate.floorDb == -400.0; } },
        { "Take down by -24", [&] { c.takeDownBySlider.setValue (-24.0, juce::sendNotificationSync); },
          [] (auto& s) { return s.silenceGate.floorDb == -24.0; } },
        { "stems folder off", [&] { click (c.stemsFolderToggle); }, [] (auto& s) { return s.fullMix.stemsSubFolder.isEmpty(); } },
        { "stems folder on", [&] { click (c.stemsFolderToggle); }, [] (auto& s) { return s.fullMix.stemsSubFolder == "STEMS"; } },
    };

    for (const auto& cs : cases)
    {
        cs.act();
        pumpMessages (5);
        EXPECT_TRUE (cs.holds (f.preset().exportSettings)) << cs.control;
    }

    // The value text of the floor, and the cleanup rows following the gate.
    c.takeDownBySlider.setValue (-80.0, juce::sendNotificationSync);
    EXPECT_EQ (c.takeDownBySlider.getTextFromValue (c.takeDownBySlider.getValue()), juce::String (juce::CharPointer_UTF8 ("-\xe2\x88\x9e dB")));
    EXPECT_TRUE (c.belowSlider.isEnabled());
    click (c.gateToggle);
    EXPECT_FALSE (c.belowSlider.isEnabled());

    // With mirroring on, folder-per-cue is off limits but keeps its state.
    EXPECT_TRUE (f.preset().exportSettings.batch.mirrorFolderStructure);
    EXPECT_FALSE (c.folderPerCueToggle.isEnabled());

    // The full mix name commits on Return; a blank one keeps the old name.
    c.fullMixNameEditor.setText ("Main Mix", false);
    c.fullMixNameEditor.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    pumpMessages (20);
    EXPECT_EQ (f.preset().exportSettings.fullMix.name, "Main Mix");
    c.fullMixNameEditor.setText ("  ", false);
    c.fullMixNameEditor.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    pumpMessages (20);
    EXPECT_EQ (f.preset().exportSettings.fullMix.name, "Main Mix");
}

// A commit used to re-join both templates with the chooser's separator, so an unrelated click
// turned "{project}-{cue}_{stemName}" into "{project}_{cue}_{stemName}".
TEST (ExportPageSettings, TemplatesSurviveUnrelatedCommits)
{
    ExportPageFixture f;
    auto preset = f.preset();
    preset.exportSettings.naming.stemTemplate = "{project}-{cue}_{stemName}";
    preset.exportSettings.naming.mixTemplate = "{pubcode}_{cue}";
    preset.exportSettings.headroom.targetDb = -6.04;     // off the slider's grid
    f.app->session.updatePreset (preset);
    auto& page = f.makePage();
    auto& c = page.getContent();

    // Refresh then commit: only what the controls cannot show changes.
    page.commitSettings();
    auto expected = preset.exportSettings;
    expected.headroom.targetDb = c.targetSlider.getValue();
    EXPECT_TRUE (f.preset().exportSettings == expected);
    EXPECT_EQ (f.preset().exportSettings.naming.stemTemplate, "{project}-{cue}_{stemName}");
    EXPECT_EQ (f.preset().exportSettings.naming.mixTemplate, "{pubcode}_{cue}");

    click (c.remeasureToggle);
    EXPECT_EQ (f.preset().exportSettings.naming.stemTemplate, "{project}-{cue}_{stemName}");
    EXPECT_EQ (f.preset().exportSettings.naming.mixTemplate, "{pubcode}_{cue}");

    // Editing a template writes it; "{pubcode}" comes back as the project token.
    c.mixTemplateEditor.removePiece (1);
    EXPECT_EQ (f.preset().exportSettings.naming.mixTemplate, "{project}");
    EXPECT_EQ (f.preset().exportSettings.naming.stemTemplate, "{project}-{cue}_{stemName}");

    // A new separator re-joins both.
    c.separatorChooser.getCombo().setSelectedId (5, juce::sendNotificationSync);
    EXPECT_EQ (f.preset().exportSettings.naming.separator, ".");
    EXPECT_EQ (f.preset().exportSettings.naming.stemTemplate, "{project}.{cue}.{stemName}");
}

TEST (ExportPageSettings, DraggingASliderCommitsOnceAtTheEnd)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    auto& slider = page.getContent().targetSlider;
    ASSERT_EQ (slider.getValue(), -3.0);
    PresetWatcher watcher (f.app->session);

    slider.mouseDown (mouseEventAt (slider, sliderPointFor (slider, -3.0)));
    slider.mouseDrag (mouseEventAt (slider, sliderPointFor (slider, -4.5), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1, true));
    slider.mouseDrag (mouseEventAt (slider, sliderPointFor (slider, -6.0), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1, true));
    EXPECT_EQ (watcher.changes, 0);
    EXPECT_EQ (f.preset().exportSettings.headroom.targetDb, -3.0);

    slider.mouseUp (mouseEventAt (slider, sliderPointFor (slider, -6.0), juce::ModifierKeys(), 1, true));
    EXPECT_EQ (watcher.changes, 1);
    EXPECT_NEAR (f.preset().exportSettings.headroom.targetDb, -6.0, 0.11);

    // A step from the keyboard or a typed value commits at once.
    slider.setValue (-1.0, juce::sendNotificationSync);
    EXPECT_EQ (watcher.changes, 2);
    EXPECT_EQ (f.preset().exportSettings.headroom.targetDb, -1.0);
}

TEST (ExportPageSettings, OutsideChangesRefillAndOwnOnesDoNot)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    auto& c = page.getContent();

    // A separator being typed stands through the page's own commit...
    c.separatorChooser.getCombo().setSelectedId (100, juce::sendNotificationSync);
    c.separatorChooser.getCustomEditor().setText ("~~", false);
    click (c.mirrorToggle);
    EXPECT_EQ (c.separatorChooser.getCustomEditor().getText(), "~~");

    // ...but a preset change from elsewhere fills every control again.
    auto preset = f.preset();
    preset.exportSettings.headroom.targetDb = -9.0;
    preset.exportSettings.naming.separator = "-";
    f.app->session.updatePreset (preset);
    EXPECT_EQ (c.targetSlider.getValue(), -9.0);
    EXPECT_EQ (c.separatorChooser.getCombo().getSelectedId(), 2);
    EXPECT_FALSE (c.separatorChooser.getCustomEditor().isVisible());
}

// Save to preset used to give the copy new stem ids, unassigning every track, locked ones too,
// and a plain save never learned the id it was stored under.
TEST (ExportPageSettings, SaveToPreset)
{
    ExportPageFixture f;
    f.importCues (1);
    auto& page = f.makePage();
    auto& session = f.app->session;

    const auto& tracks = session.getTracks();
    ASSERT_FALSE (tracks.empty());
    const auto lockedId = tracks[0].id;
    const auto stemId = tracks[0].stemId;
    ASSERT_TRUE (stemId.isNotEmpty());
    session.assignTracks ({ lockedId }, stemId, true);

    auto preset = f.preset();
    preset.schema.alternativeMixes.push_back ({ "mix-1", "No Drums", "ND", {} });
    session.updatePreset (preset);
    const auto cueKey = session.getCues()[0].key;
    session.setCueMixMember (cueKey, session.getPreset().schema.alternativeMixes[0], stemId, true);

    page.getContent().targetSlider.setValue (-6.1, juce::sendNotificationSync);
    page.tick();
    EXPECT_TRUE (page.getRenderBar().saveButton.isEnabled());

    // A built-in preset asks for a name; a blank one or Cancel saves nothing.
    const auto entriesBefore = f.app->presetLibrary->getEntries().size();
    click (page.getRenderBar().saveButton);
    ASSERT_EQ (f.seams->prompts.size(), 1u);
    EXPECT_EQ (f.seams->prompts[0].request.title, "Save as a new preset");
    EXPECT_EQ (f.seams->prompts[0].request.fields[0].initialText, "Hybrid Orchestra Example (edited)");
    ASSERT_TRUE (f.seams->answerPrompt (true, { "   " }));
    EXPECT_EQ (f.app->presetLibrary->getEntries().size(), entriesBefore);

    click (page.getRenderBar().saveButton);
    ASSERT_TRUE (f.seams->answerPrompt (true, { " My delivery " }));
    EXPECT_EQ (f.app->presetLibrary->getEntries().size(), entriesBefore + 1);

    const auto* entry = f.app->presetLibrary->findEntry (f.app->presetId);
    ASSERT_NE (entry, nullptr);
    EXPECT_EQ (entry->name, "My delivery");
    EXPECT_EQ (session.getPreset().id, f.app->presetId);
    EXPECT_FALSE (session.getPreset().isBuiltIn);
    EXPECT_FALSE (f.app->isPresetModified());

    const auto* locked = session.findTrack (lockedId);
    ASSERT_NE (locked, nullptr);
    EXPECT_EQ (locked->stemId, stemId);
    EXPECT_EQ (locked->source, AssignmentSource::locked);
    EXPECT_TRUE (session.findCue (cueKey)->getAlternativeMixStems (session.getPreset().schema.alternativeMixes[0]).contains (stemId));

    page.tick();
    EXPECT_FALSE (page.getRenderBar().saveButton.isEnabled());

    // A plain save keeps the id; a library that cannot write says so and changes nothing.
    page.getContent().targetSlider.setValue (-7.0, juce::sendNotificationSync);
    page.tick();
    ASSERT_TRUE (page.getRenderBar().saveButton.isEnabled());
    const auto folder = f.app->presetLibrary->getKindFolder (session.getPreset().kind);
    ASSERT_TRUE (folder.deleteRecursively());
    ASSERT_TRUE (folder.replaceWithText ("in the way"));

    click (page.getRenderBar().saveButton);
    ASSERT_NE (f.seams->lastBox(), nullptr);
    EXPECT_EQ (f.seams->lastBox()->request.title, "The preset was not saved");
    EXPECT_TRUE (f.seams->lastBox()->request.message.isNotEmpty());
    EXPECT_EQ (session.getPreset().exportSettings.headroom.targetDb, -7.0);

    // With the folder back, a plain save stores the working copy under the id it already has.
    ASSERT_TRUE (folder.deleteFile());
    ASSERT_TRUE (folder.createDirectory().wasOk());
    const auto savedId = f.app->presetId;
    click (page.getRenderBar().saveButton);
    f.app->presetLibrary->rescan();
    EXPECT_EQ (f.app->presetId, savedId);
    EXPECT_EQ (f.app->presetLibrary->loadPreset (savedId).preset.exportSettings.headroom.targetDb, -7.0);
    EXPECT_FALSE (f.app->isPresetModified());
    page.tick();
    EXPECT_FALSE (page.getRenderBar().saveButton.isEnabled());
}

TEST (ExportPageSettings, VocabularyIsKeptInTheSettings)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    auto& stem = page.getContent().stemTemplateEditor;

    stem.insertEmptyTextPiece (-1);
    stem.getRetypeEditor().setText ("Final", true);
    stem.commitRetype (true);
    EXPECT_EQ (page.getVocabulary().getWords(), juce::StringArray ("Final"));
    EXPECT_EQ (f.app->settings->getValue (ui::ExportPage::vocabularyKey), "Final");
    EXPECT_TRUE (f.preset().exportSettings.naming.stemTemplate.endsWith ("_Final"));

    // Both editors offer it; a new page on the same settings reads it back.
    auto& mix = page.getContent().mixTemplateEditor;
    EXPECT_EQ (mix.getModel().getVocabulary(), juce::StringArray ("Final"));
    f.page.reset();
    auto& again = f.makePage();
    EXPECT_EQ (again.getVocabulary().getWords(), juce::StringArray ("Final"));
}

TEST (ExportPageSettings, CueCountAndNamingPreview)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    EXPECT_EQ (page.getContent().cueCountLabel.getText(), "Nothing imported yet.");

    f.importCues (1);
    page.tick();
    EXPECT_EQ (page.getContent().cueCountLabel.getText(), "One cue: 1M01");

    auto preset = f.preset();
    preset.exportSettings.naming.stemTemplate = "{cue}_{Take}_{stemName}";
    f.app->session.updatePreset (preset);
    const auto lines = juce::StringArray::fromLines (page.getContent().previewText.getText());
    EXPECT_TRUE (lines[0].startsWith ("1M01_")) << lines[0];
    EXPECT_EQ (lines[lines.size() - 1], "unknown token(s): {Take}");
}

} // namespace dunmoor::testing

namespace dunmoor::testing
{

// The warning list is red over errors and quiet otherwise, under any palette.
TEST (ExportPageSettings, WarningColoursFollowThePalette)
{
    ExportPageFixture f;
    f.importCues (1);
    auto& page = f.makePage();
    auto& label = page.getContent().warningsLabel;

    auto preset = f.preset();
    preset.schema.stems.clear();
    f.app->session.updatePreset (preset);
    page.updateWarnings();
    ASSERT_TRUE (label.getText().startsWith ("ERROR    ")) << label.getText();
    EXPECT_EQ (label.findColour (juce::Label::textColourId), ui::currentPalette().bad);

    ui::applyPalette (ui::brighterPalette());
    page.sendLookAndFeelChange();
    EXPECT_EQ (label.findColour (juce::Label::textColourId), ui::brighterPalette().bad);

    ui::applyPalette (ui::defaultPalette());
    page.sendLookAndFeelChange();
}

} // namespace dunmoor::testing
