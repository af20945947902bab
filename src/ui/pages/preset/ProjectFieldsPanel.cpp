#include "ProjectFieldsPanel.h"

#include "FocusBlockTraverser.h"

namespace dunmoor::ui
{

namespace
{
    const char* const pluralTooltip =
        "Treat singular and plural as the same word, so a keyword written \"guitar\" also finds Guitars.wav and one "
        "written \"guitars\" also finds Guitar.wav. Applies to the exclusions as well.\n\nIt changes which files land "
        "in which stem, and that is not a change to make behind your back in a preset you rely on.";
} // namespace

ProjectFieldsPanel::ProjectFieldsPanel (PresetPageContext& contextToUse) : context (contextToUse)
{
    setTitle ("Project fields and matching");

    setUpHeading (projectHeading, "Project fields", fontBold16());

    const std::pair<juce::Label*, juce::TextEditor*> projectRows[] = {
        { &publisherLabel, &publisherField }, { &pubCodeLabel, &pubCodeField }, { &composerLabel, &composerField }, { &versionLabel, &versionField }
    };
    const char* const projectNames[] = { "Publisher", "PubCode", "Composer", "Version" };

    for (size_t i = 0; i < 4; ++i)
    {
        setUpLabel (*projectRows[i].first, projectNames[i], LabelTone::secondary, juce::Justification::centredLeft);
        projectRows[i].second->setTitle (projectNames[i]);
        projectRows[i].second->setInputRestrictions (maxFieldCharacters);
    }

    setUpLabel (numberingLabel, "Numbering", LabelTone::secondary, juce::Justification::centredLeft);
    // The row leaves a gap after its label already; the label's own right margin would cut the word.
    numberingLabel.setBorderSize ({ 1, 5, 1, 0 });
    numberingChoice.addItem ("Keep the schema number (gaps where stems are skipped)", 1);
    numberingChoice.addItem ("Renumber the exported stems 1..N (no gaps)", 2);
    numberingChoice.setTitle ("Numbering");
    numberingChoice.setTooltip ("What {stemIndex} counts when some stems come out empty and are left unwritten. Publishers ask for both ways round.");

    setUpLabel (keywordsLabel, "Keywords", LabelTone::secondary, juce::Justification::centredLeft);
    pluralToggle.setTitle (pluralToggle.getButtonText());
    pluralToggle.setTooltip (pluralTooltip);

    addAllAndMakeVisible (*this, { &projectHeading, &publisherLabel, &pubCodeLabel, &composerLabel, &versionLabel,
                                   &publisherField, &pubCodeField, &composerField, &versionField, &numberingLabel,
                                   &numberingChoice, &keywordsLabel, &pluralToggle });

    for (auto* field : { &publisherField, &pubCodeField, &composerField, &versionField })
    {
        field->onFocusLost = [this]
        {
            commitProjectFields();

            if (onFieldLeft != nullptr)
                onFieldLeft();
        };
        field->onReturnKey = [this] { commitProjectFields(); unfocusAllComponents(); };
        field->onEscapeKey = [this] { commitProjectFields(); unfocusAllComponents(); };
    }

    pluralToggle.onClick = [this] { pluralToggled(); };
    numberingChoice.onChange = [this] { numberingChanged(); };
}

void ProjectFieldsPanel::fill (const Preset& preset)
{
    const PresetPageContext::ScopedFilling fillingScope (context);

    numberingChoice.setSelectedId (preset.exportSettings.naming.numbering == NumberingMode::consecutiveExported ? 2 : 1,
                                   juce::dontSendNotification);
    pluralToggle.setToggleState (preset.schema.matchPlurals, juce::dontSendNotification);

    const auto stored = ProjectFieldTexts::of (preset.metadata);
    const std::tuple<juce::TextEditor*, juce::String*, const juce::String*> fields[] = {
        { &publisherField, &shownProject.publisher, &stored.publisher },
        { &pubCodeField, &shownProject.project, &stored.project },
        { &composerField, &shownProject.composer, &stored.composer },
        { &versionField, &shownProject.version, &stored.version },
    };

    // A field being typed in keeps its text, and what it was filled with.
    for (const auto& [field, shown, value] : fields)
    {
        if (! field->hasKeyboardFocus (true))
        {
            field->setText (*value, false);
            *shown = *value;
        }
    }
}

bool ProjectFieldsPanel::aFieldHasFocus() const
{
    for (const auto* field : { &publisherField, &pubCodeField, &composerField, &versionField })
        if (field->hasKeyboardFocus (true))
            return true;

    return false;
}

void ProjectFieldsPanel::commitProjectFields()
{
    if (context.isFilling())
        return;

    const ProjectFieldTexts now { publisherField.getText(), pubCodeField.getText(), composerField.getText(), versionField.getText() };
    auto copy = context.session.getPreset();

    if (! applyProjectFieldEdits (copy.metadata, shownProject, now))
        return;

    shownProject = now;
    context.session.updatePreset (copy);
    context.appState.sendChangeMessage();

    if (onFieldsCommitted != nullptr)
        onFieldsCommitted();
}

void ProjectFieldsPanel::pluralToggled()
{
    auto copy = context.session.getPreset();

    if (copy.schema.matchPlurals == pluralToggle.getToggleState())
        return;

    copy.schema.matchPlurals = pluralToggle.getToggleState();

    {
        const PresetPageContext::ScopedFilling fillingScope (context);
        context.session.updatePreset (copy);
    }

    if (onMatchingChanged != nullptr)
        onMatchingChanged();
}

void ProjectFieldsPanel::numberingChanged()
{
    if (context.isFilling())
        return;

    auto copy = context.session.getPreset();
    const auto mode = numberingChoice.getSelectedId() == 2 ? NumberingMode::consecutiveExported : NumberingMode::schemaIndex;

    if (copy.exportSettings.naming.numbering == mode)
        return;

    copy.exportSettings.naming.numbering = mode;
    context.session.updatePreset (copy);
    context.appState.sendChangeMessage();
}

void ProjectFieldsPanel::layOut (const PresetPageLayout& l)
{
    setBounds (l.projectPanel);
    const auto local = [this] (juce::Rectangle<int> r) { return r - getPosition(); };

    projectHeading.setBounds (local (l.projectHeading));

    juce::Component* rowLabels[] = { &publisherLabel, &pubCodeLabel, &composerLabel, &versionLabel, &numberingLabel };
    juce::Component* rowFields[] = { &publisherField, &pubCodeField, &composerField, &versionField, &numberingChoice };

    for (size_t i = 0; i < 5; ++i)
    {
        rowLabels[i]->setBounds (local (l.rowLabels[i]));
        rowFields[i]->setBounds (local (l.rowFields[i]));
    }

    keywordsLabel.setBounds (local (l.keywordsLabel));
    pluralToggle.setBounds (local (l.pluralToggle));
}

std::unique_ptr<juce::ComponentTraverser> ProjectFieldsPanel::createKeyboardFocusTraverser()
{
    return std::make_unique<FocusBlockTraverser> (std::vector<juce::Component*> {
        &publisherField, &pubCodeField, &composerField, &versionField, &numberingChoice, &pluralToggle });
}

} // namespace dunmoor::ui
