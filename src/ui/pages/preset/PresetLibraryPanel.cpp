#include "PresetLibraryPanel.h"

#include "PresetPageTexts.h"
#include "core/model/BuiltInPresets.h"

namespace dunmoor::ui
{

PresetLibraryPanel::PresetLibraryPanel (PresetPageContext& contextToUse)
    : context (contextToUse),
      appState (contextToUse.appState),
      library (contextToUse.library)
{
    setTitle ("Preset library panel");

    setUpHeading (libraryHeading, "Preset library", fontBold16());
    libraryList.setModel (this);
    libraryList.setRowHeight (28);
    libraryList.setTitle ("Preset library");

    for (auto* b : { &newButton, &duplicateButton, &renameButton, &saveButton, &saveAsButton, &deleteButton, &importButton,
                     &exportButton, &restoreButton })
        b->setTitle (b->getButtonText());

    saveButton.setTooltip ("Write these changes back to the selected preset.");
    saveAsButton.setTooltip ("Store the current settings as a new preset.");
    restoreButton.setTooltip ("Rewrite the built-in presets. Your own presets are not touched.");
    setUpLabel (statusLabel, {}, LabelTone::warning, juce::Justification::centredLeft);
    statusLabel.setTitle ("Preset status");

    addAllAndMakeVisible (*this, { &libraryHeading, &libraryList, &newButton, &duplicateButton, &renameButton, &saveButton,
                                   &saveAsButton, &deleteButton, &importButton, &exportButton, &restoreButton, &statusLabel });

    newButton.onClick = [this] { newPreset(); };
    duplicateButton.onClick = [this] { duplicatePreset(); };
    renameButton.onClick = [this] { renamePreset(); };
    saveButton.onClick = [this] { savePreset(); };
    saveAsButton.onClick = [this] { savePresetAs(); };
    deleteButton.onClick = [this] { deletePreset(); };
    importButton.onClick = [this] { importPreset(); };
    exportButton.onClick = [this] { exportPreset(); };
    restoreButton.onClick = [this] { restoreDefaults(); };
}

PresetLibraryPanel::~PresetLibraryPanel()
{
    libraryList.setModel (nullptr);
}

void PresetLibraryPanel::workingPresetReplaced()
{
    if (onWorkingPresetReplaced != nullptr)
        onWorkingPresetReplaced();
}

void PresetLibraryPanel::updateStatusLabel()
{
    statusLabel.setText (PresetPageTexts::statusText (appState.isPresetModified()), juce::dontSendNotification);
}

void PresetLibraryPanel::askToDiscardEdits (std::function<void()> onDiscard)
{
    if (! appState.isPresetModified())
    {
        onDiscard();
        return;
    }

    context.ask (juce::MessageBoxIconType::QuestionIcon, "Discard the changes to the current preset?",
                 "The preset loaded in this session has unsaved edits. Loading another one discards them.",
                 [this, onDiscard] (bool confirmed)
    {
        if (confirmed)
            onDiscard();
        else
            refreshLibrary();
    });
}

//==============================================================================
int PresetLibraryPanel::getNumRows()
{
    return (int) libraryRows.size();
}

void PresetLibraryPanel::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (row < 0 || row >= (int) libraryRows.size())
        return;

    const auto palette = currentPalette();
    const auto& entry = libraryRows[(size_t) row];

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));

    const int w = juce::jmax (0, width - 12);
    const bool current = entry.id == appState.presetId;
    g.setColour (current ? palette.accent : palette.textPrimary);
    g.setFont (current ? fontBold16() : fontPlain14_5());
    g.drawText (entry.name, 6, 0, juce::jmax (0, w - 74), height, juce::Justification::centredLeft, true);

    g.setColour (palette.textSecondary);
    g.setFont (fontPlain12());
    g.drawText (entry.isBuiltIn ? juce::String ("built-in") : presetKindToString (entry.kind), width - 6 - 74, 0, 74, height,
                juce::Justification::centredRight, true);
}

void PresetLibraryPanel::selectedRowsChanged (int)
{
    onLibraryRowChosen();
}

void PresetLibraryPanel::onLibraryRowChosen()
{
    const int row = libraryList.getSelectedRow();

    if (row < 0 || row >= (int) libraryRows.size())
        return;

    const auto id = libraryRows[(size_t) row].id;

    if (id == appState.presetId)
        return;

    askToDiscardEdits ([safe = juce::Component::SafePointer<PresetLibraryPanel> (this), id]
    {
        if (safe != nullptr)
            safe->loadPresetWithId (id);
    });
}

void PresetLibraryPanel::refreshLibrary()
{
    library.rescan();
    libraryRows = library.getEntries();
    libraryList.updateContent();
    selectCurrentLibraryRow();
    libraryList.repaint();

    const auto states = LibraryButtonStates::forEntry (library.findEntry (appState.presetId));
    saveButton.setEnabled (states.save);
    renameButton.setEnabled (states.rename);
    deleteButton.setEnabled (states.remove);

    updateStatusLabel();
}

void PresetLibraryPanel::selectCurrentLibraryRow()
{
    for (size_t i = 0; i < libraryRows.size(); ++i)
    {
        if (libraryRows[i].id == appState.presetId)
        {
            libraryList.selectRow ((int) i, true, true);
            return;
        }
    }

    // No row is the working copy's: none stays selected, so that a click on the row the user
    // tried before (and cancelled, or could not load) is a choice again.
    libraryList.deselectAllRows();
}

void PresetLibraryPanel::loadPresetWithId (const juce::String& id)
{
    const auto result = library.loadPreset (id);

    if (! result.ok)
    {
        context.showFailure ("The preset could not be loaded", result.messages.toText());
        selectCurrentLibraryRow();
        return;
    }

    appState.adoptLibraryPreset (result.preset.id);
    context.session.setPreset (result.preset);
    refreshLibrary();
    workingPresetReplaced();
}

void PresetLibraryPanel::takeUpPreset (const Preset& preset, bool replaceWholly)
{
    appState.adoptLibraryPreset (preset.id);

    if (replaceWholly)
        context.session.setPreset (preset);
    else
        context.session.updatePreset (preset);

    refreshLibrary();
    workingPresetReplaced();
}

//==============================================================================
// The buttons

void PresetLibraryPanel::newPreset()
{
    askToDiscardEdits ([safe = juce::Component::SafePointer<PresetLibraryPanel> (this)]
    {
        if (safe == nullptr)
            return;

        safe->context.askForName ("New publisher preset", "Name:", "New publisher", [safe] (const juce::String& name)
        {
            auto copy = dunmoor::duplicatePreset (makeEmptyPreset(), name, PresetKind::publisher);
            copy.schema.publisher = name;
            copy.metadata.publisher = name;

            juce::String error;

            if (! safe->library.savePreset (copy, error))
            {
                safe->context.showFailure ("The preset was not created", error);
                return;
            }

            safe->takeUpPreset (copy, true);
        });
    });
}

void PresetLibraryPanel::duplicatePreset()
{
    const auto sourceId = appState.presetId;

    askToDiscardEdits ([safe = juce::Component::SafePointer<PresetLibraryPanel> (this), sourceId]
    {
        if (safe == nullptr)
            return;

        safe->context.askForName ("Duplicate preset", "Name:", safe->context.session.getPreset().name + " copy",
                                  [safe, sourceId] (const juce::String& name)
        {
            juce::String newId, error;

            if (! safe->library.duplicate (sourceId, name, newId, error))
            {
                safe->context.showFailure ("The preset was not duplicated", error);
                return;
            }

            const auto loaded = safe->library.loadPreset (newId);

            if (loaded.ok)
            {
                safe->takeUpPreset (loaded.preset, true);
            }
            else
            {
                safe->appState.adoptLibraryPreset (newId);
                safe->refreshLibrary();
                safe->workingPresetReplaced();
            }
        });
    });
}

void PresetLibraryPanel::renamePreset()
{
    const auto id = appState.presetId;

    context.askForName ("Rename preset", "Name:", context.session.getPreset().name, [this, id] (const juce::String& name)
    {
        juce::String error;

        if (! library.renamePreset (id, name, error))
        {
            context.showFailure ("The preset was not renamed", error);
            return;
        }

        auto copy = context.session.getPreset();
        copy.name = name;
        context.session.updatePreset (copy);
        refreshLibrary();
    });
}

void PresetLibraryPanel::savePreset()
{
    const auto& working = context.session.getPreset();

    if (working.isBuiltIn)
    {
        context.showFailure ("Built-in presets are read only", "Use Duplicate or Save as to keep these changes.");
        return;
    }

    juce::String savedId, error;

    if (! library.savePreset (working, savedId, error))
    {
        context.showFailure ("The preset was not saved", error);
        return;
    }

    // A working copy without a library entry (from a project, say) now has one: it becomes the
    // current preset, so its row shows and the status line clears.
    if (working.id != savedId)
    {
        auto copy = working;
        copy.id = savedId;
        const PresetPageContext::ScopedFilling fillingScope (context);
        context.session.updatePreset (copy);
    }

    if (appState.presetId != savedId)
        appState.adoptLibraryPreset (savedId);

    refreshLibrary();
}

void PresetLibraryPanel::savePresetAs()
{
    context.askForName ("Save preset as", "Name:", context.session.getPreset().name + " copy", [this] (const juce::String& name)
    {
        juce::String newId, error;
        const auto working = context.session.getPreset();

        if (! library.saveAsNewPreset (working, name, working.kind, newId, error))
        {
            context.showFailure ("The preset was not saved", error);
            return;
        }

        const auto loaded = library.loadPreset (newId);

        if (loaded.ok)
        {
            takeUpPreset (loaded.preset, false);
        }
        else
        {
            appState.adoptLibraryPreset (newId);
            refreshLibrary();
        }
    });
}

void PresetLibraryPanel::deletePreset()
{
    const auto* entry = library.findEntry (appState.presetId);

    if (entry == nullptr)
        return;

    const auto id = entry->id;
    int index = 0;

    for (size_t i = 0; i < libraryRows.size(); ++i)
        if (libraryRows[i].id == id)
            index = (int) i;

    context.ask (juce::MessageBoxIconType::WarningIcon, "Delete the preset '" + entry->name + "'?",
                 "This moves the preset file to the trash. It cannot be undone from inside Brackenfold.",
                 [this, id, index] (bool confirmed)
    {
        if (! confirmed)
            return;

        juce::String error;

        if (! library.deletePreset (id, error))
        {
            context.showFailure ("The preset was not deleted", error);
            return;
        }

        library.rescan();
        const auto& entries = library.getEntries();

        if (entries.empty())
        {
            appState.adoptLibraryPreset ({});
            refreshLibrary();
            return;
        }

        const auto next = entries[(size_t) juce::jlimit (0, (int) entries.size() - 1, index)].id;
        const auto loaded = library.loadPreset (next);

        appState.adoptLibraryPreset (loaded.ok ? next : juce::String());

        if (loaded.ok)
            context.session.setPreset (loaded.preset);

        refreshLibrary();
        workingPresetReplaced();
    });
}

void PresetLibraryPanel::importPreset()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFile;
    request.title = "Import a preset";
    request.filePatterns = "*.json";
    request.initialLocation = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    context.seams.showFileChooser (request, [safe = juce::Component::SafePointer<PresetLibraryPanel> (this)] (const juce::Array<juce::File>& chosen)
    {
        if (safe == nullptr || chosen.isEmpty())
            return;

        juce::String newId, error;

        if (! safe->library.importPreset (chosen.getFirst(), newId, error))
        {
            safe->context.showFailure ("The preset was not imported", error);
            return;
        }

        safe->refreshLibrary();
    });
}

void PresetLibraryPanel::exportPreset()
{
    const auto* entry = library.findEntry (appState.presetId);

    if (entry == nullptr)
    {
        context.showFailure ("Nothing to export", "Save this preset to the library first.");
        return;
    }

    const auto id = entry->id;
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::saveFile;
    request.title = "Export the preset";
    request.filePatterns = "*.json";
    request.warnAboutOverwriting = true;
    request.initialLocation = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory)
                                  .getChildFile (PresetPageTexts::exportFileName (context.session.getPreset().name));

    context.seams.showFileChooser (request, [safe = juce::Component::SafePointer<PresetLibraryPanel> (this), id] (const juce::Array<juce::File>& chosen)
    {
        if (safe == nullptr || chosen.isEmpty())
            return;

        juce::String error;

        if (! safe->library.exportPreset (id, chosen.getFirst(), error))
            safe->context.showFailure ("The preset was not exported", error);
    });
}

void PresetLibraryPanel::restoreDefaults()
{
    context.ask (juce::MessageBoxIconType::QuestionIcon, "Restore the built-in presets?",
                 "The presets that ship with Brackenfold are rewritten. Presets you created are not touched.",
                 [this] (bool confirmed)
    {
        if (! confirmed)
            return;

        juce::String error;

        if (! library.restoreDefaults (error))
            context.showFailure ("The defaults were not restored", error);

        refreshLibrary();
    });
}

//==============================================================================
void PresetLibraryPanel::layOut (const PresetPageLayout& l)
{
    setBounds (l.libraryPanel);
    const auto local = [this] (juce::Rectangle<int> r) { return r - getPosition(); };

    libraryHeading.setBounds (local (l.libraryHeading));
    libraryList.setBounds (local (l.libraryList));
    juce::Component* libraryButtons[] = { &newButton, &duplicateButton, &renameButton, &saveButton, &saveAsButton,
                                          &deleteButton, &importButton, &exportButton, &restoreButton };

    for (size_t i = 0; i < 9; ++i)
        libraryButtons[i]->setBounds (local (l.libraryButtons[i]));

    statusLabel.setBounds (local (l.statusLabel));
}

} // namespace dunmoor::ui
